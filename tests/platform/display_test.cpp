#include "platform/display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace glyphshift::platform {
namespace {

// Sets or removes an environment variable for one test and puts it back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(Display, AvailableWhenEitherDisplayVariableIsSetAndNotEmpty) {
  struct Case {
    const char* x11;
    const char* wayland;
    bool available;
  } cases[] = {
      {nullptr, nullptr, false},    {"", "", false},         {":0", nullptr, true},
      {nullptr, "wayland-0", true}, {"", "wayland-0", true}, {":1", "", true},
  };
  for (const Case& c : cases) {
    ScopedEnv x11("DISPLAY", c.x11);
    ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(IsDisplayAvailable(), c.available)
        << (c.x11 ? c.x11 : "unset") << " / " << (c.wayland ? c.wayland : "unset");
  }
}

std::u16string g_text, g_caption;
MessageBoxIcon g_icon = MessageBoxIcon::Information;

TEST(Display, MessageBoxesGoToTheRegisteredHandler) {
  SetMessageBoxHandler([](std::u16string_view text, std::u16string_view caption, MessageBoxIcon icon) {
    g_text = text;
    g_caption = caption;
    g_icon = icon;
  });
  ShowMessageBox(u"Conversion failed", u"morfex", MessageBoxIcon::Error);
  SetMessageBoxHandler(nullptr);
  EXPECT_EQ(g_text, u"Conversion failed");
  EXPECT_EQ(g_caption, u"morfex");
  EXPECT_EQ(g_icon, MessageBoxIcon::Error);
}

TEST(Display, WithoutHandlerMessageBoxIsALineOnStandardError) {
  ::testing::internal::CaptureStderr();
  ShowMessageBox(u"File not found", u"Error", MessageBoxIcon::Error);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: File not found\n");
}

}  // namespace
}  // namespace glyphshift::platform
