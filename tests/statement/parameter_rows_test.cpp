// Character, binary and bit parameter values as the node receives them: one
// row bound column-wise goes out at its given length whatever length was
// bound, a value longer than its slot in a parameter array is cut to the
// slot with 01004, a long value is sent from the bound buffer without asking
// for it at execution, and a bit goes out as 0 or 1 whatever byte the
// application holds. The application's buffers are allocated at exactly the
// size the case gives, so a read past them is seen.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "prepared_fixture.h"

namespace {

using prepared_test::V;
using Bytes = std::string;

constexpr const char* kInsertOne = "INSERT INTO u VALUES (?)";

Bytes Wide(const std::u16string& text) {
  return Bytes(reinterpret_cast<const char*>(text.data()), 2 * text.size());
}

struct Value {
  Bytes bytes;  // what the application holds (for an array: within its slot)
  SQLLEN indicator;
};

// How the case binds its one parameter.
struct Binding {
  SQLSMALLINT cType, sqlType;
  SQLULEN columnSize;
  SQLSMALLINT digits;
  SQLLEN bufferLength;
  bool rowWise;
  // A structure's own size: an array of them steps by it, whatever
  // BufferLength says (0: a value of BufferLength bytes).
  size_t structSize = 0;
};

struct Case {
  const char* what;
  Binding bind;
  std::vector<Value> rows;
  std::vector<Bytes> sent;
  SQLRETURN rc;  // 1: with 01004
  int64_t messageSize = 0x4000000;
  std::vector<SQLUSMALLINT> status = {};  // the status array after the execution, when given
};

// A time structure as the application holds it, and as the node receives
// it: a timestamp of day 0 (year, month, day 0; fraction 0).
Bytes TimeStruct(SQLUSMALLINT hour, SQLUSMALLINT minute, SQLUSMALLINT second) {
  const SQL_TIME_STRUCT t{hour, minute, second};
  return Bytes(reinterpret_cast<const char*>(&t), sizeof t);
}
Bytes WireTime(char hour, char minute, char second) {
  return Bytes(4, '\0') + Bytes{hour, minute, second} + Bytes(4, '\0');
}
// A timestamp structure, and its 11 wire bytes: year (2 bytes), month, day,
// hour, minute, second, fraction (4 bytes), little-endian.
Bytes TimestampStruct(SQLSMALLINT year, SQLUSMALLINT month, SQLUSMALLINT day,
                      SQLUINTEGER fraction) {
  const SQL_TIMESTAMP_STRUCT t{year, month, day, 23, 59, 58, fraction};
  return Bytes(reinterpret_cast<const char*>(&t), sizeof t);
}

// The application's side of one case: column-wise one buffer of rows x slot
// bytes (one row: exactly its value and terminator), row-wise one structure
// of indicator and slot per row.
struct AppBuffers {
  std::unique_ptr<char[]> data;
  std::vector<SQLLEN> indicators;
  std::vector<const char*> values;  // where each row's value lies
  SQLLEN rowSize = 0;

  explicit AppBuffers(const Case& c) {
    const size_t rows = c.rows.size();
    const size_t terminator = c.bind.cType == SQL_C_WCHAR ? 2 : 1;
    const size_t size = c.bind.structSize;
    if (c.bind.rowWise) {
      rowSize = static_cast<SQLLEN>(sizeof(SQLLEN) + (size ? size : c.bind.bufferLength));
      data = std::make_unique<char[]>(rows * static_cast<size_t>(rowSize));
      std::memset(data.get(), 0, rows * static_cast<size_t>(rowSize));
      for (size_t r = 0; r < rows; ++r) {
        char* at = data.get() + r * static_cast<size_t>(rowSize);
        std::memcpy(at, &c.rows[r].indicator, sizeof(SQLLEN));
        Put(at + sizeof(SQLLEN), c.rows[r].bytes, static_cast<size_t>(rowSize) - sizeof(SQLLEN));
        values.push_back(at + sizeof(SQLLEN));
      }
      return;
    }
    const size_t slot = size        ? size
                        : rows == 1 ? c.rows[0].bytes.size() + terminator
                                    : static_cast<size_t>(c.bind.bufferLength);
    data = std::make_unique<char[]>(rows * slot);
    std::memset(data.get(), 0, rows * slot);
    for (size_t r = 0; r < rows; ++r) {
      Put(data.get() + r * slot, c.rows[r].bytes, slot);
      indicators.push_back(c.rows[r].indicator);
      values.push_back(data.get() + r * slot);
    }
  }
  static void Put(char* at, const Bytes& bytes, size_t room) {
    std::memcpy(at, bytes.data(), std::min(bytes.size(), room));
  }
};

class ParameterRowsTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    SetProtocol(9);
    fake::ServePrepared(node, kInsertOne, 3, {fake::results::Column::Char("P1", 20, 20, 1)}, &seen);
  }
  std::vector<fake::PreparedMessage> seen;
};

