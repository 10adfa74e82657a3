// Writing descriptor fields by identifier (SetDescField) and a record's main
// fields at once (SetDescRec). No per-kind rules are applied here: the
// statement code writes implementation descriptors through the same path.
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>

#include "common/qvoPredicates.h"
#include "common/qvoStrings.h"
#include "descriptors/qvoDescriptorTexts.h"
#include "descriptors/qvoDescriptors.h"
#include "messages/qvoTranslator.h"

namespace {

using Rec = __cliDescriptorRecords;
using Fields = __cliDescriptorRecordFields;

constexpr SQLINTEGER kMaxRecordNumber = 32767;
constexpr SQLULEN kDefaultTimestampPrecision = 6;

// Integers arrive in the pointer value itself; narrower fields take its low
// bits.
enum class Take { Low16Unsigned, Low16Signed, Low32, Full };

SQLLEN Taken(SQLPOINTER value, Take take) {
  const auto full = static_cast<SQLLEN>(reinterpret_cast<intptr_t>(value));
  switch (take) {
    case Take::Low16Unsigned:
      return static_cast<uint16_t>(full);
    case Take::Low16Signed:
      return static_cast<int16_t>(full);
    case Take::Low32:
      return static_cast<int32_t>(full);
    case Take::Full:
      break;
  }
  return full;
}

// --- concise types -------------------------------------------------------------------

// A default of the concise-type table: keep the member, a value, the
// timestamp precision p, or 20 + p.
struct Default {
  enum Kind : uint8_t { Keep, Value, P, P20 } kind;
  SQLLEN value;
};
constexpr Default K{Default::Keep, 0};
constexpr Default V(SQLLEN v) { return {Default::Value, v}; }
constexpr Default P{Default::P, 0};
constexpr Default P20{Default::P20, 0};

struct ConciseRow {
  std::array<SQLSMALLINT, 6> codes;  // unused slots 0 (never a valid code)
  SQLSMALLINT verbose;               // 0: the code itself
  Default dtCode, length, precision, scale, octetLength, displaySize, radix, fixedPrecScale,
      dtPrecision;
  bool quote;  // literal prefix and suffix "'"
};

// clang-format off
constexpr ConciseRow kConciseTypes[] = {
  // codes                         verbose dtCode length  prec   scale  octet  disp   radix  fixed  dtPrec quote
  {{SQL_C_UTINYINT, SQL_C_STINYINT, SQL_TINYINT}, 0, V(0), V(5), V(3), V(0), V(1), V(4), V(2), V(0), V(0), false},
  {{SQL_C_UBIGINT, SQL_C_SBIGINT, SQL_BIGINT},   0, V(0), V(22), V(18), V(0), V(8), V(21), V(10), V(1), V(0), false},
  {{SQL_C_ULONG, SQL_C_SLONG, SQL_INTEGER},      0, V(0), V(12), V(9), V(0), V(4), V(11), V(10), V(0), V(0), false},
  {{SQL_C_USHORT, SQL_C_SSHORT, SQL_SMALLINT},   0, V(0), V(7), V(5), V(0), V(2), V(6), V(10), V(1), V(0), false},
  {{SQL_BIT},                                    0, V(0), V(2), V(1), V(0), V(1), V(1), V(10), V(1), V(0), false},
  {{SQL_FLOAT, SQL_DOUBLE},                      0, V(0), V(25), V(53), V(0), V(8), V(24), V(2), V(1), V(0), false},
  {{SQL_REAL},                                   0, V(0), V(15), V(24), V(0), V(4), V(14), V(2), V(1), V(0), false},
  {{SQL_NUMERIC, SQL_DECIMAL},                   0, V(0), V(38), K, V(0), K, K, V(10), V(1), V(0), false},
  {{QVO_INT32},                                  0, V(0), V(11), V(10), V(0), V(4), V(11), V(10), V(1), V(0), false},
  {{QVO_INT64},                                  0, V(0), V(20), V(20), V(0), V(8), V(21), V(10), V(1), V(0), false},
  {{QVO_INT128},                                 0, V(0), V(38), V(36), V(0), V(16), V(37), V(10), V(1), V(0), false},
  {{QVO_VARCHAR_BY_REFERENCE},                   0, V(0), K, K, V(0), K, K, V(0), V(1), V(0), false},
  {{SQL_GUID},                                   0, V(0), V(36), V(36), V(0), V(16), V(38), V(0), V(0), V(0), true},
  {{SQL_WLONGVARCHAR, SQL_WVARCHAR, SQL_WCHAR, SQL_LONGVARCHAR, SQL_CHAR, SQL_VARCHAR},
                                                 0, V(0), K, K, V(0), K, K, V(0), V(0), V(0), true},
  {{SQL_LONGVARBINARY, SQL_VARBINARY, SQL_BINARY}, 0, V(0), K, K, V(0), K, K, V(0), V(0), V(0), false},
  {{SQL_DATE, SQL_TYPE_DATE},                    SQL_DATETIME, V(SQL_CODE_DATE), V(10), V(10), V(0), V(6), V(10), V(0), V(0), V(0), true},
  {{SQL_TIME, SQL_TYPE_TIME},                    SQL_DATETIME, V(SQL_CODE_TIME), V(8), V(8), V(4), V(6), V(8), V(0), V(0), V(0), true},
  {{SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP, QVO_TYPE_TIMESTAMP_UTC},
                                                 SQL_DATETIME, V(SQL_CODE_TIMESTAMP), P20, P, P, V(16), P20, V(0), V(0), V(0), true},
  {{SQL_C_DEFAULT},                              0, K, K, K, K, K, K, K, K, K, false},
};
// clang-format on

const ConciseRow* FindConcise(SQLSMALLINT code) {
  for (const auto& row : kConciseTypes)
    for (SQLSMALLINT c : row.codes)
      if (c != 0 && c == code) return &row;
  return nullptr;
}

template <class T>
void Put(T& member, Default d, SQLULEN p) {
  switch (d.kind) {
    case Default::Keep:
      return;
    case Default::Value:
      member = static_cast<T>(d.value);
      return;
    case Default::P:
      member = static_cast<T>(p);
      return;
    case Default::P20:
      member = static_cast<T>(p + 20);  // unsigned: no overflow for any p
      return;
  }
}

SQLRETURN SetConciseType(cliDescriptor& d, Rec& r, SQLSMALLINT code) {
  const ConciseRow* row = FindConcise(code);
  if (row == nullptr) {
    if (code >= SQL_INTERVAL_YEAR && code <= SQL_INTERVAL_MINUTE_TO_SECOND)
      return QVO_DESC_DIAG(d, _data_type_not_supported_by_driver_);
    return QVO_DESC_DIAG(d, _Invalid_datatype_code_);
  }
  SQLULEN p = kDefaultTimestampPrecision;
  if (cliDescriptorOwner* owner = d.OwningStatement())
    p = owner->GetStmtAttr_QVO_TIMESTAMP_PRECISION();

  r.type = row->verbose != 0 ? row->verbose : code;
  Put(r.datetimeIntervalCode, row->dtCode, p);
  Put(r.length, row->length, p);
  Put(r.precision, row->precision, p);
  Put(r.scale, row->scale, p);
  Put(r.octetLength, row->octetLength, p);
  Put(r.displaySize, row->displaySize, p);
  Put(r.numPrecRadix, row->radix, p);
  Put(r.fixedPrecScale, row->fixedPrecScale, p);
  Put(r.datetimeIntervalPrecision, row->dtPrecision, p);
  if (row->quote) {
    qvoCopyStr(r.literalPrefix, "'", SQL_NTS, sizeof r.literalPrefix, SQL_NTS);
    qvoCopyStr(r.literalSufix, "'", SQL_NTS, sizeof r.literalSufix, SQL_NTS);
  }
  r.conciseType = code;
  return SQL_SUCCESS;
}

// Verbose codes that stand for the concise type of the same number.
bool IsConciseVerboseType(SQLSMALLINT code) {
  return (code >= -28 && code <= -25) || (code >= -18 && code <= -15) ||
         (code >= -10 && code <= -1) || (code >= 1 && code <= 8) || code == SQL_VARCHAR ||
         code == SQL_C_DEFAULT;
}

// --- record fields ---------------------------------------------------------------------

using RecordWriter = SQLRETURN (*)(cliDescriptor&, Rec&, SQLPOINTER, SQLINTEGER);

// An empty set accepts every value.
constexpr std::array<SQLLEN, 0> kAny{};
constexpr std::array<SQLLEN, 2> k01{0, 1};
constexpr std::array<SQLLEN, 3> k012{0, 1, 2};
constexpr std::array<SQLLEN, 4> k0123{0, 1, 2, 3};
constexpr std::array<SQLLEN, 3> kRadix{0, 2, 10};
constexpr std::array<SQLLEN, 3> kParamTypes{SQL_PARAM_INPUT, SQL_PARAM_INPUT_OUTPUT,
                                            SQL_PARAM_OUTPUT};

enum class Refusal { AttributeOption, OptionValue };

template <auto Member, Take take, const auto& accepted, Refusal refusal = Refusal::AttributeOption>
SQLRETURN SetNumber(cliDescriptor& d, Rec& r, SQLPOINTER value, SQLINTEGER) {
  const SQLLEN v = Taken(value, take);
  if (!accepted.empty()) {
    bool ok = false;
    for (SQLLEN a : accepted) ok = ok || a == v;
    if (!ok) {
      return refusal == Refusal::OptionValue
                 ? QVO_DESC_DIAG(d, _Invalid_option_value_)
                 : QVO_DESC_DIAG(d, _Invalid_attribute_option_identifier_);
    }
  }
  using T = std::remove_reference_t<decltype(r.*Member)>;
  r.*Member = static_cast<T>(v);
  return SQL_SUCCESS;
}

SQLRETURN SetOctetLengthPtr(cliDescriptor&, Rec& r, SQLPOINTER value, SQLINTEGER) {
  r.octetLengthPtr = static_cast<SQLLEN*>(value);
  return SQL_SUCCESS;
}

// The indicator shares the octet-length pointer; a different one cannot be
// kept.
SQLRETURN SetIndicatorPtr(cliDescriptor& d, Rec& r, SQLPOINTER value, SQLINTEGER) {
  if (static_cast<SQLLEN*>(value) != r.octetLengthPtr)
    return QVO_DESC_DIAG(d, _Feature_not_supported_indicator_ptr_differs_octet_length_ptr_);
  return SQL_SUCCESS;
}

SQLRETURN SetDataPtr(cliDescriptor&, Rec& r, SQLPOINTER value, SQLINTEGER) {
  r.dataPtr = value;
  return SQL_SUCCESS;
}

SQLRETURN SetConciseTypeField(cliDescriptor& d, Rec& r, SQLPOINTER value, SQLINTEGER) {
  return SetConciseType(d, r, static_cast<SQLSMALLINT>(Taken(value, Take::Low16Signed)));
}

SQLRETURN SetVerboseType(cliDescriptor& d, Rec& r, SQLPOINTER value, SQLINTEGER) {
  const auto code = static_cast<SQLSMALLINT>(Taken(value, Take::Low16Signed));
  if (IsConciseVerboseType(code)) return SetConciseType(d, r, code);
  if (code == SQL_DATETIME || code == SQL_INTERVAL) {
    // Completed by a later SQL_DESC_DATETIME_INTERVAL_CODE.
    r.type = code;
    return SQL_SUCCESS;
  }
  return QVO_DESC_DIAG(d, _Invalid_attribute_option_identifier_);
}

SQLRETURN SetDatetimeIntervalCode(cliDescriptor& d, Rec& r, SQLPOINTER value, SQLINTEGER) {
  const SQLLEN code = Taken(value, Take::Low16Unsigned);
  if (r.type == SQL_DATETIME) {
    const SQLSMALLINT byCode[] = {d.dateTypeCode, d.timeTypeCode, d.timestampTypeCode};
    if (code < SQL_CODE_DATE || code > SQL_CODE_TIMESTAMP)
      return QVO_DESC_DIAG(d, _Invalid_attribute_option_identifier_);
    return SetConciseType(d, r, byCode[code - SQL_CODE_DATE]);
  }
  if (r.type == SQL_INTERVAL) {
    if (code < SQL_CODE_YEAR || code > SQL_CODE_MINUTE_TO_SECOND)
      return QVO_DESC_DIAG(d, _Invalid_attribute_option_identifier_);
    r.datetimeIntervalCode = static_cast<SQLSMALLINT>(code);
    return SQL_SUCCESS;
  }
  return QVO_DESC_DIAG(d, _Inconsistent_descriptor_information_);
}

// Text arrives as UTF-8 of BufferLength bytes, or terminated for SQL_NTS; a
// null Value is the empty text. Other negative lengths are refused before
// anything is written.
int TextLength(SQLPOINTER value, SQLINTEGER bufferLength) {
  if (value == nullptr) return 0;
  if (bufferLength == SQL_NTS) return qvoStrlen(static_cast<const SQLCHAR*>(value));
  return bufferLength;
}

SQLRETURN SetText(cliDescriptor&, Rec& r, SQLPOINTER value, SQLINTEGER bufferLength,
                  const qvoTextField& field) {
  const auto* text = static_cast<const char*>(value);
  if (field.owned.text) {
    Rec::SetOwnedText(r.*field.owned.text, r.*field.owned.length, text,
                      TextLength(value, bufferLength));
    if (field.id == SQL_DESC_NAME) r.unnamed = r.descNameLen == 0 ? SQL_UNNAMED : SQL_NAMED;
    return SQL_SUCCESS;
  }
  // Fixed arrays: cut to the array less one byte, always terminated.
  const int n = TextLength(value, bufferLength);
  if (field.fixed8)
    qvoCopyStr(r.*field.fixed8, text, n, sizeof(r.*field.fixed8), SQL_NTS);
  else
    qvoCopyStr(r.*field.fixed40, text, n, sizeof(r.*field.fixed40), SQL_NTS);
  return SQL_SUCCESS;
}

struct RecordField {
  SQLSMALLINT id;
  RecordWriter write;
  bool bindingNotice;  // a binding of the owning statement changes
};

using F = Fields;
// clang-format off
constexpr RecordField kRecordFields[] = {
  {SQL_DESC_CONCISE_TYPE, SetConciseTypeField, false},
  {SQL_DESC_DISPLAY_SIZE, SetNumber<&F::displaySize, Take::Full, kAny>, false},
  {SQL_DESC_UNSIGNED, SetNumber<&F::Unsigned, Take::Low16Unsigned, k01>, false},
  {SQL_DESC_FIXED_PREC_SCALE, SetNumber<&F::fixedPrecScale, Take::Low16Unsigned, k01>, false},
  {SQL_DESC_UPDATABLE, SetNumber<&F::updatable, Take::Low16Unsigned, k012>, false},
  {SQL_DESC_AUTO_UNIQUE_VALUE, SetNumber<&F::autoUniqueValue, Take::Low32, k01, Refusal::OptionValue>, false},
  {SQL_DESC_CASE_SENSITIVE, SetNumber<&F::caseSensitive, Take::Low32, kAny>, false},
  {SQL_DESC_SEARCHABLE, SetNumber<&F::searchable, Take::Low16Signed, k0123>, false},
  {SQL_DESC_DATETIME_INTERVAL_PRECISION, SetNumber<&F::datetimeIntervalPrecision, Take::Low32, kAny>, false},
  {SQL_DESC_NUM_PREC_RADIX, SetNumber<&F::numPrecRadix, Take::Low32, kRadix>, false},
  {SQL_DESC_PARAMETER_TYPE, SetNumber<&F::parameterType, Take::Low16Unsigned, kParamTypes>, false},
  {SQL_DESC_ROWVER, SetNumber<&F::rowver, Take::Low16Unsigned, k01>, false},
  {SQL_DESC_TYPE, SetVerboseType, false},
  {SQL_DESC_LENGTH, SetNumber<&F::length, Take::Full, kAny>, false},
  {SQL_DESC_OCTET_LENGTH_PTR, SetOctetLengthPtr, true},
  {SQL_DESC_PRECISION, SetNumber<&F::precision, Take::Low16Signed, kAny>, false},
  {SQL_DESC_SCALE, SetNumber<&F::scale, Take::Low16Signed, kAny>, false},
  {SQL_DESC_DATETIME_INTERVAL_CODE, SetDatetimeIntervalCode, false},
  {SQL_DESC_NULLABLE, SetNumber<&F::nullable, Take::Low16Unsigned, k012>, false},
  {SQL_DESC_INDICATOR_PTR, SetIndicatorPtr, true},
  {SQL_DESC_DATA_PTR, SetDataPtr, true},
  {SQL_DESC_UNNAMED, SetNumber<&F::unnamed, Take::Low16Unsigned, k01>, false},
  {SQL_DESC_OCTET_LENGTH, SetNumber<&F::octetLength, Take::Full, kAny>, false},
  {QVO_DESC_OCTET_LENGTH_BACKUP, SetNumber<&F::octetLengthBackup, Take::Full, kAny>, false},
  {QVO_DESC_OCTET_LENGTH_BACKUP_ALT, SetNumber<&F::octetLengthBackup, Take::Full, kAny>, false},
};
// clang-format on

const RecordField* FindRecordField(SQLSMALLINT id) {
  for (const auto& f : kRecordFields)
    if (f.id == id) return &f;
  return nullptr;
}

// --- header fields ----------------------------------------------------------------------

using HeaderWriter = SQLRETURN (*)(cliDescriptor&, SQLPOINTER);

SQLRETURN SetArraySize(cliDescriptor& d, SQLPOINTER value) {
  d.header.arraySize = static_cast<SQLULEN>(Taken(value, Take::Full));
  return SQL_SUCCESS;
}

SQLRETURN SetArrayStatusPtr(cliDescriptor& d, SQLPOINTER value) {
  d.header.arrayStatusPtr = static_cast<SQLUSMALLINT*>(value);
  return SQL_SUCCESS;
}

SQLRETURN SetBindOffsetPtr(cliDescriptor& d, SQLPOINTER value) {
  if (value == nullptr) {
    d.header.bindOffsetDummy = 0;
    d.header.bindOffsetPtr = &d.header.bindOffsetDummy;
  } else {
    d.header.bindOffsetPtr = static_cast<SQLLEN*>(value);
  }
  return SQL_SUCCESS;
}

SQLRETURN SetBindType(cliDescriptor& d, SQLPOINTER value) {
  d.header.bindType = static_cast<SQLUINTEGER>(Taken(value, Take::Low32));
  return SQL_SUCCESS;
}

SQLRETURN SetRowsProcessedPtr(cliDescriptor& d, SQLPOINTER value) {
  d.header.rowsProcessedPtr =
      value == nullptr ? &d.header.rowsProcessed : static_cast<SQLULEN*>(value);
  return SQL_SUCCESS;
}

SQLRETURN SetCount(cliDescriptor& d, SQLPOINTER value) {
  // The whole value counts: a count that a record number cannot reach is
  // refused, not wrapped into range.
  const SQLLEN n = Taken(value, Take::Full);
  if (n < 0 || n > kMaxRecordNumber) return QVO_DESC_DIAG(d, _Invalid_descriptor_index_);
  if (d.ResizeRecordTable(static_cast<SQLSMALLINT>(n)) != SQL_SUCCESS)
    return QVO_DESC_DIAG(d, _Memory_management_error_);
  return SQL_SUCCESS;
}

SQLRETURN SetAllocType(cliDescriptor& d, SQLPOINTER value) {
  const SQLLEN v = Taken(value, Take::Low16Unsigned);
  if (v != SQL_DESC_ALLOC_AUTO && v != SQL_DESC_ALLOC_USER)
    return QVO_DESC_DIAG(d, _Invalid_option_value_);
  d.header.allocType = static_cast<SQLSMALLINT>(v);
  return SQL_SUCCESS;
}

struct HeaderField {
  SQLSMALLINT id;
  HeaderWriter write;
};

constexpr HeaderField kHeaderFields[] = {
    {SQL_DESC_ARRAY_SIZE, SetArraySize},
    {SQL_DESC_ARRAY_STATUS_PTR, SetArrayStatusPtr},
    {SQL_DESC_BIND_OFFSET_PTR, SetBindOffsetPtr},
    {SQL_DESC_BIND_TYPE, SetBindType},
    {SQL_DESC_ROWS_PROCESSED_PTR, SetRowsProcessedPtr},
    {SQL_DESC_COUNT, SetCount},
    {SQL_DESC_ALLOC_TYPE, SetAllocType},
};

}  // namespace

