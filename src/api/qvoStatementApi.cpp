// Exported statement functions: the call frame around one statement
// operation each, converting text arguments to UTF-8 under functionMutex.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "api/qvoHandleBranches.h"
#include "api/qvoStatementText.h"
#include "api/qvoTextOutput.h"
#include "common/qvoArgStrings.h"
#include "common/qvoPredicates.h"
#include "common/qvoStrings.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

namespace {

template <class Method>
SQLRETURN StmtCall(SQLHSTMT handle, Method&& method) {
  return qvoCallWith<qvoStatement>(handle, SQL_HANDLE_STMT, qvo_frame::NoConversion{}, method);
}

// NativeSql needs no handle: the text is copied whatever the handle. A live
// connection or statement handle also gets the call's diagnostics, so that a
// cut or refused copy can be told apart from a whole one.
SQLRETURN NativeSqlOutcome(SQLHANDLE handle, SQLRETURN rc) {
  SQLRETURN type = 0;
  {
    qvoMutex lock(functionMutex);
    type = IsQVOHandle(handle);
  }
  if (type != SQL_HANDLE_DBC && type != SQL_HANDLE_STMT) return rc;
  const SQLRETURN recorded = qvoCallWith<qvoHandle>(
      handle, static_cast<SQLSMALLINT>(type), qvo_frame::NoConversion{}, [rc](qvoHandle& h) {
        h.ClearDiagRecords();
        if (rc == SQL_ERROR) QVO_DIAG(&h, _Invalid_string_or_buffer_length_, -1);
        if (rc == SQL_SUCCESS_WITH_INFO) QVO_DIAG(&h, _String_data_right_truncated_, 1);
        return rc;
      });
  return recorded == SQL_INVALID_HANDLE ? rc : recorded;
}

int TextLength(const char* text, SQLINTEGER length) { return qvoSqlStrLen(text, length); }
int TextLength(const SQLWCHAR* text, SQLINTEGER length) { return qvoSqlWStrLen(text, length); }
int CopyText(char* out, const char* in, int inLen, int outMax) {
  return qvoCopyStr(out, in, inLen, outMax, SQL_NTS);
}
int CopyText(SQLWCHAR* out, const SQLWCHAR* in, int inLen, int outMax) {
  return qvoCopyStrW(out, in, inLen, outMax, SQL_NTS);
}

// Lengths in characters of the form (bytes narrow, SQLWCHAR units wide). The
// output is cut to outMax - 1 characters and terminated; *outLen receives the
// whole text's length, and a cut gives 01004 with 1.
template <class Char>
SQLRETURN NativeSqlCopy(SQLHANDLE handle, const Char* in, SQLINTEGER inLen, Char* out,
                        SQLINTEGER outMax, SQLINTEGER* outLen) {
  if ((inLen < 0 && inLen != SQL_NTS) || outMax < 0) return NativeSqlOutcome(handle, SQL_ERROR);
  const int full = TextLength(in, inLen);
  const int copied = out && in ? CopyText(out, in, full, outMax) : 0;
  if (out && !in && outMax > 0) out[0] = 0;
  if (outLen) *outLen = full;
  return NativeSqlOutcome(handle, out && copied < full ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS);
}

}  // namespace

extern "C" {

SQLRETURN QVOExecDirect(SQLHSTMT StatementHandle, SQLCHAR* StatementText, SQLINTEGER TextLength) {
  aString text(reinterpret_cast<const char*>(StatementText), TextLength);
  return qvoCallWithText<qvoStmtFunction::ExecDirect>(
      StatementHandle, text, &qvoHandle::GetSqlConverter, &qvoStatement::ExecDirect,
      qvoColumnCacheUse::Drop);
}

SQLRETURN QVOExecDirectW(SQLHSTMT StatementHandle, SQLWCHAR* StatementText, SQLINTEGER TextLength) {
  wString text(StatementText, TextLength);
  return qvoCallWithText<qvoStmtFunction::ExecDirect>(
      StatementHandle, text, &qvoHandle::GetWcharSqlConverter, &qvoStatement::ExecDirect,
      qvoColumnCacheUse::Drop);
}

SQLRETURN QVORowCount(SQLHSTMT StatementHandle, SQLLEN* RowCountPtr) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::RowCount,
                               RowCountPtr);
}

