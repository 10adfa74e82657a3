// Prepare and execute against the fake node: the prepare answer fills the
// IPD, parameter rows go out in blocks numbered by the part-number
// attribute, the row counts of the blocks add up, and ExecDirect with bound
// parameters sends exactly what Prepare and Execute send.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "prepared_fixture.h"

namespace {

using namespace prepared_test;

// The messages of the lines written to `log` from `start` on that tell the
// prepared message and its blocks, without time and thread; a line of a
// data dump as "dump" and its hex pairs and text, blanks collapsed.
std::vector<std::string> LoggedLines(FILE* log, long start) {
  static const char* const kTold[] = {"NumBoundParams=",
                                      "Total parameter rows",
                                      "CreatePreparedHeader",
                                      "Adjusted ",
                                      "APD->header",
                                      " === Offset",
                                      "strlen(",
                                      "Long data",
                                      "ResizePreparedBuffer",
                                      " New preparedBuffer",
                                      " ParameterSet",
                                      "SetNumRowsInHeader",
                                      "Sending block",
                                      "Data at exec handle"};
  std::vector<std::string> out;
  std::fseek(log, start, SEEK_SET);
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, log)) {
    std::string line(buffer);
    const size_t tab = line.find('\t', line.find('\t') + 1);
    if (tab == std::string::npos) continue;
    line = line.substr(tab + 1);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    bool told = false;
    for (const char* prefix : kTold) told = told || line.rfind(prefix, 0) == 0;
    if (told) {
      out.push_back(line);
    } else if (line.size() >= 120 && (line[0] == ' ' || std::isxdigit(line[0]))) {
      std::string dump = "dump";
      bool blank = true;
      for (char ch : line) {
        if (ch != ' ' && blank) dump += ' ';
        if (ch != ' ') dump += ch;
        blank = ch == ' ';
      }
      out.push_back(dump);
    }
  }
  return out;
}

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

