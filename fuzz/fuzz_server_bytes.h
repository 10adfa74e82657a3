// A socket pair whose far end has already said `size` bytes and then closed
// its sending side: the client end (fds[0]) reads exactly what the fuzzer
// gave, then end of input, so no read ever waits.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

inline bool ServerSaid(const uint8_t* data, size_t size, int fds[2]) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
  int bufferSize = 1 << 20;
  setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
  setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
  for (size_t sent = 0; sent < size;) {
    ssize_t n = send(fds[1], data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0) {
      close(fds[0]);
      close(fds[1]);
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  shutdown(fds[1], SHUT_WR);
  return true;
}
