// The progress line of a run on a terminal: files done, bytes, rate, the current file and, in a
// large file, how far into it the run is. It is shown only where a person watches (standard
// error on a terminal, no /silent, no log) and only once a run has lasted a second, redrawn in
// place, erased before any other text and at the end, so it never lands in a log, a pipe or a
// file.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace glyphshift {

class CProgress {
 public:
  using Clock = std::chrono::steady_clock;

  // From now on, when standard error was started on a terminal. The caller knows that the run
  // shows its messages (no /silent, no log, no dialog).
  void Start();
  // Erases the line; nothing more is drawn.
  void Stop();
  // A file begins: its name and its size (0 when unknown, as while standard input is read).
  // The file before it has been read by then, though a batch may finish it later.
  void BeginFile(std::u16string_view name, std::uint64_t size);
  // `bytes` more of the current file were read.
  void Advance(std::uint64_t bytes);
  // `bytes` more of standard input arrived, to be converted once all is there: shown, but not
  // counted again when the conversion reads them (it begins the file anew).
  void Receive(std::uint64_t bytes);
  // A file is done, converted or not.
  void EndFile();
  // Draws the line when it is due: the thread that started the progress calls it while it waits
  // for workers, which count but never draw (only one thread writes to the terminal).
  void Redraw();

  // The line for the state so far, fitted into `columns` (the name shortened from its start).
  std::u16string Line(Clock::time_point now, std::size_t columns) const;

 private:
  void DrawIfDue();

  std::atomic<bool> active_ = false;
  std::mutex mutex_;  // workers report their files' progress at once
  std::thread::id drawer_;
  Clock::time_point started_;
  Clock::time_point drawn_;
  bool everDrawn_ = false;
  std::int32_t filesDone_ = 0;
  std::uint64_t earlierBytes_ = 0;  // of the files begun before the current one
  std::u16string name_;
  std::uint64_t size_ = 0;
  std::uint64_t read_ = 0;  // of the current file
  bool receiving_ = false;  // `read_` counts standard input arriving, not yet converted
};

// The run's one progress line (the process has one standard error).
CProgress& RunProgress();

}  // namespace glyphshift
