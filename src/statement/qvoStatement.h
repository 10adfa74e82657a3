// qvoStatement: the statement handle (type 3). It carries what one statement
// needs between calls: its descriptor set, the result cursor (the answer taken
// over from the connection, the rows received so far and the fetch
// position), the state of the current result (resultHandle), the prepared
// handle, its attributes and a copy of the connection's settings taken at
// creation.
//
// States of resultHandle:
//   >= 0  an open server result set with this handle (more rows can be
//         fetched; it must be closed)
//   -1    the last result parsed was a server exception
//   -2    reset / nothing parsed / the last result was no result set / closed
//   -3    small result set, every row came inline
//   -4    described result set without a server handle
//   -5    parameter description (written into the IPD)
//   -7    the statement still executes on the server; only polling may follow
// Result sets built locally by the catalog functions carry other negative
// values (-2, -6, -10); all their rows are inline.
//
// The answer, the row blocks and the fetch position are the result cursor's
// (qvoResultCursor.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "connection/qvoAnswerTaker.h"
#include "descriptors/qvoDescriptors.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoHandle.h"
#include "platform/qvoCriticalSection.h"
#include "protocol/qvoAnswerReader.h"
#include "protocol/qvoLocalResults.h"
#include "protocol/qvoPreparedMessage.h"
#include "qvo/qvoDefs.h"
#include "statement/qvoDataAtExecState.h"
#include "statement/qvoResultCursor.h"
#include "statement/qvoSqlStatement.h"
#include "statement/qvoStatementDescriptors.h"
#include "transport/qvoMessageMode.h"

class qvoConnection;
struct qvoColumnJob;
struct qvoConversion;
class ColumnsCache;
struct __ConnectionStru;
struct qvoBoundParam;
struct qvoParamSet;

// Values of resultHandle with a meaning of their own.
enum : SQLINTEGER {
  QVO_RESULT_EXCEPTION = -1,
  QVO_RESULT_NONE = -2,
  QVO_RESULT_SMALL = -3,
  QVO_RESULT_INVALID = -4,
  QVO_RESULT_PARAMETERS = -5,
  QVO_RESULT_STILL_EXECUTING = -7,
  // Results the library builds itself (all rows inline).
  QVO_RESULT_TIMESTAMP = -2,
  QVO_RESULT_TYPE_TABLE = -6,
  QVO_RESULT_COLUMNS_CACHE = -10,
};

// The calendar fields of a time in UTC, as the time-stamp answer carries
// them (month 1..12, fraction 0).
QVO_INTERNAL qvoTimestampValue UtcCalendarTime(std::time_t seconds);

// The statement's attribute block.
struct __statementAttributes {
  char externalConversion = 0;
  SQLINTEGER attrOutputNTS = 0;
  int floatPrecision = 9;
  SQLUINTEGER prepareSuccess = 0;
  // Also set by the connection's attribute 4 while the statement may be in
  // a call on another thread.
  std::atomic<SQLUINTEGER> asyncEnable = 0;
  SQLUINTEGER attrConcurency = 1;
  SQLUINTEGER cursorScrollable = 1;
  SQLUINTEGER cursorSensitivity = 0;
  SQLUINTEGER cursorType = 0;
  SQLUINTEGER enableAutoIPD = 1;
  SQLPOINTER fetchBookmarkPtr = nullptr;
  SQLUINTEGER keysetSize = 0;
  SQLUINTEGER maxLength = 0;
  SQLUBIGINT maxRows = 0;
  SQLUINTEGER metadataID = 0;
  SQLUINTEGER noscan = 1;
  SQLUINTEGER retriveData = 1;
  SQLUINTEGER rowNumber = 0;
  SQLUINTEGER simulateCursor = 0;
  SQLUINTEGER useBookmarks = 0;
  SQLUINTEGER timestampPrecision = 0;
  char truncateDecimals = 1;
  char wordForTrue[100] = "1";
  char wordForFalse[100] = "0";
  bool showOnlyCurrentSchema = false;
  bool stringsNotNull = false;
  SQLUINTEGER maxParamSize = 0;
  int characterDisplaySize = 1;
};

// Levels of qvoStatement::InitStatement.
enum qvoInitLevel : SQLUSMALLINT {
  QVO_INIT_CLOSE_CURSOR = 1,    // the result goes, the prepared handle stays
  QVO_INIT_CLOSE_PREPARED = 3,  // the prepared handle goes too
  QVO_INIT_RESET = 4,           // everything, before a new execution and when freed
};

// One block of parameter rows of the execute-prepared message.
struct qvoParamBlock {
  SQLULEN first = 0;             // index of the first row to send
  SQLULEN count = 0;             // rows to send from there
  size_t nextLongValue = 0;      // next entry of the data-at-execution list; advanced as taken
  SQLULEN rows = 0;              // rows that went into the message
  int errorParam = 0;            // the value that failed: its parameter number
  SQLULEN errorRow = 0;          // and row index
  std::vector<SQLULEN> cutRows;  // rows in the message with a value cut to its slot
};

