// Whole-process fetch throughput, measured the way an application sees it.
//
// A node process (forked at start, pinned to the last CPU) behaves as a
// server: a result set of `rows` rows is described on execute, and each
// further-rows request by byte budget is answered with as many rows as the
// budget holds (16,777,216 bytes from protocol 8 on), so every answer is a
// 16 MB row block. The client executes, binds four columns column-wise and
// fetches every row through the exported functions. Each case runs five
// times; each run also reads the same number of bytes from the node over a
// plain loopback socket with 64 KB recv calls, and the fetch is reported as
// a ratio of that raw rate, with the client's CPU time and the minor page
// faults per fetch answer.
//
//   fetch_throughput [rows [case]]     (default 3,000,000 rows, every case)
//
// Cases: the 16 MB answers with rowsets of 1,000 and of 1; answers of
// 100,000 rows (about 4 MB) whatever the budget; 8 threads with a connection
// each against one thread (rowsets of 1,000 and of 1), printing the factor
// of their aggregate rows/s. Columns: DECIMAL(18,0), DOUBLE, VARCHAR(20),
// TIMESTAMP; values vary by row, every seventh row is NULL in every column;
// bound as SQL_C_SBIGINT, SQL_C_DOUBLE, SQL_C_CHAR[21], SQL_C_TYPE_TIMESTAMP.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
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
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"
#include "transport/qvoSocket.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int64_t kPeriod = 100000;        // the values repeat every kPeriod rows
constexpr int64_t kFixedRows = 100000;     // rows per answer of the 4 MB shape
constexpr uint64_t kRawChunk = 64 * 1024;  // recv size of the raw reader
constexpr int kProtocol = 9;
constexpr int kColumns = 4;
constexpr int kRuns = 5;
constexpr int kThreads = 8;

void Put(Bytes& out, uint64_t v, int width) {
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(width));
  for (int i = 0; i < width; ++i)
    out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
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
// Sends every byte of the pieces, resuming after partial writes.
bool SendPieces(int fd, std::vector<iovec> pieces) {
  size_t first = 0;
  while (first < pieces.size()) {
    msghdr m{};
    m.msg_iov = pieces.data() + first;
    m.msg_iovlen = std::min<size_t>(pieces.size() - first, IOV_MAX);
    ssize_t k = sendmsg(fd, &m, MSG_NOSIGNAL);
    if (k <= 0) return false;
    while (k > 0 && first < pieces.size()) {
      iovec& v = pieces[first];
      const size_t take = std::min<size_t>(v.iov_len, static_cast<size_t>(k));
      v.iov_base = static_cast<char*>(v.iov_base) + take;
      v.iov_len -= take;
      k -= static_cast<ssize_t>(take);
      if (v.iov_len == 0) ++first;
    }
  }
  return true;
}

// --- the node's data -----------------------------------------------------------------------

// One period of each column as the wire carries it, with the offset of each
// row's value (kPeriod + 1 entries), so that any run of rows of a column is
// at most a few contiguous pieces.
struct ColumnData {
  Bytes bytes;
  std::vector<uint64_t> at;
};

std::vector<ColumnData> MakeColumns() {
  std::vector<ColumnData> cols(kColumns);
  auto isNull = [](int64_t r) { return r % 7 == 6; };
  for (int c = 0; c < kColumns; ++c) {
    Bytes& b = cols[c].bytes;
    for (int64_t r = 0; r < kPeriod; ++r) {
      cols[c].at.push_back(b.size());
      if (isNull(r)) {
        b.push_back(0);
        continue;
      }
      b.push_back(1);
      if (c == 0) {
        Put(b, static_cast<uint64_t>(r * 7919 - 400000), 8);
      } else if (c == 1) {
        const double d = static_cast<double>(r) / 7.0 - 1000.0;
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        Put(b, bits, 8);
      } else if (c == 2) {
        const std::string text = "name-" + std::to_string(r * 31 % 1000003);
        Put(b, text.size(), 4);
        b.insert(b.end(), text.begin(), text.end());
      } else {
        Put(b, static_cast<uint64_t>(1990 + r % 40), 2);
        b.push_back(static_cast<uint8_t>(1 + r % 12));
        b.push_back(static_cast<uint8_t>(1 + r % 28));
        b.push_back(static_cast<uint8_t>(r % 24));
        b.push_back(static_cast<uint8_t>(r % 60));
        b.push_back(static_cast<uint8_t>(r / 60 % 60));
        Put(b, static_cast<uint64_t>(r * 1000 % 1000000000), 4);
      }
    }
    cols[c].at.push_back(b.size());
  }
  return cols;
}

