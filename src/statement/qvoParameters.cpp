// Parameter binding and its description: BindParameter writes one
// parameter's record into the APD and the IPD, NumParams and DescribeParam
// read the IPD back. What is written here is exactly what the prepared
// message reads at execution.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "common/qvoTypeCodes.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

namespace {

SQLPOINTER AsPointer(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

constexpr SQLLEN kMaxLen = std::numeric_limits<SQLLEN>::max();

// Column size as a buffer length, saturating instead of wrapping.
SQLLEN AsLength(SQLULEN size, SQLULEN plus = 0) {
  if (size > static_cast<SQLULEN>(kMaxLen) - plus) return kMaxLen;
  return static_cast<SQLLEN>(size + plus);
}

bool OneOf(SQLSMALLINT code, std::initializer_list<SQLSMALLINT> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Buffer length of the fixed-size C types; the length the application gave
// is ignored for them. GUID is fixed too but keeps the given length as its
// backup and takes column size 36.
struct FixedCType {
  SQLSMALLINT cType;
  SQLLEN size;
};
constexpr FixedCType kFixedCTypes[] = {
    {SQL_C_BIT, 1},        {SQL_C_TINYINT, 1},
    {SQL_C_STINYINT, 1},   {SQL_C_UTINYINT, 1},
    {SQL_C_SHORT, 2},      {SQL_C_SSHORT, 2},
    {SQL_C_USHORT, 2},     {SQL_C_LONG, 4},
    {SQL_C_SLONG, 4},      {SQL_C_ULONG, 4},
    {SQL_C_FLOAT, 4},      {QVO_INT32, 4},
    {SQL_C_DOUBLE, 8},     {SQL_C_SBIGINT, 8},
    {SQL_C_UBIGINT, 8},    {QVO_INT64, 8},
    {SQL_C_DATE, 6},       {SQL_C_TYPE_DATE, 6},
    {SQL_C_TIME, 6},       {SQL_C_TYPE_TIME, 6},
    {SQL_C_TIMESTAMP, 16}, {SQL_C_TYPE_TIMESTAMP, 16},
    {QVO_INT128, 16},      {QVO_TYPE_TIMESTAMP_UTC, 16},
    {SQL_C_NUMERIC, 19},
};

const FixedCType* FindFixed(SQLSMALLINT cType) {
  for (const FixedCType& f : kFixedCTypes)
    if (f.cType == cType) return &f;
  return nullptr;
}

// Defaults of a character C type bound without a buffer length, by SQL type:
// the column size when none was given, and the buffer length (from the
// column size, or its own value when the size was not given).
struct CharDefault {
  std::initializer_list<SQLSMALLINT> sqlTypes;
  SQLULEN sizeWhenZero;
  SQLULEN lengthPlus;     // buffer length = column size + this, when the size was given
  SQLLEN lengthWhenZero;  // 0: the defaulted column size
};
const CharDefault kCharDefaults[] = {
    {{SQL_CHAR, SQL_VARCHAR, SQL_LONGVARCHAR, SQL_WCHAR, SQL_WVARCHAR, SQL_WLONGVARCHAR, SQL_BINARY,
      SQL_VARBINARY, SQL_LONGVARBINARY},
     1000,
     0,
     0},
    {{SQL_NUMERIC, SQL_DECIMAL}, 36, 2, 40},
    {{SQL_INTEGER, SQL_SMALLINT, SQL_TINYINT}, 9, 0, 11},
    {{SQL_BIGINT}, 20, 0, 21},
    {{SQL_FLOAT, SQL_REAL, SQL_DOUBLE}, 32, 0, 0},
    {{SQL_BIT}, 1, 0, 0},
    {{SQL_DATE, SQL_TYPE_DATE}, 10, 0, 0},
    {{SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP, QVO_TYPE_TIMESTAMP_UTC}, 29, 0, 0},
};

// SQL types whose column size is the IPD length; those with a precision;
// those whose decimal digits are a date-time precision.
constexpr std::initializer_list<SQLSMALLINT> kLengthTypes = {
    SQL_GUID, SQL_LONGVARBINARY, SQL_VARBINARY, SQL_BINARY, SQL_LONGVARCHAR, SQL_CHAR, SQL_VARCHAR};
constexpr std::initializer_list<SQLSMALLINT> kPrecisionTypes = {SQL_NUMERIC, SQL_DECIMAL, SQL_FLOAT,
                                                                SQL_REAL, SQL_DOUBLE};
constexpr std::initializer_list<SQLSMALLINT> kDateTimePrecisionTypes = {
    SQL_TIME,
    SQL_TIMESTAMP,
    SQL_TYPE_TIME,
    SQL_TYPE_TIMESTAMP,
    SQL_INTERVAL_SECOND,
    SQL_INTERVAL_DAY_TO_SECOND,
    SQL_INTERVAL_HOUR_TO_SECOND,
    SQL_INTERVAL_MINUTE_TO_SECOND,
    QVO_TYPE_TIMESTAMP_UTC};
// Character and binary SQL types widened when the C type was defaulted.
constexpr std::initializer_list<SQLSMALLINT> kDefaultWidened = {
    SQL_WLONGVARCHAR, SQL_WVARCHAR,    SQL_WCHAR, SQL_LONGVARBINARY, SQL_VARBINARY,
    SQL_BINARY,       SQL_LONGVARCHAR, SQL_CHAR,  SQL_VARCHAR};
// SQL types DescribeParam reports the length of (the rest: the precision).
constexpr std::initializer_list<SQLSMALLINT> kDescribedByLength = {
    SQL_WLONGVARCHAR, SQL_WVARCHAR,    SQL_WCHAR, SQL_LONGVARBINARY, SQL_VARBINARY,
    SQL_BINARY,       SQL_LONGVARCHAR, SQL_CHAR,  SQL_VARCHAR};

SQLRETURN RaiseCount(cliDescriptor& d, SQLSMALLINT n) {
  if (d.header.count >= n) return SQL_SUCCESS;
  return d.SetDescField(0, SQL_DESC_COUNT, AsPointer(n), 0);
}

// A descriptor's failure, told on the statement instead.
SQLRETURN PassOn(qvoStatement& s, cliDescriptor& d) {
  s.MoveDiagRecordsFrom(&d);
  return SQL_ERROR;
}

}  // namespace

SQLRETURN qvoStatement::BindParameter(SQLSMALLINT ParameterNumber, SQLSMALLINT InputOutputType,
                                      SQLSMALLINT ValueType, SQLSMALLINT ParameterType,
                                      SQLULEN ColumnSize, SQLSMALLINT DecimalDigits,
                                      SQLPOINTER ParameterValuePtr, SQLLEN BufferLength,
                                      SQLLEN* StrLen_or_IndPtr) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  if (ParameterNumber < 1) return QVO_DIAG(this, _Invalid_descriptor_index_, -1);

  SQLSMALLINT cType = ValueType;
  bool defaulted = false;
  if (ValueType == SQL_C_DEFAULT &&
      qvoConvertTypeSQL_C_default(ParameterType, &cType, dateTypeCode, timeTypeCode,
                                  timestampTypeCode) != -1)
    defaulted = true;

  SQLLEN length = BufferLength;
  SQLLEN backup = BufferLength;
  SQLULEN size = ColumnSize;
  if (const FixedCType* f = FindFixed(cType)) {
    length = backup = f->size;
  } else if (cType == SQL_C_GUID) {
    length = 16;
    size = 36;
  } else if ((cType == SQL_C_CHAR || cType == SQL_C_WCHAR) && BufferLength <= 0) {
    const CharDefault* def = nullptr;
    for (const CharDefault& c : kCharDefaults)
      if (OneOf(ParameterType, c.sqlTypes)) def = &c;
    if (ParameterType == SQL_GUID) {
      size = 36;
      length = 16;
    } else if (def == nullptr) {
      return QVO_DIAG(this, _Cannot_map_buffer_length_0_for_this_data_type_, -1);
    } else if (size == 0) {
      size = def->sizeWhenZero;
      length = def->lengthWhenZero != 0 ? def->lengthWhenZero : AsLength(size);
    } else {
      length = AsLength(size, def->lengthPlus);
    }
  }
  if (defaulted && APD()->header.arraySize == 1) {
    if (OneOf(ParameterType, kDefaultWidened)) {
      size = std::max<SQLULEN>(size, 40);
      length = std::max<SQLLEN>(length, 40);
    } else if (ParameterType == SQL_GUID) {
      length = 16;
      size = 36;
    }
  }

  if (RaiseCount(*APD(), ParameterNumber) == SQL_ERROR) return PassOn(*this, *APD());
  if (APD()->SetDescField(ParameterNumber, SQL_DESC_CONCISE_TYPE, AsPointer(cType), 0) == SQL_ERROR)
    return PassOn(*this, *APD());
  __cliDescriptorRecords* a = APD()->GetRecord(ParameterNumber);
  a->octetLength = length;
  a->octetLengthBackup = backup;
  a->dataPtr = ParameterValuePtr;
  a->octetLengthPtr = StrLen_or_IndPtr;

  if (RaiseCount(*IPD(), ParameterNumber) == SQL_ERROR) return PassOn(*this, *IPD());
  IPD()->GetRecord(ParameterNumber)->parameterType = InputOutputType;
  if (IPD()->SetDescField(ParameterNumber, SQL_DESC_CONCISE_TYPE, AsPointer(ParameterType), 0) ==
      SQL_ERROR)
    return PassOn(*this, *IPD());
  __cliDescriptorRecords* p = IPD()->GetRecord(ParameterNumber);
  if (OneOf(ParameterType, kLengthTypes))
    p->length = size;
  else if (OneOf(ParameterType, kPrecisionTypes))
    p->precision = static_cast<SQLINTEGER>(
        std::min<SQLULEN>(size, static_cast<SQLULEN>(std::numeric_limits<SQLINTEGER>::max())));
  p->scale = DecimalDigits >= 0 && DecimalDigits <= 36 ? DecimalDigits : 0;
  if (ParameterType == SQL_NUMERIC || ParameterType == SQL_DECIMAL) p->scale = DecimalDigits;
  if (OneOf(ParameterType, kDateTimePrecisionTypes)) p->precision = DecimalDigits;
  BindingWasChanged();
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::NumParams(SQLSMALLINT* ParameterCountPtr) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  if (ParameterCountPtr) *ParameterCountPtr = IPD()->header.count;
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::DescribeParam(SQLSMALLINT ParameterNumber, SQLSMALLINT* DataTypePtr,
                                      SQLULEN* ParameterSizePtr, SQLSMALLINT* DecimalDigitsPtr,
                                      SQLSMALLINT* NullablePtr) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  const __cliDescriptorRecords* p = IPD()->GetRecord(ParameterNumber);
  if (p == nullptr) return QVO_DIAG(this, _Invalid_descriptor_index_, -1);
  if (DataTypePtr) *DataTypePtr = p->conciseType;
  if (ParameterSizePtr) {
    *ParameterSizePtr = OneOf(p->conciseType, kDescribedByLength)
                            ? p->length
                            : static_cast<SQLULEN>(static_cast<SQLLEN>(p->precision));
  }
  if (DecimalDigitsPtr) *DecimalDigitsPtr = p->scale;
  if (NullablePtr) *NullablePtr = p->nullable;
  return SQL_SUCCESS;
}
