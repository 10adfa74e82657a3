// The message catalogue: every diagnostic the library can raise, with its
// SQLSTATE and its text in English and German.
//
// Code that records a diagnostic goes through the Translator of its handle
// (messages/qvoTranslator.h); only the handle constructors talk to the
// catalogue directly, to turn the LC_CTYPE locale into a language code.
#pragma once

#include <cstddef>
#include <span>

#include "platform/qvoCriticalSection.h"

// Language codes. Any other value reads as English.
inline constexpr int QVO_LANG_ENGLISH = 0;
inline constexpr int QVO_LANG_GERMAN = 1;
inline constexpr int QVO_LANG_THIRD = 2;  // slot without texts of its own: yields English

// Sizes the entry operations copy into: the SQLSTATE with its terminator, and
// the text with its terminator.
inline constexpr std::size_t QVO_SQLSTATE_BUFFER_SIZE = 6;
inline constexpr std::size_t QVO_MESSAGE_BUFFER_SIZE = 1200;

// One diagnostic of the catalogue. All texts are constant UTF-8; the third
// language text is empty in every entry.
struct qvoCatalogueEntry {
  const char* name;      // operation name, e.g. "_Invalid_use_of_null_pointer_"
  const char* sqlState;  // five characters, or the format "%s" of the pass-through entry
  const char* text[3];   // indexed by language code: English, German, third slot
};

// The whole catalogue in declaration order (349 entries).
std::span<const qvoCatalogueEntry> qvoCatalogueTable();

class Internationalisation {
 public:
  Internationalisation();
  ~Internationalisation();
  Internationalisation(const Internationalisation&) = delete;
  Internationalisation& operator=(const Internationalisation&) = delete;

  // Language code for a locale name (LC_CTYPE); null means English.
  int GetLangCode(const char* localeStr);

  // One operation per entry, named after it. Each copies the SQLSTATE into
  // codeBuffer (at least 6 bytes) and the text in language langCode into
  // buffer (at least 1200 bytes), both cut and terminated; a null buffer is
  // skipped. Always returns 0.
#define QVO_MESSAGE(name, ...) int name(int langCode, char* codeBuffer, char* buffer);
#define QVO_FORMAT_MESSAGE QVO_MESSAGE
#define QVO_PASS_THROUGH_MESSAGE QVO_MESSAGE
#include "messages/qvoCatalogueEntries.inc"

 private:
  int Copy(const qvoCatalogueEntry& entry, int langCode, char* codeBuffer, char* buffer);

  qvoCriticalSection interCS;  // innermost lock of the library
};

// The process-wide catalogue. It is built on the first call, so the start-up
// code can construct it at its place among the other load-time objects by
// calling qvoMessages() there; it is destroyed at exit like any static.
Internationalisation& qvoMessages();

// Short name for the catalogue once the library is loaded. Code that runs
// during load-time initialisation must call qvoMessages() instead, because
// this reference is itself bound during that phase.
extern Internationalisation& messages;
