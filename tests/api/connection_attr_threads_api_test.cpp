// Connection attributes set and read from several threads while other
// threads execute and fetch on statements of the same connection, through the
// exported functions of libqvocli.so against the fake node. Every value read
// is one that was set, or one the session held (from its login or from an
// answer), whole; every call succeeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "api/api_session.h"
#include "qvo/qvoCInterface.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

using namespace fake::results;

// How a value is handed to QVOSetConnectAttr and read back.
enum class Kind {
  Int,      // the pointer value, cut to 32 bits; read as 4 bytes
  Pointer,  // the pointer value; read at pointer width
  Int64,    // 8 bytes at the pointer; read as 8 bytes
  Text,     // zero-terminated; read as text (narrow or W)
};

// What reading the attribute may give.
enum class Reads {
  Nothing,  // not read (set only, or read elsewhere)
  Echo,     // a value set, one in alsoRead, or what it held before
  Fixed,    // one in alsoRead, or what it held before
};

struct Setting {
  SQLINTEGER id;
  Kind kind;
  std::vector<std::string> values;  // set in turn
  Reads reads = Reads::Echo;
  std::vector<std::string> alsoRead = {};
  SQLRETURN setResult = SQL_SUCCESS;
};

// Every connection attribute that can be set on a session in use. Left out:
// the locale attributes 21029, 21030 and 21067 (they change the locale of the
// whole process, which the C library does not allow while other threads use
// it), 21045 (closes the socket), and the ids that refuse any value.
// Attributes that store into one member share their values.
const std::vector<Setting>& Settings() {
  static const std::vector<Setting> settings = {
      {-9922, Kind::Text, {"FALSE", "no"}, Reads::Nothing},
      {-9921, Kind::Text, {"TRUE", "yes"}, Reads::Nothing},
      {-9912, Kind::Int64, {"7001", "7002"}},
      {0, Kind::Int, {"0", "5", "9"}, Reads::Nothing},  // read through the statements
      {1, Kind::Int, {"0", "1000"}},
      {4, Kind::Int, {"0"}},
      {101, Kind::Int, {"0", "1"}},
      {102, Kind::Int, {"1", "0"}},
      {103, Kind::Int, {"0", "20"}},
      {104, Kind::Int, {"0", "1"}},
      {105, Kind::Text, {"trace-one.log", "t2.log"}},
      {106, Kind::Text, {"libtranslate.so", "lt.so"}},
      {107, Kind::Int, {"0", "7"}},
      {108, Kind::Int, {"2", "8"}},
      {109, Kind::Text, {"CATALOG_A", "C_B"}, Reads::Echo, {"ANSWERED_CATALOG"}},
      {110, Kind::Int, {"0", "2"}},
      {111, Kind::Pointer, {"0", "4660"}},
      {112, Kind::Int, {"4096"}, Reads::Fixed, {}, SQL_SUCCESS_WITH_INFO},
      {113, Kind::Int, {"0", "30"}},
      {115, Kind::Int, {"0", "1"}},
      {116, Kind::Int, {"0"}, Reads::Nothing},
      {1002, Kind::Int, {"0"}, Reads::Nothing},
      {1011, Kind::Int, {"0"}, Reads::Nothing},
      {1015, Kind::Int, {"0"}, Reads::Nothing},
      {1041, Kind::Int, {"0"}, Reads::Nothing},
      {1042, Kind::Int, {"0"}, Reads::Nothing},
      {1052, Kind::Int, {"0"}, Reads::Nothing},
      {1061, Kind::Int, {"0"}, Reads::Nothing},
      {1065, Kind::Int, {"1"}},
      {1224, Kind::Int, {"0"}, Reads::Nothing},
      {10014, Kind::Int, {"0", "1"}},
      {21004, Kind::Int, {"67108864", "33554432"}},
      {21006, Kind::Text, {"user", "abcd"}},  // never longer than the login's name
      {21007, Kind::Text, {"DSN_ONE", "D2"}},
      {21009, Kind::Int, {"0", "1"}, Reads::Nothing},
      {21010, Kind::Text, {"client one", "c2"}, Reads::Nothing},
      {21016, Kind::Text, {"SCHEMA_A", "S_B"}, Reads::Echo, {"ANSWERED_SCHEMA"}},
      {21017, Kind::Text, {".,", ",."}},
      {21019, Kind::Text, {"1.2.3", "9"}, Reads::Nothing},
      {21028, Kind::Text, {".,"}, Reads::Nothing},
      {21031, Kind::Int, {"0", "1"}, Reads::Nothing},
      {21042, Kind::Int64, {"99"}, Reads::Nothing},
      {21043, Kind::Int, {"0", "1"}},
      {21046, Kind::Text, {"Y", "N"}},
      {21047, Kind::Text, {"Y", "N", "F"}},
      {21048, Kind::Text, {"UTF-8", "ISO-8859-1"}},
      {21049, Kind::Text, {"UTF-8", "ISO-8859-1"}},
      {21051, Kind::Text, {"DSN=ONE;UID=user", "DSN=2"}},
      {21053, Kind::Int, {"0"}, Reads::Nothing},
      {21054, Kind::Pointer, {"0"}, Reads::Nothing},
      {21055, Kind::Pointer, {"0"}, Reads::Nothing},
      {21056, Kind::Text, {"Y", "N"}, Reads::Nothing},
      {21057, Kind::Text, {"Y", "N"}, Reads::Nothing},
      {21060, Kind::Text, {"UTF-16LE", "UCS-2LE"}},
      {21061, Kind::Int, {"30", "31", "32"}},
      {21062, Kind::Int, {"0", "2000"}},
      {21065, Kind::Int, {"0", "2000"}},
      {21066, Kind::Text, {"UTF-16LE", "UCS-2LE"}},
      {21068, Kind::Text, {"Y", "N"}},
      {21069, Kind::Text, {"Y"}, Reads::Nothing},
      {21071, Kind::Text, {"SCHEMA_A", "S_B"}, Reads::Nothing},
      {21072, Kind::Text, {"CATALOG_A", "C_B"}, Reads::Nothing},
      {21073, Kind::Int, {"1", "2"}, Reads::Nothing},
      {21075, Kind::Text, {"Y", "N"}, Reads::Nothing},
      {21078, Kind::Int, {"0", "1"}},
      {21079, Kind::Int64, {"7001", "7002"}},
      {21088, Kind::Text, {"TRUE", "yes"}, Reads::Nothing},
      {21089, Kind::Text, {"FALSE", "no"}, Reads::Nothing},
      {21095, Kind::Int, {"100000"}, Reads::Nothing},
      {21096, Kind::Text, {"UTC", "EUROPE/BERLIN"}},
      {21097, Kind::Text, {"INVALID SHIFT AHEAD", "INVALID REJECT"}},
      {21099, Kind::Text, {"Y", "N"}},
      {21101, Kind::Text, {"seed one", "s2"}, Reads::Nothing},
      {21104, Kind::Int, {"0"}, Reads::Nothing},
      {21105, Kind::Text, {"Y", "N", "F"}},
      {21106, Kind::Text, {"Y", "N"}},
      {21108, Kind::Int, {"0", "2000"}, Reads::Echo, {"2048"}},
  };
  return settings;
}

