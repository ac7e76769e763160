// Where the driver's messages go. The pipeline reports through this and
// never writes to a stream itself: the CUPS filter writes the lines CUPS
// reads on standard error, the printer application logs them against the job.
#pragma once

#include <cstdint>
#include <string_view>

namespace zova {

enum class MessageLevel : uint8_t {
  kError,    // something failed: the page or the job ends, or a file stays
  kWarning,  // a choice was not understood and a default was taken
  kInfo,     // what the job is doing: the scheduler shows it as the job's state
  // The page pipeline's diagnostic lines. Drivers of this kind wrote them
  // after "ERROR:"; they are diagnostics and go out after "DEBUG:" with the
  // same text, which begins with the blank that follows the colon where
  // there is one.
  kProgress,
  kDebug,
};

class Messages {
 public:
  virtual ~Messages() = default;

  // One line, without its level's prefix or a line feed.
  virtual void Write(MessageLevel level, std::string_view text) = 0;
  // The job's `count`th page has gone to the printer whole.
  virtual void PagePrinted(int count) = 0;

  void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Info(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Progress(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// Discards everything: for the fuzzers and benchmarks.
class NoMessages final : public Messages {
 public:
  void Write(MessageLevel, std::string_view) override {}
  void PagePrinted(int) override {}
};

}  // namespace zova
