// A connection handle (not connected) whose DB_METADATA load reads a list of
// rows given by the test instead of the server's view.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "connection/qvoConnection.h"
#include "handles/qvoHandleTable.h"
#include "info/qvoInfoValues.h"
#include "qvo/qvoCInterface.h"
#include "support/diag_records.h"

// One row handed to the load: a name and a value, or a NULL value.
struct ViewRow {
  std::string name;
  std::string value;
  bool null = false;
  bool nameCut = false;
  bool valueRead = true;
};

// What the stand-in reader hands over, and how often it ran. Global because
// the reader is a plain function; one test at a time uses it.
struct StandInView {
  static inline std::vector<ViewRow> rows;
  static inline SQLRETURN result = SQL_SUCCESS;  // negative: fails after the rows
  static inline std::atomic<int> reads{0};
  static inline void (*whileReading)() = nullptr;

  static SQLRETURN Read(qvoConnection& conn, const qvoMetadataRowFn& onRow) {
    ++reads;
    if (whileReading) whileReading();
    for (const ViewRow& r : rows) {
      qvoMetadataRow row;
      row.name = r.name;
      row.nameCut = r.nameCut;
      row.value = r.value;
      row.valueNull = r.null;
      row.valueRead = r.valueRead;
      onRow(row);
    }
    if (result < 0) conn.SetDiagRec("HY000", -1, "stand-in read failed");
    return result;
  }
};

class InfoConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = ReplaceMetadataReader(&StandInView::Read);
    StandInView::rows.clear();
    StandInView::result = SQL_SUCCESS;
    StandInView::reads = 0;
    StandInView::whileReading = nullptr;
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
  }
  void TearDown() override {
    QVOFreeHandle(SQL_HANDLE_ENV, env);
    ReplaceMetadataReader(previous);
  }

  std::vector<Diag> Diags() { return DiagsOf(*conn); }
  std::string LastState() {
    const auto d = Diags();
    return d.empty() ? "" : d.back().state + " " + d.back().text;
  }
  std::vector<std::string> Records() { return StatesAndTexts(*conn); }
  // A failed load: its own record first, then the reader's reason.
  static std::vector<std::string> FailedLoad() {
    return {"HY000 Error reading db metadata form Vandrel.", "HY000 stand-in read failed"};
  }

  qvoMetadataReader previous = nullptr;
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  qvoConnection* conn = nullptr;
};
