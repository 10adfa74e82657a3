// connectionAttr: the plain record of settings that every connection embeds
// as `connAttr`: ODBC connection attributes, private settings, what the server
// reports at login and in answers, traffic counters, and the values of the
// server's DB_METADATA view.
//
// Owned texts are zero-terminated heap texts (qvoOwnedText); a setter replaces
// the whole pointer, which frees the old text.
#pragma once

#include <memory>

#include "protocol/qvoProtocolVersion.h"  // kFeedbackIntervalTestSetting
#include "qvo/qvoDefs.h"

using qvoOwnedText = std::unique_ptr<char[]>;

// The DB_METADATA view, one row per member, in the order the reader looks
// them up. TEXT rows are owned texts (null until loaded), NUMBER rows
// SQLUINTEGER (0 until loaded). maxDataMessageSize is a row of the view too,
// but lives outside the group as the block's 64-bit member.
#define QVO_DB_METADATA_FIELDS(TEXT, NUMBER)     \
  TEXT(SQL92DatetimeFunctions)                   \
  TEXT(SQL92ForeignKeyDeleteRule)                \
  TEXT(SQL92ForeignKeyUpdateRule)                \
  TEXT(SQL92Grant)                               \
  TEXT(SQL92StringFunctions)                     \
  TEXT(SQLKeywords)                              \
  TEXT(aggregateFunctions)                       \
  NUMBER(allProceduresAreCallable)               \
  NUMBER(allTablesAreSelectable)                 \
  TEXT(catalogSeparator)                         \
  TEXT(catalogTerm)                              \
  TEXT(collationSequence)                        \
  TEXT(createAssertion)                          \
  TEXT(createCharacterSet)                       \
  NUMBER(createCollation)                        \
  NUMBER(databaseIncrementVersion)               \
  NUMBER(databaseMajorVersion)                   \
  NUMBER(databaseMinorVersion)                   \
  TEXT(databaseName)                             \
  TEXT(databaseProductName)                      \
  TEXT(datetimeLiterals)                         \
  NUMBER(defaultTransactionIsolation)            \
  NUMBER(dropAssertion)                          \
  NUMBER(dropCharacterSet)                       \
  NUMBER(dropCollation)                          \
  TEXT(dropDomain)                               \
  TEXT(dropSchema)                               \
  TEXT(dropTable)                                \
  NUMBER(dropTranslation)                        \
  TEXT(dropView)                                 \
  TEXT(indexKeywords)                            \
  TEXT(infoSchemaViews)                          \
  TEXT(insertStatement)                          \
  NUMBER(isCatalogAtStart)                       \
  NUMBER(isReadOnly)                             \
  NUMBER(maxBinaryLiteralLength)                 \
  NUMBER(maxCatalogNameLength)                   \
  NUMBER(maxCharLiteralLength)                   \
  NUMBER(maxColumnNameLength)                    \
  NUMBER(maxColumnsInGroupBy)                    \
  NUMBER(maxColumnsInIndex)                      \
  NUMBER(maxColumnsInOrderBy)                    \
  NUMBER(maxColumnsInSelect)                     \
  NUMBER(maxColumnsInTable)                      \
  NUMBER(maxConnections)                         \
  NUMBER(maxCursorNameLength)                    \
  NUMBER(maxIdentifierLength)                    \
  NUMBER(maxIndexLength)                         \
  NUMBER(maxProcedureNameLength)                 \
  NUMBER(maxRowSize)                             \
  NUMBER(maxRowSizeIncludesLong)                 \
  NUMBER(maxSchemaNameLength)                    \
  NUMBER(maxStatements)                          \
  NUMBER(maxTableNameLength)                     \
  NUMBER(maxTablesInSelect)                      \
  NUMBER(maxUserNameLength)                      \
  TEXT(nullCollation)                            \
  NUMBER(nullPlusNonNullIsNull)                  \
  TEXT(numericFunctions)                         \
  NUMBER(orderByColumnsInSelect)                 \
  TEXT(outerJoinCapabilities)                    \
  TEXT(quotedIdentifierCase)                     \
  NUMBER(storesLowerCaseIdentifiers)             \
  NUMBER(storesLowerCaseQuotedIdentifiers)       \
  NUMBER(storesMixedCaseIdentifiers)             \
  NUMBER(storesMixedCaseQuotedIdentifiers)       \
  NUMBER(storesUpperCaseIdentifiers)             \
  NUMBER(storesUpperCaseQuotedIdentifiers)       \
  TEXT(stringFunctions)                          \
  TEXT(supportedEncodings)                       \
  NUMBER(supportedTransactionIsolationLevels)    \
  NUMBER(supportsANSI92EntryLevelSQL)            \
  NUMBER(supportsANSI92FullSQL)                  \
  NUMBER(supportsANSI92IntermediateSQL)          \
  NUMBER(supportsAlterDomain)                    \
  NUMBER(supportsAlterTable)                     \
  NUMBER(supportsAlterTableWithAddColumn)        \
  NUMBER(supportsAlterTableWithDropColumn)       \
  NUMBER(supportsCast)                           \
  NUMBER(supportsCatalogsInDataManipulation)     \
  NUMBER(supportsCatalogsInIndexDefinitions)     \
  NUMBER(supportsCatalogsInPrivilegeDefinitions) \
  NUMBER(supportsCatalogsInProcedureCalls)       \
  NUMBER(supportsCatalogsInTableDefinitions)     \
  NUMBER(supportsColumnAliasing)                 \
  NUMBER(supportsConvert)                        \
  NUMBER(supportsCorrelatedSubqueries)           \
  NUMBER(supportsExpressionsInOrderBy)           \
  NUMBER(supportsFIPS127_2_transitional)         \
  NUMBER(supportsLikeEscapeClause)               \
  NUMBER(supportsMultipleResultSets)             \
  NUMBER(supportsMultipleTransactions)           \
  NUMBER(supportsNonNullableColumns)             \
  NUMBER(supportsOuterJoins)                     \
  NUMBER(supportsSchemasInDataManipulation)      \
  NUMBER(supportsSchemasInIndexDefinitions)      \
  NUMBER(supportsSchemasInPrivilegeDefinitions)  \
  NUMBER(supportsSchemasInProcedureCalls)        \
  NUMBER(supportsSchemasInTableDefinitions)      \
  NUMBER(supportsStoredProcedures)               \
  NUMBER(supportsSubqueriesInComparisons)        \
  NUMBER(supportsSubqueriesInExists)             \
  NUMBER(supportsSubqueriesInIns)                \
  NUMBER(supportsSubqueriesInQuantifieds)        \
  NUMBER(supportsUnion)                          \
  NUMBER(supportsUnionAll)                       \
  TEXT(systemFunctions)                          \
  TEXT(timeDateFunctions)

