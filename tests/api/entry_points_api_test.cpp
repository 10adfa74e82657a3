// Every statement entry point refuses what is not a live statement handle
// with SQL_INVALID_HANDLE and leaves every diagnostic area as it was: one
// row per entry point, run against each kind of bad handle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api_session.h"
#include "qvo/qvoCInterface.h"

namespace {

SQLCHAR* Text(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }
SQLWCHAR kWide[] = {u'x', 0};

struct EntryPoint {
  const char* name;
  SQLRETURN (*call)(SQLHSTMT);
};

#define ROW(name, ...)                                                    \
  {                                                                       \
#name, [](SQLHSTMT h) -> SQLRETURN { return name(h, ##__VA_ARGS__); } \
  }

const EntryPoint kEntryPoints[] = {
    ROW(QVOExecDirect, Text("SELECT 1"), SQL_NTS),
    ROW(QVOExecDirectW, kWide, SQL_NTS),
    ROW(QVOPrepare, Text("SELECT 1"), SQL_NTS),
    ROW(QVOPrepareW, kWide, SQL_NTS),
    ROW(QVOExecute),
    ROW(QVOCancel),
    ROW(QVOMoreResults),
    ROW(QVORowCount, nullptr),
    ROW(QVOFreeStmt, SQL_CLOSE),
    ROW(QVOFreeStmt, SQL_DROP),
    ROW(QVOCloseCursor),
    ROW(QVOSetPos, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE),
    ROW(QVOBulkOperations, SQL_ADD),
    ROW(QVOSetCursorName, Text("c"), SQL_NTS),
    ROW(QVOSetStmtAttr, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0),
    ROW(QVOSetStmtAttrW, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0),
    ROW(QVOGetStmtAttr, SQL_ATTR_ROW_ARRAY_SIZE, nullptr, 0, nullptr),
    ROW(QVOGetStmtAttrW, SQL_ATTR_ROW_ARRAY_SIZE, nullptr, 0, nullptr),
    ROW(QVONumResultCols, nullptr),
    ROW(QVODescribeCol, 1, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW(QVODescribeColW, 1, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW(QVODescribeCol2, 1, nullptr),
    ROW(QVOColAttribute, 1, SQL_DESC_NAME, nullptr, 0, nullptr, nullptr),
    ROW(QVOColAttributeW, 1, SQL_DESC_NAME, nullptr, 0, nullptr, nullptr),
    ROW(QVOBindCol, 1, SQL_C_CHAR, nullptr, 0, nullptr),
    ROW(QVOFetch),
    ROW(QVOFetchScroll, SQL_FETCH_NEXT, 0),
    ROW(QVOGetData, 1, SQL_C_CHAR, nullptr, 0, nullptr),
    ROW(QVOBindParameter, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, nullptr),
    ROW(QVONumParams, nullptr),
    ROW(QVODescribeParam, 1, nullptr, nullptr, nullptr, nullptr),
    ROW(QVOParamData, nullptr),
    ROW(QVOPutData, nullptr, 0),
    ROW(QVOEnterParallel, 2, nullptr, nullptr, nullptr),
    ROW(QVOGetHostnames, nullptr, nullptr),
    ROW(QVOGetSlaveOffset, nullptr),
    ROW(QVOExecuteDescRes, 1),
    ROW(QVOExecuteCloseRes),
    ROW(QVOExecGetTimestamp),
    ROW(QVOGetTypeInfo, SQL_ALL_TYPES),
    ROW(QVOTables, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOTablesW, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOColumns, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOColumnsW, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOPrimaryKeys, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOPrimaryKeysW, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOForeignKeys, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOForeignKeysW, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOTablePrivileges, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOTablePrivilegesW, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOColumnPrivileges, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOColumnPrivilegesW, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOProcedures, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOProceduresW, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOProcedureColumns, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOProcedureColumnsW, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
    ROW(QVOStatistics, nullptr, 0, nullptr, 0, nullptr, 0, SQL_INDEX_ALL, 0),
    ROW(QVOStatisticsW, nullptr, 0, nullptr, 0, nullptr, 0, SQL_INDEX_ALL, 0),
    ROW(QVOSpecialColumns, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0),
    ROW(QVOSpecialColumnsW, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0),
};

#undef ROW

// The records of a handle as one comparable text.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE h) {
  std::string out;
  for (const api::Record& r : api::Records(type, h))
    out += r.state + " " + std::to_string(r.native) + " " + r.text + "\n";
  return out;
}

TEST(EntryPointsTest, BadHandlesAreRefusedAndNothingIsRecorded) {
  api::Session s;
  // A freed statement of the same connection.
  SQLHANDLE freed = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, s.dbc, &freed), SQL_SUCCESS);
  ASSERT_EQ(QVOFreeHandle(SQL_HANDLE_STMT, freed), SQL_SUCCESS);
  // Records already on the live handles, which no refused call may touch.
  QVOSetDiagRec(SQL_HANDLE_STMT, s.stmt, "01000", 7, "statement mark");
  QVOSetDiagRec(SQL_HANDLE_DBC, s.dbc, "01000", 8, "connection mark");
  QVOSetDiagRec(SQL_HANDLE_ENV, s.env, "01000", 9, "environment mark");
  const std::string stmtBefore = Diagnostics(SQL_HANDLE_STMT, s.stmt);
  const std::string dbcBefore = Diagnostics(SQL_HANDLE_DBC, s.dbc);
  const std::string envBefore = Diagnostics(SQL_HANDLE_ENV, s.env);
  ASSERT_NE(stmtBefore, "");

  const struct {
    const char* what;
    SQLHANDLE handle;
  } bad[] = {
      {"null", SQL_NULL_HANDLE},
      {"freed statement", freed},
      {"connection", s.dbc},
      {"environment", s.env},
      {"beyond the table", reinterpret_cast<SQLHANDLE>(static_cast<uintptr_t>(0x7FFFFFF0))},
  };
  for (const EntryPoint& e : kEntryPoints)
    for (const auto& b : bad)
      EXPECT_EQ(e.call(b.handle), SQL_INVALID_HANDLE)
          << e.name << " with a " << b.what << " handle";

  EXPECT_EQ(Diagnostics(SQL_HANDLE_STMT, s.stmt), stmtBefore);
  EXPECT_EQ(Diagnostics(SQL_HANDLE_DBC, s.dbc), dbcBefore);
  EXPECT_EQ(Diagnostics(SQL_HANDLE_ENV, s.env), envBefore);
}

}  // namespace
