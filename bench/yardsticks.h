// The yardsticks: glibc iconv(3) and ICU's ucnv, doing the same conversions as the engine.
// Linked into the benchmark only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace glyphshift::bench {

// One direction of one conversion by iconv. Unconvertible input is skipped, so that random
// input measures conversion rather than failure.
class CIconv {
 public:
  CIconv(const char* to, const char* from, std::size_t inputUnit);
  ~CIconv();
  CIconv(const CIconv&) = delete;
  CIconv& operator=(const CIconv&) = delete;
  // Converts `length` bytes into `out` (`capacity` bytes); returns the bytes written.
  std::size_t Convert(const void* in, std::size_t length, void* out, std::size_t capacity);

 private:
  void* cd_;
  std::size_t inputUnit_;
};

// One direction of one conversion by ICU: to UTF-16 from `charset`, from UTF-16 to it, or
// between two charsets (ucnv_convert). ICU substitutes what it cannot convert.
class CIcu {
 public:
  enum class Direction { kToUtf16, kFromUtf16, kBetween };
  CIcu(Direction direction, const char* charset, const char* otherCharset = nullptr);
  ~CIcu();
  CIcu(const CIcu&) = delete;
  CIcu& operator=(const CIcu&) = delete;
  std::size_t Convert(const void* in, std::size_t length, void* out, std::size_t capacity);

 private:
  Direction direction_;
  std::string charset_;
  std::string other_;
  void* converter_ = nullptr;
};

}  // namespace glyphshift::bench
