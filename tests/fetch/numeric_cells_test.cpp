// Fetch into the numeric C types (integers of every width, bit, float,
// double, SQL_NUMERIC_STRUCT): one table of server value x C type ->
// written element and length, or the row's SQLSTATE, with canary bytes
// around every element.
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "cell_harness.h"
#include "statement/statement_fixture.h"

namespace {

using namespace cells;
using O = qvoCellOutcome;

constexpr __int128 kTwo63 = static_cast<__int128>(1) << 63;
constexpr __int128 kTwo64 = static_cast<__int128>(1) << 64;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Bytes of one element of each numeric C type.
std::size_t ElementSize(SQLSMALLINT cType) {
  switch (cType) {
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
    case SQL_C_DOUBLE:
      return 8;
    case SQL_C_SLONG:
    case SQL_C_LONG:
    case SQL_C_ULONG:
    case SQL_C_FLOAT:
      return 4;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
    case SQL_C_USHORT:
      return 2;
    case SQL_C_NUMERIC:
      return sizeof(SQL_NUMERIC_STRUCT);
    default:
      return 1;
  }
}

struct Expect {
  bool refused = false;  // the family has no cell for the pair
  O outcome = O::Ok;
  Bytes element;  // empty: nothing written
  SQLLEN length = kUntouchedLength;
};
template <class T>
Expect Gives(T v, O outcome = O::Ok) {
  return {false, outcome, BytesOf(v), static_cast<SQLLEN>(sizeof v)};
}
Expect Fails(O outcome) { return {false, outcome, {}, kUntouchedLength}; }
Expect Refused() { return {true, O::Ok, {}, kUntouchedLength}; }

struct Case {
  const char* name;
  SQLSMALLINT cType;
  Source source;
  Expect expect;
  bool truncateDecimals = true;
  SQLLEN bufferLength = 8;
};

using S8 = std::int8_t;
using U8 = std::uint8_t;
using S16 = std::int16_t;
using U16 = std::uint16_t;
using S32 = std::int32_t;
using U32 = std::uint32_t;
using S64 = std::int64_t;
using U64 = std::uint64_t;
constexpr S64 kS64Max = std::numeric_limits<S64>::max();
constexpr S64 kS64Min = std::numeric_limits<S64>::min();

const Case kIntegerCases[] = {
    // 64-bit signed: scaling, truncateDecimals, 128-bit values, doubles, text.
    {"sbig dec 123.45", SQL_C_SBIGINT, Decimal(12345, 2), Gives<S64>(123, O::FractionalTruncation)},
    {"sbig dec 123.45 unscaled", SQL_C_SBIGINT, Decimal(12345, 2), Gives<S64>(12345), false},
    {"sbig dec -123.45", SQL_C_SBIGINT, Decimal(-12345, 2),
     Gives<S64>(-123, O::FractionalTruncation)},
    {"sbig dec 123.00", SQL_C_SBIGINT, Decimal(12300, 2), Gives<S64>(123)},
    {"sbig dec scale 0 max", SQL_C_SBIGINT, Decimal(kS64Max), Gives<S64>(kS64Max)},
    {"sbig dec scale 0 min unscaled", SQL_C_SBIGINT, Decimal(kS64Min), Gives<S64>(kS64Min), false},
    {"sbig dec scale 20", SQL_C_SBIGINT, Decimal(-kS64Max, 20),
     Gives<S64>(0, O::FractionalTruncation)},
    {"sbig 4-byte dec", SQL_C_SBIGINT, Decimal4(-5), Gives<S64>(-5)},
    {"sbig 4-byte dec scaled", SQL_C_SBIGINT, Decimal4(-1234567, 3),
     Gives<S64>(-1234, O::FractionalTruncation)},
    {"sbig smalldec", SQL_C_SBIGINT, SmallDecimal(-5), Gives<S64>(-5)},
    {"sbig big 2^63-1", SQL_C_SBIGINT, BigDecimal(kTwo63 - 1), Gives<S64>(kS64Max)},
    {"sbig big -2^63", SQL_C_SBIGINT, BigDecimal(-kTwo63), Gives<S64>(kS64Min)},
    {"sbig big 2^63", SQL_C_SBIGINT, BigDecimal(kTwo63), Fails(O::OutOfRange)},
    {"sbig big -2^63-1", SQL_C_SBIGINT, BigDecimal(-kTwo63 - 1), Fails(O::OutOfRange)},
    {"sbig big 2^64+5 never low bits", SQL_C_SBIGINT, BigDecimal(kTwo64 + 5), Fails(O::OutOfRange)},
    {"sbig big 10^20 scale 2 fits once scaled", SQL_C_SBIGINT,
     BigDecimal(static_cast<__int128>(100000000000000000LL) * 1000, 2),
     Gives<S64>(1000000000000000000LL)},
    {"sbig big 10^20 scale 2 unscaled", SQL_C_SBIGINT,
     BigDecimal(static_cast<__int128>(100000000000000000LL) * 1000, 2), Fails(O::OutOfRange),
     false},
    {"sbig big -0.5", SQL_C_SBIGINT, BigDecimal(-5, 1), Gives<S64>(0, O::FractionalTruncation)},
    {"sbig big scale 38", SQL_C_SBIGINT, BigDecimal(kTwo64 * 1000, 38),
     Gives<S64>(0, O::FractionalTruncation)},
    {"sbig big scale 40", SQL_C_SBIGINT, BigDecimal(kTwo64 * 1000, 40),
     Gives<S64>(0, O::FractionalTruncation)},
    {"sbig double 2.9", SQL_C_SBIGINT, Double(2.9), Gives<S64>(2, O::FractionalTruncation)},
    {"sbig double -2.9", SQL_C_SBIGINT, Double(-2.9), Gives<S64>(-2, O::FractionalTruncation)},
    {"sbig double -0.0", SQL_C_SBIGINT, Double(-0.0), Gives<S64>(0)},
    {"sbig double -2^63", SQL_C_SBIGINT, Double(-9223372036854775808.0), Gives<S64>(kS64Min)},
    {"sbig double 2^63", SQL_C_SBIGINT, Double(9223372036854775808.0), Fails(O::OutOfRange)},
    {"sbig double 1e19 never saturated", SQL_C_SBIGINT, Double(1e19), Fails(O::OutOfRange)},
    {"sbig double NaN", SQL_C_SBIGINT, Double(kNaN), Fails(O::OutOfRange)},
    {"sbig double +inf", SQL_C_SBIGINT, Double(kInf), Fails(O::OutOfRange)},
    {"sbig double -inf", SQL_C_SBIGINT, Double(-kInf), Fails(O::OutOfRange)},
    {"sbig boolean 2", SQL_C_SBIGINT, Boolean(2), Gives<S64>(1)},
    {"sbig boolean 0", SQL_C_SBIGINT, Boolean(0), Gives<S64>(0)},
    {"sbig text 12", SQL_C_SBIGINT, Text("12"), Gives<S64>(12)},
    {"sbig char text", SQL_C_SBIGINT, Text("7  ", _CHAR), Gives<S64>(7)},
    {"sbig text blank -42", SQL_C_SBIGINT, Text(" -42"), Gives<S64>(-42)},
    {"sbig text +17 in blanks", SQL_C_SBIGINT, Text(" +17 "), Gives<S64>(17)},
    {"sbig text 1e3", SQL_C_SBIGINT, Text("1e3"), Gives<S64>(1000)},
    {"sbig text 12.5", SQL_C_SBIGINT, Text("12.5"), Gives<S64>(12, O::FractionalTruncation)},
    {"sbig text 1.25e1", SQL_C_SBIGINT, Text("1.25e1"), Gives<S64>(12, O::FractionalTruncation)},
    {"sbig text 2^63", SQL_C_SBIGINT, Text("9223372036854775808"), Fails(O::OutOfRange)},
    {"sbig text -2^63", SQL_C_SBIGINT, Text("-9223372036854775808"), Gives<S64>(kS64Min)},
    {"sbig text 40 digits", SQL_C_SBIGINT, Text("1234567890123456789012345678901234567890"),
     Fails(O::OutOfRange)},
    {"sbig text 1e400", SQL_C_SBIGINT, Text("1e400"), Fails(O::OutOfRange)},
    {"sbig text 1e-400", SQL_C_SBIGINT, Text("1e-400"), Gives<S64>(0, O::FractionalTruncation)},
    {"sbig text abc", SQL_C_SBIGINT, Text("abc"), Fails(O::InvalidCharacter)},
    {"sbig text -42abc", SQL_C_SBIGINT, Text(" -42abc"), Fails(O::InvalidCharacter)},
    {"sbig text empty", SQL_C_SBIGINT, Text(""), Fails(O::InvalidCharacter)},
    {"sbig text blanks", SQL_C_SBIGINT, Text("   "), Fails(O::InvalidCharacter)},
    {"sbig text sign only", SQL_C_SBIGINT, Text("-"), Fails(O::InvalidCharacter)},
    {"sbig text inner blank", SQL_C_SBIGINT, Text("1 2"), Fails(O::InvalidCharacter)},
    {"sbig text hex", SQL_C_SBIGINT, Text("0x10"), Fails(O::InvalidCharacter)},
    {"sbig text exponent without digits", SQL_C_SBIGINT, Text("1e"), Fails(O::InvalidCharacter)},
    {"sbig NULL", SQL_C_SBIGINT, Null(Decimal(1)), {false, O::Ok, {}, SQL_NULL_DATA}},
    {"sbig date", SQL_C_SBIGINT, Date(2023, 12, 25), Refused()},
    {"sbig timestamp", SQL_C_SBIGINT, Timestamp(2023, 12, 25, 13, 45, 7, 0), Refused()},

    // 64-bit unsigned: negatives and the top half.
    {"ubig smalldec -5", SQL_C_UBIGINT, SmallDecimal(-5), Fails(O::OutOfRange)},
    {"ubig dec max", SQL_C_UBIGINT, Decimal(kS64Max), Gives<U64>(kS64Max)},
    {"ubig dec -1 unscaled", SQL_C_UBIGINT, Decimal(-1), Fails(O::OutOfRange), false},
    {"ubig big 2^64-1", SQL_C_UBIGINT, BigDecimal(kTwo64 - 1), Gives<U64>(~U64{0})},
    {"ubig big 2^63", SQL_C_UBIGINT, BigDecimal(kTwo63), Gives<U64>(U64{1} << 63)},
    {"ubig big 2^64", SQL_C_UBIGINT, BigDecimal(kTwo64), Fails(O::OutOfRange)},
    {"ubig big -2^63", SQL_C_UBIGINT, BigDecimal(-kTwo63), Fails(O::OutOfRange)},
    {"ubig double 1e19", SQL_C_UBIGINT, Double(1e19), Gives<U64>(10000000000000000000ULL)},
    {"ubig double 3e9", SQL_C_UBIGINT, Double(3000000000.0), Gives<U64>(3000000000ULL)},
    {"ubig double 2^64", SQL_C_UBIGINT, Double(18446744073709551616.0), Fails(O::OutOfRange)},
    {"ubig double -2^31", SQL_C_UBIGINT, Double(-2147483648.0), Fails(O::OutOfRange)},
    {"ubig double -0.5", SQL_C_UBIGINT, Double(-0.5), Gives<U64>(0, O::FractionalTruncation)},
    {"ubig double NaN", SQL_C_UBIGINT, Double(kNaN), Fails(O::OutOfRange)},
    {"ubig text -42", SQL_C_UBIGINT, Text("-42"), Fails(O::OutOfRange)},
    {"ubig text max", SQL_C_UBIGINT, Text("18446744073709551615"), Gives<U64>(~U64{0})},
    {"ubig text -0", SQL_C_UBIGINT, Text("-0"), Gives<U64>(0)},
    {"ubig date", SQL_C_UBIGINT, Date(2023, 12, 25), Refused()},

    // 32-bit signed, with dates and time stamps.
    {"slong dec 2^31", SQL_C_SLONG, Decimal(2147483648LL), Fails(O::OutOfRange)},
    {"slong dec -2^31-1", SQL_C_SLONG, Decimal(-2147483649LL), Fails(O::OutOfRange)},
    {"slong dec -2^31", SQL_C_SLONG, Decimal(-2147483648LL), Gives<S32>(-2147483647 - 1)},
    {"long dec 2^31-1", SQL_C_LONG, Decimal(2147483647), Gives<S32>(2147483647)},
    {"long dec 12345678901 scale 2", SQL_C_LONG, Decimal(12345678901LL, 2),
     Gives<S32>(123456789, O::FractionalTruncation)},
    {"long dec 12345678901 scale 2 unscaled", SQL_C_LONG, Decimal(12345678901LL, 2),
     Fails(O::OutOfRange), false},
    {"long 4-byte dec", SQL_C_LONG, Decimal4(123456789), Gives<S32>(123456789)},
    {"long 4-byte dec scaled", SQL_C_LONG, Decimal4(-12345, 2),
     Gives<S32>(-123, O::FractionalTruncation)},
    {"long smalldec min", SQL_C_LONG, SmallDecimal(-2147483647 - 1), Gives<S32>(-2147483647 - 1)},
    {"long smalldec unscaled", SQL_C_LONG, SmallDecimal(-12345, 2), Gives<S32>(-12345), false},
    {"long big 2^63 scale 20", SQL_C_LONG, BigDecimal(kTwo63, 20),
     Gives<S32>(0, O::FractionalTruncation)},
    {"long big 2^63-1 unscaled", SQL_C_LONG, BigDecimal(kTwo63 - 1), Fails(O::OutOfRange)},
    {"long double 1e10", SQL_C_LONG, Double(1e10), Fails(O::OutOfRange)},
    {"long double -2^31", SQL_C_LONG, Double(-2147483648.0), Gives<S32>(-2147483647 - 1)},
    {"long double 2^31-0.5", SQL_C_LONG, Double(2147483647.5),
     Gives<S32>(2147483647, O::FractionalTruncation)},
    {"long text 2^31", SQL_C_LONG, Text("2147483648"), Fails(O::OutOfRange)},
    {"long boolean 1", SQL_C_LONG, Boolean(1), Gives<S32>(1)},
    {"slong date", SQL_C_SLONG, Date(2023, 12, 25), Gives<S32>(20231225)},
    {"long date year 1", SQL_C_LONG, Date(1, 1, 2), Gives<S32>(10102)},
    {"slong timestamp",
     SQL_C_SLONG,
     Timestamp(2023, 12, 25, 13, 45, 7, 123456789),
     {false, O::Ok, BytesOf(std::array<S32, 3>{20231225, 134507, 123456789}), 12},
     true,
     12},
    {"long timestamp utc",
     SQL_C_LONG,
     Timestamp(1999, 1, 2, 3, 4, 5, 6, _TIMESTAMP_UTC),
     {false, O::Ok, BytesOf(std::array<S32, 3>{19990102, 30405, 6}), 12},
     true,
     16},
    {"slong timestamp into 4 bytes", SQL_C_SLONG, Timestamp(2023, 12, 25, 13, 45, 7, 0),
     Fails(O::InvalidBufferLength), true, 4},
    {"long timestamp into 11 bytes", SQL_C_LONG, Timestamp(2023, 12, 25, 13, 45, 7, 0),
     Fails(O::InvalidBufferLength), true, 11},

    // 32-bit unsigned.
    {"ulong smalldec -5", SQL_C_ULONG, SmallDecimal(-5), Fails(O::OutOfRange)},
    {"ulong dec 2^32-1", SQL_C_ULONG, Decimal(4294967295LL), Gives<U32>(4294967295U)},
    {"ulong dec 2^32", SQL_C_ULONG, Decimal(4294967296LL), Fails(O::OutOfRange)},
    {"ulong 4-byte dec -1", SQL_C_ULONG, Decimal4(-1), Fails(O::OutOfRange)},
    {"ulong double -1", SQL_C_ULONG, Double(-1.0), Fails(O::OutOfRange)},
    {"ulong double 3e9", SQL_C_ULONG, Double(3000000000.0), Gives<U32>(3000000000U)},
    {"ulong date", SQL_C_ULONG, Date(2023, 12, 25), Refused()},
    {"ulong timestamp utc", SQL_C_ULONG, Timestamp(2023, 12, 25, 1, 2, 3, 0, _TIMESTAMP_UTC),
     Refused()},

    // 16 bits.
    {"sshort dec 40000", SQL_C_SSHORT, Decimal(40000), Fails(O::OutOfRange)},
    {"ushort dec 40000", SQL_C_USHORT, Decimal(40000), Gives<U16>(40000)},
    {"short smalldec 65536", SQL_C_SHORT, SmallDecimal(65536), Fails(O::OutOfRange)},
    {"sshort smalldec -1", SQL_C_SSHORT, SmallDecimal(-1), Gives<S16>(-1)},
    {"ushort smalldec -1", SQL_C_USHORT, SmallDecimal(-1), Fails(O::OutOfRange)},
    {"short smalldec -32768", SQL_C_SHORT, SmallDecimal(-32768), Gives<S16>(-32768)},
    {"short dec 12345678901 scale 2", SQL_C_SHORT, Decimal(12345678901LL, 2), Fails(O::OutOfRange)},
    {"ushort dec 655.35", SQL_C_USHORT, Decimal4(65535, 2),
     Gives<U16>(655, O::FractionalTruncation)},
    {"short double 70000", SQL_C_SHORT, Double(70000.0), Fails(O::OutOfRange)},
    {"ushort double 65535.9", SQL_C_USHORT, Double(65535.9),
     Gives<U16>(65535, O::FractionalTruncation)},
    {"short text 32767", SQL_C_SHORT, Text("32767"), Gives<S16>(32767)},
    {"sshort text 32768", SQL_C_SSHORT, Text("32768"), Fails(O::OutOfRange)},
    {"short big 2^63", SQL_C_SHORT, BigDecimal(kTwo63), Fails(O::OutOfRange)},
    {"short boolean 2", SQL_C_SHORT, Boolean(2), Gives<S16>(1)},
    {"short date", SQL_C_SHORT, Date(2023, 12, 25), Refused()},

    // 8 bits.
    {"utiny smalldec 256", SQL_C_UTINYINT, SmallDecimal(256), Fails(O::OutOfRange)},
    {"stiny smalldec -1", SQL_C_STINYINT, SmallDecimal(-1), Gives<S8>(-1)},
    {"tiny smalldec -1", SQL_C_TINYINT, SmallDecimal(-1), Gives<S8>(-1)},
    {"utiny smalldec -1", SQL_C_UTINYINT, SmallDecimal(-1), Fails(O::OutOfRange)},
    {"stiny dec 200", SQL_C_STINYINT, Decimal(200), Fails(O::OutOfRange)},
    {"utiny dec 200", SQL_C_UTINYINT, Decimal(200), Gives<U8>(200)},
    {"tiny dec 123.4", SQL_C_TINYINT, Decimal(1234, 1), Gives<S8>(123, O::FractionalTruncation)},
    {"tiny dec 123.4 unscaled", SQL_C_TINYINT, Decimal(1234, 1), Fails(O::OutOfRange), false},
    {"utiny double 255.9", SQL_C_UTINYINT, Double(255.9), Gives<U8>(255, O::FractionalTruncation)},
    {"utiny double 256", SQL_C_UTINYINT, Double(256.0), Fails(O::OutOfRange)},
    {"stiny double -0.5", SQL_C_STINYINT, Double(-0.5), Gives<S8>(0, O::FractionalTruncation)},
    {"stiny double -128.9", SQL_C_STINYINT, Double(-128.9),
     Gives<S8>(-128, O::FractionalTruncation)},
    {"stiny double -129", SQL_C_STINYINT, Double(-129.0), Fails(O::OutOfRange)},
    {"tiny text 300", SQL_C_TINYINT, Text("300"), Fails(O::OutOfRange)},
    {"stiny text -5", SQL_C_STINYINT, Text("-5"), Gives<S8>(-5)},
    {"utiny text -5", SQL_C_UTINYINT, Text("-5"), Fails(O::OutOfRange)},
    {"utiny text 255", SQL_C_UTINYINT, Text("255"), Gives<U8>(255)},
    {"tiny big 2^63", SQL_C_TINYINT, BigDecimal(kTwo63), Fails(O::OutOfRange)},
    {"utiny boolean 2", SQL_C_UTINYINT, Boolean(2), Gives<U8>(1)},
    {"tiny date", SQL_C_TINYINT, Date(2023, 12, 25), Refused()},
    {"utiny timestamp", SQL_C_UTINYINT, Timestamp(2023, 12, 25, 13, 45, 7, 0), Refused()},
};

// The nearest float of a double, computed apart from the code under test.
float Narrow(double d) { return static_cast<float>(d); }

const Case kFloatingCases[] = {
    {"double dec 123.45", SQL_C_DOUBLE, Decimal(12345, 2), Gives(12345.0 / 10.0 / 10.0)},
    {"double dec 123.45 truncateDecimals off", SQL_C_DOUBLE, Decimal(12345, 2),
     Gives(12345.0 / 10.0 / 10.0), false},
    {"double 4-byte dec", SQL_C_DOUBLE, Decimal4(-12345, 3), Gives(-12345.0 / 10.0 / 10.0 / 10.0)},
    {"double smalldec scale 0", SQL_C_DOUBLE, SmallDecimal(-2147483647 - 1), Gives(-2147483648.0)},
    {"double dec max", SQL_C_DOUBLE, Decimal(kS64Max), Gives(9223372036854775807.0)},
    {"double big 2^64", SQL_C_DOUBLE, BigDecimal(kTwo64), Gives(18446744073709551616.0)},
    {"double big -123.45", SQL_C_DOUBLE, BigDecimal(-12345, 2), Gives(-12345.0 / 10.0 / 10.0)},
    {"double boolean 2", SQL_C_DOUBLE, Boolean(2), Gives(1.0)},
    {"double boolean 0", SQL_C_DOUBLE, Boolean(0), Gives(0.0)},
    {"double double -0.0 keeps its sign", SQL_C_DOUBLE, Double(-0.0), Gives(-0.0)},
    {"double double NaN", SQL_C_DOUBLE, Double(kNaN), Gives(kNaN)},
    {"double double -inf", SQL_C_DOUBLE, Double(-kInf), Gives(-kInf)},
    {"double double max", SQL_C_DOUBLE, Double(std::numeric_limits<double>::max()),
     Gives(std::numeric_limits<double>::max())},
    {"double text 12", SQL_C_DOUBLE, Text("12"), Gives(12.0)},
    {"double text blank -42", SQL_C_DOUBLE, Text(" -42"), Gives(-42.0)},
    {"double char text", SQL_C_DOUBLE, Text(" +2.5  ", _CHAR), Gives(2.5)},
    {"double text 1e3", SQL_C_DOUBLE, Text("1e3"), Gives(1000.0)},
    {"double text .5", SQL_C_DOUBLE, Text(".5"), Gives(0.5)},
    {"double text 1.", SQL_C_DOUBLE, Text("1."), Gives(1.0)},
    {"double text 0.1", SQL_C_DOUBLE, Text("0.1"), Gives(0.1)},
    {"double text 1e400", SQL_C_DOUBLE, Text("1e400"), Fails(O::OutOfRange)},
    {"double text -1e-400", SQL_C_DOUBLE, Text("-1e-400"), Gives(-0.0)},
    {"double text abc", SQL_C_DOUBLE, Text("abc"), Fails(O::InvalidCharacter)},
    {"double text nan", SQL_C_DOUBLE, Text("nan"), Fails(O::InvalidCharacter)},
    {"double text inf", SQL_C_DOUBLE, Text("inf"), Fails(O::InvalidCharacter)},
    {"double text empty", SQL_C_DOUBLE, Text(""), Fails(O::InvalidCharacter)},
    {"double text 1.5x", SQL_C_DOUBLE, Text("1.5x"), Fails(O::InvalidCharacter)},
    {"double NULL", SQL_C_DOUBLE, Null(Double(1.0)), {false, O::Ok, {}, SQL_NULL_DATA}},
    {"double date", SQL_C_DOUBLE, Date(2023, 12, 25), Refused()},
    {"double timestamp", SQL_C_DOUBLE, Timestamp(2023, 12, 25, 1, 2, 3, 4), Refused()},

    {"float boolean 1", SQL_C_FLOAT, Boolean(1), Gives(1.0f)},
    {"float dec 123.45", SQL_C_FLOAT, Decimal(12345, 2), Gives(Narrow(12345.0 / 10.0 / 10.0))},
    {"float smalldec", SQL_C_FLOAT, SmallDecimal(16777217), Gives(16777216.0f)},
    {"float big -2^64", SQL_C_FLOAT, BigDecimal(-kTwo64), Gives(-18446744073709551616.0f)},
    {"float double 0.1", SQL_C_FLOAT, Double(0.1), Gives(Narrow(0.1))},
    {"float double max float", SQL_C_FLOAT, Double(std::numeric_limits<float>::max()),
     Gives(std::numeric_limits<float>::max())},
    {"float double 1e300 is no infinity", SQL_C_FLOAT, Double(1e300), Fails(O::OutOfRange)},
    {"float double -1e300", SQL_C_FLOAT, Double(-1e300), Fails(O::OutOfRange)},
    {"float double 1e-300 underflows to 0", SQL_C_FLOAT, Double(1e-300), Gives(0.0f)},
    {"float double inf", SQL_C_FLOAT, Double(kInf), Gives(std::numeric_limits<float>::infinity())},
    {"float double NaN", SQL_C_FLOAT, Double(kNaN), Gives(Narrow(kNaN))},
    {"float text 3.5", SQL_C_FLOAT, Text("3.5"), Gives(3.5f)},
    {"float text 1e39", SQL_C_FLOAT, Text("1e39"), Fails(O::OutOfRange)},
    {"float text abc", SQL_C_FLOAT, Text("abc"), Fails(O::InvalidCharacter)},
    {"float date", SQL_C_FLOAT, Date(2023, 12, 25), Refused()},
    {"float timestamp utc", SQL_C_FLOAT, Timestamp(2023, 12, 25, 1, 2, 3, 4, _TIMESTAMP_UTC),
     Refused()},
};

// SQL_C_BIT: 0 or 1 after truncation toward zero, else 22003.
const Case kBitCases[] = {
    {"bit boolean 2", SQL_C_BIT, Boolean(2), Gives<U8>(1)},
    {"bit boolean 0", SQL_C_BIT, Boolean(0), Gives<U8>(0)},
    {"bit dec 1", SQL_C_BIT, Decimal(1), Gives<U8>(1)},
    {"bit dec 0 scale 3", SQL_C_BIT, Decimal(0, 3), Gives<U8>(0)},
    {"bit dec 1.00", SQL_C_BIT, Decimal(100, 2), Gives<U8>(1)},
    {"bit dec 0.5", SQL_C_BIT, Decimal(5, 1), Gives<U8>(0, O::FractionalTruncation)},
    {"bit dec 0.5 truncateDecimals off", SQL_C_BIT, Decimal(5, 1),
     Gives<U8>(0, O::FractionalTruncation), false},
    {"bit dec 1.9", SQL_C_BIT, Decimal(19, 1), Gives<U8>(1, O::FractionalTruncation)},
    {"bit dec 2", SQL_C_BIT, Decimal(2), Fails(O::OutOfRange)},
    {"bit dec -1", SQL_C_BIT, Decimal(-1), Fails(O::OutOfRange)},
    {"bit dec -3", SQL_C_BIT, Decimal(-3), Fails(O::OutOfRange)},
    {"bit 4-byte dec 1", SQL_C_BIT, Decimal4(1), Gives<U8>(1)},
    {"bit smalldec 1", SQL_C_BIT, SmallDecimal(1), Gives<U8>(1)},
    {"bit smalldec 256", SQL_C_BIT, SmallDecimal(256), Fails(O::OutOfRange)},
    {"bit big 1", SQL_C_BIT, BigDecimal(1), Gives<U8>(1)},
    {"bit big low half 0, high half -1", SQL_C_BIT, BigDecimal(-kTwo64), Fails(O::OutOfRange)},
    {"bit big 2^64+1", SQL_C_BIT, BigDecimal(kTwo64 + 1), Fails(O::OutOfRange)},
    {"bit double 0.4", SQL_C_BIT, Double(0.4), Gives<U8>(0, O::FractionalTruncation)},
    {"bit double 1", SQL_C_BIT, Double(1.0), Gives<U8>(1)},
    {"bit double -0.0", SQL_C_BIT, Double(-0.0), Gives<U8>(0)},
    {"bit double 2", SQL_C_BIT, Double(2.0), Fails(O::OutOfRange)},
    {"bit double NaN", SQL_C_BIT, Double(kNaN), Fails(O::OutOfRange)},
    {"bit double inf", SQL_C_BIT, Double(kInf), Fails(O::OutOfRange)},
    {"bit NULL", SQL_C_BIT, Null(Boolean(1)), {false, O::Ok, {}, SQL_NULL_DATA}},
    {"bit varchar", SQL_C_BIT, Text("1"), Refused()},
    {"bit char", SQL_C_BIT, Text("1", _CHAR), Refused()},
    {"bit date", SQL_C_BIT, Date(2023, 12, 25), Refused()},
};

Bytes Numeric(int precision, int scale, bool negative, unsigned __int128 magnitude) {
  SQL_NUMERIC_STRUCT n{};
  n.precision = static_cast<SQLCHAR>(precision);
  n.scale = static_cast<SQLSCHAR>(scale);
  n.sign = negative ? 0 : 1;
  for (int i = 0; i < 16; ++i) n.val[i] = static_cast<SQLCHAR>(magnitude >> (8 * i));
  return BytesOf(n);
}
Expect GivesNumeric(Bytes n, O outcome = O::Ok) { return {false, outcome, n, 19}; }
constexpr __int128 kInt128Min = static_cast<__int128>(static_cast<unsigned __int128>(1) << 127);

const Case kNumericCases[] = {
    {"numeric dec 123.45", SQL_C_NUMERIC, Decimal(12345, 2, 10),
     GivesNumeric(Numeric(10, 2, false, 12345))},
    {"numeric dec -123.45", SQL_C_NUMERIC, Decimal(-12345, 2, 10),
     GivesNumeric(Numeric(10, 2, true, 12345))},
    {"numeric dec min", SQL_C_NUMERIC, Decimal(kS64Min, 0, 18),
     GivesNumeric(Numeric(18, 0, true, static_cast<unsigned __int128>(1) << 63))},
    {"numeric 4-byte dec", SQL_C_NUMERIC, Decimal4(-12345, 2, 9),
     GivesNumeric(Numeric(9, 2, true, 12345))},
    {"numeric smalldec min", SQL_C_NUMERIC, SmallDecimal(-2147483647 - 1, 3, 9),
     GivesNumeric(Numeric(9, 3, true, 2147483648U))},
    {"numeric big -2^127", SQL_C_NUMERIC, BigDecimal(kInt128Min, 4, 38),
     GivesNumeric(Numeric(38, 4, true, static_cast<unsigned __int128>(1) << 127))},
    {"numeric big 2^127-1", SQL_C_NUMERIC, BigDecimal(-(kInt128Min + 1), 0, 38),
     GivesNumeric(Numeric(38, 0, false, (static_cast<unsigned __int128>(1) << 127) - 1))},
    {"numeric big -2^64", SQL_C_NUMERIC, BigDecimal(-kTwo64, 2, 30),
     GivesNumeric(Numeric(30, 2, true, kTwo64))},
    {"numeric big 0", SQL_C_NUMERIC, BigDecimal(0, 5, 20), GivesNumeric(Numeric(20, 5, false, 0))},
    {"numeric boolean 2", SQL_C_NUMERIC, Boolean(2), GivesNumeric(Numeric(1, 0, false, 1))},
    {"numeric boolean 0", SQL_C_NUMERIC, Boolean(0), GivesNumeric(Numeric(1, 0, false, 0))},
    {"numeric double -2.75", SQL_C_NUMERIC, Double(-2.75),
     GivesNumeric(Numeric(15, 0, true, 2), O::FractionalTruncation)},
    {"numeric double 42", SQL_C_NUMERIC, Double(42.0), GivesNumeric(Numeric(15, 0, false, 42))},
    {"numeric double -0.3", SQL_C_NUMERIC, Double(-0.3),
     GivesNumeric(Numeric(15, 0, false, 0), O::FractionalTruncation)},
    {"numeric double 1e30", SQL_C_NUMERIC, Double(1e30),
     GivesNumeric(
         Numeric(15, 0, false,
                 static_cast<unsigned __int128>(1000000000000000019ULL) * 1000000000000ULL +
                     884624838656ULL))},
    {"numeric double 2^127", SQL_C_NUMERIC, Double(170141183460469231731687303715884105728.0),
     GivesNumeric(Numeric(15, 0, false, static_cast<unsigned __int128>(1) << 127))},
    {"numeric double 2^128", SQL_C_NUMERIC, Double(340282366920938463463374607431768211456.0),
     Fails(O::OutOfRange)},
    {"numeric double NaN", SQL_C_NUMERIC, Double(kNaN), Fails(O::OutOfRange)},
    {"numeric double -inf", SQL_C_NUMERIC, Double(-kInf), Fails(O::OutOfRange)},
    {"numeric NULL", SQL_C_NUMERIC, Null(Decimal(1)), {false, O::Ok, {}, SQL_NULL_DATA}},
    {"numeric varchar", SQL_C_NUMERIC, Text("1"), Refused()},
    {"numeric char", SQL_C_NUMERIC, Text("1", _CHAR), Refused()},
    {"numeric date", SQL_C_NUMERIC, Date(2023, 12, 25), Refused()},
    {"numeric timestamp", SQL_C_NUMERIC, Timestamp(2023, 12, 25, 1, 2, 3, 4), Refused()},
};

class NumericCellsTest : public StatementTest {
 protected:
  void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    qvoCellFn cell = CellFor(c.cType, c.source.qvoType);
    if (c.expect.refused) {
      EXPECT_EQ(cell, nullptr);
      return;
    }
    ASSERT_NE(cell, nullptr);
    s->stmtAttr.truncateDecimals = c.truncateDecimals ? 1 : 0;
    RunOptions options;
    options.stmt = s;
    options.bufferLength = c.bufferLength;
    const std::size_t size =
        c.expect.element.empty() ? ElementSize(c.cType) : c.expect.element.size();
    const Written w = RunCell(cell, c.cType, {c.source}, size, options).front();
    EXPECT_STREQ(OutcomeName(w.outcome), OutcomeName(c.expect.outcome));
    EXPECT_EQ(w.length, c.expect.length);
    EXPECT_TRUE(w.canariesIntact);
    if (c.expect.element.empty())
      EXPECT_TRUE(w.untouched);
    else
      EXPECT_EQ(w.element, c.expect.element);
  }
};

