// Lets a test put a statement's result cursor into a state that only a
// server's answers would otherwise produce.
#pragma once

#include "statement/qvoStatement.h"

struct qvoResultCursorTestPeer {
  explicit qvoResultCursorTestPeer(qvoStatement& s) : c(const_cast<qvoResultCursor&>(s.Result())) {}
  SQLBIGINT& qvoAnswerBlockSize() { return c.qvoAnswerBlockSize; }
  SQLUBIGINT& nLines() { return c.nLines; }
  SQLBIGINT& resultRowCountStart() { return c.resultRowCountStart; }
  SQLBIGINT& rowsetStart() { return c.rowsetStart; }
  SQLBIGINT& rowsetRows() { return c.rowsetRows; }
  SQLBIGINT& cursor() { return c.cursor; }
  bool& bindingChanged() { return c.bindingChanged; }

  qvoResultCursor& c;
};
