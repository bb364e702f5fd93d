// Shared by the codec tests: running a test on every codec path, buffers with guard bytes
// after their capacity, and text made to stress the codecs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/codec_path.h"

namespace glyphshift::engine::test {

using Bytes = std::vector<std::uint8_t>;
using Units = std::vector<char16_t>;

inline std::vector<CodecPath> AvailablePaths() {
  std::vector<CodecPath> paths{CodecPath::kReference};
  if (static_cast<int>(BestCodecPath()) >= static_cast<int>(CodecPath::kSse2)) paths.push_back(CodecPath::kSse2);
  if (static_cast<int>(BestCodecPath()) >= static_cast<int>(CodecPath::kSsse3)) paths.push_back(CodecPath::kSsse3);
  if (BestCodecPath() == CodecPath::kAvx512) paths.push_back(CodecPath::kAvx512);
  return paths;
}

inline std::string PathName(const ::testing::TestParamInfo<CodecPath>& info) {
  switch (info.param) {
    case CodecPath::kReference: return "Reference";
    case CodecPath::kSse2: return "Sse2";
    case CodecPath::kSsse3: return "Ssse3";
    case CodecPath::kAvx512: return "Avx512";
  }
  return "Unknown";
}

// A fixture whose tests run once per codec path, with that path in force.
class OnEveryPath : public ::testing::TestWithParam<CodecPath> {
 protected:
  void SetUp() override { ASSERT_EQ(SetCodecPath(GetParam()), GetParam()); }
  void TearDown() override { SetCodecPath(BestCodecPath()); }
};

// `capacity` elements for the function to fill, then guard elements it must leave alone.
template <class T>
class CGuardedBuffer {
 public:
  static constexpr std::size_t kGuard = 32;
  static constexpr T kPattern = static_cast<T>(0xA5A5);

  explicit CGuardedBuffer(std::size_t capacity) : capacity_(capacity), storage_(capacity + kGuard, kPattern) {}
  T* data() { return storage_.data(); }
  std::vector<T> Prefix(std::size_t count) const {
    return std::vector<T>(storage_.begin(), storage_.begin() + static_cast<std::ptrdiff_t>(count));
  }
  bool GuardIntact() const {
    for (std::size_t i = capacity_; i < storage_.size(); ++i) {
      if (storage_[i] != kPattern) return false;
    }
    return true;
  }

