// Indexing a received row block: every value is brought to host order in
// place and addressed through the per-column row pointer table, as the
// statement does for each block it receives before a fetch reads it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/qvoByteOrder.h"
#include "common/qvoTypeCodes.h"
#include "connection/qvoConnection.h"
#include "statement/qvoStatement.h"

namespace {

// A typical result row: an id, an amount, a time stamp and a short text.
struct BlockColumn {
  SQLSMALLINT qvoType;
  SQLINTEGER qvoTypeLen;
};
constexpr BlockColumn kColumns[] = {
    {_DECIMAL, 8},     // DECIMAL(18)
    {_DOUBLE, 8},      //
    {_TIMESTAMP, 11},  //
    {_VARCHAR, 44},    // VARCHAR(40)
};
constexpr SQLSMALLINT kColumnCount = sizeof kColumns / sizeof kColumns[0];

// The block as the server sends it, column after column; every seventh value
// is NULL.
std::vector<char> MakeBlock(int64_t rows) {
  std::vector<char> block;
  char value[16];
  for (const BlockColumn& col : kColumns) {
    for (int64_t r = 0; r < rows; ++r) {
      if (r % 7 == 6) {
        block.push_back(0);
        continue;
      }
      block.push_back(1);
      switch (col.qvoType) {
        case _DECIMAL:
          qvoPutLE64(value, r * 1000003);
          block.insert(block.end(), value, value + 8);
          break;
        case _DOUBLE:
          qvoPutLEDouble(value, static_cast<double>(r) / 3.0);
          block.insert(block.end(), value, value + 8);
          break;
        case _TIMESTAMP:
          qvoPutLE16(value, 2024);
          value[2] = 2;
          value[3] = 29;
          value[4] = 13;
          value[5] = 5;
          value[6] = static_cast<char>(r % 60);
          qvoPutLE32(value + 7, static_cast<qvo_int32>(r));
          block.insert(block.end(), value, value + 11);
          break;
        default: {
          const std::string text = "customer-" + std::to_string(r);
          qvoPutLE32(value, static_cast<qvo_int32>(text.size()));
          block.insert(block.end(), value, value + 4);
          block.insert(block.end(), text.begin(), text.end());
          break;
        }
      }
    }
  }
  return block;
}

// A statement without a server, its IRD describing kColumns.
qvoStatement& Statement() {
  static qvoConnection* conn = new qvoConnection(nullptr);
  static qvoStatement* stmt = [] {
    SQLHANDLE h = nullptr;
    auto* s = new qvoStatement(conn, &h);
    s->IRD()->SetDescField(0, SQL_DESC_COUNT, reinterpret_cast<SQLPOINTER>(intptr_t{kColumnCount}),
                           0);
    for (SQLSMALLINT c = 1; c <= kColumnCount; ++c) {
      s->IRD()->GetRecord(c)->qvoType = kColumns[c - 1].qvoType;
      s->IRD()->GetRecord(c)->qvoTypeLen = kColumns[c - 1].qvoTypeLen;
    }
    return s;
  }();
  return *stmt;
}

// Indexes a block of state.range(0) rows per iteration, as for consecutive
// blocks of a result (the pointer table's storage is kept between blocks).
void BM_IndexRowBlock(benchmark::State& state) {
  const int64_t rows = state.range(0);
  std::vector<char> block = MakeBlock(rows);
  qvoStatement& s = Statement();
  s.SetBlockRows(0, rows);
  for (auto _ : state) {
    const SQLINTEGER used =
        s.CreatePointerArray(block.data(), static_cast<qvo_int64>(block.size()));
    if (used != static_cast<SQLINTEGER>(block.size())) state.SkipWithError("block not indexed");
    benchmark::DoNotOptimize(s.Result().PtrArray());
  }
  state.SetItemsProcessed(state.iterations() * rows);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
}

BENCHMARK(BM_IndexRowBlock)->RangeMultiplier(16)->Range(16, 1 << 20);

}  // namespace

BENCHMARK_MAIN();
