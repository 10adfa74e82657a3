// Fetch and scroll: positioning the cursor by a fetch orientation, and
// filling one rowset with as many block calls as the received blocks need.
#include <limits>

#include "fetch/qvoFetchFrame.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

SQLRETURN qvoStatement::FetchScroll(SQLSMALLINT FetchOrientation, SQLLEN FetchOffset) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  // Without a result set every orientation answers as a fetch does, and the
  // cursor stays where it was.
  if (IRD()->header.count < 1) return Fetch();
  // Scrolled before the first row or past the last: no current row.
  const auto noRows = [this] {
    resultCursor.NoCurrentRow();
    return SQL_NO_DATA;
  };
  const SQLBIGINT N = qvoFetchMaxLines(*this);
  const SQLBIGINT C = resultCursor.Cursor();
  const SQLULEN R = ARD()->header.arraySize;
  switch (static_cast<SQLUSMALLINT>(FetchOrientation)) {
    case SQL_FETCH_NEXT:
      break;
    case SQL_FETCH_FIRST:
      resultCursor.SetCursor(0);
      break;
    case SQL_FETCH_LAST:
      if (N < 1) return noRows();
      resultCursor.SetCursor(N - 1);
      break;
    case SQL_FETCH_PRIOR: {
      // Without a rowset size there is no previous rowset to step back to.
      if (R == 0) return QVO_DIAG(this, _Invalid_rowset_size_, -1);
      const SQLULEN c = static_cast<SQLULEN>(C);
      if (c >= 2 * R) {
        const SQLBIGINT rest = C % static_cast<SQLBIGINT>(R);
        resultCursor.SetCursor(rest != 0 ? C - static_cast<SQLBIGINT>(R) - rest
                                         : C - 2 * static_cast<SQLBIGINT>(R));
      } else if (c >= R) {
        resultCursor.SetCursor(0);
        *IRD()->header.rowsProcessedPtr = 0;
        return SQL_SUCCESS;
      } else {
        return noRows();
      }
      break;
    }
    case SQL_FETCH_ABSOLUTE:
      if (FetchOffset < 0) return QVO_DIAG(this, _Negative_fetch_offset_not_supported_, -1);
      if (FetchOffset == 0) {
        resultCursor.SetCursor(0);
      } else {
        if (FetchOffset - 1 > N) return noRows();
        resultCursor.SetCursor(FetchOffset - 1);
      }
      break;
    case SQL_FETCH_RELATIVE: {
      if (FetchOffset > 0 && C > std::numeric_limits<SQLBIGINT>::max() - FetchOffset)
        return noRows();
      const SQLBIGINT t = C + FetchOffset;
      if (t - 1 < 0 || t - 1 > N) return noRows();
      resultCursor.SetCursor(FetchOffset < 1 ? t : t - 1);
      break;
    }
    default:
      return QVO_DIAG(this, _Optional_feature_not_implemented_, 8);
  }
  return Fetch();
}

SQLRETURN qvoStatement::Fetch() {
  if (GetNumRecords() > 0) ClearDiagRecords();
  SQLULEN* const rowsFetched = IRD()->header.rowsProcessedPtr;
  *rowsFetched = 0;
  const SQLBIGINT start = resultCursor.Cursor();
  const SQLULEN arraySize = ARD()->header.arraySize;
  resultCursor.ClearRowset();

  SQLRETURN ret = FetchBlock(0);
  bool warned = ret == SQL_SUCCESS_WITH_INFO;
  if (logFull) LogConvertors("qvoStatement::Fetch");
  SQLULEN rows = ret == SQL_SUCCESS || ret == SQL_SUCCESS_WITH_INFO ? *rowsFetched : 0;
  if (using_QVO_VARCHAR_PTR) {
    // By-reference values point into the block: a rowset never spans two.
    if (logFull)
      Log(" Flag using_QVO_VARCHAR_PTR is set, returning rows from the existing buffer.");
  } else {
    while ((ret == SQL_SUCCESS || ret == SQL_SUCCESS_WITH_INFO) && rows < arraySize &&
           resultCursor.Cursor() < qvoFetchMaxLines(*this)) {
      if (logFull) Log(" Have to get more rows to fill block.");
      // The next block replaces this one: its rows of the rowset stay
      // readable for GetData after SetPos.
      if (!resultCursor.BlockHolds(resultCursor.Cursor())) resultCursor.KeepRowsetRows(start);
      ret = FetchBlock(rows);
      if (ret != SQL_SUCCESS && ret != SQL_SUCCESS_WITH_INFO) break;
      warned = warned || ret == SQL_SUCCESS_WITH_INFO;
      if (*rowsFetched == 0) {
        // A block without rows while rows remain would be asked for again
        // and again.
        ret = QVO_DIAG(this, _Error_getting_more_lines_reading_data_, -1);
        break;
      }
      rows += *rowsFetched;
    }
  }
  SQLUSMALLINT* const status = IRD()->header.arrayStatusPtr;
  if (ret == SQL_ERROR) {
    // No row of a failed fetch counts as fetched; the next fetch starts
    // where this one did.
    resultCursor.SetCursor(start);
    *rowsFetched = 0;
    if (status && rows > 0) FillStatusArray(-1, 0);
    return SQL_ERROR;
  }
  if (rows == 0) {
    *rowsFetched = 0;
    if (ret == SQL_NO_DATA) resultCursor.NoCurrentRow();
    return ret;
  }
  *rowsFetched = rows;
  resultCursor.SetRowset(start, static_cast<SQLBIGINT>(rows));
  if (status) FillStatusArray(0, rows);
  return warned ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN qvoStatement::FillStatusArray(SQLSMALLINT statusAll, SQLULEN rowsProcessed) {
  SQLUSMALLINT* const status = IRD()->header.arrayStatusPtr;
  const SQLULEN size = ARD()->header.arraySize;
  if (logFull && !logDebugComm) {
    Log(" qvoStatement::FillStatusArray(statusAll=%i, rowsProcessed=%llu)\n", statusAll,
        static_cast<unsigned long long>(rowsProcessed));
    Log("    ARD->header.arraySize=%llu\n", static_cast<unsigned long long>(size));
    Log("IRD->header.arrayStatusPtr=%llu\n",
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(status)));
  }
  if (!status) return statusAll == SQL_ERROR ? SQL_ERROR : SQL_SUCCESS;
  if (statusAll == SQL_ERROR) {
    for (SQLULEN i = 0; i < size; ++i) status[i] = SQL_ROW_ERROR;
    return SQL_ERROR;
  }
  // The fetched rows got their status from the block calls.
  for (SQLULEN i = rowsProcessed; i < size; ++i) status[i] = SQL_ROW_NOROW;
  return SQL_SUCCESS;
}
