// Loading the server's DB_METADATA values: when a load happens, what it
// stores, and what a failed load leaves.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "info/info_fixture.h"
#include "support/blocked_thread.h"

namespace {

class InfoLoadTest : public InfoConnectionTest {
 protected:
  std::string Text(SQLUSMALLINT type) {
    char text[256] = "unwritten";
    const SQLRETURN rc = conn->GetInfo(type, text, sizeof text, nullptr);
    return rc == SQL_SUCCESS ? std::string(text) : "rc " + std::to_string(rc);
  }
  SQLUINTEGER Number(SQLUSMALLINT type) {
    SQLUINTEGER n = 0xDEADBEEF;
    EXPECT_EQ(conn->GetInfo(type, &n, 0, nullptr), SQL_SUCCESS);
    return n;
  }
};

TEST_F(InfoLoadTest, OnlyTypesThatNeedTheServerLoadAndOnlyOnce) {
  StandInView::rows = {{"databaseProductName", "Vandrel"}};
  for (SQLUSMALLINT type : {7, 10, 13, 29, 47, 94, 170, 10000}) {
    char text[64];
    conn->GetInfo(type, text, sizeof text, nullptr);
  }
  EXPECT_EQ(StandInView::reads, 0);
  EXPECT_EQ(Text(13), "") << "the server name does not load";
  EXPECT_EQ(Text(17), "Vandrel");
  EXPECT_EQ(Text(13), "Vandrel");
  EXPECT_EQ(Number(49), 0u);
  EXPECT_EQ(StandInView::reads, 1);
}

TEST_F(InfoLoadTest, QuotedIdentifierCaseLoadsFirst) {
  StandInView::rows = {{"quotedIdentifierCase", "sensitive"}};
  SQLUSMALLINT v = 0;
  ASSERT_EQ(conn->GetInfo(93, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(v, 3);
}

TEST_F(InfoLoadTest, WhatTheRowsBecome) {
  conn->connAttr.catalogTerm.reset(new char[4]{'o', 'l', 'd', 0});
  StandInView::rows = {
      {"SQLKeywords", "", true},                              // NULL text: empty
      {"catalogSeparator", "."},                              // catalogTerm missing: kept
      {"databaseMajorVersion", "12abc"},                      // the leading number
      {"databaseMinorVersion", " +7"},                        // blanks and a sign
      {"databaseIncrementVersion", "", false, false, false},  // unreadable: 0
      {"databaseProductName", "Vandrel"},
      {"databaseProductName", "Other"},           // a repeated name: the first counts
      {"maxColumnNameLength", "x", false, true},  // a cut name is no name
      {"maxColumnNameLength", "77"},
      {"maxConnections", "", true},  // NULL number: 0
      {"maxStatements", "-1"},
      {"maxTableNameLength", "99999999999999999999"},  // held in 32 bits
      {"zzzUnknown", "1"},
  };
  conn->connAttr.maxConnections = 5;
  ASSERT_EQ(conn->GetInfoValues(), SQL_SUCCESS);
  ASSERT_TRUE(conn->haveInfos);
  const connectionAttr& a = conn->connAttr;
  ASSERT_TRUE(a.SQLKeywords);
  EXPECT_STREQ(a.SQLKeywords.get(), "");
  EXPECT_STREQ(a.catalogTerm.get(), "old");
  EXPECT_STREQ(a.catalogSeparator.get(), ".");
  EXPECT_EQ(a.databaseMajorVersion, 12u);
  EXPECT_EQ(a.databaseMinorVersion, 7u);
  EXPECT_EQ(a.databaseIncrementVersion, 0u);
  EXPECT_STREQ(a.databaseProductName.get(), "Vandrel");
  EXPECT_EQ(a.maxColumnNameLength, 77u);
  EXPECT_EQ(a.maxConnections, 0u);
  EXPECT_EQ(a.maxStatements, 0xFFFFFFFFu);
  EXPECT_EQ(a.maxTableNameLength, 2147483647u);
}

TEST_F(InfoLoadTest, DataMessageSize) {
  struct Case {
    const char* what;
    std::vector<ViewRow> rows;
    qvo_int64 expected;
  };
  const Case cases[] = {
      {"missing: kept", {}, 0x4000000},
      {"zero: kept", {{"maxDataMessageSize", "0"}}, 0x4000000},
      {"negative: kept", {{"maxDataMessageSize", "-5"}}, 0x4000000},
      {"NULL: kept", {{"maxDataMessageSize", "", true}}, 0x4000000},
      {"a size", {{"maxDataMessageSize", "5000"}}, 5000},
      {"beyond 31 bits: held", {{"maxDataMessageSize", "9999999999"}}, 2147483647},
  };
  for (const Case& c : cases) {
    SQLHDBC h = SQL_NULL_HANDLE;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &h), SQL_SUCCESS);
    auto* fresh = static_cast<qvoConnection*>(GetHandlePtr(h));
    StandInView::rows = c.rows;
    EXPECT_EQ(fresh->GetInfoValues(), SQL_SUCCESS) << c.what;
    EXPECT_EQ(fresh->connAttr.maxDataMessageSize, c.expected) << c.what;
    QVOFreeHandle(SQL_HANDLE_DBC, h);
  }
}

TEST_F(InfoLoadTest, AFailedLoadStoresNothingAndTheNextRequestTriesAgain) {
  StandInView::rows = {{"catalogTerm", "catalog"},
                       {"databaseProductName", "Vandrel"},
                       {"maxDataMessageSize", "5000"}};
  StandInView::result = SQL_ERROR;
  char text[32] = "unwritten";
  SQLSMALLINT length = -7;
  EXPECT_EQ(conn->GetInfo(17, text, sizeof text, &length), SQL_ERROR);
  EXPECT_STREQ(text, "unwritten");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Records(), FailedLoad());
  EXPECT_FALSE(conn->haveInfos);
  EXPECT_FALSE(conn->connAttr.catalogTerm);
  EXPECT_FALSE(conn->connAttr.databaseProductName);
  EXPECT_EQ(conn->connAttr.maxDataMessageSize, 0x4000000);

