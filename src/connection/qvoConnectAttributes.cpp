// Setting and reading connection attributes: the ODBC ones, the private ones
// from 21004 to 21108 and 30002, and -9912, -9921, -9922. Each attribute is
// one row of a table; most rows store or read one member, a few change the
// server session at once or with the next request, reset the converters,
// install the log stream or change the process-wide handle limit.
//
// Value conventions (SetConnectAttr): an integer attribute is the pointer
// value itself, cut to 32 bits; a text attribute is text at the pointer with
// a length in bytes (SQL_NTS: zero-terminated); 21042, 21079 and -9912 read 8
// bytes at the pointer. A text or 8-byte attribute given a null pointer is
// refused with "Invalid use of null pointer.", except 21031 and 21101, where
// null has a meaning of its own; a negative text length other than SQL_NTS is
// refused too, except for 21051, which takes it as 0.
//
// Reading (GetConnectAttr): integers are written as 4 bytes, the counters and
// the session id as 8, addresses (111, 21035, 21039, 21041) at pointer width;
// texts are cut to the buffer and always terminated inside it, and where a
// length is reported it is the full length of the text, so that a caller sees
// a cut by comparing it with its buffer.
//
// Locale attributes 21029, 21030, 21031 and 21067 call setlocale: they change
// the locale of the whole process, for every thread and every connection, not
// only of this connection.
//
// Threads: a setter runs under executionMutex, as the requests that read the
// settings do, and stores under settingsMutex, under which a reader beside
// the requests reads (see qvoConnection::settingsMutex). Most rules run
// whole under both; the few that talk to the server or take the handle
// table's lock (setBesideSettings, getBesideSettings) take settingsMutex
// themselves, only where they store or read a setting.

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "common/qvoAttributeIds.h"
#include "common/qvoByteOrder.h"
#include "common/qvoStrings.h"
#include "connection/qvoAnswerTaker.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"
#include "handles/qvoHandleTable.h"
#include "protocol/qvoAnswers.h"
#include "protocol/qvoProtocolVersion.h"
#include "protocol/qvoRequestPayloads.h"
#include "transport/qvoSocket.h"

namespace {

// ---- values -----------------------------------------------------------------------

struct SetArgs {
  SQLPOINTER value;
  SQLINTEGER length;
};

struct GetArgs {
  SQLPOINTER value;
  SQLINTEGER bufferLength;
  SQLINTEGER* stringLength;
};

SQLUINTEGER IntValue(const SetArgs& a) {
  return static_cast<SQLUINTEGER>(reinterpret_cast<uintptr_t>(a.value));
}

// The text of a text attribute. False, with a diagnostic, for a null pointer
// or a negative length other than SQL_NTS.
bool ReadText(qvoConnection& c, const SetArgs& a, const char** text, int* len) {
  if (!a.value) {
    QVO_DIAG(&c, _Invalid_use_of_null_pointer_, -1);
    return false;
  }
  if (a.length < 0 && a.length != SQL_NTS) {
    QVO_DIAG(&c, _Invalid_string_or_buffer_length_, -1);
    return false;
  }
  *text = static_cast<const char*>(a.value);
  *len = a.length == SQL_NTS ? static_cast<int>(std::strlen(*text)) : a.length;
  return true;
}

// A new zero-terminated copy of len bytes.
qvoOwnedText OwnedCopy(const char* text, int len) {
  auto copy = std::make_unique<char[]>(static_cast<size_t>(len) + 1);
  if (len > 0) std::memcpy(copy.get(), text, static_cast<size_t>(len));
  copy[len] = '\0';
  return copy;
}

// The Y/N rule: "Y"/"y" 1, "N"/"n" 0, any other text -1 (nothing changes).
int YesNo(const char* text, int len) {
  if (len != 1) return -1;
  if (text[0] == 'Y' || text[0] == 'y') return 1;
  if (text[0] == 'N' || text[0] == 'n') return 0;
  return -1;
}

// Applies the Y/N rule of a text attribute to a flag. 0, or -1 for a refused
// value pointer or length.
template <class Flag>
SQLRETURN SetYesNo(qvoConnection& c, const SetArgs& a, Flag* flag) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  const int yes = YesNo(text, len);
  if (yes >= 0) *flag = static_cast<Flag>(yes);
  return SQL_SUCCESS;
}

// Stores a setting for a rule that runs outside the settings lock; the value
// it held.
template <class T>
T Replace(qvoConnection& c, T* member, T value) {
  qvoMutex lock(c.settingsMutex);
  const T old = *member;
  *member = value;
  return old;
}

// ---- immediate session changes ----------------------------------------------------

// Queues the attribute, or, with a socket, sends it with whatever is pending
// on behalf of the internal statement, whose records the connection then
// receives. autocommitFirst puts an autocommit that is on in front of it.
SQLRETURN ChangeSession(qvoConnection& c, qvo_int16 attr, int width, qvo_int64 value,
                        bool autocommitFirst) {
  if (autocommitFirst && c.connAttr.autoCommit == 1) c.AddBoolAttribute(ATTR_AUTOCOMMIT, 1);
  qvoAnswerTaker* stmt = c.Socket ? c.GetInternalStatement() : nullptr;
  if (!c.Socket) {
    if (width == 1) return c.AddBoolAttribute(attr, static_cast<qvo_int8>(value));
    if (width == 4) return c.AddIntAttribute(attr, static_cast<qvo_int32>(value));
    return c.AddLongAttribute(attr, value);
  }
  if (stmt) stmt->RequesterHandle()->ClearDiagRecords();
  SQLRETURN rc;
  if (width == 1)
    rc = c.SetBoolAttribute(stmt, attr, static_cast<qvo_int8>(value));
  else if (width == 4)
    rc = c.SetIntAttribute(stmt, attr, static_cast<qvo_int32>(value));
  else
    rc = c.SetLongAttribute(stmt, attr, value);
  if (stmt) {
    qvoMutex lock(functionMutex);
    c.AppendDiagRecordsFrom(stmt->RequesterHandle());
  }
  return rc;
}

// A refused change puts the member back: the session kept its old value.
template <class T>
SQLRETURN ChangeOrRestore(qvoConnection& c, T* member, T oldValue, qvo_int16 attr, int width,
                          qvo_int64 value, bool autocommitFirst) {
  const SQLRETURN rc = ChangeSession(c, attr, width, value, autocommitFirst);
  if (rc >= 0) return rc;
  Replace(c, member, oldValue);
  QVO_DIAG(&c, _Option_value_changed_, 1);
  return SQL_ERROR;
}

// ---- setters ------------------------------------------------------------------------

using Setter = SQLRETURN (*)(qvoConnection&, const SetArgs&);

template <auto Member>
SQLRETURN StoreNumber(qvoConnection& c, const SetArgs& a) {
  using T = std::remove_reference_t<decltype(c.connAttr.*Member)>;
  c.connAttr.*Member = static_cast<T>(IntValue(a));
  return SQL_SUCCESS;
}

template <auto Text, auto Len = nullptr>
SQLRETURN StoreText(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  c.connAttr.*Text = OwnedCopy(text, len);
  if constexpr (!std::is_null_pointer_v<decltype(Len)>) c.connAttr.*Len = len;
  return SQL_SUCCESS;
}

