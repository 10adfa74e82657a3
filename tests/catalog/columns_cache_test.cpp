// QVOColumns with fast metadata on a protocol 13 node: the micro-cache (one
// column lookup for all columns of a table, later calls answered locally),
// when it is used and when it is dropped, and that its fill leaves the
// application's bindings alone.
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalog/qvoColumnsCache.h"
#include "catalog_fixture.h"
#include "qvo/qvoAttributes.h"
#include "result_reading.h"

namespace {

using catalog_test::DefaultValue;
using catalog_test::Long;
using catalog_test::Short;

SQLCHAR* U(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

// One column of the table the node describes.
struct TableColumn {
  std::string name;
  int32_t dataType;
  std::optional<std::string> remarks;
  std::optional<std::string> columnDef;
  int64_t ordinal;
};

class ColumnsCacheTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    SetProtocol(13);
    conn->fastMetadata = true;
    conn->columnsMicroCache = true;
    table = {{"C", SQL_INTEGER, "counter", std::nullopt, 1},
             {"D", SQL_VARCHAR, "", "'x'", 2},
             {"E", SQL_DOUBLE, std::nullopt, "", 3}};
    node.On(fake::kGetColumns, [this](const fake::Request&, fake::FakeNode&) { return Lookup(); });
  }

  // The lookup's answer: every column of `table`, in the 18 columns.
  fake::Reply Lookup() const {
    using namespace fake::results;
    const uint8_t text = kVarying | kUtf8;
    std::vector<Column> cols = {Column::Char("TABLE_CAT", 128, 512, text),
                                Column::Char("TABLE_SCHEM", 128, 512, text),
                                Column::Char("TABLE_NAME", 128, 512, text),
                                Column::Char("COLUMN_NAME", 4000, 16000, text),
                                Column::SmallDecimal("DATA_TYPE", 5, 0),
                                Column::Char("TYPE_NAME", 40, 160, text),
                                Column::Decimal("COLUMN_SIZE", 18, 0),
                                Column::Decimal("BUFFER_LENGTH", 18, 0),
                                Column::SmallDecimal("DECIMAL_DIGITS", 5, 0),
                                Column::SmallDecimal("NUM_PREC_RADIX", 5, 0),
                                Column::SmallDecimal("NULLABLE", 5, 0),
                                Column::Char("REMARKS", 4000, 16000, text),
                                Column::Char("COLUMN_DEF", 4000, 16000, text),
                                Column::SmallDecimal("SQL_DATA_TYPE", 5, 0),
                                Column::SmallDecimal("SQL_DATETIME_SUB", 5, 0),
                                Column::Decimal("CHAR_OCTET_LENGTH", 18, 0),
                                Column::SmallDecimal("ORDINAL_POSITION", 9, 0),
                                Column::Char("IS_NULLABLE", 3, 12, text)};
    std::vector<std::vector<Value>> values(cols.size());
    auto opt = [](const std::optional<std::string>& t) {
      return t ? Value::Text(*t) : Value::Null();
    };
    for (const TableColumn& c : table) {
      const std::vector<Value> row = {Value::Null(),
                                      Value::Text("S"),
                                      Value::Text("T"),
                                      Value::Text(c.name),
                                      Value::Int32(c.dataType),
                                      Value::Text("TYPE" + c.name),
                                      Value::Int64(10 + c.ordinal),
                                      Value::Int64(20 + c.ordinal),
                                      Value::Int32(0),
                                      Value::Int32(10),
                                      Value::Int32(1),
                                      opt(c.remarks),
                                      opt(c.columnDef),
                                      Value::Int32(c.dataType),
                                      Value::Null(),
                                      Value::Int64(40 + c.ordinal),
                                      Value::Int32(static_cast<int32_t>(c.ordinal)),
                                      Value::Text("YES")};
      for (size_t i = 0; i < row.size(); ++i) values[i].push_back(row[i]);
    }
    const auto n = static_cast<int64_t>(table.size());
    return Answer({ResultSet(-3, cols, n, n, RowBlock(values))});
  }