std::vector<std::string> ValuesOf(SQLINTEGER id) {
  for (const Setting& s : Settings())
    if (s.id == id) return s.values;
  return {};
}

// Attributes only read: what the session or the node holds, set by the login
// and by answers. Empty `values`: what it held before the threads started.
// Growing counters are read as Int64 and must not shrink.
struct Reading {
  SQLINTEGER id;
  Kind kind;
  std::vector<std::string> values = {};
  bool grows = false;
};

const std::vector<Reading>& Readings() {
  static const std::vector<Reading> readings = {
      {1209, Kind::Int, {"0"}},  // asks the server
      {21011, Kind::Int64, {}, true},
      {21012, Kind::Int64, {}, true},
      {21032, Kind::Int},
      {21033, Kind::Text, {"UTF8"}},  // loads the metadata view on first use
      {21035, Kind::Pointer},
      {21037, Kind::Text, {"8.1.4"}},
      {21038, Kind::Text},
      {21039, Kind::Pointer},
      {21040, Kind::Int},
      {21041, Kind::Pointer},
      {21059, Kind::Text},  // asks the server
      {21070, Kind::Int, {"0", "1"}},
      {21074, Kind::Int, {"80104"}},
      {21102, Kind::Int},
      {21103, Kind::Int},
  };
  return readings;
}

constexpr int kWorkers = 3;
constexpr int kRounds = 10;
constexpr int kMinPasses = 4;
constexpr int64_t kRows = 60;
constexpr const char* kSelect = "SELECT N, C FROM T";
// Answered "still executing" twice, then with a row count and the session
// settings the server reports.
constexpr const char* kSetSession = "SET SESSION";
constexpr const char* kMetadataQuery = "select * from \"$ODBCJDBC\".\"DB_METADATA\" order by 1,2";

SQLPOINTER IntArg(uint64_t v) { return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(v)); }

// ASCII of a wide text; anything else shows as "?".
std::string Narrow(const SQLWCHAR* w) {
  std::string out;
  for (; *w; ++w) out.push_back(*w < 0x80 ? static_cast<char>(*w) : '?');
  return out;
}

SQLRETURN Set(SQLHANDLE dbc, const Setting& s, const std::string& value, bool wide) {
  switch (s.kind) {
    case Kind::Int:
    case Kind::Pointer:
      return QVOSetConnectAttr(dbc, s.id, IntArg(std::stoull(value)), 0);
    case Kind::Int64: {
      uint64_t v = std::stoull(value);
      return QVOSetConnectAttr(dbc, s.id, &v, 8);
    }
    case Kind::Text:
      break;
  }
  if (wide) {
    std::u16string w(value.begin(), value.end());
    return QVOSetConnectAttrW(dbc, s.id, w.data(), static_cast<SQLINTEGER>(2 * w.size()));
  }
  std::string text = value;
  return QVOSetConnectAttr(dbc, s.id, text.data(), SQL_NTS);
}

