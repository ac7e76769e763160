#include "media_offsets.h"

#include <map>
#include <mutex>

#include "callback_guard.h"
#include "request_checks.h"

namespace zova::app {
namespace {

bool InRange(ipp_t* col, const char* name, const int supported[2]) {
  ipp_attribute_t* member = ippFindAttribute(col, name, IPP_TAG_ZERO);
  if (member == nullptr) return true;
  if (ippGetValueTag(member) != IPP_TAG_INTEGER || ippGetCount(member) != 1) return false;
  const int value = ippGetInteger(member, 0);
  return value >= supported[0] && value <= supported[1];
}

struct Offsets {
  int top[PAPPL_MAX_SOURCE] = {};
  int left[PAPPL_MAX_SOURCE] = {};
};

std::mutex guard_mutex;
std::map<pappl_printer_t*, Offsets> last_good;

void KeepPrinterOffsets(pappl_printer_t* printer, void* /*data*/) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const std::lock_guard lock(guard_mutex);
  Offsets& good = last_good[printer];
  bool changed = false;
  for (int i = 0; i < data.num_source && i < PAPPL_MAX_SOURCE; ++i) {
    pappl_media_col_t& ready = data.media_ready[i];
    if (OffsetsSupported(data, ready.top_offset, ready.left_offset)) {
      good.top[i] = ready.top_offset;
      good.left[i] = ready.left_offset;
      continue;
    }
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR,
                    "Ready media offsets %d down, %d right (1/100 mm) for source '%s' are beyond "
                    "what the printer supports: %d down, %d right are kept.",
                    ready.top_offset, ready.left_offset, data.source[i], good.top[i], good.left[i]);
    ready.top_offset = good.top[i];
    ready.left_offset = good.left[i];
    changed = true;
  }
  if (changed) papplPrinterSetReadyMedia(printer, data.num_source, data.media_ready);
}

bool KeepAllOffsets(pappl_system_t* system, void* /*data*/) {
  papplSystemIteratePrinters(system, KeepPrinterOffsets, nullptr);
  return true;  // keep the timer
}

}  // namespace

bool OffsetsSupported(const pappl_pr_driver_data_t& data, int top, int left) {
  return top >= data.top_offset_supported[0] && top <= data.top_offset_supported[1] &&
         left >= data.left_offset_supported[0] && left <= data.left_offset_supported[1];
}

void KeepReadyOffsetsInRange(pappl_system_t* system) {
  KeepAllOffsets(system, nullptr);
  papplSystemAddTimerCallback(system, 0, 1, GuardedTimer<KeepAllOffsets>, nullptr);
}

http_status_t CheckMediaOffsets(pappl_client_t* client) {
  ipp_t* request = papplClientGetRequest(client);
  pappl_printer_t* printer = papplClientGetPrinter(client);
  ipp_attribute_t* media_col = ippFindAttribute(request, "media-col", IPP_TAG_ZERO);
  // PAPPL refuses a media-col that is not one collection by itself.
  if (printer == nullptr || media_col == nullptr || ippGetCount(media_col) != 1 ||
      ippGetValueTag(media_col) != IPP_TAG_BEGIN_COLLECTION) {
    return HTTP_STATUS_CONTINUE;
  }
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  ipp_t* col = ippGetCollection(media_col, 0);
  if (InRange(col, "media-top-offset", data.top_offset_supported) &&
      InRange(col, "media-left-offset", data.left_offset_supported)) {
    return HTTP_STATUS_CONTINUE;
  }
  papplLogClient(client, PAPPL_LOGLEVEL_WARN,
                 "media-col offsets beyond %d..%d down and %d..%d right (1/100 mm): refused.",
                 data.top_offset_supported[0], data.top_offset_supported[1],
                 data.left_offset_supported[0], data.left_offset_supported[1]);
  // The one way to have PAPPL refuse it itself, with the attribute in the
  // unsupported group and client-error-attributes-or-values-not-supported:
  // a media-col of two values, which its check of the job's attributes
  // (valid_job_attributes) never lets through.
  ippSetCollection(request, &media_col, 1, col);
  return HTTP_STATUS_CONTINUE;
}

http_status_t CheckReadyOffsets(pappl_client_t* client) {
  ipp_t* request = papplClientGetRequest(client);
  pappl_printer_t* printer = papplClientGetPrinter(client);
  if (printer == nullptr) return HTTP_STATUS_CONTINUE;
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  for (const char* name : {"media-col-ready", "media-col-default"}) {
    ipp_attribute_t* attr = ippFindAttribute(request, name, IPP_TAG_BEGIN_COLLECTION);
    bool supported = true;
    for (int i = 0; i < ippGetCount(attr); ++i) {
      supported &=
          InRange(ippGetCollection(attr, i), "media-top-offset", data.top_offset_supported) &&
          InRange(ippGetCollection(attr, i), "media-left-offset", data.left_offset_supported);
    }
    // PAPPL refuses, unsupported, a printer attribute sent in another group.
    if (!supported) ippSetGroupTag(request, &attr, IPP_TAG_JOB);
  }
  return HTTP_STATUS_CONTINUE;
}

}  // namespace zova::app
