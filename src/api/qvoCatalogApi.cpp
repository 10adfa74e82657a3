// Exported catalog functions: the call frame around one catalog operation
// each. Every name is converted to UTF-8 under functionMutex (a null name
// stays null); the operations query the views of the system schema.
#include <array>
#include <memory>

#include "common/qvoArgStrings.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

namespace {

constexpr char kSysSchema[] = "\"$ODBCJDBC\".";

struct NarrowArg {
  SQLCHAR* text;
  SQLSMALLINT length;
};
struct WideArg {
  SQLWCHAR* text;
  SQLSMALLINT length;
};

std::unique_ptr<aString> Wrap(const NarrowArg& a) {
  return std::make_unique<aString>(reinterpret_cast<const char*>(a.text), a.length);
}
std::unique_ptr<wString> Wrap(const WideArg& a) {
  return std::make_unique<wString>(a.text, a.length);
}
iconverter* ConverterFor(qvoStatement& s, const NarrowArg&) { return s.GetSqlConverter(); }
iconverter* ConverterFor(qvoStatement& s, const WideArg&) { return s.GetWcharSqlConverter(); }

// Converts the names, then runs body(statement, names). While the function's
// own query runs asynchronously, the call is its poll: the query is not made
// again.
template <qvoStmtFunction function, class Arg, size_t N, class Body>
SQLRETURN CatalogCall(SQLHSTMT handle, const std::array<Arg, N>& args, Body&& body) {
  std::array<decltype(Wrap(args[0])), N> texts;
  for (size_t i = 0; i < N; ++i) texts[i] = Wrap(args[i]);
  std::array<const char*, N> names{};
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::Cleared,
                     function>(
      handle, SQL_HANDLE_STMT,
      [&](qvoStatement& s) -> SQLRETURN {
        s.ClearDiagRecords();
        for (size_t i = 0; i < N; ++i) {
          if (texts[i]->HasInvalidLength())
            return QVO_DIAG(&s, _Invalid_string_or_buffer_length_, -1);
          if (args[i].text == nullptr) continue;
          names[i] = texts[i]->GetUTF8(ConverterFor(s, args[i]));
          if (names[i] == nullptr) return QVO_DIAG(&s, _Error_converting_string_value_, -1);
        }
        return SQL_SUCCESS;
      },
      [&](qvoStatement& s) {
        if (s.RunningAsynchronously()) return s.PollExecution();
        return body(s, names);
      });
}

}  // namespace

