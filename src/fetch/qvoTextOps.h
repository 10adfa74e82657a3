// Conversion operations of the character, binary and UTF-16 targets: one
// per (target family, server type), built once per column from the job and
// then called per non-NULL value by RunColumn (or by single-value retrieval
// on one value).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "fetch/qvoConversionCell.h"
#include "fetch/qvoValueText.h"
#include "platform/qvoConverter.h"
#include "protocol/qvoValueLayout.h"

// UTF-16 target through a wide data converter of 2-byte units: as
// qvoPlaceWide, with the converter's cuts (whole characters) and lengths;
// limitBytes (maxLength) limits the bytes delivered. A converter failure is
// ConversionError with the converter's reason in detail.
inline qvoCellOutcome qvoPlaceWideConverted(iconverter& conv, const char* text, int len, int whole,
                                            char* target, SQLLEN bufferLength, SQLLEN* length,
                                            char* detail, std::size_t limitBytes = SIZE_MAX) {
  auto failed = [&] {
    std::snprintf(detail, sizeof qvoColumnJob::detail, "%s", conv.GetErrorMessage());
    return qvoCellOutcome::ConversionError;
  };
  auto limited = [&](int n) {
    return static_cast<SQLLEN>(static_cast<std::size_t>(n) < limitBytes ? n : limitBytes);
  };
  if (target != nullptr && bufferLength < 0) return qvoCellOutcome::InvalidBufferLength;
  if (target == nullptr || bufferLength < 2) {
    if (target != nullptr && bufferLength == 1 && whole > 0) return qvoCellOutcome::OutOfRange;
    const int total = conv.FromCodesetLenHeld(text, len);
    if (total < 0) return failed();
    *length = limited(total);
    return target != nullptr && total > 0 ? qvoCellOutcome::Truncated : qvoCellOutcome::Ok;
  }
  const std::size_t room = static_cast<std::size_t>(bufferLength - 2) / 2 * 2;
  const std::size_t most = room < limitBytes ? room : limitBytes / 2 * 2;
  // Rendered numbers are ASCII: one unit per character.
  if (whole > 0 && 2 * static_cast<std::size_t>(len) > most &&
      most < 2 * static_cast<std::size_t>(whole))
    return qvoCellOutcome::OutOfRange;
  int n = conv.FromCodesetHeld(text, len, target,
                               most < INT32_MAX ? static_cast<int>(most) : INT32_MAX);
  if (n < 0) return failed();
  n &= ~1;
  const bool cut = conv.bufferFull;
  if (cut && whole > 0 && n == 2 * (whole + 1)) n = 2 * whole;
  target[n] = 0;
  target[n + 1] = 0;
  if (!cut) {
    *length = n;
    return qvoCellOutcome::Ok;
  }
  SQLLEN reported = n;
  if (room < limitBytes) {
    const int total = conv.FromCodesetLenHeld(text, len);
    if (total >= 0) reported = limited(total);
  }
  *length = reported;
  return qvoCellOutcome::Truncated;
}

// The converter's lock for the whole column (none without a converter), so
// that no value takes it on its own.
inline std::unique_lock<std::mutex> qvoHoldConverter(iconverter* conv) {
  return conv ? conv->Hold() : std::unique_lock<std::mutex>();
}

// A non-character value as narrow text (SQL_C_CHAR, SQL_C_BINARY, 429).
template <class Text>
struct qvoNarrowTextOp {
  explicit qvoNarrowTextOp(qvoColumnJob& job)
      : settings(qvoTextSettingsOf(job)), bufferLength(job.bufferLength) {}
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) {
    return qvoPlaceNarrow(Text::Render(settings, value, scratch), target, bufferLength, length);
  }
  qvoTextSettings settings;
  SQLLEN bufferLength;
  char scratch[kQvoTextScratch];
};

// A non-character value as UTF-16 text (430). A double is always "%.*G"
// text here: external conversion applies to the decimals only.
template <class Text>
struct qvoWideTextOp {
  explicit qvoWideTextOp(qvoColumnJob& job)
      : settings(qvoTextSettingsOf(job)),
        bufferLength(job.bufferLength),
        detail(job.detail),
        hold(qvoHoldConverter(settings.wideConverter)) {
    if constexpr (std::is_same_v<Text, qvoDoubleText>) settings.externalConversion = false;
  }
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) {
    const qvoText t = Text::Render(settings, value, scratch);
    if (t.length < 0) return qvoCellOutcome::OutOfRange;
    if (settings.wideConverter)
      return qvoPlaceWideConverted(*settings.wideConverter, t.data, t.length, t.whole, target,
                                   bufferLength, length, detail);
    return qvoPlaceWide(t.data, static_cast<std::size_t>(t.length), t.whole, target, bufferLength,
                        length, detail);
  }
  qvoTextSettings settings;
  SQLLEN bufferLength;
  char* detail;
  std::unique_lock<std::mutex> hold;
  char scratch[kQvoTextScratch];
};

