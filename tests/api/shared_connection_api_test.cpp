// Several threads on one connection through the exported functions of
// libqvocli.so, against the fake node: statements executing and fetching
// while another thread changes the connection's settings.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_table.h"

namespace {

using namespace fake::results;

constexpr int kThreads = 8;
constexpr int kRounds = 15;
constexpr int64_t kRows = 40;

SQLPOINTER IntArg(SQLUINTEGER v) { return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(v)); }

TEST(SharedConnectionApi, StatementsExecuteWhileAnotherThreadSetsConnectionAttributes) {
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  fake::Blocks blocks;
  blocks.inlineRows = 7;  // the rest in fetch requests, interleaved between the threads
  node.ServeTable(fake::SqlMatch::Any(),
                  fake::Table::Sample({Column::Decimal("N", 18, 0), Column::Double("D")}, kRows),
                  blocks);

  SQLHANDLE env = SQL_NULL_HANDLE, dbc = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  const std::string port = std::to_string(node.Port());
  ASSERT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                             "secret", SQL_NTS),
            SQL_SUCCESS);
  std::vector<SQLHANDLE> stmts(kThreads);
  for (SQLHANDLE& s : stmts) ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &s), SQL_SUCCESS);

  std::atomic<bool> running{true};
  std::atomic<int> setFailures{0};
  std::atomic<int> sets{0};
  // Queues numeric characters for the next request (the pending list) and
  // changes the feedback interval at once.
  std::thread setter([&] {
    for (SQLUINTEGER i = 0; running.load(); ++i) {
      char chars[] = ".,";
      if (QVOSetConnectAttr(dbc, 21028, chars, SQL_NTS) != SQL_SUCCESS) ++setFailures;
      if (QVOSetConnectAttr(dbc, 21061, IntArg(30 + i % 5), 0) != SQL_SUCCESS) ++setFailures;
      ++sets;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  std::vector<int64_t> rowsSeen(kThreads, 0);
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&, t] {
      // The setter is at work before the first execute: a setter that came
      // late would find the statements done and leave nothing to test.
      while (sets.load() == 0) std::this_thread::yield();
      SQLHANDLE s = stmts[static_cast<size_t>(t)];
      for (int round = 0; round < kRounds; ++round) {
        char sql[] = "SELECT N, D FROM T";
        if (QVOExecDirect(s, reinterpret_cast<SQLCHAR*>(sql), SQL_NTS) != SQL_SUCCESS) {
          ++failures[static_cast<size_t>(t)];
          continue;
        }
        SQLRETURN rc;
        while ((rc = QVOFetch(s)) == SQL_SUCCESS) ++rowsSeen[static_cast<size_t>(t)];
        if (rc != SQL_NO_DATA) ++failures[static_cast<size_t>(t)];
        if (QVOCloseCursor(s) != SQL_SUCCESS) ++failures[static_cast<size_t>(t)];
      }
    });
  for (std::thread& w : workers) w.join();
  running = false;
  setter.join();

  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(failures[static_cast<size_t>(t)], 0);
    EXPECT_EQ(rowsSeen[static_cast<size_t>(t)], kRows * kRounds);
  }
  EXPECT_EQ(setFailures.load(), 0);
  EXPECT_GT(sets.load(), 0);
  EXPECT_TRUE(node.Errors().empty());

  // The connection is in one piece afterwards.
  SQLINTEGER interval = 0;
  EXPECT_EQ(QVOGetConnectAttr(dbc, 21061, &interval, sizeof interval, nullptr), SQL_SUCCESS);
  EXPECT_GE(interval, 30);
  EXPECT_LE(interval, 34);
  QVODisconnect(dbc);
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

// Eight threads fetch results of many blocks, each on its own statement:
// once each with a connection of its own, once all on one connection. Every
// row arrives once, whole, in order, and both columns come from it.
TEST(SharedConnectionApi, EightThreadsFetchResultsOfManyBlocks) {
  constexpr int64_t kBlockRows = 25;
  constexpr int kRoundsEach = 3;
  for (const bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "one connection" : "a connection each");
    const int nodes = shared ? 1 : kThreads;
    std::vector<std::unique_ptr<fake::FakeNode>> node(static_cast<size_t>(nodes));
    std::vector<std::unique_ptr<fake::LoginPlayer>> player(static_cast<size_t>(nodes));
    for (int n = 0; n < nodes; ++n) {
      node[static_cast<size_t>(n)] = std::make_unique<fake::FakeNode>();
      player[static_cast<size_t>(n)] =
          std::make_unique<fake::LoginPlayer>(*node[static_cast<size_t>(n)]);
      node[static_cast<size_t>(n)]->ServeTable(
          fake::SqlMatch::Any(),
          fake::Table::Sample({Column::Decimal("N", 18, 0), Column::Char("C", 12, 12, 1)},
                              kRows * 10),
          fake::Blocks::OfRows(kBlockRows));
    }
    SQLHANDLE env = SQL_NULL_HANDLE;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    std::vector<SQLHANDLE> dbcs(static_cast<size_t>(nodes));
    for (int n = 0; n < nodes; ++n) {
      SQLHANDLE& dbc = dbcs[static_cast<size_t>(n)];
      ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
      const std::string port = std::to_string(node[static_cast<size_t>(n)]->Port());
      ASSERT_EQ(QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                                 "secret", SQL_NTS),
                SQL_SUCCESS);
    }

    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
      workers.emplace_back([&, t] {
        int& failed = failures[static_cast<size_t>(t)];
        SQLHANDLE stmt = SQL_NULL_HANDLE;
        if (QVOAllocHandle(SQL_HANDLE_STMT, dbcs[static_cast<size_t>(shared ? 0 : t)], &stmt) !=
            SQL_SUCCESS) {
          ++failed;
          return;
        }
        SQLBIGINT n = -1;
        SQLLEN nInd = 0;
        if (QVOBindCol(stmt, 1, SQL_C_SBIGINT, &n, sizeof n, &nInd) != SQL_SUCCESS) ++failed;
        for (int round = 0; round < kRoundsEach; ++round) {
          char sql[] = "SELECT N, C FROM T";
          if (QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql), SQL_NTS) != SQL_SUCCESS) {
            ++failed;
            continue;
          }
          int64_t expected = 0;
          SQLRETURN rc;
          while ((rc = QVOFetch(stmt)) == SQL_SUCCESS) {
            char text[32] = {};
            SQLLEN textInd = 0;
            if (n != expected ||
                QVOGetData(stmt, 2, SQL_C_CHAR, text, sizeof text, &textInd) != SQL_SUCCESS ||
                std::string(text) != std::string("r").append(std::to_string(expected)))
              ++failed;
            ++expected;
          }
          if (rc != SQL_NO_DATA || expected != kRows * 10) ++failed;
          if (QVOCloseCursor(stmt) != SQL_SUCCESS) ++failed;
        }
        if (QVOFreeHandle(SQL_HANDLE_STMT, stmt) != SQL_SUCCESS) ++failed;
      });
    for (std::thread& w : workers) w.join();

    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[static_cast<size_t>(t)], 0) << t;
    for (const auto& n : node) {
      EXPECT_TRUE(n->Errors().empty());
      EXPECT_TRUE(n->OpenResultSets().empty());
    }
    EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
  }
}

}  // namespace