  // Values of the current row as SQL_C_DEFAULT reads them.
  static std::vector<std::string> ExpectedRow(const TableColumn& c) {
    auto opt = [](const std::optional<std::string>& t) { return t ? *t : std::string("NULL"); };
    return {"NULL",
            "S",
            "T",
            c.name,
            Short(static_cast<int16_t>(c.dataType)),
            "TYPE" + c.name,
            Long(static_cast<int32_t>(10 + c.ordinal)),
            Long(static_cast<int32_t>(20 + c.ordinal)),
            Short(0),
            Short(10),
            Short(1),
            opt(c.remarks),
            opt(c.columnDef),
            Short(static_cast<int16_t>(c.dataType)),
            "NULL",
            Long(static_cast<int32_t>(40 + c.ordinal)),
            Long(static_cast<int32_t>(c.ordinal)),
            "YES"};
  }

  std::vector<std::vector<std::string>> FetchAll(SQLHSTMT h) {
    // Widths of the default C types of the columns result; 0: text.
    const size_t widths[] = {0, 0, 0, 0, 2, 0, 4, 4, 2, 2, 2, 0, 0, 2, 2, 4, 4, 0};
    std::vector<std::vector<std::string>> rows;
    while (QVOFetch(h) == SQL_SUCCESS) {
      std::vector<std::string> row;
      for (SQLUSMALLINT col = 1; col <= 18; ++col)
        row.push_back(DefaultValue(h, col, widths[col - 1]));
      rows.push_back(row);
    }
    return rows;
  }

  SQLRETURN Columns(SQLHSTMT h, const char* tableName, const char* column) {
    return QVOColumns(h, nullptr, 0, U("S"), SQL_NTS, tableName ? U(tableName) : nullptr, SQL_NTS,
                      column ? U(column) : nullptr, SQL_NTS);
  }
  size_t Lookups() const { return RequestsOf(fake::kGetColumns).size(); }

  std::vector<TableColumn> table;
};

