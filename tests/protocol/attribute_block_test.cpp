// The attribute block's record layout: reading records one by one from
// blocks that hold less than they announce, writing records, and the login
// message that carries a block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/qvoAttributeBlock.h"
#include "protocol/qvoRequestPayloads.h"

namespace {

using namespace std::string_literals;

std::string LE32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
std::string Id(int id) { return {static_cast<char>(id), static_cast<char>(id >> 8)}; }

TEST(AttributeBlock, RecordsAreReadOnlyWhenWhollyInsideTheBlock) {
  struct Case {
    const char* name;
    std::string block;
    int wholeRecords;  // read before the end or the fault
    qvoAttrRead last;  // what the read after them gives
  };
  const std::vector<Case> cases = {
      {"boolean, int32, int64, text, binary",
       Id(ATTR_AUTOCOMMIT) + "\x01"s + Id(ATTR_QUERY_TIMEOUT) + LE32(5) + Id(ATTR_SESSIONID) +
           LE32(1) + LE32(0) + Id(ATTR_CLIENTNAME) + LE32(2) + "ab" + Id(ATTR_PUBLIC_KEY) + LE32(0),
       5, qvoAttrRead::End},
      {"empty", "", 0, qvoAttrRead::End},
      {"one byte of an id", Id(ATTR_AUTOCOMMIT) + "\x01"s + "\x07", 1, qvoAttrRead::Malformed},
      {"unassigned id 14", Id(14) + "\x01"s, 0, qvoAttrRead::Malformed},
      {"id beyond the table", Id(60) + "\x01"s, 0, qvoAttrRead::Malformed},
      {"negative id", Id(-1) + "\x01"s, 0, qvoAttrRead::Malformed},
      {"fixed value cut", Id(ATTR_SESSIONID) + LE32(1), 0, qvoAttrRead::Malformed},
      {"length field cut", Id(ATTR_CLIENTNAME) + "\x02\x00"s, 0, qvoAttrRead::Malformed},
      {"text longer than the block", Id(ATTR_CLIENTNAME) + LE32(3) + "ab", 0,
       qvoAttrRead::Malformed},
      {"length above 2^31", Id(ATTR_CLIENTNAME) + LE32(0x80000001u) + "ab", 0,
       qvoAttrRead::Malformed},
      {"length of all ones", Id(ATTR_PUBLIC_KEY) + LE32(0xFFFFFFFFu) + "a", 0,
       qvoAttrRead::Malformed},
  };
  for (const Case& c : cases) {
    size_t pos = 0;
    int read = 0;
    qvoAttributeRecord r;
    qvoAttrRead status;
    while ((status = ReadAttributeRecord(c.block.data(), c.block.size(), &pos, &r)) ==
           qvoAttrRead::Ok) {
      EXPECT_LE(r.valueOffset + r.valueLength, c.block.size()) << c.name;
      EXPECT_EQ(pos, r.valueOffset + r.valueLength) << c.name;
      ++read;
    }
    EXPECT_EQ(read, c.wholeRecords) << c.name;
    EXPECT_EQ(status, c.last) << c.name;
    // A failed read leaves the position at the bad record.
    if (status == qvoAttrRead::Malformed) {
      EXPECT_LT(pos, c.block.size()) << c.name;
    }
  }
  size_t pos = 0;
  qvoAttributeRecord r;
  EXPECT_EQ(ReadAttributeRecord(nullptr, 5, &pos, &r), qvoAttrRead::End);
}

TEST(AttributeBlock, WrittenRecordsReadBack) {
  struct Case {
    SQLSMALLINT id;
    std::string value;
    int64_t number;  // for fixed types
  };
  const std::vector<Case> cases = {
      {ATTR_AUTOCOMMIT, "\xFF"s, -1},
      {ATTR_TRANSACTION_STATE, "\x01"s, 1},
      {ATTR_QUERY_TIMEOUT, LE32(0xFFFFFFFEu), -2},
      {ATTR_SESSIONID, LE32(0) + LE32(0x80000000u), INT64_MIN},
      {ATTR_CLIENTNAME, "client", 0},
      {ATTR_CLIENTVERSION, "", 0},
      {ATTR_PUBLIC_KEY, "\x00\x01\x02"s, 0},
  };
  for (const Case& c : cases) {
    const __TypeId type = AttributeValueType(c.id);
    const qvo_int64 bytes = AttributeRecordBytes(type, static_cast<qvo_int64>(c.value.size()));
    ASSERT_GT(bytes, 2) << c.id;
    std::string block(static_cast<size_t>(bytes), '\0');
    EncodeAttributeRecord(block.data(), c.id, type, c.value.data(),
                          static_cast<SQLINTEGER>(c.value.size()));
    size_t pos = 0;
    qvoAttributeRecord r;
    ASSERT_EQ(ReadAttributeRecord(block.data(), block.size(), &pos, &r), qvoAttrRead::Ok) << c.id;
    EXPECT_EQ(pos, block.size()) << c.id;
    EXPECT_EQ(r.id, c.id);
    EXPECT_EQ(block.substr(r.valueOffset, r.valueLength), c.value) << c.id;
    if (AttributeFixedWidth(type)) {
      EXPECT_EQ(AttributeIntValue(block.data() + r.valueOffset, r.valueLength), c.number) << c.id;
    }
  }
  EXPECT_EQ(AttributeRecordBytes(_ILLEGAL, 4), -1);
  EXPECT_EQ(AttributeRecordBytes(_CHAR, -1), -1);
  EXPECT_EQ(AttributeIntValue("\x01\x02", 2), 0);
}

TEST(AttributeBlock, LoginMessageCarriesTheBlockInWireOrder) {
  const std::string block = Id(ATTR_AUTOCOMMIT) + "\x01"s + Id(ATTR_CLIENTNAME) + LE32(1) + "x";
  std::vector<char> message;
  ASSERT_TRUE(EncodeLoginMessage(&message, 0x01121201, 13, 0x0BEDC228, block.data(),
                                 static_cast<qvo_int32>(block.size())));
  EXPECT_EQ(std::string(message.begin(), message.end()),
            LE32(0x01121201) + LE32(static_cast<uint32_t>(block.size()) + 8) + LE32(13) +
                LE32(0x0BEDC228) + block);

  ASSERT_TRUE(EncodeLoginMessage(&message, 1, 7, 2, nullptr, 0));
  EXPECT_EQ(message.size(), kLoginPreambleBytes);

  // A block whose records cannot be walked is not sent.
  const std::string bad = Id(ATTR_CLIENTNAME) + LE32(9) + "x";
  EXPECT_FALSE(
      EncodeLoginMessage(&message, 1, 13, 2, bad.data(), static_cast<qvo_int32>(bad.size())));
  EXPECT_FALSE(EncodeLoginMessage(&message, 1, 13, 2, nullptr, 4));
}

TEST(AttributeBlock, PayloadFieldsAreLittleEndian) {
  char field[kInt32FieldBytes];
  EncodeInt32Field(field, -2);
  EXPECT_EQ(std::string(field, sizeof field), LE32(0xFFFFFFFEu));
  char answer[8] = "abcdefg";
  EncodeResultCount(answer, 0x01020304);
  EXPECT_EQ(std::string(answer, 8), LE32(0x01020304) + "efg\0"s);
}

}  // namespace
