// What the oracle targets share: the input read byte by byte, the trail of
// the calls made so far, and the stop at a difference, which names the
// target and lists the calls that led to it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace oracle {

// Set by the target: the name a difference is reported under.
inline const char* targetName = "oracle";
inline std::string trail;

[[noreturn]] inline void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::fprintf(stderr, "%s: ", targetName);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fprintf(stderr, "\n  calls: %s\n", trail.c_str());
  std::abort();
}

inline void Note(const char* format, ...) {
  char line[96];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  trail += line;
  trail += "; ";
}

// Reads the input; past its end every byte is 0.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool Done() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// One input of a target: `Run` reads it and makes its calls. With the
// environment variable `traceVariable` set, the calls of every input are
// listed on stderr (to read what a seed does).
template <class Run>
int RunInput(const char* name, const char* traceVariable, const uint8_t* data, size_t size) {
  targetName = name;
  trail.clear();
  Input in(data, size);
  Run run(in);
  run.Go();
  static const bool traced = std::getenv(traceVariable) != nullptr;
  if (traced) std::fprintf(stderr, "calls: %s\n", trail.c_str());
  return 0;
}

}  // namespace oracle
