#include "handles/qvoHandleTable.h"

#include <cstring>
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
  if (nHandles == 0) memset(handles, 0, sizeof handles);
  const size_t limit = max_handles < QVO_HANDLE_CAPACITY ? max_handles : QVO_HANDLE_CAPACITY;
  for (size_t i = 1; i <= limit; ++i) {
    __cliHandle& e = handles[i];
    if (e.handleType != 0) continue;
    e.handleType = type;
    e.handlePtr = nullptr;
    e.masterHandleId = master;
    e.handleId = i;
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
  *e = __cliHandle{};
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
