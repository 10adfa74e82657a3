// The decoders of whole answers and the request encoders, on hand-made bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/qvoAnswers.h"
#include "protocol/qvoRequestPayloads.h"

namespace {

using namespace std::string_literals;

std::string LE32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
std::string LE64(uint64_t v) { return LE32(static_cast<uint32_t>(v)) + LE32(v >> 32); }
std::string Text(const std::string& t) { return LE32(static_cast<uint32_t>(t.size())) + t; }
std::string Exception(const std::string& text, const std::string& state) {
  return LE32(1) + "\xFF"s + Text(text) + state;
}

TEST(ProtocolAnswers, ExceptionIsRecognisedByItsWholeRecord) {
  struct Case {
    const char* name;
    std::string answer;
    qvoExceptionAnswer shape;
  };
  const std::vector<Case> cases = {
      {"exception", Exception("no such table", "42S02"), qvoExceptionAnswer::Exception},
      {"empty text", Exception("", "08004"), qvoExceptionAnswer::Exception},
      {"row count", LE32(1) + "\x00"s + LE64(3), qvoExceptionAnswer::None},
      {"only the count", LE32(1), qvoExceptionAnswer::None},
      {"nothing", "", qvoExceptionAnswer::None},
      {"state cut short", Exception("x", "42S0"), qvoExceptionAnswer::Malformed},
      {"text longer than the answer", LE32(1) + "\xFF"s + LE32(100) + "abc",
       qvoExceptionAnswer::Malformed},
      {"negative text length", LE32(1) + "\xFF"s + LE32(0xFFFFFFFF) + "42000",
       qvoExceptionAnswer::Malformed},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    qvoServerException e;
    EXPECT_EQ(DecodeExceptionAnswer(k.answer.data(), k.answer.size(), &e), k.shape);
    if (k.shape == qvoExceptionAnswer::Exception) {
      EXPECT_EQ(e.state.size(), 5u);
    }
  }
  qvoServerException e;
  const std::string answer = Exception("no such table", "42S02");
  ASSERT_EQ(DecodeExceptionAnswer(answer.data(), answer.size(), &e), qvoExceptionAnswer::Exception);
  EXPECT_EQ(e.text, "no such table");
  EXPECT_EQ(e.state, "42S02");
}

TEST(ProtocolAnswers, HostListOf255HostsIsNotAnException) {
  struct Case {
    const char* name;
    std::string answer;
    qvoHostListStatus status;
    std::vector<std::string> hosts;  // the names decoded, when Ok
  };
  std::string many = LE32(1) + LE32(255);
  std::vector<std::string> manyNames;
  for (int i = 0; i < 255; ++i) {
    manyNames.push_back(std::string("h").append(std::to_string(i)));
    many += Text(manyNames.back());
  }
  // 255 hosts whose first name is 256 long: the bytes after the count begin
  // like an exception's empty text.
  std::string longFirst = LE32(1) + LE32(255) + Text(std::string(256, 'a'));
  std::vector<std::string> longFirstNames = {std::string(256, 'a')};
  for (int i = 1; i < 255; ++i) {
    longFirst += Text("h");
    longFirstNames.push_back("h");
  }
  const std::vector<Case> cases = {
      {"255 hosts", many, qvoHostListStatus::Ok, manyNames},
      {"255 hosts, first 256 long", longFirst, qvoHostListStatus::Ok, longFirstNames},
      {"two hosts", LE32(1) + LE32(2) + Text("a") + Text("bc"), qvoHostListStatus::Ok, {"a", "bc"}},
      {"exception", Exception("refused", "08004"), qvoHostListStatus::Exception, {}},
      {"no hosts", LE32(1) + LE32(0), qvoHostListStatus::BadCount, {}},
      {"fewer hosts than counted", LE32(1) + LE32(3) + Text("a"), qvoHostListStatus::Malformed, {}},
      {"no count", LE32(1), qvoHostListStatus::Malformed, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::vector<std::string_view> hosts;
    EXPECT_EQ(DecodeHostList(k.answer.data(), k.answer.size(), &hosts), k.status);
    if (k.status == qvoHostListStatus::Ok) {
      EXPECT_EQ(std::vector<std::string>(hosts.begin(), hosts.end()), k.hosts);
    }
  }
}

TEST(ProtocolAnswers, Fetch2Answers) {
  struct Case {
    const char* name;
    std::string answer;
    bool withKind;
    qvoFetchAnswerStatus status;
    qvo_int64 rows;
    size_t blockLength;
  };
  const std::vector<Case> cases = {
      {"rows", LE32(1) + "\x06"s + LE64(2) + "blk", true, qvoFetchAnswerStatus::Rows, 2, 3},
      {"rows, old protocol", LE32(1) + LE64(2) + "blk", false, qvoFetchAnswerStatus::Rows, 2, 3},
      {"exception", Exception("gone", "24000"), true, qvoFetchAnswerStatus::Exception, 0, 0},
      {"short error, old protocol", LE32(1) + "\xFF"s + Text("gone"), false,
       qvoFetchAnswerStatus::ShortError, 0, 0},
      {"other kind", LE32(1) + "\x00"s + LE64(2), true, qvoFetchAnswerStatus::Malformed, 0, 0},
      {"negative rows", LE32(1) + "\x06"s + LE64(~0ULL), true, qvoFetchAnswerStatus::Malformed, 0,
       0},
      {"cut exception", LE32(1) + "\xFF"s + LE32(9) + "x", true, qvoFetchAnswerStatus::Malformed, 0,
       0},
      {"no count", "\x01"s, true, qvoFetchAnswerStatus::Malformed, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::string bytes = k.answer;
    qvoFetchAnswer out;
    EXPECT_EQ(DecodeFetch2Answer(bytes.data(), bytes.size(), k.withKind, &out), k.status);
    if (k.status != qvoFetchAnswerStatus::Rows) continue;
    EXPECT_EQ(out.rows, k.rows);
    EXPECT_EQ(out.blockLength, k.blockLength);
    EXPECT_EQ(std::string(out.block, out.blockLength), "blk");
  }
}

TEST(ProtocolAnswers, AbortAnswerIsOneEmptyResult) {
  char answer[kAbortAnswerBytes];
  EncodeAbortAnswer(answer);
  EXPECT_EQ(std::string(answer, sizeof answer), LE32(1) + "\xFE"s);
  qvo_int32 count = 0;
  ASSERT_TRUE(DecodeResultCount(answer, sizeof answer, &count));
  EXPECT_EQ(count, 1);
}

TEST(ProtocolRequests, PayloadsInWireOrder) {
  char rows[kRowsRequestBytes];
  EncodeRowsRequest(rows, 7, 0x0102030405LL, -1);
  EXPECT_EQ(std::string(rows, sizeof rows), LE32(7) + LE64(0x0102030405ULL) + LE64(~0ULL));
  char handle[kHandleRequestBytes];
  EncodeHandleRequest(handle, 0x11223344);
  EXPECT_EQ(std::string(handle, sizeof handle), LE32(0x11223344));
  char kill[kSessionKillBytes];
  EncodeSessionKill(kill, 0x8000000000000001ULL);
  EXPECT_EQ(std::string(kill, sizeof kill), LE64(0x8000000000000001ULL));
  const std::vector<char> hosts = EncodeHostNamesRequest("10.0.0.5");
  EXPECT_EQ(std::string(hosts.begin(), hosts.end()), Text("10.0.0.5"));
  char login[kLoginPreambleBytes];
  EncodeLoginPreamble(login, 0x51564F31, 10, 13, 0x454E4421);
  EXPECT_EQ(std::string(login, sizeof login),
            LE32(0x51564F31) + LE32(18) + LE32(13) + LE32(0x454E4421));

  qvoMessageHeader h;
  h.length = 0xFFFFFFF0u;  // lengths are unsigned on the wire
  h.command = 37;
  h.serial = 9;
  h.attributeCount = 2;
  h.attributeBytes = 0x80000000u;
  h.lastField = 1;
  char header[kMessageHeaderBytes];
  EncodeMessageHeader(header, h);
  EXPECT_EQ(std::string(header, sizeof header),
            LE32(0xFFFFFFF0u) + "\x25"s + LE32(9) + LE32(2) + LE32(0x80000000u) + LE32(1));
  const qvoMessageHeader back = DecodeMessageHeader(header);
  EXPECT_EQ(back.length, h.length);
  EXPECT_EQ(back.command, h.command);
  EXPECT_EQ(back.serial, h.serial);
  EXPECT_EQ(back.attributeCount, h.attributeCount);
  EXPECT_EQ(back.attributeBytes, h.attributeBytes);
  EXPECT_EQ(back.lastField, h.lastField);
}

}  // namespace