SQLRETURN QVOMoreResults(SQLHSTMT StatementHandle) {
  return qvoCall<qvoStatement, qvoStmtFunction::MoreResults>(StatementHandle, SQL_HANDLE_STMT,
                                                             &qvoStatement::NextResult);
}

SQLRETURN QVOCancel(SQLHSTMT StatementHandle) {
  // Runs beside the call it cancels, never after it.
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Beside>(
      StatementHandle, SQL_HANDLE_STMT, qvo_frame::NoConversion{}, [](qvoStatement& s) {
        // With no other call running on the statement the cancel is a call
        // of its own and starts without earlier records; beside a running
        // call it leaves that call's records alone.
        if (s.CallMutex().TryEnter()) {
          s.ClearDiagRecords();
          s.CallMutex().Leave();
        }
        s.ClearColumnCache();
        return s.AbortExecution();
      });
}

SQLRETURN QVOFreeStmt(SQLHSTMT StatementHandle, SQLSMALLINT Option) {
  if (Option == SQL_DROP) return QVOFreeHandle(SQL_HANDLE_STMT, StatementHandle);
  return StmtCall(StatementHandle,
                  [&](qvoStatement& s) { return s.FreeStmt(static_cast<SQLUSMALLINT>(Option)); });
}

SQLRETURN QVOCloseCursor(SQLHSTMT StatementHandle) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::CloseCursor);
}

SQLRETURN QVOSetPos(SQLHSTMT StatementHandle, SQLBIGINT RowNumber, SQLSMALLINT Operation,
                    SQLSMALLINT LockType) {
  return StmtCall(StatementHandle, [&](qvoStatement& s) {
    return s.SetPos(RowNumber, static_cast<SQLUSMALLINT>(Operation),
                    static_cast<SQLUSMALLINT>(LockType));
  });
}

SQLRETURN QVOBulkOperations(SQLHSTMT StatementHandle, SQLSMALLINT Operation) {
  return StmtCall(StatementHandle, [&](qvoStatement& s) {
    return s.BulkOperations(static_cast<SQLUSMALLINT>(Operation));
  });
}

SQLRETURN QVOSetCursorName(SQLHSTMT StatementHandle, SQLCHAR*, SQLSMALLINT) {
  // Nothing to keep; the call still starts without earlier records.
  return qvoCallWith<qvoStatement, qvoReturnVia::Direct>(StatementHandle, SQL_HANDLE_STMT,
                                                         qvo_frame::NoConversion{},
                                                         [](qvoStatement&) { return SQL_SUCCESS; });
}

SQLRETURN QVOSetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER ValuePtr,
                         SQLINTEGER StringLength) {
  if (IsStmtAttrChar(Attribute) && StringLength == SQL_NTS)
    StringLength = qvoSqlStrLen(static_cast<const char*>(ValuePtr), SQL_NTS);
  return qvoCallAttribute<qvoStmtFunction::Other>(StatementHandle, &qvoStatement::SetStmtAttr,
                                                  Attribute, ValuePtr, StringLength);
}

SQLRETURN QVOSetStmtAttrW(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER ValuePtr,
                          SQLINTEGER StringLength) {
  if (!IsStmtAttrChar(Attribute))
    return qvoCallAttribute<qvoStmtFunction::Other>(StatementHandle, &qvoStatement::SetStmtAttr,
                                                    Attribute, ValuePtr, StringLength);
  // Bytes to SQLWCHAR units.
  wString text(static_cast<const SQLWCHAR*>(ValuePtr),
               StringLength > 0 ? StringLength / 2 : StringLength);
  const char* utf8 = nullptr;
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::ByMethod>(
      StatementHandle, SQL_HANDLE_STMT,
      [&](qvoStatement& s) -> SQLRETURN {
        utf8 = text.GetUTF8(s.GetWcharSqlConverter());
        if (ValuePtr && !utf8)
          return QVO_DIAG(&s, _Error_converting_statement_attribute_string_to_UTF_8_, -1);
        return SQL_SUCCESS;
      },
      [&](qvoStatement& s) {
        return s.SetStmtAttr(Attribute, const_cast<char*>(utf8 ? utf8 : ""), SQL_NTS);
      });
}

