// The printer's Media page. PAPPL 1.3.1's saves whatever offsets the form
// gives (12 mm, "nan" as -21474836.48 mm) and says "Changes saved.", and
// the form's body, once read, cannot be handed back to it: a form sent
// from the page is checked and saved here, PAPPL's page shows the values.
#include <pappl/pappl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "media_offsets.h"
#include "pipeline/page_offsets.h"

// PAPPL 1.3.1's own, exported by the library but in no header.
extern "C" {
void _papplPrinterWebMedia(pappl_client_t* client, pappl_printer_t* printer);
pappl_media_tracking_t _papplMediaTrackingValue(const char* s);
}

namespace zova::app {
namespace {

struct Form {
  int count = 0;
  cups_option_t* options = nullptr;
  ~Form() { cupsFreeOptions(count, options); }
  const char* Get(int source, const char* field) const {
    char name[64];
    snprintf(name, sizeof name, "ready%d-%s", source, field);
    return cupsGetOption(name, count, options);
  }
};

// One offset field: unchanged when absent, else a number of millimetres in
// the printer's range; a message when it is not.
void ReadOffset(const Form& form, int source, const char* field, const char* what,
                const pappl_pr_driver_data_t& data, int* offset, std::string* problems) {
  const char* value = form.Get(source, field);
  if (value == nullptr) return;
  const std::optional<int> parsed = ParseOffsetMm(value);
  const int* range = *field == 't' ? data.top_offset_supported : data.left_offset_supported;
  if (parsed && *parsed >= range[0] && *parsed <= range[1]) {
    *offset = *parsed;
    return;
  }
  char message[512];
  snprintf(message, sizeof message,
           "%s offset for %s: \"%.32s\" is not a number from %.1f to %.1f mm. ", what,
           data.source[source], value, range[0] / 100.0, range[1] / 100.0);
  *problems += message;
}

// The rest of a source's fields, as PAPPL reads them.
void ReadMedia(const Form& form, int source, const pappl_pr_driver_data_t& data,
               pappl_media_col_t* ready) {
  const char* size = form.Get(source, "size");
  const pwg_media_t* pwg = nullptr;
  if (size != nullptr && strcmp(size, "custom") == 0) {
    const char* width = form.Get(source, "custom-width");
    const char* length = form.Get(source, "custom-length");
    const char* units = form.Get(source, "custom-units");
    if (width != nullptr && length != nullptr && units != nullptr) {
      const double scale = strcmp(units, "in") == 0 ? 2540.0 : 100.0;
      pwg = pwgMediaForSize(static_cast<int>(scale * strtod(width, nullptr)),
                            static_cast<int>(scale * strtod(length, nullptr)));
    }
  } else if (size != nullptr) {
    pwg = pwgMediaForPWG(size);
  }
  if (pwg != nullptr) {
    snprintf(ready->size_name, sizeof ready->size_name, "%s", pwg->pwg);
    ready->size_width = pwg->width;
    ready->size_length = pwg->length;
  }
  snprintf(ready->source, sizeof ready->source, "%s", data.source[source]);
  const bool borderless = form.Get(source, "borderless") != nullptr;
  ready->bottom_margin = ready->top_margin = borderless ? 0 : data.bottom_top;
  ready->left_margin = ready->right_margin = borderless ? 0 : data.left_right;
  if (const char* tracking = form.Get(source, "tracking")) {
    ready->tracking = _papplMediaTrackingValue(tracking);
  }
  if (const char* type = form.Get(source, "type")) {
    snprintf(ready->type, sizeof ready->type, "%s", type);
  }
}

void Answer(pappl_client_t* client, pappl_printer_t* printer, const std::string& message) {
  char path[1024];
  papplPrinterGetPath(printer, "media", path, sizeof path);
  papplClientHTMLPrinterHeader(client, printer, "Media", 0, nullptr, nullptr);
  papplClientHTMLPuts(client, "<div class=\"banner\">");
  papplClientHTMLEscape(client, message.c_str(), 0);
  papplClientHTMLPrintf(client, "</div>\n<p><a class=\"btn\" href=\"%s\">Media</a></p>\n", path);
  papplClientHTMLPrinterFooter(client);
}

bool MediaPage(pappl_client_t* client, void* data) {
  auto* printer = static_cast<pappl_printer_t*>(data);
  if (papplClientGetMethod(client) != HTTP_STATE_POST) {
    _papplPrinterWebMedia(client, printer);
    return true;
  }
  if (!papplClientHTMLAuthorize(client)) return true;
  Form form;
  form.count = papplClientGetForm(client, &form.options);
  if (form.count == 0 || !papplClientIsValidForm(client, form.count, form.options)) {
    Answer(client, printer, "Invalid form data: nothing was changed.");
    return true;
  }
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(printer, &driver);
  pappl_media_col_t ready[PAPPL_MAX_SOURCE] = {};
  std::string problems;
  for (int i = 0; i < driver.num_source && i < PAPPL_MAX_SOURCE; ++i) {
    // A source the form leaves out is left empty, as PAPPL does.
    if (form.Get(i, "size") == nullptr) continue;
    ReadMedia(form, i, driver, &ready[i]);
    ReadOffset(form, i, "top-offset", "Top", driver, &ready[i].top_offset, &problems);
    ReadOffset(form, i, "left-offset", "Left", driver, &ready[i].left_offset, &problems);
  }
  if (!problems.empty()) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Media page: %s", problems.c_str());
    Answer(client, printer, problems + "Nothing was changed.");
    return true;
  }
  if (!papplPrinterSetReadyMedia(printer, driver.num_source, ready)) {
    Answer(client, printer, "The printer does not take this media: nothing was changed.");
    return true;
  }
  Answer(client, printer, "Changes saved.");
  return true;
}

}  // namespace

void GuardMediaPage(pappl_printer_t* printer) {
  char path[1024];
  papplPrinterGetPath(printer, "media", path, sizeof path);
  papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path, "text/html", MediaPage,
                                 printer);
}

}  // namespace zova::app
