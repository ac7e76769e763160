#include "testpage/alignment_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "testpage/bitmap_font.h"

namespace zova::testpage {
namespace {

// Lengths along one of the page's axes, in its pixels.
struct Axis {
  unsigned dpi;
  long Mm(double mm) const { return std::lround(mm * dpi / 25.4); }
  long Inch(double inch) const { return std::lround(inch * dpi); }
};

constexpr double kTextMm = 3.0;  // glyph height
constexpr double kShortTickMm = 1.5, kMidTickMm = 2.5, kLongTickMm = 4.0;
constexpr double kLabelGapMm = 0.5;  // from a long tick's end to its label
constexpr double kRulerGapMm = 1.5;  // between the rulers, and under a patch
constexpr double kMarginMm = 3.0;    // around the page's contents
constexpr double kPatchMm = 15.0;
constexpr int kPatches = 11;

struct Tick {
  long pos;  // pixels from the corner
  double lengthMm;
  std::string label;
};

// Millimetre ticks (label every 10 mm) or tenth-of-an-inch ticks (label
// every inch) up to `extent` pixels along an axis, the corner's own left out.
std::vector<Tick> Ticks(const Axis& axis, bool inches, long extent) {
  std::vector<Tick> ticks;
  for (long k = 1;; ++k) {
    const long pos = inches ? axis.Inch(k / 10.0) : axis.Mm(static_cast<double>(k));
    if (pos >= extent) break;
    const double length = k % 10 == 0 ? kLongTickMm : k % 5 == 0 ? kMidTickMm : kShortTickMm;
    std::string label;
    if (k % 10 == 0) label = inches ? std::to_string(k / 10) + "\"" : std::to_string(k);
    ticks.push_back({pos, length, label});
  }
  return ticks;
}

unsigned WidestLabel(const std::vector<Tick>& ticks, unsigned scale_x) {
  unsigned widest = 0;
  for (const Tick& tick : ticks) widest = std::max(widest, TextWidth(tick.label, scale_x));
  return widest;
}

// Words to lines of at most `columns` characters; a word longer than a line
// is cut.
std::vector<std::string> Wrap(const std::string& text, size_t columns) {
  if (text.size() <= columns) return {text};
  std::vector<std::string> lines;
  std::string line;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    start = end + 1;
    while (!word.empty()) {
      const size_t room = line.empty() ? columns : columns - std::min(columns, line.size() + 1);
      if (room == 0) {
        lines.push_back(line);
        line.clear();
        continue;
      }
      if (word.size() > room && !line.empty()) {
        lines.push_back(line);
        line.clear();
        continue;
      }
      if (!line.empty()) line += ' ';
      line += word.substr(0, room);
      word.erase(0, room);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Glyph dots to pixels, for text kTextMm high.
unsigned GlyphScale(unsigned dpi) {
  return static_cast<unsigned>(std::max(1L, std::lround(kTextMm * dpi / 25.4 / kGlyphRows)));
}

// The first multiple of `step` at or after `at`.
long Align(long at, unsigned step) { return (at + step - 1) / step * step; }

std::string SignedMm(double mm) {
  double tenths = std::round(mm * 10) / 10;
  if (tenths == 0) tenths = 0;  // no "-0.0"
  char text[32];
  snprintf(text, sizeof text, "%+.1f", tenths);
  return text;
}

class PageDrawing {
 public:
  PageDrawing(const TestPageSettings& s, GreyCanvas canvas)
      : s_(s),
        canvas_(canvas),
        x_{s.dpiX},
        y_{s.dpiY},
        scale_x_(GlyphScale(s.dpiX)),
        scale_y_(GlyphScale(s.dpiY)),
        text_height_(static_cast<long>(kGlyphRows * scale_y_)) {}

  void Draw() {
    const long width = canvas_.width, height = canvas_.height;
    // The left rulers take the corner; the top ones start beside them.
    const long left = LeftRulers();
    const long top = TopRulers(left + x_.Mm(kRulerGapMm));
    Contents(left + x_.Mm(kMarginMm), top + y_.Mm(kMarginMm), width - 1 - x_.Mm(kMarginMm),
             height - 1 - y_.Mm(kMarginMm));
    canvas_.Fill(0, 0, width, 1, 0);
    canvas_.Fill(0, height - 1, width, 1, 0);
    canvas_.Fill(0, 0, 1, height, 0);
    canvas_.Fill(width - 1, 0, 1, height, 0);
  }

 private:
  // Millimetres from the left edge, then inches on a base line; returns
  // where they end.
  long LeftRulers() {
    const long height = canvas_.height;
    const std::vector<Tick> mm = Ticks(y_, false, height - 1);
    const std::vector<Tick> inches = Ticks(y_, true, height - 1);
    const long base =
        x_.Mm(kLongTickMm + kLabelGapMm) + WidestLabel(mm, scale_x_) + x_.Mm(kRulerGapMm);
    canvas_.Fill(base, 0, 1, height, 0);
    for (const auto& [from, ticks] : {std::pair{0L, &mm}, std::pair{base, &inches}}) {
      for (const Tick& tick : *ticks) {
        canvas_.Fill(from, tick.pos, std::max(1L, x_.Mm(tick.lengthMm)), 1, 0);
        const long label_y = tick.pos - text_height_ / 2;
        if (!tick.label.empty() && label_y >= 1 && label_y + text_height_ < height - 1) {
          DrawText(canvas_, from + x_.Mm(kLongTickMm + kLabelGapMm), label_y, tick.label, scale_x_,
                   scale_y_);
        }
      }
    }
    return base + x_.Mm(kLongTickMm + kLabelGapMm) + WidestLabel(inches, scale_x_);
  }

  // Millimetres from the top edge, then inches on a base line, from x =
  // start; returns where they end.
  long TopRulers(long start) {
    const long width = canvas_.width;
    const long base = y_.Mm(kLongTickMm + kLabelGapMm) + text_height_ + y_.Mm(kRulerGapMm);
    canvas_.Fill(start, base, width - start, 1, 0);
    const std::vector<Tick> mm = Ticks(x_, false, width - 1);
    const std::vector<Tick> inches = Ticks(x_, true, width - 1);
    for (const auto& [from, ticks] : {std::pair{0L, &mm}, std::pair{base, &inches}}) {
      for (const Tick& tick : *ticks) {
        if (tick.pos < start) continue;
        canvas_.Fill(tick.pos, from, 1, std::max(1L, y_.Mm(tick.lengthMm)), 0);
        const long label_width = TextWidth(tick.label, scale_x_);
        const long label_x = tick.pos - label_width / 2;
        if (!tick.label.empty() && label_x >= start && label_x + label_width < width - 1) {
          DrawText(canvas_, label_x, from + y_.Mm(kLongTickMm + kLabelGapMm), tick.label, scale_x_,
                   scale_y_);
        }
      }
    }
    return base + y_.Mm(kLongTickMm + kLabelGapMm) + text_height_;
  }

  // Lines of text, then the ramp, in the box [x0, x1) x [y0, y1); what does
  // not fit is left out.
  void Contents(long x0, long y0, long x1, long y1) {
    // Text starts on whole glyph dots: at 360 dpi a text page prints at
    // 180, and a glyph dot that starts on an odd pixel would be smeared.
    x0 = Align(x0, scale_x_);
    const long advance = static_cast<long>(kGlyphAdvance * scale_x_);
    if (x1 - x0 < advance) return;
    const size_t columns = static_cast<size_t>((x1 - x0 + scale_x_) / advance);
    const long pitch = Align(text_height_ + y_.Mm(kRulerGapMm), scale_y_);
    char resolution[64];
    snprintf(resolution, sizeof resolution, "%u x %u dpi", s_.dpiX, s_.dpiY);
    const std::string lines[] = {
        "ZOVA-QRT alignment and tone test",
        "",
        "Command set: " + s_.commandSet,
        std::string("Resolution: ") + resolution,
        "Print as: " + s_.printAs,
        "Top offset: " + SignedMm(s_.topOffsetMm) +
            " mm  Left offset: " + SignedMm(s_.leftOffsetMm) + " mm",
        "Media: " + s_.media,
        "",
        "The quick brown fox jumps over the lazy dog 0123456789",
        "",
    };
    long y = Align(y0, scale_y_);
    for (const std::string& text : lines) {
      const std::vector<std::string> wrapped = Wrap(text, columns);
      // A setting is shown whole or not at all.
      if (y + static_cast<long>(wrapped.size() - 1) * pitch + text_height_ > y1) return;
      for (const std::string& line : wrapped) {
        DrawText(canvas_, x0, y, line, scale_x_, scale_y_);
        y += pitch;
      }
    }
    Ramp(x0, y, x1, y1);
  }

  // 0 to 100 % black in 10 % steps, side by side in as many rows as the
  // width needs, each patch labelled below.
  void Ramp(long x0, long y0, long x1, long y1) {
    const long side_x = static_cast<long>(std::ceil(kPatchMm * s_.dpiX / 25.4));
    const long side_y = static_cast<long>(std::ceil(kPatchMm * s_.dpiY / 25.4));
    const long across = std::min<long>(kPatches, (x1 - x0) / side_x);
    if (across == 0) return;
    const long label_gap = y_.Mm(kRulerGapMm);
    const long row_height = side_y + label_gap + text_height_ + y_.Mm(kMarginMm);
    for (int k = 0; k < kPatches; ++k) {
      const long x = x0 + k % across * side_x, y = y0 + k / across * row_height;
      if (y + side_y + label_gap + text_height_ > y1) return;
      canvas_.Fill(x, y, side_x, side_y, static_cast<uint8_t>(std::lround(255 * (1 - k / 10.0))));
      const std::string label = std::to_string(k * 10) + "%";
      const long label_width = TextWidth(label, scale_x_);
      DrawText(canvas_, x + (side_x - label_width) / 2, y + side_y + label_gap, label, scale_x_,
               scale_y_);
    }
  }

  const TestPageSettings& s_;
  GreyCanvas canvas_;
  const Axis x_, y_;
  const unsigned scale_x_, scale_y_;
  const long text_height_;
};

}  // namespace

std::vector<uint8_t> DrawTestPage(const TestPageSettings& s, unsigned width, unsigned height) {
  if (width == 0 || height == 0 || s.dpiX == 0 || s.dpiY == 0) return {};
  std::vector<uint8_t> pixels(size_t{width} * height, 0xFF);
  PageDrawing(s, GreyCanvas{pixels.data(), width, height}).Draw();
  return pixels;
}

RowFill TestPageRows(const TestPageSettings& s, unsigned width, unsigned height) {
  auto grey = std::make_shared<const std::vector<uint8_t>>(DrawTestPage(s, width, height));
  return [grey, width, height](unsigned y, uint8_t* rgb, unsigned row_width) {
    memset(rgb, 0xFF, size_t{row_width} * 3);
    if (grey->empty() || y >= height) return;
    const uint8_t* row = grey->data() + size_t{y} * width;
    for (unsigned x = 0; x < std::min(width, row_width); ++x) {
      rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = row[x];
    }
  };
}

}  // namespace zova::testpage
