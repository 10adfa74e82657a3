// Dates and time stamps as text, and the hex dump of logged values.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qvoCriticalSection.h"
#include "statement_fixture.h"

namespace {

// 2024-02-29 13:05:09.123456789 as the block holds it.
std::vector<char> Stamp() {
  std::vector<char> v(11);
  const int16_t year = 2024;
  const int32_t fraction = 123456789;
  std::memcpy(v.data(), &year, 2);
  v[2] = 2, v[3] = 29, v[4] = 13, v[5] = 5, v[6] = 9;
  std::memcpy(v.data() + 7, &fraction, 4);
  return v;
}

TEST_F(StatementTest, TimestampTextIsCutNeverRounded) {
  struct Case {
    SQLLEN buffer;
    SQLINTEGER prec;
    const char* text;  // null: nothing written
    SQLLEN length;
  };
  const Case cases[] = {
      {64, 0, "2024-02-29 13:05:09", 19},
      {64, 3, "2024-02-29 13:05:09.123", 23},
      {64, 9, "2024-02-29 13:05:09.123456789", 29},
      {64, 12, "2024-02-29 13:05:09.123456789", 29},
      {64, -2, "2024-02-29 13:05:09", 19},
      {10, 0, "2024-02-2", 19},
      {19, 0, "2024-02-29 13:05:0", 19},
      {25, 9, "2024-02-29 13:05:09.1234", 29},
      {0, 3, nullptr, 23},
  };
  const std::vector<char> v = Stamp();
  for (const Case& c : cases) {
    char out[64];
    std::memset(out, '#', sizeof out);
    SQLLEN len = -1;
    EXPECT_EQ(s->TimestampToChar(out, c.buffer, v.data(), &len, c.prec), SQL_SUCCESS);
    EXPECT_EQ(len, c.length) << c.buffer << " " << c.prec;
    if (c.text)
      EXPECT_EQ(std::string(out), c.text) << c.buffer << " " << c.prec;
    else
      EXPECT_EQ(out[0], '#');
  }
  const char date[4] = {5, 7, 0x2C, 0x03};  // year 812
  char out[16] = "#";
  SQLLEN len = -1;
  EXPECT_EQ(s->DateToChar(out, sizeof out, date, &len), SQL_SUCCESS);
  EXPECT_EQ(std::string(out), "0812-07-05");
  EXPECT_EQ(len, 10);
  out[0] = '#';
  EXPECT_EQ(s->DateToChar(out, 0, date, &len), SQL_SUCCESS);
  EXPECT_EQ(len, 10);
  EXPECT_EQ(out[0], '#');
}

TEST_F(StatementTest, LoggedValuesAreDumpedWithinTheirBytes) {
  qvoCriticalSection mutex;
  FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  s->SetLogFile(true, false, log, "fetch.log", &mutex, 100);
  auto dump = [&](short type, const void* data, SQLLEN n) {
    std::rewind(log);
    EXPECT_EQ(ftruncate(fileno(log), 0), 0);
    s->LogData(type, static_cast<const unsigned char*>(data), n);
    std::fflush(log);
    std::rewind(log);
    std::vector<std::string> lines;
    char line[400];
    while (std::fgets(line, sizeof line, log)) lines.emplace_back(line);
    return lines;
  };
  const int32_t number = 0x04030201;
  std::vector<std::string> lines = dump(SQL_C_LONG, &number, 4);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("01 02 03 04 "), std::string::npos);
  EXPECT_EQ(lines[0].find_first_not_of(' ', lines[0].find("04 ") + 3), lines[0].size() - 1);

  lines = dump(SQL_C_CHAR, "abc", 3);
  ASSERT_EQ(lines.size(), 1u);
  const size_t hex = lines[0].find("61 62 63 ");
  ASSERT_NE(hex, std::string::npos);
  EXPECT_EQ(lines[0].substr(hex + 120, 3), "abc");

  const std::vector<unsigned char> big(2000, 'z');
  EXPECT_EQ(dump(SQL_C_BINARY, big.data(), 2000).size(), 26u);

  // A wide value's length is in bytes already: six bytes, six pairs.
  const SQLWCHAR wide[3] = {'a', 'b', 'c'};
  lines = dump(SQL_C_WCHAR, wide, 6);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("61 00 62 00 63 00 "), std::string::npos);
  EXPECT_EQ(lines[0].find("00 ", lines[0].find("63 00 ") + 6), std::string::npos);
  s->SetLogFile(false, false, nullptr, "", nullptr, 0);
  std::fclose(log);
}

}  // namespace
