// libFuzzer target over attribute blocks both ways. The node's answers carry
// blocks that are turned to host order, walked record by record and applied
// to the connection (session texts, sizes, versions, states), answering a
// get_attributes, a set_attributes, a commit and an execution; the session
// texts are then read back through QVOGetConnectAttr. The requests carry the
// client's pending attributes, one of them a text from the input: every
// request's block must decode to exactly its length and its count.
//
// Input: one flag byte (bits 0-1 the protocol version: 13, 9, 8, 7), one
// byte n and n bytes of that text, then what the node sends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/qvoAttributeIds.h"
#include "common/qvoByteOrder.h"
#include "fuzz_session.h"
#include "protocol/qvoAttributeBlock.h"

namespace {

constexpr size_t kGuard = 8;
constexpr char kFill = '#';

// Each request: 21-byte header (message length, command, serial, attribute
// count, block length, data flag), the block, the data.
void CheckRequests(std::vector<unsigned char> sent) {
  constexpr size_t header = qvoSocket::headerSize;
  for (size_t pos = 0; pos < sent.size();) {
    if (sent.size() - pos < header) __builtin_trap();
    const size_t length = static_cast<qvo_uint32>(qvoGetLE32(sent.data() + pos));
    const int count = static_cast<int>(qvoGetLE32(sent.data() + pos + 9));
    const size_t block = static_cast<qvo_uint32>(qvoGetLE32(sent.data() + pos + 13));
    if (block > length || sent.size() - pos - header < length) __builtin_trap();
    int records = -1;
    const int converted =
        ConvertAttributeBlock(reinterpret_cast<char*>(sent.data() + pos + header),
                              static_cast<int>(block), qvoAttrOrder::WireToHost, &records);
    if (converted != static_cast<int>(block) || records != count) __builtin_trap();
    pos += header + length;
  }
}

void ReadText(SQLHDBC dbc, SQLINTEGER attribute) {
  char text[8 + kGuard];
  std::memset(text, kFill, sizeof text);
  SQLINTEGER length = -1;
  if (SQL_SUCCEEDED(QVOGetConnectAttr(dbc, attribute, text, 8, &length)))
    CheckText(text, 8, kGuard, kFill);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size - 2 < data[1]) return 0;
  const uint8_t flags = data[0];
  const char* text = reinterpret_cast<const char*>(data + 2);
  const int textLength = data[1];
  FuzzSession session(data + 2 + textLength, size - 2 - textLength, FuzzProtocol(flags));
  if (!session.Ready()) return 0;
  SQLHDBC dbc = session.dbc;
  session.conn->haveInfos = true;  // no DB_METADATA view: that is another target's

  session.conn->AddPendingAttribute(ATTR_CURRENT_SCHEMA, text, textLength);
  SQLUINTEGER state = 0;
  QVOGetConnectAttr(dbc, QVO_ATTR_TRANSACTION_STATE, &state, 0, nullptr);
  QVOSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
  QVOEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT);
  QVOExecDirect(session.stmt, Sql("SELECT 1"), SQL_NTS);
  FetchSome(session.stmt);

  for (SQLINTEGER attribute :
       {QVO_ATTR_SESSION_SCHEMA, QVO_ATTR_SESSION_CATALOG, QVO_ATTR_SESSION_TIMEZONE,
        QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR, QVO_ATTR_NUMERIC_CHARACTERS,
        static_cast<SQLINTEGER>(SQL_ATTR_CURRENT_CATALOG)})
    ReadText(dbc, attribute);
  CheckRequests(session.Sent());
  return 0;
}
