// The frame around every exported function that works on a handle:
//
//   1. the value must name a live handle of the required type, else -2 with
//      nothing recorded on any handle; the handle and its masters are pinned
//      until the call returns, so no other thread frees or disconnects them
//      meanwhile (while another thread frees or disconnects one of them, the
//      call waits for that to end, then looks again);
//   2. calls on one statement run one after another: a second thread's call
//      waits for the first to return (QVOCancel alone never waits, see
//      qvoBeside); the same thread may call again from inside its call; each
//      of them starts with the statement's earlier records cleared; while an
//      asynchronous execution runs on the statement, only the function that
//      started it (its poll) and the readers beside it get through (see
//      qvoStmtFunction);
//   3. lock functionMutex, convert the text arguments (optional step; a call
//      without it takes no lock here);
//   4. unlock, call the method of the handle's object;
//   5. return through qvoHandle::RetCode, or directly; release the lock and
//      the pins.
//
// Freeing a handle and disconnecting take no statement's call lock: they wait
// for the pins of the calls inside, which hold the lock only while pinned.
//
// No exception leaves the frame: one thrown by a conversion or a method
// becomes -1 (with "Memory allocation error." when memory ran out).
//
// One line per exported function:
//   return qvoCall<qvoEnvironment>(h, SQL_HANDLE_ENV, &qvoEnvironment::SetEnvAttr, a, v, l);
//   return qvoCallDirect<cliDescriptor>(h, SQL_HANDLE_DESC, &cliDescriptor::GetDescField, ...);
// With text arguments, a conversion step that runs under the lock and may
// stop the call (its non-zero result is returned through RetCode):
//   aString text(szSql, len);
//   const char* utf8 = nullptr;
//   return qvoCallWith<qvoStatement>(h, SQL_HANDLE_STMT,
//       [&](qvoStatement& s) { utf8 = text.GetUTF8(s.GetSqlConverter()); return ...; },
//       [&](qvoStatement& s) { return s.ExecDirect(utf8); });
#pragma once

#include <new>
#include <type_traits>
#include <utility>

#include "handles/qvoHandle.h"
#include "handles/qvoHandleTable.h"

class qvoStatement;

enum class qvoReturnVia { RetCode, Direct };
// Whether the call waits for the other calls on its statement (Serial), or
// runs beside them (QVOCancel).
enum class qvoBeside { Serial, Beside };
// Whether a statement call starts with the records of earlier calls cleared
// (every statement call), or leaves that to its method (the statement
// attribute calls, which keep the records while a running statement's
// progress attributes are polled).
enum class qvoRecords { Cleared, ByMethod };
// What a statement call is to an asynchronous execution running on its
// statement: the function that started it may be called again (that is its
// poll), a reader runs beside it, every other call is refused with HY010 and
// changes nothing, so that no call can end or repeat the execution behind the
// application's back. The narrow and wide forms of a function are one.
enum class qvoStmtFunction : unsigned char {
  Other,
  Reader,  // reads without changing the statement (QVOGetStmtAttr)
  // The functions whose execution the application may poll.
  ExecDirect,
  Execute,
  ParamData,
  ExecuteBatch,
  MoreResults,
  Tables,
  Columns,
  ColumnPrivileges,
  ForeignKeys,
  PrimaryKeys,
  ProcedureColumns,
  Procedures,
  SpecialColumns,
  Statistics,
  TablePrivileges,
  GetTypeInfo,
};

namespace qvo_frame {

// Records what an escaping exception means and gives -1.
QVO_INTERNAL SQLRETURN FailedByException(qvoHandle* handle, bool outOfMemory) noexcept;

// The object of a live handle of the required type, pinned by `pin`; null
// otherwise. Waits while another thread frees or disconnects the handle or a
// master. Called without functionMutex.
QVO_INTERNAL qvoHandle* PinnedObject(qvoHandlePin& pin, SQLHANDLE handle, SQLSMALLINT requiredType);

struct NoConversion {
  SQLRETURN operator()(qvoHandle&) const { return SQL_SUCCESS; }
};

// The lock that serialises the calls on the object (a statement's), or null.
template <class H>
qvoCriticalSection* CallLockOf(H& object) {
  if constexpr (requires { object.CallMutex(); }) {
    return &object.CallMutex();
  } else {
    return nullptr;
  }
}

}  // namespace qvo_frame

