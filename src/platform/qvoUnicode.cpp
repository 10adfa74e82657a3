#include "platform/qvoUnicode.h"

namespace Unicode {

namespace {
// Length of the sequence led by b, or 0 when b cannot lead one.
size_t SequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}
}  // namespace

bool isValidUtf8Bytestream(const char* bytes, size_t len) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < len) {
    const unsigned char b = s[i];
    const size_t n = SequenceLength(b);
    if (n == 0 || i + n > len) return false;
    for (size_t k = 1; k < n; ++k)
      if ((s[i + k] & 0xC0) != 0x80) return false;
    if (n == 3) {
      const unsigned char c = s[i + 1];
      if (b == 0xE0 && c < 0xA0) return false;  // overlong
      if (b == 0xED && c >= 0xA0) return false;  // surrogate
    } else if (n == 4) {
      const unsigned char c = s[i + 1];
      if (b == 0xF0 && c < 0x90) return false;  // overlong
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

}  // namespace Unicode
