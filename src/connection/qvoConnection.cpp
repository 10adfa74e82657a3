#include "connection/qvoConnection.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "handles/qvoEnvironment.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoProtocolVersion.h"
#include "transport/qvoSocket.h"

namespace {

// Copies at most maxChars bytes of a text of `length` bytes (negative: up to
// its terminator) into field, terminated.
void CopyCut(char* field, size_t maxChars, const char* text, int length) {
  size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  if (n > maxChars) n = maxChars;
  std::memcpy(field, text, n);
  field[n] = '\0';
}

}  // namespace

qvoConnection::qvoConnection(qvoEnvironment* env) {
  handleType = SQL_HANDLE_DBC;
  if (env) connAttr.attrOutputNTS = env->GetAttrOutputNts();
  protocolVersion = kCurrentProtocol;
  SetMaxIdentifierLength(128);
  allocatingError = CreateConverters();
  if (env && allocatingError == SQL_SUCCESS)
    allocatingError = SetDriverUnicodeType(env->GetDriverUnicodeType(), env);
  const char* locale = std::setlocale(LC_CTYPE, nullptr);
  SetTranslatorLangCode(messages.GetLangCode(locale ? locale : ""));
}

qvoConnection::~qvoConnection() {
  if (logFull) {
    Log("qvoConnection::~qvoConnection()\n");
    LogHandleTable();
  }
  // Nothing of the connection may outlive it: the disconnect frees its
  // statements and the descriptors allocated under it, tells the server and
  // drops the socket. A destructor must not throw (memory running out while
  // the server is told): the members go regardless.
  try {
    qvoDisconnect(true);
  } catch (...) {
  }
}

void qvoConnection::SetMaxIdentifierLength(int value) {
  // The byte limit is four times the character limit and must stay an int.
  maxIdentifierLength = std::clamp(value, 40, INT_MAX / 4);
  maxIdentifierOctetLength = 4 * maxIdentifierLength;
}

void qvoConnection::SetQueryTimeoutValue(SQLUINTEGER value) {
  if (logFull) Log("SetQueryTimeoutValue(%llu)\n", static_cast<unsigned long long>(value));
  connAttr.queryTimeout = value;
}

std::string qvoConnection::GetCurrentSchema() const {
  qvoMutex lock(settingsMutex);
  return connAttr.currentSchema ? std::string(connAttr.currentSchema.get()) : std::string();
}

std::string qvoConnection::GetSearchStringEscape() const {
  qvoMutex lock(settingsMutex);
  return connAttr.searchStringEscape;
}

std::string qvoConnection::DiagServerName() const {
  qvoMutex lock(settingsMutex);
  return connAttr.dsnName ? std::string(connAttr.dsnName.get()) : std::string();
}

void qvoConnection::SetDateFormat(const char* text, int length) {
  if (text) CopyCut(dateFormat, sizeof dateFormat - 1, text, length);
}

void qvoConnection::SetDateTimeFormat(const char* text, int length) {
  if (!text) return;
  CopyCut(dateTimeFormat, sizeof dateTimeFormat - 1, text, length);
  // A first "FF" without a digit after it leaves the precision as it was.
  const char* ff = std::strstr(dateTimeFormat, "FF");
  if (ff && ff[2] >= '0' && ff[2] <= '9') dateTimePrecision = ff[2] - '0';
}

void qvoConnection::SetServerVersion(const char* text, int length) {
  serverVersion[0] = '\0';
  if (text && length > 0 && length <= 259) CopyCut(serverVersion, 259, text, length);
}

void qvoConnection::SetServerRevision(const char* text, int length) {
  serverRevision[0] = '\0';
  if (text && length > 0 && length <= 259) CopyCut(serverRevision, 259, text, length);
}

void qvoConnection::SetIdentifierQuoteChar(const char* text, int length) {
  if (text) CopyCut(connAttr.identifierQuoteString, 15, text, length);
}

void qvoConnection::SetEscapePattern(const char* text, int length) {
  if (text) CopyCut(connAttr.searchStringEscape, 15, text, length);
}

const char* qvoConnection::SetAppWcharType(SQLUINTEGER value) {
  const bool utf16 = value < 2;
  appWcharType = utf16 ? 1 : 2;
  iconverter* conv = wcharDataConverter.get();
  if (!conv) return nullptr;
  if (logFull)
    Log(utf16 ? "SetAppWcharType(%u) -> SetInstalledCurrentCodepage(wcharDataConverter, UTF-16)\n"
              : "SetAppWcharType(%u) -> SetInstalledCurrentCodepage(wcharDataConverter, UTF-8)\n",
        static_cast<unsigned>(value));
  if (SetInstalledCurrentCodepage(conv, utf16 ? QVO_UTF16_CODEPAGE : "UTF-8") != 0) return nullptr;
  return conv->GetCurrentCodepage();
}