// The general frame: `convert(H&)` runs under functionMutex and returns 0 to
// go on; `method(H&)` runs outside it.
template <class H, qvoReturnVia via = qvoReturnVia::RetCode, qvoBeside beside = qvoBeside::Serial,
          qvoRecords records = qvoRecords::Cleared,
          qvoStmtFunction function = qvoStmtFunction::Other, class Convert, class Method>
SQLRETURN qvoCallWith(SQLHANDLE handle, SQLSMALLINT requiredType, Convert&& convert,
                      Method&& method) {
  static_assert(std::is_base_of_v<qvoHandle, H>);
  qvoHandlePin pin;
  qvoHandle* base = qvo_frame::PinnedObject(pin, handle, requiredType);
  if (!base) return SQL_INVALID_HANDLE;
  H* object = static_cast<H*>(base);
  const qvoMutex serial(beside == qvoBeside::Serial ? qvo_frame::CallLockOf(*object) : nullptr);
  // A statement call starts without the records of the calls before it, so
  // that its own records are the ones read back. The diagnostic functions
  // reach a statement as a plain handle and keep them; a call running beside
  // another (QVOCancel) leaves that call's records alone.
  if constexpr (std::is_same_v<H, qvoStatement> && beside == qvoBeside::Serial) {
    if constexpr (records == qvoRecords::Cleared) object->ClearDiagRecords();
    if constexpr (function != qvoStmtFunction::Reader) {
      if (object->RefusedWhileExecuting(function))
        return object->RetCode(object->RefuseWhileExecuting());
    }
  }
  // Without a conversion step the call takes no process-wide lock.
  if constexpr (!std::is_same_v<std::decay_t<Convert>, qvo_frame::NoConversion>) {
    qvoMutex lock(functionMutex);
    SQLRETURN rc = SQL_SUCCESS;
    try {
      rc = convert(*object);
    } catch (const std::bad_alloc&) {
      rc = qvo_frame::FailedByException(object, true);
    } catch (...) {
      rc = qvo_frame::FailedByException(object, false);
    }
    if (rc != SQL_SUCCESS) return object->RetCode(rc);
  }
  SQLRETURN rc;
  try {
    rc = method(*object);
  } catch (const std::bad_alloc&) {
    rc = qvo_frame::FailedByException(object, true);
  } catch (...) {
    rc = qvo_frame::FailedByException(object, false);
  }
  if constexpr (std::is_same_v<H, qvoStatement> && beside == qvoBeside::Serial)
    object->NoteCallEnded(function, rc);
  if constexpr (via == qvoReturnVia::RetCode) {
    return object->RetCode(rc);
  } else {
    return rc;
  }
}

// A method of the handle's class with plain arguments, returned through
// RetCode; a statement function that an asynchronous execution may be left
// to names itself.
template <class H, qvoStmtFunction function = qvoStmtFunction::Other, class C, class... P,
          class... A>
SQLRETURN qvoCall(SQLHANDLE handle, SQLSMALLINT requiredType, SQLRETURN (C::*method)(P...),
                  A&&... args) {
  return qvoCallWith<H, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::Cleared, function>(
      handle, requiredType, qvo_frame::NoConversion{},
      [&](H& object) { return (object.*method)(std::forward<A>(args)...); });
}

// A statement attribute call: its method decides whether earlier records go.
// Reading one (qvoStmtFunction::Reader) also runs beside an asynchronous
// execution.
template <qvoStmtFunction function, class C, class... P, class... A>
SQLRETURN qvoCallAttribute(SQLHANDLE handle, SQLRETURN (C::*method)(P...), A&&... args) {
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::ByMethod,
                     function>(
      handle, SQL_HANDLE_STMT, qvo_frame::NoConversion{},
      [&](qvoStatement& object) { return (object.*method)(std::forward<A>(args)...); });
}

// The same, with the method's result returned directly (descriptor functions,
// QVOFreeHandle).
template <class H, class C, class... P, class... A>
SQLRETURN qvoCallDirect(SQLHANDLE handle, SQLSMALLINT requiredType, SQLRETURN (C::*method)(P...),
                        A&&... args) {
  return qvoCallWith<H, qvoReturnVia::Direct>(
      handle, requiredType, qvo_frame::NoConversion{},
      [&](H& object) { return (object.*method)(std::forward<A>(args)...); });
}
