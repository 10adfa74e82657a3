// What a connection needs of one of its statements: somewhere to put a
// request's diagnostics, the hand-over of the answer (qvoAnswerReceiver, what
// the socket sees of it), and the few settings the connection passes on. The
// statement class implements it; the connection sees nothing else of a
// statement (statements live in the layer above).
#pragma once

#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"
#include "transport/qvoAnswerReceiver.h"

class qvoHandle;
class qvoAnswerTaker;

// The statement behind a handle, or null when the handle holds none.
QVO_INTERNAL qvoAnswerTaker* AnswerTakerOf(qvoHandle* handle);

class qvoAnswerTaker : public qvoAnswerReceiver {
 public:
  // The statement as a handle: it receives the diagnostics of a failed
  // request and names the requester in the communication log.
  virtual qvoHandle* RequesterHandle() = 0;
  // Parameter count the server reported for a prepare; -1 fails the request.
  virtual SQLRETURN SetPreparedParamcount(int count) = 0;
  // The next result of the statement's answer (the verdict of a settings
  // request sent on its behalf). A taker that keeps no results has none.
  virtual SQLRETURN MoreResults() { return SQL_NO_DATA; }
  // Another statement's query still runs on the connection.
  virtual bool ConnectionBusyWithOther() const { return false; }
  // The connection's asynchronous mode changed.
  virtual void SetAsyncMode(SQLUINTEGER) {}
  // What the statement cached of the catalog may have changed.
  virtual void ClearColumnCache() {}

 protected:
  ~qvoAnswerTaker() = default;
};
