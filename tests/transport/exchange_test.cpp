#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "transport/socket_fixture.h"

namespace {

using namespace std::string_literals;
using fake::Attr;
using fake::Reply;
using fake::Request;

const char* const communicationError = "Server communication error.";

std::unique_ptr<qvoAttributes> ListWith(qvoHandle& conn, qvo_int32 timeout,
                                        const std::string& client) {
  auto list = std::make_unique<qvoAttributes>(&conn);
  list->AddAttribute(ATTR_QUERY_TIMEOUT, &timeout, 4);
  list->AddAttribute(ATTR_CLIENTNAME, client.data(), static_cast<SQLINTEGER>(client.size()));
  return list;
}

TEST(Header, BytesOfARequestHeader) {
  SocketOwner conn;
  qvoSocket socket(&conn, -1);
  qvoAttributes list(&conn);
  qvo_int64 session = 5;
  list.AddAttribute(ATTR_SESSIONID, &session, 8);
  qvoSocketTestPeer(socket).serial() = 0x01020304;
  const unsigned char expected[21] = {
      0x0F, 0,    0,    0,     // 10 attribute bytes + 5 data bytes
      12,                      // execute
      0x04, 0x03, 0x02, 0x01,  // serial
      1,    0,    0,    0,     // one attribute
      10,   0,    0,    0,     // attribute bytes
      1,    0,    0,    0,     // there are data
  };
  EXPECT_EQ(std::memcmp(socket.qvoCreateHeader(&list, 5, execute), expected, 21), 0);
  EXPECT_EQ(qvoSocketTestPeer(socket).serial(), 0x01020305u);
  const unsigned char bare[21] = {0, 0, 0, 0, 34, 0x05, 0x03, 0x02, 0x01};
  EXPECT_EQ(std::memcmp(socket.qvoCreateHeader(nullptr, 0, get_attributes), bare, 21), 0);
}

TEST(Exchange, RequestsAsTheNodeDecodesThem) {
  SocketFixture w;
  qvoSocketTestPeer(w.socket()).serial() = 4294967295u;  // the counter wraps to 0
  auto list = ListWith(w.owner, 42, "tool");
  EXPECT_EQ(w.Exchange(execute, "select 1", &list), 0);
  EXPECT_EQ(list, nullptr) << "a sent list is consumed";
  EXPECT_EQ(w.Exchange(get_attributes), 0);
  ASSERT_TRUE(w.node.WaitForRequests(2));

  auto requests = w.node.Requests();
  ASSERT_EQ(requests.size(), 2u);
  const Request& first = requests[0];
  EXPECT_EQ(first.command, execute);
  EXPECT_EQ(first.serial, 4294967295u);
  EXPECT_EQ(first.numAttributes, 2u);
  EXPECT_EQ(first.attrLength, 6u + 6u + 4u);
  EXPECT_EQ(first.messageLength, first.attrLength + 8);
  EXPECT_EQ(first.dataFlag, 1u);
  EXPECT_EQ(std::string(first.data.begin(), first.data.end()), "select 1");
  ASSERT_TRUE(first.attrsValid);
  EXPECT_EQ(first.Find(fake::ATTR_QUERY_TIMEOUT)->AsInt(), 42);
  EXPECT_EQ(first.Find(fake::ATTR_CLIENTNAME)->AsText(), "tool");

  const Request& second = requests[1];
  EXPECT_EQ(second.command, get_attributes);
  EXPECT_EQ(second.serial, 0u);
  EXPECT_EQ(second.messageLength, 0u);
  EXPECT_EQ(second.dataFlag, 0u);
  EXPECT_TRUE(w.node.Errors().empty());
}

TEST(Exchange, SmallRequestsLeaveInOneWriteLargeOnesInTwo) {
  struct Case {
    size_t data;
    std::vector<size_t> writes;
  };
  const size_t head = 21 + 16;  // header and the attribute block of ListWith
  for (const Case& c : {Case{49999, {head + 49999}}, Case{50000, {head, 50000}}}) {
    SocketFixture w(fake::Transport::Pair);
    auto list = ListWith(w.owner, 1, "tool");
    EXPECT_EQ(w.Exchange(execute, std::string(c.data, 'x'), &list), 0);
    EXPECT_EQ(list, nullptr);
    ASSERT_TRUE(w.node.WaitForRequests(1));
    EXPECT_EQ(w.node.Requests()[0].arrivals, c.writes) << c.data;
    EXPECT_EQ(w.node.Requests()[0].data.size(), c.data);
  }
}

TEST(Exchange, AnswerDataBecomeTheAnswerBuffer) {
  SocketFixture w;
  Reply reply;
  reply.results = 2;
  reply.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 9)};
  reply.data = {0x00, 'r', 'o', 'w'};
  w.node.Push(reply);
  EXPECT_EQ(w.Exchange(execute, "x"), 8);
  const char* buffer = w.socket().GetQvoAnswer(nullptr);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(std::memcmp(buffer, "\x02\x00\x00\x00\x00row", 8), 0);
  EXPECT_EQ(w.AnswerRecords(),
            (std::vector<std::pair<int, std::string>>{{fake::ATTR_QUERY_TIMEOUT, "\x09\0\0\0"s}}));

  // Handed to a statement, results or further rows, and gone from the socket.
  struct Taker : qvoAnswerReceiver {
    SQLRETURN TakeResults(char* answer, qvo_int64 length) override {
      results.reset(answer);
      resultsLen = length;
      return 0;
    }
    SQLRETURN TakeRows(char* answer, qvo_int64 length) override {
      rows.reset(answer);
      rowsLen = length;
      return 0;
    }
    std::unique_ptr<char[]> results, rows;
    qvo_int64 resultsLen = 0, rowsLen = 0;
  } taker;
  EXPECT_EQ(w.socket().GiveResultsTo(&taker), 0);
  EXPECT_EQ(taker.resultsLen, 8);
  EXPECT_EQ(std::memcmp(taker.results.get(), "\x02\x00\x00\x00\x00row", 8), 0);
  EXPECT_EQ(w.socket().GetQvoAnswer(nullptr), nullptr);
  EXPECT_EQ(w.socket().GetQvoAnswerLen(), 0);

  reply.data = {6, 1};
  w.node.Push(reply);
  EXPECT_EQ(w.Exchange(send_rows, "x"), 6);
  EXPECT_EQ(w.socket().GiveMoreRowsTo(&taker), 0);
  EXPECT_EQ(taker.rowsLen, 6);
  EXPECT_EQ(w.socket().GetQvoAnswer(nullptr), nullptr);
}

