// The value conversions of the numeric C types: integers of every width,
// bit, float, double and SQL_NUMERIC_STRUCT. Each Op converts one received
// value (in the layout of qvoStatement.h) into one application element and
// says what became of it; the fetch cells run them over a column with
// RunColumn, and single-value retrieval calls the same Op on one value, so
// both decide every value alike.
//
// Shared decisions:
// - A value outside the target's range (a negative into an unsigned target,
//   NaN, an infinity, a number beyond 64 or 128 bits) is OutOfRange and
//   nothing is written: never its low bits, never a saturated value.
// - Dropping non-zero fractional digits on the way to a whole number
//   truncates toward zero and reports FractionalTruncation (01S07).
// - Decimal columns: with the statement's truncateDecimals set (the default)
//   an integer target gets the value divided down by the column's scale;
//   with it clear it gets the unscaled integer, range-checked the same way.
//   Bit, float, double and the numeric structure always read the real value.
// - Text is parsed whole (qvoNumberText.h): not a number is InvalidCharacter.
// - A row bound without a data buffer gets its length and nothing else.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "common/qvoNumbers.h"
#include "common/qvoTypeCodes.h"
#include "fetch/qvoConversionCell.h"
#include "fetch/qvoNumberText.h"
#include "protocol/qvoValueLayout.h"

using qvoInt128 = __int128;
using qvoUInt128 = unsigned __int128;

// What a numeric conversion reads of its column and statement, once.
struct qvoNumericColumn {
  int valueWidth = 0;  // bytes of one value; a _DECIMAL has 4 or 8
  int scale = 0;
  int precision = 0;
  bool truncateDecimals = true;
  SQLLEN bufferLength = 0;
};
qvoNumericColumn qvoReadNumericColumn(const qvoColumnJob& job);
// The job's kept column facts with its buffer length, or those read now.
inline qvoNumericColumn qvoNumericColumnOf(const qvoColumnJob& job) {
  if (!job.numeric) return qvoReadNumericColumn(job);
  qvoNumericColumn c = *job.numeric;
  c.bufferLength = job.bufferLength;
  return c;
}

// --- received values ----------------------------------------------------------------------
// Values of the indexed row block are in host order but not aligned.

