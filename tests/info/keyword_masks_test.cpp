// The keyword matcher: which items of a server keyword list count, and the
// all-keywords values of the lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "info/qvoKeywordMasks.h"

namespace {

namespace kw = qvo_keywords;

TEST(KeywordMasks, ItemsCountOnlyWhole) {
  struct Case {
    const char* what;
    const qvoKeywordList& list;
    const char* text;
    SQLUINTEGER expected;
  };
  const Case cases[] = {
      {"two items", kw::numericFunctions, "ABS,ATAN2", 0x11},
      {"already wrapped", kw::numericFunctions, ",ABS,", 0x1},
      {"leading comma, last item still counts", kw::numericFunctions, ",ABS,SIN", 0x2001},
      {"letter case", kw::stringFunctions, "Ascii,LEFT", 0x2004},
      {"no match inside a longer word", kw::numericFunctions, "ATAN2", 0x10},
      {"no match of a longer word", kw::numericFunctions, "ATANH", 0},
      {"blank after a comma", kw::numericFunctions, "ABS, SIN", 0x1},
      {"repeated", kw::numericFunctions, "ABS,ABS,ABS", 0x1},
      {"empty items", kw::numericFunctions, ",,ABS,,", 0x1},
      {"empty text", kw::numericFunctions, "", 0},
      {"last of a choice wins", kw::quotedIdentifierCase, "upper,mixed", 4},
      {"last of a choice wins, reversed", kw::quotedIdentifierCase, "mixed,upper", 1},
      {"choice with unknown item last", kw::quotedIdentifierCase, "sensitive,other", 3},
      {"insert statement", kw::insertStatement, "literals,searched,into", 0x7},
      {"index keywords", kw::indexKeywords, "asc,desc", 0x3},
      {"index none", kw::indexKeywords, "none", 0},
      {"drop table own name", kw::dropTable, "dropTable,cascade", 0x5},
      {"drop view does not take another's name", kw::dropView, "dropTable", 0},
      {"foreign keys", kw::sql92ForeignKeyRule, "cascade,setNull", 0x9},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(KeywordMask(text.c_str(), c.list), c.expected) << c.what;
    EXPECT_EQ(text, c.text) << c.what << ": the stored text is only read";
  }
  EXPECT_EQ(KeywordMask(nullptr, kw::numericFunctions), 0u);
}

TEST(KeywordMasks, AllKeywordsOfEachList) {
  // Each list's keywords written out as a server sends them, so that a
  // misspelt or missing keyword in a table fails its row.
  struct Case {
    const char* what;
    const qvoKeywordList& list;
    const char* text;
    SQLUINTEGER expected;
  };
  const Case cases[] = {
      {"numeric", kw::numericFunctions,
       "ABS,ACOS,ASIN,ATAN,ATAN2,CEILING,COS,COT,DEGREES,EXP,FLOOR,LOG,LOG10,MOD,PI,POWER,"
       "RADIANS,RAND,ROUND,SIGN,SIN,SQRT,TAN,TRUNCATE",
       0xFFFFFF},
      {"string (no keyword for 0x10000)", kw::stringFunctions,
       "ascii,bit_length,char,CHAR_LENGTH,CHARACTER_LENGTH,concat,difference,INSERT,LCASE,LEFT,"
       "length,locate,ltrim,OCTET_LENGTH,POSITION,REPEAT,REPLACE,RIGHT,rtrim,SOUNDEX,SPACE,"
       "substring,UCASE",
       0xFEFFFF},
      {"system", kw::systemFunctions, "DBNAME,IFNULL,USERNAME", 0x7},
      {"time and date", kw::timeDateFunctions,
       "CURRENT_DATE,CURRENT_TIME,CURRENT_TIMESTAMP,CURDATE,CURTIME,DAYNAME,DAYOFMONTH,DAYOFWEEK,"
       "DAYOFYEAR,extract,HOUR,MINUTE,MONTH,MONTHNAME,NOW,QUARTER,SECOND,TIMESTAMPADD,"
       "TIMESTAMPDIFF,WEEK,YEAR",
       0x1FFFFF},
      {"outer joins", kw::outerJoinCapabilities,
       "left,right,full,nested,not_ordered,inner,all_comparison_ops", 0x7F},
      {"datetime literals", kw::datetimeLiterals,
       "date,time,timestamp,INTERVAL_YEAR,INTERVAL_MONTH,INTERVAL_DAY,INTERVAL_HOUR,"
       "INTERVAL_MINUTE,INTERVAL_SECOND,INTERVAL_YEAR_TO_MONTH,INTERVAL_DAY_TO_HOUR,"
       "INTERVAL_DAY_TO_MINUTE,INTERVAL_DAY_TO_SECOND,INTERVAL_HOUR_TO_MINUTE,"
       "INTERVAL_HOUR_TO_SECOND,INTERVAL_MINUTE_TO_SECOND",
       0xFFFF},
      {"create assertion (no keyword for 0x1)", kw::createAssertion,
       "constraintInitiallyDeferred,constraintInitiallyImmediate,constraintDeferrable,"
       "constraintNonDeferrable",
       0xF0},
      {"create character set", kw::createCharacterSet,
       "createCharacterSet,collateClause,limitedCollation", 0x7},
      {"drop domain", kw::dropDomain, "dropDomain,cascade,restrict", 0x7},
      {"drop schema", kw::dropSchema, "dropSchema,cascade,restrict", 0x7},
      {"drop table", kw::dropTable, "dropTable,cascade,restrict", 0x7},
      {"drop view", kw::dropView, "dropView,cascade,restrict", 0x7},
      {"index keywords", kw::indexKeywords, "none,asc,desc,all", 0x3},
      {"information schema views", kw::infoSchemaViews,
       "ASSERTIONS,CHARACTER_SETS,CHECK_CONSTRAINTS,COLLATIONS,COLUMN_DOMAIN_USAGE,"
       "COLUMN_PRIVILEGES,COLUMNS,CONSTRAINT_COLUMN_USAGE,CONSTRAINT_TABLE_USAGE,"
       "DOMAIN_CONSTRAINTS,DOMAINS,KEY_COLUMN_USAGE,REFERENTIAL_CONSTRAINTS,SCHEMATA,"
       "SQL_LANGUAGES,TABLE_CONSTRAINTS,TABLE_PRIVILEGES,TABLES,TRANSLATIONS,USAGE_PRIVILEGES,"
       "VIEW_COLUMN_USAGE,VIEW_TABLE_USAGE,VIEWS",
       0x7FFFFF},
      {"SQL-92 datetime functions", kw::sql92DatetimeFunctions,
       "current_Date,current_Time,current_Timestamp", 0x7},
      {"SQL-92 foreign key rules", kw::sql92ForeignKeyRule, "cascade,noAction,setDefault,setNull",
       0xF},
      {"SQL-92 grant", kw::sql92Grant,
       "deleteTable,insertColumn,insertTable,referencesTable,referencesColumn,selectTable,"
       "updateColumn,updateTable,usageOnDomain,usageOnCharacterSet,usageOnCollation,"
       "usageOnTranslation,withGrantOption",
       0x1FFF},
      {"SQL-92 string functions", kw::sql92StringFunctions,
       "CONVERT,LOWER,UPPER,SUBSTRING,TRANSLATE,TRIM_BOTH,TRIM_LEADING,TRIM_TRAILING", 0xFF},
      {"aggregate functions", kw::aggregateFunctions, "ALL,AVG,COUNT,DISTINCT,MAX,MIN,SUM", 0x7F},
      {"insert statement", kw::insertStatement, "literals,searched,into", 0x7},
      {"quoted identifier case: the last", kw::quotedIdentifierCase, "upper,lower,sensitive,mixed",
       4},
  };
  for (const Case& c : cases) EXPECT_EQ(KeywordMask(c.text, c.list), c.expected) << c.what;
}

}  // namespace
