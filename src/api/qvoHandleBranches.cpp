// Branches of the handle functions for connections, statements and
// descriptors: the steps that need those objects.
#include "api/qvoHandleBranches.h"

#include <memory>
#include <new>

#include "connection/qvoConnection.h"
#include "connection/qvoHandleServices.h"
#include "descriptors/qvoDescriptors.h"
#include "handles/qvoDiag.h"
#include "handles/qvoEnvironment.h"
#include "handles/qvoHandle.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoTranslator.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

namespace {

SQLRETURN LimitExceeded(qvoHandle* parent) {
  Translator* t = parent->GetTranslatorPtr();
  return parent->SetDiagRec(t->_Limit_on_the_number_of_handles_exceeded_CODE(), -1,
                            t->_Limit_on_the_number_of_handles_exceeded_MESSAGE());
}

// Gives back an entry whose object could not be made.
SQLRETURN AbandonEntry(qvoHandle* parent, SQLHANDLE* outputHandle) {
  {
    qvoMutex lock(cliHandleMutex);
    RemoveHandle(*outputHandle);
  }
  *outputHandle = SQL_NULL_HANDLE;
  Translator* t = parent->GetTranslatorPtr();
  return parent->SetDiagRec(t->_Memory_allocation_error_CODE(), -1,
                            t->_Memory_allocation_error_MESSAGE());
}

}  // namespace

SQLRETURN AllocConnectionBranch(qvoHandle* environment, SQLHANDLE environmentHandle,
                                SQLHANDLE* outputHandle) {
  *outputHandle = AddHandle(SQL_HANDLE_DBC, environmentHandle);
  if (*outputHandle == SQL_NULL_HANDLE) return LimitExceeded(environment);
  std::unique_ptr<qvoConnection> connection;
  try {
    connection = std::make_unique<qvoConnection>(static_cast<qvoEnvironment*>(environment));
  } catch (const std::bad_alloc&) {
    return AbandonEntry(environment, outputHandle);
  }
  // A connection without its converters, or whose converters cannot take
  // the environment's driver unicode type, would convert text with others.
  if (connection->GetAllocatingError() == SQL_ERROR) {
    environment->AppendDiagRecordsFrom(connection.get());
    connection.reset();
    qvoMutex lock(cliHandleMutex);
    RemoveHandle(*outputHandle);
    *outputHandle = SQL_NULL_HANDLE;
    return SQL_ERROR;
  }
  connection->SetMasterAndMyID(environment, *outputHandle);
  SetHandlePtr(*outputHandle, connection.release());
  return SQL_SUCCESS;
}

SQLRETURN AllocStatementBranch(qvoHandle* connection, SQLHANDLE, SQLHANDLE* outputHandle) {
  auto* conn = static_cast<qvoConnection*>(connection);
  *outputHandle = SQL_NULL_HANDLE;
  if (!conn->isConnected()) {
    Translator* t = conn->GetTranslatorPtr();
    return conn->SetDiagRec(t->_Database_server_not_connected_CODE(), -1,
                            t->_Database_server_not_connected_MESSAGE());
  }
  // The statement registers itself and its descriptors; the handle table
  // owns it from then on.
  auto statement = std::make_unique<qvoStatement>(conn, outputHandle);
  if (statement->GetStmtCreateStatus() > 0) {
    *outputHandle = SQL_NULL_HANDLE;
    return SQL_ERROR;  // the connection holds the diagnostic
  }
  // A statement that cannot take its connection's code pages would convert
  // text with others: it is freed again, its records go to the connection.
  if (statement->GetAllocatingError() == SQL_ERROR) {
    conn->AppendDiagRecordsFrom(statement.get());
    const SQLHANDLE made = *outputHandle;
    *outputHandle = SQL_NULL_HANDLE;
    SetHandlePtr(made, statement.release());
    _FreeStmt(made);
    return SQL_ERROR;
  }
  {
    // The server's limit is a setting its answers change (see settingsMutex).
    qvoMutex settings(conn->settingsMutex);
    statement->SetMaxIdentifierLength(conn->GetMaxIdentifierLength());
  }
  statement->SetMaxIdentifierLengthInDescriptors();
  // Calls find the statement only now that it is built.
  SetHandlePtr(*outputHandle, statement.release());
  return SQL_SUCCESS;
}

SQLRETURN AllocDescriptorBranch(qvoHandle* connection, SQLHANDLE connectionHandle,
                                SQLHANDLE* outputHandle) {
  auto* conn = static_cast<qvoConnection*>(connection);
  *outputHandle = SQL_NULL_HANDLE;
  if (!conn->isConnected()) {
    Translator* t = conn->GetTranslatorPtr();
    return conn->SetDiagRec(t->_Database_server_not_connected_CODE(), -1,
                            t->_Database_server_not_connected_MESSAGE());
  }
  *outputHandle = AddHandle(SQL_HANDLE_DESC, connectionHandle);
  if (*outputHandle == SQL_NULL_HANDLE) return LimitExceeded(conn);
  std::unique_ptr<cliDescriptor> descriptor;
  try {
    descriptor = std::make_unique<cliDescriptor>(SQL_DESC_ALLOC_USER, QVO_DESC_USER,
                                                 conn->GetTranslatorPtr());
    // Its own Translator in the connection's language, which keeps its own.
    descriptor->SetTranslatorLangCode(conn->GetTranslatorLangCode());
  } catch (const std::bad_alloc&) {
    return AbandonEntry(conn, outputHandle);
  }
  descriptor->SetMasterAndMyID(conn, *outputHandle);
  {
    qvoMutex settings(conn->settingsMutex);
    descriptor->maxVarcharLength = conn->maxVarcharLength;
    descriptor->SetMaxIdentifierLength(conn->GetMaxIdentifierLength());
  }
  SetHandlePtr(*outputHandle, descriptor.release());
  return SQL_SUCCESS;
}

