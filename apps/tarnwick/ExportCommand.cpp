// tarnwick export DATABASE SOURCE --format csv|xlsx|pdf -o FILE [options]:
// writes a table, or what an SQL statement selects, to a file, through the
// library's class "Tarnwick.Export" as any client reaches it.
#include "Commands.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/ErrorCatalogue.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>

#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>

#ifdef TARNWICK_TOOL_PRINTS
#include <tarnwick/qt/QtHost.h>

#include <QApplication>
#endif

namespace {

constexpr const char* kExportUsage =
    "usage: tarnwick export DATABASE SOURCE [--format csv|xlsx|pdf] -o FILE\n"
    "         [--separator C] [--decimal C] [--bom] [--iso-dates] [--date-format PATTERN]\n"
    "         [--no-header] [--paste-form] [--locale en-US|de-DE] [--title TEXT]\n"
    "  DATABASE: a database file or a server's URI; SOURCE: a table's name or an SQL statement.\n"
    "  The format is the file's extension unless --format names one.\n";

// The Export object's property each option sets, and whether it takes a value.
struct Option {
  std::string_view flag;
  const char16_t* property;
  bool takesValue;
};
constexpr Option kOptions[] = {
    {"--format", u"Format", true},        {"--separator", u"Separator", true}, {"--decimal", u"DecimalSeparator", true},
    {"--date-format", u"DateFormat", true}, {"--locale", u"Locale", true},     {"--title", u"Title", true},
    {"--bom", u"ByteOrderMark", false},   {"--iso-dates", u"IsoDates", false},
    {"--paste-form", u"PasteForm", false}, {"--no-header", u"Header", false},
};

// A PDF is printed by the Qt host: the tool makes it the host for the
// command, on the offscreen platform where there is no display.
class PrintingHost {
 public:
  explicit PrintingHost(bool needed) {
#ifdef TARNWICK_TOOL_PRINTS
    if (!needed) return;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app_ = std::make_unique<QApplication>(argc_, argv_);
    tarnwick::qt::installHost();
#else
    (void)needed;
#endif
  }

 private:
#ifdef TARNWICK_TOOL_PRINTS
  int argc_ = 1;
  char name_[9] = "tarnwick";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
#endif
};

bool endsWithPdf(std::string_view text) {
  if (text.size() < 4) return false;
  std::string end(text.substr(text.size() - 4));
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".pdf" || end == "=pdf";
}

}  // namespace

int exportCommand(const std::vector<std::string_view>& args) {
  using namespace tarnwick;
  std::vector<std::string_view> positional;
  std::string_view file;
  try {
    const Object exporter(frame::createObject(u"Tarnwick.Export"));
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "-o" && i + 1 < args.size()) {
        file = args[++i];
        continue;
      }
      const Option* option = nullptr;
      for (const Option& o : kOptions)
        if (o.flag == args[i]) option = &o;
      if (!option && args[i].starts_with("-")) {
        std::fputs(kExportUsage, stderr);
        return 2;
      }
      if (!option) {
        positional.push_back(args[i]);
      } else if (!option->takesValue) {
        exporter.put(option->property, Variant(args[i] != "--no-header"));
      } else if (i + 1 < args.size()) {
        exporter.put(option->property, Variant(fromUtf8(args[++i])));
      } else {
        std::fputs(kExportUsage, stderr);
        return 2;
      }
    }
    if (positional.size() != 2 || file.empty()) {
      std::fputs(kExportUsage, stderr);
      return 2;
    }
    bool pdf = endsWithPdf(file);
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
      if (args[i] == "--format") pdf = args[i + 1] == "pdf" || args[i + 1] == "PDF";
    const PrintingHost host(pdf);
    const Variant rows = exporter.call(u"ExportFile", Variant(fromUtf8(positional[1])), Variant(fromUtf8(file)),
                                       Variant(fromUtf8(positional[0])));
    std::printf("%s: %d rows\n", std::string(file).c_str(), toInt32(rows));
  } catch (const Error& e) {
    return fail(e);
  }
  return 0;
}
