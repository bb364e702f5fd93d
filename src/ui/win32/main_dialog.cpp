#include "ui/win32/main_dialog.h"

#include <commdlg.h>

#include "api/file_detection.h"
#include "engine/charset_catalogue.h"
#include "glyphshift/glyphshift.h"
#include "ui/dialog_ids.h"
#include "ui/gui_module.h"
#include "ui/win32/dialog_layout.h"
#include "ui/win32/window_snapshot.h"

namespace glyphshift::ui::win32 {

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// Room for what the file dialogs return: a path of any length Windows allows.
constexpr std::size_t kPathRoom = 32768;

// The filter list in the form the file dialogs take: "Text\0*.txt\0All files\0*.*\0\0".
std::u16string NativeFilterList(const std::vector<FileFilter>& filters) {
  std::u16string list;
  for (const FileFilter& filter : filters) {
    list += filter.description;
    list += u'\0';
    list += filter.pattern;
    list += u'\0';
  }
  list += u'\0';
  return list;
}

int Selection(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0)); }

}  // namespace

CMainDialog::CMainDialog() : charsetEntries_(CharsetListEntries()) {
  filterList_ = NativeFilterList(BuildFilterList(LoadFilterText()));
}

int CMainDialog::Run(RunSettings& options) {
  options_ = &options;
  const INT_PTR end = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), GetDesktopWindow(),
                                      &CMainDialog::Procedure, reinterpret_cast<LPARAM>(this));
  // -1 (or 0, for want of an owner): no dialog could be made, as without a desktop.
  if (end <= 0) return kDialogUnavailable;
  return end == kDialogConvert ? kDialogConvert : kDialogCancel;
}

DialogChoices CMainDialog::Choices() const {
  DialogChoices choices;
  choices.sourcePath = sourcePath_;
  choices.destinationPath = outputPath_;
  choices.sourceEntry = Selection(window_, IDC_SOURCE_LIST);
  choices.destinationEntry = Selection(window_, IDC_DESTINATION_LIST);
  choices.lineBreakEntry = Selection(window_, IDC_LINE_BREAK_LIST);
  choices.noBom = IsDlgButtonChecked(window_, IDC_NO_BOM) == BST_CHECKED;
  choices.modifyXml = IsDlgButtonChecked(window_, IDC_MODIFY_XML) == BST_CHECKED;
  choices.modifyHtml = IsDlgButtonChecked(window_, IDC_MODIFY_HTML) == BST_CHECKED;
  return choices;
}

INT_PTR CALLBACK CMainDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CMainDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->Initialise(window);
    return TRUE;  // the system sets the focus
  }
  auto* dialog = reinterpret_cast<CMainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      dialog->Command(LOWORD(wParam));
      dialog->UpdateConvertEnabled();
      break;
    case WM_CLOSE: EndDialog(window, kDialogCancel); break;
    case WM_SIZE:
      if (dialog->layoutCaptured_) {
        RECT rect{};
        GetWindowRect(window, &rect);
        ApplyDialogLayout(window, dialog->layout_.data(), rect);
      }
      break;
    case WM_SIZING:
      if (dialog->layoutCaptured_) ApplyDialogLayout(window, dialog->layout_.data(), *reinterpret_cast<RECT*>(lParam));
      break;
    case WM_GETMINMAXINFO: ApplySizeLimits(*reinterpret_cast<MINMAXINFO*>(lParam)); break;
    case WM_ERASEBKGND:
      if (dialog->layoutCaptured_) ExcludeControlsFromErase(reinterpret_cast<HDC>(wParam), dialog->layout_.data());
      break;
    default: break;
  }
  // The default dialog handling always runs after us: it erases what is left, sizes, closes.
  return FALSE;
}

void CMainDialog::Initialise(HWND window) {
  window_ = window;
  // Controls draw into the dialog's device context, whose clipping the erase handler sets.
  SetClassLongPtrW(window, GCL_STYLE, static_cast<LONG_PTR>(GetClassLongPtrW(window, GCL_STYLE) | CS_PARENTDC));
  for (const int list : {IDC_SOURCE_LIST, IDC_DESTINATION_LIST}) {
    for (const std::u16string& entry : charsetEntries_) {
      SendDlgItemMessageW(window, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry)));
    }
  }
  for (const std::u16string_view entry : kLineBreakEntries) {
    const std::u16string text(entry);
    SendDlgItemMessageW(window, IDC_LINE_BREAK_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
  }
  SendDlgItemMessageW(window, IDC_LINE_BREAK_LIST, CB_SETCURSEL, 0, 0);
  FitTextControls(window);
  CaptureDialogLayout(window, layout_.data());
  layoutCaptured_ = true;
  // A source given at the start (morfex --dialog FILE) is taken as if it had been chosen.
  if (!options_->sources.empty()) TakeSource(options_->sources.front());
  UpdateConvertEnabled();
  if (const SnapshotRequest request = SnapshotRequestFromEnvironment()) ScheduleSnapshots(*this, request);
}