// Bytes of rows [0, k) of a column, for any k.
uint64_t ColumnBytesBefore(const ColumnData& col, int64_t k) {
  return static_cast<uint64_t>(k / kPeriod) * col.bytes.size() + col.at[k % kPeriod];
}
uint64_t BlockBytes(const std::vector<ColumnData>& cols, int64_t start, int64_t n) {
  uint64_t sum = 0;
  for (const ColumnData& col : cols)
    sum += ColumnBytesBefore(col, start + n) - ColumnBytesBefore(col, start);
  return sum;
}
// Rows [start, start + n) of a column as pieces of its period.
void AddPieces(const ColumnData& col, int64_t start, int64_t n, std::vector<iovec>* out) {
  while (n > 0) {
    const int64_t r = start % kPeriod;
    const int64_t take = std::min(n, kPeriod - r);
    const uint64_t from = col.at[r];
    const uint64_t to = col.at[r + take];
    out->push_back({const_cast<uint8_t*>(col.bytes.data() + from), to - from});
    start += take;
    n -= take;
  }
}

// --- the node ------------------------------------------------------------------------------

// Counters the node shares with the client (a shared mapping across fork).
struct NodeCounters {
  std::atomic<int64_t> answers;
  std::atomic<int64_t> bytes;
};

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

Bytes AnswerHeader(uint64_t length, uint32_t results) {
  Bytes h;
  Put(h, length, 4);
  h.push_back(0);
  Put(h, 0, 4);
  Put(h, 0, 4);
  Put(h, 0, 4);
  Put(h, results, 4);
  return h;
}

void PinTo(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  sched_setaffinity(0, sizeof set, &set);  // this thread
}

int NodeCpu() { return static_cast<int>(std::thread::hardware_concurrency()) - 1; }

// Serving threads inherit the node's CPU; an unpinned one may run anywhere.
void Place(bool pinned) {
  if (pinned) return PinTo(NodeCpu());
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int c = 0; c <= NodeCpu(); ++c) CPU_SET(c, &set);
  sched_setaffinity(0, sizeof set, &set);
}

// What the statement text asks of the node: "SELECT <rows> <shape> <pinning>".
struct Query {
  int64_t rows = 0;
  bool fixed = false;  // 100,000 rows an answer whatever the budget
  bool pinned = true;  // the serving thread on the node's CPU
};
Query ParseQuery(const uint8_t* data, size_t n) {
  const std::string text(reinterpret_cast<const char*>(data), n);
  Query q;
  const size_t at = text.find("SELECT ");
  if (at != std::string::npos) q.rows = std::atoll(text.c_str() + at + 7);
  q.fixed = text.find("FIXED") != std::string::npos;
  q.pinned = text.find("UNPINNED") == std::string::npos;
  return q;
}

