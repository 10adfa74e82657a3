// Parallel mode through the exported functions: entering it on a main
// connection, slave connections to further fake nodes that log in with the
// token, describe their part of the result set by handle, ask for their
// starting row and fetch their rows; and the answers the client must refuse.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/api_records.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_table.h"

namespace {

using namespace fake::results;

using api::Record;

// An environment with one connection and one statement per node given.
struct Sessions {
  Sessions() { EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS); }
  ~Sessions() { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  // A main connection; its statement.
  SQLHANDLE Main(fake::FakeNode& node) {
    SQLHANDLE dbc = mainDbc = Dbc();
    const std::string port = std::to_string(node.Port());
    EXPECT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                               "secret", SQL_NTS),
              SQL_SUCCESS);
    return Stmt(dbc);
  }
  SQLHANDLE Slave(const ConnectionStru& node, SQLBIGINT token) {
    SQLHANDLE dbc = Dbc();
    EXPECT_EQ(QVOSlaveConnect(dbc, const_cast<char*>(node.qvoServer), node.qvoServerLen,
                              const_cast<char*>(node.qvoPort), node.qvoPortLen, token),
              SQL_SUCCESS);
    return Stmt(dbc);
  }
  SQLHANDLE Dbc() {
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    return dbc;
  }
  static SQLHANDLE Stmt(SQLHANDLE dbc) {
    SQLHANDLE stmt = SQL_NULL_HANDLE;
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
    return stmt;
  }

  SQLHANDLE env = SQL_NULL_HANDLE;
  SQLHANDLE mainDbc = SQL_NULL_HANDLE;
};

fake::Table Whole() {
  return fake::Table::Sample({Column::Decimal("N", 18, 0), Column::Char("S", 12, 12, kVarying)},
                             11);
}

// Rows [offset, offset + rows) of the whole result.
fake::Table Part(int64_t offset, int64_t rows) {
  fake::Table whole = Whole();
  fake::Table part = whole;
  part.rows = rows;
  part.value = [whole, offset](int64_t row, size_t column) {
    return whole.value(row + offset, column);
  };
  return part;
}

constexpr int32_t kResult = 5;

