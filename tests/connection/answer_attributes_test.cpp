// How the attributes of a server's answer change the connection: applied by
// the connection once the socket's exchange is over.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/qvoAttributeIds.h"
#include "connection/login_fixture.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"

namespace {

using fake::Attr;
using fake::Reply;

const char* const communicationError = "Server communication error.";

TEST(AnswerAttributes, AnswerAttributesChangeTheConnection) {
  struct Row {
    Attr attr;
    std::function<void(qvoConnection&)> check;
  };
  const std::string key(256, 'k');
  const Row rows[] = {
      {Attr::Text(fake::ATTR_USERNAME, "u"), [](qvoConnection&) {}},
      {Attr::Text(fake::ATTR_CLIENTNAME, "c"), [](qvoConnection&) {}},
      {Attr::Int64(fake::ATTR_SESSIONID, 0x1122334455667788),
       [](qvoConnection& c) { EXPECT_EQ(c.connAttr.qvosessionID, 0x1122334455667788u); }},
      {Attr::Bool(fake::ATTR_AUTOCOMMIT, false),
       [](qvoConnection& c) { EXPECT_EQ(c.connAttr.autoCommit, 0); }},
      {Attr::Text(fake::ATTR_RELEASE_VERSION, "6.2.1"),
       [](qvoConnection& c) { EXPECT_STREQ(c.GetServerVersion(), "6.2.1"); }},
      {Attr::Text(fake::ATTR_RELEASE_REVISION, "r7"),
       [](qvoConnection& c) { EXPECT_STREQ(c.GetServerRevision(), "r7"); }},
      {Attr::Int32(fake::ATTR_PREPARED_PARAMCOUNT, 3),
       [](qvoConnection& c) { EXPECT_EQ(c.nParamsNeeded, 3); }},
      {Attr::Byte(fake::ATTR_TRANSACTION_STATE, 1),
       [](qvoConnection& c) { EXPECT_EQ(c.transactionState, 1); }},
      {Attr::Int32(fake::ATTR_PROTOCOL_VERSION, 12),
       [](qvoConnection& c) { EXPECT_EQ(c.GetProtocolVersion(), 12); }},
      {Attr::Text(fake::ATTR_DATETIME_FORMAT, "YYYY-MM-DD HH24:MI:SS.FF3"),
       [](qvoConnection& c) {
         EXPECT_STREQ(c.dateTimeFormat, "YYYY-MM-DD HH24:MI:SS.FF3");
         EXPECT_EQ(c.GetDateTimePrecision(), 3);
       }},
      {Attr::Text(fake::ATTR_DATE_FORMAT, "YYYY-MM-DD"),
       [](qvoConnection& c) { EXPECT_STREQ(c.dateFormat, "YYYY-MM-DD"); }},
      {Attr::Text(fake::ATTR_CURRENT_SCHEMA, "SALES"),
       [](qvoConnection& c) {
         EXPECT_STREQ(c.connAttr.currentSchema.get(), "SALES");
         EXPECT_EQ(c.connAttr.currentSchemaLen, 5);
       }},
      {Attr::Text(fake::ATTR_NUMERIC_CHARACTERS, ",.x"),
       [](qvoConnection& c) { EXPECT_STREQ(c.connAttr.numericCharacters, ",."); }},
      {Attr::Int64(fake::ATTR_MAX_STATEMENT_LENGTH, 9), [](qvoConnection&) {}},
      {Attr::Int64(fake::ATTR_GENERIC_MESSAGE_SIZE, 9), [](qvoConnection&) {}},
      {Attr::Int64(fake::ATTR_DATA_MESSAGE_SIZE, 1000),
       [](qvoConnection& c) { EXPECT_EQ(c.GetMaxDataMessageSize(), 1000); }},
      {Attr::Binary(fake::ATTR_PUBLIC_KEY, fake::Bytes(key.begin(), key.end())),
       [&](qvoConnection& c) {
         ASSERT_NE(c.Socket->NodeKeys().publicKey, nullptr);
         EXPECT_EQ(std::memcmp(c.Socket->NodeKeys().publicKey.get(), key.data(), 256), 0);
       }},
      {Attr::Binary(fake::ATTR_RANDOM_PHRASE, {1, 2, 3}),
       [](qvoConnection& c) {
         ASSERT_EQ(c.Socket->NodeKeys().phraseLength, 3);
         EXPECT_EQ(c.Socket->NodeKeys().phrase[2], 3);
       }},
      {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 77),
       [](qvoConnection& c) { EXPECT_EQ(c.GetQueryTimeout(), 77u); }},
      {Attr::Text(fake::ATTR_CURRENT_CATALOG, "CAT"),
       [](qvoConnection& c) { EXPECT_STREQ(c.connAttr.currentCatalog.get(), "CAT"); }},
      {Attr::Int32(fake::ATTR_MAX_IDENTIFIER_LENGTH, 10),
       [](qvoConnection& c) {
         EXPECT_EQ(c.GetMaxIdentifierLength(), 40);
         EXPECT_EQ(c.GetMaxIdentifierOctetLength(), 160);
       }},
      {Attr::Int64(fake::ATTR_MAX_VARCHAR_LENGTH, 2000000),
       [](qvoConnection& c) { EXPECT_EQ(c.maxVarcharLength, 2000000); }},
      {Attr::Int32(fake::ATTR_FEEDBACK_INTERVAL, 45),
       [](qvoConnection& c) { EXPECT_EQ(c.connAttr.feedbackInterval, 45); }},
      {Attr::Text(fake::ATTR_TIMEZONE, "EUROPE/BERLIN"),
       [](qvoConnection& c) { EXPECT_STREQ(c.connAttr.sessionTimezone, "EUROPE/BERLIN"); }},
      {Attr::Text(fake::ATTR_TIMEZONE_BEHAVIOR, "INVALID SHIFT"),
       [](qvoConnection& c) {
         EXPECT_STREQ(c.connAttr.sessionTimezoneBehaviour, "INVALID SHIFT");
       }},
      {Attr::Bool(fake::ATTR_TSUTC_ENABLED, true),
       [](qvoConnection& c) { EXPECT_EQ(c.connAttr.timestampUTC, 1); }},
      {Attr::Bool(fake::ATTR_ENCRYPTION_REQUIRED, true),
       [](qvoConnection& c) { EXPECT_EQ(c.connAttr.encryptionRequired, 1); }},
      {Attr::Text(fake::ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER, "\\"),
       [](qvoConnection& c) { EXPECT_STREQ(c.connAttr.searchStringEscape, "\\"); }},
      {Attr::Text(fake::ATTR_IDENTIFIER_QUOTE_STRING, "`"),
       [](qvoConnection& c) { EXPECT_STREQ(c.connAttr.identifierQuoteString, "`"); }},
      // Attributes without a meaning for the connection are skipped.
      {Attr::Bool(41, true), [](qvoConnection&) {}},
  };
  WireFixture w;
  for (const Row& row : rows) {
    Reply reply;
    reply.attrs = {row.attr};
    w.node.Push(reply);
    SCOPED_TRACE(qvoAttributes::GetAttrName(row.attr.id));
    // An answer with attributes and no data: 0 and no answer buffer.
    EXPECT_EQ(w.Exchange(get_attributes), 0);
    EXPECT_EQ(w.socket().GetQvoAnswer(nullptr), nullptr);
    EXPECT_EQ(w.conn.GetNumRecords(), 0);
    row.check(w.conn);
  }
}