// Serves one connection: an execute gets the description, a fetch by byte
// budget the rows the budget holds (or 100,000 for the fixed shape), a raw
// request (command 99) its byte count as plain bytes, everything else an
// empty answer.
void Serve(int fd, const std::vector<ColumnData>* cols, NodeCounters* counters) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  Bytes in;
  Query q;
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
      q = ParseQuery(data, length - attrLength);
      Place(q.pinned);
      Bytes r;
      r.push_back(1);  // result set
      Put(r, 1, 4);    // handle
      Put(r, kColumns, 4);
      Put(r, static_cast<uint64_t>(q.rows), 8);
      Put(r, 0, 8);  // no rows inline
      const Bytes d = Description();
      r.insert(r.end(), d.begin(), d.end());
      const Bytes h = AnswerHeader(r.size(), 1);
      ok = SendAll(fd, h.data(), h.size()) && SendAll(fd, r.data(), r.size());
    } else if (command == 36) {
      const auto start = static_cast<int64_t>(Get(data + 4, 8));
      const auto budget = static_cast<uint64_t>(Get(data + 12, 8));
      int64_t n = std::min(kFixedRows, q.rows - start);
      if (!q.fixed) {
        // The most rows whose block stays within the budget.
        int64_t lo = 0, hi = q.rows - start;
        while (lo < hi) {
          const int64_t mid = lo + (hi - lo + 1) / 2;
          if (BlockBytes(*cols, start, mid) <= budget)
            lo = mid;
          else
            hi = mid - 1;
        }
        n = lo;
      }
      const uint64_t blockBytes = BlockBytes(*cols, start, n);
      Bytes head;
      head.push_back(6);  // more rows
      Put(head, static_cast<uint64_t>(n), 8);
      Bytes h = AnswerHeader(head.size() + blockBytes, 1);
      h.insert(h.end(), head.begin(), head.end());
      std::vector<iovec> pieces{{h.data(), h.size()}};
      for (const ColumnData& col : *cols) AddPieces(col, start, n, &pieces);
      // Counted before they go out: the client reads the counters as soon
      // as it has the last answer.
      counters->answers.fetch_add(1);
      counters->bytes.fetch_add(static_cast<int64_t>(h.size() + blockBytes));
      ok = SendPieces(fd, std::move(pieces));
    } else if (command == 99) {
      Place(length - attrLength == 8);
      const auto bytes = static_cast<int64_t>(Get(data, 8));
      std::vector<iovec> pieces;
      for (int64_t sent = 0; sent < bytes;) {
        for (const ColumnData& col : *cols) {
          const auto take = static_cast<size_t>(
              std::min<int64_t>(bytes - sent, static_cast<int64_t>(col.bytes.size())));
          pieces.push_back({const_cast<uint8_t*>(col.bytes.data()), take});
          sent += static_cast<int64_t>(take);
          if (sent == bytes) break;
        }
      }
      ok = SendPieces(fd, std::move(pieces));
    } else {
      const Bytes h = AnswerHeader(0, 0);
      ok = SendAll(fd, h.data(), h.size());
    }
    if (!ok) break;
  }
  close(fd);
}

[[noreturn]] void RunNode(int listenFd, NodeCounters* counters) {
  const std::vector<ColumnData> cols = MakeColumns();
  PinTo(NodeCpu());
  for (;;) {
    const int fd = accept(listenFd, nullptr, nullptr);
    if (fd < 0) _exit(0);
    std::thread(Serve, fd, &cols, counters).detach();
  }
}

int Listen(uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(fd, 64);
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

// --- the client ----------------------------------------------------------------------------

uint16_t gPort = 0;
NodeCounters* gCounters = nullptr;

// The plain reader: asks the node for `bytes` bytes, reads them with 64 KB
// recv calls. Seconds.
double RawSeconds(int64_t bytes, bool pinned) {
  const int fd = Connect(gPort);
  Bytes request = AnswerHeader(8 + (pinned ? 0 : 8), 1);
  request[4] = 99;
  Put(request, static_cast<uint64_t>(bytes), 8);
  if (!pinned) request.insert(request.end(), {'U', 'N', 'P', 'I', 'N', 'N', 'E', 'D'});
  std::vector<uint8_t> buffer(kRawChunk);
  const auto t0 = Clock::now();
  SendAll(fd, request.data(), request.size());
  int64_t got = 0;
  while (got < bytes) {
    const ssize_t k = recv(fd, buffer.data(), buffer.size(), 0);
    if (k <= 0) break;
    got += k;
  }
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  close(fd);
  return s;
}

struct Shape {
  const char* name;
  SQLULEN rowset;
  bool fixed;
};

// One client connection with its statement, set up as a login leaves it.
struct Client {
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  explicit Client(SQLHENV e) : env(e) {
    QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    auto* conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
    conn->ImMainNode = true;
    conn->connAttr.connType = 1;
    conn->SetProtocollVer(kProtocol);
    conn->Socket = std::make_unique<qvoSocket>(conn, Connect(gPort));
    QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    static_cast<qvoStatement*>(GetHandlePtr(stmt))->SetProtocollVer(kProtocol);
  }
  ~Client() {
    QVOFreeHandle(SQL_HANDLE_STMT, stmt);
    QVOFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
};

// Executes and fetches every row; the rows fetched, -1 on failure.
int64_t FetchAll(Client& client, int64_t rows, const Shape& shape, bool pinned,
                 rusage* afterFirst = nullptr) {
  const SQLHSTMT stmt = client.stmt;
  QVOFreeStmt(stmt, SQL_CLOSE);
  std::string sql = "SELECT " + std::to_string(rows) + (shape.fixed ? " FIXED" : "") +
                    (pinned ? "" : " UNPINNED");
  if (QVOExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS) != SQL_SUCCESS)
    return -1;
  const SQLULEN rowset = shape.rowset;
  SQLULEN fetched = 0;
  QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0);
  QVOSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  std::vector<SQLBIGINT> amount(rowset);
  std::vector<double> ratio(rowset);
  std::vector<char> name(21 * rowset);
  std::vector<SQL_TIMESTAMP_STRUCT> stamp(rowset);
  std::vector<std::vector<SQLLEN>> ind(kColumns, std::vector<SQLLEN>(rowset));
  QVOBindCol(stmt, 1, SQL_C_SBIGINT, amount.data(), sizeof(SQLBIGINT), ind[0].data());
  QVOBindCol(stmt, 2, SQL_C_DOUBLE, ratio.data(), sizeof(double), ind[1].data());
  QVOBindCol(stmt, 3, SQL_C_CHAR, name.data(), 21, ind[2].data());
  QVOBindCol(stmt, 4, SQL_C_TYPE_TIMESTAMP, stamp.data(), sizeof(SQL_TIMESTAMP_STRUCT),
             ind[3].data());
  int64_t total = 0;
  SQLRETURN rc;
  while ((rc = QVOFetch(stmt)) == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    // The first fetch receives the first answer: the faults after it are
    // those of the later answers.
    if (total == 0 && afterFirst) getrusage(RUSAGE_SELF, afterFirst);
    total += static_cast<int64_t>(fetched);
  }
  QVOFreeStmt(stmt, SQL_UNBIND);
  return rc == SQL_NO_DATA ? total : -1;
}

