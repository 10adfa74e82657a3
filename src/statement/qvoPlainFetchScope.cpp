#include "statement/qvoPlainFetchScope.h"

#include "statement/qvoStatement.h"

qvoPlainFetchScope::qvoPlainFetchScope(qvoStatement& s)
    : s_(s),
      ard_(SQL_DESC_ALLOC_AUTO, QVO_DESC_ARD, s.translate),
      ard0_(s.ARD()),
      rowsPtr_(s.IRD()->header.rowsProcessedPtr),
      status_(s.IRD()->header.arrayStatusPtr),
      maxRows_(s.stmtAttr.maxRows),
      maxLength_(s.stmtAttr.maxLength),
      stringsNotNull_(s.stmtAttr.stringsNotNull),
      byReference_(s.using_QVO_VARCHAR_PTR) {
  s.descriptors.ARD = &ard_;
  s.IRD()->header.rowsProcessedPtr = &rows_;
  s.IRD()->header.arrayStatusPtr = nullptr;
  s.stmtAttr.maxRows = 0;
  s.stmtAttr.maxLength = 0;
  s.stmtAttr.stringsNotNull = false;
  s.using_QVO_VARCHAR_PTR = false;
}

qvoPlainFetchScope::~qvoPlainFetchScope() {
  s_.descriptors.ARD = ard0_;
  s_.IRD()->header.rowsProcessedPtr = rowsPtr_;
  s_.IRD()->header.arrayStatusPtr = status_;
  s_.stmtAttr.maxRows = maxRows_;
  s_.stmtAttr.maxLength = maxLength_;
  s_.stmtAttr.stringsNotNull = stringsNotNull_;
  s_.using_QVO_VARCHAR_PTR = byReference_;
}
