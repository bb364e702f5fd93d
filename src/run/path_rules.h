// Path text rules of the run (and the naming of destinations), on the platform's separators and roots
// (platform/path_names.h, platform/path_roots.h): '/' on POSIX, where '\' is an ordinary character; '\' and '/' on
// Windows, with drive and server roots. Pure text work: nothing here touches the file system.
#pragma once

#include <string>
#include <string_view>

#include "platform/path_names.h"

namespace glyphshift {

using platform::kPathSeparator;

// Resolves "." and ".." components and collapses repeated separators; the separators written
// are the platform's preferred one. A relative path stays relative ("../x" keeps its "..";
// resolving to nothing gives "."), the root keeps its separator and a trailing separator is kept.
std::u16string CanonicalizePath(std::u16string_view path);

// `directory` and `name` with exactly one separator between them, leading separators of `name`
// dropped, then canonicalised. An empty directory gives `name` alone.
std::u16string JoinPath(std::u16string_view directory, std::u16string_view name);

// `path`, one separator (unless it ends with one) and `name`, without canonicalising: for names
// from a listing, which hold no separator, "." or "..".
std::u16string JoinListedName(std::u16string_view path, std::u16string_view name);

// The last component: the text after the last separator (and after the root).
std::u16string_view FileNameOf(std::u16string_view path);

// The path without its last component and the separator before it; the root keeps its
// separator ("/a" gives "/", "C:\a" gives "C:\"), a bare name gives "".
std::u16string_view DirectoryOf(std::u16string_view path);

using platform::BaseNameOf;
using platform::ExtensionOf;

// The destination name of `sourceName` in another directory: base name, then "." and the
// destination set's name when `insertCharsetName`, then the extension.
std::u16string DestinationName(std::u16string_view sourceName, std::u16string_view charsetName, bool insertCharsetName);

// A path without a root part ("a/b", not "/a", "C:\a" or "C:a").
bool IsRelativePath(std::u16string_view path);

}  // namespace glyphshift
