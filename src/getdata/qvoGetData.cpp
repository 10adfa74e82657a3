// Single-value retrieval: the value of one column of the current row, in the
// C type the caller names.
//
// Every value is decided by the fetch's own conversion: the same matrix
// refuses the same pairs, and the same operation converts the value on a
// one-row column job, so a value reads the same through QVOGetData as through
// a bound column. What is GetData's own: the current row (the last row of the
// rowset, or the row SetPos chose), the argument checks, and character data
// handed out in pieces over repeated calls.
#include <strings.h>

#include <cstring>
#include <new>

#include "fetch/qvoConversionMatrix.h"
#include "fetch/qvoFetchFrame.h"
#include "fetch/qvoTextOps.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

namespace {

bool IsCharacterType(SQLSMALLINT qvoType) { return qvoType == _CHAR || qvoType == _VARCHAR; }

bool IsTextTarget(SQLSMALLINT cType) {
  return cType == SQL_C_CHAR || cType == SQL_C_BINARY || cType == QVO_WCHAR_UTF8 ||
         cType == QVO_WCHAR_UTF16;
}

// The bytes a cut may end before without splitting a UTF-8 sequence.
std::size_t Utf8Boundary(const char* text, std::size_t n) {
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

// The UTF-16 units a cut may keep without splitting a surrogate pair.
std::size_t Utf16Boundary(const char* text, std::size_t units) {
  if (units == 0) return 0;
  char16_t last;
  std::memcpy(&last, text + 2 * (units - 1), 2);
  return last >= 0xD800 && last <= 0xDBFF ? units - 1 : units;
}

// The pairs that single-value retrieval refuses where the bound fetch
// converts them or refuses them otherwise; every other pair reads as the
// fetch reads it.
struct OwnRefusal {
  SQLSMALLINT cType;
  SQLSMALLINT qvoType;
  qvoRefusal refusal;
};
constexpr OwnRefusal kOwnRefusals[] = {
    {SQL_C_DATE, _SMALLDECIMAL, qvoRefusal::TypeRefused},
    {SQL_C_TYPE_DATE, _SMALLDECIMAL, qvoRefusal::TypeRefused},
    {SQL_C_TIME, _SMALLDECIMAL, qvoRefusal::TypeRefused},
    {SQL_C_TYPE_TIME, _SMALLDECIMAL, qvoRefusal::TypeRefused},
    {SQL_C_TIMESTAMP, _SMALLDECIMAL, qvoRefusal::TypeRefused},
    {SQL_C_TYPE_TIMESTAMP, _SMALLDECIMAL, qvoRefusal::TypeRefused},
    {QVO_TYPE_TIMESTAMP_UTC, _SMALLDECIMAL, qvoRefusal::TypeRefused},
    {SQL_C_NUMERIC, _BOOLEAN, qvoRefusal::PairRefused},
};

qvoRefusal GetDataRefusal(SQLSMALLINT cType, SQLSMALLINT qvoType, qvoRefusal fetchRefusal) {
  for (const OwnRefusal& r : kOwnRefusals)
    if (r.cType == cType && r.qvoType == qvoType) return r.refusal;
  return fetchRefusal;
}

bool IsUtf8Codepage(const char* name) {
  return name && (strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0);
}

}  // namespace

bool qvoStatement::GetDataLogAdmits() const {
  const SQLBIGINT position = resultCursor.CurrentRowNumber();
  if (logFileLines == -1)
    return position == 0 || static_cast<SQLUBIGINT>(position) + 1 == resultCursor.NLines();
  return position < logFileLines;
}

SQLRETURN qvoStatement::GetData(SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType,
                                SQLPOINTER TargetValue, SQLLEN BufferLength,
                                SQLLEN* StrLen_or_Ind) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  const bool logging = logFull && GetDataLogAdmits();
  // The current row's number: the rows fetched so far, or the row SetPos
  // chose.
  const SQLBIGINT position = resultCursor.CurrentRowNumber();
  if (logging) Log("qvoStatement::GetData() cursor=%lli\n", static_cast<long long>(position));

  if (position < 1) return QVO_DIAG(this, _Invalid_cursor_state_, -1);
  if (BufferLength < 0) return QVO_DIAG(this, _Invalid_buffer_length_, -1);
  if (ColumnNumber == 0) return QVO_DIAG(this, _Invalid_descriptor_index_, -1);
  const auto col = static_cast<SQLSMALLINT>(ColumnNumber);
  if (col < 1 || col > IRD()->header.count) return QVO_DIAG(this, _Column_number_out_of_range_, -1);

