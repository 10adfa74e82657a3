// Lets a test set what only a long run of requests would otherwise produce
// (the serial number) and see the descriptor a socket holds.
#pragma once

#include "transport/qvoSocket.h"

struct qvoSocketTestPeer {
  explicit qvoSocketTestPeer(qvoSocket& s) : s(s) {}
  qvo_uint32& serial() { return s.nPackageSerial; }
  int descriptor() const { return s.sock; }

  qvoSocket& s;
};
