// The writer of locally built result sets: the exact bytes of header,
// descriptions and values, and the NULL rules of its value forms.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "protocol/qvoLocalResults.h"

namespace {

std::string Le32(int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string Le64(int64_t v) { return std::string(reinterpret_cast<const char*>(&v), 8); }

std::string Finished(qvoLocalResultWriter& w, int64_t rows) {
  std::unique_ptr<char[]> answer;
  size_t length = 0;
  EXPECT_TRUE(w.Finish(rows, &answer, &length));
  return std::string(answer.get(), length);
}

std::string Header(int32_t handle, int32_t columns, int64_t rows) {
  return Le32(1) + '\x01' + Le32(handle) + Le32(columns) + Le64(rows) + Le64(rows);
}

TEST(LocalResultWriter, DescribesColumnsAsTheServerDoes) {
  qvoLocalResultWriter w(-6, 4);
  w.AddColumn("V", 200, 40, 0);
  w.AddColumn("I", 63, 9, 0);
  w.AddColumn("B", 6, 18, 2);
  w.AddColumn("T", 21, 0, 0);
  const std::string expected = Header(-6, 4, 0) +                                          //
                               Le32(1) + "V" + Le32(10) + '\x11' + Le32(40) + Le32(160) +  //
                               Le32(1) + "I" + Le32(63) + Le32(9) + Le32(0) +              //
                               Le32(1) + "B" + Le32(6) + Le32(18) + Le32(2) +              //
                               Le32(1) + "T" + Le32(21);
  EXPECT_EQ(Finished(w, 0), expected);
}

TEST(LocalResultWriter, ValuesAndTheirNullRules) {
  struct Case {
    const char* name;
    void (*write)(qvoLocalResultWriter&);
    std::string bytes;
  };
  const Case cases[] = {
      {"int", [](qvoLocalResultWriter& w) { w.Add_SQLINTEGER(7); }, '\x01' + Le32(7)},
      {"int -1 is NULL", [](qvoLocalResultWriter& w) { w.Add_SQLINTEGER(-1); },
       std::string(1, '\0')},
      {"int -1 with indicator 0", [](qvoLocalResultWriter& w) { w.Add_SQLINTEGER(-1, 0); },
       '\x01' + Le32(-1)},
      {"int NULL by indicator", [](qvoLocalResultWriter& w) { w.Add_SQLINTEGER(5, -1); },
       std::string(1, '\0')},
      {"bigint", [](qvoLocalResultWriter& w) { w.Add_SQLBIGINT(int64_t{1} << 40); },
       '\x01' + Le64(int64_t{1} << 40)},
      {"bigint -1 is NULL", [](qvoLocalResultWriter& w) { w.Add_SQLBIGINT(-1); },
       std::string(1, '\0')},
      {"bigint -1 with indicator 0", [](qvoLocalResultWriter& w) { w.Add_SQLBIGINT(-1, 0); },
       '\x01' + Le64(-1)},
      {"text", [](qvoLocalResultWriter& w) { w.Add_SQLVARCHAR("ab"); }, '\x01' + Le32(2) + "ab"},
      {"null text", [](qvoLocalResultWriter& w) { w.Add_SQLVARCHAR(nullptr); },
       std::string(1, '\0')},
      {"empty text without indicator is NULL",
       [](qvoLocalResultWriter& w) { w.Add_SQLVARCHAR(""); }, std::string(1, '\0')},
      // An empty value the server sent stays empty.
      {"empty text with indicator 0", [](qvoLocalResultWriter& w) { w.Add_SQLVARCHAR("", 0); },
       '\x01' + Le32(0)},
      {"text NULL by indicator", [](qvoLocalResultWriter& w) { w.Add_SQLVARCHAR("x", -1); },
       std::string(1, '\0')},
      {"timestamp",
       [](qvoLocalResultWriter& w) {
         w.Add_TIMESTAMP({2026, 12, 31, 23, 59, 58, 0});
       },
       std::string("\x01\xEA\x07\x0C\x1F\x17\x3B\x3A", 8) + Le32(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qvoLocalResultWriter w(-2, 0);
    c.write(w);
    EXPECT_EQ(Finished(w, 1), Header(-2, 0, 1) + c.bytes);
  }
}

TEST(LocalResultWriter, GrowsForLongValues) {
  qvoLocalResultWriter w(-10, 1);
  w.AddColumn("REMARKS", 200, 254, 0);
  const std::string remark(100000, 'r');
  for (int i = 0; i < 3; ++i) w.Add_SQLVARCHAR(remark, 0);
  const std::string out = Finished(w, 3);
  EXPECT_EQ(out.size(), Header(-10, 1, 3).size() + 4 + 7 + 4 + 1 + 8 + 3 * (5 + remark.size()));
  EXPECT_EQ(out.substr(out.size() - remark.size()), remark);
}

}  // namespace
