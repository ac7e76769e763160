// The time model's parameters by name, as zova-preview takes them: NAME=VALUE
// on the command line (--time-set) or one to a line in a file (--time-model,
// where blank lines and lines starting with # are skipped).
#pragma once

#include <string>
#include <string_view>

#include "preview/print_time.h"

namespace zova::preview {

// Each returns false and says why in `why` ("unknown time parameter ...").
[[nodiscard]] bool SetTimeParameter(std::string_view setting, TimeModel* model, std::string* why);
[[nodiscard]] bool ReadTimeModelFile(const std::string& path, TimeModel* model, std::string* why);
// Settings each good alone may still not make a model together.
[[nodiscard]] bool CheckTimeModel(const TimeModel& model, std::string* why);

// "hs-draft-cps=480\n..." for every parameter, as a file would hold them.
std::string DescribeTimeModel(const TimeModel& model);

}  // namespace zova::preview
