// Descriptors through the exported functions of libqvocli.so: one that the
// application allocates under a connected connection, and the four that every
// statement allocates for itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/api_records.h"
#include "support/fake_login.h"
#include "support/fake_node.h"

namespace {

constexpr char kPrefix[] = "[OSTRANA][Vandrel driver]";

SQLPOINTER Int(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

// SQLSTATE and text (without the driver prefix) of a handle's last record.
std::string LastDiag(SQLSMALLINT type, SQLHANDLE handle) {
  const std::vector<api::Record> records = api::Records(type, handle);
  if (records.empty()) return "";
  std::string t = records.back().text;
  if (t.rfind(kPrefix, 0) == 0) t.erase(0, sizeof kPrefix - 1);
  return records.back().state + " " + t;
}

template <class T>
T Field(SQLHDESC d, SQLSMALLINT rec, SQLSMALLINT id) {
  T value{};
  EXPECT_EQ(QVOGetDescField(d, rec, id, &value, 0, nullptr), SQL_SUCCESS) << "field " << id;
  return value;
}

std::string Text(SQLHDESC d, SQLSMALLINT rec, SQLSMALLINT id) {
  char out[64] = {};
  EXPECT_EQ(QVOGetDescField(d, rec, id, out, sizeof out, nullptr), SQL_SUCCESS) << "field " << id;
  return out;
}

// A connection logged in to a fake node through QVOServerConnect.
class DescriptorApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    const std::string port = std::to_string(node.Port());
    ASSERT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                               "secret", SQL_NTS),
              SQL_SUCCESS)
        << LastDiag(SQL_HANDLE_DBC, dbc);
  }
  void TearDown() override { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  SQLHDESC UserDescriptor() {
    SQLHDESC d = SQL_NULL_HANDLE;
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, dbc, &d), SQL_SUCCESS);
    return d;
  }

  fake::FakeNode node;  // first: it outlives the handles
  fake::LoginPlayer player{node};
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
};

