// tarnwick tag TEXT [--database NAME]: how the routines read a control's
// Tag, directive by directive, with a warning for each slip the routines
// themselves pass over in silence (a field name cut short because its
// enclosing characters are missing, an unknown type word, a directive
// written in the wrong case); with a database, its tables and fields are
// checked too, the nearest existing name suggested.
#include "Commands.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/TagDirectives.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

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
  void error(std::u16string_view text) {
    std::printf("error: %s\n", toUtf8(text).c_str());
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

bool isNameCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c > 0x7F;
}

// `open` is where the directive's opening delimiter stands: the enclosing
// characters are the one after it and the one after the field.
void checkField(Report& report, std::u16string_view directive, const tags::Directive& d, std::u16string_view tag,
                std::size_t open) {
  if (d.field.size() <= 1) {
    const std::u16string advice = u": write ([Field]) or ('Field')";
    report.warn(std::u16string(directive) + u" field " + quotedName(d.field) +
                u" is what is left inside the delimiters less one character at each end" + advice);
    return;
  }
  const std::size_t after = open + 2 + d.field.size();
  if (open + 1 < tag.size() && after < tag.size() && (isNameCharacter(tag[open + 1]) || isNameCharacter(tag[after]))) {
    const std::u16string meant(tag.substr(open + 1, after - open));
    report.warn(std::u16string(directive) + u" field reads as " + quotedName(d.field) + u": the characters " +
                quotedName(tag.substr(open + 1, 1)) + u" and " + quotedName(tag.substr(after, 1)) +
                u" are dropped unread as enclosing characters: write ([" + meant + u"]) or ('" + meant + u"')");
  }
}

// Where the search directive's opening delimiter stands: the first "(" from
// its "=", else the first "[".
std::size_t searchOpening(std::u16string_view tag) {
  const std::size_t marker = tag.find(u"S=") + 1;
  const std::size_t paren = tag.find(u'(', marker);
  return paren != std::u16string_view::npos ? paren : tag.find(u'[', marker);
}

// Letters that must change to turn one name into another, ignoring case.
std::size_t distance(std::u16string_view a, std::u16string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = equalsIgnoreCase(a.substr(i - 1, 1), b.substr(j - 1, 1));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::u16string nearest(std::u16string_view name, const std::vector<std::u16string>& names) {
  const auto best = std::min_element(names.begin(), names.end(), [&](const auto& x, const auto& y) {
    return distance(name, x) < distance(name, y);
  });
  return best == names.end() ? std::u16string() : u"; did you mean " + quotedName(*best) + u"?";
}

std::vector<std::u16string> namesOf(const Object& collection) {
  std::vector<std::u16string> names;
  const std::int32_t count = toInt32(collection.get(u"Count"));
  for (std::int32_t i = 0; i < count; ++i)
    names.push_back(toText(Object(collection.get(u"Item", {Variant(i)})).get(u"Name")));
  return names;
}

// Checks a directive's table and field against the database.
void checkAgainst(Report& report, const Object& db, std::u16string_view directive, const tags::Directive& d) {
  const std::vector<std::u16string> tables = namesOf(Object(db.call(u"TableDefs")));
  const auto table = std::find_if(tables.begin(), tables.end(), [&](const auto& t) { return t == d.table; });
  if (table == tables.end()) {
    report.error(std::u16string(directive) + u" table " + quotedName(d.table) + u" is not in the database" +
                 nearest(d.table, tables));
    return;
  }
  const std::vector<std::u16string> fields = namesOf(Object(Object(db.call(u"TableDefs", d.table)).get(u"Fields")));
  if (std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return equalsIgnoreCase(f, d.field); }) ==
      fields.end())
    report.error(std::u16string(directive) + u" field " + quotedName(d.field) + u" is not in table " + d.table +
                 nearest(d.field, fields));
}

bool hasOnlyLowerCase(std::u16string_view tag, std::u16string_view lower, std::u16string_view upper) {
  return tag.find(lower) != std::u16string_view::npos && tag.find(upper) == std::u16string_view::npos;
}

}  // namespace

int tagCommand(const std::vector<std::string_view>& args) {
  if (!(args.size() == 1 || (args.size() == 3 && args[1] == "--database"))) {
    std::fputs("usage: tarnwick tag TEXT [--database NAME]\n", stderr);
    return 2;
  }
  const std::u16string tag = fromUtf8(args[0]);
  Report report;
  Object db;
  if (args.size() == 3) {
    const Object engine(frame::createObject(u"Tarnwick.DBEngine"));
    db = Object(engine.call(u"OpenDatabase", fromUtf8(args[2]), false, true));
  }
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
    checkField(report, u"the binding", *binding, tag, open);
    if (db) checkAgainst(report, db, u"the binding", *binding);
  });
  report.read(u"search:", [&] {
    const auto search = tags::search(tag);
    if (!search) return report.line(u"search:", u"none (no \"S=\")");
    report.line(u"search:", u"table " + quotedName(search->table) + u", field [" + search->field + u"]");
    checkField(report, u"the search", *search, tag, searchOpening(tag));
    if (db) checkAgainst(report, db, u"the search", *search);
    report.read(u"search type:", [&] {
      const auto word = tags::searchTypeWord(tag);
      if (!word) return report.line(u"search type:", u"none: a text criterion");
      if (*word == u"Number" || *word == u"Date")
        return report.line(u"search type:", *word + (*word == u"Number" ? u": a numeric criterion" : u": a date criterion"));
      report.line(u"search type:", quotedName(*word) + u": unknown, so this control adds no criterion");
      report.warn(u"the search knows the type words Number and Date only (letter case counts)");
    });
  });
  if (const auto word = tags::saveTypeWord(tag)) {
    report.line(u"save type:", quotedName(*word) + (*word == u"Number" ? u": saved as a number" : u": no meaning when saving"));
    // Without a search directive the word is the save routines' alone: a
    // bound control that saves a number ends its tag with "!Number".
    if (*word != u"Number" && tag.find(u"S=") == std::u16string::npos && tags::binding(tag))
      report.warn(u"the save routines know the type word Number only, at the very end of the tag");
  }
  if (const auto merge = tags::mergeField(tag)) report.line(u"merge field:", quotedName(*merge));
  else report.line(u"merge field:", u"none (no \"M=\")");
  if (hasOnlyLowerCase(tag, u"s=", u"S=")) report.warn(u"\"s=\" is no search directive: directives are case-sensitive");
  if (hasOnlyLowerCase(tag, u"m=", u"M=")) report.warn(u"\"m=\" is no merge directive: directives are case-sensitive");
  if (tag.find(u"!number") != std::u16string::npos || tag.find(u"!date") != std::u16string::npos)
    report.warn(u"type words are case-sensitive: Number, Date");
  return report.warnings() == 0 ? 0 : 1;
}
