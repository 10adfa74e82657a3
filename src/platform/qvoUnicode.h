// UTF-8 checks used where text is taken without conversion.
#pragma once

#include <cstddef>

namespace Unicode {

// True when the bytes are well-formed UTF-8: no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut at the end.
bool isValidUtf8Bytestream(const char* bytes, size_t len);

// Bytes of the sequence that `lead` begins (1 to 4), or 0 when it cannot
// begin one (a continuation byte, an overlong or out-of-range lead).
size_t Utf8SequenceLength(unsigned char lead);

// The longest prefix of at most maxBytes bytes of the UTF-8 text that ends on
// a character boundary, so that a cut text never ends inside a sequence.
size_t Utf8CutLength(const char* bytes, size_t len, size_t maxBytes);

// What Utf8ToUtf16 made of a text.
struct Utf16Result {
  size_t written = 0;  // code units stored (never half of a surrogate pair)
  size_t total = 0;    // code units of the whole text
  size_t badAt = 0;    // byte offset of the first ill-formed sequence
  bool valid = true;   // false: the text is not well-formed UTF-8
};

// UTF-8 -> UTF-16 in host order into out (maxUnits units; out may be
// unaligned and is only written there), counting the units of the whole text
// so that a cut caller can report the full length. Characters are written
// whole: a surrogate pair that does not fit is left out with everything after
// it. Ill-formed input (as isValidUtf8Bytestream) ends the conversion.
Utf16Result Utf8ToUtf16(const char* bytes, size_t len, char* out, size_t maxUnits);

}  // namespace Unicode
