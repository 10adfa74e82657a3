// Direct execution against the fake node: results, several results in one
// answer, still-executing answers (synchronous and asynchronous), cancel,
// and the requests for further rows.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "statement_fixture.h"

namespace {

using namespace fake::results;
using fake::Bytes;
using fake::Reply;

Bytes Le32(int32_t v) {
  Bytes out;
  fake::PutLE(out, static_cast<uint32_t>(v), 4);
  return out;
}
Bytes Le64(int64_t v) {
  Bytes out;
  fake::PutLE(out, static_cast<uint64_t>(v), 8);
  return out;
}
std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

Reply FollowedBy(Reply first, std::vector<Reply> then) {
  first.then = std::move(then);
  return first;
}

TEST_F(StatementTest, ExecDirectResults) {
  struct Case {
    const char* name;
    Reply answer;
    SQLRETURN rc;
    std::string diag;
    SQLLEN rowCount;
  };
  const Case cases[] = {
      {"row count", Answer({RowCount(5)}), SQL_SUCCESS, "", 5},
      {"huge row count", Answer({RowCount(3000000000LL)}), SQL_SUCCESS, "", 2147483647},
      {"server error", Answer({Exception("object T not found", "42000")}), SQL_ERROR,
       "42000 object T not found", 0},
      {"sequence error", Answer({Exception("no", "42X99")}), SQL_ERROR,
       "HY010 Function sequence error", 0},
      {"no result", Answer({}), SQL_ERROR, "HY000 Error executing statement.", 0},
  };
  for (const Case& c : cases) {
    node.Push(c.answer);
    EXPECT_EQ(Exec("INSERT INTO T VALUES 1"), c.rc) << c.name;
    EXPECT_EQ(LastDiag(*s), c.diag) << c.name;
    if (c.rc == SQL_ERROR) {
      EXPECT_EQ(DiagsOf(*s).back().native, -1) << c.name;
    }
    SQLLEN rows = -1;
    EXPECT_EQ(QVORowCount(stmt, &rows), SQL_SUCCESS);
    EXPECT_EQ(rows, c.rowCount) << c.name;
  }
  const auto executes = RequestsOf(fake::kExecute);
  ASSERT_EQ(executes.size(), 5u);
  EXPECT_EQ(Text(executes[0].data), "INSERT INTO T VALUES 1");

  // Wide text reaches the server as UTF-8.
  node.Push(Answer({RowCount(1)}));
  const SQLWCHAR wide[] = {u'S', u'E', u'L', u'E', u'C', u'T', u' ', u'\u00e4', 0};
  EXPECT_EQ(QVOExecDirectW(stmt, const_cast<SQLWCHAR*>(wide), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(Text(RequestsOf(fake::kExecute).back().data), "SELECT \xc3\xa4");

  EXPECT_EQ(Exec(""), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s),
            "HY000 The string argument has length zero or it contains invalid characters.");
  EXPECT_EQ(RequestsOf(fake::kExecute).size(), 6u);
  EXPECT_TRUE(node.Errors().empty());
}

TEST_F(StatementTest, SeveralResultsAreWalkedWithMoreResults) {
  const Bytes block = RowBlock({{Value::Double(1.5)}});
  node.Push(Answer({ResultSet(7, {Column::Double("F")}, 1, 1, block), RowCount(3),
                    Exception("late failure", "22000"), ResultSet(-3, {}, 0, 0, {})}));
  // The close request's own answer must not take the place of the results.
  node.On(fake::kCloseResultSet,
          [](const fake::Request&, fake::FakeNode&) { return Answer({RowCount(99)}); });
  ASSERT_EQ(Exec("SELECT F FROM T; UPDATE T; ..."), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(s->resultHandle, 7);
  EXPECT_NE(s->RowValue(1, 1), nullptr);

  EXPECT_EQ(QVOMoreResults(stmt), SQL_SUCCESS) << LastDiag(*s);
  const auto closes = RequestsOf(fake::kCloseResultSet);
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes[0].data, Le32(7));
  SQLLEN rows = 0;
  QVORowCount(stmt, &rows);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(QVOMoreResults(stmt), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "22000 late failure");
  EXPECT_EQ(QVOMoreResults(stmt), SQL_SUCCESS);
  EXPECT_EQ(s->resultHandle, -3);
  EXPECT_EQ(QVOMoreResults(stmt), SQL_NO_DATA);
  EXPECT_EQ(RequestsOf(fake::kCloseResultSet).size(), 1u);
}

TEST_F(StatementTest, SynchronousExecutionPollsUntilTheResult) {
  node.Push(FollowedBy(
      Answer({StillExecuting("10%")}),
      {Answer({StillExecuting("50%")}), Answer({StillExecuting("90%")}), Answer({RowCount(4)})}));
  EXPECT_EQ(Exec("UPDATE BIG"), SQL_SUCCESS) << LastDiag(*s);
  SQLLEN rows = 0;
  QVORowCount(stmt, &rows);
  EXPECT_EQ(rows, 4);
  // Polling sends nothing: the node saw the execute only.
  EXPECT_EQ(node.Requests().size(), 1u);
}

TEST_F(StatementTest, AsynchronousExecutionIsPolledWithTheSameText) {
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(1), 0),
            SQL_SUCCESS);
  node.Push(FollowedBy(Answer({StillExecuting("10%")}),
                       {Answer({StillExecuting("50%")}), Answer({RowCount(4)})}));
  ASSERT_EQ(Exec("UPDATE BIG"), SQL_STILL_EXECUTING);
  EXPECT_EQ(s->executionStatus, "10%");

