// Tables served by the fake node, read through the statement's execution and
// its requests for further rows: every row arrives once, in order, with the
// value the table generated, however the node cuts the blocks.
#include <cstring>
#include <string>
#include <vector>

#include "statement_fixture.h"

namespace {

using namespace fake::results;

const std::vector<Column> kColumns = {
    Column::Decimal("N", 9, 0),
    Column::Char("V", 8, 24, kVarying | kUtf8),
    Column::Double("F"),
    Column::Timestamp("T"),
    Column::BigDecimal("B", 30, 2),
};

class ServedTableTest : public StatementTest {
 protected:
  // Checks the rows of the block the statement holds against the table.
  void ExpectBlock(const fake::Table& table) {
    for (SQLBIGINT r = 1; r <= s->Result().ResultRowCount(); ++r) {
      const int64_t row = s->Result().ResultRowCountStart() + r - 1;
      for (size_t c = 0; c < table.columns.size(); ++c) {
        const Value want = table.value(row, c);
        const auto col = static_cast<SQLINTEGER>(c + 1);
        ASSERT_EQ(s->RowIsNull(col, r), want.null) << "row " << row << " column " << c;
        if (want.null) continue;
        const char* got = s->RowValue(col, r);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(std::memcmp(got, want.bytes.data(), want.bytes.size()), 0)
            << "row " << row << " column " << c;
      }
    }
  }

