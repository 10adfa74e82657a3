// libFuzzer target that checks what the result calls return against a model
// of what the server sent. The input scripts the answers of a fake node
// (tests/support, over TCP, logged in once per process) and a sequence of
// calls on one statement: executions, fetches and scrolls into bound rowsets,
// SetPos, GetData whole and in pieces, MoreResults, closes, binding and
// unbinding, attributes. Every value, length, indicator, row count, row
// status, row number and return code is compared with the model; every -1
// and 1 must carry a diagnostic record and a 0 none. Every buffer the library
// writes is a heap block of exactly its size plus guard bytes, and a shadow
// copy of each block says what every byte must hold after each call, so a
// byte written where it should not be is found even inside the block. A
// difference aborts with a message on stderr.
//
// Input, byte by byte (a missing byte reads as 0):
//   byte 0      bits 0-1 the data code set (UTF-8, SHIFT_JIS, EUC-JP,
//               UTF-32LE); bit 2 the node of protocol 7 (rows fetched by
//               count) instead of 13 (by byte budget); bit 3 row-wise
//               binding; bit 4 a rows-fetched pointer; bit 5 a row status
//               array.
//   byte 1      the time stamp precision (modulo 10).
//   byte 2      executions - 1 (modulo 3); for each execution one byte,
//               its results - 1 (modulo 3), then each result:
//                 byte k      bit 0 set: a row count of k >> 1; else a result
//                             set of 1 + (k >> 1) % 9 columns, followed by
//                 5 bytes     rows (modulo 41), rows sent with the
//                             description (modulo rows + 1), rows per
//                             further block (0: as the budget gives), the
//                             seed of its values, NULL density (modulo 4)
//                 2 bytes     per column: its kind (modulo 11: ASCII CHAR,
//                             UTF-8 VARCHAR, UTF-8 CHAR, DECIMAL,
//                             SMALLDECIMAL, BIGDECIMAL, DOUBLE, BOOLEAN,
//                             DATE, TIMESTAMP, TIMESTAMP_UTC) and its
//                             length, precision or scale.
//   the rest    calls, at most 80, each an opcode (modulo 20) and its
//               argument bytes (Run::Step): 0 execute, 1 and 17 fetch, 2 and
//               19 scroll (orientation, offset * 4 as int8), 3 SetPos (row),
//               4 and 18 GetData (column; C type bits 0-1, no target bit 2,
//               no indicator bit 3, calls - 1 bits 4-6; buffer length
//               index), 5 BindCol (column - 1; C type bits 0-1, no value bit
//               2, no indicator bit 3; buffer length index), 6 unbind
//               (column - 1), 7 unbind all, 8 rowset size (- 1), 9
//               SQL_ATTR_MAX_LENGTH (index), 10 MoreResults, 11 CloseCursor,
//               12 FreeStmt(SQL_CLOSE), 13 NumResultCols, 14
//               SQL_ATTR_ROW_NUMBER, 15 RowCount, 16 bind offset (index).
//               The first execution runs before them; execute runs the next
//               one (cyclic), at most 6 times. fetch_sequence_seeds.py
//               writes inputs in this layout.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "oracle_calls.h"
#include "qvo/qvoAttributes.h"
#include "qvo/qvoCInterface.h"
#include "qvo/qvoDefs.h"
#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

namespace results = fake::results;

constexpr int kMaxCalls = 80;
constexpr int kMaxExecutions = 6;
constexpr int kMaxRowset = 8;
constexpr int kMaxColumn = 10;  // bindings may name a column past every result's
constexpr int kMaxPieces = 8;
constexpr size_t kGuard = 16;
constexpr unsigned char kFill = 0xA5;
constexpr SQLLEN kMaxOffset = 32;
// Row-wise binding: each column has a slot of the row, its value at the
// slot's start and its indicator behind it; the bytes between are the
// library's to leave alone.
constexpr size_t kSlot = 128;
constexpr size_t kSlotIndicator = 112;
constexpr SQLLEN kMaxBound = 104;
constexpr size_t kRowBytes = kSlot * kMaxColumn;

using oracle::Fail;
using oracle::Input;
using oracle::Note;

// ---- characters ---------------------------------------------------------------------------

enum CodeSet { kUtf8, kShiftJis, kEucJp, kUtf32Le };
constexpr const char* kCodeSetNames[] = {"UTF-8", "SHIFT_JIS", "EUC-JP", "UTF-32LE"};

// Characters of text values with their bytes in each narrow code set (null:
// the code set has no such character).
struct Glyph {
  char32_t code;
  const char* utf8;
  const char* shiftJis;
  const char* eucJp;
};
constexpr Glyph kGlyphs[] = {
    {U'a', "a", "a", "a"},
    {U'Z', "Z", "Z", "Z"},
    {U'7', "7", "7", "7"},
    {U'\u3042', "\xE3\x81\x82", "\x82\xA0", "\xA4\xA2"},    // HIRAGANA LETTER A
    {U'\u65E5', "\xE6\x97\xA5", "\x93\xFA", "\xC6\xFC"},    // sun, day
    {U'\uFF71', "\xEF\xBD\xB1", "\xB1", "\x8E\xB1"},        // HALFWIDTH KATAKANA A
    {U'\u03A9', "\xCE\xA9", "\x83\xB6", "\xA6\xB8"},        // OMEGA
    {U'\u00E9', "\xC3\xA9", nullptr, "\x8F\xAB\xB1"},       // e acute
    {U'\U0001F600', "\xF0\x9F\x98\x80", nullptr, nullptr},  // a face: a surrogate pair
};
constexpr size_t kGlyphCount = sizeof kGlyphs / sizeof kGlyphs[0];

std::string NarrowBytes(const Glyph& g, CodeSet set) {
  switch (set) {
    case kUtf8:
      return g.utf8;
    case kShiftJis:
      return g.shiftJis;
    case kEucJp:
      return g.eucJp;
    case kUtf32Le: {
      std::string out;
      for (int k = 0; k < 4; ++k) out += static_cast<char>((g.code >> (8 * k)) & 0xFF);
      return out;
    }
  }
  return {};
}

// UTF-16 in host order (little-endian here), one or two units.
std::string WideBytes(char32_t code) {
  std::string out;
  auto unit = [&out](uint32_t u) {
    uint16_t v = static_cast<uint16_t>(u);
    char b[2];
    std::memcpy(b, &v, 2);
    out.append(b, 2);
  };
  if (code < 0x10000) {
    unit(code);
  } else {
    unit(0xD800 + ((code - 0x10000) >> 10));
    unit(0xDC00 + ((code - 0x10000) & 0x3FF));
  }
  return out;
}

// ---- values ---------------------------------------------------------------------------------

enum class Kind {
  AsciiChar,
  Utf8Varchar,
  Utf8Char,
  Decimal,
  SmallDecimal,
  BigDecimal,
  Double,
  Boolean,
  Date,
  Timestamp,
  TimestampUtc
};
constexpr int kKinds = 11;

bool IsCharacter(Kind k) {
  return k == Kind::AsciiChar || k == Kind::Utf8Varchar || k == Kind::Utf8Char;
}

// One value as the server sends it and as the application reads it: its
// characters in the data code set (narrow) and in UTF-16 (wide), each
// character's bytes apart, so that cuts on character boundaries follow.
struct Cell {
  bool null = false;
  results::Value wire;
  std::vector<std::string> narrow;
  std::vector<std::string> wide;
};

size_t Bytes(const std::vector<std::string>& chars, size_t from = 0) {
  size_t n = 0;
  for (size_t i = from; i < chars.size(); ++i) n += chars[i].size();
  return n;
}

std::string Joined(const std::vector<std::string>& chars, size_t from = 0,
                   size_t count = SIZE_MAX) {
  std::string out;
  for (size_t i = from; i < chars.size() && i - from < count; ++i) out += chars[i];
  return out;
}

