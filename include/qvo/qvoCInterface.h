/* The exported C interface of libqvocli: ODBC-shaped functions named QVO plus
 * the ODBC name. Text functions come in a narrow form (application code set)
 * and a W form (SQLWCHAR, UTF-16 in host order). */
#ifndef QVO_CINTERFACE_H
#define QVO_CINTERFACE_H

#include "qvoAttributes.h"
#include "qvoDefs.h"

#if defined(__GNUC__)
#define QVO_EXPORT __attribute__((visibility("default")))
#else
#define QVO_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Handles, environment, transactions (handle values are small integers). */
QVO_EXPORT SQLRETURN QVOAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle,
                                    SQLHANDLE* OutputHandle);
QVO_EXPORT SQLRETURN QVOFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle);
QVO_EXPORT SQLRETURN QVOEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                SQLSMALLINT CompletionType);
QVO_EXPORT SQLRETURN QVOSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                   SQLPOINTER Value, SQLINTEGER StringLength);
QVO_EXPORT SQLRETURN QVOGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                   SQLPOINTER Value, SQLINTEGER BufferLength,
                                   SQLINTEGER* StringLength);
/* Writes "VERSION=5.0.17 REVISION=..." into a buffer of 128 bytes; 0. */
QVO_EXPORT int CLIDllVersion(char* buffer);

/* Diagnostics. Narrow text lengths are bytes; QVOGetDiagRecW counts SQLWCHAR
 * units, QVOGetDiagFieldW bytes. */
QVO_EXPORT SQLRETURN QVOGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                                   SQLCHAR* SQLState, SQLINTEGER* NativeError, SQLCHAR* MessageText,
                                   SQLSMALLINT BufferLength, SQLSMALLINT* TextLength);
QVO_EXPORT SQLRETURN QVOGetDiagRecW(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                                    SQLWCHAR* SQLState, SQLINTEGER* NativeError,
                                    SQLWCHAR* MessageText, SQLSMALLINT BufferLength,
                                    SQLSMALLINT* TextLength);
QVO_EXPORT SQLRETURN QVOGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                     SQLSMALLINT RecNumber, SQLSMALLINT DiagIdentifier,
                                     SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                     SQLSMALLINT* StringLength);
QVO_EXPORT SQLRETURN QVOGetDiagFieldW(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                      SQLSMALLINT RecNumber, SQLSMALLINT DiagIdentifier,
                                      SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                      SQLSMALLINT* StringLength);

/* Descriptors. Integer fields travel in Value itself; SQLLEN/SQLULEN and
 * pointer fields have their full width. Text lengths are bytes, except the
 * Name buffer of QVOGetDescRecW, which counts SQLWCHAR units. */
QVO_EXPORT SQLRETURN QVOCopyDesc(SQLHDESC SourceDescHandle, SQLHDESC TargetDescHandle);
QVO_EXPORT SQLRETURN QVOSetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                     SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                     SQLINTEGER BufferLength);
QVO_EXPORT SQLRETURN QVOSetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                      SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                      SQLINTEGER BufferLength);
QVO_EXPORT SQLRETURN QVOGetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                     SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                     SQLINTEGER BufferLength, SQLINTEGER* StringLength);
QVO_EXPORT SQLRETURN QVOGetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                      SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                      SQLINTEGER BufferLength, SQLINTEGER* StringLength);
QVO_EXPORT SQLRETURN QVOGetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber, SQLCHAR* Name,
                                   SQLSMALLINT BufferLength, SQLSMALLINT* StringLength,
                                   SQLSMALLINT* Type, SQLSMALLINT* SubType, SQLLEN* Length,
                                   SQLSMALLINT* Precision, SQLSMALLINT* Scale,
                                   SQLSMALLINT* Nullable);
QVO_EXPORT SQLRETURN QVOGetDescRecW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                    SQLWCHAR* Name, SQLSMALLINT BufferLength,
                                    SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                                    SQLSMALLINT* SubType, SQLLEN* Length, SQLSMALLINT* Precision,
                                    SQLSMALLINT* Scale, SQLSMALLINT* Nullable);
