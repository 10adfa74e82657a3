// Cells of the integer C types, 8 to 64 bits, signed and unsigned: one
// engine (qvoNumericOps.h) instantiated per target; what differs per C type
// is the row of kTargets below.
#include <cstdint>
#include <span>

#include "fetch/qvoCellTable.h"
#include "fetch/qvoNumericOps.h"

namespace {

// A decimal column whose values need no scaling into an element of their own
// width and signedness is a copy loop.
template <class Target, class S>
void ScaledCell(qvoColumnJob& job, const qvoNullRule& nulls) {
  using T = typename Target::Type;
  if constexpr (std::is_same_v<T, S>) {
    if (!qvoScalesDecimals<Target>(qvoNumericColumnOf(job))) {
      RunColumn<qvoCopyValue<sizeof(T)>>(job, nulls);
      return;
    }
  }
  RunColumn<qvoIntegerFromDecimal<Target, S>>(job, nulls);
}

// _DECIMAL values are 4 bytes up to precision 9, else 8.
template <class Target>
void DecimalCell(qvoColumnJob& job, const qvoNullRule& nulls) {
  if (qvoNumericColumnOf(job).valueWidth >= 8)
    ScaledCell<Target, std::int64_t>(job, nulls);
  else
    ScaledCell<Target, std::int32_t>(job, nulls);
}

// The server types every integer target converts.
template <class T>
constexpr qvoServerCell kNumberCells[] = {
    {_BOOLEAN, RunColumn<qvoIntegerFromBoolean<qvoIntegerTarget<T>>>},
    {_SMALLDECIMAL, ScaledCell<qvoIntegerTarget<T>, std::int32_t>},
    {_DECIMAL, DecimalCell<qvoIntegerTarget<T>>},
    {_BIGDECIMAL, ScaledCell<qvoIntegerTarget<T>, qvoInt128>},
    {_DOUBLE, RunColumn<qvoIntegerFromDouble<qvoIntegerTarget<T>>>},
    {_CHAR, RunColumn<qvoIntegerFromText<qvoIntegerTarget<T>>>},
    {_VARCHAR, RunColumn<qvoIntegerFromText<qvoIntegerTarget<T>>>},
};

// Dates and time stamps, read only by the signed 32-bit targets.
constexpr qvoServerCell kCalendarCells[] = {
    {_DATE, RunColumn<qvoIntegerFromDate>},
    {_TIMESTAMP, RunColumn<qvoIntegerFromTimestamp>},
    {_TIMESTAMP_UTC, RunColumn<qvoIntegerFromTimestamp>},
};

struct IntegerTarget {
  SQLSMALLINT cType;
  std::span<const qvoServerCell> numbers;
  std::span<const qvoServerCell> calendar;
};

constexpr IntegerTarget kTargets[] = {
    // C type        element                       dates, time stamps
    {SQL_C_SBIGINT, kNumberCells<std::int64_t>, {}},
    {SQL_C_UBIGINT, kNumberCells<std::uint64_t>, {}},
    {SQL_C_SLONG, kNumberCells<std::int32_t>, kCalendarCells},
    {SQL_C_LONG, kNumberCells<std::int32_t>, kCalendarCells},
    {SQL_C_ULONG, kNumberCells<std::uint32_t>, {}},
    {SQL_C_SSHORT, kNumberCells<std::int16_t>, {}},
    {SQL_C_SHORT, kNumberCells<std::int16_t>, {}},
    {SQL_C_USHORT, kNumberCells<std::uint16_t>, {}},
    {SQL_C_STINYINT, kNumberCells<std::int8_t>, {}},
    {SQL_C_TINYINT, kNumberCells<std::int8_t>, {}},
    {SQL_C_UTINYINT, kNumberCells<std::uint8_t>, {}},
};

}  // namespace

qvoCellFn qvoIntegerCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  for (const IntegerTarget& t : kTargets) {
    if (t.cType != cType) continue;
    if (qvoCellFn cell = qvoFindCell(t.numbers, qvoType)) return cell;
    return qvoFindCell(t.calendar, qvoType);
  }
  return nullptr;
}
