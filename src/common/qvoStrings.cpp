#include "common/qvoStrings.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "common/qvoArgStrings.h"

namespace {

// A length or size is either SQL_NTS or not negative.
constexpr bool BadLength(long len) { return len < 0 && len != SQL_NTS; }

// The shared body of qvoCopyStr and qvoCopyStrW once the source is measured.
template <typename Ch>
int CopyUnits(Ch* dest, const Ch* source, int n, int bufferLen, int termination) {
  if (bufferLen == SQL_NTS) {
    if (n > 0) std::memcpy(dest, source, n * sizeof(Ch));
    return n;
  }
  if (n < bufferLen) {
    if (n > 0) std::memcpy(dest, source, n * sizeof(Ch));
    if (termination == SQL_NTS) dest[n] = 0;
    return n;
  }
  const int copy = termination == SQL_NTS ? bufferLen - 1 : bufferLen;
  if (copy > 0) std::memcpy(dest, source, copy * sizeof(Ch));
  if (termination == SQL_NTS) dest[copy] = 0;
  return copy;
}

SQLWCHAR Upper(SQLWCHAR c) {
  // toupper is only defined on the unsigned char range.
  return c <= UCHAR_MAX ? static_cast<SQLWCHAR>(std::toupper(c)) : c;
}

}  // namespace

int qvoCopyStr(char* destStr, const char* sourceStr, int strLen, int bufferLen, int termination) {
  if (BadLength(bufferLen) || BadLength(strLen)) return -1;
  if (bufferLen == 0 || destStr == nullptr) return 0;
  if (sourceStr == nullptr) {
    destStr[0] = 0;
    return 0;
  }
  const int n = strLen == SQL_NTS ? static_cast<int>(std::strlen(sourceStr)) : strLen;
  return CopyUnits(destStr, sourceStr, n, bufferLen, termination);
}

int qvoCopyStrW(SQLWCHAR* destStr, const SQLWCHAR* sourceStr, int strLen, int bufferLen,
                int termination) {
  if (BadLength(bufferLen) || BadLength(strLen)) return -1;
  if (bufferLen == 0 || destStr == nullptr || sourceStr == nullptr) return 0;
  const int n = strLen == SQL_NTS ? qvoWcslen(sourceStr) : strLen;
  return CopyUnits(destStr, sourceStr, n, bufferLen, termination);
}

int qvoCopyStrOrGetLen(char* destStr, const char* sourceStr, int strLen, int bufferLen,
                       int termination) {
  if (destStr != nullptr) return qvoCopyStr(destStr, sourceStr, strLen, bufferLen, termination);
  if (BadLength(strLen)) return -1;
  if (sourceStr == nullptr) return 0;
  return strLen == SQL_NTS ? static_cast<int>(std::strlen(sourceStr)) : strLen;
}

int qvoStrCat(char* destStr, int bufferLen, const char* sourceStr) {
  if (destStr == nullptr || bufferLen <= 0) return -1;
  // A destination not terminated within its buffer has no room at all.
  const size_t used = strnlen(destStr, bufferLen);
  const size_t room = bufferLen - used;
  if (room < 1) return -1;
  if (sourceStr == nullptr) return 0;
  size_t s = std::strlen(sourceStr);
  if (s >= room) s = room - 1;
  std::memcpy(destStr + used, sourceStr, s);
  destStr[used + s] = 0;
  return 0;
}

int qvoSqlStrLen(const char* sqlStr, SQLINTEGER len) {
  if (sqlStr == nullptr) return 0;
  if (len == SQL_NTS) return static_cast<int>(std::strlen(sqlStr));
  return len < 0 ? 0 : len;
}

int qvoSqlWStrLen(const SQLWCHAR* sqlStr, SQLINTEGER len) {
  if (sqlStr == nullptr) return 0;
  if (len == SQL_NTS) return qvoWcslen(sqlStr);
  return len < 0 ? 0 : len;
}

int qvoWcslen(const SQLWCHAR* wStr) {
  if (wStr == nullptr) return 0;
  int n = 0;
  while (wStr[n] != 0) ++n;
  return n;
}

int qvoStrlen(const SQLCHAR* Str) {
  return Str == nullptr ? 0 : static_cast<int>(std::strlen(reinterpret_cast<const char*>(Str)));
}

int qvoWcscmp(const SQLWCHAR* wStr1, const SQLWCHAR* wStr2) {
  if (wStr1 == nullptr || wStr2 == nullptr) return -1;
  while (*wStr1 != 0 && *wStr1 == *wStr2) {
    ++wStr1;
    ++wStr2;
  }
  return *wStr1 == *wStr2 ? 0 : 1;
}

