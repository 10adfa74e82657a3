// A scripted Vandrel node for tests: a server in a thread of the test process
// that decodes every request it receives with its own reader, records it, and
// answers from a script. It shares no code with the library, so a fault in the
// library's encoders cannot hide behind the same fault in the node.
//
// See README.md in this folder for how to use and grow it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "support/fake_crypto.h"

namespace fake {

using Bytes = std::vector<uint8_t>;

// ---- Wire helpers (little-endian, any alignment) ---------------------------

void PutLE(Bytes& out, uint64_t value, int width);
uint64_t GetLE(const uint8_t* p, int width);

// Commands the node knows by number.
enum Command : uint8_t {
  kCreatePrepared = 10,
  kExecutePrepared = 11,
  kExecute = 12,
  kCloseResultSet = 13,
  kSendRows = 14,
  kGetHostnames = 16,
  kExecuteBatch = 17,
  kClosePrepared = 18,
  kSessionKill = 27,
  kEnterParallel = 30,
  kDescribeResultSet = 31,
  kDisconnect = 32,
  kSendSlaveOffset = 33,
  kGetAttributes = 34,
  kSetAttributes = 35,
  kSendRowsFetch2 = 36,
  kAbortQuery = 37,
  kContinue = 38,
  kGetColumns = 39,
  kPing = 42,
  kLogin = 43,
};

constexpr uint32_t kLoginMagic1 = 0x01121201;
constexpr uint32_t kLoginMagic2 = 0x0BEDC228;
constexpr size_t kHeaderSize = 21;
constexpr size_t kLoginPreambleSize = 16;

// ---- Session attributes -----------------------------------------------------

// How an attribute's value is laid out, by id (the node's own table).
enum class AttrKind { Illegal, Byte, Int32, Int64, Bool, Text, Binary };
AttrKind KindOf(int16_t id);

// Attribute ids the tests name.
enum AttrId : int16_t {
  ATTR_USERNAME = 1,
  ATTR_CLIENTNAME = 2,
  ATTR_CLIENTOS = 3,
  ATTR_DRIVERNAME = 4,
  ATTR_LANGUAGE = 5,
  ATTR_SESSIONID = 6,
  ATTR_AUTOCOMMIT = 7,
  ATTR_RELEASE_VERSION = 8,
  ATTR_RELEASE_REVISION = 9,
  ATTR_CLIENTVERSION = 10,
  ATTR_CLIENTOS_USERNAME = 13,
  ATTR_PREPARED_PARAMCOUNT = 16,
  ATTR_TRANSACTION_STATE = 17,
  ATTR_PARALLEL_TOKEN = 18,
  ATTR_PROTOCOL_VERSION = 19,
  ATTR_DATETIME_FORMAT = 20,
  ATTR_DATE_FORMAT = 21,
  ATTR_CURRENT_SCHEMA = 22,
  ATTR_NUMERIC_CHARACTERS = 23,
  ATTR_MAX_STATEMENT_LENGTH = 24,
  ATTR_GENERIC_MESSAGE_SIZE = 25,
  ATTR_DATA_MESSAGE_SIZE = 26,
  ATTR_PUBLIC_KEY = 32,
  ATTR_RANDOM_PHRASE = 33,
  ATTR_ENCODED_PASSWORD = 34,
  ATTR_QUERY_TIMEOUT = 35,
  ATTR_CURRENT_CATALOG = 39,
  ATTR_MAX_IDENTIFIER_LENGTH = 40,
  ATTR_MAX_VARCHAR_LENGTH = 42,
  ATTR_UNKNOWN_TYPE_MAX_LEN = 43,
  ATTR_FEEDBACK_INTERVAL = 44,
  ATTR_TIMEZONE = 47,
  ATTR_TIMEZONE_BEHAVIOR = 48,
  ATTR_TSUTC_ENABLED = 51,
  ATTR_CLIENT_RECEIVE_KEY = 53,
  ATTR_CLIENT_SEND_KEY = 54,
  ATTR_CLIENT_KEYS_LEN = 56,
  ATTR_ENCRYPTION_REQUIRED = 57,
  ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER = 58,
  ATTR_IDENTIFIER_QUOTE_STRING = 59,
};

// One attribute record. For fixed kinds `value` holds the little-endian value
// bytes (1, 4 or 8); for text and binary it holds the payload without the
// length field. A raw attribute is written verbatim, whatever its id says.
struct Attr {
  int16_t id = 0;
  Bytes value;
  bool raw = false;

