#include "doctext/ghostscript_text.h"

#include <cstring>

#include "pipeline/child_process.h"

namespace zova::doctext {
namespace {

// pdffonts' listing is a line per font: more than this is not its.
constexpr size_t kMaxListing = 1 << 20;

}  // namespace

std::vector<std::string> TextCommand(const std::string& document,
                                     const std::vector<std::string>& page) {
  std::vector<std::string> command = {
      "gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=txtwrite", "-dTextFormat=4"};
  command.insert(command.end(), page.begin(), page.end());
  // PostScript's own output must not mix with the report.
  command.insert(command.end(), {"-sOutputFile=-", "-sstdout=%stderr", "-f", document});
  return command;
}

FontEncodings ListFonts(const std::string& pdf, const std::string& scratch,
                        const CancelToken& cancel, Messages& messages, double* seconds) {
  ChildOptions command;
  command.argv = {"pdffonts", pdf};
  command.env = {"TMPDIR=" + scratch};
  command.stderrFd = -1;
  command.errorLine = [&](std::string_view line) {
    messages.Debug("pdffonts: %.*s", static_cast<int>(line.size()), line.data());
  };
  ChildProcess pdffonts;
  if (const int error = pdffonts.Start(command); error != 0) {
    messages.Warning("Unable to run pdffonts (%s): the document's text prints as graphics.",
                     strerror(error));
    return {};
  }
  std::string listing;
  char buffer[8192];
  for (ssize_t n; (n = pdffonts.ReadOutput(buffer, sizeof buffer, cancel)) > 0;) {
    if (listing.size() < kMaxListing) listing.append(buffer, static_cast<size_t>(n));
  }
  const ChildStatus status = pdffonts.Wait(cancel);
  if (seconds != nullptr) *seconds = status.cpuSeconds;
  if (!status.succeeded()) {
    if (!cancel.canceled()) {
      messages.Warning("pdffonts %s: the document's text prints as graphics.",
                       DescribeExit(status).c_str());
    }
    return {};
  }
  return FontEncodings::Parse(listing);
}

}  // namespace zova::doctext
