// Cells of SQL_C_NUMERIC. The structure takes the column's precision and
// scale (never the application's ARD fields); a double column has no real
// scale, so its values go in at scale 0.
#include <cstdint>

#include "fetch/qvoCellTable.h"
#include "fetch/qvoNumericOps.h"

namespace {

constexpr qvoServerCell kNumericCells[] = {
    {_BOOLEAN, RunColumn<qvoNumericFromBoolean>},
    {_SMALLDECIMAL, RunColumn<qvoNumericFromDecimal<std::int32_t>>},
    {_DECIMAL, qvoRunByDecimalWidth<qvoNumericFromDecimal>},
    {_BIGDECIMAL, RunColumn<qvoNumericFromDecimal<qvoInt128>>},
    {_DOUBLE, RunColumn<qvoNumericFromDouble>},
};

}  // namespace

qvoCellFn qvoNumericCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  return cType == SQL_C_NUMERIC ? qvoFindCell(kNumericCells, qvoType) : nullptr;
}
