#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/qvoArgStrings.h"
#include "common/qvoStrings.h"

namespace {

struct ConverterDeleter {
  void operator()(iconverter* c) const { FreeConverter(c); }
};
using ConverterPtr = std::unique_ptr<iconverter, ConverterDeleter>;

ConverterPtr Converter(const char* codepage) {
  ConverterPtr c(GetConverter(abortOnError));
  EXPECT_NE(c, nullptr);
  EXPECT_EQ(SetInstalledCurrentCodepage(c.get(), codepage), 0) << codepage;
  return c;
}

class Utf8Locale {
 public:
  Utf8Locale() : saved_(std::setlocale(LC_CTYPE, nullptr)) {
    EXPECT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  }
  ~Utf8Locale() { std::setlocale(LC_CTYPE, saved_.c_str()); }

 private:
  std::string saved_;
};

TEST(ArgStrings, NullArgumentStaysNullOnlyThroughGetUTF8orNULL) {
  auto utf8 = Converter("UTF-8");
  aString a(static_cast<const char*>(nullptr), SQL_NTS);
  EXPECT_STREQ(a.GetStr(), "");
  EXPECT_EQ(a.GetUTF8orNULL(utf8.get()), nullptr);
  ASSERT_NE(a.GetUTF8(utf8.get()), nullptr);
  EXPECT_STREQ(a.GetUTF8(utf8.get()), "");

  auto utf16 = Converter(QVO_UTF16_CODEPAGE);
  wString w(static_cast<const SQLWCHAR*>(nullptr), SQL_NTS);
  EXPECT_EQ(w.GetStrLen(), 0);
  EXPECT_EQ(w.GetUTF8orNULL(utf16.get()), nullptr);
  EXPECT_STREQ(w.GetUTF8(utf16.get()), "");
}

TEST(ArgStrings, ExplicitLengthCoversEmbeddedZeros) {
  auto utf8 = Converter("UTF-8");
  const char text[] = {'a', 'b', 0, 'c', 'd'};
  aString a(text, 5);
  EXPECT_EQ(a.GetStrLen(), 2);
  EXPECT_EQ(a.GetStrLenMax(), 5);
  const char* out = a.GetUTF8(utf8.get());
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(a.GetUTF8Len(), 5);
  EXPECT_EQ(std::string(out, 5), std::string(text, 5));
}

TEST(ArgStrings, InlineUpTo127Characters) {
  struct Case {
    size_t length;
    int bufferLen;
  } cases[] = {{0, 128}, {127, 128}, {128, 129}, {1000, 1001}};
  for (const Case& tc : cases) {
    const std::string text(tc.length, 'q');
    aString a(text.c_str(), SQL_NTS);
    EXPECT_EQ(a.GetBufferLen(), tc.bufferLen) << tc.length;
    EXPECT_EQ(std::string(a.GetStr()), text);

    const std::vector<SQLWCHAR> units(tc.length + 1, SQLWCHAR('q'));
    std::vector<SQLWCHAR> terminated = units;
    terminated.back() = 0;
    wString w(terminated.data(), SQL_NTS);
    EXPECT_EQ(w.GetBufferLen(), tc.bufferLen) << tc.length;
    EXPECT_EQ(w.GetStrLen(), static_cast<int>(tc.length));
  }
  EXPECT_EQ(aString(-1).GetBufferLen(), 1025);
  EXPECT_EQ(wString(-1).GetBufferLen(), 1025);
}

TEST(ArgStrings, BadLengthIsRefusedWithoutReading) {
  auto utf8 = Converter("UTF-8");
  const char shortText[] = "ab";  // a length of -2 must not make 1024 bytes of it be read
  aString a(shortText, -2);
  EXPECT_TRUE(a.HasInvalidLength());
  EXPECT_STREQ(a.GetStr(), "");
  EXPECT_EQ(a.GetUTF8(utf8.get()), nullptr);
  EXPECT_EQ(a.GetUTF8Len(), -1);

  const SQLWCHAR wideText[] = {'a', 'b', 0};
  wString w(wideText, -5);
  EXPECT_TRUE(w.HasInvalidLength());
  EXPECT_EQ(w.GetUTF8(utf8.get()), nullptr);
  wString n(shortText, -100);
  EXPECT_TRUE(n.HasInvalidLength());
  EXPECT_EQ(n.GetStrLen(), 0);

  aString ok(shortText, SQL_NTS);
  EXPECT_FALSE(ok.HasInvalidLength());
}

TEST(ArgStrings, ConvertsThroughTheHandlesConverter) {
  auto latin1 = Converter("ISO-8859-1");
  aString a(
      "Gr\xFC\xDF"
      "e",
      SQL_NTS);
  EXPECT_STREQ(a.GetUTF8(latin1.get()),
               "Gr\xC3\xBC\xC3\x9F"
               "e");
  EXPECT_EQ(a.GetUTF8Len(), 7);

  // UTF-8 into the application's code set.
  aString back(latin1.get(),
               "Gr\xC3\xBC\xC3\x9F"
               "e",
               SQL_NTS);
  EXPECT_STREQ(back.GetStr(),
               "Gr\xFC\xDF"
               "e");

  auto utf16 = Converter(QVO_UTF16_CODEPAGE);
  const SQLWCHAR units[] = {'G', 0xFC, 0x20AC, 0};
  wString w(units, SQL_NTS);
  EXPECT_STREQ(w.GetUTF8(utf16.get()), "G\xC3\xBC\xE2\x82\xAC");
  EXPECT_EQ(w.GetUTF8Len(), 6);

  const SQLWCHAR loneSurrogate[] = {'a', 0xD800, 0};
  wString bad(loneSurrogate, SQL_NTS);
  EXPECT_EQ(bad.GetUTF8(utf16.get()), nullptr);
  EXPECT_EQ(bad.GetUTF8Len(), -1);
}

TEST(ArgStrings, NarrowAndWideInTheLocale) {
  Utf8Locale utf8;
  wString w(
      "a\xC3\xA9"
      "b",
      SQL_NTS);
  ASSERT_EQ(w.GetStrLen(), 3);
  EXPECT_EQ(w.GetStr()[1], 0xE9);
  EXPECT_STREQ(w.GetMultibyte(),
               "a\xC3\xA9"
               "b");
  EXPECT_TRUE(
      w.compare_char("A\xC3\xA9"
                     "B"));
  EXPECT_FALSE(w.compare_char("ab"));
  EXPECT_FALSE(w.compare_char(nullptr));

  // An explicit byte length becomes the units those bytes made.
  wString fixed("a\xC3\xA9xyz", 3);
  EXPECT_EQ(fixed.GetStrLenMax(), 2);

  const SQLWCHAR units[] = {'a', 0xE9, 0};
  aString a(units, SQL_NTS);
  EXPECT_STREQ(a.GetStr(), "a\xC3\xA9");

  wString invalid("a\xC3", SQL_NTS);
  EXPECT_EQ(invalid.GetStrLen(), 0);
  EXPECT_EQ(invalid.SetVal("\xFF", SQL_NTS), nullptr);

  wString wide(L"x\U0001F600", SQL_NTS);  // low 16 bits of each wchar_t
  EXPECT_EQ(wide.GetStr()[1], SQLWCHAR(0xF600));
  EXPECT_EQ(wide.GetWchar_tStr()[0], L'x');
}

TEST(ArgStrings, SingleCharacterTests) {
  struct Case {
    const char* text;
    bool yes, no, zero, one, force;
  } cases[] = {
      {"y", true, false, false, false, false},    {"Y", true, false, false, false, false},
      {"yes", false, false, false, false, false}, {"YES", false, false, false, false, false},
      {"", false, false, false, false, false},    {"n", false, true, false, false, false},
      {"0", false, false, true, false, false},    {"00", false, false, false, false, false},
      {"1", false, false, false, true, false},    {"F", false, false, false, false, true},
  };
  for (const Case& tc : cases) {
    aString a(tc.text, SQL_NTS);
    wString w(tc.text, SQL_NTS);
    EXPECT_EQ(a.isYES(), tc.yes) << tc.text;
    EXPECT_EQ(a.isNO(), tc.no) << tc.text;
    EXPECT_EQ(w.isYES(), tc.yes) << tc.text;
    EXPECT_EQ(w.isNO(), tc.no) << tc.text;
    EXPECT_EQ(w.isYesOrNo(), tc.yes || tc.no) << tc.text;
    EXPECT_EQ(w.isZero(), tc.zero) << tc.text;
    EXPECT_EQ(w.isOne(), tc.one) << tc.text;
    EXPECT_EQ(w.isForce(), tc.force) << tc.text;
  }
  EXPECT_TRUE(wString("2", SQL_NTS).isTwo());
}

TEST(ArgStrings, ConcatIsCutToTheBuffer) {
  wString w("ab", SQL_NTS);
  EXPECT_EQ(w.Concat("cd"), 4);
  wString tail("ef", SQL_NTS);
  EXPECT_EQ(w.Concat(&tail), 6);
  EXPECT_EQ(w.GetStr()[5], SQLWCHAR('f'));

  const std::string full(127, 'z');
  wString f(full.c_str(), SQL_NTS);
  ASSERT_EQ(f.GetBufferLen(), 128);
  EXPECT_EQ(f.Concat("more"), 127);
  EXPECT_EQ(f.GetStr()[127], 0);

  wString almost(std::string(125, 'z').c_str(), SQL_NTS);
  EXPECT_EQ(almost.Concat("more"), 127);
}

}  // namespace