TEST_F(ParameterRowsTest, ValuesGoOutWholeOrCutToTheirSlotWithAWarning) {
  const Bytes seventyK(70'000, 'c');
  const Bytes hundredK(100'000, 'L');
  const Bytes binary = Bytes("\x00\x01\x02\x03\x04\x05", 6) + Bytes(69'994, '\x7F');
  const Binding char4{SQL_C_CHAR, SQL_VARCHAR, 4, 0, 4, false};
  const Binding long8{SQL_C_CHAR, SQL_LONGVARCHAR, 70'000, 0, 8, false};
  const Binding binary8{SQL_C_BINARY, SQL_LONGVARBINARY, 70'000, 0, 8, false};
  const Binding long100K{SQL_C_CHAR, SQL_LONGVARCHAR, 0, 0, 100'000, false};
  const Binding bit{SQL_C_BIT, SQL_BIT, 0, 0, 1, false};
  const Bytes zero(1, '\0');
  const Case cases[] = {
      // One row bound column-wise: the given length, whatever was bound.
      {"CHAR of 10 bytes bound with 4",
       {SQL_C_CHAR, SQL_CHAR, 10, 0, 4, false},
       {{"abcdefghij", 10}},
       {"abcdefghij"},
       0},
      {"terminated text longer than the bound length",
       char4,
       {{"abcdefghij", SQL_NTS}},
       {"abcdefghij"},
       0},
      {"70,000-byte CHAR bound with 8", long8, {{seventyK, 70'000}}, {seventyK}, 0},
      {"70,000-byte BINARY bound with 8", binary8, {{binary, 70'000}}, {binary}, 0},
      {"decimal text, no buffer length, size from its precision",
       {SQL_C_CHAR, SQL_NUMERIC, 1, 1, 0, false},
       {{"-0.5", 4}},
       {"-0.5"},
       0},
      {"terminated decimal text, no buffer length",
       {SQL_C_CHAR, SQL_DECIMAL, 2, 5, 0, false},
       {{"0.00012", SQL_NTS}},
       {"0.00012"},
       0},
      {"timestamp text, no buffer length, size 9",
       {SQL_C_CHAR, SQL_TYPE_TIMESTAMP, 9, 0, 0, false},
       {{"2024-01-02 03:04:05.6", SQL_NTS}},
       {"2024-01-02 03:04:05.6"},
       0},
      // Beyond the largest VARCHAR: from the buffer, never asked for.
      {"100,000 bytes in one row", long100K, {{hundredK, 100'000}}, {hundredK}, 0},
      {"100,000 bytes in an array",
       long100K,
       {{hundredK, 100'000}, {hundredK, SQL_NTS}},
       {hundredK, hundredK},
       0},
      // Arrays, and one row bound row-wise: each value within its slot.
      {"values within their slots",
       char4,
       {{"ab", SQL_NTS}, {"wxyz", SQL_NTS}, {"", 0}},
       {"ab", "wxyz", ""},
       0},
      {"cut to the slot, never inside a UTF-8 sequence",
       char4,
       {{"ab", SQL_NTS}, {"abcdefgh", 8}, {"abc\xC3\xA9", 5}},
       {"ab", "abcd", "abc"},
       1},
      {"BINARY cut to the slot",
       {SQL_C_BINARY, SQL_VARBINARY, 4, 0, 4, false},
       {{"\x01\x02\x03\x04\x05", 5}, {"\x09", 1}},
       {"\x01\x02\x03\x04", "\x09"},
       1},
      {"WCHAR slot never splits a surrogate pair",
       {SQL_C_WCHAR, SQL_WVARCHAR, 3, 0, 6, false},
       {{Wide(u"a\U0001F600"), 6}, {Wide(u"ab\U0001F600"), 8}, {Wide(u"xyz\U0001F600"), SQL_NTS}},
       {"a\xF0\x9F\x98\x80", "ab", "xyz"},
       1},
      {"cut in the first of two blocks",
       char4,
       {{"abcdefgh", 8}, {"ok", SQL_NTS}},
       {"abcd", "ok"},
       1,
       1},
      {"one row bound row-wise",
       {SQL_C_CHAR, SQL_VARCHAR, 4, 0, 4, true},
       {{"abcdefgh", 8}},
       {"abcd"},
       1},
      // A bit is one byte, 0 or 1: any other byte is true.
      {"bit byte 2 in one row", bit, {{"\x02", 1}}, {"\x01"}, 0},
      {"bit bytes in an array",
       bit,
       {{zero, 1}, {"\x01", 1}, {"\x02", 1}, {"\xFF", 1}, {"\x80", 1}, {"", SQL_NULL_DATA}},
       {zero, "\x01", "\x01", "\x01", "\x01", "NULL"},
       0},
      {"bit bytes in a block each", bit, {{"\xFF", 1}, {zero, 1}}, {"\x01", zero}, 0, 1},
      {"bit byte 255 bound row-wise",
       {SQL_C_BIT, SQL_BIT, 0, 0, 1, true},
       {{"\xFF", 1}},
       {"\x01"},
       0},
      // Only the row whose value was cut is marked in the status array.
      {"the cut row alone warns",
       char4,
       {{"ab", SQL_NTS}, {"abcdefgh", 8}, {"ok", SQL_NTS}},
       {"ab", "abcd", "ok"},
       1,
       0x4000000,
       {SQL_PARAM_SUCCESS, SQL_PARAM_SUCCESS_WITH_INFO, SQL_PARAM_SUCCESS}},
      {"the cut row alone warns, a block each",
       char4,
       {{"abcdefgh", 8}, {"ok", SQL_NTS}},
       {"abcd", "ok"},
       1,
       1,
       {SQL_PARAM_SUCCESS_WITH_INFO, SQL_PARAM_SUCCESS}},
      // Time and timestamp structures are read at their own size, whatever
      // BufferLength says.
      {"time array, BufferLength 16",
       {SQL_C_TYPE_TIME, SQL_TYPE_TIME, 0, 0, 16, false, sizeof(SQL_TIME_STRUCT)},
       {{TimeStruct(13, 45, 7), 0}, {TimeStruct(1, 2, 3), 0}},
       {WireTime(13, 45, 7), WireTime(1, 2, 3)},
       0},
      {"time array, BufferLength 0",
       {SQL_C_TIME, SQL_TIME, 0, 0, 0, false, sizeof(SQL_TIME_STRUCT)},
       {{TimeStruct(23, 59, 59), 0}, {"", SQL_NULL_DATA}, {TimeStruct(0, 0, 1), 0}},
       {WireTime(23, 59, 59), "NULL", WireTime(0, 0, 1)},
       0},
      {"one time, BufferLength 5",
       {SQL_C_TYPE_TIME, SQL_TYPE_TIME, 0, 0, 5, false, sizeof(SQL_TIME_STRUCT)},
       {{TimeStruct(12, 0, 30), 0}},
       {WireTime(12, 0, 30)},
       0},
      {"one time, BufferLength 6, row-wise",
       {SQL_C_TYPE_TIME, SQL_TYPE_TIME, 0, 0, 6, true, sizeof(SQL_TIME_STRUCT)},
       {{TimeStruct(8, 9, 10), 0}},
       {WireTime(8, 9, 10)},
       0},
      {"timestamp array, BufferLength 0",
       {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 0, 0, 0, false, sizeof(SQL_TIMESTAMP_STRUCT)},
       {{TimestampStruct(2024, 2, 29, 123456789), 0}, {TimestampStruct(-44, 3, 15, 0), 0}},
       {Bytes("\xE8\x07\x02\x1D\x17\x3B\x3A\x15\xCD\x5B\x07", 11),
        Bytes("\xD4\xFF\x03\x0F\x17\x3B\x3A\0\0\0\0", 11)},
       0},
      {"timestamp array, BufferLength 16, row-wise",
       {SQL_C_TIMESTAMP, SQL_TIMESTAMP, 0, 0, 16, true, sizeof(SQL_TIMESTAMP_STRUCT)},
       {{TimestampStruct(1999, 12, 31, 1), 0}, {TimestampStruct(2000, 1, 1, 0), 0}},
       {Bytes("\xCF\x07\x0C\x1F\x17\x3B\x3A\x01\0\0\0", 11),
        Bytes("\xD0\x07\x01\x01\x17\x3B\x3A\0\0\0\0", 11)},
       0},
      {"bit bytes supplied at execution",
       bit,
       {{"\x02", SQL_DATA_AT_EXEC}, {zero, SQL_DATA_AT_EXEC}, {"\xFF", SQL_DATA_AT_EXEC}},
       {"\x01", zero, "\x01"},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    seen.clear();
    conn->connAttr.maxDataMessageSize = c.messageSize;
    SQLHSTMT h = NewStatement();
    Stmt(h)->GetDataConverter()->SetCurrentCodepage("UTF-8");
    ASSERT_EQ(QVOPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kInsertOne)), SQL_NTS),
              SQL_SUCCESS)
        << LastDiag(*Stmt(h));
    AppBuffers app(c);
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, V(static_cast<SQLLEN>(c.rows.size())), 0),
              SQL_SUCCESS);
    char* data = app.data.get();
    SQLLEN* indicators = app.indicators.data();
    if (c.bind.rowWise) {
      ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAM_BIND_TYPE, V(app.rowSize), 0), SQL_SUCCESS);
      indicators = reinterpret_cast<SQLLEN*>(data);
      data += sizeof(SQLLEN);
    }
    ASSERT_EQ(
        QVOBindParameter(h, 1, SQL_PARAM_INPUT, c.bind.cType, c.bind.sqlType, c.bind.columnSize,
                         c.bind.digits, data, c.bind.bufferLength, indicators),
        SQL_SUCCESS)
        << LastDiag(*Stmt(h));

    std::vector<SQLUSMALLINT> status(c.rows.size(), 99);
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0), SQL_SUCCESS);
    SQLRETURN rc = QVOExecute(h);
    // Values asked for at execution: each row's bytes, in one piece.
    while (rc == SQL_NEED_DATA) {
      SQLPOINTER token = nullptr;
      rc = QVOParamData(h, &token);
      if (rc != SQL_NEED_DATA) break;
      const auto row = std::find(app.values.begin(), app.values.end(), token);
      ASSERT_NE(row, app.values.end());
      const Bytes& piece = c.rows[static_cast<size_t>(row - app.values.begin())].bytes;
      ASSERT_EQ(QVOPutData(h, const_cast<char*>(piece.data()), static_cast<SQLLEN>(piece.size())),
                SQL_SUCCESS);
    }
    EXPECT_EQ(rc, c.rc) << LastDiag(*Stmt(h));
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[128] = {};
    SQLSMALLINT textLength = 0;
    const SQLRETURN diag =
        QVOGetDiagRec(SQL_HANDLE_STMT, h, 1, state, &native, text, sizeof text, &textLength);
    if (c.rc == SQL_SUCCESS_WITH_INFO) {
      ASSERT_EQ(diag, SQL_SUCCESS);
      EXPECT_STREQ(reinterpret_cast<char*>(state), "01004");
      EXPECT_NE(std::string(reinterpret_cast<char*>(text)).find("String data, right truncated."),
                std::string::npos);
    } else {
      EXPECT_EQ(diag, SQL_NO_DATA) << state;
    }

    std::vector<Bytes> sent;
    for (const fake::PreparedMessage& m : seen)
      for (const auto& row : m.values)
        sent.push_back(row.at(0) ? Bytes(row.at(0)->begin(), row.at(0)->end()) : "NULL");
    EXPECT_TRUE(sent == c.sent) << "rows sent: " << sent.size();
    if (!c.status.empty()) {
      EXPECT_EQ(status, c.status);
    }
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

// The highest parameter number: the bound parameters are counted up to it,
// and an execution with the lower ones unbound is refused before anything
// is sent or asked for.
TEST_F(ParameterRowsTest, HighestParameterNumberIsCountedAndRefused) {
  for (SQLLEN indicator : {SQLLEN{0}, SQLLEN{SQL_DATA_AT_EXEC}}) {
    SCOPED_TRACE(indicator);
    SQLHSTMT h = NewStatement();
    ASSERT_EQ(QVOPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kInsertOne)), SQL_NTS),
              SQL_SUCCESS);
    SQLINTEGER value = 5;
    ASSERT_EQ(QVOBindParameter(h, 32767, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &value, 0,
                               &indicator),
              SQL_SUCCESS);
    EXPECT_EQ(QVOExecute(h), SQL_ERROR);
    const auto diags = DiagsOf(*Stmt(h));
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ(diags.front().state, "07001");
    EXPECT_EQ(diags.front().text, "Wrong number of parameters.");
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
  EXPECT_TRUE(RequestsOf(fake::kExecutePrepared).empty());
}

}  // namespace
