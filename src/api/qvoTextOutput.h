// A text output of an exported function: the UTF-8 text the object keeps,
// converted into the application's buffer.
#pragma once

#include <string>

#include "platform/qvoConverter.h"

// Converts a UTF-8 text into out (capacity bytes), cut on a character and
// terminated. *fullBytes: the whole converted text's bytes; *cut: out holds
// less than the whole text. False when the text cannot be converted.
inline bool qvoDeliverText(iconverter* conv, const std::string& utf8, char* out, int capacity,
                           int unit, int* fullBytes, bool* cut) {
  const int full = FromCodesetLen(conv, utf8.data(), static_cast<int>(utf8.size()));
  if (full < 0) return false;
  *fullBytes = full;
  *cut = false;
  if (!out) return true;
  if (capacity < unit) {
    *cut = full > 0;
    return true;
  }
  const int n = FromCodesetNTS(conv, utf8.data(), static_cast<int>(utf8.size()), out, capacity);
  if (n < 0) return false;
  *cut = n < full;
  return true;
}
