// How a job's bit images go to the printer: how far the head travels on each
// pass, and how the page length is set. Each is a PPD option whose choices
// the job names; the first choice is the default and keeps the stream as it
// always was.
#pragma once

#include <optional>
#include <string_view>

#include "dotmatrix/page_plan.h"

namespace zova {

template <typename Value>
struct NamedChoice {
  Value value;
  std::string_view name;  // the PPD's choice
};

inline constexpr std::string_view kHeadTravelPpdOption = "ZovaHeadTravel";
inline constexpr NamedChoice<HeadTravel> kHeadTravelChoices[] = {
    {HeadTravel::kFull, "Full"},
    {HeadTravel::kInked, "Inked"},
};

inline constexpr std::string_view kFormLengthPpdOption = "ZovaFormLength";
inline constexpr NamedChoice<FormLength> kFormLengthChoices[] = {
    {FormLength::kLines, "Lines"},
    {FormLength::kExact, "Exact"},
};

// The value a choice's name stands for, or nullopt.
template <typename Value, size_t N>
constexpr std::optional<Value> ParseChoice(const NamedChoice<Value> (&choices)[N],
                                           std::string_view name) {
  for (const NamedChoice<Value>& choice : choices) {
    if (choice.name == name) return choice.value;
  }
  return std::nullopt;
}

struct StreamChoices {
  HeadTravel headTravel = HeadTravel::kFull;
  FormLength formLength = FormLength::kLines;
};

}  // namespace zova