// Further rows are received into the buffer a taker hands back for its
// previous rows when it is large enough, and not into one far larger than the
// answer; every answer arrives whole whatever the size of the one before.
TEST(Exchange, FurtherRowsReuseTheBufferATakerHandsBack) {
  struct SwappingTaker : qvoAnswerReceiver {
    SQLRETURN TakeResults(char* answer, qvo_int64) override {
      delete[] answer;
      return 0;
    }
    SQLRETURN TakeRows(char* answer, qvo_int64) override {
      delete[] answer;
      return 0;
    }
    SQLRETURN SwapRows(std::unique_ptr<char[]>& answer, size_t& capacity,
                       qvo_int64 length) override {
      std::swap(rows, answer);
      std::swap(rowsCapacity, capacity);
      rowsLen = length;
      return 0;
    }
    std::unique_ptr<char[]> rows;
    size_t rowsCapacity = 0;
    qvo_int64 rowsLen = 0;
  } taker;
  struct Step {
    size_t size;
    int receivedInto;  // the step whose buffer takes this answer; -1: not asserted
  };
  // Each answer can only go into the buffer of the answer two steps back: the
  // taker holds the one before.
  const Step steps[] = {
      {3 << 20, -1},
      {2 << 20, -1},
      {1 << 20, 0},
      {(17 << 20) + 5, -1},  // the 2 MB buffer is too small: grown past the first size
      {3 << 20, 0},
      {10, -1},  // the 17 MB buffer is far too large
      {100, 0},
  };
  SocketFixture w;
  std::vector<const char*> receivedAt;
  for (size_t n = 0; n < std::size(steps); ++n) {
    SCOPED_TRACE(n);
    const size_t size = steps[n].size;
    Reply reply;
    reply.results = 1;
    reply.data.resize(size);
    for (size_t i = 0; i < size; ++i) reply.data[i] = static_cast<uint8_t>(i * 7 + n);
    w.node.Push(reply);
    ASSERT_EQ(w.Exchange(send_rows_fetch2, "x"), static_cast<qvo_int64>(size + 4));
    receivedAt.push_back(w.socket().GetQvoAnswer(nullptr));
    if (steps[n].receivedInto >= 0) {
      EXPECT_EQ(receivedAt[n], receivedAt[steps[n].receivedInto]);
    }
    EXPECT_EQ(w.socket().GiveMoreRowsTo(&taker), 0);
    ASSERT_EQ(taker.rowsLen, static_cast<qvo_int64>(size + 4));
    EXPECT_GE(taker.rowsCapacity, size + 4);
    EXPECT_EQ(std::memcmp(taker.rows.get() + 4, reply.data.data(), size), 0);
    EXPECT_EQ(w.socket().GetQvoAnswer(nullptr), nullptr);
  }
}

