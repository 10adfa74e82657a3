// qvoHandle: what every environment, connection, statement and descriptor
// has in common: its place in the handle table, ODBC version, diagnostic
// header and records, lock, character converters, Translator and log
// settings. Derived classes: qvoEnvironment, qvoConnection, qvoStatement,
// cliDescriptor (single public inheritance). Besides the destructor, the few
// virtual operations are the questions the handle layer asks of a connection
// or statement, which live above it.
#pragma once

#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/qvoConverter.h"
#include "platform/qvoCriticalSection.h"
#include "qvo/qvoDefs.h"

class aString;
class Translator;

// Every diagnostic text starts with this, added once by SetDiagRec.
constexpr char QVO_DRIVER_PREFIX[] = "[OSTRANA][Vandrel driver]";

// One diagnostic record. The message is UTF-8 and owned by the record.
struct __diagRecords {
  char diagClassOrigin[32] = "ISO 9075";
  SQLINTEGER diagColumnNumber = 0;
  std::unique_ptr<aString> diagMessageStr;
  SQLINTEGER diagNativeError = 0;
  SQLINTEGER diagRowNumber = 0;
  char diagSQLState[6] = "";
  char diagSubclassOrigin[32] = "ISO 9075";
  bool fromServer = false;

  __diagRecords();
  ~__diagRecords();
  __diagRecords(__diagRecords&&) noexcept;
  __diagRecords& operator=(__diagRecords&&) noexcept;

  // The message text (UTF-8), "" when the record has none.
  const char* GetMessage() const;
  int GetMessageLen() const;
};

// The diagnostic header of a handle.
struct __diagHeaderFields {
  SQLINTEGER diagCursorRowCount = 0;
  char diagDynamicFunction[1024] = "";
  SQLINTEGER diagDynamicFunctionCode = 0;
  SQLINTEGER diagNumber = 0;
  SQLRETURN diagReturncode = 0;
  SQLINTEGER diagRowCount = 0;
  char diagConnectionName[1024] = "Vandrel connection";
  char diagServerName[1024] = "Vandrel server";
};

// Releases an owned converter with FreeConverter.
struct qvoConverterRelease {
  void operator()(iconverter* conv) const { FreeConverter(conv); }
};
using qvoConverterPtr = std::unique_ptr<iconverter, qvoConverterRelease>;

class qvoHandle {
 public:
  qvoHandle();
  virtual ~qvoHandle();
  qvoHandle(const qvoHandle&) = delete;
  qvoHandle& operator=(const qvoHandle&) = delete;

  // --- identity -------------------------------------------------------------
  // Records the parent object and the own handle value; with a parent, takes
  // over the parent's ODBC version.
  void SetMasterAndMyID(qvoHandle* masterObj, SQLHANDLE myID);
  SQLHANDLE GetHandleID() const { return handleID; }
  SQLSMALLINT GetHandleType() const { return handleType; }
  qvoHandle* GetMaster() const { return master; }
  qvoCriticalSection* GetMutexPtr() { return &criticalSec; }
  SQLRETURN GetAllocatingError() const { return allocatingError; }
  int GetMaxIdentifierLength() const { return maxIdentifierLength; }

  // --- what the handle layer asks of the objects above it ------------------
  // Diagnostic field 11 of a connection: its data source name ("" for none,
  // and for every other kind of handle). A copy, read outside setDiagMutex:
  // it is a setting of the connection, which another thread may change.
  virtual std::string DiagServerName() const { return {}; }
  // Diagnostic field -1249 of a statement (qvoStatement::RowCount); -1 for
  // every other kind of handle.
  virtual SQLRETURN DiagCursorRowCount(SQLLEN*) { return SQL_ERROR; }
  // qvoConnection::SetAppWcharType (1 UTF-16, 2 UTF-8); false when it fails
  // or the handle is not a connection.
  virtual bool ApplyAppWcharType(int) { return false; }

