#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "common/qvoStrings.h"

namespace {

constexpr int NTS = SQL_NTS;
constexpr int NOTERM = 0;  // any termination mode other than SQL_NTS

std::vector<SQLWCHAR> Wide(const char* s) {
  std::vector<SQLWCHAR> w;
  for (; *s; ++s) w.push_back(static_cast<unsigned char>(*s));
  w.push_back(0);
  return w;
}

// Switches LC_CTYPE to UTF-8 for one test.
class Utf8Locale {
 public:
  Utf8Locale() : saved_(std::setlocale(LC_CTYPE, nullptr)) {
    EXPECT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  }
  ~Utf8Locale() { std::setlocale(LC_CTYPE, saved_.c_str()); }

 private:
  std::string saved_;
};

struct CopyCase {
  const char* source;
  int strLen;
  int bufferLen;
  int termination;
  int result;
  std::string written;  // bytes written, terminator included; the rest stays 'x'
};

const CopyCase kCopyCases[] = {
    {"abc", NTS, 10, NTS, 3, std::string("abc\0", 4)},
    {"abc", NTS, 4, NTS, 3, std::string("abc\0", 4)},   // exactly bufferLen - 1 fits whole
    {"abcd", NTS, 4, NTS, 3, std::string("abc\0", 4)},  // cut by one, terminated
    {"abcd", NTS, 4, NOTERM, 4, "abcd"},                // whole, no terminator
    {"abcd", NTS, 5, NOTERM, 4, "abcd"},                // fits: no terminator asked for
    {"abcdef", 2, 10, NTS, 2, std::string("ab\0", 3)},  // explicit length
    {"abc", NTS, NTS, NTS, 3, "abc"},                   // no size: everything, no terminator
    {"abc", 3, 1, NTS, 0, std::string("\0", 1)},
    {"abc", NTS, 0, NTS, 0, ""},
    {nullptr, NTS, 10, NTS, 0, std::string("\0", 1)},
    {nullptr, NTS, 0, NTS, 0, ""},  // no room: nothing written, even for a null source
    {"abc", -5, 10, NTS, -1, ""},   // bad source length refused
    {"abc", NTS, -7, NTS, -1, ""},  // bad buffer size refused
};

TEST(CopyStr, TruncationRules) {
  for (const CopyCase& tc : kCopyCases) {
    SCOPED_TRACE(testing::Message() << (tc.source ? tc.source : "(null)") << " strLen " << tc.strLen
                                    << " bufferLen " << tc.bufferLen << " term " << tc.termination);
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(qvoCopyStr(buf, tc.source, tc.strLen, tc.bufferLen, tc.termination), tc.result);
    EXPECT_EQ(std::string(buf, tc.written.size()), tc.written);
    EXPECT_EQ(buf[tc.written.size()], 'x');
  }
}

TEST(CopyStr, WideFollowsTheSameRulesInUnits) {
  for (const CopyCase& tc : kCopyCases) {
    SCOPED_TRACE(testing::Message() << (tc.source ? tc.source : "(null)") << " strLen " << tc.strLen
                                    << " bufferLen " << tc.bufferLen);
    const std::vector<SQLWCHAR> source = tc.source ? Wide(tc.source) : std::vector<SQLWCHAR>();
    SQLWCHAR buf[16];
    std::fill(std::begin(buf), std::end(buf), SQLWCHAR('x'));
    const int r = qvoCopyStrW(buf, tc.source ? source.data() : nullptr, tc.strLen, tc.bufferLen,
                              tc.termination);
    // Unlike the narrow form, a null source writes nothing.
    const std::string written = tc.source ? tc.written : "";
    EXPECT_EQ(r, tc.result);
    for (size_t i = 0; i < written.size(); ++i)
      EXPECT_EQ(buf[i], static_cast<unsigned char>(written[i])) << "unit " << i;
    EXPECT_EQ(buf[written.size()], SQLWCHAR('x'));
  }
}

TEST(CopyStr, NullDestinationAndMeasuring) {
  EXPECT_EQ(qvoCopyStr(nullptr, "abc", NTS, 10, NTS), 0);
  EXPECT_EQ(qvoCopyStrOrGetLen(nullptr, "abcdef", NTS, 2, NTS), 6);
  EXPECT_EQ(qvoCopyStrOrGetLen(nullptr, "abcdef", 4, 2, NTS), 4);
  EXPECT_EQ(qvoCopyStrOrGetLen(nullptr, nullptr, NTS, 2, NTS), 0);
  char buf[4];
  EXPECT_EQ(qvoCopyStrOrGetLen(buf, "abcdef", NTS, 4, NTS), 3);
  EXPECT_STREQ(buf, "abc");
}

TEST(StrCat, AppendsWhatFits) {
  struct Case {
    const char* dest;
    int bufferLen;
    const char* source;
    int result;
    const char* expected;
  } cases[] = {
      {"ab", 8, "cd", 0, "abcd"},
      {"ab", 5, "cdef", 0, "abcd"},  // cut so that the buffer ends full
      {"abcd", 5, "e", 0, "abcd"},   // already full: a cut is not reported
      {"", 1, "a", 0, ""},
  };
  for (const Case& tc : cases) {
    char buf[16] = {};
    std::strcpy(buf, tc.dest);
    EXPECT_EQ(qvoStrCat(buf, tc.bufferLen, tc.source), tc.result) << tc.dest << "+" << tc.source;
    EXPECT_STREQ(buf, tc.expected);
  }
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(qvoStrCat(unterminated, 4, "x"), -1);
}

TEST(StrLen, LengthsOfArguments) {
  const auto w = Wide("abcd");
  EXPECT_EQ(qvoSqlStrLen("abcd", NTS), 4);
  EXPECT_EQ(qvoSqlStrLen("abcd", 2), 2);
  EXPECT_EQ(qvoSqlStrLen("abcd", -1), 0);
  EXPECT_EQ(qvoSqlStrLen(nullptr, 5), 0);
  EXPECT_EQ(qvoSqlWStrLen(w.data(), NTS), 4);
  EXPECT_EQ(qvoSqlWStrLen(w.data(), -8), 0);
  EXPECT_EQ(qvoWcslen(nullptr), 0);
  EXPECT_EQ(qvoStrlen(reinterpret_cast<const SQLCHAR*>("xyz")), 3);
  EXPECT_EQ(qvoStrlen(nullptr), 0);

  const auto a = Wide("abc"), b = Wide("abd"), c = Wide("ab");
  EXPECT_EQ(qvoWcscmp(a.data(), a.data()), 0);
  EXPECT_EQ(qvoWcscmp(a.data(), b.data()), 1);
  EXPECT_EQ(qvoWcscmp(a.data(), c.data()), 1);
  EXPECT_EQ(qvoWcscmp(a.data(), nullptr), -1);
}

TEST(CharToWide, ConvertsInTheLocale) {
  Utf8Locale utf8;
  struct Case {
    const char* source;
    int sourceLen;
    int bufferLen;
    int termination;
    int result;
    std::vector<SQLWCHAR> written;  // the rest of the buffer stays 0xFFFF
  } cases[] = {
      {"a\xC3\xA9\xE2\x82\xAC", NTS, 10, NTS, 3, {'a', 0xE9, 0x20AC, 0}},
      {"a\xC3\xA9\xE2\x82\xAC", NTS, NTS, NTS, 3, {'a', 0xE9, 0x20AC, 0}},
      {"a\xC3\xA9\xE2\x82\xAC", NTS, 3, NTS, 2, {'a', 0xE9, 0}},  // cut, still terminated
      {"a\xC3\xA9\xE2\x82\xAC", NTS, 3, NOTERM, 3, {'a', 0xE9, 0x20AC}},
      {"a\xC3\xA9xyz", 3, 10, NTS, 2, {'a', 0xE9, 0}},  // explicit byte length
      {"", NTS, 10, NTS, 0, {0}},
      {"abc", 0, NTS, NTS, 0, {0}},
      {"abc", 0, NTS, NOTERM, 0, {}},  // no size and no terminator asked for: nothing
      {"abc", NTS, 0, NTS, 0, {}},
      {"a\xF0\x9F\x98\x80", NTS, 10, NTS, -1, {'a'}},  // beyond 16 bits
      {"a\xC3", NTS, 10, NTS, -1, {}},                 // cut sequence
      {"abc", -4, 10, NTS, -1, {}},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.source);
    SQLWCHAR buf[12];
    std::fill(std::begin(buf), std::end(buf), SQLWCHAR(0xFFFF));
    EXPECT_EQ(qvoCharToWide(tc.source, tc.sourceLen, buf, tc.bufferLen, tc.termination), tc.result);
    for (size_t i = 0; i < tc.written.size(); ++i) EXPECT_EQ(buf[i], tc.written[i]) << i;
    if (tc.result >= 0) {
      EXPECT_EQ(buf[tc.written.size()], SQLWCHAR(0xFFFF));
    }
  }
  EXPECT_EQ(qvoCharToWide(nullptr, NTS, nullptr, 4, NTS), -1);
}

