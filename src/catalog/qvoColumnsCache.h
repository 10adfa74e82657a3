// The columns micro-cache: the column metadata of the last table a
// statement looked up with the server's column lookup, so that asking for
// the columns of one table one column at a time costs one request.
//
// A cache is immutable once filled; the statement holds it through a
// shared pointer, so a commit on another thread can drop the statement's
// cache while a Columns call still reads its own reference.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"

class qvoStatement;

// The 18 columns of the catalog columns result.
inline constexpr int kColumnsResultColumns = 18;

// One value of a cached row: text or number, and its indicator (the length,
// or SQL_NULL_DATA).
struct CachedValue {
  std::string text;
  SQLBIGINT number = 0;
  SQLLEN ind = SQL_NULL_DATA;
};

// One row of column metadata, columns 1 to 18 at index 0 to 17.
struct CachedColumn {
  std::array<CachedValue, kColumnsResultColumns> values;
  const std::string& columnName() const { return values[3].text; }
};

class ColumnsCache {
 public:
  // The key: the processed catalog name, the schema and table names as the
  // application gave them (null: empty).
  ColumnsCache(const char* cn, const char* sn, const char* tn);

  // Whether a call with these names is answered from this cache: each of
  // the three null or equal to the key.
  bool Matches(const char* catalog, const char* schema, const char* table) const;

  std::string CatalogName, SchemaName, TableName;
  std::vector<CachedColumn> columns;
};

// Reads every row of the statement's current result (a column lookup's
// answer) into cache, with the fill's own fetch settings: the application's
// bound columns, rowset size, status and row-count pointers are left alone.
// 0, or -1 with the diagnostic of the read that failed.
QVO_INTERNAL SQLRETURN FillColumnsCache(qvoStatement& s, ColumnsCache& cache);

// The rows of the cache that a column name selects: all for a null or empty
// name; otherwise the first row whose name equals it, or none. With
// identifier rules (metadataId) the cached name is upper-cased unless the
// name came in identifier quotes; otherwise the name is taken literally,
// '%' and '_' included, the search-string escape only marking the character
// after it as plain.
QVO_INTERNAL std::vector<const CachedColumn*> SelectCachedColumns(const ColumnsCache& cache,
                                                                  const char* column,
                                                                  bool metadataId,
                                                                  bool columnQuotesWereRemoved,
                                                                  const char* escape);

// Makes the selected rows the statement's result (a local result set with
// the 18 columns); the result of its parse.
QVO_INTERNAL SQLRETURN AnswerFromColumnsCache(qvoStatement& s,
                                              const std::vector<const CachedColumn*>& rows);
