// Shared pieces of the catalog functions: search-pattern tests, SQL quoting,
// the driver information they need, and the frame every catalog query runs
// in (settings log, current-schema filter, where clause, execution).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"

class qvoStatement;
class qvoLocalResultWriter;

// Info types the catalog functions ask for.
constexpr SQLUSMALLINT QVO_INFO_IDENTIFIER_QUOTE_CHAR = 29;
constexpr SQLUSMALLINT QVO_INFO_CATALOG_NAME = 10003;

// str, or "NULL" for a null pointer (for log lines).
QVO_INTERNAL const char* NotNullStr(const char* str);

// Whether str must be read as a search pattern: a null or empty text, or a
// '%' or '_' not preceded by the escape text (with an empty escape every
// wildcard counts).
QVO_INTERNAL bool ContainsSearchPattern(const char* str, const char* escapeStr);
// True only when none of the three names holds a search pattern.
QVO_INTERNAL bool GoodForColumnsMicroCache(const char* schem, const char* tab, const char* col,
                                           const char* escapeStr);

// ASCII letters upper-cased; every other byte (UTF-8 included) unchanged.
QVO_INTERNAL void AsciiUpper(std::string& text);
// Appends text in quoteChar quotes with every quoteChar inside doubled; with
// quoteChar 0 the text as it is.
QVO_INTERNAL void AppendQuoted(std::string& out, std::string_view text, char quoteChar);

// The converted argument, or null when it is absent (result 100).
inline const char* GetArgument(const std::string& val, SQLRETURN ret) {
  return ret == SQL_NO_DATA ? nullptr : val.c_str();
}

// One text answer of the driver information for a catalog call: 0 with the
// text, or -1 with a diagnostic on the statement (the catalog call fails).
QVO_INTERNAL SQLRETURN CatalogInfoText(qvoStatement& stmt, SQLUSMALLINT infoType,
                                       std::string* text);
// Tests replace where the answers come from; null restores the default.
// Returns the previous source.
using qvoCatalogInfoSource = SQLRETURN (*)(qvoStatement& stmt, SQLUSMALLINT infoType,
                                           std::string* text);
QVO_INTERNAL qvoCatalogInfoSource SetCatalogInfoSource(qvoCatalogInfoSource source);

namespace qvo_catalog {

// Logs the settings that shape catalog queries ("onlyCurrentSchema=Y" or,
// for functions it does not affect, the given line instead).
QVO_INTERNAL void LogSettings(qvoStatement& s, const char* onlyCurrentSchemaLine = nullptr);

// The current-schema filter: format with every %s replaced by the current
// schema as an SQL literal body; empty when the connection shows every
// schema or knows no current schema.
QVO_INTERNAL std::string CurrentSchemaFilter(qvoStatement& s, const char* format);

// A catalog name that identifier rules would refuse when it is absent: the
// call fails only when the server has catalogs (info 10003 "Y"); otherwise
// the catalog counts as absent (100). Other names go to convert.
using ArgumentConverter = SQLRETURN (qvoStatement::*)(const char*, std::string*);
QVO_INTERNAL SQLRETURN CatalogArgument(qvoStatement& s, const char* catalog, std::string* out,
                                       ArgumentConverter convert);

// Conditions of a where clause, joined by " and ".
class Conditions {
 public:
  void Add(std::string text) { list_.push_back(std::move(text)); }
  bool Empty() const { return list_.empty(); }
  void AppendTo(std::string& sql, const char* keyword = " where ") const;

 private:
  std::vector<std::string> list_;
};

// A column of a result the catalog builds itself.
struct LocalColumn {
  const char* name;
  qvo_int32 type;  // _VARCHAR, _SMALLDECIMAL, _DECIMAL
  qvo_int32 size;  // VARCHAR size or precision; kIdentifierSize: the identifier length
  qvo_int32 scale;
};
inline constexpr qvo_int32 kIdentifierSize = -1;
QVO_INTERNAL void DescribeColumns(qvoStatement& s, qvoLocalResultWriter& writer,
                                  std::span<const LocalColumn> columns);

// Logs the query, runs it with ExecDirect and leaves callType in sqlCallType
// whatever the result.
QVO_INTERNAL SQLRETURN RunCatalogQuery(qvoStatement& s, const std::string& sql, char callType);

}  // namespace qvo_catalog
