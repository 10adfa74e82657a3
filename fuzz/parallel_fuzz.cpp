// libFuzzer target over the answers of parallel mode: entering it (the nodes
// and the token), the cluster's host names as a statement asks for them, and
// a slave's part of a result set (its description and rows, then its
// starting row), each through the exported function an application calls.
//
// The first input byte chooses the client's side:
//   bits 0-1   the protocol version (13, 9, 8, 7);
//   bits 2-3   the calls: 0 enter parallel mode, 1 host names, 2 describe
//              result set 5, its starting row and its rows, 3 all of them
//              in that order;
//   bits 4-6   the slave connections asked for, 1 to 8.
// The rest is what the node sends, answer after answer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_session.h"

namespace {

// Every node the library hands out has both texts terminated inside their
// fields, and lengths that lie inside them too (a name the node sent with a
// zero byte in it ends there as a text).
void CheckNodes(const ConnectionStru* nodes, SQLINTEGER count) {
  if (count < 1 || nodes == nullptr) __builtin_trap();
  for (SQLINTEGER i = 0; i < count; ++i) {
    const ConnectionStru& n = nodes[i];
    const void* serverEnd = std::memchr(n.qvoServer, '\0', sizeof n.qvoServer);
    const void* portEnd = std::memchr(n.qvoPort, '\0', sizeof n.qvoPort);
    if (serverEnd == nullptr || portEnd == nullptr) __builtin_trap();
    if (static_cast<const char*>(serverEnd) - n.qvoServer > n.qvoServerLen ||
        n.qvoServerLen >= static_cast<SQLINTEGER>(sizeof n.qvoServer) ||
        static_cast<const char*>(portEnd) - n.qvoPort != n.qvoPortLen)
      __builtin_trap();
  }
}

void Run(FuzzSession& session, uint8_t flags) {
  SQLHSTMT stmt = session.stmt;
  const int calls = (flags >> 2) & 3;

  if (calls == 0 || calls == 3) {
    SQLINTEGER count = -7;
    ConnectionStru* nodes = nullptr;
    SQLBIGINT token = 0;
    const SQLINTEGER wanted = 1 + ((flags >> 4) & 7);
    if (QVOEnterParallel(stmt, wanted, &count, &nodes, &token) == SQL_SUCCESS)
      CheckNodes(nodes, count);
  }
  if (calls == 1 || calls == 3) {
    SQLINTEGER count = -7;
    ConnectionStru* hosts = nullptr;
    if (QVOGetHostnames(stmt, &count, &hosts) == SQL_SUCCESS) CheckNodes(hosts, count);
  }
  if (calls == 2 || calls == 3) {
    if (SQL_SUCCEEDED(QVOExecuteDescRes(stmt, 5))) {
      SQLBIGINT offset = -1;
      QVOGetSlaveOffset(stmt, &offset);
      FetchSome(stmt);
    }
    QVOExecuteCloseRes(stmt);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return WithSession(data, size, Run);
}
