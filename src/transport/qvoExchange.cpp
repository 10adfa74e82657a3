// One request and its answer: header, attribute block and data out; header,
// attributes (handed to the caller, for the connection to apply) and data
// back.
//
// Nothing read from the server is trusted: the attribute block must lie
// inside the message, its records inside the block and their count must match
// the header; the data part is bounded before anything is allocated for it.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "common/qvoAttributeIds.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandle.h"
#include "protocol/qvoAnswers.h"
#include "protocol/qvoAttributeBlock.h"
#include "protocol/qvoProtocolVersion.h"
#include "transport/qvoSocket.h"

namespace {

// First size of an answer buffer; it doubles as the data arrive, so that a
// header announcing far more data than follow costs no more than what was
// sent. A fetch answer gets room for its byte budget (16 MB) at once, so that
// it is received without growing (each growth copies what arrived and
// touches fresh pages); the pages of that room are only touched as data
// arrive.
constexpr size_t answerChunk = size_t{1} << 20;
constexpr size_t fetchAnswerChunk = size_t{1} << 24;
// The room a fetch answer buffer is made with: a server fills the budget,
// and its answer is a few header bytes more than that, more or less from
// answer to answer; all of them fit, so that the two buffers a stream of
// fetch answers alternates between never grow after the first answer.
constexpr size_t fetchAnswerRoom = 4 + fetchAnswerChunk + answerChunk;

constexpr char invalidAttributesSize[] =
    "Invalid attributes size received in client server protocoll. This most likely indicates "
    "that the connection was not made to an Vandrel. ";

struct CommandName {
  int command;
  const char* name;
};
constexpr CommandName commandNames[] = {
    {create_prepared_statement, "create_prepared_statement"},
    {execute_prepared_statement, "execute_prepared_statement"},
    {execute, "execute"},
    {close_result_set, "close_result_set"},
    {send_rows, "send_rows"},
    {get_hostnames, "get_hostnames"},
    {execute_batch, "execute_batch"},
    {close_prepared_statement, "close_prepared_statement"},
    {session_kill, "session_kill"},
    {enter_parallel, "enter_parallel"},
    {describe_resultset, "describe_resultset"},
    {disconnect_current, "disconnect_current"},
    {send_slave_offset, "send_slave_offset"},
    {get_attributes, "get_attributes"},
    {set_attributes, "set_attributes"},
    {send_rows_fetch2, "send_rows_fetch2"},
    {abort_query, "abort_query"},
    {continue_execution, "continue_execution"},
    {Ping, "Ping"},
};

}  // namespace

const char* qvoMessageModeName(int command) {
  for (const CommandName& c : commandNames)
    if (c.command == command) return c.name;
  return nullptr;
}

// ---- the exchange ---------------------------------------------------------------

void qvoSocket::LogExchange(qvoHandle* requester, const qvoAttributes* attributes,
                            qvo_int64 dataLength, __qvoMessageMode command) {
  char part[96];
  std::string line;
  std::snprintf(part, sizeof part, "Protocol version V%i, ", connection->protocolVersion);
  line += part;
  line += owner->SocketEncryption() ? "socketEncryption=Y, " : "socketEncryption=N, ";
  line +=
      encryptor.encryptedCommunication ? "encryptedCommunication=Y" : "encryptedCommunication=N";
  if (const char* name = qvoMessageModeName(command)) {
    line += ", ";
    line += name;
  } else {
    std::snprintf(part, sizeof part, ", message_mode=%i", static_cast<int>(command));
    line += part;
  }
  if (!requester)
    std::snprintf(part, sizeof part, ", requested by connection: %i",
                  static_cast<int>(reinterpret_cast<intptr_t>(connection->GetHandleID())));
  else if (requester->GetHandleID() == owner->GetStmt4Attr() && owner->GetStmt4Attr())
    std::snprintf(part, sizeof part, ", requested by stmt4attr");
  else
    std::snprintf(part, sizeof part, ", requested by stmt: %i",
                  static_cast<int>(reinterpret_cast<intptr_t>(requester->GetHandleID())));
  line += part;
  std::snprintf(part, sizeof part, ", %i attributes, %lli bytes of data\n",
                attributes ? attributes->GetNumAttributes() : 0,
                static_cast<long long>(dataLength));
  line += part;
  connection->Log("%s", line.c_str());
}

