#include "job/ppd_file.h"

#include <cstdio>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zova {

void PpdCloser::operator()(ppd_file_t* ppd) const { ppdClose(ppd); }

PpdPtr LoadPpd(const char* path) {
  PpdPtr ppd(ppdOpenFile(path));
  if (!ppd) {
    // libcups keeps its message catalogue behind a private call; the line
    // is written here in English.
    fputs("ERROR: The PPD file could not be opened.\n", stderr);
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    fprintf(stderr, "DEBUG: %s on line %d.\n", ppdErrorString(status), line);
  }
  return ppd;
}

const PrinterModel& PpdModel(const ppd_file_t* ppd) { return ModelFromNickname(ppd->nickname); }

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
