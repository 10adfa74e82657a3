#include <gtest/gtest.h>

#include <cstring>

#include "common/qvoByteOrder.h"

namespace {

TEST(ByteOrder, SwapsAreReversals) {
  EXPECT_EQ(qvoBswap16(0x1234), 0x3412);
  EXPECT_EQ(qvoBswap16(qvo_int16(0x80FF)), qvo_int16(0xFF80));
  EXPECT_EQ(qvoBswap32(0x01020304), 0x04030201);
  EXPECT_EQ(qvoBswap64(0x0102030405060708LL), 0x0807060504030201LL);
  const qvo_double one = 1.0;
  const qvo_double swapped = qvoBswapDouble(one);
  unsigned char a[8], b[8];
  std::memcpy(a, &one, 8);
  std::memcpy(b, &swapped, 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(a[i], b[7 - i]);
  EXPECT_EQ(qvoBswapDouble(swapped), one);
}

TEST(ByteOrder, WireImagesAreLittleEndian) {
  unsigned char buf[12];
  // Odd offsets: wire fields have no alignment.
  qvoPutLE16(buf + 1, 0x0102);
  EXPECT_EQ(buf[1], 0x02);
  EXPECT_EQ(buf[2], 0x01);
  qvoPutLE32(buf + 1, -2);
  const unsigned char minusTwo[] = {0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(buf + 1, minusTwo, 4), 0);
  EXPECT_EQ(qvoGetLE32(buf + 1), -2);
  qvoPutLE64(buf + 3, 0x0102030405060708LL);
  const unsigned char image64[] = {8, 7, 6, 5, 4, 3, 2, 1};
  EXPECT_EQ(std::memcmp(buf + 3, image64, 8), 0);
  EXPECT_EQ(qvoGetLE64(buf + 3), 0x0102030405060708LL);
  qvoPutLEDouble(buf + 1, 1.0);
  const unsigned char oneImage[] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  EXPECT_EQ(std::memcmp(buf + 1, oneImage, 8), 0);
  EXPECT_EQ(qvoGetLEDouble(buf + 1), 1.0);
  const unsigned char image16[] = {0x34, 0x12};
  EXPECT_EQ(qvoGetLE16(image16), 0x1234);

  qvo_int32 host = 0x11223344;
  qvo_int32 le = qvoHostToLE32(host);
  unsigned char leBytes[4];
  std::memcpy(leBytes, &le, 4);
  EXPECT_EQ(leBytes[0], 0x44);
  EXPECT_EQ(qvoLEToHost32(le), host);
  EXPECT_EQ(qvoLEToHost16(qvoHostToLE16(0x1234)), 0x1234);
  EXPECT_EQ(qvoLEToHost64(qvoHostToLE64(-7)), -7);
}

}  // namespace
