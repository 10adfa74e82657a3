#include "support/fake_node.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "support/fake_table.h"
#include "support/fake_trace.h"

namespace fake {

namespace {

// Largest message the node accepts from a client; anything above is reported
// as a protocol error rather than allocated.
constexpr uint32_t kMaxMessage = 64u << 20;

struct KindRow {
  int16_t first, last;
  AttrKind kind;
};

// Value layout by id, written from the protocol's attribute table.
constexpr KindRow kKinds[] = {
    {1, 5, AttrKind::Text},     {6, 6, AttrKind::Int64},   {7, 7, AttrKind::Bool},
    {8, 13, AttrKind::Text},    {15, 15, AttrKind::Bool},  {16, 16, AttrKind::Int32},
    {17, 17, AttrKind::Byte},   {18, 18, AttrKind::Int64}, {19, 19, AttrKind::Int32},
    {20, 23, AttrKind::Text},   {24, 26, AttrKind::Int64}, {31, 31, AttrKind::Text},
    {32, 34, AttrKind::Binary}, {35, 36, AttrKind::Int32}, {37, 39, AttrKind::Text},
    {40, 40, AttrKind::Int32},  {41, 41, AttrKind::Bool},  {42, 43, AttrKind::Int64},
    {44, 44, AttrKind::Int32},  {45, 45, AttrKind::Bool},  {46, 46, AttrKind::Int32},
    {47, 49, AttrKind::Text},   {50, 51, AttrKind::Bool},  {52, 52, AttrKind::Int32},
    {53, 54, AttrKind::Binary}, {55, 55, AttrKind::Bool},  {56, 56, AttrKind::Int32},
    {57, 57, AttrKind::Bool},   {58, 59, AttrKind::Text},
};

int FixedWidth(AttrKind kind) {
  switch (kind) {
    case AttrKind::Byte:
    case AttrKind::Bool:
      return 1;
    case AttrKind::Int32:
      return 4;
    case AttrKind::Int64:
      return 8;
    default:
      return 0;
  }
}

}  // namespace

void PutLE(Bytes& out, uint64_t value, int width) {
  for (int k = 0; k < width; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

uint64_t GetLE(const uint8_t* p, int width) {
  uint64_t v = 0;
  for (int k = width - 1; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}

AttrKind KindOf(int16_t id) {
  for (const KindRow& row : kKinds)
    if (id >= row.first && id <= row.last) return row.kind;
  return AttrKind::Illegal;
}

// ---- Attr --------------------------------------------------------------------

Attr Attr::Byte(int16_t id, int8_t v) { return Attr{id, {static_cast<uint8_t>(v)}}; }
Attr Attr::Bool(int16_t id, bool v) { return Attr{id, {static_cast<uint8_t>(v ? 1 : 0)}}; }
Attr Attr::Int32(int16_t id, int32_t v) {
  Attr a{id, {}};
  PutLE(a.value, static_cast<uint32_t>(v), 4);
  return a;
}
Attr Attr::Int64(int16_t id, int64_t v) {
  Attr a{id, {}};
  PutLE(a.value, static_cast<uint64_t>(v), 8);
  return a;
}
Attr Attr::Text(int16_t id, std::string_view text) {
  return Attr{id, Bytes(text.begin(), text.end())};
}
Attr Attr::Binary(int16_t id, Bytes bytes) { return Attr{id, std::move(bytes)}; }
Attr Attr::Raw(Bytes recordBytes) {
  Attr a;
  a.value = std::move(recordBytes);
  a.raw = true;
  return a;
}

int64_t Attr::AsInt() const {
  if (value.empty() || value.size() > 8) return 0;
  int width = static_cast<int>(value.size());
  uint64_t v = GetLE(value.data(), width);
  if (width < 8 && (v >> (8 * width - 1)) & 1) v |= ~uint64_t{0} << (8 * width);
  return static_cast<int64_t>(v);
}

std::string Attr::AsText() const { return std::string(value.begin(), value.end()); }

Bytes EncodeAttrs(const std::vector<Attr>& attrs) {
  Bytes out;
  for (const Attr& a : attrs) {
    if (a.raw) {
      out.insert(out.end(), a.value.begin(), a.value.end());
      continue;
    }
    PutLE(out, static_cast<uint16_t>(a.id), 2);
    AttrKind kind = KindOf(a.id);
    if (kind == AttrKind::Text || kind == AttrKind::Binary)
      PutLE(out, static_cast<uint32_t>(a.value.size()), 4);
    out.insert(out.end(), a.value.begin(), a.value.end());
  }
  return out;
}

bool DecodeAttrs(const uint8_t* p, size_t n, std::vector<Attr>* out) {
  out->clear();
  size_t pos = 0;
  while (pos < n) {
    if (n - pos < 2) return false;
    Attr a;
    a.id = static_cast<int16_t>(GetLE(p + pos, 2));
    pos += 2;
    AttrKind kind = KindOf(a.id);
    size_t len;
    if (kind == AttrKind::Illegal) return false;
    if (kind == AttrKind::Text || kind == AttrKind::Binary) {
      if (n - pos < 4) return false;
      len = GetLE(p + pos, 4);
      pos += 4;
    } else {
      len = FixedWidth(kind);
    }
    if (n - pos < len) return false;
    a.value.assign(p + pos, p + pos + len);
    pos += len;
    out->push_back(std::move(a));
  }
  return true;
}

const Attr* Request::Find(int16_t id) const {
  for (const Attr& a : attrs)
    if (a.id == id) return &a;
  return nullptr;
}

Reply Reply::Silent() {
  Reply r;
  r.silent = true;
  return r;
}

Reply Reply::CloseAfter(size_t bytes) {
  Reply r;
  r.closeAfter = bytes;
  return r;
}

Bytes EncodeReply(const Reply& reply) {
  if (reply.raw) return *reply.raw;
  Bytes block = EncodeAttrs(reply.attrs);
  uint32_t attrLength = reply.attrLength.value_or(static_cast<uint32_t>(block.size()));
  uint32_t messageLength =
      reply.messageLength.value_or(static_cast<uint32_t>(block.size() + reply.data.size()));
  Bytes out;
  PutLE(out, messageLength, 4);
  out.push_back(0);  // the command byte of an answer is not read
  PutLE(out, 0, 4);  // serial
  PutLE(out, reply.numAttributes.value_or(static_cast<uint32_t>(reply.attrs.size())), 4);
  PutLE(out, attrLength, 4);
  PutLE(out, reply.results, 4);
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), reply.data.begin(), reply.data.end());
  return out;
}

// ---- RSA -----------------------------------------------------------------------

const fakecrypto::RsaKeyPair& FakeNode::RsaKey() const {
  // Finding the primes takes a moment; every node shares one pair.
  static const fakecrypto::RsaKeyPair key = fakecrypto::MakeRsaKeyPair(20240611);
  return key;
}

std::optional<std::string> FakeNode::DecryptPassword(const Bytes& encoded) const {
  Bytes plain = fakecrypto::RsaDecrypt(RsaKey(), encoded);
  if (plain.empty()) return std::nullopt;
  return fakecrypto::PasswordOf(fakecrypto::Deinterleave(plain));
}

Bytes FakeNode::DecryptSecret(const Bytes& encoded, size_t keyLength) const {
  Bytes plain = fakecrypto::RsaDecrypt(RsaKey(), encoded);
  if (plain.empty()) return {};
  Bytes secret = fakecrypto::Deinterleave(plain).secret;
  if (secret.size() < keyLength) return {};
  secret.resize(keyLength);
  return secret;
}

// ---- FakeNode ----------------------------------------------------------------

FakeNode::FakeNode(Transport transport) : transport_(transport) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC);
  if (transport_ == Transport::Tcp) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 8) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      Fail(std::string("cannot listen: ") + std::strerror(errno));
    } else {
      port_ = ntohs(addr.sin_port);
    }
  } else {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) {
      Fail(std::string("cannot make a socket pair: ") + std::strerror(errno));
    } else {
      pairServerFd_ = fds[0];
      clientEnd_ = fds[1];
    }
  }
  thread_ = std::thread([this] { Run(); });
}

