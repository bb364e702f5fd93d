// Loads the Qt module on demand: a batch run never pays for the toolkit, and a machine without
// it still converts from the command line.
#include "app/gui_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "messages/catalogue.h"
#include "messages/print_message.h"
#include "platform/display.h"
#include "platform/native_text.h"
#include "platform/streams.h"
#include "ui/gui_module.h"

// Where the installed module lies relative to the program's folder, from the install layout
// (cmake/GlyphshiftInstall.cmake), e.g. "../lib/x86_64-linux-gnu/glyphshift".
#ifndef GLYPHSHIFT_GUI_MODULE_RELATIVE_DIR
#error "The build defines where the installed module lies relative to the program."
#endif

namespace glyphshift::app {

using ui::GuiModule;
using ui::kDialogUnavailable;
using ui::kGuiModuleVersion;

namespace {

constexpr const char* kModuleFileName = "morfex_qt.so";
constexpr const char* kInstalledModuleDirectory = GLYPHSHIFT_GUI_MODULE_RELATIVE_DIR;
// The package that brings the module, where the install layout names one.
#ifdef GLYPHSHIFT_GUI_MODULE_PACKAGE
constexpr const char* kModulePackageHint = "; install the package " GLYPHSHIFT_GUI_MODULE_PACKAGE;
#else
constexpr const char* kModulePackageHint = "";
#endif

const GuiModule* gModule = nullptr;

std::string ExecutableDirectory() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(length));
      return path.substr(0, path.rfind('/'));
    }
    buffer.resize(buffer.size() * 2);
  }
}

// The override for tests first, then beside the program (the build tree), then the installed
// location. Both are found from the program's own file, never from a path fixed at build time,
// so an installed tree works under any prefix. secure_getenv: a program given capabilities
// (setcap) must not load code that whoever starts it names.
std::vector<std::string> ModuleCandidates() {
  const char* overridePath = secure_getenv("GLYPHSHIFT_GUI_MODULE");
  if (overridePath != nullptr && *overridePath != '\0') return {overridePath};
  const std::string directory = ExecutableDirectory();
  if (directory.empty()) return {};
  return {directory + "/" + kModuleFileName, directory + "/" + kInstalledModuleDirectory + "/" + kModuleFileName};
}

const GuiModule* OpenModule(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = dlerror();
    error = text != nullptr ? text : path + ": cannot be loaded";
    return nullptr;
  }
  auto entry = reinterpret_cast<GlyphshiftGuiModuleEntry>(dlsym(handle, GLYPHSHIFT_GUI_MODULE_ENTRY));
  const GuiModule* module = entry != nullptr ? entry() : nullptr;
  if (module == nullptr || module->version != kGuiModuleVersion) {
    error = path + ": not a GUI module of this program version";
    dlclose(handle);
    return nullptr;
  }
  return module;  // stays loaded for the life of the process
}

void ShowModuleMessageBox(std::u16string_view text, std::u16string_view caption, platform::MessageBoxIcon icon) {
  gModule->showMessageBox(text.data(), text.size(), caption.data(), caption.size(),
                          icon == platform::MessageBoxIcon::Error ? 1 : 0);
}

bool AskModuleQuestion(std::u16string_view text, std::u16string_view caption) {
  return gModule->askQuestion(text.data(), text.size(), caption.data(), caption.size());
}

// The one place the graphical modes say why they cannot be had.
void ReportUnavailable(std::u16string_view why) {
  platform::WriteText(platform::StdStream::Error, u"morfex: the graphical interface is not available: ");
  platform::WriteText(platform::StdStream::Error, why);
  platform::WriteText(platform::StdStream::Error, u"\n");
  platform::FlushStreams();
}

// The loaded module, or null after telling why on standard error.
const GuiModule* LoadModule() {
  if (gModule != nullptr) return gModule;
  const std::vector<std::string> candidates = ModuleCandidates();
  std::string firstError;
  for (const std::string& path : candidates) {
    if (access(path.c_str(), F_OK) != 0 && candidates.size() > 1) continue;
    std::string error;
    gModule = OpenModule(path, error);
    if (gModule != nullptr) {
      platform::SetMessageBoxHandler(&ShowModuleMessageBox);
      platform::SetQuestionHandler(&AskModuleQuestion);
      return gModule;
    }
    if (firstError.empty()) firstError = error;
  }
  if (firstError.empty()) {
    // Not there at all: the dialog's package was not installed, which is no fault of the files.
    const std::string installed =
        std::filesystem::path(ExecutableDirectory() + "/" + kInstalledModuleDirectory).lexically_normal().string();
    firstError = std::string("the dialog module ") + kModuleFileName +
                 " is not installed (neither beside the program nor in " + installed + ")" + kModulePackageHint;
  }
  ReportUnavailable(platform::FromNative(firstError));
  return nullptr;
}

}  // namespace

void ReportNoDisplay() { platform::WriteToConsole(platform::StdStream::Error, Format(msg::kNoDisplayForDialog)); }

bool ShowHelpWindow(std::u16string_view usageText) {
  if (!platform::IsDisplayAvailable()) return false;
  const GuiModule* module = LoadModule();
  if (module == nullptr) return false;
  std::u16string why;
  if (module->runHelpWindow(usageText.data(), usageText.size(), &why)) return true;
  ReportUnavailable(why);
  return false;
}

int RunMainDialog(RunSettings& settings) {
  if (!platform::IsDisplayAvailable()) {
    ReportNoDisplay();
    return kDialogUnavailable;
  }
  const GuiModule* module = LoadModule();
  if (module == nullptr) return kDialogUnavailable;
  std::u16string why;
  const int end = module->runMainDialog(&settings, &why);
  if (end == kDialogUnavailable) ReportUnavailable(why);
  return end;
}

}  // namespace glyphshift::app