TEST(WideToChar, NeverSplitsACharacter) {
  Utf8Locale utf8;
  const SQLWCHAR text[] = {'a', 0xE9, 0x20AC, 0};
  const SQLWCHAR loneSurrogate[] = {'a', 0xD800, 'b', 0};
  struct Case {
    const SQLWCHAR* source;
    int sourceLen;
    int bufferLen;
    int termination;
    int result;
    std::string written;
  } cases[] = {
      {text, NTS, 16, NTS, 6, std::string("a\xC3\xA9\xE2\x82\xAC\0", 7)},
      // Without a size the limit is one byte per unit plus the terminator.
      {text, NTS, NTS, NTS, 3, std::string("a\xC3\xA9\0", 4)},
      {text, NTS, 6, NTS, 3, std::string("a\xC3\xA9\0", 4)},  // the euro sign does not fit
      {text, NTS, 3, NOTERM, 3, "a\xC3\xA9"},
      {text, 1, 16, NTS, 1, std::string("a\0", 2)},
      {loneSurrogate, NTS, 16, NTS, 1, std::string("a\0", 2)},  // stops at the bad unit
      {text, -2, 16, NTS, -1, ""},
  };
  for (const Case& tc : cases) {
    char buf[20];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(qvoWideToChar(tc.source, tc.sourceLen, buf, tc.bufferLen, tc.termination), tc.result)
        << tc.bufferLen;
    EXPECT_EQ(std::string(buf, tc.written.size()), tc.written);
    EXPECT_EQ(buf[tc.written.size()], 'x');
  }
}

