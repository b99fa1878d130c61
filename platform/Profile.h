#pragma once
// Helpers of the profile-file stand-in that tests and callers may use directly.

#include <string>

namespace platform {

// A path as the stand-ins open it: every backslash is a directory separator.
std::string NativePath(const char* path);

}  // namespace platform
