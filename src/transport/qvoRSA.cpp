#include "transport/qvoRSA.h"

#include <errno.h>
#include <string.h>
#include <sys/random.h>

#include <climits>
#include <cstdint>
#include <new>
#include <vector>

namespace {

void importBlock(mpz_t z, const char* block, int size) { mpz_import(z, size, 1, 1, 1, 0, block); }

// Writes z as exactly `size` big-endian bytes, padded with leading zeros.
// A number that does not fit leaves the block zeroed and gives false.
bool exportBlock(const mpz_t z, char* block, int size) {
  memset(block, 0, size);
  if (mpz_sgn(z) == 0) return true;
  const size_t bytes = (mpz_sizeinbase(z, 2) + 7) / 8;
  if (mpz_sgn(z) < 0 || bytes > static_cast<size_t>(size)) return false;
  mpz_export(block + size - bytes, nullptr, 1, 1, 1, 0, z);
  return true;
}

// Plain text of a decoded block holds the password; do not leave it behind
// in freed memory.
struct WipedBuffer {
  std::vector<char> bytes;
  ~WipedBuffer() {
    if (!bytes.empty()) explicit_bzero(bytes.data(), bytes.size());
  }
  bool Allocate(size_t n) {
    try {
      bytes.assign(n, 0);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
};

bool fillFromSystem(unsigned char* p, size_t n) {
  while (n > 0) {
    const ssize_t got = getrandom(p, n, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

RSA_encoder::RSA_encoder() {
  mpz_init2(e, 128);
  mpz_init2(d, 128);
  mpz_init2(N, 128);
}

RSA_encoder::~RSA_encoder() {
  mpz_clear(e);
  mpz_clear(d);
  mpz_clear(N);
}

void RSA_encoder::SetPublicKey(const char* key) {
  const auto numbers = PublicKeyNumbers(key);
  importBlock(e, numbers.exponent, keyBlockSize);
  importBlock(N, numbers.modulus, keyBlockSize);
}

void RSA_encoder::GetPublicKey(char* out) const {
  const auto numbers = PublicKeyNumbers(out);
  exportBlock(e, numbers.exponent, keyBlockSize);
  exportBlock(N, numbers.modulus, keyBlockSize);
}

void RSA_encoder::SetKeys(const char* keys) {
  importBlock(d, keys, keyBlockSize);
  importBlock(e, keys + keyBlockSize, keyBlockSize);
  importBlock(N, keys + 2 * keyBlockSize, keyBlockSize);
}

void RSA_encoder::GetKeys(char* out) const {
  exportBlock(d, out, keyBlockSize);
  exportBlock(e, out + keyBlockSize, keyBlockSize);
  exportBlock(N, out + 2 * keyBlockSize, keyBlockSize);
}

// Right-to-left square and multiply. A modulus of 0 (no key set, or a key
// block of zeros from the server) would make GMP divide by zero.
int RSA_encoder::ModPow(mpz_t base, const mpz_t exponent, mpz_t result) {
  if (mpz_sgn(N) == 0) {
    mpz_set_ui(result, 0);
    return -1;
  }
  mpz_t x, r;
  mpz_init_set(x, exponent);
  mpz_init_set_ui(r, 1);
  while (mpz_sgn(x) > 0) {
    if (mpz_odd_p(x)) {
      mpz_mul(r, r, base);
      mpz_mod(r, r, N);
    }
    mpz_powm_ui(base, base, 2, N);
    mpz_fdiv_q_2exp(x, x, 1);
  }
  mpz_mod(r, r, N);
  mpz_swap(result, r);
  mpz_clear(r);
  mpz_clear(x);
  return 0;
}

int RSA_encoder::Encode(mpz_t K, mpz_t C) { return ModPow(K, e, C); }

int RSA_encoder::Decode(mpz_t C, mpz_t P) { return ModPow(C, d, P); }

int RSA_encoder::EncodeString(const char* in, char* out, int len) {
  if (len < 0) return -1;
  int rc = 0;
  mpz_t plain, cipher;
  mpz_init(plain);
  mpz_init(cipher);
  for (int b = 0; b < len / keyBlockSize; ++b) {
    importBlock(plain, in + b * plainBlockSize, plainBlockSize);
    if (Encode(plain, cipher) != 0 || !exportBlock(cipher, out + b * keyBlockSize, keyBlockSize))
      rc = -1;
  }
  mpz_clear(plain);
  mpz_clear(cipher);
  return rc;
}

int RSA_encoder::DecodeString(const char* in, char* out, int len) {
  if (len < 0) return -1;
  int rc = 0;
  mpz_t cipher, plain;
  mpz_init(cipher);
  mpz_init(plain);
  for (int b = 0; b < len / keyBlockSize; ++b) {
    importBlock(cipher, in + b * keyBlockSize, keyBlockSize);
    // A wrong key yields numbers wider than a plain block.
    if (Decode(cipher, plain) != 0 || !exportBlock(plain, out + b * plainBlockSize, plainBlockSize))
      rc = -1;
  }
  mpz_clear(cipher);
  mpz_clear(plain);
  return rc;
}

int RSA_encoder::EncodedPwdLen(int pwdLen, int phraseLen) {
  if (pwdLen < 0 || phraseLen < 1) return -1;
  const int64_t longest = pwdLen + int64_t{1} > phraseLen ? pwdLen + int64_t{1} : phraseLen;
  const int64_t interleaved = (2 * longest + keyBlockSize - 1) / keyBlockSize * keyBlockSize;
  const int64_t encoded = 2 * interleaved;
  return encoded > INT_MAX ? -1 : static_cast<int>(encoded);
}

int RSA_encoder::EncodePwd(const char* pwd, int pwdLen, const char* phrase, int phraseLen,
                           char* out, int outSize, int* outLen) {
  if (outLen) *outLen = 0;
  const int encoded = EncodedPwdLen(pwdLen, phraseLen);
  if (encoded < 0 || outSize < encoded || !out || !outLen || !phrase || (pwdLen > 0 && !pwd) ||
      mpz_sgn(N) == 0)
    return -1;

  const int interleavedLen = encoded / 2;
  WipedBuffer interleaved;
  if (!interleaved.Allocate(interleavedLen)) return -1;
  char* b = interleaved.bytes.data();
  const int cycle = pwdLen + 1;
  for (int k = 0; k < interleavedLen / 2; ++k) {
    const int p = k % cycle;
    b[2 * k] = p < pwdLen ? pwd[p] : 0;
    b[2 * k + 1] = phrase[k % phraseLen];
  }
  if (EncodeString(b, out, encoded) != 0) return -1;
  *outLen = encoded;
  return 0;
}

int RSA_encoder::DecodePwd(const char* in, int inLen, char* out, int outSize) {
  if (!in || !out || inLen < 0 || outSize < 1) return -1;
  memset(out, 0, outSize);
  const int plainLen = inLen / keyBlockSize * plainBlockSize;
  WipedBuffer plain;
  if (!plain.Allocate(plainLen) || DecodeString(in, plain.bytes.data(), inLen) != 0) return -1;

  int n = 0;
  for (int k = 0; k < plainLen; k += 2) {
    const char c = plain.bytes[k];
    if (c == 0) break;
    if (n == outSize - 1) return -1;  // cut, terminated by the zeroing above
    out[n++] = c;
  }
  return n;
}

int RSA_encoder::DecodeBinary(const char* in, int inLen, char* out, int outLen) {
  if (!in || !out || inLen < 0 || outLen < 0) return -1;
  memset(out, 0, outLen);
  const int plainLen = inLen / keyBlockSize * plainBlockSize;
  WipedBuffer plain;
  if (!plain.Allocate(plainLen) || DecodeString(in, plain.bytes.data(), inLen) != 0) return -1;

  const int available = (plainLen + 1) / 2;
  const int count = outLen / 2 < available ? outLen / 2 : available;
  for (int k = 0; k < count; ++k) out[k] = plain.bytes[2 * k];
  return count;
}

int RSA_encoder::GenerateRandKeys() {
  mpz_t seed, p, q, n, phi, pm1, qm1, ex, dx, bound256, bound511, bound512, bound1023, bound16;
  mpz_inits(seed, p, q, n, phi, pm1, qm1, ex, dx, bound256, bound511, bound512, bound1023, bound16,
            nullptr);
  mpz_ui_pow_ui(bound16, 2, 16);
  mpz_ui_pow_ui(bound256, 2, 256);
  mpz_ui_pow_ui(bound511, 2, 511);
  mpz_ui_pow_ui(bound512, 2, 512);
  mpz_ui_pow_ui(bound1023, 2, 1023);

  int rc = -1;
  for (;;) {
    char seedBytes[32];
    if (createRandomPhrase(seedBytes, sizeof seedBytes, false) != 0) break;
    importBlock(seed, seedBytes, sizeof seedBytes);
    explicit_bzero(seedBytes, sizeof seedBytes);
    // The Mersenne Twister keeps all 256 bits of the seed; a 32-bit linear
    // congruential state would allow only 2^64 different key pairs.
    gmp_randstate_t state;
    gmp_randinit_mt(state);
    gmp_randseed(state, seed);

    do {
      mpz_urandomm(p, state, bound511);
      mpz_nextprime(p, p);
    } while (mpz_cmp(p, bound256) < 0 || mpz_cmp(p, bound511) > 0);
    do {
      mpz_urandomm(q, state, bound512);
      mpz_nextprime(q, q);
      mpz_mul(n, p, q);
    } while (mpz_cmp(q, bound256) < 0 || mpz_cmp(q, p) == 0 || mpz_cmp(n, bound1023) >= 0);
    mpz_sub_ui(pm1, p, 1);
    mpz_sub_ui(qm1, q, 1);
    mpz_mul(phi, pm1, qm1);
    do {
      mpz_urandomm(ex, state, bound512);
      mpz_nextprime(ex, ex);
    } while (mpz_cmp(ex, bound16) < 0 || mpz_cmp(ex, bound512) > 0 || mpz_cmp(ex, phi) >= 0 ||
             mpz_cmp(ex, pm1) == 0 || mpz_cmp(ex, qm1) == 0);
    const bool invertible = mpz_invert(dx, ex, phi) != 0;
    gmp_randclear(state);
    if (invertible && mpz_cmp(dx, bound256) >= 0) {
      mpz_set(e, ex);
      mpz_set(d, dx);
      mpz_set(N, n);
      rc = 0;
      break;
    }
  }
  mpz_clears(seed, p, q, n, phi, pm1, qm1, ex, dx, bound256, bound511, bound512, bound1023, bound16,
             nullptr);
  return rc;
}

int createRandomPhrase(char* buffer, int length, bool noNull) {
  if (length < 0 || (length > 0 && !buffer)) return -1;
  auto* bytes = reinterpret_cast<unsigned char*>(buffer);
  if (!fillFromSystem(bytes, static_cast<size_t>(length))) return -1;
  if (noNull) {
    for (int k = 0; k < length; ++k) {
      while (bytes[k] == 0) {
        if (!fillFromSystem(bytes + k, 1)) return -1;
      }
    }
  }
  return 0;
}

int TestDLL() { return 123; }
