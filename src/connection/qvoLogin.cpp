// Logging in on a socket that has connected to a node: the login message with
// the session attributes, the RSA-encoded password, the optional stream-cipher
// key exchange and the server's refusals. The connection connects its socket
// and then runs the login, which tells the socket how far it came; the
// answers' attributes are applied by the connection once each exchange is
// over.
//
// The password and the cipher keys only ever leave this file encoded under
// the node's public key; every buffer that held them is wiped before it goes.

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/qvoArgStrings.h"
#include "common/qvoServices.h"
#include "common/qvoVersion.h"
#include "connection/qvoConnection.h"
#include "connection/qvoLoginRefusal.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandleTable.h"
#include "platform/qvoConverter.h"
#include "protocol/qvoAnswers.h"
#include "protocol/qvoProtocolVersion.h"
#include "protocol/qvoRequestPayloads.h"
#include "transport/qvoRSA.h"
#include "transport/qvoSocket.h"

namespace {

constexpr qvo_uint32 loginMagic = 0x01121201;
constexpr qvo_uint32 loginMagicEnd = 0x0BEDC228;
constexpr int cipherKeyLength = 256;
// Longest random phrase a node may send. The RSA work of the login grows with
// the phrase (every 32 bytes add a block to each of three encodings), and no
// time-out bounds it: a node sending a phrase of a megabyte would hold the
// caller for minutes.
constexpr int maxSecretPhraseLength = 4096;
constexpr char driverName[] = "Vandrel_CLI";

// Key material for the stream cipher starts from this text when no seed was
// set (50 characters); the operating system's random bytes are mixed in.
constexpr char defaultRandomSeed[] = "Vandrel-Schlüssel: Grüße aus Köln, Zürich & Malmö!";
constexpr size_t randomSeedBufferSize = 100;
static_assert(sizeof defaultRandomSeed - 1 == 56);

// A heap buffer that is wiped before it is freed.
class SecretBuffer {
 public:
  explicit SecretBuffer(size_t size) : bytes_(new char[size]()), size_(size) {}
  ~SecretBuffer() { explicit_bzero(bytes_.get(), size_); }
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;
  char* get() { return bytes_.get(); }
  int size() const { return static_cast<int>(size_); }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t size_;
};

// The reads of one login wait at most the connection's login time-out.
class LoginWaitLimit {
 public:
  LoginWaitLimit(qvoSocket& socket, SQLUINTEGER seconds) : socket_(socket) {
    socket_.BoundEachRead(seconds > INT_MAX ? INT_MAX : static_cast<int>(seconds));
  }
  ~LoginWaitLimit() { socket_.BoundEachRead(0); }
  LoginWaitLimit(const LoginWaitLimit&) = delete;
  LoginWaitLimit& operator=(const LoginWaitLimit&) = delete;

 private:
  qvoSocket& socket_;
};

// The node's public key and random phrase serve one login: none is left over
// from an earlier login to stand in for what a node did not send, and none
// outlives the login, however it ends.
class KeyMaterialScope {
 public:
  explicit KeyMaterialScope(qvoSocket& socket) : socket_(socket) { socket_.ForgetNodeKeys(); }
  ~KeyMaterialScope() { socket_.ForgetNodeKeys(); }
  KeyMaterialScope(const KeyMaterialScope&) = delete;
  KeyMaterialScope& operator=(const KeyMaterialScope&) = delete;

 private:
  qvoSocket& socket_;
};

// Text of the application's code set as UTF-8 through a converter of its own
// (empty when the text does not convert).
std::string ToUtf8(const char* text) {
  std::string utf8;
  iconverter* conv = GetConverter(abortOnError);
  if (!conv) return utf8;
  // At most 259 bytes, as the names fit a 260-byte argument.
  aString arg(text, static_cast<int>(std::min<size_t>(std::strlen(text), 259)));
  if (const char* converted = arg.GetUTF8(conv)) utf8 = converted;
  FreeConverter(conv);
  return utf8;
}

// The name of the operating-system user the process runs as.
std::string ClientOsUserName() {
  std::vector<char> buffer(1024);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_name && *found->pw_name)
    return found->pw_name;
  const char* user = std::getenv("USER");
  return user ? user : "";
}

