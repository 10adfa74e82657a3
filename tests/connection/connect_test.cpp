#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/qvoServices.h"
#include "connection/login_fixture.h"
#include "descriptors/qvoDescriptors.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"

namespace {

using fake::Request;

// An environment and a connection in the handle table; freeing the
// environment frees the connection and all it owns.
struct Handles {
  Handles() {
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), 0);
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), 0);
    conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
  }
  ~Handles() { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  SQLRETURN Connect(const std::string& hosts, const char* user = "user",
                    const char* password = "secret") {
    return conn->qvoConnect(hosts.c_str(), SQL_NTS, "", SQL_NTS, user, SQL_NTS, password, SQL_NTS);
  }

  SQLHANDLE env = SQL_NULL_HANDLE;
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  qvoConnection* conn = nullptr;
};

// A file that holds the text, removed with the object.
struct TempFile {
  explicit TempFile(const std::string& text) {
    char name[] = "/tmp/qvo_hosts_XXXXXX";
    const int fd = mkstemp(name);
    path = name;
    if (fd >= 0) {
      if (!text.empty() && write(fd, text.data(), text.size()) < 0) path.clear();
      close(fd);
    }
  }
  ~TempFile() { std::remove(path.c_str()); }
  std::string path;
};

std::string Node(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

// A connect succeeds exactly when the internal statement was made; without
// it no socket is left behind.
void ExpectConnectOutcome(SQLRETURN rc, qvoConnection& c) {
  if (rc == SQL_SUCCESS) {
    EXPECT_EQ(c.isConnected(), 1);
    EXPECT_EQ(IsQVOHandle(c.GetStmt4Attr()), SQL_HANDLE_STMT);
  } else {
    EXPECT_EQ(rc, SQL_ERROR);
    EXPECT_EQ(c.Socket, nullptr);
    EXPECT_EQ(c.GetStmt4Attr(), nullptr);
    EXPECT_EQ(c.isConnected(), 0);
  }
}

TEST(Connect, ArgumentsRefusedBeforeAnyNodeIsContacted) {
  TempFile empty("");
  struct Case {
    const char* name;
    const char* hosts;
    const char* user;
    const char* password;
    std::string state;
    SQLINTEGER native;
  };
  const std::string emptyFile = "//" + empty.path;
  const Case cases[] = {
      {"empty user", "127.0.0.1", "", "secret", "SO083", -5},
      {"no user", "127.0.0.1", nullptr, "secret", "SO083", -5},
      {"empty password", "127.0.0.1", "user", "", "SO084", -5},
      {"no host", "", "user", "secret", "SO085", -5},
      {"missing host file", "//no/such/host/file", "user", "secret", "0S101", -1},
      {"empty host file", emptyFile.c_str(), "user", "secret", "0S101", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Handles h;
    EXPECT_EQ(h.conn->qvoConnect(c.hosts, SQL_NTS, nullptr, SQL_NTS, c.user, SQL_NTS, c.password,
                                 SQL_NTS),
              -1);
    const auto diags = DiagsOf(*h.conn);
    ASSERT_EQ(diags.size(), 1u);
    EXPECT_EQ(diags[0].state, c.state);
    EXPECT_EQ(diags[0].native, c.native);
    EXPECT_EQ(h.conn->Socket, nullptr);
  }
}

TEST(Connect, AConnectionInUseChangesNothing) {
  fake::FakeNode node;
  Handles h;
  h.conn->Socket = std::make_unique<qvoSocket>(h.conn, fake::ConnectTcp(node.Port()));
  EXPECT_EQ(h.Connect(Node(node.Port()), "other"), -1);
  EXPECT_EQ(TextsOf(*h.conn), std::vector<std::string>{"Connection already in use."});
  EXPECT_EQ(DiagsOf(*h.conn)[0].state, "08002");
  EXPECT_EQ(h.conn->connAttr.userName, nullptr);
}

TEST(Connect, OneNodeNamedInAHostListFile) {
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  TempFile hosts(" " + Node(node.Port()) + "\n");
  Handles h;
  const SQLRETURN rc = h.Connect("//" + hosts.path);
  ExpectConnectOutcome(rc, *h.conn);
  ASSERT_TRUE(node.WaitForRequests(3));
  const auto requests = node.Requests();
  EXPECT_EQ(requests[0].command, fake::kLogin);
  EXPECT_EQ(requests[2].command, fake::kGetAttributes);
  EXPECT_EQ(player.Seen().at(0).password, "secret");
  EXPECT_EQ(h.conn->connAttr.connType, 1);
  EXPECT_TRUE(h.conn->IsMainNode());
  EXPECT_EQ(std::string(h.conn->GetDiagHeaderPtr()->diagConnectionName),
            "Server=127.0.0.1;Port=" + std::to_string(node.Port()) + ";User=user");
  if (rc != SQL_SUCCESS) {
    EXPECT_TRUE(node.WaitForClosed(1)) << "the session is not left open";
  }
}

TEST(Connect, LogLinesOfAConnect) {
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  MemoryLog log;  // outlives the connection, which logs to the end
  Handles h;
  log.AttachTo(*h.conn);
  ExpectConnectOutcome(h.Connect(Node(node.Port())), *h.conn);
  const std::string text = log.Text();
  for (const std::string& line :
       {std::string("qvoConnection::qvoConnect\n"),
        std::string("HandleID:    1 Type: 1 Master:    0\n"),
        "ServerHosts=" + Node(node.Port()) + "\n",
        " Node[0]=127.0.0.1:" + std::to_string(node.Port()) + "\n",
        std::string("Compiler: sizeof(SQLWCHAR)=2, sizeof(wchar_t)=4\n"),
        std::string(" diagHeader.diagConnectionName: Server=127.0.0.1;Port=")})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.find("secret"), std::string::npos);
}

// Two nodes refuse (one the TCP connection, one the login), the third
// accepts; the records of the refusals stay on the connection.
TEST(Connect, ThreeNodesTriedInRandomOrderUntilOneAccepts) {
  fake::FakeNode refusing;
  fake::LoginScript refusal;
  refusal.refusePassword = fake::Refusal{"28000", "User locked."};
  fake::LoginPlayer refusingPlayer(refusing, refusal);
  fake::FakeNode accepting;
  fake::LoginPlayer acceptingPlayer(accepting);
  const std::string hosts = "127.0.0.1:" + std::to_string(ClosedPort()) + ", " +
                            Node(refusing.Port()) +
                            ",127.0.0.1:" + std::to_string(accepting.Port());

  bool acceptedLast = false;
  for (unsigned seed = 1; seed <= 40 && !acceptedLast; ++seed) {
    qvoSrand(seed);
    const size_t acceptedBefore = acceptingPlayer.Seen().size();
    const size_t refusedBefore = refusingPlayer.Seen().size();
    Handles h;
    const SQLRETURN rc = h.Connect(hosts);
    ExpectConnectOutcome(rc, *h.conn);
    EXPECT_EQ(acceptingPlayer.Seen().size(), acceptedBefore + 1) << "the accepting node, once";
    EXPECT_LE(refusingPlayer.Seen().size(), refusedBefore + 1);
    const auto texts = TextsOf(*h.conn);
    const bool tcpRefused =
        std::find(texts.begin(), texts.end(), "No server listening.") != texts.end();
    const bool loginRefused = std::find(texts.begin(), texts.end(), "User locked.") != texts.end();
    EXPECT_EQ(loginRefused, refusingPlayer.Seen().size() == refusedBefore + 1);
    acceptedLast = tcpRefused && loginRefused;
    if (acceptedLast) {
      // The refusals come first, whatever follows them.
      const auto diags = DiagsOf(*h.conn);
      EXPECT_EQ(diags.front().native, -1);
      EXPECT_EQ(std::string(h.conn->GetDiagHeaderPtr()->diagConnectionName),
                "Server=127.0.0.1;Port=" + std::to_string(accepting.Port()) + ";User=user");
    }
  }
  EXPECT_TRUE(acceptedLast) << "some seed tries the accepting node last";
}

TEST(Connect, EveryNodeFailingLeavesAllRecords) {
  Handles h;
  const std::string hosts = Node(ClosedPort()) + "," + Node(ClosedPort());
  EXPECT_EQ(h.Connect(hosts), -1);
  int refused = 0;
  for (const std::string& t : TextsOf(*h.conn)) refused += t == "No server listening.";
  EXPECT_EQ(refused, 2);
  EXPECT_EQ(h.conn->Socket, nullptr);
}

TEST(Connect, ConnectionDefaultsAndAccessors) {
  Handles h;
  qvoConnection& c = *h.conn;
  EXPECT_EQ(c.GetAllocatingError(), 0);
  EXPECT_EQ(c.GetHandleType(), SQL_HANDLE_DBC);
  EXPECT_EQ(c.GetProtocolVersion(), 13);
  EXPECT_EQ(c.GetMaxIdentifierLength(), 128);
  EXPECT_EQ(c.GetAppWcharType(), 1u);
  EXPECT_EQ(c.isConnected(), 0);
  EXPECT_EQ(c.GetCurrentSchema(), "");
  struct Version {
    const char* text;
    int value;
  };
  for (const Version& v :
       {Version{"5.0.17", 50017}, Version{"6.2", 60200}, Version{"7.1.3.9", 70103},
        Version{"12rc.4x.1", 120401}, Version{"99999999999.1.1", 999990101}}) {
    c.SetServerVersion(v.text, static_cast<int>(std::strlen(v.text)));
    EXPECT_EQ(c.GetServerVersionInt(), v.value) << v.text;
  }
}

TEST(Connect, AFullHandleTableRefusesConnectionsAndDescriptors) {
  fake::FakeNode node;
  Handles h;  // handles 1 and 2
  h.conn->Socket = std::make_unique<qvoSocket>(h.conn, fake::ConnectTcp(node.Port()));
  SQLHANDLE desc = SQL_NULL_HANDLE;
  SetMaxHandles(3);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, h.dbc, &desc), 0);
  struct Case {
    SQLSMALLINT type;
    SQLHANDLE parent;
    qvoHandle* recordsOn;
  };
  for (const Case& c :
       {Case{SQL_HANDLE_DESC, h.dbc, h.conn}, Case{SQL_HANDLE_DBC, h.env, GetHandlePtr(h.env)}}) {
    SQLHANDLE out = reinterpret_cast<SQLHANDLE>(9);
    EXPECT_EQ(QVOAllocHandle(c.type, c.parent, &out), -1);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DiagsOf(*c.recordsOn).back().state, "HY014");
  }
  SetMaxHandles(0);
}

