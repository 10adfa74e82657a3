/* The exported C interface of libqvocli: ODBC-shaped functions named QVO plus
 * the ODBC name. Text functions come in a narrow form (application code set)
 * and a W form (SQLWCHAR, UTF-16 in host order). */
#ifndef QVO_CINTERFACE_H
#define QVO_CINTERFACE_H

#include "qvoDefs.h"

#if defined(__GNUC__)
#define QVO_EXPORT __attribute__((visibility("default")))
#else
#define QVO_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* QVO_C_FUNCTIONS: each subsystem adds its exported functions here. */

#ifdef __cplusplus
}
#endif

#endif
