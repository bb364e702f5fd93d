// The piece-by-piece conversion against the whole-text steps: each stage cut at every place of
// texts built around the boundary classes (a character, a CR LF, a surrogate pair, a tag or a
// quoted value cut in two), then the whole conversion on random texts in pieces from one byte
// up, and on the shared corpus of real documents when it is at hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "convert/loss_check.h"
#include "convert/markup_declarations.h"
#include "convert/markup_stream.h"
#include "convert/stream_conversion.h"
#include "convert/text_stages.h"
#include "convert/whole_text_reference.h"
#include "convert/working_text_builder.h"
#include "engine/engine.h"

namespace glyphshift::testing_support {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Every way to cut `size` into two pieces, plus one piece per byte.
std::vector<std::vector<std::size_t>> CutsOf(std::size_t size) {
  std::vector<std::vector<std::size_t>> cuts;
  for (std::size_t at = 0; at <= size; ++at) cuts.push_back({at, size - at});
  cuts.push_back(std::vector<std::size_t>(size, 1));
  return cuts;
}

// --- Stages -----------------------------------------------------------------------------------

std::u16string DecodeInPieces(CharsetCode code, const Bytes& raw, const std::vector<std::size_t>& pieces,
                              bool& oddByte) {
  CStreamDecoder decoder(code);
  std::u16string units;
  Bytes pending;
  std::size_t at = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    pending.insert(pending.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + pieces[i]));
    at += pieces[i];
    std::u16string out(pending.size() + 1, u'\0');
    std::size_t consumed = 0;
    bool flagged = false;
    out.resize(decoder.Decode(pending.data(), pending.size(), i + 1 == pieces.size(), out.data(), consumed, flagged));
    units += out;
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(consumed));
  }
  oddByte = decoder.OddByte();
  return units;
}

TEST(StreamStages, DecodingGivesTheWholeTextsUnitsWhereverItIsCut) {
  const struct {
    CharsetCode code;
    Bytes raw;
  } cases[] = {
      {kCharsetUtf8, B("a\xE2\x82\xAC"
                       "b\xF0\x9F\x98\x80"
                       "c")},          // 3- and 4-byte characters
      {kCharsetUtf8, B("x\xE2\x82")},  // cut off at the very end
      {kCharsetUtf8, B("\xE2"
                       "A\xC3\x28\x80\xBF"
                       "B")},  // missing continuations, strays
      {kCharsetUtf8, B("\xF0\xF0\xF0\xF0\xF0\xF0\xF0"
                       "z")},                                                 // leads without continuations
      {kCharsetUtf8, B("\xFC\x80\x80\x80\x80\x80\xF8\x80\xC0\x80\xFE\xFF")},  // 5-, 6-byte and overlong forms
      {kCharsetUtf8, B("\xED\xA0\x80\xF4\x90\x80\x80")},                      // surrogates and beyond U+10FFFF
      {kCharsetUtf16, B(std::string("a\0\x3D\xD8\x00\xDE"
                                    "b",
                                    7))},  // odd size, a pair
      {kCharsetUtf16Be, B(std::string("\0a\xD8\x3D\xDE\x00\0", 7))},
      {18, B("caf\xE9 \x80\x81\x9F")},  // Windows-1252 with undefined bytes
  };
  for (const auto& c : cases) {
    Bytes whole(c.raw);
    bool wholeOdd = false;
    const std::u16string expected = DecodeInPieces(c.code, whole, {whole.size()}, wholeOdd);
    // The whole-text decoding the conversion steps define, as little-endian UTF-16.
    const Bytes utf16 = ConvertWholeText(c.raw, {c.code, kCharsetUtf16, {}, false, false, false, {}});
    std::u16string reference;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
      reference.push_back(static_cast<char16_t>(utf16[i] | utf16[i + 1] << 8));
    }
    ASSERT_EQ(expected, reference) << c.code;
    for (const auto& pieces : CutsOf(c.raw.size())) {
      bool odd = false;
      EXPECT_EQ(DecodeInPieces(c.code, c.raw, pieces, odd), expected) << c.code << " cut at " << pieces[0];
      EXPECT_EQ(odd, wholeOdd);
    }
  }
}

