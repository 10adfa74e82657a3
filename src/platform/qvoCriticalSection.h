// Recursive critical sections and their scoped guard.
#pragma once

#include <mutex>

class qvoCriticalSection {
 public:
  qvoCriticalSection() = default;
  qvoCriticalSection(const qvoCriticalSection&) = delete;
  qvoCriticalSection& operator=(const qvoCriticalSection&) = delete;

  void Enter() { m_.lock(); }
  void Leave() { m_.unlock(); }
  bool TryEnter() { return m_.try_lock(); }

 private:
  std::recursive_mutex m_;
};

// Holds a critical section for its own lifetime. A null section is allowed
// and holds nothing (a handle without a log lock, for instance).
class qvoMutex {
 public:
  explicit qvoMutex(qvoCriticalSection* cs) : cs_(cs) {
    if (cs_) cs_->Enter();
  }
  explicit qvoMutex(qvoCriticalSection& cs) : qvoMutex(&cs) {}
  ~qvoMutex() {
    if (cs_) cs_->Leave();
  }
  qvoMutex(const qvoMutex&) = delete;
  qvoMutex& operator=(const qvoMutex&) = delete;

 private:
  qvoCriticalSection* cs_;
};
