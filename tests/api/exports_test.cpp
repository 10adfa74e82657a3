// The shared library's dynamic symbols against the public headers: every
// declared function is exported under the right name (plain C, or the C++
// name where a header declares it outside extern "C"; a function template
// under the names of its instances), every declared object under its name,
// nothing else is exported, and the headers declare the whole interface
// applications use.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "qvo/qvoCInterface.h"

namespace {

// Object: a variable, whose name is never mangled. Template: a C++ function
// template, exported as its instances.
enum class Linkage { C, Cxx, Object, Template };

const char* const kHeaders[] = {QVO_INTERFACE_HEADER, QVO_NUMBER_FORMAT_HEADER};

// Name → linkage, from the QVO_EXPORT declarations of the headers.
std::map<std::string, Linkage> Declared() {
  std::map<std::string, Linkage> out;
  size_t marks = 0;
  for (const char* header : kHeaders) {
    std::ifstream in(header);
    EXPECT_TRUE(in) << header;
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    const size_t open = s.find("extern \"C\" {");
    const size_t close = open == std::string::npos ? open : s.find("\n}\n", open);
    const std::regex decl(
        R"((template\s*<[^>]*>\s*)?QVO_EXPORT\s+[A-Za-z_][\w\s\*&]*?\b([A-Za-z_]\w*)\s*([(;]))");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), decl); it != std::sregex_iterator();
         ++it) {
      const auto at = static_cast<size_t>(it->position(0));
      const bool inC = open != std::string::npos && at > open && at < close;
      const Linkage linkage = (*it)[3] == ";"    ? Linkage::Object
                              : (*it)[1].matched ? Linkage::Template
                              : inC              ? Linkage::C
                                                 : Linkage::Cxx;
      const auto [_, fresh] = out.emplace((*it)[2], linkage);
      EXPECT_TRUE(fresh) << "declared twice: " << (*it)[2];
    }
    // A declaration the pattern cannot read would go unchecked.
    for (size_t at = s.find("QVO_EXPORT "); at != std::string::npos;
         at = s.find("QVO_EXPORT ", at + 1))
      marks += s.compare(at - 8, 8, "#define ") != 0;
  }
  EXPECT_EQ(out.size(), marks);
  return out;
}

// The declared name of an exported symbol as demangled: up to its parameter
// list, without the return type and template arguments of a template's
// instance ("int convertNumber<double>(double&, char*)" is convertNumber).
std::string NameOf(const std::string& demangled) {
  std::string name = demangled.substr(0, demangled.find('('));
  const size_t arguments = name.find('<');
  if (arguments == std::string::npos) return name;
  name.erase(arguments);
  return name.substr(name.rfind(' ') + 1);
}

std::string Demangled(const std::string& symbol) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> d(
      abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status), &std::free);
  return status == 0 && d ? d.get() : symbol;
}

// The defined dynamic symbols of the library, as nm shows them.
std::set<std::string> Exported() {
  const std::string command = std::string("nm -D --defined-only '") + QVO_LIBRARY_FILE + "'";
  std::unique_ptr<FILE, decltype(&pclose)> nm(popen(command.c_str(), "r"), &pclose);
  EXPECT_TRUE(nm) << command;
  std::set<std::string> out;
  if (!nm) return out;
  char line[4096];
  while (std::fgets(line, sizeof line, nm.get())) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (!(fields >> address >> kind >> name)) continue;
    out.insert(name.substr(0, name.find('@')));
  }
  return out;
}

TEST(Exports, ExactlyTheDeclaredFunctions) {
  const std::map<std::string, Linkage> declared = Declared();
  ASSERT_GT(declared.size(), 80u);
  std::set<std::string> found;
  for (const std::string& symbol : Exported()) {
    const bool mangled = symbol.rfind("_Z", 0) == 0;
    const std::string full = mangled ? Demangled(symbol) : symbol;
    const std::string name = NameOf(full);
    const auto d = declared.find(name);
    const bool cxx =
        d != declared.end() && (d->second == Linkage::Cxx || d->second == Linkage::Template);
    if (d == declared.end() || cxx != mangled) {
      ADD_FAILURE() << "exported but not declared (as such): " << full;
      continue;
    }
    EXPECT_TRUE(found.insert(name).second || d->second == Linkage::Template)
        << "exported twice: " << name;
  }
  for (const auto& [name, linkage] : declared)
    EXPECT_TRUE(found.count(name))
        << "declared but not exported: " << name << (linkage == Linkage::Cxx ? " (C++)" : "");
}

// The C++ names that applications link against carry their parameter types.
TEST(Exports, CxxNamesCarryTheirSignature) {
  const std::map<std::string, std::string> expected = {
      {"IsIdSeparator", "IsIdSeparator(char)"},
      {"QVOExecGetTimestamp", "QVOExecGetTimestamp(void*)"},
      {"QVOSetDiagRec", "QVOSetDiagRec(short, void*, char const*, int, char const*)"},
      {"changePrecision", "changePrecision(int)"},
      {"getVersion", "getVersion(char*)"},
  };
  const std::map<std::string, Linkage> declared = Declared();
  std::set<std::string> exported;
  for (const std::string& symbol : Exported()) exported.insert(Demangled(symbol));
  for (const auto& [name, signature] : expected) {
    const auto d = declared.find(name);
    if (d == declared.end()) continue;  // the list test below names what is missing
    EXPECT_EQ(d->second, Linkage::Cxx) << name;
    EXPECT_TRUE(exported.count(signature)) << signature;
  }
  // convertNumber, for each of its twelve number types.
  for (const char* type :
       {"double", "float", "signed char", "unsigned char", "short", "unsigned short", "int",
        "unsigned int", "long", "unsigned long", "long long", "unsigned long long"}) {
    const std::string t = type;
    EXPECT_TRUE(exported.count("int convertNumber<" + t + ">(" + t + "&, char*)")) << type;
  }
}

