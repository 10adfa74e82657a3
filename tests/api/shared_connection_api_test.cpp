// Several threads on one connection through the exported functions of
// libqvocli.so, against the fake node: statements executing and fetching
// while another thread changes the connection's settings.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_table.h"

namespace {

using namespace fake::results;

constexpr int kThreads = 8;
constexpr int kRounds = 15;
constexpr int64_t kRows = 40;

SQLPOINTER IntArg(SQLUINTEGER v) { return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(v)); }

TEST(SharedConnectionApi, StatementsExecuteWhileAnotherThreadSetsConnectionAttributes) {
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  fake::Blocks blocks;
  blocks.inlineRows = 7;  // the rest in fetch requests, interleaved between the threads
  node.ServeTable(fake::SqlMatch::Any(),
                  fake::Table::Sample({Column::Decimal("N", 18, 0), Column::Double("D")}, kRows),
                  blocks);

  SQLHANDLE env = SQL_NULL_HANDLE, dbc = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  const std::string port = std::to_string(node.Port());
  ASSERT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                             "secret", SQL_NTS),
            SQL_SUCCESS);
  std::vector<SQLHANDLE> stmts(kThreads);
  for (SQLHANDLE& s : stmts) ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &s), SQL_SUCCESS);

  std::atomic<bool> running{true};
  std::atomic<int> setFailures{0};
  std::atomic<int> sets{0};
  // Queues numeric characters for the next request (the pending list) and
  // changes the feedback interval at once.
  std::thread setter([&] {
    for (SQLUINTEGER i = 0; running.load(); ++i) {
      char chars[] = ".,";
      if (QVOSetConnectAttr(dbc, 21028, chars, SQL_NTS) != SQL_SUCCESS) ++setFailures;
      if (QVOSetConnectAttr(dbc, 21061, IntArg(30 + i % 5), 0) != SQL_SUCCESS) ++setFailures;
      ++sets;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  std::vector<int64_t> rowsSeen(kThreads, 0);
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&, t] {
      SQLHANDLE s = stmts[static_cast<size_t>(t)];
      for (int round = 0; round < kRounds; ++round) {
        char sql[] = "SELECT N, D FROM T";
        if (QVOExecDirect(s, reinterpret_cast<SQLCHAR*>(sql), SQL_NTS) != SQL_SUCCESS) {
          ++failures[static_cast<size_t>(t)];
          continue;
        }
        SQLRETURN rc;
        while ((rc = QVOFetch(s)) == SQL_SUCCESS) ++rowsSeen[static_cast<size_t>(t)];
        if (rc != SQL_NO_DATA) ++failures[static_cast<size_t>(t)];
        if (QVOCloseCursor(s) != SQL_SUCCESS) ++failures[static_cast<size_t>(t)];
      }
    });
  for (std::thread& w : workers) w.join();
  running = false;
  setter.join();

  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(failures[static_cast<size_t>(t)], 0);
    EXPECT_EQ(rowsSeen[static_cast<size_t>(t)], kRows * kRounds);
  }
  EXPECT_EQ(setFailures.load(), 0);
  EXPECT_GT(sets.load(), 0);
  EXPECT_TRUE(node.Errors().empty());

  // The connection is in one piece afterwards.
  SQLINTEGER interval = 0;
  EXPECT_EQ(QVOGetConnectAttr(dbc, 21061, &interval, sizeof interval, nullptr), SQL_SUCCESS);
  EXPECT_GE(interval, 30);
  EXPECT_LE(interval, 34);
  QVODisconnect(dbc);
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

}  // namespace
