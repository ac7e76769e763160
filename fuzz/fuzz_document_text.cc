// A document's text as any bytes in txtwrite's place: read page by page,
// judged against a page drawn from it (each character's origin inked, a
// grey patch chosen by the first byte under some), taken out of the
// drawing, and its lines printed on an LQ page. Whatever the report, the
// printer must get a stream the strict decoder reads back whole.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "doctext/document_text.h"
#include "doctext/text_page.h"
#include "dotmatrix/dotmatrix.h"
#include "preview/stream_decoder.h"
#include "text/placed_lines.h"

namespace {

constexpr unsigned kDpi = 72, kWidth = 612, kHeight = 792;  // US Letter, a pixel a point

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zova;
  if (size == 0) return 0;
  const uint8_t choice = data[0];
  static const doctext::FontEncodings fonts = doctext::FontEncodings::Parse(
      "name type encoding emb sub uni object ID\n---- ---- ---- --- --- --- ---------\n"
      "Courier Type 1 Standard no no no 7 0\nMono TrueType Custom yes yes yes 8 0\n");
  const auto& tables = text::CharacterTables();
  doctext::TextPageSettings settings;
  settings.fonts = &fonts;
  settings.table = &tables[choice % tables.size()];
  settings.dpiX = settings.dpiY = kDpi;
  settings.width = kWidth;
  settings.height = kHeight;
  settings.pageWidth = kWidth;
  settings.pageLength = kHeight;
  settings.offsetX = choice & 0x10 ? 36 : 0;
  settings.offsetY = choice & 0x20 ? -36 : 0;

  size_t at = 1;
  doctext::DocumentTextReader reader([&](char* buffer, size_t len) -> ssize_t {
    const size_t n = std::min(len, size - at);
    memcpy(buffer, data + at, n);
    at += n;
    return static_cast<ssize_t>(n);
  });
  doctext::DocumentPage page;
  std::vector<std::vector<uint8_t>> drawn(kHeight), text_free(kHeight);
  for (int pages = 0; pages < 4 && reader.NextPage(page); ++pages) {
    for (unsigned y = 0; y < kHeight; ++y) {
      drawn[y].assign(3 * kWidth, 0xFF);
      // A grey patch under the top left of the page, or none.
      text_free[y].assign(3 * kWidth, 0xFF);
      if ((choice & 0x40) && y < kHeight / 3) std::fill_n(text_free[y].begin(), kWidth, 0x80);
      if ((choice & 0x40) && y < kHeight / 3) std::fill_n(drawn[y].begin(), kWidth, 0x80);
    }
    for (const doctext::DocumentChar& c : page.chars) {
      if (!(c.x >= 1 && c.x < kWidth - 1 && c.y >= 3 && c.y < kHeight)) continue;
      const auto x = static_cast<size_t>(c.x), y = static_cast<size_t>(c.y);
      for (size_t row = y - 3; row < y; ++row) drawn[row][3 * x] = drawn[row][3 * x + 1] = 0;
    }
    doctext::TextPage judged(page, settings);
    for (unsigned y = 0; y < kHeight; ++y) judged.AddRows(y, drawn[y].data(), text_free[y].data());
    judged.Decide();
    for (unsigned y = 0; y < kHeight; ++y) judged.Erase(y, drawn[y].data());
    text::PlacedLines lines(judged.Lines(), text::Quality::kDraft, *settings.table);

    char* bytes = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&bytes, &length);
    {
      NoMessages quiet;
      OutputState state(out, quiet);
      PagePlan plan;
      plan.pageLines = static_cast<int>(kHeight / 12);
      plan.setup = plan.band = {180, 180};
      plan.columns = 8;
      plan.trimColumns = 3;
      state.Setup();
      if (!state.StartPage(plan, &lines) || !state.EndPage() || !state.Shutdown()) abort();
    }
    fclose(out);
    const preview::DecodedStream decoded =
        preview::DecodeStream(reinterpret_cast<const uint8_t*>(bytes), length);
    if (decoded.error || decoded.pages.size() != 1) {
      fprintf(stderr, "%s\n", decoded.error ? decoded.error->message.c_str() : "no page");
      abort();
    }
    free(bytes);
  }
  return 0;
}
