// Conversion operations of the date, time and timestamp structures (C types
// 9/91, 10/92, 11/93/431) from _DATE and the two timestamp types. Fields are
// passed through as the server sent them (no time zone, no scaling of the
// fraction); targets may lie at any alignment, so each structure is built on
// the stack and copied whole. A row bound without a data pointer gets only
// its length.
#pragma once

#include <cstring>

#include "fetch/qvoConversionCell.h"
#include "protocol/qvoValueLayout.h"

namespace qvoDateTimeDetail {

// A byte field of a date or timestamp as the structures hold it.
inline SQLUSMALLINT Field(signed char f) {
  return static_cast<SQLUSMALLINT>(static_cast<SQLSMALLINT>(f));
}

inline void ReadDate(const char* v, SQLSMALLINT* year, SQLUSMALLINT* month, SQLUSMALLINT* day) {
  const qvoDateFields d = DecodeDateFields(v);
  *year = d.year;
  *month = Field(d.month);
  *day = Field(d.day);
}

template <class Struct>
qvoCellOutcome Deliver(const Struct& value, char* target, SQLLEN* length) {
  if (target != nullptr) std::memcpy(target, &value, sizeof value);
  *length = static_cast<SQLLEN>(sizeof value);
  return qvoCellOutcome::Ok;
}

}  // namespace qvoDateTimeDetail

struct qvoDateFromDateOp {
  explicit qvoDateFromDateOp(qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* v, char* target, SQLLEN* length) const {
    DATE_STRUCT d;
    qvoDateTimeDetail::ReadDate(v, &d.year, &d.month, &d.day);
    return qvoDateTimeDetail::Deliver(d, target, length);
  }
};

struct qvoDateFromTimestampOp {
  explicit qvoDateFromTimestampOp(qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* v, char* target, SQLLEN* length) const {
    const qvoTimestampFields s = DecodeTimestampFields(v);
    DATE_STRUCT d;
    d.year = s.year;
    d.month = qvoDateTimeDetail::Field(s.month);
    d.day = qvoDateTimeDetail::Field(s.day);
    return qvoDateTimeDetail::Deliver(d, target, length);
  }
};

struct qvoTimestampFromDateOp {
  explicit qvoTimestampFromDateOp(qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* v, char* target, SQLLEN* length) const {
    TIMESTAMP_STRUCT t{};
    qvoDateTimeDetail::ReadDate(v, &t.year, &t.month, &t.day);
    return qvoDateTimeDetail::Deliver(t, target, length);
  }
};

struct qvoTimestampFromTimestampOp {
  explicit qvoTimestampFromTimestampOp(qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* v, char* target, SQLLEN* length) const {
    const qvoTimestampFields s = DecodeTimestampFields(v);
    TIMESTAMP_STRUCT t;
    t.year = s.year;
    t.month = qvoDateTimeDetail::Field(s.month);
    t.day = qvoDateTimeDetail::Field(s.day);
    t.hour = qvoDateTimeDetail::Field(s.hour);
    t.minute = qvoDateTimeDetail::Field(s.minute);
    t.second = qvoDateTimeDetail::Field(s.second);
    t.fraction = static_cast<SQLUINTEGER>(s.fraction);
    return qvoDateTimeDetail::Deliver(t, target, length);
  }
};

struct qvoTimeFromTimestampOp {
  explicit qvoTimeFromTimestampOp(qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* v, char* target, SQLLEN* length) const {
    const qvoTimestampFields s = DecodeTimestampFields(v);
    TIME_STRUCT t;
    t.hour = qvoDateTimeDetail::Field(s.hour);
    t.minute = qvoDateTimeDetail::Field(s.minute);
    t.second = qvoDateTimeDetail::Field(s.second);
    return qvoDateTimeDetail::Deliver(t, target, length);
  }
};
