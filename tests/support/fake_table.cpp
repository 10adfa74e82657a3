#include "support/fake_table.h"

#include <algorithm>
#include <string>
#include <utility>

namespace fake {

using results::Column;
using results::Value;

namespace {

// Row numbers and counts of a fetch request: int32 handle, int64 start,
// int64 row count or byte budget.
constexpr size_t kFetchRequestSize = 20;

}  // namespace

// ---- tables -------------------------------------------------------------------

Bytes Table::Block(int64_t start, int64_t count) const {
  Bytes out;
  for (size_t c = 0; c < columns.size(); ++c) {
    for (int64_t r = start; r < start + count; ++r) {
      const Value v = value(r, c);
      out.push_back(v.null ? 0 : 1);
      if (!v.null) out.insert(out.end(), v.bytes.begin(), v.bytes.end());
    }
  }
  return out;
}

size_t Table::RowBytes(int64_t row) const {
  size_t n = 0;
  for (size_t c = 0; c < columns.size(); ++c) {
    const Value v = value(row, c);
    n += 1 + (v.null ? 0 : v.bytes.size());
  }
  return n;
}

Table Table::Sample(std::vector<Column> columns, int64_t rows, int64_t nullEvery) {
  Table t;
  t.columns = std::move(columns);
  t.rows = rows;
  const std::vector<Column> cols = t.columns;
  t.value = [cols, nullEvery](int64_t row, size_t column) {
    if (nullEvery > 0 && (row + 1) % nullEvery == 0) return Value::Null();
    return SampleValue(cols[column], row);
  };
  return t;
}

Value SampleValue(const Column& column, int64_t row) {
  const auto day = static_cast<uint8_t>(1 + row % 28);
  const auto month = static_cast<uint8_t>(1 + row % 12);
  const auto year = static_cast<int16_t>(2000 + row % 100);
  switch (column.type) {
    case results::kSmallDecimal:
      return Value::Int32(static_cast<int32_t>(row));
    case results::kDecimal:
      return column.precision <= 9 ? Value::Int32(static_cast<int32_t>(row)) : Value::Int64(row);
    case results::kBigDecimal:
      return Value::Int128(row, row < 0 ? -1 : 0);
    case results::kDouble:
      return Value::Double(static_cast<double>(row) + 0.5);
    case results::kBoolean:
      return Value::Bool(row % 2 != 0);
    case results::kDate:
      return Value::Date(day, month, year);
    case results::kTimestamp:
    case results::kTimestampUtc:
      return Value::Timestamp(year, month, day, static_cast<uint8_t>(row % 24),
                              static_cast<uint8_t>(row % 60), static_cast<uint8_t>(row % 60),
                              static_cast<int32_t>(row % 1000));
    case results::kChar:
    case results::kIntervalMonth:
    case results::kIntervalDay: {
      std::string text = column.type == results::kChar ? "r" : "";
      text += std::to_string(row);
      if (column.octets >= 0 && text.size() > static_cast<size_t>(column.octets))
        text.resize(static_cast<size_t>(column.octets));
      return Value::Text(text);
    }
    default:
      return Value::Null();
  }
}

// ---- the node's side ----------------------------------------------------------

SqlMatch::SqlMatch(std::string exact)
    : test_([text = std::move(exact)](std::string_view sql) { return sql == text; }) {}

SqlMatch SqlMatch::Any() {
  return SqlMatch([](std::string_view) { return true; });
}

void FakeNode::OnSql(SqlMatch match, Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  sqlRules_.push_back({std::move(match), std::move(reply), nullptr, {}, nullptr});
}

void FakeNode::OnSql(SqlMatch match, Table table, Blocks blocks) {
  ServeTable(std::move(match), std::move(table), blocks);
}

void FakeNode::ServeTable(SqlMatch match, Table table, Blocks blocks) {
  auto shared = std::make_shared<const Table>(std::move(table));
  std::lock_guard<std::mutex> lock(mutex_);
  sqlRules_.push_back({std::move(match), std::nullopt, std::move(shared), blocks, nullptr});
}

void FakeNode::ServeAnswer(SqlMatch match, std::vector<AnswerPart> parts) {
  auto shared = std::make_shared<const std::vector<AnswerPart>>(std::move(parts));
  std::lock_guard<std::mutex> lock(mutex_);
  sqlRules_.push_back({std::move(match), std::nullopt, nullptr, {}, std::move(shared)});
}

void FakeNode::ClearSqlRules() {
  std::lock_guard<std::mutex> lock(mutex_);
  sqlRules_.clear();
  served_.clear();
}

void FakeNode::ClearHistory() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  trace_.clear();
  servedBlocks_.clear();
  errors_.clear();
}

Bytes FakeNode::ServeResultSet(const std::shared_ptr<const Table>& table, Blocks blocks,
                               uint8_t command) {
  const int64_t here = std::clamp<int64_t>(blocks.inlineRows, 0, table->rows);
  int32_t handle = -3;
  if (here < table->rows) {
    std::lock_guard<std::mutex> lock(mutex_);
    handle = nextHandle_++;
    served_[handle] = ServedResult{table, blocks, true};
  }
  const Bytes block = table->Block(0, here);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    servedBlocks_.push_back({handle, command, 0, here, block.size()});
  }
  return results::ResultSet(handle, table->columns, table->rows, here, block);
}

void FakeNode::ServeResultPart(int32_t handle, Table table, int64_t offset, Blocks blocks) {
  auto shared = std::make_shared<const Table>(std::move(table));
  std::lock_guard<std::mutex> lock(mutex_);
  parts_[handle] = ResultPart{std::move(shared), blocks, offset};
}

