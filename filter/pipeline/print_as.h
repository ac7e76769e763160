// How the pages of a job are printed: classified by their content as
// always, or all as text, all as pictures, or by region.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zova {

enum class PrintAs : uint8_t {
  kAuto,     // a page of mostly dark strokes is text, any other a picture
  kText,     // every page thresholded, 360x360 pages reduced to 180x180
  kPicture,  // every page halftoned by the tool
  kMixed,    // pictures halftoned and text thresholded, region by region
};

struct PrintAsChoice {
  PrintAs value;
  std::string_view name;  // the option's value: "ZovaPrintAs=Mixed"
};

// The PPD option that carries the choice.
inline constexpr std::string_view kPrintAsPpdOption = "ZovaPrintAs";

inline constexpr PrintAsChoice kPrintAsChoices[] = {
    {PrintAs::kAuto, "Auto"},
    {PrintAs::kText, "Text"},
    {PrintAs::kPicture, "Picture"},
    {PrintAs::kMixed, "Mixed"},
};

// The PPD choice of a value.
constexpr std::string_view PrintAsName(PrintAs value) {
  for (const PrintAsChoice& choice : kPrintAsChoices) {
    if (choice.value == value) return choice.name;
  }
  return {};
}

constexpr std::optional<PrintAs> ParsePrintAs(std::string_view name) {
  for (const PrintAsChoice& choice : kPrintAsChoices) {
    if (choice.name == name) return choice.value;
  }
  return std::nullopt;
}

}  // namespace zova
