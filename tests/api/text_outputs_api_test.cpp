// Text outputs of the statement interface cut to the caller's buffer:
// NativeSql in both forms and the W form of ColAttribute. A cut keeps a
// terminator inside the buffer, never writes past it, reports the whole
// length in the form's units and gives 01004 with 1.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/api_session.h"
#include "qvo/qvoCInterface.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

constexpr unsigned char kGuard = 0xAB;

std::vector<SQLWCHAR> Wide(const std::string& ascii) {
  std::vector<SQLWCHAR> out(ascii.begin(), ascii.end());
  out.push_back(0);
  return out;
}

struct NativeCase {
  const char* name;
  const char* in;     // nullptr: no input text
  SQLINTEGER inLen;   // characters of the form, or SQL_NTS
  SQLINTEGER outMax;  // characters of the form
  bool outBuffer;     // false: a null output pointer
  SQLRETURN rc;
  const char* out;    // what the buffer holds afterwards (nullptr: untouched)
  SQLINTEGER len;     // *pcbSqlStr afterwards (-99: untouched)
  const char* state;  // the handle's first record ("" for none)
};

const NativeCase kNative[] = {
    {"whole", "SELECT 1", SQL_NTS, 20, true, SQL_SUCCESS, "SELECT 1", 8, ""},
    {"exact fit", "SELECT 1", SQL_NTS, 9, true, SQL_SUCCESS, "SELECT 1", 8, ""},
    {"one short", "SELECT 1", SQL_NTS, 8, true, SQL_SUCCESS_WITH_INFO, "SELECT ", 8, "01004"},
    {"cut", "SELECT 1", SQL_NTS, 5, true, SQL_SUCCESS_WITH_INFO, "SELE", 8, "01004"},
    {"explicit length", "SELECT 1", 6, 20, true, SQL_SUCCESS, "SELECT", 6, ""},
    {"explicit length cut", "SELECT 1", 6, 4, true, SQL_SUCCESS_WITH_INFO, "SEL", 6, "01004"},
    {"terminator only", "SELECT 1", SQL_NTS, 1, true, SQL_SUCCESS_WITH_INFO, "", 8, "01004"},
    {"no room", "SELECT 1", SQL_NTS, 0, true, SQL_SUCCESS_WITH_INFO, nullptr, 8, "01004"},
    {"length only", "SELECT 1", SQL_NTS, 0, false, SQL_SUCCESS, nullptr, 8, ""},
    {"empty", "", SQL_NTS, 4, true, SQL_SUCCESS, "", 0, ""},
    {"no input", nullptr, SQL_NTS, 4, true, SQL_SUCCESS, "", 0, ""},
    {"negative size", "SELECT 1", SQL_NTS, -1, true, SQL_ERROR, nullptr, -99, "HY090"},
    {"negative length", "SELECT 1", -7, 20, true, SQL_ERROR, nullptr, -99, "HY090"},
};

class NativeSqlTest : public ::testing::TestWithParam<bool> {};

