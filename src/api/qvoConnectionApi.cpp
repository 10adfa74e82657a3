// Exported connect functions: the text arguments become UTF-8 under the call
// frame's lock, the connect itself runs outside it.

#include <cstring>
#include <optional>
#include <type_traits>

#include "common/qvoArgStrings.h"
#include "connection/qvoConnection.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "qvo/qvoCInterface.h"

namespace {

// True for a missing argument: null, length 0, or an empty zero-terminated text.
template <class Char>
bool IsEmptyArgument(const Char* text, int length) {
  return !text || length == 0 || (length == SQL_NTS && text[0] == 0);
}

// Overwrites what a wrapper holds of a secret: its copy of the argument and
// the UTF-8 made from it.
template <class Wrapper>
void Wipe(Wrapper& argument, char* utf8) {
  auto* text = argument.GetStr();
  if (text) explicit_bzero(text, sizeof *text * static_cast<size_t>(argument.GetBufferLen()));
  if (utf8) explicit_bzero(utf8, std::strlen(utf8));
}

template <class Wrapper, class Char>
SQLRETURN ServerConnect(SQLHDBC ConnectionHandle, const Char* ServerHost, SQLINTEGER ServerHostLen,
                        const Char* Port, SQLINTEGER PortStrLen, const Char* UserName,
                        SQLSMALLINT UserNameLength, const Char* Password,
                        SQLSMALLINT PasswordLength) {
  constexpr bool wide = std::is_same_v<Char, SQLWCHAR>;
  // Wrapped under the lock, once the handle is known to be a connection.
  std::optional<Wrapper> host, port, user, password;
  char* hostUtf8 = nullptr;
  char* portUtf8 = nullptr;
  char* userUtf8 = nullptr;
  char* passwordUtf8 = nullptr;

  const SQLRETURN rc = qvoCallWith<qvoConnection>(
      ConnectionHandle, SQL_HANDLE_DBC,
      [&](qvoConnection& c) -> SQLRETURN {
        host.emplace(ServerHost, ServerHostLen);
        port.emplace(Port, PortStrLen);
        user.emplace(UserName, UserNameLength);
        password.emplace(Password, PasswordLength);
        if (IsEmptyArgument(UserName, UserNameLength))
          return QVO_DIAG(&c, _Error_converting_user_name_to_UTF_8_, -1);
        if (IsEmptyArgument(Password, PasswordLength))
          return QVO_DIAG(&c, _Error_converting_password_to_UTF_8_, -1);
        iconverter* conv = wide ? c.GetWcharSqlConverter() : c.GetSqlConverter();
        if (ServerHost && !(hostUtf8 = host->GetUTF8(conv)))
          return QVO_DIAG(&c, _Error_converting_host_name_to_UTF_8_, -1);
        if (Port && !(portUtf8 = port->GetUTF8(conv)))
          return QVO_DIAG(&c, _Error_converting_port_str_to_UTF_8_, -1);
        if (!(userUtf8 = user->GetUTF8(conv)))
          return QVO_DIAG(&c, _Error_converting_user_name_to_UTF_8_, -1);
        if (!(passwordUtf8 = password->GetUTF8(conv)))
          return QVO_DIAG(&c, _Error_converting_password_to_UTF_8_, -1);
        return SQL_SUCCESS;
      },
      [&](qvoConnection& c) {
        return c.qvoConnect(hostUtf8 ? hostUtf8 : "", SQL_NTS, portUtf8 ? portUtf8 : "", SQL_NTS,
                            userUtf8, SQL_NTS, passwordUtf8, SQL_NTS);
      });
  if (password) Wipe(*password, passwordUtf8);
  return rc;
}

}  // namespace

extern "C" {

SQLRETURN QVOServerConnect(SQLHDBC ConnectionHandle, const char* ServerHost,
                           SQLINTEGER ServerHostLen, const char* Port, SQLINTEGER PortStrLen,
                           const char* UserName, SQLSMALLINT UserNameLength, const char* Password,
                           SQLSMALLINT PasswordLength) {
  return ServerConnect<aString>(ConnectionHandle, ServerHost, ServerHostLen, Port, PortStrLen,
                                UserName, UserNameLength, Password, PasswordLength);
}

SQLRETURN QVOServerConnectW(SQLHDBC ConnectionHandle, const SQLWCHAR* ServerHost,
                            SQLINTEGER ServerHostLen, const SQLWCHAR* Port, SQLINTEGER PortStrLen,
                            const SQLWCHAR* UserName, SQLSMALLINT UserNameLength,
                            const SQLWCHAR* Password, SQLSMALLINT PasswordLength) {
  return ServerConnect<wString>(ConnectionHandle, ServerHost, ServerHostLen, Port, PortStrLen,
                                UserName, UserNameLength, Password, PasswordLength);
}

}  // extern "C"