int qvoCharToWide(const char* sourceStr, int sourceStrLen, SQLWCHAR* destStr, int bufferLen,
                  int termination) {
  if (bufferLen == 0) return 0;
  if (destStr == nullptr || sourceStr == nullptr) return -1;
  if (BadLength(sourceStrLen) || BadLength(bufferLen)) return -1;
  if (sourceStrLen == 0 && bufferLen > 0) {
    destStr[0] = 0;
    return 0;
  }
  const int n = sourceStrLen == SQL_NTS ? static_cast<int>(std::strlen(sourceStr)) : sourceStrLen;
  const int limit = bufferLen == SQL_NTS ? n + 1 : bufferLen;
  // Under SQL_NTS termination the last unit of the buffer is the terminator's.
  int maxUnits = termination == SQL_NTS ? limit - 1 : limit;
  if (maxUnits > n) maxUnits = n;

  std::mbstate_t state{};
  int read = 0;
  int written = 0;
  while (read < n && written < maxUnits) {
    wchar_t wc = 0;
    const size_t rc = std::mbrtowc(&wc, sourceStr + read, n - read, &state);
    if (rc == static_cast<size_t>(-1) || rc == static_cast<size_t>(-2)) return -1;
    if (static_cast<unsigned long>(wc) > 0xFFFF) return -1;
    destStr[written++] = static_cast<SQLWCHAR>(wc);
    read += rc == 0 ? 1 : static_cast<int>(rc);  // an embedded zero byte is one unit
  }
  if (written < limit && termination == SQL_NTS) destStr[written] = 0;
  return written;
}

int qvoWideToChar(const SQLWCHAR* sourceStr, SQLINTEGER sourceStrLen, char* destStr,
                  SQLINTEGER bufferLen, int termination) {
  if (destStr == nullptr || sourceStr == nullptr) return -1;
  if (bufferLen == 0) return 0;
  if (BadLength(sourceStrLen) || BadLength(bufferLen)) return -1;
  if (sourceStrLen == 0 && bufferLen > 0) {
    destStr[0] = 0;
    return 0;
  }
  const int n = sourceStrLen == SQL_NTS ? qvoWcslen(sourceStr) : sourceStrLen;
  const int limit = bufferLen == SQL_NTS ? n + 1 : bufferLen;
  const int maxBytes = termination == SQL_NTS ? limit - 1 : limit;

  std::mbstate_t state{};
  int written = 0;
  for (int i = 0; i < n && i < limit; ++i) {
    char scratch[MB_LEN_MAX];
    const size_t rc = std::wcrtomb(scratch, static_cast<wchar_t>(sourceStr[i]), &state);
    if (rc == static_cast<size_t>(-1)) break;
    if (written + static_cast<int>(rc) > maxBytes) break;
    std::memcpy(destStr + written, scratch, rc);
    written += static_cast<int>(rc);
  }
  if (written < limit && termination == SQL_NTS) destStr[written] = 0;
  return written;
}

int OutputStr(const char* myStr, void* destBuffer, qvo_int16 bufferLen, qvo_int16* outStrLen) {
  if (myStr == nullptr) myStr = "";
  const int full = static_cast<int>(std::strlen(myStr));
  if (destBuffer == nullptr) {
    if (outStrLen != nullptr) *outStrLen = static_cast<qvo_int16>(full);
    return 0;
  }
  const int copied = qvoCopyStr(static_cast<char*>(destBuffer), myStr, full, bufferLen, SQL_NTS);
  if (copied < 0) return -1;
  if (outStrLen == nullptr) return 0;
  *outStrLen = static_cast<qvo_int16>(copied);
  return copied != full ? 1 : 0;
}

int GetNumParams(const char* sqlStr) {
  if (sqlStr == nullptr) return 0;
  int count = 0;
  for (const char* p = sqlStr; *p != 0; ++p) {
    if (*p == '\'' || *p == '"') {
      // A literal or a quoted identifier; a doubled quote inside leaves and
      // re-enters it, which counts the same.
      const char* end = std::strchr(p + 1, *p);
      if (end == nullptr) break;
      p = end;
    } else if (p[0] == '-' && p[1] == '-') {
      while (p[1] != 0 && p[1] != '\n') ++p;
    } else if (p[0] == '/' && p[1] == '*') {
      const char* end = std::strstr(p + 2, "*/");
      if (end == nullptr) break;
      p = end + 1;
    } else if (*p == '?') {
      ++count;
    }
  }
  return count;
}

bool HasSearchPatterns(const char* ident) {
  if (ident == nullptr) return false;
  int backslashes = 0;
  for (const char* p = ident; *p != 0; ++p) {
    if ((*p == '_' || *p == '%') && backslashes % 2 == 0) return true;
    backslashes = *p == '\\' ? backslashes + 1 : 0;
  }
  return false;
}

bool HasStrValue(const char* ident) { return ident != nullptr && ident[0] != 0; }