  static Attr Byte(int16_t id, int8_t v);
  static Attr Bool(int16_t id, bool v);
  static Attr Int32(int16_t id, int32_t v);
  static Attr Int64(int16_t id, int64_t v);
  static Attr Text(int16_t id, std::string_view text);
  static Attr Binary(int16_t id, Bytes bytes);
  static Attr Raw(Bytes recordBytes);

  int64_t AsInt() const;  // sign-extended from the value's width
  std::string AsText() const;
};

Bytes EncodeAttrs(const std::vector<Attr>& attrs);
// Decodes a whole block; false when a record has an unknown id or does not
// end inside the block.
bool DecodeAttrs(const uint8_t* p, size_t n, std::vector<Attr>* out);

// ---- Requests and replies -------------------------------------------------

struct Request {
  bool login = false;   // a login message (16-byte preamble)
  uint8_t command = 0;  // kLogin for a login message
  uint32_t messageLength = 0;
  uint32_t serial = 0;
  uint32_t numAttributes = 0;
  uint32_t attrLength = 0;
  uint32_t dataFlag = 0;         // last header field of a request
  uint32_t protocolVersion = 0;  // login only
  Bytes header;                  // the raw (deciphered) header or preamble
  Bytes attrBlock;
  std::vector<Attr> attrs;
  bool attrsValid = false;
  Bytes data;
  // Sizes of the transport records the request arrived in; only filled on the
  // boundary-keeping transport (Transport::Pair), where one record is one
  // send() of the client.
  std::vector<size_t> arrivals;

  const Attr* Find(int16_t id) const;
};

struct Reply {
  std::vector<Attr> attrs;
  uint32_t results = 0;
  Bytes data;
  // Header fields that lie about what follows.
  std::optional<uint32_t> numAttributes;
  std::optional<uint32_t> attrLength;
  std::optional<uint32_t> messageLength;
  // Sent instead of the encoded answer (still enciphered when the cipher is on).
  std::optional<Bytes> raw;
  // Misbehaviour: send only this many bytes of the answer, then close.
  std::optional<size_t> closeAfter;
  // Misbehaviour: send nothing and keep the connection open.
  bool silent = false;
  // Misbehaviour: send the answer one byte per interval (a server that
  // announces a long answer and trickles it); stops when the client closes
  // or the node stops.
  std::optional<std::chrono::milliseconds> trickle;
  // Switch the node's cipher on once this reply has gone out.
  bool cipherOnAfter = false;
  // Answers sent right after this one without waiting for a request (a
  // server that follows "still executing" with the result).
  std::vector<Reply> then;

  static Reply Silent();
  static Reply CloseAfter(size_t bytes);
};

// Encodes a reply as the node sends it (header, attribute block, data).
Bytes EncodeReply(const Reply& reply);

// ---- Answers by SQL text and served tables ----------------------------------

struct Table;  // support/fake_table.h

// Matches the SQL text of an execute request: exactly, or by a predicate.
class SqlMatch {
 public:
  SqlMatch(const char* exact) : SqlMatch(std::string(exact)) {}
  SqlMatch(std::string exact);
  template <typename Predicate>
  requires std::is_invocable_r_v<bool, Predicate, std::string_view> SqlMatch(Predicate predicate)
      : test_(std::move(predicate)) {}
  static SqlMatch Any();
  bool Matches(std::string_view sql) const { return test_(sql); }

