// Handles, environment attributes and diagnostics through the exported
// functions of libqvocli.so.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"

namespace {

constexpr char kPrefix[] = "[OSTRANA][Vandrel driver]";

SQLHANDLE Value(uintptr_t v) { return reinterpret_cast<SQLHANDLE>(v); }
uintptr_t Index(SQLHANDLE h) { return reinterpret_cast<uintptr_t>(h); }

SQLHANDLE NewEnv() {
  SQLHANDLE env = SQL_NULL_HANDLE;
  EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  return env;
}

// LC_CTYPE for the life of the object; converters and the message language
// follow LC_CTYPE when an environment is created.
class ScopedCtype {
 public:
  explicit ScopedCtype(const char* name) : old_(setlocale(LC_CTYPE, nullptr)) {
    ok_ = setlocale(LC_CTYPE, name) != nullptr;
  }
  ~ScopedCtype() { setlocale(LC_CTYPE, old_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_ = false;
};

struct Record {
  SQLRETURN rc;
  std::string state;
  SQLINTEGER native;
  std::string message;
};

Record ReadRecord(SQLHANDLE env, SQLSMALLINT rec) {
  Record r{};
  SQLCHAR state[6] = {};
  SQLCHAR text[512] = {};
  SQLSMALLINT len = 0;
  r.rc = QVOGetDiagRec(SQL_HANDLE_ENV, env, rec, state, &r.native, text, sizeof text, &len);
  r.state = reinterpret_cast<char*>(state);
  r.message = reinterpret_cast<char*>(text);
  return r;
}

std::u16string Utf16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

SQLINTEGER NumRecords(SQLHANDLE env) {
  SQLINTEGER n = -1;
  QVOGetDiagField(SQL_HANDLE_ENV, env, 0, SQL_DIAG_NUMBER, &n, 0, nullptr);
  return n;
}

}  // namespace

TEST(HandleApi, ValuesAreLowestFreeIndexes) {
  SQLHANDLE a = NewEnv();
  SQLHANDLE b = NewEnv();
  EXPECT_EQ(Index(a), 1u);
  EXPECT_EQ(Index(b), 2u);
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, a), SQL_SUCCESS);
  SQLHANDLE c = NewEnv();
  EXPECT_EQ(Index(c), 1u) << "a freed value is reused when it is the lowest free one";
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, c), SQL_SUCCESS);
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, b), SQL_SUCCESS);
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, b), SQL_INVALID_HANDLE) << "freed";
}

