// Writes the seeds of the fuzz targets over the exported functions: each is
// the flag byte a target reads first and then the answers the fake node's own
// encoders make (tests/support), so the seeds are the server's view of the
// protocol, not the library's. Run from the test build:
//   fuzz_seed_generator <fuzz folder of the sources>
// which (re)writes <folder>/<target>_seeds/<name>.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "convert_plan.h"
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

// convert: a column of every server type, values chosen to reach the edges
// of every conversion (limits of each width, scales, NaN and infinities,
// calendar fields no calendar has, ill-formed and multi-byte UTF-8, numbers
// written as text), a NULL in each column.
const std::vector<r::Column> kEveryType = {
    r::Column::Decimal("D9", 9, 2),
    r::Column::Decimal("D18", 18, 4),
    r::Column::SmallDecimal("S", 9, 0),
    r::Column::BigDecimal("B", 36, 6),
    r::Column::Double("F"),
    r::Column::Boolean("L"),
    r::Column::Date("DT"),
    r::Column::Timestamp("TS"),
    r::Column::TimestampUtc("TU"),
    r::Column::Char("C", 8, 8, 0),
    r::Column::Char("V", 20, 80, r::kVarying | r::kUtf8),
    r::Column::Interval("IM", r::kIntervalMonth, 12, 12, 0),
    r::Column::Interval("ID", r::kIntervalDay, 29, 29, 0),
};

r::Value EdgeValue(int64_t row, size_t column) {
  using V = r::Value;
  constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
  constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
  if ((row + static_cast<int64_t>(column)) % 7 == 6) return V::Null();
  const auto k = static_cast<size_t>(row % 6);
  switch (column) {
    case 0:
      return V::Int32(std::vector<int32_t>{12345, -12345, 0, kMax32, kMin32, 100}[k]);
    case 1:
      return V::Int64(std::vector<int64_t>{123456789, -5, 0, kMax64, kMin64, 10000}[k]);
    case 2:
      return V::Int32(std::vector<int32_t>{7, -7, 0, kMax32, kMin32, 1}[k]);
    case 3: {
      const int64_t halves[6][2] = {{1, 0},       {-1, -1},         {0, 1},
                                    {kMin64, -1}, {kMax64, kMax64}, {123456789012, 0}};
      return V::Int128(halves[k][0], halves[k][1]);
    }
    case 4:
      return V::Double(std::vector<double>{0.5, -1e300, std::nan(""), -INFINITY, 4.9e-324, 2.9}[k]);
    case 5:
      return r::Value{false, Bytes{static_cast<uint8_t>(std::vector<int>{1, 0, 2, 255, 1, 0}[k])}};
    case 6: {
      const int d[6][3] = {{25, 12, 2023}, {1, 1, -1},    {31, 13, 32767},
                           {0, 0, 0},      {29, 2, 2024}, {200, 200, -32768}};
      return V::Date(static_cast<uint8_t>(d[k][0]), static_cast<uint8_t>(d[k][1]),
                     static_cast<int16_t>(d[k][2]));
    }
    case 7:
    case 8: {
      const int t[6][7] = {{2023, 12, 25, 13, 45, 7, 123456789},
                           {-5, 200, 200, 99, 99, 99, -1},
                           {1, 1, 1, 0, 0, 0, 0},
                           {9999, 12, 31, 23, 59, 61, 999999999},
                           {1970, 1, 1, 0, 0, 0, 1000000000},
                           {-32768, 0, 0, 255, 255, 255, kMin32}};
      return V::Timestamp(static_cast<int16_t>(t[k][0]), static_cast<uint8_t>(t[k][1]),
                          static_cast<uint8_t>(t[k][2]), static_cast<uint8_t>(t[k][3]),
                          static_cast<uint8_t>(t[k][4]), static_cast<uint8_t>(t[k][5]), t[k][6]);
    }
    case 9:
      return V::Text(std::vector<std::string>{"abc", "", "12345678", " +17 ", "1e3", "-0.5"}[k]);
    case 10:
      return V::Text(std::vector<std::string>{"h\xc3\xa9llo w\xc3\xb6rld",
                                              "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
                                              "\xff\xfe\x80\x80\x80\x80\x80 bad", "-42abc",
                                              "3.14159", "\xf0\x9f\x98\x80\xf0\x9f\x98\x80x"}[k]);
    case 11:
      return V::Text(std::vector<std::string>{"+01-02", "-99-11", "+00-00", "1", "", "+100-0"}[k]);
    default:
      return V::Text(std::vector<std::string>{"+01 02:03:04.567", "-00 00:00:00.000", "x",
                                              "+999999999 23:59:59.999", "", "0"}[k]);
  }
}

