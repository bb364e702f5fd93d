// The entry of the Qt module: the table of functions the program calls once it has loaded it.
#include <dlfcn.h>

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ui/gui_module.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/help_window.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/snapshot.h"

namespace glyphshift::ui {
namespace {

// Qt ends the process when its platform cannot start, so an X display named by DISPLAY is
// tried first (a stale DISPLAY, or a Wayland session without X). Other platforms are trusted.
// The trial connection stays open until Qt has its own: a server that resets when its last
// client leaves (Xvfb) would otherwise refuse Qt while it resets.
class DisplayProbe {
 public:
  DisplayProbe() = default;
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;
  ~DisplayProbe() {
    if (connection_ != nullptr) disconnect_(connection_);
  }

  // False, with the reason in `why`, when Qt would end the process.
  bool PlatformCanStart(std::u16string& why) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0' && std::strcmp(platform, "xcb") != 0) return true;
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) {
      why = u"the X client library libxcb.so.1 cannot be loaded";
      return false;
    }
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    disconnect_ = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool usable = false;
    if (connect != nullptr && hasError != nullptr && disconnect_ != nullptr) {
      connection_ = connect(nullptr, nullptr);
      usable = hasError(connection_) == 0;
    }
    if (!usable) {
      const char* display = std::getenv("DISPLAY");
      why = u"cannot open the display \"" + QString::fromLocal8Bit(display != nullptr ? display : "").toStdU16String() +
            u"\"";
    }
    return usable;
  }

 private:
  using Disconnect = void (*)(void*);
  Disconnect disconnect_ = nullptr;
  void* connection_ = nullptr;  // libxcb stays loaded: it is Qt's own dependency too
};

// The application object for one call: the caller's when one exists (tests), else our own,
// destroyed again when the call ends.
class ApplicationScope {
 public:
  bool Start(std::u16string& whyNot) {
    if (QApplication::instance() != nullptr) return true;
    DisplayProbe probe;
    if (!probe.PlatformCanStart(whyNot)) return false;
    static int argc = 1;
    static char name[] = "morfex";
    static char* argv[] = {name, nullptr};
    owned_ = std::make_unique<QApplication>(argc, argv);
    return true;
  }

 private:
  std::unique_ptr<QApplication> owned_;
};

int RunMainDialogEntry(RunSettings* options, std::u16string* whyUnavailable) {
  ApplicationScope application;
  if (!application.Start(*whyUnavailable)) return kDialogUnavailable;
  CMainDialog dialog;
  if (const SnapshotRequest snapshot = SnapshotRequestFromEnvironment()) ScheduleSnapshots(dialog, snapshot);
  return dialog.Run(*options);
}

bool RunHelpWindowEntry(const char16_t* text, std::size_t length, std::u16string* whyUnavailable) {
  ApplicationScope application;
  if (!application.Start(*whyUnavailable)) return false;
  CHelpWindow window;
  window.SetText({text, length});
  if (const SnapshotRequest snapshot = SnapshotRequestFromEnvironment()) ScheduleSnapshots(window, snapshot);
  window.Run();
  return true;
}

void ShowMessageBoxEntry(const char16_t* text, std::size_t textLength, const char16_t* caption,
                         std::size_t captionLength, int icon) {
  ApplicationScope application;
  std::u16string whyUnavailable;  // the message has been written to the log or console already
  if (!application.Start(whyUnavailable)) return;
  QMessageBox box(icon == 1 ? QMessageBox::Critical : QMessageBox::Information, ToQString({caption, captionLength}),
                  ToQString({text, textLength}), QMessageBox::Ok);
  box.setFont(DialogFont());
  if (const SnapshotRequest snapshot = SnapshotRequestFromEnvironment()) ScheduleSnapshots(box, snapshot);
  box.exec();
}

bool AskQuestionEntry(const char16_t* text, std::size_t textLength, const char16_t* caption,
                      std::size_t captionLength) {
  ApplicationScope application;
  std::u16string whyUnavailable;
  if (!application.Start(whyUnavailable)) return false;
  QMessageBox box(QMessageBox::Warning, ToQString({caption, captionLength}), ToQString({text, textLength}),
                  QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.setFont(DialogFont());
  if (const SnapshotRequest snapshot = SnapshotRequestFromEnvironment()) ScheduleSnapshots(box, snapshot);
  return box.exec() == QMessageBox::Yes;
}

constexpr GuiModule kModule = {kGuiModuleVersion, &RunMainDialogEntry, &RunHelpWindowEntry, &ShowMessageBoxEntry,
                               &AskQuestionEntry};

}  // namespace
}  // namespace glyphshift::ui

extern "C" __attribute__((visibility("default"))) const glyphshift::ui::GuiModule* GlyphshiftGuiModule() {
  return &glyphshift::ui::kModule;
}
