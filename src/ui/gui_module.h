// The table of functions the GUI module hands to the program that loads it. Both sides are
// built from this one header in one build, so the table is checked only by its version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/run_settings.h"

namespace glyphshift::ui {

// End values of the main dialog.
inline constexpr int kDialogConvert = 1;
inline constexpr int kDialogCancel = 2;
inline constexpr int kDialogUnavailable = 0;  // no display or no GUI module

inline constexpr std::uint32_t kGuiModuleVersion = 4;

struct GuiModule {
  std::uint32_t version;  // kGuiModuleVersion
  // Runs the main dialog modally; returns kDialogConvert (settings filled) or kDialogCancel,
  // kDialogUnavailable when the toolkit cannot start, with the reason in *whyUnavailable.
  int (*runMainDialog)(RunSettings* settings, std::u16string* whyUnavailable);
  // Shows the help window with the text until it is closed; false when the toolkit cannot
  // start, with the reason in *whyUnavailable.
  bool (*runHelpWindow)(const char16_t* text, std::size_t length, std::u16string* whyUnavailable);
  // A modal message box; icon 0 information, 1 error.
  void (*showMessageBox)(const char16_t* text, std::size_t textLength, const char16_t* caption,
                         std::size_t captionLength, int icon);
  // A modal question with Yes and No (No preselected); true for Yes.
  bool (*askQuestion)(const char16_t* text, std::size_t textLength, const char16_t* caption, std::size_t captionLength);
};

}  // namespace glyphshift::ui

// The module's one exported symbol.
#define GLYPHSHIFT_GUI_MODULE_ENTRY "GlyphshiftGuiModule"
extern "C" {
using GlyphshiftGuiModuleEntry = const glyphshift::ui::GuiModule* (*)();
}
