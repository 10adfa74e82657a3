// Row blocks: indexing a block through ptrArray, the two requests for further
// rows and the row count.
#include <cstring>
#include <limits>

#include "common/qvoByteOrder.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoAnswerReader.h"
#include "protocol/qvoAnswers.h"
#include "protocol/qvoProtocolVersion.h"
#include "protocol/qvoRequestPayloads.h"
#include "statement/qvoStatement.h"

SQLINTEGER qvoStatement::CreatePointerArray(char* block, qvo_int64 length) {
  const SQLSMALLINT columns = IRD() ? IRD()->header.count : 0;
  const qvo_int64 rows = resultCursor.ResultRowCount();
  // Any earlier table points into a block this one replaces.
  FreePointerArray();
  if (length < 0 ||
      !RowBlockCanHold(static_cast<size_t>(length), static_cast<size_t>(columns), rows))
    return -1;

  resultCursor.SetBlockColumns(static_cast<size_t>(columns));
  for (int c = 1; c <= columns; ++c) {
    const __cliDescriptorRecords* r = IRD()->GetRecord(static_cast<SQLSMALLINT>(c));
    resultCursor.SetBlockColumn(static_cast<size_t>(c - 1), {r->qvoType, r->qvoTypeLen});
  }
  return resultCursor.IndexBlock(block, length);
}

SQLRETURN qvoStatement::TakeRows(char* answer, qvo_int64 length) {
  std::unique_ptr<char[]> owned(answer);
  size_t unknown = 0;
  return SwapRows(owned, unknown, length);
}

SQLRETURN qvoStatement::SwapRows(std::unique_ptr<char[]>& answer, size_t& capacity,
                                 qvo_int64 length) {
  // Any earlier table points into the block being handed back.
  FreePointerArray();
  resultCursor.SwapRows(answer, capacity, length);
  return SQL_SUCCESS;
}

void qvoStatement::GiveBackRows(std::unique_ptr<char[]>& buffer, size_t& capacity) {
  buffer.reset();
  capacity = 0;
  SwapRows(buffer, capacity, 0);
}

SQLRETURN qvoStatement::MoreData(SQLBIGINT start, SQLBIGINT count) {
  char request[kRowsRequestBytes];
  EncodeRowsRequest(request, resultHandle, start, count);
  resultCursor.SetBlockRows(start, count);
  {
    qvoMutex lock(connection->executionMutex);
    if (Exchange(request, sizeof request, send_rows) == SQL_ERROR) return FetchFailed();
  }
  char* block = nullptr;
  size_t blockLength = 0;
  if (!DecodeRowsAnswer(resultCursor.Rows(), resultCursor.RowsLength(), &block, &blockLength)) {
    resultCursor.SetBlockRowCount(0);
    return QVO_DIAG(this, _Error_getting_more_lines_reading_data_, -1);
  }
  return IndexFetchedRows(block, static_cast<qvo_int64>(blockLength));
}

SQLRETURN qvoStatement::FetchFailed() {
  FreePointerArray();
  resultCursor.SetBlockRowCount(0);
  AppendConnectionDiagnostics();
  return QVO_DIAG(this, _Error_getting_more_lines_exec_stmt_, -1);
}

SQLRETURN qvoStatement::IndexFetchedRows(char* rows, qvo_int64 length) {
  const SQLINTEGER used = CreatePointerArray(rows, length);
  if (used < 0) {
    resultCursor.SetBlockRowCount(0);
    return QVO_DIAG(this, _Error_getting_more_lines_reading_data_, -1);
  }
  if (used != length) {
    FreePointerArray();
    resultCursor.SetBlockRowCount(0);
    return QVO_DIAG(this, _Error_getting_more_lines_summ_val_len_package_len_, -1);
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::Fetch2(SQLBIGINT start, SQLBIGINT byteBudget) {
  if (resultHandle < 0) return QVO_DIAG(this, _Function_sequence_error_, -1);
  if (logFull)
    Log("Requesting rows from server: resultHandle=%i, startPos=%lli, nBytes=%lli\n",
        resultHandle.load(), static_cast<long long>(start), static_cast<long long>(byteBudget));
  char request[kRowsRequestBytes];
  EncodeRowsRequest(request, resultHandle, start, byteBudget);
  // Until a block is indexed the statement holds no rows: a failed request
  // leaves nothing behind that a later fetch could take for received rows.
  resultCursor.SetBlockRows(start, 0);
  {
    qvoMutex lock(connection->executionMutex);
    if (Exchange(request, sizeof request, send_rows_fetch2) == SQL_ERROR) return FetchFailed();
  }
  qvoFetchAnswer answer;
  switch (DecodeFetch2Answer(resultCursor.Rows(), resultCursor.RowsLength(),
                             protocolVersion >= kFetchKindProtocol, &answer)) {
    case qvoFetchAnswerStatus::Rows:
      break;
    case qvoFetchAnswerStatus::Exception:
      // The server's own error, read from the block itself: the answer
      // buffer still holds the results of the execution.
      RecordServerException(answer.exception.text.data(), answer.exception.text.size(),
                            answer.exception.state.data());
      AppendConnectionDiagnostics();
      return SQL_ERROR;
    case qvoFetchAnswerStatus::ShortError: {
      const std::string text(answer.exception.text);
      SetDiagRec("HY000", -1, text.c_str());
      LastDiagWasFromServer();
      return SQL_ERROR;
    }
    case qvoFetchAnswerStatus::Malformed:
      return QVO_DIAG(this, _Error_getting_more_lines_reading_data_, -1);
  }
  const qvo_int64 rows = answer.rows;
  resultCursor.SetBlockRowCount(rows);
  const SQLRETURN rc = IndexFetchedRows(answer.block, static_cast<qvo_int64>(answer.blockLength));
  if (rc != SQL_SUCCESS) return rc;
  // A block without rows while rows remain would let a fetch ask for ever.
  if (rows == 0 && static_cast<SQLUBIGINT>(start) < resultCursor.NLines()) {
    FreePointerArray();
    return QVO_DIAG(this, _Error_getting_more_lines_reading_data_, -1);
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::RowCount(SQLLEN* rowCountPtr) {
  if (rowCountPtr == nullptr) return QVO_DIAG(this, _Invalid_row_count_pointer_, -1);
  if (resultCursor.SqlRowCount() >= 1)
    *rowCountPtr = resultCursor.SqlRowCount();
  else
    *rowCountPtr = resultCursor.NLines() < 2147483648ULL
                       ? static_cast<SQLLEN>(resultCursor.NLines())
                       : 2147483647;
  return SQL_SUCCESS;
}
