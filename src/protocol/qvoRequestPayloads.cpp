#include "protocol/qvoRequestPayloads.h"

#include <cstring>
#include <limits>

#include "common/qvoByteOrder.h"
#include "protocol/qvoAttributeBlock.h"

void EncodeHandleRequest(char (&out)[kHandleRequestBytes], qvo_int32 handle) {
  qvoPutLE32(out, handle);
}

void EncodeRowsRequest(char (&out)[kRowsRequestBytes], qvo_int32 resultHandle, qvo_int64 start,
                       qvo_int64 limit) {
  qvoPutLE32(out, resultHandle);
  qvoPutLE64(out + 4, start);
  qvoPutLE64(out + 12, limit);
}

void EncodeSessionKill(char (&out)[kSessionKillBytes], qvo_uint64 session) {
  qvoPutLE64(out, static_cast<qvo_int64>(session));
}

std::vector<char> EncodeHostNamesRequest(std::string_view address) {
  // An address is a host name: far below the int32 limit, cut there anyway.
  if (address.size() > static_cast<size_t>(std::numeric_limits<qvo_int32>::max()) - 4)
    address = address.substr(0, static_cast<size_t>(std::numeric_limits<qvo_int32>::max()) - 4);
  std::vector<char> request(4 + address.size());
  qvoPutLE32(request.data(), static_cast<qvo_int32>(address.size()));
  if (!address.empty()) std::memcpy(request.data() + 4, address.data(), address.size());
  return request;
}

std::vector<char> EncodeBatchRequest(const std::vector<std::string>& texts) {
  constexpr size_t kMax = static_cast<size_t>(std::numeric_limits<qvo_int32>::max());
  size_t total = 4;
  for (const std::string& t : texts) {
    if (t.size() > kMax - 4 || total > kMax - 4 - t.size()) return {};
    total += 4 + t.size();
  }
  std::vector<char> request(total);
  char* at = request.data();
  qvoPutLE32(at, static_cast<qvo_int32>(texts.size()));
  at += 4;
  for (const std::string& t : texts) {
    qvoPutLE32(at, static_cast<qvo_int32>(t.size()));
    if (!t.empty()) std::memcpy(at + 4, t.data(), t.size());
    at += 4 + t.size();
  }
  return request;
}

void EncodeLoginPreamble(char* out, qvo_int32 magic, qvo_int32 blockLength, qvo_int32 version,
                         qvo_int32 magicEnd) {
  qvoPutLE32(out, magic);
  qvoPutLE32(out + 4, blockLength + 8);
  qvoPutLE32(out + 8, version);
  qvoPutLE32(out + 12, magicEnd);
}

bool EncodeLoginMessage(std::vector<char>* message, qvo_int32 magic, qvo_int32 version,
                        qvo_int32 magicEnd, const char* block, qvo_int32 blockLength) {
  if (blockLength < 0 || (blockLength > 0 && !block)) return false;
  message->assign(kLoginPreambleBytes + static_cast<size_t>(blockLength), 0);
  char* out = message->data();
  EncodeLoginPreamble(out, magic, blockLength, version, magicEnd);
  char* wire = out + kLoginPreambleBytes;
  if (blockLength > 0) std::memcpy(wire, block, static_cast<size_t>(blockLength));
  return ConvertAttributeBlock(wire, blockLength, qvoAttrOrder::HostToWire, nullptr) == blockLength;
}

void EncodeInt32Field(char (&out)[kInt32FieldBytes], qvo_int32 value) { qvoPutLE32(out, value); }

void EncodeResultCount(char* answer, qvo_int32 count) { qvoPutLE32(answer, count); }

void EncodeMessageHeader(char (&out)[kMessageHeaderBytes], const qvoMessageHeader& h) {
  qvoPutLE32(out, static_cast<qvo_int32>(h.length));
  out[4] = static_cast<char>(h.command);
  qvoPutLE32(out + 5, static_cast<qvo_int32>(h.serial));
  qvoPutLE32(out + 9, h.attributeCount);
  qvoPutLE32(out + 13, static_cast<qvo_int32>(h.attributeBytes));
  qvoPutLE32(out + 17, h.lastField);
}

qvoMessageHeader DecodeMessageHeader(const char (&in)[kMessageHeaderBytes]) {
  qvoMessageHeader h;
  h.length = static_cast<qvo_uint32>(qvoGetLE32(in));
  h.command = static_cast<qvo_int8>(in[4]);
  h.serial = static_cast<qvo_uint32>(qvoGetLE32(in + 5));
  h.attributeCount = qvoGetLE32(in + 9);
  h.attributeBytes = static_cast<qvo_uint32>(qvoGetLE32(in + 13));
  h.lastField = qvoGetLE32(in + 17);
  return h;
}
