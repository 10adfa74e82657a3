// UTF-8 checks used where text is taken without conversion.
#pragma once

#include <cstddef>

namespace Unicode {

// True when the bytes are well-formed UTF-8: no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut at the end.
bool isValidUtf8Bytestream(const char* bytes, size_t len);

// The longest prefix of at most maxBytes bytes of the UTF-8 text that ends on
// a character boundary, so that a cut text never ends inside a sequence.
size_t Utf8CutLength(const char* bytes, size_t len, size_t maxBytes);

}  // namespace Unicode