// A text of ASCII characters, one byte narrow and one unit wide each.
void SetAsciiText(Cell& cell, const std::string& text) {
  for (char c : text) {
    cell.narrow.emplace_back(1, c);
    cell.wide.push_back(WideBytes(static_cast<unsigned char>(c)));
  }
}

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// The decimal text of an unscaled value: fraction digits without trailing
// zeros, no separator for a whole number, a 0 before a separator that would
// lead, "0" for zero.
std::string DecimalText(__int128 value, int scale) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  unsigned __int128 m =
      negative ? static_cast<unsigned __int128>(-value) : static_cast<unsigned __int128>(value);
  std::string digits;
  for (; m != 0; m /= 10) digits.insert(digits.begin(), static_cast<char>('0' + (m % 10)));
  if (static_cast<int>(digits.size()) <= scale)
    digits.insert(0, static_cast<size_t>(scale) - digits.size() + 1, '0');
  std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(scale));
  std::string fraction = digits.substr(digits.size() - static_cast<size_t>(scale));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  std::string out = negative ? "-" : "";
  out += whole;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

// Doubles whose "%.9G" text is known.
struct DoubleText {
  double value;
  const char* text;
};
constexpr DoubleText kDoubles[] = {
    {0.5, "0.5"},
    {-2.25, "-2.25"},
    {12.125, "12.125"},
    {1000.0, "1000"},
    {0.0, "0"},
    {-0.0, "0"},
    {1e20, "1E+20"},
    {123456789.0, "123456789"},
    {-7.0, "-7"},
    {0.000125, "0.000125"},
    {1234567890.0, "1.23456789E+09"},
    {3.75, "3.75"},
};

struct ColumnModel {
  Kind kind = Kind::AsciiChar;
  int length = 0;  // characters of a text column
  int precision = 0;
  int scale = 0;
  results::Column desc;
};

struct ResultModel {
  bool rowCount = false;
  int64_t count = 0;
  std::vector<ColumnModel> columns;
  int64_t rows = 0;
  fake::Blocks blocks;
  std::vector<Cell> cells;  // row-major

  const Cell& At(int64_t row, int column) const {
    return cells[static_cast<size_t>(row) * columns.size() + static_cast<size_t>(column - 1)];
  }
};

struct Execution {
  std::string sql;
  std::vector<std::shared_ptr<const ResultModel>> results;
};

ColumnModel MakeColumn(uint8_t kindByte, uint8_t param, int index) {
  ColumnModel c;
  c.kind = static_cast<Kind>(kindByte % kKinds);
  const std::string name = "C" + std::to_string(index);
  switch (c.kind) {
    case Kind::AsciiChar:
      c.length = 1 + param % 12;
      c.desc = results::Column::Char(name, c.length, c.length, 0);
      break;
    case Kind::Utf8Varchar:
    case Kind::Utf8Char:
      c.length = param % 13;
      c.desc = results::Column::Char(
          name, c.length, 4 * c.length,
          c.kind == Kind::Utf8Varchar ? results::kVarying | results::kUtf8 : results::kUtf8);
      break;
    case Kind::Decimal: {
      constexpr int kPrecisions[] = {5, 9, 12, 18};
      c.precision = kPrecisions[param & 3];
      c.scale = (param >> 2) % 6;
      c.desc = results::Column::Decimal(name, c.precision, c.scale);
      break;
    }
    case Kind::SmallDecimal:
      c.precision = 9;
      c.scale = param % 5;
      c.desc = results::Column::SmallDecimal(name, c.precision, c.scale);
      break;
    case Kind::BigDecimal:
      c.precision = 30;
      c.scale = param % 7;
      c.desc = results::Column::BigDecimal(name, c.precision, c.scale);
      break;
    default: {
      // Nothing follows the type code of these in a description.
      constexpr int32_t kFixedTypes[] = {results::kDouble, results::kBoolean, results::kDate,
                                         results::kTimestamp, results::kTimestampUtc};
      c.desc = results::Column::Raw(
          name, kFixedTypes[static_cast<int>(c.kind) - static_cast<int>(Kind::Double)]);
      break;
    }
  }
  return c;
}

std::string TimestampText(int year, int month, int day, int hour, int minute, int second,
                          int fraction, int precision) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  std::string out = text;
  if (precision > 0) {
    std::snprintf(text, sizeof text, "%09d", fraction);
    out += ".";
    out.append(text, static_cast<size_t>(precision));
  }
  return out;
}

Cell MakeCell(const ColumnModel& c, uint64_t h, CodeSet set, int timestampPrecision) {
  Cell cell;
  switch (c.kind) {
    case Kind::AsciiChar: {
      static constexpr char kLetters[] =
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .";
      const int n = static_cast<int>(h % static_cast<uint64_t>(c.length + 1));
      std::string text;
      for (int k = 0; k < n; ++k) text += kLetters[Mix(h + static_cast<uint64_t>(k)) % 64];
      SetAsciiText(cell, text);
      cell.wire = results::Value::Text(text);
      return cell;
    }
    case Kind::Utf8Varchar:
    case Kind::Utf8Char: {
      const int n = static_cast<int>(h % static_cast<uint64_t>(c.length + 1));
      std::string utf8;
      for (int k = 0; k < n; ++k) {
        const Glyph* g;
        do {
          g = &kGlyphs[Mix(h ^ (static_cast<uint64_t>(k) << 40) ^ utf8.size()) % kGlyphCount];
          ++h;
        } while ((set == kShiftJis && !g->shiftJis) || (set == kEucJp && !g->eucJp));
        utf8 += g->utf8;
        cell.narrow.push_back(NarrowBytes(*g, set));
        cell.wide.push_back(WideBytes(g->code));
      }
      cell.wire = results::Value::Text(utf8);
      return cell;
    }
    case Kind::Decimal:
    case Kind::SmallDecimal: {
      const int digits = c.precision < 15 ? c.precision : 15;
      int64_t limit = 1;
      for (int k = 0; k < digits; ++k) limit *= 10;
      int64_t v = static_cast<int64_t>(h % static_cast<uint64_t>(limit));
      if ((h >> 60) & 1) v = -v;
      if (((h >> 56) & 7) == 0) v = 0;
      SetAsciiText(cell, DecimalText(v, c.scale));
      cell.wire = c.kind == Kind::SmallDecimal || c.precision <= 9
                      ? results::Value::Int32(static_cast<int32_t>(v))
                      : results::Value::Int64(v);
      return cell;
    }
    case Kind::BigDecimal: {
      int64_t v = static_cast<int64_t>(h >> 1);
      if ((h & 1) != 0) v = -v;
      if (((h >> 56) & 3) == 0) v %= 100000;
      SetAsciiText(cell, DecimalText(v, c.scale));
      cell.wire = results::Value::Int128(v, v < 0 ? -1 : 0);
      return cell;
    }
    case Kind::Double: {
      const DoubleText& d = kDoubles[h % (sizeof kDoubles / sizeof kDoubles[0])];
      SetAsciiText(cell, d.text);
      cell.wire = results::Value::Double(d.value);
      return cell;
    }
    case Kind::Boolean: {
      const bool v = (h & 1) != 0;
      SetAsciiText(cell, v ? "1" : "0");
      cell.wire = results::Value::Bool(v);
      return cell;
    }
    case Kind::Date:
    case Kind::Timestamp:
    case Kind::TimestampUtc: {
      const int year = 1 + static_cast<int>(h % 9999);
      const int month = 1 + static_cast<int>((h >> 16) % 12);
      const int day = 1 + static_cast<int>((h >> 20) % 28);
      if (c.kind == Kind::Date) {
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
        SetAsciiText(cell, text);
        cell.wire = results::Value::Date(static_cast<uint8_t>(day), static_cast<uint8_t>(month),
                                         static_cast<int16_t>(year));
        return cell;
      }
      const int hour = static_cast<int>((h >> 28) % 24);
      const int minute = static_cast<int>((h >> 33) % 60);
      const int second = static_cast<int>((h >> 39) % 60);
      const int fraction = static_cast<int>((h >> 20) % 1000000000);
      SetAsciiText(cell, TimestampText(year, month, day, hour, minute, second, fraction,
                                       timestampPrecision));
      cell.wire = results::Value::Timestamp(static_cast<int16_t>(year), static_cast<uint8_t>(month),
                                            static_cast<uint8_t>(day), static_cast<uint8_t>(hour),
                                            static_cast<uint8_t>(minute),
                                            static_cast<uint8_t>(second), fraction);
      return cell;
    }
  }
  return cell;
}

