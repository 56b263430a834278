// The state of a form on its top-level window.
#include "WidgetStates.h"

namespace tarnwick::qt::impl {

namespace {

class WindowState final : public WidgetState {
 public:
  WindowState(QWidget* window, bool designed, bool owned) : WidgetState(window, designed), owned_(owned) {}
  ~WindowState() override {
    // A form released after Qt's application object (a client's static, say)
    // finds its window's resources gone with Qt: the window is left alone.
    if (owned_ && hasApplication()) delete widget();
  }

 protected:
  std::optional<Variant> read(Property p) const override {
    QWidget* w = widget();
    switch (p) {
      case Property::Visible: return Variant(w->isVisible());
      case Property::WindowState: {
        const Qt::WindowStates s = w->windowState();
        return Variant(static_cast<std::int16_t>(s & Qt::WindowMinimized ? 1 : s & Qt::WindowMaximized ? 2 : 0));
      }
      case Property::Caption: return Variant(utext(w->windowTitle()));
      case Property::Left:
      case Property::Top:
      case Property::Width:
      case Property::Height:
        // A minimised or maximised window keeps its normal place and size as the form's.
        if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) return std::nullopt;
        return WidgetState::read(p);
      default: return WidgetState::read(p);
    }
  }
  void write(Property p, const Variant& value) override {
    QWidget* w = widget();
    switch (p) {
      case Property::Caption: return w->setWindowTitle(qtextOf(value));
      case Property::WindowState: {
        const int s = intOf(value);
        w->setWindowState(s == 1 ? Qt::WindowMinimized : s == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
        // Back to normal, the window takes the place and size the form kept.
        if (s == 0)
          for (Property g : {Property::Left, Property::Top, Property::Width, Property::Height})
            WidgetState::write(g, store().get(g));
        return;
      }
      case Property::Left:
      case Property::Top:
      case Property::Width:
      case Property::Height:
        // Moving a minimised or maximised window would make it normal again:
        // the form keeps the values until it is.
        if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) return;
        return WidgetState::write(p, value);
      case Property::Tag: w->setProperty("Tag", qtextOf(value)); return;
      case Property::Name: return;
      default: WidgetState::write(p, value);
    }
  }
  void adopt() override {
    WidgetState::adopt();
    QWidget* w = widget();
    if (!w->windowTitle().isEmpty()) store().set(Property::Caption, Variant(utext(w->windowTitle())));
    store().set(Property::Visible, Variant(w->isVisible()));
  }
  void focus() override {
    if (QWidget* w = widget()) {
      w->activateWindow();
      w->setFocus(Qt::OtherFocusReason);
    }
  }

 private:
  bool owned_;
};

}  // namespace

std::unique_ptr<WidgetState> makeWindowState(QWidget* window, bool designed, bool owned) {
  return std::make_unique<WindowState>(window, designed, owned);
}

}  // namespace tarnwick::qt::impl
