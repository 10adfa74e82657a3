#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/qvoConverter.h"
#include "platform/qvoCriticalSection.h"
#include "platform/qvoUnicode.h"

namespace {

struct ConverterDeleter {
  void operator()(iconverter* c) const { FreeConverter(c); }
};
using ConverterPtr = std::unique_ptr<iconverter, ConverterDeleter>;

ConverterPtr Make(const char* codepage) {
  ConverterPtr c(GetConverter(abortOnError));
  EXPECT_NE(c, nullptr);
  EXPECT_EQ(SetInstalledCurrentCodepage(c.get(), codepage), 0) << codepage;
  return c;
}

// "Grüße €" in UTF-8.
const std::string kUtf8 =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xE2\x82\xAC";

TEST(Converter, RoundTripsThroughEveryCodepage) {
  struct Case {
    const char* codepage;
    std::string text;     // UTF-8
    std::string encoded;  // in the code page
  } cases[] = {
      {"ISO-8859-1",
       "Gr\xC3\xBC\xC3\x9F"
       "e",
       std::string("Gr\xFC\xDF"
                   "e")},
      {QVO_UTF16_CODEPAGE, "A\xE2\x82\xAC", std::string("A\0\xAC\x20", 4)},
      {"UTF-8", kUtf8, kUtf8},
  };
  for (const auto& tc : cases) {
    auto conv = Make(tc.codepage);
    char out[64];
    const int n = conv->FromCodeset(tc.text.data(), int(tc.text.size()), out, sizeof out);
    ASSERT_EQ(n, int(tc.encoded.size())) << tc.codepage;
    EXPECT_EQ(std::string(out, n), tc.encoded) << tc.codepage;
    EXPECT_EQ(FromCodesetLen(conv.get(), tc.text.data(), int(tc.text.size())), n);
    char back[64];
    const int m = ToCodeset(conv.get(), out, n, back, sizeof back);
    ASSERT_EQ(m, int(tc.text.size())) << tc.codepage;
    EXPECT_EQ(std::string(back, m), tc.text) << tc.codepage;
  }
}

TEST(Converter, Utf16TerminatorAndCharSize) {
  auto conv = Make(QVO_UTF16_CODEPAGE);
  EXPECT_EQ(conv->GetCharSize(), 2);
  EXPECT_FALSE(conv->ConversionDeactivated());
  char out[8];
  memset(out, 'x', sizeof out);
  // Room for one unit and the terminator: "AB" is cut after A, never mid-unit.
  const int n = FromCodesetNTS(conv.get(), "AB", -3, out, 5);
  EXPECT_EQ(n, 2);
  EXPECT_TRUE(conv->bufferFull);
  EXPECT_EQ(std::string(out, 5), std::string("A\0\0\0x", 5));
  // SQL_NTS input in the code page stops at a zero unit.
  const char wide[] = {'h', 0, 'i', 0, 0, 0};
  char utf8[8];
  EXPECT_EQ(conv->ToCodeset(wide, -3, utf8, sizeof utf8), 2);
}

TEST(Converter, InvalidInputFailsWithText) {
  struct Case {
    const char* codepage;
    std::string utf8;
  } cases[] = {
      {"ISO-8859-1", "ok\xFF"},        // not UTF-8
      {"ISO-8859-1", "\xE2\x82\xAC"},  // euro sign has no Latin-1 code
      {QVO_UTF16_CODEPAGE, "ab\xC3"},  // cut sequence
  };
  for (const auto& tc : cases) {
    auto conv = Make(tc.codepage);
    char out[16];
    EXPECT_EQ(conv->FromCodeset(tc.utf8.data(), int(tc.utf8.size()), out, sizeof out), -1);
    EXPECT_NE(std::string(GetErrorMessage(conv.get())), "");
  }
}

TEST(Converter, CutsOnCharacterBoundaryAndFlagsFullBuffer) {
  struct Case {
    const char* codepage;
    int room;
    int written;
  } cases[] = {{"UTF-8", 3, 2}, {"UTF-8", 4, 2}, {"ISO-8859-15", 1, 1}, {QVO_UTF16_CODEPAGE, 3, 2}};
  // "ü€": the euro sign never arrives half.
  const std::string text = "\xC3\xBC\xE2\x82\xAC";
  for (const auto& tc : cases) {
    auto conv = Make(tc.codepage);
    char out[8];
    EXPECT_EQ(conv->FromCodeset(text.data(), int(text.size()), out, tc.room), tc.written)
        << tc.codepage << " " << tc.room;
    EXPECT_TRUE(conv->bufferFull) << tc.codepage;
  }
  // Towards UTF-8 from a UTF-8 application the same holds.
  auto utf8 = Make("UTF-8");
  char out[8];
  for (int room : {3, 4}) {
    EXPECT_EQ(ToCodeset(utf8.get(), text.data(), int(text.size()), out, room), 2) << room;
    EXPECT_TRUE(utf8->bufferFull);
  }
  EXPECT_EQ(ToCodeset(utf8.get(), text.data(), int(text.size()), out, 5), 5);
  EXPECT_FALSE(utf8->bufferFull);
}

// A marked conversion gives the text a whole conversion gives, and marks
// exactly the lengths at which a character of it ends.
TEST(Converter, MarksEveryCharacterEnd) {
  struct Case {
    const char* codepage;
    std::string text;     // UTF-8
    std::string encoded;  // in the code page
    std::vector<int> ends;
  } cases[] = {
      {"UTF-8", "a\xC3\xA9z", "a\xC3\xA9z", {0, 1, 3, 4}},
      {"ISO-8859-1", "a\xC3\xA9z", "a\xE9z", {0, 1, 2, 3}},
      // 日本
      {"SHIFT_JIS", "a\xE6\x97\xA5\xE6\x9C\xAC", "a\x93\xFA\x96\x7B", {0, 1, 3, 5}},
      // The byte-order mark ends on its own.
      {"UTF-32", "abc", std::string("\xFF\xFE\0\0a\0\0\0b\0\0\0c\0\0\0", 16), {0, 4, 8, 12, 16}},
      // Shift sequences go with the character they lead to; the last one
      // closes the text.
      {"ISO-2022-JP", "a\xE6\x97\xA5\xE6\x9C\xAC", "a\x1B$BF|K\\\x1B(B", {0, 1, 6, 8, 11}},
      // Ê and a combining macron are one character of the code page.
      {"BIG5-HKSCS",
       "\xC3\x8A\xCC\x84"
       "a",
       "\x88\x62"
       "a",
       {0, 2, 3}},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.codepage);
    auto conv = Make(tc.codepage);
    char whole[64];
    const int n = conv->FromCodeset(tc.text.data(), int(tc.text.size()), whole, sizeof whole);
    ASSERT_EQ(std::string(whole, n), tc.encoded);
    char out[64];
    unsigned char ends[iconverter::EndsBytes(sizeof out)];
    const auto held = conv->Hold();
    ASSERT_EQ(
        conv->FromCodesetMarkedHeld(tc.text.data(), int(tc.text.size()), out, sizeof out, ends), n);
    EXPECT_EQ(std::string(out, n), tc.encoded);
    std::vector<int> marked;
    for (int k = 0; k <= int(sizeof out); ++k)
      if (iconverter::EndsAt(ends, k)) marked.push_back(k);
    EXPECT_EQ(marked, tc.ends);
  }
  // Input that is not UTF-8 fails as a whole conversion does.
  auto conv = Make("SHIFT_JIS");
  char out[16];
  unsigned char ends[iconverter::EndsBytes(sizeof out)];
  EXPECT_EQ(conv->FromCodesetMarkedHeld("ab\xFF", 3, out, sizeof out, ends), -1);
  const std::string marked = conv->GetErrorMessage();
  EXPECT_EQ(conv->FromCodeset("ab\xFF", 3, out, sizeof out), -1);
  EXPECT_EQ(marked, conv->GetErrorMessage());
}

