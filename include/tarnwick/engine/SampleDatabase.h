#pragma once
// The "Orders" sample database, for tests, benchmarks and demonstrations:
// Customers (automatic key, name, city), Orders (key, customer, order date,
// quantity, paid yes/no, a note of at most 40 characters that is often
// Null) and OrderLines (automatic key, order, product, quantity, price).
// The same `rows` always gives the same records.
#include <tarnwick/automation/Export.h>

#include <filesystem>
#include <string>

namespace tarnwick::engine {

// Creates the file with `rows` orders (and rows / 10 + 1 customers, two
// lines per order). Error 3204 when the file exists; a file that could not
// be made whole is removed again. `path` may also be a server's connection
// URI: its database (or the schema its search path names) must hold no
// tables yet. Returns the name the database shows: the file's path, or the
// URI without its password.
TARNWICK_API std::u16string createSampleDatabase(const std::filesystem::path& path, int rows);

}  // namespace tarnwick::engine
