// Host lists such as "node1..4:8563" or "10.0.0.5,10.0.0.6:8563,8564": cleaned,
// range-expanded, turned into a node table, and nodes picked from it at random.

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "common/qvoServices.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"

namespace {

// Tokens and range numbers the expansion admits (characters).
constexpr size_t maxToken = 259;
constexpr size_t maxSuffix = 260;
constexpr char defaultPort[] = "8563";

bool IsWordChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.';
}
bool IsSeparator(char c) { return c == ',' || c == ':'; }
bool IsWhitespace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A run of digits as a number; false when it does not fit 64 bits.
bool ParseNumber(std::string_view digits, unsigned long long* value) {
  unsigned long long v = 0;
  for (char c : digits) {
    unsigned d = static_cast<unsigned>(c - '0');
    if (v > (~0ULL - d) / 10) return false;
    v = v * 10 + d;
  }
  *value = v;
  return true;
}

// A port text is 1 to 65535 written in digits.
bool IsValidPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  unsigned long long v = 0;
  ParseNumber(text, &v);
  return v >= 1 && v <= 65535;
}

// Outcome of a host-list step, named after the diagnostic it raises.
enum class HostListError {
  none,
  illegalCharacter,
  illegalSequence,
  noHost,
  tooLong,
  tooManyPairs,
  rangeNotNumbers,
  rangeOrder,
  syntaxFound,      // a port without a host, or a port that is no port
  syntaxCartesian,  // several hosts with several ports
};

// Steps 1 and 2: drop whitespace, check characters and separator pairs.
HostListError CleanHostList(const char* hosts, int hostsLen, std::string* out, int* badChar,
                            int* badPos) {
  out->clear();
  bool spaceSinceLast = false;
  for (int i = 0; i < hostsLen; ++i) {
    unsigned char c = static_cast<unsigned char>(hosts[i]);
    if (IsWhitespace(c)) {
      spaceSinceLast = true;
      continue;
    }
    if (!IsWordChar(c) && !IsSeparator(static_cast<char>(c))) {
      *badChar = c;
      *badPos = i;
      return HostListError::illegalCharacter;
    }
    if (IsWordChar(c) && spaceSinceLast && !out->empty() &&
        IsWordChar(static_cast<unsigned char>(out->back())))
      return HostListError::illegalSequence;
    spaceSinceLast = false;
    out->push_back(static_cast<char>(c));
  }
  if (out->empty()) return HostListError::noHost;
  const std::string& t = *out;
  for (size_t i = 0; i + 1 < t.size(); ++i) {
    char c = t[i], n = t[i + 1];
    if ((IsSeparator(c) && (IsSeparator(n) || n == '.')) || (c == '.' && IsSeparator(n)) ||
        (c == '.' && n == '.' && i + 2 < t.size() && t[i + 2] == '.'))
      return HostListError::illegalSequence;
  }
  return HostListError::none;
}

bool AtDoubleDot(std::string_view t, size_t i) {
  return i + 1 < t.size() && t[i] == '.' && t[i + 1] == '.';
}

// End of the token that starts at i: the next ',', ':', ".." or the end.
size_t TokenEnd(std::string_view t, size_t i) {
  while (i < t.size() && !IsSeparator(t[i]) && !AtDoubleDot(t, i)) ++i;
  return i;
}

