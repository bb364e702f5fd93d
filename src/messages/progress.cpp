#include "messages/progress.h"

#include <algorithm>

#include "messages/byte_size_text.h"
#include "messages/catalogue.h"
#include "platform/streams.h"

namespace glyphshift {
namespace {

// A run shorter than this shows nothing: most runs are, and a line that flashes up and goes is
// noise. Redrawn at most this often: the eye sees no more, and every draw costs a write.
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

// A name may hold anything a file system allows; on the terminal a control character (or a
// byte that was no UTF-8, which may be an 8-bit control) would move the cursor or worse.
std::u16string Displayable(std::u16string_view name) {
  std::u16string shown(name);
  for (char16_t& c : shown) {
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool rawByte = c >= 0xDC80 && c <= 0xDCFF;  // a byte of a name that was no UTF-8
    if (control || rawByte) c = u'?';
  }
  return shown;
}

}  // namespace

void CProgress::Start() {
  drawer_ = std::this_thread::get_id();
  active_ = platform::StatusLineColumns() != 0;
  started_ = Clock::now();
  everDrawn_ = false;
  filesDone_ = 0;
  earlierBytes_ = 0;
  read_ = size_ = 0;
  receiving_ = false;
  name_.clear();
}

void CProgress::Stop() {
  if (active_ && everDrawn_) platform::EraseStatusLine();
  active_ = false;
}

void CProgress::BeginFile(std::u16string_view name, std::uint64_t size) {
  if (!active_) return;
  const std::lock_guard<std::mutex> locked(mutex_);
  if (!receiving_) earlierBytes_ += read_;
  receiving_ = false;
  name_ = Displayable(name);
  size_ = size;
  read_ = 0;
  DrawIfDue();
}

void CProgress::Advance(std::uint64_t bytes) {
  if (!active_) return;
  const std::lock_guard<std::mutex> locked(mutex_);
  read_ += bytes;
  DrawIfDue();
}

void CProgress::Receive(std::uint64_t bytes) {
  if (!active_) return;
  const std::lock_guard<std::mutex> locked(mutex_);
  receiving_ = true;
  read_ += bytes;
  DrawIfDue();
}

void CProgress::EndFile() {
  if (!active_) return;
  const std::lock_guard<std::mutex> locked(mutex_);
  ++filesDone_;
  DrawIfDue();
}

std::u16string CProgress::Line(Clock::time_point now, std::size_t columns) const {
  const std::uint64_t bytes = earlierBytes_ + read_;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const auto rate = static_cast<std::uint64_t>(seconds > 0 ? static_cast<double>(bytes) / seconds : 0);
  const bool inFile = size_ != 0;
  const auto percent = static_cast<std::int32_t>(inFile ? std::min<std::uint64_t>(read_ * 100 / size_, 100) : 0);
  auto compose = [&](std::u16string_view name) {
    return inFile ? Format(msg::kProgressInFile, filesDone_, FormatByteSize(bytes), FormatByteSize(rate), name, percent)
                  : Format(msg::kProgress, filesDone_, FormatByteSize(bytes), FormatByteSize(rate), name);
  };
  // One column short of the width: a line that fills it wraps on some terminals, and then the
  // carriage return no longer reaches its start.
  const std::size_t room = columns > 1 ? columns - 1 : 1;
  std::u16string line = compose(name_);
  if (line.size() <= room) return line;
  // The name gives way, from its start: its end tells files apart, and the figures stay.
  constexpr std::u16string_view kCut = u"...";
  const std::size_t figures = compose(u"").size();
  const std::size_t left = room > figures ? room - figures : 0;
  line = compose(left > kCut.size() ? std::u16string(kCut) + name_.substr(name_.size() - (left - kCut.size()))
                                    : std::u16string());
  if (line.size() > room) line.resize(room);
  return line;
}

void CProgress::Redraw() {
  if (!active_) return;
  const std::lock_guard<std::mutex> locked(mutex_);
  DrawIfDue();
}

void CProgress::DrawIfDue() {
  if (std::this_thread::get_id() != drawer_) return;
  const Clock::time_point now = Clock::now();
  if (now - started_ < kQuietStart || (everDrawn_ && now - drawn_ < kRedrawEvery)) return;
  const std::size_t columns = platform::StatusLineColumns();
  if (columns == 0) return;
  platform::ShowStatusLine(Line(now, columns));
  drawn_ = now;
  everDrawn_ = true;
}

CProgress& RunProgress() {
  static CProgress progress;
  return progress;
}

}  // namespace glyphshift
