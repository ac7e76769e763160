#include "doctext/text_page.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "dotmatrix/printer_limits.h"
#include "text/text_commands.h"

namespace zova::doctext {
namespace {

using text::kUnitsPerInch;
using text::Pitch;

constexpr Pitch kPitches[] = {Pitch::k10, Pitch::k12, Pitch::k15, Pitch::k17, Pitch::k20};

// Points to the 1/360-inch units the printer is placed in.
constexpr double kUnitsPerPoint = kUnitsPerInch / 72.0;
// A character may land this far from its place: 1/120 inch.
constexpr int kTolerance = kUnitsPerInch / 120;
// An LQ character's height, from the head's position: 24/180 inch.
constexpr int kCharacterUnits = 48;

// Where a glyph's ink may lie, in ems from its baseline: the printer's
// fonts and the common monospaced ones (Courier, Nimbus Mono, DejaVu Sans
// Mono, Liberation Mono) stay within 0.85 above and 0.3 below.
constexpr double kAscent = 0.85;
constexpr double kDescent = 0.3;
// A monospaced font's glyph widths agree within this share.
constexpr double kSameWidth = 0.005;
// The glyph width must be the pitch's within this share, and the size within
// this range of the pitch's own font (Courier's, 0.6 em wide).
constexpr double kPitchMatch = 0.01;
constexpr double kMinSize = 0.75, kMaxSize = 1.35;
// The pixels a page's characters may look at, in page areas.
constexpr size_t kLooksPerPixel = 16;

// A pixel printed as ink: at least half dark, as the text-page threshold
// prints it whatever its colour.
bool DarkInk(const uint8_t* px) { return px[0] + px[1] + px[2] < 3 * 128; }
bool White(const uint8_t* px) { return (px[0] & px[1] & px[2]) == 0xFF; }

bool BoldName(const std::string& font) {
  std::string lower(font);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* weight : {"bold", "black", "heavy", "demi"}) {
    if (lower.find(weight) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

TextPage::TextPage(const DocumentPage& page, const TextPageSettings& settings)
    : page_(page), settings_(settings), encoder_(*settings.table), glyphs_(page.chars.size()) {
  // A font is monospaced when all its glyphs on the page are one width.
  std::vector<double> narrowest(page.fonts.size(), HUGE_VAL), widest(page.fonts.size(), 0);
  for (const DocumentChar& c : page.chars) {
    narrowest[c.font] = std::min(narrowest[c.font], c.emAdvance);
    widest[c.font] = std::max(widest[c.font], c.emAdvance);
  }
  std::vector<bool> monospaced(page.fonts.size());
  for (size_t f = 0; f < page.fonts.size(); ++f) {
    monospaced[f] = widest[f] > 0 && widest[f] - narrowest[f] <= kSameWidth * widest[f];
  }
  for (size_t i = 0; i < page.chars.size(); ++i) {
    Glyph& glyph = glyphs_[i];
    glyph.search = SearchBox(page.chars[i]);
    glyph.fallback = page.complete ? Judge(page.chars[i], monospaced, glyph) : Fallback::kCrowded;
    if (glyph.fallback == Fallback::kNone) ++candidates_;
  }
  if (candidates_ == 0) return;
  dark_ = PackedBitmap(settings.width, settings.height);
  light_ = PackedBitmap(settings.width, settings.height);
  background_ = PackedBitmap(settings.width, settings.height);
}

// What the document says of a character: whether it may print as text, and
// where.
Fallback TextPage::Judge(const DocumentChar& c, const std::vector<bool>& monospaced,
                         Glyph& glyph) const {
  glyph.space = c.code == U' ';
  if (!c.upright) return Fallback::kTurned;
  const std::string& font = page_.fonts[c.font];
  if (!settings_.fonts->Reliable(font)) return Fallback::kEncoding;
  if (!monospaced[c.font]) return Fallback::kProportional;
  const Pitch* pitch = std::find_if(std::begin(kPitches), std::end(kPitches), [&](Pitch p) {
    const double points = text::PitchWidth(p) / kUnitsPerPoint;
    return std::abs(c.advance - points) <= kPitchMatch * points &&
           c.size >= kMinSize * points / 0.6 && c.size <= kMaxSize * points / 0.6;
  });
  if (pitch == std::end(kPitches)) return Fallback::kSize;
  glyph.pitch = *pitch;
  glyph.bold = BoldName(font);
  if (c.code < 0x20 || !encoder_.Holds(c.code)) return Fallback::kTable;

  glyph.place = c.x * kUnitsPerPoint + settings_.offsetX;
  glyph.x = static_cast<int>(std::lround(glyph.place));
  const int baseline =
      static_cast<int>(std::lround((c.y + settings_.yShift) * kUnitsPerPoint)) + settings_.offsetY;
  glyph.position = baseline - static_cast<int>(lq_text::kBaselineDrop);
  const int right = std::min(static_cast<int>(std::lround(settings_.pageWidth * kUnitsPerPoint)),
                             static_cast<int>(kMaxCarriageInches * kUnitsPerInch));
  // The printer's page is whole 1/6-inch lines long.
  const int bottom = static_cast<int>(std::lround(settings_.pageLength / 12)) * kUnitsPerInch / 6;
  if (glyph.x < 0 || glyph.x + static_cast<int>(text::PitchWidth(*pitch)) > right ||
      glyph.position < 0 || glyph.position + kCharacterUnits > bottom) {
    return Fallback::kOutside;
  }
  return Fallback::kNone;
}

// Upright: the glyph's cell, its advance wide, from its ascent to its
// descent. Otherwise a square around it that holds the glyph however it
// turns.
TextPage::Box TextPage::SearchBox(const DocumentChar& c) const {
  const double sx = settings_.dpiX / 72.0, sy = settings_.dpiY / 72.0;
  const double y = c.y + settings_.yShift;
  double x0 = c.x, x1 = c.x + c.advance, y0 = y - kAscent * c.size, y1 = y + kDescent * c.size;
  if (!c.upright) {
    const double reach = 1.2 * std::max(c.size, std::abs(c.advance));
    x0 = c.x - reach, x1 = c.x + reach, y0 = y - reach, y1 = y + reach;
  }
  const auto px = [](double v, double scale, unsigned limit) {
    const double p = std::floor(v * scale + 0.5);
    return static_cast<int>(std::clamp(p, 0.0, static_cast<double>(limit)));
  };
  return {px(x0, sx, settings_.width), px(y0, sy, settings_.height), px(x1, sx, settings_.width),
          px(y1, sy, settings_.height)};
}

void TextPage::AddRows(unsigned y, const uint8_t* drawn, const uint8_t* text_free) {
  if (candidates_ == 0 || y >= settings_.height) return;
  for (unsigned x = 0; x < settings_.width; ++x) {
    const uint8_t* d = drawn + 3 * x;
    const uint8_t* t = text_free + 3 * x;
    if (!White(t)) background_.Set(x, y);
    if (memcmp(d, t, 3) == 0) continue;
    (DarkInk(d) ? dark_ : light_).Set(x, y);
  }
}

bool TextPage::Any(const PackedBitmap& plane, const Box& box) {
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      if (plane.Get(static_cast<size_t>(x), static_cast<size_t>(y))) return true;
    }
  }
  return false;
}

// The bounds of the ink in `box`; the box itself once the page's budget of
// pixels to look at is spent (`looked` false), so that a document of
// thousands of huge or turned characters costs a bounded time.
TextPage::Box TextPage::InkOf(const Box& box, bool& looked) {
  const size_t area =
      box.empty() ? 0 : static_cast<size_t>(box.x1 - box.x0) * static_cast<size_t>(box.y1 - box.y0);
  looked = area <= budget_;
  if (!looked) return box;
  budget_ -= area;
  Box ink{box.x1, box.y1, box.x0, box.y0};
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      const auto ux = static_cast<size_t>(x), uy = static_cast<size_t>(y);
      if (!dark_.Get(ux, uy) && !light_.Get(ux, uy)) continue;
      ink = {std::min(ink.x0, x), std::min(ink.y0, y), std::max(ink.x1, x + 1),
             std::max(ink.y1, y + 1)};
    }
  }
  return ink;
}

