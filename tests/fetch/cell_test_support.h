// Runs one conversion cell over hand-made row-block values: the values with
// their null flags, a target buffer with guard bytes behind every row, and
// the column's descriptor facts, under a real statement (whose attributes,
// separator and converters the cells read).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/qvoTypeCodes.h"
#include "fetch/cell_outcome_names.h"
#include "fetch/qvoConversionCell.h"
#include "statement/statement_fixture.h"

namespace cells {

// Value bytes in host order, as an indexed row block holds them.
inline std::string Bytes(const void* p, size_t n) {
  return std::string(static_cast<const char*>(p), n);
}
inline std::string Bool(bool b) { return std::string(1, b ? '\x01' : '\x00'); }
inline std::string Small(int32_t v) { return Bytes(&v, 4); }
inline std::string Dec(int64_t v) { return Bytes(&v, 8); }
inline std::string Big(uint64_t low, int64_t high) { return Bytes(&low, 8) + Bytes(&high, 8); }
inline std::string Dbl(double v) { return Bytes(&v, 8); }
inline std::string Date(int16_t y, int8_t m, int8_t d) {
  return std::string{static_cast<char>(d), static_cast<char>(m)} + Bytes(&y, 2);
}
inline std::string Ts(int16_t y, int8_t mo, int8_t d, int8_t h, int8_t mi, int8_t s, int32_t f) {
  return Bytes(&y, 2) +
         std::string{static_cast<char>(mo), static_cast<char>(d), static_cast<char>(h),
                     static_cast<char>(mi), static_cast<char>(s)} +
         Bytes(&f, 4);
}
inline std::string Text(const std::string& t) {
  const auto n = static_cast<int32_t>(t.size());
  return Bytes(&n, 4) + t;
}
// UTF-16 in host order.
inline std::string U16(const std::u16string& t) { return Bytes(t.data(), 2 * t.size()); }

// A NULL value in a column: only its flag.
inline const std::string kNull = "\xff-NULL";

// The column: server type and its description facts.
struct Column {
  SQLSMALLINT qvoType = 0;
  SQLINTEGER qvoTypeLen = 0;
  SQLSMALLINT scale = 0;
  SQLINTEGER precision = 0;
  bool utf8 = false;
};

constexpr unsigned char kFill = 0xAB;
constexpr size_t kGuard = 8;

// One call of a cell over rows (column-wise, one buffer per row), each
// buffer bufferLength bytes plus guard bytes.
struct CellRun {
  std::vector<std::string> values;  // row values; kNull for NULL
  std::vector<char> block;
  std::vector<void*> pointers;
  std::vector<unsigned char> data;
  std::vector<SQLLEN> lengths;
  std::vector<qvoCellOutcome> outcomes;
  size_t stride = 0;
  qvoColumnJob job;
  __cliDescriptorRecords ird;

