// One page on its way through the spool directory: its raster copied row by
// row into a PPM spool image, with its dark pixels counted on the way. The
// spool files go with the object, on every way out of the page.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pipeline/page_classification.h"
#include "pipeline/page_planner.h"
#include "pipeline/page_request.h"
#include "pipeline/region_map.h"
#include "pipeline/spool_files.h"

namespace zova {

class PageSpool {
 public:
  PageSpool(const std::string& directory, const std::string& jobId, int page, Messages& messages)
      : messages_(messages),
        paths_(BuildSpoolPaths(directory, jobId, page)),
        halved_paths_(HalvedSpoolPaths(paths_)),
        writer_(messages) {}
  ~PageSpool();
  PageSpool(const PageSpool&) = delete;
  PageSpool& operator=(const PageSpool&) = delete;

  // Creates the PPM and writes its header. Reports the error and returns
  // false when the file cannot be created or the row buffer not allocated.
  // What else the page's plan needs is gathered on the way: its regions, a
  // copy averaged 2x2.
  [[nodiscard]] bool Begin(const PageRequest& request, const SpoolNeeds& needs);
  // The spool pass's own row buffer: fill it with one raster row, then
  // AppendRow.
  std::span<uint8_t> Row() { return row_; }
  // Appends the row in Row() to the PPM, counting it, or `classified` when
  // given in its place. False after the error when the file cannot be
  // written.
  [[nodiscard]] bool AppendRow(std::span<const uint8_t> classified = {});
  // Writes out what is buffered and closes the PPM.
  [[nodiscard]] bool Finish();

  const SpoolPaths& paths() const { return paths_; }
  const SpoolPaths& halvedPaths() const { return halved_paths_; }
  // The page's dark count; a page counted region by region has it from there.
  DarkCount count() const { return regions_ ? regions_->PageCount() : count_; }
  int headerLength() const { return header_length_; }
  // The regions of a page printed region by region.
  RegionMap Regions() const { return regions_ ? regions_->Classify() : RegionMap(); }

  // Deletes the spool files at the end of a printed page, logging failures;
  // `picture` when the halftoning tool has left its image.
  void Remove(bool picture);

 private:
  bool AppendHalvedRow(const uint8_t* second);

  Messages& messages_;
  SpoolPaths paths_;
  SpoolPaths halved_paths_;
  SpoolWriter writer_;
  std::vector<uint8_t> row_;
  DarkCount count_;
  int header_length_ = 0;
  bool removed_ = false;
  std::optional<RegionCounter> regions_;
  // The averaged copy: its writer, and the first row of the pair in hand.
  std::optional<SpoolWriter> halved_;
  std::vector<uint8_t> pending_;
  bool has_pending_ = false;
  std::vector<uint8_t> averaged_;
};

}  // namespace zova
