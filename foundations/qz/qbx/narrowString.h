// The layer's narrow string: exception messages and the names handed to the
// operating system, in the locale's character set.
#pragma once

#include "qz/qbx/basicString.h"

namespace qz::qbx {

using NarrowString = BasicString<char>;

}  // namespace qz::qbx
