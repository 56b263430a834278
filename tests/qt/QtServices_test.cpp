// The host's services on Qt: the screen's twips per pixel from its logical
// resolution, the system clipboard, message boxes, the selection colours
// from the application palette, stay-on-top windows.
#include "QtTesting.h"

#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/HostObject.h>
#include <tarnwick/host/Services.h>

#include <QApplication>
#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPalette>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

struct QtServices : ::testing::Test {
  void SetUp() override { qt::installServices(); }
  void TearDown() override {
    qt::setMessageBoxes(qt::MessageBoxes::ByPlatform);
    QApplication::setPalette(palette_);
    host::resetServices();
    host::setWindowStack(nullptr);
  }
  Object host{frame::createObject(host::kHostProgId)};

 private:
  QPalette palette_ = QApplication::palette();
};

TEST_F(QtServices, ScreenFromTheLogicalResolution) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const int tppX = qRound(1440.0 / screen->logicalDotsPerInchX());
  const int tppY = qRound(1440.0 / screen->logicalDotsPerInchY());
  EXPECT_EQ(qt::twipsPerPixelX(), tppX);
  EXPECT_EQ(qt::twipsPerPixelY(), tppY);
  EXPECT_EQ(host::screen()->twipsPerPixelX(), tppX);
  const Object s(host.get(u"Screen"));
  EXPECT_EQ(toInt32(s.get(u"TwipsPerPixelX")), tppX);
  EXPECT_EQ(toInt32(s.get(u"TwipsPerPixelY")), tppY);
  EXPECT_EQ(toDouble(s.get(u"Width")), static_cast<double>(screen->geometry().width()) * tppX);
  EXPECT_EQ(toDouble(s.get(u"Height")), static_cast<double>(screen->geometry().height()) * tppY);
  EXPECT_EQ(toInt32(host.call(u"GetSystemMetrics", 0)), screen->geometry().width());
  // Frame edges and scroll bars as the application's style draws them.
  const QStyle* style = QApplication::style();
  EXPECT_EQ(toInt32(host.call(u"GetSystemMetrics", host::SM_CXEDGE)), style->pixelMetric(QStyle::PM_DefaultFrameWidth));
  EXPECT_EQ(toInt32(host.call(u"GetSystemMetrics", 2)), style->pixelMetric(QStyle::PM_ScrollBarExtent));
  EXPECT_EQ(toInt32(host.call(u"GetSystemMetrics", 999)), 0);  // an index the system does not know
}

TEST_F(QtServices, ClipboardIsTheSystemClipboard) {
  QClipboard* system = QGuiApplication::clipboard();
  const Object c(host.get(u"Clipboard"));
  c.call(u"SetText", u"a\tb\rc\td\r");
  EXPECT_EQ(system->text(), QStringLiteral("a\tb\rc\td\r"));
  system->setText(QStringLiteral("from another program"));
  EXPECT_EQ(toText(c.call(u"GetText")), u"from another program");
  EXPECT_TRUE(toBool(c.call(u"GetFormat", 1)));
  EXPECT_EQ(host::clipboard()->text(), u"from another program");
  c.call(u"Clear");
  EXPECT_TRUE(system->text().isEmpty());
  EXPECT_FALSE(toBool(c.call(u"GetFormat", 1)));
  EXPECT_EQ(toText(c.call(u"GetText")), u"");
}

// COLORREF: 0x00BBGGRR.
std::uint32_t colourRef(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

TEST_F(QtServices, SelectionColoursAreThePalettes) {
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Highlight, QColor(0x12, 0x34, 0x56));
  palette.setColor(QPalette::HighlightedText, QColor(0xAB, 0xCD, 0xEF));
  QApplication::setPalette(palette);
  EXPECT_EQ(toInt32(host.call(u"GetSysColor", host::COLOR_HIGHLIGHT)), 0x563412);
  EXPECT_EQ(toInt32(host.call(u"GetSysColor", host::COLOR_HIGHLIGHTTEXT)), 0xEFCDAB);
  EXPECT_EQ(host::systemColours()->colour(host::COLOR_HIGHLIGHT), 0x563412u);
  // Setting them sets the palette every widget draws its selection with.
  EXPECT_TRUE(toBool(host.call(u"SetSysColors", host::COLOR_HIGHLIGHT, 0xFFFFFF)));
  EXPECT_TRUE(toBool(host.call(u"SetSysColors", host::COLOR_HIGHLIGHTTEXT, 0x0000FF)));
  EXPECT_EQ(colourRef(QApplication::palette().color(QPalette::Highlight)), 0xFFFFFFu);
  EXPECT_EQ(QApplication::palette().color(QPalette::HighlightedText), QColor(0xFF, 0, 0));
  EXPECT_EQ(toInt32(host.call(u"GetSysColor", host::COLOR_HIGHLIGHTTEXT)), 0x0000FF);
  EXPECT_FALSE(toBool(host.call(u"SetSysColors", 31, 0)));
  EXPECT_EQ(toInt32(host.call(u"GetSysColor", 31)), 0);
}

