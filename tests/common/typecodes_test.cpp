#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/qvoTypeCodes.h"

namespace {

TEST(TypeCodes, SqlTypeToServerType) {
  struct Case {
    SQLSMALLINT sqlType;
    int result;
    SQLSMALLINT serverType;
  } cases[] = {
      {SQL_INTEGER, 0, _SMALLDECIMAL},
      {SQL_NUMERIC, 0, _VARCHAR},
      {SQL_BIGINT, 0, _DECIMAL},
      {SQL_BIT, 0, _BOOLEAN},
      {SQL_WCHAR, 0, _CHAR},
      {431, 0, _TIMESTAMP_UTC},
      {SQL_TYPE_TIMESTAMP, 0, _TIMESTAMP},
      {SQL_GUID, 0, _VARCHAR},
      {SQL_BINARY, -1, 777},
      {SQL_TYPE_TIME, -1, 777},
      {SQL_TIME, -1, 777},
      {1234, -1, 777},
  };
  for (const Case& tc : cases) {
    SQLSMALLINT out = 777;
    EXPECT_EQ(qvoConvertTypeSQL_QVO(tc.sqlType, &out), tc.result) << tc.sqlType;
    EXPECT_EQ(out, tc.serverType) << tc.sqlType;
  }
}

TEST(TypeCodes, DefaultCType) {
  struct Case {
    SQLSMALLINT sqlType;
    SQLSMALLINT date, time, timestamp;
    int result;
    SQLSMALLINT cType;
  } cases[] = {
      {SQL_TYPE_DATE, 91, 92, 93, 0, 91},
      {SQL_DATE, 9, 10, 11, 0, 9},
      {SQL_TYPE_DATE, 9, 10, 11, 0, 9},
      {SQL_TIME, 91, 92, 93, 0, 92},
      {SQL_TIMESTAMP, 91, 92, 93, 0, 93},
      {431, 91, 92, 93, 0, 431},
      {SQL_DECIMAL, 91, 92, 93, 0, SQL_C_CHAR},
      {SQL_INTEGER, 91, 92, 93, 0, SQL_C_SLONG},
      {SQL_REAL, 91, 92, 93, 0, SQL_C_FLOAT},
      {SQL_FLOAT, 91, 92, 93, 0, SQL_C_DOUBLE},
      {SQL_TINYINT, 91, 92, 93, 0, SQL_C_STINYINT},
      {SQL_LONGVARBINARY, 91, 92, 93, 0, SQL_C_BINARY},
      {SQL_WLONGVARCHAR, 91, 92, 93, 0, SQL_C_WCHAR},
      {SQL_BIGINT, 91, 92, 93, 0, SQL_C_SBIGINT},
      {99, 91, 92, 93, -1, 555},
  };
  for (const Case& tc : cases) {
    SQLSMALLINT out = 555;
    EXPECT_EQ(qvoConvertTypeSQL_C_default(tc.sqlType, &out, tc.date, tc.time, tc.timestamp),
              tc.result)
        << tc.sqlType;
    EXPECT_EQ(out, tc.cType) << tc.sqlType;
  }
}

TEST(TypeCodes, NamesForLogLines) {
  struct Case {
    const char* (*fn)(SQLSMALLINT);
    SQLSMALLINT code;
    const char* name;
  } cases[] = {
      {GetCTypeName, -26, "SQL_C_STYNIINT"},
      {GetCTypeName, 428, "UNKNOWN_C_TYPE"},
      {GetCTypeName, 99, "SQL_DEFAULT"},
      {GetCTypeName, 425, "QVO_INT128"},
      {GetCTypeName, -28, "SQL_C_UTINYINT"},
      {GetSQLTypeName, 10, "UNKNOWN_SQL_TYPE"},
      {GetSQLTypeName, 9999, "UNSPECIFIED"},
      {GetSQLTypeName, -10, "SQL_WLONGVARCHAR"},
      {GetSQLTypeName, 430, "QVO_WCHAR_UTF16"},
      {GetQVOTypeName, 201, "UNKNOWN_QVO_TYPE"},
      {GetQVOTypeName, 0, "_ILLEGAL"},
      {GetQVOTypeName, 125, "_TIMESTAMP_UTC"},
      {GetQVOTypeName, 200, "_VARCHAR"},
      {GetQVOTypeName, 22, "UNKNOWN_QVO_TYPE"},
      {GetHandleTypeStr, 5, "SQL_HANDLE_SENV"},
      {GetHandleTypeStr, 3, "SQL_HANDLE_STMT"},
      {GetHandleTypeStr, 0, "HANDLE_TYPE_UNKNOWN"},
  };
  for (const Case& tc : cases) EXPECT_STREQ(tc.fn(tc.code), tc.name) << tc.code;
}

TEST(TypeCodes, ServerTypeTexts) {
  struct Case {
    const char* text;
    int odbcVer;
    int result;
    SQLINTEGER dataType;
    const char* typeName;
    SQLBIGINT columnSize, bufferLength;
    SQLINTEGER decimalDigits, radix;
    SQLBIGINT octetLength;
  } cases[] = {
      {"BOOLEAN", 3, 0, -7, "BOOLEAN", 1, 1, -1, 10, -1},
      {"DECIMAL(18,4)", 3, 0, 3, "DECIMAL", 18, 20, 4, 10, -1},
      {"DOUBLE", 3, 0, 8, "DOUBLE PRECISION", 64, 8, -1, 2, -1},
      {"DATE", 3, 0, 91, "DATE", 10, 6, -1, -1, -1},
      {"DATETIME", 2, 0, 9, "DATE", 10, 6, -1, -1, -1},  // four-character test
      {"TIMESTAMP", 2, 0, 11, "TIMESTAMP", 29, 16, 9, -1, -1},
      {"TIMESTAMP(3)", 3, -1, 0, "", 0, 0, 0, 0, 0},  // whole-text test
      {"TIMESTAMP WITH LOCAL TIME ZONE", 3, 0, 124, "TIMESTAMP WITH LOCAL TIME ZONE", 29, 16, 9, -1,
       -1},
      {"GEOMETRY", 3, 0, 123, "GEOMETRY", 8000000, 8000000, 0, -1, -1},
      {"CHAR(20)", 3, 0, 1, "CHAR", 20, 20, -1, -1, 20},
      {"VARCHAR(300) UTF8", 3, 0, 12, "VARCHAR", 300, 300, -1, -1, 300},
      {"DECIMALS", 3, -1, 0, "", 0, 0, 0, 0, 0},  // numbers missing
      {"INTEGER", 3, -1, 0, "", 0, 0, 0, 0, 0},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.text);
    SQLINTEGER dataType = 0, decimalDigits = 0, radix = 0;
    SQLBIGINT columnSize = 0, bufferLength = 0, octetLength = 0;
    char typeName[40] = {};
    EXPECT_EQ(descType(tc.text, &dataType, typeName, sizeof typeName, &columnSize, &bufferLength,
                       &decimalDigits, &radix, &octetLength, tc.odbcVer),
              tc.result);
    EXPECT_EQ(dataType, tc.dataType);
    EXPECT_STREQ(typeName, tc.typeName);
    EXPECT_EQ(columnSize, tc.columnSize);
    EXPECT_EQ(bufferLength, tc.bufferLength);
    EXPECT_EQ(decimalDigits, tc.decimalDigits);
    EXPECT_EQ(radix, tc.radix);
    EXPECT_EQ(octetLength, tc.octetLength);
  }
  char small[5];
  EXPECT_EQ(descType("GEOMETRY", nullptr, small, sizeof small, nullptr, nullptr, nullptr, nullptr,
                     nullptr, 3),
            0);
  EXPECT_STREQ(small, "GEOM");
}

}  // namespace