// The attribute's value as text, or "rc=N" when the read fails.
std::string Get(SQLHANDLE dbc, SQLINTEGER id, Kind kind, bool wide) {
  SQLINTEGER length = 0;
  if (kind != Kind::Text) {
    alignas(8) unsigned char bytes[16] = {};
    const SQLRETURN rc = QVOGetConnectAttr(dbc, id, bytes, sizeof bytes, &length);
    if (rc != SQL_SUCCESS) return "rc=" + std::to_string(rc);
    uint64_t v64 = 0;
    uint32_t v32 = 0;
    std::memcpy(&v64, bytes, sizeof v64);
    std::memcpy(&v32, bytes, sizeof v32);
    return std::to_string(kind == Kind::Int ? v32 : v64);
  }
  if (wide) {
    SQLWCHAR text[256] = {};
    const SQLRETURN rc = QVOGetConnectAttrW(dbc, id, text, sizeof text, &length);
    return rc == SQL_SUCCESS ? Narrow(text) : "rc=" + std::to_string(rc);
  }
  char text[256] = {};
  const SQLRETURN rc = QVOGetConnectAttr(dbc, id, text, sizeof text, &length);
  if (rc != SQL_SUCCESS) return "rc=" + std::to_string(rc);
  return text;
}

// An information type the connection answers from its settings, as text.
std::string Info(SQLHANDLE dbc, SQLUSMALLINT type, bool wide) {
  SQLSMALLINT length = 0;
  if (wide) {
    SQLWCHAR text[128] = {};
    const SQLRETURN rc =
        QVOGetInfoW(dbc, static_cast<SQLSMALLINT>(type), text, sizeof text, &length);
    return rc == SQL_SUCCESS ? Narrow(text) : "rc=" + std::to_string(rc);
  }
  char text[128] = {};
  const SQLRETURN rc = QVOGetInfo(dbc, type, text, sizeof text, &length);
  return rc == SQL_SUCCESS ? std::string(text) : "rc=" + std::to_string(rc);
}

// The diagnostics' server name of the connection.
std::string ServerName(SQLHANDLE dbc, bool wide) {
  SQLSMALLINT length = 0;
  if (wide) {
    SQLWCHAR name[64] = {};
    const SQLRETURN rc =
        QVOGetDiagFieldW(SQL_HANDLE_DBC, dbc, 0, SQL_DIAG_SERVER_NAME, name, sizeof name, &length);
    return rc == SQL_SUCCESS ? Narrow(name) : "rc=" + std::to_string(rc);
  }
  char name[64] = {};
  const SQLRETURN rc =
      QVOGetDiagField(SQL_HANDLE_DBC, dbc, 0, SQL_DIAG_SERVER_NAME, name, sizeof name, &length);
  return rc == SQL_SUCCESS ? std::string(name) : "rc=" + std::to_string(rc);
}

// Information types that read settings: search pattern escape and
// identifier quote (from answers), DBMS name and version (attribute 21046),
// user name (attribute 21006).
constexpr SQLUSMALLINT kInfoTypes[] = {14, 17, 18, 29, 47};

std::string StatesOf(SQLHANDLE stmt) {
  std::string out;
  for (const api::Record& r : api::Records(SQL_HANDLE_STMT, stmt))
    out += r.state + " " + r.text + "; ";
  return out;
}

// What went wrong in the threads, for the report at the end.
class Faults {
 public:
  void Add(std::string what) {
    std::lock_guard lock(m_);
    if (faults_.size() < 20) faults_.push_back(std::move(what));
    ++count_;
  }
  int Count() const {
    std::lock_guard lock(m_);
    return count_;
  }
  std::string Text() const {
    std::lock_guard lock(m_);
    std::string out;
    for (const std::string& f : faults_) out += f + "\n";
    return out;
  }

 private:
  mutable std::mutex m_;
  std::vector<std::string> faults_;
  int count_ = 0;
};

bool Contains(const std::vector<std::string>& values, const std::string& v) {
  return std::find(values.begin(), values.end(), v) != values.end();
}

