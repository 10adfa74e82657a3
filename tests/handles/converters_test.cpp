#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "handles/qvoEnvironment.h"
#include "messages/qvoTranslator.h"
#include "platform/qvoConverter.h"
#include "qvo/qvoCInterface.h"

namespace {

// A descriptor-like handle: it owns no converter and asks its master.
struct ChildDescriptor : qvoHandle {
  explicit ChildDescriptor(qvoHandle* owner) {
    handleType = SQL_HANDLE_DESC;
    master = owner;
  }
};

std::string Codepage(iconverter* conv) { return conv ? conv->GetCurrentCodepage() : "(none)"; }

}  // namespace

TEST(Converters, DriverUnicodeTypeInstallsCodepages) {
  qvoEnvironment env;
  ASSERT_EQ(env.GetAllocatingError(), SQL_SUCCESS);
  const std::string appCodeset = Codepage(env.GetDataConverter());

  const struct Step {
    int type;
    SQLRETURN rc;
    std::string data, sql, wcharSql;
  } steps[] = {
      {1, SQL_SUCCESS, appCodeset, appCodeset, QVO_UTF16_CODEPAGE},
      {2, SQL_SUCCESS, "UTF-8", "UTF-8", QVO_UTF16_CODEPAGE},
      // Back to 1: data and SQL text stay UTF-8.
      {1, SQL_SUCCESS, "UTF-8", "UTF-8", QVO_UTF16_CODEPAGE},
      // Other types are only stored.
      {5, SQL_SUCCESS, "UTF-8", "UTF-8", QVO_UTF16_CODEPAGE},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(env.SetDriverUnicodeType(s.type, nullptr), s.rc) << s.type;
    EXPECT_EQ(env.GetDriverUnicodeType(), s.type);
    EXPECT_EQ(Codepage(env.GetDataConverter()), s.data) << s.type;
    EXPECT_EQ(Codepage(env.GetSqlConverter()), s.sql) << s.type;
    EXPECT_EQ(Codepage(env.GetWcharSqlConverter()), s.wcharSql) << s.type;
  }
  EXPECT_EQ(env.GetNumRecords(), 0);

  // A code page that cannot be installed fails with the converter's text.
  env.sqlConverter.reset();
  EXPECT_EQ(env.SetDriverUnicodeType(2, nullptr), SQL_ERROR);
  ASSERT_EQ(env.GetNumRecords(), 1);
  EXPECT_STREQ(env.GetDiagRecPtr(1)->diagSQLState, "HY000");
  EXPECT_EQ(env.GetDriverUnicodeType(), 2) << "the type stays stored";
}

TEST(Converters, DescriptorAsksItsMastersAndBorrowsTheTranslator) {
  qvoEnvironment env;
  ChildDescriptor desc(&env);
  ChildDescriptor nested(&desc);
  for (qvoHandle* h : {static_cast<qvoHandle*>(&desc), static_cast<qvoHandle*>(&nested)}) {
    EXPECT_EQ(h->GetDataConverter(), env.GetDataConverter());
    EXPECT_EQ(h->GetSqlConverter(), env.GetSqlConverter());
    EXPECT_EQ(h->GetWcharSqlConverter(), env.GetWcharSqlConverter());
    EXPECT_EQ(h->GetWcharDataConverter(), env.GetWcharDataConverter());
  }
  ChildDescriptor orphan(nullptr);
  EXPECT_EQ(orphan.GetSqlConverter(), nullptr);

  desc.SetBorrowedTranslator(env.GetTranslatorPtr());
  desc.SetTranslatorLangCode(1);  // an own one replaces the borrowed one
  EXPECT_EQ(desc.GetTranslatorLangCode(), 1);
  EXPECT_NE(desc.GetTranslatorPtr(), env.GetTranslatorPtr());
  EXPECT_STREQ(env.GetTranslatorPtr()->_Invalid_attribute_value_MESSAGE(),
               "Invalid attribute value.")
      << "the environment's Translator is untouched";
}

TEST(Converters, OdbcVersionSetsTheDateTimeCodes) {
  qvoEnvironment env;
  const struct {
    SQLINTEGER version;
    SQLSMALLINT date, time, timestamp;
  } cases[] = {{2, 9, 10, 11}, {3, 91, 92, 93}, {380, 91, 92, 93}};
  for (const auto& c : cases) {
    env.clientOdbcVersion = c.version;
    ChildDescriptor child(nullptr);
    child.SetMasterAndMyID(&env, reinterpret_cast<SQLHANDLE>(uintptr_t{5}));
    EXPECT_EQ(child.GetOdbcVersion(), c.version);
    EXPECT_EQ(child.dateTypeCode, c.date);
    EXPECT_EQ(child.timeTypeCode, c.time);
    EXPECT_EQ(child.timestampTypeCode, c.timestamp);
  }
}

