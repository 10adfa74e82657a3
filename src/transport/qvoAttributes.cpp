#include "transport/qvoAttributes.h"

#include <cstring>
#include <string>

#include "handles/qvoHandle.h"

qvoAttributes::qvoAttributes(qvoHandle* conn) : connection(conn) {}

qvoAttributes::qvoAttributes(qvoHandle* conn, SQLINTEGER attrListLen, const char* attrBuffer,
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
  return ConvertAttributeBlock(attrStr, attrLen, qvoAttrOrder::HostToWire, records);
}

int qvoAttributes::FromLittleEndianToBigEndian(char* attrStr, int attrLen, int* records) {
  return ConvertAttributeBlock(attrStr, attrLen, qvoAttrOrder::WireToHost, records);
}

__TypeId qvoAttributes::GetAttrDataType(SQLSMALLINT attrId) { return AttributeValueType(attrId); }

const char* qvoAttributes::GetAttrName(SQLSMALLINT attrId) { return AttributeName(attrId); }

SQLRETURN qvoAttributes::ReadAttrTypeAndLen(SQLINTEGER attrNum, SQLSMALLINT* attrType,
                                            SQLINTEGER* attrLength) {
  if (!attribs || attribLen <= 0) return SQL_NO_DATA;
  if (attrNum < 0 || attrNum >= numAttributes) return SQL_ERROR;
  const size_t end = static_cast<size_t>(attribLen);
  size_t pos = 0;
  // A located value lies wholly inside the block (else -1, also when the
  // block ends before record attrNum).
  for (SQLINTEGER n = 0;; ++n) {
    qvoAttributeRecord r;
    if (ReadAttributeRecord(attribs.get(), end, &pos, &r) != qvoAttrRead::Ok) return SQL_ERROR;
    if (n == attrNum) {
      if (attrType) *attrType = r.id;
      if (attrLength) *attrLength = static_cast<SQLINTEGER>(r.valueLength);
      attrValOffset = r.valueOffset;
      attrValLen = static_cast<SQLINTEGER>(r.valueLength);
      return SQL_SUCCESS;
    }
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
  int width = AttributeFixedWidth(type);
  if (type == _ILLEGAL || bufferLen < 0 || (width && bufferLen != width) ||
      (bufferLen > 0 && !valueBuffer))
    return SQL_ERROR;

  // A fixed-width value replaces the first record of the same id.
  for (SQLINTEGER n = 0; n < numAttributes && attribs; ++n) {
    SQLSMALLINT id = 0;
    SQLINTEGER len = 0;
    const SQLRETURN read = ReadAttrTypeAndLen(n, &id, &len);
    if (read == SQL_ERROR) return SQL_ERROR;
    if (read != SQL_SUCCESS) break;  // an empty block has no record to replace
    if (id == attrType && width) {
      if (LogOn()) connection->Log("OwerwriteAttrValue %s\n", GetAttrName(attrType));
      return OwerwriteAttrValue(valueBuffer);
    }
  }

  const qvo_int64 recordLen = AttributeRecordBytes(type, bufferLen);
  if (attribLen + recordLen > 0x7FFFFFFF) return SQL_ERROR;
  // The new record goes after the block as it is.
  auto grown = std::make_unique<char[]>(static_cast<size_t>(attribLen + recordLen));
  if (attribLen > 0) std::memcpy(grown.get(), attribs.get(), static_cast<size_t>(attribLen));
  EncodeAttributeRecord(grown.get() + attribLen, attrType, type, valueBuffer, bufferLen);
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
    case _SMALLINT:
      connection->Log("AddAttribute %s INT32 %i\n", name,
                      static_cast<int>(AttributeIntValue(value, 4)));
      break;
    case _INTEGER:
      connection->Log("AddAttribute %s INT64 %lli\n", name,
                      static_cast<long long>(AttributeIntValue(value, 8)));
      break;
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
