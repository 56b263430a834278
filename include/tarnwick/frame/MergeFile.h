#pragma once
// The mail-merge data file, the one writer of its format for both merge
// routines: a header line of field names separated by ";", a carriage return
// and line feed, and a data line of values in double quotes separated by
// ";". A double quote inside a value is doubled, as readers of such files
// expect, so that a value cannot end its field early.
#include <tarnwick/automation/Call.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::frame {

class TARNWICK_API MergeFile {
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

// How a merge routine walks a control array: with a for-each loop (its
// enumerator's order), or by index from 0 to its UBound.
enum class ControlWalk { ForEach, ByIndex };

// The export both merge routines share: walks the controls of every
// control array in the call's argument 0, lets `visit` add the control's
// entry to the file (or nothing), and finishes with the caller's address
// parts, given as the call's arguments 2 and 3. The result is what the
// routine answers: Error when the walk fails, nullopt when there is nothing
// to write, else the file's text.
std::optional<std::u16string> collectMergeFile(Call& call, ControlWalk walk,
                                               const std::function<void(MergeFile&, const Object&)>& visit);

// Writes the collected text to the named file, in the routine's own way;
// the number of the error that stopped the write, or 0.
using MergeFileWriter = std::function<std::int16_t(std::u16string_view fileName, const std::u16string& text)>;

// A merge routine's whole export around the collector: reads the file's
// name (argument 1) and collects the file, then answers with the number of
// the error that stopped it, 0 when the file was written. An error while
// reading or collecting answers that error's number and nothing to export
// answers Error 5, both without a write; otherwise `write`'s number is the
// answer. An error raised by `write` itself reaches the routine's caller.
void exportMergeFile(Call& call, ControlWalk walk, const std::function<void(MergeFile&, const Object&)>& visit,
                     const MergeFileWriter& write);

}  // namespace tarnwick::frame
