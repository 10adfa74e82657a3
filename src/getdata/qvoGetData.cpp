// Single-value retrieval: the value of one column of the current row, in the
// C type the caller names.
//
// Every value is decided by the fetch's own conversion: the same matrix
// refuses the same pairs, and the same operation converts the value on a
// one-row column job, so a value reads the same through QVOGetData as through
// a bound column. What is GetData's own: the current row (the last row of the
// rowset, or the row SetPos chose), the argument checks, a DOUBLE's text
// (always "%.*G"), and character data handed out in pieces over repeated
// calls, each piece ending on a character boundary of its code set.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "fetch/qvoConversionMatrix.h"
#include "fetch/qvoFetchFrame.h"
#include "fetch/qvoTextOps.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "platform/qvoConverter.h"
#include "platform/qvoUnicode.h"
#include "statement/qvoStatement.h"

namespace {

bool IsCharacterType(SQLSMALLINT qvoType) { return qvoType == _CHAR || qvoType == _VARCHAR; }

bool IsTextTarget(SQLSMALLINT cType) {
  return cType == SQL_C_CHAR || cType == SQL_C_BINARY || cType == QVO_WCHAR_UTF8 ||
         cType == QVO_WCHAR_UTF16;
}

// The UTF-16 units a cut may keep without splitting a surrogate pair.
std::size_t Utf16Boundary(const char* text, std::size_t units) {
  if (units == 0) return 0;
  char16_t last;
  std::memcpy(&last, text + 2 * (units - 1), 2);
  return last >= 0xD800 && last <= 0xDBFF ? units - 1 : units;
}

// BufferLength of a piece: no more than maxLength (0: no limit).
SQLLEN PieceBufferLength(SQLLEN bufferLength, SQLUINTEGER maxLength) {
  return maxLength != 0 && static_cast<SQLULEN>(bufferLength) > maxLength
             ? static_cast<SQLLEN>(maxLength)
             : bufferLength;
}

// Room for `need` bytes of a value's text in stringBuffer, with the marks of
// its character ends behind them; false when memory ran out.
bool GrowPieceBuffer(qvoPiecewiseText& gd, std::uint64_t need) {
  if (static_cast<std::uint64_t>(gd.stringBufferSize) >= need) return true;
  const std::size_t block = static_cast<std::size_t>(need) + iconverter::EndsBytes(need);
  std::unique_ptr<char[]> grown(new (std::nothrow) char[block]);
  if (!grown) return false;
  gd.stringBuffer = std::move(grown);
  gd.stringBufferSize = static_cast<int>(need);
  return true;
}

// Units of a text the first piece handed out: those before its terminator.
std::size_t UnitsBeforeTerminator(const char* text, std::size_t most, bool wide) {
  if (!wide) return strnlen(text, most);
  std::size_t n = 0;
  while (n < most && (text[2 * n] != 0 || text[2 * n + 1] != 0)) ++n;
  return n;
}

// What making a value's text for its pieces came to.
struct MadeText {
  bool outOfMemory = false;
  qvoCellOutcome outcome = qvoCellOutcome::Ok;
};

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

// Makes the whole text of the job's value in stringBuffer, in the call's
// width, through the fetch's own conversion. Where a piece may end follows
// from how it was made; when the text came through a converter and a piece of
// pieceUnits units cannot take it whole, it is made again with the marks of
// its character ends, once per value: every later piece reads them.
MadeText MakePieceText(qvoColumnJob& job, qvoPiecewiseText& gd, bool wide, SQLLEN pieceUnits) {
  const char* value = static_cast<const char*>(job.values[0]);
  const char* bytes = DecodeTextValue(value).bytes;
  const std::size_t received = qvoCharacterLength(value);
  // Room for any conversion of the received bytes: 4 per byte, a byte-order
  // mark and a terminator, and behind it the marks of the character ends;
  // the block bounded the length, the sum is 64-bit.
  const std::uint64_t need = 4 * static_cast<std::uint64_t>(received) + 8;
  if (need > INT32_MAX || !GrowPieceBuffer(gd, need)) return {true};
  char* text = gd.stringBuffer.get();
  qvoColumnJob whole = job;
  whole.bufferLength = gd.stringBufferSize;
  SQLLEN made = 0;
  MadeText result;
  iconverter* conv = nullptr;
  int room = 0;
  // The ops hold their converter while they live: the marked pass runs in
  // their scope.
  auto markEnds = [&] {
    gd.gdEndsMarked = false;
    if (result.outcome != qvoCellOutcome::Ok || conv == nullptr || pieceUnits <= 0 ||
        made / (wide ? 2 : 1) < pieceUnits)
      return;
    const int n =
        conv->FromCodesetMarkedHeld(bytes, static_cast<int>(received), text, room, gd.Ends());
    if (n < 0) {
      std::snprintf(whole.detail, sizeof whole.detail, "%s", conv->GetErrorMessage());
      result.outcome = qvoCellOutcome::ConversionError;
      return;
    }
    made = wide ? n & ~1 : n;
    gd.gdEndsMarked = true;
  };
  if (wide) {
    qvoWideCharacterOp op(whole);
    op.limitUnits = SIZE_MAX;  // maxLength limits the pieces, not the text kept
    result.outcome = op(value, text, &made);
    conv = op.converter;
    room = (gd.stringBufferSize - 2) / 2 * 2;
    gd.gdEnds = conv ? qvoPieceEnds::Converted : qvoPieceEnds::Utf16;
    markEnds();
  } else {
    qvoNarrowCharacterOp op(whole);
    op.limit = SIZE_MAX;
    result.outcome = op(value, text, &made);
    conv = op.settings.converter;
    room = gd.stringBufferSize - 1;
    gd.gdEnds = conv                     ? qvoPieceEnds::Converted
                : op.settings.utf8Column ? qvoPieceEnds::Utf8
                                         : qvoPieceEnds::AnyByte;
    markEnds();
  }
  if (result.outcome != qvoCellOutcome::Ok) {
    std::memcpy(job.detail, whole.detail, sizeof job.detail);
    return result;
  }
  gd.gdTextLength = made / (wide ? 2 : 1);
  gd.gdTextIsWide = wide;
  return result;
}

// Whether a piece of n units (at most what is left) from the position
// reached ends between two characters of the text kept: one test, whatever
// the text holds.
bool EndsCharacter(const qvoPiecewiseText& gd, std::size_t n) {
  const std::size_t unit = gd.gdTextIsWide ? 2 : 1;
  const std::size_t at = static_cast<std::size_t>(gd.gdCurs) + n;
  const char* text = gd.stringBuffer.get();
  switch (gd.gdEnds) {
    case qvoPieceEnds::AnyByte:
      return true;
    case qvoPieceEnds::Utf8:
      // A piece never ends before a continuation byte.
      return at >= static_cast<std::size_t>(gd.gdTextLength) ||
             (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
    case qvoPieceEnds::Utf16:
      return Utf16Boundary(text + (at - n) * unit, n) == n;
    case qvoPieceEnds::Converted:
      break;
  }
  return !gd.gdEndsMarked || iconverter::EndsAt(gd.Ends(), at * unit);
}

// Units of the next piece, at most `most`, that end on a character boundary
// of the text kept (0 when not even one character fits).
std::size_t PieceUnits(const qvoPiecewiseText& gd, std::size_t most) {
  const std::size_t unit = gd.gdTextIsWide ? 2 : 1;
  const char* from = gd.stringBuffer.get() + static_cast<std::size_t>(gd.gdCurs) * unit;
  const auto rest = static_cast<std::size_t>(gd.gdTextLength - gd.gdCurs);
  switch (gd.gdEnds) {
    case qvoPieceEnds::AnyByte:
      return most;
    case qvoPieceEnds::Utf8:
      return Unicode::Utf8CutLength(from, rest, most);
    case qvoPieceEnds::Utf16:
      return Utf16Boundary(from, most);
    case qvoPieceEnds::Converted:
      break;
  }
  std::size_t n = most;
  while (n > 0 && !EndsCharacter(gd, n)) --n;
  return n;
}

// Units of the next whole character of the text kept (all that is left when
// no boundary follows, 0 when nothing is left). Each step is one test, so a
// text with no boundary (bytes that are not UTF-8) costs one pass.
std::size_t FirstCharacterUnits(const qvoPiecewiseText& gd) {
  const auto rest = static_cast<std::size_t>(gd.gdTextLength - gd.gdCurs);
  for (std::size_t n = 1; n < rest; ++n)
    if (EndsCharacter(gd, n)) return n;
  return rest;
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

  // A DOUBLE read as text is its "%.*G" text with the float precision in
  // every width: the shared number formatter serves the bound fetch only.
  qvoTextSettings text = setup.text;
  if (ird.qvoType == _DOUBLE) text.externalConversion = false;

  qvoColumnJob job;
  job.stmt = this;
  job.ird = &ird;
  job.text = &text;
  job.numeric = &setup.numeric;
  job.column = col;
  job.cType = cType;
  job.qvoType = ird.qvoType;
  job.bufferLength = BufferLength;
  job.valueWidth = ird.qvoTypeLen;
  job.data = static_cast<char*>(TargetValue);
  // Without an indicator a value's length goes to gdStrLen; a NULL still
  // needs one.
  const bool isNull = static_cast<const signed char*>(value)[-1] == 0;
  SQLLEN* const length = StrLen_or_Ind ? StrLen_or_Ind
                         : isNull      ? nullptr
                                       : &resultCursor.Piecewise().gdStrLen;
  job.lengths = reinterpret_cast<char*>(length);
  job.values = &value;
  job.rows = 1;
  qvoCellOutcome outcome = qvoCellOutcome::Ok;
  job.outcomes = &outcome;

  // Text of any type into a character, binary or UTF-16 target comes in
  // pieces, so that reading until SQL_NO_DATA ends.
  const bool pieces = IsTextTarget(cType) && !isNull;
  SQLRETURN ret;
  if (pieces && IsCharacterType(ird.qvoType)) {
    ret = GetDataPiece(job, conv);
  } else if (pieces) {
    ret = GetDataTextPiece(job, conv);
  } else {
    conv.cell(job, conv.nulls);
    qvoRecordCellOutcome(*this, outcome, job, position);
    ret = qvoCellIsError(outcome)         ? SQL_ERROR
          : outcome != qvoCellOutcome::Ok ? SQL_SUCCESS_WITH_INFO
                                          : SQL_SUCCESS;
  }
  if (ret == SQL_ERROR || ret == SQL_NO_DATA) return ret;

  if (logging && !logDebugComm) {
    const SQLLEN shown = length ? *length : SQL_NULL_DATA;
    // A piece's BufferLength is the room it had: what maxLength left of it,
    // or one character when the cap left none.
    const SQLLEN logged = job.bufferLength;
    Log(" === ColumnNumber=%i, BufferLength=%i, TargetValue=0x%llx, StrLen_or_Ind=0x%llx, "
        "*StrLen_or_Ind=%lli, TargetType=%i, QVOType=%i === \n",
        static_cast<int>(col), static_cast<int>(logged),
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(TargetValue)),
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(StrLen_or_Ind)),
        static_cast<long long>(shown), static_cast<int>(cType), static_cast<int>(ird.qvoType));
    if (IsCharacterType(ird.qvoType) && !isNull)
      Log("    DatabaseDataLen=%i\n",
          static_cast<int>(qvoCharacterLength(static_cast<const char*>(value))));
    // Exactly the bytes written: nothing for a null target or a NULL value.
    if (TargetValue && length && *length >= 0) {
      SQLLEN written = *length;
      if (IsTextTarget(cType) && written > logged) written = logged;
      LogData(cType, static_cast<const unsigned char*>(TargetValue), written);
    }
  }
  return ret;
}

