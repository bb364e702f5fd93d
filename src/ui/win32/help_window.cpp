#include "ui/win32/help_window.h"

#include <string>

#include "ui/dialog_ids.h"
#include "ui/layout.h"
#include "ui/win32/window_snapshot.h"

namespace glyphshift::ui::win32 {

namespace {

RECT ChildRect(HWND window, int id) {
  RECT rect{};
  GetWindowRect(GetDlgItem(window, id), &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The edit control fills the client area less the margin, where the template put its corner;
// the Close button keeps to the bottom right corner below it.
void FitControls(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  const RECT text = ChildRect(window, IDC_HELP_TEXT);
  const RECT close = ChildRect(window, IDC_HELP_CLOSE);
  const HelpWindowPlacement placed = PlaceHelpWindow({client.right, client.bottom}, text.left, text.top,
                                                     {close.right - close.left, close.bottom - close.top});
  for (const ControlPlacement& place : {placed.text, placed.close}) {
    SetWindowPos(GetDlgItem(window, static_cast<int>(place.controlId)), nullptr, place.x, place.y, place.width,
                 place.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// A key that closes the window: Escape, or W while Ctrl is held.
bool IsCloseKey(const MSG& message, bool controlDown) {
  if (message.message != WM_KEYDOWN) return false;
  return message.wParam == VK_ESCAPE || (message.wParam == 'W' && controlDown);
}

}  // namespace

CHelpWindow::~CHelpWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

bool CHelpWindow::Create() {
  window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HELP_WINDOW), GetDesktopWindow(),
                               &CHelpWindow::Procedure, 0);
  return window_ != nullptr;
}

void CHelpWindow::SetText(std::u16string_view text) {
  std::u16string lines;
  for (std::size_t i = 0; i < text.size() && lines.size() < kMaxTextLength; ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) lines += u'\r';
    lines += text[i];
  }
  lines.resize(std::min(lines.size(), kMaxTextLength));
  SetDlgItemTextW(window_, IDC_HELP_TEXT, reinterpret_cast<const wchar_t*>(lines.c_str()));
}

void CHelpWindow::Run() {
  ShowWindow(window_, SW_SHOWNORMAL);
  if (const SnapshotRequest request = SnapshotRequestFromEnvironment()) ScheduleSnapshots(*this, request);
  // Messages of this window only; retrieval fails once it has been destroyed, which ends the loop.
  MSG message;
  // The keys that close it are taken before the edit control, which would keep them.
  while (GetMessageW(&message, window_, 0, 0) > 0) {
    if (IsCloseKey(message, GetKeyState(VK_CONTROL) < 0)) {
      DestroyWindow(window_);
      continue;
    }
    IsDialogMessageW(window_, &message);
  }
  window_ = nullptr;
}

INT_PTR CALLBACK CHelpWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // Centred at the template's size by the template; the start size from the same corner.
      SetWindowPos(window, nullptr, 0, 0, kStartWidth, kStartHeight, SWP_NOMOVE | SWP_NOZORDER);
      FitControls(window);
      break;
    case WM_SIZE: FitControls(window); break;
    // The Close button, or the cancel command the dialog manager makes of Escape.
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_HELP_CLOSE) DestroyWindow(window);
      break;
    case WM_CLOSE: DestroyWindow(window); break;
    default: break;
  }
  return 0;
}

}  // namespace glyphshift::ui::win32
