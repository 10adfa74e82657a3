// Data at execution: a bound value whose indicator asks for it at execution
// is not read from its buffer. The execution stops with SQL_NEED_DATA,
// ParamData names the value wanted next by the token the application bound
// (its data pointer for that row), PutData collects the value's bytes, and
// the ParamData after the last value runs the execution, which takes the
// collected values in the order the list was made: by row, then parameter.
#include <cstdint>

#include "common/qvoTypeCodes.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

namespace {

// Calls visit(parameter, value, indicator) for each value of the rows to
// send that is supplied at execution, by row, then parameter: the order in
// which the rows are encoded.
template <class Visit>
void WalkDataAtExec(const qvoStatement& s, Visit&& visit) {
  if (s.APD() == nullptr) return;
  const SQLULEN end = static_cast<SQLULEN>(s.paramStart) + s.paramNum;
  for (SQLULEN row = s.paramStart; row < end; ++row) {
    for (int n = 1; n <= s.APD()->header.count; ++n) {
      const auto p = static_cast<SQLSMALLINT>(n);
      const char* data = nullptr;
      SQLLEN indicator = SQL_NTS;
      s.LocateParamValue(p, row, &data, &indicator);
      if (s.IsDataAtExec(indicator)) visit(p, data, indicator);
    }
  }
}

}  // namespace

SQLINTEGER qvoStatement::CountDataAtExec() {
  SQLINTEGER n = 0;
  WalkDataAtExec(*this, [&](SQLSMALLINT, const char*, SQLLEN) { ++n; });
  return n;
}

SQLINTEGER qvoStatement::CreateDataAtExecList() {
  dataAtExec.Drop();
  const SQLINTEGER number = CountDataAtExec();
  if (number == 0) return 0;
  dataAtExec.Begin(static_cast<size_t>(number));
  WalkDataAtExec(*this, [&](SQLSMALLINT p, const char* data, SQLLEN indicator) {
    const __cliDescriptorRecords* a = APD()->GetRecord(p);
    const __cliDescriptorRecords* i = IPD() ? IPD()->GetRecord(p) : nullptr;
    const SQLSMALLINT cType = a ? a->conciseType : 0;
    // The header's checks found a wire form for every parameter before the
    // list is made; without one a value would take pieces like binary data.
    const qvoParamEncoding* e = FindParamEncoding(cType, i ? i->conciseType : 0, nullptr);
    const qvoParamKind kind = e ? e->kind : qvoParamKind::Binary;
    const size_t k = dataAtExec.Add(const_cast<char*>(data), cType, indicator, kind,
                                    kind == qvoParamKind::Fixed ? e->valueBytes : 0);
    if (logFull)
      Log("Data at exec handle(%i): %llx, indicator: %lli, type: %s\n", static_cast<int>(k),
          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data)),
          static_cast<long long>(indicator), GetCTypeName(cType));
  });
  dataAtExec.Open();
  return number;
}

bool qvoStatement::EndCanceledDataAtExec() {
  if (!dataAtExec.Canceled()) return false;
  dataAtExec.Drop();
  QVO_DIAG(this, _Operation_canceled_, -1);
  return true;
}

SQLRETURN qvoStatement::ParamData(SQLPOINTER* Value) {
  ClearDiagRecords();
  if (EndCanceledDataAtExec()) return SQL_ERROR;
  // The execution that the last value started runs on asynchronously: the
  // application polls it with ParamData.
  if (!dataAtExec.Pending() && RunningAsynchronously()) return PollExecution();
  if (!dataAtExec.Pending()) return QVO_DIAG(this, _Function_sequence_error_, -1);
  if (dataAtExec.Next(Value)) return SQL_NEED_DATA;
  // From here on a cancel aborts the execution instead; one that came first
  // ends the sequence.
  if (!dataAtExec.Close() && EndCanceledDataAtExec()) return SQL_ERROR;
  ClearColumnCache();
  return Execute();
}

SQLRETURN qvoStatement::PutData(SQLPOINTER DataPtr, SQLLEN StrLen_or_Ind) {
  ClearDiagRecords();
  if (EndCanceledDataAtExec()) return SQL_ERROR;
  using Outcome = qvoDataAtExecState::PutOutcome;
  switch (dataAtExec.Put(DataPtr, StrLen_or_Ind)) {
    case Outcome::Taken:
      return SQL_SUCCESS;
    case Outcome::SequenceError:
      return QVO_DIAG(this, _Function_sequence_error_, -1);
    case Outcome::ConcatenatesNull:
      return QVO_DIAG(this, _Attempt_to_concatenate_a_null_value_, -1);
    case Outcome::FixedInPieces:
      return QVO_DIAG(this, _Non_character_and_non_binary_data_sent_in_pieces_, -1);
    case Outcome::InvalidLength:
      return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
    case Outcome::NullPointer:
      return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
  }
  return SQL_ERROR;
}
