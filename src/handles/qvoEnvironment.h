// qvoEnvironment: the environment handle (type 1), root of the handle tree.
// It holds the environment attributes, chooses the message language from the
// LC_CTYPE locale and frees its connections when it is freed.
#pragma once

#include "handles/qvoHandle.h"

struct __environmentAttr {
  SQLUINTEGER attrConnectionPooling = 0;  // 201, stored and reported only
  SQLUINTEGER attrCPMatch = 1;            // 202, stored and reported only
  SQLINTEGER attrOutputNTS = 1;           // 10001, copied by new connections
  char qvoLocale[32] = "";
};

class qvoEnvironment : public qvoHandle {
 public:
  qvoEnvironment();
  ~qvoEnvironment() override;

  SQLRETURN SetEnvAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER stringLength);
  SQLRETURN GetEnvAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                       SQLINTEGER* stringLength);
  SQLINTEGER GetAttrOutputNts() const { return envAttr.attrOutputNTS; }
  // Frees the environment's connections in ascending handle order.
  SQLRETURN LooseSlaves();

  __environmentAttr envAttr;
};