double Seconds(const timeval& a, const timeval& b) {
  return static_cast<double>(b.tv_sec - a.tv_sec) +
         static_cast<double>(b.tv_usec - a.tv_usec) / 1e6;
}

struct Run {
  double rowsPerSecond = 0, mbPerSecond = 0, ratio = 0, user = 0, sys = 0;
  double firstFaults = 0, faultsPerAnswer = 0, maxRssMb = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Load(double* one) {
  double l[3] = {};
  getloadavg(l, 3);
  *one = l[0];
}

// Five runs of one connection; prints each and the median.
bool MeasureShape(SQLHENV env, int64_t rows, const Shape& shape) {
  std::vector<Run> runs;
  for (int i = 0; i < kRuns; ++i) {
    // Each run on a new connection, as an application's first result set.
    Client client(env);
    const int64_t answers0 = gCounters->answers.load();
    const int64_t bytes0 = gCounters->bytes.load();
    rusage u0{}, u1{}, first{};
    getrusage(RUSAGE_SELF, &u0);
    const auto t0 = Clock::now();
    const int64_t got = FetchAll(client, rows, shape, true, &first);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    getrusage(RUSAGE_SELF, &u1);
    if (got != rows) {
      std::fprintf(stderr, "%s: fetch ended after %lld rows\n", shape.name,
                   static_cast<long long>(got));
      return false;
    }
    const int64_t answers = gCounters->answers.load() - answers0;
    const int64_t bytes = gCounters->bytes.load() - bytes0;
    const double raw = RawSeconds(bytes, true);
    Run r;
    r.rowsPerSecond = static_cast<double>(rows) / s;
    r.mbPerSecond = static_cast<double>(bytes) / 1e6 / s;
    r.ratio = raw / s;
    r.user = Seconds(u0.ru_utime, u1.ru_utime);
    r.sys = Seconds(u0.ru_stime, u1.ru_stime);
    r.firstFaults = static_cast<double>(first.ru_minflt - u0.ru_minflt);
    r.faultsPerAnswer = static_cast<double>(u1.ru_minflt - first.ru_minflt) /
                        static_cast<double>(std::max<int64_t>(answers - 1, 1));
    r.maxRssMb = static_cast<double>(u1.ru_maxrss) / 1024;
    double load = 0;
    Load(&load);
    std::printf(
        "  %-22s run %d: %6.2f M rows/s %7.1f MB/s  ratio %.3f  cpu %.3f s (user %.3f, sys "
        "%.3f)  %lld answers, faults %.0f first, %.1f per later answer  raw %.1f MB/s  max rss "
        "%.0f MB  load %.1f\n",
        shape.name, i + 1, r.rowsPerSecond / 1e6, r.mbPerSecond, r.ratio, r.user + r.sys, r.user,
        r.sys, static_cast<long long>(answers), r.firstFaults, r.faultsPerAnswer,
        static_cast<double>(bytes) / 1e6 / raw, r.maxRssMb, load);
    runs.push_back(r);
  }
  auto median = [&](double Run::*field) {
    std::vector<double> v;
    for (const Run& r : runs) v.push_back(r.*field);
    return Median(v);
  };
  std::printf(
      "%-24s median: %6.2f M rows/s %7.1f MB/s  ratio %.3f  cpu user %.3f s sys %.3f s  "
      "faults %.0f first, %.1f per later answer\n",
      shape.name, median(&Run::rowsPerSecond) / 1e6, median(&Run::mbPerSecond), median(&Run::ratio),
      median(&Run::user), median(&Run::sys), median(&Run::firstFaults),
      median(&Run::faultsPerAnswer));
  std::fflush(stdout);
  return true;
}

// Aggregate rows/s of `threads` connections fetching at once.
double ThreadedRowsPerSecond(SQLHENV env, int threads, int64_t rows, const Shape& shape) {
  std::vector<std::unique_ptr<Client>> clients;
  for (int t = 0; t < threads; ++t) clients.push_back(std::make_unique<Client>(env));
  std::barrier start(threads + 1);
  std::atomic<bool> failed{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      start.arrive_and_wait();
      if (FetchAll(*clients[static_cast<size_t>(t)], rows, shape, false) != rows) failed = true;
    });
  }
  start.arrive_and_wait();
  const auto t0 = Clock::now();
  for (std::thread& w : workers) w.join();
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  if (failed) return -1;
  return static_cast<double>(rows) * threads / s;
}

