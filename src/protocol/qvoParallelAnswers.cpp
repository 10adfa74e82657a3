#include "protocol/qvoParallelAnswers.h"

#include <algorithm>

#include "common/qvoByteOrder.h"

namespace {

void PutInt32(std::string& out, qvo_int32 v) {
  char b[4];
  qvoPutLE32(b, v);
  out.append(b, 4);
}

void PutHost(std::string& out, std::string_view host, size_t maxHost) {
  const std::string_view h = host.substr(0, std::min(host.size(), maxHost));
  PutInt32(out, static_cast<qvo_int32>(h.size()));
  out.append(h);
}

// A count as sent, and whether the answer can hold that many entries of at
// least minEntry bytes each.
bool CountFits(const qvoAnswerCursor& in, qvo_int32 count, size_t minEntry) {
  return static_cast<size_t>(count) <= in.Remaining() / minEntry;
}

qvoParallelRead ReadHost(qvoAnswerCursor& in, size_t maxHost, std::string_view* host) {
  if (!in.Text(host)) return qvoParallelRead::Malformed;
  return host->size() > maxHost ? qvoParallelRead::TooLong : qvoParallelRead::Ok;
}

}  // namespace

std::string EncodeEnterParallelRequest(qvo_int32 nConnections, std::string_view host,
                                       size_t maxHost) {
  std::string out;
  PutInt32(out, nConnections);
  PutHost(out, host, maxHost);
  return out;
}

std::string EncodeGetHostnamesRequest(std::string_view host, size_t maxHost) {
  std::string out;
  PutHost(out, host, maxHost);
  return out;
}

std::string EncodeSlaveOffsetRequest(qvo_int32 resultHandle) {
  std::string out;
  PutInt32(out, resultHandle);
  return out;
}

bool IsExceptionAnswer(const char* answer, size_t length) {
  qvoAnswerCursor in{const_cast<char*>(answer), answer ? length : 0, 0};
  qvo_int32 results = 0;
  qvo_int8 kind = 0;
  std::string_view text, state;
  return in.Int32(&results) && results == 1 && in.Int8(&kind) && kind == QVO_KIND_EXCEPTION &&
         ReadException(in, &text, &state) == qvoReadStatus::Ok && in.Remaining() == 0;
}

qvoParallelRead ReadEnterParallelAnswer(char* answer, size_t length, size_t maxHost,
                                        qvo_int32* count, qvo_int64* token,
                                        std::vector<qvoNodeAddress>* nodes) {
  nodes->clear();
  qvoAnswerCursor in{answer, answer ? length : 0, 0};
  if (!in.Skip(4) || !in.Int32(count)) return qvoParallelRead::Malformed;
  if (*count <= 0) return qvoParallelRead::Ok;
  if (!in.Int64(token) || !CountFits(in, *count, 8)) return qvoParallelRead::Malformed;
  nodes->resize(static_cast<size_t>(*count));
  for (qvoNodeAddress& node : *nodes) {
    if (!in.Int32(&node.port)) return qvoParallelRead::Malformed;
    if (const qvoParallelRead r = ReadHost(in, maxHost, &node.host); r != qvoParallelRead::Ok)
      return r;
  }
  return qvoParallelRead::Ok;
}

qvoParallelRead ReadHostnamesAnswer(char* answer, size_t length, size_t maxHost, qvo_int32* count,
                                    std::vector<std::string_view>* hosts) {
  hosts->clear();
  qvoAnswerCursor in{answer, answer ? length : 0, 0};
  if (!in.Skip(4) || !in.Int32(count)) return qvoParallelRead::Malformed;
  if (*count <= 0) return qvoParallelRead::Ok;
  if (!CountFits(in, *count, 4)) return qvoParallelRead::Malformed;
  hosts->resize(static_cast<size_t>(*count));
  for (std::string_view& host : *hosts)
    if (const qvoParallelRead r = ReadHost(in, maxHost, &host); r != qvoParallelRead::Ok) return r;
  return qvoParallelRead::Ok;
}

bool ReadSlaveOffsetAnswer(char* answer, size_t length, qvo_int64* offset) {
  qvoAnswerCursor in{answer, answer ? length : 0, 0};
  return in.Skip(4) && in.Int64(offset) && in.Remaining() == 0;
}
