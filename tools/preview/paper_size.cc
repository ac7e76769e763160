#include "preview/paper_size.h"

#include <cups/cups.h>

#include <cmath>

#include "preview/page_model.h"

namespace zova::preview {

std::optional<long> PaperWidth(const std::string& name, std::string* why) {
  // libcups reads "140x180mmRotated" as inches: the turn is ours to make.
  constexpr std::string_view kRotated = "Rotated";
  const bool rotated = name.size() > kRotated.size() && name.ends_with(kRotated);
  const std::string base = rotated ? name.substr(0, name.size() - kRotated.size()) : name;
  const pwg_media_t* media = pwgMediaForPPD(base.c_str());
  if (media == nullptr) media = pwgMediaForPWG(base.c_str());
  if (media == nullptr || media->width <= 0 || media->length <= 0) {
    *why = "a paper size such as A4, Letter, 9.5x11, 140x180mm or 11x15Rotated";
    return std::nullopt;
  }
  // Hundredths of a millimetre to 1/3600 inch.
  const long width = std::lround((rotated ? media->length : media->width) * 3600.0 / 2540);
  if (width > kMaxPageWidth) {
    *why = "wider than the widest carriage (" + std::to_string(kMaxCarriageInches) + " inches)";
    return std::nullopt;
  }
  return width;
}

}  // namespace zova::preview
