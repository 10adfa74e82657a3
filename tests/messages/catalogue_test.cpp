#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "messages/qvoInternationalisation.h"

namespace {

const qvoCatalogueEntry* Find(std::string_view name) {
  for (const auto& e : qvoCatalogueTable())
    if (name == e.name) return &e;
  return nullptr;
}

// The printf conversions of a text, in order ("%%" included).
std::vector<std::string> Conversions(const char* text) {
  std::vector<std::string> out;
  for (const char* p = std::strchr(text, '%'); p != nullptr; p = std::strchr(p + 2, '%')) {
    out.emplace_back(p, 2);
    if (p[1] == '\0') break;
  }
  return out;
}

TEST(CatalogueTable, HoldsEveryEntryWithSqlstateAndBothLanguages) {
  const auto table = qvoCatalogueTable();
  ASSERT_EQ(table.size(), 349u);
  std::set<std::string_view> names;
  for (const auto& e : table) {
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(names.insert(e.name).second) << "duplicate name";
    if (std::string_view(e.name) == "_Read_error_from_server_") {
      EXPECT_STREQ(e.sqlState, "%s");
    } else {
      EXPECT_EQ(std::strlen(e.sqlState), 5u);
    }
    EXPECT_NE(e.text[QVO_LANG_ENGLISH][0], '\0');
    EXPECT_NE(e.text[QVO_LANG_GERMAN][0], '\0');
    EXPECT_STREQ(e.text[QVO_LANG_THIRD], "");
    // A translation must keep the placeholders the Translator fills in.
    EXPECT_EQ(Conversions(e.text[QVO_LANG_ENGLISH]), Conversions(e.text[QVO_LANG_GERMAN]));
    EXPECT_LT(std::strlen(e.text[QVO_LANG_GERMAN]), QVO_MESSAGE_BUFFER_SIZE);
  }
}

TEST(CatalogueTable, KeepsTextsByteForByte) {
  struct Case {
    const char* name;
    const char* sqlState;
    const char* english;
    const char* german;
  } cases[] = {
      {"_Invalid_use_of_null_pointer_", "HY000", "Invalid use of null pointer.",
       "Unzul\xC3\xA4ssige Benutzung von NULL-Zeigern."},
      {"_Connection_closed_by_server_", "S0100", "Connection closed by server.", nullptr},
      {"_Selected_node_cannot_accept_connections_", "SO011",
       "Selected node cannot accept connections.", nullptr},
      {"_Cannot_read_host_list_form_specified_file_", "0S101",
       "Cannot read host list from specified file.", nullptr},
      {"_Error_getting_more_lines_exec_stmt_", "HY010",
       "Error getting more lines: execute statement.",
       "Fehler beim Einlesen weiterer Zeilen: Execute Statement"},
      {"_Privilege_not_revoked_", "01006", "Privilege not revoked.", "Privileg nicht entzogen. "},
      {"_Error_converting_error_message_", "00000", "Error converting error message. ",
       "Fehler beim Konvertieren der Fehlermeldung. "},
      {"_Read_error_from_server_", "%s", "%s", "%s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const qvoCatalogueEntry* e = Find(c.name);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->sqlState, c.sqlState);
    EXPECT_STREQ(e->text[QVO_LANG_ENGLISH], c.english);
    if (c.german) {
      EXPECT_STREQ(e->text[QVO_LANG_GERMAN], c.german);
    }
  }
  EXPECT_EQ(std::strlen(Find("_Invalid_use_of_null_pointer_")->text[QVO_LANG_GERMAN]), 40u);
  EXPECT_EQ(std::strlen(Find("_Error_converting_error_message_")->text[QVO_LANG_ENGLISH]), 32u);
  EXPECT_STREQ(qvoCatalogueTable().front().name, "_Invalid_use_of_null_pointer_");
  EXPECT_STREQ(qvoCatalogueTable().back().name, "_Error_converting_error_message_");
}

TEST(Catalogue, GetLangCodeLooksAtThePrefixOnly) {
  struct Case {
    const char* locale;
    int expected;
  } cases[] = {
      {nullptr, 0},       {"", 0},       {"d", 0},     {"C", 0},     {"POSIX", 0},
      {"en_US.UTF-8", 0}, {"de", 1},     {"DE", 1},    {"De_at", 1}, {"de_DE.ISO8859-1", 1},
      {"ger", 1},         {"GERMAN", 1}, {"gEr_x", 1}, {"ge", 0},    {"geo_GE", 0},
      {"g", 0},           {"jp", 2},     {"JP_jp", 2}, {"jP", 2},    {"ja_JP.UTF-8", 0},
      {"j", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(messages.GetLangCode(c.locale), c.expected) << (c.locale ? c.locale : "(null)");
}

TEST(Catalogue, EntryOperationChoosesLanguageAndFillsBuffersIndependently) {
  const char* english = "Invalid use of null pointer.";
  const char* german = "Unzul\xC3\xA4ssige Benutzung von NULL-Zeigern.";
  struct Case {
    int lang;
    const char* expected;
  } cases[] = {{0, english}, {1, german}, {2, english}, {3, english}, {-1, english}};
  for (const auto& c : cases) {
    char code[QVO_SQLSTATE_BUFFER_SIZE];
    char text[QVO_MESSAGE_BUFFER_SIZE];
    EXPECT_EQ(messages._Invalid_use_of_null_pointer_(c.lang, code, text), 0);
    EXPECT_STREQ(code, "HY000");
    EXPECT_STREQ(text, c.expected) << "language " << c.lang;
  }

  // Only the buffer that is given is written.
  char code[QVO_SQLSTATE_BUFFER_SIZE] = "zzzzz";
  char text[QVO_MESSAGE_BUFFER_SIZE] = "untouched";
  EXPECT_EQ(messages._Socket_read_timeouted_after_seconds_(0, nullptr, text), 0);
  EXPECT_STREQ(text, "Socket read has run into timeout after %i seconds.");  // not formatted
  EXPECT_EQ(messages._Connection_closed_by_server_(1, code, nullptr), 0);
  EXPECT_STREQ(code, "S0100");
  EXPECT_EQ(messages._Read_error_from_server_(1, code, nullptr), 0);
  EXPECT_STREQ(code, "%s");
  EXPECT_EQ(messages._Connection_closed_by_server_(0, nullptr, nullptr), 0);
  EXPECT_STREQ(text, "Socket read has run into timeout after %i seconds.");
  EXPECT_EQ(&messages, &qvoMessages());
}

}  // namespace
