#include "protocol/qvoAnswerReader.h"

#include <bit>
#include <cstring>
#include <limits>

#include "common/qvoByteOrder.h"
#include "common/qvoTypeCodes.h"

bool qvoAnswerCursor::Bytes(size_t n, const char** p) {
  if (n > Remaining()) return false;
  if (p) *p = data + pos;
  pos += n;
  return true;
}

bool qvoAnswerCursor::Skip(size_t n) { return Bytes(n, nullptr); }

bool qvoAnswerCursor::Int8(qvo_int8* v) {
  const char* p = nullptr;
  if (!Bytes(1, &p)) return false;
  *v = static_cast<qvo_int8>(*p);
  return true;
}

bool qvoAnswerCursor::Int32(qvo_int32* v) {
  const char* p = nullptr;
  if (!Bytes(4, &p)) return false;
  *v = qvoGetLE32(p);
  return true;
}

bool qvoAnswerCursor::Int64(qvo_int64* v) {
  const char* p = nullptr;
  if (!Bytes(8, &p)) return false;
  *v = qvoGetLE64(p);
  return true;
}

bool qvoAnswerCursor::Text(std::string_view* text) {
  const size_t start = pos;
  qvo_int32 n = 0;
  const char* p = nullptr;
  if (!Int32(&n) || n < 0 || !Bytes(static_cast<size_t>(n), &p)) {
    pos = start;
    return false;
  }
  *text = std::string_view(p, static_cast<size_t>(n));
  return true;
}

qvoReadStatus ReadResultSetHeader(qvoAnswerCursor& in, qvoResultSetHeader* h) {
  if (!in.Int32(&h->handle) || !in.Int32(&h->columns) || !in.Int64(&h->totalRows) ||
      !in.Int64(&h->rowsHere))
    return qvoReadStatus::Malformed;
  // A description takes at least 8 bytes (name length and type).
  if (h->columns < 0 || h->columns > std::numeric_limits<SQLSMALLINT>::max() ||
      static_cast<size_t>(h->columns) > in.Remaining() / 8)
    return qvoReadStatus::Malformed;
  if (h->totalRows < 0 || h->rowsHere < 0) return qvoReadStatus::Malformed;
  return qvoReadStatus::Ok;
}

qvoReadStatus ReadColumnDescription(qvoAnswerCursor& in, qvoColumnDescription* c) {
  *c = qvoColumnDescription{};
  if (!in.Text(&c->name) || !in.Int32(&c->serverType)) return qvoReadStatus::Malformed;
  switch (c->serverType) {
    case _DECIMAL:
    case _SMALLDECIMAL:
    case _BIGDECIMAL:
      if (!in.Int32(&c->precision) || !in.Int32(&c->scale) || c->precision < 0 || c->scale < 0)
        return qvoReadStatus::Malformed;
      return qvoReadStatus::Ok;
    case _CHAR:
    case _INTERVAL_MONTH:
    case _INTERVAL_DAY: {
      qvo_int8 flags = 0;
      if (!in.Int8(&flags) || !in.Int32(&c->size) || !in.Int32(&c->octetLength))
        return qvoReadStatus::Malformed;
      // The row width is the octet length plus its length word.
      if (c->size < 0 || c->octetLength < 0 ||
          c->octetLength > std::numeric_limits<qvo_int32>::max() - 4)
        return qvoReadStatus::Malformed;
      c->charFlags = static_cast<qvo_uint8>(flags);
      return qvoReadStatus::Ok;
    }
    case _DOUBLE:
    case _BOOLEAN:
    case _DATE:
    case _TIMESTAMP:
    case _TIMESTAMP_UTC:
      return qvoReadStatus::Ok;
    default:
      return qvoReadStatus::UnknownType;
  }
}

qvoReadStatus ReadException(qvoAnswerCursor& in, std::string_view* text, std::string_view* state) {
  const char* p = nullptr;
  if (!in.Text(text) || !in.Bytes(5, &p)) return qvoReadStatus::Malformed;
  *state = std::string_view(p, 5);
  return qvoReadStatus::Ok;
}

bool IsCharacterBlockType(SQLSMALLINT qvoType) { return qvoType == _CHAR || qvoType == _VARCHAR; }

