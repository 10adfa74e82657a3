// Writing fields: type defaults, accepted values, pointers and the binding
// notice, texts, record counts and SetDescRec.
#include <cstring>
#include <string>

#include "descriptor_test_support.h"

namespace {

class DescriptorWrite : public ::testing::Test {
 protected:
  Translator english{0};
};

// Marks every member the type table may leave alone, so "unchanged" shows.
void Prefill(__cliDescriptorRecords& r) {
  r.datetimeIntervalCode = 77;
  r.datetimeIntervalPrecision = 66;
  r.length = 777;
  r.precision = 555;
  r.scale = 55;
  r.octetLength = 333;
  r.displaySize = 444;
  r.numPrecRadix = 7;
  r.fixedPrecScale = 9;
  std::strcpy(r.literalPrefix, "<");
  std::strcpy(r.literalSufix, ">");
}

TEST_F(DescriptorWrite, ConciseTypeSetsTheDefaultsOfItsType) {
  constexpr SQLLEN U = -99999;  // unchanged
  struct Case {
    SQLSMALLINT code, type;
    SQLLEN dtCode, length, precision, scale, octet, display, radix, fixed;
    bool quote;
  };
  // clang-format off
  const Case cases[] = {
    {-28, -28, 0, 5, 3, 0, 1, 4, 2, 0, false}, {-26, -26, 0, 5, 3, 0, 1, 4, 2, 0, false},
    {-6, -6, 0, 5, 3, 0, 1, 4, 2, 0, false},
    {-27, -27, 0, 22, 18, 0, 8, 21, 10, 1, false}, {-25, -25, 0, 22, 18, 0, 8, 21, 10, 1, false},
    {-5, -5, 0, 22, 18, 0, 8, 21, 10, 1, false},
    {-18, -18, 0, 12, 9, 0, 4, 11, 10, 0, false}, {-16, -16, 0, 12, 9, 0, 4, 11, 10, 0, false},
    {4, 4, 0, 12, 9, 0, 4, 11, 10, 0, false},
    {-17, -17, 0, 7, 5, 0, 2, 6, 10, 1, false}, {-15, -15, 0, 7, 5, 0, 2, 6, 10, 1, false},
    {5, 5, 0, 7, 5, 0, 2, 6, 10, 1, false},
    {-7, -7, 0, 2, 1, 0, 1, 1, 10, 1, false},
    {6, 6, 0, 25, 53, 0, 8, 24, 2, 1, false}, {8, 8, 0, 25, 53, 0, 8, 24, 2, 1, false},
    {7, 7, 0, 15, 24, 0, 4, 14, 2, 1, false},
    {2, 2, 0, 38, U, 0, U, U, 10, 1, false}, {3, 3, 0, 38, U, 0, U, U, 10, 1, false},
    {423, 423, 0, 11, 10, 0, 4, 11, 10, 1, false},
    {424, 424, 0, 20, 20, 0, 8, 21, 10, 1, false},
    {425, 425, 0, 38, 36, 0, 16, 37, 10, 1, false},
    {428, 428, 0, U, U, 0, U, U, 0, 1, false},
    {-11, -11, 0, 36, 36, 0, 16, 38, 0, 0, true},
    {-10, -10, 0, U, U, 0, U, U, 0, 0, true}, {-9, -9, 0, U, U, 0, U, U, 0, 0, true},
    {-8, -8, 0, U, U, 0, U, U, 0, 0, true}, {-1, -1, 0, U, U, 0, U, U, 0, 0, true},
    {1, 1, 0, U, U, 0, U, U, 0, 0, true}, {12, 12, 0, U, U, 0, U, U, 0, 0, true},
    {-4, -4, 0, U, U, 0, U, U, 0, 0, false}, {-3, -3, 0, U, U, 0, U, U, 0, 0, false},
    {-2, -2, 0, U, U, 0, U, U, 0, 0, false},
    {9, 9, 1, 10, 10, 0, 6, 10, 0, 0, true}, {91, 9, 1, 10, 10, 0, 6, 10, 0, 0, true},
    {10, 9, 2, 8, 8, 4, 6, 8, 0, 0, true}, {92, 9, 2, 8, 8, 4, 6, 8, 0, 0, true},
    {11, 9, 3, 26, 6, 6, 16, 26, 0, 0, true}, {93, 9, 3, 26, 6, 6, 16, 26, 0, 0, true},
    {431, 9, 3, 26, 6, 6, 16, 26, 0, 0, true},
    {99, 99, U, U, U, U, U, U, U, U, false},
  };
  // clang-format on
  auto d = MakeDescriptor(QVO_DESC_ARD, &english);  // no owning statement: precision 6
  ASSERT_EQ(d->ResizeRecordTable(1), SQL_SUCCESS);
  __cliDescriptorRecords& r = *d->records[1];
  auto expect = [](SQLLEN expected, SQLLEN prefilled, SQLLEN actual) {
    EXPECT_EQ(actual, expected == U ? prefilled : expected);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    Prefill(r);
    ASSERT_EQ(d->SetDescField(1, SQL_DESC_CONCISE_TYPE, IntValue(c.code), 0), SQL_SUCCESS);
    EXPECT_EQ(r.conciseType, c.code);
    EXPECT_EQ(r.type, c.type);
    expect(c.dtCode, 77, r.datetimeIntervalCode);
    expect(c.length, 777, static_cast<SQLLEN>(r.length));
    expect(c.precision, 555, r.precision);
    expect(c.scale, 55, r.scale);
    expect(c.octet, 333, r.octetLength);
    expect(c.display, 444, r.displaySize);
    expect(c.radix, 7, r.numPrecRadix);
    expect(c.fixed, 9, r.fixedPrecScale);
    EXPECT_EQ(r.datetimeIntervalPrecision, c.code == 99 ? 66 : 0);
    EXPECT_EQ(std::string(r.literalPrefix), c.quote ? "'" : "<");
    EXPECT_EQ(std::string(r.literalSufix), c.quote ? "'" : ">");
  }
}

TEST_F(DescriptorWrite, TimestampPrecisionComesFromTheOwningStatement) {
  FakeStatement statement;
  auto ird = MakeDescriptor(QVO_DESC_IRD, &english, &statement);
  const struct {
    SQLULEN p;
    SQLLEN length;
  } cases[] = {{3, 23}, {6, 26}, {9, 29}};
  for (const auto& c : cases) {
    statement.timestampPrecision = c.p;
    ASSERT_EQ(ird->SetDescField(1, SQL_DESC_CONCISE_TYPE, IntValue(SQL_TYPE_TIMESTAMP), 0), 0);
    const __cliDescriptorRecords& r = *ird->records[1];
    EXPECT_EQ(r.type, SQL_DATETIME);
    EXPECT_EQ(r.datetimeIntervalCode, SQL_CODE_TIMESTAMP);
    EXPECT_EQ(static_cast<SQLLEN>(r.length), c.length);
    EXPECT_EQ(r.displaySize, c.length);
    EXPECT_EQ(r.precision, static_cast<SQLINTEGER>(c.p));
    EXPECT_EQ(r.scale, static_cast<SQLSMALLINT>(c.p));
    EXPECT_EQ(r.octetLength, 16);
    EXPECT_STREQ(r.literalPrefix, "'");
  }
}

TEST_F(DescriptorWrite, RefusedConciseAndVerboseTypesChangeNothing) {
  const struct {
    SQLSMALLINT field, code;
    const char* state;
    const char* message;
  } cases[] = {
      {SQL_DESC_CONCISE_TYPE, SQL_INTERVAL_YEAR, "HYC00", "Data type not supported by driver."},
      {SQL_DESC_CONCISE_TYPE, SQL_INTERVAL_MINUTE_TO_SECOND, "HYC00",
       "Data type not supported by driver."},
      {SQL_DESC_CONCISE_TYPE, 0, "HYC00", "Invalid data type code."},
      {SQL_DESC_CONCISE_TYPE, 13, "HYC00", "Invalid data type code."},
      {SQL_DESC_CONCISE_TYPE, -12, "HYC00", "Invalid data type code."},
      {SQL_DESC_CONCISE_TYPE, QVO_WCHAR_UTF16, "HYC00", "Invalid data type code."},
      {SQL_DESC_TYPE, SQL_TYPE_TIMESTAMP, "HY092", "Invalid attribute/option identifier."},
      {SQL_DESC_TYPE, SQL_GUID, "HY092", "Invalid attribute/option identifier."},
      {SQL_DESC_TYPE, QVO_INT32, "HY092", "Invalid attribute/option identifier."},
      {SQL_DESC_TYPE, 0, "HY092", "Invalid attribute/option identifier."},
  };
  auto d = MakeDescriptor(QVO_DESC_ARD, &english);
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_CONCISE_TYPE, IntValue(SQL_C_SLONG), 0), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(d->SetDescField(1, c.field, IntValue(c.code), 0), SQL_ERROR);
    EXPECT_EQ(LastState(*d), c.state);
    EXPECT_EQ(LastMessage(*d), c.message);
    EXPECT_EQ(d->records[1]->conciseType, SQL_C_SLONG);
    EXPECT_EQ(d->records[1]->type, SQL_C_SLONG);
    EXPECT_EQ(d->records[1]->octetLength, 4);
  }
}

