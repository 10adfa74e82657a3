// Shared helpers of the descriptor tests: a stand-in for the owning
// statement, and short ways to pass integers and read diagnostics.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "descriptors/qvoDescriptors.h"
#include "messages/qvoTranslator.h"
#include "platform/qvoConverter.h"

// Stands in for the statement that owns ARD, APD, IRD and IPD: counts the
// binding notices and answers the timestamp precision.
class FakeStatement : public qvoHandle, public cliDescriptorOwner {
 public:
  FakeStatement() { handleType = SQL_HANDLE_STMT; }
  void BindingWasChanged() override { ++bindingNotices; }
  SQLULEN GetStmtAttr_QVO_TIMESTAMP_PRECISION() override { return timestampPrecision; }

  // Converters as a connection would hand them down: narrow text in
  // `codepage`, wide text in UTF-16.
  void InstallConverters(const char* codepage) {
    ASSERT_EQ(CreateConverters(), SQL_SUCCESS);
    ASSERT_EQ(SetInstalledCurrentCodepage(sqlConverter.get(), codepage), 0);
    ASSERT_EQ(SetInstalledCurrentCodepage(wcharSqlConverter.get(), QVO_UTF16_CODEPAGE), 0);
  }

  int bindingNotices = 0;
  SQLULEN timestampPrecision = 6;
};

// Integer field values travel in the pointer argument itself.
inline SQLPOINTER IntValue(SQLLEN v) {
  return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v));
}

inline std::unique_ptr<cliDescriptor> MakeDescriptor(SQLSMALLINT kind, Translator* t,
                                                     qvoHandle* owner = nullptr) {
  const SQLSMALLINT allocType = kind == QVO_DESC_USER ? SQL_DESC_ALLOC_USER : SQL_DESC_ALLOC_AUTO;
  auto d = std::make_unique<cliDescriptor>(allocType, kind, t);
  if (owner) d->SetMasterAndMyID(owner, nullptr);
  return d;
}

// SQLSTATE and text (without the driver prefix) of the newest diagnostic.
inline std::string LastState(qvoHandle& h) {
  const SQLINTEGER n = h.GetNumRecords();
  return n > 0 ? h.GetDiagRecPtr(static_cast<SQLSMALLINT>(n))->diagSQLState : "";
}

inline std::string LastMessage(qvoHandle& h) {
  const SQLINTEGER n = h.GetNumRecords();
  if (n == 0) return "";
  std::string m = h.GetDiagRecPtr(static_cast<SQLSMALLINT>(n))->GetMessage();
  const std::string prefix = QVO_DRIVER_PREFIX;
  return m.compare(0, prefix.size(), prefix) == 0 ? m.substr(prefix.size()) : m;
}

inline std::string NameOf(const __cliDescriptorRecords& r) {
  return r.descName ? std::string(r.descName, r.descNameLen) : std::string();
}
