// The table of information types. Conversion masks use the ODBC SQL_CVT_
// bits: 0x71FF is the numeric and character types with BIT, TINYINT and
// BIGINT; 0x2F1FF adds DATE and TIMESTAMP; 0x28101 is CHAR, VARCHAR, DATE
// and TIMESTAMP.

#include "info/qvoInfoTypes.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/qvoServices.h"
#include "connection/qvoConnection.h"

namespace {

using A = connectionAttr;
using K = qvoInfoKind;
using S = qvoInfoSource;

// ---- row builders -------------------------------------------------------------------

constexpr qvoInfoType Fixed(SQLUSMALLINT t, const char* n, K kind, SQLUINTEGER v) {
  return {t, n, kind, S::Constant, false, v};
}
constexpr qvoInfoType Fixed16(SQLUSMALLINT t, const char* n, SQLUINTEGER v) {
  return Fixed(t, n, K::UShort, v);
}
constexpr qvoInfoType Fixed32(SQLUSMALLINT t, const char* n, SQLUINTEGER v) {
  return Fixed(t, n, K::UInteger, v);
}
constexpr qvoInfoType FixedYesNo(SQLUSMALLINT t, const char* n, bool yes) {
  return Fixed(t, n, K::YesNo, yes ? 1 : 0);
}
constexpr qvoInfoType FixedText(SQLUSMALLINT t, const char* n, const char* text) {
  return {t, n, K::Text, S::Constant, false, 0, text};
}
constexpr qvoInfoType Nothing(SQLUSMALLINT t, const char* n) {
  return {t, n, K::None, S::Constant, false};
}
// A DB_METADATA number (or flag, for YesNo).
constexpr qvoInfoType Server(SQLUSMALLINT t, const char* n, K kind, SQLUINTEGER A::*f) {
  return {t, n, kind, S::Number, true, 0, nullptr, f};
}
constexpr qvoInfoType Text(SQLUSMALLINT t, const char* n, qvoOwnedText A::*f, bool loads) {
  return {t, n, K::Text, S::Text, loads, 0, nullptr, nullptr, f};
}
constexpr qvoInfoType Bits(SQLUSMALLINT t, const char* n, K kind,
                           std::span<const qvoInfoBit> bits) {
  return {t, n, kind, S::Bits, true, 0, nullptr, nullptr, nullptr, bits};
}
constexpr qvoInfoType Keywords(SQLUSMALLINT t, const char* n, K kind, qvoOwnedText A::*f,
                               const qvoKeywordList& list) {
  return {t, n, kind, S::Keywords, true, 0, nullptr, nullptr, f, {}, &list};
}
constexpr qvoInfoType Computed(SQLUSMALLINT t, const char* n, K kind, bool loads,
                               qvoInfoCompute fn) {
  return {t, n, kind, S::Computed, loads, 0, nullptr, nullptr, nullptr, {}, nullptr, fn};
}

// ---- flag groups --------------------------------------------------------------------

constexpr qvoInfoBit kIdentifierCase[] = {{&A::storesUpperCaseIdentifiers, 1},
                                          {&A::storesLowerCaseIdentifiers, 2},
                                          {&A::storesMixedCaseIdentifiers, 4}};
constexpr qvoInfoBit kConvertFunctions[] = {{&A::supportsConvert, 1}, {&A::supportsCast, 2}};
constexpr qvoInfoBit kSchemaUsage[] = {{&A::supportsSchemasInDataManipulation, 0x1},
                                       {&A::supportsSchemasInProcedureCalls, 0x2},
                                       {&A::supportsSchemasInTableDefinitions, 0x4},
                                       {&A::supportsSchemasInIndexDefinitions, 0x8},
                                       {&A::supportsSchemasInPrivilegeDefinitions, 0x10}};
constexpr qvoInfoBit kCatalogUsage[] = {{&A::supportsCatalogsInDataManipulation, 0x1},
                                        {&A::supportsCatalogsInProcedureCalls, 0x2},
                                        {&A::supportsCatalogsInTableDefinitions, 0x4},
                                        {&A::supportsCatalogsInIndexDefinitions, 0x8},
                                        {&A::supportsCatalogsInPrivilegeDefinitions, 0x10}};
constexpr qvoInfoBit kSubqueries[] = {{&A::supportsSubqueriesInComparisons, 0x1},
                                      {&A::supportsSubqueriesInExists, 0x2},
                                      {&A::supportsSubqueriesInIns, 0x4},
                                      {&A::supportsSubqueriesInQuantifieds, 0x8},
                                      {&A::supportsCorrelatedSubqueries, 0x10}};
constexpr qvoInfoBit kUnion[] = {{&A::supportsUnion, 1}, {&A::supportsUnionAll, 2}};
constexpr qvoInfoBit kSqlConformance[] = {{&A::supportsANSI92EntryLevelSQL, 1},
                                          {&A::supportsFIPS127_2_transitional, 2},
                                          {&A::supportsANSI92IntermediateSQL, 4},
                                          {&A::supportsANSI92FullSQL, 8}};
constexpr qvoInfoBit kCreateCollation[] = {{&A::createCollation, 1}};

// ---- computed values ----------------------------------------------------------------

constexpr const char* kCognosVersion = "12.02.0040";

qvoInfoValue TextValue(std::string text) { return {0, std::move(text)}; }
qvoInfoValue NumberValue(SQLUINTEGER n) { return {n, {}}; }

std::string OwnedOrEmpty(const qvoOwnedText& text) { return text ? text.get() : ""; }

// A fixed-size text field, read no further than its size.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, ::strnlen(field, N));
}