TEST_F(DescriptorWrite, VerboseTypeAndDatetimeCode) {
  auto v3 = MakeDescriptor(QVO_DESC_APD, &english);
  auto v2 = MakeDescriptor(QVO_DESC_APD, &english);
  v2->SetOdbcVersion(SQL_OV_ODBC2);

  ASSERT_EQ(v3->SetDescField(1, SQL_DESC_TYPE, IntValue(SQL_DATETIME), 0), 0);
  EXPECT_EQ(v3->records[1]->conciseType, SQL_C_DEFAULT);  // completed by the code
  ASSERT_EQ(v3->SetDescField(1, SQL_DESC_DATETIME_INTERVAL_CODE, IntValue(SQL_CODE_TIME), 0), 0);
  EXPECT_EQ(v3->records[1]->conciseType, SQL_TYPE_TIME);
  EXPECT_EQ(v3->records[1]->scale, 4);
  ASSERT_EQ(v2->SetDescField(1, SQL_DESC_TYPE, IntValue(SQL_DATETIME), 0), 0);
  ASSERT_EQ(v2->SetDescField(1, SQL_DESC_DATETIME_INTERVAL_CODE, IntValue(SQL_CODE_TIME), 0), 0);
  EXPECT_EQ(v2->records[1]->conciseType, SQL_TIME);

  EXPECT_EQ(v3->SetDescField(1, SQL_DESC_DATETIME_INTERVAL_CODE, IntValue(4), 0), SQL_ERROR);
  EXPECT_EQ(LastState(*v3), "HY092");

  ASSERT_EQ(v3->SetDescField(2, SQL_DESC_TYPE, IntValue(SQL_INTERVAL), 0), 0);
  ASSERT_EQ(v3->SetDescField(2, SQL_DESC_DATETIME_INTERVAL_CODE, IntValue(13), 0), 0);
  EXPECT_EQ(v3->records[2]->datetimeIntervalCode, 13);
  EXPECT_EQ(v3->SetDescField(2, SQL_DESC_DATETIME_INTERVAL_CODE, IntValue(14), 0), SQL_ERROR);
  EXPECT_EQ(LastState(*v3), "HY092");

  ASSERT_EQ(v3->SetDescField(3, SQL_DESC_TYPE, IntValue(SQL_INTEGER), 0), 0);
  EXPECT_EQ(v3->records[3]->conciseType, SQL_INTEGER);
  EXPECT_EQ(v3->records[3]->length, 12u);
  EXPECT_EQ(v3->SetDescField(3, SQL_DESC_DATETIME_INTERVAL_CODE, IntValue(1), 0), SQL_ERROR);
  EXPECT_EQ(LastState(*v3), "HY021");
  EXPECT_EQ(LastMessage(*v3), "Inconsistent descriptor information.");
}

