// libFuzzer target over the value conversions of the fetch and of
// QVOGetData: a statement executed directly, or as a batch of two texts
// (QVOPrepareBatch, QVOExecuteBatch), whose answer (result sets with their
// column types and rows, further row blocks) comes from the input. Every
// column of every result is read in the C type the input chose for it, bound
// (a rowset of 1 to 8 rows, with a row status array) or through QVOGetData,
// character data in small pieces, which joined must give the value read
// whole. Every buffer the library writes into is a heap block of exactly the
// size the call gives it, so that AddressSanitizer sees any byte written past
// it.
//
// The input starts with the client's side (convert_plan.h):
//   byte 0      bits 0-1 the protocol version (13, 9, 8, 7); bits 2-4 the
//               rowset size - 1; bit 5 a batch; bit 6 no row status array;
//               bit 7 fetches scrolled by the orientations of bytes 3-6.
//   byte 1      bits 0-1 the data code set's index (low bits); bit 2 the
//               decimal comma; bit 3 strings never NULL; bit 4 decimals not
//               truncated; bit 5 external conversion; bit 6 at most 7 bytes
//               of character data; bit 7 at most 3 rows.
//   byte 2      bits 0-2 the float precision's index; bit 3 the code set
//               index's high bit; bit 4 integer types in results; bit 5
//               other words for true and false; bit 6 data not retrieved;
//               bit 7 SQL_C_WCHAR as UTF-8.
//   bytes 3-6   the orientation of each fetch in turn: bits 0-2 the
//               orientation, the rest the offset + 8.
//   bytes 7-22  eight column plans (column c takes plan (c - 1) % 8): the C
//               type's index in kCTypes (bits 0-6; bit 7: QVOGetData's
//               pieces alternate with the other width of text), then bits
//               0-3 the buffer length's
//               index in kLengths, bit 4 a value buffer only, bit 5 an
//               indicator only, bit 6 read by QVOGetData instead of bound,
//               bit 7 QVOGetData asked for the length first.
//   byte 23     bits 0-1 the code page of wide data (kept, UTF-16BE, UCS-2,
//               UTF-16LE).
// The rest is what the node sends, answer after answer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/qvoAttributeIds.h"
#include "convert_plan.h"
#include "fuzz_session.h"

namespace {

using namespace convert;

constexpr SQLSMALLINT kMaxColumns = 64;
constexpr int kMaxFetches = 12;
constexpr int kMaxResults = 4;
constexpr int kMaxPieces = 48;
constexpr unsigned char kFill = 0xA5;
constexpr SQLUSMALLINT kUnsetStatus = 0xEEEE;
constexpr SQLLEN kUnsetLength = -4242;
constexpr SQLULEN kUnsetRows = 0xDEAD;
constexpr int kFloatPrecisions[8] = {9, 1, 6, 17, 99, 0, -1, 100};

SQLPOINTER Value(SQLULEN n) { return reinterpret_cast<SQLPOINTER>(n); }

// A heap block of exactly n bytes (n may be 0: AddressSanitizer gives a
// block that no byte of may be touched).
struct Block {
  explicit Block(size_t n) : size(n), bytes(static_cast<char*>(std::malloc(n))) { Fill(); }
  ~Block() { std::free(bytes); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  void Fill() {
    if (size) std::memset(bytes, kFill, size);
  }
  size_t size;
  char* bytes;
};

// Every -1 and every 1 carries a diagnostic record; no other code comes back.
void CheckReturn(SQLHSTMT stmt, SQLRETURN rc) {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_ERROR && rc != SQL_NO_DATA &&
      rc != SQL_STILL_EXECUTING)
    __builtin_trap();
  if (rc != SQL_ERROR && rc != SQL_SUCCESS_WITH_INFO) return;
  SQLINTEGER records = 0;
  QVOGetDiagField(SQL_HANDLE_STMT, stmt, 0, SQL_DIAG_NUMBER, &records, 0, nullptr);
  if (records < 1) __builtin_trap();
}

enum class Kind { Fixed, Narrow, Wide, Refused };

// What one column is read as and the application's buffers for it.
struct Column {
  SQLUSMALLINT number = 0;
  SQLSMALLINT cType = 0;     // as given to the library
  SQLSMALLINT resolved = 0;  // what the library reads it as (DEFAULT and WCHAR resolved)
  SQLLEN length = 0;         // the buffer length given
  bool value = true;         // a value buffer is given
  bool indicator = true;     // an indicator is given
  bool byGetData = false;
  bool askLength = false;
  bool otherWidth = false;  // pieces alternate with the other width of text
  bool character = false;   // the column holds character data
  Kind kind = Kind::Refused;
  size_t size = 0;      // bytes of one element (the buffer length for text)
  SQLLEN reported = 0;  // the length a fixed-size element reports
  std::unique_ptr<Block> data;
  std::unique_ptr<Block> lengths;

