// Handles shared between threads, through the exported functions of
// libqvocli.so against fake nodes: a handle that another thread's call is
// inside is freed or disconnected only after that call, and descriptors come
// and go while other connections work.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/api_records.h"
#include "support/blocked_thread.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_prepared.h"
#include "support/fake_table.h"

namespace {

using namespace fake::results;

// Holds the node's answer until the test opens it. Every wait is bounded, so
// a test that fails still ends.
class Gate {
 public:
  void Arrive() {
    std::unique_lock lock(m_);
    arrived_ = true;
    cv_.notify_all();
    cv_.wait_for(lock, std::chrono::seconds(30), [&] { return open_; });
  }
  bool WaitArrived() {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, std::chrono::seconds(30), [&] { return arrived_; });
  }
  void Open() {
    std::lock_guard lock(m_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool arrived_ = false;
  bool open_ = false;
};

struct Connected {
  explicit Connected(fake::FakeNode& node) {
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    const std::string port = std::to_string(node.Port());
    EXPECT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                               "secret", SQL_NTS),
              SQL_SUCCESS);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  }
  ~Connected() { QVOFreeHandle(SQL_HANDLE_ENV, env); }
  SQLHANDLE env = SQL_NULL_HANDLE, dbc = SQL_NULL_HANDLE, stmt = SQL_NULL_HANDLE;
};

SQLRETURN Exec(SQLHANDLE stmt, const char* sql) {
  return QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
}