template <class S>
inline S qvoLoadValue(const char* p) {
  S v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
// _BIGDECIMAL: the low 64-bit half, then the high half.
template <>
inline qvoInt128 qvoLoadValue<qvoInt128>(const char* p) {
  const qvoBigDecimalValue v = DecodeBigDecimalValue(p);
  return static_cast<qvoInt128>(
      (static_cast<qvoUInt128>(static_cast<std::uint64_t>(v.high)) << 64) | v.low);
}

// _CHAR, _VARCHAR: a 32-bit byte length, then the bytes.
struct qvoTextValue {
  const char* text;
  std::size_t length;
};
inline qvoTextValue qvoLoadText(const char* p) {
  const qvoTextBytes t = DecodeTextValue(p);
  return {t.bytes, t.length > 0 ? static_cast<std::size_t>(t.length) : 0};
}

// --- integer targets ----------------------------------------------------------------------

// An integer target: its element type and the values it holds.
template <class T>
struct qvoIntegerTarget {
  using Type = T;
  static constexpr qvoInt128 kMin = std::numeric_limits<T>::min();
  static constexpr qvoInt128 kMax = std::numeric_limits<T>::max();
  static constexpr bool kFollowsTruncateDecimals = true;
};
// SQL_C_BIT: one byte, 0 or 1; a truth value, so decimals are always scaled.
struct qvoBitTarget {
  using Type = unsigned char;
  static constexpr qvoInt128 kMin = 0;
  static constexpr qvoInt128 kMax = 1;
  static constexpr bool kFollowsTruncateDecimals = false;
};

// W is std::int64_t or qvoInt128; the tests a 64-bit value cannot fail are
// left out at compile time.
template <class Target, class W>
constexpr bool qvoInTargetRange(W v) {
  if constexpr (std::is_same_v<W, qvoInt128>) {
    return v >= Target::kMin && v <= Target::kMax;
  } else {
    bool in = true;
    if constexpr (Target::kMin > std::numeric_limits<W>::min()) in = in && v >= Target::kMin;
    if constexpr (Target::kMax < std::numeric_limits<W>::max()) in = in && v <= Target::kMax;
    return in;
  }
}

// Stores a whole number v that may have lost fractional digits.
template <class Target, class W>
inline qvoCellOutcome qvoStoreInteger(W v, bool fractionDropped, char* target, SQLLEN* length) {
  using T = typename Target::Type;
  if (!qvoInTargetRange<Target>(v)) return qvoCellOutcome::OutOfRange;
  const T element = static_cast<T>(v);
  std::memcpy(target, &element, sizeof element);
  *length = sizeof element;
  return fractionDropped ? qvoCellOutcome::FractionalTruncation : qvoCellOutcome::Ok;
}

// Whether an integer target of this column gets its decimals divided down.
template <class Target>
constexpr bool qvoScalesDecimals(const qvoNumericColumn& c) {
  return c.scale > 0 && (c.truncateDecimals || !Target::kFollowsTruncateDecimals);
}

// _BOOLEAN: 1 for any non-zero byte.
template <class Target>
struct qvoIntegerFromBoolean {
  explicit qvoIntegerFromBoolean(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    using T = typename Target::Type;
    *length = sizeof(T);
    if (target) {
      const T element = value[0] != 0 ? 1 : 0;
      std::memcpy(target, &element, sizeof element);
    }
    return qvoCellOutcome::Ok;
  }
};

// _SMALLDECIMAL, _DECIMAL (S = std::int32_t or std::int64_t) and _BIGDECIMAL
// (S = qvoInt128): the scaled integer, truncated toward zero.
template <class Target, class S>
class qvoIntegerFromDecimal {
  using W = std::conditional_t<std::is_same_v<S, qvoInt128>, qvoInt128, std::int64_t>;
  static constexpr int kMaxPower = std::is_same_v<W, qvoInt128> ? 38 : 18;

 public:
  explicit qvoIntegerFromDecimal(const qvoColumnJob& job)
      : qvoIntegerFromDecimal(qvoNumericColumnOf(job)) {}
  explicit qvoIntegerFromDecimal(const qvoNumericColumn& c) {
    if (!qvoScalesDecimals<Target>(c)) return;
    // Beyond the widest power of ten of W every value divides down to 0.
    if (c.scale > kMaxPower) {
      vanishes_ = true;
      return;
    }
    for (int i = 0; i < c.scale; ++i) divisor_ *= 10;
  }
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(typename Target::Type);
      return qvoCellOutcome::Ok;
    }
    W v = qvoLoadValue<S>(value);
    bool dropped = false;
    if (vanishes_) {
      dropped = v != 0;
      v = 0;
    } else if (divisor_ != 1) {
      const W q = v / divisor_;
      dropped = q * divisor_ != v;
      v = q;
    }
    return qvoStoreInteger<Target>(v, dropped, target, length);
  }

 private:
  W divisor_ = 1;
  bool vanishes_ = false;
};

// _DOUBLE: truncated toward zero; NaN and infinities are out of range.
template <class Target>
struct qvoIntegerFromDouble {
  // Both bounds are exact doubles: the minimum and the maximum plus one.
  static constexpr double kLow = static_cast<double>(Target::kMin);
  static constexpr double kHighExcluded = static_cast<double>(Target::kMax + 1);

  explicit qvoIntegerFromDouble(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    using T = typename Target::Type;
    if (!target) {
      *length = sizeof(T);
      return qvoCellOutcome::Ok;
    }
    const double d = qvoLoadValue<double>(value);
    const double whole = std::trunc(d);
    if (!(whole >= kLow && whole < kHighExcluded)) return qvoCellOutcome::OutOfRange;
    const T element = static_cast<T>(whole);
    std::memcpy(target, &element, sizeof element);
    *length = sizeof element;
    return whole != d ? qvoCellOutcome::FractionalTruncation : qvoCellOutcome::Ok;
  }
};

// _CHAR, _VARCHAR: the text's number.
template <class Target>
struct qvoIntegerFromText {
  explicit qvoIntegerFromText(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(typename Target::Type);
      return qvoCellOutcome::Ok;
    }
    const qvoTextValue text = qvoLoadText(value);
    const qvoTextInteger n = qvoParseIntegerText(text.text, text.length);
    if (n.status == qvoTextStatus::NotANumber) return qvoCellOutcome::InvalidCharacter;
    if (n.status == qvoTextStatus::OutOfRange) return qvoCellOutcome::OutOfRange;
    return qvoStoreInteger<Target>(n.Value(), n.fractionDropped, target, length);
  }
};

// A value whose received bytes are already the element (same width, same
// signedness, nothing to scale): copied.
template <std::size_t N>
struct qvoCopyValue {
  explicit qvoCopyValue(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (target) std::memcpy(target, value, N);
    *length = N;
    return qvoCellOutcome::Ok;
  }
};

