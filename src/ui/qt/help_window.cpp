#include "ui/qt/help_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

namespace glyphshift::ui {

CHelpWindow::CHelpWindow() : units_(DialogFont()), edit_(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("Help"));
  setFont(DialogFont());
  edit_->setObjectName(QStringLiteral("1009"));
  edit_->setReadOnly(true);
  // A read-only edit still has a caret that the keyboard moves (Ctrl+Home, Ctrl+End, the arrows,
  // selecting with Shift); without it Qt's read-only edit only scrolls with a few bare keys.
  edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);  // the edit has no horizontal scroll bar
  // Tab stops of a multi-line edit: every 32 dialog units.
  edit_->setTabStopDistance(units_.X(32));
  edit_->setGeometry(units_.Rect(3, 3, 272, 203));

  // The template's size centred on the screen, then the start size from the same corner.
  const QSize templateSize(units_.X(278), units_.Y(209));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(templateSize.width() / 2, templateSize.height() / 2));
  }
  resize(kStartWidth, kStartHeight);
}

void CHelpWindow::SetText(std::u16string_view text) {
  QString shown = ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edit_->setPlainText(shown);
}

void CHelpWindow::Run() {
  QEventLoop loop;
  loop_ = &loop;
  show();
  loop.exec();
  loop_ = nullptr;
}

void CHelpWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  edit_->resize(std::max(0, width() - kEditMargin), std::max(0, height() - kEditMargin));
}

// The start size is the whole window's; Qt sizes the client area, so the frame is taken off
// where the platform already knows it.
void CHelpWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownBefore_) return;
  shownBefore_ = true;
  const QSize frame = frameGeometry().size() - geometry().size();
  resize(kStartWidth - frame.width(), kStartHeight - frame.height());
}

void CHelpWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (loop_ != nullptr) loop_->quit();
}

}  // namespace glyphshift::ui
