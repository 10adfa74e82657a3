// Loading the server's capability values: the rows of the view DB_METADATA
// (NAME, VALUE text pairs) become the DB_METADATA fields of the connection's
// attribute block, once per connection.
//
// The reading is behind one narrow seam: a reader runs the query on a
// statement of its own and hands over the rows one by one; the store keeps
// them aside and writes the fields only when the whole view was read.
#pragma once

#include <functional>
#include <string_view>

#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"

class qvoConnection;

// One row of the view as read.
struct qvoMetadataRow {
  std::string_view name;   // the bytes read
  bool nameCut = false;    // longer than the read buffer: no name of ours
  std::string_view value;  // the bytes read; a cut value keeps what was read
  bool valueNull = false;  // NULL: an empty text, or 0
  bool valueRead = true;   // false: reading the value failed
};

using qvoMetadataRowFn = std::function<void(const qvoMetadataRow&)>;

// Runs the view's query on a private statement of the connection and calls
// onRow for every row, in the view's order. 0 when every row was handed
// over; a negative code when the query or a read failed (diagnostics as the
// failing call left them); -1 without a diagnostic for an empty view; -1 with
// "Error retriving dbms infos" on the connection when the view's columns are
// not NAME and VALUE.
using qvoMetadataReader = SQLRETURN (*)(qvoConnection& conn, const qvoMetadataRowFn& onRow);

// The reader of the server's view, through the library's own statement
// functions.
SQLRETURN ReadMetadataView(qvoConnection& conn, const qvoMetadataRowFn& onRow);

// Installs the reader that GetInfoValues uses (null: ReadMetadataView) and
// returns the one before. For tests that stand a reader of their own in.
QVO_INTERNAL qvoMetadataReader ReplaceMetadataReader(qvoMetadataReader reader);

// The SQL text of the view's query.
inline constexpr const char* kMetadataQuery =
    "select * from \"$ODBCJDBC\".\"DB_METADATA\" order by 1,2";
