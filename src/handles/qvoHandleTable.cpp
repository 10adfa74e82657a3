#include "handles/qvoHandleTable.h"

#include <algorithm>
#include <atomic>
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

// Calls pin entries without handleMutex: the fields a pin reads are loaded
// and stored whole (writers still hold handleMutex among themselves).
template <class T>
T Load(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load();
}
template <class T>
void Store(T& field, std::type_identity_t<T> value) {
  std::atomic_ref<T>(field).store(value);
}

}  // namespace

SQLHANDLE AddHandle(SQLSMALLINT type, SQLHANDLE master) {
  qvoMutex lock(handleMutex);
  const size_t limit = max_handles < QVO_HANDLE_CAPACITY ? max_handles : QVO_HANDLE_CAPACITY;
  for (size_t i = 1; i <= limit; ++i) {
    __cliHandle& e = handles[i];
    if (e.handleType != 0) continue;
    // The pins are left alone: a call that looked at the free entry may hold
    // one for a moment and gives it back itself.
    Store(e.generation, e.generation + 1);
    Store(e.handlePtr, static_cast<qvoHandle*>(nullptr));
    Store(e.masterHandleId, master);
    e.handleId = i;
    Store(e.closer, std::thread::id{});
    Store(e.handleType, type);
    ++nHandles;
    return HandleValue(i);
  }
  return SQL_NULL_HANDLE;
}

void SetHandlePtr(SQLHANDLE h, qvoHandle* object) {
  qvoMutex lock(handleMutex);
  if (__cliHandle* e = EntryOf(h); e && e->handleType != 0) Store(e->handlePtr, object);
}