SQLRETURN QVOGetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER ValuePtr,
                         SQLINTEGER BufferLength, SQLINTEGER* StringLengthPtr) {
  return qvoCallAttribute<qvoStmtFunction::Reader>(StatementHandle, &qvoStatement::GetStmtAttr,
                                                   Attribute, ValuePtr, BufferLength,
                                                   StringLengthPtr);
}

SQLRETURN QVOGetStmtAttrW(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER ValuePtr,
                          SQLINTEGER BufferLength, SQLINTEGER* StringLengthPtr) {
  if (!IsStmtAttrChar(Attribute))
    return qvoCallAttribute<qvoStmtFunction::Reader>(StatementHandle, &qvoStatement::GetStmtAttr,
                                                     Attribute, ValuePtr, BufferLength,
                                                     StringLengthPtr);
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::ByMethod,
                     qvoStmtFunction::Reader>(
      StatementHandle, SQL_HANDLE_STMT, qvo_frame::NoConversion{},
      [&](qvoStatement& s) -> SQLRETURN {
        if (BufferLength < 0) return QVO_DIAG(&s, _Invalid_string_or_buffer_length_, -1);
        // The whole UTF-8 text first, then its wide form into the caller's bytes.
        SQLINTEGER utf8Len = 0;
        if (s.GetStmtAttr(Attribute, nullptr, 0, &utf8Len) == SQL_ERROR) return SQL_ERROR;
        std::string utf8(static_cast<size_t>(utf8Len) + 1, '\0');
        if (s.GetStmtAttr(Attribute, utf8.data(), utf8Len + 1, nullptr) == SQL_ERROR)
          return SQL_ERROR;
        utf8.resize(static_cast<size_t>(utf8Len));
        iconverter* conv = s.GetWcharSqlConverter();
        int full = 0;
        bool cut = false;
        if (!qvoDeliverText(conv, utf8, static_cast<char*>(ValuePtr), BufferLength,
                            conv ? conv->GetCharSize() : 2, &full, &cut))
          return QVO_DIAG(&s, _Error_converting_string_value_, -1);
        if (StringLengthPtr) *StringLengthPtr = full;
        if (!cut) return SQL_SUCCESS;
        QVO_DIAG(&s, _String_data_right_truncated_, 1);
        return SQL_SUCCESS_WITH_INFO;
      });
}

SQLRETURN QVONativeSql(SQLHDBC hDrvStmt, SQLCHAR* szSqlStrIn, SQLINTEGER cbSqlStrIn,
                       SQLCHAR* szSqlStr, SQLINTEGER cbSqlStrMax, SQLINTEGER* pcbSqlStr) {
  return NativeSqlCopy(hDrvStmt, reinterpret_cast<const char*>(szSqlStrIn), cbSqlStrIn,
                       reinterpret_cast<char*>(szSqlStr), cbSqlStrMax, pcbSqlStr);
}

SQLRETURN QVONativeSqlW(SQLHDBC hDrvStmt, SQLWCHAR* szSqlStrIn, SQLINTEGER cbSqlStrIn,
                        SQLWCHAR* szSqlStr, SQLINTEGER cbSqlStrMax, SQLINTEGER* pcbSqlStr) {
  return NativeSqlCopy(hDrvStmt, szSqlStrIn, cbSqlStrIn, szSqlStr, cbSqlStrMax, pcbSqlStr);
}

}  // extern "C"

bool IsIdSeparator(char c) {
  return c == '\0' || std::string_view(" ().;=").find(c) != std::string_view::npos;
}
