// Connection attributes, transactions, parallel slaves and disconnect through
// the exported functions of libqvocli.so, against the fake node.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/api_records.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_results.h"

namespace {

using fake::Request;

using api::Record;

// An environment with `n` connections, freed with the object.
struct Env {
  explicit Env(int n = 1) {
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    dbc.resize(static_cast<size_t>(n));
    for (SQLHANDLE& d : dbc) EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &d), SQL_SUCCESS);
  }
  ~Env() { QVOFreeHandle(SQL_HANDLE_ENV, env); }

  SQLRETURN Connect(size_t i, const fake::FakeNode& node) {
    const std::string port = std::to_string(node.Port());
    return QVOServerConnect(dbc[i], "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                            "secret", SQL_NTS);
  }

  SQLHANDLE env = SQL_NULL_HANDLE;
  std::vector<SQLHANDLE> dbc;
};

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }
std::string Narrow(const SQLWCHAR* w) {
  std::string out;
  for (; *w; ++w) out.push_back(static_cast<char>(*w));
  return out;
}

SQLPOINTER IntArg(SQLUINTEGER v) { return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(v)); }

using Value = std::variant<std::monostate, SQLUINTEGER, std::string>;

std::string Show(const Value& v) {
  if (const auto* n = std::get_if<SQLUINTEGER>(&v)) return std::to_string(*n);
  if (const auto* t = std::get_if<std::string>(&v)) return "\"" + *t + "\"";
  return "none";
}

SQLRETURN SetAttr(SQLHANDLE dbc, SQLINTEGER id, const Value& v, bool wide) {
  if (const auto* n = std::get_if<SQLUINTEGER>(&v))
    return wide ? QVOSetConnectAttrW(dbc, id, IntArg(*n), 0)
                : QVOSetConnectAttr(dbc, id, IntArg(*n), 0);
  if (const auto* t = std::get_if<std::string>(&v)) {
    if (!wide) return QVOSetConnectAttr(dbc, id, const_cast<char*>(t->c_str()), SQL_NTS);
    std::u16string w = Wide(*t);
    // Lengths of attribute values count bytes.
    return QVOSetConnectAttrW(dbc, id, w.data(), static_cast<SQLINTEGER>(2 * w.size()));
  }
  return wide ? QVOSetConnectAttrW(dbc, id, nullptr, SQL_NTS)
              : QVOSetConnectAttr(dbc, id, nullptr, SQL_NTS);
}

std::pair<SQLRETURN, Value> GetAttr(SQLHANDLE dbc, SQLINTEGER id, const Value& like, bool wide) {
  if (std::holds_alternative<std::string>(like)) {
    SQLINTEGER len = -1;
    if (!wide) {
      char text[256] = {};
      const SQLRETURN rc = QVOGetConnectAttr(dbc, id, text, sizeof text, &len);
      EXPECT_EQ(len, static_cast<SQLINTEGER>(std::strlen(text))) << id;
      return {rc, std::string(text)};
    }
    SQLWCHAR text[256] = {};
    const SQLRETURN rc = QVOGetConnectAttrW(dbc, id, text, sizeof text, &len);
    const std::string narrow = Narrow(text);
    EXPECT_EQ(len, static_cast<SQLINTEGER>(2 * narrow.size())) << id;
    return {rc, narrow};
  }
  SQLUINTEGER n = 0xDEADBEEF;
  const SQLRETURN rc = wide ? QVOGetConnectAttrW(dbc, id, &n, 0, nullptr)
                            : QVOGetConnectAttr(dbc, id, &n, 0, nullptr);
  return {rc, n};
}

TEST(ConnectionAttrApi, UnknownHandles) {
  Env e;
  SQLUINTEGER v = 0;
  for (SQLHANDLE h : {SQLHANDLE{SQL_NULL_HANDLE}, e.env, reinterpret_cast<SQLHANDLE>(2047)}) {
    EXPECT_EQ(
        QVOSlaveConnect(h, const_cast<char*>("h"), SQL_NTS, const_cast<char*>("1"), SQL_NTS, 1),
        -2);
    EXPECT_EQ(QVODisconnect(h), -2);
    EXPECT_EQ(QVOSetConnectAttr(h, SQL_ATTR_ACCESS_MODE, IntArg(1), 0), -2);
    EXPECT_EQ(QVOSetConnectAttrW(h, SQL_ATTR_ACCESS_MODE, IntArg(1), 0), -2);
    EXPECT_EQ(QVOGetConnectAttr(h, SQL_ATTR_ACCESS_MODE, &v, 0, nullptr), -2);
    EXPECT_EQ(QVOGetConnectAttrW(h, SQL_ATTR_ACCESS_MODE, &v, 0, nullptr), -2);
  }
  EXPECT_TRUE(api::Records(SQL_HANDLE_ENV, e.env).empty());
}

