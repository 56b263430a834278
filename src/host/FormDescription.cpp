#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/FileIo.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/Services.h>

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <initializer_list>
#include <cmath>

namespace tarnwick::host {

namespace {

struct Token {
  enum Kind { Name, Text, Number, Punct } kind;
  std::u16string text;
  double number = 0;
};

// The error for a description's line; the text comes in pieces.
[[noreturn]] void fail(std::int32_t number, std::size_t line, std::initializer_list<std::u16string_view> what) {
  std::u16string text = u"line ";
  text += fromUtf8(std::to_string(line));
  text += u": ";
  for (std::u16string_view piece : what) text += piece;
  raise(Error(number, std::move(text)));
}
[[noreturn]] void fail(std::int32_t number, std::size_t line, std::u16string_view what) { fail(number, line, {what}); }

std::u16string inQuotes(std::u16string_view name) {
  std::u16string out = u"'";
  out += name;
  out += u"'";
  return out;
}

std::vector<Token> tokenize(std::u16string_view line, std::size_t lineNo) {
  std::vector<Token> out;
  std::size_t i = 0;
  auto isNameChar = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c > 0x7F;
  };
  while (i < line.size()) {
    const char16_t c = line[i];
    if (c == u' ' || c == u'\t' || c == u'\r') {
      ++i;
    } else if (c == u'#') {
      break;  // the rest of the line is a comment
    } else if (c == u'"') {
      std::u16string text;
      ++i;
      for (;;) {
        if (i >= line.size()) fail(errc::InvalidProcedureCall, lineNo, u"text without its closing quote");
        const char16_t d = line[i++];
        if (d == u'"') break;
        if (text.size() == kLongestFormText)
          fail(errc::InvalidProcedureCall, lineNo, {u"a text holds at most ", fromUtf8(std::to_string(kLongestFormText)), u" characters"});
        if (d != u'\\') {
          text += d;
          continue;
        }
        if (i >= line.size()) fail(errc::InvalidProcedureCall, lineNo, u"text without its closing quote");
        switch (const char16_t e = line[i++]) {
          case u't': text += u'\t'; break;
          case u'n': text += u'\n'; break;
          case u'r': text += u'\r'; break;
          case u'"':
          case u'\\': text += e; break;
          default: fail(errc::InvalidProcedureCall, lineNo, {u"unknown escape \\", std::u16string(1, e)});
        }
      }
      out.push_back(Token{Token::Text, std::move(text)});
    } else if ((c >= u'0' && c <= u'9') || ((c == u'-' || c == u'.') && i + 1 < line.size() &&
                                            ((line[i + 1] >= u'0' && line[i + 1] <= u'9') || line[i + 1] == u'.'))) {
      std::size_t end = i + 1;
      while (end < line.size() && (isNameChar(line[end]) || line[end] == u'.' ||
                                   ((line[end] == u'-' || line[end] == u'+') && (line[end - 1] | 0x20) == u'e')))
        ++end;
      const std::string ascii = toUtf8(line.substr(i, end - i));
      double value = 0;
      const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
      if (ec != std::errc() || ptr != ascii.data() + ascii.size())
        fail(errc::TypeMismatch, lineNo, {u"not a number: ", fromUtf8(ascii)});
      out.push_back(Token{Token::Number, fromUtf8(ascii), value});
      i = end;
    } else if (isNameChar(c)) {
      std::size_t end = i;
      while (end < line.size() && isNameChar(line[end])) ++end;
      out.push_back(Token{Token::Name, std::u16string(line.substr(i, end - i))});
      i = end;
    } else if (std::u16string_view(u"{}()[]=,").find(c) != std::u16string_view::npos) {
      out.push_back(Token{Token::Punct, std::u16string(1, c)});
      ++i;
    } else {
      fail(errc::InvalidProcedureCall, lineNo, {u"unexpected character ", inQuotes(std::u16string(1, c))});
    }
  }
  return out;
}

bool isPunct(const Token& t, char16_t c) { return t.kind == Token::Punct && t.text.size() == 1 && t.text[0] == c; }

struct Reference {
  std::size_t line;
  Control* control;
  std::u16string member;
  std::u16string target;
};

class Loader {
 public:
  Loader(std::filesystem::path folder) : folder_(std::move(folder)) {}

