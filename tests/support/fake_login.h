// The login as a fake node plays it: it answers the login message with its
// public key and a random phrase, decrypts the password and the cipher keys
// of the following set_attributes request, checks them, switches its cipher
// on after its answer when keys came, and answers get_attributes with session
// settings. Refusals and missing key material are scripted by LoginScript.
//
// Written from the protocol, like the node; it includes nothing of the
// library.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/fake_node.h"

namespace fake {

// An exception as the first result of an answer's data: kind byte -1, the
// text's length, the text, the 5-character SQLSTATE.
Bytes ExceptionData(std::string_view sqlState, std::string_view text);
Reply ExceptionReply(std::string_view sqlState, std::string_view text);

struct Refusal {
  std::string sqlState;
  std::string text;
};

struct LoginScript {
  // The password the node accepts; a different one is refused with
  // "08004" "Authentication failed.".
  std::string password = "secret";
  Bytes phrase = Bytes(40, 0x5A);
  bool sendPublicKey = true;
  bool sendPhrase = true;
  // ATTR_PROTOCOL_VERSION of the login answer; 0 sends none.
  int32_t protocolVersion = 13;
  bool encryptionRequired = false;
  int64_t sessionId = 7001;
  // The session settings the login answer carries besides the key, the
  // phrase, the session id and the protocol version, as a server sends them
  // (the values a new session has).
  std::vector<Attr> loginAttrs = {
      Attr::Bool(ATTR_AUTOCOMMIT, true), Attr::Byte(ATTR_TRANSACTION_STATE, 0),
      Attr::Text(ATTR_RELEASE_VERSION, "8.1.4"), Attr::Int32(ATTR_MAX_IDENTIFIER_LENGTH, 128)};
  // The login message's answer carries this exception instead.
  std::optional<Refusal> refuseLogin;
  // The password step's answer carries this exception instead.
  std::optional<Refusal> refusePassword;
  // Settings of the get_attributes answer.
  std::vector<Attr> sessionAttrs = {Attr::Text(ATTR_RELEASE_VERSION, "8.1.4"),
                                    Attr::Text(ATTR_DATE_FORMAT, "YYYY-MM-DD")};
};

// What the node learned from one password step.
struct LoginSeen {
  std::optional<std::string> password;    // as decrypted; empty optional: none sent
  bool passwordLayoutOk = false;          // phrase positions hold the phrase
  Bytes clientSendKey, clientReceiveKey;  // 256 bytes each when keys came
  bool keysLayoutOk = false;              // key, zero, key repeated; phrase in between
  int64_t keysLength = 0;
};

// Installs the login handlers on the node (login, set_attributes,
// get_attributes). A set_attributes request without password or keys gets an
// empty answer. The script may be changed between logins.
class LoginPlayer {
 public:
  explicit LoginPlayer(FakeNode& node, LoginScript script = {});
  void SetScript(LoginScript script);
  std::vector<LoginSeen> Seen() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace fake
