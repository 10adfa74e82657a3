// The exported descriptor functions: check the handle, convert text between
// the application's code set (or SQLWCHAR text) and UTF-8, call the
// descriptor. Results are returned directly, not through RetCode, so the
// descriptor's diagnostic header keeps the return code it had.
#include <algorithm>
#include <new>

#include "common/qvoArgStrings.h"
#include "common/qvoPredicates.h"
#include "descriptors/qvoDescriptors.h"
#include "handles/qvoCallFrame.h"
#include "messages/qvoTranslator.h"
#include "qvo/qvoCInterface.h"

namespace {

enum class Width { Narrow, Wide };

template <class Method>
SQLRETURN DescCall(SQLHDESC handle, Method&& method) {
  return qvoCallWith<cliDescriptor, qvoReturnVia::Direct>(handle, SQL_HANDLE_DESC,
                                                          qvo_frame::NoConversion{}, method);
}

SQLRETURN SetDescText(cliDescriptor& d, SQLSMALLINT rec, SQLSMALLINT id, SQLPOINTER value,
                      SQLINTEGER bufferLength, Width width) {
  if (value == nullptr) return d.SetDescField(rec, id, nullptr, 0);
  if (bufferLength < 0 && bufferLength != SQL_NTS)
    return QVO_DESC_DIAG(d, _Invalid_string_or_buffer_length_);
  // The converted text is terminated and goes on as such; it lives as long
  // as its wrapper.
  if (width == Width::Narrow) {
    aString text(static_cast<const char*>(value), bufferLength);
    if (const char* utf8 = text.GetUTF8(d.GetSqlConverter()))
      return d.SetDescField(rec, id, const_cast<char*>(utf8), SQL_NTS);
  } else {
    // The length is in bytes; the text in 2-byte units.
    wString text(static_cast<const SQLWCHAR*>(value),
                 bufferLength == SQL_NTS ? SQL_NTS : bufferLength / 2);
    if (const char* utf8 = text.GetUTF8(d.GetWcharSqlConverter()))
      return d.SetDescField(rec, id, const_cast<char*>(utf8), SQL_NTS);
  }
  QVO_DESC_DIAG(d, _Error_converting_descriptor_field_string_to_UTF_8_);
  return d.RetCode(SQL_ERROR);
}

SQLRETURN SetDescFieldAny(SQLHDESC handle, SQLSMALLINT rec, SQLSMALLINT id, SQLPOINTER value,
                          SQLINTEGER bufferLength, Width width) {
  return DescCall(handle, [&](cliDescriptor& d) {
    if (!IsDescFieldChar(id)) return d.SetDescField(rec, id, value, bufferLength);
    return SetDescText(d, rec, id, value, bufferLength, width);
  });
}

// Text fields: the UTF-8 text is converted straight into the application's
// buffer of bufferLength bytes, cut on a character boundary and terminated.
// stringLength receives the bytes written.
SQLRETURN GetDescFieldAny(SQLHDESC handle, SQLSMALLINT rec, SQLSMALLINT id, SQLPOINTER value,
                          SQLINTEGER bufferLength, SQLINTEGER* stringLength, Width width) {
  return DescCall(handle, [&](cliDescriptor& d) -> SQLRETURN {
    if (value == nullptr || !IsDescFieldChar(id))
      return d.GetDescField(rec, id, value, bufferLength, stringLength);
    const char* text;
    int textLen;
    const SQLRETURN rc = d.GetDescFieldText(rec, id, &text, &textLen);
    if (rc != SQL_SUCCESS) return rc;
    if (bufferLength < 0) return QVO_DESC_DIAG(d, _Invalid_string_or_buffer_length_);
    if (bufferLength == 0) {
      if (stringLength) *stringLength = 0;
      return SQL_SUCCESS;
    }
    iconverter* conv = width == Width::Narrow ? d.GetSqlConverter() : d.GetWcharSqlConverter();
    const int n = FromCodesetNTS(conv, text, textLen, static_cast<char*>(value), bufferLength);
    if (n < 0) return QVO_DESC_DIAG(d, _Error_converting_string_value_);
    if (stringLength) *stringLength = n;
    return SQL_SUCCESS;
  });
}

// The name is converted into Name of bufferLength characters (bytes for the
// narrow form, SQLWCHAR units for the wide one).
SQLRETURN GetDescRecAny(SQLHDESC handle, SQLSMALLINT rec, char* name, SQLSMALLINT bufferLength,
                        SQLSMALLINT* stringLength, SQLSMALLINT* type, SQLSMALLINT* subType,
                        SQLLEN* length, SQLSMALLINT* precision, SQLSMALLINT* scale,
                        SQLSMALLINT* nullable, Width width) {
  return DescCall(handle, [&](cliDescriptor& d) -> SQLRETURN {
    if (bufferLength < 0) return QVO_DESC_DIAG(d, _Invalid_string_or_buffer_length_);
    const SQLRETURN rc =
        d.GetDescRec(rec, nullptr, 0, nullptr, type, subType, length, precision, scale, nullable);
    const char* text = "";
    int textLen = 0;
    if (rc == SQL_SUCCESS) {
      const __cliDescriptorRecords* r = d.GetRecord(rec);
      if (r->descName) {
        text = r->descName;
        textLen = r->descNameLen;
      }
    }
    if (name && bufferLength >= 1) {
      iconverter* conv = width == Width::Narrow ? d.GetSqlConverter() : d.GetWcharSqlConverter();
      const int unit = width == Width::Narrow ? 1 : (conv ? conv->GetCharSize() : 2);
      const int n = FromCodesetNTS(conv, text, textLen, name, bufferLength * unit);
      if (n < 0) return QVO_DESC_DIAG(d, _Error_converting_string_value_);
      if (stringLength) *stringLength = static_cast<SQLSMALLINT>(n / unit);
      return rc;
    }
    // Without a buffer: the length of the UTF-8 name as far as it would have
    // been copied.
    if (stringLength && rc == SQL_SUCCESS)
      *stringLength =
          static_cast<SQLSMALLINT>(bufferLength > 0 ? std::min<int>(textLen, bufferLength - 1) : 0);
    return rc;
  });
}

}  // namespace

