// The node's side of prepared statements: it decodes the execute-prepared
// message (command 11) with its own reader and answers prepare (command 10)
// and execute-prepared requests for one statement text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_node.h"
#include "support/fake_results.h"

namespace fake {

struct PreparedParam {
  int32_t type = 0;  // server type as described (_CHAR and _VARCHAR both 10)
  int32_t precision = 0, scale = 0;
  uint8_t varying = 0;
  int32_t size = 0, octets = 0;
};

// One decoded execute-prepared message. A value is its wire bytes (text
// without its length field), or nullopt for NULL.
struct PreparedMessage {
  int32_t handle = 0;
  int32_t one = 0;
  uint8_t flag = 0;
  int64_t rows = 0, rowsAgain = 0;
  std::vector<PreparedParam> params;
  std::vector<std::vector<std::optional<Bytes>>> values;  // [row][param]
};

// nullopt when the bytes are not a well-formed message (a type the node does
// not know, a value past the end, bytes left over, row counts that differ).
std::optional<PreparedMessage> DecodePrepared(const Bytes& data);

// A little-endian integer value of a decoded row.
int64_t ValueInt(const Bytes& value);

// Answers the create-prepared request of `sql` with `handle`, the
// parameter description and no result description, and every
// execute-prepared request with a row count equal to the rows it carried.
// Each decoded message is kept in `seen`; an undecodable one is answered
// with an exception.
void ServePrepared(FakeNode& node, std::string sql, int32_t handle,
                   std::vector<results::Column> params, std::vector<PreparedMessage>* seen);

}  // namespace fake
