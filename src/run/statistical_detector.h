// The statistical detector (libuchardet) behind a small interface, and what the names it
// answers mean in the catalogue. Only the program links the library: the engine and the
// exported functions stay free of it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/charset_catalogue.h"

struct uchardet;  // the library's detector

namespace glyphshift {

// A detector over a text fed in pieces.
class CStatisticalDetector {
 public:
  // Whether this build has the detector; without it no detector answers.
  static bool Available();

  CStatisticalDetector();
  ~CStatisticalDetector();
  CStatisticalDetector(const CStatisticalDetector&) = delete;
  CStatisticalDetector& operator=(const CStatisticalDetector&) = delete;

  // The next piece. False when the detector failed (it had no memory); it then has no answer.
  bool Add(std::span<const std::uint8_t> piece);
  // The answer after the last piece: a character set's name as the detector spells it, empty
  // when it has no confident answer (or failed).
  std::string Finish();

 private:
  uchardet* handle_;
  bool failed_;
};

// The code of a name the detector answers: through ResolveCharsetName, as it is or as the
// catalogue spells the same set. Nothing for a set the program cannot convert (the multi-byte
// East Asian sets, UTF-32, and the single-byte sets the catalogue lacks).
std::optional<CharsetCode> CatalogueCodeOfDetectorName(std::string_view name);

}  // namespace glyphshift
