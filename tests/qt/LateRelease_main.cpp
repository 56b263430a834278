// A form a client releases only after Qt's application object is gone (held
// in a static, say) must end quietly: its window is left alone, nothing of
// Qt is touched, and the program exits with 0.
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/qt/QtHost.h>

#include <QApplication>

#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  auto app = std::make_unique<QApplication>(argc, argv);
  tarnwick::qt::installForms();
  tarnwick::ComPtr<tarnwick::host::Form> form = tarnwick::host::Form::create(u"frmLate");
  form->add(tarnwick::host::ControlKind::TextBox, u"txtLate");
  tarnwick::Object(static_cast<tarnwick::IDispatch*>(form.get())).call(u"Show");
  app.reset();
  form = {};  // the window stays: Qt is gone
  return 0;
}