TEST_F(ColumnsCacheTest, OneLookupServesTheColumnsOfATableOneByOne) {
  ASSERT_EQ(Columns(stmt, "T", "C"), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(Lookups(), 1u);
  // The fill asks for every column of the table: no column name, LIKE on.
  const fake::Bytes request = RequestsOf(fake::kGetColumns)[0].data;
  const fake::Bytes tail = {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 3, 0, 0, 0};
  ASSERT_GE(request.size(), tail.size());
  EXPECT_EQ(fake::Bytes(request.end() - tail.size(), request.end()), tail);
  EXPECT_EQ(FetchAll(stmt), (std::vector<std::vector<std::string>>{ExpectedRow(table[0])}));
  EXPECT_EQ(s->SqlCallType(), 2);

  struct Case {
    const char* column;
    std::vector<size_t> rows;  // indexes into table
  };
  const Case cases[] = {
      {"D", {1}},
      {"E", {2}},
      {"X", {}},  // no such column: nothing, not every column
      {"C", {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    ASSERT_EQ(Columns(stmt, "T", c.column), SQL_SUCCESS) << LastDiag(*s);
    std::vector<std::vector<std::string>> expected;
    for (size_t i : c.rows) expected.push_back(ExpectedRow(table[i]));
    EXPECT_EQ(FetchAll(stmt), expected);
  }
  EXPECT_EQ(Lookups(), 1u);
  EXPECT_EQ(RequestsOf(fake::kExecute).size(), 0u);
}

TEST_F(ColumnsCacheTest, WhichPathACallTakes) {
  enum class Path { Cache, Direct, Sql };
  struct Case {
    const char* name;
    const char* table;
    const char* column;
    int protocol;
    bool fastMetadata;
    bool force;
    bool metadataId;
    Path path;
  };
  const Case cases[] = {
      {"plain names", "T", "C", 13, true, false, false, Path::Cache},
      {"pattern column", "T", "C%", 13, true, false, false, Path::Direct},
      {"null column", "T", nullptr, 13, true, false, false, Path::Direct},
      {"pattern table", "T_", "C", 13, true, false, false, Path::Direct},
      {"forced, pattern column", "T", "%", 13, true, true, false, Path::Cache},
      {"identifiers", "t", "c", 13, true, false, true, Path::Cache},
      {"protocol 12", "T", "C", 12, true, false, false, Path::Sql},
      {"no fast metadata", "T", "C", 13, false, false, false, Path::Sql},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetProtocol(c.protocol);
    conn->fastMetadata = c.fastMetadata;
    conn->forceColumnsMicroCache = c.force;
    SQLHSTMT h = NewStatement();
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_METADATA_ID,
                             reinterpret_cast<SQLPOINTER>(c.metadataId ? 1 : 0), 0),
              SQL_SUCCESS);
    const size_t lookups = Lookups(), executes = RequestsOf(fake::kExecute).size();
    ASSERT_EQ(Columns(h, c.table, c.column), SQL_SUCCESS) << LastDiag(*Stmt(h));
    const bool lookedUp = Lookups() == lookups + 1;
    const bool executed = RequestsOf(fake::kExecute).size() == executes + 1;
    EXPECT_EQ(lookedUp, c.path != Path::Sql);
    EXPECT_EQ(executed, c.path == Path::Sql);
    EXPECT_EQ(Stmt(h)->resultHandle == QVO_RESULT_COLUMNS_CACHE, c.path == Path::Cache);
    if (c.path == Path::Cache) {
      // Answered from the cache: a second call asks nothing.
      ASSERT_EQ(Columns(h, c.table, c.column), SQL_SUCCESS);
      EXPECT_EQ(Lookups(), lookups + 1);
    }
    if (c.path == Path::Direct) {
      // The column field went to the server as given: its length (-1 for an
      // absent column, never an empty text) and bytes, then the LIKE flag and
      // two 4-byte numbers close the request.
      const fake::Bytes data = RequestsOf(fake::kGetColumns).back().data;
      fake::Bytes field;
      const size_t n = c.column ? std::strlen(c.column) : 0;
      fake::PutLE(field, c.column ? static_cast<uint32_t>(n) : 0xFFFFFFFFu, 4);
      if (c.column) field.insert(field.end(), c.column, c.column + n);
      const size_t tail = 1 + 4 + 4;
      ASSERT_GE(data.size(), field.size() + tail);
      EXPECT_EQ(fake::Bytes(data.end() - static_cast<std::ptrdiff_t>(tail + field.size()),
                            data.end() - static_cast<std::ptrdiff_t>(tail)),
                field);
    }
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

TEST_F(ColumnsCacheTest, IdentifierRulesMatchTheStoredCase) {
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_METADATA_ID, reinterpret_cast<SQLPOINTER>(1), 0),
            SQL_SUCCESS);
  table.push_back({"COL", SQL_INTEGER, std::nullopt, std::nullopt, 4});
  table.push_back({"mixed", SQL_INTEGER, std::nullopt, std::nullopt, 5});
  struct Case {
    const char* column;
    std::vector<size_t> rows;
  };
  const Case cases[] = {
      {"col", {3}},        // folded: COL
      {"\"COL\"", {3}},    // quoted, stored exactly so
      {"\"col\"", {}},     // quoted, no column stored as col
      {"\"mixed\"", {4}},  // quoted keeps its case
      {"Mixed", {4}},      // unquoted: compared with the stored name upper-cased
      {"\"Mixed\"", {}},   // quoted: exactly
      {"d", {}},           // one character is never folded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    ASSERT_EQ(QVOColumns(stmt, nullptr, 0, U("S"), SQL_NTS, U("T"), SQL_NTS, U(c.column), SQL_NTS),
              SQL_SUCCESS)
        << LastDiag(*s);
    std::vector<std::vector<std::string>> expected;
    for (size_t i : c.rows) expected.push_back(ExpectedRow(table[i]));
    EXPECT_EQ(FetchAll(stmt), expected);
  }
  EXPECT_EQ(Lookups(), 1u);
}

