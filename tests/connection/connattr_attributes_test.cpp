// Connection attributes on a connection that is not connected: defaults,
// what each setter stores or refuses, how values read back, the pending
// session attributes, locales and code pages.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "connection/qvoConnection.h"
#include "connection/wire_fixture.h"
#include "handles/qvoHandleTable.h"

namespace {

SQLPOINTER IntArg(SQLUINTEGER v) { return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(v)); }

// A value to set or to expect: none (null pointer), an integer or a text.
using Value = std::variant<std::monostate, SQLUINTEGER, std::string>;

SQLRETURN Set(qvoConnection& c, SQLINTEGER id, const Value& v) {
  if (const auto* n = std::get_if<SQLUINTEGER>(&v)) return c.SetConnectAttr(id, IntArg(*n), 0);
  if (const auto* t = std::get_if<std::string>(&v))
    return c.SetConnectAttr(id, const_cast<char*>(t->c_str()), SQL_NTS);
  return c.SetConnectAttr(id, nullptr, SQL_NTS);
}

// Reads an attribute as the expected value's kind; the result code with it.
std::pair<SQLRETURN, Value> Get(qvoConnection& c, SQLINTEGER id, const Value& like) {
  if (std::holds_alternative<std::string>(like)) {
    char text[512] = {};
    const SQLRETURN rc = c.GetConnectAttr(id, text, sizeof text, nullptr);
    return {rc, std::string(text)};
  }
  SQLUINTEGER n = 0xDEADBEEF;
  const SQLRETURN rc = c.GetConnectAttr(id, &n, 0, nullptr);
  return {rc, n};
}

std::string Show(const Value& v) {
  if (const auto* n = std::get_if<SQLUINTEGER>(&v)) return std::to_string(*n);
  if (const auto* t = std::get_if<std::string>(&v)) return "\"" + *t + "\"";
  return "null";
}

std::string States(qvoConnection& c) {
  std::string out;
  for (const Diag& d : DiagsOf(c)) out += (out.empty() ? "" : " ") + d.state;
  return out;
}

// The pending session attributes: id -> value bytes.
std::map<int, std::string> Pending(qvoConnection& c) {
  std::map<int, std::string> out;
  if (!c.attributes) return out;
  for (SQLINTEGER i = 0; i < c.attributes->GetNumAttributes(); ++i) {
    SQLSMALLINT id = 0;
    SQLINTEGER len = 0;
    if (c.attributes->ReadAttrTypeAndLen(i, &id, &len) != SQL_SUCCESS) break;
    out[id] = std::string(c.attributes->ReadAttrValuePtr(), static_cast<size_t>(len));
  }
  return out;
}

std::string Bytes32(qvo_int32 v) { return std::string(reinterpret_cast<char*>(&v), 4); }

TEST(ConnectAttr, DefaultsOfANewConnection) {
  qvoConnection c(nullptr);
  const std::vector<std::pair<SQLINTEGER, Value>> cases = {
      {21061, SQLUINTEGER{30}},
      {SQL_ATTR_AUTOCOMMIT, SQLUINTEGER{1}},
      {SQL_ATTR_TXN_ISOLATION, SQLUINTEGER{8}},
      {SQL_ATTR_PACKET_SIZE, SQLUINTEGER{7024}},
      {SQL_ATTR_ODBC_CURSORS, SQLUINTEGER{2}},
      {SQL_ATTR_ACCESS_MODE, SQLUINTEGER{0}},
      {21065, SQLUINTEGER{0}},
      {21004, SQLUINTEGER{67108864}},
      {SQL_ATTR_AUTO_IPD, SQLUINTEGER{1}},
      {1224, SQLUINTEGER{1}},
      {1014, SQLUINTEGER{0}},
      {1065, SQLUINTEGER{1}},
      {21032, SQLUINTEGER{13}},
      {21070, SQLUINTEGER{1}},
      {21102, SQLUINTEGER{0}},
      {21103, SQLUINTEGER{0}},
      {21108, SQLUINTEGER{2048}},
      {21046, std::string("N")},
      {21047, std::string("Y")},
      {21068, std::string("N")},
      {21099, std::string("N")},
      {21106, std::string("Y")},
      {21017, std::string("")},
      {1041, std::string("")},
      {SQL_ATTR_CURRENT_CATALOG, std::string("")},
  };
  for (const auto& [id, expected] : cases) {
    const auto [rc, got] = Get(c, id, expected);
    EXPECT_EQ(rc, SQL_SUCCESS) << id;
    EXPECT_EQ(Show(got), Show(expected)) << id;
  }
  EXPECT_EQ(c.GetNumRecords(), 0);
}

