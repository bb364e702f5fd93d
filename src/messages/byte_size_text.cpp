#include "messages/byte_size_text.h"

#include <iterator>
#include <string>

namespace glyphshift {
namespace {

std::u16string Decimal(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// floor(value * 100 / 2^shift) for a shift of 10 to 60: the product needs up to 71 bits, so it
// is formed in two 64-bit halves (32-bit targets have no 128-bit integer).
std::uint64_t HundredthsOf(std::uint64_t value, unsigned shift) {
  const std::uint64_t low = (value & 0xFFFF'FFFFu) * 100;  // below 2^39
  const std::uint64_t high = (value >> 32) * 100;          // below 2^39
  const std::uint64_t productLow = low + (high << 32);
  const std::uint64_t productHigh = (high >> 32) + (productLow < low ? 1 : 0);
  return productHigh << (64 - shift) | productLow >> shift;
}

}  // namespace

std::u16string FormatByteSize(std::uint64_t bytes) {
  if (bytes < 1024) return Decimal(bytes) + u" bytes";

  static constexpr const char16_t* kUnits[] = {u" KB", u" MB", u" GB", u" TB", u" PB", u" EB"};
  // The unit is 2^shift bytes; hundredths of it, truncated.
  unsigned shift = 10;
  std::size_t index = 0;
  while (index + 1 < std::size(kUnits) && (bytes >> shift) >= 1000) {
    shift += 10;
    ++index;
  }
  const std::uint64_t hundredths = HundredthsOf(bytes, shift);
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
