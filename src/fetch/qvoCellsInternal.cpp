// Cells of the library's own C types: the unscaled integer of a decimal value
// (QVO_INT32, QVO_INT64, QVO_INT128; QVO_INT32 also a date as YYYYMMDD) and a
// VARCHAR by reference (QVO_VARCHAR_PTR: a pointer into the received block,
// valid until the block is replaced). The scale is never applied here.
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/qvoTypeCodes.h"
#include "fetch/qvoConversionCell.h"
#include "protocol/qvoValueLayout.h"

namespace {

template <class T>
T Load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
qvoCellOutcome Store(char* target, SQLLEN* length, T v) {
  if (target) std::memcpy(target, &v, sizeof v);
  *length = sizeof v;
  return qvoCellOutcome::Ok;
}

// Copies the value's bytes unchanged: the value already has the target's width.
template <std::size_t N>
struct Copy {
  explicit Copy(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (target) std::memcpy(target, value, N);
    *length = N;
    return qvoCellOutcome::Ok;
  }
};

// A 32-bit value widened with its sign.
struct Widen32To64 {
  explicit Widen32To64(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    return Store<qvo_int64>(target, length, Load<qvo_int32>(value));
  }
};

// A 64-bit value into 32 bits, when it fits.
struct Narrow64To32 {
  explicit Narrow64To32(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    const qvo_int64 v = Load<qvo_int64>(value);
    if (v < std::numeric_limits<qvo_int32>::min() || v > std::numeric_limits<qvo_int32>::max())
      return qvoCellOutcome::OutOfRange;
    return Store<qvo_int32>(target, length, static_cast<qvo_int32>(v));
  }
};

// A 128-bit value (low half, then high half) into 64 bits, when it fits: the
// high half must be the sign extension of the low half.
struct Narrow128To64 {
  explicit Narrow128To64(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    const qvoBigDecimalValue v = DecodeBigDecimalValue(value);
    const qvo_int64 low = static_cast<qvo_int64>(v.low);
    if (v.high != (low < 0 ? -1 : 0)) return qvoCellOutcome::OutOfRange;
    return Store<qvo_int64>(target, length, low);
  }
};

// A date (day, month, int16 year) as the number YYYYMMDD.
struct DateAsNumber {
  explicit DateAsNumber(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    const qvoDateFields d = DecodeDateFields(value);
    return Store<qvo_int32>(target, length,
                            qvo_int32{d.year} * 10000 + qvo_int32{d.month} * 100 + d.day);
  }
};

// The address of the text bytes inside the block and their byte length.
struct TextByReference {
  explicit TextByReference(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    const qvoTextBytes text = DecodeTextValue(value);
    if (target) std::memcpy(target, &text.bytes, sizeof text.bytes);
    *length = text.length;
    return qvoCellOutcome::Ok;
  }
};

// A _DECIMAL value is 4 or 8 bytes by the column's precision: the width
// chooses the loop once per column.
void Int32FromDecimal(qvoColumnJob& job, const qvoNullRule& nulls) {
  if (job.valueWidth == 4)
    RunColumn<Copy<4>>(job, nulls);
  else
    RunColumn<Narrow64To32>(job, nulls);
}

void Int64FromDecimal(qvoColumnJob& job, const qvoNullRule& nulls) {
  if (job.valueWidth == 4)
    RunColumn<Widen32To64>(job, nulls);
  else
    RunColumn<Copy<8>>(job, nulls);
}

struct CellEntry {
  SQLSMALLINT cType;
  SQLSMALLINT qvoType;
  qvoCellFn cell;
};
const CellEntry kCells[] = {
    {QVO_VARCHAR_PTR, _VARCHAR, &RunColumn<TextByReference>},
    {QVO_INT32, _SMALLDECIMAL, &RunColumn<Copy<4>>},
    {QVO_INT32, _DECIMAL, &Int32FromDecimal},
    {QVO_INT32, _DATE, &RunColumn<DateAsNumber>},
    {QVO_INT64, _DECIMAL, &Int64FromDecimal},
    {QVO_INT64, _SMALLDECIMAL, &RunColumn<Widen32To64>},
    {QVO_INT64, _BIGDECIMAL, &RunColumn<Narrow128To64>},
    {QVO_INT128, _BIGDECIMAL, &RunColumn<Copy<16>>},
};

}  // namespace

qvoCellFn qvoInternalCell(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  for (const CellEntry& e : kCells)
    if (e.cType == cType && e.qvoType == qvoType) return e.cell;
  return nullptr;
}
