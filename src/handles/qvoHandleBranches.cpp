// Branches of the handle functions for connections, statements and
// descriptors. Until the connection, statement and descriptor objects exist,
// each branch refuses: an allocation records "Optional feature not
// implemented." on its parent and gives -1 with the output handle 0.
#include "handles/qvoHandleBranches.h"

#include "handles/qvoHandle.h"
#include "messages/qvoTranslator.h"

namespace {

SQLRETURN NotBuilt(qvoHandle* parent, SQLHANDLE* outputHandle) {
  if (outputHandle) *outputHandle = SQL_NULL_HANDLE;
  Translator* t = parent->GetTranslatorPtr();
  return parent->SetDiagRec(t->_Optional_feature_not_implemented_CODE(), -1,
                            t->_Optional_feature_not_implemented_MESSAGE());
}

}  // namespace

SQLRETURN AllocConnectionBranch(qvoHandle* environment, SQLHANDLE, SQLHANDLE* outputHandle) {
  return NotBuilt(environment, outputHandle);
}

SQLRETURN AllocStatementBranch(qvoHandle* connection, SQLHANDLE, SQLHANDLE* outputHandle) {
  return NotBuilt(connection, outputHandle);
}

SQLRETURN AllocDescriptorBranch(qvoHandle* connection, SQLHANDLE, SQLHANDLE* outputHandle) {
  return NotBuilt(connection, outputHandle);
}

SQLRETURN FreeConnectionBranch(SQLHANDLE) { return SQL_ERROR; }

SQLRETURN _FreeStmt(SQLHANDLE statementHandle) {
  return statementHandle == SQL_NULL_HANDLE ? SQL_SUCCESS : SQL_ERROR;
}

SQLRETURN EndTranConnectionBranch(qvoHandle* connection, SQLSMALLINT) {
  Translator* t = connection->GetTranslatorPtr();
  return connection->SetDiagRec(t->_Optional_feature_not_implemented_CODE(), -1,
                                t->_Optional_feature_not_implemented_MESSAGE());
}

const char* ConnectionServerNameBranch(qvoHandle*) { return ""; }

SQLRETURN StatementRowCountBranch(qvoHandle*, SQLLEN*) { return SQL_ERROR; }

bool SetAppWcharTypeBranch(qvoHandle*, int) { return false; }
