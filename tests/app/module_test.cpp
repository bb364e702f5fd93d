// The program's path to the windows: the loader finds the built module, which starts its own
// Qt application per call. Snapshot mode closes each window after saving a picture of it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "app/gui_loader.h"
#include "platform/display.h"
#include "support/temp_dir.h"

namespace glyphshift::app {
namespace {

using ui::kDialogCancel;
using ui::kDialogUnavailable;

struct PngSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Width and height from the PNG header; zero when the file is not a PNG.
PngSize ReadPngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0) return {};
  auto be32 = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
  };
  return {be32(16), be32(20)};
}

class Module : public support::InTempDirTest {
 protected:
  void SetUp() override {
    support::InTempDirTest::SetUp();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("DISPLAY", ":0", 1);  // the loader asks for a display; offscreen Qt never opens it
    setenv("GLYPHSHIFT_GUI_MODULE", GLYPHSHIFT_TEST_GUI_MODULE, 1);
    setenv("GLYPHSHIFT_GUI_SNAPSHOT", directory_.c_str(), 1);
    unsetenv("GLYPHSHIFT_GUI_SNAPSHOT_SOURCE");
  }
  PngSize Picture(const char* name) const { return ReadPngSize(Read((directory_ / name).string())); }
};

TEST_F(Module, TheDialogShowsAndCancelsWithoutTouchingTheOptions) {
  RunSettings options;
  EXPECT_EQ(RunMainDialog(options), kDialogCancel);
  EXPECT_TRUE(options.sources.empty());
  const PngSize shown = Picture("dialog.png");
  const PngSize wide = Picture("dialog-wide.png");
  ASSERT_GT(shown.width, 0u);
  EXPECT_EQ(wide.width, shown.width + 100);
  EXPECT_EQ(wide.height, shown.height);
}

TEST_F(Module, TheDialogCanRunAgainAndChooseASource) {
  const std::string source = Write("in.txt", std::string("\xFF\xFEh\0i\0", 6));
  setenv("GLYPHSHIFT_GUI_SNAPSHOT_SOURCE", source.c_str(), 1);
  RunSettings options;
  EXPECT_EQ(RunMainDialog(options), kDialogCancel);
  EXPECT_EQ(RunMainDialog(options), kDialogCancel) << "a second application after the first was destroyed";
  EXPECT_GT(Picture("dialog-filled.png").width, 0u);
}

TEST_F(Module, TheHelpWindowShowsUntilClosed) {
  EXPECT_TRUE(ShowHelpWindow(u"Glyphshift \"1, 3, 15, 2\"\r\nUsage: morfex <source file(s)> [flags]\r\n"));
  const PngSize help = Picture("help.png");
  EXPECT_GT(help.width, 600u);
  EXPECT_GT(help.height, 440u);
}

// Qt would end the process on a display it cannot open; the module says why and gives up instead.
TEST_F(Module, AnUnreachableDisplayIsReportedNotFatal) {
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("DISPLAY", ":197", 1);
  RunSettings options;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunMainDialog(options), kDialogUnavailable);
  EXPECT_FALSE(ShowHelpWindow(u"usage"));
  const std::string error = testing::internal::GetCapturedStderr();
  const std::string line = "morfex: the graphical interface is not available: cannot open the display \":197\"\n";
  EXPECT_EQ(error, line + line);
}

TEST_F(Module, MessageBoxesGoThroughTheModuleOnceLoaded) {
  RunSettings options;
  ASSERT_EQ(RunMainDialog(options), kDialogCancel);
  platform::ShowMessageBox(u"Conversion finished!", u"Finished", platform::MessageBoxIcon::Information);
  EXPECT_GT(Picture("message-box.png").width, 0u);
}

// The program finds the module beside itself; both windows end it with status 255.
TEST_F(Module, MorfexFindsTheModuleBesideItself) {
  const std::string command = std::string("env -u GLYPHSHIFT_GUI_MODULE ") + GLYPHSHIFT_TEST_MORFEX;
  const int dialog = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(dialog));
  EXPECT_EQ(WEXITSTATUS(dialog), 255);
  EXPECT_GT(Picture("dialog.png").width, 0u) << "the dialog was not shown";
  const int help = std::system((command + " '/?' >/dev/null").c_str());
  ASSERT_TRUE(WIFEXITED(help));
  EXPECT_EQ(WEXITSTATUS(help), 255);
  EXPECT_GT(Picture("help.png").width, 0u) << "the help window was not shown";
}

}  // namespace
}  // namespace glyphshift::app
