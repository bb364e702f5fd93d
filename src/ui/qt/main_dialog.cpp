#include "ui/qt/main_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>

#include "api/file_detection.h"
#include "engine/charset_catalogue.h"
#include "glyphshift/glyphshift.h"
#include "platform/native_text.h"
#include "ui/gui_module.h"
#include "ui/qt/window_frame.h"

namespace glyphshift::ui {

namespace {
// Paths travel through the platform's native form, so a name that is not valid UTF-8 keeps
// the bytes the file system gave it.
std::u16string PathFromQt(const QString& path) { return platform::FromNative(QFile::encodeName(path).toStdString()); }
QString PathToQt(const std::u16string& path) {
  return QFile::decodeName(QByteArray::fromStdString(platform::ToNative(path)));
}

QString QtPatterns(std::u16string_view windowsPatterns) {
  QStringList patterns;
  for (const QString& pattern : ToQString(windowsPatterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString trimmed = pattern.trimmed();
    if (!trimmed.isEmpty()) patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
  }
  return patterns.join(QLatin1Char(' '));
}
}  // namespace

QStringList ToQtNameFilters(const std::vector<FileFilter>& filters) {
  QStringList result;
  for (const FileFilter& filter : filters) {
    result << ToQString(filter.description) + QStringLiteral(" (") + QtPatterns(filter.pattern) + QLatin1Char(')');
  }
  return result;
}

CMainDialog::CMainDialog(QWidget* parent)
    : QDialog(parent), units_(DialogFont()), charsetEntries_(CharsetListEntries()) {
  setWindowTitle(ToQString(kMainDialog.caption));
  setFont(DialogFont());
  setSizeGripEnabled(false);
  nameFilters_ = ToQtNameFilters(BuildFilterList(LoadFilterText()));
  CreateControls();
  resize(units_.X(kMainDialog.width), units_.Y(kMainDialog.height));
  CaptureLayout(layout_.data(), {width(), height()}, [this](std::uint32_t id) {
    const QRect r = Control(static_cast<int>(id))->geometry();
    return LayoutRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  });
  layoutCaptured_ = true;
  UpdateSizeLimits();
  UpdateConvertEnabled();
}

namespace {
QLabel* StaticText(const QString& text, QWidget* parent, bool wrap = false) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(wrap);
  return label;
}

// A drop-down list: the template's height includes the opened list, the closed box keeps the
// toolkit's own height. Styles that open a menu-like popup (Fusion among them) ignore the number
// of visible entries and open the character-set lists screen-tall; the plain list popup keeps it.
QComboBox* DropDownList(QWidget* parent, int openedHeight) {
  auto* list = new QComboBox(parent);
  list->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
  const int closed = list->sizeHint().height();
  list->setMaxVisibleItems(std::max(1, (openedHeight - closed) / std::max(1, list->fontMetrics().height())));
  return list;
}
}  // namespace

// One control of the template, placed as the template says; a drop-down list keeps the
// toolkit's own height for its closed box.
QWidget* CMainDialog::CreateControl(const ControlTemplate& control) {
  const QString text = ToQString(control.text);
  QRect rect = units_.Rect(control.x, control.y, control.width, control.height);
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::DefaultButton:
    case ControlKind::Button: {
      auto* button = new QPushButton(text, this);
      button->setDefault(control.kind == ControlKind::DefaultButton);
      widget = button;
      break;
    }
    case ControlKind::DropDownList: {
      QComboBox* list = DropDownList(this, rect.height());
      rect.setHeight(list->sizeHint().height());
      widget = list;
      break;
    }
    // A label taller than one line of the font wraps its text.
    case ControlKind::Label: widget = StaticText(text, this, control.height > 8); break;
    case ControlKind::ReadOnlyEdit:
    case ControlKind::MultiLineEdit: {
      auto* edit = new QLineEdit(this);
      edit->setReadOnly(true);
      widget = edit;
      break;
    }
    case ControlKind::GroupBox: widget = new QGroupBox(text, this); break;
    case ControlKind::CheckBox: widget = new QCheckBox(text, this); break;
  }
  // A text wider in this font than in the template's widens its control, so none is cut off.
  if (const std::optional<std::int32_t> limit = TextGrowthLimit(control)) {
    const LayoutRect fitted =
        FitTextWidth({rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()},
                     widget->sizeHint().width(), units_.X(*limit));
    rect.setWidth(fitted.right - fitted.left);
  }
  widget->setGeometry(rect);
  if (control.id > 0) {
    widget->setObjectName(QString::number(control.id));
    controls_[control.id] = widget;
  }
  return widget;
}

