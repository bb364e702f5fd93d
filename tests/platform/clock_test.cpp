#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace glyphshift::platform {
namespace {

TEST(LocalTime, MatchesTheClock) {
  const std::time_t before = std::time(nullptr);
  const LocalTime t = GetLocalTime();
  const std::time_t after = std::time(nullptr);
  // Either side of the call, in case a second (or a day) turns over during it.
  bool matched = false;
  for (const std::time_t moment : {before, after}) {
    std::tm tm{};
    ::localtime_r(&moment, &tm);
    matched |= t.year == tm.tm_year + 1900 && t.month == tm.tm_mon + 1 && t.day == tm.tm_mday && t.hour == tm.tm_hour &&
               t.minute == tm.tm_min && t.second == tm.tm_sec;
  }
  EXPECT_TRUE(matched) << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
                       << t.second;
}

}  // namespace
}  // namespace glyphshift::platform