  char* Element(size_t row) const { return data->bytes + row * size; }
  SQLLEN Indicator(size_t row) const {
    SQLLEN n;
    std::memcpy(&n, lengths->bytes + row * sizeof n, sizeof n);
    return n;
  }
};

// The C type SQL_C_DEFAULT stands for with a column's SQL type (as the ODBC
// defaults have it); 0 for one the library refuses.
SQLSMALLINT DefaultCType(SQLLEN sqlType) {
  switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return SQL_C_CHAR;
    case SQL_INTEGER:
      return SQL_C_SLONG;
    case SQL_BIGINT:
      return SQL_C_SBIGINT;
    case SQL_DOUBLE:
      return SQL_C_DOUBLE;
    case SQL_BIT:
      return SQL_C_BIT;
    case SQL_TYPE_DATE:
    case SQL_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
    case QVO_TYPE_TIMESTAMP_UTC:
      return static_cast<SQLSMALLINT>(sqlType);
    default:
      return 0;
  }
}

bool IsTimestamp(SQLLEN sqlType) {
  return sqlType == SQL_TYPE_TIMESTAMP || sqlType == SQL_TIMESTAMP ||
         sqlType == QVO_TYPE_TIMESTAMP_UTC;
}

// Bytes of one element of a fixed-size C type; 0 for the others.
size_t FixedSize(SQLSMALLINT cType) {
  switch (cType) {
    case SQL_C_BIT:
    case SQL_C_TINYINT:
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
      return 1;
    case SQL_C_SHORT:
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
      return 2;
    case SQL_C_LONG:
    case SQL_C_SLONG:
    case SQL_C_ULONG:
    case SQL_C_FLOAT:
    case QVO_INT32:
      return 4;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
    case SQL_C_DOUBLE:
    case QVO_INT64:
      return 8;
    case QVO_INT128:
      return 16;
    case QVO_VARCHAR_PTR:
      return sizeof(char*);
    case SQL_C_NUMERIC:
      return sizeof(SQL_NUMERIC_STRUCT);
    case SQL_C_DATE:
    case SQL_C_TYPE_DATE:
      return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME:
      return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP:
    case QVO_TYPE_TIMESTAMP_UTC:
      return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
      return 0;
  }
}

Column Planned(const uint8_t* plan, SQLUSMALLINT number, SQLLEN sqlType, bool wideAsUtf8) {
  Column c;
  c.number = number;
  c.cType = kCTypes[(plan[0] & kCTypeMask) % kCTypeCount];
  c.otherWidth = (plan[0] & kOtherWidth) != 0;
  c.length = kLengths[plan[1] & kLengthMask];
  c.value = (plan[1] & kIndicatorOnly) == 0;
  c.indicator = (plan[1] & kValueOnly) == 0 || (plan[1] & kIndicatorOnly) != 0;
  c.byGetData = (plan[1] & kByGetData) != 0;
  c.askLength = (plan[1] & kAskLength) != 0;
  c.character = sqlType == SQL_CHAR || sqlType == SQL_VARCHAR;
  c.resolved = c.cType == SQL_C_DEFAULT ? DefaultCType(sqlType)
               : c.cType == SQL_C_WCHAR ? (wideAsUtf8 ? QVO_WCHAR_UTF8 : QVO_WCHAR_UTF16)
                                        : c.cType;
  switch (c.resolved) {
    case SQL_C_CHAR:
    case SQL_C_BINARY:
    case QVO_WCHAR_UTF8:
      c.kind = Kind::Narrow;
      c.size = static_cast<size_t>(c.length);
      break;
    case QVO_WCHAR_UTF16:
      c.kind = Kind::Wide;
      c.size = static_cast<size_t>(c.length);
      break;
    default:
      c.size = FixedSize(c.resolved);
      c.kind = c.size ? Kind::Fixed : Kind::Refused;
      c.reported = static_cast<SQLLEN>(c.size);
      // A time stamp into a 32-bit integer is a record of three, written
      // only into a buffer that says it holds them.
      if ((c.resolved == SQL_C_SLONG || c.resolved == SQL_C_LONG) && IsTimestamp(sqlType)) {
        c.reported = 12;
        if (c.length >= 12) c.size = 12;
      }
      if (c.kind == Kind::Refused) c.size = static_cast<size_t>(c.length);
      break;
  }
  return c;
}