extern "C" {

#define QVO_CATALOG_TABLES(Name, Char, Arg)                                                     \
  SQLRETURN Name(SQLHSTMT StatementHandle, Char* CatalogName, SQLSMALLINT NameLength1,          \
                 Char* SchemaName, SQLSMALLINT NameLength2, Char* TableName,                    \
                 SQLSMALLINT NameLength3, Char* TableType, SQLSMALLINT NameLength4) {           \
    return CatalogCall<qvoStmtFunction::Tables>(StatementHandle,                                \
                                                std::array<Arg, 4>{{{CatalogName, NameLength1}, \
                                                                    {SchemaName, NameLength2},  \
                                                                    {TableName, NameLength3},   \
                                                                    {TableType, NameLength4}}}, \
                                                [](qvoStatement& s, const auto& n) {            \
                                                  return s.Tables(kSysSchema, n[0], n[1], n[2], \
                                                                  n[3]);                        \
                                                });                                             \
  }
QVO_CATALOG_TABLES(QVOTables, SQLCHAR, NarrowArg)
QVO_CATALOG_TABLES(QVOTablesW, SQLWCHAR, WideArg)

#define QVO_CATALOG_4(Name, Char, Arg, Method, A1, A2, A3, A4)                             \
  SQLRETURN Name(SQLHSTMT StatementHandle, Char* A1, SQLSMALLINT NameLength1, Char* A2,    \
                 SQLSMALLINT NameLength2, Char* A3, SQLSMALLINT NameLength3, Char* A4,     \
                 SQLSMALLINT NameLength4) {                                                \
    return CatalogCall<qvoStmtFunction::Method>(                                           \
        StatementHandle,                                                                   \
        std::array<Arg, 4>{                                                                \
            {{A1, NameLength1}, {A2, NameLength2}, {A3, NameLength3}, {A4, NameLength4}}}, \
        [](qvoStatement& s, const auto& n) {                                               \
          return s.Method(kSysSchema, n[0], n[1], n[2], n[3]);                             \
        });                                                                                \
  }
QVO_CATALOG_4(QVOColumns, SQLCHAR, NarrowArg, Columns, CatalogName, SchemaName, TableName,
              ColumnName)
QVO_CATALOG_4(QVOColumnsW, SQLWCHAR, WideArg, Columns, CatalogName, SchemaName, TableName,
              ColumnName)
QVO_CATALOG_4(QVOColumnPrivileges, SQLCHAR, NarrowArg, ColumnPrivileges, CatalogName, SchemaName,
              TableName, ColumnName)
QVO_CATALOG_4(QVOColumnPrivilegesW, SQLWCHAR, WideArg, ColumnPrivileges, CatalogName, SchemaName,
              TableName, ColumnName)
QVO_CATALOG_4(QVOProcedureColumns, SQLCHAR, NarrowArg, ProcedureColumns, CatalogName, SchemaName,
              ProcName, ColumnName)
QVO_CATALOG_4(QVOProcedureColumnsW, SQLWCHAR, WideArg, ProcedureColumns, CatalogName, SchemaName,
              ProcName, ColumnName)

#define QVO_CATALOG_3(Name, Char, Arg, Method, A3)                                               \
  SQLRETURN Name(SQLHSTMT StatementHandle, Char* CatalogName, SQLSMALLINT NameLength1,           \
                 Char* SchemaName, SQLSMALLINT NameLength2, Char* A3, SQLSMALLINT NameLength3) { \
    return CatalogCall<qvoStmtFunction::Method>(                                                 \
        StatementHandle,                                                                         \
        std::array<Arg, 3>{                                                                      \
            {{CatalogName, NameLength1}, {SchemaName, NameLength2}, {A3, NameLength3}}},         \
        [](qvoStatement& s, const auto& n) { return s.Method(kSysSchema, n[0], n[1], n[2]); });  \
  }
QVO_CATALOG_3(QVOPrimaryKeys, SQLCHAR, NarrowArg, PrimaryKeys, TableName)
QVO_CATALOG_3(QVOPrimaryKeysW, SQLWCHAR, WideArg, PrimaryKeys, TableName)
QVO_CATALOG_3(QVOTablePrivileges, SQLCHAR, NarrowArg, TablePrivileges, TableName)
QVO_CATALOG_3(QVOTablePrivilegesW, SQLWCHAR, WideArg, TablePrivileges, TableName)
QVO_CATALOG_3(QVOProcedures, SQLCHAR, NarrowArg, Procedures, ProcName)
QVO_CATALOG_3(QVOProceduresW, SQLWCHAR, WideArg, Procedures, ProcName)

#define QVO_CATALOG_FOREIGN_KEYS(Name, Char, Arg)                                        \
  SQLRETURN Name(SQLHSTMT StatementHandle, Char* PKCatalogName, SQLSMALLINT NameLength1, \
                 Char* PKSchemaName, SQLSMALLINT NameLength2, Char* PKTableName,         \
                 SQLSMALLINT NameLength3, Char* FKCatalogName, SQLSMALLINT NameLength4,  \
                 Char* FKSchemaName, SQLSMALLINT NameLength5, Char* FKTableName,         \
                 SQLSMALLINT NameLength6) {                                              \
    return CatalogCall<qvoStmtFunction::ForeignKeys>(                                    \
        StatementHandle,                                                                 \
        std::array<Arg, 6>{{{PKCatalogName, NameLength1},                                \
                            {PKSchemaName, NameLength2},                                 \
                            {PKTableName, NameLength3},                                  \
                            {FKCatalogName, NameLength4},                                \
                            {FKSchemaName, NameLength5},                                 \
                            {FKTableName, NameLength6}}},                                \
        [](qvoStatement& s, const auto& n) {                                             \
          return s.ForeignKeys(kSysSchema, n[0], n[1], n[2], n[3], n[4], n[5]);          \
        });                                                                              \
  }
QVO_CATALOG_FOREIGN_KEYS(QVOForeignKeys, SQLCHAR, NarrowArg)
QVO_CATALOG_FOREIGN_KEYS(QVOForeignKeysW, SQLWCHAR, WideArg)

// The index statistics and the row-identifying columns: the names are
// checked, the scope, uniqueness and nullability options are not used.
#define QVO_CATALOG_STATISTICS(Name, Char, Arg)                                                 \
  SQLRETURN Name(SQLHSTMT StatementHandle, Char* CatalogName, SQLSMALLINT NameLength1,          \
                 Char* SchemaName, SQLSMALLINT NameLength2, Char* TableName,                    \
                 SQLSMALLINT NameLength3, SQLUSMALLINT, SQLUSMALLINT) {                         \
    return CatalogCall<qvoStmtFunction::Statistics>(                                            \
        StatementHandle,                                                                        \
        std::array<Arg, 3>{                                                                     \
            {{CatalogName, NameLength1}, {SchemaName, NameLength2}, {TableName, NameLength3}}}, \
        [](qvoStatement& s, const auto& n) {                                                    \
          return s.Statistics(kSysSchema, n[0], n[1], n[2]);                                    \
        });                                                                                     \
  }
QVO_CATALOG_STATISTICS(QVOStatistics, SQLCHAR, NarrowArg)
QVO_CATALOG_STATISTICS(QVOStatisticsW, SQLWCHAR, WideArg)

#define QVO_CATALOG_SPECIAL_COLUMNS(Name, Char, Arg)                                            \
  SQLRETURN Name(SQLHSTMT StatementHandle, SQLUSMALLINT, Char* CatalogName,                     \
                 SQLSMALLINT NameLength1, Char* SchemaName, SQLSMALLINT NameLength2,            \
                 Char* TableName, SQLSMALLINT NameLength3, SQLUSMALLINT, SQLUSMALLINT) {        \
    return CatalogCall<qvoStmtFunction::SpecialColumns>(                                        \
        StatementHandle,                                                                        \
        std::array<Arg, 3>{                                                                     \
            {{CatalogName, NameLength1}, {SchemaName, NameLength2}, {TableName, NameLength3}}}, \
        [](qvoStatement& s, const auto&) { return s.SpecialColumns(kSysSchema); });             \
  }
QVO_CATALOG_SPECIAL_COLUMNS(QVOSpecialColumns, SQLCHAR, NarrowArg)
QVO_CATALOG_SPECIAL_COLUMNS(QVOSpecialColumnsW, SQLWCHAR, WideArg)

SQLRETURN QVOGetTypeInfo(SQLHSTMT StatementHandle, SQLSMALLINT DataType) {
  return CatalogCall<qvoStmtFunction::GetTypeInfo>(
      StatementHandle, std::array<NarrowArg, 0>{},
      [&](qvoStatement& s, const auto&) { return s.myGetTypeInfo(kSysSchema, DataType); });
}

}  // extern "C"

// The client's current time as a one-row result, answered without the
// server (exported under its C++ name).
SQLRETURN QVOExecGetTimestamp(SQLHSTMT StatementHandle) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::ExecGetTimestamp);
}
