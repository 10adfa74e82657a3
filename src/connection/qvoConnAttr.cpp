#include "connection/qvoConnAttr.h"

#include <cstring>

connectionAttr::connectionAttr() : clientName(std::make_unique<char[]>(16)) {
  std::strcpy(clientName.get(), "Unknown client");
}

// The owned texts go with their smart pointers; the password is wiped first.
connectionAttr::~connectionAttr() { ClearPassword(); }

void connectionAttr::SetPassword(const char* text, int len) {
  ClearPassword();
  if (!text || len < 0) return;
  qvoPassword = std::make_unique<char[]>(static_cast<size_t>(len) + 1);
  std::memcpy(qvoPassword.get(), text, static_cast<size_t>(len));
  qvoPasswordLen = len;
}

void connectionAttr::ClearPassword() {
  if (qvoPassword) explicit_bzero(qvoPassword.get(), static_cast<size_t>(qvoPasswordLen) + 1);
  qvoPassword.reset();
  qvoPasswordLen = 0;
}
