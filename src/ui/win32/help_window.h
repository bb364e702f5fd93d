// The help window (template 106) on Win32: the usage text in a read-only edit control that
// follows the window's size, and a Close button below it. Escape and Ctrl+W close it too.
#pragma once

#include <windows.h>

#include <string_view>

namespace glyphshift::ui::win32 {

class CHelpWindow {
 public:
  static constexpr int kStartWidth = 640;
  static constexpr int kStartHeight = 480;
  static constexpr std::size_t kMaxTextLength = 4095;

  CHelpWindow() = default;
  CHelpWindow(const CHelpWindow&) = delete;
  CHelpWindow& operator=(const CHelpWindow&) = delete;
  ~CHelpWindow();

  // Creates the window hidden, with the desktop as owner. False when it cannot be created.
  bool Create();
  // The text of the edit control: line feeds become the CR LF it needs; at most 4095 characters.
  void SetText(std::u16string_view text);
  // Shows the window and handles its messages until it has been closed.
  void Run();

  HWND Window() const { return window_; }

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
};

}  // namespace glyphshift::ui::win32
