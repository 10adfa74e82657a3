/* The library's number formatter, exported for its host (C++ only): the text
 * it gives numbers of a statement with external conversion is fixed-width
 * scientific notation ("+1.23456E+02"), as wide as its precision (15 unless
 * the host changes it); trailing mantissa zeros are dropped. */
#ifndef QVO_NUMBER_FORMAT_H
#define QVO_NUMBER_FORMAT_H

#include "qvoCInterface.h"

/* Bytes getVersion writes, its terminator included. */
#define QVO_NUMBER_FORMAT_VERSION_SIZE 113
/* Bytes of a buffer that holds every text convertNumber writes, its
 * terminator included, whatever the precision. */
#define QVO_NUMBER_FORMAT_TEXT_SIZE 24

#ifdef __cplusplus
/* The formatter; its layout is the library's own. */
class NumberFormat;
/* The one formatter that every conversion of the library uses. */
extern QVO_EXPORT NumberFormat nf;

/* Sets the precision of nf: newPrec digits requested of the text stream, and
 * the width of the text; kept within 6 to 23. Not while conversions run. */
QVO_EXPORT void changePrecision(int newPrec) noexcept;
/* Writes the formatter's version text (QVO_NUMBER_FORMAT_VERSION_SIZE bytes)
 * into buffer. */
QVO_EXPORT void getVersion(char* buffer) noexcept;
/* Writes the text of number as nf formats it into buffer
 * (QVO_NUMBER_FORMAT_TEXT_SIZE bytes suffice) and returns 0; on failure
 * writes "Convert-Error" and returns 1. number receives the rounding
 * increment: half a unit of the last digit the precision asks for, away from
 * zero. Infinities give "+INF" and "-INF", NaN gives "NAN". */
template <typename T>
QVO_EXPORT int convertNumber(T& number, char* buffer) noexcept;

/* The types convertNumber is exported for. */
#define QVO_NUMBER_FORMAT_TYPES(X) \
  X(double)                        \
  X(float)                         \
  X(signed char)                   \
  X(unsigned char)                 \
  X(short)                         \
  X(unsigned short)                \
  X(int)                           \
  X(unsigned int)                  \
  X(long)                          \
  X(unsigned long)                 \
  X(long long)                     \
  X(unsigned long long)

#define QVO_DECLARE_CONVERT_NUMBER(T) \
  extern template int convertNumber<T>(T & number, char* buffer) noexcept;
QVO_NUMBER_FORMAT_TYPES(QVO_DECLARE_CONVERT_NUMBER)
#undef QVO_DECLARE_CONVERT_NUMBER
#endif

#endif
