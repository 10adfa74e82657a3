// libFuzzer target over what a node sends while a client logs in: the login
// answer (public key, random phrase, session settings, or a refusal), the
// answer to the password and cipher-key step, the first enciphered answer,
// and after it the answers of get-host-names and session kill.
//
// The first input byte chooses the client's side:
//   bit 0      a main node (password and keys go out) or a parallel slave;
//   bit 1      the client asks for an enciphered stream;
//   bit 2      no login: the socket counts as logged in at once;
//   bits 3-4   then: 0 nothing, 1 host names, 2 host names into a 16-byte
//              buffer, 3 session kill.
// The rest is the byte stream the client reads, followed by the end of the
// connection, so that a short answer ends at once; what the client sends is
// collected by a second thread.
//
// The system's random bytes are zero while an input runs and the seed text is
// fixed, so the cipher keys are known: what follows the key exchange deciphers
// the same way in every run, and seeds can be enciphered for it (RC4 keyed
// with "fuzz" repeated, the client's send and receive key alike). After a
// login that switched the cipher on, every later request the client sent must
// decipher to a well-formed request.
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "common/qvoByteOrder.h"
#include "connection/qvoConnection.h"
#include "fuzz_server_bytes.h"
#include "transport/qvoCipher.h"
#include "transport/qvoSocket.h"

namespace {

// Larger inputs could not be written into the socket before reading starts.
constexpr size_t maxInput = 150000;
constexpr char kSeed[] = "fuzz";

bool fixedRandom = false;

// Whether the requests the client sent after the login message and the
// set_attributes request (both in clear) decipher to whole requests of the
// kinds this target makes.
bool EncipheredRequestsWellFormed(std::vector<unsigned char>& sent) {
  constexpr size_t preamble = 16, header = qvoSocket::headerSize;
  if (sent.size() < preamble) return false;
  size_t pos = preamble + static_cast<qvo_uint32>(qvoGetLE32(sent.data() + 4)) - 8;
  if (pos + header > sent.size()) return false;
  pos += header + static_cast<qvo_uint32>(qvoGetLE32(sent.data() + pos));
  if (pos > sent.size()) return false;

  unsigned char key[256];
  for (int k = 0; k < 256; ++k) key[k] = static_cast<unsigned char>(kSeed[k % 4]);
  qvoProtocolEncryption cipher;
  cipher.SetKeys(key, 256, key, 256);
  cipher.DecryptBytes(sent.data() + pos, static_cast<int>(sent.size() - pos));
  while (pos < sent.size()) {
    if (pos + header > sent.size()) return false;
    const int command = sent[pos + 4];
    if (command != get_attributes && command != get_hostnames && command != session_kill &&
        command != disconnect_current)
      return false;
    pos += header + static_cast<qvo_uint32>(qvoGetLE32(sent.data() + pos));
  }
  return pos == sent.size();
}

}  // namespace

// Replaces the C library's getrandom for this program: zeros while an input
// runs, the system's bytes otherwise.
extern "C" ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
  if (fixedRandom) {
    std::memset(buffer, 0, length);
    return static_cast<ssize_t>(length);
  }
  return syscall(SYS_getrandom, buffer, length, flags);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > maxInput) return 0;
  const uint8_t flags = data[0];
  ++data;
  --size;

  int fds[2];
  if (!ServerSaid(data, size, fds)) return 0;
  // What the client sends, until it closes.
  std::vector<unsigned char> sent;
  std::thread collect([fd = fds[1], &sent] {
    unsigned char chunk[4096];
    for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, 0)) > 0;)
      sent.insert(sent.end(), chunk, chunk + n);
  });
  bool checkEnciphered = false;

  fixedRandom = true;
  {
    qvoConnection conn(nullptr);
    conn.ImMainNode = (flags & 1) != 0;
    conn.connectionToken = conn.ImMainNode ? 0 : 77;
    conn.connAttr.loginTimeout = 1;  // the end of the input ends every read sooner
    conn.connAttr.socketEncryption = (flags & 2) != 0;
    conn.connAttr.randomSeed = std::make_unique<char[]>(sizeof kSeed);
    std::memcpy(conn.connAttr.randomSeed.get(), kSeed, sizeof kSeed);
    conn.connAttr.SetPassword("secret", 6);
    std::snprintf(conn.server.qvoServer, sizeof conn.server.qvoServer, "10.0.0.5");
    conn.server.qvoServerLen = 8;
    std::snprintf(conn.server.qvoPort, sizeof conn.server.qvoPort, "8563");
    conn.server.qvoPortLen = 4;
    conn.Socket = std::make_unique<qvoSocket>(&conn, fds[0]);
    qvoSocket& socket = *conn.Socket;

    if (!(flags & 4)) {
      const SQLRETURN rc = conn.Login(socket);
      // Nothing of the key material outlives the login.
      const qvoNodeKeys& keys = socket.NodeKeys();
      if (keys.publicKey || keys.phrase || keys.phraseLength != 0 || socket.EachReadBound() != 0)
        __builtin_trap();
      if (rc == SQL_SUCCESS && !socket.qvoIsConnected()) __builtin_trap();
      // A stream reported as enciphered is enciphered, and one the client
      // asked for is there when the login succeeds.
      const bool enciphered = socket.Enciphered();
      if (conn.connAttr.checkConnectionIsEncrypted && !enciphered) __builtin_trap();
      if ((flags & 2) && rc == SQL_SUCCESS && socket.GetSocketError() == QVO_SOCKET_OK &&
          !enciphered)
        __builtin_trap();
      checkEnciphered = rc == SQL_SUCCESS && enciphered;
    }
    switch ((flags >> 3) & 3) {
      case 1:
      case 2: {
        char hosts[300];
        const int hostsSize = ((flags >> 3) & 3) == 1 ? 256 : 16;
        std::memset(hosts, '#', sizeof hosts);
        if (conn.GetHostnames(hosts, hostsSize) == SQL_SUCCESS &&
            std::memchr(hosts, '\0', static_cast<size_t>(hostsSize)) == nullptr)
          __builtin_trap();
        for (size_t k = static_cast<size_t>(hostsSize); k < sizeof hosts; ++k)
          if (hosts[k] != '#') __builtin_trap();
        break;
      }
      case 3: {
        qvo_uint64 session = 7001;
        conn.SetConnectAttr(21042, &session, 8);
        break;
      }
      default:
        break;
    }
    // The connection tells the node it goes, and closes its end.
  }
  fixedRandom = false;
  collect.join();
  close(fds[1]);
  if (checkEnciphered && !EncipheredRequestsWellFormed(sent)) __builtin_trap();
  return 0;
}
