// Exported parameter functions: binding and description. Each is the call
// frame around one statement method.
#include "handles/qvoCallFrame.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

extern "C" {

SQLRETURN QVOBindParameter(SQLHSTMT StatementHandle, SQLSMALLINT ParameterNumber,
                           SQLSMALLINT InputOutputType, SQLSMALLINT ValueType,
                           SQLSMALLINT ParameterType, SQLULEN ColumnSize, SQLSMALLINT DecimalDigits,
                           SQLPOINTER ParameterValuePtr, SQLLEN BufferLength,
                           SQLLEN* StrLen_or_IndPtr) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::BindParameter,
                               ParameterNumber, InputOutputType, ValueType, ParameterType,
                               ColumnSize, DecimalDigits, ParameterValuePtr, BufferLength,
                               StrLen_or_IndPtr);
}

SQLRETURN QVONumParams(SQLHSTMT StatementHandle, SQLSMALLINT* ParameterCountPtr) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::NumParams,
                               ParameterCountPtr);
}

SQLRETURN QVODescribeParam(SQLHSTMT StatementHandle, SQLSMALLINT ParameterNumber,
                           SQLSMALLINT* DataTypePtr, SQLULEN* ParameterSizePtr,
                           SQLSMALLINT* DecimalDigitsPtr, SQLSMALLINT* NullablePtr) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::DescribeParam,
                               ParameterNumber, DataTypePtr, ParameterSizePtr, DecimalDigitsPtr,
                               NullablePtr);
}

}  // extern "C"