// Decimal point and group separator of the current locale, as two characters.
bool NumericCharacters(char out[3]) {
  const lconv* lc = std::localeconv();
  if (!lc || !lc->decimal_point) return false;
  out[0] = lc->decimal_point[0];
  if (lc->thousands_sep && lc->thousands_sep[0])
    out[1] = lc->thousands_sep[0];
  else
    out[1] = out[0] == '.' ? ',' : '.';
  out[2] = '\0';
  return true;
}

// One login on a socket that has just connected to the node.
class LoginRun {
 public:
  LoginRun(qvoConnection* conn, qvoSocket& loginSocket) : connection(conn), socket(loginSocket) {}
  SQLRETURN Login();

 private:
  // How the cipher keys came out.
  enum class CipherKeys { Added, NotEncoded, NotMade };

  // The steps after a readable login answer: the credentials encoded and
  // sent in clear, the cipher started, the session's settings read.
  SQLRETURN KeyExchange();
  // The set_attributes list with the password (main node) and, when the
  // stream is to be enciphered, the cipher keys, each encoded under the
  // node's public key; the node's key material is forgotten once they are.
  // 0, or the login's result when it ends here.
  SQLRETURN EncodeCredentials(std::unique_ptr<qvoAttributes>* list);
  // Keys for both directions from the seed and the system's random bytes:
  // the socket's cipher is keyed with them, and the list gets them encoded.
  // NotMade leaves errno telling why.
  CipherKeys AddCipherKeys(RSA_encoder& encoder, int encodedLength, qvoAttributes& list);
  // The node enciphers from its answer to the keys on; the client from here,
  // when the stream is to be enciphered. 0 or -1.
  SQLRETURN StartCipher();
  // The first enciphered request; its answer brings the session's settings.
  // The login's result: a refusal's, else `result`.
  SQLRETURN ReadSessionSettings(SQLRETURN result);
  // The node cannot take a password. -1.
  SQLRETURN CannotAccept();
  // The key exchange failed: the session cannot go on. -1.
  SQLRETURN KeyExchangeFailed();
  // The socket no longer counts as connected, and code tells why. -1.
  SQLRETURN Failed(qvoSocketErrorCode code);
  // Records the server's refusal in the answer buffer, if it holds one, and
  // tells the socket whether it stays connected and why it failed, by the
  // refusal's SQLSTATE: 0 none, -1 refused.
  SQLRETURN Refusal();
  bool CipherProtocol() const { return connection->GetProtocolVersion() >= kCipherProtocol; }

  qvoConnection* connection;
  qvoSocket& socket;
};

}  // namespace

void qvoConnection::OpenSocket() {
  // Every new socket asks for the newest protocol version again.
  protocolVersion = kCurrentProtocol;
  auto socket = std::make_unique<qvoSocket>(this);
  if (socket->Connect() == SQL_SUCCESS) Login(*socket);
  // The connection takes the socket once the login is over: nothing that the
  // login's answers set sends a request of its own on a socket still logging
  // in.
  Socket = std::move(socket);
}

SQLRETURN qvoConnection::Reconnect() {
  if (Socket->Reconnect() != SQL_SUCCESS) return SQL_ERROR;
  // Still flagged for a reconnect, the login joins the existing session.
  if (Login(*Socket) != SQL_SUCCESS) {
    const int error = Socket->GetSocketError();
    if (error <= QVO_SOCKET_LOGIN_UNREADABLE && error >= QVO_SOCKET_LOGIN_GROUP1) return SQL_ERROR;
  }
  Socket->Rejoined();
  return SQL_SUCCESS;
}

SQLRETURN qvoConnection::Login(qvoSocket& socket) { return LoginRun(this, socket).Login(); }

// ---- login -----------------------------------------------------------------------

