#include "protocol/qvoPreparedMessage.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/qvoByteOrder.h"
#include "common/qvoTypeCodes.h"
#include "platform/qvoConverter.h"
#include "platform/qvoUnicode.h"

// --- the buffer ------------------------------------------------------------------------

void qvoMessageBuffer::Adopt(std::unique_ptr<char[]> buffer, size_t capacity) {
  data_ = std::move(buffer);
  capacity_ = data_ ? capacity : 0;
  size_ = 0;
  growth_ = nullptr;
  ClearFailure();
}

bool qvoMessageBuffer::Presize(size_t capacity) {
  if (capacity <= capacity_) return true;
  std::unique_ptr<char[]> sized(new (std::nothrow) char[capacity]);
  if (!sized) return false;
  if (size_) std::memcpy(sized.get(), data_.get(), size_);
  data_ = std::move(sized);
  capacity_ = capacity;
  return true;
}

std::unique_ptr<char[]> qvoMessageBuffer::Release() {
  capacity_ = 0;
  size_ = 0;
  return std::move(data_);
}

bool qvoMessageBuffer::Reserve(size_t n) {
  if (failed_) return false;
  if (n <= capacity_ - size_) return true;
  if (n > kMaxMessageBytes - size_) {
    failed_ = true;
    return false;
  }
  const size_t needed = size_ + n;
  const size_t doubled = capacity_ > kMaxMessageBytes / 2 ? kMaxMessageBytes : 2 * capacity_;
  const size_t capacity = std::max({needed, doubled, size_t{256}});
  if (growth_) growth_->Growing(capacity_);
  std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
  if (!grown) {
    failed_ = outOfMemory_ = true;
    return false;
  }
  if (size_) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
  if (growth_) growth_->Grown(capacity_);
  return true;
}

char* qvoMessageBuffer::Claim(size_t n) { return Reserve(n) ? data_.get() + size_ : nullptr; }

void qvoMessageBuffer::Bytes(const void* p, size_t n) {
  if (n == 0 || !Reserve(n)) return;
  std::memcpy(data_.get() + size_, p, n);
  size_ += n;
}

void qvoMessageBuffer::Int8(qvo_int8 v) { Bytes(&v, 1); }

void qvoMessageBuffer::Int16(qvo_int16 v) {
  char b[2];
  qvoPutLE16(b, v);
  Bytes(b, sizeof b);
}

void qvoMessageBuffer::Int32(qvo_int32 v) {
  char b[4];
  qvoPutLE32(b, v);
  Bytes(b, sizeof b);
}

void qvoMessageBuffer::Int64(qvo_int64 v) {
  char b[8];
  qvoPutLE64(b, v);
  Bytes(b, sizeof b);
}

void qvoMessageBuffer::Double(qvo_double v) {
  char b[8];
  qvoPutLEDouble(b, v);
  Bytes(b, sizeof b);
}

void qvoMessageBuffer::PatchInt32(size_t at, qvo_int32 v) {
  if (at <= size_ && size_ - at >= 4) qvoPutLE32(data_.get() + at, v);
}

void qvoMessageBuffer::PatchInt64(size_t at, qvo_int64 v) {
  if (at <= size_ && size_ - at >= 8) qvoPutLE64(data_.get() + at, v);
}

// --- header ------------------------------------------------------------------------------

namespace {
constexpr size_t kRowsAt = 13;
constexpr size_t kRowsAgainAt = 21;
}  // namespace

void EncodePreparedHeader(qvoMessageBuffer& out, qvo_int32 preparedHandle, qvo_int32 descriptions,
                          qvo_int64 rows) {
  out.Int32(preparedHandle);
  out.Int32(1);
  out.Int8(1);
  out.Int32(descriptions);
  out.Int64(rows);
  out.Int64(rows);
}

void PatchPreparedRows(qvoMessageBuffer& out, qvo_int64 rows) {
  out.PatchInt64(kRowsAt, rows);
  out.PatchInt64(kRowsAgainAt, rows);
}