template <auto Field>
SQLRETURN StoreFieldText(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  // At most the field's size - 1 bytes, terminated.
  qvoCopyStr(c.connAttr.*Field, text, len, static_cast<int>(sizeof(c.connAttr.*Field)), SQL_NTS);
  return SQL_SUCCESS;
}

template <auto Flag>
SQLRETURN StoreYesNo(qvoConnection& c, const SetArgs& a) {
  return SetYesNo(c, a, &(c.connAttr.*Flag));
}

SQLRETURN Accept(qvoConnection&, const SetArgs&) { return SQL_SUCCESS; }

template <SQLRETURN result>
SQLRETURN OptionChanged(qvoConnection& c, const SetArgs&) {
  QVO_DIAG(&c, _Option_value_changed_, 1);
  return result;
}

SQLRETURN DataDirectOnly(qvoConnection& c, const SetArgs&) {
  return QVO_DIAG(&c, _Unsupported_DataDirect_specific_connection_attribute_, -1);
}

SQLRETURN SqlServerOnly(qvoConnection& c, const SetArgs&) {
  return QVO_DIAG(&c, _Special_bulk_operation_not_implemented_, -1);
}

SQLRETURN NotImplemented(qvoConnection& c, const SetArgs&) {
  return QVO_DIAG(&c, _Optional_feature_not_implemented_, -1);
}

SQLRETURN SetQueryTimeout(qvoConnection& c, const SetArgs& a) {
  const SQLUINTEGER value = IntValue(a);
  const SQLUINTEGER old = Replace(c, &c.connAttr.queryTimeout, value);
  if (value == old || c.GetProtocolVersion() < kQueryTimeoutProtocol) return SQL_SUCCESS;
  return ChangeOrRestore(c, &c.connAttr.queryTimeout, old, ATTR_QUERY_TIMEOUT, 4, value, true);
}

SQLRETURN SetAsyncEnable(qvoConnection& c, const SetArgs& a) {
  const SQLUINTEGER value = IntValue(a);
  if (value > 1) return SQL_SUCCESS;
  // Under the table lock no statement of the connection can be freed while
  // it is told.
  qvoMutex lock(handleMutex);
  Replace(c, &c.connAttr.asyncEnable, value);
  for (SQLHANDLE h : HandlesOfMaster(c.GetHandleID(), SQL_HANDLE_STMT))
    if (auto* stmt = AnswerTakerOf(GetHandlePtr(h))) stmt->SetAsyncMode(value);
  return SQL_SUCCESS;
}

SQLRETURN SetAutocommit(qvoConnection& c, const SetArgs& a) {
  const unsigned char old =
      Replace(c, &c.connAttr.autoCommit, static_cast<unsigned char>(IntValue(a)));
  return ChangeOrRestore(c, &c.connAttr.autoCommit, old, ATTR_AUTOCOMMIT, 1, c.connAttr.autoCommit,
                         false);
}

SQLRETURN SetTxnIsolation(qvoConnection& c, const SetArgs& a) {
  Replace(c, &c.connAttr.txnIsolation, IntValue(a));
  if (c.connAttr.txnIsolation != 2 || c.connAttr.autoCommit > 1) return SQL_SUCCESS;
  // Without a socket the autocommit joins the settings queued for the login
  // instead of discarding them.
  return ChangeSession(c, ATTR_AUTOCOMMIT, 1, c.connAttr.autoCommit, false);
}

SQLRETURN SetQuietMode(qvoConnection& c, const SetArgs& a) {
  c.connAttr.quietMode = a.value;
  return SQL_SUCCESS;
}

SQLRETURN SetDriverUnicode(qvoConnection& c, const SetArgs& a) {
  const SQLUINTEGER value = IntValue(a);
  if (value == 0) return QVO_DIAG(&c, _Invalid_attribute_value_, -1);
  return c.SetDriverUnicodeType(static_cast<int>(value), nullptr);
}

SQLRETURN SetUserNameText(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  if (!c.connAttr.userName) return SQL_SUCCESS;
  // Within the stored name's buffer; the length follows what was copied, so
  // the login never sends bytes behind the terminator.
  const int n = std::min(len, c.connAttr.userNameLen);
  std::memcpy(c.connAttr.userName.get(), text, static_cast<size_t>(n));
  c.connAttr.userName[n] = '\0';
  c.connAttr.userNameLen = n;
  return SQL_SUCCESS;
}

SQLRETURN SetNumericCharacters(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  qvoCopyStr(c.connAttr.numericCharacters, text, len, 3, SQL_NTS);  // two characters
  return SQL_SUCCESS;
}

SQLRETURN QueueNumericCharacters(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  return c.AddPendingAttribute(ATTR_NUMERIC_CHARACTERS, text, std::min(len, 2));
}

// The locale attributes: each category is set for the whole process.
SQLRETURN SetAllLocales(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  const std::string name(text, static_cast<size_t>(len));
  bool failed = false;
  for (int category : {LC_ALL, LC_CTYPE, LC_NUMERIC})
    if (!c.setLocale(category, name.c_str())) {
      QVO_DIAG(&c, _Unable_to_set_connection_locale_, -1);
      failed = true;
    }
  return failed ? SQL_ERROR : c.ResetConverters();
}

template <int category>
SQLRETURN SetOneLocale(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  const std::string name(text, static_cast<size_t>(len));
  if (c.setLocale(category, name.c_str())) return c.ResetConverters();
  if constexpr (category == LC_NUMERIC)
    return QVO_DIAG(&c, _Unable_to_set_connection_locale_numeric_, -1);
  else
    return QVO_DIAG(&c, _Unable_to_set_connection_locale_ctype_, -1);
}

// Categories that have no setting take the native locale; the others stay.
SQLRETURN FixUpLocales(qvoConnection& c, const SetArgs& a) {
  if (!a.value) return SQL_SUCCESS;
  for (int category : {LC_CTYPE, LC_COLLATE, LC_MONETARY, LC_NUMERIC, LC_TIME})
    if (!std::setlocale(category, nullptr)) c.setLocale(category, "");
  return SQL_SUCCESS;
}

SQLRETURN SessionKill(qvoConnection& c, const SetArgs& a) {
  if (!a.value) return QVO_DIAG(&c, _Invalid_use_of_null_pointer_, -1);
  qvo_uint64 session;
  std::memcpy(&session, a.value, sizeof session);
  char data[kSessionKillBytes];
  EncodeSessionKill(data, session);
  const SQLRETURN rc = c.ExecuteSQL(nullptr, data, sizeof data, session_kill);
  if (rc < 0 || !c.Socket) return rc;
  // The node refuses with an exception.
  const char* answer = c.Socket->GetQvoAnswer(nullptr);
  const size_t answerLen = answer ? static_cast<size_t>(c.Socket->GetQvoAnswerLen()) : 0;
  qvoServerException e;
  switch (DecodeExceptionAnswer(answer, answerLen, &e)) {
    case qvoExceptionAnswer::None:
      return rc;
    case qvoExceptionAnswer::Malformed:
      return QVO_DIAG(&c, _Incorrect_data_array_received_from_server_, -1);
    case qvoExceptionAnswer::Exception:
      break;
  }
  const std::string text(e.text);
  const std::string state(e.state);
  Translator* t = c.GetTranslatorPtr();
  return c.SetDiagRec(t->_Read_error_from_server_CODE(state.c_str()), -1,
                      t->_Read_error_from_server_MESSAGE(text.c_str()));
}

