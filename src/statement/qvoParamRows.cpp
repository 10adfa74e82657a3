// The statement's side of the execute-prepared message: it settles each
// bound parameter's wire form once per block from its C type and SQL type,
// describes it in the IPD's terms and walks the application's buffers row
// by row. The bytes themselves are written by protocol/qvoPreparedMessage.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/qvoTypeCodes.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "platform/qvoConverter.h"
#include "protocol/qvoPreparedMessage.h"
#include "statement/qvoStatement.h"

namespace {

constexpr SQLUINTEGER kDefaultMessageSize = 67108864;

// SQL types whose column size in the description is the IPD length.
bool SizedByLength(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_GUID:
    case SQL_LONGVARBINARY:
    case SQL_VARBINARY:
    case SQL_BINARY:
    case SQL_LONGVARCHAR:
    case SQL_CHAR:
    case SQL_VARCHAR:
      return true;
    default:
      return false;
  }
}

bool IsDateTimeSqlType(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case QVO_TYPE_TIMESTAMP_UTC:
      return true;
    default:
      return false;
  }
}

bool IsCharacterServerType(qvo_int16 t) { return t == _VARCHAR || t == _CHAR; }

qvo_int32 Clamp32(SQLLEN v, SQLLEN high) {
  return static_cast<qvo_int32>(std::clamp<SQLLEN>(v, 0, std::min<SQLLEN>(high, INT32_MAX)));
}

// The largest message the server takes for the statement.
size_t MessageLimit(SQLUINTEGER maxPreparedMessageSize) {
  return std::min<size_t>(maxPreparedMessageSize ? maxPreparedMessageSize : kDefaultMessageSize,
                          qvoMessageBuffer::kMaxMessageBytes);
}

// A value the message cannot take goes into the next block, which it
// starts: the message and the collected values taken drop back to where
// its row began.
SQLRETURN SpillRow(qvoMessageBuffer& out, size_t rowStart, qvoParamBlock& block,
                   size_t longValueAtRowStart) {
  out.Truncate(rowStart);
  out.ClearFailure();
  block.nextLongValue = longValueAtRowStart;
  return SQL_NO_DATA;
}

}  // namespace

// One bound parameter as the rows need it, settled once per block.
struct qvoBoundParam {
  SQLSMALLINT number = 0;
  const __cliDescriptorRecords* apd = nullptr;
  const qvoParamEncoding* encoding = nullptr;
  size_t bound = 0;  // size of the bound buffer; 0 when unknown
  iconverter* converter = nullptr;
  bool utf8 = true;  // text taken as it is
  bool dateTimeText = false;
};

// The bound parameters of a message, in parameter order, with their
// descriptions.
struct qvoParamSet {
  std::vector<qvoBoundParam> params;
  std::vector<qvoParamDescription> descriptions;
  // One row bound column-wise goes out at its given length, whatever length
  // was bound or derived; otherwise each value is read within its slot.
  bool givenLength = false;
  // Bytes the values of the whole array are estimated at in the message
  // (see EstimateParamValueBytes); the header and descriptions come on top.
  size_t valueEstimate = 0;
};

// Tells the log of each growth of the message; the buffer's length follows.
class qvoMessageGrowthLog final : public qvoMessageGrowth {
 public:
  explicit qvoMessageGrowthLog(qvoStatement& s) : s_(s) {}
  void Growing(size_t capacity) override {
    if (s_.logFull)
      s_.Log("ResizePreparedBuffer: old preparedBufferSize: %llu, maxPreparedMessageSize=%llu\n",
             static_cast<unsigned long long>(capacity),
             static_cast<unsigned long long>(s_.maxPreparedMessageSize));
  }
  void Grown(size_t capacity) override {
    s_.preparedBufferLen = static_cast<SQLUINTEGER>(capacity);
    if (s_.logFull)
      s_.Log(" New preparedBufferSize: %llu\n", static_cast<unsigned long long>(capacity));
  }

 private:
  qvoStatement& s_;
};

// --- locating values -----------------------------------------------------------------

bool qvoStatement::IsDataAtExec(SQLLEN indicator) const {
  // Only what the application marked: a long bound value is in its buffer,
  // and the application has no token to answer for it.
  return indicator == SQL_DATA_AT_EXEC || indicator < SQL_LEN_DATA_AT_EXEC_OFFSET;
}

