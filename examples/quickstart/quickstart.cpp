#include <odbc/OCLModern.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

int main() try {
  ocl::sql::connection db("Driver=SQLite3;Database=parts.db");  // in the current folder
  db.execute("DROP TABLE IF EXISTS parts");
  db.execute("CREATE TABLE parts (id INTEGER, name VARCHAR(40), price DOUBLE)");
  db.execute("INSERT INTO parts VALUES (?, ?, ?)", 1, "Bolt", 0.25);
  db.execute("INSERT INTO parts VALUES (:id, :name, :price)", 2, std::string("Nut"), 0.1);
  db.execute("INSERT INTO parts VALUES (?, ?, ?)", 3, "Washer", std::optional<double>());
  for (auto [id, name, price] : db.query<std::int64_t, std::string, std::optional<double>>(
           "SELECT id, name, price FROM parts WHERE id >= ? ORDER BY id", 1)) {
    std::printf("%lld %-6s ", static_cast<long long>(id), name.c_str());
    price ? std::printf("%.2f\n", *price) : std::printf("NULL\n");
  }
} catch (const std::exception& error) {
  std::fprintf(stderr, "%s\n", error.what());
  return 1;
}
