// The steps of the handle functions that belong to the connection, statement
// and descriptor objects: QVOAllocHandle, QVOFreeHandle and QVOEndTran call
// them, and connections reach them through qvoHandleServices. A branch that
// is not built yet fails: it never reports success.
#pragma once

#include "handles/qvoCallFrame.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"

class qvoHandle;

// QVOAllocHandle; with qvoRecords::ByMethod the parent keeps its records (an
// allocation the library makes for itself).
QVO_INTERNAL SQLRETURN AllocHandleOf(SQLSMALLINT HandleType, SQLHANDLE InputHandle,
                                     SQLHANDLE* OutputHandle, qvoRecords records);

// QVOAllocHandle under a live parent whose type has already been checked
// (environment for a connection, connection for a statement or descriptor).
// The parent's lock is held. Each writes the new handle value (0 on failure)
// to *outputHandle and records its failures on the parent.
QVO_INTERNAL SQLRETURN AllocConnectionBranch(qvoHandle* environment, SQLHANDLE environmentHandle,
                                             SQLHANDLE* outputHandle);
QVO_INTERNAL SQLRETURN AllocStatementBranch(qvoHandle* connection, SQLHANDLE connectionHandle,
                                            SQLHANDLE* outputHandle);
QVO_INTERNAL SQLRETURN AllocDescriptorBranch(qvoHandle* connection, SQLHANDLE connectionHandle,
                                             SQLHANDLE* outputHandle);

// QVOFreeHandle of a live connection: frees its statements
// (qvoConnection::LooseSlaves), then the connection (_FreeDbc).
QVO_INTERNAL SQLRETURN FreeConnectionBranch(SQLHANDLE connectionHandle);
// QVOFreeHandle of a live descriptor. A statement's own descriptor goes only
// with its statement ("Invalid use of an automatically allocated descriptor
// handle." on the descriptor, -1); a descriptor of the application is freed
// after every statement that uses it has gone back to its own. Only the
// statements of the descriptor's connection can use it; they are held for the
// walk (the free waits for calls inside them to end).
QVO_INTERNAL SQLRETURN FreeDescriptorBranch(SQLHANDLE descriptorHandle);
// QVOFreeHandle of a live statement: InitStatement(QVO_INIT_RESET), then the statement,
// then its four automatic descriptors. 0 does nothing and gives 0. Calls of
// other threads inside the statement are waited for.
QVO_INTERNAL SQLRETURN _FreeStmt(SQLHANDLE statementHandle);

// The answer to a free or a disconnect of a handle that another thread frees
// or disconnects already while this call is inside it: "Function sequence
// error." (HY010) on the handle, -1.
QVO_INTERNAL SQLRETURN HandleInUse(qvoHandle& handle);

// qvoConnection::EndTran on a live connection (QVOEndTran).
QVO_INTERNAL SQLRETURN EndTranConnectionBranch(qvoHandle* connection, SQLSMALLINT completionType);
// Whether a live connection has a session (it was connected and not
// disconnected since): an environment's commit or rollback ends the
// transactions of those only.
QVO_INTERNAL bool ConnectionHasSessionBranch(qvoHandle* connection);
