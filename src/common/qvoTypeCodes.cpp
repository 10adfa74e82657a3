#include "common/qvoTypeCodes.h"

#include <cstdio>
#include <cstring>

#include "common/qvoStrings.h"

namespace {

struct CodeMap {
  SQLSMALLINT from;
  SQLSMALLINT to;
};

struct CodeName {
  SQLSMALLINT code;
  const char* name;
};

template <size_t N>
const CodeMap* FindMap(const CodeMap (&table)[N], SQLSMALLINT code) {
  for (const CodeMap& e : table)
    if (e.from == code) return &e;
  return nullptr;
}

template <size_t N>
const char* FindName(const CodeName (&table)[N], SQLSMALLINT code, const char* unknown) {
  for (const CodeName& e : table)
    if (e.code == code) return e.name;
  return unknown;
}

constexpr CodeMap kSqlToServer[] = {
    {SQL_CHAR, _CHAR},
    {SQL_NUMERIC, _VARCHAR},
    {SQL_DECIMAL, _DECIMAL},
    {SQL_INTEGER, _SMALLDECIMAL},
    {SQL_SMALLINT, _SMALLDECIMAL},
    {SQL_FLOAT, _DOUBLE},
    {SQL_REAL, _DOUBLE},
    {SQL_DOUBLE, _DOUBLE},
    {SQL_DATE, _DATE},
    {SQL_TIMESTAMP, _TIMESTAMP},
    {SQL_VARCHAR, _VARCHAR},
    {SQL_TYPE_DATE, _DATE},
    {SQL_TYPE_TIMESTAMP, _TIMESTAMP},
    {QVO_TYPE_TIMESTAMP_UTC, _TIMESTAMP_UTC},
    {SQL_LONGVARCHAR, _VARCHAR},
    {SQL_BIGINT, _DECIMAL},
    {SQL_TINYINT, _SMALLDECIMAL},
    {SQL_BIT, _BOOLEAN},
    {SQL_WCHAR, _CHAR},
    {SQL_WVARCHAR, _VARCHAR},
    {SQL_WLONGVARCHAR, _VARCHAR},
    {SQL_GUID, _VARCHAR},
};

// Stand-ins for the date, time and timestamp codes the caller passes.
constexpr SQLSMALLINT kDateCode = -30001;
constexpr SQLSMALLINT kTimeCode = -30002;
constexpr SQLSMALLINT kTimestampCode = -30003;

constexpr CodeMap kSqlToDefaultC[] = {
    {SQL_CHAR, SQL_C_CHAR},
    {SQL_NUMERIC, SQL_C_CHAR},
    {SQL_DECIMAL, SQL_C_CHAR},
    {SQL_VARCHAR, SQL_C_CHAR},
    {SQL_LONGVARCHAR, SQL_C_CHAR},
    {SQL_GUID, SQL_C_CHAR},
    {SQL_INTEGER, SQL_C_SLONG},
    {SQL_SMALLINT, SQL_C_SSHORT},
    {SQL_FLOAT, SQL_C_DOUBLE},
    {SQL_DOUBLE, SQL_C_DOUBLE},
    {SQL_REAL, SQL_C_FLOAT},
    {SQL_DATE, kDateCode},
    {SQL_TYPE_DATE, kDateCode},
    {SQL_TIME, kTimeCode},
    {SQL_TYPE_TIME, kTimeCode},
    {SQL_TIMESTAMP, kTimestampCode},
    {SQL_TYPE_TIMESTAMP, kTimestampCode},
    {QVO_TYPE_TIMESTAMP_UTC, QVO_TYPE_TIMESTAMP_UTC},
    {SQL_BINARY, SQL_C_BINARY},
    {SQL_VARBINARY, SQL_C_BINARY},
    {SQL_LONGVARBINARY, SQL_C_BINARY},
    {SQL_BIGINT, SQL_C_SBIGINT},
    {SQL_TINYINT, SQL_C_STINYINT},
    {SQL_BIT, SQL_C_BIT},
    {SQL_WCHAR, SQL_C_WCHAR},
    {SQL_WVARCHAR, SQL_C_WCHAR},
    {SQL_WLONGVARCHAR, SQL_C_WCHAR},
};

constexpr CodeName kCTypeNames[] = {
    {1, "SQL_C_CHAR"},        {2, "SQL_C_NUMERIC"},
    {4, "SQL_C_LONG"},        {5, "SQL_C_SHORT"},
    {7, "SQL_C_FLOAT"},       {8, "SQL_C_DOUBLE"},
    {9, "SQL_C_DATE"},        {10, "SQL_C_TIME"},
    {11, "SQL_C_TIMESTAMP"},  {91, "SQL_C_TYPE_DATE"},
    {92, "SQL_C_TYPE_TIME"},  {93, "SQL_C_TYPE_TIMESTAMP"},
    {99, "SQL_DEFAULT"},      {423, "QVO_INT32"},
    {424, "QVO_INT64"},       {425, "QVO_INT128"},
    {-2, "SQL_C_BINARY"},     {-6, "SQL_C_TINYINT"},
    {-7, "SQL_C_BIT"},        {-8, "SQL_C_WCHAR"},
    {-11, "SQL_C_GUID"},      {-15, "SQL_C_SSHORT"},
    {-16, "SQL_C_SLONG"},     {-17, "SQL_C_USHORT"},
    {-18, "SQL_C_ULONG"},     {-25, "SQL_C_SBIGINT"},
    {-26, "SQL_C_STYNIINT"},  {-27, "SQL_C_UBIGINT"},
    {-28, "SQL_C_UTINYINT"},  {429, "QVO_WCHAR_UTF8"},
    {430, "QVO_WCHAR_UTF16"}, {431, "QVO_TYPE_TIMESTAMP_UTC"},
};

constexpr CodeName kSqlTypeNames[] = {
    {1, "SQL_CHAR"},       {2, "SQL_NUMERIC"},         {3, "SQL_DECIMAL"},
    {4, "SQL_INTEGER"},    {5, "SQL_SMALLINT"},        {6, "SQL_FLOAT"},
    {7, "SQL_REAL"},       {8, "SQL_DOUBLE"},          {9, "SQL_DATE"},
    {11, "SQL_TIMESTAMP"}, {12, "SQL_VARCHAR"},        {91, "SQL_TYPE_DATE"},
    {92, "SQL_TYPE_TIME"}, {93, "SQL_TYPE_TIMESTAMP"}, {-1, "SQL_LONGVARCHAR"},
    {-2, "SQL_BINARY"},    {-3, "SQL_VARBINARY"},      {-4, "SQL_LONGVARBINARY"},
    {-5, "SQL_BIGINT"},    {-6, "SQL_TINYINT"},        {-7, "SQL_BIT"},
    {-8, "SQL_WCHAR"},     {-9, "SQL_WVARCHAR"},       {-10, "SQL_WLONGVARCHAR"},
    {-11, "SQL_GUID"},     {429, "QVO_WCHAR_UTF8"},    {430, "QVO_WCHAR_UTF16"},
    {9999, "UNSPECIFIED"},
};

// _BINARY (201) has no name of its own.
constexpr CodeName kServerTypeNames[] = {
    {_ILLEGAL, "_ILLEGAL"},
    {_QVOVOID, "_QVOVOID"},
    {_BYTE, "_BYTE"},
    {_PARAMETER, "_PARAMETER"},
    {_SMALLINT, "_SMALLINT"},
    {_INTEGER, "_INTEGER"},
    {_DECIMAL, "_DECIMAL"},
    {_REAL, "_REAL"},
    {_DOUBLE, "_DOUBLE"},
    {_BOOLEAN, "_BOOLEAN"},
    {_CHAR, "_CHAR"},
    {_ROW, "_ROW"},
    {_GROUP_BY, "_GROUP_BY"},
    {_POINTER, "_POINTER"},
    {_DATE, "_DATE"},
    {_INTERVAL, "_INTERVAL"},
    {_INTERVAL_MONTH, "_INTERVAL_MONTH"},
    {_INTERVAL_DAY, "_INTERVAL_DAY"},
    {_STATEMENT, "_STATEMENT"},
    {_COMPARATOR, "_COMPARATOR"},
    {_TABLE, "_TABLE"},
    {_TIMESTAMP, "_TIMESTAMP"},
    {_SMALLDECIMAL, "_SMALLDECIMAL"},
    {_BIGDECIMAL, "_BIGDECIMAL"},
    {_TIMESTAMP_UTC, "_TIMESTAMP_UTC"},
    {_VARCHAR, "_VARCHAR"},
};

constexpr CodeName kHandleTypeNames[] = {
    {1, "SQL_HANDLE_ENV"},  {2, "SQL_HANDLE_DBC"},  {3, "SQL_HANDLE_STMT"},
    {4, "SQL_HANDLE_DESC"}, {5, "SQL_HANDLE_SENV"},
};

// Server type texts, tested in this order.
enum class Match { Prefix4, Whole };
enum class Parse { None, Decimal, Length };
constexpr SQLBIGINT kNone = -1;      // a column value that does not apply
constexpr SQLBIGINT kFromText = -2;  // taken from the numbers in the text

struct TypeText {
  const char* text;
  Match match;
  Parse parse;
  const char* pattern;
  SQLINTEGER dataType;
  SQLINTEGER dataTypeOdbc2;
  const char* typeName;
  SQLBIGINT columnSize, bufferLength, decimalDigits, radix, octetLength;
};

constexpr TypeText kTypeTexts[] = {
    {"BOOLEAN", Match::Prefix4, Parse::None, nullptr, -7, -7, "BOOLEAN", 1, 1, kNone, 10, kNone},
    {"DECIMAL", Match::Prefix4, Parse::Decimal, "DECIMAL(%i,%i)", 3, 3, "DECIMAL", kFromText,
     kFromText, kFromText, 10, kNone},
    {"DOUBLE", Match::Prefix4, Parse::None, nullptr, 8, 8, "DOUBLE PRECISION", 64, 8, kNone, 2,
     kNone},
    {"DATE", Match::Prefix4, Parse::None, nullptr, 91, 9, "DATE", 10, 6, kNone, kNone, kNone},
    {"TIMESTAMP", Match::Whole, Parse::None, nullptr, 93, 11, "TIMESTAMP", 29, 16, 9, kNone, kNone},
    {"TIMESTAMP WITH LOCAL TIME ZONE", Match::Whole, Parse::None, nullptr, 124, 124,
     "TIMESTAMP WITH LOCAL TIME ZONE", 29, 16, 9, kNone, kNone},
    {"GEOMETRY", Match::Whole, Parse::None, nullptr, 123, 123, "GEOMETRY", 8000000, 8000000, 0,
     kNone, kNone},
    {"CHAR", Match::Prefix4, Parse::Length, "CHAR(%i)", 1, 1, "CHAR", kFromText, kFromText, kNone,
     kNone, kFromText},
    {"VARCHAR", Match::Prefix4, Parse::Length, "VARCHAR(%i)", 12, 12, "VARCHAR", kFromText,
     kFromText, kNone, kNone, kFromText},
};

}  // namespace

