// The directories of a recursive run and a cache of their open handles.
//
// Each directory below the base is known by the names that lead to it and by the identity its
// parent's listing saw. It is reopened from an open ancestor one name at a time, without
// following a link and checking each identity, so a directory another user swaps for a link
// or for another directory while the run works is noticed instead of walked. A handful of
// directories stay open (the base always): the number of open descriptors stays bounded on a
// tree of any width and depth, while in a depth-first walk the parent of the next directory is
// almost always one of them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

namespace glyphshift {

struct CWalkNode {
  std::shared_ptr<const CWalkNode> parent;  // null for the base
  std::u16string name;                      // in the parent; empty for the base
  platform::FileId id;                      // as the parent's listing saw it
  std::uint32_t permissions = 0;            // of the directory, for its copy below an output folder
  std::u16string path;                      // for messages and naming

  CWalkNode() = default;
  CWalkNode(const CWalkNode&) = delete;
  CWalkNode& operator=(const CWalkNode&) = delete;
  // Releases a chain of parents iteratively: a tree thousands of levels deep must not need as
  // many nested destructor calls.
  ~CWalkNode();
};
using WalkNodePtr = std::shared_ptr<const CWalkNode>;

// An open directory, open as long as someone holds it: the cache, or a file of a batch that is
// still to be named in it.
using DirectoryPin = std::shared_ptr<const platform::CDirectory>;

class CDirectoryHandles {
 public:
  // Opens `node` in its parent's open directory.
  using Step = std::function<platform::SysError(const platform::CDirectory& parent, const CWalkNode& node,
                                                platform::CDirectory& opened)>;

  CDirectoryHandles(WalkNodePtr root, platform::CDirectory rootDirectory, Step step);

  // The open directory of `node`. On failure the error of the step that failed (the node's own
  // or an ancestor's).
  platform::SysError Open(const WalkNodePtr& node, DirectoryPin& directory);

  // Besides the root: enough for the parents along a depth-first walk.
  static constexpr std::size_t kOpenDirectories = 16;

 private:
  struct Entry {
    WalkNodePtr node;
    std::shared_ptr<platform::CDirectory> directory;
    std::uint64_t lastUse = 0;
  };
  Entry* Find(const CWalkNode* node);
  Entry& Keep(WalkNodePtr node, platform::CDirectory directory);

  Step step_;
  std::vector<std::unique_ptr<Entry>> entries_;  // [0] is the root, never evicted
  std::uint64_t clock_ = 0;
};

// Opens a directory below the base of a walk, as its parent listed it.
platform::SysError OpenListedSubdirectory(const platform::CDirectory& parent, const CWalkNode& node,
                                          platform::CDirectory& opened);

// Opens the copy of a walked directory below an output folder, creating it (with the walked
// directory's permission bits) when missing. Links are not followed there either: an output
// folder inside a tree others write must not lead the run elsewhere.
platform::SysError OpenOrCreateCopy(const platform::CDirectory& parent, const CWalkNode& node,
                                    platform::CDirectory& opened);

}  // namespace glyphshift
