// The block conversion frame: one call converts the rowset rows that lie in
// the received row block into the application's bound buffers, column by
// column. Per column the conversion is chosen once (conversion matrix) and
// its cell runs a tight loop over that column's rows; the frame turns the
// rows' outcomes into diagnostics, row statuses and the return code.
//
// Return code of a call: -1 when a column could not be converted at all (its
// pair refused, its record unusable), or when a row failed and there is no
// row status array; with a status array a failed row is SQL_ROW_ERROR and the
// call gives 1. A warning gives 1; an error is never hidden by a later
// warning. A call that ends with -1 reports no row as processed and leaves
// the cursor where it was.
#include <algorithm>
#include <cstring>
#include <limits>

#include "common/qvoTypeCodes.h"
#include "connection/qvoConnection.h"
#include "fetch/qvoConversionMatrix.h"
#include "fetch/qvoFetchFrame.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

namespace {

// Byte budget of a fetch request from protocol 8 on.
constexpr SQLBIGINT kRowsetSizeInBytes = 16777216;

using Outcome = qvoCellOutcome;
constexpr int kOutcomes = static_cast<int>(Outcome::ConversionError) + 1;

// The diagnostic of each row outcome (Ok and ConversionError have none here).
struct OutcomeDiag {
  Translator::CodeOperation code;
  Translator::MessageOperation message;
  SQLINTEGER native;
};
const OutcomeDiag kOutcomeDiags[kOutcomes] = {
    {nullptr, nullptr, 0},
    {&Translator::_Fractional_truncation_CODE, &Translator::_Fractional_truncation_MESSAGE, 1},
    {&Translator::_String_data_right_truncated_CODE,
     &Translator::_String_data_right_truncated_MESSAGE, 1},
    {&Translator::_Indicator_variable_required_but_not_supplied_CODE,
     &Translator::_Indicator_variable_required_but_not_supplied_MESSAGE, -1},
    {&Translator::_Numeric_value_out_of_range_CODE,
     &Translator::_Numeric_value_out_of_range_MESSAGE, -1},
    {&Translator::_Invalid_character_value_for_cast_specification_CODE,
     &Translator::_Invalid_character_value_for_cast_specification_MESSAGE, -1},
    {&Translator::_Invalid_buffer_length_CODE, &Translator::_Invalid_buffer_length_MESSAGE, -1},
    {nullptr, nullptr, 1},
};

// The frame's byte arrays hold at least this many bytes, so that a short
// rowset's are cleared by one store instead of a call.
constexpr std::size_t kClearedAtOnce = 16;
void ClearBytes(void* p, std::size_t n) {
  if (n <= kClearedAtOnce)
    std::memset(p, 0, kClearedAtOnce);
  else
    std::memset(p, 0, n);
}

}  // namespace

bool qvoRecordRefusal(qvoStatement& s, qvoRefusal refusal, SQLSMALLINT cType, SQLSMALLINT qvoType) {
  switch (refusal) {
    case qvoRefusal::None:
      return false;
    case qvoRefusal::UnknownCType:
      QVO_DIAG(&s, _Invalid_C_data_type_requested_by_user_, cType);
      break;
    case qvoRefusal::PairRefused:
      QVO_DIAG_FMT(&s, _Conversion_from_type_QVO_to_type_C_not_supported_, -1,
                   GetQVOTypeName(qvoType), GetCTypeName(cType));
      break;
    case qvoRefusal::TypeRefused:
      QVO_DIAG(&s, _Server_returns_a_datatype_that_is_not_supported_by_CLI_driver_, qvoType);
      break;
  }
  return true;
}

void qvoRecordCellOutcome(qvoStatement& s, qvoCellOutcome o, const qvoColumnJob& job,
                          SQLBIGINT position) {
  if (o == Outcome::ConversionError) {
    // The code page the text was going into: the wide data converter's for
    // the UTF-16 target, the application's narrow one otherwise.
    const qvoConverterPtr& conv =
        job.cType == QVO_WCHAR_UTF16 ? s.wcharDataConverter : s.dataConverter;
    const char* codepage = conv ? conv->GetCurrentCodepage() : "";
    QVO_DIAG_FMT(&s, _Characterset_conversion_error_, 1, job.detail, static_cast<int>(job.column),
                 static_cast<int>(position), codepage);
    return;
  }
  const OutcomeDiag& d = kOutcomeDiags[static_cast<int>(o)];
  if (d.code) s.SetDiagRec((s.translate->*d.code)(), d.native, (s.translate->*d.message)());
}

