#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "connection/login_fixture.h"

namespace {

using fake::Attr;
using fake::LoginScript;
using fake::Refusal;
using fake::Request;

const fake::Request* Find(const std::vector<Request>& requests, uint8_t command, int nth = 0) {
  for (const Request& r : requests)
    if (r.command == command && nth-- == 0) return &r;
  return nullptr;
}

TEST(Login, InClearWithTheSessionAttributes) {
  LoginFixture f;
  EXPECT_EQ(f.Login(), 0);
  EXPECT_EQ(f.socket().qvoIsConnected(), 1);
  EXPECT_EQ(f.Commands(),
            (std::vector<uint8_t>{fake::kLogin, fake::kSetAttributes, fake::kGetAttributes}));
  const auto requests = f.node.Requests();
  const Request& login = requests[0];
  EXPECT_TRUE(login.login);
  EXPECT_EQ(login.protocolVersion, 13u);
  ASSERT_TRUE(login.attrsValid);
  EXPECT_EQ(login.Find(fake::ATTR_USERNAME)->AsText(), "user");
  EXPECT_EQ(login.Find(fake::ATTR_RELEASE_VERSION)->AsText(), "5.0.17");
  EXPECT_EQ(login.Find(fake::ATTR_DRIVERNAME)->AsText(), "Vandrel_CLI");
  EXPECT_EQ(login.Find(fake::ATTR_AUTOCOMMIT)->AsInt(), 1);
  EXPECT_EQ(login.Find(fake::ATTR_QUERY_TIMEOUT)->AsInt(), 0);
  EXPECT_EQ(login.Find(fake::ATTR_CLIENTNAME)->AsText(), std::string("Unknown client", 15));
  EXPECT_FALSE(login.Find(fake::ATTR_LANGUAGE)->AsText().empty());
  EXPECT_EQ(login.Find(fake::ATTR_NUMERIC_CHARACTERS)->AsText().size(), 2u);
  EXPECT_NE(login.Find(fake::ATTR_CLIENTOS), nullptr);
  EXPECT_EQ(login.Find(fake::ATTR_FEEDBACK_INTERVAL), nullptr) << "30 is not sent";
  EXPECT_EQ(login.Find(fake::ATTR_SESSIONID), nullptr);
  EXPECT_EQ(login.Find(fake::ATTR_ENCODED_PASSWORD), nullptr) << "never in the login message";

  const Request& password = requests[1];
  EXPECT_NE(password.Find(fake::ATTR_ENCODED_PASSWORD), nullptr);
  EXPECT_EQ(password.Find(fake::ATTR_CLIENT_SEND_KEY), nullptr) << "no keys without encryption";
  const auto seen = f.player.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].password, "secret");
  EXPECT_TRUE(seen[0].passwordLayoutOk);

  // The answers' settings reached the connection; the key material is gone.
  EXPECT_EQ(f.conn.GetSessionID(), 7001u);
  EXPECT_STREQ(f.conn.GetServerVersion(), "8.1.4");
  EXPECT_EQ(f.socket().NodeKeys().publicKey, nullptr);
  EXPECT_EQ(f.socket().NodeKeys().phrase, nullptr);
  EXPECT_FALSE(f.conn.connAttr.checkConnectionIsEncrypted);
  EXPECT_FALSE(f.socket().Enciphered());
  EXPECT_TRUE(f.node.Errors().empty());
}

// The node's trace of a login: what changes between hosts, locales, releases
// and runs is masked, the rest is compared as sent.
TEST(Login, TraceOfALoginInClear) {
  LoginFixture f;
  ASSERT_EQ(f.Login(), 0);
  EXPECT_EQ(f.node.Trace(),
            "-> login protocol=13 len=* attrs=10/* data=0\n"
            "   ATTR_USERNAME=\"user\"\n"
            "   ATTR_RELEASE_VERSION=*\n"
            "   ATTR_CLIENTOS_USERNAME=*\n"
            "   ATTR_CLIENTOS=*\n"
            "   ATTR_AUTOCOMMIT=true\n"
            "   ATTR_QUERY_TIMEOUT=0\n"
            "   ATTR_DRIVERNAME=\"Vandrel_CLI\"\n"
            "   ATTR_CLIENTNAME=*\n"
            "   ATTR_LANGUAGE=*\n"
            "   ATTR_NUMERIC_CHARACTERS=*\n"
            "<- results=0 len=* attrs=8/* data=0\n"
            "   ATTR_PUBLIC_KEY=<256 bytes>\n"
            "   ATTR_RANDOM_PHRASE=<40 bytes>\n"
            "   ATTR_SESSIONID=*\n"
            "   ATTR_PROTOCOL_VERSION=13\n"
            "   ATTR_AUTOCOMMIT=true\n"
            "   ATTR_TRANSACTION_STATE=0\n"
            "   ATTR_RELEASE_VERSION=*\n"
            "   ATTR_MAX_IDENTIFIER_LENGTH=128\n"
            "-> set_attributes len=262 attrs=1/262 data=0\n"
            "   ATTR_ENCODED_PASSWORD=<256 bytes>\n"
            "<- results=0 len=0 attrs=0/0 data=0\n"
            "-> get_attributes len=0 attrs=0/0 data=0\n"
            "<- results=0 len=* attrs=2/* data=0\n"
            "   ATTR_RELEASE_VERSION=*\n"
            "   ATTR_DATE_FORMAT=\"YYYY-MM-DD\"\n");
}

