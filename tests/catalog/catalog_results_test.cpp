// Every catalog kind read like any result: the columns as QVODescribeCol
// reports them (the catalog's fixed SQL types and nullability over whatever the server
// used) and one row fetched with SQL_C_DEFAULT, whose C types follow the
// kind. The node answers each query with the kind's columns as the server
// sends them: texts as VARCHAR, small numbers as SMALLDECIMAL, integers as
// DECIMAL.
#include <string>
#include <vector>

#include "catalog_fixture.h"
#include "result_reading.h"

namespace {

SQLCHAR* U(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

// A result column of a catalog function: its name, the SQL type the library
// reports whatever the server described, and whether it may hold NULL.
struct Col {
  std::string name;
  SQLSMALLINT type;
  SQLSMALLINT nullable;
  bool operator==(const Col&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Col& c) {
  return os << c.name << ":" << c.type << (c.nullable == SQL_NO_NULLS ? " not null" : "");
}
Col Text(const char* name) { return {name, SQL_VARCHAR, SQL_NULLABLE}; }
Col Small(const char* name) { return {name, SQL_SMALLINT, SQL_NULLABLE}; }
Col Int(const char* name) { return {name, SQL_INTEGER, SQL_NULLABLE}; }
Col NotNull(Col c) {
  c.nullable = SQL_NO_NULLS;
  return c;
}

struct Kind {
  const char* name;
  SQLRETURN (*call)(SQLHSTMT h);
  std::vector<Col> columns;
};

const Kind kKinds[] = {
    {"tables",
     [](SQLHSTMT h) { return QVOTables(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, nullptr, 0); },
     {Text("TABLE_CAT"), Text("TABLE_SCHEM"), Text("TABLE_NAME"), Text("TABLE_TYPE"),
      Text("REMARKS")}},
    {"columns",
     [](SQLHSTMT h) { return QVOColumns(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, nullptr, 0); },
     {Text("TABLE_CAT"), Text("TABLE_SCHEM"), Text("TABLE_NAME"), Text("COLUMN_NAME"),
      Small("DATA_TYPE"), Text("TYPE_NAME"), Int("COLUMN_SIZE"), Int("BUFFER_LENGTH"),
      Small("DECIMAL_DIGITS"), Small("NUM_PREC_RADIX"), Small("NULLABLE"), Text("REMARKS"),
      Text("COLUMN_DEF"), Small("SQL_DATA_TYPE"), Small("SQL_DATETIME_SUB"),
      Int("CHAR_OCTET_LENGTH"), Int("ORDINAL_POSITION"), Text("IS_NULLABLE")}},
    {"statistics",
     [](SQLHSTMT h) {
       return QVOStatistics(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, SQL_INDEX_ALL, 0);
     },
     {Text("TABLE_CAT"), Text("TABLE_SCHEM"), Text("TABLE_NAME"), Small("NON_UNIQUE"),
      Text("INDEX_QUALIFIER"), Text("INDEX_NAME"), Small("TYPE"), Small("ORDINAL_POSITION"),
      Text("COLUMN_NAME"), Text("ASC_OR_DESC"), Int("CARDINALITY"), Int("PAGES"),
      Text("FILTER_CONDITION")}},
    {"foreign keys",
     [](SQLHSTMT h) {
       return QVOForeignKeys(h, nullptr, 0, nullptr, 0, U("P"), SQL_NTS, nullptr, 0, nullptr, 0,
                             nullptr, 0);
     },
     {Text("PKTABLE_CAT"), Text("PKTABLE_SCHEM"), Text("PKTABLE_NAME"), Text("PKCOLUMN_NAME"),
      Text("FKTABLE_CAT"), Text("FKTABLE_SCHEM"), Text("FKTABLE_NAME"), Text("FKCOLUMN_NAME"),
      Small("KEY_SEQ"), Small("UPDATE_RULE"), Small("DELETE_RULE"), Text("FK_NAME"),
      Text("PK_NAME"), Small("DEFERRABILITY")}},
    {"primary keys",
     [](SQLHSTMT h) { return QVOPrimaryKeys(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS); },
     {Text("TABLE_CAT"), Text("TABLE_SCHEM"), Text("TABLE_NAME"), Text("COLUMN_NAME"),
      Small("KEY_SEQ"), Text("PK_NAME")}},
    {"column privileges",
     [](SQLHSTMT h) {
       return QVOColumnPrivileges(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, nullptr, 0);
     },
     {Text("TABLE_CAT"), Text("TABLE_SCHEM"), Text("TABLE_NAME"), Text("COLUMN_NAME"),
      Text("GRANTOR"), Text("GRANTEE"), Text("PRIVILEGE"), Text("IS_GRANTABLE")}},
    {"procedure columns",
     [](SQLHSTMT h) {
       return QVOProcedureColumns(h, nullptr, 0, nullptr, 0, U("P"), SQL_NTS, nullptr, 0);
     },
     {Text("PROCEDURE_CAT"), Text("PROCEDURE_SCHEM"), Text("PROCEDURE_NAME"), Text("COLUMN_NAME"),
      Small("COLUMN_TYPE"), Small("DATA_TYPE"), Text("TYPE_NAME"), Int("COLUMN_SIZE"),
      Int("BUFFER_LENGTH"), Small("DECIMAL_DIGITS"), Small("NUM_PREC_RADIX"), Small("NULLABLE"),
      Text("REMARKS"), Text("COLUMN_DEF"), Small("SQL_DATA_TYPE"), Small("SQL_DATETIME_SUB"),
      Int("CHAR_OCTET_LENGTH"), Int("ORDINAL_POSITION"), Text("IS_NULLABLE")}},
    {"procedures",
     [](SQLHSTMT h) { return QVOProcedures(h, nullptr, 0, nullptr, 0, U("P"), SQL_NTS); },
     {Text("PROCEDURE_CAT"), Text("PROCEDURE_SCHEM"), Text("PROCEDURE_NAME"),
      Small("NUM_INPUT_PARAMS"), Small("NUM_OUTPUT_PARAMS"), Small("NUM_RESULT_SETS"),
      Text("REMARKS"), Small("PROCEDURE_TYPE")}},
    {"table privileges",
     [](SQLHSTMT h) { return QVOTablePrivileges(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS); },
     {Text("TABLE_CAT"), Text("TABLE_SCHEM"), Text("TABLE_NAME"), Text("GRANTOR"), Text("GRANTEE"),
      Text("PRIVILEGE"), Text("IS_GRANTABLE")}},
    {"special columns",
     [](SQLHSTMT h) {
       return QVOSpecialColumns(h, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, 0, 0);
     },
     {Small("SCOPE"), Text("COLUMN_NAME"), Small("DATA_TYPE"), Text("TYPE_NAME"),
      Int("COLUMN_SIZE"), Int("BUFFER_LENGTH"), Small("DECIMAL_DIGITS"), Small("PSEUDO_COLUMN")}},
    // The only kind with columns that never hold NULL.
    {"type information",
     [](SQLHSTMT h) { return QVOGetTypeInfo(h, SQL_ALL_TYPES); },
     {NotNull(Text("TYPE_NAME")), NotNull(Small("DATA_TYPE")), Int("COLUMN_SIZE"),
      Text("LITERAL_PREFIX"), Text("LITERAL_SUFFIX"), Text("CREATE_PARAMS"),
      NotNull(Small("NULLABLE")), NotNull(Small("CASE_SENSITIVE")), NotNull(Small("SEARCHABLE")),
      Small("UNSIGNED_ATTRIBUTE"), NotNull(Small("FIXED_PREC_SCALE")), Small("AUTO_UNIQUE_VALUE"),
      Text("LOCAL_TYPE_NAME"), Small("MINIMUM_SCALE"), Small("MAXIMUM_SCALE"),
      NotNull(Small("SQL_DATA_TYPE")), Small("SQL_DATETIME_SUB"), Int("NUM_PREC_RADIX"),
      Small("INTERVAL_PRECISION")}},
};

// The server's answer: one row, column c holding "v<c>", c or 1000 + c, in
// the types a server uses for them.
fake::Reply ServerAnswer(const Kind& k) {
  using namespace fake::results;
  std::vector<Column> cols;
  std::vector<std::vector<Value>> values;
  for (size_t i = 0; i < k.columns.size(); ++i) {
    const int c = static_cast<int>(i) + 1;
    const std::string& name = k.columns[i].name;
    switch (k.columns[i].type) {
      case SQL_VARCHAR:
        cols.push_back(Column::Char(name, 128, 512, kVarying | kUtf8));
        values.push_back({Value::Text(std::string("v").append(std::to_string(c)))});
        break;
      case SQL_SMALLINT:
        cols.push_back(Column::SmallDecimal(name, 5, 0));
        values.push_back({Value::Int32(c)});
        break;
      default:
        cols.push_back(Column::Decimal(name, 10, 0));
        values.push_back({Value::Int64(1000 + c)});
        break;
    }
  }
  return Answer({ResultSet(-3, cols, 1, 1, RowBlock(values))});
}

// The columns as QVODescribeCol reports them, each checked against what
// QVOColAttribute reports for its type and nullability.
std::vector<Col> DescribeWithNullability(SQLHSTMT h) {
  SQLSMALLINT n = 0;
  EXPECT_EQ(QVONumResultCols(h, &n), SQL_SUCCESS);
  std::vector<Col> out;
  for (SQLSMALLINT c = 1; c <= n; ++c) {
    SQLCHAR name[256] = {};
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = -7;
    SQLULEN size = 0;
    EXPECT_EQ(QVODescribeCol(h, c, name, sizeof name, &nameLen, &type, &size, &digits, &nullable),
              SQL_SUCCESS);
    SQLLEN attrType = 0, attrNullable = -7;
    EXPECT_EQ(QVOColAttribute(h, static_cast<SQLUSMALLINT>(c), SQL_DESC_CONCISE_TYPE, nullptr, 0,
                              nullptr, &attrType),
              SQL_SUCCESS);
    EXPECT_EQ(QVOColAttribute(h, static_cast<SQLUSMALLINT>(c), SQL_DESC_NULLABLE, nullptr, 0,
                              nullptr, &attrNullable),
              SQL_SUCCESS);
    EXPECT_EQ(attrType, type) << "column " << c;
    EXPECT_EQ(attrNullable, nullable) << "column " << c;
    out.push_back({reinterpret_cast<char*>(name), type, nullable});
  }
  return out;
}

TEST_F(CatalogTest, EveryKindDescribesItsColumnsAndFetchesItsDefaultTypes) {
  conn->fastMetadata = false;
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    node.OnSql(fake::SqlMatch::Any(), ServerAnswer(k));
    ASSERT_EQ(k.call(stmt), SQL_SUCCESS) << LastDiag(*s);
    EXPECT_EQ(DescribeWithNullability(stmt), k.columns);

    ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS) << LastDiag(*s);
    for (size_t i = 0; i < k.columns.size(); ++i) {
      const int c = static_cast<int>(i) + 1;
      std::string value;
      size_t width = 0;
      switch (k.columns[i].type) {
        case SQL_VARCHAR:
          value = std::string("v").append(std::to_string(c));
          break;
        case SQL_SMALLINT:
          value = catalog_test::Short(static_cast<int16_t>(c));
          width = 2;
          break;
        default:
          value = catalog_test::Long(1000 + c);
          width = 4;
          break;
      }
      EXPECT_EQ(catalog_test::DefaultValue(stmt, static_cast<SQLUSMALLINT>(c), width), value)
          << k.columns[i].name;
    }
    EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
  }
}

}  // namespace
