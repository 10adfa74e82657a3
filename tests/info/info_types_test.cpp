// Every information type against one loaded connection: kind, value,
// reported length and return code, through the connection's GetInfo and
// through QVOGetInfo and QVOGetInfoW, texts with a generous, an exact and a
// short buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/qvoPredicates.h"
#include "info/info_fixture.h"
#include "info/qvoInfoTypes.h"

namespace {

// The server's view for this file: every capability with a value that tells
// its field apart from its neighbours.
const std::vector<ViewRow> kView = {
    {"SQL92DatetimeFunctions", "current_date"},
    {"SQL92ForeignKeyDeleteRule", "cascade,setNull"},
    {"SQL92ForeignKeyUpdateRule", "noAction"},
    {"SQL92Grant", "selectTable,withGrantOption"},
    {"SQL92StringFunctions", "LOWER,UPPER"},
    {"SQLKeywords", "LIMIT,MINUS,NOLOCK"},
    {"aggregateFunctions", "AVG,COUNT,MAX,MIN,SUM,DISTINCT,ALL"},
    {"allProceduresAreCallable", "0"},
    {"allTablesAreSelectable", "1"},
    {"catalogSeparator", "."},
    {"catalogTerm", "catalog"},
    {"collationSequence", "UTF8"},
    {"createAssertion", "constraintDeferrable"},
    {"createCharacterSet", "createCharacterSet,collateClause"},
    {"createCollation", "7"},
    {"databaseIncrementVersion", "17"},
    {"databaseMajorVersion", "5"},
    {"databaseMinorVersion", "0"},
    {"databaseName", "prod"},
    {"databaseProductName", "Vandrel"},
    {"datetimeLiterals", "date,time,timestamp"},
    {"defaultTransactionIsolation", "2"},
    {"dropAssertion", "0"},
    {"dropCharacterSet", "1"},
    {"dropCollation", "0"},
    {"dropDomain", "dropDomain,cascade"},
    {"dropSchema", "dropSchema,restrict"},
    {"dropTable", "dropTable,cascade,restrict"},
    {"dropTranslation", "1"},
    {"dropView", "restrict"},
    {"indexKeywords", "asc,desc"},
    {"infoSchemaViews", "TABLES,VIEWS"},
    {"insertStatement", "literals,searched,into"},
    {"isCatalogAtStart", "1"},
    {"isReadOnly", "0"},
    {"maxBinaryLiteralLength", "112000"},
    {"maxCatalogNameLength", "34"},
    {"maxCharLiteralLength", "108000"},
    {"maxColumnNameLength", "30"},
    {"maxColumnsInGroupBy", "97"},
    {"maxColumnsInIndex", "98"},
    {"maxColumnsInOrderBy", "99"},
    {"maxColumnsInSelect", "100"},
    {"maxColumnsInTable", "65537"},
    {"maxConnections", "11"},
    {"maxCursorNameLength", "31"},
    {"maxDataMessageSize", "5000000"},
    {"maxIdentifierLength", "128"},
    {"maxIndexLength", "102000"},
    {"maxProcedureNameLength", "33"},
    {"maxRowSize", "104000"},
    {"maxRowSizeIncludesLong", "1"},
    {"maxSchemaNameLength", "32"},
    {"maxStatements", "12"},
    {"maxTableNameLength", "35"},
    {"maxTablesInSelect", "106"},
    {"maxUserNameLength", "107"},
    {"nullCollation", "HIGH"},
    {"nullPlusNonNullIsNull", "1"},
    {"numericFunctions", "ABS,ATAN2"},
    {"orderByColumnsInSelect", "0"},
    {"outerJoinCapabilities", "left,right,full"},
    {"quotedIdentifierCase", "upper,mixed"},
    {"storesLowerCaseIdentifiers", "0"},
    {"storesLowerCaseQuotedIdentifiers", "1"},
    {"storesMixedCaseIdentifiers", "1"},
    {"storesMixedCaseQuotedIdentifiers", "0"},
    {"storesUpperCaseIdentifiers", "1"},
    {"storesUpperCaseQuotedIdentifiers", "0"},
    {"stringFunctions", "Ascii,LEFT"},
    {"supportedEncodings", "UTF8,ASCII"},
    {"supportedTransactionIsolationLevels", "10"},
    {"supportsANSI92EntryLevelSQL", "1"},
    {"supportsANSI92FullSQL", "0"},
    {"supportsANSI92IntermediateSQL", "1"},
    {"supportsAlterDomain", "0"},
    {"supportsAlterTable", "1"},
    {"supportsAlterTableWithAddColumn", "1"},
    {"supportsAlterTableWithDropColumn", "0"},
    {"supportsCast", "1"},
    {"supportsCatalogsInDataManipulation", "1"},
    {"supportsCatalogsInIndexDefinitions", "1"},
    {"supportsCatalogsInPrivilegeDefinitions", "0"},
    {"supportsCatalogsInProcedureCalls", "1"},
    {"supportsCatalogsInTableDefinitions", "0"},
    {"supportsColumnAliasing", "1"},
    {"supportsConvert", "0"},
    {"supportsCorrelatedSubqueries", "1"},
    {"supportsExpressionsInOrderBy", "1"},
    {"supportsFIPS127_2_transitional", "0"},
    {"supportsLikeEscapeClause", "1"},
    {"supportsMultipleResultSets", "0"},
    {"supportsMultipleTransactions", "1"},
    {"supportsNonNullableColumns", "1"},
    {"supportsOuterJoins", "1"},
    {"supportsSchemasInDataManipulation", "1"},
    {"supportsSchemasInIndexDefinitions", "0"},
    {"supportsSchemasInPrivilegeDefinitions", "1"},
    {"supportsSchemasInProcedureCalls", "0"},
    {"supportsSchemasInTableDefinitions", "1"},
    {"supportsStoredProcedures", "1"},
    {"supportsSubqueriesInComparisons", "1"},
    {"supportsSubqueriesInExists", "1"},
    {"supportsSubqueriesInIns", "0"},
    {"supportsSubqueriesInQuantifieds", "1"},
    {"supportsUnion", "1"},
    {"supportsUnionAll", "1"},
    {"systemFunctions", "IFNULL,USERNAME"},
    {"timeDateFunctions", "NOW,YEAR,extract"},
};

enum class Kind { Text, UShort, UInteger, None };

struct Expect {
  SQLUSMALLINT type;
  Kind kind;
  SQLUINTEGER number = 0;
  const char* text = "";
  SQLSMALLINT width = -1;  // the reported length of a number; -1: the kind's own
};

constexpr Expect T(SQLUSMALLINT type, const char* text) { return {type, Kind::Text, 0, text}; }
constexpr Expect S(SQLUSMALLINT type, SQLUINTEGER n) { return {type, Kind::UShort, n}; }
constexpr Expect I(SQLUSMALLINT type, SQLUINTEGER n) { return {type, Kind::UInteger, n}; }
constexpr Expect N(SQLUSMALLINT type, SQLSMALLINT width = 4) {
  return {type, Kind::None, 0, "", width};
}

// Every answered type with its answer for kView, the user "alice", the data
// source "DSN1" and the escape "\" on a connection that is not connected.
const Expect kExpected[] = {
    S(0, 11),
    S(1, 12),
    T(2, "DSN1"),
    N(3),
    N(4),
    N(5),
    T(7, "5.0.17"),
    I(8, 0x3F),
    S(9, 1),
    T(10, "03.52.0000"),
    T(11, "N"),
    S(12, 0),
    T(13, "Vandrel"),
    T(14, "\\"),
    S(15, 0),
    T(16, ""),
    T(17, "Vandrel"),
    T(18, "05.00.0017"),
    T(19, "Y"),
    T(20, "N"),
    T(21, "Y"),
    S(22, 0),
    S(23, 2),
    S(24, 2),
    T(25, "N"),
    I(26, 2),
    T(27, "Y"),
    S(28, 5),
    T(29, "\""),
    S(30, 30),
    S(31, 31),
    S(32, 32),
    S(33, 33),
    S(34, 34),
    S(35, 35),
    T(36, "N"),
    T(37, "Y"),
    T(38, "Y"),
    T(39, "schema"),
    T(40, "procedure"),
    T(41, "."),
    T(42, "catalog"),
    I(43, 1),
    I(44, 0x10),
    T(45, "table"),
    S(46, 2),
    T(47, "alice"),
    I(48, 2),
    I(49, 0x11),
    I(50, 0x2004),
    I(51, 5),
    I(52, 0x100101),
    I(53, 0x71FF),
    I(54, 0),
    I(55, 0x71FF),
    I(56, 0x2F1FF),
    I(57, 0x28101),
    I(58, 0x71FF),
    I(59, 0x71FF),
    I(60, 0x71FF),
    I(61, 0x71FF),
    I(62, 0),
    I(63, 0x71FF),
    I(64, 0x71FF),
    I(65, 0x71FF),
    I(66, 0),
    I(67, 0x28101),
    I(68, 0x71FF),
    I(69, 0),
    I(70, 0x2F1FF),
    I(71, 0),
    I(72, 10),
    T(73, "N"),
    S(74, 2),
    S(75, 1),
    N(76),
    T(77, "03.52"),
    I(78, 1),
    I(79, 1),
    I(80, 0),
    I(81, 0xF),
    I(82, 0),
    I(83, 7),
    S(84, 0),
    S(85, 0),
    I(86, 1),
    T(87, "Y"),
    S(88, 2),
    T(89, "LIMIT,MINUS,NOLOCK"),
    T(90, "N"),
    I(91, 0x15),
    I(92, 0xB),
    S(93, 4),
    T(94, "~@#$%^&*_-+=\\}{\"';:?/><,.![]|"),
    I(95, 0x1B),
    I(96, 3),
    S(97, 97),
    S(98, 98),
    S(99, 99),
    S(100, 100),
    S(101, 1),
    I(102, 102000),
    T(103, "Y"),
    I(104, 104000),
    I(105, 5000000),
    S(106, 106),
    S(107, 107),
    I(108, 108000),
    I(109, 0),
    I(110, 0),
    T(111, "N"),
    I(112, 112000),
    T(113, "Y"),
    S(114, 1),
    I(115, 7),
    S(116, 0),
    I(117, 0),
    I(118, 5),
    I(119, 7),
    I(120, 0),
    I(121, 0),
    I(122, 0x2F1FF),
    I(123, 0),
    I(124, 0),
    I(125, 0),
    I(126, 0),
    I(127, 0x40),
    I(128, 3),
    I(129, 1),
    I(130, 0),
    I(131, 1),
    I(132, 1),
    I(133, 0),
    I(134, 1),
    N(135),
    I(136, 0),
    I(137, 1),
    I(138, 0),
    I(139, 5),
    I(140, 3),
    I(141, 7),
    I(142, 1),
    I(143, 2),
    I(144, 0),
    I(145, 0),
    I(146, 1),
    I(147, 1),
    I(148, 3),
    I(149, 0x420000),
    I(150, 7),
    I(151, 1),
    I(152, 1),
    I(153, 2),
    I(154, 1),
    I(155, 1),
    I(156, 9),
    I(157, 2),
    I(158, 0x410),
    I(159, 0),
    I(160, 0),
    I(161, 0),
    I(162, 0),
    I(163, 0),
    I(164, 6),
    I(165, 0),
    I(166, 2),
    I(167, 0x8120F),
    I(168, 1),
    I(169, 0x7F),
    I(170, 0),
    N(171, 0),
    I(172, 7),
    {173, Kind::UInteger, 0, "", 0},
    {1024, Kind::UShort, 0, "", 0},
    I(1750, 3),
    T(10000, "1995"),
    I(10001, 1),
    T(10002, "Y"),
    T(10003, "Y"),
    T(10004, "UTF8"),
    S(10005, 128),
    I(10021, 3),
    I(10022, 0),
    {10023, Kind::UInteger, 0, "", 0},
};

class InfoTypesTest : public InfoConnectionTest {
 protected:
  void SetUp() override {
    InfoConnectionTest::SetUp();
    StandInView::rows = kView;
    ASSERT_EQ(QVOSetConnectAttr(dbc, 21007, const_cast<char*>("DSN1"), SQL_NTS), SQL_SUCCESS);
    conn->connAttr.userName.reset(new char[6]{'a', 'l', 'i', 'c', 'e', '\0'});
    conn->connAttr.userNameLen = 5;
    conn->SetEscapePattern("\\", 1);
  }