  // The current row must lie in the block held, or among the rowset's rows
  // kept from the blocks before it: no result, a row in neither, or a column
  // the rows have no values for is no current row.
  void* const value = resultCursor.CurrentValue(col);
  if (value == nullptr) return QVO_DIAG(this, _Invalid_cursor_state_, -1);
  const __cliDescriptorRecords& ird = *IRD()->GetRecord(col);

  bool ok = true;
  const SQLSMALLINT cType = qvoResolveCType(*this, col, TargetType, ird, &ok);
  if (!ok) return SQL_ERROR;
  // The by-reference VARCHAR serves only bound rowsets.
  if (cType == QVO_VARCHAR_PTR)
    return QVO_DIAG(this, _Invalid_C_data_type_requested_by_user_, cType);
  const qvoColumnSetup& setup =
      qvoColumnSetupOf(*this, qvoCheckedColumnSetups(*this), col, cType, ird);
  const qvoConversion& conv = setup.conv;
  if (qvoRecordRefusal(*this, GetDataRefusal(cType, ird.qvoType, conv.refusal), cType, ird.qvoType))
    return SQL_ERROR;

  qvoColumnJob job;
  job.stmt = this;
  job.ird = &ird;
  job.text = &setup.text;
  job.numeric = &setup.numeric;
  job.column = col;
  job.cType = cType;
  job.qvoType = ird.qvoType;
  job.bufferLength = BufferLength;
  job.valueWidth = ird.qvoTypeLen;
  job.data = static_cast<char*>(TargetValue);
  job.lengths = reinterpret_cast<char*>(StrLen_or_Ind);
  job.values = &value;
  job.rows = 1;
  qvoCellOutcome outcome = qvoCellOutcome::Ok;
  job.outcomes = &outcome;

  const bool isNull = static_cast<const signed char*>(value)[-1] == 0;
  SQLRETURN ret;
  if (IsCharacterType(ird.qvoType) && IsTextTarget(cType) && !isNull) {
    ret = GetDataPiece(job, conv);
  } else {
    conv.cell(job, conv.nulls);
    qvoRecordCellOutcome(*this, outcome, job, position);
    ret = qvoCellIsError(outcome)         ? SQL_ERROR
          : outcome != qvoCellOutcome::Ok ? SQL_SUCCESS_WITH_INFO
                                          : SQL_SUCCESS;
  }
  if (ret == SQL_ERROR || ret == SQL_NO_DATA) return ret;

  if (logging && !logDebugComm) {
    const SQLLEN shown = StrLen_or_Ind ? *StrLen_or_Ind : 0;
    Log(" === ColumnNumber=%i, BufferLength=%i, TargetValue=0x%llx, StrLen_or_Ind=0x%llx, "
        "*StrLen_or_Ind=%lli, TargetType=%i, QVOType=%i === \n",
        static_cast<int>(col), static_cast<int>(BufferLength),
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(TargetValue)),
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(StrLen_or_Ind)),
        static_cast<long long>(shown), static_cast<int>(cType), static_cast<int>(ird.qvoType));
    if (IsCharacterType(ird.qvoType) && !isNull)
      Log("    DatabaseDataLen=%i\n",
          static_cast<int>(qvoCharacterLength(static_cast<const char*>(value))));
    // Exactly the bytes written: nothing for a null target or a NULL value.
    if (TargetValue && StrLen_or_Ind && *StrLen_or_Ind >= 0) {
      SQLLEN written = *StrLen_or_Ind;
      if (IsTextTarget(cType) && written > BufferLength) written = BufferLength;
      LogData(cType, static_cast<const unsigned char*>(TargetValue), written);
    }
  }
  return ret;
}

