// PAPPL looks for a filter to the printer's own format before its own image
// filters: ours, registered that way, decode the image and hand it to
// PAPPL's image filter, which places it on the page and rasters it through
// the driver's callbacks.
#include <cstring>
#include <memory>

#include "callback_guard.h"
#include "image_documents.h"
#include "job_order.h"
#include "raster_callbacks.h"

namespace zova::app {
namespace {

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};

// The driver makes grey of a colour picture itself, as the CUPS filter does
// of a colour page: the picture goes to it in colour, though the printer
// offers PAPPL only grey raster.
void TakeColour(cups_page_header2_t& header) {
  header.cupsColorSpace = CUPS_CSPACE_SRGB;
  header.cupsNumColors = 3;
  header.cupsBitsPerPixel = 24;
  header.cupsBytesPerLine = header.cupsWidth * 3;
}

bool PrintImage(pappl_job_t* job, pappl_device_t* device, bool png) {
  const JobClaim claim(job);
  if (claim.printedElsewhere()) return true;
  const char* document = papplJobGetFilename(job);
  if (document == nullptr) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The job has no document to print.");
    return false;
  }
  const CancelToken cancel([job] { return papplJobIsCanceled(job); });
  std::string error;
  std::optional<DecodedImage> image =
      png ? DecodePng(document, cancel, &error) : DecodeJpeg(document, cancel, &error);
  if (!image) {
    if (papplJobIsCanceled(job)) return true;
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", error.c_str());
    papplJobSetMessage(job, "%s", error.c_str());
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    return false;
  }
  const std::unique_ptr<pappl_pr_options_t, OptionsDeleter> options(
      papplJobCreatePrintOptions(job, 1, image->depth == 3));
  if (!options) return false;
  if (image->depth == 3) TakeColour(options->header);
  // A picture turns with the page unless the job says how it goes.
  if (papplJobGetAttribute(job, "orientation-requested") == nullptr) {
    options->orientation_requested = IPP_ORIENT_NONE;
  }
  // JPEG is smoothed when scaled, PNG not, as PAPPL's own readers do.
  return papplJobFilterImage(job, device, options.get(), image->pixels.data(), image->width,
                             image->height, image->depth, image->ppi, !png);
}

bool PngFilter(pappl_job_t* job, pappl_device_t* device, void* /*data*/) {
  return Guarded(job, [&] { return PrintImage(job, device, true); });
}

bool JpegFilter(pappl_job_t* job, pappl_device_t* device, void* /*data*/) {
  return Guarded(job, [&] { return PrintImage(job, device, false); });
}

}  // namespace

void AddImageFilters(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, "image/png", kRawFormat, PngFilter, nullptr);
  papplSystemAddMIMEFilter(system, "image/jpeg", kRawFormat, JpegFilter, nullptr);
}

}  // namespace zova::app
