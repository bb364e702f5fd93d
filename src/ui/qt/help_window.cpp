#include "ui/qt/help_window.h"

#include "ui/dialog_templates.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetricsF>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>
#include <limits>

#include "ui/layout.h"
#include "ui/qt/window_frame.h"

namespace glyphshift::ui {

CHelpWindow::CHelpWindow()
    : units_(DialogFont()), edit_(new QPlainTextEdit(this)), closeButton_(new QPushButton(this)) {
  setWindowTitle(QStringLiteral("Help"));
  setFont(DialogFont());
  edit_->setObjectName(QStringLiteral("1009"));
  edit_->setReadOnly(true);
  // A read-only edit still has a caret that the keyboard moves (Ctrl+Home, Ctrl+End, the arrows,
  // selecting with Shift); without it Qt's read-only edit only scrolls with a few bare keys.
  edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);  // the edit has no horizontal scroll bar
  // Tab stops of a multi-line edit: every 32 dialog units (AlignDescriptions moves the first two).
  edit_->setTabStopDistance(units_.X(32));
  const ControlTemplate& text = kHelpWindowControls[0];
  edit_->setGeometry(units_.Rect(text.x, text.y, text.width, text.height));
  const ControlTemplate& close = kHelpWindowControls[1];
  closeButton_->setObjectName(QString::number(close.id));
  closeButton_->setText(ToQString(close.text));
  closeButton_->setGeometry(units_.Rect(close.x, close.y, close.width, close.height));
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
  // The keys a desktop window closes with; the edit takes neither for itself.
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
  }
  resize(units_.X(kHelpWindow.width), units_.Y(kHelpWindow.height));
}

namespace {
// Widths of the first columns of the lines that hold a tab, by how many tabs follow them.
struct FirstColumns {
  qreal widestBeforeTwoTabs = 0;
  qreal narrowestBeforeOneTab = std::numeric_limits<qreal>::max();
  qreal widestBeforeOneTab = 0;
};

FirstColumns MeasureFirstColumns(const QString& text, const QFontMetricsF& metrics) {
  FirstColumns columns;
  for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
    const qsizetype firstTab = line.indexOf(QLatin1Char('\t'));
    if (firstTab < 0) continue;
    qsizetype afterTabs = firstTab;
    while (afterTabs < line.size() && line[afterTabs] == QLatin1Char('\t')) ++afterTabs;
    const qreal width = metrics.horizontalAdvance(line.left(firstTab).toString());
    if (afterTabs - firstTab == 1) {
      columns.narrowestBeforeOneTab = std::min(columns.narrowestBeforeOneTab, width);
      columns.widestBeforeOneTab = std::max(columns.widestBeforeOneTab, width);
    } else if (afterTabs - firstTab == 2) {
      columns.widestBeforeTwoTabs = std::max(columns.widestBeforeTwoTabs, width);
    }
  }
  return columns;
}
}  // namespace

void CHelpWindow::SetText(std::u16string_view text) {
  QString shown = ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  AlignDescriptions(shown);
  edit_->setPlainText(shown);
}

// The usage text puts two tabs after a short flag ("/move") and one after a long one
// ("/recursive"), so that every description starts at the second tab stop in a font where each
// short flag ends before the first stop and each long one after it. In our font a long flag can
// end before the first stop too, and its description would start there. So the first stop goes
// between the short and the long flags as measured, and the second past the longest flag; when
// the template's stops (every 32 dialog units) already do that, they stay.
void CHelpWindow::AlignDescriptions(const QString& text) {
  const qreal templateStop = units_.X(32);
  QTextOption option = edit_->document()->defaultTextOption();
  option.setTabStopDistance(templateStop);
  option.setTabs({});
  const FirstColumns columns = MeasureFirstColumns(text, QFontMetricsF(edit_->font()));
  if (columns.widestBeforeTwoTabs < columns.narrowestBeforeOneTab && columns.widestBeforeOneTab > 0) {
    qreal first = templateStop;
    // A pixel to spare on each side, as laid-out text may round differently from measured text.
    if (columns.widestBeforeTwoTabs + 1 > first || columns.narrowestBeforeOneTab < first + 1) {
      first = (columns.widestBeforeTwoTabs + columns.narrowestBeforeOneTab) / 2;
    }
    const qreal second = std::max<qreal>(2 * templateStop, columns.widestBeforeOneTab + units_.X(4));
    option.setTabs({QTextOption::Tab(first, QTextOption::LeftTab), QTextOption::Tab(second, QTextOption::LeftTab)});
  }
  edit_->document()->setDefaultTextOption(option);
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
  const HelpWindowPlacement placed =
      PlaceHelpWindow({width(), height()}, edit_->x(), edit_->y(), {closeButton_->width(), closeButton_->height()});
  edit_->resize(placed.text.width, placed.text.height);
  closeButton_->move(placed.close.x, placed.close.y);
}

// Placed before it is first mapped, once its frame is known: the template's window centred on
// the screen, then the start size, which is the whole window's, from the same corner. Qt places
// the client area, so the frame is taken off.
void CHelpWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownBefore_) return;
  shownBefore_ = true;
  const QMargins frame = ExpectedFrame(*this);
  const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
  QRect client(pos(), QSize(kStartWidth, kStartHeight) - frameSize);
  if (const QScreen* shownOn = screen()) {
    const QSize templateWindow = QSize(units_.X(kHelpWindow.width), units_.Y(kHelpWindow.height)) + frameSize;
    const QPoint corner =
        shownOn->availableGeometry().center() - QPoint(templateWindow.width() / 2, templateWindow.height() / 2);
    client.moveTopLeft(corner + QPoint(frame.left(), frame.top()));
  }
  setGeometry(client);
}

void CHelpWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (loop_ != nullptr) loop_->quit();
}

}  // namespace glyphshift::ui
