// The stream decoder on arbitrary bytes, whole in memory and read in uneven
// pieces: both paths must give the same pages and the same error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "preview/stream_decoder.h"

namespace {

using zova::preview::DecodedPage;

// The page in one number: its description and every dot.
uint64_t Fingerprint(const DecodedPage& page) {
  uint64_t hash = 14695981039346656037u;
  auto mix = [&hash](uint64_t value) { hash = (hash ^ value) * 1099511628211u; };
  mix(static_cast<uint64_t>(page.dialect));
  mix(page.geometry.HorizontalDpi);
  mix(page.geometry.VerticalDpi);
  mix(page.dots.width());
  mix(page.dots.height());
  mix(page.bands);
  mix(page.dot_count);
  for (size_t y = 0; y < page.dots.height(); ++y) {
    const uint8_t* row = page.dots.Row(y);
    for (size_t i = 0; i < page.dots.stride(); ++i) mix(row[i]);
  }
  return hash;
}

void Check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "fuzz_stream_decoder: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zova::preview::DecodedStream whole = zova::preview::DecodeStream(data, size);

  // Pieces of 1 to 13 bytes, in an order fixed by the input's size.
  size_t done = 0;
  unsigned piece = static_cast<unsigned>(size);
  const zova::preview::StreamReader read = [&](uint8_t* buffer, size_t wanted) {
    piece = piece * 1103515245u + 12345u;
    const size_t n = std::min({wanted, size - done, size_t{1} + (piece >> 16) % 13});
    std::copy(data + done, data + done + n, buffer);
    done += n;
    return static_cast<ptrdiff_t>(n);
  };
  std::vector<uint64_t> pages;
  const zova::preview::PageSink keep = [&](DecodedPage page) {
    pages.push_back(Fingerprint(page));
    return true;
  };
  const zova::preview::DecodeResult result = zova::preview::DecodeIncrementally(read, keep);

  Check(!result.read_failed && !result.stopped, "a reader that never fails failed");
  Check(result.pages == whole.pages.size() && pages.size() == whole.pages.size(),
        "the page counts differ");
  for (size_t i = 0; i < pages.size(); ++i) {
    Check(pages[i] == Fingerprint(whole.pages[i]), "a page differs");
  }
  Check(result.error.has_value() == whole.error.has_value(), "only one path failed");
  if (result.error) {
    Check(result.error->offset == whole.error->offset, "the error offsets differ");
    Check(result.error->message == whole.error->message, "the error messages differ");
    Check(result.error->offset <= size, "the error lies beyond the stream");
  }

  // A sink that stops after the first page ends decoding there, error-free.
  const zova::preview::PageSink stop = [](DecodedPage) { return false; };
  done = 0;
  const zova::preview::DecodeResult stopped = zova::preview::DecodeIncrementally(read, stop);
  Check(stopped.stopped == !whole.pages.empty(), "the sink's stop was not kept");
  Check(!stopped.stopped || (stopped.pages == 1 && !stopped.error),
        "decoding went on after a stop");
  return 0;
}