// Both forms, once on a live connection handle (which gets the records) and
// once without a handle (the copy is the same, nothing is recorded).
TEST_P(NativeSqlTest, CutsToTheBufferAndReportsTheWholeLength) {
  const bool wide = GetParam();
  api::Session session;
  for (const SQLHANDLE handle : {session.dbc, SQLHANDLE{}}) {
    for (const NativeCase& c : kNative) {
      const std::string where = std::string(c.name) + (handle ? " on a connection" : " alone");
      SQLINTEGER len = -99;
      SQLRETURN rc;
      std::string got;
      bool untouched = true;
      bool guarded = true;
      if (!wide) {
        std::vector<unsigned char> out(64, kGuard);
        rc = QVONativeSql(handle, reinterpret_cast<SQLCHAR*>(const_cast<char*>(c.in)), c.inLen,
                          c.outBuffer ? out.data() : nullptr, c.outMax, &len);
        const size_t room = c.outMax > 0 ? static_cast<size_t>(c.outMax) : 0;
        for (size_t i = room; i < out.size(); ++i) guarded = guarded && out[i] == kGuard;
        untouched = out[0] == kGuard;
        if (!untouched) got = reinterpret_cast<const char*>(out.data());
      } else {
        std::vector<SQLWCHAR> in = Wide(c.in ? c.in : "");
        std::vector<SQLWCHAR> out(64, 0xABAB);
        rc = QVONativeSqlW(handle, c.in ? in.data() : nullptr, c.inLen,
                           c.outBuffer ? out.data() : nullptr, c.outMax, &len);
        const size_t room = c.outMax > 0 ? static_cast<size_t>(c.outMax) : 0;
        for (size_t i = room; i < out.size(); ++i) guarded = guarded && out[i] == 0xABAB;
        untouched = out[0] == 0xABAB;
        for (size_t i = 0; !untouched && out[i] != 0; ++i) got += static_cast<char>(out[i]);
      }
      EXPECT_EQ(rc, c.rc) << where;
      EXPECT_TRUE(guarded) << where << ": written past the buffer";
      if (c.out && c.outBuffer) {
        EXPECT_FALSE(untouched) << where;
        EXPECT_EQ(got, c.out) << where;
      } else {
        EXPECT_TRUE(untouched) << where;
      }
      EXPECT_EQ(len, c.len) << where;
      if (handle) {
        const std::vector<api::Record> records = api::Records(SQL_HANDLE_DBC, handle);
        EXPECT_EQ(records.empty() ? "" : records[0].state, c.state) << where;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, NativeSqlTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Narrow"; });

// The W form of a text attribute counts bytes: the whole BufferLength is the
// room, the terminator takes two of them, an odd last byte stays unused, and
// the length is the whole text's in bytes.
TEST(ColAttributeWTest, TheWholeBufferInBytes) {
  api::Session s;
  const char* kSql = "SELECT LABEL";
  // "ÄBC": 4 bytes of UTF-8, three UTF-16 units, 6 bytes.
  s.node.ServeTable(kSql, fake::Table::Sample({fake::results::Column::Double("\xC3\x84"
                                                                             "BC")},
                                              1));
  ASSERT_EQ(s.Exec(kSql), SQL_SUCCESS);
  struct Case {
    SQLSMALLINT bufferLength;
    bool buffer;
    SQLRETURN rc;
    std::u16string out;  // what the buffer holds; "~" for untouched
    const char* state;
  };
  const Case cases[] = {
      {64, true, SQL_SUCCESS, u"\u00C4BC", ""},
      {8, true, SQL_SUCCESS, u"\u00C4BC", ""},
      {7, true, SQL_SUCCESS_WITH_INFO, u"\u00C4B", "01004"},
      {6, true, SQL_SUCCESS_WITH_INFO, u"\u00C4B", "01004"},
      {5, true, SQL_SUCCESS_WITH_INFO, u"\u00C4", "01004"},
      {2, true, SQL_SUCCESS_WITH_INFO, u"", "01004"},
      {1, true, SQL_SUCCESS_WITH_INFO, u"~", "01004"},
      {0, true, SQL_SUCCESS_WITH_INFO, u"~", "01004"},
      {0, false, SQL_SUCCESS, u"~", ""},
  };
  for (const Case& c : cases) {
    const std::string where =
        "BufferLength " + std::to_string(c.bufferLength) + (c.buffer ? "" : " without a buffer");
    std::vector<unsigned char> out(80, kGuard);
    SQLSMALLINT len = -99;
    EXPECT_EQ(QVOColAttributeW(s.stmt, 1, SQL_DESC_NAME, c.buffer ? out.data() : nullptr,
                               c.bufferLength, &len, nullptr),
              c.rc)
        << where;
    EXPECT_EQ(len, 6) << where;
    EXPECT_EQ(s.State(), c.state) << where;
    for (size_t i = static_cast<size_t>(c.bufferLength); i < out.size(); ++i)
      ASSERT_EQ(out[i], kGuard) << where << ": byte " << i << " written";
    if (c.out == u"~") {
      EXPECT_EQ(out[0], kGuard) << where;
      continue;
    }
    std::u16string got;
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
      SQLWCHAR unit;
      std::memcpy(&unit, &out[i], sizeof unit);
      if (unit == 0) break;
      got += static_cast<char16_t>(unit);
    }
    EXPECT_EQ(got, c.out) << where;
  }
}

// The encoding names among the statement attributes, in both forms: cut to
// the caller's buffer with a terminator inside it, the whole length in bytes,
// 01004 with 1 for a cut; never a length of -1.
TEST(StmtAttrTextTest, EncodingNamesAreCutAndTheWholeLengthTold) {
  api::Session s;
  for (SQLINTEGER attr : {21048, 21049, 21060, 21066}) {
    char whole[128] = {};
    SQLINTEGER n = -99;
    ASSERT_EQ(QVOGetStmtAttr(s.stmt, attr, whole, sizeof whole, &n), SQL_SUCCESS) << attr;
    ASSERT_GT(n, 1) << attr;
    const std::string name(whole, static_cast<size_t>(n));
    for (bool wide : {false, true}) {
      const SQLINTEGER unit = wide ? 2 : 1;
      struct Case {
        SQLINTEGER bufferLength;
        bool buffer;
        SQLRETURN rc;
        int kept;  // characters the buffer holds; -1: untouched
      };
      const Case cases[] = {
          {(n + 1) * unit, true, SQL_SUCCESS, n},
          {(n + 1) * unit - 1, true, SQL_SUCCESS_WITH_INFO, n - 1},
          {unit, true, SQL_SUCCESS_WITH_INFO, 0},
          {0, true, SQL_SUCCESS_WITH_INFO, -1},
          {0, false, SQL_SUCCESS, -1},
      };
      for (const Case& c : cases) {
        const std::string where = std::to_string(attr) + (wide ? " W" : "") + " BufferLength " +
                                  std::to_string(c.bufferLength);
        std::vector<unsigned char> out(300, kGuard);
        SQLINTEGER len = -99;
        SQLPOINTER value = c.buffer ? out.data() : nullptr;
        const SQLRETURN rc = wide ? QVOGetStmtAttrW(s.stmt, attr, value, c.bufferLength, &len)
                                  : QVOGetStmtAttr(s.stmt, attr, value, c.bufferLength, &len);
        EXPECT_EQ(rc, c.rc) << where;
        EXPECT_EQ(len, n * unit) << where;
        EXPECT_EQ(s.State(), c.rc == SQL_SUCCESS ? "" : "01004") << where;
        for (size_t i = static_cast<size_t>(c.bufferLength); i < out.size(); ++i)
          ASSERT_EQ(out[i], kGuard) << where << ": byte " << i << " written";
        if (c.kept < 0) {
          EXPECT_EQ(out[0], kGuard) << where;
          continue;
        }
        std::string got;
        for (int k = 0; k <= c.kept; ++k) {
          SQLWCHAR ch = out[static_cast<size_t>(k * unit)];
          if (wide) std::memcpy(&ch, &out[static_cast<size_t>(k * unit)], sizeof ch);
          if (k == c.kept) {
            EXPECT_EQ(ch, 0) << where << ": no terminator";
          } else {
            got.push_back(static_cast<char>(ch));
          }
        }
        EXPECT_EQ(got, name.substr(0, static_cast<size_t>(c.kept))) << where;
      }
      SQLINTEGER len = -99;
      EXPECT_EQ(wide ? QVOGetStmtAttrW(s.stmt, attr, whole, -1, &len)
                     : QVOGetStmtAttr(s.stmt, attr, whole, -1, &len),
                SQL_ERROR);
      EXPECT_EQ(s.State(), "HY090");
      EXPECT_EQ(len, -99);
    }
  }
}

}  // namespace
