#pragma once
// The recorded fitter location between the settings file's bytes and the edit box's text,
// kept byte for byte.

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace app {

// The settings file's bytes as the edit box shows them: valid UTF-8 as its characters, any other
// byte (an ANSI character of a file written on Windows, say) as a stand-in that BytesOf turns
// back into that same byte.
QString TextOf(std::string_view bytes);
std::string BytesOf(const QString& text);
// The longest start of the bytes, at most `limit` of them, that ends on a whole character.
std::string_view CutWhole(std::string_view bytes, std::size_t limit);

}  // namespace app
