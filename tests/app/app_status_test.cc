// The printer says what it is: its device ID picks the driver, and paper
// out, offline and an error show on the printer and the job while they last,
// with the job's bytes whole. The printer is the tests' own zova-test device
// (printer-app/test_device.h).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/app_test_fixture.h"
#include "device_id.h"
#include "preview/stream_decoder.h"
#include "support/temp_dir.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

TEST(DeviceIdTest, ClaimsOnlyZovaQrtPrinters) {
  const struct {
    const char* id;
    const char* driver;  // null: not ours
  } kCases[] = {
      {"MFG:ZOVA;MDL:ZOVA-QRT;CMD:ESCP,ZOVA;CLS:PRINTER;", "zova-qrt"},
      {"MFG:ZOVA;MDL:ZOVA-QRT;CMD:OKIDATA,ZOVA;", "zova-qrt-okidata"},
      {"manufacturer:Zova;model:zova-qrt 24;command set: escp , oki;", "zova-qrt-okidata"},
      {"Mfg: ZOVA ; Mdl: ZOVA QRT;", "zova-qrt"},  // no command set at all
      {"MFG:ZOVA;MDL:ZOVA-QRT;CMD:OKIPOS", "zova-qrt-okidata"},
      {"MFG:EPSON;CMD:ESCPL2,BDC,D4;MDL:LQ-690;CLS:PRINTER;", nullptr},
      {"MFG:OKI DATA CORP;CMD:OKIPOS,EPSON;MDL:ML320;", nullptr},
      {"MFG:Hewlett-Packard;MDL:HP LaserJet 4000;CMD:PJL,PCL,POSTSCRIPT;", nullptr},
      {"MFG:ZOVA;MDL:PB-200;CMD:ZOVA;", nullptr},  // another model of the maker
      {"MDL:ZOVA-QRT;CMD:ESCP;", nullptr},         // no maker
      {"", nullptr},
      {";;:;MFG;", nullptr},
  };
  for (const auto& c : kCases) {
    const char* got = app::DriverForDeviceId(c.id);
    EXPECT_STREQ(got, c.driver) << c.id;
  }
  EXPECT_EQ(app::DriverForDeviceId(nullptr), nullptr);
}

class AppStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    app_ = PrivateApp::StartWithTestDevices(devices_.path(), &error);
    ASSERT_TRUE(app_) << error;
  }

  // A test printer with this ID and state, added with `driver`.
  bool AddTestPrinter(const std::string& name, const std::string& id, const std::string& driver) {
    std::ofstream(devices_.File(name + ".id")) << id;
    SetState(name, "ready");
    const CommandResult added =
        app_->Command({"add", "-d", name, "-v", "zova-test:///" + name, "-m", driver});
    if (added.status != 0) last_error_ = added.output;
    return added.status == 0;
  }
  void SetState(const std::string& name, const std::string& state) {
    std::ofstream(devices_.File(name + ".state")) << state;
  }
  std::string Read(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }
  bool Has(const std::vector<std::string>& values, const std::string& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
  }
  bool WaitFor(const std::function<bool()>& done, std::chrono::seconds timeout = 30s) {
    for (auto waited = 0ms; waited < timeout; waited += 100ms) {
      if (done()) return true;
      std::this_thread::sleep_for(100ms);
    }
    return done();
  }
  std::string Document(int pages) {
    const std::string path = devices_.File("doc.ps");
    std::ofstream(path) << "%!PS\n/Helvetica findfont 14 scalefont setfont\n1 1 " << pages
                        << " { /p exch def 1 1 20 { 40 exch 18 mul 800 exch sub moveto (Page ) "
                           "show p 3 string cvs show ( MMMMMMMMMMMMMMMMMMMMMMMMMMMMMM) show } "
                           "for showpage } for\n";
    return path;
  }
  // The job waits, processing, with the printer's reason on both.
  bool Waiting(const std::string& printer, int job, const std::string& reason) {
    return WaitFor([&] {
      return Has(app_->PrinterAttributes(printer)["printer-state-reasons"], reason) &&
             Has(app_->JobAttributes(printer, job)["job-state-reasons"], "printer-stopped") &&
             app_->JobState(printer, job) == IPP_JSTATE_PROCESSING;
    });
  }

  TempDir devices_;
  std::string last_error_;
  std::unique_ptr<PrivateApp> app_;
};