TEST_F(NumericCellsTest, IntegerTargets) {
  for (const Case& c : kIntegerCases) Check(c);
}
TEST_F(NumericCellsTest, FloatingTargets) {
  for (const Case& c : kFloatingCases) Check(c);
}
TEST_F(NumericCellsTest, BitTarget) {
  for (const Case& c : kBitCases) Check(c);
}
TEST_F(NumericCellsTest, NumericStructure) {
  for (const Case& c : kNumericCases) Check(c);
}

// Every integer C type at and just beyond its bounds, from every source that
// can carry the value: in range it is written exactly, beyond it 22003.
struct Bounds {
  SQLSMALLINT cType;
  __int128 min;
  __int128 max;
};
constexpr Bounds kBounds[] = {
    {SQL_C_SBIGINT, -kTwo63, kTwo63 - 1},
    {SQL_C_UBIGINT, 0, kTwo64 - 1},
    {SQL_C_SLONG, -2147483648LL, 2147483647},
    {SQL_C_LONG, -2147483648LL, 2147483647},
    {SQL_C_ULONG, 0, 4294967295LL},
    {SQL_C_SSHORT, -32768, 32767},
    {SQL_C_SHORT, -32768, 32767},
    {SQL_C_USHORT, 0, 65535},
    {SQL_C_STINYINT, -128, 127},
    {SQL_C_TINYINT, -128, 127},
    {SQL_C_UTINYINT, 0, 255},
};

