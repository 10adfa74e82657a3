#include "platform/qvoConverter.h"

#include <errno.h>
#include <langinfo.h>
#include <string.h>
#include <strings.h>

#include <atomic>
#include <memory>

#include "platform/qvoUnicode.h"

namespace {

constexpr int kNts = -3;
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

bool IsUtf8Name(const char* name) {
  return strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0;
}

// The code pages a test has the converters refuse.
std::mutex refusedMutex;
std::vector<std::string> refusedCodepages;  // under refusedMutex
std::atomic<bool> anyRefused{false};

bool Refused(const char* codepage) {
  if (!anyRefused.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> guard(refusedMutex);
  for (const std::string& r : refusedCodepages)
    if (strcasecmp(r.c_str(), codepage) == 0) return true;
  return false;
}

int CharSizeOf(const char* name) {
  if (strncasecmp(name, "UTF-16", 6) == 0 || strncasecmp(name, "UTF16", 5) == 0 ||
      strncasecmp(name, "UCS-2", 5) == 0 || strncasecmp(name, "UCS2", 4) == 0)
    return 2;
  if (strncasecmp(name, "UTF-32", 6) == 0 || strncasecmp(name, "UTF32", 5) == 0 ||
      strncasecmp(name, "UCS-4", 5) == 0 || strncasecmp(name, "UCS4", 4) == 0 ||
      strcasecmp(name, "WCHAR_T") == 0)
    return 4;
  return 1;
}

// Length up to the first zero unit of the given width.
size_t UnitStrlen(const char* s, int unit) {
  if (unit == 1) return strlen(s);
  size_t n = 0;
  for (;;) {
    bool zero = true;
    for (int k = 0; k < unit; ++k) zero = zero && s[n + k] == 0;
    if (zero) return n;
    n += unit;
  }
}

// UTF-8 to UTF-8 needs no conversion: a copy, cut at a character boundary
// when the output is too small.
int CopyUtf8(const char* input, size_t n, char* output, int outputSize, bool& bufferFull) {
  const size_t copy = Unicode::Utf8CutLength(input, n, static_cast<size_t>(outputSize));
  bufferFull = copy < n;
  if (copy) memcpy(output, input, copy);
  return static_cast<int>(copy);
}

void Mark(unsigned char* ends, size_t n) {
  ends[n / 8] |= static_cast<unsigned char>(1u << (n % 8));
}

}  // namespace

iconverter::iconverter(forceConversionMetods) {
  const char* local = nl_langinfo(CODESET);
  if (local == nullptr || *local == 0 || SetCurrentCodepage(local) != 0)
    SetCurrentCodepage("UTF-8");
  error_.clear();
}

iconverter::~iconverter() { CloseDescriptors(); }

void iconverter::CloseDescriptors() {
  if (toUtf8_ != kNoDescriptor) iconv_close(toUtf8_);
  if (fromUtf8_ != kNoDescriptor) iconv_close(fromUtf8_);
  toUtf8_ = fromUtf8_ = kNoDescriptor;
}

namespace {
std::atomic<std::uint64_t> codepageStamps{0};
std::uint64_t NextCodepageStamp() {
  return codepageStamps.fetch_add(1, std::memory_order_relaxed) + 1;
}
}  // namespace

int iconverter::SetCurrentCodepage(const char* codepage) {
  std::lock_guard<std::mutex> guard(lock_);
  if (codepage == nullptr || *codepage == 0) {
    error_ = "No code page given.";
    return -1;
  }
  if (Refused(codepage)) {
    error_ = std::string("Code page ") + codepage + " is not supported.";
    return -1;
  }
  if (IsUtf8Name(codepage)) {
    CloseDescriptors();
    codepage_ = codepage;
    charSize_ = 1;
    passThrough_ = true;
    stamp_ = NextCodepageStamp();
    return 0;
  }
  iconv_t to = iconv_open("UTF-8", codepage);
  iconv_t from = to == kNoDescriptor ? kNoDescriptor : iconv_open(codepage, "UTF-8");
  if (to == kNoDescriptor || from == kNoDescriptor) {
    if (to != kNoDescriptor) iconv_close(to);
    error_ = std::string("Code page ") + codepage + " is not supported.";
    return -1;
  }
  CloseDescriptors();
  toUtf8_ = to;
  fromUtf8_ = from;
  codepage_ = codepage;
  charSize_ = CharSizeOf(codepage);
  passThrough_ = false;
  stamp_ = NextCodepageStamp();
  return 0;
}

int iconverter::Convert(iconv_t cd, const char* from, const char* to, const char* input,
                        size_t inputLen, char* output, size_t outputSize, bool countOnly,
                        unsigned char* ends) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
  char* in = const_cast<char*>(input);
  size_t inLeft = inputLen;
  size_t total = 0;
  char scratch[256];
  // Marking: each call takes one character, so every output it ends with
  // ends on a boundary; the first character is offered room a byte at a
  // time, so that what the converter writes ahead of it (a byte-order mark)
  // ends on a boundary of its own, as a cut of the whole text would.
  size_t offer = 1;
  if (ends) {
    memset(ends, 0, EndsBytes(outputSize));
    Mark(ends, 0);
  }
  for (;;) {
    char* out = countOnly ? scratch : output + total;
    const size_t room = countOnly ? sizeof scratch : outputSize - total;
    size_t window = inLeft;
    if (ends && inLeft > 0) {
      const size_t one = Unicode::Utf8SequenceLength(static_cast<unsigned char>(*in));
      window = one == 0 ? 1 : one < inLeft ? one : inLeft;
    }
    const bool probing = ends && in == input && inLeft > 0 && offer < room;
    size_t outLeft = probing ? offer : room;
    const size_t before = outLeft;
    size_t windowLeft = window;
    const size_t rc = iconv(cd, inLeft ? &in : nullptr, &windowLeft, &out, &outLeft);
    inLeft -= window - windowLeft;
    total += before - outLeft;
    if (ends && outLeft != before) Mark(ends, total);
    if (rc != static_cast<size_t>(-1)) {
      if (inLeft == 0) {
        // Flush a final shift sequence, if the code page has one.
        out = countOnly ? scratch : output + total;
        outLeft = countOnly ? sizeof scratch : outputSize - total;
        const size_t flushBefore = outLeft;
        if (iconv(cd, nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1)) {
          bufferFull = true;
          return static_cast<int>(total);
        }
        total += flushBefore - outLeft;
        if (ends) Mark(ends, total);
        return static_cast<int>(total);
      }
      continue;
    }
    if (errno == E2BIG) {
      if (countOnly) continue;
      if (probing) {
        offer = outLeft != before ? 1 : offer + 1;
        continue;
      }
      bufferFull = true;
      return static_cast<int>(total);
    }
    const size_t at = inputLen - inLeft;
    error_ = std::string("Cannot convert from ") + from + " to " + to + ": " +
             (errno == EINVAL ? "incomplete" : "invalid or unconvertible") + " character at byte " +
             std::to_string(at) + ".";
    return -1;
  }
}

