// Exported environment attribute functions: the call frame around the
// environment's methods.
#include "handles/qvoCallFrame.h"
#include "handles/qvoEnvironment.h"
#include "qvo/qvoCInterface.h"

extern "C" {

SQLRETURN QVOSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                        SQLINTEGER StringLength) {
  return qvoCall<qvoEnvironment>(EnvironmentHandle, SQL_HANDLE_ENV, &qvoEnvironment::SetEnvAttr,
                                 Attribute, Value, StringLength);
}

SQLRETURN QVOGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                        SQLINTEGER BufferLength, SQLINTEGER* StringLength) {
  return qvoCall<qvoEnvironment>(EnvironmentHandle, SQL_HANDLE_ENV, &qvoEnvironment::GetEnvAttr,
                                 Attribute, Value, BufferLength, StringLength);
}

}  // extern "C"
