#include <tarnwick/qt/DataControl.h>

#include <QHBoxLayout>
#include <QToolButton>

namespace tarnwick::qt {

DataControl::DataControl(QWidget* parent) : QWidget(parent), label_(new QLabel(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  static const char* const kArrows[] = {"|<", "<", ">", ">|"};
  for (int move = 0; move < 4; ++move) {
    auto* button = new QToolButton(this);
    button->setText(QString::fromLatin1(kArrows[move]));
    button->setObjectName(QStringLiteral("qt_navigate_%1").arg(move));
    connect(button, &QToolButton::clicked, this, [this, move] { emit navigate(move); });
    layout->addWidget(button);
    if (move == 1) {
      label_->setFrameShape(QFrame::StyledPanel);
      label_->setMinimumWidth(60);
      layout->addWidget(label_, 1);
    }
  }
}

QString DataControl::caption() const { return label_->text(); }
void DataControl::setCaption(const QString& text) { label_->setText(text); }

}  // namespace tarnwick::qt
