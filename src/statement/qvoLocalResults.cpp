// Results the statement answers itself: the message is written in the
// server's layout and read by the ordinary answer parser, so describing,
// fetching and GetData treat it like a server result. Its handle is
// negative and all its rows are inline: nothing is fetched or closed on the
// server.
#include <ctime>

#include "common/qvoTypeCodes.h"
#include "handles/qvoDiag.h"
#include "statement/qvoStatement.h"

qvoTimestampValue UtcCalendarTime(std::time_t seconds) {
  std::tm t{};
  gmtime_r(&seconds, &t);
  qvoTimestampValue v;
  v.year = static_cast<qvo_int16>(t.tm_year + 1900);
  v.month = static_cast<qvo_uint8>(t.tm_mon + 1);
  v.day = static_cast<qvo_uint8>(t.tm_mday);
  v.hour = static_cast<qvo_uint8>(t.tm_hour);
  v.minute = static_cast<qvo_uint8>(t.tm_min);
  v.second = static_cast<qvo_uint8>(t.tm_sec);
  v.fraction = 0;
  return v;
}

SQLRETURN qvoStatement::TakeLocalResult(qvoLocalResultWriter& writer, qvo_int64 rows) {
  std::unique_ptr<char[]> answer;
  size_t length = 0;
  if (!writer.Finish(rows, &answer, &length)) return QVO_DIAG(this, _Memory_allocation_error_, -1);
  TakeResults(answer.release(), static_cast<qvo_int64>(length));
  return SyncMoreResults(0);
}

SQLRETURN qvoStatement::ExecGetTimestamp() {
  if (logFull) Log("qvoStatement::ExecGetTimestamp()\n");
  if (ClearDiagRecords() != SQL_SUCCESS || InitStatement(QVO_INIT_RESET) == SQL_ERROR)
    return QVO_DIAG(this, _Error_initialising_statement_handle_, -1);
  qvoLocalResultWriter writer(QVO_RESULT_TIMESTAMP, 1);
  writer.AddColumn("SQL_TIMESTAMP", _TIMESTAMP, 0, 0);
  writer.Add_TIMESTAMP(UtcCalendarTime(std::time(nullptr)));
  if (TakeLocalResult(writer, 1) == SQL_ERROR) {
    if (GetNumRecords() == 0) QVO_DIAG(this, _Error_executing_stmt_, -1);
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}
