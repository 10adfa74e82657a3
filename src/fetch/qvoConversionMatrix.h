// The conversion matrix of the block fetch: for a bound C type (resolved: no
// SQL_C_DEFAULT, no SQL_C_WCHAR) and a column's server type, the cell that
// converts the pair, or how the pair is refused. One table, read once per
// column and block call.
#pragma once

#include <cstddef>

#include "fetch/qvoConversionCell.h"

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

// The conversion of column `col` for (cType, qvoType): looked up once and kept
// on the statement for as long as the column is read with the same types,
// NULL rule and lookup, so that a call with a short rowset or a single value
// pays no lookup.
const qvoConversion& qvoColumnConversion(qvoStatement& s, SQLSMALLINT col, SQLSMALLINT cType,
                                         SQLSMALLINT qvoType, bool stringsNotNull,
                                         qvoConversionLookup lookup = qvoLookupConversion);
