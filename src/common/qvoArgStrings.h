// Wrappers of the text arguments of one interface call: aString for narrow
// text in the application's code set, wString for SQLWCHAR text. Each owns a
// copy of the argument (128 characters inline, larger texts on the heap),
// remembers whether the argument was a null pointer, and makes UTF-8 with a
// converter of the handle. What does not depend on the character unit lives
// once, in qvoArgText; the two classes add their own conversions.
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

// The text of one argument in units of Unit (char or SQLWCHAR).
template <class Unit>
class qvoArgText {
 public:
  qvoArgText(const qvoArgText&) = delete;
  qvoArgText& operator=(const qvoArgText&) = delete;

  Unit* GetStr() { return str; }
  // In units.
  int GetBufferLen() const { return bufferLen; }
  int GetStrLen() const;
  // The explicit length given at construction or the text's length, the larger.
  int GetStrLenMax() const;
  bool HasInvalidLength() const { return invalidLength; }

  // UTF-8 of the whole text (GetStrLenMax() units) through conv, a converter
  // that reads text of this unit; null on a conversion error or a refused
  // length. Valid until the next conversion or destruction.
  char* GetUTF8(iconverter* conv);
  char* GetUTF8orNULL(iconverter* conv);
  int GetUTF8Len() const { return utflen; }

  bool isYES() const { return isChar('y', 'Y'); }
  bool isNO() const { return isChar('n', 'N'); }

 protected:
  qvoArgText() = default;
  // An empty work area for a result of len units (1025 for a negative len).
  explicit qvoArgText(int len);
  // A copy of len units of input (SQL_NTS: zero-terminated).
  qvoArgText(const Unit* input, int len);
  ~qvoArgText() = default;

  // Notes a null input and a refused length; true when there is text to take.
  bool Accept(const void* input, int len);
  // Starts a value given anew: false, and an empty text, for a refused length.
  bool BeginValue(int len);
  // Replaces the text by n units of input.
  void CopyIn(const Unit* input, int n);
  void UseHeap(size_t units);
  // A UTF-8 (or multibyte) buffer for the whole text, emptied.
  void EnsureUtfBuffer();
  bool isChar(char lower, char upper) const;

  int utflen = 0;
  Unit* str = stackBuffer;
  Unit stackBuffer[128] = {};
  int bufferLen = 128;
  std::unique_ptr<Unit[]> heap;
  std::unique_ptr<char[]> utfBuffer;
  int utf8len = 0;
  bool wasNull = false;
  int fixLen = 0;
  bool invalidLength = false;
};

extern template class qvoArgText<char>;
extern template class qvoArgText<SQLWCHAR>;

class aString : public qvoArgText<char> {
 public:
  // An empty work area for a result of len bytes (1025 bytes for a negative len).
  explicit aString(int len) : qvoArgText(len) {}
  // A copy of narrow text of len bytes (SQL_NTS: zero-terminated).
  aString(const char* input, int len) : qvoArgText(input, len) {}
  // Application text made from UTF-8 input through conv.
  aString(iconverter* conv, const char* input, int len);
  // Application (multibyte) text made from wide input.
  aString(const SQLWCHAR* input, int len);

  // Replaces the text by len bytes of input; returns the text, or null for a
  // bad length.
  char* SetVal(const char* input, int len);
};

class wString : public qvoArgText<SQLWCHAR> {
 public:
  // An empty work area of len units (1025 for a negative len).
  explicit wString(int len) : qvoArgText(len) {}
  // A copy of wide text of len units (SQL_NTS: zero-terminated).
  wString(const SQLWCHAR* input, int len) : qvoArgText(input, len) {}
  // Narrow text of the current locale, converted unit by unit.
  wString(const char* input, int len);
  // wchar_t text; each character gives its low 16 bits.
  wString(const wchar_t* input, int len);

  // Replaces the text by len bytes of narrow input; returns the text, or null
  // when the input fails to convert or the length is refused.
  SQLWCHAR* SetVal(const char* input, int len);
  // Appends the source text, cut to the buffer; returns the new length.
  int Concat(const wString* source);
  int Concat(const char* source);

  // The text in the locale's multibyte code set; a unit the locale cannot
  // express becomes '?'.
  char* GetMultibyte();
  // The whole buffer as wchar_t, terminator included.
  wchar_t* GetWchar_tStr();

  bool isYesOrNo() const { return isYES() || isNO(); }
  bool isForce() const { return isChar('f', 'F'); }
  bool isZero() const { return isChar('0', '0'); }
  bool isOne() const { return isChar('1', '1'); }
  bool isTwo() const { return isChar('2', '2'); }
  // Case-blind comparison of the multibyte text with cmpStr; false for null.
  bool compare_char(const char* cmpStr);

 private:
  std::unique_ptr<wchar_t[]> wctStr;
  int unitsMade = 0;  // units the last SetVal made
};
