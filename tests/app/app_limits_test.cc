// What waits is bounded at submission, and a raw job reaches the printer
// only when it decodes whole. Each limit is met by the test against the
// real server.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <fstream>

#include "app/app_test_fixture.h"
#include "preview/stream_decoder.h"
#include "support/temp_dir.h"

namespace zova::testing {
namespace {

const char* const kRaw = "application/vnd.zova-qrt";

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Message(const PrivateApp& app, const std::string& printer, int id) {
  const auto attributes = app.JobAttributes(printer, id);
  const auto it = attributes.find("job-state-message");
  return it != attributes.end() && !it->second.empty() ? it->second[0] : "";
}

// Print-Job over TCP: the job, and the IPP status libcups reports.
std::pair<IppJob, ipp_status_t> Submit(const PrivateApp& app, const std::string& file,
                                       const std::vector<std::string>& attributes = {
                                           "job-hold-until=indefinite"}) {
  IppJob job = app.Print("limits", file, "application/pdf", attributes);
  return {job, job.id > 0 ? IPP_STATUS_OK : cupsLastError()};
}

TEST(AppLimitsTest, OversizeAndFullQueueAreRefusedAtSubmission) {
  std::string error;
  const auto app = PrivateApp::Start(&error, {"max-document-size=64K", "max-jobs=2"});
  ASSERT_TRUE(app) << error;
  ASSERT_TRUE(app->AddPrinter("limits", "zova-qrt", &error)) << error;
  const std::string small = (app->dir() / "small.pdf").string();
  const std::string large = (app->dir() / "large.pdf").string();
  WriteBytes(small, std::string(60 * 1024, 'x'));
  WriteBytes(large, std::string(65 * 1024, 'x'));

  // HTTP 413 before a byte of the document is spooled, which libcups 2.4
  // reports as client-error-request-value-too-long; held jobs stay.
  EXPECT_EQ(Submit(*app, large).second, IPP_STATUS_ERROR_REQUEST_VALUE);
  EXPECT_EQ(Submit(*app, small).second, IPP_STATUS_OK);
  EXPECT_EQ(Submit(*app, small).second, IPP_STATUS_OK);
  // Two jobs held: the third is refused busy, over TCP and to the owner.
  EXPECT_EQ(Submit(*app, small).second, IPP_STATUS_ERROR_BUSY);
  const CommandResult owner = app->Command({"submit", "-d", "limits", small});
  EXPECT_NE(owner.status, 0) << owner.output;
  EXPECT_NE(app->Log().find("larger than max-document-size"), std::string::npos);
  // No documents in the spool but the two held ones.
  int spooled = 0;
  for (const auto& entry : std::filesystem::directory_iterator(app->dir() / "state/spool")) {
    spooled += entry.path().extension() == ".pdf";
  }
  EXPECT_EQ(spooled, 2);
}

// A spool of 4 MiB of its own keeps 1 MiB: a 2 MiB document fits once.
// Without the right to mount, a reserve larger than the free space.
TEST(AppLimitsTest, NearFullSpoolIsRefusedAtSubmission) {
  TempDir spool_dir;
  const std::string spool = spool_dir.path();
  const bool mounted = mount("zova-spool", spool.c_str(), "tmpfs", 0, "size=4m") == 0;
  struct Unmount {
    std::string path;
    bool mounted;
    ~Unmount() {
      if (mounted) umount2(path.c_str(), MNT_DETACH);
    }
  } unmount{spool, mounted};
  struct statvfs fs {};
  ASSERT_EQ(statvfs(spool.c_str(), &fs), 0);
  const unsigned long long free_mb = fs.f_bavail * fs.f_frsize >> 20;
  const std::string reserve = mounted ? "1M" : std::to_string(free_mb + 1024) + "M";
  std::string error;
  const auto app =
      PrivateApp::Start(&error, {"spool-directory=" + spool, "spool-reserve=" + reserve});
  ASSERT_TRUE(app) << error;
  ASSERT_TRUE(app->AddPrinter("limits", "zova-qrt", &error)) << error;
  const std::string document = (app->dir() / "two.pdf").string();
  WriteBytes(document, std::string(2 << 20, 'x'));
  if (mounted) {
    EXPECT_EQ(Submit(*app, document).second, IPP_STATUS_OK);
  }
  EXPECT_EQ(Submit(*app, document).second, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
  EXPECT_NE(app->Log().find("(spool-reserve)"), std::string::npos);
}

TEST(AppLimitsTest, ImageLargerThanTheServersImageMemoryEndsWithTheReason) {
  std::string error;
  const auto app = PrivateApp::Start(&error, {"image-memory=1M"});
  ASSERT_TRUE(app) << error;
  ASSERT_TRUE(app->AddPrinter("limits", "zova-qrt", &error)) << error;
  const std::string png = (app->dir() / "grey.png").string();
  ASSERT_TRUE(WritePng(png, Image{1200, 1000, 1, std::vector<uint8_t>(1200 * 1000, 128)}, 0));
  const IppJob job = app->Print("limits", png, "image/png");
  ASSERT_GT(job.id, 0) << job.error;
  EXPECT_EQ(app->WaitForJobEnd("limits", job.id, kJobTimeout), kJobAborted);
  EXPECT_NE(Message(*app, "limits", job.id).find("image memory is 1 MiB"), std::string::npos)
      << Message(*app, "limits", job.id);
}

class AppRawTest : public AppTest {
 protected:
  void SetUp() override { AddPrinter("raw", "zova-qrt"); }
};

TEST_F(AppRawTest, StreamThatDoesNotDecodeWholeIsRefusedAndValidOnePrintsByteForByte) {
  std::string error;
  const std::vector<uint8_t> valid = FilterStream({TextPage(PwgHeader("iso_a4_210x297mm", 180), 1)},
                                                  "LQ", PpdPath("zovaqrt.ppd"), &error);
  ASSERT_FALSE(valid.empty()) << error;
  const std::string valid_bytes(valid.begin(), valid.end());
  const std::string preamble(9800, '\0');
  const struct {
    const char* name;
    std::string bytes;
  } broken[] = {
      // A bit image of 65535 columns opened in ten bytes.
      {"trap", "HELLO\x1b*\x1b\xff\xff"},
      {"open bit image", preamble +
                             "\x1b@\x1b"
                             "6\r\x1b*\x1b\xff\xff" +
                             std::string(100, '\x55')},
      {"bytes past the end", valid_bytes + "HELLO"},
  };
  for (const auto& c : broken) {
    const std::string file = TempFile("broken.prn");
    WriteBytes(file, c.bytes);
    const auto oracle =
        preview::DecodeStream(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    ASSERT_TRUE(oracle.error) << c.name;
    std::filesystem::remove(app_->Output("raw"));
    const IppJob job = app_->Print("raw", file, kRaw);
    ASSERT_GT(job.id, 0) << job.error;
    EXPECT_EQ(app_->WaitForJobEnd("raw", job.id, kJobTimeout), kJobAborted) << c.name;
    const std::string message = Message(*app_, "raw", job.id);
    EXPECT_NE(message.find("at byte " + std::to_string(oracle.error->offset) + ", " +
                           oracle.error->message),
              std::string::npos)
        << c.name << ": " << message;
    EXPECT_EQ(
        std::filesystem::exists(app_->Output("raw")) ? ReadBytes(app_->Output("raw")).size() : 0u,
        0u)
        << c.name;
  }
  const std::string file = TempFile("valid.prn");
  WriteBytes(file, valid_bytes);
  EXPECT_EQ(PrintJob("raw", file, kRaw), valid);
}

}  // namespace
}  // namespace zova::testing
