// Connecting a socket to a node: the address, one connect with a time-out and
// the reconnect to the same node; then what the connection's login tells the
// socket (how far it came, the node's key material, the cipher's keys).

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/qvoServices.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandle.h"
#include "protocol/qvoAttributeBlock.h"
#include "transport/qvoSocket.h"

namespace {

constexpr int connectTimeoutSeconds = 30;

}  // namespace

// ---- connecting ----------------------------------------------------------------

int timed_connect(int socket, sockaddr* address, unsigned addressLength, timeval* timeout) {
  const int flags = fcntl(socket, F_GETFL, 0);
  if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) return -1;
  if (connect(socket, address, addressLength) != 0) {
    if (errno != EINPROGRESS) {
      const int err = errno;
      fcntl(socket, F_SETFL, flags);
      errno = err;
      return -1;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(timeout->tv_sec) +
                          std::chrono::microseconds(timeout->tv_usec);
    int ready;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd pfd{socket, POLLOUT, 0};
      ready = poll(&pfd, 1, left > 0 ? static_cast<int>(std::min<long long>(left, INT_MAX)) : 0);
      if (ready >= 0 || errno != EINTR) break;
    }
    const int err = errno;
    if (fcntl(socket, F_SETFL, flags) < 0) return -1;
    if (ready < 0) {
      errno = err;
      return -1;
    }
    if (ready == 0) {
      errno = ETIMEDOUT;
      return -1;
    }
  } else if (fcntl(socket, F_SETFL, flags) < 0) {
    return -1;
  }
  int soError = 0;
  socklen_t length = sizeof soError;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) return -1;
  if (soError == 0) return 0;
  errno = soError;
  return -1;
}

SQLRETURN qvoSocket::Connect() {
  sockaddr_in address{};
  if (GetSocketServer(owner->NodeHost(), owner->NodePort(), &address) != SQL_SUCCESS) {
    socketError = QVO_SOCKET_CREATE_FAILED;
    return SQL_ERROR;
  }
  if (ConnectToServer(&address) != SQL_SUCCESS) {
    socketError = QVO_SOCKET_CONNECT_FAILED;
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoSocket::GetSocketServer(const char* host, const char* port, sockaddr_in* address) {
  qvoMutex lock(socketMutex);
  closeSocket();
  sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock < 0) {
    qvoConnected = 0;
    return QVO_DIAG(connection, _Client_unable_to_establish_connection_Socket_failure_, -1);
  }
  int one = 1;
  if (setsockopt(sock, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) != 0) return WSAError();

  *address = sockaddr_in{};
  address->sin_family = AF_INET;
  // A port outside 1..65535 names no node; it must not wrap into another one.
  char* end = nullptr;
  errno = 0;
  const long portNumber = port ? std::strtol(port, &end, 10) : 0;
  if (!port || end == port || *end != '\0' || errno != 0 || portNumber < 1 || portNumber > 65535) {
    qvoConnected = 0;
    return QVO_DIAG(connection, _Client_unable_to_establish_connection_Unable_to_find_host_, -1);
  }
  address->sin_port = htons(static_cast<uint16_t>(portNumber));
  if (!host || inet_pton(AF_INET, host, &address->sin_addr) != 1) {
    char ip[64];
    if (!host || GetIpFromHostname(host, ip, sizeof ip) != 0 ||
        inet_pton(AF_INET, ip, &address->sin_addr) != 1) {
      qvoConnected = 0;
      return QVO_DIAG(connection, _Client_unable_to_establish_connection_Unable_to_find_host_, -1);
    }
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoSocket::ConnectToServer(sockaddr_in* address) {
  if (connection->logFull) connection->Log("qvoSocket::ConnectToServer try to connect.\n");
  timeval timeout{connectTimeoutSeconds, 0};
  const int rc =
      timed_connect(sock, reinterpret_cast<sockaddr*>(address), sizeof *address, &timeout);
  if (connection->logFull)
    connection->Log("qvoSocket::ConnectToServer timed_connect returned %i.\n", rc);
  if (rc == 0) return SQL_SUCCESS;
  const int err = errno;
  usleep(10000);
  errno = err;
  return ErrorConnect(-1);
}

SQLRETURN qvoSocket::Reconnect() {
  if (connection->logFull) connection->Log("qvoSocket::Reconnect()\n");
  socketError = QVO_SOCKET_OK;
  closeSocket();
  sendBufferPos = 0;
  sleep(1);
  return Connect();
}

void qvoSocket::Rejoined() {
  reconnect = false;
  if (connection->logFull) connection->Log("qvoSocket::Reconnect() success!\n");
}

// ---- what the login tells the socket ---------------------------------------------

void qvoSocket::SetConnected(bool connected) { qvoConnected = connected ? 1 : 0; }

void qvoSocket::SetSocketError(qvoSocketErrorCode code) { socketError = code; }

void qvoSocket::BoundEachRead(int seconds) { loginWaitLimit = seconds; }

void qvoSocket::TakeNodeKey(const char* bytes, SQLINTEGER length) {
  nodeKeys.publicKey.reset();
  if (length != static_cast<SQLINTEGER>(kPublicKeyBytes)) return;
  nodeKeys.publicKey = std::make_unique<char[]>(kPublicKeyBytes);
  std::memcpy(nodeKeys.publicKey.get(), bytes, kPublicKeyBytes);
}

void qvoSocket::TakeNodePhrase(const char* bytes, SQLINTEGER length) {
  nodeKeys.phrase = std::make_unique<char[]>(static_cast<size_t>(length) + 1);
  std::memcpy(nodeKeys.phrase.get(), bytes, static_cast<size_t>(length));
  nodeKeys.phraseLength = length;
}

void qvoSocket::ForgetNodeKeys() {
  nodeKeys.publicKey.reset();
  nodeKeys.phrase.reset();
  nodeKeys.phraseLength = 0;
}

int qvoSocket::SetCipherKeys(const unsigned char* sendKey, const unsigned char* receiveKey,
                             int length) {
  return encryptor.SetKeys(sendKey, length, receiveKey, length);
}

SQLRETURN qvoSocket::StartEnciphering() {
  qvoMutex sending(sendMutex);
  if (qvoFlush() != SQL_SUCCESS) {
    DropUnsent();
    return ErrorSend(-1);
  }
  encryptor.encryptedCommunication = true;
  return SQL_SUCCESS;
}
