// Cells of the narrow character targets (SQL_C_CHAR, SQL_C_BINARY, 429):
// every server type with generous, exact, short, zero and length-only
// buffers, checking the bytes written, the guard bytes behind, the length
// slot and the outcome of the row.
#include <cmath>
#include <limits>

#include "fetch/cell_test_support.h"

using namespace cells;

namespace {

using O = qvoCellOutcome;

const Case kCases[] = {
    // Booleans: the words, cut like any text (never silently).
    {"true", kBool, Bool(true), 10, Z("1"), 1, O::Ok},
    {"false", kBool, Bool(false), 10, Z("0"), 1, O::Ok},
    {"word generous", kBool, Bool(true), 10, Z("TRUE"), 4, O::Ok, Words("TRUE", "FALSE")},
    {"word exact", kBool, Bool(true), 5, Z("TRUE"), 4, O::Ok, Words("TRUE", "FALSE")},
    {"word short", kBool, Bool(true), 3, Z("TR"), 4, O::Truncated, Words("TRUE", "FALSE")},
    {"word zero", kBool, Bool(false), 0, "", 5, O::Truncated, Words("TRUE", "FALSE")},
    {"word length only", kBool, Bool(false), kLengthOnly, "", 5, O::Ok, Words("TRUE", "FALSE")},
    {"word cut before a multibyte character", kBool, Bool(false), 3, Z("n"), 5, O::Truncated,
     Words("ja", "n\xC3\xA4in")},
    {"word of one byte into one byte", kBool, Bool(true), 1, Z(""), 1, O::Truncated},

    // Decimals: exact text with the scale; fraction digits may be cut
    // (01004), integer digits never (22003, nothing written).
    {"decimal generous", kDec2, Dec(12345), 16, Z("123.45"), 6, O::Ok},
    {"decimal exact", kDec2, Dec(12345), 7, Z("123.45"), 6, O::Ok},
    {"decimal one fraction digit", kDec2, Dec(12345), 6, Z("123.4"), 6, O::Truncated},
    {"decimal cut at the separator", kDec2, Dec(12345), 5, Z("123"), 6, O::Truncated},
    {"decimal integer part only", kDec2, Dec(12345), 4, Z("123"), 6, O::Truncated},
    {"decimal integer digit lost", kDec2, Dec(12345), 3, "", kUntouched, O::OutOfRange},
    {"decimal sign counts", kDec2, Dec(-12345), 4, "", kUntouched, O::OutOfRange},
    {"decimal negative", kDec2, Dec(-12345), 8, Z("-123.45"), 7, O::Ok},
    {"decimal zero buffer", kDec2, Dec(12345), 0, "", 6, O::Truncated},
    {"decimal length only", kDec2, Dec(12345), kLengthOnly, "", 6, O::Ok},
    {"decimal trailing zeros", kDec2, Dec(12300), 16, Z("123"), 3, O::Ok},
    {"decimal below one", kDec2, Dec(-5), 16, Z("-0.05"), 5, O::Ok},
    {"decimal scale 0", kDec0, Dec(100), 16, Z("100"), 3, O::Ok},
    {"decimal smallest", kDec4, Dec(std::numeric_limits<int64_t>::min()), 32,
     Z("-922337203685477.5808"), 21, O::Ok},
    {"decimal scale beyond 64 bits", kDec20, Dec(5), 32, Z("0.00000000000000000005"), 22, O::Ok},
    {"decimal of 32 bits", kDecNarrow1, Small(-5), 16, Z("-0.5"), 4, O::Ok},
    {"decimal comma", kDec2, Dec(12345), 16, Z("123,45"), 6, O::Ok, Comma()},
    {"decimal comma cut", kDec2, Dec(12345), 6, Z("123,4"), 6, O::Truncated, Comma()},
    {"decimal external", kDec2, Dec(12345), 16, Z("+1.2345E+02"), 11, O::Ok, External()},
    {"decimal external cut", kDec2, Dec(12345), 11, "", kUntouched, O::OutOfRange, External()},
    {"smalldecimal", kSmall3, Small(7), 16, Z("0.007"), 5, O::Ok},
    {"smalldecimal smallest", kSmall0, Small(std::numeric_limits<int32_t>::min()), 16,
     Z("-2147483648"), 11, O::Ok},
    {"bigdecimal negative", kBig0, Big(static_cast<uint64_t>(-5), -1), 16, Z("-5"), 2, O::Ok},
    {"bigdecimal above 64 bits", kBig2, Big(5, 1), 32, Z("184467440737095516.21"), 21, O::Ok},
    {"bigdecimal fraction cut", kBig2, Big(5, 1), 20, Z("184467440737095516"), 21, O::Truncated},
    {"bigdecimal integer cut", kBig2, Big(5, 1), 18, "", kUntouched, O::OutOfRange},
    {"bigdecimal scale no text carries", kBig39, Big(5, 0), 64, "", kUntouched, O::OutOfRange},

    // Doubles: "%.*G" with the float precision.
    {"double precision 6", kDouble, Dbl(1234.5678), 16, Z("1234.57"), 7, O::Ok, Precision(6)},
    {"double fraction cut", kDouble, Dbl(1234.5678), 6, Z("1234"), 7, O::Truncated, Precision(6)},
    {"double integer cut", kDouble, Dbl(1234.5678), 4, "", kUntouched, O::OutOfRange, Precision(6)},
    {"double negative zero", kDouble, Dbl(-0.0), 16, Z("0"), 1, O::Ok},
    {"double exponent", kDouble, Dbl(1e20), 16, Z("1E+20"), 5, O::Ok},
    {"double exponent never cut", kDouble, Dbl(1e20), 5, "", kUntouched, O::OutOfRange},
    {"double small exponent", kDouble, Dbl(-1.5e-7), 16, Z("-1.5E-07"), 8, O::Ok},
    {"double precision 17", kDouble, Dbl(0.1), 32, Z("0.10000000000000001"), 19, O::Ok,
     Precision(17)},
    {"double precision 0 is one digit", kDouble, Dbl(1234.5678), 16, Z("1E+03"), 5, O::Ok,
     Precision(0)},
    {"double precision clamped", kDouble, Dbl(0.1), 128,
     Z("0.1000000000000000055511151231257827021181583404541015625"), 57, O::Ok, Precision(100000)},
    {"double negative precision", kDouble, Dbl(2.6), 16, Z("3"), 1, O::Ok, Precision(-4)},
    {"double nan", kDouble, Dbl(std::nan("")), 16, Z("NAN"), 3, O::Ok},
    {"double infinity", kDouble, Dbl(-HUGE_VAL), 16, Z("-INF"), 4, O::Ok},
    {"double comma", kDouble, Dbl(0.5), 16, Z("0,5"), 3, O::Ok, Comma()},
    {"double external", kDouble, Dbl(1234.5678), 32, Z("+1.2345678E+03"), 14, O::Ok, External()},
    {"double zero buffer", kDouble, Dbl(2.5), 0, "", 3, O::Truncated},
    {"double length only", kDouble, Dbl(2.5), kLengthOnly, "", 3, O::Ok},

    // Dates and timestamps: characters may be cut (01004, full length).
    {"date", kDate, Date(2023, 12, 25), 16, Z("2023-12-25"), 10, O::Ok},
    {"date exact", kDate, Date(2023, 12, 25), 11, Z("2023-12-25"), 10, O::Ok},
    {"date short", kDate, Date(2023, 12, 25), 5, Z("2023"), 10, O::Truncated},
    {"date zero buffer", kDate, Date(2023, 12, 25), 0, "", 10, O::Truncated},
    {"date length only", kDate, Date(2023, 12, 25), kLengthOnly, "", 10, O::Ok},
    {"date small year", kDate, Date(812, 7, 5), 16, Z("0812-07-05"), 10, O::Ok},
    {"date negative year", kDate, Date(-44, 3, 15), 16, Z("-044-03-15"), 10, O::Ok},
    {"timestamp precision 0", kTs0, kTsValue, 32, Z("2023-12-25 13:45:07"), 19, O::Ok},
    {"timestamp precision 3", kTs3, kTsValue, 32, Z("2023-12-25 13:45:07.123"), 23, O::Ok},
    {"timestamp precision 9", kTs9, kTsValue, 32, Z("2023-12-25 13:45:07.123456789"), 29, O::Ok},
    {"timestamp exact", kTs3, kTsValue, 24, Z("2023-12-25 13:45:07.123"), 23, O::Ok},
    {"timestamp fraction cut", kTs3, kTsValue, 22, Z("2023-12-25 13:45:07.1"), 23, O::Truncated},
    {"timestamp short", kTs3, kTsValue, 10, Z("2023-12-2"), 23, O::Truncated},
    {"timestamp zero buffer", kTs3, kTsValue, 0, "", 23, O::Truncated},
    {"timestamp length only", kTs9, kTsValue, kLengthOnly, "", 29, O::Ok},
    {"timestamp negative year", kTs0, Ts(-1, 1, 2, 3, 4, 5, 0), 32, Z("-001-01-02 03:04:05"), 19,
     O::Ok},
    {"timestamp utc", kTsUtc3, kTsValue, 32, Z("2023-12-25 13:45:07.123"), 23, O::Ok},

    // Character data of an ASCII column: copied as it is.
    {"text generous", kAscii, Text("hello"), 6, Z("hello"), 5, O::Ok},
    {"text short", kAscii, Text("hello"), 5, Z("hell"), 5, O::Truncated},
    {"text zero buffer", kAscii, Text("hello"), 0, "", 5, O::Truncated},
    {"text length only", kAscii, Text("hello"), kLengthOnly, "", 5, O::Ok},
    {"text empty", kAscii, Text(""), 1, Z(""), 0, O::Ok},
    {"text empty zero buffer", kAscii, Text(""), 0, "", 0, O::Ok},
    {"char column", kAsciiChar, Text("ab  "), 8, Z("ab  "), 4, O::Ok},
    {"text single-byte set is never backed up", kAscii, Text("caf\xE9!"), 5, Z("caf\xE9"), 5,
     O::Truncated},
    {"maxLength cuts", kAscii, Text("hello"), 10, Z("hel"), 3, O::Truncated, MaxLength(3)},
    {"maxLength as long as the text", kAscii, Text("hello"), 10, Z("hello"), 5, O::Ok,
     MaxLength(5)},
    {"maxLength and a short buffer", kAscii, Text("hello world"), 4, Z("hel"), 8, O::Truncated,
     MaxLength(8)},
    {"maxLength with length only", kAscii, Text("hello world"), kLengthOnly, "", 8, O::Ok,
     MaxLength(8)},

    // UTF-8 column into a UTF-8 code set: copied, cut on a character boundary.
    {"utf8 generous", kUtf8, Text(kEuroText), 8, Z(kEuroText), 7, O::Ok},
    {"utf8 cut inside a character", kUtf8, Text(kEuroText), 4, Z("h"), 7, O::Truncated},
    {"utf8 cut behind a character", kUtf8, Text(kEuroText), 5, Z("h\xE2\x82\xAC"), 7, O::Truncated},
    {"utf8 length only", kUtf8, Text(kEuroText), kLengthOnly, "", 7, O::Ok},
};

class CharacterCellTest : public CellTest, public ::testing::WithParamInterface<SQLSMALLINT> {};

TEST_P(CharacterCellTest, ValueTable) {
  for (const Case& c : kCases) Check(c, qvoCharacterCell, GetParam());
}

INSTANTIATE_TEST_SUITE_P(NarrowTargets, CharacterCellTest,
                         ::testing::Values(SQL_C_CHAR, SQL_C_BINARY, QVO_WCHAR_UTF8));

using CharacterCellRows = CellTest;

// Several rows in one call, a NULL among them: the cell writes each row at
// its own place; the NULL is the frame's (terminator for SQL_C_CHAR, none
// for SQL_C_BINARY).
TEST_F(CharacterCellRows, RowsAndNulls) {
  for (const auto& [cType, terminator] : {std::pair{SQL_C_CHAR, 1}, {SQL_C_BINARY, 0}}) {
    CellRun r;
    r.values = {Text("ab"), kNull, Text("hello")};
    RunCell(r, qvoCharacterCell, s, cType, kAscii, 4, true, true, terminator);
    EXPECT_EQ(std::string(r.Target(0), 3), Z("ab"));
    EXPECT_EQ(r.lengths[0], 2);
    EXPECT_EQ(r.lengths[1], SQL_NULL_DATA);
    EXPECT_TRUE(r.UntouchedFrom(1, static_cast<size_t>(terminator)));
    EXPECT_EQ(std::string(r.Target(2), 4), Z("hel"));
    EXPECT_EQ(r.lengths[2], 5);
    EXPECT_STREQ(OutcomeName(r.outcomes[2]), "01004");
    EXPECT_TRUE(r.UntouchedFrom(2, 4));
  }
}

// No length slot: a value is still written.
TEST_F(CharacterCellRows, WithoutLengthSlot) {
  CellRun r;
  r.values = {Dec(12345)};
  RunCell(r, qvoCharacterCell, s, SQL_C_CHAR, kDec2, 8, true, false);
  EXPECT_EQ(std::string(r.Target(0), 7), Z("123.45"));
  EXPECT_STREQ(OutcomeName(r.outcomes[0]), "Ok");
}

// A negative buffer length is refused; nothing is written.
TEST_F(CharacterCellRows, NegativeBufferLength) {
  for (const Column& col : {kAscii, kDec2, kBool}) {
    CellRun r;
    r.values = {col.qvoType == _VARCHAR   ? Text("x")
                : col.qvoType == _BOOLEAN ? Bool(true)
                                          : Dec(1)};
    RunCell(r, qvoCharacterCell, s, SQL_C_CHAR, col, -5);
    EXPECT_STREQ(OutcomeName(r.outcomes[0]), "HY090");
    EXPECT_EQ(r.lengths[0], kUntouched);
  }
}

// A UTF-8 column into another code set goes through the data converter:
// the full length after a cut is the converted one; a character the code
// set lacks fails the row with the converter's reason.
TEST_F(CharacterCellRows, ConvertedIntoAnotherCodeSet) {
  ASSERT_EQ(s->dataConverter->SetCurrentCodepage("ISO-8859-1"), 0);
  struct Row {
    std::string text;
    SQLLEN bufferLength;
    std::string written;
    SQLLEN length;
    const char* outcome;
  };
  const Row rows[] = {
      {"caf\xC3\xA9", 8, Z("caf\xE9"), 4, "Ok"},    {"caf\xC3\xA9", 4, Z("caf"), 4, "01004"},
      {"caf\xC3\xA9", 0, "", 4, "01004"},           {"caf\xC3\xA9", kLengthOnly, "", 4, "Ok"},
      {"\xE2\x82\xAC", 8, "", kUntouched, "HY000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text + " into " + std::to_string(row.bufferLength));
    CellRun r;
    r.values = {Text(row.text)};
    const bool withTarget = row.bufferLength != kLengthOnly;
    RunCell(r, qvoCharacterCell, s, SQL_C_CHAR, kUtf8, withTarget ? row.bufferLength : 8,
            withTarget);
    EXPECT_STREQ(OutcomeName(r.outcomes[0]), row.outcome);
    EXPECT_EQ(r.lengths[0], row.length);
    EXPECT_EQ(std::string(r.Target(0), row.written.size()), row.written);
    EXPECT_TRUE(r.UntouchedFrom(0, row.written.size()));
  }
  CellRun r;
  r.values = {Text("ok"), Text("\xE2\x82\xAC")};
  RunCell(r, qvoCharacterCell, s, SQL_C_CHAR, kUtf8, 8);
  EXPECT_STREQ(r.job.detail,
               "Cannot convert from UTF-8 to ISO-8859-1: invalid or unconvertible character at "
               "byte 0.");
}

// Pairs of the family: every server type of the matrix, nothing else.
TEST(CharacterCellLookup, Matrix) {
  const SQLSMALLINT converted[] = {_DECIMAL,       _DOUBLE,    _BOOLEAN,      _CHAR,
                                   _DATE,          _TIMESTAMP, _SMALLDECIMAL, _BIGDECIMAL,
                                   _TIMESTAMP_UTC, _VARCHAR};
  for (SQLSMALLINT c : {SQL_C_CHAR, SQL_C_BINARY, QVO_WCHAR_UTF8}) {
    for (SQLSMALLINT t : converted) EXPECT_NE(qvoCharacterCell(c, t), nullptr) << c << "/" << t;
    for (SQLSMALLINT t : {_BINARY, _INTEGER, _ILLEGAL}) EXPECT_EQ(qvoCharacterCell(c, t), nullptr);
  }
  EXPECT_EQ(qvoCharacterCell(QVO_WCHAR_UTF16, _VARCHAR), nullptr);
  EXPECT_EQ(qvoCharacterCell(SQL_C_LONG, _VARCHAR), nullptr);
}

}  // namespace
