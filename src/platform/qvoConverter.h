// Character-set converters between UTF-8, the library's inner text, and a
// code page on the application's side.
//
// Units: every size, length and count of these functions is in bytes, for
// every code page, UTF-16 included. A length of SQL_NTS (-3) on input means
// "up to the terminator": a zero byte for UTF-8 input, a zero code unit of
// GetCharSize() bytes for code-page input.
//
// Conversions are whole-character: output is never cut inside a character,
// and a buffer that cannot take the whole text sets bufferFull.
#pragma once

#include <iconv.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

enum forceConversionMetods {
  abortOnError = 0,  // an unconvertible character fails the conversion
};

// Code page of wide text (SQLWCHAR) on this host: UTF-16 in host order.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define QVO_UTF16_CODEPAGE "UTF-16BE"
#else
#define QVO_UTF16_CODEPAGE "UTF-16LE"
#endif

class iconverter {
 public:
  // abortOnError is the only method: an unconvertible character fails the
  // conversion.
  explicit iconverter(forceConversionMetods method);
  ~iconverter();
  iconverter(const iconverter&) = delete;
  iconverter& operator=(const iconverter&) = delete;

  // Installs a code page; 0 on success, -1 (code page unchanged, error text
  // set) when the system cannot convert between it and UTF-8.
  int SetCurrentCodepage(const char* codepage);
  const char* GetCurrentCodepage() const { return codepage_.c_str(); }
  const char* GetLocalCodepage() const { return codepage_.c_str(); }
  // Bytes of one code unit: 2 for UTF-16, 4 for UTF-32, else 1. A converter
  // may be shared (a connection's): another thread may change the code page
  // meanwhile, so the size is read whole.
  int GetCharSize() const { return charSize_.load(std::memory_order_relaxed); }
  // True when the code page is UTF-8: text passes through unchanged.
  bool ConversionDeactivated() const { return passThrough_; }
  // Why the last failed conversion failed. A converter may be shared (a
  // connection's): read it while holding the converter, in the run whose
  // conversion failed, or use the free GetErrorMessage, which copies it.
  const char* GetErrorMessage() const { return error_.c_str(); }
  // Differs between any two converters and any two code pages one converter
  // held: what was read from a converter stays true while its stamp does.
  std::uint64_t Stamp() const { return stamp_; }

  // Code page -> UTF-8. Bytes written (no terminator), or -1.
  int ToCodeset(const char* input, int inputLen, char* output, int outputSize);
  // UTF-8 -> code page. Bytes written (no terminator), or -1.
  int FromCodeset(const char* input, int inputLen, char* output, int outputSize);
  // Bytes the whole UTF-8 text takes in the code page (no terminator), or -1.
  int FromCodesetLen(const char* input, int inputLen);

  // A run of conversions by one caller (a fetched column) takes the lock
  // once: Hold() returns it held, and the Held forms, which take no lock,
  // may only be called while it is. Other threads wait for the run to end.
  std::unique_lock<std::mutex> Hold() { return std::unique_lock<std::mutex>(lock_); }
  int FromCodesetHeld(const char* input, int inputLen, char* output, int outputSize);
  int FromCodesetLenHeld(const char* input, int inputLen);
  // As FromCodesetHeld, and marks in `ends` every length of the output that
  // ends on a character boundary of the code page (see EndsAt), so that the
  // text can be handed out in pieces that keep each character whole and join
  // to the whole text. The text is fed to the converter one character at a
  // time, which finds the boundaries of any code page (multi-byte, stateful,
  // with a byte-order mark) and costs more than one conversion of the whole:
  // meant for a text that is cut, once per text.
  int FromCodesetMarkedHeld(const char* input, int inputLen, char* output, int outputSize,
                            unsigned char* ends);
  // Bytes `ends` needs for an output of outputSize bytes.
  static constexpr std::size_t EndsBytes(std::size_t outputSize) { return outputSize / 8 + 1; }
  // True when a piece of n bytes of a marked output ends between characters.
  static bool EndsAt(const unsigned char* ends, std::size_t n) {
    return ((ends[n / 8] >> (n % 8)) & 1) != 0;
  }

  // Set by the last conversion when the output could not take the whole text.
  bool bufferFull = false;

 private:
  int Convert(iconv_t cd, const char* from, const char* to, const char* input, size_t inputLen,
              char* output, size_t outputSize, bool countOnly, unsigned char* ends = nullptr);
  void CloseDescriptors();

  std::string codepage_;
  std::string error_;
  std::uint64_t stamp_ = 0;
  std::atomic<int> charSize_ = 1;
  bool passThrough_ = false;
  iconv_t toUtf8_ = reinterpret_cast<iconv_t>(-1);
  iconv_t fromUtf8_ = reinterpret_cast<iconv_t>(-1);
  std::mutex lock_;  // an iconv descriptor keeps shift state
};

// A new converter whose code page is the application's code set
// (LC_CTYPE), or UTF-8 when that cannot be installed; null when none can be
// made (no code page at all can be installed).
iconverter* GetConverter(forceConversionMetods method);
void FreeConverter(iconverter* conv);
int SetInstalledCurrentCodepage(iconverter* conv, const char* codepage);
// A copy of the converter's error text, taken under its lock; "" without a
// converter. Another thread's conversion may have failed since: a caller
// that needs the reason of its own conversion reads it in its held run.
std::string GetErrorMessage(iconverter* conv);

// Code page -> UTF-8 into output; bytes written (no terminator), or -1.
int ToCodeset(iconverter* conv, const char* input, int inputLen, char* output, int outputSize);
// UTF-8 -> code page into output, terminated with a zero unit within
// outputSize. Bytes written without the terminator, or -1. An output smaller
// than one unit receives nothing and gives 0.
int FromCodesetNTS(iconverter* conv, const char* input, int inputLen, char* output, int outputSize);
// The same for a caller that holds the converter (iconverter::Hold).
int FromCodesetNTSHeld(iconverter* conv, const char* input, int inputLen, char* output,
                       int outputSize);
// Bytes the UTF-8 text takes in the converter's code page, or -1.
int FromCodesetLen(iconverter* conv, const char* input, int inputLen);

// For tests only, not part of the library's interface: from now on the
// code pages named (in any case) are refused by SetCurrentCodepage as the
// system refuses one it cannot convert, in every thread; an empty list
// refuses none again.
void qvoRefuseCodepagesForTests(std::vector<std::string> codepages);