// A converter that cannot take its code page, wherever the driver unicode
// type is installed: the call fails with the converter's text (HY000, native
// -1), the log has "ERROR: " and the numbered line, the standard error
// stream "Vandrel driver error: " and the same line, the type stays stored
// and nothing is left half made. Converters are made to refuse code pages
// (and, refusing the application's code set and UTF-8, not to be made).
TEST(Converters, AFailingConverterRecordsLogsAndFails) {
  enum Road { ConnectionAttribute, EnvironmentAttribute, LocaleOfTheConnection, NewConnection };
  struct Case {
    const char* what;
    Road road;
    SQLUINTEGER type;
    std::vector<std::string> refused;
    int number;
    std::string text;  // the converter's
  };
  const std::string utf16 = QVO_UTF16_CODEPAGE;
  const char* appCodeset = "ANSI_X3.4-1968";  // of the C locale
  const Case cases[] = {
      {"type 2: the data converter",
       ConnectionAttribute,
       2,
       {"utf-8"},
       5,
       "Code page UTF-8 is not supported."},
      {"type 1: the wide SQL converter",
       ConnectionAttribute,
       1,
       {utf16},
       7,
       "Code page " + utf16 + " is not supported."},
      {"on the environment",
       EnvironmentAttribute,
       2,
       {"UTF-8"},
       5,
       "Code page UTF-8 is not supported."},
      {"new converters for a locale cannot be made",
       LocaleOfTheConnection,
       1,
       {appCodeset, "UTF-8"},
       1,
       "No character set converter available."},
      {"a connection under the environment",
       NewConnection,
       1,
       {utf16},
       7,
       "Code page " + utf16 + " is not supported."},
  };
  struct Refusal {
    explicit Refusal(std::vector<std::string> names) { qvoRefuseCodepagesForTests(names); }
    ~Refusal() { qvoRefuseCodepagesForTests({}); }
  };
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHENV env = SQL_NULL_HANDLE;
    SQLHDBC dbc = SQL_NULL_HANDLE;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    ASSERT_EQ(QVOSetConnectAttr(dbc, 21054, log, 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetConnectAttr(dbc, 21053, reinterpret_cast<SQLPOINTER>(1), 0), SQL_SUCCESS);
    char before[64] = {};
    ASSERT_EQ(QVOGetConnectAttr(dbc, 21048, before, sizeof before, nullptr), SQL_SUCCESS);

    SQLSMALLINT type = SQL_HANDLE_DBC;
    SQLHANDLE handle = dbc;
    SQLRETURN rc = SQL_SUCCESS;
    testing::internal::CaptureStderr();
    {
      const Refusal refusal(c.refused);
      const auto value = reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(c.type));
      switch (c.road) {
        case ConnectionAttribute:
          rc = QVOSetConnectAttr(dbc, 1065, value, 0);
          break;
        case EnvironmentAttribute:
          type = SQL_HANDLE_ENV;
          handle = env;
          rc = QVOSetEnvAttr(env, 1065, value, 0);
          break;
        case LocaleOfTheConnection:
          rc = QVOSetConnectAttr(dbc, 21067, const_cast<char*>("C"), SQL_NTS);
          break;
        case NewConnection: {
          type = SQL_HANDLE_ENV;
          handle = env;
          SQLHDBC second = reinterpret_cast<SQLHDBC>(1);
          rc = QVOAllocHandle(SQL_HANDLE_DBC, env, &second);
          EXPECT_EQ(second, static_cast<SQLHDBC>(SQL_NULL_HANDLE));
          break;
        }
      }
    }
    const std::string line = "Error (" + std::to_string(c.number) +
                             ") in setting current installed codepage. " + c.text + "\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Vandrel driver error: " + line + "\n");
    EXPECT_EQ(rc, SQL_ERROR);
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[256] = {};
    EXPECT_EQ(QVOGetDiagRec(type, handle, 1, state, &native, text, sizeof text, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(state), "HY000");
    EXPECT_EQ(native, -1);
    EXPECT_EQ(reinterpret_cast<char*>(text), "[OSTRANA][Vandrel driver]" + c.text);
    EXPECT_EQ(QVOGetDiagRec(type, handle, 2, state, &native, text, sizeof text, nullptr),
              SQL_NO_DATA);

    std::string written;
    std::rewind(log);
    for (int ch; (ch = std::fgetc(log)) != EOF;) written += static_cast<char>(ch);
    const bool connectionLogs = c.road == ConnectionAttribute || c.road == LocaleOfTheConnection;
    EXPECT_EQ(written.find("\tERROR: " + line + "\n") != std::string::npos, connectionLogs)
        << written;
    SQLUINTEGER stored = 0;
    if (c.road == ConnectionAttribute) {
      EXPECT_EQ(QVOGetConnectAttr(dbc, 1065, &stored, 0, nullptr), SQL_SUCCESS);
      EXPECT_EQ(stored, c.type) << "the type stays stored";
    }
    // A converter that could not be made leaves the old ones in place.
    char after[64] = {};
    EXPECT_EQ(QVOGetConnectAttr(dbc, 21048, after, sizeof after, nullptr), SQL_SUCCESS);
    if (c.road == LocaleOfTheConnection) {
      EXPECT_STREQ(after, before);
    }
    QVOFreeHandle(SQL_HANDLE_DBC, dbc);
    QVOFreeHandle(SQL_HANDLE_ENV, env);
    std::fclose(log);
  }
  std::setlocale(LC_ALL, saved.c_str());
}
