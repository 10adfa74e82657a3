#include "statement/qvoResultCursor.h"

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
