// The time limit of an exchange holds for the whole answer, through the
// exported functions of libqvocli.so: a fake node that announces an answer
// and trickles its bytes cannot hold the call beyond it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/api_records.h"
#include "support/fake_login.h"
#include "support/fake_node.h"

namespace {

TEST(AnswerLimitApi, TrickledAnswerEndsAtTheExecuteLimit) {
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  SQLHANDLE env = SQL_NULL_HANDLE, dbc = SQL_NULL_HANDLE, stmt = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  const std::string port = std::to_string(node.Port());
  ASSERT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                             "secret", SQL_NTS),
            SQL_SUCCESS);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  // The feedback interval's test setting: a 5-second limit for an execute.
  ASSERT_EQ(QVOSetConnectAttr(dbc, 21061, reinterpret_cast<SQLPOINTER>(intptr_t{-1701}), 0),
            SQL_SUCCESS);

  // 120 bytes of data, one every 150 ms: each wait is short, the whole
  // answer would take 20 seconds.
  fake::Reply trickled;
  trickled.results = 1;
  trickled.data = fake::Bytes(120, 0);
  trickled.trickle = std::chrono::milliseconds(150);
  node.Push(trickled);

  char sql[] = "SELECT 1";
  EXPECT_EQ(QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql), SQL_NTS), SQL_ERROR);
  const std::vector<std::string> records = api::StatesAndTexts(SQL_HANDLE_STMT, stmt);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front().substr(0, 6), "08S01 ");
  EXPECT_NE(records.front().find("Socket error. Connection interrupted."), std::string::npos);

  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

}  // namespace
