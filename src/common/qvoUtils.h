// All shared helpers at once.
#pragma once

#include "common/qvoArgStrings.h"
#include "common/qvoByteOrder.h"
#include "common/qvoNumbers.h"
#include "common/qvoPredicates.h"
#include "common/qvoServices.h"
#include "common/qvoStrings.h"
#include "common/qvoTypeCodes.h"
