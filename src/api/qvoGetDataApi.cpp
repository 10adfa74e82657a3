// Single-value retrieval.
#include "handles/qvoCallFrame.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

SQLRETURN QVOGetData(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType,
                     SQLPOINTER TargetValue, SQLLEN BufferLength, SQLLEN* StrLen_or_Ind) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::GetData,
                               ColumnNumber, TargetType, TargetValue, BufferLength, StrLen_or_Ind);
}
