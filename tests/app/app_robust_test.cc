// The printer application as a service that runs unattended: no document
// holds the printer, pictures are not cropped, and what fails says why.
// Each fault is made by the test against the real server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "app/app_test_fixture.h"
#include "preview/stream_decoder.h"
#include "support/process.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

class AppRobustTest : public AppTest {
 protected:
  void SetUp() override { AddPrinter("robust", "zova-qrt"); }

  // Prints the document and waits for its job to end; its final state.
  int Run(const std::string& file, const std::string& format,
          const std::vector<std::string>& attributes = {}, int* id = nullptr) {
    std::filesystem::remove(app_->Output("robust"));
    const IppJob job = app_->Print("robust", file, format, attributes);
    EXPECT_GT(job.id, 0) << job.error;
    if (id != nullptr) *id = job.id;
    return job.id > 0 ? app_->WaitForJobEnd("robust", job.id, kJobTimeout) : 0;
  }

  std::string Message(int id) {
    const auto attributes = app_->JobAttributes("robust", id);
    const auto it = attributes.find("job-state-message");
    return it != attributes.end() && !it->second.empty() ? it->second[0] : "";
  }
};

TEST_F(AppRobustTest, BrokenImageEndsItsJobWithTheReasonAndTheNextJobPrints) {
  // A PNG signature and noise: PAPPL 1.3.1's reader loops on it for good.
  std::mt19937 noise(42);
  std::string bytes = "\x89PNG\r\n\x1a\n";
  for (int i = 0; i < 4000; ++i) bytes += static_cast<char>(noise());
  const std::string png = TempFile("noise.png"), jpeg = TempFile("noise.jpg");
  std::ofstream(png, std::ios::binary) << bytes;
  std::ofstream(jpeg, std::ios::binary) << "\xFF\xD8\xFF\xE0" << bytes.substr(8);
  const struct {
    std::string file, format, reason;
  } cases[] = {{png, "image/png", "Not a readable PNG image: "},
               {jpeg, "image/jpeg", "Not a readable JPEG image: "}};
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    int id = 0;
    EXPECT_EQ(Run(c.file, c.format, {}, &id), kJobAborted) << c.format;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
    EXPECT_EQ(Message(id).rfind(c.reason, 0), 0u) << Message(id);
  }
  // The printer is free for the next job.
  const cups_page_header2_t h = PwgHeader("iso_b6_125x176mm", 180);
  const std::string good = TempFile("good.png");
  ASSERT_TRUE(WritePng(good, TextPage(h, 7).image, 180));
  EXPECT_EQ(Run(good, "image/png", {"media=iso_b6_125x176mm"}), kJobCompleted);
}

