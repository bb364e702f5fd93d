// The help window (template 106): the usage text in a read-only multi-line edit that follows
// the window with a 10-pixel margin, and a Close button below it. Escape and Ctrl+W close it too.
#pragma once

#include <QWidget>
#include <string_view>

#include "ui/qt/dialog_units.h"

class QEventLoop;
class QPlainTextEdit;
class QPushButton;

namespace glyphshift::ui {

class CHelpWindow : public QWidget {
 public:
  static constexpr int kStartWidth = 640;
  static constexpr int kStartHeight = 480;

  CHelpWindow();
  // Shows `text` (CR LF or LF line breaks).
  void SetText(std::u16string_view text);
  // Shows the window and returns once it has been closed.
  void Run();
  QPlainTextEdit* Edit() const { return edit_; }
  QPushButton* CloseButton() const { return closeButton_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void AlignDescriptions(const QString& text);

  DialogUnits units_;
  QPlainTextEdit* edit_;
  QPushButton* closeButton_;
  QEventLoop* loop_ = nullptr;
  bool shownBefore_ = false;
};

}  // namespace glyphshift::ui
