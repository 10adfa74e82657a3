// Runs one conversion cell over hand-made received values: the values are
// laid out as an indexed row block (a null flag byte before each value, host
// order), the targets sit between canary bytes, and the harness reports what
// the cell wrote and whether it touched anything outside its element.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/qvoTypeCodes.h"
#include "descriptors/qvoDescriptors.h"
#include "fetch/cell_outcome_names.h"
#include "fetch/qvoConversionCell.h"

namespace cells {

using Bytes = std::vector<unsigned char>;

template <class T>
Bytes BytesOf(const T& v) {
  Bytes b(sizeof v);
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}

// A received column: its server type, description and one value per row
// (nullopt: NULL).
struct Source {
  SQLSMALLINT qvoType = 0;
  SQLINTEGER width = 0;  // qvoTypeLen
  SQLSMALLINT scale = 0;
  SQLINTEGER precision = 0;
  std::optional<Bytes> value;
};

inline Source Boolean(unsigned char b) { return {_BOOLEAN, 1, 0, 1, Bytes{b}}; }
inline Source SmallDecimal(std::int32_t v, SQLSMALLINT scale = 0, SQLINTEGER precision = 9) {
  return {_SMALLDECIMAL, 4, scale, precision, BytesOf(v)};
}
// A _DECIMAL of precision 10 and more: 8-byte values.
inline Source Decimal(std::int64_t v, SQLSMALLINT scale = 0, SQLINTEGER precision = 18) {
  return {_DECIMAL, 8, scale, precision, BytesOf(v)};
}
// A _DECIMAL of precision 9 or less: 4-byte values.
inline Source Decimal4(std::int32_t v, SQLSMALLINT scale = 0, SQLINTEGER precision = 9) {
  return {_DECIMAL, 4, scale, precision, BytesOf(v)};
}
inline Source BigDecimal(__int128 v, SQLSMALLINT scale = 0, SQLINTEGER precision = 38) {
  const std::uint64_t low = static_cast<std::uint64_t>(v);
  const std::int64_t high = static_cast<std::int64_t>(v >> 64);
  Bytes b = BytesOf(low);
  const Bytes h = BytesOf(high);
  b.insert(b.end(), h.begin(), h.end());
  return {_BIGDECIMAL, 16, scale, precision, b};
}
// A double column's description carries precision 15 and no real scale.
inline Source Double(double d) { return {_DOUBLE, 8, 0, 15, BytesOf(d)}; }
inline Source Text(const std::string& t, SQLSMALLINT type = _VARCHAR) {
  Bytes b = BytesOf(static_cast<std::int32_t>(t.size()));
  b.insert(b.end(), t.begin(), t.end());
  return {type, static_cast<SQLINTEGER>(t.size() + 4), 0, 0, b};
}
inline Source Date(std::int16_t year, unsigned char month, unsigned char day) {
  Bytes b{day, month};
  const Bytes y = BytesOf(year);
  b.insert(b.end(), y.begin(), y.end());
  return {_DATE, 4, 0, 0, b};
}
inline Source Timestamp(std::int16_t year, unsigned char month, unsigned char day,
                        unsigned char hour, unsigned char minute, unsigned char second,
                        std::int32_t nanos, SQLSMALLINT type = _TIMESTAMP) {
  Bytes b = BytesOf(year);
  for (unsigned char c : {month, day, hour, minute, second}) b.push_back(c);
  const Bytes f = BytesOf(nanos);
  b.insert(b.end(), f.begin(), f.end());
  return {type, 11, 0, 0, b};
}
inline Source Null(Source s) {
  s.value.reset();
  return s;
}

// The lookup of every family.
inline qvoCellFn CellFor(SQLSMALLINT cType, SQLSMALLINT qvoType) {
  for (auto lookup : {qvoIntegerCell, qvoFloatCell, qvoBitCell, qvoNumericCell})
    if (qvoCellFn cell = lookup(cType, qvoType)) return cell;
  return nullptr;
}

constexpr unsigned char kCanary = 0xA5;
constexpr SQLLEN kUntouchedLength = 0x5A5A5A5A;

// What one row became.
struct Written {
  qvoCellOutcome outcome = qvoCellOutcome::Ok;
  Bytes element;  // the target bytes from the element's start, elementSize long
  SQLLEN length = kUntouchedLength;
  bool canariesIntact = true;  // nothing written before the element or past elementSize
  bool untouched = true;       // nothing written at all
};

struct RunOptions {
  const qvoStatement* stmt = nullptr;
  SQLLEN bufferLength = 8;
  std::size_t dataStride = 0;  // 0: element size plus the guard
  bool bindData = true;
  bool bindLength = true;
};

// Converts rows of one source column into a column-wise bound array of
// elementSize-byte elements with canaries before, between and after them.
inline std::vector<Written> RunCell(qvoCellFn cell, SQLSMALLINT cType,
                                    const std::vector<Source>& rows, std::size_t elementSize,
                                    const RunOptions& options = {}) {
  constexpr std::size_t kGuard = 8;
  const std::size_t stride = options.dataStride ? options.dataStride : elementSize + kGuard;
  Bytes targets(kGuard + (rows.size() - 1) * stride + elementSize + kGuard, kCanary);
  std::vector<SQLLEN> lengths(rows.size(), kUntouchedLength);

  // The received block: flag, value; flag, value; ...
  Bytes block;
  std::vector<std::size_t> offsets;
  for (const Source& r : rows) {
    block.push_back(r.value ? 1 : 0);
    offsets.push_back(block.size());
    if (r.value) block.insert(block.end(), r.value->begin(), r.value->end());
  }
  block.resize(block.size() + 16);  // a NULL as last value still points inside
  std::vector<void*> values;
  for (std::size_t o : offsets) values.push_back(block.data() + o);

  __cliDescriptorRecords ird;
  ird.qvoType = rows.front().qvoType;
  ird.qvoTypeLen = rows.front().width;
  ird.scale = rows.front().scale;
  ird.precision = rows.front().precision;
  __cliDescriptorRecords ard;
  ard.conciseType = cType;

  std::vector<qvoCellOutcome> outcomes(rows.size(), qvoCellOutcome::Ok);
  qvoColumnJob job;
  job.stmt = options.stmt;
  job.ard = &ard;
  job.ird = &ird;
  job.column = 1;
  job.cType = cType;
  job.qvoType = ird.qvoType;
  job.bufferLength = options.bufferLength;
  job.valueWidth = ird.qvoTypeLen;
  job.data = options.bindData ? reinterpret_cast<char*>(targets.data() + kGuard) : nullptr;
  job.dataStride = stride;
  job.lengths = options.bindLength ? reinterpret_cast<char*>(lengths.data()) : nullptr;
  job.lengthStride = sizeof(SQLLEN);
  job.values = values.data();
  job.rows = rows.size();
  job.outcomes = outcomes.data();
  cell(job, qvoNullRule{});

  std::vector<Written> out(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Written& w = out[i];
    w.outcome = outcomes[i];
    const unsigned char* element = targets.data() + kGuard + i * stride;
    w.element.assign(element, element + elementSize);
    w.length = lengths[i];
    for (std::size_t g = 0; g < kGuard; ++g) w.canariesIntact &= element[-1 - g] == kCanary;
    for (std::size_t b = 0; b < elementSize; ++b) w.untouched &= element[b] == kCanary;
  }
  for (std::size_t g = 0; g < kGuard; ++g)
    out.back().canariesIntact &= targets[targets.size() - 1 - g] == kCanary;
  return out;
}

}  // namespace cells
