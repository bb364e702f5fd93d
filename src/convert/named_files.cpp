#include "convert/named_files.h"

namespace glyphshift {

CNamedSource::CNamedSource(const std::u16string& path) {
  platform::FileSystem& files = platform::Files();
  location.path = path;
  target.path = path;
  location.error = files.OpenNamedParent(path, false, directory, location.name);
  if (location.error) {
    target.error = source.error = location.error;
    return;
  }
  location.directory = &directory;
  target.error = files.OpenNamedParent(path, true, targetDirectory, target.name);
  if (target.error) {
    source.error = target.error;
    return;
  }
  target.directory = &targetDirectory;
  platform::FileStatus status;
  location.namedLink =
      !files.Status(directory, location.name, status) && status.type == platform::EntryType::SymbolicLink;
  source.error = files.OpenFile(targetDirectory, target.name, source.file);
}

void CDestinationPlace::LocateNamed(const std::u16string& path) {
  location = {};
  location.path = path;
  location.error = platform::Files().OpenNamedParent(path, true, directory, location.name);
  if (!location.error) location.directory = &directory;
}

void CDestinationPlace::LocateDerived(const std::u16string& directoryPath, const std::u16string& name,
                                      const std::u16string& path) {
  location = {};
  location.path = path;
  location.name = name;
  location.error = platform::Files().OpenDirectory(directoryPath, directory);
  if (!location.error) location.directory = &directory;
}

void CDestinationPlace::LocateSame(const CNamedSource& source) {
  location = {};
  location.path = source.target.path;
  location.name = source.target.name;
  location.error = source.target.error;
  if (!location.error) {
    location.error = platform::Files().OpenNamedParent(source.target.path, true, directory, location.name);
    if (!location.error) location.directory = &directory;
  }
}

}  // namespace glyphshift
