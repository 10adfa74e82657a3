// Conversion operations of the date, time and timestamp structures (C types
// 9/91, 10/92, 11/93/431) from _DATE and the two timestamp types. Fields are
// passed through as the server sent them (no time zone, no scaling of the
// fraction); targets may lie at any alignment, so each structure is built on
// the stack and copied whole. A row bound without a data pointer gets only
// its length.
#pragma once

#include <cstring>

#include "fetch/qvoConversionCell.h"

namespace qvoDateTimeDetail {

// _DATE: day, month, 16-bit year.
inline void ReadDate(const char* v, SQLSMALLINT* year, SQLUSMALLINT* month, SQLUSMALLINT* day) {
  std::memcpy(year, v + 2, sizeof *year);
  *month = static_cast<SQLUSMALLINT>(static_cast<SQLSMALLINT>(static_cast<signed char>(v[1])));
  *day = static_cast<SQLUSMALLINT>(static_cast<SQLSMALLINT>(static_cast<signed char>(v[0])));
}

// Byte k of a timestamp (month 2 ... second 6) as the structures hold it.
inline SQLUSMALLINT Field(const char* v, int k) {
  return static_cast<SQLUSMALLINT>(static_cast<SQLSMALLINT>(static_cast<signed char>(v[k])));
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
    DATE_STRUCT d;
    std::memcpy(&d.year, v, sizeof d.year);
    d.month = qvoDateTimeDetail::Field(v, 2);
    d.day = qvoDateTimeDetail::Field(v, 3);
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
    TIMESTAMP_STRUCT t;
    std::memcpy(&t.year, v, sizeof t.year);
    t.month = qvoDateTimeDetail::Field(v, 2);
    t.day = qvoDateTimeDetail::Field(v, 3);
    t.hour = qvoDateTimeDetail::Field(v, 4);
    t.minute = qvoDateTimeDetail::Field(v, 5);
    t.second = qvoDateTimeDetail::Field(v, 6);
    std::memcpy(&t.fraction, v + 7, sizeof t.fraction);
    return qvoDateTimeDetail::Deliver(t, target, length);
  }
};

struct qvoTimeFromTimestampOp {
  explicit qvoTimeFromTimestampOp(qvoColumnJob&) {}
  qvoCellOutcome operator()(const char* v, char* target, SQLLEN* length) const {
    TIME_STRUCT t;
    t.hour = qvoDateTimeDetail::Field(v, 4);
    t.minute = qvoDateTimeDetail::Field(v, 5);
    t.second = qvoDateTimeDetail::Field(v, 6);
    return qvoDateTimeDetail::Deliver(t, target, length);
  }
};
