// Data at execution as call sequences against the fake node: which calls
// return SQL_NEED_DATA with which token, how PutData pieces join, what is
// refused (and leaves the collected value as it was), and what the node
// finally receives.
#include <cstdint>
#include <string>
#include <vector>

#include "prepared_fixture.h"

namespace {

using namespace prepared_test;

constexpr SQLLEN kAtExec = SQL_DATA_AT_EXEC;
constexpr SQLLEN kAtExecLen5 = SQL_LEN_DATA_AT_EXEC(5);

struct Step {
  enum Kind { Execute, ExecDirect, ParamData, PutData, Cancel } kind;
  SQLRETURN rc;
  int token = -1;              // ParamData with 99: the row of the buffer named
  int param = 2;               // its parameter (1: the integer, 2: the text)
  const char* data = nullptr;  // PutData: the piece, "#" for the integer 77
  SQLLEN length = 0;
  const char* state = "";  // with -1: the SQLSTATE recorded
};

Step CallExecute(SQLRETURN rc = SQL_NEED_DATA) { return {Step::Execute, rc}; }
Step CallExecDirect(SQLRETURN rc = SQL_NEED_DATA) { return {Step::ExecDirect, rc}; }
Step CallCancel() { return {Step::Cancel, SQL_SUCCESS}; }
Step Wants(int row, int param = 2) { return {Step::ParamData, SQL_NEED_DATA, row, param}; }
Step Runs(SQLRETURN rc = SQL_SUCCESS) { return {Step::ParamData, rc}; }
Step Put(const char* data, SQLLEN length) {
  return {Step::PutData, SQL_SUCCESS, -1, 2, data, length};
}
Step Refused(Step s, const char* state) {
  s.rc = SQL_ERROR;
  s.state = state;
  return s;
}

struct Case {
  const char* what;
  SQLLEN idInd[2];
  SQLLEN nameInd[2];
  std::vector<Step> steps;
  std::vector<std::string> received;  // "id/text" per row sent, in order
  SQLSMALLINT textType = SQL_C_CHAR;
  int64_t messageSize = 0x4000000;
};

class DataAtExecTest : public PrepareExecuteTest {};

TEST_F(DataAtExecTest, CallSequences) {
  const char* const kHuge = "x";
  const Case cases[] = {
      {"rows asked for in order, pieces joined",
       {0, 0},
       {kAtExec, kAtExecLen5},
       {CallExecute(), Wants(0), Put("abc", SQL_NTS), Put("de", 2), Wants(1), Put("xyz", 3),
        Runs()},
       {"1/abcde", "2/xyz"}},
      {"NULL, and a value never supplied is empty",
       {0, 0},
       {kAtExec, kAtExec},
       {CallExecute(), Wants(0), Put(nullptr, SQL_NULL_DATA), Wants(1), Runs()},
       {"1/NULL", "2/"}},
      {"only the rows that ask",
       {0, 0},
       {SQL_NTS, kAtExecLen5},
       {CallExecute(), Wants(1), Put("q", 1), Runs()},
       {"1/name-00001", "2/q"}},
      {"row by row, then parameter by parameter; a fixed-size value in one piece",
       {kAtExec, 0},
       {kAtExec, kAtExec},
       {CallExecute(), Wants(0, 1), Put("#", 0), Refused(Put("#", 0), "HY019"), Wants(0),
        Put("a", 1), Wants(1), Put("b", 1), Runs()},
       {"77/a", "2/b"}},
      {"a block per row takes the values in order",
       {0, 0},
       {kAtExec, kAtExec},
       {CallExecute(), Wants(0), Put("first", 5), Wants(1), Put("second", 6), Runs()},
       {"1/first", "2/second"},
       SQL_C_CHAR,
       1},
      {"refusals write nothing",
       {0, 0},
       {kAtExec, SQL_NTS},
       {Refused(Runs(), "HY010"), CallExecute(), Refused(Put("zz", 2), "HY010"),
        Refused(CallExecute(), "HY010"), Wants(0), Put("ab", 2), Refused(Put("zz", -7), "HY090"),
        Refused(Put(kHuge, SQLLEN{1} << 31), "HY090"), Refused(Put(nullptr, 3), "HY000"),
        Refused(Put(nullptr, SQL_NULL_DATA), "HY020"), Put("c", 1), Runs(),
        Refused(Put("zz", 2), "HY010"), Refused(Runs(), "HY010")},
       {"1/abc", "2/name-00002"}},
      {"NULL after nothing, then a piece, is refused",
       {0, 0},
       {kAtExec, SQL_NTS},
       {CallExecute(), Wants(0), Put(nullptr, SQL_NULL_DATA), Refused(Put("a", 1), "HY020"),
        Runs()},
       {"1/NULL", "2/name-00002"}},
      {"SQL_NTS is for text only",
       {0, 0},
       {kAtExec, 10},
       {CallExecute(), Wants(0), Refused(Put("ab", SQL_NTS), "HY090"), Put("ab", 2), Runs()},
       {"1/ab", "2/name-00002"},
       SQL_C_BINARY},
      {"executing again asks again and sends the new values",
       {0, 0},
       {kAtExec, SQL_NTS},
       {CallExecute(), Wants(0), Put("old", 3), Runs(), CallExecute(), Wants(0), Put("new", 3),
        Runs()},
       {"1/old", "2/name-00002", "1/new", "2/name-00002"}},
      {"cancel ends the sequence at the next call, without sending",
       {0, 0},
       {kAtExec, SQL_NTS},
       {CallExecute(), Wants(0), Put("gone", 4), CallCancel(), Refused(Put("x", 1), "HY008"),
        Refused(Put("x", 1), "HY010"), CallExecute(), Wants(0), CallCancel(),
        Refused(Runs(), "HY008"), Refused(Runs(), "HY010"), CallExecute(), Wants(0), Put("kept", 4),
        Runs()},
       {"1/kept", "2/name-00002"}},
      // A sequence a cancel ended sent nothing: Execute or ExecDirect
      // starts a new execution, which asks again.
      {"execute after a cancel starts anew",
       {kAtExec, 0},
       {SQL_NTS, SQL_NTS},
       {CallExecute(), Wants(0, 1), Put("#", 0), Refused(Put("#", 0), "HY019"), CallCancel(),
        CallExecute(), Wants(0, 1), Put("#", 0), Runs()},
       {"77/name-00001", "2/name-00002"}},
      {"ExecDirect after a cancel starts anew",
       {0, 0},
       {SQL_NTS, kAtExec},
       {CallExecDirect(), Wants(1), CallCancel(), CallExecDirect(), Wants(1), Put("again", SQL_NTS),
        Runs()},
       {"1/name-00001", "2/again"}},
      // Inside its own sequence only ParamData and PutData go on.
      {"ExecDirect inside its sequence is refused",
       {0, 0},
       {SQL_NTS, kAtExec},
       {CallExecDirect(), Wants(1), Refused(CallExecDirect(), "HY010"), Put("direct", SQL_NTS),
        Refused(CallExecDirect(), "HY010"), Runs()},
       {"1/name-00001", "2/direct"}},
      {"ExecDirect asks the same way",
       {0, 0},
       {SQL_NTS, kAtExec},
       {CallExecDirect(), Wants(1), Put("direct", SQL_NTS), Runs()},
       {"1/name-00001", "2/direct"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHSTMT h = NewStatement();
    seen.clear();
    conn->connAttr.maxDataMessageSize = c.messageSize;
    Fill(1);
    if (c.steps.front().kind != Step::ExecDirect) {
      ASSERT_EQ(Prepare(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    }
    Bind(h, 2, c.textType);
    for (int r = 0; r < 2; ++r) {
      idInd[r] = c.idInd[r];
      nameInd[r] = c.nameInd[r];
    }
    const SQLINTEGER seventySeven = 77;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& st = c.steps[i];
      SCOPED_TRACE("step " + std::to_string(i));
      SQLPOINTER token = nullptr;
      SQLRETURN rc = SQL_ERROR;
      switch (st.kind) {
        case Step::Execute:
          rc = QVOExecute(h);
          break;
        case Step::ExecDirect:
          rc = Exec(kInsert, h);
          break;
        case Step::Cancel:
          rc = QVOCancel(h);
          break;
        case Step::ParamData:
          rc = QVOParamData(h, &token);
          break;
        case Step::PutData: {
          const bool integer = st.data && std::string(st.data) == "#";
          const void* data = integer ? static_cast<const void*>(&seventySeven) : st.data;
          rc = QVOPutData(h, const_cast<void*>(data), st.length);
          break;
        }
      }
      ASSERT_EQ(rc, st.rc) << LastDiag(*Stmt(h));
      // Each call leaves its own records: one for -1, none for 0 or 99.
      if (rc == SQL_ERROR) {
        EXPECT_EQ(DiagsOf(*Stmt(h)).size(), 1u);
        EXPECT_EQ(LastDiag(*Stmt(h)).substr(0, 5), st.state);
      } else if (rc != SQL_SUCCESS_WITH_INFO) {
        EXPECT_EQ(DiagsOf(*Stmt(h)).size(), 0u) << LastDiag(*Stmt(h));
      }
      if (st.kind == Step::ParamData && rc == SQL_NEED_DATA) {
        const void* expected = st.param == 1 ? static_cast<const void*>(&ids[st.token])
                                             : static_cast<const void*>(names[st.token]);
        EXPECT_EQ(token, expected);
      }
    }
    EXPECT_EQ(Received(), c.received);
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

}  // namespace
