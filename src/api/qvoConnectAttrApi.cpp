// Exported connection functions besides the connect: parallel slave connect,
// disconnect, and setting and reading connection attributes. Text values are
// converted between the application's code set (narrow: the SQL converter,
// W: the wide SQL converter) and the UTF-8 the connection keeps. As in ODBC,
// the lengths of attribute values are in bytes, for the W forms too.

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

#include "api/qvoHandleBranches.h"
#include "common/qvoArgStrings.h"
#include "common/qvoPredicates.h"
#include "connection/qvoConnection.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "qvo/qvoCInterface.h"

namespace {

// Bytes of the work text that receives a text attribute in UTF-8 for a
// caller's buffer of bufferLength bytes: four bytes per character, and enough
// for the length of a text of up to 1024 bytes when the caller only asks for
// its length.
size_t ScratchSize(SQLINTEGER bufferLength) {
  constexpr size_t smallest = 1025;
  constexpr size_t largest = (size_t{1} << 24) + 4;
  const size_t wanted = 4 * static_cast<size_t>(std::max<SQLINTEGER>(bufferLength, 0)) + 4;
  return std::clamp(wanted, smallest, largest);
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
        std::vector<char> scratch(ScratchSize(BufferLength));
        const SQLRETURN rc = c.GetConnectAttr(Attribute, scratch.data(),
                                              static_cast<SQLINTEGER>(scratch.size()), nullptr);
        if (rc == SQL_ERROR) return rc;
        iconverter* conv = isWide<Char> ? c.GetWcharSqlConverter() : c.GetSqlConverter();
        const int utf8Len = static_cast<int>(::strnlen(scratch.data(), scratch.size()));
        // The whole text's length in the application's code set, so that a
        // cut shows as a length not below the buffer. A text the code set
        // cannot hold is an error, not an empty value reported as success.
        const int full = FromCodesetLen(conv, scratch.data(), utf8Len);
        if (full < 0) return QVO_DIAG(&c, _Error_converting_string_value_, -1);
        if (Value && BufferLength >= 1 &&
            FromCodesetNTS(conv, scratch.data(), utf8Len, static_cast<char*>(Value), BufferLength) <
                0) {
          // Nothing is handed out half.
          std::memset(Value, 0, std::min<size_t>(sizeof(Char), static_cast<size_t>(BufferLength)));
          return QVO_DIAG(&c, _Error_converting_string_value_, -1);
        }
        if (StringLength) *StringLength = full;
        return rc;
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
