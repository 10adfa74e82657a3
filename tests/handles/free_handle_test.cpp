// Freeing descriptors that statements use: a statement's own descriptors go
// only with the statement, and a statement whose application descriptor is
// freed goes back to its own.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "connection/qvoConnection.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"
#include "support/fake_node.h"
#include "transport/qvoSocket.h"

namespace {

class FreeHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    auto* conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
    conn->ImMainNode = true;
    conn->connAttr.connType = 1;
    conn->Socket = std::make_unique<qvoSocket>(conn, fake::ConnectTcp(node.Port()));
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  }
  void TearDown() override { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  SQLHANDLE StmtDescriptor(SQLINTEGER attribute) {
    SQLHANDLE h = SQL_NULL_HANDLE;
    EXPECT_EQ(QVOGetStmtAttr(stmt, attribute, &h, 0, nullptr), SQL_SUCCESS);
    return h;
  }

  fake::FakeNode node;  // first: it outlives the handles
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHSTMT stmt = SQL_NULL_HANDLE;
};

}  // namespace

TEST_F(FreeHandleTest, AStatementsOwnDescriptorIsNotFreedAlone) {
  for (SQLINTEGER attribute : {SQL_ATTR_APP_ROW_DESC, SQL_ATTR_APP_PARAM_DESC,
                               SQL_ATTR_IMP_ROW_DESC, SQL_ATTR_IMP_PARAM_DESC}) {
    const SQLHANDLE own = StmtDescriptor(attribute);
    EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_DESC, own), SQL_ERROR) << attribute;
    EXPECT_EQ(IsQVOHandle(own), SQL_HANDLE_DESC) << attribute;
    char state[6] = {};
    EXPECT_EQ(QVOGetDiagRec(SQL_HANDLE_DESC, own, 1, reinterpret_cast<SQLCHAR*>(state), nullptr,
                            nullptr, 0, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(state, "HY017") << attribute;
  }
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  EXPECT_EQ(NumUsedHandles(), 2u) << "the statement took its descriptors with it";
}

TEST_F(FreeHandleTest, FreeingAnApplicationDescriptorRestoresTheStatementsOwn) {
  using Set = qvoStatementDescriptors;
  const struct {
    SQLINTEGER attribute;
    cliDescriptor* Set::*inUse;  // the row's own slot: the descriptor in use
    cliDescriptor* Set::*own;    // and the statement's own one
  } slots[] = {{SQL_ATTR_APP_ROW_DESC, &Set::ARD, &Set::auto_ARD},
               {SQL_ATTR_APP_PARAM_DESC, &Set::APD, &Set::auto_APD}};
  const Set& set = static_cast<qvoStatement*>(GetHandlePtr(stmt))->Descriptors();
  for (const auto& slot : slots) {
    const SQLHANDLE own = StmtDescriptor(slot.attribute);
    SQLHANDLE desc = SQL_NULL_HANDLE;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, dbc, &desc), SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(stmt, slot.attribute, desc, 0), SQL_SUCCESS);
    ASSERT_EQ(StmtDescriptor(slot.attribute), desc);
    ASSERT_NE(set.*slot.inUse, set.*slot.own) << slot.attribute;
    EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_DESC, desc), SQL_SUCCESS) << slot.attribute;
    EXPECT_EQ(StmtDescriptor(slot.attribute), own) << slot.attribute;
    EXPECT_EQ(set.*slot.inUse, set.*slot.own) << slot.attribute;
  }
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
}
