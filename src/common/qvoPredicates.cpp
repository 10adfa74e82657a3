#include "common/qvoPredicates.h"

#include <algorithm>
#include <iterator>

#include "common/qvoAttributeIds.h"

namespace {

template <typename T, size_t N>
bool In(const T (&set)[N], long value) {
  return std::find(std::begin(set), std::end(set), value) != std::end(set);
}

constexpr SQLSMALLINT kHeaderFields[] = {20, 21, 24, 25, 34, 1001, 1099};

constexpr SQLSMALLINT kCharDescFields[] = {14, 15, 16, 17, 18, 22, 23, 27, 28, 29, 1011};

constexpr SQLSMALLINT kCharDiagFields[] = {4, 6, 7, 8, 9, 10, 11};

// Connection attributes whose value is a text. The general ones are texts
// everywhere; the kept ones are texts the connection keeps (the words for
// true and false, the session time zone settings, the Y/N switches and the
// random seed), which the exported functions convert like any text; 1041 is
// a text only when read (it is ignored when set).
enum class TextUse { General, Kept, WhenRead };
struct TextAttribute {
  SQLINTEGER id;
  TextUse use;
};
constexpr TextAttribute kKeptTextAttrs[] = {{-9922, TextUse::Kept},
                                            {-9921, TextUse::Kept},
                                            {QVO_ATTR_WORD_FOR_TRUE, TextUse::Kept},
                                            {QVO_ATTR_WORD_FOR_FALSE, TextUse::Kept},
                                            {QVO_ATTR_SESSION_TIMEZONE, TextUse::Kept},
                                            {QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR, TextUse::Kept},
                                            {QVO_ATTR_SOCKET_ENCRYPTION, TextUse::Kept},
                                            {QVO_ATTR_RANDOM_SEED, TextUse::Kept},
                                            {QVO_ATTR_FAST_METADATA, TextUse::Kept},
                                            {1041, TextUse::WhenRead}};

constexpr SQLINTEGER kCharConnectAttrs[] = {105,
                                            106,
                                            109,
                                            QVO_ATTR_USER_NAME,
                                            QVO_ATTR_DSN_NAME,
                                            QVO_ATTR_CLIENT_NAME,
                                            QVO_ATTR_CURRENT_SCHEMA,
                                            QVO_ATTR_NUMERIC_CHARACTERS,
                                            QVO_ATTR_CLIENT_VERSION,
                                            QVO_ATTR_QUEUE_NUMERIC_CHARACTERS,
                                            QVO_ATTR_LOCALE_ALL,
                                            QVO_ATTR_LOCALE_NUMERIC,
                                            QVO_ATTR_FIX_UP_LOCALES,
                                            QVO_ATTR_SUPPORTED_ENCODINGS,
                                            QVO_ATTR_SERVER_VERSION,
                                            QVO_ATTR_SERVER_REVISION,
                                            QVO_ATTR_COGNOS,
                                            QVO_ATTR_MICRO_CACHE,
                                            QVO_ATTR_DATA_ENCODING,
                                            QVO_ATTR_SQL_ENCODING,
                                            QVO_ATTR_CONNECTION_STRING,
                                            QVO_ATTR_SHOW_ONLY_CURRENT_SCHEMA,
                                            QVO_ATTR_STRINGS_NOT_NULL,
                                            QVO_ATTR_HOST_LIST,
                                            QVO_ATTR_WCHAR_SQL_ENCODING,
                                            QVO_ATTR_WCHAR_DATA_ENCODING,
                                            QVO_ATTR_LOCALE_CTYPE,
                                            QVO_ATTR_ALWAYS_SEARCH_PATTERNS_IN_CAT,
                                            QVO_ATTR_ERROR_RESET,
                                            QVO_ATTR_SESSION_SCHEMA,
                                            QVO_ATTR_SESSION_CATALOG,
                                            QVO_ATTR_INT_TYPES_IN_RESULTS,
                                            QVO_ATTR_MICRO_CACHE_TEXT};

constexpr SQLINTEGER kIntConnectAttrs[] = {4,   101, 102,  103,  104,  107,   110,
                                           112, 113, 1061, 1209, 1224, 10001, 10014};

constexpr SQLINTEGER kCharStmtAttrs[] = {QVO_ATTR_DATA_ENCODING, QVO_ATTR_SQL_ENCODING,
                                         QVO_ATTR_WCHAR_SQL_ENCODING, QVO_ATTR_WCHAR_DATA_ENCODING};

constexpr SQLSMALLINT kCharInfoTypes[] = {
    2,  6,  7,  10, 11, 13, 14, 16, 17, 18, 19, 20,  21,  25,  27,  29,    36,    37,    38,   39,
    40, 41, 42, 45, 47, 73, 77, 87, 89, 90, 94, 103, 111, 113, 171, 10000, 10002, 10003, 10004};

// Widths of information values as ranges [first, last]; the first range that
// holds the type decides.
struct InfoWidth {
  SQLSMALLINT first, last;
  int width;
};
constexpr InfoWidth kInfoWidths[] = {
    // strings (171 is one, but its width is unknown)
    {2, 2, 0},
    {6, 7, 0},
    {10, 11, 0},
    {13, 14, 0},
    {16, 21, 0},
    {25, 25, 0},
    {27, 27, 0},
    {29, 29, 0},
    {36, 42, 0},
    {45, 45, 0},
    {47, 47, 0},
    {73, 73, 0},
    {77, 77, 0},
    {87, 87, 0},
    {89, 90, 0},
    {94, 94, 0},
    {103, 103, 0},
    {111, 111, 0},
    {113, 113, 0},
    {10000, 10000, 0},
    {10002, 10004, 0},
    // SQLUSMALLINT
    {0, 1, 2},
    {9, 9, 2},
    {12, 12, 2},
    {15, 15, 2},
    {22, 24, 2},
    {28, 28, 2},
    {30, 35, 2},
    {46, 46, 2},
    {74, 75, 2},
    {84, 85, 2},
    {88, 88, 2},
    {93, 93, 2},
    {97, 101, 2},
    {106, 107, 2},
    {114, 114, 2},
    {116, 116, 2},
    {10005, 10005, 2},
    // SQLUINTEGER and bit masks
    {3, 5, 4},
    {8, 8, 4},
    {26, 26, 4},
    {43, 44, 4},
    {48, 72, 4},
    {76, 76, 4},
    {78, 83, 4},
    {86, 86, 4},
    {91, 92, 4},
    {95, 96, 4},
    {102, 102, 4},
    {104, 105, 4},
    {108, 110, 4},
    {112, 112, 4},
    {115, 115, 4},
    {117, 170, 4},
    {172, 172, 4},
    {1750, 1750, 4},
    {10001, 10001, 4},
    {10021, 10022, 4},
};

}  // namespace

