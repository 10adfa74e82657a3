// The DB_METADATA load against the fake node: the query, the rows as the
// fetch delivers them, and the failures.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "connection/qvoConnection.h"
#include "handles/qvoHandleTable.h"
#include "info/qvoInfoValues.h"
#include "qvo/qvoCInterface.h"
#include "support/api_records.h"
#include "support/blocked_thread.h"
#include "support/diag_records.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_results.h"
#include "support/fake_table.h"
#include "transport/qvoSocket.h"

namespace {

namespace r = fake::results;

// A view of (name, value) rows; a value of nullptr is NULL.
using Rows = std::vector<std::pair<std::string, const char*>>;

fake::Table View(Rows rows, std::string nameColumn = "NAME", std::string valueColumn = "VALUE") {
  fake::Table t;
  t.columns = {r::Column::Char(std::move(nameColumn), 200, 200, r::kVarying),
               r::Column::Char(std::move(valueColumn), 2000, 2000, r::kVarying)};
  t.rows = static_cast<int64_t>(rows.size());
  t.value = [rows](int64_t row, size_t column) {
    const auto& [name, value] = rows[static_cast<size_t>(row)];
    if (column == 0) return r::Value::Text(name);
    return value ? r::Value::Text(value) : r::Value::Null();
  };
  return t;
}

// The view's query, written out: the node answers only this text.
constexpr const char* kQuery = "select * from \"$ODBCJDBC\".\"DB_METADATA\" order by 1,2";

const Rows kView = {
    {"SQLKeywords", "LIMIT,MINUS"},  {"catalogTerm", "catalog"},
    {"databaseMajorVersion", "5"},   {"databaseProductName", "Vandrel"},
    {"maxColumnNameLength", "128"},  {"maxDataMessageSize", "5000"},
    {"numericFunctions", "ABS,SIN"}, {"supportedEncodings", "UTF8,ASCII"},
};

class MetadataViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ReplaceMetadataReader(nullptr), nullptr) << "no stand-in reader is left";
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
    conn->ImMainNode = true;
    conn->connAttr.connType = 1;
    conn->SetProtocollVer(13);
    conn->Socket = std::make_unique<qvoSocket>(conn, fake::ConnectTcp(node.Port()));
  }
  void TearDown() override { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  size_t Queries() const {
    size_t n = 0;
    for (const std::string& sql : node.Sql()) n += sql == kQuery;
    return n;
  }
  std::string Text(SQLSMALLINT type) {
    char text[256] = "unwritten";
    const SQLRETURN rc = QVOGetInfo(dbc, type, text, sizeof text, nullptr);
    return rc == SQL_SUCCESS ? std::string(text) : "rc " + std::to_string(rc);
  }
  std::string LastDiag() {
    const auto d = DiagsOf(*conn);
    return d.empty() ? "" : d.back().state + " " + d.back().text;
  }

  fake::FakeNode node;
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  qvoConnection* conn = nullptr;
};