int iconverter::ToCodeset(const char* input, int inputLen, char* output, int outputSize) {
  std::lock_guard<std::mutex> guard(lock_);
  bufferFull = false;
  if (input == nullptr || output == nullptr || outputSize < 0) return -1;
  if (inputLen < 0 && inputLen != kNts) return -1;
  const size_t n = inputLen == kNts ? UnitStrlen(input, charSize_) : static_cast<size_t>(inputLen);
  if (passThrough_) return CopyUtf8(input, n, output, outputSize, bufferFull);
  return Convert(toUtf8_, codepage_.c_str(), "UTF-8", input, n, output, outputSize, false);
}

int iconverter::FromCodeset(const char* input, int inputLen, char* output, int outputSize) {
  std::lock_guard<std::mutex> guard(lock_);
  return FromCodesetHeld(input, inputLen, output, outputSize);
}

int iconverter::FromCodesetHeld(const char* input, int inputLen, char* output, int outputSize) {
  bufferFull = false;
  if (input == nullptr || outputSize < 0 || (output == nullptr && outputSize > 0)) return -1;
  if (inputLen < 0 && inputLen != kNts) return -1;
  const size_t n = inputLen == kNts ? strlen(input) : static_cast<size_t>(inputLen);
  if (passThrough_) return CopyUtf8(input, n, output, outputSize, bufferFull);
  if (outputSize == 0) {
    bufferFull = n > 0;
    return 0;
  }
  return Convert(fromUtf8_, "UTF-8", codepage_.c_str(), input, n, output, outputSize, false);
}

