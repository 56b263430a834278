#pragma once
// The mail-merge data file, the one writer of its format for both merge
// routines: a header line of field names separated by ";", a carriage return
// and line feed, and a data line of values in double quotes separated by
// ";". A double quote inside a value is doubled, as readers of such files
// expect, so that a value cannot end its field early.
#include <tarnwick/automation/Variant.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::frame {

class MergeFile {
 public:
  void add(std::u16string_view fieldName, std::u16string_view value);
  bool hasEntries() const noexcept { return entries_ > 0; }

  // The file's text with the caller's address parts: when `addressValues`
  // is missing or empty the last ";" of each line goes; otherwise both
  // parts are appended unchanged (Error 13 when the values come without
  // their field names). nullopt when there is nothing to write: no entry
  // and no address values.
  std::optional<std::u16string> text(const Variant& addressFields, const Variant& addressValues) const;

 private:
  std::u16string header_;
  std::u16string data_;
  std::size_t entries_ = 0;
};

}  // namespace tarnwick::frame
