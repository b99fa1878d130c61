#include "platform/ProfileText.h"

#include "platform/AsciiText.h"

#include <cstring>
#include <vector>

namespace platform {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return SameText(TrimBlanks(a), TrimBlanks(b));
}

// One line of the file: its text and the line ending that followed it ("", "\n" or "\r\n").
struct Line {
  std::string text;
  std::string ending;
};

std::vector<Line> SplitLines(std::string_view data) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t nl = data.find('\n', start);
    if (nl == std::string_view::npos) {
      lines.push_back({std::string(data.substr(start)), ""});
      break;
    }
    bool crlf = nl > start && data[nl - 1] == '\r';
    std::size_t end = crlf ? nl - 1 : nl;
    lines.push_back({std::string(data.substr(start, end - start)), crlf ? "\r\n" : "\n"});
    start = nl + 1;
  }
  return lines;
}

std::string Join(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& l : lines) out += l.text + l.ending;
  return out;
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return line.substr(1, close - 1);
}

bool IsComment(std::string_view line) {
  line = TrimBlanks(line);
  return !line.empty() && line.front() == ';';
}

// Splits "key=value" into its trimmed parts; nothing for lines without "=".
std::optional<std::pair<std::string_view, std::string_view>> PairOf(std::string_view line) {
  if (IsComment(line)) return std::nullopt;
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return std::make_pair(TrimBlanks(line.substr(0, eq)), TrimBlanks(line.substr(eq + 1)));
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Index of the first "[section]" line, or lines.size().
std::size_t FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionOf(lines[i].text);
    if (name && SameName(*name, section)) return i;
  }
  return lines.size();
}

// One past the last line of the section that starts at index `header`.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header) {
  std::size_t i = header + 1;
  while (i < lines.size() && !SectionOf(lines[i].text)) ++i;
  return i;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, std::size_t header,
                                   std::string_view key) {
  std::size_t end = SectionEnd(lines, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    auto pair = PairOf(lines[i].text);
    if (pair && SameName(pair->first, key)) return i;
  }
  return std::nullopt;
}

bool HasLineBreak(const char* s) { return s && std::strpbrk(s, "\r\n") != nullptr; }

std::string NewFileLineEnding() {
#ifdef _WIN32
  return "\r\n";
#else
  return "\n";
#endif
}

// The line ending the file already uses, or the system's for a file without one.
std::string LineEndingOf(const std::vector<Line>& lines) {
  for (const Line& l : lines)
    if (!l.ending.empty()) return l.ending;
  return NewFileLineEnding();
}

}  // namespace

bool ChangesStructure(const char* section, const char* key, const char* value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return true;
  if (std::strchr(section, ']') || (key && std::strchr(key, '='))) return true;
  if (!key || !value) return false;
  std::string line = std::string(key) + "=" + value;
  return IsComment(line) || SectionOf(line);
}

std::optional<std::string> ProfileValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  std::vector<Line> lines = SplitLines(text);
  std::size_t header = FindSection(lines, section);
  if (header == lines.size()) return std::nullopt;
  auto index = FindKey(lines, header, key);
  if (!index) return std::nullopt;
  return std::string(Unquote(PairOf(lines[*index].text)->second));
}

std::optional<std::string> EditProfile(std::string_view text, const char* section, const char* key,
                                       const char* value) {
  if (!section || ChangesStructure(section, key, value)) return std::nullopt;
  std::vector<Line> lines = SplitLines(text);
  const std::string eol = LineEndingOf(lines);
  auto terminateLast = [&] {
    if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = eol;
  };
  auto at = [&](std::size_t i) { return lines.begin() + static_cast<std::ptrdiff_t>(i); };

  std::size_t header = FindSection(lines, section);
  if (!key) {  // delete the section
    if (header < lines.size()) lines.erase(at(header), at(SectionEnd(lines, header)));
  } else if (header == lines.size()) {
    if (!value) return std::string(text);  // nothing to delete
    terminateLast();
    lines.push_back({std::string("[") + section + "]", eol});
    lines.push_back({std::string(key) + "=" + value, eol});
  } else if (auto index = FindKey(lines, header, key); !value) {
    if (index) lines.erase(at(*index));
  } else if (index) {
    lines[*index].text = std::string(key) + "=" + value;
  } else {
    // After the section's last non-blank line, before blank lines that separate sections.
    std::size_t end = SectionEnd(lines, header);
    while (end > header + 1 && TrimBlanks(lines[end - 1].text).empty()) --end;
    if (end == lines.size()) terminateLast();
    if (lines[end - 1].ending.empty()) lines[end - 1].ending = eol;
    lines.insert(at(end), {std::string(key) + "=" + value, eol});
  }
  return Join(lines);
}

}  // namespace platform
