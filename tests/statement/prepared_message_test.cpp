// The execute-prepared message built from bound parameters: header,
// descriptions and rows compared byte for byte with bytes written out here.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/qvoConverter.h"
#include "statement_fixture.h"

namespace {

using Bytes = std::string;

SQLPOINTER V(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

// Little-endian fields, written out independently of the library.
Bytes LE(uint64_t v, int width) {
  Bytes b;
  for (int i = 0; i < width; ++i) b.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
  return b;
}
Bytes I8(int v) { return LE(static_cast<uint8_t>(v), 1); }
Bytes I32(int64_t v) { return LE(static_cast<uint64_t>(v), 4); }
Bytes I64(int64_t v) { return LE(static_cast<uint64_t>(v), 8); }
Bytes Hex(const char* hex) {
  Bytes b;
  for (const char* p = hex; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    b.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return b;
}

Bytes Header(int32_t handle, int32_t descriptions, int64_t rows) {
  return I32(handle) + I32(1) + I8(1) + I32(descriptions) + I64(rows) + I64(rows);
}
Bytes DescFixed(int type) { return I32(0) + I32(type); }
Bytes DescDecimal(int type, int precision, int scale) {
  return DescFixed(type) + I32(precision) + I32(scale);
}
Bytes DescVarchar(int size, int octets) {
  return I32(0) + I32(10) + I8(1) + I32(size) + I32(octets);
}

// Server type codes.
enum {
  DECIMAL = 6,
  DOUBLE = 8,
  BOOLEAN = 9,
  DATE = 14,
  TIMESTAMP = 21,
  SMALLDECIMAL = 63,
  BIGDECIMAL = 64,
  TIMESTAMP_UTC = 125
};

template <class T>
Bytes Raw(const T& v) {
  return Bytes(reinterpret_cast<const char*>(&v), sizeof v);
}

SQL_NUMERIC_STRUCT Numeric(int sign, unsigned low, int topByte = 0) {
  SQL_NUMERIC_STRUCT n{};
  n.precision = 38;
  n.sign = static_cast<SQLCHAR>(sign);
  std::memcpy(n.val, &low, sizeof low);
  n.val[15] = static_cast<SQLCHAR>(topByte);
  return n;
}

class PreparedMessageTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    s->preparedHandle = 0x0102;
    s->GetDataConverter()->SetCurrentCodepage("UTF-8");
  }
  Bytes Message() const {
    return Bytes(s->preparedBuffer.get(), static_cast<size_t>(s->preparedMessageLen));
  }
  SQLRETURN Build(SQLULEN first, SQLULEN count, qvoParamBlock* out = nullptr) {
    qvoParamBlock block;
    block.first = first;
    block.count = count;
    const SQLRETURN rc = s->BuildPreparedMessage(block);
    if (out) *out = block;
    return rc;
  }
};

// One row per pairing of the C type x SQL type mapping: the description and
// the row bytes of one value.
TEST_F(PreparedMessageTest, EachPairingDescribesAndEncodesItsValue) {
  struct Case {
    const char* what;
    SQLSMALLINT cType, sqlType;
    SQLULEN columnSize;
    SQLSMALLINT digits;
    SQLLEN bufferLength;
    Bytes value;
    SQLLEN indicator;
    Bytes description, row;  // empty row: refused with `state`
    const char* state;
  };
  SQL_DATE_STRUCT date{2024, 5, 6};
  SQL_TIME_STRUCT time{13, 14, 15};
  SQL_TIME_STRUCT badTime{300, 0, 0};
  SQL_TIMESTAMP_STRUCT ts{2024, 5, 6, 13, 14, 15, 123456789};
  SQLGUID guid{0x0000ABCD, 0x0001, 0x0A0B, {0, 1, 2, 3, 4, 5, 6, 7}};
  const Bytes sixteen = Hex("0102030405060708 090A0B0C0D0E0F10");
  const char16_t wide[] = u"h\u00e9";
  const Case cases[] = {
      {"bit", SQL_C_BIT, SQL_BIT, 0, 0, 0, Hex("01"), 0, DescFixed(BOOLEAN), Hex("01 01"), ""},
      {"stinyint", SQL_C_STINYINT, SQL_TINYINT, 0, 0, 0, Hex("FE"), 0,
       DescDecimal(SMALLDECIMAL, 9, 0), Hex("01 FEFFFFFF"), ""},
      {"utinyint", SQL_C_UTINYINT, SQL_TINYINT, 0, 0, 0, Hex("FA"), 0,
       DescDecimal(SMALLDECIMAL, 9, 0), Hex("01 FA000000"), ""},
      {"sshort", SQL_C_SSHORT, SQL_SMALLINT, 0, 3, 0, Raw<int16_t>(-300), 0,
       DescDecimal(SMALLDECIMAL, 9, 0), Hex("01 D4FEFFFF"), ""},
      {"ushort", SQL_C_USHORT, SQL_SMALLINT, 0, 0, 0, Raw<uint16_t>(65000), 0,
       DescDecimal(SMALLDECIMAL, 9, 0), Hex("01 E8FD0000"), ""},
      {"slong to integer", SQL_C_SLONG, SQL_INTEGER, 0, 0, 0, Raw<int32_t>(-7), 0,
       DescDecimal(DECIMAL, 18, 0), Hex("01 F9FFFFFFFFFFFFFF"), ""},
      {"slong to decimal keeps the scale", SQL_C_SLONG, SQL_DECIMAL, 10, 2, 0, Raw<int32_t>(1234),
       0, DescDecimal(DECIMAL, 18, 2), Hex("01 D204000000000000"), ""},
      {"ulong", SQL_C_ULONG, SQL_INTEGER, 0, 0, 0, Raw<uint32_t>(4000000000u), 0,
       DescDecimal(DECIMAL, 18, 0), Hex("01 00286BEE00000000"), ""},
      {"slong to date", SQL_C_SLONG, SQL_TYPE_DATE, 0, 0, 0, Raw<int32_t>(20240506), 0,
       DescFixed(DATE), Hex("01 06 05 E807"), ""},
      {"ulong to date: as described", SQL_C_ULONG, SQL_DATE, 0, 0, 0, Raw<uint32_t>(20240506), 0,
       DescFixed(DATE), Hex("01 06 05 E807"), ""},
      {"negative date number", SQL_C_SLONG, SQL_TYPE_DATE, 0, 0, 0, Raw<int32_t>(-1), 0, "", "",
       "22003"},
      {"int32 to integer", QVO_INT32, SQL_INTEGER, 0, 3, 0, Raw<int32_t>(-2), 0,
       DescDecimal(DECIMAL, 18, 0), Hex("01 FEFFFFFFFFFFFFFF"), ""},
      {"int32 to varchar is refused", QVO_INT32, SQL_VARCHAR, 10, 0, 0, Raw<int32_t>(1), 0, "", "",
       "HY924"},
      {"sbigint", SQL_C_SBIGINT, SQL_BIGINT, 0, 0, 0, Raw<int64_t>(-5), 0,
       DescDecimal(BIGDECIMAL, 20, 0), Hex("01 FBFFFFFFFFFFFFFF FFFFFFFFFFFFFFFF"), ""},
      {"sbigint to decimal keeps precision", SQL_C_SBIGINT, SQL_DECIMAL, 30, 4, 0, Raw<int64_t>(5),
       0, DescDecimal(BIGDECIMAL, 30, 4), Hex("01 0500000000000000 0000000000000000"), ""},
      {"ubigint", SQL_C_UBIGINT, SQL_BIGINT, 0, 0, 0, Raw<uint64_t>(~0ull), 0,
       DescDecimal(BIGDECIMAL, 20, 0), Hex("01 FFFFFFFFFFFFFFFF 0000000000000000"), ""},
      {"int64 to bigint", QVO_INT64, SQL_BIGINT, 0, 2, 0, Raw<int64_t>(-1), 0,
       DescDecimal(BIGDECIMAL, 36, 0), Hex("01 FFFFFFFFFFFFFFFF FFFFFFFFFFFFFFFF"), ""},
      {"int64 to varchar is refused", QVO_INT64, SQL_VARCHAR, 10, 0, 0, Raw<int64_t>(1), 0, "", "",
       "HY924"},
      {"int128 to decimal", QVO_INT128, SQL_DECIMAL, 36, 0, 0, sixteen, 0,
       DescDecimal(BIGDECIMAL, 36, 0), I8(1) + sixteen, ""},
      {"int128 to integer is refused", QVO_INT128, SQL_INTEGER, 0, 0, 0, sixteen, 0, "", "",
       "HY924"},
      {"numeric, sign 1", SQL_C_NUMERIC, SQL_NUMERIC, 20, 2, 0, Raw(Numeric(1, 123)), 0,
       DescDecimal(BIGDECIMAL, 36, 2), Hex("01 7B00000000000000 0000000000000000"), ""},
      {"numeric, sign 0", SQL_C_NUMERIC, SQL_NUMERIC, 20, 2, 0, Raw(Numeric(0, 123)), 0,
       DescDecimal(BIGDECIMAL, 36, 2), Hex("01 85FFFFFFFFFFFFFF FFFFFFFFFFFFFFFF"), ""},
      {"numeric -2^127", SQL_C_NUMERIC, SQL_NUMERIC, 38, 0, 0, Raw(Numeric(0, 0, 0x80)), 0,
       DescDecimal(BIGDECIMAL, 36, 0), Hex("01 0000000000000000 0000000000000080"), ""},
      {"numeric +2^127 is beyond 128 bits", SQL_C_NUMERIC, SQL_NUMERIC, 38, 0, 0,
       Raw(Numeric(1, 0, 0x80)), 0, "", "", "22003"},
      {"float", SQL_C_FLOAT, SQL_REAL, 0, 0, 0, Raw(1.5f), 0, DescFixed(DOUBLE),
       Hex("01 000000000000F83F"), ""},
      {"double", SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, 0, Raw(-2.25), 0, DescFixed(DOUBLE),
       Hex("01 00000000000002C0"), ""},
      {"date struct", SQL_C_TYPE_DATE, SQL_TYPE_DATE, 0, 0, 0, Raw(date), 0, DescFixed(DATE),
       Hex("01 06 05 E807"), ""},
      {"time struct", SQL_C_TYPE_TIME, SQL_TYPE_TIME, 0, 0, 0, Raw(time), 0, DescFixed(TIMESTAMP),
       Hex("01 0000 00 00 0D 0E 0F 00000000"), ""},
      {"time struct out of range", SQL_C_TYPE_TIME, SQL_TYPE_TIME, 0, 0, 0, Raw(badTime), 0, "", "",
       "22003"},
      {"timestamp struct", SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 0, 6, 0, Raw(ts), 0,
       DescFixed(TIMESTAMP), Hex("01 E807 05 06 0D 0E 0F 15CD5B07"), ""},
      {"timestamp utc", QVO_TYPE_TIMESTAMP_UTC, QVO_TYPE_TIMESTAMP_UTC, 0, 6, 0, Raw(ts), 0,
       DescFixed(TIMESTAMP_UTC), Hex("01 E807 05 06 0D 0E 0F 15CD5B07"), ""},
      {"old date C type", SQL_C_DATE, SQL_DATE, 0, 0, 0, Raw(date), 0, "", "", "SI002"},
      {"guid: 36 characters with leading zeros", SQL_C_GUID, SQL_GUID, 0, 0, 0, Raw(guid), 0,
       DescVarchar(36, 36), I8(1) + I32(36) + "0000ABCD-0001-0A0B-0001-020304050607", ""},
      {"binary to decimal", SQL_C_BINARY, SQL_DECIMAL, 36, 0, 16, sixteen, 16,
       DescDecimal(BIGDECIMAL, 36, 0), I8(1) + sixteen, ""},
      {"binary shorter than 16 bytes to decimal", SQL_C_BINARY, SQL_DECIMAL, 36, 0, 16, sixteen, 8,
       "", "", "22003"},
      {"binary to varbinary", SQL_C_BINARY, SQL_VARBINARY, 10, 0, 16, Hex("0A0B0C"), 3,
       DescVarchar(10, 16), Hex("01 03000000 0A0B0C"), ""},
      {"char, terminated", SQL_C_CHAR, SQL_VARCHAR, 50, 0, 100, Bytes("ab\0zz", 5), SQL_NTS,
       DescVarchar(50, 100), Hex("01 02000000") + "ab", ""},
      {"char, explicit length", SQL_C_CHAR, SQL_VARCHAR, 50, 0, 100, "abcdef", 3,
       DescVarchar(50, 100), Hex("01 03000000") + "abc", ""},
      {"char, empty", SQL_C_CHAR, SQL_VARCHAR, 50, 0, 100, "abc", 0, DescVarchar(50, 100),
       Hex("01 00000000"), ""},
      {"char for integer: size from the octet length", SQL_C_CHAR, SQL_INTEGER, 0, 0, 8, "17", 2,
       DescVarchar(8, 8), Hex("01 02000000") + "17", ""},
      {"char date escape", SQL_C_CHAR, SQL_TYPE_DATE, 0, 0, 40, "{d '2024-05-06'}", SQL_NTS,
       DescVarchar(40, 40), Hex("01 0C000000") + "2024-05-06  ", ""},
      {"char of 10 bytes is never scanned", SQL_C_CHAR, SQL_TYPE_DATE, 0, 0, 40, "{d '2024'}",
       SQL_NTS, DescVarchar(40, 40), Hex("01 0A000000") + "{d '2024'}", ""},
      {"char not valid utf-8", SQL_C_CHAR, SQL_VARCHAR, 10, 0, 10, "a\xC3", 2, "", "", "HY922"},
      {"char negative length", SQL_C_CHAR, SQL_VARCHAR, 10, 0, 10, "a", -5, "", "", "HY923"},
      {"wchar, terminated", SQL_C_WCHAR, SQL_WVARCHAR, 0, 0, 20,
       Bytes(reinterpret_cast<const char*>(wide), sizeof wide), SQL_NTS, DescVarchar(20, 20),
       Hex("01 03000000 68C3A9"), ""},
      {"null", SQL_C_SLONG, SQL_INTEGER, 0, 0, 0, Raw<int32_t>(1), SQL_NULL_DATA,
       DescDecimal(DECIMAL, 18, 0), Hex("00"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHSTMT h = NewStatement();
    qvoStatement* st = Stmt(h);
    st->preparedHandle = 7;
    st->GetDataConverter()->SetCurrentCodepage("UTF-8");
    Bytes value = c.value;
    value.resize(std::max<size_t>(value.size(), 64));
    SQLLEN indicator = c.indicator;
    ASSERT_EQ(QVOBindParameter(h, 1, SQL_PARAM_INPUT, c.cType, c.sqlType, c.columnSize, c.digits,
                               value.data(), c.bufferLength, &indicator),
              SQL_SUCCESS)
        << LastDiag(*st);
    qvoParamBlock block;
    block.count = 1;
    const SQLRETURN rc = st->BuildPreparedMessage(block);
    if (c.row.empty()) {
      EXPECT_EQ(rc, SQL_ERROR);
      EXPECT_EQ(LastDiag(*st).substr(0, 5), c.state) << LastDiag(*st);
      EXPECT_EQ(st->preparedMessageLen, 0);
    } else {
      ASSERT_EQ(rc, SQL_SUCCESS) << LastDiag(*st);
      EXPECT_EQ(block.rows, 1u);
      const Bytes message(st->preparedBuffer.get(), static_cast<size_t>(st->preparedMessageLen));
      EXPECT_EQ(message, Header(7, 1, 1) + c.description + c.row);
      EXPECT_EQ(st->preparedHeaderLen, static_cast<SQLINTEGER>(29 + c.description.size()));
    }
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

TEST_F(PreparedMessageTest, StatementWithoutParametersSendsTheHeaderAlone) {
  ASSERT_EQ(s->CreateEmptyHeader(), SQL_SUCCESS);
  EXPECT_EQ(Message(), Header(0x0102, 0, 0));
}

TEST_F(PreparedMessageTest, BoundParametersMustBeTheDescriptorsRecords) {
  EXPECT_EQ(Build(0, 1), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY000 Zero parameter bound.");
  SQLINTEGER v = 1;
  ASSERT_EQ(
      QVOBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &v, 0, nullptr),
      SQL_SUCCESS);
  EXPECT_EQ(Build(0, 1), SQL_ERROR);  // parameter 1 is not bound
  EXPECT_EQ(LastDiag(*s), "07001 Wrong number of parameters.");
}

// Two parameters (SLONG, CHAR(8)) over three rows, bound column-wise and
// row-wise, each with and without a bind offset.
TEST_F(PreparedMessageTest, ParameterArraysColumnWiseAndRowWiseWithBindOffsets) {
  const Bytes rows = Hex("01 0700000000000000 01 02000000") + "ab" +  // 7, "ab"
                     Hex("00 01 03000000") + "xyz" +                  // NULL, "xyz" (length)
                     Hex("01 F6FFFFFFFFFFFFFF 00");                   // -10, NULL
  const Bytes expected =
      Header(0x0102, 2, 3) + DescDecimal(DECIMAL, 18, 0) + DescVarchar(8, 8) + rows;
  struct Row {
    SQLLEN numberInd;
    SQLINTEGER number;
    SQLLEN textInd;
    char text[8];
  };
  for (SQLLEN offsetRows : {0, 2}) {
    SCOPED_TRACE(offsetRows);
    SQLHSTMT h = NewStatement();
    qvoStatement* st = Stmt(h);
    st->preparedHandle = 0x0102;
    st->GetDataConverter()->SetCurrentCodepage("UTF-8");
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, V(3), 0), SQL_SUCCESS);

    // Column-wise: the offset moves every pointer by the same bytes.
    const SQLLEN offset = offsetRows * 64;
    std::vector<char> numbers(offset + 3 * 4), texts(offset + 3 * 8);
    std::vector<char> numberInds(offset + 3 * 8), textInds(offset + 3 * 8);
    const SQLINTEGER n[3] = {7, 0, -10};
    const SQLLEN ni[3] = {0, SQL_NULL_DATA, 0}, ti[3] = {SQL_NTS, 3, SQL_NULL_DATA};
    std::memcpy(numbers.data() + offset, n, sizeof n);
    std::memcpy(numberInds.data() + offset, ni, sizeof ni);
    std::memcpy(textInds.data() + offset, ti, sizeof ti);
    std::memcpy(texts.data() + offset, "ab\0\0\0\0\0\0xyzXXXXX--------", 24);
    SQLLEN bindOffset = offset;
    ASSERT_EQ(QVOBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                               numbers.data(), 0, reinterpret_cast<SQLLEN*>(numberInds.data())),
              SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 8, 0, texts.data(), 8,
                               reinterpret_cast<SQLLEN*>(textInds.data())),
              SQL_SUCCESS);
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAM_BIND_OFFSET_PTR, &bindOffset, 0), SQL_SUCCESS);
    qvoParamBlock block;
    block.count = 3;
    ASSERT_EQ(st->BuildPreparedMessage(block), SQL_SUCCESS) << LastDiag(*st);
    EXPECT_EQ(block.rows, 3u);
    EXPECT_EQ(Bytes(st->preparedBuffer.get(), st->preparedMessageLen), expected);