  // Reads the whole result as a block fetch would: by row count `ask` rows
  // at a time before protocol 8, else by byte budget `ask`. Gives the rows
  // seen, or -1 when a request failed.
  int64_t ReadAll(const fake::Table& table, int protocol, int64_t ask) {
    int64_t seen = s->Result().ResultRowCount();
    ExpectBlock(table);
    while (s->Result().ResultRowCountStart() + s->Result().ResultRowCount() <
           static_cast<int64_t>(s->Result().NLines())) {
      const int64_t next = s->Result().ResultRowCountStart() + s->Result().ResultRowCount();
      const SQLRETURN rc =
          protocol < 8 ? s->MoreData(next, std::min<int64_t>(ask, s->Result().NLines() - next))
                       : s->Fetch2(next, ask);
      if (rc != SQL_SUCCESS) {
        ADD_FAILURE() << LastDiag(*s);
        return -1;
      }
      seen += s->Result().ResultRowCount();
      ExpectBlock(table);
    }
    return seen;
  }
};

TEST_F(ServedTableTest, EveryRowArrivesOnceWhateverTheBlocks) {
  struct Case {
    const char* name;
    int64_t rows;
    fake::Blocks blocks;
    int protocol;
    int64_t ask;  // rows per request (protocol 7) or byte budget
    size_t fetches;
  };
  const Case cases[] = {
      {"small result", 5, {}, 13, 16777216, 0},
      {"no rows", 0, {}, 13, 16777216, 0},
      {"by row count", 25, fake::Blocks{10, 0, 0}, 7, 7, 3},
      {"by row count, one at a time", 4, fake::Blocks{1, 0, 0}, 7, 1, 3},
      {"node caps the rows", 25, fake::Blocks::OfRows(6), 8, 16777216, 4},
      {"node caps the bytes", 40, fake::Blocks{3, 0, 300}, 13, 16777216, 0},
      {"budget below one row", 6, fake::Blocks{2, 0, 0}, 9, 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetProtocol(c.protocol);
    const fake::Table table = fake::Table::Sample(kColumns, c.rows, 4);
    node.ServeTable("SELECT * FROM T", table, c.blocks);
    const size_t before = node.ServedBlocks().size();
    ASSERT_EQ(Exec("SELECT * FROM T"), SQL_SUCCESS) << LastDiag(*s);
    EXPECT_EQ(s->resultHandle < 0, c.blocks.inlineRows >= c.rows);
    EXPECT_EQ(ReadAll(table, c.protocol, c.ask), c.rows);

    const auto served = node.ServedBlocks();
    int64_t next = 0;
    for (size_t k = before; k < served.size(); ++k) {
      EXPECT_EQ(served[k].start, next);
      if (c.blocks.maxBytes > 0 && k > before) {
        EXPECT_LE(served[k].bytes, 300u);
      }
      next += served[k].rows;
    }
    if (c.fetches > 0) {
      EXPECT_EQ(served.size() - before - 1, c.fetches);
    }
    EXPECT_EQ(QVOCloseCursor(stmt), SQL_SUCCESS);
    EXPECT_TRUE(node.OpenResultSets().empty());
  }
  EXPECT_TRUE(node.Errors().empty());
}

TEST_F(ServedTableTest, ResultSetsAreKeptApartByHandle) {
  const fake::Table a = fake::Table::Sample({Column::Decimal("A", 18, 0)}, 30);
  fake::Table b = a;
  b.value = [](int64_t row, size_t) { return Value::Int64(1000 + row); };
  node.ServeTable("SELECT A", a, fake::Blocks::OfRows(10));
  node.ServeTable("SELECT B", b, fake::Blocks::OfRows(10));
  SQLHSTMT other = NewStatement();
  qvoStatement* o = Stmt(other);
  ASSERT_EQ(Exec("SELECT A"), SQL_SUCCESS);
  ASSERT_EQ(Exec("SELECT B", other), SQL_SUCCESS);
  ASSERT_NE(s->resultHandle, o->resultHandle);
  ASSERT_EQ(o->Fetch2(10, 16777216), SQL_SUCCESS);
  ASSERT_EQ(s->Fetch2(20, 16777216), SQL_SUCCESS);
  int64_t v = 0;
  std::memcpy(&v, s->RowValue(1, 1), 8);
  EXPECT_EQ(v, 20);
  std::memcpy(&v, o->RowValue(1, 1), 8);
  EXPECT_EQ(v, 1010);

  // A closed result set is gone on the node too.
  const int32_t closed = s->resultHandle;
  ASSERT_EQ(QVOCloseCursor(stmt), SQL_SUCCESS);
  EXPECT_EQ(node.OpenResultSets(), std::vector<int32_t>{o->resultHandle});
  s->resultHandle = closed;
  EXPECT_EQ(s->Fetch2(10, 16777216), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Result set is closed.");
  EXPECT_EQ(node.Errors().size(), 1u);
  EXPECT_EQ(node.Sql(), (std::vector<std::string>{"SELECT A", "SELECT B"}));
}

TEST_F(ServedTableTest, AnswersAreChosenBySqlText) {
  node.OnSql(fake::SqlMatch::Any(), Answer({RowCount(1)}));
  node.OnSql([](std::string_view sql) { return sql.starts_with("SELECT TABLE_NAME "); },
             fake::Table::Sample({Column::Char("TABLE_NAME", 128, 128, kVarying)}, 3));
  node.OnSql("DELETE FROM T", Answer({RowCount(7)}));
  struct Case {
    const char* sql;
    SQLLEN rows;
  };
  const Case cases[] = {
      {"UPDATE T SET A = 1", 1},
      {"SELECT TABLE_NAME FROM SYS.EXA_ALL_TABLES", 3},
      {"DELETE FROM T", 7},
      {"DELETE FROM T ", 1},
  };
  std::vector<std::string> sent;
  for (const Case& c : cases) {
    ASSERT_EQ(Exec(c.sql), SQL_SUCCESS) << c.sql << ": " << LastDiag(*s);
    SQLLEN rows = -1;
    EXPECT_EQ(QVORowCount(stmt, &rows), SQL_SUCCESS);
    EXPECT_EQ(rows, c.rows) << c.sql;
    sent.push_back(c.sql);
  }
  EXPECT_EQ(node.Sql(), sent);
  EXPECT_TRUE(node.OpenResultSets().empty());
}

// The node's trace of an execution and the fetches of its rows, in the
// layout of each protocol's fetch request.
TEST_F(ServedTableTest, TraceOfAServedTable) {
  const std::string execute =
      "-> execute len=15 attrs=0/0 data=15\n"
      "   sql \"SELECT * FROM T\"\n"
      "<- results=1 len=84 attrs=0/0 data=84\n"
      "   result-set handle=* columns=2 rows=5 here=2 block=24\n"
      "     N DECIMAL(9,0)\n"
      "     V CHAR(8,24) varying\n";
  const std::string close =
      "-> close_result_set len=4 attrs=0/0 data=4\n"
      "   handle=*\n"
      "<- results=0 len=0 attrs=0/0 data=0\n";
  struct Case {
    int protocol;
    std::string fetch;
  };
  const Case cases[] = {
      {7,
       "-> send_rows len=20 attrs=0/0 data=20\n"
       "   handle=* start=2 rows=3\n"
       "<- results=1 len=26 attrs=0/0 data=26\n"
       "   block=26\n"},
      {8,
       "-> send_rows_fetch2 len=20 attrs=0/0 data=20\n"
       "   handle=* start=2 budget=16777216\n"
       "<- results=1 len=22 attrs=0/0 data=22\n"
       "   rows=2 block=14\n"},
      {9,
       "-> send_rows_fetch2 len=20 attrs=0/0 data=20\n"
       "   handle=* start=2 budget=16777216\n"
       "<- results=1 len=23 attrs=0/0 data=23\n"
       "   more-rows rows=2 block=14\n"},
  };
  node.ServeTable(
      "SELECT * FROM T",
      fake::Table::Sample({Column::Decimal("N", 9, 0), Column::Char("V", 8, 24, kVarying)}, 5, 3),
      fake::Blocks::OfRows(2));
  for (const Case& c : cases) {
    SetProtocol(c.protocol);
    node.ClearTrace();
    ASSERT_EQ(Exec("SELECT * FROM T"), SQL_SUCCESS);
    ASSERT_EQ(c.protocol < 8 ? s->MoreData(2, 3) : s->Fetch2(2, 16777216), SQL_SUCCESS);
    const int32_t served = s->resultHandle;
    ASSERT_EQ(QVOCloseCursor(stmt), SQL_SUCCESS);
    // Each execution gets a new handle.
    std::string expected = execute + c.fetch + close;
    const std::string handle = "handle=" + std::to_string(served);
    for (size_t at = 0; (at = expected.find("handle=*", at)) != std::string::npos;)
      expected.replace(at, 8, handle);
    EXPECT_EQ(node.Trace(), expected) << c.protocol;
  }
}

}  // namespace
