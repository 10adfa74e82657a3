// The readable protocol trace of the fake node: each message decoded into a
// few lines that a test can compare with expected text. Values that differ
// from run to run are masked.
#pragma once

#include <cstdint>
#include <string>

#include "support/fake_node.h"

namespace fake {

// "-> command ..." and the decoded request, one line per field group.
std::string TraceRequest(const Request& request);
// "<- ..." and the decoded answer to a request of `command`, read in the
// layout of protocol version `protocol`.
std::string TraceAnswer(const Reply& reply, uint8_t command, int32_t protocol);

}  // namespace fake
