// Fetching every server type into character, binary, UTF-16 and date/time
// targets through the exported functions, against tables the fake node
// serves: the texts, lengths, return codes and diagnostics an application
// sees, with the column facts (scale, precision, character set, value width)
// as the answer parser sets them.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/api_session.h"
#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

namespace r = fake::results;
using r::Value;

constexpr char kPrefix[] = "[OSTRANA][Vandrel driver]";
constexpr char kSql[] = "SELECT * FROM T";

using api::Record;

SQLPOINTER IntArg(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

// A connected statement whose node serves one table for kSql. Settings that a
// statement copies when it is made (boolean words) go to the connection
// before MakeStatement.
class Session {
 public:
  Session() : player_(node) {
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    const std::string port = std::to_string(node.Port());
    EXPECT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                               "secret", SQL_NTS),
              SQL_SUCCESS);
  }
  ~Session() { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  void MakeStatement() { EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS); }

  // Serves the columns with rows[c][r] and executes the query; rowset size
  // is the number of rows.
  void Execute(const std::vector<r::Column>& columns, std::vector<std::vector<Value>> rows) {
    fake::Table table;
    table.columns = columns;
    table.rows = static_cast<int64_t>(rows.empty() ? 0 : rows[0].size());
    table.value = [rows](int64_t row, size_t column) {
      return rows[column][static_cast<size_t>(row)];
    };
    node.ServeTable(kSql, table);
    if (stmt == SQL_NULL_HANDLE) MakeStatement();
    ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, IntArg(table.rows), 0), SQL_SUCCESS);
    ASSERT_EQ(QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kSql)), SQL_NTS),
              SQL_SUCCESS);
  }

  std::vector<Record> Records() const { return api::Records(SQL_HANDLE_STMT, stmt); }

  fake::FakeNode node;
  SQLHANDLE env = SQL_NULL_HANDLE;
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  SQLHANDLE stmt = SQL_NULL_HANDLE;

 private:
  fake::LoginPlayer player_;
};

// One bound column of a rowset: rows buffers of `width` bytes with guard bytes
// between them, and the indicators.
struct Bound {
  Bound(SQLHANDLE stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLLEN bufferLength, size_t rows)
      : width(static_cast<size_t>(bufferLength)),
        data(width * rows, static_cast<char>(0xAB)),
        indicators(rows, -777) {
    EXPECT_EQ(QVOBindCol(stmt, column, cType, data.data(), bufferLength, indicators.data()),
              SQL_SUCCESS);
  }
  std::string Text(size_t row) const { return std::string(data.data() + row * width); }
  std::string Bytes(size_t row, size_t n) const {
    return std::string(data.data() + row * width, n);
  }
  std::u16string Wide(size_t row) const {
    std::u16string out;
    for (size_t k = row * width; k + 1 < (row + 1) * width; k += 2) {
      char16_t u;
      std::memcpy(&u, data.data() + k, 2);
      if (u == 0) break;
      out.push_back(u);
    }
    return out;
  }
  size_t width;
  std::vector<char> data;
  std::vector<SQLLEN> indicators;
};

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Every server type, three rows each, with the texts they must give.
struct TypeColumn {
  r::Column column;
  std::vector<Value> values;
  std::vector<std::string> texts;  // "" with a NULL value
};

