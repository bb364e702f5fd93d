// Shared by the parser fuzz targets: turning fuzz bytes into text, and stopping the process with
// a message when a checked property does not hold (libFuzzer then keeps the input as a crash).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace glyphshift::fuzz {

inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

// Each pair of bytes as one UTF-16 unit (little endian); an odd last byte is dropped.
inline std::u16string UnitsOf(const std::uint8_t* data, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  return units;
}

// Each byte as the unit of the same value: short inputs reach the ASCII syntax quickly.
inline std::u16string Latin1Of(const std::uint8_t* data, std::size_t size) { return std::u16string(data, data + size); }

// Two texts from one input (Latin1Of): the first byte says how long the first one is.
struct TwoTexts {
  std::u16string first;
  std::u16string second;
};
inline TwoTexts TwoTextsOf(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = Latin1Of(data + 1, size - 1);
  const std::size_t split = data[0] < text.size() ? data[0] : text.size();
  return {text.substr(0, split), text.substr(split)};
}

}  // namespace glyphshift::fuzz
