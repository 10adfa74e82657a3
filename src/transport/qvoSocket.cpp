// Socket transport: header, buffered sending, receiving with per-wait time-outs,
// socket errors and closing.

#include "transport/qvoSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/qvoByteOrder.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandle.h"
#include "protocol/qvoProtocolVersion.h"
#include "protocol/qvoRequestPayloads.h"

namespace {

// Empty reads in a row that still count as a live peer.
constexpr int toleratedEmptyReads = 20;

}  // namespace

qvoSocket::qvoSocket(qvoSocketOwner* socketOwner, int connectedSocket)
    : sock(connectedSocket),
      // Bytes of the send buffer are only sent after they were written.
      sendBuffer(std::make_unique_for_overwrite<char[]>(sendBufferThreshold)),
      sendBufferSize(sendBufferThreshold),
      owner(socketOwner),
      connection(socketOwner->SocketHandle()) {
  if (connection->logFull) connection->Log("qvoSocket::qvoSocket()\n");
  testing_zel_8157 = std::getenv("TESTING_ZEL_8157");
  qvoConnected = sock >= 0 ? 1 : 0;
}

qvoSocket::~qvoSocket() {
  if (connection->logFull) connection->Log("qvoSocket::~qvoSocket()\n");
  closeSocket();
}

// ---- header --------------------------------------------------------------------

qvo_uint32 qvoSocket::SerialCounter() { return nPackageSerial++; }

char* qvoSocket::qvoCreateHeader(const qvoAttributes* attributes, qvo_int64 dataLength,
                                 __qvoMessageMode command, char*) {
  const qvo_int64 attrBytes = attributes ? attributes->GetAttrDataLen() : 0;
  qvoMessageHeader h;
  h.length = static_cast<qvo_uint32>(attrBytes + dataLength);
  h.command = static_cast<qvo_int8>(command);
  h.serial = SerialCounter();
  h.attributeCount = attributes ? attributes->GetNumAttributes() : 0;
  h.attributeBytes = static_cast<qvo_uint32>(attrBytes);
  h.lastField = dataLength != 0 ? 1 : 0;
  EncodeMessageHeader(requestHeader, h);
  return requestHeader;
}

qvo_int64 qvoSocket::qvoParseHeader(const char* header, int* numAttributes, int* attributeBytes,
                                    int* results) const {
  char bytes[kMessageHeaderBytes];
  std::memcpy(bytes, header, sizeof bytes);
  const qvoMessageHeader h = DecodeMessageHeader(bytes);
  *numAttributes = h.attributeCount;
  *attributeBytes = static_cast<int>(h.attributeBytes);
  *results = h.lastField;
  // Both lengths are unsigned on the wire.
  return static_cast<qvo_int64>(h.length) - static_cast<qvo_int64>(h.attributeBytes);
}

// ---- sending -------------------------------------------------------------------

// The login switches the cipher on only with both conditions met (protocol
// version 12 or more, the stream asked for); from then on every byte passes
// it, whatever a later answer names as version or the application sets for
// the next login.
bool qvoSocket::Enciphered() const { return encryptor.encryptedCommunication; }

SQLRETURN qvoSocket::qvoSend(const char* bytes, qvo_int64 len, qvo_int64 sizeHint) {
  if (len < 0 || (len > 0 && !bytes)) return SQL_ERROR;
  const bool encrypt = Enciphered();
  if (connection->logFull)
    connection->Log(encrypt ? "qvoSocket::qvoSend() encrypted\n" : "qvoSocket::qvoSend()\n");
  if (!encrypt) return qvoSendBase(bytes, len, sizeHint);

  if (sizeHint < sendBufferThreshold) {
    // Buffered: encipher the appended bytes inside the send buffer.
    int start = sendBufferPos;
    SQLRETURN rc = qvoSendBase(bytes, len, sizeHint);
    if (rc == SQL_SUCCESS && len > 0)
      encryptor.EncryptBytes(reinterpret_cast<unsigned char*>(sendBuffer.get() + start),
                             static_cast<int>(len));
    return rc;
  }
  // Direct: encipher a private copy, the caller's bytes stay as they are.
  std::unique_ptr<char[]> copy(new (std::nothrow) char[static_cast<size_t>(len) + 1]);
  if (!copy) {
    errno = ENOMEM;
    return SQL_ERROR;
  }
  std::memcpy(copy.get(), bytes, static_cast<size_t>(len));
  for (qvo_int64 done = 0; done < len;) {
    int piece = static_cast<int>(std::min<qvo_int64>(len - done, INT_MAX));
    encryptor.EncryptBytes(reinterpret_cast<unsigned char*>(copy.get() + done), piece);
    done += piece;
  }
  return qvoSendBase(copy.get(), len, sizeHint);
}

