#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/qvoNumberFormat.h"
#include "common/qvoNumbers.h"

namespace {

// The 128-bit layout the row readers hand over: low half, then high half,
// each in host order.
struct Int128 {
  unsigned char bytes[16];
  Int128(uint64_t low, uint64_t high) {
    std::memcpy(bytes, &low, 8);
    std::memcpy(bytes + 8, &high, 8);
  }
};

constexpr uint64_t kMax = UINT64_MAX;
constexpr uint64_t kTop = uint64_t{1} << 63;

TEST(Int128ToChar, DecimalText) {
  struct Case {
    uint64_t low, high;
    int scale;
    const char* text;
  } cases[] = {
      {kMax, kMax >> 1, 0, "170141183460469231731687303715884105727"},  // 2^127 - 1
      {0, kTop, 0, "-170141183460469231731687303715884105728"},         // -2^127
      {kMax, kMax >> 1, 1, "17014118346046923173168730371588410572,7"},
      {kMax, kMax >> 1, 18, "170141183460469231731,687303715884105727"},
      {kMax, kMax >> 1, 38, "1,70141183460469231731687303715884105727"},
      {0, kTop, 1, "-17014118346046923173168730371588410572,8"},
      {0, kTop, 38, "-1,70141183460469231731687303715884105728"},
      {kMax, kMax, 0, "-1"},
      {0x6BC75E2D63100000, 5, 20, "1"},  // 10^20
      {0x6BC75E2D63100000, 5, 0, "100000000000000000000"},
      {12345, 0, 2, "123,45"},
      {100, 0, 2, "1"},
      {5, 0, 3, "0,005"},
      {uint64_t(-5), kMax, 3, "-0,005"},
      {0, 0, 7, "0"},
      {uint64_t{1} << 63, 0, 0, "9223372036854775808"},  // the low half is unsigned
      {0, 1, 0, "18446744073709551616"},
  };
  for (const Case& tc : cases) {
    Int128 value(tc.low, tc.high);
    const Int128 before = value;
    char out[128];
    const int n = qvo_int128ToChar(reinterpret_cast<const char*>(value.bytes), tc.scale, out,
                                   sizeof out, ',');
    EXPECT_STREQ(out, tc.text);
    EXPECT_EQ(n, static_cast<int>(std::strlen(tc.text)));
    EXPECT_EQ(std::memcmp(value.bytes, before.bytes, 16), 0) << "input rewritten";
  }
}

TEST(Int128ToChar, RefusesScalesAndBuffersItCannotServe) {
  Int128 value(kMax, kMax >> 1);
  const char* in = reinterpret_cast<const char*>(value.bytes);
  char out[128] = "untouched";
  EXPECT_EQ(qvo_int128ToChar(in, 39, out, sizeof out, '.'), -1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(qvo_int128ToChar(in, -1, out, sizeof out, '.'), -1);
  // 39 digits need 40 bytes; a cut number would be a wrong number.
  EXPECT_EQ(qvo_int128ToChar(in, 0, out, 39, '.'), -1);
  EXPECT_EQ(qvo_int128ToChar(in, 0, out, 40, '.'), 39);
  EXPECT_EQ(qvo_int128ToChar(in, 0, out, 0, '.'), -1);
  EXPECT_EQ(initBitToCharArray(), 0);
}

TEST(BigDecimalToDouble, ValuesAndScale) {
  struct Case {
    uint64_t low, high;
    int scale;
    double value;
  } cases[] = {
      {0, kMax, 0, -18446744073709551616.0},  // -2^64
      {kMax, kMax, 0, -1.0},
      {uint64_t(-5), kMax, 0, -5.0},
      {kTop, 0, 0, 9223372036854775808.0},
      {0, 1, 0, 18446744073709551616.0},
      {0, uint64_t(-2), 0, -36893488147419103232.0},
      {12345, 0, 2, 123.45},
      {12345, 0, -3, 12345.0},
  };
  for (const Case& tc : cases) {
    Int128 value(tc.low, tc.high);
    EXPECT_DOUBLE_EQ(BigDecimalToDouble(value.bytes, tc.scale), tc.value) << tc.low;
  }
}

TEST(DecimalToChar, ScaledText) {
  struct Case {
    int64_t value;
    int scale;
    char separator;
    int result;
    const char* text;
  } cases[] = {
      {1525, 2, '.', 5, "15.25"},
      {1500, 2, '.', 2, "15"},
      {5, 3, '.', 5, "0.005"},
      {-123456789, 4, '.', 11, "-12345.6789"},
      {120, 0, '.', 3, "120"},
      {70, 1, '.', 1, "7"},
      {7, 1, ',', 3, "0,7"},
      {-999999999999999999, 18, '.', 21, "-0.999999999999999999"},
      {INT64_MIN, 0, '.', 20, "-9223372036854775808"},
      {INT64_MIN, 18, '.', 21, "-9.223372036854775808"},
      {0, 5, '.', 1, "0"},
      {1, 19, '.', -1, ""},
      {1, -1, '.', -1, ""},
  };
  for (const Case& tc : cases) {
    // Unaligned on purpose.
    unsigned char raw[9];
    std::memcpy(raw + 1, &tc.value, 8);
    char buf[24];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(DecimalToChar(raw + 1, tc.scale, buf, tc.separator, 0), tc.result) << tc.value;
    EXPECT_STREQ(buf, tc.text);
  }
}

TEST(DecimalToChar, ExternalConversionUsesTheNumberFormatter) {
  struct Case {
    int64_t value;
    int scale;
    double asDouble;
  } cases[] = {{12345, 2, 123.45}, {-5, 3, -0.005}, {0, 4, 0.0}, {42, 0, 42.0}};
  for (const Case& tc : cases) {
    char buf[24];
    const int n = DecimalToChar(&tc.value, tc.scale, buf, ',', 1);
    char expected[24];
    double d = tc.asDouble;
    convertNumber<double>(d, expected);
    EXPECT_STREQ(buf, expected) << tc.value;
    EXPECT_EQ(n, static_cast<int>(std::strlen(expected)));
    EXPECT_EQ(std::strchr(buf, '-') == nullptr, tc.value >= 0) << buf;
  }
}

TEST(SetNumericVal, FillsTheStructure) {
  const int32_t small = 258;
  const int64_t decimal = -300, minimum = INT64_MIN;
  const double truncated = -2.9, big = 1e18;
  const unsigned char boolean = 1;
  unsigned char minusOne[16];
  std::memset(minusOne, 0xFF, 16);
  // 10^20 in wire order (least significant byte first).
  const unsigned char tenE20[16] = {0x00, 0x00, 0x10, 0x63, 0x2D, 0x5E, 0xC7, 0x6B, 0x05};
  unsigned char minus2e127[16] = {};
  minus2e127[15] = 0x80;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double tooBig = 9223372036854775808.0, tooSmall = -9.3e18;
  const int64_t varchar = 1;

  struct Case {
    const void* value;
    __TypeId type;
    int result;
    int sign;
    std::vector<unsigned char> val;  // the remaining bytes are zero
  } cases[] = {
      {&decimal, _DECIMAL, 0, 0, {0x2C, 0x01}},
      {&small, _SMALLDECIMAL, 0, 1, {0x02, 0x01}},
      {&minimum, _DECIMAL, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0x80}},
      {&truncated, _DOUBLE, 0, 0, {0x02}},
      {&big, _DOUBLE, 0, 1, {0x00, 0x00, 0x64, 0xA7, 0xB3, 0xB6, 0xE0, 0x0D}},
      {&boolean, _BOOLEAN, 0, 1, {0x01}},
      {minusOne, _BIGDECIMAL, 0, 0, {0x01}},
      {tenE20, _BIGDECIMAL, 0, 1, {0x00, 0x00, 0x10, 0x63, 0x2D, 0x5E, 0xC7, 0x6B, 0x05}},
      {minus2e127, _BIGDECIMAL, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
      {&nan, _DOUBLE, -1, 1, {}},
      {&tooBig, _DOUBLE, -1, 1, {}},
      {&tooSmall, _DOUBLE, -1, 1, {}},
      {&varchar, _VARCHAR, -1, 1, {}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& tc = cases[i];
    SQL_NUMERIC_STRUCT n;
    std::memset(&n, 0xAA, sizeof n);
    EXPECT_EQ(qvoSetNumericVal(4, 20, const_cast<void*>(tc.value), tc.type, &n), tc.result)
        << "case " << i;
    EXPECT_EQ(n.precision, 20);
    EXPECT_EQ(n.scale, 4);
    EXPECT_EQ(n.sign, tc.sign) << "case " << i;
    std::vector<unsigned char> expected = tc.val;
    expected.resize(16, 0);
    EXPECT_EQ(std::vector<unsigned char>(n.val, n.val + 16), expected) << "case " << i;
  }
}

}  // namespace