FakeNode::~FakeNode() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  uint64_t one = 1;
  if (write(wakeFd_, &one, sizeof one) < 0) {
    // The thread also polls the stop flag; nothing else to do.
  }
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
  if (clientEnd_ >= 0) close(clientEnd_);
  if (wakeFd_ >= 0) close(wakeFd_);
}

int FakeNode::TakeClientEnd() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(clientEnd_, -1);
}

void FakeNode::Push(Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(reply));
}

void FakeNode::On(uint8_t command, Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handlers_[command] = std::move(handler);
}

void FakeNode::SetCipherKeys(const Bytes& clientSendKey, const Bytes& clientReceiveKey, bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  fromClient_.emplace(clientSendKey);
  toClient_.emplace(clientReceiveKey);
  if (on) cipherOn_ = true;
}

std::vector<Request> FakeNode::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool FakeNode::WaitFor(const std::function<bool()>& ready, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

bool FakeNode::WaitForRequests(size_t count, int timeoutMs) const {
  return WaitFor([&] { return requests_.size() >= count; }, timeoutMs);
}

int FakeNode::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

int FakeNode::ClosedConnections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

bool FakeNode::WaitForClosed(int count, int timeoutMs) const {
  return WaitFor([&] { return closed_ >= count; }, timeoutMs);
}

std::vector<std::string> FakeNode::Errors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return errors_;
}

