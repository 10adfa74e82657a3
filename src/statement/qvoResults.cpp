// Parsing the answer of a request into the statement: one result per call of
// MoreResults. Every field is read through qvoAnswerCursor, so a short or
// inconsistent answer ends in a diagnostic, never in a read past the bytes
// received.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "common/qvoStrings.h"
#include "common/qvoTypeCodes.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "protocol/qvoAnswerReader.h"
#include "protocol/qvoAnswers.h"
#include "statement/qvoStatement.h"

namespace {

// Largest data message the block size is computed for; the server's value
// is clamped into (0, this].
constexpr qvo_int64 kMaxDataMessageSize = std::numeric_limits<qvo_int32>::max();
constexpr qvo_int64 kDefaultDataMessageSize = 67108864;

SQLPOINTER AsPointer(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

SQLINTEGER SaturatedRowCount(qvo_int64 count) {
  if (count < 0) return -1;
  return count > std::numeric_limits<SQLINTEGER>::max() ? std::numeric_limits<SQLINTEGER>::max()
                                                        : static_cast<SQLINTEGER>(count);
}

// What a column description becomes in a descriptor record.
struct ColumnLayout {
  SQLSMALLINT conciseType = 0;
  const char* typeName = "";
  SQLSMALLINT qvoType = 0;
  SQLINTEGER qvoTypeLen = 0;
  SQLSMALLINT nativeType = 0;  // 0: not written
  bool numeric = false;        // precision, scale, lengths from precision
  bool character = false;      // precision, lengths from size and octet length
};

// Types whose description carries nothing after the type code.
struct FixedType {
  qvo_int32 serverType;
  SQLSMALLINT conciseType;  // 0: the handle's date / timestamp code
  const char* typeName;
  SQLINTEGER width;
  SQLSMALLINT nativeType;
};
constexpr FixedType kFixedTypes[] = {
    {_DOUBLE, SQL_DOUBLE, "DOUBLE", 8, SQL_DOUBLE},
    {_BOOLEAN, SQL_BIT, "BOOLEAN", 1, SQL_C_CHAR},
    {_DATE, 0, "DATE", 4, SQL_TYPE_DATE},
    {_TIMESTAMP, 0, "TIMESTAMP", 11, SQL_TYPE_TIMESTAMP},
    {_TIMESTAMP_UTC, QVO_TYPE_TIMESTAMP_UTC, "TIMESTAMP_UTC", 11, QVO_TYPE_TIMESTAMP_UTC},
};

// Character types: the flags byte's bit 0 makes them varying.
struct CharacterType {
  qvo_int32 serverType;
  const char* fixedName;
  const char* varyingName;
  bool alwaysVarying;  // the row block holds them as _VARCHAR whatever the flag
};
constexpr CharacterType kCharacterTypes[] = {
    {_CHAR, "CHAR", "VARCHAR", false},
    {_INTERVAL_MONTH, "INTERVAL YEAR TO MONTH", "INTERVAL YEAR TO MONTH", true},
    {_INTERVAL_DAY, "INTERVAL DAY TO SECOND", "INTERVAL DAY TO SECOND", true},
};

// Decimal types: integer SQL type when the int-types setting is on, the
// scale 0 and the precision at most maxIntPrecision.
struct DecimalType {
  qvo_int32 serverType;
  SQLSMALLINT intType;
  const char* intName;
  qvo_int32 maxIntPrecision;
};
constexpr DecimalType kDecimalTypes[] = {
    {_SMALLDECIMAL, SQL_INTEGER, "INTEGER", std::numeric_limits<qvo_int32>::max()},
    {_DECIMAL, SQL_BIGINT, "BIGINT", std::numeric_limits<qvo_int32>::max()},
    {_BIGDECIMAL, SQL_BIGINT, "BIGINT", 19},
};

// Layout of a described column; false for a server type we cannot read.
bool LayoutOf(const qvoColumnDescription& c, bool intTypes, SQLSMALLINT dateCode,
              SQLSMALLINT timestampCode, ColumnLayout* out) {
  *out = ColumnLayout{};
  out->qvoType = static_cast<SQLSMALLINT>(c.serverType);
  for (const FixedType& t : kFixedTypes) {
    if (t.serverType != c.serverType) continue;
    out->conciseType = t.conciseType           ? t.conciseType
                       : c.serverType == _DATE ? dateCode
                                               : timestampCode;
    out->typeName = t.typeName;
    out->qvoTypeLen = t.width;
    out->nativeType = t.nativeType;
    return true;
  }
  for (const CharacterType& t : kCharacterTypes) {
    if (t.serverType != c.serverType) continue;
    const bool varying = (c.charFlags & 0x01) != 0;
    out->conciseType = varying ? SQL_VARCHAR : SQL_CHAR;
    out->typeName = varying ? t.varyingName : t.fixedName;
    if (varying || t.alwaysVarying) out->qvoType = _VARCHAR;
    out->qvoTypeLen = c.octetLength + 4;
    out->nativeType = SQL_C_CHAR;
    out->character = true;
    return true;
  }
  for (const DecimalType& t : kDecimalTypes) {
    if (t.serverType != c.serverType) continue;
    const bool asInteger = intTypes && c.scale == 0 && c.precision <= t.maxIntPrecision;
    out->conciseType = asInteger ? t.intType : SQL_DECIMAL;
    out->typeName = asInteger ? t.intName : "DECIMAL";
    out->numeric = true;
    // A _DECIMAL of up to 9 digits travels as a 32-bit integer.
    if (c.serverType == _SMALLDECIMAL) {
      out->qvoTypeLen = 4;
      out->nativeType = QVO_INT32;
    } else if (c.serverType == _DECIMAL) {
      out->qvoTypeLen = c.precision <= 9 ? 4 : 8;
      out->nativeType = c.precision <= 9 ? QVO_INT32 : c.precision <= 18 ? QVO_INT64 : 0;
    } else {
      out->qvoTypeLen = 16;
      out->nativeType = QVO_INT128;
    }
    return true;
  }
  return false;
}

}  // namespace

// --- hand-over ----------------------------------------------------------------------------

SQLRETURN qvoStatement::TakeResults(char* answer, qvo_int64 length) {
  std::unique_ptr<char[]> owned(answer);
  if (length < 0 || length > std::numeric_limits<SQLINTEGER>::max() || !owned) length = 0;
  if (auxiliaryExchange) {
    // The answer of a close, abort or attribute request: the current results
    // stay where they are.
    auxAnswer = std::move(owned);
    auxAnswerLen = length;
    return SQL_SUCCESS;
  }
  // Rows indexed in the buffer being replaced are gone with it.
  FreePointerArray();
  resultCursor.TakeAnswer(std::move(owned), static_cast<SQLINTEGER>(length));
  return SQL_SUCCESS;
}

// --- diagnostics of answers ------------------------------------------------------------------

SQLRETURN qvoStatement::RecordServerException(const char* text, size_t textLen, const char* state) {
  char sqlState[6] = {};
  std::memcpy(sqlState, state, 5);
  const std::string message(text, textLen);
  if (logFull) Log("Server_error: %s %s\n", sqlState, message.c_str());
  if (std::strcmp(sqlState, "42X99") == 0)
    SetDiagRec("HY010", -1, "Function sequence error");
  else
    SetDiagRec(sqlState, -1, message.c_str());
  LastDiagWasFromServer();
  return SQL_ERROR;
}

SQLRETURN qvoStatement::MalformedAnswer() {
  // Nothing behind a result that cannot be read can be trusted.
  resultCursor.SkipAnswer();
  return QVO_DIAG(this, _Incorrect_data_array_received_from_server_, -1);
}

// --- MoreResults ------------------------------------------------------------------------------

SQLRETURN qvoStatement::NextResult() {
  SQLRETURN rc;
  if (RunningAsynchronously()) {
    // A result of this answer still executes: this call is its poll.
    rc = PollExecution();
  } else {
    // While the server still executes, the next answer on the connection is
    // that execution's: only polling may read it.
    if (resultHandle == QVO_RESULT_STILL_EXECUTING)
      return QVO_DIAG(this, _Function_sequence_error_, -1);
    running = {};
    rc = MoreResults();
  }
  if (rc == SQL_NO_DATA) {
    FreePointerArray();
    resultCursor.StartResult();
    if (IRD()->header.count > 0) IRD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(0), 0);
  }
  return rc;
}

