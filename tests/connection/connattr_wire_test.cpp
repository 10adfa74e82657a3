// The connection's own requests against a fake node: host names, session
// kill, the session's settings, disconnect, closing the socket, and a slave
// connect on a connection in use.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "connection/wire_fixture.h"
#include "support/fake_login.h"

namespace {

using fake::Attr;
using fake::Bytes;
using fake::Reply;
using fake::Request;

void Aim(qvoConnection& c, const char* address, const char* port) {
  std::snprintf(c.server.qvoServer, sizeof c.server.qvoServer, "%s", address);
  c.server.qvoServerLen = static_cast<int>(std::strlen(address));
  std::snprintf(c.server.qvoPort, sizeof c.server.qvoPort, "%s", port);
  c.server.qvoPortLen = static_cast<int>(std::strlen(port));
}

// A host-name answer: the count, then each host with its length.
Reply Hosts(int32_t count, const std::vector<std::string>& hosts) {
  Reply r;
  r.results = 1;
  fake::PutLE(r.data, static_cast<uint32_t>(count), 4);
  for (const std::string& h : hosts) {
    fake::PutLE(r.data, h.size(), 4);
    r.data.insert(r.data.end(), h.begin(), h.end());
  }
  return r;
}

TEST(HostNames, TheClusterAsOneText) {
  struct Case {
    const char* name;
    Reply reply;
    int bufferSize;
    SQLRETURN rc;
    std::string result;  // or the diagnostic's text
  };
  Reply withLongHost = Hosts(2, {"10.0.0.5"});
  fake::PutLE(withLongHost.data, 500, 4);  // a host longer than the answer
  withLongHost.data.push_back('x');
  // A cluster of 255 hosts: its count starts with the byte of the exception
  // kind, yet it is a host list.
  std::vector<std::string> many;
  std::string manyText;
  for (int i = 0; i < 255; ++i) {
    many.push_back("node" + std::to_string(i));
    manyText += (i ? "," : "") + many.back();
  }
  manyText += ":8563";
  const std::vector<Case> cases = {
      {"255 hosts", Hosts(255, many), 4096, 0, manyText},
      {"three hosts", Hosts(3, {"10.0.0.5", "10.0.0.6", "10.0.0.7"}), 256, 0,
       "10.0.0.5,10.0.0.6,10.0.0.7:8563"},
      {"one host", Hosts(1, {"10.0.0.5"}), 256, 0, "10.0.0.5:8563"},
      {"hosts stop before the reserve", Hosts(3, {"aaaaaaaaaa", "bbbbbbbbbb", "cccccccccc"}), 45, 0,
       "aaaaaaaaaa,bbbbbbbbbb:8563"},
      {"cut to a small buffer", Hosts(2, {"aaaaaaaaaaaaaaaaaaaa", "b"}), 12, 0, "aaaaaaaaaaa"},
      {"255 hosts counted, none sent", Hosts(255, {}), 256, -1, "Error getting host names."},
      {"an exception", fake::ExceptionReply("42000", "no"), 256, -1, "Error getting host names."},
      {"no hosts", Hosts(0, {}), 256, -1, "Numeric value out of range. Host number is invalid."},
      {"negative count", Hosts(-3, {}), 256, -1,
       "Numeric value out of range. Host number is invalid."},
      {"fewer hosts than counted", Hosts(3, {"10.0.0.5"}), 256, -1, "Error getting host names."},
      {"host longer than the answer", withLongHost, 256, -1, "Error getting host names."},
      {"no answer data", Reply{}, 256, -1, "Error getting host names."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    WireFixture w;
    Aim(w.conn, "10.0.0.5", "8563");
    w.node.Push(k.reply);
    std::vector<char> buffer(static_cast<size_t>(k.bufferSize) + 8, '#');
    EXPECT_EQ(w.conn.GetHostnames(buffer.data(), k.bufferSize), k.rc);
    if (k.rc == SQL_SUCCESS) {
      EXPECT_EQ(std::string(buffer.data()), k.result);
    } else {
      EXPECT_EQ(TextsOf(w.conn), std::vector<std::string>{k.result});
    }
    for (size_t i = static_cast<size_t>(k.bufferSize); i < buffer.size(); ++i)
      EXPECT_EQ(buffer[i], '#') << "written past the buffer at " << i;
    ASSERT_TRUE(w.node.WaitForRequests(1));
    const Request r = w.node.Requests().at(0);
    EXPECT_EQ(r.command, fake::kGetHostnames);
    const std::string address = "10.0.0.5";
    Bytes expected;
    fake::PutLE(expected, address.size(), 4);
    expected.insert(expected.end(), address.begin(), address.end());
    EXPECT_EQ(r.data, expected);
  }

  // Through the attribute; without a buffer nothing is asked.
  WireFixture w;
  Aim(w.conn, "10.0.0.5", "8563");
  w.node.Push(Hosts(2, {"a", "b"}));
  char text[64];
  EXPECT_EQ(w.conn.GetConnectAttr(21059, text, sizeof text, nullptr), 0);
  EXPECT_STREQ(text, "a,b:8563");
  EXPECT_EQ(w.conn.GetConnectAttr(21059, nullptr, sizeof text, nullptr), -1);
  EXPECT_EQ(w.node.Requests().size(), 1u);
}

TEST(SessionKill, TheSessionIdGoesOutAndAnExceptionComesBack) {
  const qvo_uint64 session = 0x0102030405060708ULL;
  Reply lying = fake::ExceptionReply("HY000", "gone");
  lying.data[1] = 0x7F;  // a text length beyond the answer
  struct Case {
    const char* name;
    Reply reply;
    SQLRETURN rc;
    std::vector<Diag> diags;
  };
  const std::vector<Case> cases = {
      {"killed", Reply{}, 0, {}},
      {"refused",
       fake::ExceptionReply("42500", "insufficient privileges"),
       -1,
       {{"42500", -1, "insufficient privileges"}}},
      {"malformed exception",
       lying,
       -1,
       {{"HY010", -1, "Incorrect data array received from server."}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    WireFixture w;
    w.node.Push(k.reply);
    EXPECT_EQ(w.conn.SetConnectAttr(21042, const_cast<qvo_uint64*>(&session), 8), k.rc);
    const std::vector<Diag> diags = DiagsOf(w.conn);
    ASSERT_EQ(diags.size(), k.diags.size());
    for (size_t i = 0; i < diags.size(); ++i) {
      EXPECT_EQ(diags[i].state, k.diags[i].state);
      EXPECT_EQ(diags[i].native, k.diags[i].native);
      EXPECT_EQ(diags[i].text, k.diags[i].text);
    }
    ASSERT_TRUE(w.node.WaitForRequests(1));
    const Request r = w.node.Requests().at(0);
    EXPECT_EQ(r.command, fake::kSessionKill);
    EXPECT_EQ(r.data, (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  }
}

TEST(SessionSettings, TransactionStateAndDeadConnection) {
  WireFixture w;
  Reply state;
  state.attrs.push_back(Attr::Byte(fake::ATTR_TRANSACTION_STATE, 1));
  w.node.Push(state);
  SQLINTEGER value = -1;
  EXPECT_EQ(w.conn.GetConnectAttr(21043, &value, 0, nullptr), 0);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(w.conn.GetConnectAttr(SQL_ATTR_CONNECTION_DEAD, &value, 0, nullptr), 0);
  EXPECT_EQ(value, 0);
  ASSERT_TRUE(w.node.WaitForRequests(2));
  for (const Request& r : w.node.Requests()) EXPECT_EQ(r.command, fake::kGetAttributes);

  // Attribute 21045 closes the socket under the connection; the next
  // exchange notices.
  EXPECT_EQ(w.conn.SetConnectAttr(21045, reinterpret_cast<SQLPOINTER>(1), 0), 0);
  EXPECT_TRUE(w.node.WaitForClosed(1));
  EXPECT_NE(w.conn.Socket, nullptr);
}

TEST(SessionSettings, WhileConnectedTheyGoOutAtOnce) {
  WireFixture w;
  EXPECT_EQ(w.conn.SetConnectAttr(SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(20), 0), 0);
  EXPECT_EQ(w.conn.SetConnectAttr(SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(20), 0), 0);
  EXPECT_EQ(w.conn.SetConnectAttr(21078, reinterpret_cast<SQLPOINTER>(1), 0), 0);
  EXPECT_EQ(w.conn.attributes, nullptr);
  ASSERT_TRUE(w.node.WaitForRequests(2));
  const auto requests = w.node.Requests();
  ASSERT_EQ(requests.size(), 2u) << "an unchanged timeout sends nothing";
  EXPECT_EQ(requests[0].command, fake::kSetAttributes);
  ASSERT_NE(requests[0].Find(fake::ATTR_QUERY_TIMEOUT), nullptr);
  EXPECT_EQ(requests[0].Find(fake::ATTR_QUERY_TIMEOUT)->AsInt(), 20);
  ASSERT_NE(requests[0].Find(fake::ATTR_AUTOCOMMIT), nullptr);
  EXPECT_EQ(requests[0].Find(fake::ATTR_AUTOCOMMIT)->AsInt(), 1);
  ASSERT_NE(requests[1].Find(51), nullptr);
  EXPECT_EQ(requests[1].Find(fake::ATTR_AUTOCOMMIT), nullptr);
}

TEST(Disconnect, EndsTheSessionAndForgetsItsCredentials) {
  WireFixture w;
  w.conn.connAttr.userName = std::make_unique<char[]>(5);
  std::memcpy(w.conn.connAttr.userName.get(), "user", 5);
  w.conn.connAttr.userNameLen = 4;
  w.conn.connAttr.SetPassword("secret", 6);
  w.conn.SetConnectAttr(21007, const_cast<char*>("dsn"), SQL_NTS);
  w.conn.SetConnectAttr(21017, const_cast<char*>(",."), SQL_NTS);
  w.conn.connAttr.queryTimeout = 9;
  w.conn.connectionToken = 77;
  EXPECT_EQ(w.conn.qvoDisconnect(false), SQL_SUCCESS);
  ASSERT_TRUE(w.node.WaitForRequests(1));
  EXPECT_EQ(w.node.Requests().at(0).command, fake::kDisconnect);
  EXPECT_EQ(w.conn.Socket, nullptr);
  EXPECT_TRUE(w.conn.Disconnected());
  EXPECT_EQ(w.conn.connAttr.userName, nullptr);
  EXPECT_EQ(w.conn.connAttr.qvoPassword, nullptr);
  EXPECT_EQ(w.conn.connAttr.qvoPasswordLen, 0);
  EXPECT_EQ(w.conn.connAttr.dsnName, nullptr);
  EXPECT_EQ(w.conn.GetNumericCharacters(), "");
  EXPECT_EQ(w.conn.GetQueryTimeout(), 0u);
  EXPECT_EQ(w.conn.connectionToken, 0);
  EXPECT_EQ(w.conn.GetNumRecords(), 0);

  // Never connected: 0; the not-connected record stays only while records
  // are kept.
  qvoConnection idle(nullptr);
  EXPECT_EQ(idle.qvoDisconnect(false), SQL_SUCCESS);
  EXPECT_EQ(idle.GetNumRecords(), 0);
  idle.errorReset = false;
  EXPECT_EQ(idle.qvoDisconnect(false), SQL_SUCCESS);
  ASSERT_EQ(DiagsOf(idle).size(), 1u);
  EXPECT_EQ(DiagsOf(idle)[0].state, "01002");
  EXPECT_EQ(DiagsOf(idle)[0].text, "Vandrel was not connected.");
  EXPECT_EQ(idle.qvoDisconnect(true), SQL_SUCCESS);
  EXPECT_EQ(idle.GetNumRecords(), 1) << "the destructor's disconnect records nothing";
}

TEST(SlaveConnect, AConnectionInUseChangesNothing) {
  WireFixture w;
  Aim(w.conn, "10.0.0.5", "8563");
  w.conn.connAttr.connType = 1;
  w.conn.connAttr.userName = std::make_unique<char[]>(5);
  std::memcpy(w.conn.connAttr.userName.get(), "user", 5);
  w.conn.connAttr.userNameLen = 4;
  w.conn.connAttr.SetPassword("secret", 6);
  EXPECT_EQ(w.conn.SlaveConnect("127.0.0.1", SQL_NTS, "9999", SQL_NTS, 77), SQL_ERROR);
  EXPECT_EQ(TextsOf(w.conn), std::vector<std::string>{"Connection name in use."});
  EXPECT_EQ(DiagsOf(w.conn)[0].state, "08002");
  EXPECT_STREQ(w.conn.connAttr.userName.get(), "user");
  EXPECT_STREQ(w.conn.connAttr.qvoPassword.get(), "secret");
  EXPECT_STREQ(w.conn.server.qvoServer, "10.0.0.5");
  EXPECT_STREQ(w.conn.server.qvoPort, "8563");
  EXPECT_EQ(w.conn.connAttr.connType, 1);
  EXPECT_TRUE(w.conn.IsMainNode());
  EXPECT_EQ(w.conn.connectionToken, 0);
}

}  // namespace
