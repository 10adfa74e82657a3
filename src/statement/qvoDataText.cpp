// Server dates and time stamps as text, and the two debug-log routines of the
// description and fetch code (code sets of the statement, hex dump of a value).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/qvoConverter.h"
#include "protocol/qvoValueLayout.h"
#include "statement/qvoStatement.h"

namespace {

// Bytes a fixed-size C type shows per dump line; 0: forty a line.
struct DumpWidth {
  short cType;
  int bytes;
};
constexpr DumpWidth kDumpWidths[] = {
    {SQL_C_TINYINT, 1},
    {SQL_C_BIT, 1},
    {SQL_C_STINYINT, 1},
    {SQL_C_UTINYINT, 1},
    {SQL_C_SHORT, 2},
    {SQL_C_SSHORT, 2},
    {SQL_C_USHORT, 2},
    {SQL_C_LONG, 4},
    {SQL_C_FLOAT, 4},
    {SQL_C_SLONG, 4},
    {SQL_C_ULONG, 4},
    {QVO_INT32, 4},
    {SQL_C_DATE, 6},
    {SQL_C_TYPE_DATE, 6},
    {SQL_C_TYPE_TIME, 6},
    {SQL_C_DOUBLE, 8},
    {SQL_FLOAT, 8},
    {SQL_BIGINT, 8},
    {SQL_C_SBIGINT, 8},
    {SQL_C_UBIGINT, 8},
    {QVO_INT64, 8},
    {SQL_C_TIMESTAMP, 16},
    {SQL_C_TYPE_TIMESTAMP, 16},
    {QVO_TYPE_TIMESTAMP_UTC, 16},
    {QVO_INT128, 16},
    {SQL_C_GUID, 16},
    {SQL_C_NUMERIC, 19},
    {SQL_DECIMAL, 19},
};

// C types whose printable bytes are shown as characters too.
bool IsTextType(short cType) {
  switch (cType) {
    case SQL_C_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_C_DEFAULT:
    case QVO_WCHAR_UTF8:
    case QVO_WCHAR_UTF16:
    case SQL_C_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
    case SQL_C_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return true;
    default:
      return false;
  }
}

}  // namespace

SQLRETURN qvoStatement::TimestampToChar(char* buffer, SQLLEN bufferLen, const char* valuePtr,
                                        SQLLEN* strLenPtr, SQLINTEGER prec) {
  // More than nine fractional digits do not exist.
  prec = std::clamp<SQLINTEGER>(prec, 0, 9);
  const SQLLEN full = prec == 0 ? 19 : 20 + prec;
  *strLenPtr = full;
  if (bufferLen < 1 || !buffer) return SQL_SUCCESS;
  const qvoCalendarValue t = DecodeCalendarTimestamp(valuePtr);
  char text[64];
  std::snprintf(text, sizeof text, "%04i-%02i-%02i %02i:%02i:%02i.%09i", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.fraction);
  // Digits are cut, not rounded.
  const SQLLEN n = std::min(full, bufferLen - 1);
  std::memcpy(buffer, text, static_cast<size_t>(n));
  buffer[n] = 0;
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::DateToChar(char* buffer, SQLLEN bufferLen, const char* valuePtr,
                                   SQLLEN* strLenPtr) {
  const qvoCalendarValue d = DecodeCalendarDate(valuePtr);
  char text[32];
  const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  if (n < 0) return SQL_ERROR;
  *strLenPtr = n;
  if (bufferLen < 1 || !buffer) return SQL_SUCCESS;
  const SQLLEN copied = std::min<SQLLEN>(n, bufferLen - 1);
  std::memcpy(buffer, text, static_cast<size_t>(copied));
  buffer[copied] = 0;
  return SQL_SUCCESS;
}

int qvoStatement::LogConvertors(const char* functionName) {
  auto name = [](const qvoConverterPtr& c) { return c ? c->GetCurrentCodepage() : ""; };
  Log("%s - CurrentCodepages: dataConverter(%s), sqlConverter(%s), wcharSqlConverter(%s), "
      "wcharDataConverter(%s)\n",
      functionName, name(dataConverter), name(sqlConverter), name(wcharSqlConverter),
      name(wcharDataConverter));
  return 0;
}

int qvoStatement::LogData(short dataType, const unsigned char* buffer, SQLLEN dataLen) {
  // dataLen counts the bytes the value has in its buffer (wide values too);
  // nothing beyond them is read.
  if (!buffer || dataLen < 0) return 0;
  const SQLLEN total = std::min<SQLLEN>(dataLen, 1024);
  int perLine = 0;
  for (const DumpWidth& w : kDumpWidths)
    if (w.cType == dataType) perLine = w.bytes;
  const bool blankOnly = dataType == 9999;
  const bool showText = IsTextType(dataType);
  const SQLLEN lines = total / 40 + 1;
  SQLLEN pos = 0;
  for (SQLLEN line = 0; line < lines; ++line) {
    char text[161];
    std::memset(text, ' ', 160);
    text[160] = 0;
    const SQLLEN take = blankOnly ? 0 : std::min<SQLLEN>(perLine ? perLine : 40, total - pos);
    for (SQLLEN i = 0; i < take; ++i) {
      const unsigned char b = buffer[pos + i];
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02x ", b);
      std::memcpy(text + 3 * i, hex, 3);
      if (showText && b >= 32 && b <= 125) text[120 + i] = static_cast<char>(b);
    }
    if (take > 0) pos += take;
    Log("%s\n", text);
  }
  return 0;
}
