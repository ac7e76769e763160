// The time model's arithmetic; print_time.h says what each part stands for.
#include "preview/print_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zova::preview {
namespace {

constexpr double kMmPerInch = 25.4;

double Inches(long units) { return static_cast<double>(units) / kUnitsPerInch; }

// Seconds for one paper move of `units`.
double PaperMove(const TimeModel& model, long units) {
  const double per_mm = 1 / model.feed_mm_per_s;
  const double start_stop = model.line_feed_ms / 1000 - kMmPerInch / 6 * per_mm;
  return start_stop + Inches(units) * kMmPerInch * per_mm;
}

}  // namespace

double TextHeadSpeed(const TimeModel& model, TextQuality quality) {
  switch (quality) {
    case TextQuality::kHighSpeedDraft:
      return model.hs_draft_cps / model.rated_cpi;
    case TextQuality::kDraft:
      return model.draft_cps / model.rated_cpi;
    case TextQuality::kNlq:
      return model.nlq_cps / model.rated_cpi;
    case TextQuality::kLq:
      break;
  }
  return model.lq_cps / model.rated_cpi;
}

double GraphicsHeadSpeed(const TimeModel& model, unsigned dpi) {
  const double dots_per_second = TextHeadSpeed(model, TextQuality::kLq) * model.lq_dot_dpi;
  const double firing_dpi = dpi > model.adjacent_dpi ? dpi / 2.0 : dpi;
  return std::min(dots_per_second / firing_dpi, TextHeadSpeed(model, TextQuality::kHighSpeedDraft));
}

PrintTime EstimatePrintTime(const DecodedPage& page, const TimeModel& model) {
  const PageMotion& motion = page.motion;
  const SweepTravel& travel = model.seek_first_dot != 0 ? motion.seeking : motion.sending;
  PrintTime time;
  for (const auto& [dpi, units] : travel.printed) {
    time.printing += Inches(units) / GraphicsHeadSpeed(model, dpi);
  }
  time.printing += Inches(motion.text_draft) / TextHeadSpeed(model, TextQuality::kDraft) +
                   Inches(motion.text_lq) / TextHeadSpeed(model, TextQuality::kLq);
  time.slewing = Inches(travel.slew) / model.slew_ips +
                 static_cast<double>(motion.passes) * model.pass_ms / 1000;

  const long length = motion.page_length > 0
                          ? motion.page_length
                          : std::lround(model.default_page_lines) * kUnitsPerLine;
  const long form_feed = motion.pending_feed + length - motion.paper_y % length;
  time.paper = static_cast<double>(motion.paper_moves) * PaperMove(model, 0) +
               Inches(motion.paper_travel) * kMmPerInch / model.feed_mm_per_s +
               PaperMove(model, form_feed);
  return time;
}

std::string FormatSeconds(double seconds) {
  char text[64];
  if (seconds < 9.95) {
    snprintf(text, sizeof text, "%.1f s", seconds);
  } else if (seconds < 59.5) {
    snprintf(text, sizeof text, "%.0f s", seconds);
  } else {
    const long whole = std::lround(seconds);
    snprintf(text, sizeof text, "%ld min %02ld s", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace zova::preview