QVO_EXPORT SQLRETURN QVOSetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                   SQLSMALLINT Type, SQLSMALLINT SubType, SQLLEN Length,
                                   SQLSMALLINT Precision, SQLSMALLINT Scale, SQLPOINTER Data,
                                   SQLLEN* StringLength, SQLLEN* Indicator);

/* Connecting. ServerHost is a host list ("host1..3:8563,node7") or "//" and
 * the name of a file holding one; Port is the default port. Lengths are bytes
 * (narrow) or SQLWCHAR units (wide), -3 for zero-terminated. */
QVO_EXPORT SQLRETURN QVOServerConnect(SQLHDBC ConnectionHandle, const char* ServerHost,
                                      SQLINTEGER ServerHostLen, const char* Port,
                                      SQLINTEGER PortStrLen, const char* UserName,
                                      SQLSMALLINT UserNameLength, const char* Password,
                                      SQLSMALLINT PasswordLength);
QVO_EXPORT SQLRETURN QVOServerConnectW(SQLHDBC ConnectionHandle, const SQLWCHAR* ServerHost,
                                       SQLINTEGER ServerHostLen, const SQLWCHAR* Port,
                                       SQLINTEGER PortStrLen, const SQLWCHAR* UserName,
                                       SQLSMALLINT UserNameLength, const SQLWCHAR* Password,
                                       SQLSMALLINT PasswordLength);
/* A parallel slave session to one node, logged in with the parallel token;
 * ending a session frees the connection's statements and the descriptors
 * allocated under it. */
QVO_EXPORT SQLRETURN QVOSlaveConnect(SQLHDBC ConnectionHandle, char* ServerHost,
                                     SQLINTEGER ServerHostLen, char* Port, SQLINTEGER PortStrLen,
                                     SQLBIGINT SlaveToken);
QVO_EXPORT SQLRETURN QVODisconnect(SQLHDBC ConnectionHandle);
/* Connection attributes, ODBC and private. An integer value is ValuePtr
 * itself; a text value's length counts bytes, in the W forms too (-3 for
 * zero-terminated). Text results are cut to BufferLength bytes and always
 * terminated; StringLength receives the whole text's length. */
QVO_EXPORT SQLRETURN QVOSetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                       SQLPOINTER ValuePtr, SQLINTEGER StringLength);
QVO_EXPORT SQLRETURN QVOSetConnectAttrW(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                        SQLPOINTER ValuePtr, SQLINTEGER StringLength);
QVO_EXPORT SQLRETURN QVOGetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                       SQLPOINTER Value, SQLINTEGER BufferLength,
                                       SQLINTEGER* StringLength);
QVO_EXPORT SQLRETURN QVOGetConnectAttrW(SQLHDBC ConnectionHandle, SQLINTEGER Attribute,
                                        SQLPOINTER Value, SQLINTEGER BufferLength,
                                        SQLINTEGER* StringLength);

/* Statements. Text lengths are bytes (narrow) or SQLWCHAR units (wide), -3
 * for zero-terminated; the string attributes of QVOSetStmtAttrW and
 * QVOGetStmtAttrW count bytes. */
QVO_EXPORT SQLRETURN QVOExecDirect(SQLHSTMT StatementHandle, SQLCHAR* StatementText,
                                   SQLINTEGER TextLength);
QVO_EXPORT SQLRETURN QVOExecDirectW(SQLHSTMT StatementHandle, SQLWCHAR* StatementText,
                                    SQLINTEGER TextLength);
