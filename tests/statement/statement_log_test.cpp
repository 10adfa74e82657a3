// The log lines of statement calls with full logging on, as the stream handed
// to the connection receives them: each row a call and the lines it must
// write one after the other, each with its own time stamp and thread.
#include <fnmatch.h>
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
// for text the printable ones again as characters from column 120, 160
// columns.
std::string DumpLine(const std::string& bytes, bool text = true) {
  std::string line(160, ' ');
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    line[3 * i] = kHex[b >> 4];
    line[3 * i + 1] = kHex[b & 15];
    if (text && b >= 32 && b <= 125) line[120 + i] = static_cast<char>(b);
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

// Whether a message is what a pattern says: "*" stands for any text (an
// address, a buffer's size), "\\*" for a star.
bool Matches(const std::string& message, const std::string& pattern) {
  return fnmatch(pattern.c_str(), message.c_str(), 0) == 0;
}

// Whether messages matching `lines` follow one another somewhere.
bool Contains(const std::vector<std::string>& messages, const std::vector<std::string>& lines) {
  for (size_t i = 0; i + lines.size() <= messages.size(); ++i) {
    size_t k = 0;
    while (k < lines.size() && Matches(messages[i + k], lines[k])) ++k;
    if (k == lines.size()) return true;
  }
  return false;
}

// Prepares `sql` and executes it with one parameter of `rows` values bound
// column-wise; values asked for at execution are supplied as "xy".
SQLRETURN ExecuteWithRows(SQLHSTMT h, const char* sql, SQLSMALLINT cType, SQLSMALLINT sqlType,
                          void* data, SQLLEN bufferLength, SQLLEN* indicators, SQLULEN rows) {
  if (QVOPrepare(h, U(sql), SQL_NTS) != SQL_SUCCESS ||
      QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, IntArg(static_cast<SQLLEN>(rows)), 0) !=
          SQL_SUCCESS ||
      QVOBindParameter(h, 1, SQL_PARAM_INPUT, cType, sqlType, 20, 0, data, bufferLength,
                       indicators) != SQL_SUCCESS)
    return SQL_ERROR;
  SQLRETURN rc = QVOExecute(h);
  for (SQLPOINTER token = nullptr; rc == SQL_NEED_DATA;) {
    rc = QVOParamData(h, &token);
    if (rc == SQL_NEED_DATA && QVOPutData(h, U("xy"), 2) != SQL_SUCCESS) return SQL_ERROR;
  }
  return rc;
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
  // A parameter's line: any addresses, the rest as given.
  const auto param = [](int row, int bufferLength, int indicator, const std::string& type) {
    return " === Offset=" + std::to_string(row) +
           ", Param=1, BufferLength=" + std::to_string(bufferLength) +
           ", paramValuePtr=0x*, strLenPtr=0x*, \\*strLenPtr=" + std::to_string(indicator) + ", " +
           type + " === ";
  };
  const std::string charType = "cType=1 (SQL_C_CHAR), qvoType=_VARCHAR";
  const auto threeRows = [](SQLHSTMT h) {
    char text[3][4] = {"a", "b", "c"};
    SQLLEN ind[3] = {1, 1, 1};
    return ExecuteWithRows(h, kInsert, SQL_C_CHAR, SQL_VARCHAR, text, 4, ind, 3);
  };
  struct Case {
    const char* what;
    std::function<SQLRETURN(SQLHSTMT)> call;
    std::vector<std::string> lines;
    std::vector<std::string> absent = {};
    SQLLEN logLines = 1000;
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
      {"Execute: each row's parameter, its length measured and its bytes, in the block's frame",
       [](SQLHSTMT h) {
         char text[2][4] = {"ab", "cde"};
         SQLLEN ind[2] = {SQL_NTS, 3};
         return ExecuteWithRows(h, kInsert, SQL_C_CHAR, SQL_VARCHAR, text, 4, ind, 2);
       },
       {"APD->header.bindType=0, preparedBufferLen=*", param(0, 4, SQL_NTS, charType),
        "strlen((char*)paramValuePtr)=2", DumpLine("ab"), param(1, 4, 3, charType), DumpLine("cde"),
        " ParameterSet complete. Offset=61, paramStart=0, paramNum=2", "SetNumRowsInHeader: 2",
        "Sending block containing 2 parameter rows."}},
      {"Execute with the log-lines setting -1: the first row and the last",
       threeRows,
       {param(0, 4, 1, charType), DumpLine("a"), param(2, 4, 1, charType), DumpLine("c")},
       {param(1, 4, 1, charType)},
       -1},
      {"Execute with the log-lines setting 2: the first two rows",
       threeRows,
       {param(0, 4, 1, charType), DumpLine("a"), param(1, 4, 1, charType), DumpLine("b")},
       {param(2, 4, 1, charType)},
       2},
      {"Execute with a GUID: its text",
       [](SQLHSTMT h) {
         SQLGUID guid{0x0000ABCD, 0x0001, 0x0A0B, {0, 1, 2, 3, 4, 5, 6, 7}};
         SQLLEN ind = 0;
         return ExecuteWithRows(h, kInsert, SQL_C_GUID, SQL_GUID, &guid, 16, &ind, 1);
       },
       {param(0, 16, 0, "cType=-11 (SQL_C_GUID), qvoType=_VARCHAR"),
        DumpLine(std::string("\xCD\xAB\0\0\x01\0\x0B\x0A\0\x01\x02\x03\x04\x05\x06\x07", 16),
                 false),
        " GuidString - 0000ABCD-0001-0A0B-0001-020304050607"}},
      {"Execute with a value supplied at execution: no bytes of the buffer",
       [](SQLHSTMT h) {
         char text[4] = "zz";
         SQLLEN ind = SQL_DATA_AT_EXEC;
         return ExecuteWithRows(h, kInsert, SQL_C_CHAR, SQL_VARCHAR, text, 4, &ind, 1);
       },
       {param(0, 4, SQL_DATA_AT_EXEC, charType),
        "Long data in parameter:", " ParameterSet complete. Offset=53, paramStart=0, paramNum=1"}},
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
    // -1 has no attribute value (the attribute's is zero-extended).
    Stmt(h)->logFileLines = c.logLines;
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
    for (const std::string& line : c.absent) EXPECT_FALSE(Contains(messages, {line})) << line;
  }
}

}  // namespace
