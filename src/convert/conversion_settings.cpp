#include "convert/conversion_settings.h"

#include "engine/ascii_case.h"

namespace glyphshift {

std::int32_t LineBreakTypeFromName(std::u16string_view name) {
  if (EqualsIgnoringAsciiCase(name, u"dos")) return 1;
  if (EqualsIgnoringAsciiCase(name, u"unix")) return 2;
  if (EqualsIgnoringAsciiCase(name, u"mac")) return 3;
  return 0;
}

}  // namespace glyphshift