// One round of a worker: a new statement executes, fetches every row in
// blocks (bound and through GetData, narrow and wide), reads the connection's
// settings as the statement sees them, runs a statement the server reports
// session settings for after "still executing", and is freed.
void WorkerRound(SQLHANDLE dbc, int round, const std::vector<std::string>& timeouts,
                 Faults& faults) {
  SQLHANDLE stmt = SQL_NULL_HANDLE;
  if (QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt) != SQL_SUCCESS) {
    faults.Add("allocating a statement failed");
    return;
  }
  SQLBIGINT n = -1;
  SQLLEN nInd = 0;
  if (QVOBindCol(stmt, 1, SQL_C_SBIGINT, &n, sizeof n, &nInd) != SQL_SUCCESS)
    faults.Add("binding failed");
  std::string sql = kSelect;
  if (QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS) != SQL_SUCCESS)
    faults.Add("the select failed");
  int64_t expected = 0;
  SQLRETURN rc;
  while ((rc = QVOFetch(stmt)) == SQL_SUCCESS) {
    const std::string text = "r" + std::to_string(expected);
    std::string got;
    SQLLEN ind = 0;
    if (round % 2 == 0) {
      char narrow[32] = {};
      if (QVOGetData(stmt, 2, SQL_C_CHAR, narrow, sizeof narrow, &ind) == SQL_SUCCESS) got = narrow;
    } else {
      SQLWCHAR wide[32] = {};
      if (QVOGetData(stmt, 2, SQL_C_WCHAR, wide, sizeof wide, &ind) == SQL_SUCCESS)
        for (const SQLWCHAR* w = wide; *w; ++w) got.push_back(static_cast<char>(*w));
    }
    if (n != expected || got != text)
      faults.Add("row " + std::to_string(expected) + " read as " + std::to_string(n) + ", " + got);
    ++expected;
  }
  if (rc != SQL_NO_DATA || expected != kRows)
    faults.Add("the fetch ended with " + std::to_string(rc) + " after " + std::to_string(expected));
  if (QVOCloseCursor(stmt) != SQL_SUCCESS) faults.Add("closing the cursor failed");

  SQLULEN timeout = 0;
  if (QVOGetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, &timeout, sizeof timeout, nullptr) !=
          SQL_SUCCESS ||
      !Contains(timeouts, std::to_string(timeout)))
    faults.Add("the query timeout read through a statement: " + std::to_string(timeout));
  if (QVOSetStmtAttr(stmt, 21061, IntArg(30 + static_cast<uint64_t>(round % 3)), 0) != SQL_SUCCESS)
    faults.Add("setting the feedback interval through a statement failed");

  // Every name given: attribute 10014 may make them identifiers meanwhile.
  char none[] = "", pattern[] = "%", type[] = "TABLE";
  auto text = [](char* t) { return reinterpret_cast<SQLCHAR*>(t); };
  if (QVOTables(stmt, text(none), SQL_NTS, text(pattern), SQL_NTS, text(pattern), SQL_NTS,
                text(type), SQL_NTS) != SQL_SUCCESS ||
      QVOCloseCursor(stmt) != SQL_SUCCESS)
    faults.Add("listing the tables failed: " + StatesOf(stmt));

  sql = kSetSession;
  if (QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS) != SQL_SUCCESS)
    faults.Add("the statement answered after \"still executing\" failed");
  SQLLEN count = -1;
  if (QVORowCount(stmt, &count) != SQL_SUCCESS || count != 4)
    faults.Add("its row count: " + std::to_string(count));
  if (QVOFreeHandle(SQL_HANDLE_STMT, stmt) != SQL_SUCCESS) faults.Add("freeing failed");
}

fake::Table MetadataView() {
  fake::Table t;
  t.columns = {Column::Char("NAME", 100, 100, kVarying), Column::Char("VALUE", 100, 400, kVarying)};
  t.rows = 1;
  t.value = [](int64_t, size_t column) {
    return Value::Text(column == 0 ? "supportedEncodings" : "UTF8");
  };
  return t;
}

