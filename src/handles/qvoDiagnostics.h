// The application side of the diagnostics: records read back in the
// application's code set (narrow) or as SQLWCHAR (wide), and records added by
// the application. The exported functions call these inside the call frame.
//
// Units: a narrow text length is in bytes; QVOGetDiagRecW counts SQLWCHAR
// units; QVOGetDiagFieldW counts bytes, as ODBC defines. A text never
// overruns the buffer, is always terminated when the buffer holds a
// terminator, and is cut only between characters. The length reported is
// the full length of the text, so that a caller can size its buffer.
#pragma once

#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"

class qvoHandle;

enum class qvoTextForm { Narrow, Wide };

QVO_INTERNAL SQLRETURN qvoGetDiagRecForApp(qvoHandle& handle, qvoTextForm form,
                                           SQLSMALLINT recNumber, SQLPOINTER sqlState,
                                           SQLINTEGER* nativeError, SQLPOINTER messageText,
                                           SQLSMALLINT bufferLength, SQLSMALLINT* textLength);

QVO_INTERNAL SQLRETURN qvoGetDiagFieldForApp(qvoHandle& handle, qvoTextForm form,
                                             SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier,
                                             SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                                             SQLSMALLINT* stringLength);

// Adds a record whose message is in the application's code set; -1 always.
QVO_INTERNAL SQLRETURN qvoSetDiagRecForApp(qvoHandle& handle, const char* sqlState,
                                           SQLINTEGER nativeError, const char* messageText);