// _DATE into a 32-bit signed target: yyyymmdd.
struct qvoIntegerFromDate {
  explicit qvoIntegerFromDate(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    *length = sizeof(std::int32_t);
    if (target) {
      const qvoCalendarValue v = DecodeCalendarDate(value);
      const std::int32_t element = v.year * 10000 + v.month * 100 + v.day;
      std::memcpy(target, &element, sizeof element);
    }
    return qvoCellOutcome::Ok;
  }
};

// _TIMESTAMP, _TIMESTAMP_UTC into a 32-bit signed target: three integers,
// yyyymmdd, hhmmss and the nanoseconds. Written only into a buffer that the
// application declared 12 bytes long, and only when the rows of a run lie 12
// bytes apart (closer, each row would overwrite the next).
class qvoIntegerFromTimestamp {
 public:
  static constexpr SQLLEN kBytes = 3 * sizeof(std::int32_t);
  explicit qvoIntegerFromTimestamp(const qvoColumnJob& job)
      : fits_(job.bufferLength >= kBytes &&
              (job.rows <= 1 || job.dataStride >= static_cast<std::size_t>(kBytes))) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = kBytes;
      return qvoCellOutcome::Ok;
    }
    if (!fits_) return qvoCellOutcome::InvalidBufferLength;
    const qvoCalendarValue v = DecodeCalendarTimestamp(value);
    const std::int32_t element[3] = {v.year * 10000 + v.month * 100 + v.day,
                                     v.hour * 10000 + v.minute * 100 + v.second, v.fraction};
    std::memcpy(target, element, sizeof element);
    *length = kBytes;
    return qvoCellOutcome::Ok;
  }

 private:
  bool fits_;
};

// Runs Op<std::int64_t> or Op<std::int32_t> over a _DECIMAL column: its
// values are 4 bytes up to precision 9, else 8.
template <template <class> class Op>
void qvoRunByDecimalWidth(qvoColumnJob& job, const qvoNullRule& nulls) {
  if (qvoNumericColumnOf(job).valueWidth >= 8)
    RunColumn<Op<std::int64_t>>(job, nulls);
  else
    RunColumn<Op<std::int32_t>>(job, nulls);
}

// --- float and double ---------------------------------------------------------------------

// Stores d as F (float or double). A finite double beyond the largest float
// is out of range; NaN and the infinities are values both types hold.
template <class F>
inline qvoCellOutcome qvoStoreFloating(double d, char* target, SQLLEN* length) {
  if constexpr (std::is_same_v<F, float>) {
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
      return qvoCellOutcome::OutOfRange;
  }
  const F element = static_cast<F>(d);
  std::memcpy(target, &element, sizeof element);
  *length = sizeof element;
  return qvoCellOutcome::Ok;
}

template <class F>
struct qvoFloatingFromBoolean {
  explicit qvoFloatingFromBoolean(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    *length = sizeof(F);
    if (target) {
      const F element = value[0] != 0 ? 1 : 0;
      std::memcpy(target, &element, sizeof element);
    }
    return qvoCellOutcome::Ok;
  }
};

// _SMALLDECIMAL, _DECIMAL (S = std::int32_t, std::int64_t): the integer as a
// double divided by 10.0 once per scale digit (the successive divisions, not
// one by a power of ten, so that every road gives the same double).
// _BIGDECIMAL (S = qvoInt128) the same through BigDecimalToDouble.
template <class F, class S>
class qvoFloatingFromDecimal {
 public:
  explicit qvoFloatingFromDecimal(const qvoColumnJob& job)
      : qvoFloatingFromDecimal(qvoNumericColumnOf(job)) {}
  explicit qvoFloatingFromDecimal(const qvoNumericColumn& c) : scale_(c.scale > 0 ? c.scale : 0) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(F);
      return qvoCellOutcome::Ok;
    }
    double d;
    if constexpr (std::is_same_v<S, qvoInt128>) {
      d = BigDecimalToDouble(value, scale_);
    } else {
      d = static_cast<double>(qvoLoadValue<S>(value));
      for (int i = 0; i < scale_; ++i) d /= 10.0;
    }
    return qvoStoreFloating<F>(d, target, length);
  }

 private:
  int scale_;
};
template <class S>
using qvoFloatFromDecimal = qvoFloatingFromDecimal<float, S>;
template <class S>
using qvoDoubleFromDecimal = qvoFloatingFromDecimal<double, S>;