// The connection string kept for reading back; a negative length other than
// SQL_NTS counts as 0 and stores the empty text.
SQLRETURN SetConnectionString(qvoConnection& c, const SetArgs& a) {
  if (!a.value) return QVO_DIAG(&c, _Invalid_use_of_null_pointer_, -1);
  const char* text = static_cast<const char*>(a.value);
  const int len = a.length == SQL_NTS ? static_cast<int>(std::strlen(text)) : std::max(a.length, 0);
  c.connAttr.connectionString = OwnedCopy(text, len);
  return SQL_SUCCESS;
}

SQLRETURN SetTransactionState(qvoConnection& c, const SetArgs& a) {
  c.transactionState = static_cast<char>(IntValue(a));
  return SQL_SUCCESS;
}

SQLRETURN CloseSocketNow(qvoConnection& c, const SetArgs& a) {
  if (IntValue(a) != 0) c.CloseSocket();
  return SQL_SUCCESS;
}

SQLRETURN SetCognos(qvoConnection& c, const SetArgs& a) { return SetYesNo(c, a, &c.cognosSupport); }

// "Y": the columns micro-cache on; "F": on and forced; "N": off.
SQLRETURN SetMicroCache(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  const int yes = YesNo(text, len);
  if (yes >= 0) {
    c.columnsMicroCache = yes == 1;
    c.forceColumnsMicroCache = false;
  } else if (len == 1 && (text[0] == 'F' || text[0] == 'f')) {
    c.columnsMicroCache = true;
    c.forceColumnsMicroCache = true;
  }
  return SQL_SUCCESS;
}

// A code page installed on one converter of the connection.
template <iconverter* (qvoHandle::*Converter)() const, bool connectionAttr::*Flag>
SQLRETURN SetCodepage(qvoConnection& c, const SetArgs& a) {
  const char* text;
  int len;
  if (!ReadText(c, a, &text, &len)) return SQL_ERROR;
  const std::string codepage(text, static_cast<size_t>(len));
  iconverter* conv = (c.*Converter)();
  if (!conv || SetInstalledCurrentCodepage(conv, codepage.c_str()) != 0)
    return QVO_DIAG(&c, _Option_value_changed_Cannot_set_custom_encoding_, -1);
  c.connAttr.*Flag = true;
  return SQL_SUCCESS;
}

SQLRETURN SetLogFull(qvoConnection& c, const SetArgs& a) {
  c.logFull = IntValue(a) != 0;
  return SQL_SUCCESS;
}

SQLRETURN SetLogStream(qvoConnection& c, const SetArgs& a) {
  c.SetLogStream(static_cast<FILE*>(a.value));
  return SQL_SUCCESS;
}

SQLRETURN SetLogLock(qvoConnection& c, const SetArgs& a) {
  c.SetLogLock(static_cast<qvoCriticalSection*>(a.value));
  return SQL_SUCCESS;
}

SQLRETURN SetFeedbackInterval(qvoConnection& c, const SetArgs& a) {
  const qvo_int32 value = static_cast<qvo_int32>(IntValue(a));
  const bool testSetting = value == kFeedbackIntervalTestSetting;
  if ((value < 0 && !testSetting) || c.GetProtocolVersion() < kFeedbackProtocol) {
    QVO_DIAG(&c, _Option_value_changed_, 1);
    return SQL_ERROR;
  }
  const qvo_int32 old = Replace(c, &c.connAttr.feedbackInterval, value);
  if (testSetting) return SQL_SUCCESS;  // stays on the client
  return ChangeOrRestore(c, &c.connAttr.feedbackInterval, old, ATTR_FEEDBACK_INTERVAL, 4, value,
                         true);
}

SQLRETURN SetDefaultParamSize(qvoConnection& c, const SetArgs& a) {
  const SQLUINTEGER old = Replace(c, &c.connAttr.defaultParamSize, IntValue(a));
  if (c.GetProtocolVersion() < kDefaultParamSizeProtocol) return SQL_SUCCESS;
  return ChangeOrRestore(c, &c.connAttr.defaultParamSize, old, ATTR_UNKNOWN_TYPE_MAX_LEN, 8,
                         static_cast<qvo_int64>(c.connAttr.defaultParamSize), true);
}

// The switch is read with the records, under their lock.
SQLRETURN SetErrorReset(qvoConnection& c, const SetArgs& a) {
  qvoMutex records(c.setDiagMutex);
  return SetYesNo(c, a, &c.errorReset);
}

SQLRETURN SetTimestampUtc(qvoConnection& c, const SetArgs& a) {
  const unsigned char old =
      Replace(c, &c.connAttr.timestampUTC, static_cast<unsigned char>(IntValue(a) != 0 ? 1 : 0));
  if (c.GetProtocolVersion() < kTimestampUtcProtocol) return SQL_SUCCESS;
  return ChangeOrRestore(c, &c.connAttr.timestampUTC, old, ATTR_TSUTC_ENABLED, 1,
                         c.connAttr.timestampUTC, false);
}

SQLRETURN SetSessionId(qvoConnection& c, const SetArgs& a) {
  if (!a.value) return QVO_DIAG(&c, _Invalid_use_of_null_pointer_, -1);
  std::memcpy(&c.connAttr.qvosessionID, a.value, sizeof c.connAttr.qvosessionID);
  return SQL_SUCCESS;
}

SQLRETURN SetLogLines(qvoConnection& c, const SetArgs& a) {
  c.logFileLines = static_cast<SQLBIGINT>(IntValue(a));
  return SQL_SUCCESS;
}

SQLRETURN SetRandomSeed(qvoConnection& c, const SetArgs& a) {
  if (!a.value) {
    c.connAttr.randomSeed.reset();  // the built-in seed applies
    return SQL_SUCCESS;
  }
  return StoreText<&connectionAttr::randomSeed>(c, a);
}

SQLRETURN SetLogDebug(qvoConnection& c, const SetArgs& a) {
  c.logFull = IntValue(a) != 0;
  c.logDebugComm = true;
  return SQL_SUCCESS;
}

SQLRETURN SetFastMetadata(qvoConnection& c, const SetArgs& a) {
  return SetYesNo(c, a, &c.fastMetadata);
}

SQLRETURN SetHandleLimit(qvoConnection&, const SetArgs& a) {
  SetMaxHandles(IntValue(a));  // new allocations only; under the table lock
  return SQL_SUCCESS;
}

struct SetRule {
  SQLINTEGER first;
  SQLINTEGER last;
  Setter set;
};

