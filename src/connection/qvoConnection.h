// qvoConnection: the connection handle (type 2), one session with one node of
// a Vandrel cluster. It owns its socket, its connection attribute block, the
// pending session attributes and the node table of its host list.
//
// This header holds the members and the operations of the host list, the
// answer handling and the small accessors these use; connect, login,
// request execution, disconnect and the attribute entry points are added by
// their own sources.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "connection/qvoAttributes.h"
#include "connection/qvoConnAttr.h"
#include "connection/qvoMessageMode.h"
#include "handles/qvoHandle.h"
#include "platform/qvoCriticalSection.h"

class qvoEnvironment;
class qvoSocket;

// One node of a host list. The layout is fixed: arrays of these are handed to
// applications by the parallel-access functions.
struct __ConnectionStru {
  char qvoPort[12];    // port text, zero-terminated, at most 11 characters
  int qvoPortLen;      // 0: no port yet
  char qvoServer[64];  // host name or address, zero-terminated, at most 63 characters
  int qvoServerLen;    // 0: no host
};
static_assert(offsetof(__ConnectionStru, qvoPortLen) == 12);
static_assert(offsetof(__ConnectionStru, qvoServer) == 16);
static_assert(offsetof(__ConnectionStru, qvoServerLen) == 80);
static_assert(sizeof(__ConnectionStru) == 84);

class qvoConnection : public qvoHandle {
 public:
  // A connection that is not connected, with every default. env may be null
  // (then the output-NTS setting and the driver unicode type keep theirs).
  explicit qvoConnection(qvoEnvironment* env);
  ~qvoConnection() override;

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
  SQLUINTEGER GetQueryTimeout() const { return connAttr.queryTimeout; }
  qvo_int64 GetMaxDataMessageSize() const { return connAttr.maxDataMessageSize; }
  qvo_uint64 GetSessionID() const { return connAttr.qvosessionID; }
  SQLUINTEGER GetAutocommitMode() const { return connAttr.autoCommit; }
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
  // At most 15 characters each.
  void SetIdentifierQuoteChar(const char* text, int length);
  void SetEscapePattern(const char* text, int length);
  bool IsMainNode() const { return ImMainNode; }
  qvoSocket* GetSocket() const { return Socket.get(); }
  // 1: wide column data as UTF-16, 2: as UTF-8. Returns the wide-data
  // converter's result text (null without that converter).
  const char* SetAppWcharType(SQLUINTEGER value);
  SQLUINTEGER GetAppWcharType() const { return appWcharType; }

  // --- members ------------------------------------------------------------------
  // The protocol version and the identifier limits live in qvoHandle
  // (protocolVersion, maxIdentifierLength, maxIdentifierOctetLength).
  SQLBIGINT connectionToken = 0;
  std::unique_ptr<qvoSocket> Socket;
  connectionAttr connAttr;
  std::unique_ptr<qvoAttributes> attributes;  // pending session attributes
  __ConnectionStru server{};
  bool haveInfos = false;
  bool ImMainNode = false;  // set by the connect; false for a parallel slave
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
};
