// Encoders of the results a Vandrel node sends back, for scripting the fake
// node. Written from the protocol description alone (no library code), so a
// fault in the client's parser cannot hide behind the same fault here.
//
// Answer data: results one after another, each led by a signed kind byte
// (-2 empty, -1 exception, 0 row count, 1 result set, 2 prepared handle,
// 5 still executing, 6 more rows). The client's answer buffer puts a 4-byte
// result count (Reply::results) in front of it.
//
// Row blocks are column-major: per column, per row a flag byte (0 NULL) and
// the value: SMALLDECIMAL int32; DECIMAL int32 up to precision 9, else int64;
// BIGDECIMAL two int64 (low first); DOUBLE 8 bytes; BOOLEAN 1 byte; DATE day,
// month, int16 year; TIMESTAMP(_UTC) int16 year, month, day, hour, minute,
// second, int32 fraction; CHAR/VARCHAR and the intervals int32 length + bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/fake_node.h"

namespace fake::results {

// Server type codes.
enum ServerType : int32_t {
  kDecimal = 6,
  kDouble = 8,
  kBoolean = 9,
  kChar = 10,
  kDate = 14,
  kIntervalMonth = 16,
  kIntervalDay = 17,
  kTimestamp = 21,
  kSmallDecimal = 63,
  kBigDecimal = 64,
  kTimestampUtc = 125,
};

// Flags byte of a character column.
constexpr uint8_t kVarying = 0x01;
constexpr uint8_t kUtf8 = 0x10;

struct Column {
  std::string name;
  int32_t type = 0;
  int32_t precision = 0;
  int32_t scale = 0;
  uint8_t flags = 0;
  int32_t size = 0;
  int32_t octets = 0;

  static Column Decimal(std::string name, int32_t precision, int32_t scale);
  static Column SmallDecimal(std::string name, int32_t precision, int32_t scale);
  static Column BigDecimal(std::string name, int32_t precision, int32_t scale);
  static Column Double(std::string name);
  static Column Boolean(std::string name);
  static Column Date(std::string name);
  static Column Timestamp(std::string name);
  static Column TimestampUtc(std::string name);
  static Column Char(std::string name, int32_t size, int32_t octets, uint8_t flags);
  static Column Interval(std::string name, int32_t type, int32_t size, int32_t octets,
                         uint8_t flags);
  // Any type code with nothing after it (for types the client must refuse).
  static Column Raw(std::string name, int32_t type);
};

// The encoded description of one column.
Bytes Describe(const Column& column);

// One value of a row block: its flag byte and value bytes.
struct Value {
  bool null = false;
  Bytes bytes;

  static Value Null();
  static Value Int32(int32_t v);
  static Value Int64(int64_t v);
  static Value Int128(int64_t low, int64_t high);
  static Value Double(double v);
  static Value Bool(bool v);
  static Value Date(uint8_t day, uint8_t month, int16_t year);
  static Value Timestamp(int16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute,
                         uint8_t second, int32_t fraction);
  static Value Text(std::string_view text);
};

// columns[c][r]: every column must hold the same number of rows.
Bytes RowBlock(const std::vector<std::vector<Value>>& columns);

// Results.
Bytes Empty();
Bytes Exception(std::string_view text, std::string_view sqlState);
Bytes RowCount(int64_t count);
Bytes ResultSet(int32_t handle, const std::vector<Column>& columns, int64_t totalRows,
                int64_t rowsHere, const Bytes& rowBlock);
Bytes Handle(int32_t preparedHandle);
Bytes StillExecuting(std::string_view status);
Bytes MoreRows();

// Parallel mode answers (data after the result count). `count` is sent as
// given, so a test can make it disagree with the entries.
struct ParallelNode {
  int32_t port = 0;
  std::string host;
};
Bytes EnterParallel(int32_t count, int64_t token, const std::vector<ParallelNode>& nodes);
Bytes Hostnames(int32_t count, const std::vector<std::string>& hosts);

// An answer to a request: the results, counted.
Reply Answer(const std::vector<Bytes>& results);
// The answer to a send-rows request (command 14): the row block alone.
Reply SendRowsAnswer(const Bytes& rowBlock);
// The answer to a fetch by byte budget (command 36): from protocol 9 the
// kind byte 6, then the int64 row count and the block.
Reply FetchAnswer(int64_t rows, const Bytes& rowBlock, bool withKind = true);

// Concatenation.
Bytes Join(const std::vector<Bytes>& parts);

}  // namespace fake::results