// Every settable attribute; ranges are inclusive.
constexpr SetRule setRules[] = {
    {-9922, -9922, StoreFieldText<&connectionAttr::wordForFalse>},
    {-9921, -9921, StoreFieldText<&connectionAttr::wordForTrue>},
    {-9912, -9912, SetSessionId},
    {SQL_ATTR_QUERY_TIMEOUT, SQL_ATTR_QUERY_TIMEOUT, SetQueryTimeout},
    {1, 1, StoreNumber<&connectionAttr::maxRows>},
    {SQL_ATTR_ASYNC_ENABLE, SQL_ATTR_ASYNC_ENABLE, SetAsyncEnable},
    {SQL_ATTR_ACCESS_MODE, SQL_ATTR_ACCESS_MODE, StoreNumber<&connectionAttr::accessMode>},
    {SQL_ATTR_AUTOCOMMIT, SQL_ATTR_AUTOCOMMIT, SetAutocommit},
    {SQL_ATTR_LOGIN_TIMEOUT, SQL_ATTR_LOGIN_TIMEOUT, StoreNumber<&connectionAttr::loginTimeout>},
    {SQL_ATTR_TRACE, SQL_ATTR_TRACE, StoreNumber<&connectionAttr::trace>},
    {SQL_ATTR_TRACEFILE, SQL_ATTR_TRACEFILE, StoreText<&connectionAttr::traceFile>},
    {SQL_ATTR_TRANSLATE_LIB, SQL_ATTR_TRANSLATE_LIB, StoreText<&connectionAttr::translateLib>},
    {SQL_ATTR_TRANSLATE_OPTION, SQL_ATTR_TRANSLATE_OPTION,
     StoreNumber<&connectionAttr::translateOption>},
    {SQL_ATTR_TXN_ISOLATION, SQL_ATTR_TXN_ISOLATION, SetTxnIsolation},
    {SQL_ATTR_CURRENT_CATALOG, SQL_ATTR_CURRENT_CATALOG,
     StoreText<&connectionAttr::currentCatalog, &connectionAttr::currentCatalogLen>},
    {SQL_ATTR_ODBC_CURSORS, SQL_ATTR_ODBC_CURSORS, StoreNumber<&connectionAttr::odbcCursors>},
    {SQL_ATTR_QUIET_MODE, SQL_ATTR_QUIET_MODE, SetQuietMode},
    {SQL_ATTR_PACKET_SIZE, SQL_ATTR_PACKET_SIZE, OptionChanged<SQL_SUCCESS_WITH_INFO>},
    {SQL_ATTR_CONNECTION_TIMEOUT, SQL_ATTR_CONNECTION_TIMEOUT,
     StoreNumber<&connectionAttr::connectionTimeout>},
    {SQL_ATTR_ANSI_APP, SQL_ATTR_ANSI_APP, StoreNumber<&connectionAttr::ansiApp>},
    {116, 116, Accept},
    {1002, 1002, Accept},
    {1011, 1011, Accept},
    {1015, 1015, Accept},
    {1040, 1040, DataDirectOnly},
    {1041, 1042, Accept},
    {1043, 1051, DataDirectOnly},
    {1052, 1052, Accept},
    {1053, 1054, DataDirectOnly},
    {1060, 1060, DataDirectOnly},
    {1061, 1061, OptionChanged<SQL_SUCCESS>},
    {1062, 1063, DataDirectOnly},
    {1065, 1065, SetDriverUnicode},
    {1066, 1068, DataDirectOnly},
    {1139, 1139, DataDirectOnly},
    {1202, 1205, SqlServerOnly},
    {1207, 1208, SqlServerOnly},
    {SQL_ATTR_CONNECTION_DEAD, SQL_ATTR_CONNECTION_DEAD, OptionChanged<SQL_ERROR>},
    {1210, 1222, SqlServerOnly},
    {1224, 1224, Accept},
    {1241, 1243, SqlServerOnly},
    {SQL_ATTR_METADATA_ID, SQL_ATTR_METADATA_ID, StoreNumber<&connectionAttr::metadataID>},
    {QVO_ATTR_MAX_DATA_MESSAGE_SIZE, QVO_ATTR_MAX_DATA_MESSAGE_SIZE,
     StoreNumber<&connectionAttr::maxDataMessageSize>},
    {QVO_ATTR_USER_NAME, QVO_ATTR_USER_NAME, SetUserNameText},
    {QVO_ATTR_DSN_NAME, QVO_ATTR_DSN_NAME, StoreText<&connectionAttr::dsnName>},
    {QVO_ATTR_PREPARE_SUCCESS, QVO_ATTR_PREPARE_SUCCESS,
     StoreNumber<&connectionAttr::prepareSuccess>},
    {QVO_ATTR_CLIENT_NAME, QVO_ATTR_CLIENT_NAME,
     StoreText<&connectionAttr::clientName, &connectionAttr::clientNameLen>},
    {QVO_ATTR_CURRENT_SCHEMA, QVO_ATTR_CURRENT_SCHEMA,
     StoreText<&connectionAttr::currentSchema, &connectionAttr::currentSchemaLen>},
    {QVO_ATTR_NUMERIC_CHARACTERS, QVO_ATTR_NUMERIC_CHARACTERS, SetNumericCharacters},
    {QVO_ATTR_CLIENT_VERSION, QVO_ATTR_CLIENT_VERSION, StoreText<&connectionAttr::clientVersion>},
    {QVO_ATTR_QUEUE_NUMERIC_CHARACTERS, QVO_ATTR_QUEUE_NUMERIC_CHARACTERS, QueueNumericCharacters},
    {QVO_ATTR_LOCALE_ALL, QVO_ATTR_LOCALE_ALL, SetAllLocales},
    {QVO_ATTR_LOCALE_NUMERIC, QVO_ATTR_LOCALE_NUMERIC, SetOneLocale<LC_NUMERIC>},
    {QVO_ATTR_FIX_UP_LOCALES, QVO_ATTR_FIX_UP_LOCALES, FixUpLocales},
    {QVO_ATTR_SESSION_KILL, QVO_ATTR_SESSION_KILL, SessionKill},
    {QVO_ATTR_TRANSACTION_STATE, QVO_ATTR_TRANSACTION_STATE, SetTransactionState},
    {QVO_ATTR_CLOSE_SOCKET, QVO_ATTR_CLOSE_SOCKET, CloseSocketNow},
    {QVO_ATTR_COGNOS, QVO_ATTR_COGNOS, SetCognos},
    {QVO_ATTR_MICRO_CACHE, QVO_ATTR_MICRO_CACHE, SetMicroCache},
    {QVO_ATTR_DATA_ENCODING, QVO_ATTR_DATA_ENCODING,
     SetCodepage<&qvoHandle::GetDataConverter, &connectionAttr::customAnsiDataEncoding>},
    {QVO_ATTR_SQL_ENCODING, QVO_ATTR_SQL_ENCODING,
     SetCodepage<&qvoHandle::GetSqlConverter, &connectionAttr::customAnsiArgEncoding>},
    {QVO_ATTR_CONNECTION_STRING, QVO_ATTR_CONNECTION_STRING, SetConnectionString},
    {QVO_ATTR_LOG_FULL, QVO_ATTR_LOG_FULL, SetLogFull},
    {QVO_ATTR_LOG_STREAM, QVO_ATTR_LOG_STREAM, SetLogStream},
    {QVO_ATTR_LOG_LOCK, QVO_ATTR_LOG_LOCK, SetLogLock},
    {QVO_ATTR_SHOW_ONLY_CURRENT_SCHEMA, QVO_ATTR_SHOW_ONLY_CURRENT_SCHEMA,
     StoreYesNo<&connectionAttr::showOnlyCurrentSchema>},
    {QVO_ATTR_STRINGS_NOT_NULL, QVO_ATTR_STRINGS_NOT_NULL,
     StoreYesNo<&connectionAttr::stringsNotNull>},
    {QVO_ATTR_WCHAR_SQL_ENCODING, QVO_ATTR_WCHAR_SQL_ENCODING,
     SetCodepage<&qvoHandle::GetWcharSqlConverter, &connectionAttr::customUnicodeArgEncoding>},
    {QVO_ATTR_FEEDBACK_INTERVAL, QVO_ATTR_FEEDBACK_INTERVAL, SetFeedbackInterval},
    {QVO_ATTR_MAX_PARAM_SIZE, QVO_ATTR_MAX_PARAM_SIZE, StoreNumber<&connectionAttr::maxParamSize>},
    {QVO_ATTR_DEFAULT_PARAM_SIZE, QVO_ATTR_DEFAULT_PARAM_SIZE, SetDefaultParamSize},
    {QVO_ATTR_WCHAR_DATA_ENCODING, QVO_ATTR_WCHAR_DATA_ENCODING,
     SetCodepage<&qvoHandle::GetWcharDataConverter, &connectionAttr::customUnicodeDataEncoding>},
    {QVO_ATTR_LOCALE_CTYPE, QVO_ATTR_LOCALE_CTYPE, SetOneLocale<LC_CTYPE>},
    {QVO_ATTR_ALWAYS_SEARCH_PATTERNS_IN_CAT, QVO_ATTR_ALWAYS_SEARCH_PATTERNS_IN_CAT,
     StoreYesNo<&connectionAttr::alwaysSearchPatternsInCat>},
    {QVO_ATTR_ERROR_RESET, QVO_ATTR_ERROR_RESET, SetErrorReset},
    {QVO_ATTR_SESSION_SCHEMA, QVO_ATTR_SESSION_SCHEMA,
     StoreText<&connectionAttr::currentSchema, &connectionAttr::currentSchemaLen>},
    {QVO_ATTR_SESSION_CATALOG, QVO_ATTR_SESSION_CATALOG,
     StoreText<&connectionAttr::currentCatalog, &connectionAttr::currentCatalogLen>},
    {QVO_ATTR_CHARACTER_DISPLAY_SIZE, QVO_ATTR_CHARACTER_DISPLAY_SIZE,
     StoreNumber<&connectionAttr::characterDisplaySize>},
    {QVO_ATTR_INT_TYPES_IN_RESULTS, QVO_ATTR_INT_TYPES_IN_RESULTS,
     StoreYesNo<&connectionAttr::intTypesInResultsIfPossible>},
    {QVO_ATTR_TIMESTAMP_UTC, QVO_ATTR_TIMESTAMP_UTC, SetTimestampUtc},
    {QVO_ATTR_SESSION_ID, QVO_ATTR_SESSION_ID, SetSessionId},
    {QVO_ATTR_WORD_FOR_TRUE, QVO_ATTR_WORD_FOR_TRUE, StoreFieldText<&connectionAttr::wordForTrue>},
    {QVO_ATTR_WORD_FOR_FALSE, QVO_ATTR_WORD_FOR_FALSE,
     StoreFieldText<&connectionAttr::wordForFalse>},
    {QVO_ATTR_LOG_LINES, QVO_ATTR_LOG_LINES, SetLogLines},
    {QVO_ATTR_SESSION_TIMEZONE, QVO_ATTR_SESSION_TIMEZONE,
     StoreFieldText<&connectionAttr::sessionTimezone>},
    {QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR, QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR,
     StoreFieldText<&connectionAttr::sessionTimezoneBehaviour>},
    {QVO_ATTR_SOCKET_ENCRYPTION, QVO_ATTR_SOCKET_ENCRYPTION,
     StoreYesNo<&connectionAttr::socketEncryption>},
    {QVO_ATTR_RANDOM_SEED, QVO_ATTR_RANDOM_SEED, SetRandomSeed},
    {QVO_ATTR_LOG_DEBUG, QVO_ATTR_LOG_DEBUG, SetLogDebug},
    {QVO_ATTR_MICRO_CACHE_TEXT, QVO_ATTR_MICRO_CACHE_TEXT, SetMicroCache},
    {QVO_ATTR_FAST_METADATA, QVO_ATTR_FAST_METADATA, SetFastMetadata},
    {QVO_ATTR_MAX_HANDLES, QVO_ATTR_MAX_HANDLES, SetHandleLimit},
    {30002, 30002, NotImplemented},
};