SQLBIGINT qvoFetchMaxLines(const qvoStatement& s) {
  const SQLUBIGINT all =
      std::min<SQLUBIGINT>(s.Result().NLines(), std::numeric_limits<SQLBIGINT>::max());
  const SQLUBIGINT limit = s.stmtAttr.maxRows;
  return static_cast<SQLBIGINT>(limit != 0 && limit < all ? limit : all);
}

// Requests the block that holds the cursor. 0, or what the block call
// returns at once: 100 or -1, with a diagnostic.
static SQLRETURN RequestRows(qvoStatement& s, SQLBIGINT maxLines, SQLULEN arraySize) {
  SQLBIGINT best = static_cast<SQLBIGINT>(std::min<SQLULEN>(arraySize, INT64_MAX));
  const qvoResultCursor& result = s.Result();
  if (arraySize > 0 && best < result.AnswerBlockSize() &&
      result.Cursor() >= result.ResultRowCountStart())
    best = (result.AnswerBlockSize() / best) * best;
  if (best > maxLines - result.Cursor()) best = maxLines - result.Cursor();
  if (best <= 0) {
    QVO_DIAG(&s, _Invalid_rowset_size_, -1);
    return best == 0 ? SQL_NO_DATA : SQL_ERROR;
  }
  const int protocol = s.connection ? s.connection->GetProtocolVersion() : s.protocolVersion;
  SQLRETURN rc;
  if (protocol >= 8) {
    if (s.logFull)
      s.Log("More data required from server: Fetch2(cursor=%lli, rowsetSizeInBytes=%lli)\n",
            static_cast<long long>(result.Cursor()), static_cast<long long>(kRowsetSizeInBytes));
    rc = s.Fetch2(result.Cursor(), kRowsetSizeInBytes);
  } else {
    if (s.logFull)
      s.Log("More data required from server: MoreData(cursor=%lli, rowsetSizeInLine=%lli)\n",
            static_cast<long long>(result.Cursor()), static_cast<long long>(best));
    rc = s.MoreData(result.Cursor(), best);
  }
  if (rc == SQL_ERROR) return SQL_ERROR;
  // The rows below must come from this block: one that does not hold the
  // cursor's row cannot be read.
  if (!result.BlockHolds(result.Cursor()) || result.PtrArray() == nullptr)
    return QVO_DIAG(&s, _Error_getting_more_lines_reading_data_, -1);
  return SQL_SUCCESS;
}

// Rows that no column converted (nothing bound, or data not retrieved) are
// fetched all the same: their statuses say so.
static void MarkRowsFetched(SQLUSMALLINT* status, SQLULEN startRow, SQLBIGINT rows) {
  if (status == nullptr) return;
  for (SQLBIGINT i = 0; i < rows; ++i) status[startRow + static_cast<SQLULEN>(i)] = SQL_ROW_SUCCESS;
}

