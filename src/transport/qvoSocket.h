// qvoSocket: one TCP connection from a connection handle to one server node:
// the 21-byte message header, buffered sending, receiving with time-outs, the
// request/answer exchange and the answer buffer it leaves for a statement.
// The socket never changes the connection's state: an exchange returns the
// answer's attributes and the connection applies them.
//
// Message header (every integer little-endian):
//   0  4  message length: attribute bytes + data bytes
//   4  1  command (__qvoMessageMode)
//   5  4  serial number
//   9  4  number of attributes
//  13  4  attribute block length
//  17  4  request: 1 when there are data, else 0; answer: number of results
// followed by the attribute block and the data.
//
// Answer buffer handed to statements: 4 bytes result count (little-endian),
// then the answer data as received (deciphered). It is allocated with
// new char[] and its new owner releases it with delete[]. A statement that
// asks for further rows first hands back the buffer of the rows it holds,
// and the answer is received into it, so a stream of fetch answers is
// received into one buffer.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

#include "platform/qvoCriticalSection.h"
#include "protocol/qvoRequestPayloads.h"
#include "qvo/qvoDefs.h"
#include "transport/qvoAnswerReceiver.h"
#include "transport/qvoAttributes.h"
#include "transport/qvoCipher.h"
#include "transport/qvoMessageMode.h"

class qvoHandle;
struct sockaddr;
struct sockaddr_in;
struct timeval;

// Socket error codes (GetSocketError), set by the connect and the login.
enum qvoSocketErrorCode {
  QVO_SOCKET_OK = 0,
  QVO_SOCKET_CREATE_FAILED = -10,
  QVO_SOCKET_CONNECT_FAILED = -11,
  QVO_SOCKET_LOGIN_REFUSED = -12,
  QVO_SOCKET_LOGIN_UNREADABLE = -13,
  QVO_SOCKET_ENCRYPTION_FAILED = -14,
  QVO_SOCKET_NOT_MAIN_NODE = -15,
  QVO_SOCKET_LOGIN_GROUP2 = -16,
  QVO_SOCKET_LOGIN_GROUP1 = -17,
};

// What a socket asks of the connection it serves. The connection implements
// it; the socket sees nothing else of the connection.
class qvoSocketOwner {
 public:
  // The handle that keeps the socket's diagnostics and log lines; the socket
  // reads its protocol version.
  virtual qvoHandle* SocketHandle() = 0;
  // The node the socket connects to.
  virtual const char* NodeHost() const = 0;
  virtual const char* NodePort() const = 0;
  // Settings of the receive time-out and of the exchange's log line.
  virtual qvo_int32 FeedbackInterval() const = 0;
  virtual bool IsMainNode() const = 0;
  virtual bool SocketEncryption() const = 0;
  // The connection's internal statement (null when none).
  virtual SQLHSTMT GetStmt4Attr() const = 0;

 protected:
  ~qvoSocketOwner() = default;
};

// The node's key material for the login running on a socket: its public key
// (kPublicKeyBytes) and its random phrase, each null when the node sent none.
struct qvoNodeKeys {
  std::unique_ptr<char[]> publicKey;
  std::unique_ptr<char[]> phrase;
  int phraseLength = 0;
};

class qvoSocket {
 public:
  static constexpr int headerSize = static_cast<int>(kMessageHeaderBytes);
  // Sends below this size hint are buffered; from it on they go out directly.
  static constexpr int sendBufferThreshold = 50000;
  // Largest attribute block an answer may announce.
  static constexpr qvo_uint32 maxAnswerAttributeBytes = 1000000;
  // Largest data part of a request or an answer: the answer buffer (data + 4
  // bytes) and its length must fit a signed 32-bit length.
  static constexpr qvo_int64 maxMessageData = 0x7FFFFFFF - 4;