  // Buffer of row i.
  const char* Target(size_t i) const {
    return reinterpret_cast<const char*>(data.data()) + i * stride;
  }
  // True when only the first n bytes of row i's buffer and none of its
  // guard bytes were written (n may exceed a buffer that was not written).
  bool UntouchedFrom(size_t i, size_t n) const {
    for (size_t k = n; k < stride; ++k)
      if (data[i * stride + k] != kFill) return false;
    return true;
  }
};

// Runs the cell of (cType, column) found by lookup over the values.
// bufferLength < 0 with withTarget: a negative length; withTarget false: a
// null data pointer (length only). withLength false: no length slot.
inline void RunCell(CellRun& r, qvoCellFn (*lookup)(SQLSMALLINT, SQLSMALLINT), qvoStatement* stmt,
                    SQLSMALLINT cType, const Column& col, SQLLEN bufferLength,
                    bool withTarget = true, bool withLength = true, int terminatorBytes = 0) {
  qvoCellFn cell = lookup(cType, col.qvoType);
  ASSERT_NE(cell, nullptr) << "no cell for C type " << cType << " and server type " << col.qvoType;
  // Block: each value behind its null flag.
  size_t size = 0;
  for (const auto& v : r.values) size += 1 + (v == kNull ? 0 : v.size());
  r.block.assign(size + 1, 0);
  r.pointers.clear();
  size_t pos = 0;
  for (const auto& v : r.values) {
    const bool isNull = v == kNull;
    r.block[pos++] = isNull ? 0 : 1;
    r.pointers.push_back(r.block.data() + pos);
    if (!isNull) {
      std::memcpy(r.block.data() + pos, v.data(), v.size());
      pos += v.size();
    }
  }
  const size_t rows = r.values.size();
  r.stride = static_cast<size_t>(bufferLength > 0 ? bufferLength : 0) + kGuard;
  r.data.assign(r.stride * rows, kFill);
  r.lengths.assign(rows, -777);
  r.outcomes.assign(rows, qvoCellOutcome::Ok);

  r.ird.qvoType = col.qvoType;
  r.ird.qvoTypeLen = col.qvoTypeLen;
  r.ird.scale = col.scale;
  r.ird.precision = col.precision;
  r.ird.charAttr = col.utf8 ? 0x10 : 0;

  r.job = qvoColumnJob{};
  r.job.stmt = stmt;
  r.job.ird = &r.ird;
  r.job.column = 1;
  r.job.cType = cType;
  r.job.qvoType = col.qvoType;
  r.job.bufferLength = bufferLength;
  r.job.valueWidth = col.qvoTypeLen;
  r.job.data = withTarget ? reinterpret_cast<char*>(r.data.data()) : nullptr;
  r.job.dataStride = r.stride;
  r.job.lengths = withLength ? reinterpret_cast<char*>(r.lengths.data()) : nullptr;
  r.job.lengthStride = sizeof(SQLLEN);
  r.job.values = r.pointers.data();
  r.job.rows = rows;
  r.job.outcomes = r.outcomes.data();
  qvoNullRule nulls;
  nulls.terminatorBytes = terminatorBytes;
  nulls.stringsNotNull = stmt && stmt->stmtAttr.stringsNotNull;
  cell(r.job, nulls);
}

constexpr SQLLEN kLengthOnly = -1000;  // bind a null data pointer
constexpr SQLLEN kUntouched = -777;    // the length slot as the test left it

// Statement settings a case needs; the defaults are a new statement's.
struct Settings {
  int floatPrecision = 9;
  bool external = false;
  const char* wordTrue = "1";
  const char* wordFalse = "0";
  SQLUINTEGER maxLength = 0;
  char separator = '.';
};

struct Case {
  const char* name;
  Column col;
  std::string value;
  SQLLEN bufferLength;
  std::string written;  // bytes at the start of the buffer, terminator included; "" none
  SQLLEN length;
  qvoCellOutcome outcome;
  Settings settings = {};
};

inline const Column kBool{_BOOLEAN, 1};
inline const Column kDec2{_DECIMAL, 8, 2, 18};
inline const Column kDec0{_DECIMAL, 8, 0, 18};
inline const Column kDec4{_DECIMAL, 8, 4, 18};
inline const Column kDec20{_DECIMAL, 8, 20, 38};
inline const Column kDecNarrow1{_DECIMAL, 4, 1, 5};  // up to 9 digits: 32-bit values
inline const Column kSmall3{_SMALLDECIMAL, 4, 3, 9};
inline const Column kSmall0{_SMALLDECIMAL, 4, 0, 9};
inline const Column kBig0{_BIGDECIMAL, 16, 0, 38};
inline const Column kBig2{_BIGDECIMAL, 16, 2, 38};
inline const Column kBig39{_BIGDECIMAL, 16, 39, 38};
inline const Column kDouble{_DOUBLE, 8};
inline const Column kDate{_DATE, 4};
inline const Column kTs0{_TIMESTAMP, 11, 0, 0};
inline const Column kTs3{_TIMESTAMP, 11, 0, 3};
inline const Column kTs9{_TIMESTAMP, 11, 0, 9};
inline const Column kTsUtc3{_TIMESTAMP_UTC, 11, 0, 3};
inline const Column kAscii{_VARCHAR, 24};
inline const Column kAsciiChar{_CHAR, 24};
inline const Column kUtf8{_VARCHAR, 24, 0, 0, true};

inline const std::string kTsValue = Ts(2023, 12, 25, 13, 45, 7, 123456789);
inline const std::string kEuroText = "h\xE2\x82\xACllo";  // h€llo, 7 bytes

inline std::string Z(const std::string& s) { return s + std::string(1, '\0'); }
// UTF-16 text with its two-byte terminator.
inline std::string WZ(const std::u16string& s) { return U16(s) + std::string(2, '\0'); }

inline Settings Words(const char* t, const char* f) {
  Settings s;
  s.wordTrue = t;
  s.wordFalse = f;
  return s;
}
inline Settings Precision(int p) {
  Settings s;
  s.floatPrecision = p;
  return s;
}
inline Settings External() {
  Settings s;
  s.external = true;
  return s;
}
inline Settings MaxLength(SQLUINTEGER n) {
  Settings s;
  s.maxLength = n;
  return s;
}
inline Settings Comma() {
  Settings s;
  s.separator = ',';
  return s;
}

inline void Apply(qvoStatement* s, const Settings& set) {
  s->stmtAttr.floatPrecision = set.floatPrecision;
  s->stmtAttr.externalConversion = set.external ? 1 : 0;
  std::snprintf(s->stmtAttr.wordForTrue, sizeof s->stmtAttr.wordForTrue, "%s", set.wordTrue);
  std::snprintf(s->stmtAttr.wordForFalse, sizeof s->stmtAttr.wordForFalse, "%s", set.wordFalse);
  s->stmtAttr.maxLength = set.maxLength;
  s->decSeparator = set.separator;
}

// A statement whose application code set is UTF-8: the code set is part of
// each case, not of the host the tests run on.
class CellTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    ASSERT_EQ(s->dataConverter->SetCurrentCodepage("UTF-8"), 0);
  }

  // Runs one case of a value table through the cell that lookup gives for
  // cType and checks bytes, guard bytes, length slot and outcome.
  void Check(const Case& c, qvoCellFn (*lookup)(SQLSMALLINT, SQLSMALLINT), SQLSMALLINT cType) {
    SCOPED_TRACE(c.name);
    Apply(s, c.settings);
    CellRun r;
    r.values = {c.value};
    const bool withTarget = c.bufferLength != kLengthOnly;
    RunCell(r, lookup, s, cType, c.col, withTarget ? c.bufferLength : 16, withTarget);
    EXPECT_STREQ(OutcomeName(r.outcomes[0]), OutcomeName(c.outcome));
    EXPECT_EQ(r.lengths[0], c.length);
    EXPECT_EQ(std::string(r.Target(0), c.written.size()), c.written);
    EXPECT_TRUE(r.UntouchedFrom(0, c.written.size())) << "bytes written beyond the text";
  }
};

}  // namespace cells