// A re-execution closes every result the statement still holds on the
// server, the current one and those still to come in its answer, before it
// sends anything: every later call on the connection then reads its own
// answer, still-executing answers before the new execution's result
// included, and nothing is left open once the statement goes. The first
// execution answers `first`; the second answers `still` still-executing
// answers, then `second`.
TEST_F(PrepareExecuteTest, ReExecutionClosesWhatTheStatementHolds) {
  using namespace fake::results;
  const auto set = [](int32_t handle, const char* text) {
    return ResultSet(handle, {Column::Char("V", 5, 5, kVarying)}, 3, 1,
                     RowBlock({{Value::Text(text)}}));
  };
  struct Case {
    const char* what;
    fake::Reply first;
    bool moreResults;  // the application moves to the second result first
    int still;
    fake::Reply second;
    std::vector<int32_t> closed;  // before the second execute_prepared, in order
    std::string rows;             // the second execution's rows, fetched
    SQLLEN rowCount;              // then
  };
  const Case cases[] = {
      {"two result sets held",
       Answer({set(1000, "a"), set(1001, "b")}),
       false,
       0,
       Answer({RowCount(5)}),
       {1000, 1001},
       "",
       5},
      {"the first inline, the second held",
       Answer({set(-3, "a"), set(1000, "b")}),
       false,
       0,
       Answer({RowCount(5)}),
       {1000},
       "",
       5},
      {"the second one current",
       Answer({RowCount(1), set(1000, "b")}),
       true,
       2,
       Answer({RowCount(5)}),
       {1000},
       "",
       5},
      {"still executing before a result set",
       Answer({RowCount(1), set(1000, "b")}),
       true,
       2,
       Answer({set(1001, "c")}),
       {1000},
       "cde",
       3},
  };
  const auto closes = [](const std::vector<fake::Request>& requests, size_t from) {
    std::vector<int32_t> out;
    for (size_t i = from; i < requests.size(); ++i)
      if (requests[i].command == fake::kCloseResultSet)
        out.push_back(static_cast<int32_t>(fake::GetLE(requests[i].data.data(), 4)));
    return out;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    node.ClearHistory();
    SQLHSTMT h = NewStatement();
    std::vector<fake::Reply> answers = {c.first, c.second};
    for (int k = 0; k < c.still; ++k) {
      fake::Reply running = Answer({StillExecuting("50%")});
      running.then = {answers[1]};
      answers[1] = running;
    }
    size_t next = 0;
    node.On(fake::kExecutePrepared, [&](const fake::Request&, fake::FakeNode&) {
      return next < answers.size() ? answers[next++] : Answer({Exception("third", "42000")});
    });
    // The second execution's result set hands out its further rows.
    node.On(fake::kSendRowsFetch2, [](const fake::Request&, fake::FakeNode&) {
      return FetchAnswer(2, RowBlock({{Value::Text("d"), Value::Text("e")}}));
    });
    ASSERT_EQ(Prepare(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    ASSERT_EQ(QVOExecute(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    if (c.moreResults) {
      ASSERT_EQ(QVOMoreResults(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    }
    ASSERT_EQ(QVOFetch(h), SQL_SUCCESS) << LastDiag(*Stmt(h));

    from = node.Requests().size();
    ASSERT_EQ(QVOExecute(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    const std::vector<fake::Request> requests = node.Requests();
    EXPECT_EQ(closes(requests, from), c.closed);
    ASSERT_GT(requests.size(), from);
    EXPECT_EQ(requests.back().command, fake::kExecutePrepared) << "the closes come first";
    EXPECT_EQ(Of(fake::kExecutePrepared).size(), 1u);
    // The result is the second execution's, whole.
    std::string rows;
    char text[8];
    SQLLEN ind = 0;
    while (QVOFetch(h) == SQL_SUCCESS) {
      ASSERT_EQ(QVOGetData(h, 1, SQL_C_CHAR, text, sizeof text, &ind), SQL_SUCCESS);
      rows += text;
    }
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(RowCountOf(h), c.rowCount);
    // The connection is in step: the next request reads its own answer.
    node.OnSql("SELECT B", Answer({RowCount(7)}));
    ASSERT_EQ(Exec("SELECT B", h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    EXPECT_EQ(RowCountOf(h), 7);
    QVOFreeHandle(SQL_HANDLE_STMT, h);
    // Every result set of both executions was closed, once.
    std::vector<int32_t> all = c.closed;
    if (!c.rows.empty()) all.push_back(1001);
    EXPECT_EQ(closes(node.Requests(), 0), all);
  }
}

// QVOExecute runs only a statement the application prepared: one never
// prepared, executed directly (with or without parameters), used by a
// catalog function or whose prepare failed gives HY010 and sends nothing.
TEST_F(PrepareExecuteTest, ExecuteWithoutAPreparedStatementIsASequenceError) {
  using namespace fake::results;
  struct Case {
    const char* what;
    std::function<void(SQLHSTMT)> before;
  };
  const Case cases[] = {
      {"never prepared", [](SQLHSTMT) {}},
      {"executed directly",
       [&](SQLHSTMT h) {
         node.OnSql("SELECT A", Answer({RowCount(1)}));
         ASSERT_EQ(Exec("SELECT A", h), SQL_SUCCESS);
       }},
      {"executed directly with parameters",
       [&](SQLHSTMT h) {
         Fill(100);
         Bind(h);
         ASSERT_EQ(Exec(kInsert, h), SQL_SUCCESS);
       }},
      {"after a catalog function",
       [&](SQLHSTMT h) {
         node.OnSql(
             fake::SqlMatch([](std::string_view sql) { return sql.find("TABLES") != sql.npos; }),
             Answer({RowCount(0)}));
         ASSERT_EQ(QVOTables(h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
       }},
      {"after a prepare that failed",
       [&](SQLHSTMT h) {
         node.OnSql("SELECT BAD", Answer({Exception("no such table", "42000")}));
         ASSERT_EQ(
             QVOPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT BAD")), SQL_NTS),
             SQL_ERROR);
       }},
      {"prepared, then executed directly",
       [&](SQLHSTMT h) {
         ASSERT_EQ(Prepare(h), SQL_SUCCESS);
         node.OnSql("SELECT A", Answer({RowCount(1)}));
         ASSERT_EQ(Exec("SELECT A", h), SQL_SUCCESS);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHSTMT h = NewStatement();
    c.before(h);
    from = node.Requests().size();
    EXPECT_EQ(QVOExecute(h), SQL_ERROR);
    EXPECT_EQ(StatesAndTexts(*Stmt(h)), std::vector<std::string>{"HY010 Function sequence error"});
    EXPECT_TRUE(Of(fake::kExecutePrepared).empty());
    EXPECT_EQ(node.Requests().size(), from) << "nothing sent";
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

// The header is settled before anything is sent or asked for at execution:
// each failure of it gives its own record, then the header's, and -1, also
// when the values were to come at execution (never SQL_NEED_DATA).
TEST_F(PrepareExecuteTest, HeaderFailuresComeBeforeDataAtExecution) {
  enum Binding { FirstUnbound, FirstAsCDate, IpdReplacedByEmptyDescriptor };
  struct Case {
    const char* what;
    Binding binding;
    const char* reason;
  };
  const Case cases[] = {
      {"a parameter left unbound", FirstUnbound, "07001 Wrong number of parameters."},
      {"SQL_C_DATE bound", FirstAsCDate, "SI002 C-Type not supported."},
      {"the IPD replaced by an empty descriptor", IpdReplacedByEmptyDescriptor,
       "HY000 Zero parameter bound."},
  };
  SQL_DATE_STRUCT dates[kRows] = {};
  for (const Case& c : cases) {
    for (const SQLLEN indicator : {SQLLEN{0}, SQLLEN{SQL_DATA_AT_EXEC}}) {
      SCOPED_TRACE(std::string(c.what) + (indicator == 0 ? "" : ", at execution"));
      from = node.Requests().size();
      SQLHSTMT h = NewStatement();
      ASSERT_EQ(Prepare(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
      Fill(100);
      for (SQLULEN r = 0; r < kRows; ++r) idInd[r] = nameInd[r] = indicator;
      ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, V(kRows), 0), SQL_SUCCESS);
      if (c.binding != FirstUnbound) {
        const bool date = c.binding == FirstAsCDate;
        ASSERT_EQ(QVOBindParameter(h, 1, SQL_PARAM_INPUT, date ? SQL_C_DATE : SQL_C_SLONG,
                                   date ? SQL_TYPE_DATE : SQL_DECIMAL, 18, 0,
                                   date ? static_cast<SQLPOINTER>(dates) : ids,
                                   date ? sizeof dates[0] : 0, idInd),
                  SQL_SUCCESS);
      }
      ASSERT_EQ(QVOBindParameter(h, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, names,
                                 sizeof names[0], nameInd),
                SQL_SUCCESS);
      SQLHDESC empty = SQL_NULL_HANDLE;
      if (c.binding == IpdReplacedByEmptyDescriptor) {
        ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, dbc, &empty), SQL_SUCCESS);
        ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_IMP_PARAM_DESC, empty, 0), SQL_SUCCESS);
      }

      EXPECT_EQ(QVOExecute(h), SQL_ERROR);
      EXPECT_EQ(
          StatesAndTexts(*Stmt(h)),
          (std::vector<std::string>{c.reason, "HY010 Error creating prepared statement header."}));
      SQLPOINTER token = nullptr;
      EXPECT_EQ(QVOParamData(h, &token), SQL_ERROR);  // nothing is asked for
      EXPECT_TRUE(Of(fake::kExecutePrepared).empty());
      QVOFreeHandle(SQL_HANDLE_STMT, h);
      if (empty != SQL_NULL_HANDLE) QVOFreeHandle(SQL_HANDLE_DESC, empty);
    }
  }
}

// A failing block ends the execution there: the server is told that no part
// follows, the row count and rows processed are those of the blocks before
// it, the status array tells sent, failed and unused rows apart, and the
// statement executes again. The value of row 5 cannot be encoded; the server
// refuses the second block.
TEST_F(PrepareExecuteTest, FailedBlockStopsAndStatementStaysUsable) {
  constexpr SQLUSMALLINT kOk = SQL_PARAM_SUCCESS, kErr = SQL_PARAM_ERROR,
                         kUnused = SQL_PARAM_UNUSED;
  struct Case {
    const char* what;
    bool serverRefuses;
    int badRow;  // whose text has no length the driver knows; -1 none
    const char* diag;
    SQLULEN processed;
    std::vector<SQLUSMALLINT> status;
    size_t blocksSent;
    SQLLEN rowCount;  // of the blocks sent, whatever the execution before left
  };
  const Case cases[] = {
      {"value cannot be encoded",
       false,
       5,
       "HY010 Error filling prepared parameter data table at column 2, offset 5.",
       6,
       {kOk, kOk, kOk, kOk, kUnused, kErr, kUnused, kUnused, kUnused, kUnused},
       1,
       4},
      {"server refuses the second block",
       true,
       -1,
       "42000 block refused",
       8,
       {kOk, kOk, kOk, kOk, kErr, kErr, kErr, kErr, kUnused, kUnused},
       1,
       4},
      {"nothing sent",
       false,
       0,
       "HY010 Error filling prepared parameter data table at column 2, offset 0.",
       1,
       {kErr, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused, kUnused},
       0,
       0},
  };
  conn->connAttr.maxDataMessageSize = 150;  // blocks of 4, 4 and 2 rows
  ASSERT_EQ(Prepare(stmt), SQL_SUCCESS) << LastDiag(*s);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    seen.clear();
    from = node.Requests().size();
    int blocks = 0;
    node.On(fake::kExecutePrepared, [&](const fake::Request& request, fake::FakeNode&) {
      auto m = fake::DecodePrepared(request.data);
      if (!m || (c.serverRefuses && ++blocks == 2))
        return fake::results::Answer({fake::results::Exception("block refused", "42000")});
      seen.push_back(*m);
      return fake::results::Answer({fake::results::RowCount(m->rows)});
    });
    WatchRows(stmt);
    Fill(100);
    Bind(stmt);
    if (c.badRow >= 0) nameInd[c.badRow] = -77;
    ASSERT_EQ(QVOExecute(stmt), SQL_ERROR);
    EXPECT_NE(LastDiag(*s).find(c.diag), std::string::npos) << LastDiag(*s);
    EXPECT_EQ(seen.size(), c.blocksSent);
    EXPECT_EQ(RowCountOf(stmt), c.rowCount);
    EXPECT_EQ(processed, c.processed);
    EXPECT_EQ(status, c.status);
    bool reset = false;
    for (const fake::Request& r : Of(fake::kSetAttributes)) {
      const fake::Attr* a = r.Find(kPartNumber);
      reset = reset || (a && a->AsInt() == 0);
    }
    // A refusing server ended the execution itself; one that got no block
    // waits for nothing.
    EXPECT_EQ(reset, !c.serverRefuses && c.blocksSent > 0);

    seen.clear();
    blocks = 10;
    if (c.badRow >= 0) nameInd[c.badRow] = SQL_NTS;
    ASSERT_EQ(QVOExecute(stmt), SQL_SUCCESS) << LastDiag(*s);
    EXPECT_EQ(Received(), Expected(100));
    EXPECT_EQ(RowCountOf(stmt), 10);
    EXPECT_EQ(processed, kRows);
    EXPECT_EQ(status, std::vector<SQLUSMALLINT>(kRows, kOk));
    QVOSetStmtAttr(stmt, SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
    QVOSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
  }
}

// With asynchronous execution on, a block the server still executes makes
// the call return SQL_STILL_EXECUTING, and the application polls with the
// call that started the execution (QVOExecute, QVOParamData, or QVOExecDirect
// with the same text) until the result; the result completes the row count,
// the rows processed and the status of every row, whichever call brought it.
// A block before the last is waited for: no block goes out while the server
// still executes another. The node answers each block with `still`
// still-executing answers before its row count, or before a refusal when the
// execution is cancelled.
TEST_F(PrepareExecuteTest, AsynchronousExecutionIsPolledToItsEnd) {
  constexpr SQLUSMALLINT kOk = SQL_PARAM_SUCCESS;
  enum How { Synchronous, ByExecute, ByParamData, ByExecDirect, Cancelled, CutLastRow };
  struct Case {
    const char* what;
    How how;
    bool stillPreparing;  // the prepare is answered "still executing" first
    int blocks;           // 1, or 3 of 4, 4 and 2 rows
    int still;            // still-executing answers before each block's result
    std::string returns;  // of the call that starts, then of each poll
    SQLLEN rowCount;
    SQLUSMALLINT row8, row9;  // statuses of the last block's rows; the other rows succeed
    std::string diag;         // the last record after the last call
  };
  const Case cases[] = {
      {"synchronous: every block waited for", Synchronous, false, 3, 2, "0", 10, kOk, kOk, ""},
      {"one block, polled twice", ByExecute, false, 1, 2, "2 2 0", 10, kOk, kOk, ""},
      {"three blocks, the last one polled", ByExecute, false, 3, 1, "2 0", 10, kOk, kOk, ""},
      {"values at execution, polled with ParamData", ByParamData, false, 3, 1, "2 0", 10, kOk, kOk,
       ""},
      {"ExecDirect with parameters, polled with the same text", ByExecDirect, false, 3, 1, "2 0",
       10, kOk, kOk, ""},
      {"cancelled in the last block", Cancelled, false, 3, 1, "2 -1", 8, SQL_PARAM_ERROR,
       SQL_PARAM_ERROR, "57014 Query aborted"},
      {"a value cut to its slot warns with the result, in its row", CutLastRow, false, 3, 1, "2 1",
       10, kOk, SQL_PARAM_SUCCESS_WITH_INFO, "01004 String data, right truncated."},
      {"the prepare waited for", ByExecute, true, 3, 1, "2 0", 10, kOk, kOk, ""},
      {"the prepare of ExecDirect waited for", ByExecDirect, true, 3, 1, "2 0", 10, kOk, kOk, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHSTMT h = NewStatement();
    qvoStatement* st = Stmt(h);
    seen.clear();
    from = node.Requests().size();
    conn->connAttr.maxDataMessageSize = c.blocks == 1 ? 0x4000000 : 150;
    int64_t sent = 0;
    node.On(fake::kExecutePrepared, [&](const fake::Request& request, fake::FakeNode&) {
      using namespace fake::results;
      auto m = fake::DecodePrepared(request.data);
      if (!m) return Answer({Exception("undecodable", "42000")});
      seen.push_back(*m);
      sent += m->rows;
      const bool refused = c.how == Cancelled && sent == static_cast<int64_t>(kRows);
      fake::Reply first = Answer({StillExecuting("0%")});
      for (int k = 1; k < c.still; ++k) first.then.push_back(Answer({StillExecuting("50%")}));
      first.then.push_back(refused ? Answer({Exception("Query aborted", "57014")})
                                   : Answer({RowCount(m->rows)}));
      return first;
    });
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_ASYNC_ENABLE, V(c.how == Synchronous ? 0 : 1), 0),
              SQL_SUCCESS);
    {
      // The prepare's answer, after a still-executing one when the case says so.
      using namespace fake::results;
      fake::Reply prepared =
          Answer({Handle(7),
                  ResultSet(-5, {Column::Decimal("P1", 18, 0), Column::Char("P2", 20, 20, 1)}, 0, 0,
                            RowBlock({})),
                  Empty()});
      if (c.stillPreparing) {
        fake::Reply running = Answer({StillExecuting("0%")});
        running.then = {prepared};
        prepared = running;
      }
      node.OnSql(kInsert, prepared);
    }
    WatchRows(h);
    Fill(100);
    Bind(h);
    // The last block holds rows 8 and 9.
    if (c.how == CutLastRow) nameInd[9] = static_cast<SQLLEN>(sizeof names[0]) + 4;
    if (c.how == ByParamData) nameInd[0] = SQL_DATA_AT_EXEC;
    if (c.how != ByExecDirect) {
      ASSERT_EQ(Prepare(h), SQL_SUCCESS) << LastDiag(*st);
    }

    SQLPOINTER token = nullptr;
    const auto call = [&]() -> SQLRETURN {
      if (c.how == ByParamData) return QVOParamData(h, &token);
      if (c.how == ByExecDirect) return Exec(kInsert, h);
      return QVOExecute(h);
    };
    if (c.how == ByParamData) {
      ASSERT_EQ(QVOExecute(h), SQL_NEED_DATA) << testing::PrintToString(StatesAndTexts(*st));
      ASSERT_EQ(QVOParamData(h, &token), SQL_NEED_DATA);
      EXPECT_EQ(token, static_cast<SQLPOINTER>(names[0]));
      ASSERT_EQ(QVOPutData(h, names[0], SQL_NTS), SQL_SUCCESS);
    }
    std::string returns;
    for (int k = 0; k < 5; ++k) {
      const SQLRETURN rc = call();
      if (k > 0) returns += ' ';
      returns += std::to_string(rc);
      if (rc != SQL_STILL_EXECUTING) break;
      if (c.how == Cancelled && k == 0) {
        const size_t before = node.Requests().size();
        EXPECT_EQ(QVOCancel(h), SQL_SUCCESS);
        ASSERT_TRUE(node.WaitForRequests(before + 1));
        EXPECT_EQ(Of(fake::kAbortQuery).size(), 1u);
      }
    }
    EXPECT_EQ(returns, c.returns);
    EXPECT_EQ(LastDiag(*st), c.diag);
    EXPECT_EQ(RowCountOf(h), c.rowCount);
    EXPECT_EQ(processed, kRows);
    std::vector<SQLUSMALLINT> expected(kRows, SQL_PARAM_SUCCESS);
    expected[8] = c.row8;
    expected[9] = c.row9;
    EXPECT_EQ(status, expected);
    const std::vector<std::string> parts =
        c.blocks == 1 ? std::vector<std::string>{"-"} : std::vector<std::string>{"0", "1", "-2"};
    EXPECT_EQ(PartNumbers(), parts);
    if (c.how != CutLastRow && c.how != Cancelled) {
      EXPECT_EQ(Received(), Expected(100));
    }
    EXPECT_NE(st->resultHandle, QVO_RESULT_STILL_EXECUTING);
    for (const fake::PreparedMessage& m : seen) EXPECT_EQ(m.handle, 7);
    EXPECT_TRUE(node.Errors().empty());
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

// With full logging the log tells how each execution describes its
// parameters, how large its message buffer is, each row's values as the
// log-lines setting selects them (within their bytes), each growth of the
// buffer, and each block as it goes out. Lines are compared without their
// time and thread; a data dump as its hex pairs and text.
TEST_F(PrepareExecuteTest, LogLinesOfTheParameterRows) {
  enum How { AllRows, FirstOfEachBlock, FirstAndLast, ValueAtExecutionGrowsTheBuffer, SizesCut };
  struct Case {
    const char* what;
    How how;
    SQLULEN rows;
    SQLBIGINT logLines;
    int64_t messageSize;
  };
  const Case cases[] = {
      {"every row logged", AllRows, 2, 0x7FFFFFFFFFFFFFFF, 0x4000000},
      {"1: each block's first row", FirstOfEachBlock, 4, 1, 100},
      {"-1: each block's first row and the last to send", FirstAndLast, 4, -1, 100},
      {"a value at execution grows the buffer", ValueAtExecutionGrowsTheBuffer, 1,
       0x7FFFFFFFFFFFFFFF, 0x4000000},
      {"sizes cut to the largest VARCHAR", SizesCut, 1, 0, 0x4000000},
  };
  const auto hex = [](const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return std::string(text);
  };
  const auto rowLine = [&](int row, int param, const char* type) {
    const bool id = param == 1;
    const SQLLEN ind = id ? idInd[row] : nameInd[row];
    return " === Offset=" + std::to_string(row) + ", Param=" + std::to_string(param) +
           ", BufferLength=" + (id ? "4" : "16") + ", paramValuePtr=0x" +
           hex(id ? static_cast<void*>(&ids[row]) : names[row]) + ", strLenPtr=0x" +
           hex(id ? &idInd[row] : &nameInd[row]) + ", *strLenPtr=" + std::to_string(ind) +
           ", cType=" + type + " === ";
  };
  const auto idLines = [&](int row) {
    char dump[32];
    std::snprintf(dump, sizeof dump, "dump %02x 00 00 00", 100 + row);
    return std::vector<std::string>{rowLine(row, 1, "-16 (SQL_C_SLONG), qvoType=_DECIMAL"), dump};
  };
  // A text measured within its slot: one that fills the slot is not
  // terminated there.
  const auto nameLines = [&](int row) {
    const std::string name(names[row], strnlen(names[row], sizeof names[row]));
    std::string dump = "dump";
    for (char c : name) {
      char pair[4];
      std::snprintf(pair, sizeof pair, " %02x", static_cast<unsigned char>(c));
      dump += pair;
    }
    return std::vector<std::string>{rowLine(row, 2, "1 (SQL_C_CHAR), qvoType=_VARCHAR"),
                                    "strlen((char*)paramValuePtr)=" + std::to_string(name.size()),
                                    dump + " " + name};
  };
  const auto join = [](std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
  };
  const std::vector<std::string> header = {
      "CreatePreparedHeader: BoundParameters=2",
      "CreatePreparedHeader: Parameter(1) qvoType=_DECIMAL colSize=0 octLen=0",
      "CreatePreparedHeader: Parameter(2) qvoType=_VARCHAR colSize=20 octLen=16"};
  const std::string blob(5000, 'q');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE, log, 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE_LINES, V(static_cast<SQLLEN>(c.logLines)), 0),
              SQL_SUCCESS);
    ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FULL, V(1), 0), SQL_SUCCESS);
    conn->connAttr.maxDataMessageSize = c.messageSize;
    SQLHSTMT h = NewStatement();
    ASSERT_EQ(Prepare(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    Fill(100);
    const bool atExecution = c.how == ValueAtExecutionGrowsTheBuffer;
    Bind(h, c.rows, atExecution ? SQL_C_BINARY : SQL_C_CHAR);
    // Not reachable through the attribute, which takes the value zero-extended.
    if (c.logLines == -1) Stmt(h)->logFileLines = -1;
    if (c.how == AllRows) std::memset(names[1], 'y', sizeof names[1]);
    if (c.how == SizesCut) {
      Stmt(h)->maxVarcharOctetLength = 12;
      Stmt(h)->maxVarcharLength = 11;
    }
    std::vector<std::string> expected;
    switch (c.how) {
      case AllRows:
        expected = join({{"NumBoundParams=2", "Total parameter rows to send: 2"},
                         header,
                         {"APD->header.bindType=0, preparedBufferLen=102"},
                         idLines(0),
                         nameLines(0),
                         idLines(1),
                         nameLines(1),
                         {" ParameterSet complete. Offset=116, paramStart=0, paramNum=2",
                          "SetNumRowsInHeader: 2", "Sending block containing 2 parameter rows."}});
        break;
      case FirstOfEachBlock:
      case FirstAndLast: {
        const auto block = [&](int first, int count, std::vector<int> logged) {
          std::vector<std::string> lines = {"APD->header.bindType=0, preparedBufferLen=100"};
          for (int row : logged) lines = join({lines, idLines(row), nameLines(row)});
          return join({lines,
                       {" ParameterSet complete. Offset=110, paramStart=" + std::to_string(first) +
                            ", paramNum=" + std::to_string(count),
                        "SetNumRowsInHeader: 2", "Sending block containing 2 parameter rows."}});
        };
        const bool last = c.how == FirstAndLast;
        expected = join({{"NumBoundParams=2", "Total parameter rows to send: 4"},
                         header,
                         block(0, 4, {0}),
                         block(2, 2, last ? std::vector<int>{2, 3} : std::vector<int>{2})});
        break;
      }
      case ValueAtExecutionGrowsTheBuffer: {
        nameInd[0] = SQL_DATA_AT_EXEC;
        const std::vector<std::string> binaryHeader = {
            "NumBoundParams=2", "Total parameter rows to send: 1",
            "CreatePreparedHeader: BoundParameters=2",
            "CreatePreparedHeader: Parameter(1) qvoType=_DECIMAL colSize=0 octLen=0",
            "CreatePreparedHeader: Parameter(2) qvoType=_VARCHAR colSize=20 octLen=16"};
        expected = join(
            {binaryHeader,
             {"Data at exec handle(0): " + hex(names[0]) + ", indicator: -2, type: SQL_C_BINARY"},
             binaryHeader,
             {"APD->header.bindType=0, preparedBufferLen=82",
              rowLine(0, 1, "-16 (SQL_C_SLONG), qvoType=_DECIMAL"), "dump 64 00 00 00",
              rowLine(0, 2, "-2 (SQL_C_BINARY), qvoType=_VARCHAR"), "Long data in parameter:",
              "ResizePreparedBuffer: old preparedBufferSize: 1082, maxPreparedMessageSize=67108864",
              " New preparedBufferSize: 5076",
              " ParameterSet complete. Offset=5076, paramStart=0, paramNum=1",
              "SetNumRowsInHeader: 1", "Sending block containing 1 parameter rows."}});
        break;
      }
      case SizesCut:
        expected = {"NumBoundParams=2",
                    "Total parameter rows to send: 1",
                    "CreatePreparedHeader: BoundParameters=2",
                    "CreatePreparedHeader: Parameter(1) qvoType=_DECIMAL colSize=0 octLen=0",
                    "Adjusted octLen to maxVarcharOctetLength=12.",
                    "Adjusted colSize to maxVarcharLength=11.",
                    "CreatePreparedHeader: Parameter(2) qvoType=_VARCHAR colSize=11 octLen=12",
                    "APD->header.bindType=0, preparedBufferLen=82",
                    " ParameterSet complete. Offset=86, paramStart=0, paramNum=1",
                    "SetNumRowsInHeader: 1",
                    "Sending block containing 1 parameter rows."};
        break;
    }
    ASSERT_EQ(std::fseek(log, 0, SEEK_END), 0);
    const long start = std::ftell(log);
    SQLRETURN rc = QVOExecute(h);
    if (atExecution) {
      SQLPOINTER token = nullptr;
      ASSERT_EQ(rc, SQL_NEED_DATA) << LastDiag(*Stmt(h));
      ASSERT_EQ(QVOParamData(h, &token), SQL_NEED_DATA);
      ASSERT_EQ(QVOPutData(h, const_cast<char*>(blob.data()), 5000), SQL_SUCCESS);
      rc = QVOParamData(h, &token);
    }
    EXPECT_EQ(rc, SQL_SUCCESS) << LastDiag(*Stmt(h));
    EXPECT_EQ(LoggedLines(log, start), expected);
    ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FULL, V(0), 0), SQL_SUCCESS);
    QVOFreeHandle(SQL_HANDLE_STMT, h);
    std::fclose(log);
  }
  ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE, nullptr, 0), SQL_SUCCESS);
}

}  // namespace