TEST(ParallelApi, TwoSlavesFetchTheirPartsFromTheirOffsets) {
  fake::FakeNode main;
  fake::FakeNode slaves[2];
  fake::LoginPlayer mainLogin(main);
  fake::LoginPlayer slaveLogin0(slaves[0]);
  fake::LoginPlayer slaveLogin1(slaves[1]);
  const int64_t offsets[2] = {0, 6};
  const int64_t rows[2] = {6, 5};
  for (int k = 0; k < 2; ++k)
    slaves[k].ServeResultPart(kResult, Part(offsets[k], rows[k]), offsets[k],
                              fake::Blocks::OfRows(2));
  main.On(fake::kEnterParallel, [&](const fake::Request&, fake::FakeNode&) {
    fake::Reply reply;
    reply.results = 1;
    reply.data =
        EnterParallel(2, 77, {{slaves[0].Port(), "127.0.0.1"}, {slaves[1].Port(), "127.0.0.1"}});
    return reply;
  });
  main.On(fake::kGetHostnames, [](const fake::Request&, fake::FakeNode&) {
    fake::Reply reply;
    reply.results = 1;
    reply.data = Hostnames(2, {"n1", "node2"});
    return reply;
  });

  Sessions s;
  SQLHANDLE stmt = s.Main(main);
  SQLINTEGER n = 0;
  ConnectionStru* nodes = nullptr;
  SQLBIGINT token = 0;
  ASSERT_EQ(QVOEnterParallel(stmt, 2, &n, &nodes, &token), SQL_SUCCESS);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(token, 77);
  const fake::Request enter = main.Requests().back();
  ASSERT_EQ(enter.command, fake::kEnterParallel);
  fake::Bytes expected;
  fake::PutLE(expected, 2, 4);
  fake::PutLE(expected, 9, 4);
  for (char c : std::string("127.0.0.1")) expected.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(enter.data, expected);

  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(std::string(nodes[k].qvoPort), std::to_string(slaves[k].Port()));
    EXPECT_EQ(nodes[k].qvoPortLen, static_cast<SQLINTEGER>(std::strlen(nodes[k].qvoPort)));
    EXPECT_STREQ(nodes[k].qvoServer, "127.0.0.1");
    EXPECT_EQ(nodes[k].qvoServerLen, 9);

    SQLHANDLE slave = s.Slave(nodes[k], token);
    ASSERT_TRUE(slaves[k].WaitForRequests(1));
    const std::vector<fake::Request> seen = slaves[k].Requests();
    const fake::Attr* presented = seen[0].Find(fake::ATTR_PARALLEL_TOKEN);
    ASSERT_NE(presented, nullptr);
    EXPECT_EQ(presented->AsInt(), 77);

    ASSERT_EQ(QVOExecuteDescRes(slave, kResult), SQL_SUCCESS);
    SQLSMALLINT columns = 0;
    EXPECT_EQ(QVONumResultCols(slave, &columns), SQL_SUCCESS);
    EXPECT_EQ(columns, 2);
    SQLBIGINT value = 0;
    SQLLEN ind = 0;
    ASSERT_EQ(QVOBindCol(slave, 1, SQL_C_SBIGINT, &value, 0, &ind), SQL_SUCCESS);
    std::vector<SQLBIGINT> got;
    SQLBIGINT offset = -1;
    SQLRETURN rc;
    while ((rc = QVOFetch(slave)) == SQL_SUCCESS) {
      got.push_back(value);
      // Asked between rows of a block: the rows received stay readable.
      if (got.size() == 1) {
        ASSERT_EQ(QVOGetSlaveOffset(slave, &offset), SQL_SUCCESS);
        EXPECT_EQ(QVOGetSlaveOffset(slave, nullptr), SQL_SUCCESS);
      }
    }
    EXPECT_EQ(rc, SQL_NO_DATA);
    EXPECT_EQ(offset, offsets[k]);
    std::vector<SQLBIGINT> want;
    for (int64_t r = 0; r < rows[k]; ++r) want.push_back(offsets[k] + r);
    EXPECT_EQ(got, want);
    EXPECT_EQ(QVOExecuteCloseRes(slave), SQL_SUCCESS);
    EXPECT_TRUE(slaves[k].OpenResultSets().empty());
    EXPECT_TRUE(slaves[k].Errors().empty());
  }

  // Host names carry the port of the main connection; the node array of
  // the statement is replaced.
  SQLINTEGER hosts = 0;
  ConnectionStru* names = nullptr;
  ASSERT_EQ(QVOGetHostnames(stmt, &hosts, &names), SQL_SUCCESS);
  ASSERT_EQ(hosts, 2);
  EXPECT_STREQ(names[0].qvoServer, "n1");
  EXPECT_EQ(names[1].qvoServerLen, 5);
  EXPECT_STREQ(names[1].qvoServer, "node2");
  EXPECT_EQ(std::string(names[1].qvoPort), std::to_string(main.Port()));
  EXPECT_TRUE(main.Errors().empty());
}

fake::Reply Answer(uint32_t results, fake::Bytes data) {
  fake::Reply r;
  r.results = results;
  r.data = std::move(data);
  return r;
}

std::vector<std::string> Names(int count, size_t length) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i)
    out.push_back(std::string(length, static_cast<char>('a' + i % 26)));
  return out;
}

fake::Bytes Int64(int64_t v) {
  fake::Bytes b;
  fake::PutLE(b, static_cast<uint64_t>(v), 8);
  return b;
}