// A character value into a character, binary or UTF-16 target, in pieces:
// the first call on the column converts the whole value once into
// stringBuffer, each call hands out the next piece, and once the last piece
// is out every call on the column gives 100, in either width. Lengths
// reported are bytes, the remaining length of the value before the piece.
SQLRETURN qvoStatement::GetDataPiece(qvoColumnJob& job, const qvoConversion&) {
  const bool wide = job.cType == QVO_WCHAR_UTF16;
  const SQLLEN unit = wide ? 2 : 1;
  qvoPiecewiseText& gd = resultCursor.Piecewise();
  gd.Select(job.column);
  // The caller's own buffer makes a call a length query: a null target
  // reports what is left, less than one unit of room the whole value;
  // neither moves the position. maxLength only narrows a piece.
  const bool query = job.data == nullptr || job.bufferLength / unit == 0;
  const SQLLEN units = PieceBufferLength(job.bufferLength, stmtAttr.maxLength) / unit;
  // The value is over for every call that would hand out a piece, whatever
  // its width, until a fetch, SetPos or another column starts it anew.
  const bool over = gd.gdCurs > gd.gdTextLength;
  if (over && !query) return SQL_NO_DATA;
  // The text kept serves the calls of its own width: its positions count its
  // units, and read in the other width they would reach past it, so a value
  // read in part starts over in the other width.
  if (gd.gdCurs == 0 || gd.gdTextIsWide != wide) {
    const MadeText made = MakePieceText(job, gd, wide, query ? 0 : std::max<SQLLEN>(units, 1));
    // A text not made leaves no piece to go on with (the buffer may hold
    // part of it), but a value that was over stays so.
    if ((made.outOfMemory || made.outcome != qvoCellOutcome::Ok) && !over) gd.gdCurs = 0;
    if (made.outOfMemory) return QVO_DIAG(this, _Memory_allocation_error_, -1);
    if (made.outcome != qvoCellOutcome::Ok) {
      qvoRecordCellOutcome(*this, made.outcome, job, resultCursor.CurrentRowNumber());
      return SQL_ERROR;
    }
    gd.gdCurs = over ? static_cast<SQLINTEGER>(gd.gdTextLength + 1) : 0;
  }

  return HandOutPiece(job, stmtAttr.maxLength);
}

