// libFuzzer target over the answer to create-prepared-statement: the
// prepared handle, the parameter description (into the IPD) and the result
// description (into the IRD), and the parameter count an answer attribute may
// announce. A statement is prepared through QVOPrepare and then described
// as an application would, parameter by parameter and column by column.
//
// The first input byte chooses the client's side:
//   bits 0-1   the protocol version (13, 9, 8, 7);
//   bits 2-3   the statement text, with 0 to 3 parameter markers;
//   bit 4      a failed prepare still counts (QVO_ATTR_PREPARE_SUCCESS);
//   bit 5      the statement is executed once after describing.
// The rest is what the node sends, answer after answer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/qvoAttributeIds.h"
#include "fuzz_session.h"

namespace {

constexpr const char* kTexts[] = {"SELECT * FROM t", "SELECT * FROM t WHERE a = ?",
                                  "INSERT INTO t VALUES (?, ?)",
                                  "UPDATE t SET a = ?, b = ? WHERE c = ?"};
constexpr size_t kGuard = 8;
constexpr char kFill = '#';

void DescribeColumn(SQLHSTMT stmt, SQLUSMALLINT c) {
  char name[16 + kGuard];
  std::memset(name, kFill, sizeof name);
  SQLSMALLINT nameLength = -1, type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  const SQLRETURN rc = QVODescribeCol(stmt, c, reinterpret_cast<SQLCHAR*>(name), 16, &nameLength,
                                      &type, &size, &digits, &nullable);
  if (SQL_SUCCEEDED(rc)) {
    CheckText(name, 16, kGuard, kFill);
    if (nameLength < 0) __builtin_trap();
  }
  // Texts and numbers of the record as ColAttribute gives them.
  for (SQLUSMALLINT field : {SQL_DESC_TYPE_NAME, SQL_DESC_LABEL, SQL_DESC_BASE_COLUMN_NAME}) {
    char text[12 + kGuard];
    std::memset(text, kFill, sizeof text);
    SQLSMALLINT length = -1;
    if (SQL_SUCCEEDED(QVOColAttribute(stmt, c, field, text, 12, &length, nullptr)))
      CheckText(text, 12, kGuard, kFill);
  }
  for (SQLUSMALLINT field : {SQL_DESC_OCTET_LENGTH, SQL_DESC_DISPLAY_SIZE, SQL_DESC_PRECISION}) {
    SQLLEN number = 0;
    QVOColAttribute(stmt, c, field, nullptr, 0, nullptr, &number);
  }
}

void Run(FuzzSession& session, uint8_t flags) {
  if (flags & 0x10)
    QVOSetConnectAttr(session.dbc, QVO_ATTR_PREPARE_SUCCESS, reinterpret_cast<SQLPOINTER>(1), 0);
  SQLHSTMT stmt = session.stmt;

  QVOPrepare(stmt, Sql(kTexts[(flags >> 2) & 3]), SQL_NTS);
  SQLSMALLINT params = -1;
  if (SQL_SUCCEEDED(QVONumParams(stmt, &params))) {
    if (params < 0) __builtin_trap();
    for (SQLUSMALLINT p = 1; p <= params + 1; ++p) {
      SQLSMALLINT type = 0, digits = 0, nullable = 0;
      SQLULEN columnSize = 0;
      QVODescribeParam(stmt, p, &type, &columnSize, &digits, &nullable);
    }
  }
  SQLSMALLINT columns = -1;
  if (SQL_SUCCEEDED(QVONumResultCols(stmt, &columns))) {
    if (columns < 0) __builtin_trap();
    for (SQLUSMALLINT c = 1; c <= columns + 1 && c <= 64; ++c) DescribeColumn(stmt, c);
  }
  if (flags & 0x20) {
    QVOExecute(stmt);
    FetchSome(stmt);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return WithSession(data, size, Run);
}
