// The type-information query over the server's view of SQL types.
#include <string>

#include "catalog/qvoCatalog.h"
#include "statement/qvoStatement.h"

using namespace qvo_catalog;

namespace {

// The code the view is searched for: ODBC 2 date and time codes find the
// ODBC 3 rows, the long character types the variable-length one.
int LookedUpType(SQLSMALLINT dataType) {
  switch (dataType) {
    case SQL_DATE:
      return SQL_TYPE_DATE;
    case SQL_TIME:
      return SQL_TYPE_TIME;
    case SQL_TIMESTAMP:
      return SQL_TYPE_TIMESTAMP;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
      return SQL_VARCHAR;
    default:
      return dataType;
  }
}

}  // namespace

SQLRETURN qvoStatement::myGetTypeInfo(const char* sysSchemaName, SQLSMALLINT DataType) {
  LogSettings(*this);
  const bool longText = DataType == SQL_LONGVARCHAR || DataType == SQL_WLONGVARCHAR;
  const std::string code = std::to_string(DataType);

  std::string sql = "select \"TYPE_NAME\", ";
  if (longText)
    sql += code + " as \"DATA_TYPE\", ";
  else if (GetOdbcVersion() == 2)
    sql +=
        "cast (case \"DATA_TYPE\" when 91 then 9 when 92 then 10 when 93 then 11 else "
        "\"DATA_TYPE\" end as smallint) as \"DATA_TYPE\", ";
  else
    sql += "cast (\"DATA_TYPE\" as smallint) as \"DATA_TYPE\", ";
  sql +=
      "\"PRECISION\" as \"COLUMN_SIZE\", \"LITERAL_PREFIX\", \"LITERAL_SUFFIX\", "
      "\"CREATE_PARAMS\", \"NULLABLE\", \"CASE_SENSITIVE\", \"SEARCHABLE\", "
      "cast (( CASE \"UNSIGNED_ATTRIBUTE\" WHEN true THEN 1 WHEN false THEN 0 ELSE NULL END) as "
      "smallint) as \"UNSIGNED_ATTRIBUTE\", \"FIXED_PREC_SCALE\", "
      "\"AUTO_INCREMENT\" as \"AUTO_UNIQUE_VALUE\", \"LOCAL_TYPE_NAME\", \"MINIMUM_SCALE\", "
      "\"MAXIMUM_SCALE\", ";
  sql += longText ? code + " as \"SQL_DATA_TYPE\", " : std::string("\"SQL_DATA_TYPE\", ");
  sql += "\"SQL_DATETIME_SUB\", \"NUM_PREC_RADIX\", \"INTERVAL_PRECISION\" from ";
  sql += sysSchemaName;
  sql += "SQL_TYPES";
  if (DataType != SQL_ALL_TYPES)
    sql += " where \"DATA_TYPE\"=" + std::to_string(LookedUpType(DataType));
  return RunCatalogQuery(*this, sql, 12);
}
