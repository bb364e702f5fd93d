// The help window on the offscreen platform.
#include "ui/qt/help_window.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

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