// --- descriptions --------------------------------------------------------------------------

namespace {

void DescribeFixed(qvoMessageBuffer& out, const qvoParamDescription& d) {
  out.Int32(0);
  out.Int32(d.serverType);
}

void DescribeDecimal(qvoMessageBuffer& out, const qvoParamDescription& d) {
  DescribeFixed(out, d);
  out.Int32(d.precision);
  out.Int32(d.scale);
}

void DescribeCharacter(qvoMessageBuffer& out, const qvoParamDescription& d) {
  out.Int32(0);
  out.Int32(_CHAR);
  out.Int8(d.serverType == _VARCHAR ? 1 : 0);
  out.Int32(d.columnSize);
  out.Int32(d.octetLength);
}

// --- value encoders --------------------------------------------------------------------------

template <class T>
T Read(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
qvoValueStatus AsInt32(qvoMessageBuffer& out, const qvoParamValue& v) {
  out.Int32(static_cast<qvo_int32>(Read<T>(v.data)));
  return qvoValueStatus::Ok;
}

template <class T>
qvoValueStatus AsInt64(qvoMessageBuffer& out, const qvoParamValue& v) {
  out.Int64(static_cast<qvo_int64>(Read<T>(v.data)));
  return qvoValueStatus::Ok;
}

// A 128-bit integer as two little-endian halves, low half first.
void Put128(qvoMessageBuffer& out, qvo_uint64 low, qvo_uint64 high) {
  out.Int64(static_cast<qvo_int64>(low));
  out.Int64(static_cast<qvo_int64>(high));
}

template <class T>
qvoValueStatus AsInt128(qvoMessageBuffer& out, const qvoParamValue& v) {
  const T n = Read<T>(v.data);
  Put128(out, static_cast<qvo_uint64>(n), n < 0 ? ~qvo_uint64{0} : 0);
  return qvoValueStatus::Ok;
}

// A bit is 0 or 1 on the wire: any other byte the application holds is a
// true value, as the fetch reads one.
qvoValueStatus Bit(qvoMessageBuffer& out, const qvoParamValue& v) {
  out.Int8(v.data[0] != 0 ? 1 : 0);
  return qvoValueStatus::Ok;
}

// The number read as YYYYMMDD: day, month, int16 year.
template <class T>
qvoValueStatus IntegerDate(qvoMessageBuffer& out, const qvoParamValue& v) {
  const qvo_int64 n = Read<T>(v.data);
  if (n < 0 || n / 10000 > 32767) return qvoValueStatus::OutOfRange;
  out.Int8(static_cast<qvo_int8>(n % 100));
  out.Int8(static_cast<qvo_int8>(n / 100 % 100));
  out.Int16(static_cast<qvo_int16>(n / 10000));
  return qvoValueStatus::Ok;
}

qvoValueStatus Int128Bytes(qvoMessageBuffer& out, const qvoParamValue& v) {
  out.Bytes(v.data, 16);
  return qvoValueStatus::Ok;
}

qvoValueStatus BinaryAsInt128(qvoMessageBuffer& out, const qvoParamValue& v) {
  if (v.length < 16) return qvoValueStatus::OutOfRange;
  out.Bytes(v.data, 16);
  return qvoValueStatus::Ok;
}

// SQL_NUMERIC_STRUCT: precision, scale, sign (1 positive, 0 negative), then
// the magnitude as 16 little-endian bytes. Sent as the signed 128-bit value.
qvoValueStatus Numeric(qvoMessageBuffer& out, const qvoParamValue& v) {
  SQL_NUMERIC_STRUCT n;
  std::memcpy(&n, v.data, sizeof n);
  unsigned __int128 magnitude = 0;
  for (int i = 15; i >= 0; --i) magnitude = magnitude << 8 | n.val[i];
  const unsigned __int128 top = static_cast<unsigned __int128>(1) << 127;
  if (n.sign != 0 ? magnitude >= top : magnitude > top) return qvoValueStatus::OutOfRange;
  const unsigned __int128 value = n.sign != 0 ? magnitude : ~magnitude + 1;
  Put128(out, static_cast<qvo_uint64>(value), static_cast<qvo_uint64>(value >> 64));
  return qvoValueStatus::Ok;
}

qvoValueStatus Float(qvoMessageBuffer& out, const qvoParamValue& v) {
  out.Double(static_cast<qvo_double>(Read<SQLREAL>(v.data)));
  return qvoValueStatus::Ok;
}

qvoValueStatus Double(qvoMessageBuffer& out, const qvoParamValue& v) {
  out.Double(Read<SQLDOUBLE>(v.data));
  return qvoValueStatus::Ok;
}

bool FitsByte(unsigned v) { return v <= 255; }

qvoValueStatus Date(qvoMessageBuffer& out, const qvoParamValue& v) {
  const auto d = Read<SQL_DATE_STRUCT>(v.data);
  if (!FitsByte(d.month) || !FitsByte(d.day)) return qvoValueStatus::OutOfRange;
  out.Int8(static_cast<qvo_int8>(d.day));
  out.Int8(static_cast<qvo_int8>(d.month));
  out.Int16(d.year);
  return qvoValueStatus::Ok;
}

void PutTimestamp(qvoMessageBuffer& out, qvo_int16 year, unsigned month, unsigned day,
                  unsigned hour, unsigned minute, unsigned second, qvo_int32 fraction) {
  out.Int16(year);
  for (unsigned b : {month, day, hour, minute, second}) out.Int8(static_cast<qvo_int8>(b));
  out.Int32(fraction);
}

qvoValueStatus Time(qvoMessageBuffer& out, const qvoParamValue& v) {
  const auto t = Read<SQL_TIME_STRUCT>(v.data);
  if (!FitsByte(t.hour) || !FitsByte(t.minute) || !FitsByte(t.second))
    return qvoValueStatus::OutOfRange;
  PutTimestamp(out, 0, 0, 0, t.hour, t.minute, t.second, 0);
  return qvoValueStatus::Ok;
}

qvoValueStatus Timestamp(qvoMessageBuffer& out, const qvoParamValue& v) {
  const auto t = Read<SQL_TIMESTAMP_STRUCT>(v.data);
  for (unsigned b : {unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                     unsigned{t.second}})
    if (!FitsByte(b)) return qvoValueStatus::OutOfRange;
  if (t.fraction > static_cast<SQLUINTEGER>(INT32_MAX)) return qvoValueStatus::OutOfRange;
  PutTimestamp(out, t.year, t.month, t.day, t.hour, t.minute, t.second,
               static_cast<qvo_int32>(t.fraction));
  return qvoValueStatus::Ok;
}

qvoValueStatus Guid(qvoMessageBuffer& out, const qvoParamValue& v) {
  char text[37];
  GuidText(v.data, text);
  out.Int32(36);
  out.Bytes(text, 36);
  return qvoValueStatus::Ok;
}

qvoValueStatus Bytes(qvoMessageBuffer& out, const qvoParamValue& v) {
  if (v.length > out.Headroom() || v.length > static_cast<size_t>(INT32_MAX))
    return qvoValueStatus::TooLarge;
  out.Int32(static_cast<qvo_int32>(v.length));
  out.Bytes(v.data, v.length);
  return out.Failed() ? qvoValueStatus::TooLarge : qvoValueStatus::Ok;
}

// An ODBC date-time escape ({d '...'}, {t '...'}, {ts '...'}) in text sent
// for a date or time parameter: the brace, keyword, quotes and closing brace
// become blanks and the leading blanks go. Returns the new length.
size_t StripDateTimeEscape(char* p, size_t n) {
  if (n <= 10) return n;
  char* open = static_cast<char*>(std::memchr(p, '{', n));
  if (open == nullptr) return n;
  char* end = p + n;
  char* k = open + 1;
  while (k < end && *k == ' ') ++k;
  char* keyword = k;
  while (k < end && (*k == 'd' || *k == 'D' || *k == 't' || *k == 'T' || *k == 's' || *k == 'S'))
    ++k;
  const size_t keywordLen = static_cast<size_t>(k - keyword);
  if (keywordLen == 0 || keywordLen > 2) return n;
  while (k < end && *k == ' ') ++k;
  if (k == end || *k != '\'') return n;
  char* quote = k;
  char* closing =
      static_cast<char*>(std::memchr(quote + 1, '\'', static_cast<size_t>(end - quote - 1)));
  if (closing == nullptr) return n;
  char* brace = closing + 1;
  while (brace < end && *brace == ' ') ++brace;
  if (brace == end || *brace != '}') return n;
  *open = ' ';
  std::memset(keyword, ' ', keywordLen);
  *quote = ' ';
  *closing = ' ';
  *brace = ' ';
  size_t lead = 0;
  while (lead < n && p[lead] == ' ') ++lead;
  std::memmove(p, p + lead, n - lead);
  return n - lead;
}

// Converts text into the message as int32 length and UTF-8 bytes. Room is
// reserved from the value's own length and the worst growth of its code
// set, capped by what the message can still take.
qvoValueStatus Text(qvoMessageBuffer& out, const qvoParamValue& v, size_t worstFactorNum,
                    size_t worstFactorDen) {
  const bool passThrough = v.converter == nullptr || v.converter->ConversionDeactivated();
  if (v.length > static_cast<size_t>(INT_MAX)) return qvoValueStatus::TooLarge;
  size_t worst = v.length;
  if (!passThrough) {
    worst = v.length / worstFactorDen;
    worst = worst > SIZE_MAX / worstFactorNum ? SIZE_MAX : worst * worstFactorNum;
    worst += worstFactorNum;  // an odd tail
  }
  const size_t headroom = out.Headroom();
  if (headroom < 4) return qvoValueStatus::TooLarge;
  const size_t room = std::min({worst, headroom - 4, static_cast<size_t>(INT_MAX)});
  const size_t lengthAt = out.Size();
  out.Int32(0);
  char* dst = out.Claim(room);
  if (dst == nullptr) return qvoValueStatus::TooLarge;

  size_t written = 0;
  if (passThrough) {
    if (v.length > room) return qvoValueStatus::TooLarge;
    if (!Unicode::isValidUtf8Bytestream(v.data, v.length)) return qvoValueStatus::InvalidUtf8;
    if (v.length) std::memcpy(dst, v.data, v.length);
    written = v.length;
  } else if (v.length > 0) {
    // A value the statement shortened may end inside a multibyte character
    // of its code set: drop that character rather than refuse the value.
    int n = -1;
    for (size_t drop = 0; n < 0 && drop <= (v.cut ? 3u : 0u) && drop < v.length; ++drop)
      n = v.converter->ToCodeset(v.data, static_cast<int>(v.length - drop), dst,
                                 static_cast<int>(room));
    if (n < 0) return qvoValueStatus::ConversionFailed;
    if (v.converter->bufferFull) return qvoValueStatus::TooLarge;
    written = static_cast<size_t>(n);
  }
  if (v.dateTimeText) written = StripDateTimeEscape(dst, written);
  out.Commit(written);
  out.PatchInt32(lengthAt, static_cast<qvo_int32>(written));
  return qvoValueStatus::Ok;
}

// A byte of a single-byte or multibyte code set becomes at most 4 bytes of
// UTF-8; a UTF-16 unit at most 3 (a surrogate pair, two units, 4).
qvoValueStatus NarrowText(qvoMessageBuffer& out, const qvoParamValue& v) {
  return Text(out, v, 4, 1);
}
qvoValueStatus WideText(qvoMessageBuffer& out, const qvoParamValue& v) {
  return Text(out, v, 3, 2);
}

// --- the table ----------------------------------------------------------------------------------

using K = qvoParamKind;
using P = qvoPrecisionRule;

constexpr SQLSMALLINT kAny[3] = {};

// clang-format off
// First match wins: rows with SQL types come before the row of the same C
// types for any SQL type.
constexpr qvoParamEncoding kEncodings[] = {
  // C types                                   SQL types                 server type     precision           kind       bytes text describe           encode
  {{SQL_C_BIT},                                {},                       _BOOLEAN,       P::Keep, 0,         K::Fixed,  1, 0,  DescribeFixed,     Bit},
  {{SQL_C_TINYINT, SQL_C_STINYINT},            {},                       _SMALLDECIMAL,  P::SetScaleZero, 9, K::Fixed,  1, 0,  DescribeDecimal,   AsInt32<qvo_int8>},
  {{SQL_C_UTINYINT},                           {},                       _SMALLDECIMAL,  P::SetScaleZero, 9, K::Fixed,  1, 0,  DescribeDecimal,   AsInt32<qvo_uint8>},
  {{SQL_C_SHORT, SQL_C_SSHORT},                {},                       _SMALLDECIMAL,  P::SetScaleZero, 9, K::Fixed,  2, 0,  DescribeDecimal,   AsInt32<qvo_int16>},
  {{SQL_C_USHORT},                             {},                       _SMALLDECIMAL,  P::SetScaleZero, 9, K::Fixed,  2, 0,  DescribeDecimal,   AsInt32<qvo_uint16>},
  {{QVO_INT32},                                {SQL_DECIMAL, SQL_C_DEFAULT}, _DECIMAL,   P::Set, 18,         K::Fixed,  4, 0,  DescribeDecimal,   AsInt64<qvo_int32>},
  {{QVO_INT32},                                {SQL_INTEGER},            _DECIMAL,       P::SetScaleZero, 18, K::Fixed, 4, 0,  DescribeDecimal,   AsInt64<qvo_int32>},
  {{QVO_INT32, SQL_C_LONG, SQL_C_SLONG},       {SQL_DATE, SQL_TYPE_DATE}, _DATE,         P::Keep, 0,         K::Fixed,  4, 0,  DescribeFixed,     IntegerDate<qvo_int32>},
  {{SQL_C_ULONG},                              {SQL_DATE, SQL_TYPE_DATE}, _DATE,         P::Keep, 0,         K::Fixed,  4, 0,  DescribeFixed,     IntegerDate<qvo_uint32>},
  {{QVO_INT32},                                {},                       _VARCHAR,       P::Keep, 0,         K::Fixed,  4, 0,  DescribeCharacter, nullptr},
  {{SQL_C_LONG, SQL_C_SLONG},                  {},                       _DECIMAL,       P::Set, 18,         K::Fixed,  4, 0,  DescribeDecimal,   AsInt64<qvo_int32>},
  {{SQL_C_ULONG},                              {},                       _DECIMAL,       P::Set, 18,         K::Fixed,  4, 0,  DescribeDecimal,   AsInt64<qvo_uint32>},
  {{QVO_INT64},                                {SQL_DECIMAL, SQL_C_DEFAULT}, _BIGDECIMAL, P::Set, 36,        K::Fixed,  8, 0,  DescribeDecimal,   AsInt128<qvo_int64>},
  {{QVO_INT64},                                {SQL_BIGINT},             _BIGDECIMAL,    P::SetScaleZero, 36, K::Fixed, 8, 0,  DescribeDecimal,   AsInt128<qvo_int64>},
  {{QVO_INT64},                                {},                       _VARCHAR,       P::Keep, 0,         K::Fixed,  8, 0,  DescribeCharacter, nullptr},
  {{QVO_INT128},                               {SQL_DECIMAL, SQL_C_DEFAULT}, _BIGDECIMAL, P::Set, 36,        K::Fixed,  16, 0, DescribeDecimal,   Int128Bytes},
  {{QVO_INT128},                               {},                       _VARCHAR,       P::Keep, 0,         K::Fixed,  16, 0, DescribeCharacter, nullptr},
  {{SQL_C_SBIGINT, SQL_BIGINT},                {SQL_DECIMAL},            _BIGDECIMAL,    P::Keep, 0,         K::Fixed,  8, 0,  DescribeDecimal,   AsInt128<qvo_int64>},
  {{SQL_C_UBIGINT},                            {SQL_DECIMAL},            _BIGDECIMAL,    P::Keep, 0,         K::Fixed,  8, 0,  DescribeDecimal,   AsInt128<qvo_uint64>},
  {{SQL_C_SBIGINT, SQL_BIGINT},                {},                       _BIGDECIMAL,    P::Set, 20,         K::Fixed,  8, 0,  DescribeDecimal,   AsInt128<qvo_int64>},
  {{SQL_C_UBIGINT},                            {},                       _BIGDECIMAL,    P::Set, 20,         K::Fixed,  8, 0,  DescribeDecimal,   AsInt128<qvo_uint64>},
  {{SQL_C_NUMERIC},                            {},                       _BIGDECIMAL,    P::Set, 36,         K::Fixed,  19, 0, DescribeDecimal,   Numeric},
  {{SQL_C_FLOAT},                              {},                       _DOUBLE,        P::Keep, 0,         K::Fixed,  4, 0,  DescribeFixed,     Float},
  {{SQL_C_DOUBLE},                             {},                       _DOUBLE,        P::Keep, 0,         K::Fixed,  8, 0,  DescribeFixed,     Double},
  {{SQL_C_TYPE_DATE},                          {},                       _DATE,          P::Keep, 0,         K::Fixed,  6, 0,  DescribeFixed,     Date},
  {{SQL_C_TIME, SQL_C_TYPE_TIME},              {},                       _TIMESTAMP,     P::Keep, 0,         K::Fixed,  6, 0,  DescribeFixed,     Time},
  {{SQL_C_TIMESTAMP, SQL_C_TYPE_TIMESTAMP},    {},                       _TIMESTAMP,     P::Keep, 0,         K::Fixed,  16, 0, DescribeFixed,     Timestamp},
  {{QVO_TYPE_TIMESTAMP_UTC},                   {},                       _TIMESTAMP_UTC, P::Keep, 0,         K::Fixed,  16, 0, DescribeFixed,     Timestamp},
  {{SQL_C_GUID},                               {},                       _VARCHAR,       P::Keep, 0,         K::Fixed,  16, 36, DescribeCharacter, Guid},
  {{SQL_C_BINARY},                             {SQL_DECIMAL, QVO_INT128}, _BIGDECIMAL,   P::Keep, 0,         K::Binary, 0, 0,  DescribeDecimal,   BinaryAsInt128},
  {{SQL_C_BINARY, SQL_VARBINARY, SQL_LONGVARBINARY}, {},                 _VARCHAR,       P::Keep, 0,         K::Binary, 0, 0,  DescribeCharacter, Bytes},
  {{SQL_C_CHAR, SQL_VARCHAR, SQL_LONGVARCHAR}, {},                       _VARCHAR,       P::Keep, 0,         K::Narrow, 0, 0,  DescribeCharacter, NarrowText},
  {{SQL_C_WCHAR, SQL_WVARCHAR, SQL_WLONGVARCHAR}, {},                    _VARCHAR,       P::Keep, 0,         K::Wide,   0, 0,  DescribeCharacter, WideText},
};
// clang-format on

template <size_t N>
bool Has(const SQLSMALLINT (&codes)[N], SQLSMALLINT code) {
  for (SQLSMALLINT c : codes)
    if (c != 0 && c == code) return true;
  return false;
}

template <size_t N>
bool IsAny(const SQLSMALLINT (&codes)[N]) {
  for (SQLSMALLINT c : codes)
    if (c != 0) return false;
  return true;
}

// The first n bytes without a sequence that runs past them; only those n
// bytes are read (the value may end there).
size_t Utf8Prefix(const char* data, size_t n) {
  const auto* s = reinterpret_cast<const unsigned char*>(data);
  size_t lead = n;
  while (lead > 0 && (s[lead - 1] & 0xC0) == 0x80) --lead;
  if (lead == 0) return n;  // no lead byte: the validity check refuses it
  const unsigned char b = s[lead - 1];
  const size_t need = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  return n - (lead - 1) < need ? lead - 1 : n;
}

}  // namespace

// A value of each fixed-width server type in the message: its null flag and
// its bytes as the encoders write them.
struct FixedValueBytes {
  qvo_int16 serverType;
  unsigned bytes;
};
constexpr FixedValueBytes kFixedValueBytes[] = {
    {_DATE, 5},    {_SMALLDECIMAL, 5}, {_DECIMAL, 9},        {_DOUBLE, 9},
    {_BOOLEAN, 2}, {_TIMESTAMP, 12},   {_TIMESTAMP_UTC, 12}, {_BIGDECIMAL, 17},
};

size_t EstimateParamValueBytes(qvo_int16 serverType, SQLLEN octetLength, SQLULEN ipdLength,
                               SQLULEN rows, SQLULEN maxOctets, size_t cap) {
  const auto times = [cap](unsigned long long each, unsigned long long n) -> size_t {
    return n != 0 && each > cap / n ? cap : static_cast<size_t>(each * n);
  };
  for (const FixedValueBytes& f : kFixedValueBytes)
    if (f.serverType == serverType) return times(f.bytes, rows);
  // Text may grow fourfold into UTF-8.
  const unsigned long long length = std::min<unsigned long long>(ipdLength, cap / 4);
  const unsigned long long each =
      std::max<unsigned long long>(octetLength > 0 ? octetLength : 0, 4 * length) + 4;
  return std::min<size_t>(maxOctets, times(each, rows) / 8 + 1);
}

// Always 36 characters: every group keeps its leading zeros.
void GuidText(const char* value, char (&text)[37]) {
  const auto g = Read<SQLGUID>(value);
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(g.Data1), unsigned{g.Data2}, unsigned{g.Data3},
                unsigned{g.Data4[0]}, unsigned{g.Data4[1]}, unsigned{g.Data4[2]},
                unsigned{g.Data4[3]}, unsigned{g.Data4[4]}, unsigned{g.Data4[5]},
                unsigned{g.Data4[6]}, unsigned{g.Data4[7]});
}

