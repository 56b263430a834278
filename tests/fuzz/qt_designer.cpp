// The Qt Designer loader: any file loads as a form or is refused: 75 with
// the loader's message, 380 for a window without a usable name, 5 for two
// controls of one name. Nothing else escapes, nothing leaks.
#include "FuzzInput.h"

#include <tarnwick/qt/QtHost.h>

#include <QApplication>
#include <QWidget>

#include <fstream>

using namespace tarnwick;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt's complaints about a broken file are the loader's to report.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  static QApplication application(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::filesystem::path path = fuzz::scratchFolder() / "form.ui";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << input.rest();
  try {
    const ComPtr<host::Form> form = qt::loadUiForm(path);
    delete qt::windowOf(*form.get());
  } catch (const Error& e) {
    const std::int32_t n = e.number();
    fuzz::check(n == errc::PathFileAccessError || n == errc::InvalidPropertyValue || n == errc::InvalidProcedureCall,
                "unexpected error", e.description());
  }
  return 0;
}