// An execution the application polls (asynchronous execution): how the result
// its last poll brings ends the call that started it, as the same call ends
// synchronously.
struct qvoRunningExecution {
  enum class Road : unsigned char {
    Answer,         // the result as it comes (QVOMoreResults)
    Text,           // SQL text executed directly: an answer without a result fails
    Prepared,       // a prepared statement without parameter rows
    ParameterRows,  // the last block of an execution of parameter rows
    Batch,          // a batch: its texts are done with once it ran
  };
  Road road = Road::Answer;
  // ParameterRows: the block's rows, the execution's rows, the rows affected
  // by the blocks before it, its rows with a value cut to its slot, and
  // whether a value of the execution was cut.
  SQLULEN first = 0, end = 0;
  SQLULEN arraySize = 0;
  qvo_int64 total = 0;
  std::vector<SQLULEN> cutRows;
  bool cut = false;
};

class qvoStatement : public qvoHandle, public cliDescriptorOwner, public qvoAnswerTaker {
 public:
  // Registers the statement and its four automatic descriptors in the handle
  // table under the connection and writes the statement's handle value to
  // *outputHandle (0 on failure; GetStmtCreateStatus then is above 0 and the
  // connection holds "Limit on the number of handles exceeded.").
  qvoStatement(qvoConnection* conn, SQLHANDLE* outputHandle);
  ~qvoStatement() override;

  // --- lifecycle ------------------------------------------------------------
  // Reset before a new execution: QVO_INIT_CLOSE_CURSOR keeps the prepared
  // handle, QVO_INIT_CLOSE_PREPARED and above also close it. Drains the current answer (an
  // asynchronous execution still running is aborted and drained first).
  SQLRETURN InitStatement(SQLUSMALLINT level);
  // Closes every result the statement holds on the server, the current one
  // and those still to come in its answer, and reads the answer to its end
  // (an execution still running is aborted and read to its end first). The
  // records of what was skipped go with it.
  void CloseResults();
  SQLRETURN CloseCursor();
  SQLRETURN FreeStmt(SQLUSMALLINT option);
  SQLRETURN SetPos(SQLBIGINT row, SQLUSMALLINT operation, SQLUSMALLINT lockType);
  SQLRETURN BulkOperations(SQLUSMALLINT operation);
  SQLRETURN AutoAllocatedDescriptor(SQLINTEGER kind, cliDescriptor* desc, SQLHANDLE handle);
  SQLSMALLINT GetNumBoundParams();
  SQLSMALLINT GetNumBoundColumns();

  // --- accessors --------------------------------------------------------------
  int SetProtocollVer(int version) {
    protocolVersion = version;
    return 0;
  }
  int GetMaxIdentifierLength() const { return maxIdentifierLength; }
  int GetMaxIdentifierOctetLength() const { return maxIdentifierOctetLength; }
  int GetStmtCreateStatus() const { return stmtWasErrorCreating; }
  int GetTranslatorLangCode() const { return qvoHandle::GetTranslatorLangCode(); }
  // The columns micro-cache. Dropped from any thread (a commit drops the
  // caches of all statements of its connection); a reader keeps its own
  // reference, so a drop never frees a cache in use.
  void ClearColumnCache() override {
    std::lock_guard lock(columnCacheMutex);
    columnCache.reset();
    ++columnCacheGeneration;
  }
  // The cache (or null) and the count of drops so far.
  std::shared_ptr<ColumnsCache> LoadColumnCache(unsigned* generation) {
    std::lock_guard lock(columnCacheMutex);
    *generation = columnCacheGeneration;
    return columnCache;
  }
  // Keeps a cache filled since LoadColumnCache, unless it was dropped
  // meanwhile (what it holds may then be out of date).
  void StoreColumnCache(std::shared_ptr<ColumnsCache> cache, unsigned generation) {
    std::lock_guard lock(columnCacheMutex);
    if (generation == columnCacheGeneration) columnCache = std::move(cache);
  }
  void SetAsyncMode(SQLUINTEGER value) override { stmtAttr.asyncEnable = value; }
  void BindingWasChanged() override { resultCursor.NoteBindingChanged(); }
  SQLULEN GetStmtAttr_QVO_TIMESTAMP_PRECISION() override { return stmtAttr.timestampPrecision; }
  SQLRETURN SetPreparedParamcount(int n) override;
  void SetMaxIdentifierLength(int mil);
  void SetMaxIdentifierLengthInDescriptors();
  qvoConnection* GetConnection() const { return connection; }
  // The kind of catalog result the statement holds (0: none); a catalog
  // function marks its result, and the columns' fixed types follow the kind.
  char SqlCallType() const { return sqlCallType; }
  void MarkCatalogResult(char kind) { sqlCallType = kind; }
  // The statement's status note, as the status attribute reads it (cut to
  // its 259 bytes).
  const char* StatusText() const { return stmtStatusText; }
  void SetStatusText(const char* text);

  // --- descriptors ----------------------------------------------------------------
  // The descriptors in use; Descriptors() tells their handle values and the
  // statement's own ones.
  cliDescriptor* ARD() const { return descriptors.ARD; }
  cliDescriptor* IRD() const { return descriptors.IRD; }
  cliDescriptor* APD() const { return descriptors.APD; }
  cliDescriptor* IPD() const { return descriptors.IPD; }
  const qvoStatementDescriptors& Descriptors() const { return descriptors; }
  // The application's descriptor desc (handle value handle) takes the place
  // of the ARD, APD or IPD (kind QVO_DESC_...); null: the statement's own.
  void UseDescriptor(SQLINTEGER kind, cliDescriptor* desc, SQLPOINTER handle);
  // Wherever desc is in use (it is being freed), the statement's own
  // descriptor takes its place again.
  void ReleaseDescriptor(const cliDescriptor* desc);