TEST_F(ColumnsCacheTest, DroppedByExecuteCancelCommitAndRollbackOfItsConnectionOnly) {
  // A second connection on its own node keeps its cache through all of it.
  fake::FakeNode otherNode;
  otherNode.On(fake::kGetColumns,
               [this](const fake::Request&, fake::FakeNode&) { return Lookup(); });
  SQLHDBC otherDbc = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &otherDbc), SQL_SUCCESS);
  auto* other = static_cast<qvoConnection*>(GetHandlePtr(otherDbc));
  other->ImMainNode = true;
  other->connAttr.connType = 1;
  other->Socket = std::make_unique<qvoSocket>(other, fake::ConnectTcp(otherNode.Port()));
  other->SetProtocollVer(13);
  SQLHSTMT otherStmt = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, otherDbc, &otherStmt), SQL_SUCCESS);
  Stmt(otherStmt)->SetProtocollVer(13);
  ASSERT_EQ(Columns(otherStmt, "T", "C"), SQL_SUCCESS) << LastDiag(*Stmt(otherStmt));

  // The commit and the rollback run on the connection's own statement.
  ASSERT_EQ(conn->AllocInternalStatement(), SQL_SUCCESS);
  SQLHSTMT sibling = NewStatement();
  struct Case {
    const char* name;
    SQLRETURN (*drop)(SQLHSTMT stmt, SQLHDBC dbc);
    bool siblingDropped;
  };
  const Case cases[] = {
      {"execute", [](SQLHSTMT h, SQLHDBC) { return QVOExecDirect(h, U("SELECT 1"), SQL_NTS); },
       false},
      {"cancel", [](SQLHSTMT h, SQLHDBC) { return QVOCancel(h); }, false},
      {"commit", [](SQLHSTMT, SQLHDBC d) { return QVOEndTran(SQL_HANDLE_DBC, d, SQL_COMMIT); },
       true},
      {"rollback", [](SQLHSTMT, SQLHDBC d) { return QVOEndTran(SQL_HANDLE_DBC, d, SQL_ROLLBACK); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Columns(stmt, "T", "C"), SQL_SUCCESS);
    ASSERT_EQ(Columns(sibling, "T", "C"), SQL_SUCCESS);
    const size_t lookups = Lookups();
    ASSERT_EQ(c.drop(stmt, dbc), SQL_SUCCESS);
    ASSERT_EQ(Columns(stmt, "T", "D"), SQL_SUCCESS);
    EXPECT_EQ(Lookups(), lookups + 1);  // asked again
    ASSERT_EQ(Columns(sibling, "T", "D"), SQL_SUCCESS);
    EXPECT_EQ(Lookups(), lookups + 1 + (c.siblingDropped ? 1 : 0));
    EXPECT_EQ(FetchAll(sibling), (std::vector<std::vector<std::string>>{ExpectedRow(table[1])}));
  }
  const size_t otherLookups = otherNode.Requests().size();
  ASSERT_EQ(Columns(otherStmt, "T", "D"), SQL_SUCCESS);
  EXPECT_EQ(otherNode.Requests().size(), otherLookups);
  QVOFreeHandle(SQL_HANDLE_DBC, otherDbc);
}

// Preparing a text, alone or into a batch, leaves the cache in place.
TEST_F(ColumnsCacheTest, KeptByPrepare) {
  ASSERT_EQ(Columns(stmt, "T", "C"), SQL_SUCCESS) << LastDiag(*s);
  const std::u16string wide = u"SELECT 1";
  struct Case {
    const char* name;
    SQLRETURN (*prepare)(SQLHSTMT h, const std::u16string& wide);
  };
  const Case cases[] = {
      {"prepare",
       [](SQLHSTMT h, const std::u16string&) { return QVOPrepare(h, U("SELECT 1"), SQL_NTS); }},
      {"prepare wide",
       [](SQLHSTMT h, const std::u16string& w) {
         return QVOPrepareW(h, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(w.c_str())),
                            SQL_NTS);
       }},
      {"prepare batch",
       [](SQLHSTMT h, const std::u16string&) { return QVOPrepareBatch(h, "SELECT 1", SQL_NTS); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.prepare(stmt, wide), SQL_SUCCESS) << LastDiag(*s);
    ASSERT_EQ(Columns(stmt, "T", "D"), SQL_SUCCESS) << LastDiag(*s);
    EXPECT_EQ(FetchAll(stmt), (std::vector<std::vector<std::string>>{ExpectedRow(table[1])}));
  }
  EXPECT_EQ(Lookups(), 1u);
}

