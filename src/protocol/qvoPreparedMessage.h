// The execute-prepared-statement message (command 11): a 29-byte header, one
// description per parameter, then the parameter rows of one block, row after
// row, each value behind a null flag (0 NULL, 1 a value follows).
//
// Header: int32 prepared handle, int32 1, byte 1, int32 number of
// descriptions, int64 rows, int64 rows (the same count twice).
// Description (a result column description without a name): int32 0,
// int32 server type (_CHAR and _VARCHAR both as 10), then
//   _DECIMAL, _SMALLDECIMAL, _BIGDECIMAL   int32 precision, int32 scale
//   _CHAR, _VARCHAR                        flag byte (1 varying), int32 column
//                                          size, int32 octet length
//   _DOUBLE, _BOOLEAN, _DATE, _TIMESTAMP(_UTC)  nothing
//
// How a parameter goes on the wire depends on its C type and SQL type only:
// FindParamEncoding picks the one row of the mapping table once per
// parameter and block, and the block then runs that row's encoder per value.
#pragma once

#include <cstddef>
#include <memory>

#include "qvo/qvoDefs.h"

class iconverter;

// Told of each growth of a message buffer that it watches (for the log).
class qvoMessageGrowth {
 public:
  // Before the buffer grows from `capacity` bytes, and after it grew to it.
  virtual void Growing(size_t capacity) = 0;
  virtual void Grown(size_t capacity) = 0;

 protected:
  ~qvoMessageGrowth() = default;
};

// A message under construction. Every write makes room first: the buffer
// grows geometrically up to kMaxMessageBytes, and a write that cannot be
// made leaves the buffer as it was and marks the message failed (Failed()),
// so nothing is ever written past the end.
class qvoMessageBuffer {
 public:
  static constexpr size_t kMaxMessageBytes = 0x7FFFFFFF;

  // Takes over a buffer of `capacity` bytes (kept between executions); no
  // growth is watched.
  void Adopt(std::unique_ptr<char[]> buffer, size_t capacity);
  std::unique_ptr<char[]> Release();
  // Makes the buffer exactly `capacity` bytes when it holds fewer, keeping
  // what was written (sized ahead from an estimate; not a growth). False
  // when memory runs out (the buffer stays as it was).
  bool Presize(size_t capacity);
  // Each later growth is told to `growth` (null: none).
  void Watch(qvoMessageGrowth* growth) { growth_ = growth; }

  // Room for n more bytes; false (and Failed) when the message would pass
  // kMaxMessageBytes or memory runs out.
  bool Reserve(size_t n);
  // The n bytes at the end, reserved; Commit(k <= n) makes k of them part of
  // the message.
  char* Claim(size_t n);
  void Commit(size_t n) { size_ += n; }
  // Bytes the message may still grow by.
  size_t Headroom() const { return kMaxMessageBytes - size_; }

  void Int8(qvo_int8 v);
  void Int16(qvo_int16 v);
  void Int32(qvo_int32 v);
  void Int64(qvo_int64 v);
  void Double(qvo_double v);
  void Bytes(const void* p, size_t n);
  // Overwrites a field written before.
  void PatchInt32(size_t at, qvo_int32 v);
  void PatchInt64(size_t at, qvo_int64 v);
  // Forgets what was written after `size`.
  void Truncate(size_t size) { size_ = size < size_ ? size : size_; }

