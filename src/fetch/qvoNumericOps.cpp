#include "fetch/qvoNumericOps.h"

#include "statement/qvoStatement.h"

qvoNumericColumn qvoReadNumericColumn(const qvoColumnJob& job) {
  qvoNumericColumn c;
  c.valueWidth = job.valueWidth;
  if (job.ird) {
    if (c.valueWidth == 0) c.valueWidth = job.ird->qvoTypeLen;
    c.scale = job.ird->scale;
    c.precision = job.ird->precision;
  }
  if (job.stmt) c.truncateDecimals = job.stmt->stmtAttr.truncateDecimals != 0;
  c.bufferLength = job.bufferLength;
  return c;
}
