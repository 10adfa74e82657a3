#include "handles/qvoHandle.h"

#include <clocale>
#include <cstdio>
#include <iterator>
#include <string>

#include "common/qvoServices.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoTranslator.h"

namespace {

// The four converters of a handle, in the order in which they are created,
// released and given code pages; the number is the error number of a failed
// installation on a statement.
struct ConverterRole {
  qvoConverterPtr qvoHandle::*member;
  const char* name;
  int statementError;
};
constexpr ConverterRole kConverterRoles[] = {
    {&qvoHandle::dataConverter, "dataConverter", 1},
    {&qvoHandle::sqlConverter, "sqlConverter", 2},
    {&qvoHandle::wcharSqlConverter, "wcharSqlConverter", 3},
    {&qvoHandle::wcharDataConverter, "wcharDataConverter", 4},
};

// Code pages an environment or connection installs for a driver unicode
// type; a null code page leaves that converter as it is.
struct UnicodeTypeRule {
  int type;
  const char* data;
  const char* sql;
  const char* wcharSql;
  int appWcharType;
  const char* appWcharLog;
};
constexpr UnicodeTypeRule kUnicodeTypeRules[] = {
    {0, nullptr, nullptr, QVO_UTF16_CODEPAGE, 1,
     "((qvoConnection*)this)->SetAppWcharType(SQL_DD_CP_UTF16)\n"},
    {1, nullptr, nullptr, QVO_UTF16_CODEPAGE, 1,
     "((qvoConnection*)this)->SetAppWcharType(SQL_DD_CP_UTF16)\n"},
    {2, "UTF-8", "UTF-8", QVO_UTF16_CODEPAGE, 2,
     "((qvoConnection*)this)->SetAppWcharType(SQL_DD_CP_UTF8)\n"},
};

constexpr const char* kHandleTypeNames[] = {"", "SQL_HANDLE_ENV", "SQL_HANDLE_DBC",
                                            "SQL_HANDLE_STMT"};

constexpr char kNoConverterText[] = "No character set converter available.";

}  // namespace

qvoHandle::qvoHandle() = default;

qvoHandle::~qvoHandle() {
  if (logFull && (handleType == SQL_HANDLE_DBC || handleType == SQL_HANDLE_STMT))
    Log("qvoHandle::~qvoHandle() handle type=%i\n", handleType);
  diags.clear();
  diagHeader.diagNumber = 0;
  logBuffer.reset();
  for (const auto& role : kConverterRoles) (this->*role.member).reset();
  translate = nullptr;
  ownTranslator.reset();
  logFileName.reset();
}

void qvoHandle::SetMasterAndMyID(qvoHandle* masterObj, SQLHANDLE myID) {
  master = masterObj;
  handleID = myID;
  if (masterObj) SetOdbcVersion(masterObj->GetOdbcVersion());
}

void qvoHandle::SetOdbcVersion(SQLINTEGER version) {
  clientOdbcVersion = version;
  const bool odbc2 = version == SQL_OV_ODBC2;
  dateTypeCode = odbc2 ? SQL_DATE : SQL_TYPE_DATE;
  timeTypeCode = odbc2 ? SQL_TIME : SQL_TYPE_TIME;
  timestampTypeCode = odbc2 ? SQL_TIMESTAMP : SQL_TYPE_TIMESTAMP;
}

int qvoHandle::SetTranslatorLangCode(int langCode) {
  ownTranslator = std::make_unique<Translator>(langCode);
  translate = ownTranslator.get();
  return 0;
}

void qvoHandle::SetBorrowedTranslator(Translator* borrowed) {
  ownTranslator.reset();
  translate = borrowed;
}

int qvoHandle::GetTranslatorLangCode() const { return translate ? translate->GetLangCode() : 0; }

iconverter* qvoHandle::ConverterOfChain(qvoConverterPtr qvoHandle::*member) const {
  // A descriptor's master is a connection or a statement, so the chain is
  // short; the bound only guards against a broken chain.
  const qvoHandle* h = this;
  for (int depth = 0; h != nullptr && depth < 8; ++depth) {
    if (h->handleType >= SQL_HANDLE_ENV && h->handleType <= SQL_HANDLE_STMT)
      return (h->*member).get();
    if (h->handleType != SQL_HANDLE_DESC) return nullptr;
    h = h->master;
  }
  return nullptr;
}

iconverter* qvoHandle::GetDataConverter() const {
  return ConverterOfChain(&qvoHandle::dataConverter);
}
iconverter* qvoHandle::GetSqlConverter() const {
  return ConverterOfChain(&qvoHandle::sqlConverter);
}
iconverter* qvoHandle::GetWcharSqlConverter() const {
  return ConverterOfChain(&qvoHandle::wcharSqlConverter);
}
iconverter* qvoHandle::GetWcharDataConverter() const {
  return ConverterOfChain(&qvoHandle::wcharDataConverter);
}

SQLRETURN qvoHandle::CreateConverters() {
  bool complete = true;
  for (const auto& role : kConverterRoles) {
    (this->*role.member).reset(GetConverter(abortOnError));
    complete = complete && (this->*role.member) != nullptr;
  }
  return complete ? SQL_SUCCESS : SQL_ERROR;
}