TEST_F(AppStatusTest, AutoDriverComesFromTheDeviceId) {
  ASSERT_TRUE(AddTestPrinter("oki", "mfg:ZOVA;mdl:ZOVA-QRT;cmd:OKIDATA;", "auto"))
      << last_error_ << app_->Log();
  EXPECT_EQ(app_->PrinterAttributes("oki")["printer-make-and-model"],
            std::vector<std::string>{"ZOVA ZOVA-QRT OKIDATA"});
  EXPECT_FALSE(AddTestPrinter("lq", "MFG:EPSON;MDL:LQ-690;CMD:ESCPL2;", "auto"));
  EXPECT_TRUE(app_->PrinterAttributes("lq")["printer-name"].empty());
}

TEST_F(AppStatusTest, PaperOutMidPageWaitsAndGoesOnWithEveryByteOnce) {
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("ref", "zova-qrt", &error)) << error;
  ASSERT_TRUE(AddTestPrinter("qrt", "MFG:ZOVA;MDL:ZOVA-QRT;", "zova-qrt"));
  const std::string doc = Document(2);
  const IppJob reference = app_->Print("ref", doc, "application/postscript");
  ASSERT_EQ(app_->WaitForJobEnd("ref", reference.id, 120s), IPP_JSTATE_COMPLETED);

  SetState("qrt", "media-empty-after 30000");  // inside the first page's bands
  const IppJob job = app_->Print("qrt", doc, "application/postscript");
  ASSERT_GT(job.id, 0) << job.error;
  ASSERT_TRUE(Waiting("qrt", job.id, "media-empty"));
  SetState("qrt", "ready");
  EXPECT_EQ(app_->WaitForJobEnd("qrt", job.id, 120s), IPP_JSTATE_COMPLETED);

  const std::string want = Read(app_->Output("ref").string());
  const std::string got = Read(devices_.File("qrt.out"));
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
  const auto decoded =
      preview::DecodeStream(reinterpret_cast<const uint8_t*>(got.data()), got.size());
  EXPECT_FALSE(decoded.error);
  EXPECT_EQ(decoded.pages.size(), 2u);
  EXPECT_FALSE(Has(app_->PrinterAttributes("qrt")["printer-state-reasons"], "media-empty"));
  EXPECT_NE(app_->Log().find("ready again after"), std::string::npos);
  EXPECT_NE(Read(devices_.File("qrt.events")).find("resumed-ms "), std::string::npos);
}

TEST_F(AppStatusTest, OfflineAndErrorHoldTheJobWhichCancelsOrGoesOn) {
  ASSERT_TRUE(AddTestPrinter("qrt", "MFG:ZOVA;MDL:ZOVA-QRT;", "zova-qrt"));
  const std::string doc = Document(1);
  // Between jobs the status callback shows what the printer says.
  SetState("qrt", "media-empty");
  EXPECT_TRUE(WaitFor(
      [&] { return Has(app_->PrinterAttributes("qrt")["printer-state-reasons"], "media-empty"); }));

  SetState("qrt", "offline");
  const IppJob held = app_->Print("qrt", doc, "application/postscript");
  ASSERT_TRUE(Waiting("qrt", held.id, "offline"));
  ASSERT_TRUE(app_->CancelJob("qrt", held.id));
  EXPECT_EQ(app_->WaitForJobEnd("qrt", held.id, 30s), IPP_JSTATE_CANCELED);
  EXPECT_TRUE(Read(devices_.File("qrt.out")).empty());

  SetState("qrt", "error");
  const IppJob job = app_->Print("qrt", doc, "application/postscript");
  ASSERT_TRUE(Waiting("qrt", job.id, "other"));
  SetState("qrt", "ready");
  EXPECT_EQ(app_->WaitForJobEnd("qrt", job.id, 120s), IPP_JSTATE_COMPLETED);
  const std::string got = Read(devices_.File("qrt.out"));
  const auto decoded =
      preview::DecodeStream(reinterpret_cast<const uint8_t*>(got.data()), got.size());
  EXPECT_FALSE(decoded.error);
  EXPECT_EQ(decoded.pages.size(), 1u);
  EXPECT_TRUE(WaitFor([&] {
    const auto reasons = app_->PrinterAttributes("qrt")["printer-state-reasons"];
    return !Has(reasons, "other") && !Has(reasons, "offline") && !Has(reasons, "media-empty");
  }));
}

}  // namespace
}  // namespace zova::testing
