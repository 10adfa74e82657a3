// The conversion matrix's refusals, the internal C types, NULL handling and
// how a failed row or column decides the fetch's result.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fetch/fetch_fixture.h"
#include "fetch/qvoConversionCell.h"
#include "platform/qvoCriticalSection.h"

namespace {

using namespace fake::results;

// A one-column table of the given values.
fake::Table TableOf(const Column& column, std::vector<Value> values) {
  fake::Table t;
  t.columns = {column};
  t.rows = static_cast<int64_t>(values.size());
  auto shared = std::make_shared<std::vector<Value>>(std::move(values));
  t.value = [shared](int64_t row, size_t) { return (*shared)[static_cast<size_t>(row)]; };
  return t;
}

class ConversionTest : public FetchTest {};

TEST_F(ConversionTest, RefusedPairsNameTheTypesAndKeepTheCursor) {
  struct Case {
    Column column;
    SQLSMALLINT cType;
    const char* diag;
    SQLINTEGER native;
  };
  const char* kTypeRefused =
      "HY000 Server returns a data type that is not supported by CLI driver.";
  const Case cases[] = {
      {Column::Date("D"), SQL_C_BIT,
       "HY000 Conversion from Vandrel-Type _DATE to C-Type SQL_C_BIT not supported.", -1},
      {Column::Char("C", 4, 4, 0), QVO_VARCHAR_PTR,
       "HY000 Conversion from Vandrel-Type _CHAR to C-Type UNKNOWN_C_TYPE not supported.", -1},
      {Column::BigDecimal("B", 30, 0), QVO_INT32,
       "HY000 Conversion from Vandrel-Type _BIGDECIMAL to C-Type QVO_INT32 not supported.", -1},
      {Column::Double("F"), QVO_INT64,
       "HY000 Conversion from Vandrel-Type _DOUBLE to C-Type QVO_INT64 not supported.", -1},
      {Column::Char("C", 4, 4, 0), SQL_C_NUMERIC, kTypeRefused, 10},
      {Column::Date("D"), SQL_C_TINYINT, kTypeRefused, 14},
      {Column::Timestamp("T"), SQL_C_UTINYINT, kTypeRefused, 21},
      {Column::Double("F"), SQL_C_TYPE_DATE, kTypeRefused, 8},
      {Column::Date("D"), SQL_C_TYPE_TIME, kTypeRefused, 14},
      {Column::Date("D"), SQL_C_DOUBLE, kTypeRefused, 14},
      {Column::TimestampUtc("U"), SQL_C_SBIGINT, kTypeRefused, 125},
      {Column::Double("F"), SQL_C_GUID, "HY000 Invalid C data type requested by user.", SQL_C_GUID},
  };
  for (const Case& c : cases) {
    const std::string where = c.diag;
    // Column 1 converts; column 2 is the refused pair.
    fake::Table t = fake::Table::Sample({Column::Decimal("N", 18, 0), c.column}, 3);
    ASSERT_EQ(Open(t, fake::Blocks{}, 9), SQL_SUCCESS) << LastDiag(*s);
    SQLUSMALLINT status[3] = {77, 77, 77};
    SetRowset(3, status);
    SQLBIGINT n[3] = {};
    SQLLEN ind[3] = {}, ind2[3] = {};
    char target[3 * 32] = {};
    ASSERT_EQ(QVOBindCol(stmt, 1, QVO_INT64, n, 8, ind), SQL_SUCCESS);
    ASSERT_EQ(QVOBindCol(stmt, 2, c.cType, target, 32, ind2), SQL_SUCCESS) << where;
    EXPECT_EQ(QVOFetch(stmt), SQL_ERROR) << where;
    EXPECT_EQ(LastDiag(*s), c.diag) << where;
    EXPECT_EQ(DiagsOf(*s).back().native, c.native) << where;
    EXPECT_EQ(rowsFetched, 0u) << where;
    EXPECT_EQ(status[0], 77) << where;
    EXPECT_EQ(s->Result().Cursor(), 0) << where;
  }
}

TEST_F(ConversionTest, InternalTypesDeliverTheUnscaledValue) {
  struct Case {
    const char* name;
    Column column;
    Value value;
    SQLSMALLINT cType;
    std::vector<uint8_t> want;  // empty: 22003
  };
  auto bytesOf = [](auto v) {
    std::vector<uint8_t> out(sizeof v);
    std::memcpy(out.data(), &v, sizeof v);
    return out;
  };
  const std::vector<uint8_t> outOfRange;
  const Case cases[] = {
      {"123.45 as int32", Column::Decimal("D", 18, 2), Value::Int64(12345), QVO_INT32,
       bytesOf(int32_t{12345})},
      {"123.45 as int64", Column::Decimal("D", 18, 2), Value::Int64(12345), QVO_INT64,
       bytesOf(int64_t{12345})},
      {"narrow decimal as int64", Column::Decimal("D", 9, 0), Value::Int32(-77), QVO_INT64,
       bytesOf(int64_t{-77})},
      {"narrow decimal as int32", Column::Decimal("D", 9, 0), Value::Int32(-77), QVO_INT32,
       bytesOf(int32_t{-77})},
      {"smallest int32", Column::Decimal("D", 18, 0), Value::Int64(-2147483648LL), QVO_INT32,
       bytesOf(int32_t{INT32_MIN})},
      {"largest int32", Column::Decimal("D", 18, 0), Value::Int64(2147483647), QVO_INT32,
       bytesOf(int32_t{INT32_MAX})},
      {"above int32", Column::Decimal("D", 18, 0), Value::Int64(2147483648LL), QVO_INT32,
       outOfRange},
      {"below int32", Column::Decimal("D", 18, 0), Value::Int64(-2147483649LL), QVO_INT32,
       outOfRange},
      {"small decimal as int32", Column::SmallDecimal("S", 9, 0), Value::Int32(-9), QVO_INT32,
       bytesOf(int32_t{-9})},
      {"small decimal as int64", Column::SmallDecimal("S", 9, 0), Value::Int32(-9), QVO_INT64,
       bytesOf(int64_t{-9})},
      {"date as number", Column::Date("D"), Value::Date(7, 3, 2024), QVO_INT32,
       bytesOf(int32_t{20240307})},
      {"early date", Column::Date("D"), Value::Date(31, 12, 999), QVO_INT32,
       bytesOf(int32_t{9991231})},
      {"-5 as int64", Column::BigDecimal("B", 30, 0), Value::Int128(-5, -1), QVO_INT64,
       bytesOf(int64_t{-5})},
      {"2^64 + 5 as int64", Column::BigDecimal("B", 30, 0), Value::Int128(5, 1), QVO_INT64,
       outOfRange},
      {"-2^64 as int64", Column::BigDecimal("B", 30, 0), Value::Int128(0, -1), QVO_INT64,
       outOfRange},
      {"int128", Column::BigDecimal("B", 38, 0), Value::Int128(-3, 0x1234), QVO_INT128,
       [] {
         std::vector<uint8_t> v(16);
         const int64_t halves[2] = {-3, 0x1234};
         std::memcpy(v.data(), halves, 16);
         return v;
       }()},
  };
  for (const Case& c : cases) {
    // Row 0 is the case's value, row 1 a plain one that always converts.
    const Value plain = c.column.type == kDate         ? Value::Date(1, 1, 2000)
                        : c.column.type == kBigDecimal ? Value::Int128(1, 0)
                        : c.column.type == kDecimal && c.column.precision <= 9 ? Value::Int32(1)
                        : c.column.type == kDecimal                            ? Value::Int64(1)
                                                                               : Value::Int32(1);
    ASSERT_EQ(Open(TableOf(c.column, {c.value, plain}), fake::Blocks{}, 9), SQL_SUCCESS) << c.name;
    SQLUSMALLINT status[2] = {};
    SetRowset(2, status);
    std::array<uint8_t, 32> target;
    target.fill(0xCD);
    SQLLEN ind[2] = {-99, -99};
    ASSERT_EQ(QVOBindCol(stmt, 1, c.cType, target.data(), 16, ind), SQL_SUCCESS);
    const SQLRETURN rc = QVOFetch(stmt);
    EXPECT_EQ(rowsFetched, 2u) << c.name;
    if (c.want.empty()) {
      // With a status array the failed row is marked and the other converts.
      EXPECT_EQ(rc, SQL_SUCCESS_WITH_INFO) << c.name;
      EXPECT_EQ(LastDiag(*s), "22003 Numeric value out of range.") << c.name;
      EXPECT_EQ(status[0], SQL_ROW_ERROR) << c.name;
      EXPECT_EQ(status[1], SQL_ROW_SUCCESS) << c.name;
      EXPECT_EQ(ind[0], -99) << c.name;
      EXPECT_EQ(target[0], 0xCD) << c.name;
      continue;
    }
    ASSERT_EQ(rc, SQL_SUCCESS) << c.name << " " << LastDiag(*s);
    EXPECT_EQ(ind[0], static_cast<SQLLEN>(c.want.size())) << c.name;
    EXPECT_EQ(std::memcmp(target.data(), c.want.data(), c.want.size()), 0) << c.name;
    // Fixed-size targets step by their own size, whatever the buffer length.
    EXPECT_EQ(ind[1], static_cast<SQLLEN>(c.want.size())) << c.name;
    const int32_t plainWant = c.column.type == kDate ? 20000101 : 1;
    EXPECT_EQ(std::memcmp(target.data() + c.want.size(), &plainWant, 4), 0) << c.name;
  }
}

TEST_F(ConversionTest, AFailedRowWithoutStatusArrayFailsTheFetchAndReportsNoRow) {
  ASSERT_EQ(Open(TableOf(Column::Decimal("D", 18, 0),
                         {Value::Int64(1), Value::Int64(1LL << 40), Value::Int64(3)}),
                 fake::Blocks{}, 9),
            SQL_SUCCESS);
  SetRowset(3, nullptr);
  SQLINTEGER v[3] = {};
  SQLLEN ind[3] = {};
  ASSERT_EQ(QVOBindCol(stmt, 1, QVO_INT32, v, 4, ind), SQL_SUCCESS);
  EXPECT_EQ(QVOFetch(stmt), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "22003 Numeric value out of range.");
  EXPECT_EQ(rowsFetched, 0u);
  EXPECT_EQ(s->Result().Cursor(), 0);
}

TEST_F(ConversionTest, NullNeedsAnIndicator) {
  ASSERT_EQ(Open(TableOf(Column::Decimal("D", 18, 0), {Value::Int64(1), Value::Null()}),
                 fake::Blocks{}, 9),
            SQL_SUCCESS);
  SQLUSMALLINT status[2] = {};
  SetRowset(2, status);
  SQLBIGINT v[2] = {-1, -1};
  ASSERT_EQ(QVOBindCol(stmt, 1, QVO_INT64, v, 8, nullptr), SQL_SUCCESS);
  EXPECT_EQ(QVOFetch(stmt), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(LastDiag(*s), "22002 Indicator variable required but not supplied.");
  EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[1], SQL_ROW_ERROR);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], -1);
}

