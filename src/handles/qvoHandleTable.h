// The process-wide handle table. A handle value given to the application is
// an index into `handles` (1 to QVO_HANDLE_CAPACITY), never a pointer.
//
// `max_handles` (private connection attribute 21108) bounds only where new
// handles are placed: every handle that is in use stays reachable through the
// table functions, whatever the limit is lowered to later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/qvoCriticalSection.h"
#include "qvo/qvoDefs.h"

class qvoHandle;

// Library-internal names: used by every subsystem, not exported from the
// shared library.
#ifndef QVO_INTERNAL
#define QVO_INTERNAL __attribute__((visibility("hidden")))
#endif

// One table entry; one cache line each, so that calls on different handles
// never write to the same line.
struct alignas(64) __cliHandle {
  SQLSMALLINT handleType;    // 0 free, 1 env, 2 dbc, 3 stmt, 4 desc
  qvoHandle* handlePtr;      // the object behind the handle
  SQLHANDLE masterHandleId;  // the parent's handle value, 0 for an environment
  size_t handleId;           // the entry's own index
  // Calls inside the handle (a call pins only the handle it works on; a
  // close waits for the pins of its handle and of every underling).
  unsigned pins = 0;
  // The thread that frees or disconnects the handle; default when none does.
  std::thread::id closer{};
  // Counts the handles the entry has held, so that a call that ends after
  // its handle was freed never touches the entry's next handle.
  uint64_t generation = 0;
};

inline constexpr size_t QVO_HANDLE_CAPACITY = 2048;
inline constexpr size_t QVO_DEFAULT_MAX_HANDLES = 2048;
inline constexpr size_t QVO_MAX_HANDLES_LIMIT = 2000;

QVO_INTERNAL extern __cliHandle handles[QVO_HANDLE_CAPACITY + 1];
QVO_INTERNAL extern size_t max_handles;  // guarded by handleMutex; use SetMaxHandles
QVO_INTERNAL extern size_t nHandles;

// Global critical sections, built at load in the order of qvoGlobals.cpp.
QVO_INTERNAL extern qvoCriticalSection cliGetTimeMutex;
QVO_INTERNAL extern qvoCriticalSection handleMutex;
QVO_INTERNAL extern qvoCriticalSection functionMutex;
QVO_INTERNAL extern qvoCriticalSection cliHandleMutex;
QVO_INTERNAL extern qvoCriticalSection gmpMutex;

// Handle value <-> table index.
inline size_t HandleIndex(SQLHANDLE h) { return reinterpret_cast<uintptr_t>(h); }
inline SQLHANDLE HandleValue(size_t index) { return reinterpret_cast<SQLHANDLE>(index); }

// Takes the lowest free index from 1 to max_handles for a handle of the type
// under the master; 0 when none is free. The object is stored afterwards
// with SetHandlePtr (the entry exists before its object).
QVO_INTERNAL SQLHANDLE AddHandle(SQLSMALLINT type, SQLHANDLE master);
// Stores the object of an entry made by AddHandle.
QVO_INTERNAL void SetHandlePtr(SQLHANDLE h, qvoHandle* object);
// Clears the entry; -1 for a value outside the table or a free entry.
QVO_INTERNAL SQLRETURN RemoveHandle(SQLHANDLE h);
// The entry's type, 0 for a free entry or a value outside the table.
QVO_INTERNAL SQLRETURN IsQVOHandle(SQLHANDLE h);
QVO_INTERNAL qvoHandle* GetHandlePtr(SQLHANDLE h);
// True when the entry is in use and its master is `master`.
QVO_INTERNAL bool IsMyUnderling(SQLHANDLE h, SQLHANDLE master);
QVO_INTERNAL SQLHANDLE GetMasterOfCliHandle(SQLHANDLE h);
// The handles of the type (0: any type) whose master is `master`, in
// ascending order, as they are at the time of the call.
QVO_INTERNAL std::vector<SQLHANDLE> HandlesOfMaster(SQLHANDLE master, SQLSMALLINT type);
// All handles of the type, in ascending order, as they are at the time of
// the call.
QVO_INTERNAL std::vector<SQLHANDLE> HandlesOfType(SQLSMALLINT type);

// The object of a handle of the type (under `master` when that is given)
// whose object is stored and that no other thread frees; null otherwise.
// Only safe to use while something keeps the handle alive (a pin, or a close
// of the handle or a master).
QVO_INTERNAL qvoHandle* GetLiveObject(SQLHANDLE h, SQLSMALLINT type,
                                      SQLHANDLE master = SQL_NULL_HANDLE);

