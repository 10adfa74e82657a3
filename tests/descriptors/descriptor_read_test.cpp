// Reading fields: widths, record numbers, texts, the private default C type
// and GetDescRec.
#include <cstring>
#include <string>

#include "descriptor_test_support.h"

namespace {

class DescriptorRead : public ::testing::Test {
 protected:
  void SetUp() override {
    ird = MakeDescriptor(QVO_DESC_IRD, &english);
    ASSERT_EQ(ird->ResizeRecordTable(2), SQL_SUCCESS);
  }

  Translator english{0};
  std::unique_ptr<cliDescriptor> ird;
};

TEST_F(DescriptorRead, EachFieldIsWrittenWithItsOwnWidth) {
  SQLLEN lengths;
  int data;
  SQLUSMALLINT status[2];
  __cliDescriptorRecords& r = *ird->records[1];
  r.displaySize = SQLLEN{1} << 40;
  r.length = SQLULEN{1} << 41;
  r.octetLength = SQLLEN{1} << 42;
  r.octetLengthPtr = &lengths;
  r.dataPtr = &data;
  r.autoUniqueValue = 1;
  r.conciseType = SQL_VARCHAR;
  ird->header.arraySize = SQLULEN{1} << 35;
  ird->header.arrayStatusPtr = status;
  ird->header.bindType = 24;

  struct Case {
    SQLSMALLINT field;
    size_t width;
    SQLLEN expected;  // pointers compared as integers
  };
  const auto asInt = [](const void* p) {
    return static_cast<SQLLEN>(reinterpret_cast<intptr_t>(p));
  };
  const Case cases[] = {
      {SQL_DESC_CONCISE_TYPE, 2, SQL_VARCHAR},
      {SQL_DESC_DISPLAY_SIZE, 8, SQLLEN{1} << 40},
      {SQL_DESC_LENGTH, 8, SQLLEN{1} << 41},
      {SQL_DESC_OCTET_LENGTH, 8, SQLLEN{1} << 42},
      {SQL_DESC_AUTO_UNIQUE_VALUE, 4, 1},
      {SQL_DESC_CASE_SENSITIVE, 4, 1},
      {SQL_DESC_NULLABLE, 2, 1},
      {SQL_DESC_OCTET_LENGTH_PTR, sizeof(void*), asInt(&lengths)},
      {SQL_DESC_INDICATOR_PTR, sizeof(void*), asInt(&lengths)},
      {SQL_DESC_DATA_PTR, sizeof(void*), asInt(&data)},
      {SQL_DESC_ARRAY_SIZE, 8, SQLLEN{1} << 35},
      {SQL_DESC_ARRAY_STATUS_PTR, sizeof(void*), asInt(status)},
      {SQL_DESC_BIND_OFFSET_PTR, sizeof(void*), asInt(&ird->header.bindOffsetDummy)},
      {SQL_DESC_ROWS_PROCESSED_PTR, sizeof(void*), asInt(&ird->header.rowsProcessed)},
      {SQL_DESC_BIND_TYPE, 4, 24},
      {SQL_DESC_COUNT, 2, 2},
      {SQL_DESC_ALLOC_TYPE, 2, SQL_DESC_ALLOC_AUTO},
      {QVO_DESC_DEFAULT_C_TYPE, 2, SQL_C_CHAR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    unsigned char out[16];
    std::memset(out, 0xAB, sizeof out);
    ASSERT_EQ(ird->GetDescField(1, c.field, out, 0, nullptr), SQL_SUCCESS);
    SQLLEN value = 0;
    switch (c.width) {
      case 2: {
        SQLSMALLINT v;
        std::memcpy(&v, out, 2);
        value = v;
        break;
      }
      case 4: {
        SQLINTEGER v;
        std::memcpy(&v, out, 4);
        value = v;
        break;
      }
      default:
        std::memcpy(&value, out, 8);
    }
    EXPECT_EQ(value, c.expected);
    for (size_t i = c.width; i < sizeof out; ++i) EXPECT_EQ(out[i], 0xAB) << "byte " << i;
  }
}

TEST_F(DescriptorRead, RecordNumbersAndFailures) {
  struct Case {
    SQLSMALLINT record, field;
    bool nullValue;
    SQLRETURN rc;
    const char* message;  // null: no record added
  };
  const Case cases[] = {
      {-5, SQL_DESC_COUNT, false, SQL_SUCCESS, nullptr},
      {7, SQL_DESC_COUNT, false, SQL_SUCCESS, nullptr},
      {3, SQL_DESC_TYPE, false, SQL_NO_DATA, nullptr},
      {3, 30, false, SQL_NO_DATA, nullptr},
      {3, SQL_DESC_NAME, true, SQL_NO_DATA, nullptr},
      {-1, SQL_DESC_TYPE, false, SQL_ERROR, "Invalid descriptor index."},
      {-1, 30, false, SQL_ERROR, "Invalid descriptor index."},
      {1, SQL_DESC_TYPE, true, SQL_ERROR, "Memory management error."},
      {0, SQL_DESC_COUNT, true, SQL_ERROR, "Memory management error."},
      {1, 30, false, SQL_ERROR, "Invalid descriptor field identifier."},
      {1, SQL_DESC_MINIMUM_SCALE, false, SQL_ERROR, "Invalid descriptor field identifier."},
      {1, QVO_DESC_OCTET_LENGTH_BACKUP, false, SQL_ERROR, "Invalid descriptor field identifier."},
      {0, SQL_DESC_SCHEMA_NAME, false, SQL_ERROR,
       "Invalid descriptor index 0, bookmarks not supported."},
      {0, SQL_DESC_NAME, false, SQL_ERROR, "Invalid descriptor index 0, bookmarks not supported."},
      {0, SQL_DESC_TYPE, false, SQL_ERROR, "Invalid descriptor index 0, bookmarks not supported."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.record << "/" << c.field);
    ird->ClearDiagRecords();
    SQLLEN out = 0x5151;
    EXPECT_EQ(ird->GetDescField(c.record, c.field, c.nullValue ? nullptr : &out, 8, nullptr), c.rc);
    if (c.message) {
      EXPECT_EQ(ird->GetNumRecords(), 1);
      EXPECT_EQ(LastMessage(*ird), c.message);
    } else {
      EXPECT_EQ(ird->GetNumRecords(), 0);
    }
    if (c.rc != SQL_SUCCESS) {
      EXPECT_EQ(out, 0x5151);
    }
  }
}

TEST_F(DescriptorRead, TextsAreCutAndTerminated) {
  __cliDescriptorRecords& r = *ird->records[1];
  std::strcpy(r.typeName, "VARCHAR");
  struct Case {
    SQLSMALLINT field;
    SQLINTEGER bufferLength;
    const char* expected;
    SQLINTEGER count;
  };
  const Case cases[] = {
      {SQL_DESC_TYPE_NAME, 5, "VARC", 4},
      {SQL_DESC_TYPE_NAME, 8, "VARCHAR", 7},
      {SQL_DESC_TYPE_NAME, 0, "untouched", 0},
      {SQL_DESC_TYPE_NAME, -7, "untouched", 0},  // no room
      {SQL_DESC_LABEL, 20, "", 0},               // neither label nor name
      {SQL_DESC_CATALOG_NAME, 20, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bufferLength);
    char out[20] = "untouched";
    SQLINTEGER count = -1;
    EXPECT_EQ(ird->GetDescField(1, c.field, out, c.bufferLength, &count), SQL_SUCCESS);
    EXPECT_STREQ(out, c.expected);
    EXPECT_EQ(count, c.count);
  }
  ASSERT_EQ(ird->SetDescField(1, SQL_DESC_NAME, const_cast<char*>("amount"), SQL_NTS), 0);
  char out[20];
  ASSERT_EQ(ird->GetDescField(1, SQL_DESC_LABEL, out, sizeof out, nullptr), SQL_SUCCESS);
  EXPECT_STREQ(out, "amount");
  ASSERT_EQ(ird->SetDescField(1, SQL_DESC_LABEL, const_cast<char*>("Amount"), SQL_NTS), 0);
  ASSERT_EQ(ird->GetDescField(1, SQL_DESC_LABEL, out, sizeof out, nullptr), SQL_SUCCESS);
  EXPECT_STREQ(out, "Amount");
}

TEST_F(DescriptorRead, PrecisionIsReportedInSixteenBits) {
  ird->records[1]->precision = 65546;
  SQLSMALLINT precision = 0;
  ASSERT_EQ(ird->GetDescField(1, SQL_DESC_PRECISION, &precision, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(precision, 10);
}

TEST_F(DescriptorRead, DefaultCTypeOnlyInAnImplementationRowDescriptor) {
  const struct {
    SQLSMALLINT concise;
    SQLINTEGER odbcVersion;
    SQLSMALLINT expected;
  } cases[] = {
      {SQL_INTEGER, 3, SQL_C_SLONG},       {SQL_VARCHAR, 3, SQL_C_CHAR},
      {SQL_TYPE_DATE, 3, SQL_C_TYPE_DATE}, {SQL_TYPE_TIMESTAMP, 2, SQL_C_TIMESTAMP},
      {SQL_BIGINT, 3, SQL_C_SBIGINT},      {SQL_INTERVAL_DAY, 3, 777},  // unknown: untouched
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.concise);
    ird->SetOdbcVersion(c.odbcVersion);
    ird->records[1]->conciseType = c.concise;
    SQLSMALLINT out = 777;
    ASSERT_EQ(ird->GetDescField(1, QVO_DESC_DEFAULT_C_TYPE, &out, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(out, c.expected);
  }
  for (SQLSMALLINT kind : {QVO_DESC_ARD, QVO_DESC_APD, QVO_DESC_IPD, QVO_DESC_USER}) {
    auto d = MakeDescriptor(kind, &english);
    ASSERT_EQ(d->ResizeRecordTable(1), SQL_SUCCESS);
    SQLSMALLINT out = 777;
    EXPECT_EQ(d->GetDescField(1, QVO_DESC_DEFAULT_C_TYPE, &out, 0, nullptr), SQL_ERROR);
    EXPECT_EQ(LastState(*d), "HY016");
    EXPECT_EQ(LastMessage(*d), "Cannot access this field in this descriptor.");
    EXPECT_EQ(out, 777);
  }
}

TEST_F(DescriptorRead, GetDescRec) {
  __cliDescriptorRecords& r = *ird->records[1];
  ASSERT_EQ(ird->SetDescField(1, SQL_DESC_NAME, const_cast<char*>("created_at"), SQL_NTS), 0);
  r.type = SQL_DATETIME;
  r.datetimeIntervalCode = SQL_CODE_TIMESTAMP;
  r.length = SQLULEN{1} << 33;
  r.octetLength = 16;
  r.precision = 65539;
  r.scale = 3;
  r.nullable = SQL_NO_NULLS;

  char name[8];
  SQLSMALLINT nameLength = -1, type = -1, subType = -1, precision = -1, scale = -1, nullable = -1;
  SQLLEN length = -1;
  ASSERT_EQ(ird->GetDescRec(1, name, sizeof name, &nameLength, &type, &subType, &length, &precision,
                            &scale, &nullable),
            SQL_SUCCESS);
  EXPECT_STREQ(name, "created");
  EXPECT_EQ(nameLength, 7);
  EXPECT_EQ(type, SQL_DATETIME);
  EXPECT_EQ(subType, SQL_CODE_TIMESTAMP);
  EXPECT_EQ(length, SQLLEN{1} << 33);  // the length, not the octet length
  EXPECT_EQ(precision, 3);
  EXPECT_EQ(scale, 3);
  EXPECT_EQ(nullable, SQL_NO_NULLS);

  ird->records[2]->type = SQL_INTEGER;
  subType = 42;
  nameLength = 42;
  ASSERT_EQ(ird->GetDescRec(2, nullptr, 10, &nameLength, &type, &subType, nullptr, nullptr, nullptr,
                            nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(subType, 42);
  EXPECT_EQ(nameLength, 42);  // no name buffer: untouched

  const struct {
    SQLSMALLINT record;
    const char* message;
  } failures[] = {{-1, "Invalid descriptor index."},
                  {3, "Invalid descriptor index."},
                  {0, "Invalid descriptor index 0, bookmarks not supported."}};
  for (const auto& f : failures) {
    type = 42;
    EXPECT_EQ(ird->GetDescRec(f.record, name, sizeof name, &nameLength, &type, nullptr, nullptr,
                              nullptr, nullptr, nullptr),
              SQL_ERROR);
    EXPECT_EQ(LastState(*ird), "07009");
    EXPECT_EQ(LastMessage(*ird), f.message);
    EXPECT_EQ(type, 42);
  }
}

}  // namespace
