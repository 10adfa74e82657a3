// The SQL each catalog function sends, or its refusal, for its arguments and
// the settings that shape the query: one table of cases against the fake
// node, which records the text it receives.
#include <string>
#include <vector>

#include "catalog_fixture.h"

namespace {

enum class Fn {
  Tables,
  Columns,
  PrimaryKeys,
  ForeignKeys,
  TablePrivileges,
  ColumnPrivileges,
  Procedures,
  ProcedureColumns,
  Statistics,
  SpecialColumns,
  TypeInfo
};

SQLCHAR* U(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

SQLRETURN Call(SQLHSTMT h, Fn fn, const std::vector<const char*>& a, SQLSMALLINT dataType) {
  auto n = [&](size_t i) { return i < a.size() ? U(a[i]) : nullptr; };
  constexpr SQLSMALLINT L = SQL_NTS;
  switch (fn) {
    case Fn::Tables:
      return QVOTables(h, n(0), L, n(1), L, n(2), L, n(3), L);
    case Fn::Columns:
      return QVOColumns(h, n(0), L, n(1), L, n(2), L, n(3), L);
    case Fn::PrimaryKeys:
      return QVOPrimaryKeys(h, n(0), L, n(1), L, n(2), L);
    case Fn::ForeignKeys:
      return QVOForeignKeys(h, n(0), L, n(1), L, n(2), L, n(3), L, n(4), L, n(5), L);
    case Fn::TablePrivileges:
      return QVOTablePrivileges(h, n(0), L, n(1), L, n(2), L);
    case Fn::ColumnPrivileges:
      return QVOColumnPrivileges(h, n(0), L, n(1), L, n(2), L, n(3), L);
    case Fn::Procedures:
      return QVOProcedures(h, n(0), L, n(1), L, n(2), L);
    case Fn::ProcedureColumns:
      return QVOProcedureColumns(h, n(0), L, n(1), L, n(2), L, n(3), L);
    case Fn::Statistics:
      return QVOStatistics(h, n(0), L, n(1), L, n(2), L, SQL_INDEX_ALL, 0);
    case Fn::SpecialColumns:
      return QVOSpecialColumns(h, SQL_BEST_ROWID, n(0), L, n(1), L, n(2), L, 0, 0);
    case Fn::TypeInfo:
      return QVOGetTypeInfo(h, dataType);
  }
  return SQL_ERROR;
}

// Settings of one case.
struct Opt {
  bool metadataId = false;
  bool alwaysPatterns = false;
  const char* currentSchema = nullptr;  // shows only this schema
  int odbc = 3;
  int protocol = 13;
  bool fastMetadata = false;
  const char* catalogs = "N";  // info 10003
  bool infoFails = false;
  SQLSMALLINT dataType = 0;
};

struct Case {
  const char* name;
  Fn fn;
  std::vector<const char*> args;
  Opt opt;
  std::string sql;           // expected text; empty when refused
  std::string refusal = {};  // SQLSTATE and text
};

const std::string kTablesSelect =
    "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"TABLE_TYPE\", cast(LEFT(\"REMARKS\", "
    "254) as varchar(254)) as \"REMARKS\" from \"$ODBCJDBC\".ALL_TABLES";
const std::string kTablesOrder =
    " order by \"TABLE_TYPE\", \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\" ";
const std::string kPrimaryKeysSelect =
    "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", \"KEY_SEQ\", "
    "\"PK_NAME\" from \"$ODBCJDBC\".PRIMARY_KEYS";
const std::string kPrimaryKeysOrder =
    " order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"KEY_SEQ\" ";
const std::string kForeignKeysSelect =
    "select \"PKTABLE_CAT\", \"PKTABLE_SCHEM\", \"PKTABLE_NAME\", \"PKCOLUMN_NAME\", "
    "\"FKTABLE_CAT\", \"FKTABLE_SCHEM\", \"FKTABLE_NAME\", \"FKCOLUMN_NAME\", \"KEY_SEQ\", "
    "\"UPDATE_RULE\", \"DELETE_RULE\", \"FK_NAME\", \"PK_NAME\", \"DEFERRABILITY\" from "
    "\"$ODBCJDBC\".FOREIGN_KEYS";
const std::string kForeignKeysOrder =
    " order by \"PKTABLE_CAT\", \"PKTABLE_SCHEM\", \"PKTABLE_NAME\", \"KEY_SEQ\" ";
const std::string kOdbc2Type =
    "cast (case \"DATA_TYPE\" when 91 then 9 when 92 then 10 when 93 then 11 else \"DATA_TYPE\" "
    "end as smallint) as ";
const std::string kColumnsBufferLength =
    "cast (( CASE \"DATA_TYPE\" WHEN 1 THEN cast (\"CHAR_OCTET_LENGTH\" as int) WHEN -5 THEN 8 "
    "WHEN -2 THEN \"COLUMN_SIZE\" WHEN -7 THEN 1 WHEN 9 THEN 6 WHEN 3 THEN \"COLUMN_SIZE\"+2 "
    "WHEN 8 THEN 8 WHEN 6 THEN 8 WHEN -11 THEN \"COLUMN_SIZE\" WHEN 4 THEN 4 WHEN -1 THEN cast "
    "(\"CHAR_OCTET_LENGTH\" as int) WHEN 2 THEN \"COLUMN_SIZE\"+2 WHEN 7 THEN 8 WHEN -5 THEN 4 "
    "WHEN -6 THEN 1 WHEN 10 THEN 6 WHEN 11 THEN 16 WHEN 91 THEN 6 WHEN 92 THEN 6 WHEN 93 THEN 16 "
    "WHEN 12 THEN cast (\"CHAR_OCTET_LENGTH\" as int) WHEN -8 THEN \"COLUMN_SIZE\"*2 WHEN -10 "
    "THEN \"COLUMN_SIZE\"*2 WHEN -9 THEN \"COLUMN_SIZE\"*2 WHEN 123 THEN \"COLUMN_SIZE\" WHEN 124 "
    "THEN 16 ELSE 0 END) as int) as \"BUFFER_LENGTH\", ";
std::string ColumnsSelect(const std::string& dataType, const char* remarksColumn) {
  return "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", " + dataType +
         "\"DATA_TYPE\", \"TYPE_NAME\", cast (\"COLUMN_SIZE\" as int) as \"COLUMN_SIZE\", " +
         kColumnsBufferLength +
         "cast (\"DECIMAL_DIGITS\" as smallint) as \"DECIMAL_DIGITS\", cast (\"NUM_PREC_RADIX\" "
         "as smallint) as \"NUM_PREC_RADIX\", cast (decode(\"NULLABLE\",true,1,false,0,NULL,2) as "
         "smallint) as \"NULLABLE\", cast(LEFT(\"" +
         remarksColumn + "\", 254) as varchar(254)) as \"REMARKS\", \"COLUMN_DEF\", " + dataType +
         "\"SQL_DATA_TYPE\", cast(NULL as smallint) as \"SQL_DATETIME_SUB\", cast "
         "(\"CHAR_OCTET_LENGTH\" as int) as \"CHAR_OCTET_LENGTH\", cast (\"ORDINAL_POSITION\" as "
         "int) as \"ORDINAL_POSITION\" , \"IS_NULLABLE\" from \"$ODBCJDBC\".ALL_COLUMNS";
}
const std::string kPlainType = "cast (\"DATA_TYPE\" as smallint) as ";
const std::string kColumnsOrder =
    " order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"ORDINAL_POSITION\"";
std::string TypeInfoSelect(const std::string& dataType, const std::string& sqlDataType) {
  return "select \"TYPE_NAME\", " + dataType +
         "\"PRECISION\" as \"COLUMN_SIZE\", \"LITERAL_PREFIX\", \"LITERAL_SUFFIX\", "
         "\"CREATE_PARAMS\", \"NULLABLE\", \"CASE_SENSITIVE\", \"SEARCHABLE\", cast (( CASE "
         "\"UNSIGNED_ATTRIBUTE\" WHEN true THEN 1 WHEN false THEN 0 ELSE NULL END) as smallint) as "
         "\"UNSIGNED_ATTRIBUTE\", \"FIXED_PREC_SCALE\", \"AUTO_INCREMENT\" as "
         "\"AUTO_UNIQUE_VALUE\", \"LOCAL_TYPE_NAME\", \"MINIMUM_SCALE\", \"MAXIMUM_SCALE\", " +
         sqlDataType +
         "\"SQL_DATETIME_SUB\", \"NUM_PREC_RADIX\", \"INTERVAL_PRECISION\" from "
         "\"$ODBCJDBC\".SQL_TYPES";
}

const std::string kNullPointer = "HY000 Invalid use of null pointer.";
const std::string kBadLength = "HY090 Invalid string or buffer length.";
// 511 bytes fit the default identifier limit (128 characters, 512 bytes with
// the terminator); 512 do not.
const std::string kLongest(511, 'a');
const std::string kTooLong(512, 'a');
const std::string kTooLongQuoted = "\"" + kTooLong + "\"";
std::string ManyTypes() {
  std::string list;
  for (int i = 0; i < 100; ++i) list += "TABLE,";
  return list;
}
const std::string kManyTypes = ManyTypes();

TEST_F(CatalogTest, GeneratedSqlAndRefusals) {
  const Opt md{.metadataId = true};
  const Case cases[] = {
      // --- Tables
      {"tables, all absent", Fn::Tables, {}, {}, kTablesSelect + kTablesOrder},
      {"tables, catalogs",
       Fn::Tables,
       {"%", "", ""},
       {.currentSchema = "S"},
       "select \"TABLE_CAT\", cast(NULL as varchar(128)) as \"TABLE_SCHEM\" , cast(NULL as "
       "varchar(128)) as \"TABLE_NAME\", cast (NULL as varchar(128)) as \"TABLE_TYPE\", cast (NULL "
       "as varchar(254)) as \"REMARKS\" from \"$ODBCJDBC\".ALL_CATALOGS"},
      {"tables, schemas in the current schema",
       Fn::Tables,
       {"", "%", ""},
       {.currentSchema = "S"},
       "select cast (NULL as varchar(128)) as \"TABLE_CAT\", \"TABLE_SCHEM\", cast (NULL as "
       "varchar(128)) as \"TABLE_NAME\", cast (NULL as varchar(128)) as \"TABLE_TYPE\", cast (NULL "
       "as varchar(254)) as \"REMARKS\" from \"$ODBCJDBC\".ALL_SCHEMAS WHERE  TABLE_SCHEM = 'S' "},
      {"tables, table types; the current schema's quote doubled",
       Fn::Tables,
       {"", "", "", "%"},
       {.currentSchema = "O'S"},
       "select distinct cast (NULL as varchar(128)) as \"TABLE_CAT\" , cast (NULL as varchar(128)) "
       "as \"TABLE_SCHEM\",  cast (NULL as varchar(128)) as \"TABLE_NAME\", \"TABLE_TYPE\", cast "
       "(NULL as varchar(254)) as \"REMARKS\" from \"$ODBCJDBC\".ALL_TABLES WHERE  TABLE_SCHEM = "
       "'O''S' "},
      {"tables, catalog % without table: no enumeration",
       Fn::Tables,
       {"%", ""},
       {},
       kTablesSelect + " where \"TABLE_CAT\" like '%' and  \"TABLE_SCHEM\" like ''" + kTablesOrder},
      {"tables, empty catalog is no condition", Fn::Tables, {""}, {}, kTablesSelect + kTablesOrder},
      {"tables, only the current schema",
       Fn::Tables,
       {},
       {.currentSchema = "S"},
       kTablesSelect + " where  TABLE_SCHEM = 'S' " + kTablesOrder},
      {"tables, a quote in a pattern is doubled",
       Fn::Tables,
       {nullptr, nullptr, "O'Brien"},
       {},
       kTablesSelect + " where  \"TABLE_NAME\" like 'O''Brien'" + kTablesOrder},
      {"tables, a quote cannot end the literal",
       Fn::Tables,
       {nullptr, "x' or '1'='1"},
       {},
       kTablesSelect + " where  \"TABLE_SCHEM\" like 'x'' or ''1''=''1'" + kTablesOrder},
      {"tables, type list",
       Fn::Tables,
       {nullptr, nullptr, nullptr, "view, table"},
       {},
       kTablesSelect + " where  \"TABLE_TYPE\" in ('VIEW',' TABLE')" + kTablesOrder},
      {"tables, type list of quoted names",
       Fn::Tables,
       {nullptr, nullptr, nullptr, "'TABLE','O''VIEW'"},
       {},
       kTablesSelect + " where  \"TABLE_TYPE\" in ('TABLE','O','VIEW')" + kTablesOrder},
      {"tables, type list without a name",
       Fn::Tables,
       {nullptr, nullptr, nullptr, ",,,"},
       {},
       kTablesSelect + kTablesOrder},
      {"tables, identifiers folded, ASCII only",
       Fn::Tables,
       {nullptr, "sys", "t\xc3\xa4x"},
       {.metadataId = true},
       kTablesSelect + " where  \"TABLE_SCHEM\" = 'SYS' and  \"TABLE_NAME\" = 'T\xc3\xa4X'" +
           kTablesOrder},
      {"tables, quoted identifier keeps case, un-doubles, escapes",
       Fn::Tables,
       {nullptr, "\"My\"\"S\"", "\"O'Brien\""},
       md,
       kTablesSelect + " where  \"TABLE_SCHEM\" = 'My\"S' and  \"TABLE_NAME\" = 'O''Brien'" +
           kTablesOrder},
      {"tables, caller-quoted identifier",
       Fn::Tables,
       {nullptr, "'sys'", "'o''brien'"},
       md,
       kTablesSelect + " where  \"TABLE_SCHEM\" = 'SYS' and  \"TABLE_NAME\" = 'O''BRIEN'" +
           kTablesOrder},
      {"tables, one character is not folded",
       Fn::Tables,
       {nullptr, "s", "x"},
       md,
       kTablesSelect + " where  \"TABLE_SCHEM\" = 's' and  \"TABLE_NAME\" = 'x'" + kTablesOrder},
      {"tables, empty quoted identifier",
       Fn::Tables,
       {nullptr, "s", "\"\""},
       md,
       kTablesSelect + " where  \"TABLE_SCHEM\" = 's' and  \"TABLE_NAME\" = ''" + kTablesOrder},
      {"tables, identifier table absent", Fn::Tables, {nullptr, "S"}, md, "", kNullPointer},
      {"tables, identifier catalog absent, server has catalogs",
       Fn::Tables,
       {nullptr, "S", "T"},
       {.metadataId = true, .catalogs = "Y"},
       "",
       kNullPointer},
      {"tables, identifier catalog absent, no catalogs",
       Fn::Tables,
       {nullptr, "S", "T"},
       md,
       kTablesSelect + " where  \"TABLE_SCHEM\" = 'S' and  \"TABLE_NAME\" = 'T'" + kTablesOrder},
      {"tables, the information fails",
       Fn::Tables,
       {nullptr, "S", "T"},
       {.metadataId = true, .infoFails = true},
       "",
       "HY000 information not available"},
      {"tables, longest name",
       Fn::Tables,
       {nullptr, nullptr, kLongest.c_str()},
       {},
       kTablesSelect + " where  \"TABLE_NAME\" like '" + kLongest + "'" + kTablesOrder},
      {"tables, name too long",
       Fn::Tables,
       {nullptr, nullptr, kTooLong.c_str()},
       {},
       "",
       kBadLength},
      {"tables, quoted identifier too long",
       Fn::Tables,
       {nullptr, "S", kTooLongQuoted.c_str()},
       md,
       "",
       kBadLength},
      {"tables, type list too long",
       Fn::Tables,
       {nullptr, nullptr, nullptr, kManyTypes.c_str()},
       {},
       "",
       kBadLength},

      // --- PrimaryKeys
      {"primary keys, all absent", Fn::PrimaryKeys, {}, {}, kPrimaryKeysSelect + kPrimaryKeysOrder},
      {"primary keys, only the current schema",
       Fn::PrimaryKeys,
       {},
       {.currentSchema = "S"},
       kPrimaryKeysSelect + " where  TABLE_SCHEM = 'S' " + kPrimaryKeysOrder},
      {"primary keys, search patterns always",
       Fn::PrimaryKeys,
       {"C", nullptr, "T%"},
       {.alwaysPatterns = true},
       kPrimaryKeysSelect + " where \"TABLE_CAT\" LIKE 'C' and  \"TABLE_NAME\" LIKE 'T%'" +
           kPrimaryKeysOrder},
      {"primary keys, empty catalog is a condition",
       Fn::PrimaryKeys,
       {"", "S", "T"},
       {.currentSchema = "S"},
       kPrimaryKeysSelect +
           " where \"TABLE_CAT\" = '' and  TABLE_SCHEM = 'S'  and  \"TABLE_SCHEM\" = 'S' and  "
           "\"TABLE_NAME\" = 'T'" +
           kPrimaryKeysOrder},

      // --- ForeignKeys
      {"foreign keys, all absent", Fn::ForeignKeys, {}, {}, kForeignKeysSelect},
      {"foreign keys, only the foreign table",
       Fn::ForeignKeys,
       {nullptr, nullptr, nullptr, nullptr, nullptr, "T"},
       {},
       kForeignKeysSelect + " where  \"FKTABLE_NAME\" = 'T'" + kForeignKeysOrder},
      {"foreign keys, the current-schema filter is a condition",
       Fn::ForeignKeys,
       {},
       {.currentSchema = "S"},
       kForeignKeysSelect + " where  PKTABLE_SCHEM = 'S' and FKTABLE_SCHEM = 'S' "},
      {"foreign keys, filter after the catalog",
       Fn::ForeignKeys,
       {"C", nullptr, "P"},
       {.currentSchema = "S"},
       kForeignKeysSelect +
           " where \"PKTABLE_CAT\" = 'C' and  PKTABLE_SCHEM = 'S' and FKTABLE_SCHEM = 'S'  and  "
           "\"PKTABLE_NAME\" = 'P'" +
           kForeignKeysOrder},
      {"foreign keys, identifier catalog absent",
       Fn::ForeignKeys,
       {nullptr, "S", "P", "C", "S", "F"},
       md,
       "",
       kNullPointer},

      // --- privileges and procedures
      {"column privileges, identifiers",
       Fn::ColumnPrivileges,
       {nullptr, "sc", "tb", "co"},
       md,
       "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", \"GRANTOR\", "
       "\"GRANTEE\", \"PRIVILEGE\" from \"$ODBCJDBC\".COLUMN_PRIVILEGES where  \"TABLE_SCHEM\" = "
       "'SC' and  \"TABLE_NAME\" = 'TB' and  \"COLUMN_NAME\" = 'CO' order by \"TABLE_CAT\", "
       "\"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", \"PRIVILEGE\" "},
      {"table privileges, patterns",
       Fn::TablePrivileges,
       {"C", "S%", "T_"},
       {.currentSchema = "S"},
       "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"GRANTOR\", \"GRANTEE\", "
       "\"PRIVILEGE\", \"IS_GRANTABLE\" from \"$ODBCJDBC\".TABLE_PRIVILEGES where \"TABLE_CAT\" = "
       "'C' and  TABLE_SCHEM = 'S'  and  \"TABLE_SCHEM\" like 'S%' and  \"TABLE_NAME\" like 'T_' "
       "order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"PRIVILEGE\", \"GRANTEE\" "},
      {"procedures",
       Fn::Procedures,
       {nullptr, "S%", "P"},
       {},
       "select \"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", \"PROCEDURE_NAME\", cast(NULL as smallint) "
       "as \"NUM_INPUT_PARAMS\", cast(NULL as smallint) as \"NUM_OUTPUT_PARAMS\", cast(NULL as "
       "smallint) as \"NUM_RESULT_SETS\", cast (NULL as varchar(254)) as \"REMARKS\", "
       "\"PROCEDURE_TYPE\" from \"$ODBCJDBC\".ALL_PROCEDURES where  \"PROCEDURE_SCHEM\" like 'S%' "
       "and  \"PROCEDURE_NAME\" like 'P' order by \"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", "
       "\"PROCEDURE_NAME\" "},
      {"procedure columns, ODBC 2",
       Fn::ProcedureColumns,
       {nullptr, nullptr, "P"},
       {.odbc = 2},
       "select \"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", \"PROCEDURE_NAME\", \"COLUMN_NAME\", cast "
       "(\"COLUMN_TYPE\" as smallint) as \"COLUMN_TYPE\", " +
           kOdbc2Type +
           "\"DATA_TYPE\", \"TYPE_NAME\", cast(\"PRECISION\" as smallint)  as \"COLUMN_SIZE\", "
           "cast ((\"PRECISION\" + 2 )as smallint) as \"BUFFER_LENGTH\", cast (\"SCALE\" as "
           "smallint) as \"DECIMAL_DIGITS\", cast (\"RADIX\" as smallint) as \"NUM_PREC_RADIX\", "
           "cast (decode(\"NULLABLE\",true,1,false,0) as smallint) as \"NULLABLE\", cast (NULL as "
           "varchar(254)) as \"REMARKS\", cast (NULL as varchar(10)) as \"COLUMN_DEF\", " +
           kOdbc2Type +
           "\"SQL_DATA_TYPE\", cast(NULL as smallint) as \"SQL_DATETIME_SUB\", cast (\"LENGTH\" as "
           "smallint) as \"CHAR_OCTET_LENGTH\", cast (NULL as smallint) as \"ORDINAL_POSITION\", "
           "\"NULLABLE\" as \"IS_NULLABLE\" from \"$ODBCJDBC\".PROCEDURE_COLUMNS where  "
           "\"PROCEDURE_NAME\" like 'P' order by \"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", "
           "\"PROCEDURE_NAME\", \"COLUMN_TYPE\""},

      // --- empty typed results
      {"statistics",
       Fn::Statistics,
       {nullptr, "S", "T"},
       {},
       "select cast(NULL as varchar(128)) as \"TABLE_CAT\", cast(NULL as varchar(128)) as "
       "\"TABLE_SCHEM\", cast(NULL as varchar(128)) as \"TABLE_NAME\", cast(NULL as smallint) as "
       "\"NON_UNIQUE\", cast(NULL as varchar(128)) as \"INDEX_QUALIFIER\", cast(NULL as "
       "varchar(128)) as \"INDEX_NAME\", cast(NULL as varchar(128)) as \"TYPE\", cast(NULL as "
       "varchar(128)) as \"ORDINAL_POSITION\", cast(NULL as varchar(128)) as \"COLUMN_NAME\", "
       "cast(NULL as varchar(1)) as \"ASC_OR_DESC\", cast(NULL as smallint) as \"CARDINALITY\", "
       "cast(NULL as smallint) as \"PAGES\", cast(NULL as varchar(20000)) as \"FILTER_CONDITION\" "
       "from dual where 1=0"},
      {"statistics, identifier table absent", Fn::Statistics, {nullptr, "S"}, md, "", kNullPointer},
      {"special columns",
       Fn::SpecialColumns,
       {nullptr, nullptr, kTooLong.c_str()},
       md,
       "select  cast (NULL as smallint) as \"SCOPE\",cast (NULL as varchar(128)) as "
       "\"COLUMN_NAME\",cast (0 as smallint) as \"DATA_TYPE\",cast ('' as varchar(128)) as "
       "\"TYPE_NAME\",cast (NULL as integer) as \"COLUMN_SIZE\",cast (NULL as integer) as "
       "\"BUFFER_LENGTH\",cast (NULL as smallint) as \"DECIMAL_DIGITS\",cast (NULL as smallint) as "
       "\"PSEUDO_COLUMN\" from dual where 1=0"},

      // --- type information
      {"type info, all",
       Fn::TypeInfo,
       {},
       {},
       TypeInfoSelect(kPlainType + "\"DATA_TYPE\", ", "\"SQL_DATA_TYPE\", ")},
      {"type info, timestamp to ODBC 2",
       Fn::TypeInfo,
       {},
       {.odbc = 2, .dataType = 93},
       TypeInfoSelect(kOdbc2Type + "\"DATA_TYPE\", ", "\"SQL_DATA_TYPE\", ") +
           " where \"DATA_TYPE\"=93"},
      {"type info, ODBC 2 date",
       Fn::TypeInfo,
       {},
       {.odbc = 2, .dataType = 9},
       TypeInfoSelect(kOdbc2Type + "\"DATA_TYPE\", ", "\"SQL_DATA_TYPE\", ") +
           " where \"DATA_TYPE\"=91"},
      {"type info, long wide text",
       Fn::TypeInfo,
       {},
       {.dataType = -10},
       TypeInfoSelect("-10 as \"DATA_TYPE\", ", "-10 as \"SQL_DATA_TYPE\", ") +
           " where \"DATA_TYPE\"=12"},

      // --- Columns by SQL
      {"columns, protocol 12",
       Fn::Columns,
       {},
       {.protocol = 12, .fastMetadata = true},
       ColumnsSelect(kPlainType, "REMARKS") + kColumnsOrder},
      {"columns, no fast metadata, ODBC 2",
       Fn::Columns,
       {"C", "s%", "t", "c"},
       {.odbc = 2},
       ColumnsSelect(kOdbc2Type, "COLUMN_COMMENT") +
           " where \"TABLE_CAT\" = 'C' and  \"TABLE_SCHEM\" like 's%' and  \"TABLE_NAME\" like "
           "'t' and  \"COLUMN_NAME\" like 'c'" +
           kColumnsOrder},
      {"columns, only the current schema",
       Fn::Columns,
       {},
       {.currentSchema = "S"},
       ColumnsSelect(kPlainType, "COLUMN_COMMENT") + " where  TABLE_SCHEM = 'S' " + kColumnsOrder},
      {"columns, identifiers",
       Fn::Columns,
       {nullptr, "sc", "\"t'x\"", "co"},
       md,
       ColumnsSelect(kPlainType, "COLUMN_COMMENT") +
           " where  \"TABLE_SCHEM\" = 'SC' and  \"TABLE_NAME\" = 't''x' and  \"COLUMN_NAME\" = "
           "'CO'" +
           kColumnsOrder},
      {"columns, identifier column absent", Fn::Columns, {nullptr, "s", "t"}, md, "", kNullPointer},
      {"columns, fast path, identifier column absent",
       Fn::Columns,
       {nullptr, "s", "t"},
       {.metadataId = true, .fastMetadata = true},
       "",
       kNullPointer},
      {"columns, fast path, name too long",
       Fn::Columns,
       {nullptr, "s", kTooLong.c_str(), "c"},
       {.fastMetadata = true},
       "",
       kBadLength},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    conn->connAttr.alwaysSearchPatternsInCat = c.opt.alwaysPatterns;
    conn->connAttr.showOnlyCurrentSchema = c.opt.currentSchema != nullptr;
    if (c.opt.currentSchema) {
      const size_t n = std::strlen(c.opt.currentSchema) + 1;
      conn->connAttr.currentSchema = std::make_unique<char[]>(n);
      std::memcpy(conn->connAttr.currentSchema.get(), c.opt.currentSchema, n);
    }
    conn->fastMetadata = c.opt.fastMetadata;
    conn->SetProtocollVer(c.opt.protocol);
    catalog_test::ScriptedInfo().catalogs = c.opt.catalogs;
    catalog_test::ScriptedInfo().fails = c.opt.infoFails;

    SQLHSTMT h = NewStatement();
    qvoStatement* st = Stmt(h);
    st->SetOdbcVersion(c.opt.odbc);
    st->GetSqlConverter()->SetCurrentCodepage("UTF-8");
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_METADATA_ID,
                             reinterpret_cast<SQLPOINTER>(c.opt.metadataId ? 1 : 0), 0),
              SQL_SUCCESS);
    const size_t executesBefore = RequestsOf(fake::kExecute).size();
    const size_t lookupsBefore = RequestsOf(fake::kGetColumns).size();

    const SQLRETURN rc = Call(h, c.fn, c.args, c.opt.dataType);
    if (c.refusal.empty()) {
      EXPECT_EQ(rc, SQL_SUCCESS) << LastDiag(*st);
      ASSERT_EQ(RequestsOf(fake::kExecute).size(), executesBefore + 1);
      EXPECT_EQ(LastSql(), c.sql);
    } else {
      EXPECT_EQ(rc, SQL_ERROR);
      EXPECT_EQ(LastDiag(*st), c.refusal);
      // Nothing went to the server.
      EXPECT_EQ(RequestsOf(fake::kExecute).size(), executesBefore);
      EXPECT_EQ(RequestsOf(fake::kGetColumns).size(), lookupsBefore);
    }
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

}  // namespace
