// Descriptors: the ARD, APD, IRD and IPD that every statement creates for
// itself, and the descriptors an application allocates under a connection.
// One header (fields that concern the whole set) and a 1-based table of
// records (one per column or parameter).
//
// Fields that ODBC types as SQLLEN, SQLULEN or pointers keep their full
// width here, so that what an application binds is never truncated.
//
// Statement and fetch code read and write the members below directly and set
// fields by identifier only through SetDescField (record counts, concise
// types, array size, rows-processed pointer). Invariants they may rely on:
// - records has exactly header.count + 1 entries (none when count is 0);
//   entries 1..count are non-null, entry 0 is never a record;
// - header.count is 0..32767;
// - header.bindOffsetPtr and header.rowsProcessedPtr are never null;
// - owned texts (tableName, ...) are null or hold exactly their length in
//   bytes plus a terminator; the fixed arrays are always terminated.
// Nothing else is checked against the other descriptors of the statement: a
// reader that pairs ARD and IRD records, or uses a record number as an index
// into its own arrays, bounds it itself.
#pragma once

#include <memory>
#include <vector>

#include "handles/qvoHandle.h"
#include "messages/qvoTranslator.h"
#include "qvo/qvoDefs.h"

class Translator;

// What a descriptor needs of the statement that owns it. The statement class
// implements it; a descriptor whose master is a statement reaches it through
// the master, so a descriptor never keeps a second pointer to its owner.
class cliDescriptorOwner {
 public:
  // The statement's column or parameter bindings changed.
  virtual void BindingWasChanged() = 0;
  // The statement's timestamp precision attribute, unchecked.
  virtual SQLULEN GetStmtAttr_QVO_TIMESTAMP_PRECISION() = 0;

 protected:
  ~cliDescriptorOwner() = default;
};

// Descriptor kinds (descType).
enum : SQLSMALLINT {
  QVO_DESC_ARD = 5,
  QVO_DESC_APD = 6,
  QVO_DESC_IRD = 7,
  QVO_DESC_IPD = 8,
  QVO_DESC_USER = 9,  // allocated by the application; takes a kind with its first copy
};

// Private field identifiers.
enum : SQLSMALLINT {
  QVO_DESC_DEFAULT_C_TYPE = 21077,  // read only, IRD only
  QVO_DESC_OCTET_LENGTH_BACKUP = 21084,
  QVO_DESC_OCTET_LENGTH_BACKUP_ALT = -9917,
};

struct __cliDescriptorHeader {
  SQLSMALLINT allocType = SQL_DESC_ALLOC_AUTO;  // 1 automatic, 2 by the application
  SQLULEN arraySize = 1;
  SQLUSMALLINT* arrayStatusPtr = nullptr;
  SQLLEN* bindOffsetPtr = nullptr;  // never null once constructed: &bindOffsetDummy by default
  SQLLEN bindOffsetDummy = 0;
  SQLUINTEGER bindType = SQL_BIND_BY_COLUMN;
  SQLSMALLINT count = 0;
  SQLULEN* rowsProcessedPtr = nullptr;  // never null once constructed: &rowsProcessed by default
  SQLULEN rowsProcessed = 0;
};

// The plain fields of one record; __cliDescriptorRecords adds the ownership
// of the seven texts.
struct __cliDescriptorRecordFields {
  SQLINTEGER autoUniqueValue = 0;
  char* baseColumnName = nullptr;
  int baseColumnNameLen = 0;
  char* baseTableName = nullptr;
  int baseTableNameLen = 0;
  SQLINTEGER caseSensitive = 0;
  char* catalogName = nullptr;
  int catalogNameLen = 0;
  SQLSMALLINT conciseType = 0;
  SQLSMALLINT nativeType = 0;  // C type of the values in the row block (IRD)
  SQLPOINTER dataPtr = nullptr;
  SQLSMALLINT datetimeIntervalCode = 0;
  SQLINTEGER datetimeIntervalPrecision = 0;
  SQLLEN displaySize = 0;
  SQLSMALLINT fixedPrecScale = 0;
  char* label = nullptr;
  int labelLen = 0;
  SQLULEN length = 0;
  char literalPrefix[8] = {};
  char literalSufix[8] = {};
  char localTypeName[40] = {};
  char* descName = nullptr;
  SQLINTEGER descNameLen = 0;
  SQLSMALLINT nullable = 0;
  SQLINTEGER numPrecRadix = 0;
  SQLLEN octetLength = 0;
  SQLLEN octetLengthBackup = 0;
  SQLLEN* octetLengthPtr = nullptr;  // octet-length and indicator pointer alike
  SQLSMALLINT parameterType = 0;
  SQLINTEGER precision = 0;  // kept in 32 bits, reported in 16
  SQLSMALLINT rowver = 0;
  SQLSMALLINT scale = 0;
  char* schemaName = nullptr;
  int schemaNameLen = 0;
  SQLSMALLINT searchable = 0;
  char* tableName = nullptr;
  int tableNameLen = 0;
  SQLSMALLINT type = 0;
  SQLSMALLINT qvoType = 0;    // server type (__TypeId), set from the result description
  SQLINTEGER qvoTypeLen = 0;  // bytes of one value in the row block
  char typeName[40] = {};
  SQLSMALLINT unnamed = 0;
  SQLSMALLINT Unsigned = 0;
  SQLSMALLINT updatable = 0;
  char pointerBind = 0;  // APD: parameter bound by reference
  char charAttr = 0;     // IRD/IPD: attribute byte of a character column
};

