// The conversion matrix: one row per group of C types that share their
// conversions. A server type listed as converted gets the family's cell (a
// family that does not convert the pair yet refuses it like an unlisted
// pair); a server type listed as refused is a type the C type never takes.
#include "fetch/qvoConversionMatrix.h"

#include <vector>

#include "common/qvoTypeCodes.h"
#include "platform/qvoConverter.h"
#include "statement/qvoStatement.h"

namespace {

using Family = qvoCellFn (*)(SQLSMALLINT cType, SQLSMALLINT qvoType);

constexpr int kMaxCodes = 11;

struct MatrixRow {
  SQLSMALLINT cTypes[4];             // 0 ends the list
  SQLSMALLINT converted[kMaxCodes];  // 0 ends the list
  SQLSMALLINT refused[kMaxCodes];    // 0 ends the list
  qvoRefusal otherTypes;             // what an unlisted server type gets
  Family family;
  std::size_t fixedSize;
  int terminatorBytes;
};

#define QVO_ALL_TYPES                                                                  \
  {                                                                                    \
    _DECIMAL, _DOUBLE, _BOOLEAN, _CHAR, _DATE, _TIMESTAMP, _SMALLDECIMAL, _BIGDECIMAL, \
        _TIMESTAMP_UTC, _VARCHAR                                                       \
  }
#define QVO_NUMBER_SOURCES \
  { _DECIMAL, _DOUBLE, _BOOLEAN, _CHAR, _SMALLDECIMAL, _BIGDECIMAL, _VARCHAR }
#define QVO_DATETIME_SOURCES \
  { _DATE, _TIMESTAMP, _TIMESTAMP_UTC }
#define QVO_NONE \
  { 0 }

constexpr auto kPair = qvoRefusal::PairRefused;
constexpr auto kType = qvoRefusal::TypeRefused;

const MatrixRow kMatrix[] = {
    {{QVO_VARCHAR_PTR}, {_VARCHAR}, QVO_NONE, kPair, qvoInternalCell, sizeof(char*), 0},
    {{QVO_INT32}, {_SMALLDECIMAL, _DECIMAL, _DATE}, QVO_NONE, kPair, qvoInternalCell, 4, 0},
    {{QVO_INT64}, {_DECIMAL, _SMALLDECIMAL, _BIGDECIMAL}, QVO_NONE, kPair, qvoInternalCell, 8, 0},
    {{QVO_INT128}, {_BIGDECIMAL}, QVO_NONE, kPair, qvoInternalCell, 16, 0},
    {{SQL_C_BIT},
     {_DECIMAL, _DOUBLE, _BOOLEAN, _SMALLDECIMAL, _BIGDECIMAL},
     QVO_NONE,
     kPair,
     qvoBitCell,
     1,
     0},
    {{SQL_C_CHAR, QVO_WCHAR_UTF8}, QVO_ALL_TYPES, QVO_NONE, kPair, qvoCharacterCell, 0, 1},
    {{SQL_C_BINARY}, QVO_ALL_TYPES, QVO_NONE, kPair, qvoCharacterCell, 0, 0},
    {{QVO_WCHAR_UTF16}, QVO_ALL_TYPES, QVO_NONE, kPair, qvoWideCell, 0, 2},
    {{SQL_C_NUMERIC},
     {_DECIMAL, _DOUBLE, _BOOLEAN, _SMALLDECIMAL, _BIGDECIMAL},
     {_CHAR, _DATE, _TIMESTAMP, _TIMESTAMP_UTC, _VARCHAR},
     kPair,
     qvoNumericCell,
     sizeof(SQL_NUMERIC_STRUCT),
     0},
    {{SQL_C_SBIGINT, SQL_C_UBIGINT},
     QVO_NUMBER_SOURCES,
     QVO_DATETIME_SOURCES,
     kPair,
     qvoIntegerCell,
     8,
     0},
    {{SQL_C_UTINYINT, SQL_C_STINYINT, SQL_C_TINYINT},
     QVO_NUMBER_SOURCES,
     QVO_NONE,
     kType,
     qvoIntegerCell,
     1,
     0},
    {{SQL_C_SSHORT, SQL_C_SHORT, SQL_C_USHORT},
     QVO_NUMBER_SOURCES,
     QVO_DATETIME_SOURCES,
     kPair,
     qvoIntegerCell,
     2,
     0},
    {{SQL_C_ULONG}, QVO_NUMBER_SOURCES, QVO_DATETIME_SOURCES, kPair, qvoIntegerCell, 4, 0},
    {{SQL_C_SLONG, SQL_C_LONG}, QVO_ALL_TYPES, QVO_NONE, kPair, qvoIntegerCell, 4, 0},
    {{SQL_C_FLOAT}, QVO_NUMBER_SOURCES, QVO_DATETIME_SOURCES, kPair, qvoFloatCell, 4, 0},
    {{SQL_C_DOUBLE}, QVO_NUMBER_SOURCES, QVO_DATETIME_SOURCES, kPair, qvoFloatCell, 8, 0},
    {{SQL_C_DATE, SQL_C_TYPE_DATE},
     QVO_DATETIME_SOURCES,
     {_DECIMAL, _DOUBLE, _CHAR, _BIGDECIMAL, _VARCHAR},
     kPair,
     qvoDateTimeCell,
     sizeof(SQL_DATE_STRUCT),
     0},
    {{SQL_C_TIMESTAMP, SQL_C_TYPE_TIMESTAMP, QVO_TYPE_TIMESTAMP_UTC},
     QVO_DATETIME_SOURCES,
     {_DECIMAL, _DOUBLE, _CHAR, _BIGDECIMAL, _VARCHAR},
     kPair,
     qvoDateTimeCell,
     sizeof(SQL_TIMESTAMP_STRUCT),
     0},
    {{SQL_C_TIME, SQL_C_TYPE_TIME},
     {_TIMESTAMP, _TIMESTAMP_UTC},
     {_DECIMAL, _DOUBLE, _CHAR, _DATE, _BIGDECIMAL, _VARCHAR},
     kPair,
     qvoDateTimeCell,
     sizeof(SQL_TIME_STRUCT),
     0},
};

#undef QVO_ALL_TYPES
#undef QVO_NUMBER_SOURCES
#undef QVO_DATETIME_SOURCES
#undef QVO_NONE

// Pairs whose target element is wider than their C type: a time stamp into a
// 32-bit integer is a record of three of them, so column-wise rows lie 12
// bytes apart.
struct WidePair {
  SQLSMALLINT cType;
  SQLSMALLINT qvoType;
  std::size_t size;
};
constexpr WidePair kWidePairs[] = {
    {SQL_C_SLONG, _TIMESTAMP, 12},
    {SQL_C_SLONG, _TIMESTAMP_UTC, 12},
    {SQL_C_LONG, _TIMESTAMP, 12},
    {SQL_C_LONG, _TIMESTAMP_UTC, 12},
};

bool Lists(const SQLSMALLINT* codes, int n, SQLSMALLINT code) {
  for (int i = 0; i < n && codes[i] != 0; ++i)
    if (codes[i] == code) return true;
  return false;
}

}  // namespace

