// Exported handle, environment, transaction and diagnostic functions. Each is
// the call frame around one method; the work lives in the handle classes.
#include <cstdio>
#include <memory>
#include <new>

#include "api/qvoHandleBranches.h"
#include "common/qvoVersion.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "handles/qvoDiagnostics.h"
#include "handles/qvoEnvironment.h"
#include "messages/qvoTranslator.h"
#include "qvo/qvoCInterface.h"

#ifndef QVO_REVISION
#define QVO_REVISION "unknown"
#endif

namespace {

constexpr int kVersionBufferSize = 128;

SQLRETURN AllocEnvironment(SQLHANDLE* outputHandle) {
  *outputHandle = SQL_NULL_HANDLE;
  const SQLHANDLE h = AddHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  if (h == SQL_NULL_HANDLE) return SQL_ERROR;
  std::unique_ptr<qvoEnvironment> env(new (std::nothrow) qvoEnvironment);
  if (!env || env->GetAllocatingError() == SQL_ERROR) {
    env.reset();
    qvoMutex lock(cliHandleMutex);
    RemoveHandle(h);
    return SQL_ERROR;  // the output handle stays 0: the value may be reused
  }
  env->SetMasterAndMyID(nullptr, h);
  SetHandlePtr(h, env.release());
  *outputHandle = h;
  return SQL_SUCCESS;
}

// A child under a live parent, while the parent's lock is held. An
// application's allocation is a call on the parent like any other: its
// failure carries only its own records. The connection's own (its internal
// statement, made at the connect) leaves the records of the connect.
SQLRETURN AllocChild(SQLSMALLINT handleType, SQLHANDLE parentHandle, SQLSMALLINT parentType,
                     qvoHandle* parent, SQLHANDLE* outputHandle, qvoRecords records) {
  struct ChildRule {
    SQLSMALLINT type;
    SQLSMALLINT parentType;
    SQLRETURN (*alloc)(qvoHandle*, SQLHANDLE, SQLHANDLE*);
  };
  static constexpr ChildRule kChildren[] = {
      {SQL_HANDLE_DBC, SQL_HANDLE_ENV, AllocConnectionBranch},
      {SQL_HANDLE_STMT, SQL_HANDLE_DBC, AllocStatementBranch},
      {SQL_HANDLE_DESC, SQL_HANDLE_DBC, AllocDescriptorBranch},
  };
  for (const auto& c : kChildren) {
    if (c.type != handleType) continue;
    if (parentType != c.parentType) return SQL_INVALID_HANDLE;
    if (records == qvoRecords::Cleared) parent->ClearDiagRecords();
    if (outputHandle == nullptr) {
      Translator* t = parent->GetTranslatorPtr();
      return parent->SetDiagRec(t->_Invalid_use_of_null_pointer_CODE(), -1,
                                t->_Invalid_use_of_null_pointer_MESSAGE());
    }
    return c.alloc(parent, parentHandle, outputHandle);
  }
  return SQL_ERROR;  // an environment under a parent, or an unknown type
}

}  // namespace

SQLRETURN AllocHandleOf(SQLSMALLINT HandleType, SQLHANDLE InputHandle, SQLHANDLE* OutputHandle,
                        qvoRecords records) {
  try {
    const SQLSMALLINT parentType =
        InputHandle == SQL_NULL_HANDLE ? 0 : static_cast<SQLSMALLINT>(IsQVOHandle(InputHandle));
    if (parentType != 0) {
      // An entry whose object is not (or no longer) stored is being created
      // or freed: no parent to allocate under. The parent stays alive until
      // the child is made.
      qvoHandlePin pin;
      qvoHandle* parent = pin.TakeWaiting(InputHandle, parentType);
      if (parent == nullptr)
        return HandleType >= SQL_HANDLE_DBC && HandleType <= SQL_HANDLE_DESC ? SQL_INVALID_HANDLE
                                                                             : SQL_ERROR;
      // Allocations under one parent are serialised by the parent's own lock.
      qvoMutex lock(parent->GetMutexPtr());
      return AllocChild(HandleType, InputHandle, parentType, parent, OutputHandle, records);
    }
    if (HandleType != SQL_HANDLE_ENV || OutputHandle == nullptr) return SQL_ERROR;
    return AllocEnvironment(OutputHandle);
  } catch (...) {
    return SQL_ERROR;
  }
}

extern "C" {

SQLRETURN QVOAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle, SQLHANDLE* OutputHandle) {
  return AllocHandleOf(HandleType, InputHandle, OutputHandle, qvoRecords::Cleared);
}