size_t qvoStatement::ParamColumnStride(SQLSMALLINT param) const {
  const __cliDescriptorRecords* a = APD()->GetRecord(param);
  if (a == nullptr) return 0;
  if (a->octetLength > 0) return static_cast<size_t>(a->octetLength);
  // A fixed-size C type steps by its own size when no length was set.
  const __cliDescriptorRecords* i = IPD()->GetRecord(param);
  const qvoParamEncoding* e = FindParamEncoding(a->conciseType, i ? i->conciseType : 0, nullptr);
  return e && e->kind == qvoParamKind::Fixed ? static_cast<size_t>(e->valueBytes) : 0;
}

void qvoStatement::LocateParamValue(SQLSMALLINT param, SQLULEN row, const char** value,
                                    SQLLEN* indicator, const char** indicatorAt) const {
  *value = nullptr;
  *indicator = SQL_NTS;
  if (indicatorAt) *indicatorAt = nullptr;
  const __cliDescriptorRecords* a = APD()->GetRecord(param);
  if (a == nullptr) return;
  const SQLLEN offset = *APD()->header.bindOffsetPtr;
  const SQLUINTEGER rowSize = APD()->header.bindType;
  // The bind offset moves only pointers that are set; addresses are
  // computed as integers so that no pointer is formed outside a buffer.
  const auto at = [&](const void* base, uintptr_t step) -> const char* {
    if (base == nullptr) return nullptr;
    return reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(base) +
                                         static_cast<uintptr_t>(offset) + step * row);
  };
  const bool byColumn = rowSize == SQL_BIND_BY_COLUMN;
  const char* place = at(a->dataPtr, byColumn ? ParamColumnStride(param) : rowSize);
  if (place && a->pointerBind) std::memcpy(&place, place, sizeof place);
  *value = place;
  if (const char* cell = at(a->octetLengthPtr, byColumn ? sizeof(SQLLEN) : rowSize)) {
    std::memcpy(indicator, cell, sizeof *indicator);
    if (indicatorAt) *indicatorAt = cell;
  }
}

// --- the message -----------------------------------------------------------------------

