// Connecting through the exported functions of libqvocli.so, against the fake
// node.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api_session.h"
#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_node.h"

namespace {

using api::Record;

// An environment with one connection, freed with the object.
struct Dbc {
  Dbc() {
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  }
  ~Dbc() { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  std::vector<Record> Records() const { return api::Records(SQL_HANDLE_DBC, dbc); }

  SQLHANDLE env = SQL_NULL_HANDLE;
  SQLHANDLE dbc = SQL_NULL_HANDLE;
};

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }
const SQLWCHAR* W(const std::u16string& s) { return reinterpret_cast<const SQLWCHAR*>(s.c_str()); }

constexpr char kPrefix[] = "[OSTRANA][Vandrel driver]";

TEST(ConnectApi, UnknownHandles) {
  const char16_t empty[] = u"";
  const SQLWCHAR* w = reinterpret_cast<const SQLWCHAR*>(empty);
  for (SQLHANDLE h : {SQLHANDLE{SQL_NULL_HANDLE}, reinterpret_cast<SQLHANDLE>(2047)}) {
    EXPECT_EQ(QVOServerConnect(h, "h", SQL_NTS, "", SQL_NTS, "u", SQL_NTS, "p", SQL_NTS), -2);
    EXPECT_EQ(QVOServerConnectW(h, w, SQL_NTS, w, SQL_NTS, w, SQL_NTS, w, SQL_NTS), -2);
  }
  Dbc d;
  EXPECT_EQ(QVOServerConnect(d.env, "h", SQL_NTS, "", SQL_NTS, "u", SQL_NTS, "p", SQL_NTS), -2)
      << "an environment is no connection";
}

// Argument checks, in both forms, before any node is contacted.
TEST(ConnectApi, ArgumentsChecked) {
  struct Case {
    const char* name;
    const char* host;
    SQLINTEGER hostLen;
    const char* port;
    SQLINTEGER portLen;
    const char* user;
    SQLSMALLINT userLen;
    const char* password;
    SQLSMALLINT passwordLen;
    std::string state;
    SQLINTEGER native;
  };
  const Case cases[] = {
      {"empty user, host not looked at", "bad host!", SQL_NTS, "", SQL_NTS, "", SQL_NTS, "p",
       SQL_NTS, "SO083", -1},
      {"null user", "h", SQL_NTS, "", SQL_NTS, nullptr, SQL_NTS, "p", SQL_NTS, "SO083", -1},
      {"user of length 0", "h", SQL_NTS, "", SQL_NTS, "u", 0, "p", SQL_NTS, "SO083", -1},
      {"empty password", "h", SQL_NTS, "", SQL_NTS, "u", SQL_NTS, "", SQL_NTS, "SO084", -1},
      {"host length refused", "h", -7, "", SQL_NTS, "u", SQL_NTS, "p", SQL_NTS, "SO081", -1},
      {"port length refused", "h", SQL_NTS, "1", -7, "u", SQL_NTS, "p", SQL_NTS, "SO082", -1},
      {"null host reaches the connect empty", nullptr, SQL_NTS, nullptr, SQL_NTS, "u", SQL_NTS, "p",
       SQL_NTS, "SO085", -5},
  };
  for (const Case& c : cases) {
    for (bool wide : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (wide ? " (W)" : ""));
      Dbc d;
      SQLRETURN rc;
      if (wide) {
        const std::u16string host = Wide(c.host ? c.host : ""), port = Wide(c.port ? c.port : ""),
                             user = Wide(c.user ? c.user : ""),
                             password = Wide(c.password ? c.password : "");
        rc = QVOServerConnectW(d.dbc, c.host ? W(host) : nullptr, c.hostLen,
                               c.port ? W(port) : nullptr, c.portLen, c.user ? W(user) : nullptr,
                               c.userLen, c.password ? W(password) : nullptr, c.passwordLen);
      } else {
        rc = QVOServerConnect(d.dbc, c.host, c.hostLen, c.port, c.portLen, c.user, c.userLen,
                              c.password, c.passwordLen);
      }
      EXPECT_EQ(rc, -1);
      const auto records = d.Records();
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].state, c.state);
      EXPECT_EQ(records[0].native, c.native);
    }
  }
}

TEST(ConnectApi, TheServersRefusalReachesTheApplication) {
  fake::FakeNode node;
  fake::LoginScript script;
  script.refusePassword = fake::Refusal{"28000", "User SYS is locked."};
  fake::LoginPlayer player(node, script);
  Dbc d;
  const std::string hosts = "127.0.0.1:" + std::to_string(node.Port());
  EXPECT_EQ(QVOServerConnect(d.dbc, hosts.c_str(), SQL_NTS, "", SQL_NTS, "sys", SQL_NTS, "secret",
                             SQL_NTS),
            -1);
  const auto records = d.Records();
  ASSERT_FALSE(records.empty());
  // Reading the list reduces it to the server's own record.
  EXPECT_EQ(records.back().state, "28000");
  EXPECT_EQ(records.back().native, -1);
  EXPECT_EQ(records.back().text, std::string(kPrefix) + "User SYS is locked.");
  SQLHANDLE desc = SQL_NULL_HANDLE;
  EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, d.dbc, &desc), -1) << "not connected";
}

// The whole login through both forms; descriptors can then hang under the
// connection.
TEST(ConnectApi, LoginThroughBothForms) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "W" : "narrow");
    fake::FakeNode node;
    fake::LoginPlayer player(node);
    Dbc d;
    const std::string host = "127.0.0.1", port = std::to_string(node.Port());
    SQLRETURN rc;
    if (wide) {
      const std::u16string h = Wide(host), p = Wide(port), u = Wide("user"), pw = Wide("secret");
      rc = QVOServerConnectW(d.dbc, W(h), SQL_NTS, W(p), SQL_NTS, W(u), SQL_NTS, W(pw), 6);
    } else {
      rc = QVOServerConnect(d.dbc, host.c_str(), SQL_NTS, port.c_str(), SQL_NTS, "user", 4,
                            "secret", SQL_NTS);
    }
    ASSERT_TRUE(node.WaitForRequests(3));
    ASSERT_EQ(player.Seen().size(), 1u);
    EXPECT_EQ(player.Seen()[0].password, "secret");
    EXPECT_EQ(node.Requests()[0].Find(fake::ATTR_USERNAME)->AsText(), "user");

    EXPECT_EQ(rc, SQL_SUCCESS);
    SQLHANDLE desc = SQL_NULL_HANDLE;
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, d.dbc, &desc), SQL_SUCCESS);
    EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_DESC, desc), SQL_SUCCESS);
  }
}

}  // namespace
