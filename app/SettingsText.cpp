#include "app/SettingsText.h"

#include <algorithm>

namespace app {

namespace {

// Bytes that are not UTF-8 show as lone low surrogates, U+DC80 to U+DCFF: no keyboard types them
// and no valid UTF-8 decodes to them, so they stand for their byte alone.
constexpr char16_t ByteStandIn = 0xDC00;

// The length of the valid UTF-8 character that starts the bytes; 0 when none does.
std::size_t CharacterLength(std::string_view bytes) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || bytes.size() < length) return 0;
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  static constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
  bool valid = code >= Least[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  return valid ? length : 0;
}

}  // namespace

QString TextOf(std::string_view bytes) {
  QString text;
  while (!bytes.empty()) {
    std::size_t length = CharacterLength(bytes);
    if (length == 0) {
      text += QChar(ByteStandIn + static_cast<unsigned char>(bytes.front()));
      length = 1;
    } else {
      text += QString::fromUtf8(bytes.data(), static_cast<qsizetype>(length));
    }
    bytes.remove_prefix(length);
  }
  return text;
}

std::string BytesOf(const QString& text) {
  std::string bytes;
  for (qsizetype i = 0; i < text.size(); ++i) {
    char16_t unit = text[i].unicode();
    bool pair = QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    if (!pair && unit >= ByteStandIn + 0x80 && unit <= ByteStandIn + 0xFF) {
      bytes += static_cast<char>(unit - ByteStandIn);
    } else {
      QByteArray character = QStringView(text).mid(i, pair ? 2 : 1).toUtf8();
      bytes.append(character.constData(), static_cast<std::size_t>(character.size()));
      if (pair) ++i;
    }
  }
  return bytes;
}

std::string_view CutWhole(std::string_view bytes, std::size_t limit) {
  std::size_t end = 0;
  while (end < bytes.size()) {
    std::size_t length = std::max<std::size_t>(CharacterLength(bytes.substr(end)), 1);
    if (end + length > limit) break;
    end += length;
  }
  return bytes.substr(0, end);
}

}  // namespace app
