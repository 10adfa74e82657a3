// libFuzzer target that drives two to four statements of one connection
// against the fake node (tests/support, over TCP, logged in once per process)
// and checks every call against a model of the statements and of the node.
// The input scripts the answers of the executions (row counts and result sets
// whose further rows come in blocks, answers without a result, server errors,
// and "still executing" answers the node sends unrequested before the
// result) and a sequence of calls interleaved across the statements: direct,
// prepared and catalog executions and their re-execution over open and
// pending results, polls of asynchronous executions and calls made while one
// runs, fetches, GetData in pieces, MoreResults, CloseCursor, FreeStmt,
// FreeHandle, Cancel, and commits of the connection and of the environment
// (which also holds two connections that never connected).
//
// Checked after every call: the return code and the diagnostic, every value
// and piece GetData hands out (each execution's values name it, so a
// statement that reads another's answer is found), and what the node
// received during the call: exactly the executions, fetches, aborts and
// commits the model expects, fetches only for the calling statement's
// current result, every close of a result set or prepared statement that is
// due, and each server handle closed exactly once (a close that another
// statement's running execution holds back may come with a later call). The
// closes of a statement's results come before its next execution request.
// At the end running executions are polled to their end, every statement
// is freed, and the node must hold nothing open.
// A difference aborts with a message on stderr.
//
// Input, byte by byte (a missing byte reads as 0):
//   byte 0      statements - 2 (modulo 3).
//   byte 1      answers - 1 (modulo 6); each answer, used by the executions
//               in turn (cyclic):
//                 byte a      bits 0-1 still-executing answers first (modulo
//                             3); bits 2-3 the kind: 0 and 1 results, 2 no
//                             result at all, 3 a server error; bits 4-5
//                             results - 1 (modulo 3), each then
//                 2 bytes     bit 0 of the first set: a row count of (first
//                             >> 1); else a result set of (first >> 1) % 7
//                             rows, of which (second % (rows + 1)) come with
//                             the description and 1 + (second >> 4) % 3 in
//                             each further block.
//   the rest    calls, at most 60, each a byte (call modulo 16, statement
//               the byte >> 4 modulo the statements) and one argument byte: 0 ExecDirect, 1
//               Prepare, 2 Execute, 3 poll of the running call, 4 Fetch, 5
//               GetData (bit 0 the column, bit 1 wide, bits 2-3 the buffer
//               size index), 6 MoreResults, 7 CloseCursor, 8
//               FreeStmt(SQL_CLOSE), 9 SQL_ATTR_ASYNC_ENABLE (bit 0), 10
//               RowCount or NumResultCols (bit 0), 11 GetStmtAttr or Cancel
//               (bit 0), 12 Tables, 13 EndTran (bit 0 rollback, bit 1 of the
//               environment), 14 FreeHandle and a new statement, 15
//               EndTran of a connection that never connected (bit 0 which
//               of the two) and an allocation under it (bit 1 a descriptor).
//               statement_sequence_seeds.py writes inputs in this layout.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "oracle_calls.h"
#include "qvo/qvoAttributes.h"
#include "qvo/qvoCInterface.h"
#include "qvo/qvoDefs.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

namespace results = fake::results;

constexpr int kMaxCalls = 60;
constexpr int kMaxAnswers = 6;
constexpr int kFirstResultHandle = 1000;
constexpr int kFirstPreparedHandle = 500;

using oracle::Fail;
using oracle::Input;
using oracle::Note;

// ---- the answers ----------------------------------------------------------------------

struct PartSpec {
  bool set = false;
  int64_t count = 0;
  int rows = 0, inlineRows = 0, block = 1;
};

struct AnswerSpec {
  enum Kind { Results, None, Error } kind = Results;
  int still = 0;
  std::vector<PartSpec> parts;
};

// Execution `exec`, result `part`, row `row`: column 1 names all three, so a
// value read by the wrong statement or from the wrong result shows; column 2
// is a double with a known text.
std::string TextOf(int64_t exec, int part, int64_t row) {
  return "e" + std::to_string(exec) + "p" + std::to_string(part) + "r" + std::to_string(row);
}
int64_t WholeOf(int64_t exec, int part, int64_t row) { return exec * 100 + part * 10 + row; }
std::string DoubleTextOf(int64_t exec, int part, int64_t row) {
  return std::to_string(WholeOf(exec, part, row)) + ".125";
}

fake::Table TableOf(int64_t exec, int part, int rows) {
  fake::Table t;
  t.columns = {results::Column::Char("V", 16, 16, results::kVarying), results::Column::Double("D")};
  t.rows = rows;
  t.value = [exec, part](int64_t row, size_t column) {
    if (column == 0) return results::Value::Text(TextOf(exec, part, row));
    return results::Value::Double(static_cast<double>(WholeOf(exec, part, row)) + 0.125);
  };
  return t;
}

// One result as the node served it.
struct Served {
  bool set = false;
  int64_t count = 0;
  int32_t handle = -3;  // -3: all rows came with the description
  int rows = 0, inlineRows = 0, block = 1;
  int part = 0;
};

// ---- the node ---------------------------------------------------------------------------