TEST(ConnectionAttrApi, SetThenReadInBothForms) {
  struct Case {
    const char* name;
    SQLINTEGER id;  // 0: nothing is set
    Value value;
    SQLRETURN rc;
    std::string state;  // last record's SQLSTATE, "" for none
    SQLINTEGER readId;  // 0: nothing is read
    Value read;
    SQLRETURN readRc = SQL_SUCCESS;
  };
  const std::vector<Case> cases = {
      {"default isolation", 0, {}, 0, "", SQL_ATTR_TXN_ISOLATION, SQLUINTEGER{8}},
      {"autocommit off", SQL_ATTR_AUTOCOMMIT, SQLUINTEGER{0}, 0, "", SQL_ATTR_AUTOCOMMIT,
       SQLUINTEGER{0}},
      {"catalog", SQL_ATTR_CURRENT_CATALOG, std::string("sales"), 0, "", SQL_ATTR_CURRENT_CATALOG,
       std::string("sales")},
      {"dsn", 21007, std::string("warehouse"), 0, "", 21007, std::string("warehouse")},
      {"cognos", 21046, std::string("Y"), 0, "", 21046, std::string("Y")},
      {"fast metadata", 21106, std::string("N"), 0, "", 21106, std::string("N")},
      {"time zone", 21096, std::string("UTC"), 0, "", 21096, std::string("UTC")},
      {"word for true", 21088, std::string("wahr"), 0, "", 0, {}},
      {"numeric characters", 21017, std::string(",."), 0, "", 21017, std::string(",.")},
      {"packet size", SQL_ATTR_PACKET_SIZE, SQLUINTEGER{1}, 1, "01S02", SQL_ATTR_PACKET_SIZE,
       SQLUINTEGER{7024}},
      {"feedback -5", 21061, SQLUINTEGER(-5), -1, "01S02", 21061, SQLUINTEGER{30}},
      {"unknown", 99999, SQLUINTEGER{1}, -1, "HY024", 0, {}},
      {"text without pointer", 21007, {}, -1, "HY000", 21007, std::string("")},
      {"write-only", 0, {}, 0, "", 21088, SQLUINTEGER{0}, SQL_ERROR},
      {"1041 reads as the empty text", 0, {}, 0, "", 1041, std::string("")},
  };
  for (const Case& k : cases) {
    for (bool wide : {false, true}) {
      SCOPED_TRACE(std::string(k.name) + (wide ? " (W)" : ""));
      Env e;
      const SQLHANDLE dbc = e.dbc[0];
      if (k.id != 0) {
        EXPECT_EQ(SetAttr(dbc, k.id, k.value, wide), k.rc);
        const auto records = api::Records(SQL_HANDLE_DBC, dbc);
        EXPECT_EQ(records.empty() ? "" : records.back().state, k.state);
      }
      if (k.readId == 0) continue;
      const auto [rc, got] = GetAttr(dbc, k.readId, k.read, wide);
      EXPECT_EQ(rc, k.readRc);
      if (rc == SQL_SUCCESS) {
        EXPECT_EQ(Show(got), Show(k.read));
      }
    }
  }
}

// Attributes accepted and ignored: their value is never looked at, whatever
// the pointer and length.
TEST(ConnectionAttrApi, IgnoredValuesAreNotRead) {
  Env e;
  for (SQLINTEGER id : {116, 1041, 1224}) {
    EXPECT_EQ(QVOSetConnectAttr(e.dbc[0], id, IntArg(1), SQL_NTS), SQL_SUCCESS) << id;
    EXPECT_EQ(QVOSetConnectAttrW(e.dbc[0], id, IntArg(1), SQL_NTS), SQL_SUCCESS) << id;
  }
}

