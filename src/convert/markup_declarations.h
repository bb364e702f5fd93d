// Rewriting the character set that an XML declaration or an HTML meta tag names.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "convert/working_text.h"

namespace glyphshift {

enum class EditResult { Ok, OutOfMemory };

// Replaces the units [from, to) of the text (offsets from `start`) by `name`, in a new block of
// exactly the new size plus the terminator. Everything after `to` is copied by length, so a
// U+0000 inside it survives; units before `start` (a skipped byte order mark) are not copied.
// Offsets beyond the text are clamped to its end. On OutOfMemory the text is unchanged.
[[nodiscard]] EditResult ReplaceTextRange(WorkingText& text, std::uint32_t from, std::uint32_t to,
                                          std::u16string_view name);

// Scans the text once from its first unit to the first U+0000 and writes `name` into the
// encoding value of an XML declaration (`modifyXml`) and after "charset=" in the content of a
// meta tag once some meta tag showed http-equiv (`modifyHtml`), stopping as soon as each
// requested kind was rewritten once. Markup it does not recognise stays unchanged.
[[nodiscard]] EditResult RewriteCharsetDeclarations(WorkingText& text, std::u16string_view name, bool modifyXml,
                                                    bool modifyHtml);

// The character set the text declares, found by the same scan: the value of an XML
// declaration's encoding, or of a meta tag's charset attribute, or what follows "charset=" in a
// meta tag's content once some meta tag showed http-equiv; the first of them. Empty when the
// text declares none (or the memory for the scan cannot be had). `head` is read as ASCII: a
// name is ASCII, and a byte above 0x7F stands for itself.
std::u16string FindCharsetDeclaration(std::span<const std::uint8_t> head);

// Letters and digits of every script, and "_": what may start or continue a tag or attribute name.
bool IsMarkupNameCharacter(char16_t unit);

}  // namespace glyphshift
