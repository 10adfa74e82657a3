#include "fetch/qvoValueText.h"

#include <strings.h>

#include <cstdio>

#include "platform/qvoConverter.h"
#include "statement/qvoStatement.h"

namespace {

template <class T>
T Clamp(T v, T lo, T hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

bool IsHostUtf16(const char* codepage) { return strcasecmp(codepage, QVO_UTF16_CODEPAGE) == 0; }

}  // namespace

qvoTextSettings qvoReadTextSettings(const qvoColumnJob& job) {
  qvoTextSettings s;
  s.qvoType = job.qvoType;
  SQLINTEGER width = job.valueWidth;
  if (const __cliDescriptorRecords* ird = job.ird) {
    if (width == 0) width = ird->qvoTypeLen;
    s.scale = ird->scale;
    s.timestampPrecision = Clamp<SQLINTEGER>(ird->precision, 0, kQvoMaxTimestampPrecision);
    s.utf8Column = (ird->charAttr & 0x10) != 0;
  }
  s.valueWidth = job.qvoType == _DECIMAL && width == 4 ? 4 : 8;
  if (const qvoStatement* stmt = job.stmt) {
    const __statementAttributes& a = stmt->stmtAttr;
    s.floatPrecision = Clamp(a.floatPrecision, kQvoMinFloatPrecision, kQvoMaxFloatPrecision);
    s.externalConversion = a.externalConversion != 0;
    s.decSeparator = stmt->decSeparator;
    s.wordForTrue = a.wordForTrue;
    s.wordForTrueLen = static_cast<int>(strnlen(a.wordForTrue, sizeof a.wordForTrue));
    s.wordForFalse = a.wordForFalse;
    s.wordForFalseLen = static_cast<int>(strnlen(a.wordForFalse, sizeof a.wordForFalse));
    s.maxLength = a.maxLength;
    // UTF-8 text needs the converter only on its way into another code set.
    iconverter* conv = stmt->GetDataConverter();
    if (s.utf8Column && conv && !conv->ConversionDeactivated()) s.converter = conv;
    // Only a UTF-16 target asks which code page its converter has.
    iconverter* wide = job.cType == QVO_WCHAR_UTF16 ? stmt->GetWcharDataConverter() : nullptr;
    if (wide && wide->GetCharSize() == 2 && !IsHostUtf16(wide->GetCurrentCodepage()))
      s.wideConverter = wide;
  }
  return s;
}

bool qvoRenderValue(const qvoTextSettings& s, const char* value, char* scratch, qvoText* text) {
  switch (s.qvoType) {
    case _BOOLEAN:
      *text = qvoBooleanText::Render(s, value, scratch);
      return true;
    case _SMALLDECIMAL:
      *text = qvoSmallDecimalText::Render(s, value, scratch);
      return true;
    case _DECIMAL:
      *text = qvoDecimalText::Render(s, value, scratch);
      return true;
    case _BIGDECIMAL:
      *text = qvoBigDecimalText::Render(s, value, scratch);
      return true;
    case _DOUBLE:
      *text = qvoDoubleText::Render(s, value, scratch);
      return true;
    case _DATE:
      *text = qvoDateText::Render(s, value, scratch);
      return true;
    case _TIMESTAMP:
    case _TIMESTAMP_UTC:
      *text = qvoTimestampText::Render(s, value, scratch);
      return true;
    default:
      return false;
  }
}

void qvoUtf16FailureDetail(char* detail, std::size_t at) {
  if (detail == nullptr) return;
  std::snprintf(detail, sizeof qvoColumnJob::detail,
                "Cannot convert from UTF-8 to %s: invalid or unconvertible character at byte %zu.",
                QVO_UTF16_CODEPAGE, at);
}
