#pragma once
// The "Orders" sample database, for tests, benchmarks and demonstrations:
// Customers (automatic key, name, city), Orders (key, customer, order date,
// quantity, paid yes/no, a note of at most 40 characters that is often
// Null) and OrderLines (automatic key, order, product, quantity, price).
// The same `rows` always gives the same records.
#include <tarnwick/automation/Export.h>

#include <filesystem>

namespace tarnwick::engine {

// Creates the file with `rows` orders (and rows / 10 + 1 customers, two
// lines per order). Error 3204 when the file exists; a file that could not
// be made whole is removed again.
TARNWICK_API void createSampleDatabase(const std::filesystem::path& path, int rows);

}  // namespace tarnwick::engine
