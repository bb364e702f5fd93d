// The help window on the offscreen platform.
#include "ui/qt/help_window.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <map>

#include "cli/usage_text.h"

namespace glyphshift::ui {
namespace {

TEST(HelpWindow, Starts640By480WithTheEditTenPixelsSmaller) {
  CHelpWindow window;
  window.show();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Help"));
  EXPECT_EQ(window.frameGeometry().size(), QSize(640, 480)) << "the whole window, frame included";
  const DialogUnits units(DialogFont());
  EXPECT_EQ(window.Edit()->geometry(), QRect(QPoint(units.X(3), units.Y(3)), window.size() - QSize(10, 10)));
  EXPECT_TRUE(window.Edit()->isReadOnly());
}

TEST(HelpWindow, TheEditFollowsEveryResizeFromItsPlace) {
  CHelpWindow window;
  window.show();
  const QPoint place = window.Edit()->pos();
  for (const QSize size : {QSize(900, 700), QSize(300, 200), QSize(641, 481)}) {
    window.resize(size);
    EXPECT_EQ(window.Edit()->size(), size - QSize(10, 10));
    EXPECT_EQ(window.Edit()->pos(), place);
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
  const struct {
    const char* name;
    QKeyCombination keys;
    int caret;
    int scroll;
  } steps[] = {
      {"Ctrl+End", Qt::CTRL | Qt::Key_End, static_cast<int>(text.size()), bar->maximum()},
      {"Ctrl+Home", Qt::CTRL | Qt::Key_Home, 0, 0},
      {"Down", QKeyCombination(Qt::Key_Down), 7, 0},  // "line 0\n" is 7 characters
  };
  for (const auto& step : steps) {
    QTest::keyClick(edit, step.keys.key(), step.keys.keyboardModifiers());
    EXPECT_EQ(edit->textCursor().position(), step.caret) << step.name;
    EXPECT_EQ(bar->value(), step.scroll) << step.name;
  }
  QTest::keyClicks(edit, QStringLiteral("typed"));
  QTest::keyClick(edit, Qt::Key_Delete);
  EXPECT_EQ(edit->toPlainText(), text);
}

// Run returns only once the window is closed; Escape does not close it.
TEST(HelpWindow, RunEndsWithTheCloseBoxAndNotWithEscape) {
  CHelpWindow window;
  bool visibleAfterEscape = false;
  QTimer::singleShot(0, &window, [&] {
    QTest::keyClick(window.Edit(), Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Escape);
    visibleAfterEscape = window.isVisible();
    window.close();
  });
  window.Run();
  EXPECT_TRUE(visibleAfterEscape);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace glyphshift::ui
