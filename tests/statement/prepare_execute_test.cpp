// Prepare and execute against the fake node: the prepare answer fills the
// IPD, parameter rows go out in blocks numbered by the part-number
// attribute, the row counts of the blocks add up, and ExecDirect with bound
// parameters sends exactly what Prepare and Execute send.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "statement_fixture.h"
#include "support/fake_prepared.h"

namespace {

constexpr const char* kInsert = "INSERT INTO t VALUES (?, ?)";
constexpr int16_t kPartNumber = 36;
constexpr SQLULEN kRows = 10;

SQLPOINTER V(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

class PrepareExecuteTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    SetProtocol(9);
    fake::ServePrepared(
        node, kInsert, 7,
        {fake::results::Column::Decimal("P1", 18, 0), fake::results::Column::Char("P2", 20, 20, 1)},
        &seen);
  }
  // Ten rows, column-wise: an integer and a text of 10 characters each.
  void Fill(int base) {
    for (SQLULEN r = 0; r < kRows; ++r) {
      ids[r] = base + static_cast<SQLINTEGER>(r);
      std::snprintf(names[r], sizeof names[r], "name-%05d", base + static_cast<int>(r));
      idInd[r] = 0;
      nameInd[r] = SQL_NTS;
    }
  }
  void Bind(SQLHSTMT h) {
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, V(kRows), 0), SQL_SUCCESS);
    ASSERT_EQ(
        QVOBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_DECIMAL, 18, 0, ids, 0, idInd),
        SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, names,
                               sizeof names[0], nameInd),
              SQL_SUCCESS);
  }
  SQLRETURN Prepare(SQLHSTMT h) {
    return QVOPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kInsert)), SQL_NTS);
  }
  SQLLEN RowCountOf(SQLHSTMT h) {
    SQLLEN n = -1;
    EXPECT_EQ(QVORowCount(h, &n), SQL_SUCCESS);
    return n;
  }
  // Part numbers of the execute-prepared requests, "-" for none.
  std::vector<std::string> PartNumbers() const {
    std::vector<std::string> out;
    for (const fake::Request& r : Of(fake::kExecutePrepared)) {
      const fake::Attr* a = r.Find(kPartNumber);
      out.push_back(a ? std::to_string(a->AsInt()) : "-");
    }
    return out;
  }
  // The ids and texts the node received, in order.
  std::vector<std::string> Received() const {
    std::vector<std::string> out;
    for (const fake::PreparedMessage& m : seen)
      for (const auto& row : m.values)
        out.push_back(std::to_string(fake::ValueInt(*row.at(0))) + "/" +
                      std::string(row.at(1)->begin(), row.at(1)->end()));
    return out;
  }
  static std::vector<std::string> Expected(int base) {
    std::vector<std::string> out;
    char name[16];
    for (SQLULEN r = 0; r < kRows; ++r) {
      std::snprintf(name, sizeof name, "name-%05d", base + static_cast<int>(r));
      out.push_back(std::to_string(base + static_cast<int>(r)) + "/" + name);
    }
    return out;
  }

  // Requests of one command since `from`.
  std::vector<fake::Request> Of(uint8_t command) const {
    std::vector<fake::Request> out;
    const auto all = node.Requests();
    for (size_t i = from; i < all.size(); ++i)
      if (all[i].command == command) out.push_back(all[i]);
    return out;
  }

  size_t from = 0;
  std::vector<fake::PreparedMessage> seen;
  SQLINTEGER ids[kRows] = {};
  SQLLEN idInd[kRows] = {};
  char names[kRows][16] = {};
  SQLLEN nameInd[kRows] = {};
};

TEST_F(PrepareExecuteTest, PrepareKeepsHandleAndDescribesParameters) {
  ASSERT_EQ(Prepare(stmt), SQL_SUCCESS) << LastDiag(*s);
  SQLSMALLINT n = 0;
  ASSERT_EQ(QVONumParams(stmt, &n), SQL_SUCCESS);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(node.Sql(), std::vector<std::string>{kInsert});
  EXPECT_EQ(Of(fake::kCreatePrepared).size(), 1u);
  EXPECT_EQ(Of(fake::kExecute).size(), 0u);
}

