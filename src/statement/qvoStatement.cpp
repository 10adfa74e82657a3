// Construction, reset and release of statements, the cursor-level operations
// and the small accessors.
#include "statement/qvoStatement.h"

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "common/qvoStrings.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoProtocolVersion.h"

namespace {

// Which statement of a connection executes asynchronously: the next answer
// on that connection is that statement's, so nobody else may send.
std::mutex executingMutex;
std::unordered_map<const qvoConnection*, const qvoStatement*>& ExecutingStatements() {
  static std::unordered_map<const qvoConnection*, const qvoStatement*> map;
  return map;
}

SQLPOINTER AsPointer(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

char LocaleDecimalSeparator() {
  const struct lconv* lc = std::localeconv();
  if (lc && lc->decimal_point && lc->decimal_point[0]) return lc->decimal_point[0];
  char text[32];
  std::snprintf(text, sizeof text, "%G", 0.1);
  return text[1];
}

}  // namespace

// --- construction -------------------------------------------------------------------

qvoStatement::qvoStatement(qvoConnection* conn, SQLHANDLE* outputHandle) : connection(conn) {
  if (outputHandle) *outputHandle = SQL_NULL_HANDLE;
  handleType = SQL_HANDLE_STMT;
  SetMaxIdentifierLength(128);
  CreateConverters();
  decSeparator = LocaleDecimalSeparator();
  InitStatement(QVO_INIT_RESET);
  TakeConnectionSettings(*conn);
  SetTranslatorLangCode(conn->GetTranslatorLangCode());

  // Registration: the statement, then its ARD, APD, IRD and IPD.
  const SQLHANDLE self = AddHandle(SQL_HANDLE_STMT, conn->GetHandleID());
  if (self == SQL_NULL_HANDLE) {
    ++stmtWasErrorCreating;
    QVO_DIAG(conn, _Limit_on_the_number_of_handles_exceeded_, -1);
    return;
  }
  // The object is stored by the allocation once it is built: until then no
  // call finds it.
  SetMasterAndMyID(conn, self);
  {
    qvoMutex settings(conn->settingsMutex);
    SetLogFile(conn->logFull, conn->logDebugComm, conn->logFile, conn->GetLogFileName(),
               conn->logFileMutex, conn->logFileLines);
  }
  if (logFull) Log("qvoStatement::qvoStatement()\n");

  // Gives back everything registered so far; the statement stays unusable.
  auto abandon = [&] {
    qvoMutex lock(cliHandleMutex);
    for (SQLPOINTER id : {descriptors.auto_idAPD, descriptors.auto_idARD, descriptors.auto_idIPD,
                          descriptors.auto_idIRD}) {
      if (id == nullptr) continue;
      delete GetHandlePtr(id);
      RemoveHandle(id);
    }
    descriptors.Clear();
    RemoveHandle(self);
    ++stmtWasErrorCreating;
    QVO_DIAG(conn, _Limit_on_the_number_of_handles_exceeded_, -1);
  };
  for (SQLSMALLINT kind : {QVO_DESC_ARD, QVO_DESC_APD, QVO_DESC_IRD, QVO_DESC_IPD}) {
    const SQLHANDLE h = AddHandle(SQL_HANDLE_DESC, self);
    if (h == SQL_NULL_HANDLE) {
      abandon();
      return;
    }
    // The handle table owns the descriptor; _FreeDesc deletes it.
    std::unique_ptr<cliDescriptor> desc;
    try {
      desc = std::make_unique<cliDescriptor>(SQL_DESC_ALLOC_AUTO, kind, translate);
    } catch (const std::bad_alloc&) {
      // No entry may be left pointing at a statement that is not there.
      RemoveHandle(h);
      abandon();
      return;
    }
    // A descriptor only stores the type: the statement's own result stands.
    desc->SetDriverUnicodeType(GetDriverUnicodeType(), this);
    desc->SetMasterAndMyID(this, h);
    desc->maxVarcharLength = maxVarcharLength;
    SetHandlePtr(h, desc.get());
    AutoAllocatedDescriptor(kind, desc.release(), h);
  }

  SetStatusText("Created");
  if (outputHandle) *outputHandle = self;
}

// The connection's settings as they stand, taken whole while no other
// thread changes them (they change under its settings lock).
void qvoStatement::TakeConnectionSettings(qvoConnection& conn) {
  qvoMutex settings(conn.settingsMutex);
  allocatingError = SetDriverUnicodeType(conn.GetDriverUnicodeType(), &conn);
  const connectionAttr& ca = conn.connAttr;
  maxVarcharLength = static_cast<SQLUINTEGER>(conn.maxVarcharLength);
  maxVarcharOctetLength = 4 * maxVarcharLength;
  if (ca.alwaysSearchPatternsInCat) std::snprintf(ordinaryArgumentPredicate, 7, " LIKE ");
  protocolVersion = conn.GetProtocolVersion();
  stmtAttr.asyncEnable = ca.asyncEnable;
  stmtAttr.showOnlyCurrentSchema = ca.showOnlyCurrentSchema;
  stmtAttr.stringsNotNull = ca.stringsNotNull;
  qvoCopyStr(stmtAttr.wordForTrue, ca.wordForTrue, SQL_NTS, sizeof stmtAttr.wordForTrue, SQL_NTS);
  qvoCopyStr(stmtAttr.wordForFalse, ca.wordForFalse, SQL_NTS, sizeof stmtAttr.wordForFalse,
             SQL_NTS);
  stmtAttr.maxParamSize = ca.maxParamSize;
  stmtAttr.characterDisplaySize = ca.characterDisplaySize;
  stmtAttr.timestampPrecision = static_cast<SQLUINTEGER>(conn.GetDateTimePrecision());
  stmtAttr.maxRows = ca.maxRows;
  stmtAttr.prepareSuccess = ca.prepareSuccess;
  stmtAttr.attrOutputNTS = ca.attrOutputNTS;
  stmtAttr.metadataID = ca.metadataID;
}

qvoStatement::~qvoStatement() {
  if (logFull) Log("qvoStatement::~qvoStatement()\n");
  if (GetNumRecords() > 0) ClearDiagRecords();
  columnCache.reset();
  std::lock_guard lock(executingMutex);
  auto& map = ExecutingStatements();
  auto it = map.find(connection);
  if (it != map.end() && it->second == this) map.erase(it);
}

SQLRETURN qvoStatement::AutoAllocatedDescriptor(SQLINTEGER kind, cliDescriptor* desc,
                                                SQLHANDLE handle) {
  descriptors.Adopt(kind, desc, handle);
  return SQL_SUCCESS;
}

void qvoStatement::UseDescriptor(SQLINTEGER kind, cliDescriptor* desc, SQLPOINTER handle) {
  descriptors.Use(kind, desc, handle);
}

void qvoStatement::ReleaseDescriptor(const cliDescriptor* desc) {
  if (descriptors.Release(desc)) BindingWasChanged();
}

void qvoStatement::SetStatusText(const char* text) {
  std::snprintf(stmtStatusText, sizeof stmtStatusText, "%s", text);
}

void qvoStatement::SetMaxIdentifierLength(int mil) {
  maxIdentifierLength = mil < 40 ? 40 : mil;
  maxIdentifierOctetLength = 4 * maxIdentifierLength;
}

void qvoStatement::SetMaxIdentifierLengthInDescriptors() {
  for (cliDescriptor* d : {APD(), IPD(), ARD(), IRD()})
    if (d) d->SetMaxIdentifierLength(maxIdentifierLength);
}

SQLRETURN qvoStatement::SetPreparedParamcount(int n) {
  if (IPD() && n < IPD()->header.count)
    return IPD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(n), 0);
  return SQL_SUCCESS;
}