void TextPage::Decide() {
  if (candidates_ > 0) {
    budget_ = kLooksPerPixel * settings_.width * settings_.height;
    // The margin kept clear around a glyph's ink: a dot of the head's pitch.
    const int margin = static_cast<int>(std::max(1u, settings_.dpiY / 180));
    for (Glyph& glyph : glyphs_) {
      bool looked = true;
      if (!glyph.space) glyph.ink = InkOf(glyph.search, looked);
      if (glyph.fallback != Fallback::kNone || glyph.space) continue;
      if (!looked) {
        glyph.fallback = Fallback::kCrowded;
        continue;
      }
      glyph.erase = {glyph.search.x0, std::max(0, glyph.ink.y0 - margin), glyph.search.x1,
                     std::min(static_cast<int>(settings_.height), glyph.ink.y1 + margin)};
      // Not drawn (invisible), drawn light, or drawn over something.
      if (glyph.ink.empty() || Any(light_, glyph.search) || Any(background_, glyph.erase)) {
        glyph.fallback = Fallback::kBackground;
      }
    }
    SettleNeighbours();
    erased_.assign(settings_.height / 64 + 1, {});
  }
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    const Glyph& glyph = glyphs_[i];
    ++fallbacks_[static_cast<size_t>(glyph.fallback)];
    if (glyph.fallback != Fallback::kNone || glyph.space) continue;
    for (int band = glyph.erase.y0 / 64; band <= (glyph.erase.y1 - 1) / 64; ++band) {
      erased_[static_cast<size_t>(band)].push_back(static_cast<uint32_t>(i));
    }
  }
  dark_ = light_ = background_ = PackedBitmap();
}

