// What zova-preview leaves: page-1.png, page-2.png, ... in one directory, and
// one summary line per page on standard output. In a capture of several
// jobs, the pages of job 2 on are job-2-page-1.png, ..., and a line says
// where each job starts. Each PNG is written as soon
// as its page is decoded; the summary lines wait in an anonymous temporary
// file, so that a stream refused on a later page prints none of them.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "preview/page_model.h"

namespace zova::preview {

class PageFiles {
 public:
  explicit PageFiles(std::string dir) : dir_(std::move(dir)) {}
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
  [[nodiscard]] bool Add(const DecodedPage& page);
  // Prints the summary lines; the PNGs stay.
  [[nodiscard]] bool Commit();

 private:
  std::string PageName(size_t number) const;

  struct Closer {
    void operator()(FILE* file) const { fclose(file); }
  };
  std::string dir_;
  std::unique_ptr<FILE, Closer> summary_;
  size_t job_ = 1;
  size_t written_ = 0;  // pages of the job
  std::vector<std::string> files_;
  bool committed_ = false;
};

}  // namespace zova::preview
