// The number formatter as a host reaches it: the library loaded with dlopen,
// each exported name found with dlsym, the version read into a buffer of the
// size the header gives, and a precision change that the text of a fetched
// DOUBLE under external conversion follows.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api/api_session.h"
#include "qvo/qvoNumberFormat.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

namespace r = fake::results;

struct Library {
  Library() : handle(dlopen(QVO_LIBRARY_FILE, RTLD_NOW)) {}
  ~Library() {
    if (handle) dlclose(handle);
  }
  void* Find(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }
  void* handle;
};

// The text of a DOUBLE fetched into a bound character buffer with external
// conversion on (the formatter serves the bound fetch; QVOGetData gives the
// "%.*G" text).
std::string ExternalText(double value) {
  api::Session s;
  fake::Table t;
  t.columns = {r::Column::Double("f")};
  t.rows = 1;
  t.value = [value](int64_t, size_t) { return r::Value::Double(value); };
  s.node.ServeTable("SELECT F", t, {});
  EXPECT_EQ(QVOSetStmtAttr(s.stmt, 21093, reinterpret_cast<SQLPOINTER>(intptr_t{1}), 0),
            SQL_SUCCESS);
  EXPECT_EQ(s.Exec("SELECT F"), SQL_SUCCESS);
  char text[64] = {};
  SQLLEN length = 0;
  EXPECT_EQ(QVOBindCol(s.stmt, 1, SQL_C_CHAR, text, sizeof text, &length), SQL_SUCCESS);
  EXPECT_EQ(QVOFetch(s.stmt), SQL_SUCCESS);
  EXPECT_EQ(static_cast<size_t>(length), std::strlen(text));
  return text;
}

TEST(NumberFormatApi, AHostFindsTheFormatterAndChangesItsPrecision) {
  const Library lib;
  ASSERT_NE(lib.handle, nullptr) << dlerror();

  // Every exported name is found, and is what the header declares. (The
  // object nf is only looked up: naming it here would give this program its
  // own copy of it.)
  EXPECT_NE(lib.Find("nf"), nullptr);
  const struct {
    const char* symbol;
    void* declared;
  } functions[] = {
      {"_Z15changePrecisioni", reinterpret_cast<void*>(&changePrecision)},
      {"_Z10getVersionPc", reinterpret_cast<void*>(&getVersion)},
      {"_Z13convertNumberIdEiRT_Pc", reinterpret_cast<void*>(&convertNumber<double>)},
      {"_Z13convertNumberIfEiRT_Pc", reinterpret_cast<void*>(&convertNumber<float>)},
      {"_Z13convertNumberIaEiRT_Pc", reinterpret_cast<void*>(&convertNumber<signed char>)},
      {"_Z13convertNumberIhEiRT_Pc", reinterpret_cast<void*>(&convertNumber<unsigned char>)},
      {"_Z13convertNumberIsEiRT_Pc", reinterpret_cast<void*>(&convertNumber<short>)},
      {"_Z13convertNumberItEiRT_Pc", reinterpret_cast<void*>(&convertNumber<unsigned short>)},
      {"_Z13convertNumberIiEiRT_Pc", reinterpret_cast<void*>(&convertNumber<int>)},
      {"_Z13convertNumberIjEiRT_Pc", reinterpret_cast<void*>(&convertNumber<unsigned int>)},
      {"_Z13convertNumberIlEiRT_Pc", reinterpret_cast<void*>(&convertNumber<long>)},
      {"_Z13convertNumberImEiRT_Pc", reinterpret_cast<void*>(&convertNumber<unsigned long>)},
      {"_Z13convertNumberIxEiRT_Pc", reinterpret_cast<void*>(&convertNumber<long long>)},
      {"_Z13convertNumberIyEiRT_Pc", reinterpret_cast<void*>(&convertNumber<unsigned long long>)},
  };
  for (const auto& f : functions) {
    void* found = lib.Find(f.symbol);
    ASSERT_NE(found, nullptr) << f.symbol;
    EXPECT_EQ(found, f.declared) << f.symbol;
  }
  auto* change = reinterpret_cast<void (*)(int)>(lib.Find("_Z15changePrecisioni"));
  auto* version = reinterpret_cast<void (*)(char*)>(lib.Find("_Z10getVersionPc"));
  auto* convert = reinterpret_cast<int (*)(double&, char*)>(lib.Find("_Z13convertNumberIdEiRT_Pc"));

  // The version text fills exactly the size the header gives.
  std::vector<char> buffer(QVO_NUMBER_FORMAT_VERSION_SIZE + 8, '#');
  version(buffer.data());
  const std::string text(buffer.data());
  EXPECT_EQ(text.size() + 1, static_cast<size_t>(QVO_NUMBER_FORMAT_VERSION_SIZE));
  EXPECT_EQ(text.rfind("Zuvirorazi-Version:\n", 0), 0u);
  EXPECT_EQ(text.substr(text.rfind('\n') + 1), "REPOSITORY_REVISION = 0");
  EXPECT_EQ(buffer[QVO_NUMBER_FORMAT_VERSION_SIZE], '#');

  // 2/3 has more digits than any precision keeps, so every width is full.
  const double twoThirds = 2.0 / 3.0;
  EXPECT_EQ(ExternalText(twoThirds), "+6.66666666E-01");
  struct Case {
    int precision;
    const char* text;
  };
  const Case cases[] = {
      {20, "+6.6666666666666E-01"},
      {10, "+6.666E-01"},
      {15, "+6.66666666E-01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.precision);
    change(c.precision);
    EXPECT_EQ(ExternalText(twoThirds), c.text);
    EXPECT_EQ(ExternalText(twoThirds).size(), static_cast<size_t>(c.precision));
    char direct[QVO_NUMBER_FORMAT_TEXT_SIZE];
    double value = twoThirds;
    EXPECT_EQ(convert(value, direct), 0);
    EXPECT_STREQ(direct, c.text);
  }
}

}  // namespace