TEST_F(ColumnsCacheTest, LongTextsEmptyTextsAndNullsComeBackAsTheServerSentThem) {
  const std::string longName(120, 'N');
  const std::string longRemark(3000, 'r');
  const std::string longDefault(9000, 'd');
  table = {{longName, SQL_VARCHAR, longRemark, longDefault, 1},
           {"EMPTY", SQL_VARCHAR, "", "", 2},
           {"NULLS", SQL_VARCHAR, std::nullopt, std::nullopt, 3}};
  for (const TableColumn& c : table) {
    SCOPED_TRACE(c.name.substr(0, 8));
    ASSERT_EQ(Columns(stmt, "T", c.name.c_str()), SQL_SUCCESS) << LastDiag(*s);
    ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
    for (SQLUSMALLINT col : {4, 12, 13}) {
      std::string value;
      SQLLEN ind = 0;
      char piece[700];
      SQLRETURN rc;
      while ((rc = QVOGetData(stmt, col, SQL_C_CHAR, piece, sizeof piece, &ind)) != SQL_NO_DATA) {
        ASSERT_TRUE(rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO);
        if (ind == SQL_NULL_DATA) {
          value = "NULL";
          break;
        }
        value += piece;
        if (rc == SQL_SUCCESS) break;
      }
      const std::optional<std::string>& want = col == 4    ? std::optional<std::string>(c.name)
                                               : col == 12 ? c.remarks
                                                           : c.columnDef;
      const std::string expected = want ? *want : "NULL";
      EXPECT_EQ(value.size(), expected.size()) << "column " << col;
      EXPECT_TRUE(value == expected) << "column " << col;
    }
  }
  EXPECT_EQ(Lookups(), 1u);
}

TEST_F(ColumnsCacheTest, TheFillLeavesBoundBuffersAndTheRowsetSizeAlone) {
  constexpr SQLULEN kRowset = 3;
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0),
            SQL_SUCCESS);
  SQLULEN fetched = 77;
  SQLUSMALLINT status[kRowset] = {9, 9, 9};
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_SUCCESS);
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0), SQL_SUCCESS);
  char names[kRowset][64];
  SQLLEN nameInd[kRowset];
  SQLINTEGER ordinals[kRowset];
  SQLLEN ordinalInd[kRowset];
  std::memset(names, 0x5A, sizeof names);
  std::fill(std::begin(nameInd), std::end(nameInd), 5);
  std::fill(std::begin(ordinals), std::end(ordinals), 5);
  std::fill(std::begin(ordinalInd), std::end(ordinalInd), 5);
  ASSERT_EQ(QVOBindCol(stmt, 4, SQL_C_CHAR, names, sizeof names[0], nameInd), SQL_SUCCESS);
  ASSERT_EQ(QVOBindCol(stmt, 17, SQL_C_SLONG, ordinals, 0, ordinalInd), SQL_SUCCESS);

  ASSERT_EQ(Columns(stmt, "T", "D"), SQL_SUCCESS) << LastDiag(*s);
  // Nothing of the application's was written by the fill.
  EXPECT_EQ(fetched, 77u);
  EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + kRowset),
            (std::vector<SQLUSMALLINT>{9, 9, 9}));
  for (size_t r = 0; r < kRowset; ++r) {
    EXPECT_EQ(names[r][0], 0x5A);
    EXPECT_EQ(nameInd[r], 5);
    EXPECT_EQ(ordinals[r], 5);
  }
  SQLULEN arraySize = 0;
  ASSERT_EQ(QVOGetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &arraySize, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(arraySize, kRowset);

  // The answer's one row lands in the bindings as any fetch's would.
  ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(fetched, 1u);
  EXPECT_STREQ(names[0], "D");
  EXPECT_EQ(ordinals[0], 2);
  EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[1], SQL_ROW_NOROW);
}