TEST(OutputStr, ReportsCuts) {
  char buf[8];
  qvo_int16 len = -99;
  EXPECT_EQ(OutputStr("abcdef", buf, 8, &len), 0);
  EXPECT_EQ(len, 6);
  EXPECT_EQ(OutputStr("abcdefghij", buf, 8, &len), 1);
  EXPECT_EQ(len, 7);
  EXPECT_STREQ(buf, "abcdefg");
  EXPECT_EQ(OutputStr("abcdefghij", buf, 8, nullptr), 0);
  EXPECT_EQ(OutputStr("abcdefghij", nullptr, 8, &len), 0);
  EXPECT_EQ(len, 10);
  EXPECT_EQ(OutputStr("abc", buf, -2, &len), -1);
}

TEST(Scanners, ParameterMarkers) {
  struct Case {
    const char* sql;
    int markers;
  } cases[] = {
      {"select * from t where a = ? and b = ?", 2},
      {"insert into t values ('?', ?)", 1},
      {"select 'it''s ?' from t where x = ?", 1},    // doubled quote leaves and re-enters
      {"select \"?\" from t where a = ?", 1},        // quoted identifier
      {"select \"a\"\"?\" from t", 0},               // doubled quote inside an identifier
      {"select 1 -- why?\n from t where a = ?", 1},  // line comment ends at the newline
      {"select /* ? */ ? from t", 1},
      {"select /* open ? ", 0},
      {"select a-? from t", 1},  // a single dash is an operator
      {"select 'open ? ", 0},
      {"", 0},
      {nullptr, 0},
  };
  for (const Case& tc : cases)
    EXPECT_EQ(GetNumParams(tc.sql), tc.markers) << (tc.sql ? tc.sql : "(null)");
}

TEST(Scanners, SearchPatternsAndValues) {
  struct Case {
    const char* ident;
    bool pattern;
  } cases[] = {
      {"ABC", false},        {"A_C", true}, {"A\\_C", false}, {"A\\\\_C", true}, {"100\\%", false},
      {"100\\\\\\%", false}, {"%", true},   {"", false},      {nullptr, false},  {"a\\b_", true},
  };
  for (const Case& tc : cases)
    EXPECT_EQ(HasSearchPatterns(tc.ident), tc.pattern) << (tc.ident ? tc.ident : "(null)");
  EXPECT_TRUE(HasStrValue("x"));
  EXPECT_FALSE(HasStrValue(""));
  EXPECT_FALSE(HasStrValue(nullptr));
}

TEST(Scanners, HostListCharacters) {
  struct Case {
    const char* hosts;
    int result;
  } cases[] = {
      {"node1.example.com:5000-5010,node2", 0},
      {"10.0.0.1 10.0.0.2\t\r\n", 0},
      {"//etc/hosts.list", 0},
      {"//", 1},
      {"my_host", 1},
      {"host;drop", 1},
      {"", 0},
      {nullptr, 0},
  };
  for (const Case& tc : cases)
    EXPECT_EQ(qvoCheckHostsString(tc.hosts), tc.result) << (tc.hosts ? tc.hosts : "(null)");
}