TEST(AnswerAttributes, TextsAreCutToTheirDestination) {
  WireFixture w;
  Reply reply;
  const std::string huge(5000, 'z');
  reply.attrs = {Attr::Text(fake::ATTR_TIMEZONE, huge), Attr::Text(fake::ATTR_DATE_FORMAT, huge),
                 Attr::Text(fake::ATTR_CURRENT_SCHEMA, huge),
                 Attr::Text(fake::ATTR_RELEASE_VERSION, huge),
                 Attr::Text(fake::ATTR_IDENTIFIER_QUOTE_STRING, huge)};
  w.node.Push(reply);
  EXPECT_EQ(w.Exchange(get_attributes), 0);
  EXPECT_EQ(std::strlen(w.conn.connAttr.sessionTimezone), 259u);
  EXPECT_EQ(std::strlen(w.conn.dateFormat), 63u);
  EXPECT_EQ(w.conn.connAttr.currentSchemaLen, 1023);
  EXPECT_STREQ(w.conn.GetServerVersion(), "");
  EXPECT_EQ(std::strlen(w.conn.connAttr.identifierQuoteString), 15u);
}

TEST(AnswerAttributes, FeedbackIntervalTestSettingStays) {
  WireFixture w;
  w.conn.connAttr.feedbackInterval = -1701;
  Reply reply;
  reply.attrs = {Attr::Int32(fake::ATTR_FEEDBACK_INTERVAL, 60)};
  w.node.Push(reply);
  EXPECT_EQ(w.Exchange(get_attributes), 0);
  EXPECT_EQ(w.conn.connAttr.feedbackInterval, -1701);
}

