// Encoders of the request payloads and of the message header. Each writes
// its fields little-endian at their place; callers never compute offsets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "qvo/qvoTypes.h"

// close_result_set, close_prepared_statement, describe_resultset: the
// server handle alone.
inline constexpr size_t kHandleRequestBytes = 4;
void EncodeHandleRequest(char (&out)[kHandleRequestBytes], qvo_int32 handle);

// send_rows (int64 row count) and send_rows_fetch2 (int64 byte budget):
// result handle, 0-based first row, then the limit.
inline constexpr size_t kRowsRequestBytes = 20;
void EncodeRowsRequest(char (&out)[kRowsRequestBytes], qvo_int32 resultHandle, qvo_int64 start,
                       qvo_int64 limit);

// session_kill: the session id.
inline constexpr size_t kSessionKillBytes = 8;
void EncodeSessionKill(char (&out)[kSessionKillBytes], qvo_uint64 session);

// get_hostnames: the address the connection used, as int32 length and text.
std::vector<char> EncodeHostNamesRequest(std::string_view address);

// execute_batch: int32 number of texts, then per text int32 length and the
// UTF-8 bytes. Empty when the request would pass 2^31 - 1 bytes.
std::vector<char> EncodeBatchRequest(const std::vector<std::string>& texts);

// The login message's preamble: magic, length of what follows the first two
// fields, protocol version, end magic. The attribute block comes after it.
inline constexpr size_t kLoginPreambleBytes = 16;
void EncodeLoginPreamble(char* out, qvo_int32 magic, qvo_int32 blockLength, qvo_int32 version,
                         qvo_int32 magicEnd);
// The whole login message: the preamble, then the attribute block (given in
// host order) in wire order. False when the block's records cannot be walked.
bool EncodeLoginMessage(std::vector<char>* message, qvo_int32 magic, qvo_int32 version,
                        qvo_int32 magicEnd, const char* block, qvo_int32 blockLength);

// A 4-byte integer field of a request payload (lengths, flags, versions).
inline constexpr size_t kInt32FieldBytes = 4;
void EncodeInt32Field(char (&out)[kInt32FieldBytes], qvo_int32 value);

// The result count at the head of an answer, written over the place where the
// answer's data are received.
void EncodeResultCount(char* answer, qvo_int32 count);

// The header of every message: int32 length of attributes and data, command
// byte, int32 serial number, int32 attribute count, int32 attribute bytes,
// int32 "has data" (1 or 0) in a request, the result count in an answer.
inline constexpr size_t kMessageHeaderBytes = 21;
struct qvoMessageHeader {
  qvo_uint32 length = 0;
  qvo_int8 command = 0;
  qvo_uint32 serial = 0;
  qvo_int32 attributeCount = 0;
  qvo_uint32 attributeBytes = 0;
  qvo_int32 lastField = 0;
};
void EncodeMessageHeader(char (&out)[kMessageHeaderBytes], const qvoMessageHeader& header);
qvoMessageHeader DecodeMessageHeader(const char (&in)[kMessageHeaderBytes]);
