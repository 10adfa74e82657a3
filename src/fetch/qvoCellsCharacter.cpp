// Cells of the narrow character targets: SQL_C_CHAR, SQL_C_BINARY and
// QVO_WCHAR_UTF8 share one conversion per server type (they differ only in
// the terminator of a NULL, which the frame writes).
#include "common/qvoTypeCodes.h"
#include "fetch/qvoConversionCell.h"
#include "fetch/qvoTextOps.h"

namespace {

struct Cell {
  SQLSMALLINT qvoType;
  qvoCellFn cell;
};

constexpr Cell kCells[] = {
    {_BOOLEAN, &RunColumn<qvoNarrowTextOp<qvoBooleanText>>},
    {_SMALLDECIMAL, &RunColumn<qvoNarrowTextOp<qvoSmallDecimalText>>},
    {_DECIMAL, &RunColumn<qvoNarrowTextOp<qvoDecimalText>>},
    {_BIGDECIMAL, &RunColumn<qvoNarrowTextOp<qvoBigDecimalText>>},
    {_DOUBLE, &RunColumn<qvoNarrowTextOp<qvoDoubleText>>},
    {_DATE, &RunColumn<qvoNarrowTextOp<qvoDateText>>},
    {_TIMESTAMP, &RunColumn<qvoNarrowTextOp<qvoTimestampText>>},
    {_TIMESTAMP_UTC, &RunColumn<qvoNarrowTextOp<qvoTimestampText>>},
    {_CHAR, &RunColumn<qvoNarrowCharacterOp>},
    {_VARCHAR, &RunColumn<qvoNarrowCharacterOp>},
};

}  // namespace

qvoCellFn qvoCharacterCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  if (cType != SQL_C_CHAR && cType != SQL_C_BINARY && cType != QVO_WCHAR_UTF8) return nullptr;
  for (const Cell& c : kCells)
    if (c.qvoType == qvoType) return c.cell;
  return nullptr;
}
