// Results the library builds itself: the client time stamp and the local type
// table, described and fetched through the exported functions like server
// results, without a request to the node.
#include <ctime>

#include "catalog_fixture.h"
#include "result_reading.h"

using catalog_test::DescribeAll;
using catalog_test::Described;

namespace {

TEST(UtcCalendarTime, MonthsCountFromOneAndTheFractionIsZero) {
  struct Case {
    std::time_t t;
    qvoTimestampValue expected;
  };
  const Case cases[] = {
      {0, {1970, 1, 1, 0, 0, 0, 0}},
      {1767225599, {2025, 12, 31, 23, 59, 59, 0}},
      {1767225600, {2026, 1, 1, 0, 0, 0, 0}},
      {951782400, {2000, 2, 29, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const qvoTimestampValue v = UtcCalendarTime(c.t);
    EXPECT_EQ(std::vector<int>({v.year, v.month, v.day, v.hour, v.minute, v.second, v.fraction}),
              std::vector<int>({c.expected.year, c.expected.month, c.expected.day, c.expected.hour,
                                c.expected.minute, c.expected.second, 0}))
        << c.t;
  }
}

TEST_F(CatalogTest, TimestampIsAnsweredLocallyAndFetchedLikeAnyResult) {
  for (const bool byText : {true, false}) {
    SCOPED_TRACE(byText ? "statement text" : "exported function");
    const size_t requestsBefore = node.Requests().size();
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(byText ? Exec("ExecGetTimestamp") : QVOExecGetTimestamp(stmt), SQL_SUCCESS)
        << LastDiag(*s);
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(s->Result().AnswerLen(), 62);
    EXPECT_EQ(DescribeAll(stmt), (std::vector<Described>{{"SQL_TIMESTAMP", SQL_TYPE_TIMESTAMP}}));
    ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
    SQL_TIMESTAMP_STRUCT ts{};
    SQLLEN ind = 0;
    ASSERT_EQ(QVOGetData(stmt, 1, SQL_C_DEFAULT, &ts, sizeof ts, &ind), SQL_SUCCESS);
    std::tm tm{};
    tm.tm_year = ts.year - 1900;
    tm.tm_mon = ts.month - 1;
    tm.tm_mday = ts.day;
    tm.tm_hour = ts.hour;
    tm.tm_min = ts.minute;
    tm.tm_sec = ts.second;
    const std::time_t got = timegm(&tm);
    EXPECT_GE(got, before);
    EXPECT_LE(got, after);
    EXPECT_EQ(ts.fraction, 0u);
    EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
    EXPECT_EQ(QVOCloseCursor(stmt), SQL_SUCCESS);
    // Nothing went to the node, not even a close.
    EXPECT_EQ(node.Requests().size(), requestsBefore);
  }
}

TEST_F(CatalogTest, LocalTypeTableHasOneBitRowForAllTypesAndBit) {
  const std::vector<Described> columns = {
      {"TYPE_NAME", SQL_VARCHAR},           {"DATA_TYPE", SQL_SMALLINT},
      {"COLUMN_SIZE", SQL_INTEGER},         {"LITERAL_PREFIX", SQL_VARCHAR},
      {"LITERAL_SUFFIX", SQL_VARCHAR},      {"CREATE_PARAMS", SQL_VARCHAR},
      {"NULLABLE", SQL_SMALLINT},           {"CASE_SENSITIVE", SQL_SMALLINT},
      {"SEARCHABLE", SQL_SMALLINT},         {"UNSIGNED_ATTRIBUTE", SQL_SMALLINT},
      {"FIXED_PREC_SCALE", SQL_SMALLINT},   {"AUTO_UNIQUE_VALUE", SQL_SMALLINT},
      {"LOCAL_TYPE_NAME", SQL_VARCHAR},     {"MINIMUM_SCALE", SQL_SMALLINT},
      {"MAXIMUM_SCALE", SQL_SMALLINT},      {"SQL_DATA_TYPE", SQL_SMALLINT},
      {"SQL_DATETIME_SUB", SQL_SMALLINT},   {"NUM_PREC_RADIX", SQL_INTEGER},
      {"INTERVAL_PRECISION", SQL_SMALLINT},
  };
  using catalog_test::Short;
  const std::vector<std::string> bitRow = {"BIT",          Short(SQL_BIT), catalog_test::Long(1),
                                           "NULL",         "NULL",         "NULL",
                                           Short(0),       Short(0),       Short(2),
                                           "NULL",         Short(0),       "NULL",
                                           "NULL",         Short(0),       Short(0),
                                           Short(SQL_BIT), "NULL",         "NULL",
                                           "NULL"};
  const std::vector<size_t> widths = {0, 2, 4, 0, 0, 0, 2, 2, 2, 2, 2, 2, 0, 2, 2, 2, 2, 4, 2};
  struct Case {
    SQLSMALLINT dataType;
    bool bitRow;
  };
  for (const Case& c : {Case{SQL_ALL_TYPES, true}, Case{SQL_BIT, true}, Case{SQL_INTEGER, false},
                        Case{SQL_VARCHAR, false}}) {
    SCOPED_TRACE(c.dataType);
    const size_t requestsBefore = node.Requests().size();
    ASSERT_EQ(s->GetTypeInfo("\"$ODBCJDBC\".", c.dataType), SQL_SUCCESS) << LastDiag(*s);
    EXPECT_EQ(s->SqlCallType(), 4);
    EXPECT_EQ(DescribeAll(stmt), columns);
    if (c.bitRow) {
      ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
      for (SQLUSMALLINT col = 1; col <= bitRow.size(); ++col)
        EXPECT_EQ(catalog_test::DefaultValue(stmt, col, widths[col - 1]), bitRow[col - 1])
            << "column " << col;
    }
    EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
    EXPECT_EQ(node.Requests().size(), requestsBefore);
  }
}

}  // namespace
