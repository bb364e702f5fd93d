// The usage text, the version text and the program's version information.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glyphshift {

// The usage format: CR LF after every line; the first "%s" takes the version text, the second
// the list of character sets.
extern const std::u16string_view kUsageFormat;

// Longest help text; longer text is cut here, as the help window's buffer would.
inline constexpr std::size_t kMaxUsageTextLength = 4095;

// One string of the program's version information ("FileVersion" reads "1, 3, 15, 2"). Sets `value` to at most
// `capacity` - 1 characters and returns true when the key exists; otherwise clears `value` and returns false.
bool GetVersionString(std::u16string_view key, std::u16string& value, std::size_t capacity = 64);

// "1.3.15.2", for --version.
std::u16string DottedVersion();

// The usage format filled with the version text and the list of character sets, cut to
// kMaxUsageTextLength characters. Line ends are CR LF.
std::u16string BuildUsageText(std::u16string_view versionText, std::u16string_view charsetList);

// Text with every CR LF turned into LF, for the console and the log on POSIX.
std::u16string WithLineFeeds(std::u16string_view text);

}  // namespace glyphshift
