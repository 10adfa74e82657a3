// Where a socket hands over an answer buffer: a statement, as its results or
// as its further rows. The statement class implements it (through
// qvoAnswerTaker); the socket sees nothing else of a statement.
#pragma once

#include <cstddef>
#include <memory>

#include "qvo/qvoDefs.h"

class qvoAnswerReceiver {
 public:
  // Takes ownership of an answer buffer (new char[], 4-byte result count and
  // the answer data) as the statement's results, or as its further rows.
  virtual SQLRETURN TakeResults(char* answer, qvo_int64 length) = 0;
  virtual SQLRETURN TakeRows(char* answer, qvo_int64 length) = 0;
  // Takes `answer` (`capacity` bytes, the first `length` of them the answer)
  // as the statement's further rows and leaves in its place the buffer of the
  // rows it held before, with that buffer's capacity (null and 0 when none),
  // for the next answer to be received into. A receiver that keeps no buffer
  // takes the rows as TakeRows does.
  virtual SQLRETURN SwapRows(std::unique_ptr<char[]>& answer, size_t& capacity, qvo_int64 length) {
    capacity = 0;
    return TakeRows(answer.release(), length);
  }
  // Before a request for further rows: hands over the buffer of the rows
  // held (with its capacity), which the statement no longer reads, for the
  // answer to be received into. A receiver that keeps no buffer hands none.
  virtual void GiveBackRows(std::unique_ptr<char[]>& buffer, size_t& capacity) {
    buffer.reset();
    capacity = 0;
  }

 protected:
  ~qvoAnswerReceiver() = default;
};
