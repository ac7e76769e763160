#include "doctext/font_encodings.h"

#include <vector>

namespace zova::doctext {
namespace {

// Encodings whose codes every reader maps to the same characters.
constexpr std::string_view kStandardEncodings[] = {"Standard", "WinAnsi", "MacRoman"};

}  // namespace

std::string_view BaseFontName(std::string_view name) {
  if (name.size() > 7 && name[6] == '+') {
    bool tag = true;
    for (size_t i = 0; i < 6; ++i) tag = tag && name[i] >= 'A' && name[i] <= 'Z';
    if (tag) name.remove_prefix(7);
  }
  return name;
}

FontEncodings FontEncodings::Parse(std::string_view listing) {
  FontEncodings fonts;
  bool table = false;
  while (!listing.empty()) {
    const size_t nl = listing.find('\n');
    const std::string_view line = listing.substr(0, nl);
    listing = nl == std::string_view::npos ? std::string_view() : listing.substr(nl + 1);
    if (!table) {
      table = line.substr(0, 3) == "---";
      continue;
    }
    // name type encoding emb sub uni num gen: the type may hold blanks, so
    // the fields after it are counted from the right.
    std::vector<std::string_view> fields;
    for (size_t at = line.find_first_not_of(' '); at != std::string_view::npos;) {
      const size_t end = line.find(' ', at);
      fields.push_back(line.substr(at, end - at));
      at = end == std::string_view::npos ? end : line.find_first_not_of(' ', end);
    }
    if (fields.size() < 8) continue;
    const size_t n = fields.size();
    const std::string_view encoding = fields[n - 6];
    bool reliable = fields[n - 3] == "yes";
    for (std::string_view standard : kStandardEncodings)
      reliable = reliable || encoding == standard;
    const auto [it, added] =
        fonts.reliable_.emplace(std::string(BaseFontName(fields[0])), reliable);
    if (!added) it->second = it->second && reliable;
  }
  return fonts;
}

bool FontEncodings::Reliable(std::string_view font) const {
  font = BaseFontName(font);
  auto it = reliable_.find(font);
  // Ghostscript names a composite font after its font and CMap.
  for (std::string_view cmap : {"-Identity-H", "-Identity-V"}) {
    if (it == reliable_.end() && font.ends_with(cmap)) {
      it = reliable_.find(font.substr(0, font.size() - cmap.size()));
    }
  }
  return it != reliable_.end() && it->second;
}

}  // namespace zova::doctext
