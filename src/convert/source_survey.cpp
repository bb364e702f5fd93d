#include "convert/source_survey.h"

#include "convert/loss_check.h"
#include "convert/markup_stream.h"
#include "convert/stream_conversion.h"

namespace glyphshift {
namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kLf = 0x000A;
constexpr char16_t kByteOrderMark = 0xFEFF;

// The markup scanner's output: nothing is kept, so nothing is rewritten.
class CNoUnits final : public CUnitSink {
 public:
  void Emit(const char16_t*, std::size_t) override {}
  std::uint64_t Mark() override { return 0; }
  void Rewind(std::uint64_t) override {}
};

// Everything the survey counts, told by the stream as it decodes.
class CSurveyObserver final : public CStreamObserver, private CDeclarationListener {
 public:
  CSurveyObserver(CharsetCode source, CharsetCode destination, bool guessedLatin1, SourceSurvey& survey)
      : counting_(source, destination, {/*binaryAllowed=*/true, false}),
        binary_(source, destination, {/*binaryAllowed=*/false, guessedLatin1}),
        markup_(u"", true, true, this),
        survey_(survey) {}

  bool Decoded(const DecodedChunk& chunk) override {
    // The counting check runs first: it turns undecodable units into U+FFFD, which is what the
    // binary check and the markup scanner see in a conversion too.
    (void)counting_.Decoded(chunk);
    // The binary check stops at the first character that is no text; the counts go on.
    if (!binaryFound_) binaryFound_ = !binary_.Decoded(chunk);
    if (chunk.unitIndex == 0 && chunk.unitCount != 0) survey_.byteOrderMark = chunk.units[0] == kByteOrderMark;
    CountLineBreaks(chunk.units, chunk.unitCount);
    markup_.Process(chunk.units, chunk.unitCount, nowhere_);
    return true;
  }

  void EncodedSingleBytes(const char16_t* units, std::size_t count, const std::uint8_t* bytes,
                          std::uint64_t unitIndex) override {
    counting_.EncodedSingleBytes(units, count, bytes, unitIndex);
  }

  void Finished(bool oddByte, std::uint64_t sourceSize, std::uint64_t decodedUnits) override {
    counting_.Finished(oddByte, sourceSize, decodedUnits);
    if (afterCr_) ++survey_.lineBreaks.cr;
    afterCr_ = false;
    const LossReport& losses = counting_.Report();
    survey_.undecodable = losses.undecodable.count + (losses.oddByte ? 1 : 0);
    survey_.unencodable = losses.unencodable.count;
    survey_.binaryAt = binary_.Report().binaryAt;
  }

 private:
  void Found(bool xml, std::u16string_view value, bool cut) override {
    DeclaredCharset& declared = xml ? survey_.xml : survey_.html;
    declared = {true, std::u16string(value), cut};
  }

  // CR LF may be cut in two between chunks: a CR waits for the next unit.
  void CountLineBreaks(const char16_t* units, std::size_t count) {
    LineBreakCounts& breaks = survey_.lineBreaks;
    for (std::size_t i = 0; i < count; ++i) {
      const char16_t u = units[i];
      if (u == kLf) {
        ++(afterCr_ ? breaks.crLf : breaks.lf);
      } else if (afterCr_) {
        ++breaks.cr;
      }
      afterCr_ = u == kCr;
    }
  }

  CLossCheck counting_;
  CLossCheck binary_;
  bool binaryFound_ = false;
  CMarkupStream markup_;
  CNoUnits nowhere_;
  bool afterCr_ = false;
  SourceSurvey& survey_;
};

}  // namespace

Result SurveySource(const OpenedSource& source, CharsetCode sourceCharset, CharsetCode destinationCharset,
                    bool guessedLatin1, SourceSurvey& survey, ConversionReport& report) {
  if (source.error) {
    report.problem = ConversionReport::Problem::SourceUnreadable;
    report.error = source.error;
    return report.FileResult();
  }
  survey = {};
  CSurveyObserver observer(sourceCharset, destinationCharset, guessedLatin1, survey);
  StreamSettings settings;
  settings.source = sourceCharset;
  settings.destination = destinationCharset;
  settings.writeBom = false;
  settings.observer = &observer;
  CNullSink nowhere;
  CStreamConversion stream(settings, nowhere);
  if (const StreamStep failed = stream.Begin(source.file.status.size); failed != StreamStep::None) {
    report.problem = ConversionReport::Problem::OutOfMemory;
    report.step = failed;
    report.error = {platform::kErrorOutOfMemory, "allocate"};
    return report.FileResult();
  }
  return StreamSource(source.file, stream, {}, survey.size, report);
}

}  // namespace glyphshift
