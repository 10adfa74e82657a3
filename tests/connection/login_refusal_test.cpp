// The one table of login refusals, read by the login and by the reconnect.
#include <gtest/gtest.h>

#include "connection/qvoLoginRefusal.h"

namespace {

TEST(LoginRefusal, GroupsBySqlState) {
  struct Case {
    const char* state;
    qvoLoginRefusal kind;
  };
  const Case cases[] = {
      {"40004", qvoLoginRefusal::EndsSession},
      {"40022", qvoLoginRefusal::EndsSession},
      {"40001", qvoLoginRefusal::KeepsSocket},
      {"40019", qvoLoginRefusal::KeepsSocket},
      // 40006 and 40012..40016 lie between the groups and belong to neither.
      {"40006", qvoLoginRefusal::None},
      {"40012", qvoLoginRefusal::None},
      {"40023", qvoLoginRefusal::None},
      {"4000", qvoLoginRefusal::None},
      {"400011", qvoLoginRefusal::None},
      {"08004", qvoLoginRefusal::None},
      {"", qvoLoginRefusal::None},
      {nullptr, qvoLoginRefusal::None},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.state ? k.state : "null");
    EXPECT_EQ(LoginRefusalOf(k.state), k.kind);
  }
}

}  // namespace
