// What a server request made on behalf of a statement needs of that
// statement: somewhere to put the request's diagnostics, and the hand-over of
// the answer. The statement class implements it; the connection and its
// socket see nothing else of a statement.
#pragma once

#include "qvo/qvoDefs.h"

class qvoHandle;

class qvoAnswerTaker {
 public:
  // The statement as a handle: it receives the diagnostics of a failed
  // request and names the requester in the communication log.
  virtual qvoHandle* RequesterHandle() = 0;
  // Takes ownership of an answer buffer (new char[], 4-byte result count and
  // the answer data) as the statement's results, or as its further rows.
  virtual SQLRETURN TakeResults(char* answer, qvo_int64 length) = 0;
  virtual SQLRETURN TakeRows(char* answer, qvo_int64 length) = 0;
  // Parameter count the server reported for a prepare; -1 fails the request.
  virtual SQLRETURN SetPreparedParamcount(int count) = 0;

 protected:
  ~qvoAnswerTaker() = default;
};
