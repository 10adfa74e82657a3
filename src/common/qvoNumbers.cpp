#include "common/qvoNumbers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/qvoByteOrder.h"
#include "common/qvoNumberFormat.h"

namespace {

constexpr qvo_int64 kLimbBase = 100000000000000000LL;  // 10^17

// a128[k] is 2^k in three limbs of base 10^17, most significant first. Built
// by the compiler: no run-time initialisation, no race between threads.
struct PowersOfTwo {
  qvo_int64 limb[128][3];
};

constexpr PowersOfTwo BuildA128() {
  PowersOfTwo t{};
  t.limb[0][2] = 1;
  for (int k = 1; k < 128; ++k) {
    qvo_int64 carry = 0;
    for (int i = 2; i >= 0; --i) {
      const qvo_int64 v = 2 * t.limb[k - 1][i] + carry;
      if (v < kLimbBase) {
        t.limb[k][i] = v;
        carry = 0;
      } else {
        carry = v / kLimbBase;
        t.limb[k][i] = v - carry * kLimbBase;
      }
    }
  }
  return t;
}

constexpr PowersOfTwo a128 = BuildA128();
static_assert(a128.limb[127][0] == 17014 && a128.limb[127][1] == 11834604692317316LL &&
              a128.limb[127][2] == 87303715884105728LL);

struct Int128Halves {
  qvo_uint64 low;
  qvo_int64 high;
};

Int128Halves ReadHalves(const void* value) {
  Int128Halves h;
  std::memcpy(&h.low, value, 8);
  std::memcpy(&h.high, static_cast<const char*>(value) + 8, 8);
  return h;
}

// Writes text into output of bufferLen bytes when it fits whole; a cut
// number would be a wrong number.
int Deliver(const char* text, int length, char* output, int bufferLen) {
  if (length + 1 > bufferLen) {
    output[0] = 0;
    return -1;
  }
  std::memcpy(output, text, static_cast<size_t>(length) + 1);
  return length;
}

// Integer digits without leading zeros ("0" when none are left), then the
// fraction without trailing zeros behind the separator, if anything is left
// of it. `digits` holds n > scale digits; `out` has room for n + 3 bytes.
// Stack only: this runs once per decimal value fetched.
int ScaledText(bool negative, const char* digits, int n, int scale, char separator, char* out) {
  const int wholeEnd = n - scale;
  int start = 0;
  while (start < wholeEnd && digits[start] == '0') ++start;
  int fractionEnd = n;
  while (fractionEnd > wholeEnd && digits[fractionEnd - 1] == '0') --fractionEnd;
  int k = 0;
  if (negative) out[k++] = '-';
  if (start == wholeEnd) {
    out[k++] = '0';
  } else {
    std::memcpy(out + k, digits + start, static_cast<size_t>(wholeEnd - start));
    k += wholeEnd - start;
  }
  if (fractionEnd > wholeEnd) {
    out[k++] = separator;
    std::memcpy(out + k, digits + wholeEnd, static_cast<size_t>(fractionEnd - wholeEnd));
    k += fractionEnd - wholeEnd;
  }
  out[k] = 0;
  return k;
}

}  // namespace

int initBitToCharArray() { return 0; }

int qvo_int128ToChar(const char* valuePtr, int decimalDigits, char* output, int bufferLen,
                     char decimalSeparator) {
  if (output == nullptr || bufferLen <= 0) return -1;
  if (valuePtr == nullptr || decimalDigits < 0 || decimalDigits > kQvoMaxScale128) {
    output[0] = 0;
    return -1;
  }
  const Int128Halves v = ReadHalves(valuePtr);
  const bool negative = v.high < 0;
  const qvo_uint64 high = static_cast<qvo_uint64>(v.high);

  // Sum the powers of two of the magnitude per limb; a negative value's
  // magnitude is its inverted bits plus one. 127 limbs below 10^17 stay
  // below 2^64.
  qvo_uint64 acc[3] = {0, 0, 0};
  for (int bit = 0; bit < 127; ++bit) {
    const bool set = bit < 64 ? (v.low >> bit) & 1 : (high >> (bit - 64)) & 1;
    if (set != negative)
      for (int i = 0; i < 3; ++i) acc[i] += static_cast<qvo_uint64>(a128.limb[bit][i]);
  }
  if (negative) acc[2] += 1;
  acc[1] += acc[2] / kLimbBase;
  acc[2] %= kLimbBase;
  acc[0] += acc[1] / kLimbBase;
  acc[1] %= kLimbBase;

  if (acc[0] == 0 && acc[1] == 0 && acc[2] == 0) return Deliver("0", 1, output, bufferLen);

  const auto l0 = static_cast<unsigned long long>(acc[0]);
  const auto l1 = static_cast<unsigned long long>(acc[1]);
  const auto l2 = static_cast<unsigned long long>(acc[2]);
  char buf[64];
  if (decimalDigits == 0) {
    const char* sign = negative ? "-" : "";
    int n;
    if (l0 != 0)
      n = std::snprintf(buf, sizeof buf, "%s%llu%017llu%017llu", sign, l0, l1, l2);
    else if (l1 != 0)
      n = std::snprintf(buf, sizeof buf, "%s%llu%017llu", sign, l1, l2);
    else
      n = std::snprintf(buf, sizeof buf, "%s%llu", sign, l2);
    return Deliver(buf, n, output, bufferLen);
  }
  const int n = std::snprintf(buf, sizeof buf, "%017llu%017llu%017llu", l0, l1, l2);
  char text[64];
  const int length = ScaledText(negative, buf, n, decimalDigits, decimalSeparator, text);
  return Deliver(text, length, output, bufferLen);
}