void CMainDialog::Command(int id) {
  switch (id) {
    case IDC_SOURCE_BUTTON: ChooseSource(); break;
    case IDC_DESTINATION_BUTTON: ChooseDestination(); break;
    case IDC_CONVERT: {
      // A disabled button sends nothing, but another program may send the command itself.
      const DialogChoices choices = Choices();
      if (!IsConvertEnabled(choices)) break;
      FillRunSettings(choices, charsetEntries_, *options_);
      EndDialog(window_, kDialogConvert);
      break;
    }
    case IDC_CANCEL: EndDialog(window_, kDialogCancel); break;
    default: break;
  }
}

std::optional<std::u16string> CMainDialog::ShowFileDialog(Chooser kind) {
  if (chooser_) return chooser_(kind);
  std::u16string file(kPathRoom, u'\0');
  const std::u16string& chosenBefore = kind == Chooser::Source ? sourcePath_ : outputPath_;
  file.replace(0, std::min(chosenBefore.size(), kPathRoom - 1), chosenBefore.substr(0, kPathRoom - 1));
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = window_;
  request.lpstrFilter = Wide(filterList_);
  request.nFilterIndex = 1;
  request.lpstrFile = reinterpret_cast<wchar_t*>(file.data());
  request.nMaxFile = static_cast<DWORD>(kPathRoom);
  BOOL chosen = FALSE;
  if (kind == Chooser::Source) {
    request.lpstrTitle = L"Please select a source text document to convert";
    request.Flags = OFN_ENABLESIZING;
    chosen = GetOpenFileNameW(&request);
  } else {
    const std::u16string extension = DefaultExtension(outputPath_).substr(0, 63);
    request.lpstrTitle = L"Please select a name for destination text document";
    request.Flags = OFN_ENABLESIZING | OFN_EXPLORER | OFN_EXTENSIONDIFFERENT | OFN_OVERWRITEPROMPT;
    request.lpstrDefExt = Wide(extension);
    chosen = GetSaveFileNameW(&request);
  }
  if (!chosen) return std::nullopt;
  file.resize(file.find(u'\0'));
  return file;
}

void CMainDialog::ChooseSource() {
  const std::optional<std::u16string> chosen = ShowFileDialog(Chooser::Source);
  if (!chosen || chosen->empty()) return;
  TakeSource(*chosen);
}

void CMainDialog::TakeSource(const std::u16string& path) {
  sourcePath_ = path;
  // A new source replaces a destination chosen before by the new proposal.
  outputPath_ = ProposeDestination(sourcePath_);
  SetText(IDC_SOURCE_PATH, sourcePath_);
  SetText(IDC_DESTINATION_PATH, outputPath_);
  SelectDetectedCharset();
}

void CMainDialog::ChooseDestination() {
  const std::optional<std::u16string> chosen = ShowFileDialog(Chooser::Destination);
  if (!chosen || chosen->empty()) return;
  outputPath_ = *chosen;
  SetText(IDC_DESTINATION_PATH, outputPath_);
}

void CMainDialog::SelectDetectedCharset() {
  const CharsetCode code = ProposeFileCharset(sourcePath_);
  const char16_t* name = CharsetNameFromCode(code);
  // A code without a name in the lists leaves both selections as they were.
  if (const auto entry = SelectCharsetEntry(charsetEntries_, name)) {
    for (const int list : {IDC_SOURCE_LIST, IDC_DESTINATION_LIST}) {
      SendDlgItemMessageW(window_, list, CB_SETCURSEL, *entry, 0);
    }
  }
}

void CMainDialog::UpdateConvertEnabled() {
  EnableWindow(GetDlgItem(window_, IDC_CONVERT), IsConvertEnabled(Choices()) ? TRUE : FALSE);
}

void CMainDialog::SetText(int id, const std::u16string& text) { SetDlgItemTextW(window_, id, Wide(text)); }

int RunMainDialog(RunSettings& options) {
  CMainDialog dialog;
  return dialog.Run(options);
}

}  // namespace glyphshift::ui::win32
