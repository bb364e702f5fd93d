#include "ui/qt/snapshot.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/streams.h"
#include "ui/qt/help_window.h"
#include "ui/qt/main_dialog.h"

namespace glyphshift::ui {

namespace {
// Long enough for a real X server to map and paint the window.
constexpr int kSettleMilliseconds = 400;

// On X11 the picture is taken from the screen, so that it shows the window manager's frame and
// measures the whole window; elsewhere the widget paints itself.
QPixmap Picture(QWidget& widget, QRect onScreen) {
  if (QGuiApplication::platformName() == QLatin1String("xcb") && widget.screen() != nullptr) {
    return widget.screen()->grabWindow(0, onScreen.x(), onScreen.y(), onScreen.width(), onScreen.height());
  }
  return widget.grab();
}

QRect WholeWindow(QWidget& window) {
  return window.windowHandle() != nullptr ? window.windowHandle()->frameGeometry() : window.frameGeometry();
}

void Save(const QPixmap& picture, const SnapshotRequest& request, const char* fileName) {
  const QString path = QDir(request.directory).filePath(QString::fromLatin1(fileName));
  const bool saved = picture.save(path, "PNG");
  platform::WriteText(platform::StdStream::Error,
                      (saved ? u"saved " : u"could not save ") + path.toStdU16String() + u"\n");
}

void Save(QWidget& window, const SnapshotRequest& request, const char* fileName) {
  Save(Picture(window, WholeWindow(window)), request, fileName);
}

// Runs the steps one after the other, each once the windows have settled after the one before.
void RunSettled(QWidget& window, std::vector<std::function<void()>> steps) {
  if (steps.empty()) return;
  QTimer::singleShot(kSettleMilliseconds, &window, [&window, steps = std::move(steps)]() mutable {
    const std::function<void()> step = std::move(steps.front());
    steps.erase(steps.begin());
    step();
    RunSettled(window, std::move(steps));
  });
}

QString EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? QString::fromLocal8Bit(value) : QString();
}
}  // namespace

SnapshotRequest SnapshotRequestFromEnvironment() {
  return {EnvironmentValue("GLYPHSHIFT_GUI_SNAPSHOT"), EnvironmentValue("GLYPHSHIFT_GUI_SNAPSHOT_SOURCE")};
}

void ScheduleSnapshots(CMainDialog& dialog, const SnapshotRequest& request) {
  auto* list = static_cast<QComboBox*>(dialog.Control(kIdSourceList));
  std::vector<std::function<void()>> steps = {
      [&dialog, list, request] {
        Save(dialog, request, "dialog.png");
        list->showPopup();
      },
      [&dialog, list, request] {
        // The dialog with the opened list, which may reach beyond it.
        QWidget& popup = *list->view()->window();
        Save(Picture(popup, WholeWindow(dialog).united(popup.geometry())), request, "dialog-list.png");
        list->hidePopup();
        if (!request.source.isEmpty()) {
          dialog.SetFileChooser([source = request.source](const CMainDialog::ChooserRequest&) { return source; });
          static_cast<QPushButton*>(dialog.Control(kIdSourceButton))->click();
        }
      },
      [&dialog, request] {
        if (!request.source.isEmpty()) Save(dialog, request, "dialog-filled.png");
        dialog.resize(dialog.width() + 100, dialog.height());
      },
      [&dialog, request] {
        Save(dialog, request, "dialog-wide.png");
        dialog.reject();
      },
  };
  RunSettled(dialog, std::move(steps));
}

void ScheduleSnapshots(CHelpWindow& window, const SnapshotRequest& request) {
  RunSettled(window, {[&window, request] {
               Save(window, request, "help.png");
               window.close();
             }});
}

void ScheduleSnapshots(QMessageBox& box, const SnapshotRequest& request) {
  RunSettled(box, {[&box, request] {
               Save(box, request, "message-box.png");
               box.accept();
             }});
}

}  // namespace glyphshift::ui
