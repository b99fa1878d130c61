// Looks names up in parameter strings and compares every answer with a plain reading of the
// format: pairs split at "|", the name before the first "=" (its first 255 characters), the
// value after it without any further "=", the first pair of a name winning.
//
// Input: one byte of flags, the name up to the first newline, then the parameter string. A flag
// byte "L" repeats the string past 64,000 characters, to reach the length limit (seldom, as
// such a run is slow).

#include "FuzzCheck.h"
#include "suite/Rt_Param.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string UpperTrimmed(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return fuzz::Trimmed(upper);
}

struct Pair {
  std::string name;   // upper-cased and trimmed
  std::string value;  // as it stood, without "="
};

// The pairs of a parameter string that has a name and an "=".
std::vector<Pair> ReferencePairs(std::string_view params) {
  params = params.substr(0, std::min(params.find('\0'), suite::MaxParameterStringLength));
  std::vector<Pair> pairs;
  while (!params.empty()) {
    std::size_t bar = std::min(params.find('|'), params.size());
    std::string_view pair = params.substr(0, bar);
    std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos) {
      std::string name = UpperTrimmed(pair.substr(0, std::min<std::size_t>(equals, 255)));
      if (!name.empty()) {
        std::string value;
        for (char c : pair.substr(equals + 1))
          if (c != '=') value += c;
        pairs.push_back({std::move(name), std::move(value)});
      }
    }
    params.remove_prefix(std::min(bar + 1, params.size()));
  }
  return pairs;
}

void Compare(const std::string& params, const std::vector<Pair>& pairs, std::string_view key) {
  rtl::ShortString value("not emptied");
  bool found = suite::GetParameterValue(params.c_str(), rtl::ShortString(key), value);
  const std::string wanted = UpperTrimmed(key.substr(0, 255));
  auto match =
      std::find_if(pairs.begin(), pairs.end(), [&](const Pair& p) { return p.name == wanted; });
  fuzz::Check(found == (match != pairs.end()), "found", key);
  std::string expected = found ? fuzz::Trimmed(match->value.substr(0, 255)) : std::string();
  fuzz::Check(value.view() == expected, "value", value.view());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool repeat = data[0] == 'L';
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t newline = rest.find('\n');
  std::string_view key =
      newline == std::string_view::npos ? std::string_view() : rest.substr(0, newline);
  std::string params(newline == std::string_view::npos ? rest : rest.substr(newline + 1));
  if (repeat && !params.empty()) {
    std::string once = params;
    while (params.size() <= suite::ParameterStringSize) params += once;
  }

  const std::vector<Pair> pairs = ReferencePairs(params);
  Compare(params, pairs, key);
  // A second name in the same string comes from the cached list.
  Compare(params, pairs,
          std::string_view(params).substr(0, std::min<std::size_t>(params.size(), 4)));
  Compare(params, pairs, key);
  fuzz::Check(std::strlen(suite::LastParameterString.get()) <= suite::MaxParameterStringLength,
              "cached copy within its buffer");
  return 0;
}