std::string DecimalText(__int128 v) {
  if (v == 0) return "0";
  const bool negative = v < 0;
  unsigned __int128 m = negative ? -static_cast<unsigned __int128>(v) : v;
  std::string digits;
  for (; m; m /= 10) digits.insert(digits.begin(), static_cast<char>('0' + m % 10));
  return negative ? "-" + digits : digits;
}

TEST_F(NumericCellsTest, IntegerBoundsFromEverySource) {
  for (const Bounds& b : kBounds) {
    const std::size_t size = ElementSize(b.cType);
    for (__int128 v : {__int128{0}, __int128{1}, __int128{-1}, b.min, b.max, b.min - 1, b.max + 1,
                       kTwo63, kTwo64, -kTwo63 - 1}) {
      std::vector<Source> sources = {BigDecimal(v), Text(DecimalText(v)), BigDecimal(v * 100, 2)};
      if (v >= -kTwo63 && v < kTwo63) sources.push_back(Decimal(static_cast<S64>(v)));
      if (v >= INT32_MIN && v <= INT32_MAX) sources.push_back(SmallDecimal(static_cast<S32>(v)));
      // Exact as a double below 2^53, and at the powers of two.
      const __int128 a = v < 0 ? -v : v;
      if (a < (static_cast<__int128>(1) << 53) || a == kTwo63 || a == kTwo64)
        sources.push_back(Double(static_cast<double>(v)));
      const bool in = v >= b.min && v <= b.max;
      for (const Source& src : sources) {
        SCOPED_TRACE(std::string(GetCTypeName(b.cType)) + " " + GetQVOTypeName(src.qvoType) + " " +
                     DecimalText(v));
        RunOptions options;
        options.stmt = s;
        const Written w = RunCell(CellFor(b.cType, src.qvoType), b.cType, {src}, size, options)[0];
        EXPECT_TRUE(w.canariesIntact);
        if (!in) {
          EXPECT_STREQ(OutcomeName(w.outcome), "22003");
          EXPECT_TRUE(w.untouched);
          EXPECT_EQ(w.length, kUntouchedLength);
          continue;
        }
        EXPECT_STREQ(OutcomeName(w.outcome), "Ok");
        EXPECT_EQ(w.length, static_cast<SQLLEN>(size));
        // Little-endian two's complement of v in size bytes.
        Bytes expected(size);
        for (std::size_t i = 0; i < size; ++i)
          expected[i] = static_cast<unsigned char>(static_cast<unsigned __int128>(v) >> (8 * i));
        EXPECT_EQ(w.element, expected);
      }
    }
  }
}

