// qvoConnection: the connection handle (type 2), one session with one node of
// a Vandrel cluster. It owns its socket, its connection attribute block, the
// pending session attributes and the node table of its host list.
//
// Requests of the connection's statements all pass ExecuteSQL, one at a time
// (executeSqlMutex); a statement takes part through qvoAnswerTaker.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "connection/qvoConnAttr.h"
#include "handles/qvoHandle.h"
#include "platform/qvoCriticalSection.h"
#include "qvo/qvoCInterface.h"
#include "transport/qvoAttributes.h"
#include "transport/qvoMessageMode.h"
#include "transport/qvoSocket.h"

class qvoAnswerTaker;
class qvoEnvironment;

// One node of a host list (__ConnectionStru, public: arrays of these are
// handed to applications by the parallel-access functions). The layout is
// fixed; qvoPortLen 0: no port yet, qvoServerLen 0: no host.
static_assert(offsetof(__ConnectionStru, qvoPortLen) == 12);
static_assert(offsetof(__ConnectionStru, qvoServer) == 16);
static_assert(offsetof(__ConnectionStru, qvoServerLen) == 80);
static_assert(sizeof(__ConnectionStru) == 84);

class qvoConnection : public qvoHandle, public qvoSocketOwner {
 public:
  // A connection that is not connected, with every default. env may be null
  // (then the output-NTS setting and the driver unicode type keep theirs).
  explicit qvoConnection(qvoEnvironment* env);
  ~qvoConnection() override;

  // --- connect -----------------------------------------------------------------
  // Connects to one node of a host list (or of the file that "//name"
  // names), trying nodes in random order until one accepts the login, then
  // makes the internal statement. Texts are UTF-8, lengths may be SQL_NTS.
  // 0, or -1 with the diagnostics of every failed attempt.
  SQLRETURN qvoConnect(const char* ServerHosts, int ServerHostsLen, const char* Port,
                       int PortStrLen, const char* UserName, int UserNameLength,
                       const char* Password, int PasswordLength);
  // Makes stmt4attr through QVOAllocHandle. When that fails the socket is
  // closed: a connection without its internal statement is not connected.
  SQLRETURN AllocInternalStatement();
  // Frees every statement of the connection, the internal one included.
  SQLRETURN LooseSlaves();
  // With full logging: one line per used handle-table entry.
  void LogHandleTable();
  // 1 when a socket exists and counts as connected.
  int isConnected() const;
  bool Disconnected() const { return disconnected; }
  // A session was opened and not ended: the socket stays until the
  // disconnect (a broken one included, whose transaction a commit cannot
  // end either).
  bool HasSession() const { return Socket != nullptr; }
  SQLHSTMT GetStmt4Attr() const override { return stmt4attr; }

  // --- requests -------------------------------------------------------------------
  // One request with the pending session attributes, on behalf of sourceStmt
  // (null: the connection itself). A broken main connection reconnects into
  // its session and the request is repeated once, unless it was an execute
  // whose answer had begun to arrive (the server ran it). The answer goes to
  // the statement (TakeRows for send_rows and send_rows_fetch2, else
  // TakeResults); without a statement it stays with the socket. 0, or -1 with
  // the failure's diagnostics on the statement.
  SQLRETURN ExecuteSQL(qvoAnswerTaker* sourceStmt, const char* sqlStmtBuffer, qvo_int64 len,
                       __qvoMessageMode mode);
  // QVOCancel of a statement whose execution another thread runs (marked by
  // a RunningExecution): sends the abort request beside it through the send
  // lock, once; true then. The execution's exchange in flight, or its next
  // poll, then ends with the server's answer, or with "Operation canceled."
  // when the server confirms the abort or no answer comes, and is never sent
  // again. Never waits for the executing thread.
  bool AbortExchangeOf(const qvoHandle* requester);
  // Marks a statement's execution as running for AbortExchangeOf while it
  // lives: a synchronous execution from its request through its last poll,
  // and every execute, execute-prepared, batch or continue exchange. Marks of
  // the same statement nest; while another statement's mark stands (it runs
  // under executionMutex) a new one marks nothing.
  class RunningExecution {
   public:
    RunningExecution(qvoConnection& connection, const qvoHandle* requester);
    ~RunningExecution();
    RunningExecution(const RunningExecution&) = delete;
    RunningExecution& operator=(const RunningExecution&) = delete;
    // True when a cancel sent the abort while the outermost mark stood.
    bool Canceled() const;