SQLRETURN qvoStatement::MoreResults() {
  if (auxiliaryParse) {
    if (!auxAnswer) return SQL_NO_DATA;
    return CheckAuxiliaryAnswer();
  }
  ExecuteCloseRes();
  const SQLINTEGER remembered = resultHandle;
  resultHandle = QVO_RESULT_NONE;
  if (logFull) Log("qvoStatement::MoreResults()\n");

  SQLRETURN rc = SQL_NO_DATA;
  const size_t length = resultCursor.AnswerBytes();
  if (length >= 4) {
    if (resultCursor.AnswerPos() == 0) {
      DecodeResultCount(resultCursor.Answer(), length, &numResultSets);
      resultCursor.SetAnswerPos(kResultCountBytes);
    }
    resultCursor.StartResult();
    if (resultCursor.AnswerPos() < length) {
      qvoAnswerCursor in{resultCursor.Answer(), length, resultCursor.AnswerPos()};
      qvo_int8 kind = 0;
      in.Int8(&kind);
      SetDiagField(0, SQL_DIAG_ROW_COUNT, 0, 0);
      resultCursor.SetSqlRowCount(0);
      rc = SQL_SUCCESS;
      switch (kind) {
        case QVO_KIND_EMPTY:
          if (logFull) Log("Got result type: _RESULT_EMPTY_\n");
          resultHandle = remembered;
          resultCursor.SetAnswerPos(in.pos);
          break;
        case QVO_KIND_EXCEPTION: {
          if (logFull) Log("Got result type: R_Exception\n");
          std::string_view text, state;
          if (ReadException(in, &text, &state) != qvoReadStatus::Ok) {
            rc = MalformedAnswer();
            break;
          }
          resultCursor.SetAnswerPos(in.pos);
          resultHandle = QVO_RESULT_EXCEPTION;
          rc = RecordServerException(text.data(), text.size(), state.data());
          break;
        }
        case QVO_KIND_ROW_COUNT: {
          if (logFull) Log("Got result type: R_RowCount\n");
          qvo_int64 count = 0;
          if (!in.Int64(&count)) {
            rc = MalformedAnswer();
            break;
          }
          resultCursor.SetAnswerPos(in.pos);
          if (IRD()) IRD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(0), 0);
          resultCursor.SetTotals(count < 0 ? 0 : static_cast<SQLUBIGINT>(count),
                                 SaturatedRowCount(count));
          SetDiagField(0, SQL_DIAG_ROW_COUNT, resultCursor.SqlRowCount(), 0);
          break;
        }
        case QVO_KIND_RESULT_SET:
          rc = ParseResultSet(in);
          break;
        case QVO_KIND_HANDLE: {
          qvo_int32 handle = 0;
          if (!in.Int32(&handle)) {
            rc = MalformedAnswer();
            break;
          }
          resultCursor.SetAnswerPos(in.pos);
          preparedHandle = handle;
          if (logFull)
            Log("Got result type: R_Handle (prepared statement handle) = %lli\n",
                static_cast<long long>(handle));
          break;
        }
        case QVO_KIND_STILL_EXECUTING: {
          if (logFull) Log("Got result type: R_StillExecuting\n");
          std::string_view status;
          if (!in.Text(&status)) {
            rc = MalformedAnswer();
            break;
          }
          resultCursor.SetAnswerPos(in.pos);
          executionStatus.assign(status);
          resultHandle = QVO_RESULT_STILL_EXECUTING;
          rc = SQL_STILL_EXECUTING;
          break;
        }
        case QVO_KIND_MORE_ROWS:
          if (logFull) Log("Got result type: R_MoreRows\n");
          resultCursor.SetAnswerPos(in.pos);
          break;
        default:
          if (logFull) Log("Got UNKNOWN result type: %i\n", kind);
          resultCursor.SetAnswerPos(length);
          rc = QVO_DIAG(this, _Invalid_type_of_server_answer_, kind);
          break;
      }
    }
  }
  NoteExecutionState();
  return rc;
}

