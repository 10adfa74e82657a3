#include "protocol/qvoAnswers.h"

#include <cstring>

#include "common/qvoByteOrder.h"
#include "protocol/qvoAnswerReader.h"

namespace {

// A cursor over an answer the decoders only read.
qvoAnswerCursor Over(const char* answer, size_t length) {
  return qvoAnswerCursor{const_cast<char*>(answer), answer ? length : 0, 0};
}

}  // namespace

bool DecodeResultCount(const char* answer, size_t length, qvo_int32* count) {
  qvoAnswerCursor in = Over(answer, length);
  return in.Int32(count);
}

qvoExceptionAnswer DecodeExceptionAnswer(const char* answer, size_t length, qvoServerException* e) {
  qvoAnswerCursor in = Over(answer, length);
  qvo_int8 kind = 0;
  if (!in.Skip(kResultCountBytes) || !in.Int8(&kind) || kind != QVO_KIND_EXCEPTION)
    return qvoExceptionAnswer::None;
  if (ReadException(in, &e->text, &e->state) != qvoReadStatus::Ok)
    return qvoExceptionAnswer::Malformed;
  return qvoExceptionAnswer::Exception;
}

qvoHostListStatus DecodeHostList(const char* answer, size_t length,
                                 std::vector<std::string_view>* hosts) {
  hosts->clear();
  qvoServerException e;
  if (DecodeExceptionAnswer(answer, length, &e) == qvoExceptionAnswer::Exception &&
      e.state.data() + e.state.size() == answer + length)
    return qvoHostListStatus::Exception;
  qvoAnswerCursor in = Over(answer, length);
  qvo_int32 count = 0;
  if (!in.Skip(kResultCountBytes) || !in.Int32(&count)) return qvoHostListStatus::Malformed;
  if (count < 1) return qvoHostListStatus::BadCount;
  // Each host takes at least its length word, so the loop ends within the
  // answer.
  for (qvo_int32 i = 0; i < count; ++i) {
    std::string_view host;
    if (!in.Text(&host)) return qvoHostListStatus::Malformed;
    hosts->push_back(host);
  }
  return qvoHostListStatus::Ok;
}

void EncodeAbortAnswer(char (&answer)[kAbortAnswerBytes]) {
  qvoPutLE32(answer, 1);
  answer[4] = static_cast<char>(QVO_KIND_EMPTY);
}

bool IsAbortAnswer(const char* answer, long long length) {
  if (answer == nullptr || length != static_cast<long long>(kAbortAnswerBytes)) return false;
  char expected[kAbortAnswerBytes];
  EncodeAbortAnswer(expected);
  return std::memcmp(answer, expected, kAbortAnswerBytes) == 0;
}

bool DecodeRowsAnswer(char* answer, size_t length, char** block, size_t* blockLength) {
  qvoAnswerCursor in{answer, answer ? length : 0, 0};
  if (!in.Skip(kResultCountBytes)) return false;
  *block = in.Here();
  *blockLength = in.Remaining();
  return true;
}

qvoFetchAnswerStatus DecodeFetch2Answer(char* answer, size_t length, bool withKind,
                                        qvoFetchAnswer* out) {
  *out = qvoFetchAnswer{};
  qvoAnswerCursor in{answer, answer ? length : 0, 0};
  qvo_int32 count = 0;
  if (!in.Int32(&count)) return qvoFetchAnswerStatus::Malformed;
  if (withKind) {
    qvo_int8 kind = 0;
    if (!in.Int8(&kind)) return qvoFetchAnswerStatus::Malformed;
    if (kind == QVO_KIND_EXCEPTION)
      return ReadException(in, &out->exception.text, &out->exception.state) == qvoReadStatus::Ok
                 ? qvoFetchAnswerStatus::Exception
                 : qvoFetchAnswerStatus::Malformed;
    if (kind != QVO_KIND_MORE_ROWS) return qvoFetchAnswerStatus::Malformed;
  } else {
    constexpr size_t kShortErrorBelow = 200;
    constexpr qvo_int32 kShortTextBelow = 180;
    qvoAnswerCursor probe = in;
    qvo_int8 kind = 0;
    qvo_int32 n = 0;
    const char* p = nullptr;
    if (length < kShortErrorBelow && count == 1 && probe.Int8(&kind) &&
        kind == QVO_KIND_EXCEPTION && probe.Int32(&n) && n >= 0 && n < kShortTextBelow &&
        probe.Bytes(static_cast<size_t>(n), &p)) {
      out->exception.text = std::string_view(p, static_cast<size_t>(n));
      return qvoFetchAnswerStatus::ShortError;
    }
  }
  if (!in.Int64(&out->rows) || out->rows < 0) return qvoFetchAnswerStatus::Malformed;
  out->block = in.Here();
  out->blockLength = in.Remaining();
  return qvoFetchAnswerStatus::Rows;
}