SQLRETURN QVOFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle) {
  if (HandleType == 0) {
    // A free value passes the type check with type 0 and is then refused.
    qvoMutex lock(functionMutex);
    return IsQVOHandle(Handle) == 0 ? SQL_ERROR : SQL_INVALID_HANDLE;
  }
  return qvoCallWith<qvoHandle, qvoReturnVia::Direct>(
      Handle, HandleType, qvo_frame::NoConversion{}, [&](qvoHandle& h) -> SQLRETURN {
        // Nothing is freed while another thread's call is inside the handle
        // or one of its underlings: the free waits for those calls.
        qvoHandleClose close;
        if (!close.Begin(Handle)) return HandleInUse(h);
        switch (HandleType) {
          case SQL_HANDLE_ENV:
            static_cast<qvoEnvironment&>(h).LooseSlaves();
            _FreeEnv(Handle);
            return SQL_SUCCESS;
          case SQL_HANDLE_DBC:
            return FreeConnectionBranch(Handle);
          case SQL_HANDLE_STMT:
            return _FreeStmt(Handle);
          default:
            return FreeDescriptorBranch(Handle);
        }
      });
}

SQLRETURN QVOEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT CompletionType) {
  return qvoCallWith<qvoHandle, qvoReturnVia::Direct>(
      Handle, HandleType, qvo_frame::NoConversion{}, [&](qvoHandle& h) -> SQLRETURN {
        if (HandleType == SQL_HANDLE_DBC)
          return h.RetCode(EndTranConnectionBranch(&h, CompletionType));
        if (HandleType != SQL_HANDLE_ENV) return SQL_INVALID_HANDLE;
        h.ClearDiagRecords();
        if (CompletionType != SQL_COMMIT && CompletionType != SQL_ROLLBACK)
          return QVO_DIAG(&h, _Invalid_completition_type_constant_, -1);
        // Each connection of the environment in handle order; the first
        // failure ends the walk, and the environment carries its records.
        for (SQLHANDLE c : HandlesOfMaster(Handle, SQL_HANDLE_DBC)) {
          // A connection freed meanwhile, or one without a session (never
          // connected, or disconnected), has nothing to end.
          qvoHandlePin pin;
          qvoHandle* connection = pin.TakeWaiting(c, SQL_HANDLE_DBC);
          if (connection == nullptr || !ConnectionHasSessionBranch(connection)) continue;
          if (h.RetCode(EndTranConnectionBranch(connection, CompletionType)) == SQL_ERROR) {
            h.AppendDiagRecordsFrom(connection);
            return SQL_ERROR;
          }
        }
        return SQL_SUCCESS;
      });
}

int CLIDllVersion(char* buffer) {
  if (buffer == nullptr) return -1;
  snprintf(buffer, kVersionBufferSize, "VERSION=%s REVISION=%s", kQvoVersion, QVO_REVISION);
  return 0;
}

SQLRETURN QVOGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                        SQLCHAR* SQLState, SQLINTEGER* NativeError, SQLCHAR* MessageText,
                        SQLSMALLINT BufferLength, SQLSMALLINT* TextLength) {
  return qvoCallWith<qvoHandle, qvoReturnVia::Direct>(
      Handle, HandleType, qvo_frame::NoConversion{}, [&](qvoHandle& h) {
        return qvoGetDiagRecForApp(h, qvoTextForm::Narrow, RecNumber, SQLState, NativeError,
                                   MessageText, BufferLength, TextLength);
      });
}

SQLRETURN QVOGetDiagRecW(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                         SQLWCHAR* SQLState, SQLINTEGER* NativeError, SQLWCHAR* MessageText,
                         SQLSMALLINT BufferLength, SQLSMALLINT* TextLength) {
  return qvoCallWith<qvoHandle, qvoReturnVia::Direct>(
      Handle, HandleType, qvo_frame::NoConversion{}, [&](qvoHandle& h) {
        return qvoGetDiagRecForApp(h, qvoTextForm::Wide, RecNumber, SQLState, NativeError,
                                   MessageText, BufferLength, TextLength);
      });
}

SQLRETURN QVOGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                          SQLSMALLINT DiagIdentifier, SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                          SQLSMALLINT* StringLength) {
  return qvoCallWith<qvoHandle, qvoReturnVia::Direct>(
      Handle, HandleType, qvo_frame::NoConversion{}, [&](qvoHandle& h) {
        return qvoGetDiagFieldForApp(h, qvoTextForm::Narrow, RecNumber, DiagIdentifier, DiagInfo,
                                     BufferLength, StringLength);
      });
}

SQLRETURN QVOGetDiagFieldW(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                           SQLSMALLINT DiagIdentifier, SQLPOINTER DiagInfo,
                           SQLSMALLINT BufferLength, SQLSMALLINT* StringLength) {
  return qvoCallWith<qvoHandle, qvoReturnVia::Direct>(
      Handle, HandleType, qvo_frame::NoConversion{}, [&](qvoHandle& h) {
        return qvoGetDiagFieldForApp(h, qvoTextForm::Wide, RecNumber, DiagIdentifier, DiagInfo,
                                     BufferLength, StringLength);
      });
}

}  // extern "C"

SQLRETURN QVOSetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle, const char* SQLState,
                        SQLINTEGER NativeError, const char* MessageText) {
  return qvoCallWith<qvoHandle>(Handle, HandleType, qvo_frame::NoConversion{}, [&](qvoHandle& h) {
    return qvoSetDiagRecForApp(h, SQLState, NativeError, MessageText);
  });
}