// The exchange hands the version an answer names back, for the connection to
// lower its own to; the handle's stays as it is. A version outside 7..13
// refuses the answer and is not handed back.
TEST(Exchange, ProtocolVersionIsHandedBack) {
  struct Case {
    qvo_int32 current, announced;
    qvo_int64 result;
    qvo_int32 named;
  };
  for (Case c : {Case{13, 12, 0, 12}, Case{12, 13, 0, 13}, Case{13, 7, 0, 7}, Case{13, 14, -1, 0},
                 Case{13, 6, -1, 0}}) {
    SocketFixture w;
    w.owner.protocolVersion = c.current;
    Reply reply;
    reply.attrs = {Attr::Int32(fake::ATTR_PROTOCOL_VERSION, c.announced)};
    w.node.Push(reply);
    EXPECT_EQ(w.Exchange(get_attributes), c.result) << c.announced;
    EXPECT_EQ(w.answerVersion, c.named) << c.announced;
    EXPECT_EQ(w.owner.protocolVersion, c.current);
    if (c.result < 0) {
      auto diags = DiagsOf(w.owner);
      ASSERT_EQ(diags.size(), 2u);
      EXPECT_EQ(diags[0].text, "The driver does not support this protocol version.");
      EXPECT_EQ(diags[0].native, c.announced);
      EXPECT_EQ(diags[1].state, "SO100");
      EXPECT_EQ(diags[1].text, communicationError);
    }
  }
}

TEST(Exchange, ReceiveTimeoutRule) {
  struct Case {
    qvo_int32 feedback;
    qvo_int32 version;
    bool mainNode;
    __qvoMessageMode command;
    int seconds;
  };
  const Case cases[] = {
      {30, 13, true, execute, 600},       {30, 13, true, execute_prepared_statement, 600},
      {30, 13, true, execute_batch, 600}, {45, 13, true, continue_execution, 750},
      {30, 13, true, send_rows, 0},       {30, 13, false, execute, 0},
      {-1701, 13, true, send_rows, 5},    {30, 8, true, execute, INT_MAX},
      {-1701, 8, false, execute, 0},      {-100, 13, true, execute, 0},
  };
  SocketOwner conn;
  qvoSocket socket(&conn, -1);
  for (const Case& c : cases) {
    conn.feedbackInterval = c.feedback;
    conn.protocolVersion = c.version;
    conn.mainNode = c.mainNode;
    EXPECT_EQ(socket.ReceiveTimeout(c.command), c.seconds) << c.feedback << " " << c.command;
  }
}

TEST(Exchange, SilentNodeRunsIntoTheTestTimeout) {
  SocketFixture w;
  w.owner.feedbackInterval = -1701;
  w.node.Push(Reply::Silent());
  EXPECT_EQ(w.Exchange(send_rows), -1);
  EXPECT_EQ(TextsOf(w.owner),
            (std::vector<std::string>{"Socket read has run into timeout after 5 seconds.",
                                      "Error receiving message from Vandrel. Socket failure.",
                                      communicationError}));
  EXPECT_TRUE(w.socket().ShouldIReconnect());
}