qvo_int64 qvoSocket::qvoExecSQL(qvoHandle* requester, std::unique_ptr<qvoAttributes>* attributes,
                                const char* data, qvo_int64 dataLength, __qvoMessageMode command,
                                std::unique_ptr<qvoAttributes>* answerAttributes,
                                qvo_int32* answerVersion) {
  qvoMutex lock(socketMutex);
  answerBytesReceived = 0;
  qvoAttributes* list = attributes ? attributes->get() : nullptr;
  if (connection->logFull) LogExchange(requester, list, dataLength, command);

  if (command != continue_execution) {
    qvoMutex sending(sendMutex);
    // The message length field holds attribute bytes plus data bytes.
    const qvo_int64 attrBytes = list ? list->GetAttrDataLen() : 0;
    if (dataLength < 0 || (dataLength > 0 && !data) || dataLength > maxMessageData - attrBytes)
      return QVO_DIAG(connection, _Invalid_string_or_buffer_length_, -1);

    if (list && list->GetAttrDataLen() > 0) {
      const int len = list->GetAttrDataLen();
      std::unique_ptr<char[]> wire = std::make_unique<char[]>(static_cast<size_t>(len));
      std::memcpy(wire.get(), list->GetAttrDataPtr(), static_cast<size_t>(len));
      if (qvoAttributes::FromBigEndianToLittleEndian(wire.get(), len) != len)
        return QVO_DIAG(connection, _Error_converting_attr_to_little_endian_, -1);
      std::memcpy(list->GetAttrDataPtr(), wire.get(), static_cast<size_t>(len));
    }

    // Anything left in the send buffer by a failed request must not lead the
    // next one.
    auto sendFailed = [&] {
      DropUnsent();
      ErrorSend(-1);
      return -1;
    };
    const qvo_int64 hint = dataLength < sendBufferThreshold ? dataLength : sendBufferThreshold - 1;
    char* header = qvoCreateHeader(list, dataLength, command);
    if (qvoSend(header, headerSize, hint) != SQL_SUCCESS) return sendFailed();
    if (list && qvoSend(list->GetAttrDataPtr(), list->GetAttrDataLen(), hint) != SQL_SUCCESS)
      return sendFailed();
    if (dataLength < sendBufferThreshold) {
      if (attributes) attributes->reset();
      if (data && dataLength > 0 && qvoSend(data, dataLength, dataLength) != SQL_SUCCESS)
        return sendFailed();
      if (qvoFlush() != SQL_SUCCESS) return sendFailed();
    } else {
      if (qvoFlush() != SQL_SUCCESS) return sendFailed();
      if (attributes) attributes->reset();
      if (qvoSend(data, dataLength, dataLength) != SQL_SUCCESS) return sendFailed();
      if (qvoFlush() != SQL_SUCCESS) return sendFailed();
    }

    if (command == abort_query) {
      // The server does not answer an abort; the statement gets one empty
      // result instead.
      char abortAnswer[kAbortAnswerBytes];
      EncodeAbortAnswer(abortAnswer);
      ResetAnswerBuffer(sizeof abortAnswer);
      std::memcpy(qvoAnswerBuffer.get(), abortAnswer, sizeof abortAnswer);
      return SQL_SUCCESS;
    }
  }

  qvo_int64 result = qvoGetAnswer(command, answerAttributes, answerVersion);
  if (result >= 0) return result;
  ResetAnswerBuffer(0);
  if (connection->logFull) connection->Log("ExecSQL: qvoGetAnswer returned an error.\n");
  QVO_DIAG(connection, _Server_communication_error_, -1);
  return -1;
}