TEST(Login, TheLogNeverShowsThePasswordOrTheKeys) {
  MemoryLog log;  // outlives the connection, which logs to the end
  LoginFixture f;
  log.AttachTo(f.conn);
  f.conn.connAttr.socketEncryption = true;
  ASSERT_EQ(f.Login(), 0);
  const std::string text = log.Text();
  EXPECT_NE(text.find("qvoSocket::Login()"), std::string::npos);
  EXPECT_NE(text.find("AddAttribute ATTR_ENCODED_PASSWORD BINARY ******"), std::string::npos);
  EXPECT_NE(text.find("Encryption activated in client."), std::string::npos);
  EXPECT_EQ(text.find("secret"), std::string::npos);
  const fake::Bytes key = f.player.Seen().at(0).clientSendKey;
  EXPECT_EQ(text.find(std::string(key.begin(), key.begin() + 16)), std::string::npos);
}

TEST(Login, FeedbackIntervalAndAutocommitAsSent) {
  struct Case {
    qvo_int32 feedback;
    unsigned char autoCommit;
    std::optional<int64_t> sentFeedback;
    std::optional<int64_t> sentAutocommit;
  };
  const Case cases[] = {
      {30, 1, std::nullopt, 1},
      {45, 0, 45, 0},
      {-1701, 1, 30, 1},  // the client's test setting: the server hears the default
      {30, 2, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    LoginFixture f;
    f.conn.connAttr.feedbackInterval = c.feedback;
    f.conn.connAttr.autoCommit = c.autoCommit;
    ASSERT_EQ(f.Login(), 0);
    const auto requests = f.node.Requests();
    const Request& login = requests[0];
    const Attr* feedback = login.Find(fake::ATTR_FEEDBACK_INTERVAL);
    const Attr* autoCommit = login.Find(fake::ATTR_AUTOCOMMIT);
    SCOPED_TRACE(c.feedback);
    EXPECT_EQ(feedback ? std::optional<int64_t>(feedback->AsInt()) : std::nullopt, c.sentFeedback);
    EXPECT_EQ(autoCommit ? std::optional<int64_t>(autoCommit->AsInt()) : std::nullopt,
              c.sentAutocommit);
  }
}

TEST(Login, EncipheredStreamAfterTheKeyExchange) {
  struct Case {
    const char* name;
    bool clientAsks;
    bool serverRequires;
    size_t phraseLength;
  };
  // Phrases short and long: the key and password buffers follow the
  // encoder's output (1,280 bytes for a key and a phrase of up to 320 bytes).
  const Case cases[] = {
      {"asked by the client", true, false, 40},
      {"required by the server", false, true, 10},
      {"longest phrase", true, false, 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoginScript script;
    script.encryptionRequired = c.serverRequires;
    script.phrase = fake::Bytes(c.phraseLength, 0);
    for (size_t k = 0; k < c.phraseLength; ++k) script.phrase[k] = static_cast<uint8_t>(k * 7 + 1);
    LoginFixture f(script);
    f.conn.connAttr.socketEncryption = c.clientAsks;
    ASSERT_EQ(f.Login(), 0);
    EXPECT_EQ(f.socket().qvoIsConnected(), 1);
    EXPECT_TRUE(f.conn.connAttr.socketEncryption);
    EXPECT_TRUE(f.conn.connAttr.checkConnectionIsEncrypted);
    EXPECT_TRUE(f.socket().Enciphered());

    const auto seen = f.player.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].password, "secret");
    EXPECT_TRUE(seen[0].passwordLayoutOk);
    EXPECT_TRUE(seen[0].keysLayoutOk);
    EXPECT_EQ(seen[0].keysLength, 256);
    EXPECT_NE(seen[0].clientSendKey, seen[0].clientReceiveKey);

    // The node deciphers what follows the key exchange with the client's
    // keys: the get_attributes request and a later execute arrive intact.
    EXPECT_EQ(f.socket().qvoExecSQL(nullptr, nullptr, "select 1", 8, execute), 0);
    const auto requests = f.node.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[2].command, fake::kGetAttributes);
    EXPECT_EQ(requests[3].command, fake::kExecute);
    EXPECT_EQ(std::string(requests[3].data.begin(), requests[3].data.end()), "select 1");
    EXPECT_STREQ(f.conn.GetServerVersion(), "8.1.4") << "the enciphered answer was read";
    EXPECT_TRUE(f.node.Errors().empty());
  }
}

