#include "support/fake_trace.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace fake {

namespace {

struct Named {
  int id;
  const char* name;
};

constexpr Named kCommands[] = {
    {kCreatePrepared, "create_prepared"},
    {kExecutePrepared, "execute_prepared"},
    {kExecute, "execute"},
    {kCloseResultSet, "close_result_set"},
    {kSendRows, "send_rows"},
    {kGetHostnames, "get_hostnames"},
    {kExecuteBatch, "execute_batch"},
    {kClosePrepared, "close_prepared"},
    {kSessionKill, "session_kill"},
    {kEnterParallel, "enter_parallel"},
    {kDescribeResultSet, "describe_result_set"},
    {kDisconnect, "disconnect"},
    {kSendSlaveOffset, "send_slave_offset"},
    {kGetAttributes, "get_attributes"},
    {kSetAttributes, "set_attributes"},
    {kSendRowsFetch2, "send_rows_fetch2"},
    {kAbortQuery, "abort_query"},
    {kContinue, "continue"},
    {kGetColumns, "get_columns"},
    {kPing, "ping"},
    {kLogin, "login"},
};

#define QVO_FAKE_ATTR(id) \
  { id, #id }
constexpr Named kAttrNames[] = {
    QVO_FAKE_ATTR(ATTR_USERNAME),
    QVO_FAKE_ATTR(ATTR_CLIENTNAME),
    QVO_FAKE_ATTR(ATTR_CLIENTOS),
    QVO_FAKE_ATTR(ATTR_DRIVERNAME),
    QVO_FAKE_ATTR(ATTR_LANGUAGE),
    QVO_FAKE_ATTR(ATTR_SESSIONID),
    QVO_FAKE_ATTR(ATTR_AUTOCOMMIT),
    QVO_FAKE_ATTR(ATTR_RELEASE_VERSION),
    QVO_FAKE_ATTR(ATTR_RELEASE_REVISION),
    QVO_FAKE_ATTR(ATTR_CLIENTVERSION),
    QVO_FAKE_ATTR(ATTR_CLIENTOS_USERNAME),
    QVO_FAKE_ATTR(ATTR_PREPARED_PARAMCOUNT),
    QVO_FAKE_ATTR(ATTR_TRANSACTION_STATE),
    QVO_FAKE_ATTR(ATTR_PARALLEL_TOKEN),
    QVO_FAKE_ATTR(ATTR_PROTOCOL_VERSION),
    QVO_FAKE_ATTR(ATTR_DATETIME_FORMAT),
    QVO_FAKE_ATTR(ATTR_DATE_FORMAT),
    QVO_FAKE_ATTR(ATTR_CURRENT_SCHEMA),
    QVO_FAKE_ATTR(ATTR_NUMERIC_CHARACTERS),
    QVO_FAKE_ATTR(ATTR_MAX_STATEMENT_LENGTH),
    QVO_FAKE_ATTR(ATTR_GENERIC_MESSAGE_SIZE),
    QVO_FAKE_ATTR(ATTR_DATA_MESSAGE_SIZE),
    QVO_FAKE_ATTR(ATTR_PUBLIC_KEY),
    QVO_FAKE_ATTR(ATTR_RANDOM_PHRASE),
    QVO_FAKE_ATTR(ATTR_ENCODED_PASSWORD),
    QVO_FAKE_ATTR(ATTR_QUERY_TIMEOUT),
    QVO_FAKE_ATTR(ATTR_CURRENT_CATALOG),
    QVO_FAKE_ATTR(ATTR_MAX_IDENTIFIER_LENGTH),
    QVO_FAKE_ATTR(ATTR_MAX_VARCHAR_LENGTH),
    QVO_FAKE_ATTR(ATTR_UNKNOWN_TYPE_MAX_LEN),
    QVO_FAKE_ATTR(ATTR_FEEDBACK_INTERVAL),
    QVO_FAKE_ATTR(ATTR_TIMEZONE),
    QVO_FAKE_ATTR(ATTR_TIMEZONE_BEHAVIOR),
    QVO_FAKE_ATTR(ATTR_TSUTC_ENABLED),
    QVO_FAKE_ATTR(ATTR_CLIENT_RECEIVE_KEY),
    QVO_FAKE_ATTR(ATTR_CLIENT_SEND_KEY),
    QVO_FAKE_ATTR(ATTR_CLIENT_KEYS_LEN),
    QVO_FAKE_ATTR(ATTR_ENCRYPTION_REQUIRED),
    QVO_FAKE_ATTR(ATTR_DEFAULT_LIKE_ESCAPE_CHARACTER),
    QVO_FAKE_ATTR(ATTR_IDENTIFIER_QUOTE_STRING),
};
#undef QVO_FAKE_ATTR

// Values that differ between hosts, locales, runs or releases: shown as "*".
// Texts among them also make the lengths of their message vary.
constexpr int16_t kMaskedAttrs[] = {
    ATTR_CLIENTNAME,         ATTR_CLIENTOS,         ATTR_LANGUAGE,      ATTR_SESSIONID,
    ATTR_RELEASE_VERSION,    ATTR_RELEASE_REVISION, ATTR_CLIENTVERSION, ATTR_CLIENTOS_USERNAME,
    ATTR_NUMERIC_CHARACTERS, ATTR_TIMEZONE};

std::string NameOf(const Named* begin, const Named* end, int id, const char* unknown) {
  for (const Named* n = begin; n != end; ++n)
    if (n->id == id) return n->name;
  return std::string(unknown) + " " + std::to_string(id);
}

std::string CommandName(uint8_t command) {
  return NameOf(std::begin(kCommands), std::end(kCommands), command, "command");
}

bool Masked(int16_t id) {
  for (int16_t m : kMaskedAttrs)
    if (m == id) return true;
  return false;
}

// Text in double quotes; bytes outside printable ASCII as \xNN.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

// A bounds-checked cursor over the bytes of one message.
struct Reader {
  const Bytes& bytes;
  size_t pos = 0;

  bool Has(size_t n) const { return bytes.size() - pos >= n; }
  size_t Left() const { return bytes.size() - pos; }
  std::optional<int64_t> Int(int width) {
    if (!Has(static_cast<size_t>(width))) return std::nullopt;
    uint64_t v = GetLE(bytes.data() + pos, width);
    pos += static_cast<size_t>(width);
    if (width < 8 && (v >> (8 * width - 1)) & 1) v |= ~uint64_t{0} << (8 * width);
    return static_cast<int64_t>(v);
  }
  std::optional<std::string> Text() {
    const auto n = Int(4);
    if (!n || *n < 0 || !Has(static_cast<size_t>(*n))) return std::nullopt;
    std::string out(bytes.begin() + static_cast<long>(pos),
                    bytes.begin() + static_cast<long>(pos + static_cast<size_t>(*n)));
    pos += static_cast<size_t>(*n);
    return out;
  }
};

bool Volatile(const std::vector<Attr>& attrs) {
  for (const Attr& a : attrs) {
    const AttrKind kind = KindOf(a.id);
    if (Masked(a.id) && (kind == AttrKind::Text || kind == AttrKind::Binary)) return true;
  }
  return false;
}

void AttrLines(std::string& out, const std::vector<Attr>& attrs) {
  for (const Attr& a : attrs) {
    out += "   " + NameOf(std::begin(kAttrNames), std::end(kAttrNames), a.id, "attr") + "=";
    if (a.raw) {
      out += "raw <" + std::to_string(a.value.size()) + " bytes>\n";
      continue;
    }
    switch (KindOf(a.id)) {
      case AttrKind::Text:
        out += Masked(a.id) ? "*" : Quoted(a.AsText());
        break;
      case AttrKind::Binary:
        out.append("<").append(std::to_string(a.value.size())).append(" bytes>");
        break;
      case AttrKind::Bool:
        out += a.AsInt() ? "true" : "false";
        break;
      default:
        out += Masked(a.id) ? "*" : std::to_string(a.AsInt());
        break;
    }
    out += "\n";
  }
}

// One column description; the value width for measuring the row block
// (-1: length-prefixed; 0: unknown type).
std::optional<std::string> Column(Reader& in, int* width) {
  const auto name = in.Text();
  const auto type = in.Int(4);
  if (!name || !type) return std::nullopt;
  std::string out = *name + " ";
  auto decimal = [&](const char* typeName) -> std::optional<std::string> {
    const auto p = in.Int(4), s = in.Int(4);
    if (!p || !s) return std::nullopt;
    if (*type == 6) *width = *p <= 9 ? 4 : 8;
    return out + typeName + "(" + std::to_string(*p) + "," + std::to_string(*s) + ")";
  };
  auto character = [&](const char* typeName) -> std::optional<std::string> {
    const auto flags = in.Int(1), size = in.Int(4), octets = in.Int(4);
    if (!flags || !size || !octets) return std::nullopt;
    *width = -1;
    out +=
        std::string(typeName) + "(" + std::to_string(*size) + "," + std::to_string(*octets) + ")";
    if (*flags & 0x01) out += " varying";
    if (*flags & 0x10) out += " utf8";
    return out;
  };
  *width = 0;
  switch (*type) {
    case 6:
      return decimal("DECIMAL");
    case 63:
      *width = 4;
      return decimal("SMALLDECIMAL");
    case 64:
      *width = 16;
      return decimal("BIGDECIMAL");
    case 8:
      *width = 8;
      return out + "DOUBLE";
    case 9:
      *width = 1;
      return out + "BOOLEAN";
    case 14:
      *width = 4;
      return out + "DATE";
    case 21:
      *width = 11;
      return out + "TIMESTAMP";
    case 125:
      *width = 11;
      return out + "TIMESTAMP_UTC";
    case 10:
      return character("CHAR");
    case 16:
      return character("INTERVAL_MONTH");
    case 17:
      return character("INTERVAL_DAY");
    default:
      return out + "type " + std::to_string(*type);
  }
}

// Skips a row block of `rows` rows; false when it does not fit or a width is
// unknown.
bool SkipBlock(Reader& in, const std::vector<int>& widths, int64_t rows) {
  for (int width : widths) {
    for (int64_t r = 0; r < rows; ++r) {
      const auto flag = in.Int(1);
      if (!flag) return false;
      if (*flag == 0) continue;
      if (width == 0) return false;
      size_t n = static_cast<size_t>(width);
      if (width < 0) {
        const auto len = in.Int(4);
        if (!len || *len < 0) return false;
        n = static_cast<size_t>(*len);
      }
      if (!in.Has(n)) return false;
      in.pos += n;
    }
  }
  return true;
}

// One result of an answer; false when the rest cannot be read.
bool Result(Reader& in, std::string& out) {
  const size_t at = in.pos;
  const auto kind = in.Int(1);
  auto undecodable = [&] {
    out += "   undecodable from byte " + std::to_string(at) + " (" +
           std::to_string(in.bytes.size() - at) + " bytes)\n";
    return false;
  };
  if (!kind) return undecodable();
  switch (*kind) {
    case -2:
      out += "   empty\n";
      return true;
    case -1: {
      const auto text = in.Text();
      if (!text || !in.Has(5)) return undecodable();
      const std::string state(in.bytes.begin() + static_cast<long>(in.pos),
                              in.bytes.begin() + static_cast<long>(in.pos + 5));
      in.pos += 5;
      out += "   exception " + state + " " + Quoted(*text) + "\n";
      return true;
    }
    case 0: {
      const auto count = in.Int(8);
      if (!count) return undecodable();
      out += "   row-count " + std::to_string(*count) + "\n";
      return true;
    }
    case 1: {
      const auto handle = in.Int(4), columns = in.Int(4), total = in.Int(8), here = in.Int(8);
      if (!handle || !columns || !total || !here || *columns < 0 || *here < 0) return undecodable();
      std::string lines;
      std::vector<int> widths;
      for (int64_t c = 0; c < *columns; ++c) {
        int width = 0;
        const auto column = Column(in, &width);
        if (!column) return undecodable();
        lines += "     " + *column + "\n";
        widths.push_back(width);
      }
      const size_t blockStart = in.pos;
      if (!SkipBlock(in, widths, *here)) return undecodable();
      out += "   result-set handle=" + std::to_string(*handle) +
             " columns=" + std::to_string(*columns) + " rows=" + std::to_string(*total) +
             " here=" + std::to_string(*here) + " block=" + std::to_string(in.pos - blockStart) +
             "\n" + lines;
      return true;
    }
    case 2: {
      const auto handle = in.Int(4);
      if (!handle) return undecodable();
      out += "   prepared handle=" + std::to_string(*handle) + "\n";
      return true;
    }
    case 5: {
      const auto status = in.Text();
      if (!status) return undecodable();
      out += "   still-executing " + Quoted(*status) + "\n";
      return true;
    }
    case 6:
      out += "   more-rows\n";
      return true;
    default:
      return undecodable();
  }
}

std::string Lengths(uint32_t messageLength, size_t attrs, uint32_t attrLength, size_t data,
                    bool masked) {
  const std::string len = masked ? "*" : std::to_string(messageLength);
  const std::string attrLen = masked ? "*" : std::to_string(attrLength);
  return "len=" + len + " attrs=" + std::to_string(attrs) + "/" + attrLen +
         " data=" + std::to_string(data);
}

}  // namespace

std::string TraceRequest(const Request& r) {
  const bool masked = Volatile(r.attrs);
  std::string out = "-> " + CommandName(r.command);
  if (r.login) out += " protocol=" + std::to_string(r.protocolVersion);
  out.append(" ")
      .append(Lengths(r.messageLength, r.attrs.size(), r.attrLength, r.data.size(), masked))
      .append("\n");
  if (r.attrsValid) {
    AttrLines(out, r.attrs);
  } else {
    out += "   undecodable attributes <" + std::to_string(r.attrBlock.size()) + " bytes>\n";
  }
  Reader in{r.data};
  switch (r.command) {
    case kExecute:
    case kCreatePrepared:
      out += "   sql " +
             Quoted(std::string_view(reinterpret_cast<const char*>(r.data.data()), r.data.size())) +
             "\n";
      return out;
    case kCloseResultSet:
    case kClosePrepared:
    case kDescribeResultSet:
      if (r.data.size() == 4) {
        out += "   handle=" + std::to_string(*in.Int(4)) + "\n";
        return out;
      }
      break;
    case kSendRows:
    case kSendRowsFetch2:
      if (r.data.size() == 20) {
        const int64_t handle = *in.Int(4), start = *in.Int(8), third = *in.Int(8);
        out += "   handle=" + std::to_string(handle) + " start=" + std::to_string(start) +
               (r.command == kSendRows ? " rows=" : " budget=") + std::to_string(third) + "\n";
        return out;
      }
      break;
    default:
      break;
  }
  if (!r.data.empty()) out += "   data <" + std::to_string(r.data.size()) + " bytes>\n";
  return out;
}

std::string TraceAnswer(const Reply& reply, uint8_t command, int32_t protocol) {
  if (reply.silent) return "<- (no answer)\n";
  if (reply.raw) {
    std::string out = "<- raw <" + std::to_string(reply.raw->size()) + " bytes>";
    if (reply.closeAfter) out += " then close after " + std::to_string(*reply.closeAfter);
    return out + "\n";
  }
  const Bytes block = EncodeAttrs(reply.attrs);
  const uint32_t attrLength = reply.attrLength.value_or(static_cast<uint32_t>(block.size()));
  const uint32_t messageLength =
      reply.messageLength.value_or(static_cast<uint32_t>(block.size() + reply.data.size()));
  std::string out = "<- results=" + std::to_string(reply.results) + " " +
                    Lengths(messageLength, reply.numAttributes.value_or(reply.attrs.size()),
                            attrLength, reply.data.size(), Volatile(reply.attrs));
  if (reply.closeAfter) out += " then close after " + std::to_string(*reply.closeAfter);
  out += "\n";
  AttrLines(out, reply.attrs);

  Reader in{reply.data};
  if (command == kSendRows) {
    if (!reply.data.empty()) out += "   block=" + std::to_string(reply.data.size()) + "\n";
  } else if (command == kSendRowsFetch2 && !(reply.data.size() > 0 && reply.data[0] == 0xFF)) {
    // From protocol 9 the block is led by the kind byte 6.
    const bool kind = protocol >= 9;
    if (kind && in.Int(1) != 6) {
      out += "   undecodable <" + std::to_string(reply.data.size()) + " bytes>\n";
    } else if (const auto rows = in.Int(8)) {
      out += std::string("   ") + (kind ? "more-rows " : "") + "rows=" + std::to_string(*rows) +
             " block=" + std::to_string(in.Left()) + "\n";
    } else if (!reply.data.empty()) {
      out += "   undecodable <" + std::to_string(reply.data.size()) + " bytes>\n";
    }
  } else {
    while (in.Left() > 0 && Result(in, out)) {
    }
  }
  for (const Reply& next : reply.then) out += TraceAnswer(next, command, protocol);
  return out;
}

}  // namespace fake
