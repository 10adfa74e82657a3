// Every server request of a connection: one serialised exchange that sends the
// pending session attributes along, reconnects a broken main connection into
// its session and repeats the request once, and hands the answer, or the
// failure's diagnostics, to the statement on whose behalf it ran.

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "connection/qvoAnswerTaker.h"
#include "connection/qvoConnection.h"
#include "connection/qvoLoginRefusal.h"
#include "handles/qvoDiag.h"
#include "protocol/qvoAnswers.h"
#include "protocol/qvoRequestPayloads.h"
#include "transport/qvoSocket.h"

namespace {

// Requests the server carries out when it receives them: once an answer of
// theirs has begun to arrive, sending them again would run them twice.
bool RunsOnArrival(__qvoMessageMode mode) {
  return mode == execute_prepared_statement || mode == execute || mode == execute_batch;
}

// Login refusals that leave an answer worth handing to the statement.

// Requests whose answer can take long: a cancel from another thread aborts
// them on the server.
bool Cancelable(__qvoMessageMode mode) { return RunsOnArrival(mode) || mode == continue_execution; }

}  // namespace

qvoConnection::RunningExecution::RunningExecution(qvoConnection& connection,
                                                  const qvoHandle* requester)
    : c_(connection), requester_(requester) {
  if (requester == nullptr) return;
  std::lock_guard lock(c_.inFlightMutex);
  if (c_.inFlightRequester != nullptr) return;
  c_.inFlightRequester = requester;
  c_.inFlightCanceled = false;
  outermost_ = true;
}

qvoConnection::RunningExecution::~RunningExecution() {
  if (!outermost_) return;
  std::lock_guard lock(c_.inFlightMutex);
  c_.inFlightRequester = nullptr;
  c_.inFlightCanceled = false;
}

bool qvoConnection::RunningExecution::Canceled() const {
  if (requester_ == nullptr) return false;
  std::lock_guard lock(c_.inFlightMutex);
  return c_.inFlightRequester == requester_ && c_.inFlightCanceled;
}

bool qvoConnection::AbortExchangeOf(const qvoHandle* requester) {
  std::lock_guard lock(inFlightMutex);
  if (requester == nullptr || inFlightRequester != requester || !Socket) return false;
  if (!inFlightCanceled) {
    {
      qvoMutex settings(settingsMutex);  // the log switch; held only while it logs
      if (logFull) Log("qvoConnection::AbortExchangeOf: abort_query beside the running request\n");
    }
    // A failed send leaves the exchange to its own end.
    inFlightCanceled = Socket->SendAbortRequest() == SQL_SUCCESS;
  }
  return true;
}

bool qvoConnection::CopyRequestData(const char* data, qvo_int64 len) {
  if (len > execBufferLen || !execBuffer) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(len) + 1]);
    if (!buffer) return false;
    execBuffer = std::move(buffer);
  }
  if (len > 0) std::memcpy(execBuffer.get(), data, static_cast<size_t>(len));
  execBufferLen = static_cast<int>(len);
  return true;
}

