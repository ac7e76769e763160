// One page of the CUPS raster: announce it, check what it asks for, spool it
// while counting its dark pixels, and print it.
#include <algorithm>
#include <cstdio>

#include "job/cancel.h"
#include "job/job_context.h"
#include "job/page_spool.h"

namespace zova {
namespace {

void AnnouncePage(const JobContext& job) {
  const cups_page_header2_t& h = job.header;
  fprintf(stderr,
          "ERROR: V1.0 PAGE: %d %u Width:%u Height:%u PerLine:%u  RowCount:%u Resolution:%u %u "
          "pagesize:%u %u\n",
          job.page, h.NumCopies, h.cupsWidth, h.cupsHeight, h.cupsBytesPerLine, h.cupsRowCount,
          h.HWResolution[0], h.HWResolution[1], h.PageSize[0], h.PageSize[1]);
  fflush(stderr);
}

// Reads the rows of a page that is not printed, so that the next header is
// read where it starts.
void DropPageRows(JobContext& job) {
  uint8_t chunk[64 * 1024];
  unsigned long long left =
      static_cast<unsigned long long>(job.header.cupsBytesPerLine) * job.header.cupsHeight;
  while (left > 0 && !Canceled) {
    const unsigned take = static_cast<unsigned>(std::min<unsigned long long>(left, sizeof chunk));
    if (cupsRasterReadPixels(job.ras, chunk, take) == 0) break;
    left -= take;
  }
}

// Copies the page's raster rows into the spool. A raster that ends early
// ends the pass; the page prints what arrived.
bool SpoolRaster(JobContext& job, const PageRequest& request, PageSpool& spool) {
  if (!spool.Begin(request)) return false;
  const std::span<uint8_t> row = spool.Row();
  for (unsigned y = 0; y < request.height && !Canceled; ++y) {
    if (cupsRasterReadPixels(job.ras, row.data(), static_cast<unsigned>(row.size())) == 0) break;
    if (!spool.AppendRow()) return false;
  }
  return spool.Finish();
}

}  // namespace

PageResult ProcessPage(JobContext& job) {
  AnnouncePage(job);
  std::optional<PageRequest> request = RequestFromHeader(job.header, job.page);
  if (request) request->printAs = job.printAs;
  if (!request || !CheckPageRequest(*request, job.page)) {
    DropPageRows(job);
    return PageResult::kSkipped;
  }
  PageSpool spool(job.printer.jobId, job.page);
  if (!SpoolRaster(job, *request, spool)) return PageResult::kFailed;
  return PrintSpooledPage(job.printer, *request, spool);
}

}  // namespace zova
