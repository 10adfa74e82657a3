// libFuzzer target with an oracle for parameter call sequences: the input
// becomes a statement of 1 to 4 parameter markers, the application's
// bindings and values, and a sequence of calls made through the exported
// functions against the fake node of tests/support, which decodes every
// execute-prepared message with its own reader. A model of the bound values
// says what each call must return and leave (return code, diagnostic
// records, the rows and blocks the node receives and each value in them,
// the row count, the parameter status array, the rows processed, the token
// of each value asked for at execution); where the library differs the
// target aborts with a message on stderr. Every application buffer is a heap
// block of exactly its size, so that AddressSanitizer sees a read past it.
//
// Input (a byte read past the end is 0):
//   byte 0   bits 0-1 markers - 1; bit 2 row-wise binding; bits 3-5 the
//            paramset size {1,1,2,3,4,5,7,10}; bit 6 a status array; bit 7 a
//            rows-processed pointer
//   byte 1   bits 0-2 the largest data message {default,1,48,64,96,128,200,
//            512}; bits 3-5 the bind offset {none,0,8,24,1000,none,none,
//            none}; bits 6-7 the block of each execution the node refuses
//            {none,none,second,first}
//   byte 2   bit 0 the parameters are left unbound at first
//   per parameter, 3 bytes (a binding): the C type (255 SQL_C_DATE, else
//            one of kCTypes by value); bits 0-1 its SQL type among those the
//            C type lists, bits 2-4 the column size {0,1,4,10,30,0,4,10},
//            bit 5 no indicator buffer (not for binary); the BufferLength
//            (low 4 bits, from the kind's list in ReadBinding)
//   per row, per parameter, a value: an indicator choice (ReadCell), then
//            for a fixed-size C type its bytes (date and time fields below
//            256, finite numbers), else a length byte and a content seed
//   then calls, one byte each (value mod 12) and their arguments:
//            0 Prepare, 1 Execute, 2 ExecDirect, 3 ParamData, 4 PutData (a
//            piece: mode, length and seed, or a fixed-size value), 5 Cancel,
//            6 FreeStmt(SQL_RESET_PARAMS), 7 rebind (a parameter index and a
//            new binding for it, then every value anew), 8 bind every value
//            anew, 9 RowCount, 10 NumParams, 11 ParamData and PutData until
//            the execution has run.
// A call whose outcome the model cannot state in the state it is in (an
// Execute before any Prepare, a Prepare while values are being supplied) is
// left out.
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_prepared.h"
#include "support/fake_results.h"

