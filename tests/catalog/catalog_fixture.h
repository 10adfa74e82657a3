// A statement on a connection to the fake node for the catalog functions:
// executes are answered with an empty result, the driver information the
// catalog asks for is scripted, and the SQL and get-columns requests the
// node received are at hand.
#pragma once

#include <cstring>
#include <string>

#include "catalog/qvoCatalog.h"
#include "statement/statement_fixture.h"

namespace catalog_test {

// The scripted driver information.
struct Info {
  std::string quote = "\"";
  std::string catalogs = "N";  // info 10003
  bool fails = false;
};
inline Info& ScriptedInfo() {
  static Info info;
  return info;
}
inline SQLRETURN ScriptedInfoText(qvoStatement& s, SQLUSMALLINT type, std::string* text) {
  if (ScriptedInfo().fails) return s.SetDiagRec("HY000", -1, "information not available");
  *text = type == QVO_INFO_IDENTIFIER_QUOTE_CHAR ? ScriptedInfo().quote : ScriptedInfo().catalogs;
  return SQL_SUCCESS;
}

inline std::string Text(const fake::Bytes& b) { return std::string(b.begin(), b.end()); }

}  // namespace catalog_test

class CatalogTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    catalog_test::ScriptedInfo() = {};
    previous = SetCatalogInfoSource(&catalog_test::ScriptedInfoText);
    using namespace fake::results;
    node.On(fake::kExecute, [](const fake::Request&, fake::FakeNode&) {
      return Answer({ResultSet(-3, {Column::Char("C", 5, 5, kVarying)}, 0, 0, {})});
    });
  }
  void TearDown() override {
    SetCatalogInfoSource(previous);
    StatementTest::TearDown();
  }

  // The SQL text of the last execute request, "" when none came.
  std::string LastSql() const {
    const auto executes = RequestsOf(fake::kExecute);
    return executes.empty() ? "" : catalog_test::Text(executes.back().data);
  }

  qvoCatalogInfoSource previous = nullptr;
};
