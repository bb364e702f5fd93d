// Path text rules of the run, on '/': '\' is an ordinary character and there is no drive or
// server part. Pure text work: nothing here touches the file system.
#pragma once

#include <string>
#include <string_view>

#include "platform/path_names.h"

namespace glyphshift {

using platform::kPathSeparator;

// Resolves "." and ".." components and collapses repeated separators. A relative path stays
// relative ("../x" keeps its ".."; resolving to nothing gives "."), the root keeps its slash
// and a trailing separator is kept.
std::u16string CanonicalizePath(std::u16string_view path);

// `directory` and `name` with exactly one separator between them, leading separators of `name`
// dropped, then canonicalised. An empty directory gives `name` alone.
std::u16string JoinPath(std::u16string_view directory, std::u16string_view name);

// The last component: the text after the last separator.
std::u16string_view FileNameOf(std::u16string_view path);

// The path without its last component and the separator before it; the root keeps its slash
// ("/a" gives "/"), a bare name gives "".
std::u16string_view DirectoryOf(std::u16string_view path);

using platform::BaseNameOf;
using platform::ExtensionOf;

bool IsRelativePath(std::u16string_view path);

}  // namespace glyphshift