  // A socket without a descriptor, for Connect; or one that adopts a
  // descriptor already connected to a node and counting as logged in
  // (parallel slaves hand over such sockets, and tests use it), which the
  // socket owns from here.
  explicit qvoSocket(qvoSocketOwner* owner, int connectedSocket = -1);
  virtual ~qvoSocket();
  qvoSocket(const qvoSocket&) = delete;
  qvoSocket& operator=(const qvoSocket&) = delete;

  // --- connect --------------------------------------------------------------------
  // A new TCP connection to the owner's node within 30 seconds, in clear. It
  // does not count as connected before the login says so. 0, or -1 with a
  // diagnostic and GetSocketError telling why.
  SQLRETURN Connect();
  // Closes the socket and connects again to the same node, for the connection
  // to log in again into its session: the reconnect flag stays set until
  // Rejoined. 0, or -1 as Connect.
  SQLRETURN Reconnect();
  // The login after Reconnect joined the session: no reconnect is due.
  void Rejoined();

  // --- what the login tells the socket ------------------------------------------
  // The connection logs in on a connected socket and tells it how far it came.
  // Whether the socket counts as connected: answers are read only then.
  void SetConnected(bool connected);
  // Why the login failed (QVO_SOCKET_OK: it did not), for GetSocketError.
  void SetSocketError(qvoSocketErrorCode code);
  // Each wait of a receive lasts at most this many seconds while a login
  // runs, whatever the command's rule (0: the command's rule alone).
  void BoundEachRead(int seconds);
  int EachReadBound() const { return loginWaitLimit; }
  // The node's key material as its answers bring it: only a key of
  // kPublicKeyBytes is a key (anything else leaves the socket without one);
  // a phrase is kept as sent.
  void TakeNodeKey(const char* bytes, SQLINTEGER length);
  void TakeNodePhrase(const char* bytes, SQLINTEGER length);
  const qvoNodeKeys& NodeKeys() const { return nodeKeys; }
  void ForgetNodeKeys();
  // Keys the cipher's streams (send, receive); it enciphers nothing yet. 0, or
  // -1 for a missing or empty key.
  int SetCipherKeys(const unsigned char* sendKey, const unsigned char* receiveKey, int length);
  // Sends what is buffered in clear, then enciphers every byte in both
  // directions for the rest of the stream. 0, or -1 when the send failed (the
  // buffer is dropped, the failure recorded).
  SQLRETURN StartEnciphering();
  bool Enciphered() const;

  // --- header -------------------------------------------------------------------
  // The current serial, then advanced (4294967295 is followed by 0).
  qvo_uint32 SerialCounter();
  // Fills requestHeader for a request and returns it. Without attributes the
  // length is dataLength and count and block length are 0.
  char* qvoCreateHeader(const qvoAttributes* attributes, qvo_int64 dataLength,
                        __qvoMessageMode command, char* unused = nullptr);
  // Reads the header's count fields; returns the data length (message length
  // minus attribute bytes), negative when the attribute block is longer than
  // the message.
  qvo_int64 qvoParseHeader(const char* header, int* numAttributes, int* attributeBytes,
                           int* results) const;

  // --- sending --------------------------------------------------------------------
  // A message that carries its own framing (the login message), sent at once.
  // 0, or -1 when it failed: nothing of it stays buffered, the failure is
  // recorded and the socket no longer counts as connected.
  SQLRETURN SendMessage(const char* bytes, qvo_int64 len);

  // --- receiving ------------------------------------------------------------------
  // Exactly len bytes into buffer (deciphered when the stream is), each wait
  // limited by the command's receive time-out. 0 or -1 with a diagnostic.
  SQLRETURN qvoSafeRecv(void* buffer, qvo_int64 len, __qvoMessageMode command);
  // Seconds each wait of a receive for the command may last; 0: no limit.
  int ReceiveTimeout(__qvoMessageMode command) const;

  // --- errors -----------------------------------------------------------------------
  // Records the system's text for errno (nothing when errno is 0). -1.
  SQLRETURN WSAError();
  bool ShouldIReconnect() const { return reconnect; }
  int GetSocketError() const { return socketError; }
  SQLRETURN qvoIsConnected() const { return qvoConnected; }

