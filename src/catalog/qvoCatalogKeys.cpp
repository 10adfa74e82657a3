// The catalog functions for keys, privileges and procedures (one table row
// each: view, select list, arguments, filter and order), and the two that
// always answer with an empty typed result: statistics and special columns.
#include <array>
#include <string>

#include "catalog/qvoCatalog.h"
#include "statement/qvoStatement.h"

using namespace qvo_catalog;

namespace {

// An ordinary argument is compared with the statement's ordinary predicate
// (" = " or " LIKE "); a pattern argument with "=" under identifier rules,
// else with like.
enum class ArgKind { Ordinary, Pattern };

struct ArgSpec {
  ArgKind kind;
  const char* column;  // ordinary: written before the predicate
  const char* equals;  // pattern, identifier rules
  const char* like;    // pattern, otherwise
};

constexpr char kOdbc2DataType[] =
    "cast (case \"DATA_TYPE\" when 91 then 9 when 92 then 10 when 93 then 11 else \"DATA_TYPE\" "
    "end as smallint) as ";

struct FilteredQuery {
  char callType;
  const char* view;
  std::string (*selectList)(bool odbc2);
  const char* filterFormat;
  int argCount;
  std::array<ArgSpec, 6> args;
  const char* order;
  // The order clause only when one of these arguments is present (-1: always).
  std::array<int, 2> orderWhenPresent;
  // Under identifier rules an absent catalog is let through when the server
  // has no catalogs.
  bool catalogMayBeAbsent;
};

constexpr ArgSpec Ordinary(const char* column) { return {ArgKind::Ordinary, column, "", ""}; }
constexpr ArgSpec Pattern(const char* equals, const char* like) {
  return {ArgKind::Pattern, "", equals, like};
}

std::string ProcedureColumnsSelect(bool odbc2) {
  const std::string dataType =
      odbc2 ? std::string(kOdbc2DataType) : std::string("cast (\"DATA_TYPE\" as smallint) as ");
  return "\"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", \"PROCEDURE_NAME\", \"COLUMN_NAME\", "
         "cast (\"COLUMN_TYPE\" as smallint) as \"COLUMN_TYPE\", " +
         dataType +
         "\"DATA_TYPE\", \"TYPE_NAME\", cast(\"PRECISION\" as smallint)  as \"COLUMN_SIZE\", "
         "cast ((\"PRECISION\" + 2 )as smallint) as \"BUFFER_LENGTH\", "
         "cast (\"SCALE\" as smallint) as \"DECIMAL_DIGITS\", "
         "cast (\"RADIX\" as smallint) as \"NUM_PREC_RADIX\", "
         "cast (decode(\"NULLABLE\",true,1,false,0) as smallint) as \"NULLABLE\", "
         "cast (NULL as varchar(254)) as \"REMARKS\", "
         "cast (NULL as varchar(10)) as \"COLUMN_DEF\", " +
         dataType +
         "\"SQL_DATA_TYPE\", cast(NULL as smallint) as \"SQL_DATETIME_SUB\", "
         "cast (\"LENGTH\" as smallint) as \"CHAR_OCTET_LENGTH\", "
         "cast (NULL as smallint) as \"ORDINAL_POSITION\", \"NULLABLE\" as \"IS_NULLABLE\"";
}

const FilteredQuery kForeignKeys{
    5,
    "FOREIGN_KEYS",
    [](bool) -> std::string {
      return "\"PKTABLE_CAT\", \"PKTABLE_SCHEM\", \"PKTABLE_NAME\", \"PKCOLUMN_NAME\", "
             "\"FKTABLE_CAT\", \"FKTABLE_SCHEM\", \"FKTABLE_NAME\", \"FKCOLUMN_NAME\", "
             "\"KEY_SEQ\", \"UPDATE_RULE\", \"DELETE_RULE\", \"FK_NAME\", \"PK_NAME\", "
             "\"DEFERRABILITY\"";
    },
    " PKTABLE_SCHEM = '%s' and FKTABLE_SCHEM = '%s' ",
    6,
    {Ordinary("\"PKTABLE_CAT\""), Ordinary(" \"PKTABLE_SCHEM\""), Ordinary(" \"PKTABLE_NAME\""),
     Ordinary("\"FKTABLE_CAT\""), Ordinary(" \"FKTABLE_SCHEM\""), Ordinary(" \"FKTABLE_NAME\"")},
    " order by \"PKTABLE_CAT\", \"PKTABLE_SCHEM\", \"PKTABLE_NAME\", \"KEY_SEQ\" ",
    {2, 5},
    false};

const FilteredQuery kPrimaryKeys{
    6,
    "PRIMARY_KEYS",
    [](bool) -> std::string {
      return "\"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", \"KEY_SEQ\", "
             "\"PK_NAME\"";
    },
    " TABLE_SCHEM = '%s' ",
    3,
    {Ordinary("\"TABLE_CAT\""), Ordinary(" \"TABLE_SCHEM\""), Ordinary(" \"TABLE_NAME\"")},
    " order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"KEY_SEQ\" ",
    {-1, -1},
    true};

const FilteredQuery kColumnPrivileges{
    7,
    "COLUMN_PRIVILEGES",
    [](bool) -> std::string {
      return "\"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", \"GRANTOR\", "
             "\"GRANTEE\", \"PRIVILEGE\"";
    },
    " TABLE_SCHEM = '%s' ",
    4,
    {Ordinary("\"TABLE_CAT\""), Ordinary(" \"TABLE_SCHEM\""), Ordinary(" \"TABLE_NAME\""),
     Pattern(" \"COLUMN_NAME\" = ", " \"COLUMN_NAME\" like ")},
    " order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", \"PRIVILEGE\" ",
    {-1, -1},
    true};

const FilteredQuery kProcedureColumns{
    8,
    "PROCEDURE_COLUMNS",
    &ProcedureColumnsSelect,
    " PROCEDURE_SCHEM = '%s' ",
    4,
    {Ordinary("\"PROCEDURE_CAT\""),
     Pattern(" \"PROCEDURE_SCHEM\" = ", " \"PROCEDURE_SCHEM\" like "),
     Pattern(" \"PROCEDURE_NAME\" = ", " \"PROCEDURE_NAME\" like "),
     Pattern(" \"COLUMN_NAME\" = ", " \"COLUMN_NAME\" like ")},
    " order by \"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", \"PROCEDURE_NAME\", \"COLUMN_TYPE\"",
    {-1, -1},
    true};

const FilteredQuery kProcedures{
    9,
    "ALL_PROCEDURES",
    [](bool) -> std::string {
      return "\"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", \"PROCEDURE_NAME\", "
             "cast(NULL as smallint) as \"NUM_INPUT_PARAMS\", "
             "cast(NULL as smallint) as \"NUM_OUTPUT_PARAMS\", "
             "cast(NULL as smallint) as \"NUM_RESULT_SETS\", "
             "cast (NULL as varchar(254)) as \"REMARKS\", \"PROCEDURE_TYPE\"";
    },
    " PROCEDURE_SCHEM = '%s' ",
    3,
    {Ordinary("\"PROCEDURE_CAT\""),
     Pattern(" \"PROCEDURE_SCHEM\" = ", " \"PROCEDURE_SCHEM\" like "),
     Pattern(" \"PROCEDURE_NAME\" = ", " \"PROCEDURE_NAME\" like ")},
    " order by \"PROCEDURE_CAT\", \"PROCEDURE_SCHEM\", \"PROCEDURE_NAME\" ",
    {-1, -1},
    true};

const FilteredQuery kTablePrivileges{
    10,
    "TABLE_PRIVILEGES",
    [](bool) -> std::string {
      return "\"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"GRANTOR\", \"GRANTEE\", "
             "\"PRIVILEGE\", \"IS_GRANTABLE\"";
    },
    " TABLE_SCHEM = '%s' ",
    3,
    {Ordinary("\"TABLE_CAT\""), Pattern(" \"TABLE_SCHEM\" = ", " \"TABLE_SCHEM\" like "),
     Pattern(" \"TABLE_NAME\" = ", " \"TABLE_NAME\" like ")},
    " order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"PRIVILEGE\", \"GRANTEE\" ",
    {-1, -1},
    true};

// The query of one filtering function over its arguments (names[0] is the
// catalog name).
SQLRETURN RunFiltered(qvoStatement& s, const FilteredQuery& q, const char* sysSchemaName,
                      std::array<const char*, 6> names) {
  const std::string filter = CurrentSchemaFilter(s, q.filterFormat);
  LogSettings(s);

  std::array<std::string, 6> values;
  std::array<SQLRETURN, 6> rc{};
  for (int i = 0; i < q.argCount; ++i) {
    const ArgumentConverter convert = q.args[i].kind == ArgKind::Ordinary
                                          ? &qvoStatement::GetOrdinaryArgument
                                          : &qvoStatement::GetPatternValueArgument;
    rc[i] = (i == 0 && q.catalogMayBeAbsent) ? CatalogArgument(s, names[i], &values[i], convert)
                                             : (s.*convert)(names[i], &values[i]);
    if (rc[i] == SQL_ERROR) return SQL_ERROR;
  }

  std::string sql = "select " + q.selectList(s.GetOdbcVersion() == 2) + " from ";
  sql += sysSchemaName;
  sql += q.view;

  const bool identifiers = s.stmtAttr.metadataID == 1;
  Conditions where;
  for (int i = 0; i < q.argCount; ++i) {
    if (rc[i] == SQL_SUCCESS) {
      const ArgSpec& a = q.args[i];
      if (a.kind == ArgKind::Ordinary)
        where.Add(a.column + std::string(s.ordinaryArgumentPredicate) + values[i]);
      else
        where.Add((identifiers ? a.equals : a.like) + values[i]);
    }
    // The filter follows the catalog condition.
    if (i == 0 && !filter.empty()) where.Add(filter);
  }
  where.AppendTo(sql);

  const bool order = q.orderWhenPresent[0] < 0 || rc[q.orderWhenPresent[0]] == SQL_SUCCESS ||
                     rc[q.orderWhenPresent[1]] == SQL_SUCCESS;
  if (order) sql += q.order;
  return RunCatalogQuery(s, sql, q.callType);
}

}  // namespace

