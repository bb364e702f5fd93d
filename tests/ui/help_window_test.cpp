// The help window on the offscreen platform.
#include "ui/qt/help_window.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <functional>
#include <map>

#include "cli/usage_text.h"

namespace glyphshift::ui {
namespace {

// The edit fills the window less 10 pixels in width; the Close button sits below it at the right,
// 5 pixels from the edges and from the edit.
void ExpectFittedControls(const CHelpWindow& window, const QPoint& editPlace) {
  const QRect edit = window.Edit()->geometry();
  const QRect close = window.CloseButton()->geometry();
  EXPECT_EQ(edit.topLeft(), editPlace);
  EXPECT_EQ(edit.width(), window.width() - 10);
  EXPECT_EQ(close.x() + close.width(), edit.x() + edit.width());
  EXPECT_EQ(close.y() + close.height(), window.height() - 5);
  EXPECT_EQ(edit.y() + edit.height(), close.y() - 5);
}

TEST(HelpWindow, Starts640By480WithTheEditAndTheCloseButtonFitted) {
  CHelpWindow window;
  window.show();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Help"));
  EXPECT_EQ(window.frameGeometry().size(), QSize(640, 480)) << "the whole window, frame included";
  const DialogUnits units(DialogFont());
  ExpectFittedControls(window, QPoint(units.X(3), units.Y(3)));
  EXPECT_TRUE(window.Edit()->isReadOnly());
  EXPECT_EQ(window.CloseButton()->text(), QStringLiteral("Close"));
}

TEST(HelpWindow, TheControlsFollowEveryResize) {
  CHelpWindow window;
  window.show();
  const QPoint place = window.Edit()->pos();
  for (const QSize size : {QSize(900, 700), QSize(300, 200), QSize(641, 481)}) {
    window.resize(size);
    ExpectFittedControls(window, place);
  }
}

TEST(HelpWindow, ShowsTheTextLineByLine) {
  CHelpWindow window;
  window.SetText(u"Glyphshift \"1, 3, 15, 2\"\r\n\r\n/nobom \t\tDo not write\r\n");
  EXPECT_EQ(window.Edit()->toPlainText(), QStringLiteral("Glyphshift \"1, 3, 15, 2\"\n\n/nobom \t\tDo not write\n"));
  EXPECT_EQ(window.Edit()->document()->blockCount(), 4);
}

// The usage text follows a short flag with two tabs and a long one with one tab; however wide
// each flag is in the font, every description starts in the same column.
TEST(HelpWindow, EveryDescriptionOfTheUsageTextStartsInOneColumn) {
  CHelpWindow window;
  const std::u16string usage = BuildUsageText(u"1, 3, 15, 2", u"ISO-8859-1, ");
  window.SetText(usage);
  window.show();
  QPlainTextEdit* edit = window.Edit();
  EXPECT_EQ(FromQString(edit->toPlainText()), WithLineFeeds(usage)) << "the text itself stays";
  std::map<int, QStringList> flagsByColumn;
  for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
    const QString line = block.text();
    const qsizetype firstTab = line.indexOf(QLatin1Char('\t'));
    if (firstTab < 0) continue;
    qsizetype description = firstTab;
    while (description < line.size() && line.at(description) == QLatin1Char('\t')) ++description;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + static_cast<int>(description));
    flagsByColumn[edit->cursorRect(cursor).left()] << line.left(firstTab);
  }
  QStringList columns;
  for (const auto& [x, flags] : flagsByColumn) columns << QStringLiteral("x %1: %2").arg(x).arg(flags.join(u' '));
  EXPECT_EQ(flagsByColumn.size(), 1u) << columns.join(QStringLiteral("; ")).toStdString();
}

// The caret moves as in any read-only edit: Ctrl+End and Ctrl+Home reach both ends of the text
// and scroll there, and typed keys change nothing.
TEST(HelpWindow, KeysMoveTheCaretButNeverChangeTheText) {
  CHelpWindow window;
  QString text;
  for (int line = 0; line < 200; ++line) text += QStringLiteral("line %1\n").arg(line);
  window.SetText(FromQString(text));
  window.show();
  QPlainTextEdit* edit = window.Edit();
  const QScrollBar* bar = edit->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0) << "the text must be taller than the window";
  constexpr int kBottom = -1;
  const struct {
    const char* name;
    QKeyCombination keys;
    int caret;
    int scroll;  // kBottom: scrolled so far that the caret on the last line shows
  } steps[] = {
      {"Ctrl+End", Qt::CTRL | Qt::Key_End, static_cast<int>(text.size()), kBottom},
      {"Ctrl+Home", Qt::CTRL | Qt::Key_Home, 0, 0},
      {"Down", QKeyCombination(Qt::Key_Down), 7, 0},  // "line 0\n" is 7 characters
  };
  for (const auto& step : steps) {
    QTest::keyClick(edit, step.keys.key(), step.keys.keyboardModifiers());
    EXPECT_EQ(edit->textCursor().position(), step.caret) << step.name;
    if (step.scroll == kBottom) {
      EXPECT_GT(bar->value(), 0) << step.name;
      EXPECT_TRUE(edit->viewport()->rect().contains(edit->cursorRect())) << step.name << ": the caret is in view";
    } else {
      EXPECT_EQ(bar->value(), step.scroll) << step.name;
    }
  }
  QTest::keyClicks(edit, QStringLiteral("typed"));
  QTest::keyClick(edit, Qt::Key_Delete);
  EXPECT_EQ(edit->toPlainText(), text);
}

// Run returns once the window is closed: by its close box, its Close button, Escape or Ctrl+W,
// wherever the focus is.
TEST(HelpWindow, RunEndsWithTheCloseBoxTheCloseButtonEscapeOrCtrlW) {
  const struct {
    const char* name;
    std::function<void(CHelpWindow&)> close;
  } ways[] = {
      {"close box", [](CHelpWindow& w) { w.close(); }},
      {"Close button", [](CHelpWindow& w) { QTest::mouseClick(w.CloseButton(), Qt::LeftButton); }},
      {"Escape in the text", [](CHelpWindow& w) { QTest::keyClick(w.Edit(), Qt::Key_Escape); }},
      {"Ctrl+W in the text", [](CHelpWindow& w) { QTest::keyClick(w.Edit(), Qt::Key_W, Qt::ControlModifier); }},
      {"Ctrl+W on the button",
       [](CHelpWindow& w) { QTest::keyClick(w.CloseButton(), Qt::Key_W, Qt::ControlModifier); }},
  };
  for (const auto& way : ways) {
    CHelpWindow window;
    window.SetText(u"text");
    bool closedByIt = false;
    QTimer::singleShot(0, &window, [&] {
      window.activateWindow();
      // Shortcuts go to the active window only.
      if (!QTest::qWaitForWindowActive(&window)) ADD_FAILURE() << "the window never became active";
      window.Edit()->setFocus();
      way.close(window);
      closedByIt = !window.isVisible();
      window.close();  // so that a way that fails still ends the run
    });
    window.Run();
    EXPECT_TRUE(closedByIt) << way.name;
    EXPECT_FALSE(window.isVisible()) << way.name;
  }
}

}  // namespace
}  // namespace glyphshift::ui
