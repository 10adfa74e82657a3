// Process-wide small services: the ODBC version text the library reports,
// the locale setter, the library's private random numbers, host-name
// resolution and a counter of caught exceptions.
//
// The process-wide objects are built on first use (function-local statics),
// so that the start-up code can construct them in its own order by calling
// the accessors.
#pragma once

#include "platform/qvoCriticalSection.h"
#include "qvo/qvoDefs.h"

class ActualOdbcVersion {
 public:
  ActualOdbcVersion();  // "03.52"
  const char* GetVersionStr() const { return versionStr; }
  // 2 "02.00", 3 "03.51", 380 "03.80.0000"; any other value leaves the text.
  void SetVersion(int ver);

 private:
  char versionStr[16];
};

// The reported ODBC version (SQL_DRIVER_ODBC_VER), "03.52".
ActualOdbcVersion& actualOdbcVersion();
// Serialises host-name look-ups; a leaf lock.
qvoCriticalSection& ipfromhostMutex();

// setlocale, retrying "de_DE", "DE_DE" and "de_de" with ".ISO8859-1" appended
// when the plain name is unknown.
char* qvoSetLocale(int Category, const char* Locale);

// Seeds the library's own random numbers from clock, time and thread id. The
// application's rand() is neither seeded nor consumed.
void qvoSrandInit();
// Seeds the library's random numbers with a given seed.
void qvoSrand(unsigned int seed);
// The next random number of the library, 0 to 2147483647 like rand();
// thread-safe. The library uses it wherever it needs rand().
int qvoRand();

// Dotted IPv4 address of hostname (a dotted address is taken as it is) into
// ipBuffer of ipBufferLen bytes, cut and terminated. 0, or -1 when the name
// cannot be resolved (ipBuffer untouched) or the length is negative.
int GetIpFromHostname(const char* hostname, char* ipBuffer, int ipBufferLen);

// Counter of caught exceptions.
SQLUBIGINT LogCatch();
SQLUBIGINT GetCatchCount();