// A glyph taken out must not take any of another character's ink with it:
// where their boxes meet, it stays graphics too, and so on from each one
// that falls back until none meets.
void TextPage::SettleNeighbours() {
  constexpr int kCell = 64;
  const auto each_cell = [](const Box& b, auto&& each) {
    for (int cy = b.y0 / kCell; cy <= (b.y1 - 1) / kCell; ++cy) {
      for (int cx = b.x0 / kCell; cx <= (b.x1 - 1) / kCell; ++cx) {
        each((uint64_t{static_cast<uint32_t>(cy)} << 32) | static_cast<uint32_t>(cx));
      }
    }
  };
  const auto taken_out = [](const Glyph& g) { return g.fallback == Fallback::kNone && !g.space; };
  std::unordered_map<uint64_t, std::vector<uint32_t>> printed;  // by the cells of their erase box
  std::vector<uint32_t> kept;  // graphics whose ink is still to be checked against them
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    const Glyph& glyph = glyphs_[i];
    if (taken_out(glyph)) {
      each_cell(glyph.erase,
                [&](uint64_t cell) { printed[cell].push_back(static_cast<uint32_t>(i)); });
    } else if (!glyph.space && !glyph.ink.empty()) {
      kept.push_back(static_cast<uint32_t>(i));
    }
  }
  while (!kept.empty()) {
    const Box ink = glyphs_[kept.back()].ink;
    kept.pop_back();
    each_cell(ink, [&](uint64_t cell) {
      const auto it = printed.find(cell);
      if (it == printed.end()) return;
      for (uint32_t i : it->second) {
        Glyph& glyph = glyphs_[i];
        if (!taken_out(glyph) || !glyph.erase.Meets(ink)) continue;
        glyph.fallback = Fallback::kNeighbour;
        kept.push_back(i);
      }
    });
  }
}

void TextPage::Erase(unsigned y, uint8_t* row) const {
  if (erased_.empty() || y / 64 >= erased_.size()) return;
  for (uint32_t i : erased_[y / 64]) {
    const Box& box = glyphs_[i].erase;
    if (static_cast<int>(y) < box.y0 || static_cast<int>(y) >= box.y1) continue;
    memset(row + 3 * box.x0, 0xFF, 3 * static_cast<size_t>(box.x1 - box.x0));
  }
}

std::vector<text::PlacedLine> TextPage::Lines() const {
  std::vector<text::PlacedRun> runs;
  std::vector<int> positions;
  size_t last = SIZE_MAX;
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    const Glyph& glyph = glyphs_[i];
    if (glyph.fallback != Fallback::kNone) continue;
    const char32_t code = page_.chars[i].code;
    // It goes on the run before when it follows it in the document, on its
    // line, in its pitch and weight, and its place in the run lies within
    // 1/120 inch of the document's.
    bool follows = !runs.empty() && last + 1 == i && positions.back() == glyph.position &&
                   runs.back().pitch == glyph.pitch && runs.back().bold == glyph.bold;
    if (follows) {
      const text::PlacedRun& run = runs.back();
      const int at = static_cast<int>(run.x + run.text.size() * text::PitchWidth(run.pitch));
      follows = std::abs(at - glyph.place) <= kTolerance;
    }
    if (!follows) {
      runs.push_back({static_cast<unsigned>(glyph.x), glyph.pitch, glyph.bold, {}});
      positions.push_back(glyph.position);
    }
    runs.back().text.push_back(code);
    last = i;
  }
  std::map<int, text::PlacedLine> lines;
  for (size_t r = 0; r < runs.size(); ++r) {
    text::PlacedRun& run = runs[r];
    // Blanks at either end move the head without printing.
    const size_t first = run.text.find_first_not_of(U' ');
    if (first == std::u32string::npos) continue;
    run.x += static_cast<unsigned>(first * text::PitchWidth(run.pitch));
    run.text = run.text.substr(first, run.text.find_last_not_of(U' ') + 1 - first);
    text::PlacedLine& line = lines[positions[r]];
    line.position = static_cast<unsigned>(positions[r]);
    line.runs.push_back(std::move(run));
  }
  std::vector<text::PlacedLine> out;
  for (auto& [position, line] : lines) out.push_back(std::move(line));
  return out;
}

size_t TextPage::printed() const { return fallbacks_[static_cast<size_t>(Fallback::kNone)]; }

std::string TextPage::Summary() const {
  static constexpr const char* kWhy[kFallbacks] = {"",
                                                   "turned or slanted",
                                                   "in a font without a Unicode map",
                                                   "in a proportional font",
                                                   "at a size no pitch has",
                                                   "not in the character table",
                                                   "off the page",
                                                   "over a picture or in a light ink",
                                                   "touching other text",
                                                   "on a page with too many characters"};
  std::string text = std::to_string(printed()) + " characters as text";
  std::string graphics;
  for (size_t k = 1; k < kFallbacks; ++k) {
    if (fallbacks_[k] == 0) continue;
    graphics += (graphics.empty() ? "; as graphics: " : ", ") + std::to_string(fallbacks_[k]) +
                " " + kWhy[k];
  }
  return text + graphics;
}

}  // namespace zova::doctext
