// Diagnostic records of a handle and their way back to the application.
#include "handles/qvoDiagnostics.h"

#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include "common/qvoArgStrings.h"
#include "common/qvoPredicates.h"
#include "common/qvoStrings.h"
#include "common/qvoTypeCodes.h"
#include "handles/qvoHandle.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoTranslator.h"
#include "platform/qvoUnicode.h"

// ------------------------------------------------------------ __diagRecords

__diagRecords::__diagRecords() = default;
__diagRecords::~__diagRecords() = default;
__diagRecords::__diagRecords(__diagRecords&&) noexcept = default;
__diagRecords& __diagRecords::operator=(__diagRecords&&) noexcept = default;

const char* __diagRecords::GetMessage() const {
  return diagMessageStr ? diagMessageStr->GetStr() : "";
}

int __diagRecords::GetMessageLen() const {
  return diagMessageStr ? diagMessageStr->GetStrLen() : 0;
}

// ------------------------------------------------------- records of a handle

namespace {

constexpr size_t kPrefixLen = sizeof QVO_DRIVER_PREFIX - 1;

// SQLSTATEs are five characters; a shorter text is taken as it is.
void CopySqlState(char (&dst)[6], const char* src) {
  size_t n = 0;
  if (src != nullptr)
    while (n < 5 && src[n] != '\0') ++n;
  if (n) memcpy(dst, src, n);
  dst[n] = '\0';
}

}  // namespace

void qvoHandle::AppendRecord(__diagRecords&& record) {
  if (diags.empty()) diags.emplace_back();  // entry 0 is no record
  diags.push_back(std::move(record));
  diagHeader.diagNumber = static_cast<SQLINTEGER>(diags.size() - 1);
}

SQLRETURN qvoHandle::SetDiagRec(const char* sqlState, SQLINTEGER nativeError, const char* message) {
  qvoMutex lock(setDiagMutex);
  if (message == nullptr) message = "";
  std::string text;
  if (strncmp(message, QVO_DRIVER_PREFIX, kPrefixLen) != 0) text = QVO_DRIVER_PREFIX;
  text += message;

  __diagRecords record;
  CopySqlState(record.diagSQLState, sqlState);
  record.diagNativeError = nativeError;
  record.diagMessageStr = std::make_unique<aString>(text.c_str(), static_cast<int>(text.size()));
  if (logFull)
    Log("qvoHandle::SetDiagRec() added one new error messages for handle %i: %s %s\n",
        static_cast<int>(HandleIndex(handleID)), record.diagSQLState, text.c_str());
  AppendRecord(std::move(record));
  return SQL_ERROR;
}