// --- asynchronous execution bookkeeping ------------------------------------------------

bool qvoStatement::ConnectionBusyWithOther() const {
  std::lock_guard lock(executingMutex);
  auto& map = ExecutingStatements();
  auto it = map.find(connection);
  return it != map.end() && it->second != this;
}

bool qvoStatement::ConnectionRunsExecution() const {
  std::lock_guard lock(executingMutex);
  return ExecutingStatements().count(connection) != 0;
}

bool qvoStatement::AsyncExecutionPending() const {
  return RunningAsynchronously() ||
         (protocolVersion >= kAsyncProtocol && stmtAttr.asyncEnable == 1 &&
          resultHandle == QVO_RESULT_STILL_EXECUTING);
}

SQLRETURN qvoStatement::RefuseWhileExecuting() {
  ClearDiagRecords();
  return SetDiagRec("HY010", -1, "Function sequence error");
}

void qvoStatement::NoteCallEnded(qvoStmtFunction function, SQLRETURN rc) {
  if (resultHandle != QVO_RESULT_STILL_EXECUTING) {
    runningFunction = qvoStmtFunction::Other;
    return;
  }
  // Only a function whose execution the application polls leaves one
  // running; a call refused meanwhile left it as it was.
  if (rc == SQL_STILL_EXECUTING && function > qvoStmtFunction::Reader) runningFunction = function;
}

