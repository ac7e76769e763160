// The modelled printing time of a job, from its printer bytes as they go
// out: a decoder on a thread of its own reads them through a bounded buffer
// and keeps each page's motion, never its dots, so that memory stays the
// same for an endless job.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace zova::app {

class TimeMeter {
 public:
  TimeMeter();
  ~TimeMeter();
  TimeMeter(const TimeMeter&) = delete;
  TimeMeter& operator=(const TimeMeter&) = delete;

  // The next bytes of the stream. Waits while the buffer is full; once the
  // decoder has stopped (a stream it does not know) they are passed over.
  void Feed(const char* data, size_t size);

  // Ends the stream and waits for the decoder. "about 1 min 50 s (3 pages)",
  // or the part it could model and why not the rest.
  std::string Finish();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<uint8_t> buffer_;
  bool closed_ = false;
  bool stopped_ = false;  // the decoder ended
  double seconds_ = 0;
  size_t pages_ = 0;
  std::string why_;  // the decoder's error, when it stopped early
  std::thread thread_;
};

}  // namespace zova::app
