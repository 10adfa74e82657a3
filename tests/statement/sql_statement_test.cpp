#include <gtest/gtest.h>

#include <string>

#include "statement/qvoSqlStatement.h"

namespace {

std::string Bytes(const sqlStatement& s) {
  return std::string(s.GetStatement(), static_cast<size_t>(s.GetStatementLen()));
}

TEST(SqlStatement, PayloadElementsAreLittleEndianAndCounted) {
  struct Case {
    const char* name;
    void (*build)(sqlStatement&);
    std::string expected;
  };
  const Case cases[] = {
      {"null string", [](sqlStatement& s) { s.AddString(nullptr, 10); },
       std::string("\xFF\xFF\xFF\xFF", 4)},
      {"abc", [](sqlStatement& s) { s.AddString("abc", 10); }, std::string("\x03\0\0\0abc", 7)},
      {"empty string", [](sqlStatement& s) { s.AddString("", 10); }, std::string(4, '\0')},
      {"bool then int", [](sqlStatement& s) { s.AddBool(true), s.AddInt32(1); },
       std::string("\x01\x01\0\0\0", 5)},
      // A text longer than the room: the length field tells what follows.
      {"cut string", [](sqlStatement& s) { s.AddString("abcdef", 4); },
       std::string("\x03\0\0\0abc", 7)},
      // Appending past the reserved room grows the buffer.
      {"beyond room",
       [](sqlStatement& s) {
         for (int i = 0; i < 3; ++i) s.AddInt32(-2);
       },
       std::string("\xFE\xFF\xFF\xFF\xFE\xFF\xFF\xFF\xFE\xFF\xFF\xFF", 12)},
  };
  for (const Case& c : cases) {
    sqlStatement s;
    s.SetStatement(2);
    c.build(s);
    EXPECT_EQ(Bytes(s), c.expected) << c.name;
    EXPECT_EQ(s.GetStatement()[s.GetStatementLen()], '\0') << c.name;
  }
}

TEST(SqlStatement, KeepsExactlyOneEarlierText) {
  sqlStatement s;
  s.SetStatement(nullptr, -3);
  EXPECT_EQ(s.GetStatementLen(), 0);
  EXPECT_STREQ(s.GetStatement(), "");
  s.SetStatement("first", -3);
  s.SetStatement("second and more", 6);
  EXPECT_STREQ(s.GetStatement(), "second");
  EXPECT_STREQ(s.GetOldStatement(), "first");
  s.SetStatement("third", -3);
  EXPECT_STREQ(s.GetOldStatement(), "second");
}

}  // namespace