SQLRETURN LoginRun::Login() {
  connectionAttr& attr = connection->connAttr;
  const LoginWaitLimit waitLimit(socket, attr.loginTimeout);
  const KeyMaterialScope keyMaterial(socket);
  if (connection->logFull) connection->Log("qvoSocket::Login()\n");

  // The pending session attributes travel with the login. Taken under the
  // lock that writers of the list hold (a socket.reconnect holds it already).
  std::unique_ptr<qvoAttributes> list;
  {
    qvoMutex pending(connection->executionMutex);
    if (connection->attributes) {
      list = connection->attributes->Clone();
      connection->ClearAttributes();
    }
  }
  if (!list) list = std::make_unique<qvoAttributes>(connection);
  auto addText = [&](SQLSMALLINT id, const std::string& text) {
    list->AddAttribute(id, text.data(), static_cast<SQLINTEGER>(text.size()));
  };
  auto addAutocommit = [&] {
    if (attr.autoCommit == 0 || attr.autoCommit == 1) {
      const unsigned char value = attr.autoCommit;
      list->AddAttribute(ATTR_AUTOCOMMIT, &value, 1);
    }
  };

  if (connection->ImMainNode && attr.userName)
    list->AddAttribute(ATTR_USERNAME, attr.userName.get(), attr.userNameLen);
  addText(ATTR_RELEASE_VERSION, kQvoVersion);
  if (const std::string user = ClientOsUserName(); !user.empty())
    addText(ATTR_CLIENTOS_USERNAME, ToUtf8(user.c_str()));
  if (utsname names{}; uname(&names) == 0) {
    char os[4 * sizeof names.machine + 16];
    std::snprintf(os, sizeof os, "%s : %s : %s : %s", names.machine, names.sysname, names.version,
                  names.release);
    addText(ATTR_CLIENTOS, ToUtf8(os));
  }
  addAutocommit();
  if (attr.feedbackInterval != 30) {
    // The test setting stays on the client; the server hears the default.
    const qvo_int32 interval =
        attr.feedbackInterval == kFeedbackIntervalTestSetting ? 30 : attr.feedbackInterval;
    list->AddAttribute(ATTR_FEEDBACK_INTERVAL, &interval, 4);
  }
  const qvo_int32 queryTimeout = static_cast<qvo_int32>(attr.queryTimeout);
  list->AddAttribute(ATTR_QUERY_TIMEOUT, &queryTimeout, 4);
  addText(ATTR_DRIVERNAME, driverName);
  if (connection->connectionToken != 0) {
    const qvo_int64 token = connection->connectionToken;
    list->AddAttribute(ATTR_PARALLEL_TOKEN, &token, 8);
  }
  if (attr.clientName && attr.clientNameLen > 0)
    list->AddAttribute(ATTR_CLIENTNAME, attr.clientName.get(), attr.clientNameLen);
  if (attr.clientVersion)
    list->AddAttribute(ATTR_CLIENTVERSION, attr.clientVersion.get(),
                       static_cast<SQLINTEGER>(std::strlen(attr.clientVersion.get())));
  const char* language = connection->setLocale(LC_NUMERIC, nullptr);
  if (!language) language = connection->setLocale(LC_NUMERIC, "");
  addText(ATTR_LANGUAGE, language ? language : "NULL");
  if (char numeric[3]; NumericCharacters(numeric))
    list->AddAttribute(ATTR_NUMERIC_CHARACTERS, numeric, 2);
  if (socket.ShouldIReconnect()) {
    const qvo_int64 session = static_cast<qvo_int64>(attr.qvosessionID);
    list->AddAttribute(ATTR_SESSIONID, &session, 8);
    if (connection->logFull)
      connection->Log("Login: Reconnect for session ID: %llu\n",
                      static_cast<unsigned long long>(attr.qvosessionID));
  } else {
    addAutocommit();
  }

  // The login message: its own preamble, then the block in wire order.
  std::vector<char> message;
  if (!EncodeLoginMessage(&message, static_cast<qvo_int32>(loginMagic),
                          connection->GetProtocolVersion(), static_cast<qvo_int32>(loginMagicEnd),
                          list->GetAttrDataPtr(), list->GetAttrDataLen()))
    return QVO_DIAG(connection, _Error_converting_attr_to_little_endian_, -1);
  list.reset();
  if (socket.SendMessage(message.data(), static_cast<qvo_int64>(message.size())) != SQL_SUCCESS)
    return SQL_ERROR;

  socket.SetConnected(true);
  const qvo_int64 answer = connection->ReadAnswer(socket, login);
  if (answer < 0) {
    if (connection->logFull) connection->Log("Login: qvoGetAnswer returned an error.\n");
    return Failed(QVO_SOCKET_LOGIN_UNREADABLE);
  }
  if (answer > 0) {
    socket.SetSocketError(QVO_SOCKET_LOGIN_UNREADABLE);
    Refusal();
    socket.SetConnected(false);
    return SQL_ERROR;
  }
  return KeyExchange();
}