 private:
  std::size_t capacity_;
  std::vector<T> storage_;
};

inline std::uint32_t ByteLength(const Units& units) { return static_cast<std::uint32_t>(units.size() * 2); }
inline std::uint32_t ByteLength(const Bytes& bytes) { return static_cast<std::uint32_t>(bytes.size()); }

// UTF-8 that mixes every sequence length with the malformed shapes the decoder must judge:
// stray continuation bytes, short sequences, overlong forms, encoded surrogates, 5- and 6-byte
// forms, values past U+10FFFF, and lead bytes cut off at the end.
inline Bytes AdversarialUtf8(std::size_t size, std::uint32_t seed) {
  static const std::vector<Bytes> kPieces = {
      {'a'},
      {'Z', ' '},
      {0xC3, 0xA9},
      {0xD0, 0x96},
      {0xE2, 0x82, 0xAC},
      {0xE4, 0xB8, 0xAD},
      {0xF0, 0x9F, 0x98, 0x80},
      {0x80},
      {0xBF},
      {0xC3},
      {0xE2, 0x82},
      {0xF0, 0x9F, 0x98},
      {0xC0, 0x80},
      {0xC1, 0xBF},
      {0xE0, 0x80, 0x80},
      {0xED, 0xA0, 0x80},
      {0xEF, 0xBF, 0xBF},
      {0xEF, 0xBF, 0xBE},
      {0xF4, 0x90, 0x80, 0x80},
      {0xF0, 0x80, 0x80, 0x80},
      {0xF8, 0x88, 0x80, 0x80, 0x80},
      {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80},
      {0xFE},
      {0xFF},
      {0x00},
  };
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::bernoulli_distribution asciiRun(0.3);
  Bytes out;
  while (out.size() < size) {
    if (asciiRun(rng)) {
      for (int k = 0; k < 20; ++k) out.push_back(static_cast<std::uint8_t>('a' + k % 26));
    } else {
      const Bytes& piece = kPieces[pick(rng)];
      out.insert(out.end(), piece.begin(), piece.end());
    }
  }
  out.resize(size);
  return out;
}

// Well-formed UTF-8 of 1- to 3-byte characters (with the values at the edges of each length),
// and about one in `rareEvery` pieces one the vector code must hand to the per-character step:
// a 4-byte form, a replaced 3-byte value, an overlong form, a stray or missing byte. With
// `upToTwoBytes` the well-formed pieces are ASCII and 2-byte characters only, as in Latin or
// Cyrillic text.
inline Bytes MixedUtf8(std::size_t size, std::uint32_t seed, unsigned rareEvery = 40, bool upToTwoBytes = false) {
  static const std::vector<Bytes> kCommon = {
      {'a'},
      {'Z', ' '},
      {'\r', '\n'},
      {0x7F},
      {0xC2, 0x80},
      {0xC3, 0xA9},
      {0xD0, 0x96},
      {0xDF, 0xBF},
      {0xE0, 0xA0, 0x80},
      {0xE4, 0xB8, 0xAD},
      {0xE6, 0x96, 0x87},
      {0xED, 0x9F, 0xBF},
      {0xEE, 0x80, 0x80},
      {0xEF, 0xBF, 0xBD},
      {0xEF, 0xBB, 0xBF},
      {0xEA, 0xB0, 0x80},
  };
  static const std::vector<Bytes> kRare = {
      {0xF0, 0x9F, 0x98, 0x80},
      {0xF4, 0x8F, 0xBF, 0xBF},
      {0xED, 0xA0, 0x80},
      {0xED, 0xBF, 0xBF},
      {0xEF, 0xBF, 0xBE},
      {0xEF, 0xBF, 0xBF},
      {0xC0, 0x80},
      {0xC1, 0xBF},
      {0xE0, 0x80, 0x80},
      {0x80},
      {0xBF},
      {0xE4, 0xB8},
      {0xC3},
      {0xF8, 0x88, 0x80, 0x80, 0x80},
      {0xFE},
      {0xF0, 0x9F, 0x98},
  };
  std::mt19937 rng(seed);
  constexpr std::size_t kUpToTwoBytes = 8;  // the first pieces of kCommon
  std::uniform_int_distribution<std::size_t> common(0, (upToTwoBytes ? kUpToTwoBytes : kCommon.size()) - 1);
  std::uniform_int_distribution<std::size_t> rare(0, kRare.size() - 1);
  std::uniform_int_distribution<unsigned> odds(0, rareEvery - 1);
  Bytes out;
  while (out.size() < size) {
    const Bytes& piece = odds(rng) == 0 ? kRare[rare(rng)] : kCommon[common(rng)];
    out.insert(out.end(), piece.begin(), piece.end());
  }
  out.resize(size);
  return out;
}

inline Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// UTF-16 with ASCII runs, 2- and 3-byte characters, pairs, lone surrogates of both kinds,
// U+FFFF, CR and LF.
inline Units AdversarialUtf16(std::size_t size, std::uint32_t seed) {
  static const std::vector<Units> kPieces = {
      {u'a'},   {u'q', u' '},     {0x00E9},         {0x0416}, {0x07FF},         {0x0800}, {0x20AC},
      {0x4E2D}, {0xD83D, 0xDE00}, {0xD83D},         {0xDE00}, {0xDBFF, 0xDFFF}, {0xFFFF}, {0xFFFD},
      {0x000D}, {0x000A},         {0x000D, 0x000A}, {0x0000}, {0x007F},         {0x0080},
  };
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::bernoulli_distribution asciiRun(0.3);
  Units out;
  while (out.size() < size) {
    if (asciiRun(rng)) {
      for (int k = 0; k < 20; ++k) out.push_back(static_cast<char16_t>('A' + k % 26));
    } else {
      const Units& piece = kPieces[pick(rng)];
      out.insert(out.end(), piece.begin(), piece.end());
    }
  }
  out.resize(size);
  return out;
}

// UTF-16 of ASCII, Greek and CJK with the units at each UTF-8 length's edges, and about one in
// `rareEvery` a surrogate: paired, or alone of either kind.
inline Units MixedUtf16(std::size_t size, std::uint32_t seed, unsigned rareEvery = 40) {
  static const std::vector<Units> kCommon = {
      {u'a'},   {u' '},   {0x007F}, {0x0080}, {0x03B1}, {0x07FF}, {0x0800},
      {0x4E2D}, {0xD7FF}, {0xE000}, {0xFFFF}, {0xFEFF}, {0x0000}, {0xAC00},
  };
  static const std::vector<Units> kRare = {{0xD83D, 0xDE00}, {0xDBFF, 0xDFFF}, {0xD800}, {0xDFFF}, {0xDC00, 0xD800}};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> common(0, kCommon.size() - 1), rare(0, kRare.size() - 1);
  std::uniform_int_distribution<unsigned> odds(0, rareEvery - 1);
  Units out;
  while (out.size() < size) {
    const Units& piece = odds(rng) == 0 ? kRare[rare(rng)] : kCommon[common(rng)];
    out.insert(out.end(), piece.begin(), piece.end());
  }
  out.resize(size);
  return out;
}

}  // namespace glyphshift::engine::test