std::shared_ptr<const ResultModel> MakeResult(Input& in, CodeSet set, int timestampPrecision) {
  auto r = std::make_shared<ResultModel>();
  const uint8_t k = in.Byte();
  if (k & 1) {
    r->rowCount = true;
    r->count = k >> 1;
    return r;
  }
  const int columns = 1 + (k >> 1) % 9;
  r->rows = in.Byte() % 41;
  r->blocks.inlineRows = in.Byte() % (r->rows + 1);
  r->blocks.maxRows = in.Byte() % 9;
  const uint64_t seed = in.Byte();
  const int nullDensity = in.Byte() % 4;
  for (int c = 0; c < columns; ++c) {
    const uint8_t kind = in.Byte();
    r->columns.push_back(MakeColumn(kind, in.Byte(), c + 1));
  }
  for (int64_t row = 0; row < r->rows; ++row) {
    for (int c = 0; c < columns; ++c) {
      const uint64_t h = Mix(seed * 0x100000001B3ULL ^ (static_cast<uint64_t>(row) << 8) ^
                             static_cast<uint64_t>(c));
      if (nullDensity > 0 && (h >> 58) % 8 < static_cast<uint64_t>(nullDensity)) {
        Cell null;
        null.null = true;
        null.wire = results::Value::Null();
        r->cells.push_back(std::move(null));
      } else {
        r->cells.push_back(
            MakeCell(r->columns[static_cast<size_t>(c)], Mix(h), set, timestampPrecision));
      }
    }
  }
  return r;
}

fake::Table TableOf(const std::shared_ptr<const ResultModel>& r) {
  fake::Table t;
  for (const ColumnModel& c : r->columns) t.columns.push_back(c.desc);
  t.rows = r->rows;
  t.value = [r](int64_t row, size_t column) {
    return r->At(row, static_cast<int>(column) + 1).wire;
  };
  return t;
}

// ---- the server ---------------------------------------------------------------------------

// A node and a connection to it, made once for the process.
struct Server {
  explicit Server(int32_t protocol) : player(node, Script(protocol)) {
    node.SetTracing(false);
    QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const std::string port = std::to_string(node.Port());
    if (QVOServerConnect(dbc, "127.0.0.1", SQL_NTS, port.c_str(), SQL_NTS, "user", SQL_NTS,
                         "secret", SQL_NTS) != SQL_SUCCESS ||
        QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt) != SQL_SUCCESS)
      Fail("cannot connect to the fake node");
  }
  static fake::LoginScript Script(int32_t protocol) {
    fake::LoginScript s;
    s.protocolVersion = protocol;
    return s;
  }
  fake::FakeNode node;
  fake::LoginPlayer player;
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  // One statement serves every input: making and freeing one costs more than
  // the calls of an input; Run::Reset puts back what an input changed.
  SQLHSTMT stmt = SQL_NULL_HANDLE;
};

Server& ServerOf(bool old) {
  // Kept for the whole run.
  static Server* current = new Server(13);
  static Server* older = nullptr;
  if (!old) return *current;
  if (older == nullptr) older = new Server(7);
  return *older;
}

// ---- buffers --------------------------------------------------------------------------------

// A heap block the library may write `size` bytes of, with guard bytes
// behind them, and what every byte of it must hold.
class Guarded {
 public:
  explicit Guarded(size_t size)
      : size_(size),
        bytes_(static_cast<unsigned char*>(std::malloc(size + kGuard))),
        expected_(size + kGuard, kFill) {
    std::memset(bytes_.get(), kFill, size + kGuard);
  }
  unsigned char* Data() const { return bytes_.get(); }
  size_t Size() const { return size_; }
  void Expect(size_t at, const void* p, size_t n) {
    if (at + n > size_) Fail("model writes past a block");
    std::memcpy(expected_.data() + at, p, n);
  }
  const unsigned char* Expected(size_t at) const { return expected_.data() + at; }
  // The library's bytes [at, at + n) are taken as they are (checked otherwise).
  void Take(size_t at, size_t n) { std::memcpy(expected_.data() + at, bytes_.get() + at, n); }
  // The rest of a text buffer behind its terminator, [at, at + n): what the
  // library leaves there is its own business (noted once per run, as a
  // converter that writes there may also write where it must not).
  void TakeTail(size_t at, size_t n) {
    static bool noted = false;
    if (!noted && std::memcmp(expected_.data() + at, bytes_.get() + at, n) != 0) {
      noted = true;
      std::fprintf(stderr, "fetch_sequence_fuzz: note: bytes written behind a terminator\n");
    }
    Take(at, n);
  }
  void Check(const char* what) const {
    if (std::memcmp(bytes_.get(), expected_.data(), size_ + kGuard) == 0) return;
    size_t at = 0;
    while (bytes_.get()[at] == expected_[at]) ++at;
    std::string have, want;
    char hex[4];
    const size_t from = at < 16 ? 0 : at - 16;
    for (size_t k = from; k < at + 16 && k < size_ + kGuard; ++k) {
      std::snprintf(hex, sizeof hex, "%02x ", bytes_.get()[k]);
      have += hex;
      std::snprintf(hex, sizeof hex, "%02x ", expected_[k]);
      want += hex;
    }
    Fail("%s: byte %zu of a %zu-byte block (+%zu guard) differs; from byte %zu have %s, want %s",
         what, at, size_, kGuard, from, have.c_str(), want.c_str());
  }

 private:
  struct Free {
    void operator()(unsigned char* p) const { std::free(p); }
  };
  size_t size_;
  std::unique_ptr<unsigned char, Free> bytes_;
  std::vector<unsigned char> expected_;
};

void PutLen(Guarded& g, size_t at, SQLLEN v) { g.Expect(at, &v, sizeof v); }

// ---- the statement and its model -------------------------------------------------------------

SQLPOINTER IntValue(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(v); }

struct Binding {
  bool active = false;
  SQLSMALLINT cType = SQL_C_CHAR;
  SQLLEN length = 0;
  bool value = true;
  bool indicator = true;
  std::unique_ptr<Guarded> data;     // column-wise
  std::unique_ptr<Guarded> lengths;  // column-wise
};

// What a text call writes: the bytes (terminator included) at the target,
// the length or indicator, and how it ended.
struct Placed {
  std::string bytes;
  bool write = false;
  SQLLEN length = 0;
  bool truncated = false;
  bool loose = false;  // data cut under SQL_ATTR_MAX_LENGTH: any prefix
};

bool Wide(SQLSMALLINT cType) { return cType == SQL_C_WCHAR; }

constexpr SQLSMALLINT kTextTypes[] = {SQL_C_CHAR, SQL_C_WCHAR, SQL_C_BINARY, SQL_C_CHAR};
constexpr SQLLEN kLengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 16, 24, 40, 100};
constexpr SQLULEN kMaxLengths[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 7, 9, 16};
constexpr SQLLEN kOffsets[4] = {0, 8, 24, 0};

class Run {
 public:
  Run(Input& in) : in_(in) {}