SQLRETURN RemoveHandle(SQLHANDLE h) {
  qvoMutex lock(handleMutex);
  __cliHandle* e = EntryOf(h);
  if (e == nullptr || e->handleType == 0) return SQL_ERROR;
  // Generation and pins stay with the entry (see AddHandle).
  Store(e->handleType, SQLSMALLINT{0});
  Store(e->handlePtr, static_cast<qvoHandle*>(nullptr));
  Store(e->masterHandleId, SQL_NULL_HANDLE);
  Store(e->closer, std::thread::id{});
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

// The calling thread's latest pin; the others lie below it.
thread_local qvoHandlePin* ownTop = nullptr;

// Ends of closes, for the calls that wait for them, and pins given back
// while a close waits, for the closes.
std::mutex closeWaitMutex;
std::condition_variable closeEnded;
uint64_t closeEpoch = 0;    // under closeWaitMutex
uint64_t releaseEpoch = 0;  // under closeWaitMutex
// Closes under way: while there is none, giving a pin back tells no one.
std::atomic<unsigned> openCloses{0};

bool IsOtherCloser(const __cliHandle& e) {
  const std::thread::id closer = Load(e.closer);
  return closer != std::thread::id{} && closer != std::this_thread::get_id();
}

uint64_t CurrentReleaseEpoch() {
  std::lock_guard lock(closeWaitMutex);
  return releaseEpoch;
}

// Gives a pin back; a close that waits for the calls inside its handle and
// its underlings hears of it. A close counts itself in openCloses before it
// looks at the pins, so either it sees this pin gone or this sees the close.
void Unpin(__cliHandle& e) {
  std::atomic_ref<unsigned>(e.pins).fetch_sub(1);
  if (openCloses.load() == 0) return;
  {
    std::lock_guard wait(closeWaitMutex);
    ++releaseEpoch;
  }
  closeEnded.notify_all();
}

// Whether `index` is `root` or lies below it. Called with handleMutex held.
bool IsWithin(size_t index, size_t root) {
  for (int depth = 0; depth < 5 && index != 0; ++depth) {
    if (index == root) return true;
    index = HandleIndex(handles[index].masterHandleId);
    if (index > QVO_HANDLE_CAPACITY) return false;
  }
  return false;
}

// No call of another thread is inside the handle at `root` or an underling
// of it. Called with handleMutex held.
bool OnlyOwnCallsWithin(size_t root) {
  for (size_t i = 1; i <= QVO_HANDLE_CAPACITY; ++i) {
    const unsigned pins = Load(handles[i].pins);
    if (pins == 0 || !IsWithin(i, root)) continue;
    if (pins > qvoHandlePin::OwnLeafPinsOn(i)) return false;
  }
  return true;
}

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

unsigned qvoHandlePin::OwnPinsOn(size_t index, uint64_t generation) {
  unsigned n = 0;
  for (const qvoHandlePin* p = ownTop; p != nullptr; p = p->below_)
    for (int i = 0; i < p->length_; ++i)
      n += p->chain_[i].index == index && p->chain_[i].generation == generation ? 1 : 0;
  return n;
}

unsigned qvoHandlePin::OwnLeafPinsOn(size_t index) {
  unsigned n = 0;
  for (const qvoHandlePin* p = ownTop; p != nullptr; p = p->below_)
    n += p->length_ > 0 && p->chain_[0].index == index ? 1 : 0;
  return n;
}

qvoPinOutcome qvoHandlePin::Take(SQLHANDLE h, SQLSMALLINT type, qvoHandle** object,
                                 uint64_t* epoch) {
  Release();
  // No process-wide lock and no write to a master's entry: the call pins its
  // own handle's entry and then looks at the chain. A close sets its closer
  // first and then looks at the pins of its handle and every underling (both
  // sequentially consistent), so either the close sees the pin and waits for
  // it, or the call sees the closer and steps back.
  __cliHandle* const leaf = EntryOf(h);
  if (leaf == nullptr) return qvoPinOutcome::NotLive;
  const uint64_t leafGeneration = Load(leaf->generation);
  const SQLSMALLINT leafType = Load(leaf->handleType);
  if (leafType == 0 || (type != 0 && leafType != type)) return qvoPinOutcome::NotLive;
  std::atomic_ref<unsigned>(leaf->pins).fetch_add(1);
  Link chain[4];
  int length = 0;
  for (__cliHandle* e = leaf;;) {
    const auto index = static_cast<size_t>(e - handles);
    const uint64_t generation = e == leaf ? leafGeneration : Load(e->generation);
    // The entry must hold a handle with its object stored (the pinned one
    // still the same handle); a master chain is at most descriptor,
    // statement, connection, environment.
    if (Load(e->handleType) == 0 || Load(e->handlePtr) == nullptr ||
        (e == leaf && (Load(e->generation) != leafGeneration || Load(e->handleType) != leafType)) ||
        length == 4) {
      Unpin(*leaf);
      return qvoPinOutcome::NotLive;
    }
    // A call already inside the handle goes on (a call within a call).
    if (IsOtherCloser(*e) && qvoHandlePin::OwnPinsOn(index, generation) == 0) {
      Unpin(*leaf);
      const uint64_t now = CurrentCloseEpoch();
      // The close may have ended meanwhile: then look again at once.
      if (epoch) *epoch = IsOtherCloser(*e) ? now : now - 1;
      return qvoPinOutcome::Wait;
    }
    chain[length++] = Link{index, generation};
    const SQLHANDLE master = Load(e->masterHandleId);
    if (master == SQL_NULL_HANDLE) break;
    e = EntryOf(master);
    if (e == nullptr) {
      Unpin(*leaf);
      return qvoPinOutcome::NotLive;
    }
  }
  std::copy(chain, chain + length, chain_);
  below_ = ownTop;
  ownTop = this;
  length_ = length;
  if (object) *object = Load(leaf->handlePtr);
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
  // The pin goes back to the entry it was taken on, even when this very call
  // freed the handle: the entry's pins count the calls inside it.
  Unpin(handles[chain_[0].index]);
  // Pins end in the order opposite to their start: this one is on top.
  qvoHandlePin** link = &ownTop;
  while (*link != nullptr && *link != this) link = &(*link)->below_;
  if (*link == this) *link = below_;
  below_ = nullptr;
  length_ = 0;
}

namespace {

void WaitForChange(const uint64_t& counter, uint64_t seen) {
  std::unique_lock lock(closeWaitMutex);
  closeEnded.wait(lock, [&] { return counter != seen; });
}

}  // namespace

void WaitForCloseAfter(uint64_t epoch) { WaitForChange(closeEpoch, epoch); }

bool qvoHandleClose::Begin(SQLHANDLE h) {
  End();
  for (;;) {
    // Read before the pins are looked at, so that no pin given back after
    // that look goes unheard.
    const uint64_t released = CurrentReleaseEpoch();
    const uint64_t closed = CurrentCloseEpoch();
    bool waitForPins = true;
    {
      qvoMutex lock(handleMutex);
      __cliHandle* e = EntryOf(h);
      auto callsGone = [&] { return OnlyOwnCallsWithin(link_.index); };
      if (owns_) {
        if (callsGone()) return true;
      } else if (e == nullptr || e->handleType == 0) {
        return true;  // gone meanwhile: nothing left to hold
      } else if (Load(e->closer) == std::this_thread::get_id()) {
        return true;  // an outer step of this thread holds it
      } else if (IsOtherCloser(*e)) {
        // That thread waits for the calls inside the handle to end: a call
        // of this thread inside it must not wait for that thread in turn.
        if (qvoHandlePin::OwnPinsOn(static_cast<size_t>(e - handles), e->generation) > 0)
          return false;
        waitForPins = false;
      } else {
        // From here on no call of another thread enters the handle or an
        // underling; those inside it already are waited for.
        Store(e->closer, std::this_thread::get_id());
        openCloses.fetch_add(1);
        link_ = qvoHandlePin::Link{static_cast<size_t>(e - handles), e->generation};
        owns_ = true;
        if (callsGone()) return true;
      }
    }
    if (waitForPins)
      WaitForChange(releaseEpoch, released);
    else
      WaitForChange(closeEpoch, closed);
  }
}

void qvoHandleClose::End() {
  if (!owns_) return;
  owns_ = false;
  {
    qvoMutex lock(handleMutex);
    __cliHandle& e = handles[link_.index];
    if (e.handleType != 0 && e.generation == link_.generation) Store(e.closer, std::thread::id{});
    openCloses.fetch_sub(1);
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
    if (__cliHandle* e = EntryOf(h)) {
      object = e->handlePtr;
      Store(e->handlePtr, static_cast<qvoHandle*>(nullptr));
    }
  }
  delete object;
  qvoMutex lock(cliHandleMutex);
  RemoveHandle(h);
}

void _FreeEnv(SQLHANDLE h) { FreeObjectAndEntry(h); }
void _FreeDbc(SQLHANDLE h) { FreeObjectAndEntry(h); }
void _FreeDesc(SQLHANDLE h) { FreeObjectAndEntry(h); }
