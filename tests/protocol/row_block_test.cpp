// Indexing a row block: one pass that checks every flag, length word and
// value against the block while it fills the row pointer table.
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "common/qvoTypeCodes.h"
#include "protocol/qvoAnswerReader.h"

namespace {

using namespace std::string_literals;

std::string LE32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
std::string Value(const std::string& bytes) { return "\x01"s + bytes; }
std::string Text(const std::string& t) { return Value(LE32(static_cast<uint32_t>(t.size())) + t); }
const std::string kNull = "\x00"s;

const qvoBlockColumn kDouble{_DOUBLE, 8};
const qvoBlockColumn kVarchar5{_VARCHAR, 4 + 5};  // octet length 5

// A pointer table for `columns` columns of `rows` rows, with a guard entry
// after each column that the indexing must leave alone.
struct Table {
  Table(size_t columns, size_t rows) : cells(columns + 1, std::vector<void*>(rows + 2, &guard)) {
    for (auto& c : cells) table.push_back(c.data());
  }
  int guard = 0;
  std::vector<std::vector<void*>> cells;
  std::vector<void**> table;
};

struct Case {
  const char* name;
  std::vector<qvoBlockColumn> columns;
  qvo_int64 rows;
  std::string block;
  qvo_int64 used;  // -1: refused
};

TEST(RowBlock, EveryBoundIsCheckedInTheIndexingPass) {
  const std::string eight(8, '\x11');
  const std::vector<Case> cases = {
      {"values and NULLs",
       {kDouble, kVarchar5},
       2,
       Value(eight) + kNull + Text("abcde") + kNull,
       9 + 1 + 10 + 1},
      {"bytes after the last value are not consumed", {kDouble}, 1, Value(eight) + "xyz", 9},
      {"any flag but 0 is a value", {kDouble}, 1, "\x7F"s + eight, 9},
      {"no rows", {kDouble}, 0, "", 0},
      {"no columns", {}, 5, "", 0},
      {"empty text", {kVarchar5}, 1, Text(""), 5},
      {"flag missing", {kDouble}, 2, Value(eight), -1},
      {"value cut", {kDouble}, 1, Value(eight.substr(3)), -1},
      {"length word cut", {kVarchar5}, 1, "\x01\x02\x00"s, -1},
      {"text beyond the block", {kVarchar5}, 1, Value(LE32(4) + "ab"), -1},
      {"negative text length", {kVarchar5}, 1, Value(LE32(0xFFFFFFFE) + "ab"), -1},
      {"text longer than its column", {kVarchar5}, 1, Text("abcdef"), -1},
      {"more rows than bytes", {kDouble}, qvo_int64{1} << 40, Value(eight), -1},
      {"negative rows", {kDouble}, -1, Value(eight), -1},
      {"second column cut", {kDouble, kVarchar5}, 1, Value(eight) + "\x01"s, -1},
      {"double narrower than a double", {{_DOUBLE, 4}}, 1, Value("abcd"), -1},
      {"timestamp narrower than a timestamp", {{_TIMESTAMP, 8}}, 1, Value(eight), -1},
      {"value of no width", {{_BOOLEAN, 0}}, 1, Value(""), -1},
      {"text column without room for its length", {{_CHAR, 2}}, 1, Value("ab"), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string block = c.block;
    const size_t rows = c.rows > 0 && c.rows < 100 ? static_cast<size_t>(c.rows) : 0;
    Table t(c.columns.size(), rows);
    EXPECT_EQ(IndexRowBlock(block.data(), block.size(), c.columns, c.rows, t.table.data()), c.used);
    for (const auto& column : t.cells) {
      EXPECT_EQ(column.front(), &t.guard);
      EXPECT_EQ(column.back(), &t.guard);
    }
  }
}

// Each pointer addresses its value (a text's length word); a NULL's points one
// past its flag; the flag is always the byte before.
TEST(RowBlock, PointersAddressEveryValue) {
  std::string block = Value("\x01\x02\x03\x04\x05\x06\x07\x08"s) + kNull +
                      Value(std::string(8, 'x')) + Text("ab") + Text("cde") + kNull;
  Table t(2, 3);
  ASSERT_EQ(IndexRowBlock(block.data(), block.size(), {kDouble, kVarchar5}, 3, t.table.data()),
            static_cast<qvo_int64>(block.size()));
  const char* base = block.data();
  const size_t expected[2][3] = {{1, 10, 11}, {20, 27, 35}};
  for (size_t c = 0; c < 2; ++c) {
    for (size_t r = 0; r < 3; ++r) {
      EXPECT_EQ(static_cast<char*>(t.cells[c + 1][r + 1]) - base,
                static_cast<std::ptrdiff_t>(expected[c][r]))
          << c << "," << r;
    }
  }
  EXPECT_EQ(static_cast<char*>(t.cells[1][2])[-1], 0);
  EXPECT_EQ(std::string(static_cast<char*>(t.cells[2][2]) + 4, 3), "cde");
}

// Every prefix of a valid block is refused, whichever column it cuts.
TEST(RowBlock, EveryTruncationIsRefused) {
  const std::string full = Value(std::string(8, 'a')) + kNull + Text("abc") + Text("") +
                           Value("\x01\x02\xE8\x07\x03\x04\x05\x06\x07\x08\x09"s) + kNull;
  const std::vector<qvoBlockColumn> columns = {kDouble, kVarchar5, {_TIMESTAMP, 11}};
  for (size_t n = 0; n < full.size(); ++n) {
    std::string block = full.substr(0, n);
    Table t(columns.size(), 2);
    EXPECT_EQ(IndexRowBlock(block.data(), block.size(), columns, 2, t.table.data()), -1) << n;
  }
  std::string block = full;
  Table t(columns.size(), 2);
  EXPECT_EQ(IndexRowBlock(block.data(), block.size(), columns, 2, t.table.data()),
            static_cast<qvo_int64>(full.size()));
}

TEST(RowBlock, RowsAreBoundedByTheBytesBeforeATableIsSized) {
  EXPECT_TRUE(RowBlockCanHold(8, 4, 2));
  EXPECT_FALSE(RowBlockCanHold(7, 4, 2));
  EXPECT_TRUE(RowBlockCanHold(0, 0, 1000));
  EXPECT_TRUE(RowBlockCanHold(0, 3, 0));
  EXPECT_FALSE(RowBlockCanHold(100, 1, -1));
  EXPECT_FALSE(RowBlockCanHold(~size_t{0} / 4, 2, std::numeric_limits<qvo_int64>::max()));
}

}  // namespace
