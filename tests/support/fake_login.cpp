#include "support/fake_login.h"

#include <mutex>
#include <utility>

namespace fake {

namespace {

constexpr size_t kCipherKeyLength = 256;

// The plain text of an encoded secret, split into secret and phrase positions.
std::optional<fakecrypto::Interleaved> Open(const FakeNode& node, const Attr* encoded) {
  if (!encoded) return std::nullopt;
  Bytes plain = fakecrypto::RsaDecrypt(node.RsaKey(), encoded->value);
  if (plain.empty()) return std::nullopt;
  return fakecrypto::Deinterleave(plain);
}

// A 256-byte key in the secret positions: the key, a zero, the key again.
bool KeyLayoutOk(const fakecrypto::Interleaved& text, const Bytes& phrase) {
  const Bytes& s = text.secret;
  if (s.size() < kCipherKeyLength + 1 || s[kCipherKeyLength] != 0) return false;
  for (size_t k = kCipherKeyLength + 1; k < s.size(); ++k)
    if (s[k] != s[k - kCipherKeyLength - 1]) return false;
  return fakecrypto::PhraseRepeats(text, phrase);
}

}  // namespace

Bytes ExceptionData(std::string_view sqlState, std::string_view text) {
  Bytes out{0xFF};
  PutLE(out, text.size(), 4);
  out.insert(out.end(), text.begin(), text.end());
  out.insert(out.end(), sqlState.begin(), sqlState.end());
  return out;
}

Reply ExceptionReply(std::string_view sqlState, std::string_view text) {
  Reply r;
  r.results = 1;
  r.data = ExceptionData(sqlState, text);
  return r;
}

struct LoginPlayer::State {
  std::mutex mutex;
  LoginScript script;
  std::vector<LoginSeen> seen;
};

LoginPlayer::LoginPlayer(FakeNode& node, LoginScript script) : state_(std::make_shared<State>()) {
  state_->script = std::move(script);
  std::shared_ptr<State> state = state_;

  node.On(kLogin, [state](const Request&, FakeNode& n) {
    std::lock_guard<std::mutex> lock(state->mutex);
    const LoginScript& s = state->script;
    if (s.refuseLogin) return ExceptionReply(s.refuseLogin->sqlState, s.refuseLogin->text);
    Reply r;
    if (s.sendPublicKey) r.attrs.push_back(Attr::Binary(ATTR_PUBLIC_KEY, n.PublicKeyBlock()));
    if (s.sendPhrase) r.attrs.push_back(Attr::Binary(ATTR_RANDOM_PHRASE, s.phrase));
    r.attrs.push_back(Attr::Int64(ATTR_SESSIONID, s.sessionId));
    if (s.protocolVersion) {
      r.attrs.push_back(Attr::Int32(ATTR_PROTOCOL_VERSION, s.protocolVersion));
      n.SetProtocolVersion(s.protocolVersion);
    }
    if (s.encryptionRequired) r.attrs.push_back(Attr::Bool(ATTR_ENCRYPTION_REQUIRED, true));
    r.attrs.insert(r.attrs.end(), s.loginAttrs.begin(), s.loginAttrs.end());
    return r;
  });

  node.On(kSetAttributes, [state](const Request& request, FakeNode& n) {
    const Attr* password = request.Find(ATTR_ENCODED_PASSWORD);
    const Attr* receiveKey = request.Find(ATTR_CLIENT_RECEIVE_KEY);
    const Attr* sendKey = request.Find(ATTR_CLIENT_SEND_KEY);
    if (!password && !receiveKey && !sendKey) return Reply{};

    std::lock_guard<std::mutex> lock(state->mutex);
    const LoginScript& s = state->script;
    LoginSeen seen;
    if (auto text = Open(n, password)) {
      seen.password = fakecrypto::PasswordOf(*text);
      seen.passwordLayoutOk = fakecrypto::PhraseRepeats(*text, s.phrase);
    }
    auto receive = Open(n, receiveKey);
    auto send = Open(n, sendKey);
    if (const Attr* length = request.Find(ATTR_CLIENT_KEYS_LEN)) seen.keysLength = length->AsInt();
    if (receive && send) {
      seen.clientReceiveKey.assign(receive->secret.begin(),
                                   receive->secret.begin() + kCipherKeyLength);
      seen.clientSendKey.assign(send->secret.begin(), send->secret.begin() + kCipherKeyLength);
      seen.keysLayoutOk = KeyLayoutOk(*receive, s.phrase) && KeyLayoutOk(*send, s.phrase);
    }
    state->seen.push_back(seen);

    if (s.refusePassword) return ExceptionReply(s.refusePassword->sqlState, s.refusePassword->text);
    if (password && seen.password != s.password)
      return ExceptionReply("08004", "Authentication failed.");
    Reply r;
    if (seen.keysLayoutOk) {
      // Every byte after this answer is enciphered, both ways.
      n.SetCipherKeys(seen.clientSendKey, seen.clientReceiveKey, false);
      r.cipherOnAfter = true;
    }
    return r;
  });

  node.On(kGetAttributes, [state](const Request&, FakeNode&) {
    std::lock_guard<std::mutex> lock(state->mutex);
    Reply r;
    r.attrs = state->script.sessionAttrs;
    return r;
  });
}

void LoginPlayer::SetScript(LoginScript script) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->script = std::move(script);
}

std::vector<LoginSeen> LoginPlayer::Seen() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->seen;
}

}  // namespace fake