// Descriptors an application allocates under a connected connection.
TEST(Connect, DescriptorsUnderTheConnection) {
  fake::FakeNode node;
  Handles h;
  SQLHANDLE desc = reinterpret_cast<SQLHANDLE>(7);
  EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, h.dbc, &desc), -1);
  EXPECT_EQ(desc, nullptr);
  EXPECT_EQ(TextsOf(*h.conn), std::vector<std::string>{"Database server not connected."});

  h.conn->Socket = std::make_unique<qvoSocket>(h.conn, fake::ConnectTcp(node.Port()));
  h.conn->maxVarcharLength = 777;
  h.conn->SetMaxIdentifierLength(200);
  SQLHANDLE other = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, h.dbc, &desc), 0);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, h.dbc, &other), 0);
  EXPECT_EQ(IsQVOHandle(desc), SQL_HANDLE_DESC);
  EXPECT_EQ(GetMasterOfCliHandle(desc), h.dbc);
  auto* d = static_cast<cliDescriptor*>(GetHandlePtr(desc));
  EXPECT_EQ(d->descType, QVO_DESC_USER);
  EXPECT_EQ(d->header.allocType, SQL_DESC_ALLOC_USER);
  EXPECT_EQ(d->maxVarcharLength, 777);
  EXPECT_EQ(d->maxIdentifierLength, 200);
  EXPECT_EQ(d->GetMaster(), h.conn);
  EXPECT_NE(d->GetTranslatorPtr(), h.conn->GetTranslatorPtr()) << "a Translator of its own";
  EXPECT_EQ(d->GetTranslatorLangCode(), h.conn->GetTranslatorLangCode());

  // Through the exported functions, with the connection's converters.
  ASSERT_EQ(
      QVOSetDescField(desc, 1, SQL_DESC_CONCISE_TYPE, reinterpret_cast<SQLPOINTER>(SQL_C_LONG), 0),
      0);
  char name[] = "amount";
  ASSERT_EQ(QVOSetDescField(desc, 1, SQL_DESC_NAME, name, SQL_NTS), 0);
  char narrow[32] = {};
  SQLINTEGER length = 0;
  EXPECT_EQ(QVOGetDescField(desc, 1, SQL_DESC_NAME, narrow, sizeof narrow, &length), 0);
  EXPECT_STREQ(narrow, "amount");
  SQLWCHAR wide[32] = {};
  EXPECT_EQ(QVOGetDescFieldW(desc, 1, SQL_DESC_NAME, wide, sizeof wide, &length), 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wide)), u"amount");
  SQLSMALLINT type = 0;
  SQLCHAR recordName[32] = {};
  SQLSMALLINT nameLength = 0;
  EXPECT_EQ(QVOGetDescRec(desc, 1, recordName, sizeof recordName, &nameLength, &type, nullptr,
                          nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_STREQ(reinterpret_cast<char*>(recordName), "amount");
  EXPECT_EQ(type, SQL_C_LONG);
  // A user descriptor takes its kind from its first copy; it has none to give.
  EXPECT_EQ(QVOCopyDesc(desc, other), -1);
  EXPECT_EQ(TextsOf(*static_cast<cliDescriptor*>(GetHandlePtr(other))).back(),
            "Cannot copy from a descriptor with undefined type.");

  // Nothing of the connection outlives it.
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_DESC, other), 0);
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_DBC, h.dbc), 0);
  EXPECT_EQ(IsQVOHandle(desc), 0);
  EXPECT_EQ(IsQVOHandle(h.dbc), 0);
  EXPECT_TRUE(node.WaitForClosed(1));
}

}  // namespace