qvoInfoValue DriverVersion(const qvoConnection& c) {
  return TextValue(c.cognosSupport ? kCognosVersion : "5.0.17");
}

qvoInfoValue ServerName(const qvoConnection& c) {
  const __ConnectionStru& s = c.server;
  if (c.isConnected() == 1 && s.qvoServerLen > 0 && s.qvoPortLen > 0)
    return TextValue(FieldText(s.qvoServer) + ":" + FieldText(s.qvoPort));
  return TextValue(OwnedOrEmpty(c.connAttr.databaseProductName));
}

qvoInfoValue SearchEscape(const qvoConnection& c) {
  return TextValue(FieldText(c.connAttr.searchStringEscape));
}

qvoInfoValue DbmsName(const qvoConnection& c) {
  return TextValue(c.cognosSupport ? "Oracle" : OwnedOrEmpty(c.connAttr.databaseProductName));
}

qvoInfoValue DbmsVersion(const qvoConnection& c) {
  if (c.cognosSupport) return TextValue(kCognosVersion);
  char text[20];
  std::snprintf(text, sizeof text, "%02u.%02u.%04u", c.connAttr.databaseMajorVersion,
                c.connAttr.databaseMinorVersion, c.connAttr.databaseIncrementVersion);
  return TextValue(text);
}

qvoInfoValue ConcatNullBehavior(const qvoConnection& c) {
  return NumberValue(c.connAttr.nullPlusNonNullIsNull ? 0 : 1);
}

qvoInfoValue IdentifierQuote(const qvoConnection& c) {
  return TextValue(FieldText(c.connAttr.identifierQuoteString));
}

qvoInfoValue UserName(const qvoConnection& c) {
  const connectionAttr& a = c.connAttr;
  if (!a.userName || a.userNameLen <= 0) return TextValue("");
  return TextValue(std::string(a.userName.get(),
                               ::strnlen(a.userName.get(), static_cast<size_t>(a.userNameLen))));
}

qvoInfoValue DriverOdbcVersion(const qvoConnection&) {
  return TextValue(actualOdbcVersion().GetVersionStr());
}

qvoInfoValue NullCollation(const qvoConnection& c) {
  const char* text = c.connAttr.nullCollation.get();
  return NumberValue(text && ::strcasecmp(text, "high") == 0 ? 0 : 1);
}

qvoInfoValue AlterTable(const qvoConnection& c) {
  const connectionAttr& a = c.connAttr;
  if (!a.supportsAlterTable) return NumberValue(0);
  return NumberValue((a.supportsAlterTableWithAddColumn ? 1u : 0u) |
                     (a.supportsAlterTableWithDropColumn ? 2u : 0u));
}

qvoInfoValue RowSizeIncludesLong(const qvoConnection& c) {
  return NumberValue(c.connAttr.maxRowSizeIncludesLong == 1 ? 1 : 0);
}