SQLRETURN qvoConnection::ExecuteSQL(qvoAnswerTaker* sourceStmt, const char* sqlStmtBuffer,
                                    qvo_int64 len, __qvoMessageMode mode) {
  // executionMutex first, as every statement takes it before coming here: the
  // pending list and the settings a request carries are written under it.
  qvoMutex execution(executionMutex);
  qvoMutex lock(executeSqlMutex);
  qvoHandle* stmt = sourceStmt ? sourceStmt->RequesterHandle() : nullptr;
  ClearDiagRecords();
  if (logFull) Log("qvoConnection::ExecuteSQL(mode=%i)\n", static_cast<int>(mode));

  qvoHandle* diagTarget = stmt ? stmt : this;
  if (len < 0 || len > qvoSocket::maxMessageData || (len > 0 && !sqlStmtBuffer))
    return QVO_DIAG(diagTarget, _Invalid_string_or_buffer_length_, -1);
  if (!CopyRequestData(sqlStmtBuffer, len))
    return QVO_DIAG(diagTarget, _Memory_allocation_error_, -1);
  nParamsNeeded = 0;

  auto reconnectAllowed = [&]() -> bool {
    return Socket->ShouldIReconnect() && connAttr.connType == 1 && !disconnected;
  };
  // Without a statement the connection itself carries the record: no
  // failure goes out without one.
  auto interrupted = [&]() -> SQLRETURN {
    return QVO_DIAG(diagTarget, _Socket_error_Connection_interrupted_, -1);
  };
  // The connection's records go to the statement; without any, `fallback`.
  auto passFailure = [&](auto fallback) -> SQLRETURN {
    if (GetNumRecords() > 0) {
      if (!stmt) return SQL_ERROR;
      GiveErrorMessagesToStatement(stmt);
      return SQL_ERROR;
    }
    return fallback();
  };

  if (!Socket) return QVO_DIAG(diagTarget, _Database_server_not_connected_, -1);
  if (!Socket->qvoIsConnected() && !(reconnectAllowed() && Reconnect() != SQL_ERROR))
    return passFailure(
        [&]() -> SQLRETURN { return QVO_DIAG(diagTarget, _Database_server_not_connected_, -1); });

  {
    qvoMutex counters(settingsMutex);  // read beside the requests
    connAttr.bytesWritten += static_cast<SQLUBIGINT>(len);
  }
  if (sourceStmt && (mode == send_rows || mode == send_rows_fetch2))
    Socket->ReuseRowsBufferOf(sourceStmt);
  std::unique_ptr<qvoAttributes> backup = attributes ? attributes->Clone() : nullptr;
  qvo_int64 rc;
  {
    const RunningExecution running(*this, stmt && Cancelable(mode) ? stmt : nullptr);
    rc = Exchange(*Socket, stmt, &attributes, execBuffer.get(), len, mode);
    // Cancelled from another thread, during this exchange or before it in the
    // same execution: a confirmed abort, or no answer at all, ends the
    // request here; it is never sent again.
    if (running.Canceled() &&
        (rc == -1 || IsAbortAnswer(Socket->GetQvoAnswer(nullptr), Socket->GetQvoAnswerLen()))) {
      attributes.reset();
      Socket->ResetAnswerBuffer(0);
      ClearDiagRecords();
      return QVO_DIAG(diagTarget, _Operation_canceled_, -1);
    }
  }
  if (rc == -1) {
    attributes.reset();
    if (!reconnectAllowed()) return interrupted();

    const bool answerArrived = Socket->AnswerBytesReceived() > 0;
    if (Reconnect() != SQL_ERROR) {
      // The server has already run it: the statement hears of the broken
      // answer, the connection goes on in its session.
      if (answerArrived && RunsOnArrival(mode)) return interrupted();
      attributes = std::move(backup);
      if (logFull) Log("Reexecute after reconnect...\n");
      CopyRequestData(sqlStmtBuffer, len);
      rc = Exchange(*Socket, stmt, &attributes, execBuffer.get(), len, mode);
      if (rc == -1) {
        attributes.reset();
        return passFailure(interrupted);
      }
    } else {
      if (logFull) Log("Reconnect returnd an error.\n");
      backup.reset();
      if (GetNumRecords() == 0) {
        interrupted();
      } else if (stmt) {
        // A login refusal: the statement reads the server's own answer.
        const SQLINTEGER records = std::min<SQLINTEGER>(GetNumRecords(), SHRT_MAX);
        for (SQLINTEGER n = 1; n <= records; ++n) {
          const __diagRecords* record = GetDiagRecPtr(static_cast<SQLSMALLINT>(n));
          if (record && LoginRefusalOf(record->diagSQLState) != qvoLoginRefusal::None)
            return Socket->GiveResultsTo(sourceStmt);
        }
        GiveErrorMessagesToStatement(stmt);
      }
      Socket.reset();
      return SQL_ERROR;
    }
  }

  {
    qvoMutex counters(settingsMutex);
    connAttr.bytesRead += static_cast<SQLUBIGINT>(Socket->GetQvoAnswerLen());
  }
  if (sourceStmt) {
    if (mode == create_prepared_statement) {
      if (sourceStmt->SetPreparedParamcount(nParamsNeeded) == SQL_ERROR) return SQL_ERROR;
      Socket->GiveResultsTo(sourceStmt);
    } else if (mode == send_rows || mode == send_rows_fetch2) {
      Socket->GiveMoreRowsTo(sourceStmt);
    } else {
      Socket->GiveResultsTo(sourceStmt);
    }
  }
  nParamsNeeded = 0;
  attributes.reset();
  return SQL_SUCCESS;
}

void qvoConnection::DeferClose(__qvoMessageMode command, qvo_int32 handle) {
  qvoMutex execution(executionMutex);
  deferredCloses.emplace_back(command, handle);
}

void qvoConnection::SendDeferredCloses() {
  qvoMutex execution(executionMutex);
  if (deferredCloses.empty()) return;
  const auto closes = std::move(deferredCloses);
  deferredCloses.clear();
  for (const auto& [command, handle] : closes) {
    char request[kHandleRequestBytes];
    EncodeHandleRequest(request, handle);
    // Nobody waits for its answer: what matters is that the server lets go.
    ExecuteSQL(nullptr, request, sizeof request, command);
  }
  ClearDiagRecords();
}

SQLRETURN qvoConnection::GiveErrorMessagesToStatement(qvoHandle* statement) {
  if (statement && statement != this) statement->AppendDiagRecordsFrom(this);
  ClearDiagRecords();
  return SQL_SUCCESS;
}

SQLRETURN qvoConnection::TakeErrorMessagesFromStatement(qvoHandle* statement) {
  if (statement && statement != this) AppendDiagRecordsFrom(statement);
  return SQL_SUCCESS;
}

SQLRETURN qvoConnection::AddAttribute(short attrCode, qvo_int32 int32val) {
  if (!attributes) attributes = std::make_unique<qvoAttributes>(this);
  return attributes->AddAttribute(attrCode, &int32val, 4);
}

void qvoConnection::ClearAttributes() {
  qvoMutex lock(executionMutex);
  attributes.reset();
}
