#include "statement/qvoResultCursor.h"

#include <algorithm>
#include <limits>

SQLINTEGER qvoResultCursor::IndexBlock(char* block, qvo_int64 length) {
  const auto columns = static_cast<SQLINTEGER>(blockLayout.size());
  const qvo_int64 rows = resultRowCount;
  if (columns == 0) {
    oldResultRowCount = rows;
    return 0;
  }
  // The table's storage stays from block to block and only grows; every
  // entry the rows use is written by the indexing pass. rows is bounded by
  // the bytes received, so the table is too.
  const size_t perColumn = static_cast<size_t>(rows) + 1;
  const size_t needed = static_cast<size_t>(columns) * perColumn;
  // Blocks filled up to a byte budget differ by a few rows: room for some
  // more, so that the next block does not grow the table. Nothing is copied
  // or cleared: the pass below writes every entry the rows use.
  if (ptrCapacity < needed) {
    ptrStorage.reset();
    ptrCapacity = 0;
    ptrStorage.reset(new void*[needed + needed / 8]);
    ptrCapacity = needed + needed / 8;
  }
  ptrTable.resize(static_cast<size_t>(columns) + 1);
  ptrTable[0] = nullptr;
  for (size_t c = 1; c <= static_cast<size_t>(columns); ++c)
    ptrTable[c] = ptrStorage.get() + (c - 1) * perColumn;

  const qvo_int64 used =
      IndexRowBlock(block, static_cast<size_t>(length), blockLayout, rows, ptrTable.data());
  if (used < 0 || used > std::numeric_limits<SQLINTEGER>::max()) return -1;
  ptrArray = ptrTable.data();
  ptrArrayCols = columns;
  oldResultRowCount = rows;
  return static_cast<SQLINTEGER>(used);
}

char* qvoResultCursor::RowValue(SQLINTEGER c, SQLBIGINT r) const {
  if (ptrArray == nullptr || c < 1 || c > ptrArrayCols || r < 1 || r > oldResultRowCount)
    return nullptr;
  return static_cast<char*>(ptrArray[c][r]);
}

bool qvoResultCursor::RowIsNull(SQLINTEGER c, SQLBIGINT r) const {
  const char* value = RowValue(c, r);
  return value == nullptr || value[-1] == 0;
}

void qvoResultCursor::FreePointerArray() {
  ptrArray = nullptr;
  ptrArrayCols = 0;
  oldResultRowCount = 0;
}

void* qvoKeptRows::Value(SQLINTEGER c, SQLBIGINT row) {
  for (const Piece& p : pieces) {
    if (row < p.first || row >= p.first + p.rows || c < 1 || c > p.columns) continue;
    const size_t i = p.offsetBase + static_cast<size_t>(c - 1) * static_cast<size_t>(p.rows) +
                     static_cast<size_t>(row - p.first);
    return bytes.data() + offsets[i];
  }
  return nullptr;
}

void* qvoResultCursor::CurrentValue(SQLINTEGER c) {
  const SQLBIGINT row = CurrentRow();
  if (ptrArray != nullptr && c >= 1 && c <= ptrArrayCols && BlockHolds(row))
    return *ColumnFrom(c, row);
  return keptRows.Value(c, row);
}

void qvoResultCursor::KeepRowsetRows(SQLBIGINT first) {
  if (ptrArray == nullptr) return;
  // The rowset's rows in this block: from the first not kept yet up to the
  // cursor, as far as the block holds them.
  const SQLBIGINT from = std::max(keptRows.End(first), resultRowCountStart);
  const SQLBIGINT to = std::min(cursor, resultRowCountStart + resultRowCount);
  if (from >= to) return;
  if (keptRows.End(first) != from) keptRows.Clear();  // rows in between were never seen
  const SQLBIGINT rows = to - from;
  const auto n = static_cast<size_t>(rows);
  qvoKeptRows::Piece piece{from, rows, ptrArrayCols, keptRows.offsets.size()};
  keptRows.offsets.resize(piece.offsetBase + static_cast<size_t>(ptrArrayCols) * n);
  size_t* offset = keptRows.offsets.data() + piece.offsetBase;
  for (SQLINTEGER c = 1; c <= ptrArrayCols; ++c) {
    // A column's rows lie one after another: one copy from the first row's
    // null flag to the end of the last row's value.
    void** values = ColumnFrom(c, from);
    const char* start = static_cast<const char*>(values[0]) - 1;
    const char* last = static_cast<const char*>(values[n - 1]);
    const char* end = last + IndexedValueBytes(last, blockLayout[static_cast<size_t>(c - 1)]);
    const size_t base = keptRows.bytes.size();
    keptRows.bytes.insert(keptRows.bytes.end(), start, end);
    for (size_t i = 0; i < n; ++i)
      *offset++ = base + static_cast<size_t>(static_cast<const char*>(values[i]) - start);
  }
  keptRows.pieces.push_back(piece);
}