const qvoParamEncoding* FindParamEncoding(SQLSMALLINT cType, SQLSMALLINT sqlType,
                                          qvoParamLookup* why) {
  for (const qvoParamEncoding& row : kEncodings) {
    if (!Has(row.cTypes, cType)) continue;
    if (!IsAny(row.sqlTypes) && !Has(row.sqlTypes, sqlType)) continue;
    if (row.encode == nullptr) {
      if (why) *why = qvoParamLookup::ConversionNotSupported;
      return nullptr;
    }
    if (why) *why = qvoParamLookup::Found;
    return &row;
  }
  if (why) *why = qvoParamLookup::CTypeNotSupported;
  return nullptr;
}

size_t ParamCutLength(qvoParamKind kind, const char* data, size_t length, size_t maxBytes,
                      bool utf8) {
  if (length <= maxBytes) return length;
  switch (kind) {
    case qvoParamKind::Narrow:
      return utf8 ? Utf8Prefix(data, maxBytes) : maxBytes;
    case qvoParamKind::Wide: {
      size_t n = maxBytes & ~size_t{1};
      if (n >= 2) {
        qvo_uint16 last;
        std::memcpy(&last, data + n - 2, 2);
        if (last >= 0xD800 && last <= 0xDBFF) n -= 2;  // half of a surrogate pair
      }
      return n;
    }
    default:
      return maxBytes;
  }
}