  // --- ODBC version ---------------------------------------------------------
  SQLINTEGER GetOdbcVersion() const { return clientOdbcVersion; }
  // 2 gives the date/time/timestamp codes 9, 10, 11; anything else 91, 92, 93.
  void SetOdbcVersion(SQLINTEGER version);

  // --- Translator -----------------------------------------------------------
  Translator* GetTranslatorPtr() const { return translate; }
  // Replaces the Translator by a new, owned one for the language code; an
  // owned predecessor is deleted, a borrowed one is left to its owner.
  int SetTranslatorLangCode(int langCode);
  // Uses a Translator that another handle owns (automatic descriptors use
  // their statement's). An owned predecessor is deleted.
  void SetBorrowedTranslator(Translator* borrowed);
  // The language of the handle's Translator, 0 without one.
  int GetTranslatorLangCode() const;

  // --- converters -----------------------------------------------------------
  // Environments, connections and statements answer with their own; a
  // descriptor asks up its chain of masters. Null for an unknown handle type.
  iconverter* GetDataConverter() const;
  iconverter* GetSqlConverter() const;
  iconverter* GetWcharSqlConverter() const;
  iconverter* GetWcharDataConverter() const;
  // Creates the four converters in the order data, SQL, wide SQL, wide data
  // (derived constructors of environment, connection and statement). -1 when
  // one of them could not be made.
  SQLRETURN CreateConverters();
  // Replaces the four converters by new ones, then re-applies the driver
  // unicode type. When one cannot be made, the old ones stay and the failure
  // is recorded as SetDriverUnicodeType records one (its number that of the
  // converter's role: 1 data, 2 SQL, 3 wide SQL, 4 wide data); -1.
  SQLRETURN ResetConverters();
  // Installs the code pages that follow from the driver unicode type (1 UTF-16
  // wide data, 2 UTF-8); masterObj null means `master`. Records a diagnostic
  // and returns -1 when a code page cannot be installed.
  SQLRETURN SetDriverUnicodeType(int type, qvoHandle* masterObj);
  int GetDriverUnicodeType() const { return static_cast<int>(driverUnicodeType); }
  SQLRETURN SetDriverUnicodeTypeError(iconverter* conv, int errorNumber);

