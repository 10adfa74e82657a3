// What a connection has done to the statements and descriptors under it.
// Those objects live in the layers above the connection, so the api layer
// installs these calls when the library loads; until then (a connection
// built on its own) each of them fails.
#pragma once

#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"

class qvoConnection;

struct qvoHandleServices {
  // QVOAllocHandle of a statement under the connection handle.
  SQLRETURN (*allocStatement)(SQLHANDLE connection, SQLHANDLE* statement);
  // QVOExecDirect of a terminated SQL text on a statement handle.
  SQLRETURN (*execDirect)(SQLHANDLE statement, const char* sqlText);
  // Frees a statement with its automatic descriptors, or a descriptor of the
  // application (statements that use it go back to their own).
  SQLRETURN (*freeStatement)(SQLHANDLE statement);
  SQLRETURN (*freeDescriptor)(SQLHANDLE descriptor);
  // Reads the server's DB_METADATA view into the connection (a statement of
  // its own runs the query): qvoConnection::GetInfoValues.
  SQLRETURN (*loadInfoValues)(qvoConnection& connection);
};

QVO_INTERNAL void InstallHandleServices(const qvoHandleServices* services);
QVO_INTERNAL const qvoHandleServices& HandleServices();