std::vector<TypeColumn> EveryType() {
  const Value null = Value::Null();
  return {
      {r::Column::Char("ascii", 10, 10, r::kVarying),
       {Value::Text("hello"), null, Value::Text("")},
       {"hello", "", ""}},
      {r::Column::Char("utf8", 10, 40, r::kVarying | r::kUtf8),
       {Value::Text("h\xE2\x82\xACllo"), Value::Text("caf\xC3\xA9"), null},
       {"h\xE2\x82\xACllo", "caf\xC3\xA9", ""}},
      {r::Column::Decimal("dec", 12, 2),
       {Value::Int64(12345), Value::Int64(-5), null},
       {"123.45", "-0.05", ""}},
      {r::Column::Decimal("dec32", 5, 1),
       {Value::Int32(-5), Value::Int32(0), Value::Int32(123)},
       {"-0.5", "0", "12.3"}},
      {r::Column::SmallDecimal("small", 9, 3),
       {Value::Int32(7), null, Value::Int32(-2000)},
       {"0.007", "", "-2"}},
      {r::Column::BigDecimal("big", 38, 2),
       {Value::Int128(5, 1), Value::Int128(-5, -1), null},
       {"184467440737095516.21", "-0.05", ""}},
      {r::Column::Double("dbl"),
       {Value::Double(1234.5678), Value::Double(-0.0), Value::Double(1e20)},
       {"1234.5678", "0", "1E+20"}},
      {r::Column::Boolean("flag"), {Value::Bool(true), Value::Bool(false), null}, {"1", "0", ""}},
      {r::Column::Date("day"),
       {Value::Date(25, 12, 2023), Value::Date(5, 7, 812), null},
       {"2023-12-25", "0812-07-05", ""}},
      {r::Column::Timestamp("ts"),
       {Value::Timestamp(2023, 12, 25, 13, 45, 7, 123456789), null,
        Value::Timestamp(-1, 1, 2, 3, 4, 5, 0)},
       {"2023-12-25 13:45:07.123", "", "-001-01-02 03:04:05.000"}},
      {r::Column::TimestampUtc("utc"),
       {null, Value::Timestamp(2024, 3, 7, 0, 0, 0, 5000000), null},
       {"", "2024-03-07 00:00:00.005", ""}},
  };
}

