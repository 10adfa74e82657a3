#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "connection/wire_fixture.h"

namespace {

// "host:port,host:port" of the node table.
std::string NodesOf(const qvoConnection& conn) {
  std::string out;
  for (int n = 0; n < conn.clusterSize; ++n) {
    const __ConnectionStru& node = conn.cluster[n];
    EXPECT_EQ(node.qvoServerLen, static_cast<int>(std::strlen(node.qvoServer)));
    EXPECT_EQ(node.qvoPortLen, static_cast<int>(std::strlen(node.qvoPort)));
    if (!out.empty()) out += ',';
    out += std::string(node.qvoServer) + ':' + node.qvoPort;
  }
  return out;
}

struct Case {
  const char* hosts;
  const char* port;
  const char* nodes;            // expected table, or null when the parse fails
  const char* state = nullptr;  // expected diagnostic of a failure
  const char* text = nullptr;
};

const char* const syntaxFound = "Syntax error found in connection string.";
const char* const cartesian = "Syntax error in connection string.";
const char* const sequence = "Illegal character sequence in connection string.";
const char* const tooLong = "Too long identifier or number.";

const Case cases[] = {
    {"a,b:1", nullptr, "a:1,b:1"},
    {"a:1,2", nullptr, "a:1,a:2"},
    {"a,b:1,2", nullptr, nullptr, "08055", cartesian},
    {"a:1,b,c:2", nullptr, "a:1,b:2,c:2"},
    {"a:1,b", "", "a:1,b:8563"},
    {"8563,a", nullptr, nullptr, "08085", syntaxFound},
    {"host1..3", nullptr, "host1:8563,host2:8563,host3:8563"},
    {"host01..03:9000", nullptr, "host1:9000,host2:9000,host3:9000"},
    {"a:8563..8564", nullptr, "a:8563,a:8564"},
    {"host1..3:8563..8564", nullptr, nullptr, "08055", cartesian},
    {"1234..1239", nullptr, nullptr, "08085", syntaxFound},
    {"host3..1", nullptr, nullptr, "08056", "In a range the first number must be the smallest."},
    {"hostA..B", nullptr, nullptr, "08056",
     "A range can be only between numbers, like 'host1..3' or '1234..1239'."},
    {"host1 host2", nullptr, nullptr, "08055", sequence},
    {" host1 , host2\t", "7000", "host1:7000,host2:7000"},
    {"host_1", nullptr, nullptr, "08055",
     "Illegal character (95) in connection string at position 4."},
    {"a,,b", nullptr, nullptr, "08055", sequence},
    {"a:,b", nullptr, nullptr, "08055", sequence},
    {"a...b", nullptr, nullptr, "08055", sequence},
    {"a,", nullptr, "a:8563"},
    {"10.0.0.5,db-7:8563", nullptr, "10.0.0.5:8563,db-7:8563"},
    {"  \r\n", nullptr, nullptr, "SO085", "No connection host specified."},
    // Mended: a range from 0 is expanded; ports must be 1..65535; elements
    // longer than a host field and numbers that overflow are refused.
    {"host0..2", nullptr, "host0:8563,host1:8563,host2:8563"},
    {"a:70000", nullptr, nullptr, "08085", syntaxFound},
    {"a:1x", nullptr, nullptr, "08085", syntaxFound},
    {"a", "port", nullptr, "08085", syntaxFound},
    {"h1..99999999999999999999999", nullptr, nullptr, "08055", tooLong},
    {"h1..1", nullptr, "h1:8563"},
    {"h1..9999", nullptr, nullptr, "08057", "Too many host/port pairs."},
};

TEST(HostList, ParsesIntoNodes) {
  for (const Case& c : cases) {
    qvoConnection conn(nullptr);
    SQLRETURN rc = conn.ParseClusterNodes(c.hosts, -3, c.port);
    if (c.nodes) {
      EXPECT_EQ(rc, 0) << c.hosts;
      EXPECT_EQ(NodesOf(conn), c.nodes) << c.hosts;
      EXPECT_EQ(conn.GetNumRecords(), 0) << c.hosts;
    } else {
      EXPECT_EQ(rc, -1) << c.hosts;
      EXPECT_EQ(conn.clusterSize, 0) << c.hosts;
      auto diags = DiagsOf(conn);
      ASSERT_EQ(diags.size(), 1u) << c.hosts;
      EXPECT_EQ(diags[0].state, c.state) << c.hosts;
      EXPECT_EQ(diags[0].text, c.text) << c.hosts;
      EXPECT_EQ(diags[0].native, std::string(c.state) == "SO085" ? -5 : -1) << c.hosts;
    }
  }
}

TEST(HostList, LongTokensAreRefusedNotCut) {
  const std::string host64(64, 'h');
  const std::string host63(63, 'h');
  const std::string token260 = std::string(260, 'h') + "1..2";
  struct Long {
    std::string hosts;
    bool ok;
  } longCases[] = {{host63 + ":1", true}, {host64 + ":1", false}, {token260, false}};
  for (const Long& c : longCases) {
    qvoConnection conn(nullptr);
    EXPECT_EQ(conn.ParseClusterNodes(c.hosts.c_str(), static_cast<int>(c.hosts.size()), nullptr),
              c.ok ? 0 : -1);
    if (!c.ok) {
      EXPECT_EQ(TextsOf(conn), std::vector<std::string>{tooLong});
    }
  }
}

TEST(HostList, EveryNodeIsChosenOnceThenNone) {
  qvoConnection conn(nullptr);
  EXPECT_EQ(conn.GetRandServer(), -1);  // no node table yet
  ASSERT_EQ(conn.ParseClusterNodes("127.0.0.1..3:7001", -3, nullptr), 0);
  std::set<std::string> chosen;
  for (int n = 0; n < 3; ++n) {
    ASSERT_EQ(conn.GetRandServer(), 1);
    EXPECT_STREQ(conn.server.qvoPort, "7001");
    EXPECT_EQ(conn.server.qvoServerLen, static_cast<int>(std::strlen(conn.server.qvoServer)));
    chosen.insert(conn.server.qvoServer);
  }
  EXPECT_EQ(chosen, (std::set<std::string>{"127.0.0.1", "127.0.0.2", "127.0.0.3"}));
  EXPECT_EQ(conn.GetRandServer(), 0);
  EXPECT_STREQ(conn.server.qvoServer, "");
  // A new table starts with every node untried.
  ASSERT_EQ(conn.ParseClusterNodes("127.0.0.1", -3, nullptr), 0);
  EXPECT_EQ(conn.GetRandServer(), 1);
}

}  // namespace
