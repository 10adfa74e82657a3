// The per-column loops of the block fetch: one cell of the conversion matrix
// over a rowset of 1,000 values of one column of an indexed row block, as the
// frame runs it (every seventh value NULL). Rows per second per cell.
#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/qvoByteOrder.h"
#include "common/qvoTypeCodes.h"
#include "connection/qvoConnection.h"
#include "fetch/qvoConversionMatrix.h"
#include "statement/qvoStatement.h"

namespace {

constexpr int64_t kRows = 1000;

struct ServerColumn {
  SQLSMALLINT qvoType;
  SQLINTEGER width;  // of a fixed-width value
  char charAttr;
  SQLSMALLINT scale = 0;
};

// kRows values of one column as the server sends them.
std::vector<char> MakeColumn(const ServerColumn& col) {
  std::vector<char> block;
  char v[16];
  for (int64_t r = 0; r < kRows; ++r) {
    if (r % 7 == 6) {
      block.push_back(0);
      continue;
    }
    block.push_back(1);
    switch (col.qvoType) {
      case _DECIMAL:
        if (col.width == 4)
          qvoPutLE32(v, static_cast<qvo_int32>(r * 7919 - 400000));
        else
          qvoPutLE64(v, r * 7919 - 400000);
        block.insert(block.end(), v, v + col.width);
        break;
      case _DOUBLE:
        qvoPutLEDouble(v, static_cast<double>(r) / 7.0);
        block.insert(block.end(), v, v + 8);
        break;
      case _TIMESTAMP:
        qvoPutLE16(v, static_cast<qvo_int16>(1990 + r % 40));
        v[2] = static_cast<char>(1 + r % 12);
        v[3] = static_cast<char>(1 + r % 28);
        v[4] = static_cast<char>(r % 24);
        v[5] = static_cast<char>(r % 60);
        v[6] = static_cast<char>(r / 60 % 60);
        qvoPutLE32(v + 7, static_cast<qvo_int32>(r * 1000));
        block.insert(block.end(), v, v + 11);
        break;
      default: {
        const std::string text = "name-" + std::to_string(r * 31);
        qvoPutLE32(v, static_cast<qvo_int32>(text.size()));
        block.insert(block.end(), v, v + 4);
        block.insert(block.end(), text.begin(), text.end());
      }
    }
  }
  return block;
}

// A statement whose IRD describes the one column, its block indexed.
qvoStatement& Indexed(const ServerColumn& col, std::vector<char>& block) {
  static qvoConnection* conn = new qvoConnection(nullptr);
  SQLHANDLE h = nullptr;
  auto* s = new qvoStatement(conn, &h);
  s->IRD()->SetDescField(0, SQL_DESC_COUNT, reinterpret_cast<SQLPOINTER>(intptr_t{1}), 0);
  __cliDescriptorRecords* r = s->IRD()->GetRecord(1);
  r->qvoType = col.qvoType;
  r->qvoTypeLen = col.width;
  r->precision = col.qvoType == _DECIMAL ? (col.width == 4 ? 9 : 18) : 20;
  r->charAttr = col.charAttr;
  r->scale = col.scale;
  s->SetBlockRows(0, kRows);
  s->CreatePointerArray(block.data(), static_cast<qvo_int64>(block.size()));
  return *s;
}

void RunCell(benchmark::State& state, SQLSMALLINT cType, ServerColumn col, size_t targetSize) {
  std::setlocale(LC_ALL, "C.UTF-8");
  std::vector<char> block = MakeColumn(col);
  qvoStatement& s = Indexed(col, block);
  const qvoConversion conv = qvoLookupConversion(cType, col.qvoType, false);
  if (!conv.cell) {
    state.SkipWithError("no cell for this pair yet");
    return;
  }
  std::vector<char> data(targetSize * kRows);
  std::vector<SQLLEN> lengths(kRows);
  std::vector<qvoCellOutcome> outcomes(kRows);
  for (auto _ : state) {
    qvoColumnJob job;
    job.stmt = &s;
    job.ird = s.IRD()->GetRecord(1);
    job.column = 1;
    job.cType = cType;
    job.qvoType = col.qvoType;
    job.bufferLength = static_cast<SQLLEN>(targetSize);
    job.valueWidth = col.width;
    job.data = data.data();
    job.dataStride = targetSize;
    job.lengths = reinterpret_cast<char*>(lengths.data());
    job.lengthStride = sizeof(SQLLEN);
    job.values = s.Result().PtrArray()[1] + 1;
    job.rows = kRows;
    job.outcomes = outcomes.data();
    conv.cell(job, conv.nulls);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

const ServerColumn kDecimal18{_DECIMAL, 8, 0};
const ServerColumn kDecimal9{_DECIMAL, 4, 0};
const ServerColumn kDecimal18Scale2{_DECIMAL, 8, 0, 2};
const ServerColumn kDouble{_DOUBLE, 8, 0};
const ServerColumn kTimestamp{_TIMESTAMP, 11, 0};
const ServerColumn kVarchar{_VARCHAR, 24, 0x11};

BENCHMARK_CAPTURE(RunCell, int64_from_decimal18, QVO_INT64, kDecimal18, 8);
BENCHMARK_CAPTURE(RunCell, int64_from_decimal9, QVO_INT64, kDecimal9, 8);
BENCHMARK_CAPTURE(RunCell, int32_from_decimal18, QVO_INT32, kDecimal18, 4);
BENCHMARK_CAPTURE(RunCell, varchar_by_reference, QVO_VARCHAR_PTR, kVarchar, sizeof(char*));
BENCHMARK_CAPTURE(RunCell, sbigint_from_decimal18, SQL_C_SBIGINT, kDecimal18, 8);
BENCHMARK_CAPTURE(RunCell, slong_from_decimal18, SQL_C_SLONG, kDecimal18, 4);
BENCHMARK_CAPTURE(RunCell, sbigint_from_decimal18_scale2, SQL_C_SBIGINT, kDecimal18Scale2, 8);
BENCHMARK_CAPTURE(RunCell, double_from_double, SQL_C_DOUBLE, kDouble, 8);
BENCHMARK_CAPTURE(RunCell, double_from_decimal18_scale2, SQL_C_DOUBLE, kDecimal18Scale2, 8);
BENCHMARK_CAPTURE(RunCell, float_from_double, SQL_C_FLOAT, kDouble, 4);
BENCHMARK_CAPTURE(RunCell, numeric_from_decimal18_scale2, SQL_C_NUMERIC, kDecimal18Scale2,
                  sizeof(SQL_NUMERIC_STRUCT));
BENCHMARK_CAPTURE(RunCell, char_from_varchar, SQL_C_CHAR, kVarchar, 24);
BENCHMARK_CAPTURE(RunCell, char_from_decimal18, SQL_C_CHAR, kDecimal18, 24);
BENCHMARK_CAPTURE(RunCell, timestamp_from_timestamp, SQL_C_TYPE_TIMESTAMP, kTimestamp,
                  sizeof(SQL_TIMESTAMP_STRUCT));

}  // namespace

BENCHMARK_MAIN();