// Every server type into SQL_C_CHAR, SQL_C_BINARY and SQL_C_WCHAR: the
// texts and byte lengths, NULL as -1 (with the terminator only where the
// type has one), and a clean success.
TEST(FetchTextApi, EveryServerTypeAsText) {
  for (SQLSMALLINT cType : {SQL_C_CHAR, SQL_C_BINARY, SQL_C_WCHAR}) {
    SCOPED_TRACE("C type " + std::to_string(cType));
    Session s;
    s.MakeStatement();
    // Three fraction digits for the timestamps; read when the result is
    // described.
    ASSERT_EQ(QVOSetStmtAttr(s.stmt, 21082, IntArg(3), 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(s.stmt, 21048, const_cast<char*>("UTF-8"), SQL_NTS), SQL_SUCCESS);
    const std::vector<TypeColumn> types = EveryType();
    std::vector<r::Column> columns;
    std::vector<std::vector<Value>> values;
    for (const TypeColumn& t : types) {
      columns.push_back(t.column);
      values.push_back(t.values);
    }
    s.Execute(columns, values);
    std::vector<std::unique_ptr<Bound>> bound;
    for (size_t c = 0; c < types.size(); ++c)
      bound.push_back(
          std::make_unique<Bound>(s.stmt, static_cast<SQLUSMALLINT>(c + 1), cType, 64, 3));
    ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
    EXPECT_TRUE(s.Records().empty());
    for (size_t c = 0; c < types.size(); ++c) {
      for (size_t row = 0; row < 3; ++row) {
        SCOPED_TRACE(types[c].column.name + " row " + std::to_string(row));
        const Bound& b = *bound[c];
        const std::string& want = types[c].texts[row];
        if (types[c].values[row].null) {
          EXPECT_EQ(b.indicators[row], SQL_NULL_DATA);
          const size_t terminator = cType == SQL_C_WCHAR ? 2 : cType == SQL_C_CHAR ? 1 : 0;
          EXPECT_EQ(b.Bytes(row, terminator), std::string(terminator, '\0'));
          continue;
        }
        if (cType == SQL_C_WCHAR) {
          // The one non-ASCII text of this table: h€llo / café.
          std::u16string w = U16(want);
          if (want == "h\xE2\x82\xACllo") w = u"h\u20acllo";
          if (want == "caf\xC3\xA9") w = u"caf\u00e9";
          EXPECT_EQ(b.Wide(row), w);
          EXPECT_EQ(b.indicators[row], static_cast<SQLLEN>(2 * w.size()));
        } else {
          EXPECT_EQ(b.Text(row), want);
          EXPECT_EQ(b.indicators[row], static_cast<SQLLEN>(want.size()));
        }
      }
    }
  }
}

struct CutCase {
  const char* name;
  r::Column column;
  Value value;
  SQLSMALLINT cType;
  SQLLEN bufferLength;
  std::string written;  // text of the buffer (narrow), or its UTF-8 original (wide)
  SQLLEN length;
  SQLRETURN rc;
  const char* state;  // "" none
  SQLINTEGER native;
  size_t rows = 1;  // rows holding the value, all in one rowset
};

// Values cut to a short buffer: characters and fraction digits give 01004
// with the full length, one record for each cut row; integer digits are
// never cut (22003, the row not written); a buffer of 0 only reports the
// length.
TEST(FetchTextApi, CutsAndRange) {
  const CutCase cases[] = {
      {"text", r::Column::Char("v", 10, 10, r::kVarying), Value::Text("hello"), SQL_C_CHAR, 5,
       "hell", 5, SQL_SUCCESS_WITH_INFO, "01004", 1},
      {"text, wide", r::Column::Char("v", 10, 10, r::kVarying), Value::Text("hello"), SQL_C_WCHAR,
       9, "hel", 10, SQL_SUCCESS_WITH_INFO, "01004", 1},
      {"decimal fraction", r::Column::Decimal("d", 12, 2), Value::Int64(12345), SQL_C_CHAR, 6,
       "123.4", 6, SQL_SUCCESS_WITH_INFO, "01004", 1},
      {"decimal integer digits", r::Column::Decimal("d", 12, 2), Value::Int64(12345), SQL_C_CHAR, 3,
       "", -777, SQL_ERROR, "22003", -1},
      {"double integer digits, wide", r::Column::Double("f"), Value::Double(1234.5), SQL_C_WCHAR, 8,
       "", -777, SQL_ERROR, "22003", -1},
      {"date", r::Column::Date("d"), Value::Date(25, 12, 2023), SQL_C_CHAR, 5, "2023", 10,
       SQL_SUCCESS_WITH_INFO, "01004", 1},
      {"boolean word", r::Column::Boolean("b"), Value::Bool(true), SQL_C_CHAR, 1, "", 1,
       SQL_SUCCESS_WITH_INFO, "01004", 1},
      {"length only", r::Column::Decimal("d", 12, 2), Value::Int64(12345), SQL_C_CHAR, 0, "", 6,
       SQL_SUCCESS_WITH_INFO, "01004", 1},
      {"text, two rows", r::Column::Char("v", 10, 10, r::kVarying), Value::Text("hello"),
       SQL_C_CHAR, 3, "he", 5, SQL_SUCCESS_WITH_INFO, "01004", 1, 2},
      {"text, wide, two rows", r::Column::Char("v", 10, 10, r::kVarying), Value::Text("hello"),
       SQL_C_WCHAR, 9, "hel", 10, SQL_SUCCESS_WITH_INFO, "01004", 1, 2},
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.name);
    Session s;
    s.Execute({c.column}, {std::vector<Value>(c.rows, c.value)});
    const size_t width = static_cast<size_t>(c.bufferLength);
    std::vector<char> buffer(c.rows * width + 8, '#');
    std::vector<SQLLEN> indicators(c.rows, -777);
    ASSERT_EQ(QVOBindCol(s.stmt, 1, c.cType, buffer.data(), c.bufferLength, indicators.data()),
              SQL_SUCCESS);
    EXPECT_EQ(QVOFetch(s.stmt), c.rc);
    const size_t unit = c.cType == SQL_C_WCHAR ? 2 : 1;
    const size_t written = c.rc == SQL_ERROR || c.bufferLength == 0
                               ? 0
                               : unit * (c.written.size() + 1);  // with the terminator
    for (size_t row = 0; row < c.rows; ++row) {
      const char* at = buffer.data() + row * width;
      EXPECT_EQ(indicators[row], c.length) << "row " << row;
      if (unit == 1 && written) {
        EXPECT_EQ(std::string(at), c.written) << "row " << row;
      }
      if (unit == 2 && written) {
        const std::u16string w = U16(c.written) + u'\0';
        EXPECT_EQ(std::memcmp(at, w.data(), written), 0) << "row " << row;
      }
      for (size_t k = row * width + written; k < (row + 1) * width; ++k)
        ASSERT_EQ(buffer[k], '#') << "byte " << k << " written";
    }
    for (size_t k = c.rows * width; k < buffer.size(); ++k)
      ASSERT_EQ(buffer[k], '#') << "byte " << k << " written";
    // A record for each cut row; the cases of other records have one row.
    const auto records = s.Records();
    ASSERT_EQ(records.size(), c.rows);
    for (const Record& record : records) {
      EXPECT_EQ(record.state, c.state);
      EXPECT_EQ(record.native, c.native);
      if (std::string(c.state) == "01004") {
        EXPECT_EQ(record.text, std::string(kPrefix) + "String data, right truncated.");
      }
      if (std::string(c.state) == "22003") {
        EXPECT_EQ(record.text, std::string(kPrefix) + "Numeric value out of range.");
      }
    }
  }
}