// The bytes of a _CHAR or _VARCHAR value: a 32-bit length, then the text.
inline std::size_t qvoCharacterLength(const char* value) {
  const qvo_int32 n = DecodeTextValue(value).length;
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// _CHAR and _VARCHAR into a narrow target. ASCII columns, and UTF-8 columns
// when the application's code set is UTF-8, are copied; other UTF-8 columns
// go through the statement's data converter. maxLength limits the bytes
// delivered.
struct qvoNarrowCharacterOp {
  explicit qvoNarrowCharacterOp(qvoColumnJob& job)
      : settings(qvoTextSettingsOf(job)),
        bufferLength(job.bufferLength),
        limit(settings.maxLength ? settings.maxLength : SIZE_MAX),
        detail(job.detail),
        hold(qvoHoldConverter(settings.converter)) {}

  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) {
    const char* text = DecodeTextValue(value).bytes;
    const std::size_t n = qvoCharacterLength(value);
    if (settings.converter == nullptr)
      return qvoPlaceBytes(text, n, settings.utf8Column, limit, target, bufferLength, length);
    return Convert(text, static_cast<int>(n), target, length);
  }

  qvoCellOutcome Convert(const char* text, int n, char* target, SQLLEN* length) {
    iconverter& conv = *settings.converter;
    if (target == nullptr || bufferLength == 0) {
      const int total = conv.FromCodesetLenHeld(text, n);
      if (total < 0) return Failed(conv);
      *length = static_cast<SQLLEN>(Limited(static_cast<std::size_t>(total)));
      return target != nullptr && total > 0 ? qvoCellOutcome::Truncated : qvoCellOutcome::Ok;
    }
    if (bufferLength < 0) return qvoCellOutcome::InvalidBufferLength;
    const auto room = static_cast<std::size_t>(bufferLength - 1);
    const std::size_t most = room < limit ? room : limit;
    const int written = conv.FromCodesetHeld(text, n, target,
                                             most < INT32_MAX ? static_cast<int>(most) : INT32_MAX);
    if (written < 0) return Failed(conv);
    target[written] = 0;
    if (!conv.bufferFull) {
      *length = written;
      return qvoCellOutcome::Ok;
    }
    // Cut: the full length is worth a second pass when the buffer, not
    // maxLength, was the limit, so that the caller can size its next buffer.
    SQLLEN reported = written;
    if (room < limit) {
      const int total = conv.FromCodesetLenHeld(text, n);
      if (total >= 0) reported = static_cast<SQLLEN>(Limited(static_cast<std::size_t>(total)));
    }
    *length = reported;
    return qvoCellOutcome::Truncated;
  }

  std::size_t Limited(std::size_t n) const { return n < limit ? n : limit; }
  qvoCellOutcome Failed(const iconverter& conv) {
    std::snprintf(detail, sizeof qvoColumnJob::detail, "%s", conv.GetErrorMessage());
    return qvoCellOutcome::ConversionError;
  }

  qvoTextSettings settings;
  SQLLEN bufferLength;
  std::size_t limit;
  char* detail;
  std::unique_lock<std::mutex> hold;
};

// _CHAR and _VARCHAR into a UTF-16 target: the text is taken as UTF-8 and
// converted without a converter call (or by the wide data converter when it
// has another code page); maxLength limits the bytes delivered.
struct qvoWideCharacterOp {
  explicit qvoWideCharacterOp(qvoColumnJob& job)
      : bufferLength(job.bufferLength), detail(job.detail) {
    const qvoTextSettings s = qvoTextSettingsOf(job);
    limitUnits = s.maxLength ? s.maxLength / 2 : SIZE_MAX;
    converter = s.wideConverter;
    hold = qvoHoldConverter(converter);
  }
  qvoCellOutcome operator()(const char* value, char* target, SQLLEN* length) {
    const char* text = DecodeTextValue(value).bytes;
    const std::size_t n = qvoCharacterLength(value);
    if (converter)
      return qvoPlaceWideConverted(*converter, text, static_cast<int>(n), 0, target, bufferLength,
                                   length, detail,
                                   limitUnits == SIZE_MAX ? SIZE_MAX : 2 * limitUnits);
    return qvoPlaceWide(text, n, 0, target, bufferLength, length, detail, limitUnits);
  }
  SQLLEN bufferLength;
  char* detail;
  std::size_t limitUnits;
  iconverter* converter;
  std::unique_lock<std::mutex> hold;
};
