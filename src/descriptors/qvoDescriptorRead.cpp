// Reading descriptor fields by identifier (GetDescField) and a record's main
// fields at once (GetDescRec). Every field can be read from every kind of
// descriptor, except the private default C type, which only an IRD has.
#include <cstring>
#include <type_traits>

#include "common/qvoPredicates.h"
#include "common/qvoStrings.h"
#include "common/qvoTypeCodes.h"
#include "descriptors/qvoDescriptorTexts.h"
#include "descriptors/qvoDescriptors.h"
#include "messages/qvoTranslator.h"

namespace {

using Rec = __cliDescriptorRecords;
using F = __cliDescriptorRecordFields;
using H = __cliDescriptorHeader;

// Writes a value with the width of its own type.
template <class T>
void Put(SQLPOINTER out, T value) {
  std::memcpy(out, &value, sizeof value);
}

template <auto Member>
void PutRecord(const cliDescriptor&, const Rec& r, SQLPOINTER out) {
  Put(out, r.*Member);
}

template <auto Member>
void PutHeader(const cliDescriptor& d, const Rec*, SQLPOINTER out) {
  Put(out, d.header.*Member);
}

void PutPrecision(const cliDescriptor&, const Rec& r, SQLPOINTER out) {
  Put(out, static_cast<SQLSMALLINT>(r.precision));  // kept in 32 bits, reported in 16
}

void PutDefaultCType(const cliDescriptor& d, const Rec& r, SQLPOINTER out) {
  // An SQL type without a default C type leaves the output as it was.
  SQLSMALLINT cType;
  if (qvoConvertTypeSQL_C_default(r.conciseType, &cType, d.dateTypeCode, d.timeTypeCode,
                                  d.timestampTypeCode) == 0)
    Put(out, cType);
}

using RecordReader = void (*)(const cliDescriptor&, const Rec&, SQLPOINTER);
using HeaderReader = void (*)(const cliDescriptor&, const Rec*, SQLPOINTER);

struct RecordField {
  SQLSMALLINT id;
  RecordReader read;
};

// clang-format off
constexpr RecordField kRecordFields[] = {
  {SQL_DESC_CONCISE_TYPE, PutRecord<&F::conciseType>},
  {SQL_DESC_DISPLAY_SIZE, PutRecord<&F::displaySize>},
  {SQL_DESC_UNSIGNED, PutRecord<&F::Unsigned>},
  {SQL_DESC_FIXED_PREC_SCALE, PutRecord<&F::fixedPrecScale>},
  {SQL_DESC_UPDATABLE, PutRecord<&F::updatable>},
  {SQL_DESC_AUTO_UNIQUE_VALUE, PutRecord<&F::autoUniqueValue>},
  {SQL_DESC_CASE_SENSITIVE, PutRecord<&F::caseSensitive>},
  {SQL_DESC_SEARCHABLE, PutRecord<&F::searchable>},
  {SQL_DESC_DATETIME_INTERVAL_PRECISION, PutRecord<&F::datetimeIntervalPrecision>},
  {SQL_DESC_NUM_PREC_RADIX, PutRecord<&F::numPrecRadix>},
  {SQL_DESC_PARAMETER_TYPE, PutRecord<&F::parameterType>},
  {SQL_DESC_ROWVER, PutRecord<&F::rowver>},
  {SQL_DESC_TYPE, PutRecord<&F::type>},
  {SQL_DESC_LENGTH, PutRecord<&F::length>},
  {SQL_DESC_OCTET_LENGTH_PTR, PutRecord<&F::octetLengthPtr>},
  {SQL_DESC_PRECISION, PutPrecision},
  {SQL_DESC_SCALE, PutRecord<&F::scale>},
  {SQL_DESC_DATETIME_INTERVAL_CODE, PutRecord<&F::datetimeIntervalCode>},
  {SQL_DESC_NULLABLE, PutRecord<&F::nullable>},
  {SQL_DESC_INDICATOR_PTR, PutRecord<&F::octetLengthPtr>},  // the same pointer
  {SQL_DESC_DATA_PTR, PutRecord<&F::dataPtr>},
  {SQL_DESC_UNNAMED, PutRecord<&F::unnamed>},
  {SQL_DESC_OCTET_LENGTH, PutRecord<&F::octetLength>},
  {QVO_DESC_DEFAULT_C_TYPE, PutDefaultCType},
};

struct HeaderField {
  SQLSMALLINT id;
  HeaderReader read;
};

constexpr HeaderField kHeaderFields[] = {
  {SQL_DESC_ARRAY_SIZE, PutHeader<&H::arraySize>},
  {SQL_DESC_ARRAY_STATUS_PTR, PutHeader<&H::arrayStatusPtr>},
  {SQL_DESC_BIND_OFFSET_PTR, PutHeader<&H::bindOffsetPtr>},
  {SQL_DESC_BIND_TYPE, PutHeader<&H::bindType>},
  {SQL_DESC_ROWS_PROCESSED_PTR, PutHeader<&H::rowsProcessedPtr>},
  {SQL_DESC_COUNT, PutHeader<&H::count>},
  {SQL_DESC_ALLOC_TYPE, PutHeader<&H::allocType>},
};
// clang-format on

const RecordField* FindRecordField(SQLSMALLINT id) {
  for (const auto& f : kRecordFields)
    if (f.id == id) return &f;
  return nullptr;
}

// The UTF-8 source of a text field; an absent owned text is the empty text.
void TextOf(const Rec& r, const qvoTextField& field, const char** text, int* len) {
  static const char kEmpty[] = "";
  *text = kEmpty;
  *len = 0;
  if (field.owned.text) {
    const qvoOwnedText* source = &field.owned;
    // A record without a label reads its name instead.
    if (field.id == SQL_DESC_LABEL && r.label == nullptr)
      source = &FindTextField(SQL_DESC_NAME)->owned;
    if (r.*source->text) {
      *text = r.*source->text;
      *len = r.*source->length;
    }
    return;
  }
  *text = field.fixed8 ? r.*field.fixed8 : r.*field.fixed40;
  *len = static_cast<int>(strlen(*text));
}

// Copies a text result, cut to the buffer and terminated; the count copied.
// A negative size other than SQL_NTS is no room.
int CopyOut(char* out, const char* text, int len, SQLINTEGER bufferLength) {
  const int n = qvoCopyStr(out, text, len, bufferLength, SQL_NTS);
  return n < 0 ? 0 : n;
}

}  // namespace

