// Defaults of each kind, growing and shrinking the record table, identifier
// limits and copying one descriptor into another.
#include <cstring>

#include "descriptor_test_support.h"

namespace {

class DescriptorModel : public ::testing::Test {
 protected:
  Translator english{0};
};

TEST_F(DescriptorModel, EveryKindStartsEmptyWithItsDefaults) {
  struct Case {
    SQLSMALLINT kind, allocArg, allocType, recordType;
    SQLINTEGER caseSensitive;
  };
  const Case cases[] = {
      {QVO_DESC_ARD, 1, 1, SQL_C_DEFAULT, 0},
      {QVO_DESC_ARD, 2, 2, SQL_C_DEFAULT, 0},
      {QVO_DESC_APD, 1, 1, SQL_C_DEFAULT, 0},
      {QVO_DESC_IRD, 2, 1, 0, 1},
      {QVO_DESC_IPD, 2, 1, 0, 0},
      {QVO_DESC_USER, 1, 2, SQL_C_DEFAULT, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    cliDescriptor d(c.allocArg, c.kind, &english);
    EXPECT_EQ(d.handleType, SQL_HANDLE_DESC);
    EXPECT_EQ(d.descType, c.kind);
    EXPECT_EQ(d.header.allocType, c.allocType);
    EXPECT_EQ(d.header.arraySize, 1u);
    EXPECT_EQ(d.header.arrayStatusPtr, nullptr);
    EXPECT_EQ(d.header.bindType, 0u);
    EXPECT_EQ(d.header.count, 0);
    EXPECT_TRUE(d.records.empty());
    ASSERT_EQ(d.header.bindOffsetPtr, &d.header.bindOffsetDummy);
    EXPECT_EQ(*d.header.bindOffsetPtr, 0);
    ASSERT_EQ(d.header.rowsProcessedPtr, &d.header.rowsProcessed);
    EXPECT_EQ(*d.header.rowsProcessedPtr, 0u);
    EXPECT_EQ(d.protocolVersion, -1);
    EXPECT_EQ(d.maxVarcharLength, 20000);
    EXPECT_EQ(d.maxIdentifierLength, 128);
    EXPECT_EQ(d.maxIdentifierOctetLength, 512);

    ASSERT_EQ(d.ResizeRecordTable(3), SQL_SUCCESS);
    ASSERT_EQ(d.records.size(), 4u);
    for (SQLSMALLINT n = 1; n <= 3; ++n) {
      const __cliDescriptorRecords& r = *d.records[n];
      EXPECT_EQ(r.type, c.recordType);
      EXPECT_EQ(r.conciseType, SQL_C_DEFAULT);
      EXPECT_EQ(r.caseSensitive, c.caseSensitive);
      EXPECT_EQ(r.nullable, 1);
      EXPECT_EQ(r.parameterType, 1);
      EXPECT_EQ(r.searchable, 3);
      EXPECT_EQ(r.unnamed, 1);
      EXPECT_EQ(r.updatable, 2);
      EXPECT_EQ(r.dataPtr, nullptr);
      EXPECT_EQ(r.octetLengthPtr, nullptr);
      EXPECT_EQ(r.descName, nullptr);
      EXPECT_EQ(r.typeName[0], 0);
    }
  }
}

TEST_F(DescriptorModel, ShrinkingKeepsSurvivorsAndGrowingStartsFresh) {
  cliDescriptor d(1, QVO_DESC_ARD, &english);
  ASSERT_EQ(d.ResizeRecordTable(5), SQL_SUCCESS);
  int buffer = 0;
  for (SQLSMALLINT n = 1; n <= 5; ++n)
    ASSERT_EQ(d.SetDescField(n, SQL_DESC_NAME, const_cast<char*>("column"), SQL_NTS), 0);
  d.records[2]->dataPtr = &buffer;
  __cliDescriptorRecords* first = d.records[1].get();
  __cliDescriptorRecords* second = d.records[2].get();

  ASSERT_EQ(d.ResizeRecordTable(5), SQL_SUCCESS);  // same size: nothing moves
  EXPECT_EQ(d.records[1].get(), first);

  ASSERT_EQ(d.ResizeRecordTable(2), SQL_SUCCESS);
  EXPECT_EQ(d.header.count, 2);
  ASSERT_EQ(d.records.size(), 3u);
  EXPECT_EQ(d.records[1].get(), first);
  EXPECT_EQ(d.records[2].get(), second);
  EXPECT_EQ(second->dataPtr, &buffer);
  EXPECT_EQ(NameOf(*second), "column");

  ASSERT_EQ(d.ResizeRecordTable(0), SQL_SUCCESS);
  EXPECT_EQ(d.header.count, 0);
  EXPECT_TRUE(d.records.empty());
  ASSERT_EQ(d.ResizeRecordTable(1), SQL_SUCCESS);
  EXPECT_EQ(d.records[1]->descName, nullptr);
  EXPECT_EQ(d.records[1]->dataPtr, nullptr);

  EXPECT_EQ(d.ResizeRecordTable(-1), SQL_ERROR);
  EXPECT_EQ(d.header.count, 1);
}

TEST_F(DescriptorModel, IdentifierLimitIsAtLeastForty) {
  cliDescriptor d(1, QVO_DESC_ARD, &english);
  const struct {
    int given, chars, bytes;
  } cases[] = {{10, 40, 160}, {40, 40, 160}, {128, 128, 512}};
  for (const auto& c : cases) {
    d.SetMaxIdentifierLength(c.given);
    EXPECT_EQ(d.maxIdentifierLength, c.chars);
    EXPECT_EQ(d.maxIdentifierOctetLength, c.bytes);
  }
}

TEST_F(DescriptorModel, CopyRefusals) {
  struct Case {
    SQLSMALLINT target, source;
    SQLSMALLINT sourceCount;
    const char* state;
    const char* message;
    SQLSMALLINT targetKindAfter;
  };
  const Case cases[] = {
      {QVO_DESC_IRD, QVO_DESC_ARD, 1, "HY016", "Cannot modify an implementation row descriptor.",
       QVO_DESC_IRD},
      {QVO_DESC_ARD, QVO_DESC_USER, 1, "HY016",
       "Cannot copy from a descriptor with undefined type.", QVO_DESC_ARD},
      {QVO_DESC_USER, QVO_DESC_IRD, 0, "HY007", "Associated statement is not prepared.",
       QVO_DESC_IRD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    auto target = MakeDescriptor(c.target, &english);
    auto source = MakeDescriptor(c.source, &english);
    ASSERT_EQ(target->ResizeRecordTable(2), SQL_SUCCESS);
    __cliDescriptorRecords* kept = target->records[1].get();
    ASSERT_EQ(source->ResizeRecordTable(c.sourceCount), SQL_SUCCESS);
    EXPECT_EQ(target->CopyDescriptorFrom(source.get()), SQL_ERROR);
    EXPECT_EQ(target->GetNumRecords(), 1);
    EXPECT_EQ(LastState(*target), c.state);
    EXPECT_EQ(LastMessage(*target), c.message);
    EXPECT_EQ(target->descType, c.targetKindAfter);
    EXPECT_EQ(target->header.count, 2);
    EXPECT_EQ(target->records[1].get(), kept);
  }
}

TEST_F(DescriptorModel, CopyGivesTheTargetItsOwnCopies) {
  Translator german(1);
  const struct { SQLSMALLINT source; } cases[] = {{QVO_DESC_IPD}, {QVO_DESC_IRD}, {QVO_DESC_ARD}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    auto source = MakeDescriptor(c.source, &german);
    SQLLEN lengths[2];
    int data;
    ASSERT_EQ(source->SetDescField(1, SQL_DESC_NAME, const_cast<char*>("first"), SQL_NTS), 0);
    ASSERT_EQ(source->SetDescField(2, SQL_DESC_TABLE_NAME, const_cast<char*>("t2"), SQL_NTS), 0);
    ASSERT_EQ(source->SetDescField(2, SQL_DESC_CONCISE_TYPE, IntValue(SQL_INTEGER), 0), 0);
    ASSERT_EQ(source->SetDescField(2, SQL_DESC_DATA_PTR, &data, 0), 0);
    ASSERT_EQ(source->SetDescField(2, SQL_DESC_OCTET_LENGTH_PTR, lengths, 0), 0);
    source->records[2]->qvoType = 63;
    *source->header.bindOffsetPtr = 16;  // written through the pointer the application read

    auto target = MakeDescriptor(QVO_DESC_USER, &english);
    target->SetDiagRec("01000", -1, "earlier");
    ASSERT_EQ(target->CopyDescriptorFrom(source.get()), SQL_SUCCESS);
    EXPECT_EQ(target->GetNumRecords(), 0);
    EXPECT_EQ(target->GetTranslatorLangCode(), 1);
    EXPECT_EQ(target->descType, c.source);
    EXPECT_EQ(target->header.allocType, SQL_DESC_ALLOC_USER);
    EXPECT_EQ(target->header.count, 2);
    // The default pointers lead to the target's own counters, with the values.
    EXPECT_EQ(target->header.bindOffsetPtr, &target->header.bindOffsetDummy);
    EXPECT_EQ(target->header.rowsProcessedPtr, &target->header.rowsProcessed);
    EXPECT_EQ(target->header.bindOffsetDummy, 16);
    EXPECT_NE(target->records[1]->descName, source->records[1]->descName);

    source.reset();
    EXPECT_EQ(*target->header.bindOffsetPtr, 16);
    *target->header.rowsProcessedPtr = 3;
    EXPECT_EQ(NameOf(*target->records[1]), "first");
    EXPECT_EQ(std::string(target->records[2]->tableName), "t2");
    EXPECT_EQ(target->records[2]->conciseType, SQL_INTEGER);
    EXPECT_EQ(target->records[2]->octetLength, 4);
    EXPECT_EQ(target->records[2]->dataPtr, &data);
    EXPECT_EQ(target->records[2]->octetLengthPtr, lengths);
    EXPECT_EQ(target->records[2]->qvoType, 63);
  }
}

TEST_F(DescriptorModel, CopyKeepsApplicationPointersAndTellsTheOwner) {
  FakeStatement statement;
  SQLLEN offset = 8;
  SQLULEN processed = 0;
  SQLUSMALLINT status[4];
  auto source = MakeDescriptor(QVO_DESC_APD, &english);
  ASSERT_EQ(source->SetDescField(0, SQL_DESC_BIND_OFFSET_PTR, &offset, 0), 0);
  ASSERT_EQ(source->SetDescField(0, SQL_DESC_ROWS_PROCESSED_PTR, &processed, 0), 0);
  ASSERT_EQ(source->SetDescField(0, SQL_DESC_ARRAY_STATUS_PTR, status, 0), 0);
  ASSERT_EQ(source->SetDescField(0, SQL_DESC_ARRAY_SIZE, IntValue(4), 0), 0);

  auto target = MakeDescriptor(QVO_DESC_ARD, &english, &statement);
  ASSERT_EQ(target->CopyDescriptorFrom(source.get()), SQL_SUCCESS);
  EXPECT_EQ(target->descType, QVO_DESC_ARD);
  EXPECT_EQ(target->header.bindOffsetPtr, &offset);
  EXPECT_EQ(target->header.rowsProcessedPtr, &processed);
  EXPECT_EQ(target->header.arrayStatusPtr, status);
  EXPECT_EQ(target->header.arraySize, 4u);
  EXPECT_EQ(target->header.allocType, SQL_DESC_ALLOC_AUTO);
  EXPECT_EQ(statement.bindingNotices, 1);
}

TEST_F(DescriptorModel, CopyOntoItselfChangesNothing) {
  auto d = MakeDescriptor(QVO_DESC_ARD, &english);
  ASSERT_EQ(d->SetDescField(1, SQL_DESC_NAME, const_cast<char*>("keep"), SQL_NTS), 0);
  __cliDescriptorRecords* record = d->records[1].get();
  Translator* translator = d->GetTranslatorPtr();
  EXPECT_EQ(d->CopyDescriptorFrom(d.get()), SQL_SUCCESS);
  EXPECT_EQ(d->header.count, 1);
  EXPECT_EQ(d->records[1].get(), record);
  EXPECT_EQ(NameOf(*record), "keep");
  EXPECT_EQ(d->GetTranslatorPtr(), translator);
  EXPECT_EQ(d->GetNumRecords(), 0);
}

}  // namespace