SQLRETURN qvoStatement::ForeignKeys(const char* sysSchemaName, const char* PKCatalogName,
                                    const char* PKSchemaName, const char* PKTableName,
                                    const char* FKCatalogName, const char* FKSchemaName,
                                    const char* FKTableName) {
  return RunFiltered(
      *this, kForeignKeys, sysSchemaName,
      {PKCatalogName, PKSchemaName, PKTableName, FKCatalogName, FKSchemaName, FKTableName});
}

SQLRETURN qvoStatement::PrimaryKeys(const char* sysSchemaName, const char* CatalogName,
                                    const char* SchemaName, const char* TableName) {
  return RunFiltered(*this, kPrimaryKeys, sysSchemaName, {CatalogName, SchemaName, TableName});
}

SQLRETURN qvoStatement::ColumnPrivileges(const char* sysSchemaName, const char* CatalogName,
                                         const char* SchemaName, const char* TableName,
                                         const char* ColumnName) {
  return RunFiltered(*this, kColumnPrivileges, sysSchemaName,
                     {CatalogName, SchemaName, TableName, ColumnName});
}

SQLRETURN qvoStatement::ProcedureColumns(const char* sysSchemaName, const char* CatalogName,
                                         const char* SchemaName, const char* ProcName,
                                         const char* ColumnName) {
  return RunFiltered(*this, kProcedureColumns, sysSchemaName,
                     {CatalogName, SchemaName, ProcName, ColumnName});
}