double BigDecimalToDouble(const void* Value, qvo_int32 DecimalDigits) {
  if (Value == nullptr) return 0.0;
  constexpr double kTwo64 = 18446744073709551616.0;
  const Int128Halves v = ReadHalves(Value);
  double result;
  if (v.high == 0) {
    result = static_cast<double>(v.low);
  } else if (v.high == -1) {
    // The magnitude 2^64 - low, exact in 64 bits except for low 0.
    result = v.low == 0 ? -kTwo64 : -static_cast<double>(qvo_uint64{0} - v.low);
  } else {
    result = static_cast<double>(v.high) * kTwo64 + static_cast<double>(v.low);
  }
  // Past about 400 divisions every 128-bit value has reached zero.
  for (qvo_int32 i = 0; i < DecimalDigits && i < 400; ++i) result /= 10.0;
  return result;
}

int DecimalToChar(const void* Value, qvo_int32 DecimalDigits, char* numBuff, char decSeparator,
                  char externalConversion) {
  if (numBuff == nullptr) return -1;
  if (Value == nullptr || DecimalDigits < 0 || DecimalDigits > kQvoMaxScale64) {
    numBuff[0] = 0;
    return -1;
  }
  qvo_int64 value;
  std::memcpy(&value, Value, sizeof value);

  if (externalConversion) {
    double d = static_cast<double>(value);
    for (qvo_int32 i = 0; i < DecimalDigits; ++i) d /= 10.0;
    if (d == 0.0) d = 0.0;  // no "-0"
    convertNumber<double>(d, numBuff);
    return static_cast<int>(std::strlen(numBuff));
  }

  if (value == 0) return Deliver("0", 1, numBuff, 24);
  const bool negative = value < 0;
  qvo_uint64 magnitude =
      negative ? qvo_uint64{0} - static_cast<qvo_uint64>(value) : static_cast<qvo_uint64>(value);
  // At least one digit more than the scale, so that a "0" integer part
  // exists; written from the end (at most 20 digits).
  char digits[24];
  int first = sizeof digits;
  while (magnitude != 0 || static_cast<int>(sizeof digits) - first <= DecimalDigits) {
    digits[--first] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  char text[32];
  const int length = ScaledText(negative, digits + first, static_cast<int>(sizeof digits) - first,
                                DecimalDigits, decSeparator, text);
  return Deliver(text, length, numBuff, 24);
}

int qvoSetNumericVal(SQLSMALLINT sc, SQLINTEGER prec, SQLPOINTER Val, __TypeId ValType,
                     SQL_NUMERIC_STRUCT* Numeric) {
  if (Numeric == nullptr) return -1;
  Numeric->precision = static_cast<SQLCHAR>(prec);
  Numeric->scale = static_cast<SQLSCHAR>(sc);
  Numeric->sign = 1;
  std::memset(Numeric->val, 0, sizeof Numeric->val);
  if (Val == nullptr) return -1;

  qvo_int64 integer = 0;
  switch (ValType) {
    case _SMALLDECIMAL: {
      qvo_int32 v;
      std::memcpy(&v, Val, sizeof v);
      integer = v;
      break;
    }
    case _DECIMAL:
      std::memcpy(&integer, Val, sizeof integer);
      break;
    case _DOUBLE: {
      double d;
      std::memcpy(&d, Val, sizeof d);
      // Truncation is only defined for values that fit 64 bits.
      if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return -1;
      integer = static_cast<qvo_int64>(d);
      break;
    }
    case _BOOLEAN:
      Numeric->val[0] = *static_cast<const SQLCHAR*>(Val);
      return 0;
    case _BIGDECIMAL:
      std::memcpy(Numeric->val, Val, 16);
      if (Numeric->val[15] & 0x80) {
        Numeric->sign = 0;
        unsigned carry = 1;
        for (SQLCHAR& byte : Numeric->val) {
          const unsigned sum = static_cast<SQLCHAR>(~byte) + carry;
          byte = static_cast<SQLCHAR>(sum);
          carry = sum >> 8;
        }
      }
      return 0;
    default:
      return -1;
  }
  if (integer < 0) Numeric->sign = 0;
  const qvo_uint64 magnitude = integer < 0 ? qvo_uint64{0} - static_cast<qvo_uint64>(integer)
                                           : static_cast<qvo_uint64>(integer);
  qvoPutLE64(Numeric->val, static_cast<qvo_int64>(magnitude));
  return 0;
}
