// The columns catalog function. With fast metadata on a protocol 13 server it
// asks the server's column lookup (directly, or through the statement's
// micro-cache); otherwise it runs a query over the system view of columns.
#include <cstdio>
#include <string>

#include "catalog/qvoCatalog.h"
#include "catalog/qvoColumnsCache.h"
#include "connection/qvoConnection.h"
#include "statement/qvoStatement.h"

using namespace qvo_catalog;

namespace {

constexpr char kOdbc2DataType[] =
    "cast (case \"DATA_TYPE\" when 91 then 9 when 92 then 10 when 93 then 11 else \"DATA_TYPE\" "
    "end as smallint) as ";

void SetStatus(qvoStatement& s, const char* text) { s.SetStatusText(text); }

const char* TrueFalse(bool b) { return b ? "true" : "false"; }

// One processed argument of a column lookup in the log, a line each: its
// routine's result and, when `text` is given, the text.
void LogArgument(qvoStatement& s, const char* name, const char* lowerName, SQLRETURN success,
                 const std::string* text) {
  s.Log("success%s=%i\n", name, static_cast<int>(success));
  if (text) s.Log("%s=%s\n", lowerName, text->c_str());
}

// The select list of the query over the view of columns.
std::string ColumnsSelectList(bool odbc2, bool columnComments) {
  const std::string dataType =
      odbc2 ? std::string(kOdbc2DataType) : std::string("cast (\"DATA_TYPE\" as smallint) as ");
  return "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", " + dataType +
         "\"DATA_TYPE\", \"TYPE_NAME\", cast (\"COLUMN_SIZE\" as int) as \"COLUMN_SIZE\", "
         "cast (( CASE \"DATA_TYPE\" "
         "WHEN 1 THEN cast (\"CHAR_OCTET_LENGTH\" as int) WHEN -5 THEN 8 "
         "WHEN -2 THEN \"COLUMN_SIZE\" WHEN -7 THEN 1 WHEN 9 THEN 6 "
         "WHEN 3 THEN \"COLUMN_SIZE\"+2 WHEN 8 THEN 8 WHEN 6 THEN 8 "
         "WHEN -11 THEN \"COLUMN_SIZE\" WHEN 4 THEN 4 "
         "WHEN -1 THEN cast (\"CHAR_OCTET_LENGTH\" as int) WHEN 2 THEN \"COLUMN_SIZE\"+2 "
         "WHEN 7 THEN 8 WHEN -5 THEN 4 WHEN -6 THEN 1 WHEN 10 THEN 6 WHEN 11 THEN 16 "
         "WHEN 91 THEN 6 WHEN 92 THEN 6 WHEN 93 THEN 16 "
         "WHEN 12 THEN cast (\"CHAR_OCTET_LENGTH\" as int) WHEN -8 THEN \"COLUMN_SIZE\"*2 "
         "WHEN -10 THEN \"COLUMN_SIZE\"*2 WHEN -9 THEN \"COLUMN_SIZE\"*2 "
         "WHEN 123 THEN \"COLUMN_SIZE\" WHEN 124 THEN 16 "
         "ELSE 0 END) as int) as \"BUFFER_LENGTH\", "
         "cast (\"DECIMAL_DIGITS\" as smallint) as \"DECIMAL_DIGITS\", "
         "cast (\"NUM_PREC_RADIX\" as smallint) as \"NUM_PREC_RADIX\", "
         "cast (decode(\"NULLABLE\",true,1,false,0,NULL,2) as smallint) as \"NULLABLE\", " +
         std::string(columnComments
                         ? "cast(LEFT(\"COLUMN_COMMENT\", 254) as varchar(254)) as \"REMARKS\", "
                         : "cast(LEFT(\"REMARKS\", 254) as varchar(254)) as \"REMARKS\", ") +
         "\"COLUMN_DEF\", " + dataType +
         "\"SQL_DATA_TYPE\", cast(NULL as smallint) as \"SQL_DATETIME_SUB\", "
         "cast (\"CHAR_OCTET_LENGTH\" as int) as \"CHAR_OCTET_LENGTH\", "
         "cast (\"ORDINAL_POSITION\" as int) as \"ORDINAL_POSITION\" , \"IS_NULLABLE\" from ";
}

// The query over the view of columns.
SQLRETURN ColumnsBySql(qvoStatement& s, const char* sysSchemaName, const char* CatalogName,
                       const char* SchemaName, const char* TableName, const char* ColumnName) {
  const std::string filter = CurrentSchemaFilter(s, " TABLE_SCHEM = '%s' ");
  std::string catalog, schema, table, column;
  const SQLRETURN rcCatalog =
      CatalogArgument(s, CatalogName, &catalog, &qvoStatement::GetOrdinaryArgument);
  if (rcCatalog == SQL_ERROR) {
    SetStatus(s, "Exit qvoStatement::Columns with error 1");
    return SQL_ERROR;
  }
  const SQLRETURN rcSchema = s.GetPatternValueArgument(SchemaName, &schema);
  const SQLRETURN rcTable =
      rcSchema == SQL_ERROR ? SQL_ERROR : s.GetPatternValueArgument(TableName, &table);
  const SQLRETURN rcColumn =
      rcTable == SQL_ERROR ? SQL_ERROR : s.GetPatternValueArgument(ColumnName, &column);
  if (rcColumn == SQL_ERROR) {
    SetStatus(s, "Exit qvoStatement::Columns with error 2");
    return SQL_ERROR;
  }

  std::string sql =
      ColumnsSelectList(s.GetOdbcVersion() == 2, s.GetConnection()->GetProtocolVersion() >= 13);
  sql += sysSchemaName;
  sql += "ALL_COLUMNS";
  const bool identifiers = s.stmtAttr.metadataID == 1;
  Conditions where;
  if (rcCatalog == SQL_SUCCESS) where.Add("\"TABLE_CAT\" = " + catalog);
  if (!filter.empty()) where.Add(filter);
  if (rcSchema == SQL_SUCCESS)
    where.Add((identifiers ? " \"TABLE_SCHEM\" = " : " \"TABLE_SCHEM\" like ") + schema);
  if (rcTable == SQL_SUCCESS)
    where.Add((identifiers ? " \"TABLE_NAME\" = " : " \"TABLE_NAME\" like ") + table);
  if (rcColumn == SQL_SUCCESS)
    where.Add((identifiers ? " \"COLUMN_NAME\" = " : " \"COLUMN_NAME\" like ") + column);
  where.AppendTo(sql);
  sql += " order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"ORDINAL_POSITION\"";

  const SQLRETURN rc = RunCatalogQuery(s, sql, 2);
  SetStatus(s, "Executed select from catalog schema");
  return rc;
}

// The names of a column lookup, bare (as the server's request takes them).
struct LookupNames {
  std::string catalog, schema, table, column;
  SQLRETURN successCatalog = SQL_NO_DATA, successSchema = SQL_NO_DATA, successTable = SQL_NO_DATA,
            successColumn = SQL_NO_DATA;
  bool columnQuotesWereRemoved = false;
};

std::string Description(const LookupNames& n, bool like, int odbcVersion, bool withColumn) {
  const char* column = withColumn ? NotNullStr(GetArgument(n.column, n.successColumn)) : "NULL";
  const bool columnLike = withColumn ? like : true;
  const int len = std::snprintf(nullptr, 0, "ExecGetColumns(%s, %s, %s, %s, %s, %s, %s, %i)\n",
                                NotNullStr(GetArgument(n.catalog, n.successCatalog)),
                                NotNullStr(GetArgument(n.schema, n.successSchema)), TrueFalse(like),
                                NotNullStr(GetArgument(n.table, n.successTable)), TrueFalse(like),
                                column, TrueFalse(columnLike), odbcVersion);
  std::string text(static_cast<size_t>(len), '\0');
  std::snprintf(text.data(), text.size() + 1, "ExecGetColumns(%s, %s, %s, %s, %s, %s, %s, %i)\n",
                NotNullStr(GetArgument(n.catalog, n.successCatalog)),
                NotNullStr(GetArgument(n.schema, n.successSchema)), TrueFalse(like),
                NotNullStr(GetArgument(n.table, n.successTable)), TrueFalse(like), column,
                TrueFalse(columnLike), odbcVersion);
  return text;
}

// The server's column lookup with all four names; its answer is the result.
SQLRETURN ColumnsDirect(qvoStatement& s, const LookupNames& n) {
  const bool like = s.stmtAttr.metadataID != 1;
  const std::string description = Description(n, like, s.GetOdbcVersion(), true);
  if (s.logFull) {
    LogArgument(s, "Catalog", "catalog", n.successCatalog, &n.catalog);
    LogArgument(s, "Schema", "schema", n.successSchema, &n.schema);
    LogArgument(s, "Table", "table", n.successTable, &n.table);
    LogArgument(s, "Column", "column", n.successColumn, &n.column);
  }
  const SQLRETURN rc = s.ExecGetColumns(
      GetArgument(n.catalog, n.successCatalog), GetArgument(n.schema, n.successSchema), like,
      GetArgument(n.table, n.successTable), like, GetArgument(n.column, n.successColumn), like,
      s.GetOdbcVersion(), description.c_str());
  SetStatus(s, "Executed ExecGetColumns");
  s.MarkCatalogResult(2);
  return rc;
}

// All columns of the table through one column lookup, kept in the
// statement's micro-cache; the call is answered from the cache as a local
// result. A failed lookup or fill leaves the previous cache.
SQLRETURN ColumnsFromCache(qvoStatement& s, const LookupNames& n, const char* SchemaName,
                           const char* TableName) {
  qvoConnection* c = s.GetConnection();
  const bool like = s.stmtAttr.metadataID != 1;
  const char* catalog = GetArgument(n.catalog, n.successCatalog);
  unsigned generation = 0;
  std::shared_ptr<ColumnsCache> cache = s.LoadColumnCache(&generation);
  if (!cache || !cache->Matches(catalog, SchemaName, TableName)) {
    const std::string description = Description(n, like, s.GetOdbcVersion(), false);
    if (s.logFull) {
      s.Log("Fill columnsMicroCache with data from fastMetadata\n");
      LogArgument(s, "Catalog", "catalog", n.successCatalog, nullptr);
      LogArgument(s, "Schema", "schema", n.successSchema, nullptr);
      LogArgument(s, "Table", "table", n.successTable, nullptr);
      LogArgument(s, "Column", "column", n.successColumn, nullptr);
    }
    // The cache is filled from the whole answer: read to its end here, also
    // when executions run asynchronously.
    const SQLRETURN rc = s.ExecGetColumns(catalog, GetArgument(n.schema, n.successSchema), like,
                                          GetArgument(n.table, n.successTable), like, nullptr, true,
                                          s.GetOdbcVersion(), description.c_str(), 0);
    SetStatus(s, "Executed ExecGetColumns for microCache");
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return SQL_ERROR;
    auto filled = std::make_shared<ColumnsCache>(catalog, SchemaName, TableName);
    if (FillColumnsCache(s, *filled) != SQL_SUCCESS) return SQL_ERROR;
    s.StoreColumnCache(filled, generation);
    cache = std::move(filled);
  }
  const std::vector<const CachedColumn*> rows =
      SelectCachedColumns(*cache, GetArgument(n.column, n.successColumn), !like,
                          n.columnQuotesWereRemoved, c->GetSearchStringEscape().c_str());
  const SQLRETURN rc = AnswerFromColumnsCache(s, rows);
  s.MarkCatalogResult(2);
  SetStatus(s, "Executed read from microCache");
  return rc;
}

}  // namespace

