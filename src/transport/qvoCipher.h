// RC4 stream cipher of one socket: one continuous stream for the bytes sent and
// an independent one for the bytes received.
#pragma once

#include <cstdint>

class qvoProtocolEncryption {
 public:
  // Bytes of the state image written by Serialize.
  static constexpr int stateImageSize = 529;

  qvoProtocolEncryption() = default;

  // Schedules the send stream from sendKey and the receive stream from
  // receiveKey and rewinds both. 0, or -1 (nothing changed) for a missing or
  // empty key. Leaves encryptedCommunication alone.
  virtual int SetKeys(const unsigned char* sendKey, int sendLength, const unsigned char* receiveKey,
                      int receiveLength);
  // Encipher with the send stream / decipher with the receive stream, in
  // place. 0, or -1 for a negative length or a missing buffer.
  virtual int EncryptBytes(unsigned char* bytes, int length);
  virtual int DecryptBytes(unsigned char* bytes, int length);
  // Wipes the key state.
  virtual ~qvoProtocolEncryption();

  // RC4 key schedule of one S-box (256 bytes). 0, or -1 for an empty key.
  static int calculateSboxBase(const unsigned char* key, int keyLength, unsigned char* sbox);
  // RC4 keystream XORed over the bytes; *i and *j carry the stream position.
  static int encryptionBase(unsigned char* bytes, int length, unsigned char* sbox, unsigned* i,
                            unsigned* j);

  // Key material: the buffer arrives holding seed text and leaves holding
  // that text mixed with bytes from the operating system's random source.
  // 0, or -1 (buffer unusable as a key) when the source fails.
  static int getRandomKey(unsigned char* buffer, int length);

  // State image of stateImageSize bytes; -1 when the buffer is smaller.
  // Serialize returns stateImageSize, DeSerialize 0.
  int Serialize(unsigned char* buffer, int size) const;
  int DeSerialize(const unsigned char* buffer, int size);

  // Writes the state to standard output.
  void print() const;

  // Set by the login once the keys are exchanged; from then every byte through
  // the socket passes the streams.
  bool encryptedCommunication = false;

 private:
  unsigned char eSBox[256] = {};
  unsigned char dSBox[256] = {};
  unsigned ePos1 = 0;
  unsigned dPos1 = 0;
  unsigned ePos2 = 0;
  unsigned dPos2 = 0;
};

// Time-derived number: gettimeofday's microseconds times (rand() + 1001), as a
// signed 32-bit product.
int64_t rdtsc();

// Manual self-test of the cipher over two 64 MiB buffers (about 192 MiB in
// all); prints time stamps around its 100 chunked rounds and "error" for each
// wrong byte. Returns the number of wrong bytes.
int RunTest();
