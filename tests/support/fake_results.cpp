#include "support/fake_results.h"

#include <cstring>

namespace fake::results {

namespace {

void PutText(Bytes& out, std::string_view text) {
  PutLE(out, static_cast<uint32_t>(text.size()), 4);
  out.insert(out.end(), text.begin(), text.end());
}

Bytes Kind(int8_t kind) { return Bytes{static_cast<uint8_t>(kind)}; }

}  // namespace

// ---- columns ------------------------------------------------------------------

Column Column::Decimal(std::string name, int32_t precision, int32_t scale) {
  return {std::move(name), kDecimal, precision, scale};
}
Column Column::SmallDecimal(std::string name, int32_t precision, int32_t scale) {
  return {std::move(name), kSmallDecimal, precision, scale};
}
Column Column::BigDecimal(std::string name, int32_t precision, int32_t scale) {
  return {std::move(name), kBigDecimal, precision, scale};
}
Column Column::Double(std::string name) { return {std::move(name), kDouble}; }
Column Column::Boolean(std::string name) { return {std::move(name), kBoolean}; }
Column Column::Date(std::string name) { return {std::move(name), kDate}; }
Column Column::Timestamp(std::string name) { return {std::move(name), kTimestamp}; }
Column Column::TimestampUtc(std::string name) { return {std::move(name), kTimestampUtc}; }
Column Column::Char(std::string name, int32_t size, int32_t octets, uint8_t flags) {
  return {std::move(name), kChar, 0, 0, flags, size, octets};
}
Column Column::Interval(std::string name, int32_t type, int32_t size, int32_t octets,
                        uint8_t flags) {
  return {std::move(name), type, 0, 0, flags, size, octets};
}
Column Column::Raw(std::string name, int32_t type) { return {std::move(name), type}; }

Bytes Describe(const Column& c) {
  Bytes out;
  PutText(out, c.name);
  PutLE(out, static_cast<uint32_t>(c.type), 4);
  switch (c.type) {
    case kDecimal:
    case kSmallDecimal:
    case kBigDecimal:
      PutLE(out, static_cast<uint32_t>(c.precision), 4);
      PutLE(out, static_cast<uint32_t>(c.scale), 4);
      break;
    case kChar:
    case kIntervalMonth:
    case kIntervalDay:
      out.push_back(c.flags);
      PutLE(out, static_cast<uint32_t>(c.size), 4);
      PutLE(out, static_cast<uint32_t>(c.octets), 4);
      break;
    default:
      break;
  }
  return out;
}

// ---- values -------------------------------------------------------------------

Value Value::Null() { return {true, {}}; }

Value Value::Int32(int32_t v) {
  Value out;
  PutLE(out.bytes, static_cast<uint32_t>(v), 4);
  return out;
}

Value Value::Int64(int64_t v) {
  Value out;
  PutLE(out.bytes, static_cast<uint64_t>(v), 8);
  return out;
}

Value Value::Int128(int64_t low, int64_t high) {
  Value out;
  PutLE(out.bytes, static_cast<uint64_t>(low), 8);
  PutLE(out.bytes, static_cast<uint64_t>(high), 8);
  return out;
}

Value Value::Double(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  Value out;
  PutLE(out.bytes, bits, 8);
  return out;
}

Value Value::Bool(bool v) { return {false, Bytes{static_cast<uint8_t>(v ? 1 : 0)}}; }

Value Value::Date(uint8_t day, uint8_t month, int16_t year) {
  Value out;
  out.bytes = {day, month};
  PutLE(out.bytes, static_cast<uint16_t>(year), 2);
  return out;
}

Value Value::Timestamp(int16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute,
                       uint8_t second, int32_t fraction) {
  Value out;
  PutLE(out.bytes, static_cast<uint16_t>(year), 2);
  out.bytes.insert(out.bytes.end(), {month, day, hour, minute, second});
  PutLE(out.bytes, static_cast<uint32_t>(fraction), 4);
  return out;
}

Value Value::Text(std::string_view text) {
  Value out;
  PutText(out.bytes, text);
  return out;
}

Bytes RowBlock(const std::vector<std::vector<Value>>& columns) {
  Bytes out;
  for (const auto& column : columns) {
    for (const Value& v : column) {
      out.push_back(v.null ? 0 : 1);
      if (!v.null) out.insert(out.end(), v.bytes.begin(), v.bytes.end());
    }
  }
  return out;
}

// ---- results ------------------------------------------------------------------

Bytes Empty() { return Kind(-2); }

Bytes Exception(std::string_view text, std::string_view sqlState) {
  Bytes out = Kind(-1);
  PutText(out, text);
  std::string state(sqlState.substr(0, 5));
  state.resize(5, ' ');
  out.insert(out.end(), state.begin(), state.end());
  return out;
}

Bytes RowCount(int64_t count) {
  Bytes out = Kind(0);
  PutLE(out, static_cast<uint64_t>(count), 8);
  return out;
}

Bytes ResultSet(int32_t handle, const std::vector<Column>& columns, int64_t totalRows,
                int64_t rowsHere, const Bytes& rowBlock) {
  Bytes out = Kind(1);
  PutLE(out, static_cast<uint32_t>(handle), 4);
  PutLE(out, static_cast<uint32_t>(columns.size()), 4);
  PutLE(out, static_cast<uint64_t>(totalRows), 8);
  PutLE(out, static_cast<uint64_t>(rowsHere), 8);
  for (const Column& c : columns) {
    const Bytes d = Describe(c);
    out.insert(out.end(), d.begin(), d.end());
  }
  out.insert(out.end(), rowBlock.begin(), rowBlock.end());
  return out;
}

Bytes Handle(int32_t preparedHandle) {
  Bytes out = Kind(2);
  PutLE(out, static_cast<uint32_t>(preparedHandle), 4);
  return out;
}

Bytes StillExecuting(std::string_view status) {
  Bytes out = Kind(5);
  PutText(out, status);
  return out;
}

Bytes MoreRows() { return Kind(6); }

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Reply Answer(const std::vector<Bytes>& results) {
  Reply reply;
  reply.results = static_cast<uint32_t>(results.size());
  reply.data = Join(results);
  return reply;
}

Reply SendRowsAnswer(const Bytes& rowBlock) {
  Reply reply;
  reply.results = 1;
  reply.data = rowBlock;
  return reply;
}

Reply FetchAnswer(int64_t rows, const Bytes& rowBlock, bool withKind) {
  Reply reply;
  reply.results = 1;
  if (withKind) reply.data.push_back(6);
  PutLE(reply.data, static_cast<uint64_t>(rows), 8);
  reply.data.insert(reply.data.end(), rowBlock.begin(), rowBlock.end());
  return reply;
}

Bytes EnterParallel(int32_t count, int64_t token, const std::vector<ParallelNode>& nodes) {
  Bytes out;
  PutLE(out, static_cast<uint32_t>(count), 4);
  PutLE(out, static_cast<uint64_t>(token), 8);
  for (const ParallelNode& node : nodes) {
    PutLE(out, static_cast<uint32_t>(node.port), 4);
    PutLE(out, node.host.size(), 4);
    out.insert(out.end(), node.host.begin(), node.host.end());
  }
  return out;
}

Bytes Hostnames(int32_t count, const std::vector<std::string>& hosts) {
  Bytes out;
  PutLE(out, static_cast<uint32_t>(count), 4);
  for (const std::string& host : hosts) {
    PutLE(out, host.size(), 4);
    out.insert(out.end(), host.begin(), host.end());
  }
  return out;
}

}  // namespace fake::results
