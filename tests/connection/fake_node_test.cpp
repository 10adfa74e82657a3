// The fake node's own reader and its RSA side, checked against the library's
// encoder: later tests trust what the node reports.
#include "support/fake_node.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "transport/qvoRSA.h"

namespace {

TEST(FakeNode, DecodesALoginMessage) {
  fake::FakeNode node;
  fake::Bytes block = fake::EncodeAttrs({fake::Attr::Text(fake::ATTR_USERNAME, "sys"),
                                         fake::Attr::Bool(fake::ATTR_AUTOCOMMIT, true)});
  fake::Bytes message;
  fake::PutLE(message, fake::kLoginMagic1, 4);
  fake::PutLE(message, block.size() + 8, 4);
  fake::PutLE(message, 13, 4);
  fake::PutLE(message, fake::kLoginMagic2, 4);
  message.insert(message.end(), block.begin(), block.end());
  int fd = fake::ConnectTcp(node.Port());
  ASSERT_GE(fd, 0);
  ASSERT_EQ(send(fd, message.data(), message.size(), 0), static_cast<ssize_t>(message.size()));
  ASSERT_TRUE(node.WaitForRequests(1));
  close(fd);

  const fake::Request r = node.Requests()[0];
  EXPECT_TRUE(r.login);
  EXPECT_EQ(r.command, fake::kLogin);
  EXPECT_EQ(r.protocolVersion, 13u);
  ASSERT_TRUE(r.attrsValid);
  EXPECT_EQ(r.Find(fake::ATTR_USERNAME)->AsText(), "sys");
  EXPECT_EQ(r.Find(fake::ATTR_AUTOCOMMIT)->AsInt(), 1);
}

TEST(FakeNode, DecryptsWhatTheClientEncodes) {
  fake::FakeNode node;
  fake::Bytes key = node.PublicKeyBlock();
  ASSERT_EQ(key.size(), 256u);
  RSA_encoder encoder;
  encoder.SetPublicKey(reinterpret_cast<const char*>(key.data()));
  const std::string phrase = "0123456789";

  const std::string password = "top secret";
  std::string out(4096, '\0');
  int outLen = 0;
  ASSERT_EQ(encoder.EncodePwd(password.data(), static_cast<int>(password.size()), phrase.data(),
                              static_cast<int>(phrase.size()), out.data(),
                              static_cast<int>(out.size()), &outLen),
            0);
  fake::Bytes encoded(out.begin(), out.begin() + outLen);
  EXPECT_EQ(node.DecryptPassword(encoded), password);

  fake::Bytes cipherKey(256);
  for (int k = 0; k < 256; ++k) cipherKey[k] = static_cast<unsigned char>(255 - k);
  ASSERT_EQ(encoder.EncodePwd(reinterpret_cast<const char*>(cipherKey.data()), 256, phrase.data(),
                              static_cast<int>(phrase.size()), out.data(),
                              static_cast<int>(out.size()), &outLen),
            0);
  EXPECT_EQ(node.DecryptSecret(fake::Bytes(out.begin(), out.begin() + outLen), 256), cipherKey);
  EXPECT_EQ(node.DecryptPassword(fake::Bytes(100, 1)), std::nullopt);
}

}  // namespace
