// What zova-preview leaves: page-1.png, page-2.png, ... in one directory, and
// one summary line per page on standard output. In a capture of several
// jobs, the pages of job 2 on are job-2-page-1.png, ..., and a line says
// where each job starts. Each PNG is written as soon
// as its page is decoded; the summary lines wait in an anonymous temporary
// file, so that a stream refused on a later page prints none of them.
// With a time model, each page's line ends with its modelled printing time
// (", about 54 s") and each job's pages are followed by its total
// ("job 1: 4 pages, about 3 min 05 s").
// Pages are drawn as long as the stream's page length, and as wide as the
// paper when it is given, else as the widest band or line of text.
// As text, no PNG is written: the pages' text (PageText) takes the place of
// the summary lines, and nothing else is printed.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "preview/page_model.h"
#include "preview/print_time.h"

namespace zova::preview {

class PageFiles {
 public:
  explicit PageFiles(std::string dir, const TimeModel* time = nullptr, bool as_text = false)
      : dir_(std::move(dir)), time_(time), as_text_(as_text) {}
  // Each page is drawn at least `width` (1/3600 inch) wide: the paper's
  // width, so that its right margin shows.
  void SetPaperWidth(long width) { paper_width_ = width; }
  PageFiles(const PageFiles&) = delete;
  PageFiles& operator=(const PageFiles&) = delete;
  // Unless committed, the PNGs written so far are removed.
  ~PageFiles();

  // Each returns false with an "ERROR: " line on standard error.
  // Makes the summary file, in $TMPDIR or /tmp.
  [[nodiscard]] bool Open();
  // The pages that follow are job `job`'s, which starts at byte `offset`.
  [[nodiscard]] bool StartJob(size_t job, size_t offset);
  // Writes the next page's PNG and notes its summary line.
  [[nodiscard]] bool Add(DecodedPage page);
  // Prints the summary lines; the PNGs stay.
  [[nodiscard]] bool Commit();

 private:
  std::string PageName(size_t number) const;
  bool Note(const std::string& line, const char* end = "\n");
  bool NoteJobTime();

  struct Closer {
    void operator()(FILE* file) const { fclose(file); }
  };
  std::string dir_;
  std::unique_ptr<FILE, Closer> summary_;
  size_t job_ = 1;
  size_t written_ = 0;  // pages of the job
  const TimeModel* time_;
  bool as_text_;
  long paper_width_ = 0;
  double job_seconds_ = 0;
  std::vector<std::string> files_;
  bool committed_ = false;
};

}  // namespace zova::preview