QVO_EXPORT SQLRETURN QVORowCount(SQLHSTMT StatementHandle, SQLLEN* RowCountPtr);
QVO_EXPORT SQLRETURN QVOMoreResults(SQLHSTMT StatementHandle);
QVO_EXPORT SQLRETURN QVOCancel(SQLHSTMT StatementHandle);
QVO_EXPORT SQLRETURN QVOFreeStmt(SQLHSTMT StatementHandle, SQLSMALLINT Option);
QVO_EXPORT SQLRETURN QVOCloseCursor(SQLHSTMT StatementHandle);
QVO_EXPORT SQLRETURN QVOSetPos(SQLHSTMT StatementHandle, SQLBIGINT RowNumber, SQLSMALLINT Operation,
                               SQLSMALLINT LockType);
QVO_EXPORT SQLRETURN QVOBulkOperations(SQLHSTMT StatementHandle, SQLSMALLINT Operation);
QVO_EXPORT SQLRETURN QVOSetCursorName(SQLHSTMT StatementHandle, SQLCHAR* CursorName,
                                      SQLSMALLINT NameLength);
QVO_EXPORT SQLRETURN QVOSetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                    SQLPOINTER ValuePtr, SQLINTEGER StringLength);
QVO_EXPORT SQLRETURN QVOSetStmtAttrW(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                     SQLPOINTER ValuePtr, SQLINTEGER StringLength);
QVO_EXPORT SQLRETURN QVOGetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                    SQLPOINTER ValuePtr, SQLINTEGER BufferLength,
                                    SQLINTEGER* StringLengthPtr);
QVO_EXPORT SQLRETURN QVOGetStmtAttrW(SQLHSTMT StatementHandle, SQLINTEGER Attribute,
                                     SQLPOINTER ValuePtr, SQLINTEGER BufferLength,
                                     SQLINTEGER* StringLengthPtr);
/* Copies the text unchanged, whatever the handle. Lengths count bytes
 * (narrow) or SQLWCHAR units (wide); a cut copy is terminated inside the
 * buffer, *pcbSqlStr gets the whole text's length and the call returns 1
 * (01004 recorded when the handle is a live connection or statement). */
QVO_EXPORT SQLRETURN QVONativeSql(SQLHDBC hDrvStmt, SQLCHAR* szSqlStrIn, SQLINTEGER cbSqlStrIn,
                                  SQLCHAR* szSqlStr, SQLINTEGER cbSqlStrMax, SQLINTEGER* pcbSqlStr);
QVO_EXPORT SQLRETURN QVONativeSqlW(SQLHDBC hDrvStmt, SQLWCHAR* szSqlStrIn, SQLINTEGER cbSqlStrIn,
                                   SQLWCHAR* szSqlStr, SQLINTEGER cbSqlStrMax,
                                   SQLINTEGER* pcbSqlStr);

/* Result description, column binding, fetch and scroll. Column numbers start
 * at 1 (bookmarks are not supported). Names count bytes (narrow) or SQLWCHAR
 * units (wide); QVOColAttribute(W) text values count bytes. A text cut to its
 * buffer reports its whole length and gives 01004 with 1. Bound lengths and
 * indicators are SQLLEN. A rowset fetch returns -1 when a column cannot be
 * converted at all; a row that fails is SQL_ROW_ERROR (with 1) when a row
 * status array is set, else the fetch returns -1 and reports no row. */
QVO_EXPORT SQLRETURN QVONumResultCols(SQLHSTMT StatementHandle, SQLSMALLINT* ColumnCountPtr);
QVO_EXPORT SQLRETURN QVODescribeCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                    SQLCHAR* ColumnName, SQLSMALLINT BufferLength,
                                    SQLSMALLINT* NameLengthPtr, SQLSMALLINT* DataTypePtr,
                                    SQLULEN* ColumnSizePtr, SQLSMALLINT* DecimalDigitsPtr,
                                    SQLSMALLINT* NullablePtr);
QVO_EXPORT SQLRETURN QVODescribeColW(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                     SQLWCHAR* ColumnName, SQLSMALLINT BufferLength,
                                     SQLSMALLINT* NameLengthPtr, SQLSMALLINT* DataTypePtr,
                                     SQLULEN* ColumnSizePtr, SQLSMALLINT* DecimalDigitsPtr,
                                     SQLSMALLINT* NullablePtr);