 private:
  std::function<bool(std::string_view)> test_;
};

// How a served table is cut into blocks.
struct Blocks {
  // Rows sent inline with the description in the execute's answer. When
  // they are all the rows, the result is a small one (handle -3) and the
  // node keeps no state for it.
  int64_t inlineRows = 100;
  // The node's cap on the rows of one block fetched by byte budget (0: no
  // cap). A fetch by row count gets the rows it asks for, as far as there
  // are any.
  int64_t maxRows = 0;
  // The node's cap on the row-block bytes of one block fetched by byte
  // budget, on top of the client's budget (0: the budget alone).
  int64_t maxBytes = 0;

  // Every block, the inline one included, holds `rows` rows (fewer at the
  // end; by row count as many as the client asks for).
  static Blocks OfRows(int64_t rows) { return Blocks{rows, rows, 0}; }
};

// One row block the node cut from a served table.
struct ServedBlock {
  int32_t handle = 0;   // the server handle; -3 for a small result
  uint8_t command = 0;  // kExecute (the inline block), kSendRows, kSendRowsFetch2
  int64_t start = 0;    // first row (0-based)
  int64_t rows = 0;
  size_t bytes = 0;  // row-block bytes
};

// ---- The node ----------------------------------------------------------------

enum class Transport {
  Tcp,   // 127.0.0.1, ephemeral port; accepts one client after another
  Pair,  // a SOCK_SEQPACKET socket pair: every send() of the client arrives as
         // one record, so tests can see how the client cut its writes
};

class FakeNode {
 public:
  using Handler = std::function<Reply(const Request&, FakeNode&)>;

  explicit FakeNode(Transport transport = Transport::Tcp);
  ~FakeNode();
  FakeNode(const FakeNode&) = delete;
  FakeNode& operator=(const FakeNode&) = delete;

  uint16_t Port() const { return port_; }
  // Transport::Pair: the client's end of the pair; the caller owns it. Only
  // one client end per node.
  int TakeClientEnd();

  // Script. A pushed reply answers the next request, whatever its command;
  // without one, the handler of the request's command answers; without that,
  // an empty answer (no attributes, no data, 0 results) goes out, except for
  // abort_query, which the server never answers.
  void Push(Reply reply);
  void On(uint8_t command, Handler handler);

  // Answers chosen by SQL text, asked after the queue and before the command
  // handlers; the latest matching rule answers. A reply rule answers execute
  // and create-prepared requests; a table rule answers execute requests with
  // a new result set each time, whose further rows the node then serves on
  // the fetch requests (by row count, and by byte budget in the layout of
  // the node's protocol version) until the client closes it. A fetch or
  // close of a served result set already closed is recorded in Errors() and
  // answered with an exception; handles the node never gave out are left to
  // the queue and the handlers.
  void OnSql(SqlMatch match, Reply reply);
  void OnSql(SqlMatch match, Table table, Blocks blocks = {});
  void ServeTable(SqlMatch match, Table table, Blocks blocks = {});

  // Parallel mode on a slave node: the part of result set `handle` that this
  // node holds. describe_resultset for the handle answers with its
  // description and the first blocks.inlineRows rows; the fetch and close
  // requests are then served as for a table rule; send_slave_offset for the
  // handle answers with `offset`, the part's first row in the whole result.
  // A describe or offset request for another handle is an Errors() entry and
  // gets an exception.
  void ServeResultPart(int32_t handle, Table table, int64_t offset, Blocks blocks = {});

  // The protocol version whose answer layouts the node uses (13 until set;
  // a login answered by fake::LoginPlayer sets its script's version).
  void SetProtocolVersion(int32_t version);
  int32_t ProtocolVersion() const;

  // RC4 streams of the node, named from the client's side: what the client
  // sends is deciphered with clientSendKey. Takes effect at once (before the
  // next byte read or written) when `on` is true, else after a reply with
  // cipherOnAfter. A new client connection starts in clear.
  void SetCipherKeys(const Bytes& clientSendKey, const Bytes& clientReceiveKey, bool on);