  StandInView::result = SQL_SUCCESS;
  EXPECT_EQ(Text(17), "Vandrel");
  EXPECT_EQ(StandInView::reads, 2);
}

TEST_F(InfoLoadTest, AnUnreadableValueFailsTheLoad) {
  StandInView::rows = {{"catalogTerm", "catalog"},
                       {"databaseProductName", "", false, false, false}};
  EXPECT_EQ(conn->GetInfoValues(), SQL_ERROR);
  EXPECT_FALSE(conn->haveInfos);
  EXPECT_FALSE(conn->connAttr.catalogTerm);
}

TEST_F(InfoLoadTest, ASlaveConnectionLoadsNothing) {
  StandInView::rows = {{"databaseProductName", "Vandrel"}, {"maxColumnNameLength", "30"}};
  conn->connAttr.connType = 2;
  EXPECT_EQ(Text(17), "");
  SQLUSMALLINT n = 7;
  EXPECT_EQ(conn->GetInfo(30, &n, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(n, 0);
  char text[32] = "unwritten";
  EXPECT_EQ(conn->GetConnectAttr(21033, text, sizeof text, nullptr), SQL_SUCCESS);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(StandInView::reads, 0);
}

TEST_F(InfoLoadTest, SupportedEncodingsAttributeLoads) {
  StandInView::rows = {{"supportedEncodings", "UTF8,ASCII"}};
  char text[32] = {};
  SQLINTEGER length = 0;
  EXPECT_EQ(conn->GetConnectAttr(21033, text, sizeof text, &length), SQL_SUCCESS);
  EXPECT_STREQ(text, "UTF8,ASCII");
  EXPECT_EQ(length, 10);
  EXPECT_EQ(QVOGetConnectAttr(dbc, 21033, text, sizeof text, &length), SQL_SUCCESS);
  EXPECT_STREQ(text, "UTF8,ASCII");
  EXPECT_EQ(StandInView::reads, 1);
}

TEST_F(InfoLoadTest, SupportedEncodingsAttributeReportsAFailedLoad) {
  StandInView::result = SQL_ERROR;
  char text[32] = "unwritten";
  EXPECT_EQ(conn->GetConnectAttr(21033, text, sizeof text, nullptr), SQL_ERROR);
  EXPECT_STREQ(text, "unwritten");
  EXPECT_EQ(Records(), FailedLoad());
}

TEST_F(InfoLoadTest, CompatibilitySwitchAnswersFixedTexts) {
  StandInView::rows = {{"databaseProductName", "Vandrel"}};
  ASSERT_EQ(QVOSetConnectAttr(dbc, 21046, const_cast<char*>("Y"), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(Text(7), "12.02.0040");
  EXPECT_EQ(StandInView::reads, 0);
  EXPECT_EQ(Text(17), "Oracle");
  EXPECT_EQ(Text(18), "12.02.0040");
  EXPECT_EQ(StandInView::reads, 1);
}

TEST_F(InfoLoadTest, TwoThreadsOnAFreshConnectionShareOneLoad) {
  StandInView::rows = {{"databaseProductName", "Vandrel"}, {"numericFunctions", "ABS,SIN"}};
  // The first load lasts until the second caller is seen waiting inside its
  // call (or, were nothing to make it wait, has ended or started a load of
  // its own): a caller that came late would find the values loaded.
  static std::atomic<pid_t> callers[2];
  static std::atomic<int> ended;
  for (auto& t : callers) t = 0;
  ended = 0;
  StandInView::whileReading = [] {
    if (StandInView::reads != 1) return;
    const pid_t self = blocked_thread::Self();
    const std::atomic<pid_t>& other = callers[callers[0] == self ? 1 : 0];
    blocked_thread::WaitBlocked(other, [] { return ended > 0 || StandInView::reads > 1; });
  };
  std::string name[2];
  SQLUINTEGER mask[2] = {};
  auto ask = [&](int i) {
    callers[i] = blocked_thread::Self();
    char text[32] = {};
    if (QVOGetInfo(dbc, 17, text, sizeof text, nullptr) == SQL_SUCCESS) name[i] = text;
    QVOGetInfo(dbc, 49, &mask[i], 0, nullptr);
    ++ended;
  };
  std::thread a(ask, 0), b(ask, 1);
  a.join();
  b.join();
  EXPECT_EQ(StandInView::reads, 1);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(name[i], "Vandrel");
    EXPECT_EQ(mask[i], 0x2001u);
  }
}

}  // namespace