/* The C type of the column's values in the row blocks (QVO_INT32, ...). */
QVO_EXPORT SQLRETURN QVODescribeCol2(SQLHSTMT StatementHandle, SQLSMALLINT ColumnNumber,
                                     SQLSMALLINT* NativeDataType);
QVO_EXPORT SQLRETURN QVOColAttribute(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                     SQLUSMALLINT FieldIdentifier, SQLPOINTER CharacterAttributePtr,
                                     SQLSMALLINT BufferLength, SQLSMALLINT* StringLengthPtr,
                                     SQLLEN* NumericAttributePtr);
QVO_EXPORT SQLRETURN QVOColAttributeW(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                      SQLUSMALLINT FieldIdentifier,
                                      SQLPOINTER CharacterAttributePtr, SQLSMALLINT BufferLength,
                                      SQLSMALLINT* StringLengthPtr, SQLLEN* NumericAttributePtr);
/* QVO_VARCHAR_PTR binds a VARCHAR column by reference: each row receives a
 * pointer into the received rows (valid until the next fetch) and the byte
 * length. */
QVO_EXPORT SQLRETURN QVOBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                SQLSMALLINT TargetType, SQLPOINTER TargetValuePtr,
                                SQLLEN BufferLength, SQLLEN* StrLen_or_Ind);
QVO_EXPORT SQLRETURN QVOFetch(SQLHSTMT StatementHandle);
QVO_EXPORT SQLRETURN QVOFetchScroll(SQLHSTMT StatementHandle, SQLSMALLINT FetchOrientation,
                                    SQLLEN FetchOffset);

/* Single-value retrieval. The value of one column of the current row (the
 * last row of the rowset, or the row QVOSetPos chose); character, binary and
 * wide values come in pieces over repeated calls, then SQL_NO_DATA. */
QVO_EXPORT SQLRETURN QVOGetData(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                                SQLSMALLINT TargetType, SQLPOINTER TargetValue, SQLLEN BufferLength,
                                SQLLEN* StrLen_or_Ind);

/* Parameters, prepare and execute, data at execution, batches. */
/* Parameters are numbered from 1. BindParameter keeps the pointers until the
 * parameter is bound again or the statement is reset; indicator and length
 * cells are SQLLEN (8 bytes apart in column-wise arrays). */
QVO_EXPORT SQLRETURN QVOBindParameter(SQLHSTMT StatementHandle, SQLSMALLINT ParameterNumber,
                                      SQLSMALLINT InputOutputType, SQLSMALLINT ValueType,
                                      SQLSMALLINT ParameterType, SQLULEN ColumnSize,
                                      SQLSMALLINT DecimalDigits, SQLPOINTER ParameterValuePtr,
                                      SQLLEN BufferLength, SQLLEN* StrLen_or_IndPtr);
QVO_EXPORT SQLRETURN QVONumParams(SQLHSTMT StatementHandle, SQLSMALLINT* ParameterCountPtr);
QVO_EXPORT SQLRETURN QVODescribeParam(SQLHSTMT StatementHandle, SQLSMALLINT ParameterNumber,
                                      SQLSMALLINT* DataTypePtr, SQLULEN* ParameterSizePtr,
                                      SQLSMALLINT* DecimalDigitsPtr, SQLSMALLINT* NullablePtr);
/* Prepare keeps the server's handle, the parameter description (IPD) and the
 * result description (IRD) until the next Prepare or ExecDirect. Execute sends
 * the bound rows (APD array size) in blocks of at most the server's data
 * message size; the row count is the sum over the blocks. ExecDirect with
 * bound parameters prepares and executes the same way. */
QVO_EXPORT SQLRETURN QVOPrepare(SQLHSTMT StatementHandle, SQLCHAR* StatementText,
                                SQLINTEGER TextLength);
QVO_EXPORT SQLRETURN QVOPrepareW(SQLHSTMT StatementHandle, SQLWCHAR* StatementText,
                                 SQLINTEGER TextLength);
