// The steps both flows take for one file: naming the destination, detection, ProcessFile,
// the result line and the counts.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_options.h"
#include "convert/process_file.h"
#include "messages/print_message.h"
#include "run/enumeration.h"

namespace glyphshift {

// The destination name of `sourceName` in another directory: base name, then "." and the
// destination set's name when `insertCharsetName`, then the extension.
std::u16string DestinationName(std::u16string_view sourceName, std::u16string_view charsetName, bool insertCharsetName);

// The run's own log file, if it has one: no file of the run is converted into or out of it.
std::optional<platform::FileId> RunLogFileId();

// Counts a converted file and prints its "Success" line.
void PrintSuccess(RunSummary& summary, std::uint64_t sourceSize, std::uint64_t destinationSize,
                  std::u16string_view displayName);

// Counts a file that was not converted and prints its "Error" line.
void CountFailure(RunSummary& summary, std::int32_t result, std::u16string_view displayName);

// One file of a run between its conversion and its result line.
struct CFileRun {
  std::int32_t result = kProcessOk;  // of the conversion so far; a failure was reported already
  CConvertedFile converted;
  std::u16string displayName;
  std::uint64_t sourceSize = 0;
  // Called once the file has its name (with it) or could not get it (with null).
  std::function<void(WrittenFile*)> done;
};

// Detects the source set when asked to and converts the opened source into a staged file for
// `destination`; a destination that is the run's log is refused. A failure is reported, and
// kept in the result for FinishFile to count.
std::unique_ptr<CFileRun> StartFile(ConversionOptions& options, OpenedSource& source,
                                    const FileLocation& sourceLocation, const FileLocation& destination,
                                    std::u16string_view displayName);

// A file refused before its conversion (its reason already printed), to be counted in turn.
std::unique_ptr<CFileRun> RefusedFile(std::int32_t result, std::u16string_view displayName);

// Gives a converted file its name (see CompleteConversion) and prints its result line, or
// counts a failed one; then calls its `done`. Returns whether it succeeded.
bool FinishFile(const ConversionOptions& options, CFileRun& file, RunSummary& summary);

// Both for one file; `written` (may be null) receives the destination after success.
bool ConvertFile(ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                 const FileLocation& destination, std::u16string_view displayName, RunSummary& summary,
                 WrittenFile* written);

// The files of one directory waiting for their names (and those that failed, to be counted in
// turn), so that the flushes replacements need are made together: each file's write-back starts as soon as it is
// complete, the batch waits for all of them once, then renames them in order. Every line printed meanwhile is held
// back, so the lines come out in the order of the files, as they would one file at a time; a
// file whose flush failed fails alone, its old content kept.
class CCommitBatch {
 public:
  // A batch stays below these, so the dirty data and the open files stay bounded.
  static constexpr std::size_t kMaxFiles = 128;
  static constexpr std::uint64_t kMaxBytes = 64ull << 20;

  CCommitBatch(const ConversionOptions& options, RunSummary& summary) : options_(options), summary_(summary) {}
  ~CCommitBatch() { Complete(); }
  CCommitBatch(const CCommitBatch&) = delete;
  CCommitBatch& operator=(const CCommitBatch&) = delete;

  void Add(std::unique_ptr<CFileRun> file);
  // A file of the batch has this name as its source or destination.
  bool Holds(std::u16string_view name) const;
  void Complete();

 private:
  struct Pending {
    std::unique_ptr<CFileRun> file;
    std::size_t heldMark;  // the lines printed before it was added
  };
  const ConversionOptions& options_;
  RunSummary& summary_;
  std::vector<Pending> pending_;
  std::unique_ptr<CHeldMessages> held_;
  std::uint64_t bytes_ = 0;
};

}  // namespace glyphshift
