// A connection and a statement, made once through the exported functions and
// kept for the run, whose socket reads what the fuzzer gave as the node's
// answers (header, attribute block and data of one answer after another,
// then the end of the connection), so that a target calls the library as an
// application would and every answer it asks for comes from the input.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "connection/qvoConnection.h"
#include "fuzz_server_bytes.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"
#include "transport/qvoSocket.h"

// Larger inputs could not be written into the socket before reading starts.
inline constexpr size_t kMaxServerBytes = 150000;

// The protocol version a target's flag bits choose: the oldest a node may
// speak, the first with fetches by byte budget, the first with asynchronous
// execution, and the current one.
inline qvo_int32 FuzzProtocol(unsigned bits) {
  constexpr qvo_int32 kVersions[] = {13, 9, 8, 7};
  return kVersions[bits & 3];
}

class FuzzSession {
 public:
  FuzzSession(const uint8_t* data, size_t size, qvo_int32 protocol) {
    if (size > kMaxServerBytes || !ServerSaid(data, size, fds_)) return;
    // The client's requests go into the far end unread: room for all of them.
    int room = 1 << 20;
    setsockopt(fds_[0], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    setsockopt(fds_[1], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    Handles& h = Made();
    if (h.s == nullptr) return;
    dbc = h.dbc;
    stmt = h.stmt;
    conn = h.conn;
    s = h.s;
    h.Restore();
    conn->SetProtocollVer(protocol);
    s->SetProtocollVer(protocol);
    // A fresh socket takes the new descriptor as a connected one.
    conn->Socket = std::make_unique<qvoSocket>(conn, fds_[0]);
    fds_[0] = -1;  // the socket's now
  }
  ~FuzzSession() {
    if (conn && conn->Socket) conn->Socket->closeSocket();
    // Nothing of the target's stack stays bound to the statement.
    if (stmt) {
      QVOFreeStmt(stmt, SQL_RESET_PARAMS);
      QVOSetStmtAttr(stmt, SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
      QVOSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
      QVOSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    }
    for (int fd : fds_)
      if (fd >= 0) close(fd);
  }
  FuzzSession(const FuzzSession&) = delete;
  FuzzSession& operator=(const FuzzSession&) = delete;

  bool Ready() const { return s != nullptr; }

  // What the client has sent since the last call.
  std::vector<unsigned char> Sent() {
    std::vector<unsigned char> out;
    unsigned char chunk[4096];
    for (ssize_t n; (n = recv(fds_[1], chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
      out.insert(out.end(), chunk, chunk + n);
    return out;
  }

  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  qvoConnection* conn = nullptr;
  qvoStatement* s = nullptr;

 private:
  // The handles are made once and kept for the whole run (making them costs
  // more than all the exchanges of an input); what the answers and the
  // targets change and the targets depend on is put back before each input.
  struct Handles {
    SQLHDBC dbc = SQL_NULL_HANDLE;
    SQLHSTMT stmt = SQL_NULL_HANDLE;
    qvoConnection* conn = nullptr;
    qvoStatement* s = nullptr;
    struct {
      decltype(connectionAttr::maxDataMessageSize) maxDataMessageSize;
      decltype(connectionAttr::feedbackInterval) feedbackInterval;
      decltype(connectionAttr::prepareSuccess) prepareSuccess;
      decltype(connectionAttr::autoCommit) autoCommit;
      decltype(connectionAttr::queryTimeout) queryTimeout;
    } settings{};
    qvo_int64 maxVarcharLength = 0;
    int maxIdentifierLength = 0;

    void Restore() {
      conn->ClearDiagRecords();
      s->ClearDiagRecords();
      s->InitStatement(QVO_INIT_RESET);
      s->ClearColumnCache();
      conn->ImMainNode = false;  // no time-out: the end of the input ends every read
      conn->connAttr.maxDataMessageSize = settings.maxDataMessageSize;
      conn->connAttr.feedbackInterval = settings.feedbackInterval;
      conn->connAttr.prepareSuccess = settings.prepareSuccess;
      conn->connAttr.autoCommit = settings.autoCommit;
      conn->connAttr.queryTimeout = settings.queryTimeout;
      conn->maxVarcharLength = maxVarcharLength;
      conn->SetMaxIdentifierLength(maxIdentifierLength);
      conn->haveInfos = false;
      conn->columnsMicroCache = true;
      conn->nParamsNeeded = 0;
    }
  };

  static Handles& Made() {
    static Handles* h = [] {
      auto* made = new Handles;  // lives for the whole run
      SQLHENV env = SQL_NULL_HANDLE;
      QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
      if (QVOAllocHandle(SQL_HANDLE_DBC, env, &made->dbc) != SQL_SUCCESS) return made;
      made->conn = static_cast<qvoConnection*>(GetHandlePtr(made->dbc));
      // A statement is made only on a connection with a socket.
      int fds[2];
      if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return made;
      close(fds[1]);
      made->conn->Socket = std::make_unique<qvoSocket>(made->conn, fds[0]);
      if (QVOAllocHandle(SQL_HANDLE_STMT, made->dbc, &made->stmt) == SQL_SUCCESS)
        made->s = static_cast<qvoStatement*>(GetHandlePtr(made->stmt));
      made->conn->Socket->closeSocket();
      made->settings.maxDataMessageSize = made->conn->connAttr.maxDataMessageSize;
      made->settings.feedbackInterval = made->conn->connAttr.feedbackInterval;
      made->settings.prepareSuccess = made->conn->connAttr.prepareSuccess;
      made->settings.autoCommit = made->conn->connAttr.autoCommit;
      made->settings.queryTimeout = made->conn->connAttr.queryTimeout;
      made->maxVarcharLength = made->conn->maxVarcharLength;
      made->maxIdentifierLength = made->conn->GetMaxIdentifierLength();
      return made;
    }();
    return *h;
  }

  int fds_[2] = {-1, -1};
};

// The usual start of a target: the first input byte is the flags (bits 0-1
// the protocol version), the rest what the node sends; body(session, flags)
// runs when the session could be made.
template <class Body>
int WithSession(const uint8_t* data, size_t size, Body body) {
  if (size < 1) return 0;
  FuzzSession session(data + 1, size - 1, FuzzProtocol(data[0]));
  if (session.Ready()) body(session, data[0]);
  return 0;
}

// A text the library returned: terminated inside its buffer of `size` bytes,
// and nothing written behind the buffer (the guard bytes that follow it keep
// their fill).
inline void CheckText(const char* buffer, size_t size, size_t guard, char fill) {
  if (size > 0 && std::memchr(buffer, '\0', size) == nullptr) __builtin_trap();
  for (size_t k = size; k < size + guard; ++k)
    if (buffer[k] != fill) __builtin_trap();
}

// Fetches the rows of the current result, at most `limit` of them (a result
// may claim rows that take no bytes).
inline void FetchSome(SQLHSTMT stmt, int limit = 1000) {
  for (int n = 0; n < limit && SQL_SUCCEEDED(QVOFetch(stmt)); ++n) {
  }
}

inline SQLCHAR* Sql(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}