   private:
    qvoConnection& c_;
    const qvoHandle* requester_;
    bool outermost_ = false;
  };
  // Closes of server handles (result sets, prepared statements) that could
  // not go out while another statement's execution owned the connection:
  // kept in order and sent, their answers dropped, before the next request
  // once no execution runs, and before the disconnect, so that none is lost.
  void DeferClose(__qvoMessageMode command, qvo_int32 handle);
  void SendDeferredCloses();
  // Moves the connection's records to the statement (the connection's are
  // then cleared), or copies the statement's to the connection. 0.
  SQLRETURN GiveErrorMessagesToStatement(qvoHandle* statement);
  SQLRETURN TakeErrorMessagesFromStatement(qvoHandle* statement);
  // A 4-byte attribute for the pending list (made on first use).
  SQLRETURN AddAttribute(short attrCode, qvo_int32 int32val);
  void ClearAttributes();
  // One exchange on the socket (qvoSocket::qvoExecSQL), or one answer read
  // (qvoSocket::qvoGetAnswer); the answer's attributes are applied once the
  // socket is free again, also when the exchange failed after reading them.
  qvo_int64 Exchange(qvoSocket& socket, qvoHandle* requester,
                     std::unique_ptr<qvoAttributes>* attributes, const char* data,
                     qvo_int64 dataLength, __qvoMessageMode command);
  qvo_int64 ReadAnswer(qvoSocket& socket, __qvoMessageMode command);
  // How an answer's attributes change the connection, and the login's key
  // material on socket (qvoAnswerAttributes.cpp). Attributes without a rule
  // are skipped; the walk ends at a record it cannot read. Under
  // executionMutex, never under the socket's lock.
  void ApplyAnswerAttributes(qvoSocket& socket, qvoAttributes* answer);

  // --- login (qvoLogin.cpp) ------------------------------------------------------
  // A new Socket to the chosen node (server), connected and logged in; it asks
  // for the newest protocol version again. The socket's GetSocketError and
  // qvoIsConnected tell the outcome.
  void OpenSocket();
  // Connects the broken Socket again to its node and logs in into the same
  // session. 0, or -1 when the connect failed or a login refusal ended it.
  SQLRETURN Reconnect();
  // The login message, the password and, when the stream is to be
  // enciphered, the cipher keys, on a socket that has just connected. 0 when
  // logged in, else -1 with the socket's GetSocketError telling why. Each
  // read waits at most the login time-out when one is set.
  SQLRETURN Login(qvoSocket& socket);

  // --- session attributes --------------------------------------------------------
  // Queue a session attribute for the next request or the login (value in
  // host order, 4, 8 or 1 bytes); a fixed-width id already queued is
  // replaced. 0, or -1 for an id of another width.
  SQLRETURN AddIntAttribute(qvo_int16 attrType, qvo_int32 attrValue);
  SQLRETURN AddLongAttribute(qvo_int16 attrType, qvo_int64 attrValue);
  SQLRETURN AddBoolAttribute(qvo_int16 attrType, qvo_int8 attrValue);
  // Any attribute with its value bytes (a text: its length).
  SQLRETURN AddPendingAttribute(qvo_int16 attrType, const void* value, int size);
  // Queue the attribute, send everything pending at once on behalf of stmt,
  // then drop the list, sent or not (without a socket nothing is sent and the
  // attribute is lost). The result of SetAttributesInQVO.
  SQLRETURN SetIntAttribute(qvoAnswerTaker* stmt, qvo_int16 attrType, qvo_int32 attrValue);
  SQLRETURN SetLongAttribute(qvoAnswerTaker* stmt, qvo_int16 attrType, qvo_int64 attrValue);
  SQLRETURN SetBoolAttribute(qvoAnswerTaker* stmt, qvo_int16 attrType, qvo_int8 attrValue);
  // Sends the pending list in one set_attributes request; stmt parses the
  // answer and keeps the server's diagnostics. 0 when nothing is pending or
  // there is no socket; otherwise the parse's result, "no further result"
  // counting as 0.
  SQLRETURN SetAttributesInQVO(qvoAnswerTaker* stmt);
  // Asks the server for the session's settings; its answer updates the
  // connection. -1 without a socket, with no diagnostic.
  SQLRETURN GetAttributesFromQVO();