  // --- execution ----------------------------------------------------------------
  // UTF-8 text of len bytes (SQL_NTS: terminated). 0, 1, 2 (still executing
  // asynchronously) or -1.
  SQLRETURN ExecDirect(const char* text, SQLINTEGER len);
  SQLRETURN ExecDirectBase(const char* text, SQLINTEGER len);
  // Sends the text with the create-prepared-statement command and keeps the
  // server's handle, parameter description (IPD) and result description (IRD).
  SQLRETURN Prepare(const char* text, SQLINTEGER len);
  SQLRETURN PrepareBase(const char* text, SQLINTEGER len);
  // Runs the prepared statement with the bound parameter rows, in as many
  // blocks as the data message size needs; the row counts are summed. A new
  // execution first closes every result the statement still holds.
  SQLRETURN Execute();
  SQLRETURN ExecuteBase();
  // QVOExecute: only a statement the application prepared may be executed
  // (not one never prepared, executed directly or used by a catalog call):
  // else HY010 and nothing sent.
  SQLRETURN ExecutePrepared();
  // Reads the first result of a fresh answer. Mode 200: one parse when
  // asynchronous execution is on, else as 0; mode 0: parse, and poll while
  // the server still executes; other modes: one parse.
  SQLRETURN SyncMoreResults(SQLUINTEGER mode);
  SQLRETURN ContinueExecuting();
  // The server's column lookup (get_columns): names UTF-8, null when absent,
  // each flag saying that its name is a LIKE pattern; odbcVer the
  // application's ODBC version; selBuff the text kept as the statement's SQL.
  // The answer is the statement's result (sqlCallType 2). 0, or -1 with
  // diagnostics; a name longer than the identifier limit is refused (HY090)
  // before anything is sent. `mode` reads the answer as SyncMoreResults
  // does: 0 waits for its end also when executions run asynchronously (a
  // lookup the library reads itself, which no application call polls).
  SQLRETURN ExecGetColumns(const char* catalog, const char* schema, bool s_like, const char* table,
                           bool t_like, const char* column, bool c_like, int odbcVer,
                           const char* selBuff, SQLUINTEGER mode = 200);
  SQLRETURN ExecGetColumnsBase(const char* catalog, const char* schema, bool s_like,
                               const char* table, bool t_like, const char* column, bool c_like,
                               int odbcVer, const char* selBuff, SQLUINTEGER mode = 200);
  // Answers the statement text "ExecGetTimestamp": one row, one column
  // SQL_TIMESTAMP, the client's current time in UTC. 0 or -1.
  SQLRETURN ExecGetTimestamp();
  // Makes a result the library wrote itself the statement's result (the
  // caller has reset the statement): the parse's result, or -1 with a
  // diagnostic when the message could not be built.
  SQLRETURN TakeLocalResult(qvoLocalResultWriter& writer, qvo_int64 rows);
  // QVOCancel, from any thread, without waiting for a call on the statement:
  // a sequence of values supplied at execution is asked to end (its next
  // ParamData or PutData does so with "Operation canceled."); otherwise the
  // abort goes out while the statement executes on the server (protocol 9
  // and later); the statement stays in state -7 until a poll gets a result.
  SQLRETURN AbortExecution();
  // Calls on the statement run one after another (the call frame holds this
  // lock; QVOCancel does not take it). Recursive: a call may make another on
  // the same statement.
  qvoCriticalSection& CallMutex() { return callMutex; }
  // An asynchronous execution the application polls: a call of `function`
  // started it and returned 2, and no poll has ended it yet.
  bool RunningAsynchronously() const {
    return runningFunction != qvoStmtFunction::Other && resultHandle == QVO_RESULT_STILL_EXECUTING;
  }
  // The call frame's side of it: whether a call of `function` is refused
  // while it runs, the refusal (HY010, -1), and what a call that ended with
  // rc leaves running.
  // An asynchronous execution of this statement has not brought its result
  // yet (also one whose starting call the frame did not see): a call that
  // starts an execution polls it instead, or is refused.
  bool AsyncExecutionPending() const;
  bool RefusedWhileExecuting(qvoStmtFunction function) const {
    return RunningAsynchronously() && function != runningFunction;
  }
  SQLRETURN RefuseWhileExecuting();
  void NoteCallEnded(qvoStmtFunction function, SQLRETURN rc);

  // --- parameters -------------------------------------------------------------
  // Records parameter ParameterNumber (1..) in the APD and the IPD; the
  // effective buffer length and column size follow the C type and, for
  // character C types without a buffer length, the SQL type.
  SQLRETURN BindParameter(SQLSMALLINT ParameterNumber, SQLSMALLINT InputOutputType,
                          SQLSMALLINT ValueType, SQLSMALLINT ParameterType, SQLULEN ColumnSize,
                          SQLSMALLINT DecimalDigits, SQLPOINTER ParameterValuePtr,
                          SQLLEN BufferLength, SQLLEN* StrLen_or_IndPtr);
  // The IPD's record count: the markers of the prepared text, or the highest
  // bound parameter.
  SQLRETURN NumParams(SQLSMALLINT* ParameterCountPtr);
  // The IPD record of a parameter 1..count; null outputs are skipped.
  SQLRETURN DescribeParam(SQLSMALLINT ParameterNumber, SQLSMALLINT* DataTypePtr,
                          SQLULEN* ParameterSizePtr, SQLSMALLINT* DecimalDigitsPtr,
                          SQLSMALLINT* NullablePtr);

