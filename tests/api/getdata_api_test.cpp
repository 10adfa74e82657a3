// QVOGetData through the exported functions against tables the fake node
// serves: pieces of character, binary and wide values, length queries, the
// argument checks, the current row after a rowset fetch and after SetPos,
// and values decided as the bound fetch decides them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "api/api_session.h"
#include "support/fake_prepared.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

namespace r = fake::results;
using r::Value;

constexpr char kSql[] = "SELECT * FROM T";

SQLPOINTER IntArg(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

// Serves one table whose column c holds rows[c] and executes it.
void Serve(api::Session& s, std::vector<r::Column> columns, std::vector<std::vector<Value>> rows,
           fake::Blocks blocks = {}) {
  fake::Table t;
  t.columns = std::move(columns);
  t.rows = static_cast<int64_t>(rows[0].size());
  t.value = [rows](int64_t row, size_t c) { return rows[c][static_cast<size_t>(row)]; };
  s.node.ServeTable(kSql, t, blocks);
  ASSERT_EQ(s.Exec(kSql), SQL_SUCCESS);
}

const r::Column kUtf8 = r::Column::Char("t", 40, 160, r::kVarying | r::kUtf8);

struct Piece {
  SQLRETURN rc;
  SQLLEN indicator;
  std::string bytes;  // the piece's bytes; its terminator follows them
};

// ASCII text as UTF-16 in host order.
std::string W(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    const char16_t u = static_cast<unsigned char>(c);
    out.append(reinterpret_cast<const char*>(&u), 2);
  }
  return out;
}

// Reads column 1 in pieces of bufferLength bytes until 100 (and one more);
// each piece keeps the whole buffer as written.
std::vector<Piece> ReadPieces(api::Session& s, SQLSMALLINT cType, SQLLEN bufferLength) {
  std::vector<Piece> out;
  for (int guard = 0; guard < 40; ++guard) {
    std::vector<char> buf(static_cast<size_t>(bufferLength) + 8, '#');
    SQLLEN ind = -777;
    const SQLRETURN rc = QVOGetData(s.stmt, 1, cType, buf.data(), bufferLength, &ind);
    EXPECT_EQ(buf[static_cast<size_t>(bufferLength)], '#') << "written past BufferLength";
    if (rc == SQL_NO_DATA) {
      out.push_back({rc, ind, ""});
      break;
    }
    out.push_back({rc, ind, std::string(buf.data(), static_cast<size_t>(bufferLength))});
  }
  return out;
}