namespace {

using fake::Bytes;
namespace r = fake::results;

[[noreturn]] void Fail(const char* format, ...) {
  std::fputs("param_sequence_fuzz: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::abort();
}

std::string Hex(const std::optional<Bytes>& bytes) {
  if (!bytes) return "NULL";
  std::string out;
  char pair[4];
  for (uint8_t b : *bytes) {
    std::snprintf(pair, sizeof pair, "%02x ", b);
    out += pair;
  }
  return "[" + out + "]";
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  Bytes Take(size_t n) {
    Bytes out(n);
    for (uint8_t& b : out) b = Byte();
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

void PutLE(Bytes& out, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// ---- C types and what the node receives for their values --------------------------------

enum class Kind { Fixed, Narrow, Wide, Binary };

struct CType {
  SQLSMALLINT code;
  Kind kind;
  size_t size;     // bytes of a fixed-size value
  int32_t server;  // the server type its parameter is described with; 0: refused
  SQLSMALLINT sql[3];
};

// The SQL types are those for which the C type alone settles the server
// type (no DATE for the 32-bit integers, no DECIMAL for binary data), so the
// node's description of the parameters at prepare time changes nothing.
constexpr CType kCTypes[] = {
    {SQL_C_CHAR, Kind::Narrow, 0, r::kChar, {SQL_VARCHAR, SQL_CHAR, SQL_LONGVARCHAR}},
    {SQL_C_WCHAR, Kind::Wide, 0, r::kChar, {SQL_WVARCHAR, SQL_WCHAR, SQL_WLONGVARCHAR}},
    {SQL_C_BINARY, Kind::Binary, 0, r::kChar, {SQL_VARBINARY, SQL_BINARY, SQL_LONGVARBINARY}},
    {SQL_C_BIT, Kind::Fixed, 1, r::kBoolean, {SQL_BIT, SQL_BIT, SQL_BIT}},
    {SQL_C_STINYINT, Kind::Fixed, 1, r::kSmallDecimal, {SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER}},
    {SQL_C_UTINYINT, Kind::Fixed, 1, r::kSmallDecimal, {SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER}},
    {SQL_C_TINYINT, Kind::Fixed, 1, r::kSmallDecimal, {SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER}},
    {SQL_C_SSHORT, Kind::Fixed, 2, r::kSmallDecimal, {SQL_SMALLINT, SQL_INTEGER, SQL_TINYINT}},
    {SQL_C_USHORT, Kind::Fixed, 2, r::kSmallDecimal, {SQL_SMALLINT, SQL_INTEGER, SQL_TINYINT}},
    {SQL_C_SHORT, Kind::Fixed, 2, r::kSmallDecimal, {SQL_SMALLINT, SQL_INTEGER, SQL_TINYINT}},
    {SQL_C_SLONG, Kind::Fixed, 4, r::kDecimal, {SQL_INTEGER, SQL_BIGINT, SQL_SMALLINT}},
    {SQL_C_ULONG, Kind::Fixed, 4, r::kDecimal, {SQL_INTEGER, SQL_BIGINT, SQL_SMALLINT}},
    {SQL_C_LONG, Kind::Fixed, 4, r::kDecimal, {SQL_INTEGER, SQL_BIGINT, SQL_SMALLINT}},
    {SQL_C_SBIGINT, Kind::Fixed, 8, r::kBigDecimal, {SQL_BIGINT, SQL_INTEGER, SQL_NUMERIC}},
    {SQL_C_UBIGINT, Kind::Fixed, 8, r::kBigDecimal, {SQL_BIGINT, SQL_INTEGER, SQL_NUMERIC}},
    {SQL_C_DOUBLE, Kind::Fixed, 8, r::kDouble, {SQL_DOUBLE, SQL_FLOAT, SQL_REAL}},
    {SQL_C_FLOAT, Kind::Fixed, 4, r::kDouble, {SQL_REAL, SQL_FLOAT, SQL_DOUBLE}},
    {SQL_C_NUMERIC, Kind::Fixed, 19, r::kBigDecimal, {SQL_NUMERIC, SQL_DECIMAL, SQL_NUMERIC}},
    {SQL_C_TYPE_DATE, Kind::Fixed, 6, r::kDate, {SQL_TYPE_DATE, SQL_DATE, SQL_TYPE_DATE}},
    {SQL_C_TIME, Kind::Fixed, 6, r::kTimestamp, {SQL_TYPE_TIME, SQL_TIME, SQL_TYPE_TIME}},
    {SQL_C_TYPE_TIME, Kind::Fixed, 6, r::kTimestamp, {SQL_TYPE_TIME, SQL_TIME, SQL_TYPE_TIME}},
    {SQL_C_TIMESTAMP,
     Kind::Fixed,
     16,
     r::kTimestamp,
     {SQL_TYPE_TIMESTAMP, SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP}},
    {SQL_C_TYPE_TIMESTAMP,
     Kind::Fixed,
     16,
     r::kTimestamp,
     {SQL_TYPE_TIMESTAMP, SQL_TIMESTAMP, SQL_TYPE_TIMESTAMP}},
};
constexpr size_t kNumCTypes = sizeof kCTypes / sizeof kCTypes[0];
// Has no wire form: the execution is refused before anything is sent.
constexpr CType kCDate = {SQL_C_DATE, Kind::Fixed, 6, 0, {SQL_TYPE_DATE, SQL_DATE, SQL_DATE}};

static_assert(sizeof(SQL_DATE_STRUCT) == 6 && sizeof(SQL_TIME_STRUCT) == 6 &&
              sizeof(SQL_TIMESTAMP_STRUCT) == 16 && sizeof(SQL_NUMERIC_STRUCT) == 19);

// Bytes of a parameter's description: a type and nothing, a decimal's
// precision and scale, or a character type's flag and sizes.
size_t DescriptionBytes(int32_t server) {
  switch (server) {
    case r::kSmallDecimal:
    case r::kDecimal:
    case r::kBigDecimal:
      return 16;
    case r::kChar:
      return 17;
    default:
      return 8;
  }
}

template <class T>
T Load(const Bytes& b) {
  T v;
  std::memcpy(&v, b.data(), sizeof v);
  return v;
}

// The value a fixed-size C type is sent as; nullopt when the server type
// cannot hold it (22003).
std::optional<Bytes> EncodeFixed(SQLSMALLINT code, const Bytes& v) {
  Bytes out;
  switch (code) {
    case SQL_C_BIT:
      out.push_back(v[0] != 0 ? 1 : 0);
      break;
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
      PutLE(out, static_cast<uint64_t>(static_cast<int64_t>(static_cast<int8_t>(v[0]))), 4);
      break;
    case SQL_C_UTINYINT:
      PutLE(out, v[0], 4);
      break;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
      PutLE(out, static_cast<uint64_t>(static_cast<int64_t>(Load<int16_t>(v))), 4);
      break;
    case SQL_C_USHORT:
      PutLE(out, Load<uint16_t>(v), 4);
      break;
    case SQL_C_SLONG:
    case SQL_C_LONG:
      PutLE(out, static_cast<uint64_t>(static_cast<int64_t>(Load<int32_t>(v))), 8);
      break;
    case SQL_C_ULONG:
      PutLE(out, Load<uint32_t>(v), 8);
      break;
    case SQL_C_SBIGINT: {
      const auto n = Load<int64_t>(v);
      PutLE(out, static_cast<uint64_t>(n), 8);
      PutLE(out, n < 0 ? ~uint64_t{0} : 0, 8);
      break;
    }
    case SQL_C_UBIGINT:
      PutLE(out, Load<uint64_t>(v), 8);
      PutLE(out, 0, 8);
      break;
    case SQL_C_DOUBLE:
      PutLE(out, Load<uint64_t>(v), 8);
      break;
    case SQL_C_FLOAT: {
      const double d = Load<float>(v);
      uint64_t bits;
      std::memcpy(&bits, &d, 8);
      PutLE(out, bits, 8);
      break;
    }
    case SQL_C_NUMERIC: {
      // sign 1 (any non-zero) positive, 0 negative; the magnitude as 16
      // little-endian bytes, sent as a signed 128-bit number.
      const auto n = Load<SQL_NUMERIC_STRUCT>(v);
      const bool positive = n.sign != 0;
      const bool top = (n.val[15] & 0x80) != 0;
      bool restZero = (n.val[15] & 0x7F) == 0;
      for (int i = 0; i < 15; ++i) restZero = restZero && n.val[i] == 0;
      if (top && (positive || !restZero)) return std::nullopt;
      unsigned carry = 1;
      for (int i = 0; i < 16; ++i) {
        if (positive) {
          out.push_back(n.val[i]);
        } else {
          const unsigned b = static_cast<uint8_t>(~n.val[i]) + carry;
          out.push_back(static_cast<uint8_t>(b));
          carry = b >> 8;
        }
      }
      break;
    }
    case SQL_C_TYPE_DATE: {
      const auto d = Load<SQL_DATE_STRUCT>(v);
      out.push_back(static_cast<uint8_t>(d.day));
      out.push_back(static_cast<uint8_t>(d.month));
      PutLE(out, static_cast<uint16_t>(d.year), 2);
      break;
    }
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME: {
      const auto t = Load<SQL_TIME_STRUCT>(v);
      PutLE(out, 0, 4);  // year, month, day
      for (unsigned b : {unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second}})
        out.push_back(static_cast<uint8_t>(b));
      PutLE(out, 0, 4);
      break;
    }
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP: {
      const auto t = Load<SQL_TIMESTAMP_STRUCT>(v);
      PutLE(out, static_cast<uint16_t>(t.year), 2);
      for (unsigned b : {unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                         unsigned{t.second}})
        out.push_back(static_cast<uint8_t>(b));
      PutLE(out, t.fraction, 4);
      break;
    }
    default:
      Fail("no model of C type %d", code);
  }
  return out;
}

// Keeps a fixed-size value within what the model states exactly: date and
// time fields of one byte, a fraction of 31 bits, finite numbers, and a
// NUMERIC magnitude beyond 127 bits only when its precision byte is 0x7F.
void KeepInRange(SQLSMALLINT code, Bytes& v) {
  switch (code) {
    case SQL_C_DOUBLE: {
      auto d = Load<double>(v);
      if (!std::isfinite(d)) d = Load<int16_t>(v);
      std::memcpy(v.data(), &d, sizeof d);
      break;
    }
    case SQL_C_FLOAT: {
      auto f = Load<float>(v);
      if (!std::isfinite(f)) f = Load<int16_t>(v);
      std::memcpy(v.data(), &f, sizeof f);
      break;
    }
    case SQL_C_NUMERIC:
      if (v[0] != 0x7F) v[18] &= 0x7F;
      break;
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: {
      auto d = Load<SQL_DATE_STRUCT>(v);
      d.month &= 0xFF;
      d.day &= 0xFF;
      std::memcpy(v.data(), &d, sizeof d);
      break;
    }
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME: {
      auto t = Load<SQL_TIME_STRUCT>(v);
      t.hour &= 0xFF;
      t.minute &= 0xFF;
      t.second &= 0xFF;
      std::memcpy(v.data(), &t, sizeof t);
      break;
    }
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP: {
      auto t = Load<SQL_TIMESTAMP_STRUCT>(v);
      t.month &= 0xFF;
      t.day &= 0xFF;
      t.hour &= 0xFF;
      t.minute &= 0xFF;
      t.second &= 0xFF;
      t.fraction &= 0x7FFFFFFF;
      std::memcpy(v.data(), &t, sizeof t);
      break;
    }
    default:
      break;
  }
}

// UTF-16 (host order, whole characters) as UTF-8.
Bytes Utf8(const Bytes& utf16) {
  Bytes out;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    uint32_t c = static_cast<uint32_t>(utf16[i] | utf16[i + 1] << 8);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < utf16.size()) {
      const uint32_t low = static_cast<uint32_t>(utf16[i + 2] | utf16[i + 3] << 8);
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    if (c < 0x80) {
      out.push_back(static_cast<uint8_t>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<uint8_t>(0xC0 | c >> 6));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<uint8_t>(0xE0 | c >> 12));
      out.push_back(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<uint8_t>(0xF0 | c >> 18));
      out.push_back(static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// A character or binary value as sent (wide text as UTF-8); its length
// goes before it.
Bytes Counted(Kind kind, const Bytes& bytes) { return kind == Kind::Wide ? Utf8(bytes) : bytes; }

// Printable ASCII, so that the application's code set plays no part.
Bytes Text(size_t n, uint8_t seed) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(0x20 + (seed + 31 * i) % 95);
  return out;
}

Bytes Binary(size_t n, uint8_t seed) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed * 13 + i * 29);
  return out;
}

// Whole UTF-16 characters (letters, one- and two-unit characters beyond
// ASCII, a surrogate pair) while they fit in `units`; with `atLeast` the
// last one may pass it.
Bytes Wide(size_t units, uint8_t seed, bool atLeast) {
  Bytes out;
  const auto unit = [&](uint16_t u) { PutLE(out, u, 2); };
  for (size_t i = 0; out.size() / 2 < units; ++i) {
    const unsigned pick = (seed + 5 * i) % 8;
    const size_t need = pick == 7 ? 2 : 1;
    if (!atLeast && out.size() / 2 + need > units) break;
    if (pick < 5) unit(static_cast<uint16_t>('a' + (seed + i) % 26));
    if (pick == 5) unit(0x00E9);
    if (pick == 6) unit(0x20AC);
    if (pick == 7) {
      unit(0xD83D);
      unit(0xDE00);
    }
  }
  return out;
}

// ---- bindings and values ----------------------------------------------------------------

struct Binding {
  const CType* type = &kCTypes[0];
  SQLSMALLINT sqlType = SQL_VARCHAR;
  SQLULEN columnSize = 0;
  SQLLEN bufferLength = 0;
  bool noIndicator = false;
  // Bytes of one value in an array or a row structure (the effective octet
  // length of a character or binary type).
  size_t slot = 0;
};

// A value as the application holds it: its indicator and bytes (a fixed-size
// structure; or text or binary data, within its slot in an array).
struct Cell {
  SQLLEN indicator = 0;
  Bytes bytes;
  bool terminated = false;  // text with its terminator behind it
};

// Whether a row bound column-wise alone is the application's situation:
// then a character or binary value goes out at its given length.
struct Shape {
  size_t params = 1;
  size_t rows = 1;
  bool rowWise = false;
  bool Given() const { return rows == 1 && !rowWise; }
};

Binding ReadBinding(Reader& in, const Shape& shape) {
  const uint8_t t = in.Byte(), flags = in.Byte(), length = in.Byte();
  Binding b;
  b.type = t == 255 ? &kCDate : &kCTypes[t % kNumCTypes];
  b.sqlType = b.type->sql[(flags & 3) % 3];
  static constexpr SQLULEN kColumnSizes[] = {0, 1, 4, 10, 30, 0, 4, 10};
  b.columnSize = kColumnSizes[flags >> 2 & 7];
  const Kind kind = b.type->kind;
  b.noIndicator = (flags & 0x20) != 0 && kind != Kind::Binary;
  if (kind == Kind::Fixed) {
    const auto size = static_cast<SQLLEN>(b.type->size);
    const SQLLEN lengths[] = {0, size, 2 * size, 16, 5, 1, 100, size};
    b.bufferLength = lengths[length & 7];
    b.slot = b.type->size;
  } else if (kind == Kind::Binary) {
    static constexpr SQLLEN kLengths[] = {0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 0, 4, 7, 9};
    b.bufferLength = kLengths[length & 15];
    // An array slot needs a length.
    if (b.bufferLength == 0 && !shape.Given()) b.bufferLength = 4;
    b.slot = static_cast<size_t>(b.bufferLength);
  } else {
    static constexpr SQLLEN kLengths[] = {0, -5, 1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 0, 4, 7};
    b.bufferLength = kLengths[length & 15];
    // Without a buffer length text takes its column size, 1000 without one.
    b.slot = b.bufferLength > 0 ? static_cast<size_t>(b.bufferLength)
             : b.columnSize > 0 ? b.columnSize
                                : 1000;
  }
  return b;
}

constexpr SQLLEN kBadLength = -77;

Cell ReadCell(Reader& in, const Binding& b, const Shape& shape) {
  const uint8_t choice = in.Byte();
  const unsigned pick = choice & 15, high = choice >> 4;
  const Kind kind = b.type->kind;
  Cell c;
  enum { Value, Terminated, Other } form = Value;
  if (pick == 10) {
    c.indicator = SQL_NULL_DATA;
    form = Other;
  } else if (pick == 11) {
    c.indicator = SQL_DATA_AT_EXEC;
    form = Other;
  } else if (pick == 12) {
    c.indicator = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(1 + high * 7));
    form = Other;
  } else if (kind == Kind::Fixed) {
    // Any other indicator leaves a fixed-size value as it is.
    static constexpr SQLLEN kIgnored[] = {0, 0, SQL_NTS, 0, kBadLength, 0, 8, 0, 0, 0};
    c.indicator = pick < 10 ? kIgnored[pick] : 0;
  } else if (high == 0 && (pick == 9 || pick == 15)) {
    // A negative length without a meaning: the value cannot be sent.
    c.indicator = pick == 9 ? kBadLength : kind == Kind::Binary ? SQL_NTS : -100;
    form = Other;
  } else if (kind != Kind::Binary && (pick == 6 || pick == 7 || pick == 8 || pick == 14)) {
    form = Terminated;
  }
  if (b.noIndicator) {
    c.indicator = SQL_NTS;
    form = kind == Kind::Fixed ? Value : Terminated;
  }

  if (kind == Kind::Fixed) {
    c.bytes = in.Take(b.type->size);
    KeepInRange(b.type->code, c.bytes);
    return c;
  }
  const uint8_t count = in.Byte(), seed = in.Byte();
  if (form == Other) return c;
  const bool given = shape.Given();
  if (form == Terminated) {
    c.indicator = SQL_NTS;
    c.terminated = given;
    if (kind == Kind::Wide) {
      const size_t room = given ? 20 : b.slot / 2;
      c.bytes = Wide(count % (room + 1), seed, false);
    } else {
      c.bytes = Text(given ? count % 40 : count % (b.slot + 1), seed);
    }
    return c;
  }
  // A length, in an array possibly beyond the slot: only what fits is held.
  if (kind == Kind::Wide) {
    const Bytes whole = Wide(given ? count % 20 : count % (b.slot / 2 + 3), seed, true);
    c.indicator = static_cast<SQLLEN>(whole.size());
    const size_t held = given ? whole.size() : std::min(whole.size(), b.slot & ~size_t{1});
    c.bytes.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(held));
  } else {
    const size_t n = given ? count % 40 : count % (b.slot + 4);
    c.indicator = static_cast<SQLLEN>(n);
    const size_t held = given ? n : std::min(n, b.slot);
    c.bytes = kind == Kind::Narrow ? Text(held, seed) : Binary(held, seed);
  }
  return c;
}

bool AtExecution(SQLLEN indicator) {
  return indicator == SQL_DATA_AT_EXEC || indicator < SQL_LEN_DATA_AT_EXEC_OFFSET;
}

// What the node must receive for a bound value.
struct Expect {
  enum What { Value, Null, AtExec, Error } what = Value;
  Bytes wire;
  bool cut = false;
  const char* state = "";
};

Expect Expected(const Binding& b, const Cell& c, bool given) {
  Expect e;
  const Kind kind = b.type->kind;
  if (c.indicator == SQL_NULL_DATA) {
    e.what = Expect::Null;
    return e;
  }
  if (AtExecution(c.indicator)) {
    e.what = Expect::AtExec;
    return e;
  }
  if (kind == Kind::Fixed) {
    std::optional<Bytes> wire = EncodeFixed(b.type->code, c.bytes);
    if (!wire) {
      e.what = Expect::Error;
      e.state = "22003";
    } else {
      e.wire = *wire;
    }
    return e;
  }
  if (c.indicator == SQL_NTS && kind != Kind::Binary) {
    // Text to its terminator, within its slot in an array.
    e.wire = Counted(kind, c.bytes);
    return e;
  }
  if (c.indicator < 0) {
    e.what = Expect::Error;
    e.state = "HY923";
    return e;
  }
  auto length = static_cast<size_t>(c.indicator);
  if (!given && length > b.slot) {
    // Cut to the slot, a surrogate pair kept whole.
    e.cut = true;
    length = b.slot;
    if (kind == Kind::Wide) {
      length &= ~size_t{1};
      if (length >= 2) {
        const unsigned last = c.bytes[length - 2] | c.bytes[length - 1] << 8;
        if (last >= 0xD800 && last <= 0xDBFF) length -= 2;
      }
    }
  }
  if (length > c.bytes.size())
    Fail("model: a value of %zu bytes holds %zu", length, c.bytes.size());
  e.wire =
      Counted(kind, Bytes(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(length)));
  return e;
}

// ---- the application's buffers ------------------------------------------------------------

// Every value and indicator of the bound rows in heap blocks of exactly
// their size: column-wise a block of values and one of indicators per
// parameter, row-wise one block of row structures (per parameter its
// indicator, then its slot).
class AppBuffers {
 public:
  AppBuffers(const Shape& shape, const std::vector<Binding>& bindings,
             const std::vector<std::vector<Cell>>& cells, SQLLEN offset)
      : offset_(offset) {
    const size_t n = shape.params, rows = shape.rows;
    data_.assign(n, 0);
    indicators_.assign(n, 0);
    step_.assign(n, 0);
    if (shape.rowWise) {
      std::vector<size_t> at(n);
      for (size_t p = 0; p < n; ++p) {
        at[p] = rowSize_;
        rowSize_ += sizeof(SQLLEN) + bindings[p].slot;
      }
      const uintptr_t base = Block(rows * rowSize_);
      for (size_t p = 0; p < n; ++p) {
        indicators_[p] = base + at[p];
        data_[p] = base + at[p] + sizeof(SQLLEN);
        step_[p] = rowSize_;
      }
    } else {
      for (size_t p = 0; p < n; ++p) {
        const Binding& b = bindings[p];
        size_t bytes = rows * b.slot;
        if (shape.Given() && b.type->kind != Kind::Fixed) {
          const Cell& c = cells[0][p];
          bytes = c.bytes.size() + (c.terminated ? (b.type->kind == Kind::Wide ? 2 : 1) : 0);
        }
        data_[p] = Block(bytes);
        step_[p] = b.slot;
        if (!b.noIndicator) indicators_[p] = Block(rows * sizeof(SQLLEN));
      }
    }
    for (size_t row = 0; row < rows; ++row) {
      for (size_t p = 0; p < n; ++p) {
        const Cell& c = cells[row][p];
        if (!c.bytes.empty()) std::memcpy(Address(row, p), c.bytes.data(), c.bytes.size());
        if (indicators_[p] != 0 && !bindings[p].noIndicator)
          std::memcpy(reinterpret_cast<void*>(indicators_[p] + row * IndicatorStep(p, shape)),
                      &c.indicator, sizeof(SQLLEN));
      }
    }
  }

