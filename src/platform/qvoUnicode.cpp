#include "platform/qvoUnicode.h"

#include <cstdint>
#include <cstring>

namespace Unicode {

size_t Utf8SequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

bool isValidUtf8Bytestream(const char* bytes, size_t len) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < len) {
    const unsigned char b = s[i];
    const size_t n = Utf8SequenceLength(b);
    if (n == 0 || i + n > len) return false;
    for (size_t k = 1; k < n; ++k)
      if ((s[i + k] & 0xC0) != 0x80) return false;
    if (n == 3) {
      const unsigned char c = s[i + 1];
      if (b == 0xE0 && c < 0xA0) return false;   // overlong
      if (b == 0xED && c >= 0xA0) return false;  // surrogate
    } else if (n == 4) {
      const unsigned char c = s[i + 1];
      if (b == 0xF0 && c < 0x90) return false;   // overlong
      if (b == 0xF4 && c >= 0x90) return false;  // above U+10FFFF
    }
    i += n;
  }
  return true;
}

size_t Utf8CutLength(const char* bytes, size_t len, size_t maxBytes) {
  if (len <= maxBytes) return len;
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t cut = maxBytes;
  // Step back over continuation bytes to the lead byte of the cut sequence.
  while (cut > 0 && (s[cut] & 0xC0) == 0x80) --cut;
  return cut;
}

Utf16Result Utf8ToUtf16(const char* bytes, size_t len, char* out, size_t maxUnits) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  Utf16Result r;
  bool room = true;  // once a character did not fit, nothing more is written
  auto put = [&](std::uint16_t unit) {
    std::memcpy(out + 2 * r.written, &unit, sizeof unit);
    ++r.written;
  };
  size_t i = 0;
  while (i < len) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      if (room && r.written < maxUnits)
        put(b);
      else
        room = false;
      ++r.total;
      ++i;
      continue;
    }
    const size_t n = Utf8SequenceLength(b);
    bool ok = n != 0 && i + n <= len;
    for (size_t k = 1; ok && k < n; ++k) ok = (s[i + k] & 0xC0) == 0x80;
    if (ok && n == 3) ok = !(b == 0xE0 && s[i + 1] < 0xA0) && !(b == 0xED && s[i + 1] >= 0xA0);
    if (ok && n == 4) ok = !(b == 0xF0 && s[i + 1] < 0x90) && !(b == 0xF4 && s[i + 1] >= 0x90);
    if (!ok) {
      r.valid = false;
      r.badAt = i;
      return r;
    }
    std::uint32_t cp = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    const size_t units = cp >= 0x10000 ? 2 : 1;
    if (room && r.written + units <= maxUnits) {
      if (units == 1) {
        put(static_cast<std::uint16_t>(cp));
      } else {
        cp -= 0x10000;
        put(static_cast<std::uint16_t>(0xD800 | (cp >> 10)));
        put(static_cast<std::uint16_t>(0xDC00 | (cp & 0x3FF)));
      }
    } else {
      room = false;
    }
    r.total += units;
    i += n;
  }
  return r;
}

}  // namespace Unicode
