// Files and directories, as run/, convert/ and security/ need them.
//
// A run works through descriptors, not path texts: a directory the person named is opened once,
// and everything below it is reached relative to an open directory without following a symbolic
// link, so nothing another user plants or swaps in the tree can lead the run outside it. Paths
// are UTF-16 text; the implementation converts them to native paths. Path texts still travel
// with every handle, for messages only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sys_error.h"

namespace glyphshift::platform {

enum class EntryType : std::uint8_t {
  Regular,       // a regular file
  Directory,     // a directory
  SymbolicLink,  // a link, never followed below a directory the person named
  Other,         // FIFO, socket, device
  Missing,       // nothing at that name
};

// Identity of a file (device and inode on POSIX): "same file" is decided by it, not by path text.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
};

struct FileIdHash {
  std::size_t operator()(const FileId& id) const noexcept {
    return static_cast<std::size_t>(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
  }
};

// Whole files read into memory (tables, filters) stay below this size.
inline constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull;

// An open descriptor (a HANDLE on Windows), closed when its owner goes. Closing reports nothing:
// whatever must be checked is checked before (a written file is flushed or renamed first).
class CHandle {
 public:
  using Native = std::intptr_t;
  static constexpr Native kInvalid = -1;

  CHandle() = default;
  explicit CHandle(Native native) : native_(native) {}
  ~CHandle() { Reset(); }
  CHandle(CHandle&& other) noexcept : native_(other.Release()) {}
  CHandle& operator=(CHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;

  Native Get() const { return native_; }
  bool IsValid() const { return native_ != kInvalid; }
  Native Release() {
    const Native native = native_;
    native_ = kInvalid;
    return native;
  }
  void Reset(Native native = kInvalid);

 private:
  Native native_ = kInvalid;
};

// What a file is, read without following a link at its name.
struct FileStatus {
  EntryType type = EntryType::Missing;
  FileId id;
  std::uint64_t size = 0;
  std::uint32_t permissions = 0;  // mode & 07777 on POSIX
  // When the content, and when the content or the attributes, last changed: in the platform's
  // own ticks, for telling whether a file changed since it was looked at.
  std::uint64_t modified = 0;
  std::uint64_t changed = 0;
  std::uint32_t owner = 0, group = 0;  // uid and gid on POSIX

  // The same file, of the same size and untouched since.
  bool Unchanged(const FileStatus& before) const {
    return id == before.id && size == before.size && modified == before.modified && changed == before.changed;
  }
};

// An open directory, and the path text it was reached by.
struct CDirectory {
  CHandle handle;
  std::u16string path;
  FileId id;
  std::uint32_t permissions = 0;
};

struct DirectoryEntry {
  std::u16string name;
  EntryType type;        // of the entry itself: a link is SymbolicLink
  EntryType targetType;  // what a link points to (Missing when dangling); for others, `type`
  FileId id;             // of the entry itself
};

// An open regular file.
struct CFile {
  CHandle handle;
  std::u16string path;
  FileStatus status;
  // The whole file, where HoldWhole took it in: ReadAt reads it from here.
  std::vector<std::uint8_t> held;
  bool heldWhole = false;
};

// An open file as the security operations see it: they change the file behind the handle,
// whatever name it has by then. The path is for messages and test doubles.
struct FileRef {
  CHandle::Native handle = CHandle::kInvalid;
  std::u16string_view path;
  // The file as it was opened, where the caller has that: not asked for again.
  const FileStatus* status = nullptr;
};

// A destination being written: a temporary file in the destination's directory, which takes
// the destination's name only when it is complete (Commit). A staged file that is never
// committed is removed, also when an interrupt ends the process (see
// RemoveStagedFilesOnInterrupt); one a kill leaves behind, a later run removes
// (ReclaimTemporary), as it is locked only while its run lives.
struct CStagedFile {
  CHandle handle;
  FileId id;
  const CDirectory* directory = nullptr;
  std::u16string temporaryName;
  std::u16string path;  // the destination's path, for messages
  std::uint64_t written = 0;
  std::uint32_t owner = 0, group = 0;  // as it was created: uid and gid on POSIX
  int slot = -1;                       // the interrupt clean-up's record of the temporary name

