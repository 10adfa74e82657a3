// The client's side of an input of convert_fuzz, shared with the seed
// generator: the bytes in front of the node's answers that say how the
// application reads the results (see convert_fuzz.cpp for their layout).
#pragma once

#include <cstddef>
#include <cstdint>

#include "qvo/qvoDefs.h"

namespace convert {

// Every C type a column can be read as: the ODBC codes the library converts,
// its own (423 to 431), SQL_C_DEFAULT and SQL_C_WCHAR that it resolves, and
// codes it must refuse.
inline constexpr SQLSMALLINT kCTypes[] = {
    SQL_C_CHAR,
    SQL_C_WCHAR,
    SQL_C_BINARY,
    SQL_C_BIT,
    SQL_C_NUMERIC,
    SQL_C_TINYINT,
    SQL_C_STINYINT,
    SQL_C_UTINYINT,
    SQL_C_SHORT,
    SQL_C_SSHORT,
    SQL_C_USHORT,
    SQL_C_LONG,
    SQL_C_SLONG,
    SQL_C_ULONG,
    SQL_C_SBIGINT,
    SQL_C_UBIGINT,
    SQL_C_FLOAT,
    SQL_C_DOUBLE,
    SQL_C_DATE,
    SQL_C_TIME,
    SQL_C_TIMESTAMP,
    SQL_C_TYPE_DATE,
    SQL_C_TYPE_TIME,
    SQL_C_TYPE_TIMESTAMP,
    QVO_INT32,
    QVO_INT64,
    QVO_INT128,
    QVO_VARCHAR_PTR,
    QVO_WCHAR_UTF8,
    QVO_WCHAR_UTF16,
    QVO_TYPE_TIMESTAMP_UTC,
    SQL_C_DEFAULT,
    SQL_C_GUID,
    SQL_C_INTERVAL_DAY,
    0,
};
inline constexpr size_t kCTypeCount = sizeof kCTypes / sizeof kCTypes[0];

// Buffer lengths a plan chooses from: the small ones cut every kind of text
// and piece, 12 is the three-integer record of a time stamp.
inline constexpr SQLLEN kLengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 16, 19, 25, 40, 300};

// Bytes of the client's side, the column plans in it and the byte after
// them.
inline constexpr size_t kPlanCount = 8;
inline constexpr size_t kPlanOffset = 7;
inline constexpr size_t kWideCodeSetOffset = kPlanOffset + 2 * kPlanCount;
inline constexpr size_t kClientBytes = kWideCodeSetOffset + 1;

// Flags (byte 0).
inline constexpr uint8_t kRowsetShift = 2;  // bits 2-4: rowset size - 1
inline constexpr uint8_t kBatch = 0x20;
inline constexpr uint8_t kNoStatusArray = 0x40;
inline constexpr uint8_t kScroll = 0x80;

// Settings (byte 1).
inline constexpr uint8_t kCodeSetMask = 0x03;  // with kCodeSetHigh: kCodeSets
inline constexpr uint8_t kDecimalComma = 0x04;
inline constexpr uint8_t kStringsNotNull = 0x08;
inline constexpr uint8_t kDecimalsKept = 0x10;
inline constexpr uint8_t kExternalConversion = 0x20;
inline constexpr uint8_t kMaxLength = 0x40;
inline constexpr uint8_t kMaxRows = 0x80;

// More settings (byte 2): bits 0-2 the float precision's index, bit 3 the
// code set's high bit, then these.
inline constexpr uint8_t kCodeSetHigh = 0x08;
inline constexpr uint8_t kIntTypes = 0x10;
inline constexpr uint8_t kWords = 0x20;
inline constexpr uint8_t kRetrieveOff = 0x40;
inline constexpr uint8_t kWideAsUtf8 = 0x80;

// The data code sets a statement can take (null: the one it has).
inline constexpr const char* kCodeSets[8] = {nullptr,    "UTF-8",  "ISO-8859-1", "ASCII",
                                             "UTF-16LE", "UTF-32", "UTF-32LE",   "GB18030"};

// The code pages of 2-byte units the wide data can take (bits 0-1 of the
// last byte; null: the one it has, UTF-16 in host order).
inline constexpr const char* kWideCodeSets[4] = {nullptr, "UTF-16BE", "UCS-2", "UTF-16LE"};

// The first byte of a column plan: the C type's index (bits 0-6, taken
// modulo the count), and whether the pieces of QVOGetData alternate with
// the other width of text.
inline constexpr uint8_t kCTypeMask = 0x7F;
inline constexpr uint8_t kOtherWidth = 0x80;

// The second byte of a column plan.
inline constexpr uint8_t kLengthMask = 0x0F;
inline constexpr uint8_t kValueOnly = 0x10;
inline constexpr uint8_t kIndicatorOnly = 0x20;
inline constexpr uint8_t kByGetData = 0x40;
inline constexpr uint8_t kAskLength = 0x80;

// A fetch orientation byte (bytes 3-6): bits 0-2 the orientation, the rest
// the offset + 8.
inline constexpr uint8_t Orientation(SQLSMALLINT orientation, int offset) {
  return static_cast<uint8_t>((orientation & 7) | ((offset + 8) << 3));
}

inline constexpr uint8_t CTypeIndex(SQLSMALLINT cType) {
  for (size_t i = 0; i < kCTypeCount; ++i)
    if (kCTypes[i] == cType) return static_cast<uint8_t>(i);
  return 0;
}

inline constexpr uint8_t LengthIndex(SQLLEN length) {
  for (uint8_t i = 0; i < 16; ++i)
    if (kLengths[i] == length) return i;
  return 0;
}

}  // namespace convert
