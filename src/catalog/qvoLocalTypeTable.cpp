// The type table the library answers itself (one row, BIT), in the columns of
// the ODBC type-information result. The exported type-information call asks
// the server's view instead; this one serves callers that want the table
// without a server round trip.
#include "catalog/qvoCatalog.h"
#include "common/qvoTypeCodes.h"
#include "handles/qvoDiag.h"
#include "protocol/qvoLocalResults.h"
#include "statement/qvoStatement.h"

using namespace qvo_catalog;

namespace {

constexpr LocalColumn kTypeTableColumns[] = {
    {"TYPE_NAME", _VARCHAR, kIdentifierSize, 0},
    {"DATA_TYPE", _SMALLDECIMAL, 9, 0},
    {"COLUMN_SIZE", _SMALLDECIMAL, 9, 0},
    {"LITERAL_PREFIX", _VARCHAR, kIdentifierSize, 0},
    {"LITERAL_SUFFIX", _VARCHAR, kIdentifierSize, 0},
    {"CREATE_PARAMS", _VARCHAR, kIdentifierSize, 0},
    {"NULLABLE", _SMALLDECIMAL, 9, 0},
    {"CASE_SENSITIVE", _SMALLDECIMAL, 9, 0},
    {"SEARCHABLE", _SMALLDECIMAL, 9, 0},
    {"UNSIGNED_ATTRIBUTE", _SMALLDECIMAL, 9, 0},
    {"FIXED_PREC_SCALE", _SMALLDECIMAL, 9, 0},
    {"AUTO_UNIQUE_VALUE", _SMALLDECIMAL, 9, 0},
    {"LOCAL_TYPE_NAME", _VARCHAR, 40, 0},
    {"MINIMUM_SCALE", _SMALLDECIMAL, 9, 0},
    {"MAXIMUM_SCALE", _SMALLDECIMAL, 9, 0},
    {"SQL_DATA_TYPE", _SMALLDECIMAL, 9, 0},
    {"SQL_DATETIME_SUB", _SMALLDECIMAL, 9, 0},
    {"NUM_PREC_RADIX", _SMALLDECIMAL, 9, 0},
    {"INTERVAL_PRECISION", _SMALLDECIMAL, 9, 0},
};

// One row of the table: texts (null: NULL) and numbers (-1: NULL) in
// column order.
struct TypeRow {
  const char* typeName;
  SQLINTEGER dataType, columnSize;
  const char *literalPrefix, *literalSuffix, *createParams;
  SQLINTEGER nullable, caseSensitive, searchable, unsignedAttribute, fixedPrecScale,
      autoUniqueValue;
  const char* localTypeName;
  SQLINTEGER minimumScale, maximumScale, sqlDataType, sqlDatetimeSub, numPrecRadix,
      intervalPrecision;
};
constexpr TypeRow kTypeRows[] = {
    {"BIT", SQL_BIT, 1, nullptr, nullptr, nullptr, 0, 0, 2, -1, 0, -1, nullptr, 0, 0, SQL_BIT, -1,
     -1, -1},
};

// The 19 values of one row. A result of one row only: values go column by
// column, so several rows would interleave.
SQLBIGINT AddTypeInfoRow(qvoLocalResultWriter& w, const TypeRow& r) {
  w.Add_SQLVARCHAR(r.typeName);
  w.Add_SQLINTEGER(r.dataType);
  w.Add_SQLINTEGER(r.columnSize);
  w.Add_SQLVARCHAR(r.literalPrefix);
  w.Add_SQLVARCHAR(r.literalSuffix);
  w.Add_SQLVARCHAR(r.createParams);
  for (SQLINTEGER v : {r.nullable, r.caseSensitive, r.searchable, r.unsignedAttribute,
                       r.fixedPrecScale, r.autoUniqueValue})
    w.Add_SQLINTEGER(v);
  w.Add_SQLVARCHAR(r.localTypeName);
  for (SQLINTEGER v : {r.minimumScale, r.maximumScale, r.sqlDataType, r.sqlDatetimeSub,
                       r.numPrecRadix, r.intervalPrecision})
    w.Add_SQLINTEGER(v);
  return 1;
}

}  // namespace

namespace qvo_catalog {

void DescribeColumns(qvoStatement& s, qvoLocalResultWriter& writer,
                     std::span<const LocalColumn> columns) {
  for (const LocalColumn& c : columns)
    writer.AddColumn(c.name, c.type,
                     c.size == kIdentifierSize ? s.GetMaxIdentifierLength() : c.size, c.scale);
}

}  // namespace qvo_catalog

SQLRETURN qvoStatement::GetTypeInfo(const char*, SQLSMALLINT DataType) {
  InitStatement(QVO_INIT_RESET);
  LogSettings(*this);
  qvoLocalResultWriter writer(QVO_RESULT_TYPE_TABLE, std::size(kTypeTableColumns));
  DescribeColumns(*this, writer, kTypeTableColumns);
  SQLBIGINT rows = 0;
  if (DataType == SQL_ALL_TYPES || DataType == SQL_BIT)
    rows += AddTypeInfoRow(writer, kTypeRows[0]);
  if (TakeLocalResult(writer, rows) == SQL_ERROR) {
    QVO_DIAG(this, _Invalid_TYPE_INFO_table_, -1);
    return SQL_ERROR;
  }
  MarkCatalogResult(4);
  return SQL_SUCCESS;
}
