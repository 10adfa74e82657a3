// The attribute block of a message: the typed session settings between the
// message header and the data. Each record is an int16 id, then the value:
// text and binary values as an int32 length and that many bytes, fixed-type
// values in their type's width (1 for _BYTE and _BOOLEAN, 4 for _SMALLINT,
// 8 for _INTEGER). On the wire every field is little-endian; a connection
// keeps its lists in host order and turns a whole block around just before
// sending and just after receiving.
//
// Every read of a record stays inside the block: a record that would reach
// past the block's end makes the read fail.
#pragma once

#include <cstddef>

#include "common/qvoTypeCodes.h"
#include "qvo/qvoDefs.h"

// Attribute ids, shared with the server. 14 and 27 to 30 are not assigned.
enum __qvoAttribute : SQLSMALLINT {
  ATTR_USERNAME = 1,
  ATTR_CLIENTNAME = 2,
  ATTR_CLIENTOS = 3,
  ATTR_DRIVERNAME = 4,
  ATTR_LANGUAGE = 5,
  ATTR_SESSIONID = 6,
  ATTR_AUTOCOMMIT = 7,
  ATTR_RELEASE_VERSION = 8,
  ATTR_RELEASE_REVISION = 9,
  ATTR_CLIENTVERSION = 10,
  ATTR_CLIENTRUNTIME = 11,
  ATTR_PASSWORD = 12,
  ATTR_CLIENTOS_USERNAME = 13,
  ATTR_COMMIT_ON_EXIT = 15,
  ATTR_PREPARED_PARAMCOUNT = 16,
  ATTR_TRANSACTION_STATE = 17,
  ATTR_PARALLEL_TOKEN = 18,
  ATTR_PROTOCOL_VERSION = 19,
  ATTR_DATETIME_FORMAT = 20,
  ATTR_DATE_FORMAT = 21,
  ATTR_CURRENT_SCHEMA = 22,
  ATTR_NUMERIC_CHARACTERS = 23,
  ATTR_MAX_STATEMENT_LENGTH = 24,
  ATTR_GENERIC_MESSAGE_SIZE = 25,
  ATTR_DATA_MESSAGE_SIZE = 26,
  ATTR_DATE_LANGUAGE = 31,
  ATTR_PUBLIC_KEY = 32,
  ATTR_RANDOM_PHRASE = 33,
  ATTR_ENCODED_PASSWORD = 34,
  ATTR_QUERY_TIMEOUT = 35,
  ATTR_PACKET_PART_NUMBER = 36,
  ATTR_DB_NAME = 37,
  ATTR_PRODUCT_NAME = 38,
  ATTR_CURRENT_CATALOG = 39,
  ATTR_MAX_IDENTIFIER_LENGTH = 40,
  ATTR_CONSTRAINT_ENABLED = 41,
  ATTR_MAX_VARCHAR_LENGTH = 42,
  ATTR_UNKNOWN_TYPE_MAX_LEN = 43,
  ATTR_FEEDBACK_INTERVAL = 44,
  ATTR_PROFILING_ENABLED = 45,
  ATTR_FIRST_DAY_OF_WEEK = 46,
  ATTR_TIMEZONE = 47,
  ATTR_TIMEZONE_BEHAVIOR = 48,
  ATTR_SQL_PREPROCESSOR_SCRIPT = 49,
  ATTR_NICE_VALUE = 50,
  ATTR_TSUTC_ENABLED = 51,
  ATTR_QUERY_CACHE_ACCESS = 52,
  ATTR_CLIENT_RECEIVE_KEY = 53,
  ATTR_CLIENT_SEND_KEY = 54,
  ATTR_SNAPSHOT_TRANSACTIONS_ENABLED = 55,
  ATTR_CLIENT_KEYS_LEN = 56,
  ATTR_ENCRYPTION_REQUIRED = 57,
  ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER = 58,
  ATTR_IDENTIFIER_QUOTE_STRING = 59,
  ATTR_LAST = 59,
};

// _ILLEGAL for ids without a type.
__TypeId AttributeValueType(SQLSMALLINT id);
// "UNKNOWN ATTR TYPE" for ids without a name.
const char* AttributeName(SQLSMALLINT id);
// Width of a fixed-type value; 0 for text and binary (length-led) values and
// for _ILLEGAL.
int AttributeFixedWidth(__TypeId type);

// Whole-block byte order, in place: host order to wire order or back.
// blockLength on success, 0 for a null block or length 0, -1 for a negative
// length, an unknown id or records that do not end exactly at blockLength.
// Records are converted one by one, so a bad record leaves the ones before it
// converted (and counted in *records); nothing at or past blockLength is
// touched.
enum class qvoAttrOrder { HostToWire, WireToHost };
int ConvertAttributeBlock(char* block, int blockLength, qvoAttrOrder order, int* records);

// One record of a block in host order.
struct qvoAttributeRecord {
  SQLSMALLINT id = 0;
  __TypeId type = _ILLEGAL;
  size_t valueOffset = 0;  // from the start of the block
  size_t valueLength = 0;
};
enum class qvoAttrRead { Ok, End, Malformed };
// Reads the record at *pos of block[0..length) and moves *pos past it; End
// at the end of the block; Malformed (and *pos unmoved) for an unknown id or
// a record that reaches past the block.
qvoAttrRead ReadAttributeRecord(const char* block, size_t length, size_t* pos,
                                qvoAttributeRecord* record);

// The server's public key (the value of ATTR_PUBLIC_KEY): the exponent, then
// the modulus, each an unsigned big-endian number of kKeyNumberBytes. Only a
// value of exactly kPublicKeyBytes is a key.
inline constexpr size_t kKeyNumberBytes = 128;
inline constexpr size_t kPublicKeyBytes = 2 * kKeyNumberBytes;
template <class Byte>
struct qvoPublicKeyNumbers {
  Byte* exponent;
  Byte* modulus;
};
// Where the two numbers lie in a key of kPublicKeyBytes.
template <class Byte>
qvoPublicKeyNumbers<Byte> PublicKeyNumbers(Byte* key) {
  return {key, key + kKeyNumberBytes};
}

// A fixed-type value in host order as a number (1, 4 or 8 bytes, signed);
// 0 for any other length.
qvo_int64 AttributeIntValue(const char* value, size_t length);

// Bytes of a record whose value has `valueLength` bytes (the type's width for
// fixed types), or -1 when the type has no layout.
qvo_int64 AttributeRecordBytes(__TypeId type, qvo_int64 valueLength);
// Writes a record in host order at out, which holds AttributeRecordBytes.
void EncodeAttributeRecord(char* out, SQLSMALLINT id, __TypeId type, const void* value,
                           SQLINTEGER valueLength);
