#include "common/qvoArgStrings.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>

#include "common/qvoStrings.h"

namespace {

constexpr bool BadLength(int len) { return len < 0 && len != SQL_NTS; }

// Room for a negative work-area size.
constexpr int kDefaultWorkArea = 1025;

int UnitLength(const char* text) { return static_cast<int>(std::strlen(text)); }
int UnitLength(const SQLWCHAR* text) { return qvoWcslen(text); }

void CopyUnits(char* to, const char* from, int n, int room) {
  qvoCopyStr(to, from, n, room, SQL_NTS);
}
void CopyUnits(SQLWCHAR* to, const SQLWCHAR* from, int n, int room) {
  qvoCopyStrW(to, from, n, room, SQL_NTS);
}

}  // namespace

// ---------------------------------------------------------------- qvoArgText

template <class Unit>
qvoArgText<Unit>::qvoArgText(int len) {
  if (len < 0)
    UseHeap(kDefaultWorkArea);
  else if (len >= static_cast<int>(std::size(stackBuffer)))
    UseHeap(static_cast<size_t>(len) + 1);
}

template <class Unit>
qvoArgText<Unit>::qvoArgText(const Unit* input, int len) {
  if (!Accept(input, len)) return;
  fixLen = len == SQL_NTS ? 0 : len;
  CopyIn(input, len == SQL_NTS ? UnitLength(input) : len);
}

template <class Unit>
bool qvoArgText<Unit>::Accept(const void* input, int len) {
  wasNull = input == nullptr;
  if (BadLength(len)) {
    invalidLength = true;
    return false;
  }
  return !wasNull;
}

template <class Unit>
bool qvoArgText<Unit>::BeginValue(int len) {
  if (BadLength(len)) {
    invalidLength = true;
    str[0] = 0;
    return false;
  }
  invalidLength = false;
  return true;
}

template <class Unit>
void qvoArgText<Unit>::CopyIn(const Unit* input, int n) {
  if (n >= bufferLen) UseHeap(static_cast<size_t>(n) + 1);
  CopyUnits(str, input, n, bufferLen);
}

template <class Unit>
void qvoArgText<Unit>::UseHeap(size_t units) {
  heap = std::make_unique<Unit[]>(units);  // zero-filled
  str = heap.get();
  bufferLen = static_cast<int>(units);
}

template <class Unit>
int qvoArgText<Unit>::GetStrLen() const {
  return UnitLength(str);
}

template <class Unit>
int qvoArgText<Unit>::GetStrLenMax() const {
  return std::max(fixLen, GetStrLen());
}

template <class Unit>
void qvoArgText<Unit>::EnsureUtfBuffer() {
  const int need = 4 * bufferLen + 1;
  if (utf8len < need) {
    utfBuffer = std::make_unique<char[]>(need);
    utf8len = need;
  }
  utfBuffer[0] = 0;
}

template <class Unit>
char* qvoArgText<Unit>::GetUTF8(iconverter* conv) {
  if (invalidLength) {
    utflen = -1;
    return nullptr;
  }
  EnsureUtfBuffer();
  utflen = 0;
  const int m = std::min(GetStrLenMax(), bufferLen) * static_cast<int>(sizeof(Unit));
  if (m == 0) return utfBuffer.get();
  // One byte stays free for the terminator.
  utflen = ToCodeset(conv, reinterpret_cast<const char*>(str), m, utfBuffer.get(), utf8len - 1);
  if (utflen < 0) {
    utflen = -1;
    return nullptr;
  }
  utfBuffer[utflen] = 0;
  return utfBuffer.get();
}

template <class Unit>
char* qvoArgText<Unit>::GetUTF8orNULL(iconverter* conv) {
  return wasNull ? nullptr : GetUTF8(conv);
}

template <class Unit>
bool qvoArgText<Unit>::isChar(char lower, char upper) const {
  return bufferLen >= 2 && (str[0] == Unit(lower) || str[0] == Unit(upper)) && str[1] == 0;
}

template class qvoArgText<char>;
template class qvoArgText<SQLWCHAR>;

// ---------------------------------------------------------------- aString