    // Row-wise: one structure per row; the offset skips whole structures.
    std::vector<Row> structs(static_cast<size_t>(offsetRows) + 3);
    Row* r = structs.data() + offsetRows;
    r[0] = {0, 7, SQL_NTS, "ab"};
    r[1] = {SQL_NULL_DATA, 0, 3, "xyzXXXX"};
    r[2] = {0, -10, SQL_NULL_DATA, "-------"};
    bindOffset = offsetRows * static_cast<SQLLEN>(sizeof(Row));
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAM_BIND_TYPE, V(sizeof(Row)), 0), SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                               &structs[0].number, 0, &structs[0].numberInd),
              SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 8, 0, structs[0].text,
                               8, &structs[0].textInd),
              SQL_SUCCESS);
    block = {};
    block.count = 3;
    ASSERT_EQ(st->BuildPreparedMessage(block), SQL_SUCCESS) << LastDiag(*st);
    EXPECT_EQ(Bytes(st->preparedBuffer.get(), st->preparedMessageLen), expected);
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

// A block closes after the first row that reaches the message size.
TEST_F(PreparedMessageTest, BlocksAreCutAtTheMessageSize) {
  SQLINTEGER values[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(QVOSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, V(5), 0), SQL_SUCCESS);
  ASSERT_EQ(QVOBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, values, 0,
                             nullptr),
            SQL_SUCCESS);
  const size_t head = 29 + 16;  // header and one decimal description; rows of 9 bytes
  struct Case {
    SQLUINTEGER messageSize;
    std::vector<SQLULEN> blocks;
  } cases[] = {
      {static_cast<SQLUINTEGER>(head + 9 + 1), {2, 2, 1}},  // the second row passes the size
      {static_cast<SQLUINTEGER>(head + 18), {2, 2, 1}},     // the second row reaches it exactly
      {10, {1, 1, 1, 1, 1}},                                // smaller than one row
      {0, {5}},                                             // unset: the default size
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messageSize);
    s->maxPreparedMessageSize = c.messageSize;
    SQLULEN first = 0;
    for (SQLULEN expectRows : c.blocks) {
      qvoParamBlock block;
      ASSERT_EQ(Build(first, 5 - first, &block), SQL_SUCCESS);
      ASSERT_EQ(block.rows, expectRows);
      Bytes rows;
      for (SQLULEN r = first; r < first + expectRows; ++r)
        rows.append(I8(1)).append(I64(values[r]));
      EXPECT_EQ(Message(), Header(0x0102, 1, static_cast<int64_t>(expectRows)) +
                               DescDecimal(DECIMAL, 18, 0) + rows);
      first += expectRows;
    }
    EXPECT_EQ(first, 5u);
  }
}

