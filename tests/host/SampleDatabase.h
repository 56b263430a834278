#pragma once
// A sample orders database for the host's tests, made through the data
// engine by name (the way the host itself reaches it), in a fresh folder.
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Activation.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace tarnwick::testing {

class SampleDatabase {
 public:
  SampleDatabase() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-host-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    const Object engine(frame::createObject(u"{00000010-0000-0010-8000-00AA006D2EA4}"));
    const Object db(engine.call(u"CreateDatabase", fromUtf8(path().string())));
    db.call(u"Execute", u"CREATE TABLE Orders (OrderId LONG PRIMARY KEY, Customer TEXT(30), Qty SHORT)");
    db.call(u"Execute", u"INSERT INTO Orders VALUES (1001, 'Smith & Co', 5)");
    db.call(u"Execute", u"INSERT INTO Orders VALUES (1002, 'Jones', 7)");
    db.call(u"Execute", u"INSERT INTO Orders VALUES (1003, 'Miller', Null)");
    db.call(u"Close");
  }
  ~SampleDatabase() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  SampleDatabase(const SampleDatabase&) = delete;
  SampleDatabase& operator=(const SampleDatabase&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path path() const { return folder_ / "orders.db"; }

 private:
  std::filesystem::path folder_;
};

}  // namespace tarnwick::testing