// Settings that shape the texts: boolean words of the connection, the float
// precision and external conversion of the statement, maxLength.
TEST(FetchTextApi, Settings) {
  Session s;
  ASSERT_EQ(QVOSetConnectAttr(s.dbc, 21088, const_cast<char*>("wahr"), SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(QVOSetConnectAttr(s.dbc, 21089, const_cast<char*>("falsch"), SQL_NTS), SQL_SUCCESS);
  s.MakeStatement();
  int precision = 6;
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, 21091, &precision, 0), SQL_SUCCESS);
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_MAX_LENGTH, IntArg(3), 0), SQL_SUCCESS);
  s.Execute({r::Column::Boolean("b"), r::Column::Double("f"),
             r::Column::Char("v", 10, 10, r::kVarying), r::Column::Decimal("d", 12, 2)},
            {{Value::Bool(true), Value::Bool(false)},
             {Value::Double(1234.5678), Value::Double(0.5)},
             {Value::Text("hello"), Value::Text("hi")},
             {Value::Int64(12345), Value::Int64(1)}});
  Bound b(s.stmt, 1, SQL_C_CHAR, 16, 2), f(s.stmt, 2, SQL_C_CHAR, 16, 2),
      v(s.stmt, 3, SQL_C_CHAR, 16, 2), d(s.stmt, 4, SQL_C_CHAR, 16, 2);
  EXPECT_EQ(QVOFetch(s.stmt), SQL_SUCCESS_WITH_INFO);  // maxLength cut "hello"
  EXPECT_EQ(b.Text(0), "wahr");
  EXPECT_EQ(b.Text(1), "falsch");
  EXPECT_EQ(b.indicators[1], 6);
  EXPECT_EQ(f.Text(0), "1234.57");
  EXPECT_EQ(v.Text(0), "hel");
  EXPECT_EQ(v.indicators[0], 3);
  EXPECT_EQ(v.Text(1), "hi");

  // External conversion: decimals and doubles through the shared formatter.
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, 21093, IntArg(1), 0), SQL_SUCCESS);
  ASSERT_EQ(QVOFetchScroll(s.stmt, SQL_FETCH_FIRST, 0), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(f.Text(0), "+1.2345678E+03");
  EXPECT_EQ(d.Text(0), "+1.2345E+02");
}

// Settings changed between two fetches of one result reach the next fetch
// and single-value retrieval: the code set of the data, the truncation of
// decimals into integers, the float precision. Each step keeps the changes
// before it.
TEST(FetchTextApi, SettingsChangedBetweenFetches) {
  Session s;
  s.MakeStatement();
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, 21048, const_cast<char*>("UTF-8"), SQL_NTS), SQL_SUCCESS);
  s.Execute({r::Column::Char("v", 10, 40, r::kVarying | r::kUtf8), r::Column::Decimal("d", 12, 2),
             r::Column::Double("f"), r::Column::Char("g", 10, 40, r::kVarying | r::kUtf8)},
            {{Value::Text("caf\xC3\xA9")},
             {Value::Int64(12345)},
             {Value::Double(1234.5678)},
             {Value::Text("\xC3\xA9t\xC3\xA9")}});
  Bound v(s.stmt, 1, SQL_C_CHAR, 16, 1), f(s.stmt, 3, SQL_C_CHAR, 16, 1);
  SQLBIGINT d = 0;
  SQLLEN dLength = 0;
  ASSERT_EQ(QVOBindCol(s.stmt, 2, SQL_C_SBIGINT, &d, 0, &dLength), SQL_SUCCESS);

  int precision = 5;
  struct Step {
    SQLINTEGER attribute;  // 0: none
    SQLPOINTER value;
    SQLRETURN rc;  // 01S07 while decimals are truncated
    const char* text;
    SQLBIGINT number;
    const char* dbl;
    const char* got;  // column 4 by QVOGetData
  };
  const Step steps[] = {
      {0, nullptr, SQL_SUCCESS_WITH_INFO, "caf\xC3\xA9", 123, "1234.5678", "\xC3\xA9t\xC3\xA9"},
      {21048, const_cast<char*>("ISO-8859-1"), SQL_SUCCESS_WITH_INFO, "caf\xE9", 123, "1234.5678",
       "\xE9t\xE9"},
      {21080, IntArg(0), SQL_SUCCESS, "caf\xE9", 12345, "1234.5678", "\xE9t\xE9"},
      {21091, &precision, SQL_SUCCESS, "caf\xE9", 12345, "1234.6", "\xE9t\xE9"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.attribute);
    if (step.attribute != 0) {
      ASSERT_EQ(QVOSetStmtAttr(s.stmt, step.attribute, step.value, SQL_NTS), SQL_SUCCESS);
    }
    ASSERT_EQ(QVOFetchScroll(s.stmt, SQL_FETCH_FIRST, 0), step.rc);
    EXPECT_EQ(v.Text(0), step.text);
    EXPECT_EQ(d, step.number);
    EXPECT_EQ(f.Text(0), step.dbl);
    char got[16] = {};
    SQLLEN gotLength = 0;
    ASSERT_EQ(QVOGetData(s.stmt, 4, SQL_C_CHAR, got, sizeof got, &gotLength), SQL_SUCCESS);
    EXPECT_EQ(std::string(got), step.got);
  }
}

