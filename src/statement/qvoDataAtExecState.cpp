#include "statement/qvoDataAtExecState.h"

#include <cstring>
#include <limits>

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

}  // namespace

void qvoDataAtExecState::Begin(size_t n) {
  numberOfDataAtExec = static_cast<int>(n);
  dataAtExecHandles.reserve(n);
  dataAtExecDataTypes.reserve(n);
  dataAtExecIndicators.reserve(n);
  dataAtExecKinds.reserve(n);
  dataAtExecFixedBytes.reserve(n);
  dataAtExecValues.assign(n, std::string());
  dataAtExecStrLengths.assign(n, 0);
}

size_t qvoDataAtExecState::Add(SQLPOINTER handle, SQLSMALLINT dataType, SQLLEN indicator,
                               qvoParamKind kind, qvo_int32 fixedBytes) {
  dataAtExecHandles.push_back(handle);
  dataAtExecDataTypes.push_back(dataType);
  dataAtExecIndicators.push_back(indicator);
  dataAtExecKinds.push_back(kind);
  dataAtExecFixedBytes.push_back(fixedBytes);
  return dataAtExecHandles.size() - 1;
}

void qvoDataAtExecState::Open() {
  positionOfDataAtExec = lastPositionOfDataAtExec = -1;
  dataAtExecState = kDataAtExecOpen;
}

void qvoDataAtExecState::Drop() {
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

bool qvoDataAtExecState::Pending() const {
  return dataAtExecAllreadyParsed && positionOfDataAtExec < numberOfDataAtExec;
}

bool qvoDataAtExecState::Next(SQLPOINTER* token) {
  ++positionOfDataAtExec;
  if (positionOfDataAtExec >= numberOfDataAtExec) return false;
  if (token) *token = dataAtExecHandles[static_cast<size_t>(positionOfDataAtExec)];
  return true;
}

qvoDataAtExecState::PutOutcome qvoDataAtExecState::Put(const void* data, SQLLEN length) {
  // Only the value ParamData named last can be supplied.
  if (!Pending() || positionOfDataAtExec < 0) return PutOutcome::SequenceError;
  const auto i = static_cast<size_t>(positionOfDataAtExec);
  const bool further = lastPositionOfDataAtExec == positionOfDataAtExec;
  const qvoParamKind kind = dataAtExecKinds[i];
  std::string& value = dataAtExecValues[i];
  SQLLEN& held = dataAtExecStrLengths[i];

  if (further && (held == SQL_NULL_DATA || length == SQL_NULL_DATA))
    return PutOutcome::ConcatenatesNull;
  if (length == SQL_NULL_DATA) {
    value.clear();
    held = SQL_NULL_DATA;
    lastPositionOfDataAtExec = positionOfDataAtExec;
    return PutOutcome::Taken;
  }
  if (kind == qvoParamKind::Fixed && further) return PutOutcome::FixedInPieces;

  size_t n = 0;
  if (kind == qvoParamKind::Fixed) {
    // A fixed-size value is read at its own size; the length is not used.
    n = static_cast<size_t>(dataAtExecFixedBytes[i]);
  } else if (length == SQL_NTS) {
    if (kind != qvoParamKind::Narrow && kind != qvoParamKind::Wide)
      return PutOutcome::InvalidLength;
    if (data == nullptr) return PutOutcome::NullPointer;
    const char* text = static_cast<const char*>(data);
    n = kind == qvoParamKind::Wide ? 2 * WideUnits(text) : std::strlen(text);
  } else if (length >= 0) {
    n = static_cast<size_t>(length);
  } else {
    return PutOutcome::InvalidLength;
  }
  if (n > 0 && data == nullptr) return PutOutcome::NullPointer;
  const size_t before = further ? value.size() : 0;
  if (n > kMaxValueBytes - before) return PutOutcome::InvalidLength;

  if (!further) value.clear();
  if (n > 0) value.append(static_cast<const char*>(data), n);
  held = static_cast<SQLLEN>(value.size());
  lastPositionOfDataAtExec = positionOfDataAtExec;
  return PutOutcome::Taken;
}

bool qvoDataAtExecState::Collected(size_t k, const std::string** value) const {
  if (k >= dataAtExecValues.size() || k >= dataAtExecStrLengths.size()) return false;
  *value = dataAtExecStrLengths[k] == SQL_NULL_DATA ? nullptr : &dataAtExecValues[k];
  return true;
}

bool qvoDataAtExecState::RequestCancel() {
  int open = kDataAtExecOpen;
  return dataAtExecState.compare_exchange_strong(open, kDataAtExecCanceled);
}

bool qvoDataAtExecState::Close() {
  int open = kDataAtExecOpen;
  return dataAtExecState.compare_exchange_strong(open, kNoDataAtExec);
}
