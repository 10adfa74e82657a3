// Scaled server integers (_SMALLDECIMAL 32-bit, _DECIMAL 64-bit, _BIGDECIMAL
// 128-bit, each with the column's scale) as decimal text, double and
// SQL_NUMERIC_STRUCT.
//
// A 128-bit value handed to qvo_int128ToChar and BigDecimalToDouble is 16
// bytes: the low 64-bit half, then the high half, each in host byte order; the
// value is high * 2^64 + low in two's complement.
#pragma once

#include "common/qvoTypeCodes.h"
#include "qvo/qvoDefs.h"

// Largest scale of each width: the digits of the widest decimal it carries.
inline constexpr int kQvoMaxScale64 = 18;
inline constexpr int kQvoMaxScale128 = 38;

// Makes sure the table of powers of two in base 10^17 exists; returns 0.
// The table is built at compile time, so this is only kept for callers that
// want to say so.
int initBitToCharArray();

// Decimal text of a 128-bit value with decimalDigits digits after the
// separator; trailing fraction zeros are dropped ("1" for 100 with scale 2).
// Returns the length, or -1 (output empty when bufferLen > 0) for a scale
// outside 0..38 or a text that does not fit bufferLen bytes with its
// terminator. 54 bytes always suffice. The input is not changed.
int qvo_int128ToChar(const char* valuePtr, int decimalDigits, char* output, int bufferLen,
                     char decimalSeparator);

// The 128-bit value as a double, divided by 10 once per scale digit.
double BigDecimalToDouble(const void* Value, qvo_int32 DecimalDigits);

// Decimal text of a signed 64-bit integer (host order, any alignment) with
// scale DecimalDigits into numBuff (24 bytes). externalConversion set: the
// value as a double through the shared number formatter instead.
// Returns the length, or -1 (numBuff empty) for a scale outside 0..18.
int DecimalToChar(const void* Value, qvo_int32 DecimalDigits, char* numBuff, char decSeparator,
                  char externalConversion);

// Fills Numeric from a server value of type ValType (_SMALLDECIMAL and
// _DECIMAL in host order, _DOUBLE truncated toward zero, _BOOLEAN one byte,
// _BIGDECIMAL 16 bytes in wire order). The integer is stored as sent with the
// given precision and scale. 0, or -1 for another type, a null argument or a
// double that is NaN or outside the 64-bit range (callers report a numeric
// overflow).
int qvoSetNumericVal(SQLSMALLINT sc, SQLINTEGER prec, SQLPOINTER Val, __TypeId ValType,
                     SQL_NUMERIC_STRUCT* Numeric);
