// The files of one directory waiting for their names (and those that failed, to be counted in
// turn), so that the flushes replacements need are made together: each file's write-back starts
// as soon as it is complete, the batch waits for all of them once, then renames them in order.
// Every line printed meanwhile is held back, so the lines come out in the order of the files, as
// they would one file at a time; a file whose flush failed fails alone, its old content kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "messages/print_message.h"
#include "run/file_steps.h"

namespace glyphshift {

class CCommitBatch {
 public:
  // A batch stays below these, so the dirty data and the open files stay bounded.
  static constexpr std::size_t kMaxFiles = 128;
  static constexpr std::uint64_t kMaxBytes = 64ull << 20;

  explicit CCommitBatch(CRun& run) : run_(run) {}
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
  CRun& run_;
  std::vector<Pending> pending_;
  std::unique_ptr<CHeldMessages> held_;
  std::uint64_t bytes_ = 0;
};

}  // namespace glyphshift
