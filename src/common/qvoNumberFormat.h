// Fixed-width scientific text of numbers, as statements with external
// conversion deliver DOUBLE and decimal values: sign, one digit, point, further
// digits, 'E', exponent sign and two exponent digits, precision characters in
// all ("+1.23456789E+02" at precision 15); compression drops the zeros at the
// end of the mantissa ("+1.23456E+02", "+1.E+05").
//
// The process-wide formatter `nf` (precision 15, compression on) is
// constant-initialised: it is usable from any static initialiser of the library
// whatever the order of translation units, and it has no destructor to run.
#pragma once

#include <atomic>
#include <cstddef>

class NumberFormat {
 public:
  // Precision is kept within [minPrecision, maxPrecision]. Below 6 the layout
  // has no room for its fixed characters; above 23 the texts would no longer
  // fit the 24-byte number buffers of the library's callers.
  static constexpr int minPrecision = 6;
  static constexpr int maxPrecision = 23;
  // Room that every text of every formatter fits in, terminator included:
  // precision + 1, at least the 14 bytes of "Convert-Error".
  static constexpr std::size_t bufferSize = maxPrecision + 1;
  // What version() writes; sizeof gives the room it needs.
  static constexpr char versionText[] =
      "Zuvirorazi-Version:\n"
      "REPOSITORY_URL = https://source.vandrel.invalid/client/libqvocli.git"
      "\n"
      "REPOSITORY_REVISION = 0";

  constexpr explicit NumberFormat(int nfprecision = 15, bool nfdoCompress = true) noexcept
      : precision(clampPrecision(nfprecision)), doCompress(nfdoCompress ? 1 : 0), negativ(false) {}
  NumberFormat(const NumberFormat&) = delete;
  NumberFormat& operator=(const NumberFormat&) = delete;

  // Stores prec, raised to 6 and capped at 23. Safe while other threads
  // convert: each conversion reads the precision once.
  void setPrecision(int prec) noexcept;

  // Writes versionText (with its NUL) into buffer, which must hold
  // sizeof(versionText) bytes.
  void version(char* buffer) const noexcept;

  // Writes the fixed-width text of number into buffer (precision + 1 bytes,
  // at least 14; bufferSize always suffices) and returns 0; on failure writes
  // "Convert-Error" and returns 1. number receives the rounding increment of
  // half a unit in the precision-th significant digit, away from zero.
  // Infinities give "+INF" / "-INF", NaN gives "NAN"; exponents beyond +-99
  // take three exponent digits and one mantissa digit fewer.
  // Instantiated for double, float and the ten standard integer types from
  // signed char to unsigned long long.
  template <typename T>
  int convertValue(T& number, char* buffer) noexcept;

 private:
  static constexpr int clampPrecision(int prec) noexcept {
    return prec < minPrecision ? minPrecision : (prec > maxPrecision ? maxPrecision : prec);
  }

  // Fills layout with the empty text of length characters whose tail ('E',
  // exponent sign, exponent digits) is tailLength long: '0's, the point after
  // the first digit when there is room for it, the 'E' and the terminator.
  static void makeBuffer(char* layout, int length, int tailLength) noexcept;
  static int min(int first, int second) noexcept;
  // Removes the '0's at the end of the mantissa of a formatted text in place;
  // the point and the exponent stay.
  static void compress(char* numberBuffer) noexcept;
  // number: optional '-' and at least one digit; exponent: the decimal
  // exponent of the first digit. Replaces number with the formatted text of
  // width characters (seven when width 6 meets a three-digit exponent), so
  // number must hold bufferSize bytes.
  void copyNumber(char* number, int exponent, int width) const noexcept;

  std::atomic<int> precision;
  int doCompress;             // set only by the constructor
  std::atomic<bool> negativ;  // set by every conversion of a negative value
};

// The library's formatter: precision 15, compression on.
extern NumberFormat nf;

// Host entry points acting on nf.
void changePrecision(int newPrec) noexcept;
void getVersion(char* buffer) noexcept;  // buffer: sizeof(NumberFormat::versionText)

// nf.convertValue(number, buffer). For double the text is at most 23
// characters plus its terminator.
template <typename T>
int convertNumber(T& number, char* buffer) noexcept;

#define QVO_NUMBER_FORMAT_TYPES(X) \
  X(double)                        \
  X(float)                         \
  X(signed char)                   \
  X(unsigned char)                 \
  X(short)                         \
  X(unsigned short)                \
  X(int)                           \
  X(unsigned int)                  \
  X(long)                          \
  X(unsigned long)                 \
  X(long long)                     \
  X(unsigned long long)

#define QVO_DECLARE_NUMBER_FORMAT(T)                                                    \
  extern template int NumberFormat::convertValue<T>(T & number, char* buffer) noexcept; \
  extern template int convertNumber<T>(T & number, char* buffer) noexcept;
QVO_NUMBER_FORMAT_TYPES(QVO_DECLARE_NUMBER_FORMAT)
#undef QVO_DECLARE_NUMBER_FORMAT
