// Uses the installed Qt host through find_package(Tarnwick) and Tarnwick::qt:
// a form made through the host is a real Qt window, and a value put into
// its text box by name shows in the widget.
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/qt/QtHost.h>

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  using namespace tarnwick;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  qt::installHost();
  bool ok = false;
  {
    ComPtr<host::Form> form = host::Form::create(u"frmConsumer");
    host::Control& name = form->add(host::ControlKind::TextBox, u"txtName");
    Object(static_cast<IDispatch*>(&name)).put(u"Text", Variant(u"Ada"));
    auto* edit = qobject_cast<QLineEdit*>(qt::widgetOf(name));
    ok = qt::windowOf(*form.get()) != nullptr && edit && edit->text() == QStringLiteral("Ada");
  }
  host::resetServices();
  std::printf("consumer_qt: %s\n", ok ? "ok" : "WRONG");
  return ok ? 0 : 1;
}
