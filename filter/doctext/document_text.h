// A document's text as Ghostscript's txtwrite device reports it
// (-dTextFormat=4): each character with its font, size, place and Unicode
// value, page by page, read as Ghostscript writes it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zova::doctext {

// One character, in the page's device space at 72 dpi: x to the right, y
// down from the page's top left corner, in points.
struct DocumentChar {
  char32_t code = 0;  // Unicode, as Ghostscript derives it
  double x = 0;       // its origin, on the baseline
  double y = 0;
  double advance = 0;    // its glyph's width along the baseline
  double size = 0;       // the height of its em
  double emAdvance = 0;  // its glyph's width in ems, as the font has it
  bool upright = false;  // neither turned, mirrored, slanted nor written downwards
  uint32_t font = 0;     // in DocumentPage::fonts
};

struct DocumentPage {
  std::vector<std::string> fonts;   // as txtwrite names them
  std::vector<DocumentChar> chars;  // in the order the page shows them
  bool complete = true;             // false: more characters than are kept
};

// Characters kept of one page; a page with more is read to its end and
// prints as graphics.
inline constexpr size_t kMaxPageChars = size_t{1} << 18;

class DocumentTextReader {
 public:
  // Reads up to `len` bytes; 0 at the end, negative on a failure.
  using Read = std::function<ssize_t(char* buffer, size_t len)>;
  explicit DocumentTextReader(Read read) : read_(std::move(read)) {}

  // The next page's characters; false at the end of the output.
  bool NextPage(DocumentPage& page);

 private:
  bool NextLine(std::string& line);
  void ParseSpan(const std::string& line, DocumentPage& page);
  void ParseChar(const std::string& line, DocumentPage& page) const;

  Read read_;
  std::vector<char> buffer_ = std::vector<char>(64 * 1024);
  size_t begin_ = 0, end_ = 0;
  bool ended_ = false;
  // The span the characters belong to: its matrix, size, writing mode and
  // font; a span that could not be read keeps its characters out.
  double ctm_[6] = {1, 0, 0, 1, 0, 0};
  double size_ = 0;
  int wmode_ = 0;
  uint32_t font_ = 0;
  bool span_ = false;
  std::unordered_map<std::string, uint32_t> fontIndex_;  // the page's fonts by name
};

}  // namespace zova::doctext
