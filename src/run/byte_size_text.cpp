#include "run/byte_size_text.h"

#include <iterator>
#include <string>

namespace glyphshift {
namespace {

std::u16string Decimal(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string FormatByteSize(std::uint64_t bytes) {
  if (bytes < 1024) return Decimal(bytes) + u" bytes";

  static constexpr const char16_t* kUnits[] = {u" KB", u" MB", u" GB", u" TB", u" PB", u" EB"};
  // Hundredths of the unit, truncated; 128-bit because bytes * 100 can exceed 64 bits.
  unsigned __int128 unit = 1024;
  std::size_t index = 0;
  while (index + 1 < std::size(kUnits) && static_cast<unsigned __int128>(bytes) >= unit * 1000) {
    unit *= 1024;
    ++index;
  }
  const auto hundredths = static_cast<std::uint64_t>(static_cast<unsigned __int128>(bytes) * 100 / unit);
  const std::uint64_t whole = hundredths / 100;
  std::u16string text = Decimal(whole);
  if (whole < 10) {
    const std::uint64_t fraction = hundredths % 100;
    text += fraction < 10 ? u".0" : u".";
    text += Decimal(fraction);
  } else if (whole < 100) {
    text += u".";
    text += Decimal(hundredths / 10 % 10);
  }
  return text + kUnits[index];
}

}  // namespace glyphshift