// Values longer than their slot (here one row bound row-wise) are cut to it
// on a character boundary; a terminated value is measured within its slot.
TEST_F(PreparedMessageTest, OverLongValuesAreCutOnACharacterBoundary) {
  struct Case {
    const char* what;
    SQLSMALLINT cType;
    Bytes value;  // exactly the bound buffer
    SQLLEN indicator;
    Bytes sent;
    SQLRETURN rc;
  };
  const char16_t pair[] = u"a\U0001F600";  // a, then a surrogate pair
  const Case cases[] = {
      {"utf-8 cut inside a two-byte sequence", SQL_C_CHAR, "abc\xC3", 10, "abc", 1},
      {"utf-8 cut after it", SQL_C_CHAR, "ab\xC3\xA9", 10, "ab\xC3\xA9", 1},
      {"terminated text without terminator in the buffer", SQL_C_CHAR, "abcd", SQL_NTS, "abcd", 0},
      {"binary", SQL_C_BINARY, "wxyz", 9, "wxyz", 1},
      {"utf-16 cut before a surrogate pair", SQL_C_WCHAR,
       Bytes(reinterpret_cast<const char*>(pair), 4), 6, "a", 1},
      {"utf-16 unit count within the buffer", SQL_C_WCHAR,
       Bytes(reinterpret_cast<const char*>(pair), 6), SQL_NTS, "a\xF0\x9F\x98\x80", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHSTMT h = NewStatement();
    qvoStatement* st = Stmt(h);
    st->GetDataConverter()->SetCurrentCodepage("UTF-8");
    // The buffer is exactly as large as bound, so any read past it is seen.
    auto buffer = std::make_unique<char[]>(c.value.size());
    std::memcpy(buffer.get(), c.value.data(), c.value.size());
    SQLLEN indicator = c.indicator;
    const SQLSMALLINT sqlType = c.cType == SQL_C_BINARY ? SQL_VARBINARY : SQL_VARCHAR;
    ASSERT_EQ(
        QVOSetStmtAttr(h, SQL_ATTR_PARAM_BIND_TYPE, V(static_cast<SQLLEN>(c.value.size())), 0),
        SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 1, SQL_PARAM_INPUT, c.cType, sqlType, 20, 0, buffer.get(),
                               static_cast<SQLLEN>(c.value.size()), &indicator),
              SQL_SUCCESS);
    qvoParamBlock block;
    block.count = 1;
    ASSERT_EQ(st->BuildPreparedMessage(block), c.rc) << LastDiag(*st);
    const Bytes message(st->preparedBuffer.get(), st->preparedMessageLen);
    EXPECT_EQ(message.substr(static_cast<size_t>(st->preparedHeaderLen)),
              I8(1) + I32(static_cast<int64_t>(c.sent.size())) + c.sent);
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

// Values that the application's buffers cannot give as bound are refused
// before anything is read from them.
TEST_F(PreparedMessageTest, BuffersThatCannotHoldTheirValuesAreRefused) {
  struct Case {
    const char* what;
    SQLSMALLINT cType, sqlType;
    SQLLEN bufferLength;
    SQLLEN octetLength;  // set afterwards through the descriptor; 0 keeps it
    SQLULEN rows;
    const char* diag;
  };
  const Case cases[] = {
      {"slong stepping 2 bytes", SQL_C_SLONG, SQL_INTEGER, 0, 2, 1, "HY090 Invalid buffer length."},
      {"binary with a negative length over rows", SQL_C_BINARY, SQL_VARBINARY, -5, 0, 2,
       "HY090 Invalid buffer length."},
      {"char with a zero length over rows", SQL_C_CHAR, SQL_VARCHAR, 4, -1, 2,
       "HY090 Invalid buffer length."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHSTMT h = NewStatement();
    qvoStatement* st = Stmt(h);
    char buffer[64] = "abc";
    SQLLEN indicators[2] = {3, 3};
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, V(static_cast<SQLLEN>(c.rows)), 0),
              SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 1, SQL_PARAM_INPUT, c.cType, c.sqlType, 10, 0, buffer,
                               c.bufferLength, indicators),
              SQL_SUCCESS);
    if (c.octetLength) st->APD()->GetRecord(1)->octetLength = c.octetLength;
    qvoParamBlock block;
    block.count = c.rows;
    EXPECT_EQ(st->BuildPreparedMessage(block), SQL_ERROR);
    EXPECT_EQ(LastDiag(*st), c.diag);
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

// Large values grow the message: bound text near the largest VARCHAR, text
// that doubles in UTF-8, and a value collected for data at execution.
TEST_F(PreparedMessageTest, LargeValuesGrowTheMessage) {
  s->maxVarcharOctetLength = 2'000'000;
  s->GetDataConverter()->SetCurrentCodepage("ISO-8859-1");
  const size_t n = 1'500'000;
  auto latin = std::make_unique<char[]>(n);
  std::memset(latin.get(), '\xE9', n);  // é: two bytes in UTF-8
  SQLLEN latinLen = static_cast<SQLLEN>(n);
  SQLLEN longInd = SQL_DATA_AT_EXEC;
  char token[4] = {};
  ASSERT_EQ(QVOBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, n, 0,
                             latin.get(), latinLen, &latinLen),
            SQL_SUCCESS);
  ASSERT_EQ(QVOBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, 0, 0, token,
                             0, &longInd),
            SQL_SUCCESS);
  // The value comes as the application supplies it: the execution asks for
  // it, ParamData names it, PutData hands it over.
  ASSERT_EQ(s->Execute(), SQL_NEED_DATA) << LastDiag(*s);
  SQLPOINTER named = nullptr;
  ASSERT_EQ(s->ParamData(&named), SQL_NEED_DATA);
  EXPECT_EQ(named, token);
  const std::string collected(3'000'000, 'q');
  ASSERT_EQ(s->PutData(const_cast<char*>(collected.data()), 3'000'000), SQL_SUCCESS);
  s->preparedBuffer.reset();
  s->preparedBufferSize = 0;

  qvoParamBlock block;
  block.count = 1;
  ASSERT_EQ(Build(0, 1, &block), SQL_SUCCESS) << LastDiag(*s);
  EXPECT_EQ(block.nextLongValue, 1u);
  const Bytes message = Message();
  Bytes utf8;
  for (size_t i = 0; i < n; ++i) utf8 += "\xC3\xA9";
  const Bytes rows = I8(1) + I32(2 * n) + utf8 + I8(1) + I32(3'000'000) + Bytes(3'000'000, 'q');
  ASSERT_EQ(message.size(), static_cast<size_t>(s->preparedHeaderLen) + rows.size());
  EXPECT_TRUE(message.substr(static_cast<size_t>(s->preparedHeaderLen)) == rows);
  EXPECT_GE(s->preparedBufferSize, message.size());

  // A value marked for data at execution with nothing collected is refused.
  s->InitStatement(QVO_INIT_CLOSE_CURSOR);
  EXPECT_EQ(Build(0, 1, &block), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY010 Function sequence error.");
  EXPECT_EQ(block.errorParam, 2);
}

}  // namespace
