// A statement under a connection whose socket talks to a fake node: the
// environment, connection and statement are real handles, so the exported
// functions and the objects behind them can both be used.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "connection/qvoConnection.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"
#include "support/diag_records.h"
#include "support/fake_node.h"
#include "support/fake_results.h"
#include "support/fake_table.h"
#include "transport/qvoSocket.h"

// The last record's SQLSTATE and text, "" when there is none.
inline std::string LastDiag(qvoHandle& handle) {
  const auto diags = DiagsOf(handle);
  return diags.empty() ? "" : diags.back().state + " " + diags.back().text;
}

class StatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
    conn->ImMainNode = true;
    conn->connAttr.connType = 1;
    conn->Socket = std::make_unique<qvoSocket>(conn, fake::ConnectTcp(node.Port()));
    stmt = NewStatement();
    s = Stmt(stmt);
  }
  void TearDown() override { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  SQLHSTMT NewStatement() {
    SQLHSTMT h = SQL_NULL_HANDLE;
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &h), SQL_SUCCESS);
    return h;
  }
  static qvoStatement* Stmt(SQLHSTMT h) { return static_cast<qvoStatement*>(GetHandlePtr(h)); }

  void SetProtocol(int version) {
    conn->SetProtocollVer(version);
    s->SetProtocollVer(version);
    node.SetProtocolVersion(version);
  }

  // Hands an answer (result count 1 and the bytes) to the statement as a
  // request would.
  void Give(const fake::Bytes& data, uint32_t results = 1) {
    auto buffer = std::make_unique<char[]>(data.size() + 4);
    std::memcpy(buffer.get(), &results, 4);
    if (!data.empty()) std::memcpy(buffer.get() + 4, data.data(), data.size());
    s->TakeResults(buffer.release(), static_cast<qvo_int64>(data.size() + 4));
  }

  SQLRETURN Exec(const char* sql, SQLHSTMT h = SQL_NULL_HANDLE) {
    return QVOExecDirect(h ? h : stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
  }

  // Requests of one command the node has seen.
  std::vector<fake::Request> RequestsOf(uint8_t command) const {
    std::vector<fake::Request> out;
    for (const auto& r : node.Requests())
      if (r.command == command) out.push_back(r);
    return out;
  }

  fake::FakeNode node;  // first: it outlives the handles
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  qvoConnection* conn = nullptr;
  qvoStatement* s = nullptr;
};
