// What QVOGetInfo, QVOGetInfoW and qvoConnection::GetInfo share: the checks
// on entry, the load on first need and the value of one information type.
#pragma once

#include "info/qvoInfoTypes.h"
#include "qvo/qvoDefs.h"

class qvoConnection;

struct qvoInfoAnswer {
  const qvoInfoType* row = nullptr;
  qvoInfoValue value;  // YesNo answers arrive as the text "Y" or "N"
};

// The checks on entry, in this order: a null value pointer is refused for a
// type that is not a text type (HY010); StringLengthPtr, when given,
// receives the width of the type's value (0 for texts and unknown widths); a
// type without a row is refused (HY024); a negative BufferLength is refused
// for a text type (HY090); the server's values are loaded when the type needs
// them. 0 with the answer, or -1 with one record on the connection.
SQLRETURN ResolveInfo(qvoConnection& conn, SQLUSMALLINT infoType, SQLPOINTER infoValuePtr,
                      SQLSMALLINT bufferLength, SQLSMALLINT* stringLengthPtr,
                      qvoInfoAnswer* answer);

// True for the kinds whose answer is a text.
inline bool IsTextAnswer(const qvoInfoAnswer& a) {
  return a.row->kind == qvoInfoKind::Text || a.row->kind == qvoInfoKind::YesNo;
}