TEST(GetDataApi, CharacterValuesComeInPieces) {
  struct Case {
    const char* name;
    std::string value;  // UTF-8, as the node sends it
    SQLSMALLINT cType;
    SQLLEN bufferLength;
    std::vector<Piece> expected;
    const char* codeSet = "UTF-8";      // of the application's data
    const char* wideCodeSet = nullptr;  // of wide data (null: UTF-16 in host order)
    SQLULEN maxLength = 0;              // SQL_ATTR_MAX_LENGTH
    // A column of another type, and its value (value above unused).
    r::Column column = kUtf8;
    std::optional<Value> typed = std::nullopt;
  };
  const std::string abEcd = std::string("ab\xC3\xA9") + "cd";
  const std::vector<Piece> abEcdPieces = {{1, 6, "ab"},
                                          {1, 4,
                                           "\xC3\xA9"
                                           "c"},
                                          {0, 1, "d"}};
  // "a😀b": U+1F600 is a surrogate pair in UTF-16.
  const std::string aPairB = std::string("a\xF0\x9F\x98\x80") + "b";
  const std::string pairLE("\x3D\xD8\x00\xDE", 4);
  const std::string bom32("\xFF\xFE\0\0", 4);
  auto u32 = [](char c) { return std::string(1, c) + std::string(3, '\0'); };
  const std::vector<Case> cases = {
      {"narrow",
       "0123456789",
       SQL_C_CHAR,
       4,
       {{1, 10, "012"}, {1, 7, "345"}, {1, 4, "678"}, {0, 1, "9"}, {100, -777, ""}}},
      {"binary",
       "0123456789",
       SQL_C_BINARY,
       4,
       {{1, 10, "012"}, {1, 7, "345"}, {1, 4, "678"}, {0, 1, "9"}, {100, -777, ""}}},
      {"whole", "0123456789", SQL_C_CHAR, 11, {{0, 10, "0123456789"}, {100, -777, ""}}},
      {"one short", "0123456789", SQL_C_CHAR, 10, {{1, 10, "012345678"}, {0, 1, "9"}}},
      {"empty", "", SQL_C_CHAR, 1, {{0, 0, ""}, {100, -777, ""}}},
      {"wide", "abcde", SQL_C_WCHAR, 8, {{1, 10, W("abc")}, {0, 4, W("de")}, {100, -777, ""}}},
      {"wide whole", "abcde", SQL_C_WCHAR, 12, {{0, 10, W("abcde")}, {100, -777, ""}}},
      // A cut never splits a character of the code set the text is in:
      // "é" is two bytes in UTF-8, binary pieces included.
      {"utf-8 boundary", abEcd, SQL_C_CHAR, 4, abEcdPieces},
      {"utf-8 boundary, binary", abEcd, SQL_C_BINARY, 4, abEcdPieces},
      // 日本語: two bytes a character in these double-byte sets.
      {"shift-jis",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
       SQL_C_CHAR,
       4,
       {{1, 6, "\x93\xFA"}, {1, 4, "\x96\x7B"}, {0, 2, "\x8C\xEA"}, {100, -777, ""}},
       "SHIFT_JIS"},
      {"euc-jp",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
       SQL_C_CHAR,
       4,
       {{1, 6, "\xC6\xFC"}, {1, 4, "\xCB\xDC"}, {0, 2, "\xB8\xEC"}, {100, -777, ""}},
       "EUC-JP"},
      {"one byte a character",
       "caf\xC3\xA9",
       SQL_C_CHAR,
       4,
       {{1, 4, "caf"}, {0, 1, "\xE9"}, {100, -777, ""}},
       "ISO-8859-1"},
      // UTF-16 as the narrow code set: a surrogate pair (U+1F600) is one
      // character.
      {"utf-16 surrogate pair",
       aPairB,
       SQL_C_CHAR,
       5,
       {{1, 8, W("a")}, {1, 6, pairLE}, {0, 2, W("b")}, {100, -777, ""}},
       "UTF-16LE"},
      // UTF-32 with its byte-order mark: the mark ends a piece of its own,
      // and no piece ends inside a character.
      {"utf-32 with its byte-order mark",
       "abc",
       SQL_C_CHAR,
       7,
       {{1, 16, bom32}, {1, 12, u32('a')}, {1, 8, u32('b')}, {0, 4, u32('c')}, {100, -777, ""}},
       "UTF-32"},
      {"wide surrogate pair",
       aPairB,
       SQL_C_WCHAR,
       6,
       {{1, 8, W("a")}, {1, 6, pairLE}, {0, 2, W("b")}, {100, -777, ""}}},
      // Wide data in another byte order: the pair is kept whole there too.
      {"wide surrogate pair, big-endian",
       aPairB,
       SQL_C_WCHAR,
       6,
       {{1, 8, std::string("\0a", 2)},
        {1, 6, std::string("\xD8\x3D\xDE\x00", 4)},
        {0, 2, std::string("\0b", 2)},
        {100, -777, ""}},
       "UTF-8",
       "UTF-16BE"},
      // SQL_ATTR_MAX_LENGTH narrows every piece, but a piece it leaves no
      // whole character holds the next one when the caller's buffer does:
      // the read always ends, and the cap never makes a length query.
      {"max length 2, shift-jis",
       "ab\xE6\x97\xA5",
       SQL_C_CHAR,
       100,
       {{1, 4, "a"}, {1, 3, "b"}, {0, 2, "\x93\xFA"}, {100, -777, ""}},
       "SHIFT_JIS",
       nullptr,
       2},
      {"max length 3, utf-32",
       "ab",
       SQL_C_CHAR,
       100,
       {{1, 8, u32('a')}, {0, 4, u32('b')}, {100, -777, ""}},
       "UTF-32LE",
       nullptr,
       3},
      {"max length 1, utf-8",
       "a\xC3\xA9",
       SQL_C_CHAR,
       100,
       {{1, 3, "a"}, {0, 2, "\xC3\xA9"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       1},
      {"max length 1, binary",
       "ab",
       SQL_C_BINARY,
       100,
       {{1, 2, "a"}, {0, 1, "b"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       1},
      {"max length 1, wide",
       "ab",
       SQL_C_WCHAR,
       100,
       {{1, 4, W("a")}, {0, 2, W("b")}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       1},
      {"max length 3, wide surrogate pair",
       aPairB,
       SQL_C_WCHAR,
       100,
       {{1, 8, W("a")}, {1, 6, pairLE}, {0, 2, W("b")}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       3},
      // Only the caller's own buffer too small for a character gives an
      // empty piece: the caller can grow it.
      {"buffer too small for a character",
       "\xE6\x97\xA5",
       SQL_C_CHAR,
       2,
       {{1, 2, ""}, {1, 2, ""}},
       "SHIFT_JIS"},
      // The text of a value of any other type comes in pieces as well, so
      // that reading until 100 ends; the first piece is the fetch's cut
      // (a number cut right after its point drops the point, a cut into its
      // integer digits is 22003 and hands out nothing), and
      // SQL_ATTR_MAX_LENGTH does not narrow it.
      {"double",
       "",
       SQL_C_CHAR,
       5,
       {{1, 9, "1.23"}, {1, 5, "4567"}, {0, 1, "8"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       2,
       r::Column::Double("d"),
       Value::Double(1.2345678)},
      {"double whole",
       "",
       SQL_C_CHAR,
       64,
       {{0, 3, "1.5"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Double("d"),
       Value::Double(1.5)},
      {"double, wide",
       "",
       SQL_C_WCHAR,
       10,
       {{1, 18, W("1.23")}, {1, 10, W("4567")}, {0, 2, W("8")}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Double("d"),
       Value::Double(1.2345678)},
      {"double, binary",
       "",
       SQL_C_BINARY,
       3,
       {{1, 4, "-2"}, {0, 2, ".5"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Double("d"),
       Value::Double(-2.5)},
      {"boolean",
       "",
       SQL_C_CHAR,
       8,
       {{0, 1, "1"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Boolean("b"),
       Value::Bool(true)},
      {"boolean, wide",
       "",
       SQL_C_WCHAR,
       4,
       {{0, 2, W("0")}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Boolean("b"),
       Value::Bool(false)},
      {"date",
       "",
       SQL_C_CHAR,
       5,
       {{1, 10, "2020"}, {1, 6, "-04-"}, {0, 2, "03"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Date("d"),
       Value::Date(3, 4, 2020)},
      {"date, binary",
       "",
       SQL_C_BINARY,
       5,
       {{1, 10, "2020"}, {1, 6, "-04-"}, {0, 2, "03"}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Date("d"),
       Value::Date(3, 4, 2020)},
      {"date, wide",
       "",
       SQL_C_WCHAR,
       14,
       {{1, 20, W("2020-0")}, {0, 8, W("4-03")}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Date("d"),
       Value::Date(3, 4, 2020)},
      {"timestamp",
       "",
       SQL_C_CHAR,
       11,
       {{1, 29, "2020-04-03"}, {1, 19, " 10:20:30."}, {0, 9, "000000000"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Timestamp("t"),
       Value::Timestamp(2020, 4, 3, 10, 20, 30, 0)},
      {"timestamp, wide",
       "",
       SQL_C_WCHAR,
       22,
       {{1, 58, W("2020-04-03")},
        {1, 38, W(" 10:20:30.")},
        {0, 18, W("000000000")},
        {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Timestamp("t"),
       Value::Timestamp(2020, 4, 3, 10, 20, 30, 0)},
      {"decimal",
       "",
       SQL_C_CHAR,
       5,
       {{1, 6, "123"}, {0, 3, ".45"}, {100, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Decimal("n", 10, 2),
       Value::Int64(12345)},
      {"decimal, integer digits lost",
       "",
       SQL_C_CHAR,
       3,
       {{-1, -777, ""}, {-1, -777, ""}},
       "UTF-8",
       nullptr,
       0,
       r::Column::Decimal("n", 10, 2),
       Value::Int64(12345)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    api::Session s;
    ASSERT_EQ(QVOSetStmtAttr(s.stmt, QVO_ANSI_DATA_ENCODING, const_cast<char*>(c.codeSet), SQL_NTS),
              SQL_SUCCESS);
    if (c.wideCodeSet) {
      ASSERT_EQ(QVOSetStmtAttr(s.stmt, QVO_UNICODE_DATA_ENCODING, const_cast<char*>(c.wideCodeSet),
                               SQL_NTS),
                SQL_SUCCESS);
    }
    ASSERT_EQ(
        QVOSetStmtAttr(s.stmt, SQL_ATTR_MAX_LENGTH, IntArg(static_cast<SQLLEN>(c.maxLength)), 0),
        SQL_SUCCESS);
    Serve(s, {c.column}, {{c.typed ? *c.typed : Value::Text(c.value)}});
    ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
    const std::vector<Piece> got = ReadPieces(s, c.cType, c.bufferLength);
    EXPECT_GE(got.size(), c.expected.size());
    const size_t terminator = c.cType == SQL_C_WCHAR ? 2 : 1;
    for (size_t i = 0; i < c.expected.size() && i < got.size(); ++i) {
      SCOPED_TRACE(i);
      const Piece& want = c.expected[i];
      EXPECT_EQ(got[i].rc, want.rc);
      if (want.rc == SQL_NO_DATA || got[i].rc == SQL_NO_DATA) continue;
      if (want.rc == SQL_ERROR) {
        EXPECT_EQ(got[i].bytes, std::string(static_cast<size_t>(c.bufferLength), '#'));
        continue;
      }
      EXPECT_EQ(got[i].indicator, want.indicator);
      EXPECT_EQ(got[i].bytes.substr(0, want.bytes.size()), want.bytes);
      EXPECT_EQ(got[i].bytes.substr(want.bytes.size(), terminator), std::string(terminator, '\0'))
          << "terminator";
    }
  }
}

TEST(GetDataApi, LengthQueriesAndColumnSwitch) {
  api::Session s;
  Serve(s, {kUtf8, kUtf8}, {{Value::Text("0123456789")}, {Value::Text("xyz")}});
  ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
  char buf[8];
  SQLLEN ind = 0;
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, buf, 4, &ind), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(ind, 10);
  // A null target reports what is left; BufferLength 0 the whole value;
  // neither moves the position.
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, nullptr, 4, &ind), SQL_SUCCESS);
  EXPECT_EQ(ind, 7);
  std::memset(buf, '#', sizeof buf);
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, buf, 0, &ind), SQL_SUCCESS);
  EXPECT_EQ(ind, 10);
  EXPECT_EQ(buf[0], '#');
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, buf, 4, &ind), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::string(buf), "345");
  // Another column in between: the first starts over.
  ASSERT_EQ(QVOGetData(s.stmt, 2, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_SUCCESS);
  EXPECT_EQ(std::string(buf), "xyz");
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, buf, 4, &ind), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::string(buf), "012");
  EXPECT_EQ(ind, 10);
}

TEST(GetDataApi, MaxLengthLimitsPieces) {
  api::Session s;
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_MAX_LENGTH, IntArg(5), 0), SQL_SUCCESS);
  Serve(s, {kUtf8}, {{Value::Text("0123456789")}});
  ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
  char buf[100];
  SQLLEN ind = 0;
  EXPECT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::string(buf), "0123");
}

// Values other than pieces are decided by the fetch's conversions.
TEST(GetDataApi, ValuesAsTheFetchDecidesThem) {
  struct Case {
    const char* name;
    r::Column column;
    Value value;
    SQLSMALLINT cType;
    SQLLEN bufferLength;
    bool withIndicator;
    SQLRETURN rc;
    std::string state;
    std::string bytes;  // expected target bytes (rc 0 or 1)
    SQLLEN indicator;
    std::string message = "";  // of a refusal, checked when given
    SQLINTEGER native = 0;
    bool externalConversion = false;  // statement attribute 21093
  };
  auto i32 = [](int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto i64 = [](int64_t v) { return std::string(reinterpret_cast<const char*>(&v), 8); };
  std::vector<Case> cases = {
      {"decimal to sbigint", r::Column::Decimal("d", 18, 0), Value::Int64(-42), SQL_C_SBIGINT, 0,
       true, 0, "", i64(-42), 8},
      {"decimal to slong", r::Column::Decimal("d", 18, 0), Value::Int64(70000), SQL_C_SLONG, 0,
       true, 0, "", i32(70000), 4},
      {"out of range", r::Column::Decimal("d", 18, 0), Value::Int64(70000), SQL_C_SSHORT, 0, true,
       -1, "22003", "", 0},
      {"negative into unsigned", r::Column::Decimal("d", 18, 0), Value::Int64(-1), SQL_C_ULONG, 0,
       true, -1, "22003", "", 0},
      {"text not a number", kUtf8, Value::Text("abc"), SQL_C_SLONG, 0, true, -1, "22018", "", 0},
      {"text number", kUtf8, Value::Text(" +17 "), SQL_C_SLONG, 0, true, 0, "", i32(17), 4},
      {"decimal as text", r::Column::Decimal("d", 18, 2), Value::Int64(-12345), SQL_C_CHAR, 20,
       true, 0, "", std::string("-123.45\0", 8), 7},
      {"decimal cut in its integer digits", r::Column::Decimal("d", 18, 2), Value::Int64(-12345),
       SQL_C_CHAR, 3, true, -1, "22003", "", 0},
      {"date as text", r::Column::Date("d"), Value::Date(7, 3, 2024), SQL_C_CHAR, 11, true, 0, "",
       std::string("2024-03-07\0", 11), 10},
      {"null without indicator", r::Column::Decimal("d", 18, 0), Value::Null(), SQL_C_SLONG, 0,
       false, -1, "22002", "", 0},
      {"null", r::Column::Decimal("d", 18, 0), Value::Null(), SQL_C_SLONG, 0, true, 0, "", "",
       SQL_NULL_DATA},
      {"by reference refused", kUtf8, Value::Text("x"), QVO_VARCHAR_PTR, 8, true, -1, "HY000", "",
       0},
      {"date into bit refused", r::Column::Date("d"), Value::Date(1, 1, 2000), SQL_C_BIT, 1, true,
       -1, "HY000", "", 0},
      // Pairs that GetData refuses although the bound fetch converts them or
      // refuses them otherwise.
      {"boolean into numeric refused", r::Column::Boolean("b"), Value::Bool(true), SQL_C_NUMERIC,
       19, true, -1, "HY000", "", 0,
       "Conversion from Vandrel-Type _BOOLEAN to C-Type SQL_C_NUMERIC not supported.", -1},
      {"null small decimal into date refused", r::Column::SmallDecimal("s", 9, 0), Value::Null(),
       SQL_C_TYPE_DATE, 6, true, -1, "HY000", "", 0,
       "Server returns a data type that is not supported by CLI driver.", 63},
      // The conversion error names the rows fetched so far: 1 on the first.
      {"text that is not UTF-8 as wide text", kUtf8, Value::Text("a\xFF"), SQL_C_WCHAR, 16, true,
       -1, "HY000", "", 0,
       "Character set conversion error or output buffer to small: Cannot convert from UTF-8 to "
       "UTF-16LE: invalid or unconvertible character at byte 1. column 1, cursor position 1, "
       "codepage UTF-16LE.",
       1},
  };
  // With external conversion a DOUBLE still reads as its "%.*G" text (float
  // precision 9), in every width and as binary.
  const r::Column dbl = r::Column::Double("f");
  const struct {
    double value;
    SQLSMALLINT cType;
    std::string bytes;
  } doubles[] = {
      {1.5, SQL_C_CHAR, std::string("1.5\0", 4)},
      {1e20, SQL_C_CHAR, std::string("1E+20\0", 6)},
      {-0.0, SQL_C_CHAR, std::string("0\0", 2)},
      {123.456, SQL_C_CHAR, std::string("123.456\0", 8)},
      {123.456, SQL_C_BINARY, std::string("123.456\0", 8)},
      {1.5, SQL_C_WCHAR, W("1.5") + std::string(2, '\0')},
      {1e20, SQL_C_WCHAR, W("1E+20") + std::string(2, '\0')},
  };
  for (const auto& d : doubles) {
    const SQLLEN unit = d.cType == SQL_C_WCHAR ? 2 : 1;
    cases.push_back({"double as text with external conversion", dbl, Value::Double(d.value),
                     d.cType, 32, true, 0, "", d.bytes, static_cast<SQLLEN>(d.bytes.size()) - unit,
                     "", 0, true});
  }
  for (SQLSMALLINT cType : {SQL_C_DATE, SQL_C_TYPE_DATE, SQL_C_TIME, SQL_C_TYPE_TIME,
                            SQL_C_TIMESTAMP, SQL_C_TYPE_TIMESTAMP, QVO_TYPE_TIMESTAMP_UTC})
    cases.push_back({"small decimal into a date or time refused",
                     r::Column::SmallDecimal("s", 9, 0), Value::Int32(20240307), cType, 16, true,
                     -1, "HY000", "", 0,
                     "Server returns a data type that is not supported by CLI driver.", 63});
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " (row " << &c - cases.data() << ")");
    api::Session s;
    if (c.externalConversion) {
      ASSERT_EQ(QVOSetStmtAttr(s.stmt, 21093, IntArg(1), 0), SQL_SUCCESS);
    }
    Serve(s, {c.column}, {{c.value}});
    ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
    std::vector<char> buf(40, '#');
    SQLLEN ind = -777;
    const SQLRETURN rc = QVOGetData(s.stmt, 1, c.cType, buf.data(), c.bufferLength,
                                    c.withIndicator ? &ind : nullptr);
    EXPECT_EQ(rc, c.rc) << c.cType;
    EXPECT_EQ(s.State(), c.state);
    if (!c.message.empty()) {
      const std::vector<api::Record> rec = s.Records();
      ASSERT_EQ(rec.size(), 1u);
      EXPECT_NE(rec[0].text.find(c.message), std::string::npos) << rec[0].text;
      EXPECT_EQ(rec[0].native, c.native);
      EXPECT_EQ(ind, -777) << "a refusal writes no indicator";
    }
    if (rc != SQL_ERROR) {
      EXPECT_EQ(std::string(buf.data(), c.bytes.size()), c.bytes);
      EXPECT_EQ(buf[c.bytes.size()], '#') << "written past the value";
      EXPECT_EQ(ind, c.indicator);
    }
  }
}

// The pairs GetData refuses on its own stay the bound fetch's as they were.
TEST(GetDataApi, TheBoundFetchKeepsItsOwnCells) {
  {
    api::Session s;
    Serve(s, {r::Column::Boolean("b")}, {{Value::Bool(true)}});
    SQL_NUMERIC_STRUCT n = {};
    SQLLEN ind = 0;
    ASSERT_EQ(QVOBindCol(s.stmt, 1, SQL_C_NUMERIC, &n, sizeof n, &ind), SQL_SUCCESS);
    EXPECT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
    EXPECT_EQ(n.val[0], 1);
    EXPECT_EQ(n.sign, 1);
  }
  {
    api::Session s;
    Serve(s, {r::Column::SmallDecimal("s", 9, 0)}, {{Value::Int32(5)}});
    SQL_DATE_STRUCT d = {};
    SQLLEN ind = 0;
    ASSERT_EQ(QVOBindCol(s.stmt, 1, SQL_C_TYPE_DATE, &d, sizeof d, &ind), SQL_SUCCESS);
    EXPECT_EQ(QVOFetch(s.stmt), SQL_ERROR);
    const std::vector<api::Record> rec = s.Records();
    ASSERT_EQ(rec.size(), 1u);
    EXPECT_NE(
        rec[0].text.find(
            "Conversion from Vandrel-Type _SMALLDECIMAL to C-Type SQL_C_TYPE_DATE not supported."),
        std::string::npos)
        << rec[0].text;
    EXPECT_EQ(rec[0].native, -1);
  }
}

TEST(GetDataApi, ArgumentChecks) {
  api::Session s;
  Serve(s, {r::Column::Decimal("a", 18, 0), r::Column::Decimal("b", 18, 0)},
        {{Value::Int64(1)}, {Value::Int64(2)}});
  SQLBIGINT v = 0;
  SQLLEN ind = 0;
  // Before the first fetch there is no current row.
  EXPECT_EQ(QVOGetData(s.stmt, 1, SQL_C_SBIGINT, &v, 0, &ind), SQL_ERROR);
  EXPECT_EQ(s.State(), "24000");
  ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
  struct Case {
    SQLUSMALLINT column;
    SQLSMALLINT cType;
    SQLLEN bufferLength;
    std::string state;
    SQLINTEGER native;
  };
  const Case cases[] = {
      {0, SQL_C_SBIGINT, 0, "07009", -1},       {3, SQL_C_SBIGINT, 0, "HY000", -1},
      {40000, SQL_C_SBIGINT, 0, "HY000", -1},   {1, SQL_C_SBIGINT, -1, "HY090", -1},
      {1, SQL_C_GUID, 16, "HY000", SQL_C_GUID}, {1, 3, 16, "HY000", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    EXPECT_EQ(QVOGetData(s.stmt, c.column, c.cType, &v, c.bufferLength, &ind), SQL_ERROR);
    const std::vector<api::Record> rec = s.Records();
    ASSERT_EQ(rec.size(), 1u);
    EXPECT_EQ(rec[0].state, c.state);
    EXPECT_EQ(rec[0].native, c.native);
  }
  // A DECIMAL column's default C type is text.
  char text[8] = {};
  EXPECT_EQ(QVOGetData(s.stmt, 2, SQL_C_DEFAULT, text, sizeof text, &ind), SQL_SUCCESS);
  EXPECT_EQ(std::string(text), "2");
}

// The current row, step by step: the last row of the rowset, or the row
// SetPos chose in it, whichever blocks the rowset's rows came in; its number
// in the whole result (the row number attribute) and in a conversion error's
// message; no row to choose once the cursor went back before the first row
// or a fetch found no rows; no result set to scroll in. Every step leaves
// exactly its own records: none for 0, one for -1.
TEST(GetDataApi, CurrentRow) {
  enum Call {
    Fetch,
    Prior,
    Absolute,
    Last,
    NextResult,
    Execute,
    SetPos,
    CursorRow,
    Text,
    Wide,
    RowNumber,
    Columns,
    RowCount
  };
  struct Step {
    Call call;
    SQLLEN arg;  // SetPos: the row; CursorRow: the row number; Text and Wide: the column
    SQLRETURN rc;
    // Text: the value read ("NULL" for NULL); RowNumber, Columns and
    // RowCount: the number; a failure or a 100 with a record: its SQLSTATE
    // (Wide: its text).
    std::string want;
  };
  struct Case {
    const char* name;
    std::function<void(api::Session&)> open;  // serves a result and executes
    SQLULEN rowset;
    std::vector<Step> steps;
    bool bound = false;  // column 1 bound, else nothing
  };
  // Column 1 "r<row>", column 2 the row number; NULL in every nullEvery-th row.
  const auto sample = [](int64_t rows, fake::Blocks blocks, int64_t nullEvery = 0) {
    return [=](api::Session& s) {
      s.node.ServeTable(kSql,
                        fake::Table::Sample({r::Column::Char("t", 8, 8, r::kVarying),
                                             r::Column::Decimal("n", 18, 0)},
                                            rows, nullEvery),
                        blocks);
      ASSERT_EQ(s.Exec(kSql), SQL_SUCCESS);
    };
  };
  const std::string kBadText =
      "Character set conversion error or output buffer to small: Cannot convert from UTF-8 to "
      "UTF-16LE: invalid or unconvertible character at byte 1. column 1, cursor position ";
  std::vector<Case> cases = {
      {"last row of the rowset, the row chosen, the next rowset",
       sample(6, {}),
       3,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {Text, 2, SQL_SUCCESS, "2"},
        {RowNumber, 0, SQL_SUCCESS, "3"},
        {SetPos, 1, SQL_SUCCESS, ""},
        {Text, 2, SQL_SUCCESS, "0"},
        {RowNumber, 0, SQL_SUCCESS, "1"},
        {SetPos, 2, SQL_SUCCESS, ""},
        {RowNumber, 0, SQL_SUCCESS, "2"},
        {Text, 1, SQL_SUCCESS, "r1"},
        // The next fetch goes on after the rowset, not after the row chosen.
        {Fetch, 0, SQL_SUCCESS, ""},
        {Text, 2, SQL_SUCCESS, "5"},
        {RowNumber, 0, SQL_SUCCESS, "6"},
        {SetPos, 1, SQL_SUCCESS, ""},
        {RowNumber, 0, SQL_SUCCESS, "4"},
        {Text, 1, SQL_SUCCESS, "r3"},
        {SetPos, 4, SQL_ERROR, "HY109"},
        // The cursor set by its private attribute: the current row is the
        // one it names, no longer the one chosen, and the fetch goes on after it.
        {CursorRow, 5, SQL_SUCCESS, ""},
        {RowNumber, 0, SQL_SUCCESS, "5"},
        {Text, 2, SQL_SUCCESS, "4"},
        {Fetch, 0, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r5"},
        {Fetch, 0, SQL_NO_DATA, ""},
        {SetPos, 1, SQL_ERROR, "24000"}}},
      // The rowset's first rows came inline, the rest in the block the fetch
      // asked for (once with a column bound, once without).
      {"rowset over two blocks",
       sample(10, {2, 0, 0}),
       3,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r2"},
        {SetPos, 1, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r0"},
        {Text, 2, SQL_SUCCESS, "0"},
        {SetPos, 2, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r1"},
        {RowNumber, 0, SQL_SUCCESS, "2"},
        {SetPos, 3, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r2"},
        {Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 1, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r3"}},
       true},
      // Blocks of two rows, rowsets of five: each rowset spans three blocks,
      // the second only fetched ones; rows 3 and 7 are NULL.
      {"rowset over three blocks",
       sample(10, fake::Blocks::OfRows(2), 4),
       5,
       {{Fetch, 0, SQL_SUCCESS, ""},  {SetPos, 1, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r0"}, {SetPos, 3, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r2"}, {Text, 2, SQL_SUCCESS, "2"},
        {SetPos, 4, SQL_SUCCESS, ""}, {Text, 2, SQL_SUCCESS, "NULL"},
        {SetPos, 5, SQL_SUCCESS, ""}, {Text, 1, SQL_SUCCESS, "r4"},
        {Fetch, 0, SQL_SUCCESS, ""},  {SetPos, 1, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r5"}, {RowNumber, 0, SQL_SUCCESS, "6"},
        {SetPos, 2, SQL_SUCCESS, ""}, {Text, 2, SQL_SUCCESS, "6"},
        {SetPos, 3, SQL_SUCCESS, ""}, {Text, 1, SQL_SUCCESS, "NULL"},
        {SetPos, 4, SQL_SUCCESS, ""}, {Text, 2, SQL_SUCCESS, "8"},
        {SetPos, 5, SQL_SUCCESS, ""}, {Text, 1, SQL_SUCCESS, "r9"}}},
      // Back before the first row without fetching: no rowset to choose in.
      {"prior right after the first rowset",
       sample(10, {}),
       3,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 2, SQL_SUCCESS, ""},
        {Prior, 0, SQL_SUCCESS, ""},
        {SetPos, 1, SQL_ERROR, "24000"},
        {Text, 1, SQL_ERROR, "24000"},
        {RowNumber, 0, SQL_SUCCESS, "0"},
        {Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 1, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r0"}}},
      {"next result set",
       [](api::Session& s) {
         fake::Table first = fake::Table::Sample({r::Column::Char("t", 8, 8, r::kVarying)}, 4);
         fake::Table second = first;
         second.value = [](int64_t row, size_t) { return Value::Text("s" + std::to_string(row)); };
         s.node.OnSql(kSql,
                      r::Answer({r::ResultSet(-3, first.columns, 4, 4, first.Block(0, 4)),
                                 r::ResultSet(-3, second.columns, 3, 3, second.Block(0, 3))}));
         ASSERT_EQ(s.Exec(kSql), SQL_SUCCESS);
       },
       3,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 1, SQL_SUCCESS, ""},
        {NextResult, 0, SQL_SUCCESS, ""},
        {SetPos, 1, SQL_ERROR, "24000"},
        {Text, 1, SQL_ERROR, "24000"},
        {RowNumber, 0, SQL_SUCCESS, "0"},
        {Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 2, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "s1"}}},
      // A fetch or scroll that found no rows leaves no current row, until
      // one finds rows again; the cursor stays for LAST and ABSOLUTE.
      {"after the end, every row inline",
       sample(3, {}),
       1,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {Fetch, 0, SQL_SUCCESS, ""},
        {Fetch, 0, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r2"},
        {Fetch, 0, SQL_NO_DATA, ""},
        {Text, 1, SQL_ERROR, "24000"},
        {RowNumber, 0, SQL_SUCCESS, "0"},
        {SetPos, 1, SQL_ERROR, "24000"},
        {RowCount, 0, SQL_SUCCESS, "3"},
        {Last, 0, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r2"},
        {RowNumber, 0, SQL_SUCCESS, "3"}}},
      {"after the end, rows in later blocks",
       sample(10, fake::Blocks::OfRows(4)),
       1,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {Absolute, 12, SQL_NO_DATA, ""},
        {Text, 1, SQL_ERROR, "24000"},
        {RowNumber, 0, SQL_SUCCESS, "0"},
        {Absolute, 3, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r2"},
        {RowNumber, 0, SQL_SUCCESS, "3"},
        {Absolute, 11, SQL_NO_DATA, ""},
        {Text, 1, SQL_ERROR, "24000"},
        {RowNumber, 0, SQL_SUCCESS, "0"}}},
      // A row count is no result set: every orientation answers as a fetch
      // does, and none moves the cursor.
      {"scrolling without a result set",
       [](api::Session& s) {
         s.node.OnSql(kSql, r::Answer({r::RowCount(30)}));
         ASSERT_EQ(s.Exec(kSql), SQL_SUCCESS);
       },
       10,
       {{Absolute, 4, SQL_NO_DATA, "HY010"},
        {Last, 0, SQL_NO_DATA, "HY010"},
        {Absolute, 12, SQL_NO_DATA, "HY010"},
        {Prior, 0, SQL_NO_DATA, "HY010"},
        {Fetch, 0, SQL_NO_DATA, "HY010"},
        {RowNumber, 0, SQL_SUCCESS, "0"},
        {RowCount, 0, SQL_SUCCESS, "30"}}},
      // The last result read: no result set is left to describe.
      {"no result after the last",
       [](api::Session& s) {
         fake::Table t = fake::Table::Sample(
             {r::Column::Char("t", 8, 8, r::kVarying), r::Column::Decimal("n", 18, 0)}, 2);
         s.node.OnSql(kSql, r::Answer({r::ResultSet(-3, t.columns, 2, 2, t.Block(0, 2))}));
         ASSERT_EQ(s.Exec(kSql), SQL_SUCCESS);
       },
       1,
       {{Columns, 0, SQL_SUCCESS, "2"},
        {Fetch, 0, SQL_SUCCESS, ""},
        {NextResult, 0, SQL_NO_DATA, ""},
        {Columns, 0, SQL_SUCCESS, "0"},
        {Text, 1, SQL_ERROR, "24000"},
        {Fetch, 0, SQL_NO_DATA, "HY010"}}},
      // A failed fetch leaves no rowset, and SetPos says so with its own
      // record, not the server's of the fetch.
      {"setpos after a fetch the server failed",
       [](api::Session& s) {
         s.node.ServeTable(kSql, fake::Table::Sample({r::Column::Char("t", 8, 8, r::kVarying)}, 10),
                           fake::Blocks{2, 0, 0});
         ASSERT_EQ(s.Exec(kSql), SQL_SUCCESS);
         s.node.Push(r::Answer({r::Exception("block lost", "HY000")}));
       },
       3,
       {{Fetch, 0, SQL_ERROR, "HY000"},
        {SetPos, 1, SQL_ERROR, "24000"},
        {SetPos, 0, SQL_ERROR, "24000"}}},
      {"prepared statement executed again",
       [](api::Session& s) {
         fake::ServePrepared(s.node, kSql, 7, {}, nullptr);
         fake::Table t = fake::Table::Sample({r::Column::Char("t", 8, 8, r::kVarying)}, 4);
         s.node.On(fake::kExecutePrepared, [t](const fake::Request&, fake::FakeNode&) {
           return r::Answer({r::ResultSet(-3, t.columns, 4, 4, t.Block(0, 4))});
         });
         ASSERT_EQ(QVOPrepare(s.stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kSql)), SQL_NTS),
                   SQL_SUCCESS);
         ASSERT_EQ(QVOExecute(s.stmt), SQL_SUCCESS);
       },
       3,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 3, SQL_SUCCESS, ""},
        {Execute, 0, SQL_SUCCESS, ""},
        {SetPos, 1, SQL_ERROR, "24000"},
        {Text, 1, SQL_ERROR, "24000"},
        {Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 2, SQL_SUCCESS, ""},
        {Text, 1, SQL_SUCCESS, "r1"}}},
      // Text that is not UTF-8 cannot become UTF-16: the message names the
      // row chosen, counted in the whole result.
      {"conversion error",
       [](api::Session& s) { Serve(s, {kUtf8}, {std::vector<Value>(6, Value::Text("a\xFF"))}); },
       3,
       {{Fetch, 0, SQL_SUCCESS, ""},
        {Wide, 1, SQL_ERROR, kBadText + "3, codepage UTF-16LE."},
        {SetPos, 1, SQL_SUCCESS, ""},
        {Wide, 1, SQL_ERROR, kBadText + "1, codepage UTF-16LE."},
        {Fetch, 0, SQL_SUCCESS, ""},
        {SetPos, 2, SQL_SUCCESS, ""},
        {Wide, 1, SQL_ERROR, kBadText + "5, codepage UTF-16LE."}}},
  };
  {
    // Rows in several blocks, one row per fetch.
    Case each{"one row per fetch", sample(25, fake::Blocks::OfRows(4)), 1, {}};
    for (int row = 0; row < 25; ++row) {
      each.steps.push_back({Fetch, 0, SQL_SUCCESS, ""});
      each.steps.push_back({Text, 2, SQL_SUCCESS, std::to_string(row)});
    }
    each.steps.push_back({Fetch, 0, SQL_NO_DATA, ""});
    cases.push_back(each);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    api::Session s;
    ASSERT_EQ(
        QVOSetStmtAttr(s.stmt, SQL_ATTR_ROW_ARRAY_SIZE, IntArg(static_cast<SQLLEN>(c.rowset)), 0),
        SQL_SUCCESS);
    std::vector<char> bound(c.rowset * 8);
    std::vector<SQLLEN> indicators(c.rowset);
    if (c.bound) {
      ASSERT_EQ(QVOBindCol(s.stmt, 1, SQL_C_CHAR, bound.data(), 8, indicators.data()), SQL_SUCCESS);
    }
    c.open(s);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& st = c.steps[i];
      SCOPED_TRACE(i);
      std::string got;
      SQLRETURN rc = SQL_ERROR;
      switch (st.call) {
        case Fetch:
          rc = QVOFetch(s.stmt);
          break;
        case Prior:
          rc = QVOFetchScroll(s.stmt, SQL_FETCH_PRIOR, 0);
          break;
        case Absolute:
          rc = QVOFetchScroll(s.stmt, SQL_FETCH_ABSOLUTE, st.arg);
          break;
        case Last:
          rc = QVOFetchScroll(s.stmt, SQL_FETCH_LAST, 0);
          break;
        case NextResult:
          rc = QVOMoreResults(s.stmt);
          break;
        case Execute:
          rc = QVOExecute(s.stmt);
          break;
        case SetPos:
          rc = QVOSetPos(s.stmt, static_cast<SQLSETPOSIROW>(st.arg), SQL_POSITION,
                         SQL_LOCK_NO_CHANGE);
          break;
        case CursorRow: {
          SQLBIGINT row = st.arg;
          rc = QVOSetStmtAttr(s.stmt, 21085, &row, 0);
          break;
        }
        case Text: {
          char text[16] = {};
          SQLLEN ind = 0;
          rc = QVOGetData(s.stmt, static_cast<SQLUSMALLINT>(st.arg), SQL_C_CHAR, text, sizeof text,
                          &ind);
          got = ind == SQL_NULL_DATA ? "NULL" : text;
          break;
        }
        case Wide: {
          SQLWCHAR text[16] = {};
          SQLLEN ind = 0;
          rc = QVOGetData(s.stmt, static_cast<SQLUSMALLINT>(st.arg), SQL_C_WCHAR, text, sizeof text,
                          &ind);
          break;
        }
        case RowNumber: {
          SQLULEN n = 99;
          rc = QVOGetStmtAttr(s.stmt, SQL_ATTR_ROW_NUMBER, &n, 0, nullptr);
          got = std::to_string(n);
          break;
        }
        case Columns: {
          SQLSMALLINT n = 99;
          rc = QVONumResultCols(s.stmt, &n);
          got = std::to_string(n);
          break;
        }
        case RowCount: {
          SQLLEN n = 99;
          rc = QVORowCount(s.stmt, &n);
          got = std::to_string(n);
          break;
        }
      }
      EXPECT_EQ(rc, st.rc) << s.State();
      if (rc != st.rc) break;  // the rest of the case would follow from a wrong state
      const std::vector<api::Record> rec = s.Records();
      if (rc == SQL_ERROR || (rc == SQL_NO_DATA && !st.want.empty())) {
        EXPECT_EQ(rec.size(), 1u);
        if (rec.empty()) break;
        if (st.call == Wide) {
          EXPECT_NE(rec[0].text.find(st.want), std::string::npos) << rec[0].text;
        } else {
          EXPECT_EQ(rec[0].state, st.want);
        }
      } else {
        EXPECT_TRUE(rec.empty()) << rec[0].state;
        if (st.call == Text || st.call == RowNumber || st.call == Columns || st.call == RowCount) {
          EXPECT_EQ(got, st.want);
        }
      }
    }
  }
}

// A row SetPos chooses is read from the start of each value, whatever was
// read of the same column in another row.
TEST(GetDataApi, SetPosStartsEveryValueAfresh) {
  api::Session s;
  ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_ROW_ARRAY_SIZE, IntArg(3), 0), SQL_SUCCESS);
  Serve(s, {kUtf8}, {{Value::Text("first"), Value::Text("second"), Value::Text("third")}});
  ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
  char text[16];
  SQLLEN ind = 0;
  // The current row read whole, then the first in part: the rows chosen next
  // still come whole.
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, text, sizeof text, &ind), SQL_SUCCESS);
  EXPECT_STREQ(text, "third");
  ASSERT_EQ(QVOSetPos(s.stmt, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, text, 3, &ind), SQL_SUCCESS_WITH_INFO);
  EXPECT_STREQ(text, "fi");
  ASSERT_EQ(QVOSetPos(s.stmt, 2, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, text, sizeof text, &ind), SQL_SUCCESS);
  EXPECT_STREQ(text, "second");
  EXPECT_EQ(ind, 6);
  ASSERT_EQ(QVOSetPos(s.stmt, 2, SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_SUCCESS);
  ASSERT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, text, sizeof text, &ind), SQL_SUCCESS);
  EXPECT_STREQ(text, "second");
}

// Both widths on one value: once its last piece is out, every call on the
// column gives 100 in either width (and as binary); a value read in part
// starts over in the other width, whose text the kept one's positions do not
// count. Texts of four bytes a character (UTF-32, with its byte-order mark)
// start over whole.
TEST(GetDataApi, PiecesInBothWidths) {
  struct Step {
    SQLSMALLINT cType;
    SQLLEN bufferLength;
    SQLRETURN rc;
    SQLLEN indicator;  // 0 and 1 only; -1: the narrow text's whole length
  };
  constexpr SQLLEN kNarrow = -1;
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"narrow whole, then wide",
       {{SQL_C_CHAR, 300, 0, kNarrow},
        {SQL_C_CHAR, 300, 100, 0},
        {SQL_C_WCHAR, 300, 100, 0},
        {SQL_C_BINARY, 300, 100, 0}}},
      {"wide whole, then narrow",
       {{SQL_C_WCHAR, 300, 0, 20}, {SQL_C_WCHAR, 300, 100, 0}, {SQL_C_CHAR, 300, 100, 0}}},
      {"narrow in part, then wide from the start",
       {{SQL_C_CHAR, 5, 1, kNarrow},
        {SQL_C_WCHAR, 300, 0, 20},
        {SQL_C_WCHAR, 300, 100, 0},
        {SQL_C_CHAR, 300, 100, 0},
        // A length query still tells the whole length in its width.
        {SQL_C_CHAR, 0, 0, kNarrow},
        {SQL_C_CHAR, 300, 100, 0}}},
      {"wide in part, then narrow from the start",
       {{SQL_C_WCHAR, 8, 1, 20},
        {SQL_C_CHAR, 300, 0, kNarrow},
        {SQL_C_CHAR, 300, 100, 0},
        {SQL_C_WCHAR, 300, 100, 0}}},
  };
  const std::u16string whole = u"abcdefghij";
  for (const char* codeSet : {"", "UTF-32LE", "UTF-32"}) {
    const SQLLEN narrowLength = *codeSet == 0 ? 10 : std::string(codeSet) == "UTF-32" ? 44 : 40;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + codeSet);
      api::Session s;
      if (*codeSet) {
        ASSERT_EQ(
            QVOSetStmtAttr(s.stmt, QVO_ANSI_DATA_ENCODING, const_cast<char*>(codeSet), SQL_NTS),
            SQL_SUCCESS);
      }
      Serve(s, {kUtf8}, {{Value::Text("abcdefghij")}});
      ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
      for (size_t i = 0; i < c.steps.size(); ++i) {
        SCOPED_TRACE(i);
        const Step& step = c.steps[i];
        std::vector<char16_t> buf(150, u'#');
        SQLLEN ind = -777;
        EXPECT_EQ(QVOGetData(s.stmt, 1, step.cType, buf.data(), step.bufferLength, &ind), step.rc);
        if (step.rc == SQL_NO_DATA) continue;
        EXPECT_EQ(ind, step.indicator == kNarrow ? narrowLength : step.indicator);
        if (step.cType == SQL_C_WCHAR && step.rc == SQL_SUCCESS) {
          EXPECT_EQ(std::u16string(buf.data()), whole);
        }
      }
    }
  }
}

// With full logging each call ends with its line: a piece shows the
// BufferLength that maxLength left of it, a call without an indicator the
// length it took.
TEST(GetDataApi, ExitLogLine) {
  FILE* stream = tmpfile();
  ASSERT_NE(stream, nullptr);
  {
    api::Session s;
    ASSERT_EQ(QVOSetConnectAttr(s.dbc, QVO_LOG_FILE, stream, 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetConnectAttr(s.dbc, QVO_LOG_FULL, IntArg(1), 0), SQL_SUCCESS);
    SQLHANDLE stmt = SQL_NULL_HANDLE;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, s.dbc, &stmt), SQL_SUCCESS);
    std::swap(stmt, s.stmt);
    ASSERT_EQ(QVOSetStmtAttr(s.stmt, SQL_ATTR_MAX_LENGTH, IntArg(5), 0), SQL_SUCCESS);
    Serve(s, {kUtf8, r::Column::Decimal("d", 12, 2)},
          {{Value::Text("0123456789")}, {Value::Int64(12345)}});
    ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
    char buf[100];
    SQLLEN ind = 0;
    EXPECT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(QVOGetData(s.stmt, 2, SQL_C_CHAR, buf, sizeof buf, nullptr), SQL_SUCCESS);
  }
  std::string log;
  std::rewind(stream);
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, stream)) > 0;) log.append(chunk, n);
  std::fclose(stream);
  EXPECT_NE(log.find(" === ColumnNumber=1, BufferLength=5, TargetValue=0x"), std::string::npos)
      << log;
  EXPECT_NE(log.find("*StrLen_or_Ind=10, TargetType=1, QVOType="), std::string::npos);
  EXPECT_NE(log.find(" === ColumnNumber=2, BufferLength=100, TargetValue=0x"), std::string::npos);
  EXPECT_NE(log.find("StrLen_or_Ind=0x0, *StrLen_or_Ind=6, TargetType=1, QVOType="),
            std::string::npos);
}

TEST(GetDataApi, NullCharacterValues) {
  api::Session s;
  ASSERT_EQ(QVOSetConnectAttr(s.dbc, 21057, const_cast<char*>("Y"), SQL_NTS),
            SQL_SUCCESS);  // strings not NULL
  SQLHANDLE stmt = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, s.dbc, &stmt), SQL_SUCCESS);
  std::swap(stmt, s.stmt);
  Serve(s, {kUtf8}, {{Value::Null()}});
  ASSERT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
  char buf[4] = {'#', '#', '#', '#'};
  SQLLEN ind = 0;
  EXPECT_EQ(QVOGetData(s.stmt, 1, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_SUCCESS);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(ind, 0);
  buf[0] = '#';
  EXPECT_EQ(QVOGetData(s.stmt, 1, SQL_C_BINARY, buf, sizeof buf, &ind), SQL_SUCCESS);
  EXPECT_EQ(buf[0], '#');
  EXPECT_EQ(ind, SQL_NULL_DATA);
}

}  // namespace
