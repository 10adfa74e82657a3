// Statement attributes: one table row per identifier with what setting and
// reading it do. The ODBC attributes are SQLULEN or pointer wide on the way
// out, as ODBC prescribes for 64-bit hosts; the private numeric ones keep
// their 32-bit words unless they are 64-bit counts or pointers.
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "common/qvoAttributeIds.h"
#include "common/qvoPredicates.h"
#include "common/qvoStrings.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

namespace {

using Stmt = qvoStatement;
using Desc = qvoStatementDescriptors;

// Session attribute of the ODBC 2 autocommit option.
constexpr qvo_int16 kAttrAutocommit = 7;
using Setter = SQLRETURN (*)(Stmt&, SQLPOINTER);
using Getter = SQLRETURN (*)(Stmt&, SQLPOINTER, SQLINTEGER, SQLINTEGER*);

SQLULEN Num(SQLPOINTER v) { return static_cast<SQLULEN>(reinterpret_cast<uintptr_t>(v)); }
SQLUINTEGER Num32(SQLPOINTER v) { return static_cast<SQLUINTEGER>(Num(v)); }

template <class T>
SQLRETURN Put(SQLPOINTER out, T value) {
  if (out) std::memcpy(out, &value, sizeof value);
  return SQL_SUCCESS;
}

#define DIAG(s, entry, native) QVO_DIAG(&(s), entry, native)

// --- setters -------------------------------------------------------------------------

SQLRETURN SetMaxRows(Stmt& s, SQLPOINTER v) {
  s.stmtAttr.maxRows = Num(v);
  return SQL_SUCCESS;
}
SQLRETURN SetNoscan(Stmt& s, SQLPOINTER v) {
  if (Num(v) > 1) return DIAG(s, _Invalid_attribute_value_for_metadata_ID_, -1);
  s.stmtAttr.noscan = 1;
  return SQL_SUCCESS;
}
SQLRETURN SetMaxLength(Stmt& s, SQLPOINTER v) {
  s.stmtAttr.maxLength = Num32(v);
  return SQL_SUCCESS;
}
SQLRETURN SetAsyncEnable(Stmt& s, SQLPOINTER v) {
  s.stmtAttr.asyncEnable = Num32(v);
  return SQL_SUCCESS;
}

// Header fields of the statement's current descriptors (ARD, APD, IRD, IPD).
template <cliDescriptor* Desc::*desc>
SQLRETURN SetBindType(Stmt& s, SQLPOINTER v) {
  (s.Descriptors().*desc)->header.bindType = Num32(v);
  return SQL_SUCCESS;
}
template <cliDescriptor* Desc::*desc>
SQLRETURN SetArrayStatusPtr(Stmt& s, SQLPOINTER v) {
  (s.Descriptors().*desc)->header.arrayStatusPtr = static_cast<SQLUSMALLINT*>(v);
  return SQL_SUCCESS;
}
// A null offset pointer points the descriptor at its own zero again.
template <cliDescriptor* Desc::*desc>
SQLRETURN SetBindOffsetPtr(Stmt& s, SQLPOINTER v) {
  __cliDescriptorHeader& h = (s.Descriptors().*desc)->header;
  if (v == nullptr) {
    h.bindOffsetDummy = 0;
    h.bindOffsetPtr = &h.bindOffsetDummy;
  } else {
    h.bindOffsetPtr = static_cast<SQLLEN*>(v);
  }
  return SQL_SUCCESS;
}
SQLRETURN SetCursorType(Stmt& s, SQLPOINTER v) {
  switch (Num(v)) {
    case SQL_CURSOR_FORWARD_ONLY:
    case SQL_CURSOR_STATIC:
      s.stmtAttr.cursorType = Num32(v);
      return SQL_SUCCESS;
    case SQL_CURSOR_KEYSET_DRIVEN:
    case SQL_CURSOR_DYNAMIC:
      s.stmtAttr.cursorType = SQL_CURSOR_FORWARD_ONLY;
      DIAG(s, _Option_value_changed_, -1);
      return SQL_SUCCESS_WITH_INFO;
    default:
      return DIAG(s, _Invalid_attribute_value_for_cursor_type_, -1);
  }
}
SQLRETURN SetConcurrency(Stmt& s, SQLPOINTER v) {
  const SQLULEN n = Num(v);
  if (n == SQL_CONCUR_READ_ONLY) {
    s.stmtAttr.attrConcurency = SQL_CONCUR_READ_ONLY;
    return SQL_SUCCESS;
  }
  if (n >= SQL_CONCUR_LOCK && n <= SQL_CONCUR_VALUES) {
    s.stmtAttr.attrConcurency = SQL_CONCUR_READ_ONLY;
    DIAG(s, _Option_value_changed_, 1);
    return SQL_SUCCESS_WITH_INFO;
  }
  return DIAG(s, _Invalid_attribute_value_for_cursor_concurency_, -1);
}
SQLRETURN SetKeysetSize(Stmt& s, SQLPOINTER) {
  s.stmtAttr.keysetSize = 0;
  DIAG(s, _Option_value_changed_keyset_size_stays_0_, 1);
  return SQL_SUCCESS_WITH_INFO;
}
SQLRETURN SetRowArraySize(Stmt& s, SQLPOINTER v) {
  s.ARD()->header.arraySize = Num(v);
  return SQL_SUCCESS;
}
SQLRETURN SetSimulateCursor(Stmt& s, SQLPOINTER) {
  return DIAG(s, _Optional_feature_not_implemented_simulate_cursor_, -1);
}
SQLRETURN SetRetrieveData(Stmt& s, SQLPOINTER v) {
  if (Num(v) > 1) return DIAG(s, _Invalid_attribute_value_for_retrive_data_, -1);
  s.stmtAttr.retriveData = Num32(v);
  return SQL_SUCCESS;
}
SQLRETURN SetUseBookmarks(Stmt& s, SQLPOINTER v) {
  const SQLULEN n = Num(v);
  if (n == 0) s.stmtAttr.useBookmarks = 0;
  if (n > 2) return DIAG(s, _Invalid_attribute_value_for_use_bookmarks_, -1);
  return SQL_SUCCESS;
}
SQLRETURN Accept(Stmt&, SQLPOINTER) { return SQL_SUCCESS; }
SQLRETURN SetEnableAutoIPD(Stmt& s, SQLPOINTER v) {
  if (Num(v) > 1) return DIAG(s, _Invalid_attribute_value_for_auto_IPD_, -1);
  s.stmtAttr.enableAutoIPD = 1;
  return SQL_SUCCESS;
}
SQLRETURN SetFetchBookmarkPtr(Stmt& s, SQLPOINTER) {
  return DIAG(s, _Option_value_changed_Fetch_bookmarks_not_supported_, -1);
}
SQLRETURN SetParamsProcessedPtr(Stmt& s, SQLPOINTER v) {
  __cliDescriptorHeader& h = s.IPD()->header;
  h.rowsProcessedPtr = v ? static_cast<SQLULEN*>(v) : &h.rowsProcessed;
  return SQL_SUCCESS;
}
SQLRETURN SetParamsetSize(Stmt& s, SQLPOINTER v) {
  s.APD()->SetDescField(0, SQL_DESC_ARRAY_SIZE, v, 0);
  return SQL_SUCCESS;
}
SQLRETURN SetRowsFetchedPtr(Stmt& s, SQLPOINTER v) {
  const SQLRETURN rc = s.IRD()->SetDescField(0, SQL_DESC_ROWS_PROCESSED_PTR, v, 0);
  if (rc == SQL_ERROR) s.AppendDiagRecordsFrom(s.IRD());
  return rc;
}
SQLRETURN SetCursorScrollable(Stmt& s, SQLPOINTER v) {
  if (Num(v) > 1) return DIAG(s, _Invalid_attribute_value_for_cursor_scrollable_, -1);
  s.stmtAttr.cursorScrollable = 1;
  return SQL_SUCCESS;
}
SQLRETURN SetCursorSensitivity(Stmt& s, SQLPOINTER v) {
  if (Num32(v) > 2) return DIAG(s, _Invalid_attribute_value_for_cursor_sensitivity_, -1);
  s.stmtAttr.cursorSensitivity = 0;
  DIAG(s, _Option_value_changed_, 1);
  return SQL_SUCCESS_WITH_INFO;
}
SQLRETURN SetMetadataID(Stmt& s, SQLPOINTER v) {
  if (Num(v) > 1) return DIAG(s, _Invalid_attribute_value_for_metadata_ID_, -1);
  s.stmtAttr.metadataID = Num32(v);
  return SQL_SUCCESS;
}

// Descriptor slots: a null value restores the statement's own descriptor; a
// descriptor the application allocated, or the statement's own one of that
// role, may take the slot.
template <SQLSMALLINT kind>
SQLRETURN SetDescriptorSlot(Stmt& s, SQLPOINTER v) {
  const qvoStatementDescriptors& d = s.Descriptors();
  if (v == nullptr || v == d.*qvoStatementDescriptors::SlotOf(kind)->ownId) {
    s.UseDescriptor(kind, nullptr, nullptr);
    return SQL_SUCCESS;
  }
  // Only a descriptor of the statement's own connection: freeing it puts
  // back the statements of that connection alone. One that another thread
  // is freeing is not found.
  auto* desc =
      static_cast<cliDescriptor*>(GetLiveObject(v, SQL_HANDLE_DESC, s.connection->GetHandleID()));
  if (desc == nullptr || desc->header.allocType != SQL_DESC_ALLOC_USER)
    return DIAG(s, _Invalid_use_of_an_automatically_allocated_descriptor_handle_, -1);
  s.UseDescriptor(kind, desc, v);
  return SQL_SUCCESS;
}
SQLRETURN SetImpRowDesc(Stmt& s, SQLPOINTER) {
  return DIAG(s, _Invalid_use_of_an_automatically_allocated_descriptor_handle_, -1);
}

// Connection-wide settings go to the connection.
// The connection-wide settings record on the connection; the statement that
// was called gets the same records, so that its own failure explains itself.
SQLRETURN FromConnection(Stmt& s, SQLRETURN rc) {
  if (rc != SQL_SUCCESS) s.AppendDiagRecordsFrom(s.connection);
  return rc;
}
SQLRETURN SetQueryTimeout(Stmt& s, SQLPOINTER v) {
  return FromConnection(s, s.connection->SetQueryTimeoutInQvo(Num32(v)));
}
SQLRETURN SetFeedbackInterval(Stmt& s, SQLPOINTER v) {
  return FromConnection(s, s.connection->SetFeedbackIntervalInQvo(Num32(v)));
}
SQLRETURN SpecialOption(Stmt& s, SQLPOINTER) {
  return DIAG(s, _Incorrect_use_of_special_option_identifier_, -1);
}
SQLRETURN SetPrepareSuccess(Stmt& s, SQLPOINTER v) {
  s.stmtAttr.prepareSuccess = Num32(v);
  return SQL_SUCCESS;
}
SQLRETURN SetExtendedFetchMapping(Stmt& s, SQLPOINTER v) {
  s.extendedFetchMapping = Num32(v);
  return SQL_SUCCESS;
}
SQLRETURN SetTruncateDecimals(Stmt& s, SQLPOINTER v) {
  s.stmtAttr.truncateDecimals = Num(v) != 0 ? 1 : 0;
  return SQL_SUCCESS;
}
SQLRETURN SetTimestampPrecision(Stmt& s, SQLPOINTER v) {
  s.stmtAttr.timestampPrecision = Num32(v) > 9 ? 9 : Num32(v);
  return SQL_SUCCESS;
}
SQLRETURN SetCursorRow(Stmt& s, SQLPOINTER v) {
  if (v == nullptr) return DIAG(s, _Row_value_out_of_range_, -1);
  SQLBIGINT row = 0;
  std::memcpy(&row, v, sizeof row);
  const auto r = static_cast<SQLUBIGINT>(row);
  if (r < 1 || r > s.Result().NLines()) return DIAG(s, _Row_value_out_of_range_, -1);
  s.SetCursor(row);
  return SQL_SUCCESS;
}
template <char value>
SQLRETURN SetPointerBind(Stmt& s, SQLPOINTER v) {
  const SQLULEN n = Num(v);
  if (n < 1 || n > static_cast<SQLULEN>(s.APD()->header.count))
    return DIAG(s, _Parameter_number_out_of_range_Call_BindParameter_for_this_column_first_, -1);
  s.APD()->GetRecord(static_cast<SQLSMALLINT>(n))->pointerBind = value;
  return SQL_SUCCESS;
}
SQLRETURN SetFloatPrecision(Stmt& s, SQLPOINTER v) {
  if (v == nullptr) return DIAG(s, _Invalid_attribute_value_, -1);
  int precision = 0;
  std::memcpy(&precision, v, sizeof precision);
  s.stmtAttr.floatPrecision = precision;
  return SQL_SUCCESS;
}
SQLRETURN SetExternalConversion(Stmt& s, SQLPOINTER v) {
  s.stmtAttr.externalConversion = static_cast<char>(Num(v) & 0xFF);
  return SQL_SUCCESS;
}

// Code-set names of the four converters.
struct EncodingAttr {
  SQLINTEGER id;
  qvoConverterPtr qvoHandle::*converter;
  const char* logLine;
};
constexpr EncodingAttr kEncodings[] = {
    {QVO_ATTR_DATA_ENCODING, &qvoHandle::dataConverter,
     "QVO_ANSI_DATA_ENCODING (CLI) Encoding requested: %s, return code: %i\n"},
    {QVO_ATTR_SQL_ENCODING, &qvoHandle::sqlConverter,
     "QVO_ANSI_ARG_ENCODING (CLI) Encoding requested: %s, return code: %i\n"},
    {QVO_ATTR_WCHAR_SQL_ENCODING, &qvoHandle::wcharSqlConverter,
     "QVO_UNICODE_ARG_ENCODING (CLI) Encoding requested: %s, return code: %i\n"},
    {QVO_ATTR_WCHAR_DATA_ENCODING, &qvoHandle::wcharDataConverter,
     "QVO_UNICODE_DATA_ENCODING (CLI) Encoding requested: %s, return code: %i\n"},
};
template <int index>
SQLRETURN SetEncoding(Stmt& s, SQLPOINTER v) {
  const EncodingAttr& e = kEncodings[index];
  const char* name = v ? static_cast<const char*>(v) : "";
  iconverter* conv = (s.*e.converter).get();
  SQLRETURN rc = SQL_SUCCESS;
  if (conv == nullptr || SetInstalledCurrentCodepage(conv, name) != 0) {
    DIAG(s, _Option_value_changed_Cannot_set_custom_encoding_, -1);
    rc = SQL_ERROR;
  }
  if (s.logFull) s.Log(e.logLine, name, rc);
  return rc;
}
template <int index>
SQLRETURN GetEncoding(Stmt& s, SQLPOINTER v, SQLINTEGER bufferLength, SQLINTEGER* len) {
  // A negative size (SQL_NTS among them) would let the copy run past the
  // application's buffer.
  if (bufferLength < 0) return DIAG(s, _Invalid_string_or_buffer_length_, -1);
  iconverter* conv = (s.*kEncodings[index].converter).get();
  const char* name = conv ? conv->GetCurrentCodepage() : nullptr;
  if (name == nullptr) name = "";
  const int full = static_cast<int>(std::strlen(name));
  const int n = qvoCopyStr(static_cast<char*>(v), name, full, bufferLength, SQL_NTS);
  if (len) *len = full;
  if (v == nullptr || n >= full) return SQL_SUCCESS;
  DIAG(s, _String_data_right_truncated_, 1);
  return SQL_SUCCESS_WITH_INFO;
}

// --- getters -----------------------------------------------------------------------------

// ODBC numeric attributes: SQLULEN.
template <auto member>
SQLRETURN GetAttrULen(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLULEN>(v, static_cast<SQLULEN>(s.stmtAttr.*member));
}
SQLRETURN GetQueryTimeout(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLULEN>(v, s.connection->GetQueryTimeout());
}
SQLRETURN GetMaxRows(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLULEN>(v, static_cast<SQLUINTEGER>(s.stmtAttr.maxRows));
}
template <cliDescriptor* Desc::*desc>
SQLRETURN GetBindType(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLULEN>(v, (s.Descriptors().*desc)->header.bindType);
}
template <cliDescriptor* Desc::*desc>
SQLRETURN GetArraySize(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLULEN>(v, (s.Descriptors().*desc)->header.arraySize);
}
template <cliDescriptor* Desc::*desc>
SQLRETURN GetArrayStatusPtr(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLPOINTER>(v, (s.Descriptors().*desc)->header.arrayStatusPtr);
}
// The descriptor's field as it stands (its own target when none was set).
template <cliDescriptor* Desc::*desc>
SQLRETURN GetBindOffsetPtr(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLPOINTER>(v, (s.Descriptors().*desc)->header.bindOffsetPtr);
}
template <cliDescriptor* Desc::*desc>
SQLRETURN GetRowsProcessedPtr(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLPOINTER>(v, (s.Descriptors().*desc)->header.rowsProcessedPtr);
}
SQLRETURN GetRowNumber(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  // The current row's number in the whole result: the row SetPos chose, else
  // the last row fetched.
  s.stmtAttr.rowNumber = static_cast<SQLUINTEGER>(s.Result().CurrentRowNumber());
  return Put<SQLULEN>(v, s.stmtAttr.rowNumber);
}
SQLRETURN GetFetchBookmarkPtr(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  Put<SQLPOINTER>(v, nullptr);
  QVO_DIAG(&s, _Option_value_changed_Fetch_bookmarks_not_supported_, 1);
  return SQL_SUCCESS_WITH_INFO;
}
SQLRETURN GetParamBindOffsetPtr(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  const __cliDescriptorHeader& h = s.APD()->header;
  return Put<SQLPOINTER>(v, h.bindOffsetPtr == &h.bindOffsetDummy ? nullptr : h.bindOffsetPtr);
}
SQLRETURN GetParamsProcessedPtr(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  const __cliDescriptorHeader& h = s.IPD()->header;
  return Put<SQLPOINTER>(v, h.rowsProcessedPtr == &h.rowsProcessed ? nullptr : h.rowsProcessedPtr);
}
template <SQLPOINTER Desc::*id>
SQLRETURN GetHandleValue(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLPOINTER>(v, s.Descriptors().*id);
}
SQLRETURN GetAutocommit(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLULEN>(v, s.connection->GetAutocommitMode());
}
SQLRETURN GetPtrArray(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLPOINTER>(v, s.Result().PtrArray());
}
SQLRETURN GetOldResultRowCount(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  if (s.Result().OldResultRowCount() >
      static_cast<SQLBIGINT>(std::numeric_limits<SQLUINTEGER>::max()))
    return QVO_DIAG(&s, _Value_overflow_converting_bigint_lo_ulong_, -1);
  return Put<SQLUINTEGER>(v, static_cast<SQLUINTEGER>(s.Result().OldResultRowCount()));
}
SQLRETURN GetLines(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLUBIGINT>(v, s.Result().NLines());
}
SQLRETURN GetPreparedMessageLen(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLINTEGER>(v, s.preparedMessageLen);
}
SQLRETURN GetProtocolVersion(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLINTEGER>(v, s.protocolVersion);
}
SQLRETURN GetStatementText(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<const char*>(v, s.sqlStmt.GetStatement());
}
SQLRETURN GetCursor(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLBIGINT>(v, s.Result().Cursor());
}
SQLRETURN GetResultHandle(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLINTEGER>(v, s.resultHandle);
}
SQLRETURN GetPreparedHandle(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLINTEGER>(v, s.preparedHandle);
}
SQLRETURN GetSessionID(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<SQLUBIGINT>(v, s.connection->GetSessionID());
}
SQLRETURN GetStatusText(Stmt& s, SQLPOINTER v, SQLINTEGER, SQLINTEGER*) {
  return Put<const char*>(v, s.StatusText());
}
SQLRETURN GetSpecialOption(Stmt& s, SQLPOINTER, SQLINTEGER, SQLINTEGER*) {
  return QVO_DIAG(&s, _Incorrect_use_of_special_option_identifier_, -1);
}

struct AttrRow {
  SQLINTEGER id;
  Setter set;  // null: not accepted
  Getter get;  // null: not accepted
};

using A = __statementAttributes;
constexpr AttrRow kAttributes[] = {
    {SQL_ATTR_QUERY_TIMEOUT, SetQueryTimeout, GetQueryTimeout},
    {SQL_ATTR_MAX_ROWS, SetMaxRows, GetMaxRows},
    {SQL_ATTR_NOSCAN, SetNoscan, GetAttrULen<&A::noscan>},
    {SQL_ATTR_MAX_LENGTH, SetMaxLength, GetAttrULen<&A::maxLength>},
    {SQL_ATTR_ASYNC_ENABLE, SetAsyncEnable, GetAttrULen<&A::asyncEnable>},
    {SQL_ATTR_ROW_BIND_TYPE, SetBindType<&Desc::ARD>, GetBindType<&Desc::ARD>},
    {SQL_ATTR_CURSOR_TYPE, SetCursorType, GetAttrULen<&A::cursorType>},
    {SQL_ATTR_CONCURRENCY, SetConcurrency, GetAttrULen<&A::attrConcurency>},
    {SQL_ATTR_KEYSET_SIZE, SetKeysetSize, GetAttrULen<&A::keysetSize>},
    {SQL_ROWSET_SIZE, SetRowArraySize, GetArraySize<&Desc::ARD>},
    {SQL_ATTR_SIMULATE_CURSOR, SetSimulateCursor, GetAttrULen<&A::simulateCursor>},
    {SQL_ATTR_RETRIEVE_DATA, SetRetrieveData, GetAttrULen<&A::retriveData>},
    {SQL_ATTR_USE_BOOKMARKS, SetUseBookmarks, GetAttrULen<&A::useBookmarks>},
    {SQL_ATTR_ROW_NUMBER, Accept, GetRowNumber},
    {SQL_ATTR_ENABLE_AUTO_IPD, SetEnableAutoIPD, GetAttrULen<&A::enableAutoIPD>},
    {SQL_ATTR_FETCH_BOOKMARK_PTR, SetFetchBookmarkPtr, GetFetchBookmarkPtr},
    {SQL_ATTR_PARAM_BIND_OFFSET_PTR, SetBindOffsetPtr<&Desc::APD>, GetParamBindOffsetPtr},
    {SQL_ATTR_PARAM_BIND_TYPE, SetBindType<&Desc::APD>, GetBindType<&Desc::APD>},
    {SQL_ATTR_PARAM_OPERATION_PTR, SetArrayStatusPtr<&Desc::APD>, GetArrayStatusPtr<&Desc::APD>},
    {SQL_ATTR_PARAM_STATUS_PTR, SetArrayStatusPtr<&Desc::IPD>, GetArrayStatusPtr<&Desc::IPD>},
    {SQL_ATTR_PARAMS_PROCESSED_PTR, SetParamsProcessedPtr, GetParamsProcessedPtr},
    {SQL_ATTR_PARAMSET_SIZE, SetParamsetSize, GetArraySize<&Desc::APD>},
    {SQL_ATTR_ROW_BIND_OFFSET_PTR, SetBindOffsetPtr<&Desc::ARD>, GetBindOffsetPtr<&Desc::ARD>},
    {SQL_ATTR_ROW_OPERATION_PTR, SetArrayStatusPtr<&Desc::ARD>, GetArrayStatusPtr<&Desc::ARD>},
    {SQL_ATTR_ROW_STATUS_PTR, SetArrayStatusPtr<&Desc::IRD>, GetArrayStatusPtr<&Desc::IRD>},
    {SQL_ATTR_ROWS_FETCHED_PTR, SetRowsFetchedPtr, GetRowsProcessedPtr<&Desc::IRD>},
    {SQL_ATTR_ROW_ARRAY_SIZE, SetRowArraySize, GetArraySize<&Desc::ARD>},
    {SQL_ATTR_CURSOR_SCROLLABLE, SetCursorScrollable, GetAttrULen<&A::cursorScrollable>},
    {SQL_ATTR_CURSOR_SENSITIVITY, SetCursorSensitivity, GetAttrULen<&A::cursorSensitivity>},
    {SQL_ATTR_APP_ROW_DESC, SetDescriptorSlot<QVO_DESC_ARD>, GetHandleValue<&Desc::idARD>},
    {SQL_ATTR_APP_PARAM_DESC, SetDescriptorSlot<QVO_DESC_APD>, GetHandleValue<&Desc::idAPD>},
    {SQL_ATTR_IMP_ROW_DESC, SetImpRowDesc, GetHandleValue<&Desc::idIRD>},
    {SQL_ATTR_IMP_PARAM_DESC, SetDescriptorSlot<QVO_DESC_IPD>, GetHandleValue<&Desc::idIPD>},
    {SQL_ATTR_METADATA_ID, SetMetadataID, GetAttrULen<&A::metadataID>},
    // ODBC 2 connection options set on a statement.
    {SQL_AUTOCOMMIT, nullptr, GetAutocommit},
    {1002, Accept, nullptr},
    {1227, Accept, GetSpecialOption},
    {1228, Accept, GetSpecialOption},
    {3002, Accept, nullptr},
    {1225, SpecialOption, GetSpecialOption},
    {1226, SpecialOption, GetSpecialOption},
    {1229, SpecialOption, GetSpecialOption},
    {1230, SpecialOption, GetSpecialOption},
    {1231, SpecialOption, GetSpecialOption},
    {1232, SpecialOption, GetSpecialOption},
    // Private identifiers.
    {QVO_ATTR_PREPARE_SUCCESS, SetPrepareSuccess, nullptr},
    {QVO_ATTR_DATA_ENCODING, SetEncoding<0>, GetEncoding<0>},
    {QVO_ATTR_SQL_ENCODING, SetEncoding<1>, GetEncoding<1>},
    {QVO_ATTR_WCHAR_SQL_ENCODING, SetEncoding<2>, GetEncoding<2>},
    {QVO_ATTR_WCHAR_DATA_ENCODING, SetEncoding<3>, GetEncoding<3>},
    {QVO_ATTR_EXTENDED_FETCH_MAPPING, SetExtendedFetchMapping, nullptr},
    {QVO_ATTR_FEEDBACK_INTERVAL, SetFeedbackInterval, nullptr},
    {QVO_ATTR_ROWS_FETCHED_PTR, SetRowsFetchedPtr, nullptr},
    {QVO_ATTR_ARRAY_STATUS_PTR, SetArrayStatusPtr<&Desc::IRD>, nullptr},
    {QVO_ATTR_TRUNCATE_DECIMALS, SetTruncateDecimals, nullptr},
    {-9913, SetTruncateDecimals, nullptr},
    {QVO_ATTR_TIMESTAMP_PRECISION, SetTimestampPrecision, nullptr},
    {-9915, SetTimestampPrecision, nullptr},
    {QVO_ATTR_CURSOR_ROW, SetCursorRow, nullptr},
    {-9918, SetCursorRow, nullptr},
    {QVO_ATTR_POINTER_BIND_ON, SetPointerBind<1>, nullptr},
    {-9919, SetPointerBind<1>, nullptr},
    {QVO_ATTR_POINTER_BIND_OFF, SetPointerBind<0>, nullptr},
    {-9920, SetPointerBind<0>, nullptr},
    {QVO_ATTR_FLOAT_PRECISION, SetFloatPrecision, nullptr},
    {-9904, SetFloatPrecision, nullptr},
    {QVO_ATTR_EXTERNAL_CONVERSION, SetExternalConversion, nullptr},
    {-9906, SetExternalConversion, nullptr},
    {QVO_ATTR_PTR_ARRAY, nullptr, GetPtrArray},
    {QVO_ATTR_OLD_RESULT_ROW_COUNT, nullptr, GetOldResultRowCount},
    {QVO_ATTR_LINES, nullptr, GetLines},
    {QVO_ATTR_RESULT_LINES, nullptr, GetLines},
    {-9905, nullptr, GetLines},
    {QVO_ATTR_PREPARED_MESSAGE_LEN, nullptr, GetPreparedMessageLen},
    {QVO_ATTR_STMT_PROTOCOL_VERSION, nullptr, GetProtocolVersion},
    {QVO_ATTR_IRD_HANDLE, nullptr, GetHandleValue<&Desc::idIRD>},
    {QVO_ATTR_STATEMENT_TEXT, nullptr, GetStatementText},
    {-9914, nullptr, GetStatementText},
    {QVO_ATTR_CURSOR, nullptr, GetCursor},
    {-9916, nullptr, GetCursor},
    {QVO_ATTR_RESULT_HANDLE, nullptr, GetResultHandle},
    {-9903, nullptr, GetResultHandle},
    {QVO_ATTR_PREPARED_HANDLE, nullptr, GetPreparedHandle},
    {-9907, nullptr, GetPreparedHandle},
    {QVO_ATTR_STMT_SESSION_ID, nullptr, GetSessionID},
    {QVO_ATTR_STATUS_TEXT, nullptr, GetStatusText},
};

const AttrRow* FindAttribute(SQLINTEGER id) {
  for (const AttrRow& row : kAttributes)
    if (row.id == id) return &row;
  return nullptr;
}

// Identifiers read while a statement runs: reading them keeps the records.
constexpr SQLINTEGER kPolledAttributes[] = {-9916,
                                            -9914,
                                            -9907,
                                            -9905,
                                            -9903,
                                            QVO_ATTR_ROWS_FETCHED_PTR,
                                            QVO_ATTR_ARRAY_STATUS_PTR,
                                            QVO_ATTR_IRD_HANDLE,
                                            QVO_ATTR_STATEMENT_TEXT,
                                            QVO_ATTR_CURSOR,
                                            QVO_ATTR_RESULT_HANDLE,
                                            QVO_ATTR_RESULT_LINES,
                                            QVO_ATTR_PREPARED_HANDLE,
                                            QVO_ATTR_STMT_SESSION_ID};

}  // namespace

