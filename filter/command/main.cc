// commandtozova: the CUPS command filter of the ZOVA-QRT printers.
//
//   commandtozova job-id user title copies options [file]
//
// Answers the maintenance commands of CUPS's printer menus
// (application/vnd.cups-command). PrintSelfTestPage prints the alignment
// page with the queue's settings, through the same page pipeline as
// rastertozova; the printer has no other command CUPS could send it, so
// the others are warned of and nothing goes to the printer for them.
#include "command/command_file.h"
#include "command/self_test_page.h"
#include "cups/filter_main.h"

namespace {

using namespace zova;

// The command file, read before the PPD as rastertozova reads its raster.
class CommandJob final : public PageSource {
 public:
  CommandJob(int fd, Messages& messages)
      : messages_(messages), file_(ReadCommandFile(fd, messages)) {}

  bool Prepare(ppd_file_t* ppd, const char* job_options, JobSettings& settings, int& status) {
    Messages& messages = messages_;
    if (!file_.valid) {
      messages.Error("The input is not a CUPS command file (it must start with #CUPS-COMMAND)");
      status = 1;
      return false;
    }
    for (const std::string& name : file_.unsupported) {
      messages.Warning("The printer has no \"%s\" command; only PrintSelfTestPage is supported",
                       name.c_str());
    }
    if (file_.moreUnsupported > 0) {
      messages.Warning("%ld more unsupported commands were left out", file_.moreUnsupported);
    }
    if (file_.selfTestPages == 0) {
      messages.Info("Nothing to print: the command file asks for no self-test page");
      status = 0;
      return false;
    }
    if (file_.selfTestPages > 1) {
      messages.Warning("PrintSelfTestPage is given %d times; the page is printed once",
                       file_.selfTestPages);
    }
    const std::optional<SelfTestPage> page = SelfTestPageSetup(ppd, job_options, messages);
    if (!page) {
      status = 1;
      return false;
    }
    // Its grey ramp halftoned and its text thresholded, however the queue
    // prints documents.
    settings.printAs = PrintAs::kMixed;
    page_.Set(*page, settings.offsets, "Mixed");
    return true;
  }

  bool NextPage(cups_page_header2_t& header) override { return page_.NextPage(header); }
  bool ReadRow(std::span<uint8_t> row) override { return page_.ReadRow(row); }
  void SkipPage(const cups_page_header2_t& header, const CancelToken& cancel) override {
    page_.SkipPage(header, cancel);
  }

 private:
  Messages& messages_;  // the filter's, for the job's whole run
  CommandFile file_;
  SelfTestPageSource page_;
};

}  // namespace

int main(int argc, char* argv[]) {
  FilterInput input;
  input.what = "command file";
  input.open = [](int fd, Messages& messages) -> std::unique_ptr<PageSource> {
    return std::make_unique<CommandJob>(fd, messages);
  };
  input.prepare = [](PageSource& source, ppd_file_t* ppd, const char* job_options,
                     JobSettings& settings, int& status) {
    return static_cast<CommandJob&>(source).Prepare(ppd, job_options, settings, status);
  };
  return RunFilterJob(argc, argv, "commandtozova", input);
}
