// RSA encryption of the login password and of the stream-cipher keys under the
// server's public key, plus the inverse operations and a key-pair generator
// that only test and server-side tooling use.
#pragma once

#include <gmp.h>

#include "protocol/qvoAttributeBlock.h"

class RSA_encoder {
 public:
  // Every key number travels as one unsigned big-endian block of this size.
  static constexpr int keyBlockSize = static_cast<int>(kKeyNumberBytes);
  // e then N, laid out as the protocol's public key.
  static constexpr int publicKeySize = static_cast<int>(kPublicKeyBytes);
  // d, e, N.
  static constexpr int keySetSize = 3 * keyBlockSize;
  // Plain text is enciphered in blocks of this size into key-sized blocks.
  static constexpr int plainBlockSize = 64;

  RSA_encoder();
  ~RSA_encoder();
  RSA_encoder(const RSA_encoder&) = delete;
  RSA_encoder& operator=(const RSA_encoder&) = delete;

  void SetPublicKey(const char* key);
  void GetPublicKey(char* out) const;
  void SetKeys(const char* keys);
  void GetKeys(char* out) const;

  // C = K^e mod N and P = C^d mod N. The input is used as the running base and
  // is overwritten. -1 (result 0) while the modulus is 0.
  int Encode(mpz_t K, mpz_t C);
  int Decode(mpz_t C, mpz_t P);

  // len / 128 blocks: EncodeString reads 64 bytes and writes 128 per block,
  // DecodeString reads 128 and writes 64. 0, or -1 when a block fails.
  int EncodeString(const char* in, char* out, int len);
  int DecodeString(const char* in, char* out, int len);

  // Size in bytes of what EncodePwd writes for these input lengths, or -1 when
  // it cannot encode them (no phrase, negative length, too large).
  static int EncodedPwdLen(int pwdLen, int phraseLen);

  // Interleaves the password (plus its terminating zero) with the phrase, both
  // repeated cyclically, and enciphers the result. 0 with *outLen set, or -1
  // with nothing written when the lengths are invalid, outSize is below
  // EncodedPwdLen or no public key is set.
  int EncodePwd(const char* pwd, int pwdLen, const char* phrase, int phraseLen, char* out,
                int outSize, int* outLen);

  // Deciphers an encoded password into out (outSize bytes, zero-terminated).
  // Returns the password's length, or -1 when the input does not decode or the
  // password does not fit (out then holds the part that fits).
  int DecodePwd(const char* in, int inLen, char* out, int outSize);

  // Deciphers and writes outLen / 2 even-position plain bytes (fewer when the
  // input is shorter) into out, zeroed first. Returns the count, or -1.
  int DecodeBinary(const char* in, int inLen, char* out, int outLen);

  // New key pair with N < 2^1023. 0, or -1 when no random seed is available.
  int GenerateRandKeys();

 private:
  int ModPow(mpz_t base, const mpz_t exponent, mpz_t result);

  mpz_t e;
  mpz_t d;
  mpz_t N;
};

// Fills the buffer from the operating system's random source; with noNull no
// byte is zero. 0, or -1 when the source fails.
int createRandomPhrase(char* buffer, int length, bool noNull);

// Load check of the library: returns 123.
int TestDLL();
