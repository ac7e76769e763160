// An administrator's first hour: the Media page and media-ready take every
// size of the driver, `options` gives offsets in millimetres, the password
// lands where the running server reads it, and a refused format says why.
#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "app/app_test_fixture.h"
#include "support/process.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zova::testing {
namespace {

class AppAdminTest : public AppTest {
 protected:
  void SetUp() override { AddPrinter("front", "zova-qrt"); }

  // admin-password with the password on standard input, its local socket
  // looked for in `tmpdir`.
  ProcessResult AdminPassword(const std::string& password, const std::string& tmpdir,
                              std::vector<std::string> options = {}) const {
    const std::string input = TempFile("password.txt");
    std::ofstream(input) << password << "\n";
    ProcessOptions run;
    run.args = {ZOVA_PRINTER_APP, "admin-password"};
    run.args.insert(run.args.end(), options.begin(), options.end());
    run.stdinFile = input;
    run.stderrToStdout = true;
    run.env = {{"TMPDIR", tmpdir}, {"SNAP_COMMON", tmpdir}, {"HOME", tmpdir}, kLsanOptions};
    return RunProcess(run);
  }
};

TEST_F(AppAdminTest, EveryPpdSizeIsOfferedAndTakenForEachSource) {
  ASSERT_TRUE(app_->SetAdminPassword("sesame-123"));
  const auto [status, page] = app_->Get("/front/media", "sesame-123");
  ASSERT_EQ(status, 200);
  // The page's sizes for each source, by their PWG names.
  std::map<int, std::vector<std::string>> offered;
  const std::regex select(R"re(<select name="ready(\d)-size">(.*?)</select>)re");
  const std::regex option(R"re(<option value="([^"]+)")re");
  for (std::sregex_iterator s(page.begin(), page.end(), select), end; s != end; ++s) {
    const std::string options = (*s)[2];
    for (std::sregex_iterator o(options.begin(), options.end(), option); o != end; ++o)
      offered[std::stoi((*s)[1])].push_back((*o)[1]);
  }
  ASSERT_EQ(offered.size(), 2u) << "main and tractor";
  ppd_file_t* ppd = ppdOpenFile(PpdPath("zovaqrt.ppd").c_str());
  ASSERT_NE(ppd, nullptr);
  for (int i = 0; i < ppd->num_sizes; ++i) {
    const ppd_size_t& size = ppd->sizes[i];
    if (std::string(size.name) == "Custom") continue;
    for (auto& [source, names] : offered) {
      std::string found;
      for (const std::string& name : names) {
        const pwg_media_t* pwg = pwgMediaForPWG(name.c_str());
        if (pwg != nullptr && std::abs(pwg->width - size.width * 2540 / 72) <= 50 &&
            std::abs(pwg->length - size.length * 2540 / 72) <= 50) {
          found = name;
        }
      }
      ASSERT_FALSE(found.empty()) << size.name << " is not offered for source " << source;
      if (source == 0) {
        const CommandResult set =
            app_->Command({"modify", "-d", "front", "-o", "media-ready=" + found + "," + found});
        EXPECT_EQ(set.status, 0) << size.name << ": " << set.output;
        EXPECT_EQ(app_->PrinterAttributes("front")["media-ready"],
                  (std::vector<std::string>{found, found}));
      }
    }
  }
  EXPECT_EQ(ppd->num_sizes, 10) << "nine sizes and Custom";
  ppdClose(ppd);
  EXPECT_NE(page.find("Left offset (mm, + moves right)"), std::string::npos);
  EXPECT_NE(page.find("Top offset (mm, + moves down)"), std::string::npos);
}

TEST_F(AppAdminTest, OffsetsAreMillimetresWithTheirUnit) {
  const CommandResult options = app_->Command({"options", "-d", "front"});
  ASSERT_EQ(options.status, 0) << options.output;
  for (const char* line : {"-o media-top-offset=0.00mm (default)",
                           "-o media-top-offset=-10.00mm to 10.00mm (+ moves down)",
                           "-o media-left-offset=0.00mm (default)",
                           "-o media-left-offset=-10.00mm to 10.00mm (+ moves right)"}) {
    EXPECT_NE(options.output.find(line), std::string::npos) << line << "\n" << options.output;
  }
  const std::string ps = TempFile("blank.ps");
  std::ofstream(ps) << "%!PS\nshowpage\n";
  const struct {
    const char* option;
    bool taken;
  } kCases[] = {{"media-top-offset=2.5mm", true}, {"media-left-offset=-0.1in", true},
                {"media-top-offset=5", false},    {"media-left-offset=11mm", false},
                {"media-top-offset=abc", false},  {"media-left-offset=5 mm", false}};
  for (const auto& c : kCases) {
    const CommandResult submit = app_->Command({"submit", "-d", "front", "-o", c.option, ps});
    EXPECT_EQ(submit.status == 0, c.taken) << c.option << ": " << submit.output;
    if (!c.taken) {
      EXPECT_NE(submit.output.find("with its unit"), std::string::npos);
    }
  }
}

TEST_F(AppAdminTest, PasswordGoesToTheRunningServersStateDirectory) {
  const std::string state = (app_->dir() / "state").string();
  const std::string nobody = TempFile("no-server");
  std::filesystem::create_directories(nobody);
  const ProcessResult refused = AdminPassword("first-pass", nobody);
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.out.find("-o state-directory="), std::string::npos) << refused.out;

  ASSERT_EQ(AdminPassword("first-pass", nobody, {"-o", "state-directory=" + state}).status, 0);
  EXPECT_EQ(app_->Get("/front/media", "first-pass").first, 200);
  const ProcessResult asked = AdminPassword("second-pass", app_->dir().string());
  ASSERT_EQ(asked.status, 0) << asked.out;
  EXPECT_EQ(app_->Get("/front/media", "second-pass").first, 200);
  EXPECT_EQ(app_->Get("/front/media", "first-pass").first, 401);
  // Over TCP nobody learns where the state is.
  EXPECT_EQ(app_->Get("/zova/state-directory", "second-pass").first, 403);

  ProcessOptions help;
  help.args = {ZOVA_PRINTER_APP, "--help"};
  EXPECT_NE(RunProcess(help).out.find("admin-password"), std::string::npos);
}

TEST_F(AppAdminTest, AJobOfNoFormatItPrintsSaysWhy) {
  const std::string junk = TempFile("junk.bin");
  std::ofstream(junk) << std::string(4000, '\x01') << "not a document";
  const IppJob job = app_->Print("front", junk, "application/octet-stream");
  ASSERT_GT(job.id, 0) << job.error;
  EXPECT_EQ(app_->WaitForJobEnd("front", job.id, kJobTimeout), IPP_JSTATE_ABORTED);
  std::string message;
  for (int tries = 0; tries < 100 && message.empty(); ++tries) {
    const auto attributes = app_->JobAttributes("front", job.id);
    if (auto it = attributes.find("job-state-message");
        it != attributes.end() && !it->second.empty())
      message = it->second[0];
    if (message.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_NE(message.find("no format this printer prints"), std::string::npos) << message;
}

}  // namespace
}  // namespace zova::testing
