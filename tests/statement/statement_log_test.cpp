// The log lines of statement calls with full logging on, as the stream handed
// to the connection receives them: each row a call and the lines it must
// write one after the other, each with its own time stamp and thread.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "qvo/qvoAttributes.h"
#include "statement_fixture.h"
#include "support/fake_prepared.h"

namespace {

SQLPOINTER IntArg(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }
SQLCHAR* U(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

// A data-block line: each byte as two hex digits and a blank from column 0,
// the printable ones again as characters from column 120, 160 columns.
std::string DumpLine(const std::string& bytes) {
  std::string line(160, ' ');
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    line[3 * i] = kHex[b >> 4];
    line[3 * i + 1] = kHex[b & 15];
    if (b >= 32 && b <= 125) line[120 + i] = static_cast<char>(b);
  }
  return line;
}

// The messages of a log, one per line: what follows "hh:mm:ss.mmm<TAB>
// thread<TAB>"; a line without that lead is kept whole, so that it never
// matches an expected message.
std::vector<std::string> Messages(FILE* log) {
  std::fflush(log);
  std::rewind(log);
  std::vector<std::string> out;
  std::string text;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, log)) > 0;) text.append(chunk, n);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    const size_t tab =
        line.size() > 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' && line[12] == '\t'
            ? line.find('\t', 13)
            : std::string::npos;
    out.push_back(tab == std::string::npos ? "(no lead) " + line : line.substr(tab + 1));
    at = end + 1;
  }
  return out;
}

// Whether `lines` follow one another somewhere in `messages`.
bool Contains(const std::vector<std::string>& messages, const std::vector<std::string>& lines) {
  for (size_t i = 0; i + lines.size() <= messages.size(); ++i) {
    size_t k = 0;
    while (k < lines.size() && messages[i + k] == lines[k]) ++k;
    if (k == lines.size()) return true;
  }
  return false;
}

class StatementLogTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    SetProtocol(13);
    conn->fastMetadata = true;
    conn->columnsMicroCache = true;
    using namespace fake::results;
    node.On(fake::kExecute,
            [](const fake::Request&, fake::FakeNode&) { return Answer({RowCount(1)}); });
    // A lookup that finds no column.
    node.On(fake::kGetColumns, [](const fake::Request&, fake::FakeNode&) {
      return Answer({ResultSet(-3, {Column::Char("TABLE_CAT", 128, 512, kVarying)}, 0, 0, {})});
    });
    fake::ServePrepared(node, kInsert, 5, {Column::Decimal("P1", 18, 0)}, nullptr);
    log = std::tmpfile();
    ASSERT_NE(log, nullptr);
  }
  void TearDown() override {
    QVOSetConnectAttr(dbc, QVO_LOG_FULL, IntArg(0), 0);
    QVOSetConnectAttr(dbc, QVO_LOG_FILE, nullptr, 0);
    StatementTest::TearDown();
    std::fclose(log);
  }

  static constexpr const char* kInsert =
      "INSERT INTO a_table_with_a_long_name VALUES (?)";  // 47 bytes: two dump lines
  FILE* log = nullptr;
};

TEST_F(StatementLogTest, CallsWriteTheirLinesInOrder) {
  const std::string converters =
      " - CurrentCodepages: dataConverter(UTF-8), sqlConverter(ISO-8859-1), "
      "wcharSqlConverter(UTF-16BE), wcharDataConverter(UTF-16LE)";
  const std::string insert = kInsert;
  struct Case {
    const char* what;
    std::function<SQLRETURN(SQLHSTMT)> call;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"ExecDirect: the text, then the text as a data block",
       [](SQLHSTMT h) { return QVOExecDirect(h, U("SELECT 1"), SQL_NTS); },
       {" StringLength = 8 (SQL after conversion to UTF-8)", " Statement = SELECT 1",
        DumpLine("SELECT 1")}},
      {"Prepare: the text, then the text as a data block of two lines",
       [](SQLHSTMT h) { return QVOPrepare(h, U(kInsert), SQL_NTS); },
       {" StringLength = 47", " StringLength = 47 (SQL after conversion to UTF-8)",
        " Statement = " + insert, DumpLine(insert.substr(0, 40)), DumpLine(insert.substr(40)),
        "Parameter holders found in statement=1"}},
      {"Columns by the lookup: its arguments a line each, the converters, then the flags",
       [](SQLHSTMT h) {
         return QVOColumns(h, nullptr, 0, U("S"), SQL_NTS, U("T"), SQL_NTS, U("C%"), SQL_NTS);
       },
       {"successCatalog=100", "catalog=", "successSchema=0", "schema=S", "successTable=0",
        "table=T", "successColumn=0", "column=C%", "qvoStatement::ExecGetColumns" + converters,
        "  (s_like=true, t_like=true, c_like=true, odbcVer=3)"}},
      {"Columns into the cache: the same two lines",
       [](SQLHSTMT h) {
         return QVOColumns(h, nullptr, 0, U("S"), SQL_NTS, U("T"), SQL_NTS, U("C"), SQL_NTS);
       },
       {"Fill columnsMicroCache with data from fastMetadata", "successCatalog=100",
        "successSchema=0", "successTable=0", "successColumn=0",
        "qvoStatement::ExecGetColumns" + converters,
        "  (s_like=true, t_like=true, c_like=true, odbcVer=3)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(std::fflush(log), 0);
    ASSERT_EQ(ftruncate(fileno(log), 0), 0);
    std::rewind(log);
    // The statement takes the log as it is when it is made.
    ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FILE, log, 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetConnectAttr(dbc, QVO_LOG_FULL, IntArg(1), 0), SQL_SUCCESS);
    SQLHSTMT h = NewStatement();
    for (const auto& [attribute, codeSet] : {std::pair{QVO_ANSI_DATA_ENCODING, "UTF-8"},
                                             std::pair{QVO_ANSI_ARG_ENCODING, "ISO-8859-1"},
                                             std::pair{QVO_UNICODE_ARG_ENCODING, "UTF-16BE"},
                                             std::pair{QVO_UNICODE_DATA_ENCODING, "UTF-16LE"}})
      ASSERT_EQ(QVOSetStmtAttr(h, attribute, U(codeSet), SQL_NTS), SQL_SUCCESS) << attribute;
    EXPECT_EQ(c.call(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    QVOFreeHandle(SQL_HANDLE_STMT, h);
    const std::vector<std::string> messages = Messages(log);
    std::string all;
    for (const std::string& m : messages) all += m + "\n";
    EXPECT_TRUE(Contains(messages, c.lines)) << all;
  }
}

}  // namespace