// describe_resultset and send_slave_offset of the result parts this node
// holds; none when the node holds no part at all (left to the handlers).
std::optional<Reply> FakeNode::AnswerParallel(const Request& request) {
  std::shared_ptr<const Table> table;
  Blocks blocks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (parts_.empty()) return std::nullopt;
    const int32_t handle =
        request.data.size() == 4 ? static_cast<int32_t>(GetLE(request.data.data(), 4)) : -1;
    auto it = parts_.find(handle);
    if (it == parts_.end()) {
      errors_.push_back("parallel request " + std::to_string(request.command) + " of " +
                        std::to_string(request.data.size()) + " bytes for no part held");
      changed_.notify_all();
      return results::Answer({results::Exception("Result set not found.", "HY010")});
    }
    if (request.command == kSendSlaveOffset) {
      Reply reply;
      reply.results = 1;
      PutLE(reply.data, static_cast<uint64_t>(it->second.offset), 8);
      return reply;
    }
    table = it->second.table;
    blocks = it->second.blocks;
    served_[handle] = ServedResult{table, blocks, true};
  }
  const int32_t handle = static_cast<int32_t>(GetLE(request.data.data(), 4));
  const int64_t here = std::clamp<int64_t>(blocks.inlineRows, 0, table->rows);
  const Bytes block = table->Block(0, here);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    servedBlocks_.push_back({handle, request.command, 0, here, block.size()});
  }
  return results::Answer({results::ResultSet(handle, table->columns, table->rows, here, block)});
}

void FakeNode::SetProtocolVersion(int32_t version) {
  std::lock_guard<std::mutex> lock(mutex_);
  protocolVersion_ = version;
}

int32_t FakeNode::ProtocolVersion() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return protocolVersion_;
}

std::vector<std::string> FakeNode::Sql() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const Request& r : requests_)
    if (r.command == kExecute || r.command == kCreatePrepared)
      out.emplace_back(r.data.begin(), r.data.end());
  return out;
}

std::vector<ServedBlock> FakeNode::ServedBlocks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return servedBlocks_;
}

std::vector<int32_t> FakeNode::OpenResultSets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<int32_t> out;
  for (const auto& [handle, result] : served_)
    if (result.open) out.push_back(handle);
  return out;
}

// The answer of a request that an SQL rule or a served table decides; none
// when neither does.
std::optional<Reply> FakeNode::AnswerFromTables(const Request& request) {
  const uint8_t command = request.command;
  if (command == kDescribeResultSet || command == kSendSlaveOffset) return AnswerParallel(request);
  if (command == kExecute || command == kCreatePrepared) {
    const std::string sql(request.data.begin(), request.data.end());
    std::shared_ptr<const Table> table;
    Blocks blocks;
    std::shared_ptr<const std::vector<AnswerPart>> parts;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto rule = std::find_if(sqlRules_.rbegin(), sqlRules_.rend(), [&](const SqlRule& r) {
        return (r.reply || command == kExecute) && r.match.Matches(sql);
      });
      if (rule == sqlRules_.rend()) return std::nullopt;
      if (rule->reply) return *rule->reply;
      table = rule->table;
      blocks = rule->blocks;
      parts = rule->parts;
    }
    if (parts) {
      std::vector<Bytes> answer;
      for (const AnswerPart& part : *parts)
        answer.push_back(part.table ? ServeResultSet(part.table, part.blocks, command)
                                    : results::RowCount(part.rowCount));
      return results::Answer(answer);
    }
    return results::Answer({ServeResultSet(table, blocks, command)});
  }

  if (command != kSendRows && command != kSendRowsFetch2 && command != kCloseResultSet)
    return std::nullopt;
  if (request.data.size() < 4) return std::nullopt;
  const auto handle = static_cast<int32_t>(GetLE(request.data.data(), 4));
  std::shared_ptr<const Table> table;
  Blocks blocks;
  int32_t protocol = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = served_.find(handle);
    if (it == served_.end()) return std::nullopt;
    protocol = protocolVersion_;
    if (!it->second.open) {
      errors_.push_back("request for closed result set " + std::to_string(handle));
      changed_.notify_all();
      return results::Answer({results::Exception("Result set is closed.", "HY010")});
    }
    if (command == kCloseResultSet) {
      it->second.open = false;
      return Reply{};
    }
    table = it->second.table;
    blocks = it->second.blocks;
  }
  if (request.data.size() != kFetchRequestSize) {
    Fail("fetch request of " + std::to_string(request.data.size()) + " bytes");
    return results::Answer({results::Exception("Malformed fetch request.", "08S01")});
  }
  const auto start = static_cast<int64_t>(GetLE(request.data.data() + 4, 8));
  const auto asked = static_cast<int64_t>(GetLE(request.data.data() + 12, 8));
  if (start < 0 || asked < 0) {
    Fail("fetch request with a negative start or size");
    return results::Answer({results::Exception("Malformed fetch request.", "08S01")});
  }
  const int64_t left = std::max<int64_t>(0, table->rows - start);
  int64_t rows = 0;
  if (command == kSendRows) {
    rows = std::min(asked, left);
  } else {
    // Whole rows up to the budget, at least one so the client gets on.
    const int64_t budget = blocks.maxBytes > 0 ? std::min(asked, blocks.maxBytes) : asked;
    int64_t bytes = 0;
    while (rows < left && (blocks.maxRows <= 0 || rows < blocks.maxRows)) {
      const auto next = static_cast<int64_t>(table->RowBytes(start + rows));
      if (rows > 0 && bytes + next > budget) break;
      bytes += next;
      ++rows;
    }
  }
  const Bytes block = table->Block(start, rows);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    servedBlocks_.push_back({handle, command, start, rows, block.size()});
  }
  if (command == kSendRows) return results::SendRowsAnswer(block);
  return results::FetchAnswer(rows, block, protocol >= 9);
}

}  // namespace fake
