// The call frame of a statement function that takes SQL text: the text is
// converted to UTF-8 with the statement's converter while the frame holds
// functionMutex, then the operation runs with it. A text that cannot be
// converted arrives as null with length -1, for the operation to refuse.
// Executing a text drops the statement's columns micro-cache; preparing one
// keeps it.
#pragma once

#include "handles/qvoCallFrame.h"
#include "platform/qvoConverter.h"
#include "statement/qvoStatement.h"

enum class qvoColumnCacheUse { Keep, Drop };

template <qvoStmtFunction function = qvoStmtFunction::Other, class Text>
SQLRETURN qvoCallWithText(SQLHSTMT handle, Text& text, iconverter* (qvoHandle::*converter)() const,
                          SQLRETURN (qvoStatement::*operation)(const char*, SQLINTEGER),
                          qvoColumnCacheUse cache = qvoColumnCacheUse::Keep) {
  const char* utf8 = nullptr;
  SQLINTEGER utf8Len = -1;
  return qvoCallWith<qvoStatement, qvoReturnVia::RetCode, qvoBeside::Serial, qvoRecords::Cleared,
                     function>(
      handle, SQL_HANDLE_STMT,
      [&](qvoStatement& s) {
        utf8 = text.GetUTF8((s.*converter)());
        utf8Len = utf8 ? text.GetUTF8Len() : -1;
        return SQL_SUCCESS;
      },
      [&](qvoStatement& s) {
        if (cache == qvoColumnCacheUse::Drop) s.ClearColumnCache();
        return (s.*operation)(utf8, utf8Len);
      });
}