  void Go() {
    const uint8_t flags = in_.Byte();
    set_ = static_cast<CodeSet>(flags & 3);
    old_ = (flags & 4) != 0;
    rowWise_ = (flags & 8) != 0;
    const bool fetchedPtr = (flags & 0x10) != 0;
    const bool statusPtr = (flags & 0x20) != 0;
    timestampPrecision_ = in_.Byte() % 10;
    const int executions = 1 + in_.Byte() % 3;
    for (int e = 0; e < executions; ++e) {
      Execution x;
      x.sql = "SELECT " + std::to_string(e);
      const int count = 1 + in_.Byte() % 3;
      for (int r = 0; r < count; ++r)
        x.results.push_back(MakeResult(in_, set_, timestampPrecision_));
      executions_.push_back(std::move(x));
    }
    Server& server = ServerOf(old_);
    node_ = &server.node;
    for (const Execution& x : executions_) {
      std::vector<fake::AnswerPart> parts;
      for (const auto& r : x.results)
        parts.push_back(r->rowCount ? fake::AnswerPart::Count(r->count)
                                    : fake::AnswerPart::Rows(TableOf(r), r->blocks));
      node_->ServeAnswer(x.sql, std::move(parts));
    }
    PlanBindings();
    stmt_ = server.stmt;
    Setup(fetchedPtr, statusPtr);
    Execute();
    for (int n = 0; n < kMaxCalls && !in_.Done(); ++n) Step();
    Reset();
    const std::vector<int32_t> open = node_->OpenResultSets();
    if (!open.empty()) Fail("result set %d left open on the server", open[0]);
    const std::vector<std::string> errors = node_->Errors();
    if (!errors.empty()) Fail("the node found: %s", errors[0].c_str());
    node_->ClearSqlRules();
    node_->ClearHistory();
  }

 private:
  // ---- checks of one call --------------------------------------------------------------

