// The statement's server requests: the exchange itself, closing and
// describing server handles, polling and cancelling a running execution, and
// direct execution of SQL text.
#include <cstring>
#include <string>
#include <string_view>

#include "common/qvoByteOrder.h"
#include "common/qvoStrings.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoAnswerReader.h"
#include "protocol/qvoAnswers.h"
#include "protocol/qvoProtocolVersion.h"
#include "protocol/qvoRequestPayloads.h"
#include "statement/qvoStatement.h"
#include "transport/qvoSocket.h"

// --- the exchange ------------------------------------------------------------------------

SQLRETURN qvoStatement::Exchange(const char* data, qvo_int64 length, __qvoMessageMode command,
                                 bool auxiliary) {
  if (auxiliary) {
    const SQLRETURN rc = ExchangeKeepingAnswer(data, length, command);
    return rc == SQL_ERROR ? rc : CheckAuxiliaryAnswer();
  }
  if (ConnectionBusyWithOther()) return QVO_DIAG(this, _Function_sequence_error_, -1);
  SendDeferredCloses();
  auxiliaryExchange = false;
  auxAnswer.reset();
  auxAnswerLen = 0;
  return connection->ExecuteSQL(this, data, length, command);
}

SQLRETURN qvoStatement::ExchangeKeepingAnswer(const char* data, qvo_int64 length,
                                              __qvoMessageMode command) {
  if (ConnectionBusyWithOther()) return QVO_DIAG(this, _Function_sequence_error_, -1);
  SendDeferredCloses();
  auxiliaryExchange = true;
  auxAnswer.reset();
  auxAnswerLen = 0;
  const SQLRETURN rc = connection->ExecuteSQL(this, data, length, command);
  auxiliaryExchange = false;
  return rc;
}

SQLRETURN qvoStatement::CheckAuxiliaryAnswer() {
  // An auxiliary answer only matters when it reports a server error.
  qvoAnswerCursor in{auxAnswer.get(), static_cast<size_t>(auxAnswerLen), 0};
  qvo_int8 kind = 0;
  std::string_view text, state;
  SQLRETURN result = SQL_SUCCESS;
  if (in.data && in.Skip(kResultCountBytes) && in.Int8(&kind) && kind == QVO_KIND_EXCEPTION &&
      ReadException(in, &text, &state) == qvoReadStatus::Ok)
    result = RecordServerException(text.data(), text.size(), state.data());
  auxAnswer.reset();
  auxAnswerLen = 0;
  return result;
}

void qvoStatement::SendDeferredCloses() {
  // Not while an execution's answers are still to be read: they come first.
  if (!ConnectionRunsExecution()) connection->SendDeferredCloses();
}

bool qvoStatement::DeferCloseWhileBusy(__qvoMessageMode command, SQLINTEGER handle) {
  if (!ConnectionBusyWithOther()) return false;
  if (logFull) Log("Close of server handle %i deferred: another statement executes\n", handle);
  connection->DeferClose(command, handle);
  return true;
}

// --- server handles -----------------------------------------------------------------------

