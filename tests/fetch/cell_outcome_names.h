// The SQLSTATE a cell's outcome stands for, so that value tables read as the
// application would see them.
#pragma once

#include "fetch/qvoConversionCell.h"

namespace cells {

inline const char* OutcomeName(qvoCellOutcome o) {
  switch (o) {
    case qvoCellOutcome::Ok:
      return "Ok";
    case qvoCellOutcome::FractionalTruncation:
      return "01S07";
    case qvoCellOutcome::Truncated:
      return "01004";
    case qvoCellOutcome::IndicatorRequired:
      return "22002";
    case qvoCellOutcome::OutOfRange:
      return "22003";
    case qvoCellOutcome::InvalidCharacter:
      return "22018";
    case qvoCellOutcome::InvalidBufferLength:
      return "HY090";
    case qvoCellOutcome::ConversionError:
      return "HY000";
  }
  return "?";
}

}  // namespace cells