TEST(Converter, UnknownCodepageKeepsTheOldOne) {
  auto conv = Make("ISO-8859-1");
  EXPECT_EQ(conv->SetCurrentCodepage("NO-SUCH-CODEPAGE"), -1);
  EXPECT_STREQ(conv->GetCurrentCodepage(), "ISO-8859-1");
  EXPECT_NE(std::string(conv->GetErrorMessage()), "");
}

TEST(Unicode, ValidityAndCutting) {
  struct Case {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {kUtf8, true},
      {"\xF0\x9F\x98\x80", true},   // U+1F600
      {"\xC0\xAF", false},          // overlong
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE2\x82", false},          // cut
      {"\x80", false},              // stray continuation
  };
  for (const auto& tc : cases)
    EXPECT_EQ(Unicode::isValidUtf8Bytestream(tc.bytes.data(), tc.bytes.size()), tc.valid);
  const std::string euro =
      "a\xE2\x82\xAC"
      "b";
  EXPECT_EQ(Unicode::Utf8CutLength(euro.data(), euro.size(), 1), 1u);
  EXPECT_EQ(Unicode::Utf8CutLength(euro.data(), euro.size(), 3), 1u);
  EXPECT_EQ(Unicode::Utf8CutLength(euro.data(), euro.size(), 4), 4u);
  EXPECT_EQ(Unicode::Utf8CutLength(euro.data(), euro.size(), 99), 5u);
}