fake::Table EdgeTable(std::vector<r::Column> columns, int64_t rows) {
  fake::Table t;
  t.columns = std::move(columns);
  t.rows = rows;
  t.value = EdgeValue;
  return t;
}

// The client's side: flags, settings, more settings, four orientations and
// eight (C type, length and form) plans.
struct Plan {
  SQLSMALLINT cType;
  SQLLEN length = 0;
  uint8_t form = 0;
  bool otherWidth = false;
};
Bytes ClientSide(uint8_t flags, uint8_t settings, uint8_t more, const std::vector<Plan>& plans,
                 std::vector<uint8_t> orientations = {}, uint8_t wideCodeSet = 0) {
  namespace c = convert;
  Bytes out = {flags, settings, more};
  orientations.resize(4, c::Orientation(SQL_FETCH_NEXT, 0));
  out.insert(out.end(), orientations.begin(), orientations.end());
  for (size_t i = 0; i < c::kPlanCount; ++i) {
    const Plan& p = plans[i % plans.size()];
    out.push_back(
        static_cast<uint8_t>(c::CTypeIndex(p.cType) | (p.otherWidth ? c::kOtherWidth : 0)));
    out.push_back(static_cast<uint8_t>(c::LengthIndex(p.length) | p.form));
  }
  out.push_back(wideCodeSet);
  return out;
}

uint8_t Rowset(int rows) { return static_cast<uint8_t>((rows - 1) << convert::kRowsetShift); }

