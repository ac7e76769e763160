#include "textfilter/ppd_text_job.h"

#include <cups/cups.h>

#include "cups/ppd_file.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zova {
namespace {

// The job's options as CUPS passed them, parsed once.
class JobOptions {
 public:
  explicit JobOptions(const char* text) : count_(cupsParseOptions(text, 0, &options_)) {}
  ~JobOptions() { cupsFreeOptions(count_, options_); }
  JobOptions(const JobOptions&) = delete;
  JobOptions& operator=(const JobOptions&) = delete;

  std::optional<std::string> Get(std::string_view name) const {
    if (const char* value = cupsGetOption(std::string(name).c_str(), count_, options_)) {
      return value;
    }
    return std::nullopt;
  }

 private:
  cups_option_t* options_ = nullptr;
  int count_;
};

// The medium in 1/360 inch: a standard size by its exact millimetres, any
// other by its points.
void PageSize(ppd_file_t* ppd, text::TextJob& job) {
  const ppd_size_t* size = ppdPageSize(ppd, nullptr);
  if (size == nullptr) return;
  if (const pwg_media_t* media = pwgMediaForPPD(size->name);
      media != nullptr && media->width > 0 && media->length > 0 &&
      std::abs(media->width * 72.0 / 2540 - size->width) < 1 &&
      std::abs(media->length * 72.0 / 2540 - size->length) < 1) {
    job.pageWidth = text::UnitsFromHundredthsMm(media->width);
    job.pageLength = text::UnitsFromHundredthsMm(media->length);
    return;
  }
  job.pageWidth = text::UnitsFromPoints(size->width);
  job.pageLength = text::UnitsFromPoints(size->length);
}

}  // namespace

text::TextOptions PpdTextOptions(const FilterJob& filter) {
  const JobOptions options(filter.jobOptions);
  ppd_file_t* ppd = filter.ppd;
  return text::ReadTextOptions([&](std::string_view name) { return options.Get(name); },
                               [&](std::string_view name) -> std::optional<std::string> {
                                 std::string value = QueueDefault(ppd, name);
                                 if (value.empty()) return std::nullopt;
                                 return value;
                               },
                               filter.messages);
}

CommandSetId PpdCommandSet(const FilterJob& filter) {
  // Marks the job's choices (PageSize among them) over the queue's; a value
  // that is none of the choices leaves the queue's, as on the raster route.
  const std::string commands = JobChoice(filter.ppd, filter.jobOptions, kCommandSetPpdOption);
  return commands.empty() || commands == "LQ" ? CommandSetId::kLq : CommandSetId::kNative;
}

text::TextJob PpdTextJob(const FilterJob& filter) {
  const JobOptions options(filter.jobOptions);
  ppd_file_t* ppd = filter.ppd;
  text::TextJob job;
  job.options = PpdTextOptions(filter);
  job.commands = PpdCommandSet(filter);
  PageSize(ppd, job);
  job.okidataPrefix = filter.settings.model->okidataPrefix;
  job.offsets = filter.settings.offsets;
  job.copies = std::max(filter.copies, 1);
  if (const std::optional<std::string> ranges = options.Get("page-ranges")) {
    if (auto parsed = text::ParsePageRanges(*ranges)) {
      job.ranges = std::move(*parsed);
    } else {
      filter.messages.Warning("Unknown page-ranges value \"%s\"; printing every page",
                              ranges->c_str());
    }
  }
  return job;
}

}  // namespace zova

#pragma GCC diagnostic pop
