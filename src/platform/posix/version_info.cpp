#include "platform/version_info.h"

#include <string>

#include "platform/version_strings.h"

namespace glyphshift::platform {

bool ReadVersionString(std::u16string_view key, std::u16string& value) {
  // The strings the Windows build writes into its version resource.
  const struct {
    std::u16string_view key;
    std::u16string_view value;
  } kStrings[] = {
      {u"FileDescription", u"" GLYPHSHIFT_FILE_DESCRIPTION}, {u"FileVersion", u"" GLYPHSHIFT_FILE_VERSION},
      {u"InternalName", u"" GLYPHSHIFT_INTERNAL_NAME},       {u"OriginalFilename", u"" GLYPHSHIFT_ORIGINAL_FILENAME},
      {u"ProductName", u"" GLYPHSHIFT_PRODUCT_NAME},         {u"ProductVersion", u"" GLYPHSHIFT_FILE_VERSION},
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