// Writes all bytes, repeating after partial writes. MSG_NOSIGNAL: a closed
// peer gives EPIPE here instead of a signal to the process.
SQLRETURN qvoSocket::SendAll(const char* bytes, size_t len, int logCode) {
  while (len > 0) {
    ssize_t sent = sock >= 0 ? ::send(sock, bytes, len, MSG_NOSIGNAL) : -1;
    if (sock < 0) errno = ENOTCONN;
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0) {
      reconnect = true;
      if (connection->logFull) connection->Log("qvoSocket::qvoSendBase(), err %i\n", logCode);
      return SQL_ERROR;
    }
    bytes += sent;
    len -= static_cast<size_t>(sent);
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoSocket::qvoSendBase(const char* bytes, qvo_int64 len, qvo_int64 sizeHint) {
  if (len < 0 || (len > 0 && !bytes)) return SQL_ERROR;
  if (sizeHint < sendBufferThreshold) {
    qvo_int64 needed = static_cast<qvo_int64>(sendBufferPos) + len;
    if (needed > INT_MAX - 1) {
      errno = EMSGSIZE;
      return SQL_ERROR;
    }
    if (needed + 1 > sendBufferSize) {
      std::unique_ptr<char[]> grown(new (std::nothrow) char[static_cast<size_t>(needed) + 1]);
      if (!grown) {
        errno = ENOMEM;
        return SQL_ERROR;
      }
      if (sendBufferPos > 0) std::memcpy(grown.get(), sendBuffer.get(), sendBufferPos);
      sendBuffer = std::move(grown);
      sendBufferSize = static_cast<int>(needed) + 1;
    }
    if (len > 0) std::memcpy(sendBuffer.get() + sendBufferPos, bytes, static_cast<size_t>(len));
    sendBufferPos = static_cast<int>(needed);
    return SQL_SUCCESS;
  }

  SQLRETURN rc;
  if (testing_zel_8157 && sizeHint >= 100000) {
    // Test hook: the bytes go out in three pieces with a pause after each.
    qvo_int64 piece = len / 3 + 1;
    rc = SQL_SUCCESS;
    for (qvo_int64 done = 0; done < len && rc == SQL_SUCCESS; done += piece) {
      rc = SendAll(bytes + done, static_cast<size_t>(std::min(piece, len - done)), 3);
      sleep(2);
    }
  } else {
    rc = SendAll(bytes, static_cast<size_t>(len), testing_zel_8157 ? 2 : 1);
  }
  if (rc == SQL_SUCCESS && connection->logFull)
    connection->Log("qvoSocket::qvoSendBase(), SUCCESS\n");
  return rc;
}

SQLRETURN qvoSocket::qvoFlush() {
  if (sendBufferPos < 1) return SQL_SUCCESS;
  SQLRETURN rc = qvoSendBase(sendBuffer.get(), sendBufferPos, sendBufferThreshold + 1);
  sendBufferPos = 0;
  return rc;
}

SQLRETURN qvoSocket::SendMessage(const char* bytes, qvo_int64 len) {
  if (qvoSend(bytes, len, len) == SQL_SUCCESS && qvoFlush() == SQL_SUCCESS) return SQL_SUCCESS;
  DropUnsent();
  return ErrorSend(-1);
}

// ---- receiving -----------------------------------------------------------------

qvo_int32 qvoSocket::ProtocolVersion() const {
  const qvo_int32 version = connection->protocolVersion;
  return answerVersion > 0 && answerVersion < version ? answerVersion : version;
}

int qvoSocket::ReceiveTimeout(__qvoMessageMode command) const {
  const qvo_int64 feedback = owner->FeedbackInterval();
  qvo_int64 t = 0;
  if (command == execute_prepared_statement || command == execute || command == execute_batch ||
      command == continue_execution)
    t = feedback * 10 + 300;
  if (feedback == kFeedbackIntervalTestSetting) t = 5;
  if (ProtocolVersion() < kFeedbackProtocol) t = INT_MAX;
  if (!owner->IsMainNode() || t < 1) t = 0;
  // While a login runs, a node that stays silent must not hold the caller
  // longer than the login time-out.
  if (loginWaitLimit > 0 && (t == 0 || t > loginWaitLimit)) t = loginWaitLimit;
  return static_cast<int>(std::min<qvo_int64>(t, INT_MAX));
}

SQLRETURN qvoSocket::qvoSafeRecv(void* buffer, qvo_int64 len, __qvoMessageMode command) {
  if (!Enciphered()) return qvoSafeRecvBase(buffer, len, command);
  SQLRETURN rc = qvoSafeRecvBase(buffer, len, command);
  if (rc != SQL_SUCCESS) return rc;
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (qvo_int64 done = 0; done < len;) {
    int piece = static_cast<int>(std::min<qvo_int64>(len - done, INT_MAX));
    encryptor.DecryptBytes(bytes + done, piece);
    done += piece;
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoSocket::qvoSafeRecvBase(void* buffer, qvo_int64 len, __qvoMessageMode command) {
  const int timeout = ReceiveTimeout(command);
  if (connection->logFull) connection->Log("qvoSocket::qvoSafeRecvBase(), timeout=%i\n", timeout);
  if (len < 1) return SQL_SUCCESS;
  // poll counts milliseconds in an int; longer limits wait without one.
  const int eachWaitMs = timeout < 1 || timeout > INT_MAX / 1000 ? -1 : timeout * 1000;
  // Each wait ends no later than the limit of the whole answer.
  auto waitFor = [&]() -> int {
    if (!answerDeadline) return eachWaitMs;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        *answerDeadline - std::chrono::steady_clock::now());
    const long long leftMs = std::max<long long>(left.count(), 0);
    if (eachWaitMs >= 0 && eachWaitMs < leftMs) return eachWaitMs;
    return static_cast<int>(std::min<long long>(leftMs, INT_MAX));
  };
  char* out = static_cast<char*>(buffer);
  qvo_int64 total = 0;
  int emptyReads = 0;
  // Failures that are no system error leave errno 0, so that no stale system
  // text is recorded after them.
  auto notSystem = [](SQLRETURN rc) {
    errno = 0;
    return rc;
  };
  while (total < len) {
    if (!qvoConnected || sock < 0)
      return notSystem(QVO_DIAG(connection, _Server_not_connected_, -1));
    pollfd pfd{sock, POLLIN | POLLPRI, 0};
    int ready = poll(&pfd, 1, waitFor());
    if (ready == 0)
      return notSystem(
          QVO_DIAG_FMT(connection, _Socket_read_timeouted_after_seconds_, -1, timeout));
    if (ready < 0) {
      int err = errno;
      if (err == EINTR) continue;
      QVO_DIAG(connection, _Error_in_socket_read_, -1);
      errno = err;
      return SQL_ERROR;
    }
    if (pfd.revents & (POLLNVAL | POLLPRI))
      return notSystem(QVO_DIAG(connection, _Error_in_socket_read_, -1));
    int receiveBuffer = 0;
    socklen_t optLen = sizeof receiveBuffer;
    if (getsockopt(sock, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, &optLen) != 0) {
      WSAError();
      receiveBuffer = 0;
    }
    qvo_int64 want = len - total;
    if (receiveBuffer > 0) want = std::min<qvo_int64>(want, receiveBuffer);
    ssize_t got = ::recv(sock, out + total, static_cast<size_t>(want), 0);
    if (got == 0) {
      if (++emptyReads > toleratedEmptyReads)
        return notSystem(QVO_DIAG(connection, _Socket_closed_by_peer_, -1));
      continue;
    }
    if (got < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      char text[1024];
      std::snprintf(text, sizeof text, "%s", std::strerror(err));
      QVO_DIAG_FMT(connection, _Socket_read_error_, -1, text);
      errno = err;
      return WSAError();
    }
    emptyReads = 0;
    total += got;
    answerBytesReceived += got;
    if (connection->logFull)
      connection->Log("qvoSocket::qvoSafeRecv(), totalRead=%lli, lastRead=%lli\n",
                      static_cast<long long>(total), static_cast<long long>(got));
  }
  return SQL_SUCCESS;
}

// ---- errors --------------------------------------------------------------------

SQLRETURN qvoSocket::WSAError() {
  int err = errno;
  if (err == 0) return SQL_ERROR;
  char buffer[1024];
  const char* text = strerror_r(err, buffer, sizeof buffer);
  if (text && *text) connection->SetDiagRec("HY000", -1, text);
  errno = err;
  return SQL_ERROR;
}

SQLRETURN qvoSocket::ErrorSend(qvo_int64 result) {
  if (result != -1) return SQL_SUCCESS;
  int err = errno;
  if (connection->logFull) connection->Log("SOCKET_ERROR: ErrorSend\n");
  errno = err;
  WSAError();
  qvoConnected = 0;
  return QVO_DIAG(connection, _Error_sending_message_to_QVO_Server_Socket_failure_, -1);
}

SQLRETURN qvoSocket::ErrorRecv(qvo_int64 result) {
  if (result != -1) return SQL_SUCCESS;
  int err = errno;
  if (connection->logFull) connection->Log("SOCKET_ERROR: ErrorRecv\n");
  qvoConnected = 0;
  QVO_DIAG(connection, _Error_receiving_message_from_QVO_Server_Socket_failure_, -1);
  errno = err;
  return WSAError();
}

SQLRETURN qvoSocket::ErrorConnect(qvo_int64 result) {
  if (result != -1) return SQL_SUCCESS;
  int err = errno;
  if (connection->logFull) connection->Log("SOCKET_ERROR: ErrorConnect\n");
  errno = err;
  WSAError();
  qvoConnected = 0;
  return QVO_DIAG(connection, _No_server_listening_, -1);
}

// ---- closing -------------------------------------------------------------------

void qvoSocket::closeSocket() {
  if (sock >= 0) ::close(sock);
  sock = -1;
  ResetAnswerBuffer(0);
  spareAnswerBuffer.reset();
  spareAnswerCapacity = 0;
  qvoConnected = 0;
  encryptor.encryptedCommunication = false;
}

void qvoSocket::closeSocketForce() {
  if (sock >= 0) ::shutdown(sock, SHUT_RDWR);
}

SQLRETURN qvoSocket::CheckSocket() {
  pollfd pfd{sock, POLLIN, 0};
  int ready;
  do {
    ready = poll(&pfd, 1, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready == 1 && !(pfd.revents & POLLNVAL)) return SQL_SUCCESS;
  std::perror("poll()");
  return SQL_ERROR;
}