SQLRETURN qvoStatement::Columns(const char* sysSchemaName, const char* CatalogName,
                                const char* SchemaName, const char* TableName,
                                const char* ColumnName) {
  SetStatus(*this, "Entering qvoStatement::Columns");
  qvoConnection* c = connection;
  const bool onlyCurrentSchema = c->ShowOnlyCurrentSchema();
  // Copies: another thread may change the connection's settings meanwhile.
  const std::string currentSchema = c->GetCurrentSchema();
  const qvoConnection::MetadataSwitches switches = c->GetMetadataSwitches();
  if (logFull) {
    if (onlyCurrentSchema) Log("onlyCurrentSchema=Y\n");
    if (!currentSchema.empty())
      Log(" currentSchema=%s", currentSchema.c_str());
    else
      Log(" currentSchema=NULL\n");
    if (c->AlwaysSearchPatternsInCat()) Log("alwaysSearchPatternsInCat=Y\n");
    if (stmtAttr.metadataID == 1) Log("metadataID=SQL_TRUE\n");
  }
  if (!switches.fast || c->GetProtocolVersion() < 13)
    return ColumnsBySql(*this, sysSchemaName, CatalogName, SchemaName, TableName, ColumnName);

  if (logFull) {
    if (switches.microCache && switches.forceMicroCache)
      Log("columnsMicroCache=F\n");
    else if (switches.microCache)
      Log("columnsMicroCache=Y\n");
    Log("fastMetadata=Y\n");
  }
  // A name that the query would refuse is refused here too.
  LookupNames n;
  n.successCatalog =
      CatalogArgument(*this, CatalogName, &n.catalog, &qvoStatement::GetOrdinaryArgumentFast);
  if (n.successCatalog == SQL_ERROR) {
    SetStatus(*this, "Exit qvoStatement::Columns with error 1");
    return SQL_ERROR;
  }
  if (onlyCurrentSchema) {
    n.schema = currentSchema;
    n.successSchema = SQL_SUCCESS;
  } else {
    n.successSchema = GetPatternValueArgumentFast(SchemaName, &n.schema);
  }
  if (n.successSchema != SQL_ERROR)
    n.successTable = GetPatternValueArgumentFast(TableName, &n.table);
  if (n.successSchema != SQL_ERROR && n.successTable != SQL_ERROR) {
    quotesWereRemoved = false;
    n.successColumn = GetPatternValueArgumentFast(ColumnName, &n.column);
    n.columnQuotesWereRemoved = quotesWereRemoved;
  }
  if (n.successSchema == SQL_ERROR || n.successTable == SQL_ERROR || n.successColumn == SQL_ERROR) {
    SetStatus(*this, "Exit qvoStatement::Columns with error 2");
    return SQL_ERROR;
  }
  const bool good = GoodForColumnsMicroCache(
      GetArgument(n.schema, n.successSchema), GetArgument(n.table, n.successTable),
      GetArgument(n.column, n.successColumn), c->GetSearchStringEscape().c_str());
  if (logFull) Log("ColumnsMicoCache can be used: %s\n", TrueFalse(good));
  if (switches.microCache && (good || switches.forceMicroCache))
    return ColumnsFromCache(*this, n, SchemaName, TableName);
  return ColumnsDirect(*this, n);
}
