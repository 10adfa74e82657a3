#include <gtest/gtest.h>

#include "common/qvoPredicates.h"

namespace {

TEST(Predicates, IdentifierSets) {
  struct Case {
    const char* what;
    long id;
    int expected;
    int actual;
  } cases[] = {
      {"IsHeaderField", 1002, 0, IsHeaderField(1002)},
      {"IsHeaderField", 22, 0, IsHeaderField(22)},
      {"IsHeaderField", 1099, 1, IsHeaderField(1099)},
      {"IsHeaderField", 34, 1, IsHeaderField(34)},
      {"IsDescFieldChar", 1011, 1, IsDescFieldChar(1011)},
      {"IsDescFieldChar", 1002, 0, IsDescFieldChar(1002)},
      {"IsColumnAttributeChar", 29, 1, IsColumnAttributeChar(29)},
      {"IsColumnAttributeChar", 19, 0, IsColumnAttributeChar(19)},
      {"IsColAttrChar", 22, 1, IsColAttrChar(22)},
      {"IsDiagIdentifierChar", 6, 1, IsDiagIdentifierChar(6)},
      {"IsDiagIdentifierChar", 5, 0, IsDiagIdentifierChar(5)},
      {"IsConnectAttrChar", 21105, 1, IsConnectAttrChar(21105)},
      {"IsConnectAttrChar", 21050, 0, IsConnectAttrChar(21050)},
      {"IsConnectAttrChar", 21108, 0, IsConnectAttrChar(21108)},
      {"IsConnectAttrChar", 109, 1, IsConnectAttrChar(109)},
      {"IsConnectAttrInt", 10014, 1, IsConnectAttrInt(10014)},
      {"IsConnectAttrInt", 105, 0, IsConnectAttrInt(105)},
      {"IsStmtAttrChar", 21060, 1, IsStmtAttrChar(21060)},
      {"IsStmtAttrChar", SQL_ATTR_CURSOR_TYPE, 0, IsStmtAttrChar(SQL_ATTR_CURSOR_TYPE)},
      {"IsStmtAttrChar", SQL_ATTR_QUERY_TIMEOUT, 0, IsStmtAttrChar(SQL_ATTR_QUERY_TIMEOUT)},
      {"IsInfoValueChar", 77, 1, IsInfoValueChar(77)},
      {"IsInfoValueChar", 171, 1, IsInfoValueChar(171)},
      {"IsInfoValueChar", 8, 0, IsInfoValueChar(8)},
      {"InfoValueSize", 77, 0, InfoValueSize(77)},
      {"InfoValueSize", 171, -1, InfoValueSize(171)},
      {"InfoValueSize", 0, 2, InfoValueSize(0)},
      {"InfoValueSize", 10005, 2, InfoValueSize(10005)},
      {"InfoValueSize", 48, 4, InfoValueSize(48)},
      {"InfoValueSize", 72, 4, InfoValueSize(72)},
      {"InfoValueSize", 170, 4, InfoValueSize(170)},
      {"InfoValueSize", 1750, 4, InfoValueSize(1750)},
      {"InfoValueSize", 173, -1, InfoValueSize(173)},
      {"InfoValueSize", -1, -1, InfoValueSize(-1)},
  };
  for (const Case& tc : cases) EXPECT_EQ(tc.actual, tc.expected) << tc.what << "(" << tc.id << ")";
}

// Character information types and the width table must agree: a width of 0
// is a string, and every string but 171 has width 0.
TEST(Predicates, InfoWidthsAgreeWithCharacterTypes) {
  int strings = 0, shorts = 0, longs = 0;
  for (int id = -32768; id <= 32767; ++id) {
    const auto info = static_cast<SQLSMALLINT>(id);
    const int width = InfoValueSize(info);
    ASSERT_TRUE(width == -1 || width == 0 || width == 2 || width == 4) << id;
    shorts += width == 2;
    longs += width == 4;
    if (IsInfoValueChar(info)) {
      ++strings;
      EXPECT_EQ(width, id == 171 ? -1 : 0) << id;
    } else {
      EXPECT_NE(width, 0) << id;
    }
    EXPECT_EQ(IsColumnAttributeChar(info), IsDescFieldChar(info) == 1) << id;
    EXPECT_EQ(IsColAttrChar(info), IsDescFieldChar(info)) << id;
  }
  EXPECT_EQ(strings, 39);
  EXPECT_EQ(shorts, 32);
  EXPECT_EQ(longs, 111);
}

TEST(Predicates, ConnectionTextAttributesForTheConverters) {
  struct Case {
    SQLINTEGER attribute;
    bool reading;
    bool text;
  };
  const Case cases[] = {
      {21006, false, true}, {21088, false, true}, {21088, true, true}, {-9921, false, true},
      {21101, false, true}, {1041, false, false}, {1041, true, true},  {21004, false, false},
      {21061, true, false}, {110, true, false},
  };
  for (const Case& k : cases)
    EXPECT_EQ(IsConnectAttrText(k.attribute, k.reading), k.text) << k.attribute << " " << k.reading;
}

}  // namespace
