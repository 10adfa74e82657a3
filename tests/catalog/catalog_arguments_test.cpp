// Search-pattern tests, and the server's column lookup request as the
// columns function and the statement send it.
#include <string>
#include <vector>

#include "catalog_fixture.h"

namespace {

using fake::Bytes;

TEST(CatalogArguments, SearchPatterns) {
  struct Case {
    const char* text;
    const char* escape;
    bool pattern;
  };
  const Case cases[] = {
      {nullptr, "\\", true},  {"", "\\", true},       {"AB%", "\\", true},  {"AB\\%", "\\", false},
      {"%AB", "\\", true},    {"A", "\\", false},     {"A_B", "\\", true},  {"A\\_B", "\\", false},
      {"A\\\\%", "\\", true}, {"%", "", true},        {"A_B", "", true},    {"AB", "", false},
      {"A\\", "\\", false},   {"AB##%", "##", false}, {"AB#%", "##", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ContainsSearchPattern(c.text, c.escape), c.pattern)
        << (c.text ? c.text : "(null)") << " escape " << c.escape;

  EXPECT_TRUE(GoodForColumnsMicroCache("S", "T", "C", "\\"));
  EXPECT_FALSE(GoodForColumnsMicroCache("S", "T", nullptr, "\\"));
  EXPECT_FALSE(GoodForColumnsMicroCache("S", "T_1", "C", "\\"));
  EXPECT_TRUE(GoodForColumnsMicroCache("S", "T\\_1", "C", "\\"));
}

Bytes Le32(int32_t v) {
  Bytes b;
  fake::PutLE(b, static_cast<uint32_t>(v), 4);
  return b;
}
Bytes Str(const std::string& s) {
  Bytes b = Le32(static_cast<int32_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
  return b;
}
Bytes Cat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST_F(CatalogTest, ColumnLookupRequests) {
  using namespace fake::results;
  node.On(fake::kGetColumns, [](const fake::Request&, fake::FakeNode&) {
    return Answer({ResultSet(-3, {Column::Char("TABLE_CAT", 5, 5, kVarying)}, 0, 0, {})});
  });
  conn->SetProtocollVer(13);
  conn->columnsMicroCache = false;
  SQLHSTMT h = NewStatement();
  qvoStatement* st = Stmt(h);
  const Bytes null = Le32(-1), yes = {1}, no = {0};

  // The request itself: every name absent.
  ASSERT_EQ(st->ExecGetColumns(nullptr, nullptr, false, nullptr, false, nullptr, false, 3, "x"),
            SQL_SUCCESS);
  EXPECT_EQ(RequestsOf(fake::kGetColumns).back().data,
            Cat({null, null, no, null, no, null, no, Le32(0), Le32(3)}));
  EXPECT_EQ(st->SqlCallType(), 2);

  // A pattern column goes to the server directly, with LIKE flags.
  auto U = [](const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); };
  ASSERT_EQ(QVOColumns(h, nullptr, 0, U("SC"), SQL_NTS, U("T'1"), SQL_NTS, U("%"), SQL_NTS),
            SQL_SUCCESS);
  EXPECT_EQ(RequestsOf(fake::kGetColumns).back().data,
            Cat({null, Str("SC"), yes, Str("T'1"), yes, Str("%"), yes, Le32(0), Le32(3)}));
  EXPECT_EQ(st->SqlCallType(), 2);

  // Identifier rules: bare names, folded unless quoted, no LIKE.
  ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_METADATA_ID, reinterpret_cast<SQLPOINTER>(1), 0),
            SQL_SUCCESS);
  ASSERT_EQ(
      QVOColumns(h, nullptr, 0, U("sc"), SQL_NTS, U("\"T\"\"1\""), SQL_NTS, U("col"), SQL_NTS),
      SQL_SUCCESS);
  EXPECT_EQ(RequestsOf(fake::kGetColumns).back().data,
            Cat({null, Str("SC"), no, Str("T\"1"), no, Str("COL"), no, Le32(0), Le32(3)}));
  EXPECT_EQ(RequestsOf(fake::kExecute).size(), 0u);
  QVOFreeHandle(SQL_HANDLE_STMT, h);
}

}  // namespace
