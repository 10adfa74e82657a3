// Conversion cells of this family; none yet, so the matrix refuses its pairs.
#include "fetch/qvoConversionCell.h"

qvoCellFn qvoIntegerCell(SQLSMALLINT, SQLSMALLINT) { return nullptr; }
