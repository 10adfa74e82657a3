#include "statement/qvoStatementDescriptors.h"

namespace {

using Set = qvoStatementDescriptors;

// By role, in the order of the kinds QVO_DESC_ARD..QVO_DESC_IPD.
constexpr Set::Slot kSlots[] = {
    {&Set::ARD, &Set::idARD, &Set::auto_ARD, &Set::auto_idARD},
    {&Set::APD, &Set::idAPD, &Set::auto_APD, &Set::auto_idAPD},
    {&Set::IRD, &Set::idIRD, &Set::auto_IRD, &Set::auto_idIRD},
    {&Set::IPD, &Set::idIPD, &Set::auto_IPD, &Set::auto_idIPD},
};

}  // namespace

const Set::Slot* qvoStatementDescriptors::SlotOf(SQLINTEGER kind) {
  if (kind < QVO_DESC_ARD || kind > QVO_DESC_IPD) return nullptr;
  return &kSlots[kind - QVO_DESC_ARD];
}

void qvoStatementDescriptors::Adopt(SQLINTEGER kind, cliDescriptor* desc, SQLPOINTER handle) {
  const Slot* slot = SlotOf(kind);
  if (slot == nullptr) return;
  this->*slot->descriptor = this->*slot->ownDescriptor = desc;
  this->*slot->id = this->*slot->ownId = handle;
}

void qvoStatementDescriptors::Use(SQLINTEGER kind, cliDescriptor* desc, SQLPOINTER handle) {
  const Slot* slot = SlotOf(kind);
  if (slot == nullptr) return;
  this->*slot->descriptor = desc ? desc : this->*slot->ownDescriptor;
  this->*slot->id = desc ? handle : this->*slot->ownId;
}

bool qvoStatementDescriptors::Release(const cliDescriptor* desc) {
  bool used = false;
  for (SQLINTEGER kind : {QVO_DESC_ARD, QVO_DESC_APD, QVO_DESC_IPD}) {
    const Slot* slot = SlotOf(kind);
    if (this->*slot->descriptor != desc) continue;
    this->*slot->descriptor = this->*slot->ownDescriptor;
    this->*slot->id = this->*slot->ownId;
    used = true;
  }
  return used;
}