  CStagedFile() = default;
  CStagedFile(CStagedFile&&) = delete;
  ~CStagedFile();  // discards an uncommitted temporary file
};

// The name every temporary file of a conversion has: a later run never takes one for a source.
bool IsTemporaryName(std::u16string_view name);

// For a worker thread: interrupts are handled on the run's own thread, the one that gives staged
// files their names, so a name and the end of its clean-up record stay one step.
void BlockInterruptsOnThisThread();

// How many files the process may hold open at once: a batch of files waiting for their names
// stays well below it.
std::size_t OpenHandleLimit();
// Raises the limit toward `wanted` as far as the process may raise its own; returns the limit
// then in force.
std::size_t RaiseOpenHandleLimit(std::size_t wanted);

// What a run may do to an entry it has seen.
enum class Replace : std::uint8_t { Allowed, Never };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens a regular file the person named, links followed. Refuses a directory (EISDIR) and any
  // other non-regular file (EINVAL, without blocking on a FIFO).
  virtual SysError OpenNamedFile(const std::u16string& path, CFile& file) = 0;

  // ---- directories ----
  // Opens a directory the person named; links on the way are followed.
  virtual SysError OpenDirectory(const std::u16string& path, CDirectory& directory) = 0;
  // Opens `name` in `parent` without following a link. With `expected`, the directory found
  // must be that one; another one is kErrorReplaced. `directory.path` is the parent's joined
  // with the name.
  virtual SysError OpenSubdirectory(const CDirectory& parent, const std::u16string& name, const FileId* expected,
                                    CDirectory& directory) = 0;
  // Creates `name` in `parent` with the permission bits (less the umask); EEXIST when it is there.
  virtual SysError CreateSubdirectory(const CDirectory& parent, const std::u16string& name,
                                      std::uint32_t permissions) = 0;
  // A snapshot of the entries, without "." and "..", in the file system's order.
  virtual SysError ListDirectory(const CDirectory& directory, std::vector<DirectoryEntry>& entries) = 0;
  // The names in `directory` that are temporary names (IsTemporaryName), found without looking
  // at any entry: cheap also in a folder of many files.
  virtual SysError ListTemporaryNames(const CDirectory& directory, std::vector<std::u16string>& names) = 0;
  // Whether `outer` is an ancestor of `inner` (not `inner` itself), by walking up from `inner`.
  virtual SysError IsBelow(const CDirectory& inner, const FileId& outer, bool& below) = 0;

  // ---- files ----
  virtual SysError Status(const CDirectory& directory, const std::u16string& name, FileStatus& status) = 0;
  // The status of an open file, as it is now.
  virtual SysError StatusOfOpen(const CFile& file, FileStatus& status) = 0;
  // Opens a regular file for reading, without following a link (ELOOP). A directory is EISDIR,
  // anything else that is no regular file EINVAL; a FIFO never blocks.
  virtual SysError OpenFile(const CDirectory& directory, const std::u16string& name, CFile& file) = 0;
  // Opens a regular file that is about to be replaced, to read its attributes. A file the
  // process may not write is refused (EACCES) although replacing it needs only the directory:
  // a file its owner made read-only must not change behind the owner's back.
  virtual SysError OpenForReplacing(const CDirectory& directory, const std::u16string& name, CFile& file) = 0;
  // Reads up to `size` bytes at `offset`; fewer only at the end of the file.
  virtual SysError ReadFile(const CFile& file, std::uint64_t offset, std::uint8_t* data, std::size_t size,
                            std::size_t& got) = 0;
  // Takes the advisory lock runs take on a file they convert in place, held until the file is
  // closed: kErrorLocked when another run (or program) holds it. A file system without such
  // locks gives success, as nothing can be held there.
  virtual SysError LockFile(const CFile& file) = 0;
  // Opens the directory of a path the person named (links on the way followed) and gives the
  // path's last component. With `followLinks`, links at the name are followed too, to the
  // directory and name of what is no link (and may not exist yet): writing there replaces a
  // link's target and keeps the link. A path ending in a separator, "." or ".." is EISDIR.
  virtual SysError OpenNamedParent(const std::u16string& path, bool followLinks, CDirectory& directory,
                                   std::u16string& name) = 0;

