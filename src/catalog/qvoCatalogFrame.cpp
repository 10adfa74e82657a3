// The frame of every catalog query: the driver information it asks for, the
// settings log, the current-schema filter, the where clause and the run.
#include <atomic>
#include <cstring>

#include "catalog/qvoCatalog.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "statement/qvoStatement.h"

namespace {

// The driver information request of the statement's connection, into a
// zeroed buffer (only the first characters count: a cut answer is fine). A
// failed request fails the catalog call with the request's records.
SQLRETURN DriverInfoText(qvoStatement& stmt, SQLUSMALLINT infoType, std::string* text) {
  qvoConnection* c = stmt.GetConnection();
  char buffer[16] = {};
  const SQLINTEGER before = c->GetNumRecords();
  const SQLRETURN rc = c->GetInfo(infoType, buffer, sizeof buffer, nullptr);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    text->assign(buffer, strnlen(buffer, sizeof buffer));
    return SQL_SUCCESS;
  }
  const SQLINTEGER after = c->GetNumRecords();
  for (SQLINTEGER n = before + 1; n <= after; ++n) {
    char state[6] = {};
    char message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (c->GetDiagRec(static_cast<SQLSMALLINT>(n), state, &native, message, sizeof message,
                      &length) >= 0)
      stmt.SetDiagRec(state, native, message);
  }
  if (stmt.GetNumRecords() == 0) QVO_DIAG(&stmt, _error_reading_db_metadata_form_QVO_, -1);
  return SQL_ERROR;
}

std::atomic<qvoCatalogInfoSource> infoSource{&DriverInfoText};

}  // namespace

SQLRETURN CatalogInfoText(qvoStatement& stmt, SQLUSMALLINT infoType, std::string* text) {
  text->clear();
  return infoSource.load()(stmt, infoType, text);
}

qvoCatalogInfoSource SetCatalogInfoSource(qvoCatalogInfoSource source) {
  return infoSource.exchange(source ? source : &DriverInfoText);
}

namespace qvo_catalog {

void LogSettings(qvoStatement& s, const char* onlyCurrentSchemaLine) {
  if (!s.logFull) return;
  qvoConnection* c = s.GetConnection();
  if (c->ShowOnlyCurrentSchema())
    s.Log("%s", onlyCurrentSchemaLine ? onlyCurrentSchemaLine : "onlyCurrentSchema=Y\n");
  if (c->AlwaysSearchPatternsInCat()) s.Log("alwaysSearchPatternsInCat=Y\n");
  if (s.stmtAttr.metadataID == 1) s.Log("metadataID=SQL_TRUE\n");
}

std::string CurrentSchemaFilter(qvoStatement& s, const char* format) {
  qvoConnection* c = s.GetConnection();
  const std::string schema = c->GetCurrentSchema();
  if (!c->ShowOnlyCurrentSchema() || schema.empty()) return {};
  // The schema comes from the server: its quotes are doubled like any other.
  std::string literal;
  AppendQuoted(literal, schema, '\'');
  const std::string_view body = std::string_view(literal).substr(1, literal.size() - 2);
  std::string filter;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      filter += body;
      ++p;
    } else {
      filter += *p;
    }
  }
  return filter;
}

SQLRETURN CatalogArgument(qvoStatement& s, const char* catalog, std::string* out,
                          ArgumentConverter convert) {
  if (catalog || s.stmtAttr.metadataID != 1) return (s.*convert)(catalog, out);
  // Zeroed: an empty answer is no "Y".
  std::string supported;
  if (CatalogInfoText(s, QVO_INFO_CATALOG_NAME, &supported) != SQL_SUCCESS) return SQL_ERROR;
  if (!supported.empty() && (supported[0] == 'Y' || supported[0] == 'y'))
    return QVO_DIAG(&s, _Invalid_use_of_null_pointer_, -1);
  return SQL_NO_DATA;
}

void Conditions::AppendTo(std::string& sql, const char* keyword) const {
  if (list_.empty()) return;
  sql += keyword;
  for (size_t i = 0; i < list_.size(); ++i) {
    if (i > 0) sql += " and ";
    sql += list_[i];
  }
}

SQLRETURN RunCatalogQuery(qvoStatement& s, const std::string& sql, char callType) {
  if (s.logFull) s.Log("Generated catalog query: %s\n", sql.c_str());
  const SQLRETURN rc = s.ExecDirect(sql.c_str(), SQL_NTS);
  s.MarkCatalogResult(callType);
  return rc;
}

}  // namespace qvo_catalog