void CMainDialog::CreateControls() {
  // Template order, which is also the tab order and, for the group boxes, the stacking order.
  for (const ControlTemplate& control : kMainDialogControls) CreateControl(control);
  convertButton_ = static_cast<QPushButton*>(Control(kIdConvert));
  sourceList_ = static_cast<QComboBox*>(Control(kIdSourceList));
  destinationList_ = static_cast<QComboBox*>(Control(kIdDestinationList));
  lineBreakList_ = static_cast<QComboBox*>(Control(kIdLineBreakList));
  sourceEdit_ = static_cast<QLineEdit*>(Control(kIdSourcePath));
  destinationEdit_ = static_cast<QLineEdit*>(Control(kIdDestinationPath));
  noBomBox_ = static_cast<QCheckBox*>(Control(kIdNoBom));
  xmlBox_ = static_cast<QCheckBox*>(Control(kIdModifyXml));
  htmlBox_ = static_cast<QCheckBox*>(Control(kIdModifyHtml));

  for (const std::u16string& entry : charsetEntries_) {
    sourceList_->addItem(ToQString(entry));
    destinationList_->addItem(ToQString(entry));
  }
  sourceList_->setCurrentIndex(-1);
  destinationList_->setCurrentIndex(-1);
  for (std::u16string_view entry : kLineBreakEntries) lineBreakList_->addItem(ToQString(entry));
  lineBreakList_->setCurrentIndex(0);

  connect(convertButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(static_cast<QPushButton*>(Control(kIdCancel)), &QPushButton::clicked, this, &QDialog::reject);
  connect(static_cast<QPushButton*>(Control(kIdSourceButton)), &QPushButton::clicked, this, [this] { ChooseSource(); });
  connect(static_cast<QPushButton*>(Control(kIdDestinationButton)), &QPushButton::clicked, this,
          [this] { ChooseDestination(); });
  for (QComboBox* list : {sourceList_, destinationList_, lineBreakList_}) {
    connect(list, &QComboBox::currentIndexChanged, this, [this] { UpdateConvertEnabled(); });
  }
}

QWidget* CMainDialog::Control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

DialogChoices CMainDialog::Choices() const {
  DialogChoices choices;
  choices.sourcePath = sourcePath_;
  choices.destinationPath = outputPath_;
  choices.sourceEntry = sourceList_->currentIndex();
  choices.destinationEntry = destinationList_->currentIndex();
  choices.lineBreakEntry = lineBreakList_->currentIndex();
  choices.noBom = noBomBox_->isChecked();
  choices.modifyXml = xmlBox_->isChecked();
  choices.modifyHtml = htmlBox_->isChecked();
  return choices;
}

int CMainDialog::Run(RunSettings& options) {
  // A source given at the start (morfex --dialog FILE) is taken as if it had been chosen.
  if (!options.sources.empty()) TakeSource(options.sources.front());
  if (exec() != QDialog::Accepted) return kDialogCancel;
  FillRunSettings(Choices(), charsetEntries_, options);
  return kDialogConvert;
}

std::optional<QString> CMainDialog::ShowFileDialog(const ChooserRequest& request) {
  if (chooser_) return chooser_(request);
  QFileDialog dialog(this, request.title);
  dialog.setFileMode(QFileDialog::AnyFile);  // a typed name need not exist
  dialog.setAcceptMode(request.kind == Chooser::Source ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setNameFilters(request.nameFilters);
  if (!request.nameFilters.isEmpty()) dialog.selectNameFilter(request.nameFilters.first());
  if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
  if (!request.selectedPath.isEmpty()) dialog.selectFile(request.selectedPath);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

void CMainDialog::ChooseSource() {
  const std::optional<QString> chosen =
      ShowFileDialog({Chooser::Source, QStringLiteral("Please select a source text document to convert"), nameFilters_,
                      PathToQt(sourcePath_), QString()});
  if (chosen && !chosen->isEmpty()) TakeSource(PathFromQt(*chosen));
  UpdateConvertEnabled();
}

void CMainDialog::TakeSource(const std::u16string& path) {
  sourcePath_ = path;
  outputPath_ = ProposeDestination(sourcePath_);
  sourceEdit_->setText(PathToQt(sourcePath_));
  destinationEdit_->setText(PathToQt(outputPath_));
  SelectDetectedCharset(sourcePath_);
  UpdateConvertEnabled();
}

void CMainDialog::ChooseDestination() {
  const std::optional<QString> chosen =
      ShowFileDialog({Chooser::Destination, QStringLiteral("Please select a name for destination text document"),
                      nameFilters_, PathToQt(outputPath_), ToQString(DefaultExtension(outputPath_))});
  if (chosen && !chosen->isEmpty()) {
    outputPath_ = PathFromQt(*chosen);
    destinationEdit_->setText(PathToQt(outputPath_));
  }
  UpdateConvertEnabled();
}

void CMainDialog::SelectDetectedCharset(const std::u16string& path) {
  const CharsetCode code = ProposeFileCharset(path);
  const char16_t* name = CharsetNameFromCode(code);
  for (QComboBox* list : {sourceList_, destinationList_}) {
    if (const auto entry = SelectCharsetEntry(charsetEntries_, name)) list->setCurrentIndex(static_cast<int>(*entry));
  }
}

void CMainDialog::UpdateConvertEnabled() { convertButton_->setEnabled(IsConvertEnabled(Choices())); }

// The limits hold for the whole window; Qt sizes the client area, so the frame comes off.
void CMainDialog::UpdateSizeLimits() {
  const ClientSizeLimits limits =
      MainDialogClientLimits(frame_.left() + frame_.right(), frame_.top() + frame_.bottom());
  if (minimumWidth() != limits.minWidth) setMinimumWidth(limits.minWidth);
  if (minimumHeight() != limits.minHeight || maximumHeight() != limits.maxHeight) {
    setMinimumHeight(limits.minHeight);
    setMaximumHeight(limits.maxHeight);
  }
}

// The frame the window manager reports once the window is mapped replaces the one expected
// before; they differ only where the window manager could not tell in advance.
void CMainDialog::TakeReportedFrame() {
  const QRect outer = frameGeometry();
  const QRect inner = geometry();
  const QMargins reported(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                          outer.bottom() - inner.bottom());
  if (reported.isNull() || reported == frame_) return;
  frame_ = reported;
  UpdateSizeLimits();
}

void CMainDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!layoutCaptured_) return;
  for (const ControlPlacement& place : ApplyLayout(layout_.data(), {width(), height()})) {
    Control(static_cast<int>(place.controlId))
        ->setGeometry(place.x, place.y, std::max(0, place.width), std::max(0, place.height));
  }
}

void CMainDialog::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  if (isVisible()) TakeReportedFrame();
}

// The window manager activates a window after framing it, so the frame is known by then.
void CMainDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isVisible()) TakeReportedFrame();
}

// Sized and centred on the screen with its frame, before it is first mapped, so that it opens
// 400 pixels high and stays so when first moved.
void CMainDialog::showEvent(QShowEvent* event) {
  if (!placed_) {
    placed_ = true;
    frame_ = ExpectedFrame(*this);
    UpdateSizeLimits();
    if (const QScreen* shownOn = screen()) {
      const QSize whole = size() + QSize(frame_.left() + frame_.right(), frame_.top() + frame_.bottom());
      const QPoint corner = shownOn->availableGeometry().center() - QPoint(whole.width() / 2, whole.height() / 2);
      setGeometry(QRect(corner + QPoint(frame_.left(), frame_.top()), size()));
    }
  }
  QDialog::showEvent(event);  // does not centre again: the window has been placed
}

}  // namespace glyphshift::ui
