#include "fetch/qvoNumberText.h"

#include <charconv>
#include <system_error>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Far beyond any value a target holds, small enough to add to a digit count.
constexpr long kExponentCap = 100000;

// A decimal literal split into its parts. The digits are intDigits then
// fracDigits; the value is those digits with the point after nInt of them,
// times 10^exponent.
struct Literal {
  bool negative = false;
  const char* body = nullptr;  // after the sign
  const char* end = nullptr;   // before the trailing blanks
  const char* intDigits = nullptr;
  std::size_t nInt = 0;
  const char* fracDigits = nullptr;
  std::size_t nFrac = 0;
  long exponent = 0;

  std::size_t Digits() const { return nInt + nFrac; }
  char Digit(std::size_t i) const { return i < nInt ? intDigits[i] : fracDigits[i - nInt]; }
};

bool Scan(const char* p, std::size_t length, Literal* lit) {
  if (p == nullptr) return false;
  const char* end = p + length;
  while (p < end && IsBlank(*p)) ++p;
  while (end > p && IsBlank(end[-1])) --end;
  if (p < end && (*p == '+' || *p == '-')) {
    lit->negative = *p == '-';
    ++p;
  }
  lit->body = p;
  lit->end = end;
  lit->intDigits = p;
  while (p < end && IsDigit(*p)) ++p;
  lit->nInt = static_cast<std::size_t>(p - lit->intDigits);
  if (p < end && *p == '.') {
    ++p;
    lit->fracDigits = p;
    while (p < end && IsDigit(*p)) ++p;
    lit->nFrac = static_cast<std::size_t>(p - lit->fracDigits);
  }
  if (lit->Digits() == 0) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p < end && (*p == '+' || *p == '-')) {
      negativeExponent = *p == '-';
      ++p;
    }
    if (p == end || !IsDigit(*p)) return false;
    long e = 0;
    for (; p < end && IsDigit(*p); ++p)
      if (e < kExponentCap) e = e * 10 + (*p - '0');
    lit->exponent = negativeExponent ? -e : e;
  }
  return p == end;
}

}  // namespace

qvoTextInteger qvoParseIntegerText(const char* text, std::size_t length) {
  qvoTextInteger r;
  Literal lit;
  if (!Scan(text, length, &lit)) return r;
  r.negative = lit.negative;

  // Digits before the point once the exponent has moved it; beyond the
  // written digits come zeros.
  const long intCount = static_cast<long>(lit.nInt) + lit.exponent;
  constexpr unsigned __int128 kLimit = static_cast<unsigned __int128>(1) << 127;
  unsigned __int128 m = 0;
  for (long i = 0; i < intCount; ++i) {
    const std::size_t at = static_cast<std::size_t>(i);
    if (at >= lit.Digits() && m == 0) break;  // zeros after zeros stay zero
    const unsigned digit = at < lit.Digits() ? static_cast<unsigned>(lit.Digit(at) - '0') : 0;
    if (m > (kLimit - digit) / 10) {
      r.status = qvoTextStatus::OutOfRange;
      return r;
    }
    m = m * 10 + digit;
  }
  for (std::size_t i = intCount > 0 ? static_cast<std::size_t>(intCount) : 0; i < lit.Digits(); ++i)
    if (lit.Digit(i) != '0') {
      r.fractionDropped = true;
      break;
    }
  r.magnitude = m;
  r.status = qvoTextStatus::Ok;
  return r;
}

qvoTextStatus qvoParseDoubleText(const char* text, std::size_t length, double* out) {
  Literal lit;
  if (!Scan(text, length, &lit)) return qvoTextStatus::NotANumber;
  double d = 0.0;
  const auto [ptr, ec] = std::from_chars(lit.body, lit.end, d, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Overflow or underflow: the position of the first significant digit
    // tells which.
    std::size_t first = 0;
    while (first < lit.Digits() && lit.Digit(first) == '0') ++first;
    const long magnitude = static_cast<long>(lit.nInt) - static_cast<long>(first) + lit.exponent;
    if (magnitude > 0) return qvoTextStatus::OutOfRange;
    d = 0.0;
  } else if (ec != std::errc{} || ptr != lit.end) {
    return qvoTextStatus::NotANumber;
  }
  *out = lit.negative ? -d : d;
  return qvoTextStatus::Ok;
}