// A text target holds its terminator where the reported length says, when
// that is inside the buffer.
void CheckText(const Column& c, const char* target, SQLLEN length, SQLLEN bufferLength) {
  if (target == nullptr || length < 0) return;
  if (c.kind == Kind::Narrow && length < bufferLength && target[length] != 0) __builtin_trap();
  if (c.kind == Kind::Wide && length + 2 <= bufferLength &&
      (target[length] != 0 || target[length + 1] != 0))
    __builtin_trap();
}

// One converted, non-NULL element of a bound column or of a single call.
void CheckElement(const Column& c, const char* target, SQLLEN length, SQLLEN bufferLength) {
  if (length < 0 && length != SQL_NULL_DATA) __builtin_trap();
  if (length == SQL_NULL_DATA) return;
  if (c.kind == Kind::Narrow || c.kind == Kind::Wide) {
    CheckText(c, target, length, bufferLength);
    return;
  }
  if (c.kind != Kind::Fixed) return;
  if (c.resolved == QVO_VARCHAR_PTR) {
    // The bytes it points at are the received value's, readable.
    if (target == nullptr || length == 0) return;
    const char* text;
    std::memcpy(&text, target, sizeof text);
    std::string copy(text, static_cast<size_t>(length));
    return;
  }
  if (length != c.reported) __builtin_trap();
  if (c.resolved == SQL_C_BIT && target && static_cast<unsigned char>(target[0]) > 1)
    __builtin_trap();
}

struct Reader {
  SQLHSTMT stmt;
  const uint8_t* client;
  SQLULEN rowset;
  bool scroll;
  bool statusArray;
  bool retrieve;        // bound buffers are written
  bool stringsNotNull;  // a NULL text reads as an empty one
  bool maxLength;       // SQL_ATTR_MAX_LENGTH limits every piece
};

// The pieces of one value joined: a piece's bytes are known once the next
// call tells what is left after it; each is followed by its terminator
// inside its buffer.
class Joined {
 public:
  explicit Joined(SQLLEN unit) : unit_(unit) {}
  // A piece whose call said `left` bytes were left before it; the last one
  // holds all of them.
  void Add(const char* target, SQLLEN bufferLength, SQLLEN left, bool last) {
    if (total_ < 0) total_ = left;
    Settle(left);
    pending_.assign(target, static_cast<size_t>(bufferLength));
    pendingLeft_ = left;
    if (last) Settle(0);
  }
  SQLLEN Total() const { return total_; }
  const std::string& Bytes() const { return bytes_; }

 private:
  void Settle(SQLLEN left) {
    if (pendingLeft_ < 0) return;
    const SQLLEN n = pendingLeft_ - left;
    if (n < 0 || static_cast<size_t>(n + unit_) > pending_.size()) __builtin_trap();
    for (SQLLEN k = 0; k < unit_; ++k)
      if (pending_[static_cast<size_t>(n + k)] != 0) __builtin_trap();
    bytes_.append(pending_, 0, static_cast<size_t>(n));
    pendingLeft_ = -1;
  }

  SQLLEN unit_;
  std::string bytes_;
  std::string pending_;
  SQLLEN pendingLeft_ = -1;
  SQLLEN total_ = -1;  // what the first piece said was left: the whole length
};

