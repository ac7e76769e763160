// The printer bytes of a job's pages as its first copy printed them, so that
// the later copies send the same bytes again without drawing the pages
// again. They are kept in a file of the page spool that has no name: it
// goes with the job however the job ends, a crash included.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pipeline/file_descriptor.h"

namespace zova::app {

class PageRecord {
 public:
  // Keeps up to `limit` bytes in `directory`. usable() is false when no
  // file can be made there.
  PageRecord(const std::string& directory, uint64_t limit);
  PageRecord(const PageRecord&) = delete;
  PageRecord& operator=(const PageRecord&) = delete;

  // A stream that passes everything on to `target` and, while recording,
  // keeps it. Closed by the caller (fclose), before `target`.
  FILE* Tee(FILE* target);

  // Recording starts: what the stream holds so far goes out unrecorded.
  void Start();
  // A page has ended (or none began): its bytes are the page's.
  void PageEnds();
  // No more is recorded.
  void Stop();

  // Every byte of every page recorded is kept: the limit was not reached
  // and the disk took them.
  bool usable() const { return usable_; }
  uint64_t bytes() const { return size_; }
  // The pages recorded that have bytes (a page the printer refused has
  // none).
  size_t pages() const { return pages_.size(); }
  // Writes the page's bytes to `out`; false when they cannot be read or
  // written.
  bool Send(size_t page, FILE* out) const;

 private:
  static ssize_t Write(void* cookie, const char* data, size_t size);
  void Keep(const char* data, size_t size);
  void GiveUp();

  FileDescriptor file_;
  uint64_t limit_;
  FILE* tee_ = nullptr;
  FILE* target_ = nullptr;
  bool recording_ = false;
  bool usable_ = false;
  uint64_t size_ = 0;        // bytes kept
  uint64_t page_start_ = 0;  // where the page in hand began
  struct Range {
    uint64_t begin, end;
  };
  std::vector<Range> pages_;
};

}  // namespace zova::app
