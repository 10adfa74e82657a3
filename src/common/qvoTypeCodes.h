// The three families of type codes: ODBC SQL types, C types of application
// buffers (SQL_C_ codes plus the library's own 423 to 431, see qvo/qvoDefs.h)
// and the server's types (__TypeId, carried in column descriptions); the maps
// between them and their names for log lines.
#pragma once

#include "qvo/qvoDefs.h"

// Server type codes. _DECIMAL values are 64-bit, _SMALLDECIMAL 32-bit and
// _BIGDECIMAL 128-bit integers, each with the column's scale.
enum __TypeId {
  _ILLEGAL = 0,
  _QVOVOID = 1,
  _BYTE = 2,
  _PARAMETER = 3,
  _SMALLINT = 4,
  _INTEGER = 5,
  _DECIMAL = 6,
  _REAL = 7,
  _DOUBLE = 8,
  _BOOLEAN = 9,
  _CHAR = 10,
  _ROW = 11,
  _GROUP_BY = 12,
  _POINTER = 13,
  _DATE = 14,
  _INTERVAL = 15,
  _INTERVAL_MONTH = 16,
  _INTERVAL_DAY = 17,
  _STATEMENT = 18,
  _COMPARATOR = 19,
  _TABLE = 20,
  _TIMESTAMP = 21,
  _SMALLDECIMAL = 63,
  _BIGDECIMAL = 64,
  _TIMESTAMP_UTC = 125,
  _VARCHAR = 200,
  _BINARY = 201,
};

// Server type of an SQL type: 0 and *qvoType set, or -1 and nothing stored.
int qvoConvertTypeSQL_QVO(SQLSMALLINT sqlType, SQLSMALLINT* qvoType);
// The C type SQL_C_DEFAULT stands for with an SQL type: 0 and *cType set, or
// -1 and nothing stored. dateCode, timeCode and timestampCode are the C codes
// of the handle's ODBC version (9/10/11 or 91/92/93).
int qvoConvertTypeSQL_C_default(SQLSMALLINT sqlType, SQLSMALLINT* cType, SQLSMALLINT dateCode,
                                SQLSMALLINT timeCode, SQLSMALLINT timestampCode);

// Names for log lines; constant texts, "UNKNOWN_..." for codes without one.
const char* GetCTypeName(SQLSMALLINT cType);
const char* GetSQLTypeName(SQLSMALLINT sqlType);
const char* GetQVOTypeName(SQLSMALLINT qvoType);
const char* GetHandleTypeStr(SQLSMALLINT HandleType);

// Catalog metadata of a server type text ("BOOLEAN", "DECIMAL(p,s)", "DOUBLE",
// "DATE", "TIMESTAMP", "TIMESTAMP WITH LOCAL TIME ZONE", "GEOMETRY",
// "CHAR(n)", "VARCHAR(n) charset"). TYPE_NAME is a buffer of typeNameSize
// bytes and receives the name, cut and terminated; null out-arguments are
// skipped. 0 when the text was recognised, else -1 and nothing stored.
int descType(const char* SQL_TYPE, SQLINTEGER* DATA_TYPE, char* TYPE_NAME, int typeNameSize,
             SQLBIGINT* COLUMN_SIZE, SQLBIGINT* BUFFER_LENGTH, SQLINTEGER* DECIMAL_DIGITS,
             SQLINTEGER* NUM_PREC_RADIX, SQLBIGINT* CHAR_OCTET_LENGTH, int odbcVer);
