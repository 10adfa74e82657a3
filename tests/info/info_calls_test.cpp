// GetInfo's checks on entry, its computed answers, the load on first need
// and the exported forms' own rules.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "common/qvoPredicates.h"
#include "info/info_fixture.h"

namespace {

class InfoCallsTest : public InfoConnectionTest {
 protected:
  void SetUp() override {
    InfoConnectionTest::SetUp();
    StandInView::rows = {{"SQLKeywords", "LIMIT,MINUS"}, {"databaseProductName", "Vandrel"}};
  }
};

TEST_F(InfoCallsTest, EntryChecks) {
  struct Case {
    const char* what;
    SQLSMALLINT type;
    bool buffer;
    SQLSMALLINT bufferLength;
    SQLRETURN rc;
    SQLSMALLINT length;  // -7: untouched
    const char* written;
    const char* diag;
  };
  const Case cases[] = {
      {"null buffer, number type", 30, false, 0, SQL_ERROR, -7, "xxxx",
       "HY010 Info output buffer is NULL."},
      {"driver name is not answered", 6, true, 10, SQL_ERROR, 0, "xxxx",
       "HY024 Invalid attribute type."},
      {"unknown type", 174, true, 10, SQL_ERROR, 0, "xxxx", "HY024 Invalid attribute type."},
      {"SQL_NTS as a size", 89, true, SQL_NTS, SQL_ERROR, 0, "xxxx",
       "HY090 Invalid string or buffer length."},
      {"negative size", 89, true, -1, SQL_ERROR, 0, "xxxx",
       "HY090 Invalid string or buffer length."},
      {"null buffer, text type: the length", 89, false, 0, SQL_SUCCESS, 11, "xxxx", ""},
      {"one byte: the terminator", 10, true, 1, SQL_SUCCESS_WITH_INFO, 10, "",
       "01004 String data, right truncated."},
      {"no byte: nothing", 10, true, 0, SQL_SUCCESS_WITH_INFO, 10, "xxxx",
       "01004 String data, right truncated."},
      {"Y/N in one byte", 11, true, 1, SQL_SUCCESS_WITH_INFO, 1, "",
       "01004 String data, right truncated."},
      {"answered with nothing", 171, false, 0, SQL_SUCCESS, 0, "xxxx", ""},
  };
  for (const Case& c : cases) {
    for (bool exported : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (exported ? " (QVOGetInfo)" : " (GetInfo)"));
      conn->ClearDiagRecords();
      char buffer[8] = "xxxx";
      SQLSMALLINT length = -7;
      void* out = c.buffer ? buffer : nullptr;
      const SQLRETURN rc =
          exported ? QVOGetInfo(dbc, c.type, out, c.bufferLength, &length)
                   : conn->GetInfo(static_cast<SQLUSMALLINT>(c.type), out, c.bufferLength, &length);
      EXPECT_EQ(rc, c.rc);
      EXPECT_EQ(length, c.length);
      EXPECT_STREQ(buffer, c.written);
      EXPECT_EQ(LastState(), c.diag);
      EXPECT_LE(Diags().size(), 1u);
    }
  }
}

TEST_F(InfoCallsTest, ExportedCallClearsEarlierRecordsAndChecksItsHandle) {
  conn->SetDiagRec("01000", 1, "earlier");
  char text[16];
  EXPECT_EQ(QVOGetInfo(dbc, 10, text, sizeof text, nullptr), SQL_SUCCESS);
  EXPECT_TRUE(Diags().empty());
  EXPECT_EQ(QVOGetInfo(reinterpret_cast<SQLHDBC>(2047), 10, text, sizeof text, nullptr),
            SQL_INVALID_HANDLE);
  EXPECT_EQ(QVOGetInfoW(env, 10, text, sizeof text, nullptr), SQL_INVALID_HANDLE);
}

