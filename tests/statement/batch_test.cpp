// Batches against the fake node: the request bytes, the results walked with
// MoreResults, and a batch that stays collected when it fails.
#include <string>
#include <vector>

#include "statement_fixture.h"

namespace {

class BatchTest : public StatementTest {
 protected:
  SQLRETURN Add(const char* text, SQLINTEGER length = SQL_NTS) {
    return QVOPrepareBatch(stmt, text, length);
  }
  std::vector<fake::Bytes> Sent() const {
    std::vector<fake::Bytes> out;
    for (const fake::Request& r : RequestsOf(fake::kExecuteBatch)) out.push_back(r.data);
    return out;
  }
};

TEST_F(BatchTest, TextsGoInOneRequestAndResultsFollowWithMoreResults) {
  node.On(fake::kExecuteBatch, [](const fake::Request&, fake::FakeNode&) {
    return fake::results::Answer({fake::results::RowCount(3), fake::results::RowCount(5)});
  });
  ASSERT_EQ(QVOExecuteBatch(stmt), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 No batch statements prepared.");
  EXPECT_TRUE(Sent().empty());

  ASSERT_EQ(Add("select 1"), SQL_SUCCESS);
  ASSERT_EQ(Add("select 22xyz", 9), SQL_SUCCESS);
  ASSERT_EQ(Add("", SQL_NTS), SQL_ERROR);
  ASSERT_EQ(QVOExecuteBatch(stmt), SQL_SUCCESS) << LastDiag(*s);
  // Two texts, each after its 4-byte length; the second cut to its 9 bytes.
  const std::string wire("\x02\0\0\0\x08\0\0\0select 1\x09\0\0\0select 22", 29);
  const fake::Bytes expected(wire.begin(), wire.end());
  ASSERT_EQ(Sent(), std::vector<fake::Bytes>{expected});

  SQLLEN rows = 0;
  ASSERT_EQ(QVORowCount(stmt, &rows), SQL_SUCCESS);
  EXPECT_EQ(rows, 3);
  ASSERT_EQ(QVOMoreResults(stmt), SQL_SUCCESS);
  ASSERT_EQ(QVORowCount(stmt, &rows), SQL_SUCCESS);
  EXPECT_EQ(rows, 5);
  EXPECT_EQ(QVOMoreResults(stmt), SQL_NO_DATA);
  // Sent: the next text starts a new batch.
  ASSERT_EQ(QVOExecuteBatch(stmt), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 No batch statements prepared.");
}

TEST_F(BatchTest, AFailedBatchStaysCollected) {
  node.On(fake::kExecuteBatch, [](const fake::Request& r, fake::FakeNode&) {
    if (r.data.size() < 20) return fake::results::Answer({});  // no result at all
    return fake::results::Answer({fake::results::RowCount(1), fake::results::RowCount(1)});
  });
  ASSERT_EQ(Add("select 1"), SQL_SUCCESS);
  ASSERT_EQ(QVOExecuteBatch(stmt), SQL_ERROR);
  EXPECT_NE(LastDiag(*s), "");
  ASSERT_EQ(Add("select 2"), SQL_SUCCESS);
  ASSERT_EQ(QVOExecuteBatch(stmt), SQL_SUCCESS) << LastDiag(*s);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].size(), 4u + 12u + 12u);
  EXPECT_EQ(sent[1][0], 2);
}

}  // namespace
