#include "ui/qt/snapshot.h"

#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "ui/qt/help_window.h"
#include "ui/qt/main_dialog.h"

namespace glyphshift::ui {

namespace {
// Long enough for a real X server to map and paint the window.
constexpr int kSettleMilliseconds = 400;

void Save(QWidget& widget, const SnapshotRequest& request, const char* fileName) {
  const QString path = QDir(request.directory).filePath(QString::fromLatin1(fileName));
  const bool saved = widget.grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", path.toLocal8Bit().constData());
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
  QTimer::singleShot(kSettleMilliseconds, &dialog, [&dialog, request] {
    Save(dialog, request, "dialog.png");
    if (!request.source.isEmpty()) {
      dialog.SetFileChooser([source = request.source](const CMainDialog::ChooserRequest&) { return source; });
      static_cast<QPushButton*>(dialog.Control(kIdSourceButton))->click();
      Save(dialog, request, "dialog-filled.png");
    }
    dialog.resize(dialog.width() + 100, dialog.height());
    QTimer::singleShot(kSettleMilliseconds, &dialog, [&dialog, request] {
      Save(dialog, request, "dialog-wide.png");
      dialog.reject();
    });
  });
}

void ScheduleSnapshots(CHelpWindow& window, const SnapshotRequest& request) {
  QTimer::singleShot(kSettleMilliseconds, &window, [&window, request] {
    Save(window, request, "help.png");
    window.close();
  });
}

void ScheduleSnapshots(QMessageBox& box, const SnapshotRequest& request) {
  QTimer::singleShot(kSettleMilliseconds, &box, [&box, request] {
    Save(box, request, "message-box.png");
    box.accept();
  });
}

}  // namespace glyphshift::ui
