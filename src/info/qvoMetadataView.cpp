// The reader of the server's DB_METADATA view.

#include "connection/qvoConnection.h"
#include "connection/qvoDiag.h"
#include "info/qvoInfoValues.h"

// Reading the view's rows needs the rowset fetch, which this build does not
// have yet: the load fails cleanly, and the next request tries again.
SQLRETURN ReadMetadataView(qvoConnection& conn, const qvoMetadataRowFn&) {
  return QVO_DIAG(&conn, _Optional_feature_not_implemented_, -1);
}
