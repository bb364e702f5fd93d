// Pictures of the windows for people checking the layout (scripts/screenshot.sh): with
// GLYPHSHIFT_GUI_SNAPSHOT=<folder> each window saves PNG images of itself once shown, then
// closes as Cancel or the close box would. GLYPHSHIFT_GUI_SNAPSHOT_SOURCE=<file> also lets the
// dialog choose that source file before its second picture. The same names as the Qt build's.
#pragma once

#include <windows.h>

#include <string>

namespace glyphshift::ui::win32 {

class CHelpWindow;
class CMainDialog;

struct SnapshotRequest {
  std::u16string directory;
  std::u16string source;
  explicit operator bool() const { return !directory.empty(); }
};

SnapshotRequest SnapshotRequestFromEnvironment();

// dialog.png; with a source, dialog-filled.png; dialog-wide.png 100 pixels wider; then Cancel.
void ScheduleSnapshots(CMainDialog& dialog, const SnapshotRequest& request);
// help.png, then the window closes.
void ScheduleSnapshots(CHelpWindow& window, const SnapshotRequest& request);

// Saves what the screen shows of `window` (frame included) as a PNG file; false on failure.
bool SaveWindowPicture(HWND window, const std::u16string& path);

}  // namespace glyphshift::ui::win32
