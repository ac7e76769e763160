// Which of a document's fonts give their characters reliably: those with a
// Unicode map (ToUnicode), and those in a standard encoding, whose codes are
// known characters. Read from poppler's pdffonts listing of the document.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zova::doctext {

class FontEncodings {
 public:
  // pdffonts' table: a header line, a line of dashes, then one line per
  // font.
  static FontEncodings Parse(std::string_view listing);

  // Every font of that name (subset prefix or not, a composite font's CMap
  // after it or not) has a Unicode map or a standard encoding; false for a
  // font the listing does not have.
  bool Reliable(std::string_view font) const;
  size_t size() const { return reliable_.size(); }

 private:
  std::map<std::string, bool, std::less<>> reliable_;
};

// The name without a subset's "ABCDEF+" prefix.
std::string_view BaseFontName(std::string_view name);

}  // namespace zova::doctext
