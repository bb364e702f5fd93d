// The vector paths against the reference loops: the same bytes, sizes and result codes for
// random and adversarial input at every length up to a few hundred, at every alignment, and
// with capacities that stop the conversion inside a vector block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <tuple>
#include <vector>

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "engine/codec_test_support.h"
#include "engine/engine.h"

namespace glyphshift::engine {
namespace {

using test::Bytes;
using test::Units;

// What a call did: its result, the size it reported, and the whole output buffer, guard included.
struct Outcome {
  std::int32_t result = 0;
  std::uint32_t size = 0;
  Bytes buffer;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "{result 0x" << std::hex << o.result << ", size " << std::dec << o.size << "}";
}

constexpr std::size_t kGuard = 64;
constexpr std::uint8_t kFill = 0xA5;

// Runs `call` on the reference path and on every vector path; each gets a fresh output buffer
// of `capacity` bytes (plus guard) starting `alignment` bytes into an aligned block.
::testing::AssertionResult SameOnEveryPath(
    std::size_t capacity, std::size_t alignment,
    const std::function<std::pair<std::int32_t, std::uint32_t>(std::uint8_t* out)>& call) {
  Outcome expected;
  for (CodecPath path : test::AvailablePaths()) {
    SetCodecPath(path);
    std::vector<std::uint64_t> block((alignment + capacity + kGuard) / 8 + 1);
    auto* bytes = reinterpret_cast<std::uint8_t*>(block.data()) + alignment;
    std::fill(bytes, bytes + capacity + kGuard, kFill);
    Outcome got;
    std::tie(got.result, got.size) = call(bytes);
    got.buffer.assign(bytes, bytes + capacity + kGuard);
    SetCodecPath(BestCodecPath());
    if (path == CodecPath::kReference) {
      expected = got;
      for (std::size_t k = capacity; k < capacity + kGuard; ++k) {
        if (got.buffer[k] != kFill) return ::testing::AssertionFailure() << "reference wrote past its capacity";
      }
    } else if (!(got == expected)) {
      std::size_t at = 0;
      while (at < got.buffer.size() && got.buffer[at] == expected.buffer[at]) ++at;
      return ::testing::AssertionFailure() << "path " << static_cast<int>(path) << " gave " << got << ", reference "
                                           << expected << ", first differing output byte " << at;
    }
  }
  return ::testing::AssertionSuccess();
}

// The input placed `alignment` bytes into a block of its own, so that loads start anywhere.
template <class T>
class CPlaced {
 public:
  CPlaced(const std::vector<T>& items, std::size_t alignment)
      : block_((alignment + items.size() * sizeof(T)) / 8 + 2),
        data_(reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(block_.data()) + alignment)) {
    if (!items.empty()) std::memcpy(static_cast<void*>(data_), items.data(), items.size() * sizeof(T));
  }
  T* data() const { return data_; }