TEST(StreamStages, LineBreaksMatchTheWholeTextWhereverItIsCut) {
  const std::u16string text = u"a\r\nb\rc\nd\r\r\n\n\re\r";
  for (const std::int32_t type : {LINEBREAK_DOS, LINEBREAK_UNIX, LINEBREAK_MAC, 0}) {
    std::u16string expected(2 * text.size() + 2, u'\0');
    std::uint32_t size = 0;
    engine::TransformLineBreaks(type, text.data(), static_cast<std::uint32_t>(2 * text.size()), expected.data(), &size);
    expected.resize(size / 2);
    for (const auto& pieces : CutsOf(text.size())) {
      CLineBreakStage stage(type);
      std::u16string got;
      std::size_t at = 0;
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::u16string out(2 * pieces[i] + 2, u'\0');
        out.resize(stage.Rewrite(text.data() + at, pieces[i], i + 1 == pieces.size(), out.data()));
        got += out;
        at += pieces[i];
      }
      EXPECT_EQ(got, expected) << "type " << type << " cut at " << pieces[0];
    }
  }
}

TEST(StreamStages, EncodingMatchesTheWholeTextWhereverItIsCut) {
  const std::u16string text = u"a\u00E9\u20AC\xD83D\xDE00\xD800x\xDC00\xD83D";  // pairs, lone halves, one at the end
  for (const CharsetCode code : {kCharsetUtf8, kCharsetUtf16, kCharsetUtf16Be, CharsetCode{18}, CharsetCode{37}}) {
    const StreamSettings settings{kCharsetUtf16, code, {}, false, false, false, {}};
    const Bytes raw(reinterpret_cast<const std::uint8_t*>(text.data()),
                    reinterpret_cast<const std::uint8_t*>(text.data() + text.size()));
    const Bytes expected = ConvertWholeText(raw, settings);
    for (const auto& pieces : CutsOf(text.size())) {
      CStreamEncoder encoder(code);
      Bytes got;
      std::size_t at = 0;
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        Bytes out(CStreamEncoder::MaxBytes(pieces[i]));
        out.resize(encoder.Encode(text.data() + at, pieces[i], i + 1 == pieces.size(), out.data()));
        got.insert(got.end(), out.begin(), out.end());
        at += pieces[i];
      }
      EXPECT_EQ(got, expected) << "set " << code << " cut at " << pieces[0];
    }
  }
}

// Units passed on, with the marks and rewinds of a replacement, as a u16string.
class CTextSink final : public CUnitSink {
 public:
  void Emit(const char16_t* units, std::size_t count) override { text.append(units, count); }
  std::uint64_t Mark() override { return text.size(); }
  void Rewind(std::uint64_t mark) override { text.resize(static_cast<std::size_t>(mark)); }
  std::u16string text;
};

TEST(StreamStages, MarkupRewritingMatchesTheWholeTextWhereverItIsCut) {
  const std::u16string documents[] = {
      u"<?xml version=\"1.0\" encoding='ISO-8859-1'?><r/>",
      u"<META HTTP-EQUIV=x CONTENT=\"text/html; Charset=windows-1252\">after",
      u"<meta content=\"charset=a\"><meta http-equiv=\"y\"><meta content=\"a; charset=b\">",
      u"<!-- <?xml encoding=\"in a comment\"?> --><x a='1\"><?xml encoding=\"\"?>",
      u"<meta http-equiv=a><meta content=\"x<!y>z charset=q\">",        // a value across other markup
      u"<xml encoding=\"a\"\0<?xml encoding=\"b\"?>",                   // U+0000 ends the scan
      u"< xml encoding=\"a\"><xmlx encoding=\"b\"><x encoding=\"c\">",  // names that do not exist or match
  };
  for (const std::u16string& document : documents) {
    for (const auto& [xml, html] : {std::pair{true, false}, {false, true}, {true, true}}) {
      WorkingText whole = MakeWorkingText(document);
      ASSERT_EQ(RewriteCharsetDeclarations(whole, u"utf-8", xml, html), EditResult::Ok);
      const std::u16string expected = TextOf(whole);
      for (const auto& pieces : CutsOf(document.size())) {
        CMarkupStream stream(u"utf-8", xml, html);
        CTextSink sink;
        std::size_t at = 0;
        for (std::size_t piece : pieces) {
          stream.Process(document.data() + at, piece, sink);
          at += piece;
        }
        EXPECT_EQ(sink.text, expected) << "cut at " << pieces[0] << " of document " << &document - documents;
      }
    }
  }
}