// A character value into a character, binary or UTF-16 target, in pieces:
// the first call on the column converts the whole value once into
// stringBuffer, each call hands out the next piece, and the call after the
// last piece gives 100. Lengths reported are bytes, the remaining length of
// the value before the piece.
SQLRETURN qvoStatement::GetDataPiece(qvoColumnJob& job, const qvoConversion&) {
  const bool wide = job.cType == QVO_WCHAR_UTF16;
  const SQLLEN unit = wide ? 2 : 1;
  qvoPiecewiseText& gd = resultCursor.Piecewise();
  gd.Select(job.column);
  SQLLEN bufferLength = job.bufferLength;
  if (stmtAttr.maxLength != 0 && static_cast<SQLULEN>(bufferLength) > stmtAttr.maxLength)
    bufferLength = static_cast<SQLLEN>(stmtAttr.maxLength);

  const char* value = static_cast<const char*>(job.values[0]);
  // The text kept serves the calls of its own width: its positions count its
  // units, and read in the other width they would reach past it.
  if (gd.gdTextIsWide != wide) gd.gdCurs = 0;
  if (gd.gdCurs == 0) {
    // Room for any conversion of the received bytes: 4 per byte, a
    // byte-order mark and a terminator; the block bounded the length, the
    // sum is 64-bit.
    const std::uint64_t need = 4 * static_cast<std::uint64_t>(qvoCharacterLength(value)) + 8;
    if (need > INT32_MAX) return QVO_DIAG(this, _Memory_allocation_error_, -1);
    if (static_cast<std::uint64_t>(gd.stringBufferSize) < need) {
      std::unique_ptr<char[]> grown(new (std::nothrow) char[need]);
      if (!grown) return QVO_DIAG(this, _Memory_allocation_error_, -1);
      gd.stringBuffer = std::move(grown);
      gd.stringBufferSize = static_cast<int>(need);
    }
    qvoColumnJob whole = job;
    whole.bufferLength = gd.stringBufferSize;
    SQLLEN bytes = 0;
    qvoCellOutcome o;
    if (wide) {
      qvoWideCharacterOp op(whole);
      op.limitUnits = SIZE_MAX;  // maxLength limits the pieces, not the text kept
      o = op(value, gd.stringBuffer.get(), &bytes);
    } else {
      qvoNarrowCharacterOp op(whole);
      op.limit = SIZE_MAX;
      o = op(value, gd.stringBuffer.get(), &bytes);
      gd.gdTextIsUtf8 =
          op.settings.utf8Column && (op.settings.converter == nullptr ||
                                     IsUtf8Codepage(op.settings.converter->GetCurrentCodepage()));
    }
    if (o != qvoCellOutcome::Ok) {
      std::memcpy(job.detail, whole.detail, sizeof job.detail);
      qvoRecordCellOutcome(*this, o, job, resultCursor.CurrentRowNumber());
      return SQL_ERROR;
    }
    gd.gdTextLength = bytes / unit;
    gd.gdTextIsWide = wide;
  }

  SQLLEN* length = job.lengths ? reinterpret_cast<SQLLEN*>(job.lengths) : &gd.gdStrLen;
  char* target = job.data;
  const SQLLEN units = bufferLength / unit;
  // A length query: a null target reports what is left, BufferLength 0 the
  // whole value; neither moves the position.
  if (target == nullptr || units == 0) {
    const SQLLEN left = gd.gdCurs > gd.gdTextLength ? 0 : gd.gdTextLength - gd.gdCurs;
    *length = (target == nullptr ? left : gd.gdTextLength) * unit;
    return SQL_SUCCESS;
  }
  if (gd.gdCurs > gd.gdTextLength) return SQL_NO_DATA;
  const SQLLEN rest = gd.gdTextLength - gd.gdCurs;
  const char* from = gd.stringBuffer.get() + gd.gdCurs * unit;
  if (units > rest) {
    std::memcpy(target, from, static_cast<std::size_t>(rest * unit));
    std::memset(target + rest * unit, 0, static_cast<std::size_t>(unit));
    *length = rest * unit;
    gd.gdCurs = gd.gdTextLength + 1;
    return SQL_SUCCESS;
  }
  // A piece ends on a character boundary of the delivered text.
  std::size_t n = static_cast<std::size_t>(units - 1);
  if (wide)
    n = Utf16Boundary(from, n);
  else if (gd.gdTextIsUtf8 && job.cType != SQL_C_BINARY)
    n = Utf8Boundary(from, n);
  std::memcpy(target, from, n * static_cast<std::size_t>(unit));
  std::memset(target + n * unit, 0, static_cast<std::size_t>(unit));
  *length = rest * unit;
  gd.gdCurs += static_cast<SQLINTEGER>(n);
  QVO_DIAG(this, _Data_truncated_, 0);
  return SQL_SUCCESS_WITH_INFO;
}