 private:
  std::vector<std::uint64_t> block_;
  T* data_;
};

// Unit buffers start on even addresses; byte buffers anywhere.
constexpr std::size_t kUnitAlignments = 8;

void CheckUtf8Decoding(const Bytes& text, std::size_t alignment) {
  const CPlaced<std::uint8_t> in(text, alignment);
  const auto length = test::ByteLength(text);
  std::uint32_t query = 0;
  Utf8ToUtf16(in.data(), length, nullptr, &query);
  EXPECT_TRUE(SameOnEveryPath(0, 0,
                              [&](std::uint8_t*) {
                                std::uint32_t size = 0;
                                return std::make_pair(Utf8ToUtf16(in.data(), length, nullptr, &size), size);
                              }))
      << "size query, length " << length;
  EXPECT_TRUE(SameOnEveryPath(query, 2 * (alignment % kUnitAlignments),
                              [&](std::uint8_t* out) {
                                std::uint32_t size = 0;
                                return std::make_pair(
                                    Utf8ToUtf16(in.data(), length, reinterpret_cast<char16_t*>(out), &size), size);
                              }))
      << "length " << length << " alignment " << alignment;
}

void CheckUtf8Encoding(const Units& text, std::size_t alignment) {
  const CPlaced<char16_t> in(text, 2 * (alignment % kUnitAlignments));
  const auto length = test::ByteLength(text);
  std::uint32_t query = 0;
  EXPECT_TRUE(SameOnEveryPath(0, 0,
                              [&](std::uint8_t*) {
                                std::uint32_t size = 0;
                                return std::make_pair(Utf16ToUtf8(in.data(), length, nullptr, &size), size);
                              }))
      << "size query, units " << text.size();
  Utf16ToUtf8(in.data(), length, nullptr, &query);
  for (std::uint32_t capacity : {query, query / 2 + 1, query / 3 + 7, 17u, 1u}) {
    if (capacity == 0 || capacity > query) continue;
    EXPECT_TRUE(SameOnEveryPath(capacity, alignment,
                                [&](std::uint8_t* out) {
                                  std::uint32_t size = capacity;
                                  return std::make_pair(Utf16ToUtf8(in.data(), length, out, &size), size);
                                }))
        << "units " << text.size() << " capacity " << capacity << " alignment " << alignment;
  }
}

void CheckSingleByte(CharsetCode code, const Bytes& bytes, const Units& units, std::size_t alignment) {
  const CPlaced<std::uint8_t> inBytes(bytes, alignment);
  const CPlaced<char16_t> inUnits(units, 2 * (alignment % kUnitAlignments));
  const auto byteLength = test::ByteLength(bytes);
  for (std::uint32_t capacity : {byteLength * 2, byteLength + 1, 33u}) {
    EXPECT_TRUE(SameOnEveryPath(capacity, 2 * (alignment % kUnitAlignments),
                                [&](std::uint8_t* out) {
                                  std::uint32_t size = capacity;
                                  return std::make_pair(SingleByteToUtf16(code, inBytes.data(), byteLength,
                                                                          reinterpret_cast<char16_t*>(out), &size),
                                                        size);
                                }))
        << "decoding, code " << code << " length " << byteLength << " capacity " << capacity;
  }
  for (std::uint32_t capacity : {static_cast<std::uint32_t>(units.size()), 21u}) {
    EXPECT_TRUE(SameOnEveryPath(
        capacity, alignment,
        [&](std::uint8_t* out) {
          std::uint32_t size = capacity;
          return std::make_pair(Utf16ToSingleByte(code, inUnits.data(), test::ByteLength(units), out, &size), size);
        }))
        << "encoding, code " << code << " units " << units.size() << " capacity " << capacity;
  }
}

void CheckLineBreaksAndSwap(const Units& text, std::size_t alignment) {
  const CPlaced<char16_t> in(text, 2 * (alignment % kUnitAlignments));
  const auto length = test::ByteLength(text);
  for (std::int32_t type : {0, 1, 2, 3}) {
    std::uint32_t query = 0;
    TransformLineBreaks(type, in.data(), length, nullptr, &query);
    EXPECT_TRUE(SameOnEveryPath(query, 2 * (alignment % kUnitAlignments),
                                [&](std::uint8_t* out) {
                                  std::uint32_t size = 0;
                                  return std::make_pair(TransformLineBreaks(type, in.data(), length,
                                                                            reinterpret_cast<char16_t*>(out), &size),
                                                        size);
                                }))
        << "line breaks type " << type << " units " << text.size();
  }
  EXPECT_TRUE(SameOnEveryPath(length + 1, 2 * (alignment % kUnitAlignments),
                              [&](std::uint8_t* out) {
                                if (length != 0) std::memcpy(out, in.data(), length);
                                out[length] = 0x5A;  // an odd last byte
                                return std::make_pair(SwapByteOrder(reinterpret_cast<char16_t*>(out), length + 1), 0u);
                              }))
      << "swap, units " << text.size();
}

void CheckDetection(const Bytes& text, std::size_t alignment) {
  const CPlaced<std::uint8_t> in(text, alignment);
  EXPECT_TRUE(SameOnEveryPath(
      0, 0, [&](std::uint8_t*) { return std::make_pair(DetectCharset(in.data(), test::ByteLength(text)), 0u); }))
      << "detection, length " << text.size();
}

// Lengths 0..320 at a moving alignment, and all 16 alignments at lengths around block edges.
template <class Check>
void ForEachLengthAndAlignment(Check check) {
  for (std::size_t length = 0; length <= 320; ++length) check(length, length % 16);
  for (std::size_t length : {63u, 64u, 65u, 129u, 200u}) {
    for (std::size_t alignment = 0; alignment < 16; ++alignment) check(length, alignment);
  }
}

TEST(FastPaths, Utf8DecodingMatchesTheReference) {
  ForEachLengthAndAlignment([](std::size_t length, std::size_t alignment) {
    const auto seed = static_cast<std::uint32_t>(length * 16 + alignment);
    CheckUtf8Decoding(test::AdversarialUtf8(length, seed), alignment);
    CheckUtf8Decoding(test::RandomBytes(length, seed), alignment);
  });
  CheckUtf8Decoding(test::AdversarialUtf8(70000, 7), 3);
}

TEST(FastPaths, Utf8DecodingAgreesAfterAnyOneByteCorruption) {
  // Well-formed text, then each byte in turn replaced by a lead, continuation or invalid byte:
  // Cyrillic and ASCII (the 2-byte blocks), and mixed scripts.
  Bytes cyrillic;
  for (int k = 0; k < 12; ++k) cyrillic.insert(cyrillic.end(), {0xD0, 0x9F, 0xD1, 0x80, 'i', ' ', 0xC3, 0xA9, 'x'});
  for (const Bytes& text : {cyrillic, test::MixedUtf8(150, 3, 1000)}) {
    for (std::size_t at = 0; at < text.size(); ++at) {
      for (int value : {0x00, 0x41, 0x80, 0xA0, 0xBF, 0xC0, 0xC2, 0xC3, 0xDF, 0xE0, 0xE4, 0xED, 0xEF, 0xF0, 0xF4, 0xF8,
                        0xFE, 0xFF}) {
        Bytes broken = text;
        broken[at] = static_cast<std::uint8_t>(value);
        CheckUtf8Decoding(broken, at % 16);
        CheckDetection(broken, at % 16);
      }
    }
  }
}

TEST(FastPaths, Utf8DecodingAndDetectionMatchTheReferenceOnMixedScripts) {
  // Mostly whole 1- to 3-byte characters, so that the vector blocks run and stop inside.
  ForEachLengthAndAlignment([](std::size_t length, std::size_t alignment) {
    const auto seed = static_cast<std::uint32_t>(length * 16 + alignment);
    for (unsigned rareEvery : {8u, 60u}) {
      for (bool upToTwoBytes : {false, true}) {
        const Bytes text = test::MixedUtf8(length, seed, rareEvery, upToTwoBytes);
        CheckUtf8Decoding(text, alignment);
        CheckDetection(text, alignment);
      }
    }
  });
  CheckUtf8Decoding(test::MixedUtf8(200000, 11, 500), 5);
  CheckDetection(test::MixedUtf8(200000, 12, 100000), 1);
}

TEST(FastPaths, Utf8DecodingAgreesWhereACharacterMeetsABlockEdge) {
  // Each shape at every offset in CJK or ASCII surroundings, so that it straddles the end of a
  // 16- or 64-byte block, sits in its last bytes, or ends the input.
  const Bytes shapes[] = {{0xE4, 0xB8, 0xAD},
                          {0xC3, 0xA9},
                          {0xF0, 0x9F, 0x98, 0x80},
                          {0xED, 0xA0, 0x80},
                          {0xEF, 0xBF, 0xBF},
                          {0xE0, 0x80, 0x80},
                          {0xC0, 0x80},
                          {0xE4, 0xB8, 'x'},
                          {0xC3, 0xC3},
                          {0xE4, 0xE4, 0xB8},
                          {0xBF},
                          {0xF8}};
  for (const Bytes& shape : shapes) {
    for (bool cjk : {false, true}) {
      for (std::size_t at = 0; at < 140; ++at) {
        Bytes text;
        while (text.size() < at) {
          if (cjk) {
            text.insert(text.end(), {0xE6, 0x96, 0x87});
          } else {
            text.push_back('k');
          }
        }
        text.resize(at, 'k');
        text.insert(text.end(), shape.begin(), shape.end());
        while (text.size() < 200) text.insert(text.end(), {0xD0, 0x96, 'q'});
        CheckUtf8Decoding(text, at % 16);
        CheckDetection(text, at % 16);
        text.resize(at + shape.size() - 1);  // the shape cut short by the end of the input
        CheckUtf8Decoding(text, 0);
        CheckDetection(text, 0);
      }
    }
  }
}

TEST(FastPaths, Utf8EncodingMatchesTheReference) {
  ForEachLengthAndAlignment([](std::size_t length, std::size_t alignment) {
    const auto seed = static_cast<std::uint32_t>(length * 16 + alignment);
    CheckUtf8Encoding(test::AdversarialUtf16(length, seed), alignment);
    const Bytes random = test::RandomBytes(length * 2, seed);
    Units units(length);
    if (length != 0) std::memcpy(units.data(), random.data(), random.size());
    CheckUtf8Encoding(units, alignment);
  });
}

TEST(FastPaths, Utf8EncodingStopsAlikeAtEveryCapacity) {
  // Cyrillic with spaces (2-byte blocks of every byte count) followed by CJK, pairs and lone
  // surrogates, so that the capacity runs out right after a vector block.
  const Units tails[] = {{0x4E2D, 0x4E2D}, {0xD83D, 0xDE00}, {0xDE00, u'a'}, {0x0800}};
  for (std::uint32_t seed = 0; seed < 24; ++seed) {
    Units text;
    for (unsigned k = 0; k < 8 + seed % 8; ++k)
      text.push_back(k % (2 + seed % 3) == 0 ? u' ' : static_cast<char16_t>(0x0430 + k));
    for (std::uint32_t k = 0; k < 3; ++k) {
      const Units& tail = tails[(seed + k) % 4];
      text.insert(text.end(), tail.begin(), tail.end());
    }
    text.insert(text.end(), 20, 0x0416);
    const CPlaced<char16_t> in(text, 0);
    std::uint32_t query = 0;
    Utf16ToUtf8(in.data(), test::ByteLength(text), nullptr, &query);
    for (std::uint32_t capacity = 1; capacity <= query; ++capacity) {
      EXPECT_TRUE(SameOnEveryPath(capacity, capacity % 16,
                                  [&](std::uint8_t* out) {
                                    std::uint32_t size = capacity;
                                    return std::make_pair(Utf16ToUtf8(in.data(), test::ByteLength(text), out, &size),
                                                          size);
                                  }))
          << "seed " << seed << " capacity " << capacity;
    }
  }
}

TEST(FastPaths, Utf8EncodingMatchesTheReferenceOnMixedScripts) {
  ForEachLengthAndAlignment([](std::size_t length, std::size_t alignment) {
    const auto seed = static_cast<std::uint32_t>(length * 16 + alignment);
    CheckUtf8Encoding(test::MixedUtf16(length, seed, 10), alignment);
    CheckUtf8Encoding(test::MixedUtf16(length, seed, 200), alignment);
  });
}

TEST(FastPaths, Utf8EncodingAgreesWithASurrogateAnywhereAndEveryCapacity) {
  const Units shapes[] = {{0xD83D, 0xDE00}, {0xD83D}, {0xDE00}, {0xD83D, u'a'}, {0xDBFF, 0xDBFF, 0xDFFF}};
  for (const Units& shape : shapes) {
    for (std::size_t at = 0; at < 70; ++at) {
      Units text = test::MixedUtf16(at, static_cast<std::uint32_t>(at), 100000);
      text.insert(text.end(), shape.begin(), shape.end());
      const Units tail = test::MixedUtf16(100 - at, static_cast<std::uint32_t>(at + 1000), 100000);
      text.insert(text.end(), tail.begin(), tail.end());
      CheckUtf8Encoding(text, at % 8);
    }
  }
  // Capacities ending inside and right after each 32-unit block.
  const Units text = test::MixedUtf16(130, 9, 30);
  const CPlaced<char16_t> in(text, 0);
  std::uint32_t query = 0;
  Utf16ToUtf8(in.data(), test::ByteLength(text), nullptr, &query);
  for (std::uint32_t capacity = 1; capacity <= query; ++capacity) {
    EXPECT_TRUE(SameOnEveryPath(capacity, capacity % 16,
                                [&](std::uint8_t* out) {
                                  std::uint32_t size = capacity;
                                  return std::make_pair(Utf16ToUtf8(in.data(), test::ByteLength(text), out, &size),
                                                        size);
                                }))
        << "capacity " << capacity;
  }
}

TEST(FastPaths, SingleByteConversionsMatchTheReference) {
  ForEachLengthAndAlignment([](std::size_t length, std::size_t alignment) {
    const auto seed = static_cast<std::uint32_t>(length * 16 + alignment);
    Bytes mixed = test::AdversarialUtf8(length, seed);  // ASCII runs and high bytes
    Units units = test::AdversarialUtf16(length, seed);
    for (CharsetCode code : {0, 11, 17, 18, 36, 56}) CheckSingleByte(code, mixed, units, alignment);
  });
}

// Single-byte text straight to UTF-8, on every path: the bytes of the two steps it stands for
// (an undefined byte's unit made U+FFFD between them), in every set, and nothing written past
// the room it asks for.
void CheckSingleByteToUtf8(CharsetCode code, const Bytes& bytes, std::size_t alignment) {
  const CPlaced<std::uint8_t> in(bytes, alignment);
  const auto length = test::ByteLength(bytes);
  SetCodecPath(CodecPath::kReference);
  Units units(bytes.size() + 1);
  std::uint32_t capacity = 2 * length;
  const bool undefined = SingleByteToUtf16(code, in.data(), length, units.data(), &capacity) == CONVERT_INVALID_INPUT;
  std::replace(units.begin(), units.end(), char16_t{0xFFFF}, char16_t{0xFFFD});
  Bytes expected(3 * bytes.size() + 1);
  std::uint32_t size = static_cast<std::uint32_t>(expected.size());
  Utf16ToUtf8(units.data(), 2 * length, expected.data(), &size);
  expected.resize(size);
  const CSingleByteToUtf8& straight = CSingleByteToUtf8::For(code);
  const std::size_t room = CSingleByteToUtf8::MaxBytes(bytes.size());
  for (CodecPath path : test::AvailablePaths()) {
    for (const bool pastCaches : {false, true}) {
      SetCodecPath(path);
      Bytes out(alignment + room + kGuard, kFill);
      bool flagged = false;
      const std::size_t written =
          straight.Convert(in.data(), bytes.size(), out.data() + alignment, flagged, pastCaches);
      SetCodecPath(BestCodecPath());
      EXPECT_EQ(Bytes(out.begin() + static_cast<std::ptrdiff_t>(alignment),
                      out.begin() + static_cast<std::ptrdiff_t>(alignment + std::min(written, room))),
                expected)
          << "code " << code << " length " << length << " path " << static_cast<int>(path) << " past caches "
          << pastCaches;
      EXPECT_EQ(flagged, undefined) << "code " << code << " length " << length;
      EXPECT_EQ(std::count(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(alignment), kFill), alignment);
      EXPECT_EQ(std::count(out.end() - kGuard, out.end(), kFill), kGuard) << "wrote past its room";
    }
  }
}

TEST(FastPaths, SingleByteToUtf8MatchesTheTwoSteps) {
  ForEachLengthAndAlignment([](std::size_t length, std::size_t alignment) {
    const auto seed = static_cast<std::uint32_t>(length * 16 + alignment);
    for (CharsetCode code : {18, 0, 11, 56}) {
      CheckSingleByteToUtf8(code, test::AdversarialUtf8(length, seed), alignment);  // ASCII runs, high bytes
      CheckSingleByteToUtf8(code, test::RandomBytes(length, seed), alignment);
    }
  });
  for (CharsetCode code = 0; code < kSingleByteTableCount; ++code) {
    Bytes every(256);
    for (unsigned b = 0; b < 256; ++b) every[b] = static_cast<std::uint8_t>(b);
    CheckSingleByteToUtf8(code, every, 0);
    CheckSingleByteToUtf8(code, test::RandomBytes(5000, static_cast<std::uint32_t>(code)), 7);
  }
  // From 4 MiB on the output leaves past the caches, in whole lines from an aligned point on.
  for (std::size_t alignment : {0u, 13u})
    CheckSingleByteToUtf8(18, test::AdversarialUtf8((4u << 20) + 77, 5), alignment);
}

TEST(FastPaths, LargeUtf8ConversionsMatchTheReference) {
  // Runs over 4 MiB and more of input write their output past the caches through a staging
  // buffer; the rare pieces stop and restart the runs, so that many of them begin and end
  // inside a 64-byte line.
  for (std::size_t alignment : {0u, 3u, 13u}) {
    const auto seed = static_cast<std::uint32_t>(alignment);
    CheckUtf8Decoding(test::MixedUtf8((4u << 20) + 77, seed, 20000), alignment);
    CheckUtf8Decoding(test::MixedUtf8((4u << 20) + 77, seed, 20000, true), alignment);
    CheckUtf8Encoding(test::MixedUtf16((2u << 20) + 41, seed, 20000), alignment);
  }
}

TEST(FastPaths, LargeSingleByteDecodingMatchesTheReference) {
  // Outputs of 4 MiB and more are written past the caches, from an aligned point on.
  for (CharsetCode code : {18, 17, 0}) {
    const Bytes bytes = test::RandomBytes((4u << 20) + 77, static_cast<std::uint32_t>(code));
    const CPlaced<std::uint8_t> in(bytes, 3);
    const auto length = test::ByteLength(bytes);
    for (std::size_t alignment : {0u, 2u, 14u}) {
      EXPECT_TRUE(SameOnEveryPath(2 * length, alignment,
                                  [&](std::uint8_t* out) {
                                    std::uint32_t size = 2 * length;
                                    return std::make_pair(SingleByteToUtf16(code, in.data(), length,
                                                                            reinterpret_cast<char16_t*>(out), &size),
                                                          size);
                                  }))
          << "code " << code << " alignment " << alignment;
    }
  }
}

// A copy of the input that ends where readable memory ends: right before a page the process may
// not touch (POSIX), so that a vector load past the input faults; elsewhere a heap block of
// exactly its size, which AddressSanitizer guards where it sees vector loads.
template <class T>
class CInputAtTheEdge {
 public:
  explicit CInputAtTheEdge(const std::vector<T>& items) {
    const std::size_t bytes = items.size() * sizeof(T);
#if defined(__unix__)
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    span_ = (bytes / page_ + 2) * page_;
    void* map = mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::bad_alloc();
    base_ = static_cast<std::uint8_t*>(map);
    mprotect(base_ + span_ - page_, page_, PROT_NONE);
    data_ = reinterpret_cast<T*>(base_ + span_ - page_ - bytes);
#else
    heap_ = std::make_unique<T[]>(items.size());
    data_ = heap_.get();
#endif
    std::copy(items.begin(), items.end(), data_);
  }
  ~CInputAtTheEdge() {
#if defined(__unix__)
    munmap(base_, span_);
#endif
  }
  CInputAtTheEdge(const CInputAtTheEdge&) = delete;
  CInputAtTheEdge& operator=(const CInputAtTheEdge&) = delete;
  const T* data() const { return data_; }

