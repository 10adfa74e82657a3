#include "messages/qvoInternationalisation.h"

#include <sql.h>
#include <strings.h>

#include <cstring>
#include <iterator>

#include "common/qvoStrings.h"

namespace {

constexpr qvoCatalogueEntry kCatalogue[] = {
#define QVO_MESSAGE(name, sqlState, english, german) {#name, sqlState, {english, german, ""}},
#define QVO_FORMAT_MESSAGE QVO_MESSAGE
#define QVO_PASS_THROUGH_MESSAGE QVO_MESSAGE
#include "messages/qvoCatalogueEntries.inc"
};
static_assert(std::size(kCatalogue) == 349, "the catalogue has 349 entries");

// Position of each entry in kCatalogue, by operation name.
enum qvoCatalogueIndex : int {
#define QVO_MESSAGE(name, ...) kIndex##name,
#define QVO_FORMAT_MESSAGE QVO_MESSAGE
#define QVO_PASS_THROUGH_MESSAGE QVO_MESSAGE
#include "messages/qvoCatalogueEntries.inc"
};

constexpr int kCodeSize = static_cast<int>(QVO_SQLSTATE_BUFFER_SIZE);
constexpr int kTextSize = static_cast<int>(QVO_MESSAGE_BUFFER_SIZE);

struct LocalePrefix {
  const char* prefix;
  int langCode;
};

// First match wins; only the prefix of the locale name counts.
constexpr LocalePrefix kLocalePrefixes[] = {
    {"de", QVO_LANG_GERMAN},
    {"ger", QVO_LANG_GERMAN},
    {"jp", QVO_LANG_THIRD},
};

}  // namespace

std::span<const qvoCatalogueEntry> qvoCatalogueTable() { return kCatalogue; }

Internationalisation::Internationalisation() = default;
Internationalisation::~Internationalisation() = default;

int Internationalisation::GetLangCode(const char* localeStr) {
  qvoMutex guard(interCS);
  if (localeStr == nullptr) return QVO_LANG_ENGLISH;
  for (const auto& p : kLocalePrefixes) {
    // strncasecmp stops at the end of a shorter name, so "d" never matches "de".
    if (strncasecmp(localeStr, p.prefix, std::strlen(p.prefix)) == 0) return p.langCode;
  }
  return QVO_LANG_ENGLISH;
}

int Internationalisation::Copy(const qvoCatalogueEntry& entry, int langCode, char* codeBuffer,
                               char* buffer) {
  qvoMutex guard(interCS);
  // Copies with the terminator, cut to 5 and 1199 bytes.
  if (codeBuffer != nullptr) qvoCopyStr(codeBuffer, entry.sqlState, SQL_NTS, kCodeSize, SQL_NTS);
  if (buffer != nullptr) {
    const char* text = entry.text[QVO_LANG_ENGLISH];
    if (langCode == QVO_LANG_GERMAN || langCode == QVO_LANG_THIRD) {
      if (*entry.text[langCode] != '\0') text = entry.text[langCode];
    }
    qvoCopyStr(buffer, text, SQL_NTS, kTextSize, SQL_NTS);
  }
  return 0;
}

#define QVO_MESSAGE(name, ...)                                                   \
  int Internationalisation::name(int langCode, char* codeBuffer, char* buffer) { \
    return Copy(kCatalogue[kIndex##name], langCode, codeBuffer, buffer);         \
  }
#define QVO_FORMAT_MESSAGE QVO_MESSAGE
#define QVO_PASS_THROUGH_MESSAGE QVO_MESSAGE
#include "messages/qvoCatalogueEntries.inc"

Internationalisation& qvoMessages() {
  static Internationalisation catalogue;
  return catalogue;
}

Internationalisation& messages = qvoMessages();
