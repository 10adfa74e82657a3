/* Definitions shared by the library and its callers: the ODBC types and codes
 * of the unixODBC headers plus the library's own codes. */
#ifndef QVO_DEFS_H
#define QVO_DEFS_H

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "qvoTypes.h"

/* Internal C type codes delivered by the row blocks. */
#define QVO_INT32 423
#define QVO_INT64 424
#define QVO_INT128 425
#define QVO_VARCHAR_BY_REFERENCE 428
#define QVO_VARCHAR_PTR QVO_VARCHAR_BY_REFERENCE
#define QVO_WCHAR_UTF8 429
#define QVO_WCHAR_UTF16 430
#define QVO_TYPE_TIMESTAMP_UTC 431

#endif
