// The diagnostic records of a handle as plain values, for assertions in the
// test programs of the subsystem folders. Unlike the fake node, this header
// uses the library's handle class; the node itself never includes it.
#pragma once

#include <string>
#include <vector>

#include "handles/qvoHandle.h"

struct Diag {
  std::string state;
  SQLINTEGER native;
  std::string text;  // without the driver prefix
};

inline std::vector<Diag> DiagsOf(qvoHandle& handle) {
  std::vector<Diag> out;
  const std::string prefix = QVO_DRIVER_PREFIX;
  for (SQLSMALLINT n = 1; n <= handle.GetNumRecords(); ++n) {
    __diagRecords* rec = handle.GetDiagRecPtr(n);
    std::string text = rec->GetMessage();
    if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
    out.push_back({rec->diagSQLState, rec->diagNativeError, text});
  }
  return out;
}

// The texts alone, in their order.
inline std::vector<std::string> TextsOf(qvoHandle& handle) {
  std::vector<std::string> out;
  for (const Diag& d : DiagsOf(handle)) out.push_back(d.text);
  return out;
}

// Each record as "SQLSTATE text", oldest first.
inline std::vector<std::string> StatesAndTexts(qvoHandle& handle) {
  std::vector<std::string> out;
  for (const Diag& d : DiagsOf(handle)) out.push_back(d.state + " " + d.text);
  return out;
}
