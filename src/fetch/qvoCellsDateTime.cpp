// Cells of the date, time and timestamp structures. The ODBC 2 and 3 codes
// of one structure (and 431 for the timestamp) share a cell.
#include "common/qvoTypeCodes.h"
#include "fetch/qvoConversionCell.h"
#include "fetch/qvoDateTimeOps.h"

namespace {

struct Cell {
  SQLSMALLINT cType;
  SQLSMALLINT qvoType;
  qvoCellFn cell;
};

constexpr qvoCellFn kDateFromDate = &RunColumn<qvoDateFromDateOp>;
constexpr qvoCellFn kDateFromTimestamp = &RunColumn<qvoDateFromTimestampOp>;
constexpr qvoCellFn kTimestampFromDate = &RunColumn<qvoTimestampFromDateOp>;
constexpr qvoCellFn kTimestampFromTimestamp = &RunColumn<qvoTimestampFromTimestampOp>;
constexpr qvoCellFn kTimeFromTimestamp = &RunColumn<qvoTimeFromTimestampOp>;

constexpr Cell kCells[] = {
    {SQL_C_DATE, _DATE, kDateFromDate},
    {SQL_C_DATE, _TIMESTAMP, kDateFromTimestamp},
    {SQL_C_DATE, _TIMESTAMP_UTC, kDateFromTimestamp},
    {SQL_C_TYPE_DATE, _DATE, kDateFromDate},
    {SQL_C_TYPE_DATE, _TIMESTAMP, kDateFromTimestamp},
    {SQL_C_TYPE_DATE, _TIMESTAMP_UTC, kDateFromTimestamp},
    {SQL_C_TIMESTAMP, _DATE, kTimestampFromDate},
    {SQL_C_TIMESTAMP, _TIMESTAMP, kTimestampFromTimestamp},
    {SQL_C_TIMESTAMP, _TIMESTAMP_UTC, kTimestampFromTimestamp},
    {SQL_C_TYPE_TIMESTAMP, _DATE, kTimestampFromDate},
    {SQL_C_TYPE_TIMESTAMP, _TIMESTAMP, kTimestampFromTimestamp},
    {SQL_C_TYPE_TIMESTAMP, _TIMESTAMP_UTC, kTimestampFromTimestamp},
    {QVO_TYPE_TIMESTAMP_UTC, _DATE, kTimestampFromDate},
    {QVO_TYPE_TIMESTAMP_UTC, _TIMESTAMP, kTimestampFromTimestamp},
    {QVO_TYPE_TIMESTAMP_UTC, _TIMESTAMP_UTC, kTimestampFromTimestamp},
    {SQL_C_TIME, _TIMESTAMP, kTimeFromTimestamp},
    {SQL_C_TIME, _TIMESTAMP_UTC, kTimeFromTimestamp},
    {SQL_C_TYPE_TIME, _TIMESTAMP, kTimeFromTimestamp},
    {SQL_C_TYPE_TIME, _TIMESTAMP_UTC, kTimeFromTimestamp},
};

}  // namespace

qvoCellFn qvoDateTimeCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  for (const Cell& c : kCells)
    if (c.cType == cType && c.qvoType == qvoType) return c.cell;
  return nullptr;
}