// --- The whole conversion ---------------------------------------------------------------------

// `behind`: written on the conversion's writing thread, as a file is.
class CMemorySink final : public CByteSink {
 public:
  explicit CMemorySink(bool behind = false) : behind_(behind) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return true;
  }
  std::uint64_t Size() const override { return bytes_.size(); }
  bool Truncate(std::uint64_t size) override {
    bytes_.resize(static_cast<std::size_t>(size));
    return true;
  }
  bool WritesBehind() const override { return behind_; }
  const Bytes& bytes() const { return bytes_; }

 private:
  bool behind_;
  Bytes bytes_;
};

// Converts `raw` in pieces of the given sizes (the last one repeated); `sizeHint` sizes the
// buffers (a small one makes them small, so chunks and output are cut often too, a large one
// has the output written behind).
Bytes ConvertInPieces(const Bytes& raw, const StreamSettings& settings, std::size_t piece, std::uint64_t sizeHint) {
  CMemorySink sink(true);
  CStreamConversion stream(settings, sink);
  EXPECT_EQ(stream.Begin(sizeHint), StreamStep::None);
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t take = std::min(piece, raw.size() - at);
    EXPECT_TRUE(stream.Add({raw.data() + at, take}));
    at += take;
  }
  EXPECT_TRUE(stream.Finish());
  return sink.bytes();
}

// Texts made of the pieces every stage cares about, in any order.
Bytes RandomText(std::mt19937& random, CharsetCode source) {
  static const std::string kFragments[] = {
      "plain ",
      "\r\n",
      "\r",
      "\n",
      "\xEF\xBB\xBF",
      "<?xml version=\"1.0\" encoding=\"latin1\"?>",
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">",
      "<meta content='charset=x'>",
      "<!--",
      "-->",
      "<",
      ">",
      "\"",
      "'",
      "=",
      std::string(1, '\0'),
      "\xC3\xA9",
      "\xE2\x82\xAC",
      "\xF0\x9F\x98\x80",
      "\xE2\x82",
      "\xF0\xF0",
      "\x80",
      "\xFF\xFE",
      "\xFE\xFF",
      "\xD8\x3D",
      "\xDE\x00"};
  Bytes raw;
  const int count = std::uniform_int_distribution<int>(0, 40)(random);
  for (int i = 0; i < count; ++i) {
    const std::string& fragment =
        kFragments[std::uniform_int_distribution<std::size_t>(0, std::size(kFragments) - 1)(random)];
    const bool wide = source == kCharsetUtf16 || source == kCharsetUtf16Be;
    for (char c : fragment) {
      // UTF-16 sources get their ASCII as units, so the markup in them is markup.
      if (wide && source == kCharsetUtf16Be) raw.push_back(0);
      raw.push_back(static_cast<std::uint8_t>(c));
      if (wide && source == kCharsetUtf16) raw.push_back(0);
    }
  }
  if (std::uniform_int_distribution<int>(0, 3)(random) == 0) raw.push_back(0x41);  // odd sizes too
  return raw;
}

TEST(StreamConversion, RandomTextsInPiecesFromOneByteUpGiveTheWholeTextsBytes) {
  std::mt19937 random(2026);
  const CharsetCode sources[] = {kCharsetUtf8, kCharsetUtf16, kCharsetUtf16Be, 18, 37, 11};
  const CharsetCode destinations[] = {kCharsetUtf8, kCharsetUtf16, kCharsetUtf16Be, 18, 37};
  const std::optional<std::int32_t> breaks[] = {std::nullopt, LINEBREAK_DOS, LINEBREAK_UNIX, LINEBREAK_MAC, 0};
  for (std::size_t sample = 0; sample < 600; ++sample) {
    StreamSettings settings;
    settings.source = sources[sample % std::size(sources)];
    settings.destination = destinations[sample / 7 % std::size(destinations)];
    settings.lineBreakType = breaks[sample / 3 % std::size(breaks)];
    settings.writeBom = sample % 2 == 0;
    settings.modifyXml = sample % 4 < 2;
    settings.modifyHtml = sample % 8 >= 3;
    settings.destinationName = u"a-name";
    const Bytes raw = RandomText(random, settings.source);
    const Bytes expected = ConvertWholeText(raw, settings);
    const std::size_t randomPiece = std::uniform_int_distribution<std::size_t>(1, 97)(random);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, randomPiece, raw.size() + 1}) {
      for (const std::uint64_t hint : {std::uint64_t{1}, std::uint64_t{1} << 20}) {
        ASSERT_EQ(ConvertInPieces(raw, settings, piece, hint), expected)
            << "sample " << sample << ", pieces of " << piece << ", buffers for " << hint;
      }
    }
  }
}