TEST_F(DescriptorWrite, IntegerFieldsTakeTheirAcceptedValues) {
  struct Case {
    SQLSMALLINT field;
    SQLLEN value;
    bool accepted;
    SQLLEN stored;  // read back from the member when accepted
    const char* message;
  };
  const char* attr = "Invalid attribute/option identifier.";
  const char* option = "Invalid option value.";
  const Case cases[] = {
      {SQL_DESC_UNSIGNED, 65537, true, 1, nullptr},  // low 16 bits
      {SQL_DESC_UNSIGNED, -1, false, 0, attr},
      {SQL_DESC_FIXED_PREC_SCALE, 2, false, 0, attr},
      // Values other than the defaults (2 and 3), so that a write landing in
      // another field cannot pass.
      {SQL_DESC_UPDATABLE, 1, true, 1, nullptr},
      {SQL_DESC_UPDATABLE, 3, false, 0, attr},
      {SQL_DESC_AUTO_UNIQUE_VALUE, 1, true, 1, nullptr},
      {SQL_DESC_AUTO_UNIQUE_VALUE, 2, false, 0, option},
      {SQL_DESC_SEARCHABLE, 2, true, 2, nullptr},
      {SQL_DESC_SEARCHABLE, -1, false, 0, attr},
      {SQL_DESC_NUM_PREC_RADIX, 10, true, 10, nullptr},
      {SQL_DESC_NUM_PREC_RADIX, 8, false, 0, attr},
      {SQL_DESC_PARAMETER_TYPE, 4, true, 4, nullptr},
      {SQL_DESC_PARAMETER_TYPE, 3, false, 0, attr},
      {SQL_DESC_ROWVER, 1, true, 1, nullptr},
      {SQL_DESC_NULLABLE, 2, true, 2, nullptr},
      {SQL_DESC_NULLABLE, 3, false, 0, attr},
      {SQL_DESC_UNNAMED, 0, true, 0, nullptr},
      {SQL_DESC_PRECISION, 65546, true, 10, nullptr},  // low 16 bits, sign-extended
      {SQL_DESC_PRECISION, -2, true, -2, nullptr},
      {SQL_DESC_SCALE, 65539, true, 3, nullptr},
      {SQL_DESC_CASE_SENSITIVE, 5, true, 5, nullptr},
      {SQL_DESC_DISPLAY_SIZE, SQLLEN{1} << 40, true, SQLLEN{1} << 40, nullptr},
      {SQL_DESC_LENGTH, SQLLEN{3} << 33, true, SQLLEN{3} << 33, nullptr},
      {SQL_DESC_OCTET_LENGTH, SQLLEN{5} << 34, true, SQLLEN{5} << 34, nullptr},
      {QVO_DESC_OCTET_LENGTH_BACKUP, 4096, true, 4096, nullptr},
      {QVO_DESC_OCTET_LENGTH_BACKUP_ALT, 8192, true, 8192, nullptr},
  };
  auto member = [](const __cliDescriptorRecords& r, SQLSMALLINT field) -> SQLLEN {
    switch (field) {
      case SQL_DESC_UNSIGNED:
        return r.Unsigned;
      case SQL_DESC_FIXED_PREC_SCALE:
        return r.fixedPrecScale;
      case SQL_DESC_UPDATABLE:
        return r.updatable;
      case SQL_DESC_AUTO_UNIQUE_VALUE:
        return r.autoUniqueValue;
      case SQL_DESC_SEARCHABLE:
        return r.searchable;
      case SQL_DESC_NUM_PREC_RADIX:
        return r.numPrecRadix;
      case SQL_DESC_PARAMETER_TYPE:
        return r.parameterType;
      case SQL_DESC_ROWVER:
        return r.rowver;
      case SQL_DESC_NULLABLE:
        return r.nullable;
      case SQL_DESC_UNNAMED:
        return r.unnamed;
      case SQL_DESC_PRECISION:
        return r.precision;
      case SQL_DESC_SCALE:
        return r.scale;
      case SQL_DESC_CASE_SENSITIVE:
        return r.caseSensitive;
      case SQL_DESC_DISPLAY_SIZE:
        return r.displaySize;
      case SQL_DESC_LENGTH:
        return static_cast<SQLLEN>(r.length);
      case SQL_DESC_OCTET_LENGTH:
        return r.octetLength;
      default:
        return r.octetLengthBackup;
    }
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.field << " = " << c.value);
    auto d = MakeDescriptor(QVO_DESC_IPD, &english);
    ASSERT_EQ(d->ResizeRecordTable(1), SQL_SUCCESS);
    const SQLLEN before = member(*d->records[1], c.field);
    const SQLRETURN rc = d->SetDescField(1, c.field, IntValue(c.value), 0);
    if (c.accepted) {
      EXPECT_EQ(rc, SQL_SUCCESS);
      EXPECT_EQ(member(*d->records[1], c.field), c.stored);
    } else {
      EXPECT_EQ(rc, SQL_ERROR);
      EXPECT_EQ(LastState(*d), "HY092");
      EXPECT_EQ(LastMessage(*d), c.message);
      EXPECT_EQ(member(*d->records[1], c.field), before);
    }
  }
}

