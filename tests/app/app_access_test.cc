// Who may change the printer application: anyone may print, only the owner
// (on the local socket) or the administrator (with the password) may change
// it; and what it keeps is its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "app/app_test_fixture.h"
#include "support/poll.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;

class AppAccessTest : public AppTest {
 protected:
  void SetUp() override { AddPrinter("guarded", "zova-qrt"); }

  std::string State() { return app_->PrinterAttributes("guarded")["printer-state"].at(0); }
};

TEST_F(AppAccessTest, AnonymousClientsPrintButChangeNothing) {
  // Over TCP, without a password: every change is refused, printing is not.
  for (const ipp_op_t op : {IPP_OP_PAUSE_PRINTER, IPP_OP_DISABLE_PRINTER, IPP_OP_HOLD_NEW_JOBS}) {
    EXPECT_EQ(app_->Operation(op, "guarded", false), IPP_STATUS_ERROR_FORBIDDEN) << ippOpString(op);
  }
  EXPECT_EQ(app_->Operation(IPP_OP_CREATE_PRINTER, "", false), IPP_STATUS_ERROR_FORBIDDEN);
  std::string error;
  EXPECT_FALSE(app_->SetPrinterAttributes("guarded", {"zova-command-set-default=native-commands"},
                                          &error,
                                          /*owner=*/false));
  EXPECT_EQ(State(), "3") << "idle, not paused";
  EXPECT_EQ(app_->PrinterAttributes("guarded")["zova-command-set-default"],
            std::vector<std::string>{"lq-simulation"});
  const std::string ps = TempFile("anyone.ps");
  std::ofstream(ps) << "%!PS\n0 0 moveto 72 72 lineto stroke showpage\n";
  EXPECT_FALSE(PrintJob("guarded", ps, "application/postscript").empty());

  // The web page's forms, whatever session value the page gives.
  const auto [home, page] = app_->Get("/guarded/");
  EXPECT_EQ(home, 200);
  const size_t session = page.find("name=\"session\" value=\"");
  ASSERT_NE(session, std::string::npos);
  const std::string value = page.substr(session + 22, page.find('"', session + 22) - session - 22);
  EXPECT_EQ(app_->Get("/guarded/", "", "session=" + value + "&action=pause-printer").first, 403);
  EXPECT_EQ(app_->Get("/guarded/printing").first, 403);
  EXPECT_EQ(State(), "3");

  // The owner, on the local socket, changes what it likes.
  EXPECT_EQ(app_->Command({"pause", "-d", "guarded"}).status, 0);
  EXPECT_EQ(State(), "5") << "stopped";
  EXPECT_EQ(app_->Operation(IPP_OP_RESUME_PRINTER, "guarded", true), IPP_STATUS_OK);
  EXPECT_EQ(State(), "3");

  // With a password the administrator is let in, over the web page too.
  ASSERT_TRUE(app_->SetAdminPassword("sesame-123"));
  EXPECT_EQ(app_->Get("/guarded/printing").first, 401) << "asks for the password";
  EXPECT_EQ(app_->Get("/guarded/printing", "wrong-pass").first, 401);
  EXPECT_EQ(app_->Get("/guarded/printing", "sesame-123").first, 200);
  EXPECT_EQ(
      app_->Get("/guarded/", "sesame-123", "session=" + value + "&action=pause-printer").first,
      200);
  EXPECT_EQ(State(), "5");
  EXPECT_EQ(app_->Operation(IPP_OP_RESUME_PRINTER, "guarded", true), IPP_STATUS_OK);
}

TEST_F(AppAccessTest, WhatTheApplicationKeepsIsItsOwn) {
  ASSERT_TRUE(app_->SetAdminPassword("sesame-123"));
  const fs::path state = app_->dir() / "state";
  const auto mode = [](const fs::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777;
  };
  // The state file is written within a second of a change.
  std::string error;
  ASSERT_TRUE(
      app_->SetPrinterAttributes("guarded", {"zova-command-set-default=lq-simulation"}, &error))
      << error;
  const struct {
    fs::path path;
    unsigned mode;
  } files[] = {
      {app_->LocalSocket(), 0600},
      {state / "zova-printer-app.state", 0600},
      {state / "zova-printer-app.journal", 0600},
      {state / "admin-password", 0600},
      {app_->dir() / "app.log", 0600},
      {state / "spool", 0700},
      {state / "spool/pages", 0700},
      {state / "spool/scratch", 0700},
  };
  ASSERT_TRUE(PollUntil(
      [&] {
        for (const auto& f : files) {
          if (!fs::exists(f.path)) return false;
        }
        return true;
      },
      std::chrono::seconds(10)));
  for (const auto& f : files) EXPECT_EQ(mode(f.path), f.mode) << f.path;
}

TEST_F(AppAccessTest, OwnersCommandsWorkOnANewPrinter) {
  // A printer added since the server started, and the driver's options.
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("fresh", "zova-qrt-okidata", &error)) << error;
  const CommandResult options = app_->Command({"options", "-d", "fresh"});
  EXPECT_EQ(options.status, 0);
  for (const char* line :
       {"-o zova-command-set=lq-simulation (default)\n", "-o zova-command-set=native-commands\n",
        "-o zova-print-as=auto (default)\n", "-o zova-print-as=picture\n"}) {
    EXPECT_NE(options.output.find(line), std::string::npos) << line << options.output;
  }
  EXPECT_EQ(app_->Command({"default", "-d", "fresh"}).status, 0);
  EXPECT_EQ(app_->Command({"default"}).output, "fresh\n");
  EXPECT_EQ(app_->Command({"delete", "-d", "fresh"}).status, 0);
  EXPECT_TRUE(app_->PrinterAttributes("fresh")["printer-name"].empty());
  const CommandResult missing = app_->Command({"delete", "-d", "fresh"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("No printer named 'fresh'."), std::string::npos);
}

}  // namespace
}  // namespace zova::testing
