// Connecting a connection: the host list (or the file it names) becomes a
// node table, nodes are tried in random order until one accepts the login,
// and the connection's internal statement is made. Also the connection's
// statements being freed with it.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "connection/qvoConnection.h"
#include "connection/qvoHandleServices.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"
#include "transport/qvoSocket.h"

namespace {

// Host text of a connect: a host list, or the contents of the file it names.
constexpr size_t hostTextBufferSize = 33791;
constexpr size_t hostFileReadLimit = 32767;
constexpr size_t connectionNameLimit = 260;

// Length of an argument that may be SQL_NTS; -1 for other negative lengths.
int ArgumentLength(const char* text, int length) {
  if (!text) return 0;
  if (length == SQL_NTS) return static_cast<int>(std::strlen(text));
  return length < 0 ? -1 : length;
}

void LogBuildFacts(qvoConnection& conn) {
  conn.Log("Compiler: sizeof(SQLWCHAR)=%i, sizeof(wchar_t)=%i\n",
           static_cast<int>(sizeof(SQLWCHAR)), static_cast<int>(sizeof(wchar_t)));
  conn.Log("Compiler: sizeof(SQLULEN)=%i, sizeof(SQLLEN)=%i, sizeof(long)=%i\n",
           static_cast<int>(sizeof(SQLULEN)), static_cast<int>(sizeof(SQLLEN)),
           static_cast<int>(sizeof(long)));
  conn.Log(sizeof(void*) == 8 ? "Compiler: BUILD_REAL_64_BIT_MODE defined\n"
                              : "Compiler: BUILD_REAL_64_BIT_MODE not defined\n");
#ifdef HAVE_CONFIG_H
  conn.Log("Compiler: HAVE_CONFIG_H defined\n");
#else
  conn.Log("Compiler: HAVE_CONFIG_H not defined\n");
#endif
  conn.Log(__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? "Compiler: WORDS_BIGENDIAN defined\n"
                                                  : "Compiler: WORDS_BIGENDIAN not defined\n");
}

}  // namespace

void qvoConnection::LogHandleTable() {
  qvoMutex lock(handleMutex);
  for (size_t i = 0; i <= max_handles && i <= QVO_HANDLE_CAPACITY; ++i) {
    const __cliHandle& e = handles[i];
    if (e.handleType == 0) continue;
    Log("HandleID: %4i Type: %1i Master: %4i\n", static_cast<int>(e.handleId),
        static_cast<int>(e.handleType), static_cast<int>(HandleIndex(e.masterHandleId)));
  }
}

