// Prepare and execute: the text goes to the server once (create prepared
// statement), which answers with a handle, the parameter description (into
// the IPD) and the result description (into the IRD); each execution then
// sends the bound parameter rows in blocks no larger than the server's data
// message size, numbering the blocks when there is more than one.
#include <algorithm>
#include <cstdint>

#include "common/qvoStrings.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoProtocolVersion.h"
#include "statement/qvoStatement.h"
#include "transport/qvoAttributes.h"

namespace {

constexpr qvo_int32 kPartNumberProtocol = 8;
constexpr qvo_int64 kDefaultDataMessageSize = 67108864;

SQLPOINTER CountPointer(SQLLEN n) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(n)); }

}  // namespace

SQLRETURN qvoStatement::Prepare(const char* text, SQLINTEGER len) {
  if (logFull) LogConvertors("qvoStatement::Prepare");
  return PrepareBase(text, len);
}

SQLRETURN qvoStatement::Execute() {
  if (logFull) LogConvertors("qvoStatement::Execute");
  return ExecuteBase();
}

SQLRETURN qvoStatement::PrepareBase(const char* text, SQLINTEGER len) {
  {
    // Another statement's execution owns the connection: nothing changes.
    qvoMutex lock(connection->executionMutex);
    if (ConnectionBusyWithOther()) {
      ClearDiagRecords();
      return QVO_DIAG(this, _Function_sequence_error_, -1);
    }
  }
  sqlCallType = 0;
  if (ClearDiagRecords() != SQL_SUCCESS || InitStatement(QVO_INIT_RESET) == SQL_ERROR)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  qvoMutex lock(connection->executionMutex);
  const int n = qvoSqlStrLen(text, len);
  if (n <= 0)
    return QVO_DIAG(this, _Statement_text_couldn_t_be_converted_from_current_codeset_to_UTF_8_, -1);
  TakeStatementText(text, len, n);
  const int numParams = GetNumParams(sqlStmt.GetStatement());
  if (logFull) Log("Parameter holders found in statement=%i\n", numParams);
  if (IPD() == nullptr || APD() == nullptr)
    return QVO_DIAG(this, _Error_resizing_implementation_parameter_descriptor_, -1);
  if (numParams != IPD()->header.count &&
      (IPD()->SetDescField(0, SQL_DESC_COUNT, CountPointer(numParams), 0) == SQL_ERROR ||
       APD()->SetDescField(0, SQL_DESC_COUNT, CountPointer(numParams), 0) == SQL_ERROR))
    return QVO_DIAG(this, _Error_resizing_implementation_parameter_descriptor_, -1);

  // The prepare's answer is read to its end also when executions run
  // asynchronously: nothing polls a prepare, and its descriptions follow
  // the handle in the same answer.
  SQLRETURN rc =
      Exchange(sqlStmt.GetStatement(), sqlStmt.GetStatementLen(), create_prepared_statement);
  if (rc != SQL_ERROR) rc = SyncMoreResults(0);
  if (rc == SQL_ERROR) {
    if (GetNumRecords() == 0) QVO_DIAG(this, _Error_executing_create_prepared_statement_, -1);
    if (stmtAttr.prepareSuccess == 0) return SQL_ERROR;
  }
  const auto readNext = [&]() {
    SQLRETURN r = SyncMoreResults(0);
    if (r == SQL_ERROR && GetNumRecords() == 0)
      QVO_DIAG(this, _Error_executing_create_prepared_statement_, -1);
    return r;
  };
  if (protocolVersion >= kAsyncProtocol) {
    rc = readNext();  // the parameter description, into the IPD
    if (rc == SQL_ERROR) return rc;
    rc = readNext();  // the result description, into the IRD
    if (rc == SQL_ERROR) return rc;
    if (numParams >= 1 && IPD()->header.count == numParams && stmtAttr.maxParamSize != 0) {
      for (int p = 1; p <= numParams; ++p) {
        __cliDescriptorRecords* r = IPD()->GetRecord(static_cast<SQLSMALLINT>(p));
        if (r && r->qvoType == _VARCHAR && r->length > stmtAttr.maxParamSize)
          r->length = std::min<SQLULEN>(maxVarcharLength, stmtAttr.maxParamSize);
      }
    }
  } else {
    // An older server describes no parameters: each is text of the largest size.
    const SQLULEN length = stmtAttr.maxParamSize != 0
                               ? std::min<SQLULEN>(maxVarcharLength, stmtAttr.maxParamSize)
                               : maxVarcharLength;
    for (int p = 1; p <= numParams; ++p) {
      const auto n = static_cast<SQLSMALLINT>(p);
      IPD()->SetDescField(n, SQL_DESC_CONCISE_TYPE, CountPointer(SQL_VARCHAR), 0);
      if (__cliDescriptorRecords* r = IPD()->GetRecord(n)) r->length = length;
    }
    rc = readNext();
    if (rc == SQL_ERROR) return rc;
  }
  preparedForExecute = true;
  return rc == SQL_NO_DATA ? SQL_SUCCESS : rc;
}