SQLRETURN HandleInUse(qvoHandle& handle) {
  handle.ClearDiagRecords();
  return QVO_DIAG(&handle, _Function_sequence_error_, -1);
}

SQLRETURN FreeConnectionBranch(SQLHANDLE connectionHandle) {
  qvoHandleClose close;
  auto* conn = static_cast<qvoConnection*>(GetHandlePtr(connectionHandle));
  if (conn == nullptr) return SQL_INVALID_HANDLE;
  if (!close.Begin(connectionHandle)) return HandleInUse(*conn);
  conn->LooseSlaves();
  _FreeDbc(connectionHandle);
  return SQL_SUCCESS;
}

namespace {

// Puts every statement of the set that uses the descriptor back on its own.
void ReleaseDescriptorFrom(const std::vector<SQLHANDLE>& statements,
                           const cliDescriptor* descriptor) {
  for (SQLHANDLE h : statements) {
    // The value names a statement still: the walk holds every statement of
    // the connection, so none is freed and no value is handed out again.
    auto* statement = static_cast<qvoStatement*>(GetLiveObject(h, SQL_HANDLE_STMT));
    if (statement == nullptr) continue;
    statement->ReleaseDescriptor(descriptor);
  }
}

}  // namespace

SQLRETURN FreeDescriptorBranch(SQLHANDLE descriptorHandle) {
  qvoHandleClose close;
  auto* descriptor = static_cast<cliDescriptor*>(GetHandlePtr(descriptorHandle));
  if (descriptor == nullptr) return SQL_INVALID_HANDLE;
  // Freeing a statement's own descriptor would leave the statement with a
  // dangling descriptor and a handle value that a new handle may take.
  const SQLHANDLE master = GetMasterOfCliHandle(descriptorHandle);
  if (descriptor->header.allocType != SQL_DESC_ALLOC_USER &&
      IsQVOHandle(master) == SQL_HANDLE_STMT) {
    Translator* t = descriptor->GetTranslatorPtr();
    return descriptor->SetDiagRec(
        t->_Invalid_use_of_an_automatically_allocated_descriptor_handle_CODE(), -1,
        t->_Invalid_use_of_an_automatically_allocated_descriptor_handle_MESSAGE());
  }
  if (!close.Begin(descriptorHandle)) return HandleInUse(*descriptor);
  // Only statements of the same connection take the descriptor. They are
  // held for the walk (after the calls inside them), so that none reads the
  // descriptor while it goes; a statement made after the list cannot take it
  // any more. Ascending order, as every free takes them.
  std::vector<SQLHANDLE> statements;
  if (IsQVOHandle(master) == SQL_HANDLE_DBC) statements = HandlesOfMaster(master, SQL_HANDLE_STMT);
  std::vector<qvoHandleClose> held;
  held.reserve(statements.size());
  for (SQLHANDLE h : statements) {
    held.emplace_back();
    if (!held.back().Begin(h)) return HandleInUse(*descriptor);
  }
  ReleaseDescriptorFrom(statements, descriptor);
  _FreeDesc(descriptorHandle);
  return SQL_SUCCESS;
}

SQLRETURN _FreeStmt(SQLHANDLE statementHandle) {
  if (statementHandle == SQL_NULL_HANDLE) return SQL_SUCCESS;
  qvoHandleClose close;
  auto* statement = static_cast<qvoStatement*>(GetLiveObject(statementHandle, SQL_HANDLE_STMT));
  if (statement == nullptr) return SQL_ERROR;
  if (!close.Begin(statementHandle)) return HandleInUse(*statement);
  const SQLRETURN rc = statement->InitStatement(QVO_INIT_RESET);
  if (rc == SQL_ERROR) return SQL_ERROR;
  // Only the statement's own descriptors go with it; one the application
  // allocated and set on it stays allocated.
  const SQLHANDLE own[] = {statement->Descriptors().auto_idARD, statement->Descriptors().auto_idIRD,
                           statement->Descriptors().auto_idAPD,
                           statement->Descriptors().auto_idIPD};
  FreeObjectAndEntry(statementHandle);
  for (SQLHANDLE d : own) _FreeDesc(d);
  return rc;
}

SQLRETURN EndTranConnectionBranch(qvoHandle* connection, SQLSMALLINT completionType) {
  return static_cast<qvoConnection*>(connection)->EndTran(completionType);
}

bool ConnectionHasSessionBranch(qvoHandle* connection) {
  return static_cast<qvoConnection*>(connection)->HasSession();
}

namespace {

SQLRETURN AllocStatementService(SQLHANDLE connection, SQLHANDLE* statement) {
  // The connect's records stay on the connection.
  return AllocHandleOf(SQL_HANDLE_STMT, connection, statement, qvoRecords::ByMethod);
}

SQLRETURN ExecDirectService(SQLHANDLE statement, const char* sqlText) {
  return QVOExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sqlText)), SQL_NTS);
}

SQLRETURN LoadInfoValuesService(qvoConnection& connection) { return connection.GetInfoValues(); }

constexpr qvoHandleServices kServices = {AllocStatementService, ExecDirectService, _FreeStmt,
                                         FreeDescriptorBranch, LoadInfoValuesService};

// Connections reach the statements and descriptors under them through these
// from the moment the library is loaded.
[[maybe_unused]] const bool servicesInstalled = (InstallHandleServices(&kServices), true);

}  // namespace
