// Message boxes of the Qt host where nobody can see them: on the offscreen
// platform a routine that fails inside a Qt client must not wait on a
// modal box, and what the box said must be kept.
#include "../classes/ClassTesting.h"
#include "../engine/EngineTesting.h"
#include "QtTesting.h"

#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/host/MessageLog.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QVariant>

#include <gtest/gtest.h>

#include <chrono>

namespace tarnwick::testing {
namespace {

struct UnattendedBoxes : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    qt::installServices();
    host::messageLog().clear();
    // Were a box to open after all, this closes it, so the test fails rather than hangs.
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          ++boxesSeen;
          box->reject();
        }
    });
    watchdog.start(20);
  }
  void TearDown() override {
    watchdog.stop();
    qt::setMessageBoxes(qt::MessageBoxes::ByPlatform);
    host::resetServices();
    host::setWindowStack(nullptr);
    host::messageLog().clear();
  }
  QTimer watchdog;
  int boxesSeen = 0;
};

QLineEdit* taggedEdit(QWidget& window, const char* name, const char* tag) {
  auto* edit = new QLineEdit(&window);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setProperty("Tag", QString::fromLatin1(tag));
  return edit;
}

TEST_F(UnattendedBoxes, AFailingSaveReturnsAtOnceWithItsMessageLogged) {
  LocaleScope locale{Locale::enUS()};
  TempDir dir;
  const Object db = makeOrdersDatabase(dir / "orders.db");
  QWidget window;
  window.setObjectName(QStringLiteral("frmOrder"));
  QLineEdit* id = taggedEdit(window, "txtId", "Orders([OrderId])!Number");
  taggedEdit(window, "txtCustomer", "Orders([Customer])")->setText(QStringLiteral("Smith"));
  const ComPtr<host::Form> form = qt::wrapForm(window);
  const Object dataAccess = instanceOf<dataaccess::DataAccessWrapper>();
  const Object orders(db.call(u"OpenRecordset", u"Orders", 1));

  // A new order under a key that exists: the engine refuses the save, and
  // the routine's finish shows why in a message box.
  orders.call(u"AddNew");
  id->setText(QStringLiteral("2"));
  const auto started = std::chrono::steady_clock::now();
  dataAccess.call(u"SaveRecordFromControls", objectOf(*form.get()).pointer().get(), orders.pointer().get());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(boxesSeen, 0);
  const std::vector<host::LoggedMessage> logged = host::messageLog().entries();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].prompt, standardDescription(errc::DuplicateKey));
  EXPECT_EQ(logged[0].answer, host::mb::OK);
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Select * From Orders")), u"OrderId"), u"1,2,3,4,5");

  // Unattended boxes answer with their default button on any platform.
  qt::setMessageBoxes(qt::MessageBoxes::Unattended);
  EXPECT_EQ(host::messageBox()->show(u"Delete 3 rows?", 36 + host::mb::DefaultButton2, u""), host::mb::No);
  EXPECT_EQ(host::messageLog().lastPrompt(), u"Delete 3 rows?");
  EXPECT_EQ(boxesSeen, 0);
}

}  // namespace
}  // namespace tarnwick::testing