std::string FakeNode::Trace() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return trace_;
}

void FakeNode::ClearTrace() {
  std::lock_guard<std::mutex> lock(mutex_);
  trace_.clear();
}

void FakeNode::Forget() {
  std::lock_guard<std::mutex> lock(mutex_);
  trace_.clear();
  requests_.clear();
}

void FakeNode::Fail(std::string what) {
  std::lock_guard<std::mutex> lock(mutex_);
  errors_.push_back(std::move(what));
  changed_.notify_all();
}

void FakeNode::Run() {
  if (transport_ == Transport::Pair) {
    if (pairServerFd_ >= 0) Serve(pairServerFd_);
    return;
  }
  if (listenFd_ < 0) return;
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int n = poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN)) return;
    if (fds[0].revents & POLLIN) {
      int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      Serve(fd);
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) return;
    }
  }
}

// Reads what is there (waiting for at least one byte), deciphering it when the
// cipher is on. False when the client closed, the node stops, or reading fails.
bool FakeNode::ReadSome(int fd, Bytes& buffer, std::vector<size_t>* arrivals) {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int n = poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN)) return false;
    uint8_t chunk[1 << 17];
    ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (transport_ == Transport::Pair && arrivals) arrivals->push_back(static_cast<size_t>(got));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (cipherOn_ && fromClient_) fromClient_->Apply(chunk, static_cast<size_t>(got));
    }
    buffer.insert(buffer.end(), chunk, chunk + got);
    return true;
  }
}

bool FakeNode::SendBytes(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t sent = send(fd, p, n, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    p += sent;
    n -= static_cast<size_t>(sent);
  }
  return true;
}

Reply FakeNode::ChooseReply(const Request& request) {
  Handler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!queue_.empty()) {
      Reply r;
      std::swap(r, queue_.front());
      queue_.pop_front();
      return r;
    }
  }
  if (std::optional<Reply> reply = AnswerFromTables(request)) return std::move(*reply);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handlers_.find(request.command);
    if (it != handlers_.end()) handler = it->second;
  }
  if (handler) return handler(request, *this);
  if (request.command == kAbortQuery) return Reply::Silent();
  return Reply{};
}

