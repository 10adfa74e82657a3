// Exported functions of result description, column binding, fetch and
// scroll. Names and text attributes leave the statement as UTF-8 and are
// converted here: narrow text into the application's code set, wide text
// into SQLWCHAR units.
#include <string>

#include "api/qvoTextOutput.h"
#include "handles/qvoCallFrame.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "platform/qvoConverter.h"
#include "qvo/qvoCInterface.h"
#include "statement/qvoStatement.h"

namespace {

template <class Method>
SQLRETURN StmtCall(SQLHSTMT handle, Method&& method) {
  return qvoCallWith<qvoStatement>(handle, SQL_HANDLE_STMT, qvo_frame::NoConversion{}, method);
}

// Column numbers arrive unsigned; above 32767 they are no column at all.
SQLSMALLINT ColumnOf(SQLUSMALLINT column) {
  return column > 32767 ? SQLSMALLINT{-1} : static_cast<SQLSMALLINT>(column);
}

enum class Width { Narrow, Wide };

SQLRETURN Truncated(qvoStatement& s, SQLRETURN rc) {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return rc;
  QVO_DIAG(&s, _String_data_right_truncated_, 1);
  return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN DescribeColAny(SQLHSTMT handle, SQLUSMALLINT column, char* name, SQLSMALLINT bufferLength,
                         SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                         SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable, Width width) {
  return StmtCall(handle, [&](qvoStatement& s) -> SQLRETURN {
    // A number above 32767 lies beyond every column count: out of range, not
    // an invalid index.
    const SQLSMALLINT col = column > 32767 ? SQLSMALLINT{32767} : static_cast<SQLSMALLINT>(column);
    const SQLRETURN rc = s.DescribeCol(col, nullptr, bufferLength, nullptr, dataType, columnSize,
                                       decimalDigits, nullable);
    if (rc == SQL_ERROR) return rc;
    // Nothing of the name asked: a name the code set cannot hold is no
    // reason to refuse the column's type.
    if (!name && !nameLength) return rc;
    const __cliDescriptorRecords* r = s.IRD()->GetRecord(col);
    const std::string utf8(r->descName ? r->descName : "", static_cast<size_t>(r->descNameLen));
    iconverter* conv = width == Width::Narrow ? s.GetSqlConverter() : s.GetWcharSqlConverter();
    const int unit = width == Width::Narrow ? 1 : (conv ? conv->GetCharSize() : 2);
    int full = 0;
    bool cut = false;
    if (!qvoDeliverText(conv, utf8, name, bufferLength * unit, unit, &full, &cut))
      return QVO_DIAG(&s, _Error_converting_column_name_to_statements_sql_codeset_, -1);
    if (nameLength) *nameLength = static_cast<SQLSMALLINT>(full / unit);
    return cut ? Truncated(s, rc) : rc;
  });
}

// Text attributes are measured in bytes in both forms.
SQLRETURN ColAttributeAny(SQLHSTMT handle, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                          SQLSMALLINT bufferLength, SQLSMALLINT* stringLength, SQLLEN* number,
                          Width width) {
  return StmtCall(handle, [&](qvoStatement& s) -> SQLRETURN {
    const SQLSMALLINT col = ColumnOf(column);
    const auto id = static_cast<SQLSMALLINT>(field);
    if (!qvoStatement::ColAttributeIsText(id) || (!text && !stringLength))
      return s.ColAttribute(col, id, text, bufferLength, stringLength, number);
    if (text && bufferLength < 0) {
      s.ClearDiagRecords();
      return QVO_DIAG(&s, _Invalid_string_or_buffer_length_, -1);
    }
    // The whole UTF-8 text first.
    std::string utf8(256, '\0');
    SQLSMALLINT utf8Len = 0;
    SQLRETURN rc = s.ColAttribute(col, id, utf8.data(), static_cast<SQLSMALLINT>(utf8.size()),
                                  &utf8Len, number);
    if (rc == SQL_SUCCESS_WITH_INFO) {
      utf8.assign(static_cast<size_t>(utf8Len) + 1, '\0');
      rc = s.ColAttribute(col, id, utf8.data(), static_cast<SQLSMALLINT>(utf8.size()), &utf8Len,
                          number);
    }
    if (rc == SQL_ERROR) return rc;
    utf8.resize(static_cast<size_t>(utf8Len));
    iconverter* conv = width == Width::Narrow ? s.GetSqlConverter() : s.GetWcharSqlConverter();
    const int unit = width == Width::Narrow ? 1 : (conv ? conv->GetCharSize() : 2);
    int full = 0;
    bool cut = false;
    // The text came from the server, not from the application: the
    // converter's own reason tells what it could not hold.
    if (!qvoDeliverText(conv, utf8, static_cast<char*>(text), bufferLength, unit, &full, &cut))
      return s.SetDiagRec("HY000", -1, GetErrorMessage(conv).c_str());
    if (stringLength) *stringLength = static_cast<SQLSMALLINT>(full);
    return cut ? Truncated(s, SQL_SUCCESS) : SQL_SUCCESS;
  });
}

}  // namespace

extern "C" {

SQLRETURN QVONumResultCols(SQLHSTMT StatementHandle, SQLSMALLINT* ColumnCountPtr) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::NumResultCols,
                               ColumnCountPtr);
}

