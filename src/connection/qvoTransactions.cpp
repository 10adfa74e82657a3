// The session operations after the connect: ending the session, closing the
// socket by force, commit and rollback, parallel slave sessions with one
// given node, and the host list of the cluster.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/qvoByteOrder.h"
#include "common/qvoServices.h"
#include "common/qvoStrings.h"
#include "connection/qvoAnswerTaker.h"
#include "connection/qvoConnection.h"
#include "connection/qvoHandleServices.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandleTable.h"
#include "protocol/qvoAnswers.h"
#include "protocol/qvoRequestPayloads.h"
#include "qvo/qvoCInterface.h"
#include "transport/qvoSocket.h"

namespace {

// Host-name answers stop listing hosts this close to the end of the caller's
// buffer, so that the colon and the port still fit.
constexpr int hostListReserve = 32;

// Copies at most maxChars bytes of a text given with a length that may be
// SQL_NTS into field (maxChars + 1 bytes), terminated; the count copied.
int CopyField(char* field, int maxChars, const char* text, int length) {
  int n = text ? (length == SQL_NTS ? static_cast<int>(std::strlen(text)) : length) : 0;
  if (n < 0) n = 0;
  if (n > maxChars) n = maxChars;
  if (n > 0) std::memcpy(field, text, static_cast<size_t>(n));
  field[n] = '\0';
  return n;
}

}  // namespace

qvoAnswerTaker* qvoConnection::GetInternalStatement() const {
  if (stmt4attr == SQL_NULL_HANDLE || IsQVOHandle(stmt4attr) != SQL_HANDLE_STMT) return nullptr;
  return AnswerTakerOf(GetHandlePtr(stmt4attr));
}

SQLRETURN qvoConnection::qvoDisconnect(bool fromDestructor) {
  if (logFull)
    Log(fromDestructor ? "qvoConnection::qvoDisconnect(fromDestructor=true)\n"
                       : "qvoConnection::qvoDisconnect(fromDestructor=false)\n");
  LooseSlaves();
  stmt4attr = SQL_NULL_HANDLE;
  // Descriptors the application allocated under the connection go with its
  // statements: none may be left naming a session that has ended.
  if (handleID != SQL_NULL_HANDLE)
    for (SQLHANDLE descriptor : HandlesOfMaster(handleID, SQL_HANDLE_DESC))
      HandleServices().freeDescriptor(descriptor);

  if (!fromDestructor && !isConnected()) QVO_DIAG(this, _QVO_was_not_connected_, -1);
  ClearDiagRecords();

  if (Socket) {
    // Closes that waited for an execution the free above ended.
    SendDeferredCloses();
    // Whether the server hears of it or not, the socket goes.
    ExecuteSQL(nullptr, nullptr, 0, disconnect_current);
    Socket.reset();
  }
  // Handles of the session that ended mean nothing to the next one.
  {
    qvoMutex execution(executionMutex);
    deferredCloses.clear();
  }

  connAttr.dsnName.reset();
  connAttr.translateLib.reset();
  connAttr.traceFile.reset();
  connAttr.clientName.reset();
  connAttr.clientNameLen = 0;
  connAttr.clientVersion.reset();
  connAttr.currentSchema.reset();
  connAttr.currentSchemaLen = 0;
  connAttr.currentCatalog.reset();
  connAttr.currentCatalogLen = 0;
  connAttr.userName.reset();
  connAttr.userNameLen = 0;
  connAttr.ClearPassword();
  connAttr.catalogTerm.reset();
  clusterMarker.clear();
  // A parallel token belongs to the slave session that ended; a later main
  // connect must not present it.
  connectionToken = 0;
  SetQueryTimeoutValue(0);
  connAttr.numericCharacters[0] = '\0';

  disconnected = true;
  return SQL_SUCCESS;
}

void qvoConnection::CloseSocket() {
  if (Socket && Socket->qvoIsConnected()) Socket->closeSocketForce();
}

SQLRETURN qvoConnection::EndTran(SQLSMALLINT CompletionType) {
  ClearDiagRecords();
  // Without a session there is nothing to commit: saying so beats reporting
  // a commit that did not happen.
  if (!isConnected()) return QVO_DIAG(this, _Connection_does_not_exist_, -1);

  static const char* const completionTexts[] = {"commit /*SQL_COMMIT*/",
                                                "rollback /*SQL_ROLLBACK*/"};
  if (CompletionType != SQL_COMMIT && CompletionType != SQL_ROLLBACK)
    return QVO_DIAG(this, _Invalid_completition_type_constant_, -1);
  qvoAnswerTaker* stmt = GetInternalStatement();
  if (!stmt) return QVO_DIAG(this, _Connection_does_not_exist_, -1);

  const SQLRETURN rc = HandleServices().execDirect(stmt4attr, completionTexts[CompletionType]);
  TakeErrorMessagesFromStatement(stmt->RequesterHandle());

  // What the statements cached of the catalog may have changed.
  qvoMutex lock(handleMutex);
  for (SQLHANDLE h : HandlesOfMaster(handleID, SQL_HANDLE_STMT))
    if (auto* s = AnswerTakerOf(GetHandlePtr(h))) s->ClearColumnCache();
  return rc;
}

