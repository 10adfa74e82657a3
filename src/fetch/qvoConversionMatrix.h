// The conversion matrix of the block fetch: for a bound C type (resolved: no
// SQL_C_DEFAULT, no SQL_C_WCHAR) and a column's server type, the cell that
// converts the pair, or how the pair is refused. One table, read once per
// column and block call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fetch/qvoConversionCell.h"
#include "fetch/qvoNumericOps.h"
#include "fetch/qvoValueText.h"

enum class qvoRefusal : unsigned char {
  None,          // the pair converts: cell is set
  UnknownCType,  // "Invalid C data type requested by user." (native: the C type)
  PairRefused,   // "Conversion from Vandrel-Type %s to C-Type %s not supported." (native -1)
  TypeRefused,   // "Server returns a data type that is not supported by CLI driver." (native: the
                 // server type)
};

struct qvoConversion {
  qvoCellFn cell = nullptr;
  qvoRefusal refusal = qvoRefusal::UnknownCType;
  // Bytes of one target value of a fixed-size C type (the column-wise data
  // stride), 0 for the character, binary and UTF-16 targets.
  std::size_t fixedSize = 0;
  // How a NULL is written: terminator bytes of the character targets.
  qvoNullRule nulls;
};

// The matrix entry of (cType, qvoType); stringsNotNull goes into the NULL rule.
qvoConversion qvoLookupConversion(SQLSMALLINT cType, SQLSMALLINT qvoType, bool stringsNotNull);

// A lookup of the matrix's kind; a call site with its own exceptions passes
// its own.
using qvoConversionLookup = qvoConversion (*)(SQLSMALLINT cType, SQLSMALLINT qvoType,
                                              bool stringsNotNull);

class qvoStatement;

// A column's whole cell setup, kept on the statement: built when the column is
// first read and again only when something it was built from changes (the
// binding's C type, the result's column, a statement attribute of the
// conversion, a converter's code page), so that a call with a short rowset
// or a single value rebuilds nothing.
struct qvoColumnSetup {
  // What of the column it was built from.
  struct Key {
    qvoConversionLookup lookup = nullptr;  // null: not built
    SQLSMALLINT cType = 0;                 // resolved
    SQLSMALLINT qvoType = 0;
    SQLINTEGER valueWidth = 0;
    SQLINTEGER precision = 0;
    SQLSMALLINT scale = 0;
    char charAttr = 0;
    bool operator==(const Key&) const = default;
  };
  Key key;
  qvoConversion conv;
  qvoTextSettings text;
  qvoNumericColumn numeric;
};

// The statement's kept setups, checked once per call against what of the
// statement they were built from (attributes, converters' code pages): when
// any of it changed, every column is built again. The boolean words are not
// in the key: a statement takes them once, when it is made.
struct qvoColumnConversions {
  struct StatementKey {
    char decSeparator = 0;
    bool stringsNotNull = false;
    char truncateDecimals = 0;
    char externalConversion = 0;
    int floatPrecision = 0;
    SQLUINTEGER maxLength = 0;
    std::uint64_t dataCodepage = 0;  // converter stamps, 0 without one
    std::uint64_t wideCodepage = 0;
    bool operator==(const StatementKey&) const = default;
  };
  StatementKey statement;
  std::vector<qvoColumnSetup> columns;  // index: column number
};
qvoColumnConversions& qvoCheckedColumnSetups(qvoStatement& s);

// Builds the setup of column `col` for `key` into setups.
const qvoColumnSetup& qvoBuildColumnSetup(qvoStatement& s, qvoColumnConversions& setups,
                                          SQLSMALLINT col, const qvoColumnSetup::Key& key,
                                          const __cliDescriptorRecords& ird);

// The setup of column `col` (ird its IRD record) read as cType, from setups
// just checked.
inline const qvoColumnSetup& qvoColumnSetupOf(qvoStatement& s, qvoColumnConversions& setups,
                                              SQLSMALLINT col, SQLSMALLINT cType,
                                              const __cliDescriptorRecords& ird,
                                              qvoConversionLookup lookup = qvoLookupConversion) {
  qvoColumnSetup::Key key;
  key.lookup = lookup;
  key.cType = cType;
  key.qvoType = ird.qvoType;
  key.valueWidth = ird.qvoTypeLen;
  key.precision = ird.precision;
  key.scale = ird.scale;
  key.charAttr = ird.charAttr;
  const auto index = static_cast<std::size_t>(col);
  if (col > 0 && index < setups.columns.size() && setups.columns[index].key == key)
    return setups.columns[index];
  return qvoBuildColumnSetup(s, setups, col, key, ird);
}