// The login answer as the node sends it, with its own key and a phrase.
fake::Reply KeyAnswer(fake::FakeNode& node, int32_t version = 13) {
  fake::Reply r;
  r.attrs = {Attr::Binary(fake::ATTR_PUBLIC_KEY, node.PublicKeyBlock()),
             Attr::Binary(fake::ATTR_RANDOM_PHRASE, fake::Bytes(40, 0x5A)),
             Attr::Int32(fake::ATTR_PROTOCOL_VERSION, version)};
  return r;
}

TEST(Login, EncryptionNeedsProtocolVersion12) {
  struct Case {
    const char* name;
    std::function<void(LoginFixture&)> arrange;
    std::vector<uint8_t> commands;
  };
  const Case cases[] = {
      {"login answer below 12",
       [](LoginFixture& f) {
         LoginScript script;
         script.protocolVersion = 11;
         f.player.SetScript(script);
       },
       {fake::kLogin}},
      // The keys went out: the stream cannot go on in clear.
      {"key exchange answered below 12",
       [](LoginFixture& f) {
         f.node.Push(KeyAnswer(f.node));
         fake::Reply lower;
         lower.attrs = {Attr::Int32(fake::ATTR_PROTOCOL_VERSION, 11)};
         f.node.Push(lower);
       },
       {fake::kLogin, fake::kSetAttributes}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoginFixture f;
    c.arrange(f);
    f.conn.connAttr.socketEncryption = true;
    EXPECT_EQ(f.Login(), QVO_SOCKET_ENCRYPTION_FAILED);
    EXPECT_EQ(f.socket().qvoIsConnected(), 0);
    EXPECT_FALSE(f.conn.connAttr.checkConnectionIsEncrypted);
    EXPECT_EQ(TextsOf(f.conn).back(),
              "Encrypted communication only possible with a server of version 5.0 or newer.");
    EXPECT_EQ(f.Commands(), c.commands);
  }
}

TEST(Login, RefusalsBySqlState) {
  struct Case {
    const char* name;
    std::optional<Refusal> refuseLogin;
    std::optional<Refusal> refusePassword;
    std::string password;
    int socketError;
    int connected;
    std::string state;
    std::string text;
    std::vector<uint8_t> commands;
  };
  // A refusal of the second group still opens the session: its settings are
  // asked for.
  const std::vector<uint8_t> opened = {fake::kLogin, fake::kSetAttributes, fake::kGetAttributes};
  const std::vector<uint8_t> refused = {fake::kLogin, fake::kSetAttributes};
  const std::vector<uint8_t> atLogin = {fake::kLogin};
  const Case cases[] = {
      {"second group", std::nullopt, Refusal{"40017", "Try again later."}, "secret",
       QVO_SOCKET_LOGIN_GROUP2, 1, "40017", "Try again later.", opened},
      {"second group, another state", std::nullopt, Refusal{"40001", "Password expires soon."},
       "secret", QVO_SOCKET_LOGIN_GROUP2, 1, "40001", "Password expires soon.", opened},
      {"first group", std::nullopt, Refusal{"40020", "Session limit reached."}, "secret",
       QVO_SOCKET_LOGIN_GROUP1, 0, "40020", "Session limit reached.", refused},
      {"any other", std::nullopt, Refusal{"28000", "User locked."}, "secret",
       QVO_SOCKET_LOGIN_REFUSED, 0, "28000", "User locked.", refused},
      {"wrong password", std::nullopt, std::nullopt, "wrong", QVO_SOCKET_LOGIN_REFUSED, 0, "08004",
       "Authentication failed.", refused},
      {"login message refused", Refusal{"40009", "Not now."}, std::nullopt, "secret",
       QVO_SOCKET_LOGIN_GROUP1, 0, "40009", "Not now.", atLogin},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoginScript script;
    script.refuseLogin = c.refuseLogin;
    script.refusePassword = c.refusePassword;
    LoginFixture f(script);
    f.conn.connAttr.SetPassword(c.password.data(), static_cast<int>(c.password.size()));
    EXPECT_EQ(f.Login(), c.socketError);
    EXPECT_EQ(f.socket().qvoIsConnected(), c.connected);
    const auto diags = DiagsOf(f.conn);
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ(diags.back().state, c.state);
    EXPECT_EQ(diags.back().native, -1);
    EXPECT_EQ(diags.back().text, c.text);
    EXPECT_TRUE(f.conn.GetDiagRecPtr(static_cast<SQLSMALLINT>(diags.size()))->fromServer);
    EXPECT_EQ(f.Commands(), c.commands);
  }
}

TEST(Login, ANodeWithoutKeyMaterialCannotAcceptConnections) {
  struct Case {
    const char* name;
    bool key;
    bool phrase;
    size_t phraseLength;
  };
  const Case cases[] = {
      {"no public key", false, true, 40},
      {"no phrase", true, false, 40},
      {"empty phrase", true, true, 0},
      {"phrase too long to encode in time", true, true, 4097},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoginScript script;
    script.sendPublicKey = c.key;
    script.sendPhrase = c.phrase;
    script.phrase = fake::Bytes(c.phraseLength, 9);
    LoginFixture f(script);
    EXPECT_EQ(f.Login(), QVO_SOCKET_NOT_MAIN_NODE);
    EXPECT_EQ(f.socket().qvoIsConnected(), 1) << "the socket still counts as connected";
    const auto diags = DiagsOf(f.conn);
    ASSERT_EQ(diags.size(), 1u);
    EXPECT_EQ(diags[0].state, "SO011");
    EXPECT_EQ(diags[0].text, "Selected node cannot accept connections.");
    EXPECT_EQ(f.Commands(), std::vector<uint8_t>{fake::kLogin}) << "no password went out";
  }
}

TEST(Login, NoKeyMaterialOutlivesTheLogin) {
  struct Case {
    const char* name;
    std::function<void(LoginFixture&)> arrange;
    int socketError;
  };
  const Case cases[] = {
      {"answer unreadable after the key",
       [](LoginFixture& f) {
         fake::Reply lying = KeyAnswer(f.node);
         lying.numAttributes = static_cast<uint32_t>(lying.attrs.size() + 1);
         f.node.Push(lying);
       },
       QVO_SOCKET_LOGIN_UNREADABLE},
      {"slave below version 12",
       [](LoginFixture& f) {
         f.conn.ImMainNode = false;
         f.conn.connAttr.connType = 2;
         LoginScript script;
         script.protocolVersion = 11;
         f.player.SetScript(script);
       },
       0},
      {"key in the session settings",
       [](LoginFixture& f) {
         LoginScript script;
         script.sessionAttrs.push_back(
             Attr::Binary(fake::ATTR_PUBLIC_KEY, f.node.PublicKeyBlock()));
         script.sessionAttrs.push_back(Attr::Binary(fake::ATTR_RANDOM_PHRASE, fake::Bytes(8, 1)));
         f.player.SetScript(script);
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoginFixture f;
    c.arrange(f);
    EXPECT_EQ(f.Login(), c.socketError);
    EXPECT_EQ(f.socket().NodeKeys().publicKey, nullptr);
    EXPECT_EQ(f.socket().NodeKeys().phrase, nullptr);
    EXPECT_EQ(f.socket().NodeKeys().phraseLength, 0);
  }

  // A later login on the socket cannot stand in an earlier node's key for
  // the one its node did not send.
  LoginFixture f;
  fake::Reply lying = KeyAnswer(f.node);
  lying.numAttributes = static_cast<uint32_t>(lying.attrs.size() + 1);
  f.node.Push(lying);
  ASSERT_EQ(f.Login(), QVO_SOCKET_LOGIN_UNREADABLE);
  LoginScript noKey;
  noKey.sendPublicKey = false;
  f.player.SetScript(noKey);
  f.BreakRequest();
  f.conn.Reconnect();
  EXPECT_EQ(f.socket().GetSocketError(), QVO_SOCKET_NOT_MAIN_NODE);
  EXPECT_TRUE(f.player.Seen().empty()) << "no password went out";
}

TEST(Login, SlaveNodeBelowVersion12IsLoggedInAfterTheFirstAnswer) {
  LoginScript script;
  script.protocolVersion = 11;
  LoginFixture f(script);
  f.conn.ImMainNode = false;
  f.conn.connAttr.connType = 2;
  f.conn.connectionToken = 0x0102030405060708;
  EXPECT_EQ(f.Login(), 0);
  EXPECT_EQ(f.socket().qvoIsConnected(), 1);
  EXPECT_EQ(f.conn.GetProtocolVersion(), 11);
  EXPECT_EQ(f.Commands(), std::vector<uint8_t>{fake::kLogin});
  const auto requests = f.node.Requests();
  const Request& login = requests[0];
  EXPECT_EQ(login.Find(fake::ATTR_USERNAME), nullptr);
  EXPECT_EQ(login.Find(fake::ATTR_PARALLEL_TOKEN)->AsInt(), 0x0102030405060708);
  EXPECT_TRUE(f.player.Seen().empty());
}

TEST(Login, SocketErrorsBeforeAndDuringTheLogin) {
  struct Case {
    const char* name;
    std::function<void(LoginFixture&)> arrange;
    int socketError;
    std::string lastText;
  };
  const Case cases[] = {
      {"unknown host", [](LoginFixture& f) { f.Aim("no-such-host.invalid", f.node.Port()); },
       QVO_SOCKET_CREATE_FAILED, "Client unable to establish connection. Unable to find host."},
      {"port out of range", [](LoginFixture& f) { f.Aim("127.0.0.1", 0); },
       QVO_SOCKET_CREATE_FAILED, "Client unable to establish connection. Unable to find host."},
      {"nobody listening", [](LoginFixture& f) { f.Aim("127.0.0.1", ClosedPort()); },
       QVO_SOCKET_CONNECT_FAILED, "No server listening."},
      {"closed at login", [](LoginFixture& f) { f.node.Push(fake::Reply::CloseAfter(0)); },
       QVO_SOCKET_LOGIN_UNREADABLE, "Error receiving message from Vandrel. Socket failure."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoginFixture f;
    c.arrange(f);
    EXPECT_EQ(f.Login(), c.socketError);
    EXPECT_EQ(f.socket().qvoIsConnected(), 0);
    const auto texts = TextsOf(f.conn);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), c.lastText);
  }
}

// A node that accepts and then stays silent: the login time-out ends the wait.
TEST(Login, SilentNodeEndsWithTheLoginTimeOut) {
  LoginFixture f;
  f.conn.connAttr.loginTimeout = 1;
  f.node.Push(fake::Reply::Silent());
  EXPECT_EQ(f.Login(), QVO_SOCKET_LOGIN_UNREADABLE);
  EXPECT_EQ(f.socket().qvoIsConnected(), 0);
  const auto texts = TextsOf(f.conn);
  EXPECT_NE(
      std::find(texts.begin(), texts.end(), "Socket read has run into timeout after 1 seconds."),
      texts.end());
  EXPECT_EQ(f.socket().EachReadBound(), 0) << "the limit ends with the login";
}

TEST(Login, ReconnectJoinsTheSession) {
  LoginFixture f;
  ASSERT_EQ(f.Login(), 0);
  f.BreakRequest();
  EXPECT_EQ(f.conn.Reconnect(), 0);
  EXPECT_FALSE(f.socket().ShouldIReconnect());
  EXPECT_EQ(f.socket().qvoIsConnected(), 1);
  const auto requests = f.node.Requests();
  const Request* again = Find(requests, fake::kLogin, 1);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Find(fake::ATTR_SESSIONID)->AsInt(), 7001);
  EXPECT_EQ(f.player.Seen().size(), 2u);
  EXPECT_EQ(f.node.Connections(), 2);

  // A refusal outside the login groups still counts as a reconnect.
  LoginScript refusing;
  refusing.refusePassword = Refusal{"28000", "No."};
  f.player.SetScript(refusing);
  f.BreakRequest();
  EXPECT_EQ(f.conn.Reconnect(), 0);
  EXPECT_FALSE(f.socket().ShouldIReconnect());
  EXPECT_EQ(f.socket().GetSocketError(), QVO_SOCKET_LOGIN_REFUSED);
}

}  // namespace