  // ---- destinations ----
  // Creates a staged file in `directory`, readable by its owner alone until it is committed.
  virtual SysError CreateStaged(const CDirectory& directory, CStagedFile& staged) = 0;
  // Writes at the staged file's end (`written`), which TruncateStaged may move back.
  virtual SysError WriteStaged(CStagedFile& staged, std::span<const std::uint8_t> data) = 0;
  // Cuts the staged file back to `size` bytes; later writes go on from there.
  virtual SysError TruncateStaged(CStagedFile& staged, std::uint64_t size) = 0;
  // Gives the staged file what `replaced` has: owner, group, permission bits (not set-user-ID
  // or set-group-ID: new text gets no rights to run as anyone), access list and the other
  // extended attributes (not file capabilities). What the process may not set stays as created.
  virtual SysError CopyAttributes(CStagedFile& staged, const CFile& replaced) = 0;
  // Permission bits for a new file, less the process's umask.
  virtual SysError SetNewFilePermissions(CStagedFile& staged, std::uint32_t permissions) = 0;
  // Starts writing the content to the disk without waiting for it, so that the flushes of many
  // files overlap (advice: a failure shows when the flush is waited for).
  virtual void StartFlushStaged(CStagedFile& staged) = 0;
  // Makes the written content durable, on its own.
  virtual SysError FlushStaged(CStagedFile& staged) = 0;
  // For a batch: WaitForStaged for each file (its write errors are its own), then one
  // FlushFileSystem makes all of them durable at once, instead of one flush of the disk each.
  virtual SysError WaitForStaged(CStagedFile& staged) = 0;
  virtual SysError FlushFileSystem(const CDirectory& directory) = 0;
  // Gives the staged file its name in its directory: a link or file there is replaced (never
  // followed) when `replace` allows, else EEXIST. The handle stays open on the new file.
  virtual SysError Commit(CStagedFile& staged, const std::u16string& name, Replace replace) = 0;
  // Removes an uncommitted staged file.
  virtual void Discard(CStagedFile& staged) = 0;
  // Removes `name`, a temporary file of a conversion (IsTemporaryName), when the run that wrote
  // it is gone: every staged file is locked by its run for as long as the run holds it, and a
  // kill ends the lock too. One still locked, or that is no regular file of a single name, stays
  // (`removed` false). Anything else is EINVAL.
  virtual SysError ReclaimTemporary(const CDirectory& directory, const std::u16string& name, bool& removed) = 0;

  // Renames within one directory, never over an existing entry (EEXIST). With `expected`, the
  // entry must still be that file (kErrorReplaced otherwise).
  virtual SysError RenameEntry(const CDirectory& directory, const std::u16string& from, const std::u16string& to,
                               const FileId* expected) = 0;
  // Removes a file; with `expected`, only when the name still holds that file.
  virtual SysError RemoveEntry(const CDirectory& directory, const std::u16string& name, const FileId* expected) = 0;

  // ---- paths the person named ----
  // Follows symbolic links.
  virtual EntryType GetEntryType(const std::u16string& path) = 0;
  virtual std::u16string CurrentDirectory() = 0;
};

// The process-wide implementation (POSIX or Win32).
FileSystem& Files();

// Tests install a double of the interface; returns the previous one. Pass null to restore.
FileSystem* SetFilesForTesting(FileSystem* files);

// From now on SIGINT, SIGTERM and SIGHUP remove every staged file in progress, then end the
// process as the signal would have: a file being converted keeps its old content and no
// temporary is left behind.
void RemoveStagedFilesOnInterrupt();

// The permission bits a new file gets from `permissions` under the process's umask.
std::uint32_t NewFilePermissions(std::uint32_t permissions);

// Reads a small whole file the person named (a table, the dialog's filters), as OpenNamedFile
// opens it; a size of 4 GiB or more is refused (EFBIG).
SysError ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes);
// The same for an open file.
SysError ReadWholeFile(const CFile& file, std::vector<std::uint8_t>& bytes);

// Takes a file of at most `limit` bytes into memory, so that the readers that go over it in turn
// (detection, then the conversion) read it once between them: each read is a system call, and
// its end another. A larger file, one that grew, a failed read or no memory leave it as it was.
void HoldWhole(CFile& file, std::size_t limit);
void DropHeld(CFile& file);
// FileSystem::ReadFile, from memory where the file is held whole.
SysError ReadAt(const CFile& file, std::uint64_t offset, std::uint8_t* data, std::size_t size, std::size_t& got);

}  // namespace glyphshift::platform