  // --- session end, transactions, parallel slaves, host names ----------------
  // Frees the connection's statements and the descriptors allocated under it,
  // sends disconnect_current, drops the socket and the session's credentials
  // and texts. 0 always (a lost server is not an error here).
  SQLRETURN qvoDisconnect(bool fromDestructor);
  // Shuts a connected socket down at once; the socket object stays.
  void CloseSocket();
  // Commit (0) or rollback (1) on the internal statement; the statement's
  // diagnostics are copied to the connection. -1 with "Connection does not
  // exist." when not connected.
  SQLRETURN EndTran(SQLSMALLINT CompletionType);
  // Logs in as a parallel slave to one node (UTF-8 texts, SQL_NTS allowed)
  // with a parallel token. 0 or -1; a connection in use is refused before
  // anything changes.
  SQLRETURN SlaveConnect(const char* ServerHost, int ServerHostLen, const char* Port,
                         int PortStrLen, SQLBIGINT slaveToken);
  // The cluster's hosts as "host,host,...:port" (the port of the node in
  // use), cut to bufferSize bytes and terminated. 0 or -1.
  SQLRETURN GetHostnames(char* buffer, int bufferSize);
  // The internal statement's object; null when there is none.
  qvoAnswerTaker* GetInternalStatement() const;

  // --- connection attributes -----------------------------------------------------
  // One connection attribute (see qvoConnectAttributes.cpp for the values).
  // The locale attributes 21029, 21030, 21031 and 21067 call setlocale: they
  // change the locale of the whole process, not only of this connection.
  SQLRETURN SetConnectAttr(SQLINTEGER attribute, SQLPOINTER valuePtr, SQLINTEGER stringLength);
  SQLRETURN GetConnectAttr(SQLINTEGER attribute, SQLPOINTER valuePtr, SQLINTEGER bufferLength,
                           SQLINTEGER* stringLengthPtr);
  // The query timeout (attribute 0) and the feedback interval (21061),
  // logged and set as attributes: sent to the server when connected.
  SQLRETURN SetQueryTimeoutInQvo(SQLUINTEGER value);
  SQLRETURN SetFeedbackIntervalInQvo(SQLUINTEGER value);

  // --- driver and server information (src/info) -------------------------------
  // One information type (a row of the table in info/qvoInfoTypes.h) into
  // the caller's buffer, texts in UTF-8. Types that need the server's values
  // load them first (EnsureInfoValues). 0; 1 with 01004 when a text was cut
  // (StringLengthPtr then holds the whole text's length); -1 with one record.
  SQLRETURN GetInfo(SQLUSMALLINT InfoType, SQLPOINTER InfoValuePtr, SQLSMALLINT BufferLength,
                    SQLSMALLINT* StringLengthPtr);
  // Reads the server's DB_METADATA view into connAttr and sets haveInfos.
  // All or nothing: a failed read stores none of its values. 0, or a negative
  // code with the failure's diagnostics.
  SQLRETURN GetInfoValues();
  // GetInfoValues unless the values are loaded or this is a parallel slave.
  // One load per connection at a time: a caller that waits for another's
  // load finds the values there. 0, or -1 with "Error reading db metadata
  // form Vandrel.".
  SQLRETURN EnsureInfoValues();

  // --- host list and node choice ---------------------------------------------
  // Longest host list text after range expansion.
  static constexpr int maxHostListSize = 32767;

