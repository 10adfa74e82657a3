// Fetching into the numeric C types through the exported functions of
// libqvocli.so, from a table the fake node serves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api/api_session.h"
#include "qvo/qvoCInterface.h"
#include "support/fake_table.h"

namespace {

using namespace fake::results;

// Whether a record of the statement has the state and holds the text.
bool Has(const api::Session& s, const std::string& state, const std::string& text) {
  for (const api::Record& r : s.Records())
    if (r.state == state && r.text.find(text) != std::string::npos) return true;
  return false;
}

constexpr __int128 kTwo64 = static_cast<__int128>(1) << 64;

Value Big(__int128 v) {
  return Value::Int128(static_cast<int64_t>(static_cast<uint64_t>(v)),
                       static_cast<int64_t>(v >> 64));
}

// Three rows: ordinary values, NULLs, then negative and fractional ones.
fake::Table NumbersTable() {
  fake::Table t;
  t.columns = {Column::Decimal("AMOUNT", 18, 2),
               Column::Double("RATIO"),
               Column::SmallDecimal("SMALL", 9, 0),
               Column::BigDecimal("BIG", 38, 0),
               Column::Boolean("FLAG"),
               Column::Char("TXT", 10, 10, kVarying)};
  t.rows = 3;
  t.value = [](int64_t row, size_t col) -> Value {
    if (row == 1) return Value::Null();
    const bool first = row == 0;
    switch (col) {
      case 0:
        return Value::Int64(first ? 1200 : -1234);  // 12.00, -12.34
      case 1:
        return Value::Double(first ? 2.5 : -1e10);
      case 2:
        return Value::Int32(first ? 200 : 7);
      case 3:
        return Big(first ? kTwo64 * 64 : -(kTwo64 + 5));
      case 4:
        return Value::Bool(first);
      default:
        return Value::Text(first ? " 42 " : "-7");
    }
  };
  return t;
}

TEST(FetchNumericApi, RowsetOfEveryNumericTarget) {
  api::Session s;
  s.node.ServeTable(fake::SqlMatch::Any(), NumbersTable());
  ASSERT_EQ(s.Exec("SELECT * FROM NUMBERS"), SQL_SUCCESS);
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(3), 0),
            SQL_SUCCESS);

  SQLBIGINT amount[3];
  double ratio[3];
  SQLCHAR small[3];
  SQL_NUMERIC_STRUCT big[3];
  SQLCHAR flag[3];
  SQLINTEGER txt[3];
  SQLLEN ind[6][3];
  std::memset(ind, 0x11, sizeof ind);
  ASSERT_EQ(QVOBindCol(s.stmt, 1, SQL_C_SBIGINT, amount, 0, ind[0]), SQL_SUCCESS);
  ASSERT_EQ(QVOBindCol(s.stmt, 2, SQL_C_DOUBLE, ratio, 0, ind[1]), SQL_SUCCESS);
  ASSERT_EQ(QVOBindCol(s.stmt, 3, SQL_C_UTINYINT, small, 0, ind[2]), SQL_SUCCESS);
  ASSERT_EQ(QVOBindCol(s.stmt, 4, SQL_C_NUMERIC, big, 0, ind[3]), SQL_SUCCESS);
  ASSERT_EQ(QVOBindCol(s.stmt, 5, SQL_C_BIT, flag, 0, ind[4]), SQL_SUCCESS);
  ASSERT_EQ(QVOBindCol(s.stmt, 6, SQL_C_SLONG, txt, 0, ind[5]), SQL_SUCCESS);

  // -12.34 loses its fraction going into SBIGINT: a warning, the row is kept.
  ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS_WITH_INFO);
  EXPECT_TRUE(Has(s, "01S07", "Fractional truncation."));

  EXPECT_EQ(amount[0], 12);
  EXPECT_EQ(amount[2], -12);
  EXPECT_EQ(ratio[0], 2.5);
  EXPECT_EQ(ratio[2], -1e10);
  EXPECT_EQ(small[0], 200);
  EXPECT_EQ(small[2], 7);
  EXPECT_EQ(big[0].sign, 1);
  EXPECT_EQ(big[0].precision, 38);
  EXPECT_EQ(big[0].scale, 0);
  const unsigned char twoTo70[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0x40};
  EXPECT_EQ(std::memcmp(big[0].val, twoTo70, 16), 0);
  EXPECT_EQ(big[2].sign, 0);
  const unsigned char twoTo64Plus5[16] = {5, 0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(std::memcmp(big[2].val, twoTo64Plus5, 16), 0);
  EXPECT_EQ(flag[0], 1);
  EXPECT_EQ(flag[2], 0);
  EXPECT_EQ(txt[0], 42);
  EXPECT_EQ(txt[2], -7);
  const SQLLEN sizes[6] = {8, 8, 1, sizeof(SQL_NUMERIC_STRUCT), 1, 4};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(ind[c][0], sizes[c]) << "column " << c + 1;
    EXPECT_EQ(ind[c][1], SQL_NULL_DATA) << "column " << c + 1;
    EXPECT_EQ(ind[c][2], sizes[c]) << "column " << c + 1;
  }
}