  // The execute-prepared message into preparedBuffer: header, one
  // description per bound parameter, then rows [first, first + count) as far
  // as they go: a block closes after the first row that reaches
  // maxPreparedMessageSize (a row the largest message cannot take as well
  // starts the next block). preparedHeaderLen and preparedMessageLen give the
  // lengths, block.rows the rows written (also stamped in the header). 0; 1
  // when a value longer than its slot was cut to it (the caller records
  // 01004 once the answers are read, as reading one starts the records
  // afresh); -1 with a diagnostic, block.errorParam and errorRow naming the
  // value, and an empty message.
  SQLRETURN BuildPreparedMessage(qvoParamBlock& block);
  // The header's checks for an execution of the APD's array size, made
  // before anything is sent or asked for at execution: the bound parameters
  // are the descriptors' records 1..count, and each has a wire form for its
  // C type and SQL type and buffers that can give its values. 0, or -1 with
  // the reason and then "Error creating prepared statement header.".
  SQLRETURN CheckPreparedHeader();
  // Settles each bound parameter for a message of rows [0, rows): its wire
  // form (its server type, and the precision that form sets, stored in the
  // IPD record), its description and how its values are read, and the
  // message's estimated size; with logHeader the log tells the header. 0, or
  // -1 with the diagnostic.
  SQLRETURN DescribeBoundParams(qvoParamSet& set, SQLULEN rows, bool logHeader = false);
  // Appends row `row` of every bound parameter to `out`. 0, with *cut set
  // when a value was cut to its slot; SQL_NO_DATA when a value does not fit
  // the message and the row is not the block's first (the message and
  // block.nextLongValue are then as before the row: the row starts the next
  // block); -1 with the diagnostic, block.errorParam and errorRow naming the
  // value.
  SQLRETURN EncodeParamRow(qvoMessageBuffer& out, const qvoParamSet& set, SQLULEN row,
                           qvoParamBlock& block, bool* cut);
  // The value of one parameter in a row as the encoder takes it: from the
  // application's buffers or, for data at execution, the next collected
  // value (block.nextLongValue advanced). *isNull for a NULL; *cut when the
  // value was cut to its slot. 0, or -1 with the diagnostic.
  SQLRETURN TakeParamValue(const qvoBoundParam& bp, bool givenLength, SQLULEN row,
                           qvoParamBlock& block, qvoParamValue* v, bool* isNull, bool* cut);
  // The message of a statement without parameters: the header alone.
  SQLRETURN CreateEmptyHeader();
  // Sends the message in preparedBuffer and reads its first result; a block
  // that is not the last is waited for also when asynchronous execution is
  // on (2 only for the last).
  SQLRETURN SendPreparedBlock(bool last);
  // A block's result as the execution takes it: -1 named "Error executing
  // create_prepared_statement." when no record says why, no result at all
  // "Error executing statement.".
  SQLRETURN PreparedBlockOutcome(SQLRETURN rc);
  // Sends bound rows [paramStart, arraySize) in blocks and sums their row
  // counts. A failing block ends the execution: the server is told that no
  // part follows, the row count is that of the blocks before it, and the
  // parameter status array (when set) marks the rows sent, the failed ones
  // and those never used. When the server still executes the last block
  // (asynchronous execution), 2; the poll that brings its result completes
  // all of that (PollExecution).
  SQLRETURN SendParameterBlocks(SQLULEN arraySize);
  // One poll of the running execution (the call that started it, made
  // again); the result it brings ends that call as it would have ended
  // synchronously.
  SQLRETURN PollExecution();
  // How an execution's first result ends its call, synchronously or at its
  // last poll: direct execution (no result at all is "Error executing
  // statement."), a prepared statement without parameter rows (rows
  // processed set as well), a batch (its texts done with once it ran).
  SQLRETURN DirectOutcome(SQLRETURN rc);
  SQLRETURN PreparedOutcome(SQLRETURN rc);
  SQLRETURN BatchOutcome(SQLRETURN rc);
  // The parameter status array (when set) for rows [from, to).
  void NoteParamStatus(SQLULEN from, SQLULEN to, SQLUSMALLINT status);
  // Rows from..to went out: each succeeded, with information where a value
  // of it was cut to its slot.
  void NoteSentRows(SQLULEN from, SQLULEN to, const std::vector<SQLULEN>& cutRows);
  // The end of an execution of parameter rows that failed in rows
  // [failedFrom, failedTo) after blocks that affected `total` rows: -1.
  SQLRETURN FailParameterBlocks(SQLULEN failedFrom, SQLULEN failedTo, SQLULEN arraySize,
                                qvo_int64 total);
  // The end of one whose every block was taken: row count, rows processed
  // and, when a value was cut to its slot, 01004 (the result then 1).
  SQLRETURN CompleteParameterBlocks(SQLRETURN result, SQLULEN arraySize, qvo_int64 total, bool cut);
  // Whether an indicator asks for the value at execution: SQL_DATA_AT_EXEC
  // or SQL_LEN_DATA_AT_EXEC(n).
  bool IsDataAtExec(SQLLEN indicator) const;
  // Where row `row` (0-based) of parameter `param` lies, bind offset and
  // binding kind applied: the value's address (null when none is bound) and
  // its indicator (SQL_NTS when no indicator is bound) with, when wanted,
  // where that was read (null without indicator).
  void LocateParamValue(SQLSMALLINT param, SQLULEN row, const char** value, SQLLEN* indicator,
                        const char** indicatorAt = nullptr) const;
  // Whether the log shows row `row` of a block (the log-lines setting: -1
  // its first row and the last still to send, n > 0 its first n rows).
  bool ParamRowLogged(SQLULEN row, const qvoParamBlock& block) const;
  // The log line of one value of a row; returns its indicator.
  SQLLEN LogParamRow(const qvoBoundParam& bp, SQLULEN row);
  // Column-wise step between a parameter's values: the buffer length, or a
  // fixed-size C type's own size when none is set.
  size_t ParamColumnStride(SQLSMALLINT param) const;

