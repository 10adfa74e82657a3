// libFuzzer target over the answers to execute-prepared-statement and what
// the statement makes of them for the application: the row counts, the
// status of every parameter row and the rows processed, with the rows sent
// in one block or, under a small data message size, in several (one answer
// each). The statement is prepared first, from the same input.
//
// The first input byte chooses the client's side:
//   bits 0-1   the protocol version (13, 9, 8, 7);
//   bits 2-5   the parameter rows bound, 1 to 16;
//   bit 6      the text parameter bound as binary;
//   bit 7      a data message size of 64 bytes, so that every row or two
//              goes in a block of its own.
// The rest is what the node sends, answer after answer: the prepare's, then
// one per block.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/qvoAttributeIds.h"
#include "fuzz_session.h"

namespace {

constexpr SQLULEN kMaxRows = 16;
constexpr SQLULEN kGuardRows = 4;
constexpr SQLUSMALLINT kUnset = 0xEEEE;

bool KnownStatus(SQLUSMALLINT s) {
  return s == SQL_PARAM_SUCCESS || s == SQL_PARAM_SUCCESS_WITH_INFO || s == SQL_PARAM_ERROR ||
         s == SQL_PARAM_UNUSED || s == SQL_PARAM_DIAG_UNAVAILABLE;
}

SQLPOINTER Value(SQLULEN n) { return reinterpret_cast<SQLPOINTER>(n); }

void Run(FuzzSession& session, uint8_t flags) {
  SQLHSTMT stmt = session.stmt;
  if (flags & 0x80) QVOSetConnectAttr(session.dbc, QVO_ATTR_MAX_DATA_MESSAGE_SIZE, Value(64), 0);

  const SQLULEN rows = 1 + ((flags >> 2) & 15);
  SQLINTEGER ids[kMaxRows] = {};
  SQLLEN idInd[kMaxRows] = {};
  char names[kMaxRows][12] = {};
  SQLLEN nameInd[kMaxRows] = {};
  for (SQLULEN r = 0; r < rows; ++r) {
    ids[r] = static_cast<SQLINTEGER>(r);
    idInd[r] = r % 5 == 4 ? SQL_NULL_DATA : 0;
    nameInd[r] = std::snprintf(names[r], sizeof names[r], "row-%02u", static_cast<unsigned>(r));
  }
  const bool binary = (flags & 0x40) != 0;
  SQLUSMALLINT statuses[kMaxRows + kGuardRows];
  for (SQLUSMALLINT& s : statuses) s = kUnset;
  SQLULEN processed = 12345;
  QVOSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, Value(rows), 0);
  QVOSetStmtAttr(stmt, SQL_ATTR_PARAM_STATUS_PTR, statuses, 0);
  QVOSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
  QVOBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_DECIMAL, 18, 0, ids, 0, idInd);
  QVOBindParameter(stmt, 2, SQL_PARAM_INPUT, binary ? SQL_C_BINARY : SQL_C_CHAR,
                   binary ? SQL_VARBINARY : SQL_VARCHAR, 20, 0, names, sizeof names[0], nameInd);

  if (!SQL_SUCCEEDED(QVOPrepare(stmt, Sql("INSERT INTO t VALUES (?, ?)"), SQL_NTS))) return;
  SQLRETURN rc = QVOExecute(stmt);
  // A statement still executing goes on with each call.
  for (int n = 0; n < 4 && rc == SQL_STILL_EXECUTING; ++n) rc = QVOExecute(stmt);

  // Never a row beyond the set, every row reported one of the statuses, and
  // a success is a success for every row.
  for (SQLULEN r = rows; r < rows + kGuardRows; ++r)
    if (statuses[r] != kUnset) __builtin_trap();
  if (processed != 12345 && processed > rows) __builtin_trap();
  for (SQLULEN r = 0; r < rows; ++r)
    if (statuses[r] != kUnset && !KnownStatus(statuses[r])) __builtin_trap();
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    if (processed != rows) __builtin_trap();
    for (SQLULEN r = 0; r < rows; ++r)
      if (statuses[r] != SQL_PARAM_SUCCESS && statuses[r] != SQL_PARAM_SUCCESS_WITH_INFO)
        __builtin_trap();
  }
  SQLLEN count = 0;
  QVORowCount(stmt, &count);
  for (int n = 0; n < 8 && QVOMoreResults(stmt) != SQL_NO_DATA; ++n) FetchSome(stmt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return WithSession(data, size, Run);
}
