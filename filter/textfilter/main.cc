// texttozova: the CUPS filter that prints plain text in the ZOVA-QRT's own
// fonts.
//
//   texttozova job-id user title copies options [file]
//
// Reads text/plain (UTF-8, or the job's charset option) from the file or
// stdin, the PPD from $PPD, and writes the printer's text commands to
// stdout: pitch, line spacing, the exact form length, margins and character
// table in the LQ set, plain text in the native set. With ZovaTextAs=Graphics
// the text goes through CUPS's texttopdf, pdftopdf and gstoraster into the
// raster route instead, as on a queue without this filter.
#include <cstdlib>

#include "cups/filter_main.h"
#include "textfilter/ppd_text_job.h"
#include "textfilter/text_as_graphics.h"

int main(int argc, char* argv[]) {
  using namespace zova;
  FilterInput input;
  input.what = "text file";
  input.print = [](JobScope& job, const FilterJob& filter) {
    const text::TextJob text = PpdTextJob(filter);
    if (text.options.as == text::TextAs::kGraphics) {
      PrintTextAsGraphics(job, filter, text.options);
      return;
    }
    // A copy reads the text again: from standard input it is kept first.
    FileDescriptor kept;
    const char* tmpdir = getenv("TMPDIR");
    const int fd = text.copies > 1 ? text::SeekableInput(filter.fd, tmpdir ? tmpdir : "/tmp", kept,
                                                         filter.messages)
                                   : filter.fd;
    if (fd < 0) {
      job.Fail();
      return;
    }
    text::PrintText(job, fd, text, filter.messages);
  };
  return RunFilterJob(argc, argv, "texttozova", input);
}
