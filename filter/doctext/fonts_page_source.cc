#include "doctext/fonts_page_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "text/text_layout.h"

namespace zova::doctext {
namespace {

// Kept rows go out and come back through a buffer of this size.
constexpr size_t kBufferBytes = 256 * 1024;

// Ghostscript's cups device takes a PPD's page size for a document's page
// within a few points of it, but not when told to leave the text out: the
// two drawings may then differ by a row or a column at the far edges, the
// rest in place.
constexpr unsigned kEdgeSlack = 2;

bool Comparable(const cups_page_header2_t& a, const cups_page_header2_t& b) {
  const auto near = [](unsigned x, unsigned y) { return (x > y ? x - y : y - x) <= kEdgeSlack; };
  return near(a.cupsWidth, b.cupsWidth) && near(a.cupsHeight, b.cupsHeight) &&
         a.cupsBitsPerPixel == b.cupsBitsPerPixel && a.HWResolution[0] == b.HWResolution[0] &&
         a.HWResolution[1] == b.HWResolution[1];
}

int OffsetUnits(int hundredths_mm) {
  return static_cast<int>(std::lround(hundredths_mm * double{text::kUnitsPerInch} / 2540));
}

bool WriteAll(int fd, const uint8_t* data, size_t len) {
  while (len > 0) {
    const ssize_t n = write(fd, data, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FontsPageSource::FontsPageSource(PageSource& drawn, PageSource& text_free, DocumentTextReader& text,
                                 const FontsSetup& setup, Messages& messages, CancelToken cancel)
    : drawn_(drawn),
      textFree_(text_free),
      text_(text),
      setup_(setup),
      messages_(messages),
      cancel_(std::move(cancel)) {}

FontsPageSource::~FontsPageSource() = default;

bool FontsPageSource::NextPage(cups_page_header2_t& header) {
  lines_.reset();
  judged_.reset();
  read_ = false;
  rowsKept_ = rowsGiven_ = 0;
  // The text-free render stays in step: what the page before left of it
  // goes unread.
  if (textFreeInStep_) {
    textFreeRow_.resize(textFreeHeader_.cupsBytesPerLine);
    for (; textFreeRows_ < textFreeHeader_.cupsHeight; ++textFreeRows_) {
      if (!textFree_.ReadRow(textFreeRow_)) break;
    }
  }
  if (failed_ || !drawn_.NextPage(header)) return false;
  ++page_;
  header_ = header;
  textFreeRows_ = 0;
  const bool has_text = textLeft_ && (textLeft_ = text_.NextPage(document_));
  if (textFreeInStep_) {
    textFreeHeader_ = {};
    if (!textFree_.NextPage(textFreeHeader_) || !Comparable(header, textFreeHeader_)) {
      messages_.Warning(
          "Page %d drawn without its text does not match the page: the document's text prints "
          "as graphics from there on.",
          page_);
      textFreeInStep_ = false;
    }
  }
  if (!has_text || !textFreeInStep_ || header.cupsBitsPerPixel != 24) return true;

  TextPageSettings settings;
  settings.fonts = setup_.fonts;
  settings.table = setup_.table;
  settings.dpiX = header.HWResolution[0];
  settings.dpiY = header.HWResolution[1];
  settings.width = header.cupsWidth;
  settings.height = header.cupsHeight;
  // The page as the document has it: the text-free drawing keeps its size
  // where the drawing may take the PPD's.
  const cups_page_header2_t& own = textFreeHeader_;
  const double length = own.cupsPageSize[1] > 0 ? own.cupsPageSize[1] : own.PageSize[1];
  settings.pageWidth = own.cupsPageSize[0] > 0 ? own.cupsPageSize[0] : own.PageSize[0];
  settings.pageLength = length;
  // txtwrite's page is the length in whole points; the raster's bottom is
  // where both put the document's own.
  settings.yShift = own.cupsHeight * 72.0 / settings.dpiY - std::floor(length + 0.5);
  settings.offsetX = OffsetUnits(setup_.offsets.left);
  settings.offsetY = OffsetUnits(setup_.offsets.top);
  judged_ = std::make_unique<TextPage>(document_, settings);
  if (!judged_->HasCandidates()) {
    judged_->Decide();
    messages_.Debug("Page %d: %s", page_, judged_->Summary().c_str());
    judged_.reset();
  }
  return true;
}

bool FontsPageSource::ReadRow(std::span<uint8_t> row) {
  if (judged_) {
    if (!read_ && !Judge()) return false;
    return ReadKept(row);
  }
  if (!drawn_.ReadRow(row)) return false;
  if (textFreeInStep_ && textFreeRows_ < textFreeHeader_.cupsHeight) {
    textFreeRow_.resize(textFreeHeader_.cupsBytesPerLine);
    if (textFree_.ReadRow(textFreeRow_)) ++textFreeRows_;
  }
  return true;
}

// Reads the page whole, both renders, keeping its drawn rows, and judges it.
bool FontsPageSource::Judge() {
  read_ = true;
  kept_ = FileDescriptor(open(setup_.spoolDirectory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (!kept_.valid()) {
    messages_.Error("Unable to keep page %d for its text in %s: %s", page_,
                    setup_.spoolDirectory.c_str(), strerror(errno));
    failed_ = true;
    return false;
  }
  const size_t bytes = header_.cupsBytesPerLine;
  drawnRow_.resize(bytes);
  textFreeRow_.resize(textFreeHeader_.cupsBytesPerLine);
  compared_.resize(bytes);
  const size_t shared = 3 * size_t{std::min(header_.cupsWidth, textFreeHeader_.cupsWidth)};
  buffer_.clear();
  for (unsigned y = 0; y < header_.cupsHeight && !cancel_.canceled(); ++y) {
    if (!drawn_.ReadRow(drawnRow_)) break;
    // Where the text-free drawing has no pixel, no character is judged:
    // none is taken out there.
    compared_ = drawnRow_;
    if (textFreeRows_ < textFreeHeader_.cupsHeight && textFree_.ReadRow(textFreeRow_)) {
      ++textFreeRows_;
      std::copy_n(textFreeRow_.begin(), shared, compared_.begin());
    }
    judged_->AddRows(y, drawnRow_.data(), compared_.data());
    buffer_.insert(buffer_.end(), drawnRow_.begin(), drawnRow_.end());
    if (buffer_.size() >= kBufferBytes || y + 1 == header_.cupsHeight) {
      if (!WriteAll(kept_.get(), buffer_.data(), buffer_.size())) {
        messages_.Error("Unable to keep page %d for its text in %s: %s", page_,
                        setup_.spoolDirectory.c_str(), strerror(errno));
        failed_ = true;
        return false;
      }
      buffer_.clear();
    }
    ++rowsKept_;
  }
  if (!buffer_.empty() && !WriteAll(kept_.get(), buffer_.data(), buffer_.size())) {
    messages_.Error("Unable to keep page %d for its text in %s: %s", page_,
                    setup_.spoolDirectory.c_str(), strerror(errno));
    failed_ = true;
    return false;
  }
  lseek(kept_.get(), 0, SEEK_SET);
  bufferBegin_ = bufferEnd_ = 0;
  buffer_.resize(std::max(kBufferBytes, bytes));

  judged_->Decide();
  messages_.Debug("Page %d: %s", page_, judged_->Summary().c_str());
  if (judged_->printed() > 0) {
    lines_.emplace(judged_->Lines(), setup_.quality, *setup_.table);
    if (!lines_->lines().empty()) {
      ++pagesWithText_;
      charactersAsText_ += judged_->printed();
    }
  }
  return true;
}

// The next kept row, with the text that prints as text taken out.
bool FontsPageSource::ReadKept(std::span<uint8_t> row) {
  if (rowsGiven_ >= rowsKept_) return false;
  for (size_t got = 0; got < row.size();) {
    if (bufferBegin_ == bufferEnd_) {
      const ssize_t n = read(kept_.get(), buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        messages_.Error("Unable to read page %d back: %s", page_,
                        n < 0 ? strerror(errno) : "the file ends early");
        failed_ = true;
        return false;
      }
      bufferBegin_ = 0;
      bufferEnd_ = static_cast<size_t>(n);
    }
    const size_t take = std::min(row.size() - got, bufferEnd_ - bufferBegin_);
    memcpy(drawnRow_.data() + got, buffer_.data() + bufferBegin_, take);
    bufferBegin_ += take;
    got += take;
  }
  std::copy(drawnRow_.begin(), drawnRow_.end(), row.begin());
  judged_->Erase(rowsGiven_++, row.data());
  return true;
}

void FontsPageSource::SkipPage(const cups_page_header2_t& header, const CancelToken& cancel) {
  judged_.reset();
  drawn_.SkipPage(header, cancel);
}

std::span<const uint8_t> FontsPageSource::ClassifiedRow() {
  if (!judged_ || !read_) return {};
  return drawnRow_;
}

PageLines* FontsPageSource::Lines() { return lines_ ? &*lines_ : nullptr; }

}  // namespace zova::doctext