SQLRETURN qvoStatement::SetStmtAttr(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                    SQLINTEGER stringLength) {
  if (attribute != QVO_ATTR_ROWS_FETCHED_PTR && attribute != QVO_ATTR_ARRAY_STATUS_PTR &&
      GetNumRecords() > 0)
    ClearDiagRecords();
  // A code-set name given with its length need not be terminated: read no
  // more of it than the application gave.
  std::string name;
  if (IsStmtAttrChar(attribute) && valuePtr != nullptr && stringLength >= 0) {
    name.assign(static_cast<const char*>(valuePtr), static_cast<size_t>(stringLength));
    valuePtr = name.data();
  }
  if (attribute == SQL_AUTOCOMMIT) return SetAutocommitOption(valuePtr);
  const AttrRow* row = FindAttribute(attribute);
  if (row == nullptr || row->set == nullptr)
    return QVO_DIAG(this, _Invalid_attribute_option_identifier_, -1);
  return row->set(*this, valuePtr);
}

SQLRETURN qvoStatement::GetStmtAttr(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                    SQLINTEGER bufferLength, SQLINTEGER* stringLengthPtr) {
  bool polled = false;
  for (SQLINTEGER id : kPolledAttributes) polled = polled || id == attribute;
  if (!polled && GetNumRecords() > 0) ClearDiagRecords();
  const AttrRow* row = FindAttribute(attribute);
  if (row == nullptr || row->get == nullptr)
    return QVO_DIAG(this, _Invalid_attribute_option_identifier_, -1);
  return row->get(*this, valuePtr, bufferLength, stringLengthPtr);
}

SQLRETURN qvoStatement::SetAutocommitOption(SQLPOINTER value) {
  // Like every exchange of a statement: after the other statements' exchanges,
  // and never while one of them still executes asynchronously.
  qvoMutex lock(connection->executionMutex);
  if (ConnectionBusyWithOther()) return QVO_DIAG(this, _Function_sequence_error_, -1);
  // The answer of the attribute request is read on its own: the statement's
  // results stay as they are.
  auxiliaryExchange = auxiliaryParse = true;
  SQLRETURN rc =
      connection->SetBoolAttribute(this, kAttrAutocommit, static_cast<qvo_int8>(Num(value) & 0xFF));
  if (rc != SQL_ERROR) rc = SyncMoreResults(0);
  auxiliaryExchange = auxiliaryParse = false;
  auxAnswer.reset();
  auxAnswerLen = 0;
  if (rc == SQL_ERROR)
    return FailWith(&Translator::_Error_describing_res_CODE,
                    &Translator::_Error_describing_res_MESSAGE);
  return SQL_SUCCESS;
}