void qvoStatement::NoteExecutionState() {
  std::lock_guard lock(executingMutex);
  auto& map = ExecutingStatements();
  if (resultHandle == QVO_RESULT_STILL_EXECUTING) {
    map[connection] = this;
    return;
  }
  auto it = map.find(connection);
  if (it != map.end() && it->second == this) map.erase(it);
}

// --- reset ------------------------------------------------------------------------------

void qvoStatement::FreePointerArray() { resultCursor.FreePointerArray(); }

SQLRETURN qvoStatement::InitStatement(SQLUSMALLINT level) {
  if (logFull) Log("qvoStatement::InitStatement(%i)\n", level);

  dataAtExec.Drop();
  running = {};

  executionStatus.clear();
  extendedFetchMapping = 0;
  resultCursor.Piecewise().stringBuffer.reset();
  resultCursor.Piecewise().stringBufferSize = 0;
  // Node arrays handed out by the parallel calls end here.
  slaveConnections = {};

  CloseResults();
  resultCursor.SetSqlRowCount(0);

  SQLRETURN rc = SQL_SUCCESS;
  if (level >= QVO_INIT_CLOSE_PREPARED) {
    preparedForExecute = false;
    if (preparedHandle >= 0) {
      rc = ExecuteClosePrepared();
      __diagRecords* first = GetDiagRecPtr(1);
      if (rc == SQL_ERROR && first && std::strcmp(first->diagSQLState, "42000") == 0)
        rc = SQL_SUCCESS;
    }
    preparedHandle = -2;
    preparedBuffer.reset();
    preparedBufferLen = preparedBufferSize = 0;
    preparedHeaderLen = 0;
    oldParamNum = paramNum = paramStart = 0;
  }

  resultCursor.Reset();
  slaveConnections.clear();
  resultHandle = QVO_RESULT_NONE;
  numResultSets = 0;
  stmtStringLength = 0;
  token = 0;
  batchList.clear();
  nBatches = 0;
  if (IRD() && IRD()->header.count > 0) IRD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(0), 0);
  NoteExecutionState();
  return rc;
}

void qvoStatement::CloseResults() {
  // Skip what is left of the answer: results and server errors alike, each
  // result set the server keeps closed as it is passed. An execution that
  // still runs is aborted and read to its end first, so that its answers
  // never reach another request of the connection.
  constexpr int kMaxDrain = 1000001;
  for (int i = 0; i < kMaxDrain; ++i) {
    if (resultHandle == QVO_RESULT_STILL_EXECUTING) {
      DrainRunningExecution();
      if (resultHandle == QVO_RESULT_STILL_EXECUTING) break;  // the connection failed
      continue;
    }
    const SQLRETURN rc = MoreResults();
    if (rc == SQL_STILL_EXECUTING) continue;
    if (rc != SQL_SUCCESS && resultHandle != QVO_RESULT_EXCEPTION) break;
  }
  // What the skipped results recorded belongs to no call.
  ClearDiagRecords();
}

// --- cursor-level operations ---------------------------------------------------------------