// The version an answer names lowers the connection's, never raises it; one
// the exchange refuses (its records: the exchange's tests) changes nothing. A
// version accepted ahead of data that never arrive still holds.
TEST(AnswerAttributes, ProtocolVersionIsLoweredNeverRaised) {
  struct Case {
    qvo_int32 current, announced;
    qvo_int64 result;
    qvo_int32 after;
    bool truncated;
  };
  for (Case c :
       {Case{13, 12, 0, 12, false}, Case{12, 13, 0, 12, false}, Case{13, 7, 0, 7, false},
        Case{13, 14, -1, 13, false}, Case{13, 6, -1, 13, false}, Case{13, 8, -1, 8, true}}) {
    SCOPED_TRACE(c.announced);
    WireFixture w;
    w.conn.SetProtocollVer(c.current);
    Reply reply = c.truncated ? Reply::CloseAfter(40) : Reply{};
    reply.attrs = {Attr::Int32(fake::ATTR_PROTOCOL_VERSION, c.announced)};
    if (c.truncated) reply.data = fake::Bytes(100, 7);
    w.node.Push(reply);
    EXPECT_EQ(w.Exchange(get_attributes), c.result);
    EXPECT_EQ(w.conn.GetProtocolVersion(), c.after);
  }
}

// A block that goes wrong part of the way: what lies ahead of the fault, and
// within the header's count, still reaches the connection.
TEST(AnswerAttributes, RecordsAheadOfABadOneAreApplied) {
  Reply unknownId;
  unknownId.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 7),
                     Attr::Text(fake::ATTR_CURRENT_SCHEMA, "S"), Attr::Raw({14, 0, 1, 0, 0, 0}),
                     Attr::Int32(fake::ATTR_MAX_IDENTIFIER_LENGTH, 100)};
  Reply fewerCounted;
  fewerCounted.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 7),
                        Attr::Text(fake::ATTR_CURRENT_SCHEMA, "S"),
                        Attr::Int32(fake::ATTR_MAX_IDENTIFIER_LENGTH, 100)};
  fewerCounted.numAttributes = 1;
  struct Case {
    const char* what;
    Reply reply;
    bool schemaApplied;
  } cases[] = {{"unknown id third", unknownId, true}, {"header counts one", fewerCounted, false}};
  for (Case& c : cases) {
    WireFixture w;
    w.node.Push(c.reply);
    EXPECT_EQ(w.Exchange(get_attributes), -1) << c.what;
    EXPECT_EQ(TextsOf(w.conn), (std::vector<std::string>{"Cannot determine Vandrel attribute type.",
                                                         communicationError}))
        << c.what;
    EXPECT_EQ(w.conn.GetQueryTimeout(), 7u) << c.what;
    EXPECT_EQ(!w.conn.GetCurrentSchema().empty(), c.schemaApplied) << c.what;
    EXPECT_EQ(w.conn.GetMaxIdentifierLength(), 128) << c.what;
  }
}

TEST(AnswerAttributes, OnlyAKeyOfTwoBlocksIsAKey) {
  for (size_t size : {255u, 257u, 0u}) {
    WireFixture w;
    Reply earlier;  // a key that an earlier answer brought
    earlier.attrs = {Attr::Binary(fake::ATTR_PUBLIC_KEY, fake::Bytes(256, 2))};
    w.node.Push(earlier);
    ASSERT_EQ(w.Exchange(get_attributes), 0);
    ASSERT_NE(w.socket().NodeKeys().publicKey, nullptr);
    Reply reply;
    reply.attrs = {Attr::Binary(fake::ATTR_PUBLIC_KEY, fake::Bytes(size, 1))};
    w.node.Push(reply);
    EXPECT_EQ(w.Exchange(get_attributes), 0);
    EXPECT_EQ(w.socket().NodeKeys().publicKey, nullptr) << size;
  }
}