int iconverter::FromCodesetMarkedHeld(const char* input, int inputLen, char* output, int outputSize,
                                      unsigned char* ends) {
  bufferFull = false;
  if (input == nullptr || outputSize < 0 || (output == nullptr && outputSize > 0) ||
      ends == nullptr)
    return -1;
  if (inputLen < 0 && inputLen != kNts) return -1;
  const size_t n = inputLen == kNts ? strlen(input) : static_cast<size_t>(inputLen);
  if (!passThrough_)
    return Convert(fromUtf8_, "UTF-8", codepage_.c_str(), input, n, output,
                   static_cast<size_t>(outputSize), false, ends);
  const int copied = CopyUtf8(input, n, output, outputSize, bufferFull);
  memset(ends, 0, EndsBytes(static_cast<size_t>(outputSize)));
  for (int k = 0; k <= copied; ++k)
    if (k == copied || (static_cast<unsigned char>(output[k]) & 0xC0) != 0x80) Mark(ends, k);
  return copied;
}

int iconverter::FromCodesetLen(const char* input, int inputLen) {
  std::lock_guard<std::mutex> guard(lock_);
  return FromCodesetLenHeld(input, inputLen);
}

int iconverter::FromCodesetLenHeld(const char* input, int inputLen) {
  bufferFull = false;
  if (input == nullptr || (inputLen < 0 && inputLen != kNts)) return -1;
  const size_t n = inputLen == kNts ? strlen(input) : static_cast<size_t>(inputLen);
  if (passThrough_) return static_cast<int>(n);
  return Convert(fromUtf8_, "UTF-8", codepage_.c_str(), input, n, nullptr, 0, true);
}

iconverter* GetConverter(forceConversionMetods method) {
  // Callers take null as "no converter"; nothing may be thrown at them.
  try {
    auto conv = std::make_unique<iconverter>(method);
    // Without any code page it could convert nothing.
    if (*conv->GetCurrentCodepage() == 0) return nullptr;
    return conv.release();
  } catch (...) {
    return nullptr;
  }
}

void qvoRefuseCodepagesForTests(std::vector<std::string> codepages) {
  std::lock_guard<std::mutex> guard(refusedMutex);
  refusedCodepages = std::move(codepages);
  anyRefused.store(!refusedCodepages.empty(), std::memory_order_release);
}

void FreeConverter(iconverter* conv) { delete conv; }

int SetInstalledCurrentCodepage(iconverter* conv, const char* codepage) {
  return conv ? conv->SetCurrentCodepage(codepage) : -1;
}

std::string GetErrorMessage(iconverter* conv) {
  if (conv == nullptr) return {};
  const std::unique_lock<std::mutex> held = conv->Hold();
  return conv->GetErrorMessage();
}

int ToCodeset(iconverter* conv, const char* input, int inputLen, char* output, int outputSize) {
  return conv ? conv->ToCodeset(input, inputLen, output, outputSize) : -1;
}

int FromCodesetNTS(iconverter* conv, const char* input, int inputLen, char* output,
                   int outputSize) {
  if (conv == nullptr || output == nullptr) return -1;
  // The terminator has the width of the code page the text is converted
  // into, even when another thread changes it meanwhile.
  const std::unique_lock<std::mutex> held = conv->Hold();
  return FromCodesetNTSHeld(conv, input, inputLen, output, outputSize);
}

int FromCodesetNTSHeld(iconverter* conv, const char* input, int inputLen, char* output,
                       int outputSize) {
  if (conv == nullptr || output == nullptr) return -1;
  const int unit = conv->GetCharSize();
  if (outputSize < unit) {
    conv->bufferFull = input != nullptr && inputLen != 0 && !(inputLen == kNts && *input == 0);
    return 0;
  }
  const int n = conv->FromCodesetHeld(input, inputLen, output, outputSize - unit);
  if (n < 0) return -1;
  memset(output + n, 0, unit);
  return n;
}

int FromCodesetLen(iconverter* conv, const char* input, int inputLen) {
  return conv ? conv->FromCodesetLen(input, inputLen) : -1;
}
