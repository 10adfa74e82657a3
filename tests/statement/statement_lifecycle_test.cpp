// Statement allocation and release, attributes and the cursor-level
// operations.
#include <cstdint>
#include <cstring>
#include <string>

#include "handles/qvoHandleTable.h"
#include "platform/qvoConverter.h"
#include "statement_fixture.h"
#include "support/result_cursor_peer.h"

namespace {

SQLPOINTER V(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

TEST_F(StatementTest, NewStatementHasItsDefaultsAndFourOwnDescriptors) {
  EXPECT_EQ(s->resultHandle, -2);
  EXPECT_EQ(s->preparedHandle, -2);
  EXPECT_EQ(s->GetMaxIdentifierLength(), 128);
  EXPECT_STREQ(s->StatusText(), "Created");
  EXPECT_EQ(IsQVOHandle(stmt), SQL_HANDLE_STMT);
  EXPECT_EQ(GetMasterOfCliHandle(stmt), dbc);
  const struct {
    cliDescriptor* desc;
    SQLPOINTER id;
    SQLSMALLINT kind;
  } own[] = {{s->ARD(), s->Descriptors().idARD, 5},
             {s->APD(), s->Descriptors().idAPD, 6},
             {s->IRD(), s->Descriptors().idIRD, 7},
             {s->IPD(), s->Descriptors().idIPD, 8}};
  for (const auto& d : own) {
    EXPECT_EQ(IsQVOHandle(d.id), SQL_HANDLE_DESC);
    EXPECT_EQ(GetHandlePtr(d.id), d.desc);
    EXPECT_EQ(GetMasterOfCliHandle(d.id), stmt);
    EXPECT_EQ(d.desc->descType, d.kind);
    EXPECT_EQ(d.desc->header.allocType, SQL_DESC_ALLOC_AUTO);
    EXPECT_EQ(d.desc->OwningStatement(), static_cast<cliDescriptorOwner*>(s));
  }
}

// What every attribute reads before anything is set (ODBC attributes as
// SQLULEN or pointer, the private ones at their own widths).
TEST_F(StatementTest, AttributesStartFromTheirDefaults) {
  const auto P = [](const void* p) { return reinterpret_cast<SQLULEN>(p); };
  struct Case {
    SQLINTEGER attribute;
    SQLULEN value;
  };
  const Case cases[] = {
      {SQL_ATTR_QUERY_TIMEOUT, 0},
      {SQL_ATTR_MAX_ROWS, 0},
      {SQL_ATTR_NOSCAN, 1},
      {SQL_ATTR_MAX_LENGTH, 0},
      {SQL_ATTR_ASYNC_ENABLE, 0},
      {SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN},
      {SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY},
      {SQL_ATTR_CONCURRENCY, SQL_CONCUR_READ_ONLY},
      {SQL_ATTR_KEYSET_SIZE, 0},
      {SQL_ROWSET_SIZE, 1},
      {SQL_ATTR_SIMULATE_CURSOR, 0},
      {SQL_ATTR_RETRIEVE_DATA, 1},
      {SQL_ATTR_USE_BOOKMARKS, 0},
      {SQL_ATTR_ROW_NUMBER, 0},
      {SQL_ATTR_ENABLE_AUTO_IPD, 1},
      {SQL_ATTR_PARAM_BIND_OFFSET_PTR, 0},
      {SQL_ATTR_PARAM_BIND_TYPE, SQL_BIND_BY_COLUMN},
      {SQL_ATTR_PARAM_OPERATION_PTR, 0},
      {SQL_ATTR_PARAM_STATUS_PTR, 0},
      {SQL_ATTR_PARAMS_PROCESSED_PTR, 0},
      {SQL_ATTR_PARAMSET_SIZE, 1},
      // The ARD's and IRD's fields as they stand: their own targets.
      {SQL_ATTR_ROW_BIND_OFFSET_PTR, P(&s->ARD()->header.bindOffsetDummy)},
      {SQL_ATTR_ROW_OPERATION_PTR, 0},
      {SQL_ATTR_ROW_STATUS_PTR, 0},
      {SQL_ATTR_ROWS_FETCHED_PTR, P(&s->IRD()->header.rowsProcessed)},
      {SQL_ATTR_ROW_ARRAY_SIZE, 1},
      {SQL_ATTR_CURSOR_SCROLLABLE, 1},
      {SQL_ATTR_CURSOR_SENSITIVITY, 0},
      {SQL_ATTR_APP_ROW_DESC, P(s->Descriptors().auto_idARD)},
      {SQL_ATTR_APP_PARAM_DESC, P(s->Descriptors().auto_idAPD)},
      {SQL_ATTR_IMP_ROW_DESC, P(s->Descriptors().auto_idIRD)},
      {SQL_ATTR_IMP_PARAM_DESC, P(s->Descriptors().auto_idIPD)},
      {SQL_ATTR_METADATA_ID, 0},
      {SQL_AUTOCOMMIT, 1},
  };
  for (const Case& c : cases) {
    SQLULEN out = 0xAAAAAAAAAAAAAAAAULL;
    EXPECT_EQ(QVOGetStmtAttr(stmt, c.attribute, &out, 0, nullptr), SQL_SUCCESS) << c.attribute;
    EXPECT_EQ(out, c.value) << c.attribute;
  }
  SQLINTEGER i32[3] = {0, 0, 0};
  EXPECT_EQ(QVOGetStmtAttr(stmt, 21090, &i32[0], 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(QVOGetStmtAttr(stmt, 21094, &i32[1], 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(QVOGetStmtAttr(stmt, 21026, &i32[2], 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(i32[0], -2);
  EXPECT_EQ(i32[1], -2);
  EXPECT_EQ(i32[2], conn->GetProtocolVersion());
  SQLBIGINT i64[2] = {-1, -1};
  EXPECT_EQ(QVOGetStmtAttr(stmt, 21083, &i64[0], 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(QVOGetStmtAttr(stmt, 21003, &i64[1], 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(i64[0], 0);
  EXPECT_EQ(i64[1], 0);
  EXPECT_EQ(s->stmtAttr.floatPrecision, 9);
  EXPECT_EQ(s->stmtAttr.truncateDecimals, 1);
  EXPECT_STREQ(s->stmtAttr.wordForTrue, "1");
  EXPECT_STREQ(s->stmtAttr.wordForFalse, "0");
  EXPECT_STREQ(s->ordinaryArgumentPredicate, " = ");
  EXPECT_EQ(s->maxPreparedMessageSize, 33554432u);
}

TEST_F(StatementTest, StatementNeedsAConnectedConnection) {
  conn->Socket->closeSocket();
  SQLHSTMT h = SQL_NULL_HANDLE;
  EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &h), SQL_ERROR);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(LastDiag(*conn), "HY000 Database server not connected.");
}

TEST_F(StatementTest, FullHandleTableLeavesNothingRegistered) {
  const size_t used = NumUsedHandles();
  // Room for the statement and two of its descriptors only.
  SetMaxHandles(used + 3);
  SQLHSTMT h = SQL_NULL_HANDLE;
  EXPECT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &h), SQL_ERROR);
  SetMaxHandles(0);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(NumUsedHandles(), used);
  EXPECT_EQ(LastDiag(*conn), "HY014 Limit on the number of handles exceeded.");
}

// A statement takes its connection's code pages; one that cannot be
// installed on its own converter fails the allocation, as a statement would
// otherwise convert with other code pages than the connection's. The
// connection receives the record; nothing stays registered.
TEST_F(StatementTest, StatementThatCannotTakeTheConnectionsCodePagesIsNotMade) {
  ASSERT_EQ(QVOSetConnectAttr(dbc, 21048, const_cast<char*>("ISO-8859-1"), SQL_NTS), SQL_SUCCESS);
  const size_t used = NumUsedHandles();
  SQLHSTMT h = stmt;
  testing::internal::CaptureStderr();
  qvoRefuseCodepagesForTests({"ISO-8859-1"});
  const SQLRETURN rc = QVOAllocHandle(SQL_HANDLE_STMT, dbc, &h);
  qvoRefuseCodepagesForTests({});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Vandrel driver error: Error (1) in setting current installed codepage. Code page "
            "ISO-8859-1 is not supported.\n\n");
  EXPECT_EQ(rc, SQL_ERROR);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(NumUsedHandles(), used);
  EXPECT_EQ(StatesAndTexts(*conn),
            std::vector<std::string>{"HY000 Code page ISO-8859-1 is not supported."});

  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &h), SQL_SUCCESS);
  EXPECT_STREQ(Stmt(h)->GetDataConverter()->GetCurrentCodepage(), "ISO-8859-1");
}

TEST_F(StatementTest, FreeingAStatementKeepsTheApplicationsDescriptor) {
  SQLHDESC user = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, dbc, &user), SQL_SUCCESS);
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_APP_ROW_DESC, user, 0), SQL_SUCCESS);
  const SQLPOINTER own[] = {s->Descriptors().auto_idARD, s->Descriptors().auto_idAPD,
                            s->Descriptors().auto_idIRD, s->Descriptors().auto_idIPD};
  ASSERT_EQ(QVOFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
  EXPECT_EQ(IsQVOHandle(stmt), 0);
  for (SQLPOINTER d : own) EXPECT_EQ(IsQVOHandle(d), 0);
  EXPECT_EQ(IsQVOHandle(user), SQL_HANDLE_DESC);
  EXPECT_EQ(QVORowCount(stmt, nullptr), SQL_INVALID_HANDLE);
}

TEST_F(StatementTest, DescriptorAttributesTakeUserOrOwnDescriptorsOnly) {
  SQLHDESC user = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DESC, dbc, &user), SQL_SUCCESS);
  qvoStatement* other = Stmt(NewStatement());
  const std::string refused = "HY017 Invalid use of an automatically allocated descriptor handle.";
  struct Case {
    SQLINTEGER attribute;
    SQLPOINTER value;
    SQLRETURN rc;
    std::string diag;
    SQLPOINTER expected;  // the slot's handle afterwards
  };
  const Case cases[] = {
      {SQL_ATTR_APP_ROW_DESC, user, SQL_SUCCESS, "", user},
      {SQL_ATTR_APP_ROW_DESC, nullptr, SQL_SUCCESS, "", s->Descriptors().auto_idARD},
      {SQL_ATTR_APP_ROW_DESC, other->Descriptors().auto_idARD, SQL_ERROR, refused,
       s->Descriptors().auto_idARD},
      {SQL_ATTR_APP_ROW_DESC, s->Descriptors().auto_idAPD, SQL_ERROR, refused,
       s->Descriptors().auto_idARD},
      {SQL_ATTR_APP_ROW_DESC, stmt, SQL_ERROR, refused, s->Descriptors().auto_idARD},
      {SQL_ATTR_APP_PARAM_DESC, user, SQL_SUCCESS, "", user},
      {SQL_ATTR_APP_PARAM_DESC, s->Descriptors().auto_idAPD, SQL_SUCCESS, "",
       s->Descriptors().auto_idAPD},
      {SQL_ATTR_IMP_PARAM_DESC, user, SQL_SUCCESS, "", user},
      {SQL_ATTR_IMP_PARAM_DESC, nullptr, SQL_SUCCESS, "", s->Descriptors().auto_idIPD},
      {SQL_ATTR_IMP_ROW_DESC, nullptr, SQL_ERROR, refused, s->Descriptors().auto_idIRD},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QVOSetStmtAttr(stmt, c.attribute, c.value, 0), c.rc) << c.attribute;
    EXPECT_EQ(LastDiag(*s), c.diag) << c.attribute;
    SQLPOINTER read = nullptr;
    ASSERT_EQ(QVOGetStmtAttr(stmt, c.attribute, &read, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(read, c.expected) << c.attribute;
  }
  EXPECT_EQ(s->ARD(), s->Descriptors().auto_ARD);
}

// Setting one attribute: the code, the diagnostic and what reading it back
// gives (ODBC attributes as SQLULEN, pointers at full width).
TEST_F(StatementTest, EveryAttributeSetsAndReads) {
  SQLUSMALLINT statuses[4];
  SQLULEN processed = 0;
  SQLLEN offset = 0;
  const SQLPOINTER p = statuses;
  const std::string changed = "01S02 Option value changed.";
  struct Case {
    SQLINTEGER attribute;
    SQLPOINTER value;
    SQLRETURN rc;
    std::string diag;
    SQLULEN read;  // what the get gives; ~0 for "not readable"
  };
  const SQLULEN none = ~SQLULEN{0};
  const Case cases[] = {
      {SQL_ATTR_QUERY_TIMEOUT, V(30), SQL_SUCCESS, "", 30},
      {SQL_ATTR_MAX_ROWS, V(70000), SQL_SUCCESS, "", 70000},
      {SQL_ATTR_NOSCAN, V(0), SQL_SUCCESS, "", 1},
      {SQL_ATTR_NOSCAN, V(2), SQL_ERROR, "HY024 Invalid attribute value for metadata ID.", 1},
      {SQL_ATTR_MAX_LENGTH, V(4096), SQL_SUCCESS, "", 4096},
      {SQL_ATTR_ASYNC_ENABLE, V(0), SQL_SUCCESS, "", 0},
      {SQL_ATTR_ROW_BIND_TYPE, V(64), SQL_SUCCESS, "", 64},
      {SQL_ATTR_CURSOR_TYPE, V(SQL_CURSOR_STATIC), SQL_SUCCESS, "", SQL_CURSOR_STATIC},
      {SQL_ATTR_CURSOR_TYPE, V(SQL_CURSOR_DYNAMIC), SQL_SUCCESS_WITH_INFO, changed, 0},
      {SQL_ATTR_CURSOR_TYPE, V(9), SQL_ERROR, "HY024 Invalid attribute value for cursor type.", 0},
      {SQL_ATTR_CONCURRENCY, V(1), SQL_SUCCESS, "", 1},
      {SQL_ATTR_CONCURRENCY, V(4), SQL_SUCCESS_WITH_INFO, changed, 1},
      {SQL_ATTR_CONCURRENCY, V(0), SQL_ERROR,
       "HY024 Invalid attribute value for cursor concurrency.", 1},
      {SQL_ATTR_KEYSET_SIZE, V(10), SQL_SUCCESS_WITH_INFO,
       "01S02 Option value changed: keyset size stays zero.", 0},
      {SQL_ROWSET_SIZE, V(7), SQL_SUCCESS, "", 7},
      {SQL_ATTR_SIMULATE_CURSOR, V(0), SQL_ERROR,
       "HYC00 Optional feature not implemented: simulate cursor.", 0},
      {SQL_ATTR_RETRIEVE_DATA, V(0), SQL_SUCCESS, "", 0},
      {SQL_ATTR_RETRIEVE_DATA, V(2), SQL_ERROR, "HY024 Invalid attribute value for retrieve data.",
       0},
      {SQL_ATTR_USE_BOOKMARKS, V(1), SQL_SUCCESS, "", 0},
      {SQL_ATTR_USE_BOOKMARKS, V(3), SQL_ERROR, "HY024 Invalid attribute value for use bookmarks.",
       0},
      {SQL_ATTR_ROW_NUMBER, V(5), SQL_SUCCESS, "", 0},
      {SQL_ATTR_ENABLE_AUTO_IPD, V(0), SQL_SUCCESS, "", 1},
      {SQL_ATTR_ENABLE_AUTO_IPD, V(5), SQL_ERROR, "HY024 Invalid attribute value for auto IPD.", 1},
      {SQL_ATTR_FETCH_BOOKMARK_PTR, p, SQL_ERROR,
       "01S02 Option value changed: fetch bookmarks not supported.", 0},
      {SQL_ATTR_PARAM_BIND_OFFSET_PTR, &offset, SQL_SUCCESS, "",
       reinterpret_cast<SQLULEN>(&offset)},
      {SQL_ATTR_PARAM_BIND_OFFSET_PTR, nullptr, SQL_SUCCESS, "", 0},
      {SQL_ATTR_PARAM_BIND_TYPE, V(32), SQL_SUCCESS, "", 32},
      {SQL_ATTR_PARAM_OPERATION_PTR, p, SQL_SUCCESS, "", reinterpret_cast<SQLULEN>(p)},
      {SQL_ATTR_PARAM_STATUS_PTR, p, SQL_SUCCESS, "", reinterpret_cast<SQLULEN>(p)},
      {SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, SQL_SUCCESS, "",
       reinterpret_cast<SQLULEN>(&processed)},
      {SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, SQL_SUCCESS, "", 0},
      {SQL_ATTR_PARAMSET_SIZE, V(3), SQL_SUCCESS, "", 3},
      {SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset, SQL_SUCCESS, "", reinterpret_cast<SQLULEN>(&offset)},
      {SQL_ATTR_ROW_OPERATION_PTR, p, SQL_SUCCESS, "", reinterpret_cast<SQLULEN>(p)},
      {SQL_ATTR_ROW_STATUS_PTR, p, SQL_SUCCESS, "", reinterpret_cast<SQLULEN>(p)},
      {SQL_ATTR_ROWS_FETCHED_PTR, &processed, SQL_SUCCESS, "",
       reinterpret_cast<SQLULEN>(&processed)},
      {SQL_ATTR_ROW_ARRAY_SIZE, V(100), SQL_SUCCESS, "", 100},
      {SQL_ATTR_CURSOR_SCROLLABLE, V(0), SQL_SUCCESS, "", 1},
      {SQL_ATTR_CURSOR_SCROLLABLE, V(2), SQL_ERROR,
       "HY024 Invalid attribute value for cursor scrollable.", 1},
      {SQL_ATTR_CURSOR_SENSITIVITY, V(0), SQL_SUCCESS_WITH_INFO, changed, 0},
      {SQL_ATTR_CURSOR_SENSITIVITY, V(3), SQL_ERROR,
       "HY024 Invalid attribute value for cursor sensitivity.", 0},
      {SQL_ATTR_METADATA_ID, V(1), SQL_SUCCESS, "", 1},
      {SQL_ATTR_METADATA_ID, V(2), SQL_ERROR, "HY024 Invalid attribute value for metadata ID.", 1},
      {SQL_GET_BOOKMARK, V(0), SQL_ERROR, "HY092 Invalid attribute/option identifier.", none},
      {28, V(0), SQL_ERROR, "HY092 Invalid attribute/option identifier.", none},
      {1002, V(1), SQL_SUCCESS, "", none},
      {1225, V(1), SQL_ERROR, "HY092 Incorrect use of special option identifier.", none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attribute);
    EXPECT_EQ(QVOSetStmtAttr(stmt, c.attribute, c.value, 0), c.rc);
    EXPECT_EQ(LastDiag(*s), c.diag);
    if (c.read == none) {
      SQLULEN out = 0;
      EXPECT_EQ(QVOGetStmtAttr(stmt, c.attribute, &out, 0, nullptr), SQL_ERROR);
      continue;
    }
    SQLULEN out = 0xAAAAAAAAAAAAAAAAULL;  // every byte must be written
    const SQLRETURN rc = QVOGetStmtAttr(stmt, c.attribute, &out, 0, nullptr);
    EXPECT_TRUE(rc == SQL_SUCCESS || c.attribute == SQL_ATTR_FETCH_BOOKMARK_PTR);
    EXPECT_EQ(out, c.read);
  }
  EXPECT_EQ(s->ARD()->header.arraySize, 100u);
  EXPECT_EQ(s->APD()->header.arraySize, 3u);
  EXPECT_EQ(s->IRD()->header.rowsProcessedPtr, &processed);
}

TEST_F(StatementTest, PrivateAttributes) {
  struct Case {
    SQLINTEGER attribute;
    SQLLEN value;
    SQLRETURN rc;
    std::string diag;
  };
  SQLBIGINT row = 0;
  int precision = 12;
  qvoResultCursorTestPeer(*s).nLines() = 10;
  const Case cases[] = {
      {21082, 12, SQL_SUCCESS, ""},
      {21080, 0, SQL_SUCCESS, ""},
      {-9906, 0x1234, SQL_SUCCESS, ""},
      {21091, reinterpret_cast<SQLLEN>(&precision), SQL_SUCCESS, ""},
      {21085, reinterpret_cast<SQLLEN>(&row), SQL_ERROR, "HY107 Row value out of range."},
      {21086, 0, SQL_ERROR,
       "HY107 Parameter number out of range. Call BindParameter for this column first."},
      {21001, 0, SQL_ERROR, "HY092 Invalid attribute/option identifier."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(s->SetStmtAttr(c.attribute, V(c.value), 0), c.rc) << c.attribute;
    EXPECT_EQ(LastDiag(*s), c.diag) << c.attribute;
  }
  EXPECT_EQ(s->GetStmtAttr_QVO_TIMESTAMP_PRECISION(), 9u);
  EXPECT_EQ(s->stmtAttr.truncateDecimals, 0);
  EXPECT_EQ(s->stmtAttr.externalConversion, 0x34);
  EXPECT_EQ(s->stmtAttr.floatPrecision, 12);
  row = 10;
  EXPECT_EQ(s->SetStmtAttr(-9918, &row, 0), SQL_SUCCESS);
  SQLBIGINT cursor = 0;
  EXPECT_EQ(s->GetStmtAttr(21083, &cursor, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(cursor, 10);
  // Reading a polled attribute keeps the diagnostics, reading another clears.
  s->SetStmtAttr(28, nullptr, 0);
  SQLINTEGER handle = 0;
  EXPECT_EQ(s->GetStmtAttr(21090, &handle, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(handle, -2);
  EXPECT_EQ(s->GetNumRecords(), 1);
  SQLULEN size = 0;
  EXPECT_EQ(s->GetStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(s->GetNumRecords(), 0);
  // Setting 21063 keeps them too.
  s->SetStmtAttr(28, nullptr, 0);
  EXPECT_EQ(s->SetStmtAttr(21063, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(s->GetNumRecords(), 1);
  const char* status = nullptr;
  EXPECT_EQ(s->GetStmtAttr(21107, &status, 0, nullptr), SQL_SUCCESS);
  EXPECT_STREQ(status, "Created");
}

TEST_F(StatementTest, EncodingAttributesInstallCodeSets) {
  // A name with its length is read no further than that length.
  const char named[] = {'U', 'T', 'F', '-', '1', '6', 'L', 'E', '?'};
  EXPECT_EQ(QVOSetStmtAttr(stmt, 21066, const_cast<char*>(named), 8), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(QVOSetStmtAttr(stmt, 21048, const_cast<char*>("ISO-8859-1"), SQL_NTS), SQL_SUCCESS);
  char name[64] = {};
  SQLINTEGER len = 0;
  EXPECT_EQ(QVOGetStmtAttr(stmt, 21048, name, sizeof name, &len), SQL_SUCCESS);
  EXPECT_STREQ(name, "ISO-8859-1");
  EXPECT_EQ(len, 10);
  // A buffer of unknown size gets nothing.
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(QVOGetStmtAttr(stmt, 21048, small, SQL_NTS, &len), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY090 Invalid string or buffer length.");
  EXPECT_EQ(small[0], 'x');
  EXPECT_EQ(QVOSetStmtAttr(stmt, 21049, const_cast<char*>("NO-SUCH-CODESET"), SQL_NTS), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "01S02 Option value changed. Cannot set custom encoding.");
  SQLWCHAR wide[64] = {};
  EXPECT_EQ(QVOGetStmtAttrW(stmt, 21048, wide, sizeof wide, &len), SQL_SUCCESS);
  EXPECT_EQ(wide[0], u'I');
  EXPECT_EQ(len, 20);
}

// Each call leaves its own records only: none for a success, one for a
// failure, whatever the calls before it left.
TEST_F(StatementTest, CursorOperations) {
  struct Case {
    const char* name;
    SQLRETURN (*call)(SQLHSTMT);
    SQLRETURN rc;
    std::string diag;
  };
  const auto records = [&] {
    const std::vector<std::string> all = StatesAndTexts(*s);
    return all.empty() ? std::vector<std::string>{""} : all;
  };
  const Case cases[] = {
      {"close without anything", [](SQLHSTMT h) { return QVOCloseCursor(h); }, SQL_ERROR,
       "24000 Invalid cursor state."},
      {"free close", [](SQLHSTMT h) { return QVOFreeStmt(h, SQL_CLOSE); }, SQL_SUCCESS, ""},
      {"free unbind", [](SQLHSTMT h) { return QVOFreeStmt(h, SQL_UNBIND); }, SQL_SUCCESS, ""},
      {"free reset params", [](SQLHSTMT h) { return QVOFreeStmt(h, SQL_RESET_PARAMS); },
       SQL_SUCCESS, ""},
      {"free 7", [](SQLHSTMT h) { return QVOFreeStmt(h, 7); }, SQL_ERROR,
       "HY092 Option type out of range."},
      {"setpos before fetch", [](SQLHSTMT h) { return QVOSetPos(h, 1, SQL_POSITION, 0); },
       SQL_ERROR, "24000 Invalid cursor state."},
      {"setpos refresh", [](SQLHSTMT h) { return QVOSetPos(h, 1, SQL_REFRESH, 0); }, SQL_ERROR,
       "IM001 Driver does not support operation."},
      {"row count",
       [](SQLHSTMT h) {
         SQLLEN n = 0;
         return QVORowCount(h, &n);
       },
       SQL_SUCCESS, ""},
      {"setpos 0 before fetch", [](SQLHSTMT h) { return QVOSetPos(h, 0, SQL_POSITION, 0); },
       SQL_ERROR, "24000 Invalid cursor state."},
      {"cursor name", [](SQLHSTMT h) { return QVOSetCursorName(h, nullptr, 0); }, SQL_SUCCESS, ""},
      {"bulk add", [](SQLHSTMT h) { return QVOBulkOperations(h, SQL_ADD); }, SQL_SUCCESS, ""},
      {"bulk update", [](SQLHSTMT h) { return QVOBulkOperations(h, SQL_UPDATE_BY_BOOKMARK); },
       SQL_ERROR, "IM001 Driver does not support this function."},
      {"bulk 9", [](SQLHSTMT h) { return QVOBulkOperations(h, 9); }, SQL_ERROR,
       "HY092 Option type out of range."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(stmt), c.rc) << c.name;
    EXPECT_EQ(records(), std::vector<std::string>{c.diag}) << c.name;
  }
  // The refused operation is the native error.
  QVOSetPos(stmt, 1, SQL_REFRESH, 0);
  EXPECT_EQ(DiagsOf(*s).back().native, SQL_REFRESH);
  s->using_QVO_VARCHAR_PTR = true;
  QVOFreeStmt(stmt, SQL_UNBIND);
  EXPECT_FALSE(s->using_QVO_VARCHAR_PTR);
  // With a bound column the cursor can be closed; SetPos counts from the
  // rowset's first row (not the block's) and leaves the next fetch's place.
  s->ARD()->SetDescField(0, SQL_DESC_COUNT, V(1), 0);
  EXPECT_EQ(QVOCloseCursor(stmt), SQL_SUCCESS);
  qvoResultCursorTestPeer peer(*s);
  peer.resultRowCountStart() = 4;
  peer.rowsetStart() = 10;
  peer.rowsetRows() = 3;
  peer.cursor() = 13;
  s->ARD()->header.arraySize = 5;
  EXPECT_EQ(QVOSetPos(stmt, 2, SQL_POSITION, 0), SQL_SUCCESS);
  EXPECT_EQ(s->Result().PositionedRow(), 11);
  EXPECT_EQ(s->Result().Cursor(), 13);
  for (SQLBIGINT row : {0, 4, -1}) {
    EXPECT_EQ(QVOSetPos(stmt, row, SQL_POSITION, 0), SQL_ERROR) << row;
    EXPECT_EQ(records(), std::vector<std::string>{"HY109 Invalid cursor position."});
  }
  EXPECT_EQ(QVOSetPos(stmt, 2, SQL_POSITION, 0), SQL_SUCCESS);
  EXPECT_EQ(records(), std::vector<std::string>{""});
}

TEST_F(StatementTest, FramesWithoutAStatement) {
  EXPECT_EQ(QVOSetCursorName(stmt, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(QVOSetCursorName(dbc, nullptr, 0), SQL_INVALID_HANDLE);
  for (SQLHANDLE h : {SQLHANDLE{}, dbc, env}) {
    EXPECT_EQ(QVOMoreResults(h), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOCancel(h), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOExecDirect(h, nullptr, 0), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOGetStmtAttr(h, 0, nullptr, 0, nullptr), SQL_INVALID_HANDLE);
  }
  EXPECT_EQ(conn->GetNumRecords(), 0);
  char out[5];
  SQLINTEGER n = 0;
  EXPECT_EQ(QVONativeSql(nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT 1")),
                         SQL_NTS, reinterpret_cast<SQLCHAR*>(out), sizeof out, &n),
            SQL_SUCCESS_WITH_INFO);
  // Cut to the buffer; the length is the whole text's, so a caller can size again.
  EXPECT_STREQ(out, "SELE");
  EXPECT_EQ(n, 8);
  SQLWCHAR wout[8];
  const SQLWCHAR win[] = {u'a', u'b', 0};
  EXPECT_EQ(QVONativeSqlW(nullptr, const_cast<SQLWCHAR*>(win), SQL_NTS, wout, 8, &n), SQL_SUCCESS);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(wout[2], 0);
}

}  // namespace
