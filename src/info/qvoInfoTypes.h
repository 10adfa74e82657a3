// The information types a connection answers (QVOGetInfo): one row per type
// with the kind of its value and where the value comes from. GetInfo reads
// nothing else; a type without a row is refused.
#pragma once

#include <span>
#include <string>

#include "connection/qvoConnAttr.h"
#include "info/qvoKeywordMasks.h"
#include "qvo/qvoDefs.h"

class qvoConnection;

// What the caller's buffer receives.
enum class qvoInfoKind : unsigned char {
  Text,      // a zero-terminated text
  YesNo,     // the text "Y" or "N"
  UShort,    // an SQLUSMALLINT
  UInteger,  // an SQLUINTEGER (numbers and bit masks)
  None,      // nothing: success without a value
};

// Where the value comes from.
enum class qvoInfoSource : unsigned char {
  Constant,  // `number` or `text`
  Number,    // the DB_METADATA number field `field` (YesNo: "Y" when non-zero)
  Text,      // the owned text field `textField` ("" while there is none)
  Bits,      // the OR of `bits` whose field is non-zero
  Keywords,  // `keywords` over the text field `textField`
  Computed,  // `compute`
};

struct qvoInfoBit {
  SQLUINTEGER connectionAttr::*field;
  SQLUINTEGER bit;
};

// The value of a type: `number` for the numeric kinds and YesNo (non-zero:
// "Y"), `text` for Text.
struct qvoInfoValue {
  SQLUINTEGER number = 0;
  std::string text;
};

using qvoInfoCompute = qvoInfoValue (*)(const qvoConnection&);

struct qvoInfoType {
  SQLUSMALLINT type;
  const char* name;  // the ODBC name, for logs and test messages
  qvoInfoKind kind;
  qvoInfoSource source;
  bool loads;  // needs the server's DB_METADATA values
  SQLUINTEGER number = 0;
  const char* text = nullptr;
  SQLUINTEGER connectionAttr::*field = nullptr;
  qvoOwnedText connectionAttr::*textField = nullptr;
  std::span<const qvoInfoBit> bits{};
  const qvoKeywordList* keywords = nullptr;
  qvoInfoCompute compute = nullptr;
};

// Every answered type, in ascending order of type.
std::span<const qvoInfoType> InfoTypes();
// The row of a type; null for a type that is not answered.
const qvoInfoType* FindInfoType(SQLUSMALLINT type);
// The value of a row from the connection's present state (nothing is loaded).
qvoInfoValue InfoValueOf(const qvoInfoType& row, const qvoConnection& conn);
