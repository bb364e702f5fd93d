// The local wall-clock time, for the time stamps of the log.
#pragma once

namespace glyphshift::platform {

struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime GetLocalTime();

}  // namespace glyphshift::platform