  // --- data at execution (qvoDataAtExec.cpp) -----------------------------------
  // Execution stops with SQL_NEED_DATA when bound values ask to be supplied
  // at execution; ParamData hands out the application's token of each in
  // turn (by row, then parameter), PutData collects its bytes, and the
  // ParamData after the last runs the execution with them. The collected
  // values belong to that one execution.
  // The values of rows [paramStart, paramStart + paramNum) that are data at
  // execution; CreateDataAtExecList lists them (token, C type, indicator,
  // empty value) and returns their number.
  SQLINTEGER CountDataAtExec();
  SQLINTEGER CreateDataAtExecList();
  SQLRETURN ParamData(SQLPOINTER* Value);
  SQLRETURN PutData(SQLPOINTER DataPtr, SQLLEN StrLen_or_Ind);

  // --- batches (qvoBatches.cpp) ---------------------------------------------------
  // Appends one UTF-8 text (SQL_NTS: terminated) to the batch; the first
  // text of a batch resets the statement.
  SQLRETURN PrepareBatch(const char* sqlString, SQLINTEGER sqlStrLen);
  // Sends the collected texts in one request and reads the first result; the
  // others follow with MoreResults. A failed batch stays collected.
  SQLRETURN ExecuteBatch();

  // --- answers ------------------------------------------------------------------
  qvoHandle* RequesterHandle() override { return this; }
  SQLRETURN TakeResults(char* answer, qvo_int64 length) override;
  SQLRETURN TakeRows(char* answer, qvo_int64 length) override;
  SQLRETURN SwapRows(std::unique_ptr<char[]>& answer, size_t& capacity, qvo_int64 length) override;
  void GiveBackRows(std::unique_ptr<char[]>& buffer, size_t& capacity) override;
  // Consumes the next result of the answer: 0, 100 (nothing left), 2 (still
  // executing) or -1 with a diagnostic.
  SQLRETURN MoreResults() override;
  // The application's QVOMoreResults: once no result is left the statement
  // has no result set, as after a close.
  SQLRETURN NextResult();

  // --- row blocks ---------------------------------------------------------------
  // Indexes a row block of `length` bytes for the IRD's columns and
  // resultRowCount rows (values converted in place). Bytes consumed, or -1
  // when the block does not hold all its values (no table is then kept).
  SQLINTEGER CreatePointerArray(char* block, qvo_int64 length);
  // Further rows of the open result set from 0-based row start: count rows
  // (protocol 7) or up to a byte budget (protocol 8 and later).
  SQLRETURN MoreData(SQLBIGINT start, SQLBIGINT count);
  SQLRETURN Fetch2(SQLBIGINT start, SQLBIGINT byteBudget);
  SQLRETURN RowCount(SQLLEN* rowCountPtr);
  SQLRETURN DiagCursorRowCount(SQLLEN* rowCountPtr) override { return RowCount(rowCountPtr); }
  // The value of row r (1..resultRowCount) of column c (1..ptrArrayCols) in
  // the current block, or null when there is none; RowIsNull tells NULL.
  char* RowValue(SQLINTEGER c, SQLBIGINT r) const { return resultCursor.RowValue(c, r); }
  bool RowIsNull(SQLINTEGER c, SQLBIGINT r) const { return resultCursor.RowIsNull(c, r); }
  // The result cursor: the answer, the rows received and the fetch position
  // (see qvoResultCursor.h).
  const qvoResultCursor& Result() const { return resultCursor; }
  // What the fetch moves and keeps in it.
  void SetCursor(SQLBIGINT row) { resultCursor.SetCursor(row); }
  void SetBlockRows(SQLBIGINT start, SQLBIGINT count) { resultCursor.SetBlockRows(start, count); }
  qvoFetchScratch& FetchScratch() { return resultCursor.FetchScratch(); }
  qvoResultCursor::ColumnConversionsPtr& ColumnConversions() {
    return resultCursor.ColumnConversions();
  }