int qvoConvertTypeSQL_QVO(SQLSMALLINT sqlType, SQLSMALLINT* qvoType) {
  const CodeMap* e = FindMap(kSqlToServer, sqlType);
  if (e == nullptr || qvoType == nullptr) return -1;
  *qvoType = e->to;
  return 0;
}

int qvoConvertTypeSQL_C_default(SQLSMALLINT sqlType, SQLSMALLINT* cType, SQLSMALLINT dateCode,
                                SQLSMALLINT timeCode, SQLSMALLINT timestampCode) {
  const CodeMap* e = FindMap(kSqlToDefaultC, sqlType);
  if (e == nullptr || cType == nullptr) return -1;
  switch (e->to) {
    case kDateCode:
      *cType = dateCode;
      break;
    case kTimeCode:
      *cType = timeCode;
      break;
    case kTimestampCode:
      *cType = timestampCode;
      break;
    default:
      *cType = e->to;
  }
  return 0;
}

const char* GetCTypeName(SQLSMALLINT cType) {
  return FindName(kCTypeNames, cType, "UNKNOWN_C_TYPE");
}

const char* GetSQLTypeName(SQLSMALLINT sqlType) {
  return FindName(kSqlTypeNames, sqlType, "UNKNOWN_SQL_TYPE");
}