// A UTF-8 column into an application code set that lacks one of its
// characters: the row and the rest of the column fail with the converter's
// reason, the column number, the cursor position and the code page; the
// rows before it keep their texts.
TEST(FetchTextApi, ConversionFailure) {
  Session s;
  s.MakeStatement();
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, 21048, const_cast<char*>("ISO-8859-1"), SQL_NTS), SQL_SUCCESS);
  s.Execute({r::Column::Char("v", 10, 40, r::kVarying | r::kUtf8)},
            {{Value::Text("caf\xC3\xA9"), Value::Text("\xE2\x82\xAC"), Value::Text("ok")}});
  Bound v(s.stmt, 1, SQL_C_CHAR, 16, 3);
  EXPECT_EQ(QVOFetch(s.stmt), SQL_ERROR);
  EXPECT_EQ(v.Text(0), "caf\xE9");
  EXPECT_EQ(v.indicators[0], 4);
  const auto records = s.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().state, "HY000");
  EXPECT_EQ(records.back().native, 1);
  EXPECT_EQ(records.back().text,
            std::string(kPrefix) +
                "Character set conversion error or output buffer to small: Cannot convert from "
                "UTF-8 to ISO-8859-1: invalid or unconvertible character at byte 0. column 1, "
                "cursor position 1, codepage ISO-8859-1.");
}

// The same for the UTF-16 target: text that is not UTF-8 cannot become
// UTF-16; the message names the UTF-16 code page.
TEST(FetchTextApi, WideConversionFailure) {
  Session s;
  s.Execute({r::Column::Char("v", 10, 40, r::kVarying | r::kUtf8)},
            {{Value::Text("ok"), Value::Text("a\xFF")}});
  Bound v(s.stmt, 1, SQL_C_WCHAR, 16, 2);
  EXPECT_EQ(QVOFetch(s.stmt), SQL_ERROR);
  EXPECT_EQ(v.Wide(0), u"ok");
  const auto records = s.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().state, "HY000");
  EXPECT_EQ(records.back().text,
            std::string(kPrefix) +
                "Character set conversion error or output buffer to small: Cannot convert from "
                "UTF-8 to UTF-16LE: invalid or unconvertible character at byte 1. column 1, "
                "cursor position 1, codepage UTF-16LE.");
}

