// Parallel mode: entering it for a number of slave connections, the cluster's
// host names, and a slave's starting row in the open result set. The node
// arrays handed out belong to the statement (slaveConnections).
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoParallelAnswers.h"
#include "statement/qvoStatement.h"

namespace {

constexpr size_t kMaxHostName = sizeof(__ConnectionStru::qvoServer) - 1;
// Room for the connection's own host name in a request.
constexpr size_t kRequestHostRoom = 504;

std::string_view OwnHost(const qvoConnection& c) {
  const size_t n = std::min(static_cast<size_t>(std::max(c.server.qvoServerLen, 0)),
                            std::strlen(c.server.qvoServer));
  return {c.server.qvoServer, n};
}

void SetHost(__ConnectionStru& node, std::string_view host) {
  std::memcpy(node.qvoServer, host.data(), host.size());
  node.qvoServer[host.size()] = '\0';
  node.qvoServerLen = static_cast<SQLINTEGER>(host.size());
}

}  // namespace

SQLRETURN qvoStatement::EnterParallel(SQLINTEGER nConnections, SQLINTEGER* nConnectionsPtr,
                                      __ConnectionStru** ConnectionPtr, SQLBIGINT* TokenPtr) {
  if (ClearDiagRecords() != SQL_SUCCESS || InitStatement(4) == SQL_ERROR)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  if (!nConnectionsPtr || !ConnectionPtr || !TokenPtr)
    return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
  const std::string request =
      EncodeEnterParallelRequest(nConnections, OwnHost(*connection), kRequestHostRoom);

  qvoMutex lock(connection->executionMutex);
  if (Exchange(request.data(), static_cast<qvo_int64>(request.size()), enter_parallel) ==
      SQL_ERROR) {
    AppendConnectionDiagnostics();
    return QVO_DIAG(this, _Error_entering_parallel_, -1);
  }
  char* answer = resultCursor.Answer();
  const size_t length = resultCursor.AnswerBytes();
  if (IsExceptionAnswer(answer, length)) return SyncMoreResults(200);

  qvo_int32 count = 0;
  qvo_int64 answerToken = 0;
  std::vector<qvoNodeAddress> nodes;
  const qvoParallelRead read =
      ReadEnterParallelAnswer(answer, length, kMaxHostName, &count, &answerToken, &nodes);
  resultCursor.SetAnswerPos(length);
  if (read == qvoParallelRead::Ok) *nConnectionsPtr = count;
  if (read != qvoParallelRead::Ok)
    return QVO_DIAG(this, _Incorrect_data_array_received_from_server_, -1);
  if (count <= 0)
    return QVO_DIAG(this, _Numeric_value_out_of_range_Connection_number_is_invalid_, -1);

  slaveConnections.assign(nodes.size(), __ConnectionStru{});
  for (size_t i = 0; i < nodes.size(); ++i) {
    __ConnectionStru& node = slaveConnections[i];
    node.qvoPortLen = std::snprintf(node.qvoPort, sizeof node.qvoPort, "%" PRId64,
                                    static_cast<int64_t>(nodes[i].port));
    SetHost(node, nodes[i].host);
  }
  token = answerToken;
  *ConnectionPtr = slaveConnections.data();
  *TokenPtr = token;
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::GetHostnames(SQLINTEGER* nHostsPtr, __ConnectionStru** ConnectionPtr) {
  if (ClearDiagRecords() != SQL_SUCCESS || InitStatement(4) == SQL_ERROR)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  if (!nHostsPtr || !ConnectionPtr) return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
  const std::string request = EncodeGetHostnamesRequest(OwnHost(*connection), kRequestHostRoom);

  qvoMutex lock(connection->executionMutex);
  if (Exchange(request.data(), static_cast<qvo_int64>(request.size()), get_hostnames) ==
      SQL_ERROR) {
    AppendConnectionDiagnostics();
    return QVO_DIAG(this, _Error_getting_host_names_, -1);
  }
  char* answer = resultCursor.Answer();
  const size_t length = resultCursor.AnswerBytes();
  if (IsExceptionAnswer(answer, length)) return SyncMoreResults(0);

  qvo_int32 count = 0;
  std::vector<std::string_view> hosts;
  const qvoParallelRead read = ReadHostnamesAnswer(answer, length, kMaxHostName, &count, &hosts);
  resultCursor.SetAnswerPos(length);
  if (read == qvoParallelRead::Ok) *nHostsPtr = count;
  if (read != qvoParallelRead::Ok)
    return QVO_DIAG(this, _Incorrect_data_array_received_from_server_, -1);
  if (count <= 0) return QVO_DIAG(this, _Numeric_value_out_of_range_Hosts_number_is_invalid_, -1);

  slaveConnections.assign(hosts.size(), __ConnectionStru{});
  for (size_t i = 0; i < hosts.size(); ++i) {
    __ConnectionStru& node = slaveConnections[i];
    SetHost(node, hosts[i]);
    std::memcpy(node.qvoPort, connection->server.qvoPort, sizeof node.qvoPort);
    node.qvoPort[sizeof node.qvoPort - 1] = '\0';
    node.qvoPortLen = static_cast<SQLINTEGER>(std::strlen(node.qvoPort));
  }
  *ConnectionPtr = slaveConnections.data();
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::GetSlaveOffset(SQLBIGINT* slaveOffset) {
  if (ClearDiagRecords() != SQL_SUCCESS)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  if (resultHandle < 0)
    return QVO_DIAG(this, _Function_sequence_error_statement_handle_is_invalid_, -1);
  const std::string request = EncodeSlaveOffsetRequest(resultHandle);

  // The answer is read on its own: the rows of the open result set stay.
  qvoMutex lock(connection->executionMutex);
  if (ExchangeKeepingAnswer(request.data(), static_cast<qvo_int64>(request.size()),
                            send_slave_offset) == SQL_ERROR) {
    AppendConnectionDiagnostics();
    return QVO_DIAG(this, _Error_getting_slave_offset_, -1);
  }
  qvo_int64 offset = 0;
  const bool ok =
      ReadSlaveOffsetAnswer(auxAnswer.get(), static_cast<size_t>(auxAnswerLen), &offset);
  if (!ok) {
    const bool serverError = IsExceptionAnswer(auxAnswer.get(), static_cast<size_t>(auxAnswerLen));
    if (serverError) return CheckAuxiliaryAnswer();
    auxAnswer.reset();
    auxAnswerLen = 0;
    return QVO_DIAG(this, _Invalid_message_returnd_from_server_offset_, -1);
  }
  auxAnswer.reset();
  auxAnswerLen = 0;
  if (slaveOffset) *slaveOffset = offset;
  return SQL_SUCCESS;
}