  // --- result description and binding ------------------------------------------
  // Text results are UTF-8; the exported functions convert them. A text cut
  // to its buffer reports the whole length and gives 01004 with 1.
  SQLRETURN NumResultCols(SQLSMALLINT* ColumnCountPtr);
  SQLRETURN DescribeCol2(SQLSMALLINT ColumnNumber, SQLSMALLINT* NativeDataType);
  SQLRETURN DescribeCol(SQLSMALLINT ColumnNumber, char* ColumnName, SQLSMALLINT BufferLength,
                        SQLSMALLINT* NameLengthPtr, SQLSMALLINT* DataTypePtr,
                        SQLULEN* ColumnSizePtr, SQLSMALLINT* DecimalDigitsPtr,
                        SQLSMALLINT* NullablePtr);
  SQLRETURN ColAttribute(SQLSMALLINT ColumnNumber, SQLSMALLINT FieldIdentifier,
                         SQLPOINTER CharacterAttributePtr, SQLSMALLINT BufferLength,
                         SQLSMALLINT* StringLengthPtr, SQLLEN* NumericAttributePtr);
  // Whether ColAttribute gives the field as text.
  static bool ColAttributeIsText(SQLSMALLINT FieldIdentifier);
  // Single-value retrieval from the current row (the rowset's last row, or
  // the row SetPos chose); character values come in pieces over calls.
  SQLRETURN GetData(SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType, SQLPOINTER TargetValue,
                    SQLLEN BufferLength, SQLLEN* StrLen_or_Ind);
  SQLRETURN BindCol(SQLSMALLINT ColumnNumber, SQLSMALLINT TargetType, SQLPOINTER TargetValuePtr,
                    SQLLEN BufferLength, SQLLEN* StrLen_or_Ind);
  // The fixed C type, SQL type and nullability of a column of a catalog
  // result (sqlCallType); -1 when the kind or the column has none. *Nullable
  // is 1 unless the table says otherwise.
  SQLRETURN GetDefaultCatalogColumnType(SQLSMALLINT ColumnNumber, SQLSMALLINT SQLType,
                                        SQLSMALLINT* CType, SQLSMALLINT* oSQLType,
                                        SQLSMALLINT* Nullable);
  SQLULEN GetColumnSize(SQLSMALLINT col, cliDescriptor* D);

  // --- date and time text, data logging ---------------------------------------
  // "YYYY-MM-DD hh:mm:ss[.f...]" with prec (0..9, clamped) fractional digits,
  // cut to the buffer (digits cut, not rounded) and terminated; *strLenPtr:
  // the whole text's length, so the caller can tell a cut.
  SQLRETURN TimestampToChar(char* buffer, SQLLEN bufferLen, const char* valuePtr, SQLLEN* strLenPtr,
                            SQLINTEGER prec);
  // "YYYY-MM-DD" likewise.
  SQLRETURN DateToChar(char* buffer, SQLLEN bufferLen, const char* valuePtr, SQLLEN* strLenPtr);
  int LogConvertors(const char* functionName);
  // Hex dump of dataLen bytes (at most 1024) of a value of C type dataType.
  int LogData(short dataType, const unsigned char* buffer, SQLLEN dataLen);

  // --- fetch and scroll ----------------------------------------------------------
  SQLRETURN FetchScroll(SQLSMALLINT FetchOrientation, SQLLEN FetchOffset);
  SQLRETURN Fetch();
  // Status of rowset rows rowsProcessed.. (no row); with statusAll -1 every
  // row is an error row. 0, or -1 for statusAll -1.
  SQLRETURN FillStatusArray(SQLSMALLINT statusAll, SQLULEN rowsProcessed);
  // Converts the rowset rows from startRow on that lie in the received block
  // (asking for the next block when the cursor left it); see qvoFetchBlock.cpp.
  SQLRETURN FetchBlock(SQLULEN startRow);

  // --- server handles -----------------------------------------------------------
  SQLRETURN ExecuteCloseRes();
  SQLRETURN ExecuteClosePrepared();
  SQLRETURN ExecuteDescRes(SQLINTEGER handle);

  // --- parallel mode (qvoParallel.cpp) ---------------------------------------------
  // The arrays handed out are slaveConnections: they live until the next
  // reset. EnterParallel and GetHostnames reset the statement first;
  // GetSlaveOffset needs an open server result set and leaves it in place.
  SQLRETURN EnterParallel(SQLINTEGER nConnections, SQLINTEGER* nConnectionsPtr,
                          __ConnectionStru** ConnectionPtr, SQLBIGINT* TokenPtr);
  SQLRETURN GetHostnames(SQLINTEGER* nHostsPtr, __ConnectionStru** ConnectionPtr);
  SQLRETURN GetSlaveOffset(SQLBIGINT* slaveOffset);

  // --- attributes -----------------------------------------------------------------
  SQLRETURN SetStmtAttr(SQLINTEGER attribute, SQLPOINTER valuePtr, SQLINTEGER stringLength);
  SQLRETURN GetStmtAttr(SQLINTEGER attribute, SQLPOINTER valuePtr, SQLINTEGER bufferLength,
                        SQLINTEGER* stringLengthPtr);

