#include "job/ppd_file.h"

#include <cups/cups.h>

#include <cstring>
#include <string>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zova {

void PpdCloser::operator()(ppd_file_t* ppd) const { ppdClose(ppd); }

PpdPtr LoadPpd(const char* path, Messages& messages) {
  PpdPtr ppd(ppdOpenFile(path));
  if (!ppd) {
    // libcups keeps its message catalogue behind a private call; the line
    // is written here in English.
    messages.Error("The PPD file could not be opened.");
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    messages.Debug("%s on line %d.", ppdErrorString(status), line);
  }
  return ppd;
}

const PrinterModel& PpdModel(const ppd_file_t* ppd) { return ModelFromNickname(ppd->nickname); }

PrintAs ReadPrintAs(ppd_file_t* ppd, const char* job_options, Messages& messages) {
  cups_option_t* options = nullptr;
  const int count = cupsParseOptions(job_options, 0, &options);
  const std::string option(kPrintAsOption);
  std::string value;
  if (const char* given = cupsGetOption(option.c_str(), count, options)) value = given;
  // The job's choices over the queue's defaults, the way libcups marks them.
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, count, options);
  cupsFreeOptions(count, options);
  if (value.empty()) {
    const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, option.c_str());
    if (marked == nullptr) return PrintAs::kAuto;  // a PPD from before the option
    value = marked->choice;
  }
  if (const std::optional<PrintAs> print_as = ParsePrintAs(value)) return *print_as;
  messages.Warning("Unknown %s value \"%s\"; printing as Auto", option.c_str(), value.c_str());
  return PrintAs::kAuto;
}

PpdIdentity CheckPpdIdentity(const ppd_file_t* ppd) {
  const char* product = ppd->product;
  if (product == nullptr || strlen(product) != 10 || strncmp(product + 1, "ZOVA-QRT", 8) != 0) {
    return PpdIdentity::kWrongProduct;
  }
  if (ppd->manufacturer == nullptr || strcmp(ppd->manufacturer, "ZOVA") != 0) {
    return PpdIdentity::kWrongManufacturer;
  }
  return PpdIdentity::kZova;
}

}  // namespace zova

#pragma GCC diagnostic pop