TEST_F(QtServices, TopmostFormsStayOnTop) {
  QWidget window;
  window.setObjectName(QStringLiteral("frmTop"));
  const ComPtr<host::Form> form = qt::wrapForm(window);
  objectOf(*form.get()).call(u"Show");
  ASSERT_TRUE(window.isVisible());
  const std::int32_t handle = form->hWnd();
  EXPECT_TRUE(toBool(host.call(u"SetWindowPos", handle, host::HWND_TOPMOST, 0, 0, 0, 0, 3)));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window.isVisible());  // a change of window flags must not hide the form
  EXPECT_TRUE(toBool(host.call(u"IsTopmost", handle)));
  EXPECT_TRUE(toBool(host.call(u"SetWindowPos", handle, host::HWND_NOTOPMOST, 0, 0, 0, 0, 3)));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(toBool(host.call(u"IsTopmost", handle)));
  EXPECT_FALSE(toBool(host.call(u"SetWindowPos", 12345, host::HWND_TOPMOST, 0, 0, 0, 0, 3)));
}

TEST_F(QtServices, MessageBoxAnswersWithTheButtonPressed) {
  // The box is modal: a timer plays the user and presses No. The offscreen
  // platform would answer for the user, so the box is made real here.
  qt::setMessageBoxes(qt::MessageBoxes::Shown);
  QString shown;
  bool pressed = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      shown = box->text();
      if (QAbstractButton* no = box->button(QMessageBox::No)) no->click();
      else box->reject();
      pressed = true;
    }
  });
  user.start(10);
  EXPECT_EQ(toInt32(host.call(u"MsgBox", u"Delete 3 rows?", 36)), host::mb::No);
  user.stop();
  EXPECT_TRUE(pressed);
  EXPECT_EQ(shown, QStringLiteral("Delete 3 rows?"));
  qt::setMessageBoxes(qt::MessageBoxes::ByPlatform);
}

// The progress dialog of the host's work: none for the first half second,
// then a dialog whose Cancel stops the work at its next report.
TEST_F(QtServices, LongWorkShowsAProgressDialogThatCancels) {
  const auto dialog = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) return d;
    return static_cast<QProgressDialog*>(nullptr);
  };
  const Object progress(host.get(u"Progress"));
  EXPECT_TRUE(toBool(progress.call(u"Report", u"Pasting records", 0, 1000)));
  EXPECT_EQ(dialog(), nullptr);  // quick work shows nothing
  QThread::msleep(600);
  EXPECT_TRUE(toBool(progress.call(u"Report", u"Pasting records", 100, 1000)));
  QProgressDialog* shown = dialog();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->labelText(), QStringLiteral("Pasting records"));
  EXPECT_EQ(shown->value(), 100);
  EXPECT_EQ(shown->maximum(), 1000);
  QPushButton* cancel = shown->findChild<QPushButton*>();
  ASSERT_NE(cancel, nullptr);
  cancel->click();
  EXPECT_FALSE(toBool(progress.call(u"Report", u"Pasting records", 200, 1000)));
  progress.call(u"Finish", u"Pasting records");
  EXPECT_EQ(dialog(), nullptr);
  // The next work starts afresh; without the service the host answers Nothing.
  EXPECT_TRUE(toBool(progress.call(u"Report", u"Filling the grid", 0, 0)));
  progress.call(u"Finish", u"Filling the grid");
  host::setProgress(nullptr);
  EXPECT_EQ(host.get(u"Progress").object(), nullptr);
}

}  // namespace
}  // namespace tarnwick::testing
