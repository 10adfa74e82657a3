// A statement prepared against the fake node: "INSERT INTO t VALUES (?, ?)"
// with an integer and a text parameter, ten rows bound column-wise, and
// what the node received decoded by its own reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "statement_fixture.h"
#include "support/fake_prepared.h"

namespace prepared_test {

constexpr const char* kInsert = "INSERT INTO t VALUES (?, ?)";
constexpr int16_t kPartNumber = 36;
constexpr SQLULEN kRows = 10;

inline SQLPOINTER V(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

class PrepareExecuteTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    SetProtocol(9);
    fake::ServePrepared(
        node, kInsert, 7,
        {fake::results::Column::Decimal("P1", 18, 0), fake::results::Column::Char("P2", 20, 20, 1)},
        &seen);
  }
  // Ten rows, column-wise: an integer and a text of 10 characters each.
  void Fill(int base) {
    for (SQLULEN r = 0; r < kRows; ++r) {
      ids[r] = base + static_cast<SQLINTEGER>(r);
      std::snprintf(names[r], sizeof names[r], "name-%05d", base + static_cast<int>(r));
      idInd[r] = 0;
      nameInd[r] = SQL_NTS;
    }
  }
  // The text parameter as SQL_C_CHAR into VARCHAR, or SQL_C_BINARY into
  // VARBINARY.
  void Bind(SQLHSTMT h, SQLULEN rows = kRows, SQLSMALLINT textType = SQL_C_CHAR) {
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, V(rows), 0), SQL_SUCCESS);
    ASSERT_EQ(
        QVOBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_DECIMAL, 18, 0, ids, 0, idInd),
        SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 2, SQL_PARAM_INPUT, textType,
                               textType == SQL_C_CHAR ? SQL_VARCHAR : SQL_VARBINARY, 20, 0, names,
                               sizeof names[0], nameInd),
              SQL_SUCCESS);
  }
  SQLRETURN Prepare(SQLHSTMT h) {
    return QVOPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kInsert)), SQL_NTS);
  }
  // Binds `status` (each row 99 until written) and `processed` to the
  // parameter rows of h.
  void WatchRows(SQLHSTMT h) {
    status.assign(kRows, 99);
    processed = 0;
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0), SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0), SQL_SUCCESS);
  }
  SQLLEN RowCountOf(SQLHSTMT h) {
    SQLLEN n = -1;
    EXPECT_EQ(QVORowCount(h, &n), SQL_SUCCESS);
    return n;
  }
  // Part numbers of the execute-prepared requests, "-" for none.
  std::vector<std::string> PartNumbers() const {
    std::vector<std::string> out;
    for (const fake::Request& r : Of(fake::kExecutePrepared)) {
      const fake::Attr* a = r.Find(kPartNumber);
      out.push_back(a ? std::to_string(a->AsInt()) : "-");
    }
    return out;
  }
  // The ids and texts the node received, in order ("NULL" for NULL).
  std::vector<std::string> Received() const {
    std::vector<std::string> out;
    const auto text = [](const std::optional<fake::Bytes>& v) {
      return v ? std::string(v->begin(), v->end()) : std::string("NULL");
    };
    for (const fake::PreparedMessage& m : seen)
      for (const auto& row : m.values)
        out.push_back((row.at(0) ? std::to_string(fake::ValueInt(*row.at(0))) : "NULL") + "/" +
                      text(row.at(1)));
    return out;
  }
  static std::vector<std::string> Expected(int base) {
    std::vector<std::string> out;
    char name[16];
    for (SQLULEN r = 0; r < kRows; ++r) {
      std::snprintf(name, sizeof name, "name-%05d", base + static_cast<int>(r));
      out.push_back(std::to_string(base + static_cast<int>(r)) + "/" + name);
    }
    return out;
  }

  // Requests of one command since `from`.
  std::vector<fake::Request> Of(uint8_t command) const {
    std::vector<fake::Request> out;
    const auto all = node.Requests();
    for (size_t i = from; i < all.size(); ++i)
      if (all[i].command == command) out.push_back(all[i]);
    return out;
  }

  size_t from = 0;
  std::vector<fake::PreparedMessage> seen;
  SQLINTEGER ids[kRows] = {};
  SQLLEN idInd[kRows] = {};
  char names[kRows][16] = {};
  SQLLEN nameInd[kRows] = {};
  std::vector<SQLUSMALLINT> status;
  SQLULEN processed = 0;
};

}  // namespace prepared_test
