#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "transport/qvoAttributes.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes BlockOf(const qvoAttributes& list) {
  const auto* p = reinterpret_cast<const unsigned char*>(list.GetAttrDataPtr());
  return p ? Bytes(p, p + list.GetAttrDataLen()) : Bytes{};
}

// The list's block as it goes on the wire.
Bytes WireOf(const qvoAttributes& list) {
  Bytes b = BlockOf(list);
  int len = static_cast<int>(b.size());
  EXPECT_EQ(qvoAttributes::FromBigEndianToLittleEndian(reinterpret_cast<char*>(b.data()), len),
            len);
  return b;
}

TEST(Attributes, BuiltListHasTheWireImage) {
  qvoAttributes list(nullptr);
  const qvo_int64 session = 1;
  const unsigned char on = 1;
  const qvo_int32 timeout = 0x01020304;
  const unsigned char key[] = {0xAA};
  ASSERT_EQ(list.AddAttribute(ATTR_SESSIONID, &session, 8), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_AUTOCOMMIT, &on, 1), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_QUERY_TIMEOUT, &timeout, 4), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_CLIENTNAME, "ab", 2), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_PUBLIC_KEY, key, 1), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_CLIENTVERSION, "", 0), 0);  // 6-byte record

  const Bytes expected = {
      0x06, 0x00, 0x01, 0,    0,    0,    0,    0,   0, 0,  // session id 1
      0x07, 0x00, 0x01,                                     // autocommit on
      0x23, 0x00, 0x04, 0x03, 0x02, 0x01,                   // query timeout
      0x02, 0x00, 0x02, 0,    0,    0,    'a',  'b',        // client name "ab"
      0x20, 0x00, 0x01, 0,    0,    0,    0xAA,             // public key, 1 byte
      0x0A, 0x00, 0x00, 0,    0,    0,                      // empty client version
  };
  EXPECT_EQ(list.GetNumAttributes(), 6);
  EXPECT_EQ(WireOf(list), expected);

  // And back: the wire image converts to the list's own block.
  Bytes back = expected;
  int records = 0;
  EXPECT_EQ(qvoAttributes::FromLittleEndianToBigEndian(reinterpret_cast<char*>(back.data()),
                                                       static_cast<int>(back.size()), &records),
            static_cast<int>(back.size()));
  EXPECT_EQ(records, 6);
  EXPECT_EQ(back, BlockOf(list));
}

TEST(Attributes, FixedWidthIdsAreOverwrittenTextsAppended) {
  qvoAttributes list(nullptr);
  qvo_int32 first = 10, second = 20;
  ASSERT_EQ(list.AddAttribute(ATTR_QUERY_TIMEOUT, &first, 4), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_CLIENTNAME, "one", 3), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_QUERY_TIMEOUT, &second, 4), 0);
  ASSERT_EQ(list.AddAttribute(ATTR_CLIENTNAME, "two", 3), 0);
  ASSERT_EQ(list.GetNumAttributes(), 3);

  struct Expect {
    SQLSMALLINT id;
    std::string value;
  };
  qvo_int32 twenty = 20;
  const Expect expect[] = {{ATTR_QUERY_TIMEOUT, std::string(reinterpret_cast<char*>(&twenty), 4)},
                           {ATTR_CLIENTNAME, "one"},
                           {ATTR_CLIENTNAME, "two"}};
  for (int n = 0; n < 3; ++n) {
    SQLSMALLINT id = 0;
    SQLINTEGER len = 0;
    ASSERT_EQ(list.ReadAttrTypeAndLen(n, &id, &len), 0);
    EXPECT_EQ(id, expect[n].id);
    std::string value(static_cast<size_t>(len), '\0');
    list.ReadAttrValue(value.data());
    EXPECT_EQ(value, expect[n].value);
  }
}

