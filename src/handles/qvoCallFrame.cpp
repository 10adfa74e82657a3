#include "handles/qvoCallFrame.h"

#include "messages/qvoTranslator.h"

namespace qvo_frame {

qvoHandle* PinnedObject(qvoHandlePin& pin, SQLHANDLE handle, SQLSMALLINT requiredType) {
  if (requiredType < SQL_HANDLE_ENV || requiredType > SQL_HANDLE_DESC) return nullptr;
  // An entry whose object is not (or no longer) stored is being created or
  // freed: not a live handle.
  return pin.TakeWaiting(handle, requiredType);
}

SQLRETURN FailedByException(qvoHandle* handle, bool outOfMemory) noexcept {
  if (!outOfMemory || handle == nullptr) return SQL_ERROR;
  try {
    Translator* t = handle->GetTranslatorPtr();
    if (t)
      return handle->SetDiagRec(t->_Memory_allocation_error_CODE(), -1,
                                t->_Memory_allocation_error_MESSAGE());
  } catch (...) {
  }
  return SQL_ERROR;
}

}  // namespace qvo_frame
