#include "platform/Fonts.h"

#include "platform/HandleTable.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

HandleTable<LOGFONTA>& Fonts() {
  static HandleTable<LOGFONTA> table;
  return table;
}

const LOGFONTA* Find(HFONT font) { return Fonts().Find(font); }

}  // namespace

QFont ToQFont(const LOGFONTA& d) {
  QFont font;
  std::size_t length = strnlen(d.lfFaceName, LF_FACESIZE);
  if (length) font.setFamily(QString::fromLocal8Bit(d.lfFaceName, static_cast<qsizetype>(length)));
  if (d.lfHeight < 0)
    font.setPixelSize(-d.lfHeight);
  else if (d.lfHeight > 0)
    font.setPixelSize(std::max<LONG>(1, d.lfHeight * 4 / 5));
  if (d.lfWeight > 0)
    font.setWeight(static_cast<QFont::Weight>(std::clamp<LONG>(d.lfWeight, 1, 1000)));
  font.setItalic(d.lfItalic != 0);
  font.setUnderline(d.lfUnderline != 0);
  font.setStrikeOut(d.lfStrikeOut != 0);
  return font;
}

LOGFONTA ToLogFont(const QFont& font) {
  LOGFONTA d{};
  int pixels =
      font.pixelSize() > 0 ? font.pixelSize() : static_cast<int>(font.pointSizeF() * 96 / 72 + 0.5);
  d.lfHeight = -pixels;
  d.lfWeight = font.weight();
  d.lfItalic = font.italic();
  d.lfUnderline = font.underline();
  d.lfStrikeOut = font.strikeOut();
  QByteArray face = font.family().toLocal8Bit();
  std::memcpy(d.lfFaceName, face.constData(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
  return d;
}

std::optional<QFont> FontOf(HFONT font) {
  const LOGFONTA* d = Find(font);
  if (!d) return std::nullopt;
  return ToQFont(*d);
}

}  // namespace platform

#ifndef _WIN32
int GetObjectA(HFONT h, int cbBuffer, LPVOID lpvObject) {
  const LOGFONTA* d = platform::Find(h);
  if (!d || cbBuffer <= 0 || !lpvObject) return 0;
  int n = std::min<int>(cbBuffer, sizeof(LOGFONTA));
  std::memcpy(lpvObject, d, static_cast<std::size_t>(n));
  return n;
}

HFONT CreateFontIndirectA(const LOGFONTA* lplf) {
  if (!lplf) return 0;
  LOGFONTA copy = *lplf;
  copy.lfFaceName[LF_FACESIZE - 1] = '\0';
  return platform::Fonts().Add(copy);
}

BOOL DeleteObject(HFONT ho) { return platform::Fonts().Remove(ho) ? TRUE : FALSE; }
#endif
