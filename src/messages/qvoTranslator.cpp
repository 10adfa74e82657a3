#include "messages/qvoTranslator.h"

#include <cstdio>
#include <type_traits>

namespace {

// A null text argument prints as empty text instead of taking the process down.
const char* Arg(const char* s) { return s != nullptr ? s : ""; }
int Arg(int v) { return v; }

}  // namespace

Translator::Translator(int language) : lang(language) {}

qvoTranslatedCode Translator::Code(Entry entry) const {
  qvoTranslatedCode code;
  (qvoMessages().*entry)(GetLangCode(), code.data(), nullptr);
  return code;
}

qvoTranslatedMessage Translator::Message(Entry entry) const {
  qvoTranslatedMessage text;
  (qvoMessages().*entry)(GetLangCode(), nullptr, text.data());
  return text;
}

template <class... Args>
qvoTranslatedMessage Translator::FormatMessage(Entry entry, Args... args) const {
  char format[QVO_MESSAGE_BUFFER_SIZE];
  (qvoMessages().*entry)(GetLangCode(), nullptr, format);
  qvoTranslatedMessage text;
  // The format is a constant of the catalogue, never outside text.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  std::snprintf(text.data(), qvoTranslatedMessage::kSize, format, Arg(args)...);
#pragma GCC diagnostic pop
  return text;
}

#define QVO_MESSAGE(name, ...)                                                                   \
  qvoTranslatedCode Translator::name##CODE() const { return Code(&Internationalisation::name); } \
  qvoTranslatedMessage Translator::name##MESSAGE() const {                                       \
    return Message(&Internationalisation::name);                                                 \
  }
#define QVO_FORMAT_MESSAGE(name, ...)                                                            \
  qvoTranslatedCode Translator::name##CODE() const { return Code(&Internationalisation::name); } \
  static_assert(std::is_member_function_pointer_v<decltype(&Translator::name##MESSAGE)>,         \
                "every format entry has its formatting MESSAGE operation");
#define QVO_PASS_THROUGH_MESSAGE(name, ...)                                                  \
  static_assert(std::is_member_function_pointer_v<decltype(&Translator::name##CODE)> &&      \
                    std::is_member_function_pointer_v<decltype(&Translator::name##MESSAGE)>, \
                "the pass-through entry formats both its SQLSTATE and its text");
#include "messages/qvoCatalogueEntries.inc"

qvoTranslatedMessage Translator::_ODBC_option_is_not_implemented_in_Cli_MESSAGE(int option) const {
  return FormatMessage(&Internationalisation::_ODBC_option_is_not_implemented_in_Cli_, option);
}

qvoTranslatedMessage Translator::_Socket_read_timeouted_after_seconds_MESSAGE(int seconds) const {
  return FormatMessage(&Internationalisation::_Socket_read_timeouted_after_seconds_, seconds);
}

qvoTranslatedMessage
Translator::_Trying_to_set_an_unknown_connection_attribute_Attribute_type_MESSAGE(int type) const {
  return FormatMessage(
      &Internationalisation::_Trying_to_set_an_unknown_connection_attribute_Attribute_type_, type);
}

qvoTranslatedMessage
Translator::_Trying_to_read_an_unknown_connection_attribute_Attribute_type_MESSAGE(int type) const {
  return FormatMessage(
      &Internationalisation::_Trying_to_read_an_unknown_connection_attribute_Attribute_type_, type);
}

qvoTranslatedMessage Translator::_Illegal_character_in_cluster_description_at_position_MESSAGE(
    unsigned char c, int i) const {
  // The character is printed as its number, 0 to 255.
  return FormatMessage(
      &Internationalisation::_Illegal_character_in_cluster_description_at_position_,
      static_cast<int>(c), i);
}

qvoTranslatedMessage Translator::_Conversion_from_type_QVO_to_type_C_not_supported_MESSAGE(
    const char* qvoTypeName, const char* cTypeName) const {
  return FormatMessage(&Internationalisation::_Conversion_from_type_QVO_to_type_C_not_supported_,
                       qvoTypeName, cTypeName);
}

qvoTranslatedMessage Translator::_Characterset_conversion_error_MESSAGE(
    const char* iconvMsg, int col, int offset, const char* codesetName) const {
  return FormatMessage(&Internationalisation::_Characterset_conversion_error_, iconvMsg, col,
                       offset, codesetName);
}

qvoTranslatedMessage Translator::_Error_filling_prepared_data_MESSAGE(int errorCol,
                                                                      int errorOffset) const {
  return FormatMessage(&Internationalisation::_Error_filling_prepared_data_, errorCol, errorOffset);
}

qvoTranslatedMessage Translator::_Read_system_error_on_Windows_MESSAGE(
    const char* lastErrorBuffer) const {
  return FormatMessage(&Internationalisation::_Read_system_error_on_Windows_, lastErrorBuffer);
}

qvoTranslatedMessage Translator::_Socket_read_error_MESSAGE(const char* errorMsg) const {
  return FormatMessage(&Internationalisation::_Socket_read_error_, errorMsg);
}

qvoTranslatedMessage Translator::_Failed_to_resolve_hostname_MESSAGE(const char* hostname) const {
  return FormatMessage(&Internationalisation::_Failed_to_resolve_hostname_, hostname);
}

qvoTranslatedCode Translator::_Read_error_from_server_CODE(const char* sqlState) const {
  char format[QVO_SQLSTATE_BUFFER_SIZE];
  qvoMessages()._Read_error_from_server_(GetLangCode(), format, nullptr);
  qvoTranslatedCode code;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  std::snprintf(code.data(), qvoTranslatedCode::kSize, format, Arg(sqlState));
#pragma GCC diagnostic pop
  return code;
}

qvoTranslatedMessage Translator::_Read_error_from_server_MESSAGE(const char* errorMsg) const {
  return FormatMessage(&Internationalisation::_Read_error_from_server_, errorMsg);
}