SQLRETURN qvoStatement::ParseResultSet(qvoAnswerCursor& in) {
  if (logFull) Log("Got result type: R_ResultSet\n");
  // The previous table points into buffers that this result replaces.
  FreePointerArray();
  qvoResultSetHeader h;
  if (ReadResultSetHeader(in, &h) != qvoReadStatus::Ok) return MalformedAnswer();
  // Only a still-executing result puts the statement in the running state: a
  // result set naming it would make the next execution poll instead of
  // sending its rows, and report the poll's answer as its own.
  if (h.handle == QVO_RESULT_STILL_EXECUTING) return MalformedAnswer();
  resultHandle = h.handle;
  cliDescriptor* target = h.handle == QVO_RESULT_PARAMETERS ? IPD() : IRD();
  if (logFull) {
    switch (h.handle) {
      case QVO_RESULT_INVALID:
        Log(" Handle=INVALID_RESULTSET\n");
        break;
      case QVO_RESULT_SMALL:
        Log(" Handle=SMALL_RESULTSET\n");
        break;
      case QVO_RESULT_PARAMETERS:
        Log(" Handle=PARAMETER_DESCRIPTION\n");
        break;
      default:
        Log(" Handle=%i\n", h.handle);
        break;
    }
  }
  const SQLPOINTER columns = AsPointer(h.columns);
  if (target == IRD()) {
    // The application's column bindings stay until it unbinds them: a
    // result with fewer columns leaves those past it bound for the next.
    if (ARD()->header.count < h.columns) ARD()->SetDescField(0, SQL_DESC_COUNT, columns, 0);
    // Nothing of the previous result may survive in the IRD.
    IRD()->SetDescField(0, SQL_DESC_COUNT, AsPointer(0), 0);
  }
  const SQLSMALLINT ipdCount = IPD()->header.count;
  if (target->SetDescField(0, SQL_DESC_COUNT, columns, 0) != SQL_SUCCESS ||
      target->header.count != h.columns)
    return MalformedAnswer();

  resultCursor.StartResultSet(static_cast<SQLUBIGINT>(h.totalRows), h.rowsHere);
  if (logFull)
    Log(" Columns: %i\n Total rows in resultset: %llu\n Rows received: %lli\n", h.columns,
        static_cast<unsigned long long>(resultCursor.NLines()),
        static_cast<long long>(resultCursor.ResultRowCount()));

  const bool intTypes = connection && connection->IntTypesInResultsIfPossible();
  qvo_int64 lineBytes = 0;
  for (int column = 1; column <= h.columns; ++column) {
    const auto i = static_cast<SQLSMALLINT>(column);
    qvoColumnDescription c;
    const qvoReadStatus status = ReadColumnDescription(in, &c);
    if (status == qvoReadStatus::Malformed) return MalformedAnswer();
    ColumnLayout layout;
    if (status == qvoReadStatus::UnknownType ||
        !LayoutOf(c, intTypes, dateTypeCode, timestampTypeCode, &layout)) {
      resultCursor.SkipAnswer();
      return QVO_DIAG(this, _QVO_Type_error_, -1);
    }
    __cliDescriptorRecords* r = target->GetRecord(i);
    const int n = static_cast<int>(c.name.size());
    __cliDescriptorRecords::SetOwnedText(r->descName, r->descNameLen, c.name.data(), n);
    __cliDescriptorRecords::SetOwnedText(r->baseColumnName, r->baseColumnNameLen, c.name.data(), n);
    r->unnamed = n == 0 ? 1 : 0;
    r->qvoType = static_cast<SQLSMALLINT>(c.serverType);
    target->SetDescField(i, SQL_DESC_CONCISE_TYPE, AsPointer(layout.conciseType), 0);
    r->qvoType = layout.qvoType;
    qvoCopyStr(r->typeName, layout.typeName, SQL_NTS, sizeof r->typeName, SQL_NTS);
    r->qvoTypeLen = layout.qvoTypeLen;
    if (layout.nativeType) r->nativeType = layout.nativeType;
    if (layout.numeric) {
      r->precision = c.precision;
      r->scale = static_cast<SQLSMALLINT>(c.scale);
      // In 64 bits: any precision the server states fits.
      r->length = static_cast<SQLULEN>(c.precision) + 2;
      r->octetLength = r->displaySize = static_cast<SQLLEN>(c.precision) + 2;
    } else if (layout.character) {
      r->precision = c.size;
      r->length = static_cast<SQLULEN>(c.size);
      r->displaySize = c.size;
      r->octetLength = c.octetLength;
    }
    r->charAttr = static_cast<char>(c.charFlags);
    r->displaySize *= stmtAttr.characterDisplaySize;
    r->nullable = SQL_NULLABLE;
    lineBytes += layout.qvoTypeLen;
    if (logFull)
      Log("Column(%i): %s %s%s, Precision=%i, Scale=%i, DisplaySize=%i, \n", i, r->descName,
          r->typeName,
          IsCharacterBlockType(r->qvoType) ? ((c.charFlags & 0x10) ? " UTF8" : " ASCII") : "",
          static_cast<int>(r->precision), static_cast<int>(r->scale),
          static_cast<int>(r->displaySize));
  }
  resultCursor.SetAnswerPos(in.pos);
  if (target != IRD() && ipdCount != h.columns && logFull)
    Log("SQL_ERROR: assert(resultDescriptor==IRD || assertionNumColumns==numColumns)\n");

  if (lineBytes == 0) return SQL_SUCCESS;
  qvo_int64 messageSize = connection ? connection->GetMaxDataMessageSize() : 0;
  if (messageSize <= 0) messageSize = kDefaultDataMessageSize;
  messageSize = std::min(messageSize, kMaxDataMessageSize);
  resultCursor.SetAnswerBlockSize(
      std::max<qvo_int64>(1, (messageSize - 100 - 50 * h.columns) / lineBytes));

  const SQLINTEGER used = CreatePointerArray(in.Here(), static_cast<qvo_int64>(in.Remaining()));
  if (used < 0) return MalformedAnswer();
  resultCursor.SetAnswerPos(in.pos + static_cast<size_t>(used));
  return SQL_SUCCESS;
}
