// A socket that talks to a fake node on behalf of a stand-in for its
// connection, and helpers to read what it hands over.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "handles/qvoHandle.h"
#include "protocol/qvoProtocolVersion.h"
#include "support/diag_records.h"
#include "support/fake_node.h"
#include "support/socket_peer.h"
#include "transport/qvoSocket.h"

// What a connection tells its socket, as plain settings; it keeps the
// socket's diagnostics.
struct SocketOwner : qvoHandle, qvoSocketOwner {
  SocketOwner() {
    SetTranslatorLangCode(0);
    protocolVersion = kCurrentProtocol;
  }
  qvoHandle* SocketHandle() override { return this; }
  const char* NodeHost() const override { return "127.0.0.1"; }
  const char* NodePort() const override { return "0"; }
  qvo_int32 FeedbackInterval() const override { return feedbackInterval; }
  bool IsMainNode() const override { return mainNode; }
  bool SocketEncryption() const override { return socketEncryption; }
  SQLHSTMT GetStmt4Attr() const override { return nullptr; }

  qvo_int32 feedbackInterval = 30;
  bool mainNode = true;
  bool socketEncryption = false;
};

// A main node's socket at protocol version 13 to a fresh node.
struct SocketFixture {
  explicit SocketFixture(fake::Transport transport = fake::Transport::Tcp) : node(transport) {
    int fd = node.Port() ? fake::ConnectTcp(node.Port()) : node.TakeClientEnd();
    sock = std::make_unique<qvoSocket>(&owner, fd);
  }

  qvoSocket& socket() { return *sock; }

  // One exchange on behalf of the connection; the answer's attributes are
  // kept in `answer`, the protocol version it named in `answerVersion`.
  qvo_int64 Exchange(__qvoMessageMode command, const std::string& data = {},
                     std::unique_ptr<qvoAttributes>* attributes = nullptr) {
    return socket().qvoExecSQL(nullptr, attributes, data.empty() ? nullptr : data.data(),
                               static_cast<qvo_int64>(data.size()), command, &answer,
                               &answerVersion);
  }

  // The answer data after the 4-byte result count.
  std::string AnswerData() {
    char* buffer = socket().GetQvoAnswer(nullptr);
    qvo_int64 len = socket().GetQvoAnswerLen();
    return buffer && len >= 4 ? std::string(buffer + 4, static_cast<size_t>(len - 4)) : "";
  }

  // The handed-over attributes as (id, value bytes), in their order.
  std::vector<std::pair<int, std::string>> AnswerRecords() {
    std::vector<std::pair<int, std::string>> out;
    for (SQLINTEGER n = 0; answer && n < answer->GetNumAttributes(); ++n) {
      SQLSMALLINT id = 0;
      SQLINTEGER length = 0;
      if (answer->ReadAttrTypeAndLen(n, &id, &length) != SQL_SUCCESS) break;
      out.emplace_back(id, std::string(answer->ReadAttrValuePtr(), static_cast<size_t>(length)));
    }
    return out;
  }

  fake::FakeNode node;  // declared first: it outlives the socket
  SocketOwner owner;
  std::unique_ptr<qvoSocket> sock;
  std::unique_ptr<qvoAttributes> answer;
  qvo_int32 answerVersion = 0;
};