TEST(Attributes, RefusedAdditionsLeaveTheListAlone) {
  qvoAttributes list(nullptr);
  qvo_int32 v = 7;
  ASSERT_EQ(list.AddAttribute(ATTR_FEEDBACK_INTERVAL, &v, 4), 0);
  const Bytes before = BlockOf(list);
  struct Case {
    SQLSMALLINT id;
    SQLINTEGER len;
  };
  // Unassigned ids, and a fixed-width id with the wrong width.
  for (Case c : {Case{14, 4}, Case{27, 4}, Case{28, 4}, Case{29, 4}, Case{30, 4}, Case{0, 4},
                 Case{60, 4}, Case{-1, 4}, Case{ATTR_QUERY_TIMEOUT, 8}}) {
    EXPECT_EQ(list.AddAttribute(c.id, &v, c.len), -1) << c.id;
    EXPECT_EQ(BlockOf(list), before);
    EXPECT_EQ(list.GetNumAttributes(), 1);
  }
  EXPECT_STREQ(qvoAttributes::GetAttrName(14), "UNKNOWN ATTR TYPE");
  EXPECT_STREQ(qvoAttributes::GetAttrName(ATTR_ENCRYPTION_REQUIRED), "ATTR_ENCRYPTION_REQUIRED");
}

TEST(Attributes, BlocksAreWalkedOnlyWithinTheirLength) {
  struct Case {
    const char* what;
    Bytes block;
    int len;  // stated length; the rest of `block` must stay untouched
    int result;
  };
  const Case cases[] = {
      {"exact", {0x07, 0x00, 0x01, 0x13, 0x00, 0x0C, 0, 0, 0}, 9, 9},
      {"last record past the length", {0x07, 0x00, 0x01, 0x13, 0x00, 0x0C, 0, 0, 0}, 8, -1},
      {"stray byte", {0x07, 0x00, 0x01, 0x55}, 4, -1},
      {"unknown id", {0x0E, 0x00, 0x01}, 3, -1},
      {"text length cut", {0x01, 0x00, 0x05, 0x00}, 4, -1},
      {"text longer than the block", {0x01, 0x00, 0x05, 0, 0, 0, 'a', 'b'}, 8, -1},
      {"text length above 2^31", {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, 7, -1},
      {"empty", {}, 0, 0},
      {"negative length", {0x07, 0x00, 0x01}, -3, -1},
  };
  for (const Case& c : cases) {
    for (auto convert : {&qvoAttributes::FromLittleEndianToBigEndian,
                         &qvoAttributes::FromBigEndianToLittleEndian}) {
      Bytes b = c.block;
      b.insert(b.end(), 8, 0xEE);  // guard bytes past the block
      EXPECT_EQ(convert(reinterpret_cast<char*>(b.data()), c.len, nullptr), c.result) << c.what;
      size_t end = c.len > 0 ? static_cast<size_t>(c.len) : 0;
      for (size_t k = end; k < b.size(); ++k)
        EXPECT_EQ(b[k], k < c.block.size() ? c.block[k] : 0xEE) << c.what << " byte " << k;
    }
  }
  EXPECT_EQ(qvoAttributes::FromLittleEndianToBigEndian(nullptr, 5), 0);
}

TEST(Attributes, ReadingStopsAtTheBlockAndTheCount) {
  SQLSMALLINT id;
  SQLINTEGER len;
  qvoAttributes empty(nullptr);
  EXPECT_EQ(empty.ReadAttrTypeAndLen(0, &id, &len), SQL_NO_DATA);

  // Two records, but the count claims three.
  const char block[] = {0x07, 0x00, 0x01, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 'x'};
  qvoAttributes list(nullptr, sizeof block, block, 3);
  EXPECT_EQ(list.ReadAttrTypeAndLen(-1, &id, &len), -1);
  ASSERT_EQ(list.ReadAttrTypeAndLen(1, &id, &len), 0);
  EXPECT_EQ(id, ATTR_CLIENTNAME);
  EXPECT_EQ(len, 1);
  EXPECT_EQ(*list.ReadAttrValuePtr(), 'x');
  EXPECT_EQ(list.ReadAttrTypeAndLen(2, &id, &len), -1);
  EXPECT_EQ(list.ReadAttrTypeAndLen(3, &id, &len), -1);

  auto copy = list.Clone();
  EXPECT_EQ(BlockOf(*copy), BlockOf(list));
  EXPECT_EQ(copy->GetNumAttributes(), 3);
}

}  // namespace
