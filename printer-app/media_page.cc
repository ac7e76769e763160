// The printer's Media page. PAPPL 1.3.1's saves whatever offsets the form
// gives (12 mm, "nan" as -21474836.48 mm) and says "Changes saved.", and
// the form's body, once read, cannot be handed back to it: a form sent
// from the page is checked and saved here. Its page leaves out every size
// named "custom_...", the passbooks and continuous forms among them, and
// labels the offsets "Offset [ ] x [ ] mm": the page is this one.
#include <pappl/pappl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "media_offsets.h"
#include "pappl_fixes/pappl_fixes.h"
#include "pipeline/page_offsets.h"

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
    ready->tracking = pappl_fixes::MediaTrackingValue(tracking);
  }
  if (const char* type = form.Get(source, "type")) {
    snprintf(ready->type, sizeof ready->type, "%s", type);
  }
}

bool IsRangeEnd(const char* size) {
  return strncmp(size, "custom_min_", 11) == 0 || strncmp(size, "custom_max_", 11) == 0;
}

// "custom_passbook-landscape_180x140mm" as "Passbook landscape (180x140mm)".
std::string SizeLabel(const std::string& size) {
  const size_t first = size.find('_'), last = size.rfind('_');
  if (first == std::string::npos || first == last) return size;
  std::string name = size.substr(first + 1, last - first - 1);
  for (char& c : name) c = c == '-' ? ' ' : c;
  name[0] = static_cast<char>(toupper(static_cast<unsigned char>(name[0])));
  return name + " (" + size.substr(last + 1) + ")";
}

void Option(pappl_client_t* client, const char* value, const std::string& label, bool selected) {
  papplClientHTMLPrintf(client, "<option value=\"%s\"%s>", value, selected ? " selected" : "");
  papplClientHTMLEscape(client, label.c_str(), 0);
  papplClientHTMLPuts(client, "</option>");
}

void OffsetField(pappl_client_t* client, int source, const char* field, const char* label,
                 const int* range, int value) {
  papplClientHTMLPrintf(client,
                        "<label>%s <input type=\"number\" name=\"ready%d-%s\" min=\"%.2f\" "
                        "max=\"%.2f\" step=\"0.01\" value=\"%.2f\"></label>\n",
                        label, source, field, range[0] / 100.0, range[1] / 100.0, value / 100.0);
}

// One source: its size (any of the driver's, or one of the custom range in
// millimetres), borderless, offsets and type.
void SourceRow(pappl_client_t* client, const pappl_pr_driver_data_t& data, int i) {
  const pappl_media_col_t& ready = data.media_ready[i];
  papplClientHTMLPrintf(client, "<tr><th>%s media:</th><td><select name=\"ready%d-size\">",
                        data.source[i], i);
  bool listed = false;
  for (int m = 0; m < data.num_media; ++m) {
    if (IsRangeEnd(data.media[m])) continue;
    const bool selected = strcmp(data.media[m], ready.size_name) == 0;
    listed |= selected;
    Option(client, data.media[m], SizeLabel(data.media[m]), selected);
  }
  Option(client, "custom", "Custom size (below)", !listed);
  papplClientHTMLPrintf(
      client,
      "</select>\n<label>Custom <input type=\"number\" name=\"ready%d-custom-width\" "
      "step=\"0.1\" value=\"%.1f\"> x <input type=\"number\" name=\"ready%d-custom-length\" "
      "step=\"0.1\" value=\"%.1f\"> mm</label><input type=\"hidden\" "
      "name=\"ready%d-custom-units\" value=\"mm\">\n",
      i, ready.size_width / 100.0, i, ready.size_length / 100.0, i);
  if (data.borderless) {
    const bool none = ready.top_margin == 0 && ready.bottom_margin == 0 && ready.left_margin == 0 &&
                      ready.right_margin == 0;
    papplClientHTMLPrintf(client,
                          "<label><input type=\"checkbox\" name=\"ready%d-borderless\"%s> "
                          "Borderless</label><br>\n",
                          i, none ? " checked" : "");
  }
  OffsetField(client, i, "left-offset", "Left offset (mm, + moves right)",
              data.left_offset_supported, ready.left_offset);
  OffsetField(client, i, "top-offset", "Top offset (mm, + moves down)", data.top_offset_supported,
              ready.top_offset);
  papplClientHTMLPrintf(client, "<select name=\"ready%d-type\">", i);
  for (int t = 0; t < data.num_type; ++t)
    Option(client, data.type[t], data.type[t], strcmp(data.type[t], ready.type) == 0);
  papplClientHTMLPuts(client, "</select></td></tr>\n");
}

void ShowPage(pappl_client_t* client, pappl_printer_t* printer) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  char path[1024];
  papplPrinterGetPath(printer, "media", path, sizeof path);
  papplClientHTMLPrinterHeader(client, printer, "Media", 0, nullptr, nullptr);
  papplClientHTMLStartForm(client, path, false);
  papplClientHTMLPuts(client, "<table class=\"form\"><tbody>\n");
  for (int i = 0; i < data.num_source && i < PAPPL_MAX_SOURCE; ++i) SourceRow(client, data, i);
  papplClientHTMLPuts(client,
                      "<tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>"
                      "</tbody></table></form>\n");
  papplClientHTMLPrinterFooter(client);
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
  if (!papplClientHTMLAuthorize(client)) return true;
  if (papplClientGetMethod(client) != HTTP_STATE_POST) {
    ShowPage(client, printer);
    return true;
  }
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
