// Parsing answers into the statement: result kinds, result-set descriptions
// in the IRD, inline row blocks, and answers that do not hold what they
// announce.
#include <cstring>
#include <string>
#include <vector>

#include "statement_fixture.h"

namespace {

using namespace fake::results;
using fake::Bytes;

qvo_int16 I16(const char* p) {
  qvo_int16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
qvo_int32 I32(const char* p) {
  qvo_int32 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
qvo_int64 I64(const char* p) {
  qvo_int64 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One column of every readable server type, with a value in row 1 and NULL
// in row 2.
struct TypeCase {
  Column column;
  Value value;
  SQLSMALLINT concise;  // with int types in results on
  const char* typeName;
  SQLSMALLINT qvoType;
  SQLINTEGER qvoTypeLen;
  SQLSMALLINT nativeType;
  SQLINTEGER precision;
  SQLLEN displaySize;  // before the character display factor
};

std::vector<TypeCase> AllTypes() {
  return {
      {Column::Decimal("D18", 18, 0), Value::Int64(123456789012), SQL_BIGINT, "BIGINT", 6, 8,
       QVO_INT64, 18, 20},
      {Column::Decimal("D9", 9, 2), Value::Int32(-5), SQL_DECIMAL, "DECIMAL", 6, 4, QVO_INT32, 9,
       11},
      {Column::SmallDecimal("S5", 5, 0), Value::Int32(77), SQL_INTEGER, "INTEGER", 63, 4, QVO_INT32,
       5, 7},
      {Column::BigDecimal("B19", 19, 0), Value::Int128(-1, 0), SQL_BIGINT, "BIGINT", 64, 16,
       QVO_INT128, 19, 21},
      {Column::BigDecimal("B20", 20, 0), Value::Int128(5, 1), SQL_DECIMAL, "DECIMAL", 64, 16,
       QVO_INT128, 20, 22},
      {Column::Double("F"), Value::Double(2.5), SQL_DOUBLE, "DOUBLE", 8, 8, SQL_DOUBLE, 0, 0},
      {Column::Boolean("BO"), Value::Bool(true), SQL_BIT, "BOOLEAN", 9, 1, 1, 0, 0},
      {Column::Date("DA"), Value::Date(29, 2, 2024), SQL_TYPE_DATE, "DATE", 14, 4, SQL_TYPE_DATE, 0,
       0},
      {Column::Timestamp("TS"), Value::Timestamp(2024, 2, 29, 13, 5, 9, 123456789),
       SQL_TYPE_TIMESTAMP, "TIMESTAMP", 21, 11, SQL_TYPE_TIMESTAMP, 0, 0},
      {Column::TimestampUtc("TU"), Value::Timestamp(1999, 12, 31, 23, 59, 59, 0),
       QVO_TYPE_TIMESTAMP_UTC, "TIMESTAMP_UTC", 125, 11, QVO_TYPE_TIMESTAMP_UTC, 0, 0},
      {Column::Char("C", 10, 40, 0), Value::Text("abc"), SQL_CHAR, "CHAR", 10, 44, 1, 10, 10},
      {Column::Char("V", 10, 40, kVarying | kUtf8), Value::Text("ab"), SQL_VARCHAR, "VARCHAR", 200,
       44, 1, 10, 10},
      {Column::Interval("IM", kIntervalMonth, 6, 6, 0), Value::Text("+01-02"), SQL_CHAR,
       "INTERVAL YEAR TO MONTH", 200, 10, 1, 6, 6},
      {Column::Interval("ID", kIntervalDay, 9, 9, kVarying), Value::Text("+1 02:03"), SQL_VARCHAR,
       "INTERVAL DAY TO SECOND", 200, 13, 1, 9, 9},
  };
}

Bytes AllTypesResult(int32_t handle) {
  std::vector<Column> columns;
  std::vector<std::vector<Value>> block;
  for (const TypeCase& t : AllTypes()) {
    columns.push_back(t.column);
    block.push_back({t.value, Value::Null()});
  }
  return ResultSet(handle, columns, 2, 2, RowBlock(block));
}

TEST_F(StatementTest, ResultSetOfEveryTypeIsDescribedAndIndexed) {
  conn->connAttr.intTypesInResultsIfPossible = true;
  s->stmtAttr.characterDisplaySize = 2;
  node.Push(fake::results::Answer({AllTypesResult(-3)}));
  ASSERT_EQ(Exec("SELECT * FROM ALL_TYPES"), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(s->resultHandle, -3);
  EXPECT_EQ(s->Result().NLines(), 2u);
  EXPECT_EQ(s->Result().ResultRowCount(), 2);
  const auto types = AllTypes();
  ASSERT_EQ(s->IRD()->header.count, static_cast<SQLSMALLINT>(types.size()));
  EXPECT_EQ(s->ARD()->header.count, s->IRD()->header.count);
  for (SQLSMALLINT i = 1; i <= s->IRD()->header.count; ++i) {
    const TypeCase& t = types[static_cast<size_t>(i - 1)];
    const __cliDescriptorRecords* r = s->IRD()->GetRecord(i);
    SCOPED_TRACE(t.column.name);
    EXPECT_STREQ(r->descName, t.column.name.c_str());
    EXPECT_STREQ(r->baseColumnName, t.column.name.c_str());
    EXPECT_EQ(r->unnamed, 0);
    EXPECT_EQ(r->conciseType, t.concise);
    EXPECT_STREQ(r->typeName, t.typeName);
    EXPECT_EQ(r->qvoType, t.qvoType);
    EXPECT_EQ(r->qvoTypeLen, t.qvoTypeLen);
    EXPECT_EQ(r->nativeType, t.nativeType);
    EXPECT_EQ(r->nullable, SQL_NULLABLE);
    EXPECT_EQ(r->charAttr, static_cast<char>(t.column.flags));
    if (t.precision) {
      EXPECT_EQ(r->precision, t.precision);
      EXPECT_EQ(r->displaySize, 2 * t.displaySize);
    }
    // Row 1 holds the value (converted to host order), row 2 is NULL.
    const char* v = s->RowValue(i, 1);
    ASSERT_NE(v, nullptr);
    EXPECT_FALSE(s->RowIsNull(i, 1));
    EXPECT_TRUE(s->RowIsNull(i, 2));
    EXPECT_EQ(v[-1], 1);
  }
  EXPECT_EQ(I64(s->RowValue(1, 1)), 123456789012);
  EXPECT_EQ(I32(s->RowValue(2, 1)), -5);
  EXPECT_EQ(I64(s->RowValue(4, 1)), -1);
  EXPECT_EQ(I64(s->RowValue(5, 1) + 8), 1);
  EXPECT_EQ(I16(s->RowValue(8, 1) + 2), 2024);
  const char* ts = s->RowValue(9, 1);
  EXPECT_EQ(I16(ts), 2024);
  EXPECT_EQ(std::string(ts + 2, 5), std::string("\x02\x1d\x0d\x05\x09", 5));
  EXPECT_EQ(I32(ts + 7), 123456789);
  // Character values: the pointer addresses the length word.
  const char* text = s->RowValue(12, 1);
  EXPECT_EQ(I32(text), 2);
  EXPECT_EQ(std::string(text + 4, 2), "ab");
  EXPECT_EQ(s->RowValue(12, 3), nullptr);
  EXPECT_EQ(s->RowValue(15, 1), nullptr);
  EXPECT_EQ(s->MoreResults(), SQL_NO_DATA);
}

TEST_F(StatementTest, IntegerTypesFollowTheConnectionSetting) {
  struct Case {
    Column column;
    bool intTypes;
    SQLSMALLINT concise;
  };
  const Case cases[] = {
      {Column::Decimal("a", 18, 0), true, SQL_BIGINT},
      {Column::Decimal("a", 18, 0), false, SQL_DECIMAL},
      {Column::Decimal("a", 18, 1), true, SQL_DECIMAL},
      {Column::SmallDecimal("a", 9, 0), true, SQL_INTEGER},
      {Column::SmallDecimal("a", 9, 0), false, SQL_DECIMAL},
      {Column::BigDecimal("a", 19, 0), true, SQL_BIGINT},
      {Column::BigDecimal("a", 20, 0), true, SQL_DECIMAL},
      // The largest precision the field holds: its lengths do not overflow.
      {Column::Decimal("a", 0x7FFFFFFF, 3), true, SQL_DECIMAL},
  };
  for (const Case& c : cases) {
    conn->connAttr.intTypesInResultsIfPossible = c.intTypes;
    Give(ResultSet(-3, {c.column}, 0, 0, {}));
    ASSERT_EQ(s->MoreResults(), SQL_SUCCESS);
    const __cliDescriptorRecords* r = s->IRD()->GetRecord(1);
    EXPECT_EQ(r->conciseType, c.concise)
        << c.column.precision << "," << c.column.scale << " int types " << c.intTypes;
    EXPECT_EQ(r->displaySize, SQLLEN{c.column.precision} + 2);
    EXPECT_EQ(r->octetLength, SQLLEN{c.column.precision} + 2);
  }
}

TEST_F(StatementTest, EveryResultStartsFromAnEmptyIrd) {
  Give(Join({ResultSet(-3, {Column::Decimal("A", 18, 4), Column::Double("B")}, 0, 0, {}),
             ResultSet(-3, {Column::Boolean("C")}, 0, 0, {})}));
  ASSERT_EQ(s->MoreResults(), SQL_SUCCESS);
  __cliDescriptorRecords::SetOwnedText(s->IRD()->GetRecord(1)->label,
                                       s->IRD()->GetRecord(1)->labelLen, "stale", 5);
  ASSERT_EQ(s->MoreResults(), SQL_SUCCESS);
  ASSERT_EQ(s->IRD()->header.count, 1);
  const __cliDescriptorRecords* r = s->IRD()->GetRecord(1);
  EXPECT_STREQ(r->descName, "C");
  EXPECT_EQ(r->label, nullptr);
  EXPECT_EQ(r->scale, 0);
}

TEST_F(StatementTest, ResultKindsSetTheStatementState) {
  Give(Join({RowCount(5), Empty(), Handle(42), MoreRows(), RowCount(3000000000LL),
             Exception("division by zero", "22012"), Exception("bad order", "42X99"),
             StillExecuting("running")}),
       8);
  struct Step {
    SQLRETURN rc;
    SQLINTEGER resultHandle;
    SQLLEN rowCount;
    const char* diag;
  };
  const Step steps[] = {
      {SQL_SUCCESS, -2, 5, ""},
      {SQL_SUCCESS, -2, 0, ""},  // empty: the remembered state
      {SQL_SUCCESS, -2, 0, ""},
      {SQL_SUCCESS, -2, 0, ""},
      {SQL_SUCCESS, -2, 2147483647, ""},
      {SQL_ERROR, -1, 0, "22012 division by zero"},
      {SQL_ERROR, -1, 0, "HY010 Function sequence error"},
      {SQL_STILL_EXECUTING, -7, 0, ""},
      {SQL_NO_DATA, -2, 0, ""},
  };
  int n = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(n++);
    EXPECT_EQ(s->MoreResults(), step.rc);
    EXPECT_EQ(s->resultHandle, step.resultHandle);
    SQLLEN rows = -99;
    ASSERT_EQ(s->RowCount(&rows), SQL_SUCCESS);
    EXPECT_EQ(rows, step.rowCount);
    EXPECT_EQ(LastDiag(*s), step.diag);
  }
  EXPECT_EQ(s->preparedHandle, 42);
  EXPECT_EQ(s->executionStatus, "running");
  EXPECT_EQ(s->diagHeader.diagNumber, 0);
  s->resultHandle = -2;  // nothing runs on the node
}

TEST_F(StatementTest, ShortAnswersHoldNoResult) {
  for (const Bytes& data : {Bytes{}, Bytes{1, 0}}) {
    auto buffer = std::make_unique<char[]>(data.size() + 1);
    if (!data.empty()) std::memcpy(buffer.get(), data.data(), data.size());
    s->TakeResults(buffer.release(), static_cast<qvo_int64>(data.size()));
    EXPECT_EQ(s->MoreResults(), SQL_NO_DATA);
  }
  s->TakeResults(nullptr, 0);
  EXPECT_EQ(s->MoreResults(), SQL_NO_DATA);
  EXPECT_EQ(s->RowCount(nullptr), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Invalid row count pointer.");
}

// Every prefix of a valid answer is refused without reading past it.
TEST_F(StatementTest, EveryTruncationOfAResultSetIsRefused) {
  const Bytes full = AllTypesResult(-3);
  for (size_t n = 1; n < full.size(); ++n) {
    Give(Bytes(full.begin(), full.begin() + static_cast<long>(n)));
    ASSERT_EQ(s->MoreResults(), SQL_ERROR) << n;
    ASSERT_EQ(LastDiag(*s), "HY010 Incorrect data array received from server.") << n;
    EXPECT_EQ(s->Result().PtrArray(), nullptr) << n;
    ASSERT_EQ(s->MoreResults(), SQL_NO_DATA) << n;
  }
}

Bytes Le32(int32_t v) {
  Bytes out;
  fake::PutLE(out, static_cast<uint32_t>(v), 4);
  return out;
}
Bytes Le64(int64_t v) {
  Bytes out;
  fake::PutLE(out, static_cast<uint64_t>(v), 8);
  return out;
}

// A result-set header with the given counts, then `rest`.
Bytes Header(int32_t columns, int64_t total, int64_t here, const Bytes& rest) {
  return Join({Bytes{1}, Le32(-3), Le32(columns), Le64(total), Le64(here), rest});
}

TEST_F(StatementTest, MalformedAnswersGiveADiagnostic) {
  const std::string bad = "HY010 Incorrect data array received from server.";
  const Bytes varchar = Describe(Column::Char("v", 5, 5, kVarying));
  struct Case {
    const char* name;
    Bytes data;
    std::string diag;
  };
  const std::vector<Case> cases = {
      {"unknown kind", {7}, "08S01 Invalid type of server answer."},
      {"negative kind", {0x80}, "08S01 Invalid type of server answer."},
      {"exception negative length", Join({{0xFF}, Le32(-1), Bytes(10, 'x')}), bad},
      {"exception length beyond", Join({{0xFF}, Le32(100), Bytes(10, 'x')}), bad},
      {"exception without state", Join({{0xFF}, Le32(2), {'h', 'i', '4', '2'}}), bad},
      {"row count short", {0, 1, 2, 3}, bad},
      {"handle short", {2, 1}, bad},
      {"status beyond", Join({{5}, Le32(50), {'a'}}), bad},
      {"negative columns", Header(-1, 0, 0, {}), bad},
      {"huge columns", Header(0x7FFFFFFF, 0, 0, Bytes(64, 0)), bad},
      {"negative rows here", Header(0, 0, -1, {}), bad},
      {"negative total", Header(0, -5, 0, {}), bad},
      {"result set named running", Join({{1}, Le32(-7), Le32(0), Le64(0), Le64(0)}), bad},
      {"negative name length", Header(1, 0, 0, Join({Le32(-4), Le32(8)})), bad},
      {"name beyond", Header(1, 0, 0, Join({Le32(400), Le32(8)})), bad},
      {"unknown type", Header(1, 0, 0, Describe(Column::Raw("x", 99))),
       "HY000 Vandrel Type error."},
      {"binary type", Header(1, 0, 0, Describe(Column::Raw("x", 201))),
       "HY000 Vandrel Type error."},
      {"negative octets", Header(1, 0, 0, Describe(Column::Char("c", 5, -5, 0))), bad},
      {"negative precision", Header(1, 0, 0, Describe(Column::Decimal("d", -3, 0))), bad},
      {"huge octets", Header(1, 0, 0, Describe(Column::Char("c", 5, 0x7FFFFFFF, 0))), bad},
      {"rows beyond block", Header(1, 1LL << 40, 1LL << 40, Join({varchar, {1}, Le32(0)})), bad},
      {"negative text length", Header(1, 1, 1, Join({varchar, {1}, Le32(-2)})), bad},
      {"text beyond block", Header(1, 1, 1, Join({varchar, {1}, Le32(6), {'a', 'b'}})), bad},
      {"text longer than its column", Header(1, 1, 1, Join({varchar, {1}, Le32(6), Bytes(6, 'a')})),
       bad},
      {"second column beyond block",
       Header(2, 1, 1, Join({varchar, Describe(Column::Double("f")), {1}, Le32(1), {'a'}, {1}})),
       bad},
      {"value beyond block",
       Header(1, 2, 2, Join({Describe(Column::Double("f")), {1}, Bytes(8, 0), {1}, {0, 0}})), bad},
  };
  for (const Case& c : cases) {
    Give(c.data);
    EXPECT_EQ(s->MoreResults(), SQL_ERROR) << c.name;
    EXPECT_EQ(LastDiag(*s), c.diag) << c.name;
    EXPECT_NE(s->resultHandle, QVO_RESULT_STILL_EXECUTING) << c.name;
    EXPECT_EQ(s->Result().PtrArray(), nullptr) << c.name;
    EXPECT_EQ(s->MoreResults(), SQL_NO_DATA) << c.name;
  }
}

TEST_F(StatementTest, BlockSizeComesFromASaneMessageSize) {
  struct Case {
    qvo_int64 serverSize;
    SQLBIGINT rowsPerBlock;  // for one DOUBLE column (8 bytes a row)
  };
  const Case cases[] = {
      {67108864, (67108864 - 150) / 8},
      {0, (67108864 - 150) / 8},              // none given: the default
      {-7, (67108864 - 150) / 8},             // nonsense: the default
      {1LL << 40, (2147483647LL - 150) / 8},  // at most 2^31 - 1
      {100, 1},                               // at least one row
  };
  for (const Case& c : cases) {
    conn->connAttr.maxDataMessageSize = c.serverSize;
    Give(ResultSet(-3, {Column::Double("F")}, 0, 0, {}));
    ASSERT_EQ(s->MoreResults(), SQL_SUCCESS);
    EXPECT_EQ(s->Result().AnswerBlockSize(), c.rowsPerBlock) << c.serverSize;
  }
}

TEST_F(StatementTest, ZeroColumnResultBuildsNoTable) {
  Give(ResultSet(-3, {}, 0, 0, {}));
  EXPECT_EQ(s->MoreResults(), SQL_SUCCESS);
  EXPECT_EQ(s->Result().PtrArray(), nullptr);
  EXPECT_EQ(s->IRD()->header.count, 0);
}

}  // namespace

namespace {

// Answers mutated at random (fixed seed): whatever arrives, parsing ends in
// a result code and never reads outside the answer.
TEST_F(StatementTest, MutatedAnswersNeverEscapeTheBuffer) {
  const Bytes seeds[] = {
      AllTypesResult(-3),
      Join({RowCount(1), Exception("text", "22000"), StillExecuting("x"), Handle(3), MoreRows(),
            Empty(), AllTypesResult(-4)}),
  };
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int round = 0; round < 3000; ++round) {
    Bytes data = seeds[round % 2];
    const int edits = 1 + static_cast<int>(next() % 4);
    for (int e = 0; e < edits && !data.empty(); ++e) {
      const size_t at = next() % data.size();
      switch (next() % 4) {
        case 0:
          data[at] = static_cast<uint8_t>(next());
          break;
        case 1:
          data.resize(at);
          break;
        case 2:
          data.insert(data.begin() + static_cast<long>(at), static_cast<uint8_t>(next()));
          break;
        default:  // a length or count field turned huge or negative
          for (size_t i = at; i < data.size() && i < at + 4; ++i) data[i] = 0xFF;
          break;
      }
    }
    Give(data);
    SQLRETURN rc = SQL_SUCCESS;
    int results = 0;
    while ((rc = s->MoreResults()) != SQL_NO_DATA) {
      ASSERT_TRUE(rc == SQL_SUCCESS || rc == SQL_ERROR || rc == SQL_STILL_EXECUTING) << rc;
      ASSERT_LT(++results, 64) << "round " << round;
      if (rc != SQL_SUCCESS || s->Result().PtrArray() == nullptr) continue;
      for (SQLINTEGER c = 1; c <= s->Result().PtrArrayCols(); ++c) {
        for (SQLBIGINT r = 1; r <= s->Result().ResultRowCount(); ++r) {
          ASSERT_NE(s->RowValue(c, r), nullptr);
        }
      }
    }
  }
  s->resultHandle = -2;
}

}  // namespace
