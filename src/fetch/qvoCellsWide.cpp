// Cells of the UTF-16 target (QVO_WCHAR_UTF16): the texts of the narrow
// targets, as UTF-16 in host order.
#include "common/qvoTypeCodes.h"
#include "fetch/qvoConversionCell.h"
#include "fetch/qvoTextOps.h"

namespace {

struct Cell {
  SQLSMALLINT qvoType;
  qvoCellFn cell;
};

constexpr Cell kCells[] = {
    {_BOOLEAN, &RunColumn<qvoWideTextOp<qvoBooleanText>>},
    {_SMALLDECIMAL, &RunColumn<qvoWideTextOp<qvoSmallDecimalText>>},
    {_DECIMAL, &RunColumn<qvoWideTextOp<qvoDecimalText>>},
    {_BIGDECIMAL, &RunColumn<qvoWideTextOp<qvoBigDecimalText>>},
    {_DOUBLE, &RunColumn<qvoWideTextOp<qvoDoubleText>>},
    {_DATE, &RunColumn<qvoWideTextOp<qvoDateText>>},
    {_TIMESTAMP, &RunColumn<qvoWideTextOp<qvoTimestampText>>},
    {_TIMESTAMP_UTC, &RunColumn<qvoWideTextOp<qvoTimestampText>>},
    {_CHAR, &RunColumn<qvoWideCharacterOp>},
    {_VARCHAR, &RunColumn<qvoWideCharacterOp>},
};

}  // namespace

qvoCellFn qvoWideCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  if (cType != QVO_WCHAR_UTF16) return nullptr;
  for (const Cell& c : kCells)
    if (c.qvoType == qvoType) return c.cell;
  return nullptr;
}
