// The output byte k lies over input bytes that belong to pixels already read
// when byte k is first written, so the conversion can run in place. Bits of an
// output byte not yet written still hold input bits until their pixel sets or
// clears them; the tail of the last byte is cleared at the end.
#include "filter/binarize/binarize.h"

#include <cstdlib>

namespace zova {
namespace {

struct Thresholds {
  int white;        // light at or above this channel sum
  int light_grey;   // neutral pixels above this sum are light
  int neutral_tol;  // max channel difference of a neutral pixel
};

constexpr Thresholds kFull{700, 513, 10};
// Halved pages merge pixel pairs and row pairs, which darkens strokes: drop
// more of the greys.
constexpr Thresholds kHalved{740, 373, 20};

inline bool IsDark(const unsigned char* px, const Thresholds& t) {
  const int r = px[0], g = px[1], b = px[2];
  const int sum = r + g + b;
  if (sum >= t.white) return false;
  if (sum > t.light_grey && std::abs(r - g) <= t.neutral_tol && std::abs(g - b) <= t.neutral_tol &&
      std::abs(r - b) <= t.neutral_tol) {
    return false;
  }
  return true;
}

// Writes packed bits one at a time over the row being converted.
class BitWriter {
 public:
  explicit BitWriter(unsigned char* dst) : dst_(dst) {}

  void Put(bool dot) {
    if (dot) {
      *dst_ |= mask_;
    } else {
      *dst_ &= static_cast<unsigned char>(~mask_);
    }
  }
  void Or(bool dot) {
    if (dot) *dst_ |= mask_;
  }
  void Advance() {
    mask_ >>= 1;
    if (mask_ == 0) {
      mask_ = 0x80;
      ++dst_;
    }
  }
  // Clears the bits of a partial last byte that no pixel wrote.
  void ClearTail() {
    if (mask_ != 0x80) *dst_ &= static_cast<unsigned char>(~(2 * mask_ - 1));
  }

 private:
  unsigned char* dst_;
  unsigned mask_ = 0x80;
};

}  // namespace

int TransToGray(unsigned char* psrc, const cups_page_header2_t* header) {
  BitWriter bits(psrc);
  const unsigned char* px = psrc;
  for (unsigned i = 0; i < header->cupsWidth; ++i, px += 3) {
    bits.Put(IsDark(px, kFull));
    bits.Advance();
  }
  bits.ClearTail();
  return 0;
}

int TransToGray360(unsigned char* psrc, const cups_page_header2_t* /*header*/, int iWidth,
                   int iOddFlag) {
  BitWriter bits(psrc);
  for (int i = 0; i < iWidth; ++i) {
    const unsigned char* a = psrc + 6 * i;
    // A's bytes are read before its bit is stored: for the first pair the
    // store lands on A's first byte. B lies beyond any store so far.
    bits.Put(IsDark(a, kHalved));
    bits.Or(IsDark(a + 3, kHalved));
    bits.Advance();
  }
  if (iOddFlag != 0) {
    // The unpaired last pixel has no partner to soften it: only white drops.
    const unsigned char* px = psrc + 6 * iWidth;
    bits.Put(px[0] + px[1] + px[2] < kHalved.white);
    bits.Advance();
  }
  bits.ClearTail();
  return 0;
}

}  // namespace zova