SQLRETURN qvoStatement::ExecuteCloseRes() {
  if (ClearDiagRecords() != SQL_SUCCESS)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  if (resultHandle < 0) return SQL_SUCCESS;
  char request[kHandleRequestBytes];
  EncodeHandleRequest(request, resultHandle);
  SQLRETURN rc;
  {
    qvoMutex lock(connection->executionMutex);
    // Another statement's execution owns the connection until its answers
    // are read: the close goes out after it, never lost.
    if (DeferCloseWhileBusy(close_result_set, resultHandle)) {
      resultHandle = QVO_RESULT_NONE;
      return SQL_SUCCESS;
    }
    rc = Exchange(request, sizeof request, close_result_set, true);
  }
  // A failed close still forgets the handle.
  resultHandle = QVO_RESULT_NONE;
  if (rc == SQL_ERROR)
    return FailWith(&Translator::_Error_closing_result_CODE,
                    &Translator::_Error_closing_result_MESSAGE);
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::ExecuteClosePrepared() {
  if (ClearDiagRecords() != SQL_SUCCESS)
    return QVO_DIAG(this, _Error_initialising_prepared_handle_, -1);
  if (preparedHandle < 0) return SQL_SUCCESS;
  char request[kHandleRequestBytes];
  EncodeHandleRequest(request, preparedHandle);
  SQLRETURN rc;
  {
    qvoMutex lock(connection->executionMutex);
    if (DeferCloseWhileBusy(close_prepared_statement, preparedHandle)) {
      preparedHandle = -2;
      return SQL_SUCCESS;
    }
    rc = Exchange(request, sizeof request, close_prepared_statement, true);
  }
  if (rc == SQL_ERROR)
    return FailWith(&Translator::_Error_closing_result_CODE,
                    &Translator::_Error_closing_result_MESSAGE);
  preparedHandle = -2;
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::ExecuteDescRes(SQLINTEGER handle) {
  if (ClearDiagRecords() != SQL_SUCCESS || InitStatement(QVO_INIT_RESET) == SQL_ERROR)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  char request[kHandleRequestBytes];
  EncodeHandleRequest(request, handle);
  qvoMutex lock(connection->executionMutex);
  SQLRETURN rc = Exchange(request, sizeof request, describe_resultset);
  if (rc != SQL_ERROR) rc = SyncMoreResults(0);
  if (rc == SQL_ERROR || rc == SQL_NO_DATA)
    return FailWith(&Translator::_Error_describing_res_CODE,
                    &Translator::_Error_describing_res_MESSAGE);
  return SQL_SUCCESS;
}

// --- running executions ----------------------------------------------------------------------

SQLRETURN qvoStatement::RunExecution(const char* data, qvo_int64 length, __qvoMessageMode command,
                                     SQLUINTEGER mode) {
  const qvoConnection::RunningExecution running(*connection, this);
  const SQLRETURN rc = Exchange(data, length, command);
  return rc == SQL_ERROR ? rc : SyncMoreResults(mode);
}

SQLRETURN qvoStatement::SyncMoreResults(SQLUINTEGER mode) {
  if (mode == 200 && stmtAttr.asyncEnable != 0) return MoreResults();
  if (mode != 0 && mode != 200) return MoreResults();
  // The polls run under executionMutex: a cancel meanwhile must go out
  // beside them, never wait for them.
  const qvoConnection::RunningExecution running(*connection, this);
  SQLRETURN rc = MoreResults();
  while (rc == SQL_STILL_EXECUTING) rc = ContinueExecuting();
  return rc;
}

SQLRETURN qvoStatement::ContinueExecuting() {
  qvoMutex lock(continueExecMutex);
  const qvoConnection::RunningExecution running(*connection, this);
  if (logFull) Log("ContinueExecution()\n");
  ClearDiagRecords();
  if (Exchange(nullptr, 0, continue_execution) != SQL_ERROR) {
    const SQLRETURN rc = MoreResults();
    if (rc != SQL_ERROR) return rc;
  }
  // Ended by a cancel: nothing of the execution is left to poll.
  if (running.Canceled() && resultHandle == QVO_RESULT_STILL_EXECUTING) {
    resultHandle = QVO_RESULT_NONE;
    NoteExecutionState();
  }
  AppendConnectionDiagnostics();
  return SQL_ERROR;
}

SQLRETURN qvoStatement::AbortExecution() {
  // Values being supplied at execution: nothing has been sent for them. The
  // thread supplying them ends the sequence at its next call.
  if (dataAtExec.RequestCancel()) return SQL_SUCCESS;
  return AbortServerExecution();
}

SQLRETURN qvoStatement::AbortServerExecution() {
  if (protocolVersion < kAsyncProtocol) return SQL_SUCCESS;
  if (logFull) Log("qvoStatement::AbortExecution()\n");
  // An execution of this statement that another thread runs: the abort goes
  // out beside it, and that thread's call reports how it ended.
  if (connection->AbortExchangeOf(this)) return SQL_SUCCESS;
  // Otherwise nothing of this statement runs under executionMutex: an
  // asynchronous execution is left between two polls.
  qvoMutex lock(continueExecMutex);
  // Only a running execution is aborted: an abort sent at any other time
  // could hit the next statement the server runs for this session.
  if (resultHandle != QVO_RESULT_STILL_EXECUTING) return SQL_SUCCESS;
  if (logFull) Log(" ExecuteSQL(abort_query)\n");
  if (stmtAttr.asyncEnable == 1) ClearDiagRecords();
  if (Exchange(nullptr, 0, abort_query, true) == SQL_ERROR) {
    AppendConnectionDiagnostics();
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

void qvoStatement::DrainRunningExecution() {
  AbortServerExecution();
  // The server ends an aborted execution with a last answer; read up to it.
  SQLRETURN rc = SQL_STILL_EXECUTING;
  while (rc == SQL_STILL_EXECUTING && resultHandle == QVO_RESULT_STILL_EXECUTING)
    rc = ContinueExecuting();
}

// --- direct execution ------------------------------------------------------------------------

void qvoStatement::TakeStatementText(const char* text, SQLINTEGER len, int n) {
  sqlStmt.SetStatement(text, n);
  stmtStringLength = sqlStmt.GetStatementLen();
  if (logFull) {
    Log(" StringLength = %i\n", static_cast<int>(len));
    Log(" StringLength = %i (SQL after conversion to UTF-8)\n", stmtStringLength);
    if (stmtStringLength >= 1 && stmtStringLength <= 4095)
      Log(" Statement = %s\n", sqlStmt.GetStatement());
    LogData(SQL_C_CHAR, reinterpret_cast<const unsigned char*>(sqlStmt.GetStatement()),
            stmtStringLength);
  }
}

SQLRETURN qvoStatement::ExecDirect(const char* text, SQLINTEGER len) {
  if (logFull) LogConvertors("qvoStatement::ExecDirect");
  return ExecDirectBase(text, len);
}

SQLRETURN qvoStatement::ExecDirectBase(const char* text, SQLINTEGER len) {
  const int n = qvoSqlStrLen(text, len);
  // While values are being supplied at execution only ParamData goes on; a
  // sequence a cancel ended leaves the statement free.
  if (dataAtExec.Pending() && !dataAtExec.Canceled()) {
    ClearDiagRecords();
    return QVO_DIAG(this, _Function_sequence_error_, -1);
  }
  if (AsyncExecutionPending()) {
    // Asking again with the same text polls the running execution.
    if (n == sqlStmt.GetStatementLen() &&
        (n == 0 || std::memcmp(text, sqlStmt.GetStatement(), static_cast<size_t>(n)) == 0))
      return PollExecution();
    return RefuseWhileExecuting();
  }
  {
    // A synchronous execution of another statement holds the lock until its
    // result is in; only an asynchronous one leaves the connection busy.
    qvoMutex lock(connection->executionMutex);
    if (ConnectionBusyWithOther()) {
      ClearDiagRecords();
      return QVO_DIAG(this, _Function_sequence_error_, -1);
    }
  }
  preparedMessageLen = 0;
  sqlCallType = 0;
  if (ClearDiagRecords() != SQL_SUCCESS || InitStatement(QVO_INIT_RESET) == SQL_ERROR) {
    if (GetNumRecords() > 0) return SQL_ERROR;
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  }
  if (n <= 0)
    return QVO_DIAG(this, _The_string_argument_has_length_zero_it_or_contains_invalid_characters_,
                    -1);
  TakeStatementText(text, len, n);
  // Answered here, never sent.
  static constexpr std::string_view kTimestampText = "ExecGetTimestamp";
  if (std::string_view(sqlStmt.GetStatement(), static_cast<size_t>(sqlStmt.GetStatementLen())) ==
      kTimestampText)
    return ExecGetTimestamp();

  // With bound parameters the text takes the prepared road: the values
  // travel as typed rows, never spliced into the text.
  const SQLSMALLINT bound = GetNumBoundParams();
  if (bound < 0) return SQL_ERROR;
  if (bound > 0 && IPD() != nullptr && IPD()->header.count > 0) {
    const std::string prepared(sqlStmt.GetStatement(),
                               static_cast<size_t>(sqlStmt.GetStatementLen()));
    const SQLRETURN prc = Prepare(prepared.c_str(), static_cast<SQLINTEGER>(prepared.size()));
    // The statement stays one executed directly: QVOExecute does not run it.
    preparedForExecute = false;
    if (prc < 0) return prc;
    return Execute();
  }

  SQLRETURN rc;
  {
    qvoMutex lock(connection->executionMutex);
    rc = RunExecution(sqlStmt.GetStatement(), sqlStmt.GetStatementLen(), execute);
  }
  if (rc == SQL_STILL_EXECUTING) running.road = qvoRunningExecution::Road::Text;
  return DirectOutcome(rc);
}

SQLRETURN qvoStatement::DirectOutcome(SQLRETURN rc) {
  if (rc != SQL_ERROR && rc != SQL_NO_DATA) return rc;
  return FailWith(&Translator::_Error_executing_statement_CODE,
                  &Translator::_Error_executing_statement_MESSAGE, true);
}
