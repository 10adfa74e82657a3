// Cells of the UTF-16 target (430): the texts of the narrow targets as
// UTF-16, lengths in bytes, a two-byte terminator inside the buffer, cuts on
// whole units and never inside a surrogate pair.
#include "fetch/cell_test_support.h"

using namespace cells;

namespace {

using O = qvoCellOutcome;

const std::string kSmiley =
    "a\xF0\x9F\x98\x80"
    "b";  // a😀b: 6 bytes, 4 units

const Case kCases[] = {
    {"true", kBool, Bool(true), 10, WZ(u"1"), 2, O::Ok},
    {"word short", kBool, Bool(true), 6, WZ(u"TR"), 8, O::Truncated, Words("TRUE", "FALSE")},
    {"word into one byte", kBool, Bool(true), 1, "", 8, O::Truncated, Words("TRUE", "FALSE")},
    {"word zero buffer", kBool, Bool(true), 0, "", 8, O::Truncated, Words("TRUE", "FALSE")},
    {"word length only", kBool, Bool(true), kLengthOnly, "", 8, O::Ok, Words("TRUE", "FALSE")},
    {"word multibyte", kBool, Bool(false), 12, WZ(u"n\u00e4in"), 8, O::Ok,
     Words("ja", "n\xC3\xA4in")},

    {"decimal exact", kDec2, Dec(12345), 14, WZ(u"123.45"), 12, O::Ok},
    {"decimal fraction cut", kDec2, Dec(12345), 12, WZ(u"123.4"), 12, O::Truncated},
    {"decimal cut at the separator", kDec2, Dec(12345), 10, WZ(u"123"), 12, O::Truncated},
    {"decimal odd buffer", kDec2, Dec(12345), 9, WZ(u"123"), 12, O::Truncated},
    {"decimal integer digit lost", kDec2, Dec(12345), 7, "", kUntouched, O::OutOfRange},
    {"decimal into one byte", kDec2, Dec(12345), 1, "", kUntouched, O::OutOfRange},
    {"decimal zero buffer", kDec2, Dec(12345), 0, "", 12, O::Truncated},
    {"decimal length only", kDec2, Dec(12345), kLengthOnly, "", 12, O::Ok},
    {"decimal external", kDec2, Dec(12345), 32, WZ(u"+1.2345E+02"), 22, O::Ok, External()},
    {"bigdecimal", kBig2, Big(5, 1), 64, WZ(u"184467440737095516.21"), 42, O::Ok},

    {"double", kDouble, Dbl(1234.5678), 16, WZ(u"1234.57"), 14, O::Ok, Precision(6)},
    {"double ignores external conversion", kDouble, Dbl(1234.5678), 32, WZ(u"1234.5678"), 18, O::Ok,
     External()},
    {"double integer cut", kDouble, Dbl(1234.5678), 8, "", kUntouched, O::OutOfRange},

    {"date", kDate, Date(2023, 12, 25), 22, WZ(u"2023-12-25"), 20, O::Ok},
    {"date length only", kDate, Date(2023, 12, 25), kLengthOnly, "", 20, O::Ok},
    {"date short", kDate, Date(2023, 12, 25), 11, WZ(u"2023"), 20, O::Truncated},
    {"timestamp precision 3 length only", kTs3, kTsValue, kLengthOnly, "", 46, O::Ok},
    {"timestamp precision 0 length only", kTs0, kTsValue, kLengthOnly, "", 38, O::Ok},
    {"timestamp precision 0", kTs0, kTsValue, 64, WZ(u"2023-12-25 13:45:07"), 38, O::Ok},

    {"text", kAscii, Text("hello"), 12, WZ(u"hello"), 10, O::Ok},
    {"text length only", kAscii, Text("hello"), kLengthOnly, "", 10, O::Ok},
    {"text odd buffer", kAscii, Text("hello"), 11, WZ(u"hell"), 10, O::Truncated},
    {"text empty", kAscii, Text(""), 2, WZ(u""), 0, O::Ok},
    {"text empty into one byte", kAscii, Text(""), 1, "", 0, O::Ok},
    {"text zero buffer", kAscii, Text("hello"), 0, "", 10, O::Truncated},
    {"pair does not fit", kUtf8, Text(kSmiley), 6, WZ(u"a"), 8, O::Truncated},
    {"pair fits", kUtf8, Text(kSmiley), 8, WZ(u"a\U0001F600"), 8, O::Truncated},
    {"pair whole", kUtf8, Text(kSmiley), 10, WZ(u"a\U0001F600b"), 8, O::Ok},
    {"multibyte fits in fewer units", kUtf8, Text(kEuroText), 12, WZ(u"h\u20acllo"), 10, O::Ok},
    {"maxLength", kAscii, Text("hello"), 20, WZ(u"he"), 4, O::Truncated, MaxLength(4)},
    {"maxLength and a short buffer", kAscii, Text("hello world"), 6, WZ(u"he"), 16, O::Truncated,
     MaxLength(16)},
    {"ill-formed text", kUtf8,
     Text("a\xFF"
          "b"),
     16, "", kUntouched, O::ConversionError},
    {"single-byte text is not UTF-8", kAscii, Text("caf\xE9"), 16, "", kUntouched,
     O::ConversionError},
};

using WideCellTest = CellTest;

TEST_F(WideCellTest, ValueTable) {
  for (const Case& c : kCases) Check(c, qvoWideCell, QVO_WCHAR_UTF16);
}

TEST_F(WideCellTest, FailureNamesTheByte) {
  CellRun r;
  r.values = {Text("ok"), Text("a\xFF"
                               "b")};
  RunCell(r, qvoWideCell, s, QVO_WCHAR_UTF16, kUtf8, 16);
  EXPECT_STREQ(OutcomeName(r.outcomes[0]), "Ok");
  EXPECT_STREQ(OutcomeName(r.outcomes[1]), "HY000");
  EXPECT_STREQ(r.job.detail,
               "Cannot convert from UTF-8 to UTF-16LE: invalid or unconvertible character at "
               "byte 1.");
}

// NULL: the frame writes two zero bytes into a buffer of at least 2.
TEST_F(WideCellTest, Null) {
  CellRun r;
  r.values = {kNull, kNull};
  RunCell(r, qvoWideCell, s, QVO_WCHAR_UTF16, kAscii, 4, true, true, 2);
  EXPECT_EQ(r.lengths[0], SQL_NULL_DATA);
  EXPECT_EQ(std::string(r.Target(0), 2), std::string(2, '\0'));
  EXPECT_TRUE(r.UntouchedFrom(0, 2));
}

// A wide data converter given another code page of 2-byte units converts
// the texts, under the same cut and length rules.
TEST_F(WideCellTest, OtherWideCodePage) {
  ASSERT_EQ(s->wcharDataConverter->SetCurrentCodepage("UTF-16BE"), 0);
  const std::string be = std::string("\0h\0\xE9", 4);
  const std::string zz(2, '\0');
  const Case cases[] = {
      {"text", kUtf8, Text("h\xC3\xA9"), 10, be + zz, 4, O::Ok},
      {"text cut", kUtf8, Text("h\xC3\xA9"), 5, std::string("\0h", 2) + zz, 4, O::Truncated},
      {"text length only", kUtf8, Text("h\xC3\xA9"), kLengthOnly, "", 4, O::Ok},
      {"decimal cut at the separator", kDec2, Dec(12345), 10,
       std::string("\0"
                   "1\0"
                   "2\0"
                   "3",
                   6) +
           zz,
       12, O::Truncated},
      {"decimal integer digit lost", kDec2, Dec(12345), 7, "", kUntouched, O::OutOfRange},
      {"decimal length only", kDec2, Dec(12345), kLengthOnly, "", 12, O::Ok},
      {"maxLength", kAscii, Text("hello"), 20, std::string("\0h\0e", 4) + zz, 4, O::Truncated,
       MaxLength(4)},
  };
  for (const Case& c : cases) Check(c, qvoWideCell, QVO_WCHAR_UTF16);
}

TEST(WideCellLookup, Matrix) {
  for (SQLSMALLINT t : {_DECIMAL, _DOUBLE, _BOOLEAN, _CHAR, _DATE, _TIMESTAMP, _SMALLDECIMAL,
                        _BIGDECIMAL, _TIMESTAMP_UTC, _VARCHAR})
    EXPECT_NE(qvoWideCell(QVO_WCHAR_UTF16, t), nullptr) << t;
  EXPECT_EQ(qvoWideCell(QVO_WCHAR_UTF16, _BINARY), nullptr);
  EXPECT_EQ(qvoWideCell(SQL_C_CHAR, _VARCHAR), nullptr);
  EXPECT_EQ(qvoWideCell(SQL_C_WCHAR, _VARCHAR), nullptr);  // resolved by the frame first
}

}  // namespace