// The value read again whole, from its start (SetPos on its row starts it
// anew), is what its pieces joined make.
void CheckJoined(const Reader& rd, const Column& c, SQLULEN row, const Joined& joined) {
  const SQLLEN unit = c.kind == Kind::Wide ? 2 : 1;
  if (static_cast<size_t>(joined.Total()) != joined.Bytes().size()) __builtin_trap();
  if (QVOSetPos(rd.stmt, static_cast<SQLBIGINT>(row), SQL_POSITION, SQL_LOCK_NO_CHANGE) !=
      SQL_SUCCESS)
    __builtin_trap();
  Block whole(static_cast<size_t>(joined.Total() + unit));
  SQLLEN length = kUnsetLength;
  const SQLRETURN rc =
      QVOGetData(rd.stmt, c.number, c.cType, whole.bytes, static_cast<SQLLEN>(whole.size), &length);
  CheckReturn(rd.stmt, rc);
  if (rc != SQL_SUCCESS || length != joined.Total() ||
      std::memcmp(whole.bytes, joined.Bytes().data(), joined.Bytes().size()) != 0)
    __builtin_trap();
}

// Character data of a character column into a text target, piece after
// piece, each into a fresh buffer of the column's length: every piece
// terminated, the length left shrinking while the buffer can take a
// character, the last piece followed by SQL_NO_DATA, and the pieces joined
// giving the value read whole.
void ReadPieces(const Reader& rd, const Column& c, SQLULEN row) {
  const SQLLEN unit = c.kind == Kind::Wide ? 2 : 1;
  // Room for the longest character (4 UTF-8 bytes, a surrogate pair) and the
  // terminator.
  const bool progresses = c.value && c.length >= 5 * unit;
  const bool pieces = c.value && c.length >= 2 * unit;
  // maxLength keeps the whole value from one call.
  const bool join = pieces && c.indicator && !c.otherWidth && !rd.maxLength;
  Joined joined(unit);
  SQLLEN left = -1;
  for (int k = 0; k < kMaxPieces; ++k) {
    // The odd pieces in the other width, into the largest buffer, when the
    // plan says so.
    const bool other = c.otherWidth && k % 2 == 1;
    const SQLSMALLINT type = !other ? c.cType : c.kind == Kind::Wide ? SQL_C_CHAR : SQL_C_WCHAR;
    const SQLLEN bufferLength = other ? kLengths[15] : c.length;
    Block target(static_cast<size_t>(bufferLength));
    SQLLEN length = kUnsetLength;
    const SQLRETURN rc = QVOGetData(rd.stmt, c.number, type, c.value ? target.bytes : nullptr,
                                    bufferLength, c.indicator ? &length : nullptr);
    CheckReturn(rd.stmt, rc);
    // A value is never over before its first piece.
    if (rc == SQL_NO_DATA && k == 0) __builtin_trap();
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return;
    if (other) {
      left = -1;
      continue;
    }
    if (!c.indicator || length == SQL_NULL_DATA || !pieces) return;
    CheckElement(c, c.value ? target.bytes : nullptr, length, c.length);
    if (rc == SQL_SUCCESS) {
      if (length + unit > c.length) __builtin_trap();
      // A NULL read as an empty text is no piece: it reads the same again.
      if (length == 0 && rd.stringsNotNull) return;
      if (join) joined.Add(target.bytes, bufferLength, length, true);
      Block after(static_cast<size_t>(c.length));
      const SQLRETURN next = QVOGetData(rd.stmt, c.number, c.cType, after.bytes, c.length, &length);
      CheckReturn(rd.stmt, next);
      if (next != SQL_NO_DATA) __builtin_trap();
      if (join) CheckJoined(rd, c, row, joined);
      return;
    }
    if (join) joined.Add(target.bytes, bufferLength, length, false);
    if (progresses && left >= 0 && length >= left) __builtin_trap();
    left = length;
  }
}

void ReadByGetData(const Reader& rd, const Column& c, SQLULEN row) {
  if (c.askLength) {
    SQLLEN length = kUnsetLength;
    CheckReturn(rd.stmt, QVOGetData(rd.stmt, c.number, c.cType, nullptr, c.length, &length));
  }
  if (c.character && c.kind != Kind::Fixed && c.kind != Kind::Refused) {
    ReadPieces(rd, c, row);
    return;
  }
  Block target(c.size);
  SQLLEN length = kUnsetLength;
  const SQLRETURN rc = QVOGetData(rd.stmt, c.number, c.cType, c.value ? target.bytes : nullptr,
                                  c.length, c.indicator ? &length : nullptr);
  CheckReturn(rd.stmt, rc);
  if ((rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) && c.indicator)
    CheckElement(c, c.value ? target.bytes : nullptr, length, c.length);
}

