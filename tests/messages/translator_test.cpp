#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "messages/qvoTranslator.h"

namespace {

TEST(Translator, FormatsEntriesInTheHandlesLanguage) {
  struct Case {
    int lang;
    std::function<std::string(const Translator&)> call;
    const char* expected;
  } cases[] = {
      {0, [](const Translator& t) { return std::string(t._Invalid_use_of_null_pointer_MESSAGE()); },
       "Invalid use of null pointer."},
      {1, [](const Translator& t) { return std::string(t._Invalid_use_of_null_pointer_MESSAGE()); },
       "Unzul\xC3\xA4ssige Benutzung von NULL-Zeigern."},
      {2, [](const Translator& t) { return std::string(t._Invalid_use_of_null_pointer_MESSAGE()); },
       "Invalid use of null pointer."},
      {1,
       [](const Translator& t) {
         return std::string(t._Limit_on_the_number_of_handles_exceeded_CODE());
       },
       "HY014"},
      {1, [](const Translator& t) { return std::string(t._Timeout_expired_MESSAGE()); },
       "Zeit\xC3\xBC"
       "berschreitung."},
      {0,
       [](const Translator& t) {
         return std::string(t._Socket_read_timeouted_after_seconds_MESSAGE(30));
       },
       "Socket read has run into timeout after 30 seconds."},
      {1,
       [](const Translator& t) {
         return std::string(t._Socket_read_timeouted_after_seconds_MESSAGE(30));
       },
       "Socket lesen abgebrochen nach einem 30 Sekunden Timeout."},
      {2,
       [](const Translator& t) {
         return std::string(t._Socket_read_timeouted_after_seconds_MESSAGE(30));
       },
       "Socket read has run into timeout after 30 seconds."},
      {0,
       [](const Translator& t) {
         return std::string(
             t._Illegal_character_in_cluster_description_at_position_MESSAGE(200, 7));
       },
       "Illegal character (200) in connection string at position 7."},
      {0,
       [](const Translator& t) {
         return std::string(
             t._Conversion_from_type_QVO_to_type_C_not_supported_MESSAGE("DATE", "SQL_C_BIT"));
       },
       "Conversion from Vandrel-Type DATE to C-Type SQL_C_BIT not supported."},
      {1,
       [](const Translator& t) {
         return std::string(
             t._Characterset_conversion_error_MESSAGE("bad byte", 3, 17, "ISO-8859-1"));
       },
       "Zeichensatz-Konvertierungsfehler oder der Ausgabepuffer war zu klein: bad byte Spalte "
       "3, Cursor Position 17, Codepage ISO-8859-1."},
      {0,
       [](const Translator& t) {
         return std::string(t._Error_filling_prepared_data_MESSAGE(2, -4));
       },
       "Error filling prepared parameter data table at column 2, offset -4."},
      {1,
       [](const Translator& t) {
         return std::string(t._Failed_to_resolve_hostname_MESSAGE("node7"));
       },
       "Aufl\xC3\xB6sung des Hostnamen 'node7' fehlgeschlagen."},
      {0,
       [](const Translator& t) { return std::string(t._Socket_read_error_MESSAGE("Broken pipe")); },
       "Connection lost in socket read attempt. Broken pipe"},
      {0,
       [](const Translator& t) {
         return std::string(t._ODBC_option_is_not_implemented_in_Cli_MESSAGE(1207));
       },
       "ODBC option not implemented in Vandrel-CLI: 1207"},
      {1,
       [](const Translator& t) {
         return std::string(t._Read_error_from_server_MESSAGE("100% kaputt"));
       },
       "100% kaputt"},
      {0, [](const Translator& t) { return std::string(t._Read_error_from_server_CODE("42S02")); },
       "42S02"},
      {0, [](const Translator& t) { return std::string(t._Socket_read_error_MESSAGE(nullptr)); },
       "Connection lost in socket read attempt. "},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Translator t(cases[i].lang);
    EXPECT_EQ(cases[i].call(t), cases[i].expected) << "case " << i;
  }
}

// Every result is a value of its own: a later call, of either kind, leaves
// the text of an earlier one as it was (calls on several threads share a
// Translator).
TEST(Translator, EachResultKeepsItsOwnText) {
  const Translator t(QVO_LANG_GERMAN);
  EXPECT_EQ(t.GetLangCode(), QVO_LANG_GERMAN);
  const qvoTranslatedCode code = t._Invalid_descriptor_index_CODE();
  const qvoTranslatedMessage first = t._Data_truncated_MESSAGE();
  const qvoTranslatedMessage second = t._Nothing_to_fetch_MESSAGE();
  const qvoTranslatedCode later = t._Invalid_rowset_size_CODE();
  const qvoTranslatedMessage formatted = t._Socket_read_error_MESSAGE("Broken pipe");
  const qvoTranslatedCode server = t._Read_error_from_server_CODE("42S02");
  EXPECT_STREQ(code, "07009");
  EXPECT_STREQ(first, "Daten abgeschnitten.");
  EXPECT_STREQ(second, "Nichts zu empfangen.");
  EXPECT_STREQ(later, "ZE005");
  EXPECT_STREQ(formatted, "Verbindung verloren bei dem Versuch, vom Socket zu lesen. Broken pipe");
  EXPECT_STREQ(server, "42S02");
}

TEST(Translator, CutsOverlongResults) {
  const Translator t(QVO_LANG_ENGLISH);
  const std::string state40(40, 'S');
  EXPECT_EQ(std::string(t._Read_error_from_server_CODE(state40.c_str())), std::string(29, 'S'));

  const std::string longText(3000, 'x');
  std::string msg(t._Read_error_from_server_MESSAGE(longText.c_str()));
  EXPECT_EQ(msg, std::string(QVO_MESSAGE_BUFFER_SIZE - 1, 'x'));

  const std::string prefix = "Connection lost in socket read attempt. ";
  msg = t._Socket_read_error_MESSAGE(longText.c_str());
  EXPECT_EQ(msg.size(), QVO_MESSAGE_BUFFER_SIZE - 1);
  EXPECT_EQ(msg.substr(0, prefix.size()), prefix);
}

}  // namespace
