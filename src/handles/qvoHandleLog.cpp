// The handle log: lines of "hh:mm:ss.mmm\t<thread id>\t<message>" on a stream
// that the application hands to a connection. The library opens no file.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "handles/qvoHandle.h"
#include "handles/qvoHandleTable.h"
#include "platform/qvoThread.h"

namespace {

constexpr size_t kLogFileNameSize = 1024;
// A message is cut to kLogMessageLimit - 1 bytes.
constexpr size_t kLogMessageLimit = 32768;
constexpr int kStampSize = 32;

}  // namespace

void qvoHandle::SetLogFile(bool full, bool debugComm, FILE* file, const char* fileName,
                           qvoCriticalSection* fileMutex, SQLBIGINT fileLines) {
  logFull = full;
  logDebugComm = debugComm;
  logFile = file;
  logFileMutex = fileMutex;
  logFileLines = fileLines;
  logFileName.reset();
  if (fileName != nullptr) {
    logFileName = std::make_unique<char[]>(kLogFileNameSize);
    snprintf(logFileName.get(), kLogFileNameSize, "%s", fileName);
  }
}

void qvoHandle::SetLogStream(FILE* stream) {
  qvoMutex lock(&logLocalMutex);
  logFile = stream;
}

void qvoHandle::SetLogLock(qvoCriticalSection* fileMutex) {
  qvoMutex lock(&logLocalMutex);
  logFileMutex = fileMutex;
}

char* qvoHandle::GetTimeStr(char* buffer, int size, const struct timespec* time) {
  if (buffer == nullptr || size <= 0) return buffer;
  qvoMutex lock(cliGetTimeMutex);
  char text[64];
  const time_t seconds = time->tv_sec;
  if (ctime_r(&seconds, text) == nullptr) {
    snprintf(buffer, size < kStampSize ? size : kStampSize, "Invalid argument to ctime_r.");
    return buffer;
  }
  const unsigned short millis = static_cast<unsigned short>(time->tv_nsec / 1000000);
  // ctime_r: "Www Mmm dd hh:mm:ss yyyy\n"; the time of day starts at index 11.
  if (snprintf(buffer, size, "%.8s.%.03hu\t", text + 11, millis) < 0)
    snprintf(buffer, size < kStampSize ? size : kStampSize, "Error printing time.");
  return buffer;
}

int qvoHandle::Log(const char* format, ...) {
  // The handle's own lock first: the stream and its lock stay as they are
  // while the line is written; then the lock shared by the stream's users.
  qvoMutex local(&logLocalMutex);
  qvoMutex shared(logFileMutex);
  if (!logBuffer) logBuffer = std::make_unique<char[]>(kLogMessageLimit);
  char* message = logBuffer.get();
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(message, kLogMessageLimit, format, args);
  va_end(args);
  if (n < 0) message[0] = '\0';
  const size_t length = strlen(message);

  if (logFile != nullptr) {
    // The stream's own lock keeps the line whole, and its time in order,
    // also beside handles that write the stream under another lock or none
    // (an application need not give one).
    flockfile(logFile);
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    char stamp[kStampSize];
    GetTimeStr(stamp, sizeof stamp, &now);
    fwrite(stamp, 1, strlen(stamp), logFile);
    snprintf(stamp, sizeof stamp, "%llu\t", static_cast<unsigned long long>(thr_self()));
    fwrite(stamp, 1, strlen(stamp), logFile);
    fwrite(message, 1, length, logFile);
    fflush(logFile);
    funlockfile(logFile);
  }
  message[0] = '\0';
  return 0;
}