// Every function of the interface, by area. Linkage C unless marked.
struct Entry {
  const char* name;
  Linkage linkage = Linkage::C;
};

const Entry kInterface[] = {
    // Handles, environment, transactions, version.
    {"QVOAllocHandle"},
    {"QVOFreeHandle"},
    {"QVOEndTran"},
    {"QVOSetEnvAttr"},
    {"QVOGetEnvAttr"},
    {"CLIDllVersion"},
    // Diagnostics.
    {"QVOGetDiagRec"},
    {"QVOGetDiagRecW"},
    {"QVOGetDiagField"},
    {"QVOGetDiagFieldW"},
    {"QVOSetDiagRec", Linkage::Cxx},
    // Descriptors.
    {"QVOCopyDesc"},
    {"QVOSetDescField"},
    {"QVOSetDescFieldW"},
    {"QVOGetDescField"},
    {"QVOGetDescFieldW"},
    {"QVOGetDescRec"},
    {"QVOGetDescRecW"},
    {"QVOSetDescRec"},
    // Connection and information.
    {"QVOServerConnect"},
    {"QVOServerConnectW"},
    {"QVOSlaveConnect"},
    {"QVODisconnect"},
    {"QVOSetConnectAttr"},
    {"QVOSetConnectAttrW"},
    {"QVOGetConnectAttr"},
    {"QVOGetConnectAttrW"},
    {"QVOGetInfo"},
    {"QVOGetInfoW"},
    // Statements: execution, parameters, data at execution, batches.
    {"QVOExecDirect"},
    {"QVOExecDirectW"},
    {"QVOPrepare"},
    {"QVOPrepareW"},
    {"QVOPrepareBatch"},
    {"QVOPrepareBatchW"},
    {"QVOExecute"},
    {"QVOExecuteBatch"},
    {"QVOCancel"},
    {"QVOMoreResults"},
    {"QVORowCount"},
    {"QVOParamData"},
    {"QVOPutData"},
    {"QVOBindParameter"},
    {"QVONumParams"},
    {"QVODescribeParam"},
    {"QVONativeSql"},
    {"QVONativeSqlW"},
    {"QVOSetCursorName"},
    {"QVOCloseCursor"},
    {"QVOFreeStmt"},
    {"QVOSetStmtAttr"},
    {"QVOSetStmtAttrW"},
    {"QVOGetStmtAttr"},
    {"QVOGetStmtAttrW"},
    {"QVOExecGetTimestamp", Linkage::Cxx},
    {"IsIdSeparator", Linkage::Cxx},
    // Result description, binding, fetch, positioning, single values.
    {"QVONumResultCols"},
    {"QVODescribeCol"},
    {"QVODescribeColW"},
    {"QVODescribeCol2"},
    {"QVOColAttribute"},
    {"QVOColAttributeW"},
    {"QVOBindCol"},
    {"QVOFetch"},
    {"QVOFetchScroll"},
    {"QVOSetPos"},
    {"QVOBulkOperations"},
    {"QVOGetData"},
    // Parallel mode.
    {"QVOEnterParallel"},
    {"QVOGetHostnames"},
    {"QVOGetSlaveOffset"},
    {"QVOExecuteDescRes"},
    {"QVOExecuteCloseRes"},
    // Catalog.
    {"QVOGetTypeInfo"},
    {"QVOTables"},
    {"QVOTablesW"},
    {"QVOColumns"},
    {"QVOColumnsW"},
    {"QVOForeignKeys"},
    {"QVOForeignKeysW"},
    {"QVOPrimaryKeys"},
    {"QVOPrimaryKeysW"},
    {"QVOColumnPrivileges"},
    {"QVOColumnPrivilegesW"},
    {"QVOProcedureColumns"},
    {"QVOProcedureColumnsW"},
    {"QVOProcedures"},
    {"QVOProceduresW"},
    {"QVOSpecialColumns"},
    {"QVOSpecialColumnsW"},
    {"QVOStatistics"},
    {"QVOStatisticsW"},
    {"QVOTablePrivileges"},
    {"QVOTablePrivilegesW"},
    // The number formatter, for the host.
    {"nf", Linkage::Object},
    {"changePrecision", Linkage::Cxx},
    {"getVersion", Linkage::Cxx},
    {"convertNumber", Linkage::Template},
};

// Functions whose work is still being built elsewhere; each is checked like
// the others as soon as the header declares it.
const std::set<std::string> kArriving = {
    "QVOPrepareBatch",
    "QVOPrepareBatchW",
    "QVOExecuteBatch",
};

TEST(Exports, TheHeaderDeclaresTheWholeInterface) {
  const std::map<std::string, Linkage> declared = Declared();
  std::set<std::string> listed;
  for (const Entry& e : kInterface) {
    EXPECT_TRUE(listed.insert(e.name).second) << "listed twice: " << e.name;
    const auto d = declared.find(e.name);
    if (d == declared.end()) {
      EXPECT_TRUE(kArriving.count(e.name)) << "not declared: " << e.name;
      continue;
    }
    EXPECT_EQ(d->second, e.linkage) << e.name;
  }
  // The list above is the interface: a new declaration joins it.
  for (const auto& [name, linkage] : declared)
    EXPECT_TRUE(listed.count(name)) << "declared but not in the interface list: " << name;
}

TEST(Exports, IdentifierSeparators) {
  const std::string separators(" ().;=\0", 7);
  for (int c = -128; c < 128; ++c) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(IsIdSeparator(ch), separators.find(ch) != std::string::npos) << c;
  }
}

}  // namespace
