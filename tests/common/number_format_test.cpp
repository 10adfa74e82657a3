#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/qvoNumberFormat.h"

namespace {

// Exact-size heap buffer, so AddressSanitizer reports any write past it.
template <typename T>
std::string Format(NumberFormat& f, T value, std::size_t size = NumberFormat::bufferSize) {
  auto buffer = std::make_unique<char[]>(size);
  EXPECT_EQ(f.convertValue(value, buffer.get()), 0);
  return buffer.get();
}

template <typename T>
std::string FormatNf(T value) {
  auto buffer = std::make_unique<char[]>(24);
  EXPECT_EQ(convertNumber(value, buffer.get()), 0);
  return buffer.get();
}

TEST(NumberFormat, DoublesThroughTheSharedFormatter) {
  struct Case {
    double value;
    const char* text;
  } const cases[] = {
      {0.0, "+0.E+00"},
      {1.0, "+1.E+00"},
      {-1.0, "-1.E+00"},
      {0.5, "+5.E-01"},
      {100000.0, "+1.E+05"},
      {123.456, "+1.23456E+02"},
      {-123.456, "-1.23456E+02"},
      {0.000123, "+1.23E-04"},
      {1.5e-7, "+1.5E-07"},
      {-2.5e-5, "-2.5E-05"},
      {1e20, "+1.E+20"},
      {2.0 / 3.0, "+6.66666666E-01"},
      {3.141592653589793, "+3.14159265E+00"},
      {12345678901.0, "+1.23456789E+10"},
      {999999999.5, "+9.99999999E+08"},
      {1.99999999999999, "+2.E+00"},
      {123456789.999999, "+1.2345679E+08"},
      {9.999999999999998, "+1.E+01"},
      {-0.0, "-0.E+00"},
      // Just below a power of ten: the exponent follows the digits shown.
      {9.9999999999999, "+9.99999999E+00"},
      {0.099999999999999, "+9.99999999E-02"},
      // Exponents beyond two digits: one mantissa digit fewer, same width.
      {1e100, "+1.E+100"},
      {-1.2345678912e-200, "-1.2345678E-200"},
      {std::numeric_limits<double>::max(), "+1.7976931E+308"},
      {std::numeric_limits<double>::denorm_min(), "+4.9406564E-324"},
      {99.0e-101, "+9.9E-100"},
      {std::numeric_limits<double>::infinity(), "+INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatNf(c.value), c.text) << c.value;
  }
}

TEST(NumberFormat, RoundingIncrementIsWrittenBack) {
  char buffer[24];
  double zero = 0.0, one = 1.0, top = std::numeric_limits<double>::max();
  convertNumber(zero, buffer);
  convertNumber(one, buffer);
  convertNumber(top, buffer);
  EXPECT_EQ(zero, 0.0);
  EXPECT_EQ(one, 1.0 + 5e-15);
  EXPECT_EQ(top, std::numeric_limits<double>::max());  // no overflow to infinity

  long long big = 1234567890123456789LL;
  EXPECT_EQ(FormatNf(big), "+1.23456789E+18");
  convertNumber(big, buffer);
  EXPECT_EQ(big, 1234567890123461789LL);

  // At the ends of the integer ranges the increment would overflow: left out.
  unsigned long long umax = std::numeric_limits<unsigned long long>::max();
  long long smax = std::numeric_limits<long long>::max();
  long long smin = std::numeric_limits<long long>::min();
  EXPECT_EQ(FormatNf(umax), "+1.8446744E+19");
  EXPECT_EQ(FormatNf(smax), "+9.22337203E+18");
  EXPECT_EQ(FormatNf(smin), "-9.22337203E+18");
  convertNumber(umax, buffer);
  convertNumber(smin, buffer);
  EXPECT_EQ(umax, std::numeric_limits<unsigned long long>::max());
  EXPECT_EQ(smin, std::numeric_limits<long long>::min());
}

TEST(NumberFormat, OtherNumberTypes) {
  EXPECT_EQ(FormatNf(42), "+4.2E+01");
  EXPECT_EQ(FormatNf(-42), "-4.2E+01");
  EXPECT_EQ(FormatNf(0), "+0.E+00");
  EXPECT_EQ(FormatNf(4000000000u), "+4.E+09");
  EXPECT_EQ(FormatNf(0.1f), "+1.00000001E-01");
  EXPECT_EQ(FormatNf(static_cast<signed char>(65)), "+6.5E+01");
  EXPECT_EQ(FormatNf(static_cast<unsigned char>(255)), "+2.55E+02");
  EXPECT_EQ(FormatNf(static_cast<short>(-32768)), "-3.2768E+04");
  EXPECT_EQ(FormatNf(static_cast<unsigned short>(65535)), "+6.5535E+04");
  EXPECT_EQ(FormatNf(-7L), "-7.E+00");
  EXPECT_EQ(FormatNf(10UL), "+1.E+01");
  EXPECT_EQ(FormatNf(-std::numeric_limits<float>::infinity()), "-INF");
  // The logarithm alone would put this one a power of ten too high.
  EXPECT_EQ(FormatNf(99999999999999LL), "+9.99999999E+13");
}

// The layout at precision 15 with and without compression, and at 7 and 20.
TEST(NumberFormat, LayoutByPrecisionAndCompression) {
  struct Case {
    int precision;
    double value;
    const char* compressed;
    const char* uncompressed;
  } const cases[] = {
      {15, 123.456, "+1.23456E+02", "+1.23456000E+02"},
      {15, -0.5, "-5.E-01", "-5.00000000E-01"},
      {15, 0.0, "+0.E+00", "+0.00000000E+00"},
      {15, 10.0, "+1.E+01", "+1.00000000E+01"},
      {15, 1.5e-7, "+1.5E-07", "+1.50000000E-07"},
      {15, 999999999.5, "+9.99999999E+08", "+9.99999999E+08"},
      {15, 123456789012345.0, "+1.23456789E+14", "+1.23456789E+14"},
      {15, 1e100, "+1.E+100", "+1.0000000E+100"},
      {7, 123.456, "+1.E+02", "+1.E+02"},
      {7, 1e100, "+1E+100", "+1E+100"},
      {20, 123.456, "+1.23456E+02", "+1.2345600000000E+02"},
      {6, 123.456, "+1E+02", "+1E+02"},
      {6, -1e-150, "-1E-150", "-1E-150"},
      {23, 1.0 / 3.0, "+3.3333333333333331E-01", "+3.3333333333333331E-01"},
  };
  for (const auto& c : cases) {
    NumberFormat on(c.precision, true), off(c.precision, false);
    EXPECT_EQ(Format(on, c.value), c.compressed) << c.precision << " " << c.value;
    EXPECT_EQ(Format(off, c.value), c.uncompressed) << c.precision << " " << c.value;
  }
}

TEST(NumberFormat, PrecisionIsKeptWithinSixAndTwentyThree) {
  struct Case {
    int requested;
    std::size_t width;  // of an uncompressed text with a two-digit exponent
  } const cases[] = {{0, 6},   {5, 6},   {-3, 6},  {std::numeric_limits<int>::min(), 6}, {7, 7},
                     {20, 20}, {23, 23}, {24, 23}, {std::numeric_limits<int>::max(), 23}};
  for (const auto& c : cases) {
    NumberFormat f(15, false);
    f.setPrecision(c.requested);
    EXPECT_EQ(Format(f, 2.0 / 3.0).size(), c.width) << c.requested;
    NumberFormat constructed(c.requested, false);
    EXPECT_EQ(Format(constructed, 2.0 / 3.0).size(), c.width) << c.requested;
  }
}

// changePrecision acts on the shared formatter; its texts still fit the
// 24-byte buffers of the library's callers, whatever a host asks for.
TEST(NumberFormat, ChangePrecisionKeepsTextsInCallerBuffers) {
  const double values[] = {2.0 / 3.0, -1e-300, std::numeric_limits<double>::max(),
                           -std::numeric_limits<double>::denorm_min()};
  for (int prec : {1000, 23, 6, -1}) {
    changePrecision(prec);
    for (double v : values) {
      auto buffer = std::make_unique<char[]>(24);
      double copy = v;
      EXPECT_EQ(convertNumber(copy, buffer.get()), 0);
      EXPECT_LE(std::strlen(buffer.get()), 23u);
    }
  }
  changePrecision(15);
  EXPECT_EQ(FormatNf(123.456), "+1.23456E+02");
}

// Conversions in several threads while a host changes the precision: every
// text keeps one width (the one read at its start) and stays in its buffer.
TEST(NumberFormat, PrecisionChangesDuringConversions) {
  NumberFormat f(6, false);
  std::vector<std::thread> workers;
  std::atomic<int> bad{0};
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&f, &bad, t] {
      for (int i = 0; i < 2000; ++i) {
        auto buffer = std::make_unique<char[]>(NumberFormat::bufferSize);
        double v = (t + 1) * 1.2345 * (i + 1);
        f.convertValue(v, buffer.get());
        const std::size_t len = std::strlen(buffer.get());
        if (len != 6 && len != 23) ++bad;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) f.setPrecision(i % 2 ? 23 : 6);
  for (auto& w : workers) w.join();
  EXPECT_EQ(bad.load(), 0);
}

TEST(NumberFormat, VersionText) {
  auto buffer = std::make_unique<char[]>(sizeof NumberFormat::versionText);
  getVersion(buffer.get());
  const std::string text = buffer.get();
  ASSERT_EQ(text.rfind("Zuvirorazi-Version:\n", 0), 0u);
  const std::size_t secondLine = text.find('\n') + 1;
  const std::size_t thirdLine = text.find('\n', secondLine) + 1;
  ASSERT_GT(thirdLine, secondLine + 1);  // a non-empty repository line
  EXPECT_EQ(text.substr(thirdLine), "REPOSITORY_REVISION = 0");
}

}  // namespace