  // Where the application holds the value of a row: the token a request for
  // it at execution must hand back.
  void* Address(size_t row, size_t p) const {
    return reinterpret_cast<void*>(data_[p] + row * step_[p]);
  }
  // The pointers as bound: the bind offset is added to them at execution.
  SQLPOINTER BoundData(size_t p) const { return reinterpret_cast<SQLPOINTER>(data_[p] - offset_); }
  SQLLEN* BoundIndicator(size_t p, bool none) const {
    return none ? nullptr : reinterpret_cast<SQLLEN*>(indicators_[p] - offset_);
  }
  size_t RowSize() const { return rowSize_; }

 private:
  size_t IndicatorStep(size_t p, const Shape& shape) const {
    return shape.rowWise ? step_[p] : sizeof(SQLLEN);
  }
  uintptr_t Block(size_t bytes) {
    blocks_.push_back(std::make_unique<uint8_t[]>(bytes));
    return reinterpret_cast<uintptr_t>(blocks_.back().get());
  }

  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  std::vector<uintptr_t> data_, indicators_;
  std::vector<size_t> step_;
  size_t rowSize_ = 0;
  SQLLEN offset_;
};

// ---- the node ------------------------------------------------------------------------------

constexpr int16_t kPartNumber = 36;
constexpr int32_t kHandleBase = 40;

const char* InsertText(size_t markers) {
  static constexpr const char* kTexts[] = {
      "INSERT INTO p VALUES (?)", "INSERT INTO p VALUES (?, ?)", "INSERT INTO p VALUES (?, ?, ?)",
      "INSERT INTO p VALUES (?, ?, ?, ?)"};
  return kTexts[markers - 1];
}

// One execute-prepared request as the node saw it.
struct Received {
  std::optional<fake::PreparedMessage> message;
  std::optional<int64_t> part;
};

// The node, logged in once for the run: it answers the prepare of each
// INSERT with a handle and a description of its markers as text, and each
// execute-prepared request with the rows it carried as the row count, but
// the refused block of an execution with an exception.
struct Node {
  fake::FakeNode node;
  fake::LoginPlayer player{node};
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;