// The node's side: it answers the executions from the input's answers and
// serves and closes what it gave out, and notes what a well-behaved client
// never asks for.
struct NodeModel {
  std::mutex mutex;
  std::vector<AnswerSpec> answers;
  int64_t executions = 0;  // execution requests answered in this input
  std::vector<Served> lastServed;
  int32_t lastPrepared = 0;
  int32_t nextHandle = kFirstResultHandle;
  int32_t nextPrepared = kFirstPreparedHandle;
  struct Open {
    fake::Table table;
    int next = 0;
    int block = 1;
  };
  std::map<int32_t, Open> results;
  std::set<int32_t> prepared;
  std::vector<std::string> errors;

  void Reset(std::vector<AnswerSpec> a) {
    std::lock_guard lock(mutex);
    answers = std::move(a);
    executions = 0;
    lastServed.clear();
    results.clear();
    prepared.clear();
    errors.clear();
  }

  fake::Reply Execution() {
    std::lock_guard lock(mutex);
    const int64_t exec = executions++;
    const AnswerSpec& spec = answers[static_cast<size_t>(exec) % answers.size()];
    lastServed.clear();
    std::vector<fake::Bytes> parts;
    if (spec.kind == AnswerSpec::Error) parts.push_back(results::Exception("boom", "42000"));
    if (spec.kind == AnswerSpec::Results) {
      for (size_t k = 0; k < spec.parts.size(); ++k) {
        const PartSpec& p = spec.parts[k];
        Served s;
        s.part = static_cast<int>(k);
        if (!p.set) {
          s.count = p.count;
          parts.push_back(results::RowCount(p.count));
          lastServed.push_back(s);
          continue;
        }
        s.set = true;
        s.rows = p.rows;
        s.inlineRows = p.inlineRows;
        s.block = p.block;
        fake::Table table = TableOf(exec, s.part, p.rows);
        if (p.inlineRows < p.rows) {
          s.handle = nextHandle++;
          results[s.handle] = Open{table, p.inlineRows, p.block};
        }
        parts.push_back(results::ResultSet(s.handle, table.columns, p.rows, p.inlineRows,
                                           table.Block(0, p.inlineRows)));
        lastServed.push_back(s);
      }
    }
    fake::Reply reply = results::Answer(parts);
    if (spec.still == 0) return reply;
    // The still-executing answers and the result go out at once, unrequested.
    fake::Reply first = results::Answer({results::StillExecuting("10%")});
    for (int k = 1; k < spec.still; ++k)
      first.then.push_back(results::Answer({results::StillExecuting("50%")}));
    first.then.push_back(std::move(reply));
    return first;
  }

  fake::Reply Prepare() {
    std::lock_guard lock(mutex);
    lastPrepared = nextPrepared++;
    prepared.insert(lastPrepared);
    return results::Answer({results::Handle(lastPrepared),
                            results::ResultSet(-5, {}, 0, 0, results::RowBlock({})),
                            results::Empty()});
  }

  fake::Reply ExecutePrepared(const fake::Request& request) {
    int32_t handle = -1;
    if (request.data.size() >= 4)
      handle = static_cast<int32_t>(fake::GetLE(request.data.data(), 4));
    {
      std::lock_guard lock(mutex);
      if (prepared.count(handle) == 0)
        errors.push_back("execute_prepared of prepared statement " + std::to_string(handle) +
                         " that is not open");
    }
    return Execution();
  }

  fake::Reply Fetch(const fake::Request& request) {
    std::lock_guard lock(mutex);
    if (request.data.size() < 20) {
      errors.push_back("short fetch request");
      return results::Answer({results::Exception("Malformed fetch request.", "08S01")});
    }
    const auto handle = static_cast<int32_t>(fake::GetLE(request.data.data(), 4));
    const auto start = static_cast<int64_t>(fake::GetLE(request.data.data() + 4, 8));
    auto it = results.find(handle);
    if (it == results.end()) {
      errors.push_back("fetch of result set " + std::to_string(handle) + " that is not open");
      return results::Answer({results::Exception("Result set is closed.", "HY010")});
    }
    Open& o = it->second;
    if (start != o.next) {
      errors.push_back("fetch of result set " + std::to_string(handle) + " from row " +
                       std::to_string(start) + ", not " + std::to_string(o.next));
      return results::Answer({results::Exception("Bad start.", "HY000")});
    }
    const int rows = std::max(0, std::min<int>(o.block, static_cast<int>(o.table.rows) - o.next));
    if (rows == 0) errors.push_back("fetch past the end of result set " + std::to_string(handle));
    const fake::Bytes block = o.table.Block(o.next, rows);
    o.next += rows;
    return results::FetchAnswer(rows, block, true);
  }

  fake::Reply Close(const fake::Request& request, bool isPrepared) {
    std::lock_guard lock(mutex);
    const auto handle =
        request.data.size() >= 4 ? static_cast<int32_t>(fake::GetLE(request.data.data(), 4)) : -1;
    const bool known = isPrepared ? prepared.erase(handle) == 1 : results.erase(handle) == 1;
    if (!known)
      errors.push_back(
          std::string(isPrepared ? "close of prepared statement " : "close of result set ") +
          std::to_string(handle) + " that is not open");
    return fake::Reply{};
  }
};