TEST_F(DescriptorWrite, HeaderFields) {
  auto d = MakeDescriptor(QVO_DESC_ARD, &english);
  const SQLULEN bigArray = (SQLULEN{1} << 32) + 5;
  ASSERT_EQ(d->SetDescField(-7, SQL_DESC_ARRAY_SIZE, IntValue(static_cast<SQLLEN>(bigArray)), 0),
            0);
  EXPECT_EQ(d->header.arraySize, bigArray);
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_BIND_TYPE, IntValue(48), 0), 0);
  EXPECT_EQ(d->header.bindType, 48u);

  SQLLEN offset = 4;
  SQLULEN processed = 0;
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_BIND_OFFSET_PTR, &offset, 0), 0);
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_ROWS_PROCESSED_PTR, &processed, 0), 0);
  EXPECT_EQ(d->header.bindOffsetPtr, &offset);
  EXPECT_EQ(d->header.rowsProcessedPtr, &processed);
  d->header.bindOffsetDummy = 12;
  d->header.rowsProcessed = 3;
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_BIND_OFFSET_PTR, nullptr, 0), 0);
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_ROWS_PROCESSED_PTR, nullptr, 0), 0);
  EXPECT_EQ(d->header.bindOffsetPtr, &d->header.bindOffsetDummy);
  EXPECT_EQ(*d->header.bindOffsetPtr, 0);
  EXPECT_EQ(d->header.rowsProcessedPtr, &d->header.rowsProcessed);
  EXPECT_EQ(*d->header.rowsProcessedPtr, 3u);

  ASSERT_EQ(d->SetDescField(0, SQL_DESC_ALLOC_TYPE, IntValue(SQL_DESC_ALLOC_USER), 0), 0);
  EXPECT_EQ(d->header.allocType, SQL_DESC_ALLOC_USER);
  EXPECT_EQ(d->SetDescField(0, SQL_DESC_ALLOC_TYPE, IntValue(3), 0), SQL_ERROR);
  EXPECT_EQ(LastMessage(*d), "Invalid option value.");
  EXPECT_EQ(d->header.allocType, SQL_DESC_ALLOC_USER);
}

