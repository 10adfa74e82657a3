// Writes the seeds of the fuzz targets over the exported functions: each is
// the flag byte a target reads first and then the answers the fake node's own
// encoders make (tests/support), so the seeds are the server's view of the
// protocol, not the library's. Run from the test build:
//   fuzz_seed_generator <fuzz folder of the sources>
// which (re)writes <folder>/<target>_seeds/<name>.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/fake_node.h"
#include "support/fake_results.h"
#include "support/fake_table.h"

namespace {

using fake::Attr;
using fake::Bytes;
using fake::Reply;
namespace r = fake::results;

std::filesystem::path root;

// The flag byte (and for the attributes target its text), then the answers.
Bytes Input(Bytes head, const std::vector<Reply>& answers) {
  for (const Reply& a : answers) {
    const Bytes e = fake::EncodeReply(a);
    head.insert(head.end(), e.begin(), e.end());
  }
  return head;
}

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::filesystem::path dir = root / (target + "_seeds");
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Reply WithAttrs(Reply reply, std::vector<Attr> attrs) {
  reply.attrs = std::move(attrs);
  return reply;
}

// An answer of one result whose data the caller made whole.
Reply OneResult(Bytes data) {
  Reply reply;
  reply.results = 1;
  reply.data = std::move(data);
  return reply;
}

const Bytes kNoRows = r::RowBlock({});

// The answer to create-prepared: handle, parameter description, result
// description.
Reply PrepareAnswer(const std::vector<r::Column>& params, const std::vector<r::Column>& columns) {
  return r::Answer({r::Handle(7), r::ResultSet(-5, params, 0, 0, kNoRows),
                    columns.empty() ? r::Empty() : r::ResultSet(-3, columns, 0, 0, kNoRows)});
}

void PrepareSeeds() {
  const std::vector<r::Column> two = {r::Column::Decimal("P1", 18, 0),
                                      r::Column::Char("P2", 20, 20, r::kVarying)};
  const std::vector<r::Column> columns = {
      r::Column::Decimal("A", 18, 2), r::Column::Char("NAME", 30, 120, r::kVarying | r::kUtf8),
      r::Column::Timestamp("T"), r::Column::Boolean("B"), r::Column::Double("D")};
  Write("prepare", "select_described", Input({0x00}, {PrepareAnswer({}, columns)}));
  Write("prepare", "one_parameter",
        Input({0x04}, {PrepareAnswer({r::Column::SmallDecimal("P", 9, 0)}, columns)}));
  Write("prepare", "two_parameters_v9",
        Input({0x09}, {WithAttrs(PrepareAnswer(two, {}),
                                 {Attr::Int32(fake::ATTR_PREPARED_PARAMCOUNT, 2)})}));
  Write("prepare", "old_server_v7", Input({0x0B}, {r::Answer({r::Handle(9)})}));
  Write("prepare", "refused", Input({0x10}, {r::Answer({r::Exception("syntax error", "42000")})}));
  // Prepared, then executed: the rows come inline with the result.
  const fake::Table table = fake::Table::Sample(columns, 3, 2);
  Write("prepare", "executed",
        Input({0x20}, {PrepareAnswer({}, columns),
                       r::Answer({r::ResultSet(-3, columns, 3, 3, table.Block(0, 3))})}));
}

void ExecuteSeeds() {
  const std::vector<r::Column> two = {r::Column::Decimal("P1", 18, 0),
                                      r::Column::Char("P2", 20, 20, r::kVarying)};
  // Rows 1 to 16 (bits 2-5 hold rows - 1), one block: its row count.
  Write("execute", "one_block_4_rows",
        Input({0x0C}, {PrepareAnswer(two, {}), r::Answer({r::RowCount(4)})}));
  Write("execute", "failed_block",
        Input({0x08}, {PrepareAnswer(two, {}),
                       r::Answer({r::Exception("unique constraint violated", "23000")})}));
  // A data message size of 64 bytes: a block per row or two, each answered.
  std::vector<Reply> blocks = {PrepareAnswer(two, {})};
  for (int k = 0; k < 4; ++k) blocks.push_back(r::Answer({r::RowCount(1)}));
  Write("execute", "numbered_blocks", Input({0x8C}, blocks));
  Write("execute", "still_executing_v9",
        Input({0x05}, {PrepareAnswer(two, {}), r::Answer({r::StillExecuting("running")}),
                       r::Answer({r::RowCount(2)})}));
  Write("execute", "binary_text_v8",
        Input({0x46}, {PrepareAnswer(two, {}), r::Answer({r::RowCount(2)})}));
  Write("execute", "size_from_answer",
        Input({0x10},
              {WithAttrs(PrepareAnswer(two, {}), {Attr::Int64(fake::ATTR_DATA_MESSAGE_SIZE, 80)}),
               r::Answer({r::RowCount(1)}), r::Answer({r::RowCount(1)}),
               r::Answer({r::RowCount(1)}), r::Answer({r::RowCount(2)})}));
}

void ParallelSeeds() {
  Write("parallel", "enter_two_nodes",
        Input({0x10}, {OneResult(r::EnterParallel(2, 77, {{8563, "n1"}, {8564, "node2"}}))}));
  Write("parallel", "enter_refused",
        Input({0x00}, {r::Answer({r::Exception("parallel mode refused", "42000")})}));
  Write("parallel", "host_names", Input({0x04}, {OneResult(r::Hostnames(2, {"n1", "node2"}))}));
  Write("parallel", "host_names_255", Input({0x04}, {OneResult(r::Hostnames(255, {"a", "b"}))}));
  // A slave's part: description and first rows, the starting row, the next
  // rows, the close.
  const std::vector<r::Column> columns = {r::Column::Decimal("ID", 18, 0),
                                          r::Column::Char("V", 10, 10, r::kVarying)};
  const fake::Table part = fake::Table::Sample(columns, 4, 3);
  Reply offset;
  offset.results = 1;
  fake::PutLE(offset.data, 6, 8);
  Write("parallel", "slave_part",
        Input({0x08}, {r::Answer({r::ResultSet(5, columns, 4, 2, part.Block(0, 2))}), offset,
                       r::FetchAnswer(2, part.Block(2, 2)), r::Answer({r::Empty()})}));
  Write("parallel", "all_calls",
        Input({0x1C},
              {OneResult(r::EnterParallel(1, 5, {{1, "h"}})), OneResult(r::Hostnames(1, {"h"})),
               r::Answer({r::ResultSet(5, columns, 1, 1, part.Block(0, 1))}), offset}));
}

void AttributesSeeds() {
  const std::vector<Attr> session = {
      Attr::Text(fake::ATTR_CURRENT_SCHEMA, "SYS"),
      Attr::Text(fake::ATTR_CURRENT_CATALOG, "EXA_DB"),
      Attr::Text(fake::ATTR_TIMEZONE, "EUROPE/BERLIN"),
      Attr::Text(fake::ATTR_TIMEZONE_BEHAVIOR, "INVALID SHIFT AMBIGUOUS ST"),
      Attr::Text(fake::ATTR_DATETIME_FORMAT, "YYYY-MM-DD HH24:MI:SS.FF6"),
      Attr::Text(fake::ATTR_DATE_FORMAT, "YYYY-MM-DD"),
      Attr::Text(fake::ATTR_NUMERIC_CHARACTERS, ".,"),
      Attr::Byte(fake::ATTR_TRANSACTION_STATE, 1),
      Attr::Bool(fake::ATTR_AUTOCOMMIT, false),
      Attr::Int32(fake::ATTR_PROTOCOL_VERSION, 13),
      Attr::Int32(fake::ATTR_MAX_IDENTIFIER_LENGTH, 128),
      Attr::Int64(fake::ATTR_MAX_VARCHAR_LENGTH, 2000000),
      Attr::Int64(fake::ATTR_DATA_MESSAGE_SIZE, 1 << 20),
      Attr::Int32(fake::ATTR_FEEDBACK_INTERVAL, 5),
      Attr::Text(fake::ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER, "\\"),
      Attr::Text(fake::ATTR_IDENTIFIER_QUOTE_STRING, "\""),
      Attr::Bool(fake::ATTR_TSUTC_ENABLED, true),
  };
  Reply settings;
  settings.attrs = session;
  Reply done = r::Answer({r::RowCount(0)});
  Write("attributes", "session_settings",
        Input({0x00, 3, 'A', 'B', 'C'},
              {settings, done, done,
               r::Answer({r::ResultSet(-3, {r::Column::Decimal("1", 1, 0)}, 1, 1,
                                       r::RowBlock({{r::Value::Int32(1)}}))})}));
  Reply versions;
  versions.attrs = {Attr::Int32(fake::ATTR_PROTOCOL_VERSION, 9),
                    Attr::Text(fake::ATTR_RELEASE_VERSION, "8.1.0")};
  Write("attributes", "older_version", Input({0x01, 0}, {versions, versions, versions}));
  Reply unknown;
  unknown.attrs = {Attr::Raw({14, 0, 1, 0, 0, 0, 'x'})};
  Write("attributes", "unassigned_id", Input({0x00, 1, 'S'}, {unknown}));
  Reply lying = settings;
  lying.numAttributes = 3;
  Write("attributes", "count_lies", Input({0x00, 0}, {lying}));
}

void LocalResultsSeeds() {
  // Written and read back: columns (type in bits 0-1, size above), names,
  // then per column and row a flag byte and the value.
  Write("local_results", "written_text_and_numbers",
        Bytes{0x00,
              /*3 columns*/ 2,
              /*2 rows*/ 2,
              /*VARCHAR 9*/ 0x20,
              1,
              'T',
              /*SMALLDECIMAL*/ 0x01,
              1,
              'I',
              /*DECIMAL*/ 0x02,
              1,
              'B',
              /*texts*/ 1,
              5,
              'h',
              'e',
              'l',
              'l',
              'o',
              0,
              /*ints*/ 1,
              7,
              0,
              0,
              0,
              1,
              0xff,
              0xff,
              0xff,
              0xff,
              /*bigints*/ 0,
              1,
              1,
              2,
              3,
              4,
              5,
              6,
              7,
              8});
  Write("local_results", "written_timestamp",
        Bytes{0x00, 0, 1, 0x03, 2, 'T', 'S', 1, 0xE8, 0x07, 0, 0, 12, 31, 23, 59, 58, 0, 0, 0, 0});
  // The columns micro-cache filled from the node's answer to get_columns.
  using C = r::Column;
  std::vector<C> columns;
  for (const char* name : {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME"})
    columns.push_back(C::Char(name, 128, 128, r::kVarying | r::kUtf8));
  columns.push_back(C::SmallDecimal("DATA_TYPE", 9, 0));
  columns.push_back(C::Char("TYPE_NAME", 40, 40, r::kVarying));
  columns.push_back(C::Decimal("COLUMN_SIZE", 18, 0));
  columns.push_back(C::Decimal("BUFFER_LENGTH", 18, 0));
  for (const char* name : {"DECIMAL_DIGITS", "NUM_PREC_RADIX", "NULLABLE"})
    columns.push_back(C::SmallDecimal(name, 9, 0));
  columns.push_back(C::Char("REMARKS", 254, 254, r::kVarying));
  columns.push_back(C::Char("COLUMN_DEF", 2000, 2000, r::kVarying));
  for (const char* name : {"SQL_DATA_TYPE", "SQL_DATETIME_SUB"})
    columns.push_back(C::SmallDecimal(name, 9, 0));
  columns.push_back(C::Decimal("CHAR_OCTET_LENGTH", 18, 0));
  columns.push_back(C::Decimal("ORDINAL_POSITION", 18, 0));
  columns.push_back(C::Char("IS_NULLABLE", 3, 3, r::kVarying));
  const fake::Table table = fake::Table::Sample(columns, 3, 0);
  for (uint8_t name : {0x01, 0x03, 0x05})
    Write("local_results", "columns_cache_" + std::to_string(name >> 1),
          Input({name}, {r::Answer({r::ResultSet(-3, columns, 3, 3, table.Block(0, 3))})}));
  Write("local_results", "columns_cache_refused",
        Input({0x01}, {r::Answer({r::Exception("object not found", "42000")})}));
}

void MetadataSeeds() {
  Write("metadata", "host_list",
        Input({0x00}, {OneResult(r::Hostnames(3, {"n11", "n12", "n13"}))}));
  Write("metadata", "host_list_small_buffer",
        Input({0x20}, {OneResult(r::Hostnames(3, {"node-eleven", "node-twelve", "node-13"}))}));
  Write("metadata", "host_list_refused",
        Input({0x00}, {r::Answer({r::Exception("not a cluster", "HY000")})}));
  const std::vector<r::Column> view = {r::Column::Char("NAME", 100, 100, r::kVarying),
                                       r::Column::Char("VALUE", 100, 400, r::kVarying | r::kUtf8)};
  const std::vector<std::pair<const char*, const char*>> rows = {
      {"databaseProductName", "Vandrel"}, {"databaseProductVersion", "8.1.0"},
      {"maxColumnNameLength", "128"},     {"identifierQuoteString", "\""},
      {"sqlKeywords", "ABSOLUTE,ACTION"}, {"supportedEncodings", "UTF8"}};
  fake::Table table;
  table.columns = view;
  table.rows = static_cast<int64_t>(rows.size());
  table.value = [&rows](int64_t row, size_t column) {
    return r::Value::Text(column == 0 ? rows[row].first : rows[row].second);
  };
  Write("metadata", "information_view",
        Input({0x04}, {r::Answer({r::ResultSet(-3, view, 6, 6, table.Block(0, 6))})}));
  // The view in two parts: the rest by byte budget.
  Write("metadata", "information_view_fetched",
        Input({0x04}, {r::Answer({r::ResultSet(1, view, 6, 2, table.Block(0, 2))}),
                       r::FetchAnswer(4, table.Block(2, 4)), r::Answer({r::Empty()})}));
  Write("metadata", "host_list_then_view",
        Input({0x0C}, {OneResult(r::Hostnames(1, {"n11"})),
                       r::Answer({r::ResultSet(-3, view, 6, 6, table.Block(0, 6))})}));
  const std::vector<r::Column> columns = {r::Column::Char("TABLE_CAT", 5, 5, r::kVarying),
                                          r::Column::Char("COLUMN_NAME", 20, 20, r::kVarying),
                                          r::Column::SmallDecimal("DATA_TYPE", 9, 0)};
  const fake::Table found = fake::Table::Sample(columns, 2, 0);
  Write("metadata", "columns_lookup",
        Input({0x08}, {r::Answer({r::ResultSet(-3, columns, 2, 2, found.Block(0, 2))})}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <fuzz folder>\n", argv[0]);
    return 2;
  }
  root = argv[1];
  PrepareSeeds();
  ExecuteSeeds();
  ParallelSeeds();
  AttributesSeeds();
  LocalResultsSeeds();
  MetadataSeeds();
  return 0;
}
