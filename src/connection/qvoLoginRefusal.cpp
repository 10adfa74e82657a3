#include "connection/qvoLoginRefusal.h"

#include <cstring>

namespace {

struct Refusal {
  const char* state;
  qvoLoginRefusal kind;
};

constexpr Refusal kRefusals[] = {
    {"40004", qvoLoginRefusal::EndsSession}, {"40009", qvoLoginRefusal::EndsSession},
    {"40018", qvoLoginRefusal::EndsSession}, {"40020", qvoLoginRefusal::EndsSession},
    {"40021", qvoLoginRefusal::EndsSession}, {"40022", qvoLoginRefusal::EndsSession},
    {"40001", qvoLoginRefusal::KeepsSocket}, {"40002", qvoLoginRefusal::KeepsSocket},
    {"40003", qvoLoginRefusal::KeepsSocket}, {"40005", qvoLoginRefusal::KeepsSocket},
    {"40007", qvoLoginRefusal::KeepsSocket}, {"40008", qvoLoginRefusal::KeepsSocket},
    {"40010", qvoLoginRefusal::KeepsSocket}, {"40011", qvoLoginRefusal::KeepsSocket},
    {"40017", qvoLoginRefusal::KeepsSocket}, {"40019", qvoLoginRefusal::KeepsSocket},
};

}  // namespace

qvoLoginRefusal LoginRefusalOf(const char* sqlState) {
  if (sqlState == nullptr) return qvoLoginRefusal::None;
  for (const Refusal& r : kRefusals)
    if (std::strcmp(r.state, sqlState) == 0) return r.kind;
  return qvoLoginRefusal::None;
}
