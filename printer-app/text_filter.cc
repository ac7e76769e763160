// The text route: the job's options from its vendor attributes and the
// printer's defaults, the medium from its media (exact hundredths of a
// millimetre), offsets, command set and model as the raster routes get
// them, then the text through the filters' own PrintText inside AppJob's
// scope. Copies re-read the spooled document, which PAPPL keeps as a file.
#include "text_filter.h"

#include <climits>
#include <memory>

#include "app_job.h"
#include "callback_guard.h"
#include "job_order.h"
#include "raster_callbacks.h"
#include "text/text_job.h"
#include "text_options.h"

namespace zova::app {
namespace {

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};

bool PrintTextJob(pappl_job_t* job, pappl_device_t* device) {
  const JobClaim claim(job);
  if (claim.printedElsewhere()) return true;
  const FileDescriptor file = OpenJobDocument(job);
  if (!file.valid()) return false;
  const std::unique_ptr<pappl_pr_options_t, OptionsDeleter> options(
      papplJobCreatePrintOptions(job, 0, false));
  if (!options) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to get the job's options.");
    return false;
  }
  AppJob app(job, options.get(), device, /*counts_pages=*/true);
  text::TextJob text;
  text.options = TextOptionsOf(job, options.get(), app.messages());
  // Refused before the printer gets a byte: guessing at a picture of the
  // text would print something else than the user asked for.
  if (text.options.as == text::TextAs::kGraphics) {
    app.messages().Error(
        "zova-text-as=graphics is not offered by the printer application: it has no step that "
        "draws text as a picture. Print the text as text, or send it as a PDF.");
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    return false;
  }
  text.pageWidth = text::UnitsFromHundredthsMm(options->media.size_width);
  text.pageLength = text::UnitsFromHundredthsMm(options->media.size_length);
  if (!app.Start()) return false;
  if (app.repeat()) return true;
  text.commands = app.outputType() == "LQ" ? CommandSetId::kLq : CommandSetId::kNative;
  text.okidataPrefix = app.model() != nullptr && app.model()->okidataPrefix;
  text.offsets = app.offsets();
  text.copies = std::max(options->copies, 1);
  // PAPPL takes one range, its last page INT_MAX when open.
  if (papplJobGetAttribute(job, "page-ranges") != nullptr) {
    text.ranges.push_back({static_cast<int>(options->first_page),
                           static_cast<int>(std::min<unsigned>(options->last_page, INT_MAX))});
  }
  text::PrintText(app.scope(), file.get(), text, app.messages());
  const bool finished = app.Finish();
  return finished || app.canceled();
}

bool TextFilter(pappl_job_t* job, pappl_device_t* device, void* /*data*/) {
  return Guarded(job, [&] { return PrintTextJob(job, device); });
}

}  // namespace

void AddTextFilter(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, "text/plain", kRawFormat, TextFilter, nullptr);
}

}  // namespace zova::app
