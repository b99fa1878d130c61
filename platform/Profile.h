#pragma once
// Helpers of the profile-file stand-in that tests and callers may use directly.

#include <string>

namespace platform {

// A path as the stand-ins open it: every backslash is a directory separator, and a folder or
// file name that is missing as written is the entry whose name differs from it only in the case
// of the letters a to z (the first such entry in byte order). A name missing in every case, and
// the rest of the path after it, stay as written, so that a new file gets the name as written.
std::string NativePath(const char* path);

}  // namespace platform
