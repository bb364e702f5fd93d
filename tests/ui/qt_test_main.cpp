// Widget tests run on Qt's offscreen platform: no display needed, nothing shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Qt and fontconfig keep caches for the life of the process, which LeakSanitizer would
// report as leaks that are not ours.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "detect_leaks=0";
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