// --- calls inside handles -----------------------------------------------------
// A call pins the handle it works on, and a free or disconnect of that handle
// or of a master above it waits for the calls inside the handle and its
// underlings, so that no other thread frees or disconnects them while the
// call runs. Pinning takes no lock. An object becomes
// visible to calls only once it is stored (after its constructor finished).
enum class qvoPinOutcome { Pinned, NotLive, Wait };

class QVO_INTERNAL qvoHandlePin {
 public:
  qvoHandlePin() = default;
  ~qvoHandlePin() { Release(); }
  qvoHandlePin(const qvoHandlePin&) = delete;
  qvoHandlePin& operator=(const qvoHandlePin&) = delete;

  // NotLive: not a handle of the type (0: any), or its object or one of its
  // masters' is not stored. Wait: another thread frees or disconnects the
  // handle or a master; *epoch is what WaitForCloseAfter needs.
  qvoPinOutcome Take(SQLHANDLE h, SQLSMALLINT type, qvoHandle** object, uint64_t* epoch);
  // Take, waiting while another thread frees or disconnects: null when the
  // handle is not (or no longer) live.
  qvoHandle* TakeWaiting(SQLHANDLE h, SQLSMALLINT type);
  void Release();

  struct Link {
    size_t index;
    uint64_t generation;
  };

  // How many of the calling thread's pins are on the entry (index and
  // generation): as the handle worked on, or as a master above it.
  static unsigned OwnPinsOn(size_t index, uint64_t generation);
  // How many of the calling thread's pins are on the entry as the handle
  // worked on.
  static unsigned OwnLeafPinsOn(size_t index);

 private:
  Link chain_[4] = {};
  int length_ = 0;
  // The thread's pins form a stack through the pin objects (they live on the
  // calls' stacks): the one taken before this one.
  qvoHandlePin* below_ = nullptr;
};

// Returns once a free or disconnect has ended after `epoch` was read.
QVO_INTERNAL void WaitForCloseAfter(uint64_t epoch);

// A free or a disconnect has the handle to itself: it waits until no call of
// another thread is inside the handle or an underling, and calls that start
// meanwhile wait until the close ends (the object gone, or the connection
// disconnected). Calls are never refused and their diagnostics never touched.
class QVO_INTERNAL qvoHandleClose {
 public:
  qvoHandleClose() = default;
  ~qvoHandleClose() { End(); }
  qvoHandleClose(const qvoHandleClose&) = delete;
  qvoHandleClose& operator=(const qvoHandleClose&) = delete;
  qvoHandleClose(qvoHandleClose&& other) noexcept : link_(other.link_), owns_(other.owns_) {
    other.owns_ = false;
  }

  // Waits for the calls of other threads inside the handle to end. False
  // when another thread closes the handle already. A handle this thread
  // closes already, or a free entry, gives true.
  bool Begin(SQLHANDLE h);
  void End();

 private:
  qvoHandlePin::Link link_{};
  bool owns_ = false;
};

// Entry-pointer forms.
QVO_INTERNAL __cliHandle* GetHandleAddress(SQLHANDLE h);
QVO_INTERNAL __cliHandle* GetMasterOfTmHandle(const __cliHandle* entry);
QVO_INTERNAL SQLHANDLE CliHandle(const __cliHandle* entry);
QVO_INTERNAL int GetCliHandleType(const __cliHandle* entry);

QVO_INTERNAL size_t NumUsedHandles();
QVO_INTERNAL long NumUsedCliHandles();

// Private connection attribute 21108: 1 to 2000; 0 or more restores 2048.
QVO_INTERNAL void SetMaxHandles(SQLULEN limit);
QVO_INTERNAL size_t GetMaxHandles();

// Deletes the object behind a handle and removes its entry (under
// cliHandleMutex). The entry loses its object before the object is
// destroyed, so no call finds it meanwhile. 0 does nothing.
QVO_INTERNAL void FreeObjectAndEntry(SQLHANDLE h);
// The same for an environment, connection or descriptor.
QVO_INTERNAL void _FreeEnv(SQLHANDLE h);
QVO_INTERNAL void _FreeDbc(SQLHANDLE h);
QVO_INTERNAL void _FreeDesc(SQLHANDLE h);
