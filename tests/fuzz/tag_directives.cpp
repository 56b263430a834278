// The tag directive parser: any tag text either yields its directives or
// raises the parser's one error, and what it yields stands in the tag where
// the directive rules put it.
#include "FuzzInput.h"

#include <tarnwick/frame/TagDirectives.h>

using namespace tarnwick;
namespace tags = tarnwick::frame::tags;

namespace {

// Runs one reading; a malformed directive may only raise Error 5.
template <typename F>
void reading(F&& read) {
  try {
    read();
  } catch (const Error& e) {
    fuzz::check(e.number() == errc::InvalidProcedureCall, "unexpected error",
                e.description());
  }
}

bool contains(std::u16string_view whole, std::u16string_view part) {
  return whole.find(part) != std::u16string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::u16string tag = input.textRest();
  reading([&] {
    const auto found = tags::binding(tag);
    const std::size_t open = tag.find(u'(');
    fuzz::check(found.has_value() == (open != std::u16string::npos), "binding found without its '('", tag);
    if (found) {
      fuzz::check(found->table == tag.substr(0, open), "binding table is not the text before '('", tag);
      fuzz::check(contains(tag, found->field), "binding field is not part of the tag", tag);
    }
  });
  reading([&] {
    const auto found = tags::search(tag);
    const std::size_t marker = tag.find(u"S=");
    fuzz::check(found.has_value() == (marker != std::u16string::npos), "search found without its 'S='", tag);
    if (found) {
      fuzz::check(std::u16string_view(tag).substr(marker + 2).starts_with(found->table),
                  "search table does not follow 'S='", tag);
      fuzz::check(contains(tag, found->field), "search field is not part of the tag", tag);
    }
  });
  reading([&] {
    if (const auto word = tags::searchTypeWord(tag)) {
      fuzz::check(contains(tag, u"!" + *word + u";"), "search type word not between '!' and ';'", tag);
    }
  });
  reading([&] {
    const auto word = tags::saveTypeWord(tag);
    const std::size_t bang = tag.find(u'!');
    fuzz::check(word.has_value() == (bang != std::u16string::npos), "save type word without '!'", tag);
    if (word) fuzz::check(*word == tag.substr(bang + 1), "save type word is not the rest of the tag", tag);
  });
  reading([&] {
    const auto name = tags::mergeField(tag);
    const std::size_t marker = tag.find(u"M=");
    fuzz::check(name.has_value() == (marker != std::u16string::npos), "merge field without 'M='", tag);
    if (name) fuzz::check(*name == tag.substr(marker + 2), "merge field is not the rest of the tag", tag);
  });
  return 0;
}
