// Whole-process fetch throughput: a streaming node in a thread of this
// process serves prebuilt row blocks over loopback TCP; the client executes,
// binds four columns column-wise and fetches every row through the exported
// functions with rowsets of 1,000. In the same run a plain socket reader
// reads the same number of bytes over loopback, and the fetch is reported as
// a ratio of that raw rate.
//
//   fetch_throughput [rows]        (default 10,000,000)
//
// Columns: DECIMAL(18,0), DOUBLE, VARCHAR(20), TIMESTAMP; values vary by row,
// every seventh row is NULL in every column. Each column is bound to the
// first C type in its list whose conversion exists (the C types used are
// printed).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/qvoTypeCodes.h"
#include "connection/qvoConnection.h"
#include "fetch/qvoConversionMatrix.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"
#include "transport/qvoSocket.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int64_t kBlockRows = 100000;  // rows per served block
constexpr SQLULEN kRowset = 1000;
constexpr int kProtocol = 9;

void Put(Bytes& out, uint64_t v, int width) {
  uint8_t le[8];
  for (int i = 0; i < width; ++i) le[i] = static_cast<uint8_t>(v >> (8 * i));
  out.insert(out.end(), le, le + width);
}
uint64_t Get(const uint8_t* p, int width) {
  uint64_t v = 0;
  for (int i = 0; i < width; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

bool SendAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t k = send(fd, p, n, MSG_NOSIGNAL);
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}
bool RecvAll(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t k = recv(fd, p, n, 0);
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

// The four columns' description as a result set announces it.
Bytes Description() {
  Bytes d;
  auto name = [&](const char* n) {
    Put(d, std::strlen(n), 4);
    d.insert(d.end(), n, n + std::strlen(n));
  };
  name("AMOUNT");
  Put(d, _DECIMAL, 4);
  Put(d, 18, 4);
  Put(d, 0, 4);
  name("RATIO");
  Put(d, _DOUBLE, 4);
  name("NAME");
  Put(d, _CHAR, 4);
  d.push_back(0x11);  // varying, UTF-8
  Put(d, 20, 4);
  Put(d, 80, 4);
  name("STAMP");
  Put(d, _TIMESTAMP, 4);
  return d;
}

// kBlockRows rows, column-major; row r of the block stands for any result
// row r + k * kBlockRows.
Bytes MakeBlock() {
  Bytes b;
  auto isNull = [](int64_t r) { return r % 7 == 6; };
  for (int64_t r = 0; r < kBlockRows; ++r) {
    if (isNull(r)) {
      b.push_back(0);
      continue;
    }
    b.push_back(1);
    Put(b, static_cast<uint64_t>(r * 7919 - 400000), 8);
  }
  for (int64_t r = 0; r < kBlockRows; ++r) {
    if (isNull(r)) {
      b.push_back(0);
      continue;
    }
    b.push_back(1);
    const double d = static_cast<double>(r) / 7.0 - 1000.0;
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    Put(b, bits, 8);
  }
  for (int64_t r = 0; r < kBlockRows; ++r) {
    if (isNull(r)) {
      b.push_back(0);
      continue;
    }
    b.push_back(1);
    const std::string text = "name-" + std::to_string(r * 31 % 1000003);
    Put(b, text.size(), 4);
    b.insert(b.end(), text.begin(), text.end());
  }
  for (int64_t r = 0; r < kBlockRows; ++r) {
    if (isNull(r)) {
      b.push_back(0);
      continue;
    }
    b.push_back(1);
    Put(b, static_cast<uint64_t>(1990 + r % 40), 2);
    b.push_back(static_cast<uint8_t>(1 + r % 12));
    b.push_back(static_cast<uint8_t>(1 + r % 28));
    b.push_back(static_cast<uint8_t>(r % 24));
    b.push_back(static_cast<uint8_t>(r % 60));
    b.push_back(static_cast<uint8_t>(r / 60 % 60));
    Put(b, static_cast<uint64_t>(r * 1000 % 1000000000), 4);
  }
  return b;
}

// An answer: the 21-byte header (no attributes), then the data.
bool Answer(int fd, uint32_t results, const Bytes& data, const Bytes* tail = nullptr) {
  Bytes h;
  const size_t length = data.size() + (tail ? tail->size() : 0);
  Put(h, length, 4);
  h.push_back(0);
  Put(h, 0, 4);
  Put(h, 0, 4);
  Put(h, 0, 4);
  Put(h, results, 4);
  return SendAll(fd, h.data(), h.size()) && SendAll(fd, data.data(), data.size()) &&
         (!tail || SendAll(fd, tail->data(), tail->size()));
}

int Listen(uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(fd, 1);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  *port = ntohs(a.sin_port);
  return fd;
}

int Connect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// Serves one client: an execute gets the description, every fetch by byte
// budget the prebuilt block, everything else an empty answer.
void Serve(int listenFd, const Bytes& block, int64_t totalRows, std::atomic<int64_t>* served) {
  const int fd = accept(listenFd, nullptr, nullptr);
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  Bytes in;
  for (;;) {
    uint8_t header[21];
    if (!RecvAll(fd, header, sizeof header)) break;
    const uint32_t length = static_cast<uint32_t>(Get(header, 4));
    const uint8_t command = header[4];
    const uint32_t attrLength = static_cast<uint32_t>(Get(header + 13, 4));
    in.resize(length);
    if (length && !RecvAll(fd, in.data(), length)) break;
    const uint8_t* data = in.data() + attrLength;
    bool ok = true;
    if (command == 12) {
      Bytes r;
      r.push_back(1);  // result set
      Put(r, 1, 4);    // handle
      Put(r, 4, 4);    // columns
      Put(r, static_cast<uint64_t>(totalRows), 8);
      Put(r, 0, 8);  // no rows inline
      const Bytes d = Description();
      r.insert(r.end(), d.begin(), d.end());
      ok = Answer(fd, 1, r);
    } else if (command == 36) {
      const int64_t start = static_cast<int64_t>(Get(data + 4, 8));
      if (start % kBlockRows != 0 || start + kBlockRows > totalRows) {
        std::fprintf(stderr, "unexpected fetch from row %lld\n", static_cast<long long>(start));
        break;
      }
      Bytes head;
      head.push_back(6);  // more rows
      Put(head, kBlockRows, 8);
      ok = Answer(fd, 1, head, &block);
      served->fetch_add(static_cast<int64_t>(block.size()));
    } else {
      ok = Answer(fd, 0, {});
    }
    if (!ok) break;
  }
  close(fd);
}

// The plain reader: `bytes` bytes sent in block-sized writes, read with recv.
double RawLoopbackSeconds(const Bytes& block, int64_t bytes) {
  uint16_t port = 0;
  const int listenFd = Listen(&port);
  std::thread writer([&] {
    const int fd = accept(listenFd, nullptr, nullptr);
    for (int64_t sent = 0; sent < bytes; sent += static_cast<int64_t>(block.size()))
      if (!SendAll(fd, block.data(), block.size())) break;
    close(fd);
  });
  const int fd = Connect(port);
  std::vector<uint8_t> buffer(1 << 20);
  const auto t0 = Clock::now();
  int64_t got = 0;
  while (got < bytes) {
    const ssize_t k = recv(fd, buffer.data(), buffer.size(), 0);
    if (k <= 0) break;
    got += k;
  }
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  close(fd);
  writer.join();
  close(listenFd);
  return s;
}

struct Binding {
  const char* column;
  SQLSMALLINT qvoType;
  std::vector<SQLSMALLINT> cTypes;  // in order of preference
};

// The bytes one row of the C type takes.
size_t TargetSize(SQLSMALLINT cType) {
  switch (cType) {
    case SQL_C_SLONG:
    case QVO_INT32:
      return 4;
    case SQL_C_CHAR:
      return 24;
    case SQL_C_TYPE_TIMESTAMP:
      return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
      return 8;
  }
}

}  // namespace

int main(int argc, char** argv) {
  int64_t rows = argc > 1 ? std::atoll(argv[1]) : 10000000;
  rows = (rows + kBlockRows - 1) / kBlockRows * kBlockRows;
  const Bytes block = MakeBlock();
  // An application in a UTF-8 locale: UTF-8 text needs no conversion.
  std::setlocale(LC_ALL, "C.UTF-8");

  uint16_t port = 0;
  const int listenFd = Listen(&port);
  std::atomic<int64_t> served{0};
  std::thread node(Serve, listenFd, std::cref(block), rows, &served);

  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  // The session as a login leaves it, on a socket to the node.
  auto* conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
  conn->ImMainNode = true;
  conn->connAttr.connType = 1;
  conn->SetProtocollVer(kProtocol);
  conn->Socket = std::make_unique<qvoSocket>(conn, Connect(port));
  QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  static_cast<qvoStatement*>(GetHandlePtr(stmt))->SetProtocollVer(kProtocol);

  const Binding bindings[] = {
      {"DECIMAL(18,0)", _DECIMAL, {SQL_C_SBIGINT, SQL_C_SLONG, QVO_INT64}},
      {"DOUBLE", _DOUBLE, {SQL_C_DOUBLE}},
      {"VARCHAR(20)", _VARCHAR, {SQL_C_CHAR, QVO_VARCHAR_PTR}},
      {"TIMESTAMP", _TIMESTAMP, {SQL_C_TYPE_TIMESTAMP, QVO_INT64}},
  };
  const auto t0 = Clock::now();
  if (QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT * FROM T")),
                    SQL_NTS) != SQL_SUCCESS) {
    std::fprintf(stderr, "execute failed\n");
    return 1;
  }
  SQLULEN fetched = 0;
  QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0);
  QVOSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  std::vector<std::vector<char>> data(4);
  std::vector<std::vector<SQLLEN>> indicators(4, std::vector<SQLLEN>(kRowset));
  std::printf("columns:");
  for (SQLUSMALLINT c = 0; c < 4; ++c) {
    SQLSMALLINT cType = 0;
    for (SQLSMALLINT t : bindings[c].cTypes) {
      if (qvoLookupConversion(t, bindings[c].qvoType, false).cell) {
        cType = t;
        break;
      }
    }
    if (cType == 0) {
      std::printf(" %s unbound (no conversion yet)", bindings[c].column);
      continue;
    }
    const size_t size = cType == QVO_VARCHAR_PTR ? sizeof(char*) : TargetSize(cType);
    data[c].resize(size * kRowset);
    QVOBindCol(stmt, c + 1, cType, data[c].data(), static_cast<SQLLEN>(size), indicators[c].data());
    std::printf(" %s->%s", bindings[c].column, GetCTypeName(cType));
  }
  std::printf("\n");

  int64_t total = 0;
  int64_t checksum = 0;
  SQLRETURN rc;
  while ((rc = QVOFetch(stmt)) == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    total += static_cast<int64_t>(fetched);
    checksum += indicators[0][0] + indicators[3][fetched - 1];
  }
  const double fetchSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
  if (rc != SQL_NO_DATA || total != rows) {
    std::fprintf(stderr, "fetch ended with %d after %lld rows\n", rc,
                 static_cast<long long>(total));
    return 1;
  }
  QVOFreeHandle(SQL_HANDLE_ENV, env);
  node.join();
  close(listenFd);

  const int64_t bytes = served.load();
  const double rawSeconds = RawLoopbackSeconds(block, bytes);
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("rows: %lld, row-block bytes: %.1f MB (checksum %lld)\n",
              static_cast<long long>(total), mb, static_cast<long long>(checksum));
  std::printf("fetch:        %.3f s, %.0f rows/s, %.1f MB/s\n", fetchSeconds,
              static_cast<double>(total) / fetchSeconds, mb / fetchSeconds);
  std::printf("raw loopback: %.3f s, %.1f MB/s\n", rawSeconds, mb / rawSeconds);
  std::printf("ratio to raw loopback: %.2f\n", rawSeconds / fetchSeconds);
  return 0;
}
