#include "drivers.h"

#include <cstring>
#include <string>
#include <vector>

#include "device_id.h"
#include "device_status.h"
#include "dotmatrix/printer_models.h"
#include "pipeline/page_offsets.h"
#include "raster_callbacks.h"
#include "test_page.h"
#include "text_options.h"
#include "vendor_options.h"

namespace zova::app {
namespace {

// Four of the five resolutions the printer has, PAPPL's limit. 240 dpi is
// left out: PAPPL maps print-quality draft, normal and high to the first,
// the middle (index 2) and the last resolution, so 60, 120, 180, 360 gives
// draft 60 (the PPD's draft), normal 180 (the default) and high 360, where
// dropping 120 would make 240 the normal quality. 240 dpi is also the
// slowest mode, two passes per band, unidirectional.
constexpr int kResolutions[] = {60, 120, 180, 360};
constexpr int kDefaultResolution = 180;

// The PPD's sizes: cut sheets, the continuous forms, the passbooks, and any
// size from a 3 inch square to a 15 x 22 inch form.
constexpr const char* kMedia[] = {
    "iso_a4_210x297mm",          "na_letter_8.5x11in",
    "na_legal_8.5x14in",         "iso_a5_148x210mm",
    "custom_80-column_9.5x11in", "custom_136-column_15x11in",
    "custom_passbook_140x180mm", "custom_passbook-landscape_180x140mm",
    "iso_b6_125x176mm",          "custom_min_3x3in",
    "custom_max_15x22in",
};
constexpr const char* kDefaultMedia = "iso_a4_210x297mm";
// Passbooks and forms go in by hand at the front slot, or on the tractor. The
// front slot, the printer's main one, is "main" rather than "manual": PAPPL
// 1.3.1's web pages leave out a source named "manual", so the size loaded
// there could be neither seen nor set.
constexpr const char* kSources[] = {"main", "tractor"};

std::vector<pappl_pr_driver_t> MakeDrivers() {
  std::vector<pappl_pr_driver_t> drivers;
  for (const PrinterModel& model : kPrinterModels) {
    // The table's names are string literals, so their data ends in a NUL.
    drivers.push_back(
        {model.driverName.data(), model.name.data(), AssumedDeviceId(model.driverName), nullptr});
  }
  return drivers;
}

void SetMedia(pappl_pr_driver_data_t* data) {
  data->num_media = static_cast<int>(std::size(kMedia));
  for (size_t i = 0; i < std::size(kMedia); ++i) data->media[i] = kMedia[i];
  data->num_source = static_cast<int>(std::size(kSources));
  const pwg_media_t* pwg = pwgMediaForPWG(kDefaultMedia);
  for (size_t i = 0; i < std::size(kSources); ++i) {
    data->source[i] = kSources[i];
    pappl_media_col_t& ready = data->media_ready[i];
    // No margins: what a document puts at a spot of a form lands there.
    ready = {};
    snprintf(ready.size_name, sizeof ready.size_name, "%s", kDefaultMedia);
    snprintf(ready.source, sizeof ready.source, "%s", kSources[i]);
    snprintf(ready.type, sizeof ready.type, "%s", "stationery");
    ready.size_width = pwg->width;
    ready.size_length = pwg->length;
  }
  data->media_default = data->media_ready[0];
  // Forms and passbooks sit a little differently in each printer and slot:
  // the Media page sets how far the print moves for each source.
  data->top_offset_supported[0] = data->left_offset_supported[0] = -kMaxOffset;
  data->top_offset_supported[1] = data->left_offset_supported[1] = kMaxOffset;
  data->num_type = 1;
  data->type[0] = "stationery";
  // Documents print to the edges, yet the sizes also go out with margins of a
  // hundredth of a millimetre: CUPS names a size with no margins only
  // "*.Borderless", and a queue of nothing but those has no default size and
  // shrinks every page to fit Letter.
  data->borderless = true;
  data->left_right = 1;
  data->bottom_top = 1;
}

}  // namespace

std::span<pappl_pr_driver_t> Drivers() {
  static std::vector<pappl_pr_driver_t> drivers = MakeDrivers();
  return drivers;
}

bool DriverCallback(pappl_system_t* system, const char* driver_name, const char* /*device_uri*/,
                    const char* /*device_id*/, pappl_pr_driver_data_t* data, ipp_t** attrs,
                    void* /*cbdata*/) {
  const PrinterModel* model = ModelFromDriverName(driver_name);
  if (model == nullptr) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Unknown driver '%s'.", driver_name);
    return false;
  }
  SetRasterCallbacks(data);
  data->testpage_cb = WriteTestPage;
  data->status_cb = PrinterStatus;
  data->extension = const_cast<PrinterModel*>(model);
  // "MAKE MODEL", as CUPS splits it for a queue's PPD.
  snprintf(data->make_and_model, sizeof data->make_and_model, "ZOVA %.*s",
           static_cast<int>(model->name.size()), model->name.data());
  data->format = kRawFormat;
  data->ppm = 1;
  data->kind = PAPPL_KIND_DOCUMENT;
  // Forms and passbooks go in upright; a picture is turned with the page
  // unless its job says otherwise (image_filter.cc). A picture without a
  // resolution fits the page whole, one with a resolution prints at its size
  // where it fits. (With borderless media, PAPPL's "auto" scaling fills the
  // page and crops.)
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->quality_default = IPP_QUALITY_NORMAL;
  data->scaling_default = PAPPL_SCALING_AUTO_FIT;
  data->content_default = PAPPL_CONTENT_AUTO;
  // Grey contone only: the driver classifies pages and halftones pictures
  // itself, so PAPPL must not dither, and the printer has one ribbon colour.
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_NONE;
  data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME;
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->duplex = PAPPL_DUPLEX_NONE;

  data->num_resolution = static_cast<int>(std::size(kResolutions));
  for (size_t i = 0; i < std::size(kResolutions); ++i) {
    data->x_resolution[i] = kResolutions[i];
    data->y_resolution[i] = kResolutions[i];
  }
  data->x_default = data->y_default = kDefaultResolution;
  SetMedia(data);

  data->num_vendor = 0;
  for (const VendorOption* option : VendorOptions())
    data->vendor[data->num_vendor++] = option->name;
  for (const char* name : TextOptionNames()) data->vendor[data->num_vendor++] = name;
  *attrs = ippNew();
  AddVendorAttributes(*attrs);
  AddTextAttributes(*attrs);
  return true;
}

}  // namespace zova::app