// --- SetDescField ---------------------------------------------------------------------------

SQLRETURN cliDescriptor::SetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier,
                                      SQLPOINTER Value, SQLINTEGER BufferLength) {
  if (IsHeaderField(FieldIdentifier)) {
    for (const auto& f : kHeaderFields)
      if (f.id == FieldIdentifier) return f.write(*this, Value);
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_field_identifier_);
  }
  if (RecNumber < 1) return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_);

  // The identifier and a text length are checked before the table grows.
  const RecordField* number = FindRecordField(FieldIdentifier);
  const qvoTextField* text = number ? nullptr : FindTextField(FieldIdentifier);
  if (number == nullptr && text == nullptr)
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_field_identifier_);
  if (text && Value != nullptr && BufferLength < 0 && BufferLength != SQL_NTS)
    return QVO_DESC_DIAG(*this, _Invalid_string_or_buffer_length_);

  const SQLSMALLINT oldCount = header.count;
  if (RecNumber > oldCount && ResizeRecordTable(RecNumber) != SQL_SUCCESS)
    return QVO_DESC_DIAG(*this, _Memory_management_error_);

  SQLRETURN rc;
  Rec& r = *records[RecNumber];
  if (number) {
    if (number->bindingNotice) NoticeBindingChange();
    rc = number->write(*this, r, Value, BufferLength);
  } else {
    try {
      rc = SetText(*this, r, Value, BufferLength, *text);
    } catch (const std::bad_alloc&) {
      rc = QVO_DESC_DIAG(*this, _Memory_management_error_);
    }
  }
  // A refused value leaves the descriptor as it was, record count included.
  if (rc != SQL_SUCCESS && header.count > oldCount) ResizeRecordTable(oldCount);
  return rc;
}

// --- SetDescRec -----------------------------------------------------------------------------

SQLRETURN cliDescriptor::SetDescRec(SQLSMALLINT RecNumber, SQLSMALLINT Type, SQLSMALLINT SubType,
                                    SQLLEN Length, SQLSMALLINT Precision, SQLSMALLINT Scale,
                                    SQLPOINTER DataPtr, SQLLEN* StringLength, SQLLEN* Indicator) {
  (void)Indicator;  // the indicator shares the octet-length pointer
  if (RecNumber < 1) return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_);
  if (RecNumber > header.count && ResizeRecordTable(RecNumber) != SQL_SUCCESS)
    return QVO_DESC_DIAG(*this, _Memory_management_error_);
  Rec& r = *records[RecNumber];
  r.type = Type;
  if (Type == SQL_DATETIME || Type == SQL_INTERVAL) r.datetimeIntervalCode = SubType;
  r.length = static_cast<SQLULEN>(Length);
  r.precision = Precision;
  r.scale = Scale;
  r.dataPtr = DataPtr;
  r.octetLengthPtr = StringLength;
  // The data and length pointers are bindings like those of SetDescField.
  NoticeBindingChange();
  return SQL_SUCCESS;
}
