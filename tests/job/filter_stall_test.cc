// A printer that stops taking data: the filter says so on CUPS's channel
// after a few seconds, and says when it takes data again, as CUPS's own
// backends do. The job's bytes are unchanged.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "pipeline/child_process.h"
#include "support/filter_test.h"

namespace zova {
namespace {

using namespace std::chrono_literals;

class FilterStall : public testing::FilterJobTest {};

std::string Slurp(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

TEST_F(FilterStall, PrinterThatTakesNoDataIsReportedAndItsReturnToo) {
  // Well over a pipe's 64 KiB of bands.
  const std::string raster = dir.File("job.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(
      raster, {testing::SmallPage("LQ", 180, 180, 1400, 600,
                                  testpage::FromBitmap(testpage::TextBitmap(1400, 600, 1, 60)))}));
  const testing::FilterResult reference = testing::RunFilter(Options(raster));
  ASSERT_EQ(reference.status, 0) << reference.err;
  ASSERT_GT(reference.out.size(), 128u * 1024);

  int printer[2];
  ASSERT_EQ(pipe2(printer, O_CLOEXEC), 0);
  FileDescriptor taken(printer[0]), given(printer[1]);
  FileDescriptor messages(open(dir.File("stderr").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  const testing::FilterOptions o = Options(raster);
  ChildOptions command;
  command.argv = {ZOVA_FILTER_PATH};
  command.argv.insert(command.argv.end(), o.args.begin(), o.args.end());
  command.env = {"PPD=" + o.ppd};
  for (const auto& [name, value] : o.env) command.env.push_back(name + "=" + value);
  command.stdoutFd = given.get();
  command.stderrFd = messages.get();
  ChildProcess filter;
  ASSERT_EQ(filter.Start(command), 0);
  given = FileDescriptor();

  // The printer takes nothing until the filter has said so.
  const auto said = [&](const std::string& text) {
    return Slurp(dir.File("stderr")).find(text) != std::string::npos;
  };
  const auto until = std::chrono::steady_clock::now() + 30s;
  while (!said("STATE: +offline-report\n") && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(said("STATE: +offline-report\nINFO: The printer has taken no data for "))
      << Slurp(dir.File("stderr"));

  std::vector<uint8_t> out;
  uint8_t buffer[64 * 1024];
  for (ssize_t n; (n = read(taken.get(), buffer, sizeof buffer)) > 0;) {
    out.insert(out.end(), buffer, buffer + n);
  }
  EXPECT_TRUE(filter.Wait().succeeded());
  EXPECT_TRUE(said("INFO: The printer takes data again.\nSTATE: -offline-report\n"))
      << Slurp(dir.File("stderr"));
  EXPECT_TRUE(out == reference.out) << "the bytes are the same, stalled or not";
}

}  // namespace
}  // namespace zova
