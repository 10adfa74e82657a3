// The server's column lookup: the get_columns request, whose answer is an
// ordinary result set with the columns of the columns catalog function.
#include <cstring>

#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

SQLRETURN qvoStatement::ExecGetColumns(const char* catalog, const char* schema, bool s_like,
                                       const char* table, bool t_like, const char* column,
                                       bool c_like, int odbcVer, const char* selBuff,
                                       SQLUINTEGER mode) {
  if (logFull) {
    LogConvertors("qvoStatement::ExecGetColumns");
    Log("  (s_like=%s, t_like=%s, c_like=%s, odbcVer=%i)\n", s_like ? "true" : "false",
        t_like ? "true" : "false", c_like ? "true" : "false", odbcVer);
  }
  return ExecGetColumnsBase(catalog, schema, s_like, table, t_like, column, c_like, odbcVer,
                            selBuff, mode);
}

SQLRETURN qvoStatement::ExecGetColumnsBase(const char* catalog, const char* schema, bool s_like,
                                           const char* table, bool t_like, const char* column,
                                           bool c_like, int odbcVer, const char* selBuff,
                                           SQLUINTEGER mode) {
  if (AsyncExecutionPending()) return RefuseWhileExecuting();
  if (ClearDiagRecords() != SQL_SUCCESS || InitStatement(4) == SQL_ERROR) {
    if (GetNumRecords() > 0) return SQL_ERROR;
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  }
  // Each name has the room of one identifier; a longer one would go out cut
  // and find another object.
  const int room = GetMaxIdentifierOctetLength();
  for (const char* name : {catalog, schema, table, column})
    if (name && std::strlen(name) >= static_cast<size_t>(room))
      return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);

  sqlStmt.SetStatement(selBuff, SQL_NTS);
  stmtStringLength = sqlStmt.GetStatementLen();
  sqlCallType = 2;

  sqlStatement payload;
  payload.SetStatement(5 * room);
  payload.AddString(catalog, room);
  payload.AddString(schema, room);
  payload.AddBool(s_like);
  payload.AddString(table, room);
  payload.AddBool(t_like);
  payload.AddString(column, room);
  payload.AddBool(c_like);
  payload.AddInt32(0);
  payload.AddInt32(odbcVer);

  SQLRETURN rc;
  {
    qvoMutex lock(connection->executionMutex);
    rc = Exchange(payload.GetStatement(), payload.GetStatementLen(), get_columns);
    if (rc != SQL_ERROR) rc = SyncMoreResults(mode);
  }
  if (rc == SQL_STILL_EXECUTING) running.road = qvoRunningExecution::Road::Text;
  return DirectOutcome(rc);
}
