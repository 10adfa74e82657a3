#include "transport/qvoCipher.h"

#include <string.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <random>
#include <vector>

#include "common/qvoServices.h"
#include "transport/qvoRSA.h"

namespace {

void writePosition(unsigned char* to, unsigned value) { memcpy(to, &value, sizeof value); }

unsigned readPosition(const unsigned char* from) {
  unsigned value;
  memcpy(&value, from, sizeof value);
  return value;
}

void printSbox(const unsigned char* sbox) {
  for (int n = 0; n < 256; ++n) printf("%02X ", sbox[n]);
  printf("\n");
}

void printTimeStamp() {
  const time_t now = time(nullptr);
  struct tm local;
  char text[64];
  if (localtime_r(&now, &local) && strftime(text, sizeof text, "%a %b %e %H:%M:%S %Z %Y", &local))
    printf("%s\n", text);
  fflush(stdout);
}

}  // namespace

qvoProtocolEncryption::~qvoProtocolEncryption() {
  explicit_bzero(eSBox, sizeof eSBox);
  explicit_bzero(dSBox, sizeof dSBox);
}

int qvoProtocolEncryption::SetKeys(const unsigned char* sendKey, int sendLength,
                                   const unsigned char* receiveKey, int receiveLength) {
  // Scheduling with an empty key would divide by zero.
  if (!sendKey || !receiveKey || sendLength < 1 || receiveLength < 1) return -1;
  ePos1 = dPos1 = ePos2 = dPos2 = 0;
  calculateSboxBase(sendKey, sendLength, eSBox);
  calculateSboxBase(receiveKey, receiveLength, dSBox);
  return 0;
}

int qvoProtocolEncryption::EncryptBytes(unsigned char* bytes, int length) {
  return encryptionBase(bytes, length, eSBox, &ePos1, &ePos2);
}

int qvoProtocolEncryption::DecryptBytes(unsigned char* bytes, int length) {
  return encryptionBase(bytes, length, dSBox, &dPos1, &dPos2);
}

int qvoProtocolEncryption::calculateSboxBase(const unsigned char* key, int keyLength,
                                             unsigned char* sbox) {
  if (!key || keyLength < 1) return -1;
  for (int n = 0; n < 256; ++n) sbox[n] = static_cast<unsigned char>(n);
  unsigned j = 0;
  for (int n = 0; n < 256; ++n) {
    j = (j + sbox[n] + key[n % keyLength]) % 256;
    const unsigned char t = sbox[n];
    sbox[n] = sbox[j];
    sbox[j] = t;
  }
  return 0;
}

int qvoProtocolEncryption::encryptionBase(unsigned char* bytes, int length, unsigned char* sbox,
                                          unsigned* i, unsigned* j) {
  if (length < 0 || (length > 0 && !bytes)) return -1;
  // Positions restored from a state image may lie outside 0..255.
  unsigned a = *i % 256;
  unsigned b = *j % 256;
  for (int n = 0; n < length; ++n) {
    a = (a + 1) % 256;
    b = (b + sbox[a]) % 256;
    const unsigned char t = sbox[a];
    sbox[a] = sbox[b];
    sbox[b] = t;
    bytes[n] ^= sbox[(sbox[a] + sbox[b]) % 256];
  }
  *i = a;
  *j = b;
  return 0;
}

