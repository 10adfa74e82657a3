// sqlStatement: a byte buffer that holds either a statement's SQL text or the
// data part of a request under construction, in the little-endian payload
// encoding of the wire:
//   int32   4 bytes
//   bool    1 byte, 1 or 0
//   string  int32 byte length, then the bytes (no terminator)
//   null    int32 -1, nothing else
// The buffer always carries a zero byte after the last counted byte, so a
// stored text can be read as a C string.
#pragma once

#include <memory>

class sqlStatement {
 public:
  sqlStatement() = default;
  ~sqlStatement() = default;
  sqlStatement(const sqlStatement&) = delete;
  sqlStatement& operator=(const sqlStatement&) = delete;

  // Stores len bytes of text (-3: zero-terminated; null or another negative
  // length: empty). The previous buffer becomes the old one.
  void SetStatement(const char* text, int len);
  // Starts an empty payload with room for size bytes (it grows when more is
  // appended). The previous buffer becomes the old one.
  void SetStatement(int size);

  // Append one element; each returns the new length.
  int AddInt32(int value);
  int AddBool(bool value);
  // A null text is written as -1. At most maxLen - 1 bytes of the text are
  // written, and the length field states what was written.
  int AddString(const char* text, int maxLen);

  // Valid until the next SetStatement or append.
  char* GetStatement() const { return statement.get(); }
  int GetStatementLen() const { return statementLen; }
  char* GetOldStatement() const { return oldStatement.get(); }

 private:
  // Makes room for n more bytes plus the trailing zero.
  void Reserve(int n);

  std::unique_ptr<char[]> statement;
  int statementLen = 0;
  int statementSize = 0;  // usable bytes of statement, the trailing zero not counted
  std::unique_ptr<char[]> oldStatement;
  int oldStatementLen = 0;
};
