// Describing result columns through the exported functions: every server
// type, the fixed types of catalog results, cut names and attributes, names
// the application's code set cannot hold.
#include <string>
#include <vector>

#include "api/api_session.h"
#include "fetch/fetch_fixture.h"

namespace {

using namespace fake::results;

class ColumnDescriptionTest : public FetchTest {};

TEST_F(ColumnDescriptionTest, EveryServerTypeIsDescribed) {
  struct Case {
    Column column;
    SQLSMALLINT type;
    SQLULEN size;
    SQLSMALLINT digits;
    SQLSMALLINT native;  // DescribeCol2
  };
  const Case cases[] = {
      {Column::Decimal("A", 18, 2), SQL_DECIMAL, 18, 2, QVO_INT64},
      {Column::Decimal("A", 9, 0), SQL_DECIMAL, 9, 0, QVO_INT32},
      {Column::SmallDecimal("A", 9, 3), SQL_DECIMAL, 9, 3, QVO_INT32},
      {Column::BigDecimal("A", 30, 4), SQL_DECIMAL, 30, 4, QVO_INT128},
      {Column::Double("A"), SQL_DOUBLE, 15, 0, SQL_DOUBLE},
      {Column::Char("A", 10, 40, 0), SQL_CHAR, 10, 0, SQL_C_CHAR},
      {Column::Char("A", 20, 80, kVarying | kUtf8), SQL_VARCHAR, 20, 0, SQL_C_CHAR},
      {Column::Date("A"), SQL_TYPE_DATE, 10, 0, SQL_TYPE_DATE},
  };
  for (const Case& c : cases) {
    const std::string where = std::to_string(c.column.type) + "/" + std::to_string(c.type);
    ASSERT_EQ(Open(fake::Table::Sample({c.column}, 1), fake::Blocks{}, 9), SQL_SUCCESS);
    SQLSMALLINT count = 0, type = 0, digits = -1, nullable = -1, nameLen = 0, native = 0;
    SQLULEN size = 0;
    char name[16];
    EXPECT_EQ(QVONumResultCols(stmt, &count), SQL_SUCCESS);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(QVODescribeCol(stmt, 1, reinterpret_cast<SQLCHAR*>(name), sizeof name, &nameLen,
                             &type, &size, &digits, &nullable),
              SQL_SUCCESS)
        << where << LastDiag(*s);
    EXPECT_EQ(std::string(name), "A") << where;
    EXPECT_EQ(nameLen, 1) << where;
    EXPECT_EQ(type, c.type) << where;
    EXPECT_EQ(size, c.size) << where;
    EXPECT_EQ(digits, c.digits) << where;
    EXPECT_EQ(nullable, SQL_NULLABLE) << where;
    EXPECT_EQ(QVODescribeCol2(stmt, 1, &native), SQL_SUCCESS);
    EXPECT_EQ(native, c.native) << where;
    SQLLEN attr = 0;
    EXPECT_EQ(QVOColAttribute(stmt, 1, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &attr),
              SQL_SUCCESS);
    EXPECT_EQ(attr, c.type) << where;
    EXPECT_EQ(QVOColAttribute(stmt, 1, SQL_COLUMN_SCALE, nullptr, 0, nullptr, &attr), SQL_SUCCESS);
    EXPECT_EQ(attr, c.digits) << where;
  }
  // Time stamps: 20 characters and the fractional digits; the rest by
  // display size.
  ASSERT_EQ(Open(fake::Table::Sample({Column::Timestamp("T"), Column::Boolean("B")}, 1),
                 fake::Blocks{}, 9),
            SQL_SUCCESS);
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  SQLLEN scale = 0, display = 0;
  ASSERT_EQ(QVODescribeCol(stmt, 1, nullptr, 0, nullptr, &type, &size, nullptr, nullptr),
            SQL_SUCCESS);
  QVOColAttribute(stmt, 1, SQL_DESC_SCALE, nullptr, 0, nullptr, &scale);
  EXPECT_EQ(type, SQL_TYPE_TIMESTAMP);
  EXPECT_EQ(size, static_cast<SQLULEN>(20 + scale));
  ASSERT_EQ(QVODescribeCol(stmt, 2, nullptr, 0, nullptr, &type, &size, nullptr, nullptr),
            SQL_SUCCESS);
  QVOColAttribute(stmt, 2, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr, &display);
  EXPECT_EQ(type, SQL_BIT);
  EXPECT_EQ(size, static_cast<SQLULEN>(display));
}

TEST_F(ColumnDescriptionTest, CatalogResultsHaveFixedTypes) {
  std::vector<Column> columns;
  for (int i = 0; i < 20; ++i)
    columns.push_back(Column::Char(std::string("C").append(std::to_string(i)), 8, 8, 0));
  ASSERT_EQ(Open(fake::Table::Sample(columns, 1), fake::Blocks{}, 9), SQL_SUCCESS);
  struct Case {
    char kind;
    SQLUSMALLINT column;
    SQLSMALLINT type;  // 0: no default
    SQLSMALLINT nullable;
  };
  const Case cases[] = {
      {1, 5, SQL_VARCHAR, 1},
      {1, 6, 0, 1},
      {2, 5, SQL_SMALLINT, 1},
      {2, 7, SQL_INTEGER, 1},
      {2, 18, SQL_VARCHAR, 1},
      {2, 19, 0, 1},
      {3, 4, SQL_SMALLINT, 1},
      {3, 11, SQL_INTEGER, 1},
      {4, 1, SQL_VARCHAR, 0},
      {4, 3, SQL_INTEGER, 1},
      {5, 14, SQL_SMALLINT, 1},
      {6, 5, SQL_SMALLINT, 1},
      {7, 8, SQL_VARCHAR, 1},
      {8, 8, SQL_INTEGER, 1},
      {8, 19, SQL_VARCHAR, 1},
      {9, 8, SQL_SMALLINT, 1},
      {10, 3, SQL_VARCHAR, 1},
      {11, 1, SQL_SMALLINT, 1},
      {11, 5, SQL_INTEGER, 1},
      {12, 1, SQL_VARCHAR, 0},
      {12, 2, SQL_SMALLINT, 0},
      {12, 3, SQL_INTEGER, 1},
      {12, 16, SQL_SMALLINT, 0},
      {12, 20, SQL_SMALLINT, 1},
      {13, 1, 0, 1},
  };
  for (const Case& c : cases) {
    const std::string where = std::to_string(c.kind) + "/" + std::to_string(c.column);
    s->MarkCatalogResult(c.kind);
    SQLSMALLINT type = 0, nullable = -1;
    SQLLEN attr = -1;
    const SQLRETURN rc =
        QVODescribeCol(stmt, c.column, nullptr, 0, nullptr, &type, nullptr, nullptr, &nullable);
    const SQLRETURN rcAttr =
        QVOColAttribute(stmt, c.column, SQL_DESC_NULLABLE, nullptr, 0, nullptr, &attr);
    if (c.type == 0) {
      EXPECT_EQ(rc, SQL_ERROR) << where;
      EXPECT_EQ(rcAttr, SQL_ERROR) << where;
      EXPECT_EQ(LastDiag(*s), "HY010 Cannot convert catalog SQLType into default CType.") << where;
      continue;
    }
    EXPECT_EQ(rc, SQL_SUCCESS) << where;
    EXPECT_EQ(type, c.type) << where;
    EXPECT_EQ(nullable, c.nullable) << where;
    EXPECT_EQ(attr, c.nullable) << where;
  }
}

TEST_F(ColumnDescriptionTest, CutTextsReportTheirWholeLength) {
  ASSERT_EQ(Open(fake::Table::Sample({Column::Double("LONGCOLUMNNAME")}, 1), fake::Blocks{}, 9),
            SQL_SUCCESS);
  char name[5];
  SQLSMALLINT len = 0;
  EXPECT_EQ(QVODescribeCol(stmt, 1, reinterpret_cast<SQLCHAR*>(name), sizeof name, &len, nullptr,
                           nullptr, nullptr, nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::string(name), "LONG");
  EXPECT_EQ(len, 14);
  EXPECT_EQ(LastDiag(*s), "01004 String data, right truncated.");
  EXPECT_EQ(QVODescribeCol(stmt, 1, nullptr, 0, &len, nullptr, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(len, 14);
  SQLWCHAR wide[5];
  EXPECT_EQ(QVODescribeColW(stmt, 1, wide, 5, &len, nullptr, nullptr, nullptr, nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(len, 14);
  EXPECT_EQ(wide[3], 'G');
  EXPECT_EQ(wide[4], 0);

  EXPECT_EQ(QVOColAttribute(stmt, 1, SQL_DESC_NAME, name, sizeof name, &len, nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::string(name), "LONG");
  EXPECT_EQ(len, 14);
  EXPECT_EQ(QVOColAttribute(stmt, 1, SQL_COLUMN_NAME, nullptr, 0, &len, nullptr), SQL_SUCCESS);
  EXPECT_EQ(len, 14);
  // The wide form counts bytes.
  EXPECT_EQ(QVOColAttributeW(stmt, 1, SQL_DESC_NAME, wide, sizeof wide, &len, nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(len, 28);
  EXPECT_EQ(wide[3], 'G');
  EXPECT_EQ(QVOColAttribute(stmt, 1, SQL_DESC_NAME, name, -1, &len, nullptr), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY090 Invalid string or buffer length.");
}

// The name and the label of column 1 into a buffer of 16 units of a form.
template <class Unit, auto describe>
SQLRETURN NameOfColumn1(SQLHSTMT h, SQLLEN*) {
  Unit name[16];
  SQLSMALLINT len = 0;
  return describe(h, 1, name, 16, &len, nullptr, nullptr, nullptr, nullptr);
}
template <class Unit, auto attribute>
SQLRETURN LabelOfColumn1(SQLHSTMT h, SQLLEN* a) {
  Unit label[16];
  SQLSMALLINT len = 0;
  return attribute(h, 1, SQL_DESC_LABEL, label, sizeof label, &len, a);
}

TEST_F(ColumnDescriptionTest, ColumnNumbersAndIdentifiersAreChecked) {
  // A Japanese name outside the 16-bit plane: neither ASCII (narrow) nor
  // UCS-2 (wide) can hold it.
  ASSERT_EQ(Open(fake::Table::Sample({Column::Double("\xF0\xA0\xAE\xB7")}, 1), fake::Blocks{}, 9),
            SQL_SUCCESS);
  ASSERT_EQ(QVOSetStmtAttr(stmt, QVO_ANSI_ARG_ENCODING, const_cast<char*>("ASCII"), SQL_NTS),
            SQL_SUCCESS);
  ASSERT_EQ(QVOSetStmtAttr(stmt, QVO_UNICODE_ARG_ENCODING, const_cast<char*>("UCS-2"), SQL_NTS),
            SQL_SUCCESS);
  SQLLEN attr = 0;
  SQLSMALLINT native = 0;
  struct Case {
    const char* name;
    SQLRETURN (*call)(SQLHSTMT, SQLLEN*);
    SQLRETURN rc;
    const char* diag;
    SQLINTEGER native = 0;  // of the record, checked when not 0
  };
  const Case cases[] = {
      {"describe 0",
       [](SQLHSTMT h, SQLLEN*) {
         return QVODescribeCol(h, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
       },
       SQL_ERROR, "07009 Invalid descriptor index."},
      {"describe 2",
       [](SQLHSTMT h, SQLLEN*) {
         return QVODescribeCol(h, 2, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
       },
       SQL_ERROR, "HY010 Column number out of range or no columns found."},
      {"describe 40000",
       [](SQLHSTMT h, SQLLEN*) {
         return QVODescribeCol(h, 40000, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
       },
       SQL_ERROR, "HY010 Column number out of range or no columns found."},
      {"attribute 0",
       [](SQLHSTMT h, SQLLEN* a) { return QVOColAttribute(h, 0, SQL_DESC_TYPE, 0, 0, 0, a); },
       SQL_ERROR, "07009 Invalid descriptor index."},
      {"attribute 2",
       [](SQLHSTMT h, SQLLEN* a) { return QVOColAttribute(h, 2, SQL_DESC_TYPE, 0, 0, 0, a); },
       SQL_ERROR, "07009 Invalid descriptor index."},
      {"money", [](SQLHSTMT h, SQLLEN* a) { return QVOColAttribute(h, 1, 9, 0, 0, 0, a); },
       SQL_SUCCESS, ""},
      {"1211", [](SQLHSTMT h, SQLLEN* a) { return QVOColAttribute(h, 1, 1211, 0, 0, 0, a); },
       SQL_SUCCESS, ""},
      {"1200", [](SQLHSTMT h, SQLLEN* a) { return QVOColAttribute(h, 1, 1200, 0, 0, 0, a); },
       SQL_ERROR, "HY090 Unsupported SQL Server column attribute."},
      {"unknown", [](SQLHSTMT h, SQLLEN* a) { return QVOColAttribute(h, 1, 9999, 0, 0, 0, a); },
       SQL_ERROR, "HY091 Invalid descriptor field identifier."},
      {"text without any output",
       [](SQLHSTMT h, SQLLEN* a) { return QVOColAttribute(h, 1, SQL_DESC_LABEL, 0, 0, 0, a); },
       SQL_ERROR, "HY090 Invalid string or buffer length."},
      {"describe a name the code set cannot hold", &NameOfColumn1<SQLCHAR, QVODescribeCol>,
       SQL_ERROR, "HY995 Error converting column name to the codeset of the statements.", -1},
      {"describe its length only",
       [](SQLHSTMT h, SQLLEN*) {
         SQLSMALLINT len = 0;
         return QVODescribeCol(h, 1, nullptr, 0, &len, nullptr, nullptr, nullptr, nullptr);
       },
       SQL_ERROR, "HY995 Error converting column name to the codeset of the statements.", -1},
      {"describe W a name the code set cannot hold", &NameOfColumn1<SQLWCHAR, QVODescribeColW>,
       SQL_ERROR, "HY995 Error converting column name to the codeset of the statements.", -1},
      {"describe the type beside such a name",
       [](SQLHSTMT h, SQLLEN* a) {
         SQLSMALLINT type = 0;
         const SQLRETURN rc =
             QVODescribeCol(h, 1, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr);
         *a = type == SQL_DOUBLE ? 0 : type;
         return rc;
       },
       SQL_SUCCESS, ""},
      {"label the code set cannot hold", &LabelOfColumn1<char, QVOColAttribute>, SQL_ERROR,
       "HY000 Cannot convert from UTF-8 to ASCII: invalid or unconvertible character at byte 0.",
       -1},
      {"label W the code set cannot hold", &LabelOfColumn1<SQLWCHAR, QVOColAttributeW>, SQL_ERROR,
       "HY000 Cannot convert from UTF-8 to UCS-2: invalid or unconvertible character at byte 0.",
       -1},
  };
  for (const Case& c : cases) {
    attr = -5;
    EXPECT_EQ(c.call(stmt, &attr), c.rc) << c.name;
    EXPECT_EQ(LastDiag(*s), c.diag) << c.name;
    // A refusal is one record; a success none.
    const std::vector<api::Record> records = api::Records(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(records.size(), c.rc == SQL_ERROR ? 1u : 0u) << c.name;
    if (c.native != 0 && !records.empty()) {
      EXPECT_EQ(records[0].native, c.native) << c.name;
    }
    if (c.rc == SQL_SUCCESS) {
      EXPECT_EQ(attr, 0) << c.name;
    }
  }
  EXPECT_EQ(QVODescribeCol2(stmt, 0, &native), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "07009 Invalid descriptor index.");
  // Unbinding a column beyond the count still grows the ARD to it.
  EXPECT_EQ(QVOBindCol(stmt, 4, SQL_C_CHAR, nullptr, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(s->ARD()->header.count, 4);
}

// A refused bind is told once on the statement, however many came before it,
// and leaves nothing behind on the descriptor.
TEST_F(ColumnDescriptionTest, EveryRefusedBindGivesItsOwnRecordOnly) {
  ASSERT_EQ(Open(fake::Table::Sample({Column::Double("F")}, 1), fake::Blocks{}, 9), SQL_SUCCESS);
  char buffer[8];
  SQLLEN length = 0;
  for (SQLSMALLINT cType : {QVO_WCHAR_UTF16, QVO_WCHAR_UTF8, SQL_INTERVAL_DAY}) {
    SCOPED_TRACE(cType);
    EXPECT_EQ(QVOBindCol(stmt, 1, cType, buffer, sizeof buffer, &length), SQL_ERROR);
    EXPECT_EQ(DiagsOf(*s).size(), 1u);
    EXPECT_TRUE(DiagsOf(*s->ARD()).empty());
  }
}

}  // namespace