TEST(AnswerAttributes, LogLinesOfAnExchange) {
  WireFixture w;
  FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  qvoCriticalSection logLock;
  w.conn.SetLogFile(true, false, log, nullptr, &logLock, 0);
  auto list = std::make_unique<qvoAttributes>(&w.conn);
  list->AddAttribute(ATTR_PASSWORD, "secret", 6);
  list->AddAttribute(ATTR_CLIENTNAME, "tool", 4);
  qvo_int32 timeout = 5;
  list->AddAttribute(ATTR_QUERY_TIMEOUT, &timeout, 4);
  list->AddAttribute(ATTR_QUERY_TIMEOUT, &timeout, 4);
  Reply reply;
  reply.attrs = {Attr::Int64(fake::ATTR_SESSIONID, 77),
                 Attr::Int32(fake::ATTR_FEEDBACK_INTERVAL, 40),
                 Attr::Binary(fake::ATTR_PUBLIC_KEY, fake::Bytes(256, 3))};
  w.node.Push(reply);
  EXPECT_EQ(w.Exchange(execute, "q", &list), 0);

  std::string text;
  std::rewind(log);
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, log)) > 0;) text.append(chunk, n);
  std::fclose(log);
  w.conn.SetLogFile(false, false, nullptr, nullptr, nullptr, 0);
  for (const char* line :
       {"AddAttribute ATTR_PASSWORD STRING ******\n",
        "AddAttribute ATTR_CLIENTNAME STRING(4) tool\n",
        "AddAttribute ATTR_QUERY_TIMEOUT INT32 5\n", "OwerwriteAttrValue ATTR_QUERY_TIMEOUT\n",
        "Protocol version V13, socketEncryption=N, encryptedCommunication=N, execute, requested by "
        "connection: 0, 3 attributes, 1 bytes of data\n",
        " 3 attributes, 0 results\n", "qvoGetAnswer::ATTR_SESSIONID: 77\n",
        "qvoGetAnswer::ATTR_FEEDBACK_INTERVAL: 40\n", "qvoGetAnswer::ATTR_PUBLIC_KEY received.\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.find("secret"), std::string::npos);
}

// The socket only hands the attributes over; the connection's state changes
// when the connection applies them, after the exchange.
TEST(AnswerAttributes, AnswerAttributesWaitForTheConnection) {
  WireFixture w;
  Reply reply;
  reply.attrs = {Attr::Byte(fake::ATTR_TRANSACTION_STATE, 1),
                 Attr::Text(fake::ATTR_CURRENT_SCHEMA, "SALES")};
  w.node.Push(reply);
  std::unique_ptr<qvoAttributes> answer;
  EXPECT_EQ(w.socket().qvoExecSQL(nullptr, nullptr, nullptr, 0, get_attributes, &answer), 0);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer->GetNumAttributes(), 2);
  SQLUINTEGER state = 7;
  EXPECT_EQ(w.conn.GetConnectAttr(QVO_ATTR_TRANSACTION_STATE, &state, 0, nullptr), 0);
  EXPECT_EQ(state, 0u);
  EXPECT_EQ(w.conn.GetCurrentSchema(), "");

  w.conn.ApplyAnswerAttributes(w.socket(), answer.get());
  EXPECT_EQ(w.conn.GetConnectAttr(QVO_ATTR_TRANSACTION_STATE, &state, 0, nullptr), 0);
  EXPECT_EQ(state, 1u);
  EXPECT_EQ(w.conn.GetCurrentSchema(), "SALES");
  EXPECT_EQ(w.conn.GetNumRecords(), 0);
}

// A connect whose login answers carry the transaction state: the application
// reads it from the connection once the connect returns.
TEST(AnswerAttributes, LoginAnswersReachTheConnection) {
  fake::LoginScript script;
  script.sessionAttrs.push_back(Attr::Byte(fake::ATTR_TRANSACTION_STATE, 1));
  fake::FakeNode node;
  fake::LoginPlayer player(node, script);
  SQLHANDLE env = SQL_NULL_HANDLE, dbc = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), 0);
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc), 0);
  auto* conn = static_cast<qvoConnection*>(GetHandlePtr(dbc));
  const std::string host = "127.0.0.1:" + std::to_string(node.Port());
  EXPECT_EQ(
      conn->qvoConnect(host.c_str(), SQL_NTS, "", SQL_NTS, "user", SQL_NTS, "secret", SQL_NTS),
      SQL_SUCCESS);
  SQLUINTEGER state = 7;
  EXPECT_EQ(QVOGetConnectAttr(dbc, QVO_ATTR_TRANSACTION_STATE, &state, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(state, 1u);
  EXPECT_STREQ(conn->GetServerVersion(), "8.1.4");
  QVOFreeHandle(SQL_HANDLE_ENV, env);
}

}  // namespace