  ComPtr<Form> load(std::u16string_view text) {
    std::size_t lineNo = 0, start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find(u'\n', start);
      if (end == std::u16string_view::npos) end = text.size();
      ++lineNo;
      statement(tokenize(text.substr(start, end - start), lineNo), lineNo);
      start = end + 1;
    }
    if (!form_) fail(errc::InvalidProcedureCall, lineNo, u"the description has no form");
    if (!closed_) fail(errc::InvalidProcedureCall, lineNo, u"the form's block is not closed with }");
    for (const Reference& r : references_) {
      Control* target = form_->find(r.target);
      if (!target) fail(errc::InvalidPropertyValue, r.line, {u"no control named ", inQuotes(r.target), u" on the form"});
      apply(r.line, *r.control, r.member, {}, Variant(static_cast<IDispatch*>(target)));
    }
    form_->setDesignMode(false);
    // Data controls open their recordsets when the form has loaded.
    for (const auto& [line, data] : dataControls_) {
      try {
        impl::dataRecordset(*data);
      } catch (const Error& e) {
        fail(e.number(), line, {data->name(), u": ", e.description()});
      }
    }
    return std::move(form_);
  }

 private:
  Variant value(const Token& t, std::size_t line) {
    switch (t.kind) {
      case Token::Text: return Variant(t.text);
      case Token::Number: {
        if (t.number == std::floor(t.number) && std::fabs(t.number) <= 2147483647.0 &&
            t.text.find_first_of(u".eE") == std::u16string::npos)
          return Variant(static_cast<std::int32_t>(t.number));
        return Variant(t.number);
      }
      case Token::Name:
        if (equalsIgnoreCase(t.text, u"True")) return Variant(true);
        if (equalsIgnoreCase(t.text, u"False")) return Variant(false);
        fail(errc::InvalidPropertyValue, line, {u"unexpected name ", inQuotes(t.text)});
      case Token::Punct: break;
    }
    fail(errc::InvalidProcedureCall, line, u"a value is missing");
  }

  // Values separated by commas, from tokens [from, to).
  std::vector<Variant> values(const std::vector<Token>& t, std::size_t from, std::size_t to, std::size_t line) {
    std::vector<Variant> out;
    for (std::size_t i = from; i < to; ++i) {
      if (!out.empty() || i > from) {
        if (!isPunct(t[i], u',')) fail(errc::InvalidProcedureCall, line, u"a comma is missing between values");
        if (++i >= to) fail(errc::InvalidProcedureCall, line, u"a value is missing after the comma");
      }
      out.push_back(value(t[i], line));
    }
    return out;
  }

  std::u16string ownerName() const { return current_ ? std::u16string(current_->instanceTypeName()) : u"Form"; }

  // Sets a member through the object's own rules, naming the line on failure.
  void apply(std::size_t line, IDispatch* target, std::u16string_view kind, const std::u16string& member,
             std::vector<Variant> indices, const Variant& v) {
    const Object object(target);
    DISPID id = 0;
    try {
      id = object.idOf(member);
    } catch (const Error&) {
      fail(errc::MemberNotSupported, line, {u"unknown property ", inQuotes(member), u" for ", std::u16string(kind)});
    }
    try {
      object.invoke(id, v.valueType() == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, indices, &v);
    } catch (const Error& e) {
      fail(e.number(), line, {member, u": ", e.description()});
    }
  }
  void apply(std::size_t line, Control& c, const std::u16string& member, std::vector<Variant> indices,
             const Variant& v) {
    apply(line, &c, c.instanceTypeName(), member, std::move(indices), v);
  }

  void call(std::size_t line, const std::u16string& member, std::vector<Variant> args) {
    IDispatch* target = current_ ? static_cast<IDispatch*>(current_) : static_cast<IDispatch*>(form_.get());
    const Object object(target);
    if (current_ && current_->kind() == ControlKind::TabStrip && equalsIgnoreCase(member, u"Tab")) {
      if (args.size() != 1) fail(errc::WrongArgumentCount, line, u"Tab takes one caption");
      return guarded(line, member, [&] {
        Object(object.get(u"Tabs")).call(u"Add", Variant::missing(), Variant::missing(), args[0]);
      });
    }
    if (current_ && current_->kind() == ControlKind::DBGrid && equalsIgnoreCase(member, u"Column")) {
      if (args.size() < 2 || args.size() > 3) fail(errc::WrongArgumentCount, line, u"Column takes a caption, a field and a width");
      return guarded(line, member, [&] {
        const Object columns(object.get(u"Columns"));
        const Object column(columns.call(u"Add", columns.get(u"Count")));
        column.put(u"Caption", args[0]);
        column.put(u"DataField", args[1]);
        if (args.size() == 3) column.put(u"Width", args[2]);
      });
    }
    DISPID id = 0;
    try {
      id = object.idOf(member);
    } catch (const Error&) {
      fail(errc::MemberNotSupported, line, {u"unknown member ", inQuotes(member), u" for ", ownerName()});
    }
    guarded(line, member, [&] { object.invoke(id, DISPATCH_METHOD, args, nullptr); });
  }

