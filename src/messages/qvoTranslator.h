// Per-handle access to the message catalogue in the handle's language.
//
// For every catalogue entry `_Name_` there is `_Name_CODE()`, yielding its
// SQLSTATE, and `_Name_MESSAGE()`, yielding its text. Each result is a value
// of its own, never a buffer of the Translator: several threads may raise
// records through one Translator at once (calls on one connection, a
// statement and its automatic descriptors) and each keeps its own text.
#pragma once

#include <cstddef>

#include "messages/qvoInternationalisation.h"

// A text formatted for one call, in storage of its own. It reads as a
// terminated const char* while it lives: a result used as an argument lives
// to the end of the full expression, long enough for SetDiagRec to copy it.
// Keep the value, not the pointer, when the text is needed later.
template <std::size_t N>
class qvoTranslatedText {
 public:
  static constexpr std::size_t kSize = N;
  qvoTranslatedText() { text[0] = '\0'; }
  operator const char*() const { return text; }
  const char* c_str() const { return text; }
  char* data() { return text; }

 private:
  char text[N];
};

// An SQLSTATE (a server's may be up to 29 bytes) and a message text.
using qvoTranslatedCode = qvoTranslatedText<30>;
using qvoTranslatedMessage = qvoTranslatedText<QVO_MESSAGE_BUFFER_SIZE>;

class Translator {
 public:
  explicit Translator(int language);
  ~Translator() = default;
  Translator(const Translator&) = delete;
  Translator& operator=(const Translator&) = delete;

  int GetLangCode() const { return lang; }

  // An entry's two operations, for tables that choose a diagnostic.
  using CodeOperation = qvoTranslatedCode (Translator::*)() const;
  using MessageOperation = qvoTranslatedMessage (Translator::*)() const;

#define QVO_MESSAGE(name, ...)          \
  qvoTranslatedCode name##CODE() const; \
  qvoTranslatedMessage name##MESSAGE() const;
#define QVO_FORMAT_MESSAGE(name, ...) qvoTranslatedCode name##CODE() const;
#define QVO_PASS_THROUGH_MESSAGE(name, ...)
#include "messages/qvoCatalogueEntries.inc"

  // Entries whose text is a format: the arguments fill its placeholders in
  // order; the result is cut to 1199 bytes and terminated.
  qvoTranslatedMessage _ODBC_option_is_not_implemented_in_Cli_MESSAGE(int option) const;
  qvoTranslatedMessage _Socket_read_timeouted_after_seconds_MESSAGE(int seconds) const;
  qvoTranslatedMessage _Trying_to_set_an_unknown_connection_attribute_Attribute_type_MESSAGE(
      int type) const;
  qvoTranslatedMessage _Trying_to_read_an_unknown_connection_attribute_Attribute_type_MESSAGE(
      int type) const;
  qvoTranslatedMessage _Illegal_character_in_cluster_description_at_position_MESSAGE(
      unsigned char c, int i) const;
  qvoTranslatedMessage _Conversion_from_type_QVO_to_type_C_not_supported_MESSAGE(
      const char* qvoTypeName, const char* cTypeName) const;
  qvoTranslatedMessage _Characterset_conversion_error_MESSAGE(const char* iconvMsg, int col,
                                                              int offset,
                                                              const char* codesetName) const;
  qvoTranslatedMessage _Error_filling_prepared_data_MESSAGE(int errorCol, int errorOffset) const;
  qvoTranslatedMessage _Read_system_error_on_Windows_MESSAGE(const char* lastErrorBuffer) const;
  qvoTranslatedMessage _Socket_read_error_MESSAGE(const char* errorMsg) const;
  qvoTranslatedMessage _Failed_to_resolve_hostname_MESSAGE(const char* hostname) const;

  // A diagnostic passed on from the server: its own SQLSTATE (cut to 29
  // bytes) and its own text.
  qvoTranslatedCode _Read_error_from_server_CODE(const char* sqlState) const;
  qvoTranslatedMessage _Read_error_from_server_MESSAGE(const char* errorMsg) const;

 private:
  using Entry = int (Internationalisation::*)(int, char*, char*);

  qvoTranslatedCode Code(Entry entry) const;
  qvoTranslatedMessage Message(Entry entry) const;
  template <class... Args>
  qvoTranslatedMessage FormatMessage(Entry entry, Args... args) const;

  int lang;
};