TEST(ConnectionAttrThreadsApi, EverySettableAttributeIsReadWholeWhileStatementsRun) {
  api::Session session;
  fake::FakeNode& node = session.node;
  const SQLHANDLE dbc = session.dbc;
  // Catalog queries, whatever their text.
  node.ServeTable(fake::SqlMatch::Any(), fake::Table::Sample({Column::Char("T", 12, 12, 1)}, 2));
  node.ServeTable(
      kSelect,
      fake::Table::Sample({Column::Decimal("N", 18, 0), Column::Char("C", 12, 12, 1)}, kRows),
      fake::Blocks::OfRows(25));
  node.ServeTable(kMetadataQuery, MetadataView());
  fake::Reply settled = Answer({RowCount(4)});
  settled.attrs = {fake::Attr::Text(fake::ATTR_CURRENT_SCHEMA, "ANSWERED_SCHEMA"),
                   fake::Attr::Text(fake::ATTR_CURRENT_CATALOG, "ANSWERED_CATALOG"),
                   fake::Attr::Text(fake::ATTR_NUMERIC_CHARACTERS, ".,"),
                   fake::Attr::Text(fake::ATTR_TIMEZONE, "EUROPE/BERLIN"),
                   fake::Attr::Int32(fake::ATTR_FEEDBACK_INTERVAL, 31),
                   fake::Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 5),
                   fake::Attr::Bool(fake::ATTR_AUTOCOMMIT, true),
                   fake::Attr::Byte(fake::ATTR_TRANSACTION_STATE, 1),
                   fake::Attr::Bool(fake::ATTR_TSUTC_ENABLED, false),
                   fake::Attr::Int64(fake::ATTR_DATA_MESSAGE_SIZE, 67108864),
                   fake::Attr::Int32(fake::ATTR_MAX_IDENTIFIER_LENGTH, 128),
                   fake::Attr::Int64(fake::ATTR_MAX_VARCHAR_LENGTH, 2000000),
                   fake::Attr::Text(fake::ATTR_RELEASE_VERSION, "8.1.4"),
                   fake::Attr::Text(fake::ATTR_DATETIME_FORMAT, "YYYY-MM-DD HH24:MI:SS.FF6"),
                   fake::Attr::Text(fake::ATTR_DATE_FORMAT, "YYYY-MM-DD"),
                   fake::Attr::Text(fake::ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER, "\\"),
                   fake::Attr::Text(fake::ATTR_IDENTIFIER_QUOTE_STRING, "\"")};
  fake::Reply polled = Answer({StillExecuting("0%")});
  polled.then = {Answer({StillExecuting("50%")}), settled};
  node.OnSql(kSetSession, polled);
  node.On(fake::kGetHostnames, [](const fake::Request&, fake::FakeNode&) {
    fake::Reply r;
    r.data = Hostnames(1, {"127.0.0.1"});
    return r;
  });

  // What each attribute may read as: what it holds now, and what it will be
  // set to or be told.
  std::map<SQLINTEGER, std::vector<std::string>> allowed;
  for (const Setting& s : Settings()) {
    if (s.reads == Reads::Nothing) continue;
    std::vector<std::string>& a = allowed[s.id];
    a = s.alsoRead;
    a.push_back(Get(dbc, s.id, s.kind, false));
    if (s.reads == Reads::Echo) a.insert(a.end(), s.values.begin(), s.values.end());
  }
  // The information types as they read before, and with the other Cognos
  // setting; the escape and the quote the answers carry.
  std::map<SQLUSMALLINT, std::vector<std::string>> infos;
  for (const char* cognos : {"Y", "N"}) {
    std::string yn = cognos;
    ASSERT_EQ(QVOSetConnectAttr(dbc, 21046, yn.data(), SQL_NTS), SQL_SUCCESS);
    for (SQLUSMALLINT type : kInfoTypes) infos[type].push_back(Info(dbc, type, false));
  }
  infos[14].push_back("\\");
  infos[29].push_back("\"");
  for (const std::string& user : ValuesOf(21006)) infos[47].push_back(user);
  for (const Reading& r : Readings())
    allowed[r.id] =
        r.values.empty() && !r.grows ? std::vector{Get(dbc, r.id, r.kind, false)} : r.values;
  std::vector<std::string> timeouts = ValuesOf(0);
  timeouts.push_back("5");  // the server's
  std::vector<std::string> dsnNames = ValuesOf(21007);
  dsnNames.push_back("");

  Faults faults;
  std::atomic<int> workersLeft{kWorkers};
  auto keepGoing = [&](int pass) { return pass < kMinPasses || workersLeft.load() > 0; };

  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&, t] {
      const std::vector<Setting>& all = Settings();
      for (int pass = 0; keepGoing(pass); ++pass)
        for (size_t i = 0; i < all.size(); ++i) {
          const Setting& s = all[t == 0 ? i : all.size() - 1 - i];
          const std::string& value = s.values[static_cast<size_t>(pass + t) % s.values.size()];
          const SQLRETURN rc = Set(dbc, s, value, (pass + t) % 2 == 1);
          if (rc != s.setResult)
            faults.Add("setting " + std::to_string(s.id) + " to " + value + ": " +
                       std::to_string(rc));
        }
    });
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&, t] {
      std::map<SQLINTEGER, uint64_t> seen;
      for (int pass = 0; keepGoing(pass); ++pass) {
        for (const Setting& s : Settings()) {
          if (s.reads == Reads::Nothing) continue;
          const std::string v = Get(dbc, s.id, s.kind, (pass + t) % 2 == 1);
          if (!Contains(allowed[s.id], v))
            faults.Add("attribute " + std::to_string(s.id) + " read as \"" + v + "\"");
        }
        for (const Reading& r : Readings()) {
          const std::string v = Get(dbc, r.id, r.kind, t == 1);
          if (r.grows) {
            const bool number = !v.empty() && v[0] != 'r';
            if (!number || std::stoull(v) < seen[r.id])
              faults.Add("counter " + std::to_string(r.id) + " read as " + v);
            if (number) seen[r.id] = std::stoull(v);
          } else if (!Contains(allowed[r.id], v)) {
            faults.Add("attribute " + std::to_string(r.id) + " read as \"" + v + "\"");
          }
        }
        for (SQLUSMALLINT type : kInfoTypes) {
          const std::string v = Info(dbc, type, t == 1);
          if (!Contains(infos[type], v))
            faults.Add("information type " + std::to_string(type) + " read as \"" + v + "\"");
        }
        const std::string name = ServerName(dbc, t == 1);
        if (!Contains(dsnNames, name)) faults.Add("the diagnostics' server name: " + name);
      }
    });
  for (int t = 0; t < kWorkers; ++t)
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) WorkerRound(dbc, round, timeouts, faults);
      --workersLeft;
    });
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(faults.Count(), 0) << faults.Text();
  EXPECT_TRUE(node.Errors().empty());
  EXPECT_TRUE(node.OpenResultSets().empty());
  // The handle limit is the process's: back to the default.
  EXPECT_EQ(QVOSetConnectAttr(dbc, 21108, IntArg(0), 0), SQL_SUCCESS);
}

