// The keyword matcher and the keyword tables. Every value is the ODBC
// standard's bit (or value) for that capability under its information type.

#include "info/qvoKeywordMasks.h"

#include <cstring>
#include <string_view>

namespace {

bool EqualsIgnoringCase(std::string_view item, const char* word) {
  const size_t n = std::strlen(word);
  if (item.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = item[i];
    char b = word[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

SQLUINTEGER KeywordMask(const char* text, const qvoKeywordList& list) {
  SQLUINTEGER result = 0;
  if (!text) return result;
  std::string_view rest(text);
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (item.empty()) continue;
    for (const qvoKeyword& k : list.words) {
      if (!EqualsIgnoringCase(item, k.word)) continue;
      result = list.lastWins ? k.value : (result | k.value);
      break;
    }
  }
  return result;
}

namespace qvo_keywords {
namespace {

constexpr qvoKeyword kNumeric[] = {
    {"ABS", 0x1},          {"ACOS", 0x2},     {"ASIN", 0x4},       {"ATAN", 0x8},
    {"ATAN2", 0x10},       {"CEILING", 0x20}, {"COS", 0x40},       {"COT", 0x80},
    {"DEGREES", 0x40000},  {"EXP", 0x100},    {"FLOOR", 0x200},    {"LOG", 0x400},
    {"LOG10", 0x80000},    {"MOD", 0x800},    {"PI", 0x10000},     {"POWER", 0x100000},
    {"RADIANS", 0x200000}, {"RAND", 0x20000}, {"ROUND", 0x400000}, {"SIGN", 0x1000},
    {"SIN", 0x2000},       {"SQRT", 0x4000},  {"TAN", 0x8000},     {"TRUNCATE", 0x800000},
};

// 0x10000 (LOCATE with two arguments) has no keyword.
constexpr qvoKeyword kString[] = {
    {"ASCII", 0x2000},
    {"BIT_LENGTH", 0x80000},
    {"CHAR", 0x4000},
    {"CHAR_LENGTH", 0x100000},
    {"CHARACTER_LENGTH", 0x200000},
    {"CONCAT", 0x1},
    {"DIFFERENCE", 0x8000},
    {"INSERT", 0x2},
    {"LCASE", 0x40},
    {"LEFT", 0x4},
    {"LENGTH", 0x10},
    {"LOCATE", 0x20},
    {"LTRIM", 0x8},
    {"OCTET_LENGTH", 0x400000},
    {"POSITION", 0x800000},
    {"REPEAT", 0x80},
    {"REPLACE", 0x100},
    {"RIGHT", 0x200},
    {"RTRIM", 0x400},
    {"SOUNDEX", 0x20000},
    {"SPACE", 0x40000},
    {"SUBSTRING", 0x800},
    {"UCASE", 0x1000},
};

constexpr qvoKeyword kSystem[] = {{"DBNAME", 0x2}, {"IFNULL", 0x4}, {"USERNAME", 0x1}};

constexpr qvoKeyword kTimeDate[] = {
    {"CURRENT_DATE", 0x20000},
    {"CURRENT_TIME", 0x40000},
    {"CURRENT_TIMESTAMP", 0x80000},
    {"CURDATE", 0x2},
    {"CURTIME", 0x200},
    {"DAYNAME", 0x8000},
    {"DAYOFMONTH", 0x4},
    {"DAYOFWEEK", 0x8},
    {"DAYOFYEAR", 0x10},
    {"EXTRACT", 0x100000},
    {"HOUR", 0x400},
    {"MINUTE", 0x800},
    {"MONTH", 0x20},
    {"MONTHNAME", 0x10000},
    {"NOW", 0x1},
    {"QUARTER", 0x40},
    {"SECOND", 0x1000},
    {"TIMESTAMPADD", 0x2000},
    {"TIMESTAMPDIFF", 0x4000},
    {"WEEK", 0x80},
    {"YEAR", 0x100},
};

constexpr qvoKeyword kQuotedCase[] = {{"upper", 1}, {"lower", 2}, {"sensitive", 3}, {"mixed", 4}};

constexpr qvoKeyword kOuterJoins[] = {
    {"left", 0x1},
    {"right", 0x2},
    {"full", 0x4},
    {"nested", 0x8},
    {"not_ordered", 0x10},
    {"inner", 0x20},
    {"all_comparison_ops", 0x40},
};

constexpr qvoKeyword kDatetimeLiterals[] = {
    {"date", 0x1},
    {"time", 0x2},
    {"timestamp", 0x4},
    {"INTERVAL_YEAR", 0x8},
    {"INTERVAL_MONTH", 0x10},
    {"INTERVAL_DAY", 0x20},
    {"INTERVAL_HOUR", 0x40},
    {"INTERVAL_MINUTE", 0x80},
    {"INTERVAL_SECOND", 0x100},
    {"INTERVAL_YEAR_TO_MONTH", 0x200},
    {"INTERVAL_DAY_TO_HOUR", 0x400},
    {"INTERVAL_DAY_TO_MINUTE", 0x800},
    {"INTERVAL_DAY_TO_SECOND", 0x1000},
    {"INTERVAL_HOUR_TO_MINUTE", 0x2000},
    {"INTERVAL_HOUR_TO_SECOND", 0x4000},
    {"INTERVAL_MINUTE_TO_SECOND", 0x8000},
};

// 0x1 (CREATE ASSERTION itself) has no keyword.
constexpr qvoKeyword kCreateAssertion[] = {
    {"constraintInitiallyDeferred", 0x10},
    {"constraintInitiallyImmediate", 0x20},
    {"constraintDeferrable", 0x40},
    {"constraintNonDeferrable", 0x80},
};

constexpr qvoKeyword kCreateCharacterSet[] = {
    {"createCharacterSet", 0x1}, {"collateClause", 0x2}, {"limitedCollation", 0x4}};

constexpr qvoKeyword kDropDomain[] = {{"dropDomain", 0x1}, {"cascade", 0x4}, {"restrict", 0x2}};
constexpr qvoKeyword kDropSchema[] = {{"dropSchema", 0x1}, {"cascade", 0x4}, {"restrict", 0x2}};
constexpr qvoKeyword kDropTable[] = {{"dropTable", 0x1}, {"cascade", 0x4}, {"restrict", 0x2}};
constexpr qvoKeyword kDropView[] = {{"dropView", 0x1}, {"cascade", 0x4}, {"restrict", 0x2}};

constexpr qvoKeyword kIndexKeywords[] = {{"none", 0x0}, {"asc", 0x1}, {"desc", 0x2}, {"all", 0x3}};

constexpr qvoKeyword kInfoSchemaViews[] = {
    {"ASSERTIONS", 0x1},
    {"CHARACTER_SETS", 0x2},
    {"CHECK_CONSTRAINTS", 0x4},
    {"COLLATIONS", 0x8},
    {"COLUMN_DOMAIN_USAGE", 0x10},
    {"COLUMN_PRIVILEGES", 0x20},
    {"COLUMNS", 0x40},
    {"CONSTRAINT_COLUMN_USAGE", 0x80},
    {"CONSTRAINT_TABLE_USAGE", 0x100},
    {"DOMAIN_CONSTRAINTS", 0x200},
    {"DOMAINS", 0x400},
    {"KEY_COLUMN_USAGE", 0x800},
    {"REFERENTIAL_CONSTRAINTS", 0x1000},
    {"SCHEMATA", 0x2000},
    {"SQL_LANGUAGES", 0x4000},
    {"TABLE_CONSTRAINTS", 0x8000},
    {"TABLE_PRIVILEGES", 0x10000},
    {"TABLES", 0x20000},
    {"TRANSLATIONS", 0x40000},
    {"USAGE_PRIVILEGES", 0x80000},
    {"VIEW_COLUMN_USAGE", 0x100000},
    {"VIEW_TABLE_USAGE", 0x200000},
    {"VIEWS", 0x400000},
};

constexpr qvoKeyword kSql92Datetime[] = {
    {"current_Date", 0x1}, {"current_Time", 0x2}, {"current_Timestamp", 0x4}};

constexpr qvoKeyword kSql92ForeignKey[] = {
    {"cascade", 0x1}, {"noAction", 0x2}, {"setDefault", 0x4}, {"setNull", 0x8}};

constexpr qvoKeyword kSql92Grant[] = {
    {"deleteTable", 0x20},        {"insertColumn", 0x80},      {"insertTable", 0x40},
    {"referencesTable", 0x100},   {"referencesColumn", 0x200}, {"selectTable", 0x400},
    {"updateColumn", 0x1000},     {"updateTable", 0x800},      {"usageOnDomain", 0x1},
    {"usageOnCharacterSet", 0x2}, {"usageOnCollation", 0x4},   {"usageOnTranslation", 0x8},
    {"withGrantOption", 0x10},
};

constexpr qvoKeyword kSql92String[] = {
    {"CONVERT", 0x1},    {"LOWER", 0x2},      {"UPPER", 0x4},         {"SUBSTRING", 0x8},
    {"TRANSLATE", 0x10}, {"TRIM_BOTH", 0x20}, {"TRIM_LEADING", 0x40}, {"TRIM_TRAILING", 0x80},
};

constexpr qvoKeyword kAggregate[] = {
    {"ALL", 0x40}, {"AVG", 0x1}, {"COUNT", 0x2}, {"DISTINCT", 0x20},
    {"MAX", 0x4},  {"MIN", 0x8}, {"SUM", 0x10},
};

constexpr qvoKeyword kInsertStatement[] = {{"literals", 0x1}, {"searched", 0x2}, {"into", 0x4}};

}  // namespace

const qvoKeywordList numericFunctions{kNumeric, false};
const qvoKeywordList stringFunctions{kString, false};
const qvoKeywordList systemFunctions{kSystem, false};
const qvoKeywordList timeDateFunctions{kTimeDate, false};
const qvoKeywordList quotedIdentifierCase{kQuotedCase, true};
const qvoKeywordList outerJoinCapabilities{kOuterJoins, false};
const qvoKeywordList datetimeLiterals{kDatetimeLiterals, false};
const qvoKeywordList createAssertion{kCreateAssertion, false};
const qvoKeywordList createCharacterSet{kCreateCharacterSet, false};
const qvoKeywordList dropDomain{kDropDomain, false};
const qvoKeywordList dropSchema{kDropSchema, false};
const qvoKeywordList dropTable{kDropTable, false};
const qvoKeywordList dropView{kDropView, false};
const qvoKeywordList indexKeywords{kIndexKeywords, false};
const qvoKeywordList infoSchemaViews{kInfoSchemaViews, false};
const qvoKeywordList sql92DatetimeFunctions{kSql92Datetime, false};
const qvoKeywordList sql92ForeignKeyRule{kSql92ForeignKey, false};
const qvoKeywordList sql92Grant{kSql92Grant, false};
const qvoKeywordList sql92StringFunctions{kSql92String, false};
const qvoKeywordList aggregateFunctions{kAggregate, false};
const qvoKeywordList insertStatement{kInsertStatement, false};

}  // namespace qvo_keywords