SQLRETURN QVODescribeCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLCHAR* ColumnName,
                         SQLSMALLINT BufferLength, SQLSMALLINT* NameLengthPtr,
                         SQLSMALLINT* DataTypePtr, SQLULEN* ColumnSizePtr,
                         SQLSMALLINT* DecimalDigitsPtr, SQLSMALLINT* NullablePtr) {
  return DescribeColAny(StatementHandle, ColumnNumber, reinterpret_cast<char*>(ColumnName),
                        BufferLength, NameLengthPtr, DataTypePtr, ColumnSizePtr, DecimalDigitsPtr,
                        NullablePtr, Width::Narrow);
}

SQLRETURN QVODescribeColW(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLWCHAR* ColumnName,
                          SQLSMALLINT BufferLength, SQLSMALLINT* NameLengthPtr,
                          SQLSMALLINT* DataTypePtr, SQLULEN* ColumnSizePtr,
                          SQLSMALLINT* DecimalDigitsPtr, SQLSMALLINT* NullablePtr) {
  return DescribeColAny(StatementHandle, ColumnNumber, reinterpret_cast<char*>(ColumnName),
                        BufferLength, NameLengthPtr, DataTypePtr, ColumnSizePtr, DecimalDigitsPtr,
                        NullablePtr, Width::Wide);
}

SQLRETURN QVODescribeCol2(SQLHSTMT StatementHandle, SQLSMALLINT ColumnNumber,
                          SQLSMALLINT* NativeDataType) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::DescribeCol2,
                               ColumnNumber, NativeDataType);
}

SQLRETURN QVOColAttribute(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                          SQLUSMALLINT FieldIdentifier, SQLPOINTER CharacterAttributePtr,
                          SQLSMALLINT BufferLength, SQLSMALLINT* StringLengthPtr,
                          SQLLEN* NumericAttributePtr) {
  return ColAttributeAny(StatementHandle, ColumnNumber, FieldIdentifier, CharacterAttributePtr,
                         BufferLength, StringLengthPtr, NumericAttributePtr, Width::Narrow);
}

SQLRETURN QVOColAttributeW(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber,
                           SQLUSMALLINT FieldIdentifier, SQLPOINTER CharacterAttributePtr,
                           SQLSMALLINT BufferLength, SQLSMALLINT* StringLengthPtr,
                           SQLLEN* NumericAttributePtr) {
  return ColAttributeAny(StatementHandle, ColumnNumber, FieldIdentifier, CharacterAttributePtr,
                         BufferLength, StringLengthPtr, NumericAttributePtr, Width::Wide);
}

SQLRETURN QVOBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType,
                     SQLPOINTER TargetValuePtr, SQLLEN BufferLength, SQLLEN* StrLen_or_Ind) {
  return StmtCall(StatementHandle, [&](qvoStatement& s) {
    return s.BindCol(ColumnOf(ColumnNumber), TargetType, TargetValuePtr, BufferLength,
                     StrLen_or_Ind);
  });
}

SQLRETURN QVOFetch(SQLHSTMT StatementHandle) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::Fetch);
}

SQLRETURN QVOFetchScroll(SQLHSTMT StatementHandle, SQLSMALLINT FetchOrientation,
                         SQLLEN FetchOffset) {
  return qvoCall<qvoStatement>(StatementHandle, SQL_HANDLE_STMT, &qvoStatement::FetchScroll,
                               FetchOrientation, FetchOffset);
}

}  // extern "C"
