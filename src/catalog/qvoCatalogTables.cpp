// The tables catalog function: one query over the system view of tables, or
// one of the three special enumerations (catalogs, schemas, table types).
#include <cstdio>
#include <cstring>

#include "catalog/qvoCatalog.h"
#include "statement/qvoStatement.h"

using namespace qvo_catalog;

namespace {

constexpr char kCatalogsQuery[] =
    "select \"TABLE_CAT\", cast(NULL as varchar(%i)) as \"TABLE_SCHEM\" , cast(NULL as "
    "varchar(%i)) as \"TABLE_NAME\", cast (NULL as varchar(%i)) as \"TABLE_TYPE\", cast (NULL as "
    "varchar(254)) as \"REMARKS\" from %s%s";
constexpr char kSchemasQuery[] =
    "select cast (NULL as varchar(%i)) as \"TABLE_CAT\", \"TABLE_SCHEM\", cast (NULL as "
    "varchar(%i)) as \"TABLE_NAME\", cast (NULL as varchar(%i)) as \"TABLE_TYPE\", cast (NULL as "
    "varchar(254)) as \"REMARKS\" from %s%s";
constexpr char kTableTypesQuery[] =
    "select distinct cast (NULL as varchar(%i)) as \"TABLE_CAT\" , cast (NULL as varchar(%i)) as "
    "\"TABLE_SCHEM\",  cast (NULL as varchar(%i)) as \"TABLE_NAME\", \"TABLE_TYPE\", cast (NULL as "
    "varchar(254)) as \"REMARKS\" from %s%s";

// One of the enumeration formats above, filled in.
std::string Enumeration(const char* format, int n, const char* sysSchemaName, const char* view) {
  const int len = std::snprintf(nullptr, 0, format, n, n, n, sysSchemaName, view);
  std::string sql(static_cast<size_t>(len), '\0');
  std::snprintf(sql.data(), sql.size() + 1, format, n, n, n, sysSchemaName, view);
  return sql;
}

bool Is(const char* arg, const char* text) { return std::strcmp(arg, text) == 0; }

}  // namespace

SQLRETURN qvoStatement::Tables(const char* sysSchemaName, const char* CatalogName,
                               const char* SchemaName, const char* TableName,
                               const char* TableType) {
  const std::string filter = CurrentSchemaFilter(*this, " TABLE_SCHEM = '%s' ");
  LogSettings(*this);

  // The special enumerations compare the raw names, whatever metadataID says.
  if (CatalogName && SchemaName && TableName) {
    const int n = GetMaxIdentifierLength();
    std::string sql;
    bool filtered = false;
    if (Is(CatalogName, "%") && Is(SchemaName, "") && Is(TableName, "")) {
      sql = Enumeration(kCatalogsQuery, n, sysSchemaName, "ALL_CATALOGS");
    } else if (Is(CatalogName, "") && Is(SchemaName, "%") && Is(TableName, "")) {
      sql = Enumeration(kSchemasQuery, n, sysSchemaName, "ALL_SCHEMAS");
      filtered = true;
    } else if (Is(CatalogName, "") && Is(SchemaName, "") && Is(TableName, "") && TableType &&
               Is(TableType, "%")) {
      sql = Enumeration(kTableTypesQuery, n, sysSchemaName, "ALL_TABLES");
      filtered = true;
    }
    if (!sql.empty()) {
      if (filtered && !filter.empty()) sql += " WHERE " + filter;
      return RunCatalogQuery(*this, sql, 1);
    }
  }

  std::string catalog, schema, table, types;
  const SQLRETURN rcCatalog =
      CatalogArgument(*this, CatalogName, &catalog, &qvoStatement::GetPatternValueArgument);
  if (rcCatalog == SQL_ERROR) return SQL_ERROR;
  const SQLRETURN rcSchema = GetPatternValueArgument(SchemaName, &schema);
  if (rcSchema == SQL_ERROR) return SQL_ERROR;
  const SQLRETURN rcTable = GetPatternValueArgument(TableName, &table);
  if (rcTable == SQL_ERROR) return SQL_ERROR;
  const SQLRETURN rcTypes = GetValueListArgument(TableType, &types);
  if (rcTypes == SQL_ERROR) return SQL_ERROR;

  const bool identifiers = stmtAttr.metadataID == 1;
  std::string sql =
      "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"TABLE_TYPE\", "
      "cast(LEFT(\"REMARKS\", 254) as varchar(254)) as \"REMARKS\" from ";
  sql += sysSchemaName;
  sql += "ALL_TABLES";

  Conditions where;
  // An empty catalog selects every catalog.
  if (rcCatalog == SQL_SUCCESS && !catalog.empty() && catalog != "''")
    where.Add((identifiers ? "\"TABLE_CAT\" = " : "\"TABLE_CAT\" like ") + catalog);
  if (!filter.empty()) where.Add(filter);
  if (rcSchema == SQL_SUCCESS)
    where.Add((identifiers ? " \"TABLE_SCHEM\" = " : " \"TABLE_SCHEM\" like ") + schema);
  if (rcTable == SQL_SUCCESS)
    where.Add((identifiers ? " \"TABLE_NAME\" = " : " \"TABLE_NAME\" like ") + table);
  if (rcTypes == SQL_SUCCESS) where.Add(" \"TABLE_TYPE\" in (" + types + ")");
  where.AppendTo(sql);
  sql += " order by \"TABLE_TYPE\", \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\" ";
  return RunCatalogQuery(*this, sql, 1);
}