const char* GetQVOTypeName(SQLSMALLINT qvoType) {
  return FindName(kServerTypeNames, qvoType, "UNKNOWN_QVO_TYPE");
}

const char* GetHandleTypeStr(SQLSMALLINT HandleType) {
  return FindName(kHandleTypeNames, HandleType, "HANDLE_TYPE_UNKNOWN");
}

int descType(const char* SQL_TYPE, SQLINTEGER* DATA_TYPE, char* TYPE_NAME, int typeNameSize,
             SQLBIGINT* COLUMN_SIZE, SQLBIGINT* BUFFER_LENGTH, SQLINTEGER* DECIMAL_DIGITS,
             SQLINTEGER* NUM_PREC_RADIX, SQLBIGINT* CHAR_OCTET_LENGTH, int odbcVer) {
  if (SQL_TYPE == nullptr) return -1;
  for (const TypeText& t : kTypeTexts) {
    const bool matches = t.match == Match::Prefix4 ? std::strncmp(SQL_TYPE, t.text, 4) == 0
                                                   : std::strcmp(SQL_TYPE, t.text) == 0;
    if (!matches) continue;

    int first = 0, second = 0;
    switch (t.parse) {
      case Parse::None:
        break;
      case Parse::Decimal:
        if (std::sscanf(SQL_TYPE, t.pattern, &first, &second) != 2 || first < 0 || second < 0)
          return -1;
        break;
      case Parse::Length:
        if (std::sscanf(SQL_TYPE, t.pattern, &first) != 1 || first < 0) return -1;
        break;
    }
    // In the DECIMAL row the buffer length is the precision plus sign and point.
    auto value = [&](SQLBIGINT v, SQLBIGINT fromText) { return v == kFromText ? fromText : v; };
    const SQLBIGINT width = t.parse == Parse::Decimal ? first + 2 : first;

    if (DATA_TYPE) *DATA_TYPE = odbcVer == 2 ? t.dataTypeOdbc2 : t.dataType;
    if (TYPE_NAME) qvoCopyStr(TYPE_NAME, t.typeName, SQL_NTS, typeNameSize, SQL_NTS);
    if (COLUMN_SIZE) *COLUMN_SIZE = value(t.columnSize, first);
    if (BUFFER_LENGTH) *BUFFER_LENGTH = value(t.bufferLength, width);
    if (DECIMAL_DIGITS) *DECIMAL_DIGITS = static_cast<SQLINTEGER>(value(t.decimalDigits, second));
    if (NUM_PREC_RADIX) *NUM_PREC_RADIX = static_cast<SQLINTEGER>(t.radix);
    if (CHAR_OCTET_LENGTH) *CHAR_OCTET_LENGTH = value(t.octetLength, first);
    return 0;
  }
  return -1;
}