// A C type that cannot be bound (429 and 430 are reached through
// SQL_C_WCHAR only) leaves the column unbound.
void Bind(const Reader& rd, Column& c) {
  if (c.value) c.data = std::make_unique<Block>(c.size * rd.rowset);
  if (c.indicator) c.lengths = std::make_unique<Block>(sizeof(SQLLEN) * rd.rowset);
  const SQLRETURN rc =
      QVOBindCol(rd.stmt, c.number, c.cType, c.data ? c.data->bytes : nullptr, c.length,
                 c.lengths ? reinterpret_cast<SQLLEN*>(c.lengths->bytes) : nullptr);
  CheckReturn(rd.stmt, rc);
  if (rc == SQL_SUCCESS) return;
  c.data.reset();
  c.lengths.reset();
}

bool RowConverted(SQLRETURN rc, const SQLUSMALLINT* status, size_t row) {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return false;
  return status == nullptr || status[row] == SQL_ROW_SUCCESS ||
         status[row] == SQL_ROW_SUCCESS_WITH_INFO;
}

// The rows a fetch reports, their statuses and their bound values.
void CheckRowset(const Reader& rd, const std::vector<Column>& columns, SQLRETURN rc,
                 SQLULEN fetched, const SQLUSMALLINT* status) {
  const bool success = rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
  if (!success) {
    if (fetched != 0 && fetched != kUnsetRows) __builtin_trap();
    return;
  }
  // Only a scroll back to the start fetches nothing and succeeds.
  if (fetched > rd.rowset || (fetched == 0 && !rd.scroll)) __builtin_trap();
  if (status != nullptr && fetched > 0) {
    for (size_t r = 0; r < rd.rowset; ++r) {
      const SQLUSMALLINT s = status[r];
      const bool ok =
          r < fetched ? s == SQL_ROW_SUCCESS || s == SQL_ROW_SUCCESS_WITH_INFO || s == SQL_ROW_ERROR
                      : s == SQL_ROW_NOROW;
      if (!ok || (rc == SQL_SUCCESS && r < fetched && s != SQL_ROW_SUCCESS)) __builtin_trap();
    }
  }
  for (const Column& c : columns) {
    if (c.byGetData || !c.lengths || !rd.retrieve) continue;
    for (size_t r = 0; r < fetched; ++r)
      if (RowConverted(rc, status, r))
        CheckElement(c, c.data ? c.Element(r) : nullptr, c.Indicator(r), c.length);
  }
}

SQLRETURN FetchNext(const Reader& rd, int n) {
  if (!rd.scroll) return QVOFetch(rd.stmt);
  const uint8_t b = rd.client[3 + n % 4];
  return QVOFetchScroll(rd.stmt, static_cast<SQLSMALLINT>(b & 7), (b >> 3) - 8);
}

