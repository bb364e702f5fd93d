#include "convert/markup_stream.h"

#include "convert/markup_declarations.h"
#include "engine/ascii_case.h"

namespace glyphshift {

namespace {

constexpr std::u16string_view kCharset = u"charset=";

bool IsMarkupWhitespace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v';  // not form feed
}

bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

}  // namespace

bool CMarkupStream::Name::Matches(std::u16string_view keyword) const {
  if (start == kUnset || end == kUnset || start >= end) return false;
  const std::uint64_t length = end - start;
  if (length > keyword.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (FoldAsciiCase(kept[i]) != keyword[i]) return false;
  }
  return true;
}

CMarkupStream::CMarkupStream(std::u16string_view name, bool modifyXml, bool modifyHtml, CDeclarationListener* listener)
    : name_(name),
      modifyXml_(modifyXml),
      modifyHtml_(modifyHtml),
      listener_(listener),
      stopped_(!modifyXml && !modifyHtml) {}

void CMarkupStream::Process(const char16_t* units, std::size_t count, CUnitSink& sink) {
  std::size_t emitted = 0;  // units before this one were passed on
  for (std::size_t i = 0; i < count && !stopped_; ++i) {
    const char16_t c = units[i];
    if (c == 0) {  // a U+0000 ends the scan; the text after it passes unchanged
      stopped_ = true;
      break;
    }
    ApplyStateRules(c);
    if (valueStart_ != kUnset) TrackCharset(c, sink, units, i, emitted);
    if (state_ == State::Tag || state_ == State::ProcessingInstruction) {
      const bool valueOpen = valueStart_ != kUnset;
      if (Collect(c)) {
        if (CheckAttribute(sink)) {
          // Everything since the replacement's start is taken back; the closing quote follows.
          emitted = i;
        }
      } else if (!valueOpen && valueStart_ != kUnset) {
        StartValue(sink, units, i, emitted);
      }
    }
    // The closing quote has ended the candidate by now, so it is never kept.
    if (listener_ != nullptr && replaceFrom_ != kUnset && position_ >= valueFrom_) {
      if (valueKept_ < kValueKept) {
        value_[valueKept_++] = c;
      } else {
        valueCut_ = true;
      }
    }
    tag_.Keep(c);
    attribute_.Keep(c);
    stopped_ = ShouldStop();
    previous_ = c;  // after a replacement, the closing quote of the new value
    ++position_;
  }
  sink.Emit(units + emitted, count - emitted);
}

void CMarkupStream::ApplyStateRules(char16_t c) {
  if (state_ == State::Text && c == u'<') {
    state_ = State::Tag;
  } else if (previous_ == u'<' && c == u'!') {
    state_ = State::MarkupDeclaration;
  } else if (previous_ == u'<' && c == u'/') {
    state_ = State::EndTag;
  } else if (previous_ == u'<' && c == u'?') {
    state_ = State::ProcessingInstruction;
  } else if (state_ == State::MarkupDeclaration && c == u'-' && previous_ == u'-') {
    state_ = State::Comment;
  } else if (c == u'>') {
    EndMarkup();
  }
}

void CMarkupStream::EndMarkup() {
  switch (state_) {
    case State::Tag:
    case State::EndTag: ForgetTag(); break;
    case State::ProcessingInstruction:
      if (previous_ != u'?') return;
      ForgetTag();
      break;
    case State::MarkupDeclaration: break;
    case State::Comment:
      if (previous_ != u'-') return;
      break;
    case State::Text: return;
  }
  state_ = State::Text;
}

void CMarkupStream::ForgetTag() {
  tag_.Forget();
  ForgetAttribute();
}

void CMarkupStream::ForgetAttribute() {
  attribute_.Forget();
  valueStart_ = kUnset;
  candidate_ = Candidate::None;
  replaceFrom_ = kUnset;
  charsetMatched_ = 0;
}

