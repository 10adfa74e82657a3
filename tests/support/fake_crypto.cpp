#include "fake_crypto.h"

#include <gmp.h>

#include <algorithm>
#include <utility>

namespace fakecrypto {
namespace {

constexpr size_t kKeyBlock = 128;
constexpr size_t kPlainBlock = 64;

// Owns one GMP integer.
struct Big {
  mpz_t v;
  Big() { mpz_init(v); }
  explicit Big(const Bytes& b) : Big() {
    if (!b.empty()) mpz_import(v, b.size(), 1, 1, 1, 0, b.data());
  }
  ~Big() { mpz_clear(v); }
  Big(const Big&) = delete;
  Big& operator=(const Big&) = delete;

  Bytes ToBytes() const {
    Bytes out((mpz_sizeinbase(v, 2) + 7) / 8);
    size_t count = 0;
    if (mpz_sgn(v) != 0) mpz_export(out.data(), &count, 1, 1, 1, 0, v);
    out.resize(count);
    return out;
  }
  // Right-aligned in a block of `size` bytes; false when it does not fit.
  bool ToBlock(unsigned char* block, size_t size) const {
    Bytes b = ToBytes();
    if (b.size() > size) return false;
    std::fill(block, block + size, 0);
    std::copy(b.begin(), b.end(), block + size - b.size());
    return true;
  }
};

Bytes PowBlocks(const Bytes& in, const Bytes& exponent, const Bytes& modulus, size_t inBlock,
                size_t outBlock) {
  if (in.size() % inBlock != 0) return {};
  Big exp(exponent), mod(modulus), x;
  if (mpz_sgn(mod.v) == 0) return {};
  Bytes out(in.size() / inBlock * outBlock);
  for (size_t b = 0; b < in.size() / inBlock; ++b) {
    mpz_import(x.v, inBlock, 1, 1, 1, 0, in.data() + b * inBlock);
    mpz_powm(x.v, x.v, exp.v, mod.v);
    if (!x.ToBlock(out.data() + b * outBlock, outBlock)) return {};
  }
  return out;
}

}  // namespace

Bytes RsaKeyPair::PublicKeyBlock() const {
  Bytes out(2 * kKeyBlock);
  Big(e).ToBlock(out.data(), kKeyBlock);
  Big(n).ToBlock(out.data() + kKeyBlock, kKeyBlock);
  return out;
}

RsaKeyPair MakeRsaKeyPair(unsigned long seed) {
  gmp_randstate_t state;
  gmp_randinit_mt(state);
  gmp_randseed_ui(state, seed);
  Big p, q, n, phi, t, e, d;
  mpz_set_ui(e.v, 65537);
  for (;;) {
    // Two primes of exactly 510 bits: N has 1019 or 1020 bits.
    for (Big* prime : {&p, &q}) {
      mpz_urandomb(prime->v, state, 509);
      mpz_setbit(prime->v, 509);
      mpz_nextprime(prime->v, prime->v);
    }
    if (mpz_cmp(p.v, q.v) == 0) continue;
    mpz_mul(n.v, p.v, q.v);
    mpz_sub_ui(phi.v, p.v, 1);
    mpz_sub_ui(t.v, q.v, 1);
    mpz_mul(phi.v, phi.v, t.v);
    if (mpz_invert(d.v, e.v, phi.v) != 0) break;
  }
  gmp_randclear(state);
  return {e.ToBytes(), d.ToBytes(), n.ToBytes()};
}

RsaKeyPair RsaKeyPairFromBlocks(const unsigned char* blocks) {
  auto number = [](const unsigned char* block) {
    Bytes b(block, block + kKeyBlock);
    return Big(b).ToBytes();
  };
  return {number(blocks + kKeyBlock), number(blocks), number(blocks + 2 * kKeyBlock)};
}

Bytes RsaDecrypt(const RsaKeyPair& key, const Bytes& cipher) {
  return PowBlocks(cipher, key.d, key.n, kKeyBlock, kPlainBlock);
}

Bytes RsaEncrypt(const RsaKeyPair& key, const Bytes& plain) {
  return PowBlocks(plain, key.e, key.n, kPlainBlock, kKeyBlock);
}

Interleaved Deinterleave(const Bytes& plain) {
  Interleaved out;
  for (size_t k = 0; k < plain.size(); ++k) (k % 2 ? out.phrase : out.secret).push_back(plain[k]);
  return out;
}

std::string PasswordOf(const Interleaved& text) {
  std::string out;
  for (unsigned char c : text.secret) {
    if (c == 0) break;
    out.push_back(static_cast<char>(c));
  }
  return out;
}

bool PhraseRepeats(const Interleaved& text, const Bytes& phrase) {
  if (phrase.empty()) return false;
  for (size_t k = 0; k < text.phrase.size(); ++k)
    if (text.phrase[k] != phrase[k % phrase.size()]) return false;
  return true;
}

Rc4::Rc4(const unsigned char* key, size_t keyLength) {
  for (int n = 0; n < 256; ++n) s_[n] = static_cast<unsigned char>(n);
  unsigned char j = 0;
  for (int n = 0; n < 256; ++n) {
    j = static_cast<unsigned char>(j + s_[n] + key[n % keyLength]);
    std::swap(s_[n], s_[j]);
  }
}

void Rc4::Apply(unsigned char* bytes, size_t length) {
  for (size_t n = 0; n < length; ++n) {
    ++i_;
    j_ = static_cast<unsigned char>(j_ + s_[i_]);
    std::swap(s_[i_], s_[j_]);
    bytes[n] ^= s_[static_cast<unsigned char>(s_[i_] + s_[j_])];
  }
}

}  // namespace fakecrypto
