// The SQLSTATEs with which a node refuses a login, and what each refusal
// does to the connection. The login and the reconnect of a broken request
// both read this one table.
#pragma once

#include "handles/qvoHandleTable.h"

enum class qvoLoginRefusal {
  None,         // not a login refusal
  EndsSession,  // the socket is closed
  KeepsSocket,  // the socket stays connected
};

// The refusal that a 5-character SQLSTATE names.
QVO_INTERNAL qvoLoginRefusal LoginRefusalOf(const char* sqlState);
