// What a connection needs of one of its statements: somewhere to put a
// request's diagnostics, the hand-over of the answer, and the few settings
// the connection passes on. The statement class implements it; the
// connection and its socket see nothing else of a statement (statements live
// in the layer above).
#pragma once

#include <cstddef>
#include <memory>

#include "handles/qvoHandleTable.h"
#include "qvo/qvoDefs.h"

class qvoHandle;
class qvoAnswerTaker;

// The statement behind a handle, or null when the handle holds none.
QVO_INTERNAL qvoAnswerTaker* AnswerTakerOf(qvoHandle* handle);

class qvoAnswerTaker {
 public:
  // The statement as a handle: it receives the diagnostics of a failed
  // request and names the requester in the communication log.
  virtual qvoHandle* RequesterHandle() = 0;
  // Takes ownership of an answer buffer (new char[], 4-byte result count and
  // the answer data) as the statement's results, or as its further rows.
  virtual SQLRETURN TakeResults(char* answer, qvo_int64 length) = 0;
  virtual SQLRETURN TakeRows(char* answer, qvo_int64 length) = 0;
  // Takes `answer` (`capacity` bytes, the first `length` of them the answer)
  // as the statement's further rows and leaves in its place the buffer of the
  // rows it held before, with that buffer's capacity (null and 0 when none),
  // for the next answer to be received into. A taker that keeps no buffer
  // takes the rows as TakeRows does.
  virtual SQLRETURN SwapRows(std::unique_ptr<char[]>& answer, size_t& capacity, qvo_int64 length) {
    capacity = 0;
    return TakeRows(answer.release(), length);
  }
  // Before a request for further rows: hands over the buffer of the rows
  // held (with its capacity), which the statement no longer reads, for the
  // answer to be received into. A taker that keeps no buffer hands none.
  virtual void GiveBackRows(std::unique_ptr<char[]>& buffer, size_t& capacity) {
    buffer.reset();
    capacity = 0;
  }
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
