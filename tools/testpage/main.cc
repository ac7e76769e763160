// zova-testpage: writes a CUPS raster job of generated pages, A4 unless
// their size in pixels is given; a page of a given size says so in its
// PageSize, in points at its resolution.
//
//   zova-testpage [--uncompressed] OUT PAGE...
//
// PAGE is CONTENT:OUTPUTTYPE:DPI or CONTENT:OUTPUTTYPE:XDPIxYDPI, then
// optionally :WIDTHxHEIGHT; CONTENT one of text, photo, form (text beside a
// photo, a grey title, a shaded box and a coloured logo), white, grey,
// ppm=FILE, or alignment (the printer's test page: frame, rulers, grey ramp
// and settings, to be printed with ZovaPrintAs=Mixed; alignment=TOP,LEFT
// names the offsets in millimetres it shows). Example: text:LQ:180
// photo:N:360 grey:LQ:360:64x48 alignment=1.5,-0.5:LQ:180
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dotmatrix/page_plan.h"
#include "testpage/alignment_page.h"
#include "testpage/testpage.h"

namespace {

using namespace zova::testpage;

// The test page as the printer's test page prints it: mixed print-as, so
// its ramp is halftoned and its text thresholded.
bool AlignmentPage(const std::string& content, bool a4, PageDescription* page) {
  TestPageSettings settings;
  if (content != "alignment") {
    int end = 0;
    if (sscanf(content.c_str(), "alignment=%lf,%lf%n", &settings.topOffsetMm,
               &settings.leftOffsetMm, &end) != 2 ||
        static_cast<size_t>(end) != content.size() || !std::isfinite(settings.topOffsetMm) ||
        !std::isfinite(settings.leftOffsetMm)) {
      return false;
    }
  }
  settings.commandSet = zova::CommandSetOf(page->outputType).label;
  settings.printAs = "Mixed";
  settings.dpiX = page->hwResolution[0];
  settings.dpiY = page->hwResolution[1];
  char media[96];
  snprintf(media, sizeof media, "%.1f x %.1f mm (%u x %u px)", page->width * 25.4 / settings.dpiX,
           page->height * 25.4 / settings.dpiY, page->width, page->height);
  settings.media = a4 ? "A4" : media;
  page->fill = TestPageRows(settings, page->width, page->height);
  return true;
}

bool ParsePage(const std::string& arg, unsigned seed, PageDescription* page) {
  const size_t a = arg.find(':');
  const size_t b = a == std::string::npos ? a : arg.find(':', a + 1);
  if (b == std::string::npos) return false;
  const std::string content = arg.substr(0, a);
  const std::string type = arg.substr(a + 1, b - a - 1);
  unsigned x = 0, y = 0;
  const size_t c = arg.find(':', b + 1);
  const std::string dpi = arg.substr(b + 1, c == std::string::npos ? c : c - b - 1);
  if (sscanf(dpi.c_str(), "%ux%u", &x, &y) != 2) {
    if (sscanf(dpi.c_str(), "%u", &x) != 1) return false;
    y = x;
  }
  if (x == 0 || y == 0) return false;
  *page = A4Page(x, y, type);
  if (c != std::string::npos) {
    if (sscanf(arg.c_str() + c + 1, "%ux%u", &page->width, &page->height) != 2 ||
        page->width == 0 || page->height == 0) {
      return false;
    }
    // The size in points the pixels make at the page's resolution, as CUPS
    // gives it for a medium of that size.
    page->pageSize[0] = static_cast<unsigned>(std::lround(page->width * 72.0 / x));
    page->pageSize[1] = static_cast<unsigned>(std::lround(page->height * 72.0 / y));
  }
  if (content == "alignment" || content.rfind("alignment=", 0) == 0) {
    return AlignmentPage(content, c == std::string::npos, page);
  }
  if (content == "text") {
    page->fill = FromBitmap(TextBitmap(page->width, page->height, seed, x));
  } else if (content == "form") {
    page->fill = FormPage(page->width, page->height, x);
  } else if (content == "photo") {
    page->fill = Photo(page->height);
  } else if (content == "white") {
    page->fill = White();
  } else if (content == "grey") {
    page->fill = Solid(160, 160, 160);
  } else if (content.rfind("ppm=", 0) == 0) {
    page->fill = FromPpm(content.substr(4));
  } else {
    return false;
  }
  return true;
}

std::string Usage(const char* program) {
  return std::string("Usage: ") + program +
         " [--uncompressed] OUT PAGE...\n"
         "  PAGE is CONTENT:OUTPUTTYPE:DPI[:WIDTHxHEIGHT], DPI as 180 or 360x180, the\n"
         "  size in pixels (A4 when left out). OUTPUTTYPE LQ, or any other for native.\n"
         "  CONTENT is one of:\n"
         "    text         lines of glyph-like strokes\n"
         "    photo        a photo-like scene\n"
         "    form         text beside a photo, a grey title, a shaded box, a logo\n"
         "    white        a blank page\n"
         "    grey         a flat grey\n"
         "    ppm=FILE     the rows of a P6 PPM file\n"
         "    alignment    the printer's test page: frame, rulers, grey ramp and its\n"
         "                 settings; alignment=TOP,LEFT shows these offsets in mm.\n"
         "                 Print it with ZovaPrintAs=Mixed.\n"
         "  Example: zova-testpage page.ras alignment:LQ:180:992x1276 (a 140 x 180 mm\n"
         "  passbook)\n";
}

}  // namespace

int main(int argc, char* argv[]) {
  int arg = 1;
  bool compressed = true;
  if (arg < argc && strcmp(argv[arg], "--uncompressed") == 0) {
    compressed = false;
    ++arg;
  }
  if (argc - arg < 2) {
    fprintf(stderr, "%s", Usage(argv[0]).c_str());
    return 2;
  }
  const std::string out = argv[arg++];
  std::vector<PageDescription> pages;
  for (; arg < argc; ++arg) {
    PageDescription page;
    if (!ParsePage(argv[arg], static_cast<unsigned>(pages.size() + 1), &page)) {
      fprintf(stderr, "ERROR: Bad page description \"%s\"\n%s", argv[arg], Usage(argv[0]).c_str());
      return 2;
    }
    pages.push_back(std::move(page));
  }
  if (!WriteRasterFile(out, pages, compressed)) {
    fprintf(stderr, "ERROR: Unable to write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
