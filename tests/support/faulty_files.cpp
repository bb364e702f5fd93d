#include "support/faulty_files.h"

#include <algorithm>

namespace glyphshift::support {

namespace {

const char* TypicalName(FileOp op) {
  switch (op) {
    case FileOp::Read: return "read";
    case FileOp::Write: return "write";
    case FileOp::Flush: return "fsync";
    case FileOp::FlushFileSystem: return "syncfs";
    case FileOp::Commit:
    case FileOp::Rename: return "rename";
    case FileOp::CreateStaged: return "open";
    case FileOp::Delete: return "unlink";
    case FileOp::CreateDirectory: return "mkdir";
    case FileOp::OpenDirectory: return "open";
    case FileOp::List: return "opendir";
    case FileOp::Count: break;
  }
  return "?";
}

}  // namespace

FaultyFiles::FaultyFiles() {
  // Files() answers the installed double, if any; ours is installed only after we know the
  // implementation underneath, so a FaultyFiles may wrap another double.
  real_ = &platform::Files();
  previous_ = platform::SetFilesForTesting(this);
}

FaultyFiles::~FaultyFiles() { platform::SetFilesForTesting(previous_); }

void FaultyFiles::Fail(FileOp op, int code, int afterCalls, const char* opName) {
  Slot& s = slot(op);
  s.code = code;
  s.opName = opName ? opName : TypicalName(op);
  s.passCalls = afterCalls;
  s.afterBytes = 0;
}

void FaultyFiles::FailWrite(int code, std::uint64_t afterBytes, int afterCalls) {
  Fail(FileOp::Write, code, afterCalls, "write");
  slot(FileOp::Write).afterBytes = afterBytes;
}

void FaultyFiles::Heal() {
  for (Slot& s : slots_) s.code = 0;
  cutAt_ = UINT64_MAX;
}

platform::SysError FaultyFiles::Take(FileOp op) {
  Slot& s = slot(op);
  ++s.calls;
  if (s.code == 0) return {};
  if (s.passCalls > 0) {
    --s.passCalls;
    return {};
  }
  return {s.code, s.opName};
}

platform::SysError FaultyFiles::OpenNamedFile(const std::u16string& path, platform::CFile& file) {
  if (auto fault = Take(FileOp::Read)) return fault;
  return real_->OpenNamedFile(path, file);
}

platform::SysError FaultyFiles::OpenDirectory(const std::u16string& path, platform::CDirectory& directory) {
  if (auto fault = Take(FileOp::OpenDirectory)) return fault;
  return real_->OpenDirectory(path, directory);
}

platform::SysError FaultyFiles::OpenSubdirectory(const platform::CDirectory& parent, const std::u16string& name,
                                                 const platform::FileId* expected, platform::CDirectory& directory) {
  if (auto fault = Take(FileOp::OpenDirectory)) return fault;
  return real_->OpenSubdirectory(parent, name, expected, directory);
}

platform::SysError FaultyFiles::CreateSubdirectory(const platform::CDirectory& parent, const std::u16string& name,
                                                   std::uint32_t permissions) {
  if (auto fault = Take(FileOp::CreateDirectory)) return fault;
  return real_->CreateSubdirectory(parent, name, permissions);
}

platform::SysError FaultyFiles::ListDirectory(const platform::CDirectory& directory,
                                              std::vector<platform::DirectoryEntry>& entries) {
  if (auto fault = Take(FileOp::List)) {
    entries.clear();
    return fault;
  }
  return real_->ListDirectory(directory, entries);
}

platform::SysError FaultyFiles::ListTemporaryNames(const platform::CDirectory& directory,
                                                   std::vector<std::u16string>& names) {
  if (auto fault = Take(FileOp::List)) {
    names.clear();
    return fault;
  }
  return real_->ListTemporaryNames(directory, names);
}

platform::SysError FaultyFiles::IsBelow(const platform::CDirectory& inner, const platform::FileId& outer, bool& below) {
  return real_->IsBelow(inner, outer, below);
}

platform::SysError FaultyFiles::Status(const platform::CDirectory& directory, const std::u16string& name,
                                       platform::FileStatus& status) {
  return real_->Status(directory, name, status);
}

platform::SysError FaultyFiles::StatusOfOpen(const platform::CFile& file, platform::FileStatus& status) {
  return real_->StatusOfOpen(file, status);
}

platform::SysError FaultyFiles::OpenFile(const platform::CDirectory& directory, const std::u16string& name,
                                         platform::CFile& file) {
  if (auto fault = Take(FileOp::Read)) return fault;
  return real_->OpenFile(directory, name, file);
}

platform::SysError FaultyFiles::OpenForReplacing(const platform::CDirectory& directory, const std::u16string& name,
                                                 platform::CFile& file) {
  if (auto fault = Take(FileOp::Read)) return fault;
  return real_->OpenForReplacing(directory, name, file);
}

platform::SysError FaultyFiles::ReadFile(const platform::CFile& file, std::uint64_t offset, std::uint8_t* data,
                                         std::size_t size, std::size_t& got) {
  if (auto fault = Take(FileOp::Read)) {
    got = 0;
    return fault;
  }
  got = 0;
  platform::SysError error;
  if (offset < cutAt_) {
    error = real_->ReadFile(file, offset, data,
                            static_cast<std::size_t>(std::min<std::uint64_t>(size, cutAt_ - offset)), got);
  }
  if (afterRead_) afterRead_(file);
  return error;
}

platform::SysError FaultyFiles::LockFile(const platform::CFile& file) { return real_->LockFile(file); }

platform::SysError FaultyFiles::OpenNamedParent(const std::u16string& path, bool followLinks,
                                                platform::CDirectory& directory, std::u16string& name) {
  if (auto fault = Take(FileOp::OpenDirectory)) return fault;
  return real_->OpenNamedParent(path, followLinks, directory, name);
}

platform::SysError FaultyFiles::CreateStaged(const platform::CDirectory& directory, platform::CStagedFile& staged) {
  if (auto fault = Take(FileOp::CreateStaged)) return fault;
  return real_->CreateStaged(directory, staged);
}

platform::SysError FaultyFiles::WriteStaged(platform::CStagedFile& staged, std::span<const std::uint8_t> data) {
  Slot& s = slot(FileOp::Write);
  if (auto fault = Take(FileOp::Write)) {
    const auto through = static_cast<std::size_t>(std::min<std::uint64_t>(s.afterBytes, data.size()));
    s.afterBytes -= through;
    if (auto error = real_->WriteStaged(staged, data.first(through))) return error;
    if (through < data.size()) return fault;
    return {};
  }
  return real_->WriteStaged(staged, data);
}

platform::SysError FaultyFiles::TruncateStaged(platform::CStagedFile& staged, std::uint64_t size) {
  return real_->TruncateStaged(staged, size);
}

void FaultyFiles::StartFlushStaged(platform::CStagedFile& staged) { real_->StartFlushStaged(staged); }

platform::SysError FaultyFiles::CopyAttributes(platform::CStagedFile& staged, const platform::CFile& replaced) {
  return real_->CopyAttributes(staged, replaced);
}

platform::SysError FaultyFiles::SetNewFilePermissions(platform::CStagedFile& staged, std::uint32_t permissions) {
  return real_->SetNewFilePermissions(staged, permissions);
}

platform::SysError FaultyFiles::FlushStaged(platform::CStagedFile& staged) {
  if (auto fault = Take(FileOp::Flush)) return fault;
  return real_->FlushStaged(staged);
}

platform::SysError FaultyFiles::WaitForStaged(platform::CStagedFile& staged) {
  if (auto fault = Take(FileOp::Flush)) return fault;
  return real_->WaitForStaged(staged);
}

platform::SysError FaultyFiles::FlushFileSystem(const platform::CDirectory& directory) {
  if (auto fault = Take(FileOp::FlushFileSystem)) return fault;
  return real_->FlushFileSystem(directory);
}

platform::SysError FaultyFiles::Commit(platform::CStagedFile& staged, const std::u16string& name,
                                       platform::Replace replace) {
  if (auto fault = Take(FileOp::Commit)) return fault;
  return real_->Commit(staged, name, replace);
}

void FaultyFiles::Discard(platform::CStagedFile& staged) { real_->Discard(staged); }

platform::SysError FaultyFiles::ReclaimTemporary(const platform::CDirectory& directory, const std::u16string& name,
                                                 bool& removed) {
  removed = false;
  if (auto fault = Take(FileOp::Delete)) return fault;
  return real_->ReclaimTemporary(directory, name, removed);
}

platform::SysError FaultyFiles::RenameEntry(const platform::CDirectory& directory, const std::u16string& from,
                                            const std::u16string& to, const platform::FileId* expected) {
  if (auto fault = Take(FileOp::Rename)) return fault;
  return real_->RenameEntry(directory, from, to, expected);
}

platform::SysError FaultyFiles::RemoveEntry(const platform::CDirectory& directory, const std::u16string& name,
                                            const platform::FileId* expected) {
  if (auto fault = Take(FileOp::Delete)) return fault;
  return real_->RemoveEntry(directory, name, expected);
}

platform::EntryType FaultyFiles::GetEntryType(const std::u16string& path) { return real_->GetEntryType(path); }

std::u16string FaultyFiles::CurrentDirectory() { return real_->CurrentDirectory(); }

}  // namespace glyphshift::support