// Setters that talk to the server or take the handle table's lock: they run
// outside the settings lock and store through Replace.
constexpr SQLINTEGER setBesideSettings[] = {SQL_ATTR_QUERY_TIMEOUT,     SQL_ATTR_ASYNC_ENABLE,
                                            SQL_ATTR_AUTOCOMMIT,        SQL_ATTR_TXN_ISOLATION,
                                            QVO_ATTR_SESSION_KILL,      QVO_ATTR_CLOSE_SOCKET,
                                            QVO_ATTR_FEEDBACK_INTERVAL, QVO_ATTR_DEFAULT_PARAM_SIZE,
                                            QVO_ATTR_TIMESTAMP_UTC,     QVO_ATTR_MAX_HANDLES};

// Attributes set by the answer handling and the log and error switches: they
// keep the diagnostics that are there.
constexpr SQLINTEGER setKeepsRecords[] = {
    QVO_ATTR_NUMERIC_CHARACTERS, QVO_ATTR_TRANSACTION_STATE, QVO_ATTR_COGNOS,
    QVO_ATTR_MICRO_CACHE,        QVO_ATTR_ERROR_RESET,       QVO_ATTR_SESSION_SCHEMA,
    QVO_ATTR_SESSION_CATALOG,    QVO_ATTR_SESSION_TIMEZONE,  QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR};

// ---- readers --------------------------------------------------------------------------

using Getter = SQLRETURN (*)(qvoConnection&, const GetArgs&);

SQLRETURN PutInt(const GetArgs& a, SQLUINTEGER value) {
  std::memcpy(a.value, &value, sizeof value);
  return SQL_SUCCESS;
}

SQLRETURN Put64(const GetArgs& a, qvo_uint64 value) {
  std::memcpy(a.value, &value, sizeof value);
  return SQL_SUCCESS;
}

SQLRETURN PutPointer(const GetArgs& a, const void* pointer) {
  std::memcpy(a.value, &pointer, sizeof pointer);
  return SQL_SUCCESS;
}

