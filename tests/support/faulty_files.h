// FaultyFiles: a platform::FileSystem double that forwards to the real implementation and fails
// chosen operations with a chosen error, for faults a test cannot provoke for real (a full disk,
// a failing rename or flush, an unreadable file on a machine where the tests run as root).
//
//   support::FaultyFiles files;              // installed until the end of the scope
//   files.FailWrite(ENOSPC, /*afterBytes=*/10);
//   EXPECT_EQ(ProcessFile(...), 1);
//
// A failed write lets `afterBytes` bytes through to the staged file first, as a full disk does;
// what the caller does about it (removing the staged file) is then the caller's real behaviour.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/files.h"

namespace glyphshift::support {

enum class FileOp {
  Read,             // OpenFile, OpenForReplacing, OpenNamedFile, ReadFile
  Write,            // WriteStaged
  Flush,            // FlushStaged, WaitForStaged
  FlushFileSystem,  // FlushFileSystem
  Commit,           // Commit (the rename of a staged file)
  CreateStaged,     // CreateStaged
  Delete,           // RemoveEntry, ReclaimTemporary
  Rename,           // RenameEntry
  CreateDirectory,  // CreateSubdirectory
  OpenDirectory,    // OpenDirectory, OpenSubdirectory, OpenNamedParent
  List,             // ListDirectory, ListTemporaryNames
  Count
};

class FaultyFiles final : public platform::FileSystem {
 public:
  FaultyFiles();   // installs itself with platform::SetFilesForTesting
  ~FaultyFiles();  // restores what was installed before
  FaultyFiles(const FaultyFiles&) = delete;
  FaultyFiles& operator=(const FaultyFiles&) = delete;

  // From the call after the next `afterCalls` successful ones on, every call of `op` fails with
  // `code`, reported as the failed call `opName` (nullptr: a typical name for the operation).
  void Fail(FileOp op, int code, int afterCalls = 0, const char* opName = nullptr);
  // Writes fail as a full disk does: `afterBytes` more bytes get out, then `code` ("write").
  void FailWrite(int code, std::uint64_t afterBytes = 0, int afterCalls = 0);
  void FailRead(int code, int afterCalls = 0) { Fail(FileOp::Read, code, afterCalls, "read"); }
  // Every file read ends at `size` bytes, as when another account cut the file to that size
  // after it was opened: nothing past it is read, and no window is mapped.
  void CutReadsAt(std::uint64_t size) { cutAt_ = size; }
  // Ends every fault; later calls forward again.
  void Heal();
  // Runs `action` after every read of a file (not after a mapping): to change a file while the
  // program reads it, at a known moment instead of a race.
  void AfterRead(std::function<void(const platform::CFile&)> action) { afterRead_ = std::move(action); }

  // Calls of `op` so far, failed ones included.
  int Calls(FileOp op) const { return slot(op).calls; }

  platform::SysError OpenNamedFile(const std::u16string& path, platform::CFile& file) override;
  platform::SysError OpenDirectory(const std::u16string& path, platform::CDirectory& directory) override;
  platform::SysError OpenSubdirectory(const platform::CDirectory& parent, const std::u16string& name,
                                      const platform::FileId* expected, platform::CDirectory& directory) override;
  platform::SysError CreateSubdirectory(const platform::CDirectory& parent, const std::u16string& name,
                                        std::uint32_t permissions) override;
  platform::SysError ListDirectory(const platform::CDirectory& directory,
                                   std::vector<platform::DirectoryEntry>& entries) override;
  platform::SysError ListTemporaryNames(const platform::CDirectory& directory,
                                        std::vector<std::u16string>& names) override;
  platform::SysError IsBelow(const platform::CDirectory& inner, const platform::FileId& outer, bool& below) override;
  platform::SysError Status(const platform::CDirectory& directory, const std::u16string& name,
                            platform::FileStatus& status) override;
  platform::SysError StatusOfOpen(const platform::CFile& file, platform::FileStatus& status) override;
  platform::SysError OpenFile(const platform::CDirectory& directory, const std::u16string& name,
                              platform::CFile& file) override;
  platform::SysError OpenForReplacing(const platform::CDirectory& directory, const std::u16string& name,
                                      platform::CFile& file) override;
  platform::SysError ReadFile(const platform::CFile& file, std::uint64_t offset, std::uint8_t* data, std::size_t size,
                              std::size_t& got) override;
  platform::SysError LockFile(const platform::CFile& file) override;
  platform::SysError OpenNamedParent(const std::u16string& path, bool followLinks, platform::CDirectory& directory,
                                     std::u16string& name) override;
  platform::SysError CreateStaged(const platform::CDirectory& directory, platform::CStagedFile& staged) override;
  platform::SysError WriteStaged(platform::CStagedFile& staged, std::span<const std::uint8_t> data) override;
  platform::SysError TruncateStaged(platform::CStagedFile& staged, std::uint64_t size) override;
  void StartFlushStaged(platform::CStagedFile& staged) override;
  platform::SysError CopyAttributes(platform::CStagedFile& staged, const platform::CFile& replaced) override;
  platform::SysError SetNewFilePermissions(platform::CStagedFile& staged, std::uint32_t permissions) override;
  platform::SysError FlushStaged(platform::CStagedFile& staged) override;
  platform::SysError WaitForStaged(platform::CStagedFile& staged) override;
  platform::SysError FlushFileSystem(const platform::CDirectory& directory) override;
  platform::SysError Commit(platform::CStagedFile& staged, const std::u16string& name,
                            platform::Replace replace) override;
  void Discard(platform::CStagedFile& staged) override;
  platform::SysError ReclaimTemporary(const platform::CDirectory& directory, const std::u16string& name,
                                      bool& removed) override;
  platform::SysError RenameEntry(const platform::CDirectory& directory, const std::u16string& from,
                                 const std::u16string& to, const platform::FileId* expected) override;
  platform::SysError RemoveEntry(const platform::CDirectory& directory, const std::u16string& name,
                                 const platform::FileId* expected) override;
  platform::EntryType GetEntryType(const std::u16string& path) override;
  std::u16string CurrentDirectory() override;

 private:
  struct Slot {
    int code = 0;  // 0: forward
    const char* opName = nullptr;
    int passCalls = 0;  // successful calls still allowed before the fault
    std::uint64_t afterBytes = 0;
    int calls = 0;
  };
  Slot& slot(FileOp op) { return slots_[static_cast<std::size_t>(op)]; }
  const Slot& slot(FileOp op) const { return slots_[static_cast<std::size_t>(op)]; }
  // Counts the call; the fault to report, or success when the call is to go through.
  platform::SysError Take(FileOp op);

  std::array<Slot, static_cast<std::size_t>(FileOp::Count)> slots_{};
  std::uint64_t cutAt_ = UINT64_MAX;
  platform::FileSystem* real_;
  platform::FileSystem* previous_;
  std::function<void(const platform::CFile&)> afterRead_;
};

}  // namespace glyphshift::support