// A value the target cannot hold is an error, never its low bits: the call
// fails with 22003, and a text that is no number with 22018.
TEST(FetchNumericApi, OutOfRangeAndNotANumberFailTheFetch) {
  struct Case {
    Column column;
    Value value;
    SQLSMALLINT cType;
    const char* state;
    const char* text;
  } cases[] = {
      {Column::SmallDecimal("N", 9, 0), Value::Int32(300), SQL_C_TINYINT, "22003",
       "Numeric value out of range."},
      {Column::Decimal("N", 18, 0), Value::Int64(70000), SQL_C_SHORT, "22003",
       "Numeric value out of range."},
      {Column::Double("N"), Value::Double(-1.0), SQL_C_ULONG, "22003",
       "Numeric value out of range."},
      {Column::BigDecimal("N", 38, 0), Big(kTwo64 + 5), SQL_C_UBIGINT, "22003",
       "Numeric value out of range."},
      {Column::Char("N", 10, 10, kVarying), Value::Text("abc"), SQL_C_DOUBLE, "22018",
       "Invalid character value for cast specification."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state + std::string(" C type ") + std::to_string(c.cType));
    api::Session s;
    fake::Table t;
    t.columns = {c.column};
    t.rows = 1;
    t.value = [&c](int64_t, size_t) { return c.value; };
    s.node.ServeTable(fake::SqlMatch::Any(), t);
    ASSERT_EQ(s.Exec("SELECT N FROM T"), SQL_SUCCESS);
    unsigned char target[16];
    std::memset(target, 0xA5, sizeof target);
    SQLLEN ind = 0x1111;
    ASSERT_EQ(QVOBindCol(s.stmt, 1, c.cType, target, sizeof target, &ind), SQL_SUCCESS);
    EXPECT_EQ(QVOFetch(s.stmt), SQL_ERROR);
    EXPECT_TRUE(Has(s, c.state, c.text));
    for (unsigned char b : target) EXPECT_EQ(b, 0xA5) << "nothing written";
  }
}

// A time stamp into SLONG is a record of three integers: written when the
// application declares 12 bytes per row (rows then lie 12 bytes apart), else
// refused with HY090 and nothing written.
TEST(FetchNumericApi, TimestampIntoSlongNeedsTwelveBytes) {
  api::Session s;
  fake::Table t;
  t.columns = {Column::Timestamp("TS")};
  t.rows = 2;
  t.value = [](int64_t row, size_t) {
    return Value::Timestamp(2023, 12, static_cast<uint8_t>(25 + row), 13, 45, 7,
                            static_cast<int32_t>(row));
  };
  s.node.ServeTable(fake::SqlMatch::Any(), t);
  for (SQLLEN bufferLength : {SQLLEN{12}, SQLLEN{4}}) {
    SCOPED_TRACE(bufferLength);
    QVOFreeStmt(s.stmt, SQL_CLOSE);
    ASSERT_EQ(s.Exec("SELECT TS FROM T"), SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0),
              SQL_SUCCESS);
    SQLINTEGER records[2][3];
    std::memset(records, 0x5A, sizeof records);
    SQLLEN ind[2] = {};
    ASSERT_EQ(QVOBindCol(s.stmt, 1, SQL_C_SLONG, records, bufferLength, ind), SQL_SUCCESS);
    if (bufferLength == 12) {
      ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
      for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(records[r][0], 20231225 + r);
        EXPECT_EQ(records[r][1], 134507);
        EXPECT_EQ(records[r][2], r);
        EXPECT_EQ(ind[r], 12);
      }
    } else {
      EXPECT_EQ(QVOFetch(s.stmt), SQL_ERROR);
      EXPECT_TRUE(Has(s, "HY090", "Invalid buffer length."));
      for (const auto& rec : records)
        for (SQLINTEGER v : rec) EXPECT_EQ(v, 0x5A5A5A5A);
    }
  }
}

}  // namespace