// A text cut to the buffer and terminated inside it; withLength stores the
// text's full length. len -1: up to the terminator.
SQLRETURN PutText(qvoConnection& c, const GetArgs& a, const char* text, int len, bool withLength,
                  int bufferLength) {
  if (bufferLength < 0) return QVO_DIAG(&c, _Invalid_string_or_buffer_length_, -1);
  if (!text) text = "";
  if (len < 0) len = static_cast<int>(std::strlen(text));
  qvoCopyStr(static_cast<char*>(a.value), text, len, bufferLength, SQL_NTS);
  if (withLength && a.stringLength) *a.stringLength = len;
  return SQL_SUCCESS;
}

SQLRETURN PutText(qvoConnection& c, const GetArgs& a, const char* text, int len, bool withLength) {
  return PutText(c, a, text, len, withLength, a.bufferLength);
}

template <auto Member>
SQLRETURN GetNumber(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, static_cast<SQLUINTEGER>(c.connAttr.*Member));
}

template <SQLUINTEGER value>
SQLRETURN GetConstant(qvoConnection&, const GetArgs& a) {
  return PutInt(a, value);
}

template <auto Text, auto Len = nullptr>
SQLRETURN GetText(qvoConnection& c, const GetArgs& a) {
  const char* text = (c.connAttr.*Text).get();
  int len = -1;
  if constexpr (!std::is_null_pointer_v<decltype(Len)>) {
    if (text) len = c.connAttr.*Len;
  }
  return PutText(c, a, text, len, true);
}

template <auto Field>
SQLRETURN GetFieldText(qvoConnection& c, const GetArgs& a) {
  return PutText(c, a, c.connAttr.*Field, -1, true);
}

SQLRETURN PutYesNo(qvoConnection& c, const GetArgs& a, bool yes, bool withLength) {
  return PutText(c, a, yes ? "Y" : "N", 1, withLength);
}

template <auto Flag>
SQLRETURN GetYesNo(qvoConnection& c, const GetArgs& a) {
  return PutYesNo(c, a, c.connAttr.*Flag, false);
}

SQLRETURN GetQuietMode(qvoConnection& c, const GetArgs& a) {
  return PutPointer(a, c.connAttr.quietMode);
}

SQLRETURN GetEmptyText(qvoConnection& c, const GetArgs& a) { return PutText(c, a, "", 0, true); }

SQLRETURN GetDriverUnicode(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, static_cast<SQLUINTEGER>(c.GetDriverUnicodeType()));
}

SQLRETURN GetConnectionDead(qvoConnection& c, const GetArgs& a) {
  c.GetAttributesFromQVO();  // a dead socket shows itself in the exchange
  return PutInt(a, c.isConnected() != 1 ? 1 : 0);
}

SQLRETURN SqlServerOnlyRead(qvoConnection& c, const GetArgs&) {
  return QVO_DIAG(&c, _Special_bulk_operation_not_implemented_, -1);
}

// The server's supported encodings come with its DB_METADATA values.
SQLRETURN GetSupportedEncodings(qvoConnection& c, const GetArgs& a) {
  if (c.EnsureInfoValues() < 0) return SQL_ERROR;
  qvoMutex lock(c.settingsMutex);
  return GetText<&connectionAttr::supportedEncodings>(c, a);
}

SQLRETURN NotImplementedRead(qvoConnection& c, const GetArgs&) {
  return QVO_DIAG(&c, _Optional_feature_not_implemented_, -1);
}

template <auto Member>
SQLRETURN GetCounter(qvoConnection& c, const GetArgs& a) {
  return Put64(a, static_cast<qvo_uint64>(c.connAttr.*Member));
}

template <int category>
SQLRETURN GetLocale(qvoConnection& c, const GetArgs& a) {
  const char* name = c.setLocale(category, nullptr);
  return PutText(c, a, name, -1, false, a.bufferLength == SQL_NTS ? 40 : a.bufferLength);
}

SQLRETURN GetProtocol(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, static_cast<SQLUINTEGER>(c.GetProtocolVersion()));
}

SQLRETURN GetHostText(qvoConnection& c, const GetArgs& a) {
  return PutPointer(a, c.vandrelHosts.get());
}

SQLRETURN GetServerVersionText(qvoConnection& c, const GetArgs& a) {
  return PutText(c, a, c.GetServerVersion(), -1, true);
}

SQLRETURN GetServerRevisionText(qvoConnection& c, const GetArgs& a) {
  return PutText(c, a, c.GetServerRevision(), -1, true);
}

SQLRETURN GetNodeTable(qvoConnection& c, const GetArgs& a) {
  return PutPointer(a, c.cluster.empty() ? nullptr : c.cluster.data());
}

SQLRETURN GetNodeCount(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, static_cast<SQLUINTEGER>(c.clusterSize));
}

SQLRETURN GetCurrentNode(qvoConnection& c, const GetArgs& a) { return PutPointer(a, &c.server); }

SQLRETURN GetTransactionState(qvoConnection& c, const GetArgs& a) {
  // Only the server knows the state: without a connection there is none to tell.
  if (c.GetSocket() == nullptr) return QVO_DIAG(&c, _Database_server_not_connected_, -1);
  const SQLRETURN rc = c.GetAttributesFromQVO();
  if (rc < 0) return rc;
  qvoMutex lock(c.settingsMutex);
  return PutInt(a, static_cast<SQLUINTEGER>(static_cast<SQLINTEGER>(c.transactionState)));
}

SQLRETURN GetCognos(qvoConnection& c, const GetArgs& a) {
  return PutYesNo(c, a, c.cognosSupport == 1, true);
}

SQLRETURN GetMicroCache(qvoConnection& c, const GetArgs& a) {
  return PutYesNo(c, a, c.columnsMicroCache, false);
}

template <iconverter* (qvoHandle::*Converter)() const>
SQLRETURN GetCodepage(qvoConnection& c, const GetArgs& a) {
  const iconverter* conv = (c.*Converter)();
  return PutText(c, a, conv ? conv->GetCurrentCodepage() : "", -1, true);
}

SQLRETURN GetHostList(qvoConnection& c, const GetArgs& a) {
  return c.GetHostnames(static_cast<char*>(a.value), a.bufferLength);
}

SQLRETURN GetFeedbackInterval(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, static_cast<SQLUINTEGER>(c.connAttr.feedbackInterval));
}

SQLRETURN GetServerVersionNumber(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, static_cast<SQLUINTEGER>(c.GetServerVersionInt()));
}

SQLRETURN GetSessionId(qvoConnection& c, const GetArgs& a) {
  return Put64(a, c.connAttr.qvosessionID);
}

SQLRETURN GetSocketEncryption(qvoConnection& c, const GetArgs& a) {
  return PutYesNo(c, a, c.connAttr.socketEncryption, true);
}

SQLRETURN GetEncrypted(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, c.connAttr.checkConnectionIsEncrypted ? 1 : 0);
}

SQLRETURN GetEncryptionRequired(qvoConnection& c, const GetArgs& a) {
  return PutInt(a, c.connAttr.encryptionRequired != 0 ? 1 : 0);
}

SQLRETURN GetFastMetadata(qvoConnection& c, const GetArgs& a) {
  return PutYesNo(c, a, c.fastMetadata, false);
}

