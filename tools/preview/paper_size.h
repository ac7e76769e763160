// The paper a stream was printed on, as the user names it: zova-preview
// draws each page as wide as its paper, so that the margins show.
#pragma once

#include <optional>
#include <string>

namespace zova::preview {

// The width of the paper `name` in 1/3600 inch: a size of the driver's PPDs
// (A4, Letter, 9.5x11, 140x180mm, with "Rotated" for the size turned a
// quarter), a PWG size name (iso_a4_210x297mm) or WIDTHxLENGTHmm or in.
// Empty, with why, for any other and for paper wider than the carriage.
std::optional<long> PaperWidth(const std::string& name, std::string* why);

}  // namespace zova::preview