class connectionAttr {
 public:
  connectionAttr();
  ~connectionAttr();
  connectionAttr(const connectionAttr&) = delete;
  connectionAttr& operator=(const connectionAttr&) = delete;

  // Replaces the password by a copy of len bytes; the old one is wiped
  // before it is freed, as it is by ClearPassword and the destructor.
  void SetPassword(const char* text, int len);
  void ClearPassword();

  bool getCustomAnsiArgEncoding() const { return customAnsiArgEncoding; }
  bool getCustomAnsiDataEncoding() const { return customAnsiDataEncoding; }
  bool getCustomUnicodeArgEncoding() const { return customUnicodeArgEncoding; }
  bool getCustomUnicodeDataEncoding() const { return customUnicodeDataEncoding; }

  char connType = 0;  // 1 once connected as a main connection, 2 parallel slave
  qvo_uint64 qvosessionID = 0;
  SQLUINTEGER prepareSuccess = 0;
  SQLINTEGER attrOutputNTS = 0;
  SQLUINTEGER accessMode = 0;
  SQLUINTEGER asyncEnable = 0;
  SQLUINTEGER autoIPD = 0;
  unsigned char autoCommit = 1;
  unsigned char encryptionRequired = 0;
  qvoOwnedText currentCatalog;
  int currentCatalogLen = 0;
  qvoOwnedText currentSchema;
  int currentSchemaLen = 0;
  char numericCharacters[10] = "";
  SQLUINTEGER loginTimeout = 0;
  SQLUINTEGER metadataID = 0;
  SQLUINTEGER odbcCursors = 2;
  SQLUINTEGER packetSize = 7024;
  SQLPOINTER quietMode = nullptr;
  SQLUINTEGER trace = 0;
  qvoOwnedText traceFile;
  qvoOwnedText translateLib;
  SQLUINTEGER translateOption = 0;

#define QVO_DB_METADATA_TEXT_MEMBER(name) qvoOwnedText name;
#define QVO_DB_METADATA_NUMBER_MEMBER(name) SQLUINTEGER name = 0;
  QVO_DB_METADATA_FIELDS(QVO_DB_METADATA_TEXT_MEMBER, QVO_DB_METADATA_NUMBER_MEMBER)
#undef QVO_DB_METADATA_TEXT_MEMBER
#undef QVO_DB_METADATA_NUMBER_MEMBER
  char identifierQuoteString[16] = "\"";
  char searchStringEscape[16] = "";

  SQLUINTEGER ansiApp = 0;
  SQLUINTEGER connectionTimeout = 0;
  SQLUBIGINT maxRows = 0;
  SQLUINTEGER txnIsolation = 8;
  qvo_int64 maxDataMessageSize = 0x4000000;
  qvoOwnedText userName;
  int userNameLen = 0;
  qvoOwnedText qvoPassword;  // set through SetPassword / ClearPassword only
  int qvoPasswordLen = 0;
  qvoOwnedText dsnName;
  qvoOwnedText clientName;  // "Unknown client" in a 16-byte buffer
  int clientNameLen = 15;   // counts the terminator, as sent at login
  qvoOwnedText clientVersion;
  char sessionTimezone[260] = "";
  char sessionTimezoneBehaviour[260] = "";
  SQLUBIGINT bytesRead = 0;
  SQLUBIGINT bytesWritten = 0;
  char dateFormat[260] = "";
  char timestampFormat[260] = "";
  char wordForTrue[100] = "1";
  char wordForFalse[100] = "0";
  SQLUINTEGER queryTimeout = 0;
  SQLUINTEGER maxParamSize = 0;
  SQLUINTEGER defaultParamSize = 0;
  bool alwaysSearchPatternsInCat = false;
  bool showOnlyCurrentSchema = false;
  bool stringsNotNull = false;
  bool intTypesInResultsIfPossible = false;
  qvo_int32 feedbackInterval = 30;  // kFeedbackIntervalTestSetting: 5-second receive limit
  qvoOwnedText connectionString;
  unsigned char timestampUTC = 0;
  int attrDriverUnicodeType = 1;
  bool customAnsiArgEncoding = false;
  bool customAnsiDataEncoding = false;
  bool customUnicodeArgEncoding = false;
  bool customUnicodeDataEncoding = false;
  int characterDisplaySize = 1;
  bool socketEncryption = false;
  bool checkConnectionIsEncrypted = false;
  qvoOwnedText randomSeed;  // null: the built-in default seed
};
