// What one conversion does with a file besides changing its character set: the settings of
// the run that the conversion reads, never changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace glyphshift {

struct ConversionSettings {
  std::optional<std::int32_t> lineBreakType;  // a LineBreakType; absent: line breaks unchanged
  bool writeBom = true;
  bool modifyXml = false;
  bool modifyHtml = false;
  bool moveSource = false;  // the source is deleted once its destination has its name
  bool keepOwner = false;   // the source's owner and access list are carried over
  bool keepDacl = false;

  bool KeepsSecurity() const { return keepOwner || keepDacl; }
};

// The line-break type a name gives ("dos", "unix", "mac", in any letter case): 1, 2 or 3; any
// other text, a quoted one included, gives 0, which removes every line break.
std::int32_t LineBreakTypeFromName(std::u16string_view name);

}  // namespace glyphshift