TEST_F(DescriptorWrite, RecordCountStaysWithinRecordNumbers) {
  auto d = MakeDescriptor(QVO_DESC_ARD, &english);
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_COUNT, IntValue(2), 0), 0);
  for (SQLLEN bad : {SQLLEN{-1}, SQLLEN{32768}, SQLLEN{65537}, SQLLEN{1} << 33}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(d->SetDescField(0, SQL_DESC_COUNT, IntValue(bad), 0), SQL_ERROR);
    EXPECT_EQ(LastState(*d), "07009");
    EXPECT_EQ(LastMessage(*d), "Invalid descriptor index.");
    EXPECT_EQ(d->header.count, 2);
  }
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_COUNT, IntValue(32767), 0), 0);
  EXPECT_EQ(d->header.count, 32767);
  EXPECT_EQ(d->records.size(), 32768u);
  ASSERT_EQ(d->SetDescField(32767, SQL_DESC_DATA_PTR, d.get(), 0), 0);
  ASSERT_EQ(d->SetDescField(0, SQL_DESC_COUNT, IntValue(0), 0), 0);
  EXPECT_TRUE(d->records.empty());
}

TEST_F(DescriptorWrite, RefusedWritesDoNotGrowTheTable) {
  const struct {
    SQLSMALLINT record, field;
    SQLPOINTER value;
    SQLINTEGER length;
    const char* state;
  } cases[] = {
      {0, SQL_DESC_NAME, const_cast<char*>("x"), SQL_NTS, "07009"},
      {-2, SQL_DESC_DATA_PTR, nullptr, 0, "07009"},
      {5, 30, nullptr, 0, "HY091"},
      {5, QVO_DESC_DEFAULT_C_TYPE, nullptr, 0, "HY091"},  // read only
      {5, SQL_DESC_UNSIGNED, IntValue(7), 0, "HY092"},
      {5, SQL_DESC_CONCISE_TYPE, IntValue(SQL_INTERVAL_DAY), 0, "HYC00"},
      {5, SQL_DESC_INDICATOR_PTR, IntValue(64), 0, "HY000"},
      {5, SQL_DESC_NAME, const_cast<char*>("name"), -5, "HY090"},
      {5, SQL_DESC_TYPE_NAME, const_cast<char*>("name"), -1, "HY090"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    auto d = MakeDescriptor(QVO_DESC_ARD, &english);
    ASSERT_EQ(d->ResizeRecordTable(2), SQL_SUCCESS);
    EXPECT_EQ(d->SetDescField(c.record, c.field, c.value, c.length), SQL_ERROR);
    EXPECT_EQ(LastState(*d), c.state);
    EXPECT_EQ(d->header.count, 2);
    EXPECT_EQ(d->records.size(), 3u);
  }
  auto d = MakeDescriptor(QVO_DESC_ARD, &english);
  ASSERT_EQ(d->SetDescField(5, SQL_DESC_UNSIGNED, IntValue(1), 0), SQL_SUCCESS);
  EXPECT_EQ(d->header.count, 5);
}

TEST_F(DescriptorWrite, IndicatorSharesTheOctetLengthPointer) {
  FakeStatement statement;
  auto d = MakeDescriptor(QVO_DESC_ARD, &english, &statement);
  SQLLEN lengths[2];
  SQLLEN other;
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_INDICATOR_PTR, nullptr, 0), SQL_SUCCESS);
  EXPECT_EQ(d->SetDescField(1, SQL_DESC_INDICATOR_PTR, &other, 0), SQL_ERROR);
  EXPECT_EQ(LastMessage(*d), "Feature not supported: indicator ptr differs octet length ptr.");
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_OCTET_LENGTH_PTR, lengths, 0), SQL_SUCCESS);
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_INDICATOR_PTR, lengths, 0), SQL_SUCCESS);

  SQLLEN* octet = nullptr;
  SQLLEN* indicator = nullptr;
  ASSERT_EQ(d->GetDescField(1, SQL_DESC_OCTET_LENGTH_PTR, &octet, 0, nullptr), 0);
  ASSERT_EQ(d->GetDescField(1, SQL_DESC_INDICATOR_PTR, &indicator, 0, nullptr), 0);
  EXPECT_EQ(octet, lengths);
  EXPECT_EQ(indicator, lengths);
  // Every write of one of the three binding pointers is noticed, a refused one too.
  EXPECT_EQ(statement.bindingNotices, 4);
}