aString::aString(iconverter* conv, const char* input, int len) {
  if (!Accept(input, len)) return;
  const size_t n = len == SQL_NTS ? std::strlen(input) : static_cast<size_t>(len);
  if (n == 0) return;
  // Any code page takes at most four bytes per UTF-8 byte, plus a terminator
  // of up to four bytes: the text is never cut.
  const size_t need = 4 * n + 4;
  if (need > sizeof stackBuffer) UseHeap(need);
  if (FromCodesetNTS(conv, input, static_cast<int>(n), str, bufferLen) < 0)
    std::memset(str, 0, bufferLen);
}

aString::aString(const SQLWCHAR* input, int len) {
  if (!Accept(input, len)) return;
  const int n = len == SQL_NTS ? qvoWcslen(input) : len;
  if (n == 0) return;
  const size_t need = 4 * static_cast<size_t>(n) + 4;
  if (need > sizeof stackBuffer) UseHeap(need);
  if (qvoWideToChar(input, n, str, bufferLen, SQL_NTS) <= 0) str[0] = 0;
}

char* aString::SetVal(const char* input, int len) {
  if (!BeginValue(len)) return nullptr;
  if (input == nullptr) {
    str[0] = 0;
    return str;
  }
  CopyIn(input, len == SQL_NTS ? UnitLength(input) : len);
  return str;
}

// ---------------------------------------------------------------- wString

wString::wString(const char* input, int len) {
  wasNull = input == nullptr;
  // An explicit length counts bytes; the text keeps the units those bytes
  // made, embedded zero characters included.
  if (SetVal(input, len) != nullptr && !wasNull && len != SQL_NTS) fixLen = unitsMade;
}

wString::wString(const wchar_t* input, int len) {
  if (!Accept(input, len)) return;
  const size_t n = len == SQL_NTS ? std::wcslen(input) : static_cast<size_t>(len);
  if (n >= static_cast<size_t>(bufferLen)) UseHeap(n + 1);
  for (size_t i = 0; i < n; ++i) str[i] = static_cast<SQLWCHAR>(input[i] & 0xFFFF);
  str[n] = 0;
}

SQLWCHAR* wString::SetVal(const char* input, int len) {
  unitsMade = 0;
  if (!BeginValue(len)) return nullptr;
  if (input == nullptr) {
    std::fill(str, str + bufferLen, SQLWCHAR{0});
    return str;
  }
  const int n = len == SQL_NTS ? static_cast<int>(std::strlen(input)) : len;
  if (bufferLen < n + 1) UseHeap(static_cast<size_t>(n) + 1);
  const int made = qvoCharToWide(input, n, str, bufferLen, SQL_NTS);
  if (made < 0 || (made == 0 && n > 0)) {
    str[0] = 0;
    return nullptr;
  }
  unitsMade = made;
  return str;
}

int wString::Concat(const wString* source) {
  if (source != nullptr) {
    const int cur = GetStrLen();
    qvoCopyStrW(str + cur, source->str, SQL_NTS, bufferLen - cur, SQL_NTS);
  }
  return GetStrLen();
}

int wString::Concat(const char* source) {
  wString tmp(source, SQL_NTS);
  return Concat(&tmp);
}

char* wString::GetMultibyte() {
  EnsureUtfBuffer();
  const int n = GetStrLen();
  const int room = utf8len - 1;
  std::mbstate_t state{};
  int written = 0;
  for (int i = 0; i < n; ++i) {
    char scratch[MB_LEN_MAX];
    size_t rc = std::wcrtomb(scratch, static_cast<wchar_t>(str[i]), &state);
    if (rc == static_cast<size_t>(-1)) {
      scratch[0] = '?';
      rc = 1;
      state = std::mbstate_t{};
    }
    if (written + static_cast<int>(rc) > room) break;
    std::memcpy(utfBuffer.get() + written, scratch, rc);
    written += static_cast<int>(rc);
  }
  utfBuffer[written] = 0;
  utflen = written;
  return utfBuffer.get();
}

wchar_t* wString::GetWchar_tStr() {
  wctStr = std::make_unique<wchar_t[]>(bufferLen);
  for (int i = 0; i < bufferLen; ++i) wctStr[i] = static_cast<wchar_t>(str[i]);
  return wctStr.get();
}

bool wString::compare_char(const char* cmpStr) {
  if (cmpStr == nullptr) return false;
  return strcasecmp(GetMultibyte(), cmpStr) == 0;
}
