// One server per state directory and local socket, an unreadable state
// file, and what the small commands say: each fault made against the real
// server.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <thread>

#include "app/app_test_fixture.h"
#include "app/reference_stream.h"
#include "preview/stream_decoder.h"
#include "support/process.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class AppServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    app_ = PrivateApp::Start(&error);
    ASSERT_TRUE(app_) << error;
    ASSERT_TRUE(app_->AddPrinter("counter7", "zova-qrt", &error)) << error;
  }

  fs::path State(const std::string& name = "") const { return app_->dir() / "state" / name; }

  // A second server as the first was started, but on `state_dir` and its own
  // port; its exit status and output once it ends (it must, at once).
  CommandResult SecondServer(const fs::path& state_dir) const {
    const std::string d = app_->dir().string();
    ProcessOptions options;
    options.args = {ZOVA_PRINTER_APP,
                    "server",
                    "-o",
                    "state-directory=" + state_dir.string(),
                    "-o",
                    "log-file=-",
                    "-o",
                    "listen-hostname=127.0.0.1",
                    "-o",
                    "server-port=" + std::to_string(app_->port() + 1)};
    options.env = {{"TMPDIR", d}, {"SNAP_COMMON", d}, {"ZOVA_HALFTONE_TOOL", ZOVA_HALFTONE_TOOL}};
    options.stderrToStdout = true;
    Process second(options);
    for (auto waited = 0ms; second.Running() && waited < 30s; waited += 50ms) {
      std::this_thread::sleep_for(50ms);
    }
    const ProcessResult result = second.Stop(1s);
    return {result.status, result.out};
  }

  std::string Message(int id) const {
    const auto message = app_->JobAttributes("counter7", id)["job-state-message"];
    return message.empty() ? "" : message[0];
  }

  // The job-state-message of a PWG raster job that must abort; it is set a
  // moment after the state.
  std::string AbortMessage(const std::string& file) const {
    const IppJob job = app_->Print("counter7", file, "image/pwg-raster");
    EXPECT_GT(job.id, 0) << job.error;
    EXPECT_EQ(app_->WaitForJobEnd("counter7", job.id, kJobTimeout), kJobAborted);
    std::string message;
    for (auto waited = 0ms; message.empty() && waited < 10s; waited += 50ms) {
      message = Message(job.id);
      std::this_thread::sleep_for(50ms);
    }
    return message;
  }

  std::unique_ptr<PrivateApp> app_;
};

TEST_F(AppServerTest, SecondServerRefusesAndTheFirstPrintsItsJobWhole) {
  constexpr int kPages = 120;
  const std::string ps = (app_->dir() / "pages.ps").string();
  {
    std::ofstream out(ps);
    out << "%!PS\n/Courier findfont 40 scalefont setfont\n";
    for (int i = 1; i <= kPages; ++i) out << "72 600 moveto (Page " << i << ") show showpage\n";
  }
  const IppJob job = app_->Print("counter7", ps, "application/postscript");
  ASSERT_GT(job.id, 0) << job.error;
  const fs::path journal = State("zova-printer-app.journal");
  for (auto waited = 0ms; ReadFile(journal).empty() && waited < 60s; waited += 20ms) {
    std::this_thread::sleep_for(20ms);
  }
  const std::string journalled = ReadFile(journal);
  ASSERT_FALSE(journalled.empty()) << "the job never got to the printer";

  const std::string pid = "process " + std::to_string(app_->pid());
  const struct {
    fs::path dir;
    std::string named;
  } cases[] = {{State(), State().string()},                    // the same directory
               {app_->dir() / "other", app_->LocalSocket()}};  // the same socket
  for (const auto& c : cases) {
    const CommandResult second = SecondServer(c.dir);
    EXPECT_NE(second.status, 0) << second.output;
    EXPECT_NE(second.output.find(c.named), std::string::npos) << second.output;
    EXPECT_NE(second.output.find(pid), std::string::npos) << second.output;
  }
  EXPECT_FALSE(fs::exists(app_->dir() / "other")) << "a refused server leaves nothing";
  EXPECT_EQ(app_->JobState("counter7", job.id), 5) << "the job was still printing";
  EXPECT_EQ(ReadFile(journal).rfind(journalled, 0), 0u) << "the journal was kept";
  const CommandResult printers = app_->Command({"printers"});
  EXPECT_EQ(printers.status, 0) << printers.output;
  EXPECT_NE(printers.output.find("counter7"), std::string::npos) << printers.output;

  ASSERT_EQ(app_->WaitForJobEnd("counter7", job.id, kJobTimeout), kJobCompleted) << Message(job.id);
  EXPECT_EQ(preview::DecodeStream(ReadBytes(app_->Output("counter7"))).pages.size(),
            size_t{kPages});
  EXPECT_EQ(app_->JobAttributes("counter7", job.id)["job-impressions-completed"],
            std::vector<std::string>{std::to_string(kPages)});
}

