// Reading a catalog result through the exported functions: the described
// columns, and one value of the current row by its default C type.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qvo/qvoCInterface.h"

namespace catalog_test {

struct Described {
  std::string name;
  SQLSMALLINT type = 0;
  bool operator==(const Described&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Described& d) {
  return os << d.name << ":" << d.type;
}

inline std::vector<Described> DescribeAll(SQLHSTMT h) {
  SQLSMALLINT n = 0;
  EXPECT_EQ(QVONumResultCols(h, &n), SQL_SUCCESS);
  std::vector<Described> out;
  for (SQLSMALLINT c = 1; c <= n; ++c) {
    SQLCHAR name[256] = {};
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    EXPECT_EQ(QVODescribeCol(h, c, name, sizeof name, &nameLen, &type, &size, &digits, &nullable),
              SQL_SUCCESS);
    out.push_back({reinterpret_cast<char*>(name), type});
  }
  return out;
}

// A value read with SQL_C_DEFAULT: the bytes written (as many as the
// indicator says for text, the C type's width otherwise), or "NULL".
inline std::string DefaultValue(SQLHSTMT h, SQLUSMALLINT col, size_t width) {
  char buffer[512];
  std::memset(buffer, 0x5A, sizeof buffer);
  SQLLEN ind = 0;
  const SQLRETURN rc = QVOGetData(h, col, SQL_C_DEFAULT, buffer, sizeof buffer, &ind);
  EXPECT_TRUE(rc == SQL_SUCCESS) << "column " << col << " rc " << rc;
  if (ind == SQL_NULL_DATA) return "NULL";
  return std::string(buffer, width ? width : static_cast<size_t>(ind));
}

inline std::string Short(int16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); }
inline std::string Long(int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

}  // namespace catalog_test
