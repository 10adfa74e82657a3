// Describing the columns of the current result (read from the IRD) and binding
// them (written into the ARD), with the fixed types of catalog results.
#include <cstring>
#include <string>

#include "common/qvoTypeCodes.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

namespace {

SQLPOINTER AsPointer(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

// Catalog results: per kind one letter per result column. V VARCHAR, S
// SMALLINT, I INTEGER; lower case: the column is not nullable.
struct CatalogColumns {
  char kind;
  const char* columns;
};
constexpr CatalogColumns kCatalogColumns[] = {
    {1, "VVVVV"},                  // tables
    {2, "VVVVSVIISSSVVSSIIV"},     // columns
    {3, "VVVSVVSSVVIIV"},          // statistics
    {4, "vsIVVVsssSsSVSSsSISS"},   // local type information
    {5, "VVVVVVVVSSSVVS"},         // foreign keys
    {6, "VVVVSV"},                 // primary keys
    {7, "VVVVVVVV"},               // column privileges
    {8, "VVVVSSVIISSSVVSSIIV"},    // procedure columns
    {9, "VVVSSSVS"},               // procedures
    {10, "VVVVVVV"},               // table privileges
    {11, "SVSVIISS"},              // special columns
    {12, "vsIVVVsssSsSVSSsSISS"},  // type information
};

// Column size by concise type: the record field it comes from, or a constant.
enum class SizeFrom { Length, Precision, DisplaySize, Constant, TimestampScale };
struct ColumnSizeRule {
  SQLSMALLINT type;
  SizeFrom from;
  SQLULEN constant;
};
constexpr ColumnSizeRule kColumnSizes[] = {
    {SQL_CHAR, SizeFrom::Length, 0},
    {SQL_VARCHAR, SizeFrom::Length, 0},
    {SQL_LONGVARCHAR, SizeFrom::Length, 0},
    {SQL_WCHAR, SizeFrom::Length, 0},
    {SQL_WVARCHAR, SizeFrom::Length, 0},
    {SQL_WLONGVARCHAR, SizeFrom::Length, 0},
    {SQL_BINARY, SizeFrom::Length, 0},
    {SQL_VARBINARY, SizeFrom::Length, 0},
    {SQL_LONGVARBINARY, SizeFrom::Length, 0},
    {SQL_NUMERIC, SizeFrom::Precision, 0},
    {SQL_DECIMAL, SizeFrom::Precision, 0},
    {SQL_INTEGER, SizeFrom::Precision, 0},
    {SQL_BIGINT, SizeFrom::Precision, 0},
    {SQL_C_SLONG, SizeFrom::Precision, 0},
    {SQL_C_ULONG, SizeFrom::Precision, 0},
    {SQL_C_SBIGINT, SizeFrom::Precision, 0},
    {SQL_C_UBIGINT, SizeFrom::Precision, 0},
    {SQL_SMALLINT, SizeFrom::Constant, 5},
    {SQL_C_SSHORT, SizeFrom::Constant, 5},
    {SQL_C_USHORT, SizeFrom::Constant, 5},
    {SQL_TINYINT, SizeFrom::Constant, 3},
    {SQL_C_STINYINT, SizeFrom::Constant, 3},
    {SQL_C_UTINYINT, SizeFrom::Constant, 3},
    {SQL_FLOAT, SizeFrom::Constant, 15},
    {SQL_DOUBLE, SizeFrom::Constant, 15},
    {SQL_REAL, SizeFrom::Constant, 7},
    {SQL_DATE, SizeFrom::Constant, 10},
    {SQL_TYPE_DATE, SizeFrom::Constant, 10},
    {SQL_TIMESTAMP, SizeFrom::TimestampScale, 20},
    {SQL_TYPE_TIMESTAMP, SizeFrom::TimestampScale, 20},
    {QVO_TYPE_TIMESTAMP_UTC, SizeFrom::TimestampScale, 20},
};

// Numeric column attributes: the record field, and whether ODBC reports it
// as a 16-bit value (sign-extended) or a length.
enum class NumberField { Small, Length };
struct NumericAttribute {
  SQLSMALLINT id;
  NumberField kind;
  SQLLEN (*read)(const __cliDescriptorRecords& r, const cliDescriptor& d);
};
using R = __cliDescriptorRecords;
using D = cliDescriptor;
constexpr NumericAttribute kNumericAttributes[] = {
    {SQL_DESC_CONCISE_TYPE, NumberField::Small,
     [](const R& r, const D&) -> SQLLEN { return r.conciseType; }},
    {SQL_DESC_UNSIGNED, NumberField::Small,
     [](const R& r, const D&) -> SQLLEN { return r.Unsigned; }},
    {SQL_DESC_UPDATABLE, NumberField::Small,
     [](const R& r, const D&) -> SQLLEN { return r.updatable; }},
    {SQL_DESC_SEARCHABLE, NumberField::Small,
     [](const R& r, const D&) -> SQLLEN { return r.searchable; }},
    {SQL_DESC_COUNT, NumberField::Small,
     [](const R&, const D& d) -> SQLLEN { return d.header.count; }},
    {SQL_DESC_TYPE, NumberField::Small, [](const R& r, const D&) -> SQLLEN { return r.type; }},
    {SQL_DESC_PRECISION, NumberField::Small,
     [](const R& r, const D&) -> SQLLEN { return static_cast<SQLSMALLINT>(r.precision); }},
    {SQL_DESC_SCALE, NumberField::Small, [](const R& r, const D&) -> SQLLEN { return r.scale; }},
    {SQL_DESC_NULLABLE, NumberField::Small,
     [](const R& r, const D&) -> SQLLEN { return r.nullable; }},
    {SQL_DESC_UNNAMED, NumberField::Small,
     [](const R& r, const D&) -> SQLLEN { return r.unnamed; }},
    {SQL_DESC_DISPLAY_SIZE, NumberField::Length,
     [](const R& r, const D&) -> SQLLEN { return r.displaySize; }},
    {SQL_DESC_AUTO_UNIQUE_VALUE, NumberField::Length,
     [](const R& r, const D&) -> SQLLEN { return r.autoUniqueValue; }},
    {SQL_DESC_CASE_SENSITIVE, NumberField::Length,
     [](const R& r, const D&) -> SQLLEN { return r.caseSensitive; }},
    {SQL_DESC_NUM_PREC_RADIX, NumberField::Length,
     [](const R& r, const D&) -> SQLLEN { return r.numPrecRadix; }},
    {SQL_DESC_LENGTH, NumberField::Length,
     [](const R& r, const D&) -> SQLLEN { return static_cast<SQLLEN>(r.length); }},
    {SQL_DESC_OCTET_LENGTH, NumberField::Length,
     [](const R& r, const D&) -> SQLLEN { return r.octetLength; }},
};

constexpr SQLSMALLINT kTextAttributes[] = {
    SQL_DESC_TYPE_NAME,       SQL_DESC_TABLE_NAME,     SQL_DESC_SCHEMA_NAME,
    SQL_DESC_CATALOG_NAME,    SQL_DESC_LABEL,          SQL_DESC_BASE_COLUMN_NAME,
    SQL_DESC_BASE_TABLE_NAME, SQL_DESC_LITERAL_PREFIX, SQL_DESC_LITERAL_SUFFIX,
    SQL_DESC_LOCAL_TYPE_NAME, SQL_DESC_NAME,
};

// ODBC 2 column attribute identifiers and what they stand for now.
struct Odbc2Attribute {
  SQLSMALLINT from;
  SQLSMALLINT to;
};
constexpr Odbc2Attribute kOdbc2Attributes[] = {
    {SQL_COLUMN_COUNT, SQL_DESC_COUNT},   {SQL_COLUMN_NAME, SQL_DESC_NAME},
    {SQL_COLUMN_LENGTH, SQL_DESC_LENGTH}, {SQL_COLUMN_PRECISION, SQL_DESC_PRECISION},
    {SQL_COLUMN_SCALE, SQL_DESC_SCALE},   {SQL_COLUMN_NULLABLE, SQL_DESC_NULLABLE},
};

// Bytes of text that fit into a buffer of bufferLength bytes with its
// terminator, never splitting a UTF-8 sequence.
int FittingBytes(const char* text, int len, int bufferLength) {
  if (bufferLength <= 0) return 0;
  int n = len < bufferLength - 1 ? len : bufferLength - 1;
  if (n < len)
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

// Copies the text cut to the buffer and terminated; true when it was cut.
bool CopyCut(const char* text, int len, char* out, int bufferLength) {
  if (!out) return false;
  const int n = FittingBytes(text, len, bufferLength);
  if (bufferLength > 0) {
    std::memcpy(out, text, static_cast<size_t>(n));
    out[n] = 0;
  }
  return n < len;
}

}  // namespace

SQLRETURN qvoStatement::NumResultCols(SQLSMALLINT* ColumnCountPtr) {
  ClearDiagRecords();
  if (!ColumnCountPtr) return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
  *ColumnCountPtr = IRD()->header.count;
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::DescribeCol2(SQLSMALLINT ColumnNumber, SQLSMALLINT* NativeDataType) {
  const __cliDescriptorRecords* r = IRD()->GetRecord(ColumnNumber);
  if (!r) return QVO_DIAG(this, _Invalid_descriptor_index_, -1);
  if (NativeDataType) *NativeDataType = r->nativeType;
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::GetDefaultCatalogColumnType(SQLSMALLINT ColumnNumber, SQLSMALLINT,
                                                    SQLSMALLINT* CType, SQLSMALLINT* oSQLType,
                                                    SQLSMALLINT* Nullable) {
  if (Nullable) *Nullable = SQL_NULLABLE;
  for (const CatalogColumns& k : kCatalogColumns) {
    if (k.kind != sqlCallType) continue;
    if (ColumnNumber < 1 || static_cast<size_t>(ColumnNumber) > std::strlen(k.columns)) return -1;
    const char letter = k.columns[ColumnNumber - 1];
    SQLSMALLINT c = SQL_C_CHAR, t = SQL_VARCHAR;
    if (letter == 'S' || letter == 's') c = SQL_C_SSHORT, t = SQL_SMALLINT;
    if (letter == 'I' || letter == 'i') c = SQL_C_SLONG, t = SQL_INTEGER;
    if (CType) *CType = c;
    if (oSQLType) *oSQLType = t;
    if (Nullable) *Nullable = (letter >= 'a' && letter <= 'z') ? SQL_NO_NULLS : SQL_NULLABLE;
    return SQL_SUCCESS;
  }
  return -1;
}

SQLULEN qvoStatement::GetColumnSize(SQLSMALLINT col, cliDescriptor* D) {
  const __cliDescriptorRecords* r = D ? D->GetRecord(col) : nullptr;
  if (!r) return 0;
  for (const ColumnSizeRule& rule : kColumnSizes) {
    if (rule.type != r->conciseType) continue;
    switch (rule.from) {
      case SizeFrom::Length:
        return r->length;
      case SizeFrom::Precision:
        return static_cast<SQLULEN>(r->precision);
      case SizeFrom::Constant:
        return rule.constant;
      case SizeFrom::TimestampScale:
        return rule.constant + static_cast<SQLULEN>(r->scale);
      case SizeFrom::DisplaySize:
        break;
    }
  }
  return static_cast<SQLULEN>(r->displaySize);
}

SQLRETURN qvoStatement::DescribeCol(SQLSMALLINT ColumnNumber, char* ColumnName,
                                    SQLSMALLINT BufferLength, SQLSMALLINT* NameLengthPtr,
                                    SQLSMALLINT* DataTypePtr, SQLULEN* ColumnSizePtr,
                                    SQLSMALLINT* DecimalDigitsPtr, SQLSMALLINT* NullablePtr) {
  ClearDiagRecords();
  if (ColumnNumber < 1) return QVO_DIAG(this, _Invalid_descriptor_index_, -1);
  if (ColumnNumber > IRD()->header.count)
    return QVO_DIAG(this, _Column_number_out_of_range_or_no_columns_found_, -1);
  if (BufferLength < 0) return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  const __cliDescriptorRecords* r = IRD()->GetRecord(ColumnNumber);
  const char* name = r->descName ? r->descName : "";
  const int len = r->descNameLen;
  const bool cut = CopyCut(name, len, ColumnName, BufferLength);
  if (logFull) {
    LogConvertors("qvoStatement::DescribeCol");
    LogData(SQL_C_CHAR, reinterpret_cast<const unsigned char*>(name), len);
  }
  if (NameLengthPtr) *NameLengthPtr = static_cast<SQLSMALLINT>(len);
  if (DataTypePtr) *DataTypePtr = r->conciseType;
  if (ColumnSizePtr) *ColumnSizePtr = GetColumnSize(ColumnNumber, IRD());
  if (DecimalDigitsPtr) *DecimalDigitsPtr = r->scale;
  if (NullablePtr) *NullablePtr = r->nullable;
  if (DataTypePtr) {
    SQLSMALLINT nullable = SQL_NULLABLE;
    if (sqlCallType != 0) {
      SQLSMALLINT cType = 0;
      if (GetDefaultCatalogColumnType(ColumnNumber, *DataTypePtr, &cType, DataTypePtr, &nullable) ==
          -1)
        return QVO_DIAG(this, _Cannot_convert_catalog_SQLType_into_default_CType_, -1);
    }
    if (NullablePtr) *NullablePtr = nullable;
  }
  if (cut) {
    QVO_DIAG(this, _String_data_right_truncated_, 1);
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

bool qvoStatement::ColAttributeIsText(SQLSMALLINT FieldIdentifier) {
  SQLSMALLINT field = FieldIdentifier;
  for (const Odbc2Attribute& a : kOdbc2Attributes)
    if (a.from == field) field = a.to;
  for (SQLSMALLINT id : kTextAttributes)
    if (id == field) return true;
  return false;
}

SQLRETURN qvoStatement::ColAttribute(SQLSMALLINT ColumnNumber, SQLSMALLINT FieldIdentifier,
                                     SQLPOINTER CharacterAttributePtr, SQLSMALLINT BufferLength,
                                     SQLSMALLINT* StringLengthPtr, SQLLEN* NumericAttributePtr) {
  ClearDiagRecords();
  if (ColumnNumber < 1 || ColumnNumber > IRD()->header.count)
    return QVO_DIAG(this, _Invalid_descriptor_index_, -1);
  SQLSMALLINT field = FieldIdentifier;
  if (sqlCallType != 0 && (field == SQL_DESC_CONCISE_TYPE || field == SQL_COLUMN_NULLABLE ||
                           field == SQL_DESC_NULLABLE)) {
    SQLSMALLINT cType = 0, sqlType = 0, nullable = 0;
    if (GetDefaultCatalogColumnType(ColumnNumber, 0, &cType, &sqlType, &nullable) == -1)
      return QVO_DIAG(this, _Cannot_convert_catalog_SQLType_into_default_CType_, -1);
    if (NumericAttributePtr)
      *NumericAttributePtr = field == SQL_DESC_CONCISE_TYPE ? sqlType : nullable;
    return SQL_SUCCESS;
  }
  for (const Odbc2Attribute& a : kOdbc2Attributes)
    if (a.from == field) field = a.to;
  if (field == SQL_COLUMN_MONEY || field == 1211 || field == 1212) {
    if (NumericAttributePtr) *NumericAttributePtr = 0;
    return SQL_SUCCESS;
  }
  if (field >= 1200 && field <= 1218)
    return QVO_DIAG(this, _Unsupported_SQL_Server_column_attribute_, -1);

  const __cliDescriptorRecords* r = IRD()->GetRecord(ColumnNumber);
  for (const NumericAttribute& a : kNumericAttributes) {
    if (a.id != field) continue;
    if (NumericAttributePtr) *NumericAttributePtr = a.read(*r, *IRD());
    return SQL_SUCCESS;
  }
  if (!ColAttributeIsText(field)) return QVO_DIAG(this, _Invalid_descriptor_field_identifier_, -1);

  const char* text = nullptr;
  int len = 0;
  const SQLRETURN rc = IRD()->GetDescFieldText(ColumnNumber, field, &text, &len);
  if (rc != SQL_SUCCESS) {
    AppendDiagRecordsFrom(IRD());
    return SQL_ERROR;
  }
  if (!CharacterAttributePtr && !StringLengthPtr)
    return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  if (CharacterAttributePtr && BufferLength < 0)
    return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  const bool cut = CopyCut(text, len, static_cast<char*>(CharacterAttributePtr), BufferLength);
  if (StringLengthPtr) *StringLengthPtr = static_cast<SQLSMALLINT>(len);
  if (cut) {
    QVO_DIAG(this, _String_data_right_truncated_, 1);
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::BindCol(SQLSMALLINT ColumnNumber, SQLSMALLINT TargetType,
                                SQLPOINTER TargetValuePtr, SQLLEN BufferLength,
                                SQLLEN* StrLen_or_Ind) {
  ClearDiagRecords();
  resultCursor.NoteBindingChanged();
  // Bookmarks (column 0) are not supported; record numbers start at 1.
  if (ColumnNumber < 1) return QVO_DIAG(this, _Invalid_descriptor_index_, -1);
  const bool unbind = TargetValuePtr == nullptr && StrLen_or_Ind == nullptr;
  if (!unbind && BufferLength < 0) return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  if (TargetType == QVO_VARCHAR_PTR) using_QVO_VARCHAR_PTR = true;
  const auto failed = [this] {
    MoveDiagRecordsFrom(ARD());
    return SQL_ERROR;
  };
  if (ARD()->header.count < ColumnNumber &&
      ARD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(ColumnNumber), 0) == SQL_ERROR)
    return failed();
  __cliDescriptorRecords* r = ARD()->GetRecord(ColumnNumber);
  if (unbind) {
    r->conciseType = r->nativeType = 0;
    r->precision = 0;
    r->scale = 0;
  } else if (ARD()->SetDescField(ColumnNumber, SQL_DESC_CONCISE_TYPE, AsPointer(TargetType), 0) ==
             SQL_ERROR) {
    return failed();
  }
  r = ARD()->GetRecord(ColumnNumber);
  r->dataPtr = TargetValuePtr;
  r->octetLengthPtr = StrLen_or_Ind;
  r->octetLength = BufferLength;
  return SQL_SUCCESS;
}