bool CMarkupStream::Collect(char16_t c) {
  if (IsMarkupNameCharacter(c)) {
    if (tag_.start == kUnset) {
      tag_.start = position_;
    } else if (attribute_.start == kUnset && tag_.end != kUnset) {
      attribute_.start = position_;
    }
  } else if (IsMarkupWhitespace(c)) {
    if (tag_.end == kUnset) {
      tag_.end = position_;
    } else if (attribute_.end == kUnset && attribute_.start != kUnset) {
      attribute_.end = position_;
    }
  } else if (c == u'=') {
    if (attribute_.end == kUnset) attribute_.end = position_;
  } else if (IsQuote(c)) {
    if (valueStart_ == kUnset) {
      if (attribute_.end != kUnset) valueStart_ = position_ + 1;
    } else {
      return true;
    }
  }
  return false;
}

// The value's fate depends only on names that are complete by now and on an http-equiv seen
// earlier, so what may become of it is known at its opening quote.
void CMarkupStream::StartValue(CUnitSink& sink, const char16_t* units, std::size_t index, std::size_t& emitted) {
  if (modifyXml_ && tag_.Matches(u"xml") && attribute_.Matches(u"encoding")) {
    candidate_ = Candidate::XmlEncoding;
    sink.Emit(units + emitted, index + 1 - emitted);
    emitted = index + 1;
    replaceFrom_ = sink.Mark();
    StartKeeping();
  } else if (modifyHtml_ && tag_.Matches(u"meta") && !attribute_.Matches(u"http-equiv") &&
             attribute_.Matches(u"content") && httpEquivSeen_) {
    candidate_ = Candidate::HtmlContent;
  }
}

// The first "charset=" inside a content value: where its replacement would begin.
void CMarkupStream::TrackCharset(char16_t c, CUnitSink& sink, const char16_t* units, std::size_t index,
                                 std::size_t& emitted) {
  if (candidate_ != Candidate::HtmlContent || replaceFrom_ != kUnset || position_ < valueStart_) return;
  const char16_t folded = FoldAsciiCase(c);
  // No character of "charset=" occurs twice, so a mismatch can only restart the match.
  charsetMatched_ = folded == kCharset[charsetMatched_] ? charsetMatched_ + 1 : folded == kCharset[0] ? 1 : 0;
  if (charsetMatched_ == kCharset.size()) {
    sink.Emit(units + emitted, index + 1 - emitted);
    emitted = index + 1;
    replaceFrom_ = sink.Mark();
    StartKeeping();
  }
}

// The value that may be replaced starts after the unit just seen (a quote, or "charset=").
void CMarkupStream::StartKeeping() {
  valueFrom_ = position_ + 1;
  valueKept_ = 0;
  valueCut_ = false;
}

bool CMarkupStream::CheckAttribute(CUnitSink& sink) {
  bool replace = false;
  if (modifyHtml_ && tag_.Matches(u"meta")) {
    if (attribute_.Matches(u"http-equiv")) {
      httpEquivSeen_ = true;
    } else if (candidate_ == Candidate::HtmlContent && replaceFrom_ != kUnset) {
      htmlDone_ = true;
      replace = true;
    }
  }
  if (candidate_ == Candidate::XmlEncoding) {
    xmlDone_ = true;
    replace = true;
  }
  if (replace) {
    if (listener_ != nullptr) {
      listener_->Found(candidate_ == Candidate::XmlEncoding, std::u16string_view(value_, valueKept_), valueCut_);
    }
    sink.Rewind(replaceFrom_);
    sink.Emit(name_.data(), name_.size());
  }
  ForgetAttribute();
  return replace;
}

bool CMarkupStream::ShouldStop() const {
  if (modifyXml_ && modifyHtml_) return xmlDone_ && htmlDone_;
  if (modifyHtml_) return htmlDone_;
  if (modifyXml_) return xmlDone_;
  return true;  // nothing asked for
}

}  // namespace glyphshift