  // Builds the node table from a host list; the default port is Port (null or
  // empty: "8563"). 0, or -1 with a diagnostic.
  SQLRETURN ParseClusterNodes(const char* Hosts, int hostsLen, const char* Port);
  // Replaces *hosts (a heap text owned by the caller) by its range expansion.
  // 0, or -1 with a diagnostic.
  SQLRETURN ReplaceRanges(std::unique_ptr<char[]>* hosts, int* hostsLen, int maxSize);
  // The next element of an expanded host list at *posPtr (advanced): 0 none,
  // 1 a name, 2 a number. element receives it, cut to 63 characters.
  static int GetNextElement(const char* hosts, int* posPtr, char element[64]);
  // Chooses an untried node at random and resolves it into `server`: 1 done,
  // 0 every node tried, -1 no node table.
  int GetRandServer();

  // --- accessors used by the answer handling --------------------------------
  qvo_int32 GetProtocolVersion() const { return protocolVersion; }
  int SetProtocollVer(qvo_int32 version) {
    protocolVersion = version;
    return 0;
  }
  // Stores max(value, 40) characters and four times that in bytes.
  void SetMaxIdentifierLength(int value);
  int GetMaxIdentifierOctetLength() const { return maxIdentifierOctetLength; }
  // Stores the session's query timeout without telling the server.
  void SetQueryTimeoutValue(SQLUINTEGER value);
  // Settings that statements read beside the requests: each under
  // settingsMutex.
  SQLUINTEGER GetQueryTimeout() const { return Setting(&connectionAttr::queryTimeout); }
  qvo_int64 GetMaxDataMessageSize() const { return Setting(&connectionAttr::maxDataMessageSize); }
  qvo_uint64 GetSessionID() const { return Setting(&connectionAttr::qvosessionID); }
  SQLUINTEGER GetAutocommitMode() const { return Setting(&connectionAttr::autoCommit); }
  bool ShowOnlyCurrentSchema() const { return Setting(&connectionAttr::showOnlyCurrentSchema); }
  bool AlwaysSearchPatternsInCat() const {
    return Setting(&connectionAttr::alwaysSearchPatternsInCat);
  }
  bool IntTypesInResultsIfPossible() const {
    return Setting(&connectionAttr::intTypesInResultsIfPossible);
  }
  // Texts as copies: another thread may replace them meanwhile. Empty when
  // there is none.
  std::string GetCurrentSchema() const;
  std::string GetSearchStringEscape() const;
  std::string GetNumericCharacters() const {
    return FieldSetting(&connectionAttr::numericCharacters);
  }
  std::string GetWordForTrue() const { return FieldSetting(&connectionAttr::wordForTrue); }
  std::string GetWordForFalse() const { return FieldSetting(&connectionAttr::wordForFalse); }
  // How column lookups may go (attributes 21047, 21105, 21106), as one set.
  struct MetadataSwitches {
    bool fast;
    bool microCache;
    bool forceMicroCache;
  };
  MetadataSwitches GetMetadataSwitches() const {
    qvoMutex lock(settingsMutex);
    return {fastMetadata, columnsMicroCache, forceColumnsMicroCache};
  }
  // Text setters: a null text changes nothing; texts are cut to the field.
  void SetDateFormat(const char* text, int length);
  // Also takes the digit after the first "FF" as the timestamp precision.
  void SetDateTimeFormat(const char* text, int length);
  int GetDateTimePrecision() const { return dateTimePrecision; }
  // A null text, length 0 or a text longer than 259 characters leaves the
  // field empty.
  void SetServerVersion(const char* text, int length);
  void SetServerRevision(const char* text, int length);
  const char* GetServerVersion() const { return serverVersion; }
  const char* GetServerRevision() const { return serverRevision; }
  // The version text as a.b.c: a * 10000 + b * 100 + c ("5.0.17" is 50017).
  int GetServerVersionInt() const;
  // At most 15 characters each.
  void SetIdentifierQuoteChar(const char* text, int length);
  void SetEscapePattern(const char* text, int length);
  bool IsMainNode() const override { return ImMainNode; }
  qvoSocket* GetSocket() const { return Socket.get(); }
  // 1: wide column data as UTF-16, 2: as UTF-8. Returns the wide-data
  // converter's result text (null without that converter).
  const char* SetAppWcharType(SQLUINTEGER value);
  bool ApplyAppWcharType(int wcharType) override {
    return SetAppWcharType(static_cast<SQLUINTEGER>(wcharType)) != nullptr;
  }
  std::string DiagServerName() const override;
  SQLUINTEGER GetAppWcharType() const {
    qvoMutex lock(settingsMutex);
    return appWcharType;
  }

