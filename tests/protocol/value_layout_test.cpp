// The field layout of received values, read at an odd address as values lie
// in a row block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/qvoValueLayout.h"

namespace {

using namespace std::string_literals;

// The bytes behind one byte of padding, so that no read is aligned.
struct Unaligned {
  explicit Unaligned(const std::string& bytes) : storage("\x5A"s + bytes) {}
  const char* get() const { return storage.data() + 1; }
  std::string storage;
};

TEST(ValueLayout, DatesAndTimestampsKeepTheirFieldsAsSent) {
  struct DateCase {
    std::string bytes;
    int year, month, day;
  };
  for (const DateCase& c :
       {DateCase{"\x1D\x02\xE8\x07"s, 2024, 2, 29}, DateCase{"\x01\x01\x00\x80"s, -32768, 1, 1},
        DateCase{"\xFF\x81\x01\x00"s, 1, -127, -1}}) {
    const qvoDateFields d = DecodeDateFields(Unaligned(c.bytes).get());
    EXPECT_EQ(d.year, c.year);
    EXPECT_EQ(d.month, c.month);
    EXPECT_EQ(d.day, c.day);
  }

  const Unaligned ts("\xE8\x07\x0C\x1F\x17\x3B\x3B\xFF\xC9\x9A\x3B"s);
  const qvoTimestampFields t = DecodeTimestampFields(ts.get());
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 59);
  EXPECT_EQ(t.fraction, 999999999);
  // A byte field above 127 comes out negative, as the server's signed byte.
  EXPECT_EQ(
      DecodeTimestampFields(Unaligned("\x00\x00\x90\x01\x00\x00\x00\x00\x00\x00\x00"s).get()).month,
      -112);
}

TEST(ValueLayout, CalendarValuesReadTheByteFieldsUnsigned) {
  const auto fields = [](const qvoCalendarValue& v) {
    return std::vector<int>{v.year, v.month, v.day, v.hour, v.minute, v.second, v.fraction};
  };
  EXPECT_EQ(fields(DecodeCalendarTimestamp(
                Unaligned("\xE8\x07\x90\x1F\x17\x3B\xFF\x15\xCD\x5B\x07"s).get())),
            (std::vector<int>{2024, 144, 31, 23, 59, 255, 123456789}));
  // A date has no time of day.
  EXPECT_EQ(fields(DecodeCalendarDate(Unaligned("\xFF\x81\x01\x00"s).get())),
            (std::vector<int>{1, 129, 255, 0, 0, 0, 0}));
}

TEST(ValueLayout, BigDecimalsAndTexts) {
  const qvoBigDecimalValue b = DecodeBigDecimalValue(
      Unaligned("\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01\x00\x00\x00\x00\x00\x00\x80"s).get());
  EXPECT_EQ(b.low, 0xFFFFFFFFFFFFFFFEull);
  EXPECT_EQ(b.high, INT64_MIN + 1);

  const Unaligned text(
      "\x03\x00\x00\x00"
      "abc"s);
  const qvoTextBytes t = DecodeTextValue(text.get());
  EXPECT_EQ(t.length, 3);
  EXPECT_EQ(std::string(t.bytes, 3), "abc");
  EXPECT_EQ(DecodeTextValue(Unaligned("\xFF\xFF\xFF\xFF"s).get()).length, -1);
}

}  // namespace
