#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "handles/qvoCallFrame.h"
#include "handles/qvoEnvironment.h"
#include "handles/qvoHandleTable.h"
#include "qvo/qvoCInterface.h"

namespace {

size_t Index(SQLHANDLE h) { return HandleIndex(h); }

// Frees whatever a test put into the table, whatever happened in between.
class TableTest : public testing::Test {
 protected:
  void TearDown() override {
    for (SQLHANDLE h : taken) RemoveHandle(h);
    SetMaxHandles(0);
    ASSERT_EQ(NumUsedHandles(), 0u);
  }
  SQLHANDLE Take(SQLSMALLINT type, SQLHANDLE master = SQL_NULL_HANDLE) {
    SQLHANDLE h = AddHandle(type, master);
    if (h != SQL_NULL_HANDLE) taken.push_back(h);
    return h;
  }
  std::vector<SQLHANDLE> taken;
};

// A connection stand-in that notes the order of destruction.
std::vector<size_t> destroyed;
struct FakeConnection : qvoHandle {
  explicit FakeConnection(SQLHANDLE h) {
    handleType = SQL_HANDLE_DBC;
    handleID = h;
  }
  ~FakeConnection() override { destroyed.push_back(HandleIndex(handleID)); }
};

}  // namespace

TEST_F(TableTest, LowerLimitBoundsOnlyNewHandles) {
  std::vector<SQLHANDLE> first;
  for (int i = 0; i < 5; ++i) first.push_back(Take(SQL_HANDLE_DESC));
  EXPECT_EQ(Index(first[4]), 5u);

  SetMaxHandles(3);
  EXPECT_EQ(GetMaxHandles(), 3u);
  EXPECT_EQ(Take(SQL_HANDLE_DESC), nullptr) << "no free index up to the limit";
  for (SQLHANDLE h : first) EXPECT_EQ(IsQVOHandle(h), SQL_HANDLE_DESC) << Index(h);
  EXPECT_TRUE(IsMyUnderling(first[4], SQL_NULL_HANDLE));
  EXPECT_EQ(RemoveHandle(first[4]), SQL_SUCCESS) << "a handle above the limit can be freed";
  taken.pop_back();

  RemoveHandle(first[1]);
  EXPECT_EQ(Index(Take(SQL_HANDLE_DESC)), 2u) << "the lowest free index is reused";

  const struct {
    SQLULEN set;
    size_t limit;
  } limits[] = {{0, 2048}, {2001, 2048}, {2000, 2000}, {1, 1}};
  for (const auto& l : limits) {
    SetMaxHandles(l.set);
    EXPECT_EQ(GetMaxHandles(), l.limit) << l.set;
  }
}

TEST_F(TableTest, EntriesAndTheirChecks) {
  SQLHANDLE env = Take(SQL_HANDLE_ENV);
  SQLHANDLE dbc = Take(SQL_HANDLE_DBC, env);
  EXPECT_EQ(GetMasterOfCliHandle(dbc), env);
  EXPECT_EQ(GetCliHandleType(GetHandleAddress(dbc)), SQL_HANDLE_DBC);
  EXPECT_EQ(CliHandle(GetMasterOfTmHandle(GetHandleAddress(dbc))), env);
  EXPECT_EQ(HandlesOfMaster(env, 0), std::vector<SQLHANDLE>{dbc});

  for (size_t bad : {size_t{0}, size_t{2049}, size_t{100000}}) {
    EXPECT_EQ(IsQVOHandle(HandleValue(bad)), 0) << bad;
    EXPECT_EQ(GetHandlePtr(HandleValue(bad)), nullptr) << bad;
    EXPECT_EQ(RemoveHandle(HandleValue(bad)), SQL_ERROR) << bad;
  }
  EXPECT_EQ(RemoveHandle(HandleValue(40)), SQL_ERROR) << "a free entry";
  EXPECT_EQ(NumUsedHandles(), 2u);
}

TEST(Environment, FreeingTakesItsConnectionsInHandleOrder) {
  SQLHANDLE env = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  SQLHANDLE other = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &other), SQL_SUCCESS);
  std::vector<size_t> mine;
  for (SQLHANDLE master : {env, other, env, env}) {
    SQLHANDLE h = AddHandle(SQL_HANDLE_DBC, master);
    SetHandlePtr(h, new FakeConnection(h));
    if (master == env) mine.push_back(HandleIndex(h));
  }
  destroyed.clear();
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
  EXPECT_EQ(destroyed, mine);
  for (size_t i : mine) EXPECT_EQ(IsQVOHandle(HandleValue(i)), 0);
  destroyed.clear();
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, other), SQL_SUCCESS);
  EXPECT_EQ(destroyed.size(), 1u);
  EXPECT_EQ(NumUsedHandles(), 0u);
}

TEST(CallFrame, ChecksTheHandleAndCatchesExceptions) {
  SQLHANDLE env = SQL_NULL_HANDLE;
  ASSERT_EQ(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  auto* object = static_cast<qvoEnvironment*>(GetHandlePtr(env));

  int calls = 0;
  auto count = [&](qvoHandle&) { return static_cast<SQLRETURN>(++calls); };
  EXPECT_EQ(qvoCallWith<qvoHandle>(env, SQL_HANDLE_DBC, qvo_frame::NoConversion{}, count),
            SQL_INVALID_HANDLE);
  EXPECT_EQ(qvoCallWith<qvoHandle>(env, 0, qvo_frame::NoConversion{}, count), SQL_INVALID_HANDLE);
  EXPECT_EQ(calls, 0);

  // The result goes through RetCode, or directly.
  EXPECT_EQ(qvoCallWith<qvoHandle>(env, SQL_HANDLE_ENV, qvo_frame::NoConversion{}, count), 1);
  EXPECT_EQ(object->diagHeader.diagReturncode, 1);
  EXPECT_EQ((qvoCallWith<qvoHandle, qvoReturnVia::Direct>(env, SQL_HANDLE_ENV,
                                                          qvo_frame::NoConversion{}, count)),
            2);
  EXPECT_EQ(object->diagHeader.diagReturncode, 1);

  // A failed conversion stops the call; exceptions become -1.
  EXPECT_EQ(qvoCallWith<qvoHandle>(
                env, SQL_HANDLE_ENV, [](qvoHandle&) { return SQLRETURN{SQL_ERROR}; }, count),
            SQL_ERROR);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(qvoCallWith<qvoHandle>(env, SQL_HANDLE_ENV, qvo_frame::NoConversion{},
                                   [](qvoHandle&) -> SQLRETURN { throw std::bad_alloc(); }),
            SQL_ERROR);
  ASSERT_EQ(object->GetNumRecords(), 1);
  EXPECT_STREQ(object->GetDiagRecPtr(1)->diagSQLState, "HY001");
  EXPECT_EQ(qvoCallWith<qvoHandle>(env, SQL_HANDLE_ENV, qvo_frame::NoConversion{},
                                   [](qvoHandle&) -> SQLRETURN { throw std::runtime_error("x"); }),
            SQL_ERROR);

  // An entry without its object (being created or freed) is no live handle.
  SetHandlePtr(env, nullptr);
  EXPECT_EQ(qvoCall<qvoEnvironment>(env, SQL_HANDLE_ENV, &qvoEnvironment::LooseSlaves),
            SQL_INVALID_HANDLE);
  SetHandlePtr(env, object);
  EXPECT_EQ(QVOFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}
