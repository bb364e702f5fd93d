// Sources and destinations a person named on the command line or in the dialog. Links there are
// followed, as the person meant them; a name the run derives is not.
#pragma once

#include <string>

#include "convert/process_file.h"
#include "platform/files.h"

namespace glyphshift {

// A source path as named: `location` is the named entry (what a move removes), `target` the
// file behind any links at the name (what in-place conversion replaces), `source` that file
// opened. Filled in place: the locations point at the directories.
struct CNamedSource {
  platform::CDirectory directory;
  platform::CDirectory targetDirectory;
  FileLocation location;
  FileLocation target;
  OpenedSource source;

  explicit CNamedSource(const std::u16string& path);
  CNamedSource(const CNamedSource&) = delete;
  CNamedSource& operator=(const CNamedSource&) = delete;
};

// A destination and the directory it is written in.
struct CDestinationPlace {
  platform::CDirectory directory;
  FileLocation location;

  CDestinationPlace() = default;
  CDestinationPlace(const CDestinationPlace&) = delete;
  CDestinationPlace& operator=(const CDestinationPlace&) = delete;

  // A destination path the person named: links at its name are followed.
  void LocateNamed(const std::u16string& path);
  // A name the run derived, in a directory the person named: a link at the name is replaced.
  // `path` is the joined path, for messages.
  void LocateDerived(const std::u16string& directoryPath, const std::u16string& name, const std::u16string& path);
  // The destination is the source itself (in place).
  void LocateSame(const CNamedSource& source);
};

}  // namespace glyphshift
