// The server's DB_METADATA values are loaded on first need, once per
// connection. The reading itself runs statements, which live above this
// layer: it is reached through the handle services.

#include <algorithm>
#include <cstddef>

#include "connection/qvoConnection.h"
#include "connection/qvoHandleServices.h"
#include "handles/qvoDiag.h"

SQLRETURN qvoConnection::EnsureInfoValues() {
  qvoMutex lock(infoValuesMutex);
  if (haveInfos || connAttr.connType == 2) return SQL_SUCCESS;
  const SQLINTEGER before = GetNumRecords();
  if (HandleServices().loadInfoValues(*this) >= 0) return SQL_SUCCESS;
  // The failed load is told first; the reasons the reading left (the
  // server's among them) follow it.
  qvoMutex records(setDiagMutex);
  QVO_DIAG(this, _error_reading_db_metadata_form_QVO_, -1);
  const size_t first = std::min(static_cast<size_t>(before) + 1, diags.size() - 1);
  std::rotate(diags.begin() + static_cast<std::ptrdiff_t>(first), diags.end() - 1, diags.end());
  return SQL_ERROR;
}