TEST(ParallelApi, AnswersRefusedOrAccepted) {
  enum Call { Enter, Hosts, Offset };
  struct Case {
    const char* name;
    Call call;
    fake::Reply reply;
    SQLRETURN rc;
    std::string state;                 // of the last record; "" for none
    std::string text;                  // part of its text
    SQLINTEGER count;                  // count stored (Enter, Hosts); offset (Offset)
    std::vector<std::string> servers;  // the host names stored (Enter, Hosts accepted)
  };
  const std::string over = std::string(64, 'h');
  const std::vector<std::string> none, twoNodes = {"ab", "cdefg"}, longName = {over.substr(1)},
                                       hosts255 = Names(255, 3);
  const std::vector<Case> cases = {
      {"two nodes", Enter, Answer(1, EnterParallel(2, 77, {{8563, "ab"}, {-1, "cdefg"}})), 0, "",
       "", 2, twoNodes},
      {"zero nodes", Enter, Answer(1, EnterParallel(0, 77, {})), -1, "22003",
       "Connection number is invalid.", 0, none},
      {"negative node count", Enter, Answer(1, EnterParallel(-3, 77, {})), -1, "22003",
       "Connection number is invalid.", -3, none},
      {"more nodes than the answer holds", Enter, Answer(1, EnterParallel(100000, 77, {{1, "ab"}})),
       -1, "HY010", "Incorrect data array", -9, none},
      {"host name of 63 bytes fits", Enter, Answer(1, EnterParallel(1, 1, {{1, over.substr(1)}})),
       0, "", "", 1, longName},
      {"host name of 64 bytes refused", Enter, Answer(1, EnterParallel(1, 1, {{1, over}})), -1,
       "HY010", "Incorrect data array", -9, none},
      {"host length past the answer", Enter,
       Answer(1,
              [] {
                fake::Bytes b = EnterParallel(1, 1, {{1, "abc"}});
                b.resize(b.size() - 1);
                return b;
              }()),
       -1, "HY010", "Incorrect data array", -9, none},
      {"answer without data", Enter, Answer(0, {}), -1, "HY010", "Incorrect data array", -9, none},
      {"server exception", Enter, Answer(1, Exception("No parallel mode.", "42000")), -1, "42000",
       "No parallel mode.", -9, none},
      {"255 hosts", Hosts, Answer(1, Hostnames(255, Names(255, 3))), 0, "", "", 255, hosts255},
      {"255 hosts of 64 bytes", Hosts, Answer(1, Hostnames(255, Names(255, 64))), -1, "HY010",
       "Incorrect data array", -9, none},
      {"exception record not ending the answer", Hosts,
       Answer(1,
              [] {
                fake::Bytes b = Exception("x", "42000");
                b.push_back(0);
                return b;
              }()),
       -1, "HY010", "Incorrect data array", -9, none},
      {"zero hosts", Hosts, Answer(1, Hostnames(0, {})), -1, "22003", "Host number is invalid.", 0,
       none},
      {"more hosts than the answer holds", Hosts, Answer(1, Hostnames(3, {"a", "b"})), -1, "HY010",
       "Incorrect data array", -9, none},
      {"host server exception", Hosts, Answer(1, Exception("Cluster down.", "08S01")), -1, "08S01",
       "Cluster down.", -9, none},
      {"offset", Offset, Answer(1, Int64(40)), 0, "", "", 40, none},
      {"offset of four bytes", Offset, Answer(1, {1, 0, 0, 0}), -1, "HY010",
       "Invalid message returned from server: offset.", -9, none},
      {"offset with bytes behind", Offset,
       Answer(1,
              [] {
                fake::Bytes b = Int64(40);
                b.push_back(0);
                return b;
              }()),
       -1, "HY010", "Invalid message returned from server: offset.", -9, none},
      {"offset exception", Offset, Answer(1, Exception("No slave.", "HY010")), -1, "HY010",
       "No slave.", -9, none},
  };

  fake::FakeNode node;
  fake::LoginPlayer login(node);
  node.ServeTable("SELECT * FROM T", Whole(), fake::Blocks::OfRows(4));
  Sessions s;
  SQLHANDLE stmt = s.Main(node);
  // The first case's nodes, as their texts.
  node.Push(cases[0].reply);
  {
    SQLINTEGER n = 0;
    ConnectionStru* nodes = nullptr;
    SQLBIGINT token = 0;
    ASSERT_EQ(QVOEnterParallel(stmt, 2, &n, &nodes, &token), SQL_SUCCESS);
    EXPECT_EQ(token, 77);
    EXPECT_STREQ(nodes[0].qvoPort, "8563");
    EXPECT_EQ(nodes[0].qvoPortLen, 4);
    EXPECT_STREQ(nodes[0].qvoServer, "ab");
    EXPECT_STREQ(nodes[1].qvoPort, "-1");
    EXPECT_EQ(nodes[1].qvoServerLen, 5);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SQLINTEGER count = -9;
    ConnectionStru* nodes = nullptr;
    SQLBIGINT token = 0;
    SQLBIGINT offset = -9;
    SQLRETURN rc;
    std::vector<Record> records;
    if (c.call == Offset) {
      ASSERT_EQ(
          QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT * FROM T")),
                        SQL_NTS),
          SQL_SUCCESS);
      node.Push(c.reply);
      rc = QVOGetSlaveOffset(stmt, &offset);
      count = static_cast<SQLINTEGER>(offset);
      records = api::Records(SQL_HANDLE_STMT, stmt);
      // The rows of the open result set are still all there.
      SQLBIGINT value = -1;
      SQLLEN ind = 0;
      ASSERT_EQ(QVOBindCol(stmt, 1, SQL_C_SBIGINT, &value, 0, &ind), SQL_SUCCESS);
      for (SQLBIGINT r = 0; r < 11; ++r) {
        ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
        EXPECT_EQ(value, r);
      }
      EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
    } else {
      node.Push(c.reply);
      rc = c.call == Enter ? QVOEnterParallel(stmt, 2, &count, &nodes, &token)
                           : QVOGetHostnames(stmt, &count, &nodes);
      records = api::Records(SQL_HANDLE_STMT, stmt);
    }
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(count, c.count);
    if (c.state.empty()) {
      EXPECT_TRUE(records.empty());
      if (c.call != Offset) {
        ASSERT_NE(nodes, nullptr);
        ASSERT_EQ(static_cast<size_t>(count), c.servers.size());
        for (SQLINTEGER i = 0; i < count; ++i) {
          EXPECT_EQ(nodes[i].qvoServer, c.servers[static_cast<size_t>(i)]) << i;
          EXPECT_EQ(nodes[i].qvoServerLen,
                    static_cast<SQLINTEGER>(std::strlen(nodes[i].qvoServer)));
          EXPECT_EQ(nodes[i].qvoPortLen, static_cast<SQLINTEGER>(std::strlen(nodes[i].qvoPort)));
        }
      }
    } else {
      ASSERT_FALSE(records.empty());
      EXPECT_EQ(records.back().state, c.state);
      EXPECT_NE(records.back().text.find(c.text), std::string::npos) << records.back().text;
    }
  }
  EXPECT_TRUE(node.Errors().empty());
}