SQLRETURN qvoStatement::Procedures(const char* sysSchemaName, const char* CatalogName,
                                   const char* SchemaName, const char* ProcName) {
  return RunFiltered(*this, kProcedures, sysSchemaName, {CatalogName, SchemaName, ProcName});
}

SQLRETURN qvoStatement::TablePrivileges(const char* sysSchemaName, const char* CatalogName,
                                        const char* SchemaName, const char* TableName) {
  return RunFiltered(*this, kTablePrivileges, sysSchemaName, {CatalogName, SchemaName, TableName});
}

SQLRETURN qvoStatement::Statistics(const char*, const char* CatalogName, const char* SchemaName,
                                   const char* TableName) {
  LogSettings(*this, "onlyCurrentSchema does not affect this\n");
  // The names are only checked: the server keeps no index statistics.
  std::string value;
  if (CatalogArgument(*this, CatalogName, &value, &qvoStatement::GetOrdinaryArgument) ==
          SQL_ERROR ||
      GetOrdinaryArgument(SchemaName, &value) == SQL_ERROR ||
      GetOrdinaryArgument(TableName, &value) == SQL_ERROR)
    return SQL_ERROR;

  const std::string n = std::to_string(GetMaxIdentifierLength());
  const std::string name = "cast(NULL as varchar(" + n + ")) as ";
  const std::string sql = "select " + name + "\"TABLE_CAT\", " + name + "\"TABLE_SCHEM\", " + name +
                          "\"TABLE_NAME\", cast(NULL as smallint) as \"NON_UNIQUE\", " + name +
                          "\"INDEX_QUALIFIER\", " + name + "\"INDEX_NAME\", " + name +
                          "\"TYPE\", " + name + "\"ORDINAL_POSITION\", " + name +
                          "\"COLUMN_NAME\", cast(NULL as varchar(1)) as \"ASC_OR_DESC\", "
                          "cast(NULL as smallint) as \"CARDINALITY\", "
                          "cast(NULL as smallint) as \"PAGES\", "
                          "cast(NULL as varchar(20000)) as \"FILTER_CONDITION\" from dual "
                          "where 1=0";
  return RunCatalogQuery(*this, sql, 3);
}

SQLRETURN qvoStatement::SpecialColumns(const char*) {
  ClearDiagRecords();
  LogSettings(*this, "onlyCurrentSchema does not affect this\n");
  const std::string n = std::to_string(GetMaxIdentifierLength());
  const std::string sql = "select  cast (NULL as smallint) as \"SCOPE\",cast (NULL as varchar(" +
                          n +
                          ")) as \"COLUMN_NAME\",cast (0 as smallint) as \"DATA_TYPE\",cast ('' "
                          "as varchar(" +
                          n +
                          ")) as \"TYPE_NAME\",cast (NULL as integer) as \"COLUMN_SIZE\",cast "
                          "(NULL as integer) as \"BUFFER_LENGTH\",cast (NULL as smallint) as "
                          "\"DECIMAL_DIGITS\",cast (NULL as smallint) as \"PSEUDO_COLUMN\" from "
                          "dual where 1=0";
  return RunCatalogQuery(*this, sql, 11);
}
