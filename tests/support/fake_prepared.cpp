#include "support/fake_prepared.h"

#include <utility>

namespace fake {
namespace {

constexpr int32_t kDecimal = 6, kDouble = 8, kBoolean = 9, kChar = 10, kDate = 14, kTimestamp = 21,
                  kSmallDecimal = 63, kBigDecimal = 64, kTimestampUtc = 125;

struct Cursor {
  const Bytes& b;
  size_t at = 0;
  bool ok = true;
  uint64_t Get(int width) {
    if (!ok || b.size() - at < static_cast<size_t>(width)) {
      ok = false;
      return 0;
    }
    const uint64_t v = GetLE(b.data() + at, width);
    at += static_cast<size_t>(width);
    return v;
  }
  Bytes Take(size_t n) {
    if (!ok || b.size() - at < n) {
      ok = false;
      return {};
    }
    Bytes out(b.begin() + static_cast<std::ptrdiff_t>(at),
              b.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    return out;
  }
};

// Bytes a value of a fixed-width type takes; 0 for text, -1 unknown.
int FixedWidth(int32_t type) {
  switch (type) {
    case kDecimal:
    case kDouble:
      return 8;
    // int16 year, five bytes month to second, int32 fraction
    case kTimestamp:
    case kTimestampUtc:
      return 11;
    case kSmallDecimal:
    case kDate:
      return 4;
    case kBigDecimal:
      return 16;
    case kBoolean:
      return 1;
    case kChar:
      return 0;
    default:
      return -1;
  }
}

}  // namespace

std::optional<PreparedMessage> DecodePrepared(const Bytes& data) {
  Cursor c{data};
  PreparedMessage m;
  m.handle = static_cast<int32_t>(c.Get(4));
  m.one = static_cast<int32_t>(c.Get(4));
  m.flag = static_cast<uint8_t>(c.Get(1));
  const auto count = static_cast<int32_t>(c.Get(4));
  m.rows = static_cast<int64_t>(c.Get(8));
  m.rowsAgain = static_cast<int64_t>(c.Get(8));
  if (!c.ok || count < 0 || m.rows < 0 || m.rows != m.rowsAgain) return std::nullopt;
  for (int32_t i = 0; i < count && c.ok; ++i) {
    PreparedParam p;
    if (c.Get(4) != 0) return std::nullopt;
    p.type = static_cast<int32_t>(c.Get(4));
    if (p.type == kDecimal || p.type == kSmallDecimal || p.type == kBigDecimal) {
      p.precision = static_cast<int32_t>(c.Get(4));
      p.scale = static_cast<int32_t>(c.Get(4));
    } else if (p.type == kChar) {
      p.varying = static_cast<uint8_t>(c.Get(1));
      p.size = static_cast<int32_t>(c.Get(4));
      p.octets = static_cast<int32_t>(c.Get(4));
    } else if (FixedWidth(p.type) < 0) {
      return std::nullopt;
    }
    m.params.push_back(p);
  }
  for (int64_t r = 0; r < m.rows && c.ok; ++r) {
    std::vector<std::optional<Bytes>> row;
    for (const PreparedParam& p : m.params) {
      const auto flag = c.Get(1);
      if (flag == 0) {
        row.emplace_back(std::nullopt);
        continue;
      }
      if (flag != 1) return std::nullopt;
      const int width = FixedWidth(p.type);
      const size_t n = width > 0 ? static_cast<size_t>(width) : static_cast<size_t>(c.Get(4));
      row.emplace_back(c.Take(n));
    }
    m.values.push_back(std::move(row));
  }
  if (!c.ok || c.at != data.size()) return std::nullopt;
  return m;
}

int64_t ValueInt(const Bytes& value) {
  if (value.empty() || value.size() > 8) return 0;
  const int width = static_cast<int>(value.size());
  const uint64_t raw = GetLE(value.data(), width);
  const int shift = 64 - 8 * width;
  return static_cast<int64_t>(raw << shift) >> shift;
}

void ServePrepared(FakeNode& node, std::string sql, int32_t handle,
                   std::vector<results::Column> params, std::vector<PreparedMessage>* seen) {
  using namespace results;
  node.OnSql(std::move(sql),
             Answer({Handle(handle), ResultSet(-5, params, 0, 0, RowBlock({})), Empty()}));
  node.On(kExecutePrepared, [seen](const Request& request, FakeNode&) {
    std::optional<PreparedMessage> m = DecodePrepared(request.data);
    if (!m) return Answer({Exception("undecodable execute-prepared message", "HY000")});
    if (seen) seen->push_back(*m);
    return Answer({RowCount(m->rows)});
  });
}

}  // namespace fake
