// The attributes of a server's answer applied to the connection: the
// session's settings, texts and limits, and the node's key material for the
// login. The socket hands them over once its exchange is over, so that they
// are applied without the socket's lock held (a setter takes executionMutex,
// which every statement takes before the socket's lock).

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "common/qvoAttributeIds.h"
#include "connection/qvoConnection.h"
#include "protocol/qvoAttributeBlock.h"
#include "protocol/qvoProtocolVersion.h"
#include "transport/qvoSocket.h"

namespace {

// Bytes of a received text the answer handling looks at (the rest is cut).
constexpr size_t answerTextLimit = 1023;

// ---- answer attributes -----------------------------------------------------------

// What one received attribute is, as seen by the rule that applies it.
struct AnswerValue {
  SQLSMALLINT id;
  const char* bytes;  // inside the attribute block, host order
  SQLINTEGER length;
  std::string Text() const {
    return std::string(bytes, std::min<size_t>(static_cast<size_t>(length), answerTextLimit));
  }
  qvo_int64 Int() const { return AttributeIntValue(bytes, static_cast<size_t>(length)); }
};

// What one answer's walk changes: the connection, and the key material of
// the login running on the socket.
struct AnswerState {
  qvoSocket* socket;
  qvoConnection* conn;
};

// Session texts the server reports go through the connection attribute that
// an application would set (those attributes keep the connection's records).
void SetTextAttribute(AnswerState& s, SQLINTEGER attribute, const std::string& text) {
  s.conn->SetConnectAttr(attribute, const_cast<char*>(text.c_str()),
                         static_cast<SQLINTEGER>(text.size()));
}

void LogInt(AnswerState& s, const AnswerValue& v) {
  if (s.conn->logFull)
    s.conn->Log("qvoGetAnswer::%s: %lli\n", qvoAttributes::GetAttrName(v.id),
                static_cast<long long>(v.Int()));
}
void LogText(AnswerState& s, const AnswerValue& v) {
  if (s.conn->logFull)
    s.conn->Log("qvoGetAnswer::%s: %s\n", qvoAttributes::GetAttrName(v.id), v.Text().c_str());
}

using ApplyRule = void (*)(AnswerState&, const AnswerValue&);

struct AnswerRule {
  SQLSMALLINT id;
  ApplyRule apply;
};

// How each answer attribute changes the connection. Attributes without a rule
// are skipped. Fixed-width values have the width of their type (the walk
// guarantees it); texts are cut to their destination.
const AnswerRule answerRules[] = {
    {ATTR_USERNAME, LogText},
    {ATTR_CLIENTNAME, LogText},
    {ATTR_SESSIONID,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->connAttr.qvosessionID = static_cast<qvo_uint64>(v.Int());
       if (s.conn->logFull)
         s.conn->Log("qvoGetAnswer::ATTR_SESSIONID: %llu\n",
                     static_cast<unsigned long long>(s.conn->connAttr.qvosessionID));
     }},
    {ATTR_AUTOCOMMIT,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->connAttr.autoCommit = static_cast<unsigned char>(v.bytes[0]);
       LogInt(s, v);
     }},
    {ATTR_RELEASE_VERSION,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetServerVersion(v.bytes, v.length);
       LogText(s, v);
     }},
    {ATTR_RELEASE_REVISION,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetServerRevision(v.bytes, v.length);
       LogText(s, v);
     }},
    {ATTR_PREPARED_PARAMCOUNT,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->nParamsNeeded = static_cast<int>(v.Int());
       LogInt(s, v);
     }},
    {ATTR_TRANSACTION_STATE,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetConnectAttr(QVO_ATTR_TRANSACTION_STATE,
                              reinterpret_cast<SQLPOINTER>(
                                  static_cast<uintptr_t>(static_cast<unsigned char>(v.bytes[0]))),
                              1);
       if (s.conn->logFull)
         s.conn->Log("qvoGetAnswer::ATTR_TRANSACTION_STATE: %s\n", v.bytes[0] == 0   ? "open"
                                                                   : v.bytes[0] == 1 ? "closed"
                                                                                     : "invalid");
     }},
    // The exchange judges the protocol version (it decides whether the rest
    // of the answer can be read) and hands the one it accepted over apart.
    {ATTR_PROTOCOL_VERSION, LogInt},
    {ATTR_DATETIME_FORMAT,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetDateTimeFormat(v.bytes, v.length);
       LogText(s, v);
     }},
    {ATTR_DATE_FORMAT,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetDateFormat(v.bytes, v.length);
       LogText(s, v);
     }},
    {ATTR_CURRENT_SCHEMA,
     [](AnswerState& s, const AnswerValue& v) {
       SetTextAttribute(s, QVO_ATTR_SESSION_SCHEMA, v.Text());
       LogText(s, v);
     }},
    {ATTR_NUMERIC_CHARACTERS,
     [](AnswerState& s, const AnswerValue& v) {
       SetTextAttribute(s, QVO_ATTR_NUMERIC_CHARACTERS, v.Text());
       LogText(s, v);
     }},
    {ATTR_MAX_STATEMENT_LENGTH,
     [](AnswerState& s, const AnswerValue&) {
       if (s.conn->logFull)
         s.conn->Log("qvoGetAnswer::ATTR_MAX_STATEMENT_LENGTH is deprecated since V8.\n");
     }},
    {ATTR_GENERIC_MESSAGE_SIZE,
     [](AnswerState& s, const AnswerValue&) {
       if (s.conn->logFull)
         s.conn->Log("qvoGetAnswer::ATTR_GENERIC_MESSAGE_SIZE is deprecated since V8.\n");
     }},
    {ATTR_DATA_MESSAGE_SIZE,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->connAttr.maxDataMessageSize = v.Int();
       LogInt(s, v);
     }},
    {ATTR_PUBLIC_KEY,
     [](AnswerState& s, const AnswerValue& v) {
       // A key of another size leaves the socket without one, which the login
       // reports as a missing key.
       s.socket->TakeNodeKey(v.bytes, v.length);
       if (s.conn->logFull) s.conn->Log("qvoGetAnswer::ATTR_PUBLIC_KEY received.\n");
     }},
    {ATTR_RANDOM_PHRASE,
     [](AnswerState& s, const AnswerValue& v) {
       s.socket->TakeNodePhrase(v.bytes, v.length);
       if (s.conn->logFull) s.conn->Log("qvoGetAnswer::ATTR_RANDOM_PHRASE received.\n");
     }},
    {ATTR_QUERY_TIMEOUT,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetQueryTimeoutValue(static_cast<SQLUINTEGER>(v.Int()));
       LogInt(s, v);
     }},
    {ATTR_CURRENT_CATALOG,
     [](AnswerState& s, const AnswerValue& v) {
       SetTextAttribute(s, QVO_ATTR_SESSION_CATALOG, v.Text());
       LogText(s, v);
     }},
    {ATTR_MAX_IDENTIFIER_LENGTH,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetMaxIdentifierLength(static_cast<int>(v.Int()));
       LogInt(s, v);
     }},
    {ATTR_MAX_VARCHAR_LENGTH,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->maxVarcharLength = v.Int();
       LogInt(s, v);
     }},
    {ATTR_FEEDBACK_INTERVAL,
     [](AnswerState& s, const AnswerValue& v) {
       qvo_int32& current = s.conn->connAttr.feedbackInterval;
       const qvo_int32 received = static_cast<qvo_int32>(v.Int());
       const bool testSetting =
           current == kFeedbackIntervalTestSetting || received == kFeedbackIntervalTestSetting;
       // The test setting stays whatever the server says.
       if (current != kFeedbackIntervalTestSetting) current = received;
       if (s.conn->logFull)
         s.conn->Log(testSetting ? "WARNING TEST ACTIVATED: -1701 !!!! attr will not be changed "
                                   "afer read !!!! qvoGetAnswer::ATTR_FEEDBACK_INTERVAL: %i\n"
                                 : "qvoGetAnswer::ATTR_FEEDBACK_INTERVAL: %i\n",
                     received);
     }},
    {ATTR_TIMEZONE,
     [](AnswerState& s, const AnswerValue& v) {
       SetTextAttribute(s, QVO_ATTR_SESSION_TIMEZONE, v.Text());
       LogText(s, v);
     }},
    {ATTR_TIMEZONE_BEHAVIOR,
     [](AnswerState& s, const AnswerValue& v) {
       SetTextAttribute(s, QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR, v.Text());
       LogText(s, v);
     }},
    {ATTR_TSUTC_ENABLED,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->connAttr.timestampUTC = static_cast<unsigned char>(v.bytes[0]);
       LogInt(s, v);
     }},
    {ATTR_ENCRYPTION_REQUIRED,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->connAttr.encryptionRequired = static_cast<unsigned char>(v.bytes[0]);
       LogInt(s, v);
     }},
    {ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetEscapePattern(v.bytes, v.length);
       LogText(s, v);
     }},
    {ATTR_IDENTIFIER_QUOTE_STRING,
     [](AnswerState& s, const AnswerValue& v) {
       s.conn->SetIdentifierQuoteChar(v.bytes, v.length);
       LogText(s, v);
     }},
};

