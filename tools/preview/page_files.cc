#include "preview/page_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "preview/page_text.h"
#include "preview/png_writer.h"

namespace zova::preview {
namespace {

// A file without a name: nothing is left behind, however the run ends.
FILE* AnonymousFile(const std::string& dir) {
  int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
    std::string name = dir + "/zova-preview-XXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) unlink(name.c_str());
  }
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "w+");
  if (file == nullptr) close(fd);
  return file;
}

// Widens the page to paper `width` (1/3600 inch) where that is wider than
// what it printed.
void PutOnPaper(DecodedPage& page, long width) {
  const size_t dots = static_cast<size_t>(width / (kUnitsPerInch / page.geometry.HorizontalDpi));
  if (dots <= page.dots.width()) return;
  PackedBitmap wide(dots, page.dots.height());
  for (size_t y = 0; y < page.dots.height(); ++y) {
    std::copy(page.dots.Row(y), page.dots.Row(y) + page.dots.stride(), wide.Row(y));
  }
  page.dots = std::move(wide);
}

}  // namespace

std::string PageFiles::PageName(size_t number) const {
  const std::string page = "page-" + std::to_string(number) + ".png";
  return job_ == 1 ? page : "job-" + std::to_string(job_) + "-" + page;
}

bool PageFiles::Note(const std::string& line, const char* end) {
  if (fprintf(summary_.get(), "%s%s", line.c_str(), end) < 0) {
    fprintf(stderr, "ERROR: cannot write the page summary to a temporary file: %s\n",
            strerror(errno));
    return false;
  }
  return true;
}

bool PageFiles::NoteJobTime() {
  if (time_ == nullptr || as_text_) return true;
  return Note("job " + std::to_string(job_) + ": " + std::to_string(written_) +
              (written_ == 1 ? " page" : " pages") + ", about " + FormatSeconds(job_seconds_));
}

bool PageFiles::StartJob(size_t job, size_t offset) {
  if (!NoteJobTime()) return false;
  job_ = job;
  written_ = 0;
  job_seconds_ = 0;
  if (as_text_) return true;
  return Note("job " + std::to_string(job) + " starts at byte " + std::to_string(offset));
}

bool PageFiles::Open() {
  const char* tmpdir = getenv("TMPDIR");
  const std::string dir = tmpdir != nullptr && tmpdir[0] != '\0' ? tmpdir : "/tmp";
  summary_.reset(AnonymousFile(dir));
  if (!summary_) {
    fprintf(stderr, "ERROR: cannot create a temporary file in %s: %s\n", dir.c_str(),
            strerror(errno));
    return false;
  }
  return true;
}

bool PageFiles::Add(DecodedPage page) {
  if (as_text_) return Note(PageText(page), "");
  PutOnPaper(page, paper_width_);
  const std::string name = PageName(written_ + 1);
  const std::string path = dir_ + "/" + name;
  std::string error;
  if (!WritePagePng(path, page, &error)) {
    fprintf(stderr, "ERROR: cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  ++written_;
  files_.push_back(path);
  std::string line = name + ": " + DescribePage(page);
  if (time_ != nullptr) {
    const double seconds = EstimatePrintTime(page, *time_).Total();
    job_seconds_ += seconds;
    line += ", about " + FormatSeconds(seconds);
  }
  return Note(line);
}

bool PageFiles::Commit() {
  if (!NoteJobTime()) return false;
  FILE* summary = summary_.get();
  if (fflush(summary) != 0 || fseek(summary, 0, SEEK_SET) != 0) {
    fprintf(stderr, "ERROR: cannot read back the page summary: %s\n", strerror(errno));
    return false;
  }
  char block[1 << 16];
  for (size_t n; (n = fread(block, 1, sizeof block, summary)) > 0;) {
    if (fwrite(block, 1, n, stdout) != n) break;
  }
  if (ferror(summary) || fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "ERROR: cannot print the page summary: %s\n", strerror(errno));
    return false;
  }
  committed_ = true;
  return true;
}

PageFiles::~PageFiles() {
  if (committed_) return;
  for (const std::string& path : files_) remove(path.c_str());
}

}  // namespace zova::preview
