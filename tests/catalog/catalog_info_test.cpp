// The catalog asks the connection's driver information for the identifier
// quote (29) and whether catalogs exist (10003, from the server's metadata);
// a failed request fails the catalog call before anything is sent.
#include <string>
#include <vector>

#include "catalog_fixture.h"
#include "info/info_fixture.h"

namespace {

SQLCHAR* U(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

TEST_F(CatalogTest, DriverInformationShapesTheQueryOrFailsTheCall) {
  SetCatalogInfoSource(nullptr);  // the connection's own answers
  const qvoMetadataReader before = ReplaceMetadataReader(&StandInView::Read);
  const std::string select =
      "select \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"COLUMN_NAME\", \"KEY_SEQ\", "
      "\"PK_NAME\" from \"$ODBCJDBC\".PRIMARY_KEYS";
  const std::string order =
      " order by \"TABLE_CAT\", \"TABLE_SCHEM\", \"TABLE_NAME\", \"KEY_SEQ\" ";
  struct Case {
    const char* name;
    const char* quote;              // the connection's identifier quote
    std::vector<ViewRow> metadata;  // what the server's view holds
    SQLRETURN readResult;
    const char* catalog;
    const char* schema;
    std::string sql;                        // empty: refused
    std::vector<std::string> refusal = {};  // SQLSTATE and text of the statement's records
  };
  const Case cases[] = {
      {"quoted schema, no catalogs",
       "`",
       {{"supportsCatalogsInDataManipulation", "0"}},
       SQL_SUCCESS,
       nullptr,
       "`Sc`",
       select + " where  \"TABLE_SCHEM\" = 'Sc' and  \"TABLE_NAME\" = 'TB'" + order},
      {"double quote is no quote for this connection",
       "`",
       {{"supportsCatalogsInDataManipulation", "0"}},
       SQL_SUCCESS,
       nullptr,
       "\"sc\"",
       select + " where  \"TABLE_SCHEM\" = '\"SC\"' and  \"TABLE_NAME\" = 'TB'" + order},
      {"catalogs supported: a null catalog is refused",
       "\"",
       {{"supportsCatalogsInDataManipulation", "1"}},
       SQL_SUCCESS,
       nullptr,
       "sc",
       "",
       {"HY000 Invalid use of null pointer."}},
      {"metadata cannot be read",
       "\"",
       {},
       SQL_ERROR,
       nullptr,
       "sc",
       "",
       {"HY000 Error reading db metadata form Vandrel.", "HY000 stand-in read failed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::snprintf(conn->connAttr.identifierQuoteString, sizeof conn->connAttr.identifierQuoteString,
                  "%s", c.quote);
    conn->haveInfos = false;
    StandInView::rows = c.metadata;
    StandInView::result = c.readResult;
    SQLHSTMT h = NewStatement();
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_METADATA_ID, reinterpret_cast<SQLPOINTER>(1), 0),
              SQL_SUCCESS);
    const size_t executes = RequestsOf(fake::kExecute).size();
    const SQLRETURN rc = QVOPrimaryKeys(h, c.catalog ? U(c.catalog) : nullptr, SQL_NTS, U(c.schema),
                                        SQL_NTS, U("tb"), SQL_NTS);
    if (c.sql.empty()) {
      EXPECT_EQ(rc, SQL_ERROR);
      EXPECT_EQ(StatesAndTexts(*Stmt(h)), c.refusal);
      EXPECT_EQ(RequestsOf(fake::kExecute).size(), executes);
    } else {
      EXPECT_EQ(rc, SQL_SUCCESS) << LastDiag(*Stmt(h));
      EXPECT_EQ(LastSql(), c.sql);
    }
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
  ReplaceMetadataReader(before);
}

}  // namespace