TEST_F(AppRobustTest, LandscapePictureWithoutResolutionTurnsAndFitsWhole) {
  // A black landscape picture with a white square at a corner, no pixels
  // per inch: it prints turned and scaled to fit the portrait passbook whole
  // (1247 rows of 1/180 inch, 300 pixels to 1247 rows), square included.
  Image picture{300, 200, 1, std::vector<uint8_t>(300 * 200, 0)};
  for (unsigned y = 0; y < 30; ++y) {
    for (unsigned x = 0; x < 30; ++x) picture.pixels[y * 300 + x] = 255;
  }
  const std::string png = TempFile("landscape.png");
  ASSERT_TRUE(WritePng(png, picture, 0));
  ASSERT_EQ(Run(png, "image/png", {"media=iso_b6_125x176mm"}), kJobCompleted);
  const preview::DecodedStream decoded = preview::DecodeStream(ReadBytes(app_->Output("robust")));
  ASSERT_FALSE(decoded.error);
  ASSERT_EQ(decoded.pages.size(), 1u);
  const PackedBitmap& dots = decoded.pages[0].dots;
  size_t left = dots.width(), right = 0, top = dots.height(), bottom = 0;
  for (size_t y = 0; y < dots.height(); ++y) {
    for (size_t x = 0; x < dots.width(); ++x) {
      if (!dots.Get(x, y)) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  // 1247 rows by 1247 x 200 / 300 = 831 columns, centred on 885.
  EXPECT_NEAR(static_cast<double>(bottom - top + 1), 1247, 2);
  EXPECT_NEAR(static_cast<double>(right - left + 1), 831, 2);
  EXPECT_NEAR(static_cast<double>(left), (885 - 831) / 2, 2);
  // The white corner, 30 pixels scaled by 1247 / 300, lies inside.
  size_t holes = 0;
  for (size_t y = top; y <= bottom; ++y) {
    for (size_t x = left; x <= right; ++x) holes += !dots.Get(x, y);
  }
  EXPECT_NEAR(static_cast<double>(holes), 125.0 * 125.0, 125.0 * 125.0 * 0.1);
}

TEST_F(AppRobustTest, PdfPageLargerThanTheMediumIsScaledToFitNotCut) {
  // A frame around a page 200 inches wide and 8.5 inches high.
  const std::string pdf = TempFile("long.pdf");
  ASSERT_EQ(RunCommand({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                        "-dDEVICEWIDTHPOINTS=14400", "-dDEVICEHEIGHTPOINTS=612", "-dFIXEDMEDIA",
                        "-sOutputFile=" + pdf, "-c",
                        "20 setlinewidth 10 10 14380 592 rectstroke showpage"})
                .status,
            0);
  int id = 0;
  ASSERT_EQ(Run(pdf, "application/pdf", {}, &id), kJobCompleted);
  EXPECT_NE(app_->Log().find("[Job " + std::to_string(id) +
                             "] Page 1 of the document is 14400x612 points, larger than the "),
            std::string::npos);
  // Turned and scaled, the frame runs down the whole A4 page (2104 rows);
  // cut, it would end 612 points down.
  const preview::DecodedStream decoded = preview::DecodeStream(ReadBytes(app_->Output("robust")));
  ASSERT_FALSE(decoded.error);
  ASSERT_EQ(decoded.pages.size(), 1u);
  const PackedBitmap& dots = decoded.pages[0].dots;
  size_t top = dots.height(), bottom = 0;
  for (size_t y = 0; y < dots.height(); ++y) {
    for (size_t x = 0; x < dots.width(); ++x) {
      if (dots.Get(x, y)) top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  ASSERT_LT(top, bottom) << "nothing printed";
  EXPECT_GT(bottom - top, 2000u);
}

TEST_F(AppRobustTest, AddPrinterPageWorksWithoutAvahi) {
  // The tests' servers reach no system bus: DNS-SD browsing has no client.
  ASSERT_TRUE(app_->SetAdminPassword("sesame-123"));
  const auto [status, page] = app_->Get("/addprinter", "sesame-123");
  EXPECT_EQ(status, 200);
  EXPECT_NE(page.find("socket"), std::string::npos) << "typed network devices stay";
  EXPECT_EQ(app_->Get("/").first, 200) << "the server lives on";
  const CommandResult devices = app_->Command({"devices"});
  EXPECT_EQ(devices.status, 0) << devices.output;
}

// Ghostscript jobs against a server that gives Ghostscript 4 s a page.
class AppGhostscriptTest : public AppRobustTest {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    app_ = PrivateApp::Start(&error, {"ghostscript-page-seconds=4"});
    ASSERT_TRUE(app_) << error;
  }

  // Waits until the job is being printed.
  void WaitForProcessing(int id) {
    for (auto waited = 0ms; waited < 60s && app_->JobState("robust", id) != 5; waited += 50ms) {
      std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(app_->JobState("robust", id), 5) << "processing";
  }

  // Whether Ghostscript runs on a document of the server in `dir`: PAPPL
  // keeps the job's copy in its spool.
  static bool GhostscriptRuns(const std::filesystem::path& dir) {
    return RunCommand({"pgrep", "-f", "^gs .* " + (dir / "state/spool/p").string()}).status == 0;
  }

  // A small good job that must print after a bad one.
  void ExpectNextJobPrints() {
    const std::string ps = TempFile("next.ps");
    std::ofstream(ps) << "%!PS\n0 0 moveto 72 72 lineto stroke showpage\n";
    EXPECT_EQ(Run(ps, "application/postscript"), kJobCompleted) << app_->Log();
  }
};

TEST_F(AppGhostscriptTest, LoopingPostScriptEndsOnCancelAndOnItsTimeLimit) {
  const std::string loop = TempFile("loop.ps");
  std::ofstream(loop) << "%!PS\n{} loop\n";
  // Cancelled while Ghostscript computes: Ghostscript goes, the job ends.
  const IppJob job = app_->Print("robust", loop, "application/postscript");
  ASSERT_GT(job.id, 0) << job.error;
  WaitForProcessing(job.id);
  // The job is processing a moment before Ghostscript starts.
  for (auto waited = 0ms; waited < 10s && !GhostscriptRuns(app_->dir()); waited += 50ms) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(GhostscriptRuns(app_->dir()));
  const auto cancel = std::chrono::steady_clock::now();
  ASSERT_TRUE(app_->CancelJob("robust", job.id));
  EXPECT_EQ(app_->WaitForJobEnd("robust", job.id, kJobTimeout), kJobCanceled);
  EXPECT_LT(std::chrono::steady_clock::now() - cancel, 5s);
  EXPECT_FALSE(GhostscriptRuns(app_->dir()));
  ExpectNextJobPrints();

  // Left alone, it runs out of its time.
  int id = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(loop, "application/postscript", {}, &id), kJobAborted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
  EXPECT_EQ(Message(id), "Ghostscript took more than 4 s over a page and was stopped.");
  EXPECT_FALSE(GhostscriptRuns(app_->dir()));
  ExpectNextJobPrints();
}

TEST_F(AppGhostscriptTest, PostScriptSeesOnlyItsOwnInput) {
  // A document that lists, reads and writes files beside the server's own:
  // in /tmp, and in the server's temporary directory, where its state and
  // spool live (the tests start it with TMPDIR there).
  const std::string secret = "/tmp/zova-probe-" + std::to_string(getpid());
  std::ofstream(secret) << "SECRET-IN-TMP";
  chmod(secret.c_str(), 0600);
  const std::string own = TempFile("secret.txt");
  std::ofstream(own) << "SECRET-OF-THE-SERVER";
  chmod(own.c_str(), 0600);
  const std::string written = TempFile("written.txt"), written_tmp = secret + "-written";
  // What the test puts in /tmp goes, however the test ends.
  struct Removed {
    std::string path;
    ~Removed() { std::filesystem::remove(path); }
  } const remove_secret{secret}, remove_written{written_tmp};
  std::string probe = "%!PS\n";
  for (const std::string& dir : {std::string("/tmp"), app_->dir().string()}) {
    probe += "{ (" + dir + "/*) { print ( LISTED\\n) print } 256 string filenameforall } " +
             "stopped { (list refused\\n) print } if\n";
  }
  for (const std::string& file : {secret, own}) {
    probe += "{ (" + file + ") (r) file 64 string readstring pop print (\\n) print } " +
             "stopped { (read refused\\n) print } if\n";
  }
  for (const std::string& file : {written, written_tmp}) {
    probe += "{ (" + file + ") (w) file dup (OWNED) writestring closefile } " +
             "stopped { (write refused\\n) print } if\n";
  }
  probe += "0 0 moveto 72 72 lineto stroke showpage\n";
  const std::string ps = TempFile("probe.ps");
  std::ofstream(ps) << probe;
  int id = 0;
  EXPECT_EQ(Run(ps, "application/postscript", {}, &id), kJobCompleted);
  const std::string log = app_->Log();
  const std::string prefix = "[Job " + std::to_string(id) + "] Ghostscript: ";
  // Ghostscript may see only its input: PAPPL's copy of the document.
  const std::string document = (app_->dir() / "state/spool/p").string();
  size_t refused = 0;
  for (size_t at = log.find(prefix); at != std::string::npos; at = log.find(prefix, at + 1)) {
    const std::string line =
        log.substr(at + prefix.size(), log.find('\n', at) - at - prefix.size());
    if (line.find("LISTED") != std::string::npos) {
      EXPECT_EQ(line.rfind(document, 0), 0u) << line;
    }
    EXPECT_EQ(line.find("SECRET"), std::string::npos) << line;
    refused += line.find("refused") != std::string::npos;
  }
  EXPECT_EQ(refused, 4u) << log;
  EXPECT_FALSE(std::filesystem::exists(written));
  EXPECT_FALSE(std::filesystem::exists(written_tmp));
}

TEST_F(AppGhostscriptTest, StoppingServerEndsGhostscriptAtOnce) {
  std::string error;
  std::unique_ptr<PrivateApp> app = PrivateApp::Start(&error);
  ASSERT_TRUE(app) << error;
  ASSERT_TRUE(app->AddPrinter("stop", "zova-qrt", &error)) << error;
  const std::string loop = (app->dir() / "stop-loop.ps").string();
  std::ofstream(loop) << "%!PS\n{} loop\n";
  const IppJob job = app->Print("stop", loop, "application/postscript");
  ASSERT_GT(job.id, 0) << job.error;
  const std::filesystem::path dir = app->dir();
  for (auto waited = 0ms; waited < 60s && !GhostscriptRuns(dir); waited += 50ms) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(GhostscriptRuns(dir));
  const auto stop = std::chrono::steady_clock::now();
  app.reset();  // SIGTERM, and the server's exit is awaited
  EXPECT_LT(std::chrono::steady_clock::now() - stop, 10s);
  EXPECT_FALSE(GhostscriptRuns(dir)) << "Ghostscript outlived the server";
}

}  // namespace
}  // namespace zova::testing
