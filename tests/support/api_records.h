// The diagnostic records of a handle read through QVOGetDiagRec, as plain
// values: for tests that reach the library through its exported functions.
#pragma once

#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"

namespace api {

struct Record {
  std::string state;
  SQLINTEGER native = 0;
  std::string text;  // with the driver prefix
};

// Every record of the handle, first to last.
inline std::vector<Record> Records(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Record> out;
  for (SQLSMALLINT n = 1;; ++n) {
    SQLCHAR state[6] = {};
    SQLCHAR text[512] = {};
    SQLSMALLINT len = 0;
    Record r;
    if (QVOGetDiagRec(type, handle, n, state, &r.native, text, sizeof text, &len) != 0) break;
    r.state = reinterpret_cast<char*>(state);
    r.text = reinterpret_cast<char*>(text);
    out.push_back(r);
  }
  return out;
}

// Each record as "SQLSTATE text", first to last.
inline std::vector<std::string> StatesAndTexts(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<std::string> out;
  for (const Record& r : Records(type, handle)) out.push_back(r.state + " " + r.text);
  return out;
}

}  // namespace api
