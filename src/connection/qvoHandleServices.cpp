#include "connection/qvoHandleServices.h"

#include <atomic>

#include "connection/qvoAnswerTaker.h"
#include "handles/qvoHandle.h"

namespace {

SQLRETURN NoAlloc(SQLHANDLE, SQLHANDLE* statement) {
  if (statement) *statement = SQL_NULL_HANDLE;
  return SQL_ERROR;
}
SQLRETURN NoExec(SQLHANDLE, const char*) { return SQL_ERROR; }
SQLRETURN NoFree(SQLHANDLE) { return SQL_ERROR; }
SQLRETURN NoLoad(qvoConnection&) { return SQL_ERROR; }

constexpr qvoHandleServices kNone = {NoAlloc, NoExec, NoFree, NoFree, NoLoad};
std::atomic<const qvoHandleServices*> installed{&kNone};

}  // namespace

void InstallHandleServices(const qvoHandleServices* services) {
  installed.store(services ? services : &kNone, std::memory_order_release);
}

const qvoHandleServices& HandleServices() { return *installed.load(std::memory_order_acquire); }

qvoAnswerTaker* AnswerTakerOf(qvoHandle* handle) { return dynamic_cast<qvoAnswerTaker*>(handle); }
