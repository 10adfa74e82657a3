// Scroll orientations, maxRows, the end of a result and the rowset size 0,
// over results whose rows arrive in small blocks, so that moving backwards
// asks the server for rows again.
#include <cstdint>
#include <string>
#include <vector>

#include "fetch/fetch_fixture.h"
#include "support/result_cursor_peer.h"

namespace {

using namespace fake::results;

constexpr SQLULEN kRowset = 10;

class ScrollTest : public FetchTest {
 protected:
  void OpenRows(int64_t rows, int protocol) {
    ASSERT_EQ(Open(fake::Table::Sample({Column::Decimal("N", 18, 0)}, rows), fake::Blocks{5, 5, 0},
                   protocol),
              SQL_SUCCESS)
        << LastDiag(*s);
    qvoResultCursorTestPeer(*s).qvoAnswerBlockSize() = 5;
    SetRowset(kRowset, status);
    ASSERT_EQ(QVOBindCol(stmt, 1, QVO_INT64, values, 8, indicators), SQL_SUCCESS);
  }

  SQLBIGINT values[kRowset] = {};
  SQLLEN indicators[kRowset] = {};
  SQLUSMALLINT status[kRowset] = {};
};

TEST_F(ScrollTest, OrientationsMoveTheRowsetAsTheCursorRulesSay) {
  struct Step {
    SQLSMALLINT orientation;
    SQLLEN offset;
    SQLRETURN rc;
    int64_t first;  // first row delivered
    SQLULEN rows;   // rows fetched
    const char* diag;
  };
  // 25 rows, rowsets of 10.
  const Step steps[] = {
      {SQL_FETCH_NEXT, 0, SQL_SUCCESS, 0, 10, ""},
      {SQL_FETCH_NEXT, 0, SQL_SUCCESS, 10, 10, ""},
      {SQL_FETCH_NEXT, 0, SQL_SUCCESS, 20, 5, ""},
      {SQL_FETCH_NEXT, 0, SQL_NO_DATA, 0, 0, ""},
      // After a short last rowset: the start of the previous full rowset.
      {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, 10, 10, ""},
      {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, 0, 10, ""},
      // Right after the first rowset: nothing fetched, the cursor at the start.
      {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, 0, 0, ""},
      {SQL_FETCH_PRIOR, 0, SQL_NO_DATA, 0, 0, ""},
      {SQL_FETCH_LAST, 0, SQL_SUCCESS, 24, 1, ""},
      {SQL_FETCH_FIRST, 0, SQL_SUCCESS, 0, 10, ""},
      {SQL_FETCH_ABSOLUTE, 0, SQL_SUCCESS, 0, 10, ""},
      {SQL_FETCH_ABSOLUTE, 23, SQL_SUCCESS, 22, 3, ""},
      {SQL_FETCH_ABSOLUTE, 3, SQL_SUCCESS, 2, 10, ""},
      {SQL_FETCH_ABSOLUTE, 26, SQL_NO_DATA, 0, 0, ""},
      {SQL_FETCH_ABSOLUTE, 27, SQL_NO_DATA, 0, 0, ""},
      {SQL_FETCH_ABSOLUTE, -1, SQL_ERROR, 0, 0, "HY000 Negative fetch offset not permitted."},
      {SQL_FETCH_ABSOLUTE, 3, SQL_SUCCESS, 2, 10, ""},
      {SQL_FETCH_RELATIVE, 5, SQL_SUCCESS, 16, 9, ""},
      {SQL_FETCH_RELATIVE, -20, SQL_SUCCESS, 5, 10, ""},
      {SQL_FETCH_RELATIVE, 0, SQL_SUCCESS, 15, 10, ""},
      {SQL_FETCH_RELATIVE, -30, SQL_NO_DATA, 0, 0, ""},
      {SQL_FETCH_RELATIVE, 100, SQL_NO_DATA, 0, 0, ""},
      {SQL_FETCH_FIRST, 0, SQL_SUCCESS, 0, 10, ""},
      {SQL_FETCH_RELATIVE, -10, SQL_NO_DATA, 0, 0, ""},
      {SQL_FETCH_RELATIVE, -9, SQL_SUCCESS, 1, 10, ""},
      {7, 0, SQL_ERROR, 0, 0, "HYC00 Optional feature not implemented."},
      {SQL_FETCH_BOOKMARK, 0, SQL_ERROR, 0, 0, "HYC00 Optional feature not implemented."},
      {0, 0, SQL_ERROR, 0, 0, "HYC00 Optional feature not implemented."},
  };
  for (int protocol : {7, 9}) {
    OpenRows(25, protocol);
    int i = 0;
    for (const Step& st : steps) {
      const std::string where =
          "protocol " + std::to_string(protocol) + " step " + std::to_string(i++);
      rowsFetched = 99;
      const SQLRETURN rc = QVOFetchScroll(stmt, st.orientation, st.offset);
      ASSERT_EQ(rc, st.rc) << where << " " << LastDiag(*s);
      if (rc == SQL_ERROR) {
        EXPECT_EQ(LastDiag(*s), st.diag) << where;
        if (std::string(st.diag).rfind("HYC00", 0) == 0) {
          EXPECT_EQ(DiagsOf(*s).back().native, 8);
        }
        continue;
      }
      if (rc == SQL_NO_DATA) continue;
      ASSERT_EQ(rowsFetched, st.rows) << where;
      for (SQLULEN r = 0; r < st.rows; ++r)
        ASSERT_EQ(values[r], st.first + static_cast<int64_t>(r)) << where << " row " << r;
    }
    // Backward moves asked for rows again.
    bool reRequested = false;
    int64_t highest = -1;
    for (const fake::ServedBlock& b : node.ServedBlocks()) {
      if (b.command != fake::kExecute && b.start < highest) reRequested = true;
      highest = std::max(highest, b.start);
    }
    EXPECT_TRUE(reRequested) << protocol;
  }
}

TEST_F(ScrollTest, MaxRowsEndsTheResultEarly) {
  OpenRows(100, 9);
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, AsAttr(5), 0), SQL_SUCCESS);
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(rowsFetched, 5u);
  EXPECT_EQ(values[4], 4);
  EXPECT_EQ(status[4], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[5], SQL_ROW_NOROW);
  EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
  EXPECT_EQ(QVOFetchScroll(stmt, SQL_FETCH_LAST, 0), SQL_SUCCESS);
  EXPECT_EQ(values[0], 4);
}