// While one thread's execute waits for its answer, another thread frees or
// disconnects what the execute uses: that call waits for the execute, which
// ends with the server's answer; then it does its work.
TEST(ThreadHandlesApi, FreeAndDisconnectWaitForAnExecuteInside) {
  struct Case {
    const char* what;
    SQLRETURN (*call)(const SQLHANDLE (&)[3]);  // env, dbc, stmt
    SQLSMALLINT goneType;                       // the handle gone afterwards, 0 for none
    int goneIndex;
  };
  const Case cases[] = {
      {"free the statement",
       [](const SQLHANDLE(&h)[3]) { return QVOFreeHandle(SQL_HANDLE_STMT, h[2]); }, SQL_HANDLE_STMT,
       2},
      {"disconnect", [](const SQLHANDLE(&h)[3]) { return QVODisconnect(h[1]); }, SQL_HANDLE_STMT,
       2},
      {"free the connection",
       [](const SQLHANDLE(&h)[3]) { return QVOFreeHandle(SQL_HANDLE_DBC, h[1]); }, SQL_HANDLE_DBC,
       1},
      {"free the environment",
       [](const SQLHANDLE(&h)[3]) { return QVOFreeHandle(SQL_HANDLE_ENV, h[0]); }, SQL_HANDLE_ENV,
       0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    fake::FakeNode node;
    fake::LoginPlayer player(node);
    Connected c(node);
    Gate gate;
    node.On(fake::kExecute, [&](const fake::Request&, fake::FakeNode&) {
      gate.Arrive();
      return Answer({RowCount(4)});
    });

    SQLRETURN executed = SQL_ERROR;
    std::thread executing([&] { executed = Exec(c.stmt, "DELETE FROM T"); });
    ASSERT_TRUE(gate.WaitArrived());
    const SQLHANDLE handles[3] = {c.env, c.dbc, c.stmt};
    std::atomic<bool> done{false};
    std::atomic<pid_t> closingThread{0};
    SQLRETURN closed = SQL_ERROR;
    std::thread closing([&] {
      closingThread = blocked_thread::Self();
      closed = k.call(handles);
      done = true;
    });
    // However long the answer takes, the other call does not end before it:
    // it is seen waiting inside, not ended, before the answer goes out.
    EXPECT_TRUE(blocked_thread::WaitBlocked(closingThread, [&] { return done.load(); }));
    EXPECT_FALSE(done.load());
    gate.Open();
    executing.join();
    closing.join();
    EXPECT_EQ(executed, SQL_SUCCESS);
    EXPECT_EQ(closed, SQL_SUCCESS);
    EXPECT_EQ(QVOFreeHandle(k.goneType, handles[k.goneIndex]), SQL_INVALID_HANDLE);
    EXPECT_TRUE(node.Errors().empty());
  }
}

// QVOCancel from another thread while a synchronous execute waits for its
// answer, from a silent server or one that answers "still executing" many
// times: the cancel never waits for the execute (however it falls among the
// polls), the abort request goes out at once beside it, the execute ends with
// whatever the server then answers ("Operation canceled." when the server
// confirms the abort or never answers) and is never sent again, and the
// statement executes again after.
TEST(ThreadHandlesApi, CancelFromAnotherThreadAbortsAWaitingExecute) {
  constexpr int kStillExecuting = 400;
  const std::vector<std::string> canceled = {"HY008 [OSTRANA][Vandrel driver]Operation canceled."};
  struct Case {
    const char* what;
    bool polled;  // the execute is answered "still executing" until the abort
    std::optional<fake::Reply> abortAnswer;  // none: the server says nothing
    int rounds;
    SQLRETURN executed;
    std::vector<std::string> records;
    SQLLEN rows;
    int connections;  // at the end: after a time-out the next execute connects anew
  };
  const Case cases[] = {
      {"the server confirms the abort", false, Answer({Empty()}), 1, SQL_ERROR, canceled, 0, 1},
      {"the result arrives first", false, Answer({RowCount(3)}), 1, SQL_SUCCESS, {}, 3, 1},
      // Ends at the execute's time limit (5 seconds with the test setting).
      {"the server never answers", false, std::nullopt, 1, SQL_ERROR, canceled, 0, 2},
      // The execution's last answer follows the abort, so that the cancel
      // always falls among the polls, however fast the client reads them.
      {"polled, the server confirms the abort", true, Answer({Empty()}), 8, SQL_ERROR, canceled, 0,
       1},
      {"polled, the result comes first", true, Answer({RowCount(3)}), 8, SQL_SUCCESS, {}, 3, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    fake::FakeNode node;
    fake::LoginPlayer player(node);
    Connected c(node);
    // A limit that ends the execute even when the cancel did nothing.
    ASSERT_EQ(QVOSetConnectAttr(c.dbc, 21061, reinterpret_cast<SQLPOINTER>(intptr_t{-1701}), 0),
              SQL_SUCCESS);
    fake::Reply execution = fake::Reply::Silent();
    if (k.polled) {
      execution = Answer({StillExecuting("0%")});
      for (int i = 1; i < kStillExecuting; ++i)
        execution.then.push_back(Answer({StillExecuting(std::to_string(i))}));
    }
    node.OnSql("SELECT SLOW", execution);
    node.OnSql("SELECT 1", Answer({RowCount(1)}));
    if (k.abortAnswer) {
      const fake::Reply answer = *k.abortAnswer;
      node.On(fake::kAbortQuery,
              [answer](const fake::Request&, fake::FakeNode&) { return answer; });
    }

    std::vector<std::string> sql;
    for (int round = 0; round < k.rounds; ++round) {
      SCOPED_TRACE(round);
      const size_t before = node.Requests().size();
      const int connections = node.Connections();
      SQLRETURN executed = SQL_SUCCESS;
      std::thread executing([&] { executed = Exec(c.stmt, "SELECT SLOW"); });
      EXPECT_TRUE(node.WaitForRequests(before + 1));
      EXPECT_EQ(QVOCancel(c.stmt), SQL_SUCCESS);
      executing.join();

      EXPECT_EQ(executed, k.executed);
      EXPECT_EQ(api::StatesAndTexts(SQL_HANDLE_STMT, c.stmt), k.records);
      SQLLEN rows = 0;
      EXPECT_EQ(QVORowCount(c.stmt, &rows), SQL_SUCCESS);
      EXPECT_EQ(rows, k.rows);
      EXPECT_TRUE(node.WaitForRequests(before + 2));
      const std::vector<fake::Request> requests = node.Requests();
      ASSERT_EQ(requests.size(), before + 2);
      EXPECT_EQ(requests[before].command, fake::kExecute);
      EXPECT_EQ(requests[before + 1].command, fake::kAbortQuery);
      EXPECT_EQ(node.Connections(), connections);

      // Nothing of the execution is left running.
      EXPECT_EQ(Exec(c.stmt, "SELECT 1"), SQL_SUCCESS);
      EXPECT_EQ(QVORowCount(c.stmt, &rows), SQL_SUCCESS);
      EXPECT_EQ(rows, 1);
      sql.insert(sql.end(), {"SELECT SLOW", "SELECT 1"});
    }
    EXPECT_EQ(node.Sql(), sql);
    EXPECT_EQ(node.Connections(), k.connections);
    EXPECT_TRUE(node.Errors().empty());
  }
}

// QVOCancel from another thread while the owner supplies a value at
// execution piece by piece: the owner's next PutData ends the sequence with
// "Operation canceled.", nothing is sent, and the statement executes again.
TEST(ThreadHandlesApi, CancelFromAnotherThreadEndsValuesSuppliedAtExecution) {
  constexpr int kRounds = 10;
  const char* const insert = "INSERT INTO T VALUES (?)";
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  std::vector<fake::PreparedMessage> seen;
  fake::ServePrepared(node, insert, 5, {Column::Char("V", 2000, 2000, 1)}, &seen);
  Connected c(node);
  char value[8] = "abc";
  SQLLEN indicator = SQL_DATA_AT_EXEC;
  ASSERT_EQ(QVOBindParameter(c.stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 2000, 0, value,
                             sizeof value, &indicator),
            SQL_SUCCESS);
  ASSERT_EQ(QVOPrepare(c.stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(insert)), SQL_NTS),
            SQL_SUCCESS);

  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(QVOExecute(c.stmt), SQL_NEED_DATA);
    SQLPOINTER token = nullptr;
    ASSERT_EQ(QVOParamData(c.stmt, &token), SQL_NEED_DATA);
    EXPECT_EQ(token, value);

    std::atomic<int> pieces{0};
    SQLRETURN last = SQL_SUCCESS;
    std::thread supplying([&] {
      // Bounded: the cancel ends it long before.
      for (int i = 0; i < 2000000 && last == SQL_SUCCESS; ++i) {
        last = QVOPutData(c.stmt, value, 3);
        ++pieces;
      }
    });
    while (pieces.load() < 50) std::this_thread::yield();
    EXPECT_EQ(QVOCancel(c.stmt), SQL_SUCCESS);
    supplying.join();

    EXPECT_EQ(last, SQL_ERROR);
    EXPECT_EQ(api::StatesAndTexts(SQL_HANDLE_STMT, c.stmt),
              std::vector<std::string>{"HY008 [OSTRANA][Vandrel driver]Operation canceled."});
    // The sequence is over.
    EXPECT_EQ(QVOParamData(c.stmt, &token), SQL_ERROR);
    EXPECT_EQ(api::StatesAndTexts(SQL_HANDLE_STMT, c.stmt),
              std::vector<std::string>{"HY010 [OSTRANA][Vandrel driver]Function sequence error."});
  }
  EXPECT_TRUE(seen.empty());

  indicator = SQL_NTS;
  ASSERT_EQ(QVOExecute(c.stmt), SQL_SUCCESS);
  ASSERT_EQ(seen.size(), 1u);
  ASSERT_EQ(seen[0].values.size(), 1u);
  EXPECT_EQ(seen[0].values[0][0], fake::Bytes({'a', 'b', 'c'}));
  EXPECT_TRUE(node.Errors().empty());
}

