// Capability masks from the server's keyword lists. The server reports many
// capabilities as comma-separated keyword lists ("ABS,ATAN2,SIN"); an
// information type answers with the OR of the values of the keywords the list
// holds, or, for a list of alternatives, with the value of the last one.
#pragma once

#include <span>

#include "qvo/qvoDefs.h"

struct qvoKeyword {
  const char* word;
  SQLUINTEGER value;
};

struct qvoKeywordList {
  std::span<const qvoKeyword> words;
  bool lastWins;  // a choice of one value, not a mask
};

// The answer for one keyword list text. An item counts only when it equals a
// keyword as a whole, without regard to ASCII letter case (ATAN does not match
// ATAN2, " SIN" does not match SIN); empty items, repeated items and unknown
// items change nothing. A null or empty text gives 0. The text is only read.
SQLUINTEGER KeywordMask(const char* text, const qvoKeywordList& list);

// The lists of the information types that answer from keyword lists.
namespace qvo_keywords {
extern const qvoKeywordList numericFunctions;
extern const qvoKeywordList stringFunctions;
extern const qvoKeywordList systemFunctions;
extern const qvoKeywordList timeDateFunctions;
extern const qvoKeywordList quotedIdentifierCase;
extern const qvoKeywordList outerJoinCapabilities;
extern const qvoKeywordList datetimeLiterals;
extern const qvoKeywordList createAssertion;
extern const qvoKeywordList createCharacterSet;
extern const qvoKeywordList dropDomain;
extern const qvoKeywordList dropSchema;
extern const qvoKeywordList dropTable;
extern const qvoKeywordList dropView;
extern const qvoKeywordList indexKeywords;
extern const qvoKeywordList infoSchemaViews;
extern const qvoKeywordList sql92DatetimeFunctions;
extern const qvoKeywordList sql92ForeignKeyRule;
extern const qvoKeywordList sql92Grant;
extern const qvoKeywordList sql92StringFunctions;
extern const qvoKeywordList aggregateFunctions;
extern const qvoKeywordList insertStatement;
}  // namespace qvo_keywords