// A text cut to the buffer: cut on a whole character (a UTF-8 sequence, a
// UTF-16 unit, a surrogate pair), terminated inside the buffer, its full length
// in bytes reported, 01004 and 1. A negative length writes nothing.
TEST(ConnectionAttrApi, TextsAreCutToTheBufferAndTheLengthShowsIt) {
  struct Case {
    const char* what;
    std::u16string value;
    bool wide;
    SQLINTEGER bufferLength;
    std::u16string written;  // what the buffer holds before its terminator
    bool untouched;          // nothing written at all
    SQLINTEGER length;
    SQLRETURN rc;
    const char* state;
  };
  const std::u16string pair = u"ab\U0001F600c";  // 5 UTF-16 units, 7 UTF-8 bytes
  const Case cases[] = {
      {"fits", u"datasource", false, 11, u"datasource", false, 10, SQL_SUCCESS, ""},
      {"cut", u"datasource", false, 5, u"data", false, 10, SQL_SUCCESS_WITH_INFO, "01004"},
      {"no room", u"datasource", false, 0, u"", true, 10, SQL_SUCCESS_WITH_INFO, "01004"},
      {"UTF-8 sequence kept whole", pair, false, 6, u"ab", false, 7, SQL_SUCCESS_WITH_INFO,
       "01004"},
      {"long text", std::u16string(3000, u'x'), false, 5, u"xxxx", false, 3000,
       SQL_SUCCESS_WITH_INFO, "01004"},
      {"negative", u"datasource", false, -1, u"", true, -1, SQL_ERROR, "HY090"},
      {"W fits", u"datasource", true, 22, u"datasource", false, 20, SQL_SUCCESS, ""},
      {"W cut", u"datasource", true, 10, u"data", false, 20, SQL_SUCCESS_WITH_INFO, "01004"},
      {"W odd length", u"datasource", true, 7, u"da", false, 20, SQL_SUCCESS_WITH_INFO, "01004"},
      {"W pair kept whole", pair, true, 9, u"ab", false, 10, SQL_SUCCESS_WITH_INFO, "01004"},
      {"W pair fits", pair, true, 10, u"ab\U0001F600", false, 10, SQL_SUCCESS_WITH_INFO, "01004"},
      {"W negative", u"datasource", true, -1, u"", true, -1, SQL_ERROR, "HY090"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Env e;
    const SQLHANDLE dbc = e.dbc[0];
    ASSERT_EQ(QVOSetConnectAttr(dbc, 21049, const_cast<char*>("UTF-8"), SQL_NTS), 0);
    std::u16string value = k.value;
    ASSERT_EQ(QVOSetConnectAttrW(dbc, 21007, value.data(), SQL_NTS), 0);
    unsigned char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    SQLINTEGER len = -1;
    const SQLRETURN rc = k.wide ? QVOGetConnectAttrW(dbc, 21007, buffer, k.bufferLength, &len)
                                : QVOGetConnectAttr(dbc, 21007, buffer, k.bufferLength, &len);
    EXPECT_EQ(rc, k.rc);
    EXPECT_EQ(len, k.length);
    const auto records = api::Records(SQL_HANDLE_DBC, dbc);
    EXPECT_EQ(records.empty() ? "" : records.back().state, k.state);
    // The expected bytes: the text and its terminator, then the fill.
    std::string expected;
    if (!k.untouched) {
      for (char16_t u : k.written + u'\0') {
        expected.push_back(static_cast<char>(u & 0xFF));
        if (k.wide)
          expected.push_back(static_cast<char>(u >> 8));
        else
          ASSERT_LT(u, 0x80) << "narrow rows hold ASCII only";
      }
    }
    expected.resize(sizeof buffer, '#');
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), sizeof buffer), expected);
  }
}

// The transaction state comes from the server: before the connect both forms
// fail with a record that says why.
TEST(ConnectionAttrApi, TransactionStateNeedsAConnection) {
  Env e;
  for (auto get : {&QVOGetConnectAttr, &QVOGetConnectAttrW}) {
    SQLUINTEGER state = 7;
    EXPECT_EQ(get(e.dbc[0], 21043, &state, 0, nullptr), SQL_ERROR);
    const std::vector<Record> records = api::Records(SQL_HANDLE_DBC, e.dbc[0]);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].state, "HY000");
    EXPECT_NE(records[0].text.find("Database server not connected."), std::string::npos);
    EXPECT_EQ(state, 7u);
  }
}

