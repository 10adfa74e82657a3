// Cells of SQL_C_BIT: one byte, 0 or 1. A boolean's byte is its truth; a
// number is read at its real scale, truncated toward zero (01S07 when digits
// are dropped) and must then be 0 or 1, else the row is out of range (22003):
// 0.5 gives 0, 1.9 gives 1, 2 and -1 fail.
#include <cstdint>

#include "fetch/qvoCellTable.h"
#include "fetch/qvoNumericOps.h"

namespace {

template <class S>
using BitFromDecimal = qvoIntegerFromDecimal<qvoBitTarget, S>;

constexpr qvoServerCell kBitCells[] = {
    {_BOOLEAN, RunColumn<qvoIntegerFromBoolean<qvoBitTarget>>},
    {_SMALLDECIMAL, RunColumn<BitFromDecimal<std::int32_t>>},
    {_DECIMAL, qvoRunByDecimalWidth<BitFromDecimal>},
    {_BIGDECIMAL, RunColumn<BitFromDecimal<qvoInt128>>},
    {_DOUBLE, RunColumn<qvoIntegerFromDouble<qvoBitTarget>>},
};

}  // namespace

qvoCellFn qvoBitCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  return cType == SQL_C_BIT ? qvoFindCell(kBitCells, qvoType) : nullptr;
}