// Every way the node can misbehave ends in a diagnostic and -1.
TEST(Exchange, MisbehavingNodes) {
  Reply bigBlock;
  bigBlock.attrLength = 1000001;
  Reply blockBeyondMessage;
  blockBeyondMessage.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 1)};
  blockBeyondMessage.messageLength = 2;
  Reply hugeData;
  hugeData.messageLength = 0xFFFFFFF0u;
  Reply unknownType;
  unknownType.attrs = {Attr::Raw({14, 0, 1, 0, 0, 0})};
  unknownType.data = {0, 1, 2};
  Reply countMismatch;
  countMismatch.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 1)};
  countMismatch.numAttributes = 2;
  Reply recordPastBlock;
  recordPastBlock.attrs = {Attr::Raw({1, 0, 100, 0, 0, 0, 'a', 'b'})};
  Reply truncated = Reply::CloseAfter(30);
  truncated.data = fake::Bytes(100, 7);
  Reply closedAtOnce = Reply::CloseAfter(0);
  Reply announcesMore = Reply::CloseAfter(40);  // 100 MB announced, 19 bytes sent
  announcesMore.messageLength = 100000000;
  announcesMore.data = fake::Bytes(19, 1);

  const char* const invalidSize =
      "Invalid attributes size received in client server protocoll. This most likely indicates "
      "that the connection was not made to an Vandrel. ";
  const char* const undeterminable = "Cannot determine Vandrel attribute type.";
  const char* const closed = "Socket closed by peer.";
  const char* const receiveFailed = "Error receiving message from Vandrel. Socket failure.";
  struct Case {
    const char* what;
    Reply reply;
    std::vector<std::string> texts;
    bool inStep;  // the stream is still usable afterwards
  } cases[] = {
      {"attribute block above 1,000,000 bytes", bigBlock, {invalidSize, communicationError}, false},
      {"block longer than the message",
       blockBeyondMessage,
       {invalidSize, communicationError},
       false},
      {"data beyond what can be held",
       hugeData,
       {"Memory allocation error.", communicationError},
       false},
      {"unknown attribute type", unknownType, {undeterminable, communicationError}, true},
      {"count does not match the block", countMismatch, {undeterminable, communicationError}, true},
      {"record past the block", recordPastBlock, {undeterminable, communicationError}, true},
      {"truncated answer", truncated, {closed, receiveFailed, communicationError}, false},
      {"closed without answer", closedAtOnce, {closed, receiveFailed, communicationError}, false},
      {"announces more than it sends",
       announcesMore,
       {closed, receiveFailed, communicationError},
       false},
  };
  for (Case& c : cases) {
    SocketFixture w;
    w.node.Push(c.reply);
    EXPECT_EQ(w.Exchange(execute, "q"), -1) << c.what;
    EXPECT_EQ(TextsOf(w.owner), c.texts) << c.what;
    EXPECT_EQ(w.socket().qvoIsConnected(), c.inStep ? 1 : 0) << c.what;
    if (c.inStep) {
      // The answer was read to its end: the next exchange works.
      w.owner.ClearDiagRecords();
      EXPECT_EQ(w.Exchange(get_attributes), 0) << c.what;
    }
  }
}

// The exchange changes nothing of its connection: it hands the answer's
// attributes over in their order, also those ahead of a
// bad record when it fails, and no more than the header counts.
TEST(Exchange, AnswerAttributesAreHandedOver) {
  using Records = std::vector<std::pair<int, std::string>>;
  const std::pair<int, std::string> timeout{fake::ATTR_QUERY_TIMEOUT, "\x07\0\0\0"s};
  const std::pair<int, std::string> schema{fake::ATTR_CURRENT_SCHEMA, "S"};
  Reply sound;
  sound.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 7),
                 Attr::Text(fake::ATTR_CURRENT_SCHEMA, "S")};
  sound.data = {1};
  Reply unknownId;
  unknownId.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 7),
                     Attr::Text(fake::ATTR_CURRENT_SCHEMA, "S"), Attr::Raw({14, 0, 1, 0, 0, 0}),
                     Attr::Int32(fake::ATTR_MAX_IDENTIFIER_LENGTH, 100)};
  Reply fewerCounted;
  fewerCounted.attrs = {Attr::Int32(fake::ATTR_QUERY_TIMEOUT, 7),
                        Attr::Text(fake::ATTR_CURRENT_SCHEMA, "S")};
  fewerCounted.numAttributes = 1;
  struct Case {
    const char* what;
    Reply reply;
    qvo_int64 result;
    Records records;
  } cases[] = {{"sound", sound, 5, {timeout, schema}},
               {"unknown id third", unknownId, -1, {timeout, schema}},
               {"header counts one", fewerCounted, -1, {timeout}}};
  for (Case& c : cases) {
    SocketFixture w;
    w.node.Push(c.reply);
    EXPECT_EQ(w.Exchange(execute, "q"), c.result) << c.what;
    EXPECT_EQ(w.AnswerRecords(), c.records) << c.what;
    EXPECT_EQ(w.owner.protocolVersion, kCurrentProtocol) << c.what;
  }
  // An answer without attributes leaves none from the one before.
  SocketFixture w;
  w.node.Push(sound);
  w.node.Push(Reply{});
  EXPECT_EQ(w.Exchange(execute, "q"), 5);
  EXPECT_EQ(w.Exchange(get_attributes), 0);
  EXPECT_EQ(w.answer, nullptr);
}