SQLRETURN qvoStatement::HandOutPiece(qvoColumnJob& job, SQLUINTEGER maxLength) {
  const bool wide = job.cType == QVO_WCHAR_UTF16;
  const SQLLEN unit = wide ? 2 : 1;
  qvoPiecewiseText& gd = resultCursor.Piecewise();
  SQLLEN* length = reinterpret_cast<SQLLEN*>(job.lengths);
  char* target = job.data;
  const SQLLEN callerUnits = job.bufferLength / unit;
  const bool query = target == nullptr || callerUnits == 0;
  SQLLEN room = PieceBufferLength(job.bufferLength, maxLength);
  const SQLLEN units = room / unit;
  if (query) {
    const SQLLEN left = gd.gdCurs > gd.gdTextLength ? 0 : gd.gdTextLength - gd.gdCurs;
    *length = (target == nullptr ? left : gd.gdTextLength) * unit;
    return SQL_SUCCESS;
  }
  const SQLLEN rest = gd.gdTextLength - gd.gdCurs;
  const char* from = gd.stringBuffer.get() + gd.gdCurs * unit;
  // A piece ends on a character boundary of the text's code set; the rest
  // goes out whole when it fits with its terminator.
  auto n = static_cast<std::size_t>(rest);
  if (units <= rest) {
    n = units > 0 ? PieceUnits(gd, static_cast<std::size_t>(units - 1)) : 0;
    // maxLength never stops a read: a piece the cap leaves no whole
    // character holds the next one when the caller's own buffer does.
    if (n == 0) {
      const std::size_t first = FirstCharacterUnits(gd);
      if (first < static_cast<std::size_t>(callerUnits)) {
        n = first;
        room = static_cast<SQLLEN>(first + 1) * unit;
      }
    }
  }
  job.bufferLength = room;
  std::memcpy(target, from, n * static_cast<std::size_t>(unit));
  std::memset(target + n * unit, 0, static_cast<std::size_t>(unit));
  *length = rest * unit;
  if (static_cast<SQLLEN>(n) == rest) {
    gd.gdCurs = static_cast<SQLINTEGER>(gd.gdTextLength + 1);
    return SQL_SUCCESS;
  }
  gd.gdCurs += static_cast<SQLINTEGER>(n);
  QVO_DIAG(this, _Data_truncated_, 0);
  return SQL_SUCCESS_WITH_INFO;
}

