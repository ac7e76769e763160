// The programs that say what a document's text is: Ghostscript's txtwrite
// device for its characters, poppler's pdffonts for its fonts' encodings.
#pragma once

#include <string>
#include <vector>

#include "doctext/font_encodings.h"
#include "messages/messages.h"
#include "pipeline/cancel.h"

namespace zova::doctext {

// The txtwrite command for `document`, its report on standard output, with
// `page` (page size, fitting, page list) as the drawing has them.
std::vector<std::string> TextCommand(const std::string& document,
                                     const std::vector<std::string>& page = {});

// pdffonts' view of a PDF's fonts, run in `scratch` (its TMPDIR), and the
// processor time it took. None reliable, after a warning, when it cannot
// say.
FontEncodings ListFonts(const std::string& pdf, const std::string& scratch,
                        const CancelToken& cancel, Messages& messages, double* seconds = nullptr);

}  // namespace zova::doctext
