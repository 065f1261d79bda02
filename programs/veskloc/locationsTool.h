// The veskloc command line: prints every install location as "key=path"
// lines, as a flat JSON object (--json) or one location's path alone
// (--location KEY, or KEY as a plain word). Results go to `out`; a failure's
// text goes to `err` and the answer is exit status 1.
#pragma once

#include <ostream>
#include <string>

#include "installLocations.h"

namespace veskloc {

int runLocationsTool(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

// The two listings of every location, each a whole text ending in a newline.
std::string locationLines(const Locations& locations);
std::string locationsJson(const Locations& locations);

}  // namespace veskloc