void ConvertSeeds() {
  namespace c = convert;
  const fake::Table table = EdgeTable(kEveryType, 6);
  const Reply inline6 = r::Answer({r::ResultSet(-3, kEveryType, 6, 6, table.Block(0, 6))});
  const std::vector<Plan> texts = {{SQL_C_CHAR, 40},     {SQL_C_WCHAR, 40},     {SQL_C_BINARY, 16},
                                   {QVO_WCHAR_UTF8, 25}, {QVO_WCHAR_UTF16, 19}, {SQL_C_CHAR, 5},
                                   {QVO_WCHAR_UTF16, 6}, {SQL_C_CHAR, 300}};
  const std::vector<Plan> numbers = {{SQL_C_SLONG},    {SQL_C_SBIGINT}, {SQL_C_DOUBLE},
                                     {SQL_C_NUMERIC},  {SQL_C_BIT},     {SQL_C_USHORT},
                                     {SQL_C_UTINYINT}, {SQL_C_FLOAT}};
  const std::vector<Plan> dates = {
      {SQL_C_DATE},      {SQL_C_TYPE_TIME}, {SQL_C_TYPE_TIMESTAMP}, {QVO_TYPE_TIMESTAMP_UTC},
      {SQL_C_SLONG, 12}, {QVO_INT32},       {SQL_C_DEFAULT, 40},    {SQL_C_ULONG}};
  const std::vector<Plan> internal = {{QVO_INT32},
                                      {QVO_INT64},
                                      {QVO_INT128},
                                      {QVO_VARCHAR_PTR},
                                      {QVO_WCHAR_UTF8, 16},
                                      {QVO_WCHAR_UTF16, 16},
                                      {QVO_TYPE_TIMESTAMP_UTC},
                                      {SQL_C_DEFAULT, 25}};
  const std::vector<Plan> pieces = {{SQL_C_CHAR, 5, c::kByGetData},
                                    {SQL_C_WCHAR, 6, c::kByGetData},
                                    {SQL_C_BINARY, 3, c::kByGetData},
                                    {QVO_WCHAR_UTF8, 4, c::kByGetData},
                                    {SQL_C_SLONG, 0, c::kByGetData},
                                    {SQL_C_DOUBLE, 0, c::kByGetData},
                                    {SQL_C_CHAR, 2, c::kByGetData | c::kAskLength},
                                    {QVO_WCHAR_UTF16, 300, c::kByGetData}};
  Write("convert", "every_type_as_text", Input(ClientSide(Rowset(4), 0, 0, texts), {inline6}));
  Write("convert", "every_type_as_numbers", Input(ClientSide(Rowset(8), 0, 0, numbers), {inline6}));
  Write("convert", "every_type_as_dates", Input(ClientSide(Rowset(2), 0, 0, dates), {inline6}));
  Write("convert", "internal_types", Input(ClientSide(Rowset(3), 0, 0, internal), {inline6}));
  Write("convert", "getdata_pieces", Input(ClientSide(Rowset(1), 0, 0, pieces), {inline6}));
  std::vector<Plan> mixed = pieces;
  for (size_t i = 0; i < mixed.size(); i += 2) mixed[i] = texts[i];
  Write("convert", "getdata_rowset_and_bound",
        Input(ClientSide(Rowset(4), 0, 0, mixed), {inline6}));

  // Rows in several blocks: fetched by byte budget (protocol 13), then by
  // row count (protocol 7), each result closed at the end.
  const fake::Table twenty = EdgeTable(kEveryType, 20);
  Write("convert", "fetched_blocks",
        Input(ClientSide(Rowset(4), 0, 0, texts),
              {r::Answer({r::ResultSet(5, kEveryType, 20, 3, twenty.Block(0, 3))}),
               r::FetchAnswer(5, twenty.Block(3, 5)), r::FetchAnswer(12, twenty.Block(8, 12)),
               Reply{}}));
  Write("convert", "more_data_v7",
        Input(ClientSide(static_cast<uint8_t>(Rowset(4) | 3), 0, 0, numbers),
              {r::Answer({r::ResultSet(5, kEveryType, 10, 2, twenty.Block(0, 2))}),
               r::SendRowsAnswer(twenty.Block(2, 4)), r::SendRowsAnswer(twenty.Block(6, 4)),
               Reply{}}));
  Write(
      "convert", "batch",
      Input(ClientSide(static_cast<uint8_t>(Rowset(2) | c::kBatch), 0, 0, dates),
            {r::Answer({r::RowCount(1), r::ResultSet(-3, kEveryType, 6, 6, table.Block(0, 6))})}));
  Write("convert", "two_results",
        Input(ClientSide(Rowset(3), 0, 0, internal),
              {r::Answer({r::ResultSet(-3, kEveryType, 6, 6, table.Block(0, 6)),
                          r::ResultSet(-3, kEveryType, 2, 2, table.Block(0, 2))})}));
  Write("convert", "scrolled",
        Input(ClientSide(
                  static_cast<uint8_t>(Rowset(2) | c::kScroll), 0, 0, mixed,
                  {c::Orientation(SQL_FETCH_LAST, 0), c::Orientation(SQL_FETCH_PRIOR, 0),
                   c::Orientation(SQL_FETCH_ABSOLUTE, 3), c::Orientation(SQL_FETCH_RELATIVE, -2)}),
              {inline6}));
  Write("convert", "latin1_code_set", Input(ClientSide(Rowset(2), 2, 0, texts), {inline6}));
  Write("convert", "ascii_code_set_pieces", Input(ClientSide(Rowset(1), 3, 0, pieces), {inline6}));
  Write("convert", "settings",
        Input(ClientSide(Rowset(4),
                         c::kDecimalComma | c::kStringsNotNull | c::kDecimalsKept |
                             c::kExternalConversion | c::kMaxLength | c::kMaxRows,
                         2 | c::kIntTypes | c::kWords, texts),
              {inline6}));
  std::vector<Plan> valuesOnly = numbers;
  for (Plan& p : valuesOnly) p.form = c::kValueOnly;
  Write("convert", "no_status_array_no_indicators",
        Input(ClientSide(static_cast<uint8_t>(Rowset(5) | c::kNoStatusArray), 0, 0, valuesOnly),
              {inline6}));
  // Text kept in UTF-32 and read in both widths; SQL_C_WCHAR as UTF-8.
  std::vector<Plan> widths = pieces;
  for (Plan& p : widths) p.otherWidth = true;
  Write("convert", "utf32_code_set_both_widths",
        Input(ClientSide(Rowset(1), 1, c::kCodeSetHigh, widths), {inline6}));
  Write("convert", "wide_as_utf8",
        Input(ClientSide(Rowset(4), 0, c::kWideAsUtf8, texts), {inline6}));
  // UTF-8 kept as it is and cut in pieces on character boundaries, at most
  // 7 bytes a piece; wide text in other code pages of 2-byte units.
  Write("convert", "utf8_code_set_pieces",
        Input(ClientSide(Rowset(2), 1 | c::kMaxLength, 0, pieces), {inline6}));
  Write("convert", "utf16be_wide_data",
        Input(ClientSide(Rowset(3), 0, 0, texts, {}, 1), {inline6}));
  Write("convert", "ucs2_wide_data_pieces",
        Input(ClientSide(Rowset(1), 0, 0, widths, {}, 2), {inline6}));
  Write("convert", "not_retrieved",
        Input(ClientSide(Rowset(3), 0, c::kRetrieveOff, mixed), {inline6}));
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
  ConvertSeeds();
  return 0;
}
