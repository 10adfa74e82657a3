#include "connection/qvoAttributes.h"

#include <cstring>
#include <string>

#include "common/qvoByteOrder.h"
#include "connection/qvoConnection.h"

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

// Width of a fixed-type value; 0 for text and binary (length-led) values.
int FixedWidth(__TypeId type) {
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

bool LengthLed(__TypeId type) { return type == _CHAR || type == _BINARY; }

enum class Direction { ToWire, FromWire };

// Reads a 16- or 32-bit field in the source order of the walk.
qvo_int16 ReadId(const char* p, Direction dir) {
  qvo_int16 v;
  std::memcpy(&v, p, sizeof v);
  return dir == Direction::FromWire ? qvoLEToHost16(v) : v;
}
qvo_uint32 ReadLen(const char* p, Direction dir) {
  qvo_int32 v;
  std::memcpy(&v, p, sizeof v);
  return static_cast<qvo_uint32>(dir == Direction::FromWire ? qvoLEToHost32(v) : v);
}

// Rewrites a field of `width` bytes from the source into the target order.
void Convert(char* p, int width, Direction dir) {
  switch (width) {
    case 2: {
      qvo_int16 v;
      std::memcpy(&v, p, sizeof v);
      v = dir == Direction::ToWire ? qvoHostToLE16(v) : qvoLEToHost16(v);
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case 4: {
      qvo_int32 v;
      std::memcpy(&v, p, sizeof v);
      v = dir == Direction::ToWire ? qvoHostToLE32(v) : qvoLEToHost32(v);
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case 8: {
      qvo_int64 v;
      std::memcpy(&v, p, sizeof v);
      v = dir == Direction::ToWire ? qvoHostToLE64(v) : qvoLEToHost64(v);
      std::memcpy(p, &v, sizeof v);
      break;
    }
    default:
      break;
  }
}

// One pass over a block, checking every record lies inside it before touching
// it. Records are converted one by one, so a bad record leaves the earlier
// ones converted (and counted in *records); nothing at or beyond attrLen is
// touched.
int Walk(char* block, int attrLen, Direction dir, int* records) {
  if (records) *records = 0;
  if (attrLen < 0) return -1;
  if (!block || attrLen == 0) return 0;
  const size_t end = static_cast<size_t>(attrLen);
  size_t pos = 0;
  int count = 0;
  while (pos < end) {
    if (end - pos < 2) return -1;
    __TypeId type = qvoAttributes::GetAttrDataType(ReadId(block + pos, dir));
    if (type == _ILLEGAL) return -1;
    size_t valuePos = pos + 2;
    size_t valueLen;
    int width = FixedWidth(type);
    if (LengthLed(type)) {
      if (end - valuePos < 4) return -1;
      valueLen = ReadLen(block + valuePos, dir);
      if (end - valuePos - 4 < valueLen) return -1;
      Convert(block + valuePos, 4, dir);
      valuePos += 4;
    } else {
      valueLen = static_cast<size_t>(width);
      if (end - valuePos < valueLen) return -1;
      Convert(block + valuePos, width, dir);
    }
    Convert(block + pos, 2, dir);
    pos = valuePos + valueLen;
    if (records) *records = ++count;
  }
  return attrLen;
}

}  // namespace

qvoAttributes::qvoAttributes(qvoConnection* conn) : connection(conn) {}

qvoAttributes::qvoAttributes(qvoConnection* conn, SQLINTEGER attrListLen, const char* attrBuffer,
                             SQLINTEGER nAttr)
    : numAttributes(nAttr), connection(conn) {
  if (attrListLen > 0 && attrBuffer) {
    attribs = std::make_unique<char[]>(static_cast<size_t>(attrListLen) + 1);
    std::memcpy(attribs.get(), attrBuffer, static_cast<size_t>(attrListLen));
    attribLen = attrListLen;
  }
}

qvoAttributes::~qvoAttributes() = default;

std::unique_ptr<qvoAttributes> qvoAttributes::Clone() const {
  return std::make_unique<qvoAttributes>(connection, attribLen, attribs.get(), numAttributes);
}

int qvoAttributes::FromBigEndianToLittleEndian(char* attrStr, int attrLen, int* records) {
  return Walk(attrStr, attrLen, Direction::ToWire, records);
}

int qvoAttributes::FromLittleEndianToBigEndian(char* attrStr, int attrLen, int* records) {
  return Walk(attrStr, attrLen, Direction::FromWire, records);
}

__TypeId qvoAttributes::GetAttrDataType(SQLSMALLINT attrId) {
  if (attrId < 1 || attrId > ATTR_LAST) return _ILLEGAL;
  return attrTable[attrId].type;
}

const char* qvoAttributes::GetAttrName(SQLSMALLINT attrId) {
  if (attrId < 1 || attrId > ATTR_LAST || !attrTable[attrId].name) return "UNKNOWN ATTR TYPE";
  return attrTable[attrId].name;
}

SQLRETURN qvoAttributes::ReadAttrTypeAndLen(SQLINTEGER attrNum, SQLSMALLINT* attrType,
                                            SQLINTEGER* attrLength) {
  if (!attribs || attribLen <= 0) return SQL_NO_DATA;
  if (attrNum < 0 || attrNum >= numAttributes) return SQL_ERROR;
  const size_t end = static_cast<size_t>(attribLen);
  const char* block = attribs.get();
  size_t pos = 0;
  for (SQLINTEGER n = 0;; ++n) {
    if (end - pos < 2) return SQL_ERROR;  // also when the block ends before record n
    qvo_int16 id;
    std::memcpy(&id, block + pos, sizeof id);
    __TypeId type = GetAttrDataType(id);
    if (type == _ILLEGAL) return SQL_ERROR;
    size_t valuePos = pos + 2;
    size_t valueLen;
    if (LengthLed(type)) {
      if (end - valuePos < 4) return SQL_ERROR;
      qvo_int32 len;
      std::memcpy(&len, block + valuePos, sizeof len);
      valueLen = static_cast<qvo_uint32>(len);
      valuePos += 4;
    } else {
      valueLen = static_cast<size_t>(FixedWidth(type));
    }
    // A located value is only reported when it lies wholly inside the block,
    // and its length must fit the signed length field.
    if (end - valuePos < valueLen) return SQL_ERROR;
    if (n == attrNum) {
      if (attrType) *attrType = id;
      if (attrLength) *attrLength = static_cast<SQLINTEGER>(valueLen);
      attrValOffset = valuePos;
      attrValLen = static_cast<SQLINTEGER>(valueLen);
      return SQL_SUCCESS;
    }
    pos = valuePos + valueLen;
  }
}

SQLRETURN qvoAttributes::ReadAttrValue(void* buffer) const {
  if (attribs && attrValLen > 0) std::memcpy(buffer, attribs.get() + attrValOffset, attrValLen);
  return SQL_SUCCESS;
}

const char* qvoAttributes::ReadAttrValuePtr() const {
  return attribs ? attribs.get() + attrValOffset : nullptr;
}

SQLRETURN qvoAttributes::OwerwriteAttrValue(const void* buffer) {
  if (attribs && attrValLen > 0) std::memcpy(attribs.get() + attrValOffset, buffer, attrValLen);
  return SQL_SUCCESS;
}

bool qvoAttributes::LogOn() const { return connection && connection->logFull; }

SQLRETURN qvoAttributes::AddAttribute(SQLSMALLINT attrType, const void* valueBuffer,
                                      SQLINTEGER bufferLen) {
  __TypeId type = GetAttrDataType(attrType);
  int width = FixedWidth(type);
  if (type == _ILLEGAL || bufferLen < 0 || (width && bufferLen != width) ||
      (bufferLen > 0 && !valueBuffer))
    return SQL_ERROR;

  // A fixed-width value replaces the first record of the same id.
  for (SQLINTEGER n = 0; n < numAttributes && attribs; ++n) {
    SQLSMALLINT id;
    SQLINTEGER len;
    if (ReadAttrTypeAndLen(n, &id, &len) == SQL_ERROR) return SQL_ERROR;
    if (id == attrType && width) {
      if (LogOn()) connection->Log("OwerwriteAttrValue %s\n", GetAttrName(attrType));
      return OwerwriteAttrValue(valueBuffer);
    }
  }

  const qvo_int64 recordLen = 2 + (width ? width : 4 + static_cast<qvo_int64>(bufferLen));
  if (attribLen + recordLen > 0x7FFFFFFF) return SQL_ERROR;
  auto grown = std::make_unique<char[]>(static_cast<size_t>(attribLen + recordLen));
  if (attribLen > 0) std::memcpy(grown.get(), attribs.get(), static_cast<size_t>(attribLen));
  char* p = grown.get() + attribLen;
  qvo_int16 id = attrType;
  std::memcpy(p, &id, sizeof id);
  p += 2;
  if (!width) {
    qvo_int32 len = bufferLen;
    std::memcpy(p, &len, sizeof len);
    p += 4;
  }
  if (bufferLen > 0) std::memcpy(p, valueBuffer, static_cast<size_t>(bufferLen));
  attribs = std::move(grown);
  attribLen += static_cast<SQLINTEGER>(recordLen);
  ++numAttributes;
  if (LogOn()) LogAdded(attrType, type, static_cast<const char*>(valueBuffer), bufferLen);
  return SQL_SUCCESS;
}

void qvoAttributes::LogAdded(SQLSMALLINT attrType, __TypeId type, const char* value,
                             SQLINTEGER length) const {
  const char* name = GetAttrName(attrType);
  switch (type) {
    case _BYTE:
      connection->Log("AddAttribute %s BYTE %i\n", name, static_cast<signed char>(value[0]));
      break;
    case _BOOLEAN:
      connection->Log("AddAttribute %s BOOL %i\n", name, static_cast<signed char>(value[0]));
      break;
    case _SMALLINT: {
      qvo_int32 v;
      std::memcpy(&v, value, sizeof v);
      connection->Log("AddAttribute %s INT32 %i\n", name, v);
      break;
    }
    case _INTEGER: {
      qvo_int64 v;
      std::memcpy(&v, value, sizeof v);
      connection->Log("AddAttribute %s INT64 %lli\n", name, static_cast<long long>(v));
      break;
    }
    case _CHAR:
      if (attrType == ATTR_PASSWORD)
        connection->Log("AddAttribute %s STRING ******\n", name);
      else
        connection->Log("AddAttribute %s STRING(%i) %s\n", name, length,
                        std::string(value ? value : "", value ? length : 0).c_str());
      break;
    case _BINARY:
      if (attrType >= ATTR_PUBLIC_KEY && attrType <= ATTR_ENCODED_PASSWORD)
        connection->Log("AddAttribute %s BINARY ******\n", name);
      else
        connection->Log("AddAttribute %s BINARY(%i)\n", name, length);
      break;
    default:
      break;
  }
}
