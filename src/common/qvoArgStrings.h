// Wrappers of the text arguments of one interface call: aString for narrow
// text in the application's code set, wString for SQLWCHAR text. Each owns a
// copy of the argument (128 characters inline, larger texts on the heap),
// remembers whether the argument was a null pointer, and makes UTF-8 with a
// converter of the handle.
//
// A negative length other than SQL_NTS is refused: the wrapper holds an empty
// text, HasInvalidLength() is true and GetUTF8 gives null, so that the caller
// raises "Invalid string or buffer length." instead of reading an argument
// past its end.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/qvoConverter.h"
#include "qvo/qvoDefs.h"

class aString {
 public:
  // An empty work area for a result of len bytes (1025 bytes for a negative len).
  explicit aString(int len);
  // A copy of narrow text of len bytes (SQL_NTS: zero-terminated).
  aString(const char* input, int len);
  // Application text made from UTF-8 input through conv.
  aString(iconverter* conv, const char* input, int len);
  // Application (multibyte) text made from wide input.
  aString(const SQLWCHAR* input, int len);
  ~aString() = default;
  aString(const aString&) = delete;
  aString& operator=(const aString&) = delete;

  // Replaces the text by len bytes of input; returns the text, or null for a
  // bad length.
  char* SetVal(const char* input, int len);

  char* GetStr() { return str; }
  int GetBufferLen() const { return bufferLen; }
  int GetStrLen() const;
  // The explicit length given at construction or the text's length, the larger.
  int GetStrLenMax() const;
  bool HasInvalidLength() const { return invalidLength; }

  // UTF-8 of the whole text (GetStrLenMax() bytes); null on a conversion error
  // or a refused length. Valid until the next conversion or destruction.
  char* GetUTF8(iconverter* conv);
  char* GetUTF8orNULL(iconverter* conv);
  int GetUTF8Len() const { return utflen; }

  bool isYES() const { return isChar('y', 'Y'); }
  bool isNO() const { return isChar('n', 'N'); }

 private:
  void UseHeap(size_t bytes);
  bool isChar(char lower, char upper) const;

  int utflen = 0;
  char* str = stackBuffer;
  char stackBuffer[128] = {};
  int bufferLen = sizeof stackBuffer;
  std::unique_ptr<char[]> heap;
  std::unique_ptr<char[]> utfBuffer;
  bool wasNull = false;
  int utf8len = 0;
  int fixLen = 0;
  bool invalidLength = false;
};

class wString {
 public:
  // An empty work area of len units (1025 for a negative len).
  explicit wString(int len);
  // A copy of wide text of len units (SQL_NTS: zero-terminated).
  wString(const SQLWCHAR* input, int len);
  // Narrow text of the current locale, converted unit by unit.
  wString(const char* input, int len);
  // wchar_t text; each character gives its low 16 bits.
  wString(const wchar_t* input, int len);
  ~wString() = default;
  wString(const wString&) = delete;
  wString& operator=(const wString&) = delete;

  // Replaces the text by len bytes of narrow input; returns the text, or null
  // when the input fails to convert or the length is refused.
  SQLWCHAR* SetVal(const char* input, int len);
  // Appends the source text, cut to the buffer; returns the new length.
  int Concat(const wString* source);
  int Concat(const char* source);

  SQLWCHAR* GetStr() { return str; }
  int GetBufferLen() const { return bufferLen; }
  int GetStrLen() const;
  int GetStrLenMax() const;
  bool HasInvalidLength() const { return invalidLength; }

  // UTF-8 of the whole text through a UTF-16 converter; as aString::GetUTF8.
  char* GetUTF8(iconverter* conv);
  char* GetUTF8orNULL(iconverter* conv);
  int GetUTF8Len() const { return utflen; }
  // The text in the locale's multibyte code set; a unit the locale cannot
  // express becomes '?'.
  char* GetMultibyte();
  // The whole buffer as wchar_t, terminator included.
  wchar_t* GetWchar_tStr();

  bool isYES() const { return isChar('y', 'Y'); }
  bool isNO() const { return isChar('n', 'N'); }
  bool isYesOrNo() const { return isYES() || isNO(); }
  bool isForce() const { return isChar('f', 'F'); }
  bool isZero() const { return isChar('0', '0'); }
  bool isOne() const { return isChar('1', '1'); }
  bool isTwo() const { return isChar('2', '2'); }
  // Case-blind comparison of the multibyte text with cmpStr; false for null.
  bool compare_char(const char* cmpStr);

 private:
  void UseHeap(size_t units);
  void EnsureUtfBuffer();
  bool isChar(char lower, char upper) const;

  std::unique_ptr<wchar_t[]> wctStr;
  int utflen = 0;
  SQLWCHAR* str = stackBuffer;
  SQLWCHAR stackBuffer[128] = {};
  int bufferLen = 128;
  std::unique_ptr<SQLWCHAR[]> heap;
  std::unique_ptr<char[]> utfBuffer;
  int utf8len = 0;
  bool wasNull = false;
  int fixLen = 0;
  bool invalidLength = false;
  int unitsMade = 0;  // units the last SetVal made
};