TEST_F(ConversionTest, VarcharByReferencePointsIntoTheReceivedRows) {
  ASSERT_EQ(Open(TableOf(Column::Char("V", 20, 20, kVarying),
                         {Value::Text("hello"), Value::Text(""), Value::Null()}),
                 fake::Blocks{}, 9),
            SQL_SUCCESS);
  SQLUSMALLINT status[3] = {};
  SetRowset(3, status);
  const char* p[3] = {};
  SQLLEN len[3] = {};
  ASSERT_EQ(QVOBindCol(stmt, 1, QVO_VARCHAR_PTR, p, sizeof(char*), len), SQL_SUCCESS);
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS) << LastDiag(*s);
  ASSERT_EQ(len[0], 5);
  EXPECT_EQ(std::string(p[0], 5), "hello");
  EXPECT_EQ(len[1], 0);
  EXPECT_NE(p[1], nullptr);
  EXPECT_EQ(len[2], SQL_NULL_DATA);
  EXPECT_EQ(p[2], nullptr);
  // Unbinding keeps the statement in by-reference mode.
  ASSERT_EQ(QVOBindCol(stmt, 1, SQL_C_CHAR, nullptr, 0, nullptr), SQL_SUCCESS);
  EXPECT_TRUE(s->using_QVO_VARCHAR_PTR);
}

