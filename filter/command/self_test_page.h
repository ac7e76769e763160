// The printer's self-test page, as CUPS's "Print Self-Test Page" asks for
// it: the alignment page drawn with the queue's command set, resolution,
// medium and offsets, the job's options over the queue's defaults, and
// printed as a raster page of that setup would be.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <optional>
#include <string>

#include "messages/messages.h"
#include "pipeline/page_driver.h"
#include "pipeline/page_offsets.h"
#include "testpage/testpage.h"

namespace zova {

struct SelfTestPage {
  // The raster header CUPS's own raster filters would give the job's
  // pages: the PPD's setup code with the job's options marked.
  cups_page_header2_t header;
  // What the page says of its setup, e.g. "Letter, 215.9 x 279.4 mm".
  std::string commandSet, media;
};

// The page setup, or nullopt with an error when the PPD and options give
// no raster page.
std::optional<SelfTestPage> SelfTestPageSetup(ppd_file_t* ppd, const char* job_options,
                                              Messages& messages);

// One page: the alignment page of that setup, showing these offsets and
// print-as choice.
class SelfTestPageSource final : public PageSource {
 public:
  void Set(const SelfTestPage& page, const PageOffsets& offsets, const char* print_as);

  bool NextPage(cups_page_header2_t& header) override;
  bool ReadRow(std::span<uint8_t> row) override;
  void SkipPage(const cups_page_header2_t&, const CancelToken&) override {}

 private:
  cups_page_header2_t header_{};
  testpage::RowFill fill_;
  bool given_ = true;  // nothing to give before Set
  unsigned row_ = 0;
};

}  // namespace zova
