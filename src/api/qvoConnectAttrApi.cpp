// Exported connection functions besides the connect: parallel slave connect,
// disconnect, and setting and reading connection attributes. Text values are
// converted between the application's code set (narrow: the SQL converter,
// W: the wide SQL converter) and the UTF-8 the connection keeps. As in ODBC,
// the lengths of attribute values are in bytes, for the W forms too; a text
// cut to the caller's buffer reports its full length with 01004. The
// connection's converters are used under its settings lock, as their code
// pages are settings that another thread may change.

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>

#include "api/qvoHandleBranches.h"
#include "api/qvoTextOutput.h"
#include "common/qvoArgStrings.h"
#include "common/qvoPredicates.h"
#include "connection/qvoConnection.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "qvo/qvoCInterface.h"

namespace {

// The whole UTF-8 text of a text attribute: read again into a larger work
// text while the text fills the one it was read into.
SQLRETURN ReadWholeText(qvoConnection& c, SQLINTEGER attribute, std::string& text) {
  std::string work(1025, '\0');
  for (;;) {
    SQLINTEGER told = 0;
    const SQLRETURN rc =
        c.GetConnectAttr(attribute, work.data(), static_cast<SQLINTEGER>(work.size()), &told);
    if (rc < 0) return rc;
    const size_t held = ::strnlen(work.data(), work.size());
    const size_t full = std::max(held, static_cast<size_t>(std::max<SQLINTEGER>(told, 0)));
    if (full + 1 < work.size()) {
      text.assign(work.data(), held);
      return rc;
    }
    work.assign(std::max(2 * work.size(), full + 1), '\0');
  }
}

template <class Char>
constexpr bool isWide = std::is_same_v<Char, SQLWCHAR>;

// A text argument's length in the wrapper's units: bytes for narrow text,
// SQLWCHAR units for wide text given in bytes.
template <class Char>
int WrapperLength(SQLINTEGER byteLength) {
  if constexpr (isWide<Char>)
    return byteLength >= 0 ? byteLength / static_cast<int>(sizeof(SQLWCHAR)) : byteLength;
  else
    return byteLength;
}

template <class Wrapper, class Char>
SQLRETURN SlaveConnect(SQLHDBC ConnectionHandle, const Char* ServerHost, SQLINTEGER ServerHostLen,
                       const Char* Port, SQLINTEGER PortStrLen, SQLBIGINT SlaveToken) {
  Wrapper host(ServerHost, ServerHostLen);
  Wrapper port(Port, PortStrLen);
  const char* hostUtf8 = nullptr;
  const char* portUtf8 = nullptr;
  return qvoCallWith<qvoConnection>(
      ConnectionHandle, SQL_HANDLE_DBC,
      [&](qvoConnection& c) -> SQLRETURN {
        iconverter* conv = c.GetSqlConverter();
        if (ServerHost && !(hostUtf8 = host.GetUTF8(conv)))
          return QVO_DIAG(&c, _Error_converting_host_name_to_UTF_8_, -1);
        if (Port && !(portUtf8 = port.GetUTF8(conv)))
          return QVO_DIAG(&c, _Error_converting_port_str_to_UTF_8_, -1);
        return SQL_SUCCESS;
      },
      [&](qvoConnection& c) {
        return c.SlaveConnect(hostUtf8 ? hostUtf8 : "", SQL_NTS, portUtf8 ? portUtf8 : "", SQL_NTS,
                              SlaveToken);
      });
}

template <class Wrapper, class Char>
SQLRETURN SetConnectAttrAny(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER ValuePtr,
                            SQLINTEGER StringLength) {
  std::optional<Wrapper> text;
  const char* utf8 = nullptr;
  return qvoCallWith<qvoConnection>(
      ConnectionHandle, SQL_HANDLE_DBC,
      [&](qvoConnection& c) -> SQLRETURN {
        if (!IsConnectAttrText(Attribute, false) || !ValuePtr) return SQL_SUCCESS;
        qvoMutex settings(c.settingsMutex);
        text.emplace(static_cast<const Char*>(ValuePtr), WrapperLength<Char>(StringLength));
        utf8 = text->GetUTF8(isWide<Char> ? c.GetWcharSqlConverter() : c.GetSqlConverter());
        if (!utf8) return QVO_DIAG(&c, _Error_converting_connection_attribute_string_to_UTF_8_, -1);
        return SQL_SUCCESS;
      },
      [&](qvoConnection& c) {
        if (Attribute == SQL_ATTR_METADATA_ID)
          // The statements of the connection follow; what they answer does
          // not change the connection's own setting.
          for (SQLHANDLE stmt : HandlesOfMaster(c.GetHandleID(), SQL_HANDLE_STMT))
            QVOSetStmtAttr(stmt, SQL_ATTR_METADATA_ID, ValuePtr, StringLength);
        if (utf8) return c.SetConnectAttr(Attribute, const_cast<char*>(utf8), SQL_NTS);
        return c.SetConnectAttr(Attribute, ValuePtr, StringLength);
      });
}

template <class Char>
SQLRETURN GetConnectAttrAny(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                            SQLINTEGER BufferLength, SQLINTEGER* StringLength) {
  return qvoCallWith<qvoConnection>(
      ConnectionHandle, SQL_HANDLE_DBC, qvo_frame::NoConversion{},
      [&](qvoConnection& c) -> SQLRETURN {
        if (!IsConnectAttrText(Attribute, true))
          return c.GetConnectAttr(Attribute, Value, BufferLength, StringLength);
        if (BufferLength < 0) return QVO_DIAG(&c, _Invalid_string_or_buffer_length_, -1);
        std::string utf8;
        const SQLRETURN rc = ReadWholeText(c, Attribute, utf8);
        if (rc < 0) return rc;
        qvoMutex settings(c.settingsMutex);
        iconverter* conv = isWide<Char> ? c.GetWcharSqlConverter() : c.GetSqlConverter();
        // The whole text's length in the application's code set, in bytes. A
        // text the code set cannot hold is an error, not an empty value
        // reported as success.
        int full = 0;
        bool cut = false;
        if (!qvoDeliverText(conv, utf8, static_cast<char*>(Value), BufferLength,
                            conv ? conv->GetCharSize() : 1, &full, &cut)) {
          // Nothing is handed out half.
          if (Value && BufferLength >= 1)
            std::memset(Value, 0,
                        std::min<size_t>(sizeof(Char), static_cast<size_t>(BufferLength)));
          return QVO_DIAG(&c, _Error_converting_string_value_, -1);
        }
        if (StringLength) *StringLength = full;
        if (!cut) return rc;
        QVO_DIAG(&c, _String_data_right_truncated_, 1);
        return SQL_SUCCESS_WITH_INFO;
      });
}

}  // namespace