int qvoCheckHostsString(const char* hstr) {
  if (hstr == nullptr || hstr[0] == 0) return 0;
  if (std::strlen(hstr) > 2 && hstr[0] == '/' && hstr[1] == '/') return 0;
  for (const char* p = hstr; *p != 0; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    const bool letterOrDigit =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && std::strchr(".,:- \t\r\n", c) == nullptr) return 1;
  }
  return 0;
}

int qvoKeyValueW(const SQLWCHAR* InStr, int iLength, const SQLWCHAR* sKey, SQLWCHAR* output,
                 int bufferSize) {
  if (BadLength(iLength)) return -1;
  if (InStr == nullptr || sKey == nullptr || output == nullptr) return 0;
  const int len = iLength == SQL_NTS ? qvoWcslen(InStr) : iLength;
  const int keyLen = qvoWcslen(sKey);
  const int searchLen = keyLen + 1;  // the key and its '='
  if (searchLen > len) return 0;

  auto matchesAt = [&](int pos) {
    if (pos + searchLen > len) return false;
    for (int k = 0; k < keyLen; ++k)
      if (Upper(InStr[pos + k]) != Upper(sKey[k])) return false;
    return InStr[pos + keyLen] == '=';
  };

  for (int pos = 0; pos + searchLen <= len; ++pos) {
    if (pos > 0 && InStr[pos - 1] != ';') continue;
    if (!matchesAt(pos)) continue;
    const int start = pos + searchLen;
    int end = start;
    while (end < len && InStr[end] != ';') ++end;
    if (end == start) continue;  // an empty value does not count
    const int valueLen = end - start;
    if (valueLen >= bufferSize) return -1;
    std::memcpy(output, InStr + start, valueLen * sizeof(SQLWCHAR));
    output[valueLen] = 0;
    return 1;
  }
  return 0;
}

int qvoKeyValue(const char* InStr, int iLength, const char* sKey, char* output, int bufferSize) {
  if (BadLength(iLength)) return -1;
  if (InStr == nullptr || sKey == nullptr || output == nullptr) return 0;
  if (bufferSize <= 0) return -1;
  wString wideIn(InStr, iLength);
  wString wideKey(sKey, SQL_NTS);
  wString value(bufferSize);
  const int found = qvoKeyValueW(wideIn.GetStr(), wideIn.GetStrLen(), wideKey.GetStr(),
                                 value.GetStr(), value.GetBufferLen());
  if (found != 1) return found;
  const char* multibyte = value.GetMultibyte();
  const int n = static_cast<int>(std::strlen(multibyte));
  if (n >= bufferSize) return -1;
  qvoCopyStr(output, multibyte, n, bufferSize, SQL_NTS);
  return 1;
}

int qvoReplaceKey(SQLCHAR* InStr, int iLength, const SQLCHAR* INsKey, const SQLCHAR* sNewValue,
                  int nAdd, int bufferSize) {
  constexpr size_t kSearchArea = 1024;  // key, '=' and terminator
  if (InStr == nullptr || bufferSize <= 0 || BadLength(iLength)) return -1;
  char* text = reinterpret_cast<char*>(InStr);
  const size_t textLen = strnlen(text, bufferSize);
  if (textLen == static_cast<size_t>(bufferSize)) return -1;  // no terminator in the buffer

  const char* key = INsKey ? reinterpret_cast<const char*>(INsKey) : "";
  const char* newValue = sNewValue ? reinterpret_cast<const char*>(sNewValue) : "";
  const size_t keyLen = std::strlen(key);
  if (keyLen + 2 > kSearchArea) return -1;  // refused rather than cut
  const std::string search = std::string(key) + "=";

  long len = iLength == SQL_NTS ? static_cast<long>(textLen) : iLength;
  if (static_cast<long>(search.size()) > len) return -1;

  // Edit a copy, so that a refused edit leaves the caller's text as it was.
  std::string s(text, textLen);
  const size_t newLen = std::strlen(newValue);
  bool replaced = false;
  size_t pos = 1;
  while (pos + search.size() <= static_cast<size_t>(len) && pos < s.size()) {
    const char before = s[pos - 1];
    if ((before != ';' && before != ' ') || s.compare(pos, search.size(), search) != 0) {
      ++pos;
      continue;
    }
    const size_t start = pos + search.size();
    size_t end = s.find(';', start);
    if (end == std::string::npos) end = s.size();
    if (static_cast<long>(end) > len) return -10;
    s.replace(start, end - start, newValue, newLen);
    len += static_cast<long>(newLen) - static_cast<long>(end - start);
    replaced = true;
    pos = start + newLen;
  }
  if (!replaced && nAdd == 1) {
    if (s.empty() || s.back() != ';') s += ';';
    s += search;
    s += newValue;
    s += ';';
  }
  if (s.size() + 1 > static_cast<size_t>(bufferSize)) return -1;
  std::memcpy(text, s.c_str(), s.size() + 1);
  return static_cast<int>(s.size());
}
