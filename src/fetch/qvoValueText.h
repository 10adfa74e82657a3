// Server values as text, for the character, binary and UTF-16 targets of the
// fetch and for single-value retrieval.
//
// Two steps, kept apart so that a caller can use either on one value:
// - render: the full text of one non-NULL value into a scratch buffer of
//   kQvoTextScratch bytes (not terminated), with its length and the part of it
//   that a cut must never lose (the integer digits of a number);
// - place: that text, cut where it has to be, into the application's buffer
//   with its terminator inside the buffer, the full length into the length
//   slot, and the outcome of the row.
//
// What a column's values need to become text (separator, scale, precision,
// float precision, boolean words, character set) is read once per column into
// qvoTextSettings; the render functions then run per value without a lock,
// an allocation or a call into the C library's formatting.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/qvoNumberFormat.h"
#include "common/qvoNumbers.h"
#include "common/qvoTypeCodes.h"
#include "fetch/qvoConversionCell.h"
#include "platform/qvoUnicode.h"
#include "protocol/qvoValueLayout.h"

class iconverter;

// Room for the text of any non-character value (the longest is a double at
// the highest float precision, about 110 characters).
inline constexpr int kQvoTextScratch = 128;
// Float precision (significant digits of a double as text) is kept in this
// range: "%.*G" knows no fewer than one digit, and more than 99 would no
// longer fit the scratch buffer.
inline constexpr int kQvoMinFloatPrecision = 1;
inline constexpr int kQvoMaxFloatPrecision = 99;
// Fraction digits of a timestamp text.
inline constexpr int kQvoMaxTimestampPrecision = 9;

// One column's facts and settings, read once per column.
struct qvoTextSettings {
  SQLSMALLINT qvoType = 0;
  SQLINTEGER valueWidth = 8;  // bytes of a _DECIMAL value (4 for up to 9 digits)
  int scale = 0;
  int timestampPrecision = 0;  // 0..9
  int floatPrecision = 9;      // kQvoMinFloatPrecision..kQvoMaxFloatPrecision
  bool externalConversion = false;
  char decSeparator = '.';
  const char* wordForTrue = "1";
  int wordForTrueLen = 1;
  const char* wordForFalse = "0";
  int wordForFalseLen = 1;
  // Character data: bytes the application accepts at most (0: no limit), the
  // column's character set, and the converter into the application's code
  // set (null when the bytes can be copied: ASCII columns, and UTF-8 columns
  // when the application's code set is UTF-8).
  SQLUINTEGER maxLength = 0;
  bool utf8Column = false;
  iconverter* converter = nullptr;
  // The UTF-16 target: null for UTF-16 in host order (converted here without
  // a converter call), else the statement's wide data converter when the
  // application gave it another code page of 2-byte units (UTF-16BE, UCS-2).
  iconverter* wideConverter = nullptr;
};

// The settings of the job's column (statement attributes, separator and
// converter of job.stmt, facts of the IRD record). Without a statement the
// defaults above hold; without an IRD record, the job's server type.
qvoTextSettings qvoReadTextSettings(const qvoColumnJob& job);
// The job's kept settings, or those read now.
inline qvoTextSettings qvoTextSettingsOf(const qvoColumnJob& job) {
  return job.text ? *job.text : qvoReadTextSettings(job);
}

// The text of one value: data points into the scratch buffer or at a boolean
// word. A cut that keeps fewer than `whole` bytes would change the value (the
// sign and integer digits of a number; all of a text in exponent form); 0
// when any cut only loses characters.
struct qvoText {
  const char* data = nullptr;
  int length = 0;
  int whole = 0;
};

// --- render ------------------------------------------------------------------------