TEST_F(ScrollTest, ARowsetSizeOfZeroEndsWithADiagnostic) {
  OpenRows(25, 9);
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  s->ARD()->header.arraySize = 0;
  EXPECT_EQ(QVOFetchScroll(stmt, SQL_FETCH_PRIOR, 0), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "ZE005 Invalid rowset size.");
  EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
  EXPECT_EQ(LastDiag(*s), "ZE005 Invalid rowset size.");
}

TEST_F(ScrollTest, ABlockWithoutRowsWhileRowsRemainEndsTheFetch) {
  OpenRows(25, 9);
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  // The next request is answered with an empty block.
  node.Push(FetchAnswer(0, {}));
  EXPECT_EQ(QVOFetch(stmt), SQL_ERROR);
  EXPECT_EQ(rowsFetched, 0u);
  EXPECT_EQ(LastDiag(*s), "HY010 Error getting more lines: reading data.");
  // The failed fetch did not move on: the next one delivers the same rows.
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(values[0], 10);
}

// Rows that no bound column converts are fetched all the same, and their
// statuses say so: with nothing bound, and with data retrieval off.
TEST_F(ScrollTest, RowsFetchedWithoutConversionHaveTheirStatus) {
  for (const bool bound : {false, true}) {
    SCOPED_TRACE(bound ? "retrieval off" : "nothing bound");
    OpenRows(25, 9);
    if (bound) {
      ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_RETRIEVE_DATA, AsAttr(SQL_RD_OFF), 0), SQL_SUCCESS);
    } else {
      ASSERT_EQ(QVOFreeStmt(stmt, SQL_UNBIND), SQL_SUCCESS);
    }
    // 10, 10 and 5 rows, each rowset from blocks of 5.
    for (const SQLULEN rows : {10u, 10u, 5u}) {
      for (SQLUSMALLINT& st : status) st = 0xEEEE;
      ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS) << LastDiag(*s);
      ASSERT_EQ(rowsFetched, rows);
      for (SQLULEN i = 0; i < kRowset; ++i)
        EXPECT_EQ(status[i], i < rows ? SQL_ROW_SUCCESS : SQL_ROW_NOROW) << i;
    }
    ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_RETRIEVE_DATA, AsAttr(SQL_RD_ON), 0), SQL_SUCCESS);
  }
}

TEST_F(ScrollTest, SetPosSelectsARowOfTheRowsetWithoutMovingTheNextFetch) {
  OpenRows(25, 9);
  EXPECT_EQ(QVOSetPos(stmt, 1, SQL_POSITION, 0), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "24000 Invalid cursor state.");
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  // The rowset starts at row 10; the received block holds rows from 10 on.
  EXPECT_EQ(QVOSetPos(stmt, 3, SQL_POSITION, 0), SQL_SUCCESS);
  EXPECT_EQ(s->Result().PositionedRow(), 12);
  EXPECT_EQ(QVOSetPos(stmt, 11, SQL_POSITION, 0), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY109 Invalid cursor position.");
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(values[0], 20);
}

}  // namespace
