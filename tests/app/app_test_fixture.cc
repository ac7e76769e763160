#include "app/app_test_fixture.h"

#include <filesystem>
#include <fstream>

#include "testpage/testpage.h"

namespace zova::testing {

std::unique_ptr<PrivateApp> AppTest::app_;

cups_page_header2_t PwgHeader(const char* media, unsigned dpi) {
  cups_page_header2_t h;
  cupsRasterInitPWGHeader(&h, pwgMediaForPWG(media), "srgb_8", static_cast<int>(dpi),
                          static_cast<int>(dpi), "one-sided", nullptr);
  return h;
}

namespace {

ReferencePage PageOf(const cups_page_header2_t& h) {
  ReferencePage page;
  page.image.width = h.cupsWidth;
  page.image.height = h.cupsHeight;
  page.dpi[0] = h.HWResolution[0];
  page.dpi[1] = h.HWResolution[1];
  page.pageSize[0] = h.PageSize[0];
  page.pageSize[1] = h.PageSize[1];
  return page;
}

}  // namespace

ReferencePage TextPage(const cups_page_header2_t& h, unsigned seed) {
  ReferencePage page = PageOf(h);
  page.image.pixels.resize(size_t{h.cupsWidth} * h.cupsHeight * 3);
  const testpage::RowFill fill = testpage::FromBitmap(
      testpage::TextBitmap(h.cupsWidth, h.cupsHeight, seed, h.HWResolution[0]));
  for (unsigned y = 0; y < h.cupsHeight; ++y) {
    fill(y, page.image.pixels.data() + size_t{y} * h.cupsWidth * 3, h.cupsWidth);
  }
  return page;
}

ReferencePage PhotoPage(const cups_page_header2_t& h) {
  ReferencePage page = PageOf(h);
  page.image.pixels.resize(size_t{h.cupsWidth} * h.cupsHeight * 3);
  const testpage::RowFill fill = testpage::Photo(h.cupsHeight);
  for (unsigned y = 0; y < h.cupsHeight; ++y) {
    fill(y, page.image.pixels.data() + size_t{y} * h.cupsWidth * 3, h.cupsWidth);
  }
  return page;
}

std::string PpdPath(const char* name) { return std::string(ZOVA_PPD_DIR) + "/" + name; }

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  const std::string text = ReadFile(path);
  return {text.begin(), text.end()};
}

void AppTest::SetUpTestSuite() {
  std::string error;
  app_ = PrivateApp::Start(&error);
  ASSERT_TRUE(app_) << error;
}

void AppTest::TearDownTestSuite() { app_.reset(); }

void AppTest::AddPrinter(const std::string& printer, const std::string& driver) {
  ASSERT_TRUE(app_);
  if (!app_->PrinterAttributes(printer)["printer-name"].empty()) return;
  std::string error;
  ASSERT_TRUE(app_->AddPrinter(printer, driver, &error)) << error;
}

std::vector<uint8_t> AppTest::PrintJob(const std::string& printer, const std::string& file,
                                       const std::string& format,
                                       const std::vector<std::string>& attributes) {
  // PAPPL opens a file device for appending at every job.
  std::filesystem::remove(app_->Output(printer));
  const IppJob job = app_->Print(printer, file, format, attributes);
  EXPECT_GT(job.id, 0) << job.error;
  if (job.id <= 0) return {};
  const int state = app_->WaitForJobEnd(printer, job.id, kJobTimeout);
  EXPECT_EQ(state, kJobCompleted) << app_->Log();
  return ReadBytes(app_->Output(printer));
}

std::string AppTest::TempFile(const std::string& name) const {
  return (app_->dir() / name).string();
}

}  // namespace zova::testing
