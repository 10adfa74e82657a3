// The keyword matcher: which items of a server keyword list count, and the
// all-keywords values of the lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "info/qvoKeywordMasks.h"

namespace {

namespace kw = qvo_keywords;

// Every keyword of a list, comma-separated.
std::string All(const qvoKeywordList& list) {
  std::string text;
  for (const qvoKeyword& k : list.words) text.append(text.empty() ? "" : ",").append(k.word);
  return text;
}

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
  struct Case {
    const char* what;
    const qvoKeywordList& list;
    SQLUINTEGER expected;
  };
  const Case cases[] = {
      {"numeric", kw::numericFunctions, 0xFFFFFF},
      {"string (no keyword for 0x10000)", kw::stringFunctions, 0xFEFFFF},
      {"system", kw::systemFunctions, 0x7},
      {"time and date", kw::timeDateFunctions, 0x1FFFFF},
      {"outer joins", kw::outerJoinCapabilities, 0x7F},
      {"datetime literals", kw::datetimeLiterals, 0xFFFF},
      {"create assertion (no keyword for 0x1)", kw::createAssertion, 0xF0},
      {"create character set", kw::createCharacterSet, 0x7},
      {"drop domain", kw::dropDomain, 0x7},
      {"drop schema", kw::dropSchema, 0x7},
      {"drop table", kw::dropTable, 0x7},
      {"drop view", kw::dropView, 0x7},
      {"index keywords", kw::indexKeywords, 0x3},
      {"information schema views", kw::infoSchemaViews, 0x7FFFFF},
      {"SQL-92 datetime functions", kw::sql92DatetimeFunctions, 0x7},
      {"SQL-92 foreign key rules", kw::sql92ForeignKeyRule, 0xF},
      {"SQL-92 grant", kw::sql92Grant, 0x1FFF},
      {"SQL-92 string functions", kw::sql92StringFunctions, 0xFF},
      {"aggregate functions", kw::aggregateFunctions, 0x7F},
      {"insert statement", kw::insertStatement, 0x7},
      {"quoted identifier case: the last", kw::quotedIdentifierCase, 4},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KeywordMask(All(c.list).c_str(), c.list), c.expected) << c.what;
}

}  // namespace