// A declaration's value is taken back after the output before it went to the writing thread:
// a long value, around each point where a buffer may be handed over.
TEST(StreamConversion, DeclarationsAcrossWrittenBehindBuffersGiveTheWholeTextsBytes) {
  const StreamSettings settings{18, kCharsetUtf8, std::nullopt, false, false, true, u"a-name"};
  const std::string head = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1";
  const std::string tail = "\">";
  constexpr std::size_t kChunk = CStreamConversion::kChunkUnits;
  for (std::size_t at = CStreamConversion::kOutputBytes; at < CStreamConversion::kOutputBytes + 8 * kChunk;
       at += kChunk) {
    Bytes raw(at, 'x');
    raw.insert(raw.end(), head.begin(), head.end());
    raw.resize(raw.size() + 2 * kChunk, ' ');
    raw.insert(raw.end(), tail.begin(), tail.end());
    raw.resize(raw.size() + kChunk, 'y');
    ASSERT_EQ(ConvertInPieces(raw, settings, raw.size(), CStreamConversion::kWriteBehindFrom),
              ConvertWholeText(raw, settings))
        << "declaration at " << at;
  }
}

// The loss check through an observer that says whether it needs the units (when it does, the
// stream decodes a single-byte source into them, as it does every other), and notes whether
// it was handed any.
class CForwardedCheck final : public CStreamObserver {
 public:
  CForwardedCheck(CLossCheck& check, bool bytesAlone) : check_(check), bytesAlone_(bytesAlone) {}
  bool JudgesBytesAlone() const override { return bytesAlone_; }
  bool Decoded(const DecodedChunk& chunk) override {
    sawUnits_ |= chunk.units != nullptr;
    return check_.Decoded(chunk);
  }
  void Finished(bool oddByte, std::uint64_t sourceSize, std::uint64_t decodedUnits) override {
    check_.Finished(oddByte, sourceSize, decodedUnits);
  }
  bool SawUnits() const { return sawUnits_; }

 private:
  CLossCheck& check_;
  bool bytesAlone_;
  bool sawUnits_ = false;
};

// The output, or nothing when the observer stopped the conversion.
std::optional<Bytes> ObservedInPieces(const Bytes& raw, const StreamSettings& settings, std::size_t piece,
                                      std::uint64_t sizeHint) {
  CMemorySink sink(true);
  CStreamConversion stream(settings, sink);
  EXPECT_EQ(stream.Begin(sizeHint), StreamStep::None);
  for (std::size_t at = 0; at < raw.size(); at += piece) {
    if (!stream.Add({raw.data() + at, std::min(piece, raw.size() - at)})) return std::nullopt;
  }
  if (!stream.Finish()) return std::nullopt;
  return sink.bytes();
}