const AnswerRule* FindRule(SQLSMALLINT id) {
  for (const AnswerRule& rule : answerRules)
    if (rule.id == id) return &rule;
  return nullptr;
}

// The protocol version an answer named (0: none) lowers the connection's,
// never raises it.
void LowerProtocolVersion(qvoConnection& c, qvo_int32 named) {
  if (named <= 0) return;
  qvoMutex lock(c.executionMutex);
  if (named < c.GetProtocolVersion()) c.SetProtocollVer(named);
}

}  // namespace

void qvoConnection::ApplyAnswerAttributes(qvoSocket& socket, qvoAttributes* answer) {
  if (!answer) return;
  qvoMutex lock(executionMutex);
  qvoMutex settings(settingsMutex);
  AnswerState state{&socket, this};
  const SQLINTEGER count = answer->GetNumAttributes();
  for (SQLINTEGER n = 0; n < count; ++n) {
    SQLSMALLINT id = 0;
    SQLINTEGER length = 0;
    // The exchange has reported a record that cannot be read.
    if (answer->ReadAttrTypeAndLen(n, &id, &length) != SQL_SUCCESS) return;
    if (const AnswerRule* rule = FindRule(id))
      rule->apply(state, AnswerValue{id, answer->ReadAttrValuePtr(), length});
  }
}

qvo_int64 qvoConnection::Exchange(qvoSocket& socket, qvoHandle* requester,
                                  std::unique_ptr<qvoAttributes>* attributes, const char* data,
                                  qvo_int64 dataLength, __qvoMessageMode command) {
  std::unique_ptr<qvoAttributes> answer;
  qvo_int32 version = 0;
  const qvo_int64 result =
      socket.qvoExecSQL(requester, attributes, data, dataLength, command, &answer, &version);
  LowerProtocolVersion(*this, version);
  ApplyAnswerAttributes(socket, answer.get());
  return result;
}

qvo_int64 qvoConnection::ReadAnswer(qvoSocket& socket, __qvoMessageMode command) {
  std::unique_ptr<qvoAttributes> answer;
  qvo_int32 version = 0;
  const qvo_int64 result = socket.qvoGetAnswer(command, &answer, &version);
  LowerProtocolVersion(*this, version);
  ApplyAnswerAttributes(socket, answer.get());
  return result;
}
