// qvoConnection::GetInfo: one information type into the caller's buffer.

#include "info/qvoGetInfo.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/qvoPredicates.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"

namespace {

// How many bytes of a UTF-8 text fit before a terminator in size bytes,
// without cutting a character.
size_t FittingBytes(const std::string& text, SQLSMALLINT size) {
  if (size <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  if (n < text.size())
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

SQLSMALLINT ShortLength(size_t n) {
  return static_cast<SQLSMALLINT>(std::min<size_t>(n, SHRT_MAX));
}

}  // namespace

SQLRETURN ResolveInfo(qvoConnection& conn, SQLUSMALLINT infoType, SQLPOINTER infoValuePtr,
                      SQLSMALLINT bufferLength, SQLSMALLINT* stringLengthPtr,
                      qvoInfoAnswer* answer) {
  const auto signedType = static_cast<SQLSMALLINT>(infoType);
  const bool textType = IsInfoValueChar(signedType) != 0;
  if (!infoValuePtr && !textType) return QVO_DIAG(&conn, _Info_output_buffer_is_NULL_, -1);
  if (stringLengthPtr)
    *stringLengthPtr = static_cast<SQLSMALLINT>(std::max(InfoValueSize(signedType), 0));
  const qvoInfoType* row = FindInfoType(infoType);
  if (!row) return QVO_DIAG(&conn, _Invalid_attribute_type_, -1);
  // A negative size would let a copy run without bound.
  if (textType && bufferLength < 0) return QVO_DIAG(&conn, _Invalid_string_or_buffer_length_, -1);
  if (row->loads && conn.EnsureInfoValues() < 0) return SQL_ERROR;
  answer->row = row;
  {
    // Some values are settings that another thread may change.
    qvoMutex settings(conn.settingsMutex);
    answer->value = InfoValueOf(*row, conn);
  }
#if defined(__GNUC__) && !defined(__clang__)
// g++ 12 sees an overlapping copy inside libstdc++'s string assignment here (a false positive).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
  if (row->kind == qvoInfoKind::YesNo) answer->value.text = answer->value.number ? "Y" : "N";
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  return SQL_SUCCESS;
}

SQLRETURN qvoConnection::GetInfo(SQLUSMALLINT InfoType, SQLPOINTER InfoValuePtr,
                                 SQLSMALLINT BufferLength, SQLSMALLINT* StringLengthPtr) {
  qvoInfoAnswer answer;
  const SQLRETURN rc =
      ResolveInfo(*this, InfoType, InfoValuePtr, BufferLength, StringLengthPtr, &answer);
  if (rc != SQL_SUCCESS) return rc;
  const qvoInfoValue& v = answer.value;
  switch (answer.row->kind) {
    case qvoInfoKind::UShort: {
      const auto n = static_cast<SQLUSMALLINT>(v.number);
      std::memcpy(InfoValuePtr, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case qvoInfoKind::UInteger:
      std::memcpy(InfoValuePtr, &v.number, sizeof v.number);
      return SQL_SUCCESS;
    case qvoInfoKind::None:
      return SQL_SUCCESS;
    case qvoInfoKind::Text:
    case qvoInfoKind::YesNo:
      break;
  }
  if (StringLengthPtr) *StringLengthPtr = ShortLength(v.text.size());
  if (!InfoValuePtr) return SQL_SUCCESS;
  const size_t n = FittingBytes(v.text, BufferLength);
  if (BufferLength > 0) {
    auto* out = static_cast<char*>(InfoValuePtr);
    std::memcpy(out, v.text.data(), n);
    out[n] = '\0';
  }
  if (n == v.text.size()) return SQL_SUCCESS;
  QVO_DIAG(this, _String_data_right_truncated_, -1);
  return SQL_SUCCESS_WITH_INFO;
}
