// zova-document-text=fonts in the printer application: the Ghostscript
// route's pages, drawn as always, go through the driver beside a second
// drawing of the document without its text and the text Ghostscript's
// txtwrite device reads, so that the monospaced text the printer's fonts
// can print prints as text, as pdftozova prints it on a CUPS queue.
#pragma once

#include <pappl/pappl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app_job.h"
#include "doctext/font_encodings.h"
#include "pipeline/child_process.h"
#include "pipeline/page_driver.h"
#include "text/text_job.h"

namespace zova::app {

class DocumentFonts {
 public:
  // The drawn pages of one Ghostscript run, from its output.
  using PagesOf = std::function<std::unique_ptr<PageSource>(ChildProcess& gs)>;

  // For a job that asks for its text in the printer's fonts, on a printer
  // in the LQ set (the native set cannot place text; the log says so):
  // the document's fonts are read once here. Null otherwise.
  static std::unique_ptr<DocumentFonts> ForJob(AppJob& app, const pappl_pr_options_t* options,
                                               const std::string& document,
                                               const std::string& scratch);

  // Prints the pages of `drawn`, the run of `draw` (its command and how it
  // runs), with the text-free drawing and the text read beside it.
  bool Print(AppJob& app, PageSource& drawn, const ChildOptions& draw, const PagesOf& pages_of);

 private:
  DocumentFonts(std::string document, text::TextOptions options, doctext::FontEncodings fonts)
      : document_(std::move(document)), options_(options), fonts_(std::move(fonts)) {}

  std::string document_;
  text::TextOptions options_;
  doctext::FontEncodings fonts_;
};

}  // namespace zova::app