// Dates and timestamps into the structures, row-wise with an odd bind
// offset: fields as sent, the structure's size as length.
TEST(FetchTextApi, DateTimeStructures) {
  Session s;
  s.Execute({r::Column::Date("d"), r::Column::Timestamp("t"), r::Column::TimestampUtc("u")},
            {{Value::Date(7, 3, 2024), Value::Null()},
             {Value::Timestamp(2024, 3, 7, 13, 45, 59, 123456789),
              Value::Timestamp(-44, 3, 15, 0, 0, 0, 0)},
             {Value::Timestamp(2024, 3, 7, 13, 45, 59, 1), Value::Null()}});
  struct Row {
    DATE_STRUCT date;
    SQLLEN dateInd;
    TIMESTAMP_STRUCT stamp;
    SQLLEN stampInd;
    TIME_STRUCT time;
    SQLLEN timeInd;
    TIMESTAMP_STRUCT utc;
    SQLLEN utcInd;
  };
  std::vector<char> rows(2 * sizeof(Row) + 1, 0);
  // Addresses are offsets within a Row from 1; the bind offset moves them to
  // the odd address rows.data() + 1.
  auto at = [](size_t member) { return reinterpret_cast<void*>(1 + member); };
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_ROW_BIND_TYPE, IntArg(sizeof(Row)), 0), SQL_SUCCESS);
  SQLLEN offset = reinterpret_cast<SQLLEN>(rows.data());
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset, 0), SQL_SUCCESS);
  auto bind = [&](SQLUSMALLINT col, SQLSMALLINT type, size_t data, size_t ind) {
    ASSERT_EQ(QVOBindCol(s.stmt, col, type, at(data), 0, static_cast<SQLLEN*>(at(ind))),
              SQL_SUCCESS);
  };
  bind(1, SQL_C_TYPE_DATE, offsetof(Row, date), offsetof(Row, dateInd));
  bind(2, SQL_C_TYPE_TIMESTAMP, offsetof(Row, stamp), offsetof(Row, stampInd));
  ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
  Row got[2];
  std::memcpy(got, rows.data() + 1, sizeof got);
  EXPECT_EQ(got[0].dateInd, 6);
  EXPECT_EQ(got[0].date.year, 2024);
  EXPECT_EQ(got[0].date.month, 3);
  EXPECT_EQ(got[0].date.day, 7);
  EXPECT_EQ(got[1].dateInd, SQL_NULL_DATA);
  EXPECT_EQ(got[0].stampInd, 16);
  EXPECT_EQ(got[0].stamp.hour, 13);
  EXPECT_EQ(got[0].stamp.second, 59);
  EXPECT_EQ(got[0].stamp.fraction, 123456789u);
  EXPECT_EQ(got[1].stamp.year, -44);

  // The timestamp column as a time, the UTC one as a timestamp.
  ASSERT_EQ(QVOBindCol(s.stmt, 1, SQL_C_TYPE_DATE, nullptr, 0, nullptr), SQL_SUCCESS);
  bind(2, SQL_C_TYPE_TIME, offsetof(Row, time), offsetof(Row, timeInd));
  bind(3, QVO_TYPE_TIMESTAMP_UTC, offsetof(Row, utc), offsetof(Row, utcInd));
  ASSERT_EQ(QVOFetchScroll(s.stmt, SQL_FETCH_FIRST, 0), SQL_SUCCESS);
  std::memcpy(got, rows.data() + 1, sizeof got);
  EXPECT_EQ(got[0].timeInd, 6);
  EXPECT_EQ(got[0].time.hour, 13);
  EXPECT_EQ(got[0].time.minute, 45);
  EXPECT_EQ(got[0].time.second, 59);
  EXPECT_EQ(got[0].utcInd, 16);
  EXPECT_EQ(got[0].utc.hour, 13);
  EXPECT_EQ(got[0].utc.fraction, 1u);
  EXPECT_EQ(got[1].utcInd, SQL_NULL_DATA);
}

