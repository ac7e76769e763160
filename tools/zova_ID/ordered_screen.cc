// Clustered-dot ordered screen.
//
// kCluster ranks the cells of a 4x4 tile with the spot function
// cos(pi X / 2) cos(pi Y / 2) around two dot centres on a 45 degree grid; equal
// values are ranked in a spiral, alternating between the two dots. Ranks 0 to
// 7 grow the two black dots to 2x2 clusters that touch at their corners,
// ranks 8 to 15 close the white holes between them. At 180 dpi that is a
// 64 lines per inch screen whose dots the head strikes as small compact
// groups. Sixteen tiles, offset from each other in the order of a 4x4 Bayer
// matrix, make a 16x16 supercell of 256 thresholds, so a flat field prints its
// coverage to 1/256.
#include "zova_ID/screen.h"
#include "zova_ID/tone_curve.h"

namespace zova {
namespace {

constexpr int kTile = 4;
constexpr int kSuper = kOrderedPeriod;
static_assert(kOrderedLevels == kSuper * kSuper);

constexpr uint8_t kCluster[kTile][kTile] = {
    {0, 2, 9, 11}, {6, 4, 15, 13}, {8, 10, 1, 3}, {14, 12, 7, 5}};
constexpr uint8_t kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

}  // namespace

int OrderedRank(int x, int y) {
  x %= kSuper;
  y %= kSuper;
  return kTile * kTile * kCluster[y % kTile][x % kTile] + kBayer4[y / kTile][x / kTile];
}

namespace {

class OrderedScreen final : public Screen {
 public:
  OrderedScreen(int width, int dpi, int ydpi) : width_(width) {
    // The cell of rank r is inked for every pixel that gets more than r
    // levels. Comparing luminances keeps the shadows as fine as the
    // luminance table.
    const ToneCurve tone(ToneCurve::kOrdered, dpi, ydpi);
    for (int y = 0; y < kSuper; ++y) {
      for (int x = 0; x < kSuper; ++x) {
        thresholds_[y][x] = tone.LuminanceBelow(OrderedRank(x, y) + 1);
      }
    }
  }

  void Row(const uint8_t* rgb, uint8_t* packed) override {
    const uint32_t* thr = thresholds_[row_++ % kSuper];
    // Eight pixels per output byte; the threshold row repeats every 16.
    int x = 0;
    for (; x + 8 <= width_; x += 8, rgb += 24) {
      const uint32_t* t = thr + (x & (kSuper - 1));
      unsigned byte = 0;
      for (int i = 0; i < 8; ++i) {
        byte = (byte << 1) | (luminance_(rgb + 3 * i) < t[i] ? 1u : 0u);
      }
      *packed++ = static_cast<uint8_t>(byte);
    }
    if (x < width_) {
      unsigned byte = 0;
      const int rest = width_ - x;
      for (int i = 0; i < rest; ++i) {
        byte = (byte << 1) | (luminance_(rgb + 3 * i) < thr[(x + i) & (kSuper - 1)] ? 1u : 0u);
      }
      *packed = static_cast<uint8_t>(byte << (8 - rest));
    }
  }

 private:
  int width_;
  unsigned row_ = 0;
  LuminanceTable luminance_;
  uint32_t thresholds_[kSuper][kSuper];
};

}  // namespace

std::unique_ptr<Screen> MakeOrderedScreen(int width, int dpi, int ydpi) {
  return std::make_unique<OrderedScreen>(width, dpi, ydpi);
}

}  // namespace zova
