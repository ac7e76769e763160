// Jobs through the printer application's own server: every document type it
// takes must come out as exactly the stream rastertozova prints for the same
// raster, and its options must reach the printer.
#include <gtest/gtest.h>

#include <fstream>

#include "app/app_test_fixture.h"
#include "ghostscript_filter.h"
#include "preview/stream_decoder.h"
#include "support/process.h"

namespace zova::testing {
namespace {

using preview::DecodedStream;
using preview::DecodeStream;

constexpr const char* kPassbook = "iso_b6_125x176mm";

class AppPrintTest : public AppTest {
 protected:
  void SetUp() override {
    AddPrinter("zova", "zova-qrt");
    AddPrinter("zovaoki", "zova-qrt-okidata");
  }

  // The job's stream must decode and equal the filter's for the same pages.
  void ExpectFilterStream(const std::vector<uint8_t>& stream,
                          const std::vector<ReferencePage>& pages, const std::string& command_set,
                          const char* ppd, const std::string& options = "") {
    const DecodedStream decoded = DecodeStream(stream);
    ASSERT_FALSE(decoded.error) << "byte " << decoded.error->offset << ": "
                                << decoded.error->message;
    EXPECT_EQ(decoded.pages.size(), pages.size());
    std::string error;
    const std::vector<uint8_t> expected =
        FilterStream(pages, command_set, PpdPath(ppd), &error, options);
    ASSERT_FALSE(expected.empty()) << error;
    EXPECT_TRUE(stream == expected)
        << "the app wrote " << stream.size() << " bytes, the filter " << expected.size();
  }
};

// The printer takes grey raster: the filter gets the same grey as RGB.
struct GreyPage {
  ReferencePage grey, rgb;
};

GreyPage GreyOf(const ReferencePage& page) {
  GreyPage out{page, page};
  out.grey.image.channels = 1;
  out.grey.image.pixels.clear();
  for (size_t i = 0; i < page.image.pixels.size(); i += 3) {
    const uint8_t v = page.image.pixels[i + 1];
    out.grey.image.pixels.push_back(v);
    for (int c = 0; c < 3; ++c) out.rgb.image.pixels[i + c] = v;
  }
  return out;
}

TEST_F(AppPrintTest, PwgRasterPrintsAsTheFilterDoes) {
  const cups_page_header2_t h = PwgHeader(kPassbook, 180);
  const GreyPage text = GreyOf(TextPage(h, 1)), photo = GreyOf(PhotoPage(h));
  const std::string file = TempFile("pages.pwg");
  ASSERT_TRUE(WritePwgRaster(file, {text.grey, photo.grey}));
  ExpectFilterStream(PrintJob("zova", file, "image/pwg-raster"), {text.rgb, photo.rgb}, "LQ",
                     "zovaqrt.ppd");

  // 360 dpi text, printed at 180 by merging pixel pairs, on the OKIDATA model.
  const GreyPage fine = GreyOf(TextPage(PwgHeader(kPassbook, 360), 2));
  ASSERT_TRUE(WritePwgRaster(file, {fine.grey}));
  ExpectFilterStream(PrintJob("zovaoki", file, "image/pwg-raster"), {fine.rgb}, "LQ",
                     "zovaqrto.ppd");
}

TEST_F(AppPrintTest, PngAndJpegPrintPixelForPixel) {
  // Images of the page's size at the printer's resolution print 1:1.
  const cups_page_header2_t h = PwgHeader(kPassbook, 180);
  const ReferencePage photo = PhotoPage(h);
  const std::string png = TempFile("photo.png");
  ASSERT_TRUE(WritePng(png, photo.image, 180));
  ExpectFilterStream(PrintJob("zova", png, "image/png", {"media=" + std::string(kPassbook)}),
                     {photo}, "LQ", "zovaqrt.ppd");

  // A grey JPEG prints as the image a decoder makes of it.
  ReferencePage text = TextPage(h, 3);
  Image grey{text.image.width, text.image.height, 1, {}};
  for (size_t i = 0; i < text.image.pixels.size(); i += 3)
    grey.pixels.push_back(text.image.pixels[i]);
  const std::string jpeg = TempFile("text.jpg");
  ASSERT_TRUE(WriteJpeg(jpeg, grey, 180));
  ASSERT_TRUE(ReadJpeg(jpeg, &text.image));
  ExpectFilterStream(PrintJob("zova", jpeg, "image/jpeg", {"media=" + std::string(kPassbook)}),
                     {text}, "LQ", "zovaqrt.ppd");
}

TEST_F(AppPrintTest, PdfPrintsAsItsGhostscriptRaster) {
  // Rasterised the way the app's filter does it, then the real filter.
  const cups_page_header2_t h = PwgHeader("iso_a4_210x297mm", 120);
  std::vector<std::string> gs = app::GhostscriptCommand(
      ZOVA_SAMPLE_PDF, h.HWResolution[0], h.HWResolution[1], h.cupsWidth, h.cupsHeight);
  gs[0] = ZOVA_GS;
  const ProcessResult raster = RunProcess(Command(gs));
  ASSERT_EQ(raster.status, 0) << raster.err;
  std::vector<ReferencePage> pages;
  for (Image& image : SplitPpm(raster.out)) {
    ReferencePage page;
    page.image = std::move(image);
    page.dpi[0] = page.dpi[1] = 120;
    page.pageSize[0] = h.PageSize[0];
    page.pageSize[1] = h.PageSize[1];
    pages.push_back(std::move(page));
  }
  ASSERT_EQ(pages.size(), 2u) << "the sample has a text page and a picture page";
  ExpectFilterStream(
      PrintJob("zova", ZOVA_SAMPLE_PDF, "application/pdf",
               {"printer-resolution=120x120dpi", "zova-command-set=native-commands"}),
      pages, "Native", "zovaqrt.ppd");
}

TEST_F(AppPrintTest, PipelineMessagesReachTheJobLogAndAFailedJobSaysWhy) {
  // A page's progress lines are in the server's log, against its job.
  const IppJob good = app_->Print("zova", ZOVA_SAMPLE_PDF, "application/pdf");
  ASSERT_GT(good.id, 0) << good.error;
  ASSERT_EQ(app_->WaitForJobEnd("zova", good.id, kJobTimeout), kJobCompleted);
  const std::string job = "[Job " + std::to_string(good.id) + "] ";
  for (const char* line : {"V1.0 PAGE: 1 ", "pic number:", "Shingling0:1"}) {
    EXPECT_NE(app_->Log().find(job + line), std::string::npos) << line << "\n" << app_->Log();
  }

  // A PDF cut short: Ghostscript prints nothing and exits 0; the job ends
  // with Ghostscript's reason, and its complaints are in the log.
  const std::vector<uint8_t> pdf = ReadBytes(ZOVA_SAMPLE_PDF);
  const std::string cut = TempFile("cut.pdf");
  std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(pdf.data()), 400);
  const IppJob bad = app_->Print("zova", cut, "application/pdf");
  ASSERT_GT(bad.id, 0) << bad.error;
  EXPECT_EQ(app_->WaitForJobEnd("zova", bad.id, kJobTimeout), kJobAborted);
  const auto attributes = app_->JobAttributes("zova", bad.id);
  ASSERT_EQ(attributes.at("job-state-message").size(), 1u);
  EXPECT_EQ(
      attributes.at("job-state-message")[0].rfind("Ghostscript could not read the document", 0), 0u)
      << attributes.at("job-state-message")[0];
  EXPECT_NE(app_->Log().find("[Job " + std::to_string(bad.id) + "] Ghostscript: "),
            std::string::npos);
}

TEST_F(AppPrintTest, CommandSetPerJobAndAsThePrintersDefault) {
  AddPrinter("zovadefault", "zova-qrt");
  const cups_page_header2_t h = PwgHeader(kPassbook, 180);
  const std::vector<ReferencePage> pages = {TextPage(h, 4)};
  const std::string png = TempFile("text.png");
  ASSERT_TRUE(WritePng(png, pages[0].image, 180));
  const std::string media = "media=" + std::string(kPassbook);

  ExpectFilterStream(
      PrintJob("zovadefault", png, "image/png", {media, "zova-command-set=native-commands"}), pages,
      "Native", "zovaqrt.ppd");
  // The printer's default reaches jobs that do not ask.
  std::string error;
  ASSERT_TRUE(app_->SetPrinterAttributes("zovadefault",
                                         {"zova-command-set-default=native-commands"}, &error))
      << error;
  EXPECT_EQ(app_->PrinterAttributes("zovadefault")["zova-command-set-default"],
            std::vector<std::string>{"native-commands"});
  ExpectFilterStream(PrintJob("zovadefault", png, "image/png", {media}), pages, "Native",
                     "zovaqrt.ppd");
  // A job's own choice wins over the default.
  ExpectFilterStream(
      PrintJob("zovadefault", png, "image/png", {media, "zova-command-set=lq-simulation"}), pages,
      "LQ", "zovaqrt.ppd");
}

TEST_F(AppPrintTest, PrintAsPerJobAndAsThePrintersDefault) {
  AddPrinter("zovaprintas", "zova-qrt");
  // A text page printed as a picture is halftoned, not thresholded.
  const cups_page_header2_t h = PwgHeader(kPassbook, 180);
  const std::vector<ReferencePage> pages = {TextPage(h, 5)};
  const std::string png = TempFile("printas.png");
  ASSERT_TRUE(WritePng(png, pages[0].image, 180));
  const std::string media = "media=" + std::string(kPassbook);
  // The job's own choice, then its print-content-optimize, then the
  // printer's defaults in the same order.
  const struct {
    std::vector<std::string> job, printer;
    const char* printsAs;
  } kCases[] = {
      {{"zova-print-as=picture"}, {}, "Picture"},
      {{"print-content-optimize=photo"}, {}, "Picture"},
      {{"print-content-optimize=text-and-graphic"}, {}, "Mixed"},
      {{"print-content-optimize=photo", "zova-print-as=text"}, {}, "Text"},
      {{}, {"print-content-optimize-default=photo"}, "Picture"},
      {{}, {"zova-print-as-default=mixed"}, "Mixed"},
      {{"print-content-optimize=graphic"}, {}, "Mixed"},
      // A job's "auto" leaves it to the printer.
      {{"print-content-optimize=auto"}, {}, "Mixed"},
      {{"print-content-optimize=auto"}, {"zova-print-as-default=auto"}, "Picture"},
  };
  for (const auto& c : kCases) {
    std::string error;
    if (!c.printer.empty()) {
      ASSERT_TRUE(app_->SetPrinterAttributes("zovaprintas", c.printer, &error)) << error;
    }
    std::vector<std::string> options = c.job;
    options.push_back(media);
    SCOPED_TRACE(c.printsAs);
    ExpectFilterStream(PrintJob("zovaprintas", png, "image/png", options), pages, "LQ",
                       "zovaqrt.ppd", std::string("ZovaPrintAs=") + c.printsAs);
  }
}

TEST_F(AppPrintTest, OffsetsFromTheMediaPageOrTheJob) {
  AddPrinter("zovaoffset", "zova-qrt");
  const cups_page_header2_t h = PwgHeader(kPassbook, 180);
  const std::vector<ReferencePage> pages = {TextPage(h, 6)};
  const std::string png = TempFile("offset.png");
  ASSERT_TRUE(WritePng(png, pages[0].image, 180));
  // The front slot's, as an operator sets them on the Media page.
  ASSERT_TRUE(app_->SetAdminPassword("sesame-123"));
  EXPECT_EQ(app_->PostForm("/zovaoffset/media", "sesame-123",
                           "ready0-size=iso_a4_210x297mm&ready0-type=stationery&"
                           "ready0-top-offset=2.5&ready0-left-offset=-1.5&"
                           "ready1-size=iso_a4_210x297mm&ready1-type=stationery"),
            200);
  ExpectFilterStream(PrintJob("zovaoffset", png, "image/png", {"media=" + std::string(kPassbook)}),
                     pages, "LQ", "zovaqrt.ppd", "ZovaTopOffset=2.5 ZovaLeftOffset=-1.5");
  // A job's own win.
  SCOPED_TRACE("the job's own");
  ExpectFilterStream(PrintJob("zovaoffset", png, "image/png",
                              {"media-col={media-size-name=" + std::string(kPassbook) +
                               " media-top-offset=-100 media-left-offset=300}"}),
                     pages, "LQ", "zovaqrt.ppd", "ZovaTopOffset=-1 ZovaLeftOffset=3");
}

TEST_F(AppPrintTest, HeadTravelAndFormLengthPerJobAndAsThePrintersDefault) {
  AddPrinter("zovatravel", "zova-qrt");
  const cups_page_header2_t h = PwgHeader(kPassbook, 180);
  const std::vector<ReferencePage> pages = {TextPage(h, 8)};
  const std::string png = TempFile("travel.png");
  ASSERT_TRUE(WritePng(png, pages[0].image, 180));
  const std::string media = "media=" + std::string(kPassbook);
  // The job's modelled time, as its log gives it ("about 14 s").
  const auto print = [&](const std::vector<std::string>& options, const std::string& ppd_options) {
    std::filesystem::remove(app_->Output("zovatravel"));
    const IppJob job = app_->Print("zovatravel", png, "image/png", options);
    EXPECT_EQ(app_->WaitForJobEnd("zovatravel", job.id, kJobTimeout), kJobCompleted);
    ExpectFilterStream(ReadBytes(app_->Output("zovatravel")), pages, "LQ", "zovaqrt.ppd",
                       ppd_options);
    const std::string log = app_->Log();
    const std::string line = "[Job " + std::to_string(job.id) + "] Modelled printing time: about ";
    const size_t at = log.find(line);
    return at == std::string::npos ? -1.0 : atof(log.c_str() + at + line.size());
  };
  const double full = print({media}, "");
  const double inked = print({media, "zova-head-travel=inked", "zova-form-length=exact"},
                             "ZovaHeadTravel=Inked ZovaFormLength=Exact");
  EXPECT_GT(inked, 0);
  EXPECT_LT(inked, full) << app_->Log();
  // The printer's defaults reach jobs that do not ask.
  std::string error;
  ASSERT_TRUE(app_->SetPrinterAttributes(
      "zovatravel", {"zova-head-travel-default=inked", "zova-form-length-default=exact"}, &error))
      << error;
  print({media}, "ZovaHeadTravel=Inked ZovaFormLength=Exact");
  print({media, "zova-head-travel=full", "zova-form-length=lines"}, "");
}

// The share of dots in a block of the page.
double Coverage(const PackedBitmap& dots, size_t x0, size_t y0, size_t w, size_t h) {
  size_t n = 0;
  for (size_t y = y0; y < y0 + h && y < dots.height(); ++y) {
    for (size_t x = x0; x < x0 + w && x < dots.width(); ++x) n += dots.Get(x, y) ? 1 : 0;
  }
  return static_cast<double>(n) / static_cast<double>(w * h);
}

TEST_F(AppPrintTest, TestPagePrintsThroughThePipeline) {
  AddPrinter("zovatestpage", "zova-qrt");
  // Job IDs count up across the server: the test page's is the next one.
  const std::string ps = TempFile("blank.ps");
  std::ofstream(ps) << "%!PS\nshowpage\n";
  const IppJob before = app_->Print("zovatestpage", ps, "application/postscript");
  ASSERT_GT(before.id, 0) << before.error;
  ASSERT_EQ(app_->WaitForJobEnd("zovatestpage", before.id, kJobTimeout), kJobCompleted);
  std::filesystem::remove(app_->Output("zovatestpage"));
  ASSERT_TRUE(app_->SetAdminPassword("sesame-123"));
  EXPECT_EQ(app_->PostForm("/zovatestpage/", "sesame-123", "action=print-test-page"), 200);
  ASSERT_EQ(app_->WaitForJobEnd("zovatestpage", before.id + 1, kJobTimeout), kJobCompleted)
      << app_->Log();

  const DecodedStream decoded = DecodeStream(ReadBytes(app_->Output("zovatestpage")));
  ASSERT_FALSE(decoded.error);
  ASSERT_EQ(decoded.pages.size(), 1u);
  const PackedBitmap& dots = decoded.pages[0].dots;
  // A4 at 180 dpi: the frame on the paper's top and left edges, solid.
  EXPECT_GT(Coverage(dots, 0, 0, 1488, 1), 0.99);
  EXPECT_GT(Coverage(dots, 0, 0, 1, 2104), 0.99);
  // The ramp is screened: somewhere a 15 mm square (106 dots) is an even
  // mid-tone, every 8x8 block of it partly printed, as no text is.
  bool screened = false;
  for (size_t y = 0; y + 106 <= dots.height() && !screened; y += 16) {
    for (size_t x = 0; x + 106 <= dots.width() && !screened; x += 16) {
      bool even = true;
      for (size_t by = y; by < y + 104 && even; by += 8) {
        for (size_t bx = x; bx < x + 104 && even; bx += 8) {
          const double c = Coverage(dots, bx, by, 8, 8);
          even = c > 0.1 && c < 0.9;
        }
      }
      screened = even;
    }
  }
  EXPECT_TRUE(screened);
}

TEST_F(AppPrintTest, PrinterOffersTheDriversChoices) {
  auto attributes = app_->PrinterAttributes("zovaoki");
  EXPECT_EQ(attributes["printer-make-and-model"],
            std::vector<std::string>{"ZOVA ZOVA-QRT OKIDATA"});
  EXPECT_EQ(attributes["print-color-mode-supported"],
            (std::vector<std::string>{"auto", "monochrome"}));
  EXPECT_EQ(attributes["pwg-raster-document-type-supported"], std::vector<std::string>{"sgray_8"});
  EXPECT_EQ(attributes["media-source-supported"],
            (std::vector<std::string>{"main", "tractor", "auto"}));
  EXPECT_EQ(attributes["printer-resolution-supported"],
            (std::vector<std::string>{"60x60dpi", "120x120dpi", "180x180dpi", "360x360dpi"}));
  EXPECT_EQ(attributes["printer-resolution-default"], std::vector<std::string>{"180x180dpi"});
  EXPECT_EQ(attributes["media-default"], std::vector<std::string>{"iso_a4_210x297mm"});
  EXPECT_EQ(attributes["media-supported"],
            (std::vector<std::string>{"iso_a4_210x297mm", "na_letter_8.5x11in", "na_legal_8.5x14in",
                                      "iso_a5_148x210mm", "custom_80-column_9.5x11in",
                                      "custom_136-column_15x11in", "custom_passbook_140x180mm",
                                      "custom_passbook-landscape_180x140mm", "iso_b6_125x176mm",
                                      "custom_min_3x3in", "custom_max_15x22in"}));
  EXPECT_EQ(attributes["zova-command-set-supported"],
            (std::vector<std::string>{"lq-simulation", "native-commands"}));
  EXPECT_EQ(attributes["zova-command-set-default"], std::vector<std::string>{"lq-simulation"});
  EXPECT_EQ(attributes["zova-print-as-supported"],
            (std::vector<std::string>{"auto", "text", "picture", "mixed"}));
  EXPECT_EQ(attributes["zova-print-as-default"], std::vector<std::string>{"auto"});
  const std::vector<std::string>& formats = attributes["document-format-supported"];
  for (const char* format : {"application/pdf", "application/postscript", "image/pwg-raster",
                             "image/urf", "image/png", "image/jpeg"}) {
    EXPECT_NE(std::find(formats.begin(), formats.end(), format), formats.end()) << format;
  }
}

}  // namespace
}  // namespace zova::testing
