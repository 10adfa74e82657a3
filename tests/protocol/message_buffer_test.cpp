// The message buffer of request encoders: writes land little-endian at the
// end, growth keeps what was written, and a write that cannot be made leaves
// the message as it was.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "protocol/qvoPreparedMessage.h"

namespace {

std::string Content(const qvoMessageBuffer& b) { return std::string(b.Data(), b.Size()); }

TEST(MessageBuffer, WritesFieldsLittleEndianAndKeepThemWhileGrowing) {
  qvoMessageBuffer b;
  b.Int8(1);
  b.Int16(0x0203);
  b.Int32(0x04050607);
  b.Int64(0x08090A0B0C0D0E0F);
  const std::string head("\x01\x03\x02\x07\x06\x05\x04\x0F\x0E\x0D\x0C\x0B\x0A\x09\x08", 15);
  ASSERT_EQ(Content(b), head);
  const std::string big(100000, 'x');  // several doublings
  b.Bytes(big.data(), big.size());
  EXPECT_EQ(Content(b), head + big);
  b.PatchInt32(1, 0x11223344);
  EXPECT_EQ(Content(b).substr(1, 4), "\x44\x33\x22\x11");
  b.PatchInt64(b.Size() - 4, 1);  // would end past the message: ignored
  EXPECT_EQ(Content(b).substr(15), big);
  EXPECT_FALSE(b.Failed());
}

TEST(MessageBuffer, AWriteBeyondTheLargestMessageFailsAndWritesNothing) {
  qvoMessageBuffer b;
  b.Int32(7);
  EXPECT_FALSE(b.Reserve(qvoMessageBuffer::kMaxMessageBytes));  // 4 + this passes the limit
  EXPECT_TRUE(b.Failed());
  EXPECT_FALSE(b.OutOfMemory());
  b.Int32(8);  // ignored once failed
  EXPECT_EQ(Content(b), std::string("\x07\0\0\0", 4));
  b.ClearFailure();
  b.Int32(8);
  EXPECT_EQ(b.Size(), 8u);
}

TEST(MessageBuffer, AdoptsAndReleasesAKeptBuffer) {
  qvoMessageBuffer b;
  b.Adopt(std::make_unique<char[]>(64), 64);
  EXPECT_EQ(b.Capacity(), 64u);
  EXPECT_EQ(b.Size(), 0u);
  b.Int64(1);
  const char* kept = b.Data();
  EXPECT_EQ(b.Release().get(), kept);
  EXPECT_EQ(b.Capacity(), 0u);
  EXPECT_EQ(b.Size(), 0u);
}

}  // namespace
