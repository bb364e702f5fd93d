// The main conversion dialog (template 101) on Win32: the dialog logic of ui/main_dialog_logic.h
// behind native controls, anchored by the layout table while it is resized.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/run_settings.h"
#include "ui/layout.h"
#include "ui/main_dialog_logic.h"

namespace glyphshift::ui::win32 {

// Runs the dialog modally with the desktop as owner: kDialogConvert after filling `options`,
// kDialogCancel otherwise.
int RunMainDialog(RunSettings& options);

class CMainDialog {
 public:
  enum class Chooser { Source, Destination };
  // Shows a file chooser; the chosen path, or nothing when the user cancels. The real one is
  // the system's open or save dialog; the pictures of scripts/screenshot.sh choose directly.
  using FileChooser = std::function<std::optional<std::u16string>(Chooser kind)>;

  CMainDialog();
  int Run(RunSettings& options);
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

  HWND Window() const { return window_; }
  DialogChoices Choices() const;

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Initialise(HWND window);
  void Command(int id);
  void ChooseSource();
  // The source path, the destination proposed for it and its detected set, as a choice sets them.
  void TakeSource(const std::u16string& path);
  void ChooseDestination();
  std::optional<std::u16string> ShowFileDialog(Chooser kind);
  void SelectDetectedCharset();
  void UpdateConvertEnabled();
  void SetText(int id, const std::u16string& text);

  HWND window_ = nullptr;
  RunSettings* options_ = nullptr;
  std::vector<std::u16string> charsetEntries_;
  std::u16string filterList_;  // description and pattern pairs, each ended by U+0000, then one more
  std::u16string sourcePath_;
  std::u16string outputPath_;
  std::array<ControlLayout, kMainDialogLayoutSize> layout_ = kMainDialogLayout;
  bool layoutCaptured_ = false;
  FileChooser chooser_;
};

}  // namespace glyphshift::ui::win32
