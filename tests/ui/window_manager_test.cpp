// The windows under a real X server with a window manager (Xvfb and openbox, started for the
// test): only there does a frame arrive after the window was sized, and only there can a window
// jump when the window manager first moves it. Skipped, with the reason, when either program is
// missing.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ui/qt/help_window.h"
#include "ui/qt/main_dialog.h"

extern char** environ;

// Sizes in failure messages as "640x480".
void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << "x" << size.height(); }

namespace glyphshift::ui {
namespace {

constexpr int kWaitMilliseconds = 5000;

// A child program with its output discarded; `keepFd` is handed over as descriptor 3.
pid_t Spawn(std::vector<std::string> arguments, int keepFd, std::string& error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (keepFd >= 0) posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    error = arguments[0] + ": " + std::strerror(failed);
    return -1;
  }
  return pid;
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

// Why the tests cannot run; empty once the session has started.
std::string g_unavailable = "the session has not started";

// Xvfb on a free display, openbox on it, and the application on both, for the whole run.
class XSession : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!StartServer(g_unavailable) || !StartWindowManager(g_unavailable)) return;
    g_unavailable.clear();
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char name[] = "window_manager_test";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override {
    application_.reset();  // before the server goes
    Stop(windowManager_);
    Stop(server_);
  }

 private:
  bool StartServer(std::string& error) {
    int displayPipe[2];
    if (::pipe(displayPipe) != 0) {
      error = std::string("pipe: ") + std::strerror(errno);
      return false;
    }
    // No reset when the last client leaves: the window manager's check would race it.
    server_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                    displayPipe[1], error);
    ::close(displayPipe[1]);
    if (server_ < 0) {
      ::close(displayPipe[0]);
      error += " (Debian package xvfb)";
      return false;
    }
    // Xvfb writes its display number and then a line feed once it accepts clients; it ends
    // when it cannot write the line feed, so the pipe stays open until that has come.
    std::string number;
    char piece[16];
    pollfd ready{displayPipe[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && ::poll(&ready, 1, kWaitMilliseconds) == 1) {
      const ssize_t length = ::read(displayPipe[0], piece, sizeof piece);
      if (length <= 0) break;
      number.append(piece, static_cast<std::size_t>(length));
    }
    ::close(displayPipe[0]);
    if (number.find('\n') == std::string::npos) {
      error = "Xvfb did not start";
      return false;
    }
    ::setenv("DISPLAY", (":" + number.substr(0, number.find('\n'))).c_str(), 1);
    return true;
  }

  bool StartWindowManager(std::string& error) {
    windowManager_ = Spawn({"openbox", "--sm-disable"}, -1, error);
    if (windowManager_ < 0) {
      error += " (Debian package openbox)";
      return false;
    }
    // Ready once it has announced itself on the root window.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
      xcb_disconnect(connection);
      error = "cannot connect to Xvfb";
      return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const char kCheck[] = "_NET_SUPPORTING_WM_CHECK";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kCheck - 1, kCheck), nullptr),
        &std::free);
    bool announced = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMilliseconds);
    while (atom && !announced && std::chrono::steady_clock::now() < deadline) {
      std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> check(
          xcb_get_property_reply(connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1),
                                 nullptr),
          &std::free);
      announced = check && xcb_get_property_value_length(check.get()) == 4;
      if (!announced) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    xcb_disconnect(connection);
    if (!announced) error = "openbox did not start";
    return announced;
  }

  pid_t server_ = -1;
  pid_t windowManager_ = -1;
  std::unique_ptr<QApplication> application_;
};

// Every size the client area takes while the window is on the screen.
class SizesOnScreen : public QObject {
 public:
  explicit SizesOnScreen(QWidget& window) : window_(window) { window.installEventFilter(this); }
  std::vector<QSize> sizes;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize && window_.windowHandle()->isExposed()) sizes.push_back(window_.size());
    return false;
  }

 private:
  QWidget& window_;
};

class WindowManager : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!g_unavailable.empty()) GTEST_SKIP() << g_unavailable;
  }
};

// Shown, mapped and framed by the window manager.
void ShowFramed(QWidget& window) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.windowHandle()->frameMargins().isNull(); }, kWaitMilliseconds))
      << "no frame from the window manager";
}

TEST_F(WindowManager, TheDialogOpens400HighFrameIncludedAndKeepsItsSizeWhenMoved) {
  CMainDialog dialog;
  SizesOnScreen resized(dialog);
  ASSERT_NO_FATAL_FAILURE(ShowFramed(dialog));
  const QRect opened = dialog.windowHandle()->frameGeometry();
  EXPECT_EQ(opened.height(), 400);
  EXPECT_GT(dialog.windowHandle()->frameMargins().top(), 0) << "a title bar";

  const QPoint target = opened.topLeft() + QPoint(40, 30);
  dialog.move(target);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return dialog.windowHandle()->frameGeometry().topLeft() == target; }, kWaitMilliseconds));
  EXPECT_EQ(dialog.windowHandle()->frameGeometry().size(), opened.size());
  EXPECT_TRUE(resized.sizes.empty()) << "resized on screen, first to " << ::testing::PrintToString(resized.sizes[0]);
}

TEST_F(WindowManager, TheHelpWindowOpens640By480FrameIncluded) {
  CHelpWindow window;
  SizesOnScreen resized(window);
  ASSERT_NO_FATAL_FAILURE(ShowFramed(window));
  EXPECT_EQ(window.windowHandle()->frameGeometry().size(), QSize(640, 480));
  EXPECT_EQ(window.Edit()->width(), window.width() - 10);
  EXPECT_EQ(window.CloseButton()->geometry().bottom(), window.height() - 6) << "5 pixels from the bottom";
  EXPECT_TRUE(resized.sizes.empty());
}

}  // namespace
}  // namespace glyphshift::ui

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new glyphshift::ui::XSession);
  return RUN_ALL_TESTS();
}