TEST(ParallelApi, OffsetWithoutOpenResultAsksNothing) {
  fake::FakeNode node;
  fake::LoginPlayer login(node);
  Sessions s;
  SQLHANDLE stmt = s.Main(node);
  const size_t before = node.Requests().size();
  SQLBIGINT offset = 0;
  EXPECT_EQ(QVOGetSlaveOffset(stmt, &offset), SQL_ERROR);
  EXPECT_NE(api::Records(SQL_HANDLE_STMT, stmt)
                .back()
                .text.find("Function sequence error: statement handle is invalid."),
            std::string::npos);
  EXPECT_EQ(node.Requests().size(), before);
}

TEST(ParallelApi, UnknownHandles) {
  fake::FakeNode node;
  fake::LoginPlayer login(node);
  Sessions s;
  SQLHANDLE live = s.Main(node);
  SQLHANDLE freed = Sessions::Stmt(s.mainDbc);
  ASSERT_EQ(QVOFreeHandle(SQL_HANDLE_STMT, freed), SQL_SUCCESS);
  SQLINTEGER n = 0;
  ConnectionStru* nodes = nullptr;
  SQLBIGINT big = 0;
  // The live statement's diagnostics are left alone.
  EXPECT_EQ(QVOGetSlaveOffset(live, &big), SQL_ERROR);
  const size_t liveRecords = api::Records(SQL_HANDLE_STMT, live).size();
  for (SQLHANDLE h : {SQLHANDLE{SQL_NULL_HANDLE}, s.env, freed}) {
    EXPECT_EQ(QVOEnterParallel(h, 2, &n, &nodes, &big), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOGetHostnames(h, &n, &nodes), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOGetSlaveOffset(h, &big), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOExecuteDescRes(h, 1), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOExecuteCloseRes(h), SQL_INVALID_HANDLE);
  }
  EXPECT_TRUE(api::Records(SQL_HANDLE_ENV, s.env).empty());
  EXPECT_EQ(api::Records(SQL_HANDLE_STMT, live).size(), liveRecords);
}

}  // namespace
