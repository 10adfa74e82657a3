// Cryptography of the fake Vandrel node: RSA decryption of what the client
// encodes under the node's public key, and RC4. Written independently of the
// client library so that tests check the library against a second
// implementation; it includes nothing of the library.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fakecrypto {

using Bytes = std::vector<unsigned char>;

// An RSA key pair; numbers are unsigned big-endian byte strings.
struct RsaKeyPair {
  Bytes e, d, n;
  // The public key as the node sends it: e then N, each a 128-byte block.
  Bytes PublicKeyBlock() const;
};

// Deterministic key pair for a seed: e = 65537, N of about 1020 bits (below
// 2^1023 like the keys of the client's generator, above any 64-byte block).
RsaKeyPair MakeRsaKeyPair(unsigned long seed);
// A key pair from the client's layout of three 128-byte blocks d, e, N.
RsaKeyPair RsaKeyPairFromBlocks(const unsigned char* blocks);

// Deciphers 128-byte blocks into 64-byte blocks (c^d mod N). Empty when the
// length is not a multiple of 128 or a block does not decipher into 64 bytes.
Bytes RsaDecrypt(const RsaKeyPair& key, const Bytes& cipher);
// Enciphers 64-byte blocks into 128-byte blocks (m^e mod N).
Bytes RsaEncrypt(const RsaKeyPair& key, const Bytes& plain);

// The encoded password layout: plain bytes alternate between the secret (with
// its terminating zero, repeated) and the node's phrase (repeated).
struct Interleaved {
  Bytes secret;  // even positions
  Bytes phrase;  // odd positions
};
Interleaved Deinterleave(const Bytes& plain);
// The secret bytes before the first zero: the password.
std::string PasswordOf(const Interleaved& text);
// Whether the phrase positions hold `phrase` repeated from its first byte.
bool PhraseRepeats(const Interleaved& text, const Bytes& phrase);

// Plain RC4 keystream applied in place, position kept between calls.
class Rc4 {
 public:
  Rc4(const unsigned char* key, size_t keyLength);
  explicit Rc4(const Bytes& key) : Rc4(key.data(), key.size()) {}
  void Apply(unsigned char* bytes, size_t length);
  void Apply(Bytes& bytes) { Apply(bytes.data(), bytes.size()); }

 private:
  unsigned char s_[256];
  unsigned char i_ = 0;
  unsigned char j_ = 0;
};

}  // namespace fakecrypto