  template <typename F>
  void guarded(std::size_t line, const std::u16string& member, F&& body) {
    try {
      body();
    } catch (const Error& e) {
      fail(e.number(), line, {member, u": ", e.description()});
    }
  }

  void statement(const std::vector<Token>& t, std::size_t line) {
    if (t.empty()) return;
    if (closed_) fail(errc::InvalidProcedureCall, line, u"text after the end of the form");
    if (isPunct(t[0], u'}')) {
      if (t.size() != 1) fail(errc::InvalidProcedureCall, line, u"} stands alone on its line");
      if (!form_) fail(errc::InvalidProcedureCall, line, u"} without an open block");
      if (current_) current_ = stack_.empty() ? nullptr : pop();
      else closed_ = true;
      return;
    }
    if (t[0].kind != Token::Name) fail(errc::InvalidProcedureCall, line, u"a statement starts with a name");
    // A block: form NAME {  or  KIND NAME[INDEX] {
    if (isPunct(t.back(), u'{')) return block(t, line);
    if (!form_) fail(errc::InvalidProcedureCall, line, u"the description starts with: form NAME {");
    const std::u16string& member = t[0].text;
    // NAME(INDEXES) = VALUE  or  NAME = VALUE
    std::size_t at = 1;
    std::vector<Variant> indices;
    if (t.size() > 1 && isPunct(t[1], u'(')) {
      std::size_t close = 2;
      while (close < t.size() && !isPunct(t[close], u')')) ++close;
      if (close == t.size()) fail(errc::InvalidProcedureCall, line, u"( without )");
      indices = values(t, 2, close, line);
      at = close + 1;
    }
    if (at < t.size() && isPunct(t[at], u'=')) {
      if (at + 2 != t.size()) fail(errc::InvalidProcedureCall, line, u"one value follows =");
      const Token& v = t[at + 1];
      if (v.kind == Token::Name && !equalsIgnoreCase(v.text, u"True") && !equalsIgnoreCase(v.text, u"False")) {
        if (!current_) fail(errc::InvalidPropertyValue, line, {u"unexpected name ", inQuotes(v.text)});
        if (!current_->hasMember(member))
          fail(errc::MemberNotSupported, line, {u"unknown property ", inQuotes(member), u" for ", ownerName()});
        references_.push_back(Reference{line, current_, member, v.text});
        return;
      }
      Variant assigned = value(v, line);
      if (current_ && current_->kind() == ControlKind::Data && equalsIgnoreCase(member, u"DatabaseName") &&
          assigned.valueType() == VT_BSTR) {
        const std::filesystem::path named(toUtf8(assigned.text()));
        // A file named alone is the form's neighbour; a server's URI
        // ("postgresql://...") is no file at all.
        const bool uri = named.native().find("://") != std::string::npos;
        if (!named.empty() && named.is_relative() && !folder_.empty() && !uri)
          assigned = Variant(fromUtf8((folder_ / named).string()));
      }
      if (current_) apply(line, *current_, member, std::move(indices), assigned);
      else apply(line, form_.get(), u"Form", member, std::move(indices), assigned);
      return;
    }
    if (!indices.empty() || at != 1) fail(errc::InvalidProcedureCall, line, u"= is missing");
    call(line, member, values(t, 1, t.size(), line));
  }

  Control* pop() {
    Control* c = stack_.back();
    stack_.pop_back();
    return c;
  }

