// Exported functions of parallel mode and of describing and closing server
// result sets by handle.
#include "handles/qvoCallFrame.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

extern "C" {

SQLRETURN QVOEnterParallel(SQLHSTMT StatementHandle, SQLINTEGER nConnections,
                           SQLINTEGER* nConnectionsPtr, ConnectionStru** ConnectionPtr,
                           SQLBIGINT* TokenPtr) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::EnterParallel,
                               nConnections, nConnectionsPtr, ConnectionPtr, TokenPtr);
}

SQLRETURN QVOGetHostnames(SQLHSTMT StatementHandle, SQLINTEGER* nHostsPtr,
                          ConnectionStru** ConnectionPtr) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::GetHostnames,
                               nHostsPtr, ConnectionPtr);
}

SQLRETURN QVOGetSlaveOffset(SQLHSTMT StatementHandle, SQLBIGINT* slaveOffset) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::GetSlaveOffset,
                               slaveOffset);
}

SQLRETURN QVOExecuteDescRes(SQLHSTMT StatementHandle, SQLINTEGER handle) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::ExecuteDescRes,
                               handle);
}

SQLRETURN QVOExecuteCloseRes(SQLHSTMT StatementHandle) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::ExecuteCloseRes);
}

}  // extern "C"