// A statement's execution holds the connection's requests until its answer
// comes; reading the settings beside it does not wait for that: the reads
// return while the node still holds the answer.
TEST(ConnectionAttrThreadsApi, ReadingSettingsNeverWaitsForARunningExecution) {
  std::promise<void> arrived, release;
  std::shared_future<void> released = release.get_future().share();
  api::Session session;
  const SQLHANDLE dbc = session.dbc;
  // The one execution: its answer waits until the test releases it.
  session.node.On(fake::kExecute, [&arrived, released](const fake::Request&, fake::FakeNode&) {
    arrived.set_value();
    released.wait_for(std::chrono::seconds(30));  // bounded: a failing test still ends
    return Answer({RowCount(1)});
  });

  std::atomic<bool> executed{false};
  SQLRETURN rc = SQL_ERROR;
  std::thread executing([&] {
    rc = session.Exec("SELECT 1");
    executed = true;
  });
  const bool running =
      arrived.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  EXPECT_TRUE(running);
  if (running) {
    EXPECT_EQ(Get(dbc, 21061, Kind::Int, false), "30");
    EXPECT_EQ(Get(dbc, 21007, Kind::Text, false), "");
    EXPECT_EQ(Get(dbc, 21060, Kind::Text, true), "UTF-16LE");
    EXPECT_EQ(Info(dbc, 47, false), "user");
    SQLHANDLE other = SQL_NULL_HANDLE;
    EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &other), SQL_SUCCESS);
    SQLULEN timeout = 99;
    EXPECT_EQ(QVOGetStmtAttr(other, SQL_ATTR_QUERY_TIMEOUT, &timeout, sizeof timeout, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(timeout, 0u);
    EXPECT_FALSE(executed.load()) << "the reads waited for the execution";
  }

  release.set_value();
  executing.join();
  EXPECT_EQ(rc, SQL_SUCCESS);
}

// Every line of a log stream, from its start.
std::vector<std::string> LogLines(FILE* stream) {
  std::vector<std::string> lines;
  std::rewind(stream);
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, stream) != nullptr) lines.emplace_back(buffer);
  return lines;
}

// "hh:mm:ss.mmm<TAB>thread<TAB>message", with no other line's time stamp
// inside.
bool WholeLogLine(const std::string& line) {
  static const std::regex stamp("[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}\t");
  const size_t tab = line.find('\t', 13);
  return line.size() > 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' &&
         line[12] == '\t' && tab != std::string::npos && tab > 13 &&
         std::all_of(line.begin() + 13, line.begin() + static_cast<std::ptrdiff_t>(tab),
                     [](char c) { return c >= '0' && c <= '9'; }) &&
         !std::regex_search(line.begin() + 13, line.end(), stamp);
}

// The log stream is replaced while requests on other threads write their
// lines on the connection: every line goes whole to one stream or the other.
TEST(ConnectionAttrThreadsApi, ALogStreamReplacedWhileRequestsLogGetsWholeLines) {
  api::Session session;
  session.node.On(fake::kExecute,
                  [](const fake::Request&, fake::FakeNode&) { return Answer({RowCount(1)}); });
  const SQLHANDLE dbc = session.dbc;
  // Made before logging starts, the statements log nothing themselves: every
  // line is the connection's.
  SQLHANDLE stmts[2] = {SQL_NULL_HANDLE, SQL_NULL_HANDLE};
  for (SQLHANDLE& stmt : stmts) ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  FILE* streams[2] = {std::tmpfile(), std::tmpfile()};
  ASSERT_TRUE(streams[0] && streams[1]);
  ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE, streams[0], 0), SQL_SUCCESS);
  ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FULL, IntArg(1), 0), SQL_SUCCESS);

  std::atomic<int> failures{0};
  // The requests start once the stream was first replaced: a replacer that
  // came late would find them done.
  std::atomic<int> replaced{0};
  std::vector<std::thread> requests;
  for (SQLHANDLE stmt : stmts)
    requests.emplace_back([&failures, &replaced, stmt] {
      while (replaced.load() == 0) std::this_thread::yield();
      for (int i = 0; i < 40; ++i) {
        std::string sql = "SELECT 1";
        if (QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS) != SQL_SUCCESS)
          ++failures;
        QVOFreeStmt(stmt, SQL_CLOSE);
      }
    });
  std::thread replacing([&] {
    for (int i = 1; i <= 200; ++i) {
      if (QVOSetConnectAttr(dbc, QVO_LOG_FILE, streams[i % 2], 0) != SQL_SUCCESS) ++failures;
      ++replaced;
    }
  });
  for (std::thread& t : requests) t.join();
  replacing.join();
  EXPECT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FULL, IntArg(0), 0), SQL_SUCCESS);
  EXPECT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(failures.load(), 0);

  int lines = 0;
  for (FILE* f : streams) {
    for (const std::string& line : LogLines(f)) {
      ++lines;
      EXPECT_TRUE(WholeLogLine(line)) << line;
    }
    std::fclose(f);
  }
  EXPECT_GT(lines, 0);
}

