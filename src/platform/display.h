// The display, for dialog mode.
#pragma once

#include <string_view>

namespace glyphshift::platform {

// Whether a graphical display can be used (on Linux: DISPLAY or WAYLAND_DISPLAY is set).
bool IsDisplayAvailable();

enum class MessageBoxIcon { Information, Error };

// A modal message box; dialog mode only. Shown through the loaded GUI module.
void ShowMessageBox(std::u16string_view text, std::u16string_view caption, MessageBoxIcon icon);

using MessageBoxHandler = void (*)(std::u16string_view text, std::u16string_view caption, MessageBoxIcon icon);
// The GUI module registers how message boxes are shown once it is loaded.
void SetMessageBoxHandler(MessageBoxHandler handler);

// A modal question with the answers Yes and No; dialog mode only. True for Yes. Without a way
// to ask (no GUI module), the answer is No.
bool AskQuestion(std::u16string_view text, std::u16string_view caption);

using QuestionHandler = bool (*)(std::u16string_view text, std::u16string_view caption);
void SetQuestionHandler(QuestionHandler handler);

}  // namespace glyphshift::platform