// Rows per block follow from the message size; the blocks carry part
// numbers only when there is more than one, the last one negated.
TEST_F(PrepareExecuteTest, RowsGoOutInBlocksAndCountsAddUp) {
  struct Case {
    const char* what;
    int64_t messageSize;
    std::vector<int64_t> blocks;
    std::vector<std::string> parts;
  };
  // Header and descriptions take 62 bytes, each row 24.
  const Case cases[] = {
      {"one block", 0x4000000, {10}, {"-"}},
      {"three blocks", 150, {4, 4, 2}, {"0", "1", "-2"}},
      {"a block per row beyond the size",
       1,
       {1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
       {"0", "1", "2", "3", "4", "5", "6", "7", "8", "-9"}},
      {"size beyond 32 bits is not cut to its low bits", (int64_t{1} << 32) + 1, {10}, {"-"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    seen.clear();
    from = node.Requests().size();
    conn->connAttr.maxDataMessageSize = c.messageSize;
    ASSERT_EQ(Prepare(stmt), SQL_SUCCESS) << LastDiag(*s);
    Fill(100);
    Bind(stmt);
    ASSERT_EQ(QVOExecute(stmt), SQL_SUCCESS) << LastDiag(*s);
    std::vector<int64_t> blocks;
    for (const fake::PreparedMessage& m : seen) {
      EXPECT_EQ(m.handle, 7);
      ASSERT_EQ(m.params.size(), 2u);
      blocks.push_back(m.rows);
    }
    EXPECT_EQ(blocks, c.blocks);
    EXPECT_EQ(PartNumbers(), c.parts);
    EXPECT_EQ(Received(), Expected(100));
    EXPECT_EQ(RowCountOf(stmt), 10);
  }
}

TEST_F(PrepareExecuteTest, ReExecutionSendsTheNewValues) {
  conn->connAttr.maxDataMessageSize = 150;
  ASSERT_EQ(Prepare(stmt), SQL_SUCCESS) << LastDiag(*s);
  Fill(100);
  Bind(stmt);
  ASSERT_EQ(QVOExecute(stmt), SQL_SUCCESS) << LastDiag(*s);
  seen.clear();
  Fill(500);
  ASSERT_EQ(QVOExecute(stmt), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(Received(), Expected(500));
  EXPECT_EQ(RowCountOf(stmt), 10);
  EXPECT_EQ(Of(fake::kCreatePrepared).size(), 1u);
  const auto parts = PartNumbers();
  EXPECT_EQ(std::vector<std::string>(parts.begin() + 3, parts.end()),
            (std::vector<std::string>{"0", "1", "-2"}));
}

TEST_F(PrepareExecuteTest, ExecDirectWithParametersSendsWhatPrepareAndExecuteSend) {
  conn->connAttr.maxDataMessageSize = 150;
  Fill(100);
  Bind(stmt);
  ASSERT_EQ(Exec(kInsert), SQL_SUCCESS) << LastDiag(*s);
  const auto direct = Of(fake::kExecutePrepared);
  EXPECT_EQ(Of(fake::kExecute).size(), 0u);
  EXPECT_EQ(RowCountOf(stmt), 10);

  SQLHSTMT other = NewStatement();
  from = node.Requests().size();
  ASSERT_EQ(Prepare(other), SQL_SUCCESS);
  Bind(other);
  ASSERT_EQ(QVOExecute(other), SQL_SUCCESS);
  const auto prepared = Of(fake::kExecutePrepared);
  ASSERT_EQ(direct.size(), 3u);
  ASSERT_EQ(prepared.size(), direct.size());
  for (size_t i = 0; i < direct.size(); ++i) {
    EXPECT_EQ(direct[i].data, prepared[i].data) << "block " << i;
    EXPECT_EQ(direct[i].attrs.size(), prepared[i].attrs.size()) << "block " << i;
  }
}

// A value that cannot be sent stops the execution at its block; the server
// is told that no part follows, and the statement executes again.
TEST_F(PrepareExecuteTest, FailedBlockStopsAndStatementStaysUsable) {
  conn->connAttr.maxDataMessageSize = 150;
  ASSERT_EQ(Prepare(stmt), SQL_SUCCESS) << LastDiag(*s);
  Fill(100);
  Bind(stmt);
  nameInd[5] = -77;  // no length the driver knows: row 5, in the second block
  ASSERT_EQ(QVOExecute(stmt), SQL_ERROR);
  EXPECT_NE(LastDiag(*s).find("HY010 Error filling prepared parameter data table at column 2, "
                              "offset 5."),
            std::string::npos)
      << LastDiag(*s);
  EXPECT_EQ(seen.size(), 1u);
  bool reset = false;
  for (const fake::Request& r : Of(fake::kSetAttributes)) {
    const fake::Attr* a = r.Find(kPartNumber);
    reset = reset || (a && a->AsInt() == 0);
  }
  EXPECT_TRUE(reset);

  seen.clear();
  nameInd[5] = SQL_NTS;
  ASSERT_EQ(QVOExecute(stmt), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(Received(), Expected(100));
  EXPECT_EQ(RowCountOf(stmt), 10);
}

}  // namespace
