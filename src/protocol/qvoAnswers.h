// Decoders of the answers that the connection reads as a whole. Every answer
// starts with its 4-byte result count; what follows depends on the request.
// The statement's results (row counts, result sets, row blocks) are read
// with qvoAnswerReader.h.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "qvo/qvoTypes.h"

// The result count at the head of every answer.
inline constexpr size_t kResultCountBytes = 4;
bool DecodeResultCount(const char* answer, size_t length, qvo_int32* count);

// A server exception: its text and its 5-character SQLSTATE (not terminated).
struct qvoServerException {
  std::string_view text;
  std::string_view state;
};

enum class qvoExceptionAnswer {
  None,       // the first result is not an exception
  Exception,  // the whole record lies inside the answer
  Malformed,  // kind -1, but the record does not fit the answer
};
// An answer whose first result may be an exception: result count, kind byte
// -1, int32 text length, the text, the SQLSTATE.
qvoExceptionAnswer DecodeExceptionAnswer(const char* answer, size_t length, qvoServerException* e);

enum class qvoHostListStatus { Ok, Exception, BadCount, Malformed };
// The answer of get_hostnames: result count, int32 host count (at least 1),
// then each host as int32 length and text. The answer is an exception only
// when it is one whole exception record: a host count of 255 has the same
// first byte as the exception kind.
qvoHostListStatus DecodeHostList(const char* answer, size_t length,
                                 std::vector<std::string_view>* hosts);

// What the client puts in the answer buffer for an abort_query, which the
// node does not answer: one result, empty.
inline constexpr size_t kAbortAnswerBytes = 5;
void EncodeAbortAnswer(char (&answer)[kAbortAnswerBytes]);
// True when an answer (result count and data) is exactly that one empty
// result: how the server confirms an abort of the request it was running.
bool IsAbortAnswer(const char* answer, long long length);

// The answer of send_rows: result count, then the row block.
bool DecodeRowsAnswer(char* answer, size_t length, char** block, size_t* blockLength);

// The answer of send_rows_fetch2: result count; from kFetchKindProtocol on a
// kind byte (6 for rows, -1 for an exception record); the int64 row count
// of the block, then the block. Before that protocol a server error comes
// as a short block instead: result count 1, kind -1, int32 text length below
// 180 and the text, without SQLSTATE.
enum class qvoFetchAnswerStatus { Rows, Exception, ShortError, Malformed };
struct qvoFetchAnswer {
  qvo_int64 rows = 0;
  char* block = nullptr;
  size_t blockLength = 0;
  qvoServerException exception;
};
qvoFetchAnswerStatus DecodeFetch2Answer(char* answer, size_t length, bool withKind,
                                        qvoFetchAnswer* out);
