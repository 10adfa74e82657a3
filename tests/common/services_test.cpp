#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/qvoServices.h"

namespace {

TEST(Services, OdbcVersionText) {
  EXPECT_STREQ(actualOdbcVersion().GetVersionStr(), "03.52");
  EXPECT_EQ(&actualOdbcVersion(), &actualOdbcVersion());
  struct Case {
    int ver;
    const char* text;
  } cases[] = {{4, "03.52"}, {2, "02.00"}, {3, "03.51"}, {380, "03.80.0000"}, {0, "03.80.0000"}};
  ActualOdbcVersion v;
  for (const Case& tc : cases) {
    v.SetVersion(tc.ver);
    EXPECT_STREQ(v.GetVersionStr(), tc.text) << tc.ver;
  }
}

TEST(Services, LibraryRandomLeavesTheApplicationsRandAlone) {
  std::srand(4711);
  const int first = std::rand();
  std::srand(4711);
  qvoSrandInit();
  for (int i = 0; i < 10; ++i) qvoRand();
  EXPECT_EQ(std::rand(), first);
}

TEST(Services, LibraryRandomIsRepeatableAndInRange) {
  qvoSrand(12345);
  std::vector<int> a;
  for (int i = 0; i < 100; ++i) a.push_back(qvoRand());
  qvoSrand(12345);
  for (int i = 0; i < 100; ++i) {
    const int r = qvoRand();
    EXPECT_EQ(r, a[i]);
    EXPECT_GE(r, 0);
    EXPECT_LE(r, RAND_MAX);
  }
  // Many threads at once: no torn state (ThreadSanitizer tells, which runs
  // this program's thread tests as tsan.threads_units).
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      qvoSrandInit();
      for (int i = 0; i < 1000; ++i) qvoRand();
    });
  for (auto& t : threads) t.join();
}

TEST(Services, HostNameToAddress) {
  struct Case {
    const char* host;
    int bufferLen;
    int result;
    const char* text;
  } cases[] = {
      {"127.0.0.1", 16, 0, "127.0.0.1"},
      {"localhost", 16, 0, "127.0.0.1"},  // from the hosts file
      {"127.0.0.1", 4, 0, "127"},         // a short buffer gets a cut text
      {nullptr, 16, -1, "untouched"},
      {"127.0.0.1", -5, -1, "untouched"},
      // Too long to be any host name: fails without asking a name server.
      {"this-name-cannot-exist-because-it-is-far-too-long-for-any-host-name-label-at-all.invalid",
       16, -1, "untouched"},
  };
  for (const Case& tc : cases) {
    char buf[16] = "untouched";
    EXPECT_EQ(GetIpFromHostname(tc.host, buf, tc.bufferLen), tc.result)
        << (tc.host ? tc.host : "(null)");
    EXPECT_STREQ(buf, tc.text);
  }
}

TEST(Services, SetLocale) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  EXPECT_STREQ(qvoSetLocale(LC_CTYPE, "C"), "C");
  EXPECT_EQ(qvoSetLocale(LC_CTYPE, "xx_NO_SUCH"), nullptr);
  EXPECT_NE(qvoSetLocale(LC_CTYPE, nullptr), nullptr);  // a query
  std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(Services, CatchCounter) {
  const SQLUBIGINT before = GetCatchCount();
  EXPECT_EQ(LogCatch(), before + 1);
  EXPECT_EQ(GetCatchCount(), before + 1);
}

}  // namespace
