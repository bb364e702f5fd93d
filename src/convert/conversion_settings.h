// What one conversion does with a file besides changing its character set: the settings of
// the run that the conversion reads, never changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace glyphshift {

// What a conversion that would lose text does.
enum class LossPolicy {
  Protect,  // converts into a new file (with a warning), but never replaces or deletes its source
  Lossy,    // "/lossy": converts everywhere, with the warnings
  Strict,   // "/strict": refuses every lossy conversion
};

struct ConversionSettings {
  std::optional<std::int32_t> lineBreakType;  // a LineBreakType; absent: line breaks unchanged
  bool writeBom = true;
  bool modifyXml = false;
  bool modifyHtml = false;
  bool moveSource = false;  // the source is deleted once its destination has its name
  bool keepOwner = false;   // the source's owner and access list are carried over
  bool keepDacl = false;
  LossPolicy lossPolicy = LossPolicy::Protect;
  bool binaryAllowed = false;  // "/binary": a source that is no text is converted too

  bool KeepsSecurity() const { return keepOwner || keepDacl; }
};

// The line-break type a name gives ("dos", "unix", "mac", in any letter case): 1, 2 or 3; any
// other text, a quoted one included, gives 0, which removes every line break.
std::int32_t LineBreakTypeFromName(std::u16string_view name);

}  // namespace glyphshift
