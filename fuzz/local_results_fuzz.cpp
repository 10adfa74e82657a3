// libFuzzer target over the results the library answers itself, written in
// the server's layout and read back by the ordinary answer parser:
//   bit 0 of the first byte clear: a result made from the input (columns of
//     the writer's types, their sizes, rows of values) is fetched through
//     QVOFetch and QVOGetData, and every value read must be the one
//     written;
//   bit 0 set: QVOColumns for one table through the columns micro-cache:
//     the node's answer to get_columns (the rest of the input, answer after
//     answer) fills the cache, whose rows the library then answers as a
//     local result, fetched and read as text.
// Bits 1-2 choose the column name asked for (none, a pattern, a name).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/qvoTypeCodes.h"
#include "fuzz_session.h"
#include "protocol/qvoLocalResults.h"

namespace {

constexpr size_t kGuard = 8;
constexpr char kFill = '#';

// Bytes of the input, taken from the front.
struct Input {
  const uint8_t* p;
  size_t n;
  uint8_t Byte() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
  int32_t Int32() {
    int32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<int32_t>(Byte()) << (8 * k);
    return v;
  }
  int64_t Int64() {
    return static_cast<int64_t>(static_cast<uint32_t>(Int32())) | int64_t{Int32()} << 32;
  }
  std::string_view Text(size_t max) {
    const size_t k = std::min<size_t>(Byte() % (max + 1), n);
    const std::string_view t(reinterpret_cast<const char*>(p), k);
    p += k;
    n -= k;
    return t;
  }
};

struct Column {
  qvo_int32 type;
  qvo_int32 size;  // VARCHAR characters
};

struct Cell {
  bool null = false;
  int64_t number = 0;
  std::string text;
  qvoTimestampValue time;
};

// Fields a time stamp can have (the layout's bytes are signed: others do
// not come back as they went).
bool Calendar(const qvoTimestampValue& t) {
  return t.month <= 12 && t.day <= 31 && t.hour < 24 && t.minute < 60 && t.second < 62;
}

bool PlainAscii(std::string_view t) {
  for (char c : t)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

void WrittenAndRead(SQLHSTMT stmt, qvoStatement& s, Input in) {
  constexpr qvo_int32 kTypes[] = {_VARCHAR, _SMALLDECIMAL, _DECIMAL, _TIMESTAMP};
  const int columns = 1 + in.Byte() % 4;
  const int rows = in.Byte() % 9;
  std::vector<Column> cols;
  qvoLocalResultWriter writer(-20, columns);
  for (int c = 0; c < columns; ++c) {
    const uint8_t b = in.Byte();
    Column col{kTypes[b & 3], 1 + (b >> 2)};
    cols.push_back(col);
    writer.AddColumn(in.Text(8), col.type, col.type == _DECIMAL ? 18 : col.size, 0);
  }
  // Column by column, as the layout has it.
  std::vector<std::vector<Cell>> cells(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    for (int r = 0; r < rows; ++r) {
      Cell v;
      v.null = (in.Byte() & 7) == 0;
      if (v.null) {
        writer.AddNull();
      } else {
        switch (cols[c].type) {
          case _VARCHAR:
            v.text = in.Text(static_cast<size_t>(cols[c].size));
            writer.Add_SQLVARCHAR(v.text, 0);
            break;
          case _SMALLDECIMAL:
            v.number = in.Int32();
            writer.Add_SQLINTEGER(static_cast<SQLINTEGER>(v.number), 0);
            break;
          case _DECIMAL:
            v.number = in.Int64();
            writer.Add_SQLBIGINT(v.number, 0);
            break;
          default:
            v.time.year = static_cast<qvo_int16>(in.Int32());
            v.time.month = in.Byte();
            v.time.day = in.Byte();
            v.time.hour = in.Byte();
            v.time.minute = in.Byte();
            v.time.second = in.Byte();
            v.time.fraction = in.Int32();
            writer.Add_TIMESTAMP(v.time);
            break;
        }
      }
      cells[c].push_back(v);
    }
  }
  if (!SQL_SUCCEEDED(s.TakeLocalResult(writer, rows))) return;

  SQLSMALLINT described = 0;
  if (QVONumResultCols(stmt, &described) != SQL_SUCCESS || described != columns) __builtin_trap();
  for (int r = 0; r < rows; ++r) {
    if (!SQL_SUCCEEDED(QVOFetch(stmt))) __builtin_trap();
    for (int c = 0; c < columns; ++c) {
      const Cell& v = cells[c][r];
      const SQLUSMALLINT n = static_cast<SQLUSMALLINT>(c + 1);
      SQLLEN ind = 0;
      SQLRETURN rc;
      switch (cols[c].type) {
        case _VARCHAR: {
          char text[64 + 1 + kGuard];
          std::memset(text, kFill, sizeof text);
          rc = QVOGetData(stmt, n, SQL_C_CHAR, text, 65, &ind);
          if (rc == SQL_SUCCESS && !v.null && PlainAscii(v.text) &&
              (ind != static_cast<SQLLEN>(v.text.size()) || v.text != text))
            __builtin_trap();
          if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) CheckText(text, 65, kGuard, kFill);
          break;
        }
        case _SMALLDECIMAL:
        case _DECIMAL: {
          SQLBIGINT number = 0;
          rc = QVOGetData(stmt, n, SQL_C_SBIGINT, &number, 0, &ind);
          if (rc == SQL_SUCCESS && !v.null && number != v.number) __builtin_trap();
          break;
        }
        default: {
          SQL_TIMESTAMP_STRUCT t{};
          rc = QVOGetData(stmt, n, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind);
          if (rc == SQL_SUCCESS && !v.null &&
              (t.year != v.time.year || t.month != v.time.month || t.day != v.time.day ||
               t.hour != v.time.hour || t.minute != v.time.minute || t.second != v.time.second) &&
              Calendar(v.time))
            __builtin_trap();
          break;
        }
      }
      if (SQL_SUCCEEDED(rc) && (ind == SQL_NULL_DATA) != v.null) __builtin_trap();
    }
  }
  if (QVOFetch(stmt) != SQL_NO_DATA) __builtin_trap();
}

void ColumnsFromCache(SQLHSTMT stmt, int columnName) {
  static const char* const kNames[] = {nullptr, "A%", "COL_1", ""};
  const char* name = kNames[columnName & 3];
  if (!SQL_SUCCEEDED(QVOColumns(stmt, nullptr, 0, Sql("S"), SQL_NTS, Sql("T"), SQL_NTS,
                                name ? Sql(name) : nullptr, name ? SQL_NTS : 0)))
    return;
  SQLSMALLINT columns = 0;
  QVONumResultCols(stmt, &columns);
  for (int r = 0; r < 1000 && SQL_SUCCEEDED(QVOFetch(stmt)); ++r) {
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      char text[24 + kGuard];
      std::memset(text, kFill, sizeof text);
      SQLLEN ind = 0;
      const SQLRETURN rc = QVOGetData(stmt, c, SQL_C_CHAR, text, 24, &ind);
      if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) CheckText(text, 24, kGuard, kFill);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  if (flags & 1) {
    FuzzSession session(data + 1, size - 1, 13);
    if (session.Ready()) ColumnsFromCache(session.stmt, flags >> 1);
  } else {
    FuzzSession session(nullptr, 0, 13);
    if (session.Ready()) WrittenAndRead(session.stmt, *session.s, Input{data + 1, size - 1});
  }
  return 0;
}