TEST_F(MetadataViewTest, OneQueryReadsTheWholeViewOverSeveralBlocks) {
  node.ServeTable(kQuery, View(kView), fake::Blocks::OfRows(3));
  EXPECT_EQ(Text(17), "Vandrel");
  EXPECT_EQ(Text(42), "catalog");
  EXPECT_EQ(Text(89), "LIMIT,MINUS");
  EXPECT_EQ(Text(18), "05.00.0000");
  SQLUSMALLINT columnName = 0;
  EXPECT_EQ(QVOGetInfo(dbc, 30, &columnName, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(columnName, 128);
  SQLUINTEGER mask = 0;
  EXPECT_EQ(QVOGetInfo(dbc, 49, &mask, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(mask, 0x2001u);
  EXPECT_EQ(conn->connAttr.maxDataMessageSize, 5000);
  EXPECT_EQ(Queries(), 1u);
  EXPECT_EQ(node.Sql().size(), 1u);
  EXPECT_TRUE(node.OpenResultSets().empty()) << "the private statement closed its result";
  EXPECT_TRUE(node.Errors().empty());
}

TEST_F(MetadataViewTest, SupportedEncodingsAttributeLoads) {
  node.ServeTable(kQuery, View(kView));
  char text[64] = {};
  SQLINTEGER length = 0;
  EXPECT_EQ(QVOGetConnectAttr(dbc, 21033, text, sizeof text, &length), SQL_SUCCESS);
  EXPECT_STREQ(text, "UTF8,ASCII");
  EXPECT_EQ(Queries(), 1u);
}

TEST_F(MetadataViewTest, AFailedQueryIsReportedAndTheNextRequestTriesAgain) {
  node.OnSql(kQuery, fake::ExceptionReply("42000", "no such view"));
  EXPECT_EQ(Text(17), "rc -1");
  const auto diags = DiagsOf(*conn);
  ASSERT_EQ(diags.size(), 2u);
  EXPECT_EQ(diags.front().state + " " + diags.front().text,
            "HY000 Error reading db metadata form Vandrel.");
  EXPECT_EQ(LastDiag(), "42000 no such view") << "the server's reason is kept";
  EXPECT_FALSE(conn->haveInfos);

  node.ServeTable(kQuery, View(kView));
  EXPECT_EQ(Text(17), "Vandrel");
  EXPECT_EQ(Queries(), 2u);
}

// What the application reads through the diagnostic functions when the
// query fails: the record of the failed load, then the server's reason, after
// either request that loads the values.
TEST_F(MetadataViewTest, AFailedQueryShowsBothRecords) {
  struct Case {
    const char* what;
    SQLRETURN (*request)(SQLHDBC dbc);
  };
  const Case cases[] = {
      {"info",
       [](SQLHDBC d) {
         char text[64];
         return QVOGetInfo(d, 17, text, sizeof text, nullptr);
       }},
      {"supported encodings",
       [](SQLHDBC d) {
         char text[64];
         return QVOGetConnectAttr(d, 21033, text, sizeof text, nullptr);
       }},
  };
  node.OnSql(kQuery, fake::ExceptionReply("42000", "no such view"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.request(dbc), SQL_ERROR);
    const std::vector<api::Record> seen = api::Records(SQL_HANDLE_DBC, dbc);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].state, "HY000");
    EXPECT_NE(seen[0].text.find("Error reading db metadata form Vandrel."), std::string::npos)
        << seen[0].text;
    EXPECT_EQ(seen[1].state, "42000");
    EXPECT_NE(seen[1].text.find("no such view"), std::string::npos) << seen[1].text;
  }
}

// Records that earlier calls left (kept while error reset is off) stay ahead
// of the failed load's records.
TEST_F(MetadataViewTest, AFailedLoadFollowsTheRecordsKeptBeforeIt) {
  conn->errorReset = false;
  conn->SetDiagRec("01000", 0, "earlier");
  node.OnSql(kQuery, fake::ExceptionReply("42000", "no such view"));
  EXPECT_EQ(Text(17), "rc -1");
  EXPECT_EQ(
      StatesAndTexts(*conn),
      (std::vector<std::string>{"01000 earlier", "HY000 Error reading db metadata form Vandrel.",
                                "42000 no such view"}));
}

TEST_F(MetadataViewTest, ViewsThatCannotBeRead) {
  struct Case {
    const char* what;
    fake::Table view;
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {"empty", View({}), {"HY000 Error reading db metadata form Vandrel."}},
      {"lower-case columns",
       View(kView, "name", "value"),
       {"HY000 Error reading db metadata form Vandrel.", "HY000 Error retriving dbms infos"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    conn->ClearDiagRecords();
    node.ServeTable(kQuery, c.view);
    EXPECT_EQ(Text(17), "rc -1");
    EXPECT_EQ(StatesAndTexts(*conn), c.records);
    EXPECT_FALSE(conn->haveInfos);
    EXPECT_FALSE(conn->connAttr.databaseProductName);
  }
}

TEST_F(MetadataViewTest, LongNamesAreNoNamesAndLongValuesKeepWhatWasRead) {
  conn->maxVarcharLength = 16;
  node.ServeTable(kQuery, View({{"catalogTermIsMuchLongerThanSixteen", "wrong"},
                                {"catalogTerm", "a value of more than sixteen bytes"},
                                {"dropView", nullptr},
                                {"maxRowSize", "12abc"}}));
  ASSERT_EQ(conn->GetInfoValues(), SQL_SUCCESS);
  ASSERT_TRUE(conn->connAttr.catalogTerm);
  EXPECT_STREQ(conn->connAttr.catalogTerm.get(), "a value of more");
  ASSERT_TRUE(conn->connAttr.dropView);
  EXPECT_STREQ(conn->connAttr.dropView.get(), "") << "NULL";
  EXPECT_EQ(conn->connAttr.maxRowSize, 12u);
}

TEST_F(MetadataViewTest, ASlaveConnectionAsksNothing) {
  node.ServeTable(kQuery, View(kView));
  conn->connAttr.connType = 2;
  EXPECT_EQ(Text(17), "");
  char text[16] = "unwritten";
  EXPECT_EQ(QVOGetConnectAttr(dbc, 21033, text, sizeof text, nullptr), SQL_SUCCESS);
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(node.Sql().empty());
}

TEST_F(MetadataViewTest, TwoThreadsOnAFreshConnectionCauseOneQuery) {
  // The node holds the view's first rows until both askers are seen waiting
  // (one for the answer, the other for the load): an asker that came late
  // would find the values loaded and test nothing.
  std::atomic<pid_t> askers[2] = {0, 0};
  fake::Table view = View(kView);
  view.value = [&askers, value = view.value, held = std::make_shared<std::atomic<bool>>(false)](
                   int64_t row, size_t column) {
    if (!held->exchange(true))
      for (const auto& asker : askers) blocked_thread::WaitBlocked(asker, [] { return false; });
    return value(row, column);
  };
  node.ServeTable(kQuery, view, fake::Blocks::OfRows(2));
  std::string name[2];
  auto ask = [&](int i) {
    askers[i] = blocked_thread::Self();
    name[i] = Text(17);
  };
  std::thread a(ask, 0), b(ask, 1);
  a.join();
  b.join();
  EXPECT_EQ(name[0], "Vandrel");
  EXPECT_EQ(name[1], "Vandrel");
  EXPECT_EQ(Queries(), 1u);
}

}  // namespace
