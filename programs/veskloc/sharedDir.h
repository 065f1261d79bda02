// The maker's shared directory, as the one line of
// "/etc/corvant/share/share.dir" names it. A file that is missing, cannot be
// read whole or names nothing gives the default "/usr/local/corvant/share";
// that is never an error to the caller.
#pragma once

#include <string>
#include <vector>

#include "qzerr/status.h"

namespace qzsysq {

// The shared directory; a failure (memory only) is thrown as qzerr::Exception.
std::string getQZSharedDir();

// The shared directory into `result`; nothing when `status` holds an error.
void readSharedDir(std::string& result, qzerr_Status* status);

// The whole file into `buffer`, followed by one NUL that its size counts.
// A file that cannot be opened gives -52006; one whose size cannot be told
// or that reads short, -52008; the detail names the file and errno.
void readWholeFile(const char* path, std::vector<char>& buffer, qzerr_Status* status);

// Drops blanks, NULs and slashes from the end and blanks from the start;
// the root "/" stays itself.
void trimPath(std::string& text);

}  // namespace qzsysq