  // --- closing ----------------------------------------------------------------------
  // Closes the descriptor (once; "no socket" is -1, never 0), frees the
  // answer buffer and counts as not connected; a next stream starts in clear.
  void closeSocket();
  void qvoCloseAll() { closeSocket(); }
  // Only shuts the connection down, for another thread to see; the
  // descriptor stays with the socket until closeSocket.
  void closeSocketForce();
  // Waits until the socket is readable: 0, or -1 after printing the error.
  SQLRETURN CheckSocket();

  // --- exchange ---------------------------------------------------------------------
  // One request and its answer. requester names the requesting handle in the
  // log (a statement, or null for the connection). *attributes, when given, is
  // sent as the attribute block and deleted once it went out (the pointer is
  // then null); a list whose block was not sent stays with the caller.
  // *answerAttributes, when given, receives the answer's attributes (null
  // when it has none) for the connection to apply, also when the exchange
  // fails after reading them: only the records ahead of a bad one, and no
  // more than the header counts. *answerVersion, when given, receives the
  // protocol version the answer named (0: none, or one refused), for the
  // connection to lower its own to. Returns the answer buffer length (0
  // without answer data) or -1.
  qvo_int64 qvoExecSQL(qvoHandle* requester, std::unique_ptr<qvoAttributes>* attributes,
                       const char* data, qvo_int64 dataLength, __qvoMessageMode command,
                       std::unique_ptr<qvoAttributes>* answerAttributes = nullptr,
                       qvo_int32* answerVersion = nullptr);
  // Sends an abort request (no answer is read), beside an exchange whose
  // answer another thread waits for: serialised with the sends of requests,
  // not with the wait for an answer.
  SQLRETURN SendAbortRequest();
  // Reads one answer; its attributes and protocol version as qvoExecSQL hands
  // them over. A version the answer names holds for the rest of it when it is
  // below the handle's.
  qvo_int64 qvoGetAnswer(__qvoMessageMode command,
                         std::unique_ptr<qvoAttributes>* answerAttributes = nullptr,
                         qvo_int32* answerVersion = nullptr);
  // Answer bytes received since the current exchange began.
  qvo_int64 AnswerBytesReceived() const { return answerBytesReceived; }
  // Hand the answer buffer to a statement (as its results, or as its further
  // rows); the socket keeps none afterwards. 0.
  SQLRETURN GiveResultsTo(qvoAnswerReceiver* stmt);
  SQLRETURN GiveMoreRowsTo(qvoAnswerReceiver* stmt);
  // A statement that asks for further rows is done with those it holds: their
  // buffer takes the answer, so that a stream of fetch answers is received
  // into one buffer whose pages are touched already.
  void ReuseRowsBufferOf(qvoAnswerReceiver* stmt);
  // Copies the answer buffer into destination when given; returns the
  // buffer, which stays with the socket.
  char* GetQvoAnswer(char* destination) const;
  qvo_int64 GetQvoAnswerLen() const { return qvoAnswerBufferLen; }
  // Drops the answer (its storage may be kept for the next one); a length
  // above 0 makes a new buffer of length + 1 bytes (zeroed). False when that
  // buffer cannot be had.
  bool ResetAnswerBuffer(qvo_int64 length);
  // Takes the answer buffer away from the socket (the caller owns it), with
  // the bytes allocated behind it when asked.
  char* ReleaseAnswerBuffer(qvo_int64* length, size_t* capacity = nullptr);

 private:
  friend struct qvoSocketTestPeer;

  // --- connect --------------------------------------------------------------------
  // A new TCP socket (with keep-alive) and the node's address. 0, or -1 with
  // a diagnostic.
  SQLRETURN GetSocketServer(const char* host, const char* port, sockaddr_in* address);
  // One connect attempt with a 30-second time-out; -1 records "No server
  // listening." with the system's reason.
  SQLRETURN ConnectToServer(sockaddr_in* address);
  SQLRETURN ErrorConnect(qvo_int64 result);

