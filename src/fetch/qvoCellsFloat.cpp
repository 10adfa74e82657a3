// Cells of SQL_C_FLOAT and SQL_C_DOUBLE.
#include <cstdint>
#include <span>

#include "fetch/qvoCellTable.h"
#include "fetch/qvoNumericOps.h"

namespace {

constexpr qvoServerCell kFloatCells[] = {
    {_BOOLEAN, RunColumn<qvoFloatingFromBoolean<float>>},
    {_SMALLDECIMAL, RunColumn<qvoFloatFromDecimal<std::int32_t>>},
    {_DECIMAL, qvoRunByDecimalWidth<qvoFloatFromDecimal>},
    {_BIGDECIMAL, RunColumn<qvoFloatFromDecimal<qvoInt128>>},
    {_DOUBLE, RunColumn<qvoFloatFromDouble>},
    {_CHAR, RunColumn<qvoFloatingFromText<float>>},
    {_VARCHAR, RunColumn<qvoFloatingFromText<float>>},
};

constexpr qvoServerCell kDoubleCells[] = {
    {_BOOLEAN, RunColumn<qvoFloatingFromBoolean<double>>},
    {_SMALLDECIMAL, RunColumn<qvoDoubleFromDecimal<std::int32_t>>},
    {_DECIMAL, qvoRunByDecimalWidth<qvoDoubleFromDecimal>},
    {_BIGDECIMAL, RunColumn<qvoDoubleFromDecimal<qvoInt128>>},
    {_DOUBLE, RunColumn<qvoCopyValue<sizeof(double)>>},
    {_CHAR, RunColumn<qvoFloatingFromText<double>>},
    {_VARCHAR, RunColumn<qvoFloatingFromText<double>>},
};

}  // namespace

qvoCellFn qvoFloatCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  if (cType == SQL_C_FLOAT) return qvoFindCell(kFloatCells, qvoType);
  if (cType == SQL_C_DOUBLE) return qvoFindCell(kDoubleCells, qvoType);
  return nullptr;
}
