#include "yardsticks.h"

#include <iconv.h>
#include <unicode/ucnv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace glyphshift::bench {

CIconv::CIconv(const char* to, const char* from, std::size_t inputUnit)
    : cd_(iconv_open(to, from)), inputUnit_(inputUnit) {
  if (cd_ == reinterpret_cast<void*>(-1)) {
    std::fprintf(stderr, "iconv_open(%s, %s) failed\n", to, from);
    std::exit(2);
  }
}

CIconv::~CIconv() { iconv_close(static_cast<iconv_t>(cd_)); }

std::size_t CIconv::Convert(const void* in, std::size_t length, void* out, std::size_t capacity) {
  auto* source = const_cast<char*>(static_cast<const char*>(in));
  auto* target = static_cast<char*>(out);
  std::size_t left = length, room = capacity;
  iconv(static_cast<iconv_t>(cd_), nullptr, nullptr, nullptr, nullptr);
  while (left > 0) {
    if (iconv(static_cast<iconv_t>(cd_), &source, &left, &target, &room) != static_cast<std::size_t>(-1)) break;
    if (errno != EILSEQ || left < inputUnit_) break;  // E2BIG cannot happen; EINVAL: cut at the end
    source += inputUnit_;
    left -= inputUnit_;
  }
  return capacity - room;
}

CIcu::CIcu(Direction direction, const char* charset, const char* otherCharset)
    : direction_(direction), charset_(charset), other_(otherCharset != nullptr ? otherCharset : "") {
  if (direction_ == Direction::kBetween) return;
  UErrorCode status = U_ZERO_ERROR;
  converter_ = ucnv_open(charset, &status);
  if (U_FAILURE(status)) {
    std::fprintf(stderr, "ucnv_open(%s): %s\n", charset, u_errorName(status));
    std::exit(2);
  }
}

CIcu::~CIcu() {
  if (converter_ != nullptr) ucnv_close(static_cast<UConverter*>(converter_));
}

std::size_t CIcu::Convert(const void* in, std::size_t length, void* out, std::size_t capacity) {
  UErrorCode status = U_ZERO_ERROR;
  auto* converter = static_cast<UConverter*>(converter_);
  std::int32_t written = 0;
  switch (direction_) {
    case Direction::kToUtf16:
      written = ucnv_toUChars(converter, static_cast<UChar*>(out), static_cast<std::int32_t>(capacity / 2),
                              static_cast<const char*>(in), static_cast<std::int32_t>(length), &status) *
                2;
      break;
    case Direction::kFromUtf16:
      written = ucnv_fromUChars(converter, static_cast<char*>(out), static_cast<std::int32_t>(capacity),
                                static_cast<const UChar*>(in), static_cast<std::int32_t>(length / 2), &status);
      break;
    case Direction::kBetween:
      written =
          ucnv_convert(other_.c_str(), charset_.c_str(), static_cast<char*>(out), static_cast<std::int32_t>(capacity),
                       static_cast<const char*>(in), static_cast<std::int32_t>(length), &status);
      break;
  }
  if (U_FAILURE(status)) {
    std::fprintf(stderr, "ICU conversion from %s failed: %s\n", charset_.c_str(), u_errorName(status));
    std::exit(2);
  }
  return static_cast<std::size_t>(written);
}

}  // namespace glyphshift::bench
