// Running the halftoning tool: what the runner reports for each way the tool
// can end.
#include "pipeline/halftone_tool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "cups/stderr_messages.h"
#include "support/temp_dir.h"
#include "support/test_ppd.h"

namespace zova {
namespace {

const PictureSource kPicture{{180, 180}, 0, DitherMode::kOrdered, 2, 1};

TEST(HalftoneToolTest, ReportsHowTheToolEnded) {
  StderrMessages messages;
  testing::TempDir dir;
  const std::string base = dir.File("page");
  std::ofstream(base + ".ppm") << "P6\n2 1\n255\n" << std::string(6, '\0');
  const std::string tool = std::string(ZOVA_FIXTURE_BIN_DIR) + "/zova_ID";
  const struct {
    std::string tool;
    const char* fixture;
    ToolResult::Status status;
    int code;
    std::string message;
  } cases[] = {
      {tool, "normal", ToolResult::kSucceeded, 0, ""},
      {tool, "none", ToolResult::kFailed, 1, "DEBUG: " + tool + " exited with status 1\n"},
      {tool, "crash", ToolResult::kKilled, SIGABRT, "DEBUG: " + tool + " was killed by signal 6\n"},
      {dir.File("absent"), "normal", ToolResult::kNotStarted, 0,
       "ERROR: Unable to run " + dir.File("absent") + ": No such file or directory\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    setenv("ZOVA_FIXTURE", c.fixture, 1);
    ::testing::internal::CaptureStderr();
    const ToolResult result =
        RunHalftoneTool(HalftoneTool{c.tool}, base, kPicture, CancelToken(), messages);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.code, c.code);
  }
  // A cancel stops a tool that would run on: at once, or when it comes.
  setenv("ZOVA_FIXTURE", "hang", 1);
  const auto start = std::chrono::steady_clock::now();
  for (const auto delay : {std::chrono::milliseconds(0), std::chrono::milliseconds(300)}) {
    const auto cancel_at = std::chrono::steady_clock::now() + delay;
    ::testing::internal::CaptureStderr();
    const ToolResult result = RunHalftoneTool(
        HalftoneTool{tool}, base, kPicture,
        CancelToken([&] { return std::chrono::steady_clock::now() >= cancel_at; }), messages);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result.status, ToolResult::kKilled);
    EXPECT_EQ(result.code, SIGTERM);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  unsetenv("ZOVA_FIXTURE");
  std::ifstream image(base + ".pbm");
  std::string magic;
  image >> magic;
  EXPECT_EQ(magic, "P4") << "the tool ran on the page it was given";
}

}  // namespace
}  // namespace zova