int qvoProtocolEncryption::getRandomKey(unsigned char* buffer, int length) {
  if (length < 0 || (length > 0 && !buffer)) return -1;
  std::vector<unsigned char> random;
  try {
    random.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  // The seed text alone is guessable; the system's random bytes carry the
  // secret, the seed is only mixed in. Adding a uniform byte keeps it uniform.
  const int rc = createRandomPhrase(reinterpret_cast<char*>(random.data()), length, false);
  if (rc == 0) {
    for (int k = 0; k < length; ++k) buffer[k] = static_cast<unsigned char>(buffer[k] + random[k]);
  }
  if (!random.empty()) explicit_bzero(random.data(), random.size());
  return rc;
}

int qvoProtocolEncryption::Serialize(unsigned char* buffer, int size) const {
  if (!buffer || size < stateImageSize) return -1;
  buffer[0] = encryptedCommunication ? 'Y' : 'N';
  memcpy(buffer + 1, eSBox, 256);
  memcpy(buffer + 257, dSBox, 256);
  writePosition(buffer + 513, ePos1);
  writePosition(buffer + 517, dPos1);
  writePosition(buffer + 521, ePos2);
  writePosition(buffer + 525, dPos2);
  return stateImageSize;
}

int qvoProtocolEncryption::DeSerialize(const unsigned char* buffer, int size) {
  if (!buffer || size < stateImageSize) return -1;
  encryptedCommunication = buffer[0] == 'Y';
  memcpy(eSBox, buffer + 1, 256);
  memcpy(dSBox, buffer + 257, 256);
  ePos1 = readPosition(buffer + 513);
  dPos1 = readPosition(buffer + 517);
  ePos2 = readPosition(buffer + 521);
  dPos2 = readPosition(buffer + 525);
  return 0;
}

void qvoProtocolEncryption::print() const {
  printf("maxSize: %u\n", static_cast<unsigned>(stateImageSize));
  printf("encrypted: %u\n", static_cast<unsigned>(encryptedCommunication));
  printf("ePos1: %u\n", ePos1);
  printf("ePos2: %u\n", ePos2);
  printf("dPos1: %u\n", dPos1);
  printf("dPos2: %u\n", dPos2);
  printf("eSBox:\n");
  printSbox(eSBox);
  printf("dSBox:\n");
  printSbox(dSBox);
}

int64_t rdtsc() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  // Wraps like the 32-bit multiplication it stands for, without overflowing;
  // draws from the library's own generator, never the application's rand().
  const uint32_t product =
      static_cast<uint32_t>(tv.tv_usec) * static_cast<uint32_t>(qvoRand() + 1001);
  return static_cast<int32_t>(product);
}

int RunTest() {
  static const char kAsciiText[] =
      "Vandrel stream cipher self-test: each byte enciphered on one side must decipher on the "
      "other, in any chunking, 64 MiB in each way.";
  static const char kUtf8Text[] =
      "Pr\xC3\xBC"
      "fung der Schl\xC3\xBC"
      "ssel: jedes auf einer Seite chiffrierte Byte muss auf der anderen Seite wieder lesbar "
      "sein, bei jeder Aufteilung.";
  static_assert(sizeof kAsciiText - 1 == 130 && sizeof kUtf8Text - 1 == 132);

  constexpr size_t kSize = 64u << 20;
  constexpr unsigned kMaxChunk = 3355443;

  unsigned char firstKey[256] = {};
  unsigned char secondKey[256] = {};
  memcpy(firstKey, kAsciiText, sizeof kAsciiText - 1);
  memcpy(secondKey, kUtf8Text, sizeof kUtf8Text - 1);
  if (qvoProtocolEncryption::getRandomKey(firstKey, 256) != 0 ||
      qvoProtocolEncryption::getRandomKey(secondKey, 256) != 0) {
    printf("error\n");
    return 1;
  }
  qvoProtocolEncryption a, b;
  a.SetKeys(firstKey, 256, secondKey, 256);
  b.SetKeys(secondKey, 256, firstKey, 256);

  std::vector<unsigned char> one(kSize), two(kSize), reference(kSize);
  for (size_t n = 0; n < kSize; ++n) one[n] = two[n] = reference[n] = static_cast<unsigned char>(n);

  int errors = 0;
  auto compare = [&](const std::vector<unsigned char>& buffer) {
    for (size_t n = 0; n < kSize; ++n) {
      if (buffer[n] != reference[n]) {
        printf("error\n");
        ++errors;
      }
    }
  };
  // Sizes that fit the int length of the cipher calls.
  auto whole = [](qvoProtocolEncryption& c, unsigned char* p, bool encipher) {
    encipher ? c.EncryptBytes(p, static_cast<int>(kSize))
             : c.DecryptBytes(p, static_cast<int>(kSize));
  };
  whole(a, one.data(), true);
  whole(b, one.data(), false);
  compare(one);
  whole(b, two.data(), true);
  whole(a, two.data(), false);
  compare(two);

  printTimeStamp();
  std::minstd_rand chunks(static_cast<unsigned>(time(nullptr)));
  auto chunked = [&](qvoProtocolEncryption& from, qvoProtocolEncryption& to,
                     std::vector<unsigned char>& buffer) {
    for (size_t pos = 0; pos < kSize;) {
      size_t len = chunks() % kMaxChunk;
      if (len > kSize - pos) len = kSize - pos;
      from.EncryptBytes(buffer.data() + pos, static_cast<int>(len));
      to.DecryptBytes(buffer.data() + pos, static_cast<int>(len));
      pos += len;
    }
  };
  for (int round = 0; round < 100; ++round) {
    chunked(a, b, one);
    chunked(b, a, two);
    compare(one);
    compare(two);
  }
  printTimeStamp();
  return errors;
}
