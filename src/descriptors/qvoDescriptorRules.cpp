// Which descriptor field each kind of descriptor may write or read, as ODBC
// defines it. These checks answer a caller that asks first; the field
// readers and writers themselves do not consult them.
#include "common/qvoPredicates.h"
#include "descriptors/qvoDescriptors.h"
#include "messages/qvoTranslator.h"

namespace {

// Columns in the order ARD, APD, IRD, IPD, application's descriptor.
enum Write : unsigned char { N, Y };    // refused / may write
enum Read : unsigned char { D, R, X };  // no data / may read / not recognised

struct FieldRule {
  SQLSMALLINT id;
  Write write[5];
  Read read[5];
};

// clang-format off
constexpr FieldRule kRules[] = {
  //  identifier                         write: ARD APD IRD IPD usr   read: ARD APD IRD IPD usr
  {SQL_DESC_CONCISE_TYPE,                {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_DISPLAY_SIZE,                {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_UNSIGNED,                    {N, N, N, N, N}, {D, D, R, R, R}},
  {SQL_DESC_FIXED_PREC_SCALE,            {N, N, N, N, N}, {D, D, R, R, R}},
  {SQL_DESC_UPDATABLE,                   {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_AUTO_UNIQUE_VALUE,           {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_CASE_SENSITIVE,              {N, N, N, N, N}, {D, D, R, R, R}},
  {SQL_DESC_SEARCHABLE,                  {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_TYPE_NAME,                   {N, N, N, N, N}, {D, D, R, R, R}},
  {SQL_DESC_TABLE_NAME,                  {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_SCHEMA_NAME,                 {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_CATALOG_NAME,                {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_LABEL,                       {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_ARRAY_SIZE,                  {Y, Y, N, N, Y}, {R, R, D, D, R}},
  {SQL_DESC_ARRAY_STATUS_PTR,            {Y, Y, Y, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_BASE_COLUMN_NAME,            {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_BASE_TABLE_NAME,             {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_BIND_OFFSET_PTR,             {Y, Y, N, N, Y}, {R, R, D, D, R}},
  {SQL_DESC_BIND_TYPE,                   {Y, Y, N, N, Y}, {R, R, D, D, R}},
  {SQL_DESC_DATETIME_INTERVAL_PRECISION, {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_LITERAL_PREFIX,              {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_LITERAL_SUFFIX,              {N, N, N, N, N}, {D, D, R, D, R}},
  {SQL_DESC_LOCAL_TYPE_NAME,             {N, N, N, N, N}, {D, D, R, R, R}},
  {SQL_DESC_NUM_PREC_RADIX,              {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_PARAMETER_TYPE,              {N, N, N, Y, Y}, {D, D, D, R, R}},
  {SQL_DESC_ROWS_PROCESSED_PTR,          {N, N, Y, Y, Y}, {D, D, R, R, R}},
  {SQL_DESC_ROWVER,                      {N, N, N, N, N}, {D, D, R, R, R}},
  {SQL_DESC_COUNT,                       {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_TYPE,                        {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_LENGTH,                      {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_OCTET_LENGTH_PTR,            {Y, Y, N, N, Y}, {R, R, D, D, R}},
  {SQL_DESC_PRECISION,                   {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_SCALE,                       {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_DATETIME_INTERVAL_CODE,      {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_NULLABLE,                    {N, N, N, N, N}, {D, D, R, R, R}},
  {SQL_DESC_INDICATOR_PTR,               {Y, Y, N, N, Y}, {R, R, D, D, R}},
  {SQL_DESC_DATA_PTR,                    {Y, Y, N, N, Y}, {R, R, D, D, R}},
  {SQL_DESC_NAME,                        {N, N, N, Y, Y}, {D, D, R, R, R}},
  {SQL_DESC_UNNAMED,                     {N, N, N, Y, Y}, {D, D, R, R, R}},
  {SQL_DESC_OCTET_LENGTH,                {Y, Y, N, Y, Y}, {R, R, R, R, R}},
  {SQL_DESC_ALLOC_TYPE,                  {N, N, N, N, N}, {R, R, R, R, R}},
  {QVO_DESC_OCTET_LENGTH_BACKUP,         {Y, Y, Y, Y, Y}, {X, X, X, X, X}},
  {QVO_DESC_OCTET_LENGTH_BACKUP_ALT,     {Y, Y, Y, Y, Y}, {X, X, X, X, X}},
};
// clang-format on

const FieldRule* FindRule(SQLSMALLINT id) {
  for (const auto& rule : kRules)
    if (rule.id == id) return &rule;
  return nullptr;
}

// Column of a kind; kinds outside 5..9 have none.
int KindColumn(SQLSMALLINT kind) {
  return kind >= QVO_DESC_ARD && kind <= QVO_DESC_USER ? kind - QVO_DESC_ARD : -1;
}

}  // namespace

SQLRETURN cliDescriptor::CheckSetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier,
                                           SQLPOINTER, SQLINTEGER) {
  if (!IsHeaderField(FieldIdentifier) && (RecNumber < 0 || RecNumber > header.count))
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_);
  const FieldRule* rule = FindRule(FieldIdentifier);
  if (rule == nullptr) return QVO_DESC_DIAG(*this, _Invalid_descriptor_field_identifier_);
  const int column = KindColumn(descType);
  if (column < 0 || rule->write[column] != Y)
    return QVO_DESC_DIAG(*this, _Cannot_modify_this_field_in_this_descriptor_);
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::CheckGetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier,
                                           SQLPOINTER Value, SQLINTEGER, SQLINTEGER*) {
  if (!IsHeaderField(FieldIdentifier)) {
    if (RecNumber < 0) return QVO_DESC_DIAG(*this, _Invalid_descriptor_index_);
    if (RecNumber > header.count) return SQL_NO_DATA;
  }
  if (Value == nullptr) return QVO_DESC_DIAG(*this, _Memory_management_error_);
  const FieldRule* rule = FindRule(FieldIdentifier);
  const int column = KindColumn(descType);
  if (rule == nullptr || rule->read[0] == X)
    return QVO_DESC_DIAG(*this, _Invalid_descriptor_field_identifier_);
  if (column < 0 || rule->read[column] != R) return SQL_NO_DATA;
  return SQL_SUCCESS;
}
