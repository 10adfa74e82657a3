// Protocol versions, named by what they switch. A connection asks for
// kCurrentProtocol; a node may answer with any version from kOldestProtocol
// on, and each feature below is used only from its version on.
#pragma once

#include "qvo/qvoTypes.h"

inline constexpr qvo_int32 kOldestProtocol = 7;
inline constexpr qvo_int32 kCurrentProtocol = 13;

// Further rows by byte budget (send_rows_fetch2); before it, by row count.
inline constexpr qvo_int32 kFetch2Protocol = 8;
// The query timeout is a session setting.
inline constexpr qvo_int32 kQueryTimeoutProtocol = 8;
// Asynchronous execution: statements may run asynchronously and be
// cancelled.
inline constexpr qvo_int32 kAsyncProtocol = 9;
// The node sends feedback while a query runs (feedback interval setting);
// before it, a receive waits without limit.
inline constexpr qvo_int32 kFeedbackProtocol = 9;
// A feedback interval that only the client knows: receives wait 5 seconds,
// the node hears the default, and the node's own value does not replace it.
inline constexpr qvo_int32 kFeedbackIntervalTestSetting = -1701;
// The default parameter size is a session setting.
inline constexpr qvo_int32 kDefaultParamSizeProtocol = 9;
// A fetch answer carries a kind byte, so a server error comes as an
// exception record.
inline constexpr qvo_int32 kFetchKindProtocol = 9;
// Time stamps in UTC are a session setting.
inline constexpr qvo_int32 kTimestampUtcProtocol = 10;
// The login may switch the socket to enciphered traffic.
inline constexpr qvo_int32 kCipherProtocol = 12;