qvoConversion qvoLookupConversion(SQLSMALLINT cType, SQLSMALLINT qvoType, bool stringsNotNull) {
  qvoConversion out;
  for (const MatrixRow& row : kMatrix) {
    if (!Lists(row.cTypes, 4, cType)) continue;
    out.fixedSize = row.fixedSize;
    out.nulls.terminatorBytes = row.terminatorBytes;
    out.nulls.stringsNotNull = stringsNotNull;
    if (Lists(row.converted, kMaxCodes, qvoType)) {
      out.cell = row.family(cType, qvoType);
      out.refusal = out.cell ? qvoRefusal::None : qvoRefusal::PairRefused;
      for (const WidePair& w : kWidePairs)
        if (w.cType == cType && w.qvoType == qvoType) out.fixedSize = w.size;
    } else if (Lists(row.refused, kMaxCodes, qvoType)) {
      out.refusal = qvoRefusal::TypeRefused;
    } else {
      out.refusal = row.otherTypes;
    }
    return out;
  }
  return out;
}

namespace {

qvoColumnConversions::StatementKey StatementKeyOf(const qvoStatement& s) {
  const __statementAttributes& a = s.stmtAttr;
  qvoColumnConversions::StatementKey k;
  k.decSeparator = s.decSeparator;
  k.stringsNotNull = a.stringsNotNull;
  k.truncateDecimals = a.truncateDecimals;
  k.externalConversion = a.externalConversion;
  k.floatPrecision = a.floatPrecision;
  k.maxLength = a.maxLength;
  // A statement's converters are its own (what GetDataConverter gives it).
  if (s.dataConverter) k.dataCodepage = s.dataConverter->Stamp();
  if (s.wcharDataConverter) k.wideCodepage = s.wcharDataConverter->Stamp();
  return k;
}

}  // namespace

qvoColumnConversions& qvoCheckedColumnSetups(qvoStatement& s) {
  if (!s.ColumnConversions())
    s.ColumnConversions() = {new qvoColumnConversions, [](qvoColumnConversions* c) { delete c; }};
  qvoColumnConversions& setups = *s.ColumnConversions();
  const qvoColumnConversions::StatementKey key = StatementKeyOf(s);
  if (!(setups.statement == key)) {
    setups.statement = key;
    for (qvoColumnSetup& c : setups.columns) c.key.lookup = nullptr;
  }
  return setups;
}

const qvoColumnSetup& qvoBuildColumnSetup(qvoStatement& s, qvoColumnConversions& setups,
                                          SQLSMALLINT col, const qvoColumnSetup::Key& key,
                                          const __cliDescriptorRecords& ird) {
  std::vector<qvoColumnSetup>& columns = setups.columns;
  const auto index = static_cast<std::size_t>(col < 0 ? 0 : col);
  if (columns.size() <= index) columns.resize(index + 1);
  qvoColumnSetup& e = columns[index];
  e.key = key;
  e.conv = key.lookup(key.cType, ird.qvoType, s.stmtAttr.stringsNotNull);
  qvoColumnJob job;
  job.stmt = &s;
  job.ird = &ird;
  job.column = col;
  job.cType = key.cType;
  job.qvoType = ird.qvoType;
  job.valueWidth = ird.qvoTypeLen;
  e.text = qvoReadTextSettings(job);
  e.numeric = qvoReadNumericColumn(job);
  return e;
}
