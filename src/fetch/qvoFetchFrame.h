// The column loop of one block call (qvoStatement::FetchBlock): converts
// `lines` rows starting at the statement's cursor into rowset rows
// startRow.. of every bound column and keeps, per row, the worst outcome of
// its columns.
#pragma once

#include <cstddef>

#include "fetch/qvoConversionMatrix.h"
#include "statement/qvoStatement.h"

// maxLines of the fetch: the result's rows, or maxRows when that is set and
// smaller.
SQLBIGINT qvoFetchMaxLines(const qvoStatement& s);

// The C type a column is read as: SQL_C_DEFAULT becomes the column's default
// (of its SQL type, or of the catalog result's column), SQL_C_WCHAR the
// connection's wide form (429 or 430). On failure *ok is false and the
// statement holds the diagnostic.
SQLSMALLINT qvoResolveCType(qvoStatement& s, SQLSMALLINT col, SQLSMALLINT cType,
                            const __cliDescriptorRecords& ird, bool* ok);

// Records the diagnostic of a refused (C type, server type) pair; false when
// the pair converts.
bool qvoRecordRefusal(qvoStatement& s, qvoRefusal refusal, SQLSMALLINT cType, SQLSMALLINT qvoType);
// Records the diagnostic of a row outcome of a column (nothing for Ok):
// position is the cursor position a conversion error names.
void qvoRecordCellOutcome(qvoStatement& s, qvoCellOutcome o, const qvoColumnJob& job,
                          SQLBIGINT position);

class qvoFetchFrame {
 public:
  qvoFetchFrame(qvoStatement& s, SQLULEN startRow, SQLBIGINT lines);
  // Every bound column: -1 when a column was refused as a whole, 1 when a
  // row of a column had a warning or an error, else 0. A cut records one
  // diagnostic per row, every other kind of event one per column.
  SQLRETURN ConvertColumns();
  // A row failed in some column (22002, 22003, 22018, HY090, conversion).
  bool RowFailed() const;
  // The status of each converted row (error, with info, success); null: none.
  void WriteRowStatus(SQLUSMALLINT* status) const;

 private:
  void ConvertColumn(SQLSMALLINT col, const __cliDescriptorRecords& a);
  void LogRows(const qvoColumnJob& job, const qvoConversion& conv);

  qvoStatement& s_;
  SQLULEN startRow_;
  std::size_t lines_;
  qvoColumnConversions* setups_ = nullptr;
  bool columnRefused_ = false;
  bool rowFailed_ = false;
  bool warned_ = false;
};
