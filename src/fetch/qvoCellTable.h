// A family's cells as data: for one C type, the server types it converts and
// the cell of each. Looked up once per column and block.
#pragma once

#include <span>

#include "fetch/qvoConversionCell.h"

struct qvoServerCell {
  SQLSMALLINT qvoType;
  qvoCellFn cell;
};

inline qvoCellFn qvoFindCell(std::span<const qvoServerCell> cells, SQLSMALLINT qvoType) {
  for (const qvoServerCell& c : cells)
    if (c.qvoType == qvoType) return c.cell;
  return nullptr;
}
