// The printer application and a printer that is off, goes off mid-job, or
// outlives a crash of the application: no job is lost, none prints twice,
// and the printer's state says what is wrong.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/app_test_fixture.h"
#include "app/socket_printer.h"
#include "preview/stream_decoder.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

// A PostScript document of `pages` pages, each with `lines` lines of text
// across the page: tens of kilobytes a page in the printer's stream.
std::string Document(const std::filesystem::path& dir, const std::string& name, int pages,
                     int lines = 20) {
  const std::string path = (dir / name).string();
  std::ofstream(path)
      << "%!PS\n/Helvetica findfont 14 scalefont setfont\n1 1 " << pages << " { /p exch def 1 1 "
      << lines
      << " { 40 exch 18 mul 800 exch sub moveto (Page ) show p 3 string cvs show "
         "( MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM) show } for showpage } "
         "for\n";
  return path;
}

// A recorded byte stream split into jobs at their 9800-NUL preambles: the
// pages each job printed, in order.
std::vector<size_t> PagesPerJob(const std::string& bytes) {
  const std::string preamble(9800, '\0');
  std::vector<size_t> starts;
  for (size_t at = bytes.find(preamble); at != std::string::npos;
       at = bytes.find(preamble, at + 1)) {
    // A run of NULs longer than a preamble is one preamble.
    if (!starts.empty() && at < starts.back() + preamble.size()) continue;
    starts.push_back(at);
  }
  std::vector<size_t> pages;
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
    const std::string job = bytes.substr(starts[i], end - starts[i]);
    const preview::DecodedStream decoded =
        preview::DecodeStream(reinterpret_cast<const uint8_t*>(job.data()), job.size());
    pages.push_back(decoded.error ? 0 : decoded.pages.size());
  }
  return pages;
}

class AppDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    app_ = PrivateApp::Start(&error);
    ASSERT_TRUE(app_) << error;
  }

  int Submit(const std::string& printer, const std::string& file) {
    const IppJob job = app_->Print(printer, file, "application/postscript");
    EXPECT_GT(job.id, 0) << job.error;
    return job.id;
  }

  std::vector<std::string> Reasons(const std::string& printer) {
    return app_->PrinterAttributes(printer)["printer-state-reasons"];
  }

  bool WaitFor(const std::function<bool()>& done, std::chrono::seconds timeout) {
    for (auto waited = 0ms; waited < timeout; waited += 100ms) {
      if (done()) return true;
      std::this_thread::sleep_for(100ms);
    }
    return done();
  }

  std::unique_ptr<PrivateApp> app_;
};

TEST_F(AppDeviceTest, OfflinePrinterIsOfflineNotPausedAndPrintsWhenItAnswers) {
  SocketPrinter printer;  // refuses connections
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("off", "zova-qrt", &error, printer.Uri())) << error;
  const int job = Submit("off", Document(app_->dir(), "one.ps", 1));
  ASSERT_TRUE(WaitFor([&] { return Reasons("off") == std::vector<std::string>{"offline"}; }, 30s))
      << ::testing::PrintToString(Reasons("off"));
  printer.Listen();
  EXPECT_EQ(app_->WaitForJobEnd("off", job, 60s), kJobCompleted);
  EXPECT_EQ(PagesPerJob(printer.Connections().at(0)), std::vector<size_t>{1});
  EXPECT_EQ(Reasons("off"), std::vector<std::string>{"none"});
}

TEST_F(AppDeviceTest, BrokenConnectionAbortsItsJobAndTheNextJobsPrintOnANewOne) {
  SocketPrinter printer;
  // The first connection breaks after the preamble and some of page 1.
  printer.Listen(20000);
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("cut", "zova-qrt", &error, printer.Uri())) << error;
  const int first = Submit("cut", Document(app_->dir(), "three.ps", 3, 40));
  const int second = Submit("cut", Document(app_->dir(), "two.ps", 2));
  EXPECT_EQ(app_->WaitForJobEnd("cut", first, 120s), kJobAborted);
  // Only pages that got to the printer whole count.
  const std::vector<std::string> impressions =
      app_->JobAttributes("cut", first)["job-impressions-completed"];
  const std::string sent = printer.Connections().at(0);
  const preview::DecodedStream got =
      preview::DecodeStream(reinterpret_cast<const uint8_t*>(sent.data()), sent.size());
  EXPECT_EQ(impressions, std::vector<std::string>{std::to_string(got.pages.size())});
  // The job waiting behind it prints, whole, on a connection of its own.
  EXPECT_EQ(app_->WaitForJobEnd("cut", second, 120s), kJobCompleted) << app_->Log();
  const std::vector<std::string> connections = printer.Connections();
  EXPECT_EQ(PagesPerJob(connections.back()), std::vector<size_t>{2});
  EXPECT_EQ(Reasons("cut"), std::vector<std::string>{"none"});
}

