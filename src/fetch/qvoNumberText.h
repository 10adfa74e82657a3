// Numbers written as text: a character value fetched into a numeric target.
// The whole text is read: blanks around it and one leading sign are allowed,
// then a decimal literal (digits with an optional point, an optional
// exponent), so " +17 ", "-4.5" and "1e3" are numbers and "12abc", "" and
// "0x10" are not. No locale is consulted.
#pragma once

#include <cstddef>
#include <cstdint>

enum class qvoTextStatus : std::uint8_t {
  Ok,
  NotANumber,  // the text is no decimal literal
  OutOfRange,  // beyond what any target holds
};

// A literal's integer part, exact: magnitude up to 2^127.
struct qvoTextInteger {
  qvoTextStatus status = qvoTextStatus::NotANumber;
  bool negative = false;
  bool fractionDropped = false;  // a non-zero digit after the integer part
  unsigned __int128 magnitude = 0;

  __int128 Value() const {
    return negative ? -static_cast<__int128>(magnitude - 1) - 1 : static_cast<__int128>(magnitude);
  }
};

qvoTextInteger qvoParseIntegerText(const char* text, std::size_t length);

// The literal as the nearest double. OutOfRange when it is beyond the largest
// double; a literal too small for a double reads as zero of its sign.
qvoTextStatus qvoParseDoubleText(const char* text, std::size_t length, double* out);