SQLRETURN qvoConnection::SlaveConnect(const char* ServerHost, int ServerHostLen, const char* Port,
                                      int PortStrLen, SQLBIGINT slaveToken) {
  ClearDiagRecords();
  // A connection in use keeps its credentials, node and kind.
  if (Socket) return QVO_DIAG(this, _Connection_name_in_use_, -1);

  connAttr.connType = 2;
  ImMainNode = false;
  disconnected = false;
  connAttr.userName = std::make_unique<char[]>(1);
  connAttr.userNameLen = 0;
  connAttr.SetPassword("", 0);

  char host[sizeof server.qvoServer];
  CopyField(host, sizeof host - 1, ServerHost, ServerHostLen);
  server.qvoPortLen = CopyField(server.qvoPort, sizeof server.qvoPort - 1, Port, PortStrLen);
  if (GetIpFromHostname(host, server.qvoServer, sizeof server.qvoServer) != 0) {
    server.qvoServer[0] = '\0';
    server.qvoServerLen = 0;
    return QVO_DIAG(this, _Error_resolving_qvo_node_host_name_, -1);
  }
  server.qvoServerLen = static_cast<int>(std::strlen(server.qvoServer));

  connectionToken = slaveToken;
  OpenSocket();
  if (!Socket->qvoIsConnected()) {
    Socket.reset();
    // The token belongs to the slave session that did not come about; a later
    // main connect must not present it.
    connectionToken = 0;
    return SQL_ERROR;  // the socket recorded why
  }
  std::snprintf(diagHeader.diagConnectionName, sizeof diagHeader.diagConnectionName,
                "Server=%s;Port=%s;User=%s;Password=*******;", server.qvoServer, server.qvoPort,
                connAttr.userName.get());
  const SQLINTEGER before = GetNumRecords();
  const SQLRETURN rc = AllocInternalStatement();
  if (rc != SQL_SUCCESS && GetNumRecords() == before)
    QVO_DIAG(this, _Limit_on_the_number_of_handles_exceeded_, -1);
  return rc;
}

SQLRETURN qvoConnection::GetHostnames(char* buffer, int bufferSize) {
  if (!buffer || bufferSize <= 0) return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);

  // The answer is read from the socket after the exchange: no other request
  // may come between.
  qvoMutex execution(executionMutex);
  const int addressLen = static_cast<int>(::strnlen(server.qvoServer, sizeof server.qvoServer));
  const std::vector<char> request =
      EncodeHostNamesRequest(std::string_view(server.qvoServer, static_cast<size_t>(addressLen)));
  if (ExecuteSQL(nullptr, request.data(), static_cast<qvo_int64>(request.size()), get_hostnames) !=
          SQL_SUCCESS ||
      !Socket)
    return QVO_DIAG(this, _Error_getting_host_names_, -1);

  const char* answer = Socket->GetQvoAnswer(nullptr);
  const size_t answerLen = answer ? static_cast<size_t>(Socket->GetQvoAnswerLen()) : 0;
  std::vector<std::string_view> names;
  switch (DecodeHostList(answer, answerLen, &names)) {
    case qvoHostListStatus::Ok:
      break;
    case qvoHostListStatus::BadCount:
      return QVO_DIAG(this, _Numeric_value_out_of_range_Hosts_number_is_invalid_, -1);
    default:
      return QVO_DIAG(this, _Error_getting_host_names_, -1);
  }
  std::string hosts;
  for (size_t i = 0; i < names.size(); ++i) {
    hosts.append(names[i]);
    if (i + 1 == names.size() ||
        static_cast<qvo_int64>(hosts.size()) >= bufferSize - hostListReserve)
      break;
    hosts.push_back(',');
  }
  hosts.push_back(':');
  hosts.append(server.qvoPort);
  // Cut to the caller's buffer, terminated inside it.
  qvoCopyStr(buffer, hosts.c_str(), static_cast<int>(hosts.size()), bufferSize, SQL_NTS);
  return SQL_SUCCESS;
}
