// Path components on wide strings with '/' as the separator, as the shared
// library names are built from them. Nothing here touches the file system.
#pragma once

#include "qz/qbx/wideString.h"

namespace qz::qbx {

// The text after the last '/'; the whole path when it holds none.
WideString getFileName(const WideString& path);

// The path without its last component and the run of '/' before it; a path
// of only '/' characters (or the empty path) is returned whole, and a single
// component after the leading '/' characters gives just those.
WideString getParentPath(const WideString& path);

// `name` when it is absolute or the directory is empty; otherwise the two
// joined by exactly the '/' the directory does not already end with.
WideString joinPath(const WideString& directory, const WideString& name);

}  // namespace qz::qbx
