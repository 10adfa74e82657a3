#include "handles/qvoHandleTable.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

#include "handles/qvoHandle.h"

__cliHandle handles[QVO_HANDLE_CAPACITY + 1];
size_t max_handles = QVO_DEFAULT_MAX_HANDLES;
size_t nHandles = 0;

namespace {

// The entry of a handle value that lies inside the table, else null. Handle
// values are checked against the table's size, not against max_handles, so
// that a handle in use stays valid when the limit is lowered.
__cliHandle* EntryOf(SQLHANDLE h) {
  const size_t index = HandleIndex(h);
  if (index < 1 || index > QVO_HANDLE_CAPACITY) return nullptr;
  return &handles[index];
}

}  // namespace

SQLHANDLE AddHandle(SQLSMALLINT type, SQLHANDLE master) {
  qvoMutex lock(handleMutex);
  const size_t limit = max_handles < QVO_HANDLE_CAPACITY ? max_handles : QVO_HANDLE_CAPACITY;
  for (size_t i = 1; i <= limit; ++i) {
    __cliHandle& e = handles[i];
    if (e.handleType != 0) continue;
    e.handleType = type;
    e.handlePtr = nullptr;
    e.masterHandleId = master;
    e.handleId = i;
    e.pins = 0;
    e.closer = std::thread::id{};
    ++e.generation;
    ++nHandles;
    return HandleValue(i);
  }
  return SQL_NULL_HANDLE;
}

void SetHandlePtr(SQLHANDLE h, qvoHandle* object) {
  qvoMutex lock(handleMutex);
  if (__cliHandle* e = EntryOf(h); e && e->handleType != 0) e->handlePtr = object;
}

SQLRETURN RemoveHandle(SQLHANDLE h) {
  qvoMutex lock(handleMutex);
  __cliHandle* e = EntryOf(h);
  if (e == nullptr || e->handleType == 0) return SQL_ERROR;
  const uint64_t generation = e->generation;
  *e = __cliHandle{};
  e->generation = generation;
  --nHandles;
  return SQL_SUCCESS;
}

SQLRETURN IsQVOHandle(SQLHANDLE h) {
  qvoMutex lock(handleMutex);
  const __cliHandle* e = EntryOf(h);
  return e ? e->handleType : 0;
}

qvoHandle* GetHandlePtr(SQLHANDLE h) {
  qvoMutex lock(handleMutex);
  const __cliHandle* e = EntryOf(h);
  return e ? e->handlePtr : nullptr;
}

bool IsMyUnderling(SQLHANDLE h, SQLHANDLE master) {
  qvoMutex lock(handleMutex);
  const __cliHandle* e = EntryOf(h);
  return e && e->handleType != 0 && e->masterHandleId == master;
}

SQLHANDLE GetMasterOfCliHandle(SQLHANDLE h) {
  qvoMutex lock(handleMutex);
  const __cliHandle* e = EntryOf(h);
  return e ? e->masterHandleId : SQL_NULL_HANDLE;
}

namespace {

// The handles in use whose entries pass the test, in ascending order.
template <class Test>
std::vector<SQLHANDLE> HandlesWhere(Test test) {
  std::vector<SQLHANDLE> found;
  qvoMutex lock(handleMutex);
  for (size_t i = 1; i <= QVO_HANDLE_CAPACITY; ++i)
    if (handles[i].handleType != 0 && test(handles[i])) found.push_back(HandleValue(i));
  return found;
}

}  // namespace

std::vector<SQLHANDLE> HandlesOfMaster(SQLHANDLE master, SQLSMALLINT type) {
  return HandlesWhere([&](const __cliHandle& e) {
    return e.masterHandleId == master && (type == 0 || e.handleType == type);
  });
}

std::vector<SQLHANDLE> HandlesOfType(SQLSMALLINT type) {
  return HandlesWhere([&](const __cliHandle& e) { return e.handleType == type; });
}

