// Driver and server information through the exported functions of
// libqvocli.so: a connection logged in to the fake node, whose metadata view
// the node serves as an ordinary result set.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

namespace r = fake::results;

constexpr const char* kQuery = "select * from \"$ODBCJDBC\".\"DB_METADATA\" order by 1,2";

fake::Table MetadataView() {
  static const std::pair<const char*, const char*> rows[] = {
      {"databaseProductName", "Vändrel"},
      {"maxColumnNameLength", "128"},
      {"supportedEncodings", "UTF8"},
  };
  fake::Table t;
  t.columns = {r::Column::Char("NAME", 100, 100, r::kVarying),
               r::Column::Char("VALUE", 100, 400, r::kVarying | r::kUtf8)};
  t.rows = 3;
  t.value = [](int64_t row, size_t column) {
    return r::Value::Text(column == 0 ? rows[row].first : rows[row].second);
  };
  return t;
}

TEST(InfoApi, ALoggedInConnectionAnswersFromItsNodeAndItsView) {
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  node.ServeTable(kQuery, MetadataView());
  SQLHANDLE env = SQL_NULL_HANDLE, dbc = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  const std::string port = std::to_string(node.Port());
  ASSERT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                             "secret", SQL_NTS),
            SQL_SUCCESS);

  char text[64] = {};
  SQLSMALLINT length = 0;
  EXPECT_EQ(QVOGetInfo(dbc, 13, text, sizeof text, &length), SQL_SUCCESS);
  EXPECT_EQ(std::string(text), "127.0.0.1:" + port) << "the node in use, host and port";
  EXPECT_EQ(QVOGetInfo(dbc, 47, text, sizeof text, &length), SQL_SUCCESS);
  EXPECT_STREQ(text, "user");

  SQLWCHAR wide[32] = {};
  EXPECT_EQ(QVOGetInfoW(dbc, 17, wide, sizeof wide, &length), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wide)), u"Vändrel");
  EXPECT_EQ(length, 14) << "bytes";
  SQLUSMALLINT n = 0;
  EXPECT_EQ(QVOGetInfo(dbc, 30, &n, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(n, 128);
  SQLINTEGER attrLength = 0;
  EXPECT_EQ(QVOGetConnectAttr(dbc, 21033, text, sizeof text, &attrLength), SQL_SUCCESS);
  EXPECT_STREQ(text, "UTF8");

  size_t queries = 0;
  for (const std::string& sql : node.Sql()) queries += sql == kQuery;
  EXPECT_EQ(queries, 1u);
  EXPECT_TRUE(node.OpenResultSets().empty());
  EXPECT_EQ(QVODisconnect(dbc), SQL_SUCCESS);
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(InfoApi, AnUnknownHandle) {
  char text[8];
  EXPECT_EQ(QVOGetInfo(reinterpret_cast<SQLHDBC>(1999), 10, text, sizeof text, nullptr),
            SQL_INVALID_HANDLE);
  EXPECT_EQ(QVOGetInfoW(reinterpret_cast<SQLHDBC>(1999), 10, text, sizeof text, nullptr),
            SQL_INVALID_HANDLE);
}

}  // namespace