  std::mutex mutex;
  std::vector<Received> received;
  int refuse = -1;

  Node() {
    for (size_t n = 1; n <= 4; ++n) {
      std::vector<r::Column> params(n, r::Column::Char("P", 30, 30, r::kVarying));
      node.OnSql(InsertText(n),
                 r::Answer({r::Handle(kHandleBase + static_cast<int32_t>(n)),
                            r::ResultSet(-5, params, 0, 0, r::RowBlock({})), r::Empty()}));
    }
    node.On(fake::kExecutePrepared, [this](const fake::Request& request, fake::FakeNode&) {
      std::lock_guard<std::mutex> lock(mutex);
      Received seen;
      seen.message = fake::DecodePrepared(request.data);
      if (const fake::Attr* a = request.Find(kPartNumber)) seen.part = a->AsInt();
      received.push_back(seen);
      if (!seen.message) return r::Answer({r::Exception("undecodable message", "HY000")});
      if (static_cast<int>(received.size()) - 1 == refuse)
        return r::Answer({r::Exception("block refused", "42000")});
      return r::Answer({r::RowCount(seen.message->rows)});
    });
    const std::string port = std::to_string(node.Port());
    if (QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env) != SQL_SUCCESS ||
        QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc) != SQL_SUCCESS ||
        QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                         "secret", SQL_NTS) != SQL_SUCCESS)
      Fail("no connection to the node");
  }

  // A new call begins: nothing received yet, block `refused` of it refused.
  void Expecting(int refused) {
    std::lock_guard<std::mutex> lock(mutex);
    received.clear();
    refuse = refused;
  }
  std::vector<Received> Seen() {
    std::lock_guard<std::mutex> lock(mutex);
    return received;
  }
};