  char* Data() const { return data_.get(); }
  size_t Size() const { return size_; }
  size_t Capacity() const { return capacity_; }
  bool Failed() const { return failed_; }
  bool OutOfMemory() const { return outOfMemory_; }
  void ClearFailure() { failed_ = outOfMemory_ = false; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool failed_ = false;
  bool outOfMemory_ = false;
  qvoMessageGrowth* growth_ = nullptr;
};

// --- header ------------------------------------------------------------------------------

inline constexpr size_t kPreparedHeaderBytes = 29;
void EncodePreparedHeader(qvoMessageBuffer& out, qvo_int32 preparedHandle, qvo_int32 descriptions,
                          qvo_int64 rows);
// Stamps the row count of the block into a header written at offset 0.
void PatchPreparedRows(qvoMessageBuffer& out, qvo_int64 rows);

// --- the mapping table --------------------------------------------------------------------

// What a parameter's description carries; each row's writer takes the fields
// of its server type.
struct qvoParamDescription {
  qvo_int16 serverType = 0;
  qvo_int32 precision = 0;
  qvo_int32 scale = 0;
  qvo_int32 columnSize = 0;
  qvo_int32 octetLength = 0;
};

// How the application's value is taken.
enum class qvoParamKind : unsigned char {
  Fixed,   // valueBytes bytes of a C type
  Narrow,  // text in the application's code set, length from the indicator
  Wide,    // UTF-16 text, length in bytes from the indicator
  Binary,  // bytes, length from the indicator
};

// One value as the encoder gets it: `length` bytes at `data` (for Fixed at
// least valueBytes). Text is converted with `converter` (null: the bytes are
// UTF-8 already); `cut` says that the statement shortened the value, so a
// character left incomplete at its end is dropped rather than refused.
struct qvoParamValue {
  const char* data = nullptr;
  size_t length = 0;
  iconverter* converter = nullptr;
  bool cut = false;
  bool dateTimeText = false;  // strip an ODBC date-time escape ({d '...'})
};

enum class qvoValueStatus {
  Ok,
  OutOfRange,        // 22003: the value has no form in the server type
  ConversionFailed,  // HY923: text not in its code set
  InvalidUtf8,       // HY922: unconverted text that is not UTF-8
  TooLarge,          // the message cannot hold the value
};

using qvoParamEncoder = qvoValueStatus (*)(qvoMessageBuffer&, const qvoParamValue&);
using qvoParamDescriber = void (*)(qvoMessageBuffer&, const qvoParamDescription&);

// What the precision of the IPD record becomes.
enum class qvoPrecisionRule : unsigned char { Keep, Set, SetScaleZero };

struct qvoParamEncoding {
  SQLSMALLINT cTypes[7];    // unused slots 0
  SQLSMALLINT sqlTypes[3];  // empty: any SQL type
  qvo_int16 serverType;
  qvoPrecisionRule precisionRule;
  qvo_int32 precision;
  qvoParamKind kind;
  qvo_int32 valueBytes;  // Fixed: bytes read from the application
  qvo_int32 textBytes;   // characters every value has on the wire (GUID text), else 0
  qvoParamDescriber describe;
  qvoParamEncoder encode;  // null: the pairing is refused ("Conversion not supported.")
};

enum class qvoParamLookup { Found, CTypeNotSupported, ConversionNotSupported };
// The row for a C type and an SQL type, or null with the reason.
const qvoParamEncoding* FindParamEncoding(SQLSMALLINT cType, SQLSMALLINT sqlType,
                                          qvoParamLookup* why);

// The bytes `rows` values of a parameter sent as `serverType` are estimated
// at in the message, their null flags included, no more than `cap`: values
// of a fixed width whole; character data at an eighth of the most it could
// take (the larger of octetLength and four bytes for each of ipdLength
// characters, with its length word), at most maxOctets.
size_t EstimateParamValueBytes(qvo_int16 serverType, SQLLEN octetLength, SQLULEN ipdLength,
                               SQLULEN rows, SQLULEN maxOctets, size_t cap);

// The 36-character text an SQLGUID value at `value` is sent as, with its
// terminator (37 bytes).
void GuidText(const char* value, char (&text)[37]);

// The longest prefix of at most maxBytes bytes of a value that ends on a
// character boundary: UTF-8 sequences (for unconverted text) and UTF-16
// units with their surrogate pairs stay whole.
size_t ParamCutLength(qvoParamKind kind, const char* data, size_t length, size_t maxBytes,
                      bool utf8);