// A value of another type into a character, binary or UTF-16 target: the
// first call converts it as the fetch does into the caller's buffer, and its
// outcome stands (22003 where integer digits would be lost moves nothing on).
// When that cut the text, the whole text is kept and the calls after it hand
// out the rest in pieces, as for character data (SQL_ATTR_MAX_LENGTH, which
// limits character and binary data only, aside); once all is out, every call
// on the column gives 100.
SQLRETURN qvoStatement::GetDataTextPiece(qvoColumnJob& job, const qvoConversion& conv) {
  const bool wide = job.cType == QVO_WCHAR_UTF16;
  const SQLLEN unit = wide ? 2 : 1;
  qvoPiecewiseText& gd = resultCursor.Piecewise();
  gd.Select(job.column);
  const bool query = job.data == nullptr || job.bufferLength / unit == 0;
  const bool over = gd.gdCurs > gd.gdTextLength;
  if (over && !query) return SQL_NO_DATA;
  // The rest of a text kept in this width, or what is left of a value read
  // to its end.
  if ((gd.gdCurs > 0 && !over && gd.gdTextIsWide == wide) || (over && job.data == nullptr))
    return HandOutPiece(job, 0);

  const SQLBIGINT position = resultCursor.CurrentRowNumber();
  qvoCellOutcome outcome = qvoCellOutcome::Ok;
  job.outcomes = &outcome;
  conv.cell(job, conv.nulls);
  qvoRecordCellOutcome(*this, outcome, job, position);
  if (qvoCellIsError(outcome)) return SQL_ERROR;
  const SQLRETURN ret = outcome == qvoCellOutcome::Ok ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
  // A length query hands out nothing and moves nothing on.
  if (query || over) return ret;
  const SQLLEN whole = *reinterpret_cast<SQLLEN*>(job.lengths) / unit;
  if (outcome == qvoCellOutcome::Ok) {
    gd.gdTextLength = whole;
    gd.gdTextIsWide = wide;
    gd.gdCurs = static_cast<SQLINTEGER>(whole + 1);
    return ret;
  }
  const std::size_t handedOut =
      UnitsBeforeTerminator(job.data, static_cast<std::size_t>(job.bufferLength / unit), wide);
  if (handedOut == 0) return ret;

  // The whole text, made by the same conversion, for the pieces to come.
  const std::uint64_t need = (static_cast<std::uint64_t>(whole) + 1) * unit;
  if (need > INT32_MAX || !GrowPieceBuffer(gd, need)) {
    gd.gdCurs = 0;
    return QVO_DIAG(this, _Memory_allocation_error_, -1);
  }
  qvoColumnJob all = job;
  all.data = gd.stringBuffer.get();
  all.bufferLength = static_cast<SQLLEN>(need);
  SQLLEN allLength = 0;
  all.lengths = reinterpret_cast<char*>(&allLength);
  qvoCellOutcome allOutcome = qvoCellOutcome::Ok;
  all.outcomes = &allOutcome;
  conv.cell(all, conv.nulls);
  if (allOutcome != qvoCellOutcome::Ok || allLength != whole * unit) {
    // Not the text the first piece came from: no pieces to go on with.
    gd.gdCurs = 0;
    return ret;
  }
  gd.gdTextLength = whole;
  gd.gdTextIsWide = wide;
  gd.gdEnds = wide ? qvoPieceEnds::Utf16 : qvoPieceEnds::Utf8;
  gd.gdEndsMarked = false;
  gd.gdCurs = static_cast<SQLINTEGER>(handedOut);
  return ret;
}