TEST(HandleApi, InvalidHandlesGiveMinusTwoAndRecordNothing) {
  SQLHANDLE env = NewEnv();
  SQLHANDLE freed = NewEnv();
  QVOFreeHandle(SQL_HANDLE_ENV, freed);
  SQLINTEGER v = 0;
  struct Case {
    const char* what;
    SQLRETURN rc;
  } cases[] = {
      {"value 0", QVOSetEnvAttr(SQL_NULL_HANDLE, SQL_ATTR_ODBC_VERSION, Value(3), 0)},
      {"freed value", QVOGetEnvAttr(freed, SQL_ATTR_ODBC_VERSION, &v, 0, nullptr)},
      {"above the table", QVOGetEnvAttr(Value(5000), SQL_ATTR_ODBC_VERSION, &v, 0, nullptr)},
      {"diag on wrong type",
       QVOGetDiagRec(SQL_HANDLE_DBC, env, 1, nullptr, nullptr, nullptr, 0, nullptr)},
      {"diag type 0", QVOGetDiagRec(0, freed, 1, nullptr, nullptr, nullptr, 0, nullptr)},
      {"free as statement", QVOFreeHandle(SQL_HANDLE_STMT, env)},
      {"end tran on wrong type", QVOEndTran(SQL_HANDLE_DBC, env, SQL_COMMIT)},
      {"statement under an environment",
       [&] {
         SQLHANDLE out = Value(77);
         return QVOAllocHandle(SQL_HANDLE_STMT, env, &out);
       }()},
      {"set diag rec on wrong type",
       QVOSetDiagRec(SQL_HANDLE_STMT, env, "HY000", 1, "not recorded")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rc, SQL_INVALID_HANDLE) << c.what;
  EXPECT_EQ(NumRecords(env), 0);
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(HandleApi, RefusedAllocationsAndFreesGiveMinusOne) {
  SQLHANDLE env = NewEnv();
  SQLHANDLE out = SQL_NULL_HANDLE;
  struct Case {
    const char* what;
    SQLRETURN rc;
  } cases[] = {
      {"environment under a live handle", QVOAllocHandle(SQL_HANDLE_ENV, env, &out)},
      {"type outside 1 to 4 under a live handle", QVOAllocHandle(7, env, &out)},
      {"connection without a parent", QVOAllocHandle(SQL_HANDLE_DBC, SQL_NULL_HANDLE, &out)},
      {"descriptor under a free value", QVOAllocHandle(SQL_HANDLE_DESC, Value(999), &out)},
      {"environment without an output pointer",
       QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, nullptr)},
      {"free with type 0 and a free value", QVOFreeHandle(0, Value(999))},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rc, SQL_ERROR) << c.what;
  EXPECT_EQ(NumRecords(env), 0);
  EXPECT_EQ(QVOEndTran(SQL_HANDLE_ENV, env, SQL_COMMIT), SQL_SUCCESS) << "no connections";
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

// An allocation is a call on its input handle like any other: it starts
// without the records of earlier calls, so a refused one carries only its
// own.
TEST(HandleApi, AllocationsStartWithoutEarlierRecords) {
  SQLHANDLE env = NewEnv();
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  for (const SQLSMALLINT type : {SQL_HANDLE_STMT, SQL_HANDLE_DESC}) {
    SCOPED_TRACE(type);
    ASSERT_EQ(QVOEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_ERROR);  // 08003 left on it
    SQLHANDLE out = Value(77);
    EXPECT_EQ(QVOAllocHandle(type, dbc, &out), SQL_ERROR);
    EXPECT_EQ(out, nullptr);
    SQLCHAR state[6] = {};
    SQLCHAR text[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    ASSERT_EQ(QVOGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native, text, sizeof text, &len),
              SQL_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(state)), "HY000");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text)),
              std::string(kPrefix) + "Database server not connected.");
    EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_DBC, dbc, 2, state, &native, text, sizeof text, &len),
              SQL_NO_DATA);
  }
  // Under an environment likewise: a successful allocation leaves none.
  ASSERT_EQ(QVOEndTran(SQL_HANDLE_ENV, env, 7), SQL_ERROR);
  ASSERT_EQ(NumRecords(env), 1);
  SQLHANDLE another = SQL_NULL_HANDLE;
  EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &another), SQL_SUCCESS);
  EXPECT_EQ(NumRecords(env), 0);
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(HandleApi, TableHolds2048HandlesThenRefusesWithOutputZero) {
  std::vector<SQLHANDLE> envs;
  SQLHANDLE h = SQL_NULL_HANDLE;
  while (envs.size() < 2048 && QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h) == SQL_SUCCESS)
    envs.push_back(h);
  ASSERT_EQ(envs.size(), 2048u);
  EXPECT_EQ(Index(envs.back()), 2048u);
  h = Value(12345);
  EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h), SQL_ERROR);
  EXPECT_EQ(h, nullptr);
  for (SQLHANDLE e : envs) EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, e), SQL_SUCCESS);
}

