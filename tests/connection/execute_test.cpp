#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "connection/login_fixture.h"

namespace {

using fake::Attr;
using fake::Reply;
using fake::Request;

const char* const interrupted = "Socket error. Connection interrupted.";
const char* const notConnected = "Database server not connected.";

// A logged-in main connection and a statement to run requests for.
struct ExecuteFixture : LoginFixture {
  ExecuteFixture() { EXPECT_EQ(Login(), 0); }

  SQLRETURN Run(__qvoMessageMode mode, const std::string& data = "select 1") {
    return conn.ExecuteSQL(&stmt, data.data(), static_cast<qvo_int64>(data.size()), mode);
  }

  std::vector<Request> RequestsOf(uint8_t command) const {
    std::vector<Request> out;
    for (const Request& r : node.Requests())
      if (r.command == command) out.push_back(r);
    return out;
  }

  FakeStatement stmt;
};

Reply DataReply(const std::string& data, uint32_t results = 1) {
  Reply r;
  r.results = results;
  r.data.assign(data.begin(), data.end());
  return r;
}

TEST(ExecuteSQL, TheAnswerGoesToTheStatementByCommand) {
  struct Case {
    __qvoMessageMode mode;
    bool asRows;
  };
  const Case cases[] = {
      {execute, false}, {send_rows, true}, {send_rows_fetch2, true}, {close_result_set, false}};
  for (const Case& c : cases) {
    ExecuteFixture f;
    f.node.Push(DataReply("xyz", 2));
    SCOPED_TRACE(static_cast<int>(c.mode));
    ASSERT_EQ(f.Run(c.mode), 0);
    const auto& got = c.asRows ? f.stmt.rows : f.stmt.results;
    const auto& other = c.asRows ? f.stmt.results : f.stmt.rows;
    EXPECT_EQ(got, std::vector<std::string>{AnswerBuffer(2, "xyz")});
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(f.socket().GetQvoAnswer(nullptr), nullptr) << "the statement owns the answer";
    EXPECT_EQ(f.conn.connAttr.bytesWritten, 8u);
    EXPECT_EQ(f.conn.connAttr.bytesRead, 7u);
  }
}

TEST(ExecuteSQL, APrepareHandsOverTheParameterCount) {
  for (bool refuse : {false, true}) {
    ExecuteFixture f;
    f.stmt.refuseParamCount = refuse;
    Reply r = DataReply("p");
    r.attrs = {Attr::Int32(fake::ATTR_PREPARED_PARAMCOUNT, 3)};
    f.node.Push(r);
    EXPECT_EQ(f.Run(create_prepared_statement), refuse ? -1 : 0);
    EXPECT_EQ(f.stmt.paramCounts, std::vector<int>{3});
    EXPECT_EQ(f.stmt.results.size(), refuse ? 0u : 1u);
    EXPECT_EQ(f.conn.nParamsNeeded, refuse ? 3 : 0);
  }
}

TEST(ExecuteSQL, WithoutASocketTheStatementHearsSo) {
  LoginFixture f;
  FakeStatement stmt;
  EXPECT_EQ(f.conn.ExecuteSQL(&stmt, "x", 1, execute), -1);
  const auto diags = DiagsOf(stmt);
  ASSERT_EQ(diags.size(), 1u);
  EXPECT_EQ(diags[0].state, "HY000");
  EXPECT_EQ(diags[0].text, notConnected);
  EXPECT_EQ(f.node.Connections(), 0);
}

TEST(ExecuteSQL, PendingAttributesGoWithOneRequest) {
  ExecuteFixture f;
  f.conn.AddAttribute(ATTR_QUERY_TIMEOUT, 9);
  ASSERT_EQ(f.Run(execute), 0);
  ASSERT_EQ(f.Run(execute), 0);
  const auto executes = f.RequestsOf(fake::kExecute);
  ASSERT_EQ(executes.size(), 2u);
  EXPECT_EQ(executes[0].Find(fake::ATTR_QUERY_TIMEOUT)->AsInt(), 9);
  EXPECT_EQ(executes[1].numAttributes, 0u);
  EXPECT_EQ(f.conn.attributes, nullptr);
}

// The node drops the connection; the client reconnects into its session and,
// where that is safe, sends the request once more.
TEST(ExecuteSQL, ReconnectAfterABrokenExchange) {
  struct Case {
    const char* name;
    __qvoMessageMode mode;
    size_t bytesBeforeClose;  // of the first answer
    bool repeated;
  };
  const Case cases[] = {
      {"execute, nothing answered", execute, 0, true},
      {"fetch, answer cut", send_rows, 10, true},
      // The server has run it: a second run would duplicate its work.
      {"execute, answer cut", execute, 10, false},
      {"batch, answer cut", execute_batch, 30, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExecuteFixture f;
    f.conn.AddAttribute(ATTR_QUERY_TIMEOUT, 9);
    Reply broken = DataReply("abcdefghijklmnopqrstuvwxyz");
    broken.closeAfter = c.bytesBeforeClose;
    f.node.Push(broken);
    f.node.On(c.mode, [](const Request&, fake::FakeNode&) { return DataReply("second"); });

    EXPECT_EQ(f.Run(c.mode), c.repeated ? 0 : -1);
    EXPECT_FALSE(f.socket().ShouldIReconnect());
    EXPECT_EQ(f.socket().qvoIsConnected(), 1);
    const auto logins = f.RequestsOf(fake::kLogin);
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[1].Find(fake::ATTR_SESSIONID)->AsInt(), 7001);
    EXPECT_EQ(logins[1].Find(fake::ATTR_QUERY_TIMEOUT)->AsInt(), 0)
        << "the pending list is not part of the reconnect";
    const auto sent = f.RequestsOf(c.mode);
    ASSERT_EQ(sent.size(), c.repeated ? 2u : 1u);
    for (const Request& r : sent) EXPECT_EQ(r.Find(fake::ATTR_QUERY_TIMEOUT)->AsInt(), 9);
    if (c.repeated) {
      const auto& got = c.mode == send_rows ? f.stmt.rows : f.stmt.results;
      EXPECT_EQ(got, std::vector<std::string>{AnswerBuffer(1, "second")});
    } else {
      const auto diags = DiagsOf(f.stmt);
      ASSERT_EQ(diags.size(), 1u);
      EXPECT_EQ(diags[0].state, "08S01");
      EXPECT_EQ(diags[0].text, interrupted);
    }

    // The connection goes on in its session; the pending list is gone.
    ASSERT_EQ(f.Run(execute), 0);
    const auto after = f.RequestsOf(fake::kExecute);
    EXPECT_EQ(after.back().numAttributes, 0u);
    EXPECT_EQ(f.RequestsOf(fake::kLogin).size(), 2u);
  }
}

TEST(ExecuteSQL, ASlaveConnectionNeverReconnects) {
  fake::LoginScript script;
  script.protocolVersion = 11;
  LoginFixture f(script);
  f.conn.ImMainNode = false;
  f.conn.connAttr.connType = 2;
  ASSERT_EQ(f.Login(), 0);
  FakeStatement stmt;
  f.node.Push(Reply::CloseAfter(0));
  EXPECT_EQ(f.conn.ExecuteSQL(&stmt, "x", 1, execute), -1);
  EXPECT_EQ(TextsOf(stmt), std::vector<std::string>{interrupted});
  EXPECT_NE(f.conn.Socket, nullptr) << "the socket stays";
  EXPECT_EQ(f.node.Connections(), 1);
}

TEST(ExecuteSQL, AFailedReconnect) {
  enum class Outcome { AnswerToStatement, SocketDropped, SocketKept };
  struct Case {
    const char* name;
    std::function<void(ExecuteFixture&)> breakLogin;
    Outcome outcome;
    std::string lastText;
  };
  auto refuse = [](const char* state, const char* text) {
    return [=](ExecuteFixture& f) {
      fake::LoginScript script;
      script.refuseLogin = fake::Refusal{state, text};
      f.player.SetScript(script);
    };
  };
  const Case cases[] = {
      // A login refusal of the cluster: the statement reads the server's answer.
      {"refused by the cluster", refuse("40020", "Session limit reached."),
       Outcome::AnswerToStatement, ""},
      {"login unreadable",
       [](ExecuteFixture& f) {
         f.node.On(fake::kLogin,
                   [](const Request&, fake::FakeNode&) { return Reply::CloseAfter(0); });
       },
       Outcome::SocketDropped, "Error receiving message from Vandrel. Socket failure."},
      // Any other refusal counts as a reconnect; the repeat then fails.
      {"refused otherwise", refuse("28000", "User locked."), Outcome::SocketKept,
       "Server communication error."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExecuteFixture f;
    c.breakLogin(f);
    f.node.Push(Reply::CloseAfter(0));
    const SQLRETURN rc = f.Run(execute);
    if (c.outcome == Outcome::AnswerToStatement) {
      EXPECT_EQ(rc, 0);
      ASSERT_EQ(f.stmt.results.size(), 1u);
      EXPECT_EQ(static_cast<unsigned char>(f.stmt.results[0][4]), 0xFF) << "an exception";
      EXPECT_NE(f.conn.Socket, nullptr);
      continue;
    }
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(f.conn.GetNumRecords(), 0) << "the records moved to the statement";
    const auto texts = TextsOf(f.stmt);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), c.lastText);
    if (c.outcome == Outcome::SocketKept) {
      EXPECT_NE(std::find(texts.begin(), texts.end(), "User locked."), texts.end());
      EXPECT_NE(f.conn.Socket, nullptr);
      continue;
    }
    EXPECT_EQ(f.conn.Socket, nullptr);
    // Until the application connects again.
    FakeStatement next;
    EXPECT_EQ(f.conn.ExecuteSQL(&next, "x", 1, execute), -1);
    EXPECT_EQ(TextsOf(next), std::vector<std::string>{notConnected});
  }
}

TEST(ExecuteSQL, RecordsMoveBetweenConnectionAndStatement) {
  LoginFixture f;
  FakeStatement stmt;
  f.conn.SetDiagRec("08S01", -7, "[OSTRANA][Vandrel driver]Link gone.");
  f.conn.SetDiagRec("40001", -1, "Retry.");
  f.conn.LastDiagWasFromServer();
  f.conn.GiveErrorMessagesToStatement(&stmt);
  EXPECT_EQ(f.conn.GetNumRecords(), 0);
  const auto diags = DiagsOf(stmt);
  ASSERT_EQ(diags.size(), 2u);
  EXPECT_EQ(diags[0].state, "08S01");
  EXPECT_EQ(diags[0].native, -7);
  EXPECT_EQ(diags[0].text, "Link gone.") << "the driver prefix appears once";
  EXPECT_TRUE(stmt.GetDiagRecPtr(2)->fromServer);

  f.conn.TakeErrorMessagesFromStatement(&stmt);
  EXPECT_EQ(f.conn.GetNumRecords(), 2);
  EXPECT_EQ(stmt.GetNumRecords(), 2) << "the statement keeps its records";
}

}  // namespace
