#include "platform/version_info.h"

#include <string>

#ifndef GLYPHSHIFT_VERSION_MAJOR
#error "The build defines the version from the project version."
#endif

namespace glyphshift::platform {
namespace {

std::u16string Number(int value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

bool ReadVersionString(std::u16string_view key, std::u16string& value) {
  // The same table the Windows build writes into its version resource.
  const std::u16string fileVersion = Number(GLYPHSHIFT_VERSION_MAJOR) + u", " + Number(GLYPHSHIFT_VERSION_MINOR) +
                                     u", " + Number(GLYPHSHIFT_VERSION_PATCH) + u", " +
                                     Number(GLYPHSHIFT_VERSION_TWEAK);
  const struct {
    std::u16string_view key;
    std::u16string_view value;
  } kStrings[] = {
      {u"FileDescription", u"Text character set conversion tool"},
      {u"FileVersion", fileVersion},
      {u"InternalName", u"morfex"},
      {u"OriginalFilename", u"morfex.exe"},
      {u"ProductName", u"Glyphshift"},
      {u"ProductVersion", fileVersion},
  };
  value.clear();
  for (const auto& entry : kStrings) {
    if (entry.key != key) continue;
    value = entry.value;
    return true;
  }
  return false;
}

}  // namespace glyphshift::platform
