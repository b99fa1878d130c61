#pragma once
// Font handles identify font descriptions (LOGFONTA); applying one turns it into a Qt font.

#include "platform/Windows.h"

#include <QFont>
#include <optional>

namespace platform {

// The Qt font of a description; a negative height is the character height in pixels,
// a positive one the cell height.
QFont ToQFont(const LOGFONTA& description);
// The description of a Qt font, as a host would hand it over.
LOGFONTA ToLogFont(const QFont& font);
// The Qt font of a handle, or nothing for 0 and unknown handles.
std::optional<QFont> FontOf(HFONT font);

}  // namespace platform