SQLRETURN qvoStatement::CloseCursor() {
  const bool noRecords = IPD()->header.count == 0 && IRD()->header.count == 0 &&
                         APD()->header.count == 0 && ARD()->header.count == 0;
  if (resultHandle < 0 && resultHandle != QVO_RESULT_SMALL && noRecords)
    return QVO_DIAG(this, _Invalid_cursor_state_, -1);
  InitStatement(QVO_INIT_CLOSE_CURSOR);
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::FreeStmt(SQLUSMALLINT option) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  switch (option) {
    case SQL_CLOSE:
      sqlCallType = 0;
      return InitStatement(QVO_INIT_CLOSE_CURSOR);
    case SQL_DROP:
      return SQL_SUCCESS;
    case SQL_UNBIND:
      ARD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(0), 0);
      using_QVO_VARCHAR_PTR = false;
      return SQL_SUCCESS;
    case SQL_RESET_PARAMS:
      APD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(0), 0);
      return SQL_SUCCESS;
    default:
      return QVO_DIAG(this, _Option_type_out_of_range_, -1);
  }
}

SQLRETURN qvoStatement::SetPos(SQLBIGINT row, SQLUSMALLINT operation, SQLUSMALLINT) {
  if (operation != SQL_POSITION)
    return QVO_DIAG(this, _Driver_does_not_support_operation_, operation);
  // No current rowset: none fetched yet, the cursor back before the first
  // row (a new result, a scroll that fetched nothing), the last fetch found
  // no rows, or the cursor closed.
  if (resultCursor.RowsetRows() == 0) return QVO_DIAG(this, _Invalid_cursor_state_, -1);
  // Row 1 is the first row of the current rowset, wherever the received
  // block starts; the next fetch still goes on after the rowset.
  if (resultCursor.SelectRowsetRow(row)) {
    // GetData starts every column of the row chosen afresh.
    resultCursor.Piecewise().Restart();
    return SQL_SUCCESS;
  }
  return QVO_DIAG(this, _Invalid_cursor_position_, -1);
}

SQLRETURN qvoStatement::BulkOperations(SQLUSMALLINT operation) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  switch (operation) {
    case SQL_ADD:
      return SQL_SUCCESS;
    case SQL_UPDATE_BY_BOOKMARK:
    case SQL_DELETE_BY_BOOKMARK:
    case SQL_FETCH_BY_BOOKMARK:
      return QVO_DIAG(this, _Driver_does_not_support_this_function_, -1);
    default:
      return QVO_DIAG(this, _Option_type_out_of_range_, -1);
  }
}

SQLSMALLINT qvoStatement::GetNumBoundParams() {
  SQLSMALLINT n = 0;
  for (int i = 1; i <= APD()->header.count; ++i) {
    const __cliDescriptorRecords* r = APD()->GetRecord(static_cast<SQLSMALLINT>(i));
    if (r && (r->dataPtr || r->octetLengthPtr)) ++n;
  }
  return n;
}

SQLSMALLINT qvoStatement::GetNumBoundColumns() {
  SQLSMALLINT n = 0;
  for (int i = 1; i <= ARD()->header.count; ++i) {
    const __cliDescriptorRecords* r = ARD()->GetRecord(static_cast<SQLSMALLINT>(i));
    if (r && (r->dataPtr || r->octetLengthPtr)) ++n;
  }
  return n;
}

// --- diagnostics of requests ----------------------------------------------------------------

SQLRETURN qvoStatement::AppendConnectionDiagnostics() {
  if (connection && connection->GetNumRecords() > 0) {
    AppendDiagRecordsFrom(connection);
    connection->ClearDiagRecords();
  }
  return SQL_ERROR;
}

SQLRETURN qvoStatement::FailWith(Translator::CodeOperation code,
                                 Translator::MessageOperation message, bool onlyWithoutRecords) {
  if (!onlyWithoutRecords || GetNumRecords() == 0) AppendConnectionDiagnostics();
  if (GetNumRecords() == 0) SetDiagRec((translate->*code)(), -1, (translate->*message)());
  return SQL_ERROR;
}