// A text the application's code set cannot hold is refused, not handed out
// as an empty value with success.
TEST(ConnectionAttrApi, ATextTheCodeSetCannotHoldIsAnError) {
  Env e;
  const SQLHANDLE dbc = e.dbc[0];
  ASSERT_EQ(QVOSetConnectAttr(dbc, 21049, const_cast<char*>("ISO-8859-1"), SQL_NTS), 0);
  std::u16string euro = u"\u20AC1";
  ASSERT_EQ(QVOSetConnectAttrW(dbc, 21007, euro.data(), SQL_NTS), 0);
  SQLWCHAR wide[8] = {};
  SQLINTEGER len = -1;
  EXPECT_EQ(QVOGetConnectAttrW(dbc, 21007, wide, sizeof wide, &len), SQL_SUCCESS);
  EXPECT_EQ(wide[0], 0x20AC);
  EXPECT_EQ(len, 4);
  for (SQLINTEGER bufferLength : {8, 0}) {
    char narrow[8];
    std::memset(narrow, '#', sizeof narrow);
    len = -1;
    EXPECT_EQ(QVOGetConnectAttr(dbc, 21007, narrow, bufferLength, &len), SQL_ERROR);
    EXPECT_EQ(len, -1) << "nothing is reported";
    EXPECT_EQ(api::Records(SQL_HANDLE_DBC, dbc).back().state, "HY923");
  }
}

