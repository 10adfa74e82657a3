// Catalog arguments: how a name given to a catalog function becomes a piece
// of SQL (or a bare name for the get-columns request), and the search-pattern
// tests that decide whether the columns micro-cache may serve a call.
//
// Every value written into SQL has its single quotes doubled, whichever form
// it came in, so no argument can end the literal it stands in.
#include <cstring>

#include "catalog/qvoCatalog.h"
#include "handles/qvoDiag.h"
#include "statement/qvoStatement.h"

const char* NotNullStr(const char* str) { return str ? str : "NULL"; }

bool ContainsSearchPattern(const char* str, const char* escapeStr) {
  if (!str || !*str) return true;
  const std::string_view escape = escapeStr ? escapeStr : "";
  for (size_t i = 0; str[i] != '\0';) {
    if (!escape.empty() && std::strncmp(str + i, escape.data(), escape.size()) == 0) {
      // The escape and the character it escapes.
      i += escape.size();
      if (str[i] != '\0') ++i;
      continue;
    }
    if (str[i] == '%' || str[i] == '_') return true;
    ++i;
  }
  return false;
}

bool GoodForColumnsMicroCache(const char* schem, const char* tab, const char* col,
                              const char* escapeStr) {
  return !ContainsSearchPattern(schem, escapeStr) && !ContainsSearchPattern(tab, escapeStr) &&
         !ContainsSearchPattern(col, escapeStr);
}

void AsciiUpper(std::string& text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') c = static_cast<char>(u - 'a' + 'A');
  }
}

void AppendQuoted(std::string& out, std::string_view text, char quoteChar) {
  if (quoteChar == 0) {
    out += text;
    return;
  }
  out += quoteChar;
  for (char c : text) {
    if (c == quoteChar) out += quoteChar;
    out += c;
  }
  out += quoteChar;
}

namespace {

// The text between the first and the last character, with every doubled
// quote character made single.
std::string Unwrapped(std::string_view wrapped, char quote) {
  std::string out;
  const std::string_view inner = wrapped.substr(1, wrapped.size() - 2);
  for (size_t i = 0; i < inner.size(); ++i) {
    out += inner[i];
    if (inner[i] == quote && i + 1 < inner.size() && inner[i + 1] == quote) ++i;
  }
  return out;
}

}  // namespace

size_t qvoStatement::MaxCatalogArgumentLength() const {
  // The get-columns request and the server's identifiers hold at most this
  // many bytes; a longer name could only be sent cut.
  return static_cast<size_t>(GetMaxIdentifierOctetLength() > 1 ? GetMaxIdentifierOctetLength() - 1
                                                               : 0);
}

SQLRETURN qvoStatement::GetIdentifierArgumentBase(const char* inputStr, std::string* output,
                                                  char quoteChar) {
  if (!inputStr) return QVO_DIAG(this, _Invalid_use_of_null_pointer_, -1);
  std::string quoteInfo;
  if (CatalogInfoText(*this, QVO_INFO_IDENTIFIER_QUOTE_CHAR, &quoteInfo) != SQL_SUCCESS)
    return SQL_ERROR;
  // A blank means the server quotes no identifiers.
  const char identifierQuote = quoteInfo.empty() || quoteInfo[0] == ' ' ? 0 : quoteInfo[0];

  const std::string_view in(inputStr);
  std::string name;
  bool fold = true;
  if (in.size() < 2) {
#if defined(__GNUC__) && !defined(__clang__)
// g++ 12 sees an overlapping copy inside libstdc++'s string assignment here (a false positive).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
    name = in;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    fold = false;
  } else if (quoteChar != 0 && in.front() == quoteChar && in.back() == quoteChar) {
    // The caller's own quotes: the name inside, case folded.
    name = Unwrapped(in, quoteChar);
  } else if (identifierQuote != 0 && in.front() == identifierQuote &&
             in.back() == identifierQuote) {
    // A quoted identifier keeps its case.
    name = Unwrapped(in, identifierQuote);
    fold = false;
    quotesWereRemoved = true;
  } else {
    name = in;
  }
  if (name.size() > MaxCatalogArgumentLength())
    return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  if (fold) AsciiUpper(name);
  output->clear();
  AppendQuoted(*output, name, quoteChar);
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::GetOrdinaryArgumentBase(const char* inputStr, std::string* output,
                                                char quoteChar) {
  if (stmtAttr.metadataID == 1) return GetIdentifierArgumentBase(inputStr, output, quoteChar);
  if (!inputStr) return SQL_NO_DATA;
  const std::string_view in(inputStr);
  if (in.size() > MaxCatalogArgumentLength())
    return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  output->clear();
  AppendQuoted(*output, in, quoteChar);
  return SQL_SUCCESS;
}

SQLRETURN qvoStatement::GetPatternValueArgumentBase(const char* inputStr, std::string* output,
                                                    char quoteChar) {
  // The same conversion; the callers compare the value with like.
  return GetOrdinaryArgumentBase(inputStr, output, quoteChar);
}

SQLRETURN qvoStatement::GetValueListArgument(const char* inputStr, std::string* output) {
  output->clear();
  if (!inputStr || !*inputStr) return SQL_NO_DATA;
  // Names are runs of letters, blanks and underscores; anything else (comma,
  // quote, digit, the end) ends one. Quotes never get into the list.
  std::string list;
  bool inside = false;
  for (const char* p = inputStr;; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    const unsigned char upper = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    if ((upper >= 'A' && upper <= 'Z') || c == ' ' || c == '_') {
      if (!inside) list += '\'';
      list += static_cast<char>(upper);
      inside = true;
    } else if (inside) {
      list += "',";
      inside = false;
    }
    if (c == '\0') break;
  }
  if (list.empty()) return SQL_NO_DATA;
  list.pop_back();  // the last comma
  if (list.size() > MaxCatalogArgumentLength())
    return QVO_DIAG(this, _Invalid_string_or_buffer_length_, -1);
  *output = std::move(list);
  return SQL_SUCCESS;
}