extern "C" {

SQLRETURN QVOSlaveConnect(SQLHDBC ConnectionHandle, char* ServerHost, SQLINTEGER ServerHostLen,
                          char* Port, SQLINTEGER PortStrLen, SQLBIGINT SlaveToken) {
  return SlaveConnect<aString>(ConnectionHandle, ServerHost, ServerHostLen, Port, PortStrLen,
                               SlaveToken);
}

SQLRETURN QVODisconnect(SQLHDBC ConnectionHandle) {
  return qvoCallWith<qvoConnection>(ConnectionHandle, SQL_HANDLE_DBC, qvo_frame::NoConversion{},
                                    [](qvoConnection& c) {
                                      // Nothing the disconnect frees may be in use by another
                                      // thread's call.
                                      qvoHandleClose close;
                                      if (!close.Begin(c.GetHandleID())) return HandleInUse(c);
                                      return c.qvoDisconnect(false);
                                    });
}

SQLRETURN QVOSetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER ValuePtr,
                            SQLINTEGER StringLength) {
  return SetConnectAttrAny<aString, char>(ConnectionHandle, Attribute, ValuePtr, StringLength);
}

SQLRETURN QVOSetConnectAttrW(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER ValuePtr,
                             SQLINTEGER StringLength) {
  return SetConnectAttrAny<wString, SQLWCHAR>(ConnectionHandle, Attribute, ValuePtr, StringLength);
}

SQLRETURN QVOGetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                            SQLINTEGER BufferLength, SQLINTEGER* StringLength) {
  return GetConnectAttrAny<char>(ConnectionHandle, Attribute, Value, BufferLength, StringLength);
}

SQLRETURN QVOGetConnectAttrW(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                             SQLINTEGER BufferLength, SQLINTEGER* StringLength) {
  return GetConnectAttrAny<SQLWCHAR>(ConnectionHandle, Attribute, Value, BufferLength,
                                     StringLength);
}

}  // extern "C"
