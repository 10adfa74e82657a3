// A connection in the handle table, logged in to a fake node, with its
// internal statement: session settings sent at once, commit and rollback,
// parallel slaves, disconnect and the log handed in through attributes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "connection/login_fixture.h"
#include "connection/wire_fixture.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_results.h"

namespace {

using fake::Reply;
using fake::Request;

SQLPOINTER IntArg(SQLUINTEGER v) { return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(v)); }

// An environment and a connection in the handle table, and a node that plays
// the login; freeing the environment frees the connection and all it owns.
struct Session {
  explicit Session(fake::LoginScript script = {}) : player(node, std::move(script)) {
    // The server answers a commit or a rollback with an empty result.
    node.On(fake::kExecute, [](const Request&, fake::FakeNode&) {
      return fake::results::Answer({fake::results::Empty()});
    });
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), 0);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), 0);
    conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
  }
  ~Session() { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  std::string Port() const { return std::to_string(node.Port()); }

  SQLRETURN Connect() {
    const std::string host = "127.0.0.1:" + Port();
    return conn->qvoConnect(host.c_str(), SQL_NTS, "", SQL_NTS, "user", SQL_NTS, "secret", SQL_NTS);
  }

  // The requests after the login's.
  Request Last() {
    const auto requests = node.Requests();
    return requests.empty() ? Request{} : requests.back();
  }

  fake::FakeNode node;  // declared first: it outlives the connection
  fake::LoginPlayer player;
  SQLHANDLE env = SQL_NULL_HANDLE;
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  qvoConnection* conn = nullptr;
};

std::string DataText(const Request& r) { return std::string(r.data.begin(), r.data.end()); }

TEST(SessionChange, AutocommitWhileConnected) {
  Session s;
  ASSERT_EQ(s.Connect(), 0);
  const size_t before = s.node.Requests().size();
  EXPECT_EQ(s.conn->SetConnectAttr(SQL_ATTR_AUTOCOMMIT, IntArg(0), 0), 0);
  ASSERT_TRUE(s.node.WaitForRequests(before + 1));
  Request r = s.Last();
  EXPECT_EQ(r.command, fake::kSetAttributes);
  ASSERT_NE(r.Find(fake::ATTR_AUTOCOMMIT), nullptr);
  EXPECT_EQ(r.Find(fake::ATTR_AUTOCOMMIT)->AsInt(), 0);
  EXPECT_EQ(s.conn->GetAutocommitMode(), 0u);

  // The server refuses: its reason, then "Option value changed."; the old
  // value stays.
  s.node.Push(fake::ExceptionReply("42000", "not now"));
  EXPECT_EQ(s.conn->SetConnectAttr(SQL_ATTR_AUTOCOMMIT, IntArg(1), 0), SQL_ERROR);
  const std::vector<Diag> diags = DiagsOf(*s.conn);
  ASSERT_EQ(diags.size(), 2u);
  EXPECT_EQ(diags[0].state, "42000");
  EXPECT_EQ(diags[0].text, "not now");
  EXPECT_EQ(diags[1].state, "01S02");
  EXPECT_EQ(diags[1].native, 1);
  EXPECT_EQ(diags[1].text, "Option value changed.");
  EXPECT_EQ(s.conn->GetAutocommitMode(), 0u);

  // A refused query timeout keeps the old one too.
  s.node.Push(fake::ExceptionReply("42000", "no"));
  EXPECT_EQ(s.conn->SetQueryTimeoutInQvo(30), SQL_ERROR);
  EXPECT_EQ(s.conn->GetQueryTimeout(), 0u);
  EXPECT_EQ(s.conn->SetQueryTimeoutInQvo(30), 0);
  EXPECT_EQ(s.conn->GetQueryTimeout(), 30u);
}

