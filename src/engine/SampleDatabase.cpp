#include <tarnwick/engine/SampleDatabase.h>

#include "DatabaseCore.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/Database.h>

#include <cstdint>
#include <string>

namespace tarnwick::engine {

namespace {

constexpr const char* kCities[] = {"Berlin", "Bonn", "Hamburg", "Munich", "Bremen", "Cologne", "Dresden", "Leipzig"};
constexpr const char* kNames[] = {"Smith", "Jones", "Miller", "Baker", "Fisher", "Weber", "Meyer", "Wagner", "Becker"};
constexpr const char* kProducts[] = {"Bolt", "Nut", "Washer", "Screw", "Hinge", "Bracket", "Spring"};

// A small generator of its own, so that a size gives the same file everywhere.
struct Sequence {
  std::uint64_t state;
  std::uint32_t next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state >> 33);
  }
};

// The rows go in by the storage's own statements, whose names are quoted:
// a server folds unquoted names to lower case, the engine's tables keep
// theirs as written.
void fill(DatabaseCore& core, int rows) {
  Connection& c = core.connection;
  Sequence random{42};
  const int customers = rows / 10 + 1;
  c.begin();
  {
    const auto insert = c.prepare("INSERT INTO \"Customers\" (\"CustomerId\", \"Name\", \"City\") VALUES (?, ?, ?)");
    for (int i = 1; i <= customers; ++i) {
      insert->reset();
      insert->bind(1, static_cast<std::int64_t>(i));
      const std::string name = std::string(kNames[random.next() % 9]) + " " + std::to_string(i);
      insert->bind(2, std::string_view(name));
      insert->bind(3, std::string_view(kCities[random.next() % 8]));
      insert->step();
    }
  }
  {
    const auto order = c.prepare(
        "INSERT INTO \"Orders\" (\"OrderId\", \"CustomerId\", \"OrderDate\", \"Qty\", \"Paid\", \"Note\") "
                    "VALUES (?, ?, ?, ?, ?, ?)");
    const auto line = c.prepare(
        "INSERT INTO \"OrderLines\" (\"OrderId\", \"Product\", \"Quantity\", \"Price\") VALUES (?, ?, ?, ?)");
    for (int i = 1; i <= rows; ++i) {
      order->reset();
      order->bind(1, static_cast<std::int64_t>(i));
      order->bind(2, static_cast<std::int64_t>(random.next() % static_cast<std::uint32_t>(customers) + 1));
      // Order dates from 1 January 1998 (serial 35796) over about four years.
      order->bind(3, Variant::date(static_cast<double>(35796 + random.next() % 1461)), FieldType::Date);
      order->bind(4, static_cast<std::int64_t>(random.next() % 50 + 1));
      order->bind(5, Variant(random.next() % 2 != 0), FieldType::Boolean);
      if (random.next() % 3 == 0) {
        order->bind(6, std::string_view("deliver to the back door"));
      } else {
        order->bindNull(6);
      }
      order->step();
      for (int k = 0; k < 2; ++k) {
        line->reset();
        line->bind(1, static_cast<std::int64_t>(i));
        line->bind(2, std::string_view(kProducts[random.next() % 7]));
        line->bind(3, static_cast<std::int64_t>(random.next() % 20 + 1));
        line->bind(4, static_cast<double>(random.next() % 10000) / 100.0);
        line->step();
      }
    }
  }
  // A counter numbered by the storage's own sequence was passed by the
  // customers' numbers written here: the next addition takes the one after.
  if (c.dialect().countersFromSequence()) {
    const auto counter = c.prepare(c.dialect().counterRestart(quoteName("Customers"), "CustomerId"));
    counter->bind(1, static_cast<std::int64_t>(customers));
    counter->step();
  }
  c.commit();
}

}  // namespace

std::u16string createSampleDatabase(const std::filesystem::path& path, int rows) {
  if (rows < 0) raise(errc::InvalidProcedureCall);
  ComPtr<Database> db = DBEngine::forThisThread()->createDatabase(path);
  try {
    db->execute(u"CREATE TABLE Customers (CustomerId COUNTER PRIMARY KEY, Name TEXT(50) NOT NULL, City TEXT(30))");
    db->execute(
        u"CREATE TABLE Orders (OrderId LONG PRIMARY KEY, CustomerId LONG NOT NULL, OrderDate DATETIME, Qty SHORT, "
        u"Paid YESNO, Note TEXT(40))");
    db->execute(
        u"CREATE TABLE OrderLines (LineId COUNTER PRIMARY KEY, OrderId LONG NOT NULL, Product TEXT(30), "
        u"Quantity SHORT, Price CURRENCY)");
    db->execute(u"CREATE INDEX ByCustomer ON Orders (CustomerId)");
    db->execute(u"CREATE INDEX ByDate ON Orders (OrderDate)");
    db->execute(u"CREATE INDEX ByName ON Customers (Name)");
    db->execute(u"CREATE INDEX ByOrder ON OrderLines (OrderId)");
    fill(*db->core(), rows);
    std::u16string shown = db->core()->name;
    db->close();
    return shown;
  } catch (...) {
    db->close();
    db = nullptr;
    discardDatabase(path);
    throw;
  }
}

}  // namespace tarnwick::engine