TEST(ConnectAttr, SetThenReadBack) {
  const std::string longText(150, 'w');
  const std::string longZone(300, 'z');
  struct Case {
    const char* name;
    SQLINTEGER id;
    Value value;
    SQLRETURN rc;
    std::string states;  // SQLSTATEs recorded, in order
    SQLINTEGER readId;   // 0: nothing to read
    Value read;
  };
  const std::vector<Case> cases = {
      {"max rows", 1, SQLUINTEGER{5}, 0, "", 1, SQLUINTEGER{5}},
      {"async on", SQL_ATTR_ASYNC_ENABLE, SQLUINTEGER{1}, 0, "", 4, SQLUINTEGER{1}},
      {"async 7 ignored", SQL_ATTR_ASYNC_ENABLE, SQLUINTEGER{7}, 0, "", 4, SQLUINTEGER{0}},
      {"access mode", SQL_ATTR_ACCESS_MODE, SQLUINTEGER{1}, 0, "", 101, SQLUINTEGER{1}},
      {"trace file", SQL_ATTR_TRACEFILE, std::string("t.log"), 0, "", 105, std::string("t.log")},
      {"isolation", SQL_ATTR_TXN_ISOLATION, SQLUINTEGER{4}, 0, "", 108, SQLUINTEGER{4}},
      {"catalog", SQL_ATTR_CURRENT_CATALOG, std::string("cat"), 0, "", 109, std::string("cat")},
      {"packet size refused", SQL_ATTR_PACKET_SIZE, SQLUINTEGER{512}, 1, "01S02", 112,
       SQLUINTEGER{7024}},
      {"1061 warns", 1061, SQLUINTEGER{1}, 0, "01S02", 0, {}},
      {"connection dead", SQL_ATTR_CONNECTION_DEAD, SQLUINTEGER{1}, -1, "01S02", 0, {}},
      {"unicode type 0", 1065, SQLUINTEGER{0}, -1, "HY024", 1065, SQLUINTEGER{1}},
      {"unicode type 2", 1065, SQLUINTEGER{2}, 0, "", 1065, SQLUINTEGER{2}},
      {"DataDirect", 1045, SQLUINTEGER{1}, -1, "HY024", 0, {}},
      {"SQL Server", 1210, SQLUINTEGER{1}, -1, "HY024", 0, {}},
      {"accepted", 1041, SQLUINTEGER{1}, 0, "", 0, {}},
      {"message size", 21004, SQLUINTEGER{1000}, 0, "", 21004, SQLUINTEGER{1000}},
      {"dsn", 21007, std::string("dsn"), 0, "", 21007, std::string("dsn")},
      {"schema", 21016, std::string("sch"), 0, "", 21016, std::string("sch")},
      {"schema by answer", 21071, std::string("s2"), 0, "", 21016, std::string("s2")},
      {"catalog by answer", 21072, std::string("c2"), 0, "", 109, std::string("c2")},
      {"numeric characters", 21017, std::string("xyz"), 0, "", 21017, std::string("xy")},
      {"cognos Y", 21046, std::string("Y"), 0, "", 21046, std::string("Y")},
      {"cognos y", 21046, std::string("y"), 0, "", 21046, std::string("Y")},
      {"cognos other text", 21046, std::string("yes"), 0, "", 21046, std::string("N")},
      {"micro cache forced", 21047, std::string("F"), 0, "", 21047, std::string("Y")},
      {"micro cache off", 21105, std::string("n"), 0, "", 21105, std::string("N")},
      {"patterns", 21068, std::string("Y"), 0, "", 21068, std::string("Y")},
      {"feedback -5", 21061, SQLUINTEGER(-5), -1, "01S02", 21061, SQLUINTEGER{30}},
      {"feedback test value", 21061, SQLUINTEGER(-1701), 0, "", 21061, SQLUINTEGER(-1701)},
      {"feedback 45", 21061, SQLUINTEGER{45}, 0, "", 21061, SQLUINTEGER{45}},
      {"param size", 21062, SQLUINTEGER{7}, 0, "", 21062, SQLUINTEGER{7}},
      {"default param size", 21065, SQLUINTEGER{9}, 0, "", 21065, SQLUINTEGER{9}},
      {"timestamp utc", 21078, SQLUINTEGER{5}, 0, "", 21078, SQLUINTEGER{1}},
      {"time zone", 21096, std::string("Europe/Berlin"), 0, "", 21096,
       std::string("Europe/Berlin")},
      {"time zone cut", 21097, longZone, 0, "", 21097, longZone.substr(0, 259)},
      {"encryption", 21099, std::string("Y"), 0, "", 21099, std::string("Y")},
      {"fast metadata off", 21106, std::string("N"), 0, "", 21106, std::string("N")},
      {"fast metadata other", 21106, std::string("x"), 0, "", 21106, std::string("Y")},
      {"handle limit 2001", 21108, SQLUINTEGER{2001}, 0, "", 21108, SQLUINTEGER{2048}},
      {"handle limit 0", 21108, SQLUINTEGER{0}, 0, "", 21108, SQLUINTEGER{2048}},
      {"handle limit 2000", 21108, SQLUINTEGER{2000}, 0, "", 21108, SQLUINTEGER{2000}},
      {"30002", 30002, SQLUINTEGER{1}, -1, "HYC00", 0, {}},
      {"unknown", 99999, SQLUINTEGER{1}, -1, "HY024", 0, {}},
      {"text without pointer", SQL_ATTR_TRACEFILE, {}, -1, "HY000", 105, std::string("")},
      {"session id without pointer", 21079, {}, -1, "HY000", 0, {}},
      {"session kill without pointer", 21042, {}, -1, "HY000", 0, {}},
      {"word for true cut", 21088, longText, 0, "", 0, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    qvoConnection c(nullptr);
    EXPECT_EQ(Set(c, k.id, k.value), k.rc);
    EXPECT_EQ(States(c), k.states);
    if (k.readId != 0) {
      const auto [rc, got] = Get(c, k.readId, k.read);
      EXPECT_EQ(rc, SQL_SUCCESS);
      EXPECT_EQ(Show(got), Show(k.read));
    }
  }
  SetMaxHandles(0);

  qvoConnection c(nullptr);
  EXPECT_EQ(c.SetConnectAttr(21088, const_cast<char*>(longText.c_str()), SQL_NTS), 0);
  EXPECT_EQ(std::string(c.GetWordForTrue()), longText.substr(0, 99));
  EXPECT_EQ(c.SetConnectAttr(99999, nullptr, 0), -1);
  EXPECT_EQ(TextsOf(c).back(),
            "Trying to set an unknown connection attribute. Attribute type: 99999.");
  EXPECT_EQ(c.SetConnectAttr(SQL_ATTR_TRACEFILE, nullptr, SQL_NTS), -1);
  EXPECT_EQ(TextsOf(c).back(), "Invalid use of null pointer.");
}

TEST(ConnectAttr, WriteOnlySettingsLandInTheConnection) {
  qvoConnection c(nullptr);
  qvoCriticalSection lock;
  FILE* stream = tmpfile();
  const qvo_uint64 session = 0x1122334455667788ULL;
  EXPECT_EQ(c.SetConnectAttr(SQL_ATTR_QUERY_TIMEOUT, IntArg(12), 0), 0);
  EXPECT_EQ(c.SetConnectAttr(21010, const_cast<char*>("my app"), SQL_NTS), 0);
  EXPECT_EQ(c.SetConnectAttr(21019, const_cast<char*>("1.2"), 2), 0);
  EXPECT_EQ(c.SetConnectAttr(21053, IntArg(1), 0), 0);
  EXPECT_EQ(c.SetConnectAttr(21054, stream, 0), 0);
  EXPECT_EQ(c.SetConnectAttr(21055, &lock, 0), 0);
  EXPECT_EQ(c.SetConnectAttr(21069, const_cast<char*>("N"), SQL_NTS), 0);
  EXPECT_EQ(c.SetConnectAttr(-9912, const_cast<qvo_uint64*>(&session), 8), 0);
  EXPECT_EQ(c.SetConnectAttr(21101, const_cast<char*>("seed"), SQL_NTS), 0);
  EXPECT_EQ(c.GetQueryTimeout(), 12u);
  EXPECT_STREQ(c.connAttr.clientName.get(), "my app");
  EXPECT_EQ(c.connAttr.clientNameLen, 6);
  EXPECT_STREQ(c.connAttr.clientVersion.get(), "1.");
  EXPECT_TRUE(c.logFull);
  EXPECT_EQ(c.logFile, stream);
  EXPECT_EQ(c.logFileMutex, &lock);
  EXPECT_FALSE(c.errorReset);
  EXPECT_STREQ(c.connAttr.randomSeed.get(), "seed");
  qvo_uint64 read = 0;
  EXPECT_EQ(c.GetConnectAttr(21079, &read, 0, nullptr), 0);
  EXPECT_EQ(read, session);
  EXPECT_EQ(c.SetConnectAttr(21101, nullptr, 0), 0);
  EXPECT_EQ(c.connAttr.randomSeed, nullptr);
  // The connection string: a negative length other than SQL_NTS stores the
  // empty text.
  char connection[32] = {};
  EXPECT_EQ(c.SetConnectAttr(21051, const_cast<char*>("DSN=x;UID=me"), 5), 0);
  EXPECT_EQ(c.GetConnectAttr(21051, connection, sizeof connection, nullptr), 0);
  EXPECT_STREQ(connection, "DSN=x");
  EXPECT_EQ(c.SetConnectAttr(21051, const_cast<char*>("DSN=x"), -7), 0);
  EXPECT_EQ(c.GetConnectAttr(21051, connection, sizeof connection, nullptr), 0);
  EXPECT_STREQ(connection, "");
  EXPECT_EQ(c.SetConnectAttr(21047, const_cast<char*>("F"), SQL_NTS), 0);
  EXPECT_TRUE(c.forceColumnsMicroCache);
  // With errorReset off, records accumulate from call to call.
  c.SetConnectAttr(SQL_ATTR_PACKET_SIZE, IntArg(1), 0);
  c.SetConnectAttr(SQL_ATTR_PACKET_SIZE, IntArg(1), 0);
  EXPECT_EQ(c.GetNumRecords(), 2);
  c.logFile = nullptr;
  fclose(stream);
}

TEST(ConnectAttr, ReadsStayInsideTheBuffer) {
  qvoConnection c(nullptr);
  ASSERT_EQ(c.SetConnectAttr(21007, const_cast<char*>("datasource"), SQL_NTS), 0);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  SQLINTEGER len = -1;
  EXPECT_EQ(c.GetConnectAttr(21007, buffer, 5, &len), SQL_SUCCESS);
  EXPECT_STREQ(buffer, "data");
  EXPECT_EQ(buffer[5], '#');
  EXPECT_EQ(len, 10) << "the full length shows the cut";

  char one[2] = {'#', '#'};
  len = -1;
  EXPECT_EQ(c.GetConnectAttr(21099, one, 1, &len), SQL_SUCCESS);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(one[1], '#');
  EXPECT_EQ(len, 1);

  // Addresses are full pointers.
  const void* address = nullptr;
  EXPECT_EQ(c.GetConnectAttr(21041, &address, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(address, &c.server);
  c.connAttr.quietMode = &c;
  EXPECT_EQ(c.GetConnectAttr(SQL_ATTR_QUIET_MODE, &address, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(address, &c);
  c.connAttr.bytesRead = 0x100000002ULL;
  qvo_uint64 counter = 0;
  EXPECT_EQ(c.GetConnectAttr(21011, &counter, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(counter, 0x100000002ULL);

  struct Refusal {
    SQLINTEGER id;
    bool nullValue;
    std::string text;
  };
  const std::vector<Refusal> refusals = {
      {21007, true, "Value pointer is NULL, info value cannot be set."},
      {21059, true, "Value pointer is NULL, info value cannot be set."},
      {1210, false, "Special SQL Server attribute not implemented."},
      {30002, false, "Optional feature not implemented."},
      {12345, false, "Trying to read an unknown connection attribute. Attribute type: 12345."},
      {21007, false, "Invalid string or buffer length."},
  };
  for (const Refusal& r : refusals) {
    SQLUINTEGER v = 0;
    EXPECT_EQ(c.GetConnectAttr(r.id, r.nullValue ? nullptr : &v, -7, nullptr), SQL_ERROR) << r.id;
    EXPECT_EQ(TextsOf(c).back(), r.text) << r.id;
  }
  // Without a socket the transaction state cannot be asked for.
  SQLUINTEGER state = 0;
  EXPECT_EQ(c.GetConnectAttr(21043, &state, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(TextsOf(c).back(), "Database server not connected.");
}

TEST(ConnectAttr, SessionSettingsWaitForTheLogin) {
  const std::string on(1, '\1');
  const std::string off(1, '\0');
  {
    qvoConnection c(nullptr);
    EXPECT_EQ(c.SetConnectAttr(SQL_ATTR_AUTOCOMMIT, IntArg(0), 0), 0);
    EXPECT_EQ(Pending(c), (std::map<int, std::string>{{ATTR_AUTOCOMMIT, off}}));
  }
  {
    // Query timeout, feedback interval and the default parameter size bring
    // an autocommit that is on; setting isolation 2 keeps all of it.
    qvoConnection c(nullptr);
    EXPECT_EQ(c.SetConnectAttr(SQL_ATTR_QUERY_TIMEOUT, IntArg(0), 0), 0);
    EXPECT_EQ(c.attributes, nullptr) << "an unchanged timeout queues nothing";
    EXPECT_EQ(c.SetConnectAttr(SQL_ATTR_QUERY_TIMEOUT, IntArg(45), 0), 0);
    EXPECT_EQ(c.SetConnectAttr(21061, IntArg(50), 0), 0);
    EXPECT_EQ(c.SetConnectAttr(SQL_ATTR_TXN_ISOLATION, IntArg(2), 0), 0);
    EXPECT_EQ(c.SetConnectAttr(21028, const_cast<char*>(",.;"), SQL_NTS), 0);
    EXPECT_EQ(Pending(c), (std::map<int, std::string>{{ATTR_AUTOCOMMIT, on},
                                                      {ATTR_QUERY_TIMEOUT, Bytes32(45)},
                                                      {ATTR_FEEDBACK_INTERVAL, Bytes32(50)},
                                                      {ATTR_NUMERIC_CHARACTERS, ",."}}));
  }
  {
    // Below protocol 9 the feedback interval cannot change; below 10 the
    // UTC setting stays on the client.
    qvoConnection c(nullptr);
    c.SetProtocollVer(8);
    EXPECT_EQ(c.SetConnectAttr(21061, IntArg(50), 0), -1);
    EXPECT_EQ(States(c), "01S02");
    EXPECT_EQ(c.SetConnectAttr(21078, IntArg(1), 0), 0);
    EXPECT_EQ(c.attributes, nullptr);
  }
}

TEST(ConnectAttr, SessionSetters) {
  qvoConnection c(nullptr);
  EXPECT_EQ(c.AddIntAttribute(ATTR_QUERY_TIMEOUT, 5), 0);
  EXPECT_EQ(c.AddIntAttribute(ATTR_QUERY_TIMEOUT, 9), 0);
  EXPECT_EQ(Pending(c), (std::map<int, std::string>{{ATTR_QUERY_TIMEOUT, Bytes32(9)}}));
  EXPECT_EQ(c.attributes->GetNumAttributes(), 1);
  // Without a socket the Set forms send nothing and leave nothing pending.
  EXPECT_EQ(c.SetIntAttribute(nullptr, ATTR_FEEDBACK_INTERVAL, 40), 0);
  EXPECT_EQ(c.attributes, nullptr);
  EXPECT_EQ(c.GetAttributesFromQVO(), SQL_ERROR);
  EXPECT_EQ(c.GetNumRecords(), 0);
}

// Locale attributes change the locale of the whole process: put it back.
struct LocaleGuard {
  LocaleGuard() : saved(std::setlocale(LC_ALL, nullptr)) {}
  ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
  std::string saved;
};

TEST(ConnectAttr, Locales) {
  LocaleGuard guard;
  qvoConnection c(nullptr);
  EXPECT_EQ(c.SetConnectAttr(21030, const_cast<char*>("C"), SQL_NTS), 0);
  char name[64] = {};
  EXPECT_EQ(c.GetConnectAttr(21030, name, sizeof name, nullptr), 0);
  EXPECT_STREQ(name, "C");
  EXPECT_EQ(c.GetConnectAttr(21030, name, SQL_NTS, nullptr), 0);
  EXPECT_STREQ(name, "C");

  const char bogus[] = "xx_NOWHERE.bogus";
  EXPECT_EQ(c.SetConnectAttr(21030, const_cast<char*>(bogus), SQL_NTS), -1);
  EXPECT_EQ(TextsOf(c), std::vector<std::string>{"Unable to set connection locale numeric."});
  EXPECT_EQ(c.SetConnectAttr(21067, const_cast<char*>(bogus), SQL_NTS), -1);
  EXPECT_EQ(TextsOf(c), std::vector<std::string>{"Unable to set connection locale LC_CTYPE."});
  EXPECT_EQ(c.SetConnectAttr(21029, const_cast<char*>(bogus), SQL_NTS), -1);
  EXPECT_EQ(States(c), "HY990 HY990 HY990");
  EXPECT_EQ(c.SetConnectAttr(21031, nullptr, 0), 0);
  EXPECT_EQ(c.SetConnectAttr(21031, const_cast<char*>(""), SQL_NTS), 0);
}

TEST(ConnectAttr, CodePages) {
  qvoConnection c(nullptr);
  EXPECT_EQ(c.SetConnectAttr(21048, const_cast<char*>("ISO-8859-1"), SQL_NTS), 0);
  EXPECT_TRUE(c.connAttr.customAnsiDataEncoding);
  char name[64] = {};
  SQLINTEGER len = 0;
  EXPECT_EQ(c.GetConnectAttr(21048, name, sizeof name, &len), 0);
  EXPECT_STREQ(name, "ISO-8859-1");
  EXPECT_EQ(len, 10);
  EXPECT_EQ(c.SetConnectAttr(21049, const_cast<char*>("NO-SUCH-CODEPAGE"), SQL_NTS), -1);
  EXPECT_EQ(TextsOf(c).back(), "Option value changed. Cannot set custom encoding.");
  EXPECT_FALSE(c.connAttr.customAnsiArgEncoding);
}

}  // namespace