  // The node's RSA key pair (made on first use, the same for every node) and
  // what the client encodes under it: an encoded password gives the password
  // (the text before the first zero of the secret positions), an encoded key
  // gives its first keyLength secret bytes. Empty when it does not decipher.
  const fakecrypto::RsaKeyPair& RsaKey() const;
  Bytes PublicKeyBlock() const { return RsaKey().PublicKeyBlock(); }
  std::optional<std::string> DecryptPassword(const Bytes& encoded) const;
  Bytes DecryptSecret(const Bytes& encoded, size_t keyLength) const;

  // What the node has seen.
  std::vector<Request> Requests() const;
  // Waits (at most timeoutMs) until `count` requests are recorded.
  bool WaitForRequests(size_t count, int timeoutMs = 10000) const;
  int Connections() const;
  // Number of client connections that ended (closed by the client, or by the
  // node's own misbehaviour).
  int ClosedConnections() const;
  bool WaitForClosed(int count, int timeoutMs = 10000) const;
  // Protocol errors the node found in what the client sent.
  std::vector<std::string> Errors() const;
  // The SQL text of every execute and create-prepared request, in order.
  std::vector<std::string> Sql() const;
  // Row blocks cut from served tables, in order, and the server handles of
  // served tables the client has not closed.
  std::vector<ServedBlock> ServedBlocks() const;
  std::vector<int32_t> OpenResultSets() const;
  // Every message both ways, decoded: "->" a request, "<-" an answer, each
  // followed by its decoded fields; values that change from run to run
  // (serials, session ids, keys, host and user names) are masked, see
  // README.md. ClearTrace() starts it afresh.
  std::string Trace() const;
  void ClearTrace();
  // Forgets the requests and the trace recorded so far, so that a caller
  // that runs for long (a fuzz target) keeps the node's memory bounded.
  void Forget();

 private:
  void Run();
  void Serve(int fd);
  bool ReadSome(int fd, Bytes& buffer, std::vector<size_t>* arrivals);
  bool SendReply(int fd, const Reply& reply);
  bool SendBytes(int fd, const uint8_t* p, size_t n);
  Reply ChooseReply(const Request& request);
  std::optional<Reply> AnswerFromTables(const Request& request);
  void Fail(std::string what);
  bool WaitFor(const std::function<bool()>& ready, int timeoutMs) const;

  Transport transport_;
  int listenFd_ = -1;
  int pairServerFd_ = -1;
  int clientEnd_ = -1;
  int wakeFd_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stop_ = false;
  std::deque<Reply> queue_;
  std::map<uint8_t, Handler> handlers_;
  std::vector<Request> requests_;
  std::vector<std::string> errors_;
  int connections_ = 0;
  int closed_ = 0;

  struct SqlRule {
    SqlMatch match;
    std::optional<Reply> reply;
    std::shared_ptr<const Table> table;
    Blocks blocks;
  };
  struct ServedResult {
    std::shared_ptr<const Table> table;
    Blocks blocks;
    bool open = true;
  };
  struct ResultPart {
    std::shared_ptr<const Table> table;
    Blocks blocks;
    int64_t offset = 0;
  };
  std::optional<Reply> AnswerParallel(const Request& request);
  std::vector<SqlRule> sqlRules_;
  std::map<int32_t, ResultPart> parts_;
  std::map<int32_t, ServedResult> served_;
  int32_t nextHandle_ = 1;
  std::vector<ServedBlock> servedBlocks_;
  int32_t protocolVersion_ = 13;
  std::string trace_;

  // Cipher state; touched by the node's thread, and by SetCipherKeys under mutex_.
  bool cipherOn_ = false;
  std::optional<fakecrypto::Rc4> fromClient_;
  std::optional<fakecrypto::Rc4> toClient_;
};

// A plain TCP connection to 127.0.0.1:port (blocking); -1 on failure.
int ConnectTcp(uint16_t port);

}  // namespace fake