 private:
#if defined(__unix__)
  std::size_t page_ = 0, span_ = 0;
  std::uint8_t* base_ = nullptr;
#else
  std::unique_ptr<T[]> heap_;
#endif
  T* data_ = nullptr;
};

TEST(FastPaths, NoPathReadsPastItsInput) {
  for (std::size_t length = 0; length <= 200; ++length) {
    const auto seed = static_cast<std::uint32_t>(length);
    Bytes cjk;
    while (cjk.size() < length) cjk.insert(cjk.end(), {0xE4, 0xB8, 0xAD});
    cjk.resize(length);
    for (const Bytes& text : {test::MixedUtf8(length, seed, 30), Bytes(length, 'a'), cjk}) {
      const CInputAtTheEdge<std::uint8_t> in(text);
      const auto size = test::ByteLength(text);
      std::uint32_t query = 0;
      Utf8ToUtf16(in.data(), size, nullptr, &query);
      EXPECT_TRUE(SameOnEveryPath(query, 0,
                                  [&](std::uint8_t* out) {
                                    std::uint32_t written = 0;
                                    const std::int32_t result =
                                        Utf8ToUtf16(in.data(), size, reinterpret_cast<char16_t*>(out), &written);
                                    return std::make_pair(result ^ DetectCharset(in.data(), size), written);
                                  }))
          << "UTF-8, length " << length;
      EXPECT_TRUE(SameOnEveryPath(2 * length, 0,
                                  [&](std::uint8_t* out) {
                                    std::uint32_t written = 2 * size;
                                    return std::make_pair(SingleByteToUtf16(18, in.data(), size,
                                                                            reinterpret_cast<char16_t*>(out), &written),
                                                          written);
                                  }))
          << "single-byte, length " << length;
    }
    const Units mixed = test::MixedUtf16(length, seed, 30);
    const CInputAtTheEdge<char16_t> units(mixed);
    std::uint32_t query = 0;
    Utf16ToUtf8(units.data(), test::ByteLength(mixed), nullptr, &query);
    EXPECT_TRUE(SameOnEveryPath(query, 0,
                                [&](std::uint8_t* out) {
                                  std::uint32_t written = query;
                                  return std::make_pair(
                                      Utf16ToUtf8(units.data(), test::ByteLength(mixed), out, &written), written);
                                }))
        << "UTF-16, units " << length;
  }
}

TEST(FastPaths, LineBreaksSwapAndDetectionMatchTheReference) {
  ForEachLengthAndAlignment([](std::size_t length, std::size_t alignment) {
    const auto seed = static_cast<std::uint32_t>(length * 16 + alignment);
    CheckLineBreaksAndSwap(test::AdversarialUtf16(length, seed), alignment);
    CheckDetection(test::AdversarialUtf8(length, seed), alignment);
    CheckDetection(test::RandomBytes(length, seed), alignment);
  });
}

}  // namespace
}  // namespace glyphshift::engine
