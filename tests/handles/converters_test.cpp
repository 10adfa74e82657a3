#include <gtest/gtest.h>

#include <string>

#include "handles/qvoEnvironment.h"
#include "messages/qvoTranslator.h"

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
