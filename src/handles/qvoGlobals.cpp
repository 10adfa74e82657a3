// The objects built when the library is loaded, in this order: the time-stamp
// lock, the locale fix-up, the table and call locks, the message catalogue,
// the reported ODBC version with the host look-up lock, and the number
// formatter. Open handles are left to the application at unload; only these
// objects are destroyed, in reverse order.
#include <clocale>

#include "common/qvoServices.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoInternationalisation.h"

qvoCriticalSection cliGetTimeMutex;

namespace {

// Gives each locale category without a setting the native locale; a category
// that the host has set is left alone.
struct __setmyloc {
  __setmyloc() {
    for (int category : {LC_CTYPE, LC_COLLATE, LC_MONETARY, LC_NUMERIC, LC_TIME})
      if (setlocale(category, nullptr) == nullptr) qvoSetLocale(category, "");
  }
};
const __setmyloc set;

}  // namespace

qvoCriticalSection handleMutex;
qvoCriticalSection functionMutex;
qvoCriticalSection cliHandleMutex;
qvoCriticalSection gmpMutex;

namespace {

// The catalogue and the services are built on first use; touching them here
// builds them at their place in the load order.
const bool catalogueBuilt = (qvoMessages(), true);
const bool servicesBuilt = (actualOdbcVersion(), ipfromhostMutex(), true);
// nf is constant-initialised and so ready before all of these.

}  // namespace