SQLRETURN GetHandleLimit(qvoConnection&, const GetArgs& a) {
  return PutInt(a, static_cast<SQLUINTEGER>(GetMaxHandles()));
}

struct GetRule {
  SQLINTEGER first;
  SQLINTEGER last;
  Getter get;
};

constexpr GetRule getRules[] = {
    {-9912, -9912, GetSessionId},
    {1, 1, GetNumber<&connectionAttr::maxRows>},
    {SQL_ATTR_ASYNC_ENABLE, SQL_ATTR_ASYNC_ENABLE, GetNumber<&connectionAttr::asyncEnable>},
    {SQL_ATTR_ACCESS_MODE, SQL_ATTR_ACCESS_MODE, GetNumber<&connectionAttr::accessMode>},
    {SQL_ATTR_AUTOCOMMIT, SQL_ATTR_AUTOCOMMIT, GetNumber<&connectionAttr::autoCommit>},
    {SQL_ATTR_LOGIN_TIMEOUT, SQL_ATTR_LOGIN_TIMEOUT, GetNumber<&connectionAttr::loginTimeout>},
    {SQL_ATTR_TRACE, SQL_ATTR_TRACE, GetNumber<&connectionAttr::trace>},
    {SQL_ATTR_TRACEFILE, SQL_ATTR_TRACEFILE, GetText<&connectionAttr::traceFile>},
    {SQL_ATTR_TRANSLATE_LIB, SQL_ATTR_TRANSLATE_LIB, GetText<&connectionAttr::translateLib>},
    {SQL_ATTR_TRANSLATE_OPTION, SQL_ATTR_TRANSLATE_OPTION,
     GetNumber<&connectionAttr::translateOption>},
    {SQL_ATTR_TXN_ISOLATION, SQL_ATTR_TXN_ISOLATION, GetNumber<&connectionAttr::txnIsolation>},
    {SQL_ATTR_CURRENT_CATALOG, SQL_ATTR_CURRENT_CATALOG,
     GetText<&connectionAttr::currentCatalog, &connectionAttr::currentCatalogLen>},
    {SQL_ATTR_ODBC_CURSORS, SQL_ATTR_ODBC_CURSORS, GetNumber<&connectionAttr::odbcCursors>},
    {SQL_ATTR_QUIET_MODE, SQL_ATTR_QUIET_MODE, GetQuietMode},
    {SQL_ATTR_PACKET_SIZE, SQL_ATTR_PACKET_SIZE, GetNumber<&connectionAttr::packetSize>},
    {SQL_ATTR_CONNECTION_TIMEOUT, SQL_ATTR_CONNECTION_TIMEOUT,
     GetNumber<&connectionAttr::connectionTimeout>},
    {SQL_ATTR_ANSI_APP, SQL_ATTR_ANSI_APP, GetNumber<&connectionAttr::ansiApp>},
    {1002, 1002, GetConstant<0>},
    {1011, 1011, GetConstant<0>},
    {1014, 1015, GetConstant<0>},
    {1041, 1041, GetEmptyText},
    {1063, 1063, GetConstant<0>},
    {1065, 1065, GetDriverUnicode},
    {1202, 1205, SqlServerOnlyRead},
    {1207, 1208, SqlServerOnlyRead},
    {SQL_ATTR_CONNECTION_DEAD, SQL_ATTR_CONNECTION_DEAD, GetConnectionDead},
    {1210, 1222, SqlServerOnlyRead},
    {1224, 1224, GetConstant<1>},
    {1241, 1243, SqlServerOnlyRead},
    {SQL_ATTR_AUTO_IPD, SQL_ATTR_AUTO_IPD, GetConstant<1>},
    {SQL_ATTR_METADATA_ID, SQL_ATTR_METADATA_ID, GetNumber<&connectionAttr::metadataID>},
    {QVO_ATTR_MAX_DATA_MESSAGE_SIZE, QVO_ATTR_MAX_DATA_MESSAGE_SIZE,
     GetNumber<&connectionAttr::maxDataMessageSize>},
    {QVO_ATTR_USER_NAME, QVO_ATTR_USER_NAME,
     GetText<&connectionAttr::userName, &connectionAttr::userNameLen>},
    {QVO_ATTR_DSN_NAME, QVO_ATTR_DSN_NAME, GetText<&connectionAttr::dsnName>},
    {QVO_ATTR_BYTES_READ, QVO_ATTR_BYTES_READ, GetCounter<&connectionAttr::bytesRead>},
    {QVO_ATTR_BYTES_WRITTEN, QVO_ATTR_BYTES_WRITTEN, GetCounter<&connectionAttr::bytesWritten>},
    {QVO_ATTR_CURRENT_SCHEMA, QVO_ATTR_CURRENT_SCHEMA,
     GetText<&connectionAttr::currentSchema, &connectionAttr::currentSchemaLen>},
    {QVO_ATTR_NUMERIC_CHARACTERS, QVO_ATTR_NUMERIC_CHARACTERS,
     GetFieldText<&connectionAttr::numericCharacters>},
    {QVO_ATTR_LOCALE_ALL, QVO_ATTR_LOCALE_ALL, GetLocale<LC_ALL>},
    {QVO_ATTR_LOCALE_NUMERIC, QVO_ATTR_LOCALE_NUMERIC, GetLocale<LC_NUMERIC>},
    {QVO_ATTR_PROTOCOL_VERSION, QVO_ATTR_PROTOCOL_VERSION, GetProtocol},
    {QVO_ATTR_SUPPORTED_ENCODINGS, QVO_ATTR_SUPPORTED_ENCODINGS, GetSupportedEncodings},
    {QVO_ATTR_HOST_TEXT, QVO_ATTR_HOST_TEXT, GetHostText},
    {QVO_ATTR_SERVER_VERSION, QVO_ATTR_SERVER_VERSION, GetServerVersionText},
    {QVO_ATTR_SERVER_REVISION, QVO_ATTR_SERVER_REVISION, GetServerRevisionText},
    {QVO_ATTR_NODE_TABLE, QVO_ATTR_NODE_TABLE, GetNodeTable},
    {QVO_ATTR_NODE_COUNT, QVO_ATTR_NODE_COUNT, GetNodeCount},
    {QVO_ATTR_CURRENT_NODE, QVO_ATTR_CURRENT_NODE, GetCurrentNode},
    {QVO_ATTR_TRANSACTION_STATE, QVO_ATTR_TRANSACTION_STATE, GetTransactionState},
    {QVO_ATTR_COGNOS, QVO_ATTR_COGNOS, GetCognos},
    {QVO_ATTR_MICRO_CACHE, QVO_ATTR_MICRO_CACHE, GetMicroCache},
    {QVO_ATTR_DATA_ENCODING, QVO_ATTR_DATA_ENCODING, GetCodepage<&qvoHandle::GetDataConverter>},
    {QVO_ATTR_SQL_ENCODING, QVO_ATTR_SQL_ENCODING, GetCodepage<&qvoHandle::GetSqlConverter>},
    {QVO_ATTR_CONNECTION_STRING, QVO_ATTR_CONNECTION_STRING,
     GetText<&connectionAttr::connectionString>},
    {QVO_ATTR_HOST_LIST, QVO_ATTR_HOST_LIST, GetHostList},
    {QVO_ATTR_WCHAR_SQL_ENCODING, QVO_ATTR_WCHAR_SQL_ENCODING,
     GetCodepage<&qvoHandle::GetWcharSqlConverter>},
    {QVO_ATTR_FEEDBACK_INTERVAL, QVO_ATTR_FEEDBACK_INTERVAL, GetFeedbackInterval},
    {QVO_ATTR_MAX_PARAM_SIZE, QVO_ATTR_MAX_PARAM_SIZE, GetNumber<&connectionAttr::maxParamSize>},
    {QVO_ATTR_DEFAULT_PARAM_SIZE, QVO_ATTR_DEFAULT_PARAM_SIZE,
     GetNumber<&connectionAttr::defaultParamSize>},
    {QVO_ATTR_WCHAR_DATA_ENCODING, QVO_ATTR_WCHAR_DATA_ENCODING,
     GetCodepage<&qvoHandle::GetWcharDataConverter>},
    {QVO_ATTR_LOCALE_CTYPE, QVO_ATTR_LOCALE_CTYPE, GetLocale<LC_CTYPE>},
    {QVO_ATTR_ALWAYS_SEARCH_PATTERNS_IN_CAT, QVO_ATTR_ALWAYS_SEARCH_PATTERNS_IN_CAT,
     GetYesNo<&connectionAttr::alwaysSearchPatternsInCat>},
    {QVO_ATTR_AUTOCOMMIT_STATE, QVO_ATTR_AUTOCOMMIT_STATE, GetNumber<&connectionAttr::autoCommit>},
    {QVO_ATTR_SERVER_VERSION_NUMBER, QVO_ATTR_SERVER_VERSION_NUMBER, GetServerVersionNumber},
    {QVO_ATTR_TIMESTAMP_UTC, QVO_ATTR_TIMESTAMP_UTC, GetNumber<&connectionAttr::timestampUTC>},
    {QVO_ATTR_SESSION_ID, QVO_ATTR_SESSION_ID, GetSessionId},
    {QVO_ATTR_SESSION_TIMEZONE, QVO_ATTR_SESSION_TIMEZONE,
     GetFieldText<&connectionAttr::sessionTimezone>},
    {QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR, QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR,
     GetFieldText<&connectionAttr::sessionTimezoneBehaviour>},
    {QVO_ATTR_SOCKET_ENCRYPTION, QVO_ATTR_SOCKET_ENCRYPTION, GetSocketEncryption},
    {QVO_ATTR_ENCRYPTED, QVO_ATTR_ENCRYPTED, GetEncrypted},
    {QVO_ATTR_ENCRYPTION_REQUIRED, QVO_ATTR_ENCRYPTION_REQUIRED, GetEncryptionRequired},
    {QVO_ATTR_MICRO_CACHE_TEXT, QVO_ATTR_MICRO_CACHE_TEXT, GetMicroCache},
    {QVO_ATTR_FAST_METADATA, QVO_ATTR_FAST_METADATA, GetFastMetadata},
    {QVO_ATTR_MAX_HANDLES, QVO_ATTR_MAX_HANDLES, GetHandleLimit},
    {30002, 30002, NotImplementedRead},
};

