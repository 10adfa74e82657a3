// libFuzzer target over the answer reader: header, attribute block and data as
// a server would send them. The first input byte chooses the connection's
// state (protocol version below 8, enciphered stream); the rest is the byte
// stream the client reads, followed by the end of the connection.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "connection/qvoConnection.h"
#include "fuzz_server_bytes.h"
#include "transport/qvoSocket.h"

namespace {

// Larger inputs could not be written into the socket before reading starts.
constexpr size_t maxInput = 150000;

qvoConnection& Connection() {
  static qvoConnection* conn = new qvoConnection(nullptr);  // lives for the whole run
  return *conn;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > maxInput) return 0;
  const uint8_t flags = data[0];
  ++data;
  --size;

  int fds[2];
  if (!ServerSaid(data, size, fds)) return 0;

  qvoConnection& conn = Connection();
  conn.ClearDiagRecords();
  conn.SetProtocollVer(flags & 1 ? 8 : 13);
  conn.ImMainNode = false;  // no time-out: the end of the input ends every read
  conn.connAttr.feedbackInterval = 30;
  conn.connAttr.socketEncryption = (flags & 2) != 0;
  {
    qvoSocket socket(&conn, fds[0]);
    if (flags & 2) {
      unsigned char sendKey[256], receiveKey[256];
      for (int k = 0; k < 256; ++k) {
        sendKey[k] = static_cast<unsigned char>(k);
        receiveKey[k] = static_cast<unsigned char>(k * 3 + 1);
      }
      socket.SetCipherKeys(sendKey, receiveKey, 256);
      socket.StartEnciphering();
    }
    // A stream may hold several answers; each is read after the one before.
    for (int n = 0; n < 4; ++n) {
      qvo_int64 len = conn.ReadAnswer(socket, execute);
      if (len < 0) break;
      if (len > 0 && socket.GetQvoAnswer(nullptr) == nullptr) __builtin_trap();
    }
  }
  close(fds[1]);
  return 0;
}
