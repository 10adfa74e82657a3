// qvoDataAtExecState: the values one execution of a statement asks the
// application for at execution. The execution lists them (by row, then
// parameter), ParamData names each in turn by the token the application
// bound, PutData collects its bytes, and the encoding of the rows takes the
// collected values in list order. Only the thread making the calls on the
// statement touches it, except the cancel flag, which QVOCancel sets from
// any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "protocol/qvoPreparedMessage.h"
#include "qvo/qvoDefs.h"

class qvoDataAtExecState {
 public:
  // What PutData made of a piece: taken, or why it was refused (the value
  // collected so far stays as it was).
  enum class PutOutcome {
    Taken,
    SequenceError,     // no value has been named by ParamData
    ConcatenatesNull,  // a NULL joined to a value, or a value to a NULL
    FixedInPieces,     // a second piece of a fixed-size value
    InvalidLength,     // a length that is not one, or a value too long to send
    NullPointer,       // bytes announced without a buffer
  };

  // --- the list -----------------------------------------------------------------
  // Starts a list of n values; Add appends one (the application's token, its
  // C type and indicator, how its pieces are taken and, for a fixed-size C
  // type, the bytes of one value) and returns its index; Open makes the
  // list current, no value named yet.
  void Begin(size_t n);
  size_t Add(SQLPOINTER handle, SQLSMALLINT dataType, SQLLEN indicator, qvoParamKind kind,
             qvo_int32 fixedBytes);
  void Open();
  // Forgets the list and the collected values.
  void Drop();
  // Whether the execution has listed its values and asked for them; it then
  // runs with the collected values at the next pass.
  bool Parsed() const { return dataAtExecAllreadyParsed; }
  void MarkParsed() { dataAtExecAllreadyParsed = true; }
  // Whether values are being supplied: the list is asked for and ParamData
  // has not yet passed its last entry.
  bool Pending() const;

  // --- ParamData and PutData ------------------------------------------------------
  // Names the next value: true with its token, false once the list is done.
  bool Next(SQLPOINTER* token);
  // Collects one piece of the value named last.
  PutOutcome Put(const void* data, SQLLEN length);
  // The value collected at list index k: false when there is none; *value
  // null for NULL.
  bool Collected(size_t k, const std::string** value) const;

  // --- cancel ---------------------------------------------------------------------
  // From any thread: asks an open sequence to end. False when none is open.
  bool RequestCancel();
  // Whether a cancel asked the sequence to end.
  bool Canceled() const { return dataAtExecState == kDataAtExecCanceled; }
  // The sequence is done and the execution starts: a cancel from here on
  // aborts that instead. False when a cancel came first.
  bool Close();

 private:
  // Whether values are being supplied at execution, and whether a cancel
  // asked to end that: the one piece of this state QVOCancel touches.
  enum : int { kNoDataAtExec, kDataAtExecOpen, kDataAtExecCanceled };
  std::atomic<int> dataAtExecState{kNoDataAtExec};
  int numberOfDataAtExec = 0;
  int positionOfDataAtExec = -1;
  int lastPositionOfDataAtExec = -1;
  bool dataAtExecAllreadyParsed = false;
  std::vector<SQLPOINTER> dataAtExecHandles;
  std::vector<SQLSMALLINT> dataAtExecDataTypes;
  std::vector<SQLLEN> dataAtExecIndicators;
  std::vector<std::string> dataAtExecValues;
  std::vector<SQLLEN> dataAtExecStrLengths;
  // Per value how its pieces are taken: the kind of its C type, and for a
  // fixed-size one the bytes of one value.
  std::vector<qvoParamKind> dataAtExecKinds;
  std::vector<qvo_int32> dataAtExecFixedBytes;
};
