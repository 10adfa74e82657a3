// Cells of the date, time and timestamp structures: fields passed through
// from _DATE and the timestamp types, the structure's size as length, only
// the length for a row without a data pointer.
#include "fetch/cell_test_support.h"

using namespace cells;

namespace {

std::string DateStruct(SQLSMALLINT y, SQLUSMALLINT m, SQLUSMALLINT d) {
  const DATE_STRUCT v{y, m, d};
  return Bytes(&v, sizeof v);
}
std::string TimeStruct(SQLUSMALLINT h, SQLUSMALLINT m, SQLUSMALLINT s) {
  const TIME_STRUCT v{h, m, s};
  return Bytes(&v, sizeof v);
}
std::string TsStruct(SQLSMALLINT y, SQLUSMALLINT mo, SQLUSMALLINT d, SQLUSMALLINT h,
                     SQLUSMALLINT mi, SQLUSMALLINT s, SQLUINTEGER f) {
  const TIMESTAMP_STRUCT v{y, mo, d, h, mi, s, f};
  return Bytes(&v, sizeof v);
}

struct Row {
  const char* name;
  std::vector<SQLSMALLINT> cTypes;  // codes of one structure
  Column col;
  std::string value;
  std::string written;
};

const std::vector<SQLSMALLINT> kDates = {SQL_C_DATE, SQL_C_TYPE_DATE};
const std::vector<SQLSMALLINT> kTimes = {SQL_C_TIME, SQL_C_TYPE_TIME};
const std::vector<SQLSMALLINT> kStamps = {SQL_C_TIMESTAMP, SQL_C_TYPE_TIMESTAMP,
                                          QVO_TYPE_TIMESTAMP_UTC};
const std::string kStamp = Ts(2024, 3, 7, 13, 45, 59, 123456789);

const Row kRows[] = {
    {"date", kDates, kDate, Date(2024, 3, 7), DateStruct(2024, 3, 7)},
    {"date of a timestamp", kDates, kTs3, kStamp, DateStruct(2024, 3, 7)},
    {"date of a utc timestamp", kDates, kTsUtc3, kStamp, DateStruct(2024, 3, 7)},
    {"negative year", kDates, kDate, Date(-1, 1, 1), DateStruct(-1, 1, 1)},
    {"fields passed through", kDates, kDate, Date(2024, 13, 40), DateStruct(2024, 13, 40)},
    {"timestamp", kStamps, kTs3, kStamp, TsStruct(2024, 3, 7, 13, 45, 59, 123456789)},
    {"utc timestamp, no offset", kStamps, kTsUtc3, kStamp,
     TsStruct(2024, 3, 7, 13, 45, 59, 123456789)},
    {"timestamp of a date", kStamps, kDate, Date(2024, 3, 7), TsStruct(2024, 3, 7, 0, 0, 0, 0)},
    {"time of a timestamp", kTimes, kTs3, kStamp, TimeStruct(13, 45, 59)},
    {"time of a utc timestamp", kTimes, kTsUtc3, kStamp, TimeStruct(13, 45, 59)},
};

using DateTimeCellTest = CellTest;

TEST_F(DateTimeCellTest, ValueTable) {
  for (const Row& row : kRows) {
    for (SQLSMALLINT cType : row.cTypes) {
      SCOPED_TRACE(std::string(row.name) + ", C type " + std::to_string(cType));
      for (bool withTarget : {true, false}) {
        CellRun r;
        // Odd offsets: the structures are written at any alignment.
        r.values = {row.value, kNull, row.value};
        RunCell(r, qvoDateTimeCell, s, cType, row.col, 17, withTarget);
        for (size_t i : {0u, 2u}) {
          EXPECT_STREQ(OutcomeName(r.outcomes[i]), "Ok");
          EXPECT_EQ(r.lengths[i], static_cast<SQLLEN>(row.written.size()));
          if (withTarget) {
            EXPECT_EQ(std::string(r.Target(i), row.written.size()), row.written);
          }
          EXPECT_TRUE(r.UntouchedFrom(i, withTarget ? row.written.size() : 0));
        }
        EXPECT_EQ(r.lengths[1], SQL_NULL_DATA);
        EXPECT_TRUE(r.UntouchedFrom(1, 0));
      }
    }
  }
}

// NULL without an indicator is the row's error; the other rows convert.
TEST_F(DateTimeCellTest, NullWithoutIndicator) {
  CellRun r;
  r.values = {kNull, Date(2024, 3, 7)};
  RunCell(r, qvoDateTimeCell, s, SQL_C_TYPE_DATE, kDate, 6, true, false);
  EXPECT_STREQ(OutcomeName(r.outcomes[0]), "22002");
  EXPECT_STREQ(OutcomeName(r.outcomes[1]), "Ok");
  EXPECT_EQ(std::string(r.Target(1), 6), DateStruct(2024, 3, 7));
}

TEST(DateTimeCellLookup, Matrix) {
  for (SQLSMALLINT c : kDates) {
    EXPECT_NE(qvoDateTimeCell(c, _DATE), nullptr);
    EXPECT_NE(qvoDateTimeCell(c, _TIMESTAMP), nullptr);
  }
  for (SQLSMALLINT c : kStamps) {
    for (SQLSMALLINT t : {_DATE, _TIMESTAMP, _TIMESTAMP_UTC})
      EXPECT_NE(qvoDateTimeCell(c, t), nullptr) << c << "/" << t;
  }
  for (SQLSMALLINT c : {SQL_C_DATE, SQL_C_TYPE_DATE, SQL_C_TIMESTAMP, SQL_C_TYPE_TIMESTAMP}) {
    for (SQLSMALLINT t : {_DECIMAL, _DOUBLE, _CHAR, _BIGDECIMAL, _VARCHAR, _BOOLEAN})
      EXPECT_EQ(qvoDateTimeCell(c, t), nullptr) << c << "/" << t;
  }
  for (SQLSMALLINT c : {SQL_C_TIME, SQL_C_TYPE_TIME}) {
    EXPECT_NE(qvoDateTimeCell(c, _TIMESTAMP), nullptr);
    EXPECT_NE(qvoDateTimeCell(c, _TIMESTAMP_UTC), nullptr);
    EXPECT_EQ(qvoDateTimeCell(c, _DATE), nullptr);
  }
  EXPECT_EQ(qvoDateTimeCell(SQL_C_CHAR, _DATE), nullptr);
}

}  // namespace
