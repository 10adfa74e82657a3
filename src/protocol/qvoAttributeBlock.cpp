#include "protocol/qvoAttributeBlock.h"

#include <cstring>

#include "common/qvoByteOrder.h"

namespace {

struct AttrInfo {
  const char* name;
  __TypeId type;
};

// Indexed by id; entries without a name are unassigned.
constexpr AttrInfo attrTable[ATTR_LAST + 1] = {
    {nullptr, _ILLEGAL},
    {"ATTR_USERNAME", _CHAR},
    {"ATTR_CLIENTNAME", _CHAR},
    {"ATTR_CLIENTOS", _CHAR},
    {"ATTR_DRIVERNAME", _CHAR},
    {"ATTR_LANGUAGE", _CHAR},
    {"ATTR_SESSIONID", _INTEGER},
    {"ATTR_AUTOCOMMIT", _BOOLEAN},
    {"ATTR_RELEASE_VERSION", _CHAR},
    {"ATTR_RELEASE_REVISION", _CHAR},
    {"ATTR_CLIENTVERSION", _CHAR},
    {"ATTR_CLIENTRUNTIME", _CHAR},
    {"ATTR_PASSWORD", _CHAR},
    {"ATTR_CLIENTOS_USERNAME", _CHAR},
    {nullptr, _ILLEGAL},
    {"ATTR_COMMIT_ON_EXIT", _BOOLEAN},
    {"ATTR_PREPARED_PARAMCOUNT", _SMALLINT},
    {"ATTR_TRANSACTION_STATE", _BYTE},
    {"ATTR_PARALLEL_TOKEN", _INTEGER},
    {"ATTR_PROTOCOL_VERSION", _SMALLINT},
    {"ATTR_DATETIME_FORMAT", _CHAR},
    {"ATTR_DATE_FORMAT", _CHAR},
    {"ATTR_CURRENT_SCHEMA", _CHAR},
    {"ATTR_NUMERIC_CHARACTERS", _CHAR},
    {"ATTR_MAX_STATEMENT_LENGTH", _INTEGER},
    {"ATTR_GENERIC_MESSAGE_SIZE", _INTEGER},
    {"ATTR_DATA_MESSAGE_SIZE", _INTEGER},
    {nullptr, _ILLEGAL},
    {nullptr, _ILLEGAL},
    {nullptr, _ILLEGAL},
    {nullptr, _ILLEGAL},
    {"ATTR_DATE_LANGUAGE", _CHAR},
    {"ATTR_PUBLIC_KEY", _BINARY},
    {"ATTR_RANDOM_PHRASE", _BINARY},
    {"ATTR_ENCODED_PASSWORD", _BINARY},
    {"ATTR_QUERY_TIMEOUT", _SMALLINT},
    {"ATTR_PACKET_PART_NUMBER", _SMALLINT},
    {"ATTR_DB_NAME", _CHAR},
    {"ATTR_PRODUCT_NAME", _CHAR},
    {"ATTR_CURRENT_CATALOG", _CHAR},
    {"ATTR_MAX_IDENTIFIER_LENGTH", _SMALLINT},
    {"ATTR_CONSTRAINT_ENABLED", _BOOLEAN},
    {"ATTR_MAX_VARCHAR_LENGTH", _INTEGER},
    {"ATTR_UNKNOWN_TYPE_MAX_LEN", _INTEGER},
    {"ATTR_FEEDBACK_INTERVAL", _SMALLINT},
    {"ATTR_PROFILING_ENABLED", _BOOLEAN},
    {"ATTR_FIRST_DAY_OF_WEEK", _SMALLINT},
    {"ATTR_TIMEZONE", _CHAR},
    {"ATTR_TIMEZONE_BEHAVIOR", _CHAR},
    {"ATTR_SQL_PREPROCESSOR_SCRIPT", _CHAR},
    {"ATTR_NICE_VALUE", _BOOLEAN},
    {"ATTR_TSUTC_ENABLED", _BOOLEAN},
    {"ATTR_QUERY_CACHE_ACCESS", _SMALLINT},
    {"ATTR_CLIENT_RECEIVE_KEY", _BINARY},
    {"ATTR_CLIENT_SEND_KEY", _BINARY},
    {"ATTR_SNAPSHOT_TRANSACTIONS_ENABLED", _BOOLEAN},
    {"ATTR_CLIENT_KEYS_LEN", _SMALLINT},
    {"ATTR_ENCRYPTION_REQUIRED", _BOOLEAN},
    {"ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER", _CHAR},
    {"ATTR_IDENTIFIER_QUOTE_STRING", _CHAR},
};

bool LengthLed(__TypeId type) { return type == _CHAR || type == _BINARY; }

// A field of the block in the order it has before the conversion.
template <typename T>
T ReadField(const char* p, qvoAttrOrder order) {
  T v;
  std::memcpy(&v, p, sizeof v);
  if (order != qvoAttrOrder::WireToHost) return v;
  if constexpr (sizeof(T) == 2)
    return qvoLEToHost16(v);
  else if constexpr (sizeof(T) == 4)
    return qvoLEToHost32(v);
  else
    return qvoLEToHost64(v);
}

template <typename T>
void TurnField(char* p, qvoAttrOrder order) {
  T v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (sizeof(T) == 2)
    v = order == qvoAttrOrder::HostToWire ? qvoHostToLE16(v) : qvoLEToHost16(v);
  else if constexpr (sizeof(T) == 4)
    v = order == qvoAttrOrder::HostToWire ? qvoHostToLE32(v) : qvoLEToHost32(v);
  else
    v = order == qvoAttrOrder::HostToWire ? qvoHostToLE64(v) : qvoLEToHost64(v);
  std::memcpy(p, &v, sizeof v);
}

void TurnValue(char* p, int width, qvoAttrOrder order) {
  switch (width) {
    case 4:
      TurnField<qvo_int32>(p, order);
      break;
    case 8:
      TurnField<qvo_int64>(p, order);
      break;
    default:
      break;
  }
}

// Locates the record at pos of block[0..end), reading its fields in `order`.
qvoAttrRead Locate(const char* block, size_t end, size_t pos, qvoAttrOrder order,
                   qvoAttributeRecord* r) {
  if (pos >= end) return qvoAttrRead::End;
  if (end - pos < 2) return qvoAttrRead::Malformed;
  r->id = ReadField<qvo_int16>(block + pos, order);
  r->type = AttributeValueType(r->id);
  if (r->type == _ILLEGAL) return qvoAttrRead::Malformed;
  size_t valuePos = pos + 2;
  if (LengthLed(r->type)) {
    if (end - valuePos < 4) return qvoAttrRead::Malformed;
    r->valueLength = static_cast<qvo_uint32>(ReadField<qvo_int32>(block + valuePos, order));
    valuePos += 4;
  } else {
    r->valueLength = static_cast<size_t>(AttributeFixedWidth(r->type));
  }
  if (end - valuePos < r->valueLength) return qvoAttrRead::Malformed;
  r->valueOffset = valuePos;
  return qvoAttrRead::Ok;
}

}  // namespace

