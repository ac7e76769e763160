// The parameter names and their ranges.
#include "preview/time_settings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "dotmatrix/printer_limits.h"

namespace zova::preview {
namespace {

struct Parameter {
  const char* name;
  double TimeModel::*member;
  double min;  // the smallest value taken; 0 only where 0 means "none"
  bool whole;
  double max = 0;  // 0: kMaxValue, or for whole numbers the longest form's lines
};

// Large enough for any printer, small enough that no sum overflows.
constexpr double kMaxValue = 1e6;

constexpr Parameter kParameters[] = {
    {"hs-draft-cps", &TimeModel::hs_draft_cps, 1, false},
    {"draft-cps", &TimeModel::draft_cps, 1, false},
    {"nlq-cps", &TimeModel::nlq_cps, 1, false},
    {"lq-cps", &TimeModel::lq_cps, 1, false},
    {"rated-cpi", &TimeModel::rated_cpi, 1, false},
    {"lq-dot-dpi", &TimeModel::lq_dot_dpi, 1, false},
    {"adjacent-dpi", &TimeModel::adjacent_dpi, 1, false},
    {"slew-ips", &TimeModel::slew_ips, 0.1, false},
    {"pass-ms", &TimeModel::pass_ms, 0, false},
    {"seek-first-dot", &TimeModel::seek_first_dot, 0, true, 1},
    {"line-feed-ms", &TimeModel::line_feed_ms, 0.1, false},
    {"feed-mm-per-s", &TimeModel::feed_mm_per_s, 1, false},
    {"default-page-lines", &TimeModel::default_page_lines, 1, true},
};

std::string_view Trim(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string_view::npos) return {};
  return text.substr(start, text.find_last_not_of(" \t\r") - start + 1);
}

}  // namespace

bool SetTimeParameter(std::string_view setting, TimeModel* model, std::string* why) {
  const size_t equals = setting.find('=');
  const std::string_view name = Trim(setting.substr(0, equals));
  const std::string value(equals == std::string_view::npos ? "" : Trim(setting.substr(equals + 1)));
  const Parameter* found = nullptr;
  for (const Parameter& parameter : kParameters) {
    if (name == parameter.name) found = &parameter;
  }
  if (found == nullptr) {
    *why = "unknown time parameter \"" + std::string(name) + "\" (known: ";
    for (const Parameter& parameter : kParameters) {
      *why += parameter.name + std::string(&parameter == std::end(kParameters) - 1 ? ")" : ", ");
    }
    return false;
  }
  const double max = found->max != 0 ? found->max : found->whole ? kMaxFormInches * 6 : kMaxValue;
  char* end = nullptr;
  errno = 0;
  const double number = value.empty() ? NAN : strtod(value.c_str(), &end);
  if (std::isnan(number) || *end != '\0' || errno != 0 || number < found->min || number > max ||
      (found->whole && number != std::floor(number))) {
    char text[200];
    snprintf(text, sizeof text, "bad %s value \"%s\": a %s from %g to %g", found->name,
             value.c_str(), found->whole ? "whole number" : "number", found->min, max);
    *why = text;
    return false;
  }
  model->*found->member = number;
  return true;
}

bool ReadTimeModelFile(const std::string& path, TimeModel* model, std::string* why) {
  std::ifstream file(path);
  if (!file) {
    *why = "cannot read " + path + ": " + strerror(errno);
    return false;
  }
  std::string line;
  for (size_t number = 1; std::getline(file, line); ++number) {
    const std::string_view text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    if (!SetTimeParameter(text, model, why)) {
      *why = path + ":" + std::to_string(number) + ": " + *why;
      return false;
    }
  }
  if (file.bad()) {
    *why = "cannot read " + path + ": " + strerror(errno);
    return false;
  }
  return true;
}

bool CheckTimeModel(const TimeModel& model, std::string* why) {
  // The line feed's start and stop is what is left after 1/6 inch at feed speed.
  const double sixth_ms = 25.4 / 6 / model.feed_mm_per_s * 1000;
  if (model.line_feed_ms < sixth_ms) {
    char text[200];
    snprintf(text, sizeof text,
             "line-feed-ms %g is shorter than 1/6 inch takes at feed-mm-per-s %g (%.1f ms)",
             model.line_feed_ms, model.feed_mm_per_s, sixth_ms);
    *why = text;
    return false;
  }
  return true;
}

std::string DescribeTimeModel(const TimeModel& model) {
  std::string text;
  char line[80];
  for (const Parameter& parameter : kParameters) {
    snprintf(line, sizeof line, "%s=%g\n", parameter.name, model.*parameter.member);
    text += line;
  }
  return text;
}

}  // namespace zova::preview
