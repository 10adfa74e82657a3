// Every catalog kind read like any result: the columns as QVODescribeCol
// reports them (the catalog's fixed SQL types over whatever types the server
// used) and one row fetched with SQL_C_DEFAULT, whose C types follow the
// kind. The node answers each query with the kind's columns as the server
// sends them: texts as VARCHAR, small numbers as SMALLDECIMAL, integers as
// DECIMAL.
#include <string>
#include <vector>

#include "catalog_fixture.h"
#include "result_reading.h"

namespace {

using catalog_test::Described;

SQLCHAR* U(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

struct Kind {
  const char* name;
  SQLRETURN (*call)(SQLHSTMT h);
  std::vector<std::string> columns;
  const char* types;  // per column: V text, S smallint, I integer (lower case: not nullable)
};

const Kind kKinds[] = {
    {"tables",
     [](SQLHSTMT h) { return QVOTables(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, nullptr, 0); },
     {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "TABLE_TYPE", "REMARKS"},
     "VVVVV"},
    {"columns",
     [](SQLHSTMT h) { return QVOColumns(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, nullptr, 0); },
     {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE", "TYPE_NAME",
      "COLUMN_SIZE", "BUFFER_LENGTH", "DECIMAL_DIGITS", "NUM_PREC_RADIX", "NULLABLE", "REMARKS",
      "COLUMN_DEF", "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH", "ORDINAL_POSITION",
      "IS_NULLABLE"},
     "VVVVSVIISSSVVSSIIV"},
    {"statistics",
     [](SQLHSTMT h) {
       return QVOStatistics(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, SQL_INDEX_ALL, 0);
     },
     {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "NON_UNIQUE", "INDEX_QUALIFIER", "INDEX_NAME",
      "TYPE", "ORDINAL_POSITION", "COLUMN_NAME", "ASC_OR_DESC", "CARDINALITY", "PAGES",
      "FILTER_CONDITION"},
     "VVVSVVSSVVIIV"},
    {"foreign keys",
     [](SQLHSTMT h) {
       return QVOForeignKeys(h, nullptr, 0, nullptr, 0, U("P"), SQL_NTS, nullptr, 0, nullptr, 0,
                             nullptr, 0);
     },
     {"PKTABLE_CAT", "PKTABLE_SCHEM", "PKTABLE_NAME", "PKCOLUMN_NAME", "FKTABLE_CAT",
      "FKTABLE_SCHEM", "FKTABLE_NAME", "FKCOLUMN_NAME", "KEY_SEQ", "UPDATE_RULE", "DELETE_RULE",
      "FK_NAME", "PK_NAME", "DEFERRABILITY"},
     "VVVVVVVVSSSVVS"},
    {"primary keys",
     [](SQLHSTMT h) { return QVOPrimaryKeys(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS); },
     {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "KEY_SEQ", "PK_NAME"},
     "VVVVSV"},
    {"column privileges",
     [](SQLHSTMT h) {
       return QVOColumnPrivileges(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, nullptr, 0);
     },
     {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "GRANTOR", "GRANTEE", "PRIVILEGE",
      "IS_GRANTABLE"},
     "VVVVVVVV"},
    {"procedure columns",
     [](SQLHSTMT h) {
       return QVOProcedureColumns(h, nullptr, 0, nullptr, 0, U("P"), SQL_NTS, nullptr, 0);
     },
     {"PROCEDURE_CAT", "PROCEDURE_SCHEM", "PROCEDURE_NAME", "COLUMN_NAME", "COLUMN_TYPE",
      "DATA_TYPE", "TYPE_NAME", "COLUMN_SIZE", "BUFFER_LENGTH", "DECIMAL_DIGITS", "NUM_PREC_RADIX",
      "NULLABLE", "REMARKS", "COLUMN_DEF", "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH",
      "ORDINAL_POSITION", "IS_NULLABLE"},
     "VVVVSSVIISSSVVSSIIV"},
    {"procedures",
     [](SQLHSTMT h) { return QVOProcedures(h, nullptr, 0, nullptr, 0, U("P"), SQL_NTS); },
     {"PROCEDURE_CAT", "PROCEDURE_SCHEM", "PROCEDURE_NAME", "NUM_INPUT_PARAMS", "NUM_OUTPUT_PARAMS",
      "NUM_RESULT_SETS", "REMARKS", "PROCEDURE_TYPE"},
     "VVVSSSVS"},
    {"table privileges",
     [](SQLHSTMT h) { return QVOTablePrivileges(h, nullptr, 0, nullptr, 0, U("T"), SQL_NTS); },
     {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "GRANTOR", "GRANTEE", "PRIVILEGE", "IS_GRANTABLE"},
     "VVVVVVV"},
    {"special columns",
     [](SQLHSTMT h) {
       return QVOSpecialColumns(h, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, U("T"), SQL_NTS, 0, 0);
     },
     {"SCOPE", "COLUMN_NAME", "DATA_TYPE", "TYPE_NAME", "COLUMN_SIZE", "BUFFER_LENGTH",
      "DECIMAL_DIGITS", "PSEUDO_COLUMN"},
     "SVSVIISS"},
    {"type information",
     [](SQLHSTMT h) { return QVOGetTypeInfo(h, SQL_ALL_TYPES); },
     {"TYPE_NAME", "DATA_TYPE", "COLUMN_SIZE", "LITERAL_PREFIX", "LITERAL_SUFFIX", "CREATE_PARAMS",
      "NULLABLE", "CASE_SENSITIVE", "SEARCHABLE", "UNSIGNED_ATTRIBUTE", "FIXED_PREC_SCALE",
      "AUTO_UNIQUE_VALUE", "LOCAL_TYPE_NAME", "MINIMUM_SCALE", "MAXIMUM_SCALE", "SQL_DATA_TYPE",
      "SQL_DATETIME_SUB", "NUM_PREC_RADIX", "INTERVAL_PRECISION"},
     "vsIVVVsssSsSVSSsSIS"},
};

// The server's answer: one row, column c holding "v<c>", c or 1000 + c.
fake::Reply ServerAnswer(const Kind& k) {
  using namespace fake::results;
  std::vector<Column> cols;
  std::vector<std::vector<Value>> values;
  for (size_t i = 0; i < k.columns.size(); ++i) {
    const int c = static_cast<int>(i) + 1;
    switch (k.types[i]) {
      case 'V':
      case 'v':
        cols.push_back(Column::Char(k.columns[i], 128, 512, kVarying | kUtf8));
        values.push_back({Value::Text(std::string("v").append(std::to_string(c)))});
        break;
      case 'S':
      case 's':
        cols.push_back(Column::SmallDecimal(k.columns[i], 5, 0));
        values.push_back({Value::Int32(c)});
        break;
      default:
        cols.push_back(Column::Decimal(k.columns[i], 10, 0));
        values.push_back({Value::Int64(1000 + c)});
        break;
    }
  }
  return Answer({ResultSet(-3, cols, 1, 1, RowBlock(values))});
}

TEST_F(CatalogTest, EveryKindDescribesItsColumnsAndFetchesItsDefaultTypes) {
  conn->fastMetadata = false;
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    ASSERT_EQ(k.columns.size(), std::strlen(k.types));
    node.OnSql(fake::SqlMatch::Any(), ServerAnswer(k));
    ASSERT_EQ(k.call(stmt), SQL_SUCCESS) << LastDiag(*s);

    std::vector<Described> expected;
    std::vector<std::string> row;
    std::vector<size_t> widths;
    for (size_t i = 0; i < k.columns.size(); ++i) {
      const int c = static_cast<int>(i) + 1;
      switch (k.types[i]) {
        case 'V':
        case 'v':
          expected.push_back({k.columns[i], SQL_VARCHAR});
          row.push_back(std::string("v").append(std::to_string(c)));
          widths.push_back(0);
          break;
        case 'S':
        case 's':
          expected.push_back({k.columns[i], SQL_SMALLINT});
          row.push_back(catalog_test::Short(static_cast<int16_t>(c)));
          widths.push_back(2);
          break;
        default:
          expected.push_back({k.columns[i], SQL_INTEGER});
          row.push_back(catalog_test::Long(1000 + c));
          widths.push_back(4);
          break;
      }
    }
    EXPECT_EQ(catalog_test::DescribeAll(stmt), expected);
    ASSERT_EQ(QVOFetch(stmt), SQL_SUCCESS) << LastDiag(*s);
    for (size_t i = 0; i < row.size(); ++i)
      EXPECT_EQ(catalog_test::DefaultValue(stmt, static_cast<SQLUSMALLINT>(i + 1), widths[i]),
                row[i])
          << k.columns[i];
    EXPECT_EQ(QVOFetch(stmt), SQL_NO_DATA);
  }
}

}  // namespace