Node& TheNode() {
  static Node* node = new Node;  // for the whole run
  return *node;
}

// ---- the model -----------------------------------------------------------------------------

constexpr SQLUSMALLINT kUnset = 0xEEEE;
constexpr SQLULEN kUnsetCount = 0xEEEEEEEE;

struct SentBlock {
  std::vector<std::vector<std::optional<Bytes>>> rows;
  std::optional<int64_t> part;
};

// What a call must return and leave.
struct Outcome {
  SQLRETURN rc = SQL_SUCCESS;
  std::vector<const char*> states;  // SQLSTATEs among the records
  std::vector<SentBlock> blocks;    // what the node receives
  bool executed = false;            // row count, rows processed and status are told
  SQLLEN rowCount = 0;
  SQLULEN processed = 0;
  std::vector<SQLUSMALLINT> status;
};

struct AtExecEntry {
  size_t row = 0, param = 0;
  void* token = nullptr;
};

struct Collected {
  bool supplied = false;
  bool null = false;
  Bytes bytes;
};

class Sequence {
 public:
  Sequence(Reader& in, SQLHSTMT stmt) : in_(in), stmt_(stmt) {}
  void Run();

 private:
  // --- calls and their checks
  void Check(const char* call, SQLRETURN rc, const Outcome& want);
  void CheckRecords(const char* call, SQLRETURN rc, const std::vector<const char*>& states);
  void CheckSent(const char* call, const std::vector<SentBlock>& want);
  void CheckExecuted(const char* call, const Outcome& want);
  void Attr(SQLINTEGER attribute, SQLPOINTER value);
  void ResetWatches();

  // --- the parts of a sequence
  void ReadSetup();
  void ReadValues();
  void BindAll();
  void Prepare();
  void Execute(bool direct);
  void ParamData();
  void PutData();
  void Cancel();
  void ResetParams();
  void RowCount();
  void NumParams();
  void RunToEnd();

  Outcome Start();
  Outcome Simulate() const;
  size_t Limit() const;

  Reader& in_;
  SQLHSTMT stmt_;
  Shape shape_;
  int64_t messageSize_ = 0;
  bool withOffset_ = false;
  SQLLEN offsetValue_ = 0;
  int refuse_ = -1;
  std::vector<Binding> bindings_;
  std::vector<std::vector<Cell>> cells_;  // [row][param]
  std::unique_ptr<AppBuffers> app_;
  std::unique_ptr<SQLUSMALLINT[]> status_;
  std::unique_ptr<SQLULEN[]> processed_;
  std::unique_ptr<SQLLEN[]> offset_;

  bool prepared_ = false;
  bool bound_ = false;
  bool described_ = false;  // the IPD counts the markers
  std::optional<SQLLEN> rowCount_;
  // Data at execution.
  bool open_ = false;
  bool canceled_ = false;
  int position_ = -1;
  std::vector<AtExecEntry> atExec_;
  std::vector<Collected> collected_;
};

