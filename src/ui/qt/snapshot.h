// Pictures of the windows for people checking the layout (scripts/screenshot.sh): with
// GLYPHSHIFT_GUI_SNAPSHOT=<folder> each window saves PNG images of itself once shown, then
// closes as Cancel or the close box would. GLYPHSHIFT_GUI_SNAPSHOT_SOURCE=<file> also lets
// the dialog choose that source file before its second picture.
#pragma once

#include <QString>

class QMessageBox;

namespace glyphshift::ui {

class CHelpWindow;
class CMainDialog;

struct SnapshotRequest {
  QString directory;
  QString source;
  explicit operator bool() const { return !directory.isEmpty(); }
};

SnapshotRequest SnapshotRequestFromEnvironment();

// dialog.png; dialog-list.png with the source list opened; with a source, dialog-filled.png;
// dialog-wide.png 100 pixels wider; then Cancel. On X11 each picture is the whole window as the
// screen shows it, frame included.
void ScheduleSnapshots(CMainDialog& dialog, const SnapshotRequest& request);
// help.png, then the window closes.
void ScheduleSnapshots(CHelpWindow& window, const SnapshotRequest& request);
// message-box.png, then OK.
void ScheduleSnapshots(QMessageBox& box, const SnapshotRequest& request);

}  // namespace glyphshift::ui