// Sends one reply (and the replies that follow it). False when the node closed
// the connection on purpose or sending failed.
bool FakeNode::SendReply(int fd, const Reply& reply) {
  if (reply.silent) return true;
  Bytes bytes = EncodeReply(reply);
  size_t count = reply.closeAfter ? std::min(*reply.closeAfter, bytes.size()) : bytes.size();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cipherOn_ && toClient_) toClient_->Apply(bytes.data(), count);
  }
  bool ok;
  if (reply.trickle) {
    ok = true;
    for (size_t i = 0; ok && i < count; ++i) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return false;
      }
      ok = SendBytes(fd, bytes.data() + i, 1);
      if (ok && i + 1 < count) std::this_thread::sleep_for(*reply.trickle);
    }
  } else if (transport_ == Transport::Pair && !reply.raw && !reply.closeAfter) {
    // One record per piece the client reads: header, attribute block, data.
    size_t block = bytes.size() - kHeaderSize - reply.data.size();
    ok = SendBytes(fd, bytes.data(), kHeaderSize) &&
         (block == 0 || SendBytes(fd, bytes.data() + kHeaderSize, block)) &&
         (reply.data.empty() ||
          SendBytes(fd, bytes.data() + kHeaderSize + block, reply.data.size()));
  } else {
    ok = SendBytes(fd, bytes.data(), count);
  }
  if (!ok || reply.closeAfter) return false;
  if (reply.cipherOnAfter) {
    std::lock_guard<std::mutex> lock(mutex_);
    cipherOn_ = true;
  }
  for (const Reply& next : reply.then)
    if (!SendReply(fd, next)) return false;
  return true;
}

void FakeNode::Serve(int fd) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++connections_;
    changed_.notify_all();
  }
  Bytes in;
  std::vector<size_t> arrivals;
  bool open = true;
  while (open) {
    Request req;
    // Header or login preamble.
    while (open && in.size() < 4) open = ReadSome(fd, in, &arrivals);
    if (!open) break;
    req.login = GetLE(in.data(), 4) == kLoginMagic1;
    size_t headerSize = req.login ? kLoginPreambleSize : kHeaderSize;
    while (open && in.size() < headerSize) open = ReadSome(fd, in, &arrivals);
    if (!open) break;
    req.header.assign(in.begin(), in.begin() + static_cast<long>(headerSize));
    uint64_t dataLength;
    if (req.login) {
      req.command = kLogin;
      req.messageLength = static_cast<uint32_t>(GetLE(&in[4], 4));
      req.protocolVersion = static_cast<uint32_t>(GetLE(&in[8], 4));
      if (GetLE(&in[12], 4) != kLoginMagic2 || req.messageLength < 8) {
        Fail("login preamble malformed");
        break;
      }
      req.attrLength = req.messageLength - 8;
      dataLength = 0;
    } else {
      req.messageLength = static_cast<uint32_t>(GetLE(&in[0], 4));
      req.command = in[4];
      req.serial = static_cast<uint32_t>(GetLE(&in[5], 4));
      req.numAttributes = static_cast<uint32_t>(GetLE(&in[9], 4));
      req.attrLength = static_cast<uint32_t>(GetLE(&in[13], 4));
      req.dataFlag = static_cast<uint32_t>(GetLE(&in[17], 4));
      if (req.attrLength > req.messageLength) {
        Fail("attribute block longer than the message");
        break;
      }
      dataLength = req.messageLength - req.attrLength;
    }
    if (req.messageLength > kMaxMessage) {
      Fail("message too large for the node");
      break;
    }
    size_t total = headerSize + req.attrLength + dataLength;
    while (open && in.size() < total) open = ReadSome(fd, in, &arrivals);
    if (!open) {
      Fail("connection ended inside a request");
      break;
    }
    auto block = in.begin() + static_cast<long>(headerSize);
    req.attrBlock.assign(block, block + req.attrLength);
    req.data.assign(block + req.attrLength, in.begin() + static_cast<long>(total));
    in.erase(in.begin(), in.begin() + static_cast<long>(total));
    req.attrsValid = DecodeAttrs(req.attrBlock.data(), req.attrBlock.size(), &req.attrs);
    if (!req.attrsValid) Fail("undecodable attribute block");
    if (!req.login && req.attrsValid && req.attrs.size() != req.numAttributes)
      Fail("attribute count does not match the block");
    req.arrivals = std::exchange(arrivals, {});
    // A record that also carried the start of the next request stays counted
    // with this one; the client never does that, as it flushes per request.
    Reply reply = ChooseReply(req);
    std::string traced = TraceRequest(req) + TraceAnswer(reply, req.command, ProtocolVersion());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      trace_ += traced;
      requests_.push_back(req);
      changed_.notify_all();
    }
    open = SendReply(fd, reply);
  }
  close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  ++closed_;
  cipherOn_ = false;
  changed_.notify_all();
}

int ConnectTcp(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace fake