// UTF-8 -> UTF-16: the same well-formedness as isValidUtf8Bytestream, the
// offset of the first bad sequence, whole characters only within the room,
// and the units of the whole text.
TEST(Unicode, Utf8ToUtf16) {
  struct Case {
    std::string bytes;
    size_t room;
    std::u16string written;
    size_t total;
    bool valid;
    size_t badAt;
  };
  const Case cases[] = {
      {"abc", 8, u"abc", 3, true, 0},
      {"abc", 2, u"ab", 3, true, 0},
      {"\xC3\xA9t\xC3\xA9", 8, u"\u00e9t\u00e9", 3, true, 0},
      {"\xF0\x9F\x98\x80!", 8, u"\U0001F600!", 3, true, 0},
      {"\xF0\x9F\x98\x80!", 1, u"", 3, true, 0},  // half a pair is never written
      {"a\xC0\xAF", 8, u"a", 0, false, 1},        // overlong
      {"ab\xED\xA0\x80", 8, u"ab", 0, false, 2},  // surrogate
      {"\xF4\x90\x80\x80", 8, u"", 0, false, 0},  // above U+10FFFF
      {"a\xE2\x82", 8, u"a", 0, false, 1},        // cut at the end
      {"\x80", 8, u"", 0, false, 0},              // stray continuation
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    char out[32];
    std::memset(out, 0x5A, sizeof out);
    const Unicode::Utf16Result r =
        Unicode::Utf8ToUtf16(c.bytes.data(), c.bytes.size(), out, c.room);
    EXPECT_EQ(r.valid, c.valid);
    if (c.valid) {
      EXPECT_EQ(r.total, c.total);
    }
    if (!c.valid) {
      EXPECT_EQ(r.badAt, c.badAt);
    }
    ASSERT_EQ(r.written, c.written.size());
    EXPECT_EQ(std::memcmp(out, c.written.data(), 2 * r.written), 0);
    EXPECT_EQ(out[2 * r.written], 0x5A);
  }
}

TEST(CriticalSection, IsRecursiveAndToleratesNull) {
  qvoCriticalSection cs;
  {
    qvoMutex outer(cs);
    qvoMutex inner(&cs);
    qvoMutex none(nullptr);
  }
  EXPECT_TRUE(cs.TryEnter());
  cs.Leave();
}

}  // namespace