SQLRETURN qvoHandle::SetDiagRecPtr(const __diagRecords* record) {
  if (record == nullptr) return SQL_SUCCESS;
  qvoMutex lock(setDiagMutex);
  SetDiagRec(record->diagSQLState, record->diagNativeError, record->GetMessage());
  if (record->fromServer) LastDiagWasFromServer();
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::LastDiagWasFromServer() {
  qvoMutex lock(setDiagMutex);
  if (diagHeader.diagNumber < 1) return SQL_ERROR;
  diags[diagHeader.diagNumber].fromServer = true;
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::AppendDiagRecordsFrom(qvoHandle* other) {
  if (other == nullptr) return SQL_ERROR;
  // Copy under the other handle's lock, append under ours: never both at once,
  // so two handles copying from each other cannot deadlock. Copying first also
  // lets a handle append its own records.
  struct Copy {
    char sqlState[6];
    SQLINTEGER nativeError;
    std::string message;
    bool fromServer;
  };
  std::vector<Copy> copies;
  {
    qvoMutex lock(other->setDiagMutex);
    for (SQLINTEGER i = 1; i <= other->diagHeader.diagNumber; ++i) {
      const __diagRecords& r = other->diags[i];
      Copy c{{}, r.diagNativeError, r.GetMessage(), r.fromServer};
      memcpy(c.sqlState, r.diagSQLState, sizeof c.sqlState);
      copies.push_back(std::move(c));
    }
  }
  qvoMutex lock(setDiagMutex);
  for (const Copy& c : copies) {
    SetDiagRec(c.sqlState, c.nativeError, c.message.c_str());
    if (c.fromServer) LastDiagWasFromServer();
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::MoveDiagRecordsFrom(qvoHandle* other) {
  const SQLRETURN rc = AppendDiagRecordsFrom(other);
  if (rc == SQL_SUCCESS) other->ClearDiagRecords();
  return rc;
}

SQLRETURN qvoHandle::ClearDiagRecords() {
  qvoMutex lock(setDiagMutex);
  if (!errorReset || diagHeader.diagNumber == 0) return SQL_SUCCESS;
  if (logFull)
    Log("qvoHandle::ClearDiagRecords() is going to delete %i error messages for handle %i of "
        "type %s\n",
        static_cast<int>(diagHeader.diagNumber), static_cast<int>(HandleIndex(handleID)),
        GetHandleTypeStr(handleType));
  diags.clear();
  diagHeader.diagNumber = 0;
  return SQL_SUCCESS;
}

SQLINTEGER qvoHandle::GetNumRecords() {
  qvoMutex lock(setDiagMutex);
  return diagHeader.diagNumber;
}

__diagRecords* qvoHandle::GetDiagRecPtr(SQLSMALLINT recNumber) {
  qvoMutex lock(setDiagMutex);
  if (recNumber < 1 || recNumber > diagHeader.diagNumber) return nullptr;
  return &diags[recNumber];
}

int qvoHandle::GetDiagRecMsgLen(SQLSMALLINT recNumber) {
  qvoMutex lock(setDiagMutex);
  if (recNumber < 1 || recNumber > diagHeader.diagNumber) return 0;
  return diags[recNumber].GetMessageLen();
}

SQLRETURN qvoHandle::SortRecords() {
  qvoMutex lock(setDiagMutex);
  if (diagHeader.diagNumber < 2) return SQL_SUCCESS;
  SQLINTEGER last = 0;
  for (SQLINTEGER i = 1; i <= diagHeader.diagNumber; ++i)
    if (diags[i].fromServer) last = i;
  if (last == 0) return SQL_SUCCESS;
  // All records go, whatever errorReset says; the server's record comes back
  // as record 1 with its mark. It already carries the prefix, so its text is
  // kept as it is.
  const __diagRecords keep = std::move(diags[last]);
  diags.clear();
  diagHeader.diagNumber = 0;
  SetDiagRecPtr(&keep);
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::RetCode(SQLRETURN rc) {
  // A cancel from another thread ends its call here too.
  qvoMutex lock(setDiagMutex);
  diagHeader.diagReturncode = rc;
  return rc;
}

SQLRETURN qvoHandle::SetDiagField(SQLSMALLINT, SQLSMALLINT diagIdentifier, SQLLEN value,
                                  SQLSMALLINT) {
  if (diagIdentifier != SQL_DIAG_ROW_COUNT) return SQL_ERROR;
  qvoMutex lock(setDiagMutex);
  diagHeader.diagRowCount = static_cast<SQLINTEGER>(value);
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::GetDiagRec(SQLSMALLINT recNumber, char* sqlState, SQLINTEGER* nativeError,
                                char* messageText, SQLSMALLINT bufferLength,
                                SQLSMALLINT* textLength) {
  qvoMutex lock(setDiagMutex);
  if (bufferLength < 0) return SQL_ERROR;
  if (diagHeader.diagNumber == 0) return SQL_NO_DATA;
  if (recNumber < 1) return SQL_ERROR;
  SortRecords();
  if (recNumber > diagHeader.diagNumber) return SQL_NO_DATA;
  const __diagRecords& r = diags[recNumber];
  if (sqlState) memcpy(sqlState, r.diagSQLState, sizeof r.diagSQLState);
  const char* message = r.GetMessage();
  const int length = r.GetMessageLen();
  // A buffer that is not longer than the message cuts it (a buffer of 0 bytes
  // takes nothing); without a buffer nothing is copied and nothing is cut.
  const bool cut = messageText != nullptr && bufferLength <= length;
  if (messageText && bufferLength > 0) {
    const size_t n = Unicode::Utf8CutLength(message, length, bufferLength - 1);
    memcpy(messageText, message, n);
    messageText[n] = '\0';
  }
  if (textLength) *textLength = static_cast<SQLSMALLINT>(length < SHRT_MAX ? length : SHRT_MAX);
  if (nativeError) *nativeError = r.diagNativeError;
  return cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

// ------------------------------------------------------- diagnostic fields

namespace {

// Setting: a value of the handle's object that its own lock guards, read
// outside setDiagMutex.
enum class FieldKind { Header, Record, Setting };

// Numeric fields: the value written and its width.
struct NumericField {
  SQLSMALLINT id;
  FieldKind kind;
  void (*write)(const qvoHandle& h, const __diagRecords* r, SQLPOINTER value);
};

template <class T>
void Put(SQLPOINTER value, T v) {
  memcpy(value, &v, sizeof v);
}

constexpr NumericField kNumericFields[] = {
    {SQL_DIAG_RETURNCODE, FieldKind::Header,
     [](const qvoHandle& h, const __diagRecords*, SQLPOINTER v) {
       Put<SQLRETURN>(v, h.diagHeader.diagReturncode);
     }},
    {SQL_DIAG_NUMBER, FieldKind::Header,
     [](const qvoHandle& h, const __diagRecords*, SQLPOINTER v) {
       Put<SQLINTEGER>(v, h.diagHeader.diagNumber);
     }},
    // Row counts and row numbers are SQLLEN wide.
    {SQL_DIAG_ROW_COUNT, FieldKind::Header,
     [](const qvoHandle& h, const __diagRecords*, SQLPOINTER v) {
       Put<SQLLEN>(v, h.diagHeader.diagRowCount);
     }},
    {SQL_DIAG_DYNAMIC_FUNCTION_CODE, FieldKind::Header,
     [](const qvoHandle& h, const __diagRecords*, SQLPOINTER v) {
       Put<SQLINTEGER>(v, h.diagHeader.diagDynamicFunctionCode);
     }},
    {SQL_DIAG_NATIVE, FieldKind::Record,
     [](const qvoHandle&, const __diagRecords* r, SQLPOINTER v) {
       Put<SQLINTEGER>(v, r->diagNativeError);
     }},
    {SQL_DIAG_ROW_NUMBER, FieldKind::Record,
     [](const qvoHandle&, const __diagRecords* r, SQLPOINTER v) {
       Put<SQLLEN>(v, r->diagRowNumber);
     }},
};

// Text fields: where the text comes from, and whether the caller must give a
// string length pointer.
struct TextField {
  SQLSMALLINT id;
  FieldKind kind;
  bool needsLengthPointer;
  std::string (*text)(qvoHandle& h, const __diagRecords* r);
};

constexpr TextField kTextFields[] = {
    {SQL_DIAG_SQLSTATE, FieldKind::Record, false,
     [](qvoHandle&, const __diagRecords* r) { return std::string(r->diagSQLState); }},
    {SQL_DIAG_MESSAGE_TEXT, FieldKind::Record, true,
     [](qvoHandle&, const __diagRecords* r) {
       return std::string(r->GetMessage(), r->GetMessageLen());
     }},
    {SQL_DIAG_DYNAMIC_FUNCTION, FieldKind::Header, false,
     [](qvoHandle&, const __diagRecords*) { return std::string(); }},
    {SQL_DIAG_CLASS_ORIGIN, FieldKind::Record, true,
     [](qvoHandle&, const __diagRecords* r) { return std::string(r->diagClassOrigin); }},
    {SQL_DIAG_SUBCLASS_ORIGIN, FieldKind::Record, true,
     [](qvoHandle&, const __diagRecords* r) { return std::string(r->diagSubclassOrigin); }},
    {SQL_DIAG_CONNECTION_NAME, FieldKind::Header, true,
     [](qvoHandle& h, const __diagRecords*) {
       return std::string(h.diagHeader.diagConnectionName);
     }},
    {SQL_DIAG_SERVER_NAME, FieldKind::Setting, false,
     [](qvoHandle& h, const __diagRecords*) { return h.DiagServerName(); }},
};

const TextField* FindTextField(SQLSMALLINT id) {
  for (const auto& f : kTextFields)
    if (f.id == id) return &f;
  return nullptr;
}

// Identifiers with rules of their own.
constexpr SQLSMALLINT kDiagColumnNumber = SQL_DIAG_COLUMN_NUMBER;       // -1247
constexpr SQLSMALLINT kDiagCursorRowCount = SQL_DIAG_CURSOR_ROW_COUNT;  // -1249
constexpr SQLSMALLINT kDiagNoDataIdentifier = 1002;

}  // namespace

SQLRETURN qvoHandle::GetDiagTextField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier,
                                      std::string& text) {
  const TextField* f = FindTextField(diagIdentifier);
  if (f == nullptr || recNumber < 0) return SQL_ERROR;
  if (f->kind == FieldKind::Setting) {
    text = f->text(*this, nullptr);
    return SQL_SUCCESS;
  }
  qvoMutex lock(setDiagMutex);
  const __diagRecords* r = nullptr;
  if (f->kind == FieldKind::Record) {
    if (recNumber < 1) return SQL_ERROR;  // records start at 1
    if (recNumber > diagHeader.diagNumber) return SQL_NO_DATA;
    r = &diags[recNumber];
  }
  text = f->text(*this, r);
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::GetDiagField(SQLSMALLINT recNumber, SQLSMALLINT diagIdentifier,
                                  SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                                  SQLSMALLINT* stringLength) {
  if (recNumber < 0 || diagInfo == nullptr) return SQL_ERROR;
  if (diagIdentifier == kDiagNoDataIdentifier) return SQL_NO_DATA;
  {
    qvoMutex lock(setDiagMutex);
    if (diagIdentifier == kDiagColumnNumber) {
      Put<SQLINTEGER>(diagInfo, SQL_COLUMN_NUMBER_UNKNOWN);
      return SQL_SUCCESS;
    }
    if (diagIdentifier == kDiagCursorRowCount) {
      if (handleType != SQL_HANDLE_STMT) return SQL_ERROR;
      return DiagCursorRowCount(static_cast<SQLLEN*>(diagInfo)) == SQL_ERROR ? SQL_ERROR
                                                                             : SQL_SUCCESS;
    }
    for (const auto& f : kNumericFields) {
      if (f.id != diagIdentifier) continue;
      const __diagRecords* r = nullptr;
      if (f.kind == FieldKind::Record) {
        if (recNumber < 1) return SQL_ERROR;
        if (recNumber > diagHeader.diagNumber) return SQL_NO_DATA;
        r = &diags[recNumber];
      }
      f.write(*this, r, diagInfo);
      return SQL_SUCCESS;
    }
  }

  // Text fields, UTF-8, cut between characters; GetDiagTextField takes the
  // records' lock where it reads them.
  const TextField* f = FindTextField(diagIdentifier);
  if (f == nullptr) return SQL_ERROR;
  if (f->needsLengthPointer && stringLength == nullptr) return SQL_ERROR;
  if (diagIdentifier == SQL_DIAG_SQLSTATE && stringLength == nullptr && bufferLength < 5)
    return SQL_ERROR;
  if (bufferLength < 0) return SQL_ERROR;
  std::string text;
  const SQLRETURN rc = GetDiagTextField(recNumber, diagIdentifier, text);
  if (rc != SQL_SUCCESS) return rc;
  if (diagIdentifier == SQL_DIAG_DYNAMIC_FUNCTION) return SQL_SUCCESS;
  size_t n = 0;
  if (bufferLength > 0) {
    n = Unicode::Utf8CutLength(text.data(), text.size(), bufferLength - 1);
    memcpy(diagInfo, text.data(), n);
    static_cast<char*>(diagInfo)[n] = '\0';
  }
  if (stringLength) *stringLength = static_cast<SQLSMALLINT>(n);
  const bool cut = n < text.size() || bufferLength == 0;
  if (diagIdentifier == SQL_DIAG_SERVER_NAME) return SQL_SUCCESS;
  if (diagIdentifier == SQL_DIAG_SQLSTATE && stringLength == nullptr) return SQL_SUCCESS;
  return cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

// ------------------------------------------------ towards the application

namespace {

struct AppText {
  int written = 0;  // bytes written, terminator not counted
  int total = 0;    // bytes the whole text takes
  bool failed = false;
  std::string reason;  // the converter's, when this conversion failed
};

// UTF-8 text into an application buffer of `bytes` bytes through the
// converter, terminated, whole characters only. A null buffer only measures.
// The converter is held for the whole text: a connection's converter serves
// other threads too, and the reason of a failure must be this conversion's.
AppText ToApplication(iconverter* conv, const char* utf8, int length, void* out, int bytes) {
  AppText r;
  if (conv == nullptr) {
    r.failed = true;
    return r;
  }
  const std::unique_lock<std::mutex> held = conv->Hold();
  auto failed = [&] {
    r.failed = true;
    r.reason = conv->GetErrorMessage();
  };
  r.total = length == 0 ? 0 : conv->FromCodesetLenHeld(utf8, length);
  if (r.total < 0) {
    failed();
    return r;
  }
  if (out != nullptr && bytes > 0) {
    const int unit = conv->GetCharSize();
    bytes -= bytes % unit;
    if (bytes >= unit) {
      r.written = FromCodesetNTSHeld(conv, utf8, length, static_cast<char*>(out), bytes);
      if (r.written < 0) {
        r.written = 0;
        failed();
      }
    } else if (bytes > 0) {
      memset(out, 0, bytes);  // no room for a character: nothing, zero-filled
    }
  }
  return r;
}

// What the application gets instead of a message its code set cannot hold:
// "Error converting error message. " and the converter's own error text, cut
// to the buffer. Both are ASCII: a narrow buffer takes them byte for byte, a
// wide one as UTF-16. A null buffer only measures.
AppText ConversionFallback(qvoHandle& h, qvoTextForm form, const std::string& reason, void* out,
                           int bytes) {
  const Translator* t = h.GetTranslatorPtr();
  std::string text = t ? std::string(t->_Error_converting_error_message_MESSAGE())
                       : std::string("Error converting error message. ");
  text += reason;
  const int length = static_cast<int>(text.size());
  AppText r;
  if (form == qvoTextForm::Narrow) {
    r.total = length;
    if (out != nullptr && bytes > 0)
      r.written = qvoCopyStr(static_cast<char*>(out), text.c_str(), length, bytes, SQL_NTS);
    return r;
  }
  wString wide(text.c_str(), length);
  const int units = wide.GetStrLen();
  const int unitBytes = static_cast<int>(sizeof(SQLWCHAR));
  r.total = units * unitBytes;
  if (out != nullptr && bytes >= unitBytes)
    r.written = unitBytes * qvoCopyStrW(static_cast<SQLWCHAR*>(out), wide.GetStr(), units,
                                        bytes / unitBytes, SQL_NTS);
  return r;
}

SQLSMALLINT ClampLength(int n) {
  if (n < 0) return 0;
  return static_cast<SQLSMALLINT>(n > SHRT_MAX ? SHRT_MAX : n);
}

iconverter* ConverterFor(const qvoHandle& h, qvoTextForm form) {
  return form == qvoTextForm::Wide ? h.GetWcharSqlConverter() : h.GetSqlConverter();
}

// Bytes of one character unit in the application's buffer.
int UnitOf(qvoTextForm form) {
  return form == qvoTextForm::Wide ? static_cast<int>(sizeof(SQLWCHAR)) : 1;
}

SQLRETURN InvalidLength(qvoHandle& h) {
  Translator* t = h.GetTranslatorPtr();
  if (t == nullptr) return h.SetDiagRec("HY090", -1, "Invalid string or buffer length.");
  return h.SetDiagRec(t->_Invalid_string_or_buffer_length_CODE(), -1,
                      t->_Invalid_string_or_buffer_length_MESSAGE());
}

}  // namespace

SQLRETURN qvoGetDiagRecForApp(qvoHandle& h, qvoTextForm form, SQLSMALLINT recNumber,
                              SQLPOINTER sqlState, SQLINTEGER* nativeError, SQLPOINTER messageText,
                              SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
  if (recNumber < 0) return SQL_ERROR;
  if (recNumber == 0) return SQL_NO_DATA;
  if (bufferLength < 0) return h.RetCode(InvalidLength(h));

  // Copy the record out under the lock; convert outside it.
  char state[6] = "";
  SQLINTEGER native = 0;
  std::string message;
  SQLRETURN rc;
  {
    qvoMutex lock(h.setDiagMutex);
    rc = h.GetDiagRec(recNumber, state, &native, nullptr, 0, nullptr);
    if (rc == SQL_SUCCESS) {
      const __diagRecords* r = h.GetDiagRecPtr(recNumber);
      message.assign(r->GetMessage(), r->GetMessageLen());
    }
  }
  rc = h.RetCode(rc);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return rc;

  iconverter* conv = ConverterFor(h, form);
  const int unit = UnitOf(form);
  if (sqlState) {
    if (ToApplication(conv, state, static_cast<int>(strlen(state)), sqlState, 6 * unit).failed)
      memset(sqlState, 0, 6 * unit);
  }
  if (nativeError) *nativeError = native;

  void* out = bufferLength > 0 ? messageText : nullptr;
  const int bytes = bufferLength * unit;
  AppText text = ToApplication(conv, message.data(), static_cast<int>(message.size()), out, bytes);
  if (text.failed && !message.empty()) text = ConversionFallback(h, form, text.reason, out, bytes);
  if (textLength) *textLength = ClampLength(text.total / unit);
  return rc;
}

SQLRETURN qvoGetDiagFieldForApp(qvoHandle& h, qvoTextForm form, SQLSMALLINT recNumber,
                                SQLSMALLINT diagIdentifier, SQLPOINTER diagInfo,
                                SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
  if (!IsDiagIdentifierChar(diagIdentifier))
    return h.RetCode(
        h.GetDiagField(recNumber, diagIdentifier, diagInfo, bufferLength, stringLength));

  // A text field may be asked for its length alone: DiagInfo may be null.
  if (recNumber < 0) return h.RetCode(SQL_ERROR);
  const int unit = UnitOf(form);
  const TextField* f = FindTextField(diagIdentifier);
  if (f->needsLengthPointer && stringLength == nullptr) return h.RetCode(SQL_ERROR);
  if (diagIdentifier == SQL_DIAG_SQLSTATE && stringLength == nullptr && bufferLength < 5 * unit)
    return h.RetCode(SQL_ERROR);
  if (bufferLength < 0) return h.RetCode(InvalidLength(h));

  std::string text;
  SQLRETURN rc = h.GetDiagTextField(recNumber, diagIdentifier, text);
  if (rc != SQL_SUCCESS || diagIdentifier == SQL_DIAG_DYNAMIC_FUNCTION) return h.RetCode(rc);

  iconverter* conv = ConverterFor(h, form);
  AppText out =
      ToApplication(conv, text.data(), static_cast<int>(text.size()), diagInfo, bufferLength);
  if (out.failed && !text.empty())
    out = ConversionFallback(h, form, out.reason, diagInfo, bufferLength);
  if (stringLength) *stringLength = ClampLength(out.total);
  const bool cut = out.total + unit > bufferLength;
  if (diagIdentifier == SQL_DIAG_SERVER_NAME ||
      (diagIdentifier == SQL_DIAG_SQLSTATE && stringLength == nullptr))
    return h.RetCode(SQL_SUCCESS);
  return h.RetCode(cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS);
}

SQLRETURN qvoSetDiagRecForApp(qvoHandle& h, const char* sqlState, SQLINTEGER nativeError,
                              const char* messageText) {
  aString message(messageText, SQL_NTS);
  const char* utf8 = message.GetUTF8(h.GetSqlConverter());
  if (utf8 == nullptr || !Unicode::isValidUtf8Bytestream(utf8, strlen(utf8))) {
    Translator* t = h.GetTranslatorPtr();
    return h.SetDiagRec(t->_Original_message_was_not_utf_8_compatible_and_is_lost_CODE(), -1,
                        t->_Original_message_was_not_utf_8_compatible_and_is_lost_MESSAGE());
  }
  return h.SetDiagRec(sqlState, nativeError, utf8);
}
