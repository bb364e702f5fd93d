// The statistical detector on any bytes: its answer is one the caller can use (a table that
// defines every byte of the sample, or a named family), in range, and the same whether the bytes
// come whole or in the pieces the input chooses.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/charset_guess.h"
#include "engine/mapping_table.h"
#include "fuzz_support.h"

using glyphshift::fuzz::Require;
namespace engine = glyphshift::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const engine::CharsetGuess whole = engine::GuessCharset(bytes);
  Require(whole.confidence >= 0 && whole.confidence <= 100, "confidence in 0..100");
  if (whole.kind == engine::GuessKind::kUnconvertible) Require(whole.family != nullptr, "a refusal names its family");
  if (whole.kind == engine::GuessKind::kCharset && glyphshift::IsSingleByteCode(whole.code)) {
    const std::size_t judged = std::min(size, engine::kGuessSampleBytes);
    for (std::size_t i = 0; i < judged; ++i) {
      Require(glyphshift::kMappingTables[whole.code].units[data[i]] != glyphshift::kMappingUndefined,
              "the answer defines every byte of the sample");
    }
    Require(whole.runnerUp != whole.code, "the runner-up is another table");
  }
  // The first byte (when there is one) sets the piece length.
  const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 64;
  const auto guesser = std::make_unique<engine::CCharsetGuesser>();
  for (std::size_t at = 0; at < size; at += piece) guesser->Add(bytes.subspan(at, std::min(piece, size - at)));
  const engine::CharsetGuess split = guesser->Finish();
  Require(split.kind == whole.kind && split.code == whole.code && split.confidence == whole.confidence &&
              split.runnerUp == whole.runnerUp,
          "pieces give the whole text's answer");
  return 0;
}
