#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "handles/qvoDiagnostics.h"
#include "handles/qvoEnvironment.h"

namespace {

constexpr char kPrefix[] = "[OSTRANA][Vandrel driver]";

std::string Message(qvoHandle& h, SQLSMALLINT rec) {
  char text[256] = {};
  SQLSMALLINT len = 0;
  const SQLRETURN rc = h.GetDiagRec(rec, nullptr, nullptr, text, sizeof text, &len);
  return rc == SQL_SUCCESS ? std::string(text) : "rc " + std::to_string(rc);
}

}  // namespace

TEST(Diagnostics, RecordsAccumulateOnlyWhileErrorResetIsOff) {
  qvoEnvironment env;
  env.SetDiagRec("HY000", 1, "first");
  env.ClearDiagRecords();
  EXPECT_EQ(env.GetNumRecords(), 0);

  env.errorReset = false;
  env.SetDiagRec("HY000", 1, "first");
  env.ClearDiagRecords();
  env.SetDiagRec("HY001", 2, "second");
  EXPECT_EQ(env.GetNumRecords(), 2);
  EXPECT_EQ(Message(env, 1), std::string(kPrefix) + "first");
  EXPECT_EQ(Message(env, 2), std::string(kPrefix) + "second");
}

TEST(Diagnostics, AServerRecordReducesTheListWhenRead) {
  qvoEnvironment env, other;
  env.SetDiagRec("HY000", -1, "library before");
  env.SetDiagRec("42000", -1, "server text");
  env.LastDiagWasFromServer();
  env.SetDiagRec("HY000", -1, "library after");

  // Copies keep the server mark.
  other.AppendDiagRecordsFrom(&env);
  for (qvoHandle* h : {static_cast<qvoHandle*>(&env), static_cast<qvoHandle*>(&other)}) {
    EXPECT_EQ(h->GetNumRecords(), 3);
    char state[6] = {};
    EXPECT_EQ(h->GetDiagRec(1, state, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);
    EXPECT_STREQ(state, "42000");
    EXPECT_EQ(h->GetNumRecords(), 1);
    EXPECT_EQ(Message(*h, 1), std::string(kPrefix) + "server text");
    EXPECT_EQ(Message(*h, 2), "rc 100");
  }
  EXPECT_EQ(env.LastDiagWasFromServer(), SQL_SUCCESS);
  env.ClearDiagRecords();
  EXPECT_EQ(env.LastDiagWasFromServer(), SQL_ERROR) << "no record to mark";
}

TEST(Diagnostics, InternalRecordReadCutsBetweenCharacters) {
  qvoEnvironment env;
  env.SetDiagRec("HY000", 7, "x\xC3\xA4");  // x, a two-byte character
  const int full = static_cast<int>(sizeof kPrefix - 1 + 3);
  EXPECT_EQ(env.GetDiagRecMsgLen(1), full);

  const struct {
    SQLSMALLINT buffer;
    SQLRETURN rc;
    size_t kept;
  } cases[] = {{static_cast<SQLSMALLINT>(full + 1), SQL_SUCCESS, size_t(full)},
               {static_cast<SQLSMALLINT>(full), SQL_SUCCESS_WITH_INFO, size_t(full - 2)},
               {static_cast<SQLSMALLINT>(full - 1), SQL_SUCCESS_WITH_INFO, size_t(full - 2)}};
  for (const auto& c : cases) {
    char text[64];
    memset(text, '#', sizeof text);
    SQLSMALLINT len = 0;
    SQLINTEGER native = 0;
    EXPECT_EQ(env.GetDiagRec(1, nullptr, &native, text, c.buffer, &len), c.rc) << c.buffer;
    EXPECT_EQ(strlen(text), c.kept) << c.buffer;
    EXPECT_EQ(len, full);
    EXPECT_EQ(native, 7);
  }
  char untouched = '#';
  EXPECT_EQ(env.GetDiagRec(1, nullptr, nullptr, &untouched, 0, nullptr), SQL_SUCCESS_WITH_INFO)
      << "a buffer of 0 bytes cuts the message";
  EXPECT_EQ(untouched, '#');
  EXPECT_EQ(env.GetDiagRec(1, nullptr, nullptr, nullptr, -1, nullptr), SQL_ERROR);
  EXPECT_EQ(env.GetDiagRec(0, nullptr, nullptr, nullptr, 0, nullptr), SQL_ERROR);
}

TEST(Diagnostics, FieldTable) {
  qvoEnvironment env;
  const struct Case {
    SQLSMALLINT rec;
    SQLSMALLINT id;
    SQLRETURN rc;
  } noRecords[] = {
      {1, SQL_DIAG_NATIVE, SQL_NO_DATA},      {0, SQL_DIAG_NATIVE, SQL_ERROR},
      {0, SQL_DIAG_ROW_NUMBER, SQL_ERROR},    {1, SQL_DIAG_SQLSTATE, SQL_NO_DATA},
      {0, SQL_DIAG_SQLSTATE, SQL_ERROR},      {-1, SQL_DIAG_NUMBER, SQL_ERROR},
      {0, SQL_DIAG_NUMBER, SQL_SUCCESS},      {0, SQL_DIAG_CURSOR_ROW_COUNT, SQL_ERROR},
      {0, SQL_DIAG_SERVER_NAME, SQL_SUCCESS},
  };
  for (const auto& c : noRecords) {
    char value[32] = {};
    SQLSMALLINT len = 0;
    EXPECT_EQ(env.GetDiagField(c.rec, c.id, value, sizeof value, &len), c.rc)
        << c.rec << "/" << c.id;
  }
  EXPECT_EQ(env.GetDiagField(0, SQL_DIAG_NUMBER, nullptr, 0, nullptr), SQL_ERROR);

  env.SetDiagRec("HY000", 3, "m");
  env.SetDiagField(0, SQL_DIAG_ROW_COUNT, 12, 0);
  env.RetCode(SQL_SUCCESS_WITH_INFO);
  SQLSMALLINT rc = 0;
  SQLLEN rows = 0;
  SQLINTEGER number = 0;
  EXPECT_EQ(env.GetDiagField(0, SQL_DIAG_RETURNCODE, &rc, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(env.GetDiagField(0, SQL_DIAG_ROW_COUNT, &rows, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(env.GetDiagField(0, SQL_DIAG_NUMBER, &number, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(rc, SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(rows, 12);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(env.SetDiagField(0, SQL_DIAG_NUMBER, 5, 0), SQL_ERROR);

  // Text fields: some need a length pointer; a SQLSTATE without one needs
  // room for five characters.
  char text[32];
  SQLSMALLINT len = 0;
  EXPECT_EQ(env.GetDiagField(1, SQL_DIAG_MESSAGE_TEXT, text, sizeof text, nullptr), SQL_ERROR);
  EXPECT_EQ(env.GetDiagField(1, SQL_DIAG_SQLSTATE, text, 4, nullptr), SQL_ERROR);
  EXPECT_EQ(env.GetDiagField(1, SQL_DIAG_SQLSTATE, text, 6, nullptr), SQL_SUCCESS);
  EXPECT_STREQ(text, "HY000");
  EXPECT_EQ(env.GetDiagField(1, SQL_DIAG_SUBCLASS_ORIGIN, text, 4, &len), SQL_SUCCESS_WITH_INFO);
  EXPECT_STREQ(text, "ISO");
  EXPECT_EQ(env.GetDiagField(0, SQL_DIAG_CONNECTION_NAME, text, sizeof text, &len), SQL_SUCCESS);
  EXPECT_STREQ(text, "Vandrel connection");
  EXPECT_EQ(env.GetDiagField(0, SQL_DIAG_SERVER_NAME, text, sizeof text, &len), SQL_SUCCESS);
  EXPECT_STREQ(text, "") << "an environment has no server name";
}

TEST(Diagnostics, MessageTheApplicationCodeSetCannotHold) {
  // The tests run in the C locale: the application's code set is ASCII.
  qvoEnvironment env;
  env.SetDiagRec("HY000", 1,
                 "Gr\xC3\xBC\xC3\x9F"
                 "e");
  char text[128] = {};
  SQLSMALLINT len = 0;
  EXPECT_EQ(
      qvoGetDiagRecForApp(env, qvoTextForm::Narrow, 1, nullptr, nullptr, text, sizeof text, &len),
      SQL_SUCCESS);
  const std::string shown = text;
  EXPECT_EQ(shown.rfind("Error converting error message. ", 0), 0u) << shown;
  EXPECT_GT(shown.size(), strlen("Error converting error message. ")) << "the converter's reason";
  EXPECT_EQ(len, static_cast<SQLSMALLINT>(shown.size()));

  char small[8];
  qvoGetDiagRecForApp(env, qvoTextForm::Narrow, 1, nullptr, nullptr, small, sizeof small, &len);
  EXPECT_STREQ(small, "Error c");

  // The wide form holds every character.
  SQLWCHAR wide[64] = {};
  EXPECT_EQ(qvoGetDiagRecForApp(env, qvoTextForm::Wide, 1, nullptr, nullptr, wide, 64, &len),
            SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(wide)),
            u"[OSTRANA][Vandrel driver]Gr\u00FC\u00DFe");
}