// A row bound without a data buffer gets its length and no conversion.
TEST_F(NumericCellsTest, LengthOnlyBindingConvertsNothing) {
  RunOptions options;
  options.stmt = s;
  options.bindData = false;
  options.bufferLength = 4;
  const struct {
    SQLSMALLINT cType;
    Source source;
    SQLLEN length;
  } rows[] = {
      {SQL_C_TINYINT, Decimal(1000), 1},
      {SQL_C_ULONG, Double(-1.0), 4},
      {SQL_C_SBIGINT, Text("abc"), 8},
      {SQL_C_SLONG, Timestamp(2023, 12, 25, 13, 45, 7, 0), 12},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(GetCTypeName(r.cType));
    const Written w = RunCell(CellFor(r.cType, r.source.qvoType), r.cType, {r.source},
                              ElementSize(r.cType), options)[0];
    EXPECT_STREQ(OutcomeName(w.outcome), "Ok");
    EXPECT_EQ(w.length, r.length);
  }
}

// The three-integer record of a time stamp is written only where it cannot
// overlap the next row: rows bound 4 bytes apart get HY090, not a smear.
TEST_F(NumericCellsTest, TimestampRecordsNeedTwelveBytesPerRow) {
  RunOptions options;
  options.stmt = s;
  options.bufferLength = 12;
  options.dataStride = 4;
  const Source ts = Timestamp(2023, 12, 25, 13, 45, 7, 9);
  for (const Written& w :
       RunCell(CellFor(SQL_C_SLONG, _TIMESTAMP), SQL_C_SLONG, {ts, ts}, 12, options)) {
    EXPECT_STREQ(OutcomeName(w.outcome), "HY090");
    EXPECT_TRUE(w.untouched);
  }
  options.dataStride = 12;
  for (const Written& w :
       RunCell(CellFor(SQL_C_SLONG, _TIMESTAMP), SQL_C_SLONG, {ts, ts}, 12, options))
    EXPECT_EQ(w.element, BytesOf(std::array<S32, 3>{20231225, 134507, 9}));
}

// Each row of a column is decided on its own: a failing row leaves its
// element alone and the rows after it are still converted.
TEST_F(NumericCellsTest, RowsOfAColumnAreIndependent) {
  RunOptions options;
  options.stmt = s;
  const auto w = RunCell(CellFor(SQL_C_SSHORT, _DECIMAL), SQL_C_SSHORT,
                         {Decimal(1), Decimal(40000), Null(Decimal(0)), Decimal(-7)}, 2, options);
  EXPECT_EQ(w[0].element, BytesOf<S16>(1));
  EXPECT_STREQ(OutcomeName(w[1].outcome), "22003");
  EXPECT_TRUE(w[1].untouched);
  EXPECT_EQ(w[2].length, SQL_NULL_DATA);
  EXPECT_TRUE(w[2].untouched);
  EXPECT_EQ(w[3].element, BytesOf<S16>(-7));
  for (const Written& r : w) EXPECT_TRUE(r.canariesIntact);
}

}  // namespace
