#include "common/qvoNumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

// Constant-initialised: ready before any dynamic initialiser runs, never destroyed.
constinit NumberFormat nf;

namespace {

constexpr char convertError[] = "Convert-Error";
static_assert(sizeof(convertError) <= NumberFormat::bufferSize);

// Decimal exponents of finite doubles stay within +-324.
constexpr int maxExponentDigits = 3;

// Rendered value: optional '-', then significant digits, and the decimal
// exponent of the first digit. Wide enough for any double at maxPrecision
// digits and for the 20 digits of the widest integer.
struct DigitText {
  char text[NumberFormat::maxPrecision + 2];
  int exponent;
};

// The precision-digit scientific rendering of a floating value, reduced to
// its digits. The exponent is the rendering's own, so a value that rounds up
// to the next power of ten gets the exponent of its digits.
bool renderFloating(double value, int width, DigitText& out) {
  char scratch[64];
  auto [end, ec] = std::to_chars(scratch, scratch + sizeof scratch, value,
                                 std::chars_format::scientific, width - 1);
  if (ec != std::errc()) return false;
  *end = '\0';
  char* dst = out.text;
  const char* src = scratch;
  if (*src == '-') *dst++ = *src++;
  for (; *src != '\0' && *src != 'e'; ++src) {
    if (*src != '.' && dst < out.text + width) *dst++ = *src;
  }
  *dst = '\0';
  if (*src != 'e') return false;
  ++src;
  int exponent = 0;
  if (*src == '+') ++src;  // from_chars takes '-' but not '+'
  auto parsed = std::from_chars(src, end, exponent);
  if (parsed.ec != std::errc()) return false;
  out.exponent = exponent;
  return true;
}

template <typename T>
bool renderInteger(T value, int width, DigitText& out) {
  char scratch[32];
  auto [end, ec] = std::to_chars(scratch, scratch + sizeof scratch, value);
  if (ec != std::errc()) return false;
  const char* digits = scratch[0] == '-' ? scratch + 1 : scratch;
  out.exponent = static_cast<int>(end - digits) - 1;
  const std::ptrdiff_t keep = std::min<std::ptrdiff_t>(end - scratch, width);
  std::memcpy(out.text, scratch, keep);
  out.text[keep] = '\0';
  return true;
}

}  // namespace

void NumberFormat::setPrecision(int prec) noexcept {
  precision.store(clampPrecision(prec), std::memory_order_relaxed);
}

void NumberFormat::version(char* buffer) const noexcept {
  std::memcpy(buffer, versionText, sizeof versionText);
}

void NumberFormat::makeBuffer(char* layout, int length, int tailLength) noexcept {
  std::memset(layout, '0', length);
  layout[length] = '\0';
  if (length - tailLength > 2) layout[2] = '.';
  layout[length - tailLength] = 'E';
}

int NumberFormat::min(int first, int second) noexcept { return first < second ? first : second; }

void NumberFormat::compress(char* numberBuffer) noexcept {
  char* point = std::strchr(numberBuffer, '.');
  char* tail = std::strrchr(numberBuffer, 'E');
  if (point == nullptr || tail == nullptr || tail < point) return;
  char* keepEnd = tail;
  while (keepEnd > point + 1 && keepEnd[-1] == '0') --keepEnd;
  std::memmove(keepEnd, tail, std::strlen(tail) + 1);
}

void NumberFormat::copyNumber(char* number, int exponent, int width) const noexcept {
  const unsigned magnitude =
      exponent < 0 ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
  const int exponentDigits = magnitude >= 100 ? maxExponentDigits : 2;
  const int tailLength = 2 + exponentDigits;
  // Sign and first digit always; at width 6 a three-digit exponent makes the
  // text one character wider than the width, still far inside bufferSize.
  const int length = tailLength + (width - tailLength < 2 ? 2 : width - tailLength);
  char layout[bufferSize];
  makeBuffer(layout, length, tailLength);

  const char* digits = number;
  layout[0] = '+';
  if (*digits == '-') {
    layout[0] = '-';
    ++digits;
  }
  layout[1] = *digits != '\0' ? *digits++ : '0';
  // Further digits go between the point and the 'E'; the rest is cut.
  const int room = layout[2] == '.' ? length - tailLength - 3 : 0;
  const int count = min(static_cast<int>(std::strlen(digits)), room);
  std::memcpy(layout + 3, digits, count > 0 ? count : 0);

  const int tail = length - tailLength;
  layout[tail + 1] = exponent < 0 ? '-' : '+';
  unsigned rest = magnitude;
  for (int pos = length - 1; pos > tail + 1; --pos) {
    layout[pos] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }

  if (doCompress != 0) compress(layout);
  std::memcpy(number, layout, std::strlen(layout) + 1);
}

template <typename T>
int NumberFormat::convertValue(T& number, char* buffer) noexcept {
  static_assert(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>);
  if (buffer == nullptr) return 1;
  // One reading of the precision serves the whole conversion, so a concurrent
  // precision change cannot mix two widths.
  const int width = precision.load(std::memory_order_relaxed);

  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(number)) {
      std::memcpy(buffer, "NAN", 4);
      return 0;
    }
    if (std::isinf(number)) {
      std::memcpy(buffer, number < 0 ? "-INF" : "+INF", 5);
      return 0;
    }
  }

  // Half a unit in the width-th significant digit, away from zero, estimated
  // from the logarithm; the text is then rounded to width digits and cut.
  double dblExponent = 0.0;
  int modifier = 5;
  if (number > T(0)) {
    dblExponent = std::log10(static_cast<double>(number)) + 5e-15;
  } else if (number < T(0)) {
    dblExponent = std::log10(-static_cast<double>(number)) + 5e-15;
    modifier = -5;
    negativ.store(true, std::memory_order_relaxed);
  }
  const int iExponent = static_cast<int>(std::floor(dblExponent));
  if (number != T(0)) {
    const double increment = modifier * std::pow(10.0, iExponent - width);
    if constexpr (std::is_floating_point_v<T>) {
      const T sum = number + static_cast<T>(increment);
      if (std::isfinite(sum)) number = sum;  // near the top of the range: no rounding
    } else {
      T sum;
      if (!__builtin_add_overflow(number, static_cast<T>(increment), &sum)) number = sum;
    }
  }

  DigitText rendered;
  bool ok;
  if constexpr (std::is_floating_point_v<T>) {
    ok = renderFloating(static_cast<double>(number), width, rendered);
  } else {
    ok = renderInteger(number, width, rendered);
  }
  if (!ok) {
    std::memcpy(buffer, convertError, sizeof convertError);
    return 1;
  }

  char cNumber[bufferSize];
  std::memcpy(cNumber, rendered.text, std::strlen(rendered.text) + 1);
  copyNumber(cNumber, rendered.exponent, width);
  std::memcpy(buffer, cNumber, std::strlen(cNumber) + 1);
  return 0;
}

template <typename T>
int convertNumber(T& number, char* buffer) noexcept {
  return nf.convertValue(number, buffer);
}

void changePrecision(int newPrec) noexcept { nf.setPrecision(newPrec); }

void getVersion(char* buffer) noexcept { nf.version(buffer); }

#define QVO_INSTANTIATE_NUMBER_FORMAT(T)                                         \
  template int NumberFormat::convertValue<T>(T & number, char* buffer) noexcept; \
  template int convertNumber<T>(T & number, char* buffer) noexcept;
QVO_NUMBER_FORMAT_TYPES(QVO_INSTANTIATE_NUMBER_FORMAT)
#undef QVO_INSTANTIATE_NUMBER_FORMAT
