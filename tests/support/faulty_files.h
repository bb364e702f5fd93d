// FaultyFiles: a platform::FileSystem double that forwards to the real implementation and fails
// chosen operations with a chosen error, for faults a test cannot provoke for real (a full disk,
// a failing rename, an unreadable file on a machine where the tests run as root).
//
//   support::FaultyFiles files;              // installed until the end of the scope
//   files.FailWrite(ENOSPC, /*afterBytes=*/10);
//   EXPECT_EQ(ProcessFile(...), 1);
//
// A failed WriteWholeFile behaves as the real one promises: the disk is left as it was (an
// existing file keeps its content, a new one is not created) and `written` reports the bytes
// that got out before the fault.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/files.h"

namespace glyphshift::support {

enum class FileOp { Read, Write, Delete, Move, CreateDirectory, List, GetFileId, Count };

class FaultyFiles final : public platform::FileSystem {
 public:
  FaultyFiles();   // installs itself with platform::SetFilesForTesting
  ~FaultyFiles();  // restores what was installed before
  FaultyFiles(const FaultyFiles&) = delete;
  FaultyFiles& operator=(const FaultyFiles&) = delete;

  // From the call after the next `afterCalls` successful ones on, every call of `op` fails with
  // `code`, reported as the failed call `opName` (nullptr: a typical name for the operation).
  void Fail(FileOp op, int code, int afterCalls = 0, const char* opName = nullptr);
  // WriteWholeFile fails as a full disk does: `afterBytes` bytes get out, then `code` ("write").
  void FailWrite(int code, std::uint64_t afterBytes = 0, int afterCalls = 0);
  // WriteWholeFile writes everything and fails at the final rename ("rename"), the old file kept.
  void FailRename(int code, int afterCalls = 0);
  void FailRead(int code, int afterCalls = 0) { Fail(FileOp::Read, code, afterCalls, "read"); }
  // Ends every fault; later calls forward again.
  void Heal();

  // Calls of `op` so far, failed ones included.
  int Calls(FileOp op) const { return slot(op).calls; }
  // What the last WriteWholeFile call asked for a new file.
  bool LastFlushNewFile() const { return lastFlushNewFile_; }

  platform::SysError ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) override;
  platform::SysError ReadWholeFile(const std::u16string& path, platform::FileContent& content) override;
  // A read fault fails the opening (counted as a Read call).
  platform::SysError OpenForReading(const std::u16string& path, std::unique_ptr<platform::CFileReader>& reader,
                                    std::uint64_t& size) override;
  platform::SysError WriteWholeFile(const std::u16string& path, std::span<const std::span<const std::uint8_t>> pieces,
                                    bool flushNewFile, std::uint64_t& written) override;
  platform::SysError DeleteFile(const std::u16string& path) override;
  platform::SysError MoveFile(const std::u16string& from, const std::u16string& to) override;
  platform::SysError CreateDirectory(const std::u16string& path) override;
  platform::SysError ListDirectory(const std::u16string& path, std::vector<platform::DirectoryEntry>& entries) override;
  platform::EntryType GetEntryType(const std::u16string& path) override;
  platform::SysError GetFileId(const std::u16string& path, platform::FileId& id) override;
  std::u16string CurrentDirectory() override;

 private:
  struct Slot {
    int code = 0;  // 0: forward
    const char* opName = nullptr;
    int passCalls = 0;  // successful calls still allowed before the fault
    std::uint64_t afterBytes = 0;
    bool atRename = false;
    int calls = 0;
  };
  Slot& slot(FileOp op) { return slots_[static_cast<std::size_t>(op)]; }
  const Slot& slot(FileOp op) const { return slots_[static_cast<std::size_t>(op)]; }
  // Counts the call; the fault to report, or success when the call is to go through.
  platform::SysError Take(FileOp op);

  std::array<Slot, static_cast<std::size_t>(FileOp::Count)> slots_{};
  bool lastFlushNewFile_ = false;
  platform::FileSystem* real_;
  platform::FileSystem* previous_;
};

}  // namespace glyphshift::support
