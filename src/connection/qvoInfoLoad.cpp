// The server's DB_METADATA values are loaded on first need, once per
// connection. The reading itself runs statements, which live above this
// layer: it is reached through the handle services.

#include "connection/qvoConnection.h"
#include "connection/qvoHandleServices.h"
#include "handles/qvoDiag.h"

SQLRETURN qvoConnection::EnsureInfoValues() {
  qvoMutex lock(infoValuesMutex);
  if (haveInfos || connAttr.connType == 2) return SQL_SUCCESS;
  if (HandleServices().loadInfoValues(*this) >= 0) return SQL_SUCCESS;
  return QVO_DIAG(this, _error_reading_db_metadata_form_QVO_, -1);
}
