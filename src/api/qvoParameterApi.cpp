// Exported parameter functions: binding, description, prepare and execute,
// data at execution.
// Each is the call frame around one statement method; the text of Prepare is
// converted to UTF-8 first, as that of ExecDirect.
#include "api/qvoStatementText.h"
#include "common/qvoArgStrings.h"
#include "handles/qvoCallFrame.h"
#include "platform/qvoConverter.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

extern "C" {

SQLRETURN QVOPrepare(SQLHSTMT StatementHandle, SQLCHAR* StatementText, SQLINTEGER TextLength) {
  aString text(reinterpret_cast<const char*>(StatementText), TextLength);
  return qvoCallWithText(StatementHandle, text, &qvoHandle::GetSqlConverter,
                         &qvoStatement::Prepare);
}

SQLRETURN QVOPrepareW(SQLHSTMT StatementHandle, SQLWCHAR* StatementText, SQLINTEGER TextLength) {
  wString text(StatementText, TextLength);
  return qvoCallWithText(StatementHandle, text, &qvoHandle::GetWcharSqlConverter,
                         &qvoStatement::Prepare);
}

SQLRETURN QVOExecute(SQLHSTMT StatementHandle) {
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::Cleared,
                     qvoStmtFunction::Execute>(StatementHandle, SQL_HANDLE_STMT,
                                               qvo_frame::NoConversion{}, [](qvoStatement& s) {
                                                 s.ClearColumnCache();
                                                 return s.ExecutePrepared();
                                               });
}

SQLRETURN QVOPrepareBatch(SQLHSTMT StatementHandle, const char* sqlString, SQLINTEGER sqlStrLen) {
  aString text(sqlString, sqlStrLen);
  return qvoCallWithText(StatementHandle, text, &qvoHandle::GetSqlConverter,
                         &qvoStatement::PrepareBatch);
}

SQLRETURN QVOPrepareBatchW(SQLHSTMT StatementHandle, const SQLWCHAR* sqlString,
                           SQLINTEGER sqlStrLen) {
  wString text(sqlString, sqlStrLen);
  return qvoCallWithText(StatementHandle, text, &qvoHandle::GetWcharSqlConverter,
                         &qvoStatement::PrepareBatch);
}

SQLRETURN QVOExecuteBatch(SQLHSTMT StatementHandle) {
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::Cleared,
                     qvoStmtFunction::ExecuteBatch>(StatementHandle, SQL_HANDLE_STMT,
                                                    qvo_frame::NoConversion{}, [](qvoStatement& s) {
                                                      s.ClearColumnCache();
                                                      return s.ExecuteBatch();
                                                    });
}

SQLRETURN QVOParamData(SQLHSTMT StatementHandle, SQLPOINTER* Value) {
  return qvoCall<qvoStatement, qvoStmtFunction::ParamData>(StatementHandle, SQL_HANDLE_STMT,
                                                           &qvoStatement::ParamData, Value);
}

SQLRETURN QVOPutData(SQLHSTMT StatementHandle, SQLPOINTER DataPtr, SQLLEN StrLen_or_Ind) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::PutData, DataPtr,
                               StrLen_or_Ind);
}

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
