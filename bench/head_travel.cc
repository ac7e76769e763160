// The head's travel on bit-image pages: the modelled time of a job printed
// with ZovaHeadTravel=Full and with Inked, the time if the printer printed
// only the inked columns of each pass (the limit), and whether both streams
// put the same dots on paper.
//
//   zova_head_travel FULL.prn INKED.prn
//
// One line per page: "page N: full S s (R s), inked S s (R s), limit L s,
// same dots" (or "DOTS DIFFER: ..."), the times under the time model's
// defaults, where the head seeks a bit image's first dot, and in brackets
// where it prints every column it is sent (seek-first-dot=0). Exit status 1
// when a stream does not decode or the dots differ.
//
// The limit is the time model's (print_time.h), taken from the dots each
// bit image of the Full stream prints (each a line of its own there): each
// pass prints its inked columns at the head's speed for its density, and
// the head slews across every blank stretch of 0.1 inch or more and to the
// nearer end of the next pass; the paper moves as the Full stream moves it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "preview/print_time.h"
#include "preview/stream_decoder.h"

namespace {

using namespace zova;
using namespace zova::preview;

std::vector<uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The limit's head: what it has printed and slewed on the page, in seconds.
class InkedLimit {
 public:
  explicit InkedLimit(const TimeModel& model) : model_(model) {}

  void Pass(const BitImageSeen& image) {
    const long pitch = kUnitsPerInch / image.geometry.HorizontalDpi;
    const long blank_limit = kUnitsPerInch / 10;
    // The inked stretches, 1/3600 inch from the carriage's left end, short
    // blank stretches printed through.
    std::vector<std::pair<long, long>> stretches;
    for (size_t c = 0; c < image.columns; ++c) {
      const uint8_t* column = image.data + c * kBytesPerColumn;
      if ((column[0] | column[1] | column[2]) == 0) continue;
      const long from = image.x + static_cast<long>(c) * pitch;
      if (!stretches.empty() && from - stretches.back().second < blank_limit) {
        stretches.back().second = from + pitch;
      } else {
        stretches.emplace_back(from, from + pitch);
      }
    }
    if (stretches.empty()) return;
    const long left = stretches.front().first, right = stretches.back().second;
    const bool leftward = !image.unidirectional && std::abs(head_ - right) < std::abs(head_ - left);
    long slew = leftward ? std::abs(head_ - right) : std::abs(head_ - left);
    long printed = 0;
    for (size_t i = 0; i < stretches.size(); ++i) {
      printed += stretches[i].second - stretches[i].first;
      if (i > 0) slew += stretches[i].first - stretches[i - 1].second;
    }
    head_ = leftward ? left : right;
    seconds_ += static_cast<double>(printed) / kUnitsPerInch /
                    GraphicsHeadSpeed(model_, image.geometry.HorizontalDpi) +
                static_cast<double>(slew) / kUnitsPerInch / model_.slew_ips;
  }

  // The page's limit, its paper time as the Full page's; starts the next.
  double EndPage(const DecodedPage& full) {
    const double total = seconds_ + EstimatePrintTime(full, model_).paper;
    seconds_ = 0;
    head_ = 0;
    return total;
  }

 private:
  const TimeModel& model_;
  long head_ = 0;
  double seconds_ = 0;
};

// Empty when both pages hold the same dots, whatever their sizes.
std::string DotDifference(const PackedBitmap& a, const PackedBitmap& b) {
  const auto dot = [](const PackedBitmap& page, size_t x, size_t y) {
    return x < page.width() && y < page.height() && page.Get(x, y);
  };
  const size_t width = std::max(a.width(), b.width()), height = std::max(a.height(), b.height());
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      if (dot(a, x, y) != dot(b, x, y)) {
        return "at x=" + std::to_string(x) + " y=" + std::to_string(y) +
               (dot(a, x, y) ? " only Full" : " only Inked") + " prints a dot";
      }
    }
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "Usage: zova_head_travel FULL.prn INKED.prn\n");
    return 1;
  }
  const TimeModel seeking;
  TimeModel sending;
  sending.seek_first_dot = 0;

  InkedLimit limit(seeking);
  std::vector<double> limits;
  DecodeOptions options;
  options.bit_image = [&](const BitImageSeen& image) { limit.Pass(image); };
  const std::vector<uint8_t> full_bytes = ReadFile(argv[1]);
  std::vector<DecodedPage> full;
  size_t done = 0;
  const StreamReader read = [&](uint8_t* buffer, size_t wanted) {
    const size_t n = std::min(wanted, full_bytes.size() - done);
    std::copy_n(full_bytes.data() + done, n, buffer);
    done += n;
    return static_cast<ptrdiff_t>(n);
  };
  const DecodeResult decoded = DecodeIncrementally(
      read,
      [&](DecodedPage page) {
        limits.push_back(limit.EndPage(page));
        full.push_back(std::move(page));
        return true;
      },
      {}, options);
  const DecodedStream inked = DecodeStream(ReadFile(argv[2]));
  for (const auto& [name, error] : {std::pair{argv[1], decoded.error}, {argv[2], inked.error}}) {
    if (error) {
      fprintf(stderr, "ERROR: %s: byte %zu: %s\n", name, error->offset, error->message.c_str());
      return 1;
    }
  }
  if (full.size() != inked.pages.size()) {
    fprintf(stderr, "ERROR: %zu pages in %s, %zu in %s\n", full.size(), argv[1], inked.pages.size(),
            argv[2]);
    return 1;
  }
  bool same = true;
  for (size_t i = 0; i < full.size(); ++i) {
    const std::string difference = DotDifference(full[i].dots, inked.pages[i].dots);
    same = same && difference.empty();
    printf("page %zu: full %.1f s (%.1f s), inked %.1f s (%.1f s), limit %.1f s, %s\n", i + 1,
           EstimatePrintTime(full[i], seeking).Total(), EstimatePrintTime(full[i], sending).Total(),
           EstimatePrintTime(inked.pages[i], seeking).Total(),
           EstimatePrintTime(inked.pages[i], sending).Total(), limits[i],
           difference.empty() ? "same dots" : ("DOTS DIFFER " + difference).c_str());
  }
  return same ? 0 : 1;
}