__TypeId AttributeValueType(SQLSMALLINT id) {
  if (id < 1 || id > ATTR_LAST) return _ILLEGAL;
  return attrTable[id].type;
}

const char* AttributeName(SQLSMALLINT id) {
  if (id < 1 || id > ATTR_LAST || !attrTable[id].name) return "UNKNOWN ATTR TYPE";
  return attrTable[id].name;
}

int AttributeFixedWidth(__TypeId type) {
  switch (type) {
    case _BYTE:
    case _BOOLEAN:
      return 1;
    case _SMALLINT:
      return 4;
    case _INTEGER:
      return 8;
    default:
      return 0;
  }
}

int ConvertAttributeBlock(char* block, int blockLength, qvoAttrOrder order, int* records) {
  if (records) *records = 0;
  if (blockLength < 0) return -1;
  if (!block || blockLength == 0) return 0;
  const size_t end = static_cast<size_t>(blockLength);
  size_t pos = 0;
  int count = 0;
  for (;;) {
    qvoAttributeRecord r;
    switch (Locate(block, end, pos, order, &r)) {
      case qvoAttrRead::End:
        return blockLength;
      case qvoAttrRead::Malformed:
        return -1;
      case qvoAttrRead::Ok:
        break;
    }
    TurnField<qvo_int16>(block + pos, order);
    if (LengthLed(r.type))
      TurnField<qvo_int32>(block + pos + 2, order);
    else
      TurnValue(block + r.valueOffset, static_cast<int>(r.valueLength), order);
    pos = r.valueOffset + r.valueLength;
    if (records) *records = ++count;
  }
}

qvoAttrRead ReadAttributeRecord(const char* block, size_t length, size_t* pos,
                                qvoAttributeRecord* record) {
  if (!block) return qvoAttrRead::End;
  qvoAttributeRecord r;
  const qvoAttrRead status = Locate(block, length, *pos, qvoAttrOrder::HostToWire, &r);
  if (status != qvoAttrRead::Ok) return status;
  *record = r;
  *pos = r.valueOffset + r.valueLength;
  return status;
}

qvo_int64 AttributeIntValue(const char* value, size_t length) {
  switch (length) {
    case 1:
      return static_cast<signed char>(value[0]);
    case 4: {
      qvo_int32 v;
      std::memcpy(&v, value, sizeof v);
      return v;
    }
    case 8: {
      qvo_int64 v;
      std::memcpy(&v, value, sizeof v);
      return v;
    }
    default:
      return 0;
  }
}

qvo_int64 AttributeRecordBytes(__TypeId type, qvo_int64 valueLength) {
  if (LengthLed(type)) return valueLength < 0 ? -1 : 2 + 4 + valueLength;
  const int width = AttributeFixedWidth(type);
  return width ? 2 + width : -1;
}

void EncodeAttributeRecord(char* out, SQLSMALLINT id, __TypeId type, const void* value,
                           SQLINTEGER valueLength) {
  std::memcpy(out, &id, sizeof id);
  out += sizeof id;
  if (LengthLed(type)) {
    const qvo_int32 len = valueLength;
    std::memcpy(out, &len, sizeof len);
    out += sizeof len;
  }
  if (valueLength > 0) std::memcpy(out, value, static_cast<size_t>(valueLength));
}