SQLRETURN qvoStatement::PreparedBlockOutcome(SQLRETURN rc) {
  if (rc == SQL_ERROR) {
    if (GetNumRecords() == 0) QVO_DIAG(this, _Error_executing_create_prepared_statement_, -1);
    return SQL_ERROR;
  }
  if (rc == SQL_NO_DATA)
    return FailWith(&Translator::_Error_executing_statement_CODE,
                    &Translator::_Error_executing_statement_MESSAGE, true);
  return rc;
}

SQLRETURN qvoStatement::SendPreparedBlock(bool last) {
  // Only the last block may be left to the application's polls: the server
  // takes no further block while it still executes one.
  return PreparedBlockOutcome(RunExecution(preparedBuffer.get(), preparedMessageLen,
                                           execute_prepared_statement, last ? 200 : 0));
}

SQLRETURN qvoStatement::PreparedOutcome(SQLRETURN rc) {
  rc = PreparedBlockOutcome(rc);
  if (rc != SQL_ERROR) *IPD()->header.rowsProcessedPtr = APD()->header.arraySize;
  return rc;
}

SQLRETURN qvoStatement::PollExecution() {
  const SQLRETURN rc = ContinueExecuting();
  if (rc == SQL_STILL_EXECUTING) return rc;
  const qvoRunningExecution run = std::move(running);
  running = {};
  using Road = qvoRunningExecution::Road;
  switch (run.road) {
    case Road::Answer:
      return rc;
    case Road::Text:
      return DirectOutcome(rc);
    case Road::Prepared:
      return PreparedOutcome(rc);
    case Road::Batch:
      return BatchOutcome(rc);
    case Road::ParameterRows:
      break;
  }
  // The result of the last block of parameter rows completes the execution.
  if (PreparedBlockOutcome(rc) == SQL_ERROR)
    return FailParameterBlocks(run.first, run.end, run.arraySize, run.total);
  SQLLEN count = 0;
  RowCount(&count);
  NoteSentRows(run.first, run.end, run.cutRows);
  return CompleteParameterBlocks(rc, run.arraySize, run.total + count, run.cut);
}

SQLRETURN qvoStatement::ExecutePrepared() {
  // A running execution is polled whatever started it; a new one needs a
  // statement the application prepared.
  if (resultHandle != QVO_RESULT_STILL_EXECUTING && !preparedForExecute)
    return RefuseWhileExecuting();
  return Execute();
}

SQLRETURN qvoStatement::ExecuteBase() {
  if (resultHandle == QVO_RESULT_STILL_EXECUTING) return PollExecution();
  running = {};
  qvoMutex lock(connection->executionMutex);
  // The server's size is 64 bits wide: a value beyond what a message can
  // hold is the largest message, never its low bits; none at all is the
  // default.
  const qvo_int64 serverSize = connection->GetMaxDataMessageSize();
  maxPreparedMessageSize = static_cast<SQLUINTEGER>(
      serverSize <= 0 ? kDefaultDataMessageSize : std::min<qvo_int64>(serverSize, INT32_MAX));
  preparedMessageLen = 0;
  sqlCallType = 0;
  if (ClearDiagRecords() != SQL_SUCCESS)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  // A sequence of values a cancel ended sent nothing: this execution starts
  // anew. While values are being supplied only ParamData goes on.
  if (dataAtExec.Canceled()) dataAtExec.Drop();
  if (dataAtExec.Pending()) return QVO_DIAG(this, _Function_sequence_error_, -1);
  if (!dataAtExec.Parsed()) {
    // A new execution. Another statement's execution owns the connection:
    // nothing changes. Otherwise every result this statement still holds is
    // closed first, so that no server result is left open and no answer of
    // those closes can meet this execution's.
    if (ConnectionBusyWithOther()) return QVO_DIAG(this, _Function_sequence_error_, -1);
    CloseResults();
  }
  // Rows affected are this execution's: none until a block went out.
  resultCursor.SetTotals(0, 0);
  SetDiagField(0, SQL_DIAG_ROW_COUNT, 0, 0);
  const SQLSMALLINT boundParams = GetNumBoundParams();
  if (boundParams < 0) return SQL_ERROR;
  if (logFull) Log("NumBoundParams=%i\n", static_cast<int>(boundParams));

  if (boundParams == 0) {
    if (CreateEmptyHeader() == SQL_ERROR) return SQL_ERROR;
    const SQLRETURN result =
        RunExecution(preparedBuffer.get(), preparedMessageLen, execute_prepared_statement, 200);
    if (result == SQL_STILL_EXECUTING) running.road = qvoRunningExecution::Road::Prepared;
    return PreparedOutcome(result);
  }
  const SQLULEN arraySize = APD()->header.arraySize;
  paramNum = static_cast<SQLUINTEGER>(arraySize);
  paramStart = 0;
  if (logFull) Log("Total parameter rows to send: %i\n", static_cast<int>(arraySize));
  // The header first: nothing is asked for at execution that could not be
  // sent.
  if (arraySize > 0 && CheckPreparedHeader() == SQL_ERROR) return SQL_ERROR;
  // The first pass finds the values to be supplied at execution and asks for
  // them; the pass that ParamData starts sends them.
  if (!dataAtExec.Parsed() && CreateDataAtExecList() > 0) {
    dataAtExec.MarkParsed();
    return SQL_NEED_DATA;
  }
  const SQLRETURN result = SendParameterBlocks(arraySize);
  // Values supplied at execution serve this execution only.
  dataAtExec.Drop();
  return result;
}