// A column number outside 1..32767 is refused when bound; a binding past
// the result's columns waits for a result that has them, untouched.
TEST_F(ConversionTest, BoundColumnsBeyondTheResultAreLeftAlone) {
  ASSERT_EQ(Open(fake::Table::Sample({Column::Decimal("D", 18, 0)}, 2), fake::Blocks{}, 9),
            SQL_SUCCESS);
  SQLBIGINT v[2];
  SQLLEN ind[2];
  for (SQLUSMALLINT col : {SQLUSMALLINT{0}, SQLUSMALLINT{40000}}) {
    EXPECT_EQ(QVOBindCol(stmt, col, QVO_INT64, v, 8, ind), SQL_ERROR) << col;
    EXPECT_EQ(LastDiag(*s), "07009 Invalid descriptor index.") << col;
  }
  ASSERT_EQ(QVOBindCol(stmt, 3, QVO_INT64, v, 8, ind), SQL_SUCCESS);
  v[0] = 77;
  ind[0] = -777;
  EXPECT_EQ(QVOFetch(stmt), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(s->GetNumRecords(), 0);
  EXPECT_EQ(v[0], 77);
  EXPECT_EQ(ind[0], -777);
  // Without a bound column rows are only counted.
  ASSERT_EQ(QVOFreeStmt(stmt, SQL_UNBIND), SQL_SUCCESS);
  SetRowset(5, nullptr);
  EXPECT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(rowsFetched, 1u);
  EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
}

// The NULL rule of the shared row loop, with a stand-in conversion.
struct Fill {
  explicit Fill(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char*, char* target, SQLLEN* length) const {
    if (target) target[0] = 'x';
    *length = 1;
    return qvoCellOutcome::Ok;
  }
};

TEST(RunColumnTest, NullRuleOfCharacterTargets) {
  struct Case {
    int terminator;
    bool stringsNotNull;
    SQLLEN bufferLength;
    SQLLEN indicator;
    char first;
  };
  const Case cases[] = {
      {0, false, 8, SQL_NULL_DATA, '?'},
      {1, false, 8, SQL_NULL_DATA, 0},
      {1, true, 8, 0, 0},
      {1, true, 0, 0, '?'},
      {2, false, 1, SQL_NULL_DATA, '?'},
      {2, true, 2, 0, 0},
  };
  for (const Case& c : cases) {
    // Row 0 NULL, row 1 a value; flag byte before each.
    char block[] = {0, 1, 'v'};
    void* values[2] = {block + 1, block + 2};
    char data[16];
    std::memset(data, '?', sizeof data);
    SQLLEN lengths[2] = {-99, -99};
    qvoCellOutcome outcomes[2] = {};
    qvoColumnJob job;
    job.bufferLength = c.bufferLength;
    job.data = data;
    job.dataStride = 8;
    job.lengths = reinterpret_cast<char*>(lengths);
    job.lengthStride = sizeof(SQLLEN);
    job.values = values;
    job.rows = 2;
    job.outcomes = outcomes;
    RunColumn<Fill>(job, qvoNullRule{c.terminator, c.stringsNotNull});
    EXPECT_EQ(lengths[0], c.indicator) << c.terminator << c.stringsNotNull << c.bufferLength;
    EXPECT_EQ(data[0], c.first) << c.terminator << c.stringsNotNull << c.bufferLength;
    EXPECT_EQ(lengths[1], 1);
    EXPECT_EQ(data[8], 'x');
    EXPECT_EQ(outcomes[0], qvoCellOutcome::Ok);
  }
}

}  // namespace