QVO_EXPORT SQLRETURN QVOExecute(SQLHSTMT StatementHandle);
/* Data at execution: a bound value whose indicator is SQL_DATA_AT_EXEC or
 * SQL_LEN_DATA_AT_EXEC(n) makes Execute or ExecDirect return SQL_NEED_DATA.
 * Each QVOParamData then returns SQL_NEED_DATA with the value's data pointer
 * as bound (rows in order, parameters in order within a row), QVOPutData
 * supplies it (character and binary values in several pieces, others in one;
 * SQL_NULL_DATA for NULL), and the QVOParamData after the last value runs
 * the execution and returns its result. The values serve that execution
 * only: executing again asks for them again. */
/* Batches: each QVOPrepareBatch(W) adds one SQL text (the first of a batch
 * resets the statement); QVOExecuteBatch sends them in one request and the
 * statement holds the first text's result, the others following with
 * QVOMoreResults. A batch that fails stays collected. */
QVO_EXPORT SQLRETURN QVOPrepareBatch(SQLHSTMT StatementHandle, const char* sqlString,
                                     SQLINTEGER sqlStrLen);
QVO_EXPORT SQLRETURN QVOPrepareBatchW(SQLHSTMT StatementHandle, const SQLWCHAR* sqlString,
                                      SQLINTEGER sqlStrLen);
QVO_EXPORT SQLRETURN QVOExecuteBatch(SQLHSTMT StatementHandle);
QVO_EXPORT SQLRETURN QVOParamData(SQLHSTMT StatementHandle, SQLPOINTER* Value);
QVO_EXPORT SQLRETURN QVOPutData(SQLHSTMT StatementHandle, SQLPOINTER DataPtr, SQLLEN StrLen_or_Ind);

/* Parallel mode and cluster hosts. One node address as handed out: 84 bytes
 * per element, arrays without gaps. The arrays belong to the statement and
 * stay valid until its next execution, catalog or parallel call or release. */
typedef struct __ConnectionStru {
  char qvoPort[12]; /* port number as decimal text, zero-terminated */
  SQLINTEGER qvoPortLen;
  char qvoServer[64]; /* host name, zero-terminated (at most 63 bytes) */
  SQLINTEGER qvoServerLen;
} ConnectionStru;
/* Enters parallel mode for nConnections slave connections: the nodes to
 * connect to (QVOSlaveConnect) and the token they present. */
QVO_EXPORT SQLRETURN QVOEnterParallel(SQLHSTMT StatementHandle, SQLINTEGER nConnections,
                                      SQLINTEGER* nConnectionsPtr, ConnectionStru** ConnectionPtr,
                                      SQLBIGINT* TokenPtr);
/* The cluster's host names, each with the port of this connection. */
QVO_EXPORT SQLRETURN QVOGetHostnames(SQLHSTMT StatementHandle, SQLINTEGER* nHostsPtr,
                                     ConnectionStru** ConnectionPtr);
/* The starting row of this connection's part of the open result set. */
QVO_EXPORT SQLRETURN QVOGetSlaveOffset(SQLHSTMT StatementHandle, SQLBIGINT* slaveOffset);
/* Describes the server result set `handle` as this statement's result;
 * closes the statement's open server result set. */
QVO_EXPORT SQLRETURN QVOExecuteDescRes(SQLHSTMT StatementHandle, SQLINTEGER handle);
QVO_EXPORT SQLRETURN QVOExecuteCloseRes(SQLHSTMT StatementHandle);

/* Driver and server information. Numeric answers are written at their own
 * width (SQLUSMALLINT or SQLUINTEGER); texts are cut to BufferLength bytes,
 * in the W form too, always terminated, and StringLength receives the whole
 * text's length in bytes (a cut text returns 1 with 01004). */
QVO_EXPORT SQLRETURN QVOGetInfo(SQLHDBC ConnectionHandle, SQLSMALLINT InfoType,
                                SQLPOINTER InfoValue, SQLSMALLINT BufferLength,
                                SQLSMALLINT* StringLength);