// A column binding stays until the application unbinds it: a result with
// fewer columns, seen or drained by a close or a new execution, leaves the
// bindings past it untouched and in place for the next result, and a binding
// past the result's columns never fails the fetch.
TEST(FetchTextApi, BindingsStayUntilUnbound) {
  enum Call { Wide, Narrow, WideThenNarrow, Fetch, Close, Unbind, UnbindThird };
  struct Step {
    Call call;
    std::string want;  // Fetch: the three bound buffers, "-" untouched
  };
  struct Case {
    const char* name;
    std::vector<SQLUSMALLINT> bound;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"a narrower result in between",
       {1, 2, 3},
       {{Wide, ""},
        {Fetch, "a0|b0|c0"},
        {Narrow, ""},
        {Fetch, "p0|-|-"},
        {Wide, ""},
        {Fetch, "a0|b0|c0"}}},
      {"a narrower result drained by a close",
       {2, 3},
       {{WideThenNarrow, ""}, {Fetch, "-|b0|c0"}, {Close, ""}, {Wide, ""}, {Fetch, "-|b0|c0"}}},
      {"a narrower result drained by the next execution",
       {2, 3},
       {{WideThenNarrow, ""}, {Fetch, "-|b0|c0"}, {Wide, ""}, {Fetch, "-|b0|c0"}}},
      {"bound past the result's columns",
       {1, 2, 3},
       {{Narrow, ""}, {Fetch, "p0|-|-"}, {Fetch, "p1|-|-"}}},
      {"unbound by the application",
       {1, 2, 3},
       {{Wide, ""},
        {UnbindThird, ""},
        {Fetch, "a0|b0|-"},
        {Unbind, ""},
        {Fetch, "-|-|-"},
        {Wide, ""},
        {Fetch, "-|-|-"}}},
  };
  const auto column = [](const char* name) { return r::Column::Char(name, 4, 4, r::kVarying); };
  fake::Table wide;
  wide.columns = {column("a"), column("b"), column("c")};
  wide.rows = 2;
  wide.value = [](int64_t row, size_t c) {
    return Value::Text(std::string(1, static_cast<char>('a' + c)) + std::to_string(row));
  };
  fake::Table narrow;
  narrow.columns = {column("p")};
  narrow.rows = 2;
  narrow.value = [](int64_t row, size_t) { return Value::Text("p" + std::to_string(row)); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session s;
    s.MakeStatement();
    s.node.ServeTable("WIDE", wide);
    s.node.ServeTable("NARROW", narrow);
    s.node.OnSql("WIDE THEN NARROW",
                 r::Answer({r::ResultSet(-3, wide.columns, 2, 2, wide.Block(0, 2)),
                            r::ResultSet(-3, narrow.columns, 2, 2, narrow.Block(0, 2))}));
    char data[3][8] = {};
    SQLLEN indicators[3] = {};
    for (SQLUSMALLINT col : c.bound) {
      ASSERT_EQ(QVOBindCol(s.stmt, col, SQL_C_CHAR, data[col - 1], 8, &indicators[col - 1]),
                SQL_SUCCESS);
    }
    const auto exec = [&](const char* sql) {
      return QVOExecDirect(s.stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
    };
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(i);
      const Step& st = c.steps[i];
      SQLRETURN rc = SQL_ERROR;
      switch (st.call) {
        case Wide:
          rc = exec("WIDE");
          break;
        case Narrow:
          rc = exec("NARROW");
          break;
        case WideThenNarrow:
          rc = exec("WIDE THEN NARROW");
          break;
        case Close:
          rc = QVOCloseCursor(s.stmt);
          break;
        case Unbind:
          rc = QVOFreeStmt(s.stmt, SQL_UNBIND);
          break;
        case UnbindThird:
          rc = QVOBindCol(s.stmt, 3, SQL_C_CHAR, nullptr, 0, nullptr);
          break;
        case Fetch: {
          for (int k = 0; k < 3; ++k) {
            std::strcpy(data[k], "-");
            indicators[k] = -777;
          }
          rc = QVOFetch(s.stmt);
          std::string got;
          for (int k = 0; k < 3; ++k) {
            if (k) got += "|";
            got += data[k];
          }
          EXPECT_EQ(got, st.want);
          for (int k = 0; k < 3; ++k) {
            if (std::string(data[k]) == "-") {
              EXPECT_EQ(indicators[k], -777) << k;
            } else {
              EXPECT_EQ(indicators[k], 2) << k;
            }
          }
          break;
        }
      }
      EXPECT_EQ(rc, SQL_SUCCESS) << (s.Records().empty() ? "" : s.Records()[0].state);
    }
  }
}

// A statement made under a locale whose decimal separator is a comma writes
// decimals and doubles with it. The locale is generated by the test command
// (QVO_TEST_LOCPATH), not taken from the host.
TEST(FetchTextApi, CommaLocale) {
  const char* dir = std::getenv("QVO_TEST_LOCPATH");
  if (dir == nullptr) GTEST_SKIP() << "run through ctest, which generates the locale";
  ASSERT_EQ(setenv("LOCPATH", dir, 1), 0);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  {
    Session s;
    s.Execute({r::Column::Decimal("d", 12, 2), r::Column::Double("f")},
              {{Value::Int64(12345)}, {Value::Double(0.5)}});
    Bound d(s.stmt, 1, SQL_C_CHAR, 16, 1), f(s.stmt, 2, SQL_C_WCHAR, 16, 1);
    EXPECT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
    EXPECT_EQ(d.Text(0), "123,45");
    EXPECT_EQ(f.Wide(0), u"0,5");
  }
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
}

}  // namespace