qvoInfoValue MaxStatementLength(const qvoConnection& c) {
  return NumberValue(static_cast<SQLUINTEGER>(c.connAttr.maxDataMessageSize));
}

// ---- the table ----------------------------------------------------------------------

namespace kw = qvo_keywords;

constexpr qvoInfoType kInfoTypes[] = {
    Server(0, "SQL_MAX_DRIVER_CONNECTIONS", K::UShort, &A::maxConnections),
    Server(1, "SQL_MAX_CONCURRENT_ACTIVITIES", K::UShort, &A::maxStatements),
    Text(2, "SQL_DATA_SOURCE_NAME", &A::dsnName, false),
    Nothing(3, "SQL_DRIVER_HDBC"),
    Nothing(4, "SQL_DRIVER_HENV"),
    Nothing(5, "SQL_DRIVER_HSTMT"),
    // 6, SQL_DRIVER_NAME, is not answered.
    Computed(7, "SQL_DRIVER_VER", K::Text, false, DriverVersion),
    Fixed32(8, "SQL_FETCH_DIRECTION", 0x3F),
    Fixed16(9, "SQL_ODBC_API_CONFORMANCE", 1),
    FixedText(10, "SQL_ODBC_VER", "03.52.0000"),
    FixedYesNo(11, "SQL_ROW_UPDATES", false),
    Fixed16(12, "SQL_ODBC_SAG_CLI_CONFORMANCE", 0),
    Computed(13, "SQL_SERVER_NAME", K::Text, false, ServerName),
    Computed(14, "SQL_SEARCH_PATTERN_ESCAPE", K::Text, false, SearchEscape),
    Fixed16(15, "SQL_ODBC_SQL_CONFORMANCE", 0),
    FixedText(16, "SQL_DATABASE_NAME", ""),
    Computed(17, "SQL_DBMS_NAME", K::Text, true, DbmsName),
    Computed(18, "SQL_DBMS_VER", K::Text, true, DbmsVersion),
    Server(19, "SQL_ACCESSIBLE_TABLES", K::YesNo, &A::allTablesAreSelectable),
    Server(20, "SQL_ACCESSIBLE_PROCEDURES", K::YesNo, &A::allProceduresAreCallable),
    Server(21, "SQL_PROCEDURES", K::YesNo, &A::supportsStoredProcedures),
    Computed(22, "SQL_CONCAT_NULL_BEHAVIOR", K::UShort, true, ConcatNullBehavior),
    Fixed16(23, "SQL_CURSOR_COMMIT_BEHAVIOR", 2),
    Fixed16(24, "SQL_CURSOR_ROLLBACK_BEHAVIOR", 2),
    Server(25, "SQL_DATA_SOURCE_READ_ONLY", K::YesNo, &A::isReadOnly),
    Server(26, "SQL_DEFAULT_TXN_ISOLATION", K::UInteger, &A::defaultTransactionIsolation),
    Server(27, "SQL_EXPRESSIONS_IN_ORDERBY", K::YesNo, &A::supportsExpressionsInOrderBy),
    Bits(28, "SQL_IDENTIFIER_CASE", K::UShort, kIdentifierCase),
    Computed(29, "SQL_IDENTIFIER_QUOTE_CHAR", K::Text, false, IdentifierQuote),
    Server(30, "SQL_MAX_COLUMN_NAME_LEN", K::UShort, &A::maxColumnNameLength),
    Server(31, "SQL_MAX_CURSOR_NAME_LEN", K::UShort, &A::maxCursorNameLength),
    Server(32, "SQL_MAX_SCHEMA_NAME_LEN", K::UShort, &A::maxSchemaNameLength),
    Server(33, "SQL_MAX_PROCEDURE_NAME_LEN", K::UShort, &A::maxProcedureNameLength),
    Server(34, "SQL_MAX_CATALOG_NAME_LEN", K::UShort, &A::maxCatalogNameLength),
    Server(35, "SQL_MAX_TABLE_NAME_LEN", K::UShort, &A::maxTableNameLength),
    Server(36, "SQL_MULT_RESULT_SETS", K::YesNo, &A::supportsMultipleResultSets),
    Server(37, "SQL_MULTIPLE_ACTIVE_TXN", K::YesNo, &A::supportsMultipleTransactions),
    Server(38, "SQL_OUTER_JOINS", K::YesNo, &A::supportsOuterJoins),
    FixedText(39, "SQL_SCHEMA_TERM", "schema"),
    FixedText(40, "SQL_PROCEDURE_TERM", "procedure"),
    Text(41, "SQL_CATALOG_NAME_SEPARATOR", &A::catalogSeparator, true),
    Text(42, "SQL_CATALOG_TERM", &A::catalogTerm, true),
    Fixed32(43, "SQL_SCROLL_CONCURRENCY", 1),
    Fixed32(44, "SQL_SCROLL_OPTIONS", 0x10),
    FixedText(45, "SQL_TABLE_TERM", "table"),
    Fixed16(46, "SQL_TXN_CAPABLE", 2),
    Computed(47, "SQL_USER_NAME", K::Text, false, UserName),
    Bits(48, "SQL_CONVERT_FUNCTIONS", K::UInteger, kConvertFunctions),
    Keywords(49, "SQL_NUMERIC_FUNCTIONS", K::UInteger, &A::numericFunctions, kw::numericFunctions),
    Keywords(50, "SQL_STRING_FUNCTIONS", K::UInteger, &A::stringFunctions, kw::stringFunctions),
    Keywords(51, "SQL_SYSTEM_FUNCTIONS", K::UInteger, &A::systemFunctions, kw::systemFunctions),
    Keywords(52, "SQL_TIMEDATE_FUNCTIONS", K::UInteger, &A::timeDateFunctions,
             kw::timeDateFunctions),
    Fixed32(53, "SQL_CONVERT_BIGINT", 0x71FF),
    Fixed32(54, "SQL_CONVERT_BINARY", 0),
    Fixed32(55, "SQL_CONVERT_BIT", 0x71FF),
    Fixed32(56, "SQL_CONVERT_CHAR", 0x2F1FF),
    Fixed32(57, "SQL_CONVERT_DATE", 0x28101),
    Fixed32(58, "SQL_CONVERT_DECIMAL", 0x71FF),
    Fixed32(59, "SQL_CONVERT_DOUBLE", 0x71FF),
    Fixed32(60, "SQL_CONVERT_FLOAT", 0x71FF),
    Fixed32(61, "SQL_CONVERT_INTEGER", 0x71FF),
    Fixed32(62, "SQL_CONVERT_LONGVARCHAR", 0),
    Fixed32(63, "SQL_CONVERT_NUMERIC", 0x71FF),
    Fixed32(64, "SQL_CONVERT_REAL", 0x71FF),
    Fixed32(65, "SQL_CONVERT_SMALLINT", 0x71FF),
    Fixed32(66, "SQL_CONVERT_TIME", 0),
    Fixed32(67, "SQL_CONVERT_TIMESTAMP", 0x28101),
    Fixed32(68, "SQL_CONVERT_TINYINT", 0x71FF),
    Fixed32(69, "SQL_CONVERT_VARBINARY", 0),
    Fixed32(70, "SQL_CONVERT_VARCHAR", 0x2F1FF),
    Fixed32(71, "SQL_CONVERT_LONGVARBINARY", 0),
    Server(72, "SQL_TXN_ISOLATION_OPTION", K::UInteger, &A::supportedTransactionIsolationLevels),
    FixedYesNo(73, "SQL_INTEGRITY", false),
    Fixed16(74, "SQL_CORRELATION_NAME", 2),
    Server(75, "SQL_NON_NULLABLE_COLUMNS", K::UShort, &A::supportsNonNullableColumns),
    Nothing(76, "SQL_DRIVER_HLIB"),
    Computed(77, "SQL_DRIVER_ODBC_VER", K::Text, false, DriverOdbcVersion),
    Fixed32(78, "SQL_LOCK_TYPES", 1),
    Fixed32(79, "SQL_POS_OPERATIONS", 1),
    Fixed32(80, "SQL_POSITIONED_STATEMENTS", 0),
    Fixed32(81, "SQL_GETDATA_EXTENSIONS", 0xF),
    Fixed32(82, "SQL_BOOKMARK_PERSISTENCE", 0),
    Fixed32(83, "SQL_STATIC_SENSITIVITY", 7),
    Fixed16(84, "SQL_FILE_USAGE", 0),
    Computed(85, "SQL_NULL_COLLATION", K::UShort, true, NullCollation),
    Computed(86, "SQL_ALTER_TABLE", K::UInteger, true, AlterTable),
    Server(87, "SQL_COLUMN_ALIAS", K::YesNo, &A::supportsColumnAliasing),
    Fixed16(88, "SQL_GROUP_BY", 2),
    Text(89, "SQL_KEYWORDS", &A::SQLKeywords, true),
    Server(90, "SQL_ORDER_BY_COLUMNS_IN_SELECT", K::YesNo, &A::orderByColumnsInSelect),
    Bits(91, "SQL_SCHEMA_USAGE", K::UInteger, kSchemaUsage),
    Bits(92, "SQL_CATALOG_USAGE", K::UInteger, kCatalogUsage),
    // Loads like the other server values, so that the answer does not
    // depend on whether another type was asked for first.
    Keywords(93, "SQL_QUOTED_IDENTIFIER_CASE", K::UShort, &A::quotedIdentifierCase,
             kw::quotedIdentifierCase),
    FixedText(94, "SQL_SPECIAL_CHARACTERS", "~@#$%^&*_-+=\\}{\"';:?/><,.![]|"),
    Bits(95, "SQL_SUBQUERIES", K::UInteger, kSubqueries),
    Bits(96, "SQL_UNION", K::UInteger, kUnion),
    Server(97, "SQL_MAX_COLUMNS_IN_GROUP_BY", K::UShort, &A::maxColumnsInGroupBy),
    Server(98, "SQL_MAX_COLUMNS_IN_INDEX", K::UShort, &A::maxColumnsInIndex),
    Server(99, "SQL_MAX_COLUMNS_IN_ORDER_BY", K::UShort, &A::maxColumnsInOrderBy),
    Server(100, "SQL_MAX_COLUMNS_IN_SELECT", K::UShort, &A::maxColumnsInSelect),
    Server(101, "SQL_MAX_COLUMNS_IN_TABLE", K::UShort, &A::maxColumnsInTable),
    Server(102, "SQL_MAX_INDEX_SIZE", K::UInteger, &A::maxIndexLength),
    Computed(103, "SQL_MAX_ROW_SIZE_INCLUDES_LONG", K::YesNo, true, RowSizeIncludesLong),
    Server(104, "SQL_MAX_ROW_SIZE", K::UInteger, &A::maxRowSize),
    Computed(105, "SQL_MAX_STATEMENT_LEN", K::UInteger, true, MaxStatementLength),
    Server(106, "SQL_MAX_TABLES_IN_SELECT", K::UShort, &A::maxTablesInSelect),
    Server(107, "SQL_MAX_USER_NAME_LEN", K::UShort, &A::maxUserNameLength),
    Server(108, "SQL_MAX_CHAR_LITERAL_LEN", K::UInteger, &A::maxCharLiteralLength),
    Fixed32(109, "SQL_TIMEDATE_ADD_INTERVALS", 0),
    Fixed32(110, "SQL_TIMEDATE_DIFF_INTERVALS", 0),
    FixedYesNo(111, "SQL_NEED_LONG_DATA_LEN", false),
    Server(112, "SQL_MAX_BINARY_LITERAL_LEN", K::UInteger, &A::maxBinaryLiteralLength),
    Server(113, "SQL_LIKE_ESCAPE_CLAUSE", K::YesNo, &A::supportsLikeEscapeClause),
    Server(114, "SQL_CATALOG_LOCATION", K::UShort, &A::isCatalogAtStart),
    Keywords(115, "SQL_OJ_CAPABILITIES", K::UInteger, &A::outerJoinCapabilities,
             kw::outerJoinCapabilities),
    Fixed16(116, "SQL_ACTIVE_ENVIRONMENTS", 0),
    Server(117, "SQL_ALTER_DOMAIN", K::UInteger, &A::supportsAlterDomain),
    Bits(118, "SQL_SQL_CONFORMANCE", K::UInteger, kSqlConformance),
    Keywords(119, "SQL_DATETIME_LITERALS", K::UInteger, &A::datetimeLiterals, kw::datetimeLiterals),
    Fixed32(120, "SQL_BATCH_ROW_COUNT", 0),
    Fixed32(121, "SQL_BATCH_SUPPORT", 0),
    Fixed32(122, "SQL_CONVERT_WCHAR", 0x2F1FF),
    Fixed32(123, "SQL_CONVERT_INTERVAL_DAY_TIME", 0),
    Fixed32(124, "SQL_CONVERT_INTERVAL_YEAR_MONTH", 0),
    Fixed32(125, "SQL_CONVERT_WLONGVARCHAR", 0),
    Fixed32(126, "SQL_CONVERT_WVARCHAR", 0),
    Keywords(127, "SQL_CREATE_ASSERTION", K::UInteger, &A::createAssertion, kw::createAssertion),
    Keywords(128, "SQL_CREATE_CHARACTER_SET", K::UInteger, &A::createCharacterSet,
             kw::createCharacterSet),
    Bits(129, "SQL_CREATE_COLLATION", K::UInteger, kCreateCollation),
    Fixed32(130, "SQL_CREATE_DOMAIN", 0),
    Fixed32(131, "SQL_CREATE_SCHEMA", 1),
    Fixed32(132, "SQL_CREATE_TABLE", 1),
    Fixed32(133, "SQL_CREATE_TRANSLATION", 0),
    Fixed32(134, "SQL_CREATE_VIEW", 1),
    Nothing(135, "SQL_DRIVER_HDESC"),
    Server(136, "SQL_DROP_ASSERTION", K::UInteger, &A::dropAssertion),
    Server(137, "SQL_DROP_CHARACTER_SET", K::UInteger, &A::dropCharacterSet),
    Server(138, "SQL_DROP_COLLATION", K::UInteger, &A::dropCollation),
    Keywords(139, "SQL_DROP_DOMAIN", K::UInteger, &A::dropDomain, kw::dropDomain),
    Keywords(140, "SQL_DROP_SCHEMA", K::UInteger, &A::dropSchema, kw::dropSchema),
    Keywords(141, "SQL_DROP_TABLE", K::UInteger, &A::dropTable, kw::dropTable),
    Server(142, "SQL_DROP_TRANSLATION", K::UInteger, &A::dropTranslation),
    Keywords(143, "SQL_DROP_VIEW", K::UInteger, &A::dropView, kw::dropView),
    Fixed32(144, "SQL_DYNAMIC_CURSOR_ATTRIBUTES1", 0),
    Fixed32(145, "SQL_DYNAMIC_CURSOR_ATTRIBUTES2", 0),
    Fixed32(146, "SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1", 1),
    Fixed32(147, "SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2", 1),
    Keywords(148, "SQL_INDEX_KEYWORDS", K::UInteger, &A::indexKeywords, kw::indexKeywords),
    Keywords(149, "SQL_INFO_SCHEMA_VIEWS", K::UInteger, &A::infoSchemaViews, kw::infoSchemaViews),
    Fixed32(150, "SQL_KEYSET_CURSOR_ATTRIBUTES1", 7),
    Fixed32(151, "SQL_KEYSET_CURSOR_ATTRIBUTES2", 1),
    Fixed32(152, "SQL_ODBC_INTERFACE_CONFORMANCE", 1),
    Fixed32(153, "SQL_PARAM_ARRAY_ROW_COUNTS", 2),
    Fixed32(154, "SQL_PARAM_ARRAY_SELECTS", 1),
    Keywords(155, "SQL_SQL92_DATETIME_FUNCTIONS", K::UInteger, &A::SQL92DatetimeFunctions,
             kw::sql92DatetimeFunctions),
    Keywords(156, "SQL_SQL92_FOREIGN_KEY_DELETE_RULE", K::UInteger, &A::SQL92ForeignKeyDeleteRule,
             kw::sql92ForeignKeyRule),
    Keywords(157, "SQL_SQL92_FOREIGN_KEY_UPDATE_RULE", K::UInteger, &A::SQL92ForeignKeyUpdateRule,
             kw::sql92ForeignKeyRule),
    Keywords(158, "SQL_SQL92_GRANT", K::UInteger, &A::SQL92Grant, kw::sql92Grant),
    Fixed32(159, "SQL_SQL92_NUMERIC_VALUE_FUNCTIONS", 0),
    Fixed32(160, "SQL_SQL92_PREDICATES", 0),
    Fixed32(161, "SQL_SQL92_RELATIONAL_JOIN_OPERATORS", 0),
    Fixed32(162, "SQL_SQL92_REVOKE", 0),
    Fixed32(163, "SQL_SQL92_ROW_VALUE_CONSTRUCTOR", 0),
    Keywords(164, "SQL_SQL92_STRING_FUNCTIONS", K::UInteger, &A::SQL92StringFunctions,
             kw::sql92StringFunctions),
    Fixed32(165, "SQL_SQL92_VALUE_EXPRESSIONS", 0),
    Fixed32(166, "SQL_STANDARD_CLI_CONFORMANCE", 2),
    Fixed32(167, "SQL_STATIC_CURSOR_ATTRIBUTES1", 0x8120F),
    Fixed32(168, "SQL_STATIC_CURSOR_ATTRIBUTES2", 1),
    Keywords(169, "SQL_AGGREGATE_FUNCTIONS", K::UInteger, &A::aggregateFunctions,
             kw::aggregateFunctions),
    Fixed32(170, "SQL_DDL_INDEX", 0),
    Nothing(171, "SQL_DM_VER"),
    Keywords(172, "SQL_INSERT_STATEMENT", K::UInteger, &A::insertStatement, kw::insertStatement),
    Fixed32(173, "SQL_CONVERT_GUID", 0),
    Fixed16(1024, "SQL_INFO_1024", 0),
    Fixed32(1750, "SQL_DTC_TRANSITION_COST", 3),
    FixedText(10000, "SQL_XOPEN_CLI_YEAR", "1995"),
    Fixed32(10001, "SQL_CURSOR_SENSITIVITY", 1),
    FixedYesNo(10002, "SQL_DESCRIBE_PARAMETER", true),
    Server(10003, "SQL_CATALOG_NAME", K::YesNo, &A::supportsCatalogsInDataManipulation),
    Text(10004, "SQL_COLLATION_SEQ", &A::collationSequence, true),
    Server(10005, "SQL_MAX_IDENTIFIER_LEN", K::UShort, &A::maxIdentifierLength),
    Fixed32(10021, "SQL_ASYNC_MODE", 3),
    Fixed32(10022, "SQL_MAX_ASYNC_CONCURRENT_STATEMENTS", 0),
    Fixed32(10023, "SQL_ASYNC_DBC_FUNCTIONS", 0),
};