  // --- diagnostics ----------------------------------------------------------
  // All of these hold setDiagMutex while they touch the records.
  // Appends a record (SQLSTATE: first five characters; message: UTF-8, the
  // driver prefix added unless present). Always returns -1, so that an error
  // path can return it.
  SQLRETURN SetDiagRec(const char* sqlState, SQLINTEGER nativeError, const char* message);
  SQLRETURN SetDiagRecPtr(const __diagRecords* record);
  SQLRETURN LastDiagWasFromServer();
  SQLRETURN AppendDiagRecordsFrom(qvoHandle* other);
  // Appends the other handle's records and clears them there: records of a
  // descriptor a call used on the handle's behalf, which kept there would be
  // passed on again with every later failure.
  SQLRETURN MoveDiagRecordsFrom(qvoHandle* other);
  // Deletes the records when errorReset is set; otherwise they accumulate.
  SQLRETURN ClearDiagRecords();
  SQLINTEGER GetNumRecords();
  // Record 1..count or null. The pointer stays valid until the list changes;
  // use it on the thread that made the records.
  __diagRecords* GetDiagRecPtr(SQLSMALLINT recNumber);
  int GetDiagRecMsgLen(SQLSMALLINT recNumber);
  // Reduces a list that holds a server record to the last server record.
  SQLRETURN SortRecords();
  SQLRETURN GetDiagRec(SQLSMALLINT recNumber, char* sqlState, SQLINTEGER* nativeError,
                       char* messageText, SQLSMALLINT bufferLength, SQLSMALLINT* textLength);
  SQLRETURN GetDiagField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier, SQLPOINTER diagInfo,
                         SQLSMALLINT bufferLength, SQLSMALLINT* stringLength);
  // The whole UTF-8 text of a text field (4, 6 to 11): 0, -1 for a bad
  // record number or identifier, 100 for a record beyond the count.
  SQLRETURN GetDiagTextField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier, std::string& text);
  SQLRETURN SetDiagField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier, SQLLEN value,
                         SQLSMALLINT bufferLength);
  // Stores the code as the header's return code and returns it.
  SQLRETURN RetCode(SQLRETURN rc);
  __diagHeaderFields* GetDiagHeaderPtr() { return &diagHeader; }
  // Records start at index 1; null when there are none.
  __diagRecords* GetDiagRecordsPtr() { return diags.empty() ? nullptr : diags.data(); }

  // --- log ------------------------------------------------------------------
  // Stores the log settings; the name is copied (at most 1023 bytes), the
  // stream and its lock are borrowed.
  void SetLogFile(bool logFull, bool logDebugComm, FILE* logFile, const char* logFileName,
                  qvoCriticalSection* logFileMutex, SQLBIGINT logFileLines);
  const char* GetLogFileName() const { return logFileName.get(); }
  // Replace the stream or its lock while other threads may be logging on
  // the handle: Log writes a line with the pair it started with.
  void SetLogStream(FILE* stream);
  void SetLogLock(qvoCriticalSection* lock);
  // Writes "hh:mm:ss.mmm\t" for the time into buffer (local time).
  static char* GetTimeStr(char* buffer, int size, const struct timespec* time);
  // Formats one message (cut to 32767 bytes) and, when the handle has a log
  // stream, writes time stamp, thread id and message as one line. Returns 0.
  int Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // setlocale through qvoSetLocale, logged when logFull is set.
  char* setLocale(int category, const char* locale);

  // --- members ----------------------------------------------------------------
  SQLINTEGER clientOdbcVersion = 3;
  SQLSMALLINT dateTypeCode = SQL_TYPE_DATE;
  SQLSMALLINT timeTypeCode = SQL_TYPE_TIME;
  SQLSMALLINT timestampTypeCode = SQL_TYPE_TIMESTAMP;
  std::unique_ptr<char[]> logBuffer;  // made on first use
  __diagHeaderFields diagHeader;
  // Index 0 is a placeholder; records are 1..diagHeader.diagNumber. Empty when
  // there are no records.
  std::vector<__diagRecords> diags;
  SQLHANDLE handleID = nullptr;
  SQLSMALLINT handleType = 0;
  qvoHandle* master = nullptr;  // parent object; null for an environment
  qvoCriticalSection criticalSec;
  char errorOutput[1024] = "";
  qvoConverterPtr dataConverter;
  qvoConverterPtr sqlConverter;
  qvoConverterPtr wcharSqlConverter;
  qvoConverterPtr wcharDataConverter;
  Translator* translate = nullptr;  // ownTranslator.get() or a borrowed one
  bool errorReset = true;
  FILE* logFile = nullptr;                     // borrowed
  std::unique_ptr<char[]> logFileName;         // 1024 bytes when set
  qvoCriticalSection* logFileMutex = nullptr;  // borrowed, shared per stream
  // Switched by a connection's log attributes while other threads' calls on
  // it test them.
  std::atomic<bool> logFull = false;
  std::atomic<bool> logDebugComm = false;
  SQLBIGINT logFileLines = 0x7FFFFFFFFFFFFFFFLL;
  qvo_int32 protocolVersion = 0;
  qvoCriticalSection setDiagMutex;
  int maxIdentifierLength = 0;
  int maxIdentifierOctetLength = 0;
  SQLUINTEGER driverUnicodeType = 1;
  SQLRETURN allocatingError = 0;

 private:
  std::unique_ptr<Translator> ownTranslator;
  // Held by Log for the whole line, and by the setters of the stream and its
  // lock; taken before the shared logFileMutex.
  qvoCriticalSection logLocalMutex;

  iconverter* ConverterOfChain(qvoConverterPtr qvoHandle::*member) const;
  SQLRETURN InstallCodepage(iconverter* conv, const char* role, const char* codepage,
                            int errorNumber);
  void AppendRecord(__diagRecords&& record);
};