// Statements made after the stream was handed over write it too: each from
// its own thread, beside the connection's lines. The application gives no
// lock for the stream, yet no line runs into another.
TEST(ConnectionAttrThreadsApi, HandlesSharingALogStreamWriteWholeLines) {
  api::Session session;
  session.node.On(fake::kExecute,
                  [](const fake::Request&, fake::FakeNode&) { return Answer({RowCount(1)}); });
  const SQLHANDLE dbc = session.dbc;
  FILE* stream = std::tmpfile();
  ASSERT_TRUE(stream);
  ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE, stream, 0), SQL_SUCCESS);
  ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FULL, IntArg(1), 0), SQL_SUCCESS);

  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&failures, dbc] {
      SQLHANDLE stmt = SQL_NULL_HANDLE;
      if (QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt) != SQL_SUCCESS) {
        ++failures;
        return;
      }
      for (int i = 0; i < 100; ++i) {
        std::string sql = "SELECT 1";
        if (QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS) != SQL_SUCCESS)
          ++failures;
        QVOFreeStmt(stmt, SQL_CLOSE);
      }
      if (QVOFreeHandle(SQL_HANDLE_STMT, stmt) != SQL_SUCCESS) ++failures;
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FULL, IntArg(0), 0), SQL_SUCCESS);
  EXPECT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(failures.load(), 0);

  std::set<std::string> writers;
  for (const std::string& line : LogLines(stream)) {
    EXPECT_TRUE(WholeLogLine(line)) << line;
    if (WholeLogLine(line)) writers.insert(line.substr(13, line.find('\t', 13) - 13));
  }
  std::fclose(stream);
  EXPECT_EQ(writers.size(), 4u) << "every thread wrote its lines";
}