void ReadResult(const Reader& rd) {
  SQLSMALLINT count = 0;
  if (QVONumResultCols(rd.stmt, &count) != SQL_SUCCESS || count < 1) return;
  if (count > kMaxColumns) count = kMaxColumns;
  std::vector<Column> columns;
  for (SQLSMALLINT n = 1; n <= count; ++n) {
    SQLLEN sqlType = 0;
    QVOColAttribute(rd.stmt, static_cast<SQLUSMALLINT>(n), SQL_DESC_CONCISE_TYPE, nullptr, 0,
                    nullptr, &sqlType);
    const uint8_t* plan = rd.client + kPlanOffset + 2 * ((n - 1) % kPlanCount);
    columns.push_back(
        Planned(plan, static_cast<SQLUSMALLINT>(n), sqlType, (rd.client[2] & kWideAsUtf8) != 0));
  }
  for (Column& c : columns)
    if (!c.byGetData) Bind(rd, c);
  Block status(sizeof(SQLUSMALLINT) * rd.rowset);
  Block fetched(sizeof(SQLULEN));
  auto* statuses = reinterpret_cast<SQLUSMALLINT*>(status.bytes);
  QVOSetStmtAttr(rd.stmt, SQL_ATTR_ROW_STATUS_PTR, rd.statusArray ? statuses : nullptr, 0);
  QVOSetStmtAttr(rd.stmt, SQL_ATTR_ROWS_FETCHED_PTR, fetched.bytes, 0);

  for (int n = 0; n < kMaxFetches; ++n) {
    for (Column& c : columns) {
      if (c.data) c.data->Fill();
      if (c.lengths)
        for (size_t r = 0; r < rd.rowset; ++r)
          std::memcpy(c.lengths->bytes + r * sizeof(SQLLEN), &kUnsetLength, sizeof(SQLLEN));
    }
    for (size_t r = 0; r < rd.rowset; ++r) statuses[r] = kUnsetStatus;
    std::memcpy(fetched.bytes, &kUnsetRows, sizeof kUnsetRows);
    const SQLRETURN rc = FetchNext(rd, n);
    CheckReturn(rd.stmt, rc);
    SQLULEN rows;
    std::memcpy(&rows, fetched.bytes, sizeof rows);
    CheckRowset(rd, columns, rc, rows, rd.statusArray ? statuses : nullptr);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
      if (!rd.scroll) break;
      continue;
    }
    for (SQLULEN r = 1; r <= rows; ++r) {
      if (rows > 1 && QVOSetPos(rd.stmt, static_cast<SQLBIGINT>(r), SQL_POSITION,
                                SQL_LOCK_NO_CHANGE) != SQL_SUCCESS)
        __builtin_trap();
      for (const Column& c : columns)
        if (c.byGetData) ReadByGetData(rd, c, r);
    }
  }
  // Nothing of this frame stays bound to the statement.
  QVOFreeStmt(rd.stmt, SQL_UNBIND);
  QVOSetStmtAttr(rd.stmt, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
  QVOSetStmtAttr(rd.stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
}

// The statement's conversion settings the input chose; the destructor puts
// back what the session keeps for the next input.
class Settings {
 public:
  Settings(FuzzSession& session, const uint8_t* client) : session_(session) {
    qvoStatement& s = *session.s;
    saved_ = Saved::From(s.stmtAttr);
    separator_ = s.decSeparator;
    intTypes_ = session.conn->connAttr.intTypesInResultsIfPossible;
    wideType_ = session.conn->appWcharType;
    char name[64] = {};
    SQLINTEGER n = 0;
    if (QVOGetStmtAttr(session.stmt, QVO_ATTR_DATA_ENCODING, name, sizeof name, &n) == SQL_SUCCESS)
      codeSet_ = name;
    if (QVOGetStmtAttr(session.stmt, QVO_ATTR_WCHAR_DATA_ENCODING, name, sizeof name, &n) ==
        SQL_SUCCESS)
      wideCodeSet_ = name;
    Apply(client[1], client[2]);
    if (const char* wide = kWideCodeSets[client[kWideCodeSetOffset] & 3]) {
      QVOSetStmtAttr(session.stmt, QVO_ATTR_WCHAR_DATA_ENCODING, const_cast<char*>(wide), SQL_NTS);
      wideCodeSetChanged_ = true;
    }
  }
  ~Settings() {
    qvoStatement& s = *session_.s;
    saved_.To(s.stmtAttr);
    s.decSeparator = separator_;
    session_.conn->connAttr.intTypesInResultsIfPossible = intTypes_;
    session_.conn->appWcharType = wideType_;
    QVOSetStmtAttr(session_.stmt, SQL_ATTR_ROW_ARRAY_SIZE, Value(1), 0);
    if (codeSetChanged_ && !codeSet_.empty())
      QVOSetStmtAttr(session_.stmt, QVO_ATTR_DATA_ENCODING, codeSet_.data(), SQL_NTS);
    if (wideCodeSetChanged_ && !wideCodeSet_.empty())
      QVOSetStmtAttr(session_.stmt, QVO_ATTR_WCHAR_DATA_ENCODING, wideCodeSet_.data(), SQL_NTS);
  }
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

 private:
  void Apply(uint8_t b, uint8_t more) {
    SQLHSTMT stmt = session_.stmt;
    qvoStatement& s = *session_.s;
    if (const char* name = kCodeSets[(b & kCodeSetMask) | ((more & kCodeSetHigh) ? 4 : 0)]) {
      QVOSetStmtAttr(stmt, QVO_ATTR_DATA_ENCODING, const_cast<char*>(name), SQL_NTS);
      codeSetChanged_ = true;
    }
    if (b & kDecimalComma) s.decSeparator = ',';
    s.stmtAttr.stringsNotNull = (b & kStringsNotNull) != 0;
    QVOSetStmtAttr(stmt, QVO_ATTR_TRUNCATE_DECIMALS, Value((b & kDecimalsKept) ? 0 : 1), 0);
    QVOSetStmtAttr(stmt, QVO_ATTR_EXTERNAL_CONVERSION, Value((b & kExternalConversion) ? 1 : 0), 0);
    if (b & kMaxLength) QVOSetStmtAttr(stmt, SQL_ATTR_MAX_LENGTH, Value(7), 0);
    if (b & kMaxRows) QVOSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, Value(3), 0);
    int precision = kFloatPrecisions[more & 7];
    QVOSetStmtAttr(stmt, QVO_ATTR_FLOAT_PRECISION, &precision, 0);
    session_.conn->connAttr.intTypesInResultsIfPossible = (more & kIntTypes) != 0;
    if (more & kWords) {
      std::strcpy(s.stmtAttr.wordForTrue, "TRUE");
      std::strcpy(s.stmtAttr.wordForFalse, "");
    }
    if (more & kRetrieveOff) QVOSetStmtAttr(stmt, SQL_ATTR_RETRIEVE_DATA, Value(SQL_RD_OFF), 0);
    // SQL_C_WCHAR then stands for UTF-8 (429).
    if (more & kWideAsUtf8) session_.conn->appWcharType = 2;
  }

  // The fields Apply changes (the block itself holds an atomic and does not
  // copy whole).
  struct Saved {
    char externalConversion, truncateDecimals;
    int floatPrecision;
    SQLUINTEGER maxLength, retriveData;
    SQLUBIGINT maxRows;
    bool stringsNotNull;
    std::string wordForTrue, wordForFalse;
    static Saved From(const __statementAttributes& a) {
      return {a.externalConversion, a.truncateDecimals, a.floatPrecision,
              a.maxLength,          a.retriveData,      a.maxRows,
              a.stringsNotNull,     a.wordForTrue,      a.wordForFalse};
    }
    void To(__statementAttributes& a) const {
      a.externalConversion = externalConversion;
      a.truncateDecimals = truncateDecimals;
      a.floatPrecision = floatPrecision;
      a.maxLength = maxLength;
      a.retriveData = retriveData;
      a.maxRows = maxRows;
      a.stringsNotNull = stringsNotNull;
      std::snprintf(a.wordForTrue, sizeof a.wordForTrue, "%s", wordForTrue.c_str());
      std::snprintf(a.wordForFalse, sizeof a.wordForFalse, "%s", wordForFalse.c_str());
    }
  };

  FuzzSession& session_;
  Saved saved_;
  char separator_;
  bool intTypes_;
  SQLUINTEGER wideType_;
  std::string codeSet_;
  bool codeSetChanged_ = false;
  std::string wideCodeSet_;
  bool wideCodeSetChanged_ = false;
};

