// libFuzzer target over the statement's answer parsing and row-block
// indexing. The first input byte chooses what the rest is:
//   bit 0 clear: an answer (results after the 4-byte result count), parsed
//                result by result as QVOMoreResults would;
//   bit 0 set:   a row block for a fixed description of one column of every
//                server type, the next 8 bytes giving the row count.
// Bit 1 switches the int-types-in-results setting. The statement has no
// server: a request it would send (closing a result set) fails at once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "connection/qvoConnection.h"
#include "statement/qvoStatement.h"

namespace {

qvoStatement& Statement() {
  // Both live for the whole run.
  static qvoConnection* conn = new qvoConnection(nullptr);
  static qvoStatement* stmt = [] {
    SQLHANDLE h = nullptr;
    return new qvoStatement(conn, &h);
  }();
  return *stmt;
}

// One column of each server type the row blocks carry.
struct FixedColumn {
  SQLSMALLINT qvoType;
  SQLINTEGER qvoTypeLen;
};
constexpr FixedColumn kColumns[] = {{6, 8},  {6, 4},   {63, 4},   {64, 16}, {8, 8},   {9, 1},
                                    {14, 4}, {21, 11}, {125, 11}, {10, 44}, {200, 44}};

void ParseAnswer(qvoStatement& s, const uint8_t* data, size_t size) {
  auto buffer = std::make_unique<char[]>(size + 4);
  const uint32_t results = 1;
  std::memcpy(buffer.get(), &results, 4);
  if (size) std::memcpy(buffer.get() + 4, data, size);
  s.TakeResults(buffer.release(), static_cast<qvo_int64>(size + 4));
  for (int n = 0; n < 256; ++n) {
    const SQLRETURN rc = s.MoreResults();
    if (rc == SQL_NO_DATA) break;
    if (rc == SQL_SUCCESS && s.Result().PtrArray()) {
      // Every indexed value lies inside the answer.
      for (SQLINTEGER c = 1; c <= s.Result().PtrArrayCols(); ++c)
        for (SQLBIGINT r = 1; r <= s.Result().ResultRowCount(); ++r)
          if (s.RowValue(c, r) == nullptr) __builtin_trap();
    }
  }
}

void IndexBlock(qvoStatement& s, const uint8_t* data, size_t size) {
  if (size < 8) return;
  int64_t rows = 0;
  std::memcpy(&rows, data, 8);
  data += 8;
  size -= 8;
  const SQLSMALLINT n = static_cast<SQLSMALLINT>(sizeof kColumns / sizeof kColumns[0]);
  s.IRD()->SetDescField(0, SQL_DESC_COUNT, reinterpret_cast<SQLPOINTER>(intptr_t{n}), 0);
  for (SQLSMALLINT c = 1; c <= n; ++c) {
    s.IRD()->GetRecord(c)->qvoType = kColumns[c - 1].qvoType;
    s.IRD()->GetRecord(c)->qvoTypeLen = kColumns[c - 1].qvoTypeLen;
  }
  auto block = std::make_unique<char[]>(size ? size : 1);
  if (size) std::memcpy(block.get(), data, size);
  s.SetBlockRows(0, rows);
  const SQLINTEGER used = s.CreatePointerArray(block.get(), static_cast<qvo_int64>(size));
  if (used > static_cast<SQLINTEGER>(size)) __builtin_trap();
  if (used >= 0 && rows > 0) {
    for (SQLINTEGER c = 1; c <= n; ++c)
      for (SQLBIGINT r = 1; r <= rows; ++r) {
        const char* v = s.RowValue(c, r);
        if (v == nullptr || v <= block.get() || v > block.get() + size) __builtin_trap();
      }
  }
  // The table points into the block, which goes now.
  s.InitStatement(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  qvoStatement& s = Statement();
  s.connection->connAttr.intTypesInResultsIfPossible = (flags & 2) != 0;
  if (flags & 1)
    IndexBlock(s, data + 1, size - 1);
  else
    ParseAnswer(s, data + 1, size - 1);
  s.InitStatement(4);
  return 0;
}
