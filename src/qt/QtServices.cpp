// The host's services on Qt: the screen, the system clipboard, message
// boxes, the application palette's selection colours and the window flags
// that keep a window on top.
#include "WidgetState.h"

#include <tarnwick/host/MessageLog.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/qt/QtHost.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <atomic>
#include <cmath>

namespace tarnwick::qt {

namespace {

QScreen* screenNow() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr; }

// Twips per pixel: an inch is 1440 twips, the screen's logical resolution tells its pixels.
int twipsPerPixel(bool horizontal) {
  const QScreen* s = screenNow();
  const double dpi = s ? (horizontal ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY()) : 96.0;
  return dpi > 0 ? std::max(1, static_cast<int>(std::lround(1440.0 / dpi))) : 15;
}

class QtScreen final : public host::Screen {
 public:
  std::int16_t twipsPerPixelX() const override { return static_cast<std::int16_t>(twipsPerPixel(true)); }
  std::int16_t twipsPerPixelY() const override { return static_cast<std::int16_t>(twipsPerPixel(false)); }
  double width() const override {
    const QScreen* s = screenNow();
    return (s ? s->geometry().width() : 1024) * static_cast<double>(twipsPerPixelX());
  }
  double height() const override {
    const QScreen* s = screenNow();
    return (s ? s->geometry().height() : 768) * static_cast<double>(twipsPerPixelY());
  }
};

class QtClipboard final : public host::Clipboard {
 public:
  void clear() override { QGuiApplication::clipboard()->clear(); }
  void setText(std::u16string text) override { QGuiApplication::clipboard()->setText(impl::qtext(text)); }
  std::u16string text() const override { return impl::utext(QGuiApplication::clipboard()->text()); }
  bool hasText() const override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
  }
};

std::atomic<MessageBoxes> messageBoxes{MessageBoxes::ByPlatform};