bool MeasureThreads(SQLHENV env, int64_t rows, const Shape& shape) {
  std::vector<double> factors, ones, alls;
  for (int i = 0; i < kRuns; ++i) {
    const double one = ThreadedRowsPerSecond(env, 1, rows, shape);
    const double all = ThreadedRowsPerSecond(env, kThreads, rows, shape);
    if (one <= 0 || all <= 0) {
      std::fprintf(stderr, "%s: a threaded fetch failed\n", shape.name);
      return false;
    }
    double load = 0;
    Load(&load);
    std::printf(
        "  %-22s run %d: 1 thread %6.2f M rows/s, %d threads %6.2f M rows/s, factor "
        "%.2f  load %.1f\n",
        shape.name, i + 1, one / 1e6, kThreads, all / 1e6, all / one, load);
    factors.push_back(all / one);
    ones.push_back(one);
    alls.push_back(all);
  }
  std::printf("%-24s median: 1 thread %6.2f M rows/s, %d threads %6.2f M rows/s, factor %.2f\n",
              shape.name, Median(ones) / 1e6, kThreads, Median(alls) / 1e6, Median(factors));
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 3000000;
  const int listenFd = Listen(&gPort);
  void* shared = mmap(nullptr, sizeof(NodeCounters), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  gCounters = new (shared) NodeCounters{};
  const pid_t node = fork();
  if (node == 0) RunNode(listenFd, gCounters);
  close(listenFd);
  // An application in a UTF-8 locale: UTF-8 text needs no conversion.
  std::setlocale(LC_ALL, "C.UTF-8");

  SQLHENV env = SQL_NULL_HANDLE;
  QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  std::printf("%lld rows a run; node process on CPU %d; %d runs a case\n",
              static_cast<long long>(rows), NodeCpu(), kRuns);
  const Shape big{"16 MB, rowset 1000", 1000, false};
  const Shape single{"16 MB, rowset 1", 1, false};
  const Shape fixed{"4 MB, rowset 1000", 1000, true};
  // A second argument picks one case: big, single, fixed, threads, threads1.
  const std::string only = argc > 2 ? argv[2] : "";
  auto wanted = [&](const char* name) { return only.empty() || only == name; };
  const bool ok =
      (!wanted("big") || MeasureShape(env, rows, big)) &&
      (!wanted("single") || MeasureShape(env, rows, single)) &&
      (!wanted("fixed") || MeasureShape(env, rows, fixed)) &&
      (!wanted("threads") || MeasureThreads(env, rows, big)) &&
      (!wanted("threads1") || MeasureThreads(env, rows / 4, {"16 MB, rowset 1 (x8)", 1, false}));
  QVOFreeHandle(SQL_HANDLE_ENV, env);
  kill(node, SIGTERM);
  waitpid(node, nullptr, 0);
  return ok ? 0 : 1;
}