namespace {

void ToHost16(char* p) {
  const qvo_int16 v = qvoGetLE16(p);
  std::memcpy(p, &v, sizeof v);
}
void ToHost32(char* p) {
  const qvo_int32 v = qvoGetLE32(p);
  std::memcpy(p, &v, sizeof v);
}
void ToHost64(char* p) {
  const qvo_int64 v = qvoGetLE64(p);
  std::memcpy(p, &v, sizeof v);
}

// Converts one value in place; never beyond the column's width.
void ConvertValue(char* p, const qvoBlockColumn& col) {
  const SQLINTEGER w = col.qvoTypeLen;
  switch (col.qvoType) {
    case _CHAR:
    case _VARCHAR:
      ToHost32(p);
      break;
    case _SMALLDECIMAL:
      if (w >= 4) ToHost32(p);
      break;
    case _DECIMAL:
      if (w >= 8)
        ToHost64(p);
      else if (w >= 4)
        ToHost32(p);
      break;
    case _BIGDECIMAL:
      if (w >= 16) {
        ToHost64(p);
        ToHost64(p + 8);
      }
      break;
    case _DOUBLE:
      if (w >= 8) ToHost64(p);
      break;
    case _DATE:
      if (w >= 4) ToHost16(p + 2);
      break;
    case _TIMESTAMP:
    case _TIMESTAMP_UTC:
      if (w >= 11) {
        ToHost16(p);
        ToHost32(p + 7);
      }
      break;
    default:
      break;
  }
}

// The fewest bytes a value of each fixed-width type takes: what the
// conversions read of it. Any other type takes at least one byte.
struct MinimumWidth {
  SQLSMALLINT qvoType;
  SQLINTEGER width;
};
constexpr MinimumWidth kMinimumWidths[] = {
    {_SMALLDECIMAL, 4}, {_DECIMAL, 4}, {_BIGDECIMAL, 16}, {_DOUBLE, 8},
    {_DATE, 4},         {_BOOLEAN, 1}, {_TIMESTAMP, 11},  {_TIMESTAMP_UTC, 11},
};

bool WidthFitsType(const qvoBlockColumn& col) {
  for (const MinimumWidth& m : kMinimumWidths)
    if (m.qvoType == col.qvoType) return col.qvoTypeLen >= m.width;
  return col.qvoTypeLen >= 1;
}

// Values arrive little-endian: on a little-endian host they already are in
// host order and only their addresses are taken.
constexpr bool kConvert = std::endian::native != std::endian::little;

// A text column: flag, then for a value a length word and that many bytes,
// no more than the column's octet length. Returns the position after the
// column, or 0 (never a valid end: every value takes its flag) when a value
// does not fit.
size_t IndexTextColumn(char* block, size_t length, size_t pos, const qvoBlockColumn& col,
                       qvo_int64 rows, void** column) {
  const size_t maxText = static_cast<size_t>(col.qvoTypeLen) - 4;
  for (qvo_int64 r = 1; r <= rows; ++r) {
    if (pos >= length) return 0;
    const bool isValue = block[pos++] != 0;
    char* value = block + pos;
    column[r] = value;
    if (__builtin_expect(!isValue, 0)) continue;
    if (length - pos < 4) return 0;
    const auto n = static_cast<qvo_uint32>(qvoGetLE32(value));
    if (n > maxText || n > length - pos - 4) return 0;
    if constexpr (kConvert) ConvertValue(value, col);
    pos += 4 + n;
  }
  return pos;
}

// A fixed-width column: flag, then for a value `width` bytes. When the rest
// of the block holds every row at full width no value can overrun it, and
// the loop runs without a test per value.
size_t IndexFixedColumn(char* block, size_t length, size_t pos, const qvoBlockColumn& col,
                        qvo_int64 rows, void** column) {
  const auto width = static_cast<size_t>(col.qvoTypeLen);
  const auto count = static_cast<size_t>(rows);
  if ((length - pos) / (width + 1) >= count) {
    for (size_t r = 1; r <= count; ++r) {
      column[r] = block + pos + 1;
      if (__builtin_expect(block[pos] != 0, 1)) {
        if constexpr (kConvert) ConvertValue(block + pos + 1, col);
        pos += 1 + width;
      } else {
        pos += 1;
      }
    }
    return pos;
  }
  for (size_t r = 1; r <= count; ++r) {
    if (pos >= length) return 0;
    const bool isValue = block[pos++] != 0;
    column[r] = block + pos;
    if (!isValue) continue;
    if (width > length - pos) return 0;
    if constexpr (kConvert) ConvertValue(block + pos, col);
    pos += width;
  }
  return pos;
}

}  // namespace

bool RowBlockCanHold(size_t length, size_t columns, qvo_int64 rows) {
  if (rows < 0) return false;
  if (columns == 0 || rows == 0) return true;
  return static_cast<qvo_uint64>(rows) <= length / columns;
}

qvo_int64 IndexRowBlock(char* block, size_t length, const std::vector<qvoBlockColumn>& cols,
                        qvo_int64 rows, void*** table) {
  if (!RowBlockCanHold(length, cols.size(), rows)) return -1;
  if (cols.empty() || rows == 0) return 0;
  if (block == nullptr || table == nullptr) return -1;
  // Widths are tested once per column, before any value of it is read.
  for (const qvoBlockColumn& col : cols) {
    if (IsCharacterBlockType(col.qvoType) ? col.qvoTypeLen < 4 : !WidthFitsType(col)) return -1;
  }
  size_t pos = 0;
  for (size_t c = 0; c < cols.size(); ++c) {
    const qvoBlockColumn& col = cols[c];
    pos = IsCharacterBlockType(col.qvoType)
              ? IndexTextColumn(block, length, pos, col, rows, table[c + 1])
              : IndexFixedColumn(block, length, pos, col, rows, table[c + 1]);
    if (pos == 0) return -1;
  }
  return static_cast<qvo_int64>(pos);
}

size_t IndexedValueBytes(const char* value, const qvoBlockColumn& col) {
  if (value[-1] == 0) return 0;
  if (!IsCharacterBlockType(col.qvoType)) return static_cast<size_t>(col.qvoTypeLen);
  // In host order once indexed; the indexing pass checked it against the
  // block.
  qvo_int32 n;
  std::memcpy(&n, value, sizeof n);
  return 4 + static_cast<size_t>(static_cast<qvo_uint32>(n));
}