void Run(FuzzSession& session, const uint8_t* client) {
  SQLHSTMT stmt = session.stmt;
  const uint8_t flags = client[0];
  Settings settings(session, client);
  Reader rd{stmt,
            client,
            1 + static_cast<SQLULEN>((flags >> kRowsetShift) & 7),
            (flags & kScroll) != 0,
            (flags & kNoStatusArray) == 0,
            (client[2] & kRetrieveOff) == 0,
            (client[1] & kStringsNotNull) != 0,
            (client[1] & kMaxLength) != 0};
  QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, Value(rd.rowset), 0);

  SQLRETURN rc;
  if (flags & kBatch) {
    QVOPrepareBatch(stmt, "SELECT 1", SQL_NTS);
    QVOPrepareBatch(stmt, "SELECT * FROM T", SQL_NTS);
    rc = QVOExecuteBatch(stmt);
  } else {
    rc = QVOExecDirect(stmt, Sql("SELECT * FROM T"), SQL_NTS);
    // A statement still executing goes on with each call.
    for (int n = 0; n < 4 && rc == SQL_STILL_EXECUTING; ++n)
      rc = QVOExecDirect(stmt, Sql("SELECT * FROM T"), SQL_NTS);
  }
  CheckReturn(stmt, rc);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return;
  for (int n = 0; n < kMaxResults; ++n) {
    ReadResult(rd);
    rc = QVOMoreResults(stmt);
    CheckReturn(stmt, rc);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kClientBytes) return 0;
  FuzzSession session(data + kClientBytes, size - kClientBytes, FuzzProtocol(data[0]));
  if (session.Ready()) Run(session, data);
  return 0;
}