// The offscreen and minimal platforms draw into memory only: a modal box
// there would wait for ever for a click nobody can give.
bool nobodySees() {
  switch (messageBoxes.load()) {
    case MessageBoxes::Shown: return false;
    case MessageBoxes::Unattended: return true;
    case MessageBoxes::ByPlatform: break;
  }
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

class QtMessageBox final : public host::MessageBox {
 public:
  std::int32_t show(const std::u16string& prompt, std::int32_t buttons, const std::u16string& title) override {
    const std::vector<std::int32_t> offered = host::buttonsOf(buttons);
    if (offered.empty()) raise(errc::InvalidProcedureCall);
    if (nobodySees()) return host::answerUnattended(prompt, buttons, title);
    const QPointer<QWidget> before = QApplication::activeWindow();
    QMessageBox box;
    box.setText(impl::qtext(prompt));
    box.setWindowTitle(title.empty() ? QApplication::applicationName() : impl::qtext(title));
    switch (buttons & 0x70) {
      case host::mb::Critical: box.setIcon(QMessageBox::Critical); break;
      case host::mb::Question: box.setIcon(QMessageBox::Question); break;
      case host::mb::Exclamation: box.setIcon(QMessageBox::Warning); break;
      case host::mb::Information: box.setIcon(QMessageBox::Information); break;
      default: break;
    }
    static constexpr std::pair<std::int32_t, QMessageBox::StandardButton> kButtons[] = {
        {host::mb::OK, QMessageBox::Ok},         {host::mb::Cancel, QMessageBox::Cancel},
        {host::mb::Abort, QMessageBox::Abort},   {host::mb::Retry, QMessageBox::Retry},
        {host::mb::Ignore, QMessageBox::Ignore}, {host::mb::Yes, QMessageBox::Yes},
        {host::mb::No, QMessageBox::No}};
    std::vector<std::pair<QAbstractButton*, std::int32_t>> made;
    for (std::int32_t answer : offered)
      for (const auto& [code, standard] : kButtons)
        if (code == answer) made.emplace_back(box.addButton(standard), answer);
    const std::size_t preferred = (buttons & host::mb::DefaultButton3) ? 2 : (buttons & host::mb::DefaultButton2) ? 1 : 0;
    if (preferred < made.size()) box.setDefaultButton(qobject_cast<QPushButton*>(made[preferred].first));
    box.exec();
    // The keyboard goes back to the window the user was in, also where no
    // window manager hands it back when the box goes.
    if (before && before->isVisible()) before->activateWindow();
    for (const auto& [button, answer] : made)
      if (box.clickedButton() == button) return answer;
    // Closed without a button: Cancel where the box has it, else its default.
    for (const auto& [button, answer] : made)
      if (answer == host::mb::Cancel) return answer;
    return made[std::min(preferred, made.size() - 1)].second;
  }
};

// The metrics of the application's style: frame edges and scroll bars as
// Qt draws them, the title bar's height; the screen from the screen service.
class QtSystemMetrics final : public host::SystemMetrics {
 public:
  std::int32_t metric(std::int32_t index) const override {
    const QStyle* style = QApplication::style();
    switch (index) {
      case 2:
      case 3: return style->pixelMetric(QStyle::PM_ScrollBarExtent);
      case 4: return style->pixelMetric(QStyle::PM_TitleBarHeight);
      case host::SM_CXEDGE:
      case host::SM_CYEDGE: return style->pixelMetric(QStyle::PM_DefaultFrameWidth);
      default: return plain_.metric(index);
    }
  }

 private:
  host::HeadlessSystemMetrics plain_;
};

// COLORREF is 0x00BBGGRR.
std::uint32_t colourRef(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}
QColor fromColourRef(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

// The selection colours are the application palette's; the other entries
// keep the classic table.
class QtSystemColours final : public host::SystemColours {
 public:
  std::uint32_t colour(std::int32_t index) const override {
    if (index == host::COLOR_HIGHLIGHT) return colourRef(QApplication::palette().color(QPalette::Highlight));
    if (index == host::COLOR_HIGHLIGHTTEXT) return colourRef(QApplication::palette().color(QPalette::HighlightedText));
    return table_.colour(index);
  }
  bool setColour(std::int32_t index, std::uint32_t colour) override {
    if (index != host::COLOR_HIGHLIGHT && index != host::COLOR_HIGHLIGHTTEXT) return table_.setColour(index, colour);
    QPalette palette = QApplication::palette();
    palette.setColor(index == host::COLOR_HIGHLIGHT ? QPalette::Highlight : QPalette::HighlightedText,
                     fromColourRef(colour));
    QApplication::setPalette(palette);
    return true;
  }

 private:
  host::HeadlessSystemColours table_;
};

// The stacking order is kept as on the headless host; the Qt windows of
// the forms follow it: topmost windows get the stay-on-top flag, a window
// put on top is raised, one put at the bottom lowered.
class QtWindowStack final : public host::WindowStack {
 public:
  void addWindow(std::int32_t handle) override { order_.addWindow(handle); }
  void removeWindow(std::int32_t handle) override { order_.removeWindow(handle); }
  bool setWindowPos(std::int32_t handle, std::int32_t insertAfter, std::int32_t x, std::int32_t y, std::int32_t cx,
                    std::int32_t cy, std::uint32_t flags) override {
    if (!order_.setWindowPos(handle, insertAfter, x, y, cx, cy, flags)) return false;
    if (QWidget* w = impl::windowOfHandle(handle)) {
      const bool topmost = order_.isTopmost(handle);
      if (w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != topmost) {
        const bool shown = w->isVisible();
        w->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
        if (shown) w->show();  // changing a window's flags hides it
      }
      if (!(flags & host::SWP_NOZORDER)) {
        if (insertAfter == host::HWND_BOTTOM) w->lower();
        else w->raise();
      }
    }
    return true;
  }
  bool isTopmost(std::int32_t handle) const override { return order_.isTopmost(handle); }
  std::vector<std::int32_t> order() const override { return order_.order(); }

 private:
  host::HeadlessWindowStack order_;
};

}  // namespace

void setMessageBoxes(MessageBoxes mode) { messageBoxes = mode; }

int twipsPerPixelX() { return twipsPerPixel(true); }
int twipsPerPixelY() { return twipsPerPixel(false); }

void installServices() {
  impl::requireApplication();
  host::setScreen(std::make_shared<QtScreen>());
  host::setClipboard(std::make_shared<QtClipboard>());
  host::setMessageBox(std::make_shared<QtMessageBox>());
  host::setSystemColours(std::make_shared<QtSystemColours>());
  host::setSystemMetrics(std::make_shared<QtSystemMetrics>());
  installProgress();
  // Windows made before keep their places in the new stack.
  const auto previous = host::windowStack()->order();
  auto stack = std::make_shared<QtWindowStack>();
  for (auto it = previous.rbegin(); it != previous.rend(); ++it) stack->addWindow(*it);
  host::setWindowStack(stack);
}

}  // namespace tarnwick::qt
