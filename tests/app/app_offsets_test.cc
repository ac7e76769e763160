// Media offsets the printer cannot apply are refused where they are given,
// and "modify -v" moves a printer to another device.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/app_test_fixture.h"
#include "app/socket_printer.h"
#include "preview/stream_decoder.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPassbook = "iso_b6_125x176mm";
constexpr const char* kForm =
    "ready0-size=iso_a4_210x297mm&ready0-type=stationery&ready0-left-offset=0&"
    "ready1-size=iso_a4_210x297mm&ready1-type=stationery&ready0-top-offset=";

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

class AppOffsetsTest : public AppTest {
 protected:
  // A request to the printer over TCP, or as the owner over the local socket.
  Ipp Send(ipp_op_t op, const std::string& printer, bool owner,
           const std::function<void(ipp_t*)>& fill, const std::string& file = "") {
    const std::unique_ptr<http_t, HttpCloser> http(
        owner ? httpConnect2(app_->LocalSocket().c_str(), 0, nullptr, AF_LOCAL,
                             HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr)
              : httpConnect2("127.0.0.1", app_->port(), nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1,
                             10000, nullptr));
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 app_->PrinterUri(printer).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 "tester");
    fill(request);
    return Ipp(cupsDoFileRequest(http.get(), request, ("/ipp/print/" + printer).c_str(),
                                 file.empty() ? nullptr : file.c_str()));
  }

  // The front slot's ready top offset, 1/100 mm.
  int ReadyTop(const std::string& printer) {
    const Ipp response = Send(IPP_OP_GET_PRINTER_ATTRIBUTES, printer, true, [](ipp_t*) {});
    ipp_attribute_t* ready = ippFindAttribute(response.get(), "media-col-ready", IPP_TAG_ZERO);
    return ippGetInteger(
        ippFindAttribute(ippGetCollection(ready, 0), "media-top-offset", IPP_TAG_INTEGER), 0);
  }

  // A job on a passbook with its own top offset; the first dot row printed.
  Ipp Job(const std::string& printer, bool owner, int top, ipp_op_t op = IPP_OP_PRINT_JOB) {
    return Send(
        op, printer, owner,
        [&](ipp_t* request) {
          ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                       "image/png");
          ipp_t* col = ippNew();
          ippAddString(col, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-size-name", nullptr, kPassbook);
          ippAddInteger(col, IPP_TAG_ZERO, IPP_TAG_INTEGER, "media-top-offset", top);
          ippAddCollection(request, IPP_TAG_JOB, "media-col", col);
          ippDelete(col);
        },
        op == IPP_OP_VALIDATE_JOB ? "" : png_);
  }

  size_t FirstRow(const std::string& printer, bool owner, int top) {
    std::filesystem::remove(app_->Output(printer));
    const Ipp response = Job(printer, owner, top);
    const int id = ippGetInteger(ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER), 0);
    EXPECT_EQ(app_->WaitForJobEnd(printer, id, kJobTimeout), 9) << app_->Log();
    const auto decoded = preview::DecodeStream(ReadBytes(app_->Output(printer)));
    EXPECT_FALSE(decoded.error);
    if (decoded.pages.empty()) return 0;
    const PackedBitmap& dots = decoded.pages[0].dots;
    for (size_t y = 0; y < dots.height(); ++y) {
      for (size_t x = 0; x < dots.width(); ++x) {
        if (dots.Get(x, y)) return y;
      }
    }
    return 0;
  }

  void SetUp() override {
    AddPrinter("offsets", "zova-qrt");
    png_ = TempFile("offsets.png");
    const cups_page_header2_t h = PwgHeader(kPassbook, 180);
    ASSERT_TRUE(WritePng(png_, TextPage(h, 3).image, 180));
    ASSERT_TRUE(app_->SetAdminPassword("sesame-123"));
  }
  std::string png_;
};

TEST_F(AppOffsetsTest, OffsetsOutOfRangeAreRefusedAndTheSavedOneApplies) {
  ASSERT_EQ(app_->PostForm("/offsets/media", "sesame-123", std::string(kForm) + "5"), 200);
  ASSERT_EQ(ReadyTop("offsets"), 500);
  for (const char* bad : {"12", "-10.5", "1e9", "nan", "five", ""}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(app_->PostForm("/offsets/media", "sesame-123", std::string(kForm) + bad), 200);
    EXPECT_EQ(ReadyTop("offsets"), 500);
  }
  // Over IPP, from anyone and from the administrator.
  for (ipp_op_t op : {IPP_OP_VALIDATE_JOB, IPP_OP_PRINT_JOB}) {
    const Ipp response = Job("offsets", false, 5000, op);
    EXPECT_EQ(ippGetStatusCode(response.get()), IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES);
    ipp_attribute_t* refused = ippFindAttribute(response.get(), "media-col", IPP_TAG_ZERO);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(ippGetGroupTag(refused), IPP_TAG_UNSUPPORTED_GROUP);
  }
  // The owner's job prints with the saved 5 mm: 35 rows at 180 dpi lower
  // than with none.
  const size_t none = FirstRow("offsets", false, 0);
  EXPECT_EQ(FirstRow("offsets", true, 5000), none + 35);
  EXPECT_NE(app_->Log().find("media-top-offset 5000 is beyond"), std::string::npos);
  // Nor may the ready media take one: refused over TCP, put back if the
  // owner stores one.
  std::string error;
  const std::string bad_ready =
      "media-col-ready={media-size-name=iso_a4_210x297mm media-source=main media-top-offset=2000}";
  EXPECT_FALSE(app_->SetPrinterAttributes("offsets", {bad_ready}, &error, false));
  EXPECT_EQ(ReadyTop("offsets"), 500);
}

TEST_F(AppOffsetsTest, ModifyMovesThePrinterToAnotherDevice) {
  SocketPrinter first, second;
  first.Listen();
  second.Listen();
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("moving", "zova-qrt", &error, first.Uri())) << error;
  ASSERT_EQ(app_->PostForm("/moving/media", "sesame-123", std::string(kForm) + "2.5"), 200);
  const auto moved = app_->Command({"modify", "-d", "moving", "-v", second.Uri()});
  ASSERT_EQ(moved.status, 0) << moved.output;
  EXPECT_EQ(ReadyTop("moving"), 250);
  for (int round = 0; round < 2; ++round) {
    const IppJob job = app_->Print("moving", png_, "image/png");
    ASSERT_GT(job.id, 0) << job.error;
    EXPECT_EQ(app_->WaitForJobEnd("moving", job.id, kJobTimeout), 9);
    EXPECT_EQ(first.Connections().size(), 0u);
    EXPECT_EQ(second.Connections().size(), static_cast<size_t>(round + 1));
    if (round == 0) {
      ASSERT_TRUE(app_->Restart(&error)) << error;
    }
  }
  // A device nobody can print to, or an unknown printer: refused.
  EXPECT_NE(app_->Command({"modify", "-d", "moving", "-v", "bogus://x"}).status, 0);
  EXPECT_NE(app_->Command({"modify", "-d", "nobody", "-v", second.Uri()}).status, 0);
}

}  // namespace
}  // namespace zova::testing
