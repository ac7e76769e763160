#include "command/self_test_page.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dotmatrix/page_plan.h"
#include "testpage/alignment_page.h"

// libcups 2.4 marks its PPD API deprecated, yet a CUPS driver still reads
// its PPD through it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zova {

std::optional<SelfTestPage> SelfTestPageSetup(ppd_file_t* ppd, const char* job_options,
                                              Messages& messages) {
  cups_option_t* options = nullptr;
  const int count = cupsParseOptions(job_options, 0, &options);
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, count, options);
  SelfTestPage page;
  memset(&page.header, 0, sizeof page.header);
  const int interpreted = cupsRasterInterpretPPD(&page.header, ppd, count, options, nullptr);
  cupsFreeOptions(count, options);
  const cups_page_header2_t& h = page.header;
  if (interpreted != 0 || h.cupsWidth == 0 || h.cupsHeight == 0 || h.cupsBitsPerPixel != 24) {
    messages.Error("The queue's settings give no page to print the self-test page on (%s)",
                   interpreted != 0 ? cupsRasterErrorString() : "no 24-bit RGB raster");
    return std::nullopt;
  }
  // The filter reads the command set the same way.
  page.commandSet = CommandSetOf(h.OutputType).label;
  const ppd_choice_t* size = ppdFindMarkedChoice(ppd, "PageSize");
  char text[128];
  snprintf(text, sizeof text, "%s, %.1f x %.1f mm", size != nullptr ? size->choice : "Custom",
           h.cupsPageSize[0] * 25.4 / 72, h.cupsPageSize[1] * 25.4 / 72);
  page.media = text;
  return page;
}

void SelfTestPageSource::Set(const SelfTestPage& page, const PageOffsets& offsets,
                             const char* print_as) {
  header_ = page.header;
  testpage::TestPageSettings s;
  s.commandSet = page.commandSet;
  s.printAs = print_as;
  s.dpiX = header_.HWResolution[0];
  s.dpiY = header_.HWResolution[1];
  s.topOffsetMm = offsets.top / 100.0;
  s.leftOffsetMm = offsets.left / 100.0;
  s.media = page.media;
  fill_ = testpage::TestPageRows(s, header_.cupsWidth, header_.cupsHeight);
  given_ = false;
}

bool SelfTestPageSource::NextPage(cups_page_header2_t& header) {
  if (given_) return false;
  given_ = true;
  row_ = 0;
  header = header_;
  return true;
}

bool SelfTestPageSource::ReadRow(std::span<uint8_t> row) {
  if (row_ >= header_.cupsHeight) return false;
  fill_(row_++, row.data(),
        static_cast<unsigned>(std::min<size_t>(header_.cupsWidth, row.size() / 3)));
  return true;
}

}  // namespace zova

#pragma GCC diagnostic pop
