// Requests and answers of parallel mode: entering it (node addresses and the
// token), the cluster's host names and a slave's starting row. Answers are
// read from the statement's answer buffer: bytes 0 to 3 hold the result
// count, the fields follow from offset 4.
//   enter_parallel   int32 N, int64 token, N x (int32 port, int32 H, H bytes)
//   get_hostnames    int32 N, N x (int32 H, H bytes)
//   send_slave_offset int64 starting row (the answer is exactly 12 bytes)
// Either of the first two may instead be one exception result.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/qvoAnswerReader.h"
#include "qvo/qvoDefs.h"

// Request data: int32 nConnections, then the host name as int32 length and
// bytes (at most maxHost bytes of it).
std::string EncodeEnterParallelRequest(qvo_int32 nConnections, std::string_view host,
                                       size_t maxHost);
std::string EncodeGetHostnamesRequest(std::string_view host, size_t maxHost);
std::string EncodeSlaveOffsetRequest(qvo_int32 resultHandle);

// True only when the answer is one exception result and nothing else: a
// result count of 1, the kind byte -1 at offset 4, and a complete exception
// record that ends exactly at the end of the answer. A count that merely
// starts with 0xFF (255 hosts) is no exception.
bool IsExceptionAnswer(const char* answer, size_t length);

struct qvoNodeAddress {
  qvo_int32 port = 0;
  std::string_view host;
};

// *count receives the count as sent (also when it is not positive; then the
// result is Ok and nothing else is read). Malformed when the answer is too
// short for the count and the entries it promises, or an entry's host length
// is negative or runs past the answer. Host names longer than maxHost bytes
// give TooLong.
enum class qvoParallelRead { Ok, Malformed, TooLong };
qvoParallelRead ReadEnterParallelAnswer(char* answer, size_t length, size_t maxHost,
                                        qvo_int32* count, qvo_int64* token,
                                        std::vector<qvoNodeAddress>* nodes);
qvoParallelRead ReadHostnamesAnswer(char* answer, size_t length, size_t maxHost, qvo_int32* count,
                                    std::vector<std::string_view>* hosts);
// False unless the answer is exactly the count and one int64.
bool ReadSlaveOffsetAnswer(char* answer, size_t length, qvo_int64* offset);
