// One page from its raster header to the form feed: spool and classify the
// page, halftone pictures or threshold text, and hand every 1-bit row to the
// band routines.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "binarize/binarize.h"
#include "job/cancel.h"
#include "job/halftone_tool.h"
#include "job/job_context.h"
#include "job/spool_files.h"

namespace zova {
namespace {

// Channel sums: at most 730 is not near-white, below 301 is dark.
constexpr int kNearWhiteSum = 730;
constexpr int kDarkSum = 301;
// Pages whose dark share is below this are pictures; below the second, very
// light pictures that the tool screens differently.
constexpr double kPictureRatio = 0.3;
constexpr double kLightPictureRatio = 0.1;

void AnnouncePage(const JobContext& job) {
  const cups_page_header2_t& h = job.header;
  fprintf(stderr,
          "ERROR: V1.0 PAGE: %d %u Width:%u Height:%u PerLine:%u  RowCount:%u Resolution:%u %u "
          "pagesize:%u %u\n",
          job.page, h.NumCopies, h.cupsWidth, h.cupsHeight, h.cupsBytesPerLine, h.cupsRowCount,
          h.HWResolution[0], h.HWResolution[1], h.PageSize[0], h.PageSize[1]);
  fflush(stderr);
}

// The filter prints 24-bit chunky RGB only.
bool IsPrintableRaster(const JobContext& job) {
  const cups_page_header2_t& h = job.header;
  if (h.cupsWidth == 0 || h.cupsHeight == 0) {
    fprintf(stderr, "ERROR: Page %d is empty (%ux%u pixels); page skipped\n", job.page, h.cupsWidth,
            h.cupsHeight);
    return false;
  }
  if (h.cupsBitsPerPixel != 24) {
    fprintf(stderr,
            "ERROR: Page %d has %u bits per pixel; the printer needs 24-bit RGB; page skipped\n",
            job.page, h.cupsBitsPerPixel);
    return false;
  }
  if (h.cupsBytesPerLine / 3 < h.cupsWidth) {
    fprintf(stderr,
            "ERROR: Page %d has %u bytes per line, too few for %u RGB pixels; page skipped\n",
            job.page, h.cupsBytesPerLine, h.cupsWidth);
    return false;
  }
  return true;
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

struct DarkCount {
  long long iHis = 0;    // dark pixels
  long long iTotal = 0;  // pixels that are not near-white
};

void CountDarkPixels(const uint8_t* row, size_t pixels, DarkCount& count) {
  size_t i = 0;
  while (i < pixels) {
    if (i + 8 <= pixels && EightWhitePixels(row + 3 * i)) {
      i += 8;
      continue;
    }
    const uint8_t* px = row + 3 * i;
    const int sum = px[0] + px[1] + px[2];
    count.iTotal += sum <= kNearWhiteSum;
    count.iHis += sum < kDarkSum;
    ++i;
  }
}

// Copies the page into its PPM spool image while counting dark pixels.
// Returns the PPM header's length, or -1 when the job cannot go on.
int SpoolPage(JobContext& job, const SpoolPaths& paths, DarkCount& count) {
  SpoolWriter writer;
  const int head_len = CreatePpmSpool(paths.ppm, &job.header, &writer);
  if (head_len < 0) return -1;
  const unsigned bytes = job.header.cupsBytesPerLine;
  uint8_t* row = job.out.Planes[0].data();
  for (unsigned y = 0; y < job.header.cupsHeight && !Canceled; ++y) {
    if (cupsRasterReadPixels(job.ras, row, bytes) == 0) break;
    CountDarkPixels(row, bytes / 3, count);
    if (!writer.Write(row, bytes)) return -1;
  }
  if (!writer.Close()) return -1;
  return head_len;
}

// How the spooled page is read back.
struct ReadBack {
  std::string path;
  int iPbmHeadLen = 0;
  bool iPicFlag = false;
  bool iIs360DPI = false;
  size_t rowBytes = 0;  // bytes per row in the file
  uint8_t padding = 0;  // fills a short last row: white in either format
  int iWidth = 0;       // pixel pairs of a reduced row
  int iOddFlag = 0;     // the reduced row ends in an unpaired pixel
};

// Runs the halftoning tool and takes the page size from its image. Returns
// false when the image is unusable; a missing image shows when it is opened.
bool PreparePicture(JobContext& job, const SpoolPaths& paths, double dPicNo, ReadBack& rb) {
  cups_page_header2_t& h = job.header;
  // An image left by an earlier job must never print in place of this page.
  unlink(paths.pbm.c_str());
  RunHalftoneTool(paths.base, h.HWResolution[0], dPicNo < kLightPictureRatio ? 2 : 3);

  unsigned width = h.cupsWidth, height = h.cupsHeight;
  int head_len = 0;
  if (getSize(paths.pbm.c_str(), &width, &height, &head_len) == -2) return false;
  rb.path = paths.pbm;
  rb.iPbmHeadLen = head_len;
  rb.iPicFlag = true;
  rb.rowBytes = (width + 7) / 8;
  rb.padding = 0x00;
  // The band buffers hold the raster page's width and no more.
  if (width > job.out.PageColumns) {
    fprintf(stderr, "DEBUG: Halftone image is %u pixels wide, clipped to the page's %u\n", width,
            job.out.PageColumns);
    width = job.out.PageColumns;
  }
  h.cupsWidth = width;
  h.cupsHeight = height;
  h.cupsBytesPerLine = (width + 7) / 8;
  return true;
}

// A text page reads its PPM back; at 360x360 it is printed at 180x180 by
// merging pixel pairs and row pairs. Returns false when out of memory.
bool PrepareText(JobContext& job, const SpoolPaths& paths, int ppm_head_len, ReadBack& rb) {
  cups_page_header2_t& h = job.header;
  rb.path = paths.ppm;
  rb.iPbmHeadLen = ppm_head_len;
  rb.rowBytes = h.cupsBytesPerLine;
  rb.padding = 0xFF;
  if (h.HWResolution[0] == 360 && h.HWResolution[1] == 360) {
    rb.iIs360DPI = true;
    rb.iWidth = static_cast<int>(h.cupsWidth / 2);
    rb.iOddFlag = static_cast<int>(h.cupsWidth % 2);
    h.HWResolution[0] = 180;
    h.HWResolution[1] = 180;
    h.cupsWidth = (h.cupsWidth + 1) / 2;
    try {
      job.Plane360.assign(h.cupsBytesPerLine, 0);
    } catch (const std::bad_alloc&) {
      fputs("ERROR: Unable to allocate memory to Plane360\n", stderr);
      return false;
    }
  }
  return true;
}

// The next row of the read-back file, in place in the reader's buffer; a row
// cut short by the end of the file is padded.
ssize_t NextRow(SpoolReader& reader, const ReadBack& rb, uint8_t** row) {
  const ssize_t got = reader.Next(rb.rowBytes, row);
  if (got > 0 && static_cast<size_t>(got) < rb.rowBytes) {
    memset(*row + got, rb.padding, rb.rowBytes - static_cast<size_t>(got));
  }
  return got;
}

// Reads the page back row by row and hands each 1-bit row to the bands.
// Full-resolution text rows are converted where they lie in the reader's
// buffer; only their packed bits are copied.
void PrintRows(JobContext& job, SpoolReader& reader, const ReadBack& rb) {
  cups_page_header2_t& h = job.header;
  std::vector<uint8_t>& plane = job.out.Planes[0];
  for (unsigned y = 0; y < h.cupsHeight && !Canceled; ++y) {
    uint8_t* row = nullptr;
    const ssize_t got = NextRow(reader, rb, &row);
    if (got <= 0) {
      fprintf(stderr, "ERROR: readfile to Planes[0], iReadLen:%zd\n", got);
      break;
    }
    if (!rb.iPicFlag && !rb.iIs360DPI) {
      TransToGray(row, &h);
      memcpy(plane.data(), row, (h.cupsWidth + 7) / 8);
      OutputLine(job.out, &h);
      continue;
    }
    // Bytes of a picture row beyond the page's width are clipped.
    memcpy(plane.data(), row, std::min(rb.rowBytes, plane.size()));
    if (rb.iPicFlag) {
      OutputLine(job.out, &h);
      continue;
    }
    // Two raster rows make one printed row; an odd last row prints alone.
    TransToGray360(plane.data(), &h, rb.iWidth, rb.iOddFlag);
    if (y < h.cupsHeight - 1) {
      const ssize_t got2 = NextRow(reader, rb, &row);
      if (got2 <= 0) {
        fprintf(stderr, "ERROR: readfile to 360_2, iReadLen:%zd\n", got2);
        OutputLine(job.out, &h);  // the first row of the pair is already converted
        break;
      }
      ++y;
      memcpy(job.Plane360.data(), row, rb.rowBytes);
      TransToGray360(job.Plane360.data(), &h, rb.iWidth, rb.iOddFlag);
      const size_t packed = (h.cupsWidth + 7) / 8;
      for (size_t i = 0; i < packed; ++i) plane[i] |= job.Plane360[i];
    }
    OutputLine(job.out, &h);
  }
}

}  // namespace

PageResult ProcessPage(JobContext& job) {
  cups_page_header2_t& h = job.header;
  AnnouncePage(job);
  h.cupsRowCount = 24;  // one band of the 24-pin head
  if (!IsPrintableRaster(job) || !StartPage(job.out, job.ppd, &h)) {
    DropPageRows(job);
    return PageResult::kSkipped;
  }

  const SpoolPaths paths = BuildSpoolPaths(job.jobId, job.page);
  SpoolCleanup cleanup(paths);

  DarkCount count;
  const int ppm_head_len = SpoolPage(job, paths, count);
  if (ppm_head_len < 0) return PageResult::kFailed;

  // An all-white page counts nothing: 0/0 is not a number, compares false
  // and makes a text page.
  const double dPicNo = static_cast<double>(count.iHis) / static_cast<double>(count.iTotal);
  fprintf(stderr, "ERROR:pic number:%.2f\n", dPicNo);

  ReadBack rb;
  const bool prepared = dPicNo < kPictureRatio ? PreparePicture(job, paths, dPicNo, rb)
                                               : PrepareText(job, paths, ppm_head_len, rb);
  if (!prepared) return PageResult::kFailed;
  fprintf(stderr, "ERROR: cupsWidth:%u cupsHeight:%u PerLine:%u pbmHeadLen:%d\n", h.cupsWidth,
          h.cupsHeight, h.cupsBytesPerLine, rb.iPbmHeadLen);

  SpoolReader reader;
  errno = 0;
  if (!reader.Open(rb.path)) {
    fprintf(stderr, "ERROR: open %s error:%d\n", rb.path.c_str(), errno);
    return PageResult::kFailed;
  }
  fprintf(stderr, "ERROR: open %s ok %d\n", rb.path.c_str(), errno);

  // The header was checked when written or parsed: skip it.
  std::vector<uint8_t> head(static_cast<size_t>(rb.iPbmHeadLen) + 1, 0);
  reader.Read(head.data(), static_cast<size_t>(rb.iPbmHeadLen));
  fprintf(stderr, "ERROR: pbmHead %s ok \n", reinterpret_cast<const char*>(head.data()));

  PrintRows(job, reader, rb);
  EndPage(job.out, &h);
  reader.Close();

  RemoveSpoolFiles(paths, rb.iPicFlag);
  cleanup.Dismiss();
  return PageResult::kPrinted;
}

}  // namespace zova