TEST(Exchange, AbortIsNotAnsweredAndContinueSendsNothing) {
  SocketFixture w;
  EXPECT_EQ(w.Exchange(abort_query), 0);
  EXPECT_EQ(w.socket().GetQvoAnswerLen(), 5);
  // One result (little-endian like every count), of kind -2 (empty).
  EXPECT_EQ(std::memcmp(w.socket().GetQvoAnswer(nullptr), "\x01\x00\x00\x00\xFE", 5), 0);
  ASSERT_TRUE(w.node.WaitForRequests(1));  // the abort has met the node's script

  Reply stillExecuting;
  stillExecuting.results = 1;
  stillExecuting.data = {5};
  Reply done;
  done.results = 1;
  done.data = {0, 1, 0, 0, 0, 0, 0, 0, 0};
  stillExecuting.then = {done};
  w.node.Push(stillExecuting);
  EXPECT_EQ(w.Exchange(execute, "long"), 5);
  EXPECT_EQ(w.Exchange(continue_execution), 13);
  EXPECT_EQ(w.AnswerData(), std::string("\0\1\0\0\0\0\0\0\0", 9));
  ASSERT_TRUE(w.node.WaitForRequests(2));
  auto requests = w.node.Requests();
  EXPECT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].command, abort_query);
  EXPECT_EQ(requests[1].command, execute);
}

TEST(Exchange, EncipheredStreamBothWays) {
  fake::Bytes sendKey(256), receiveKey(256);
  for (int k = 0; k < 256; ++k) {
    sendKey[k] = static_cast<unsigned char>(k * 7 + 1);
    receiveKey[k] = static_cast<unsigned char>(k * 13 + 5);
  }
  fake::FakeNode::Handler echo = [](const Request& r, fake::FakeNode&) {
    Reply reply;
    reply.results = 1;
    reply.attrs = {Attr::Text(fake::ATTR_CURRENT_SCHEMA, "S")};
    reply.data = r.data;
    return reply;
  };
  SocketFixture w;
  w.node.SetCipherKeys(sendKey, receiveKey, true);
  w.node.On(execute, echo);
  w.owner.socketEncryption = true;
  ASSERT_EQ(w.socket().SetCipherKeys(sendKey.data(), receiveKey.data(), 256), 0);
  ASSERT_EQ(w.socket().StartEnciphering(), 0);

  for (size_t size : {10u, 60000u, 3u, 2500000u}) {  // buffered, direct, buffered, grown
    std::string data(size, '\0');
    for (size_t k = 0; k < size; ++k) data[k] = static_cast<char>('a' + k % 26);
    const std::string original = data;
    auto list = ListWith(w.owner, 3, "enc");
    ASSERT_EQ(w.Exchange(execute, data, &list), static_cast<qvo_int64>(size + 4)) << size;
    EXPECT_EQ(data, original) << "the caller's bytes stay plain";
    EXPECT_EQ(w.AnswerData(), original);
    EXPECT_EQ(w.AnswerRecords(),
              (std::vector<std::pair<int, std::string>>{{fake::ATTR_CURRENT_SCHEMA, "S"}}));
  }
  ASSERT_TRUE(w.node.WaitForRequests(4));
  for (const Request& r : w.node.Requests()) {
    EXPECT_TRUE(r.attrsValid);
    ASSERT_NE(r.Find(fake::ATTR_CLIENTNAME), nullptr);
    EXPECT_EQ(r.Find(fake::ATTR_CLIENTNAME)->AsText(), "enc");
  }

  // Once on, the stream stays enciphered: neither a version below 12 named
  // by a later answer nor the setting for the next login turns it off.
  w.owner.feedbackInterval = -1701;  // a broken stream ends in seconds
  Reply lower;
  lower.attrs = {Attr::Int32(fake::ATTR_PROTOCOL_VERSION, 11)};
  w.node.Push(lower);
  ASSERT_EQ(w.Exchange(get_attributes), 0);
  EXPECT_EQ(w.answerVersion, 11);
  w.owner.protocolVersion = w.answerVersion;  // as the connection lowers its own
  w.owner.socketEncryption = false;
  EXPECT_EQ(w.Exchange(execute, "after"), 9);
  EXPECT_EQ(w.AnswerData(), "after");
  ASSERT_TRUE(w.node.WaitForRequests(6));
  EXPECT_EQ(w.node.Requests().back().command, fake::kExecute);
  EXPECT_TRUE(w.node.Errors().empty());
}

