#include "doctext/document_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zova::doctext {
namespace {

// A line longer than this is no line of txtwrite's: it is passed over.
constexpr size_t kMaxLine = 4096;

bool StartsWith(const std::string& line, const char* prefix) {
  return line.compare(0, strlen(prefix), prefix) == 0;
}

}  // namespace

bool DocumentTextReader::NextLine(std::string& line) {
  line.clear();
  bool too_long = false;
  for (;;) {
    if (begin_ == end_) {
      if (ended_) return !line.empty();
      const ssize_t got = read_(buffer_.data(), buffer_.size());
      if (got <= 0) {
        ended_ = true;
        continue;
      }
      begin_ = 0;
      end_ = static_cast<size_t>(got);
    }
    const char* start = buffer_.data() + begin_;
    const char* nl = static_cast<const char*>(memchr(start, '\n', end_ - begin_));
    const size_t take = nl != nullptr ? static_cast<size_t>(nl - start) : end_ - begin_;
    if (line.size() + take > kMaxLine) {
      too_long = true;
    } else {
      line.append(start, take);
    }
    begin_ += take;
    if (nl != nullptr) {
      ++begin_;
      if (too_long) line.clear();
      return true;
    }
  }
}

bool DocumentTextReader::NextPage(DocumentPage& page) {
  page.fonts.clear();
  page.chars.clear();
  page.complete = true;
  span_ = false;
  fontIndex_.clear();
  std::string line;
  bool in_page = false;
  while (NextLine(line)) {
    if (StartsWith(line, "<page>")) {
      in_page = true;
    } else if (StartsWith(line, "</page>")) {
      if (in_page) return true;
    } else if (in_page && StartsWith(line, "<span ")) {
      ParseSpan(line, page);
    } else if (in_page && StartsWith(line, "<char ")) {
      ParseChar(line, page);
    }
  }
  // Output cut short ends with the page it was in.
  return in_page;
}

// <span ctm="a b c d e f" ctm_orig="..." trm="s 0 0 s 0 0" len="n" wmode="w"
// font_name="NAME">: the text matrix over the size, the size, and the font.
void DocumentTextReader::ParseSpan(const std::string& line, DocumentPage& page) {
  double* m = ctm_;
  span_ = sscanf(line.c_str(),
                 "<span ctm=\"%lf %lf %lf %lf %lf %lf\" ctm_orig=\"%*f %*f %*f %*f %*f %*f\" "
                 "trm=\"%lf %*f %*f %*f %*f %*f\" len=\"%*d\" wmode=\"%d\"",
                 &m[0], &m[1], &m[2], &m[3], &m[4], &m[5], &size_, &wmode_) == 8 &&
          std::isfinite(size_) && size_ > 0;
  const size_t name = line.find(" font_name=\"");
  const size_t name_end = line.rfind("\">");
  std::string font;
  if (name != std::string::npos && name_end != std::string::npos && name_end > name + 12) {
    font = line.substr(name + 12, name_end - name - 12);
  }
  const auto [it, added] = fontIndex_.emplace(font, static_cast<uint32_t>(page.fonts.size()));
  if (added) page.fonts.push_back(std::move(font));
  font_ = it->second;
}

// <char x="X" y="Y" c="C" ucs="U" adv="A"/>: the character's place along
// its span, in the span's space, and its glyph's width in ems.
void DocumentTextReader::ParseChar(const std::string& line, DocumentPage& page) const {
  double x = 0, y = 0, adv = 0;
  unsigned ucs = 0;
  if (!span_ || sscanf(line.c_str(), "<char x=\"%lf\" y=\"%lf\" c=\"%*c\" ucs=\"%u\" adv=\"%lf\"",
                       &x, &y, &ucs, &adv) != 4) {
    return;
  }
  if (page.chars.size() >= kMaxPageChars) {
    page.complete = false;
    return;
  }
  const double* m = ctm_;
  DocumentChar c;
  c.code = ucs;
  c.x = m[4] + x * m[0] + y * m[2];
  c.y = m[5] + x * m[1] + y * m[3];
  c.advance = adv * size_ * m[0];
  c.size = size_ * std::abs(m[3]);
  c.emAdvance = adv;
  // Device space runs down the page: upright text has its y axis flipped.
  const double tiny = 1e-4 * (std::abs(m[0]) + std::abs(m[3]));
  c.upright = wmode_ == 0 && m[0] > 0 && m[3] < 0 && std::abs(m[1]) <= tiny &&
              std::abs(m[2]) <= tiny && std::isfinite(c.x) && std::isfinite(c.y) &&
              std::isfinite(adv) && adv > 0;
  c.font = font_;
  page.chars.push_back(c);
}

}  // namespace zova::doctext