SQLRETURN qvoStatement::FetchBlock(SQLULEN startRow) {
  resultCursor.Piecewise().Restart();
  SQLULEN* const rowsProcessed = IRD()->header.rowsProcessedPtr;
  if (IRD()->header.count < 1) {
    QVO_DIAG(this, _Nothing_to_fetch_, 100);
    return SQL_NO_DATA;
  }
  if (resultCursor.BoundColumnsStale()) resultCursor.SetBoundColumns(GetNumBoundColumns());
  const SQLBIGINT maxLines = qvoFetchMaxLines(*this);
  if (resultCursor.Cursor() >= maxLines) {
    *rowsProcessed = 0;
    if (logFull) Log(" RowsProcessed=%i\n", 0);
    return SQL_NO_DATA;
  }
  const SQLULEN arraySize = ARD()->header.arraySize;
  if (arraySize == 0) {
    QVO_DIAG(this, _Invalid_rowset_size_, -1);
    *rowsProcessed = 0;
    return SQL_NO_DATA;
  }
  if (!resultCursor.BlockHolds(resultCursor.Cursor())) {
    const SQLRETURN rc = RequestRows(*this, maxLines, arraySize);
    if (rc != SQL_SUCCESS) {
      *rowsProcessed = 0;
      return rc;
    }
  }
  const SQLBIGINT wanted =
      startRow < arraySize
          ? static_cast<SQLBIGINT>(std::min<SQLULEN>(arraySize - startRow, INT64_MAX))
          : 0;
  // The rows of the rowset this block holds; the fetch asks for the next
  // block for the rest, bound columns or not, so that GetData finds every
  // row of the rowset among the rows received.
  const SQLBIGINT lines = std::min(
      {wanted, maxLines - resultCursor.Cursor(),
       resultCursor.ResultRowCountStart() + resultCursor.ResultRowCount() - resultCursor.Cursor()});
  if (resultCursor.BoundColumns() < 1) {
    const SQLBIGINT n = std::max<SQLBIGINT>(lines, 0);
    *rowsProcessed = static_cast<SQLULEN>(n);
    MarkRowsFetched(IRD()->header.arrayStatusPtr, startRow, n);
    resultCursor.AdvanceCursor(n);
    return SQL_SUCCESS;
  }
  if (logFull)
    Log("cursor=%lli maxLines=%lli\n", static_cast<long long>(resultCursor.Cursor()),
        static_cast<long long>(maxLines));

  SQLRETURN ret = SQL_SUCCESS;
  bool rowFailed = false;
  if (stmtAttr.retriveData == SQL_RD_ON && lines > 0) {
    qvoFetchFrame frame(*this, startRow, lines);
    ret = frame.ConvertColumns();
    rowFailed = frame.RowFailed();
    if (ret != SQL_ERROR) {
      if (rowFailed && IRD()->header.arrayStatusPtr == nullptr) ret = SQL_ERROR;
      if (ret != SQL_ERROR) frame.WriteRowStatus(IRD()->header.arrayStatusPtr);
    }
  } else {
    MarkRowsFetched(IRD()->header.arrayStatusPtr, startRow, lines);
  }
  const SQLBIGINT done = ret == SQL_ERROR ? 0 : std::max<SQLBIGINT>(lines, 0);
  *rowsProcessed = static_cast<SQLULEN>(done);
  resultCursor.AdvanceCursor(done);
  if (logFull) Log(" RowsProcessed=%lli\n", static_cast<long long>(done));
  return ret;
}

// --- the column loop ------------------------------------------------------------------------

qvoFetchFrame::qvoFetchFrame(qvoStatement& s, SQLULEN startRow, SQLBIGINT lines)
    : s_(s), startRow_(startRow), lines_(static_cast<std::size_t>(lines)) {
  // Sized once per rowset size; later calls only clear them.
  qvoFetchScratch& scratch = s.FetchScratch();
  scratch.Prepare(std::max(lines_, kClearedAtOnce));
  ClearBytes(scratch.fetchRowWorst.data(), lines_);
}

