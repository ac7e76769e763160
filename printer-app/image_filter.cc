// PAPPL looks for a filter to the printer's own format before its own image
// filters: ours, registered that way, decode the image and hand it to
// PAPPL's image filter, which places it on the page and rasters it through
// the driver's callbacks.
#include <cstring>
#include <memory>

#include "callback_guard.h"
#include "image_documents.h"
#include "raster_callbacks.h"

namespace zova::app {
namespace {

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};

// The image in the number of colours of the page it prints on.
void MatchColours(DecodedImage& image, unsigned colours) {
  if (colours == 1 && image.depth == 3) {
    // Rec. 601 luma, as libjpeg makes grey.
    for (size_t i = 0, n = image.pixels.size() / 3; i < n; ++i) {
      const uint8_t* p = &image.pixels[3 * i];
      image.pixels[i] = static_cast<uint8_t>((299 * p[0] + 587 * p[1] + 114 * p[2] + 500) / 1000);
    }
    image.pixels.resize(image.pixels.size() / 3);
    image.depth = 1;
  } else if (colours == 3 && image.depth == 1) {
    std::vector<uint8_t> rgb(image.pixels.size() * 3);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
      rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = image.pixels[i];
    }
    image.pixels = std::move(rgb);
    image.depth = 3;
  }
}

bool PrintImage(pappl_job_t* job, pappl_device_t* device, bool png) {
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
  MatchColours(*image, options->header.cupsNumColors);
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
