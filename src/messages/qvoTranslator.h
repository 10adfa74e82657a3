// Per-handle access to the message catalogue in the handle's language.
//
// For every catalogue entry `_Name_` there is `_Name_CODE()`, yielding its
// SQLSTATE, and `_Name_MESSAGE()`, yielding its text. Results point into the
// Translator's own buffers and stay valid until the next call of the same kind
// on the same Translator; callers copy them at once (SetDiagRec does).
#pragma once

#include <cstddef>

#include "messages/qvoInternationalisation.h"

class Translator {
 public:
  explicit Translator(int language);
  ~Translator() = default;
  Translator(const Translator&) = delete;
  Translator& operator=(const Translator&) = delete;

  int GetLangCode() const { return lang; }

#define QVO_MESSAGE(name, ...) \
  char* name##CODE();          \
  char* name##MESSAGE();
#define QVO_FORMAT_MESSAGE(name, ...) char* name##CODE();
#define QVO_PASS_THROUGH_MESSAGE(name, ...)
#include "messages/qvoCatalogueEntries.inc"

  // Entries whose text is a format: the arguments fill its placeholders in
  // order; the result is cut to 1199 bytes and terminated.
  char* _ODBC_option_is_not_implemented_in_Cli_MESSAGE(int option);
  char* _Socket_read_timeouted_after_seconds_MESSAGE(int seconds);
  char* _Trying_to_set_an_unknown_connection_attribute_Attribute_type_MESSAGE(int type);
  char* _Trying_to_read_an_unknown_connection_attribute_Attribute_type_MESSAGE(int type);
  char* _Illegal_character_in_cluster_description_at_position_MESSAGE(unsigned char c, int i);
  char* _Conversion_from_type_QVO_to_type_C_not_supported_MESSAGE(const char* qvoTypeName,
                                                                  const char* cTypeName);
  char* _Characterset_conversion_error_MESSAGE(const char* iconvMsg, int col, int offset,
                                               const char* codesetName);
  char* _Error_filling_prepared_data_MESSAGE(int errorCol, int errorOffset);
  char* _Read_system_error_on_Windows_MESSAGE(const char* lastErrorBuffer);
  char* _Socket_read_error_MESSAGE(const char* errorMsg);
  char* _Failed_to_resolve_hostname_MESSAGE(const char* hostname);

  // A diagnostic passed on from the server: its own SQLSTATE (cut to 29
  // bytes) and its own text.
  char* _Read_error_from_server_CODE(const char* sqlState);
  char* _Read_error_from_server_MESSAGE(const char* errorMsg);

 private:
  using Entry = int (Internationalisation::*)(int, char*, char*);

  char* Code(Entry entry);
  char* Message(Entry entry);
  template <class... Args>
  char* FormatMessage(Entry entry, Args... args);

  int lang;
  char code[30];
  char buffer[QVO_MESSAGE_BUFFER_SIZE];
};
