// Data at execution: a bound value whose indicator asks for it at execution
// is not read from its buffer. The execution stops with SQL_NEED_DATA,
// ParamData names the value wanted next by the token the application bound
// (its data pointer for that row), PutData collects the value's bytes, and
// the ParamData after the last value runs the execution, which takes the
// collected values in the order the list was made: by row, then parameter.
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/qvoTypeCodes.h"
#include "handles/qvoDiag.h"
#include "messages/qvoTranslator.h"
#include "statement/qvoStatement.h"

namespace {

// The longest value the wire can carry: its length field is 32 bits.
constexpr size_t kMaxValueBytes = std::numeric_limits<qvo_int32>::max();

size_t WideUnits(const char* data) {
  size_t units = 0;
  for (qvo_uint16 u = 1;; ++units) {
    std::memcpy(&u, data + 2 * units, 2);
    if (u == 0) return units;
  }
}

// Calls visit(parameter, value, indicator) for each value of the rows to
// send that is supplied at execution, by row, then parameter: the order in
// which the rows are encoded.
template <class Visit>
void WalkDataAtExec(const qvoStatement& s, Visit&& visit) {
  if (s.APD == nullptr) return;
  const SQLULEN end = static_cast<SQLULEN>(s.paramStart) + s.paramNum;
  for (SQLULEN row = s.paramStart; row < end; ++row) {
    for (int n = 1; n <= s.APD->header.count; ++n) {
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
  DropDataAtExec();
  numberOfDataAtExec = CountDataAtExec();
  if (numberOfDataAtExec == 0) return 0;
  const auto n = static_cast<size_t>(numberOfDataAtExec);
  dataAtExecHandles.reserve(n);
  dataAtExecDataTypes.reserve(n);
  dataAtExecIndicators.reserve(n);
  dataAtExecKinds.reserve(n);
  dataAtExecFixedBytes.reserve(n);
  dataAtExecValues.assign(n, std::string());
  dataAtExecStrLengths.assign(n, 0);
  WalkDataAtExec(*this, [&](SQLSMALLINT p, const char* data, SQLLEN indicator) {
    const __cliDescriptorRecords* a = APD->GetRecord(p);
    const __cliDescriptorRecords* i = IPD ? IPD->GetRecord(p) : nullptr;
    const SQLSMALLINT cType = a ? a->conciseType : 0;
    // A pairing the execution will refuse takes pieces like binary data;
    // the execution then reports why it cannot be sent.
    const qvoParamEncoding* e = FindParamEncoding(cType, i ? i->conciseType : 0, nullptr);
    const qvoParamKind kind = e ? e->kind : qvoParamKind::Binary;
    dataAtExecHandles.push_back(const_cast<char*>(data));
    dataAtExecDataTypes.push_back(cType);
    dataAtExecIndicators.push_back(indicator);
    dataAtExecKinds.push_back(kind);
    dataAtExecFixedBytes.push_back(kind == qvoParamKind::Fixed ? e->valueBytes : 0);
    if (logFull)
      Log("Data at exec handle(%i): %llx, indicator: %lli, type: %s\n",
          static_cast<int>(dataAtExecHandles.size() - 1),
          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data)),
          static_cast<long long>(indicator), GetCTypeName(cType));
  });
  positionOfDataAtExec = lastPositionOfDataAtExec = -1;
  dataAtExecState = kDataAtExecOpen;
  return numberOfDataAtExec;
}

bool qvoStatement::DataAtExecPending() const {
  return dataAtExecAllreadyParsed && positionOfDataAtExec < numberOfDataAtExec;
}

void qvoStatement::DropDataAtExec() {
  dataAtExecState = kNoDataAtExec;
  dataAtExecAllreadyParsed = false;
  numberOfDataAtExec = 0;
  positionOfDataAtExec = lastPositionOfDataAtExec = -1;
  dataAtExecHandles.clear();
  dataAtExecDataTypes.clear();
  dataAtExecIndicators.clear();
  dataAtExecValues.clear();
  dataAtExecStrLengths.clear();
  dataAtExecKinds.clear();
  dataAtExecFixedBytes.clear();
}

bool qvoStatement::EndCanceledDataAtExec() {
  if (dataAtExecState != kDataAtExecCanceled) return false;
  DropDataAtExec();
  QVO_DIAG(this, _Operation_canceled_, -1);
  return true;
}

SQLRETURN qvoStatement::ParamData(SQLPOINTER* Value) {
  ClearDiagRecords();
  if (EndCanceledDataAtExec()) return SQL_ERROR;
  if (!DataAtExecPending()) return QVO_DIAG(this, _Function_sequence_error_, -1);
  ++positionOfDataAtExec;
  if (positionOfDataAtExec < numberOfDataAtExec) {
    if (Value) *Value = dataAtExecHandles[static_cast<size_t>(positionOfDataAtExec)];
    return SQL_NEED_DATA;
  }
  // From here on a cancel aborts the execution instead; one that came first
  // ends the sequence.
  int open = kDataAtExecOpen;
  if (!dataAtExecState.compare_exchange_strong(open, kNoDataAtExec) && EndCanceledDataAtExec())
    return SQL_ERROR;
  ClearColumnCache();
  return Execute();
}

SQLRETURN qvoStatement::PutData(SQLPOINTER DataPtr, SQLLEN StrLen_or_Ind) {
  ClearDiagRecords();
  if (EndCanceledDataAtExec()) return SQL_ERROR;
  // Only the value ParamData named last can be supplied.
  if (!DataAtExecPending() || positionOfDataAtExec < 0)
    return QVO_DIAG(this, _Function_sequence_error_, -1);
  const auto i = static_cast<size_t>(positionOfDataAtExec);
  const bool further = lastPositionOfDataAtExec == positionOfDataAtExec;
  const qvoParamKind kind = dataAtExecKinds[i];
  std::string& value = dataAtExecValues[i];
  SQLLEN& length = dataAtExecStrLengths[i];

  if (further && (length == SQL_NULL_DATA || StrLen_or_Ind == SQL_NULL_DATA))
    return QVO_DIAG(this, _Attempt_to_concatenate_a_null_value_, -1);
  if (StrLen_or_Ind == SQL_NULL_DATA) {
    value.clear();
    length = SQL_NULL_DATA;
    lastPositionOfDataAtExec = positionOfDataAtExec;
    return SQL_SUCCESS;
  }
  if (kind == qvoParamKind::Fixed && further)
    return QVO_DIAG(this, _Non_character_and_non_binary_data_sent_in_pieces_, -1);

  size_t n = 0;
  if (kind == qvoParamKind::Fixed) {
    // A fixed-size value is read at its own size; the length is not used.
    n = static_cast<size_t>(dataAtExecFixedBytes[i]);
  } else if (StrLen_or_Ind == SQL_NTS) {
    if (kind != qvoParamKind::Narrow && kind != qvoParamKind::Wide)
      return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
    if (DataPtr == nullptr) return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
    const char* text = static_cast<const char*>(DataPtr);
    n = kind == qvoParamKind::Wide ? 2 * WideUnits(text) : std::strlen(text);
  } else if (StrLen_or_Ind >= 0) {
    n = static_cast<size_t>(StrLen_or_Ind);
  } else {
    return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  }
  if (n > 0 && DataPtr == nullptr) return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
  const size_t held = further ? value.size() : 0;
  if (n > kMaxValueBytes - held) return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);

  if (!further) value.clear();
  if (n > 0) value.append(static_cast<const char*>(DataPtr), n);
  length = static_cast<SQLLEN>(value.size());
  lastPositionOfDataAtExec = positionOfDataAtExec;
  return SQL_SUCCESS;
}
