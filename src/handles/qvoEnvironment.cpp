#include "handles/qvoEnvironment.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "common/qvoServices.h"
#include "handles/qvoHandleTable.h"
#include "messages/qvoInternationalisation.h"
#include "messages/qvoTranslator.h"

namespace {

// Value pointers below this bound are not addresses: GetEnvAttr refuses them,
// and SetEnvAttr takes them as the value itself.
constexpr uintptr_t kLowestValuePointer = 10000;

// Environment attributes.
constexpr SQLINTEGER kAttrOdbcVersion = SQL_ATTR_ODBC_VERSION;              // 200
constexpr SQLINTEGER kAttrConnectionPooling = SQL_ATTR_CONNECTION_POOLING;  // 201
constexpr SQLINTEGER kAttrCPMatch = SQL_ATTR_CP_MATCH;                      // 202
constexpr SQLINTEGER kAttrDriverUnicodeType = 1065;
constexpr SQLINTEGER kAttrOutputNTS = SQL_ATTR_OUTPUT_NTS;  // 10001
constexpr intptr_t kOdbcVersions[] = {2, 3, 380};

SQLINTEGER ValueOfArgument(SQLPOINTER value) {
  return static_cast<SQLINTEGER>(reinterpret_cast<intptr_t>(value));
}

// Attributes whose value ODBC passes in the argument itself, while older
// callers pass a pointer to a 32-bit integer: a small argument is the value,
// anything else an address.
SQLINTEGER ValueOrPointee(SQLPOINTER value) {
  if (reinterpret_cast<uintptr_t>(value) < kLowestValuePointer) return ValueOfArgument(value);
  SQLINTEGER v;
  memcpy(&v, value, sizeof v);
  return v;
}

struct EnvAttrRule {
  SQLINTEGER id;
  // Stores the value; a refused value records its diagnostic and gives -1.
  SQLRETURN (*set)(qvoEnvironment& env, SQLPOINTER value);
  SQLINTEGER (*get)(const qvoEnvironment& env);
};

SQLRETURN InvalidValue(qvoEnvironment& env) {
  Translator* t = env.GetTranslatorPtr();
  return env.SetDiagRec(t->_Invalid_attribute_value_CODE(), -1,
                        t->_Invalid_attribute_value_MESSAGE());
}

constexpr EnvAttrRule kEnvAttrRules[] = {
    {kAttrOdbcVersion,
     [](qvoEnvironment& env, SQLPOINTER value) {
       // Compared at the argument's full width: a value with high bits set is
       // no version, whatever its low 32 bits say.
       const intptr_t v = reinterpret_cast<intptr_t>(value);
       if (std::find(std::begin(kOdbcVersions), std::end(kOdbcVersions), v) ==
           std::end(kOdbcVersions))
         return InvalidValue(env);
       // The environment's own date and time codes stay; new connections
       // take the version over.
       env.clientOdbcVersion = static_cast<SQLINTEGER>(v);
       return SQLRETURN{SQL_SUCCESS};
     },
     [](const qvoEnvironment& env) { return env.clientOdbcVersion; }},
    {kAttrConnectionPooling,
     [](qvoEnvironment& env, SQLPOINTER value) {
       env.envAttr.attrConnectionPooling = static_cast<SQLUINTEGER>(ValueOrPointee(value));
       return SQLRETURN{SQL_SUCCESS};
     },
     [](const qvoEnvironment& env) {
       return static_cast<SQLINTEGER>(env.envAttr.attrConnectionPooling);
     }},
    {kAttrCPMatch,
     [](qvoEnvironment& env, SQLPOINTER value) {
       env.envAttr.attrCPMatch = static_cast<SQLUINTEGER>(ValueOrPointee(value));
       return SQLRETURN{SQL_SUCCESS};
     },
     [](const qvoEnvironment& env) { return static_cast<SQLINTEGER>(env.envAttr.attrCPMatch); }},
    {kAttrDriverUnicodeType,
     [](qvoEnvironment& env, SQLPOINTER value) {
       const SQLINTEGER v = ValueOfArgument(value);
       if (v == 0) return InvalidValue(env);
       return env.SetDriverUnicodeType(v, nullptr);
     },
     [](const qvoEnvironment& env) { return static_cast<SQLINTEGER>(env.driverUnicodeType); }},
    {kAttrOutputNTS,
     [](qvoEnvironment& env, SQLPOINTER value) {
       env.envAttr.attrOutputNTS = ValueOrPointee(value);
       return SQLRETURN{SQL_SUCCESS};
     },
     [](const qvoEnvironment& env) { return env.envAttr.attrOutputNTS; }},
};

const EnvAttrRule* FindRule(SQLINTEGER attribute) {
  for (const auto& r : kEnvAttrRules)
    if (r.id == attribute) return &r;
  return nullptr;
}

SQLRETURN UnknownAttribute(qvoEnvironment& env) {
  Translator* t = env.GetTranslatorPtr();
  return env.SetDiagRec(t->_Invalid_attribute_option_identifier_CODE(), -1,
                        t->_Invalid_attribute_option_identifier_MESSAGE());
}

}  // namespace

qvoEnvironment::qvoEnvironment() {
  qvoSrandInit();
  handleType = SQL_HANDLE_ENV;
  allocatingError = CreateConverters();
  if (allocatingError == SQL_SUCCESS) allocatingError = SetDriverUnicodeType(1, nullptr);
  SetTranslatorLangCode(qvoMessages().GetLangCode(setLocale(LC_CTYPE, nullptr)));
}

qvoEnvironment::~qvoEnvironment() { LooseSlaves(); }

SQLRETURN qvoEnvironment::SetEnvAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  const EnvAttrRule* rule = FindRule(attribute);
  if (rule == nullptr) return UnknownAttribute(*this);
  return rule->set(*this, value);
}

SQLRETURN qvoEnvironment::GetEnvAttr(SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                     SQLINTEGER*) {
  if (GetNumRecords() > 0) ClearDiagRecords();
  if (reinterpret_cast<uintptr_t>(value) < kLowestValuePointer) {
    Translator* t = GetTranslatorPtr();
    return SetDiagRec(t->_ValuePtr_was_not_a_valid_pointer_CODE(), -1,
                      t->_ValuePtr_was_not_a_valid_pointer_MESSAGE());
  }
  const EnvAttrRule* rule = FindRule(attribute);
  if (rule == nullptr) return UnknownAttribute(*this);
  const SQLINTEGER v = rule->get(*this);
  memcpy(value, &v, sizeof v);
  return SQL_SUCCESS;
}

SQLRETURN qvoEnvironment::LooseSlaves() {
  if (handleID == SQL_NULL_HANDLE) return SQL_SUCCESS;
  for (SQLHANDLE connection : HandlesOfMaster(handleID, SQL_HANDLE_DBC)) _FreeDbc(connection);
  return SQL_SUCCESS;
}