struct __cliDescriptorRecords : __cliDescriptorRecordFields {
  __cliDescriptorRecords() = default;
  // Every field; the texts become copies of their own.
  __cliDescriptorRecords(const __cliDescriptorRecords& other);
  __cliDescriptorRecords& operator=(const __cliDescriptorRecords&) = delete;
  ~__cliDescriptorRecords();

  // Replaces an owned text by a copy of n bytes of text (null: empty).
  static void SetOwnedText(char*& field, int& fieldLen, const char* text, int n);
  void FreeTexts();
};

class cliDescriptor : public qvoHandle {
 public:
  // descAType: allocation type (ARD and APD only); descUType: kind 5 to 9;
  // trans: the creator's Translator, used and not owned.
  cliDescriptor(SQLSMALLINT descAType, SQLSMALLINT descUType, Translator* trans);
  ~cliDescriptor() override;

  void SetMaxIdentifierLength(int mil);
  // Makes the table exactly nSize records long: surviving records keep their
  // fields and addresses, new ones get the defaults of the kind. -1 (nothing
  // changed) for a negative size or when memory runs out.
  SQLRETURN ResizeRecordTable(SQLSMALLINT nSize);
  // Header and records of source into this descriptor, keeping the own
  // allocation type. 0, or -1 with one diagnostic record.
  SQLRETURN CopyDescriptorFrom(cliDescriptor* source);

  SQLRETURN InitARDHeader(SQLSMALLINT descAType);
  SQLRETURN InitAPDHeader(SQLSMALLINT descAType);
  SQLRETURN InitIRDHeader();
  SQLRETURN InitIPDHeader();
  SQLRETURN InitUserHeader();
  SQLRETURN InitARD_APDRecords(__cliDescriptorRecords* r);
  SQLRETURN InitIRDRecords(__cliDescriptorRecords* r);
  SQLRETURN InitIPDRecords(__cliDescriptorRecords* r);

  // Field writing. Value carries integers in the pointer itself, pointers as
  // themselves and text as UTF-8 of BufferLength bytes (SQL_NTS: terminated).
  SQLRETURN SetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                         SQLINTEGER BufferLength);
  SQLRETURN SetDescRec(SQLSMALLINT RecNumber, SQLSMALLINT Type, SQLSMALLINT SubType, SQLLEN Length,
                       SQLSMALLINT Precision, SQLSMALLINT Scale, SQLPOINTER DataPtr,
                       SQLLEN* StringLength, SQLLEN* Indicator);

  // Field reading; text leaves as UTF-8.
  SQLRETURN GetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                         SQLINTEGER BufferLength, SQLINTEGER* StringLength);
  SQLRETURN GetDescRec(SQLSMALLINT RecNumber, char* Name, SQLSMALLINT BufferLength,
                       SQLSMALLINT* StringLength, SQLSMALLINT* Type, SQLSMALLINT* SubType,
                       SQLLEN* Length, SQLSMALLINT* Precision, SQLSMALLINT* Scale,
                       SQLSMALLINT* Nullable);
  // The checks of GetDescField for a text field, then its UTF-8 source
  // (never null) and length. 0, 100 (record beyond the count) or -1 with a
  // diagnostic.
  SQLRETURN GetDescFieldText(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier, const char** text,
                             int* textLen);

  // Whether a descriptor of this kind may write or read the field (the ODBC
  // rules). Not applied by the readers and writers above.
  SQLRETURN CheckSetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                              SQLINTEGER BufferLength);
  SQLRETURN CheckGetDescField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                              SQLINTEGER BufferLength, SQLINTEGER* StringLength);

  // Record n (1..count), or null.
  __cliDescriptorRecords* GetRecord(SQLSMALLINT n) const {
    return n >= 1 && n <= header.count ? records[n].get() : nullptr;
  }
  // The statement that owns this descriptor (its master, when that is a
  // statement), or null.
  cliDescriptorOwner* OwningStatement() const;

  // Adds the catalogue entry given by its Translator pair as a diagnostic
  // record (native error -1); returns -1.
  SQLRETURN AddDiag(Translator::CodeOperation code, Translator::MessageOperation message);

  SQLSMALLINT descType;
  __cliDescriptorHeader header;
  std::vector<std::unique_ptr<__cliDescriptorRecords>> records;
  // The descriptor's own values; they hide the members of the same name in
  // qvoHandle.
  qvo_int32 protocolVersion = -1;
  int maxIdentifierLength = 40;
  int maxIdentifierOctetLength = 160;
  qvo_int64 maxVarcharLength = 20000;

 private:
  void ApplyRecordDefaults(__cliDescriptorRecords* r);
  void NoticeBindingChange() const;
  SQLRETURN WriteField(SQLSMALLINT RecNumber, SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                       SQLINTEGER BufferLength);
};

// Adds the diagnostic of catalogue entry `name` to descriptor d and gives -1.
#define QVO_DESC_DIAG(d, name) (d).AddDiag(&Translator::name##CODE, &Translator::name##MESSAGE)