  // --- catalog functions (src/catalog) ---------------------------------------------
  // Each writes one query over the views of the system schema (sysSchemaName:
  // the quoted schema and a dot) and runs it with ExecDirect, leaving its kind
  // in sqlCallType; -1 with a diagnostic when an argument is refused, before
  // anything is sent. Names are UTF-8, null when absent.
  SQLRETURN Tables(const char* sysSchemaName, const char* CatalogName, const char* SchemaName,
                   const char* TableName, const char* TableType);
  SQLRETURN Columns(const char* sysSchemaName, const char* CatalogName, const char* SchemaName,
                    const char* TableName, const char* ColumnName);
  SQLRETURN ForeignKeys(const char* sysSchemaName, const char* PKCatalogName,
                        const char* PKSchemaName, const char* PKTableName,
                        const char* FKCatalogName, const char* FKSchemaName,
                        const char* FKTableName);
  SQLRETURN PrimaryKeys(const char* sysSchemaName, const char* CatalogName, const char* SchemaName,
                        const char* TableName);
  SQLRETURN TablePrivileges(const char* sysSchemaName, const char* CatalogName,
                            const char* SchemaName, const char* TableName);
  SQLRETURN ColumnPrivileges(const char* sysSchemaName, const char* CatalogName,
                             const char* SchemaName, const char* TableName, const char* ColumnName);
  SQLRETURN Procedures(const char* sysSchemaName, const char* CatalogName, const char* SchemaName,
                       const char* ProcName);
  SQLRETURN ProcedureColumns(const char* sysSchemaName, const char* CatalogName,
                             const char* SchemaName, const char* ProcName, const char* ColumnName);
  SQLRETURN Statistics(const char* sysSchemaName, const char* CatalogName, const char* SchemaName,
                       const char* TableName);
  SQLRETURN SpecialColumns(const char* sysSchemaName);
  SQLRETURN myGetTypeInfo(const char* sysSchemaName, SQLSMALLINT DataType);
  // The type table built without the server (one row, BIT, for SQL_ALL_TYPES
  // and SQL_BIT; empty otherwise); sqlCallType 4. schemaName is not used.
  SQLRETURN GetTypeInfo(const char* schemaName, SQLSMALLINT DataType);

  // Catalog arguments as SQL text (quoted with quoteChar, every quoteChar
  // inside doubled; quoteChar 0: the bare name). 0 converted, 100 absent, -1
  // refused with a diagnostic (a null name under identifier rules, a name
  // longer than the identifier limit).
  SQLRETURN GetIdentifierArgumentBase(const char* inputStr, std::string* output, char quoteChar);
  SQLRETURN GetOrdinaryArgumentBase(const char* inputStr, std::string* output, char quoteChar);
  SQLRETURN GetPatternValueArgumentBase(const char* inputStr, std::string* output, char quoteChar);
  SQLRETURN GetIdentifierArgument(const char* in, std::string* out) {
    return GetIdentifierArgumentBase(in, out, '\'');
  }
  SQLRETURN GetOrdinaryArgument(const char* in, std::string* out) {
    return GetOrdinaryArgumentBase(in, out, '\'');
  }
  SQLRETURN GetPatternValueArgument(const char* in, std::string* out) {
    return GetPatternValueArgumentBase(in, out, '\'');
  }
  SQLRETURN GetIdentifierArgumentFast(const char* in, std::string* out) {
    return GetIdentifierArgumentBase(in, out, 0);
  }
  SQLRETURN GetOrdinaryArgumentFast(const char* in, std::string* out) {
    return GetOrdinaryArgumentBase(in, out, 0);
  }
  SQLRETURN GetPatternValueArgumentFast(const char* in, std::string* out) {
    return GetPatternValueArgumentBase(in, out, 0);
  }
  // A table-type list as 'A','B': 0, 100 (no name in it) or -1 (does not fit).
  SQLRETURN GetValueListArgument(const char* inputStr, std::string* output);
  // The longest name a catalog argument may hold, in bytes.
  size_t MaxCatalogArgumentLength() const;

  // --- members --------------------------------------------------------------------
  qvoConnection* connection = nullptr;
  std::shared_ptr<ColumnsCache> columnCache;  // under columnCacheMutex
  std::mutex columnCacheMutex;
  unsigned columnCacheGeneration = 0;
  SQLUINTEGER extendedFetchMapping = 0;
  sqlStatement sqlStmt;
  SQLINTEGER preparedHeaderLen = 0;
  std::unique_ptr<char[]> preparedBuffer;
  SQLUINTEGER preparedBufferLen = 0;
  SQLUINTEGER preparedBufferSize = 0;
  int preparedMessageLen = 0;
  SQLINTEGER preparedHandle = -2;
  char decSeparator = '.';
  SQLUINTEGER oldParamNum = 0;
  SQLUINTEGER paramNum = 0;
  SQLUINTEGER paramStart = 0;
  std::string executionStatus;  // status text of the last still-executing answer
  __statementAttributes stmtAttr;
  SQLINTEGER numResultSets = 0;
  SQLBIGINT token = 0;
  // Read by QVOCancel from another thread while an execution writes it.
  std::atomic<SQLINTEGER> resultHandle{-2};
  std::vector<__ConnectionStru> slaveConnections;
  int nBatches = 0;
  std::vector<std::string> batchList;
  SQLUINTEGER maxPreparedMessageSize = 33554432;
  char numBuff[128] = {};
  char ordinaryArgumentPredicate[7] = " = ";
  int stmtStringLength = 0;
  int stmtWasErrorCreating = 0;
  bool using_QVO_VARCHAR_PTR = false;
  int maxIdentifierLength = 128;
  int maxIdentifierOctetLength = 512;
  SQLUINTEGER maxVarcharLength = 20000;
  SQLUINTEGER maxVarcharOctetLength = 80000;
  qvoCriticalSection continueExecMutex;
  qvoCriticalSection callMutex;