// With the loss check alone riding along, single-byte text goes to UTF-8 without the units
// between: the same bytes and the same findings as through them, whatever the pieces. Text
// with undefined bytes (81, 8D, 8F, 90 and 9D in Windows-1252), with C1 bytes for a guessed
// ISO-8859-1, and with a control code that makes it binary.
TEST(StreamConversion, SingleByteTextStraightToUtf8GivesWhatTheUnitsGive) {
  std::mt19937 random(24);
  constexpr std::size_t kChunk = CStreamConversion::kChunkUnits;
  for (const CharsetCode source : {18, 0, 37, 11, 56}) {
    for (int sample = 0; sample < 24; ++sample) {
      Bytes raw(std::uniform_int_distribution<std::size_t>(0, 3 * kChunk)(random));
      for (std::uint8_t& b : raw) {
        const int kind = std::uniform_int_distribution<int>(0, 9)(random);
        b = static_cast<std::uint8_t>(kind == 0 ? std::uniform_int_distribution<int>(0x80, 0xFF)(random)
                                                : std::uniform_int_distribution<int>(0x20, 0x7E)(random));
      }
      if (sample % 6 == 5 && !raw.empty()) raw[raw.size() * 2 / 3] = 0x01;
      const bool guessed = sample % 4 >= 2;
      CLossCheck straight(source, kCharsetUtf8, {false, guessed}), units(source, kCharsetUtf8, {false, guessed});
      ASSERT_TRUE(straight.JudgesBytesAlone());
      CForwardedCheck bytesAlone(straight, true), throughUnits(units, false);
      StreamSettings settings{source, kCharsetUtf8, std::nullopt, sample % 2 == 0, false, false, {}};
      settings.observer = &bytesAlone;
      const std::size_t piece = std::uniform_int_distribution<std::size_t>(1, 2 * kChunk)(random);
      const std::uint64_t hint = sample % 3 == 0 ? 1 : CStreamConversion::kWriteBehindFrom;
      const std::optional<Bytes> got = ObservedInPieces(raw, settings, piece, hint);
      settings.observer = &throughUnits;
      const std::optional<Bytes> expected = ObservedInPieces(raw, settings, piece, hint);
      SCOPED_TRACE(::testing::Message() << "source " << source << ", sample " << sample);
      EXPECT_FALSE(bytesAlone.SawUnits()) << "went through the units";
      EXPECT_EQ(got, expected);
      const LossReport& a = straight.Report();
      const LossReport& b = units.Report();
      EXPECT_EQ(a.undecodable.count, b.undecodable.count);
      EXPECT_EQ(a.undecodable.firstIndex, b.undecodable.firstIndex);
      EXPECT_EQ(a.binaryAt, b.binaryAt);
      EXPECT_EQ(a.c1Bytes, b.c1Bytes);
      EXPECT_EQ(a.readsAsUtf16, b.readsAsUtf16);
    }
  }
}

// A sink that takes `room` bytes, then fails as a full disk does.
class CFullSink final : public CByteSink {
 public:
  explicit CFullSink(std::size_t room) : room_(room) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    if (bytes.size() > room_) return false;
    room_ -= bytes.size();
    size_ += bytes.size();
    return true;
  }
  std::uint64_t Size() const override { return size_; }
  bool Truncate(std::uint64_t size) override {
    size_ = size;
    return true;
  }

 private:
  std::size_t room_;
  std::uint64_t size_ = 0;
};

TEST(StreamConversion, AFailedOutputEndsTheConversionWithoutCarryingThePiece) {
  CFullSink sink(100);
  const StreamSettings settings{kCharsetUtf8, kCharsetUtf16, std::nullopt, true, false, false, {}};
  // On the heap, so a carry beyond the conversion's own memory shows.
  const auto stream = std::make_unique<CStreamConversion>(settings, sink);
  ASSERT_EQ(stream->Begin(1), StreamStep::None);
  const Bytes piece(10000, 'x');
  EXPECT_FALSE(stream->Add(piece));
  EXPECT_FALSE(stream->Finish());
}

// Real documents nobody here wrote, when the shared corpus is at hand (GLYPHSHIFT_CORPUS, or
// beside the project); the project itself carries none of them.
TEST(StreamConversion, CorpusDocumentsGiveTheWholeTextsBytes) {
  const char* configured = std::getenv("GLYPHSHIFT_CORPUS");
  const char* source = std::getenv("GLYPHSHIFT_SOURCE_DIR");
  const std::filesystem::path corpus =
      configured ? configured : std::filesystem::path(source ? source : ".") / ".." / "shared" / "test-corpus";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int documents = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const Bytes raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const CharsetCode detected = engine::DetectCharset(raw.data(), static_cast<std::uint32_t>(raw.size()));
    const StreamSettings settings[] = {
        {detected, kCharsetUtf8, std::nullopt, true, false, false, u"utf-8"},
        {detected, kCharsetUtf16Be, LINEBREAK_DOS, true, true, true, u"utf-16be"},
        {detected, 18, LINEBREAK_UNIX, false, true, true, u"windows-1252"},
    };
    for (const StreamSettings& s : settings) {
      const Bytes expected = ConvertWholeText(raw, s);
      EXPECT_EQ(ConvertInPieces(raw, s, 4093, 1), expected) << entry.path();
      EXPECT_EQ(ConvertInPieces(raw, s, raw.size() + 1, raw.size()), expected) << entry.path();
    }
    ++documents;
  }
  EXPECT_GT(documents, 0);
}

}  // namespace
}  // namespace glyphshift::testing_support