// ---- key exchange ------------------------------------------------------------------

// What follows a readable login answer: the password and, when the stream is
// to be enciphered, the cipher keys, each encoded under the node's public key.
SQLRETURN LoginRun::KeyExchange() {
  connectionAttr& attr = connection->connAttr;
  if (attr.socketEncryption && !CipherProtocol()) {
    QVO_DIAG(connection,
             _Encrypted_communication_only_possible_with_a_server_of_version_5_0_or_newer_, -1);
    return Failed(QVO_SOCKET_ENCRYPTION_FAILED);
  }
  if (!connection->ImMainNode) {
    if (connection->logFull) connection->Log("SlaveNode login.\n");
    if (!CipherProtocol()) return SQL_SUCCESS;
  }
  if (attr.encryptionRequired) attr.socketEncryption = true;

  std::unique_ptr<qvoAttributes> list;
  if (const SQLRETURN rc = EncodeCredentials(&list); rc != SQL_SUCCESS) return rc;

  // Still in clear: the node learns the keys from this request.
  const bool keysSent = attr.checkConnectionIsEncrypted;
  const qvo_int64 answer = connection->Exchange(socket, nullptr, &list, nullptr, 0, set_attributes);
  list.reset();
  if (answer < 0) return KeyExchangeFailed();
  if (keysSent && !CipherProtocol()) {
    // The node has the keys and enciphers from here on; an answer that names
    // a version without the cipher must not turn the session into a clear one
    // that still reports itself enciphered.
    if (answer > 0) Refusal();
    QVO_DIAG(connection,
             _Encrypted_communication_only_possible_with_a_server_of_version_5_0_or_newer_, -1);
    return KeyExchangeFailed();
  }
  SQLRETURN result = SQL_SUCCESS;
  if (answer > 0) {
    attr.checkConnectionIsEncrypted = false;
    result = Refusal();
    if (!CipherProtocol() || !socket.qvoIsConnected()) return result;
  } else if (!CipherProtocol()) {
    socket.SetConnected(true);
    return result;
  }
  if (StartCipher() != SQL_SUCCESS) return KeyExchangeFailed();
  return ReadSessionSettings(result);
}

SQLRETURN LoginRun::EncodeCredentials(std::unique_ptr<qvoAttributes>* list) {
  connectionAttr& attr = connection->connAttr;
  const qvoNodeKeys& node = socket.NodeKeys();
  const int passwordLength = attr.qvoPassword ? attr.qvoPasswordLen : 0;
  const int passwordEncodedLen = RSA_encoder::EncodedPwdLen(passwordLength, node.phraseLength);
  const int keyEncodedLen = RSA_encoder::EncodedPwdLen(cipherKeyLength, node.phraseLength);
  // The node must be able to take a password: a public key and a phrase to
  // interleave it with. A node without them is not one to log in to.
  if (!node.publicKey || !node.phrase || node.phraseLength <= 0 ||
      node.phraseLength > maxSecretPhraseLength || passwordEncodedLen < 0 || keyEncodedLen < 0) {
    socket.ForgetNodeKeys();
    return CannotAccept();
  }

  // Sized by what the encoder writes, whatever the phrase's length.
  SecretBuffer password(static_cast<size_t>(passwordEncodedLen));
  int passwordLen = 0;
  std::unique_ptr<RSA_encoder> encoder;
  {
    qvoMutex lock(gmpMutex);
    encoder = std::make_unique<RSA_encoder>();
  }
  encoder->SetPublicKey(node.publicKey.get());
  bool encoded = true;
  if (connection->ImMainNode) {
    const char* pwd = attr.qvoPassword ? attr.qvoPassword.get() : "";
    encoded = encoder->EncodePwd(pwd, passwordLength, node.phrase.get(), node.phraseLength,
                                 password.get(), password.size(), &passwordLen) == 0;
  }

  *list = std::make_unique<qvoAttributes>(connection);
  attr.checkConnectionIsEncrypted = false;
  bool keysFailed = false;
  if (encoded && CipherProtocol() && attr.socketEncryption) {
    const CipherKeys keys = AddCipherKeys(*encoder, keyEncodedLen, **list);
    keysFailed = keys == CipherKeys::NotMade;
    encoded = keys != CipherKeys::NotEncoded;
  }
  if (encoded && !keysFailed && connection->ImMainNode)
    (*list)->AddAttribute(ATTR_ENCODED_PASSWORD, password.get(), passwordLen);

  encoder.reset();
  socket.ForgetNodeKeys();
  if (keysFailed) {
    // The system's random source failed; its reason is the record.
    if (errno == 0) errno = EIO;
    socket.WSAError();
    return KeyExchangeFailed();
  }
  if (!encoded) {
    list->reset();
    return CannotAccept();
  }
  return SQL_SUCCESS;
}