constexpr bool Ascending() {
  for (size_t i = 1; i < std::size(kInfoTypes); ++i)
    if (kInfoTypes[i - 1].type >= kInfoTypes[i].type) return false;
  return true;
}
static_assert(Ascending(), "FindInfoType searches the table by halves");

}  // namespace

std::span<const qvoInfoType> InfoTypes() { return kInfoTypes; }

const qvoInfoType* FindInfoType(SQLUSMALLINT type) {
  const auto it =
      std::lower_bound(std::begin(kInfoTypes), std::end(kInfoTypes), type,
                       [](const qvoInfoType& row, SQLUSMALLINT t) { return row.type < t; });
  return it != std::end(kInfoTypes) && it->type == type ? &*it : nullptr;
}

qvoInfoValue InfoValueOf(const qvoInfoType& row, const qvoConnection& conn) {
  const connectionAttr& a = conn.connAttr;
  switch (row.source) {
    case S::Constant:
      return row.kind == K::Text ? TextValue(row.text) : NumberValue(row.number);
    case S::Number:
      return NumberValue(a.*row.field);
    case S::Text:
      return TextValue(OwnedOrEmpty(a.*row.textField));
    case S::Bits: {
      SQLUINTEGER mask = 0;
      for (const qvoInfoBit& b : row.bits)
        if (a.*b.field) mask |= b.bit;
      return NumberValue(mask);
    }
    case S::Keywords:
      return NumberValue(KeywordMask((a.*row.textField).get(), *row.keywords));
    case S::Computed:
      return row.compute(conn);
  }
  return {};
}
