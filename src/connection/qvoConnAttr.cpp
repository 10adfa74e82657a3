#include "connection/qvoConnAttr.h"

#include <cstring>

connectionAttr::connectionAttr() : clientName(std::make_unique<char[]>(16)) {
  std::strcpy(clientName.get(), "Unknown client");
}

// The owned texts go with their smart pointers.
connectionAttr::~connectionAttr() = default;
