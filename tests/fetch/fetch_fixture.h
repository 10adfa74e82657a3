// A statement over a fake node that serves tables, with the rowset
// attributes set through the exported interface.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "statement/statement_fixture.h"
#include "support/fake_table.h"

inline SQLPOINTER AsAttr(SQLLEN v) {
  return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v));
}

class FetchTest : public StatementTest {
 protected:
  // Serves the table for the next execution and executes it.
  SQLRETURN Open(const fake::Table& table, fake::Blocks blocks, int protocol) {
    QVOFreeStmt(stmt, SQL_CLOSE);
    SetProtocol(protocol);
    node.SetProtocolVersion(protocol);
    node.ServeTable(fake::SqlMatch::Any(), table, blocks);
    return Exec("SELECT * FROM T");
  }

  void SetRowset(SQLULEN size, SQLUSMALLINT* status = nullptr) {
    ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, AsAttr(static_cast<SQLLEN>(size)), 0),
              SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched, 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0), SQL_SUCCESS);
  }

  // The rows of column-wise bound SQLLEN indicator and data arrays.
  static SQLLEN IndicatorAt(const std::vector<char>& buf, size_t offset, size_t row) {
    SQLLEN v;
    std::memcpy(&v, buf.data() + offset + row * sizeof(SQLLEN), sizeof v);
    return v;
  }

  SQLULEN rowsFetched = 0;
};
