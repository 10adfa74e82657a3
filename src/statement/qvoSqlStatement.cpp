#include "statement/qvoSqlStatement.h"

#include <algorithm>
#include <cstring>

#include "common/qvoStrings.h"
#include "protocol/qvoRequestPayloads.h"

void sqlStatement::SetStatement(const char* text, int len) {
  const int n = qvoSqlStrLen(text, len);
  auto fresh = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
  if (n > 0) std::memcpy(fresh.get(), text, static_cast<size_t>(n));
  fresh[n] = '\0';
  oldStatement = std::move(statement);
  oldStatementLen = statementLen;
  statement = std::move(fresh);
  statementLen = n;
  statementSize = n;
}

void sqlStatement::SetStatement(int size) {
  if (size < 0) size = 0;
  oldStatement = std::move(statement);
  oldStatementLen = statementLen;
  statement = std::make_unique<char[]>(static_cast<size_t>(size) + 1);  // zeroed
  statementLen = 0;
  statementSize = size;
}

void sqlStatement::Reserve(int n) {
  if (statement && statementSize - statementLen >= n) return;
  const int wanted = std::max(statementLen + n, statementSize * 2);
  auto grown = std::make_unique<char[]>(static_cast<size_t>(wanted) + 1);
  if (statement) std::memcpy(grown.get(), statement.get(), static_cast<size_t>(statementLen));
  statement = std::move(grown);
  statementSize = wanted;
}

int sqlStatement::AddInt32(int value) {
  char field[kInt32FieldBytes];
  EncodeInt32Field(field, value);
  Reserve(sizeof field);
  std::memcpy(statement.get() + statementLen, field, sizeof field);
  statementLen += sizeof field;
  statement[statementLen] = '\0';
  return statementLen;
}

int sqlStatement::AddBool(bool value) {
  Reserve(1);
  statement[statementLen++] = value ? 1 : 0;
  statement[statementLen] = '\0';
  return statementLen;
}

int sqlStatement::AddString(const char* text, int maxLen) {
  if (text == nullptr) return AddInt32(-1);
  const size_t full = std::strlen(text);
  const int room = maxLen > 0 ? maxLen - 1 : 0;
  const int n = static_cast<int>(std::min<size_t>(full, static_cast<size_t>(room)));
  AddInt32(n);
  Reserve(n);
  std::memcpy(statement.get() + statementLen, text, static_cast<size_t>(n));
  statementLen += n;
  statement[statementLen] = '\0';
  return statementLen;
}
