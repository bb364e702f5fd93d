#include "ui/win32/help_window.h"

#include <string>

#include "ui/dialog_ids.h"
#include "ui/win32/window_snapshot.h"

namespace glyphshift::ui::win32 {

namespace {

// The edit control fills the client area less the margin, where the template put its corner.
void FitEdit(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  SetWindowPos(GetDlgItem(window, IDC_HELP_TEXT), nullptr, 0, 0, client.right - CHelpWindow::kEditMargin,
               client.bottom - CHelpWindow::kEditMargin, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
  while (GetMessageW(&message, window_, 0, 0) > 0) IsDialogMessageW(window_, &message);
  window_ = nullptr;
}

INT_PTR CALLBACK CHelpWindow::Procedure(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // Centred at the template's size by the template; the start size from the same corner.
      SetWindowPos(window, nullptr, 0, 0, kStartWidth, kStartHeight, SWP_NOMOVE | SWP_NOZORDER);
      FitEdit(window);
      break;
    case WM_SIZE: FitEdit(window); break;
    case WM_CLOSE: DestroyWindow(window); break;
    default: break;
  }
  return 0;
}

}  // namespace glyphshift::ui::win32
