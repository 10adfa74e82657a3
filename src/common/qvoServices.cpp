#include "common/qvoServices.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <string>

#include "common/qvoStrings.h"
#include "platform/qvoThread.h"

// ---------------------------------------------------------------- ODBC version

namespace {

struct VersionText {
  int ver;
  const char* text;
};
constexpr VersionText kVersionTexts[] = {{2, "02.00"}, {3, "03.51"}, {380, "03.80.0000"}};

}  // namespace

ActualOdbcVersion::ActualOdbcVersion() {
  qvoCopyStr(versionStr, "03.52", SQL_NTS, sizeof versionStr, SQL_NTS);
}

void ActualOdbcVersion::SetVersion(int ver) {
  for (const VersionText& v : kVersionTexts)
    if (v.ver == ver) qvoCopyStr(versionStr, v.text, SQL_NTS, sizeof versionStr, SQL_NTS);
}

ActualOdbcVersion& actualOdbcVersion() {
  static ActualOdbcVersion version;
  return version;
}

qvoCriticalSection& ipfromhostMutex() {
  static qvoCriticalSection mutex;
  return mutex;
}

// ---------------------------------------------------------------- locale

char* qvoSetLocale(int Category, const char* Locale) {
  char* result = std::setlocale(Category, Locale);
  if (result != nullptr || Locale == nullptr || Locale[0] == 0) return result;
  static constexpr const char* kRetryNames[] = {"de_DE", "DE_DE", "de_de"};
  for (const char* name : kRetryNames)
    if (std::strcmp(Locale, name) == 0)
      return std::setlocale(Category, (std::string(name) + ".ISO8859-1").c_str());
  return nullptr;
}

// ---------------------------------------------------------------- random numbers

namespace {

struct LibraryRandom {
  std::mutex lock;
  std::mt19937 engine{1};  // as rand() before any srand()
};

LibraryRandom& Random() {
  static LibraryRandom random;
  return random;
}

}  // namespace

void qvoSrand(unsigned int seed) {
  LibraryRandom& r = Random();
  std::lock_guard<std::mutex> guard(r.lock);
  r.engine.seed(seed);
}

void qvoSrandInit() {
  const long c = static_cast<long>(std::clock());
  const long t = static_cast<long>(std::time(nullptr));
  const qvo_uint32 id = thr_self();
  const long a = (c + 1) % 10000;
  const long b = (t + 1) % 10000;
  qvo_uint32 seed = static_cast<qvo_uint32>(a) * (static_cast<qvo_uint32>(b) + id);
  if (seed > 2147483647u) seed %= 2147483647u;
  qvoSrand(seed);
}

int qvoRand() {
  LibraryRandom& r = Random();
  std::lock_guard<std::mutex> guard(r.lock);
  return static_cast<int>(r.engine() >> 1);
}

// ---------------------------------------------------------------- host names

int GetIpFromHostname(const char* hostname, char* ipBuffer, int ipBufferLen) {
  if (hostname == nullptr || (ipBufferLen < 0 && ipBufferLen != SQL_NTS)) return -1;
  qvoMutex guard(ipfromhostMutex());

  in_addr address{};
  address.s_addr = inet_addr(hostname);
  if (address.s_addr == INADDR_NONE) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostname, nullptr, &hints, &found) != 0 || found == nullptr) return -1;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  char dotted[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &address, dotted, sizeof dotted) == nullptr) return -1;
  qvoCopyStr(ipBuffer, dotted, SQL_NTS, ipBufferLen, SQL_NTS);
  return 0;
}

// ---------------------------------------------------------------- caught exceptions

namespace {
std::atomic<SQLUBIGINT> nCatches{0};
}

SQLUBIGINT LogCatch() { return ++nCatches; }

SQLUBIGINT GetCatchCount() { return nCatches.load(); }
