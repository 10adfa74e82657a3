// QVOGetInfo and QVOGetInfoW. Numbers go straight to the caller's buffer;
// texts are made in UTF-8 and converted into the application's code set
// (narrow: the SQL converter, W: the wide SQL converter). As in ODBC, the
// buffer and the reported length count bytes in both forms; a text that does
// not fit is cut on a character boundary, terminated, and reported with its
// whole length and 01004.

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/qvoPredicates.h"
#include "connection/qvoConnection.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "info/qvoGetInfo.h"
#include "qvo/qvoCInterface.h"

namespace {

SQLRETURN GetInfoAny(SQLHDBC ConnectionHandle, SQLSMALLINT InfoType, SQLPOINTER InfoValue,
                     SQLSMALLINT BufferLength, SQLSMALLINT* StringLength, bool wide) {
  return qvoCallWith<qvoConnection>(
      ConnectionHandle, SQL_HANDLE_DBC, qvo_frame::NoConversion{},
      [&](qvoConnection& c) -> SQLRETURN {
        c.ClearDiagRecords();
        const auto type = static_cast<SQLUSMALLINT>(InfoType);
        if (!IsInfoValueChar(InfoType))
          return c.GetInfo(type, InfoValue, BufferLength, StringLength);
        qvoInfoAnswer answer;
        const SQLRETURN rc = ResolveInfo(c, type, InfoValue, BufferLength, StringLength, &answer);
        if (rc != SQL_SUCCESS) return rc;
        if (!IsTextAnswer(answer)) return SQL_SUCCESS;  // a type answered with nothing
        iconverter* conv = wide ? c.GetWcharSqlConverter() : c.GetSqlConverter();
        const std::string& text = answer.value.text;
        const int utf8Len = static_cast<int>(text.size());
        const int full = FromCodesetLen(conv, text.c_str(), utf8Len);
        if (full < 0) return QVO_DIAG(&c, _Error_converting_string_value_, -1);
        if (StringLength) *StringLength = static_cast<SQLSMALLINT>(std::min(full, SHRT_MAX));
        if (!InfoValue) return SQL_SUCCESS;
        // A wide buffer holds whole units only.
        const int size = wide ? BufferLength & ~1 : BufferLength;
        int written = 0;
        if (size > 0) {
          written =
              FromCodesetNTS(conv, text.c_str(), utf8Len, static_cast<char*>(InfoValue), size);
          if (written < 0) {
            std::memset(InfoValue, 0, std::min<size_t>(wide ? 2 : 1, static_cast<size_t>(size)));
            return QVO_DIAG(&c, _Error_converting_string_value_, -1);
          }
        }
        if (written == full) return SQL_SUCCESS;
        QVO_DIAG(&c, _String_data_right_truncated_, -1);
        return SQL_SUCCESS_WITH_INFO;
      });
}

}  // namespace

extern "C" {

SQLRETURN QVOGetInfo(SQLHDBC ConnectionHandle, SQLSMALLINT InfoType, SQLPOINTER InfoValue,
                     SQLSMALLINT BufferLength, SQLSMALLINT* StringLength) {
  return GetInfoAny(ConnectionHandle, InfoType, InfoValue, BufferLength, StringLength, false);
}

SQLRETURN QVOGetInfoW(SQLHDBC ConnectionHandle, SQLSMALLINT InfoType, SQLPOINTER InfoValue,
                      SQLSMALLINT BufferLength, SQLSMALLINT* StringLength) {
  return GetInfoAny(ConnectionHandle, InfoType, InfoValue, BufferLength, StringLength, true);
}

}  // extern "C"