void qvoStatement::NoteParamStatus(SQLULEN from, SQLULEN to, SQLUSMALLINT status) {
  if (SQLUSMALLINT* statuses = IPD()->header.arrayStatusPtr)
    for (SQLULEN r = from; r < to; ++r) statuses[r] = status;
}

void qvoStatement::NoteSentRows(SQLULEN from, SQLULEN to, const std::vector<SQLULEN>& cutRows) {
  NoteParamStatus(from, to, SQL_PARAM_SUCCESS);
  for (SQLULEN r : cutRows) NoteParamStatus(r, r + 1, SQL_PARAM_SUCCESS_WITH_INFO);
}

SQLRETURN qvoStatement::FailParameterBlocks(SQLULEN failedFrom, SQLULEN failedTo, SQLULEN arraySize,
                                            qvo_int64 total) {
  NoteParamStatus(failedFrom, failedTo, SQL_PARAM_ERROR);
  NoteParamStatus(failedTo, arraySize, SQL_PARAM_UNUSED);
  *IPD()->header.rowsProcessedPtr = failedTo;
  resultCursor.SetSqlRowCount(total < INT32_MAX ? static_cast<SQLINTEGER>(total) : 0);
  return SQL_ERROR;
}

SQLRETURN qvoStatement::CompleteParameterBlocks(SQLRETURN result, SQLULEN arraySize,
                                                qvo_int64 total, bool cut) {
  resultCursor.SetSqlRowCount(total < INT32_MAX ? static_cast<SQLINTEGER>(total) : 0);
  *IPD()->header.rowsProcessedPtr = arraySize;
  // Reading an answer starts the records afresh: the warning for values cut
  // to their slots goes in after the last one, whichever block cut them.
  if (cut) {
    QVO_DIAG(this, _String_data_right_truncated_, 1);
    if (result == SQL_SUCCESS) result = SQL_SUCCESS_WITH_INFO;
  }
  return result;
}

SQLRETURN qvoStatement::SendParameterBlocks(SQLULEN arraySize) {
  // The application's view of the rows: processed up to the end of the
  // block that ended the execution, with a status per row when it asked.
  const bool numbered = protocolVersion >= kPartNumberProtocol;
  SQLRETURN result = SQL_SUCCESS;
  qvo_int64 total = 0;
  qvo_int32 part = 0;
  bool partSent = false;
  bool cut = false;
  size_t longValuesTaken = 0;
  while (paramStart < arraySize) {
    qvoParamBlock block;
    block.first = paramStart;
    block.count = arraySize - paramStart;
    block.nextLongValue = longValuesTaken;
    const SQLRETURN built = BuildPreparedMessage(block);
    if (built == SQL_ERROR || block.rows == 0) {
      // The server waits for the rest of a numbered execution: tell it
      // that none follows, so that the statement can be executed again.
      if (partSent && !connection->Disconnected()) {
        connection->SetIntAttribute(this, ATTR_PACKET_PART_NUMBER, 0);
      }
      QVO_DIAG_FMT(this, _Error_filling_prepared_data_, -1, block.errorParam,
                   static_cast<int>(block.errorRow));
      // A failure before any value names no row: the block's first.
      const SQLULEN bad = std::clamp<SQLULEN>(block.errorRow, paramStart, arraySize - 1);
      NoteParamStatus(paramStart, bad, SQL_PARAM_UNUSED);
      return FailParameterBlocks(bad, bad + 1, arraySize, total);
    }
    longValuesTaken = block.nextLongValue;
    if (logFull) Log("Sending block containing %i parameter rows.\n", static_cast<int>(block.rows));
    const bool last = paramStart + block.rows == arraySize;
    if (numbered && !(paramStart == 0 && last)) {
      connection->AddIntAttribute(ATTR_PACKET_PART_NUMBER, last ? -part : part);
      partSent = true;
    }
    result = SendPreparedBlock(last);
    if (result == SQL_ERROR)
      return FailParameterBlocks(paramStart, paramStart + block.rows, arraySize, total);
    cut = cut || built == SQL_SUCCESS_WITH_INFO;
    if (result == SQL_STILL_EXECUTING) {
      // The application polls for the last block's result, which completes
      // the execution then.
      running = {qvoRunningExecution::Road::ParameterRows,
                 paramStart,
                 paramStart + block.rows,
                 arraySize,
                 total,
                 std::move(block.cutRows),
                 cut};
      return result;
    }
    SQLLEN count = 0;
    RowCount(&count);
    total += count;
    NoteSentRows(paramStart, paramStart + block.rows, block.cutRows);
    paramStart += static_cast<SQLUINTEGER>(block.rows);
    ++part;
  }
  return CompleteParameterBlocks(result, arraySize, total, cut);
}
