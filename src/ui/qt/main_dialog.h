// The main conversion dialog (template 101) in Qt: its controls in template order, anchored by
// the layout table while it is resized, filling the run's settings on Convert.
#pragma once

#include <QDialog>
#include <QMargins>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/run_settings.h"
#include "ui/dialog_templates.h"
#include "ui/layout.h"
#include "ui/main_dialog_logic.h"
#include "ui/qt/dialog_units.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace glyphshift::ui {

// Control ids of template 101 (ui/dialog_ids.h), by name.
enum MainDialogControl : int {
  kIdConvert = IDC_CONVERT,
  kIdCancel = IDC_CANCEL,
  kIdSourceList = IDC_SOURCE_LIST,
  kIdSourcePath = IDC_SOURCE_PATH,
  kIdSourceButton = IDC_SOURCE_BUTTON,
  kIdDestinationList = IDC_DESTINATION_LIST,
  kIdDestinationPath = IDC_DESTINATION_PATH,
  kIdDestinationButton = IDC_DESTINATION_BUTTON,
  kIdLineBreakList = IDC_LINE_BREAK_LIST,
  kIdNoBom = IDC_NO_BOM,
  kIdModifyXml = IDC_MODIFY_XML,
  kIdModifyHtml = IDC_MODIFY_HTML,
  kIdOptionsGroup = IDC_OPTIONS_GROUP,
  kIdFiletypeGroup = IDC_FILETYPE_GROUP,
  kIdLineBreakNote = IDC_LINE_BREAK_NOTE,
};

// Filters in Qt's syntax: "Text (*.txt)"; ";" between patterns becomes a blank, and "*.*"
// (every file on Windows) becomes "*", which on Linux also matches names without a dot.
QStringList ToQtNameFilters(const std::vector<FileFilter>& filters);

class CMainDialog : public QDialog {
 public:
  enum class Chooser { Source, Destination };
  struct ChooserRequest {
    Chooser kind;
    QString title;
    QStringList nameFilters;  // the first one is preselected
    QString selectedPath;     // the path chosen before, empty if none
    QString defaultSuffix;    // destination only
  };
  // Returns the chosen path, or nothing when the user cancels.
  using FileChooser = std::function<std::optional<QString>(const ChooserRequest&)>;

  explicit CMainDialog(QWidget* parent = nullptr);

  // Replaces the file dialogs (tests, snapshots).
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  QWidget* Control(int id) const;
  DialogChoices Choices() const;
  const DialogUnits& Units() const { return units_; }

  // Runs modally; kDialogConvert after filling `options`, kDialogCancel otherwise.
  int Run(RunSettings& options);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  QWidget* CreateControl(const ControlTemplate& control);
  void ChooseSource();
  // The source path, the destination proposed for it and its detected set, as a choice sets them.
  void TakeSource(const std::u16string& path);
  void ChooseDestination();
  void SelectDetectedCharset(const std::u16string& path);
  void UpdateConvertEnabled();
  void UpdateSizeLimits();
  void TakeReportedFrame();
  std::optional<QString> ShowFileDialog(const ChooserRequest& request);

  DialogUnits units_;
  std::vector<std::u16string> charsetEntries_;
  QStringList nameFilters_;
  std::u16string sourcePath_;
  std::u16string outputPath_;
  std::map<int, QWidget*> controls_;
  std::array<ControlLayout, kMainDialogLayoutSize> layout_ = kMainDialogLayout;
  bool layoutCaptured_ = false;
  QMargins frame_;       // the window's frame: none until it is known
  bool placed_ = false;  // sized and centred with its frame, before it was first shown
  FileChooser chooser_;
  QComboBox* sourceList_ = nullptr;
  QComboBox* destinationList_ = nullptr;
  QComboBox* lineBreakList_ = nullptr;
  QLineEdit* sourceEdit_ = nullptr;
  QLineEdit* destinationEdit_ = nullptr;
  QPushButton* convertButton_ = nullptr;
  QCheckBox* noBomBox_ = nullptr;
  QCheckBox* xmlBox_ = nullptr;
  QCheckBox* htmlBox_ = nullptr;
};

}  // namespace glyphshift::ui