// A node, its model, and a connection between two that never connected, made
// once for the process.
struct Server {
  Server() : player(node, fake::LoginScript{}) {
    node.SetTracing(false);
    node.On(fake::kExecute, [this](const fake::Request& r, fake::FakeNode&) {
      const std::string sql(r.data.begin(), r.data.end());
      if (sql.rfind("commit", 0) == 0 || sql.rfind("rollback", 0) == 0)
        return results::Answer({results::RowCount(0)});
      return model.Execution();
    });
    node.On(fake::kCreatePrepared,
            [this](const fake::Request&, fake::FakeNode&) { return model.Prepare(); });
    node.On(fake::kExecutePrepared,
            [this](const fake::Request& r, fake::FakeNode&) { return model.ExecutePrepared(r); });
    node.On(fake::kSendRowsFetch2,
            [this](const fake::Request& r, fake::FakeNode&) { return model.Fetch(r); });
    node.On(fake::kCloseResultSet,
            [this](const fake::Request& r, fake::FakeNode&) { return model.Close(r, false); });
    node.On(fake::kClosePrepared,
            [this](const fake::Request& r, fake::FakeNode&) { return model.Close(r, true); });
    QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    // The environment's commit passes over connections without a session,
    // whether they come before or after the connected one.
    QVOAllocHandle(SQL_HANDLE_DBC, env, &idle[0]);
    QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    QVOAllocHandle(SQL_HANDLE_DBC, env, &idle[1]);
    const std::string port = std::to_string(node.Port());
    if (QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                         "secret", SQL_NTS) != SQL_SUCCESS)
      Fail("cannot connect to the fake node");
  }
  fake::FakeNode node;
  fake::LoginPlayer player;
  NodeModel model;
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHDBC idle[2] = {SQL_NULL_HANDLE, SQL_NULL_HANDLE};
};

Server& TheServer() {
  static Server* server = new Server();  // kept for the whole run
  return *server;
}

// ---- the statements and their model ---------------------------------------------------------

enum class Function { None, Direct, Prepared, Tables };

// One result the statement holds.
struct Held {
  Served served;
  int64_t exec = 0;
  int received = 0;  // rows the client has of it
  int cursor = -1;   // the current row; rows: past the end
};

struct Stmt {
  SQLHSTMT h = SQL_NULL_HANDLE;
  bool async = false;
  std::vector<Held> results;  // results[0] is the current one
  int32_t prepared = -1;
  bool preparedForExecute = false;
  std::string text;
  // An asynchronous execution the application polls.
  Function running = Function::None;
  int stillLeft = 0;
  int64_t runningExec = 0;
  std::vector<Served> runningAnswer;
  AnswerSpec::Kind runningKind = AnswerSpec::Results;
  // GetData's pieces in the current row.
  int pieceColumn = 0;
  bool pieceWide = false;
  size_t piecePos = 0;
  bool pieceOver = false;
};

struct Expect {
  int executions = 0;  // execute, execute_prepared, create_prepared
  int fetches = 0;
  int aborts = 0;
  int transactions = 0;
  std::vector<int32_t> closes;  // result sets
  std::vector<int32_t> preparedCloses;
};

class Run {
 public:
  explicit Run(Input& in) : in_(in), server_(TheServer()) {}

  void Go() {
    const int statements = 2 + in_.Byte() % 3;
    const int answers = 1 + in_.Byte() % kMaxAnswers;
    std::vector<AnswerSpec> specs;
    for (int k = 0; k < answers; ++k) {
      AnswerSpec a;
      const uint8_t b = in_.Byte();
      a.still = (b & 3) % 3;
      const int kind = (b >> 2) & 3;
      a.kind = kind == 2 ? AnswerSpec::None : kind == 3 ? AnswerSpec::Error : AnswerSpec::Results;
      const int parts = 1 + ((b >> 4) & 3) % 3;
      for (int p = 0; a.kind == AnswerSpec::Results && p < parts; ++p) {
        PartSpec ps;
        const uint8_t first = in_.Byte(), second = in_.Byte();
        if (first & 1) {
          ps.count = first >> 1;
        } else {
          ps.set = true;
          ps.rows = (first >> 1) % 7;
          ps.inlineRows = second % (ps.rows + 1);
          ps.block = 1 + (second >> 4) % 3;
        }
        a.parts.push_back(ps);
      }
      specs.push_back(a);
    }
    server_.model.Reset(std::move(specs));
    server_.node.ClearHistory();
    seen_ = 0;
    for (int k = 0; k < statements; ++k) stmts_.push_back(NewStatement());

    for (int call = 0; call < kMaxCalls && !in_.Done(); ++call) {
      const uint8_t op = in_.Byte();
      const uint8_t arg = in_.Byte();
      Stmt& s = stmts_[static_cast<size_t>(op >> 4) % stmts_.size()];
      current_ = static_cast<int>(&s - stmts_.data());
      Step(op % 16, arg, s);
    }

    // A running execution is polled to its end (FreeHandle of a running
    // one is a call of its own), then everything goes; a commit then reads
    // its own answer, so that every request sent before it has reached the
    // node.
    for (Stmt& s : stmts_) {
      current_ = static_cast<int>(&s - stmts_.data());
      while (s.running != Function::None) Poll(s);
    }
    for (Stmt& s : stmts_) {
      current_ = static_cast<int>(&s - stmts_.data());
      FreeStatement(s);
    }
    Note("end");
    Expect e;
    e.transactions = 1;
    for (int32_t d : deferred_) e.closes.push_back(d);
    for (int32_t d : deferredPrepared_) e.preparedCloses.push_back(d);
    stmts_.clear();
    current_ = -1;
    Check(QVOEndTran(SQL_HANDLE_DBC, server_.dbc, SQL_COMMIT), SQL_SUCCESS, nullptr, "EndTran",
          SQL_HANDLE_DBC, server_.dbc);
    Received(e, nullptr);
    std::lock_guard lock(server_.model.mutex);
    if (!server_.model.results.empty())
      Fail("result set %d is still open on the node", server_.model.results.begin()->first);
    if (!server_.model.prepared.empty())
      Fail("prepared statement %d is still open on the node", *server_.model.prepared.begin());
  }