TEST_F(AppDeviceTest, CancelEndsAJobThePrinterTakesNoMoreOf) {
  SocketPrinter printer;
  printer.Stall();
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("stall", "zova-qrt", &error, printer.Uri())) << error;
  const int job = Submit("stall", Document(app_->dir(), "stalled.ps", 3, 40));
  ASSERT_TRUE(WaitFor([&] { return app_->JobState("stall", job) == 5; }, 30s));
  ASSERT_TRUE(WaitFor([&] { return printer.SenderBlocked(); }, 30s));  // the connection is full
  const auto cancel = std::chrono::steady_clock::now();
  ASSERT_TRUE(app_->CancelJob("stall", job));
  EXPECT_EQ(app_->WaitForJobEnd("stall", job, 60s), kJobCanceled);
  EXPECT_LT(std::chrono::steady_clock::now() - cancel, 5s);
  // The printer takes data again: the next job prints on a new connection.
  printer.Listen();
  const int next = Submit("stall", Document(app_->dir(), "after.ps", 1));
  EXPECT_EQ(app_->WaitForJobEnd("stall", next, 60s), kJobCompleted);
  EXPECT_EQ(PagesPerJob(printer.Connections().back()), std::vector<size_t>{1});
}

// A crash (SIGKILL) and the service's stop (SIGTERM) lose no job.
class AppStopTest : public AppDeviceTest, public ::testing::WithParamInterface<int> {
 protected:
  // Ends the server with the test's signal; PAPPL alone would take up to a
  // minute over a SIGTERM with jobs in hand, and abort them.
  void Stop() {
    const auto sent = std::chrono::steady_clock::now();
    app_->Kill(GetParam());
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 5s);
  }
};

TEST_P(AppStopTest, JobsWaitingPrintEachOnceInOrder) {
  SocketPrinter printer;  // off while the application crashes
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("crash", "zova-qrt", &error, printer.Uri())) << error;
  std::vector<int> jobs;
  for (int pages = 1; pages <= 3; ++pages) {
    jobs.push_back(Submit("crash", Document(app_->dir(), std::to_string(pages) + ".ps", pages)));
  }
  ASSERT_TRUE(WaitFor([&] { return app_->JobState("crash", jobs[0]) == 5; }, 30s));
  // The application saves its jobs within a second: all three with their
  // documents, the first at the printer (Job ... id="N" ... filename=...
  // state="5"). A job saved before its document came has none after the
  // restart.
  const auto saved = [&] {
    std::istringstream state(ReadFile(app_->dir() / "state" / "zova-printer-app.state"));
    int listed = 0;
    for (std::string line; std::getline(state, line);) {
      for (int job : jobs) {
        if (line.rfind("Job ", 0) == 0 &&
            line.find(" id=\"" + std::to_string(job) + "\"") != std::string::npos &&
            line.find(" filename=") != std::string::npos &&
            (job != jobs[0] || line.find(" state=\"5\"") != std::string::npos)) {
          ++listed;
        }
      }
    }
    return listed == 3;
  };
  ASSERT_TRUE(WaitFor(saved, 30s));
  Stop();
  ASSERT_TRUE(app_->Restart(&error)) << error;
  printer.Listen();
  for (int job : jobs) EXPECT_EQ(app_->WaitForJobEnd("crash", job, 120s), kJobCompleted) << job;
  std::string all;
  for (const std::string& connection : printer.Connections()) all += connection;
  EXPECT_EQ(PagesPerJob(all), (std::vector<size_t>{1, 2, 3}));
  // The printer takes new jobs as before.
  const int next = Submit("crash", Document(app_->dir(), "next.ps", 1));
  EXPECT_EQ(app_->WaitForJobEnd("crash", next, 60s), kJobCompleted);
}

TEST_P(AppStopTest, JobMidWayIsHeldUntilReleasedAndTheNextJobsPrint) {
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("mid", "zova-qrt", &error)) << error;
  // Long enough to be still printing when the stop, which takes up to a
  // second, comes.
  const int interrupted = Submit("mid", Document(app_->dir(), "long.ps", 400));
  const int next = Submit("mid", Document(app_->dir(), "short.ps", 1));
  ASSERT_TRUE(WaitFor(
      [&] {
        const auto done = app_->JobAttributes("mid", interrupted)["job-impressions-completed"];
        return !done.empty() && atoi(done[0].c_str()) >= 1;
      },
      120s));
  Stop();
  ASSERT_TRUE(app_->Restart(&error)) << error;
  // A passbook line must not print twice without somebody saying so.
  EXPECT_EQ(app_->WaitForJobEnd("mid", next, 120s), kJobCompleted);
  EXPECT_EQ(app_->JobState("mid", interrupted), 4) << "held";
  EXPECT_EQ(app_->JobAttributes("mid", interrupted)["job-state-message"].at(0).rfind("Held: ", 0),
            0u);
  ASSERT_TRUE(app_->JobOperation(IPP_OP_RELEASE_JOB, "mid", interrupted));
  EXPECT_EQ(app_->WaitForJobEnd("mid", interrupted, 240s), kJobCompleted);
}

INSTANTIATE_TEST_SUITE_P(Signals, AppStopTest, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == SIGKILL ? "Crash" : "Stop");
                         });

}  // namespace
}  // namespace zova::testing
