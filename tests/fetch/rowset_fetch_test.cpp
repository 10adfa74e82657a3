// Rowsets of every size over results of every size, bound column-wise and
// row-wise at bind offsets, with the rows arriving inline and in further
// blocks by row count and by byte budget: every value, indicator, row status
// and rows-fetched count is checked.
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fetch/fetch_fixture.h"
#include "support/result_cursor_peer.h"

namespace {

using namespace fake::results;

// The bound columns: the internal C types over each decimal width and a date.
struct BoundColumn {
  Column column;
  SQLSMALLINT cType;
  size_t size;
};
const std::vector<BoundColumn> kBound = {
    {Column::Decimal("A", 18, 0), QVO_INT64, 8}, {Column::SmallDecimal("B", 9, 0), QVO_INT32, 4},
    {Column::Decimal("C", 9, 0), QVO_INT64, 8},  {Column::BigDecimal("D", 30, 0), QVO_INT128, 16},
    {Column::Date("E"), QVO_INT32, 4},
};

// What column c of result row `row` delivers.
std::array<uint8_t, 16> Expected(size_t c, int64_t row) {
  std::array<uint8_t, 16> out{};
  auto put = [&](auto v) { std::memcpy(out.data(), &v, sizeof v); };
  switch (c) {
    case 0:
    case 2:
      put(static_cast<int64_t>(row));
      break;
    case 1:
      put(static_cast<int32_t>(row));
      break;
    case 3:
      put(std::array<int64_t, 2>{row, 0});
      break;
    default:
      put(static_cast<int32_t>((2000 + row % 100) * 10000 + (1 + row % 12) * 100 + 1 + row % 28));
  }
  return out;
}

constexpr int64_t kNullEvery = 7;
bool IsNull(int64_t row) { return (row + 1) % kNullEvery == 0; }

struct Delivery {
  const char* name;
  fake::Blocks blocks;
  int protocol;
  SQLBIGINT answerBlockSize;  // 0: as the description gives it
};
const Delivery kDeliveries[] = {
    {"all inline", fake::Blocks{1 << 30, 0, 0}, 9, 0},
    {"by row count", fake::Blocks{100, 0, 0}, 7, 397},
    {"by budget, rows capped", fake::Blocks{37, 400, 0}, 8, 0},
    {"by budget, bytes capped, nothing inline", fake::Blocks{0, 0, 20000}, 9, 0},
};

constexpr uint8_t kSentinel = 0xAB;

class RowsetFetchTest : public FetchTest, public ::testing::WithParamInterface<Delivery> {
 protected:
  // Binds every column into one buffer: column-wise arrays or rows of
  // (indicator, value) pairs. Returns the row size (0 column-wise).
  size_t Bind(bool rowWise, SQLULEN rowset, SQLLEN offset) {
    size_t rowSize = 0;
    for (const BoundColumn& b : kBound) rowSize += sizeof(SQLLEN) + b.size;
    buffer.assign(static_cast<size_t>(offset) + rowset * rowSize, static_cast<char>(kSentinel));
    fieldData.clear();
    fieldIndicator.clear();
    size_t at = 0;
    for (size_t c = 0; c < kBound.size(); ++c) {
      // Column-wise: the indicator array, then the data array.
      const size_t indicator = at;
      const size_t data = at + (rowWise ? sizeof(SQLLEN) : rowset * sizeof(SQLLEN));
      at = data + (rowWise ? kBound[c].size : rowset * kBound[c].size);
      fieldIndicator.push_back(indicator);
      fieldData.push_back(data);
      EXPECT_EQ(QVOBindCol(stmt, static_cast<SQLUSMALLINT>(c + 1), kBound[c].cType,
                           buffer.data() + data, static_cast<SQLLEN>(kBound[c].size),
                           reinterpret_cast<SQLLEN*>(buffer.data() + indicator)),
                SQL_SUCCESS);
    }
    EXPECT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE,
                             AsAttr(rowWise ? static_cast<SQLLEN>(rowSize) : 0), 0),
              SQL_SUCCESS);
    bindOffset = offset;
    EXPECT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR, &bindOffset, 0), SQL_SUCCESS);
    return rowWise ? rowSize : 0;
  }

  // Whether rowset row i holds result row `row` in column c.
  bool RowHolds(size_t rowSize, size_t c, size_t i, int64_t row) const {
    const size_t ind = static_cast<size_t>(bindOffset) + fieldIndicator[c] +
                       i * (rowSize ? rowSize : sizeof(SQLLEN));
    const size_t dat =
        static_cast<size_t>(bindOffset) + fieldData[c] + i * (rowSize ? rowSize : kBound[c].size);
    SQLLEN indicator;
    std::memcpy(&indicator, buffer.data() + ind, sizeof indicator);
    if (IsNull(row)) {
      if (indicator != SQL_NULL_DATA) return false;
      for (size_t b = 0; b < kBound[c].size; ++b)
        if (static_cast<uint8_t>(buffer[dat + b]) != kSentinel) return false;
      return true;
    }
    const std::array<uint8_t, 16> want = Expected(c, row);
    return indicator == static_cast<SQLLEN>(kBound[c].size) &&
           std::memcmp(buffer.data() + dat, want.data(), kBound[c].size) == 0;
  }

  std::vector<char> buffer;
  std::vector<size_t> fieldData, fieldIndicator;
  SQLLEN bindOffset = 0;
};

