#include "run/directory_handles.h"

namespace glyphshift {

CWalkNode::~CWalkNode() {
  // Detach the parent chain one link at a time: each released node then has no parent left to
  // release in its own destructor.
  std::shared_ptr<const CWalkNode> next = std::move(parent);
  while (next && next.use_count() == 1) {
    std::shared_ptr<const CWalkNode> after = std::move(const_cast<CWalkNode&>(*next).parent);
    next = std::move(after);
  }
}

CDirectoryHandles::CDirectoryHandles(WalkNodePtr root, platform::CDirectory rootDirectory, Step step)
    : step_(std::move(step)) {
  Keep(std::move(root), std::move(rootDirectory));
}

CDirectoryHandles::Entry* CDirectoryHandles::Find(const CWalkNode* node) {
  for (const auto& entry : entries_) {
    if (entry->node.get() == node) {
      entry->lastUse = ++clock_;
      return entry.get();
    }
  }
  return nullptr;
}

CDirectoryHandles::Entry& CDirectoryHandles::Keep(WalkNodePtr node, platform::CDirectory directory) {
  if (entries_.size() > kOpenDirectories) {
    std::size_t oldest = 1;
    for (std::size_t i = 2; i < entries_.size(); ++i) {
      if (entries_[i]->lastUse < entries_[oldest]->lastUse) oldest = i;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(oldest));
  }
  entries_.push_back(std::make_unique<Entry>(
      Entry{std::move(node), std::make_shared<platform::CDirectory>(std::move(directory)), ++clock_}));
  return *entries_.back();
}

platform::SysError CDirectoryHandles::Open(const WalkNodePtr& node, DirectoryPin& directory) {
  directory.reset();
  // Up to the nearest open ancestor (the root is always open), then down again step by step.
  std::vector<WalkNodePtr> down;
  Entry* from = nullptr;
  for (WalkNodePtr at = node; !(from = Find(at.get()));) {
    down.push_back(at);
    at = at->parent;
    if (!at) return {platform::kErrorNotFound, "open"};  // not a node of this walk
  }
  for (auto it = down.rbegin(); it != down.rend(); ++it) {
    platform::CDirectory opened;
    if (const platform::SysError error = step_(*from->directory, **it, opened)) return error;
    from = &Keep(*it, std::move(opened));
  }
  directory = from->directory;
  return {};
}

platform::SysError OpenListedSubdirectory(const platform::CDirectory& parent, const CWalkNode& node,
                                          platform::CDirectory& opened) {
  return platform::Files().OpenSubdirectory(parent, node.name, &node.id, opened);
}

platform::SysError OpenOrCreateCopy(const platform::CDirectory& parent, const CWalkNode& node,
                                    platform::CDirectory& opened) {
  platform::FileSystem& files = platform::Files();
  if (const platform::SysError error = files.CreateSubdirectory(parent, node.name, node.permissions & 0777u);
      error && error.code != platform::kErrorExists) {
    return error;
  }
  return files.OpenSubdirectory(parent, node.name, nullptr, opened);
}

}  // namespace glyphshift