SQLRETURN qvoFetchFrame::ConvertColumns() {
  setups_ = &qvoCheckedColumnSetups(s_);
  // Bindings past the result's columns wait for a result that has them.
  const int columns = std::min<int>(s_.ARD()->header.count, s_.IRD()->header.count);
  for (int n = 1; n <= columns; ++n) {
    const auto col = static_cast<SQLSMALLINT>(n);
    const __cliDescriptorRecords* a = s_.ARD()->GetRecord(col);
    if (!a || (!a->dataPtr && !a->octetLengthPtr)) continue;
    ConvertColumn(col, *a);
  }
  if (columnRefused_) return SQL_ERROR;
  return warned_ || rowFailed_ ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLSMALLINT qvoResolveCType(qvoStatement& s, SQLSMALLINT col, SQLSMALLINT cType,
                            const __cliDescriptorRecords& ird, bool* ok) {
  *ok = true;
  if (cType == SQL_C_DEFAULT) {
    if (s.SqlCallType() != 0) {
      SQLSMALLINT sqlType = 0, nullable = 0;
      if (s.GetDefaultCatalogColumnType(col, ird.conciseType, &cType, &sqlType, &nullable) ==
          SQL_ERROR) {
        QVO_DIAG(&s, _Cannot_convert_catalog_SQLType_into_default_CType_, ird.conciseType);
        *ok = false;
      }
    } else if (qvoConvertTypeSQL_C_default(ird.conciseType, &cType, s.dateTypeCode, s.timeTypeCode,
                                           s.timestampTypeCode) == -1) {
      QVO_DIAG(&s, _Cannot_convert_SQLType_into_default_CType_, ird.conciseType);
      *ok = false;
    }
  }
  if (cType == SQL_C_WCHAR)
    cType = s.connection && s.connection->GetAppWcharType() == 2 ? QVO_WCHAR_UTF8 : QVO_WCHAR_UTF16;
  return cType;
}

void qvoFetchFrame::ConvertColumn(SQLSMALLINT col, const __cliDescriptorRecords& a) {
  // Whatever the application wrote into its descriptors, only columns that
  // the result has and the block indexes are read.
  const __cliDescriptorRecords* ird = s_.IRD()->GetRecord(col);
  if (!ird || col > s_.Result().PtrArrayCols() || s_.Result().PtrArray() == nullptr) {
    QVO_DIAG(&s_, _Invalid_descriptor_index_, -1);
    columnRefused_ = true;
    return;
  }
  bool ok = true;
  const SQLSMALLINT bound = a.conciseType;  // most C types resolve to themselves
  const SQLSMALLINT cType = bound != SQL_C_DEFAULT && bound != SQL_C_WCHAR
                                ? bound
                                : qvoResolveCType(s_, col, bound, *ird, &ok);
  if (!ok) {
    columnRefused_ = true;
    return;
  }
  const qvoColumnSetup& setup = qvoColumnSetupOf(s_, *setups_, col, cType, *ird);
  const qvoConversion& conv = setup.conv;
  if (conv.refusal != qvoRefusal::None && qvoRecordRefusal(s_, conv.refusal, cType, ird->qvoType)) {
    columnRefused_ = true;
    return;
  }
  const SQLLEN bufferLength = a.octetLength;
  if (conv.fixedSize == 0 && bufferLength < 0 && a.dataPtr) {
    QVO_DIAG(&s_, _Invalid_string_or_buffer_length_, -1);
    columnRefused_ = true;
    return;
  }

  const __cliDescriptorHeader& h = s_.ARD()->header;
  const SQLLEN offset = *h.bindOffsetPtr;
  qvoColumnJob job;
  job.stmt = &s_;
  job.ard = &a;
  job.ird = ird;
  job.text = &setup.text;
  job.numeric = &setup.numeric;
  job.column = col;
  job.cType = cType;
  job.qvoType = ird->qvoType;
  job.bufferLength = bufferLength;
  job.valueWidth = ird->qvoTypeLen;
  if (h.bindType == SQL_BIND_BY_COLUMN) {
    job.dataStride = conv.fixedSize ? conv.fixedSize : static_cast<std::size_t>(bufferLength);
    job.lengthStride = sizeof(SQLLEN);
  } else {
    job.dataStride = job.lengthStride = h.bindType;
  }
  if (a.dataPtr) job.data = static_cast<char*>(a.dataPtr) + offset + startRow_ * job.dataStride;
  if (a.octetLengthPtr)
    job.lengths = reinterpret_cast<char*>(a.octetLengthPtr) + offset + startRow_ * job.lengthStride;
  const SQLBIGINT first = s_.Result().Cursor();
  job.values = s_.Result().ColumnFrom(col, first);
  job.rows = lines_;
  qvoFetchScratch& scratch = s_.FetchScratch();
  auto* outcomes = reinterpret_cast<Outcome*>(scratch.fetchColumnOutcomes.data());
  ClearBytes(outcomes, lines_);
  job.outcomes = outcomes;

  conv.cell(job, conv.nulls);

  // Most columns of most rowsets have no event: a pass the compiler turns
  // into vector code tells whether there is anything to fold.
  const auto* bytes = reinterpret_cast<const unsigned char*>(outcomes);
  unsigned char any = 0;
  for (std::size_t i = 0; i < lines_; ++i) any |= bytes[i];
  if (any == 0) {
    if (s_.logFull && !s_.logDebugComm) LogRows(job, conv);
    return;
  }

  // Fold the column's outcomes into the rows' worst and note each kind: a
  // cut once per row, every other kind once per column.
  unsigned seen = 0;
  std::size_t firstConversionError = lines_;
  unsigned char* worst = scratch.fetchRowWorst.data();
  for (std::size_t i = 0; i < lines_; ++i) {
    const auto o = static_cast<unsigned char>(outcomes[i]);
    if (o == 0) continue;
    seen |= 1u << o;
    if (o > worst[i]) worst[i] = o;
    if (outcomes[i] == Outcome::ConversionError && firstConversionError == lines_)
      firstConversionError = i;
  }
  for (int k = 1; k < kOutcomes; ++k) {
    if (!(seen & (1u << k))) continue;
    const auto o = static_cast<Outcome>(k);
    if (qvoCellIsError(o))
      rowFailed_ = true;
    else
      warned_ = true;
    if (o == Outcome::Truncated) {
      // Every cut row tells of itself, so that the records count the rows.
      for (std::size_t i = 0; i < lines_; ++i)
        if (outcomes[i] == o) qvoRecordCellOutcome(s_, o, job, first + static_cast<SQLBIGINT>(i));
      continue;
    }
    qvoRecordCellOutcome(
        s_, o, job,
        first + static_cast<SQLBIGINT>(o == Outcome::ConversionError ? firstConversionError : 0));
  }
  if (s_.logFull && !s_.logDebugComm) LogRows(job, conv);
}

bool qvoFetchFrame::RowFailed() const { return rowFailed_; }

void qvoFetchFrame::WriteRowStatus(SQLUSMALLINT* status) const {
  if (!status) return;
  const unsigned char* worst = s_.FetchScratch().fetchRowWorst.data();
  for (std::size_t i = 0; i < lines_; ++i) {
    const auto o = static_cast<Outcome>(worst[i]);
    status[startRow_ + i] = qvoCellIsError(o)  ? SQL_ROW_ERROR
                            : o != Outcome::Ok ? SQL_ROW_SUCCESS_WITH_INFO
                                               : SQL_ROW_SUCCESS;
  }
}

void qvoFetchFrame::LogRows(const qvoColumnJob& job, const qvoConversion& conv) {
  const SQLBIGINT limit = s_.logFileLines;
  if (limit == 0 || limit < -1) return;
  const SQLBIGINT n = static_cast<SQLBIGINT>(lines_);
  for (SQLBIGINT i = 0; i < n; ++i) {
    // -1: the first and the last row; L: the last L - 1 rows.
    const bool selected = limit == -1 ? (i == 0 || i == n - 1) : (n - i) < limit;
    if (!selected) continue;
    const char* value = static_cast<const char*>(job.values[i]);
    char* target = job.TargetAt(static_cast<std::size_t>(i));
    char* length = job.LengthAt(static_cast<std::size_t>(i));
    SQLLEN shown = 0;
    if (length) std::memcpy(&shown, length, sizeof shown);
    s_.Log(
        " === Offset=%llu, Column=%i, BufferLength=%lli, TargetValuePtr=0x%llx, "
        "StrLenPtr=0x%llx, *StrLenPtr=%lli, ProtocolNullFlag=%i, CType=%i, QVOType=%i === \n",
        static_cast<unsigned long long>(startRow_ + static_cast<SQLULEN>(i)),
        static_cast<int>(job.column), static_cast<long long>(job.bufferLength),
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(target)),
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(length)),
        static_cast<long long>(shown), static_cast<int>(static_cast<signed char>(value[-1])),
        static_cast<int>(job.cType), static_cast<int>(job.qvoType));
    // Only the bytes the target holds: a cut value's full length is more.
    SQLLEN bytes = 0;
    if (length && shown >= 0)
      bytes = conv.fixedSize ? static_cast<SQLLEN>(conv.fixedSize)
                             : std::min(shown, std::max<SQLLEN>(job.bufferLength, 0));
    s_.LogData(job.cType, reinterpret_cast<const unsigned char*>(target), bytes);
  }
}