TEST_P(RowsetFetchTest, EveryRowOfEveryRowsetArrivesWhereItIsBound) {
  std::vector<Column> columns;
  for (const BoundColumn& b : kBound) columns.push_back(b.column);
  {
    const Delivery& d = GetParam();
    for (int64_t rows : {1, 2, 10, 75, 377, 4289}) {
      const fake::Table table = fake::Table::Sample(columns, rows, kNullEvery);
      for (SQLULEN rowset : {1, 2, 10, 47, 111, 500, 1000}) {
        for (SQLLEN offset : {0, 1, 1234}) {
          for (bool rowWise : {false, true}) {
            const std::string where = std::string(d.name) + " rows " + std::to_string(rows) +
                                      " rowset " + std::to_string(rowset) + " offset " +
                                      std::to_string(offset) + (rowWise ? " row-wise" : "");
            ASSERT_EQ(Open(table, d.blocks, d.protocol), SQL_SUCCESS) << where << LastDiag(*s);
            if (d.answerBlockSize)
              qvoResultCursorTestPeer(*s).qvoAnswerBlockSize() = d.answerBlockSize;
            std::vector<SQLUSMALLINT> status(rowset + 1, 0xEEEE);
            SetRowset(rowset, status.data());
            const size_t rowSize = Bind(rowWise, rowset, offset);
            int64_t next = 0;
            for (;;) {
              std::memset(buffer.data(), kSentinel, buffer.size());
              const SQLRETURN rc = QVOFetch(stmt);
              if (rc == SQL_NO_DATA) break;
              ASSERT_EQ(rc, SQL_SUCCESS) << where << " at " << next << ": " << LastDiag(*s);
              const SQLULEN want = std::min<SQLULEN>(rowset, static_cast<SQLULEN>(rows - next));
              ASSERT_EQ(rowsFetched, want) << where << " at " << next;
              for (size_t i = 0; i < rowset; ++i)
                ASSERT_EQ(status[i], i < want ? SQL_ROW_SUCCESS : SQL_ROW_NOROW) << where;
              ASSERT_EQ(status[rowset], 0xEEEE) << where;
              for (size_t i = 0; i < want; ++i)
                for (size_t c = 0; c < kBound.size(); ++c)
                  ASSERT_TRUE(RowHolds(rowSize, c, i, next + static_cast<int64_t>(i)))
                      << where << " row " << next + static_cast<int64_t>(i) << " column " << c;
              // Nothing beyond the rows fetched is written.
              if (rowSize && want < rowset) {
                for (size_t b = static_cast<size_t>(offset) + want * rowSize; b < buffer.size();
                     ++b)
                  ASSERT_EQ(static_cast<uint8_t>(buffer[b]), kSentinel) << where;
              }
              next += static_cast<int64_t>(want);
            }
            ASSERT_EQ(next, rows) << where;
            EXPECT_EQ(rowsFetched, 0u) << where;
          }
        }
      }
    }
  }
  EXPECT_TRUE(node.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Deliveries, RowsetFetchTest, ::testing::ValuesIn(kDeliveries),
                         [](const ::testing::TestParamInfo<Delivery>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           return name;
                         });

}  // namespace