  // Nothing else may use the connection while the answer belongs to this
  // statement.
  SQLHSTMT other = NewStatement();
  EXPECT_EQ(Exec("SELECT 1", other), SQL_ERROR);
  EXPECT_EQ(LastDiag(*Stmt(other)), "HY010 Function sequence error.");
  EXPECT_EQ(Exec("UPDATE OTHER"), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Function sequence error");
  EXPECT_EQ(s->resultHandle, -7);
  // Nor may the application move on to a next result of it.
  EXPECT_EQ(QVOMoreResults(stmt), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Function sequence error");
  EXPECT_EQ(s->resultHandle, -7);

  EXPECT_EQ(Exec("UPDATE BIG"), SQL_STILL_EXECUTING);
  EXPECT_EQ(s->executionStatus, "50%");
  EXPECT_EQ(Exec("UPDATE BIG"), SQL_SUCCESS);
  SQLLEN rows = 0;
  QVORowCount(stmt, &rows);
  EXPECT_EQ(rows, 4);
  EXPECT_EQ(node.Requests().size(), 1u);

  node.Push(Answer({RowCount(1)}));
  EXPECT_EQ(Exec("SELECT 1", other), SQL_SUCCESS);
}

// Every execution road, polled to its end, gives what it gives
// synchronously: return code, records and row count. The node answers two
// still-executing answers, then the case's answer; synchronously the call
// polls by itself, asynchronously it returns 2 twice.
TEST_F(StatementTest, AsynchronousCallsEndAsSynchronousOnes) {
  enum Road { Direct, Prepared, Catalog, Batch };
  struct Case {
    const char* what;
    Road road;
    Reply answer;
    SQLRETURN rc;
    std::string diag;
    SQLLEN rowCount;
  };
  const Reply none = Answer({});
  const Reply failure = Answer({Exception("boom", "42000")});
  const Reply count = Answer({RowCount(4)});
  const Case cases[] = {
      {"direct, no result", Direct, none, SQL_ERROR, "HY000 Error executing statement.", 0},
      {"direct, server error", Direct, failure, SQL_ERROR, "42000 boom", 0},
      {"direct, row count", Direct, count, SQL_SUCCESS, "", 4},
      {"prepared, no result", Prepared, none, SQL_ERROR, "HY000 Error executing statement.", 0},
      {"prepared, server error", Prepared, failure, SQL_ERROR, "42000 boom", 0},
      {"prepared, row count", Prepared, count, SQL_SUCCESS, "", 4},
      {"catalog, no result", Catalog, none, SQL_ERROR, "HY000 Error executing statement.", 0},
      {"catalog, row count", Catalog, count, SQL_SUCCESS, "", 4},
      {"batch, no result", Batch, none, SQL_ERROR, "HY010 Error executing batch.", 0},
      {"batch, row count", Batch, count, SQL_SUCCESS, "", 4},
  };
  using fake::results::Handle;
  node.OnSql("SELECT P", Answer({Handle(3), ResultSet(-5, {}, 0, 0, {}), Empty()}));
  for (const Case& c : cases) {
    for (const bool async : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (async ? ", asynchronous" : ", synchronous"));
      node.ClearHistory();
      SQLHSTMT h = NewStatement();
      ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(async), 0),
                SQL_SUCCESS);
      const uint8_t command = c.road == Prepared ? fake::kExecutePrepared
                              : c.road == Batch  ? fake::kExecuteBatch
                                                 : fake::kExecute;
      node.On(command, [&](const fake::Request&, fake::FakeNode&) {
        return FollowedBy(Answer({StillExecuting("1%")}),
                          {Answer({StillExecuting("2%")}), c.answer});
      });
      if (c.road == Prepared) {
        ASSERT_EQ(QVOPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT P")), SQL_NTS),
                  SQL_SUCCESS);
      }
      if (c.road == Batch) {
        ASSERT_EQ(QVOPrepareBatch(h, "UPDATE T", SQL_NTS), SQL_SUCCESS);
      }
      const auto call = [&]() -> SQLRETURN {
        switch (c.road) {
          case Direct:
            return Exec("UPDATE T", h);
          case Prepared:
            return QVOExecute(h);
          case Catalog:
            return QVOTables(h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
          case Batch:
            return QVOExecuteBatch(h);
        }
        return SQL_ERROR;
      };
      std::string returns;
      SQLRETURN rc = SQL_STILL_EXECUTING;
      for (int k = 0; k < 5 && rc == SQL_STILL_EXECUTING; ++k) {
        rc = call();
        returns += std::to_string(rc) + " ";
      }
      EXPECT_EQ(returns, (async ? "2 2 " : "") + std::to_string(c.rc) + " ");
      EXPECT_EQ(LastDiag(*Stmt(h)), c.diag);
      EXPECT_EQ(DiagsOf(*Stmt(h)).size(), c.diag.empty() ? 0u : 1u);
      SQLLEN rows = -1;
      EXPECT_EQ(QVORowCount(h, &rows), SQL_SUCCESS);
      EXPECT_EQ(rows, c.rowCount);
      EXPECT_EQ(RequestsOf(command).size(), 1u) << "executed once";
      QVOFreeHandle(SQL_HANDLE_STMT, h);
      EXPECT_TRUE(RequestsOf(fake::kAbortQuery).empty());
    }
  }
}

