// What a raster page asks for, and the pages the printer refuses.
#include "pipeline/page_request.h"

#include <gtest/gtest.h>

#include "cups/stderr_messages.h"
#include "testpage/testpage.h"

namespace zova {
namespace {

cups_page_header2_t Header(const char* type, unsigned r0, unsigned r1, unsigned width = 10) {
  testpage::PageDescription page;
  page.outputType = type;
  page.hwResolution[0] = r0;
  page.hwResolution[1] = r1;
  page.width = width;
  page.height = 20;
  return page.Header();
}

TEST(PageRequestTest, TakesGeometryAndCommandSetFromTheHeader) {
  StderrMessages messages;
  cups_page_header2_t h = Header("LQ", 360, 180, 101);
  h.cupsBytesPerLine = 310;  // rows may carry padding
  const std::optional<PageRequest> lq = RequestFromHeader(h, PrintAs::kAuto, 1, messages);
  ASSERT_TRUE(lq);
  EXPECT_EQ(lq->commandSet, CommandSetId::kLq);
  EXPECT_EQ(lq->resolution, (Resolution{360, 180}));
  EXPECT_EQ(lq->pageLength, 842u);
  EXPECT_EQ(lq->width, 101u);
  EXPECT_EQ(lq->height, 20u);
  EXPECT_EQ(lq->bytesPerLine, 310u);
  for (const char* native : {"Native", "N", "ZOVA", "lq"}) {
    EXPECT_EQ(RequestFromHeader(Header(native, 180, 180), PrintAs::kAuto, 1, messages)->commandSet,
              CommandSetId::kNative)
        << native;
  }
}

TEST(PageRequestTest, RefusesPagesThePrinterCannotTake) {
  StderrMessages messages;
  const char* lq_modes = "(60, 120, 180, 240 or 360 dpi)\n";
  cups_page_header2_t grey = Header("LQ", 180, 180);
  grey.cupsBitsPerPixel = 8;
  cups_page_header2_t narrow_lines = Header("LQ", 180, 180);
  narrow_lines.cupsBytesPerLine = 29;
  const struct {
    cups_page_header2_t header;
    std::string message;  // empty: the page is taken
  } cases[] = {
      {Header("", 180, 180), "ERROR: OutputType Error\n"},
      {Header("LQ", 180, 180, 0), "ERROR: Page 3 is empty (0x20 pixels); page skipped\n"},
      {grey, "ERROR: Page 3 has 8 bits per pixel; the printer needs 24-bit RGB; page skipped\n"},
      {narrow_lines,
       "ERROR: Page 3 has 29 bytes per line, too few for 10 RGB pixels; page skipped\n"},
      {Header("LQ", 300, 300),
       std::string("ERROR: The LQ command set cannot print at 300 dpi horizontally ") + lq_modes},
      {Header("LQ", 72, 72),
       std::string("ERROR: The LQ command set cannot print at 72 dpi horizontally ") + lq_modes},
      // The native set has no mode byte to miss.
      {Header("N", 300, 300), ""},
      {Header("LQ", 240, 72), ""},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    const std::optional<PageRequest> request =
        RequestFromHeader(c.header, PrintAs::kAuto, 3, messages);
    const bool taken = request && CheckPageRequest(*request, 3, messages);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(taken, c.message.empty()) << c.message;
    EXPECT_EQ(err, c.message);
  }
}

}  // namespace
}  // namespace zova
