// The descriptors of a real statement under a connection logged in to a fake
// node: what the statement learns of their changes.
#include <string>

#include "descriptor_test_support.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/result_cursor_peer.h"

namespace {

class DescriptorOfStatement : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    const std::string port = std::to_string(node.Port());
    ASSERT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                               "secret", SQL_NTS),
              SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
    s = static_cast<qvoStatement*>(GetHandlePtr(stmt));
  }
  void TearDown() override { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  fake::FakeNode node;  // first: it outlives the handles
  fake::LoginPlayer player{node};
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  qvoStatement* s = nullptr;
};

TEST_F(DescriptorOfStatement, BindingChangesReachTheStatement) {
  int data = 0;
  SQLLEN lengths[2] = {};
  // The source of the copy below: the statement's parameter binding.
  ASSERT_EQ(QVOSetDescField(s->Descriptors().idAPD, 1, SQL_DESC_DATA_PTR, &data, 0), SQL_SUCCESS);

  struct Case {
    const char* what;
    SQLRETURN (*call)(SQLHDESC ard, SQLHDESC apd, int* data, SQLLEN* lengths);
    SQLRETURN rc;
    bool notice;
  };
  const Case cases[] = {
      {"data pointer",
       [](SQLHDESC ard, SQLHDESC, int* data, SQLLEN*) {
         return QVOSetDescField(ard, 1, SQL_DESC_DATA_PTR, data, 0);
       },
       SQL_SUCCESS, true},
      {"octet length pointer",
       [](SQLHDESC ard, SQLHDESC, int*, SQLLEN* lengths) {
         return QVOSetDescField(ard, 1, SQL_DESC_OCTET_LENGTH_PTR, lengths, 0);
       },
       SQL_SUCCESS, true},
      {"refused indicator pointer",
       [](SQLHDESC ard, SQLHDESC, int*, SQLLEN* lengths) {
         return QVOSetDescField(ard, 1, SQL_DESC_INDICATOR_PTR, lengths + 1, 0);
       },
       SQL_ERROR, true},
      {"whole record",
       [](SQLHDESC ard, SQLHDESC, int* data, SQLLEN* lengths) {
         return QVOSetDescRec(ard, 2, SQL_C_CHAR, 0, 10, 0, 0, data, lengths, lengths);
       },
       SQL_SUCCESS, true},
      {"copy into the descriptor",
       [](SQLHDESC ard, SQLHDESC apd, int*, SQLLEN*) { return QVOCopyDesc(apd, ard); }, SQL_SUCCESS,
       true},
      {"concise type",
       [](SQLHDESC ard, SQLHDESC, int*, SQLLEN*) {
         return QVOSetDescField(ard, 1, SQL_DESC_CONCISE_TYPE, IntValue(SQL_C_SLONG), 0);
       },
       SQL_SUCCESS, false},
      {"name",
       [](SQLHDESC ard, SQLHDESC, int*, SQLLEN*) {
         return QVOSetDescField(ard, 1, SQL_DESC_NAME, const_cast<char*>("c1"), SQL_NTS);
       },
       SQL_SUCCESS, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    qvoResultCursorTestPeer(*s).bindingChanged() = false;
    EXPECT_EQ(c.call(s->Descriptors().idARD, s->Descriptors().idAPD, &data, lengths), c.rc);
    EXPECT_EQ(s->Result().BindingChanged(), c.notice);
  }
  // The copy gave the ARD the parameter binding and kept its own kind.
  EXPECT_EQ(s->ARD()->descType, QVO_DESC_ARD);
  EXPECT_EQ(s->ARD()->header.allocType, SQL_DESC_ALLOC_AUTO);
  EXPECT_EQ(s->ARD()->records[1]->dataPtr, &data);
}

}  // namespace
