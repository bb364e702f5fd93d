// The loader of the GUI module, without a toolkit in the test process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/gui_loader.h"

namespace glyphshift::app {
namespace {

using ui::kDialogCancel;
using ui::kDialogUnavailable;

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    Save("DISPLAY");
    Save("WAYLAND_DISPLAY");
    Save("GLYPHSHIFT_GUI_MODULE");
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void Save(const char* name) {
    const char* value = std::getenv(name);
    saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(Loader, WithoutADisplayNothingIsShown) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("GLYPHSHIFT_GUI_MODULE", "/nonexistent/morfex_qt.so", 1);
  RunSettings options;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunMainDialog(options), kDialogUnavailable);
  EXPECT_FALSE(ShowHelpWindow(u"usage"));
  // The help text then goes to standard output instead; the dialog has no stand-in.
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "morfex: no display for the dialog; give a source file, or see \"morfex --help\".\n")
      << "no display is not an error of the module";
  EXPECT_EQ(options.destinationCharsetName, u"utf-8");
}

TEST_F(Loader, AMissingModuleIsReportedAndLeavesTheOptionsAlone) {
  setenv("DISPLAY", ":0", 1);
  setenv("GLYPHSHIFT_GUI_MODULE", "/nonexistent/morfex_qt.so", 1);
  RunSettings options;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunMainDialog(options), kDialogUnavailable);
  const std::string error = testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("graphical interface is not available"), std::string::npos) << error;
  EXPECT_NE(error.find("/nonexistent/morfex_qt.so"), std::string::npos) << error;
  EXPECT_TRUE(options.sources.empty());
}

TEST_F(Loader, ALibraryWithoutTheEntryIsRefused) {
  setenv("DISPLAY", ":0", 1);
  setenv("GLYPHSHIFT_GUI_MODULE", "libm.so.6", 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ShowHelpWindow(u"usage"));
  const std::string error = testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("not a GUI module"), std::string::npos) << error;
}

// The loader is linked into the batch program: it must not bring the toolkit with it.
TEST_F(Loader, PullsInNoToolkitLibrary) {
  std::ifstream maps("/proc/self/maps");
  std::stringstream content;
  content << maps.rdbuf();
  EXPECT_EQ(content.str().find("libQt6"), std::string::npos);
}

}  // namespace
}  // namespace glyphshift::app