QVO_EXPORT SQLRETURN QVOGetInfoW(SQLHDBC ConnectionHandle, SQLSMALLINT InfoType,
                                 SQLPOINTER InfoValue, SQLSMALLINT BufferLength,
                                 SQLSMALLINT* StringLength);

/* Catalog functions. Each leaves a result set on the statement, fetched like
 * any other. Names are patterns or plain names as ODBC says (identifiers under
 * SQL_ATTR_METADATA_ID); null for an absent name. Lengths are bytes (narrow) or
 * SQLWCHAR units (wide), -3 for zero-terminated; a name longer than the
 * server's identifier limit is refused with HY090 before anything is sent. */
QVO_EXPORT SQLRETURN QVOTables(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                               SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                               SQLSMALLINT NameLength2, SQLCHAR* TableName, SQLSMALLINT NameLength3,
                               SQLCHAR* TableType, SQLSMALLINT NameLength4);
QVO_EXPORT SQLRETURN QVOTablesW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                SQLSMALLINT NameLength3, SQLWCHAR* TableType,
                                SQLSMALLINT NameLength4);
QVO_EXPORT SQLRETURN QVOColumns(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                SQLSMALLINT NameLength3, SQLCHAR* ColumnName,
                                SQLSMALLINT NameLength4);
QVO_EXPORT SQLRETURN QVOColumnsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                 SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                 SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                 SQLSMALLINT NameLength3, SQLWCHAR* ColumnName,
                                 SQLSMALLINT NameLength4);
QVO_EXPORT SQLRETURN QVOPrimaryKeys(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                    SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                    SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                    SQLSMALLINT NameLength3);
QVO_EXPORT SQLRETURN QVOPrimaryKeysW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                     SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                     SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                     SQLSMALLINT NameLength3);
QVO_EXPORT SQLRETURN QVOForeignKeys(SQLHSTMT StatementHandle, SQLCHAR* PKCatalogName,
                                    SQLSMALLINT NameLength1, SQLCHAR* PKSchemaName,
                                    SQLSMALLINT NameLength2, SQLCHAR* PKTableName,
                                    SQLSMALLINT NameLength3, SQLCHAR* FKCatalogName,
                                    SQLSMALLINT NameLength4, SQLCHAR* FKSchemaName,
                                    SQLSMALLINT NameLength5, SQLCHAR* FKTableName,
                                    SQLSMALLINT NameLength6);
QVO_EXPORT SQLRETURN QVOForeignKeysW(SQLHSTMT StatementHandle, SQLWCHAR* PKCatalogName,
                                     SQLSMALLINT NameLength1, SQLWCHAR* PKSchemaName,
                                     SQLSMALLINT NameLength2, SQLWCHAR* PKTableName,
                                     SQLSMALLINT NameLength3, SQLWCHAR* FKCatalogName,
                                     SQLSMALLINT NameLength4, SQLWCHAR* FKSchemaName,
                                     SQLSMALLINT NameLength5, SQLWCHAR* FKTableName,
                                     SQLSMALLINT NameLength6);
QVO_EXPORT SQLRETURN QVOTablePrivileges(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                        SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                        SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                        SQLSMALLINT NameLength3);
QVO_EXPORT SQLRETURN QVOTablePrivilegesW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                         SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                         SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                         SQLSMALLINT NameLength3);
QVO_EXPORT SQLRETURN QVOColumnPrivileges(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                         SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                         SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                         SQLSMALLINT NameLength3, SQLCHAR* ColumnName,
                                         SQLSMALLINT NameLength4);
QVO_EXPORT SQLRETURN QVOColumnPrivilegesW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                          SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                          SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                          SQLSMALLINT NameLength3, SQLWCHAR* ColumnName,
                                          SQLSMALLINT NameLength4);
QVO_EXPORT SQLRETURN QVOProcedures(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                   SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                   SQLSMALLINT NameLength2, SQLCHAR* ProcName,
                                   SQLSMALLINT NameLength3);
