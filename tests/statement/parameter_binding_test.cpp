// Parameter binding: what BindParameter leaves in the APD and the IPD, read
// back through DescribeParam, NumParams and the descriptor records.
#include <cstdint>
#include <string>

#include "statement_fixture.h"

namespace {

SQLPOINTER V(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

class ParameterBindingTest : public StatementTest {
 protected:
  SQLRETURN Bind(SQLSMALLINT n, SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size,
                 SQLSMALLINT digits, SQLLEN bufferLength) {
    return QVOBindParameter(stmt, n, SQL_PARAM_INPUT, cType, sqlType, size, digits, value,
                            bufferLength, &indicator);
  }
  char value[64] = {};
  SQLLEN indicator = 0;
};

// Effective buffer length (APD octet length and its backup) and column size
// (IPD length or precision), by C type and SQL type.
TEST_F(ParameterBindingTest, EffectiveLengthAndSize) {
  struct Case {
    const char* what;
    SQLSMALLINT cType, sqlType;
    SQLULEN columnSize;
    SQLSMALLINT digits;
    SQLLEN bufferLength;
    SQLULEN arraySize;
    // expected (integer types describe the precision their concise type gives)
    SQLSMALLINT aptType;
    SQLLEN octetLength, backup;
    SQLULEN describedSize;
    SQLSMALLINT describedDigits;
  };
  const Case cases[] = {
      {"char, no length, varchar", SQL_C_CHAR, SQL_VARCHAR, 0, 0, 0, 1, SQL_C_CHAR, 1000, 0, 1000,
       0},
      {"char, length given", SQL_C_CHAR, SQL_VARCHAR, 50, 0, 100, 1, SQL_C_CHAR, 100, 100, 50, 0},
      {"char, negative length, decimal(10,2)", SQL_C_CHAR, SQL_DECIMAL, 10, 2, -5, 1, SQL_C_CHAR,
       12, -5, 10, 2},
      {"char, no length, decimal without size", SQL_C_CHAR, SQL_DECIMAL, 0, 0, 0, 1, SQL_C_CHAR, 40,
       0, 36, 0},
      {"char, no length, integer", SQL_C_CHAR, SQL_INTEGER, 0, 0, 0, 1, SQL_C_CHAR, 11, 0, 9, 0},
      {"char, no length, bigint(5)", SQL_C_CHAR, SQL_BIGINT, 5, 0, 0, 1, SQL_C_CHAR, 5, 0, 18, 0},
      {"char, no length, double", SQL_C_CHAR, SQL_DOUBLE, 0, 0, 0, 1, SQL_C_CHAR, 32, 0, 32, 0},
      {"char, no length, timestamp(3)", SQL_C_CHAR, SQL_TYPE_TIMESTAMP, 0, 3, 0, 1, SQL_C_CHAR, 29,
       0, 3, 3},
      {"char, no length, guid", SQL_C_CHAR, SQL_GUID, 0, 0, 0, 1, SQL_C_CHAR, 16, 0, 36, 0},
      {"wchar, no length, wvarchar: length untouched", SQL_C_WCHAR, SQL_WVARCHAR, 0, 0, 0, 1,
       SQL_C_WCHAR, 1000, 0, 0, 0},
      {"default, varchar, one row: widened", SQL_C_DEFAULT, SQL_VARCHAR, 10, 0, 20, 1, SQL_C_CHAR,
       40, 20, 40, 0},
      {"default, varchar, five rows: as given", SQL_C_DEFAULT, SQL_VARCHAR, 10, 0, 20, 5,
       SQL_C_CHAR, 20, 20, 10, 0},
      {"default, guid, one row", SQL_C_DEFAULT, SQL_GUID, 0, 0, 100, 1, SQL_C_CHAR, 16, 100, 36, 0},
      {"default, integer: the signed C type", SQL_C_DEFAULT, SQL_INTEGER, 0, 0, 100, 1, SQL_C_SLONG,
       4, 4, 9, 0},
      {"slong ignores the given length", SQL_C_SLONG, SQL_INTEGER, 0, 0, 100, 1, SQL_C_SLONG, 4, 4,
       9, 0},
      {"numeric struct", SQL_C_NUMERIC, SQL_NUMERIC, 20, 4, 0, 1, SQL_C_NUMERIC, 19, 19, 20, 4},
      {"timestamp struct", SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 0, 6, 7, 1,
       SQL_C_TYPE_TIMESTAMP, 16, 16, 6, 6},
      {"guid struct", SQL_C_GUID, SQL_GUID, 0, 0, 50, 1, SQL_C_GUID, 16, 50, 36, 0},
      {"binary keeps its length", SQL_C_BINARY, SQL_VARBINARY, 30, 0, 64, 1, SQL_C_BINARY, 64, 64,
       30, 0},
      {"digits above 36 on integer: scale 0", SQL_C_SLONG, SQL_INTEGER, 0, 40, 0, 1, SQL_C_SLONG, 4,
       4, 9, 0},
      {"digits above 36 on decimal: kept", SQL_C_SLONG, SQL_DECIMAL, 38, 40, 0, 1, SQL_C_SLONG, 4,
       4, 38, 40},
      {"decimal size beyond 16 bits", SQL_C_CHAR, SQL_DECIMAL, 40'000, 2, 100, 1, SQL_C_CHAR, 100,
       100, 40'000, 2},
      {"float size beyond 16 bits", SQL_C_DOUBLE, SQL_FLOAT, 70'000, 0, 0, 1, SQL_C_DOUBLE, 8, 8,
       70'000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SQLHSTMT h = NewStatement();
    ASSERT_EQ(QVOSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, V(static_cast<SQLLEN>(c.arraySize)), 0),
              SQL_SUCCESS);
    ASSERT_EQ(QVOBindParameter(h, 1, SQL_PARAM_INPUT, c.cType, c.sqlType, c.columnSize, c.digits,
                               value, c.bufferLength, &indicator),
              SQL_SUCCESS)
        << LastDiag(*Stmt(h));
    const __cliDescriptorRecords* a = Stmt(h)->APD()->GetRecord(1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->conciseType, c.aptType);
    EXPECT_EQ(a->octetLength, c.octetLength);
    EXPECT_EQ(a->octetLengthBackup, c.backup);
    EXPECT_EQ(a->dataPtr, value);
    EXPECT_EQ(a->octetLengthPtr, &indicator);

    SQLSMALLINT type = 0, digits = -1, nullable = -1;
    SQLULEN size = 0;
    ASSERT_EQ(QVODescribeParam(h, 1, &type, &size, &digits, &nullable), SQL_SUCCESS);
    EXPECT_EQ(type, c.sqlType);
    EXPECT_EQ(size, c.describedSize);
    EXPECT_EQ(digits, c.describedDigits);
    EXPECT_EQ(Stmt(h)->IPD()->GetRecord(1)->parameterType, SQL_PARAM_INPUT);
    QVOFreeHandle(SQL_HANDLE_STMT, h);
  }
}

TEST_F(ParameterBindingTest, CharacterTypeWithoutLengthAndWithoutDefaultIsRefused) {
  EXPECT_EQ(Bind(1, SQL_C_CHAR, SQL_TYPE_TIME, 0, 0, 0), SQL_ERROR);
  EXPECT_EQ(LastDiag(*s), "HY000 Cannot map buffer length 0 for this data type.");
  EXPECT_EQ(s->APD()->header.count, 0);
  EXPECT_EQ(s->IPD()->header.count, 0);
}

TEST_F(ParameterBindingTest, CountsRiseToTheHighestParameterAndNeverFall) {
  SQLSMALLINT n = -1;
  ASSERT_EQ(QVONumParams(stmt, &n), SQL_SUCCESS);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(Bind(3, SQL_C_SLONG, SQL_INTEGER, 0, 0, 0), SQL_SUCCESS);
  ASSERT_EQ(Bind(1, SQL_C_CHAR, SQL_VARCHAR, 10, 0, 10), SQL_SUCCESS);
  EXPECT_EQ(s->APD()->header.count, 3);
  EXPECT_EQ(s->IPD()->header.count, 3);
  ASSERT_EQ(QVONumParams(stmt, &n), SQL_SUCCESS);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(QVONumParams(stmt, nullptr), SQL_SUCCESS);
}

TEST_F(ParameterBindingTest, ParameterNumbersOutsideTheRangeAreInvalidIndexes) {
  ASSERT_EQ(Bind(2, SQL_C_SLONG, SQL_INTEGER, 0, 0, 0), SQL_SUCCESS);
  for (SQLSMALLINT n : {0, -1}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(Bind(n, SQL_C_SLONG, SQL_INTEGER, 0, 0, 0), SQL_ERROR);
    EXPECT_EQ(LastDiag(*s), "07009 Invalid descriptor index.");
    EXPECT_EQ(s->APD()->header.count, 2);
  }
  SQLSMALLINT type = 77, digits = 77, nullable = 77;
  SQLULEN size = 77;
  for (SQLSMALLINT n : {0, -1, 3}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(QVODescribeParam(stmt, n, &type, &size, &digits, &nullable), SQL_ERROR);
    EXPECT_EQ(LastDiag(*s), "07009 Invalid descriptor index.");
  }
  EXPECT_EQ(type, 77);
  EXPECT_EQ(size, 77u);
  // Every output may be left out.
  EXPECT_EQ(QVODescribeParam(stmt, 2, nullptr, nullptr, nullptr, nullptr), SQL_SUCCESS);
}

TEST_F(ParameterBindingTest, RefusedConciseTypeIsReportedOnTheStatement) {
  // Once each time, however many refusals came before, and nothing stays
  // behind on the descriptor.
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(Bind(1, 12345, SQL_INTEGER, 0, 0, 0), SQL_ERROR);
    EXPECT_EQ(DiagsOf(*s).size(), 1u);
    EXPECT_TRUE(DiagsOf(*s->APD()).empty());
  }
}

}  // namespace