LoginRun::CipherKeys LoginRun::AddCipherKeys(RSA_encoder& encoder, int encodedLength,
                                             qvoAttributes& list) {
  connectionAttr& attr = connection->connAttr;
  if (!attr.randomSeed) {
    attr.randomSeed = std::make_unique<char[]>(randomSeedBufferSize);
    std::memcpy(attr.randomSeed.get(), defaultRandomSeed, sizeof defaultRandomSeed);
  }
  const char* seed = attr.randomSeed.get();
  size_t seedLength = std::strlen(seed);
  if (seedLength == 0) {
    seed = defaultRandomSeed;
    seedLength = sizeof defaultRandomSeed - 1;
  }
  // The receive key continues the seed's cycle where the send key stopped.
  SecretBuffer sendKey(cipherKeyLength);
  SecretBuffer receiveKey(cipherKeyLength);
  auto* send = reinterpret_cast<unsigned char*>(sendKey.get());
  auto* receive = reinterpret_cast<unsigned char*>(receiveKey.get());
  for (size_t k = 0; k < cipherKeyLength; ++k) {
    send[k] = static_cast<unsigned char>(seed[k % seedLength]);
    receive[k] = static_cast<unsigned char>(seed[(cipherKeyLength + k) % seedLength]);
  }
  errno = 0;
  if (qvoProtocolEncryption::getRandomKey(send, cipherKeyLength) != 0 ||
      qvoProtocolEncryption::getRandomKey(receive, cipherKeyLength) != 0 ||
      socket.SetCipherKeys(send, receive, cipherKeyLength) != 0)
    return CipherKeys::NotMade;

  // The cipher holds its own schedule; the raw keys are wiped as they go.
  const qvoNodeKeys& node = socket.NodeKeys();
  SecretBuffer encodedReceiveKey(static_cast<size_t>(encodedLength));
  SecretBuffer encodedSendKey(static_cast<size_t>(encodedLength));
  int receiveKeyLen = 0, sendKeyLen = 0;
  if (encoder.EncodePwd(receiveKey.get(), cipherKeyLength, node.phrase.get(), node.phraseLength,
                        encodedReceiveKey.get(), encodedReceiveKey.size(), &receiveKeyLen) != 0 ||
      encoder.EncodePwd(sendKey.get(), cipherKeyLength, node.phrase.get(), node.phraseLength,
                        encodedSendKey.get(), encodedSendKey.size(), &sendKeyLen) != 0)
    return CipherKeys::NotEncoded;
  const qvo_int32 keysLength = cipherKeyLength;
  list.AddAttribute(ATTR_CLIENT_RECEIVE_KEY, encodedReceiveKey.get(), receiveKeyLen);
  list.AddAttribute(ATTR_CLIENT_SEND_KEY, encodedSendKey.get(), sendKeyLen);
  list.AddAttribute(ATTR_CLIENT_KEYS_LEN, &keysLength, 4);
  attr.checkConnectionIsEncrypted = true;
  return CipherKeys::Added;
}

