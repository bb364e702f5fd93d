#include "platform/temporary_names.h"

#include "platform/files.h"

namespace glyphshift::platform {
namespace {

bool IsTemporaryLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

}  // namespace

bool IsTemporaryName(std::u16string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporarySuffix) return false;
  for (std::size_t i = 0; i < kTemporaryPrefix.size(); ++i) {
    if (name[i] != static_cast<char16_t>(kTemporaryPrefix[i])) return false;
  }
  for (std::size_t i = kTemporaryPrefix.size(); i < name.size(); ++i) {
    if (!IsTemporaryLetter(name[i])) return false;
  }
  return true;
}

}  // namespace glyphshift::platform
