// The exported descriptor functions on descriptors registered in the handle
// table: handle checks, text conversion narrow and wide, lengths and return
// codes.
#include <cstring>
#include <string>
#include <vector>

#include "descriptor_test_support.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"

namespace {

std::vector<SQLWCHAR> Wide(const char16_t* text) {
  std::vector<SQLWCHAR> w;
  for (; *text; ++text) w.push_back(static_cast<SQLWCHAR>(*text));
  w.push_back(0);
  return w;
}

class DescriptorEntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    latin1.InstallConverters("ISO-8859-1");
    ascii.InstallConverters("ASCII");
    ard = Register(QVO_DESC_ARD, latin1);
  }

  void TearDown() override {
    for (SQLHDESC h : registered) EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_DESC, h), SQL_SUCCESS);
  }

  // A descriptor in the handle table, owned by it from now on.
  SQLHDESC Register(SQLSMALLINT kind, FakeStatement& owner) {
    const SQLHANDLE h = AddHandle(SQL_HANDLE_DESC, SQL_NULL_HANDLE);
    EXPECT_NE(h, nullptr);
    auto d = MakeDescriptor(kind, &english, &owner);
    SetHandlePtr(h, d.release());
    registered.push_back(h);
    return h;
  }

  static cliDescriptor& Object(SQLHDESC h) { return *static_cast<cliDescriptor*>(GetHandlePtr(h)); }

  Translator english{0};
  FakeStatement latin1, ascii;
  std::vector<SQLHDESC> registered;
  SQLHDESC ard = SQL_NULL_HANDLE;
};