TEST_F(AppServerTest, UnreadableStateFileIsKeptAsideAndTheServerStartsClean) {
  // The server's own file loads as it is: the printer comes back.
  app_->Kill(SIGTERM);
  std::string error;
  ASSERT_TRUE(app_->Restart(&error)) << error;
  EXPECT_EQ(app_->PrinterAttributes("counter7").count("printer-name"), 1u) << app_->Log();
  EXPECT_EQ(app_->Log().find("cannot be read"), std::string::npos);

  const struct {
    std::string text, why;
  } cases[] = {
      {"", "it is empty"},
      {"DefaultPrinterID 0\n\x01garbage\xff\n", "line 2 is not a state directive: ?garbage?."},
      {"UUID urn:uuid:1\n<Printer id=1 name=counter7 did=\"\" uri=\"file:///dev/null\" "
       "driver=zova-qrt>\nNextJobId 2\n",
       "it ends at line 3 inside a printer"},
  };
  for (const auto& c : cases) {
    app_->Kill(SIGKILL);
    std::ofstream(State("zova-printer-app.state"), std::ios::binary) << c.text;
    ASSERT_TRUE(app_->Restart(&error)) << error;
    EXPECT_NE(app_->Log().find("zova-printer-app.state cannot be read: " + c.why),
              std::string::npos)
        << app_->Log();
    EXPECT_EQ(app_->PrinterAttributes("counter7").count("printer-name"), 0u)
        << "starts with no printers";
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(State())) {
      const std::string name = entry.path().filename().string();
      kept += name.rfind("zova-printer-app.state.bad-", 0) == 0 && ReadFile(entry) == c.text;
    }
    EXPECT_EQ(kept, 1) << c.why;
  }
}

TEST_F(AppServerTest, PwgGarbageSaysWhyAndCommandsReadCleanly) {
  std::mt19937 noise(7);
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += static_cast<char>(noise());
  const std::string file = (app_->dir() / "garbage.pwg").string();
  std::ofstream(file, std::ios::binary) << bytes;
  const std::string message = AbortMessage(file);
  EXPECT_EQ(message.rfind("Aborted: the document cannot be read as PWG raster (", 0), 0u)
      << message;

  // Colour raster reads well, but the grey-only printer does not take it.
  ReferencePage colour;
  colour.image = {
      .width = 90, .height = 90, .channels = 3, .pixels = std::vector<uint8_t>(90 * 90 * 3, 0x80)};
  colour.pageSize[0] = colour.pageSize[1] = 36;
  ASSERT_TRUE(WritePwgRaster(file, {colour}));
  EXPECT_EQ(AbortMessage(file),
            "Aborted: the PWG raster pages are not ones this printer takes (colour pages, "
            "or a page header that does not add up); send grey or black raster.");

  // A paused printer: its state, the date and the reason apart.
  ASSERT_EQ(app_->Operation(IPP_OP_PAUSE_PRINTER, "counter7", /*owner=*/true), IPP_STATUS_OK);
  const CommandResult status = app_->Command({"status", "-d", "counter7"});
  EXPECT_EQ(status.status, 0);
  EXPECT_TRUE(std::regex_match(status.output,
                               std::regex("Running, stopped since \\w{3}, \\d\\d \\w{3} \\d{4} "
                                          "\\d\\d:\\d\\d:\\d\\d GMT \\(paused\\)\\.\n")))
      << status.output;
  // The server's own state, by its URI, as scripts ask whether it runs.
  const CommandResult system = app_->Command({"status", "-u", app_->SystemUri()});
  EXPECT_EQ(system.status, 0) << system.output;
  EXPECT_EQ(system.output.rfind("Running, ", 0), 0u) << system.output;

  // Without avahi-daemon: what can be listed is, and the rest is said.
  const CommandResult devices = app_->Command({"devices"});
  EXPECT_EQ(devices.status, 0) << devices.output;
  EXPECT_NE(devices.output.find("not listed: avahi-daemon is not running"), std::string::npos)
      << devices.output;

  // The client finds the server under another program name.
  const fs::path other = app_->dir() / "passbooks";
  fs::create_symlink(ZOVA_PRINTER_APP, other);
  const CommandResult printers =
      RunCommand({other.string(), "printers"},
                 {"TMPDIR=" + app_->dir().string(), "SNAP_COMMON=" + app_->dir().string()});
  EXPECT_EQ(printers.status, 0) << printers.output;
  EXPECT_NE(printers.output.find("counter7"), std::string::npos) << printers.output;
}

}  // namespace
}  // namespace zova::testing
