// Byte order of the wire. The wire is little-endian whatever the host: code
// that reads or writes wire fields uses the qvoHostToLE / qvoLEToHost /
// qvoGetLE / qvoPutLE helpers, never a bare swap. The qvoBswap functions are
// plain byte reversals, for the few places that want exactly that.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "qvo/qvoTypes.h"

// The argument with its bytes in reverse order.
constexpr qvo_int16 qvoBswap16(qvo_int16 v) {
  return static_cast<qvo_int16>(__builtin_bswap16(static_cast<qvo_uint16>(v)));
}
constexpr qvo_int32 qvoBswap32(qvo_int32 v) {
  return static_cast<qvo_int32>(__builtin_bswap32(static_cast<qvo_uint32>(v)));
}
constexpr qvo_int64 qvoBswap64(qvo_int64 v) {
  return static_cast<qvo_int64>(__builtin_bswap64(static_cast<qvo_uint64>(v)));
}
inline qvo_double qvoBswapDouble(qvo_double v) {
  return std::bit_cast<qvo_double>(__builtin_bswap64(std::bit_cast<qvo_uint64>(v)));
}

inline constexpr bool qvoHostIsLittleEndian = std::endian::native == std::endian::little;

// Host value <-> the same value in little-endian (wire) byte order. On a
// little-endian host these are the identity.
constexpr qvo_int16 qvoHostToLE16(qvo_int16 v) { return qvoHostIsLittleEndian ? v : qvoBswap16(v); }
constexpr qvo_int32 qvoHostToLE32(qvo_int32 v) { return qvoHostIsLittleEndian ? v : qvoBswap32(v); }
constexpr qvo_int64 qvoHostToLE64(qvo_int64 v) { return qvoHostIsLittleEndian ? v : qvoBswap64(v); }
inline qvo_double qvoHostToLEDouble(qvo_double v) {
  return qvoHostIsLittleEndian ? v : qvoBswapDouble(v);
}
constexpr qvo_int16 qvoLEToHost16(qvo_int16 v) { return qvoHostToLE16(v); }
constexpr qvo_int32 qvoLEToHost32(qvo_int32 v) { return qvoHostToLE32(v); }
constexpr qvo_int64 qvoLEToHost64(qvo_int64 v) { return qvoHostToLE64(v); }
inline qvo_double qvoLEToHostDouble(qvo_double v) { return qvoHostToLEDouble(v); }

// Read a little-endian field at any alignment.
inline qvo_int16 qvoGetLE16(const void* p) {
  qvo_int16 v;
  std::memcpy(&v, p, sizeof v);
  return qvoLEToHost16(v);
}
inline qvo_int32 qvoGetLE32(const void* p) {
  qvo_int32 v;
  std::memcpy(&v, p, sizeof v);
  return qvoLEToHost32(v);
}
inline qvo_int64 qvoGetLE64(const void* p) {
  qvo_int64 v;
  std::memcpy(&v, p, sizeof v);
  return qvoLEToHost64(v);
}
inline qvo_double qvoGetLEDouble(const void* p) {
  qvo_double v;
  std::memcpy(&v, p, sizeof v);
  return qvoLEToHostDouble(v);
}

// Write a field in little-endian order at any alignment.
inline void qvoPutLE16(void* p, qvo_int16 v) {
  v = qvoHostToLE16(v);
  std::memcpy(p, &v, sizeof v);
}
inline void qvoPutLE32(void* p, qvo_int32 v) {
  v = qvoHostToLE32(v);
  std::memcpy(p, &v, sizeof v);
}
inline void qvoPutLE64(void* p, qvo_int64 v) {
  v = qvoHostToLE64(v);
  std::memcpy(p, &v, sizeof v);
}
inline void qvoPutLEDouble(void* p, qvo_double v) {
  v = qvoHostToLEDouble(v);
  std::memcpy(p, &v, sizeof v);
}