TEST_F(DescriptorEntryPoints, HandlesThatAreNotDescriptors) {
  const SQLHANDLE statementHandle = AddHandle(SQL_HANDLE_STMT, SQL_NULL_HANDLE);
  SetHandlePtr(statementHandle, &latin1);
  const SQLHANDLE unused = reinterpret_cast<SQLHANDLE>(static_cast<uintptr_t>(2000));
  Object(ard).RetCode(SQL_SUCCESS_WITH_INFO);
  SQLSMALLINT count;
  for (SQLHANDLE bad : {SQLHANDLE{}, statementHandle, unused}) {
    EXPECT_EQ(QVOCopyDesc(bad, ard), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOCopyDesc(ard, bad), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOSetDescField(bad, 1, SQL_DESC_TYPE, IntValue(SQL_C_CHAR), 0), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOGetDescField(bad, 0, SQL_DESC_COUNT, &count, 0, nullptr), SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOGetDescRecW(bad, 1, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
              SQL_INVALID_HANDLE);
    EXPECT_EQ(QVOSetDescRec(bad, 1, SQL_C_CHAR, 0, 0, 0, 0, nullptr, nullptr, nullptr),
              SQL_INVALID_HANDLE);
  }
  EXPECT_EQ(Object(ard).GetNumRecords(), 0);
  EXPECT_EQ(Object(ard).GetDiagHeaderPtr()->diagReturncode, SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(latin1.GetNumRecords(), 0);
  EXPECT_EQ(RemoveHandle(statementHandle), SQL_SUCCESS);
}

TEST_F(DescriptorEntryPoints, NarrowAndWideTextRoundTrip) {
  ASSERT_EQ(QVOSetDescField(ard, 1, SQL_DESC_NAME, const_cast<char*>("Gr\xFC\xDF"), SQL_NTS),
            SQL_SUCCESS);
  EXPECT_EQ(NameOf(*Object(ard).records[1]), "Gr\xC3\xBC\xC3\x9F");  // kept as UTF-8

  char narrow[20];
  SQLINTEGER length = -1;
  ASSERT_EQ(QVOGetDescField(ard, 1, SQL_DESC_NAME, narrow, sizeof narrow, &length), SQL_SUCCESS);
  EXPECT_STREQ(narrow, "Gr\xFC\xDF");
  EXPECT_EQ(length, 4);

  SQLWCHAR wide[12];
  ASSERT_EQ(QVOGetDescFieldW(ard, 1, SQL_DESC_NAME, wide, sizeof wide, &length), SQL_SUCCESS);
  EXPECT_EQ(std::vector<SQLWCHAR>(wide, wide + 5), Wide(u"Gr\u00FC\u00DF"));
  EXPECT_EQ(length, 8);  // bytes

  // The wide buffer length counts bytes: 6 bytes hold two characters and the terminator.
  std::memset(wide, 0xAB, sizeof wide);
  ASSERT_EQ(QVOGetDescFieldW(ard, 1, SQL_DESC_NAME, wide, 6, &length), SQL_SUCCESS);
  EXPECT_EQ(std::vector<SQLWCHAR>(wide, wide + 3), Wide(u"Gr"));
  EXPECT_EQ(length, 4);
  EXPECT_EQ(wide[3], 0xABAB);

  const auto text = Wide(u"ABCDEFG");
  ASSERT_EQ(QVOSetDescFieldW(ard, 2, SQL_DESC_TABLE_NAME, const_cast<SQLWCHAR*>(text.data()), 6),
            SQL_SUCCESS);
  EXPECT_STREQ(Object(ard).records[2]->tableName, "ABC");
  ASSERT_EQ(
      QVOSetDescFieldW(ard, 2, SQL_DESC_TYPE_NAME, const_cast<SQLWCHAR*>(text.data()), SQL_NTS),
      SQL_SUCCESS);
  EXPECT_STREQ(Object(ard).records[2]->typeName, "ABCDEFG");
}

TEST_F(DescriptorEntryPoints, TextLengthsAndResults) {
  const char unterminated[7] = {'A', 'B', 'C', 'D', 'E', 'F', 'G'};
  ASSERT_EQ(QVOSetDescField(ard, 1, SQL_DESC_NAME, const_cast<char*>(unterminated), 7), 0);
  ASSERT_EQ(QVOSetDescField(ard, 2, SQL_DESC_NAME, nullptr, 0), 0);
  EXPECT_EQ(Object(ard).records[2]->unnamed, SQL_UNNAMED);

  struct Case {
    SQLSMALLINT record;
    SQLINTEGER bufferLength;
    bool nullValue;
    SQLRETURN rc;
    const char* text;
    SQLINTEGER length;
    const char* state;
  };
  const Case cases[] = {
      {1, 4, false, SQL_SUCCESS, "ABC", 3, ""},
      {1, 0, false, SQL_SUCCESS, "untouched", 0, ""},
      {3, 10, false, SQL_NO_DATA, "untouched", -1, ""},
      {3, -1, false, SQL_NO_DATA, "untouched", -1, ""},  // the record first
      {1, 10, true, SQL_ERROR, "untouched", -1, "HY013"},
      {1, -3, false, SQL_ERROR, "untouched", -1, "HY090"},
      {0, 10, false, SQL_ERROR, "untouched", -1, "07009"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bufferLength);
    Object(ard).ClearDiagRecords();
    char out[10] = "untouched";
    SQLINTEGER length = -1;
    EXPECT_EQ(QVOGetDescField(ard, c.record, SQL_DESC_NAME, c.nullValue ? nullptr : out,
                              c.bufferLength, &length),
              c.rc);
    EXPECT_STREQ(out, c.text);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(LastState(Object(ard)), c.state);
  }
  EXPECT_EQ(QVOSetDescField(ard, 1, SQL_DESC_NAME, const_cast<char*>("x"), -5), SQL_ERROR);
  EXPECT_EQ(LastMessage(Object(ard)), "Invalid string or buffer length.");
  EXPECT_EQ(NameOf(*Object(ard).records[1]), "ABCDEFG");
}

TEST_F(DescriptorEntryPoints, ConversionFailures) {
  SQLHDESC d = Register(QVO_DESC_IPD, ascii);
  cliDescriptor& object = Object(d);
  object.RetCode(SQL_SUCCESS_WITH_INFO);

  // Text the application's code set cannot hold goes through RetCode.
  EXPECT_EQ(QVOSetDescField(d, 1, SQL_DESC_NAME, const_cast<char*>("\xC4"), SQL_NTS), SQL_ERROR);
  EXPECT_EQ(LastState(object), "SO021");
  EXPECT_EQ(LastMessage(object), "Error converting descriptor field string to UTF-8.");
  EXPECT_EQ(object.GetDiagHeaderPtr()->diagReturncode, SQL_ERROR);

  // A stored text the application's code set cannot take: returned directly.
  object.RetCode(SQL_SUCCESS_WITH_INFO);
  ASSERT_EQ(object.SetDescField(1, SQL_DESC_NAME, const_cast<char*>("\xC3\x84"), SQL_NTS), 0);
  char out[10];
  EXPECT_EQ(QVOGetDescField(d, 1, SQL_DESC_NAME, out, sizeof out, nullptr), SQL_ERROR);
  EXPECT_EQ(LastState(object), "HY923");
  EXPECT_EQ(LastMessage(object), "Error converting string value.");
  EXPECT_EQ(QVOGetDescRec(d, 1, reinterpret_cast<SQLCHAR*>(out), sizeof out, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr, nullptr),
            SQL_ERROR);
  EXPECT_EQ(object.GetDiagHeaderPtr()->diagReturncode, SQL_SUCCESS_WITH_INFO);

  // Bytes that are not UTF-8 cannot become UTF-16 either.
  ASSERT_EQ(object.SetDescField(2, SQL_DESC_NAME, const_cast<char*>("\xFF"), SQL_NTS), 0);
  SQLWCHAR wide[4];
  EXPECT_EQ(
      QVOGetDescRecW(d, 2, wide, 4, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
      SQL_ERROR);
  EXPECT_EQ(LastState(object), "HY923");
}

TEST_F(DescriptorEntryPoints, RecordsThroughSetDescRecAndGetDescRec) {
  int data;
  SQLLEN length;
  const SQLLEN big = SQLLEN{1} << 34;
  ASSERT_EQ(QVOSetDescRec(ard, 1, SQL_DATETIME, SQL_CODE_DATE, big, 0, 0, &data, &length, &length),
            SQL_SUCCESS);
  ASSERT_EQ(QVOSetDescField(ard, 1, SQL_DESC_NAME, const_cast<char*>("created_at"), SQL_NTS), 0);

  SQLLEN readLength = 0;
  ASSERT_EQ(QVOGetDescField(ard, 1, SQL_DESC_LENGTH, &readLength, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(readLength, big);

  char narrow[8];
  SQLSMALLINT nameLength = -1, type = -1, subType = -1;
  readLength = 0;
  ASSERT_EQ(QVOGetDescRec(ard, 1, reinterpret_cast<SQLCHAR*>(narrow), sizeof narrow, &nameLength,
                          &type, &subType, &readLength, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_STREQ(narrow, "created");
  EXPECT_EQ(nameLength, 7);
  EXPECT_EQ(type, SQL_DATETIME);
  EXPECT_EQ(subType, SQL_CODE_DATE);
  EXPECT_EQ(readLength, big);

  // Wide: the buffer length counts characters.
  SQLWCHAR wide[10];
  std::memset(wide, 0xAB, sizeof wide);
  ASSERT_EQ(QVOGetDescRecW(ard, 1, wide, 5, &nameLength, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(std::vector<SQLWCHAR>(wide, wide + 5), Wide(u"crea"));
  EXPECT_EQ(nameLength, 4);
  EXPECT_EQ(wide[5], 0xABAB);

  // Without a name buffer: the UTF-8 length as far as the buffer would reach.
  ASSERT_EQ(QVOGetDescRec(ard, 1, nullptr, 5, &nameLength, &type, nullptr, nullptr, nullptr,
                          nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(nameLength, 4);
  EXPECT_EQ(QVOGetDescRec(ard, 1, nullptr, -1, &nameLength, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr),
            SQL_ERROR);
  EXPECT_EQ(LastState(Object(ard)), "HY090");
}

TEST_F(DescriptorEntryPoints, CopyDescBetweenHandles) {
  ASSERT_EQ(QVOSetDescField(ard, 2, SQL_DESC_CONCISE_TYPE, IntValue(SQL_C_SLONG), 0), 0);
  SQLHDESC user = Register(QVO_DESC_USER, latin1);
  ASSERT_EQ(QVOCopyDesc(ard, user), SQL_SUCCESS);
  SQLSMALLINT count = 0, concise = 0;
  ASSERT_EQ(QVOGetDescField(user, 0, SQL_DESC_COUNT, &count, 0, nullptr), SQL_SUCCESS);
  ASSERT_EQ(QVOGetDescField(user, 2, SQL_DESC_CONCISE_TYPE, &concise, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(concise, SQL_C_SLONG);
  EXPECT_EQ(Object(user).descType, QVO_DESC_ARD);

  SQLHDESC ird = Register(QVO_DESC_IRD, latin1);
  EXPECT_EQ(QVOCopyDesc(ard, ird), SQL_ERROR);
  EXPECT_EQ(LastState(Object(ird)), "HY016");
}

}  // namespace