SQLPOINTER AsPointer(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

void Sequence::CheckRecords(const char* call, SQLRETURN rc,
                            const std::vector<const char*>& states) {
  std::vector<std::string> found;
  for (SQLSMALLINT n = 1; n < 50; ++n) {
    SQLCHAR state[6] = {};
    SQLCHAR text[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (QVOGetDiagRec(SQL_HANDLE_STMT, stmt_, n, state, &native, text, sizeof text, &length) !=
        SQL_SUCCESS)
      break;
    found.push_back(std::string(reinterpret_cast<char*>(state)) + " " +
                    reinterpret_cast<char*>(text));
  }
  const bool none = found.empty();
  if ((rc == SQL_SUCCESS || rc == SQL_NEED_DATA) && !none)
    Fail("%s returned %d and left %zu records, the first: %s", call, rc, found.size(),
         found[0].c_str());
  if ((rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) && none)
    Fail("%s returned %d without a diagnostic record", call, rc);
  for (const char* state : states) {
    bool seen = false;
    std::string all;
    for (const std::string& f : found) {
      seen = seen || f.compare(0, 5, state) == 0;
      all += " | " + f;
    }
    if (!seen) Fail("%s returned %d without a record %s; records:%s", call, rc, state, all.c_str());
  }
}

void Sequence::Check(const char* call, SQLRETURN rc, const Outcome& want) {
  // PARAM_SEQUENCE_TRACE=1 lists the calls of an input and what they
  // returned, to follow a finding.
  static const bool trace = std::getenv("PARAM_SEQUENCE_TRACE") != nullptr;
  if (trace)
    std::fprintf(stderr, "%s -> %d (expected %d, %zu blocks)\n", call, rc, want.rc,
                 want.blocks.size());
  if (rc != want.rc) {
    SQLCHAR state[6] = {};
    SQLCHAR text[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    QVOGetDiagRec(SQL_HANDLE_STMT, stmt_, 1, state, &native, text, sizeof text, &length);
    Fail("%s returned %d, expected %d (first record: %s %s)", call, rc, want.rc, state, text);
  }
  CheckRecords(call, rc, want.states);
}

void Sequence::CheckSent(const char* call, const std::vector<SentBlock>& want) {
  const std::vector<Received> got = TheNode().Seen();
  if (got.size() != want.size())
    Fail("%s: the node received %zu blocks, expected %zu", call, got.size(), want.size());
  const int32_t handle = kHandleBase + static_cast<int32_t>(shape_.params);
  for (size_t k = 0; k < got.size(); ++k) {
    if (!got[k].message) Fail("%s: block %zu is not a well-formed message", call, k);
    const fake::PreparedMessage& m = *got[k].message;
    if (m.handle != handle || m.one != 1 || m.flag != 1)
      Fail("%s: block %zu header handle %d, %d, %d", call, k, m.handle, m.one, m.flag);
    if (m.params.size() != shape_.params)
      Fail("%s: block %zu describes %zu parameters, expected %zu", call, k, m.params.size(),
           shape_.params);
    for (size_t p = 0; p < shape_.params; ++p) {
      const int32_t server = bindings_[p].type->server;
      if (m.params[p].type != server || (server == r::kChar && m.params[p].varying != 1))
        Fail("%s: block %zu parameter %zu described as type %d (varying %d), expected %d", call, k,
             p + 1, m.params[p].type, m.params[p].varying, server);
    }
    const SentBlock& w = want[k];
    if (m.rows != static_cast<int64_t>(w.rows.size()))
      Fail("%s: block %zu holds %lld rows, expected %zu", call, k, static_cast<long long>(m.rows),
           w.rows.size());
    if (got[k].part != w.part)
      Fail("%s: block %zu part number %lld, expected %lld", call, k,
           got[k].part ? static_cast<long long>(*got[k].part) : -999LL,
           w.part ? static_cast<long long>(*w.part) : -999LL);
    for (size_t row = 0; row < w.rows.size(); ++row)
      for (size_t p = 0; p < shape_.params; ++p)
        if (m.values[row][p] != w.rows[row][p])
          Fail("%s: block %zu row %zu parameter %zu (%d) received %s, expected %s", call, k, row,
               p + 1, bindings_[p].type->code, Hex(m.values[row][p]).c_str(),
               Hex(w.rows[row][p]).c_str());
  }
}

void Sequence::CheckExecuted(const char* call, const Outcome& want) {
  if (!want.executed) return;
  rowCount_ = want.rowCount;
  if (processed_ && processed_[0] != want.processed)
    Fail("%s: rows processed %llu, expected %llu", call,
         static_cast<unsigned long long>(processed_[0]),
         static_cast<unsigned long long>(want.processed));
  if (status_)
    for (size_t row = 0; row < shape_.rows; ++row)
      if (status_[row] != want.status[row])
        Fail("%s: status of row %zu is %u, expected %u", call, row, status_[row], want.status[row]);
}

void Sequence::Attr(SQLINTEGER attribute, SQLPOINTER value) {
  const SQLRETURN rc = QVOSetStmtAttr(stmt_, attribute, value, 0);
  Outcome ok;
  Check("QVOSetStmtAttr", rc, ok);
}

void Sequence::ResetWatches() {
  if (status_)
    for (size_t row = 0; row < shape_.rows; ++row) status_[row] = kUnset;
  if (processed_) processed_[0] = kUnsetCount;
}

size_t Sequence::Limit() const {
  if (messageSize_ <= 0) return 67108864;
  return static_cast<size_t>(std::min<int64_t>(messageSize_, INT32_MAX));
}

// The rows in blocks: a block closes after the first row that brings the
// message to the limit; the row counts of the blocks add up; a value that
// cannot be sent ends the execution in its block, a block the node refuses
// in that block.
Outcome Sequence::Simulate() const {
  Outcome o;
  o.executed = true;
  const size_t rows = shape_.rows;
  o.status.assign(rows, SQL_PARAM_SUCCESS);
  size_t header = 29;
  for (const Binding& b : bindings_) header += DescriptionBytes(b.type->server);
  const size_t limit = Limit();
  size_t row = 0, next = 0;
  int64_t total = 0;
  bool anyCut = false;
  for (int block = 0; row < rows; ++block) {
    const size_t start = row;
    size_t size = header;
    SentBlock sent;
    std::vector<bool> cut;
    while (row < rows) {
      std::vector<std::optional<Bytes>> values;
      bool rowCut = false;
      for (size_t p = 0; p < shape_.params; ++p) {
        Expect e = Expected(bindings_[p], cells_[row][p], shape_.Given());
        if (e.what == Expect::AtExec) {
          const Collected& c = collected_.at(next++);
          const Kind kind = bindings_[p].type->kind;
          if (kind == Kind::Fixed && !c.supplied) Fail("model: a fixed-size value never supplied");
          e.what = c.null ? Expect::Null : Expect::Value;
          if (kind != Kind::Fixed) {
            e.wire = Counted(kind, c.bytes);
          } else if (!c.null) {
            std::optional<Bytes> wire = EncodeFixed(bindings_[p].type->code, c.bytes);
            if (wire) {
              e.wire = *wire;
            } else {
              e.what = Expect::Error;
              e.state = "22003";
            }
          }
        }
        if (e.what == Expect::Error) {
          for (size_t k = start; k < rows; ++k) o.status[k] = SQL_PARAM_UNUSED;
          o.status[row] = SQL_PARAM_ERROR;
          o.rc = SQL_ERROR;
          // The reason's record is asserted only while no block has gone
          // out: the library drops it when it tells the server that no part
          // follows.
          o.states = {"HY010"};
          if (o.blocks.empty()) o.states.push_back(e.state);
          o.rowCount = total;
          o.processed = row + 1;
          return o;
        }
        // The null flag, then the value, a character or binary one after its
        // length.
        const bool counted = bindings_[p].type->kind != Kind::Fixed;
        if (e.what != Expect::Null) size += e.wire.size() + (counted ? 4 : 0);
        ++size;
        values.push_back(e.what == Expect::Null ? std::nullopt : std::optional<Bytes>(e.wire));
        rowCut = rowCut || e.cut;
      }
      sent.rows.push_back(std::move(values));
      cut.push_back(rowCut);
      ++row;
      if (size >= limit) break;
    }
    const bool last = row == rows;
    if (!(start == 0 && last)) sent.part = last ? -block : block;
    o.blocks.push_back(std::move(sent));
    if (block == refuse_) {
      for (size_t k = start; k < rows; ++k)
        o.status[k] = k < row ? SQL_PARAM_ERROR : SQL_PARAM_UNUSED;
      o.rc = SQL_ERROR;
      o.states = {"42000"};
      o.rowCount = total;
      o.processed = row;
      return o;
    }
    total += static_cast<int64_t>(row - start);
    for (size_t k = start; k < row; ++k) {
      o.status[k] = cut[k - start] ? SQL_PARAM_SUCCESS_WITH_INFO : SQL_PARAM_SUCCESS;
      anyCut = anyCut || cut[k - start];
    }
  }
  o.rc = anyCut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
  if (anyCut) o.states = {"01004"};
  o.rowCount = total;
  o.processed = rows;
  return o;
}

// A new execution: the parameters' wire forms are settled before anything
// is asked for; values marked for execution are asked for before anything
// is sent; otherwise the rows go out.
Outcome Sequence::Start() {
  open_ = canceled_ = false;
  position_ = -1;
  atExec_.clear();
  collected_.clear();
  Outcome o;
  for (const Binding& b : bindings_) {
    if (b.type->server == 0) {
      o.rc = SQL_ERROR;
      o.states = {"SI002", "HY010"};
      rowCount_ = 0;  // an execution starts from none
      return o;
    }
  }
  for (size_t row = 0; row < shape_.rows; ++row)
    for (size_t p = 0; p < shape_.params; ++p)
      if (AtExecution(cells_[row][p].indicator)) atExec_.push_back({row, p, app_->Address(row, p)});
  if (!atExec_.empty()) {
    open_ = true;
    collected_.assign(atExec_.size(), Collected{});
    o.rc = SQL_NEED_DATA;
    rowCount_.reset();
    return o;
  }
  return Simulate();
}

void Sequence::ReadSetup() {
  const uint8_t b0 = in_.Byte(), b1 = in_.Byte(), b2 = in_.Byte();
  static constexpr size_t kRows[] = {1, 1, 2, 3, 4, 5, 7, 10};
  shape_.params = 1 + (b0 & 3);
  shape_.rowWise = (b0 & 4) != 0;
  shape_.rows = kRows[b0 >> 3 & 7];
  static constexpr int64_t kSizes[] = {0, 1, 48, 64, 96, 128, 200, 512};
  messageSize_ = kSizes[b1 & 7];
  static constexpr SQLLEN kOffsets[] = {-1, 0, 8, 24, 1000, -1, -1, -1};
  const SQLLEN offset = kOffsets[b1 >> 3 & 7];
  withOffset_ = offset >= 0;
  offsetValue_ = withOffset_ ? offset : 0;
  static constexpr int kRefused[] = {-1, -1, 1, 0};
  refuse_ = kRefused[b1 >> 6];

  const SQLRETURN rc =
      QVOSetConnectAttr(TheNode().dbc, QVO_MAX_DATA_MESSAGE_SIZE, AsPointer(messageSize_), 0);
  if (rc != SQL_SUCCESS) Fail("the largest data message could not be set: %d", rc);
  Attr(SQL_ATTR_PARAMSET_SIZE, AsPointer(static_cast<SQLLEN>(shape_.rows)));
  if (shape_.rowWise) Attr(SQL_ATTR_PARAM_BIND_TYPE, AsPointer(1));
  if (withOffset_) {
    offset_ = std::make_unique<SQLLEN[]>(1);
    offset_[0] = offsetValue_;
    Attr(SQL_ATTR_PARAM_BIND_OFFSET_PTR, offset_.get());
  }
  if (b0 & 0x40) {
    status_ = std::make_unique<SQLUSMALLINT[]>(shape_.rows);
    Attr(SQL_ATTR_PARAM_STATUS_PTR, status_.get());
  }
  if (b0 & 0x80) {
    processed_ = std::make_unique<SQLULEN[]>(1);
    Attr(SQL_ATTR_PARAMS_PROCESSED_PTR, processed_.get());
  }
  ResetWatches();
  for (size_t p = 0; p < shape_.params; ++p) bindings_.push_back(ReadBinding(in_, shape_));
  ReadValues();
  if ((b2 & 1) == 0) BindAll();
}

void Sequence::ReadValues() {
  cells_.assign(shape_.rows, std::vector<Cell>(shape_.params));
  for (size_t row = 0; row < shape_.rows; ++row)
    for (size_t p = 0; p < shape_.params; ++p) cells_[row][p] = ReadCell(in_, bindings_[p], shape_);
}

// Binds every parameter to buffers made anew for the values.
void Sequence::BindAll() {
  auto app = std::make_unique<AppBuffers>(shape_, bindings_, cells_, offsetValue_);
  if (shape_.rowWise)
    Attr(SQL_ATTR_PARAM_BIND_TYPE, AsPointer(static_cast<SQLLEN>(app->RowSize())));
  for (size_t p = 0; p < shape_.params; ++p) {
    const Binding& b = bindings_[p];
    const SQLRETURN rc = QVOBindParameter(
        stmt_, static_cast<SQLUSMALLINT>(p + 1), SQL_PARAM_INPUT, b.type->code, b.sqlType,
        b.columnSize, 0, app->BoundData(p), b.bufferLength, app->BoundIndicator(p, b.noIndicator));
    Check("QVOBindParameter", rc, Outcome{});
  }
  app_ = std::move(app);  // the buffers bound before are no longer used
  bound_ = described_ = true;
}

void Sequence::Prepare() {
  if (open_) return;
  const SQLRETURN rc = QVOPrepare(
      stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(InsertText(shape_.params))), SQL_NTS);
  Check("QVOPrepare", rc, Outcome{});
  prepared_ = described_ = true;
  rowCount_.reset();
}

void Sequence::Execute(bool direct) {
  const char* call = direct ? "QVOExecDirect" : "QVOExecute";
  Outcome want;
  if (open_ && !canceled_) {
    // Inside the statement's own sequence: refused, the sequence goes on.
    want.rc = SQL_ERROR;
    want.states = {"HY010"};
  } else if (!direct && !prepared_) {
    // Only a statement the application prepared executes: never prepared,
    // or executed directly since, it is refused and nothing is sent.
    want.rc = SQL_ERROR;
    want.states = {"HY010"};
  } else {
    if (!bound_) return;
    want = Start();
    // ExecDirect prepares for itself: QVOExecute does not run that.
    if (direct) prepared_ = false;
  }
  TheNode().Expecting(refuse_);
  ResetWatches();
  const SQLRETURN rc =
      direct ? QVOExecDirect(
                   stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(InsertText(shape_.params))),
                   SQL_NTS)
             : QVOExecute(stmt_);
  Check(call, rc, want);
  CheckSent(call, want.blocks);
  CheckExecuted(call, want);
}

void Sequence::ParamData() {
  Outcome want;
  bool runs = false;
  if (!open_) {
    want.rc = SQL_ERROR;  // no value is asked for
  } else if (canceled_) {
    want.rc = SQL_ERROR;
    want.states = {"HY008"};
    open_ = false;
  } else {
    if (position_ >= 0) {
      const AtExecEntry& e = atExec_[static_cast<size_t>(position_)];
      if (bindings_[e.param].type->kind == Kind::Fixed &&
          !collected_[static_cast<size_t>(position_)].supplied) {
        // A fixed-size value is supplied in one piece before going on.
        PutData();
        if (!open_ || canceled_) return;
      }
    }
    ++position_;
    if (static_cast<size_t>(position_) < atExec_.size()) {
      want.rc = SQL_NEED_DATA;
    } else {
      runs = true;
      open_ = false;
      want = Simulate();
    }
  }
  TheNode().Expecting(refuse_);
  ResetWatches();
  SQLPOINTER token = nullptr;
  const SQLRETURN rc = QVOParamData(stmt_, &token);
  Check("QVOParamData", rc, want);
  if (rc == SQL_NEED_DATA) {
    const AtExecEntry& e = atExec_[static_cast<size_t>(position_)];
    if (token != e.token)
      Fail("QVOParamData: token %p for row %zu parameter %zu, expected %p", token, e.row,
           e.param + 1, e.token);
  }
  CheckSent("QVOParamData", want.blocks);
  if (runs) CheckExecuted("QVOParamData", want);
}

// One piece of the value asked for last: mode (bits 0-1: a length, a length,
// terminated, NULL), a length and a content seed; a fixed-size value's bytes.
void Sequence::PutData() {
  const uint8_t mode = in_.Byte() & 3, count = in_.Byte(), seed = in_.Byte();
  Outcome want;
  Collected* value = nullptr;
  const Binding* b = nullptr;
  if (!open_) {
    want.rc = SQL_ERROR;
  } else if (canceled_) {
    want.rc = SQL_ERROR;
    want.states = {"HY008"};
    open_ = false;
  } else if (position_ < 0) {
    want.rc = SQL_ERROR;  // no value asked for yet
  } else {
    value = &collected_[static_cast<size_t>(position_)];
    b = &bindings_[atExec_[static_cast<size_t>(position_)].param];
    // Pieces are for character and binary data, never joined to a NULL.
    if (value->null || (value->supplied && (mode == 3 || b->type->kind == Kind::Fixed))) return;
  }
  Bytes piece;
  SQLLEN length = 0;
  const Kind kind = b ? b->type->kind : Kind::Narrow;
  if (kind == Kind::Fixed) {
    piece = in_.Take(b->type->size);
    KeepInRange(b->type->code, piece);
    length = static_cast<SQLLEN>(piece.size());
  } else if (kind == Kind::Wide) {
    piece = Wide(count % 12, seed, false);
    length = static_cast<SQLLEN>(piece.size());
  } else {
    piece = kind == Kind::Binary ? Binary(count % 24, seed) : Text(count % 24, seed);
    length = static_cast<SQLLEN>(piece.size());
  }
  bool terminated = false;
  if (mode == 3) {
    length = SQL_NULL_DATA;
  } else if (mode == 2 && (kind == Kind::Narrow || kind == Kind::Wide)) {
    length = SQL_NTS;
    terminated = true;
  }
  const size_t terminator = terminated ? (kind == Kind::Wide ? 2 : 1) : 0;
  auto buffer = std::make_unique<uint8_t[]>(piece.size() + terminator);
  if (!piece.empty()) std::memcpy(buffer.get(), piece.data(), piece.size());
  if (value) {
    if (mode == 3) {
      value->null = true;
    } else {
      value->bytes.insert(value->bytes.end(), piece.begin(), piece.end());
    }
    value->supplied = true;
  }
  const SQLRETURN rc = QVOPutData(stmt_, buffer.get(), length);
  Check("QVOPutData", rc, want);
}

void Sequence::Cancel() {
  if (open_) canceled_ = true;
  const SQLRETURN rc = QVOCancel(stmt_);
  Check("QVOCancel", rc, Outcome{});
}

void Sequence::ResetParams() {
  if (open_) return;
  const SQLRETURN rc = QVOFreeStmt(stmt_, SQL_RESET_PARAMS);
  Check("QVOFreeStmt", rc, Outcome{});
  bound_ = false;
}

void Sequence::RowCount() {
  if (open_) return;
  SQLLEN count = -12345;
  const SQLRETURN rc = QVORowCount(stmt_, &count);
  if (rc == SQL_SUCCESS && rowCount_ && count != *rowCount_)
    Fail("QVORowCount: %lld, expected %lld", static_cast<long long>(count),
         static_cast<long long>(*rowCount_));
  Check("QVORowCount", rc, Outcome{});
}

void Sequence::NumParams() {
  if (open_) return;
  SQLSMALLINT n = -1;
  const SQLRETURN rc = QVONumParams(stmt_, &n);
  Check("QVONumParams", rc, Outcome{});
  const SQLSMALLINT want = described_ ? static_cast<SQLSMALLINT>(shape_.params) : 0;
  if (n != want) Fail("QVONumParams: %d, expected %d", n, want);
}

void Sequence::RunToEnd() {
  for (int k = 0; open_ && k < 100; ++k) {
    const bool needsPiece =
        !canceled_ && position_ >= 0 && !collected_[static_cast<size_t>(position_)].supplied;
    if (needsPiece) {
      PutData();
    } else {
      ParamData();
    }
  }
}

void Sequence::Run() {
  ReadSetup();
  for (int calls = 0; !in_.Done() && calls < 64; ++calls) {
    switch (in_.Byte() % 12) {
      case 0:
        Prepare();
        break;
      case 1:
        Execute(false);
        break;
      case 2:
        Execute(true);
        break;
      case 3:
        ParamData();
        break;
      case 4:
        PutData();
        break;
      case 5:
        Cancel();
        break;
      case 6:
        ResetParams();
        break;
      case 7: {
        const size_t p = in_.Byte() % shape_.params;
        const Binding b = ReadBinding(in_, shape_);
        if (!open_) {
          bindings_[p] = b;
          ReadValues();
          BindAll();
        }
        break;
      }
      case 8:
        if (!open_) {
          ReadValues();
          BindAll();
        }
        break;
      case 9:
        RowCount();
        break;
      case 10:
        NumParams();
        break;
      case 11:
        RunToEnd();
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Node& node = TheNode();
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  if (QVOAllocHandle(SQL_HANDLE_STMT, node.dbc, &stmt) != SQL_SUCCESS) Fail("no statement handle");
  Reader in(data, size);
  {
    Sequence sequence(in, stmt);
    sequence.Run();
    // The statement goes before the buffers it was given.
    QVOFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  if (!node.node.Errors().empty()) Fail("the node: %s", node.node.Errors()[0].c_str());
  node.node.ClearHistory();
  return 0;
}
