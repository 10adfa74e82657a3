// Every call that returns SQL_ERROR leaves at least one diagnostic record on
// the handle it was given, through the exported functions of libqvocli.so.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_node.h"

namespace {

std::string FirstState(SQLSMALLINT type, SQLHANDLE h) {
  SQLCHAR state[6] = {};
  SQLCHAR text[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (QVOGetDiagRec(type, h, 1, state, &native, text, sizeof text, &len) != SQL_SUCCESS) return "";
  return reinterpret_cast<char*>(state);
}

struct Handles {
  SQLHANDLE env = SQL_NULL_HANDLE;
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  SQLHANDLE stmt = SQL_NULL_HANDLE;
};

struct Case {
  const char* name;
  bool connected;  // the connection logs in first
  SQLSMALLINT type;
  std::function<SQLHANDLE(const Handles&)> handle;
  std::function<SQLRETURN(const Handles&)> call;
  const char* state;
};

TEST(ErrorRecords, EveryErrorCarriesARecord) {
  const std::int64_t session = 7001;
  const Case cases[] = {
      {"EndTran on an environment, invalid completion type", false, SQL_HANDLE_ENV,
       [](const Handles& h) { return h.env; },
       [](const Handles& h) { return QVOEndTran(SQL_HANDLE_ENV, h.env, 7); }, "HY000"},
      {"EndTran on a logged-in environment, invalid completion type", true, SQL_HANDLE_ENV,
       [](const Handles& h) { return h.env; },
       [](const Handles& h) { return QVOEndTran(SQL_HANDLE_ENV, h.env, -3); }, "HY000"},
      {"EndTran on a connection that has no session", false, SQL_HANDLE_DBC,
       [](const Handles& h) { return h.dbc; },
       [](const Handles& h) { return QVOEndTran(SQL_HANDLE_DBC, h.dbc, SQL_COMMIT); }, "08003"},
      {"SetConnectAttrW 21042, length 0", false, SQL_HANDLE_DBC,
       [](const Handles& h) { return h.dbc; },
       [&](const Handles& h) {
         return QVOSetConnectAttrW(h.dbc, 21042, const_cast<std::int64_t*>(&session), 0);
       },
       "HY000"},
      {"SetConnectAttrW 21042, length -100", false, SQL_HANDLE_DBC,
       [](const Handles& h) { return h.dbc; },
       [&](const Handles& h) {
         return QVOSetConnectAttrW(h.dbc, 21042, const_cast<std::int64_t*>(&session), -100);
       },
       "HY000"},
      {"SetStmtAttr 21061 with -1", true, SQL_HANDLE_STMT, [](const Handles& h) { return h.stmt; },
       [](const Handles& h) {
         return QVOSetStmtAttr(h.stmt, 21061, reinterpret_cast<SQLPOINTER>(intptr_t{-1}), 0);
       },
       "01S02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeNode node;
    fake::LoginPlayer player(node);
    Handles h;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h.env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, h.env, &h.dbc), SQL_SUCCESS);
    if (c.connected) {
      const std::string port = std::to_string(node.Port());
      ASSERT_EQ(QVOServerConnect(h.dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user",
                                 SQL_NTS, "secret", SQL_NTS),
                SQL_SUCCESS);
      ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, h.dbc, &h.stmt), SQL_SUCCESS);
    }
    EXPECT_EQ(c.call(h), SQL_ERROR);
    EXPECT_EQ(FirstState(c.type, c.handle(h)), c.state);
    if (c.connected) QVODisconnect(h.dbc);
    QVOFreeHandle(SQL_HANDLE_ENV, h.env);
  }
}

}  // namespace
