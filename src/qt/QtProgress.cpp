// The progress service on Qt: a progress dialog with a Cancel button for
// work that goes on for more than about half a second. Reports come from
// inside the work, on the application's thread, so each one lets Qt handle
// its events: the dialog paints, and a click on Cancel is heard.
#include "WidgetState.h"

#include <tarnwick/host/Progress.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/qt/QtHost.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

#include <algorithm>
#include <limits>
#include <memory>

namespace tarnwick::qt {

namespace {

constexpr int kShowAfterMs = 500;

class QtProgress final : public host::Progress {
 public:
  bool report(const std::u16string& task, std::int32_t done, std::int32_t total) override {
    if (!dialog_) {
      dialog_ = std::make_unique<QProgressDialog>(impl::qtext(task), QApplication::translate("Progress", "Cancel"), 0,
                                                  0, QApplication::activeWindow());
      dialog_->setWindowModality(Qt::ApplicationModal);
      dialog_->setAutoReset(false);
      dialog_->setAutoClose(false);
      // Shown by the reports below, not by the dialog's own timer: the
      // work keeps the event loop busy between reports.
      dialog_->setMinimumDuration(std::numeric_limits<int>::max());
      started_.start();
    }
    dialog_->setLabelText(impl::qtext(task));
    // With no count beforehand the bar just shows that work goes on.
    dialog_->setMaximum(total > 0 ? total : 0);
    if (total > 0) dialog_->setValue(std::min(done, total));
    if (!dialog_->isVisible() && started_.elapsed() >= kShowAfterMs) dialog_->show();
    // Until the modal dialog stands, a click elsewhere must wait: it could
    // start another routine in the middle of this one.
    QCoreApplication::processEvents(dialog_->isVisible() ? QEventLoop::AllEvents
                                                         : QEventLoop::ExcludeUserInputEvents);
    return !dialog_->wasCanceled();
  }
  void finish(const std::u16string&) override { dialog_.reset(); }

 private:
  std::unique_ptr<QProgressDialog> dialog_;
  QElapsedTimer started_;
};

}  // namespace

void installProgress() {
  impl::requireApplication();
  host::setProgress(std::make_shared<QtProgress>());
}

}  // namespace tarnwick::qt