TEST(HandleApi, EnvironmentAttributes) {
  SQLHANDLE env = NewEnv();
  const struct Default {
    SQLINTEGER attr;
    SQLINTEGER value;
  } defaults[] = {{SQL_ATTR_ODBC_VERSION, 3},
                  {SQL_ATTR_CONNECTION_POOLING, 0},
                  {SQL_ATTR_CP_MATCH, 1},
                  {1065, 1},
                  {SQL_ATTR_OUTPUT_NTS, 1}};
  for (const auto& d : defaults) {
    SQLINTEGER v = -7;
    EXPECT_EQ(QVOGetEnvAttr(env, d.attr, &v, 0, nullptr), SQL_SUCCESS) << d.attr;
    EXPECT_EQ(v, d.value) << d.attr;
  }

  SQLINTEGER seven = 7, zero = 0;
  const struct Set {
    SQLINTEGER attr;
    SQLPOINTER value;
    SQLRETURN rc;
    const char* state;  // "" for success
    SQLINTEGER reads;   // value read back afterwards
  } sets[] = {
      {SQL_ATTR_ODBC_VERSION, Value(380), SQL_SUCCESS, "", 380},
      {SQL_ATTR_ODBC_VERSION, Value(4), SQL_ERROR, "HY024", 380},
      {SQL_ATTR_ODBC_VERSION, Value((uintptr_t{1} << 32) | 3), SQL_ERROR, "HY024", 380},
      {SQL_ATTR_CONNECTION_POOLING, &seven, SQL_SUCCESS, "", 7},
      // ODBC passes these values in the argument itself.
      {SQL_ATTR_CONNECTION_POOLING, Value(2), SQL_SUCCESS, "", 2},
      {SQL_ATTR_CP_MATCH, Value(0), SQL_SUCCESS, "", 0},
      {SQL_ATTR_OUTPUT_NTS, &zero, SQL_SUCCESS, "", 0},
      {1065, Value(5), SQL_SUCCESS, "", 5},
      {1065, Value(0), SQL_ERROR, "HY024", 5},
      {1065, Value(1), SQL_SUCCESS, "", 1},
      {4711, Value(1), SQL_ERROR, "HY092", 0},
  };
  for (const auto& s : sets) {
    EXPECT_EQ(QVOSetEnvAttr(env, s.attr, s.value, 0), s.rc) << s.attr;
    const Record r = ReadRecord(env, 1);
    if (*s.state) {
      EXPECT_EQ(r.rc, SQL_SUCCESS);
      EXPECT_EQ(r.state, s.state) << s.attr;
      EXPECT_EQ(r.native, -1);
      EXPECT_EQ(r.message.rfind(kPrefix, 0), 0u) << r.message;
    } else {
      EXPECT_EQ(r.rc, SQL_NO_DATA) << "a successful call leaves no record: " << s.attr;
    }
    if (s.attr == 4711) continue;
    SQLINTEGER v = -7;
    EXPECT_EQ(QVOGetEnvAttr(env, s.attr, &v, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(v, s.reads) << s.attr;
  }

  const struct Get {
    SQLINTEGER attr;
    SQLPOINTER value;
    const char* state;
  } gets[] = {{SQL_ATTR_ODBC_VERSION, nullptr, "HY010"},
              {SQL_ATTR_ODBC_VERSION, Value(9999), "HY010"},
              {4711, &seven, "HY092"}};
  for (const auto& g : gets) {
    EXPECT_EQ(QVOGetEnvAttr(env, g.attr, g.value, 0, nullptr), SQL_ERROR);
    EXPECT_EQ(ReadRecord(env, 1).state, g.state);
  }
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(HandleApi, DiagnosticsReadBackNarrowAndWide) {
  SQLHANDLE env = NewEnv();
  ASSERT_EQ(QVOSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, Value(4), 0), SQL_ERROR);
  const std::string message = std::string(kPrefix) + "Invalid attribute value.";
  const SQLSMALLINT full = static_cast<SQLSMALLINT>(message.size());

  // Narrow record: whole, cut (full length reported), length only.
  Record r = ReadRecord(env, 1);
  EXPECT_EQ(r.message, message);
  SQLCHAR small[11];
  SQLSMALLINT len = 0;
  EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_ENV, env, 1, nullptr, nullptr, small, sizeof small, &len),
            SQL_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(small), message.substr(0, 10).c_str());
  EXPECT_EQ(len, full);
  len = 0;
  EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_ENV, env, 1, nullptr, nullptr, nullptr, 10, &len),
            SQL_SUCCESS);
  EXPECT_EQ(len, full);
  EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_ENV, env, 2, nullptr, nullptr, small, 11, &len), SQL_NO_DATA);
  EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_ENV, env, -1, nullptr, nullptr, small, 11, &len), SQL_ERROR);

  // Wide record: lengths in SQLWCHAR units; the buffer is never overrun.
  SQLWCHAR wstate[6] = {};
  SQLWCHAR wtext[16];
  for (auto& u : wtext) u = 0xAAAA;
  SQLINTEGER native = 0;
  len = 0;
  EXPECT_EQ(QVOGetDiagRecW(SQL_HANDLE_ENV, env, 1, wstate, &native, wtext, 10, &len), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wstate)), u"HY024");
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wtext)), Utf16(message.substr(0, 9)));
  EXPECT_EQ(wtext[10], 0xAAAA);
  EXPECT_EQ(len, full);
  EXPECT_EQ(native, -1);

  // Fields: message narrow and wide (bytes), SQLSTATE, native, class origin.
  char ftext[256] = {};
  SQLSMALLINT flen = 0;
  EXPECT_EQ(
      QVOGetDiagField(SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, ftext, sizeof ftext, &flen),
      SQL_SUCCESS);
  EXPECT_EQ(ftext, message);
  EXPECT_EQ(flen, full);
  SQLWCHAR wfield[8];
  EXPECT_EQ(
      QVOGetDiagFieldW(SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, wfield, sizeof wfield, &flen),
      SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wfield)), Utf16(message.substr(0, 7)));
  EXPECT_EQ(flen, 2 * full);
  EXPECT_EQ(
      QVOGetDiagFieldW(SQL_HANDLE_ENV, env, 1, SQL_DIAG_SQLSTATE, wfield, sizeof wfield, &flen),
      SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wfield)), u"HY024");
  EXPECT_EQ(
      QVOGetDiagField(SQL_HANDLE_ENV, env, 1, SQL_DIAG_CLASS_ORIGIN, ftext, sizeof ftext, &flen),
      SQL_SUCCESS);
  EXPECT_STREQ(ftext, "ISO 9075");
  SQLINTEGER n = 0;
  EXPECT_EQ(QVOGetDiagField(SQL_HANDLE_ENV, env, 1, SQL_DIAG_NATIVE, &n, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(n, -1);
  EXPECT_EQ(
      QVOGetDiagField(SQL_HANDLE_ENV, env, 0, SQL_DIAG_MESSAGE_TEXT, ftext, sizeof ftext, &flen),
      SQL_ERROR)
      << "record fields start at record 1";

  // The length of a text field asked alone (no buffer), or cut into a
  // buffer: always the whole text's, so that an application can ask again
  // for the rest of a long message.
  const struct Length {
    bool wide;
    bool given;  // a buffer of `buffer` bytes is given
    SQLSMALLINT buffer;
    SQLRETURN rc;
    SQLSMALLINT length;
  } lengths[] = {{false, false, 0, SQL_SUCCESS_WITH_INFO, full},
                 {false, false, 200, SQL_SUCCESS, full},
                 {true, false, 0, SQL_SUCCESS_WITH_INFO, static_cast<SQLSMALLINT>(2 * full)},
                 {true, false, 400, SQL_SUCCESS, static_cast<SQLSMALLINT>(2 * full)},
                 {false, true, 11, SQL_SUCCESS_WITH_INFO, full},
                 {true, true, 16, SQL_SUCCESS_WITH_INFO, static_cast<SQLSMALLINT>(2 * full)}};
  for (const auto& l : lengths) {
    SCOPED_TRACE(testing::Message() << l.wide << "/" << l.given << "/" << l.buffer);
    flen = 0;
    SQLWCHAR buffer[200];
    const auto get = l.wide ? QVOGetDiagFieldW : QVOGetDiagField;
    EXPECT_EQ(get(SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, l.given ? buffer : nullptr,
                  l.buffer, &flen),
              l.rc);
    EXPECT_EQ(flen, l.length);
  }
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(HandleApi, DiagnosticEdgeCases) {
  SQLHANDLE env = NewEnv();
  char text[64];
  SQLSMALLINT len = 0;
  EXPECT_EQ(QVOGetDiagField(SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, text, sizeof text, &len),
            SQL_NO_DATA)
      << "no records";

  EXPECT_EQ(QVOSetDiagRec(SQL_HANDLE_ENV, env, "01234567", 42, "own text"), SQL_ERROR);
  EXPECT_EQ(
      QVOSetDiagRec(SQL_HANDLE_ENV, env, "HY000", 1, "[OSTRANA][Vandrel driver]already prefixed"),
      SQL_ERROR);
  Record one = ReadRecord(env, 1), two = ReadRecord(env, 2);
  EXPECT_EQ(one.state, "01234");
  EXPECT_EQ(one.native, 42);
  EXPECT_EQ(one.message, std::string(kPrefix) + "own text");
  EXPECT_EQ(two.message, std::string(kPrefix) + "already prefixed");

  SQLSMALLINT rc = 0;
  EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_ENV, env, 0, nullptr, nullptr, nullptr, 0, nullptr),
            SQL_NO_DATA);
  EXPECT_EQ(QVOGetDiagField(SQL_HANDLE_ENV, env, 0, SQL_DIAG_RETURNCODE, &rc, 0, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(rc, SQL_SUCCESS) << "record 0 leaves the stored return code alone";

  const struct Field {
    SQLSMALLINT id;
    SQLRETURN rc;
    SQLINTEGER value;
  } fields[] = {{SQL_DIAG_COLUMN_NUMBER, SQL_SUCCESS, SQL_COLUMN_NUMBER_UNKNOWN},
                {1002, SQL_NO_DATA, 99},
                {SQL_DIAG_DYNAMIC_FUNCTION, SQL_SUCCESS, 99},
                {SQL_DIAG_CURSOR_ROW_COUNT, SQL_ERROR, 99},
                {4242, SQL_ERROR, 99}};
  for (const auto& f : fields) {
    SQLINTEGER v = 99;
    SQLSMALLINT l = 0;
    EXPECT_EQ(QVOGetDiagField(SQL_HANDLE_ENV, env, 5, f.id, &v, sizeof v, &l), f.rc) << f.id;
    EXPECT_EQ(v, f.value) << f.id;
  }

  // A negative buffer length is refused with its own record.
  EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_ENV, env, 1, nullptr, nullptr,
                          reinterpret_cast<SQLCHAR*>(text), -5, &len),
            SQL_ERROR);
  EXPECT_EQ(ReadRecord(env, 3).state, "HY090");
  EXPECT_EQ(QVOGetDiagField(SQL_HANDLE_ENV, env, 1, SQL_DIAG_MESSAGE_TEXT, text, -2, &len),
            SQL_ERROR);
  EXPECT_EQ(ReadRecord(env, 4).state, "HY090");
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(HandleApi, TextIsCutBetweenCharacters) {
  ScopedCtype utf8("C.UTF-8");
  if (!utf8.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  SQLHANDLE env = NewEnv();
  // "ab", then a two-byte, a three-byte and a four-byte character (the last a
  // surrogate pair in UTF-16).
  const std::string tail = "ab\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";
  ASSERT_EQ(QVOSetDiagRec(SQL_HANDLE_ENV, env, "HY000", 1, tail.c_str()), SQL_ERROR);
  const std::string message = kPrefix + tail;
  const size_t p = sizeof kPrefix - 1;

  const struct Narrow {
    SQLSMALLINT buffer;
    size_t kept;                                            // bytes of the message that arrive
  } narrow[] = {{static_cast<SQLSMALLINT>(p + 4), p + 2},   // cut inside the two-byte char
                {static_cast<SQLSMALLINT>(p + 6), p + 4},   // inside the three-byte char
                {static_cast<SQLSMALLINT>(p + 10), p + 7},  // inside the four-byte char
                {static_cast<SQLSMALLINT>(p + 12), p + 11}};
  for (const auto& n : narrow) {
    std::vector<char> buf(n.buffer + 4, '#');
    SQLSMALLINT len = 0;
    QVOGetDiagRec(SQL_HANDLE_ENV, env, 1, nullptr, nullptr, reinterpret_cast<SQLCHAR*>(buf.data()),
                  n.buffer, &len);
    EXPECT_EQ(std::string(buf.data()), message.substr(0, n.kept)) << n.buffer;
    EXPECT_EQ(buf[n.buffer], '#') << "nothing past the buffer";
    EXPECT_EQ(len, static_cast<SQLSMALLINT>(message.size()));
  }

  // UTF-16: prefix + a, b, ä, € = p + 4 units, then the surrogate pair.
  const std::u16string wmessage = Utf16(kPrefix) + u"ab\u00E4\u20AC\U0001F600";
  for (SQLSMALLINT units : {static_cast<SQLSMALLINT>(p + 6), static_cast<SQLSMALLINT>(p + 7)}) {
    std::vector<SQLWCHAR> buf(units + 2, 0xAAAA);
    SQLSMALLINT len = 0;
    QVOGetDiagRecW(SQL_HANDLE_ENV, env, 1, nullptr, nullptr, buf.data(), units, &len);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf.data())),
              units == p + 6 ? wmessage.substr(0, p + 4) : wmessage)
        << units;
    EXPECT_EQ(buf[units], 0xAAAA);
    EXPECT_EQ(len, static_cast<SQLSMALLINT>(wmessage.size()));
  }

  // Text that is not valid in the application's code set is not kept.
  EXPECT_EQ(QVOSetDiagRec(SQL_HANDLE_ENV, env, "HY000", 1, "bad \xC3 byte"), SQL_ERROR);
  EXPECT_EQ(ReadRecord(env, 2).message,
            std::string(kPrefix) + "Original message was not UTF-8 compatible and is lost.");
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(HandleApi, GermanTextsUnderAGermanLocale) {
  // A German locale made for this test, in Latin-1, so that the narrow texts
  // are converted as well.
  const std::string dir = testing::TempDir() + "qvo_locales";
  mkdir(dir.c_str(), 0700);
  const std::string name = "de_DE.ISO-8859-1";
  const std::string cmd =
      "localedef -c -i de_DE -f ISO-8859-1 '" + dir + "/" + name + "' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) == -1) GTEST_SKIP() << "cannot run localedef";
  setenv("LOCPATH", dir.c_str(), 1);
  SQLHANDLE env = SQL_NULL_HANDLE;
  {
    ScopedCtype german(name.c_str());
    unsetenv("LOCPATH");
    if (!german.ok()) GTEST_SKIP() << "no German locale could be made";
    env = NewEnv();
  }
  ASSERT_EQ(QVOSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, Value(4), 0), SQL_ERROR);
  const Record r = ReadRecord(env, 1);
  EXPECT_EQ(r.state, "HY024");
  EXPECT_EQ(r.message, std::string(kPrefix) + "Ung\xFCltiger Attribut-Wert.");
  SQLWCHAR w[80] = {};
  SQLSMALLINT len = 0;
  QVOGetDiagRecW(SQL_HANDLE_ENV, env, 1, nullptr, nullptr, w, 80, &len);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(w)),
            Utf16(kPrefix) + u"Ung\u00FCltiger Attribut-Wert.");
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

TEST(HandleApi, DllVersion) {
  char buffer[128];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(CLIDllVersion(buffer), 0);
  EXPECT_EQ(std::string(buffer).rfind("VERSION=5.0.17 REVISION=", 0), 0u) << buffer;
  EXPECT_LT(strlen(buffer), sizeof buffer);
}