// Step 3: expands every "prefixN1..N2suffix" into prefixN1suffix,...,
// prefixN2suffix (numbers without leading zeros).
HostListError ExpandRanges(std::string_view t, size_t maxSize, std::string* out) {
  out->clear();
  size_t pos = 0;
  while (pos < t.size()) {
    size_t end = TokenEnd(t, pos);
    std::string_view token = t.substr(pos, end - pos);
    if (token.size() > maxToken) return HostListError::tooLong;
    if (!AtDoubleDot(t, end)) {
      out->append(token);
      // A separator at the very end of the text is dropped.
      if (end < t.size() && end + 1 < t.size()) out->push_back(t[end]);
      pos = end < t.size() ? end + 1 : end;
      if (out->size() > maxSize) return HostListError::tooManyPairs;
      continue;
    }
    // A range: the token must end in digits and digits must follow "..".
    size_t afterDots = end + 2;
    if (token.empty() || !IsDigit(token.back()) || afterDots >= t.size() || !IsDigit(t[afterDots]))
      return HostListError::rangeNotNumbers;
    size_t firstDigit = token.size();
    while (firstDigit > 0 && IsDigit(token[firstDigit - 1])) --firstDigit;
    std::string_view prefix = token.substr(0, firstDigit);
    std::string_view first = token.substr(firstDigit);
    size_t lastEnd = afterDots;
    while (lastEnd < t.size() && IsDigit(t[lastEnd])) ++lastEnd;
    std::string_view last = t.substr(afterDots, lastEnd - afterDots);
    if (last.size() > maxToken) return HostListError::tooLong;
    size_t suffixEnd = TokenEnd(t, lastEnd);
    std::string_view suffix = t.substr(lastEnd, suffixEnd - lastEnd);
    if (suffix.size() > maxSuffix) return HostListError::tooLong;
    unsigned long long n1, n2;
    if (!ParseNumber(first, &n1) || !ParseNumber(last, &n2)) return HostListError::tooLong;
    if (n1 > n2) return HostListError::rangeOrder;
    for (unsigned long long n = n1;; ++n) {
      if (n != n1) out->push_back(',');
      out->append(prefix);
      out->append(std::to_string(n));
      out->append(suffix);
      if (out->size() > maxSize) return HostListError::tooManyPairs;
      if (n == n2) break;
    }
    // The separator after the range is copied with the next (empty) token.
    pos = suffixEnd;
    if (pos < t.size() && IsSeparator(t[pos])) {
      if (pos + 1 < t.size()) out->push_back(t[pos]);
      ++pos;
    }
  }
  return HostListError::none;
}

}  // namespace

int qvoConnection::GetNextElement(const char* hosts, int* posPtr, char element[64]) {
  element[0] = '\0';
  std::string_view t(hosts);
  size_t pos = static_cast<size_t>(*posPtr);
  if (pos >= t.size() || IsSeparator(t[pos]) || AtDoubleDot(t, pos)) {
    *posPtr = static_cast<int>(pos + 1);
    return 0;
  }
  size_t end = TokenEnd(t, pos);
  std::string_view text = t.substr(pos, end - pos);
  while (end < t.size() && (t[end] == '.' || IsSeparator(t[end]))) ++end;
  *posPtr = static_cast<int>(end);
  // Longer elements than a node's host field are refused, not cut.
  if (text.size() > 63) return -1;
  std::memcpy(element, text.data(), text.size());
  element[text.size()] = '\0';
  size_t digits = 0;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  unsigned long long value = 0;
  bool nonZero = digits > 0 && (!ParseNumber(text.substr(0, digits), &value) || value != 0);
  return nonZero && text.find('.') == std::string_view::npos ? 2 : 1;
}

SQLRETURN qvoConnection::ReplaceRanges(std::unique_ptr<char[]>* hosts, int* hostsLen, int maxSize) {
  std::string expanded;
  HostListError err = ExpandRanges(std::string_view(hosts->get(), static_cast<size_t>(*hostsLen)),
                                   static_cast<size_t>(maxSize < 0 ? 0 : maxSize), &expanded);
  switch (err) {
    case HostListError::none:
      break;
    case HostListError::tooLong:
      return QVO_DIAG(this, _To_long_identifier_or_number_, -1);
    case HostListError::tooManyPairs:
      return QVO_DIAG(this, _To_many_host_port_pairs_will_be_generated_, -1);
    case HostListError::rangeOrder:
      return QVO_DIAG(this, _In_a_range_the_first_number_must_be_the_smallest_, -1);
    default:
      return QVO_DIAG(this, _A_range_can_be_only_between_numbers_like_host1_3_or_1234_1239_, -1);
  }
  auto text = std::make_unique<char[]>(expanded.size() + 1);
  std::memcpy(text.get(), expanded.c_str(), expanded.size() + 1);
  *hosts = std::move(text);
  *hostsLen = static_cast<int>(expanded.size());
  return SQL_SUCCESS;
}