TEST(ConnectionAttrApi, MetadataIdReachesTheStatements) {
  fake::FakeNode node;
  fake::LoginPlayer player(node);
  Env e;
  ASSERT_EQ(e.Connect(0, node), SQL_SUCCESS);
  SQLHANDLE stmt = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, e.dbc[0], &stmt), SQL_SUCCESS);
  EXPECT_EQ(QVOSetConnectAttr(e.dbc[0], SQL_ATTR_METADATA_ID, IntArg(1), 0), SQL_SUCCESS);
  SQLULEN onStatement = 0;  // statement attributes are SQLULEN wide
  EXPECT_EQ(QVOGetStmtAttr(stmt, SQL_ATTR_METADATA_ID, &onStatement, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(onStatement, 1u);
  SQLUINTEGER v = 0;
  EXPECT_EQ(QVOGetConnectAttr(e.dbc[0], SQL_ATTR_METADATA_ID, &v, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(v, 1u);
}

// An environment's commit or rollback passes over connections without a
// session (never connected, or disconnected): there is nothing to end there.
// Every connected one is ended, wherever the idle ones stand in handle
// order; with none connected nothing is sent and the call succeeds. A single
// connection without a session still says so.
TEST(ConnectionAttrApi, EndTranOverAnEnvironmentPassesOverIdleConnections) {
  enum State { Idle, Connected, Disconnected };
  struct Case {
    const char* what;
    std::vector<State> connections;
  };
  const Case cases[] = {
      {"idle first", {Idle, Connected}},
      {"idle last", {Connected, Idle}},
      {"idle on both sides", {Idle, Connected, Idle}},
      {"disconnected first", {Disconnected, Connected}},
      {"only idle", {Idle, Idle}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake::FakeNode node;
    fake::LoginPlayer player(node);
    node.On(fake::kExecute, [](const Request&, fake::FakeNode&) {
      return fake::results::Answer({fake::results::Empty()});
    });
    Env e(static_cast<int>(c.connections.size()));
    size_t connected = 0;
    for (size_t i = 0; i < c.connections.size(); ++i) {
      if (c.connections[i] == Idle) continue;
      ASSERT_EQ(e.Connect(i, node), SQL_SUCCESS);
      if (c.connections[i] == Disconnected) {
        ASSERT_EQ(QVODisconnect(e.dbc[i]), SQL_SUCCESS);
      } else {
        ++connected;
      }
    }
    for (const SQLSMALLINT type : {SQL_COMMIT, SQL_ROLLBACK}) {
      const size_t before = node.Requests().size();
      EXPECT_EQ(QVOEndTran(SQL_HANDLE_ENV, e.env, type), SQL_SUCCESS);
      EXPECT_TRUE(api::Records(SQL_HANDLE_ENV, e.env).empty());
      const auto requests = node.Requests();
      ASSERT_EQ(requests.size(), before + connected);
      for (size_t i = before; i < requests.size(); ++i)
        EXPECT_EQ(std::string(requests[i].data.begin(), requests[i].data.end()),
                  type == SQL_COMMIT ? "commit /*SQL_COMMIT*/" : "rollback /*SQL_ROLLBACK*/");
    }
    for (size_t i = 0; i < c.connections.size(); ++i) {
      if (c.connections[i] == Connected) continue;
      EXPECT_EQ(QVOEndTran(SQL_HANDLE_DBC, e.dbc[i], SQL_COMMIT), SQL_ERROR);
      const auto records = api::Records(SQL_HANDLE_DBC, e.dbc[i]);
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].state, "08003");
    }
  }
}

TEST(ConnectionAttrApi, EndTranOverAnEnvironment) {
  fake::FakeNode first, second;
  fake::LoginPlayer p1(first), p2(second);
  for (fake::FakeNode* n : {&first, &second})
    n->On(fake::kExecute, [](const Request&, fake::FakeNode&) {
      return fake::results::Answer({fake::results::Empty()});
    });
  Env e(2);
  ASSERT_EQ(e.Connect(0, first), SQL_SUCCESS);
  ASSERT_EQ(e.Connect(1, second), SQL_SUCCESS);
  const size_t before1 = first.Requests().size(), before2 = second.Requests().size();
  EXPECT_EQ(QVOEndTran(SQL_HANDLE_ENV, e.env, SQL_ROLLBACK), SQL_SUCCESS);
  ASSERT_TRUE(first.WaitForRequests(before1 + 1));
  ASSERT_TRUE(second.WaitForRequests(before2 + 1));
  for (const fake::FakeNode* n : {&first, &second}) {
    const Request r = n->Requests().back();
    EXPECT_EQ(r.command, fake::kExecute);
    EXPECT_EQ(std::string(r.data.begin(), r.data.end()), "rollback /*SQL_ROLLBACK*/");
  }

  second.Push(fake::ExceptionReply("40001", "serialization failure"));
  EXPECT_EQ(QVOEndTran(SQL_HANDLE_ENV, e.env, SQL_COMMIT), SQL_ERROR);
  const Request committed = first.Requests().back();
  EXPECT_EQ(std::string(committed.data.begin(), committed.data.end()), "commit /*SQL_COMMIT*/");
  const auto records = api::Records(SQL_HANDLE_DBC, e.dbc[1]);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().state, "40001");

  EXPECT_EQ(QVOEndTran(SQL_HANDLE_DBC, e.dbc[0], 2), SQL_ERROR);
  EXPECT_EQ(api::Records(SQL_HANDLE_DBC, e.dbc[0]).back().state, "HY000");
}

TEST(ConnectionAttrApi, SlaveConnectAndDisconnect) {
  fake::FakeNode node;
  fake::LoginScript script;
  script.protocolVersion = 11;
  fake::LoginPlayer player(node, script);
  Env e;
  std::string port = std::to_string(node.Port());
  EXPECT_EQ(
      QVOSlaveConnect(e.dbc[0], const_cast<char*>("127.0.0.1"), SQL_NTS, port.data(), SQL_NTS, 42),
      SQL_SUCCESS);
  ASSERT_TRUE(node.WaitForRequests(1));
  ASSERT_NE(node.Requests()[0].Find(fake::ATTR_PARALLEL_TOKEN), nullptr);
  EXPECT_EQ(node.Requests()[0].Find(fake::ATTR_PARALLEL_TOKEN)->AsInt(), 42);
  EXPECT_EQ(
      QVOSlaveConnect(e.dbc[0], const_cast<char*>("127.0.0.1"), SQL_NTS, port.data(), SQL_NTS, 43),
      SQL_ERROR);
  EXPECT_EQ(api::Records(SQL_HANDLE_DBC, e.dbc[0]).back().state, "08002");

  EXPECT_EQ(QVODisconnect(e.dbc[0]), SQL_SUCCESS);
  EXPECT_EQ(node.Requests().back().command, fake::kDisconnect);
  SQLUINTEGER dead = 0;
  EXPECT_EQ(QVOGetConnectAttr(e.dbc[0], SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr), 0);
  EXPECT_EQ(dead, 1u);
  EXPECT_EQ(QVOEndTran(SQL_HANDLE_DBC, e.dbc[0], SQL_COMMIT), SQL_ERROR);
  EXPECT_EQ(api::Records(SQL_HANDLE_DBC, e.dbc[0]).back().state, "08003");
}

}  // namespace
