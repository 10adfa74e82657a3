// A connected statement against a fake node, for tests of the exported
// functions; everything is freed with the object.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/api_records.h"
#include "support/fake_login.h"
#include "support/fake_node.h"

namespace api {

struct Session {
  Session() : player(node) {
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    const std::string port = std::to_string(node.Port());
    EXPECT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                               "secret", SQL_NTS),
              SQL_SUCCESS);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  }
  ~Session() { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  SQLRETURN Exec(const char* sql) {
    return QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
  }
  std::vector<Record> Records() const { return api::Records(SQL_HANDLE_STMT, stmt); }
  // The first record's SQLSTATE, or "" without one.
  std::string State() const {
    const std::vector<Record> r = Records();
    return r.empty() ? "" : r[0].state;
  }

  fake::FakeNode node;
  fake::LoginPlayer player;
  SQLHANDLE env = SQL_NULL_HANDLE;
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  SQLHANDLE stmt = SQL_NULL_HANDLE;
};

}  // namespace api
