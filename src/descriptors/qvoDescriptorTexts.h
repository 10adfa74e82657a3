// Where each text field of a descriptor record lives: seven texts owned by
// the record with their lengths, four fixed arrays inside it.
#pragma once

#include <array>

#include "descriptors/qvoDescriptors.h"

struct qvoOwnedText {
  char* __cliDescriptorRecordFields::*text;
  int __cliDescriptorRecordFields::*length;
};

inline constexpr std::array<qvoOwnedText, 7> kOwnedTexts{{
    {&__cliDescriptorRecordFields::baseColumnName, &__cliDescriptorRecordFields::baseColumnNameLen},
    {&__cliDescriptorRecordFields::baseTableName, &__cliDescriptorRecordFields::baseTableNameLen},
    {&__cliDescriptorRecordFields::catalogName, &__cliDescriptorRecordFields::catalogNameLen},
    {&__cliDescriptorRecordFields::label, &__cliDescriptorRecordFields::labelLen},
    {&__cliDescriptorRecordFields::descName, &__cliDescriptorRecordFields::descNameLen},
    {&__cliDescriptorRecordFields::schemaName, &__cliDescriptorRecordFields::schemaNameLen},
    {&__cliDescriptorRecordFields::tableName, &__cliDescriptorRecordFields::tableNameLen},
}};

// One text field by identifier: either an owned text or a fixed array.
struct qvoTextField {
  SQLSMALLINT id;
  qvoOwnedText owned;  // text null for a fixed array
  char (__cliDescriptorRecordFields::*fixed8)[8];
  char (__cliDescriptorRecordFields::*fixed40)[40];
};

inline constexpr qvoOwnedText kNotOwned{nullptr, nullptr};

inline constexpr std::array<qvoTextField, 11> kTextFields{{
    {SQL_DESC_TYPE_NAME, kNotOwned, nullptr, &__cliDescriptorRecordFields::typeName},
    {SQL_DESC_TABLE_NAME, kOwnedTexts[6], nullptr, nullptr},
    {SQL_DESC_SCHEMA_NAME, kOwnedTexts[5], nullptr, nullptr},
    {SQL_DESC_CATALOG_NAME, kOwnedTexts[2], nullptr, nullptr},
    {SQL_DESC_LABEL, kOwnedTexts[3], nullptr, nullptr},
    {SQL_DESC_BASE_COLUMN_NAME, kOwnedTexts[0], nullptr, nullptr},
    {SQL_DESC_BASE_TABLE_NAME, kOwnedTexts[1], nullptr, nullptr},
    {SQL_DESC_LITERAL_PREFIX, kNotOwned, &__cliDescriptorRecordFields::literalPrefix, nullptr},
    {SQL_DESC_LITERAL_SUFFIX, kNotOwned, &__cliDescriptorRecordFields::literalSufix, nullptr},
    {SQL_DESC_LOCAL_TYPE_NAME, kNotOwned, nullptr, &__cliDescriptorRecordFields::localTypeName},
    {SQL_DESC_NAME, kOwnedTexts[4], nullptr, nullptr},
}};

inline const qvoTextField* FindTextField(SQLSMALLINT id) {
  for (const auto& f : kTextFields)
    if (f.id == id) return &f;
  return nullptr;
}