namespace {

// The pins the calling thread holds, one link per pin.
thread_local std::vector<qvoHandlePin::Link> ownPins;

// Ends of closes, for the calls that wait for them.
std::mutex closeWaitMutex;
std::condition_variable closeEnded;
uint64_t closeEpoch = 0;  // under closeWaitMutex

bool IsOtherCloser(const __cliHandle& e) {
  return e.closer != std::thread::id{} && e.closer != std::this_thread::get_id();
}

unsigned OwnPinsOn(size_t index, uint64_t generation) {
  return static_cast<unsigned>(std::count_if(ownPins.begin(), ownPins.end(), [&](const auto& l) {
    return l.index == index && l.generation == generation;
  }));
}

// Called with handleMutex held.
uint64_t CurrentCloseEpoch() {
  std::lock_guard lock(closeWaitMutex);
  return closeEpoch;
}

}  // namespace

qvoHandle* GetLiveObject(SQLHANDLE h, SQLSMALLINT type, SQLHANDLE master) {
  qvoMutex lock(handleMutex);
  const __cliHandle* e = EntryOf(h);
  if (e == nullptr || e->handleType == 0 || e->handleType != type || IsOtherCloser(*e))
    return nullptr;
  if (master != SQL_NULL_HANDLE && e->masterHandleId != master) return nullptr;
  return e->handlePtr;
}

qvoPinOutcome qvoHandlePin::Take(SQLHANDLE h, SQLSMALLINT type, qvoHandle** object,
                                 uint64_t* epoch) {
  Release();
  qvoMutex lock(handleMutex);
  const __cliHandle* e = EntryOf(h);
  if (e == nullptr || e->handleType == 0 || (type != 0 && e->handleType != type))
    return qvoPinOutcome::NotLive;
  Link chain[4];
  int length = 0;
  for (; e != nullptr; e = EntryOf(e->masterHandleId)) {
    // A master chain is at most descriptor, statement, connection, environment.
    if (e->handleType == 0 || e->handlePtr == nullptr || length == 4) return qvoPinOutcome::NotLive;
    // A call already inside the handle goes on (a call within a call).
    if (IsOtherCloser(*e) && OwnPinsOn(e->handleId, e->generation) == 0) {
      if (epoch) *epoch = CurrentCloseEpoch();
      return qvoPinOutcome::Wait;
    }
    chain[length++] = Link{e->handleId, e->generation};
    if (e->masterHandleId == SQL_NULL_HANDLE) break;
  }
  ownPins.reserve(ownPins.size() + static_cast<size_t>(length));
  for (int i = 0; i < length; ++i) {
    ++handles[chain[i].index].pins;
    ownPins.push_back(chain[i]);
    chain_[i] = chain[i];
  }
  length_ = length;
  if (object) *object = handles[chain[0].index].handlePtr;
  return qvoPinOutcome::Pinned;
}

qvoHandle* qvoHandlePin::TakeWaiting(SQLHANDLE h, SQLSMALLINT type) {
  for (;;) {
    qvoHandle* object = nullptr;
    uint64_t epoch = 0;
    switch (Take(h, type, &object, &epoch)) {
      case qvoPinOutcome::Pinned:
        return object;
      case qvoPinOutcome::NotLive:
        return nullptr;
      case qvoPinOutcome::Wait:
        WaitForCloseAfter(epoch);
        break;
    }
  }
}

void qvoHandlePin::Release() {
  if (length_ == 0) return;
  qvoMutex lock(handleMutex);
  bool closeWaits = false;
  for (int i = 0; i < length_; ++i) {
    const Link& l = chain_[i];
    // A handle freed by this very call has lost its entry (or the entry holds
    // another handle by now).
    __cliHandle& e = handles[l.index];
    if (e.handleType != 0 && e.generation == l.generation && e.pins > 0) {
      --e.pins;
      closeWaits = closeWaits || IsOtherCloser(e);
    }
    auto it = std::find_if(ownPins.begin(), ownPins.end(), [&](const Link& o) {
      return o.index == l.index && o.generation == l.generation;
    });
    if (it != ownPins.end()) ownPins.erase(it);
  }
  length_ = 0;
  // A free or disconnect may be waiting for this call to end.
  if (closeWaits) {
    {
      std::lock_guard wait(closeWaitMutex);
      ++closeEpoch;
    }
    closeEnded.notify_all();
  }
}