SQLRETURN qvoHandle::ResetConverters() {
  // The new converters take the place of the old ones only when all four
  // are made: a handle is never left without one.
  qvoConverterPtr made[std::size(kConverterRoles)];
  for (size_t k = 0; k < std::size(kConverterRoles); ++k) {
    made[k].reset(GetConverter(abortOnError));
    if (!made[k]) return SetDriverUnicodeTypeError(nullptr, kConverterRoles[k].statementError);
  }
  for (size_t k = 0; k < std::size(kConverterRoles); ++k)
    (this->*kConverterRoles[k].member) = std::move(made[k]);
  return SetDriverUnicodeType(GetDriverUnicodeType(), nullptr);
}

SQLRETURN qvoHandle::InstallCodepage(iconverter* conv, const char* role, const char* codepage,
                                     int errorNumber) {
  if (logFull) Log("SetInstalledCurrentCodepage(%s, %s)\n", role, codepage ? codepage : "");
  if (conv == nullptr || codepage == nullptr || SetInstalledCurrentCodepage(conv, codepage) != 0)
    return SetDriverUnicodeTypeError(conv, errorNumber);
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::SetDriverUnicodeType(int type, qvoHandle* masterObj) {
  driverUnicodeType = static_cast<SQLUINTEGER>(type);
  if (masterObj == nullptr) masterObj = master;
  const int id = static_cast<int>(HandleIndex(handleID));

  if (handleType == SQL_HANDLE_STMT) {
    // A statement takes the code pages of its connection's converters.
    if (logFull)
      Log("SetDriverUnicodeType(%i) in handle %i of type %s\n", type, id,
          kHandleTypeNames[SQL_HANDLE_STMT]);
    for (const auto& role : kConverterRoles) {
      iconverter* source = masterObj ? masterObj->ConverterOfChain(role.member) : nullptr;
      const char* codepage = source ? source->GetCurrentCodepage() : nullptr;
      if (InstallCodepage((this->*role.member).get(), role.name, codepage, role.statementError) !=
          SQL_SUCCESS)
        return SQL_ERROR;
    }
    return SQL_SUCCESS;
  }
  if (handleType != SQL_HANDLE_ENV && handleType != SQL_HANDLE_DBC) return SQL_SUCCESS;

  if (logFull)
    Log("SetDriverUnicodeType(%i) in handle %i of type %s\n", type, id,
        kHandleTypeNames[handleType]);
  const UnicodeTypeRule* rule = nullptr;
  for (const auto& r : kUnicodeTypeRules)
    if (r.type == type) rule = &r;
  if (rule == nullptr) return SQL_SUCCESS;  // other types are only stored

  const struct {
    iconverter* conv;
    const char* role;
    const char* codepage;
    int errorNumber;
  } steps[] = {{dataConverter.get(), "dataConverter", rule->data, 5},
               {sqlConverter.get(), "sqlConverter", rule->sql, 6},
               {wcharSqlConverter.get(), "wcharSqlConverter", rule->wcharSql, 7}};
  for (const auto& step : steps) {
    if (step.codepage == nullptr) continue;
    if (InstallCodepage(step.conv, step.role, step.codepage, step.errorNumber) != SQL_SUCCESS)
      return SQL_ERROR;
  }
  if (handleType == SQL_HANDLE_DBC) {
    if (logFull) Log("%s", rule->appWcharLog);
    if (!ApplyAppWcharType(rule->appWcharType)) {
      static constexpr char kText[] = "Error setting app wchar type.";
      SetDiagRec("HY000", -1, kText);
      if (logFull) Log("ERROR: %s\n", kText);
      return SQL_ERROR;
    }
  }
  return SQL_SUCCESS;
}

SQLRETURN qvoHandle::SetDriverUnicodeTypeError(iconverter* conv, int errorNumber) {
  // A copy: the converter may be a connection's that other threads use.
  const std::string reason = conv ? GetErrorMessage(conv) : std::string(kNoConverterText);
  const char* convText = reason.c_str();
  char text[1024];
  snprintf(text, sizeof text, "Error (%i) in setting current installed codepage. %s\n", errorNumber,
           convText);
  SetDiagRec("HY000", -1, convText);
  if (logFull) Log("ERROR: %s\n", text);
  fprintf(stderr, "Vandrel driver error: %s\n", text);
  return SQL_ERROR;
}

char* qvoHandle::setLocale(int category, const char* locale) {
  if (logFull && locale != nullptr) {
    struct CategoryName {
      int category;
      const char* line;
    };
    static constexpr CategoryName kNames[] = {
        {LC_CTYPE, "setlocale(LC_CTYPE, %s)\n"},       {LC_NUMERIC, "setlocale(LC_NUMERIC, %s)\n"},
        {LC_TIME, "setlocale(LC_TIME, %s)\n"},         {LC_COLLATE, "setlocale(LC_COLLATE, %s)\n"},
        {LC_MONETARY, "setlocale(LC_MONETARY, %s)\n"}, {LC_ALL, "setlocale(LC_ALL, %s)\n"},
    };
    const char* line = nullptr;
    for (const auto& n : kNames)
      if (n.category == category) line = n.line;
    if (line)
      Log(line, locale);
    else
      Log("setlocale(%i, %s)\n", category, locale);
  }
  return qvoSetLocale(category, locale);
}