  // The SQLSTATE of record k, "" when there is none.
  std::string State(SQLSMALLINT k = 1) const {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[256];
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(
            QVOGetDiagRec(SQL_HANDLE_STMT, stmt_, k, state, &native, text, sizeof text, &length)))
      return "";
    return reinterpret_cast<const char*>(state);
  }
  int Records() const {
    int n = 0;
    while (n < 63 && !State(static_cast<SQLSMALLINT>(n + 1)).empty()) ++n;
    return n;
  }

  // The return code is `want` (or `other`, when not -2); -1 and 1 carry a
  // record, 0 none; `state` is the first record's SQLSTATE when given.
  void Returned(const char* call, SQLRETURN rc, SQLRETURN want, SQLRETURN other = -2,
                const char* state = nullptr) {
    if (rc != want && rc != other) {
      const std::string first = State();
      Fail("%s returned %d, the model says %d%s%s (first record: %s)", call, rc, want,
           other != -2 ? " or " : "", other != -2 ? std::to_string(other).c_str() : "",
           first.c_str());
    }
    const int records = Records();
    if ((rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) && records < 1)
      Fail("%s returned %d without a diagnostic record", call, rc);
    if (rc == SQL_SUCCESS && records != 0)
      Fail("%s returned 0 and left %d record(s), the first %s", call, records, State().c_str());
    if (state && rc != SQL_SUCCESS && State() != state)
      Fail("%s returned %d with %s, the model says %s", call, rc, State().c_str(), state);
  }

  // ---- setup ----------------------------------------------------------------------------

  // Columns that are NULL in some result, and the buffers their values need
  // when they are not text (a number, date or time stamp into a buffer too
  // small for it is another matter than a cut text, and not modelled here).
  void PlanBindings() {
    for (const Execution& x : executions_)
      for (const auto& r : x.results)
        for (int c = 1; c <= static_cast<int>(r->columns.size()); ++c)
          for (int64_t row = 0; row < r->rows; ++row) {
            const Cell& cell = r->At(row, c);
            if (cell.null) {
              mayBeNull_[c] = true;
              continue;
            }
            if (IsCharacter(r->columns[static_cast<size_t>(c - 1)].kind)) continue;
            const auto n = static_cast<SQLLEN>(cell.narrow.size());
            if (n + 1 > leastNarrow_[c]) leastNarrow_[c] = n + 1;
          }
  }

  void Setup(bool fetchedPtr, bool statusPtr) {
    SQLRETURN rc = QVOSetStmtAttr(stmt_, QVO_ANSI_DATA_ENCODING,
                                  const_cast<char*>(kCodeSetNames[set_]), SQL_NTS);
    Returned("SetStmtAttr(data code set)", rc, SQL_SUCCESS);
    rc = QVOSetStmtAttr(stmt_, QVO_TIMESTAMP_PRECISION, IntValue(timestampPrecision_), 0);
    Returned("SetStmtAttr(time stamp precision)", rc, SQL_SUCCESS);
    rc = QVOSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset_, 0);
    Returned("SetStmtAttr(bind offset)", rc, SQL_SUCCESS);
    if (rowWise_) {
      rows_ = std::make_unique<Guarded>(kMaxOffset + kMaxRowset * kRowBytes);
      rc = QVOSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE, IntValue(kRowBytes), 0);
      Returned("SetStmtAttr(row-wise)", rc, SQL_SUCCESS);
    }
    if (fetchedPtr) {
      fetched_ = std::make_unique<Guarded>(sizeof(SQLULEN));
      rc = QVOSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, fetched_->Data(), 0);
      Returned("SetStmtAttr(rows fetched)", rc, SQL_SUCCESS);
    }
    if (statusPtr) {
      status_ = std::make_unique<Guarded>(kMaxRowset * sizeof(SQLUSMALLINT));
      rc = QVOSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, status_->Data(), 0);
      Returned("SetStmtAttr(row status)", rc, SQL_SUCCESS);
    }
  }

  // The statement as the next input expects it: closed (what was open on
  // the server closed), nothing bound, the attributes an input sets back.
  void Reset() {
    Note("reset");
    Returned("FreeStmt(SQL_CLOSE)", QVOFreeStmt(stmt_, SQL_CLOSE), SQL_SUCCESS);
    Returned("FreeStmt(SQL_UNBIND)", QVOFreeStmt(stmt_, SQL_UNBIND), SQL_SUCCESS);
    const struct {
      SQLINTEGER attribute;
      SQLPOINTER value;
    } kDefaults[] = {
        {SQL_ATTR_ROW_ARRAY_SIZE, IntValue(1)},  {SQL_ATTR_MAX_LENGTH, IntValue(0)},
        {SQL_ATTR_ROW_BIND_OFFSET_PTR, nullptr}, {SQL_ATTR_ROW_BIND_TYPE, IntValue(0)},
        {SQL_ATTR_ROWS_FETCHED_PTR, nullptr},    {SQL_ATTR_ROW_STATUS_PTR, nullptr},
    };
    for (const auto& d : kDefaults)
      Returned("SetStmtAttr(reset)", QVOSetStmtAttr(stmt_, d.attribute, d.value, 0), SQL_SUCCESS);
  }

  // ---- model state ------------------------------------------------------------------------

  const ResultModel* Current() const {
    if (exec_ < 0 || result_ < 0) return nullptr;
    return executions_[static_cast<size_t>(exec_)].results[static_cast<size_t>(result_)].get();
  }
  const ResultModel* CurrentSet() const {
    const ResultModel* r = Current();
    return r && !r->rowCount ? r : nullptr;
  }
  int Columns() const {
    const ResultModel* r = CurrentSet();
    return r ? static_cast<int>(r->columns.size()) : 0;
  }
  // The current row (0-based): the one SetPos chose, else the rowset's
  // last; -1 for none.
  int64_t CurrentRow() const {
    if (rowsetRows_ == 0) return -1;
    return positioned_ >= 0 ? positioned_ : rowsetStart_ + rowsetRows_ - 1;
  }
  void NoRow() {
    rowsetRows_ = 0;
    positioned_ = -1;
    RestartPieces();
  }
  void RestartPieces() {
    pieceColumn_ = 0;
    piecePos_ = 0;
    pieceOver_ = false;
  }
  // A new result: bindings stay, the ARD grows to its columns.
  void Enter(int exec, int result) {
    exec_ = exec;
    result_ = result;
    cursor_ = 0;
    rowKnown_ = true;
    NoRow();
    if (const ResultModel* r = CurrentSet())
      if (static_cast<int>(r->columns.size()) > ardCount_)
        ardCount_ = static_cast<int>(r->columns.size());
  }
  // The results left of the answer are read and dropped (a close or a new
  // execution).
  void Drain() {
    if (exec_ >= 0 && result_ >= 0) {
      const auto& all = executions_[static_cast<size_t>(exec_)].results;
      for (size_t r = static_cast<size_t>(result_) + 1; r < all.size(); ++r)
        if (!all[r]->rowCount && static_cast<int>(all[r]->columns.size()) > ardCount_)
          ardCount_ = static_cast<int>(all[r]->columns.size());
    }
    result_ = -1;
    cursor_ = 0;
    rowKnown_ = true;
    NoRow();
  }

  // ---- calls --------------------------------------------------------------------------------

  void Execute() {
    Drain();
    const int e = nextExec_;
    nextExec_ = (nextExec_ + 1) % static_cast<int>(executions_.size());
    Note("exec %d", e);
    const std::string& sql = executions_[static_cast<size_t>(e)].sql;
    const SQLRETURN rc =
        QVOExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    Returned("ExecDirect", rc, SQL_SUCCESS);
    Enter(e, 0);
  }

  void Step() {
    const uint8_t op = in_.Byte() % 20;
    switch (op) {
      case 0:
        // Each costs a few exchanges with the node: a few are enough.
        if (++executed_ <= kMaxExecutions) Execute();
        break;
      case 1:
      case 17:
        Fetch(SQL_FETCH_NEXT, 0, false);
        break;
      case 2:
      case 19: {
        constexpr SQLSMALLINT kOrientations[] = {
            SQL_FETCH_NEXT,     SQL_FETCH_FIRST,    SQL_FETCH_LAST,     SQL_FETCH_PRIOR,
            SQL_FETCH_ABSOLUTE, SQL_FETCH_RELATIVE, SQL_FETCH_ABSOLUTE, 7};
        const SQLSMALLINT orientation = kOrientations[in_.Byte() % 8];
        const SQLLEN offset = static_cast<int8_t>(in_.Byte()) / 4;
        Fetch(orientation, offset, true);
        break;
      }
      case 3:
        SetPos(in_.Byte() % 10);
        break;
      case 4:
      case 18:
        GetData();
        break;
      case 5:
        Bind();
        break;
      case 6:
        Unbind(1 + in_.Byte() % kMaxColumn);
        break;
      case 7: {
        Note("unbind all");
        const SQLRETURN rc = QVOFreeStmt(stmt_, SQL_UNBIND);
        Returned("FreeStmt(SQL_UNBIND)", rc, SQL_SUCCESS);
        for (Binding& b : bound_) b = Binding{};
        ardCount_ = 0;
        break;
      }
      case 8: {
        rowset_ = 1 + in_.Byte() % kMaxRowset;
        Note("rowset %d", static_cast<int>(rowset_));
        const SQLRETURN rc = QVOSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, IntValue(rowset_), 0);
        Returned("SetStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE)", rc, SQL_SUCCESS);
        break;
      }
      case 9: {
        maxLength_ = kMaxLengths[in_.Byte() % 16];
        Note("max length %d", static_cast<int>(maxLength_));
        const SQLRETURN rc = QVOSetStmtAttr(stmt_, SQL_ATTR_MAX_LENGTH,
                                            IntValue(static_cast<SQLLEN>(maxLength_)), 0);
        Returned("SetStmtAttr(SQL_ATTR_MAX_LENGTH)", rc, SQL_SUCCESS);
        break;
      }
      case 10:
        MoreResults();
        break;
      case 11:
        CloseCursor();
        break;
      case 12: {
        Note("close");
        const SQLRETURN rc = QVOFreeStmt(stmt_, SQL_CLOSE);
        Returned("FreeStmt(SQL_CLOSE)", rc, SQL_SUCCESS);
        Drain();
        break;
      }
      case 13:
        NumResultCols();
        break;
      case 14:
        RowNumber();
        break;
      case 15:
        RowCount();
        break;
      case 16:
        offset_ = kOffsets[in_.Byte() % 4];
        Note("offset %d", static_cast<int>(offset_));
        break;
      default:
        break;
    }
  }

  void NumResultCols() {
    Note("numcols");
    SQLSMALLINT n = -1;
    const SQLRETURN rc = QVONumResultCols(stmt_, &n);
    Returned("NumResultCols", rc, SQL_SUCCESS);
    if (n != Columns()) Fail("NumResultCols gave %d, the model says %d", n, Columns());
  }

  void RowNumber() {
    Note("rownumber");
    if (!rowKnown_) return;
    SQLULEN n = 0xDEAD;
    const SQLRETURN rc = QVOGetStmtAttr(stmt_, SQL_ATTR_ROW_NUMBER, &n, 0, nullptr);
    Returned("GetStmtAttr(SQL_ATTR_ROW_NUMBER)", rc, SQL_SUCCESS);
    const auto want = static_cast<SQLULEN>(CurrentRow() + 1);
    if (n != want)
      Fail("SQL_ATTR_ROW_NUMBER is %llu, the model says %llu", (unsigned long long)n,
           (unsigned long long)want);
  }

  void RowCount() {
    Note("rowcount");
    SQLLEN n = -99;
    const SQLRETURN rc = QVORowCount(stmt_, &n);
    Returned("RowCount", rc, SQL_SUCCESS);
    const ResultModel* r = Current();
    if (!r) return;
    const SQLLEN want = r->rowCount ? r->count : r->rows;
    if (n != want) Fail("RowCount gave %lld, the model says %lld", (long long)n, (long long)want);
  }

  void MoreResults() {
    Note("more");
    const SQLRETURN rc = QVOMoreResults(stmt_);
    if (exec_ >= 0 && result_ >= 0 &&
        result_ + 1 < static_cast<int>(executions_[static_cast<size_t>(exec_)].results.size())) {
      Returned("MoreResults", rc, SQL_SUCCESS);
      Enter(exec_, result_ + 1);
      return;
    }
    if (rc != SQL_NO_DATA) Fail("MoreResults returned %d after the last result", rc);
    result_ = -1;
    cursor_ = 0;
    rowKnown_ = true;
    NoRow();
  }

  void CloseCursor() {
    Note("closecursor");
    const SQLRETURN rc = QVOCloseCursor(stmt_);
    // Nothing to close: no result set, and no record in any descriptor.
    if (CurrentSet() == nullptr && ardCount_ == 0) {
      Returned("CloseCursor", rc, SQL_ERROR, -2, "24000");
      return;
    }
    Returned("CloseCursor", rc, SQL_SUCCESS);
    Drain();
  }

  void SetPos(int row) {
    Note("setpos %d", row);
    // A row of the rowset size past the rows fetched: the rules differ on it.
    if (!rowKnown_ || (row > rowsetRows_ && row <= static_cast<int>(rowset_) && rowsetRows_ > 0))
      return;
    const SQLRETURN rc = QVOSetPos(stmt_, row, SQL_POSITION, SQL_LOCK_NO_CHANGE);
    if (rowsetRows_ == 0) {
      Returned("SetPos", rc, SQL_ERROR, -2, "24000");
      return;
    }
    if (row < 1 || row > rowsetRows_) {
      Returned("SetPos", rc, SQL_ERROR, -2, row < 1 ? nullptr : "HY109");
      return;
    }
    Returned("SetPos", rc, SQL_SUCCESS);
    positioned_ = rowsetStart_ + row - 1;
    RestartPieces();
  }

  // ---- binding ------------------------------------------------------------------------------

  size_t SlotOf(int column) const { return static_cast<size_t>(column - 1) * kSlot; }

  void Bind() {
    const int column = 1 + in_.Byte() % kMaxColumn;
    const uint8_t how = in_.Byte();
    SQLLEN length = kLengths[in_.Byte() % 16];
    Binding b;
    b.active = true;
    b.cType = kTextTypes[how & 3];
    b.value = (how & 4) == 0;
    b.indicator = (how & 8) == 0 || mayBeNull_[column] || !b.value;
    // Numbers, dates and time stamps always fit; a wide buffer holds a unit.
    const SQLLEN least = Wide(b.cType) ? 2 * leastNarrow_[column] : leastNarrow_[column];
    if (length < least) length = least;
    if (length < (Wide(b.cType) ? 2 : 1)) length = Wide(b.cType) ? 2 : 1;
    if (length > kMaxBound) length = kMaxBound;
    b.length = length;
    Note("bind %d type %d len %d%s%s", column, b.cType, static_cast<int>(length),
         b.value ? "" : " no-value", b.indicator ? "" : " no-ind");
    char* data = nullptr;
    SQLLEN* ind = nullptr;
    if (rowWise_) {
      if (b.value) data = reinterpret_cast<char*>(rows_->Data() + SlotOf(column));
      if (b.indicator)
        ind = reinterpret_cast<SQLLEN*>(rows_->Data() + SlotOf(column) + kSlotIndicator);
    } else {
      if (b.value) {
        b.data = std::make_unique<Guarded>(kMaxOffset + kMaxRowset * static_cast<size_t>(length));
        data = reinterpret_cast<char*>(b.data->Data());
      }
      if (b.indicator) {
        b.lengths = std::make_unique<Guarded>(kMaxOffset + kMaxRowset * sizeof(SQLLEN));
        ind = reinterpret_cast<SQLLEN*>(b.lengths->Data());
      }
    }
    const SQLRETURN rc =
        QVOBindCol(stmt_, static_cast<SQLUSMALLINT>(column), b.cType, data, length, ind);
    Returned("BindCol", rc, SQL_SUCCESS);
    bound_[column] = std::move(b);
    if (column > ardCount_) ardCount_ = column;
  }

  void Unbind(int column) {
    Note("unbind %d", column);
    const SQLRETURN rc =
        QVOBindCol(stmt_, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, nullptr, 0, nullptr);
    Returned("BindCol(unbind)", rc, SQL_SUCCESS);
    bound_[column] = Binding{};
    if (column > ardCount_) ardCount_ = column;
  }

  static bool Bound(const Binding& b) { return b.active; }

  // ---- what a text call writes ------------------------------------------------------------

  // A value into a bound text buffer.
  Placed PlaceBound(const Cell& cell, bool character, const Binding& b) const {
    Placed p;
    const bool wide = Wide(b.cType);
    const size_t unit = wide ? 2 : 1;
    if (cell.null) {
      p.length = SQL_NULL_DATA;
      if (b.value && b.cType == SQL_C_CHAR && b.length >= 1) p.bytes.assign(1, '\0');
      if (b.value && wide && b.length >= 2) p.bytes.assign(2, '\0');
      p.write = !p.bytes.empty();
      return p;
    }
    const std::vector<std::string>& chars = wide ? cell.wide : cell.narrow;
    const size_t total = Bytes(chars);
    p.length = static_cast<SQLLEN>(total);
    p.loose = character && maxLength_ != 0;
    if (!b.value) return p;
    p.write = true;
    if (total + unit <= static_cast<size_t>(b.length)) {
      p.bytes = Joined(chars) + std::string(unit, '\0');
      return p;
    }
    // Cut on a character boundary, terminated, the whole length reported.
    const size_t room =
        wide ? (static_cast<size_t>(b.length) - 2) / 2 * 2 : static_cast<size_t>(b.length) - 1;
    size_t n = 0, k = 0;
    while (k < chars.size() && n + chars[k].size() <= room) n += chars[k++].size();
    p.bytes = Joined(chars, 0, k) + std::string(unit, '\0');
    p.truncated = true;
    return p;
  }

  // ---- fetch ----------------------------------------------------------------------------------

  void Fetch(SQLSMALLINT orientation, SQLLEN offset, bool scroll) {
    Note(scroll ? "scroll %d %d" : "fetch", orientation, static_cast<int>(offset));
    const SQLRETURN rc = scroll ? QVOFetchScroll(stmt_, orientation, offset) : QVOFetch(stmt_);
    const ResultModel* set = CurrentSet();
    const bool valid = orientation >= SQL_FETCH_NEXT && orientation <= SQL_FETCH_RELATIVE &&
                       !(orientation == SQL_FETCH_ABSOLUTE && offset < 0);
    if (set == nullptr) {
      // A row count, or no result at all: nothing to fetch, and the cursor
      // stays where it was.
      const char* state = Current() != nullptr ? "HY010" : nullptr;
      if (valid)
        Returned(scroll ? "FetchScroll" : "Fetch", rc, SQL_NO_DATA, -2, nullptr);
      else
        Returned("FetchScroll", rc, SQL_ERROR, SQL_NO_DATA);
      if (rc == SQL_NO_DATA && state && valid && State() != state)
        Fail("fetch on a row count returned 100 with '%s', the model says %s", State().c_str(),
             state);
      NoRow();
      FetchedMay0();
      CheckBuffers("fetch without a result set");
      return;
    }
    const int64_t N = set->rows;
    const int64_t R = static_cast<int64_t>(rowset_);
    const int64_t C = cursor_;
    int64_t from = C;
    switch (orientation) {
      case SQL_FETCH_NEXT:
        break;
      case SQL_FETCH_FIRST:
        from = 0;
        break;
      case SQL_FETCH_LAST:
        if (N < 1) return NoData(rc, "LAST on an empty result");
        from = N - 1;
        break;
      case SQL_FETCH_PRIOR:
        if (C >= 2 * R) {
          from = C % R != 0 ? C - R - C % R : C - 2 * R;
        } else if (C >= R) {
          // Back before the first rowset: nothing fetched, no row.
          Returned("FetchScroll(PRIOR)", rc, SQL_SUCCESS);
          cursor_ = 0;
          NoRow();
          if (fetched_) PutLen(*fetched_, 0, 0);
          CheckBuffers("PRIOR to the start");
          return;
        } else {
          return NoData(rc, "PRIOR before the first rowset");
        }
        break;
      case SQL_FETCH_ABSOLUTE:
        if (offset < 0) {
          Returned("FetchScroll(ABSOLUTE -n)", rc, SQL_ERROR);
          rowKnown_ = false;
          CheckBuffers("ABSOLUTE -n");
          return;
        }
        if (offset == 0) {
          from = 0;
        } else {
          if (offset - 1 > N) return NoData(rc, "ABSOLUTE past the end");
          from = offset - 1;
        }
        break;
      case SQL_FETCH_RELATIVE: {
        const int64_t t = C + offset;
        if (t - 1 < 0 || t - 1 > N) return NoData(rc, "RELATIVE out of the result");
        from = offset < 1 ? t : t - 1;
        break;
      }
      default:
        Returned("FetchScroll(unknown orientation)", rc, SQL_ERROR);
        rowKnown_ = false;
        CheckBuffers("unknown orientation");
        return;
    }
    cursor_ = from;
    rowKnown_ = true;
    NoRow();
    if (from >= N) {
      if (rc != SQL_NO_DATA)
        Fail("fetch from row %lld of %lld returned %d, the model says 100", (long long)from,
             (long long)N, rc);
      if (fetched_) PutLen(*fetched_, 0, 0);
      CheckBuffers("fetch past the end");
      return;
    }
    const int64_t rows = R < N - from ? R : N - from;
    bool truncated = false, loose = false;
    ExpectRows(rc, *set, from, rows, &truncated, &loose);
    if (loose)
      Returned("Fetch", rc, truncated ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS, SQL_SUCCESS_WITH_INFO);
    else
      Returned("Fetch", rc, truncated ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS, -2,
               truncated ? "01004" : nullptr);
    rowsetStart_ = from;
    rowsetRows_ = rows;
    cursor_ = from + rows;
    TakeLoose(*set, from, rows);
    CheckBuffers("fetched rowset");
  }

  // A scroll that returns 100 at once: no row, the cursor where it was.
  void NoData(SQLRETURN rc, const char* why) {
    if (rc != SQL_NO_DATA) Fail("FetchScroll returned %d, the model says 100 (%s)", rc, why);
    rowKnown_ = true;
    NoRow();
    FetchedMay0();
    CheckBuffers(why);
  }

  // The rows-fetched value of a call that fetched nothing: 0, or left as it was.
  void FetchedMay0() {
    if (!fetched_) return;
    SQLULEN have;
    std::memcpy(&have, fetched_->Data(), sizeof have);
    if (have == 0) PutLen(*fetched_, 0, 0);
  }

  // The buffers of the bound columns for rows [from, from + rows) of the
  // result, the status array and the rows fetched.
  void ExpectRows(SQLRETURN rc, const ResultModel& set, int64_t from, int64_t rows, bool* truncated,
                  bool* loose) {
    std::vector<int> rowState(static_cast<size_t>(rows), 0);  // 1 cut, 2 maybe cut
    const int columns = static_cast<int>(set.columns.size());
    for (int c = 1; c <= columns && c <= kMaxColumn; ++c) {
      const Binding& b = bound_[c];
      if (!Bound(b)) continue;
      const bool character = IsCharacter(set.columns[static_cast<size_t>(c - 1)].kind);
      for (int64_t i = 0; i < rows; ++i) {
        const Placed p = PlaceBound(set.At(from + i, c), character, b);
        if (p.loose) {
          rowState[static_cast<size_t>(i)] = 2;
          *loose = true;
        } else if (p.truncated) {
          rowState[static_cast<size_t>(i)] = 1;
          *truncated = true;
        }
        if (p.write && !p.loose) {
          Guarded& g = rowWise_ ? *rows_ : *b.data;
          g.Expect(DataAt(c, b, i), p.bytes.data(), p.bytes.size());
          if (p.length != SQL_NULL_DATA)
            g.TakeTail(DataAt(c, b, i) + p.bytes.size(),
                       static_cast<size_t>(b.length) - p.bytes.size());
        }
        if (b.indicator && !p.loose)
          PutLen(rowWise_ ? *rows_ : *b.lengths, IndicatorAt(c, i), p.length);
      }
    }
    if (fetched_) PutLen(*fetched_, 0, static_cast<SQLLEN>(rows));
    if (status_) {
      for (int64_t i = 0; i < static_cast<int64_t>(rowset_); ++i) {
        SQLUSMALLINT s = i < rows ? SQL_ROW_SUCCESS : SQL_ROW_NOROW;
        if (i < rows && rowState[static_cast<size_t>(i)] != 0) {
          // A cut row: SQL_ROW_SUCCESS_WITH_INFO, or SQL_ROW_SUCCESS.
          SQLUSMALLINT have;
          std::memcpy(&have, status_->Data() + 2 * i, 2);
          if (have != SQL_ROW_SUCCESS && have != SQL_ROW_SUCCESS_WITH_INFO)
            Fail("fetch returned %d, row %lld of the rowset has status %d, the model says 0 or 6",
                 rc, (long long)i, have);
          s = have;
        }
        status_->Expect(static_cast<size_t>(2 * i), &s, sizeof s);
      }
    }
  }

  size_t DataAt(int c, const Binding& b, int64_t row) const {
    if (rowWise_)
      return static_cast<size_t>(offset_) + static_cast<size_t>(row) * kRowBytes + SlotOf(c);
    return static_cast<size_t>(offset_) + static_cast<size_t>(row) * static_cast<size_t>(b.length);
  }
  size_t IndicatorAt(int c, int64_t row) const {
    if (rowWise_)
      return static_cast<size_t>(offset_) + static_cast<size_t>(row) * kRowBytes + SlotOf(c) +
             kSlotIndicator;
    return static_cast<size_t>(offset_) + static_cast<size_t>(row) * sizeof(SQLLEN);
  }

  // Text cut under SQL_ATTR_MAX_LENGTH: a terminated prefix of the value
  // inside the buffer, its indicator between the prefix and the whole.
  void TakeLoose(const ResultModel& set, int64_t from, int64_t rows) {
    const int columns = static_cast<int>(set.columns.size());
    for (int c = 1; c <= columns && c <= kMaxColumn; ++c) {
      const Binding& b = bound_[c];
      if (!Bound(b)) continue;
      if (!IsCharacter(set.columns[static_cast<size_t>(c - 1)].kind) || maxLength_ == 0) continue;
      const bool wide = Wide(b.cType);
      const size_t unit = wide ? 2 : 1;
      for (int64_t i = 0; i < rows; ++i) {
        const Cell& cell = set.At(from + i, c);
        if (cell.null) continue;
        const std::string whole = Joined(wide ? cell.wide : cell.narrow);
        if (!b.value) {
          TakeLooseLength(b, c, i, 0, whole.size());
          continue;
        }
        Guarded& g = rowWise_ ? *rows_ : *b.data;
        const size_t at = DataAt(c, b, i);
        const unsigned char* have = g.Data() + at;
        size_t n = 0;
        while (n + unit <= static_cast<size_t>(b.length) &&
               std::memcmp(have + n, std::string(unit, '\0').data(), unit) != 0)
          n += unit;
        if (n + unit > static_cast<size_t>(b.length))
          Fail("column %d row %lld under SQL_ATTR_MAX_LENGTH: no terminator in the buffer", c,
               (long long)i);
        if (n > whole.size() || std::memcmp(have, whole.data(), n) != 0)
          Fail("column %d row %lld under SQL_ATTR_MAX_LENGTH: not a prefix of the value", c,
               (long long)i);
        g.Take(at, n + unit);
        g.TakeTail(at + n + unit, static_cast<size_t>(b.length) - n - unit);
        TakeLooseLength(b, c, i, n, whole.size());
      }
    }
  }

  void TakeLooseLength(const Binding& b, int c, int64_t i, size_t least, size_t most) {
    if (!b.indicator) return;
    SQLLEN length;
    Guarded& l = rowWise_ ? *rows_ : *b.lengths;
    std::memcpy(&length, l.Data() + IndicatorAt(c, i), sizeof length);
    if (length < static_cast<SQLLEN>(least) || length > static_cast<SQLLEN>(most))
      Fail("column %d row %lld under SQL_ATTR_MAX_LENGTH: length %lld for %zu of %zu bytes", c,
           (long long)i, (long long)length, least, most);
    PutLen(l, IndicatorAt(c, i), length);
  }

  void CheckBuffers(const char* after) {
    if (rows_) rows_->Check(after);
    for (const Binding& b : bound_) {
      if (b.data) b.data->Check(after);
      if (b.lengths) b.lengths->Check(after);
    }
    if (fetched_) fetched_->Check(after);
    if (status_) status_->Check(after);
  }

  // ---- GetData --------------------------------------------------------------------------------

  void GetData() {
    const int column = in_.Byte() % (kMaxColumn + 1);
    const uint8_t how = in_.Byte();
    const SQLLEN asked = kLengths[in_.Byte() % 16];
    SQLSMALLINT cType = kTextTypes[how & 3];
    const bool noTarget = (how & 4) != 0;
    const bool noIndicator = (how & 8) != 0;
    const int calls = 1 + (how >> 4) % kMaxPieces;
    // A value read in part goes on in the width it started in.
    if (column == pieceColumn_ && (piecePos_ > 0 || pieceOver_) && Wide(cType) != pieceWide_)
      cType = pieceWide_ ? SQL_C_WCHAR : SQL_C_CHAR;
    Note("getdata %d type %d len %d x%d%s%s", column, cType, static_cast<int>(asked), calls,
         noTarget ? " no-target" : "", noIndicator ? " no-ind" : "");
    if (!rowKnown_) return;
    for (int k = 0; k < calls; ++k)
      if (!GetDataOnce(column, cType, asked, noTarget, noIndicator)) break;
  }

  // One call; false when another would only repeat its answer.
  bool GetDataOnce(int column, SQLSMALLINT cType, SQLLEN asked, bool noTarget, bool noIndicator) {
    const bool wide = Wide(cType);
    const size_t unit = wide ? 2 : 1;
    const int64_t row = CurrentRow();
    const ResultModel* set = CurrentSet();
    const Cell* cell =
        set && row >= 0 && column >= 1 && column <= Columns() ? &set->At(row, column) : nullptr;
    const bool character = cell && IsCharacter(set->columns[static_cast<size_t>(column - 1)].kind);
    SQLLEN length = asked;
    // Numbers, dates and time stamps are read into buffers that hold them.
    if (cell && !cell->null && !character && !noTarget) {
      const auto need = static_cast<SQLLEN>((cell->narrow.size() + 1) * unit);
      if (length < need) length = need;
    }
    Guarded target(static_cast<size_t>(length));
    Guarded indicator(sizeof(SQLLEN));
    const SQLRETURN rc = QVOGetData(
        stmt_, static_cast<SQLUSMALLINT>(column), cType, noTarget ? nullptr : target.Data(), length,
        noIndicator ? nullptr : reinterpret_cast<SQLLEN*>(indicator.Data()));
    auto refused = [&](const char* call, const char* state) {
      Returned(call, rc, SQL_ERROR, -2, state);
      indicator.Check(call);
      target.Check(call);
      return false;
    };
    if (row < 0) return refused("GetData without a current row", "24000");
    if (column == 0) return refused("GetData(column 0)", "07009");
    if (cell == nullptr) return refused("GetData(column past the result)", nullptr);
    if (cell->null) {
      if (noIndicator) return refused("GetData(NULL without indicator)", "22002");
      Returned("GetData(NULL)", rc, SQL_SUCCESS);
      PutLen(indicator, 0, SQL_NULL_DATA);
      if (!noTarget && cType == SQL_C_CHAR && length >= 1) target.Expect(0, "", 1);
      if (!noTarget && wide && length >= 2) target.Expect(0, "\0", 2);
      indicator.Check("GetData indicator of a NULL");
      target.Check("GetData target of a NULL");
      return true;
    }
    const std::vector<std::string>& chars = wide ? cell->wide : cell->narrow;
    const size_t total = Bytes(chars);
    // The text of a number, date or time stamp comes in pieces too (here one
    // that holds it whole, then 100); SQL_ATTR_MAX_LENGTH caps only
    // character data.
    return Piece(rc, column, wide, chars, total, target, indicator, noTarget, noIndicator, length,
                 character);
  }

  // A value's text handed out in pieces (see the brief of the fix: pieces
  // end on character boundaries; SQL_ATTR_MAX_LENGTH caps a piece of
  // character data but never stops a read from ending nor makes a call a
  // length query).
  bool Piece(SQLRETURN rc, int column, bool wide, const std::vector<std::string>& chars,
             size_t total, Guarded& target, Guarded& indicator, bool noTarget, bool noIndicator,
             SQLLEN length, bool capped) {
    const size_t unit = wide ? 2 : 1;
    if (pieceColumn_ != column) {
      pieceColumn_ = column;
      piecePos_ = 0;
      pieceOver_ = false;
    }
    pieceWide_ = wide;
    // Characters handed out so far, and the bytes they take.
    size_t done = 0, first = 0;
    while (first < chars.size() && done < piecePos_) done += chars[first++].size();
    const size_t left = total - done;
    auto checkAll = [&](const char* what) {
      indicator.Check(what);
      target.Check(what);
    };
    if (noTarget || length < static_cast<SQLLEN>(unit)) {
      // A length query: the whole length (or, without a target, what is
      // left), nothing written, the position kept.
      Returned("GetData(length query)", rc, SQL_SUCCESS);
      if (!noIndicator) {
        SQLLEN have;
        std::memcpy(&have, indicator.Data(), sizeof have);
        const bool ok = have == static_cast<SQLLEN>(total) ||
                        (noTarget && have == static_cast<SQLLEN>(pieceOver_ ? 0 : left));
        if (!ok)
          Fail("GetData length query gave %lld, the model says %zu (left %zu)", (long long)have,
               total, pieceOver_ ? 0 : left);
        PutLen(indicator, 0, have);
      }
      checkAll("GetData length query");
      return true;
    }
    if (pieceOver_) {
      if (rc != SQL_NO_DATA)
        Fail("GetData after the last piece returned %d, the model says 100", rc);
      checkAll("GetData after the last piece");
      return false;
    }
    const size_t own = static_cast<size_t>(length) / unit;
    size_t room = static_cast<size_t>(length);
    if (capped && maxLength_ != 0 && maxLength_ < room) room = maxLength_;
    const size_t roomUnits = room / unit;
    const size_t restUnits = left / unit;
    std::string piece;
    SQLRETURN want;
    bool emptyPiece = false;
    if (restUnits + 1 <= roomUnits || restUnits == 0) {
      piece = Joined(chars, first);
      want = SQL_SUCCESS;
      pieceOver_ = true;
    } else {
      size_t k = first, units = 0;
      while (k < chars.size() && roomUnits >= 1 && units + chars[k].size() / unit <= roomUnits - 1)
        units += chars[k++].size() / unit;
      if (k > first) {
        piece = Joined(chars, first, k - first);
        want = SQL_SUCCESS_WITH_INFO;
        piecePos_ += piece.size();
      } else if (own >= chars[first].size() / unit + 1) {
        piece = chars[first];
        piecePos_ += piece.size();
        want = piece.size() == left ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
        if (want == SQL_SUCCESS) pieceOver_ = true;
      } else {
        emptyPiece = true;
        want = SQL_SUCCESS_WITH_INFO;
      }
    }
    Returned("GetData(piece)", rc, want, -2, want == SQL_SUCCESS_WITH_INFO ? "01004" : nullptr);
    if (!noIndicator) PutLen(indicator, 0, static_cast<SQLLEN>(left));
    const std::string zero(unit, '\0');
    if (emptyPiece) {
      // Nothing of the value fits: the terminator alone, or nothing.
      if (std::memcmp(target.Data(), zero.data(), unit) == 0) target.Expect(0, zero.data(), unit);
    } else {
      piece += zero;
      target.Expect(0, piece.data(), piece.size());
      target.TakeTail(piece.size(), static_cast<size_t>(length) - piece.size());
    }
    checkAll("GetData piece");
    return true;
  }

  Input& in_;
  CodeSet set_ = kUtf8;
  bool old_ = false;
  bool rowWise_ = false;
  int timestampPrecision_ = 0;
  std::vector<Execution> executions_;
  fake::FakeNode* node_ = nullptr;
  SQLHSTMT stmt_ = SQL_NULL_HANDLE;

  SQLLEN leastNarrow_[kMaxColumn + 1] = {};
  bool mayBeNull_[kMaxColumn + 1] = {};
  Binding bound_[kMaxColumn + 1];
  int ardCount_ = 0;
  std::unique_ptr<Guarded> rows_;
  std::unique_ptr<Guarded> fetched_;
  std::unique_ptr<Guarded> status_;
  SQLLEN offset_ = 0;
  SQLULEN rowset_ = 1;
  SQLULEN maxLength_ = 0;

  int nextExec_ = 0;
  int executed_ = 0;
  int exec_ = -1;
  int result_ = -1;
  int64_t cursor_ = 0;
  bool rowKnown_ = true;  // false after a failed scroll, until a new rowset or result
  int64_t rowsetStart_ = 0;
  int64_t rowsetRows_ = 0;
  int64_t positioned_ = -1;
  int pieceColumn_ = 0;
  bool pieceWide_ = false;
  size_t piecePos_ = 0;  // bytes (narrow) or bytes of units (wide) handed out
  bool pieceOver_ = false;
};

}  // namespace

// FETCH_SEQUENCE_TRACE=1 lists the calls of every input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return oracle::RunInput<Run>("fetch_sequence_fuzz", "FETCH_SEQUENCE_TRACE", data, size);
}