void WaitForCloseAfter(uint64_t epoch) {
  std::unique_lock lock(closeWaitMutex);
  closeEnded.wait(lock, [&] { return closeEpoch != epoch; });
}

bool qvoHandleClose::Begin(SQLHANDLE h) {
  End();
  for (;;) {
    uint64_t epoch = 0;
    {
      qvoMutex lock(handleMutex);
      __cliHandle* e = EntryOf(h);
      if (owns_) {
        if (e->pins <= OwnPinsOn(link_.index, link_.generation)) return true;
      } else if (e == nullptr || e->handleType == 0) {
        return true;  // gone meanwhile: nothing left to hold
      } else if (e->closer == std::this_thread::get_id()) {
        return true;  // an outer step of this thread holds it
      } else if (IsOtherCloser(*e)) {
        // That thread waits for the calls inside the handle to end: a call
        // of this thread inside it must not wait for that thread in turn.
        if (OwnPinsOn(e->handleId, e->generation) > 0) return false;
      } else {
        // From here on no call of another thread enters the handle or an
        // underling; those inside it already are waited for.
        e->closer = std::this_thread::get_id();
        link_ = qvoHandlePin::Link{e->handleId, e->generation};
        owns_ = true;
        if (e->pins <= OwnPinsOn(link_.index, link_.generation)) return true;
      }
      epoch = CurrentCloseEpoch();
    }
    WaitForCloseAfter(epoch);
  }
}

void qvoHandleClose::End() {
  if (!owns_) return;
  owns_ = false;
  {
    qvoMutex lock(handleMutex);
    __cliHandle& e = handles[link_.index];
    if (e.handleType != 0 && e.generation == link_.generation) e.closer = std::thread::id{};
    std::lock_guard wait(closeWaitMutex);
    ++closeEpoch;
  }
  closeEnded.notify_all();
}

__cliHandle* GetHandleAddress(SQLHANDLE h) { return EntryOf(h); }

__cliHandle* GetMasterOfTmHandle(const __cliHandle* entry) {
  if (entry == nullptr) return nullptr;
  qvoMutex lock(handleMutex);
  return EntryOf(entry->masterHandleId);
}

SQLHANDLE CliHandle(const __cliHandle* entry) {
  return entry ? HandleValue(entry->handleId) : SQL_NULL_HANDLE;
}

int GetCliHandleType(const __cliHandle* entry) { return entry ? entry->handleType : 0; }

size_t NumUsedHandles() { return nHandles; }
long NumUsedCliHandles() { return static_cast<long>(nHandles); }

void SetMaxHandles(SQLULEN limit) {
  qvoMutex lock(handleMutex);
  max_handles = (limit == 0 || limit > QVO_MAX_HANDLES_LIMIT) ? QVO_DEFAULT_MAX_HANDLES
                                                              : static_cast<size_t>(limit);
}

size_t GetMaxHandles() {
  qvoMutex lock(handleMutex);
  return max_handles;
}

// The entry stays taken until the object is gone, so that its index is not
// handed out meanwhile.
void FreeObjectAndEntry(SQLHANDLE h) {
  if (h == SQL_NULL_HANDLE) return;
  qvoHandle* object = nullptr;
  {
    qvoMutex lock(handleMutex);
    if (__cliHandle* e = EntryOf(h)) std::swap(object, e->handlePtr);
  }
  delete object;
  qvoMutex lock(cliHandleMutex);
  RemoveHandle(h);
}

void _FreeEnv(SQLHANDLE h) { FreeObjectAndEntry(h); }
void _FreeDbc(SQLHANDLE h) { FreeObjectAndEntry(h); }
void _FreeDesc(SQLHANDLE h) { FreeObjectAndEntry(h); }