TEST(Exchange, RefusedRequestsKeepTheirList) {
  SocketFixture w;
  // Data that do not fit the 32-bit length field with the attribute block.
  auto list = ListWith(w.owner, 1, "x");
  const char byte = 0;
  EXPECT_EQ(w.socket().qvoExecSQL(nullptr, &list, &byte, qvoSocket::maxMessageData, execute), -1);
  EXPECT_NE(list, nullptr);
  EXPECT_EQ(TextsOf(w.owner), std::vector<std::string>{"Invalid string or buffer length."});

  // A list that cannot be converted to the wire.
  w.owner.ClearDiagRecords();
  const char bad[] = {14, 0, 1};
  auto badList = std::make_unique<qvoAttributes>(&w.owner, 3, bad, 1);
  EXPECT_EQ(w.Exchange(execute, "q", &badList), -1);
  EXPECT_NE(badList, nullptr);
  EXPECT_EQ(TextsOf(w.owner),
            std::vector<std::string>{"Error converting attribute list to little endian."});

  // Nothing reached the node; the connection still works.
  EXPECT_EQ(w.Exchange(Ping), 0);
  ASSERT_TRUE(w.node.WaitForRequests(1));
  EXPECT_EQ(w.node.Requests().size(), 1u);
}

TEST(Socket, SendingToAClosedPeerFailsWithoutASignal) {
  SocketFixture w;
  w.node.Push(Reply::CloseAfter(0));
  EXPECT_EQ(w.Exchange(Ping), -1);
  ASSERT_TRUE(w.node.WaitForClosed(1));
  // The first write may still be taken by the kernel; a later one fails.
  bool sendFailed = false;
  for (int attempt = 0; attempt < 5 && !sendFailed; ++attempt) {
    w.owner.ClearDiagRecords();
    EXPECT_EQ(w.Exchange(execute, "after close"), -1);
    for (const std::string& t : TextsOf(w.owner))
      sendFailed |= t == "Error sending message to Vandrel. Socket failure.";
  }
  EXPECT_TRUE(sendFailed);
  EXPECT_TRUE(w.socket().ShouldIReconnect());
}

TEST(Socket, ClosingTwiceClosesOnlyItsOwnDescriptor) {
  SocketFixture w;
  w.socket().closeSocket();
  EXPECT_EQ(qvoSocketTestPeer(w.socket()).descriptor(), -1);
  EXPECT_EQ(w.socket().qvoIsConnected(), 0);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);  // likely takes the number just given up
  w.socket().closeSocket();
  w.sock.reset();
  EXPECT_NE(fcntl(fds[0], F_GETFD), -1);
  EXPECT_NE(fcntl(fds[1], F_GETFD), -1);
  close(fds[0]);
  close(fds[1]);

  // A socket without descriptor fails to receive with a diagnostic.
  SocketOwner conn;
  qvoSocket none(&conn, -1);
  char byte;
  EXPECT_EQ(none.qvoSafeRecv(&byte, 1, Ping), -1);
  EXPECT_EQ(TextsOf(conn), std::vector<std::string>{"Server not connected."});
}

TEST(Socket, DescriptorsAbove1023Work) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_cur < 1200) {
    rlimit raised = limit;
    raised.rlim_cur = std::min<rlim_t>(limit.rlim_max, 1200);
    if (raised.rlim_cur < 1200 || setrlimit(RLIMIT_NOFILE, &raised) != 0)
      GTEST_SKIP() << "cannot open descriptors above 1023 here";
  }
  fake::FakeNode node;
  int fd = fake::ConnectTcp(node.Port());
  ASSERT_GE(fd, 0);
  int high = fcntl(fd, F_DUPFD_CLOEXEC, 1100);
  close(fd);
  ASSERT_GE(high, 1100);
  SocketOwner conn;
  auto socket = std::make_unique<qvoSocket>(&conn, high);
  Reply reply;
  reply.data = {9, 9};
  node.Push(reply);
  EXPECT_EQ(socket->qvoExecSQL(nullptr, nullptr, "q", 1, execute), 6);
  socket.reset();
}

}  // namespace
