// The ODBC access rules per descriptor kind, and the record-number checks
// that come before them.
#include <algorithm>
#include <vector>

#include "descriptor_test_support.h"

namespace {

class DescriptorRules : public ::testing::Test {
 protected:
  Translator english{0};
};

bool Contains(const std::vector<int>& list, int id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

const std::vector<int> kKnown = {2,    6,    8,    9,    10,   11,   12,   13,   14,    15,   16,
                                 17,   18,   20,   21,   22,   23,   24,   25,   26,    27,   28,
                                 29,   32,   33,   34,   35,   1001, 1002, 1003, 1004,  1005, 1006,
                                 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1099, 21084, -9917};
const std::vector<int> kUnknown = {0, 1, 3, 4, 5, 7, 19, 30, 31, 36, 1000, 1014, 21077};

TEST_F(DescriptorRules, WhichKindMayWriteAndReadWhichField) {
  // Per kind: the fields it may write, and the fields it has no data for.
  const std::vector<int> appWrite = {2,    20,   21,   24,   25,   26,   32,   1001,  1002, 1003,
                                     1004, 1005, 1006, 1007, 1009, 1010, 1013, 21084, -9917};
  const std::vector<int> appNoData = {6,  8,  9,  10, 11, 12, 13, 14, 15,   16,   17,  18,
                                      22, 23, 27, 28, 29, 33, 34, 35, 1008, 1011, 1012};
  struct Kind {
    SQLSMALLINT kind;
    std::vector<int> write, noData;
  };
  const Kind kinds[] = {
      {QVO_DESC_ARD, appWrite, appNoData},
      {QVO_DESC_APD, appWrite, appNoData},
      {QVO_DESC_IRD, {21, 34, 21084, -9917}, {20, 24, 25, 33, 1004, 1009, 1010}},
      {QVO_DESC_IPD,
       {2, 21, 26, 32, 33, 34, 1001, 1002, 1003, 1005, 1006, 1007, 1011, 1012, 1013, 21084, -9917},
       {6, 10, 11, 13, 15, 16, 17, 18, 20, 22, 23, 24, 25, 27, 28, 1004, 1009, 1010}},
      {QVO_DESC_USER,
       {2,    20,   21,   24,   25,   26,   32,   33,   34,   1001,  1002, 1003,
        1004, 1005, 1006, 1007, 1009, 1010, 1011, 1012, 1013, 21084, -9917},
       {}},
  };
  for (const auto& k : kinds) {
    auto d = MakeDescriptor(k.kind, &english);
    ASSERT_EQ(d->ResizeRecordTable(2), SQL_SUCCESS);
    for (int id : kKnown) {
      SCOPED_TRACE(testing::Message() << "kind " << k.kind << " field " << id);
      const auto field = static_cast<SQLSMALLINT>(id);
      d->ClearDiagRecords();
      if (Contains(k.write, id)) {
        EXPECT_EQ(d->CheckSetDescField(1, field, nullptr, 0), SQL_SUCCESS);
        EXPECT_EQ(d->GetNumRecords(), 0);
      } else {
        EXPECT_EQ(d->CheckSetDescField(1, field, nullptr, 0), SQL_ERROR);
        EXPECT_EQ(LastState(*d), "HY016");
        EXPECT_EQ(LastMessage(*d), "Cannot modify this field in this descriptor.");
      }
      d->ClearDiagRecords();
      SQLLEN value = 0;
      const SQLRETURN read = d->CheckGetDescField(1, field, &value, 0, nullptr);
      if (id == 21084 || id == -9917) {
        EXPECT_EQ(read, SQL_ERROR);
        EXPECT_EQ(LastState(*d), "HY091");
      } else {
        EXPECT_EQ(read, Contains(k.noData, id) ? SQL_NO_DATA : SQL_SUCCESS);
        EXPECT_EQ(d->GetNumRecords(), 0);
      }
    }
    for (int id : kUnknown) {
      SCOPED_TRACE(testing::Message() << "kind " << k.kind << " unknown " << id);
      SQLLEN value = 0;
      EXPECT_EQ(d->CheckSetDescField(1, static_cast<SQLSMALLINT>(id), nullptr, 0), SQL_ERROR);
      EXPECT_EQ(LastMessage(*d), "Invalid descriptor field identifier.");
      EXPECT_EQ(d->CheckGetDescField(1, static_cast<SQLSMALLINT>(id), &value, 0, nullptr),
                SQL_ERROR);
      EXPECT_EQ(LastState(*d), "HY091");
    }
  }
}

TEST_F(DescriptorRules, RecordNumberComesFirst) {
  auto d = MakeDescriptor(QVO_DESC_ARD, &english);
  ASSERT_EQ(d->ResizeRecordTable(2), SQL_SUCCESS);
  SQLLEN value = 0;
  struct Case {
    bool write;
    SQLSMALLINT record, field;
    SQLPOINTER value;
    SQLRETURN rc;
    const char* state;  // "" for no record
  };
  const Case cases[] = {
      {true, 0, SQL_DESC_TYPE, nullptr, SQL_SUCCESS, ""},  // no bookmark refusal
      {true, 3, SQL_DESC_TYPE, nullptr, SQL_ERROR, "07009"},
      {true, 3, 30, nullptr, SQL_ERROR, "07009"},  // before the identifier
      {true, -1, SQL_DESC_TYPE, nullptr, SQL_ERROR, "07009"},
      {true, -5, SQL_DESC_ARRAY_SIZE, nullptr, SQL_SUCCESS, ""},
      {false, 3, SQL_DESC_TYPE, nullptr, SQL_NO_DATA, ""},  // before the null Value
      {false, -1, SQL_DESC_TYPE, &value, SQL_ERROR, "07009"},
      {false, 0, SQL_DESC_TYPE, &value, SQL_SUCCESS, ""},
      {false, 9, SQL_DESC_COUNT, nullptr, SQL_ERROR, "HY013"},
      {false, 1, SQL_DESC_TYPE, nullptr, SQL_ERROR, "HY013"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.write << " " << c.record << "/" << c.field);
    d->ClearDiagRecords();
    const SQLRETURN rc = c.write ? d->CheckSetDescField(c.record, c.field, c.value, 0)
                                 : d->CheckGetDescField(c.record, c.field, c.value, 0, nullptr);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(LastState(*d), c.state);
  }
  auto empty = MakeDescriptor(QVO_DESC_APD, &english);
  EXPECT_EQ(empty->CheckSetDescField(1, SQL_DESC_TYPE, nullptr, 0), SQL_ERROR);
  EXPECT_EQ(LastMessage(*empty), "Invalid descriptor index.");
  EXPECT_EQ(empty->header.count, 0);
}

}  // namespace
