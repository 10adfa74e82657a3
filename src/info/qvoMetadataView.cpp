// The reader of the server's DB_METADATA view: a statement of the connection
// runs the query, both columns are bound as character data, and the rows are
// fetched once from top to bottom.

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "connection/qvoConnection.h"
#include "connection/qvoHandleServices.h"
#include "handles/qvoHandleTable.h"
#include "info/qvoInfoValues.h"
#include "platform/qvoConverter.h"
#include "statement/qvoStatement.h"

namespace {

// Bytes of each read buffer: the server's longest character value, held
// within what a capability text can sensibly need.
size_t ReadBufferSize(const qvoConnection& conn) {
  constexpr qvo_int64 smallest = 2;
  constexpr qvo_int64 largest = qvo_int64{1} << 20;
  return static_cast<size_t>(std::clamp(conn.maxVarcharLength & 0xFFFFFFFF, smallest, largest));
}

// The view must have the columns NAME and VALUE, in this order.
bool HasNameAndValue(qvoStatement& s) {
  char name[60];
  SQLSMALLINT length = 0;
  if (s.DescribeCol(1, name, sizeof name, &length, nullptr, nullptr, nullptr, nullptr) !=
          SQL_SUCCESS ||
      std::string_view(name) != "NAME")
    return false;
  return s.DescribeCol(2, name, sizeof name, &length, nullptr, nullptr, nullptr, nullptr) ==
             SQL_SUCCESS &&
         std::string_view(name) == "VALUE";
}

// The bytes a bound character column received: what its indicator reports,
// no more than the buffer held before its terminator.
std::string_view Received(const std::vector<char>& buffer, SQLLEN indicator) {
  const size_t held = ::strnlen(buffer.data(), buffer.size() - 1);
  if (indicator < 0) return {buffer.data(), held};
  return {buffer.data(), std::min(held, static_cast<size_t>(indicator))};
}

SQLRETURN ReadRows(qvoConnection& conn, qvoStatement& s, const qvoMetadataRowFn& onRow) {
  if (s.Result().NLines() < 1) return SQL_ERROR;  // an empty view: nothing to load
  if (!HasNameAndValue(s)) return conn.SetDiagRec("HY000", -1, "Error retriving dbms infos");
  // The connection keeps its texts in UTF-8, as the server sends them: the
  // values pass into the read buffers unconverted.
  if (iconverter* conv = s.GetDataConverter()) SetInstalledCurrentCodepage(conv, "UTF-8");
  const size_t size = ReadBufferSize(conn);
  std::vector<char> name(size), value(size);
  SQLLEN nameLength = 0, valueLength = 0;
  if (s.BindCol(1, SQL_C_CHAR, name.data(), static_cast<SQLLEN>(size), &nameLength) < 0 ||
      s.BindCol(2, SQL_C_CHAR, value.data(), static_cast<SQLLEN>(size), &valueLength) < 0)
    return SQL_ERROR;
  for (;;) {
    std::fill(name.begin(), name.end(), '\0');
    std::fill(value.begin(), value.end(), '\0');
    const SQLRETURN rc = s.Fetch();
    if (rc == SQL_NO_DATA) return SQL_SUCCESS;
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return rc < 0 ? rc : SQL_ERROR;
    qvoMetadataRow row;
    row.name = Received(name, nameLength);
    row.nameCut = nameLength == SQL_NO_TOTAL || nameLength >= static_cast<SQLLEN>(size);
    row.valueNull = valueLength == SQL_NULL_DATA;
    if (!row.valueNull) row.value = Received(value, valueLength);
    onRow(row);
  }
}

}  // namespace

SQLRETURN ReadMetadataView(qvoConnection& conn, const qvoMetadataRowFn& onRow) {
  const qvoHandleServices& services = HandleServices();
  SQLHANDLE handle = SQL_NULL_HANDLE;
  SQLRETURN rc = services.allocStatement(conn.GetHandleID(), &handle);
  if (rc < 0) return rc;
  if (conn.logFull) conn.Log(" GetInfoValues: %s\n", kMetadataQuery);
  auto* s = static_cast<qvoStatement*>(GetHandlePtr(handle));
  rc = services.execDirect(handle, kMetadataQuery);
  if (rc < 0) {
    if (conn.logFull) conn.Log(" ERROR in GetInfoValues QVOExecDirect: %i\n", static_cast<int>(rc));
  } else {
    rc = ReadRows(conn, *s, onRow);
  }
  // The statement goes with its records: the server's reason stays with the
  // connection, as one record among the connection's own (a server mark would
  // let it stand alone and hide the caller's record of the failed load).
  if (rc < 0) {
    for (SQLINTEGER i = 1; i <= s->GetNumRecords(); ++i) {
      const __diagRecords* r = s->GetDiagRecPtr(static_cast<SQLSMALLINT>(i));
      if (r) conn.SetDiagRec(r->diagSQLState, r->diagNativeError, r->GetMessage());
    }
  }
  const SQLRETURN freed = services.freeStatement(handle);
  if (rc < 0) return rc;
  return freed != SQL_SUCCESS ? freed : SQL_SUCCESS;
}
