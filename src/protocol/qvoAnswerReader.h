// The one reader of server answers: every field of a result and every value
// of a row block is read through it, and none is read unless the bytes
// received hold it. Nothing here records diagnostics; callers turn a failed
// read into their message.
//
// Result kinds (first byte of each result):
//   -2 empty  -1 exception  0 row count  1 result set  2 prepared handle
//    5 still executing  6 more rows
// Result set: int32 handle, int32 columns, int64 total rows, int64 rows here,
// `columns` column descriptions, then the inline row block. Column
// description: int32 name length, name, int32 server type, then
//   _DECIMAL, _SMALLDECIMAL, _BIGDECIMAL: int32 precision, int32 scale
//   _CHAR, _INTERVAL_MONTH, _INTERVAL_DAY: flags byte, int32 size, int32 octets
//   _DOUBLE, _BOOLEAN, _DATE, _TIMESTAMP, _TIMESTAMP_UTC: nothing
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "qvo/qvoDefs.h"

// A read position over (buffer, length). A read that does not fit leaves the
// position where it was and returns false.
struct qvoAnswerCursor {
  char* data = nullptr;
  size_t length = 0;
  size_t pos = 0;

  size_t Remaining() const { return pos < length ? length - pos : 0; }
  char* Here() const { return data + pos; }
  bool Int8(qvo_int8* v);
  bool Int32(qvo_int32* v);
  bool Int64(qvo_int64* v);
  // A non-negative length field and that many bytes behind it.
  bool Text(std::string_view* text);
  bool Bytes(size_t n, const char** p);
  bool Skip(size_t n);
};

enum qvoResultKind : qvo_int8 {
  QVO_KIND_EMPTY = -2,
  QVO_KIND_EXCEPTION = -1,
  QVO_KIND_ROW_COUNT = 0,
  QVO_KIND_RESULT_SET = 1,
  QVO_KIND_HANDLE = 2,
  QVO_KIND_STILL_EXECUTING = 5,
  QVO_KIND_MORE_ROWS = 6,
};

enum class qvoReadStatus {
  Ok,
  Malformed,    // a length, count or value does not fit the bytes received
  UnknownType,  // a column description names a server type we cannot read
};

struct qvoResultSetHeader {
  qvo_int32 handle = 0;
  qvo_int32 columns = 0;
  qvo_int64 totalRows = 0;
  qvo_int64 rowsHere = 0;
};
// Counts are checked against what can follow: columns 0..32767 and at most
// one per 8 remaining bytes, rows non-negative.
qvoReadStatus ReadResultSetHeader(qvoAnswerCursor& in, qvoResultSetHeader* header);

struct qvoColumnDescription {
  std::string_view name;
  qvo_int32 serverType = 0;
  qvo_int32 precision = 0;
  qvo_int32 scale = 0;
  qvo_uint8 charFlags = 0;
  qvo_int32 size = 0;
  qvo_int32 octetLength = 0;
};
qvoReadStatus ReadColumnDescription(qvoAnswerCursor& in, qvoColumnDescription* column);

// An exception result after its kind byte: the text and the SQLSTATE (five
// bytes, not terminated).
qvoReadStatus ReadException(qvoAnswerCursor& in, std::string_view* text, std::string_view* state);

// How one column's values lie in a row block.
struct qvoBlockColumn {
  SQLSMALLINT qvoType = 0;    // server type as described (_VARCHAR for varying text)
  SQLINTEGER qvoTypeLen = 0;  // width of a value; for text its length word plus the octet length
};
bool IsCharacterBlockType(SQLSMALLINT qvoType);

// Whether `rows` rows of `columns` columns can lie in `length` bytes at all:
// every value takes at least its null flag. Checked before a table for the
// rows is sized, so that a row count from the wire never sizes memory the
// bytes received do not justify.
bool RowBlockCanHold(size_t length, size_t columns, qvo_int64 rows);

// One pass over a row block of `rows` rows of every column in
// block[0..length): each null flag, text length word and value is checked to
// lie within the block (a text no longer than its column's octet length, a
// fixed-width column with the width its type needs), converted in place to
// host order and its address written to table[c][r] (c = 1..cols, r =
// 1..rows; each column array has rows + 1 entries). Returns the bytes the
// rows take, or -1 at the first value that does not fit; the table then
// holds a partial index that must not be used.
qvo_int64 IndexRowBlock(char* block, size_t length, const std::vector<qvoBlockColumn>& cols,
                        qvo_int64 rows, void*** table);

// The bytes an indexed value takes from its address (table[c][r] of a block
// IndexRowBlock accepted) on: none for NULL, the length word and the text
// for text, the column's width for the others.
size_t IndexedValueBytes(const char* value, const qvoBlockColumn& col);
