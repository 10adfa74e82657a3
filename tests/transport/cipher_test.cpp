#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/fake_crypto.h"
#include "transport/qvoCipher.h"

namespace {

using fakecrypto::Bytes;

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t k = 0; k + 1 < hex.size(); k += 2)
    out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(k, 2), nullptr, 16)));
  return out;
}

Bytes Key(int length, int start) {
  Bytes key;
  for (int k = 0; k < length; ++k) key.push_back(static_cast<unsigned char>(start + 13 * k));
  return key;
}

// Keystream test vectors of RFC 6229 (keystream = cipher of zero bytes).
TEST(StreamCipher, MatchesPublishedKeystream) {
  struct Case {
    const char* key;
    size_t offset;
    const char* keystream;
  } cases[] = {
      {"0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8"},
      {"0102030405", 16, "6982944f18fc82d589c403a47a0d0919"},
      {"0102030405", 240, "28cb1132c96ce286421dcaadb8b69eae"},
      {"0102030405", 4080, "068326a2118416d21f9d04b2cd1ca050"},
      {"0102030405060708", 0, "97ab8a1bf0afb96132f2f67258da15a8"},
      {"0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
      {"0102030405060708090a0b0c0d0e0f10", 4096, "a36a4c301ae8ac13610ccbc12256cacc"},
      {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 16,
       "cfa45c9f7e714b54bdfa80027cb14380"},
      {"833222772a", 256, "f0daf5bab3d596839857846f73fbfe5a"},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(testing::Message() << tc.key << " @" << tc.offset);
    const Bytes key = FromHex(tc.key), expected = FromHex(tc.keystream);
    // The send stream keyed by `key`, and the receive stream of the same key.
    qvoProtocolEncryption sender, receiver;
    const Bytes other = Key(5, 1);
    ASSERT_EQ(sender.SetKeys(key.data(), key.size(), other.data(), other.size()), 0);
    ASSERT_EQ(receiver.SetKeys(other.data(), other.size(), key.data(), key.size()), 0);
    Bytes a(tc.offset + 16, 0), b(tc.offset + 16, 0), c(tc.offset + 16, 0);
    ASSERT_EQ(sender.EncryptBytes(a.data(), a.size()), 0);
    ASSERT_EQ(receiver.DecryptBytes(b.data(), b.size()), 0);
    fakecrypto::Rc4(key).Apply(c);
    EXPECT_EQ(Bytes(a.begin() + tc.offset, a.end()), expected);
    EXPECT_EQ(Bytes(b.begin() + tc.offset, b.end()), expected);
    EXPECT_EQ(Bytes(c.begin() + tc.offset, c.end()), expected);
  }
}

TEST(StreamCipher, StreamsContinueAcrossCalls) {
  const Bytes k1 = Key(256, 3), k2 = Key(256, 77);
  const Bytes plain = Key(10, 200);
  qvoProtocolEncryption one, split;
  one.SetKeys(k1.data(), 256, k2.data(), 256);
  split.SetKeys(k1.data(), 256, k2.data(), 256);
  Bytes whole = plain, parts = plain;
  one.EncryptBytes(whole.data(), 10);
  split.EncryptBytes(parts.data(), 3);
  split.EncryptBytes(parts.data() + 3, 7);
  EXPECT_EQ(whole, parts);
  EXPECT_NE(whole, plain);

  // Mirrored keys: each side's send stream is the other's receive stream,
  // whatever the chunking, with the two directions interleaved.
  qvoProtocolEncryption client, server;
  client.SetKeys(k1.data(), 256, k2.data(), 256);
  server.SetKeys(k2.data(), 256, k1.data(), 256);
  fakecrypto::Rc4 nodeReceive(k1), nodeSend(k2);
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    Bytes up = Key(rng() % 700, round), down = Key(rng() % 700, round + 1);
    Bytes upSent = up, downSent = down, upAtNode = up;
    client.EncryptBytes(upSent.data(), upSent.size());
    upAtNode = upSent;
    nodeReceive.Apply(upAtNode);
    server.DecryptBytes(upSent.data(), upSent.size());
    EXPECT_EQ(upSent, up);
    EXPECT_EQ(upAtNode, up);
    server.EncryptBytes(downSent.data(), downSent.size());
    Bytes fromNode = down;
    nodeSend.Apply(fromNode);
    EXPECT_EQ(fromNode, downSent);
    client.DecryptBytes(downSent.data(), downSent.size());
    EXPECT_EQ(downSent, down);
  }
}

