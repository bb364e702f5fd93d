#include "support/faulty_files.h"

#include <algorithm>

namespace glyphshift::support {

namespace {

const char* TypicalName(FileOp op) {
  switch (op) {
    case FileOp::Read: return "read";
    case FileOp::Write: return "write";
    case FileOp::Delete: return "unlink";
    case FileOp::Move: return "rename";
    case FileOp::CreateDirectory: return "mkdir";
    case FileOp::List: return "opendir";
    case FileOp::GetFileId: return "stat";
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
  s.atRename = false;
}

void FaultyFiles::FailWrite(int code, std::uint64_t afterBytes, int afterCalls) {
  Fail(FileOp::Write, code, afterCalls, "write");
  slot(FileOp::Write).afterBytes = afterBytes;
}

void FaultyFiles::FailRename(int code, int afterCalls) {
  Fail(FileOp::Write, code, afterCalls, "rename");
  slot(FileOp::Write).atRename = true;
}

void FaultyFiles::Heal() {
  for (Slot& s : slots_) s.code = 0;
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

platform::SysError FaultyFiles::ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
  if (auto fault = Take(FileOp::Read)) {
    bytes.clear();
    return fault;
  }
  return real_->ReadWholeFile(path, bytes);
}

platform::SysError FaultyFiles::ReadWholeFile(const std::u16string& path, platform::FileContent& content) {
  if (auto fault = Take(FileOp::Read)) {
    content = {};
    return fault;
  }
  return real_->ReadWholeFile(path, content);
}

platform::SysError FaultyFiles::OpenForReading(const std::u16string& path,
                                               std::unique_ptr<platform::CFileReader>& reader, std::uint64_t& size) {
  if (auto fault = Take(FileOp::Read)) {
    reader.reset();
    size = 0;
    return fault;
  }
  return real_->OpenForReading(path, reader, size);
}

platform::SysError FaultyFiles::WriteWholeFile(const std::u16string& path,
                                               std::span<const std::span<const std::uint8_t>> pieces,
                                               bool flushNewFile, std::uint64_t& written) {
  lastFlushNewFile_ = flushNewFile;
  const bool atRename = slot(FileOp::Write).atRename;
  const std::uint64_t afterBytes = slot(FileOp::Write).afterBytes;
  if (auto fault = Take(FileOp::Write)) {
    std::uint64_t total = 0;
    for (const auto& piece : pieces) total += piece.size();
    // The real implementation removes what it created, so the disk shows nothing of the attempt.
    written = atRename ? total : std::min(total, afterBytes);
    return fault;
  }
  return real_->WriteWholeFile(path, pieces, flushNewFile, written);
}

platform::SysError FaultyFiles::DeleteFile(const std::u16string& path) {
  if (auto fault = Take(FileOp::Delete)) return fault;
  return real_->DeleteFile(path);
}

platform::SysError FaultyFiles::MoveFile(const std::u16string& from, const std::u16string& to) {
  if (auto fault = Take(FileOp::Move)) return fault;
  return real_->MoveFile(from, to);
}

platform::SysError FaultyFiles::CreateDirectory(const std::u16string& path) {
  if (auto fault = Take(FileOp::CreateDirectory)) return fault;
  return real_->CreateDirectory(path);
}

platform::SysError FaultyFiles::ListDirectory(const std::u16string& path, std::vector<platform::DirectoryEntry>& entries) {
  if (auto fault = Take(FileOp::List)) {
    entries.clear();
    return fault;
  }
  return real_->ListDirectory(path, entries);
}

platform::EntryType FaultyFiles::GetEntryType(const std::u16string& path) { return real_->GetEntryType(path); }

platform::SysError FaultyFiles::GetFileId(const std::u16string& path, platform::FileId& id) {
  if (auto fault = Take(FileOp::GetFileId)) return fault;
  return real_->GetFileId(path, id);
}

std::u16string FaultyFiles::CurrentDirectory() { return real_->CurrentDirectory(); }

}  // namespace glyphshift::support
