// How the values of a row block lie once the block is indexed (host order,
// not aligned). Every reader of a received value takes its fields from here;
// the block's own checks have made sure the value's bytes are there.
//   _DATE                       day, month, int16 year
//   _TIMESTAMP, _TIMESTAMP_UTC  int16 year, month, day, hour, minute, second,
//                               int32 nanoseconds
//   _BIGDECIMAL                 the low 64-bit half, then the high half
//   _CHAR, _VARCHAR             int32 byte length, then the bytes
// Byte fields are handed over as the server sent them (signed bytes); the
// callers decide how an out-of-range field is shown (qvoCalendarValue: read
// unsigned).
#pragma once

#include <cstddef>
#include <cstring>

#include "qvo/qvoTypes.h"

namespace qvoValueLayoutDetail {
template <class T>
inline T Load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
}  // namespace qvoValueLayoutDetail

struct qvoDateFields {
  qvo_int16 year;
  signed char month;
  signed char day;
};
inline qvoDateFields DecodeDateFields(const char* v) {
  return {qvoValueLayoutDetail::Load<qvo_int16>(v + 2), static_cast<signed char>(v[1]),
          static_cast<signed char>(v[0])};
}

struct qvoTimestampFields {
  qvo_int16 year;
  signed char month;
  signed char day;
  signed char hour;
  signed char minute;
  signed char second;
  qvo_int32 fraction;
};
inline qvoTimestampFields DecodeTimestampFields(const char* v) {
  return {qvoValueLayoutDetail::Load<qvo_int16>(v),
          static_cast<signed char>(v[2]),
          static_cast<signed char>(v[3]),
          static_cast<signed char>(v[4]),
          static_cast<signed char>(v[5]),
          static_cast<signed char>(v[6]),
          qvoValueLayoutDetail::Load<qvo_int32>(v + 7)};
}

// A date or time stamp as whole numbers, its byte fields read unsigned (a
// byte above 127 shows as 128..255): how the integer targets and the
// statement's texts show them. A date has no time of day and no fraction.
struct qvoCalendarValue {
  int year, month, day, hour, minute, second;
  qvo_int32 fraction;
};
inline qvoCalendarValue DecodeCalendarDate(const char* v) {
  const qvoDateFields d = DecodeDateFields(v);
  return {d.year, static_cast<unsigned char>(d.month), static_cast<unsigned char>(d.day), 0, 0, 0,
          0};
}
inline qvoCalendarValue DecodeCalendarTimestamp(const char* v) {
  const qvoTimestampFields t = DecodeTimestampFields(v);
  return {t.year,
          static_cast<unsigned char>(t.month),
          static_cast<unsigned char>(t.day),
          static_cast<unsigned char>(t.hour),
          static_cast<unsigned char>(t.minute),
          static_cast<unsigned char>(t.second),
          t.fraction};
}

struct qvoBigDecimalValue {
  qvo_uint64 low;
  qvo_int64 high;
};
inline qvoBigDecimalValue DecodeBigDecimalValue(const char* v) {
  return {qvoValueLayoutDetail::Load<qvo_uint64>(v), qvoValueLayoutDetail::Load<qvo_int64>(v + 8)};
}

// The length as sent (the block's checks bound it) and where the bytes start.
struct qvoTextBytes {
  const char* bytes;
  qvo_int32 length;
};
inline qvoTextBytes DecodeTextValue(const char* v) {
  return {v + 4, qvoValueLayoutDetail::Load<qvo_int32>(v)};
}
