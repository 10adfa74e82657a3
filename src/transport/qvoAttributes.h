// Session attribute lists: the typed settings that travel between the message
// header and the data of a request or an answer.
//
// A list holds its block in host byte order; FromBigEndianToLittleEndian and
// FromLittleEndianToBigEndian turn a block into wire order (little-endian) and
// back. The record layout is read and written by protocol/qvoAttributeBlock:
// a record that would reach past the block's length makes the walk fail
// with -1.
#pragma once

#include <memory>

#include "common/qvoTypeCodes.h"
#include "protocol/qvoAttributeBlock.h"
#include "qvo/qvoDefs.h"

class qvoHandle;

class qvoAttributes {
 public:
  // An empty list that logs through the handle conn (which may be null).
  explicit qvoAttributes(qvoHandle* conn);
  // A list over a copy of attrListLen bytes of attrBuffer, with nAttr records
  // as the caller states them.
  qvoAttributes(qvoHandle* conn, SQLINTEGER attrListLen, const char* attrBuffer, SQLINTEGER nAttr);
  virtual ~qvoAttributes();
  qvoAttributes(const qvoAttributes&) = delete;
  qvoAttributes& operator=(const qvoAttributes&) = delete;

  // Same connection, a copy of the block, the same count.
  std::unique_ptr<qvoAttributes> Clone() const;

  // Whole-block byte order, in place on the given buffer. attrLen on success,
  // 0 for a null block or length 0, -1 for a negative length, an unknown id or
  // records that do not end exactly at attrLen. A failed conversion may have
  // converted the records before the bad one, never a byte at or past attrLen.
  // records, when given, receives the number of whole records converted,
  // also when a later one fails.
  static int FromBigEndianToLittleEndian(char* attrStr, int attrLen, int* records = nullptr);
  static int FromLittleEndianToBigEndian(char* attrStr, int attrLen, int* records = nullptr);

  // _ILLEGAL for ids without a type; value types are _BYTE, _SMALLINT (4 bytes),
  // _INTEGER (8 bytes), _BOOLEAN, _CHAR and _BINARY.
  static __TypeId GetAttrDataType(SQLSMALLINT attrId);
  static const char* GetAttrName(SQLSMALLINT attrId);

  // Locates record attrNum (0-based): its id and value length (1, 4 or 8, or
  // the length of a text or binary value). 0; 100 for a list without a block;
  // -1 for a number outside 0..numAttributes-1, an unknown id on the way, or a
  // block that ends before the record does.
  SQLRETURN ReadAttrTypeAndLen(SQLINTEGER attrNum, SQLSMALLINT* attrType, SQLINTEGER* attrLength);
  // The located value: copied (attrValLen bytes; the caller sizes buffer), or
  // its address inside the block, or overwritten from buffer.
  SQLRETURN ReadAttrValue(void* buffer) const;
  const char* ReadAttrValuePtr() const;
  SQLRETURN OwerwriteAttrValue(const void* buffer);

  // Adds a record with the value in host order. bufferLen is the value's width
  // for fixed types (1, 4 or 8, which must match the id's type) or the length
  // of a text or binary value. A fixed-width id already in the list is
  // overwritten in place; text and binary ids are always appended. 0, or -1
  // for an unknown id, a wrong width or a list that cannot be walked.
  SQLRETURN AddAttribute(SQLSMALLINT attrType, const void* valueBuffer, SQLINTEGER bufferLen);

  char* GetAttrDataPtr() const { return attribs.get(); }
  SQLINTEGER GetAttrDataLen() const { return attribLen; }
  SQLINTEGER GetNumAttributes() const { return numAttributes; }

 private:
  void LogAdded(SQLSMALLINT attrType, __TypeId type, const char* value, SQLINTEGER length) const;
  bool LogOn() const;

  std::unique_ptr<char[]> attribs;  // host byte order
  SQLINTEGER attribLen = 0;
  SQLUBIGINT attrValOffset = 0;
  SQLINTEGER attrValLen = 0;
  SQLINTEGER numAttributes = 0;
  qvoHandle* connection = nullptr;  // the handle that logs
};