SQLRETURN qvoConnection::qvoConnect(const char* ServerHosts, int ServerHostsLen, const char* Port,
                                    int PortStrLen, const char* UserName, int UserNameLength,
                                    const char* Password, int PasswordLength) {
  connAttr.connType = 1;
  ImMainNode = true;
  disconnected = false;
  ClearDiagRecords();

  if (Socket) return QVO_DIAG(this, _Connection_already_in_use_, -1);
  const int userLen = ArgumentLength(UserName, UserNameLength);
  if (userLen <= 0) return QVO_DIAG(this, _Error_converting_user_name_to_UTF_8_, -5);
  const int passwordLen = ArgumentLength(Password, PasswordLength);
  if (passwordLen <= 0) return QVO_DIAG(this, _Error_converting_password_to_UTF_8_, -5);
  const int hostsLen = ArgumentLength(ServerHosts, ServerHostsLen);
  if (hostsLen <= 0) return QVO_DIAG(this, _No_connection_host_specified_, -5);
  const int portLen = ArgumentLength(Port, PortStrLen);

  if (logFull) {
    Log("qvoConnection::qvoConnect\n");
    LogHandleTable();
    if (*ServerHosts) Log("ServerHosts=%.*s\n", hostsLen, ServerHosts);
    Log("ServerHostsLen=%i\n", ServerHostsLen);
    if (portLen > 0) Log("Port=%.*s\n", portLen, Port);
    Log("PortStrLen=%i\n", PortStrLen);
    LogBuildFacts(*this);
  }

  auto userCopy = std::make_unique<char[]>(static_cast<size_t>(userLen) + 1);
  std::memcpy(userCopy.get(), UserName, static_cast<size_t>(userLen));
  connAttr.userName = std::move(userCopy);
  connAttr.userNameLen = userLen;
  connAttr.SetPassword(Password, passwordLen);

  // The host text, read from a file when the argument is "//" and its name.
  auto hostText = std::make_unique<char[]>(hostTextBufferSize);
  size_t hostTextLen = 0;
  if (hostsLen > 2 && ServerHosts[0] == '/' && ServerHosts[1] == '/') {
    const std::string fileName(ServerHosts + 2, static_cast<size_t>(hostsLen - 2));
    FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file) {
      hostTextLen = std::fread(hostText.get(), 1, hostFileReadLimit, file);
      std::fclose(file);
    }
    if (hostTextLen == 0) return QVO_DIAG(this, _Cannot_read_host_list_form_specified_file_, -1);
  } else {
    hostTextLen = std::min(static_cast<size_t>(hostsLen), hostTextBufferSize - 1);
    std::memcpy(hostText.get(), ServerHosts, hostTextLen);
  }
  hostText[hostTextLen] = '\0';

  const std::string port = portLen > 0 ? std::string(Port, static_cast<size_t>(portLen)) : "";
  if (ParseClusterNodes(hostText.get(), static_cast<int>(hostTextLen), port.c_str()) != 0)
    return SQL_ERROR;
  if (logFull)
    for (int i = 0; i < clusterSize; ++i)
      Log(" Node[%i]=%s:%s\n", i, cluster[i].qvoServer, cluster[i].qvoPort);

  // Each node at most once, in random order; the first that accepts the login
  // ends the search. What the others recorded stays on the connection.
  for (int chosen = GetRandServer(); chosen == 1; chosen = GetRandServer()) {
    std::snprintf(diagHeader.diagConnectionName, connectionNameLimit, "Server=%s;Port=%s;User=%s",
                  server.qvoServer, server.qvoPort, connAttr.userName.get());
    if (logFull) Log(" diagHeader.diagConnectionName: %s\n", diagHeader.diagConnectionName);
    OpenSocket();
    if (Socket->GetSocketError() != QVO_SOCKET_NOT_MAIN_NODE && Socket->qvoIsConnected())
      return AllocInternalStatement();
    Socket.reset();
  }
  return SQL_ERROR;
}

int qvoConnection::isConnected() const { return Socket && Socket->qvoIsConnected() ? 1 : 0; }

SQLRETURN qvoConnection::AllocInternalStatement() {
  SQLHANDLE statement = SQL_NULL_HANDLE;
  if (HandleServices().allocStatement(GetHandleID(), &statement) >= 0 &&
      statement != SQL_NULL_HANDLE) {
    stmt4attr = statement;
    return SQL_SUCCESS;
  }
  // Without its internal statement the connection cannot commit, roll back or
  // send settings: it does not count as connected, and no session is left open.
  stmt4attr = SQL_NULL_HANDLE;
  Socket.reset();
  return SQL_ERROR;
}

SQLRETURN qvoConnection::LooseSlaves() {
  if (handleID == SQL_NULL_HANDLE) return SQL_SUCCESS;
  for (SQLHANDLE statement : HandlesOfMaster(handleID, SQL_HANDLE_STMT)) {
    const int index = static_cast<int>(HandleIndex(statement));
    if (logFull)
      Log(statement == stmt4attr ? " auto free statement handle %i (stmt4attr)\n"
                                 : " auto free statement handle %i\n",
          index);
    if (HandleServices().freeStatement(statement) == SQL_ERROR) {
      if (logFull) Log("   first atempt failed, retry to auto free statement handle %i\n", index);
      HandleServices().freeStatement(statement);
    }
  }
  if (stmt4attr != SQL_NULL_HANDLE && IsQVOHandle(stmt4attr) != SQL_HANDLE_STMT)
    stmt4attr = SQL_NULL_HANDLE;
  return SQL_SUCCESS;
}

int qvoConnection::GetServerVersionInt() const {
  // At most the first 31 characters count.
  char text[32];
  const size_t n = std::min(std::strlen(serverVersion), sizeof text - 1);
  std::memcpy(text, serverVersion, n);
  text[n] = '\0';
  int parts[3] = {0, 0, 0};
  const char* p = text;
  for (int& part : parts) {
    // Five digits at most count, so that the sum cannot overflow.
    for (; *p >= '0' && *p <= '9'; ++p)
      if (part < 10000) part = part * 10 + (*p - '0');
    while (*p && *p != '.') ++p;  // the rest of a part after its leading digits
    if (*p != '.') break;
    ++p;
  }
  return parts[0] * 10000 + parts[1] * 100 + parts[2];
}