  // One call of each form for a text: buffer of `size` bytes (W: `size`
  // bytes too) filled with 'x' beforehand.
  struct TextCall {
    SQLRETURN rc;
    std::string text;
    SQLSMALLINT length;
  };
  TextCall Narrow(SQLUSMALLINT type, SQLSMALLINT size, bool exported) {
    std::vector<char> buffer(64 + static_cast<size_t>(size), 'x');
    SQLSMALLINT length = -7;
    const SQLRETURN rc =
        exported ? QVOGetInfo(dbc, static_cast<SQLSMALLINT>(type), buffer.data(), size, &length)
                 : conn->GetInfo(type, buffer.data(), size, &length);
    EXPECT_EQ(buffer[static_cast<size_t>(size)], 'x') << "written past the buffer";
    const size_t n = size > 0 ? ::strnlen(buffer.data(), static_cast<size_t>(size)) : 0;
    if (size > 0) {
      EXPECT_LT(n, static_cast<size_t>(size)) << "not terminated";
    }
    return {rc, std::string(buffer.data(), n), length};
  }
  TextCall Wide(SQLUSMALLINT type, SQLSMALLINT size) {
    std::vector<char> buffer(64 + static_cast<size_t>(size), 'x');
    SQLSMALLINT length = -7;
    const SQLRETURN rc =
        QVOGetInfoW(dbc, static_cast<SQLSMALLINT>(type), buffer.data(), size, &length);
    EXPECT_EQ(buffer[static_cast<size_t>(size)], 'x') << "written past the buffer";
    std::u16string units;
    for (size_t i = 0; i + 1 < static_cast<size_t>(size); i += 2) {
      char16_t u;
      std::memcpy(&u, buffer.data() + i, 2);
      if (u == 0) break;
      units.push_back(u);
    }
    std::string ascii(units.begin(), units.end());
    return {rc, ascii, length};
  }
};

TEST_F(InfoTypesTest, TheTableAnswersExactlyTheseTypesWithTheirKinds) {
  std::set<SQLUSMALLINT> expected;
  for (const Expect& e : kExpected) expected.insert(e.type);
  std::set<SQLUSMALLINT> answered;
  for (const qvoInfoType& row : InfoTypes()) {
    answered.insert(row.type);
    const auto t = static_cast<SQLSMALLINT>(row.type);
    const bool text = row.kind == qvoInfoKind::Text || row.kind == qvoInfoKind::YesNo;
    // Text types are those the entry points convert; 171 is one, answered
    // with nothing.
    EXPECT_EQ(IsInfoValueChar(t) != 0, text || row.type == 171) << row.name;
    if (row.kind == qvoInfoKind::UShort && row.type != 1024) {
      EXPECT_EQ(InfoValueSize(t), 2) << row.name;
    }
    if (row.kind == qvoInfoKind::UInteger && row.type != 173 && row.type != 10023) {
      EXPECT_EQ(InfoValueSize(t), 4) << row.name;
    }
  }
  EXPECT_EQ(answered, expected);
  EXPECT_EQ(answered.size(), 184u);
  EXPECT_EQ(answered.count(6), 0u);
}

TEST_F(InfoTypesTest, EveryTypeAnswersWithItsValueInEveryForm) {
  for (const Expect& e : kExpected) {
    SCOPED_TRACE("info type " + std::to_string(e.type));
    const auto t = static_cast<SQLSMALLINT>(e.type);
    switch (e.kind) {
      case Kind::UShort:
      case Kind::UInteger:
      case Kind::None: {
        const SQLSMALLINT width = e.width >= 0 ? e.width : (e.kind == Kind::UShort ? 2 : 4);
        for (int form = 0; form < 3; ++form) {
          unsigned char buffer[8];
          std::memset(buffer, 0xAB, sizeof buffer);
          SQLSMALLINT length = -7;
          const SQLRETURN rc = form == 0   ? conn->GetInfo(e.type, buffer, 0, &length)
                               : form == 1 ? QVOGetInfo(dbc, t, buffer, 0, &length)
                                           : QVOGetInfoW(dbc, t, buffer, 0, &length);
          EXPECT_EQ(rc, SQL_SUCCESS) << "form " << form;
          EXPECT_EQ(length, width) << "form " << form;
          if (e.kind == Kind::UShort) {
            SQLUSMALLINT v;
            std::memcpy(&v, buffer, 2);
            EXPECT_EQ(v, e.number) << "form " << form;
            EXPECT_EQ(buffer[2], 0xAB);
          } else if (e.kind == Kind::UInteger) {
            SQLUINTEGER v;
            std::memcpy(&v, buffer, 4);
            EXPECT_EQ(v, e.number) << "form " << form;
            EXPECT_EQ(buffer[4], 0xAB);
          } else {
            EXPECT_EQ(buffer[0], 0xAB) << "form " << form << ": nothing is written";
          }
        }
        break;
      }
      case Kind::Text: {
        const std::string want = e.text;
        const auto size = static_cast<SQLSMALLINT>(want.size());
        for (bool exported : {false, true}) {
          const TextCall generous = Narrow(e.type, 200, exported);
          EXPECT_EQ(generous.rc, SQL_SUCCESS);
          EXPECT_EQ(generous.text, want);
          EXPECT_EQ(generous.length, size);
          const TextCall exact = Narrow(e.type, static_cast<SQLSMALLINT>(size + 1), exported);
          EXPECT_EQ(exact.rc, SQL_SUCCESS);
          EXPECT_EQ(exact.text, want);
          if (size == 0) continue;
          const TextCall shortBuffer = Narrow(e.type, size, exported);
          EXPECT_EQ(shortBuffer.rc, SQL_SUCCESS_WITH_INFO);
          EXPECT_EQ(shortBuffer.text, want.substr(0, want.size() - 1));
          EXPECT_EQ(shortBuffer.length, size) << "the whole length";
          EXPECT_EQ(LastState(), "01004 String data, right truncated.");
        }
        const TextCall wide = Wide(e.type, 400);
        EXPECT_EQ(wide.rc, SQL_SUCCESS);
        EXPECT_EQ(wide.text, want);
        EXPECT_EQ(wide.length, 2 * size) << "bytes";
        const TextCall wideExact = Wide(e.type, static_cast<SQLSMALLINT>(2 * size + 2));
        EXPECT_EQ(wideExact.rc, SQL_SUCCESS);
        EXPECT_EQ(wideExact.text, want);
        if (size == 0) break;
        const TextCall wideShort = Wide(e.type, static_cast<SQLSMALLINT>(2 * size));
        EXPECT_EQ(wideShort.rc, SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(wideShort.text, want.substr(0, want.size() - 1));
        EXPECT_EQ(wideShort.length, 2 * size);
        break;
      }
    }
  }
  EXPECT_EQ(StandInView::reads, 1) << "the server's values are read once";
}

}  // namespace