  // --- what the socket asks of the connection (qvoSocketOwner) --------------
  qvoHandle* SocketHandle() override { return this; }
  const char* NodeHost() const override { return server.qvoServer; }
  const char* NodePort() const override { return server.qvoPort; }
  qvo_int32 FeedbackInterval() const override { return Setting(&connectionAttr::feedbackInterval); }
  bool SocketEncryption() const override { return Setting(&connectionAttr::socketEncryption); }

  // --- members ------------------------------------------------------------------
  // The protocol version and the identifier limits live in qvoHandle
  // (protocolVersion, maxIdentifierLength, maxIdentifierOctetLength).
  SQLBIGINT connectionToken = 0;
  std::unique_ptr<qvoSocket> Socket;
  connectionAttr connAttr;
  std::unique_ptr<qvoAttributes> attributes;  // pending session attributes
  __ConnectionStru server{};
  bool haveInfos = false;              // guarded by infoValuesMutex
  qvoCriticalSection infoValuesMutex;  // serialises the DB_METADATA load
  bool ImMainNode = false;             // set by the connect; false for a parallel slave
  std::unique_ptr<char[]> vandrelHosts;
  std::vector<__ConnectionStru> cluster;  // node table
  std::vector<int> clusterMarker;         // tried-flags; empty until a choice
  int clusterSize = 0;
  bool disconnected = false;
  char transactionState = 0;
  SQLUINTEGER cognosSupport = 0;
  SQLHSTMT stmt4attr = nullptr;
  int dateTimePrecision = 9;
  SQLUINTEGER appWcharType = 1;
  qvoCriticalSection executionMutex;
  qvoCriticalSection executeSqlMutex;
  // See DeferClose; under executionMutex.
  std::vector<std::pair<__qvoMessageMode, qvo_int32>> deferredCloses;
  // The connection's settings: connAttr, the code pages of its converters,
  // what its attributes set on the handle, and what the server reports in
  // answers. They are written under executionMutex and this lock (the
  // DB_METADATA values under the load's lock and this one): a request, which
  // holds executionMutex, reads them as they are; a call beside the requests
  // (reading an attribute or information, a statement taking or reading the
  // connection's settings, a cancel) reads them under this lock alone and
  // never waits for a request. Taken after every other lock of the
  // connection and its statements, and held only while values are copied:
  // never across a request, nor while another lock but a handle's records
  // lock, the log lock or a converter's lock is first taken.
  mutable qvoCriticalSection settingsMutex;
  // The statement whose execution runs and may be cancelled from another
  // thread, and whether it was (under inFlightMutex, never held while
  // waiting for an answer).
  std::mutex inFlightMutex;
  const qvoHandle* inFlightRequester = nullptr;
  bool inFlightCanceled = false;
  bool columnsMicroCache = true;
  bool forceColumnsMicroCache = false;
  bool fastMetadata = true;
  char dateFormat[64] = "";
  char dateTimeFormat[128] = "";
  qvo_int64 maxVarcharLength = 20000;
  char serverVersion[260] = "";
  char serverRevision[260] = "";
  int nParamsNeeded = 0;
  std::unique_ptr<char[]> execBuffer;
  int execBufferLen = 0;

 private:
  // The request's data into execBuffer, kept to send them again after a
  // reconnect. False when no buffer could be had.
  bool CopyRequestData(const char* data, qvo_int64 len);
  template <class T>
  T Setting(T connectionAttr::*member) const {
    qvoMutex lock(settingsMutex);
    return connAttr.*member;
  }
  template <size_t N>
  std::string FieldSetting(char (connectionAttr::*field)[N]) const {
    qvoMutex lock(settingsMutex);
    return std::string(connAttr.*field, ::strnlen(connAttr.*field, N));
  }
};