  void block(const std::vector<Token>& t, std::size_t line) {
    if (equalsIgnoreCase(t[0].text, u"form")) {
      if (form_) fail(errc::InvalidProcedureCall, line, u"a description holds one form");
      if (t.size() != 3 || t[1].kind != Token::Name) fail(errc::InvalidProcedureCall, line, u"write: form NAME {");
      try {
        form_ = Form::create(t[1].text);
      } catch (const Error&) {
        fail(errc::InvalidPropertyValue, line, {u"not a valid form name: ", inQuotes(t[1].text)});
      }
      form_->setDesignMode(true);
      return;
    }
    if (!form_) fail(errc::InvalidProcedureCall, line, u"the description starts with: form NAME {");
    const auto kind = kindOfTypeName(t[0].text);
    if (!kind) fail(errc::InvalidProcedureCall, line, {u"unknown control type ", inQuotes(t[0].text)});
    std::optional<std::int16_t> index;
    if (t.size() == 6 && isPunct(t[2], u'[') && isPunct(t[4], u']') && t[3].kind == Token::Number) {
      if (t[3].number != std::floor(t[3].number) || t[3].number < 0 || t[3].number > 32767)
        fail(errc::InvalidPropertyValue, line, u"an index is a whole number from 0 to 32767");
      index = static_cast<std::int16_t>(t[3].number);
    } else if (t.size() != 3 || t[1].kind != Token::Name) {
      fail(errc::InvalidProcedureCall, line, u"write: TYPE NAME {  or  TYPE NAME[INDEX] {");
    }
    if (t[1].kind != Token::Name) fail(errc::InvalidProcedureCall, line, u"a control needs a name");
    if (current_ && current_->kind() != ControlKind::Frame && current_->kind() != ControlKind::Panel)
      fail(errc::InvalidProcedureCall, line, {u"a ", ownerName(), u" cannot contain controls"});
    // The new control's depth: 1 on the form, one more inside each container.
    if (stack_.size() + (current_ ? 2 : 1) > kDeepestControlNesting)
      fail(errc::InvalidProcedureCall, line,
           {u"controls nest at most ", fromUtf8(std::to_string(kDeepestControlNesting)), u" deep"});
    if (form_->controls().size() == kMostFormControls)
      fail(errc::InvalidProcedureCall, line,
           {u"a form holds at most ", fromUtf8(std::to_string(kMostFormControls)), u" controls"});
    Control* added = nullptr;
    try {
      added = &form_->add(*kind, t[1].text, index, current_);
    } catch (const Error& e) {
      fail(e.number(), line, {t[1].text, u": ", e.description()});
    }
    if (current_) stack_.push_back(current_);
    current_ = added;
    if (*kind == ControlKind::Data) dataControls_.emplace_back(line, added);
  }

  std::filesystem::path folder_;
  ComPtr<Form> form_;
  Control* current_ = nullptr;
  std::vector<Control*> stack_;
  bool closed_ = false;
  std::vector<Reference> references_;
  std::vector<std::pair<std::size_t, Control*>> dataControls_;
};

}  // namespace

ComPtr<Form> loadFormText(std::string_view text, const std::filesystem::path& folder) {
  return Loader(folder).load(fromUtf8(text));
}

ComPtr<Form> FormFactory::loadDesigned(const std::filesystem::path&) { return {}; }

std::string readFormFile(const std::filesystem::path& path) {
  const auto fault = [&] { return u"file " + quotedName(fromUtf8(path.string())); };
  const frame::impl::Descriptor file(frame::impl::openRegularFile(path));
  if (file.get() < 0) {
    raise(Error(errno == ENOENT || errno == ENOTDIR ? errc::FileNotFound : errc::PathFileAccessError).noted(fault()));
  }
  const auto tooLarge = [&] {
    std::u16string what = u"a form file holds at most ";
    what += fromUtf8(std::to_string(kLargestFormFile));
    what += u" bytes";
    raise(Error(errc::InvalidProcedureCall, std::move(what)).noted(fault()));
  };
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) raise(Error(errc::PathFileAccessError).noted(fault()));
  if (static_cast<std::uintmax_t>(st.st_size) > kLargestFormFile) tooLarge();
  std::string bytes;
  if (!frame::impl::readWhole(file.get(), bytes)) raise(Error(errc::PathFileAccessError).noted(fault()));
  // A file that grew while it was read.
  if (bytes.size() > kLargestFormFile) tooLarge();
  return bytes;
}

ComPtr<Form> loadForm(const std::filesystem::path& path) {
  // What is no regular file is refused before a host's own loader sees it.
  std::string text = readFormFile(path);
  if (ComPtr<Form> designed = formFactory()->loadDesigned(path)) return designed;
  std::error_code ec;
  return loadFormText(text, std::filesystem::absolute(path, ec).parent_path());
}

}  // namespace tarnwick::host
