// A connection whose socket talks to a fake node, and helpers to read the
// diagnostics it collects.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "connection/qvoConnection.h"
#include "handles/qvoHandle.h"
#include "support/diag_records.h"
#include "support/fake_node.h"
#include "transport/qvoSocket.h"

// A main connection at protocol version 13 with a socket to a fresh node.
struct WireFixture {
  explicit WireFixture(fake::Transport transport = fake::Transport::Tcp) : node(transport) {
    conn.ImMainNode = true;
    Attach();
  }

  void Attach() {
    int fd = node.Port() ? fake::ConnectTcp(node.Port()) : node.TakeClientEnd();
    conn.Socket = std::make_unique<qvoSocket>(&conn, fd);
  }

  qvoSocket& socket() { return *conn.Socket; }

  // One exchange on behalf of the connection, its answer's attributes applied.
  qvo_int64 Exchange(__qvoMessageMode command, const std::string& data = {},
                     std::unique_ptr<qvoAttributes>* attributes = nullptr) {
    return conn.Exchange(socket(), nullptr, attributes, data.empty() ? nullptr : data.data(),
                         static_cast<qvo_int64>(data.size()), command);
  }

  // The answer data after the 4-byte result count.
  std::string AnswerData() {
    char* buffer = socket().GetQvoAnswer(nullptr);
    qvo_int64 len = socket().GetQvoAnswerLen();
    return buffer && len >= 4 ? std::string(buffer + 4, static_cast<size_t>(len - 4)) : "";
  }

  fake::FakeNode node;  // declared first: it outlives the connection
  qvoConnection conn{nullptr};
};