SQLRETURN LoginRun::StartCipher() {
  const connectionAttr& attr = connection->connAttr;
  const int version = connection->GetProtocolVersion();
  if (connection->logFull)
    connection->Log("Protocol version V%i, encryption supported.\n", version);
  if (attr.socketEncryption) {
    if (socket.StartEnciphering() != SQL_SUCCESS) return SQL_ERROR;
    if (connection->logFull) connection->Log("Encryption activated in client.\n");
  }
  if (connection->logFull)
    connection->Log(
        "Protocol version V%i, %s%s", version,
        attr.socketEncryption ? "socketEncryption=Y, " : "socketEncryption=N, ",
        socket.Enciphered() ? "encryptedCommunication=Y\n" : "encryptedCommunication=N\n");
  return SQL_SUCCESS;
}

SQLRETURN LoginRun::ReadSessionSettings(SQLRETURN result) {
  const qvo_int64 answer =
      connection->Exchange(socket, nullptr, nullptr, nullptr, 0, get_attributes);
  if (answer < 0) return KeyExchangeFailed();
  if (answer > 0) {
    result = Refusal();
    connection->connAttr.checkConnectionIsEncrypted = false;
    return result;
  }
  socket.SetConnected(true);
  return result;
}

// ---- failures ----------------------------------------------------------------------

SQLRETURN LoginRun::CannotAccept() {
  if (connection->logFull) {
    connection->Log("MainNode login.\n");
    connection->Log("ERROR_NOT_MAIN_NODE_CONNECTED\n");
  }
  QVO_DIAG(connection, _Selected_node_cannot_accept_connections_, -1);
  socket.SetSocketError(QVO_SOCKET_NOT_MAIN_NODE);
  connection->connAttr.checkConnectionIsEncrypted = false;
  return SQL_ERROR;
}

SQLRETURN LoginRun::KeyExchangeFailed() {
  connection->connAttr.checkConnectionIsEncrypted = false;
  return Failed(QVO_SOCKET_ENCRYPTION_FAILED);
}

SQLRETURN LoginRun::Failed(qvoSocketErrorCode code) {
  socket.SetSocketError(code);
  socket.SetConnected(false);
  return SQL_ERROR;
}

SQLRETURN LoginRun::Refusal() {
  if (connection->logFull) connection->Log("qvoSocket::LoginError()\n");
  const char* answer = socket.GetQvoAnswer(nullptr);
  const qvo_int64 answerLength = socket.GetQvoAnswerLen();
  const size_t length = answer && answerLength > 0 ? static_cast<size_t>(answerLength) : 0;
  qvoServerException e;
  switch (DecodeExceptionAnswer(answer, length, &e)) {
    case qvoExceptionAnswer::None:
      return SQL_SUCCESS;
    case qvoExceptionAnswer::Malformed:
      QVO_DIAG(connection, _Incorrect_data_array_received_from_server_, -1);
      return Failed(QVO_SOCKET_LOGIN_REFUSED);
    case qvoExceptionAnswer::Exception:
      break;
  }
  const std::string text(e.text);
  char state[6] = {};
  std::memcpy(state, e.state.data(), 5);
  if (connection->logFull)
    connection->Log("Server SQL_STATE: %s, MESSAGE: %s\n", state, text.c_str());
  Translator* t = connection->GetTranslatorPtr();
  connection->SetDiagRec(t->_Read_error_from_server_CODE(state), -1,
                         t->_Read_error_from_server_MESSAGE(text.c_str()));
  connection->LastDiagWasFromServer();

  switch (LoginRefusalOf(state)) {
    case qvoLoginRefusal::EndsSession:
      return Failed(QVO_SOCKET_LOGIN_GROUP1);
    case qvoLoginRefusal::KeepsSocket:
      socket.SetConnected(true);
      socket.SetSocketError(QVO_SOCKET_LOGIN_GROUP2);
      return SQL_ERROR;
    case qvoLoginRefusal::None:
      break;
  }
  return Failed(QVO_SOCKET_LOGIN_REFUSED);
}
