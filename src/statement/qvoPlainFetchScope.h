// qvoPlainFetchScope: for as long as it lives, the statement's fetches
// deliver plainly, as the library itself reads a result: a private row
// descriptor (nothing bound, one row per fetch), its own row count, no status
// array, no row limit, whole texts, no values by reference. Everything is put
// back on leaving. Reading through GetData then takes each value.
#pragma once

#include "descriptors/qvoDescriptors.h"

class qvoStatement;

class qvoPlainFetchScope {
 public:
  explicit qvoPlainFetchScope(qvoStatement& s);
  ~qvoPlainFetchScope();
  qvoPlainFetchScope(const qvoPlainFetchScope&) = delete;
  qvoPlainFetchScope& operator=(const qvoPlainFetchScope&) = delete;

 private:
  qvoStatement& s_;
  cliDescriptor ard_;
  cliDescriptor* ard0_;
  SQLULEN* rowsPtr_;
  SQLUSMALLINT* status_;
  SQLUBIGINT maxRows_;
  SQLUINTEGER maxLength_;
  bool stringsNotNull_;
  bool byReference_;
  SQLULEN rows_ = 0;
};
