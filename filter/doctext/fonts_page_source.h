// The pages of a PDF or PostScript document with its text in the printer's
// fonts, for the page driver: the page as drawn from one render, the page
// drawn without its text from another, and the document's text from
// txtwrite, all read page by page in step.
//
// A page with text that may print as text is read whole first, its drawn
// rows kept in an unnamed file of the spool directory, and both renders
// judged (TextPage). Its rows then go on with that text taken out, while
// the page is classified by its rows as drawn, so that the rest of it prints
// as the raster route prints the page; its lines follow it. Any other page
// goes on exactly as drawn.
#pragma once

#include <cups/raster.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "doctext/document_text.h"
#include "doctext/font_encodings.h"
#include "doctext/text_page.h"
#include "messages/messages.h"
#include "pipeline/cancel.h"
#include "pipeline/file_descriptor.h"
#include "pipeline/page_driver.h"
#include "pipeline/page_offsets.h"
#include "text/placed_lines.h"
#include "text/text_writer.h"

namespace zova::doctext {

struct FontsSetup {
  const FontEncodings* fonts = nullptr;
  text::Quality quality = text::Quality::kDraft;
  const text::CharacterTable* table = nullptr;
  PageOffsets offsets;
  // Where a page's drawn rows wait while it is judged.
  std::string spoolDirectory = "/tmp";
};

class FontsPageSource final : public PageSource {
 public:
  FontsPageSource(PageSource& drawn, PageSource& text_free, DocumentTextReader& text,
                  const FontsSetup& setup, Messages& messages, CancelToken cancel);
  ~FontsPageSource() override;

  bool NextPage(cups_page_header2_t& header) override;
  bool ReadRow(std::span<uint8_t> row) override;
  void SkipPage(const cups_page_header2_t& header, const CancelToken& cancel) override;
  std::span<const uint8_t> ClassifiedRow() override;
  PageLines* Lines() override;

  // Pages that printed text in the printer's fonts, and their characters.
  int pagesWithText() const { return pagesWithText_; }
  size_t charactersAsText() const { return charactersAsText_; }
  // A page could not be kept or read back: the error is out, the job ends.
  bool failed() const { return failed_; }

 private:
  bool Judge();
  bool ReadKept(std::span<uint8_t> row);

  PageSource& drawn_;
  PageSource& textFree_;
  DocumentTextReader& text_;
  FontsSetup setup_;
  Messages& messages_;
  CancelToken cancel_;

  bool textFreeInStep_ = true;  // the text-free render's pages match the drawn ones
  bool textLeft_ = true;        // txtwrite has pages left
  bool failed_ = false;
  int page_ = 0;
  cups_page_header2_t header_{};
  cups_page_header2_t textFreeHeader_{};
  unsigned textFreeRows_ = 0;  // of the page in hand, read from the text-free render
  DocumentPage document_;
  std::unique_ptr<TextPage> judged_;  // the page in hand, when it has candidates
  bool read_ = false;                 // its rows are read, kept and judged
  unsigned rowsKept_ = 0, rowsGiven_ = 0;
  FileDescriptor kept_;  // its drawn rows
  std::vector<uint8_t> drawnRow_, textFreeRow_, compared_, buffer_;
  size_t bufferBegin_ = 0, bufferEnd_ = 0;
  std::optional<text::PlacedLines> lines_;
  int pagesWithText_ = 0;
  size_t charactersAsText_ = 0;
};

}  // namespace zova::doctext