// Every record of the handle as "SQLSTATE text", read with QVOGetDiagRecW;
// anything but ASCII shows as "?".
std::vector<std::string> WideStatesAndTexts(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<std::string> out;
  for (SQLSMALLINT n = 1;; ++n) {
    SQLWCHAR state[6] = {};
    SQLWCHAR text[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (QVOGetDiagRecW(type, handle, n, state, &native, text, 512, &length) != SQL_SUCCESS) break;
    out.push_back(Narrow(state) + " " + Narrow(text));
  }
  return out;
}

// Several threads raise records on one connection at once (texts of
// information types cut and failing in both widths, attribute calls
// refused), beside statements that raise their own (texts cut and failing):
// every record read back is whole, its SQLSTATE with its own text; on a
// statement, exactly the records of its own last call.
TEST(ConnectionAttrThreadsApi, RecordsRaisedAtOnceKeepTheirOwnTexts) {
  api::Session session;
  const SQLHANDLE dbc = session.dbc;
  constexpr const char* kTexts = "SELECT T FROM TEXTS";
  fake::Table texts;
  texts.columns = {Column::Char("T", 20, 80, kVarying | kUtf8)};
  texts.rows = 2;
  texts.value = [](int64_t row, size_t) {
    return Value::Text(row == 0 ? "abcdefgh"
                                : "\xE2\x82\xAC"
                                  "uro");
  };
  session.node.ServeTable(kTexts, texts);
  // A session the node refuses to end, in words no narrow or wide code set
  // of the application holds: read back, the record gives way to the
  // converter's reason, which names where the text failed.
  session.node.On(fake::kSessionKill, [](const fake::Request&, fake::FakeNode&) {
    return fake::ExceptionReply("42500", "\U0001F600 no");
  });
  // The data source name holds a character beyond UCS-2 and one beyond
  // ISO-8859-1: read as an information type it fails in both widths.
  std::u16string dsn = u"\U0001F600\u20AC";
  ASSERT_EQ(QVOSetConnectAttrW(dbc, 21007, dsn.data(), static_cast<SQLINTEGER>(2 * dsn.size())),
            SQL_SUCCESS);
  for (auto [id, codeSet] : {std::pair{21048, "ISO-8859-1"}, std::pair{21049, "ISO-8859-1"},
                             std::pair{21060, "UCS-2LE"}}) {
    std::string text = codeSet;
    ASSERT_EQ(QVOSetConnectAttr(dbc, id, text.data(), SQL_NTS), SQL_SUCCESS) << id;
  }

  constexpr int kConnectionThreads = 4;
  constexpr int kStatementThreads = 4;
  constexpr int kCalls = 150;
  constexpr int kStatementRounds = 25;
  const std::string prefix = "[OSTRANA][Vandrel driver]";
  // Every record a connection call may leave, as "SQLSTATE text".
  const std::string cannotConvert =
      "42500 Error converting error message. Cannot convert from UTF-8 to ";
  const std::string atTheServersText = ": invalid or unconvertible character at byte 25.";
  std::vector<std::string> connectionRecords = {
      "01004 " + prefix + "String data, right truncated.",
      "HY923 " + prefix + "Error converting string value.",
      cannotConvert + "ISO-8859-1" + atTheServersText,
      cannotConvert + "UCS-2LE" + atTheServersText};
  auto unknownSet = [](int t) { return 25000 + t; };
  auto unknownRead = [](int t) { return 26000 + t; };
  for (int t = 0; t < kConnectionThreads; ++t) {
    connectionRecords.push_back("HY024 " + prefix +
                                "Trying to set an unknown connection attribute. Attribute type: " +
                                std::to_string(unknownSet(t)) + ".");
    connectionRecords.push_back("HY024 " + prefix +
                                "Trying to read an unknown connection attribute. Attribute type: " +
                                std::to_string(unknownRead(t)) + ".");
  }

  Faults faults;
  std::vector<std::thread> threads;
  for (int t = 0; t < kConnectionThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        SQLRETURN expected = SQL_ERROR;
        SQLRETURN rc = SQL_SUCCESS;
        char narrow[64] = {};
        SQLWCHAR wide[32] = {};
        SQLSMALLINT length = 0;
        SQLINTEGER value = 0;
        const int64_t killed = 7001;
        switch ((i + t) % 7) {
          case 0:  // "user" into 3 bytes
            expected = SQL_SUCCESS_WITH_INFO;
            rc = QVOGetInfo(dbc, SQL_USER_NAME, narrow, 3, &length);
            break;
          case 1:  // one character and the terminator
            expected = SQL_SUCCESS_WITH_INFO;
            rc = QVOGetInfoW(dbc, SQL_USER_NAME, wide, 4, &length);
            break;
          case 2:
            rc = QVOGetInfo(dbc, SQL_DATA_SOURCE_NAME, narrow, sizeof narrow, &length);
            break;
          case 3:
            rc = QVOGetInfoW(dbc, SQL_DATA_SOURCE_NAME, wide, sizeof wide, &length);
            break;
          case 4:
            rc = QVOSetConnectAttr(dbc, unknownSet(t), IntArg(1), 0);
            break;
          case 5:
            rc = QVOGetConnectAttr(dbc, unknownRead(t), &value, sizeof value, nullptr);
            break;
          case 6:
            rc = QVOSetConnectAttr(dbc, 21042, const_cast<int64_t*>(&killed), 8);
            break;
        }
        if (rc != expected)
          faults.Add("connection call " + std::to_string((i + t) % 7) + ": " + std::to_string(rc));
        for (const std::string& r : i % 2 ? WideStatesAndTexts(SQL_HANDLE_DBC, dbc)
                                          : api::StatesAndTexts(SQL_HANDLE_DBC, dbc))
          if (!Contains(connectionRecords, r)) faults.Add("a connection record: " + r);
      }
    });
  for (int t = 0; t < kStatementThreads; ++t)
    threads.emplace_back([&] {
      SQLHANDLE stmt = SQL_NULL_HANDLE;
      if (QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt) != SQL_SUCCESS) {
        faults.Add("allocating a statement failed");
        return;
      }
      auto expect = [&](const char* what, SQLRETURN rc, SQLRETURN expected,
                        const std::vector<std::string>& records) {
        const std::vector<std::string> got = api::StatesAndTexts(SQL_HANDLE_STMT, stmt);
        if (rc == expected && got == records) return;
        std::string all;
        for (const std::string& r : got) all += "; " + r;
        faults.Add(std::string(what) + ": " + std::to_string(rc) + all);
      };
      // The statement's parameter descriptor shares its Translator; it refuses
      // a record number on another thread meanwhile. Its records add up.
      SQLHANDLE apd = SQL_NULL_HANDLE;
      if (QVOGetStmtAttr(stmt, SQL_ATTR_APP_PARAM_DESC, &apd, sizeof apd, nullptr) != SQL_SUCCESS)
        faults.Add("the statement's parameter descriptor");
      std::atomic<bool> done{false};
      std::thread refusing([&] {
        const std::string refused = "07009 " + prefix + "Invalid descriptor index.";
        for (int i = 0; i < kStatementRounds || (i < 8 * kStatementRounds && !done.load()); ++i) {
          const SQLRETURN rc = QVOSetDescField(apd, 0, SQL_DESC_TYPE, IntArg(SQL_C_CHAR), 0);
          const std::vector<std::string> got = api::StatesAndTexts(SQL_HANDLE_DESC, apd);
          if (rc != SQL_ERROR || got.size() != static_cast<size_t>(i) + 1)
            faults.Add("a record number refused: " + std::to_string(rc) + ", records " +
                       std::to_string(got.size()));
          for (const std::string& r : got)
            if (r != refused) faults.Add("a descriptor record: " + r);
        }
      });
      for (int round = 0; round < kStatementRounds; ++round) {
        std::string sql = kTexts;
        expect("the select", QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS),
               SQL_SUCCESS, {});
        char text[16] = {};
        SQLLEN ind = 0;
        expect("the first fetch", QVOFetch(stmt), SQL_SUCCESS, {});
        expect("a text cut", QVOGetData(stmt, 1, SQL_C_CHAR, text, 4, &ind), SQL_SUCCESS_WITH_INFO,
               {"01004 " + prefix + "Data truncated."});
        expect("the second fetch", QVOFetch(stmt), SQL_SUCCESS, {});
        expect("a text the code set cannot hold",
               QVOGetData(stmt, 1, SQL_C_CHAR, text, sizeof text, &ind), SQL_ERROR,
               {"HY000 " + prefix +
                "Character set conversion error or output buffer to small: Cannot convert from "
                "UTF-8 to ISO-8859-1: invalid or unconvertible character at byte 0. column 1, "
                "cursor position 2, codepage ISO-8859-1."});
        expect("closing", QVOCloseCursor(stmt), SQL_SUCCESS, {});
      }
      done = true;
      refusing.join();
      QVOFreeHandle(SQL_HANDLE_STMT, stmt);
    });
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(faults.Count(), 0) << faults.Text();
  EXPECT_TRUE(session.node.Errors().empty());
}

}  // namespace