// While one thread fetches a result of many blocks and reads it with
// GetData, another closes, unbinds, re-executes or frees the same statement:
// that call waits for the fetch or GetData inside, then does its work; every
// value read is whole and right, and the reader then sees what the other
// call left.
TEST(ThreadHandlesApi, CloseOrFreeFromAnotherThreadWaitsForFetchAndGetData) {
  constexpr int64_t kRows = 3000;
  struct Case {
    const char* what;
    SQLRETURN (*call)(SQLHANDLE stmt);
    // What ends the reader: after a close, its next QVOFetch finds no rows
    // (100) or its next QVOGetData no current row (-1 with 24000).
    std::vector<SQLRETURN> readerEnds;
    bool readsOn;  // a reader that finds no rows has read to the end of a result
  };
  const Case cases[] = {
      {"QVOFreeStmt(SQL_CLOSE)",
       [](SQLHANDLE s) { return QVOFreeStmt(s, SQL_CLOSE); },
       {SQL_NO_DATA, SQL_ERROR},
       false},
      {"QVOCloseCursor",
       [](SQLHANDLE s) { return QVOCloseCursor(s); },
       {SQL_NO_DATA, SQL_ERROR},
       false},
      {"QVOFreeStmt(SQL_UNBIND)",
       [](SQLHANDLE s) { return QVOFreeStmt(s, SQL_UNBIND); },
       {SQL_NO_DATA},
       true},
      // Between the reader's QVOFetch and QVOGetData the new result has no
      // current row yet.
      {"a new QVOExecDirect",
       [](SQLHANDLE s) { return Exec(s, "SELECT N, C FROM T"); },
       {SQL_NO_DATA, SQL_ERROR},
       true},
      {"QVOFreeHandle",
       [](SQLHANDLE s) { return QVOFreeHandle(SQL_HANDLE_STMT, s); },
       {SQL_INVALID_HANDLE},
       false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    fake::FakeNode node;
    fake::LoginPlayer player(node);
    node.ServeTable(
        fake::SqlMatch::Any(),
        fake::Table::Sample({Column::Decimal("N", 18, 0), Column::Char("C", 12, 12, 1)}, kRows),
        fake::Blocks::OfRows(40));
    Connected c(node);
    ASSERT_EQ(Exec(c.stmt, "SELECT N, C FROM T"), SQL_SUCCESS);
    SQLBIGINT bound = -1;
    SQLLEN boundInd = 0;
    ASSERT_EQ(QVOBindCol(c.stmt, 1, SQL_C_SBIGINT, &bound, sizeof bound, &boundInd), SQL_SUCCESS);

    std::atomic<int64_t> fetched{0};
    // Once the other call is on its way the reader waits between rows until
    // it has returned (for a bounded time), so that the call gets its turn
    // however loaded the host is.
    std::atomic<bool> calling{false};
    std::atomic<bool> called{false};
    int wrong = 0;
    SQLRETURN end = SQL_SUCCESS;
    std::thread reading([&] {
      SQLRETURN rc;
      while ((rc = QVOFetch(c.stmt)) == SQL_SUCCESS) {
        SQLBIGINT n = -1;
        char text[32] = {};
        SQLLEN nInd = 0, textInd = 0;
        if ((rc = QVOGetData(c.stmt, 1, SQL_C_SBIGINT, &n, sizeof n, &nInd)) != SQL_SUCCESS ||
            (rc = QVOGetData(c.stmt, 2, SQL_C_CHAR, text, sizeof text, &textInd)) != SQL_SUCCESS)
          break;
        // Both columns come from the same row, and the bound column too.
        if (std::string(text) != std::string("r").append(std::to_string(n)) || n < 0 ||
            n >= kRows || (!k.readsOn && bound != n))
          ++wrong;
        // The other call starts once 100 rows are read: the reader waits
        // for it there, so that a loaded host never lets it read to the end
        // first.
        if (++fetched == 100) {
          const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
          while (!calling.load() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (calling.load()) {
          const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
          while (!called.load() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }
      end = rc;
    });
    while (fetched.load() < 100) std::this_thread::yield();
    calling = true;
    EXPECT_EQ(k.call(c.stmt), SQL_SUCCESS);
    called = true;
    reading.join();

    EXPECT_EQ(wrong, 0);
    EXPECT_NE(std::find(k.readerEnds.begin(), k.readerEnds.end(), end), k.readerEnds.end()) << end;
    if (!k.readsOn) {
      EXPECT_LT(fetched.load(), kRows);
    } else if (end == SQL_NO_DATA) {
      EXPECT_GE(fetched.load(), kRows);
    }
    if (end == SQL_ERROR) {
      const std::vector<std::string> states = api::StatesAndTexts(SQL_HANDLE_STMT, c.stmt);
      ASSERT_EQ(states.size(), 1u);
      EXPECT_EQ(states[0].substr(0, 5), "24000");
    }
    EXPECT_TRUE(node.Errors().empty());
  }
}

// Sixteen threads, each with its own connection, allocate descriptors, make
// them their statement's row descriptor, fetch through them and free them:
// every statement is back on its own descriptor each time, and every row
// arrives.
TEST(ThreadHandlesApi, SixteenConnectionsAllocateAndFreeTheirDescriptors) {
  constexpr int kThreads = 16;
  constexpr int kRounds = 12;
  constexpr int64_t kRows = 9;
  std::vector<std::unique_ptr<fake::FakeNode>> nodes;
  std::vector<std::unique_ptr<fake::LoginPlayer>> players;
  for (int t = 0; t < kThreads; ++t) {
    nodes.push_back(std::make_unique<fake::FakeNode>());
    players.push_back(std::make_unique<fake::LoginPlayer>(*nodes.back()));
    nodes.back()->ServeTable(fake::SqlMatch::Any(),
                             fake::Table::Sample({Column::Decimal("N", 18, 0)}, kRows));
  }
  SQLHANDLE env = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);

  std::vector<int> failures(kThreads, 0);
  std::vector<int64_t> sums(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      int& failed = failures[static_cast<size_t>(t)];
      SQLHANDLE dbc = SQL_NULL_HANDLE, stmt = SQL_NULL_HANDLE;
      const std::string port = std::to_string(nodes[static_cast<size_t>(t)]->Port());
      if (QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc) != SQL_SUCCESS ||
          QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                           "secret", SQL_NTS) != SQL_SUCCESS ||
          QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt) != SQL_SUCCESS) {
        ++failed;
        return;
      }
      SQLPOINTER ownArd = nullptr;
      if (QVOGetStmtAttr(stmt, SQL_ATTR_APP_ROW_DESC, &ownArd, 0, nullptr) != SQL_SUCCESS) ++failed;
      for (int round = 0; round < kRounds; ++round) {
        SQLHANDLE desc = SQL_NULL_HANDLE;
        if (QVOAllocHandle(SQL_HANDLE_DESC, dbc, &desc) != SQL_SUCCESS ||
            QVOSetStmtAttr(stmt, SQL_ATTR_APP_ROW_DESC, desc, 0) != SQL_SUCCESS) {
          ++failed;
          continue;
        }
        SQLBIGINT value = 0;
        SQLLEN indicator = 0;
        if (QVOBindCol(stmt, 1, SQL_C_SBIGINT, &value, sizeof value, &indicator) != SQL_SUCCESS ||
            Exec(stmt, "SELECT N FROM T") != SQL_SUCCESS)
          ++failed;
        SQLRETURN rc;
        while ((rc = QVOFetch(stmt)) == SQL_SUCCESS) sums[static_cast<size_t>(t)] += value;
        if (rc != SQL_NO_DATA || QVOCloseCursor(stmt) != SQL_SUCCESS) ++failed;
        if (QVOFreeHandle(SQL_HANDLE_DESC, desc) != SQL_SUCCESS) ++failed;
        SQLPOINTER ard = nullptr;
        if (QVOGetStmtAttr(stmt, SQL_ATTR_APP_ROW_DESC, &ard, 0, nullptr) != SQL_SUCCESS ||
            ard != ownArd)
          ++failed;
      }
      if (QVODisconnect(dbc) != SQL_SUCCESS || QVOFreeHandle(SQL_HANDLE_DBC, dbc) != SQL_SUCCESS)
        ++failed;
    });
  for (std::thread& th : threads) th.join();

  // The sample table's DECIMAL column holds the row number.
  const int64_t expected = kRounds * (kRows * (kRows - 1) / 2);
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(failures[static_cast<size_t>(t)], 0);
    EXPECT_EQ(sums[static_cast<size_t>(t)], expected);
  }
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

}  // namespace