namespace qvoTextDetail {

// printf's "%0*d" for the small integers of dates and timestamps: the sign
// counts towards the width.
inline char* PutPadded(char* p, int v, int width) {
  unsigned magnitude = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
  if (v < 0) {
    *p++ = '-';
    --width;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  for (int k = n; k < width; ++k) *p++ = '0';
  while (n > 0) *p++ = digits[--n];
  return p;
}

// Length of the part of a number's text that a cut must keep: up to the
// separator, or all of it when it has an exponent (or is not a plain number).
inline int WholePart(const char* text, int length, char separator) {
  int sep = length;
  for (int i = 0; i < length; ++i) {
    if (text[i] == 'E') return length;
    if (text[i] == separator && sep == length) sep = i;
  }
  return sep;
}

// A length below 0 (a scale no text can carry) makes a text that cannot be
// placed: the value is out of range for every character target.
inline qvoText NumberText(const char* text, int length, char separator) {
  if (length < 0) return {text, -1, 0};
  return {text, length, WholePart(text, length, separator)};
}

inline qvo_int64 ReadDecimal(const char* v, SQLINTEGER width) {
  if (width == 4) {
    qvo_int32 x;
    std::memcpy(&x, v, sizeof x);
    return x;
  }
  qvo_int64 x;
  std::memcpy(&x, v, sizeof x);
  return x;
}

// A scaled 64-bit integer: the exact decimal text, or with external
// conversion the shared formatter's text of the value as a double.
inline qvoText ScaledText(qvo_int64 value, const qvoTextSettings& s, char* scratch) {
  if (s.externalConversion) {
    double d = static_cast<double>(value);
    for (int i = 0; i < s.scale && i < 400; ++i) d /= 10.0;
    if (d == 0.0) d = 0.0;  // no "-0"
    convertNumber<double>(d, scratch);
    return NumberText(scratch, static_cast<int>(std::strlen(scratch)), s.decSeparator);
  }
  if (s.scale <= kQvoMaxScale64)
    return NumberText(scratch, DecimalToChar(&value, s.scale, scratch, s.decSeparator, 0),
                      s.decSeparator);
  // More fraction digits than 64 bits hold: the 128-bit text has room for them.
  char wide[16];
  const qvo_int64 high = value < 0 ? -1 : 0;
  std::memcpy(wide, &value, 8);
  std::memcpy(wide + 8, &high, 8);
  return NumberText(scratch,
                    qvo_int128ToChar(wide, s.scale, scratch, kQvoTextScratch, s.decSeparator),
                    s.decSeparator);
}

}  // namespace qvoTextDetail

// One struct per server type: Render(settings, value, scratch).
struct qvoBooleanText {
  static qvoText Render(const qvoTextSettings& s, const char* v, char*) {
    return v[0] ? qvoText{s.wordForTrue, s.wordForTrueLen, 0}
                : qvoText{s.wordForFalse, s.wordForFalseLen, 0};
  }
};

struct qvoSmallDecimalText {
  static qvoText Render(const qvoTextSettings& s, const char* v, char* scratch) {
    return qvoTextDetail::ScaledText(qvoTextDetail::ReadDecimal(v, 4), s, scratch);
  }
};

struct qvoDecimalText {
  static qvoText Render(const qvoTextSettings& s, const char* v, char* scratch) {
    return qvoTextDetail::ScaledText(qvoTextDetail::ReadDecimal(v, s.valueWidth), s, scratch);
  }
};

struct qvoBigDecimalText {
  static qvoText Render(const qvoTextSettings& s, const char* v, char* scratch) {
    return qvoTextDetail::NumberText(
        scratch, qvo_int128ToChar(v, s.scale, scratch, kQvoTextScratch, s.decSeparator),
        s.decSeparator);
  }
};

// "%.*G" with the float precision (a zero of either sign as "0"), written by
// std::to_chars, which formats as printf does in the "C" locale; the
// statement's separator then takes the place of the point. External
// conversion: the shared formatter's text.
struct qvoDoubleText {
  static qvoText Render(const qvoTextSettings& s, const char* v, char* scratch) {
    double d;
    std::memcpy(&d, v, sizeof d);
    if (d == 0.0) d = 0.0;
    if (s.externalConversion) {
      convertNumber<double>(d, scratch);
      return qvoTextDetail::NumberText(scratch, static_cast<int>(std::strlen(scratch)),
                                       s.decSeparator);
    }
    const auto r = std::to_chars(scratch, scratch + kQvoTextScratch, d, std::chars_format::general,
                                 s.floatPrecision);
    const int n = r.ec == std::errc() ? static_cast<int>(r.ptr - scratch) : 0;
    for (int i = 0; i < n; ++i) {
      const char c = scratch[i];
      if (c >= 'a' && c <= 'z')
        scratch[i] = static_cast<char>(c - 'a' + 'A');
      else if (c == '.')
        scratch[i] = s.decSeparator;
    }
    return qvoTextDetail::NumberText(scratch, n, s.decSeparator);
  }
};

// "%04d-%02d-%02d" of day (byte 0), month (byte 1), year (bytes 2-3).
struct qvoDateText {
  static qvoText Render(const qvoTextSettings&, const char* v, char* scratch) {
    const qvoDateFields d = DecodeDateFields(v);
    char* p = qvoTextDetail::PutPadded(scratch, d.year, 4);
    *p++ = '-';
    p = qvoTextDetail::PutPadded(p, d.month, 2);
    *p++ = '-';
    p = qvoTextDetail::PutPadded(p, d.day, 2);
    return {scratch, static_cast<int>(p - scratch), 0};
  }
};

// "%04i-%02i-%02i %02i:%02i:%02i", then the point and the first p digits of
// the nine-digit fraction (cut, not rounded) for a precision p above 0.
struct qvoTimestampText {
  static qvoText Render(const qvoTextSettings& s, const char* v, char* scratch) {
    const qvoTimestampFields t = DecodeTimestampFields(v);
    char* p = qvoTextDetail::PutPadded(scratch, t.year, 4);
    static constexpr char kSeparators[] = "-- ::";
    const signed char fields[5] = {t.month, t.day, t.hour, t.minute, t.second};
    for (int f = 0; f < 5; ++f) {
      *p++ = kSeparators[f];
      p = qvoTextDetail::PutPadded(p, fields[f], 2);
    }
    if (s.timestampPrecision > 0) {
      char digits[16];
      char* end = qvoTextDetail::PutPadded(digits, t.fraction, 9);
      const int n = static_cast<int>(end - digits);
      *p++ = '.';
      const int take = s.timestampPrecision < n ? s.timestampPrecision : n;
      std::memcpy(p, digits, static_cast<size_t>(take));
      p += take;
    }
    return {scratch, static_cast<int>(p - scratch), 0};
  }
};

// The text of a value of any non-character server type (single-value
// retrieval; the fetch calls the struct of its column's type directly).
// False for a type that has no text here.
bool qvoRenderValue(const qvoTextSettings& s, const char* value, char* scratch, qvoText* text);

// --- place -------------------------------------------------------------------------

// Narrow target (SQL_C_CHAR, SQL_C_BINARY, 429) of bufferLength bytes:
// - no target: only the full length;
// - the text fits with its terminator: copied, terminated, its length;
// - bufferLength 0: nothing written, the full length, 01004 unless empty;
// - cut: the first bufferLength - 1 bytes (backed up to a UTF-8 character
//   boundary; a cut right behind the separator drops it), terminated, the
//   full length, 01004; when that would lose part of text.whole: nothing
//   written, 22003 (also for a text that could not be made, length -1).
inline qvoCellOutcome qvoPlaceNarrow(const qvoText& t, char* target, SQLLEN bufferLength,
                                     SQLLEN* length) {
  if (t.length < 0) return qvoCellOutcome::OutOfRange;
  if (target == nullptr) {
    *length = t.length;
    return qvoCellOutcome::Ok;
  }
  if (bufferLength < 0) return qvoCellOutcome::InvalidBufferLength;
  if (static_cast<SQLLEN>(t.length) < bufferLength) {
    std::memcpy(target, t.data, static_cast<size_t>(t.length));
    target[t.length] = 0;
    *length = t.length;
    return qvoCellOutcome::Ok;
  }
  if (bufferLength == 0) {
    *length = t.length;
    return t.length ? qvoCellOutcome::Truncated : qvoCellOutcome::Ok;
  }
  const auto room = static_cast<size_t>(bufferLength - 1);
  if (room < static_cast<size_t>(t.whole)) return qvoCellOutcome::OutOfRange;
  size_t n = Unicode::Utf8CutLength(t.data, static_cast<size_t>(t.length), room);
  if (t.whole > 0 && n == static_cast<size_t>(t.whole) + 1) n = static_cast<size_t>(t.whole);
  std::memcpy(target, t.data, n);
  target[n] = 0;
  *length = t.length;
  return qvoCellOutcome::Truncated;
}

inline bool qvoIsAscii(const char* text, std::size_t n) {
  unsigned char any = 0;
  for (std::size_t i = 0; i < n; ++i) any |= static_cast<unsigned char>(text[i]);
  return any < 0x80;
}

// Writes the conversion failure of a UTF-8 text at byte `at` into detail (a
// buffer of sizeof qvoColumnJob::detail bytes).
void qvoUtf16FailureDetail(char* detail, std::size_t at);

// Units of a UTF-16 target of bufferLength bytes that text may take: the rest
// of the buffer after the two-byte terminator, in whole units.
inline std::size_t qvoWideRoomUnits(SQLLEN bufferLength) {
  return bufferLength < 2 ? 0 : static_cast<std::size_t>(bufferLength - 2) / 2;
}

// UTF-16 target (430) of bufferLength bytes, lengths in bytes: the UTF-8 text
// converted into at most limitUnits units and the room of the buffer (never
// splitting a surrogate pair), a two-byte terminator behind it; a buffer
// shorter than 2 bytes receives nothing. The length slot gets the length of
// the text up to limitUnits when the buffer cut it, else what was written.
// Cuts, bufferLength 0 and a lost `whole` part as qvoPlaceNarrow (`whole`
// counts bytes of an ASCII text, so also units). Ill-formed UTF-8:
// ConversionError with the reason in detail.
inline qvoCellOutcome qvoPlaceWide(const char* text, std::size_t textLen, int whole, char* target,
                                   SQLLEN bufferLength, SQLLEN* length, char* detail,
                                   std::size_t limitUnits = SIZE_MAX) {
  if (target != nullptr && bufferLength < 0) return qvoCellOutcome::InvalidBufferLength;
  const bool write = target != nullptr && bufferLength >= 2;
  const std::size_t roomUnits = write ? qvoWideRoomUnits(bufferLength) : 0;
  const std::size_t maxUnits = roomUnits < limitUnits ? roomUnits : limitUnits;
  if (write && whole > 0 && textLen > maxUnits && maxUnits < static_cast<std::size_t>(whole))
    return qvoCellOutcome::OutOfRange;
  if (target != nullptr && bufferLength == 1 && whole > 0) return qvoCellOutcome::OutOfRange;
  // A text that is not plain ASCII is checked before anything is written, so
  // that a failing row leaves its buffer as it was.
  if (write && !qvoIsAscii(text, textLen)) {
    const Unicode::Utf16Result check = Unicode::Utf8ToUtf16(text, textLen, nullptr, 0);
    if (!check.valid) {
      qvoUtf16FailureDetail(detail, check.badAt);
      return qvoCellOutcome::ConversionError;
    }
  }
  const Unicode::Utf16Result r =
      Unicode::Utf8ToUtf16(text, textLen, write ? target : nullptr, maxUnits);
  if (!r.valid) {
    qvoUtf16FailureDetail(detail, r.badAt);
    return qvoCellOutcome::ConversionError;
  }
  const std::size_t available = r.total < limitUnits ? r.total : limitUnits;
  if (!write) {
    *length = static_cast<SQLLEN>(2 * available);
    return target != nullptr && r.total > 0 ? qvoCellOutcome::Truncated : qvoCellOutcome::Ok;
  }
  std::size_t n = r.written;
  if (n < r.total && whole > 0 && n == static_cast<std::size_t>(whole) + 1)
    n = static_cast<std::size_t>(whole);
  target[2 * n] = 0;
  target[2 * n + 1] = 0;
  *length = static_cast<SQLLEN>(2 * (roomUnits < available ? available : r.written));
  return r.written < r.total ? qvoCellOutcome::Truncated : qvoCellOutcome::Ok;
}

// Character data copied as it is (an ASCII column, or UTF-8 into a UTF-8
// code set) into a narrow target: at most limit bytes of the len bytes
// (maxLength; SIZE_MAX for none) and the room of the buffer, a UTF-8 text cut
// on a character boundary, terminated. The length slot gets the length up to
// the limit when the buffer cut it, else what was copied; 01004 when anything
// was left out.
inline qvoCellOutcome qvoPlaceBytes(const char* bytes, std::size_t len, bool utf8,
                                    std::size_t limit, char* target, SQLLEN bufferLength,
                                    SQLLEN* length) {
  const std::size_t available = len < limit ? len : limit;
  if (target == nullptr) {
    *length = static_cast<SQLLEN>(available);
    return qvoCellOutcome::Ok;
  }
  if (bufferLength < 0) return qvoCellOutcome::InvalidBufferLength;
  if (bufferLength == 0) {
    *length = static_cast<SQLLEN>(available);
    return len ? qvoCellOutcome::Truncated : qvoCellOutcome::Ok;
  }
  const auto room = static_cast<std::size_t>(bufferLength - 1);
  const std::size_t most = room < limit ? room : limit;
  const std::size_t n = len <= most ? len : utf8 ? Unicode::Utf8CutLength(bytes, len, most) : most;
  std::memcpy(target, bytes, n);
  target[n] = 0;
  *length = static_cast<SQLLEN>(room < available ? available : n);
  return n < len ? qvoCellOutcome::Truncated : qvoCellOutcome::Ok;
}
