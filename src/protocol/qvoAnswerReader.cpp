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

// The bytes one non-NULL value takes after its flag at p (length bytes
// left), or 0 when it does not fit.
size_t ValueWidth(const char* p, size_t left, const qvoBlockColumn& col) {
  if (IsCharacterBlockType(col.qvoType)) {
    if (left < 4) return 0;
    const qvo_int32 n = qvoGetLE32(p);
    if (n < 0 || static_cast<size_t>(n) > left - 4) return 0;
    return 4 + static_cast<size_t>(n);
  }
  if (col.qvoTypeLen <= 0 || static_cast<size_t>(col.qvoTypeLen) > left) return 0;
  return static_cast<size_t>(col.qvoTypeLen);
}

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

}  // namespace

qvo_int64 MeasureRowBlock(const char* block, size_t length, const std::vector<qvoBlockColumn>& cols,
                          qvo_int64 rows) {
  if (rows < 0) return -1;
  if (cols.empty() || rows == 0) return 0;
  if (block == nullptr) return -1;
  size_t pos = 0;
  // One loop per column kind: the kind is decided once per column, not per
  // value. Every value takes at least its flag byte, so each loop ends
  // within length.
  for (const qvoBlockColumn& col : cols) {
    if (IsCharacterBlockType(col.qvoType)) {
      for (qvo_int64 r = 0; r < rows; ++r) {
        if (pos >= length) return -1;
        if (block[pos++] == 0) continue;
        const size_t w = ValueWidth(block + pos, length - pos, col);
        if (w == 0) return -1;
        pos += w;
      }
      continue;
    }
    const size_t w = col.qvoTypeLen > 0 ? static_cast<size_t>(col.qvoTypeLen) : 0;
    for (qvo_int64 r = 0; r < rows; ++r) {
      if (pos >= length) return -1;
      if (block[pos++] == 0) continue;
      if (w == 0 || w > length - pos) return -1;
      pos += w;
    }
  }
  return static_cast<qvo_int64>(pos);
}

void IndexRowBlock(char* block, const std::vector<qvoBlockColumn>& cols, qvo_int64 rows,
                   void*** table) {
  // Values arrive little-endian: on a little-endian host they already are
  // in host order and only their addresses are taken.
  constexpr bool kConvert = std::endian::native != std::endian::little;
  size_t pos = 0;
  for (size_t c = 0; c < cols.size(); ++c) {
    const qvoBlockColumn& col = cols[c];
    void** column = table[c + 1];
    if (IsCharacterBlockType(col.qvoType)) {
      for (qvo_int64 r = 1; r <= rows; ++r) {
        const bool isNull = block[pos++] == 0;
        char* value = block + pos;
        column[r] = value;
        if (isNull) continue;
        if constexpr (kConvert) ConvertValue(value, col);
        qvo_int32 n = 0;
        std::memcpy(&n, value, sizeof n);
        pos += 4 + static_cast<size_t>(n);
      }
      continue;
    }
    const auto w = static_cast<size_t>(col.qvoTypeLen);
    for (qvo_int64 r = 1; r <= rows; ++r) {
      const bool isNull = block[pos++] == 0;
      char* value = block + pos;
      column[r] = value;
      if (isNull) continue;
      if constexpr (kConvert) ConvertValue(value, col);
      pos += w;
    }
  }
}