TEST(KeyValue, ReadsOneValue) {
  struct Case {
    const char* text;
    int length;
    const char* key;
    int bufferSize;
    int result;
    const char* value;  // output afterwards; "untouched" when not written
  } cases[] = {
      {"UID=me;PWD=secret", NTS, "pwd", 16, 1, "secret"},  // keys without regard to case
      {"UID=me;PWD=secret", NTS, "UID", 16, 1, "me"},
      {"XUID=1;UID=2", NTS, "UID", 16, 1, "2"},         // only at the start or after ';'
      {"a=1; UID=me", NTS, "UID", 16, 0, "untouched"},  // not after a blank
      {"UID=;UID=me", NTS, "UID", 16, 1, "me"},         // empty values do not count
      {"UID=", NTS, "UID", 16, 0, "untouched"},
      {"DSN=x", NTS, "UID", 16, 0, "untouched"},
      {"UID=abcdef", 6, "UID", 16, 1, "ab"},         // explicit length
      {"UID=abc", NTS, "UID", 4, 1, "abc"},          // value and terminator fit exactly
      {"UID=abcd", NTS, "UID", 4, -1, "untouched"},  // refused, never cut or overrun
      {"UID=abc", -2, "UID", 16, -1, "untouched"},
      {"U", NTS, "UID", 16, 0, "untouched"},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.text);
    char out[16];
    std::strcpy(out, "untouched");
    EXPECT_EQ(qvoKeyValue(tc.text, tc.length, tc.key, out, tc.bufferSize), tc.result);
    EXPECT_STREQ(out, tc.value);

    const auto text = Wide(tc.text);
    const auto key = Wide(tc.key);
    SQLWCHAR wout[16] = {'u', 0};
    EXPECT_EQ(qvoKeyValueW(text.data(), tc.length, key.data(), wout, tc.bufferSize), tc.result);
    if (tc.result == 1) {
      const auto expected = Wide(tc.value);
      EXPECT_EQ(std::vector<SQLWCHAR>(wout, wout + expected.size()), expected);
    } else {
      EXPECT_EQ(wout[0], SQLWCHAR('u'));
    }
  }
}

TEST(ReplaceKey, EditsInPlace) {
  struct Case {
    const char* text;
    int length;
    const char* key;
    const char* value;
    int nAdd;
    int bufferSize;
    int result;
    const char* after;
  } cases[] = {
      {"A=1;B=2;C=3", NTS, "B", "22", 0, 64, 12, "A=1;B=22;C=3"},
      {"A=1;B=222;C=3", NTS, "B", "2", 0, 64, 11, "A=1;B=2;C=3"},
      {"X=1;B=1; B=2", NTS, "B", "9", 0, 64, 12, "X=1;B=9; B=9"},  // every occurrence
      {"X=1;B=1 B=2", NTS, "B", "9", 0, 64, 7, "X=1;B=9"},         // a blank does not end a value
      {"A=1;b=2", NTS, "B", "9", 0, 64, 7, "A=1;b=2"},             // case-sensitive
      {"B=1;C=2", NTS, "B", "5", 1, 64, 12, "B=1;C=2;B=5;"},       // never at the first byte
      {"A=1;", NTS, "B", "5", 1, 64, 8, "A=1;B=5;"},
      {"A=1", NTS, "B", "5", 0, 64, 3, "A=1"},
      {"A=1;B=2", NTS, "B", "12345", 0, 8, -1, "A=1;B=2"},     // no room: unchanged
      {"A=1;B=2", NTS, "B", "1234", 0, 11, 10, "A=1;B=1234"},  // fits exactly
      {"A=1;B=123", 7, "B", "9", 0, 64, -10, "A=1;B=123"},     // value runs past the length
      {"A", NTS, "LONGKEY", "9", 1, 64, -1, "A"},
      {"A=1;B=2", -4, "B", "9", 0, 64, -1, "A=1;B=2"},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.text);
    char buf[64] = {};
    std::strcpy(buf, tc.text);
    EXPECT_EQ(qvoReplaceKey(reinterpret_cast<SQLCHAR*>(buf), tc.length,
                            reinterpret_cast<const SQLCHAR*>(tc.key),
                            reinterpret_cast<const SQLCHAR*>(tc.value), tc.nAdd, tc.bufferSize),
              tc.result);
    EXPECT_STREQ(buf, tc.after);
  }
}

TEST(ReplaceKey, RefusesKeysLongerThanTheWorkArea) {
  const std::string fits(1022, 'K');
  const std::string tooLong(1023, 'K');
  for (const auto& [key, result] : {std::pair{fits, 0}, std::pair{tooLong, -1}}) {
    std::string text = "A=1;" + key + "=2";
    std::vector<char> buf(text.begin(), text.end());
    buf.resize(text.size() + 8, 0);
    const int r = qvoReplaceKey(reinterpret_cast<SQLCHAR*>(buf.data()), SQL_NTS,
                                reinterpret_cast<const SQLCHAR*>(key.c_str()),
                                reinterpret_cast<const SQLCHAR*>("3"), 0, int(buf.size()));
    if (result == 0) {
      EXPECT_EQ(r, int(text.size()));
      EXPECT_EQ(std::string(buf.data()), "A=1;" + key + "=3");
    } else {
      EXPECT_EQ(r, -1);
      EXPECT_EQ(std::string(buf.data()), text);
    }
  }
}

}  // namespace
