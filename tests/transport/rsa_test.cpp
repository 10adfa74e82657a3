#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_crypto.h"
#include "transport/qvoRSA.h"

namespace {

using fakecrypto::Bytes;

const fakecrypto::RsaKeyPair& NodeKey() {
  static const fakecrypto::RsaKeyPair key = fakecrypto::MakeRsaKeyPair(20240611);
  return key;
}

// Bytes that differ from position to position and are never zero.
std::string Text(int length, int start) {
  std::string s;
  for (int k = 0; k < length; ++k) s.push_back(static_cast<char>(1 + (start + 7 * k) % 255));
  return s;
}

Bytes AsBytes(const char* p, size_t n) { return Bytes(p, p + n); }

// The node's full key set in the client's layout d, e, N.
std::vector<char> NodeKeyBlocks() {
  std::vector<char> blocks(RSA_encoder::keySetSize, 0);
  const Bytes* numbers[] = {&NodeKey().d, &NodeKey().e, &NodeKey().n};
  for (int b = 0; b < 3; ++b) {
    const Bytes& v = *numbers[b];
    std::copy(v.begin(), v.end(), blocks.begin() + (b + 1) * RSA_encoder::keyBlockSize - v.size());
  }
  return blocks;
}

TEST(RsaEncoder, EncodedPasswordDecryptsAtTheNode) {
  struct Case {
    int pwdLen, phraseLen, encodedLen;
  } cases[] = {
      {5, 10, 256},    {63, 64, 256},  {64, 64, 512}, {256, 257, 1280},
      {256, 64, 1280}, {5, 300, 1280}, {0, 1, 256},   {127, 3, 512},
  };
  const Bytes publicKey = NodeKey().PublicKeyBlock();
  for (const auto& tc : cases) {
    SCOPED_TRACE(testing::Message() << "pwd " << tc.pwdLen << ", phrase " << tc.phraseLen);
    const std::string pwd = Text(tc.pwdLen, 'a');
    const std::string phrase = Text(tc.phraseLen, 100);
    RSA_encoder enc;
    enc.SetPublicKey(reinterpret_cast<const char*>(publicKey.data()));
    EXPECT_EQ(RSA_encoder::EncodedPwdLen(tc.pwdLen, tc.phraseLen), tc.encodedLen);

    std::vector<char> out(tc.encodedLen + 16, '\x5A');
    int len = -7;
    ASSERT_EQ(enc.EncodePwd(pwd.data(), tc.pwdLen, phrase.data(), tc.phraseLen, out.data(),
                            tc.encodedLen, &len),
              0);
    ASSERT_EQ(len, tc.encodedLen);
    EXPECT_TRUE(std::all_of(out.begin() + len, out.end(), [](char c) { return c == '\x5A'; }));

    const Bytes plain = fakecrypto::RsaDecrypt(NodeKey(), AsBytes(out.data(), len));
    ASSERT_EQ(plain.size(), static_cast<size_t>(len / 2));
    // Password with its zero and phrase, each repeated, byte by byte in turn.
    Bytes expected;
    for (int k = 0; k < len / 4; ++k) {
      const int p = k % (tc.pwdLen + 1);
      expected.push_back(p < tc.pwdLen ? pwd[p] : 0);
      expected.push_back(phrase[k % tc.phraseLen]);
    }
    EXPECT_EQ(plain, expected);
    const auto text = fakecrypto::Deinterleave(plain);
    EXPECT_EQ(fakecrypto::PasswordOf(text), pwd);
    EXPECT_TRUE(fakecrypto::PhraseRepeats(text, AsBytes(phrase.data(), phrase.size())));
  }
}

TEST(RsaEncoder, EncodePwdRefusesWhatItCannotEncode) {
  const Bytes publicKey = NodeKey().PublicKeyBlock();
  const Bytes zeroKey(RSA_encoder::publicKeySize, 0);
  struct Case {
    const char* name;
    const Bytes* key;  // null: no key set
    int pwdLen, phraseLen, outSize;
  } cases[] = {
      {"output one byte short", &publicKey, 5, 10, 255},
      {"empty phrase", &publicKey, 5, 0, 1024},
      {"negative password length", &publicKey, -1, 10, 1024},
      {"no public key", nullptr, 5, 10, 1024},
      {"modulus of zero", &zeroKey, 5, 10, 1024},
  };
  const std::string pwd = Text(5, 1), phrase = Text(10, 2);
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.name);
    RSA_encoder enc;
    if (tc.key) enc.SetPublicKey(reinterpret_cast<const char*>(tc.key->data()));
    std::vector<char> out(1024, '\x5A');
    int len = 99;
    EXPECT_EQ(enc.EncodePwd(pwd.data(), tc.pwdLen, phrase.data(), tc.phraseLen, out.data(),
                            tc.outSize, &len),
              -1);
    EXPECT_EQ(len, 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](char c) { return c == '\x5A'; }));
  }
}