// While an asynchronous execution runs on a statement, every call on it but
// its poll, QVOCancel, the diagnostic functions, QVOGetStmtAttr and
// QVOFreeHandle is refused with HY010: it sends nothing and changes nothing,
// and the next poll ends the execution as it would have ended without it.
// No call can make the execution run twice.
TEST_F(StatementTest, CallsWhileAnAsynchronousExecutionRunsAreRefused) {
  SQLINTEGER param = 1;
  SQLLEN ind = 0;
  char text[16];
  const std::vector<std::pair<const char*, std::function<SQLRETURN(SQLHSTMT)>>> refused = {
      {"FreeStmt(SQL_CLOSE)", [](SQLHSTMT h) { return QVOFreeStmt(h, SQL_CLOSE); }},
      {"FreeStmt(SQL_UNBIND)", [](SQLHSTMT h) { return QVOFreeStmt(h, SQL_UNBIND); }},
      {"FreeStmt(SQL_RESET_PARAMS)", [](SQLHSTMT h) { return QVOFreeStmt(h, SQL_RESET_PARAMS); }},
      {"CloseCursor", [](SQLHSTMT h) { return QVOCloseCursor(h); }},
      {"Prepare",
       [](SQLHSTMT h) {
         return QVOPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT X")), SQL_NTS);
       }},
      {"Execute", [](SQLHSTMT h) { return QVOExecute(h); }},
      {"ExecDirect with another text", [this](SQLHSTMT h) { return Exec("SELECT X", h); }},
      {"Tables",
       [](SQLHSTMT h) { return QVOTables(h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0); }},
      {"PrepareBatch", [](SQLHSTMT h) { return QVOPrepareBatch(h, "SELECT X", SQL_NTS); }},
      {"ExecuteBatch", [](SQLHSTMT h) { return QVOExecuteBatch(h); }},
      {"MoreResults", [](SQLHSTMT h) { return QVOMoreResults(h); }},
      {"Fetch", [](SQLHSTMT h) { return QVOFetch(h); }},
      {"FetchScroll", [](SQLHSTMT h) { return QVOFetchScroll(h, SQL_FETCH_NEXT, 0); }},
      {"SetPos", [](SQLHSTMT h) { return QVOSetPos(h, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE); }},
      {"GetData",
       [&](SQLHSTMT h) { return QVOGetData(h, 1, SQL_C_CHAR, text, sizeof text, &ind); }},
      {"NumResultCols",
       [](SQLHSTMT h) {
         SQLSMALLINT n = 0;
         return QVONumResultCols(h, &n);
       }},
      {"DescribeCol",
       [](SQLHSTMT h) {
         SQLSMALLINT type = 0;
         return QVODescribeCol(h, 1, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr);
       }},
      {"ColAttribute",
       [](SQLHSTMT h) {
         SQLLEN n = 0;
         return QVOColAttribute(h, 1, SQL_DESC_TYPE, nullptr, 0, nullptr, &n);
       }},
      {"RowCount",
       [](SQLHSTMT h) {
         SQLLEN n = 0;
         return QVORowCount(h, &n);
       }},
      {"BindCol",
       [&](SQLHSTMT h) { return QVOBindCol(h, 1, SQL_C_CHAR, text, sizeof text, &ind); }},
      {"BindParameter",
       [&](SQLHSTMT h) {
         return QVOBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &param, 0,
                                 &ind);
       }},
      {"NumParams",
       [](SQLHSTMT h) {
         SQLSMALLINT n = 0;
         return QVONumParams(h, &n);
       }},
      {"ParamData",
       [](SQLHSTMT h) {
         SQLPOINTER token = nullptr;
         return QVOParamData(h, &token);
       }},
      {"PutData", [&](SQLHSTMT h) { return QVOPutData(h, text, 1); }},
      {"SetStmtAttr",
       [](SQLHSTMT h) {
         return QVOSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(4), 0);
       }},
      {"BulkOperations", [](SQLHSTMT h) { return QVOBulkOperations(h, SQL_ADD); }},
      {"SetCursorName",
       [](SQLHSTMT h) {
         return QVOSetCursorName(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>("C")), SQL_NTS);
       }},
  };
  for (const auto& [what, call] : refused) {
    SCOPED_TRACE(what);
    node.ClearHistory();
    SQLHSTMT h = NewStatement();
    // A bound column: a close of the cursor would otherwise find nothing.
    char bound[16];
    SQLLEN boundInd = 0;
    ASSERT_EQ(QVOBindCol(h, 1, SQL_C_CHAR, bound, sizeof bound, &boundInd), SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(1), 0),
              SQL_SUCCESS);
    node.Push(FollowedBy(Answer({StillExecuting("1%")}),
                         {Answer({StillExecuting("2%")}),
                          Answer({ResultSet(-3, {Column::Char("V", 5, 5, kVarying)}, 1, 1,
                                            RowBlock({{Value::Text("p")}}))})}));
    ASSERT_EQ(Exec("SELECT P", h), SQL_STILL_EXECUTING);
    EXPECT_EQ(call(h), SQL_ERROR);
    EXPECT_EQ(StatesAndTexts(*Stmt(h)), std::vector<std::string>{"HY010 Function sequence error"});
    EXPECT_EQ(node.Requests().size(), 1u) << "nothing sent";
    // Reading beside it changes nothing either.
    SQLULEN size = 0;
    EXPECT_EQ(QVOGetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(size, 1u);
    // The poll ends the execution with its own result.
    EXPECT_EQ(Exec("SELECT P", h), SQL_STILL_EXECUTING);
    EXPECT_EQ(Exec("SELECT P", h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    ASSERT_EQ(QVOFetch(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    EXPECT_EQ(std::string(bound), "p");
    EXPECT_EQ(RequestsOf(fake::kExecute).size(), 1u) << "executed once";
    EXPECT_TRUE(RequestsOf(fake::kAbortQuery).empty());
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

// A poll's answer replaces the one whose rows were indexed: no row of the
// earlier answer stays reachable. A later result that still executes is
// polled with QVOMoreResults, the call that met it.
TEST_F(StatementTest, PollingDropsTheRowsOfTheReplacedAnswer) {
  QVOSetStmtAttr(stmt, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(1), 0);
  node.Push(FollowedBy(Answer({ResultSet(-3, {Column::Char("V", 5, 5, kVarying)}, 1, 1,
                                         RowBlock({{Value::Text("abc")}})),
                               StillExecuting("1%")}),
                       {Answer({StillExecuting("2%")}), Answer({RowCount(6)})}));
  ASSERT_EQ(Exec("SELECT V; UPDATE BIG"), SQL_SUCCESS) << LastDiag(*s);
  ASSERT_NE(s->RowValue(1, 1), nullptr);
  EXPECT_EQ(QVOMoreResults(stmt), SQL_STILL_EXECUTING);
  EXPECT_EQ(Exec("SELECT V; UPDATE BIG"), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Function sequence error");
  EXPECT_EQ(QVOMoreResults(stmt), SQL_STILL_EXECUTING);
  EXPECT_EQ(s->executionStatus, "2%");
  EXPECT_EQ(s->Result().PtrArray(), nullptr);
  EXPECT_EQ(s->RowValue(1, 1), nullptr);
  EXPECT_TRUE(s->RowIsNull(1, 1));
  EXPECT_EQ(QVOMoreResults(stmt), SQL_SUCCESS);
  SQLLEN rows = 0;
  QVORowCount(stmt, &rows);
  EXPECT_EQ(rows, 6);
}

TEST_F(StatementTest, CancelAbortsOnlyARunningExecution) {
  // Nothing running, before any execution and after one: no abort goes out.
  // The node reads in order, so once it has the next request, it would have
  // any abort sent before it.
  EXPECT_EQ(QVOCancel(stmt), SQL_SUCCESS);
  node.Push(Answer({RowCount(0)}));
  ASSERT_EQ(Exec("DELETE FROM T"), SQL_SUCCESS);
  EXPECT_EQ(QVOCancel(stmt), SQL_SUCCESS);
  node.Push(Answer({RowCount(0)}));
  ASSERT_EQ(Exec("DELETE FROM T"), SQL_SUCCESS);
  EXPECT_TRUE(RequestsOf(fake::kAbortQuery).empty());

  QVOSetStmtAttr(stmt, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(1), 0);
  node.Push(
      FollowedBy(Answer({StillExecuting("1%")}), {Answer({Exception("Query aborted", "57014")})}));
  ASSERT_EQ(Exec("SELECT SLOW"), SQL_STILL_EXECUTING);
  EXPECT_EQ(QVOCancel(stmt), SQL_SUCCESS);
  ASSERT_TRUE(node.WaitForRequests(4));
  EXPECT_EQ(RequestsOf(fake::kAbortQuery).size(), 1u);
  EXPECT_EQ(s->resultHandle, -7);
  EXPECT_EQ(Exec("SELECT SLOW"), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "57014 Query aborted");

  // Below protocol 9 there is no abort.
  SetProtocol(8);
  node.Push(FollowedBy(Answer({StillExecuting("1%")}), {Answer({RowCount(0)})}));
  ASSERT_EQ(Exec("SELECT SLOW"), SQL_STILL_EXECUTING);
  EXPECT_EQ(QVOCancel(stmt), SQL_SUCCESS);
  EXPECT_EQ(RequestsOf(fake::kAbortQuery).size(), 1u);
  // Still running: only its poll reads the last answer.
  EXPECT_EQ(QVOFreeStmt(stmt, SQL_CLOSE), SQL_ERROR);
  EXPECT_EQ(Exec("SELECT SLOW"), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(s->resultHandle, -2);
  EXPECT_EQ(RequestsOf(fake::kExecute).size(), 4u);
}

TEST_F(StatementTest, FreeingARunningStatementDrainsItsAnswers) {
  QVOSetStmtAttr(stmt, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(1), 0);
  node.Push(FollowedBy(Answer({StillExecuting("1%")}),
                       {Answer({StillExecuting("2%")}), Answer({Exception("aborted", "57014")})}));
  ASSERT_EQ(Exec("SELECT SLOW"), SQL_STILL_EXECUTING);
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_STMT, stmt), SQL_SUCCESS);
  // The abort has no answer: wait until the node has read it.
  ASSERT_TRUE(node.WaitForRequests(2));
  EXPECT_EQ(RequestsOf(fake::kAbortQuery).size(), 1u);
  // The next statement reads its own answer, not the aborted one's.
  SQLHSTMT other = NewStatement();
  node.Push(Answer({RowCount(2)}));
  EXPECT_EQ(Exec("DELETE FROM T", other), SQL_SUCCESS) << LastDiag(*Stmt(other));
  SQLLEN rows = 0;
  QVORowCount(other, &rows);
  EXPECT_EQ(rows, 2);
}

// A result set of three VARCHAR rows of which the first came inline.
Reply ThreeRowResult(int32_t handle, const std::vector<Bytes>& more = {}) {
  std::vector<Bytes> results = {
      ResultSet(handle, {Column::Char("V", 5, 5, kVarying)}, 3, 1, RowBlock({{Value::Text("a")}}))};
  results.insert(results.end(), more.begin(), more.end());
  return Answer(results);
}

TEST_F(StatementTest, FurtherRowsByCountAndByByteBudget) {
  const Bytes block = RowBlock({{Value::Text("bb"), Value::Null()}});
  struct Case {
    int protocol;
    Reply answer;
    uint8_t command;
    int64_t third;  // the request's last field: row count or byte budget
  };
  const Case cases[] = {
      {7, SendRowsAnswer(block), fake::kSendRows, 2},
      {8, FetchAnswer(2, block, false), fake::kSendRowsFetch2, 16777216},
      {13, FetchAnswer(2, block), fake::kSendRowsFetch2, 16777216},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.protocol);
    SetProtocol(c.protocol);
    node.Push(ThreeRowResult(5));
    ASSERT_EQ(Exec("SELECT V FROM T"), SQL_SUCCESS) << LastDiag(*s) << LastDiag(*conn);
    EXPECT_EQ(s->Result().NLines(), 3u);
    node.Push(c.answer);
    const SQLRETURN rc = c.command == fake::kSendRows ? s->MoreData(1, 2) : s->Fetch2(1, 16777216);
    ASSERT_EQ(rc, SQL_SUCCESS) << LastDiag(*s);
    EXPECT_EQ(s->Result().ResultRowCountStart(), 1);
    EXPECT_EQ(s->Result().ResultRowCount(), 2);
    const char* v = s->RowValue(1, 1);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::string(v + 4, 2), "bb");
    EXPECT_TRUE(s->RowIsNull(1, 2));
    const auto requests = RequestsOf(c.command);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().data, Join({Le32(5), Le64(1), Le64(c.third)}));
    // Closing sends the close request now, before the next answer is queued.
    EXPECT_EQ(QVOCloseCursor(stmt), SQL_SUCCESS);
    EXPECT_EQ(RequestsOf(fake::kCloseResultSet).back().data, Le32(5));
  }
  EXPECT_TRUE(node.Errors().empty());
}

TEST_F(StatementTest, FailedFetchesLeaveNoRowsBehind) {
  const Bytes block = RowBlock({{Value::Text("bb"), Value::Text("c")}});
  Bytes longer = block;
  longer.push_back(0);
  Reply none;  // no data at all
  none.results = 0;
  const std::string reading = "HY010 Error getting more lines: reading data.";
  struct Case {
    const char* name;
    Reply answer;
    std::string diag;
  };
  const Case cases[] = {
      {"server error", Answer({Exception("numeric overflow", "22003")}), "22003 numeric overflow"},
      {"no data", none, reading},
      {"no rows while rows remain", FetchAnswer(0, {}), reading},
      {"rows beyond block", FetchAnswer(5, block), reading},
      {"other kind", Answer({RowCount(1)}), reading},
      {"sum mismatch", FetchAnswer(2, longer), "HY010 Error getting more lines: sum mismatch."},
  };
  for (const Case& c : cases) {
    node.Push(ThreeRowResult(5, {RowCount(9)}));
    ASSERT_EQ(Exec("SELECT V FROM T"), SQL_SUCCESS);
    node.Push(c.answer);
    EXPECT_EQ(s->Fetch2(1, 16777216), SQL_ERROR) << c.name;
    EXPECT_EQ(LastDiag(*s), c.diag) << c.name;
    EXPECT_EQ(s->Result().ResultRowCount(), 0) << c.name;
    EXPECT_EQ(s->Result().PtrArray(), nullptr) << c.name;
    // The results of the execution are still there.
    EXPECT_EQ(QVOMoreResults(stmt), SQL_SUCCESS) << c.name;
    SQLLEN rows = 0;
    QVORowCount(stmt, &rows);
    EXPECT_EQ(rows, 9) << c.name;
  }

  SetProtocol(7);
  node.Push(ThreeRowResult(5));
  ASSERT_EQ(Exec("SELECT V FROM T"), SQL_SUCCESS);
  node.Push(SendRowsAnswer(longer));
  EXPECT_EQ(s->MoreData(1, 2), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Error getting more lines: sum mismatch.");
  EXPECT_EQ(s->Result().ResultRowCount(), 0);
  QVOCloseCursor(stmt);

  // Before protocol 9 a server error arrives as a short block.
  SetProtocol(8);
  node.Push(ThreeRowResult(5));
  ASSERT_EQ(Exec("SELECT V FROM T"), SQL_SUCCESS);
  Reply old;
  old.results = 1;
  old.data = Join({Bytes{0xFF}, Le32(7), Bytes{'o', 'v', 'e', 'r', 'f', 'l', 'w'}});
  node.Push(old);
  EXPECT_EQ(s->Fetch2(1, 16777216), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY000 overflw");
  QVOCloseCursor(stmt);

  node.Push(Answer({ResultSet(-3, {Column::Double("F")}, 0, 0, {})}));
  ASSERT_EQ(Exec("SELECT F FROM T"), SQL_SUCCESS);
  EXPECT_EQ(s->Fetch2(0, 16777216), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Function sequence error.");
}

// Each fetch answer is received into the buffer of the rows before it, also
// after an answer that could not be read: what the earlier, longer answers
// left in it is never read as rows.
TEST_F(StatementTest, FetchAnswersReuseOneBuffer) {
  const Bytes longer = RowBlock({{Value::Text("bbbbb"), Value::Text("ccccc")}});
  Bytes unreadable = RowBlock({{Value::Text("x"), Value::Text("y")}});
  unreadable.push_back(0);
  node.Push(ThreeRowResult(5));
  ASSERT_EQ(Exec("SELECT V FROM T"), SQL_SUCCESS);
  node.Push(FetchAnswer(2, longer));
  ASSERT_EQ(s->Fetch2(1, 16777216), SQL_SUCCESS) << LastDiag(*s);
  const char* buffer = s->Result().AnswerNewLines();

  node.Push(FetchAnswer(2, unreadable));
  EXPECT_EQ(s->Fetch2(1, 16777216), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Error getting more lines: sum mismatch.");
  EXPECT_EQ(s->Result().AnswerNewLines(), buffer);

  node.Push(FetchAnswer(2, RowBlock({{Value::Text("bb"), Value::Null()}})));
  ASSERT_EQ(s->Fetch2(1, 16777216), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(s->Result().AnswerNewLines(), buffer);
  const char* v = s->RowValue(1, 1);
  ASSERT_NE(v, nullptr);
  int32_t length = 0;
  std::memcpy(&length, v, sizeof length);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(std::string(v + 4, 2), "bb");
  EXPECT_TRUE(s->RowIsNull(1, 2));
  EXPECT_TRUE(node.Errors().empty());
}

TEST_F(StatementTest, ServerHandlesAreDescribedAndClosed) {
  // Describing a result set by its handle fills the IRD.
  node.Push(Answer({ResultSet(9, {Column::Double("F"), Column::Date("D")}, 100, 0, {})}));
  ASSERT_EQ(s->ExecuteDescRes(9), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(RequestsOf(fake::kDescribeResultSet).back().data, Le32(9));
  EXPECT_EQ(s->resultHandle, 9);
  EXPECT_EQ(s->IRD()->header.count, 2);
  EXPECT_EQ(s->Result().NLines(), 100u);

  // A failed close still forgets the result set.
  node.Push(Answer({Exception("no such result", "HY000")}));
  EXPECT_EQ(s->ExecuteCloseRes(), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY000 no such result");
  EXPECT_EQ(s->resultHandle, -2);
  const size_t closes = RequestsOf(fake::kCloseResultSet).size();
  EXPECT_EQ(s->ExecuteCloseRes(), SQL_SUCCESS);
  EXPECT_EQ(RequestsOf(fake::kCloseResultSet).size(), closes);

  // A new execution closes the prepared statement; the server's "42000"
  // to that does not make the execution fail.
  s->preparedHandle = 3;
  node.Push(Answer({Exception("unknown handle", "42000")}));
  node.Push(Answer({RowCount(1)}));
  EXPECT_EQ(Exec("DELETE FROM T"), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(RequestsOf(fake::kClosePrepared).back().data, Le32(3));
  EXPECT_EQ(s->preparedHandle, -2);
}

TEST_F(StatementTest, AutocommitOptionKeepsTheStatementsResults) {
  node.Push(Answer({RowCount(3), RowCount(4)}));
  ASSERT_EQ(Exec("UPDATE A; UPDATE B"), SQL_SUCCESS);
  node.Push(Answer({RowCount(99)}));
  EXPECT_EQ(QVOSetStmtAttr(stmt, SQL_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(0), 0), SQL_SUCCESS)
      << LastDiag(*s);
  const auto sets = RequestsOf(fake::kSetAttributes);
  ASSERT_EQ(sets.size(), 1u);
  const fake::Attr* autocommit = sets[0].Find(fake::ATTR_AUTOCOMMIT);
  ASSERT_NE(autocommit, nullptr);
  EXPECT_EQ(autocommit->AsInt(), 0);
  EXPECT_EQ(QVOMoreResults(stmt), SQL_SUCCESS);
  SQLLEN rows = 0;
  QVORowCount(stmt, &rows);
  EXPECT_EQ(rows, 4);

  node.Push(Answer({Exception("not allowed now", "25000")}));
  EXPECT_EQ(QVOSetStmtAttr(stmt, SQL_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(1), 0), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "25000 not allowed now");
}

// A statement closing its result while another statement's asynchronous
// execution owns the connection: the close cannot go out before that
// execution's answers are read, and is never lost. It goes out before the
// next request once the execution ended, or before the disconnect.
TEST_F(StatementTest, ClosesWaitForARunningExecution) {
  enum End { NextRequest, Disconnect };
  struct Case {
    const char* what;
    std::function<SQLRETURN(SQLHSTMT)> close;
    SQLRETURN rc;
    End end;
  };
  const Case cases[] = {
      {"CloseCursor", [](SQLHSTMT h) { return QVOCloseCursor(h); }, SQL_SUCCESS, NextRequest},
      {"FreeStmt(SQL_CLOSE)", [](SQLHSTMT h) { return QVOFreeStmt(h, SQL_CLOSE); }, SQL_SUCCESS,
       NextRequest},
      {"MoreResults", [](SQLHSTMT h) { return QVOMoreResults(h); }, SQL_NO_DATA, NextRequest},
      {"FreeHandle", [](SQLHSTMT h) { return QVOFreeHandle(SQL_HANDLE_STMT, h); }, SQL_SUCCESS,
       NextRequest},
      {"FreeHandle, then the disconnect",
       [](SQLHSTMT h) { return QVOFreeHandle(SQL_HANDLE_STMT, h); }, SQL_SUCCESS, Disconnect},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    node.ClearHistory();
    SQLHSTMT holding = NewStatement();
    node.Push(ThreeRowResult(1000));
    ASSERT_EQ(Exec("SELECT V FROM T", holding), SQL_SUCCESS);
    SQLHSTMT running = NewStatement();
    QVOSetStmtAttr(running, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(1), 0);
    node.Push(FollowedBy(Answer({StillExecuting("1%")}), {Answer({RowCount(2)})}));
    ASSERT_EQ(Exec("UPDATE BIG", running), SQL_STILL_EXECUTING);

    EXPECT_EQ(c.close(holding), c.rc);
    EXPECT_TRUE(RequestsOf(fake::kCloseResultSet).empty()) << "not before the running answers";
    EXPECT_EQ(Exec("UPDATE BIG", running), SQL_SUCCESS) << LastDiag(*Stmt(running));
    SQLLEN rows = 0;
    QVORowCount(running, &rows);
    EXPECT_EQ(rows, 2);
    if (c.end == NextRequest) {
      node.OnSql("DELETE FROM T", Answer({RowCount(3)}));
      ASSERT_EQ(Exec("DELETE FROM T", running), SQL_SUCCESS) << LastDiag(*Stmt(running));
      const auto requests = node.Requests();
      ASSERT_GE(requests.size(), 4u);
      EXPECT_EQ(requests[requests.size() - 2].command, fake::kCloseResultSet);
      EXPECT_EQ(requests.back().command, fake::kExecute);
    } else {
      ASSERT_EQ(QVODisconnect(dbc), SQL_SUCCESS);
    }
    const auto closes = RequestsOf(fake::kCloseResultSet);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].data, Le32(1000));
    if (c.end == Disconnect) break;
    QVOFreeHandle(SQL_HANDLE_STMT, running);
    QVOFreeHandle(SQL_HANDLE_STMT, holding);
  }
}

}  // namespace
