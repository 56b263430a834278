#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/MergeFile.h>

namespace tarnwick::frame {

void MergeFile::add(std::u16string_view fieldName, std::u16string_view value) {
  header_ += fieldName;
  header_ += u';';
  data_ += u'"';
  for (char16_t c : value) {
    if (c == u'"') data_ += u'"';
    data_ += c;
  }
  data_ += u"\";";
  ++entries_;
}

std::optional<std::u16string> MergeFile::text(const Variant& addressFields, const Variant& addressValues) const {
  // Address values that are not given count as the empty text.
  const std::u16string values = addressValues.isMissing() ? std::u16string() : toText(addressValues);
  std::u16string header = header_;
  std::u16string data = data_;
  if (values.empty()) {
    if (entries_ == 0) return std::nullopt;
    header.pop_back();
    data.pop_back();
  } else {
    // Field names that are not given cannot be joined to the header.
    if (addressFields.isMissing()) raise(errc::TypeMismatch);
    header += toText(addressFields);
    data += values;
  }
  return header + u"\r\n" + data;
}

std::optional<std::u16string> collectMergeFile(Call& call, ControlWalk walk,
                                               const std::function<void(MergeFile&, const Object&)>& visit) {
  MergeFile file;
  for (const Variant& arrayValue : arrayElements(call.arg(0))) {
    const Object controls(arrayValue);
    if (walk == ControlWalk::ForEach) {
      for (const Object& control : collectionItems(controls)) visit(file, control);
      continue;
    }
    const std::int32_t upper = upperBound(controls);
    for (std::int32_t j = 0; indexWithin(j, upper); ++j) visit(file, element(controls, j));
  }
  const Variant missing = Variant::missing();
  return file.text(call.has(2) ? call.arg(2) : missing, call.has(3) ? call.arg(3) : missing);
}

void exportMergeFile(Call& call, ControlWalk walk, const std::function<void(MergeFile&, const Object&)>& visit,
                     const MergeFileWriter& write) {
  std::u16string fileName;
  std::optional<std::u16string> text;
  const std::int32_t number = errorNumberOf([&] {
    fileName = call.text(1);
    text = collectMergeFile(call, walk, visit);
  });
  if (number != 0) {
    call.setResult(static_cast<std::int16_t>(number));
    return;
  }
  if (!text) {
    call.setResult(static_cast<std::int16_t>(errc::InvalidProcedureCall));
    return;
  }
  call.setResult(write(fileName, *text));
}

}  // namespace tarnwick::frame
