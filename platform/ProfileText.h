#pragma once
// The text of a profile (INI) file as Windows reads and edits it, without the file itself: what
// a read of a key finds, and the text after a write. The profile functions add the file I/O.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The key's value in the section, blanks around it and one pair of quotes removed; nothing when
// the section or the key is missing. Names match without regard to case and surrounding blanks;
// the first match wins.
std::optional<std::string> ProfileValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// Whether a write would change the file's structure: a line break anywhere, a "]" in the section
// name, an "=" in the key, or a key line that would read as a comment or a section line. The
// section must not be null.
bool ChangesStructure(const char* section, const char* key, const char* value);

// The text after setting the key in the section to the value, creating section and key as
// needed; a null value deletes the key, a null key the section. Every other line stays as it was,
// line endings included. Nothing when the write is refused: a name or value that would change
// the file's structure (above).
std::optional<std::string> EditProfile(std::string_view text, const char* section, const char* key,
                                       const char* value);

}  // namespace platform