TEST_F(ColumnsCacheTest, AFailedFillKeepsThePreviousCache) {
  ASSERT_EQ(Columns(stmt, "T", "C"), SQL_SUCCESS);
  // The lookup for another table answers with too few columns.
  node.On(fake::kGetColumns, [](const fake::Request&, fake::FakeNode&) {
    using namespace fake::results;
    return Answer({ResultSet(-3, {Column::Char("TABLE_CAT", 5, 5, kVarying)}, 1, 1,
                             RowBlock({{Value::Text("x")}}))});
  });
  EXPECT_EQ(Columns(stmt, "U", "C"), SQL_ERROR);
  EXPECT_FALSE(LastDiag(*s).empty());
  const size_t lookups = Lookups();
  ASSERT_EQ(Columns(stmt, "T", "E"), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(Lookups(), lookups);
  EXPECT_EQ(FetchAll(stmt), (std::vector<std::vector<std::string>>{ExpectedRow(table[2])}));
}

TEST_F(ColumnsCacheTest, ACommitOnAnotherThreadNeverFreesACacheInUse) {
  // What a commit does to the statement while Columns reads and refills; an
  // unguarded drop is a race that ThreadSanitizer reports (tsan.threads_units).
  // The calls start once the dropper has dropped: a dropper that came late
  // would find them done.
  std::atomic<bool> done{false};
  std::atomic<int> drops{0};
  std::thread dropper([&] {
    while (!done) {
      s->ClearColumnCache();
      ++drops;
    }
  });
  while (drops.load() == 0) std::this_thread::yield();
  for (int i = 0; i < 200; ++i) {
    const SQLRETURN rc = Columns(stmt, "T", i % 2 ? "D" : "E");
    EXPECT_EQ(rc, SQL_SUCCESS) << LastDiag(*s);
    if (rc != SQL_SUCCESS) break;  // the dropper is still to be joined
    EXPECT_EQ(FetchAll(stmt).size(), 1u);
  }
  done = true;
  dropper.join();
}

// Under the forced cache a column argument is one name, never a pattern:
// the first row of exactly that name answers, with the search-string escape
// marking a plain character.
TEST_F(ColumnsCacheTest, APatternUnderTheForcedCacheMatchesExactly) {
  conn->forceColumnsMicroCache = true;
  std::memcpy(conn->connAttr.searchStringEscape, "\\", 2);
  table.push_back({"C%", SQL_INTEGER, std::nullopt, std::nullopt, 4});
  table.push_back({"CX", SQL_INTEGER, std::nullopt, std::nullopt, 5});
  table.push_back({"A_C", SQL_INTEGER, std::nullopt, std::nullopt, 6});
  table.push_back({"col", SQL_INTEGER, std::nullopt, std::nullopt, 7});
  table.push_back({"COL", SQL_INTEGER, std::nullopt, std::nullopt, 8});
  struct Case {
    const char* column;
    bool metadataId;
    std::vector<size_t> rows;  // indexes into table
  };
  const Case cases[] = {
      {"C%", false, {3}},
      {"C_", false, {}},
      {"%", false, {}},
      {"A_C", false, {5}},
      {"A\\_C", false, {5}},
      {"ABC", false, {}},
      {"col", true, {6}},  // both names fold to COL:
                           // the first one answers
      {"\"COL\"", true, {7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_METADATA_ID,
                             reinterpret_cast<SQLPOINTER>(c.metadataId ? 1 : 0), 0),
              SQL_SUCCESS);
    ASSERT_EQ(Columns(stmt, "T", c.column), SQL_SUCCESS) << LastDiag(*s);
    EXPECT_EQ(s->resultHandle, QVO_RESULT_COLUMNS_CACHE);
    std::vector<std::vector<std::string>> expected;
    for (size_t i : c.rows) expected.push_back(ExpectedRow(table[i]));
    EXPECT_EQ(FetchAll(stmt), expected);
  }
  EXPECT_EQ(Lookups(), 1u);
}

// A call answered from the cache describes its text columns as the columns
// result does, in characters, whatever the values: TABLE_CAT to COLUMN_NAME
// with the identifier length, TYPE_NAME 40, REMARKS 254, COLUMN_DEF 2000,
// IS_NULLABLE 3. A value longer than its description still arrives whole.
TEST_F(ColumnsCacheTest, TextColumnsAreDescribedByTheResultNotByTheirValues) {
  // 128 characters in 155 bytes (the node's TYPE_NAME, "TYPE" and the name,
  // must fit the 160 bytes it describes).
  std::string name128(101, 'N');
  for (int i = 0; i < 27; ++i) name128 += "\xC3\xA9";
  std::string euros170;  // 170 characters, 510 bytes
  for (int i = 0; i < 170; ++i) euros170 += "\xE2\x82\xAC";
  struct Case {
    const char* what;
    TableColumn column;
  };
  const Case cases[] = {
      {"short values", {"C", SQL_INTEGER, "counter", "0", 1}},
      {"a name of 128 characters in 155 bytes", {name128, SQL_INTEGER, "", std::nullopt, 1}},
      {"remarks of 170 characters in 510 bytes", {"R", SQL_VARCHAR, euros170, std::nullopt, 1}},
      {"remarks and default beyond their sizes",
       {"L", SQL_VARCHAR, std::string(3000, 'r'), std::string(9000, 'd'), 1}},
  };
  const SQLUSMALLINT textColumns[] = {1, 2, 3, 4, 6, 12, 13, 18};
  const std::vector<SQLULEN> sizes = {128, 128, 128, 128, 40, 254, 2000, 3};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    table = {c.column};
    SQLHSTMT h = NewStatement();
    // The names are UTF-8; the data are taken in a code set that holds
    // neither the texts' bytes nor every character of them, and which the
    // fill leaves as it was.
    ASSERT_EQ(QVOSetStmtAttr(h, QVO_ANSI_ARG_ENCODING, U("UTF-8"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(h, QVO_ANSI_DATA_ENCODING, U("ISO-8859-1"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(Columns(h, "T", c.column.name.c_str()), SQL_SUCCESS) << LastDiag(*Stmt(h));
    EXPECT_EQ(Stmt(h)->resultHandle, QVO_RESULT_COLUMNS_CACHE);
    char dataCodeSet[64] = {};
    ASSERT_EQ(QVOGetStmtAttr(h, QVO_ANSI_DATA_ENCODING, dataCodeSet, sizeof dataCodeSet, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(dataCodeSet, "ISO-8859-1");
    std::vector<SQLULEN> described;
    for (SQLUSMALLINT col : textColumns) {
      SQLCHAR name[64];
      SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      EXPECT_EQ(
          QVODescribeCol(h, col, name, sizeof name, &nameLen, &type, &size, &digits, &nullable),
          SQL_SUCCESS);
      described.push_back(size);
    }
    EXPECT_EQ(described, sizes);

    // The fetch delivers every byte, into buffers larger than any value.
    ASSERT_EQ(QVOSetStmtAttr(h, QVO_ANSI_DATA_ENCODING, U("UTF-8"), SQL_NTS), SQL_SUCCESS);
    struct Bound {
      SQLUSMALLINT col;
      std::optional<std::string> want;
      std::vector<char> buffer = std::vector<char>(10000, 'Z');
      SQLLEN ind = 0;
    };
    Bound bound[] = {{4, c.column.name}, {12, c.column.remarks}, {13, c.column.columnDef}};
    for (Bound& b : bound)
      ASSERT_EQ(QVOBindCol(h, b.col, SQL_C_BINARY, b.buffer.data(),
                           static_cast<SQLLEN>(b.buffer.size()), &b.ind),
                SQL_SUCCESS);
    ASSERT_EQ(QVOFetch(h), SQL_SUCCESS) << LastDiag(*Stmt(h));
    for (const Bound& b : bound) {
      SCOPED_TRACE(b.col);
      if (!b.want) {
        EXPECT_EQ(b.ind, SQL_NULL_DATA);
        continue;
      }
      ASSERT_EQ(b.ind, static_cast<SQLLEN>(b.want->size()));
      EXPECT_TRUE(std::string(b.buffer.data(), b.want->size()) == *b.want);
    }
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

}  // namespace
