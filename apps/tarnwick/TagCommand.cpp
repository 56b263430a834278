// tarnwick tag TEXT: how the routines read a control's Tag, directive by
// directive, with a warning for each slip the routines themselves pass over
// in silence (a field name cut to one character, an unknown type word, a
// directive written in the wrong case).
#include "Commands.h"

#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/TagDirectives.h>

#include <cstdio>
#include <optional>
#include <string>

namespace {

using namespace tarnwick;
namespace tags = frame::tags;

class Report {
 public:
  void line(std::u16string_view label, std::u16string_view text) {
    std::printf("%-14s %s\n", toUtf8(label).c_str(), toUtf8(text).c_str());
  }
  void warn(std::u16string_view text) {
    std::printf("warning: %s\n", toUtf8(text).c_str());
    ++warnings_;
  }
  int warnings() const noexcept { return warnings_; }

  // Runs one directive's reading; a malformed directive is reported as the
  // routines would meet it.
  template <typename F>
  void read(std::u16string_view label, F&& body) {
    try {
      body();
    } catch (const Error& e) {
      line(label, u"malformed: error " + fromUtf8(std::to_string(e.number())) + u" (" + e.description() +
                      u") for a routine that reads it");
      ++warnings_;
    }
  }

 private:
  int warnings_ = 0;
};

void checkField(Report& report, std::u16string_view directive, const tags::Directive& d) {
  if (d.field.size() <= 1)
    report.warn(std::u16string(directive) + u" field " + quotedName(d.field) +
                u" is what is left inside the delimiters less one character at each end: write (["
                u"Field]) or ('Field')");
}

bool hasOnlyLowerCase(std::u16string_view tag, std::u16string_view lower, std::u16string_view upper) {
  return tag.find(lower) != std::u16string_view::npos && tag.find(upper) == std::u16string_view::npos;
}

}  // namespace

int tagCommand(const std::vector<std::string_view>& args) {
  if (args.size() != 1) {
    std::fputs("usage: tarnwick tag TEXT\n", stderr);
    return 2;
  }
  const std::u16string tag = fromUtf8(args[0]);
  Report report;
  report.read(u"binding:", [&] {
    const std::size_t open = tag.find(u'(');
    if (open == std::u16string::npos) return report.line(u"binding:", u"none (no \"(\")");
    // A tag that opens with another directive binds to a table of that odd
    // name, which no record source has.
    if (std::u16string_view(tag).substr(0, open).find_first_of(u"!=") != std::u16string_view::npos)
      return report.line(u"binding:", u"none (the tag does not open with TABLE(...))");
    const auto binding = tags::binding(tag);
    report.line(u"binding:", u"table " + quotedName(binding->table) + u", field " + quotedName(binding->field) +
                                 u" (used where the record source's Name is " + quotedName(binding->table) + u")");
    checkField(report, u"the binding", *binding);
  });
  report.read(u"search:", [&] {
    const auto search = tags::search(tag);
    if (!search) return report.line(u"search:", u"none (no \"S=\")");
    report.line(u"search:", u"table " + quotedName(search->table) + u", field [" + search->field + u"]");
    checkField(report, u"the search", *search);
    report.read(u"search type:", [&] {
      const auto word = tags::searchTypeWord(tag);
      if (!word) return report.line(u"search type:", u"none: a text criterion");
      if (*word == u"Number" || *word == u"Date")
        return report.line(u"search type:", *word + (*word == u"Number" ? u": a numeric criterion" : u": a date criterion"));
      report.line(u"search type:", quotedName(*word) + u": unknown, so this control adds no criterion");
      report.warn(u"the search knows the type words Number and Date only (letter case counts)");
    });
  });
  if (const auto word = tags::saveTypeWord(tag))
    report.line(u"save type:", quotedName(*word) + (*word == u"Number" ? u": saved as a number" : u": no meaning when saving"));
  if (const auto merge = tags::mergeField(tag)) report.line(u"merge field:", quotedName(*merge));
  else report.line(u"merge field:", u"none (no \"M=\")");
  if (hasOnlyLowerCase(tag, u"s=", u"S=")) report.warn(u"\"s=\" is no search directive: directives are case-sensitive");
  if (hasOnlyLowerCase(tag, u"m=", u"M=")) report.warn(u"\"m=\" is no merge directive: directives are case-sensitive");
  return report.warnings() == 0 ? 0 : 1;
}
