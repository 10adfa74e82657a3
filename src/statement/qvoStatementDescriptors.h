// qvoStatementDescriptors: the statement's descriptor set. ARD, IRD, APD and
// IPD are the descriptors in use, idARD... their handle values; auto_ARD...
// and auto_idARD... are the statement's own (automatic) descriptors, which
// live in the handle table and go with the statement's handle. An
// application's descriptor may take the place of the ARD, APD or IPD; the
// IRD is always the statement's own.
//
// The statement holds the set and alone changes which descriptor is in use;
// everyone else reads it.
#pragma once

#include "descriptors/qvoDescriptors.h"

struct qvoStatementDescriptors {
  cliDescriptor* ARD = nullptr;
  cliDescriptor* IRD = nullptr;
  cliDescriptor* APD = nullptr;
  cliDescriptor* IPD = nullptr;
  SQLPOINTER idARD = nullptr;
  SQLPOINTER idIRD = nullptr;
  SQLPOINTER idAPD = nullptr;
  SQLPOINTER idIPD = nullptr;
  cliDescriptor* auto_ARD = nullptr;
  cliDescriptor* auto_IRD = nullptr;
  cliDescriptor* auto_APD = nullptr;
  cliDescriptor* auto_IPD = nullptr;
  SQLPOINTER auto_idARD = nullptr;
  SQLPOINTER auto_idIRD = nullptr;
  SQLPOINTER auto_idAPD = nullptr;
  SQLPOINTER auto_idIPD = nullptr;

  // The fields of one role (QVO_DESC_ARD ...): in use, and the own one.
  struct Slot {
    cliDescriptor* qvoStatementDescriptors::*descriptor;
    SQLPOINTER qvoStatementDescriptors::*id;
    cliDescriptor* qvoStatementDescriptors::*ownDescriptor;
    SQLPOINTER qvoStatementDescriptors::*ownId;
  };
  // The slot of a role; null for a kind that is none.
  static const Slot* SlotOf(SQLINTEGER kind);

  // The statement's own descriptor of a role, registered as handle; it is
  // the one in use from now on.
  void Adopt(SQLINTEGER kind, cliDescriptor* desc, SQLPOINTER handle);
  // desc (with its handle value) takes the role's place; null: the own one
  // again.
  void Use(SQLINTEGER kind, cliDescriptor* desc, SQLPOINTER handle);
  // Wherever desc is in use, the own descriptor takes its place again;
  // whether it was in use.
  bool Release(const cliDescriptor* desc);
  // Forgets every descriptor (the statement could not be made).
  void Clear() { *this = qvoStatementDescriptors(); }
};