TEST_F(DescriptorWrite, BindingNoticeReachesOnlyTheOwningStatement) {
  FakeStatement statement;
  int data;
  SQLLEN length;
  auto ard = MakeDescriptor(QVO_DESC_ARD, &english, &statement);
  ASSERT_EQ(ard->SetDescField(1, SQL_DESC_DATA_PTR, &data, 0), 0);
  EXPECT_EQ(statement.bindingNotices, 1);
  for (SQLSMALLINT field : {SQL_DESC_CONCISE_TYPE, SQL_DESC_OCTET_LENGTH, SQL_DESC_COUNT})
    ASSERT_EQ(ard->SetDescField(1, field, IntValue(1), 0), 0);
  EXPECT_EQ(statement.bindingNotices, 1);
  ASSERT_EQ(ard->SetDescRec(2, SQL_C_CHAR, 0, 10, 0, 0, &data, &length, &length), 0);
  EXPECT_EQ(statement.bindingNotices, 2);

  // A descriptor under a connection has no owning statement.
  qvoHandle connection;
  connection.handleType = SQL_HANDLE_DBC;
  auto user = MakeDescriptor(QVO_DESC_USER, &english, &connection);
  EXPECT_EQ(user->OwningStatement(), nullptr);
  EXPECT_EQ(user->SetDescField(1, SQL_DESC_DATA_PTR, &data, 0), SQL_SUCCESS);
  EXPECT_EQ(user->SetDescField(1, SQL_DESC_CONCISE_TYPE, IntValue(SQL_TYPE_TIMESTAMP), 0), 0);
  EXPECT_EQ(user->records[1]->length, 26u);
}