// While another statement's query runs, its next answer is the next on the
// socket: a session change must not send a request whose answer it would
// confuse with that one.
TEST(SessionChange, RefusedWhileAnotherStatementsQueryRuns) {
  using namespace fake::results;
  Session s;
  ASSERT_EQ(s.Connect(), 0);
  SQLHANDLE a = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, s.dbc, &a), SQL_SUCCESS);
  ASSERT_EQ(QVOSetStmtAttr(a, SQL_ATTR_ASYNC_ENABLE, IntArg(1), 0), SQL_SUCCESS);
  Reply running = Answer({StillExecuting("10%")});
  running.then = {Answer({RowCount(3)})};
  s.node.Push(running);
  SQLCHAR sql[] = "UPDATE BIG";
  ASSERT_EQ(QVOExecDirect(a, sql, SQL_NTS), SQL_STILL_EXECUTING);
  const size_t before = s.node.Requests().size();
  ASSERT_EQ(s.conn->GetAutocommitMode(), 1u);

  EXPECT_EQ(QVOSetConnectAttr(s.dbc, SQL_ATTR_AUTOCOMMIT, IntArg(0), 0), SQL_ERROR);
  const std::vector<Diag> diags = DiagsOf(*s.conn);
  ASSERT_EQ(diags.size(), 2u);
  EXPECT_EQ(diags[0].state, "HY010");
  EXPECT_EQ(diags[0].text, "Function sequence error.");
  EXPECT_EQ(diags[1].state, "01S02");
  EXPECT_EQ(s.conn->GetAutocommitMode(), 1u);

  // The statement still gets its own answer.
  SQLRETURN rc = SQL_STILL_EXECUTING;
  for (int poll = 0; poll < 10 && rc == SQL_STILL_EXECUTING; ++poll)
    rc = QVOExecDirect(a, sql, SQL_NTS);
  ASSERT_EQ(rc, SQL_SUCCESS);
  SQLLEN rows = 0;
  EXPECT_EQ(QVORowCount(a, &rows), SQL_SUCCESS);
  EXPECT_EQ(rows, 3);

  EXPECT_EQ(QVOSetConnectAttr(s.dbc, SQL_ATTR_AUTOCOMMIT, IntArg(0), 0), SQL_SUCCESS)
      << (TextsOf(*s.conn).empty() ? "" : TextsOf(*s.conn).back());
  EXPECT_EQ(s.conn->GetAutocommitMode(), 0u);
  // Requests arrive in order: the only set_attributes after the execute is
  // the accepted one.
  ASSERT_TRUE(s.node.WaitForRequests(before + 1));
  const std::vector<Request> requests = s.node.Requests();
  ASSERT_EQ(requests.size(), before + 1);
  EXPECT_EQ(requests.back().command, fake::kSetAttributes);
  ASSERT_NE(requests.back().Find(fake::ATTR_AUTOCOMMIT), nullptr);
  EXPECT_EQ(requests.back().Find(fake::ATTR_AUTOCOMMIT)->AsInt(), 0);
}

TEST(SessionChange, AutocommitBeforeTheConnectGoesWithTheLogin) {
  Session s;
  EXPECT_EQ(s.conn->SetConnectAttr(SQL_ATTR_AUTOCOMMIT, IntArg(0), 0), 0);
  EXPECT_EQ(s.conn->SetConnectAttr(21065, IntArg(4000), 0), 0);
  ASSERT_EQ(s.Connect(), 0);
  const Request login = s.node.Requests().at(0);
  ASSERT_TRUE(login.login);
  ASSERT_NE(login.Find(fake::ATTR_AUTOCOMMIT), nullptr);
  EXPECT_EQ(login.Find(fake::ATTR_AUTOCOMMIT)->AsInt(), 0);
  ASSERT_NE(login.Find(fake::ATTR_UNKNOWN_TYPE_MAX_LEN), nullptr);
  EXPECT_EQ(login.Find(fake::ATTR_UNKNOWN_TYPE_MAX_LEN)->AsInt(), 4000);
}

TEST(EndTran, CommitAndRollbackOnTheInternalStatement) {
  Session s;
  EXPECT_EQ(s.conn->SetConnectAttr(SQL_ATTR_PACKET_SIZE, IntArg(1), 0), 1);  // a record before
  EXPECT_EQ(s.conn->EndTran(SQL_COMMIT), SQL_ERROR) << "not connected";
  EXPECT_EQ(DiagsOf(*s.conn).at(0).state, "08003");
  EXPECT_EQ(TextsOf(*s.conn), std::vector<std::string>{"Connection does not exist."});
  EXPECT_TRUE(s.node.Requests().empty());

  ASSERT_EQ(s.Connect(), 0);
  struct Case {
    SQLSMALLINT type;
    std::string text;
  };
  for (const Case& k : {Case{SQL_COMMIT, "commit /*SQL_COMMIT*/"},
                        Case{SQL_ROLLBACK, "rollback /*SQL_ROLLBACK*/"}}) {
    const size_t before = s.node.Requests().size();
    EXPECT_EQ(s.conn->EndTran(k.type), SQL_SUCCESS);
    ASSERT_TRUE(s.node.WaitForRequests(before + 1));
    EXPECT_EQ(s.Last().command, fake::kExecute);
    EXPECT_EQ(DataText(s.Last()), k.text);
  }

  s.node.Push(fake::ExceptionReply("40001", "serialization failure"));
  EXPECT_EQ(s.conn->EndTran(SQL_COMMIT), SQL_ERROR);
  const std::vector<Diag> diags = DiagsOf(*s.conn);
  ASSERT_FALSE(diags.empty());
  EXPECT_EQ(diags.back().state, "40001");
  EXPECT_EQ(diags.back().text, "serialization failure");

  const size_t before = s.node.Requests().size();
  EXPECT_EQ(s.conn->EndTran(2), SQL_ERROR);
  EXPECT_EQ(TextsOf(*s.conn), std::vector<std::string>{"Invalid completion type constant."});
  EXPECT_EQ(s.node.Requests().size(), before);
}