SQLRETURN qvoConnection::ParseClusterNodes(const char* Hosts, int hostsLen, const char* Port) {
  cluster.clear();
  clusterSize = 0;
  clusterMarker.clear();
  if (!Hosts) hostsLen = 0;
  if (hostsLen < 0) hostsLen = static_cast<int>(std::strlen(Hosts));

  std::string cleaned;
  int badChar = 0, badPos = 0;
  switch (CleanHostList(Hosts, hostsLen, &cleaned, &badChar, &badPos)) {
    case HostListError::none:
      break;
    case HostListError::illegalCharacter:
      return QVO_DIAG_FMT(this, _Illegal_character_in_cluster_description_at_position_, -1,
                          static_cast<unsigned char>(badChar), badPos);
    case HostListError::noHost:
      return QVO_DIAG(this, _No_connection_host_specified_, -5);
    default:
      return QVO_DIAG(this, _Illegal_character_sequence_in_cluster_description_, -1);
  }

  auto text = std::make_unique<char[]>(cleaned.size() + 1);
  std::memcpy(text.get(), cleaned.c_str(), cleaned.size() + 1);
  int textLen = static_cast<int>(cleaned.size());
  if (ReplaceRanges(&text, &textLen, maxHostListSize) != SQL_SUCCESS) return SQL_ERROR;

  auto fail = [&](SQLRETURN rc) {
    cluster.clear();
    clusterSize = 0;
    return rc;
  };
  int namesInGroup = 0;
  bool lastWasPort = false;
  char element[64];
  for (int pos = 0; pos < textLen;) {
    int kind = GetNextElement(text.get(), &pos, element);
    if (kind == 0) continue;
    if (kind < 0) return fail(QVO_DIAG(this, _To_long_identifier_or_number_, -1));
    if (kind == 1) {
      if (lastWasPort) {
        namesInGroup = 0;
        lastWasPort = false;
      }
      __ConnectionStru node{};
      node.qvoServerLen = static_cast<int>(std::strlen(element));
      std::memcpy(node.qvoServer, element, static_cast<size_t>(node.qvoServerLen) + 1);
      cluster.push_back(node);
      ++namesInGroup;
      continue;
    }
    // A port.
    if (!IsValidPort(element))
      return fail(QVO_DIAG(this, _Syntax_error_found_in_cluster_description_, -1));
    if (lastWasPort) cluster.push_back(__ConnectionStru{});
    if (namesInGroup == 0)
      return fail(QVO_DIAG(this, _Syntax_error_found_in_cluster_description_, -1));
    if (namesInGroup > 1 && lastWasPort)
      return fail(QVO_DIAG(
          this, _Syntax_error_in_cluster_description_Cartesian_product_hosts_ports_detected_, -1));
    __ConnectionStru& node = cluster.back();
    node.qvoPortLen = static_cast<int>(std::strlen(element));
    std::memcpy(node.qvoPort, element, static_cast<size_t>(node.qvoPortLen) + 1);
    if (node.qvoServerLen == 0) {
      if (cluster.size() < 2)
        return fail(QVO_DIAG(this, _Syntax_error_found_in_cluster_description_, -1));
      const __ConnectionStru& before = cluster[cluster.size() - 2];
      std::memcpy(node.qvoServer, before.qvoServer, sizeof node.qvoServer);
      node.qvoServerLen = before.qvoServerLen;
    }
    for (__ConnectionStru& earlier : cluster) {
      if (earlier.qvoPortLen == 0) {
        std::memcpy(earlier.qvoPort, node.qvoPort, sizeof node.qvoPort);
        earlier.qvoPortLen = node.qvoPortLen;
      }
    }
    lastWasPort = true;
  }
  const char* portDefault = Port && *Port ? Port : defaultPort;
  for (__ConnectionStru& node : cluster) {
    if (node.qvoPortLen == 0) {
      if (!IsValidPort(portDefault))
        return fail(QVO_DIAG(this, _Syntax_error_found_in_cluster_description_, -1));
      node.qvoPortLen = static_cast<int>(std::strlen(portDefault));
      std::memcpy(node.qvoPort, portDefault, static_cast<size_t>(node.qvoPortLen) + 1);
    }
  }
  clusterSize = static_cast<int>(cluster.size());
  return SQL_SUCCESS;
}

int qvoConnection::GetRandServer() {
  server.qvoServer[0] = '\0';
  server.qvoServerLen = 0;
  if (cluster.empty() || clusterSize <= 0) return -1;
  if (clusterMarker.size() != static_cast<size_t>(clusterSize))
    clusterMarker.assign(clusterSize, 0);
  for (;;) {
    int untried = 0;
    for (int mark : clusterMarker) untried += mark == 0;
    if (untried == 0) return 0;
    // The k-th untried node, k at random: each untried node equally likely.
    int k = qvoRand() % untried;
    int r = 0;
    for (; r < clusterSize; ++r)
      if (clusterMarker[r] == 0 && k-- == 0) break;
    clusterMarker[r] = 1;
    const __ConnectionStru& node = cluster[r];
    if (GetIpFromHostname(node.qvoServer, server.qvoServer, sizeof server.qvoServer) != 0) {
      QVO_DIAG_FMT(this, _Failed_to_resolve_hostname_, -1, node.qvoServer);
      continue;
    }
    server.qvoServerLen = static_cast<int>(std::strlen(server.qvoServer));
    std::memcpy(server.qvoPort, node.qvoPort, sizeof server.qvoPort);
    server.qvoPortLen = node.qvoPortLen;
    return 1;
  }
}
