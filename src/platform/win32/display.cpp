#include "platform/display.h"

#include <windows.h>

#include <string>

namespace glyphshift::platform {

namespace {
MessageBoxHandler g_handler = nullptr;
QuestionHandler g_questionHandler = nullptr;
}  // namespace

// A Windows program always has a desktop; a session without one (a service) has no screen.
bool IsDisplayAvailable() { return GetSystemMetrics(SM_CXSCREEN) > 0 && GetSystemMetrics(SM_CYSCREEN) > 0; }

void SetMessageBoxHandler(MessageBoxHandler handler) { g_handler = handler; }

void ShowMessageBox(std::u16string_view text, std::u16string_view caption, MessageBoxIcon icon) {
  if (g_handler != nullptr) {
    g_handler(text, caption, icon);
    return;
  }
  const std::u16string textZ(text);
  const std::u16string captionZ(caption);
  // Modal and without an owner window: the run's dialog has ended before any file is converted.
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(textZ.c_str()),
              reinterpret_cast<const wchar_t*>(captionZ.c_str()),
              MB_OK | MB_SETFOREGROUND | (icon == MessageBoxIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION));
}

void SetQuestionHandler(QuestionHandler handler) { g_questionHandler = handler; }

bool AskQuestion(std::u16string_view text, std::u16string_view caption) {
  if (g_questionHandler != nullptr) return g_questionHandler(text, caption);
  const std::u16string textZ(text);
  const std::u16string captionZ(caption);
  return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(textZ.c_str()),
                     reinterpret_cast<const wchar_t*>(captionZ.c_str()),
                     MB_YESNO | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_ICONWARNING) == IDYES;
}

}  // namespace glyphshift::platform