TEST_F(DescriptorApi, ApplicationDescriptorUnderAConnection) {
  const SQLHDESC d = UserDescriptor();
  EXPECT_EQ(Field<SQLSMALLINT>(d, 0, SQL_DESC_ALLOC_TYPE), SQL_DESC_ALLOC_USER);
  EXPECT_EQ(Field<SQLSMALLINT>(d, 0, SQL_DESC_COUNT), 0);
  EXPECT_EQ(Field<SQLULEN>(d, 0, SQL_DESC_ARRAY_SIZE), 1u);
  SQLLEN* offset = Field<SQLLEN*>(d, 0, SQL_DESC_BIND_OFFSET_PTR);
  ASSERT_NE(offset, nullptr);
  EXPECT_EQ(*offset, 0);
  EXPECT_NE(Field<SQLULEN*>(d, 0, SQL_DESC_ROWS_PROCESSED_PTR), nullptr);
  SQLSMALLINT type = 42;
  EXPECT_EQ(QVOGetDescField(d, 1, SQL_DESC_TYPE, &type, 0, nullptr), SQL_NO_DATA);
  EXPECT_EQ(type, 42);

  // Without an owning statement a timestamp has precision 6.
  ASSERT_EQ(QVOSetDescField(d, 1, SQL_DESC_CONCISE_TYPE, Int(SQL_TYPE_TIMESTAMP), 0), SQL_SUCCESS);
  EXPECT_EQ(Field<SQLSMALLINT>(d, 0, SQL_DESC_COUNT), 1);
  EXPECT_EQ(Field<SQLSMALLINT>(d, 1, SQL_DESC_TYPE), SQL_DATETIME);
  EXPECT_EQ(Field<SQLSMALLINT>(d, 1, SQL_DESC_DATETIME_INTERVAL_CODE), SQL_CODE_TIMESTAMP);
  EXPECT_EQ(Field<SQLULEN>(d, 1, SQL_DESC_LENGTH), 26u);
  EXPECT_EQ(Text(d, 1, SQL_DESC_LITERAL_PREFIX), "'");

  // Text in, narrow and wide, and out the other way.
  ASSERT_EQ(QVOSetDescField(d, 1, SQL_DESC_NAME, const_cast<char*>("amount"), SQL_NTS), 0);
  SQLWCHAR wide[16] = {};
  SQLINTEGER length = -1;
  ASSERT_EQ(QVOGetDescFieldW(d, 1, SQL_DESC_NAME, wide, sizeof wide, &length), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide)), u"amount");
  EXPECT_EQ(length, 12);
  const std::u16string table = u"orders";
  ASSERT_EQ(QVOSetDescFieldW(d, 1, SQL_DESC_TABLE_NAME, const_cast<char16_t*>(table.c_str()), 8),
            SQL_SUCCESS);
  EXPECT_EQ(Text(d, 1, SQL_DESC_TABLE_NAME), "orde");

  int data = 0;
  SQLLEN lengthOrIndicator = 0;
  ASSERT_EQ(QVOSetDescRec(d, 2, SQL_DATETIME, SQL_CODE_DATE, 10, 0, 0, &data, &lengthOrIndicator,
                          &lengthOrIndicator),
            SQL_SUCCESS);
  SQLSMALLINT subType = 0;
  SQLLEN recLength = 0;
  ASSERT_EQ(QVOGetDescRec(d, 2, nullptr, 0, nullptr, &type, &subType, &recLength, nullptr, nullptr,
                          nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(type, SQL_DATETIME);
  EXPECT_EQ(subType, SQL_CODE_DATE);
  EXPECT_EQ(recLength, 10);
  EXPECT_EQ(Field<SQLPOINTER>(d, 2, SQL_DESC_DATA_PTR), &data);
  EXPECT_EQ(Field<SQLLEN*>(d, 2, SQL_DESC_INDICATOR_PTR), &lengthOrIndicator);

  // Failures are records of the descriptor.
  SQLSMALLINT out = 0;
  EXPECT_EQ(QVOGetDescField(d, 1, 21077, &out, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(LastDiag(SQL_HANDLE_DESC, d), "HY016 Cannot access this field in this descriptor.");
  EXPECT_EQ(QVOSetDescField(d, 0, SQL_DESC_COUNT, Int(40000), 0), SQL_ERROR);
  EXPECT_EQ(LastDiag(SQL_HANDLE_DESC, d), "07009 Invalid descriptor index.");
  EXPECT_EQ(Field<SQLSMALLINT>(d, 0, SQL_DESC_COUNT), 2);

  ASSERT_EQ(QVOFreeHandle(SQL_HANDLE_DESC, d), SQL_SUCCESS);
  EXPECT_EQ(QVOGetDescField(d, 0, SQL_DESC_COUNT, &out, 0, nullptr), SQL_INVALID_HANDLE);
}

TEST_F(DescriptorApi, FourAutomaticDescriptorsOfAStatement) {
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  struct Own {
    SQLINTEGER attribute;
    SQLSMALLINT recordType;    // default verbose type of a new record
    SQLINTEGER caseSensitive;  // default of a new record
    SQLHDESC handle;
  };
  Own own[] = {
      {SQL_ATTR_APP_ROW_DESC, SQL_C_DEFAULT, SQL_FALSE, nullptr},
      {SQL_ATTR_APP_PARAM_DESC, SQL_C_DEFAULT, SQL_FALSE, nullptr},
      {SQL_ATTR_IMP_ROW_DESC, 0, SQL_TRUE, nullptr},
      {SQL_ATTR_IMP_PARAM_DESC, 0, SQL_FALSE, nullptr},
  };
  for (Own& o : own) {
    SCOPED_TRACE(o.attribute);
    ASSERT_EQ(QVOGetStmtAttr(stmt, o.attribute, &o.handle, 0, nullptr), SQL_SUCCESS);
    ASSERT_NE(o.handle, nullptr);
    EXPECT_EQ(Field<SQLSMALLINT>(o.handle, 0, SQL_DESC_ALLOC_TYPE), SQL_DESC_ALLOC_AUTO);
    EXPECT_EQ(Field<SQLSMALLINT>(o.handle, 0, SQL_DESC_COUNT), 0);
  }
  const SQLHDESC ard = own[0].handle, ird = own[2].handle, ipd = own[3].handle;
  EXPECT_NE(ard, own[1].handle);
  EXPECT_NE(ird, ipd);

  // Copying from the IRD before it has records, and into it, is refused.
  const SQLHDESC user = UserDescriptor();
  const SQLHDESC refused = UserDescriptor();
  EXPECT_EQ(QVOCopyDesc(ird, refused), SQL_ERROR);
  EXPECT_EQ(LastDiag(SQL_HANDLE_DESC, refused), "HY007 Associated statement is not prepared.");
  EXPECT_EQ(QVOCopyDesc(ard, ird), SQL_ERROR);
  EXPECT_EQ(LastDiag(SQL_HANDLE_DESC, ird),
            "HY016 Cannot modify an implementation row descriptor.");

  // Each kind gives new records its own defaults.
  for (const Own& o : own) {
    SCOPED_TRACE(o.attribute);
    ASSERT_EQ(QVOSetDescField(o.handle, 0, SQL_DESC_COUNT, Int(1), 0), SQL_SUCCESS);
    EXPECT_EQ(Field<SQLSMALLINT>(o.handle, 1, SQL_DESC_TYPE), o.recordType);
    EXPECT_EQ(Field<SQLSMALLINT>(o.handle, 1, SQL_DESC_CONCISE_TYPE), SQL_C_DEFAULT);
    EXPECT_EQ(Field<SQLINTEGER>(o.handle, 1, SQL_DESC_CASE_SENSITIVE), o.caseSensitive);
  }

  // The default C type is the IRD's alone.
  ASSERT_EQ(QVOSetDescField(ird, 1, SQL_DESC_CONCISE_TYPE, Int(SQL_INTEGER), 0), SQL_SUCCESS);
  EXPECT_EQ(Field<SQLSMALLINT>(ird, 1, 21077), SQL_C_SLONG);
  SQLSMALLINT out = 0;
  EXPECT_EQ(QVOGetDescField(ard, 1, 21077, &out, 0, nullptr), SQL_ERROR);

  // A timestamp takes the owning statement's precision.
  for (const auto& c : {std::pair<SQLLEN, SQLULEN>{3, 23}, {9, 29}}) {
    SCOPED_TRACE(c.first);
    ASSERT_EQ(QVOSetStmtAttr(stmt, 21082, Int(c.first), 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetDescField(ard, 1, SQL_DESC_CONCISE_TYPE, Int(SQL_TYPE_TIMESTAMP), 0), 0);
    EXPECT_EQ(Field<SQLULEN>(ard, 1, SQL_DESC_LENGTH), c.second);
    EXPECT_EQ(Field<SQLSMALLINT>(ard, 1, SQL_DESC_PRECISION), c.first);
  }

  // The row array size of the statement is the ARD's.
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, Int(5), 0), SQL_SUCCESS);
  EXPECT_EQ(Field<SQLULEN>(ard, 0, SQL_DESC_ARRAY_SIZE), 5u);

  // A copy of the IPD makes the application's descriptor an IPD with texts of
  // its own, which outlive the statement.
  ASSERT_EQ(QVOSetDescField(ipd, 1, SQL_DESC_NAME, const_cast<char*>("p1"), SQL_NTS), 0);
  EXPECT_EQ(QVOGetDescField(user, 0, SQL_DESC_COUNT, nullptr, 0, nullptr), SQL_ERROR);
  ASSERT_EQ(QVOCopyDesc(ipd, user), SQL_SUCCESS);
  EXPECT_EQ(LastDiag(SQL_HANDLE_DESC, user), "") << "the copy cleared the earlier record";
  EXPECT_EQ(Field<SQLSMALLINT>(user, 0, SQL_DESC_ALLOC_TYPE), SQL_DESC_ALLOC_USER);
  ASSERT_EQ(QVOFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  for (const Own& o : own)
    EXPECT_EQ(QVOGetDescField(o.handle, 0, SQL_DESC_COUNT, &out, 0, nullptr), SQL_INVALID_HANDLE);
  EXPECT_EQ(Text(user, 1, SQL_DESC_NAME), "p1");
  ASSERT_EQ(QVOSetDescField(user, 0, SQL_DESC_COUNT, Int(2), 0), SQL_SUCCESS);
  EXPECT_EQ(Field<SQLSMALLINT>(user, 2, SQL_DESC_TYPE), 0) << "records of an IPD";
}

}  // namespace