QVO_EXPORT SQLRETURN QVOProceduresW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                    SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                    SQLSMALLINT NameLength2, SQLWCHAR* ProcName,
                                    SQLSMALLINT NameLength3);
QVO_EXPORT SQLRETURN QVOProcedureColumns(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                         SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                         SQLSMALLINT NameLength2, SQLCHAR* ProcName,
                                         SQLSMALLINT NameLength3, SQLCHAR* ColumnName,
                                         SQLSMALLINT NameLength4);
QVO_EXPORT SQLRETURN QVOProcedureColumnsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                          SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                          SQLSMALLINT NameLength2, SQLWCHAR* ProcName,
                                          SQLSMALLINT NameLength3, SQLWCHAR* ColumnName,
                                          SQLSMALLINT NameLength4);
/* Always an empty result of the ODBC columns (the server keeps no index
 * statistics and no row identifiers); the names are checked all the same in
 * QVOStatistics. */
QVO_EXPORT SQLRETURN QVOStatistics(SQLHSTMT StatementHandle, SQLCHAR* CatalogName,
                                   SQLSMALLINT NameLength1, SQLCHAR* SchemaName,
                                   SQLSMALLINT NameLength2, SQLCHAR* TableName,
                                   SQLSMALLINT NameLength3, SQLUSMALLINT Unique,
                                   SQLUSMALLINT Reserved);
QVO_EXPORT SQLRETURN QVOStatisticsW(SQLHSTMT StatementHandle, SQLWCHAR* CatalogName,
                                    SQLSMALLINT NameLength1, SQLWCHAR* SchemaName,
                                    SQLSMALLINT NameLength2, SQLWCHAR* TableName,
                                    SQLSMALLINT NameLength3, SQLUSMALLINT Unique,
                                    SQLUSMALLINT Reserved);
QVO_EXPORT SQLRETURN QVOSpecialColumns(SQLHSTMT StatementHandle, SQLUSMALLINT IdentifierType,
                                       SQLCHAR* CatalogName, SQLSMALLINT NameLength1,
                                       SQLCHAR* SchemaName, SQLSMALLINT NameLength2,
                                       SQLCHAR* TableName, SQLSMALLINT NameLength3,
                                       SQLUSMALLINT Scope, SQLUSMALLINT Nullable);
QVO_EXPORT SQLRETURN QVOSpecialColumnsW(SQLHSTMT StatementHandle, SQLUSMALLINT IdentifierType,
                                        SQLWCHAR* CatalogName, SQLSMALLINT NameLength1,
                                        SQLWCHAR* SchemaName, SQLSMALLINT NameLength2,
                                        SQLWCHAR* TableName, SQLSMALLINT NameLength3,
                                        SQLUSMALLINT Scope, SQLUSMALLINT Nullable);
/* The server's data types (SQL_ALL_TYPES: every one); ODBC 2 date and time
 * codes are answered with the ODBC 2 numbers. */
QVO_EXPORT SQLRETURN QVOGetTypeInfo(SQLHSTMT StatementHandle, SQLSMALLINT DataType);

#ifdef __cplusplus
}
#endif

/* Exported under their C++ names only. */
#ifdef __cplusplus
/* Adds a diagnostic record (message in the application's code set); -1. */
QVO_EXPORT SQLRETURN QVOSetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle, const char* SQLState,
                                   SQLINTEGER NativeError, const char* MessageText);
/* Catalog: the client's current time (UTC) as a result of one row and one
 * column SQL_TIMESTAMP, built without the server; the statement text
 * "ExecGetTimestamp" gives the same. */
QVO_EXPORT SQLRETURN QVOExecGetTimestamp(SQLHSTMT StatementHandle);
/* True for the characters that end an identifier in SQL text: the zero
 * character, space, "(", ")", ".", ";" and "=". */
QVO_EXPORT bool IsIdSeparator(char c);
#endif

#endif
