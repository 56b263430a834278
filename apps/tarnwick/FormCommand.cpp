// tarnwick form PATH: loads a form description into the headless host and
// prints the form and each control with its main properties, every value
// read by name as a routine would read it.
#include "Commands.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/host/FormDescription.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>

namespace {

using namespace tarnwick;

// Pieces joined with += (a chain of + trips a false warning of GCC 12).
std::u16string join(std::initializer_list<std::u16string_view> pieces) {
  std::u16string text;
  for (std::u16string_view piece : pieces) text += piece;
  return text;
}

void out(const std::u16string& text) {
  const std::string utf8 = toUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

// The member's value, or nothing when the control lacks it.
std::optional<Variant> read(const Object& o, std::u16string_view member) {
  try {
    return o.get(member);
  } catch (const Error&) {
    return std::nullopt;
  }
}

std::u16string quotedText(const Variant& v) {
  std::u16string text = u"\"";
  for (char16_t c : toText(v)) {
    if (c == u'\t') text += u"\\t";
    else if (c == u'\n') text += u"\\n";
    else if (c == u'"' || c == u'\\') (text += u'\\') += c;
    else text += c;
  }
  text += u'"';
  return text;
}

void property(std::u16string& line, const Object& o, std::u16string_view member, bool quoted = true) {
  const auto v = read(o, member);
  if (!v || (v->valueType() == VT_BSTR && v->text().empty())) return;
  line += u"  ";
  line += member;
  line += u"=";
  line += quoted ? quotedText(*v) : toText(*v);
}

void printControl(const Object& c) {
  std::u16string line = u"  ";
  line += c.typeName();
  line += u" ";
  line += c.get(u"Name").text();
  if (const auto index = read(c, u"Index")) line += join({u"[", toText(*index), u"]"});
  for (std::u16string_view member : {u"Caption", u"Text", u"Tag", u"DataField", u"ToolTipText"}) property(line, c, member);
  for (std::u16string_view member : {u"Value", u"BoundText", u"Checked"}) property(line, c, member, false);
  if (const auto style = read(c, u"Style")) line += join({u"  Style=", toText(*style)});
  property(line, c, u"DatabaseName");
  property(line, c, u"RecordSource");
  line += u"\n";
  out(line);
  if (const auto count = read(c, u"ListCount")) {
    for (std::int32_t i = 0; i < toInt32(*count); ++i) out(join({u"    item ", quotedText(c.get(u"List", {Variant(i)})), u"\n"}));
  }
  if (const auto tabs = read(c, u"Tabs")) {
    const Object list(*tabs);
    for (std::int32_t i = 1; i <= toInt32(list.get(u"Count")); ++i)
      out(join({u"    tab ", quotedText(Object(list.call(u"Item", i)).get(u"Caption")), u"\n"}));
  }
  if (const auto rows = read(c, u"Rows")) {
    const std::int32_t r = toInt32(*rows), n = toInt32(c.get(u"Cols"));
    for (std::int32_t i = 0; i < r; ++i) {
      std::u16string cells = u"    row";
      for (std::int32_t j = 0; j < n; ++j) cells += join({u" ", quotedText(c.get(u"TextMatrix", {Variant(i), Variant(j)}))});
      cells += u"\n";
      out(cells);
    }
  }
  if (const auto columns = read(c, u"Columns")) {
    std::u16string heads = u"    columns";
    for (const Object& col : frame::collectionItems(Object(*columns)))
      heads += join({u" ", quotedText(col.get(u"Caption")), u"(", toText(col.get(u"Width")), u")"});
    out(join({heads, u"  records=", toText(c.get(u"ApproxCount")), u"\n"}));
  }
}

// A Qt Designer file is XML; a form description never starts with '<'.
bool isDesignerFile(const std::string& path, const std::string& text) {
  if (path.size() > 3 && path.compare(path.size() - 3, 3, ".ui") == 0) return true;
  const auto first = std::find_if(text.begin(), text.end(), [](char c) { return !std::isspace(static_cast<unsigned char>(c)); });
  return first != text.end() && *first == '<';
}

}  // namespace

int formCommand(const std::vector<std::string_view>& args) {
  if (args.size() != 1) {
    std::fputs("usage: tarnwick form PATH\n", stderr);
    return 2;
  }
  const std::string path(args[0]);
  try {
    // Read once, through the host's own check: a FIFO or a folder is refused at once.
    const std::string text = host::readFormFile(path);
    // The tool runs on the headless host alone; Designer files need the Qt host.
    if (isDesignerFile(path, text)) {
      std::fprintf(stderr,
                   "%s is a Qt Designer file; tarnwick form reads only form descriptions (.form).\n"
                   "A program that uses the Qt host loads them with tarnwick::qt::loadUiForm.\n",
                   path.c_str());
      return 2;
    }
    std::error_code ec;
    const ComPtr<host::Form> form = host::loadFormText(text, std::filesystem::absolute(path, ec).parent_path());
    const Object f(static_cast<IDispatch*>(form.get()));
    std::u16string head = u"form ";
    head += f.get(u"Name").text();
    head += u"  Caption=";
    head += quotedText(f.get(u"Caption"));
    head += u"  Width=";
    head += toText(f.get(u"Width"));
    head += u"  Height=";
    head += toText(f.get(u"Height"));
    head += u"\n";
    out(head);
    for (const Object& c : frame::formControls(f)) printControl(c);
    return 0;
  } catch (const Error& e) {
    return fail(e);
  }
}
