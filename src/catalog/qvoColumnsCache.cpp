// The columns micro-cache: filling it from a column lookup's answer,
// choosing the rows a call asks for, and answering them as a local result
// set in the columns of the catalog columns result.
#include "catalog/qvoColumnsCache.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "catalog/qvoCatalog.h"
#include "common/qvoTypeCodes.h"
#include "descriptors/qvoDescriptors.h"
#include "platform/qvoConverter.h"
#include "protocol/qvoLocalResults.h"
#include "statement/qvoPlainFetchScope.h"
#include "statement/qvoStatement.h"

namespace {

enum class Kind { Text, Int, BigInt };
struct ResultColumn {
  const char* name;
  qvo_int32 type;
  qvo_int32 size;  // VARCHAR size or precision; kIdentifierSize: the identifier length
  Kind kind;
};
using qvo_catalog::kIdentifierSize;
constexpr ResultColumn kColumnsResult[kColumnsResultColumns] = {
    {"TABLE_CAT", _VARCHAR, kIdentifierSize, Kind::Text},
    {"TABLE_SCHEM", _VARCHAR, kIdentifierSize, Kind::Text},
    {"TABLE_NAME", _VARCHAR, kIdentifierSize, Kind::Text},
    {"COLUMN_NAME", _VARCHAR, kIdentifierSize, Kind::Text},
    {"DATA_TYPE", _SMALLDECIMAL, 9, Kind::Int},
    {"TYPE_NAME", _VARCHAR, 40, Kind::Text},
    {"COLUMN_SIZE", _DECIMAL, 18, Kind::BigInt},
    {"BUFFER_LENGTH", _DECIMAL, 18, Kind::BigInt},
    {"DECIMAL_DIGITS", _SMALLDECIMAL, 9, Kind::Int},
    {"NUM_PREC_RADIX", _SMALLDECIMAL, 9, Kind::Int},
    {"NULLABLE", _SMALLDECIMAL, 9, Kind::Int},
    {"REMARKS", _VARCHAR, 254, Kind::Text},
    {"COLUMN_DEF", _VARCHAR, 2000, Kind::Text},
    {"SQL_DATA_TYPE", _SMALLDECIMAL, 9, Kind::Int},
    {"SQL_DATETIME_SUB", _SMALLDECIMAL, 9, Kind::Int},
    {"CHAR_OCTET_LENGTH", _DECIMAL, 18, Kind::BigInt},
    {"ORDINAL_POSITION", _DECIMAL, 18, Kind::BigInt},
    {"IS_NULLABLE", _VARCHAR, 3, Kind::Text},
};

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// A text value whole, whatever its length: its bytes as the server sent
// them (UTF-8), piece by piece. Each call reports what was left before it,
// so a cut piece held the difference of two reports (terminated or not),
// the last piece what its own report says.
SQLRETURN ReadText(qvoStatement& s, SQLUSMALLINT col, CachedValue* v) {
  v->text.clear();
  constexpr SQLLEN kPiece = 1024;
  char piece[kPiece];
  char cut[kPiece];
  SQLLEN cutLeft = -1;  // what was left before the cut piece, -1: none yet
  for (;;) {
    SQLLEN ind = 0;
    const SQLRETURN rc = s.GetData(col, SQL_C_BINARY, piece, kPiece, &ind);
    if (!Succeeded(rc)) return SQL_ERROR;
    if (ind == SQL_NULL_DATA && cutLeft < 0) {
      v->ind = SQL_NULL_DATA;
      return SQL_SUCCESS;
    }
    if (ind < 0) return SQL_ERROR;
    if (cutLeft >= 0) {
      if (ind >= cutLeft || cutLeft - ind > kPiece) return SQL_ERROR;
      v->text.append(cut, static_cast<size_t>(cutLeft - ind));
    }
    if (rc == SQL_SUCCESS) {
      if (ind > kPiece) return SQL_ERROR;
      v->text.append(piece, static_cast<size_t>(ind));
      break;
    }
    std::memcpy(cut, piece, kPiece);
    cutLeft = ind;
  }
  v->ind = static_cast<SQLLEN>(v->text.size());
  return SQL_SUCCESS;
}

template <class T>
SQLRETURN ReadNumber(qvoStatement& s, SQLUSMALLINT col, SQLSMALLINT cType, CachedValue* v) {
  T value = 0;
  SQLLEN ind = 0;
  if (!Succeeded(s.GetData(col, cType, &value, sizeof value, &ind))) return SQL_ERROR;
  v->number = value;
  v->ind = ind == SQL_NULL_DATA ? SQL_NULL_DATA : 0;
  return SQL_SUCCESS;
}

SQLRETURN ReadRow(qvoStatement& s, CachedColumn* row) {
  for (int i = 0; i < kColumnsResultColumns; ++i) {
    const auto col = static_cast<SQLUSMALLINT>(i + 1);
    CachedValue* v = &row->values[i];
    SQLRETURN rc = SQL_ERROR;
    switch (kColumnsResult[i].kind) {
      case Kind::Text:
        rc = ReadText(s, col, v);
        break;
      case Kind::Int:
        rc = ReadNumber<SQLINTEGER>(s, col, SQL_C_SLONG, v);
        break;
      case Kind::BigInt:
        rc = ReadNumber<SQLBIGINT>(s, col, SQL_C_SBIGINT, v);
        break;
    }
    if (rc != SQL_SUCCESS) return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

// Length in bytes of the UTF-8 sequence at p (1 for a stray byte).
size_t SequenceLength(const char* p) {
  const auto c = static_cast<unsigned char>(*p);
  size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  for (size_t i = 1; i < n; ++i)
    if (p[i] == '\0') return i;
  return n;
}

// The name a column argument stands for: an escape makes the character after
// it a plain one and is dropped; '%' and '_' are characters of the name.
std::string Unescaped(const char* text, std::string_view escape) {
  std::string out;
  for (const char* p = text; *p;) {
    if (!escape.empty() && std::strncmp(p, escape.data(), escape.size()) == 0 &&
        p[escape.size()] != '\0')
      p += escape.size();
    const size_t len = SequenceLength(p);
    out.append(p, len);
    p += len;
  }
  return out;
}

// For as long as it lives, the statement's data converter takes UTF-8, so
// that GetData hands out the texts as the server sent them; the code set
// the application chose is put back on leaving.
class Utf8DataScope {
 public:
  explicit Utf8DataScope(qvoStatement& s) : converter_(s.GetDataConverter()) {
    if (converter_ == nullptr) return;
    previous_ = converter_->GetCurrentCodepage();
    converter_->SetCurrentCodepage("UTF-8");
  }
  ~Utf8DataScope() {
    if (converter_ != nullptr) converter_->SetCurrentCodepage(previous_.c_str());
  }
  Utf8DataScope(const Utf8DataScope&) = delete;
  Utf8DataScope& operator=(const Utf8DataScope&) = delete;

 private:
  iconverter* converter_;
  std::string previous_;
};

}  // namespace

ColumnsCache::ColumnsCache(const char* cn, const char* sn, const char* tn)
    : CatalogName(cn ? cn : ""), SchemaName(sn ? sn : ""), TableName(tn ? tn : "") {}

bool ColumnsCache::Matches(const char* catalog, const char* schema, const char* table) const {
  return (!catalog || CatalogName == catalog) && (!schema || SchemaName == schema) &&
         (!table || TableName == table);
}

SQLRETURN FillColumnsCache(qvoStatement& s, ColumnsCache& cache) {
  qvoPlainFetchScope plain(s);
  const Utf8DataScope utf8(s);
  for (;;) {
    const SQLRETURN rc = s.Fetch();
    if (rc == SQL_NO_DATA) return SQL_SUCCESS;
    if (!Succeeded(rc)) return SQL_ERROR;
    CachedColumn row;
    if (ReadRow(s, &row) != SQL_SUCCESS) return SQL_ERROR;
    cache.columns.push_back(std::move(row));
  }
}

std::vector<const CachedColumn*> SelectCachedColumns(const ColumnsCache& cache, const char* column,
                                                     bool metadataId, bool columnQuotesWereRemoved,
                                                     const char* escape) {
  std::vector<const CachedColumn*> rows;
  if (!column || !*column) {
    for (const CachedColumn& row : cache.columns) rows.push_back(&row);
    return rows;
  }
  // One name, never a pattern: the first row of that name is the answer.
  const std::string wanted =
      metadataId ? std::string(column) : Unescaped(column, escape ? escape : "");
  for (const CachedColumn& row : cache.columns) {
    std::string name = row.columnName();
    if (metadataId && !columnQuotesWereRemoved) AsciiUpper(name);
    if (name == wanted) {
      rows.push_back(&row);
      break;
    }
  }
  return rows;
}

SQLRETURN AnswerFromColumnsCache(qvoStatement& s, const std::vector<const CachedColumn*>& rows) {
  s.ClearDiagRecords();
  s.InitStatement(QVO_INIT_RESET);
  qvoLocalResultWriter writer(QVO_RESULT_COLUMNS_CACHE, kColumnsResultColumns);
  for (int i = 0; i < kColumnsResultColumns; ++i) {
    const ResultColumn& c = kColumnsResult[i];
    const qvo_int32 size = c.size == kIdentifierSize ? s.GetMaxIdentifierLength() : c.size;
    if (c.kind != Kind::Text) {
      writer.AddColumn(c.name, c.type, size, 0);
      continue;
    }
    // The size in characters is the columns result's, whatever the values,
    // so that a call is described alike whichever path answers it. Only the
    // octet length, the most bytes the reader takes of a value, grows to
    // hold a longer value the server sent.
    qvo_int64 octets = 4 * static_cast<qvo_int64>(size);
    for (const CachedColumn* row : rows)
      octets = std::max<qvo_int64>(octets, static_cast<qvo_int64>(row->values[i].text.size()));
    writer.AddVarcharColumn(c.name, size,
                            static_cast<qvo_int32>(std::min<qvo_int64>(
                                octets, std::numeric_limits<qvo_int32>::max() - 4)));
  }
  for (int i = 0; i < kColumnsResultColumns; ++i) {
    for (const CachedColumn* row : rows) {
      const CachedValue& v = row->values[i];
      const SQLINTEGER ind = v.ind == SQL_NULL_DATA ? SQL_NULL_DATA : 0;
      switch (kColumnsResult[i].kind) {
        case Kind::Text:
          writer.Add_SQLVARCHAR(v.text, ind);
          break;
        case Kind::Int:
          writer.Add_SQLINTEGER(static_cast<SQLINTEGER>(v.number), ind);
          break;
        case Kind::BigInt:
          writer.Add_SQLBIGINT(v.number, ind);
          break;
      }
    }
  }
  return s.TakeLocalResult(writer, static_cast<qvo_int64>(rows.size()));
}