SQLRETURN qvoStatement::CreateEmptyHeader() {
  qvoMessageBuffer out;
  out.Adopt(std::move(preparedBuffer), preparedBufferSize);
  EncodePreparedHeader(out, preparedHandle, 0, 0);
  if (out.Failed()) return QVO_DIAG(this, _Memory_allocation_error_, -1);
  preparedHeaderLen = preparedMessageLen = static_cast<int>(out.Size());
  preparedBufferSize = preparedBufferLen = static_cast<SQLUINTEGER>(out.Capacity());
  preparedBuffer = out.Release();
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::CheckPreparedHeader() {
  qvoParamSet set;
  if (DescribeBoundParams(set, APD()->header.arraySize, logFull) == SQL_ERROR)
    return QVO_DIAG(this, _Error_creating_prepared_header_, -1);
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::DescribeBoundParams(qvoParamSet& set, SQLULEN rows, bool logHeader) {
  if (IPD() == nullptr)
    return QVO_DIAG(this, _Implementation_parameter_descriptor_not_initialized_, -1);
  if (IPD()->header.count == 0) return QVO_DIAG(this, _Zero_parameters_bound_, -1);
  if (GetNumBoundParams() != APD()->header.count)
    return QVO_DIAG(this, _Wrong_number_of_parameters_, -1);
  const SQLSMALLINT n = APD()->header.count;
  if (logHeader) Log("CreatePreparedHeader: BoundParameters=%i\n", static_cast<int>(n));
  const SQLULEN arraySize = APD()->header.arraySize;
  const size_t cap = MessageLimit(maxPreparedMessageSize);
  const bool byColumn = APD()->header.bindType == SQL_BIND_BY_COLUMN;
  const bool beyondFirstRow = rows > 1;
  set.givenLength = byColumn && !beyondFirstRow;
  set.params.assign(static_cast<size_t>(n), qvoBoundParam{});
  set.descriptions.assign(static_cast<size_t>(n), qvoParamDescription{});
  for (int p = 1; p <= n; ++p) {
    qvoBoundParam& bp = set.params[static_cast<size_t>(p - 1)];
    bp.number = static_cast<SQLSMALLINT>(p);
    __cliDescriptorRecords* i = IPD()->GetRecord(bp.number);
    bp.apd = APD()->GetRecord(bp.number);
    if (i == nullptr) return QVO_DIAG(this, _Wrong_number_of_parameters_, -1);
    qvoParamLookup why;
    bp.encoding = FindParamEncoding(bp.apd->conciseType, i->conciseType, &why);
    if (bp.encoding == nullptr) {
      return why == qvoParamLookup::ConversionNotSupported
                 ? QVO_DIAG(this, _Conversion_not_supported_, -1)
                 : QVO_DIAG(this, _C_Type_not_supported_, -1);
    }
    const qvoParamEncoding& e = *bp.encoding;
    const SQLLEN octetLength = bp.apd->octetLength;
    // Values are read only within what the application bound.
    if (byColumn && !bp.apd->pointerBind) {
      if (e.kind == qvoParamKind::Fixed && octetLength > 0 && octetLength < e.valueBytes)
        return QVO_DIAG(this, _Invalid_buffer_length_, -1);
      if (e.kind != qvoParamKind::Fixed && octetLength <= 0 && beyondFirstRow)
        return QVO_DIAG(this, _Invalid_buffer_length_, -1);
    }
    bp.bound = octetLength > 0 ? static_cast<size_t>(octetLength) : 0;
    if (e.kind == qvoParamKind::Narrow) bp.converter = GetDataConverter();
    if (e.kind == qvoParamKind::Wide) bp.converter = GetWcharDataConverter();
    bp.utf8 = e.kind == qvoParamKind::Narrow &&
              (bp.converter == nullptr || bp.converter->ConversionDeactivated());
    if (e.kind == qvoParamKind::Wide && bp.converter == nullptr)
      return QVO_DIAG(this, _Error_converting_string_value_, -1);
    bp.dateTimeText = IsDateTimeSqlType(i->conciseType);

    i->qvoType = e.serverType;
    if (e.precisionRule != qvoPrecisionRule::Keep) i->precision = e.precision;
    if (e.precisionRule == qvoPrecisionRule::SetScaleZero) i->scale = 0;
    qvoParamDescription& d = set.descriptions[static_cast<size_t>(p - 1)];
    d.serverType = e.serverType;
    d.precision = i->precision;
    d.scale = i->scale;
    if (IsCharacterServerType(e.serverType)) {
      d.octetLength = Clamp32(octetLength, maxVarcharOctetLength);
      if (logHeader && octetLength > static_cast<SQLLEN>(maxVarcharOctetLength))
        Log("Adjusted octLen to maxVarcharOctetLength=%lli.\n",
            static_cast<long long>(maxVarcharOctetLength));
      const SQLLEN size = SizedByLength(i->conciseType)
                              ? static_cast<SQLLEN>(std::min<SQLULEN>(i->length, INT32_MAX))
                              : d.octetLength;
      d.columnSize = Clamp32(size, maxVarcharLength);
      if (logHeader && size > static_cast<SQLLEN>(maxVarcharLength))
        Log("Adjusted colSize to maxVarcharLength=%lli.\n",
            static_cast<long long>(maxVarcharLength));
      // Values of a fixed text length (GUID) never exceed their description.
      d.octetLength = std::max(d.octetLength, e.textBytes);
      d.columnSize = std::max(d.columnSize, e.textBytes);
    }
    if (logHeader)
      Log("CreatePreparedHeader: Parameter(%i) qvoType=%s colSize=%i octLen=%i\n", p,
          GetQVOTypeName(e.serverType), static_cast<int>(d.columnSize),
          static_cast<int>(d.octetLength));
    set.valueEstimate += EstimateParamValueBytes(e.serverType, octetLength, i->length, arraySize,
                                                 maxVarcharOctetLength, cap);
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::BuildPreparedMessage(qvoParamBlock& block) {
  block.rows = 0;
  preparedMessageLen = 0;
  qvoParamSet set;
  if (DescribeBoundParams(set, block.first + block.count) == SQL_ERROR) return SQL_ERROR;

  qvoMessageBuffer out;
  out.Adopt(std::move(preparedBuffer), preparedBufferSize);
  const auto finish = [&](SQLRETURN rc) {
    if (rc == SQL_ERROR) out.Truncate(0);
    preparedMessageLen = static_cast<int>(out.Size());
    preparedBufferSize = static_cast<SQLUINTEGER>(out.Capacity());
    preparedBuffer = out.Release();
    return rc;
  };
  // What the buffer held before the header, which may have to grow it.
  const size_t kept = out.Capacity();
  EncodePreparedHeader(out, preparedHandle, static_cast<qvo_int32>(set.params.size()),
                       static_cast<qvo_int64>(block.count));
  for (size_t p = 0; p < set.params.size(); ++p)
    set.params[p].encoding->describe(out, set.descriptions[p]);
  if (out.Failed()) return finish(QVO_DIAG(this, _Memory_allocation_error_, -1));
  preparedHeaderLen = static_cast<SQLINTEGER>(out.Size());
  // Sized once an execution from the estimate (the header as written and
  // the values), with some room to spare; a buffer kept from an earlier
  // execution is used when it is large enough.
  const size_t limit = MessageLimit(maxPreparedMessageSize);
  const size_t estimate = std::min(out.Size() + set.valueEstimate, limit);
  constexpr size_t kSpareBytes = 1000;
  if (block.first == 0) preparedBufferLen = static_cast<SQLUINTEGER>(estimate);
  if (estimate > kept) out.Presize(estimate + kSpareBytes);
  // From here on the buffer grows only when a value does not fit.
  qvoMessageGrowthLog growthLog(*this);
  out.Watch(&growthLog);
  if (logFull)
    Log("APD->header.bindType=%llu, preparedBufferLen=%lli\n",
        static_cast<unsigned long long>(APD()->header.bindType),
        static_cast<long long>(preparedBufferLen));

  bool cut = false;
  SQLULEN row = block.first;
  const SQLULEN end = block.first + block.count;
  while (row < end) {
    const SQLRETURN rc = EncodeParamRow(out, set, row, block, &cut);
    if (rc == SQL_ERROR) return finish(SQL_ERROR);
    if (rc == SQL_NO_DATA) break;
    ++row;
    // A block closes after the first row that reaches the message size.
    if (out.Size() >= limit) break;
  }
  block.rows = row - block.first;
  if (logFull) {
    Log(" ParameterSet complete. Offset=%lli, paramStart=%lli, paramNum=%lli\n",
        static_cast<long long>(out.Size()), static_cast<long long>(block.first),
        static_cast<long long>(block.count));
    Log("SetNumRowsInHeader: %i\n", static_cast<int>(block.rows));
  }
  PatchPreparedRows(out, static_cast<qvo_int64>(block.rows));
  return finish(cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS);
}

SQLRETURN qvoStatement::EncodeParamRow(qvoMessageBuffer& out, const qvoParamSet& set, SQLULEN row,
                                       qvoParamBlock& block, bool* cut) {
  const size_t rowStart = out.Size();
  const size_t longValueAtRowStart = block.nextLongValue;
  const bool logRow = logFull && !logDebugComm && ParamRowLogged(row, block);
  bool rowCut = false;
  for (const qvoBoundParam& bp : set.params) {
    const auto fail = [&](SQLRETURN rc) {
      block.errorParam = bp.number;
      block.errorRow = row;
      return rc;
    };
    SQLLEN indicator = SQL_NTS;
    if (logRow) indicator = LogParamRow(bp, row);
    qvoParamValue v;
    bool isNull = false;
    if (TakeParamValue(bp, set.givenLength, row, block, &v, &isNull, cut) == SQL_ERROR)
      return fail(SQL_ERROR);
    rowCut = rowCut || v.cut;
    if (logRow && !isNull && !IsDataAtExec(indicator)) {
      if (bp.apd->conciseType == SQL_C_CHAR && indicator == SQL_NTS)
        Log("strlen((char*)paramValuePtr)=%i\n", static_cast<int>(v.length));
      LogData(bp.apd->conciseType, reinterpret_cast<const unsigned char*>(v.data),
              static_cast<SQLLEN>(v.length));
    }
    if (isNull) {
      out.Int8(0);
      continue;
    }
    if (logFull && bp.apd->conciseType == SQL_C_GUID) {
      char text[37];
      GuidText(v.data, text);
      Log(" GuidString - %s\n", text);
    }
    const size_t flagAt = out.Size();
    out.Int8(1);
    const qvoValueStatus status = bp.encoding->encode(out, v);
    if (status == qvoValueStatus::Ok && !out.Failed()) continue;
    out.Truncate(flagAt);
    if (status == qvoValueStatus::TooLarge && row > block.first && !out.OutOfMemory())
      return SpillRow(out, rowStart, block, longValueAtRowStart);
    switch (status) {
      case qvoValueStatus::OutOfRange:
        return fail(QVO_DIAG(this, _Numeric_value_out_of_range_, -1));
      case qvoValueStatus::ConversionFailed:
        return fail(QVO_DIAG(this, _Error_converting_string_value_, -1));
      case qvoValueStatus::InvalidUtf8:
        return fail(QVO_DIAG(this, _Invalid_UTF_8_character_found_in_string_parameter_value_, -1));
      default:
        return fail(out.OutOfMemory() ? QVO_DIAG(this, _Memory_allocation_error_, -1)
                                      : QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1));
    }
  }
  if (rowCut) block.cutRows.push_back(row);
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::TakeParamValue(const qvoBoundParam& bp, bool givenLength, SQLULEN row,
                                       qvoParamBlock& block, qvoParamValue* v, bool* isNull,
                                       bool* cut) {
  const qvoParamEncoding& e = *bp.encoding;
  const char* data = nullptr;
  SQLLEN indicator = SQL_NTS;
  LocateParamValue(bp.number, row, &data, &indicator);
  *isNull = indicator == SQL_NULL_DATA;
  if (*isNull) return SQL_SUCCESS;
  v->converter = bp.utf8 ? nullptr : bp.converter;
  v->dateTimeText = bp.dateTimeText;
  if (IsDataAtExec(indicator)) {
    // The value collected by PutData, in the order the rows are sent.
    if (logFull) Log("Long data in parameter:\n");
    const std::string* collected = nullptr;
    if (!dataAtExec.Collected(block.nextLongValue, &collected))
      return QVO_DIAG(this, _Function_sequence_error_, -1);
    ++block.nextLongValue;
    *isNull = collected == nullptr;
    if (*isNull) return SQL_SUCCESS;
    v->data = collected->data();
    v->length = collected->size();
  } else if (e.kind == qvoParamKind::Fixed) {
    v->data = data;
    v->length = static_cast<size_t>(e.valueBytes);
  } else {
    // Character and binary values: the indicator gives the length, SQL_NTS
    // asks to measure text (within its slot, when it has one); a length
    // beyond the slot is cut to it, with a warning.
    const size_t slot = givenLength ? 0 : bp.bound;
    size_t length = 0;
    if (indicator == SQL_NTS && data && e.kind == qvoParamKind::Narrow) {
      length = slot ? strnlen(data, slot) : std::strlen(data);
    } else if (indicator == SQL_NTS && data && e.kind == qvoParamKind::Wide) {
      const size_t maxUnits = slot ? slot / 2 : SIZE_MAX / 2;
      size_t units = 0;
      for (qvo_uint16 u = 1; units < maxUnits; ++units) {
        std::memcpy(&u, data + 2 * units, 2);
        if (u == 0) break;
      }
      length = 2 * units;
    } else if (indicator == SQL_NTS && bp.apd->octetLengthPtr == nullptr &&
               e.kind == qvoParamKind::Binary && bp.bound) {
      length = bp.bound;  // binary without an indicator: the whole buffer
    } else if (indicator >= 0) {
      length = static_cast<size_t>(indicator);
    } else {
      return QVO_DIAG(this, _Error_converting_string_value_, -1);
    }
    if (slot && length > slot) {
      length = ParamCutLength(e.kind, data, length, slot, bp.utf8);
      v->cut = *cut = true;
    }
    v->data = data;
    v->length = length;
  }
  if (v->data == nullptr && (v->length > 0 || e.kind == qvoParamKind::Fixed))
    return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
  if (e.kind == qvoParamKind::Fixed && v->length < static_cast<size_t>(e.valueBytes))
    return QVO_DIAG(this, _Invalid_buffer_length_, -1);
  if (v->data == nullptr) v->data = "";
  return SQL_SUCCESS;
}

bool qvoStatement::ParamRowLogged(SQLULEN row, const qvoParamBlock& block) const {
  // -1: the first row and the last of those still to send; n: the first n.
  if (logFileLines == -1) return row == block.first || row == block.first + block.count - 1;
  return logFileLines > 0 && row - block.first < static_cast<SQLULEN>(logFileLines);
}

SQLLEN qvoStatement::LogParamRow(const qvoBoundParam& bp, SQLULEN row) {
  const char* data = nullptr;
  const char* indicatorAt = nullptr;
  SQLLEN indicator = SQL_NTS;
  LocateParamValue(bp.number, row, &data, &indicator, &indicatorAt);
  Log(" === Offset=%i, Param=%i, BufferLength=%i, paramValuePtr=0x%llx, strLenPtr=0x%llx, "
      "*strLenPtr=%lli, cType=%i (%s), qvoType=%s === \n",
      static_cast<int>(row), static_cast<int>(bp.number), static_cast<int>(bp.apd->octetLength),
      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data)),
      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(indicatorAt)),
      static_cast<long long>(indicator), static_cast<int>(bp.apd->conciseType),
      GetCTypeName(bp.apd->conciseType), GetQVOTypeName(bp.encoding->serverType));
  return indicator;
}
