// Batches: texts collected on the statement, sent in one execute-batch
// request; the server answers with one result per text, read with
// MoreResults like any other answer. A batch that fails stays collected, so
// it can be sent again or extended.
#include "common/qvoStrings.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoRequestPayloads.h"
#include "statement/qvoStatement.h"

SQLRETURN qvoStatement::PrepareBatch(const char* sqlString, SQLINTEGER sqlStrLen) {
  if (nBatches == 0 &&
      (ClearDiagRecords() != SQL_SUCCESS || InitStatement(QVO_INIT_RESET) == SQL_ERROR))
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  const int n = sqlString ? qvoSqlStrLen(sqlString, sqlStrLen) : 0;
  if (n <= 0)
    return QVO_DIAG(this, _The_string_argument_has_length_zero_it_or_contains_invalid_characters_,
                    -1);
  batchList.emplace_back(sqlString, static_cast<size_t>(n));
  nBatches = static_cast<int>(batchList.size());
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::ExecuteBatch() {
  // The batch runs on: this call is its poll.
  if (RunningAsynchronously()) return PollExecution();
  if (ClearDiagRecords() != SQL_SUCCESS)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  if (nBatches == 0) return QVO_DIAG(this, _No_batch_statements_prepared_, -1);
  const std::vector<char> request = EncodeBatchRequest(batchList);
  if (request.empty()) return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  SQLRETURN rc;
  {
    qvoMutex lock(connection->executionMutex);
    if (ConnectionBusyWithOther()) return QVO_DIAG(this, _Function_sequence_error_, -1);
    // The results of a batch that ran before are closed first: none is left
    // open on the server, and no answer of those closes meets this one.
    CloseResults();
    rc = RunExecution(request.data(), static_cast<qvo_int64>(request.size()), execute_batch);
  }
  if (rc == SQL_STILL_EXECUTING) {
    running.road = qvoRunningExecution::Road::Batch;
    return rc;
  }
  return BatchOutcome(rc);
}

SQLRETURN qvoStatement::BatchOutcome(SQLRETURN rc) {
  // An answer without any result is a failure as well; the texts stay.
  if (rc == SQL_ERROR || rc == SQL_NO_DATA)
    return FailWith(&Translator::_Error_executing_batch_CODE,
                    &Translator::_Error_executing_batch_MESSAGE, true);
  batchList.clear();
  nBatches = 0;
  return SQL_SUCCESS;
}