TEST(RsaEncoder, GeneratedKeyPairRoundTrips) {
  RSA_encoder generator;
  ASSERT_EQ(generator.GenerateRandKeys(), 0);
  std::vector<char> keys(RSA_encoder::keySetSize), pub(RSA_encoder::publicKeySize);
  generator.GetKeys(keys.data());
  generator.GetPublicKey(pub.data());
  EXPECT_TRUE(std::equal(pub.begin(), pub.end(), keys.begin() + RSA_encoder::keyBlockSize));
  const char* n = keys.data() + 2 * RSA_encoder::keyBlockSize;
  EXPECT_EQ(n[0] & 0x80, 0) << "N < 2^1023";
  EXPECT_TRUE(std::any_of(n, n + 64, [](char c) { return c != 0; })) << "N >= 2^512";

  RSA_encoder client;
  client.SetPublicKey(pub.data());
  const std::string pwd = "Geheim-17", phrase = Text(40, 9);
  std::vector<char> out(256);
  int len = 0;
  ASSERT_EQ(client.EncodePwd(pwd.data(), 9, phrase.data(), 40, out.data(), 256, &len), 0);

  RSA_encoder server;
  server.SetKeys(keys.data());
  std::vector<char> again(RSA_encoder::keySetSize);
  server.GetKeys(again.data());
  EXPECT_EQ(again, keys);
  char decoded[32];
  EXPECT_EQ(server.DecodePwd(out.data(), len, decoded, sizeof decoded), 9);
  EXPECT_STREQ(decoded, pwd.c_str());

  // A second implementation agrees that d inverts e.
  const auto pair = fakecrypto::RsaKeyPairFromBlocks(reinterpret_cast<unsigned char*>(keys.data()));
  const auto text =
      fakecrypto::Deinterleave(fakecrypto::RsaDecrypt(pair, AsBytes(out.data(), len)));
  EXPECT_EQ(fakecrypto::PasswordOf(text), pwd);
}

TEST(RsaEncoder, DecodingStaysInsideItsOutput) {
  RSA_encoder enc;
  const auto keys = NodeKeyBlocks();
  enc.SetKeys(keys.data());
  const std::string phrase = Text(64, 3);

  // A cipher key holds zero bytes; DecodeBinary gives back half the output length.
  std::string key(256, '\0');
  for (int k = 0; k < 256; ++k) key[k] = static_cast<char>(k * 7);
  std::vector<char> encoded(1280);
  int len = 0;
  ASSERT_EQ(enc.EncodePwd(key.data(), 256, phrase.data(), 64, encoded.data(), 1280, &len), 0);
  std::vector<char> binary(512, 'x');
  EXPECT_EQ(enc.DecodeBinary(encoded.data(), len, binary.data(), 512), 256);
  EXPECT_EQ(std::string(binary.data(), 256), key);
  EXPECT_TRUE(std::all_of(binary.begin() + 256, binary.end(), [](char c) { return c == 0; }));

  // A password longer than the output is cut and reported, never overrun.
  const std::string pwd = "password123";
  ASSERT_EQ(enc.EncodePwd(pwd.data(), 11, phrase.data(), 64, encoded.data(), 1280, &len), 0);
  auto small = std::make_unique<char[]>(5);
  EXPECT_EQ(enc.DecodePwd(encoded.data(), len, small.get(), 5), -1);
  EXPECT_STREQ(small.get(), "pass");
  auto exact = std::make_unique<char[]>(12);
  EXPECT_EQ(enc.DecodePwd(encoded.data(), len, exact.get(), 12), 11);
  EXPECT_STREQ(exact.get(), "password123");
}

TEST(RsaEncoder, RandomPhraseWithoutZeroBytes) {
  std::vector<char> a(4096), b(4096);
  ASSERT_EQ(createRandomPhrase(a.data(), 4096, true), 0);
  ASSERT_EQ(createRandomPhrase(b.data(), 4096, true), 0);
  EXPECT_TRUE(std::none_of(a.begin(), a.end(), [](char c) { return c == 0; }));
  EXPECT_NE(a, b);
}

}  // namespace