namespace {

class FrameOutcomeTest : public FetchTest {
 protected:
  // Column 1: row 0 out of range for a 32-bit target. Column 2: row 1 cut.
  void OpenMixed() {
    fake::Table t;
    t.columns = {Column::Decimal("D", 18, 0), Column::Char("V", 20, 20, kVarying)};
    t.rows = 3;
    t.value = [](int64_t row, size_t c) {
      if (c == 0) return Value::Int64(row == 0 ? (1LL << 40) : row);
      return Value::Text(row == 1 ? "much too long" : "ok");
    };
    ASSERT_EQ(Open(t, fake::Blocks{}, 9), SQL_SUCCESS);
    ASSERT_EQ(QVOBindCol(stmt, 1, QVO_INT32, numbers, 4, numberInd), SQL_SUCCESS);
    ASSERT_EQ(QVOBindCol(stmt, 2, SQL_C_CHAR, text, 5, textInd), SQL_SUCCESS);
  }
  SQLINTEGER numbers[3] = {};
  SQLLEN numberInd[3] = {}, textInd[3] = {};
  char text[3 * 5] = {};
};

TEST_F(FrameOutcomeTest, ALaterWarningNeverHidesAnError) {
  OpenMixed();
  SetRowset(3, nullptr);
  EXPECT_EQ(QVOFetch(stmt), SQL_ERROR);
  EXPECT_EQ(rowsFetched, 0u);
  std::vector<std::string> states;
  for (const auto& d : DiagsOf(*s)) states.push_back(d.state);
  EXPECT_EQ(states, (std::vector<std::string>{"22003", "01004"}));
  EXPECT_EQ(s->Result().Cursor(), 0);

  // With a status array each row tells its own outcome.
  SQLUSMALLINT status[3] = {};
  SetRowset(3, status);
  EXPECT_EQ(QVOFetch(stmt), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(rowsFetched, 3u);
  EXPECT_EQ(status[0], SQL_ROW_ERROR);
  EXPECT_EQ(status[1], SQL_ROW_SUCCESS_WITH_INFO);
  EXPECT_EQ(status[2], SQL_ROW_SUCCESS);
  EXPECT_EQ(numbers[2], 2);
  EXPECT_EQ(std::string(text + 5), "much");
  EXPECT_EQ(textInd[1], 13);
}

TEST_F(FrameOutcomeTest, RowLinesOfTheLogFollowTheLineSetting) {
  qvoCriticalSection mutex;
  struct Case {
    SQLBIGINT lines;
    std::vector<int> offsets;  // logged rows of each column
  };
  const Case cases[] = {{-1, {0, 2}}, {3, {1, 2}}, {0, {}}, {-5, {}}, {1000, {0, 1, 2}}};
  for (const Case& c : cases) {
    OpenMixed();
    SetRowset(3, nullptr);
    FILE* log = std::tmpfile();
    s->SetLogFile(true, false, log, "fetch.log", &mutex, c.lines);
    QVOFetch(stmt);
    s->SetLogFile(false, false, nullptr, "", nullptr, 0);
    std::rewind(log);
    std::vector<int> offsets;
    char line[600];
    while (std::fgets(line, sizeof line, log)) {
      const char* at = std::strstr(line, " === Offset=");
      if (at && std::strstr(line, "Column=1,")) offsets.push_back(std::atoi(at + 12));
    }
    std::fclose(log);
    EXPECT_EQ(offsets, c.offsets) << c.lines;
  }
}

}  // namespace
