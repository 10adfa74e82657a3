// libFuzzer target over the answers that tell the client about the server:
// the cluster's host list (QVOGetConnectAttr with QVO_ATTR_HOST_LIST into
// buffers of several sizes), the DB_METADATA view that QVOGetInfo loads on
// first need (its query's result set and further rows), and the columns the
// server's column lookup answers for QVOColumns without the micro-cache.
//
// The first input byte chooses the client's side:
//   bits 0-1   the protocol version (13, 9, 8, 7);
//   bits 2-3   the calls: 0 host list, 1 information values, 2 columns,
//              3 host list and then information values;
//   bits 4-5   the host list buffer: 256, 64, 16 or 1 bytes.
// The rest is what the node sends, answer after answer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/qvoAttributeIds.h"
#include "fuzz_session.h"

namespace {

constexpr size_t kGuard = 8;
constexpr char kFill = '#';

void HostList(SQLHDBC dbc, size_t room) {
  char hosts[256 + kGuard];
  std::memset(hosts, kFill, sizeof hosts);
  SQLINTEGER length = -1;
  if (QVOGetConnectAttr(dbc, QVO_ATTR_HOST_LIST, hosts, static_cast<SQLINTEGER>(room), &length) ==
      SQL_SUCCESS)
    CheckText(hosts, room, kGuard, kFill);
  else
    CheckText(hosts + room, 0, kGuard, kFill);
}

void InformationValues(SQLHDBC dbc) {
  for (SQLUSMALLINT type : {SQL_DBMS_NAME, SQL_DBMS_VER, SQL_KEYWORDS, SQL_CATALOG_TERM,
                            SQL_MAX_COLUMN_NAME_LEN, SQL_IDENTIFIER_QUOTE_CHAR}) {
    char value[16 + kGuard];
    std::memset(value, kFill, sizeof value);
    SQLSMALLINT length = -1;
    QVOGetInfo(dbc, type, value, 16, &length);
    for (size_t k = 16; k < sizeof value; ++k)
      if (value[k] != kFill) __builtin_trap();
  }
}

void Columns(SQLHSTMT stmt) {
  if (!SQL_SUCCEEDED(
          QVOColumns(stmt, nullptr, 0, Sql("S%"), SQL_NTS, Sql("T"), SQL_NTS, nullptr, 0)))
    return;
  SQLSMALLINT columns = 0;
  QVONumResultCols(stmt, &columns);
  for (int r = 0; r < 1000 && SQL_SUCCEEDED(QVOFetch(stmt)); ++r) {
    for (SQLUSMALLINT c = 1; c <= columns && c <= 32; ++c) {
      char text[24 + kGuard];
      std::memset(text, kFill, sizeof text);
      SQLLEN ind = 0;
      if (SQL_SUCCEEDED(QVOGetData(stmt, c, SQL_C_CHAR, text, 24, &ind)) && ind != SQL_NULL_DATA)
        CheckText(text, 24, kGuard, kFill);
    }
  }
}

void Run(FuzzSession& session, uint8_t flags) {
  constexpr size_t kRooms[] = {256, 64, 16, 1};
  switch ((flags >> 2) & 3) {
    case 0:
      HostList(session.dbc, kRooms[(flags >> 4) & 3]);
      break;
    case 1:
      InformationValues(session.dbc);
      break;
    case 2:
      session.conn->columnsMicroCache = false;
      Columns(session.stmt);
      break;
    default:
      HostList(session.dbc, kRooms[(flags >> 4) & 3]);
      InformationValues(session.dbc);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return WithSession(data, size, Run);
}
