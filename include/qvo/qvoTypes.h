/* Fixed-width types of the Vandrel client interface.
 * Every field of the wire protocol has one of these widths, whatever the
 * width of the ODBC length types (SQLLEN, SQLULEN) on the host. */
#ifndef QVO_TYPES_H
#define QVO_TYPES_H

#include <stdint.h>

typedef int8_t qvo_int8;
typedef uint8_t qvo_uint8;
typedef int16_t qvo_int16;
typedef uint16_t qvo_uint16;
typedef int32_t qvo_int32;
typedef uint32_t qvo_uint32;
typedef int64_t qvo_int64;
typedef uint64_t qvo_uint64;
typedef double qvo_double;

#endif