// Reads that ask the server, load the metadata view or take the handle
// table's lock: they run outside the settings lock.
constexpr SQLINTEGER getBesideSettings[] = {SQL_ATTR_CONNECTION_DEAD, QVO_ATTR_SUPPORTED_ENCODINGS,
                                            QVO_ATTR_TRANSACTION_STATE, QVO_ATTR_HOST_LIST,
                                            QVO_ATTR_MAX_HANDLES};

// Reads that keep the diagnostics that are there.
constexpr SQLINTEGER getKeepsRecords[] = {QVO_ATTR_NODE_TABLE,   QVO_ATTR_NODE_COUNT,
                                          QVO_ATTR_CURRENT_NODE, QVO_ATTR_COGNOS,
                                          QVO_ATTR_HOST_LIST,    QVO_ATTR_AUTOCOMMIT_STATE};

template <class Rule, size_t N>
const Rule* FindRule(const Rule (&rules)[N], SQLINTEGER id) {
  for (const Rule& r : rules)
    if (id >= r.first && id <= r.last) return &r;
  return nullptr;
}

template <size_t N>
bool Contains(const SQLINTEGER (&ids)[N], SQLINTEGER id) {
  return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

}  // namespace

SQLRETURN qvoConnection::SetConnectAttr(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                        SQLINTEGER stringLength) {
  if (GetNumRecords() > 0 && !Contains(setKeepsRecords, attribute)) ClearDiagRecords();
  const SetRule* rule = FindRule(setRules, attribute);
  if (!rule)
    return QVO_DIAG_FMT(this, _Trying_to_set_an_unknown_connection_attribute_Attribute_type_, -1,
                        static_cast<int>(attribute));
  // What a setter writes (the pending list, the feedback interval, the
  // settings that requests carry) is read by the requests of the
  // connection's statements, which hold this lock for their exchange.
  qvoMutex lock(executionMutex);
  const SetArgs args{valuePtr, stringLength};
  if (Contains(setBesideSettings, attribute)) return rule->set(*this, args);
  qvoMutex settings(settingsMutex);
  return rule->set(*this, args);
}

SQLRETURN qvoConnection::GetConnectAttr(SQLINTEGER attribute, SQLPOINTER valuePtr,
                                        SQLINTEGER bufferLength, SQLINTEGER* stringLengthPtr) {
  if (GetNumRecords() > 0 && !Contains(getKeepsRecords, attribute)) ClearDiagRecords();
  if (!valuePtr) return QVO_DIAG(this, _Value_ptr_is_null_info_value_cannot_be_set_, -1);
  const GetRule* rule = FindRule(getRules, attribute);
  if (!rule)
    return QVO_DIAG_FMT(this, _Trying_to_read_an_unknown_connection_attribute_Attribute_type_, -1,
                        static_cast<int>(attribute));
  const GetArgs args{valuePtr, bufferLength, stringLengthPtr};
  if (Contains(getBesideSettings, attribute)) return rule->get(*this, args);
  qvoMutex settings(settingsMutex);
  return rule->get(*this, args);
}

SQLRETURN qvoConnection::SetQueryTimeoutInQvo(SQLUINTEGER value) {
  {
    qvoMutex lock(settingsMutex);  // the log switch is a setting too
    if (logFull) Log("SetQueryTimeoutInQvo(%llu)\n", static_cast<unsigned long long>(value));
  }
  return SetConnectAttr(SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(value)), 0);
}

SQLRETURN qvoConnection::SetFeedbackIntervalInQvo(SQLUINTEGER value) {
  {
    qvoMutex lock(settingsMutex);  // the log switch is a setting too
    if (logFull) Log("SetFeedbackIntervalInQvo(%llu)\n", static_cast<unsigned long long>(value));
  }
  return SetConnectAttr(QVO_ATTR_FEEDBACK_INTERVAL,
                        reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(value)), 0);
}