extern "C" {

SQLRETURN QVOCopyDesc(SQLHDESC SourceDescHandle, SQLHDESC TargetDescHandle) {
  // Both descriptors stay alive until the copy is done.
  qvoHandlePin sourcePin, targetPin;
  qvoHandle* s = qvo_frame::PinnedObject(sourcePin, SourceDescHandle, SQL_HANDLE_DESC);
  if (s == nullptr) return SQL_INVALID_HANDLE;
  qvoHandle* t = qvo_frame::PinnedObject(targetPin, TargetDescHandle, SQL_HANDLE_DESC);
  if (t == nullptr) return SQL_INVALID_HANDLE;
  auto* source = static_cast<cliDescriptor*>(s);
  auto* target = static_cast<cliDescriptor*>(t);
  try {
    return target->CopyDescriptorFrom(source);
  } catch (const std::bad_alloc&) {
    return qvo_frame::FailedByException(target, true);
  } catch (...) {
    return qvo_frame::FailedByException(target, false);
  }
}

SQLRETURN QVOSetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                          SQLSMALLINT FieldIdentifier, SQLPOINTER Value, SQLINTEGER BufferLength) {
  return SetDescFieldAny(DescriptorHandle, RecNumber, FieldIdentifier, Value, BufferLength,
                         Width::Narrow);
}

SQLRETURN QVOSetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                           SQLSMALLINT FieldIdentifier, SQLPOINTER Value, SQLINTEGER BufferLength) {
  return SetDescFieldAny(DescriptorHandle, RecNumber, FieldIdentifier, Value, BufferLength,
                         Width::Wide);
}

SQLRETURN QVOGetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                          SQLSMALLINT FieldIdentifier, SQLPOINTER Value, SQLINTEGER BufferLength,
                          SQLINTEGER* StringLength) {
  return GetDescFieldAny(DescriptorHandle, RecNumber, FieldIdentifier, Value, BufferLength,
                         StringLength, Width::Narrow);
}

SQLRETURN QVOGetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                           SQLSMALLINT FieldIdentifier, SQLPOINTER Value, SQLINTEGER BufferLength,
                           SQLINTEGER* StringLength) {
  return GetDescFieldAny(DescriptorHandle, RecNumber, FieldIdentifier, Value, BufferLength,
                         StringLength, Width::Wide);
}

SQLRETURN QVOGetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber, SQLCHAR* Name,
                        SQLSMALLINT BufferLength, SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                        SQLSMALLINT* SubType, SQLLEN* Length, SQLSMALLINT* Precision,
                        SQLSMALLINT* Scale, SQLSMALLINT* Nullable) {
  return GetDescRecAny(DescriptorHandle, RecNumber, reinterpret_cast<char*>(Name), BufferLength,
                       StringLength, Type, SubType, Length, Precision, Scale, Nullable,
                       Width::Narrow);
}

SQLRETURN QVOGetDescRecW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber, SQLWCHAR* Name,
                         SQLSMALLINT BufferLength, SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                         SQLSMALLINT* SubType, SQLLEN* Length, SQLSMALLINT* Precision,
                         SQLSMALLINT* Scale, SQLSMALLINT* Nullable) {
  return GetDescRecAny(DescriptorHandle, RecNumber, reinterpret_cast<char*>(Name), BufferLength,
                       StringLength, Type, SubType, Length, Precision, Scale, Nullable,
                       Width::Wide);
}

SQLRETURN QVOSetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber, SQLSMALLINT Type,
                        SQLSMALLINT SubType, SQLLEN Length, SQLSMALLINT Precision,
                        SQLSMALLINT Scale, SQLPOINTER Data, SQLLEN* StringLength,
                        SQLLEN* Indicator) {
  return qvoCallDirect<cliDescriptor>(DescriptorHandle, SQL_HANDLE_DESC, &cliDescriptor::SetDescRec,
                                      RecNumber, Type, SubType, Length, Precision, Scale, Data,
                                      StringLength, Indicator);
}

}  // extern "C"