TEST_F(InfoCallsTest, WideTextsKeepWholeUnits) {
  char16_t buffer[8];
  std::memset(buffer, 0x7F, sizeof buffer);
  SQLSMALLINT length = 0;
  // 7 bytes hold three units: two characters and the terminator.
  EXPECT_EQ(QVOGetInfoW(dbc, 45, buffer, 7, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(buffer), u"ta");
  EXPECT_EQ(length, 10);
  std::memset(buffer, 0x7F, sizeof buffer);
  EXPECT_EQ(QVOGetInfoW(dbc, 45, buffer, 1, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(buffer[0], 0x7F7F) << "one byte holds no unit";
  EXPECT_EQ(QVOGetInfoW(dbc, 45, nullptr, 0, &length), SQL_SUCCESS);
  EXPECT_EQ(length, 10);
}

TEST_F(InfoCallsTest, ComputedAnswers) {
  struct Case {
    const char* what;
    std::function<void(connectionAttr&)> set;
    SQLUSMALLINT type;
    std::string expected;  // texts as they are, numbers in decimal
  };
  const Case cases[] = {
      {"null collation high in any case",
       [](connectionAttr& a) {
         a.nullCollation.reset(new char[5]{'H', 'i', 'G', 'h', 0});
       },
       85, "0"},
      {"null collation low",
       [](connectionAttr& a) {
         a.nullCollation.reset(new char[4]{'l', 'o', 'w', 0});
       },
       85, "1"},
      {"null collation other",
       [](connectionAttr& a) {
         a.nullCollation.reset(new char[3]{'h', 'i', 0});
       },
       85, "1"},
      {"null collation missing", [](connectionAttr&) {}, 85, "1"},
      {"identifier case upper and lower",
       [](connectionAttr& a) { a.storesUpperCaseIdentifiers = a.storesLowerCaseIdentifiers = 1; },
       28, "3"},
      {"alter table needs its own flag",
       [](connectionAttr& a) { a.supportsAlterTableWithAddColumn = 1; }, 86, "0"},
      {"alter table with both",
       [](connectionAttr& a) {
         a.supportsAlterTable = a.supportsAlterTableWithAddColumn =
             a.supportsAlterTableWithDropColumn = 5;
       },
       86, "3"},
      {"row size includes long only for 1", [](connectionAttr& a) { a.maxRowSizeIncludesLong = 2; },
       103, "N"},
      {"concat null when not null-propagating", [](connectionAttr&) {}, 22, "1"},
      {"dbms version digits",
       [](connectionAttr& a) {
         a.databaseMajorVersion = 12;
         a.databaseMinorVersion = 3;
         a.databaseIncrementVersion = 12345;
       },
       18, "12.03.12345"},
      {"statement length: low 32 bits",
       [](connectionAttr& a) { a.maxDataMessageSize = 0x100000005LL; }, 105, "5"},
      {"16-bit value: low 16 bits", [](connectionAttr& a) { a.maxConnections = 0x10002; }, 0, "2"},
      {"missing text field", [](connectionAttr&) {}, 42, ""},
      {"missing keyword field", [](connectionAttr&) {}, 49, "0"},
      {"user name by its length",
       [](connectionAttr& a) {
         a.userName.reset(new char[6]{'b', 'o', 'b', 'b', 'y', 0});
         a.userNameLen = 3;
       },
       47, "bob"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHDBC h = SQL_NULL_HANDLE;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &h), SQL_SUCCESS);
    auto* fresh = static_cast<qvoConnection*>(GetHandlePtr(h));
    fresh->haveInfos = true;
    c.set(fresh->connAttr);
    char text[64] = {};
    SQLUINTEGER n = 0;
    SQLUSMALLINT s = 0;
    std::string got;
    if (IsInfoValueChar(static_cast<SQLSMALLINT>(c.type))) {
      ASSERT_EQ(fresh->GetInfo(c.type, text, sizeof text, nullptr), SQL_SUCCESS);
      got = text;
    } else if (InfoValueSize(static_cast<SQLSMALLINT>(c.type)) == 2) {
      ASSERT_EQ(fresh->GetInfo(c.type, &s, 0, nullptr), SQL_SUCCESS);
      got = std::to_string(s);
    } else {
      ASSERT_EQ(fresh->GetInfo(c.type, &n, 0, nullptr), SQL_SUCCESS);
      got = std::to_string(n);
    }
    EXPECT_EQ(got, c.expected);
    QVOFreeHandle(SQL_HANDLE_DBC, h);
  }
  EXPECT_EQ(StandInView::reads, 0);
}

}  // namespace