  // --- sending and receiving ------------------------------------------------------
  // Enciphers (when the stream is) and sends or buffers len bytes. The bytes
  // are never changed: enciphering happens in the send buffer or a copy.
  SQLRETURN qvoSend(const char* bytes, qvo_int64 len, qvo_int64 sizeHint);
  SQLRETURN qvoFlush();
  SQLRETURN qvoSendBase(const char* bytes, qvo_int64 len, qvo_int64 sizeHint);
  SQLRETURN SendAll(const char* bytes, size_t len, int logCode);
  // A failed send leaves nothing in the buffer to lead the next message.
  void DropUnsent() { sendBufferPos = 0; }
  // Records a failed send (result -1): -1, and the socket no longer counts
  // as connected; 0 for any other result.
  SQLRETURN ErrorSend(qvo_int64 result);
  SQLRETURN qvoSafeRecvBase(void* buffer, qvo_int64 len, __qvoMessageMode command);
  SQLRETURN ErrorRecv(qvo_int64 result);
  // The protocol version in force: the handle's, or the lower one that the
  // answer being read named.
  qvo_int32 ProtocolVersion() const;

  // --- the answer ---------------------------------------------------------------------
  // Walks the answer's attributes: -1 at a record that cannot be read, else
  // 1 when they name a protocol version (into *serverVersion), 0 when not.
  static int AnswerVersion(qvoAttributes& answer, qvo_int32* serverVersion);
  // Keeps a buffer for the next answer to be received into (the larger one
  // when a buffer is kept already); a capacity of 0 means unknown: freed.
  void KeepSpareBuffer(std::unique_ptr<char[]> buffer, size_t capacity);
  // Receives the answer data into the answer buffer behind the result count.
  qvo_int64 ReadAnswerData(qvo_int64 dataLength, int results, __qvoMessageMode command);
  void LogExchange(qvoHandle* requester, const qvoAttributes* attributes, qvo_int64 dataLength,
                   __qvoMessageMode command);

  int sock = -1;
  qvo_uint32 nPackageSerial = 0;
  SQLRETURN qvoConnected = 0;
  std::unique_ptr<char[]> qvoAnswerBuffer;
  SQLINTEGER qvoAnswerBufferLen = 0;
  size_t qvoAnswerBufferCapacity = 0;  // bytes allocated behind qvoAnswerBuffer
  std::unique_ptr<char[]> spareAnswerBuffer;
  size_t spareAnswerCapacity = 0;
  char headerV2[kMessageHeaderBytes] = {};  // the header of the answer being read
  // The header of the request being written (under sendMutex): an abort sent
  // while an answer is read must not write into that answer's header.
  char requestHeader[kMessageHeaderBytes] = {};
  std::unique_ptr<char[]> sendBuffer;
  int sendBufferSize = 0;
  int sendBufferPos = 0;
  qvoSocketOwner* owner;
  qvoHandle* connection;  // the owner's handle
  int socketError = 0;
  qvoNodeKeys nodeKeys;  // of the login running on the socket
  qvoCriticalSection socketMutex;
  // Held while a request is written (header, attributes, data), so that an
  // abort sent from another thread never falls inside one.
  qvoCriticalSection sendMutex;
  std::atomic<bool> reconnect{false};
  const char* testing_zel_8157 = nullptr;
  qvoProtocolEncryption encryptor;
  // Seconds each read may wait while a login runs (0: the command's rule).
  int loginWaitLimit = 0;
  // Answer bytes received since the current exchange began.
  qvo_int64 answerBytesReceived = 0;
  // While an answer is read: the moment its time limit ends (the limit holds
  // for the whole answer, so a server that trickles bytes cannot stretch it),
  // and the protocol version it named (0: none).
  std::optional<std::chrono::steady_clock::time_point> answerDeadline;
  qvo_int32 answerVersion = 0;
};

// Non-blocking connect that waits at most *timeout: 0, or -1 with errno set
// (ETIMEDOUT when the time ran out).
int timed_connect(int socket, sockaddr* address, unsigned addressLength, timeval* timeout);