SQLRETURN cliDescriptor::GetDescFieldText(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier,
                                          const char** text, int* textLen) {
  if (RecNumber < 0) return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_);
  if (RecNumber > header.count) return SQL_NO_DATA;
  const qvoTextField* field = FindTextField(FieldIdentifier);
  if (field == nullptr) return QVO_DESC_DIAG(*this, _Invalid_descriptor_field_identifier_);
  if (RecNumber == 0)
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_0_bookmarks_not_supported_);
  TextOf(*records[RecNumber], *field, text, textLen);
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::GetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier,
                                      SQLPOINTER Value, SQLINTEGER BufferLength,
                                      SQLINTEGER* StringLength) {
  const bool headerField = IsHeaderField(FieldIdentifier) != 0;
  if (!headerField) {
    if (RecNumber < 0) return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_);
    if (RecNumber > header.count) return SQL_NO_DATA;
  }
  if (Value == nullptr) return QVO_DESC_DIAG(*this, _Memory_management_error_);
  if (headerField) {
    for (const auto& f : kHeaderFields)
      if (f.id == FieldIdentifier) f.read(*this, nullptr, Value);
    return SQL_SUCCESS;
  }

  const RecordField* number = FindRecordField(FieldIdentifier);
  const qvoTextField* text = number ? nullptr : FindTextField(FieldIdentifier);
  if (number == nullptr && text == nullptr)
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_field_identifier_);
  if (FieldIdentifier == QVO_DESC_DEFAULT_C_TYPE && descType != QVO_DESC_IRD)
    return QVO_DESC_DIAG(*this, _Cannot_access_this_field_in_this_descriptor_);
  if (RecNumber == 0)
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_0_bookmarks_not_supported_);

  const Rec& r = *records[RecNumber];
  if (number) {
    number->read(*this, r, Value);
    return SQL_SUCCESS;
  }
  const char* source;
  int len;
  TextOf(r, *text, &source, &len);
  const int n = CopyOut(static_cast<char*>(Value), source, len, BufferLength);
  if (StringLength) *StringLength = n;
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::GetDescRec(SQLSMALLINT RecNumber, char* Name, SQLSMALLINT BufferLength,
                                    SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                                    SQLSMALLINT* SubType, SQLLEN* Length, SQLSMALLINT* Precision,
                                    SQLSMALLINT* Scale, SQLSMALLINT* Nullable) {
  if (RecNumber < 0 || RecNumber > header.count)
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_);
  if (RecNumber == 0)
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_0_bookmarks_not_supported_);
  const Rec& r = *records[RecNumber];
  if (Name) {
    const int n = CopyOut(Name, r.descName ? r.descName : "", r.descNameLen, BufferLength);
    if (StringLength) *StringLength = static_cast<SQLSMALLINT>(n);
  }
  if (Type) *Type = r.type;
  if (SubType && (r.type == SQL_DATETIME || r.type == SQL_INTERVAL))
    *SubType = r.datetimeIntervalCode;
  if (Length) *Length = static_cast<SQLLEN>(r.length);
  if (Precision) *Precision = static_cast<SQLSMALLINT>(r.precision);
  if (Scale) *Scale = r.scale;
  if (Nullable) *Nullable = r.nullable;
  return SQL_SUCCESS;
}
