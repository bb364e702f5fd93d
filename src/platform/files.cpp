#include "platform/files.h"

#include "platform/native_side.h"

namespace glyphshift::platform {

namespace {
FileSystem* gInstalled = nullptr;
}  // namespace

FileSystem& Files() { return gInstalled ? *gInstalled : NativeFiles(); }

FileSystem* SetFilesForTesting(FileSystem* files) {
  FileSystem* previous = gInstalled;
  gInstalled = files;
  return previous;
}

}  // namespace glyphshift::platform