// _DOUBLE into SQL_C_FLOAT (into SQL_C_DOUBLE it is qvoCopyValue<8>).
struct qvoFloatFromDouble {
  explicit qvoFloatFromDouble(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(float);
      return qvoCellOutcome::Ok;
    }
    return qvoStoreFloating<float>(qvoLoadValue<double>(value), target, length);
  }
};

// _CHAR, _VARCHAR: the text's number, the nearest double.
template <class F>
struct qvoFloatingFromText {
  explicit qvoFloatingFromText(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(F);
      return qvoCellOutcome::Ok;
    }
    const qvoTextValue text = qvoLoadText(value);
    double d = 0.0;
    switch (qvoParseDoubleText(text.text, text.length, &d)) {
      case qvoTextStatus::NotANumber:
        return qvoCellOutcome::InvalidCharacter;
      case qvoTextStatus::OutOfRange:
        return qvoCellOutcome::OutOfRange;
      case qvoTextStatus::Ok:
        break;
    }
    return qvoStoreFloating<F>(d, target, length);
  }
};

// --- SQL_NUMERIC_STRUCT -------------------------------------------------------------------

// Precision and scale are kept in one byte each, as the structure has them;
// val is the magnitude, 16 bytes little-endian.
inline void qvoStoreNumeric(int precision, int scale, bool negative, qvoUInt128 magnitude,
                            char* target, SQLLEN* length) {
  SQL_NUMERIC_STRUCT n{};
  n.precision = static_cast<SQLCHAR>(precision);
  n.scale = static_cast<SQLSCHAR>(scale);
  n.sign = negative ? 0 : 1;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(n.val, &magnitude, sizeof n.val);
  } else {
    for (std::size_t i = 0; i < sizeof n.val; ++i)
      n.val[i] = static_cast<SQLCHAR>(magnitude >> (8 * i));
  }
  std::memcpy(target, &n, sizeof n);
  *length = sizeof n;
}

// _BOOLEAN: 1 or 0 with precision 1 and scale 0.
struct qvoNumericFromBoolean {
  explicit qvoNumericFromBoolean(const qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(SQL_NUMERIC_STRUCT);
      return qvoCellOutcome::Ok;
    }
    qvoStoreNumeric(1, 0, false, value[0] != 0 ? 1 : 0, target, length);
    return qvoCellOutcome::Ok;
  }
};

// _SMALLDECIMAL, _DECIMAL, _BIGDECIMAL: the unscaled integer with the
// column's precision and scale; every value fits.
template <class S>
class qvoNumericFromDecimal {
 public:
  explicit qvoNumericFromDecimal(const qvoColumnJob& job)
      : qvoNumericFromDecimal(qvoNumericColumnOf(job)) {}
  explicit qvoNumericFromDecimal(const qvoNumericColumn& c)
      : precision_(c.precision), scale_(c.scale) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(SQL_NUMERIC_STRUCT);
      return qvoCellOutcome::Ok;
    }
    const qvoInt128 v = qvoLoadValue<S>(value);
    const qvoUInt128 magnitude =
        v < 0 ? qvoUInt128{0} - static_cast<qvoUInt128>(v) : static_cast<qvoUInt128>(v);
    qvoStoreNumeric(precision_, scale_, v < 0, magnitude, target, length);
    return qvoCellOutcome::Ok;
  }

 private:
  int precision_;
  int scale_;
};

// _DOUBLE: the value at scale 0 (a double column has no scale of its own),
// truncated toward zero; beyond 128 bits, NaN and infinities are out of range.
class qvoNumericFromDouble {
 public:
  static constexpr double kTwo128 = 340282366920938463463374607431768211456.0;
  explicit qvoNumericFromDouble(const qvoColumnJob& job)
      : precision_(qvoNumericColumnOf(job).precision) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) const {
    if (!target) {
      *length = sizeof(SQL_NUMERIC_STRUCT);
      return qvoCellOutcome::Ok;
    }
    const double d = qvoLoadValue<double>(value);
    const double whole = std::trunc(std::fabs(d));
    if (!(whole < kTwo128)) return qvoCellOutcome::OutOfRange;
    const qvoUInt128 magnitude = static_cast<qvoUInt128>(whole);
    qvoStoreNumeric(precision_, 0, d < 0 && magnitude != 0, magnitude, target, length);
    return whole != std::fabs(d) ? qvoCellOutcome::FractionalTruncation : qvoCellOutcome::Ok;
  }

 private:
  int precision_;
};