 private:
  Stmt NewStatement() {
    Stmt s;
    if (QVOAllocHandle(SQL_HANDLE_STMT, server_.dbc, &s.h) != SQL_SUCCESS)
      Fail("cannot allocate a statement");
    return s;
  }

  bool OtherRuns(const Stmt& s) const {
    for (const Stmt& o : stmts_)
      if (&o != &s && o.running != Function::None) return true;
    return false;
  }
  bool AnyRuns() const {
    for (const Stmt& o : stmts_)
      if (o.running != Function::None) return true;
    return false;
  }

  // ---- diagnostics and returns ----

  std::string State(SQLSMALLINT type, SQLHANDLE h, int record) {
    SQLCHAR state[6] = {};
    SQLCHAR text[512];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(QVOGetDiagRec(type, h, static_cast<SQLSMALLINT>(record), state, &native,
                                     text, sizeof text, &length)))
      return "";
    return reinterpret_cast<char*>(state);
  }
  int Records(SQLSMALLINT type, SQLHANDLE h) {
    int n = 0;
    while (n < 20 && !State(type, h, n + 1).empty()) ++n;
    return n;
  }

  // The return code and the first record's SQLSTATE (null: any) of a call on
  // the current statement; 0 and 100 carry no record, -1 and 1 at least one.
  void Check(SQLRETURN rc, SQLRETURN want, const char* state, const char* what,
             SQLSMALLINT type = SQL_HANDLE_STMT, SQLHANDLE h = SQL_NULL_HANDLE) {
    if (h == SQL_NULL_HANDLE) h = current_ >= 0 ? stmts_[static_cast<size_t>(current_)].h : nullptr;
    if (rc != want) {
      const std::string got = h ? State(type, h, 1) : "";
      Fail("%s returned %d (%s), not %d", what, rc, got.c_str(), want);
    }
    if (h == nullptr) return;
    const int records = Records(type, h);
    if ((rc == SQL_SUCCESS || rc == SQL_NO_DATA || rc == SQL_STILL_EXECUTING) && records != 0)
      Fail("%s returned %d with %d records (%s)", what, rc, records, State(type, h, 1).c_str());
    if ((rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) && records == 0)
      Fail("%s returned %d without a record", what, rc);
    if (state && State(type, h, 1) != state)
      Fail("%s: SQLSTATE %s, not %s", what, State(type, h, 1).c_str(), state);
  }

  // ---- what the node received ----

  // Compares what the node received since the last call with `e`; the
  // executing statement's closes come before its execution request. A close
  // held back earlier may come now.
  void Received(const Expect& e, const Stmt* caller) {
    const size_t want = seen_ +
                        static_cast<size_t>(e.executions + e.fetches + e.aborts + e.transactions) +
                        e.closes.size() + e.preparedCloses.size();
    // An abort has no answer: wait until the node has read it.
    if (e.aborts > 0) server_.node.WaitForRequests(want, 10000);
    const std::vector<fake::Request> requests = server_.node.Requests();
    {
      std::lock_guard lock(server_.model.mutex);
      if (!server_.model.errors.empty()) Fail("node: %s", server_.model.errors.front().c_str());
    }
    std::vector<int32_t> closes, preparedCloses;
    int executions = 0, fetches = 0, aborts = 0, transactions = 0;
    for (size_t i = seen_; i < requests.size(); ++i) {
      const fake::Request& r = requests[i];
      const int32_t handle =
          r.data.size() >= 4 ? static_cast<int32_t>(fake::GetLE(r.data.data(), 4)) : -1;
      switch (r.command) {
        case fake::kExecute: {
          const std::string sql(r.data.begin(), r.data.end());
          if (sql.rfind("commit", 0) == 0 || sql.rfind("rollback", 0) == 0) {
            ++transactions;
            break;
          }
          [[fallthrough]];
        }
        case fake::kExecutePrepared:
        case fake::kCreatePrepared:
          ++executions;
          // The statement's results and its earlier prepared statement are
          // closed before it executes.
          for (int32_t c : e.closes)
            if (std::find(closes.begin(), closes.end(), c) == closes.end())
              Fail("close of result set %d came after the execution request", c);
          for (int32_t c : e.preparedCloses)
            if (std::find(preparedCloses.begin(), preparedCloses.end(), c) == preparedCloses.end())
              Fail("close of prepared statement %d came after the execution request", c);
          break;
        case fake::kSendRowsFetch2:
          ++fetches;
          if (caller == nullptr || caller->results.empty() ||
              caller->results[0].served.handle != handle)
            Fail("fetch of result set %d, not the calling statement's current one", handle);
          break;
        case fake::kCloseResultSet:
          closes.push_back(handle);
          break;
        case fake::kClosePrepared:
          preparedCloses.push_back(handle);
          break;
        case fake::kAbortQuery:
          ++aborts;
          break;
        default:
          Fail("unexpected request %d", r.command);
      }
    }
    seen_ = requests.size();
    if (executions != e.executions) Fail("%d execution requests, not %d", executions, e.executions);
    if (fetches != e.fetches) Fail("%d fetch requests, not %d", fetches, e.fetches);
    if (aborts != e.aborts) Fail("%d aborts, not %d", aborts, e.aborts);
    if (transactions != e.transactions)
      Fail("%d commits or rollbacks, not %d", transactions, e.transactions);
    MatchCloses(closes, e.closes, deferred_, "result set");
    MatchCloses(preparedCloses, e.preparedCloses, deferredPrepared_, "prepared statement");
  }

  static void MatchCloses(std::vector<int32_t> got, const std::vector<int32_t>& due,
                          std::set<int32_t>& deferred, const char* what) {
    for (int32_t d : due) {
      auto it = std::find(got.begin(), got.end(), d);
      if (it == got.end()) Fail("%s %d was not closed", what, d);
      got.erase(it);
    }
    for (int32_t g : got) {
      if (deferred.erase(g) == 0) Fail("close of %s %d that was not due", what, g);
    }
  }

  // The statement closes a handle: now, or once no other statement's
  // execution holds the connection.
  void Close(const Stmt& s, int32_t handle, bool prepared, Expect& e) {
    if (handle < 0) return;
    if (OtherRuns(s)) {
      (prepared ? deferredPrepared_ : deferred_).insert(handle);
      return;
    }
    (prepared ? e.preparedCloses : e.closes).push_back(handle);
  }
  // Closes every result the statement holds (level 1), and its prepared
  // statement too (a new execution or preparation, and freeing).
  void CloseAll(Stmt& s, bool prepared, Expect& e) {
    for (const Held& r : s.results)
      if (r.served.set) Close(s, r.served.handle, false, e);
    s.results.clear();
    ResetPieces(s);
    if (prepared) {
      Close(s, s.prepared, true, e);
      s.prepared = -1;
      s.preparedForExecute = false;
    }
  }
  static void ResetPieces(Stmt& s) {
    s.pieceColumn = 0;
    s.piecePos = 0;
    s.pieceOver = false;
  }

  // ---- executions ----

  // The outcome of an answer that is in, as the synchronous call gives it.
  void Complete(Stmt& s, AnswerSpec::Kind kind, int64_t exec, const std::vector<Served>& answer,
                SQLRETURN rc, const char* what) {
    s.running = Function::None;
    if (kind == AnswerSpec::None) return Check(rc, SQL_ERROR, "HY000", what);
    if (kind == AnswerSpec::Error) return Check(rc, SQL_ERROR, "42000", what);
    Check(rc, SQL_SUCCESS, nullptr, what);
    for (const Served& p : answer) {
      Held h;
      h.served = p;
      h.exec = exec;
      h.received = p.inlineRows;
      s.results.push_back(h);
    }
  }

  // A new execution by `function`: the statement's results (and for a direct
  // or catalog execution its prepared statement) are closed first, then the
  // request goes out; asynchronously the call returns 2 at the first
  // still-executing answer.
  void Execute(Stmt& s, Function function, const char* what) {
    Expect e;
    SQLRETURN rc;
    if (OtherRuns(s)) {
      rc = Call(s, function);
      Check(rc, SQL_ERROR, "HY010", what);
      Received(e, &s);
      return;
    }
    CloseAll(s, function != Function::Prepared, e);
    if (function == Function::Prepared) ResetPieces(s);
    e.executions = 1;
    int64_t exec;
    {
      std::lock_guard lock(server_.model.mutex);
      exec = server_.model.executions;
    }
    rc = Call(s, function);
    const AnswerSpec spec = SpecOf(exec);
    std::vector<Served> answer;
    {
      std::lock_guard lock(server_.model.mutex);
      answer = server_.model.lastServed;
    }
    if (spec.still > 0 && s.async) {
      Check(rc, SQL_STILL_EXECUTING, nullptr, what);
      s.running = function;
      s.stillLeft = spec.still - 1;
      s.runningExec = exec;
      s.runningAnswer = answer;
      s.runningKind = spec.kind;
    } else {
      Complete(s, spec.kind, exec, answer, rc, what);
    }
    Received(e, &s);
  }

  AnswerSpec SpecOf(int64_t exec) {
    std::lock_guard lock(server_.model.mutex);
    return server_.model.answers[static_cast<size_t>(exec) % server_.model.answers.size()];
  }

  SQLRETURN Call(Stmt& s, Function function) {
    switch (function) {
      case Function::Direct:
        return QVOExecDirect(s.h, reinterpret_cast<SQLCHAR*>(s.text.data()), SQL_NTS);
      case Function::Prepared:
        return QVOExecute(s.h);
      case Function::Tables:
        return QVOTables(s.h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
      case Function::None:
        break;
    }
    return SQL_ERROR;
  }

  // A call on a statement whose execution runs: refused, nothing sent,
  // nothing changed.
  bool Refused(Stmt& s, SQLRETURN rc, const char* what) {
    if (s.running == Function::None) return false;
    Check(rc, SQL_ERROR, "HY010", what);
    Received(Expect{}, &s);
    return true;
  }

  // ---- the calls ----

  void Step(int op, uint8_t arg, Stmt& s) {
    switch (op) {
      case 0: {
        Note("s%d ExecDirect", current_);
        if (s.running != Function::None) {
          // Another text than the running one's: refused.
          std::string other = "OTHER";
          Refused(s, QVOExecDirect(s.h, reinterpret_cast<SQLCHAR*>(other.data()), SQL_NTS),
                  "ExecDirect while running");
          return;
        }
        if (!OtherRuns(s))
          s.text = "Q" + std::to_string(texts_++);
        else
          s.text = "BUSY";
        Execute(s, Function::Direct, "ExecDirect");
        return;
      }
      case 1: {
        Note("s%d Prepare", current_);
        std::string text = "P" + std::to_string(texts_++);
        Expect e;
        const bool busy = OtherRuns(s);
        if (!busy && s.running == Function::None) {
          CloseAll(s, true, e);
          e.executions = 1;
        }
        const SQLRETURN rc = QVOPrepare(s.h, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        if (Refused(s, rc, "Prepare while running")) return;
        if (busy) {
          Check(rc, SQL_ERROR, "HY010", "Prepare while another statement runs");
        } else {
          Check(rc, SQL_SUCCESS, nullptr, "Prepare");
          std::lock_guard lock(server_.model.mutex);
          s.prepared = server_.model.lastPrepared;
          s.preparedForExecute = true;
        }
        Received(e, &s);
        return;
      }
      case 2: {
        Note("s%d Execute", current_);
        if (s.running != Function::None) {
          if (s.running == Function::Prepared) return Poll(s);
          Refused(s, QVOExecute(s.h), "Execute while running");
          return;
        }
        if (!s.preparedForExecute) {
          Check(QVOExecute(s.h), SQL_ERROR, "HY010", "Execute without a prepared statement");
          Received(Expect{}, &s);
          return;
        }
        Execute(s, Function::Prepared, "Execute");
        return;
      }
      case 3:
        Note("s%d poll", current_);
        if (s.running != Function::None) Poll(s);
        return;
      case 4:
        Note("s%d Fetch", current_);
        return Fetch(s);
      case 5:
        Note("s%d GetData %d", current_, arg & 15);
        return GetData(s, arg);
      case 6:
        Note("s%d MoreResults", current_);
        return MoreResults(s);
      case 7:
      case 8: {
        Note(op == 7 ? "s%d CloseCursor" : "s%d FreeStmt", current_);
        SQLRETURN rc = op == 7 ? QVOCloseCursor(s.h) : QVOFreeStmt(s.h, SQL_CLOSE);
        if (Refused(s, rc, op == 7 ? "CloseCursor while running" : "FreeStmt while running"))
          return;
        Expect e;
        const bool cursor = !s.results.empty() && s.results[0].served.set;
        if (op == 7 && !cursor && rc == SQL_ERROR) {
          // No cursor: 24000 where the statement holds no descriptor records
          // either; nothing changes.
          Check(rc, SQL_ERROR, "24000", "CloseCursor");
          Received(e, &s);
          return;
        }
        Check(rc, SQL_SUCCESS, nullptr, op == 7 ? "CloseCursor" : "FreeStmt");
        CloseAll(s, false, e);
        Received(e, &s);
        return;
      }
      case 9: {
        const bool on = arg & 1;
        Note("s%d async %d", current_, on);
        const SQLRETURN rc = QVOSetStmtAttr(
            s.h, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(on)), 0);
        if (Refused(s, rc, "SetStmtAttr while running")) return;
        Check(rc, SQL_SUCCESS, nullptr, "SetStmtAttr");
        s.async = on;
        Received(Expect{}, &s);
        return;
      }
      case 10:
        return Counts(s, arg & 1);
      case 11: {
        if (arg & 1) {
          Note("s%d Cancel", current_);
          Check(QVOCancel(s.h), SQL_SUCCESS, nullptr, "Cancel");
          Expect e;
          // Only a running execution is aborted; the poll then reads what the
          // node had sent already.
          if (s.running != Function::None) e.aborts = 1;
          Received(e, &s);
          return;
        }
        Note("s%d GetStmtAttr", current_);
        SQLULEN value = 99;
        Check(QVOGetStmtAttr(s.h, SQL_ATTR_ASYNC_ENABLE, &value, 0, nullptr), SQL_SUCCESS, nullptr,
              "GetStmtAttr");
        if (value != (s.async ? 1u : 0u))
          Fail("SQL_ATTR_ASYNC_ENABLE reads %lu", (unsigned long)value);
        Received(Expect{}, &s);
        return;
      }
      case 12:
        Note("s%d Tables", current_);
        if (s.running != Function::None) {
          if (s.running == Function::Tables) return Poll(s);
          Refused(s, QVOTables(s.h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
                  "Tables while running");
          return;
        }
        Execute(s, Function::Tables, "Tables");
        return;
      case 13:
        return EndTran(arg);
      case 14: {
        Note("s%d FreeHandle", current_);
        FreeStatement(s);
        s = NewStatement();
        return;
      }
      case 15:
        return Idle(arg);
      default:
        return;
    }
  }

  void Poll(Stmt& s) {
    const SQLRETURN rc = Call(s, s.running);
    if (s.stillLeft > 0) {
      --s.stillLeft;
      Check(rc, SQL_STILL_EXECUTING, nullptr, "poll");
    } else {
      Complete(s, s.runningKind, s.runningExec, s.runningAnswer, rc, "poll");
    }
    Received(Expect{}, &s);
  }

  void Fetch(Stmt& s) {
    if (s.running == Function::None && !s.results.empty() && s.results[0].served.set &&
        OtherRuns(s)) {
      const Held& r = s.results[0];
      // A row that needs a request of the node while another statement's
      // execution holds the connection: not made (the model does not say
      // what the cursor holds after it).
      if (r.cursor + 1 >= r.received && r.cursor + 1 < r.served.rows) return;
    }
    const SQLRETURN rc = QVOFetch(s.h);
    if (Refused(s, rc, "Fetch while running")) return;
    Expect e;
    if (s.results.empty() || !s.results[0].served.set) {
      // No result set: an error, or no data; nothing changes.
      if (rc != SQL_ERROR && rc != SQL_NO_DATA) Fail("Fetch without a result set returned %d", rc);
      Received(e, &s);
      return;
    }
    Held& r = s.results[0];
    ResetPieces(s);
    if (r.cursor + 1 >= r.served.rows) {
      r.cursor = r.served.rows;
      Check(rc, SQL_NO_DATA, nullptr, "Fetch");
      Received(e, &s);
      return;
    }
    ++r.cursor;
    if (r.cursor >= r.received) {
      e.fetches = 1;
      r.received += std::min(r.served.block, r.served.rows - r.received);
    }
    Check(rc, SQL_SUCCESS, nullptr, "Fetch");
    Received(e, &s);
  }

  void GetData(Stmt& s, uint8_t arg) {
    bool wide = arg & 2;
    static constexpr SQLLEN kNarrow[] = {64, 4, 3, 6};
    const bool onRow = s.running == Function::None && !s.results.empty() &&
                       s.results[0].served.set && s.results[0].cursor >= 0 &&
                       s.results[0].cursor < s.results[0].served.rows;
    // One column and width a row: the first read in the row chooses them.
    int column = 1 + (arg & 1);
    if (onRow && s.pieceColumn != 0) {
      column = s.pieceColumn;
      wide = s.pieceWide;
    }
    const SQLLEN length = kNarrow[(arg >> 2) & 3] * (wide ? 2 : 1);
    std::vector<unsigned char> buffer(static_cast<size_t>(length) + 8, 0xA5);
    SQLLEN ind = -77;
    const SQLRETURN rc = QVOGetData(s.h, static_cast<SQLUSMALLINT>(column),
                                    wide ? SQL_C_WCHAR : SQL_C_CHAR, buffer.data(), length, &ind);
    if (Refused(s, rc, "GetData while running")) return;
    if (!onRow) {
      if (rc != SQL_ERROR && rc != SQL_NO_DATA) Fail("GetData off a row returned %d", rc);
      Received(Expect{}, &s);
      return;
    }
    const Held& r = s.results[0];
    const std::string text = column == 1 ? TextOf(r.exec, r.served.part, r.cursor)
                                         : DoubleTextOf(r.exec, r.served.part, r.cursor);
    s.pieceColumn = column;
    s.pieceWide = wide;
    if (s.pieceOver) {
      Check(rc, SQL_NO_DATA, nullptr, "GetData after the last piece");
      Received(Expect{}, &s);
      return;
    }
    const size_t unit = wide ? 2 : 1;
    const size_t room = static_cast<size_t>(length) / unit - 1;
    const size_t left = text.size() - s.piecePos;
    size_t n = std::min(room, left);
    if (column == 2 && s.piecePos == 0) {
      // A number's first piece is cut as the fetch cuts it: never inside its
      // integer digits (22003, nothing moves on), never right behind its
      // separator.
      const size_t whole = text.find('.');
      if (room < whole) {
        Check(rc, SQL_ERROR, "22003", "GetData of too few characters for the digits");
        Received(Expect{}, &s);
        return;
      }
      if (n < left && n == whole + 1) n = whole;
    }
    const std::string piece = text.substr(s.piecePos, n);
    Check(rc, n < left ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS, n < left ? "01004" : nullptr,
          "GetData");
    if (ind != static_cast<SQLLEN>(left * unit))
      Fail("GetData of '%s' from %zu: length %ld, not %zu", text.c_str(), s.piecePos, (long)ind,
           left * unit);
    for (size_t k = 0; k <= n; ++k) {
      const unsigned expected = k < n ? static_cast<unsigned char>(piece[k]) : 0;
      unsigned got = buffer[k * unit];
      if (wide) got |= static_cast<unsigned>(buffer[k * unit + 1]) << 8;
      if (got != expected)
        Fail("GetData of '%s' from %zu: character %zu is %u, not %u", text.c_str(), s.piecePos, k,
             got, expected);
    }
    for (size_t k = (n + 1) * unit; k < buffer.size(); ++k)
      if (k >= static_cast<size_t>(length) && buffer[k] != 0xA5)
        Fail("GetData wrote past its buffer");
    s.piecePos += n;
    if (n == left) s.pieceOver = true;
    Received(Expect{}, &s);
  }

  void MoreResults(Stmt& s) {
    const SQLRETURN rc = QVOMoreResults(s.h);
    if (Refused(s, rc, "MoreResults while running")) return;
    Expect e;
    if (s.results.empty()) {
      Check(rc, SQL_NO_DATA, nullptr, "MoreResults");
      Received(e, &s);
      return;
    }
    if (s.results[0].served.set) Close(s, s.results[0].served.handle, false, e);
    s.results.erase(s.results.begin());
    ResetPieces(s);
    Check(rc, s.results.empty() ? SQL_NO_DATA : SQL_SUCCESS, nullptr, "MoreResults");
    Received(e, &s);
  }

  void Counts(Stmt& s, bool columns) {
    Note(columns ? "s%d NumResultCols" : "s%d RowCount", current_);
    if (columns) {
      SQLSMALLINT n = -5;
      const SQLRETURN rc = QVONumResultCols(s.h, &n);
      if (Refused(s, rc, "NumResultCols while running")) return;
      Check(rc, SQL_SUCCESS, nullptr, "NumResultCols");
      if (!s.results.empty()) {
        const int want = s.results[0].served.set ? 2 : 0;
        if (n != want) Fail("NumResultCols gives %d, not %d", n, want);
      }
    } else {
      SQLLEN n = -5;
      const SQLRETURN rc = QVORowCount(s.h, &n);
      if (Refused(s, rc, "RowCount while running")) return;
      Check(rc, SQL_SUCCESS, nullptr, "RowCount");
      if (!s.results.empty() && !s.results[0].served.set && s.results[0].served.count >= 1 &&
          n != s.results[0].served.count)
        Fail("RowCount gives %ld, not %ld", (long)n, (long)s.results[0].served.count);
    }
    Received(Expect{}, &s);
  }

  void EndTran(uint8_t arg) {
    const SQLSMALLINT completion = (arg & 1) ? SQL_ROLLBACK : SQL_COMMIT;
    const bool env = arg & 2;
    Note(env ? "EndTran env %d" : "EndTran dbc %d", completion);
    const SQLRETURN rc = env ? QVOEndTran(SQL_HANDLE_ENV, server_.env, completion)
                             : QVOEndTran(SQL_HANDLE_DBC, server_.dbc, completion);
    const SQLSMALLINT type = env ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
    const SQLHANDLE h = env ? server_.env : server_.dbc;
    Expect e;
    if (AnyRuns()) {
      // An execution holds the connection: nothing goes out.
      Check(rc, SQL_ERROR, nullptr, "EndTran while an execution runs", type, h);
    } else {
      Check(rc, SQL_SUCCESS, nullptr, "EndTran", type, h);
      e.transactions = 1;
    }
    Received(e, nullptr);
  }

  void Idle(uint8_t arg) {
    const SQLHDBC idle = server_.idle[arg & 1 ? 1 : 0];
    Note("idle EndTran and alloc");
    Check(QVOEndTran(SQL_HANDLE_DBC, idle, SQL_COMMIT), SQL_ERROR, "08003", "EndTran of no session",
          SQL_HANDLE_DBC, idle);
    SQLHANDLE out = SQL_NULL_HANDLE;
    const SQLSMALLINT type = (arg & 2) ? SQL_HANDLE_DESC : SQL_HANDLE_STMT;
    Check(QVOAllocHandle(type, idle, &out), SQL_ERROR, "HY000", "AllocHandle under no session",
          SQL_HANDLE_DBC, idle);
    if (Records(SQL_HANDLE_DBC, idle) != 1)
      Fail("a failed allocation left %d records", Records(SQL_HANDLE_DBC, idle));
    Received(Expect{}, nullptr);
  }

  // Frees the statement: a running execution is aborted and read to its end,
  // every result closed, the prepared statement closed.
  void FreeStatement(Stmt& s) {
    Expect e;
    if (s.running != Function::None) {
      e.aborts = 1;
      Stmt drained = s;
      drained.running = Function::None;
      drained.results.clear();
      if (s.runningKind == AnswerSpec::Results)
        for (const Served& p : s.runningAnswer) {
          Held h;
          h.served = p;
          drained.results.push_back(h);
        }
      s.running = Function::None;
      s.results = drained.results;
    }
    CloseAll(s, true, e);
    const SQLRETURN rc = QVOFreeHandle(SQL_HANDLE_STMT, s.h);
    if (rc != SQL_SUCCESS) Fail("FreeHandle returned %d", rc);
    s.h = SQL_NULL_HANDLE;
    Received(e, nullptr);
  }

  Input& in_;
  Server& server_;
  std::vector<Stmt> stmts_;
  int current_ = -1;
  size_t seen_ = 0;
  int texts_ = 0;
  std::set<int32_t> deferred_, deferredPrepared_;
};

}  // namespace

// STATEMENT_SEQUENCE_TRACE=1 lists the calls of every input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return oracle::RunInput<Run>("statement_sequence_fuzz", "STATEMENT_SEQUENCE_TRACE", data, size);
}
