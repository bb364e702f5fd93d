#include "platform/display.h"

#include <cstdlib>
#include <string>

#include "platform/streams.h"

namespace glyphshift::platform {

namespace {
MessageBoxHandler gHandler = nullptr;
QuestionHandler gQuestionHandler = nullptr;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}
}  // namespace

bool IsDisplayAvailable() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

void SetMessageBoxHandler(MessageBoxHandler handler) { gHandler = handler; }

void ShowMessageBox(std::u16string_view text, std::u16string_view caption, MessageBoxIcon icon) {
  if (gHandler != nullptr) {
    gHandler(text, caption, icon);
    return;
  }
  // No GUI module loaded: the report still reaches whoever reads standard error.
  std::u16string line;
  line.append(caption).append(u": ").append(text);
  if (!line.ends_with(u'\n')) line += u'\n';
  WriteText(StdStream::Error, line);
  FlushStreams();
}

void SetQuestionHandler(QuestionHandler handler) { gQuestionHandler = handler; }

bool AskQuestion(std::u16string_view text, std::u16string_view caption) {
  return gQuestionHandler != nullptr && gQuestionHandler(text, caption);
}

}  // namespace glyphshift::platform
