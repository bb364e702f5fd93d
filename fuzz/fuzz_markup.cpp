// The markup rewriter: the streamed scanner, fed in pieces cut where the input says, must give
// the text the whole-text rewriter gives. The first byte chooses the kinds and the name, the
// next two the piece sizes; the rest is the text, two bytes a unit.
#include <cstdint>
#include <string>

#include "convert/markup_declarations.h"
#include "convert/markup_stream.h"
#include "convert/working_text.h"
#include "fuzz_support.h"

using glyphshift::fuzz::Require;
namespace gs = glyphshift;

namespace {

class CTextSink final : public gs::CUnitSink {
 public:
  void Emit(const char16_t* units, std::size_t count) override { text.append(units, count); }
  std::uint64_t Mark() override { return text.size(); }
  void Rewind(std::uint64_t mark) override {
    Require(mark <= text.size(), "a rewind goes back, never forward");
    text.resize(static_cast<std::size_t>(mark));
  }
  std::u16string text;
};

std::u16string RewriteWhole(std::u16string_view input, std::u16string_view name, bool xml, bool html) {
  gs::WorkingText text;
  text.buffer = gs::AllocateUnits(input.size() + 1);
  std::copy(input.begin(), input.end(), text.buffer.get());
  text.buffer[input.size()] = 0;
  text.byteLength = static_cast<std::uint32_t>(2 * input.size());
  Require(gs::RewriteCharsetDeclarations(text, name, xml, html) == gs::EditResult::Ok, "the rewrite has memory");
  return std::u16string(text.Text(), text.UnitCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3 || size > 8192) return 0;
  static constexpr std::u16string_view kNames[] = {u"utf-8", u"", u"windows-1252", u"x\"y'z<>"};
  const bool xml = (data[0] & 1) != 0;
  const bool html = (data[0] & 2) != 0 || !xml;
  const std::u16string_view name = kNames[(data[0] >> 2) % 4];
  const std::size_t firstPiece = data[1];
  const std::size_t laterPieces = data[2] % 16 + 1;
  const std::u16string input = gs::fuzz::UnitsOf(data + 3, size - 3);

  const std::u16string whole = RewriteWhole(input, name, xml, html);

  gs::CMarkupStream stream(name, xml, html);
  CTextSink sink;
  std::size_t at = 0;
  for (std::size_t piece = firstPiece; at < input.size(); piece = laterPieces) {
    const std::size_t count = std::min(piece, input.size() - at);
    stream.Process(input.data() + at, count, sink);
    at += count;
  }
  Require(sink.text == whole, "streamed pieces give the whole-text rewrite");
  return 0;
}