TEST(StreamCipher, StateImageRestoresTheStreams) {
  const Bytes k1 = Key(40, 9), k2 = Key(17, 5);
  qvoProtocolEncryption original;
  original.SetKeys(k1.data(), k1.size(), k2.data(), k2.size());
  Bytes warmUp(300, 1);
  original.EncryptBytes(warmUp.data(), 300);
  original.DecryptBytes(warmUp.data(), 123);
  original.encryptedCommunication = true;

  Bytes image(qvoProtocolEncryption::stateImageSize, 0xEE);
  EXPECT_EQ(original.Serialize(image.data(), qvoProtocolEncryption::stateImageSize - 1), -1);
  EXPECT_EQ(image, Bytes(qvoProtocolEncryption::stateImageSize, 0xEE));
  ASSERT_EQ(original.Serialize(image.data(), image.size()), qvoProtocolEncryption::stateImageSize);
  EXPECT_EQ(image[0], 'Y');
  unsigned ePos1;
  std::memcpy(&ePos1, image.data() + 513, 4);
  EXPECT_EQ(ePos1, 300u % 256);

  qvoProtocolEncryption copy;
  EXPECT_EQ(copy.DeSerialize(image.data(), image.size() - 1), -1);
  EXPECT_FALSE(copy.encryptedCommunication);
  ASSERT_EQ(copy.DeSerialize(image.data(), image.size()), 0);
  EXPECT_TRUE(copy.encryptedCommunication);
  Bytes a(64, 0), b(64, 0), c(64, 0), d(64, 0);
  original.EncryptBytes(a.data(), 64);
  copy.EncryptBytes(b.data(), 64);
  original.DecryptBytes(c.data(), 64);
  copy.DecryptBytes(d.data(), 64);
  EXPECT_EQ(a, b);
  EXPECT_EQ(c, d);
}

TEST(StreamCipher, KeyScheduleRepeatsShortKeysAndRefusesEmptyOnes) {
  unsigned char one[256], repeated[256];
  const unsigned char byte = 0xA7;
  const Bytes many(256, byte);
  ASSERT_EQ(qvoProtocolEncryption::calculateSboxBase(&byte, 1, one), 0);
  ASSERT_EQ(qvoProtocolEncryption::calculateSboxBase(many.data(), 256, repeated), 0);
  EXPECT_EQ(std::memcmp(one, repeated, 256), 0);

  // An empty key leaves the keyed streams as they were.
  const Bytes k = Key(16, 1);
  qvoProtocolEncryption c, reference;
  c.SetKeys(k.data(), 16, k.data(), 16);
  reference.SetKeys(k.data(), 16, k.data(), 16);
  EXPECT_EQ(c.SetKeys(k.data(), 0, k.data(), 16), -1);
  EXPECT_EQ(c.SetKeys(k.data(), 16, nullptr, 16), -1);
  EXPECT_EQ(c.EncryptBytes(nullptr, 4), -1);
  Bytes x(32, 0), y(32, 0);
  c.EncryptBytes(x.data(), 32);
  reference.EncryptBytes(y.data(), 32);
  EXPECT_EQ(x, y);
}

TEST(StreamCipher, RandomKeysDifferForTheSameSeed) {
  const std::string seed = "the same seed text for both keys, 50 characters..";
  Bytes a(256), b(256);
  for (size_t k = 0; k < 256; ++k) a[k] = b[k] = seed[k % seed.size()];
  const Bytes seeded = a;
  ASSERT_EQ(qvoProtocolEncryption::getRandomKey(a.data(), 256), 0);
  ASSERT_EQ(qvoProtocolEncryption::getRandomKey(b.data(), 256), 0);
  EXPECT_NE(a, b);
  EXPECT_NE(a, seeded);
}

// Needs about 192 MiB and a few minutes; run by hand with
// --gtest_also_run_disabled_tests.
TEST(StreamCipher, DISABLED_SelfTest) { EXPECT_EQ(RunTest(), 0); }

}  // namespace
