#include "textfilter/text_as_graphics.h"

#include "cups/cups_chain.h"

namespace zova {
namespace {

// The job's text options as texttopdf reads them: the queue's choice where
// the job gave none, ours where the job's was bad (the warning said so). A
// later value of a name wins in cupsParseOptions.
std::string ChainOptions(const char* job_options, const text::TextOptions& text) {
  static constexpr const char* kCpi[] = {"10", "12", "15", "17", "20"};
  std::string options = job_options;
  options += std::string(" cpi=") + kCpi[static_cast<int>(text.pitch)];
  options += text.spacing == text::LineSpacing::k8 ? " lpi=8" : " lpi=6";
  options += text.wrap ? " wrap=true" : " wrap=false";
  return options;
}

}  // namespace

void PrintTextAsGraphics(JobScope& job, const FilterJob& filter, const text::TextOptions& text) {
  PrintThroughCupsFilters(job, filter, kTextToRasterChain, ChainOptions(filter.jobOptions, text));
}

}  // namespace zova
