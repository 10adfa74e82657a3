// Waiting until another thread is blocked inside a call, for tests that must
// know a second call is already waiting before they let the first one go on
// (a thread that came late would find the first call over and test
// nothing). The event is read from the kernel's view of the thread: it
// sleeps, which a thread running into a call does only where the call waits
// for a lock or a condition. Every wait is bounded, so a test that fails
// still ends. Linux only (/proc), like the rest of the suite.
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace blocked_thread {

// The kernel's id of the calling thread.
inline pid_t Self() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// Whether the thread (by kernel id, of this process) sleeps in a wait.
inline bool Sleeping(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // "tid (name) S ...": the state follows the name, which may hold blanks.
  const size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

// Waits until the thread whose id `tid` holds (0 until that thread has set
// it, just before its call) sleeps, or until `over()` says the call ended
// without waiting. True when the thread was seen blocked; false when the
// call ended first or 30 seconds passed.
template <class Over>
bool WaitBlocked(const std::atomic<pid_t>& tid, Over over) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (over()) return false;
    const pid_t t = tid.load();
    if (t != 0 && Sleeping(t)) return !over();
    std::this_thread::yield();
  }
  return false;
}

}  // namespace blocked_thread
