// A stand-alone fake Vandrel node for trying the library without a server: it
// listens on 127.0.0.1, accepts the login of any user with the password
// "demo", answers every SQL statement with a small sample table of
// invoices, and runs until it is signalled (SIGTERM, SIGINT).
// It is the test double of tests/support, not a database.
//
//   qvo_demo_node [PORTFILE]
//
// Prints "127.0.0.1:PORT" on standard output (and into PORTFILE when given).
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "support/fake_login.h"
#include "support/fake_node.h"
#include "support/fake_table.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void Stop(int) { stopRequested = 1; }

fake::Table Invoices() {
  using fake::results::Column;
  using fake::results::Value;
  static const char* const customers[] = {"Aldmoor Freight", "Brixe & Sons",  "Caldera Labs",
                                          "Dunmore Bakery",  "Estrel Energy", "Fennick Tools"};
  fake::Table t;
  t.columns = {Column::Decimal("INVOICE_ID", 18, 0),
               Column::Char("CUSTOMER", 20, 80, fake::results::kVarying | fake::results::kUtf8),
               Column::Decimal("AMOUNT", 12, 2), Column::Date("ISSUED"), Column::Boolean("PAID")};
  t.rows = 12;
  t.value = [](int64_t row, size_t column) -> Value {
    switch (column) {
      case 0:
        return Value::Int64(10001 + row);
      case 1:
        return Value::Text(customers[row % 6]);
      case 2:
        return Value::Int64(1999 + row * 7346 % 250000);
      case 3:
        return Value::Date(static_cast<uint8_t>(1 + row * 2), static_cast<uint8_t>(1 + row % 12),
                           2026);
      default:
        return row == 7 ? Value::Null() : Value::Bool(row % 3 != 0);
    }
  };
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);
  fake::FakeNode node;
  fake::LoginScript script;
  script.password = "demo";
  fake::LoginPlayer login(node, script);
  node.ServeTable(fake::SqlMatch::Any(), Invoices());

  std::string address = "127.0.0.1:" + std::to_string(node.Port());
  std::printf("%s\n", address.c_str());
  std::fflush(stdout);
  if (argc > 1) {
    if (FILE* f = std::fopen(argv[1], "w")) {
      std::fprintf(f, "%s\n", address.c_str());
      std::fclose(f);
    }
  }
  while (!stopRequested) pause();
  return 0;
}