TEST(SlaveConnect, LogsInWithTheParallelToken) {
  fake::LoginScript script;
  script.protocolVersion = 11;
  Session s(script);
  const std::string port = s.Port();
  ASSERT_EQ(s.conn->SlaveConnect("127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, 0x123456789LL), 0)
      << (TextsOf(*s.conn).empty() ? "" : TextsOf(*s.conn).back());
  const Request login = s.node.Requests().at(0);
  ASSERT_NE(login.Find(fake::ATTR_PARALLEL_TOKEN), nullptr);
  EXPECT_EQ(login.Find(fake::ATTR_PARALLEL_TOKEN)->AsInt(), 0x123456789LL);
  EXPECT_EQ(login.Find(fake::ATTR_USERNAME), nullptr);
  EXPECT_FALSE(s.conn->IsMainNode());
  EXPECT_EQ(s.conn->connAttr.connType, 2);
  EXPECT_STREQ(s.conn->server.qvoServer, "127.0.0.1");
  EXPECT_EQ(IsQVOHandle(s.conn->GetStmt4Attr()), SQL_HANDLE_STMT);
  EXPECT_EQ(std::string(s.conn->GetDiagHeaderPtr()->diagConnectionName),
            "Server=127.0.0.1;Port=" + port + ";User=;Password=*******;");

  Session unknown;
  EXPECT_EQ(unknown.conn->SlaveConnect("", SQL_NTS, "1", SQL_NTS, 1), -1);
  EXPECT_EQ(TextsOf(*unknown.conn),
            std::vector<std::string>{"Error resolving Vandrel node host name."});

  // A node that does not answer: no socket stays, and the token is not kept
  // for a later main connect.
  Session refused;
  const std::string closed = std::to_string(ClosedPort());
  EXPECT_EQ(refused.conn->SlaveConnect("127.0.0.1", SQL_NTS, closed.c_str(), SQL_NTS, 99), -1);
  EXPECT_EQ(refused.conn->GetSocket(), nullptr);
  EXPECT_EQ(refused.conn->connectionToken, 0);
  EXPECT_FALSE(TextsOf(*refused.conn).empty());
}

TEST(Disconnect, FreesEveryStatementAndDescriptorOfTheConnection) {
  Session s;
  ASSERT_EQ(s.Connect(), 0);
  SQLHANDLE stmt = SQL_NULL_HANDLE, desc = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, s.dbc, &stmt), 0);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, s.dbc, &desc), 0);
  const SQLHSTMT internal = s.conn->GetStmt4Attr();
  ASSERT_EQ(IsQVOHandle(internal), SQL_HANDLE_STMT);

  EXPECT_EQ(QVODisconnect(s.dbc), SQL_SUCCESS);
  EXPECT_EQ(s.Last().command, fake::kDisconnect);
  for (SQLHANDLE h : {stmt, desc, SQLHANDLE{internal}}) EXPECT_EQ(IsQVOHandle(h), 0);
  EXPECT_EQ(s.conn->GetStmt4Attr(), nullptr);
  EXPECT_EQ(s.conn->isConnected(), 0);
  EXPECT_EQ(IsQVOHandle(s.dbc), SQL_HANDLE_DBC);

  // The handle connects again.
  EXPECT_EQ(s.Connect(), 0);
}

TEST(Log, AStreamHandedInReceivesLinesWithoutThePassword) {
  FILE* stream = tmpfile();
  ASSERT_NE(stream, nullptr);
  qvoCriticalSection lock;
  {
    Session s;
    EXPECT_EQ(s.conn->SetConnectAttr(21054, stream, 0), 0);
    EXPECT_EQ(s.conn->SetConnectAttr(21055, &lock, 0), 0);
    EXPECT_EQ(s.conn->SetConnectAttr(21053, IntArg(1), 0), 0);
    ASSERT_EQ(s.Connect(), 0);
    EXPECT_EQ(s.conn->EndTran(SQL_COMMIT), 0);
  }
  std::string log;
  std::rewind(stream);
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, stream)) > 0;) log.append(chunk, n);
  std::fclose(stream);
  EXPECT_NE(log.find("qvoConnection::qvoConnect"), std::string::npos);
  EXPECT_NE(log.find("******"), std::string::npos);
  EXPECT_EQ(log.find("secret"), std::string::npos);
}

}  // namespace
