// Copying result strings into application buffers, measuring text arguments,
// narrow <-> wide conversion in the process's locale, and small text scanners.
//
// Conventions of every function here:
// - Narrow lengths are in bytes, wide (SQLWCHAR) lengths in 2-byte units.
// - SQL_NTS as a source length: zero-terminated, to be measured; as a
//   destination size: no size, copy everything and write no terminator; as a
//   termination mode: write a terminator.
// - A destination size counts the terminator: bufferLen bytes hold at most
//   bufferLen - 1 characters plus the terminator.
// - Any other negative length or size is refused with -1 (callers raise
//   "Invalid string or buffer length."), except where a function says so.
// No function keeps state, takes a lock or raises a diagnostic.
#pragma once

#include "qvo/qvoDefs.h"

// Copies sourceStr into destStr and returns the count copied (never the full
// length). Callers compare the count with the full length to detect a cut.
// termination SQL_NTS: the copy is cut to bufferLen - 1 and terminated;
// any other mode: up to bufferLen bytes, no terminator when it is full.
// bufferLen 0 or a null destStr: 0, nothing written. A null sourceStr writes
// an empty text. -1 for a negative length or size other than SQL_NTS.
int qvoCopyStr(char* destStr, const char* sourceStr, int strLen, int bufferLen, int termination);
// The same in units; a null sourceStr writes nothing and gives 0.
int qvoCopyStrW(SQLWCHAR* destStr, const SQLWCHAR* sourceStr, int strLen, int bufferLen,
                int termination);
// qvoCopyStr, or with a null destStr the source length (0 for a null source).
int qvoCopyStrOrGetLen(char* destStr, const char* sourceStr, int strLen, int bufferLen,
                       int termination);
// Appends sourceStr to the zero-terminated text in destStr (a buffer of
// bufferLen bytes), cut so that the buffer ends full; a cut is not reported.
// 0, or -1 when destStr is not terminated within bufferLen.
int qvoStrCat(char* destStr, int bufferLen, const char* sourceStr);

// Length of a text argument: 0 for a null text, strlen for SQL_NTS, 0 for any
// other negative len, else len.
int qvoSqlStrLen(const char* sqlStr, SQLINTEGER len);
int qvoSqlWStrLen(const SQLWCHAR* sqlStr, SQLINTEGER len);
// Units / bytes before the terminator; 0 for null.
int qvoWcslen(const SQLWCHAR* wStr);
int qvoStrlen(const SQLCHAR* Str);
// 0 equal, 1 different (no order), -1 when either is null.
int qvoWcscmp(const SQLWCHAR* wStr1, const SQLWCHAR* wStr2);

// Multibyte text of the current locale -> one unit per character. Returns
// the units written, or -1 (null text or buffer, a bad length, an invalid
// sequence, a character above U+FFFF; units already written stay). Under
// SQL_NTS termination the output is always terminated within bufferLen.
int qvoCharToWide(const char* sourceStr, int sourceStrLen, SQLWCHAR* destStr, int bufferLen,
                  int termination);
// Units -> multibyte text of the current locale, never splitting a character;
// stops at a unit the locale cannot express. Bytes written, or -1.
int qvoWideToChar(const SQLWCHAR* sourceStr, SQLINTEGER sourceStrLen, char* destStr,
                  SQLINTEGER bufferLen, int termination);

// Copies myStr, terminated, into destBuffer of bufferLen bytes and reports
// the copied count through outStrLen (the full length without a buffer).
// 1 when the text was cut, else 0; -1 for a negative bufferLen.
int OutputStr(const char* myStr, void* destBuffer, qvo_int16 bufferLen, qvo_int16* outStrLen);

// Number of parameter markers: each "?" outside literals, quoted identifiers
// and comments ("--" to the end of the line, "/* ... */").
int GetNumParams(const char* sqlStr);
// True when the text holds a '_' or '%' not escaped by an odd run of
// backslashes.
bool HasSearchPatterns(const char* ident);
// True for a non-null text whose first byte is not zero.
bool HasStrValue(const char* ident);
// 0 when the text is a plausible host list (or a "//file" reference), 1 at
// the first character a host list cannot hold.
int qvoCheckHostsString(const char* hstr);

// Reads the value of sKey from a KEY=value;KEY=value text (keys without
// regard to letter case; empty values do not count). 1 and the value,
// terminated, in output; 0 when there is none; -1 (output untouched) for a
// bad length or a value that does not fit bufferSize units / bytes.
// A negative iLength other than SQL_NTS measures nothing and is refused.
int qvoKeyValueW(const SQLWCHAR* InStr, int iLength, const SQLWCHAR* sKey, SQLWCHAR* output,
                 int bufferSize);
int qvoKeyValue(const char* InStr, int iLength, const char* sKey, char* output, int bufferSize);

// Replaces, in place, the value of every INsKey= that follows a ';' or a
// blank by sNewValue (byte-exact key); with nAdd 1 and no occurrence the pair
// is appended. InStr is a buffer of bufferSize bytes. Returns the new length
// of the text; -1 when the key is longer than 1022 bytes, the search text is
// longer than the text, the text is not terminated within bufferSize or the
// result would not fit (the text is then unchanged); -10 for a value that runs
// past iLength.
int qvoReplaceKey(SQLCHAR* InStr, int iLength, const SQLCHAR* INsKey, const SQLCHAR* sNewValue,
                  int nAdd, int bufferSize);