SQLRETURN qvoSocket::SendAbortRequest() {
  qvoMutex sending(sendMutex);
  if (connection->logFull) connection->Log("qvoSocket::SendAbortRequest()\n");
  char* header = qvoCreateHeader(nullptr, 0, abort_query);
  if (qvoSend(header, headerSize, 0) != SQL_SUCCESS || qvoFlush() != SQL_SUCCESS) {
    DropUnsent();
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

int qvoSocket::AnswerVersion(qvoAttributes& answer, qvo_int32* serverVersion) {
  bool versionCarried = false;
  const SQLINTEGER count = answer.GetNumAttributes();
  for (SQLINTEGER n = 0; n < count; ++n) {
    SQLSMALLINT id = 0;
    SQLINTEGER length = 0;
    if (answer.ReadAttrTypeAndLen(n, &id, &length) != SQL_SUCCESS) return -1;
    if (id == ATTR_PROTOCOL_VERSION) {
      versionCarried = true;
      *serverVersion = static_cast<qvo_int32>(
          AttributeIntValue(answer.ReadAttrValuePtr(), static_cast<size_t>(length)));
    }
  }
  return versionCarried ? 1 : 0;
}

qvo_int64 qvoSocket::ReadAnswerData(qvo_int64 dataLength, int results, __qvoMessageMode command) {
  ResetAnswerBuffer(0);
  // The buffer grows with the bytes that actually arrive; a buffer kept from
  // an earlier answer is used as far as it reaches.
  const size_t total = static_cast<size_t>(dataLength) + 4;
  const bool fetch = command == send_rows || command == send_rows_fetch2;
  const size_t first = std::min<size_t>(total, fetch ? fetchAnswerRoom : 4 + answerChunk);
  std::unique_ptr<char[]> buffer = std::move(spareAnswerBuffer);
  size_t capacity = spareAnswerCapacity;
  spareAnswerCapacity = 0;
  // A kept buffer far larger than answers have become is not held on to.
  const bool oversized = capacity > fetchAnswerRoom && capacity / 4 > total;
  if (capacity < first || oversized) {
    // An answer that fills a large budget gets the room for any such answer;
    // pages of the room that no answer reaches are never touched.
    const size_t room = fetch && total > answerChunk ? std::max(first, fetchAnswerRoom) : first;
    buffer.reset();
    buffer.reset(new (std::nothrow) char[room]);
    capacity = room;
  }
  for (size_t have = 4; buffer && have < total;) {
    if (have == capacity) {
      size_t grown = std::min(total, capacity * 2);
      std::unique_ptr<char[]> bigger(new (std::nothrow) char[grown]);
      if (bigger) std::memcpy(bigger.get(), buffer.get(), have);
      buffer = std::move(bigger);
      capacity = grown;
      if (!buffer) break;
    }
    const size_t until = std::min(capacity, total);
    if (qvoSafeRecv(buffer.get() + have, static_cast<qvo_int64>(until - have), command) !=
        SQL_SUCCESS) {
      KeepSpareBuffer(std::move(buffer), capacity);
      ErrorRecv(-1);
      reconnect = true;
      return -1;
    }
    have = until;
  }
  if (!buffer) {
    // The rest of the data stays unread: the stream cannot be used any more.
    qvoConnected = 0;
    return QVO_DIAG(connection, _Memory_allocation_error_, -1);
  }
  EncodeResultCount(buffer.get(), results);
  qvoAnswerBuffer = std::move(buffer);
  qvoAnswerBufferCapacity = capacity;
  qvoAnswerBufferLen = static_cast<SQLINTEGER>(dataLength + 4);
  return dataLength + 4;
}

namespace {

// What holds while one answer is read, from its first byte to its last: its
// time limit, for the command's receive limit (none: unbounded), and the
// protocol version it names (none yet).
class AnswerScope {
 public:
  AnswerScope(std::optional<std::chrono::steady_clock::time_point>* deadline, int seconds,
              qvo_int32* version)
      : deadline_(deadline), version_(version) {
    if (seconds > 0)
      *deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    else
      deadline_->reset();
    *version_ = 0;
  }
  ~AnswerScope() {
    deadline_->reset();
    *version_ = 0;
  }
  AnswerScope(const AnswerScope&) = delete;
  AnswerScope& operator=(const AnswerScope&) = delete;

 private:
  std::optional<std::chrono::steady_clock::time_point>* deadline_;
  qvo_int32* version_;
};

}  // namespace

qvo_int64 qvoSocket::qvoGetAnswer(__qvoMessageMode command,
                                  std::unique_ptr<qvoAttributes>* answerAttributes,
                                  qvo_int32* namedVersion) {
  if (answerAttributes) answerAttributes->reset();
  if (namedVersion) *namedVersion = 0;
  if (connection->logFull) connection->Log("qvoSocket::qvoGetAnswer()\n");
  const AnswerScope scope(&answerDeadline, ReceiveTimeout(command), &answerVersion);
  ResetAnswerBuffer(0);
  if (qvoSafeRecv(headerV2, headerSize, command) != SQL_SUCCESS) {
    ErrorRecv(-1);
    reconnect = true;
    return -1;
  }
  int count = 0, attrBytes = 0, results = 0;
  const qvo_int64 dataLength = qvoParseHeader(headerV2, &count, &attrBytes, &results);
  if (connection->logFull) {
    connection->Log("Received from server:\n");
    connection->Log(" %i attributes, %i results\n", count, results);
  }
  const qvo_uint32 blockLength = static_cast<qvo_uint32>(attrBytes);

  // An answer this function refuses before reading all of it leaves bytes in
  // the stream that would be taken for the next answer: the socket then no
  // longer counts as connected.
  if (blockLength > maxAnswerAttributeBytes || dataLength < 0) {
    qvoConnected = 0;
    return connection->SetDiagRec("HY000", -1, invalidAttributesSize);
  }
  if (dataLength > maxMessageData) {
    qvoConnected = 0;
    return QVO_DIAG(connection, _Memory_allocation_error_, -1);
  }

  if (blockLength != 0 || count != 0) {
    auto block = std::make_unique<char[]>(blockLength + 1);
    if (blockLength != 0 && qvoSafeRecv(block.get(), blockLength, command) != SQL_SUCCESS) {
      ErrorRecv(-1);
      reconnect = true;
      return -1;
    }
    int records = 0;
    const int converted = qvoAttributes::FromLittleEndianToBigEndian(
        block.get(), static_cast<int>(blockLength), &records);
    const bool sound = converted == static_cast<int>(blockLength) && records == count;
    // The records ahead of a bad one go to the connection, as its walk
    // meets them before it meets the bad one; no more than the header counts.
    const int usable = std::min(records, count);
    qvo_int32 serverVersion = 0;
    int carried = 0;
    if (usable > 0) {
      auto answer = std::make_unique<qvoAttributes>(
          connection, static_cast<SQLINTEGER>(blockLength), block.get(), usable);
      carried = AnswerVersion(*answer, &serverVersion);
      if (answerAttributes) *answerAttributes = std::move(answer);
    }
    if (!sound || carried < 0) {
      // The data are still read, so that the stream stays in step.
      if (dataLength != 0 && ReadAnswerData(dataLength, results, command) < 0) return -1;
      return QVO_DIAG(connection, _Cannot_determine_qvo_attr_type_, -1);
    }
    if (carried) {
      // The connection lowers its version to the one named; until then it
      // holds for the rest of this answer.
      if (serverVersion >= 7 && serverVersion <= 13) {
        answerVersion = serverVersion;
        if (namedVersion) *namedVersion = serverVersion;
      } else {
        if (dataLength != 0) qvoConnected = 0;
        return QVO_DIAG(connection, _The_driver_does_not_support_this_protocol_version_,
                        serverVersion);
      }
    }
  }

  if (dataLength == 0) {
    const qvo_int32 version = ProtocolVersion();
    if (version >= kOldestProtocol && version <= kCurrentProtocol) return 0;
    return QVO_DIAG(connection, _The_driver_does_not_support_this_protocol_version_, -1);
  }
  return ReadAnswerData(dataLength, results, command);
}

// ---- the answer buffer -----------------------------------------------------------

char* qvoSocket::GetQvoAnswer(char* destination) const {
  if (destination && qvoAnswerBuffer && qvoAnswerBufferLen > 0)
    std::memcpy(destination, qvoAnswerBuffer.get(), static_cast<size_t>(qvoAnswerBufferLen));
  return qvoAnswerBuffer.get();
}

bool qvoSocket::ResetAnswerBuffer(qvo_int64 length) {
  KeepSpareBuffer(std::move(qvoAnswerBuffer), qvoAnswerBufferCapacity);
  qvoAnswerBufferCapacity = 0;
  qvoAnswerBufferLen = 0;
  if (length <= 0 || length > maxMessageData + 4) return length <= 0;
  qvoAnswerBuffer.reset(new (std::nothrow) char[static_cast<size_t>(length) + 1]());
  if (!qvoAnswerBuffer) return false;
  qvoAnswerBufferCapacity = static_cast<size_t>(length) + 1;
  qvoAnswerBufferLen = static_cast<SQLINTEGER>(length);
  return true;
}

void qvoSocket::KeepSpareBuffer(std::unique_ptr<char[]> buffer, size_t capacity) {
  if (!buffer || capacity == 0 || capacity <= spareAnswerCapacity) return;
  spareAnswerBuffer = std::move(buffer);
  spareAnswerCapacity = capacity;
}

SQLRETURN qvoSocket::GiveResultsTo(qvoAnswerReceiver* stmt) {
  qvo_int64 length = 0;
  char* answer = ReleaseAnswerBuffer(&length);
  stmt->TakeResults(answer, length);
  return SQL_SUCCESS;
}

SQLRETURN qvoSocket::GiveMoreRowsTo(qvoAnswerReceiver* stmt) {
  qvo_int64 length = 0;
  size_t capacity = 0;
  std::unique_ptr<char[]> answer(ReleaseAnswerBuffer(&length, &capacity));
  stmt->SwapRows(answer, capacity, length);
  // The statement's previous rows are gone: their buffer takes the next answer.
  KeepSpareBuffer(std::move(answer), capacity);
  return SQL_SUCCESS;
}

void qvoSocket::ReuseRowsBufferOf(qvoAnswerReceiver* stmt) {
  std::unique_ptr<char[]> rows;
  size_t capacity = 0;
  stmt->GiveBackRows(rows, capacity);
  KeepSpareBuffer(std::move(rows), capacity);
}

char* qvoSocket::ReleaseAnswerBuffer(qvo_int64* length, size_t* capacity) {
  if (length) *length = qvoAnswerBufferLen;
  if (capacity) *capacity = qvoAnswerBufferCapacity;
  qvoAnswerBufferLen = 0;
  qvoAnswerBufferCapacity = 0;
  return qvoAnswerBuffer.release();
}