  // Another statement of the connection still has a query running on the
  // server: its answer is the next one on the socket.
  bool ConnectionBusyWithOther() const override;
  // Some statement of the connection (this one included) has a query
  // running on the server.
  bool ConnectionRunsExecution() const;

 private:
  friend class qvoPlainFetchScope;

  // The connection's settings a new statement starts from, copied under the
  // connection's settings lock.
  void TakeConnectionSettings(qvoConnection& conn);
  SQLRETURN GetDataPiece(qvoColumnJob& job, const qvoConversion& conv);
  SQLRETURN GetDataTextPiece(qvoColumnJob& job, const qvoConversion& conv);
  // The next piece of the text kept for the current column (pieces no
  // longer than maxLength, 0: no limit), or a length query of it.
  SQLRETURN HandOutPiece(qvoColumnJob& job, SQLUINTEGER maxLength);
  bool GetDataLogAdmits() const;
  // One request of this statement through the connection. Refused with
  // "Function sequence error." while another statement of the connection
  // executes asynchronously. An auxiliary request's answer is checked for a
  // server error and dropped; it never replaces the current answer.
  SQLRETURN Exchange(const char* data, qvo_int64 length, __qvoMessageMode command,
                     bool auxiliary = false);
  // A synchronous execution: the request, then its first result as
  // SyncMoreResults(mode) reads it, marked as running throughout so that a
  // cancel from another thread goes out beside it. Under executionMutex.
  SQLRETURN RunExecution(const char* data, qvo_int64 length, __qvoMessageMode command,
                         SQLUINTEGER mode = 200);
  // The server part of AbortExecution.
  SQLRETURN AbortServerExecution();
  // An auxiliary request whose answer the caller reads: it is left in
  // auxAnswer (the current answer stays untouched).
  SQLRETURN ExchangeKeepingAnswer(const char* data, qvo_int64 length, __qvoMessageMode command);
  // Records the server error of the auxiliary answer, if it holds one, and
  // drops it: 0 or -1.
  SQLRETURN CheckAuxiliaryAnswer();
  // Closes other statements of the connection could not send while an
  // execution owned it go out first, once no execution runs any more.
  void SendDeferredCloses();
  // While another statement's execution owns the connection, a close of a
  // server handle waits in the connection's list (true then).
  bool DeferCloseWhileBusy(__qvoMessageMode command, SQLINTEGER handle);
  // Keeps the connection's record of which statement executes asynchronously.
  void NoteExecutionState();
  // Appends the connection's records (with onlyWithoutRecords: only when the
  // statement has none); the message when the statement still has none.
  SQLRETURN FailWith(Translator::CodeOperation code, Translator::MessageOperation message,
                     bool onlyWithoutRecords = false);
  SQLRETURN AppendConnectionDiagnostics();
  // Keeps the n bytes of SQL text given with length len (SQL_NTS or a
  // count) as the statement's text, logged when the handle logs.
  void TakeStatementText(const char* text, SQLINTEGER len, int n);
  // Result-set kind of MoreResults.
  SQLRETURN ParseResultSet(qvoAnswerCursor& in);
  // A server exception at the reader; always -1.
  SQLRETURN RecordServerException(const char* text, size_t textLen, const char* state);
  // Ends a result that cannot be read: the rest of the answer is dropped.
  SQLRETURN MalformedAnswer();
  // Drops the row pointer table (its storage stays for the next block).
  void FreePointerArray();
  // Indexes the rows of a fetch answer, which must hold exactly them; on
  // failure no rows remain. FetchFailed ends a fetch whose exchange failed.
  SQLRETURN IndexFetchedRows(char* rows, qvo_int64 length);
  SQLRETURN FetchFailed();
  // Aborts and drains an execution that still runs on the server.
  void DrainRunningExecution();
  // ODBC 2 autocommit option: sent to the session at once.
  SQLRETURN SetAutocommitOption(SQLPOINTER value);
  // A cancel asked to end the values being supplied at execution: they are
  // forgotten, and "Operation canceled." recorded; true then.
  bool EndCanceledDataAtExec();

  // The values of the current execution supplied at execution.
  qvoDataAtExecState dataAtExec;
  // The execution the application polls, and the function that started it
  // (Other: none).
  qvoRunningExecution running;
  qvoStmtFunction runningFunction = qvoStmtFunction::Other;
  // The application prepared the statement text (QVOPrepare): QVOExecute may
  // run it.
  bool preparedForExecute = false;
  qvoStatementDescriptors descriptors;
  qvoResultCursor resultCursor;
  char sqlCallType = 0;
  char stmtStatusText[260] = "Created";
  // Whether the last catalog identifier argument was quoted.
  bool quotesWereRemoved = true;

  // The answer of the last auxiliary request (close, abort, attributes).
  std::unique_ptr<char[]> auxAnswer;
  qvo_int64 auxAnswerLen = 0;
  bool auxiliaryExchange = false;
  // MoreResults reads the auxiliary answer (a request that the connection
  // makes through this statement).
  bool auxiliaryParse = false;
};
