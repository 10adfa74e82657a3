// The contract between the block fetch frame and its conversion cells.
//
// The frame (qvoStatement::FetchBlock) resolves, once per bound column and
// block call, the column's C type and server type, looks the pair up in the
// conversion matrix and gets either a refusal or a cell: a function that
// converts a run of consecutive rowset rows of that one column. A cell is an
// instantiation of RunColumn<Op> below, so the per-row loop is the same for
// every pair and the value conversion (Op) is inlined into it: no virtual
// call, allocation, lock or formatting per value.
//
// Families of cells, one file each: internal C types (qvoCellsInternal),
// floating point (qvoCellsFloat), date/time (qvoCellsDateTime), character and
// binary (qvoCellsCharacter), UTF-16 (qvoCellsWide), bit (qvoCellsBit),
// numeric structure (qvoCellsNumeric), integers of every width
// (qvoCellsInteger). Each family exports one lookup function (declared at the
// end); it returns null for a pair it does not convert, and the matrix then
// gives the pair's refusal.
//
// Single-value retrieval (QVOGetData) calls the same Op types on one value,
// so fetch and GetData decide every value the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "descriptors/qvoDescriptors.h"
#include "qvo/qvoDefs.h"

class qvoStatement;
struct qvoTextSettings;
struct qvoNumericColumn;

// What became of one row of a column. Ordered by severity: the frame keeps the
// worst outcome of a row across its columns.
enum class qvoCellOutcome : std::uint8_t {
  Ok = 0,
  FractionalTruncation,  // 01S07 "Fractional truncation."
  Truncated,             // 01004 "String data, right truncated."
  IndicatorRequired,     // 22002 "Indicator variable required but not supplied."
  OutOfRange,            // 22003 "Numeric value out of range."
  InvalidCharacter,      // 22018: text that is not a number of the target
  InvalidBufferLength,   // HY090 "Invalid buffer length."
  ConversionError,       // HY000 character-set conversion error (detail below)
};

inline bool qvoCellIsError(qvoCellOutcome o) { return o >= qvoCellOutcome::IndicatorRequired; }

// One column of one block call: everything a cell reads, fixed before its loop.
struct qvoColumnJob {
  // Only the first byte of detail is cleared: a job is set up per column and
  // call, and clearing all of it would cost more than a short rowset's values.
  qvoColumnJob() { detail[0] = '\0'; }

  // The statement (attributes, decimal separator, connection code page) and
  // the column's descriptor records; read by an Op's constructor, not per row.
  const qvoStatement* stmt = nullptr;
  const __cliDescriptorRecords* ard = nullptr;
  const __cliDescriptorRecords* ird = nullptr;
  // What the Ops would read from those, when the statement keeps it for the
  // column (null: read it from stmt and ird).
  const qvoTextSettings* text = nullptr;
  const qvoNumericColumn* numeric = nullptr;
  SQLSMALLINT column = 0;   // ARD record number (1-based)
  SQLSMALLINT cType = 0;    // resolved C type (after SQL_C_DEFAULT and SQL_C_WCHAR)
  SQLSMALLINT qvoType = 0;  // server type of the column
  SQLLEN bufferLength = 0;  // ARD octetLength, signed as the application set it
  // Bytes of one fixed-width value in the block (the IRD record's qvoTypeLen):
  // a _DECIMAL column of precision 9 or less carries 4-byte values, a wider
  // one 8-byte values; read the value with this width, never with the type's.
  SQLINTEGER valueWidth = 0;

  // Row addressing. Row i (0..rows-1) of the run writes its value at
  // data + i * dataStride (data null: no value is written, only the length)
  // and its length or indicator at lengths + i * lengthStride in bytes
  // (lengths null: the column has no length/indicator slot). Column-wise the
  // data stride of a fixed-size C type is its size (ODBC ignores the buffer
  // length there), of any other the buffer length; row-wise the row size.
  char* data = nullptr;
  std::size_t dataStride = 0;
  char* lengths = nullptr;
  std::size_t lengthStride = 0;

  // values[i]: the received value of row i, in host order in the layout of
  // qvoType (see qvoStatement.h); the signed byte just before it is the null
  // flag (0: NULL, no value bytes). Bounded when the block was indexed.
  void* const* values = nullptr;
  std::size_t rows = 0;

  // Out: the outcome of each row (rows entries, Ok on entry).
  qvoCellOutcome* outcomes = nullptr;
  // Out: for ConversionError, a short text naming what failed (the frame puts
  // it into the diagnostic with the column, cursor position and code page).
  char detail[96];

  // Targets and length slots may be unaligned (a bind offset of 1 is legal):
  // write them with memcpy, never through a typed pointer.
  char* TargetAt(std::size_t i) const { return data ? data + i * dataStride : nullptr; }
  char* LengthAt(std::size_t i) const { return lengths ? lengths + i * lengthStride : nullptr; }
};

// NULL in a row: indicator SQL_NULL_DATA; the character targets also get an
// empty string when there is room, and with stringsNotNull the indicator 0.
// Without an indicator slot the row is an error (22002).
struct qvoNullRule {
  int terminatorBytes = 0;  // 1 for SQL_C_CHAR and 429, 2 for 430, else 0
  bool stringsNotNull = false;
};

// The row loop shared by every cell. Op is constructed once from the job and
// called per non-NULL row as op(value, target, length) where target may be
// null (length-only binding) and length points at an aligned local that the
// loop copies into the row's slot (when the column has one) unless the row
// failed; it returns the row's outcome. A failed row's target and slot are
// left as they were.
template <class Op>
void RunColumn(qvoColumnJob& job, const qvoNullRule& nulls) {
  Op op(job);
  for (std::size_t i = 0; i < job.rows; ++i) {
    const char* value = static_cast<const char*>(job.values[i]);
    char* target = job.TargetAt(i);
    char* slot = job.LengthAt(i);
    if (static_cast<signed char>(value[-1]) == 0) {
      if (!slot) {
        job.outcomes[i] = qvoCellOutcome::IndicatorRequired;
        continue;
      }
      SQLLEN indicator = SQL_NULL_DATA;
      if (nulls.terminatorBytes && target && job.bufferLength >= nulls.terminatorBytes) {
        for (int b = 0; b < nulls.terminatorBytes; ++b) target[b] = 0;
        if (nulls.stringsNotNull) indicator = 0;
      } else if (nulls.terminatorBytes && nulls.stringsNotNull) {
        indicator = 0;
      }
      std::memcpy(slot, &indicator, sizeof indicator);
      continue;
    }
    SQLLEN length = 0;
    const qvoCellOutcome o = op(value, target, &length);
    if (o != qvoCellOutcome::Ok) job.outcomes[i] = o;
    if (slot && !qvoCellIsError(o)) std::memcpy(slot, &length, sizeof length);
  }
}

// A cell: converts job.rows rows of one column.
using qvoCellFn = void (*)(qvoColumnJob& job, const qvoNullRule& nulls);

// Family lookups: the cell of (C type, server type), or null when the family
// does not convert that pair. The C type is the resolved one; paired codes of
// one C type (4 and -16, 11 and 93, ...) come here as the code the
// application bound.
qvoCellFn qvoInternalCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
qvoCellFn qvoFloatCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
qvoCellFn qvoDateTimeCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
qvoCellFn qvoCharacterCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
qvoCellFn qvoWideCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
qvoCellFn qvoBitCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
qvoCellFn qvoNumericCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
qvoCellFn qvoIntegerCell(SQLSMALLINT cType, SQLSMALLINT qvoType);
