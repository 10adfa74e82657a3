// A result table the fake node serves: columns, a row count and a generator
// of values, encoded on demand into the first answer and into the blocks the
// client fetches. A fetch test then states (rows, block size, protocol)
// instead of scripting each block by hand.
//
// Written from the protocol, like the rest of the node.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "support/fake_node.h"
#include "support/fake_results.h"

namespace fake {

struct Table {
  std::vector<results::Column> columns;
  int64_t rows = 0;
  // Value of 0-based row `row` in column `column`; results::Value::Null() for
  // NULL. Its bytes must have the width the column's type gives a value.
  std::function<results::Value(int64_t row, size_t column)> value;

  // Rows [start, start + count) as one column-major row block.
  Bytes Block(int64_t start, int64_t count) const;
  // Bytes row `row` takes in a block (flag bytes included).
  size_t RowBytes(int64_t row) const;

  // A table of SampleValue()s; with nullEvery > 0 every nullEvery-th row
  // (rows nullEvery - 1, 2 * nullEvery - 1, ...) is NULL in every column.
  static Table Sample(std::vector<results::Column> columns, int64_t rows, int64_t nullEvery = 0);
};

// One result of an answer that holds several (FakeNode::ServeAnswer): a row
// count, or a table served as ServeTable serves one.
struct AnswerPart {
  int64_t rowCount = 0;
  std::shared_ptr<const Table> table;  // null: the row count
  Blocks blocks;

  static AnswerPart Count(int64_t rows) { return AnswerPart{rows, nullptr, {}}; }
  static AnswerPart Rows(Table table, Blocks blocks = {}) {
    return AnswerPart{0, std::make_shared<const Table>(std::move(table)), blocks};
  }
};

// A value that follows from the column's type and the row number, so a test
// can compute what it should read back:
//   DECIMAL, SMALLDECIMAL, BIGDECIMAL: the unscaled integer `row`;
//   DOUBLE: row + 0.5;  BOOLEAN: row % 2;
//   DATE: day 1 + row % 28, month 1 + row % 12, year 2000 + row % 100;
//   TIMESTAMP(_UTC): that date, hour row % 24, minute and second row % 60,
//     fraction row % 1000;
//   CHAR and the intervals: the decimal digits of `row`, "r" in front for
//     CHAR, cut to the column's octet length.
// Types without a value layout give NULL.
results::Value SampleValue(const results::Column& column, int64_t row);

}  // namespace fake
