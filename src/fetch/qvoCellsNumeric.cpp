// Conversion cells of this family; none yet, so the matrix refuses its pairs.
#include "fetch/qvoConversionCell.h"

qvoCellFn qvoNumericCell(SQLSMALLINT, SQLSMALLINT) { return nullptr; }