SQLSMALLINT IsHeaderField(SQLSMALLINT fieldType) { return In(kHeaderFields, fieldType) ? 1 : 0; }

int IsDescFieldChar(SQLSMALLINT descField) { return In(kCharDescFields, descField) ? 1 : 0; }

bool IsColumnAttributeChar(SQLSMALLINT FieldIdentifier) {
  return In(kCharDescFields, FieldIdentifier);
}

int IsColAttrChar(SQLSMALLINT FieldIdentifier) {
  return In(kCharDescFields, FieldIdentifier) ? 1 : 0;
}

int IsDiagIdentifierChar(SQLSMALLINT DiagIdentifier) {
  return In(kCharDiagFields, DiagIdentifier) ? 1 : 0;
}

int IsConnectAttrChar(SQLINTEGER Attribute) { return In(kCharConnectAttrs, Attribute) ? 1 : 0; }

bool IsConnectAttrText(SQLINTEGER Attribute, bool reading) {
  if (In(kCharConnectAttrs, Attribute)) return true;
  for (const TextAttribute& t : kKeptTextAttrs)
    if (t.id == Attribute) return t.use != TextUse::WhenRead || reading;
  return false;
}

int IsConnectAttrInt(SQLINTEGER Attribute) { return In(kIntConnectAttrs, Attribute) ? 1 : 0; }

int IsStmtAttrChar(SQLINTEGER Attribute) { return In(kCharStmtAttrs, Attribute) ? 1 : 0; }

int IsInfoValueChar(SQLSMALLINT InfoType) { return In(kCharInfoTypes, InfoType) ? 1 : 0; }

int InfoValueSize(SQLSMALLINT infoType) {
  for (const InfoWidth& w : kInfoWidths)
    if (infoType >= w.first && infoType <= w.last) return w.width;
  return -1;
}