TEST_F(DescriptorWrite, TextFields) {
  auto d = MakeDescriptor(QVO_DESC_IPD, &english);
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_NAME, const_cast<char*>("ABCDEFGHIJ"), 4), 0);
  EXPECT_EQ(NameOf(*d->records[1]), "ABCD");
  EXPECT_EQ(d->records[1]->descNameLen, 4);
  EXPECT_EQ(d->records[1]->unnamed, SQL_NAMED);
  for (SQLPOINTER empty : {static_cast<SQLPOINTER>(const_cast<char*>("")), SQLPOINTER{}}) {
    ASSERT_EQ(d->SetDescField(1, SQL_DESC_NAME, empty, SQL_NTS), 0);
    EXPECT_EQ(d->records[1]->descNameLen, 0);
    ASSERT_NE(d->records[1]->descName, nullptr);
    EXPECT_EQ(d->records[1]->unnamed, SQL_UNNAMED);
  }
  // Exactly the given bytes are read: the buffer has no terminator.
  const char unterminated[3] = {'a', 'b', 'c'};
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_TABLE_NAME, const_cast<char*>(unterminated), 3), 0);
  EXPECT_STREQ(d->records[1]->tableName, "abc");
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_TYPE_NAME, const_cast<char*>(unterminated), 3), 0);
  EXPECT_STREQ(d->records[1]->typeName, "abc");

  // Fixed arrays keep their size less one byte.
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_LITERAL_PREFIX, const_cast<char*>("123456789012"), SQL_NTS),
            0);
  EXPECT_STREQ(d->records[1]->literalPrefix, "1234567");
  const std::string longName(60, 'n');
  ASSERT_EQ(
      d->SetDescField(1, SQL_DESC_LOCAL_TYPE_NAME, const_cast<char*>(longName.c_str()), SQL_NTS),
      0);
  EXPECT_EQ(std::string(d->records[1]->localTypeName), longName.substr(0, 39));
}

TEST_F(DescriptorWrite, SetDescRecWritesTheMainFieldsOnly) {
  auto d = MakeDescriptor(QVO_DESC_APD, &english);
  int data;
  SQLLEN length, indicator;
  EXPECT_EQ(d->SetDescRec(0, SQL_INTEGER, 0, 4, 0, 0, &data, &length, &indicator), SQL_ERROR);
  EXPECT_EQ(LastState(*d), "07009");
  EXPECT_EQ(d->header.count, 0);

  const SQLLEN big = SQLLEN{1} << 36;
  ASSERT_EQ(d->SetDescRec(3, SQL_INTERVAL, 3, big, -5, 2, &data, &length, &indicator), 0);
  EXPECT_EQ(d->header.count, 3);
  const __cliDescriptorRecords& r = *d->records[3];
  EXPECT_EQ(r.type, SQL_INTERVAL);
  EXPECT_EQ(r.datetimeIntervalCode, 3);
  EXPECT_EQ(r.conciseType, SQL_C_DEFAULT);
  EXPECT_EQ(r.length, static_cast<SQLULEN>(big));
  EXPECT_EQ(r.precision, -5);
  EXPECT_EQ(r.scale, 2);
  EXPECT_EQ(r.dataPtr, &data);
  EXPECT_EQ(r.octetLengthPtr, &length);

  ASSERT_EQ(d->SetDescRec(1, SQL_INTEGER, 7, 4, 0, 0, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(d->records[1]->datetimeIntervalCode, 0);  // SubType only for 9 and 10
}

}  // namespace
